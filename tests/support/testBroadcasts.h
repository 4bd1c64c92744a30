#pragma once
// Records the codes an object broadcasts while the recorder lives. The
// object must outlive the recorder.

#include "core/cuClasses.h"

#include <algorithm>
#include <vector>

class TBroadcastRecorder {
public:
    explicit TBroadcastRecorder(TItfObject* source) : m_source(source) { source->AddHandler(Handler()); }
    ~TBroadcastRecorder() { m_source->RemoveHandler(Handler()); }
    TBroadcastRecorder(const TBroadcastRecorder&) = delete;
    TBroadcastRecorder& operator=(const TBroadcastRecorder&) = delete;

    int Count(int code) const { return int(std::count(codes.begin(), codes.end(), code)); }

    std::vector<int> codes;

private:
    THandler Handler() { return MakeHandler<&TBroadcastRecorder::OnMsg>(this); }
    void OnMsg(TItfObject*, int msg, intptr_t, intptr_t) { codes.push_back(msg); }
    TItfObject* m_source;
};

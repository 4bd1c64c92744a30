#pragma once
// Records the codes an object broadcasts, and the first argument of each,
// while the recorder lives. The object must outlive the recorder.

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
    void Clear() {
        codes.clear();
        firstArgs.clear();
    }

    std::vector<int> codes;
    std::vector<intptr_t> firstArgs;

private:
    THandler Handler() { return MakeHandler<&TBroadcastRecorder::OnMsg>(this); }
    void OnMsg(TItfObject*, int msg, intptr_t p1, intptr_t) {
        codes.push_back(msg);
        firstArgs.push_back(p1);
    }
    TItfObject* m_source;
};

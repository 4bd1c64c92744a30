#pragma once
// A file layer that fails one chosen step of the real one, the way a full
// disk or a refusing file system would: every call of the step, or only its
// n-th call (failCall, from 1). Install it with TInstaller<TFileLayer>.

#include "platform/plFiles.h"

#include <cerrno>

class TFailingFiles : public TFileLayer {
public:
    enum Step { AtNone, AtCreate, AtSetMode, AtWrite, AtSync, AtClose, AtRename, AtSyncFolder };
    Step failAt = AtNone;
    int failCall = 0;  // 0: every call of the step
    static constexpr int kError = ENOSPC;

    int CreateExclusive(const QString& path) override {
        return Fails(AtCreate) ? FailedCount() : TFileLayer::CreateExclusive(path);
    }
    bool SetMode(int fd, mode_t mode) override { return !Fails(AtSetMode) ? TFileLayer::SetMode(fd, mode) : Failed(); }
    int64_t Write(int fd, const char* data, int64_t size) override {
        if (!Fails(AtWrite)) return TFileLayer::Write(fd, data, size);
        TFileLayer::Write(fd, data, size / 2);  // the disk fills up half way
        return FailedCount();
    }
    bool Sync(int fd) override { return !Fails(AtSync) ? TFileLayer::Sync(fd) : Failed(); }
    bool Close(int fd) override {
        const bool closed = TFileLayer::Close(fd);  // the descriptor goes in every case
        return !Fails(AtClose) ? closed : Failed();
    }
    bool Rename(const QString& from, const QString& to) override {
        return !Fails(AtRename) ? TFileLayer::Rename(from, to) : Failed();
    }
    bool SyncFolder(const QString& folder) override {
        return !Fails(AtSyncFolder) ? TFileLayer::SyncFolder(folder) : Failed();
    }

private:
    bool Fails(Step step) { return step == failAt && (failCall == 0 || ++m_calls == failCall); }
    bool Failed() {
        SetError(kError);
        return false;
    }
    int FailedCount() {
        Failed();
        return -1;
    }
    int m_calls = 0;
};

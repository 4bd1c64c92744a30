#pragma once
// Named locks by which other programs (an installer, an updater) can tell
// that the program runs: held from creation to destruction and not otherwise
// used. A name with the prefix "Global\" is machine-wide (in the system's
// temporary folder), any other belongs to the user's session (the runtime
// folder, else the temporary folder).

#include <QString>

#include <future>
#include <memory>
#include <vector>

class QLockFile;

class TInstanceLock {
public:
    explicit TInstanceLock(const QString& name);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // The lock file standing for the name.
    const QString& FileName() const noexcept { return m_fileName; }
    // Whether this process holds it (another running instance may).
    bool Held() const noexcept;

    // The lock file that stands for a name.
    static QString FileNameFor(const QString& name);

private:
    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
};

// The program's two locks: its name followed by "Mutex", once in the
// session and once machine-wide.
std::vector<std::unique_ptr<TInstanceLock>> CreateInstanceLocks(const QString& programName);

// The program's two locks, taken on a thread of their own: a lock file is
// synced to disk as it is written, which may take longer than the whole
// start-up of the window, and nothing the user sees waits for it.
class TBackgroundInstanceLocks {
public:
    explicit TBackgroundInstanceLocks(const QString& programName);
    // Waits until the locks are taken, then frees them.
    ~TBackgroundInstanceLocks();
    TBackgroundInstanceLocks(const TBackgroundInstanceLocks&) = delete;
    TBackgroundInstanceLocks& operator=(const TBackgroundInstanceLocks&) = delete;

    // The locks, once taken (waits for them).
    const std::vector<std::unique_ptr<TInstanceLock>>& Locks();

private:
    std::future<std::vector<std::unique_ptr<TInstanceLock>>> m_pending;
    std::vector<std::unique_ptr<TInstanceLock>> m_locks;
};

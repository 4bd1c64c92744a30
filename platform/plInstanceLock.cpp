#include "platform/plInstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace {
const QString kGlobalPrefix = QStringLiteral("Global\\");
}  // namespace

QString TInstanceLock::FileNameFor(const QString& name) {
    const bool global = name.startsWith(kGlobalPrefix);
    QString folder = global ? QString() : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    QString base = global ? name.mid(kGlobalPrefix.size()) : name;
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(folder).filePath(base + QStringLiteral(".lock"));
}

TInstanceLock::TInstanceLock(const QString& name)
    : m_fileName(FileNameFor(name)), m_lock(std::make_unique<QLockFile>(m_fileName)) {
    // Held as long as this process lives, however long; a lock file left by
    // a process that ended is taken over.
    m_lock->setStaleLockTime(0);
    m_lock->tryLock(0);
}

TInstanceLock::~TInstanceLock() = default;

bool TInstanceLock::Held() const noexcept { return m_lock->isLocked(); }

std::vector<std::unique_ptr<TInstanceLock>> CreateInstanceLocks(const QString& programName) {
    const QString name = programName + QStringLiteral("Mutex");
    std::vector<std::unique_ptr<TInstanceLock>> locks;
    locks.push_back(std::make_unique<TInstanceLock>(name));
    locks.push_back(std::make_unique<TInstanceLock>(kGlobalPrefix + name));
    return locks;
}

TBackgroundInstanceLocks::TBackgroundInstanceLocks(const QString& programName)
    : m_pending(std::async(std::launch::async, [programName] { return CreateInstanceLocks(programName); })) {}

TBackgroundInstanceLocks::~TBackgroundInstanceLocks() {
    if (m_pending.valid()) m_pending.wait();
}

const std::vector<std::unique_ptr<TInstanceLock>>& TBackgroundInstanceLocks::Locks() {
    if (m_pending.valid()) m_locks = m_pending.get();
    return m_locks;
}

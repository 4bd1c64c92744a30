// The program's instance locks: one in the session's runtime folder, one
// machine-wide, held while they live and free again after.

#include "platform/plInstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(InstanceLock, TheSessionAndTheMachineWideLockAreHeldWhileTheyLiveAndFreeAfter) {
    QTemporaryDir runtime;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString program = QStringLiteral("InstanceLockTest%1").arg(QCoreApplication::applicationPid());
    QStringList files;
    {
        const auto locks = CreateInstanceLocks(program);
        ASSERT_EQ(locks.size(), 2u);
        EXPECT_EQ(locks[0]->FileName(), QDir(runtime.path()).filePath(program + "Mutex.lock"));
        EXPECT_EQ(locks[1]->FileName(), QDir(QDir::tempPath()).filePath(program + "Mutex.lock"));
        for (const auto& lock : locks) {
            EXPECT_TRUE(lock->Held()) << lock->FileName().toStdString();
            QLockFile other(lock->FileName());
            EXPECT_FALSE(other.tryLock(0)) << "another program finds it taken";
            files << lock->FileName();
        }
    }
    for (const QString& file : files) {
        QLockFile other(file);
        EXPECT_TRUE(other.tryLock(0)) << file.toStdString();
    }
    if (oldRuntime.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", oldRuntime);
}

}  // namespace

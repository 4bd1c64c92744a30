// The program's instance locks: one in the session's runtime folder, one
// machine-wide, held while they live and free again after; taken at once or
// on a thread of their own.

#include "platform/plInstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class InstanceLock : public ::testing::Test {
protected:
    InstanceLock() : m_oldRuntime(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~InstanceLock() override {
        if (m_oldRuntime.isNull()) qunsetenv("XDG_RUNTIME_DIR");
        else qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
    }
    // Checks that the locks are the program's two and taken; their files.
    QStringList CheckHeld(const std::vector<std::unique_ptr<TInstanceLock>>& locks) const {
        EXPECT_EQ(locks.size(), 2u);
        if (locks.size() != 2u) return {};
        EXPECT_EQ(locks[0]->FileName(), QDir(runtime.path()).filePath(program + "Mutex.lock"));
        EXPECT_EQ(locks[1]->FileName(), QDir(QDir::tempPath()).filePath(program + "Mutex.lock"));
        QStringList files;
        for (const auto& lock : locks) {
            EXPECT_TRUE(lock->Held()) << lock->FileName().toStdString();
            QLockFile other(lock->FileName());
            EXPECT_FALSE(other.tryLock(0)) << "another program finds it taken";
            files << lock->FileName();
        }
        return files;
    }
    static void CheckFree(const QStringList& files) {
        for (const QString& file : files) {
            QLockFile other(file);
            EXPECT_TRUE(other.tryLock(0)) << file.toStdString();
        }
    }

    QTemporaryDir runtime;
    const QString program = QStringLiteral("InstanceLockTest%1").arg(QCoreApplication::applicationPid());

private:
    QByteArray m_oldRuntime;
};

TEST_F(InstanceLock, TheSessionAndTheMachineWideLockAreHeldWhileTheyLiveAndFreeAfter) {
    QStringList files;
    {
        const auto locks = CreateInstanceLocks(program);
        files = CheckHeld(locks);
    }
    CheckFree(files);
}

TEST_F(InstanceLock, LocksTakenInTheBackgroundAreHeldOnceTakenAndFreeAfter) {
    QStringList files;
    {
        TBackgroundInstanceLocks locks(program);
        files = CheckHeld(locks.Locks());
    }
    CheckFree(files);
    {
        // Freed before they were ever asked for: the thread is waited for.
        TBackgroundInstanceLocks unasked(program);
    }
    CheckFree(files);
}

}  // namespace

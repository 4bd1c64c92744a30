#include "platform/plFiles.h"

#include "platform/plInstaller.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// Fails one chosen step of the real file layer, the way a full disk or a
// refusing file system would.
class TFailingFiles : public TFileLayer {
public:
    enum Step { AtNone, AtCreate, AtSetMode, AtWrite, AtSync, AtClose, AtRename, AtSyncFolder };
    Step failAt = AtNone;
    static constexpr int kError = ENOSPC;

    int CreateExclusive(const QString& path) override {
        return failAt == AtCreate ? FailedCount() : TFileLayer::CreateExclusive(path);
    }
    bool SetMode(int fd, mode_t mode) override { return failAt != AtSetMode ? TFileLayer::SetMode(fd, mode) : Failed(); }
    int64_t Write(int fd, const char* data, int64_t size) override {
        if (failAt != AtWrite) return TFileLayer::Write(fd, data, size);
        TFileLayer::Write(fd, data, size / 2);  // the disk fills up half way
        return FailedCount();
    }
    bool Sync(int fd) override { return failAt != AtSync ? TFileLayer::Sync(fd) : Failed(); }
    bool Close(int fd) override {
        const bool closed = TFileLayer::Close(fd);  // the descriptor goes in every case
        return failAt != AtClose ? closed : Failed();
    }
    bool Rename(const QString& from, const QString& to) override {
        return failAt != AtRename ? TFileLayer::Rename(from, to) : Failed();
    }
    bool SyncFolder(const QString& folder) override {
        return failAt != AtSyncFolder ? TFileLayer::SyncFolder(folder) : Failed();
    }

private:
    bool Failed() {
        SetError(kError);
        return false;
    }
    int FailedCount() {
        Failed();
        return -1;
    }
};

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

class ReplaceFile : public ::testing::Test {
protected:
    QByteArray Read(const QString& name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    void Write(const QString& name, const QByteArray& data, mode_t mode = 0644) const {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        f.close();
        ASSERT_EQ(::chmod(QFile::encodeName(f.fileName()).constData(), mode), 0);
    }
    mode_t Mode(const QString& name) const {
        struct stat st {};
        return ::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    TFileReplaceResult Replace(const QString& name, const QByteArray& data = "new") const {
        return ReplaceFileContents(dir.filePath(name), data);
    }
    QStringList Entries() const {
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    QTemporaryDir dir;
    TFailingFiles files;
    TInstaller<TFileLayer> install{&files};
};

TEST_F(ReplaceFile, FailedStepLeavesTheOldFileAndNoTemporary) {
    for (auto step : {TFailingFiles::AtCreate, TFailingFiles::AtSetMode, TFailingFiles::AtWrite,
                      TFailingFiles::AtSync, TFailingFiles::AtClose, TFailingFiles::AtRename}) {
        Write("module.prm", "old\r\n");
        files.failAt = step;
        const TFileReplaceResult result = Replace("module.prm");
        EXPECT_FALSE(result.ok) << step;
        EXPECT_EQ(result.errorText, SystemText(TFailingFiles::kError)) << step;
        EXPECT_EQ(Read("module.prm"), QByteArray("old\r\n")) << step;
        EXPECT_EQ(Entries(), QStringList{"module.prm"}) << step;
    }
}

// A folder sync fails only after the rename: the new contents are in place.
TEST_F(ReplaceFile, FailedFolderSyncStillReplaces) {
    Write("module.prm", "old");
    files.failAt = TFailingFiles::AtSyncFolder;
    EXPECT_TRUE(Replace("module.prm").ok);
    EXPECT_EQ(Read("module.prm"), QByteArray("new"));
    EXPECT_EQ(Entries(), QStringList{"module.prm"});
}

TEST_F(ReplaceFile, RealFailureNamesTheSystemsReason) {
    const TFileReplaceResult result = Replace("no/such/module.prm");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorText, SystemText(ENOENT));
}

TEST_F(ReplaceFile, ExistingTemporaryNamesAreLeftAlone) {
    Write("Rplc1.tmp", "someone else's");
    ASSERT_TRUE(Replace("module.prm").ok);
    EXPECT_EQ(Read("Rplc1.tmp"), QByteArray("someone else's"));
    EXPECT_EQ(Read("module.prm"), QByteArray("new"));
    EXPECT_EQ(Entries(), QStringList({"Rplc1.tmp", "module.prm"}));
}

// The replaced file keeps exactly its mode: a read-only file is replaced
// (the folder allows it) and stays read-only, a private one stays private.
TEST_F(ReplaceFile, ReadOnlyTargetKeepsItsMode) {
    for (mode_t mode : {0444, 0600, 0640, 0755}) {
        Write("module.prm", "old", mode);
        ASSERT_TRUE(Replace("module.prm").ok) << mode;
        EXPECT_EQ(Read("module.prm"), QByteArray("new")) << mode;
        EXPECT_EQ(Mode("module.prm"), mode);
        ::chmod(QFile::encodeName(dir.filePath("module.prm")).constData(), 0644);
    }
}

TEST_F(ReplaceFile, NewFileGetsTheModeOfTheUmask) {
    for (mode_t mask : {022, 077, 002}) {
        const mode_t previous = ::umask(mask);
        const TFileReplaceResult result = Replace("new.prm");
        ::umask(previous);
        ASSERT_TRUE(result.ok) << mask;
        EXPECT_EQ(Mode("new.prm"), 0666 & ~mask);
        QFile::remove(dir.filePath("new.prm"));
    }
}

TEST_F(ReplaceFile, SymbolicLinkIsFollowedAndKept) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    Write("real/module.prm", "old", 0640);
    ASSERT_TRUE(QFile::link("real/module.prm", dir.filePath("link.prm")));
    ASSERT_TRUE(QFile::link("link.prm", dir.filePath("chain.prm")));
    ASSERT_TRUE(Replace("chain.prm").ok);
    EXPECT_EQ(Read("real/module.prm"), QByteArray("new"));
    EXPECT_EQ(Mode("real/module.prm"), 0640);
    EXPECT_TRUE(QFileInfo(dir.filePath("link.prm")).isSymLink());
    EXPECT_TRUE(QFileInfo(dir.filePath("chain.prm")).isSymLink());
    EXPECT_EQ(Entries(), QStringList({"chain.prm", "link.prm", "real"}));
    EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::Files), QStringList{"module.prm"});
}

TEST_F(ReplaceFile, DanglingLinkCreatesItsTarget) {
    ASSERT_TRUE(QFile::link("target.prm", dir.filePath("link.prm")));
    ASSERT_TRUE(Replace("link.prm").ok);
    EXPECT_EQ(Read("target.prm"), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.prm")).isSymLink());
}

TEST_F(ReplaceFile, LinkLoopIsRefused) {
    ASSERT_TRUE(QFile::link("b", dir.filePath("a")));
    ASSERT_TRUE(QFile::link("a", dir.filePath("b")));
    const TFileReplaceResult result = Replace("a");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorText, SystemText(ELOOP));
    EXPECT_EQ(Entries(), QStringList({"a", "b"}));
}

}  // namespace

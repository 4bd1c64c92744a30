#include "platform/plFiles.h"

#include "platform/plInstaller.h"
#include "support/testFailingFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

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

// A failed step leaves the old file and no temporary, and names the reason.
// The folder sync comes after the rename: its failure loses nothing and is
// not reported.
TEST_F(ReplaceFile, FailedStepLeavesTheOldFileAndNoTemporary) {
    const struct {
        TFailingFiles::Step step;
        bool replaced;
    } cases[] = {
        {TFailingFiles::AtCreate, false}, {TFailingFiles::AtSetMode, false}, {TFailingFiles::AtWrite, false},
        {TFailingFiles::AtSync, false},   {TFailingFiles::AtClose, false},   {TFailingFiles::AtRename, false},
        {TFailingFiles::AtSyncFolder, true},
    };
    for (const auto& c : cases) {
        Write("module.prm", "old\r\n");
        files.failAt = c.step;
        const TFileReplaceResult result = Replace("module.prm");
        EXPECT_EQ(result.ok, c.replaced) << c.step;
        EXPECT_EQ(result.errorText, c.replaced ? QString() : SystemText(TFailingFiles::kError)) << c.step;
        EXPECT_EQ(Read("module.prm"), c.replaced ? QByteArray("new") : QByteArray("old\r\n")) << c.step;
        EXPECT_EQ(Entries(), QStringList{"module.prm"}) << c.step;
    }
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
// A new file gets the mode of the umask.
TEST_F(ReplaceFile, ReadOnlyTargetKeepsItsMode) {
    for (mode_t mode : {0444, 0600, 0640, 0755}) {
        Write("module.prm", "old", mode);
        ASSERT_TRUE(Replace("module.prm").ok) << mode;
        EXPECT_EQ(Mode("module.prm"), mode);
        ::chmod(QFile::encodeName(dir.filePath("module.prm")).constData(), 0644);
    }
    for (mode_t mask : {022, 077, 002}) {
        const mode_t previous = ::umask(mask);
        const TFileReplaceResult result = Replace("new.prm");
        ::umask(previous);
        ASSERT_TRUE(result.ok) << mask;
        EXPECT_EQ(Mode("new.prm"), 0666 & ~mask);
        QFile::remove(dir.filePath("new.prm"));
    }
}

TEST_F(ReplaceFile, SymbolicLinksAreFollowedAndKeptOrLeadNowhere) {
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

    // A link to a missing file creates that file; a loop of links and a
    // missing folder are refused with the system's reason.
    ASSERT_TRUE(QFile::link("target.prm", dir.filePath("dangling.prm")));
    ASSERT_TRUE(Replace("dangling.prm").ok);
    EXPECT_EQ(Read("target.prm"), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("dangling.prm")).isSymLink());

    ASSERT_TRUE(QFile::link("b", dir.filePath("a")));
    ASSERT_TRUE(QFile::link("a", dir.filePath("b")));
    const TFileReplaceResult result = Replace("a");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorText, SystemText(ELOOP));
    EXPECT_EQ(Entries(), QStringList({"a", "b", "chain.prm", "dangling.prm", "link.prm", "real", "target.prm"}));
    EXPECT_EQ(Replace("no/such/module.prm").errorText, SystemText(ENOENT));
}

}  // namespace

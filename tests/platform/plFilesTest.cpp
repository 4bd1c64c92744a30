#include "platform/plFiles.h"

#include "platform/plInstaller.h"
#include "support/testDevices.h"
#include "support/testFailingFiles.h"
#include "support/testFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <utility>

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

// Bounded reading

// A stream without size is read no further than one byte past the limit; a
// device that tells a larger size is refused before anything is read.
TEST(ReadAtMost, StopsAStreamJustPastTheLimitAndRefusesALargerSizeUnread) {
    constexpr int64_t kLimit = 100000;
    QByteArray out("left over");
    TSequentialDevice endless;
    EXPECT_FALSE(ReadAtMost(endless, kLimit, out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(endless.Served, kLimit + 1);
    TOversizedDevice oversized(QByteArray("head"), int64_t(1) << 40);
    EXPECT_FALSE(ReadAtMost(oversized, kLimit, out));
    EXPECT_EQ(oversized.Served, 0);
    TSequentialDevice ending(QByteArray("head"), kLimit);  // ends at the limit
    ASSERT_TRUE(ReadAtMost(ending, kLimit, out));
    EXPECT_EQ(out, QByteArray("head") + QByteArray(kLimit - 4, 0));
    // From the device's position: the limit is what is left.
    const QByteArray bytes = QByteArray("xyz") + QByteArray(kLimit, 'a');
    QBuffer buffer;
    buffer.setData(bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(3);
    ASSERT_TRUE(ReadAtMost(buffer, kLimit, out));
    EXPECT_EQ(out, bytes.mid(3));
    buffer.seek(2);
    EXPECT_FALSE(ReadAtMost(buffer, kLimit, out));
}

TEST(OpenRegularFileForReading, RefusesFoldersDevicesAndPipesWithoutWaiting) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe");
    ASSERT_TRUE(MakeNamedPipe(pipe));
    ASSERT_TRUE(WriteTestFile(dir.filePath("file"), "bytes"));
    const std::pair<QString, TOpenForReading> cases[] = {
        {dir.filePath("missing"), TOpenForReading::Missing},
        {dir.path(), TOpenForReading::NotRegularFile},
        {QStringLiteral("/dev/zero"), TOpenForReading::NotRegularFile},
        {pipe, TOpenForReading::NotRegularFile},
        {dir.filePath("file"), TOpenForReading::Opened},
    };
    for (const auto& [path, expected] : cases) {
        QFile file(path);
        EXPECT_EQ(OpenRegularFileForReading(file), expected) << path.toStdString();
        EXPECT_EQ(file.isOpen(), expected == TOpenForReading::Opened) << path.toStdString();
    }
}

}  // namespace

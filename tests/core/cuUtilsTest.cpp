// Paths in both styles, file names, small value routines, the wait cursor,
// image strips and clip regions.

#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plCursor.h"
#include "platform/plImageList.h"
#include "support/testCases.h"
#include "support/testRaise.h"
#include "support/testFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

namespace {

constexpr auto Win = TPathStyle::Windows;
constexpr auto Posix = TPathStyle::Posix;

TPathStyle StyleOf(const CaseRow& row) { return row.kind == "Win" ? Win : Posix; }

// Relative paths (the tables are in data/core/paths.txt)

TEST(PathTables, MakeRelativeExpandAndRoot) {
    for (const CaseRow& c : LoadCases("core/paths.txt", "MakeRelative"))
        EXPECT_EQ(MakeRelativePath(c["Base"], c["Path"], StyleOf(c)), c["Expected"]) << c.Text();
    for (const CaseRow& c : LoadCases("core/paths.txt", "Expand"))
        EXPECT_EQ(ExpandRelativePath(c["Base"], c["Path"], StyleOf(c)), c["Expected"]) << c.Text();
    for (const CaseRow& c : LoadCases("core/paths.txt", "Root"))
        EXPECT_EQ(ExtractPathRoot(c["Path"], StyleOf(c)), c["Expected"]) << c.Text();
    // non-empty components between either separator
    EXPECT_EQ(SplitPath(R"(\\srv\share\\a/b\)"), (QStringList{"srv", "share", "a", "b"}));
    EXPECT_EQ(SplitPath("/"), QStringList());
}

// File names

// One value routine per row of the table "Names" (its kind names the routine).
QString NameRoutine(const CaseRow& c) {
    if (c.kind == "Ext") return ExtractFileExtNoDot(c["Path"]);
    if (c.kind == "Base") return ExtractFileBaseName(c["Path"]);
    if (c.kind == "EndsWithDelimiter") return QString::number(EndsWithPathDelimiter(c["Path"]));
    if (c.kind.startsWith("Same"))
        return QString::number(SameFileName(c["A"], c["B"], c.kind == "SameWin" ? Win : Posix));
    if (c.kind == "ZeroPad") return IntToStrZeroPad(c.Int("Value"), c.Int("Width"));
    uint16_t id = 77;
    if (LanguageNameToLangId(c["Name"], id)) return QString::number(id);
    return id == 77 ? QStringLiteral("none") : QStringLiteral("changed");
}

TEST(FileNamesAndValues, NamesAndSplitNameValueTables) {
    for (const CaseRow& c : LoadCases("core/paths.txt", "Names"))
        EXPECT_EQ(NameRoutine(c), c["Expected"]) << c.Text();
    EXPECT_TRUE(GetProgramDir().endsWith('/'));
    EXPECT_TRUE(GetTempDir().endsWith('/'));
    const QStringList list{"/a/x.prm", "/b/y.prm", "/b/y.prm"};
    EXPECT_EQ(IndexOfFileName(list, "/b/./y.prm", Posix), 1);
    EXPECT_EQ(IndexOfFileName(list, "/c/y.prm", Posix), -1);
    for (const CaseRow& c : LoadCases("core/paths.txt", "SplitNameValue")) {
        QString name = "old", value = "old";
        EXPECT_EQ(SplitNameValue(c["Text"], name, value), c.Int("Result") == 1) << c.Text();
        EXPECT_EQ(name, c["Name"]) << c.Text();
        EXPECT_EQ(value, c["Value"]) << c.Text();
    }
}

TEST(ListFilesAndCreateUniqueFile, MatchRegardlessOfCaseAppendAndNumberFromOne) {
    QTemporaryDir dir;
    for (const char* n : {"One.PRM", "two.prm", "three.txt", ".hidden.prm"}) ASSERT_TRUE(WriteTestFile(dir.filePath(n), {}));
    QDir(dir.path()).mkdir("sub.prm");
    QStringList list{"kept"};
    ListFiles(dir.path() + "/", "*.prm", list);
    EXPECT_EQ(list, (QStringList{"kept", ".hidden.prm", "One.PRM", "sub.prm", "two.prm"}));
    list.clear();
    ListFiles(dir.path(), "T*.*", list, false, true);
    EXPECT_EQ(list, (QStringList{dir.path() + "/three", dir.path() + "/two"}));
    // A unique file is numbered from one, skips existing names and needs the folder.
    QFile(dir.filePath("Rplc1.tmp")).open(QIODevice::WriteOnly);
    QString name;
    auto file = CreateUniqueFile("Rplc%d", "tmp", name, dir.path());
    ASSERT_TRUE(file && file->isOpen());
    EXPECT_EQ(name, dir.filePath("Rplc2.tmp"));
    auto second = CreateUniqueFile("File%d", "", name, dir.path() + "/");
    EXPECT_EQ(name, dir.filePath("File1"));
    EXPECT_EQ(RaisedId([&] { CreateUniqueFile("x%d", "tmp", name, dir.filePath("missing")); }), strPathNotFound);
}

// The model's right and bottom edges are exclusive; QRect's right() and
// bottom() are inclusive, so a conversion that used them would be one off.
TEST(Rect, ConvertsToAndFromQRectKeepingExclusiveEdgesAndIntersects) {
    const TRect r{1, 2, 11, 22};
    EXPECT_EQ(r.ToQRect(), QRect(1, 2, 10, 20));
    EXPECT_EQ(TRect::FromQRect(r.ToQRect()), r);
    EXPECT_EQ(TRect::FromQRect(QRect(QPoint(5, 5), QSize(0, 3))), (TRect{5, 5, 5, 8}));
    for (const TRect& empty : {TRect{0, 0, 0, 5}, TRect{0, 0, 5, 0}, TRect{5, 5, 2, 9}, TRect{}})
        EXPECT_TRUE(empty.IsEmpty()) << empty.Left << "," << empty.Top << "," << empty.Right << "," << empty.Bottom;
    EXPECT_FALSE((TRect{0, 0, 1, 1}).IsEmpty());
    EXPECT_EQ((TRect{5, 5, 2, 9}).Width(), -3);
    // Intersection is asymmetric at the edges.
    const TRect a{10, 10, 20, 20};
    EXPECT_TRUE(RectsIntersect(a, {15, 15, 25, 25}));
    EXPECT_TRUE(RectsIntersect(a, {0, 0, 10, 10}));     // B ends on A's left/top edge: counts
    EXPECT_FALSE(RectsIntersect(a, {20, 10, 30, 20}));  // B starts at A's right edge: does not
    EXPECT_FALSE(RectsIntersect(a, {10, 20, 20, 30}));
    EXPECT_FALSE(RectsIntersect(a, {0, 0, 9, 9}));
    EXPECT_FALSE(RectsIntersect({0, 0, 10, 10}, a));
    EXPECT_EQ(RectSize({3, 4, 10, 20}), QSize(7, 16));
}

// Wait cursor

class WaitCursor : public ::testing::Test {
protected:
    TFakeScreenCursor screen;
    TScreenCursorInstaller installed{&screen};
};

TEST_F(WaitCursor, NestsRestoresAndSurvivesExceptions) {
    screen.SetCursor(Cursors::IBeam);
    BeginWait();
    EXPECT_EQ(screen.Cursor(), Cursors::HourGlass);
    BeginWait();
    EndWait();
    EXPECT_EQ(screen.Cursor(), Cursors::HourGlass);
    EndWait();
    EXPECT_EQ(screen.Cursor(), Cursors::IBeam);
    try {
        TWaitScope wait;  // the scope ends the wait when an exception passes
        throw Exception("boom");
    } catch (const Exception&) {
    }
    EXPECT_EQ(WaitDepth(), 0);
    // SetScreenCursor during a wait changes only the cursor to restore.
    BeginWait();
    SetScreenCursor(Cursors::HandPoint);
    EXPECT_EQ(screen.Cursor(), Cursors::HourGlass);
    EndWait();
    EXPECT_EQ(screen.Cursor(), Cursors::HandPoint);
    SetScreenCursor(Cursors::Default);  // outside a wait: at once
    EXPECT_EQ(screen.Cursor(), Cursors::Default);
}

TEST_F(WaitCursor, StrayEndWaitDoesNotSwallowTheNextWait) {
    // Regression: an unmatched EndWait drove the counter below zero, so the
    // next BeginWait no longer showed the hourglass.
    EndWait();
    BeginWait();
    EXPECT_EQ(screen.Cursor(), Cursors::HourGlass);
    EndWait();
}

TEST_F(WaitCursor, CustomCursorWithoutItsFileShowsTheFallbackShape) {
    RegisterCustomCursor(40, QStringLiteral("noSuchCursor"), Qt::SizeHorCursor);
    EXPECT_EQ(screen.CursorOf(40).shape(), Qt::SizeHorCursor);
}

// Image strips and clip regions

TEST(AddImageStrip, AlphaStripKeepsItsAlphaPartialTilesAreIgnoredAndOpaqueStripsAreKeyed) {
    QImage strip(3 * 4 + 2, 4 + 3, QImage::Format_ARGB32);
    strip.fill(qRgba(0, 0, 255, 128));
    strip.setPixel(4, 0, qRgba(255, 0, 0, 255));  // first pixel of tile 1
    TImageList list(4, 4);
    AddImageStrip(strip, list);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(qAlpha(list.Image(0).pixel(0, 0)), 128);
    EXPECT_EQ(list.Image(1).pixel(0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(list.Image(0).format(), QImage::Format_ARGB32_Premultiplied);

    // An opaque strip of two rows of two tiles is keyed by the strip's
    // bottom-left pixel, magenta.
    QImage opaque(8, 8, QImage::Format_RGB32);
    opaque.fill(qRgb(255, 0, 255));
    opaque.setPixel(1, 1, qRgb(0, 128, 0));
    opaque.setPixel(4, 3, qRgb(10, 20, 30));  // bottom-left pixel of tile 1 is content
    TImageList keyed(4, 4);
    AddImageStrip(opaque, keyed);
    ASSERT_EQ(keyed.Count(), 4);
    EXPECT_EQ(qAlpha(keyed.Image(0).pixel(0, 0)), 0);
    EXPECT_EQ(keyed.Image(0).pixel(1, 1), qRgb(0, 128, 0));
    EXPECT_EQ(keyed.Image(1).pixel(0, 3), qRgb(10, 20, 30));  // not keyed out by the tile's own corner
    EXPECT_EQ(qAlpha(keyed.Image(3).pixel(3, 3)), 0);
}

TEST(ClipRegion, SaveAndRestoreWithAndWithoutClipping) {
    QImage img(20, 20, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    QRegion saved;
    bool had = true;
    SaveClipRegion(p, saved, had);
    EXPECT_FALSE(had);
    p.setClipRect(0, 0, 5, 5);
    RestoreClipRegion(p, saved, had);
    EXPECT_FALSE(p.hasClipping());

    p.setClipRect(2, 2, 6, 6);
    SaveClipRegion(p, saved, had);
    EXPECT_TRUE(had);
    p.setClipRect(0, 0, 1, 1);
    RestoreClipRegion(p, saved, had);
    EXPECT_TRUE(p.hasClipping());
    EXPECT_EQ(p.clipRegion(), QRegion(2, 2, 6, 6));
    EXPECT_TRUE(saved.isEmpty());
}

}  // namespace

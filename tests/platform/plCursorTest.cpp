#include "platform/plCursor.h"
#include "support/iconFixtures.h"
#include "support/testDevices.h"
#include "support/testFiles.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

TEST(QtScreenCursor, UsesOneOverrideCursorAndRemovesItForDefault) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        TQtScreenCursor screen;
        screen.SetCursor(Cursors::HourGlass);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        screen.SetCursor(Cursors::HandPoint);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        screen.SetCursor(Cursors::Default);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        screen.SetCursor(Cursors::IBeam);
        EXPECT_EQ(screen.Cursor(), Cursors::IBeam);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // released with the object
    TFakeScreenCursor fake;  // registered cursors replace the standard shapes
    EXPECT_EQ(fake.CursorOf(Cursors::Cross).shape(), Qt::CrossCursor);
    EXPECT_EQ(fake.CursorOf(12345).shape(), Qt::ArrowCursor);
    fake.RegisterCursor(1, QCursor(Qt::SizeAllCursor));
    EXPECT_EQ(fake.CursorOf(1).shape(), Qt::SizeAllCursor);
}

TEST(ScreenCursor, RegisteredMakerRunsOnFirstUseOnlyAndIsReplaceable) {
    TFakeScreenCursor screen;
    int made = 0;
    screen.RegisterCursor(7, [&made] {
        ++made;
        return QCursor(Qt::SizeVerCursor);
    });
    EXPECT_EQ(made, 0);  // nothing read before the cursor is wanted
    EXPECT_EQ(screen.CursorOf(7).shape(), Qt::SizeVerCursor);
    EXPECT_EQ(screen.CursorOf(7).shape(), Qt::SizeVerCursor);
    EXPECT_EQ(made, 1);
    screen.RegisterCursor(7, QCursor(Qt::CrossCursor));  // a made cursor is replaced like any other
    EXPECT_EQ(screen.CursorOf(7).shape(), Qt::CrossCursor);
    EXPECT_EQ(made, 1);
}

// A cursor file was read from whatever had its name: /dev/zero without end,
// a pipe waiting for its writer for ever.
TEST(LoadCursorFile, RegressionFileThatIsNotARegularFileIsRefusedWithoutWaiting) {
    QTemporaryDir dir;
    ASSERT_TRUE(MakeNamedPipe(dir.filePath("pipe.cur")));
    QCursor cursor;
    EXPECT_FALSE(LoadCursorFile(QStringLiteral("/dev/zero"), cursor));
    EXPECT_FALSE(LoadCursorFile(dir.filePath("pipe.cur"), cursor));
}

TEST(LoadCursorFile, KeepsTheHotSpotAndRejectsOtherFiles) {
    TFixtureBitmap bmp;  // a 2x2 cursor of one 32-bit picture, its hot spot (1, 0)
    bmp.width = 2;
    bmp.height = 2;
    bmp.values = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
    TFixtureEntry entry = BitmapEntry(bmp);
    entry.planesOrHotX = 1;
    entry.bitsOrHotY = 0;
    QTemporaryDir dir;
    ASSERT_TRUE(WriteTestFile(dir.filePath("c.cur"), IconFileBytes({entry}, 2)));
    QCursor cursor;
    ASSERT_TRUE(LoadCursorFile(dir.filePath("c.cur"), cursor));
    EXPECT_EQ(cursor.hotSpot(), QPoint(1, 0));
    EXPECT_EQ(cursor.pixmap().size(), QSize(2, 2));
    EXPECT_FALSE(LoadCursorFile(dir.filePath("missing.cur"), cursor));
    ASSERT_TRUE(WriteTestFile(dir.filePath("bad.cur"), "not a cursor at all, not at all"));
    EXPECT_FALSE(LoadCursorFile(dir.filePath("bad.cur"), cursor));
}

}  // namespace

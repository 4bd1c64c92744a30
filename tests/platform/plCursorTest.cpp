#include "platform/plCursor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtEndian>

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
}

TEST(ScreenCursor, RegisteredCursorsReplaceTheStandardShapes) {
    TFakeScreenCursor screen;
    EXPECT_EQ(screen.CursorOf(Cursors::Cross).shape(), Qt::CrossCursor);
    EXPECT_EQ(screen.CursorOf(12345).shape(), Qt::ArrowCursor);
    screen.RegisterCursor(1, QCursor(Qt::SizeAllCursor));
    EXPECT_EQ(screen.CursorOf(1).shape(), Qt::SizeAllCursor);
}

// A 2x2 cursor file with one 32-bit picture and the hot spot (1, 0).
QByteArray TinyCursorFile() {
    QByteArray bmp(40, '\0');
    auto put32 = [](QByteArray& b, int at, quint32 v) { qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()) + at); };
    auto put16 = [](QByteArray& b, int at, quint16 v) { qToLittleEndian(v, reinterpret_cast<uchar*>(b.data()) + at); };
    put32(bmp, 0, 40);
    put32(bmp, 4, 2);
    put32(bmp, 8, 4);  // colour and mask halves
    put16(bmp, 12, 1);
    put16(bmp, 14, 32);
    bmp += QByteArray::fromHex("0000ffff0000ffff0000ffff0000ffff");  // pixels, bottom row first
    bmp += QByteArray(8, '\0');                                        // AND mask rows (4 bytes each)
    QByteArray file(6 + 16, '\0');
    put16(file, 2, 2);
    put16(file, 4, 1);
    file[6] = 2;
    file[7] = 2;
    put16(file, 10, 1);
    put16(file, 12, 0);
    put32(file, 14, quint32(bmp.size()));
    put32(file, 18, 22);
    return file + bmp;
}

TEST(LoadCursorFile, KeepsTheHotSpotAndRejectsOtherFiles) {
    QTemporaryDir dir;
    QFile f(dir.filePath("c.cur"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(TinyCursorFile());
    f.close();
    QCursor cursor;
    ASSERT_TRUE(LoadCursorFile(f.fileName(), cursor));
    EXPECT_EQ(cursor.hotSpot(), QPoint(1, 0));
    EXPECT_EQ(cursor.pixmap().size(), QSize(2, 2));
    EXPECT_FALSE(LoadCursorFile(dir.filePath("missing.cur"), cursor));
    QFile g(dir.filePath("bad.cur"));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("not a cursor at all, not at all");
    g.close();
    EXPECT_FALSE(LoadCursorFile(g.fileName(), cursor));
}

}  // namespace

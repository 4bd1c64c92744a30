#include "core/umIcon.h"

#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "support/iconFixtures.h"
#include "support/testCases.h"
#include "support/testRaise.h"

#include <QImageReader>

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/imageCompare.h"

namespace {

TBitmap32 Pixels(const TIconImage& icon, int index) {
    TBitmap32 bitmap;
    icon.CopyToBitmap32(index, bitmap);
    return bitmap;
}

// A 5 x 3 bitmap (odd width, so rows are padded) whose third row is masked
// white: pixel 0 over black colour, the others over their own colours.
TFixtureBitmap Sample(int bitCount) {
    TFixtureBitmap bmp;
    bmp.width = 5;
    bmp.height = 3;
    bmp.bitCount = bitCount;
    const int colors = bitCount <= 8 ? 1 << bitCount : 0;
    for (int i = 0; i < colors; ++i)
        bmp.palette << (i == 0 ? qRgb(0, 0, 0) : qRgb((i * 37) & 0xFF, (i * 91) & 0xFF, (i * 13 + 7) & 0xFF));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int n = y * 5 + x;
            uint32_t v;
            if (bitCount <= 8) v = uint32_t(n % colors);
            else if (bitCount == 16) v = uint32_t((n * 2311) & 0x7FFF);
            else v = uint32_t(n * 0x0A0B0C + 0x10);  // at 32 bits alpha byte 0: the mask decides
            if (y == 2 && x == 0) v = 0;           // black colour under white mask
            bmp.values << v;
            bmp.maskWhite << (y == 2);
        }
    return bmp;
}

QRgb ExpectedColor(const TFixtureBitmap& bmp, uint32_t v) {
    if (bmp.bitCount <= 8) return bmp.palette[int(v)] | 0xFF000000u;
    if (bmp.bitCount == 16) return qRgb(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
    return (v & 0xFFFFFFu) | 0xFF000000u;
}

class BitDepths : public ::testing::TestWithParam<int> {};

TEST_P(BitDepths, ColoursAndMaskRules) {
    const TFixtureBitmap bmp = Sample(GetParam());
    TIconImage icon;
    LoadFromBytes(icon, IconFileBytes({BitmapEntry(bmp)}));
    ASSERT_EQ(icon.Count(), 1);
    EXPECT_EQ(icon.Entry(0).BitCount, GetParam());
    EXPECT_EQ(icon.GetPngStream(0), nullptr);
    const TBitmap32 out = Pixels(icon, 0);
    ASSERT_EQ(out.Image().size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint32_t v = bmp.values[y * 5 + x];
            QRgb expected = ExpectedColor(bmp, v);
            if (y == 2) expected = (expected & 0xFFFFFFu) == 0 ? 0u : 0xFF000000u;
            EXPECT_EQ(out.Pixel(x, y), expected) << "pixel " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(IconReader, BitDepths, ::testing::Values(1, 4, 8, 16, 24, 32));

TEST(IconReader, AlphaIconKeepsEachPixelsAlphaAndIgnoresTheMask) {
    // Tools write a white mask under anti-aliased and transparent pixels; the
    // alpha channel, not the mask, decides how they show.
    TFixtureBitmap bmp;
    bmp.width = 3;
    bmp.height = 1;
    bmp.bitCount = 32;
    bmp.values = {0xFF102030u, 0x80405060u, 0x00708090u};
    bmp.maskWhite = {false, true, true};
    TIconImage icon;
    LoadFromBytes(icon, IconFileBytes({BitmapEntry(bmp)}));
    const TBitmap32 out = Pixels(icon, 0);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(out.Pixel(x, 0), bmp.values[x]) << x;
}

TEST(IconReader, PngAndMngEntriesAreKeptAsTheirBytes) {
    // A PNG entry of 256 (directory width and height 0) and an MNG one.
    TFixtureEntry png, mng;
    png.data = QByteArray("\x89PNG\r\n\x1A\nrest of the png", 23);
    mng.data = QByteArray("\x8AMNG\r\n\x1A\n....", 12);
    mng.dirWidth = 48;
    mng.dirHeight = 32;
    TIconImage icon;
    LoadFromBytes(icon, IconFileBytes({png, mng}));
    ASSERT_EQ(icon.Count(), 2);
    EXPECT_EQ(QSize(icon.Width(0), icon.Height(0)), QSize(256, 256));
    EXPECT_EQ(QSize(icon.Width(1), icon.Height(1)), QSize(48, 32));
    QBuffer* stream = icon.GetPngStream(0);
    ASSERT_NE(stream, nullptr);
    stream->read(4);
    EXPECT_EQ(icon.GetPngStream(0)->pos(), 0);
    EXPECT_EQ(icon.GetPngStream(0)->data(), png.data);
    EXPECT_EQ(icon.GetPngStream(1)->data(), mng.data);
}

TEST(IconReader, CursorKeepsEachHotSpot) {
    TFixtureEntry a = BitmapEntry(Sample(24)), b = BitmapEntry(Sample(8));
    a.planesOrHotX = 2;
    a.bitsOrHotY = 1;
    b.planesOrHotX = 4;
    b.bitsOrHotY = 0;
    TIconImage icon;
    LoadFromBytes(icon, IconFileBytes({a, b}, 2));
    EXPECT_TRUE(icon.IsCursor());
    ASSERT_EQ(icon.Count(), 2);
    EXPECT_EQ(QPoint(icon.Entry(0).HotSpotX, icon.Entry(0).HotSpotY), QPoint(2, 1));
    EXPECT_EQ(QPoint(icon.Entry(1).HotSpotX, icon.Entry(1).HotSpotY), QPoint(4, 0));
    EXPECT_EQ(icon.Entry(1).BitCount, 8);  // from the bitmap header, not the directory
    icon.Clear();
    EXPECT_FALSE(icon.IsCursor());
    EXPECT_EQ(icon.Count(), 0);
}

TEST(IconReader, SeeksToStoredOffsetsAndReadsSequentiallyWhenOutsideTheStream) {
    // Images stored in the opposite order of their entries.
    TFixtureBitmap small = Sample(24), wide = Sample(8);
    wide.width = 7;
    wide.values = QList<uint32_t>(21, 3);
    wide.maskWhite.clear();
    const QByteArray first = BitmapBytes(small), second = BitmapBytes(wide);
    TFixtureEntry a, b;
    a.bytesInRes = uint32_t(first.size());
    a.offset = uint32_t(6 + 32 + second.size());
    b.bytesInRes = uint32_t(second.size());
    b.offset = 6 + 32;
    TIconImage icon;
    LoadFromBytes(icon, IconFileBytes({a, b}) + second + first);
    ASSERT_EQ(icon.Count(), 2);
    EXPECT_EQ(icon.Width(0), 5);
    EXPECT_EQ(icon.Width(1), 7);
    for (uint32_t offset : {0u, 3u, 0x7FFFFFF0u}) {
        TFixtureEntry c = BitmapEntry(Sample(4)), d = BitmapEntry(Sample(1));
        c.offset = offset;
        d.offset = offset;
        TIconImage sequential;
        LoadFromBytes(sequential, IconFileBytes({c, d}));
        ASSERT_EQ(sequential.Count(), 2) << offset;
        EXPECT_EQ(sequential.Entry(0).BitCount, 4);
        EXPECT_EQ(sequential.Entry(1).BitCount, 1);
    }
}

TEST(IconReader, OffsetsCountFromWhereTheIconStartsStreamsThatCannotSeekReadAndExtraBytesAreSkipped) {
    const QByteArray prefix("some other data");
    QBuffer buffer;
    buffer.setData(prefix + IconFileBytes({BitmapEntry(Sample(24)), BitmapEntry(Sample(32))}));
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(prefix.size());
    TIconImage icon;
    icon.LoadFromStream(buffer);
    ASSERT_EQ(icon.Count(), 2);
    EXPECT_EQ(icon.Entry(1).BitCount, 32);
    EXPECT_EQ(buffer.pos(), buffer.size());

    int ends[2];  // a pipe holding the whole file, its writing end closed
    ASSERT_EQ(pipe(ends), 0);
    const QByteArray piped = IconFileBytes({BitmapEntry(Sample(4)), BitmapEntry(Sample(32))});
    ASSERT_EQ(write(ends[1], piped.constData(), size_t(piped.size())), piped.size());
    close(ends[1]);
    QFile pipe;
    ASSERT_TRUE(pipe.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    ASSERT_TRUE(pipe.isSequential());
    TIconImage fromPipe;
    fromPipe.LoadFromStream(pipe);
    ASSERT_EQ(fromPipe.Count(), 2);
    EXPECT_EQ(fromPipe.Entry(1).BitCount, 32);

    // Bytes beyond a bitmap and header bytes beyond the known fields are skipped.
    TFixtureBitmap longer = Sample(24);
    longer.trailing = QByteArray(10, 'x');
    TFixtureBitmap bigHeader = Sample(8);
    bigHeader.headerSize = 56;
    TIconImage skipping;
    LoadFromBytes(skipping, IconFileBytes({BitmapEntry(longer), BitmapEntry(bigHeader)}));
    ASSERT_EQ(skipping.Count(), 2);
    EXPECT_EQ(Pixels(skipping, 1).Pixel(1, 0), ExpectedColor(bigHeader, 1));
}

// A file of one entry of Sample(24) whose bitmap header, directory entry or
// bytes a row of data/core/icon-headers.txt edits.
QByteArray HostileBytes(const CaseRow& c) {
    if (c.Has("Raw")) return QByteArray::fromHex(c["Raw"].toLatin1());
    TFixtureBitmap bmp = Sample(24);
    if (c.Has("HeaderSize")) bmp.headerSize = c["HeaderSize"].toUInt();
    if (c.Has("HeaderWidth")) bmp.headerWidth = c.Int("HeaderWidth");
    if (c.Has("HeaderHeight")) bmp.headerHeight = c.Int("HeaderHeight");
    if (c.Has("HeaderBitCount")) bmp.headerBitCount = uint16_t(c.Int("HeaderBitCount"));
    if (c.Has("Compression")) bmp.compression = c["Compression"].toUInt();
    TFixtureEntry e = BitmapEntry(bmp);
    if (c.Has("EntryData")) {
        e = {};
        e.data = QByteArray::fromHex(c["EntryData"].toLatin1());
    }
    if (c.Has("BytesInRes")) e.bytesInRes = c["BytesInRes"].toUInt();
    if (c.Has("ShortBy")) e.bytesInRes = uint32_t(e.data.size() - c.Int("ShortBy"));
    const std::optional<uint16_t> count = c.Has("Count") ? std::optional(uint16_t(c.Int("Count"))) : std::nullopt;
    return IconFileBytes({e}, 1, count).chopped(c.Int("Chop"));
}

// Every broken header fails with its text before anything is allocated.
TEST(IconReader, HostileHeadersFailWithTheirText) {
    for (const CaseRow& c : LoadCases("core/icon-headers.txt", "Hostile")) {
        TIconImage icon;
        EXPECT_EQ(RaisedId([&] { LoadFromBytes(icon, HostileBytes(c)); }), c.Id("Error")) << c.Text();
    }
}

TEST(IconReader, RegressionEntriesSharingOneImageMultipliedItsMemory) {
    // Every entry of a full directory pointing at one large image made the
    // reader keep a copy per entry: far more memory than the file holds.
    const QByteArray image = BitmapBytes(Sample(32));
    QList<TFixtureEntry> entries(300);
    const uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (TFixtureEntry& e : entries) {
        e.bytesInRes = uint32_t(image.size());
        e.offset = offset;
    }
    QByteArray bytes = IconFileBytes(entries);
    bytes.truncate(offset);
    TIconImage icon;
    EXPECT_EQ(RaisedId([&] { LoadFromBytes(icon, bytes + image); }), strIconAllocationError);
    EXPECT_EQ(icon.Count(), 1);  // what fits the file is kept
}

TEST(IconReader, FailureKeepsOnlyTheWholeEntriesBefore) {
    TFixtureBitmap broken = Sample(8);
    broken.headerBitCount = 5;
    TIconImage icon;
    const QByteArray bytes = IconFileBytes({BitmapEntry(Sample(24)), BitmapEntry(broken)});
    EXPECT_EQ(RaisedId([&] { LoadFromBytes(icon, bytes); }), strGdiObjectNotCreated);
    ASSERT_EQ(icon.Count(), 1);
    EXPECT_EQ(Pixels(icon, 0).Width(), 5);
    TIconImage empty;
    LoadFromBytes(empty, IconFileBytes({}));  // an empty directory loads as no entries
    EXPECT_EQ(empty.Count(), 0);
}

// Writer

// The bytes the writer makes of `images`; empty when it refuses.
QByteArray Saved(const QList<TIconWriterImage>& images, bool cursor = false) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return SaveIconToStream(buffer, images, cursor) ? buffer.data() : QByteArray();
}

TEST(IconWriter, RoundTripsThroughTheReaderAndQtsReader) {
    const QImage image = Photo(16, 12, true), big = Photo(256, 256, true);
    QByteArray bytes = Saved({{image, 32, false, {}}, {image, 24, false, {}}, {big, 32, true, {}}});
    ASSERT_FALSE(bytes.isEmpty());

    TIconImage icon;
    LoadFromBytes(icon, bytes);
    ASSERT_EQ(icon.Count(), 3);
    EXPECT_FALSE(icon.IsCursor());
    EXPECT_TRUE(SamePixels(Pixels(icon, 0).Image(), image));
    const QImage opaque = Pixels(icon, 1).Image();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb src = image.pixel(x, y);
            EXPECT_EQ(opaque.pixel(x, y), qAlpha(src) < 128 ? 0u : (src | 0xFF000000u));
        }
    EXPECT_TRUE(SamePixels(QImage::fromData(icon.GetPngStream(2)->data()), big));

    QBuffer again(&bytes);
    again.open(QIODevice::ReadOnly);
    QImageReader qt(&again, "ico");
    QImage first;
    ASSERT_TRUE(qt.read(&first));
    // Qt's reader gives premultiplied pixels: compare in that form.
    EXPECT_TRUE(SamePremultiplied(first, image));
}

TEST(IconWriter, RegressionFullyTransparentAlphaIconReadBackAsOpaqueBlack) {
    // All alpha 0 and coloured: the reader falls back to the mask, which must
    // then see black colours under its white bits.
    QImage clear(5, 3, QImage::Format_ARGB32);
    clear.fill(qRgba(200, 100, 50, 0));
    TIconImage icon;
    LoadFromBytes(icon, Saved({{clear, 32, false, {}}}));
    const TBitmap32 out = Pixels(icon, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(out.Pixel(x, y), 0u) << x << "," << y;
}

TEST(IconWriter, CursorKeepsHotSpotsAndWhatCannotBeWrittenIsRefused) {
    TIconImage icon;
    LoadFromBytes(icon, Saved({{Photo(8, 8, true), 32, false, {3, 5}}}, true));
    ASSERT_EQ(icon.Count(), 1);
    EXPECT_TRUE(icon.IsCursor());
    EXPECT_EQ(QPoint(icon.Entry(0).HotSpotX, icon.Entry(0).HotSpotY), QPoint(3, 5));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(SaveIconToStream(buffer, {}, false));
    EXPECT_FALSE(SaveIconToStream(buffer, {{QImage(), 32, false, {}}}, false));
    EXPECT_FALSE(SaveIconToStream(buffer, {{Photo(4, 4, true), 8, false, {}}}, false));
    EXPECT_EQ(buffer.size(), 0);
}

}  // namespace

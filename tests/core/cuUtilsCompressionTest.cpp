// Stream compression: the bytes are those of Python's zlib.compress on the
// same input (same library, default level, zlib format), both directions
// read each other, and damaged, truncated and oversized input raises.

#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "support/testRaise.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <limits>

namespace {

// Python's zlib.compress of `input`.
QByteArray PythonCompress(const QByteArray& input) {
    QProcess p;
    const QString script = QStringLiteral("import sys,zlib;sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read()))");
    p.start("python3", {"-c", script});
    if (!p.waitForStarted(10000)) return "python3 missing";
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

QByteArray TextLike(int size) {
    static const char* words[] = {"begin ", "end; ", "if ", "then ", "Value", " := ", "42", "\n", "Result"};
    QByteArray out;
    QRandomGenerator rng(7);
    while (out.size() < size) out += words[rng.bounded(9)];
    out.truncate(size);
    return out;
}

QByteArray Noise(int size) {
    QByteArray out(size, Qt::Uninitialized);
    QRandomGenerator rng(11);
    for (char& c : out) c = char(rng.bounded(256));
    return out;
}

// A source holding `data` (open for reading) and a destination holding
// `destData` (open for reading and writing, at its start).
struct TStreams {
    QBuffer source, dest;
    explicit TStreams(const QByteArray& data, const QByteArray& destData = {}) {
        source.setData(data);
        source.open(QIODevice::ReadOnly);
        dest.setData(destData);
        dest.open(QIODevice::ReadWrite);
    }
};

// Our bytes are Python's, and each side reads the other's into any device.
TEST(CompressStream, BytesEqualPythonsZlibCompressBothWays) {
    const std::pair<const char*, QByteArray> samples[] = {
        {"one byte", "x"},
        {"text", TextLike(200 * 1024)},
        {"noise", Noise(20 * 1024)},
        {"zeros", QByteArray(300 * 1024, '\0')},
    };
    for (const auto& [name, data] : samples) {
        SCOPED_TRACE(name);
        TStreams io(data);
        CompressStream(io.source, io.dest);
        EXPECT_EQ(io.dest.pos(), 0);
        const QByteArray python = PythonCompress(data);
        EXPECT_EQ(io.dest.data(), python);

        QBuffer source;
        source.setData(python);
        source.open(QIODevice::ReadOnly);
        source.seek(source.size() / 2);  // the whole source counts, wherever it stands
        QTemporaryFile dest;
        ASSERT_TRUE(dest.open());
        DecompressStream(source, dest);
        EXPECT_EQ(dest.pos(), 0);
        EXPECT_EQ(dest.readAll(), data);
    }
}

TEST(CompressStream, AppendsAtTheDestinationsPositionAndRewindsAndEmptySourceWritesNothing) {
    TStreams io(TextLike(1000), "head");
    io.dest.seek(4);
    CompressStream(io.source, io.dest);
    EXPECT_EQ(io.dest.pos(), 0);
    EXPECT_EQ(io.dest.data(), "head" + CompressBytes(TextLike(1000)));
    TStreams empty({}, "keep");
    empty.dest.seek(2);
    CompressStream(empty.source, empty.dest);
    DecompressStream(empty.source, empty.dest);
    EXPECT_EQ(empty.dest.data(), "keep");
    EXPECT_EQ(empty.dest.pos(), 2);
}

TEST(DecompressStream, DamagedOrTruncatedDataRaisesAndWritesNothing) {
    // Regression: a damaged or cut stream gave back what had been inflated
    // so far, as if it were the whole content.
    const QByteArray good = CompressBytes(TextLike(50 * 1024));
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x55);
    QByteArray badChecksum = good;
    badChecksum[badChecksum.size() - 1] = char(badChecksum[badChecksum.size() - 1] ^ 1);
    const std::pair<const char*, QByteArray> cases[] = {
        {"flipped", flipped},
        {"checksum", badChecksum},
        {"cut by one", good.left(good.size() - 1)},
        {"header only", good.left(2)},
        {"not zlib", QByteArray("plain text, not compressed")},
        {"gzip", QByteArray::fromHex("1f8b0800000000000003cb48cdc9c90700")},
        {"trailing bytes", good + "xyz"},
    };
    for (const auto& [name, data] : cases) {
        TStreams io(data);
        EXPECT_EQ(RaisedId([&] { DecompressStream(io.source, io.dest); }), strCompressedDataDamaged) << name;
        EXPECT_TRUE(io.dest.data().isEmpty()) << name;
    }
}

TEST(DecompressStream, OutputBeyondTheCapRaises) {
    const QByteArray data(1 << 20, 'a');
    const QByteArray packed = CompressBytes(data);
    EXPECT_EQ(DecompressBytes(packed, data.size()), data);
    EXPECT_EQ(RaisedId([&] { DecompressBytes(packed, data.size() - 1); }), strDecompressedTooLarge);
    EXPECT_EQ(RaisedId([&] { DecompressBytes(packed, 0); }), strDecompressedTooLarge);
    TStreams io(packed);
    EXPECT_EQ(RaisedId([&] { DecompressStream(io.source, io.dest, 4096); }), strDecompressedTooLarge);
    EXPECT_TRUE(io.dest.data().isEmpty());
    // Regression: the cap plus one overflowed for the largest cap ("no
    // limit"), and every input was then too large.
    EXPECT_EQ(DecompressBytes(packed, std::numeric_limits<qint64>::max()), data);
}

// Regression: a destination that took no bytes (opened for reading only, a
// full disk) was reported as written.
TEST(CompressStream, DestinationThatRefusesTheBytesRaises) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.close();
    QFile readOnlyFile(file.fileName());
    ASSERT_TRUE(readOnlyFile.open(QIODevice::ReadOnly));
    TStreams plain(TextLike(1000)), packed(CompressBytes(TextLike(1000)));
    EXPECT_EQ(RaisedId([&] { CompressStream(plain.source, readOnlyFile); }), strCannotWriteFile);
    EXPECT_EQ(RaisedId([&] { DecompressStream(packed.source, readOnlyFile); }), strCannotWriteFile);
    EXPECT_EQ(readOnlyFile.size(), 0);
}

}  // namespace

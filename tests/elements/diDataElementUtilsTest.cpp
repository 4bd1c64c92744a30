// Data kinds by extension, image sizes read from headers (well formed,
// truncated, garbage, the replayed fuzzing corpus) and the desktop
// applications of an extension found in a made-up XDG tree.

#include "elements/diDataElementUtils.h"

#include "support/testCorpus.h"
#include "support/testFiles.h"
#include "support/testImageHeaders.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ImageHeaders;

namespace {

TEST(ImageFormatFromExtension, FirstEntryRegardlessOfCase) {
    const struct {
        const char* extension;
        int format;
    } cases[] = {{"JPG", ifJpg},   {"Jpg", ifJpg}, {"jpg", ifJpg},   {"jpeg", ifJpeg}, {"JFIF", ifJfif},
                 {"bmp", ifBmp},   {"ICO", ifIco}, {"cur", ifCur},   {"emf", ifEmf},   {"wmf", ifWmf},
                 {"gif", ifGif},   {"PNG", ifPng}, {"tif", ifTif},   {"TIFF", ifTiff}, {"", ifNone},
                 {"png ", ifNone}, {"sh", ifNone}, {".png", ifNone}};
    for (const auto& c : cases) EXPECT_EQ(ImageFormatFromExtension(QString::fromLatin1(c.extension)), c.format) << c.extension;
    for (int format = ifBmp; format < kImageFormatCount; ++format)
        EXPECT_EQ(ImageFormatFromExtension(ImageFormatExtension(format)), format);
    EXPECT_EQ(ImageFormatExtension(kImageFormatCount), QString());
    EXPECT_EQ(ImageFormatKindName(ifEmf), ImageFormatKindName(ifWmf));
    EXPECT_EQ(ImageFormatKindName(ifNone), 0);
}

struct TSizeCase {
    const char* name;
    int format;
    QByteArray bytes;
    bool known;
    int width, height;
};

QSize SizeOf(const QByteArray& bytes, int format, bool& known) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    int width = -1, height = -1;
    known = ReadImageSize(buffer, format, width, height);
    return QSize(width, height);
}

TEST(ReadImageSize, HeadersOfEveryKind) {
    const QByteArray frame = JpegFrame(640, 480);
    const QByteArray app0("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14);
    const TSizeCase cases[] = {
        {"png", ifPng, Png(300, 200), true, 300, 200},
        {"png truncated", ifPng, Png(300, 200).left(20), false, 100, 100},
        {"png width past int", ifPng, Png(0x80000000u, 200), false, 100, 200},
        {"png zero height", ifPng, Png(300, 0), false, 300, 100},
        {"bmp bottom-up", ifBmp, Bmp(64, 32), true, 64, 32},
        {"bmp top-down", ifBmp, Bmp(64, -32), true, 64, 32},
        {"bmp smallest height", ifBmp, Bmp(64, INT32_MIN), false, 64, 100},
        {"bmp negative width", ifBmp, Bmp(-5, 10), false, 100, 10},
        {"bmp no signature", ifBmp, "XY" + Bmp(64, 32).mid(2), false, 100, 100},
        {"icon widest entry", ifIco, IconDirectory(1, {{16, 16}, {48, 40}, {32, 32}}), true, 48, 40},
        {"icon size byte 0 is 256", ifIco, IconDirectory(1, {{48, 48}, {0, 0}}), true, 256, 256},
        {"cursor height is its width", ifCur, IconDirectory(2, {{16, 16}, {32, 48}}), true, 32, 32},
        {"icon directory cut", ifIco, IconDirectory(1, {{48, 48}}).left(6) + QByteArray(3, 'x'), false, 32, 32},
        {"icon of another type", ifIco, IconDirectory(3, {{48, 48}}), false, 32, 32},
        {"jpeg baseline after app0", ifJpg, Jpeg({{0xE0, app0}, {0xC0, frame}}), true, 640, 480},
        {"jpeg progressive", ifJpeg, Jpeg({{0xC2, frame}}), true, 640, 480},
        {"jpeg no frame before end", ifJfif, Jpeg({{0xE0, app0}}), false, 100, 100},
        {"jpeg segment length 0", ifJpg, QByteArray("\xFF\xD8\xFF\xE0\x00\x00", 6), false, 100, 100},
        {"jpeg segment length 1", ifJpg, QByteArray("\xFF\xD8\xFF\xE0\x00\x01", 6), false, 100, 100},
        {"jpeg no marker", ifJpg, QByteArray("\xFF\xD8\x12\x34\x00\x04\x00\x00", 8), false, 100, 100},
        {"jpeg cut in a segment", ifJpe, Jpeg({{0xE0, app0}, {0xC0, frame}}).left(12), false, 100, 100},
        {"gif", ifGif, Gif(10, 20), true, 10, 20},
        {"tiff has no size", ifTiff, Png(300, 200), false, 100, 100},
        {"metafile has no size", ifEmf, Png(300, 200), false, 100, 100},
        {"unknown format", ifNone, Png(300, 200), false, 100, 100},
    };
    for (const TSizeCase& c : cases) {
        bool known = false;
        EXPECT_EQ(SizeOf(c.bytes, c.format, known), QSize(c.width, c.height)) << c.name;
        EXPECT_EQ(known, c.known) << c.name;
    }
}

// Every prefix of every header ends with a size the readers promise, and
// reads no further than the bytes there are.
TEST(ReadImageSize, EveryTruncationEnds) {
    const QByteArray frame = JpegFrame(7, 9);
    const std::pair<int, QByteArray> headers[] = {
        {ifPng, Png(3, 4)}, {ifBmp, Bmp(3, -4)}, {ifIco, IconDirectory(1, {{3, 4}, {0, 0}})},
        {ifCur, IconDirectory(2, {{3, 4}})}, {ifGif, Gif(3, 4)},
        {ifJpg, Jpeg({{0xE1, QByteArray(40, 'x')}, {0xC0, frame}})},
    };
    for (const auto& [format, bytes] : headers)
        for (qsizetype length = 0; length <= bytes.size(); ++length) EXPECT_EQ(ReplayImageHeaderBytes(bytes.left(length)), 0);
}

TEST(ReadImageSize, FuzzingCorpusReplays) {
    const int files = ReplayCorpus("imagesize-corpus", [](const QByteArray& bytes) {
        EXPECT_EQ(ReplayImageHeaderBytes(bytes), 0);
    });
    EXPECT_GT(files, 0);
}

// ---------------------------------------------------------------------------
// The applications of an extension in a made-up XDG tree

TEST(OpenWithPrograms, PreferredIndexOneEntryPerApplicationRemovedLeftOut) {
    QTemporaryDir root;
    const TXdgDirs dirs{{root.filePath("data")}, {root.filePath("config")}};
    QDir().mkpath(root.filePath("data/applications"));
    QDir().mkpath(root.filePath("config"));
    for (const char* name : {"Paint", "Viewer", "Gone", "Editor"})
        ASSERT_TRUE(WriteTestFile(root.filePath("data/applications/" + QString(name).toLower() + ".desktop"),
                                  QByteArray("[Desktop Entry]\nType=Application\nName=") + name + "\nExec=x %f\n"));
    ASSERT_TRUE(WriteTestFile(root.filePath("config/mimeapps.list"),
                              "[Added Associations]\nimage/png=paint.desktop;viewer.desktop;\n"
                              "[Default Applications]\nimage/png=editor.desktop\n"
                              "[Removed Associations]\nimage/png=gone.desktop;\n"));
    ASSERT_TRUE(WriteTestFile(root.filePath("data/applications/mimeinfo.cache"),
                              "[MIME Cache]\nimage/png=viewer.desktop;gone.desktop;editor.desktop;\n"));
    int preferred = -2;
    QStringList names, programs;
    GetOpenWithPrograms("PNG", preferred, names, programs, dirs);
    EXPECT_EQ(programs, (QStringList{"editor.desktop", "paint.desktop", "viewer.desktop"}));
    EXPECT_EQ(names, (QStringList{"Editor", "Paint", "Viewer"}));
    EXPECT_EQ(preferred, 0);

    // A default that is not installed prefers nothing.
    ASSERT_TRUE(WriteTestFile(root.filePath("config/mimeapps.list"), "[Default Applications]\nimage/png=missing.desktop\n"));
    GetOpenWithPrograms("png", preferred, names, programs, dirs);
    EXPECT_EQ(preferred, -1);
    EXPECT_EQ(programs, (QStringList{"viewer.desktop", "gone.desktop", "editor.desktop"}));
    GetOpenWithPrograms("", preferred, names, programs, dirs);
    EXPECT_TRUE(programs.isEmpty());
}

}  // namespace

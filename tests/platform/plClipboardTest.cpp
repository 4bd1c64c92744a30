#include "platform/plClipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {

using ClipboardFormat::BinaryData;
using ClipboardFormat::BinaryDataType;

TEST(QtClipboard, NamedFormatsAreCustomMimeTypesThatOtherProgramsSee) {
    EXPECT_EQ(ClipboardFormatMimeType(BinaryDataType), "application/x-tessaly-binary-data-type");
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("application/x-tessaly-binary-data"), QByteArray("zz"));
    QGuiApplication::clipboard()->setMimeData(data.release());
    TQtClipboard board;
    EXPECT_EQ(board.FormatData(BinaryData), QByteArray("zz"));
    EXPECT_FALSE(board.HasElementData());  // the type is missing
    board.Clear();
}

// The same cases on the offscreen application clipboard and on the fake.
class ClipboardTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { Board().Clear(); }
    TClipboard& Board() { return TClipboard::Current(); }

private:
    std::unique_ptr<TFakeClipboard> m_fake = GetParam() ? std::make_unique<TFakeClipboard>() : nullptr;
    TClipboardInstaller m_installer{m_fake.get()};
};

TEST_P(ClipboardTest, OneCopyReplacesAllThatWasThere) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.setPixel(1, 1, qRgb(0, 0, 255));
    TClipboardContent content;
    content.Formats.insert(BinaryData, QByteArray("\x00\x01\xff", 3));
    content.Formats.insert(BinaryDataType, QByteArray("p\0n\0g\0\0\0", 8));
    content.Image = image;
    Board().SetContent(content);
    EXPECT_FALSE(Board().HasText());
    EXPECT_TRUE(Board().HasElementData());
    EXPECT_EQ(Board().FormatData(BinaryData), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(Board().FormatData(BinaryDataType), QByteArray("p\0n\0g\0\0\0", 8));
    EXPECT_EQ(Board().Image().convertToFormat(QImage::Format_ARGB32), image);

    const QString text = QStringLiteral("a\tb\r\nc \u00A0\U0001F600");
    Board().SetText(text);
    EXPECT_EQ(Board().Text(), text);
    EXPECT_FALSE(Board().HasFormat(BinaryData));
    EXPECT_FALSE(Board().HasImage());
    Board().Clear();
    EXPECT_FALSE(Board().HasText());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ClipboardTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fake" : "Qt"; });

}  // namespace

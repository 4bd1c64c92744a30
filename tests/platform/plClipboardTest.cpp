#include "platform/plClipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {

TEST(ClipboardFormatMimeType, NamedFormatsBecomeCustomTypes) {
    EXPECT_EQ(ClipboardFormatMimeType(QString::fromUtf16(ClipboardFormat::BinaryData)),
              QStringLiteral("application/x-tessaly-binary-data"));
    EXPECT_EQ(ClipboardFormatMimeType(QString::fromUtf16(ClipboardFormat::BinaryDataType)),
              QStringLiteral("application/x-tessaly-binary-data-type"));
}

QImage TwoColourImage() {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.setPixel(1, 1, qRgb(0, 0, 255));
    return image;
}

// The same cases run on the offscreen application clipboard and on the fake.
enum class ClipboardKind { Qt, Fake };

class ClipboardTest : public ::testing::TestWithParam<ClipboardKind> {
protected:
    void SetUp() override {
        if (GetParam() == ClipboardKind::Fake) m_fake = std::make_unique<TFakeClipboard>();
        m_installer = std::make_unique<TClipboardInstaller>(m_fake.get());
        Board().Clear();
    }
    void TearDown() override { Board().Clear(); }
    TClipboard& Board() { return TClipboard::Current(); }

private:
    std::unique_ptr<TFakeClipboard> m_fake;
    std::unique_ptr<TClipboardInstaller> m_installer;
};

TEST_P(ClipboardTest, TextFormatsAndImageComeBackTogether) {
    const QString binary = QString::fromUtf16(ClipboardFormat::BinaryData);
    const QString type = QString::fromUtf16(ClipboardFormat::BinaryDataType);
    TClipboardContent content;
    content.Formats.insert(binary, QByteArray("\x00\x01\xff", 3));
    content.Formats.insert(type, QByteArray("p\0n\0g\0\0\0", 8));
    content.Image = TwoColourImage();
    Board().SetContent(content);

    EXPECT_FALSE(Board().HasText());
    EXPECT_TRUE(Board().HasFormat(binary));
    EXPECT_EQ(Board().FormatData(binary), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(Board().FormatData(type), QByteArray("p\0n\0g\0\0\0", 8));
    EXPECT_FALSE(Board().HasFormat(QStringLiteral("Other")));
    ASSERT_TRUE(Board().HasImage());
    EXPECT_EQ(Board().Image().convertToFormat(QImage::Format_ARGB32), TwoColourImage());
}

TEST_P(ClipboardTest, SettingTextReplacesEverythingBefore) {
    TClipboardContent content;
    content.Formats.insert(QString::fromUtf16(ClipboardFormat::BinaryData), QByteArray("x"));
    content.Image = TwoColourImage();
    Board().SetContent(content);

    const QString text = QStringLiteral("a\tb\r\nc \u00A0\U0001F600");
    Board().SetText(text);
    ASSERT_TRUE(Board().HasText());
    EXPECT_EQ(Board().Text(), text);
    EXPECT_FALSE(Board().HasFormat(QString::fromUtf16(ClipboardFormat::BinaryData)));
    EXPECT_FALSE(Board().HasImage());

    Board().Clear();
    EXPECT_FALSE(Board().HasText());
    EXPECT_EQ(Board().Text(), QString());
    EXPECT_TRUE(Board().Image().isNull());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ClipboardTest, ::testing::Values(ClipboardKind::Qt, ClipboardKind::Fake),
                         [](const auto& info) { return info.param == ClipboardKind::Qt ? "Qt" : "Fake"; });

TEST(QtClipboard, ReadsWhatAnotherProgramPutThere) {
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("application/x-tessaly-binary-data"), QByteArray("zz"));
    QGuiApplication::clipboard()->setMimeData(data.release());
    TQtClipboard board;
    EXPECT_EQ(board.FormatData(QString::fromUtf16(ClipboardFormat::BinaryData)), QByteArray("zz"));
    EXPECT_FALSE(board.HasText());
    board.Clear();
}

}  // namespace

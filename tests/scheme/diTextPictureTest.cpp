// Pictures of kept texts: drawn where and only where they give the glyphs'
// pixels, kept per colour, font and resolution, within their budget.

#include "scheme/diTextPicture.h"
#include "scheme/diTextorAttributes.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

constexpr QSize Size(220, 40);
constexpr int X = 5;
constexpr int Baseline = 26;

QFont TestFont(int pixelSize = 16, bool italic = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setItalic(italic);
    return font;
}

// A background under which a gamma-corrected or subpixel blend would differ
// from a plain one: noise, a gradient, one colour.
QImage Background(QImage::Format format, int kind) {
    QImage image(Size, format);
    if (kind == 0) {
        std::mt19937 random(7);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(random() % 256, random() % 256, random() % 256));
    } else if (kind == 1) {
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, Size.width(), 0);
        gradient.setColorAt(0, Qt::black);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(image.rect(), gradient);
    } else {
        image.fill(Qt::white);
    }
    return image;
}

int MaxChannelDifference(const QImage& a, const QImage& b, int* differing = nullptr) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int difference = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            if (differing && difference) ++*differing;
            most = std::max(most, difference);
        }
    return most;
}

QSize Dpi(const QImage& image) { return {image.logicalDpiX(), image.logicalDpiY()}; }

// What QPainter::drawText leaves.
QImage DrawnByQt(QImage image, const QFont& font, QColor colour, const QString& text) {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPoint(X, Baseline), text);
    return image;
}

QImage DrawnKept(TKeptGlyphs& kept, QImage image, const QFont& font, QColor colour, const QString& text,
                 const std::function<void(QPainter&)>& prepare = {}) {
    QPainter painter(&image);
    if (prepare) prepare(painter);
    painter.setPen(colour);
    kept.Draw(painter, font, text, X, Baseline, Dpi(image));
    return image;
}

// Drawn a first time from glyphs, a second time from glyphs checked against
// the picture, and then from the picture: every time the pixels drawText
// gives, on targets of both 32-bit formats and on any background. Where
// glyph boxes overlap (marks, italics, ligature-like pairs) the picture may
// round a channel by one unit (TTextPicture::MaxRounding).
TEST(TextPictures, TextsDrawnAgainGiveTheGlyphsPixelsOnEveryTargetAndBackground) {
    const struct {
        QString text;
        bool italic;
        bool mayRound;
    } texts[] = {
        {QStringLiteral("Total200 := Total200 + 1;"), false, false},
        {QStringLiteral("The quick brown fox"), false, false},
        {QStringLiteral("Wavy fjord, ff fi T.j"), true, true},
        {QStringLiteral("e\u0301te\u0301 A\u030Angstro\u0308m"), false, true},
    };
    const QColor colours[] = {QColor(0, 0, 0), QColor(10, 20, 200), QColor(255, 0, 0, 128)};
    int rounded = 0;
    for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32})
        for (int background = 0; background < 3; ++background)
            for (const auto& [text, italic, mayRound] : texts)
                for (const QColor& colour : colours) {
                    SCOPED_TRACE(testing::Message() << text.toStdString() << " format " << format << " background "
                                                    << background << " colour " << colour.name(QColor::HexArgb).toStdString());
                    const QFont font = TestFont(16, italic);
                    const QImage under = Background(format, background);
                    const QImage expected = DrawnByQt(under, font, colour, text);
                    TKeptGlyphs kept;
                    for (int time = 0; time < 4; ++time) {
                        int differing = 0;
                        const int difference =
                            MaxChannelDifference(DrawnKept(kept, under, font, colour, text), expected, &differing);
                        EXPECT_LE(difference, mayRound ? TTextPicture::MaxRounding : 0) << "time " << time;
                        rounded += differing;
                    }
                    EXPECT_GT(kept.PictureBytes(), 0) << "drawn from a picture";
                }
    RecordProperty("RoundedPixels", rounded);
}

// A text drawn in another colour, font or resolution is drawn as such, also
// after its picture in the first was made and drawn.
TEST(TextPictures, ColourFontAndResolutionAreHonoured) {
    const QString text = QStringLiteral("Total200");
    TKeptGlyphs kept;
    const QImage white = Background(QImage::Format_ARGB32_Premultiplied, 2);
    auto drawnThrice = [&](const QImage& under, const QFont& font, QColor colour) {
        const QImage expected = DrawnByQt(under, font, colour, text);
        for (int time = 0; time < 3; ++time) EXPECT_EQ(DrawnKept(kept, under, font, colour, text), expected) << time;
        return expected;
    };
    const QImage blue = drawnThrice(white, TestFont(), QColor(10, 20, 200));
    const QImage red = drawnThrice(white, TestFont(), QColor(200, 20, 10));
    EXPECT_NE(blue, red);
    EXPECT_EQ(drawnThrice(white, TestFont(), QColor(10, 20, 200)), blue) << "the first colour's picture again";
    EXPECT_NE(drawnThrice(white, TestFont(20), QColor(10, 20, 200)), blue) << "another font";
    QImage finer = white;
    finer.setDotsPerMeterX(white.dotsPerMeterX() * 2);
    finer.setDotsPerMeterY(white.dotsPerMeterY() * 2);
    QFont points(QStringLiteral("DejaVu Sans"));
    points.setPointSize(9);
    const QImage coarse = drawnThrice(white, points, QColor(10, 20, 200));
    EXPECT_NE(drawnThrice(finer, points, QColor(10, 20, 200)), coarse) << "twice the resolution";
    EXPECT_EQ(drawnThrice(white, points, QColor(10, 20, 200)), coarse);
}

// Where a picture may not stand for the glyphs (a scaled or half-opaque
// painter, another composition, a target of another
// format, a fraction of a pixel's move, no smoothing), the glyphs are drawn and no picture
// is made.
TEST(TextPictures, NoPictureWhereItCouldNotGiveTheGlyphsPixels) {
    const QString text = QStringLiteral("Total200");
    const struct {
        const char* name;
        QImage::Format format;
        std::function<void(QPainter&)> prepare;
    } cases[] = {
        {"half opaque", QImage::Format_ARGB32_Premultiplied, [](QPainter& p) { p.setOpacity(0.5); }},
        {"multiplied", QImage::Format_ARGB32_Premultiplied,
         [](QPainter& p) { p.setCompositionMode(QPainter::CompositionMode_Multiply); }},
        {"half a pixel's move", QImage::Format_ARGB32_Premultiplied, [](QPainter& p) { p.translate(0.5, 0); }},
        {"no text smoothing", QImage::Format_ARGB32_Premultiplied,
         [](QPainter& p) { p.setRenderHint(QPainter::TextAntialiasing, false); }},
        {"straight alpha", QImage::Format_ARGB32, {}},
        {"16 bits", QImage::Format_RGB16, {}},
    };
    for (const auto& [name, format, prepare] : cases) {
        SCOPED_TRACE(name);
        QImage under(Size, format);
        under.fill(Qt::white);
        QImage expected = under;
        {
            QPainter painter(&expected);
            if (prepare) prepare(painter);
            painter.setFont(TestFont());
            painter.setPen(QColor(10, 20, 200));
            painter.drawText(QPoint(X, Baseline), text);
        }
        TKeptGlyphs kept;
        for (int time = 0; time < 3; ++time)
            EXPECT_EQ(DrawnKept(kept, under, TestFont(), QColor(10, 20, 200), text, prepare), expected) << time;
        EXPECT_EQ(kept.PictureBytes(), 0);
    }
}

class TextPictureCheck : public ::testing::Test {
protected:
    QList<QGlyphRun> runs;
    qreal baseline = 0;
    QImage target = Background(QImage::Format_ARGB32_Premultiplied, 0);

    void SetUp() override {
        QTextLayout layout(QStringLiteral("Total200"), TestFont());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        runs = line.glyphRuns();
        baseline = line.ascent();
    }
    TTextPicture Made(QColor colour) {
        QImage scratch(Size, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&scratch);
        painter.setPen(colour);
        return TTextPicture(runs, baseline, painter);
    }
    TTextPicture::TCheck Checked(TTextPicture& picture, QColor colour, const QRect& clip = {}) {
        QPainter painter(&target);
        painter.setPen(colour);
        if (!clip.isNull()) painter.setClipRect(clip);
        return picture.DrawChecked(painter, runs, X, Baseline);
    }
};

// The check compares: a picture in another colour than the pen's is found
// different (as a blend that corrects for gamma or blends subpixels would be).
TEST_F(TextPictureCheck, APictureThatDiffersFromTheGlyphsIsFoundDifferent) {
    TTextPicture red = Made(Qt::red);
    EXPECT_EQ(Checked(red, Qt::blue), TTextPicture::TCheck::Different);
    EXPECT_FALSE(red.Checked());
    EXPECT_EQ(Checked(red, Qt::red), TTextPicture::TCheck::Same);
    EXPECT_TRUE(red.Checked());
}

// A text partly clipped is checked where it is drawn; one clipped away or
// whose visible part holds none of its pixels is not.
TEST_F(TextPictureCheck, OnlyWhatIsDrawnIsCompared) {
    TTextPicture partly = Made(Qt::red);
    EXPECT_EQ(Checked(partly, Qt::red, QRect(0, 0, X + 20, Size.height())), TTextPicture::TCheck::Same);
    TTextPicture away = Made(Qt::red);
    EXPECT_EQ(Checked(away, Qt::red, QRect(Size.width() - 10, 0, 10, Size.height())), TTextPicture::TCheck::Unseen);
    EXPECT_EQ(Checked(away, Qt::red, QRect(X, 0, 3, 5)), TTextPicture::TCheck::Unseen) << "no text pixel in sight";
    EXPECT_FALSE(away.Checked());
}

// Pictures are kept within two generations of MaxPictureBytes (a text's
// pictures in the newer one counted when made).
TEST(TextPictures, KeptPicturesStayWithinTheirBudget) {
    TKeptGlyphs kept;
    QImage under = Background(QImage::Format_ARGB32_Premultiplied, 2);
    const qsizetype bound = 2 * (TKeptGlyphs::MaxPictureBytes + TTextPicture::MaxPixels * 4);
    qsizetype most = 0;
    for (int i = 0; i < 600; ++i) {
        const QString text = QStringLiteral("A somewhat long title number %1").arg(i);
        for (int time = 0; time < 3; ++time) DrawnKept(kept, under, TestFont(20), Qt::black, text);
        most = std::max(most, kept.PictureBytes());
        ASSERT_LE(kept.PictureBytes(), bound) << i;
    }
    EXPECT_GT(most, TKeptGlyphs::MaxPictureBytes) << "the budget was reached";
    kept.Forget();
    EXPECT_EQ(kept.PictureBytes(), 0);
}

}  // namespace

// Text attributes: the shared pool, measuring and drawing.

#include "scheme/diTextorAttributes.h"

#include "core/cuDeviceContextManager.h"
#include "platform/plSystemColors.h"

#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

TEST(AttributesPool, EqualValuesShareOneInstanceFreedByItsLastRelease) {
    const int before = TAttributes::PoolCount();
    TRichTextAttributes a, b;
    a.SetFontSize(13);
    b.SetFontSize(13);
    TAttributes* shared = a.GetShared();
    EXPECT_EQ(b.GetShared(), shared);
    EXPECT_TRUE(shared->Shared());
    EXPECT_EQ(shared->GetShared(), shared);
    b.SetLink("https://example.org");
    TAttributesRef<TRichTextAttributes> other = AcquireSharedAs(b);
    {
        TAttributesRef<TRichTextAttributes> held = AcquireSharedAs(a);
        EXPECT_EQ(held.get(), shared);
        TAttributesRef<TRichTextAttributes> copy = held;  // a copy adds a reference
        held = {};
        EXPECT_EQ(shared->RefCount(), 1);
    }
    EXPECT_EQ(TAttributes::PoolCount(), before + 1);  // only `other` is left
    TAttributesRef<TRichTextAttributes> moved = std::move(other);  // a move keeps the one reference
    moved.reset();
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

// Each changes one field that equality compares.
using TTextSetter = void (*)(TRichTextAttributes&);
const TTextSetter kTextSetters[] = {
    [](TRichTextAttributes& a) { a.SetBackground(MakeColor(1, 2, 3)); },
    [](TRichTextAttributes& a) { a.SetFontName("DejaVu Serif"); },
    [](TRichTextAttributes& a) { a.SetCharset(204); },
    [](TRichTextAttributes& a) { a.SetColor(MakeColor(9, 9, 9)); },
    [](TRichTextAttributes& a) { a.SetFontFlags(2); },
    [](TRichTextAttributes& a) { a.SetFontSize(12); },
    [](TRichTextAttributes& a) { a.SetFontStyle(tfsItalic); },
    [](TRichTextAttributes& a) { a.SetLinkKind(1); },
    [](TRichTextAttributes& a) { a.SetLink("x"); },
};
using TParagraphSetter = void (*)(TRichParagraphAttributes&);
const TParagraphSetter kParagraphSetters[] = {
    [](TRichParagraphAttributes& a) { a.SetBackground(MakeColor(1, 2, 3)); },
    [](TRichParagraphAttributes& a) { a.SetNumber(0, 1); },
    [](TRichParagraphAttributes& a) { a.SetNumber(1, 1); },
    [](TRichParagraphAttributes& a) { a.SetNumber(2, 1); },
    [](TRichParagraphAttributes& a) { a.SetNumber(3, 1); },
    [](TRichParagraphAttributes& a) { a.SetNumber(4, 1); },
    [](TRichParagraphAttributes& a) { a.SetFlag(1); },
    [](TRichParagraphAttributes& a) { a.SetOptions(2); },
};

TEST(AttributesPool, EveryFieldAndTheClassTakePartInEquality) {
    TRichTextAttributes text;
    TRichParagraphAttributes paragraph, p2;
    EXPECT_FALSE(text.Equals(paragraph));
    EXPECT_FALSE(paragraph.Equals(text));
    p2.SetNumber(4, 7);
    EXPECT_FALSE(paragraph.Equals(p2));
    for (size_t i = 0; i < std::size(kTextSetters); ++i) {
        TRichTextAttributes a, b;
        kTextSetters[i](b);
        EXPECT_FALSE(a.Equals(b)) << i;
        a.Assign(b);
        EXPECT_TRUE(a.Equals(b)) << i;
    }
}

// The pool finds values by their hash: equal values must hash alike, and a
// field left out of the hash would put every value that differs only there
// under one hash.
TEST(AttributesPool, EqualValuesHashAlikeAndEveryComparedFieldChangesTheHash) {
    EXPECT_NE(TRichTextAttributes().Hash(), TRichParagraphAttributes().Hash());
    auto check = [](auto& a, auto& b, size_t i) {
        EXPECT_NE(a.Hash(), b.Hash()) << i;
        a.Assign(b);
        EXPECT_EQ(a.Hash(), b.Hash()) << i;
    };
    for (size_t i = 0; i < std::size(kTextSetters); ++i) {
        TRichTextAttributes a, b;
        kTextSetters[i](b);
        check(a, b, i);
    }
    for (size_t i = 0; i < std::size(kParagraphSetters); ++i) {
        TRichParagraphAttributes a, b;
        kParagraphSetters[i](b);
        check(a, b, i);
    }
    TRichParagraphAttributes first, second;  // the same number in another place
    first.SetNumber(0, 5);
    second.SetNumber(1, 5);
    EXPECT_NE(first.Hash(), second.Hash());
}

// Every value of this class has the same hash.
class TCollidingText : public TRichTextAttributes {
public:
    uint64_t Hash() const override { return 42; }
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TCollidingText>(); }
};

TEST(AttributesPool, ValuesWhoseHashesCollideStayDistinctAndLeaveOneByOne) {
    const int before = TAttributes::PoolCount();
    std::vector<TAttributesRef<TCollidingText>> held;
    for (int i = 0; i < 40; ++i) {
        TCollidingText value;
        value.SetLink(QString::number(i));
        held.push_back(AcquireSharedAs(value));
    }
    EXPECT_EQ(TAttributes::PoolCount(), before + 40);
    for (size_t i = 0; i < held.size(); i += 2) held[i].reset();
    for (int i = 0; i < 40; ++i) {
        TCollidingText value;
        value.SetLink(QString::number(i));
        TAttributesRef<TCollidingText> again = AcquireSharedAs(value);
        EXPECT_EQ(again->Link(), QString::number(i));
        if (i % 2) {
            EXPECT_EQ(again.get(), held[size_t(i)].get()) << i;
        }
    }
    EXPECT_EQ(TAttributes::PoolCount(), before + 20);
    held.clear();
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

// Random acquisitions and releases of 300 values: at every step each value
// held is one instance, and the pool holds exactly the values held.
TEST(AttributesPool, ManyValuesAcquiredAndReleasedInAnyOrderKeepOneInstanceEach) {
    const int before = TAttributes::PoolCount();
    constexpr int kValues = 300;
    std::vector<std::vector<TAttributesRef<TRichTextAttributes>>> held(kValues);
    std::mt19937 random(7);
    int distinct = 0;
    for (int step = 0; step < 20000; ++step) {
        const int k = int(random() % kValues);
        auto& refs = held[size_t(k)];
        if (random() % 2) {
            TRichTextAttributes value;
            value.SetLink(QStringLiteral("file:///log/%1.txt").arg(k));
            value.SetFontSize(6 + k % 3);
            refs.push_back(AcquireSharedAs(value));
            ASSERT_EQ(refs.back().get(), refs.front().get()) << step;
            distinct += refs.size() == 1;
        } else if (!refs.empty()) {
            refs.erase(refs.begin() + std::ptrdiff_t(random() % refs.size()));
            distinct -= refs.empty();
        }
        ASSERT_EQ(TAttributes::PoolCount(), before + distinct) << step;
    }
    held.clear();
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

// Measuring: the cached font and metrics follow the size; control characters
// are measured as replacement characters; paragraph values follow the text.
TEST(RichTextAttributes, MeasuresByFontSizeAndControlCharactersAsReplacements) {
    TRichTextAttributes a;
    a.SetFontName("DejaVu Sans");
    a.SetFontSize(10);
    const int height = a.GetHeight();
    EXPECT_TRUE(a.HasCachedFont() && a.HasCachedMetrics());
    a.SetFontSize(20);
    EXPECT_FALSE(a.HasCachedFont() || a.HasCachedMetrics());
    EXPECT_GT(a.GetHeight(), height);
    a.SetFontSize(0);  // the default size
    EXPECT_EQ(a.FontSize(), TRichTextAttributes::DefaultFontSize);

    EXPECT_EQ(a.GetTextWidth(nullptr, 0), 0);
    const QString withFeed = QStringLiteral("a\nb");
    const QString replaced = QStringLiteral("a\uFFFDb");
    EXPECT_EQ(a.GetTextWidth(withFeed), a.GetTextWidth(replaced));
    EXPECT_GT(a.GetTextWidth(replaced), a.GetTextWidth(QStringLiteral("ab")));
    EXPECT_EQ(VisibleRunText(withFeed.constData(), 3), replaced);
    EXPECT_GT(a.GetTabWidth(), 0);

    TRichParagraphAttributes p;
    p.SetNumber(0, 5);
    p.SetNumber(1, 7);
    p.SetNumber(4, 9);
    EXPECT_EQ(p.LayoutValue(0, &a), 5);
    EXPECT_EQ(p.LayoutValue(2, &a), 9);
    p.SetFlag(1);
    EXPECT_EQ(p.LayoutValue(1, &a), 7 + a.GetHeight());
}

// Widths come from a cache of single advances where a text allows it; every
// text must still measure as the whole text does on the measuring device.
TEST(RichTextAttributes, WidthsEqualMeasuringTheWholeText) {
    const QString texts[] = {
        QStringLiteral("The quick brown fox jumps over the lazy dog, 0123456789."),
        QStringLiteral("caf\u00E9 na\u00EFve \u00A0\u00B7\u00B0\u00AC\u00B6 \u2014 \u201Cquoted\u201D"),
        QStringLiteral("\u0391\u03B2\u03B3 \u0416\u0438\u0437\u043D\u044C \u4E2D\u6587 \u3072\u30AB"),
        QStringLiteral("e\u0301 a\u0308o"),                        // combining marks
        QStringLiteral("x\U0001F600y \U0001D400"),                  // surrogate pairs
        QStringLiteral("\u0627\u0644\u0639\u0631\u0628\u064A\u0629 abc"),  // a shaped script
        QStringLiteral("soft\u00ADhyphen zero\u200Bwidth \u202Eback"),
        QStringLiteral("tab\tline\nend\u009Cstop"),
        QStringLiteral("\uFFFC\uE000\uFFFD"),
    };
    for (const int style : {0, tfsBold | tfsItalic}) {
        TRichTextAttributes a;
        a.SetFontName("DejaVu Sans");
        a.SetFontSize(10);
        a.SetFontStyle(style);
        const QFontMetricsF& metrics = DeviceContextManager()->Metrics(a.Font());
        for (const QString& text : texts)
            for (int length = 1; length <= text.size(); ++length) {
                const QString visible = VisibleRunText(text.constData(), length);
                ASSERT_EQ(a.GetTextWidth(text.constData(), length), std::lround(metrics.horizontalAdvance(visible)))
                    << text.toStdString() << " " << length << " style " << style;
            }
    }
}

// Accents and other marks drawn on the character before them are measured
// with it and kept; each text must still measure as the whole text does,
// whatever carries the marks (letters, CJK, spaces, digits, a replaced
// control character, a shaped script, nothing) and wherever a text ends.
TEST(RichTextAttributes, TextsWithCombiningMarksMeasureAsTheWholeText) {
    const QString bases[] = {QStringLiteral("e"), QStringLiteral("A"), QStringLiteral("\u00E9"),
                             QStringLiteral("\u4E2D"), QStringLiteral("\u30AB"), QStringLiteral(" "),
                             QStringLiteral("7"), QStringLiteral("\u0416"), QStringLiteral("\t"),
                             QStringLiteral("\u0915"), QStringLiteral("\u0627"), QStringLiteral("\U0001F600"),
                             QStringLiteral("\u200D"), QString()};
    const char16_t marks[] = {0x0301, 0x0308, 0x0323, 0x030A, 0x0304, 0x20DD, 0xFE0F, 0x093F, 0x0651};
    std::mt19937 random(11);
    TRichTextAttributes a;
    a.SetFontName("DejaVu Sans");
    a.SetFontSize(10);
    const QFontMetricsF& metrics = DeviceContextManager()->Metrics(a.Font());
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int cluster = 0; cluster < 6; ++cluster) {
            text += bases[random() % std::size(bases)];
            for (int n = int(random() % 4); n > 0; --n) text += QChar(marks[random() % std::size(marks)]);
        }
        for (int length = 1; length <= text.size(); ++length) {
            const QString visible = VisibleRunText(text.constData(), length);
            ASSERT_EQ(a.GetTextWidth(text.constData(), length), std::lround(metrics.horizontalAdvance(visible)))
                << round << " " << length;
        }
    }
}

class TextPainting : public ::testing::Test {
protected:
    // What the drawing leaves on a white 40 x 30 picture.
    QImage Painted(const std::function<void()>& draw) {
        canvas->BeginPaint({0, 0, 40, 30});
        draw();
        QImage out = canvas->PaintBitmap().copy();
        canvas->EndPaint(nullptr);
        return out;
    }
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    std::unique_ptr<TSheetCanvas> canvas = std::make_unique<TSheetCanvas>(settings.get());
    TAttributesRef<TRichTextAttributes> a = [] {
        TRichTextAttributes value;
        value.SetFontName("DejaVu Sans");
        value.SetFontSize(12);
        return AcquireSharedAs(value);
    }();
};

TEST_F(TextPainting, LineFeedIsDrawnAsReplacementCharacter) {
    const QString feed = QStringLiteral("\n");
    const QString replacement = QStringLiteral("\uFFFD");
    const QImage first = Painted([&] { a->PaintText(*canvas, 0, feed.constData(), 1, 5, 20, {0, 0, 40, 30}); });
    const QImage second =
        Painted([&] { a->PaintText(*canvas, 0, replacement.constData(), 1, 5, 20, {0, 0, 40, 30}); });
    EXPECT_NE(first, Painted([] {})) << "something is drawn";
    EXPECT_EQ(first, second);
}

// Painted glyphs are shaped once and kept; painting a text, the first time
// or again, at any place, leaves what Qt's drawing of the whole text leaves
// (right-to-left characters in their logical order, as in a left-to-right
// override).
TEST_F(TextPainting, TextsPaintAsQtDrawsTheWholeText) {
    const struct {
        QString text;
        bool rightToLeft;
    } cases[] = {
        {QStringLiteral("The quick brown fox, 0123"), false},
        {QStringLiteral("R\u00E9sum\u00E9 e\u0301te\u0301 A\u030Angstro\u0308m u\u0308\u0304ber"), false},
        {QStringLiteral("\u6587\u5B57\u5217 \u5909\u6570\u306E\u5024 \u7D42\u308F\u308A"), false},
        {QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947 x\U0001F600\uFFFC\u00ADy\u200B"), false},
        {QStringLiteral("abc \u0627\u0644\u0639\u0631\u0628\u064A\u0629 \u05E9\u05DC\u05D5\u05DD d"), true},
    };
    constexpr TRect row{0, 0, 300, 30};
    for (const int style : {0, tfsBold | tfsItalic}) {
        TRichTextAttributes value;
        value.SetFontName("DejaVu Sans");
        value.SetFontSize(12);
        value.SetFontStyle(style);
        const TAttributesRef<TRichTextAttributes> styled = AcquireSharedAs(value);
        for (const auto& [text, rightToLeft] : cases)
            for (const int x : {0, 7}) {
                QImage expected(row.Width(), row.Height(), QImage::Format_ARGB32_Premultiplied);
                expected.fill(QColor::fromRgba(GetSystemColor(TSystemColor::Window)));
                {
                    QPainter painter(&expected);
                    painter.setFont(styled->Font());
                    painter.setPen(QColor::fromRgba(styled->Color()));
                    painter.drawText(QPoint(x, 20),
                                     rightToLeft ? QChar(0x202D) + text + QChar(0x202C) : text);
                }
                for (int time = 0; time < 3; ++time) {  // the third from a picture
                    canvas->BeginPaint(row);
                    styled->PaintText(*canvas, 0, text.constData(), int(text.size()), x, 20, row);
                    ASSERT_EQ(canvas->PaintBitmap(), expected) << text.toStdString() << " x " << x << " style "
                                                               << style << " time " << time;
                    canvas->EndPaint(nullptr);
                }
            }
    }
}

// The canvas asks each pass's device for its resolution (once per pass),
// and kept glyphs are shaped anew for a device of another resolution, as
// QPainter::drawText shapes a font sized in points there.
TEST_F(TextPainting, TextsFollowTheResolutionOfTheDeviceOfEachPass) {
    constexpr TRect row{0, 0, 120, 40};
    QImage coarse(row.Width(), row.Height(), QImage::Format_ARGB32_Premultiplied);
    coarse.fill(Qt::white);
    QImage fine = coarse;
    fine.setDotsPerMeterX(coarse.dotsPerMeterX() * 2);
    fine.setDotsPerMeterY(coarse.dotsPerMeterY() * 2);
    auto dpi = [](const QImage& image) { return QSize(image.logicalDpiX(), image.logicalDpiY()); };
    for (const QImage* device : {&coarse, &fine, &coarse}) {
        QImage image = *device;
        QPainter target(&image);
        canvas->BeginPaint(row, &target, true);
        EXPECT_EQ(canvas->LogicalDpi(), dpi(*device));
        canvas->EndPaint(nullptr);
    }
    const QString text = QStringLiteral("Total200");
    QFont points(QStringLiteral("DejaVu Sans"));
    points.setPointSize(9);
    auto byQt = [&](QImage image) {
        QPainter painter(&image);
        painter.setFont(points);
        painter.drawText(QPoint(3, 30), text);
        return image;
    };
    TKeptGlyphs kept;
    auto drawnKept = [&](QImage image) {
        QPainter painter(&image);
        kept.Draw(painter, points, text, 3, 30, dpi(image));
        return image;
    };
    int time = 0;
    for (const QImage* device : {&coarse, &fine, &coarse, &fine, &fine})
        EXPECT_EQ(drawnKept(*device), byQt(*device)) << "time " << time++;
    EXPECT_NE(byQt(coarse), byQt(fine));
}

TEST_F(TextPainting, SelectedRunsBlendTheSelectionColour) {
    const TColor select = canvas->Theme().SelectColor();
    const QImage out = Painted([&] {
        a->PaintRun(*canvas, tpfSelected, 2, 10, {0, 0, 30, 20});
        a->PaintRun(*canvas, tpfSelected | tpfInactive, 14, 10, {0, 0, 30, 20});
    });
    // Selection blended over white by its alpha.
    const double alpha = qAlpha(select) / 255.0;
    EXPECT_NEAR(qBlue(out.pixel(5, 5)), qBlue(select) * alpha + 255 * (1 - alpha), 2);
    EXPECT_NE(out.pixel(5, 5), out.pixel(16, 5));  // the inactive look differs
    EXPECT_EQ(out.pixel(12, 5), qRgb(255, 255, 255));
}

// A layout asks for the text attributes only where a paragraph's layout values
// depend on them: they must then answer as with the attributes left out.
TEST(RichParagraphAttributes, LayoutValuesUseTheTextExactlyWhileTheFlagIsSet) {
    TRichTextAttributes text;
    text.SetFontSize(20);
    ASSERT_GT(text.GetHeight(), 0);
    for (const uint8_t flag : {uint8_t(0), uint8_t(1)}) {
        SCOPED_TRACE(int(flag));
        TRichParagraphAttributes paragraph;
        for (int i = 0; i < 5; ++i) paragraph.SetNumber(i, 3 + 4 * i);
        paragraph.SetFlag(flag);
        EXPECT_EQ(paragraph.LayoutValuesUseText(), flag != 0);
        const int expected[] = {3, 7 + (flag ? text.GetHeight() : 0), 19};
        for (int index = 0; index < 3; ++index) {
            EXPECT_EQ(paragraph.LayoutValue(index, &text), expected[index]) << index;
            if (!paragraph.LayoutValuesUseText()) {
                EXPECT_EQ(paragraph.LayoutValue(index, nullptr), expected[index]) << index;
            }
        }
    }
}

}  // namespace

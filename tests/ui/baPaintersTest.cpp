// Painters, painter styles and the styled painter: the combined push-button
// styles, the stylers' change flags, see-through backgrounds, sizes and
// placement, and the pixels of fills, edges, image effects and buttons.

#include "platform/plSystemColors.h"
#include "support/testCases.h"
#include "ui/baPainterStyles.h"
#include "ui/baStyledPainter.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

namespace painters_test {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Blue = 0xFF0000FF;

// A client of its own painter, with signs and the change flags it received.
class TTestClient : public TControlPainterClient {
public:
    TPainter* Painter = nullptr;
    std::array<TSignAt, spCount> Signs{};
    std::vector<uint32_t> Changes;

    TPainter* GetPainter() const override { return Painter; }
    TSignAt GetSignAt(TSignPosition position) const override { return Signs[position]; }
    void Changed(uint32_t flags) override { Changes.push_back(flags); }
};

// The flag words a notifier posts, in order.
struct TFlagRecorder {
    std::vector<uint32_t> Flags;
    explicit TFlagRecorder(TNotifier& notifier) { notifier.AddListener(MakeNotifyListener<&TFlagRecorder::On>(this)); }
    void On(TNotifier*, TNotify* first) {
        for (TNotify* n = first; n; n = n->Next()) Flags.push_back(static_cast<TFlagsNotify*>(n)->Flags());
    }
};

QImage Canvas(int width, int height, QRgb color = White) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QRect CaseRect(const QString& text) {
    const QStringList n = text.split(u' ');
    return QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
}

uint8_t StateBits(const QString& text) {
    uint8_t bits = 0;
    const std::pair<const char*, TPainterState> names[] = {{"Pressed", psPressed}, {"Hot", psHot}, {"Checked", psChecked},
                                                           {"Disabled", psDisabled}, {"Focused", psFocused}};
    for (const auto& [name, bit] : names)
        if (text.split(u' ').contains(QLatin1String(name))) bits |= bit;
    return bits;
}

TEdgeKind EdgeKindByName(const QString& name) {
    const QStringList names{"ekNone", "ekLowered", "ekRaised", "ekSpace", "ekDot", "ekRound", "ekSolid"};
    return TEdgeKind(std::max(0, int(names.indexOf(name))));
}

TEdges EdgesByName(const CaseRow& c) {
    if (!c.Has("Edges")) return AllEdges;
    TEdges edges = 0;
    const QStringList sides = c["Edges"].split(u' ');
    if (sides.contains("Left")) edges |= eLeft;
    if (sides.contains("Top")) edges |= eTop;
    if (sides.contains("Right")) edges |= eRight;
    if (sides.contains("Bottom")) edges |= eBottom;
    return edges;
}

// ---------------------------------------------------------------------------
// Styles

TEST(PushStyler, CombinesTheStateStylesOverAdapt) {
    for (const CaseRow& c : LoadCases("ui/painters.txt", "PushStyles")) {
        TPushStyler styler;
        TPainterStyles& styles = styler.Styles();
        const std::pair<const char*, TPainterStyleEx*> named[] = {
            {"Hot", &styles.Hot()}, {"Checked", &styles.Checked()}, {"Pressed", &styles.Pressed()},
            {"Focused", &styles.Focused()}, {"Disabled", &styles.Disabled()}};
        std::map<QString, TColor> colors{{"Adapt", styles.Adapt().FillColor()}};
        TColor next = 0xFF000010;
        for (const auto& [name, style] : named)
            if (c["Assign"].split(u' ').contains(QLatin1String(name))) {
                style->SetFillColor(++next);
                colors[name] = next;
            }
        if (c.Has("OptionsEx"))
            styler.SetOptionsEx(c["OptionsEx"] == "psoCheckedFillOverHot" ? psoCheckedFillOverHot : psoCheckedEdgesOverHot);
        const TPainterStyle& style = styler.StyleFor(StateBits(c["State"]));
        EXPECT_EQ(style.FillColor(), colors[c["Expected"]]) << c.Text();
        EXPECT_EQ(&style == &styles.Adapt(), c["Expected"] == "Adapt") << c.Text();
        EXPECT_EQ(styles.CachedCount(), c.Int("Cached")) << c.Text();
    }
}

TEST(Styler, PostsRepaintAndResizeCursorAloneAndTransparencyWhenItsAnswerChanges) {
    for (const CaseRow& c : LoadCases("ui/painters.txt", "StylerFlags")) {
        std::unique_ptr<TStyler> styler;
        if (c["Styler"] == "Static")
            styler = std::make_unique<TStaticStyler>();
        else
            styler = std::make_unique<TPushStyler>();
        auto* push = dynamic_cast<TPushStyler*>(styler.get());
        auto change = [&](const QString& what) {
            if (what == "Cursor") styler->SetCursor(Qt::PointingHandCursor);
            if (what == "ModeTheme") styler->SetMode(smThemeStdBtn);
            if (what == "ModeOtherTheme") styler->SetMode(smThemeToolBtn);
            if (what == "ModeClassic") styler->SetMode(smClassic);
            if (what == "Options") styler->SetOptions(soLargeSigns);
            if (what == "OptionsEx") push->SetOptionsEx(psoCheckedFillOverHot);
            if (what == "Font") styler->SetFont(QFont(QStringLiteral("Serif"), 21));
            if (what == "FontColor") styler->SetFontColor(Red);
            if (what == "AdaptSolid") push->Styles().Adapt().SetFillKind(fkSolid);
            if (what == "AdaptClear") push->Styles().Adapt().SetFillKind(fkClear);
            if (what == "HotDot") push->Styles().Hot().SetEdgeOuter(ekDot);
            if (what == "StyleClear") static_cast<TStaticStyler&>(*styler).Style().SetFillKind(fkClear);
        };
        if (c.Has("Setup")) change(c["Setup"]);
        TFlagRecorder recorder(styler->Notifier());
        change(c["Change"]);
        ASSERT_EQ(recorder.Flags.size(), 1u) << c.Text();
        EXPECT_EQ(recorder.Flags[0], c["Expected"].toUInt()) << c.Text();
    }
}

TEST(Background, IsSeeThroughForClearFillsBareHatchesAndThinEdgesOutsideTheFill) {
    for (const CaseRow& c : LoadCases("ui/painters.txt", "SeeThrough")) {
        TPainterStyle style;
        const QStringList fills{"fkParentColor", "fkSolid", "fkClear", "fkDither", "fkGradientHorz",
                                "fkGradientVert", "fkBDiagonal", "fkFDiagonal", "fkGrid", "fkBitmap"};
        if (c.Has("FillKind")) style.SetFillKind(TFillKind(fills.indexOf(c["FillKind"])));
        if (c["Options"] == "psoBkColorTransparent") style.SetOptions(psoBkColorTransparent);
        if (c["Options"] == "psoFillUnderEdges") style.SetOptions(psoFillUnderEdges);
        style.SetEdgeOuter(EdgeKindByName(c["EdgeOuter"]));
        style.SetEdgeInner(EdgeKindByName(c["EdgeInner"]));
        style.SetEdges(EdgesByName(c));
        EXPECT_EQ(style.IsSeeThrough(), c.Int("Expected") == 1) << c.Text();
    }
}

// The combined styles copied the font's colour: a new font colour must reach
// a hot button, not only the buttons that show Adapt.
TEST(PushStyler, FontChangeReachesTheCachedStatesFontColour) {
    TPushStyler styler;
    styler.Styles().Hot().SetFillColor(Green);
    styler.SetFontColor(Black);
    const auto& before = dynamic_cast<const TPainterStyleEx&>(styler.StyleFor(psHot));
    EXPECT_EQ(before.FontColor(), Black);
    styler.SetFontColor(Red);
    EXPECT_EQ(dynamic_cast<const TPainterStyleEx&>(styler.StyleFor(psHot)).FontColor(), Red);
    QFont bold = styler.Font();
    bold.setBold(true);
    styler.SetFont(bold);
    EXPECT_TRUE(dynamic_cast<const TPainterStyleEx&>(styler.StyleFor(psHot)).FontStyle().testFlag(TFontStyle::Bold));
}

// ---------------------------------------------------------------------------
// Background pixels

TEST(Background, HatchesAreTheirBitRowsExactly) {
    // Rows top first, bit 7 the leftmost pixel.
    const std::pair<TFillKind, std::array<uint8_t, 8>> hatches[] = {
        {fkBDiagonal, {0x07, 0x0E, 0x1C, 0x38, 0x70, 0xE1, 0xC3, 0x83}},
        {fkFDiagonal, {0x83, 0xC1, 0xE0, 0x70, 0x38, 0x1C, 0x0E, 0x07}},
        {fkGrid, {0x00, 0x00, 0x22, 0x00, 0x00, 0x00, 0x22, 0x00}}};
    for (const auto& [kind, rows] : hatches) {
        TBackground background;
        background.SetFillKind(kind);
        background.SetFillColor(Red);
        background.SetFillSecondColor(Blue);
        QImage image = Canvas(16, 16);
        {
            QPainter painter(&image);
            background.Paint(painter, {0, 0, 16, 16}, White);
        }
        int wrong = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                wrong += image.pixel(x, y) != ((rows[size_t(y % 8)] >> (7 - x % 8)) & 1 ? Red : Blue);
        EXPECT_EQ(wrong, 0) << int(kind);
    }
}

TEST(Background, EdgesDrawOnePixelPerKindOnTheirSidesAndLeaveTheContentInside) {
    const QRgb light = GetSystemColor(TSystemColor::BtnHighlight), shadow = GetSystemColor(TSystemColor::BtnShadow);
    struct Case {
        TEdgeKind outer;
        TEdges edges;
        QRgb topLeft, left, right, bottomRight;
    };
    const Case cases[] = {
        {ekRaised, AllEdges, light, light, shadow, shadow},
        {ekLowered, AllEdges, shadow, shadow, light, light},
        {ekSolid, AllEdges, Green, Green, Green, Green},
        {ekRound, AllEdges, Black, Green, Green, Black},  // the corners stay the canvas's
        {ekSpace, AllEdges, Black, Black, Black, Black},
        {ekSolid, eLeft, Green, Green, Red, Red},
    };
    for (const Case& c : cases) {
        TBackground background;
        background.SetEdgeOuter(c.outer);
        background.SetEdgeColor(Green);
        background.SetEdges(c.edges);
        background.SetFillKind(fkSolid);
        background.SetFillColor(Red);
        QImage image = Canvas(10, 10, Black);
        TRect content;
        {
            QPainter painter(&image);
            content = background.Paint(painter, {0, 0, 10, 10}, White);
        }
        EXPECT_EQ(content, background.ContentRect({0, 0, 10, 10}));
        EXPECT_EQ(image.pixel(0, 0), c.topLeft) << int(c.outer);
        EXPECT_EQ(image.pixel(0, 5), c.left) << int(c.outer);
        EXPECT_EQ(image.pixel(9, 5), c.right) << int(c.outer);
        EXPECT_EQ(image.pixel(9, 9), c.bottomRight) << int(c.outer);
        EXPECT_EQ(image.pixel(content.Left, content.Top), Red) << int(c.outer);
    }
}

TEST(Background, PushButtonFrameAndAFillThatReachesUnderTheEdges) {
    for (const bool under : {false, true}) {
        TPainterStyle style;
        style.SetEdgeOuter(ekRaised);
        style.SetEdgeInner(ekRaised);
        style.SetFillKind(fkSolid);
        style.SetFillColor(Red);
        style.SetOptions(under ? psoFillUnderEdges : 0);
        QImage frame = Canvas(12, 12, Black), spaced = Canvas(12, 12, Black);
        {
            QPainter painter(&frame);
            style.Paint(painter, {0, 0, 12, 12}, White);
            style.SetEdgeOuter(ekSpace);
            style.SetEdgeInner(ekNone);
            QPainter spacedPainter(&spaced);
            style.Paint(spacedPainter, {0, 0, 12, 12}, White);
        }
        EXPECT_EQ(frame.pixel(0, 0), GetSystemColor(TSystemColor::BtnHighlight));
        EXPECT_EQ(frame.pixel(11, 11), GetSystemColor(TSystemColor::BtnDkShadow));
        EXPECT_EQ(frame.pixel(2, 2), Red);
        EXPECT_EQ(spaced.pixel(0, 5), under ? Red : Black) << "a spaced edge shows the fill only under it";
        EXPECT_EQ(spaced.pixel(1, 5), Red);
    }
}

// Zones larger than the target shrink: every pixel is a corner's, none is left out.
TEST(Background, BitmapZonesShrinkToATargetSmallerThanThem) {
    QImage bitmap = Canvas(9, 9, Blue);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool sideX = x < 3 || x >= 6, sideY = y < 3 || y >= 6;
            if (sideX && sideY) bitmap.setPixel(x, y, Red);
            else if (sideX || sideY) bitmap.setPixel(x, y, Green);
        }
    TBackground background;
    background.SetFillKind(fkBitmap);
    background.SetBitmap(bitmap);
    for (const QSize target : {QSize(4, 4), QSize(5, 3), QSize(1, 6), QSize(6, 6)}) {
        QImage image = Canvas(target.width() + 2, target.height() + 2, White);
        {
            QPainter painter(&image);
            background.Paint(painter, {1, 1, 1 + target.width(), 1 + target.height()}, White);
        }
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= 1 && y >= 1 && x <= target.width() && y <= target.height();
                wrong += image.pixel(x, y) != (inside ? Red : White);
            }
        EXPECT_EQ(wrong, 0) << target.width() << "x" << target.height();
    }
}

// ---------------------------------------------------------------------------
// Styled painter

class StyledPainterTest : public ::testing::Test {
protected:
    void SetUp() override {
        painter.SetStyler(&styler);
        client.Painter = &painter;
    }
    TPushStyler styler;
    TStyledPainter painter;
    TTestClient client;
};

TEST_F(StyledPainterTest, CalcSizeAddsSignRoomPaddingEdgesAndTheDefaultFrame) {
    for (const CaseRow& c : LoadCases("ui/painters.txt", "CalcSize")) {
        const QStringList signs = c["Signs"].split(u' ');
        client.Signs[spLeft] = signs.contains("Left") ? saArrowLeft : saNone;
        client.Signs[spRight] = signs.contains("Right") ? saBox : saNone;
        client.Signs[spTop] = signs.contains("Top") ? saCheck : saNone;
        client.Signs[spBottom] = signs.contains("Bottom") ? saCircle : saNone;
        client.Signs[spCenter] = signs.contains("Centre") ? saArrowDown : saNone;
        styler.SetOptions(c.Has("StylerOptions") ? soAllowFrameDefault : 0);
        const QRect padding = c.Has("Padding") ? CaseRect(c["Padding"]) : QRect();
        painter.SetPadding({padding.x(), padding.y(), padding.width(), padding.height()});
        TPainterStyle& adapt = styler.Styles().Adapt();
        adapt.SetEdgeOuter(EdgeKindByName(c["EdgeOuter"]));
        adapt.SetEdgeInner(EdgeKindByName(c["EdgeInner"]));
        adapt.SetEdges(EdgesByName(c));
        const QSize size = painter.CalcSize(client, c.Int("Width"));
        EXPECT_EQ(QStringLiteral("%1 %2").arg(size.width()).arg(size.height()).toStdString(), c["Expected"].toStdString())
            << c.Text();
    }
}

TEST(Placement, PlacePartsAlongAnAxis) {
    const QStringList aligns{"akCenter", "akBegin", "akEnd", "akOpposite"};
    for (const CaseRow& c : LoadCases("ui/painters.txt", "PlaceParts")) {
        const TPartPlaces places = PlaceParts(TAlignKind(aligns.indexOf(c["Align"])), c.Int("Start"), c.Int("End"),
                                              c.Int("First"), c.Int("Second"), c.Int("Spacing"));
        EXPECT_EQ(QStringLiteral("%1 %2").arg(places.First).arg(places.Second).toStdString(), c["Expected"].toStdString())
            << c.Text();
    }
}

TEST(Placement, PlaceImageAndCaptionByLayout) {
    const QStringList aligns{"akCenter", "akBegin", "akEnd", "akOpposite"};
    const QStringList layouts{"ilLeft", "ilRight", "ilTop", "ilBottom"};
    auto size = [](const QString& text) { return CaseRect("0 0 " + text).size(); };
    for (const CaseRow& c : LoadCases("ui/painters.txt", "PlaceContent")) {
        const TContentPlaces places =
            PlaceContent(TAlignKind(aligns.indexOf(c["Align"])), TImageLayout(layouts.indexOf(c["Layout"])),
                         TRect::FromQRect(CaseRect(c["Rect"])), size(c["Image"]), size(c["Caption"]), 4);
        EXPECT_EQ(places.Image, TRect::FromQRect(CaseRect(c["ExpectedImage"]))) << c.Text();
        EXPECT_EQ(places.Caption, TRect::FromQRect(CaseRect(c["ExpectedCaption"]))) << c.Text();
    }
}

TEST(ImageEffects, GreyAndLightChannelValues) {
    EXPECT_EQ(GrayPixel(qRgba(0, 255, 0, 77)), qRgba(150, 150, 150, 77));  // 150.45
    EXPECT_EQ(GrayPixel(qRgb(0, 0, 255)), qRgb(28, 28, 28));               // 28.05
    EXPECT_EQ(GrayPixel(qRgb(10, 20, 30)), qRgb(18, 18, 18));              // 18.1
    EXPECT_EQ(GrayPixel(qRgb(255, 255, 255)), qRgb(255, 255, 255));
    EXPECT_EQ(LightPixel(qRgba(0, 128, 200, 9)), qRgba(100, 177, 221, 9));
    EXPECT_EQ(LightPixel(qRgb(255, 255, 255)), qRgb(255, 255, 255));
    QImage image = Canvas(2, 1, qRgb(0, 0, 255));
    EXPECT_EQ(ApplyImageEffects(image, pieGray | pieLight).pixel(1, 0), LightPixel(qRgb(28, 28, 28)));
}

TEST(PainterClient, WithoutPainterPaintsWhiteInABlackBorder) {
    TTestClient bare;
    QImage image = Canvas(8, 6, Red);
    {
        QPainter painter(&image);
        bare.Paint(painter, {1, 1, 7, 5});
    }
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
            const bool border = inside && (x == 1 || x == 6 || y == 1 || y == 4);
            EXPECT_EQ(image.pixel(x, y), !inside ? Red : border ? Black : White) << x << "," << y;
        }
}

TEST_F(StyledPainterTest, TheSameCaptionTwiceChangesOnce) {
    client.SetCaption("A");
    client.SetCaption("A");
    EXPECT_EQ(client.Changes, std::vector<uint32_t>{pcRepaint | pcResize});
}

TEST_F(StyledPainterTest, StylerCursorReachesTheClientsAsTheCursorFlagOnly) {
    TFlagRecorder recorder(painter.Notifier());
    styler.SetCursor(Qt::PointingHandCursor);
    EXPECT_EQ(recorder.Flags, std::vector<uint32_t>{pcCursor});
    EXPECT_EQ(painter.GetCursor(client), Qt::PointingHandCursor);
}

TEST_F(StyledPainterTest, AStylerThatGoesIsDropped) {
    auto second = std::make_unique<TPushStyler>();
    painter.SetStyler(second.get());
    second.reset();
    EXPECT_EQ(painter.Styler(), nullptr);
}

// Measures near the integers' end and a huge caption with a lone surrogate
// are measured and painted without overflowing.
TEST_F(StyledPainterTest, HugeMeasuresAndCaptionsStayWithinTheIntegers) {
    constexpr int huge = std::numeric_limits<int>::max();
    painter.SetPadding({huge, huge, -huge, huge});
    painter.SetSignsSpacing(huge);
    painter.SetSpacing(huge);
    painter.SetImagesWidth(-huge);
    EXPECT_EQ(painter.Padding(), (TRect{TStyledPainter::kMaxMeasure, TStyledPainter::kMaxMeasure,
                                        -TStyledPainter::kMaxMeasure, TStyledPainter::kMaxMeasure}));
    EXPECT_EQ(painter.ImagesWidth(), 0);
    client.Signs = {saArrowLeft, saArrowRight, saArrowUp, saArrowDown, saBox};
    client.SetCaption(QString(100000, u'x') + QChar(0xD800) + QStringLiteral("&&"));
    for (const TPainterOptions options : {TPainterOptions(0), TPainterOptions(poWordWrap | poEndEllipsis)}) {
        painter.SetOptions(options);
        const QSize natural = painter.CalcSize(client, 0);
        EXPECT_GT(natural.width(), 2 * TStyledPainter::kMaxMeasure) << "the sign rooms";
        EXPECT_EQ(painter.CalcSize(client, 50).width(), 50);
        QImage image = Canvas(40, 30);
        QPainter canvas(&image);
        painter.Paint(client, canvas, {0, 0, 40, 30});
    }
}

// The image and the caption land where the placement puts them.
TEST_F(StyledPainterTest, PaintsImageAndCaptionWherePlaced) {
    TImageList images(16, 16);
    images.Add(Canvas(16, 16, Red));
    painter.SetImages(&images);
    styler.Styles().Adapt().SetFillKind(fkSolid);
    styler.Styles().Adapt().SetFillColor(White);
    styler.SetFontColor(Blue);
    client.SetImageIndex(0);
    client.SetCaption(QStringLiteral("Wide"));
    for (TAlignKind align : {akCenter, akBegin, akEnd, akOpposite}) {
        painter.SetAlignKind(align);
        const TRect rect{0, 0, 120, 24};
        QImage image = Canvas(rect.Width(), rect.Height(), Black);
        {
            QPainter canvas(&image);
            painter.Paint(client, canvas, rect);
        }
        const QSize caption = QFontMetrics(styler.Font()).boundingRect(QRect(0, 0, 120, 1 << 20),
                                                                        painter.TextFlags(), "Wide").size();
        const TContentPlaces places = PlaceContent(align, ilLeft, rect, {16, 16}, caption, painter.Spacing());
        QRect red, text;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (p == Red) red |= QRect(x, y, 1, 1);
                else if (p != White) text |= QRect(x, y, 1, 1);
            }
        EXPECT_EQ(red, places.Image.ToQRect()) << int(align);
        EXPECT_FALSE(text.isEmpty()) << int(align);
        EXPECT_TRUE(places.Caption.ToQRect().contains(text)) << int(align);
    }
}

}  // namespace painters_test

namespace painters_test {

// Regression: a palette group's caption narrower than its text was drawn
// whole and cut off at its rectangle instead of ending in an ellipsis (the
// caption has no descenders, so the dots of the ellipsis end on its bottom).
TEST_F(StyledPainterTest, RegressionAnEllipsisCaptionWasDrawnWholePastItsRectangle) {
    styler.Styles().Adapt().SetFillKind(fkClear);
    styler.SetFontColor(Black);
    client.SetCaption(QStringLiteral("Additional commands"));
    const int natural = painter.CalcSize(client, 0).width();
    const TRect rect{0, 0, natural / 2, 24};
    auto paint = [&](TPainterOptions options) {
        painter.SetOptions(options);
        QImage image = Canvas(2 * natural, rect.Height());
        QPainter canvas(&image);
        painter.Paint(client, canvas, rect);
        return image;
    };
    const QImage whole = paint(0);
    const QImage shortened = paint(poEndEllipsis);
    EXPECT_NE(shortened, whole) << "not the whole caption cut at the edge";
    QRect drawn, lastColumn;
    for (int x = 0; x < shortened.width(); ++x) {
        QRect column;
        for (int y = 0; y < shortened.height(); ++y)
            if (qGray(shortened.pixel(x, y)) < 128) column |= QRect(x, y, 1, 1);
        if (!column.isEmpty()) lastColumn = column;
        drawn |= column;
    }
    ASSERT_FALSE(drawn.isEmpty()) << "a caption is drawn";
    EXPECT_TRUE(rect.ToQRect().contains(drawn));
    EXPECT_GE(lastColumn.top(), drawn.bottom() - 3) << "ends in the dots of an ellipsis";
}

}  // namespace painters_test

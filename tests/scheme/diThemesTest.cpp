// Sheet themes: nine-part frames, tinting, reading theme texts, scaling and
// the built-in theme.

#include "scheme/diThemes.h"

#include "core/cuStringIds.h"
#include "support/testCaseRows.h"
#include "support/testDevices.h"
#include "support/testElements.h"
#include "support/testFiles.h"
#include "support/testRaise.h"
#include "support/testVisualElements.h"

#include <QFontDatabase>
#include <QMap>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Clear = 0x00000000;

// A source whose every pixel tells where it came from: red = x * 10, green = y * 10.
QImage CoordinateImage(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgba(x * 10, y * 10, 100, 255));
    return image;
}

QImage Target(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Clear);
    return image;
}

QImage DrawNine(const QImage& source, const TRect& zone, std::array<int, 5> modes, const TRect& target, int w, int h) {
    QImage out = Target(w, h);
    QPainter p(&out);
    DrawNinePart(p, source, zone, modes, target);
    p.end();
    return out;
}

TEST(NinePartFrame, CornersAreCopiedStretchedTiledAndLeftOut) {
    const QImage source = CoordinateImage(10, 10);
    // Left edge stretched, top edge tiled, centre left out.
    const QImage out = DrawNine(source, {3, 3, 3, 3}, {tfmStretch, tfmTile, tfmStretch, tfmStretch, tfmLeaveOut},
                                {0, 0, 40, 30}, 40, 30);
    EXPECT_EQ(out.pixel(1, 2), source.pixel(1, 2));
    EXPECT_EQ(out.pixel(38, 28), source.pixel(8, 8));
    // Tiles of the top edge repeat the four middle columns (3..6) from the part's left.
    for (int x = 3; x < 37; ++x) EXPECT_EQ(qRed(out.pixel(x, 1)), (3 + (x - 3) % 4) * 10) << x;
    // The stretched left edge keeps its columns and spreads its rows.
    EXPECT_EQ(qRed(out.pixel(1, 15)), 10);
    EXPECT_LE(qGreen(out.pixel(1, 26)), 60);
    EXPECT_EQ(out.pixel(20, 15), Clear);
}

// A part of one colour stretched or tiled gives that colour, translucent
// ones too, over the whole of its place.
TEST(NinePartFrame, AUniformPartFillsItsPlaceWithItsColour) {
    QImage source = CoordinateImage(10, 10);
    for (const QRgb colour : {qRgba(200, 100, 50, 255), qPremultiply(qRgba(200, 100, 50, 77))}) {
        for (int y = 3; y < 7; ++y)
            for (int x = 3; x < 7; ++x) source.setPixel(x, y, colour);
        for (const int mode : {int(tfmStretch), int(tfmTile)}) {
            const QImage out = DrawNine(source, {3, 3, 3, 3}, {mode, mode, mode, mode, mode}, {0, 0, 40, 30}, 40, 30);
            for (int y = 3; y < 27; ++y)
                for (int x = 3; x < 37; ++x) ASSERT_EQ(out.pixel(x, y), colour) << x << "," << y << " mode " << mode;
        }
    }
}

// The centre part, 23 wide, starts at logical (13, 13), device (6, 10), with
// source column 3: five whole tiles of 4, then 3 columns of the next; nothing
// is drawn right of the target.
TEST(NinePartFrame, TilesStartAtThePartUnderATranslatedPainterAndTheLastIsCut) {
    QImage out = Target(40, 40);
    QPainter p(&out);
    p.translate(-7, -3);  // as the canvas moves its origin into an element
    DrawNinePart(p, CoordinateImage(10, 10), {3, 3, 3, 3}, {tfmTile, tfmTile, tfmTile, tfmTile, tfmTile},
                 {10, 10, 39, 39});
    p.end();
    for (int x = 6; x < 29; ++x) EXPECT_EQ(qRed(out.pixel(x, 12)), (3 + (x - 6) % 4) * 10) << x;
    for (int y = 10; y < 33; ++y) EXPECT_EQ(qGreen(out.pixel(8, y)), (3 + (y - 10) % 4) * 10) << y;
    for (int y = 0; y < 40; ++y) ASSERT_EQ(out.pixel(32, y), Clear) << y;
}

// A paint pass that shows only part of a frame draws the parts that meet it,
// each as a whole frame draws it, and leaves the others out.
TEST(NinePartFrame, PartsOutsideTheVisibleAreaAreLeftOut) {
    const QImage source = CoordinateImage(10, 10);
    const std::array<int, 5> modes{tfmStretch, tfmTile, tfmStretch, tfmTile, tfmStretch};
    const TRect target{0, 0, 40, 30};
    const QImage whole = DrawNine(source, {3, 3, 3, 3}, modes, target, 40, 30);
    QImage part = Target(40, 30);
    QPainter p(&part);
    DrawNinePart(p, source, {3, 3, 3, 3}, modes, target, TRect{20, 28, 25, 35});  // the bottom edge only
    p.end();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool bottomEdge = y >= 27 && x >= 3 && x < 37;
            ASSERT_EQ(part.pixel(x, y), bottomEdge ? whole.pixel(x, y) : Clear) << x << "," << y;
        }
}

// The old rule of splitting fixed parts too big for the target divided by the
// first part and could leave the second negative.
TEST(NinePartFrame, ZonePartsForSmallTargetsSplitInProportion) {
    for (const QStringList& v : CaseRows("scheme/zone-parts.txt", 5)) {
        int first = -1, second = -1;
        FitZoneParts(v[0].toInt(), v[1].toInt(), v[2].toInt(), first, second);
        EXPECT_EQ(QStringLiteral("%1 %2").arg(first).arg(second).toStdString(), (v[3] + u' ' + v[4]).toStdString())
            << v.join(u' ').toStdString();
    }
}

TEST(NinePartFrame, TargetSmallerThanZonesLeavesNoGapAndNothingOutside) {
    QImage source(12, 12, QImage::Format_ARGB32_Premultiplied);
    source.fill(qRgba(0, 0, 255, 255));
    for (int size = 1; size <= 12; ++size) {
        const QImage out = DrawNine(source, {6, 6, 6, 6}, {}, {2, 2, 2 + size, 2 + size}, 20, 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 2 && x < 2 + size && y >= 2 && y < 2 + size;
                ASSERT_EQ(out.pixel(x, y), inside ? source.pixel(0, 0) : Clear) << size << ": " << x << "," << y;
            }
    }
}

// A theme image 100 x 100: the left half opaque grey (80), the right half clear,
// a red pixel at (99, 99) and a blue one at (1, 2).
QImage TestThemeImage() {
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Clear);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 50; ++x) image.setPixel(x, y, qRgba(80, 80, 80, 255));
    image.setPixel(99, 99, qRgba(255, 0, 0, 255));
    image.setPixel(1, 2, qRgba(0, 0, 255, 255));
    return image;
}

TEST(Tinting, FormulaKeepsAlphaAndTintedCopiesAreMadeOncePerColour) {
    // a = 128/255: c * (1 - a) + t * a, rounded; alpha and clear pixels kept.
    EXPECT_EQ(TintPixel(qRgba(200, 100, 0, 180), qRgba(0, 100, 255, 128)), qRgba(100, 100, 128, 180));
    EXPECT_EQ(TintPixel(qRgba(10, 20, 30, 0), qRgba(255, 255, 255, 255)), qRgba(10, 20, 30, 0));
    EXPECT_EQ(TintPixel(qRgba(10, 20, 30, 255), qRgba(255, 0, 0, 0)), qRgba(10, 20, 30, 255));
    TSheetTheme theme;
    theme.Load(*KnotFromText("<T><Error Cut=45,0,54,9/></T>"), TestThemeImage());
    const QRgb tint = qRgba(255, 0, 0, 255);
    const QImage& first = theme.KindImage(tekError, tint);
    EXPECT_EQ(first.pixel(0, 0), tint);   // grey part fully tinted
    EXPECT_EQ(first.pixel(9, 0), Clear);  // clear part untouched
    EXPECT_EQ(&theme.KindImage(tekError, tint), &first);
    theme.KindImage(tekError, qRgba(0, 255, 0, 255));
    EXPECT_EQ(theme.TintedCopyCount(tekError), 2);
}

QString RectText(const TRect& r) { return QStringLiteral("%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom); }

QString ColorText(TColor c) { return QString::number(c, 16); }

int KindIndex(const QString& name, int count, const QString& (*kindName)(int)) {
    for (int k = 0; k < count; ++k)
        if (kindName(k) == name) return k;
    ADD_FAILURE() << "no kind " << name.toStdString();
    return 0;
}

// What the theme answers for an expectation node of the theme cases, by field.
QMap<QString, QString> Answers(const TSheetTheme& theme, TKnot* expect) {
    const QString kind = expect->ReadStr(u"Kind");
    if (expect->Name() == u"Element") {
        const TSheetThemeElementData& e = theme.GetElementData(KindIndex(kind, tekCount, TSheetTheme::ElementKindName));
        QStringList modes;
        for (int m : e.FillModes) modes << QString::number(m);
        return {{"Cut", RectText(e.Cut)},         {"Empty", QString::number(e.Cut.IsEmpty())},
                {"Zone", RectText(e.Zone)},       {"Margins", RectText(e.Margins)},
                {"Padding", RectText(e.Padding)}, {"BasePadding", RectText(e.BasePadding)},
                {"FillModes", modes.join(u',')},  {"IsFrame", QString::number(e.IsFrame)}};
    }
    if (expect->Name() == u"Font") {
        const TSheetThemeFontData& f = theme.GetFontData(KindIndex(kind, tfkCount, TSheetTheme::FontKindName));
        return {{"Name", f.Name},
                {"BaseSize", QString::number(f.BaseSize)},
                {"Size", QString::number(f.Size)},
                {"Style", QString::number(f.Style)},
                {"Color", ColorText(f.Color)},
                {"SecondColor", ColorText(f.SecondColor)}};
    }
    if (expect->Name() == u"Image") {
        const TSheetThemeImageData& i = theme.GetImageData(expect->ReadStr(u"Index").toInt());
        return {{"BaseInsets", RectText(i.BaseInsets)}, {"BaseSize", QString::number(i.BaseSize)}};
    }
    return {{"Select", ColorText(theme.SelectColor())},
            {"Disable", ColorText(theme.DisableColor())},
            {"SelectInactive", ColorText(theme.SelectInactiveColor())}};
}

// Each case of tests/data/scheme/theme-cases.txt loads its theme text over
// TestThemeImage (or no image) and checks what the theme answers, in order;
// a Scale step scales the theme between checks.
TEST(ThemeLoading, TextsGiveTheExpectedFramesFontsColoursAndLayouts) {
    ASSERT_TRUE(QFontDatabase::hasFamily("DejaVu Sans"));
    TNodePtr<TKnot> cases = TKnot::Create();
    ASSERT_TRUE(cases->LoadFromFile(QStringLiteral(QUILLANE_TEST_DATA "/scheme/theme-cases.txt")));
    ASSERT_NE(cases->GetFirstChild(), nullptr);
    for (TKnot* c = cases->GetFirstChild(); c; c = c->GetNextSibling()) {
        SCOPED_TRACE(c->ReadStr(u"Name").toStdString());
        TSheetTheme theme;
        theme.Load(*c->FindChild(u"Theme"), c->ReadBool(u"NoImage", false) ? QImage() : TestThemeImage());
        for (TKnot* e = c->GetFirstChild(); e; e = e->GetNextSibling()) {
            if (e->Name() == u"Scale")
                theme.Scale(e->ReadStr(u"Delta").toInt(), e->ReadStr(u"Percent").toInt());
            if (e->Name() == u"Theme" || e->Name() == u"Scale") continue;
            const QMap<QString, QString> answers = Answers(theme, e);
            for (TKnotParam* p = e->Params(); p; p = p->Next()) {
                if (p->Name() == u"Kind" || p->Name() == u"Index") continue;
                EXPECT_EQ(answers.value(p->Name(), "?").toStdString(), p->Value().toStdString())
                    << e->Name().toStdString() << " " << e->ReadStr(u"Kind").toStdString() << "."
                    << p->Name().toStdString();
            }
        }
    }
    EXPECT_EQ(ChooseInstalledFace("Nonexistent Face 42, DejaVu Sans,DejaVu Serif"), "DejaVu Sans");
    EXPECT_EQ(ChooseInstalledFace("Nonexistent Face 42"), "");
}

// A cut reaching beyond the image was copied at its full size (up to
// 10000 x 10000 pixels); it is cut to the image, an empty one draws nothing.
TEST(ThemeLoading, CutBeyondTheImageIsCutToItRegression) {
    TSheetTheme theme;
    theme.Load(*KnotFromText("<T><Element Cut=90,95,200,200/><Mark Cut=150,150,160,160/></T>"), TestThemeImage());
    EXPECT_EQ(theme.KindImage(tekElement, clNone).size(), QSize(10, 5));
    QImage out = Target(20, 20);
    QPainter p(&out);
    theme.DrawFrame(p, tekMark, {0, 0, 20, 20});
    p.end();
    EXPECT_EQ(out, Target(20, 20));
}

// Every kind of the built-in theme has a node of its own inside the image and
// draws something.
TEST(BuiltInTheme, LoadsAndEveryKindResolvesAndDraws) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    const QRect whole(QPoint(0, 0), theme.Image().size());
    for (int k = 0; k < tekCount; ++k) {
        SCOPED_TRACE(TSheetTheme::ElementKindName(k).toStdString());
        const TSheetThemeElementData& e = theme.GetElementData(k);
        EXPECT_TRUE(whole.contains(e.Cut.ToQRect()));
        EXPECT_NE(e.Cut.ToQRect(), whole) << "no node";
        EXPECT_LE(theme.GetMinWidth(k), e.Cut.Width());
        EXPECT_LE(theme.GetMinHeight(k), e.Cut.Height());
        QImage out = Target(140, 40);
        QPainter p(&out);
        if (TSheetTheme::IsFrameKind(k))
            theme.DrawFrame(p, k, {0, 0, 140, 40}, qRgba(0, 0, 255, 128));
        else
            theme.DrawImage(p, k, 0, 0);
        p.end();
        EXPECT_NE(out, Target(140, 40));
    }
    for (int f = 0; f < tfkCount; ++f) EXPECT_FALSE(theme.GetFontData(f).Name.isEmpty()) << f;
}

// A frame drawn on a coloured target under a moved origin and a clip, as a
// paint pass draws it.
template <class Paint>
QImage PaintedFrame(const TRect& visible, Paint paint, QSize size = QSize(90, 40)) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(qRgba(200, 180, 20, 255));
    QPainter p(&out);
    p.translate(-3, 2);
    p.setClipRect(visible.ToQRect());
    paint(p);
    p.end();
    return out;
}

// A frame kind of a theme in one tint: its data and the picture its parts
// are cut from.
struct TFrameCase {
    int Kind;
    const TSheetThemeElementData& Data;
    TColor Tint;
    TColor Drawn;  // the tint, or the kind's own colour for none
    const QImage& Source;

    // The frame drawn part by part at rect, as PaintedFrame draws.
    QImage Parts(const TRect& rect, const TRect& visible, QSize size = QSize(90, 40)) const {
        return PaintedFrame(
            visible, [&](QPainter& p) { DrawNinePart(p, Source, Data.Zone, Data.FillModes, rect); }, size);
    }
};

// Calls check(TFrameCase) for every frame kind of theme in each tint.
template <class Check>
void ForEveryFrame(const TSheetTheme& theme, std::initializer_list<TColor> tints, Check check) {
    for (int k = 0; k < tekCount; ++k) {
        if (!TSheetTheme::IsFrameKind(k)) continue;
        SCOPED_TRACE(TSheetTheme::ElementKindName(k).toStdString());
        const TSheetThemeElementData& e = theme.GetElementData(k);
        for (const TColor tint : tints) {
            const TColor drawn = tint == clNone ? e.ColorOver : tint;
            check(TFrameCase{k, e, tint, drawn, theme.KindImage(k, drawn)});
        }
    }
}

// Frames are kept drawn per kind, tint and size: drawn, and drawn again from
// what was kept, they give the pixels of their parts, each kept once; a theme
// loaded again forgets them.
TEST(BuiltInTheme, KeptFramesGiveThePixelsOfTheirPartsUntilTheThemeIsLoadedAgain) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    const TRect rect{5, 4, 75, 26};
    const TRect visible{30, 0, 200, 20};
    QSet<QPair<int, TColor>> frames;
    ForEveryFrame(theme, {clNone, qRgba(0, 0, 255, 128)}, [&](const TFrameCase& f) {
        const QImage parts = f.Parts(rect, visible);
        for (int round = 0; round < 2; ++round)
            ASSERT_EQ(PaintedFrame(visible, [&](QPainter& p) { theme.DrawFrame(p, f.Kind, rect, f.Tint, visible); }),
                      parts)
                << "round " << round;
        if (!f.Source.isNull()) frames.insert({f.Kind, f.Drawn});
    });
    EXPECT_EQ(theme.KeptFrameCount(), frames.size()) << "once per kind, tint and size";

    const char* text = "<T><Element Cut=0,0,10,10 Zone=3,3,3,3/></T>";
    theme.Load(*KnotFromText(text), TestThemeImage());
    PaintedFrame(visible, [&](QPainter& p) { theme.DrawFrame(p, tekElement, rect, clNone, visible); });
    ASSERT_EQ(theme.KeptFrameCount(), 1);
    QImage green = TestThemeImage();
    green.fill(qRgba(0, 120, 0, 255));
    theme.Load(*KnotFromText(text), green);
    EXPECT_EQ(theme.KeptFrameCount(), 0);
    const TSheetThemeElementData& e = theme.GetElementData(tekElement);
    const QImage parts = PaintedFrame(visible, [&](QPainter& p) {
        DrawNinePart(p, theme.KindImage(tekElement, e.ColorOver), e.Zone, e.FillModes, rect);
    });
    EXPECT_EQ(PaintedFrame(visible, [&](QPainter& p) { theme.DrawFrame(p, tekElement, rect, clNone, visible); }), parts)
        << "the new image";
}

// A kept frame showing few pixels is blended in one piece, one showing more
// as a filled middle and its borders: either way it gives the pixels of its
// parts, for every frame of the built-in theme.
TEST(BuiltInTheme, KeptFramesBlendedWholeOrByTheirPartsGiveThePixelsOfTheirParts) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    const QSize target(200, 180);
    const TRect visible{0, 0, 200, 180};
    const int side = 150;  // 150 x 150 is kept and shows more than blends whole
    static_assert(side * side <= TSheetTheme::kMaxKeptFramePixels && side * side > TSheetTheme::kWholeBlendPixels);
    for (const TRect& rect : {TRect{10, 10, 10 + side, 10 + side}, TRect{10, 10, 90, 40}, TRect{-60, 5, 90, 155}}) {
        SCOPED_TRACE(rect.Width());
        ForEveryFrame(theme, {clNone, qRgba(0, 0, 255, 128)}, [&](const TFrameCase& f) {
            const QImage parts = f.Parts(rect, visible, target);
            for (int round = 0; round < 2; ++round)
                ASSERT_EQ(PaintedFrame(
                              visible, [&](QPainter& p) { theme.DrawFrame(p, f.Kind, rect, f.Tint, visible); }, target),
                          parts)
                    << "round " << round;
        });
    }
}

// Into a pass's pixels a frame is drawn only once a painter has drawn (and
// kept) it at that size; from then on it gives the pixels of its parts on
// either kind of 32-bit picture, within the clip, for every frame of the
// built-in theme, and is kept as runs instead of a picture.
TEST(BuiltInTheme, FramesDrawnIntoPixelsGiveThePixelsOfTheirParts) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    const TRect visible{20, 5, 150, 60};
    const QPoint shift(-3, 2);  // as PaintedFrame moves its painter
    const QSize size(160, 70);
    const TRect rects[] = {{5, 4, 75, 26}, {-40, -30, 200, 100}, {25, 8, 65, 28}, {-300, -300, 400, 400}};
    for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32})
        for (const TRect& rect : rects) {
            SCOPED_TRACE(rect.Width());
            ForEveryFrame(theme, {clNone, qRgba(0, 0, 255, 128)}, [&](const TFrameCase& f) {
                const bool keeps =
                    !f.Source.isNull() && rect.Width() * rect.Height() <= TSheetTheme::kMaxKeptFramePixels;
                const QImage clean = PaintedFrame(visible, [](QPainter&) {}, size).convertToFormat(format);
                QImage pixels = clean;
                const TPixelTarget target = TPixelTarget::Over(pixels, visible, shift);
                if (!theme.DrawFrame(target, f.Kind, rect, f.Tint)) {
                    ASSERT_EQ(pixels, clean) << "nothing drawn";
                    PaintedFrame(visible, [&](QPainter& p) { theme.DrawFrame(p, f.Kind, rect, f.Tint, visible); });
                    ASSERT_EQ(theme.DrawFrame(target, f.Kind, rect, f.Tint), keeps);
                }
                if (keeps) {
                    ASSERT_EQ(pixels, f.Parts(rect, visible, size).convertToFormat(format));
                }
            });
        }
    EXPECT_EQ(theme.KeptFrameCount(), 0) << "the pictures gave way to runs";
    EXPECT_GT(theme.KeptFrameRunsCount(), 0);
}

// A frame around the repainted rectangle (an element around a changed row)
// is seen only through its middle, and one inside it through its middle and
// all four borders: kept or too large to keep, it gives the pixels of its
// parts there, whatever its middle holds.
TEST(BuiltInTheme, AFrameSeenThroughItsMiddleGivesThePixelsOfItsParts) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    const TRect visible{20, 5, 70, 30};
    for (const TRect& rect : {TRect{-40, -30, 140, 100}, TRect{-300, -300, 400, 400}, TRect{25, 8, 65, 28}}) {
        SCOPED_TRACE(rect.Width());
        ForEveryFrame(theme, {clNone, qRgba(0, 0, 255, 128), qRgba(20, 140, 60, 255)}, [&](const TFrameCase& f) {
            const QImage parts = f.Parts(rect, visible);
            for (int round = 0; round < 2; ++round)
                ASSERT_EQ(PaintedFrame(visible, [&](QPainter& p) { theme.DrawFrame(p, f.Kind, rect, f.Tint, visible); }),
                          parts)
                    << "round " << round;
        });
    }
}

// Whether the frame of kind drawn at (w, h) and at (w + dw, h + dh) from the
// same corner differs anywhere outside the strips `edge` reaches in from the
// nearer right and bottom edges.
bool ChangesOutsideTheEdge(const TSheetTheme& theme, int kind, int w, int h, int dw, int dh, int edge) {
    auto drawn = [&](int width, int height) {
        QImage out = Target(w + std::max(dw, 0), h + std::max(dh, 0));
        QPainter p(&out);
        theme.DrawFrame(p, kind, {0, 0, width, height});
        p.end();
        return out;
    };
    const QImage before = drawn(w, h);
    const QImage after = drawn(w + dw, h + dh);
    const int right = std::min(w, w + dw) - edge;
    const int bottom = std::min(h, h + dh) - edge;
    for (int y = 0; y < bottom; ++y)
        for (int x = 0; x < right; ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) return true;
    return false;
}

// A frame drawn larger or smaller from the same corner changes only within
// the size-dependent edge the theme reads off its kind, at sizes from below
// its borders up (checked for every frame of the built-in theme); a frame
// whose stretched parts are a gradient changes all over and says so, one
// that tiles them does not.
TEST(BuiltInTheme, AFrameAtAnotherSizeChangesOnlyWithinItsSizeDependentEdge) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    for (int k = 0; k < tekCount; ++k) {
        if (!TSheetTheme::IsFrameKind(k)) continue;
        SCOPED_TRACE(TSheetTheme::ElementKindName(k).toStdString());
        const int edge = theme.SizeDependentEdge(k);
        ASSERT_GE(edge, 0) << "the built-in frames grow at their edges only";
        for (const QSize size : {QSize(3, 3), QSize(40, 20), QSize(90, 60)})
            for (const QSize change : {QSize(8, 0), QSize(0, 8), QSize(-2, -2), QSize(30, 12)})
                EXPECT_FALSE(ChangesOutsideTheEdge(theme, k, size.width(), size.height(), change.width(),
                                                   change.height(), edge))
                    << size.width() << " x " << size.height() << " by " << change.width() << ", " << change.height();
    }
    QImage gradient(12, 12, QImage::Format_ARGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) gradient.setPixel(x, y, qRgba(x * 20, 100, y * 20, 255));
    for (const auto& [mode, whole] : {std::pair{"0", true}, std::pair{"1", false}}) {
        SCOPED_TRACE(mode);
        const QString text = QStringLiteral("<T><Element Cut=0,0,11,11 Zone=3,3,3,3 FillModeLeft=%1 FillModeTop=%1 "
                                            "FillModeRight=%1 FillModeBottom=%1 FillModeClient=%1/></T>")
                                 .arg(QLatin1String(mode));
        theme.Load(*KnotFromText(text), gradient);
        const int edge = theme.SizeDependentEdge(tekElement);
        EXPECT_EQ(edge < 0, whole);
        EXPECT_EQ(ChangesOutsideTheEdge(theme, tekElement, 40, 30, 10, 0, 6), whole);
    }
}

TEST(ThemeFiles, MissingFileOrImageRaisesTheFileError) {
    QTemporaryDir dir;
    TSheetTheme theme;
    EXPECT_EQ(RaisedId([&] { theme.LoadFromFile(dir.filePath("Nothing.txt")); }), strFileNotFound);
    const QString text = dir.filePath("Blue.txt");
    ASSERT_TRUE(WriteTestFile(text, "<ThemeInfo SelectColor=0,0><Element Cut=0,0,1,1/></ThemeInfo>"));
    EXPECT_THROW(theme.LoadFromFile(text), Exception);  // no Blue.png yet
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    ASSERT_TRUE(image.save(dir.filePath("Blue.png")));
    theme.LoadFromFile(text);
    EXPECT_EQ(theme.SelectColor(), qRgba(1, 2, 3, 255));
}

// A theme's picture was read from whatever had its name: a pipe waited for
// its writer for ever.
TEST(ThemeFiles, RegressionPictureThatIsNotARegularFileIsRefusedWithoutWaiting) {
    QTemporaryDir dir;
    const QString text = dir.filePath("Blue.txt");
    ASSERT_TRUE(WriteTestFile(text, "<ThemeInfo SelectColor=0,0><Element Cut=0,0,1,1/></ThemeInfo>"));
    ASSERT_TRUE(MakeNamedPipe(dir.filePath("Blue.png")));
    TSheetTheme theme;
    EXPECT_EQ(RaisedId([&] { theme.LoadFromFile(text); }), strCannotReadFile);
}

}  // namespace

// Sheet themes: nine-part frames, tinting, reading theme texts, scaling and
// the built-in theme.

#include "scheme/diThemes.h"

#include "core/cuClasses.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "support/testElements.h"
#include "support/testRaise.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
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
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(out.pixel(x, y), source.pixel(x, y));                    // top left
            EXPECT_EQ(out.pixel(37 + x, y), source.pixel(7 + x, y));           // top right
            EXPECT_EQ(out.pixel(x, 27 + y), source.pixel(x, 7 + y));           // bottom left
            EXPECT_EQ(out.pixel(37 + x, 27 + y), source.pixel(7 + x, 7 + y));  // bottom right
        }
    // Tiles of the top edge repeat the four middle columns (3..6) from the part's left.
    for (int x = 3; x < 37; ++x) EXPECT_EQ(qRed(out.pixel(x, 1)), (3 + (x - 3) % 4) * 10) << x;
    // The stretched left edge keeps its columns and spreads its rows.
    EXPECT_EQ(qRed(out.pixel(1, 15)), 10);
    EXPECT_GE(qGreen(out.pixel(1, 4)), 30);
    EXPECT_LE(qGreen(out.pixel(1, 26)), 60);
    // The centre stays clear.
    for (int y = 3; y < 27; ++y)
        for (int x = 3; x < 37; ++x) ASSERT_EQ(out.pixel(x, y), Clear) << x << "," << y;
}

TEST(NinePartFrame, LastTilesAreCutToFit) {
    const QImage source = CoordinateImage(10, 10);
    const QImage out = DrawNine(source, {3, 3, 3, 3}, {tfmTile, tfmTile, tfmTile, tfmTile, tfmTile}, {0, 0, 13, 13},
                                20, 20);
    // The middle part is 7 wide: one whole tile of 4 and 3 columns of the next.
    for (int x = 3; x < 10; ++x) EXPECT_EQ(qRed(out.pixel(x, 5)), (3 + (x - 3) % 4) * 10) << x;
    // Nothing lands beyond the target.
    for (int y = 0; y < 20; ++y)
        for (int x = 13; x < 20; ++x) ASSERT_EQ(out.pixel(x, y), Clear);
}

// Targets smaller than the border parts: both parts stay non-negative and
// together fill the target.
TEST(NinePartFrame, TilesStartAtThePartUnderATranslatedPainter) {
    const QImage source = CoordinateImage(10, 10);
    QImage out = Target(40, 40);
    QPainter p(&out);
    p.translate(-7, -3);  // as the canvas moves its origin into an element
    DrawNinePart(p, source, {3, 3, 3, 3}, {tfmTile, tfmTile, tfmTile, tfmTile, tfmTile}, {10, 10, 40, 40});
    p.end();
    // The centre part starts at logical (13, 13), device (6, 10), with source column 3.
    for (int x = 6; x < 30; ++x) EXPECT_EQ(qRed(out.pixel(x, 12)), (3 + (x - 6) % 4) * 10) << x;
    for (int y = 10; y < 30; ++y) EXPECT_EQ(qGreen(out.pixel(8, y)), (3 + (y - 10) % 4) * 10) << y;
}

TEST(NinePartFrame, ZonePartsForSmallTargetsSplitInProportion) {
    struct Case {
        int first, second, target, wantFirst, wantSecond;
    };
    const Case cases[] = {
        {6, 6, 20, 6, 6},  // room enough
        {6, 6, 12, 6, 6},  //
        {6, 6, 8, 4, 4},   // split evenly
        {6, 2, 4, 3, 1},   // in proportion
        {0, 6, 3, 0, 3},   // a first part of 0 (the old rule divided by it)
        {6, 0, 3, 3, 0},   //
        {1, 9, 5, 1, 4},   // the old rule left the second part negative
        {0, 0, 0, 0, 0},   //
        {5, 5, 0, 0, 0},   //
        {5, 5, -3, 0, 0},  // a negative target is empty
    };
    for (const Case& c : cases) {
        int first = -1, second = -1;
        FitZoneParts(c.first, c.second, c.target, first, second);
        EXPECT_EQ(first, c.wantFirst) << c.first << "/" << c.second << " in " << c.target;
        EXPECT_EQ(second, c.wantSecond) << c.first << "/" << c.second << " in " << c.target;
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

TEST(Tinting, FormulaKeepsAlphaAndTransparentPixels) {
    // a = 128/255: c * (1 - a) + t * a, rounded.
    const QRgb tinted = TintPixel(qRgba(200, 100, 0, 180), qRgba(0, 100, 255, 128));
    EXPECT_EQ(qRed(tinted), 100);    // 200 * 0.498 = 99.6
    EXPECT_EQ(qGreen(tinted), 100);  //
    EXPECT_EQ(qBlue(tinted), 128);   // 255 * 0.502 = 128.0
    EXPECT_EQ(qAlpha(tinted), 180);
    EXPECT_EQ(TintPixel(qRgba(10, 20, 30, 0), qRgba(255, 255, 255, 255)), qRgba(10, 20, 30, 0));
    EXPECT_EQ(TintPixel(qRgba(10, 20, 30, 255), qRgba(255, 0, 0, 0)), qRgba(10, 20, 30, 255));
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

void LoadTheme(TSheetTheme& theme, const QString& text, const QImage& image = TestThemeImage()) {
    theme.Load(*KnotFromText(text), image);
}

TEST(Tinting, TintedCopyIsMadeOncePerColourAndLeavesClearPixels) {
    TSheetTheme theme;
    LoadTheme(theme, "<T><Error Cut=45,0,54,9/></T>");
    const QRgb tint = qRgba(255, 0, 0, 255);
    const QImage& first = theme.KindImage(tekError, tint);
    ASSERT_EQ(first.size(), QSize(10, 10));
    EXPECT_EQ(first.pixel(0, 0), qRgba(255, 0, 0, 255));  // grey part fully tinted
    EXPECT_EQ(first.pixel(9, 0), Clear);                  // clear part untouched
    EXPECT_EQ(&theme.KindImage(tekError, tint), &first);  // reused
    EXPECT_EQ(theme.TintedCopyCount(tekError), 1);
    theme.KindImage(tekError, qRgba(0, 255, 0, 255));
    EXPECT_EQ(theme.TintedCopyCount(tekError), 2);
    // Drawing a picture uses the tinted copy.
    QImage out = Target(12, 12);
    QPainter p(&out);
    theme.DrawImage(p, tekError, 1, 1, tint);
    p.end();
    EXPECT_EQ(out.pixel(1, 1), qRgba(255, 0, 0, 255));
    EXPECT_EQ(out.pixel(10, 1), Clear);
}

TEST(ThemeLoading, MissingNodesFollowTheFallbackChain) {
    TSheetTheme theme;
    LoadTheme(theme, "<T><Field Cut=0,0,9,9/></T>");
    EXPECT_EQ(theme.GetElementData(tekNamePrivate).Cut, (TRect{0, 0, 10, 10}));  // NamePrivate -> Name -> Field
    LoadTheme(theme, "<T><Field Cut=0,0,9,9/><Name Cut=0,0,4,4/></T>");
    EXPECT_EQ(theme.GetElementData(tekNamePrivate).Cut, (TRect{0, 0, 5, 5}));
    EXPECT_EQ(theme.GetElementData(tekImageContainer).Cut, (TRect{0, 0, 10, 10}));  // -> Container -> Field
    // A kind without node and fallback reads an empty node: the whole image.
    EXPECT_EQ(theme.GetElementData(tekSheet).Cut, (TRect{0, 0, 100, 100}));
}

TEST(ThemeLoading, CutsRectanglesAndFillModes) {
    TSheetTheme theme;
    LoadTheme(theme, "<T><Element Cut=0,0,9,9 Zone=3,x,20000,-4 Margins=-3,-20000,5 FillModeLeft=1 "
                     "FillModeTop=7 FillModeClient=2/><Collapsed Cut=0,0,0,0 FillModeLeft=1/></T>");
    const TSheetThemeElementData& e = theme.GetElementData(tekElement);
    EXPECT_EQ(e.Cut, (TRect{0, 0, 10, 10}));
    EXPECT_EQ(e.Zone, (TRect{3, 0, 10000, 0}));
    EXPECT_EQ(e.Margins, (TRect{-3, -10000, 5, 0}));
    EXPECT_EQ(e.FillModes, (std::array<int, 5>{1, 0, 0, 0, 2}));  // 7 is out of range
    const TSheetThemeElementData& c = theme.GetElementData(tekCollapsed);
    EXPECT_EQ(c.Cut, (TRect{0, 0, 100, 100}));
    EXPECT_FALSE(c.IsFrame);
    EXPECT_EQ(c.FillModes[0], 0);  // single pictures read no fill modes
}

// A cut reaching beyond the image was copied at its full size (up to
// 10000 x 10000 pixels); it is cut to the image.
TEST(ThemeLoading, CutBeyondTheImageIsCutToItRegression) {
    TSheetTheme theme;
    LoadTheme(theme, "<T><Element Cut=90,95,200,200/><Field Cut=0,0,10000,10000/><Mark Cut=150,150,160,160/>"
                     "<Line Cut=10,10,5,5/></T>");
    EXPECT_EQ(theme.GetElementData(tekElement).Cut, (TRect{90, 95, 100, 100}));
    EXPECT_EQ(theme.KindImage(tekElement, clNone).size(), QSize(10, 5));
    EXPECT_EQ(theme.GetElementData(tekField).Cut, (TRect{0, 0, 100, 100}));
    EXPECT_TRUE(theme.GetElementData(tekMark).Cut.IsEmpty());
    EXPECT_TRUE(theme.GetElementData(tekLine).Cut.IsEmpty());
    QImage out = Target(20, 20);
    QPainter p(&out);
    theme.DrawFrame(p, tekMark, {0, 0, 20, 20});
    theme.DrawFrame(p, tekLine, {0, 0, 20, 20});
    p.end();
    EXPECT_EQ(out, Target(20, 20));
}

TEST(ThemeLoading, ColoursAreReadFromClampedPixelsOrDefault) {
    TSheetTheme theme;
    LoadTheme(theme, "<T SelectColor=5000,5000 DisableColor=1,2 SelectInactiveColor=-5,-5>"
                     "<CodeFont Color=99,99 SecondColor=1,2/><ElementFont/></T>");
    EXPECT_EQ(theme.SelectColor(), qRgba(255, 0, 0, 255));
    EXPECT_EQ(theme.DisableColor(), qRgba(0, 0, 255, 255));
    EXPECT_EQ(theme.SelectInactiveColor(), qRgba(80, 80, 80, 255));
    EXPECT_EQ(theme.GetFontData(tfkCode).Color, qRgba(255, 0, 0, 255));
    EXPECT_EQ(theme.GetFontData(tfkCode).SecondColor, qRgba(0, 0, 255, 255));
    EXPECT_EQ(theme.GetFontData(tfkElement).Color, MakeColor(0, 0, 0));
    EXPECT_EQ(theme.GetFontData(tfkElement).SecondColor, clNone);
    // On an empty image every colour is its default.
    TSheetTheme empty;
    LoadTheme(empty, "<T SelectColor=3,3><CodeFont Color=0,0/></T>", QImage());
    EXPECT_EQ(empty.SelectColor(), MakeColor(95, 143, 216, 130));
    EXPECT_EQ(empty.GetFontData(tfkCode).Color, MakeColor(0, 0, 0));
    EXPECT_EQ(empty.PixelColor(0, 0, 0x12345678u), 0x12345678u);
}

TEST(ThemeLoading, FontFaceIsTheFirstInstalledOneAndSizeZeroTheDefault) {
    ASSERT_TRUE(QFontDatabase::hasFamily("DejaVu Sans"));
    EXPECT_EQ(ChooseInstalledFace("Nonexistent Face 42, DejaVu Sans,DejaVu Serif"), "DejaVu Sans");
    EXPECT_EQ(ChooseInstalledFace("Nonexistent Face 42"), "");
    TSheetTheme theme;
    LoadTheme(theme, "<T><FixedFont Name=\"No Such Mono,DejaVu Sans Mono\" Size=11 Bold=1 Underline=1/></T>");
    const TSheetThemeFontData& f = theme.GetFontData(tfkFixed);
    EXPECT_EQ(f.Name, "DejaVu Sans Mono");
    EXPECT_EQ(f.BaseSize, 11);
    EXPECT_EQ(f.Style, tfsBold | tfsUnderline);
    // Size 0 means the default size.
    LoadTheme(theme, "<T><ArtFont Size=0/></T>");
    EXPECT_EQ(theme.GetFontData(tfkArt).Size, DefaultThemeFontSize);
    EXPECT_GT(theme.GetFontData(tfkArt).MakeFont().pixelSize(), 0);
    theme.Scale(2, 140);
    EXPECT_EQ(theme.GetFontData(tfkArt).Size, DefaultThemeFontSize + 2);
}

TEST(ThemeScaling, StepsScaleFontsMarginsPaddingAndLayouts) {
    TSheetTheme theme;
    LoadTheme(theme, "<T><ElementFont Size=9/><Field Padding=5,5,5,5 Margins=-3,0,10,1/></T>");
    struct Step {
        int delta, percent, fontSize, padding, marginLeft, marginRight;
    };
    for (const Step& s : {Step{0, 100, 9, 5, -3, 10}, Step{2, 140, 11, 7, -4, 14}, Step{4, 180, 13, 9, -5, 18}}) {
        theme.Scale(s.delta, s.percent);
        EXPECT_EQ(theme.GetFontData(tfkElement).Size, s.fontSize) << s.percent;
        EXPECT_EQ(theme.GetElementData(tekField).Padding.Left, s.padding) << s.percent;
        EXPECT_EQ(theme.GetElementData(tekField).Margins.Left, s.marginLeft) << s.percent;
        EXPECT_EQ(theme.GetElementData(tekField).Margins.Right, s.marginRight) << s.percent;
        EXPECT_EQ(theme.GetElementData(tekField).BasePadding.Left, 5);
    }
    // Image layouts come from Field: insets 3, 4, 5 left and right, size max(2, 2/5 of the left padding).
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(theme.GetImageData(i).BaseInsets.Left, 3 + i);
        EXPECT_EQ(theme.GetImageData(i).BaseInsets.Top, 0);
        EXPECT_EQ(theme.GetImageData(i).BaseInsets.Bottom, 1);
        EXPECT_EQ(theme.GetImageData(i).BaseSize, 2);
    }
}

TEST(BuiltInTheme, LoadsAndEveryKindResolves) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    ASSERT_FALSE(theme.Image().isNull());
    const QRect whole(QPoint(0, 0), theme.Image().size());
    for (int k = 0; k < tekCount; ++k) {
        const TSheetThemeElementData& e = theme.GetElementData(k);
        EXPECT_FALSE(e.Cut.IsEmpty()) << TSheetTheme::ElementKindName(k).toStdString();
        EXPECT_TRUE(whole.contains(e.Cut.ToQRect())) << TSheetTheme::ElementKindName(k).toStdString();
        EXPECT_NE(e.Cut.ToQRect(), whole) << TSheetTheme::ElementKindName(k).toStdString() << " has no node";
        EXPECT_LE(theme.GetMinWidth(k), e.Cut.Width());
        EXPECT_LE(theme.GetMinHeight(k), e.Cut.Height());
    }
    for (int f = 0; f < tfkCount; ++f) {
        EXPECT_FALSE(theme.GetFontData(f).Name.isEmpty()) << f;  // a Debian face ends every list
        EXPECT_GT(theme.GetFontData(f).BaseSize, 0);
    }
    EXPECT_NE(qAlpha(theme.SelectColor()), 255);  // a blend colour
}

TEST(ThemeFiles, MissingFileOrImageRaisesTheFileError) {
    QTemporaryDir dir;
    TSheetTheme theme;
    EXPECT_EQ(RaisedId([&] { theme.LoadFromFile(dir.filePath("Nothing.txt")); }), strFileNotFound);
    QFile text(dir.filePath("Blue.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("<ThemeInfo SelectColor=0,0><Element Cut=0,0,1,1/></ThemeInfo>");
    text.close();
    EXPECT_THROW(theme.LoadFromFile(text.fileName()), Exception);  // no Blue.png yet
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    ASSERT_TRUE(image.save(dir.filePath("Blue.png")));
    theme.LoadFromFile(text.fileName());
    EXPECT_EQ(theme.SelectColor(), qRgba(1, 2, 3, 255));
    EXPECT_EQ(theme.GetElementData(tekElement).Cut, (TRect{0, 0, 2, 2}));
}

}  // namespace

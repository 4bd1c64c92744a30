// Sheet settings, print settings and the sheet canvas.

#include "scheme/diCanvas.h"

#include "core/cuStringIds.h"
#include "platform/plImageList.h"
#include "platform/plSystemColors.h"
#include "scheme/diThemes.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diUtils.h"
#include "support/testElements.h"
#include "support/testFiles.h"
#include "support/testRaise.h"
#include "support/testVisualElements.h"

#include <QDir>
#include <QFile>
#include <QPaintEngine>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace {

class SheetSettings : public ::testing::Test {
protected:
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
};

TEST_F(SheetSettings, DefaultsLoadAndSave) {
    settings->LoadFrom(KnotFromText(
        "<Settings><Sheet><FontSize Value=great/><CaretSize Value=30/><FocusNew Value=1/></Sheet></Settings>").get());
    EXPECT_EQ(settings->CaretSizeProperty()->Value(), 1);  // out of range: the default
    EXPECT_TRUE(settings->FocusNewProperty()->Value());
    TNodePtr<TKnot> saved = TKnot::Create("Settings");
    settings->SaveTo(saved.get());
    EXPECT_EQ(saved->FindPath(u"Sheet.FontSize", false)->ReadStr(u"Value"), "Great");
    EXPECT_EQ(saved->FindPath(u"Sheet.Theme", false), nullptr);
}

// Regression: loading the settings left the theme at its old scale. Values
// scale by the font size's percentage.
TEST_F(SheetSettings, FontSizeRescalesTheLoadedThemeAndRenewsAttributes) {
    EXPECT_EQ(settings->ScaleToFontSize(10), 10);
    TSheetTheme* theme = &settings->GetTheme();
    const int base = theme->GetFontData(tfkCode).BaseSize;
    EXPECT_EQ(settings->GetCodeTextAttributes()->Color(), theme->GetFontData(tfkCode).Color);
    settings->FontSizeProperty()->SetIndex(fssLarge);
    EXPECT_EQ(&settings->GetTheme(), theme);  // not reloaded
    TRichTextAttributes* larger = settings->GetCodeTextAttributes();
    EXPECT_EQ(larger->FontSize(), base + 2);
    EXPECT_EQ(settings->GetCodeTextAttributes(), larger);
    EXPECT_EQ(settings->ScaleToFontSize(7), 9);
    // Loading a changed size without announcements re-scales on the next use.
    settings->LoadFrom(KnotFromText("<S><Sheet><FontSize Value=Great/></Sheet></S>").get());
    EXPECT_EQ(settings->GetTheme().GetFontData(tfkCode).Size, base + 4);
    EXPECT_EQ(settings->GetCodeTextAttributes()->FontSize(), base + 4);
    EXPECT_EQ(settings->ScaleToFontSize(10), 18);
}

TEST(PrintSettings, ScaleIsLimited) {
    TNodePtr<TPrintSettings> print = TProperty::CreateRoot<TPrintSettings>("Print");
    print->CreateProperties();
    print->ScaleProperty()->SetValue(900);
    EXPECT_EQ(print->ScaleProperty()->Value(), 500);
}

class Canvas : public SheetSettings {
protected:
    std::unique_ptr<TSheetCanvas> canvas = std::make_unique<TSheetCanvas>(settings.get());
};

TEST_F(Canvas, OriginMovesWithTheElementsAndCullsOutside) {
    canvas->BeginPaint({100, 50, 140, 80});
    EXPECT_EQ(canvas->GetPaintRect(), (TRect{100, 50, 140, 80}));
    canvas->MoveOrigin(110, 60);  // an element at (110, 60)
    EXPECT_EQ(canvas->GetPaintRect(), (TRect{-10, -10, 30, 20}));
    EXPECT_TRUE(canvas->NeedsPaint({0, 0, 5, 5}));
    EXPECT_FALSE(canvas->NeedsPaint({30, 0, 40, 5}));   // starts at the right edge
    EXPECT_FALSE(canvas->NeedsPaint({-20, 0, -10, 5}));  // ends at the left edge
    canvas->FillRect({0, 0, 2, 2}, qRgb(255, 0, 0));
    canvas->MoveOrigin(-110, -60);
    QImage window(200, 100, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::black);
    QPainter dc(&window);
    canvas->EndPaint(&dc);
    dc.end();
    EXPECT_EQ(window.pixel(110, 60), qRgb(255, 0, 0));
    EXPECT_EQ(window.pixel(112, 60), qRgb(255, 255, 255));
    EXPECT_EQ(window.pixel(99, 50), qRgb(0, 0, 0));
}

// The painter follows the origin only when drawn with: an element that draws
// nothing, a child's move and its return, and a move while a drawing call
// keeps the painter's state must still leave each drawing at its own place.
TEST_F(Canvas, DrawingsLandWhereTheOriginStandsAfterMovesThatDrewNothing) {
    QImage window(60, 40, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::black);
    QPainter dc(&window);
    canvas->BeginPaint({0, 0, 60, 40}, &dc);
    canvas->MoveOrigin(30, 20);  // an element drawing nothing
    canvas->MoveOrigin(5, 5);    // its child
    canvas->FillRect({0, 0, 1, 1}, qRgb(255, 0, 0));
    canvas->MoveOrigin(-5, -5);
    canvas->MoveOrigin(-20, -10);  // a sibling drawing with a rounded rectangle (its own save and restore)
    canvas->DrawRoundRect({0, 0, 2, 2}, 0, clNone, qRgb(0, 255, 0));
    canvas->MoveOrigin(20, 10);
    canvas->FillRect({1, 1, 2, 2}, qRgb(0, 0, 255));  // back at the element
    canvas->MoveOrigin(-30, -20);
    canvas->FillRect({0, 0, 1, 1}, qRgb(255, 255, 0));  // at the sheet's origin
    canvas->EndPaint(&dc);
    EXPECT_TRUE(dc.worldTransform().isIdentity());
    dc.end();
    EXPECT_EQ(window.pixel(35, 25), qRgb(255, 0, 0));
    EXPECT_EQ(window.pixel(10, 10), qRgb(0, 255, 0));
    EXPECT_EQ(window.pixel(11, 11), qRgb(0, 255, 0));
    EXPECT_EQ(window.pixel(31, 21), qRgb(0, 0, 255));
    EXPECT_EQ(window.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(window.pixel(30, 20), qRgb(255, 255, 255));  // the window colour
}

TEST_F(Canvas, ElementWidthsAreCachedUntilReset) {
    const int w = canvas->TextWidthElement("Procedure");
    EXPECT_EQ(canvas->TextWidthElement("Procedure"), w);
    EXPECT_EQ(canvas->CachedWidthCount(), 1);
    EXPECT_EQ(canvas->TextWidthElementUncached("Procedure"), w);
    canvas->Reset();
    EXPECT_EQ(canvas->CachedWidthCount(), 0);
}

// A sheet of more distinct texts than the cache keeps starts the cache over:
// it never holds more than its limit, and a text measured before the start
// over, one measured after it and one new are each answered with its width.
TEST_F(Canvas, ElementWidthCacheStartsOverPastItsLimit) {
    const int limit = int(TCustomSheetCanvas::kMeasuredTextLimit);
    const QString wide = QStringLiteral("WWWWWW"), narrow = QStringLiteral("iii");
    canvas->TextWidthElement(wide);
    for (int i = 0; i < limit; ++i) canvas->TextWidthElement(QString::number(i));
    EXPECT_LE(canvas->CachedWidthCount(), limit);
    canvas->TextWidthElement(narrow);
    for (const QString& text : {wide, narrow, QString::number(limit - 1), QStringLiteral("new")})
        EXPECT_EQ(canvas->TextWidthElement(text), canvas->TextWidthElementUncached(text)) << text.toStdString();
    EXPECT_NE(canvas->TextWidthElement(wide), canvas->TextWidthElement(narrow));
}

// Image texts are measured with the theme's padding; an empty one draws the
// char image in the vertical middle.
TEST_F(Canvas, ImageTextIsMeasuredAndDrawn) {
    const TRect pad = canvas->GetThemePadding(tekField);
    const QSize empty = canvas->MeasureImageText(tekField, false, QString());
    EXPECT_EQ(empty.width(), empty.height());
    EXPECT_EQ(empty.height(), std::max(canvas->CodeLineHeight(), canvas->ElementLineHeight()) + pad.Top + pad.Bottom);
    const QSize text = canvas->MeasureImageText(tekField, false, "abc");
    EXPECT_EQ(text.width(), pad.Left + canvas->TextWidthCode("abc") + pad.Right);
    const QSize image = canvas->MeasureImageText(tekField, true, "abc");
    EXPECT_EQ(image.width(), text.width() + 12 + canvas->Theme().GetImageData(0).Size);

    const int height = 30;
    canvas->BeginPaint({0, 0, 100, height});
    canvas->DrawImageText(tekField, {0, 0, 100, height}, QString(), 0);
    const QImage out = canvas->PaintBitmap().copy();
    canvas->EndPaint(nullptr);
    QImage expected(100, height, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    QPainter p(&expected);
    p.drawImage(pad.Left, (height - 12) / 2, SchemeCharImages().Image(0));
    p.end();
    EXPECT_EQ(out, expected);
}

// A dotted caret at the left (its rings and edges: SheetPaint's caret test);
// a theme frame, greyed afterwards, at the right.
TEST_F(Canvas, CaretsThemeFramesAndDisabledBlend) {
    canvas->BeginPaint({0, 0, 80, 40});
    canvas->DrawCaret(2, {2, 2, 10, 10});
    canvas->DrawThemeFrame(tekElement, {30, 10, 70, 30});
    const QImage& out = canvas->PaintBitmap();
    EXPECT_EQ(out.pixel(2, 2), qRgb(0, 0, 0));         // inverted white
    EXPECT_EQ(out.pixel(3, 2), qRgb(255, 255, 255));   // dotted
    const TRect cut = canvas->Theme().GetElementData(tekElement).Cut;
    EXPECT_EQ(out.pixel(50, 20), QColor::fromRgba(canvas->Theme().Image().pixel(cut.Left + 8, cut.Top + 8)).rgb());
    const QRgb before = out.pixel(50, 20);
    canvas->DrawDisabled({30, 10, 70, 30});
    EXPECT_NE(canvas->PaintBitmap().pixel(50, 20), before);
    canvas->EndPaint(nullptr);
}

// A theme file in the program's theme folder whose element font is black,
// with a red shadow when `shadow` is set.
struct TScopedThemeFile {
    QString text, image;
    TScopedThemeFile(const QString& name, bool shadow) {
        QDir().mkpath(GetThemesFolder());
        text = GetThemesFolder() + name + ".txt";
        image = GetThemesFolder() + name + ".png";
        QImage picture(2, 1, QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(0, 0, 0, 255));
        picture.setPixel(1, 0, qRgba(255, 0, 0, 255));
        picture.save(image);
        WriteTestFile(text, QByteArray("<ThemeInfo><ElementFont Name=\"DejaVu Sans\" Size=14 Color=0,0") +
                                (shadow ? " SecondColor=1,0" : "") + "/></ThemeInfo>");
    }
    ~TScopedThemeFile() {
        QFile::remove(text);
        QFile::remove(image);
    }
};

int CountPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
}

// What a pass over rect of canvas's own bitmap holds after paint.
QImage PaintedPass(TSheetCanvas& canvas, const TRect& rect, const std::function<void()>& paint) {
    canvas.BeginPaint(rect);
    paint();
    QImage out = canvas.PaintBitmap().copy();
    canvas.EndPaint(nullptr);
    return out;
}

TEST_F(SheetSettings, ElementTextIsWrittenOnceWithoutShadowAndTwiceWithIt) {
    for (bool shadow : {false, true}) {
        TScopedThemeFile file(shadow ? "TestShadowOn" : "TestShadowOff", shadow);
        settings->ThemeProperty()->SetValue(shadow ? "TestShadowOn" : "TestShadowOff");
        TSheetCanvas canvas(settings.get());
        const QImage out = PaintedPass(canvas, {0, 0, 40, 30}, [&] { canvas.TextOutElement(5, 5, "H"); });
        EXPECT_GT(CountPixels(out, qRgb(0, 0, 0)), 5) << shadow;
        EXPECT_EQ(CountPixels(out, qRgb(255, 0, 0)) > 0, shadow) << shadow;
    }
}

// Texts of the element and code fonts are drawn from glyphs kept after the
// first paint: the first and the kept paint give the pixels QPainter::drawText
// gives in the font the canvas selected, for plain texts and for those drawn
// by drawText itself (read right to left, holding a control character).
TEST_F(SheetSettings, CanvasTextsPaintAsQtDrawsThemFirstAndFromKeptGlyphs) {
    const QString texts[] = {"Total5000", "x := y + 1;", "e\u0301n\u0303 ok", "\u05E9\u05DC\u05D5\u05DD a", "a\tb", ""};
    TSheetCanvas canvas(settings.get());
    auto painted = [&](const std::function<void()>& paint) { return PaintedPass(canvas, {0, 0, 120, 30}, paint); };
    const QRgb colour = qRgb(10, 20, 200);
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        for (int round = 0; round < 3; ++round) {  // the third from a picture
            const QImage code = painted([&] { canvas.TextOutCode(3, 4, colour, text); });
            const QImage byQt = painted([&] {
                canvas.TextOutCode(3, 1000, colour, QStringLiteral("x"));  // selects the font, out of sight
                QPainter& p = canvas.Painter();
                p.drawText(QPoint(3, 4 + p.fontMetrics().ascent()), text);
            });
            EXPECT_EQ(code, byQt) << "code font, round " << round;
            const QImage element = painted([&] { canvas.TextOutElement(3, 4, text); });
            const TSheetThemeFontData& data = canvas.Theme().GetFontData(tfkElement);
            const QImage elementByQt = painted([&] {
                canvas.TextOutElement(3, 1000, QStringLiteral("x"));
                QPainter& p = canvas.Painter();
                const int ascent = p.fontMetrics().ascent();
                if (data.SecondColor != clNone) {
                    p.setPen(QColor::fromRgba(data.SecondColor));
                    p.drawText(QPoint(4, 5 + ascent), text);
                }
                p.setPen(QColor::fromRgba(data.Color));
                p.drawText(QPoint(3, 4 + ascent), text);
            });
            EXPECT_EQ(element, elementByQt) << "element font, round " << round;
            if (!text.isEmpty()) {
                EXPECT_NE(element, painted([] {})) << "something drawn";
            }
        }
    }
}

// The ascent a canvas text stands on is measured once per font and kept
// across passes: after the font size changes and the canvas is reset, a text
// stands on the new font's ascent, where QPainter::drawText puts it.
TEST_F(SheetSettings, CanvasTextsStandOnTheAscentOfTheFontsOfTheLastReset) {
    TSheetCanvas canvas(settings.get());
    auto painted = [&](const std::function<void()>& paint) { return PaintedPass(canvas, {0, 0, 160, 60}, paint); };
    const QString text = QStringLiteral("Total5000");
    const QRgb colour = qRgb(10, 20, 200);
    std::vector<int> ascents;
    for (const int size : {fssNormal, fssGreat, fssNormal}) {
        SCOPED_TRACE(size);
        settings->FontSizeProperty()->SetIndex(size);
        canvas.Reset();
        for (int pass = 0; pass < 2; ++pass) {
            int ascent = 0;
            const QImage byQt = painted([&] {
                canvas.TextOutCode(3, 1000, colour, QStringLiteral("x"));  // selects the font, out of sight
                QPainter& p = canvas.Painter();
                ascent = p.fontMetrics().ascent();
                p.drawText(QPoint(3, 4 + ascent), text);
            });
            EXPECT_EQ(painted([&] { canvas.TextOutCode(3, 4, colour, text); }), byQt) << "pass " << pass;
            if (pass == 0) ascents.push_back(ascent);
        }
    }
    EXPECT_GT(ascents[1], ascents[0]) << "the greater size stands lower";
    EXPECT_EQ(ascents[2], ascents[0]);
}

// The theme's name read anew without an announcement: the same name in other
// characters keeps the loaded theme (and, shared again, the quick check); any
// other name is found on the next use.
TEST_F(SheetSettings, AThemeNameReadAgainKeepsTheThemeAndAnotherNameIsFoundOnTheNextUse) {
    const TSheetTheme* theme = &settings->GetTheme();
    // Read from a knot: characters of their own.
    auto readName = [&](const QString& name) {
        settings->ThemeProperty()->ReadValue(KnotFromText("<Theme Value=" + name + "/>").get(), "Value");
    };
    readName(settings->ThemeProperty()->Value());
    for (int use = 0; use < 2; ++use) EXPECT_EQ(&settings->GetTheme(), theme) << use;
    readName("NoSuchTheme43");
    EXPECT_EQ(RaisedId([&] { settings->GetTheme(); }), strFileNotFound);
}

// Regression: a font size read without an announcement re-scaled the theme on
// the next use but kept the text attributes made at the old size. The kept
// attributes of every slot follow the size and the theme however they change.
TEST_F(SheetSettings, AFontSizeReadWithoutAnnouncementRenewsTheTextAttributes) {
    using TGet = TRichTextAttributes* (TSheetSettings::*)();
    const std::pair<TGet, int> kinds[] = {{&TSheetSettings::GetCodeTextAttributes, tfkCode},
                                          {&TSheetSettings::GetFixedTextAttributes, tfkFixed},
                                          {&TSheetSettings::GetArtTextAttributes, tfkArt},
                                          {&TSheetSettings::GetCommentTextAttributes, tfkComment}};
    auto expectFollowed = [&](const char* step) {
        for (const auto& [get, kind] : kinds) {
            const TSheetThemeFontData& font = settings->GetTheme().GetFontData(kind);
            EXPECT_EQ(((*settings).*get)()->FontSize(), font.Size) << step << ", font " << kind;
            EXPECT_EQ(((*settings).*get)()->Color(), font.Color) << step << ", font " << kind;
        }
    };
    expectFollowed("made");
    const int base = settings->GetCodeTextAttributes()->FontSize();
    settings->FontSizeProperty()->ReadValue(KnotFromText("<FontSize Value=Great/>").get(), "Value");
    expectFollowed("size read");
    EXPECT_EQ(settings->GetCodeTextAttributes()->FontSize(), base + 4);
    // Another theme read without an announcement: its code font is found.
    TScopedThemeFile file("TestCodeFont", false);
    WriteTestFile(file.text, "<ThemeInfo><CodeFont Name=\"DejaVu Sans\" Size=21 Color=0,0/></ThemeInfo>");
    settings->ThemeProperty()->ReadValue(KnotFromText("<Theme Value=TestCodeFont/>").get(), "Value");
    expectFollowed("theme read");
    EXPECT_EQ(settings->GetCodeTextAttributes()->FontSize(), 21 + 4) << "the great size adds four points";
}

// A missing theme raises the file error, as does one outside the themes folder.
TEST_F(SheetSettings, ThemeNameCannotLeadOutOfTheThemesFolder) {
    settings->GetTheme();
    settings->ThemeProperty()->SetValue("No Such Theme 42");
    EXPECT_EQ(RaisedId([&] { settings->GetTheme(); }), strFileNotFound);
    EXPECT_THROW(settings->GetCodeTextAttributes(), Exception);
    // A theme file beside the themes folder, reachable only through "..".
    TScopedThemeFile inside("Escaped", false);
    const QString outside = GetThemesFolder() + "../Escaped";
    ASSERT_TRUE(QFile::copy(inside.text, outside + ".txt"));
    ASSERT_TRUE(QFile::copy(inside.image, outside + ".png"));
    settings->ThemeProperty()->SetValue("../Escaped");
    EXPECT_EQ(RaisedId([&] { settings->GetTheme(); }), strFileNotFound) << "a theme outside the themes folder";
    QFile::remove(outside + ".txt");
    QFile::remove(outside + ".png");
    settings->ThemeProperty()->SetValue("Escaped");
    EXPECT_FALSE(settings->GetTheme().Image().isNull());
}

TEST_F(Canvas, RoundRectanglesWithAndWithoutFrameOrFill) {
    canvas->BeginPaint({0, 0, 40, 20});
    canvas->DrawRoundRect({2, 2, 12, 12}, 0, qRgb(255, 0, 0), qRgb(0, 0, 255));
    canvas->DrawRoundRect({20, 2, 30, 12}, 0, clNone, qRgb(0, 255, 0));
    canvas->DrawRoundRect({30, 2, 40, 12}, 3, clNone, clNone);  // a dotted outline
    const QImage& out = canvas->PaintBitmap();
    EXPECT_EQ(out.pixel(11, 11), qRgb(255, 0, 0));  // the last pixel inside the right and bottom edges
    EXPECT_EQ(out.pixel(12, 12), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(6, 6), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(20, 2), qRgb(0, 255, 0));  // no frame: the fill reaches the edge
    EXPECT_EQ(out.pixel(35, 7), qRgb(255, 255, 255));  // no fill
    bool outlined = false;
    for (int y = 2; y < 12; ++y) outlined |= out.pixel(30, y) != qRgb(255, 255, 255);
    EXPECT_TRUE(outlined);
    canvas->EndPaint(nullptr);
}

// Pictures of image lists and of the theme drawn into a pass's pixels give
// what QPainter::drawImage gives, clipped to the pass; a list's picture
// replaced is drawn with its new pixels.
TEST_F(Canvas, PicturesDrawnIntoThePassGiveThePixelsOfDrawImage) {
    auto picture = [](int blue) {
        QImage image(12, 10, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) image.setPixel(x, y, qPremultiply(qRgba(x * 20, y * 25, blue, (x * 40 + y) % 256)));
        return image;
    };
    TImageList list(12, 10);
    list.Add(picture(90));
    const TSheetTheme& theme = settings->GetTheme();
    const TRect pass{4, 3, 40, 30};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        canvas->BeginPaint(pass);
        canvas->MoveOrigin(5, 2);
        canvas->DrawListImage({-6, -4}, 0, list);
        canvas->DrawListImage({20, 18}, 0, list);
        canvas->DrawThemeImage(tekError, {2, 12});
        canvas->MoveOrigin(-5, -2);
        const QImage drawn = canvas->PaintBitmap().copy();
        canvas->EndPaint(nullptr);
        QImage expected(pass.Width(), pass.Height(), QImage::Format_ARGB32_Premultiplied);
        expected.fill(QColor::fromRgba(GetSystemColor(TSystemColor::Window)));
        QPainter p(&expected);
        p.translate(-pass.Left + 5, -pass.Top + 2);
        p.drawImage(QPoint(-6, -4), list.Image(0));
        p.drawImage(QPoint(20, 18), list.Image(0));
        p.drawImage(QPoint(2, 12), theme.Picture(tekError));
        p.end();
        EXPECT_EQ(drawn, expected);
        list.Clear();
        list.Add(picture(250));
    }
}

// A pass that paints straight on a window image leaves there what painting
// the whole sheet leaves, inside the pass only, and gives the window's
// painter its state back. (The copy of a bitmap of the pass's size differs at
// the pass's edges where a smoothed shape crosses them.) A painter that
// scales, clips into the pass or blends gets the copy.
class CanvasTarget : public Canvas {
protected:
    static constexpr TRect Pass{30, 20, 150, 90};
    static constexpr TRect WholeSheet{-5, -3, 195, 117};
    static constexpr QPoint SheetInWindow{5, 3};
    // What a pass over `pass` leaves on a grey 200 x 120 window whose painter
    // shows the sheet at SheetInWindow, prepared by `prepare`.
    QImage Painted(const TRect& pass, const std::function<void(QPainter&)>& prepare, bool onTarget,
                   bool* painted = nullptr) {
        QImage window(200, 120, QImage::Format_ARGB32_Premultiplied);
        window.fill(Qt::gray);
        QPainter dc(&window);
        dc.translate(SheetInWindow);
        prepare(dc);
        const QTransform transform = dc.worldTransform();
        const QPen pen = dc.pen();
        const bool clipped = dc.hasClipping();
        canvas->BeginPaint(pass, onTarget ? &dc : nullptr);
        if (painted) *painted = canvas->PaintsOnTarget();
        canvas->MoveOrigin(40, 30);
        canvas->Painter().drawRect(60, 5, 20, 10);  // with the pen and brush the pass starts with
        canvas->DrawRoundRect({-20, -15, 30, 25}, 6, qRgb(200, 0, 0), qRgb(0, 0, 200));  // across the pass's corner
        canvas->FillRect({10, 10, 200, 14}, qRgba(0, 128, 0, 128));
        canvas->DrawThemeFrame(tekElement, {40, 20, 100, 50});
        canvas->TextOutCode(2, 30, qRgb(0, 0, 0), QStringLiteral("begin x := 1 end"));
        canvas->DrawCaret(2, {-12, 26, 120, 40});
        canvas->MoveOrigin(-40, -30);
        canvas->EndPaint(&dc);
        EXPECT_EQ(dc.worldTransform(), transform);
        EXPECT_EQ(dc.pen(), pen);
        EXPECT_EQ(dc.hasClipping(), clipped);
        return window;
    }
};

TEST_F(CanvasTarget, APassOnTheWindowImageLeavesWhatPaintingTheWholeSheetLeaves) {
    const auto plain = [](QPainter&) {};
    QImage expected = Painted(WholeSheet, plain, false);
    const QRect inside = Pass.ToQRect().translated(SheetInWindow);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (!inside.contains(x, y)) expected.setPixel(x, y, QColor(Qt::gray).rgba());
    bool onTarget = false;
    EXPECT_EQ(Painted(Pass, plain, true, &onTarget), expected);
    EXPECT_TRUE(onTarget);
    // A painter with another pen, brush and font still paints as a fresh one.
    const auto used = [](QPainter& dc) {
        dc.setPen(QPen(Qt::red, 3));
        dc.setBrush(Qt::yellow);
        dc.setFont(QFont(QStringLiteral("DejaVu Serif"), 30));
    };
    EXPECT_EQ(Painted(Pass, used, true, &onTarget), expected);
    EXPECT_TRUE(onTarget);
    // Clips that leave all of the pass (a widget's repaint clips to what it
    // repaints) let it paint straight too.
    const auto clippedAround = [](QPainter& dc) {
        dc.setClipRect(Pass.ToQRect().adjusted(-1, -1, 1, 1));
        dc.paintEngine()->setSystemClip(QRegion(Pass.ToQRect().translated(SheetInWindow)) + QRegion(0, 0, 4, 4));
    };
    EXPECT_EQ(Painted(Pass, clippedAround, true, &onTarget), expected);
    EXPECT_TRUE(onTarget);
}

// On the window image the fill of a pass waits for its first drawing, and a
// frame whose opaque middle covers the pass before then only changes its
// colour: whatever comes first (nothing, a frame, a focus rectangle's
// inverted pixels, text), the pixels are those of the copy.
TEST_F(CanvasTarget, FramesCoveringThePassBeforeAnyDrawingLeaveWhatTheCopyLeaves) {
    const TSheetTheme& theme = settings->GetTheme();
    constexpr TRect Frame{-40, -30, 240, 160};
    int covering = -1;
    for (int kind = 0; kind < tekCount && covering < 0; ++kind)
        if (theme.GetMinWidth(kind) > 0 && theme.FrameFillsAll(kind, Frame, clNone, Pass)) covering = kind;
    ASSERT_GE(covering, 0) << "the theme has no bordered frame with an opaque middle";
    EXPECT_EQ(theme.FrameFillsAll(covering, Frame, clNone, TRect{Frame.Left, 20, 150, 90}), 0u);  // at its border
    const std::function<void()> passes[] = {
        [] {},
        [&] { canvas->DrawThemeFrame(covering, Frame); },
        [&] {
            canvas->DrawThemeFrame(covering, Frame);
            canvas->DrawThemeFrame(tekSheet, Frame);
            canvas->DrawCaret(1, {35, 25, 60, 40});
        },
        [&] {
            canvas->MoveOrigin(40, 30);
            canvas->DrawThemeFrame(covering, {Frame.Left - 40, Frame.Top - 30, Frame.Right - 40, Frame.Bottom - 30});
            canvas->TextOutCode(2, 10, qRgb(0, 0, 0), QStringLiteral("x := 1"));
            canvas->MoveOrigin(-40, -30);
            canvas->DrawThemeFrame(covering, {60, 40, 120, 80});  // over drawing: not a fill any more
        },
    };
    for (const auto& pass : passes) {
        QImage images[2];
        for (const bool onTarget : {false, true}) {
            QImage& window = images[onTarget];
            window = QImage(200, 120, QImage::Format_ARGB32_Premultiplied);
            window.fill(Qt::gray);
            QPainter dc(&window);
            canvas->BeginPaint(Pass, onTarget ? &dc : nullptr);
            EXPECT_EQ(canvas->PaintsOnTarget(), onTarget);
            pass();
            canvas->EndPaint(&dc);
        }
        EXPECT_EQ(images[true], images[false]);
    }
}

TEST_F(CanvasTarget, APainterThatScalesClipsOrBlendsGetsTheCopy) {
    const std::function<void(QPainter&)> painters[] = {
        [](QPainter& dc) { dc.scale(2, 2); },
        [](QPainter& dc) { dc.translate(0.5, 0); },
        [](QPainter& dc) { dc.setClipRect(0, 0, 100, 100); },
        // A system clip that cuts the pass: the focus rectangle's pixels
        // would land where the repaint does not reach.
        [](QPainter& dc) { dc.paintEngine()->setSystemClip(QRegion(0, 0, 100, 100)); },
        [](QPainter& dc) { dc.setOpacity(0.5); },
        [](QPainter& dc) { dc.setRenderHint(QPainter::Antialiasing); },
    };
    for (const auto& prepare : painters) {
        bool onTarget = true;
        EXPECT_EQ(Painted(Pass, prepare, true, &onTarget), Painted(Pass, prepare, false));
        EXPECT_FALSE(onTarget);
    }
}

}  // namespace

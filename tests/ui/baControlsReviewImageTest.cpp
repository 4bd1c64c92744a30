// "controls-review.png": palette-style and dialog-style buttons in every state
// (normal, hot, pressed, checked, disabled, focused, default), dialog buttons
// in the platform style, panels with a bitmap and a hatched background, and a
// focused range box with content, scroll bars and its caret, for a person to
// look at; written beside the test program.

#include "platform/plSystemColors.h"
#include "platform/plTimer.h"
#include "ui/baSaper.h"
#include "ui/baStyledPainter.h"
#include "ui/baUserButtons.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace controls_review_test {

enum TShownState { ssNormal, ssHot, ssPressed, ssChecked, ssDisabled, ssFocused, ssDefault, ssCount };

constexpr int Margin = 8;
constexpr int RowHeight = 40;
constexpr int ColumnWidth = 104;
// Where the range box of the gallery goes: the right of the picture.
constexpr QRect RangeBoxPlace(Margin + ssCount * ColumnWidth + Margin, Margin, 220, 3 * RowHeight + 110);
constexpr QSize RangeBoxContent(600, 480);
constexpr int GridStep = 40;

// A page with a grid and a line of text, grey around it.
void PaintRangeBoxContent(QPainter& canvas, const TRect& rect) {
    const QRect page(QPoint(), RangeBoxContent);
    canvas.fillRect(rect.ToQRect(), QColor(190, 196, 208));
    canvas.fillRect(rect.ToQRect() & page, QColor(250, 250, 245));
    canvas.setPen(QColor(200, 210, 230));
    for (int x = 0; x < page.width(); x += GridStep) canvas.drawLine(x, 0, x, page.height());
    for (int y = 0; y < page.height(); y += GridStep) canvas.drawLine(0, y, page.width(), y);
    canvas.setPen(Qt::black);
    canvas.drawText(QPoint(20, 70), QStringLiteral("begin x := 1; end"));
}

QImage Picture(QRgb color) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromRgba(color));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return image;
}

// A dark frame around a light centre, for the nine zones.
QImage PanelBitmap() {
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 70, 140));
    QPainter(&image).fillRect(QRect(6, 6, 12, 12), QColor(235, 240, 250));
    return image;
}

template <class Button>
void ShowState(Button& button, TShownState state) {
    TButtonPainterClient& client = button.Client();
    if (state == ssHot || state == ssPressed) client.SetHot(true);
    if (state == ssPressed) client.Press();
    if (state == ssChecked) button.SetGroupIndex(1), button.SetChecked(true);
    if (state == ssDisabled) button.setEnabled(false);
    if (state == ssFocused) client.SetFocused(true);
    if (state == ssFocused || state == ssDefault) client.SetDefault(true);
}

class ControlsReviewImage : public ::testing::Test {
protected:
    void SetUp() override {
        gallery.resize(RangeBoxPlace.right() + 1 + Margin, RangeBoxPlace.bottom() + 1 + Margin);
        gallery.setAutoFillBackground(true);
        QPalette palette = gallery.palette();
        palette.setColor(QPalette::Window, QColor::fromRgba(GetSystemColor(TSystemColor::BtnFace)));
        gallery.setPalette(palette);
        for (QRgb color : {0xFFE04040u, 0xFF40A040u, 0xFF4060E0u}) images.Add(Picture(color));
        SetUpPaletteStyle();
        SetUpDialogStyle();
        themedStyler.SetMode(smThemeStdBtn);
        themedStyler.SetOptions(soAllowFrameDefault);
        themedPainter.SetStyler(&themedStyler);
    }

    // Flat until the mouse comes: raised when hot, sunk when pressed or checked.
    void SetUpPaletteStyle() {
        TPainterStyles& styles = paletteStyler.Styles();
        styles.Hot().SetEdgeOuter(ekRaised);
        styles.Hot().SetFillKind(fkSolid);
        styles.Hot().SetFillColor(0xFFF8F8F8);
        styles.Pressed().SetEdgeOuter(ekLowered);
        styles.Pressed().SetContentOffset(okYes);
        styles.Checked().SetEdgeOuter(ekLowered);
        styles.Checked().SetFillKind(fkDither);
        styles.Disabled().SetImageEffects(pieGray | pieLight);
        styles.Disabled().SetFontColor(GetSystemColor(TSystemColor::GrayText));
        styles.Focused().SetOptions(psoFocusRect);
        styles.Focused().SetEdgeOuter(ekDot);
        paletteStyler.SetOptionsEx(psoCheckedFillOverHot);
        palettePainter.SetStyler(&paletteStyler);
        palettePainter.SetImages(&images);
        palettePainter.SetAlignKind(akBegin);
    }

    // Push-button frames: raised, sunk when pressed, a default frame and a focus rectangle.
    void SetUpDialogStyle() {
        TPainterStyles& styles = dialogStyler.Styles();
        styles.Adapt().SetEdgeOuter(ekRaised);
        styles.Adapt().SetEdgeInner(ekRaised);
        styles.Adapt().SetFillKind(fkSolid);
        styles.Pressed().SetEdgeOuter(ekLowered);
        styles.Pressed().SetEdgeInner(ekLowered);
        styles.Pressed().SetContentOffset(okYes);
        styles.Checked().SetEdgeOuter(ekLowered);
        styles.Checked().SetEdgeInner(ekLowered);
        styles.Disabled().SetFontColor(GetSystemColor(TSystemColor::GrayText));
        styles.Focused().SetOptions(psoFocusRect);
        dialogStyler.SetOptions(soAllowFrameDefault);
        dialogPainter.SetStyler(&dialogStyler);
        dialogPainter.SetImages(&images);
    }

    QRect Cell(int row, int state) const {
        return QRect(Margin + state * ColumnWidth, Margin + row * RowHeight, ColumnWidth - 8, RowHeight - 10);
    }

    // The range box's caret blinks on a timer of this service: it stays drawn.
    TManualTimerService manualTimers;
    TTimerServiceInstaller timers{&manualTimers};
    QWidget gallery;
    TImageList images{16, 16};
    TPushStyler paletteStyler, dialogStyler, themedStyler;
    TStyledPainter palettePainter, dialogPainter, themedPainter;
};

TEST_F(ControlsReviewImage, ButtonsInEveryStateAndPanelsWithBackgrounds) {
    const char* const captions[ssCount] = {"Normal", "Hot", "Pressed", "Checked", "Disabled", "&Focused", "Default"};
    for (int state = 0; state < ssCount; ++state) {
        auto* plain = new TUserButton(&gallery);
        plain->SetPainter(&palettePainter);
        plain->SetCaption(QString::fromLatin1(captions[state]));
        plain->SetImageIndex(state % images.Count());
        if (state == ssNormal) plain->SetSignAt(spRight, saArrowDown);
        if (state == ssChecked) plain->SetSignAt(spLeft, saCheck);
        plain->setGeometry(Cell(0, state));
        ShowState(*plain, TShownState(state));
        for (int row : {1, 2}) {
            auto* win = new TUserWinButton(&gallery);
            win->SetPainter(row == 1 ? &dialogPainter : &themedPainter);
            win->SetCaption(QString::fromLatin1(captions[state]));
            if (row == 1 && state == ssNormal) win->SetImageIndex(1);
            win->setGeometry(Cell(row, state));
            ShowState(*win, TShownState(state));
        }
    }
    auto* bitmapPanel = new TPanelEx(&gallery);
    bitmapPanel->Background().SetFillKind(fkBitmap);
    bitmapPanel->Background().SetBitmap(PanelBitmap());
    bitmapPanel->Background().SetBitmapZones({6, 6, 6, 6});
    bitmapPanel->setGeometry(Margin, Margin + 3 * RowHeight, 3 * ColumnWidth, 100);
    auto* hatchPanel = new TPanelEx(&gallery);
    hatchPanel->Background().SetFillKind(fkFDiagonal);
    hatchPanel->Background().SetFillColor(0xFF9090C0);
    hatchPanel->Background().SetEdgeOuter(ekDot);
    hatchPanel->Background().SetEdgeInner(ekLowered);
    hatchPanel->setGeometry(Margin + 3 * ColumnWidth + Margin, Margin + 3 * RowHeight, 2 * ColumnWidth, 100);
    EXPECT_TRUE(hatchPanel->Transparent()) << "a dotted edge outside the fill lets the parent show";
    EXPECT_FALSE(bitmapPanel->Transparent());

    auto* rangeBox = new TRangeBox(&gallery);
    rangeBox->setGeometry(RangeBoxPlace);
    rangeBox->SetRange(RangeBoxContent);
    rangeBox->SetOptions(rboShowPageRect);
    rangeBox->SetSpacing(8);
    rangeBox->OnPaint = [](TPlaceBox&, QPainter& canvas, const TRect& rect) { PaintRangeBoxContent(canvas, rect); };
    const TRect caret{170, 54, 172, 74};
    rangeBox->SetCaretRect(caret);
    gallery.show();
    gallery.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gallery));
    rangeBox->setFocus();
    ASSERT_TRUE(rangeBox->hasFocus());
    rangeBox->SetScrollPosition(QPoint(-8, 30));
    EXPECT_TRUE(rangeBox->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(rangeBox->verticalScrollBar()->isVisible());
    EXPECT_EQ(rangeBox->ShownCaret(), rangeBox->ContentToClient(caret));

    const QImage image = gallery.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    auto colorsIn = [&](const QRect& r) {
        std::set<QRgb> colors;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) colors.insert(image.pixel(x, y));
        return colors;
    };
    for (int row = 0; row < 3; ++row)
        for (int state = 0; state < ssCount; ++state) {
            EXPECT_GT(colorsIn(Cell(row, state)).size(), 2u) << row << " " << state;
            if (state != ssNormal) {
                EXPECT_NE(image.copy(Cell(row, state)), image.copy(Cell(row, ssNormal))) << row << " " << state;
            }
        }
    EXPECT_TRUE(colorsIn(bitmapPanel->geometry()).count(QColor(235, 240, 250).rgb())) << "the bitmap's centre";
    const QPoint inCaret =
        rangeBox->viewport()->mapTo(&gallery, rangeBox->ContentToClient(QPoint(caret.Left, caret.Top + 3)));
    EXPECT_EQ(image.pixel(inCaret) & 0xFFFFFF, ~QColor(250, 250, 245).rgb() & 0xFFFFFF) << "the caret inverts the page";

    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("controls-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace controls_review_test

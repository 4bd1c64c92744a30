// The place box and the range box: scroll limits of the four clipping modes,
// bringing a rectangle into view, and a shown box that hands mouse events over
// in content coordinates, scrolls by wheel, keys and bar, repaints only the
// uncovered strip (and only the page rectangle's strips for a new range),
// repaints only the bar whose range changed (none within the range's slack),
// shows its caret only while focused, pans in pan mode, and a picture for
// review ("rangebox-review.png" in the build folder).

#include "platform/plTimer.h"
#include "support/imageCompare.h"
#include "support/testCases.h"
#include "support/testScreen.h"
#include "ui/baSaper.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <limits>

namespace {

TRangeBoxClipping ClippingByName(const QString& name) {
    if (name == QLatin1String("rbcCenter")) return rbcCenter;
    if (name == QLatin1String("rbcClip")) return rbcClip;
    if (name == QLatin1String("rbcFree")) return rbcFree;
    EXPECT_EQ(name, QLatin1String("rbcTopLeft"));
    return rbcTopLeft;
}

TEST(RangeBoxLimits, FourClippingModesWithContentSmallerAndLargerThanTheView) {
    for (const CaseRow& c : LoadCases("ui/saper.txt", "Limits")) {
        const TScrollLimits limits =
            RangeBoxScrollLimits(ClippingByName(c.kind), c.Int("Range"), c.Int("Visible"), c.Int("Spacing"));
        EXPECT_EQ(limits, (TScrollLimits{c.Int("Min"), c.Int("Max")})) << c.Text();
    }
}

TEST(RangeBoxLimits, ScrollIntoViewBringsTheFarEdgeThenTheNearEdgeIn) {
    for (const CaseRow& c : LoadCases("ui/saper.txt", "IntoView"))
        EXPECT_EQ(ScrollIntoView(c.Int("Position"), c.Int("Visible"), c.Int("Near"), c.Int("Far")), c.Int("Expected"))
            << c.Text();
}

TEST(RangeBoxLimits, TheExtentKeepsItsSlackAndNeverLeavesContentOutOfReach) {
    for (const CaseRow& c : LoadCases("ui/saper.txt", "Extent")) {
        const int extent = RangeBoxExtent(c.Int("Kept"), c.Int("Content"), c.Int("Visible"), c.Int("Slack"));
        EXPECT_EQ(extent, c.Int("Expected")) << c.Text();
        EXPECT_GE(extent, c.Int("Content")) << c.Text();
    }
}

// Counts the paint events a widget gets.
struct TPaintCounter : QObject {
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
    int Paints = 0;
};

// A shown range box over 1000 x 800 of content, its caret timer by hand.
class RangeBox : public ::testing::Test {
protected:
    RangeBox() : timers(&manualTimers) {
        box = std::make_unique<TRangeBox>();
        box->resize(220, 160);
        box->SetRange(QSize(1000, 800));
        box->OnMouseDown = [this](TRangeBox&, QMouseEvent& e, QPoint p) { Note("down", e, p); };
        box->OnMouseMove = [this](TRangeBox&, QMouseEvent& e, QPoint p) { Note("move", e, p); };
        box->OnMouseUp = [this](TRangeBox&, QMouseEvent& e, QPoint p) { Note("up", e, p); };
        box->OnPaint = [this](TPlaceBox&, QPainter& canvas, const TRect& rect) {
            Painted << rect;
            canvas.fillRect(rect.ToQRect(), Qt::white);
        };
        box->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    }
    void Note(const char* what, QMouseEvent& event, QPoint content) {
        Mouse << QStringLiteral("%1 %2,%3").arg(QLatin1String(what)).arg(content.x()).arg(content.y());
    }
    QWidget* View() const { return box->viewport(); }
    void Focus() {
        box->activateWindow();
        box->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
        QApplication::processEvents();
        ASSERT_TRUE(box->hasFocus());
    }

    TManualTimerService manualTimers;
    TTimerServiceInstaller timers;
    std::unique_ptr<TRangeBox> box;
    QStringList Mouse;
    QList<TRect> Painted;
};

TEST_F(RangeBox, HandsMouseEventsOverInContentCoordinatesAfterScrolling) {
    box->SetScrollPosition(QPoint(30, 40));
    ASSERT_EQ(box->ScrollPosition(), QPoint(30, 40));
    QTest::mousePress(View(), Qt::LeftButton, {}, QPoint(5, 6));
    QTest::mouseMove(View(), QPoint(15, 16));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(15, 16));
    EXPECT_EQ(Mouse, (QStringList{"down 35,46", "move 45,56", "up 45,56"}));
    EXPECT_EQ(box->ClientToContent(TRect{1, 2, 3, 4}), (TRect{31, 42, 33, 44}));
}

TEST_F(RangeBox, ScrollsByWheelKeysAndBarWithinItsLimits) {
    QWheelEvent wheel(QPointF(20, 20), QPointF(View()->mapToGlobal(QPoint(20, 20))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &wheel);
    EXPECT_EQ(box->ScrollPosition(), QPoint(0, TRangeBox::kWheelStep));
    EXPECT_EQ(box->verticalScrollBar()->value(), TRangeBox::kWheelStep) << "the bar follows";

    box->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(box->ScrollPosition().y(), TRangeBox::kWheelStep + TRangeBox::kLineStep);

    QStringList keys;
    box->OnKeyDown = [&keys](TRangeBox&, QKeyEvent& e) {
        if (e.key() == Qt::Key_Left || e.key() == Qt::Key_Right) keys << QKeySequence(e.key()).toString();
    };
    QTest::keyClick(box.get(), Qt::Key_Right);
    EXPECT_EQ(box->ScrollPosition().x(), 0) << "arrows scroll only when asked";
    box->SetOptions(rboCtrlKeysMove);
    QTest::keyClick(box.get(), Qt::Key_Right);
    EXPECT_EQ(box->ScrollPosition().x(), 0) << "without Ctrl";
    QTest::keyClick(box.get(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(box->ScrollPosition().x(), TRangeBox::kKeyStep);
    box->SetOptions(rboKeysMove);
    QTest::keyClick(box.get(), Qt::Key_Left);
    QTest::keyClick(box.get(), Qt::Key_Left);
    EXPECT_EQ(box->ScrollPosition().x(), 0) << "clamped at the minimum";
    EXPECT_EQ(keys.size(), 5) << "the handler saw every key first";

    box->SetScrollPosition(QPoint(5000, -5000));
    const QSize visible = box->GetVisibleSize();
    EXPECT_EQ(box->ScrollPosition(), QPoint(1000 - visible.width(), 0));
    box->SetRange(QSize(-5, 20));
    EXPECT_EQ(box->Range(), QSize(0, 20)) << "a negative range stores 0";
    EXPECT_EQ(box->ScrollPosition(), QPoint(0, 0)) << "clamped to the new limits";
}

TEST_F(RangeBox, HugeContentAndScrollsStayWithinTheIntegers) {
    constexpr int huge = std::numeric_limits<int>::max();
    box->SetRange(QSize(huge, huge));
    box->SetSpacing(huge);
    box->ScrollBy(huge, huge);
    box->ScrollBy(huge, huge);
    const TScrollLimits h = box->HorizontalLimits();
    EXPECT_EQ(box->ScrollPosition().x(), h.Max);
    EXPECT_EQ(box->horizontalScrollBar()->maximum(), h.Max);
    box->ScrollBy(std::numeric_limits<int>::min(), 0);
    box->ScrollBy(std::numeric_limits<int>::min(), 0);
    EXPECT_EQ(box->ScrollPosition().x(), h.Min);
    box->ScrollRectIntoView(TRect{huge - 1, huge - 1, huge, huge});
    EXPECT_EQ(box->ScrollPosition(), QPoint(h.Max, box->VerticalLimits().Max));
    constexpr int lowest = std::numeric_limits<int>::min();
    EXPECT_EQ(box->ContentToClient(QPoint(-huge, -huge)), QPoint(lowest, lowest));
    Focus();
    box->SetCaretRect(TRect{-huge, 0, huge, huge});
    EXPECT_EQ(box->ShownCaret(), (TRect{-kMaxScrollPosition, -kMaxScrollPosition, kMaxScrollPosition, kMaxScrollPosition}))
        << "cut to what an int holds";
}

TEST_F(RangeBox, HintPositionsReachTheHandlerInContentCoordinatesAndNoneWhilePanning) {
    box->SetScrollPosition(QPoint(30, 40));
    QList<QPoint> asked;
    box->OnShowHint = [&asked](QWidget&, bool& canShow, QHelpEvent& hint) {
        asked << hint.pos();
        canShow = false;
    };
    auto hint = [this](QPoint client) {
        QHelpEvent help(QEvent::ToolTip, client, View()->mapToGlobal(client));
        QApplication::sendEvent(View(), &help);
    };
    hint(QPoint(5, 6));
    EXPECT_EQ(asked, QList<QPoint>{QPoint(35, 46)});
    box->SetOptions(rboLeftBtnMove);
    const QSize visible = box->GetVisibleSize();
    const QPoint centre(visible.width() / 2, visible.height() / 2);
    QTest::mousePress(View(), Qt::LeftButton, {}, centre);
    QTest::mouseMove(View(), centre + QPoint(5, 0));
    ASSERT_TRUE(box->IsPanning());
    hint(QPoint(5, 6));
    EXPECT_EQ(asked.size(), 1) << "no hint while panning";
    QTest::mouseRelease(View(), Qt::LeftButton, {}, centre);
}

TEST_F(RangeBox, TabReachesTheHandlersOnlyWhenWanted) {
    QWidget window;
    box->setParent(&window);
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    int tabs = 0;
    box->OnKeyDown = [&tabs](TRangeBox&, QKeyEvent& e) { tabs += e.key() == Qt::Key_Tab; };
    box->SetOptions(rboWantTab);
    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    QTest::keyClick(box.get(), Qt::Key_Tab);
    EXPECT_EQ(tabs, 1);
    EXPECT_TRUE(box->hasFocus());
    box->SetOptions(0);
    QTest::keyClick(box.get(), Qt::Key_Tab);
    EXPECT_FALSE(box->hasFocus()) << "Tab moved the focus on";
    box->setParent(nullptr);
}

// A parent that counts the keys the box passed on.
class TKeyCountingParent : public QWidget {
public:
    int Keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

TEST_F(RangeBox, ArrowsStopAtTheBoxOnlyWhenWanted) {
    TKeyCountingParent parent;
    box->setParent(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
    box->setFocus();
    int seen = 0;
    box->OnKeyDown = [&seen](TRangeBox&, QKeyEvent&) { ++seen; };
    QTest::keyClick(box.get(), Qt::Key_Down);
    EXPECT_EQ(parent.Keys, 1) << "passed on";
    box->SetOptions(rboWantArrows);
    QTest::keyClick(box.get(), Qt::Key_Down);
    EXPECT_EQ(parent.Keys, 1) << "kept by the box";
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(box->ScrollPosition(), QPoint()) << "wanting the arrows does not scroll";
    box->setParent(nullptr);
}

// The options the sheet does not use, thinly: bars disabled rather than
// hidden, no bars, a full repaint per scroll, the centre kept on resizing,
// unbuffered painting, and the scroll notifications.
TEST_F(RangeBox, OtherOptionsBarsRepaintsResizingAndNotifications) {
    box->SetRange(QSize(50, 50));
    QApplication::processEvents();
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
    box->SetOptions(rboDisableNoScrollHorz);
    QApplication::processEvents();
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(box->horizontalScrollBar()->isEnabled());
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());

    box->SetOptions(rboScrollFullRepaint);
    box->SetRange(QSize(1000, 800));
    box->SetScrollBars(rbsNone);
    QApplication::processEvents();
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible() || box->verticalScrollBar()->isVisible());
    QStringList notes;
    box->OnScrolling = [&notes](TRangeBox& sender) { notes << QStringLiteral("scrolling %1").arg(sender.ScrollPosition().y()); };
    box->OnScrolled = [&notes](TRangeBox& sender) { notes << QStringLiteral("scrolled %1").arg(sender.ScrollPosition().y()); };
    Painted.clear();
    box->ScrollBy(0, 10);
    box->ScrollBy(0, 0);
    QApplication::processEvents();
    EXPECT_EQ(notes, (QStringList{"scrolling 0", "scrolled 10"}));
    const QSize visible = box->GetVisibleSize();
    ASSERT_FALSE(Painted.isEmpty());
    EXPECT_EQ(Painted.back(), (TRect{0, 10, visible.width(), visible.height() + 10})) << "everything";

    box->SetOptions(rboResizeCenter);
    box->SetScrollPosition(QPoint(100, 100));
    box->resize(box->width() + 20, box->height() - 10);
    QApplication::processEvents();
    EXPECT_EQ(box->ScrollPosition(), QPoint(90, 105)) << "the centre stays";

    box->SetOptions(rboNotBuffered);
    const QPaintDevice* device = nullptr;
    box->OnPaintDC = [&device](TPlaceBox&, QPainter& dc, const TRect&) { device = dc.device(); };
    box->viewport()->repaint();
    EXPECT_EQ(device, View()) << "straight onto the view";
    box->SetOptions(0);
    box->viewport()->repaint();
    EXPECT_NE(device, View()) << "through the buffer";
}

TEST_F(RangeBox, AScrollRepaintsOnlyTheUncoveredStripInContentCoordinates) {
    QApplication::processEvents();
    Painted.clear();
    box->ScrollBy(0, 10);
    QApplication::processEvents();
    ASSERT_FALSE(Painted.isEmpty());
    const QSize visible = box->GetVisibleSize();
    EXPECT_EQ(Painted.back(), (TRect{0, visible.height(), visible.width(), visible.height() + 10}));
}

// A new range repaints no content (its owner knows what changed), only the
// strips of the page rectangle around it; the screen then shows what a full
// repaint shows.
TEST_F(RangeBox, ARangeChangeRepaintsOnlyThePageRectStripsAndMatchesAFullRepaint) {
    box->SetOptions(rboShowPageRect);
    QApplication::processEvents();
    box->SetRange(QSize(100, 60));  // the bars go: the view grows and is repainted
    QApplication::processEvents();
    const TRect view = box->ClientToContent(TRect{0, 0, box->GetVisibleSize().width(), box->GetVisibleSize().height()});
    for (QSize range : {QSize(150, 60), QSize(150, 90), QSize(120, 40)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(range.width()).arg(range.height()).toStdString());
        Painted.clear();
        box->SetRange(range);
        QApplication::processEvents();
        ASSERT_EQ(box->ClientToContent(TRect{0, 0, box->GetVisibleSize().width(), box->GetVisibleSize().height()}), view);
        ASSERT_FALSE(Painted.isEmpty());
        for (const TRect& rect : Painted) EXPECT_NE(rect, view) << "the whole view";
        EXPECT_TRUE(SamePixels(OnScreen(*View()), FullyRepainted(*View())));
    }
    Painted.clear();
    box->SetRange(QSize(120, 40));
    QApplication::processEvents();
    EXPECT_TRUE(Painted.isEmpty()) << "the same range";
}

// A bar whose range, value and page stay is not repainted when the other
// bar's range changes; with a slack, content that widens and narrows within
// it repaints neither bar, and the content stays within reach.
TEST_F(RangeBox, ARangeChangeRepaintsOnlyItsOwnBarAndNoneWithinTheSlack) {
    QApplication::processEvents();
    QScrollBar& horizontal = *box->horizontalScrollBar();
    TPaintCounter horizontalPaints(&horizontal), verticalPaints(box->verticalScrollBar());
    box->SetRange(QSize(1008, 800));
    QApplication::processEvents();
    EXPECT_GE(horizontalPaints.Paints, 1);
    EXPECT_EQ(verticalPaints.Paints, 0);

    box->SetRangeSlack(QSize(32, 0));
    box->SetRange(QSize(1016, 800));
    QApplication::processEvents();
    EXPECT_EQ(box->Extent(), QSize(1024, 800));
    const int maximum = horizontal.maximum();
    horizontalPaints.Paints = verticalPaints.Paints = 0;
    for (int width : {1010, 1024, 1001, 961}) {
        box->SetRange(QSize(width, 800));
        QApplication::processEvents();
        EXPECT_EQ(box->Range(), QSize(width, 800));
        EXPECT_GE(box->HorizontalLimits().Max + box->GetVisibleSize().width(), width) << "out of reach";
    }
    EXPECT_EQ(horizontal.maximum(), maximum);
    EXPECT_EQ(horizontalPaints.Paints + verticalPaints.Paints, 0);
    box->SetRange(QSize(960, 800));
    EXPECT_EQ(box->Extent(), QSize(960, 800)) << "two steps narrower";
    box->SetRange(QSize(100, 800));
    QApplication::processEvents();
    EXPECT_FALSE(horizontal.isVisible()) << "content that fits the view keeps no slack";
}

// The box lays its bars out itself: a bar that comes or goes while the box
// is hidden does so when it is shown again.
TEST_F(RangeBox, ABarThatComesOrGoesWhileHiddenDoesSoWhenShown) {
    for (const bool wide : {false, true}) {
        box->hide();
        box->SetRange(QSize(wide ? 1000 : 50, 800));
        box->show();
        QApplication::processEvents();
        EXPECT_EQ(box->horizontalScrollBar()->isVisible(), wide);
        EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    }
}

TEST_F(RangeBox, ShowsTheCaretOnlyWhileFocusedAndMovesItWithTheContent) {
    const TRect caret{40, 30, 42, 46};
    box->clearFocus();
    box->SetCaretRect(caret);
    EXPECT_TRUE(box->ShownCaret().IsEmpty()) << "not focused";
    Focus();
    EXPECT_EQ(box->ShownCaret(), caret);
    EXPECT_EQ(box->inputMethodQuery(Qt::ImCursorRectangle).toRect(),
              caret.ToQRect().translated(View()->mapTo(box.get(), QPoint())));
    box->ScrollBy(10, 5);
    EXPECT_EQ(box->ShownCaret(), (TRect{30, 25, 32, 41}));
    box->SetCaretRect(TRect{});
    EXPECT_TRUE(box->ShownCaret().IsEmpty()) << "an empty rectangle is no caret";
    box->SetCaretRect(caret);
    box->clearFocus();
    QApplication::processEvents();
    EXPECT_TRUE(box->ShownCaret().IsEmpty()) << "focus lost";
    EXPECT_EQ(manualTimers.ActiveCount(), 0) << "no blinking without a caret";
}

TEST_F(RangeBox, PanModeClickWithoutAFourPixelMoveReachesNobodyAndAMoveDragsTheContent) {
    box->SetOptions(rboLeftBtnMove);
    box->SetScrollPosition(QPoint(100, 100));
    QTest::mousePress(View(), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(View(), QPoint(53, 47));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(53, 47));
    EXPECT_FALSE(Mouse.contains(QStringLiteral("down 150,150")));
    for (const QString& seen : Mouse) EXPECT_TRUE(seen.startsWith(QLatin1String("move"))) << seen.toStdString();
    EXPECT_EQ(box->ScrollPosition(), QPoint(100, 100));
    EXPECT_FALSE(box->IsPanning());

    Mouse.clear();
    const QSize visible = box->GetVisibleSize();
    const QPoint centre(visible.width() / 2, visible.height() / 2);
    QTest::mousePress(View(), Qt::LeftButton, {}, centre);
    QTest::mouseMove(View(), centre + QPoint(4, 0));
    EXPECT_TRUE(box->IsPanning());
    QTest::mouseMove(View(), centre + QPoint(7, 3));
    EXPECT_EQ(box->ScrollPosition(), QPoint(93, 97)) << "scrolled by the centre minus the cursor";
    QTest::mouseRelease(View(), Qt::LeftButton, {}, centre);
    EXPECT_FALSE(box->IsPanning());
    EXPECT_TRUE(Mouse.isEmpty()) << Mouse.join(u',').toStdString();

    QWidget* cancelledBy = box.get();
    box->OnCancelMode = [&cancelledBy](TRangeBox&, QWidget* cancelling) { cancelledBy = cancelling; };
    QTest::mousePress(View(), Qt::LeftButton, {}, centre);
    QTest::mouseMove(View(), centre + QPoint(0, -5));
    box->CancelMode(nullptr);
    EXPECT_FALSE(box->IsPanning());
    EXPECT_EQ(cancelledBy, nullptr);
    QTest::mouseRelease(View(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(Mouse, QStringList{QStringLiteral("up %1,%2").arg(centre.x() + 93).arg(centre.y() + 97)})
        << "after cancel mode the release is an ordinary one";
    Mouse.clear();

    QTest::mousePress(View(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(Mouse, QStringList{QStringLiteral("down 98,102")}) << "other buttons reach the handlers";
}

// A grid of content with a frame around the page, scroll bars, a caret.
TEST_F(RangeBox, ReviewPictureOfContentScrollBarsAndCaret) {
    box->SetOptions(rboShowPageRect);
    box->SetSpacing(8);
    // The page's dotted frame (drawn first, one pixel around the content) is left as it is.
    box->OnPaint = [](TPlaceBox& sender, QPainter& canvas, const TRect& rect) {
        const QRect page(0, 0, 1000, 800);
        canvas.save();
        canvas.setClipRegion(QRegion(rect.ToQRect()) - QRegion(page.adjusted(-1, -1, 1, 1)));
        canvas.fillRect(rect.ToQRect(), QColor(190, 196, 208));
        canvas.restore();
        canvas.fillRect(rect.ToQRect() & page, QColor(250, 250, 245));
        canvas.setPen(QColor(200, 210, 230));
        for (int x = 0; x < 1000; x += 40) canvas.drawLine(x, 0, x, 800);
        for (int y = 0; y < 800; y += 40) canvas.drawLine(0, y, 1000, y);
        canvas.setPen(Qt::black);
        canvas.drawText(QPoint(20, 30), QStringLiteral("content 20,30"));
    };
    box->SetScrollPosition(QPoint(-8, -8));
    box->SetCaretRect(TRect{110, 16, 112, 34});
    Focus();
    QApplication::processEvents();
    EXPECT_EQ(box->ScrollPosition(), QPoint(-8, -8)) << "the spacing shows";
    const QImage image = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = View()->mapTo(box.get(), QPoint());
    const QPoint inCaret = origin + box->ContentToClient(QPoint(110, 20));
    const QPoint besideCaret = inCaret + QPoint(4, 0);
    EXPECT_EQ(image.pixel(inCaret) & 0xFFFFFF, ~image.pixel(besideCaret) & 0xFFFFFF) << "the caret inverts";
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rangebox-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

// Both bars show when the window is created; a bar then goes only when the
// content fits the view the bars leave. Content that fits only without both
// bars keeps both.
TEST(RangeBoxBars, BothBarsAreShownWhenTheWindowIsCreated) {
    struct Case {
        int lessWidth, lessHeight;  // content smaller than the view without bars by this much
        bool horizontal, vertical;
    };
    TRangeBox probe;
    const int extent = probe.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &probe);
    const Case cases[] = {{extent / 2, extent / 2, true, true},
                          {-10, 100, true, false},
                          {extent + 1, extent + 1, false, false}};
    for (const Case& c : cases) {
        TRangeBox box;
        box.resize(220, 160);
        const QSize full = box.contentsRect().size();
        box.SetRange(full - QSize(c.lessWidth, c.lessHeight));
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        QApplication::processEvents();
        EXPECT_EQ(box.horizontalScrollBar()->isVisible(), c.horizontal) << c.lessWidth << " " << c.lessHeight;
        EXPECT_EQ(box.verticalScrollBar()->isVisible(), c.vertical) << c.lessWidth << " " << c.lessHeight;
        EXPECT_EQ(box.GetVisibleSize(), box.viewport()->size());
        EXPECT_EQ(box.horizontalScrollBar()->maximum(), box.HorizontalLimits().Max);
    }
}

TEST(PlaceBox, HandsItsPaintingToTheHandlersWithTheControlsFont) {
    TPlaceBox box;
    EXPECT_EQ(box.size(), TPlaceBox::kDefaultSize);
    QStringList order;
    QFont font = box.font();
    font.setPixelSize(21);
    box.setFont(font);
    int pixelSize = 0;
    box.OnPaintDC = [&](TPlaceBox&, QPainter& dc, const TRect& rect) {
        order << QStringLiteral("dc");
        dc.fillRect(rect.ToQRect(), Qt::red);
    };
    box.OnPaint = [&](TPlaceBox&, QPainter& canvas, const TRect&) {
        order << QStringLiteral("canvas");
        pixelSize = canvas.font().pixelSize();
    };
    const QImage image = box.grab().toImage();
    EXPECT_EQ(order, (QStringList{"dc", "canvas"}));
    EXPECT_EQ(pixelSize, 21);
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), QColor(Qt::red).rgb());
}

}  // namespace

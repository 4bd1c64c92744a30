// Buffered painting, bordered and transparent controls over their Qt bases,
// hints, and the scroll-bar routines.

#include "core/cuStringIds.h"
#include "platform/plDialogs.h"
#include "support/testCases.h"
#include "ui/baUtils.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// "left top width height" as a model rectangle; "" as the empty one.
TRect UtilsRect(const QString& text) {
    const QStringList n = text.split(u' ');
    return text.isEmpty() ? TRect{} : TRect::FromQRect(QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()));
}

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;

TEST(BufPainter, CopiesBackExactlyTheClipInsideItsRectangleAndNothingWhenTheyDoNotMeet) {
    for (const CaseRow& c : LoadCases("ui/utils.txt", "BufPainter")) {
        QImage target(60, 60, QImage::Format_ARGB32_Premultiplied);
        target.fill(White);
        const QPoint origin = c.Has("Translate") ? UtilsRect(c["Translate"] + " 1 1").ToQRect().topLeft() : QPoint();
        {
            QPainter painter(&target);
            painter.translate(origin);
            if (c.Has("Clip")) painter.setClipRect(UtilsRect(c["Clip"]).ToQRect());
            TBufPainter buffer(painter, UtilsRect(c["Rect"]));
            EXPECT_EQ(buffer.Rect(), UtilsRect(c["Expected"])) << c.Text();
            buffer.Canvas().fillRect(QRect(-100, -100, 300, 300), QColor(Red));
        }
        const QRect copied = UtilsRect(c["Expected"]).ToQRect().translated(origin);
        int wrong = 0;
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x) wrong += target.pixel(x, y) != (copied.contains(x, y) ? Red : White);
        EXPECT_EQ(wrong, 0) << c.Text();
    }
}

// The region a widget repaints is the system clip: only it is buffered.
TEST(BufPainter, BuffersOnlyTheRegionAWidgetRepaints) {
    struct TRecordingWidget : QWidget {
        TRect Buffered;
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            Buffered = TBufPainter(painter, TRect{0, 0, width(), height()}).Rect();
        }
    } widget;
    widget.resize(80, 60);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    widget.repaint(QRect(10, 20, 30, 15));
    EXPECT_EQ(widget.Buffered, (TRect{10, 20, 40, 35}));
}

// A control that paints nothing of its own (a frame draws its frame).
template <class Base>
class TTestControl : public TTransparencyControl<Base> {
public:
    using TTransparencyControl<Base>::TTransparencyControl;

private:
    void paintEvent(QPaintEvent* e) override {
        if constexpr (std::is_base_of_v<QFrame, Base>) Base::paintEvent(e);
    }
};

// Counts the paint events of a widget and of its child widgets (a viewport).
struct TPaintCounter : QObject {
    explicit TPaintCounter(QWidget& widget) {
        widget.installEventFilter(this);
        for (QWidget* child : widget.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        Paints += e->type() == QEvent::Paint;
        return false;
    }
    int Paints = 0;
};

template <class Base>
class BorderedControls : public ::testing::Test {};
using BorderedBases = ::testing::Types<QFrame, QAbstractScrollArea, QAbstractButton>;
TYPED_TEST_SUITE(BorderedControls, BorderedBases);

TYPED_TEST(BorderedControls, BorderWidthAndLineFollowTheStyleAndTheSameStyleChangesNothing) {
    TTestControl<TypeParam> w;
    w.resize(50, 40);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.contentsRect(), w.rect());
    w.SetBorderStyle(bsSingle);
    EXPECT_EQ(w.contentsRect(), w.rect().adjusted(1, 1, -1, -1));
    EXPECT_EQ(w.grab().toImage().pixel(49, 39), w.palette().color(QPalette::WindowText).rgba());
    w.SetBorderStyle(bsTheme);
    const int themed = w.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &w);
    EXPECT_EQ(w.contentsRect(), w.rect().adjusted(themed, themed, -themed, -themed));

    TPaintCounter counter(w);
    QApplication::processEvents();
    const int paints = counter.Paints;
    w.SetBorderStyle(bsTheme);
    QApplication::processEvents();
    EXPECT_EQ(counter.Paints, paints) << "the same style repainted the control";
    w.SetBorderStyle(bsNone);
    QApplication::processEvents();
    EXPECT_GT(counter.Paints, paints) << "a new style did not repaint";
    EXPECT_EQ(w.contentsRect(), w.rect());
}

// The handler decides whether the hint shows; one that raises is shown and the hint goes on.
TEST(BorderedControlHint, ShowsOnlyWhatTheHandlerAllows) {
    TFakeDialogs dialogs;
    TDialogsInstaller install(&dialogs);
    TTestControl<QFrame> control;
    control.setToolTip(QStringLiteral("tip"));
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    QPoint asked;
    int answer = 0;  // 0 hides, 1 shows, 2 raises
    control.OnShowHint = [&](QWidget& sender, bool& canShow, QHelpEvent& hint) {
        EXPECT_EQ(&sender, &control);
        asked = hint.pos();
        if (answer == 2) throw Exception::FromId(strError);
        canShow = answer == 1;
    };
    for (answer = 0; answer < 3; ++answer) {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 6), control.mapToGlobal(QPoint(5, 6)));
        QApplication::sendEvent(&control, &help);
        EXPECT_EQ(QToolTip::isVisible(), answer > 0) << answer;
        EXPECT_EQ(asked, QPoint(5, 6));
        QToolTip::hideText();
    }
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
}

// A refused hint is taken: Qt would otherwise offer it to the parent, whose own hint showed instead.
TEST(BorderedControlHint, ARefusedHintShowsNoParentsHintEither) {
    QWidget parent;
    parent.setToolTip(QStringLiteral("parent"));
    auto* control = new TTestControl<QFrame>(&parent);
    control->setToolTip(QStringLiteral("tip"));
    control->OnShowHint = [](QWidget&, bool& canShow, QHelpEvent&) { canShow = false; };
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 6), control->mapToGlobal(QPoint(5, 6)));
    QApplication::sendEvent(control, &help);
    EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();
    QToolTip::hideText();
}

// A red parent: where a transparent control that paints nothing lies, the
// red shows; an opaque one hides it. Also through a scroll area's viewport.
TEST(TransparencyControl, ATransparentControlShowsItsParentsPixelsAnOpaqueOneNot) {
    QWidget parent;
    parent.resize(90, 40);
    QPalette red = parent.palette();
    red.setColor(QPalette::Window, QColor(Red));
    parent.setPalette(red);
    parent.setAutoFillBackground(true);
    TTestControl<QFrame> frame(&parent);
    frame.setGeometry(10, 10, 20, 20);
    TTestControl<QAbstractScrollArea> area(&parent);
    area.setGeometry(50, 10, 20, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_FALSE(frame.Transparent());
    for (bool transparent : {true, false}) {
        frame.SetTransparent(transparent);
        area.SetTransparent(transparent);
        // Rendered over a known colour: an opaque control that paints nothing
        // leaves what was there (grab() would read memory nothing wrote).
        QImage shot(parent.size(), QImage::Format_ARGB32);
        shot.fill(Qt::green);
        parent.render(&shot);
        EXPECT_EQ(shot.pixel(20, 20) == Red, transparent) << "frame, transparent " << transparent;
        EXPECT_EQ(shot.pixel(60, 20) == Red, transparent) << "scroll area, transparent " << transparent;
    }
}

TEST(ScrollPosForCode, Table) {
    const QStringList codes{"scLineUp", "scLineDown", "scPageUp", "scPageDown", "scThumbPosition",
                            "scThumbTrack", "scTop", "scBottom", "scEndScroll"};
    QScrollBar bar;
    bar.setRange(0, 100);
    for (const CaseRow& c : LoadCases("ui/utils.txt", "ScrollPos")) {
        ASSERT_TRUE(codes.contains(c["Code"])) << c.Text();
        bar.setSliderPosition(c.Int("Slider"));
        const auto code = TScrollCode(codes.indexOf(c["Code"]));
        EXPECT_EQ(GetScrollPosForCode(bar, code, c.Int("Pos"), c.Int("Line"), c.Int("Page")), c.Int("Expected"))
            << c.Text();
    }
}

// Positions run to max - page + 1; a bar that cannot scroll is hidden, or shown disabled when asked.
TEST(UpdateScrollBar, RangeOfPositionsAndABarThatCannotScroll) {
    TTestControl<QAbstractScrollArea> area;
    area.resize(120, 120);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    QScrollBar& bar = *area.verticalScrollBar();
    UpdateScrollBar(area, Qt::Vertical, 0, 299, 100, false);
    EXPECT_EQ(std::make_tuple(bar.maximum(), bar.pageStep(), bar.isVisible(), bar.isEnabled()),
              std::make_tuple(200, 100, true, true));
    UpdateScrollBar(area, Qt::Vertical, 0, 99, 100, false);
    EXPECT_EQ(std::make_tuple(bar.maximum(), bar.isVisible()), std::make_tuple(0, false));
    UpdateScrollBar(area, Qt::Vertical, 0, 99, 100, true);
    EXPECT_EQ(std::make_tuple(bar.isVisible(), bar.isEnabled()), std::make_tuple(true, false));
}

}  // namespace

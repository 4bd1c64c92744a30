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

#include <memory>
#include <stdexcept>

namespace {

// "left top width height" as a model rectangle; "" as the empty one.
TRect UtilsRect(const QString& text) {
    if (text.isEmpty()) return {};
    const QStringList n = text.split(u' ');
    return TRect::FromQRect(QRect(n.value(0).toInt(), n.value(1).toInt(), n.value(2).toInt(), n.value(3).toInt()));
}

constexpr QRgb TargetWhite = 0xFFFFFFFF;
constexpr QRgb PaintedRed = 0xFFFF0000;

TEST(BufPainter, CopiesBackExactlyTheClipInsideItsRectangleAndNothingWhenTheyDoNotMeet) {
    for (const CaseRow& c : LoadCases("ui/utils.txt", "BufPainter")) {
        QImage target(60, 60, QImage::Format_ARGB32_Premultiplied);
        target.fill(TargetWhite);
        QPoint origin;
        if (c.Has("Translate")) origin = UtilsRect(c["Translate"] + " 1 1").ToQRect().topLeft();
        {
            QPainter painter(&target);
            painter.translate(origin);
            if (c.Has("Clip")) painter.setClipRect(UtilsRect(c["Clip"]).ToQRect());
            TBufPainter buffer(painter, UtilsRect(c["Rect"]));
            EXPECT_EQ(buffer.Rect(), UtilsRect(c["Expected"])) << c.Text();
            buffer.Canvas().fillRect(QRect(-100, -100, 300, 300), QColor(PaintedRed));
        }
        const QRect copied = UtilsRect(c["Expected"]).ToQRect().translated(origin);
        int wrong = 0;
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x)
                wrong += target.pixel(x, y) != (copied.contains(x, y) ? PaintedRed : TargetWhite);
        EXPECT_EQ(wrong, 0) << c.Text();
    }
}

// The region a widget repaints is the system clip: only it is buffered.
TEST(BufPainter, BuffersOnlyTheRegionAWidgetRepaints) {
    struct TRecordingWidget : QWidget {
        TRect Buffered;
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            TBufPainter buffer(painter, TRect{0, 0, width(), height()});
            Buffered = buffer.Rect();
        }
    } widget;
    widget.resize(80, 60);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    widget.repaint(QRect(10, 20, 30, 15));
    EXPECT_EQ(widget.Buffered, (TRect{10, 20, 40, 35}));
}

// ---------------------------------------------------------------------------
// Borders

// Counts the paint events of a widget and of its child widgets (a scroll
// area's viewport).
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget& widget) {
        widget.installEventFilter(this);
        for (QWidget* child : widget.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        Paints += e->type() == QEvent::Paint;
        return false;
    }
};

// A control that paints nothing of its own: only the border shows.
template <class Base>
class TTestBordered : public TBorderedControl<Base> {
protected:
    void paintEvent(QPaintEvent* e) override {
        if constexpr (std::is_base_of_v<QFrame, Base>) {
            Base::paintEvent(e);
        }
    }
};

// The controls of the table behind one interface.
struct TAnyBordered {
    std::unique_ptr<QWidget> Widget;
    std::function<void(TBorderStyle)> SetStyle;
};

template <class Base>
TAnyBordered MakeBordered() {
    auto control = std::make_unique<TTestBordered<Base>>();
    TTestBordered<Base>* raw = control.get();
    return {std::move(control), [raw](TBorderStyle s) { raw->SetBorderStyle(s); }};
}

class BorderedControls : public ::testing::TestWithParam<int> {
protected:
    static TAnyBordered Make(int base) {
        switch (base) {
        case 0:
            return MakeBordered<QFrame>();
        case 1:
            return MakeBordered<QAbstractScrollArea>();
        default:
            return MakeBordered<QAbstractButton>();
        }
    }
};

TEST_P(BorderedControls, BorderWidthAndLineFollowTheStyleAndTheSameStyleChangesNothing) {
    TAnyBordered control = Make(GetParam());
    QWidget& w = *control.Widget;
    w.resize(50, 40);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.contentsRect(), w.rect()) << "no border at first";
    const QRgb line = w.palette().color(QPalette::WindowText).rgba();
    EXPECT_NE(w.grab().toImage().pixel(0, 0), line);

    control.SetStyle(bsSingle);
    EXPECT_EQ(w.contentsRect(), w.rect().adjusted(1, 1, -1, -1));
    EXPECT_EQ(w.grab().toImage().pixel(0, 0), line);
    EXPECT_EQ(w.grab().toImage().pixel(49, 39), line);

    control.SetStyle(bsTheme);
    const int themed = w.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &w);
    EXPECT_EQ(w.contentsRect(), w.rect().adjusted(themed, themed, -themed, -themed));

    TPaintCounter counter(w);
    QApplication::processEvents();
    const int paints = counter.Paints;
    const QRect contents = w.contentsRect();
    control.SetStyle(bsTheme);
    QApplication::processEvents();
    EXPECT_EQ(counter.Paints, paints) << "the same style repainted the control";
    EXPECT_EQ(w.contentsRect(), contents);
    control.SetStyle(bsNone);
    QApplication::processEvents();
    EXPECT_GT(counter.Paints, paints) << "a new style did not repaint";
    EXPECT_EQ(w.contentsRect(), w.rect());
}

INSTANTIATE_TEST_SUITE_P(FrameScrollAreaButton, BorderedControls, ::testing::Values(0, 1, 2));

// The handler decides whether the hint shows; one that raises is shown and the hint goes on.
TEST(BorderedControlHint, ShowsOnlyWhatTheHandlerAllows) {
    TFakeDialogs dialogs;
    TDialogsInstaller install(&dialogs);
    TTestBordered<QFrame> control;
    control.resize(50, 40);
    control.setToolTip(QStringLiteral("tip"));
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    QPoint asked;
    bool allow = false;
    bool raise = false;
    control.OnShowHint = [&](QWidget& sender, bool& canShow, QHelpEvent& hint) {
        EXPECT_EQ(&sender, &control);
        asked = hint.pos();
        if (raise) throw Exception::FromId(strError);
        canShow = allow;
    };
    auto askForHint = [&] {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 6), control.mapToGlobal(QPoint(5, 6)));
        QApplication::sendEvent(&control, &help);
        return QToolTip::isVisible();
    };
    EXPECT_FALSE(askForHint());
    EXPECT_EQ(asked, QPoint(5, 6));
    allow = true;
    EXPECT_TRUE(askForHint());
    QToolTip::hideText();
    raise = true;
    EXPECT_TRUE(askForHint());
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
    QToolTip::hideText();
}

// ---------------------------------------------------------------------------
// Transparency

template <class Base>
class TTestTransparent : public TTransparencyControl<Base> {
public:
    using TTransparencyControl<Base>::TTransparencyControl;

protected:
    void paintEvent(QPaintEvent*) override {}  // paints nothing of its own
};

// A red parent with one control of each base that paints nothing: where a
// transparent control lies the parent's red shows, an opaque one hides it.
TEST(TransparencyControl, ATransparentControlShowsItsParentsPixelsAnOpaqueOneNot) {
    QWidget parent;
    parent.resize(90, 40);
    QPalette red = parent.palette();
    red.setColor(QPalette::Window, QColor(PaintedRed));
    parent.setPalette(red);
    parent.setAutoFillBackground(true);
    TTestTransparent<QFrame> frame(&parent);
    frame.setGeometry(10, 10, 20, 20);
    TTestTransparent<QAbstractScrollArea> area(&parent);
    area.setGeometry(50, 10, 20, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const QPoint insideFrame(20, 20), insideArea(60, 20);
    EXPECT_FALSE(frame.Transparent());
    for (bool transparent : {true, false}) {
        frame.SetTransparent(transparent);
        area.SetTransparent(transparent);
        const QImage shot = parent.grab().toImage();
        EXPECT_EQ(shot.pixel(insideFrame) == PaintedRed, transparent) << "frame, transparent " << transparent;
        EXPECT_EQ(shot.pixel(insideArea) == PaintedRed, transparent) << "scroll area, transparent " << transparent;
        EXPECT_EQ(shot.pixel(5, 5), PaintedRed);
    }
}

// ---------------------------------------------------------------------------
// Forms and scroll bars

TEST(ScrollPosForCode, Table) {
    const QMap<QString, TScrollCode> codes{
        {"scLineUp", scLineUp},         {"scLineDown", scLineDown},   {"scPageUp", scPageUp},
        {"scPageDown", scPageDown},     {"scThumbPosition", scThumbPosition}, {"scThumbTrack", scThumbTrack},
        {"scTop", scTop},               {"scBottom", scBottom},       {"scEndScroll", scEndScroll}};
    QScrollBar bar;
    bar.setRange(0, 100);
    for (const CaseRow& c : LoadCases("ui/utils.txt", "ScrollPos")) {
        ASSERT_TRUE(codes.contains(c["Code"])) << c.Text();
        bar.setSliderPosition(c.Int("Slider"));
        EXPECT_EQ(GetScrollPosForCode(bar, codes[c["Code"]], c.Int("Pos"), c.Int("Line"), c.Int("Page")),
                  c.Int("Expected"))
            << c.Text();
    }
}

// Positions run to max - page + 1; a bar that cannot scroll is hidden, or
// shown disabled when asked.
TEST(UpdateScrollBar, RangeOfPositionsAndABarThatCannotScroll) {
    struct TArea : QAbstractScrollArea {
    } area;
    area.resize(120, 120);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    QScrollBar& bar = *area.verticalScrollBar();
    UpdateScrollBar(area, Qt::Vertical, 0, 299, 100, false);
    EXPECT_EQ(bar.maximum(), 200);
    EXPECT_EQ(bar.pageStep(), 100);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_TRUE(bar.isEnabled());
    UpdateScrollBar(area, Qt::Vertical, 0, 99, 100, false);
    EXPECT_EQ(bar.maximum(), 0);
    EXPECT_FALSE(bar.isVisible());
    UpdateScrollBar(area, Qt::Vertical, 0, 99, 100, true);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_FALSE(bar.isEnabled());
}

TEST(OwnerForm, TheWindowOfTheFirstWidgetAmongTheParents) {
    QWidget form;
    QWidget child(&form);
    QObject component(&child);
    QObject loose;
    EXPECT_EQ(GetOwnerForm(&component), &form);
    EXPECT_EQ(GetOwnerForm(&child), &form);
    EXPECT_EQ(GetOwnerForm(&loose), nullptr);
}

}  // namespace

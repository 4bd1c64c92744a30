// Window placement through knots: what is stored, and how damaged values are
// brought back onto the virtual screen.

#include "platform/plFormPlacement.h"

#include "core/cuKnot.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

TEST(FormPlacementClamp, Table) {
    struct Case {
        const char* name;
        QRect bounds, screen;
        QSize minimum;
        QRect expected;
    };
    const QSize noMax(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QRect dual(-1920, -200, 3840, 1280);  // a left screen above the primary one
    const Case cases[] = {
        {"InsideStays", QRect(100, 50, 400, 300), dual, QSize(0, 0), QRect(100, 50, 400, 300)},
        {"NegativeCoordinatesAreValid", QRect(-1900, -150, 400, 300), dual, QSize(0, 0), QRect(-1900, -150, 400, 300)},
        {"FarLeft", QRect(-50000, 10, 400, 300), dual, QSize(0, 0), QRect(-1920, 10, 400, 300)},
        {"FarRightAndDown", QRect(99999, 99999, 400, 300), dual, QSize(0, 0), QRect(1520, 780, 400, 300)},
        {"TooLarge", QRect(0, 0, 100000, 100000), dual, QSize(0, 0), QRect(-1920, -200, 3840, 1280)},
        {"BelowMinimum", QRect(10, 10, -5, 0), dual, QSize(200, 100), QRect(10, 10, 200, 100)},
        {"MinimumWinsOverScreen", QRect(0, 0, 10, 10), QRect(0, 0, 300, 200), QSize(400, 250), QRect(0, 0, 400, 250)},
    };
    for (const Case& c : cases) EXPECT_EQ(plClampBounds(c.bounds, c.screen, c.minimum, noMax), c.expected) << c.name;
}

TEST(FormPlacement, SaveAndRestoreASizeableForm) {
    QWidget form;
    form.move(30, 40);
    form.resize(320, 240);
    auto knot = TKnot::Create(S("SheetForm"));
    plSaveFormPlacement(form, *knot);
    EXPECT_EQ(knot->SaveToString(),
              S("<SheetForm Maximized=\"0\" Left=\"30\" Top=\"40\" Width=\"320\" Height=\"240\"/>\r\n"));
    QWidget other;
    other.move(0, 0);
    other.resize(100, 100);
    plRestoreFormPlacement(other, *knot);
    EXPECT_EQ(other.pos(), QPoint(30, 40));
    EXPECT_EQ(other.size(), QSize(320, 240));
    EXPECT_FALSE(knot->CollectUnread(nullptr, nullptr, false));
}

TEST(FormPlacement, FixedSizeFormStoresItsPositionOnly) {
    QWidget form;
    form.setFixedSize(200, 100);
    form.move(5, 6);
    auto knot = TKnot::Create(S("F"));
    plSaveFormPlacement(form, *knot);
    EXPECT_EQ(knot->SaveToString(), S("<F Left=\"5\" Top=\"6\"/>\r\n"));
}

TEST(FormPlacement, MaximizedFormRestoresMaximizedOnly) {
    auto knot = TKnot::Create();
    ASSERT_TRUE(knot->LoadFromString(S("<F Maximized=\"1\" Left=\"-99999\"/>")));
    QWidget form;
    form.move(7, 8);
    plRestoreFormPlacement(form, *knot);
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form.pos(), QPoint(7, 8));
}

TEST(FormPlacement, WithoutLeftNothingIsRead) {
    auto knot = TKnot::Create();
    ASSERT_TRUE(knot->LoadFromString(S("<F Top=\"300\" Width=\"50\"/>")));
    QWidget form;
    form.move(7, 8);
    form.resize(300, 200);
    plRestoreFormPlacement(form, *knot);
    EXPECT_EQ(form.geometry(), QRect(7, 8, 300, 200));
}

TEST(FormPlacement, DamagedValuesAreClampedToTheScreenAndTheMinimumSize) {
    auto knot = TKnot::Create();
    ASSERT_TRUE(knot->LoadFromString(S("<F Left=\"-70000\" Top=\"90000\" Width=\"-20\" Height=\"junk\"/>")));
    QWidget form;
    form.setMinimumSize(150, 120);
    form.resize(400, 300);
    plRestoreFormPlacement(form, *knot);
    const QRect screen = plVirtualScreen();
    EXPECT_EQ(form.size(), QSize(150, 300));  // the width was damaged, the height unreadable
    EXPECT_TRUE(screen.contains(QRect(form.pos(), form.size()))) << screen.width() << "x" << screen.height();
    EXPECT_EQ(form.pos().x(), screen.left());
}

}  // namespace

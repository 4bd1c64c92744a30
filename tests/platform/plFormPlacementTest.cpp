// Window placement through knots: what is stored, and how damaged values are
// brought back onto the virtual screen.

#include "platform/plFormPlacement.h"
#include "support/testStrings.h"

#include "support/testCases.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

// "left top width height" as a rectangle, "width height" as a size.
QRect RectOf(const QString& text) {
    const QStringList n = text.split(u' ');
    return QRect(n.value(0).toInt(), n.value(1).toInt(), n.value(2).toInt(), n.value(3).toInt());
}

TEST(FormPlacementClamp, Table) {
    const QSize noMax(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (const CaseRow& c : LoadCases("platform/forms.txt", "Clamp")) {
        const QRect minimum = RectOf("0 0 " + c["Minimum"]);
        EXPECT_EQ(plClampBounds(RectOf(c["Bounds"]), RectOf(c["Screen"]), minimum.size(), noMax), RectOf(c["Expected"]))
            << c.Text();
    }
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
    // a fixed-size form stores its position only
    QWidget fixed;
    fixed.setFixedSize(200, 100);
    fixed.move(5, 6);
    auto position = TKnot::Create(S("F"));
    plSaveFormPlacement(fixed, *position);
    EXPECT_EQ(position->SaveToString(), S("<F Left=\"5\" Top=\"6\"/>\r\n"));
}

// Maximized restores the state only; without Left nothing is read.
TEST(FormPlacement, MaximizedOrWithoutLeftKeepsTheGeometryDamagedValuesAreClamped) {
    for (const char* stored : {"<F Maximized=\"1\" Left=\"-99999\"/>", "<F Top=\"300\" Width=\"50\"/>"}) {
        auto knot = TKnot::Create();
        ASSERT_TRUE(knot->LoadFromString(S(stored)));
        QWidget form;
        form.move(7, 8);
        form.resize(300, 200);
        plRestoreFormPlacement(form, *knot);
        EXPECT_EQ(form.geometry(), QRect(7, 8, 300, 200)) << stored;
        EXPECT_EQ(bool(form.windowState() & Qt::WindowMaximized), QByteArray(stored).contains("Maximized")) << stored;
    }
    // Damaged values are clamped to the screen and the minimum size.
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

// Damaged or edited files may hold any integer: no sum of them may overflow.
TEST(FormPlacement, StoredValuesAtTheIntegerLimitsAreClampedWithoutOverflow) {
    for (const char* stored : {"<F Left=\"2147483647\" Top=\"2147483647\" Width=\"2147483647\" Height=\"2147483647\"/>",
                               "<F Left=\"-2147483648\" Top=\"-2147483648\" Width=\"2147483647\" Height=\"-2147483648\"/>"}) {
        auto knot = TKnot::Create();
        ASSERT_TRUE(knot->LoadFromString(S(stored)));
        QWidget form;
        form.resize(300, 200);
        plRestoreFormPlacement(form, *knot);
        EXPECT_TRUE(plVirtualScreen().contains(form.geometry())) << stored;
    }
}

}  // namespace

// Hints for popup menus: the highlighted entry is reported, a separator and
// the space beside the entries as nil.

#include "ui/MenuSelectEvent.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(PopupListEx, HoveringAnEntryReportsItAndASeparatorReportsNil) {
    TPopupListEx list;
    std::vector<QAction*> reported;
    list.OnMenuSelect = [&](TPopupListEx* sender, QAction* item) {
        EXPECT_EQ(sender, &list);
        reported.push_back(item);
    };
    QMenu menu;
    QAction* open = menu.addAction(QStringLiteral("Open"));
    QAction* separator = menu.addSeparator();
    QAction* save = menu.addAction(QStringLiteral("Save"));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseMove(&menu, menu.actionGeometry(open).center());
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), open);
    QTest::mouseMove(&menu, menu.actionGeometry(separator).center());
    EXPECT_EQ(reported.back(), nullptr);
    QTest::mouseMove(&menu, menu.actionGeometry(save).center());
    EXPECT_EQ(reported.back(), save);
    menu.close();
}

}  // namespace

// The check-box tree view: Space and a click on a node's check box report
// the node; a click beside the box only selects; a node's information tip.

#include "ui/baTreeViewEx.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

class TreeViewExTest : public ::testing::Test {
protected:
    void SetUp() override {
        first = new QTreeWidgetItem(&tree, QStringList{QStringLiteral("First")});
        second = new QTreeWidgetItem(&tree, QStringList{QStringLiteral("Second")});
        tree.SetCheckboxes(true);
        tree.OnClickCheck = [this](TTreeViewEx* sender, QTreeWidgetItem* node) {
            EXPECT_EQ(sender, &tree);
            reported.push_back(node);
        };
        tree.resize(300, 200);
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    // The centre of the node's check box and a point on its text.
    QPoint BoxOf(QTreeWidgetItem* node) const {
        const QRect row = tree.visualItemRect(node);
        for (int x = row.left(); x < row.right(); ++x)
            if (tree.IsOnCheckBox(node, QPoint(x, row.center().y()))) return QPoint(x + 3, row.center().y());
        return QPoint(-1, -1);
    }

    TTreeViewEx tree;
    QTreeWidgetItem* first;
    QTreeWidgetItem* second;
    std::vector<QTreeWidgetItem*> reported;
};

TEST_F(TreeViewExTest, AClickOnACheckBoxReportsItsNodeAndSelectsIt) {
    const QPoint box = BoxOf(second);
    ASSERT_GE(box.x(), 0);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, box);
    EXPECT_EQ(reported, (std::vector<QTreeWidgetItem*>{second}));
    EXPECT_EQ(tree.currentItem(), second);
    // On the text it only selects.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(first).center() + QPoint(40, 0));
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_EQ(tree.currentItem(), first);
}

TEST_F(TreeViewExTest, SpaceReportsTheSelectedNodeOnlyWithCheckBoxes) {
    tree.setCurrentItem(first);
    QTest::keyClick(&tree, Qt::Key_Space);
    EXPECT_EQ(reported, (std::vector<QTreeWidgetItem*>{first}));
    tree.SetCheckboxes(false);
    QTest::keyClick(&tree, Qt::Key_Space);
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_FALSE(first->flags() & Qt::ItemIsUserCheckable);
}

// A tip asked for over a node starts as its text, which the handler may
// change; over no node the handler is not asked.
TEST_F(TreeViewExTest, AnInfoTipOverANodeStartsAsItsTextAndShowsWhatTheHandlerMadeOfIt) {
    std::vector<std::pair<QTreeWidgetItem*, QString>> asked;
    tree.OnInfoTip = [&](TTreeViewEx* sender, QTreeWidgetItem* node, QString& text) {
        EXPECT_EQ(sender, &tree);
        asked.emplace_back(node, text);
        text = QStringLiteral("Tip of ") + text;
    };
    auto askAt = [&](QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, tree.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree.viewport(), &help);
    };
    askAt(tree.visualItemRect(second).center());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(second, QStringLiteral("Second")));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Tip of Second"));
    askAt(QPoint(5, tree.viewport()->height() - 5));
    EXPECT_EQ(asked.size(), 1u);
    QToolTip::hideText();
}

}  // namespace

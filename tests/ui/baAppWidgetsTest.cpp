// A form's placement in the session file, and the menu of recently used files.

#include "core/baAppCmpns.h"
#include "core/cuKnot.h"
#include "platform/plFormPlacement.h"
#include "platform/plTimer.h"
#include "support/testCases.h"
#include "ui/baAppWidgets.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A form that refuses to close.
class TRefusingForm : public QWidget {
protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

TEST(FormPlace, AFormWhoseCloseIsRefusedStillStoresItsPlacementRestoredClampedOnTheNextShow) {
    TSessionFile session;
    const QRect screen = plVirtualScreen();
    const QPoint farAway(screen.right() + 5000, screen.bottom() + 5000);
    {
        TRefusingForm form;
        form.setObjectName(QStringLiteral("EditForm"));
        auto* place = new TFormPlace(form);
        place->SetSessionFile(&session);
        place->KnotPath = QStringLiteral("Forms.Main");
        form.resize(300, 200);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.move(farAway);
        EXPECT_FALSE(form.close());
        EXPECT_TRUE(form.isVisible());
        TKnot* knot = session.Root()->FindPath(u"Forms.Main.EditForm", false);
        ASSERT_NE(knot, nullptr);
        EXPECT_EQ(knot->ReadInt(u"Left", 0), farAway.x());
        EXPECT_EQ(knot->ReadInt(u"Width", 0), 300);
    }
    // The next form of that name comes back where the last one was, clamped to the screen.
    QWidget next;
    next.setObjectName(QStringLiteral("EditForm"));
    auto* place = new TFormPlace(next);
    place->SetSessionFile(&session);
    place->KnotPath = QStringLiteral("Forms.Main");
    next.resize(100, 100);
    next.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    EXPECT_EQ(next.size(), QSize(300, 200));
    EXPECT_EQ(next.pos(), QPoint(screen.left() + screen.width() - 300, screen.top() + screen.height() - 200));
    // Shown again it keeps where it is now: the placement is restored once.
    next.hide();
    next.move(screen.topLeft() + QPoint(7, 9));
    next.show();
    EXPECT_EQ(next.pos(), screen.topLeft() + QPoint(7, 9));
}

TEST(FormPlace, NothingIsKeptWithoutASessionAndASessionThatGoesIsDropped) {
    QWidget form;
    form.setObjectName(QStringLiteral("Lonely"));
    auto* place = new TFormPlace(form);
    EXPECT_EQ(place->PlaceKnot(), nullptr);
    {
        TSessionFile session;
        place->SetSessionFile(&session);
        EXPECT_NE(place->PlaceKnot(), nullptr);
    }
    EXPECT_EQ(place->SessionFile(), nullptr);
    form.show();
    EXPECT_TRUE(form.close());  // stores nothing and does not stop the close
}

// ---------------------------------------------------------------------------
// Recent files in a menu

TEST(ReopenItemCaption, Table) {
    for (const CaseRow& c : LoadCases("ui/appwidgets.txt", "ReopenCaption"))
        EXPECT_EQ(ReopenItemCaption(c["File"], c.Int("KeepExtension"), c.Int("FullPath")), c["Caption"]) << c.Text();
}

class ReopenMenu : public ::testing::Test {
protected:
    void SetUp() override {
        recent.SetSessionFile(&session);
        for (const char* name : {"/docs/c.prm", "/docs/b.prm", "/docs/a.prm"}) recent.Add(QString::fromUtf8(name));
        menu.addAction(QStringLiteral("Open"));
        first = menu.addSeparator();
        menu.addAction(QStringLiteral("stale"));
        last = menu.addSeparator();
        menu.addAction(QStringLiteral("Exit"));
    }
    QStringList Texts() const {
        QStringList texts;
        for (const QAction* a : menu.actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    }

    TManualTimerService timers;
    TTimerServiceInstaller installTimers{&timers};
    TSessionFile session;
    TRecentFiles recent;
    QMenu menu;
    QAction* first = nullptr;
    QAction* last = nullptr;
    TReopenFilesMenuFiller filler;
};

TEST_F(ReopenMenu, ItemsReplaceWhatLiesBetweenTheAnchors) {
    TReopenFilesMenuFiller::TFillOptions options;
    options.FirstAnchor = first;
    options.LastAnchor = last;
    QStringList created;
    options.OnItemCreated = [&](TReopenFilesMenuFiller& sender, const QString& fileName, QAction& item) {
        EXPECT_EQ(&sender, &filler);
        created << fileName;
        item.setCheckable(true);
    };
    const QPointer<QAction> stale = menu.actions()[2];
    filler.Fill(recent, menu, options);
    EXPECT_EQ(Texts(), (QStringList{"Open", "-", "a", "b", "c", "-", "Exit"}));
    EXPECT_TRUE(stale.isNull()) << "a removed item of the menu's own stays alive";
    EXPECT_EQ(created, (QStringList{"/docs/a.prm", "/docs/b.prm", "/docs/c.prm"}));
    EXPECT_EQ(menu.actions()[2]->statusTip(), "/docs/a.prm");
    EXPECT_TRUE(menu.actions()[2]->isCheckable());
    // Filled again after a change: replaced, not added.
    recent.Add(QStringLiteral("/docs/c.prm"));
    options.MaxCount = 2;
    filler.Fill(recent, menu, options);
    EXPECT_EQ(Texts(), (QStringList{"Open", "-", "c", "a", "-", "Exit"}));
    // Without anchors the whole menu is the list; an empty list disables it.
    filler.Fill(recent, menu, {});
    EXPECT_EQ(Texts(), (QStringList{"c", "a", "b"}));
    EXPECT_TRUE(menu.menuAction()->isEnabled());
    TSessionFile empty;
    recent.SetSessionFile(&empty);
    filler.Fill(recent, menu, {});
    EXPECT_TRUE(menu.actions().isEmpty());
    EXPECT_FALSE(menu.menuAction()->isEnabled());
}

TEST_F(ReopenMenu, AClickRunsOnlyAfterTheTimerFired) {
    QStringList opened;
    filler.OnMenuItemClick = [&](TReopenFilesMenuFiller& sender, const QString& fileName) {
        EXPECT_EQ(&sender, &filler);
        opened << fileName;
    };
    filler.Fill(recent, menu, {});
    menu.actions()[1]->trigger();
    EXPECT_TRUE(opened.isEmpty());
    timers.Advance(TReopenFilesMenuFiller::ClickDelayMs - 1);
    EXPECT_TRUE(opened.isEmpty());
    timers.Advance(1);
    EXPECT_EQ(opened, QStringList{"/docs/b.prm"});
    EXPECT_EQ(timers.ActiveCount(), 0);
    // The timer went with its tick: nothing fires again.
    timers.Advance(10 * TReopenFilesMenuFiller::ClickDelayMs);
    EXPECT_EQ(opened.size(), 1);
}

}  // namespace

// A form's placement in the session file, and the menu of recently used files.

#include "core/baAppCmpns.h"
#include "platform/plFormPlacement.h"
#include "platform/plTimer.h"
#include "support/testCases.h"
#include "ui/baAppWidgets.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct TRefusingForm : QWidget {
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

TEST(FormPlace, AFormWhoseCloseIsRefusedStillStoresItsPlacementRestoredClampedOnTheNextShow) {
    TSessionFile session;
    auto placed = [&](QWidget& form) {
        form.setObjectName(QStringLiteral("EditForm"));
        auto* place = new TFormPlace(form);  // owned by the form
        place->SetSessionFile(&session);
        place->KnotPath = QStringLiteral("Forms.Main");
    };
    const QRect screen = plVirtualScreen();
    const QPoint farAway = screen.bottomRight() + QPoint(5000, 5000);
    {
        TRefusingForm form;
        placed(form);
        form.resize(300, 200);
        form.show();
        form.move(farAway);
        EXPECT_FALSE(form.close());
        TKnot* knot = session.Root()->FindPath(u"Forms.Main.EditForm", false);
        ASSERT_NE(knot, nullptr);
        EXPECT_EQ(QPoint(knot->ReadInt(u"Left", 0), knot->ReadInt(u"Top", 0)), farAway);
    }
    QWidget next;
    placed(next);
    next.resize(100, 100);
    next.show();
    EXPECT_EQ(QRect(next.pos(), next.size()), QRect(screen.bottomRight() - QPoint(299, 199), QSize(300, 200)));
    // Shown again it stays where it is: the placement is restored once.
    next.hide();
    next.move(screen.topLeft() + QPoint(7, 9));
    next.show();
    EXPECT_EQ(next.pos(), screen.topLeft() + QPoint(7, 9));
}

TEST(ReopenItemCaption, Table) {
    for (const CaseRow& c : LoadCases("ui/appwidgets.txt", "ReopenCaption"))
        EXPECT_EQ(ReopenItemCaption(c["File"], c.Int("KeepExtension"), c.Int("FullPath")), c["Caption"]) << c.Text();
}

// A menu "Open | - | stale | - | Exit" and the recent files a, b, c.
class ReopenMenu : public ::testing::Test {
protected:
    void SetUp() override {
        recent.SetSessionFile(&session);
        for (const char* name : {"/docs/c.prm", "/docs/b.prm", "/docs/a.prm"}) recent.Add(QString::fromUtf8(name));
        menu.addAction(QStringLiteral("Open"));
        options.FirstAnchor = menu.addSeparator();
        menu.addAction(QStringLiteral("stale"));
        options.LastAnchor = menu.addSeparator();
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
    TReopenFilesMenuFiller filler;
    TReopenFilesMenuFiller::TFillOptions options;
};

TEST_F(ReopenMenu, ItemsReplaceWhatLiesBetweenTheAnchors) {
    QStringList created;
    options.OnItemCreated = [&](TReopenFilesMenuFiller&, const QString& fileName, QAction& item) {
        created << fileName + " " + item.statusTip();
    };
    const QPointer<QAction> stale = menu.actions()[2];
    filler.Fill(recent, menu, options);
    EXPECT_EQ(Texts(), (QStringList{"Open", "-", "a", "b", "c", "-", "Exit"}));
    EXPECT_TRUE(stale.isNull()) << "a removed item of the menu's own stays alive";
    EXPECT_EQ(created, (QStringList{"/docs/a.prm /docs/a.prm", "/docs/b.prm /docs/b.prm", "/docs/c.prm /docs/c.prm"}));
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
    EXPECT_EQ(Texts(), QStringList());
    EXPECT_FALSE(menu.menuAction()->isEnabled());
}

TEST_F(ReopenMenu, AClickRunsOnlyAfterTheTimerFired) {
    QStringList opened;
    filler.OnMenuItemClick = [&](TReopenFilesMenuFiller&, const QString& fileName) { opened << fileName; };
    filler.Fill(recent, menu, options);
    menu.actions()[3]->trigger();
    timers.Advance(TReopenFilesMenuFiller::ClickDelayMs - 1);
    EXPECT_TRUE(opened.isEmpty());
    timers.Advance(1);
    EXPECT_EQ(opened, QStringList{"/docs/b.prm"});
    EXPECT_EQ(timers.ActiveCount(), 0);  // the timer went with its tick
    timers.Advance(10 * TReopenFilesMenuFiller::ClickDelayMs);
    EXPECT_EQ(opened.size(), 1);
}

}  // namespace

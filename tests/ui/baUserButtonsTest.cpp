// User buttons on real widgets: groups, partners, clicks, dialog keys,
// automatic size, and how painter changes reach them.

#include "ui/baStyledPainter.h"
#include "ui/baUserButtons.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace user_buttons_test {

// A button that records the painter change flags it applies.
class TCountingButton : public TUserButton {
public:
    using TUserButton::TUserButton;
    std::vector<uint32_t> Changes;

protected:
    void PainterChanged(uint32_t flags) override {
        Changes.push_back(flags);
        TUserButton::PainterChanged(flags);
    }
};

class UserButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        painter.SetStyler(&styler);
        form.resize(300, 100);
    }
    // A button of the form served by the painter, counting its clicks.
    template <class T = TUserButton>
    T& Button(int group = 0) {
        auto* button = new T(&form);
        button->SetPainter(&painter);
        button->SetGroupIndex(group);
        button->move(int(form.children().size()) * 30, 0);
        button->OnClick = [this](QWidget& sender) { clicks.push_back(&sender); };
        return *button;
    }
    static void Enter(QWidget& button) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(&button, &enter);
    }
    static void Leave(QWidget& button) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
    }

    TPushStyler styler;
    TStyledPainter painter;
    QWidget form;
    std::vector<QWidget*> clicks;
};

TEST_F(UserButtonTest, TwoButtonsOfOneGroupExcludeEachOtherAndAllowAllUpLetsAClickUncheck) {
    TUserButton& a = Button(3);
    TUserButton& b = Button(3);
    TUserButton& other = Button(4);
    other.SetChecked(true);
    QTest::mouseClick(&a, Qt::LeftButton);
    EXPECT_TRUE(a.Checked());
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_TRUE(b.Checked());
    EXPECT_FALSE(a.Checked());
    EXPECT_TRUE(other.Checked());
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_TRUE(b.Checked()) << "without boAllowAllUp a checked group button stays down";
    a.SetOptions(boAllowAllUp);  // announced: the group takes it over
    EXPECT_TRUE(b.Options() & boAllowAllUp);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_FALSE(b.Checked());
    EXPECT_EQ(clicks.size(), 4u);
}

TEST_F(UserButtonTest, GroupZeroNeverChecks) {
    TUserButton& button = Button(0);
    button.SetChecked(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.Checked());
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(UserButtonTest, HoveringOnePartnerMarksBothHot) {
    TUserButton& a = Button();
    TUserButton& b = Button();
    TUserButton& c = Button();
    a.SetPartnerButton(&b);
    a.SetPartnerButton(&a);  // never its own partner
    EXPECT_EQ(a.PartnerButton(), nullptr);
    EXPECT_EQ(b.PartnerButton(), nullptr);
    b.SetPartnerButton(&a);
    EXPECT_EQ(a.PartnerButton(), &b);
    Enter(a);
    EXPECT_TRUE(b.Client().GetState() & psHot);
    EXPECT_FALSE(c.Client().GetState() & psHot);
    Leave(a);
    EXPECT_FALSE(b.Client().GetState() & psHot);
    c.SetPartnerButton(&b);  // b leaves a
    EXPECT_EQ(a.PartnerButton(), nullptr);
    Enter(c);
    EXPECT_TRUE(b.Client().GetState() & psHot);
    EXPECT_FALSE(a.Client().GetState() & psHot);
}

TEST_F(UserButtonTest, AReleaseAfterLeavingIsNoClick) {
    TUserButton& button = Button();
    QTest::mousePress(&button, Qt::LeftButton);
    Leave(button);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(button.Client().GetState() & psPressed, 0);
    QTest::mousePress(&button, Qt::LeftButton);
    QMouseEvent outside(QEvent::MouseMove, QPointF(-3, -3), QPointF(-3, -3), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &outside);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_TRUE(clicks.empty());
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseDClick(&button, Qt::LeftButton);  // a second press that came as a double click
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(UserButtonTest, AutoWidthFollowsTheSizeThePainterComputes) {
    TUserButton& button = Button();
    button.SetOptions(boAutoWidth | boAutoHeight);
    for (const QString& caption : {QStringLiteral("A much longer caption"), QStringLiteral("Ok")}) {
        button.SetCaption(caption);
        EXPECT_EQ(button.size(), painter.CalcSize(button.Client(), 0)) << caption.toStdString();
    }
    const int width = button.width();
    button.SetSignAt(spLeft, saArrowLeft);
    EXPECT_EQ(button.width(), width + painter.SignsSpacing());
}

TEST_F(UserButtonTest, OnePainterChangeReachesEveryButtonOnce) {
    std::vector<TCountingButton*> buttons{&Button<TCountingButton>(), &Button<TCountingButton>(),
                                          &Button<TCountingButton>()};
    for (TCountingButton* b : buttons) b->Changes.clear();
    painter.SetSpacing(9);
    styler.SetCursor(Qt::PointingHandCursor);
    for (TCountingButton* b : buttons) {
        EXPECT_EQ(b->Changes, (std::vector<uint32_t>{pcRepaint | pcResize, pcCursor}));
        EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
    }
}

TEST_F(UserButtonTest, FreeingAnImageListUnassignsIt) {
    auto list = std::make_unique<TImageList>(16, 16);
    painter.SetImages(list.get());
    TCountingButton& button = Button<TCountingButton>();
    button.SetImageIndex(0);
    button.Changes.clear();
    list.reset();
    EXPECT_EQ(painter.Images(), nullptr);
    EXPECT_EQ(button.Changes, std::vector<uint32_t>{pcRepaint | pcResize});
    EXPECT_FALSE(painter.HasImage(button.Client()));
}

// Below the button (ending at its right edge when right-aligned), or to its
// right when a right or centre sign points right.
TEST_F(UserButtonTest, ADropDownMenuPopsUpAtTheCornerTheSignsAndAlignmentGive) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TUserButton& button = Button();
    button.setGeometry(180, 10, 40, 22);
    button.show();
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    menu.addAction(QStringLiteral("A longer entry"));
    struct Case {
        TSignPosition position;
        TSignAt sign;
        bool rightAligned;
        QPoint corner;  // of the button, where the menu's top left (top right when right-aligned) goes
    };
    const Case cases[] = {{spRight, saArrowDown, false, {0, 22}}, {spRight, saArrowDown, true, {40, 22}},
                          {spRight, saArrowRight, true, {40, 0}}, {spCenter, saArrowRight, false, {40, 0}}};
    for (const Case& c : cases) {
        button.SetSignAt(spRight, saNone);
        button.SetSignAt(c.position, c.sign);
        button.SetDropDownMenu(&menu, c.rightAligned);
        clicks.clear();
        button.Click();
        ASSERT_TRUE(menu.isVisible());
        const QRect shown = menu.geometry();
        const bool endsThere = c.rightAligned && c.sign != saArrowRight;
        EXPECT_EQ(endsThere ? shown.topRight() + QPoint(1, 0) : shown.topLeft(), button.mapToGlobal(c.corner))
            << int(c.position) << " " << int(c.sign) << " " << c.rightAligned;
        EXPECT_EQ(clicks.size(), 1u) << "the click runs after the menu pops up";
        menu.hide();
    }
}

// The handler may keep the hint hidden, also from the parent's hint.
TEST_F(UserButtonTest, TheHintHandlerDecidesWhetherTheHintShows) {
    form.setToolTip(QStringLiteral("form"));
    TUserButton& button = Button();
    button.setToolTip(QStringLiteral("tip"));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    bool allow = false;
    QPoint asked;
    button.OnShowHint = [&](QWidget& sender, bool& canShow, QHelpEvent& hint) {
        EXPECT_EQ(&sender, &button);
        asked = hint.pos();
        canShow = allow;
    };
    for (const bool shows : {false, true}) {
        allow = shows;
        QHelpEvent help(QEvent::ToolTip, QPoint(3, 4), button.mapToGlobal(QPoint(3, 4)));
        QApplication::sendEvent(&button, &help);
        EXPECT_EQ(asked, QPoint(3, 4));
        EXPECT_EQ(QToolTip::isVisible(), shows);
        if (shows) {
            EXPECT_EQ(QToolTip::text(), QStringLiteral("tip"));
        }
        QToolTip::hideText();
    }
}

TEST_F(UserButtonTest, AnActionLinkCarriesCaptionStateGroupAndImage) {
    QAction action(QStringLiteral("Run"));
    action.setCheckable(true);
    action.setProperty("GroupIndex", 2);
    action.setProperty("ImageIndex", 1);
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    TUserButton& button = Button();
    TUserButton& sibling = Button(2);
    button.SetAction(&action);
    EXPECT_EQ(button.Caption(), QStringLiteral("Run"));
    EXPECT_EQ(button.GroupIndex(), 2);
    EXPECT_EQ(button.ImageIndex(), 1);
    sibling.SetChecked(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.Checked() && action.isChecked());
    EXPECT_FALSE(sibling.Checked());
    EXPECT_EQ(triggered, 1);
    action.setEnabled(false);
    EXPECT_FALSE(button.isEnabled());
}

// ---------------------------------------------------------------------------
// Win buttons in a dialog

class WinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.resize(300, 120);
        edit = new QLineEdit(&dialog);
        ok = Button(mrOk, 40);
        ok->SetDefault(true);
        cancel = Button(mrCancel, 120);
        cancel->SetCancel(true);
        other = Button(mrNone, 200);
        other->SetCaption(QStringLiteral("&Apply"));
    }
    TUserWinButton* Button(int modalResult, int x) {
        auto* button = new TUserWinButton(&dialog);
        button->move(x, 60);
        button->SetModalResult(modalResult);
        button->OnClick = [this](QWidget& sender) { clicks.push_back(&sender); };
        return button;
    }
    void Show() {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        edit->setFocus();
    }

    QDialog dialog;
    QLineEdit* edit = nullptr;
    TUserWinButton* ok = nullptr;
    TUserWinButton* cancel = nullptr;
    TUserWinButton* other = nullptr;
    std::vector<QWidget*> clicks;
};

TEST_F(WinButtonTest, EnterAndEscapeClickTheDefaultAndCancelButtons) {
    Show();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, std::vector<QWidget*>{ok});
    EXPECT_EQ(dialog.result(), int(mrOk));
    EXPECT_FALSE(dialog.isVisible());
    clicks.clear();
    Show();
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(clicks, std::vector<QWidget*>{cancel}) << "the cancel button's handler runs";
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    clicks.clear();
    Show();
    QTest::keyClick(edit, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(WinButtonTest, FocusedButtonTakesEnterAndShowsTheDefaultLook) {
    Show();
    EXPECT_TRUE(ok->Client().IsDefault());
    EXPECT_FALSE(other->Client().IsDefault());
    other->setFocus();
    EXPECT_TRUE(other->Client().IsDefault());
    EXPECT_FALSE(ok->Client().IsDefault()) << "the focus is on another button";
    QTest::keyClick(other, Qt::Key_Return);
    EXPECT_EQ(clicks, std::vector<QWidget*>{other});
    EXPECT_TRUE(dialog.isVisible()) << "no modal result";
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(clicks.size(), 2u) << "the caption's mnemonic";
}

TEST_F(WinButtonTest, APressOnAnUnfocusedButtonTakesTheFocusFirst) {
    Show();
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(clicks, std::vector<QWidget*>{other});
    other->setFocusPolicy(Qt::NoFocus);
    cancel->setFocus();
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(clicks.size(), 2u);
}

}  // namespace user_buttons_test

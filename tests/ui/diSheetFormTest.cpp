// The sheet form on a real scheme (a box holding a rich text with logic frames
// and a drop-down), driven with QTest's keys and clicks: the owner sees keys
// first, unconsumed keys beep once, the drop-down window takes only its
// navigation keys (also when the platform activates it), undo never falls
// back to redo, find (through logic frames, both ways) and replace count and
// report, going to elements, collapsing as one undo step and one layout of
// the text (its undo, and the undo of a replace-all in one long paragraph,
// too), pixels of a scrolled form with its caret, keys that resize the
// content repainting only what changed (the screen equal to a full repaint),
// the hint asked again while up and cut to the screen; the pure parts
// (multi-click counting, drop-down placement) by tables; the edit actions'
// pictures. The review pictures
// "forms-review-dropdown.png" and "forms-review-scrolled.png" go into the
// build folder.

#include "ui/diSheetForm.h"

#include "elements/diCommonElements.h"
#include "elements/diSimpleElements.h"
#include "platform/plClock.h"
#include "platform/plDialogs.h"
#include "platform/plTimer.h"
#include "scheme/diClasses.h"
#include "support/imageCompare.h"
#include "support/testEnglish.h"
#include "support/testScreen.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"
#include "ui/baHintWindow.h"
#include "ui/baSaper.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSet>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

// A rich text on the form's sheet that takes logic frames.
class TElement_FormText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_FormText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent);
        SetRestrictions(trAllCharacters);
    }
    void TreePlacementChanged() override {
        TTextorElement::TreePlacementChanged();
        if (!VisualParent()) SetVisualParent(static_cast<TVisualElement*>(Parent()));
    }
    void BoundsChanged(const TRect& oldRect, int oldDescent) override {
        ++BoundsChanges;
        TTextorElement::BoundsChanged(oldRect, oldDescent);
    }
    int BoundsChanges = 0;
};
T_ELEMENT_CLASS_IMPL(TElement_FormText, TTextorElement)

// A box whose find step names its partner as the next element to search,
// however often it is asked: a walk that goes round.
class TElement_LoopingFind : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_LoopingFind)
public:
    bool FindFocusableWithin(TFindMode, const TFindData&, TVisualElement*& next, bool) override {
        ++Searches;
        next = Partner;
        return false;
    }
    TVisualElement* Partner = nullptr;
    int Searches = 0;
};
T_ELEMENT_CLASS_IMPL(TElement_LoopingFind, TElement_TestBox)

namespace {

int g_beeps = 0;
void CountBeep() { ++g_beeps; }

// A request that counts its "not found" reports instead of showing a box.
struct TCountingFind : TFindData {
    using TFindData::TFindData;
    void ReportNotFound() const override { ++Reports; }
    mutable int Reports = 0;
};

void SaveReview(const QImage& image, const char* name) {
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

class SheetForm : public ::testing::Test, public TSheetFixture {
protected:
    SheetForm() : previousBeep(InstallBeep(&CountBeep)), dialogsGuard(&dialogs), previousClock(TClock::Install(&clock)) {
        g_beeps = 0;
        settings->CreateProperties();
        text = TElement::CreateIn<TElement_FormText>(scheme.get(), root);
        text->SetText(QStringLiteral("alpha a beta a gamma"));
        Layout();
        form = std::make_unique<TSheetForm>(nullptr, settings.get());
        form->resize(320, 200);
        form->AttachSheet(scheme.get(), &sheet);
        form->OnKeyDown = [this](TSheetForm&, int& key, TShiftState) { OwnerKeys << key; };
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        Box().setFocus();
        text->FocusText(TTextFocusPlace::Start);
        history.Clear();
    }
    ~SheetForm() override {
        form.reset();
        TClock::Install(previousClock);
        InstallBeep(previousBeep);
    }
    TRangeBox& Box() const { return form->RangeBox(); }
    void Press(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&Box(), Qt::Key(qtKey), modifiers);
    }
    TElement_LogicFrame* AddFrame(const QString& caption) {
        auto* frame = static_cast<TElement_LogicFrame*>(text->AddElementOfClass(TElement_LogicFrame::StaticClass()));
        frame->Caption()->SetText(caption);
        return frame;
    }

    TEnglishTexts english;
    TBeepFunction previousBeep;
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsGuard;
    TManualClock clock;
    const TClock* previousClock;
    TNodePtr<TSheetFormSettings> settings = TProperty::CreateRoot<TSheetFormSettings>(QStringLiteral("SheetForm"));
    TElement_FormText* text = nullptr;
    std::unique_ptr<TSheetForm> form;
    QList<int> OwnerKeys;
};

TEST_F(SheetForm, CtrlZWithNothingToUndoNeverRedoesAndCtrlShiftZRedoes) {
    text->ReplaceText(QStringLiteral("changed"));
    history.Undo();
    ASSERT_TRUE(history.CanRedo());
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gamma"));
    EXPECT_TRUE(history.CanRedo());
    Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(text->GetText(), QStringLiteral("changed"));
}

TEST_F(SheetForm, UnconsumedShiftLeftBeepsOnceAfterTheOwnerDeclinedItTwice) {
    root->SetFocus();  // the box takes no key and has no neighbour to move to
    Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(g_beeps, 1);
    EXPECT_EQ(OwnerKeys.count(vkLeft), 2);
}

TEST_F(SheetForm, CtrlLetterTypesNothingAndOwnerConsumedKeyNeverReachesTheSheet) {
    Press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gamma"));
    EXPECT_EQ(g_beeps, 0);
    form->OnKeyDown = [](TSheetForm&, int& key, TShiftState) { key = key == 'Q' ? vkNone : key; };
    Press(Qt::Key_Q);
    Press(Qt::Key_W);
    EXPECT_EQ(text->GetText(), QStringLiteral("walpha a beta a gamma"));
}

TEST_F(SheetForm, OpenListTakesUpAndDownButLeftRightAndShiftDownGoToTheSheet) {
    auto* dropDown = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    dropDown->SetVisualParent(root);
    Layout();
    dropDown->FocusFirst();
    if (!sheet.DropDown()) dropDown->OpenDropDown();
    TDropDownControl* list = form->DropDownControl();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_FALSE(list->isActiveWindow());
    int listKeys = 0;
    struct TCounter : QObject {
        int& count;
        explicit TCounter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            count += e->type() == QEvent::KeyPress;
            return false;
        }
    } counter(listKeys);
    list->installEventFilter(&counter);
    Press(Qt::Key_Down);
    Press(Qt::Key_Up);
    EXPECT_EQ(listKeys, 2);
    for (auto [key, modifiers] : {std::pair{Qt::Key_Left, Qt::NoModifier}, std::pair{Qt::Key_Right, Qt::NoModifier},
                                  std::pair{Qt::Key_Down, Qt::ShiftModifier}})
        if (form->DropDownControl()) Press(key, modifiers);
    EXPECT_EQ(listKeys, 2);
}

// The offscreen platform, as some window managers, activates the list window
// when it shows: the list stays open and the form keeps the keys.
TEST_F(SheetForm, ListWindowActivatedByThePlatformStaysOpenAndTheFormKeepsTheKeys) {
    auto* dropDown = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    dropDown->SetVisualParent(root);
    Layout();
    dropDown->FocusFirst();
    if (!sheet.DropDown()) dropDown->OpenDropDown();
    ASSERT_NE(form->DropDownControl(), nullptr);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_NE(sheet.DropDown(), nullptr);
    EXPECT_TRUE(Box().hasFocus());
    Press(Qt::Key_Down);
    Press(Qt::Key_Return);
    EXPECT_EQ(sheet.DropDown(), nullptr);
    EXPECT_EQ(dropDown->Value, QStringLiteral("Beta"));
}

// A click on a row of the open list: press and release at x in the row, the release moved by releaseShift.
void ClickRow(TDropDownControl& list, int row, int x, QPoint releaseShift = QPoint()) {
    const QPoint at(x, list.visualItemRect(list.item(row)).center().y());
    for (auto [type, point] : {std::pair{QEvent::MouseButtonPress, at}, std::pair{QEvent::MouseButtonRelease, at + releaseShift}}) {
        QMouseEvent event(type, point, list.viewport()->mapToGlobal(point), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &event);
    }
}

TEST_F(SheetForm, ListClickTogglesInTheExpandZoneChoosesInsideAndClosesOutsideWithoutChoosing) {
    auto* dropDown = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    dropDown->SetVisualParent(root);
    Layout();
    dropDown->FocusFirst();
    if (!sheet.DropDown()) dropDown->OpenDropDown();
    ASSERT_NE(form->DropDownControl(), nullptr);
    const int rows = form->DropDownControl()->count();
    const int height = form->DropDownControl()->height();
    ClickRow(*form->DropDownControl(), 1, 5);  // "Beta": its expand zone
    ASSERT_NE(form->DropDownControl(), nullptr);
    EXPECT_EQ(form->DropDownControl()->count(), rows + 2);
    EXPECT_GE(form->DropDownControl()->height(), height);
    EXPECT_TRUE(dropDown->Value.isEmpty());
    ClickRow(*form->DropDownControl(), 0, 40);  // "Alpha"
    EXPECT_EQ(dropDown->Value, QStringLiteral("Alpha"));
    EXPECT_EQ(sheet.DropDown(), nullptr);
    dropDown->OpenDropDown();
    ASSERT_NE(form->DropDownControl(), nullptr);
    ClickRow(*form->DropDownControl(), 2, 40, QPoint(0, 400));  // "Gamma", released far below the window
    EXPECT_EQ(sheet.DropDown(), nullptr);
    EXPECT_EQ(dropDown->Value, QStringLiteral("Alpha"));
}

TEST_F(SheetForm, DropDownListRowsHotTrackingAndSideHintForReview) {
    auto* dropDown = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    dropDown->SetVisualParent(root);
    Layout();
    dropDown->FocusFirst();
    if (!sheet.DropDown()) dropDown->OpenDropDown();
    TDropDownControl* list = form->DropDownControl();
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->count(), 3);
    list->ItemOfRow(1)->Hint = QStringLiteral("The second item, with a hint at the side");
    const QPoint over = list->visualItemRect(list->item(1)).center();
    QMouseEvent move(QEvent::MouseMove, over, list->viewport()->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_TRUE(list->SideHint().isVisible());
    EXPECT_EQ(list->SideHint().geometry().left(), list->geometry().right() + 1);
    QImage review(form->width() + list->width() + list->SideHint().width() + 8, form->height() + list->height(),
                  QImage::Format_ARGB32_Premultiplied);
    review.fill(Qt::white);
    QPainter painter(&review);
    const QPoint origin = form->mapToGlobal(QPoint(0, 0));
    painter.drawPixmap(0, 0, form->grab());
    painter.drawPixmap(list->pos() - origin, list->grab());
    painter.drawPixmap(list->SideHint().pos() - origin, list->SideHint().grab());
    painter.end();
    SaveReview(review, "forms-review-dropdown.png");
}

TEST_F(SheetForm, AMenuTakingTheKeysLeavesTheSheetActive) {
    ASSERT_TRUE(sheet.Active());
    QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(&Box(), &toMenu);
    EXPECT_TRUE(sheet.Active());
    QFocusEvent away(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&Box(), &away);
    EXPECT_FALSE(sheet.Active());
}

TEST_F(SheetForm, HintOfTheElementUnderTheMouseInOurOwnWindowOncePerElementAndOnlyWithShowHints) {
    TElement_LogicFrame* frame = AddFrame(QStringLiteral("f"));
    Layout();
    TVisualElement* button = frame->ExpandButton();
    const QPoint inBox = Box().viewport()->mapTo(
        &Box(), Box().ContentToClient(button->ClientToSheet(QPoint(button->Width() / 2, button->Height() / 2))));
    const auto hover = [&] {
        QHelpEvent help(QEvent::ToolTip, inBox, Box().mapToGlobal(inBox));
        QCoreApplication::sendEvent(&Box(), &help);
    };
    hover();
    ASSERT_TRUE(form->Hint().isVisible());
    QString expected;
    button->GetHint(expected);
    EXPECT_EQ(form->Hint().Text(), expected);
    form->Hint().ReleaseHint();
    hover();  // the same element again: asked with an empty text, nothing shows
    EXPECT_FALSE(form->Hint().isVisible());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&Box(), &leave);
    settings->ShowHints()->SetValue(false);
    hover();
    EXPECT_FALSE(form->Hint().isVisible());
}

// Once a hint is up, the hint is asked for again every 165 ms at the cursor:
// the next element's hint follows the mouse without a rest, the same element
// is asked with an empty text, and leaving the box ends the asking.
TEST_F(SheetForm, HintIsAskedAgainEvery165MsAtTheCursorUntilTheMouseLeaves) {
    TManualTimerService timers;
    TTimerServiceInstaller installed(&timers);
    TElement_LogicFrame* first = AddFrame(QStringLiteral("f"));
    TElement_LogicFrame* second = AddFrame(QStringLiteral("g"));
    Layout();
    auto centre = [this](TVisualElement* e) {
        return Box().viewport()->mapToGlobal(
            Box().ContentToClient(e->ClientToSheet(QPoint(e->Width() / 2, e->Height() / 2))));
    };
    const QPoint a = centre(first->ExpandButton()), b = centre(second->ExpandButton());
    ASSERT_NE(a, b);
    QCursor::setPos(a);
    QHelpEvent help(QEvent::ToolTip, Box().mapFromGlobal(a), a);
    QCoreApplication::sendEvent(&Box(), &help);
    ASSERT_TRUE(form->Hint().isVisible());
    form->Hint().ReleaseHint();
    QCursor::setPos(b);
    timers.Advance(TSheetForm::kHintReshowMs - 1);
    EXPECT_FALSE(form->Hint().isVisible()) << "not yet";
    timers.Advance(1);
    EXPECT_TRUE(form->Hint().isVisible()) << "the next element";
    form->Hint().ReleaseHint();
    timers.Advance(TSheetForm::kHintReshowMs);
    EXPECT_FALSE(form->Hint().isVisible()) << "the same element: once";
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&Box(), &leave);
    QCursor::setPos(a);
    timers.Advance(2 * TSheetForm::kHintReshowMs);
    EXPECT_FALSE(form->Hint().isVisible()) << "no more asking";
}

// An element's hint may hold a huge name (one long word) or description
// (many lines): the hint window stays within the width and the screen.
TEST(SheetFormHint, AHugeTextStaysWithinTheWidthAndTheScreen) {
    THintWindow hint;
    constexpr int kWidth = 300;
    const QString name(100000, QLatin1Char('n'));
    const QString description = QStringList(20000, QStringLiteral("word")).join(QLatin1Char(' '));
    const int screenHeight = QGuiApplication::primaryScreen()->availableGeometry().height();
    for (const QString& text : {name, description}) {
        const QRect rect = hint.CalcHintRect(kWidth, text);
        EXPECT_LE(rect.width(), kWidth);
        EXPECT_LE(rect.height(), screenHeight);
    }
    EXPECT_LT(hint.CalcHintRect(kWidth, QStringLiteral("short")).width(), kWidth);
}

TEST(SheetFormClicks, PressesOneToFiveAndARightPressOnAManualClock) {
    constexpr int kInterval = 500, kThreshold = 4;
    TClickCounter counter;
    struct TPress {
        int atMs, x;
        bool left;
        int count, clicks;
    } presses[] = {
        {0, 10, true, 0, 0},    {100, 12, true, 2, 2},  {200, 10, true, 3, 3},   {300, 10, true, 4, 4},
        {400, 10, true, 5, 0},  {450, 10, false, 0, 0}, {500, 10, true, 2, 2},   {600, 20, true, 0, 0},
        {1200, 20, true, 0, 0}, {1300, 24, true, 2, 2}, {1799, 24, true, 3, 3},
    };
    for (const TPress& p : presses) {
        const int count = counter.Press(QPoint(p.x, 5), p.atMs, p.left, kInterval, kThreshold);
        EXPECT_EQ(count, p.count) << p.atMs;
        EXPECT_EQ(SheetClicksForCount(count), p.clicks) << p.atMs;
    }
}

// The edit actions carry their pictures, each its own cell of the strip the
// resource script draws, and every entry of the popup shows one (its own
// Undo entry the undo picture).
TEST_F(SheetForm, EditActionsAndPopupEntriesShowTheirPicturesFromTheStrip) {
    constexpr int kSize = TSheetForm::kEditPictureSize;
    const QImage strip(QStringLiteral(":/rc/SheetFormEdit.png"));
    ASSERT_EQ(strip.height(), kSize);
    const auto shown = [](const QAction& action) { return action.icon().pixmap(kSize).toImage(); };
    QSet<int> cells;
    for (int i = 0; i < int(TSheetAction::Count); ++i) {
        const QAction& action = form->Action(TSheetAction(i));
        const int cell = SheetActionPicture(TSheetAction(i));
        SCOPED_TRACE(i);
        if (cell < 0) {
            EXPECT_TRUE(action.icon().isNull());
            continue;
        }
        EXPECT_FALSE(cells.contains(cell));
        cells.insert(cell);
        ASSERT_LE((cell + 1) * kSize, strip.width());
        EXPECT_TRUE(SamePremultiplied(shown(action), strip.copy(cell * kSize, 0, kSize, kSize)));
    }
    EXPECT_EQ(cells.size(), 8);
    for (const QAction* entry : form->EditMenu().actions())
        if (!entry->isSeparator()) {
            EXPECT_FALSE(entry->icon().isNull()) << entry->text().toStdString();
        }
    EXPECT_TRUE(SamePixels(shown(*form->EditMenu().actions().first()), shown(form->Action(TSheetAction::EditUndo))));
}

TEST_F(SheetForm, ReadOnlySheetKeepsUndoOnlyForAnOperationThatChangesNoData) {
    TElement_LogicFrame* frame = AddFrame(QStringLiteral("f"));
    history.Clear();
    frame->ExpandButton()->ChangeExpanded(false);
    sheet.SetReadOnly(true);
    EXPECT_TRUE(form->Action(TSheetAction::EditUndo).isEnabled());
    sheet.SetReadOnly(false);
    text->ReplaceText(QStringLiteral("x"));
    sheet.SetReadOnly(true);
    EXPECT_FALSE(form->Action(TSheetAction::EditUndo).isEnabled());
}

TEST_F(SheetForm, ReplaceAllCountsReplacementsAndReportsNoMatchWithoutACountBox) {
    TCountingFind missing(QStringLiteral("zzz"));
    EXPECT_EQ(form->Replace(missing, QStringLiteral("y"), true, true), 0);
    EXPECT_EQ(missing.Reports, 1);
    EXPECT_TRUE(dialogs.Boxes.empty());
    text->FocusText(TTextFocusPlace::Start);  // the failed search went through to the last element
    TCountingFind request(QStringLiteral("a"));
    request.Scope = text;
    EXPECT_EQ(form->Replace(request, QStringLiteral("aa"), true, true), 7);
    EXPECT_EQ(text->GetText(), QStringLiteral("aalphaa aa betaa aa gaammaa"));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(QStringLiteral("7"))) << dialogs.Boxes[0].Text.toStdString();
    history.Undo();
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gamma"));  // one undo step
}

TEST_F(SheetForm, ReplaceAllCountsOnlyReplacementsMadeInATextThatRefusesThem) {
    text->SetVisualOptions(text->VisualOptions() | voReadOnly);
    TCountingFind request(QStringLiteral("a"));
    request.Scope = text;
    EXPECT_EQ(form->Replace(request, QStringLiteral("aa"), true, true), 0);
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gamma"));
    EXPECT_EQ(request.Reports, 1);
    EXPECT_TRUE(dialogs.Boxes.empty());
}

// A search that leaves a logic frame's parts comes back to the text holding
// the frame, which goes on behind the frame (before it, upward) instead of
// from its start, where it would meet the frame again and again.
TEST_F(SheetForm, FindGoesOnInTheTextBehindALogicFrameBothWaysAndEndsWithoutAMatch) {
    TElement_LogicFrame* frame = AddFrame(QStringLiteral("f"));
    text->FocusText(TTextFocusPlace::End);
    for (Qt::Key key : {Qt::Key_Z, Qt::Key_E, Qt::Key_T, Qt::Key_A}) Press(key);
    TCountingFind after(QStringLiteral("zeta"));
    after.Scope = root;
    text->FocusText(TTextFocusPlace::Start);
    EXPECT_TRUE(form->Find(TFindMode::SkipMatchingSelection, after, true));
    EXPECT_EQ(sheet.Focused(), text);
    EXPECT_EQ(text->Interactive()->GetSelectedText(), QStringLiteral("zeta"));
    TCountingFind before(QStringLiteral("gamma"));
    before.Scope = root;
    frame->Caption()->SetFocus();
    EXPECT_TRUE(form->Find(TFindMode::SkipMatchingSelection, before, false));
    EXPECT_EQ(text->Interactive()->GetSelectedText(), QStringLiteral("gamma"));
    TCountingFind missing(QStringLiteral("omega"));
    for (bool down : {true, false}) {
        frame->Caption()->SetFocus();
        EXPECT_FALSE(form->Find(TFindMode::SkipMatchingSelection, missing, down));
    }
    EXPECT_EQ(missing.Reports, 2);
}

// A walk that goes round without coming back to the first element searched
// ends after as many steps as the sheet could show elements, not never.
TEST_F(SheetForm, FindWalkGoingRoundWithoutTheFirstElementEnds) {
    auto* first = TElement::CreateIn<TElement_LoopingFind>(scheme.get(), root);
    auto* a = TElement::CreateIn<TElement_LoopingFind>(scheme.get(), root);
    auto* b = TElement::CreateIn<TElement_LoopingFind>(scheme.get(), root);
    first->Partner = a;
    a->Partner = b;
    b->Partner = a;
    Layout();
    first->SetFocus();
    TCountingFind request(QStringLiteral("nowhere"));
    EXPECT_FALSE(form->Find(TFindMode::SkipMatchingSelection, request, true));
    EXPECT_EQ(request.Reports, 1);
    EXPECT_EQ(first->Searches, 1);
    EXPECT_GT(a->Searches, 1);
    EXPECT_LE(a->Searches + b->Searches, 2 * scheme->ElementCount() + TSheetForm::kFindStepSlack);
}

TEST_F(SheetForm, GoToElementsCountsFoundOnesAndReportsAMissingNumber) {
    TElement_LogicFrame* frame = AddFrame(QStringLiteral("f"));
    const int missing = frame->Number() + 100000;
    EXPECT_EQ(form->GoToElements({frame->Number(), missing}), 1);
    EXPECT_TRUE(frame->IsSelected());
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(dialogs.Boxes[0].Text.contains(QString::number(missing)));
}

TEST_F(SheetForm, CollapseAllIsOneUndoStep) {
    TElement_LogicFrame* frames[] = {AddFrame(QStringLiteral("f1")), AddFrame(QStringLiteral("f2"))};
    history.Clear();
    form->CollapseExpandAll(false, false);
    for (auto* frame : frames) EXPECT_FALSE(frame->ExpandButton()->Expanded());
    history.Undo();
    for (auto* frame : frames) EXPECT_TRUE(frame->ExpandButton()->Expanded());
    EXPECT_FALSE(history.CanUndo());
}

// The text holding the frames lays out once, not once per frame (which made
// collapsing N frames cost N re-layouts of everything below them), and ends
// where a full layout puts it.
TEST_F(SheetForm, CollapseAllLaysOutTheTextHoldingTheFramesOnce) {
    for (int i = 0; i < 5; ++i) text->AddElementOfClass(TElement_LogicFrame::StaticClass(), true);
    Layout();
    const int expandedHeight = text->Height();
    text->BoundsChanges = 0;
    form->CollapseExpandAll(false, false);
    EXPECT_EQ(text->BoundsChanges, 1);
    const TRect collapsed = text->GetClientRect();
    EXPECT_LT(collapsed.Height(), expandedHeight);
    Layout();
    EXPECT_EQ(text->GetClientRect(), collapsed);
}

// Undoing the collapse, one step of five button changes, lays the text out
// once too, not once per button.
TEST_F(SheetForm, UndoOfCollapseAllLaysOutTheTextHoldingTheFramesOnce) {
    for (int i = 0; i < 5; ++i) text->AddElementOfClass(TElement_LogicFrame::StaticClass(), true);
    Layout();
    const TRect expanded = text->GetClientRect();
    form->CollapseExpandAll(false, false);
    text->BoundsChanges = 0;
    form->Action(TSheetAction::EditUndo).trigger();
    EXPECT_EQ(text->BoundsChanges, 1);
    EXPECT_EQ(text->GetClientRect(), expanded);
    Layout();
    EXPECT_EQ(text->GetClientRect(), expanded);
}

// Every edit of a replace-all's undo step laid the whole long paragraph out
// again: undoing N replacements in it cost N layouts of it.
TEST_F(SheetForm, UndoOfReplaceAllInOneLongParagraphLaysItOutOnce) {
    constexpr int kWords = 300;
    const QString original = QStringList(kWords, QStringLiteral("ab")).join(QLatin1Char(' '));
    text->SetText(original);
    Layout();
    ASSERT_GT(text->Textor()->FirstParagraph()->RowCount(), 5);  // wrapped into many rows
    text->FocusText(TTextFocusPlace::Start);
    history.Clear();
    TCountingFind request(QStringLiteral("ab"));
    request.Scope = text;
    ASSERT_EQ(form->Replace(request, QStringLiteral("abc"), true, true), kWords);
    const uint32_t before = text->Textor()->RowsGeneration();
    form->Action(TSheetAction::EditUndo).trigger();
    EXPECT_EQ(text->GetText(), original);
    EXPECT_LE(text->Textor()->RowsGeneration() - before, 2u);
    const TRect undone = text->GetClientRect();
    Layout();
    EXPECT_EQ(text->GetClientRect(), undone);
}

// Backspace selects the character before the caret and deletes the
// selection: the edit commands were enabled for that selection and disabled
// again, and the caret moved twice, at every Backspace.
TEST_F(SheetForm, BackspaceShowsNoSelectionOnTheWayToTheDeletion) {
    text->FocusText(TTextFocusPlace::End);
    QAction& cut = form->Action(TSheetAction::EditCut);
    ASSERT_FALSE(cut.isEnabled());
    int changes = 0;
    QObject counter;
    QObject::connect(&cut, &QAction::changed, &counter, [&changes] { ++changes; });
    Press(Qt::Key_Backspace);
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gamm"));
    EXPECT_FALSE(cut.isEnabled());
    EXPECT_EQ(changes, 0);
}

// A text whose layout waits for the hold and that goes before the hold
// closes is let go: nothing lays out a freed text, and the rest lays out.
TEST_F(SheetForm, TextFreedWhileItsLayoutIsHeldIsLetGo) {
    TElement_LogicFrame* frame = AddFrame(QStringLiteral("caption"));
    Layout();
    {
        TSheetLayoutHold hold(&sheet);
        frame->Caption()->ReplaceText(QStringLiteral("a much longer caption than before"));
        EXPECT_TRUE(frame->Caption()->IsLayoutHeld());
        text->SetText(QStringLiteral("short"));  // the frame and its caption go
    }
    EXPECT_EQ(text->GetText(), QStringLiteral("short"));
    const TRect held = text->GetClientRect();
    Layout();
    EXPECT_EQ(text->GetClientRect(), held);
}

TEST_F(SheetForm, ScrolledFormShowsTheContentAtItsNewPlaceAndTheCaretForReview) {
    text->SetText(QStringList(60, QStringLiteral("line of text")).join(QStringLiteral("\r\n")));
    Layout();
    ASSERT_GT(sheet.GetContentHeight(), Box().GetVisibleSize().height() * 2);
    constexpr int kScroll = 120;
    Box().SetScrollPosition(QPoint(0, kScroll));
    EXPECT_EQ(sheet.ScreenPos(), QPoint(0, kScroll));
    text->FocusText(TTextFocusPlace::Data, QStringLiteral("10,0,10,5"));
    QCoreApplication::processEvents();
    const QImage shown = Box().viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QSize size = Box().GetVisibleSize();
    const QImage expected = sheet.PaintToImage(TRect{0, kScroll, size.width(), kScroll + size.height()});
    int differing = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) differing += shown.pixel(x, y) != expected.pixel(x, y);
    // Only the caret (and the selection's edge) differ from the sheet's own picture.
    EXPECT_LT(differing, size.height() * 4);
    // The caret is drawn at its place in the scrolled view.
    const TRect caret = sheet.CaretRect();
    ASSERT_FALSE(caret.IsEmpty());
    int caretDiffering = 0;
    for (int y = qMax(0, caret.Top - kScroll); y < qMin(size.height(), caret.Bottom - kScroll); ++y)
        for (int x = qMax(0, caret.Left); x < qMin(size.width(), caret.Right); ++x)
            caretDiffering += shown.pixel(x, y) != expected.pixel(x, y);
    EXPECT_GE(caretDiffering, caret.Height() / 2);
    SaveReview(shown, "forms-review-scrolled.png");
}

// Keys that widen and narrow the content repaint what changed, not the whole
// view (the content size reaches the box's range and bars without a full
// repaint), and the screen then shows what a full repaint of the sheet shows.
TEST_F(SheetForm, TypingThatResizesTheContentRepaintsOnlyWhatChangedAndMatchesAFullRepaint) {
    QWidget& view = *Box().viewport();
    QRegion painted;
    struct TPaintSpy : QObject {
        QRegion* Painted;
        explicit TPaintSpy(QRegion* painted) : Painted(painted) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) *Painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } spy(&painted);
    view.installEventFilter(&spy);
    // On the sheet's root, whose size follows the text's.
    text->SetVisualParent(sheet.Root());
    Layout();
    text->FocusText(TTextFocusPlace::End);
    QCoreApplication::processEvents();
    const QRegion whole(view.rect());
    QSet<QSize> contentSizes;
    for (int key : {Qt::Key_W, Qt::Key_I, Qt::Key_D, Qt::Key_E, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Return,
                    Qt::Key_M, Qt::Key_Backspace, Qt::Key_Backspace}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        painted = QRegion();
        Press(key);
        QCoreApplication::processEvents();
        EXPECT_FALSE(painted.isEmpty());
        EXPECT_NE(painted.intersected(whole), whole) << "the whole view";
        contentSizes.insert(QSize(sheet.GetContentWidth(), sheet.GetContentHeight()));
        EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view)));
    }
    EXPECT_EQ(text->GetText(), QStringLiteral("alpha a beta a gammawi"));
    EXPECT_GE(contentSizes.size(), 4) << "the keys changed the content's size";
    view.removeEventFilter(&spy);
}

// Typing a letter and taking it back in a line wider than the view changes
// the content's width at every key: the scroll bars are not repainted (the
// range keeps its slack), only a part of the view is, what lies right of the
// edited text shows as a full repaint shows it, and the content's right edge
// stays within reach.
TEST_F(SheetForm, KeysInALineWiderThanTheViewRepaintNeitherScrollBar) {
    struct TPaintSpy : QObject {
        QRegion Painted;
        int Paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() != QEvent::Paint) return false;
            ++Paints;
            Painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } view, horizontal, vertical;
    text->SetTextorOptions(text->TextorOptions() | toMaxWidthUnbounded);
    text->SetText(QStringLiteral("a line that is not wrapped and is wider than the view of the form"));
    text->SetVisualParent(sheet.Root());  // whose size follows the text's
    Layout();
    text->FocusText(TTextFocusPlace::End);
    QCoreApplication::processEvents();
    ASSERT_GT(sheet.GetContentWidth(), Box().GetVisibleSize().width());
    ASSERT_TRUE(Box().horizontalScrollBar()->isVisible());
    Press(Qt::Key_Q);
    Press(Qt::Key_Backspace);
    QCoreApplication::processEvents();
    Box().viewport()->installEventFilter(&view);
    Box().horizontalScrollBar()->installEventFilter(&horizontal);
    Box().verticalScrollBar()->installEventFilter(&vertical);
    const QRegion whole(Box().viewport()->rect());
    QSet<int> widths;
    for (int key : {Qt::Key_Q, Qt::Key_Backspace, Qt::Key_Q, Qt::Key_Backspace}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        view.Painted = QRegion();
        Press(key);
        QCoreApplication::processEvents();
        widths.insert(sheet.GetContentWidth());
        EXPECT_FALSE(view.Painted.isEmpty());
        EXPECT_NE(view.Painted.intersected(whole), whole) << "the whole view";
        EXPECT_GE(Box().HorizontalLimits().Max + Box().GetVisibleSize().width(), sheet.GetContentWidth());
        EXPECT_TRUE(SamePixels(OnScreen(*Box().viewport()), FullyRepainted(*Box().viewport())));
    }
    EXPECT_EQ(widths.size(), 2u) << "the keys changed the content's width";
    EXPECT_EQ(horizontal.Paints + vertical.Paints, 0);
}

TEST(SheetFormDropDownPlacement, RowsSidesShrinkingAndMovingLeftWithinTheAnchorsScreen) {
    const TRect screen{0, 0, 1000, 700};
    struct TCase {
        const char* what;
        int rows, listWidth;
        TRect anchor, screen, expected;
    } cases[] = {
        {"1 row below", 0, 0, {100, 100, 200, 118}, screen, {100, 118, 150, 133}},
        {"17 rows at most", 40, 84, {100, 100, 200, 118}, screen, {100, 118, 202, 341}},
        {"above and shrunk", 40, 84, {100, 150, 200, 168}, {0, 0, 1000, 260}, {100, 5, 202, 150}},
        {"moved left", 3, 184, {900, 100, 980, 118}, screen, {798, 118, 1000, 159}},
        {"within the second screen", 3, 184, {1900, 100, 1980, 118}, {1000, 0, 2000, 700}, {1798, 118, 2000, 159}},
    };
    for (const TCase& c : cases) {
        TDropDownMetrics metrics;
        metrics.ItemHeight = 13;
        metrics.RowCount = c.rows;
        metrics.ListWidth = c.listWidth;
        EXPECT_EQ(PlaceDropDown(metrics, c.anchor, c.screen), c.expected) << c.what;
    }
    EXPECT_EQ(GrowDropDown(TRect{10, 10, 110, 210}, TRect{20, 5, 60, 50}), (TRect{10, 5, 110, 205}));
}

}  // namespace

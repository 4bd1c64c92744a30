#include "scheme/diSheet.h"

#include "core/cuKnot.h"
#include "platform/plTimer.h"
#include "support/testLog.h"
#include "visualFixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// ---------------------------------------------------------------------------
// The update bracket

TEST(SheetUpdate, WorksOffHeldBackNotificationsInTheFixedOrder) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    a->Focus();
    b->CaretKindShown = ckFocusRect;
    TSheetRecorder rec(&f.sheet);
    f.sheet.BeginUpdate();
    f.sheet.InvalidateAll();
    f.sheet.NotifyFocusedElement();
    f.sheet.NotifyEditState();
    b->Focus();  // focus changed, caret changed
    f.sheet.NotifyFocusState();
    f.sheet.NotifyFocusedContent();
    f.root->SetSize(500, 500);  // root bounds
    EXPECT_TRUE(rec.Codes.empty());
    f.sheet.EndUpdate();
    EXPECT_EQ(rec.Codes, (std::vector<int>{snRootBounds, snFocus, snCaret, snFocusSettled, snRepaint}));
}

TEST(SheetUpdate, ContentSwallowsEditStateButNotElementState) {
    TSheetFixture f;
    TSheetRecorder rec(&f.sheet);
    f.sheet.BeginUpdate();
    f.sheet.NotifyFocusedElement();
    f.sheet.NotifyEditState();
    f.sheet.NotifyFocusedContent();
    f.sheet.NotifyFocusState();
    f.sheet.EndUpdate();
    EXPECT_EQ(rec.Codes, (std::vector<int>{snFocusSettled, snFocusedContent, snFocusedState}));
    rec.Clear();
    f.sheet.BeginUpdate();
    f.sheet.NotifyFocusedElement();
    f.sheet.NotifyEditState();
    f.sheet.EndUpdate();
    EXPECT_EQ(rec.Codes, (std::vector<int>{snEditState, snFocusedState}));
}

TEST(SheetUpdate, ThreeFocusChangesGiveOneNotificationThree) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    TElement_TestBox* c = AddBox(f.root);
    TSheetRecorder rec(&f.sheet);
    {
        TSheetUpdate update(&f.sheet);
        a->Focus();
        f.sheet.NotifyFocusedContent();
        b->Focus();
        f.sheet.NotifyEditState();
        c->Focus();
        f.sheet.NotifyFocusedElement();
    }
    EXPECT_EQ(rec.Count(snFocus), 1);
    EXPECT_EQ(rec.Count(snFocusedContent), 0);
    EXPECT_EQ(rec.Count(snEditState), 0);
    EXPECT_EQ(rec.Count(snFocusedState), 0);
    EXPECT_EQ(f.sheet.Focused(), c);
}

TEST(SheetUpdate, RectangleRepaintInsideABracketBecomesOneFullRepaint) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TSheetRecorder rec(&f.sheet);
    a->Invalidate();
    ASSERT_EQ(rec.Codes, (std::vector<int>{snRepaint}));
    EXPECT_NE(rec.FirstArgs[0], 0);  // a rectangle outside the bracket
    rec.Clear();
    f.sheet.BeginUpdate();
    f.sheet.BeginUpdate();
    a->Invalidate();
    a->Invalidate(TRect{0, 0, 3, 3});
    f.sheet.EndUpdate();
    EXPECT_TRUE(rec.Codes.empty());
    f.sheet.EndUpdate();
    EXPECT_EQ(rec.Codes, (std::vector<int>{snRepaint}));
    EXPECT_EQ(rec.FirstArgs[0], 0);
}

TEST(SheetUpdate, AvailableWidthChangedInABracketLaysOutOnceWithTheWidthFlag) {
    TSheetFixture f;
    QStringList log;
    f.root->Log = &log;
    {
        TSheetUpdate update(&f.sheet);
        f.sheet.SetAvailableSize(QSize(800, kSheetUnlimited));
        f.sheet.SetAvailableSize(QSize(700, kSheetUnlimited));
        EXPECT_TRUE(log.isEmpty());
    }
    EXPECT_EQ(log, (QStringList{"Layout 0 0 1 0"}));
    log.clear();
    f.sheet.SetAvailableSize(QSize(700, 300));  // outside a bracket: at once
    EXPECT_EQ(log, (QStringList{"Layout 0 0 0 1"}));
    EXPECT_EQ(f.root->GetAvailableSize(nullptr), QSize(700, 300));
}

// A listener that raises while the bracket closes is logged; the bracket is
// closed all the same.
TEST(SheetUpdate, GuardLogsWhatAListenerRaisesWhenItCloses) {
    struct TRaisingListener {
        void OnSheet(TItfObject*, int, intptr_t, intptr_t) { throw std::runtime_error("listener failed"); }
    } listener;
    TSheetFixture f;
    f.sheet.AddHandler(MakeHandler<&TRaisingListener::OnSheet>(&listener));
    TWarningLog log;
    {
        TSheetUpdate update(&f.sheet);
        f.sheet.InvalidateAll();
    }
    f.sheet.RemoveHandler(MakeHandler<&TRaisingListener::OnSheet>(&listener));
    EXPECT_EQ(f.sheet.UpdateCount(), 0);
    EXPECT_TRUE(log.Contains(QStringLiteral("listener failed")));
}

// ---------------------------------------------------------------------------
// Focus

TEST(SheetFocus, FocusMovesAndClearsTheSelectionUnlessTheNewFocusIsInIt) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    TElement_TestBox* c = AddBox(f.root);
    a->Focus();
    f.sheet.SetElementSelected(b, true);
    f.sheet.SetElementSelected(c, true);
    EXPECT_EQ(f.sheet.Selection().size(), 2);
    EXPECT_TRUE(b->IsSelected());
    b->Focus();
    EXPECT_EQ(f.sheet.Selection().size(), 2);
    a->Focus();
    EXPECT_TRUE(f.sheet.Selection().isEmpty());
    EXPECT_FALSE(b->IsSelected());
    f.sheet.SetFocus(nullptr);
    EXPECT_EQ(f.sheet.Focused(), nullptr);
}

TEST(SheetFocus, FocusFirstTakesTheFirstVisibleFocusable) {
    TSheetFixture f;
    f.root->SetOptionsWord(0);
    TElement_TestBox* group = AddBox(f.root);
    group->SetOptionsWord(0);
    TElement_TestBox* hiddenOwner = AddBox(group);
    hiddenOwner->SetOptionsWord(0);
    AddBox(hiddenOwner);
    hiddenOwner->SetCollapsed(true);
    TElement_TestBox* second = AddBox(group);
    second->SetDisabled(true);  // disabled ones may take the focus
    f.sheet.FocusFirst();
    EXPECT_EQ(f.sheet.Focused(), second);
}

// A sheet with two boxes on a manual clock.
class SheetTimers : public ::testing::Test {
protected:
    TManualTimerService timers;
    TTimerServiceInstaller installTimers{&timers};
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
};

TEST_F(SheetTimers, FocusSettlesAfterThreeHundredMillisecondsAndWaitsForTheButton) {
    TFakeInputState input;
    TInputStateInstaller installInput(&input);
    TSheetRecorder rec(&f.sheet);
    a->Focus();
    timers.Advance(200);
    b->Focus();  // restarts the wait
    timers.Advance(299);
    EXPECT_EQ(rec.Count(snFocusSettled), 0);
    input.LeftButtonDown = true;  // still clicking
    timers.Advance(1);
    EXPECT_EQ(rec.Count(snFocusSettled), 0);
    timers.Advance(600);
    EXPECT_EQ(rec.Count(snFocusSettled), 0);
    input.LeftButtonDown = false;
    timers.Advance(300);
    ASSERT_EQ(rec.Count(snFocusSettled), 1);
    EXPECT_EQ(rec.FirstArgs.back(), kFocusSettledByTimer);
    timers.Advance(5000);
    EXPECT_EQ(rec.Count(snFocusSettled), 1);
    EXPECT_EQ(timers.ActiveCount(), 0);
}

TEST_F(SheetTimers, DelayedFocusKeepsTheFirstElementAndRestartsTheTimer) {
    f.sheet.FocusDelayed(a);
    timers.Advance(200);
    f.sheet.FocusDelayed(b);
    timers.Advance(299);
    EXPECT_EQ(f.sheet.Focused(), nullptr);
    timers.Advance(1);
    EXPECT_EQ(f.sheet.Focused(), a);
    EXPECT_EQ(f.sheet.DelayedFocus(), nullptr);
}

TEST_F(SheetTimers, AnElementLeavingTheSheetCancelsItsDelayedFocusAndLosesTheFocus) {
    b->Focus();
    f.sheet.SetHot(b);
    f.sheet.SetElementSelected(b, true);
    f.sheet.FocusDelayed(a);
    a->Free();
    EXPECT_EQ(f.sheet.DelayedFocus(), nullptr);
    timers.Advance(1000);
    EXPECT_EQ(f.sheet.Focused(), b);

    TSheetRecorder rec(&f.sheet);
    b->Free();
    EXPECT_EQ(f.sheet.Focused(), nullptr);
    EXPECT_EQ(f.sheet.Hot(), nullptr);
    EXPECT_TRUE(f.sheet.Selection().isEmpty());
    EXPECT_EQ(rec.Count(snFocus), 1);
}

// ---------------------------------------------------------------------------
// Keys and mouse

TEST(SheetInput, KeysGoToTheFocusedElementAndArrowsMoveTheFocus) {
    TSheetFixture f;
    QStringList log;
    f.root->SetOptionsWord(0);
    TElement_TestBox* a = AddBox(f.root);
    TElement_TestBox* b = AddBox(f.root);
    a->Log = b->Log = &log;
    a->Focus();

    EXPECT_EQ(f.Key('A'), 'A');
    EXPECT_EQ(f.Key(vkDown), 0);
    EXPECT_EQ(f.sheet.Focused(), b);
    EXPECT_EQ(f.Key(vkDown), 0);  // nothing further: consumed all the same
    EXPECT_EQ(f.sheet.Focused(), b);
    f.Key(vkLeft);
    EXPECT_EQ(f.sheet.Focused(), a);
    EXPECT_EQ(f.Key(vkRight, ssShift), vkRight);  // with Shift the element keeps the key
    EXPECT_EQ(f.sheet.Focused(), a);
    a->ConsumeKey = vkDown;  // an element that takes the arrow keeps the focus
    f.Key(vkDown);
    EXPECT_EQ(f.sheet.Focused(), a);
    EXPECT_EQ(f.Key(vkEscape), 0);
    EXPECT_EQ(log, (QStringList{"KeyDown 65", "KeyDown 40", "KeyDown 40", "KeyDown 37", "KeyDown 39", "KeyDown 40"}));
}

TEST(SheetInput, ControlCharactersOtherThanTabAndReturnNeverReachTheElement) {
    TSheetFixture f;
    QStringList log;
    TElement_TestBox* a = AddBox(f.root);
    a->Log = &log;
    a->Focus();
    for (char16_t c : {u'\x01', u'\t', u'\x08', u'\r', u'\x1b', u'x'}) {
        QChar ch(c);
        f.sheet.KeyPress(ch);
    }
    EXPECT_EQ(log, (QStringList{"KeyPress 9", "KeyPress 13", "KeyPress 120"}));
}

TEST(SheetInput, MouseGoesToTheElementUnderItInItsCoordinates) {
    TSheetFixture f;
    QStringList log;
    TElement_TestBox* a = AddBox(f.root, 30, 30);
    TElement_TestBox* b = AddBox(f.root, 30, 30);
    f.root->Arrange();
    a->Log = b->Log = &log;
    TSheetRecorder rec(&f.sheet);
    const QPoint pb = b->ClientToSheet(QPoint(3, 4));
    f.sheet.MouseMove(pb, 0);
    EXPECT_EQ(f.sheet.Hot(), b);
    EXPECT_EQ(rec.Count(snHot), 1);
    f.sheet.MouseDown(a->ClientToSheet(QPoint(5, 6)), mbRight, 0, 0);
    EXPECT_EQ(f.sheet.Hot(), a);
    EXPECT_EQ(log, (QStringList{"MouseMove 3,4", "MouseDown 5,6"}));

    // While an element is pressed it gets the moves, wherever the mouse is.
    log.clear();
    b->SetOptionsWord(voPressable);
    f.sheet.MouseDown(pb, mbLeft, 0, 0);
    ASSERT_EQ(f.sheet.Pressed(), b);
    f.sheet.MouseMove(a->ClientToSheet(QPoint(1, 1)), 0);
    EXPECT_EQ(log.last(), QStringLiteral("MouseMove %1,%2").arg(1).arg(1 + a->Top() - b->Top()));
    EXPECT_EQ(f.sheet.Hot(), b);
    f.sheet.MouseUp(pb, mbLeft, 0);
    EXPECT_EQ(b->Clicks, 1);
}

// ---------------------------------------------------------------------------
// View state

TEST(SheetViewState, SavedFocusAndScrollPositionComeBack) {
    TSheetFixture f;
    AddBox(f.root);
    TElement_TestBox* group = AddBox(f.root);
    AddBox(group);
    TElement_TestBox* target = AddBox(group);
    target->Focus();
    f.sheet.SetScreenPosition(QPoint(12, 340));
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("SheetData"));
    f.sheet.SaveState(knot.get());
    EXPECT_EQ(knot->ReadInt(QStringLiteral("FocusedElement"), -1), 4);
    EXPECT_EQ(knot->ReadStr(QStringLiteral("FocusedElementType")), QStringLiteral("TElement_TestBox"));

    TSheetFixture g;
    AddBox(g.root);
    TElement_TestBox* group2 = AddBox(g.root);
    AddBox(group2);
    TElement_TestBox* target2 = AddBox(group2);
    group2->SetCollapsed(true);
    TSheetRecorder rec(&g.sheet);
    g.sheet.LoadState(knot.get());
    EXPECT_EQ(g.sheet.Focused(), nullptr);  // hidden: not focused
    EXPECT_EQ(g.sheet.ScreenPos(), QPoint(12, 340));
    EXPECT_EQ(rec.Count(snScrollPosition), 1);
    group2->SetCollapsed(false);
    g.sheet.LoadState(knot.get());
    EXPECT_EQ(g.sheet.Focused(), target2);
}

TEST(SheetViewState, AnotherTypeAtTheIndexFocusesNothingButRestoresTheScroll) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    a->Focus();
    f.sheet.SetScreenPosition(QPoint(3, 4));
    auto state = [](int index, const char* type) {
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("SheetData"));
        knot->WriteInt(QStringLiteral("FocusedElement"), index);
        knot->WriteStr(QStringLiteral("FocusedElementType"), QString::fromLatin1(type));
        knot->WriteInt(QStringLiteral("ScreenPosX"), 3);
        knot->WriteInt(QStringLiteral("ScreenPosY"), 4);
        return knot;
    };
    f.sheet.SetFocus(nullptr);
    f.sheet.SetScreenPosition(QPoint());
    f.sheet.LoadState(state(1, "TElement_Other").get());
    EXPECT_EQ(f.sheet.Focused(), nullptr);
    EXPECT_EQ(f.sheet.ScreenPos(), QPoint(3, 4));
    f.sheet.LoadState(state(99, "TElement_TestBox").get());
    EXPECT_EQ(f.sheet.Focused(), nullptr);
    f.sheet.LoadState(state(1, "TElement_TestBox").get());
    EXPECT_EQ(f.sheet.Focused(), a);
}

TEST(SheetState, ChangedSettingsLayOutEverythingAgainAndRepaint) {
    TSheetFixture f;
    QStringList log;
    f.root->Log = &log;
    TSheetRecorder rec(&f.sheet);
    f.settings->FontSizeProperty()->SetIndex(1);
    EXPECT_TRUE(log.contains(QStringLiteral("Layout 1 1 0 0")));
    ASSERT_FALSE(rec.Codes.empty());
    EXPECT_EQ(rec.Codes.back(), snRepaint);
    EXPECT_EQ(rec.FirstArgs.back(), 0);
}

TEST(SheetState, ReadOnlyActiveAndScrollAreAnnouncedOnChangeOnly) {
    TSheetFixture f;
    TElement_TestBox* a = AddBox(f.root);
    TSheetRecorder rec(&f.sheet);
    f.sheet.SetReadOnly(true);
    f.sheet.SetReadOnly(true);
    EXPECT_TRUE(a->IsReadOnly());
    f.sheet.SetActive(true);
    f.sheet.SetActive(true);
    EXPECT_EQ(rec.Codes, (std::vector<int>{snReadOnly, snActive}));
    f.sheet.SetReadOnly(false);
    f.scheme->SetReadOnly(true);
    EXPECT_TRUE(a->IsReadOnly());
}

}  // namespace

#include "scheme/diSheet.h"

#include "core/cuKnot.h"
#include "platform/plTimer.h"
#include "support/testCaseRows.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <QRegion>

#include <functional>
#include <map>
#include <optional>

namespace {

// A sheet showing a scheme of test boxes; one fixture for every group.
class SheetTest : public ::testing::Test, public TSheetFixture {};
using SheetUpdate = SheetTest;
using SheetFocus = SheetTest;
using SheetInput = SheetTest;
using SheetViewState = SheetTest;
using SheetState = SheetTest;

// ---------------------------------------------------------------------------
// The update bracket

// The rows of tests/data/scheme/sheet-brackets.txt: calls inside one bracket
// and the notifications sent when it closes.
TEST_F(SheetUpdate, WorksOffHeldBackNotificationsInTheFixedOrder) {
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
    TElement_TestBox* c = AddBox(root);
    b->CaretKindShown = ckFocusRect;
    const std::map<QString, std::function<void()>> calls{
        {"InvalidateAll", [&] { sheet.InvalidateAll(); }},
        {"Invalidate", [&] { a->Invalidate(); }},
        {"InvalidateRect", [&] { a->Invalidate(TRect{0, 0, 3, 3}); }},
        {"FocusedElement", [&] { sheet.NotifyFocusedElement(); }},
        {"EditState", [&] { sheet.NotifyEditState(); }},
        {"FocusState", [&] { sheet.NotifyFocusState(); }},
        {"FocusedContent", [&] { sheet.NotifyFocusedContent(); }},
        {"FocusA", [&] { a->Focus(); }},
        {"FocusB", [&] { b->Focus(); }},
        {"FocusC", [&] { c->Focus(); }},
        {"RootSize", [&] { root->SetSize(root->Width() + 100, 500); }}};
    const std::map<int, QString> names{{snRootBounds, "RootBounds"},     {snRepaint, "Repaint"},
                                       {snFocus, "Focus"},               {snFocusedState, "FocusedState"},
                                       {snCaret, "Caret"},               {snFocusedContent, "FocusedContent"},
                                       {snEditState, "EditState"},       {snFocusSettled, "FocusSettled"}};
    for (const QStringList& row : CaseRows("scheme/sheet-brackets.txt", 2)) {
        SCOPED_TRACE(row.join(u" -> ").toStdString());
        sheet.SetFocus(a);
        TSheetRecorder rec(&sheet);
        {
            TSheetUpdate outer(&sheet);
            TSheetUpdate inner(&sheet);
            for (const QString& call : row[0].split(u' ')) calls.at(call)();
        }
        QStringList sent;
        for (size_t i = 0; i < rec.codes.size(); ++i) {
            sent << names.at(rec.codes[i]);
            if (rec.codes[i] == snRepaint && row[0].contains(u"InvalidateAll")) {
                EXPECT_EQ(rec.firstArgs[i], 0) << "the whole sheet";
            }
        }
        EXPECT_EQ(sent.join(u' ').toStdString(), row[1].toStdString());
    }
    EXPECT_EQ(sheet.GetContentWidth(), root->Left() + root->Width());
    TSheetRecorder rec(&sheet);
    a->Invalidate();
    EXPECT_NE(rec.firstArgs.at(0), 0) << "outside a bracket: the rectangle";
}

// What the sheet asks to repaint: a rectangle, or nothing for everything.
class TRepaintRecorder {
public:
    explicit TRepaintRecorder(TSheet* sheet) : m_sheet(sheet) { sheet->AddHandler(Handler()); }
    ~TRepaintRecorder() { m_sheet->RemoveHandler(Handler()); }
    TRepaintRecorder(const TRepaintRecorder&) = delete;
    TRepaintRecorder& operator=(const TRepaintRecorder&) = delete;

    std::vector<std::optional<TRect>> repaints;

private:
    THandler Handler() { return MakeHandler<&TRepaintRecorder::OnMsg>(this); }
    void OnMsg(TItfObject*, int msg, intptr_t p1, intptr_t) {
        if (msg == snRepaint)
            repaints.push_back(p1 ? std::optional(*reinterpret_cast<const TRect*>(p1)) : std::nullopt);
    }
    TSheet* m_sheet;
};

TRect AreaInSheet(const TVisualElement* e) {
    const QPoint at = e->ClientToSheet(QPoint(0, 0));
    return TRect{at.x(), at.y(), at.x() + e->Width(), at.y() + e->Height()};
}

// A keystroke inside the bracket repaints what it invalidated, not the whole
// sheet; a layout that moves an element repaints the old and the new place of
// its subtree (a child reaching beyond it included), and one that leaves an
// element where it was repaints nothing of it.
TEST_F(SheetUpdate, RepaintInsideABracketCoversOnlyTheInvalidatedArea) {
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
    TElement_TestBox* c = AddBox(root);
    Layout();
    ASSERT_FALSE(RectsMeet(AreaInSheet(a), AreaInSheet(c)));
    {
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            a->Invalidate();
            b->Invalidate(TRect{0, 0, 3, 3});
        }
        const TRect bOrigin = AreaInSheet(b);
        const TRect expected = BoundingRect(AreaInSheet(a), TRect{bOrigin.Left, bOrigin.Top, bOrigin.Left + 3,
                                                                   bOrigin.Top + 3});
        ASSERT_EQ(rec.repaints.size(), 1u);
        ASSERT_TRUE(rec.repaints[0].has_value()) << "only the invalidated area";
        EXPECT_EQ(*rec.repaints[0], expected);
        EXPECT_FALSE(RectsMeet(*rec.repaints[0], AreaInSheet(c)));
    }
    {
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            c->SetBounds(c->Left(), c->Top(), c->Width(), c->Height());
        }
        EXPECT_TRUE(rec.repaints.empty()) << "an element left where it was";
    }
    {
        TRepaintRecorder rec(&sheet);
        TElement_TestBox* beyond = AddBox(c, 6, 6);
        beyond->SetVisualParent(c);
        beyond->SetBounds(c->Width() + 4, 0, 6, 6);
        const TRect oldPlace = BoundingRect(AreaInSheet(c), AreaInSheet(beyond));
        {
            TSheetUpdate update(&sheet);
            a->Invalidate();
            c->SetPosition(c->Left() + 1, c->Top());
        }
        const TRect newPlace = BoundingRect(AreaInSheet(c), AreaInSheet(beyond));
        ASSERT_FALSE(rec.repaints.empty());
        TRect repainted;
        for (const std::optional<TRect>& r : rec.repaints) {
            ASSERT_TRUE(r.has_value()) << "a move: not everything";
            repainted = repainted.IsEmpty() ? *r : BoundingRect(repainted, *r);
        }
        EXPECT_EQ(IntersectRects(repainted, oldPlace), oldPlace) << "the old place, the child beyond included";
        EXPECT_EQ(IntersectRects(repainted, newPlace), newPlace) << "the new place";
    }
}

// A resize in place repaints all of the old and the new area, whichever of
// them holds the other (or neither).
TEST_F(SheetUpdate, AResizeInPlaceRepaintsTheOldAndTheNewArea) {
    TElement_TestBox* box = AddBox(root);
    Layout();
    struct TResize {
        const char* what;
        int dw, dh;
    };
    const TResize resizes[] = {{"wider", 9, 0},         {"narrower", -9, 0},     {"larger", 5, 4},
                               {"smaller", -5, -4},     {"wider, lower", 9, -4}, {"narrower, higher", -9, 4}};
    for (const TResize& resize : resizes) {
        SCOPED_TRACE(resize.what);
        const TRect oldArea = AreaInSheet(box);
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            box->SetBounds(box->Left(), box->Top(), box->Width() + resize.dw, box->Height() + resize.dh);
        }
        QRegion repainted;
        for (const std::optional<TRect>& r : rec.repaints) {
            ASSERT_TRUE(r.has_value()) << "a resize: not everything";
            repainted += r->ToQRect();
        }
        EXPECT_TRUE((QRegion(oldArea.ToQRect()) - repainted).isEmpty()) << "the old area";
        EXPECT_TRUE((QRegion(AreaInSheet(box).ToQRect()) - repainted).isEmpty()) << "the new area";
    }
}

// Inside a bracket the rectangle an element invalidated last is kept back: one
// inside it adds nothing, one holding it takes its place, one apart hands it
// on; the bracket hands the kept one on as it closes, and the next bracket
// starts afresh (a part of what the one before repainted is repainted again).
TEST_F(SheetUpdate, AnElementsInvalidationsInABracketRepaintEachPlaceOnceAndTheNextBracketStartsAfresh) {
    TElement_TestBox* box = AddBox(root);
    TElement_TestBox* far = AddBox(root);
    Layout();
    far->SetPosition(box->Left(), box->Top() + 10 * box->Height());
    const TRect corner{0, 0, 3, 3};
    const TRect cornerInSheet = OffsetRect(corner, AreaInSheet(box).Left, AreaInSheet(box).Top);
    struct TBracket {
        const char* what;
        std::function<void()> invalidate;
        std::vector<TRect> repainted;
    };
    const TBracket brackets[] = {
        {"the box, then its corner", [&] { box->Invalidate(), box->Invalidate(corner); }, {AreaInSheet(box)}},
        {"its corner alone, next bracket", [&] { box->Invalidate(corner); }, {cornerInSheet}},
        {"the corner, then the box", [&] { box->Invalidate(corner), box->Invalidate(); }, {AreaInSheet(box)}},
        {"two boxes apart", [&] { box->Invalidate(), far->Invalidate(); }, {AreaInSheet(box), AreaInSheet(far)}},
    };
    for (const TBracket& bracket : brackets) {
        SCOPED_TRACE(bracket.what);
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            bracket.invalidate();
        }
        std::vector<std::optional<TRect>> expected(bracket.repainted.begin(), bracket.repainted.end());
        EXPECT_EQ(rec.repaints, expected);
    }
}

// A change that goes up a deep chain level by level invalidated each level
// through the whole chain above it, which grew with the square of the depth:
// past a walking budget the bracket repaints everything, and a few shallow
// invalidations still repaint only their area.
TEST_F(SheetUpdate, InvalidatingEveryLevelOfADeepChainRepaintsTheWholeSheetOnce) {
    TElement_TestBox* shallow = AddBox(root);
    std::vector<TElement_TestBox*> chain;
    for (int i = 0; i < 300; ++i) {
        TElement_TestBox* box = AddBox(chain.empty() ? static_cast<TElement*>(root) : chain.back());
        if (!chain.empty()) box->SetVisualParent(chain.back());
        chain.push_back(box);
    }
    Layout();
    for (const bool deep : {false, true}) {
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            if (deep)
                for (TElement_TestBox* box : chain) box->Invalidate();
            else
                shallow->Invalidate();
        }
        ASSERT_EQ(rec.repaints.size(), 1u);
        EXPECT_EQ(rec.repaints[0].has_value(), !deep) << (deep ? "the whole sheet" : "only the shallow box");
    }
}

std::vector<TRect> RectList(const QString& text) {
    std::vector<TRect> rects;
    for (const QString& item : text.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList n = item.split(u',');
        rects.push_back(TRect{n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()});
    }
    return rects;
}

// The rows of tests/data/scheme/repaint-areas.txt: rectangles invalidated in
// one bracket and the repaints when it closes.
TEST_F(SheetUpdate, RectanglesNearEachOtherRepaintAsTheirBoundsAndFarOnesApart) {
    for (const QStringList& row : CaseRows("scheme/repaint-areas.txt", 2)) {
        SCOPED_TRACE(row.join(u" -> ").toStdString());
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            for (const TRect& rect : RectList(row[0])) sheet.InvalidateRect(rect);
        }
        std::vector<std::optional<TRect>> expected;
        for (const TRect& rect : RectList(row[1])) expected.emplace_back(rect);
        EXPECT_EQ(rec.repaints, expected);
    }
}

// With a window's view (sheet coordinates) the repaints are cut to it, in a
// bracket or outside one: what lies beyond is not painted, and taking no
// part in the joins it leaves the repaints in view apart. Without a view
// (the source cleared) nothing is cut.
TEST_F(SheetUpdate, RepaintsAreCutToTheAreaAWindowShows) {
    TRect shown{0, 100, 400, 300};
    sheet.SetShownAreaSource([&shown] { return shown; });
    struct TCase {
        const char* what;
        std::vector<TRect> invalidated;
        std::vector<TRect> repainted;
    };
    const TCase cases[] = {
        {"inside", {{10, 110, 50, 130}}, {{10, 110, 50, 130}}},
        {"across an edge", {{350, 280, 500, 320}}, {{350, 280, 400, 300}}},
        {"beyond", {{10, 400, 50, 420}, {500, 0, 520, 1000}}, {}},
        // Five rectangles, three of them out of view: the two in view stay apart.
        {"far ones take no part",
         {{0, 110, 30, 120}, {0, 5000, 10, 5010}, {380, 280, 390, 290}, {410, 0, 420, 9000}, {0, 0, 5, 5}},
         {{0, 110, 30, 120}, {380, 280, 390, 290}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::optional<TRect>> expected(c.repainted.begin(), c.repainted.end());
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            for (const TRect& rect : c.invalidated) sheet.InvalidateRect(rect);
        }
        EXPECT_EQ(rec.repaints, expected) << "in a bracket";
        rec.repaints.clear();
        for (const TRect& rect : c.invalidated) sheet.InvalidateRect(rect);
        EXPECT_EQ(rec.repaints, expected) << "outside one";
    }
    {
        TRepaintRecorder rec(&sheet);
        shown = TRect{0, 400, 400, 600};  // scrolled: asked again at each repaint
        sheet.InvalidateRect(TRect{10, 400, 50, 420});
        EXPECT_EQ(rec.repaints, (std::vector<std::optional<TRect>>{TRect{10, 400, 50, 420}}));
    }
    sheet.SetShownAreaSource(nullptr);
    TRepaintRecorder rec(&sheet);
    sheet.InvalidateRect(TRect{500, 0, 520, 1000});
    EXPECT_EQ(rec.repaints, (std::vector<std::optional<TRect>>{TRect{500, 0, 520, 1000}}));
}

// An element whose picture changes only near its edges (a panel: none of its
// own; the sheet's root: its frame) repaints only the strip between its old
// and new right or bottom edges when its size changes; a box that fills
// itself and a selected panel repaint their old and new areas, as does a
// moved one.
TEST_F(SheetUpdate, ASizeChangeRepaintsTheStripBetweenTheEdgesOfElementsPaintedOnlyThere) {
    TElement_TestBox* anchor = AddBox(root);  // keeps the sheet's root from growing with the others
    anchor->SetVisualParent(sheet.Root());
    anchor->SetBounds(0, 0, 1000, 1000);
    TPanelElement* panel = TElement::CreateIn<TPanelElement>(scheme.get(), root);
    panel->SetVisualParent(sheet.Root());
    panel->SetBounds(0, 500, 100, 40);
    TElement_TestBox* box = AddBox(root);
    box->SetVisualParent(sheet.Root());
    box->SetBounds(0, 600, 100, 40);
    using TRepaints = std::vector<std::optional<TRect>>;
    auto repaints = [this](const std::function<void()>& change) {
        TRepaintRecorder rec(&sheet);
        {
            TSheetUpdate update(&sheet);
            change();
        }
        return rec.repaints;
    };
    EXPECT_EQ(repaints([&] { panel->SetSize(130, 40); }), (TRepaints{TRect{100, 500, 130, 540}})) << "wider";
    EXPECT_EQ(repaints([&] { panel->SetSize(110, 40); }), (TRepaints{TRect{110, 500, 130, 540}})) << "narrower";
    EXPECT_EQ(repaints([&] { panel->SetSize(110, 25); }), (TRepaints{TRect{0, 525, 110, 540}})) << "lower";
    EXPECT_EQ(repaints([&] { box->SetSize(130, 40); }), (TRepaints{TRect{0, 600, 130, 640}})) << "a box fills itself";
    sheet.SetElementSelected(panel, true);
    EXPECT_EQ(repaints([&] { panel->SetSize(140, 25); }), (TRepaints{TRect{0, 500, 140, 525}})) << "selected: its mark";
    sheet.SetElementSelected(panel, false);
    EXPECT_EQ(repaints([&] { panel->SetBounds(1, 500, 140, 25); }), (TRepaints{TRect{0, 500, 141, 525}})) << "moved";

    const int frame = sheet.Root()->SizeDependentEdge();
    ASSERT_GE(frame, 0);
    const TRect area = AreaInSheet(sheet.Root());
    EXPECT_EQ(repaints([&] { sheet.Root()->SetSize(area.Width() + 10, area.Height()); }),
              (TRepaints{TRect{area.Right - frame, area.Top, area.Right + 10, area.Bottom}}))
        << "the sheet's frame";
}

TEST_F(SheetUpdate, AvailableWidthChangedInABracketLaysOutOnceWithTheWidthFlag) {
    QStringList log;
    root->Log = &log;
    {
        TSheetUpdate update(&sheet);
        sheet.SetAvailableSize(QSize(800, kSheetUnlimited));
        sheet.SetAvailableSize(QSize(700, kSheetUnlimited));
        EXPECT_TRUE(log.isEmpty());
    }
    EXPECT_EQ(log, (QStringList{"Layout 0 0 1 0"}));
    log.clear();
    sheet.SetAvailableSize(QSize(700, 300));  // outside a bracket: at once
    EXPECT_EQ(log, (QStringList{"Layout 0 0 0 1"}));
    EXPECT_EQ(root->GetAvailableSize(nullptr), QSize(700, 300));
}

// ---------------------------------------------------------------------------
// Focus

TEST_F(SheetFocus, FocusMovesAndClearsTheSelectionUnlessTheNewFocusIsInIt) {
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
    TElement_TestBox* c = AddBox(root);
    a->Focus();
    sheet.SetElementSelected(b, true);
    sheet.SetElementSelected(c, true);
    b->Focus();
    EXPECT_EQ(sheet.Selection().size(), 2);
    a->Focus();
    EXPECT_FALSE(b->IsSelected());
}

// A sheet with two boxes on a manual clock.
class SheetTimers : public SheetTest {
protected:
    TManualTimerService timers;
    TTimerServiceInstaller installTimers{&timers};
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
};

// A delayed focus keeps the first element and restarts the wait; the focus
// settles after 300 ms, and not while the mouse button is down.
TEST_F(SheetTimers, DelayedFocusAndSettledFocusWaitForTheClock) {
    sheet.FocusDelayed(a);
    timers.Advance(200);
    sheet.FocusDelayed(b);
    timers.Advance(299);
    EXPECT_EQ(sheet.Focused(), nullptr);
    timers.Advance(1);
    EXPECT_EQ(sheet.Focused(), a);

    TFakeInputState input;
    TInputStateInstaller installInput(&input);
    TSheetRecorder rec(&sheet);
    b->Focus();
    timers.Advance(200);
    a->Focus();  // restarts the wait
    input.LeftButtonDown = true;  // still clicking
    timers.Advance(900);
    EXPECT_EQ(rec.Count(snFocusSettled), 0);
    input.LeftButtonDown = false;
    timers.Advance(300);
    ASSERT_EQ(rec.Count(snFocusSettled), 1);
    EXPECT_EQ(rec.firstArgs.back(), kFocusSettledByTimer);
    EXPECT_EQ(timers.ActiveCount(), 0);
}

TEST_F(SheetTimers, AnElementLeavingTheSheetCancelsItsDelayedFocusAndLosesTheFocus) {
    b->Focus();
    sheet.SetHot(b);
    sheet.SetElementSelected(b, true);
    sheet.FocusDelayed(a);
    a->Free();
    EXPECT_EQ(sheet.DelayedFocus(), nullptr);
    TSheetRecorder rec(&sheet);
    b->Free();
    EXPECT_EQ(sheet.Hot(), nullptr);
    EXPECT_TRUE(sheet.Selection().isEmpty());
    EXPECT_EQ(rec.Count(snFocus), 1);
}

// ---------------------------------------------------------------------------
// Keys and mouse

TEST_F(SheetInput, KeysGoToTheFocusedElementAndArrowsMoveTheFocus) {
    QStringList log;
    root->SetVisualOptions(0);
    TElement_TestBox* a = AddBox(root);
    TElement_TestBox* b = AddBox(root);
    a->Log = b->Log = &log;
    a->Focus();

    EXPECT_EQ(Key('A'), 'A');
    Key(vkDown);
    EXPECT_EQ(Key(vkDown), 0);  // nothing further: consumed all the same
    EXPECT_EQ(sheet.Focused(), b);
    Key(vkLeft);
    EXPECT_EQ(sheet.Focused(), a);
    EXPECT_EQ(Key(vkRight, ssShift), vkRight);  // with Shift the element keeps the key
    EXPECT_EQ(sheet.Focused(), a);
    a->ConsumeKey = vkDown;  // an element that takes the arrow keeps the focus
    Key(vkDown);
    EXPECT_EQ(sheet.Focused(), a);
    EXPECT_EQ(Key(vkEscape), 0);
    // Control characters other than Tab and Return never reach the element.
    for (char16_t c : {u'\x01', u'\t', u'\x08', u'\r', u'\x1b', u'x'}) {
        QChar ch(c);
        sheet.KeyPress(ch);
    }
    EXPECT_EQ(log, (QStringList{"KeyDown 65", "KeyDown 40", "KeyDown 40", "KeyDown 37", "KeyDown 39", "KeyDown 40",
                                "KeyPress 9", "KeyPress 13", "KeyPress 120"}));
}

TEST_F(SheetInput, MouseGoesToTheElementUnderItInItsCoordinates) {
    QStringList log;
    TElement_TestBox* a = AddBox(root, 30, 30);
    TElement_TestBox* b = AddBox(root, 30, 30);
    root->Arrange();
    a->Log = b->Log = &log;
    TSheetRecorder rec(&sheet);
    const QPoint pb = b->ClientToSheet(QPoint(3, 4));
    sheet.MouseMove(pb, 0);
    EXPECT_EQ(rec.Count(snHot), 1);
    sheet.MouseDown(a->ClientToSheet(QPoint(5, 6)), mbRight, 0, 0);
    EXPECT_EQ(sheet.Hot(), a);
    EXPECT_EQ(log, (QStringList{"MouseMove 3,4", "MouseDown 5,6"}));

    // While an element is pressed it gets the moves, wherever the mouse is.
    log.clear();
    b->SetVisualOptions(voPressable);
    sheet.MouseDown(pb, mbLeft, 0, 0);
    ASSERT_EQ(sheet.Pressed(), b);
    sheet.MouseMove(a->ClientToSheet(QPoint(1, 1)), 0);
    EXPECT_EQ(log.last(), QStringLiteral("MouseMove %1,%2").arg(1).arg(1 + a->Top() - b->Top()));
    EXPECT_EQ(sheet.Hot(), b);
}

// ---------------------------------------------------------------------------
// View state

TEST_F(SheetViewState, SavedFocusAndScrollPositionComeBackUnlessTheElementDiffers) {
    AddBox(root);
    TElement_TestBox* group = AddBox(root);
    AddBox(group);
    TElement_TestBox* target = AddBox(group);
    target->Focus();
    sheet.SetScreenPosition(QPoint(12, 340));
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("SheetData"));
    sheet.SaveState(knot.get());

    sheet.SetFocus(nullptr);
    sheet.SetScreenPosition(QPoint(0, 0));
    group->SetCollapsed(true);
    TSheetRecorder rec(&sheet);
    sheet.LoadState(knot.get());
    EXPECT_EQ(sheet.Focused(), nullptr);  // hidden: not focused
    EXPECT_EQ(sheet.ScreenPos(), QPoint(12, 340));
    EXPECT_EQ(rec.Count(snScrollPosition), 1);
    group->SetCollapsed(false);
    sheet.LoadState(knot.get());
    EXPECT_EQ(sheet.Focused(), target);
    // Another type at the index: nothing is focused.
    sheet.SetFocus(nullptr);
    knot->FindParam(QStringLiteral("FocusedElementType"))->SetString(QStringLiteral("TElement_Other"));
    sheet.LoadState(knot.get());
    EXPECT_EQ(sheet.Focused(), nullptr);
}

// Changed settings lay out everything again and repaint; the read-only and
// active states are announced when they change only.
TEST_F(SheetState, ChangesAreLaidOutAndAnnounced) {
    QStringList log;
    root->Log = &log;
    TSheetRecorder rec(&sheet);
    settings->FontSizeProperty()->SetIndex(1);
    EXPECT_TRUE(log.contains(QStringLiteral("Layout 1 1 0 0")));
    ASSERT_FALSE(rec.codes.empty());
    EXPECT_EQ(rec.codes.back(), snRepaint);
    EXPECT_EQ(rec.firstArgs.back(), 0);

    TElement_TestBox* a = AddBox(root);
    rec.Clear();
    sheet.SetReadOnly(true);
    sheet.SetReadOnly(true);
    sheet.SetActive(true);
    sheet.SetActive(true);
    EXPECT_EQ(rec.codes, (std::vector<int>{snReadOnly, snActive}));
    sheet.SetReadOnly(false);
    scheme->SetReadOnly(true);
    EXPECT_TRUE(a->IsReadOnly());
}

}  // namespace

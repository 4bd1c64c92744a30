#include "scheme/diVisual.h"

#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

// A sheet showing a scheme of test boxes.
class VisualElements : public ::testing::Test, public TSheetFixture {};

TEST_F(VisualElements, DisabledStateTravelsDownAndBack) {
    TElement_TestBox* box = AddBox(root);
    TElement_TestBox* inner = AddBox(box);
    TElement_TestBox* leaf = AddBox(inner);
    leaf->SetRequired(true);
    box->SetDisabled(true);
    EXPECT_FALSE(inner->IsDisabled());
    EXPECT_TRUE(leaf->IsEffectivelyDisabled());
    EXPECT_EQ(leaf->Messages(), nullptr) << "a disabled required element has no message";

    // An element moved into the disabled box becomes disabled; moved out, enabled.
    TElement_TestBox* other = AddBox(root);
    other->SetVisualParent(inner);
    EXPECT_TRUE(other->IsEffectivelyDisabled());
    other->SetVisualParent(root);
    EXPECT_FALSE(other->IsEffectivelyDisabled());

    box->SetDisabled(false);
    EXPECT_FALSE(leaf->IsEffectivelyDisabled());
    EXPECT_NE(leaf->Messages(), nullptr);
}

// Moving an element before its current next sibling and invalidating a
// zero-sized one announce nothing.
TEST_F(VisualElements, SetBoundsNotifiesInOrderAndNoChangeAnnouncesNothing) {
    QStringList log;
    TElement_TestBox* box = AddBox(root);
    TElement_TestBox* child = AddBox(box);
    TElement_TestBox* next = AddBox(box, 0, 0);
    box->Log = &log;
    child->Log = &log;
    TSheetRecorder rec(&sheet);
    EXPECT_TRUE(child->SetBounds(7, 8, 30, 10, 3));
    EXPECT_EQ(log, (QStringList{"PositionChanged", "ChildBoundsChanged", "BoundsChanged"}));
    EXPECT_GE(rec.Count(snRepaint), 2);  // old and new area

    log.clear();
    rec.Clear();
    child->SetVisualParentAt(box, next);
    next->Invalidate();
    EXPECT_TRUE(rec.codes.empty());
    EXPECT_FALSE(child->SetBounds(7, 8, 30, 10, 3));
    EXPECT_EQ(rec.codes, (std::vector<int>{snRepaint}));  // only invalidated
    EXPECT_TRUE(child->SetBounds(7, 8, 31, 10, 3));  // size only: no position news
    EXPECT_EQ(log, (QStringList{"ChildBoundsChanged", "BoundsChanged"}));
    next->SetVisualParentAt(box, child);
    EXPECT_EQ(next->NextVisualSibling(), child);
}

TEST_F(VisualElements, PressesBubbleUpToAPressableParentAndReleaseInsideClicks) {
    TElement_TestBox* button = AddBox(root, 40, 40);
    button->SetVisualOptions(voPressable | voFocusable);
    TElement_TestBox* label = AddBox(button, 10, 10);
    label->SetVisualOptions(0);
    root->Arrange();
    const QPoint inLabel = label->ClientToSheet(QPoint(2, 2));
    sheet.MouseDown(inLabel, mbLeft, 0, 0);
    EXPECT_EQ(sheet.Pressed(), button);
    sheet.MouseUp(inLabel, mbLeft, 0);
    EXPECT_EQ(button->Clicks, 1);

    // Released outside: the press ends without a click.
    sheet.MouseDown(inLabel, mbLeft, 0, 0);
    sheet.MouseUp(button->ClientToSheet(QPoint(100, 100)), mbLeft, 0);
    EXPECT_EQ(sheet.Pressed(), nullptr);
    EXPECT_EQ(button->Clicks, 1);

    // A right press is not a press.
    sheet.MouseDown(inLabel, mbRight, 0, 0);
    EXPECT_EQ(sheet.Pressed(), nullptr);
    // A double click reaches the element under the mouse.
    sheet.MouseDown(button->ClientToSheet(QPoint(30, 30)), mbLeft, 0, 2);
    EXPECT_EQ(button->DoubleClicks, 1);
}

// Focusable leaves in nested boxes: the search runs depth first both ways
// and passes over disabled and hidden ones; the sheet's first focus takes the
// first visible one, disabled or not.
TEST_F(VisualElements, FocusSearchRunsBothWays) {
    root->SetVisualOptions(0);
    TElement_TestBox* group1 = AddBox(root);
    TElement_TestBox* group2 = AddBox(root);
    for (auto* g : {group1, group2}) g->SetVisualOptions(0);
    TElement_TestBox* a = AddBox(group1);
    TElement_TestBox* b = AddBox(group1);
    TElement_TestBox* c = AddBox(group2);
    TElement_TestBox* d = AddBox(group2);

    EXPECT_EQ(b->FindNextFocusable(true), c);
    EXPECT_EQ(d->FindNextFocusable(true), nullptr);
    EXPECT_EQ(c->FindNextFocusable(false), b);
    EXPECT_EQ(a->FindNextFocusable(false), nullptr);

    c->SetDisabled(true);
    EXPECT_EQ(b->FindNextFocusable(true), d);
    EXPECT_EQ(b->FindNextFocusable(true, true, false), c);
    group1->SetCollapsed(true);
    sheet.FocusFirst();
    EXPECT_EQ(sheet.Focused(), c);
    group1->SetCollapsed(false);
    group2->SetCollapsed(true);
    EXPECT_EQ(b->FindNextFocusable(true), nullptr);

    // A focusable container is the answer when the search climbs to it.
    group1->SetVisualOptions(voFocusable);
    EXPECT_EQ(b->FindNextFocusable(true), group1);
    EXPECT_EQ(root->FindFocusable(true, true, true), group1);
    // The find step of an element without text finds nothing and names the
    // next element only inside the request's scope.
    TFindData request(QStringLiteral("x"));
    TVisualElement* next = a;
    request.Scope = b;
    EXPECT_FALSE(a->FindFocusableWithin(TFindMode::AtSelection, request, next, true));
    EXPECT_EQ(next, nullptr);
    request.Scope = nullptr;
    EXPECT_FALSE(a->FindFocusableWithin(TFindMode::AtSelection, request, next, true));
    EXPECT_EQ(next, a->FindNextFocusable(true));
}

// Focusing an element in collapsed containers expands them; when one of them
// cannot be expanded nothing is focused. An element hidden while empty shows
// while focused and when filled.
TEST_F(VisualElements, CollapsedContainerHidesItsSubtreeAndMakeVisibleExpandsIt) {
    TElement_TestBox* field = AddBox(root);
    field->SetRequired(false);
    field->SetVisualOptions(field->VisualOptions() | voHiddenWhileEmpty);
    EXPECT_FALSE(field->IsVisible());
    field->Focus();
    EXPECT_TRUE(field->IsVisible());
    field->SetValue("x");
    sheet.SetFocus(nullptr);
    EXPECT_TRUE(field->IsVisible());
    field->SetValue("");
    EXPECT_FALSE(field->IsVisible());

    TElement_TestBox* outer = AddBox(root);
    TElement_TestBox* inner = AddBox(outer);
    TElement_TestBox* leaf = AddBox(inner);
    inner->SetCollapsed(true);
    outer->SetCollapsed(true);
    EXPECT_TRUE(outer->IsVisible());
    ASSERT_FALSE(leaf->IsVisible());
    leaf->Focus();
    EXPECT_TRUE(leaf->IsFocused());
    EXPECT_FALSE(inner->Collapsed);

    inner->Stubborn = true;
    inner->SetCollapsed(true);
    leaf->Focus();
    EXPECT_EQ(sheet.Focused(), nullptr);
}

TEST_F(VisualElements, ContentChangesInsideTheBracketAreSentOnce) {
    TElement_TestBox* text = AddBox(root);
    text->SetVisualOptions(voFocusable | voTextContainer);
    text->Focus();
    TSheetRecorder rec(&sheet);
    text->BeginContentChange();
    text->ContentChanged();
    text->ContentChanged();
    EXPECT_EQ(rec.Count(snFocusedContent), 0);
    text->EndContentChange();
    EXPECT_EQ(rec.Count(snFocusedContent), 1);

    // A child leaving the container's selected text is a content change.
    TElement_TestBox* child = AddBox(text);
    child->SetInSelectedText(true);
    EXPECT_EQ(rec.Count(snFocusedContent), 2);
    TElement_TestBox* grandChild = AddBox(child);
    EXPECT_TRUE(grandChild->IsInSelectedText());
    child->SetVisualParent(root);
    EXPECT_EQ(rec.Count(snFocusedContent), 3);
}

// The sign sits above the element's top left, but never far above the root.
TEST_F(VisualElements, MessagesSignSitsAboveTheElementsTopLeft) {
    root->Pad = 0;
    TElement_TestBox* top = AddBox(root, 40, 50);
    TElement_TestBox* box = AddBox(root, 40, 20);
    Layout();
    top->SetRequired(true);
    EXPECT_EQ(top->MessagesSign()->Top(), -(top->MessagesSign()->Height() / 4));
    box->SetRequired(true);
    TMessagesSignElement* sign = box->MessagesSign();
    ASSERT_NE(sign, nullptr);
    EXPECT_EQ(sign->Parent(), sheet.Root());
    const QPoint at = box->ClientToSheet(QPoint(0, 0));
    const int h = sign->Height();
    EXPECT_EQ(sign->Left(), at.x());
    EXPECT_EQ(sign->Top(), at.y() - h / 2 - 1);

    // Moving the element moves the sign.
    box->SetPosition(box->Left() + 10, box->Top());
    EXPECT_EQ(sign->Left(), at.x() + 10);

    // Passed over by hit tests.
    EXPECT_NE(sheet.ElementAt(sheet.Root()->ClientToSheet(QPoint(sign->Left() + 1, sign->Top() + h - 1)), true, true),
              sign);

    // Its hint lists the element's messages.
    box->GetMessages()->AddTextMessage(mkWarning, QStringLiteral("Second"));
    QString hint;
    sign->GetHint(hint);
    EXPECT_EQ(hint, QStringLiteral("\u2022 ") + box->Messages()->GetItem(0)->GetText() +
                        QStringLiteral("\r\n\u2022 Second"));

    box->SetValue("ok");
    EXPECT_EQ(box->MessagesSign(), nullptr);
}

// Placing a chain of nested elements from the inside out told every level's
// whole subtree again, which made a layout grow with the square of the depth:
// while a layout runs, a moved element is told once, when it ends, and an
// element that leaves the sheet meanwhile is not told at all.
TEST_F(VisualElements, ElementsMovedWhileALayoutRunsAreToldOnceWhenItEnds) {
    QStringList log;
    TElement_TestBox* outer = AddBox(root);
    TElement_TestBox* inner = AddBox(outer);
    TElement_TestBox* leaving = AddBox(root);
    for (TElement_TestBox* box : {outer, inner, leaving}) box->Log = &log;
    inner->SetRequired(true);
    TMessagesSignElement* sign = inner->MessagesSign();
    ASSERT_NE(sign, nullptr);
    const int signLeft = sign->Left();
    {
        const TSheetLayoutScope layout(&sheet);
        inner->SetPosition(inner->Left() + 3, inner->Top());
        leaving->SetPosition(leaving->Left() + 3, leaving->Top());
        {
            const TSheetLayoutScope nested(&sheet);
            outer->SetPosition(outer->Left() + 5, outer->Top());
        }
        inner->SetPosition(inner->Left() + 1, inner->Top());
        leaving->Free();
        EXPECT_FALSE(log.contains("PositionChanged"));
        EXPECT_EQ(sign->Left(), signLeft);
    }
    EXPECT_EQ(log.count("PositionChanged"), 2) << log.join(", ").toStdString();
    EXPECT_EQ(sign->Left(), signLeft + 9) << "the sign follows both moves";
}

// Many held elements leave during one layout, from both ends of the held
// list and in between, one of them comes back and moves again: each one
// that stays is told once when the layout ends, none that left is told.
TEST_F(VisualElements, ManyElementsLeavingDuringOneLayoutAreLetGoOneByOne) {
    constexpr int kBoxes = 300;
    std::vector<TElement_TestBox*> boxes;
    std::vector<QStringList> logs(kBoxes);
    for (int i = 0; i < kBoxes; ++i) {
        boxes.push_back(AddBox(root));
        boxes.back()->Log = &logs[size_t(i)];
    }
    auto leaves = [](int i) { return i % 3 != 1; };
    TElement_TestBox* returning = boxes[kBoxes / 2];  // leaves, then comes back
    {
        const TSheetLayoutScope layout(&sheet);
        for (TElement_TestBox* box : boxes) box->SetPosition(box->Left() + 2, box->Top());
        for (int i = kBoxes - 1; i >= kBoxes / 2; --i)
            if (leaves(i) && boxes[size_t(i)] != returning) boxes[size_t(i)]->Free();
        for (int i = 0; i < kBoxes / 2; ++i)
            if (leaves(i)) boxes[size_t(i)]->Free();
        returning->SetVisualParent(nullptr);
        returning->SetVisualParent(root);
        returning->SetPosition(returning->Left() + 1, returning->Top());
        for (QStringList& log : logs) EXPECT_FALSE(log.contains("PositionChanged"));
    }
    for (int i = 0; i < kBoxes; ++i) {
        if (leaves(i) && boxes[size_t(i)] != returning) continue;
        EXPECT_EQ(logs[size_t(i)].count("PositionChanged"), 1) << "box " << i;
    }
}

// A subtree joining the sheet inside a layout is one move, told when the
// outermost layout ends: every element of it once (through its top, moved
// or not), none before, and none that left the sheet meanwhile. Afterwards
// each of them is held and told on its own again.
TEST_F(VisualElements, SubtreeJoiningDuringALayoutIsToldOnceThroughItsTop) {
    TElement_TestBox* top = AddBox(root);
    TElement_TestBox* child = AddBox(top);
    TElement_TestBox* grand = AddBox(child);
    TElement_TestBox* leaver = AddBox(top);
    const std::vector<TElement_TestBox*> boxes{top, child, grand, leaver};
    std::vector<QStringList> logs(boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->Log = &logs[i];
    auto told = [&logs] {
        std::vector<qsizetype> counts;
        for (QStringList& log : logs) counts.push_back(std::exchange(log, {}).count("PositionChanged"));
        return counts;
    };
    top->SetVisualParent(nullptr);
    told();
    {
        const TSheetLayoutScope layout(&sheet);
        top->SetVisualParent(root);
        child->SetPosition(child->Left() + 4, child->Top());
        leaver->SetVisualParent(nullptr);
        EXPECT_EQ(told(), (std::vector<qsizetype>{0, 0, 0, 0}));
    }
    EXPECT_EQ(told(), (std::vector<qsizetype>{1, 1, 1, 0}));
    leaver->SetVisualParent(top);
    told();
    {
        const TSheetLayoutScope layout(&sheet);
        for (TElement_TestBox* box : {grand, leaver}) box->SetPosition(box->Left() + 1, box->Top());
    }
    EXPECT_EQ(told(), (std::vector<qsizetype>{0, 0, 1, 1}));
}

// A subtree leaving the sheet and joining it again takes exactly itself
// along, walked in the visual tree's order (which here differs from the
// order its elements were made in): its siblings and their subtrees, still
// linked beside it while it leaves, keep the sheet.
TEST_F(VisualElements, SubtreeJoiningAndLeavingTheSheetTakesExactlyItselfAlong) {
    TElement_TestBox* before = AddBox(root);
    TElement_TestBox* top = AddBox(root);
    TElement_TestBox* after = AddBox(root);
    TElement_TestBox* afterChild = AddBox(after);
    TElement_TestBox* a = AddBox(top);
    TElement_TestBox* b = AddBox(top);
    TElement_TestBox* a1 = AddBox(a);
    TElement_TestBox* a2 = AddBox(a);
    TElement_TestBox* a21 = AddBox(a2);
    b->SetVisualParentAt(top, a);
    std::vector<TVisualElement*> walked;
    for (TVisualElement* e : VisualPreOrder(top)) walked.push_back(e);
    const std::vector<TVisualElement*> subtree{top, b, a, a1, a2, a21};
    EXPECT_EQ(walked, subtree);
    const std::vector<TVisualElement*> outside{root, before, after, afterChild};
    ISheet* const shown = &sheet;

    top->SetVisualParent(nullptr);
    for (TVisualElement* e : subtree) EXPECT_EQ(e->Sheet(), nullptr);
    for (TVisualElement* e : outside) EXPECT_EQ(e->Sheet(), shown);
    top->SetVisualParentAt(root, after);
    for (TVisualElement* e : subtree) EXPECT_EQ(e->Sheet(), shown);
    for (TVisualElement* e : outside) EXPECT_EQ(e->Sheet(), shown);
}

// Regression: the sign was owned twice, by the sheet's root element and by
// its element, so whichever went second freed it again.
TEST(MessagesSign, SignFreedWithTheSheetRootLeavesNoDanglingPointer) {
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    auto sheet = std::make_unique<TSheet>(settings.get());
    auto scheme = MakeVisualTestScheme();
    auto* root = static_cast<TElement_TestBox*>(scheme->Root());
    root->SetVisualParent(sheet->Root());
    TElement_TestBox* box = AddBox(root);
    box->SetRequired(true);
    sheet.reset();  // the root frees the sign; the element must forget it
    EXPECT_EQ(box->MessagesSign(), nullptr);
    box->SetValue("x");
    box->SetValue("");
}

TEST_F(VisualElements, HitTestFindsTheTopmostAndPassesThroughInsets) {
    TElement_TestBox* a = AddBox(root, 50, 50);
    TElement_TestBox* b = AddBox(root, 50, 50);
    root->Arrange();
    b->SetPosition(a->Left(), a->Top());  // b lies over a
    const QPoint p = a->ClientToSheet(QPoint(10, 10));
    EXPECT_EQ(sheet.ElementAt(p, false, true), b);
    b->Insets = TRect{20, 20, 0, 0};
    EXPECT_EQ(sheet.ElementAt(p, false, true), a);
    b->Insets = TRect{};
    b->SetInSelectedText(true);
    EXPECT_EQ(sheet.ElementAt(p, false, true), a);
    b->SetInSelectedText(false);
    b->SetVisualOptions(b->VisualOptions() | voTransparent);
    EXPECT_EQ(sheet.ElementAt(p, false, true), a);
    EXPECT_EQ(sheet.ElementAt(p, false, false), b);
    EXPECT_EQ(sheet.ElementAt(QPoint(-5, -5), false, false), nullptr);
}

// The plain walk over every child, as the reference for the indexed search.
TVisualElement* PlainElementAt(TVisualElement* e, QPoint p) {
    if (p.x() < 0 || p.y() < 0 || p.x() >= e->Width() || p.y() >= e->Height()) return nullptr;
    for (TVisualElement* c = e->LastVisualChild(); c; c = c->PrevVisualSibling()) {
        if (!c->IsVisible()) continue;
        if (TVisualElement* hit = PlainElementAt(c, p - QPoint(c->Left(), c->Top()))) return hit;
    }
    return e;
}

TEST_F(VisualElements, IndexedHitTestAnswersAsThePlainWalk) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(0, 900), size(1, 120);
    std::vector<TElement_TestBox*> boxes;
    for (int i = 0; i < 300; ++i) boxes.push_back(AddBox(root, 5, 5));
    for (auto* b : boxes) b->SetBounds(pos(rng), pos(rng), size(rng), size(rng));
    for (int i = 0; i < 300; i += 7) boxes[size_t(i)]->SetCollapsed(false), boxes[size_t(i)]->SetVisualParent(nullptr);
    root->SetBounds(0, 0, 1000, 1000);
    for (int i = 0; i < 2000; ++i) {
        const QPoint p(pos(rng), pos(rng));
        ASSERT_EQ(root->ElementAt(p, hfSelf | hfChildren | hfDeep), PlainElementAt(root, p)) << i;
        if (i % 100 == 0) boxes[size_t(i / 10)]->SetBounds(pos(rng), pos(rng), size(rng), size(rng));
    }
}

// The panel's counted edges against the plain union of its visible children.
TEST_F(VisualElements, PanelSizeFromCountedEdgesEqualsThePlainUnion) {
    TPanelElement* panel = TElement::CreateIn<TPanelElement>(scheme.get(), root);
    panel->SetVisualParent(root);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> pos(0, 500), size(1, 80), pick(0, 39), op(0, 3);
    std::vector<TElement_TestBox*> boxes;
    for (int i = 0; i < 40; ++i) {
        boxes.push_back(AddBox(root));
        boxes.back()->SetVisualParent(panel);
    }
    for (int step = 0; step < 400; ++step) {
        TElement_TestBox* b = boxes[size_t(pick(rng))];
        switch (op(rng)) {
        case 0: b->SetBounds(pos(rng), pos(rng), size(rng), size(rng)); break;
        case 1: b->SetCollapsed(!b->Collapsed); break;
        case 2: b->SetVisualParent(b->VisualParent() == panel ? nullptr : panel); break;
        default: b->SetVisualOptions(b->VisualOptions() ^ voHiddenWhileEmpty); break;
        }
        panel->UpdateSize();
        int right = 0, bottom = 0;
        for (TVisualElement* c = panel->FirstVisualChild(); c; c = c->NextVisualSibling())
            if (c->IsVisible()) {
                right = std::max(right, c->Left() + c->Width());
                bottom = std::max(bottom, c->Top() + c->Height());
            }
        ASSERT_TRUE(right == 0 || panel->Width() == right) << step << ": " << panel->Width() << " " << right;
        ASSERT_TRUE(bottom == 0 || panel->Height() == bottom) << step << ": " << panel->Height() << " " << bottom;
    }
    // The last child leaving leaves the size as it was.
    for (auto* b : boxes) b->SetVisualParent(b == boxes.back() ? panel : nullptr);
    const QSize last(panel->Width(), panel->Height());
    boxes.back()->SetVisualParent(nullptr);
    EXPECT_EQ(QSize(panel->Width(), panel->Height()), last);
}

}  // namespace

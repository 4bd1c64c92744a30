// The palette tree: standard groups and items, flags, letters, finding the
// item of a class and applying items to lists.

#include "scheme/diPalette.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testSounds.h"
#include "scheme/diClasses.h"
#include "scheme/diUtils.h"

#include <gtest/gtest.h>

// An element that answers item states from a flag and records what it is given.
class TElement_PaletteProbe : public TElement, public IPaletteItemTarget {
    T_ELEMENT_CLASS(TElement_PaletteProbe)
public:
    bool Enabled = true;
    QList<std::pair<TPaletteItem*, bool>> Applied;
    void GetItemState(TPaletteItem* item, TPaletteItemState& state) override { state.Enabled = Enabled; }
    void ApplyItem(TPaletteItem* item, bool checked) override { Applied.append({item, checked}); }
};
T_ELEMENT_CLASS_IMPL(TElement_PaletteProbe, TElement)

class TElement_PaletteOther : public TElement {
    T_ELEMENT_CLASS(TElement_PaletteOther)
};
T_ELEMENT_CLASS_IMPL(TElement_PaletteOther, TElement)

TEST(StandardPalette, GroupsInOrderWithTheirCaptionsAndTheirItems) {
    const std::pair<TPaletteGroup*, int> groups[] = {
        {PaletteActionsGroup(), strActions},  {PaletteOptionsGroup(), strOptions},
        {PaletteInsertGroup(), strInsert},    {PaletteStateGroup(), strState},
        {PaletteAdditionalGroup(), strAdditional},
    };
    TNode* child = Palette()->FirstChild();
    for (const auto& [group, captionId] : groups) {
        ASSERT_EQ(child, group) << captionId;
        EXPECT_EQ(group->CaptionId(), captionId);
        child = child->NextSibling();
    }
    EXPECT_EQ(PaletteOtherInsertItem()->ClassType(), TPaletteItem::StaticClass()) << "a plain item";
    EXPECT_EQ(PaletteOtherInsertItem()->Parent(), PaletteInsertGroup());
    EXPECT_EQ(PaletteOtherAdditionalItem()->Parent(), PaletteAdditionalGroup());
    TDisablePaletteItem* disable = PaletteDisableItem();
    EXPECT_EQ(disable->Parent(), PaletteStateGroup());
    EXPECT_EQ(disable->Letter(), "D");
    EXPECT_TRUE(LoadStrLang(disable->HintId(), 1033).contains(QChar(0x00A0)));
    EXPECT_EQ(disable->GetSoundName(), "diClassesDisableSound");
}

TEST(PaletteItems, ImagesFlagsAndCaptions) {
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 5);
    TSchemePaletteItem* large = TSchemePaletteItem::Create(group.get(), pifLargeImage, -1, 0, 0, 1);
    EXPECT_EQ(large->LargeImage(), DefaultLargeImage());
    EXPECT_EQ(large->SmallImage(), NoImageIndex);
    TSchemePaletteItem* small = TSchemePaletteItem::Create(group.get(), 0, -1, 0, 0, 1);
    EXPECT_EQ(small->SmallImage(), DefaultSmallImage());
    TPaletteItem* plain = TPaletteItem::Create(group.get(), pifRadio, 7, 0, 0, 1);
    EXPECT_EQ(plain->Display(), 1);
    EXPECT_EQ(small->Display(), 0);
    EXPECT_EQ(plain->GetHint(), "");
    TElementPaletteItem* element =
        TElementPaletteItem::Create(group.get(), pifLargeImage, 3, 0, 0, 1, TElement_PaletteOther::StaticClass());
    EXPECT_EQ(element->Flags(), pifLargeImage | 0x0042);
    EXPECT_EQ(element->GetSoundName(), "diClassesElementSound");
    EXPECT_EQ(small->GetSoundName(), "diClassesItemSound");
    EXPECT_EQ(element->MakeInfo().Group, group.get());
}

// Flag 0x0008 is read as "needs an enabled target": the item is disabled while
// the element it would act on is disabled.
TEST(PaletteItems, EnabledForTargetByStateAndFlags) {
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 5);
    TPaletteItem* plain = TPaletteItem::Create(group.get(), 0, -1, 0, 0, 1);
    TPaletteItem* needsEnabled = TPaletteItem::Create(group.get(), pifNeedsEnabledTarget, -1, 0, 0, 1);
    TPaletteItem* changes = TPaletteItem::Create(group.get(), pifChangesElement, -1, 0, 0, 1);
    const TPaletteItemState on{true, false}, off{false, false};
    struct Case {
        TPaletteItem* item;
        TPaletteItemState state;
        bool disabled, readOnly, want;
    };
    const Case cases[] = {
        {plain, on, true, true, true},          {plain, off, false, false, false},
        {needsEnabled, on, false, true, true},  {needsEnabled, on, true, false, false},
        {changes, on, true, false, true},       {changes, on, false, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.item->IsEnabledFor(c.state, c.disabled, c.readOnly), c.want)
            << c.item->Flags() << " " << c.disabled << c.readOnly;
}

TEST(PaletteTree, FindItemForClassSearchesNestedItems) {
    TNodePtr<TPalette> palette = MakeNode<TPalette>();
    TPaletteGroup* g1 = TPaletteGroup::Create(palette.get(), 0, 2);
    TPaletteGroup* g2 = TPaletteGroup::Create(palette.get(), 0, 1);
    TPaletteItem* menu = TPaletteItem::Create(g1, pifDropDown, -1, 0, 0, 1);
    TElementPaletteItem* nested =
        TElementPaletteItem::Create(menu, 0, 0, 0, 0, 1, TElement_PaletteProbe::StaticClass());
    TElementPaletteItem::Create(g2, 0, 0, 0, 0, 1, TElement_PaletteProbe::StaticClass());  // later in the tree
    TElementPaletteItem* other = TElementPaletteItem::Create(g2, 0, 0, 0, 0, 1, TElement_PaletteOther::StaticClass());
    EXPECT_EQ(palette->FindItemForClass(TElement_PaletteProbe::StaticClass()), nested);
    EXPECT_EQ(palette->FindItemForClass(TElement_PaletteOther::StaticClass()), other);
    EXPECT_EQ(palette->FindItemForClass(TElement::StaticClass()), nullptr) << "the exact class only";
}

TEST(PaletteItems, ApplyingToAListSkipsDisabledElementsAndSoundsOnceAndSoDoSubCommands) {
    TRecordedSounds sounds;
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 5);
    TSchemePaletteItem* item = TSchemePaletteItem::Create(group.get(), 0, -1, 0, 0, 1);
    std::vector<TNodePtr<TElement>> owned;
    QList<TElement*> list;
    for (bool enabled : {true, false, true}) {
        auto* e = TElement::CreateIn<TElement_PaletteProbe>(nullptr, nullptr);
        e->Enabled = enabled;
        owned.emplace_back(e);
        list.append(e);
    }
    owned.emplace_back(TElement::CreateIn<TElement_PaletteOther>(nullptr, nullptr));  // no target: state stays enabled
    list.append(owned.back().get());
    item->ExecuteForList(list, true);
    EXPECT_EQ(sounds.played.size(), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(static_cast<TElement_PaletteProbe*>(list[i])->Applied.size(), i == 1 ? 0 : 1) << i;
    EXPECT_EQ(static_cast<TElement_PaletteProbe*>(list[0])->Applied[0].second, true);
    item->ExecuteFor(list[1], false);  // a single element is applied as asked
    EXPECT_EQ(static_cast<TElement_PaletteProbe*>(list[1])->Applied.size(), 1);
    EXPECT_EQ(sounds.played.size(), 2);

    // Sub-commands reach only the enabled elements.
    struct TSub : TSubExecutablePaletteItem {
        using TSubExecutablePaletteItem::TSubExecutablePaletteItem;
        QStringList calls;
        void ApplySub(TElement* element, const QString& sub) override { calls.append(sub); }
    };
    TNodePtr<TSub> sub = MakeNode<TSub>(uint16_t(0), -1, 0, 0, 1);
    sub->ApplySubToList({list[0], list[1]}, "x");
    EXPECT_EQ(sub->calls, QStringList{"x"});
}

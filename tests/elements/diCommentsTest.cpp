// Comments and descriptions: a description shown only while it has text or
// is being edited, placed at the right of its owner below the sheet's top,
// navigated first, disabled with its owner, surviving the owner's deletion
// and its undo; what a comment embeds and what it pastes.

#include "elements/diTitled.h"
#include "scheme/diUtils.h"
#include "support/testElements.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

// A described element of fixed size that joins the visual children of its
// element-tree parent.
class TElement_DescribedProbe : public TCustomDescribedElement {
    T_ELEMENT_CLASS(TElement_DescribedProbe)
public:
    TElement_DescribedProbe() noexcept { InitVisualOptions(voFocusable | voCanDisable); }
    void Create() override {
        TCustomDescribedElement::Create();
        SetSize(60, 20);
        CreateDescriptionField();
    }
    void TreePlacementChanged() override {
        auto* parent = dynamic_cast<TVisualElement*>(Parent());
        if (parent && !VisualParent()) SetVisualParent(parent);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_TestBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_DescribedProbe, TCustomDescribedElement)

// The sheet's root box that holds probes and comments.
class TElement_DescribedHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_DescribedHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        TElement_TestBox::FillAcceptedClasses(list);
        list << TElement_DescribedProbe::StaticClass() << TCustomCommentElement::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_DescribedHolder, TElement_TestBox)

namespace {

class Descriptions : public ::testing::Test, public TSheetFixture {
protected:
    Descriptions() : TSheetFixture(TElement_DescribedHolder::StaticClass()) {
        probe = TElement::CreateIn<TElement_DescribedProbe>(scheme.get(), root);
        Layout();
        description = probe->DescriptionField();
    }
    // Applies the "Description" item as the palette does.
    void ApplyDescriptionItem() { probe->ApplyItem(DescriptionPaletteItem(), false); }
    QPoint SheetPlace(const TVisualElement* element) const { return element->ClientToSheet(QPoint(0, 0)); }

    TElement_DescribedProbe* probe = nullptr;
    TDescriptionField* description = nullptr;
};

TEST_F(Descriptions, HiddenWhileEmptyShownWithAllTextSelectedByTheItemHiddenAgainWhenLeftEmpty) {
    ASSERT_EQ(description->VisualParent(), sheet.Root());
    EXPECT_FALSE(description->IsVisible());
    QList<TPaletteItem*> items;
    probe->GetPaletteItems(items);
    EXPECT_TRUE(items.contains(DescriptionPaletteItem()));

    ApplyDescriptionItem();
    EXPECT_TRUE(description->IsFocused());
    EXPECT_TRUE(description->IsVisible());
    const TRect margins = description->GetMargins();
    EXPECT_EQ(SheetPlace(description), SheetPlace(probe) + QPoint(probe->Width() + margins.Left, margins.Top));

    sheet.SetFocus(probe);
    EXPECT_FALSE(description->IsVisible()) << "left empty";
    description->SetPosition(0, 0);
    description->SetText(QStringLiteral("Filled without the caret"));
    EXPECT_EQ(SheetPlace(description), SheetPlace(probe) + QPoint(probe->Width() + margins.Left, margins.Top));
    description->SetText(QString());

    ApplyDescriptionItem();
    description->EnterText(TEnterMode::Selection, {}, false, QStringLiteral("Old words"));
    sheet.SetFocus(probe);
    EXPECT_TRUE(description->IsVisible()) << "left with text";
    EXPECT_EQ(probe->GetDescriptionText(), QStringLiteral("Old words"));

    ApplyDescriptionItem();
    description->EnterText(TEnterMode::Selection, {}, false, QStringLiteral("New"));
    EXPECT_EQ(description->GetText(), QStringLiteral("New")) << "the item selected all the text";
}

TEST_F(Descriptions, PlacedAtTheOwnersRightNeverAboveTheSheetsTop) {
    const TRect margins = description->GetMargins();
    struct TCase {
        int ownerTop;
        int expectedTop;
    };
    const TCase cases[] = {
        {-40, std::max(0, -40 + margins.Top)},
        {30, 30 + margins.Top},
    };
    probe->SetVisualParent(sheet.Root());
    ApplyDescriptionItem();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.ownerTop);
        probe->SetPosition(200, c.ownerTop);
        EXPECT_EQ(description->Top(), c.expectedTop);
        EXPECT_EQ(description->Left(), 200 + probe->Width() + margins.Left);
    }
}

TEST_F(Descriptions, KeyboardOrderPutsTheDescriptionFirst) {
    EXPECT_EQ(probe->GetNextChild(nullptr, false), description) << "no children: backward gives the description";
    TElement_TestBox* first = AddBox(probe);
    TElement_TestBox* second = AddBox(probe);
    ASSERT_EQ(first->VisualParent(), probe);
    struct TStep {
        TVisualElement* from;
        bool forward;
        TVisualElement* to;
    };
    const TStep steps[] = {
        {nullptr, true, description}, {description, true, first}, {first, true, second},
        {second, true, nullptr},       {nullptr, false, second},   {second, false, first},
        {first, false, description},   {description, false, nullptr},
    };
    for (const TStep& s : steps) {
        SCOPED_TRACE(testing::Message() << (s.from ? s.from->GetTypeName().toStdString() : "none") << s.forward);
        EXPECT_EQ(probe->GetNextChild(s.from, s.forward), s.to);
    }
    EXPECT_EQ(description->GetNavigationParent(), probe);
}

// Disabled, hidden, off the sheet with its owner; raised above the rest when focused.
TEST_F(Descriptions, FollowTheirOwner) {
    auto* other = TElement::CreateIn<TElement_DescribedProbe>(scheme.get(), root);
    Layout();
    ASSERT_EQ(sheet.Root()->LastVisualChild(), other->DescriptionField());
    ApplyDescriptionItem();
    EXPECT_EQ(sheet.Root()->LastVisualChild(), description);
    probe->SetDisabled(true);
    EXPECT_TRUE(description->IsEffectivelyDisabled());
    probe->SetDisabled(false);
    EXPECT_FALSE(description->IsEffectivelyDisabled());
    root->SetCollapsed(true);
    EXPECT_FALSE(description->IsVisible());
    probe->SetVisualParent(nullptr);
    EXPECT_EQ(description->VisualParent(), nullptr);
    probe->SetVisualParent(other);
    EXPECT_EQ(description->VisualParent(), sheet.Root());
}

TEST_F(Descriptions, OwnerDeletedAndRestoredTakesItsDescriptionAlong) {
    description->SetText(QStringLiteral("Kept"));
    const int32_t number = probe->Number();
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(probe));
    for (TVisualElement* c = sheet.Root()->FirstVisualChild(); c; c = c->NextVisualSibling())
        EXPECT_FALSE(c->InheritsFrom(TDescriptionField::StaticClass())) << "left on the sheet";

    history.Undo();
    auto* restored = dynamic_cast<TElement_DescribedProbe*>(scheme->FindElement(number));
    ASSERT_NE(restored, nullptr);
    Layout();
    EXPECT_EQ(restored->GetDescriptionText(), QStringLiteral("Kept"));
    EXPECT_EQ(restored->DescriptionField()->VisualParent(), sheet.Root());
    history.Redo();
    EXPECT_EQ(scheme->FindElement(number), nullptr);
}

// ---------------------------------------------------------------------------
// Comments

class Comments : public ::testing::Test, public TSheetFixture {
protected:
    // The tests start from empty groups and no data class; what the units
    // registered at start-up comes back afterwards.
    Comments() : TSheetFixture(TElement_DescribedHolder::StaticClass()) {
        ClassesGroups().GetGroup(cgCommentElements).clear();
        ClassesGroups().GetGroup(cgRichTextElements).clear();
        RegisterCommentDataClass(nullptr);
        comment = TElement::CreateIn<TCustomCommentElement>(scheme.get(), root);
        comment->SetVisualParent(root);
    }
    // The groups are shared: what the units put into them comes back for the tests after these.
    ~Comments() override {
        ClassesGroups().GetGroup(cgCommentElements) = m_commentClasses;
        ClassesGroups().GetGroup(cgRichTextElements) = m_richTextClasses;
        RegisterCommentDataClass(m_dataClass);
    }
    TCustomCommentElement* comment = nullptr;

private:
    const TClassesGroups::TGroup m_commentClasses = ClassesGroups().GetGroup(cgCommentElements);
    const TClassesGroups::TGroup m_richTextClasses = ClassesGroups().GetGroup(cgRichTextElements);
    const TElementClass* m_dataClass = CommentDataClass();
};

TEST_F(Comments, AcceptExactlyTheCommentGroup) {
    ClassesGroups().GetGroup(cgCommentElements) = {TElement_TestImage::StaticClass()};
    ClassesGroups().GetGroup(cgRichTextElements) << TElement_TestBox::StaticClass();
    TElementClassList list{TElement_TestButton::StaticClass()};
    comment->FillAcceptedClasses(list);
    EXPECT_EQ(list, TElementClassList{TElement_TestImage::StaticClass()});
}

TEST_F(Comments, AnswerTheClipboardClassOnceOneIsRegistered) {
    const TElementClass* cls = nullptr;
    EXPECT_FALSE(comment->HandleNodeMessage(nmClipboardElementClass, reinterpret_cast<intptr_t>(&cls), 0));
    EXPECT_EQ(cls, nullptr);
    RegisterCommentDataClass(TElement_TestImage::StaticClass());
    EXPECT_TRUE(comment->HandleNodeMessage(nmClipboardElementClass, reinterpret_cast<intptr_t>(&cls), 0));
    EXPECT_EQ(cls, TElement_TestImage::StaticClass());
}

}  // namespace

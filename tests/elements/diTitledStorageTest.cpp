// Titled elements in storage: each undoable change saved to knot text before,
// after, after its undo and after its redo, in file and in snapshot mode.

#include "core/cuKnot.h"
#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"
#include "scheme/diFilers.h"
#include "support/testVisualElements.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

// A collapsible titled element with a description and a text content.
class TElement_StorageTitled : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_StorageTitled)
public:
    void Create() override {
        TTitledElementWithContent::Create();
        CreateExpandButton(true);
        CreateDescriptionField();
    }
    void TreePlacementChanged() override {
        auto* parent = dynamic_cast<TVisualElement*>(Parent());
        if (parent && !VisualParent()) SetVisualParent(parent);
    }
    void WriteTitle(TTitleWriter& writer) override {
        TTitledElementWithContent::WriteTitle(writer);
        writer.AddText(QStringLiteral("Stored"));
        if (IsExpanded()) writer.AddBlock(Content());
    }
};
T_ELEMENT_CLASS_IMPL(TElement_StorageTitled, TTitledElementWithContent)

class TElement_StorageHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_StorageHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_StorageTitled::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_StorageHolder, TElement_TestBox)

namespace {

// "Expanded" in a file's attribute or a snapshot's child, written as collapsed.
const QString kCollapsedWritten = QStringLiteral("Expanded( ID=\"\\d+\" Value)?=\"0\"");

class TitledStorage : public ::testing::Test, public TSheetFixture {
protected:
    TitledStorage() : TSheetFixture(TElement_StorageHolder::StaticClass()) {
        first = TElement::CreateIn<TElement_StorageTitled>(scheme.get(), root);
        second = TElement::CreateIn<TElement_StorageTitled>(scheme.get(), root);
        Layout();
    }
    QString Saved(uint8_t mode) {
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("TestModule"));
        root->SaveToKnot(knot.get(), mode, 0);
        return knot->SaveToString();
    }
    TElement_StorageTitled* first = nullptr;
    TElement_StorageTitled* second = nullptr;
};

struct TStorageChange {
    const char* name;
    std::function<void(TElement_StorageTitled*, TElement_StorageTitled*)> change;
    QString written;  // a pattern of what the change writes in the saved text
    int times;        // how often
};

TEST_F(TitledStorage, EachChangeIsSavedAndRestoredByUndoAndRedo) {
    const TStorageChange changes[] = {
        {"description typed",
         [](TElement_StorageTitled* e, TElement_StorageTitled*) {
             e->DescriptionField()->EnterText(TEnterMode::Append, {}, false, QStringLiteral("Why it is here"));
         },
         QStringLiteral("Why it is here"), 1},
        {"content typed",
         [](TElement_StorageTitled* e, TElement_StorageTitled*) {
             static_cast<TTextorElement*>(e->Content())->EnterText(TEnterMode::Append, {}, false,
                                                                    QStringLiteral("Body"));
         },
         QStringLiteral("Value=\"Body\""), 1},
        {"collapsed", [](TElement_StorageTitled* e, TElement_StorageTitled*) { e->SetExpanded(false); },
         kCollapsedWritten, 1},
        {"Collapsed item on a selection",
         [](TElement_StorageTitled* a, TElement_StorageTitled* b) {
             CollapsedPaletteItem()->ExecuteForList({a, b}, true);
         },
         kCollapsedWritten, 2},
    };
    for (const TStorageChange& c : changes) {
        for (const uint8_t mode : {fmFile, fmSnapshot}) {
            SCOPED_TRACE(testing::Message() << c.name << (mode == fmFile ? " in a file" : " in a snapshot"));
            const QString before = Saved(mode);
            c.change(first, second);
            const QString after = Saved(mode);
            EXPECT_NE(after, before);
            EXPECT_EQ(after.count(QRegularExpression(c.written)), c.times) << after.toStdString();
            history.Undo();
            EXPECT_EQ(Saved(mode), before);
            history.Redo();
            EXPECT_EQ(Saved(mode), after);
            history.Undo();
        }
    }
}

TEST_F(TitledStorage, ALoadedCopyKeepsDescriptionContentAndState) {
    first->DescriptionField()->SetText(QStringLiteral("Described"));
    static_cast<TTextorElement*>(first->Content())->SetText(QStringLiteral("Body"));
    first->ExpandButton()->SetExpanded(false);
    for (const uint8_t mode : {fmFile, fmSnapshot}) {
        SCOPED_TRACE(int(mode));
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("E"));
        first->SaveToKnot(knot.get(), mode, 0);
        auto* copy = TElement::CreateIn<TElement_StorageTitled>(scheme.get(), root);
        copy->LoadFromKnot(knot.get(), mode, 0);
        EXPECT_EQ(copy->GetDescriptionText(), QStringLiteral("Described"));
        EXPECT_EQ(static_cast<TTextorElement*>(copy->Content())->GetText(), QStringLiteral("Body"));
        EXPECT_FALSE(copy->IsExpanded());
    }
}

TEST_F(TitledStorage, DescriptionsLeftOutWhenTheFilerSkipsComments) {
    first->DescriptionField()->SetText(QStringLiteral("Described"));
    for (const uint8_t options : {uint8_t(0), uint8_t(foSkipComments)}) {
        SCOPED_TRACE(int(options));
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("E"));
        first->SaveToKnot(knot.get(), fmFile, options);
        EXPECT_EQ(knot->SaveToString().contains(QStringLiteral("Described")), options == 0);
    }
}

}  // namespace

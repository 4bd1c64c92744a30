// Names and references under random edits: named elements are declared,
// renamed, removed and put back, references typed, every step undone and
// redone at random; after each step every reference agrees with the names.

#include "elements/diBaseElements.h"

#include "support/testNaming.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

// A box that offers the names of a scope it holds.
class TElement_RandomScopeBox : public TElement_TestBox, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_RandomScopeBox)
public:
    TElement_TestScope* Scope = nullptr;
    TNamespace* GetNamespace() override { return Scope; }
};
T_ELEMENT_CLASS_IMPL(TElement_RandomScopeBox, TElement_TestBox)

class TElement_RandomNamed : public TNamedElement {
    T_ELEMENT_CLASS(TElement_RandomNamed)
};
T_ELEMENT_CLASS_IMPL(TElement_RandomNamed, TNamedElement)

// Refers to any item.
class TElement_RandomReference : public TReferenceElement {
    T_ELEMENT_CLASS(TElement_RandomReference)
public:
    bool CanReferTo(TNamespaceItem* item) override { return item != nullptr; }
};
T_ELEMENT_CLASS_IMPL(TElement_RandomReference, TReferenceElement)

namespace {

// Names that differ in case only, and one that hides nothing.
const QString kRandomNames[] = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
                                QStringLiteral("ab"), QString()};
constexpr int kNamedCount = 6;
constexpr int kReferenceCount = 8;
constexpr int kStepsPerSeed = 250;
const unsigned kSeeds[] = {1u, 7u, 2024u};

// Moves an element between two parents as one undoable step.
class TRandomMoveOperation : public TElementOperation {
public:
    TRandomMoveOperation(TElement* element, TElement* to, TElement* from)
        : TElementOperation(element, false), m_to(to->Number()), m_from(from->Number()) {}

protected:
    void DoOnElement(TElement* element) override {
        TElementOperation::DoOnElement(element);
        element->SetParent(Scheme()->FindElement(m_to));
    }
    void UndoOnElement(TElement* element) override {
        TElementOperation::UndoOnElement(element);
        element->SetParent(Scheme()->FindElement(m_from));
    }

private:
    int32_t m_to;
    int32_t m_from;
};

class NamesRandom : public ::testing::Test, public TSheetFixture {
protected:
    NamesRandom() {
        box->Scope = AddScope(box, QStringLiteral("Names"));
        for (int i = 0; i < kNamedCount; ++i) {
            auto* named = TElement::CreateIn<TElement_RandomNamed>(scheme.get(), box);
            named->SetVisualParent(box);
            named->NameField()->SetText(kRandomNames[i % 4]);
            nameds.push_back(named);
        }
        for (int i = 0; i < kReferenceCount; ++i) {
            auto* reference = TElement::CreateIn<TElement_RandomReference>(scheme.get(), box);
            reference->SetVisualParent(box);
            reference->SetText(kRandomNames[i % 4]);
            references.push_back(reference);
        }
    }

    // The references leave before the namespace they listen to.
    ~NamesRandom() override {
        for (TElement_RandomReference* reference : references) reference->Free();
    }

    const QString& AnyName() { return kRandomNames[Pick(std::size(kRandomNames))]; }
    size_t Pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); }

    void Step() {
        switch (Pick(6)) {
        case 0:
        case 1:
            nameds[Pick(nameds.size())]->NameField()->ReplaceText(AnyName());
            return;
        case 2: {
            TElement_RandomNamed* named = nameds[Pick(nameds.size())];
            TElement* from = named->ParentElement();
            TSchemeOperation::Execute(MakeNode<TRandomMoveOperation>(named, from == box ? shelf : box, from));
            return;
        }
        case 3:
            references[Pick(references.size())]->ReplaceText(AnyName());
            return;
        case 4:
            if (history.CanUndo()) history.Undo();
            return;
        default:
            if (history.CanRedo()) history.Redo();
            return;
        }
    }

    // Each resolved reference reads its target's name, no unresolved one
    // has an accepted item of exactly its text, and every item counts the
    // references that point at it.
    void ExpectConsistent(int step) {
        std::map<TNamespaceItem*, int> counts;
        for (TElement_RandomReference* reference : references) {
            if (TNamespaceItem* target = reference->GetTargetItem()) {
                ++counts[target];
                EXPECT_EQ(reference->GetText(), target->GetName()) << "step " << step;
            } else {
                TNamespaceItem* match = box->Scope->FindItemByName(reference->GetText());
                EXPECT_TRUE(reference->GetText().isEmpty() || !match) << "step " << step << " text "
                                                                        << reference->GetText().toStdString();
            }
        }
        for (TElement_RandomNamed* named : nameds)
            if (TNamespaceItem* item = named->NameField()->Item()) {
                EXPECT_EQ(item->GetReferenceCount(), counts[item]) << "step " << step;
            }
    }

    std::mt19937 random;
    TElement_RandomScopeBox* box = TElement::CreateIn<TElement_RandomScopeBox>(scheme.get(), root);
    TElement_TestBox* shelf = AddBox(root);
    std::vector<TElement_RandomNamed*> nameds;
    std::vector<TElement_RandomReference*> references;
};

TEST_F(NamesRandom, ReferencesAgreeWithTheNamesAfterEveryStepUndoAndRedo) {
    for (unsigned seed : kSeeds) {
        SCOPED_TRACE(seed);
        random.seed(seed);
        ExpectConsistent(0);
        for (int step = 1; step <= kStepsPerSeed && !HasFailure(); ++step) {
            Step();
            ExpectConsistent(step);
        }
    }
}

}  // namespace

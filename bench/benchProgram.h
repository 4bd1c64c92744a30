// What the benchmarks that build Pascal program modules share: a module root
// that accepts the unit-level declarations and sees the standard types, and
// the element a palette insert just made.
#pragma once

#include "elements/coRoot.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prStandard.h"

namespace benchprogram {

// A module root: the unit-level declarations and the standard types.
class TElement_BenchProgramRoot : public TRoot, public IProgramElement {
    T_ELEMENT_CLASS(TElement_BenchProgramRoot)
public:
    TProgramClassification GetClassification() const override { return {TDeclarationKind::None, TScopeKind::ProgramRoot}; }
    void FillAcceptedClasses(TElementClassList& list) override {
        AddItemsOnce(list, ModuleElementClasses());
        TRoot::FillAcceptedClasses(list);
    }
    void Create() override {
        TRoot::Create();
        auto* standard = TElement::CreateSubElement<TNamespaceConnection>(this);
        standard->SetOwner(GeneralNamespace());
        standard->SetTarget(StandardTypesNamespace());
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchProgramRoot, TRoot)

// The last element of text that is not one of its parts.
inline TElement* LastInserted(TElement* text) {
    for (TNode* n = text->LastChild(); n; n = n->PrevSibling())
        if (auto* element = dynamic_cast<TElement*>(n); element && !element->IsSubElement()) return element;
    return nullptr;
}

}  // namespace benchprogram

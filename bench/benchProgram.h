// What the benchmarks that build Pascal program modules share: a module root
// that accepts the unit-level declarations and sees the standard types, a
// fresh scheme of the program kind, and inserting elements as the palette
// does.
#pragma once

#include "elements/coRoot.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prStandard.h"

#include <memory>
#include <stdexcept>

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

// A new element of class T at the end of text, as a palette insert makes it;
// a text that does not take it stops the benchmark.
template <class T>
T* Insert(TTextorElement* text) {
    TElement* before = LastInserted(text);
    text->InsertNewElement(T::StaticClass(), nullptr, std::nullopt);
    TElement* inserted = LastInserted(text);
    if (inserted == before) throw std::logic_error("the text does not take the element inserted");
    return static_cast<T*>(inserted);
}

// The same, named.
template <class T>
T* InsertNamed(TTextorElement* text, const QString& name) {
    T* element = Insert<T>(text);
    element->NameField()->ReplaceText(name);
    return element;
}

// A two-value operator of the given kind at the end of field, both sides typed.
template <class T>
T* InsertOperator(TTextorElement* field, uint8_t kind, const QString& left, const QString& right) {
    T* element = Insert<T>(field);
    element->SetKind(kind);
    element->LeftSide()->ReplaceText(left);
    element->RightSide()->ReplaceText(right);
    return element;
}

inline TTextorElement* ContentOf(TNamedElementWithContent* element) {
    return static_cast<TTextorElement*>(element->Content());
}

// An empty scheme of the program kind, as a new or loaded module starts.
inline std::unique_ptr<TScheme> NewProgramModule() {
    return std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName());
}

}  // namespace benchprogram

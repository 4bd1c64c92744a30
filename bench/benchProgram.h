// What the benchmarks that build Pascal program modules share: a module root
// that accepts the unit-level declarations and sees the standard types, a
// fresh scheme of the program kind, and inserting elements as the palette
// does.
#pragma once

#include "elements/coRoot.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"
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

// The routine "Run<i>" that counts up to its parameter N, adds into the
// unit-level field `total`, resets it past `limit`, calls the routine before
// it (the first one itself) and returns the total.
inline void BuildCountingRoutine(TTextorElement* root, int i, const QString& total, const QString& limit) {
    const QString run = QStringLiteral("Run");
    const QString counter = QStringLiteral("I");
    const QString integer = QStringLiteral("int");
    auto* method = InsertNamed<TElement_Method>(root, run + QString::number(i));
    method->ResultType()->ReplaceText(integer);
    InsertNamed<TElement_Parameter>(method->Parameters(), QStringLiteral("N"))->TypeField()->ReplaceText(integer);
    TTextorElement* body = method->Body();
    InsertNamed<TElement_Field>(body, counter)->TypeField()->ReplaceText(integer);
    auto* loop = Insert<TElement_While>(body);
    InsertOperator<TElement_Compare>(loop->Condition(), uint8_t(TCompareKind::Less), counter, QStringLiteral("N"));
    auto* loopBody = static_cast<TTextorElement*>(loop->Content());
    Insert<TElement_Inc>(loopBody)->Value()->ReplaceText(counter);
    auto* add = Insert<TElement_Let>(loopBody);
    add->LeftSide()->ReplaceText(total);
    InsertOperator<TElement_Operation>(add->RightSide(), uint8_t(TOperationKind::Summ), total, counter);
    auto* check = Insert<TElement_IfThen>(body);
    InsertOperator<TElement_Compare>(check->Condition(), uint8_t(TCompareKind::More), total, limit);
    auto* reset = Insert<TElement_Let>(static_cast<TTextorElement*>(check->Content()));
    reset->LeftSide()->ReplaceText(total);
    reset->RightSide()->ReplaceText(QStringLiteral("0"));
    auto* call = Insert<TElement_IdentifierInMethod>(body);
    call->Identifier()->ReplaceText(run + QString::number(i > 0 ? i - 1 : 0));
    if (auto values = call->ParameterValues()->Values(); !values.empty()) values[0]->ReplaceText(counter);
    Insert<TElement_Return>(body)->Result()->ReplaceText(total);
}

// An empty scheme of the program kind, as a new or loaded module starts.
inline std::unique_ptr<TScheme> NewProgramModule() {
    return std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName());
}

}  // namespace benchprogram

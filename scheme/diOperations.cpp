#include "scheme/diOperations.h"

#include "scheme/diSheet.h"
#include "scheme/diVisual.h"

T_CLASS_IMPL_ABSTRACT(TSchemeOperation, TOperation)
T_CLASS_IMPL_ABSTRACT(TSchemeGroupingOperation, TGroupingOperation)
T_CLASS_IMPL_ABSTRACT(TElementOperation, TSchemeOperation)

// ---------------------------------------------------------------------------
// TSchemeOperation, TSchemeGroupingOperation

void TSchemeOperation::Execute(TNodePtr<TSchemeOperation> op) {
    TUndoRedo* history = op->Scheme() ? op->Scheme()->UndoRedo() : nullptr;
    TOperation::Submit(std::move(op), history);
}

void TSchemeOperation::BeginExecute() {
    if (m_withMessages && m_scheme) m_scheme->BeginMessages();
    TOperation::BeginExecute();
}

void TSchemeOperation::EndExecute() {
    TOperation::EndExecute();
    if (m_withMessages && m_scheme) m_scheme->EndMessages();
}

void TSchemeGroupingOperation::BeginExecute() {
    if (m_withMessages && m_scheme) m_scheme->BeginMessages();
    TGroupingOperation::BeginExecute();
}

void TSchemeGroupingOperation::EndExecute() {
    TGroupingOperation::EndExecute();
    if (m_withMessages && m_scheme) m_scheme->EndMessages();
}

void TScheme::BeginOperationGroup(bool withMessages, const QString& caption) {
    if (m_undoRedo) m_undoRedo->BeginGroup(MakeNode<TSchemeGroupingOperation>(this, withMessages, caption));
}

void TScheme::EndOperationGroup() {
    if (m_undoRedo) m_undoRedo->EndGroup();
}

// ---------------------------------------------------------------------------
// TElementOperationDependents

TKnot* TElementOperationDependents::Add(TElement* element) {
    m_items.push_back({element->Number(), TKnot::Create()});
    return m_items.back().knot.get();
}

void TElementOperationDependents::Append(int32_t number, TNodePtr<TKnot> knot) {
    m_items.push_back({number, std::move(knot)});
}

void TElementOperationDependents::MoveTo(TElementOperationDependents& other) {
    for (Item& item : m_items) other.m_items.push_back(std::move(item));
    m_items.clear();
}

// ---------------------------------------------------------------------------
// TElementOperation

TElementOperation::TElementOperation(TElement* element, bool withMessages, const QString& caption)
    : TSchemeOperation(element->Scheme(), withMessages, caption), m_elementNumber(element->Number()) {
    if (auto* visual = dynamic_cast<TVisualElement*>(element)) m_wasFocused = visual->IsFocused();
}

// The element that was focused when the operation was made is focused again.
void TElementOperation::DoOnElement(TElement* element) {
    if (m_wasFocused)
        if (auto* visual = dynamic_cast<TVisualElement*>(element)) visual->Focus();
}

void TElementOperation::UndoOnElement(TElement* element) {
    if (m_wasFocused)
        if (auto* visual = dynamic_cast<TVisualElement*>(element)) visual->Focus();
}

namespace {
ISheet* SheetOf(TElement* element) {
    auto* visual = dynamic_cast<TVisualElement*>(element);
    return visual ? visual->Sheet() : nullptr;
}
}  // namespace

TElement* TElementOperation::FindElement() const {
    return Scheme() ? Scheme()->FindElement(m_elementNumber) : nullptr;
}

TElementOperationDependents& TElementOperation::GetRedoDependents() {
    if (!m_redoDependents) m_redoDependents = std::make_unique<TElementOperationDependents>();
    return *m_redoDependents;
}

TElementOperationDependents& TElementOperation::GetUndoDependents() {
    if (!m_undoDependents) m_undoDependents = std::make_unique<TElementOperationDependents>();
    return *m_undoDependents;
}

void TElementOperation::HandDependentsTo(TElementOperation& other) {
    if (m_redoDependents) m_redoDependents->MoveTo(other.GetRedoDependents());
    if (m_undoDependents) m_undoDependents->MoveTo(other.GetUndoDependents());
}

void TElementOperation::Restore(TScheme* scheme, TElementOperationDependents* set, bool redo) {
    if (!set || !scheme) return;
    for (int i = 0; i < set->Count(); ++i) {
        TElement* e = scheme->FindElement(set->GetElementNumber(i));
        if (!e) continue;
        if (redo)
            e->RedoDependent(set->GetKnot(i));
        else
            e->UndoDependent(set->GetKnot(i));
    }
}

void TElementOperation::DoExecute() {
    TSchemeOperation::DoExecute();
    TElement* element = FindElement();
    if (!element) return;
    TSheetUpdate update(SheetOf(element));
    DoOnElement(element);
    if (State() == osRedoing) Restore(Scheme(), m_redoDependents.get(), true);
}

void TElementOperation::DoUndo() {
    TSchemeOperation::DoUndo();
    TElement* element = FindElement();
    if (!element) return;
    TSheetUpdate update(SheetOf(element));
    UndoOnElement(element);
    Restore(Scheme(), m_undoDependents.get(), false);
}

#include "scheme/diOperations.h"

T_CLASS_IMPL_ABSTRACT(TElementOperation, TSchemeOperation)

// ---------------------------------------------------------------------------
// TElementOperationDependents

TKnot* TElementOperationDependents::Add(TElement* element) {
    m_items.push_back({element->Number(), TKnot::Create()});
    return m_items.back().knot.get();
}

void TElementOperationDependents::MoveTo(TElementOperationDependents& other) {
    for (Item& item : m_items) other.m_items.push_back(std::move(item));
    m_items.clear();
}

// ---------------------------------------------------------------------------
// TElementOperation

TElementOperation::TElementOperation(TElement* element, bool withMessages, const QString& caption)
    : TSchemeOperation(element->Scheme(), withMessages, caption),
      m_wasFocused(element->IsFocusedInView()),
      m_elementNumber(element->Number()) {}

// The element that was focused when the operation was made is focused again.
void TElementOperation::DoOnElement(TElement* element) {
    if (m_wasFocused) element->FocusInView();
}

void TElementOperation::UndoOnElement(TElement* element) {
    if (m_wasFocused) element->FocusInView();
}

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
    element->ChangeInViewUpdate([&] {
        DoOnElement(element);
        if (State() == osRedoing) Restore(Scheme(), m_redoDependents.get(), true);
    });
}

void TElementOperation::DoUndo() {
    TSchemeOperation::DoUndo();
    TElement* element = FindElement();
    if (!element) return;
    element->ChangeInViewUpdate([&] {
        UndoOnElement(element);
        Restore(Scheme(), m_undoDependents.get(), false);
    });
}

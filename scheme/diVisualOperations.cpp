#include "scheme/diVisualOperations.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diVisual.h"

T_CLASS_IMPL_ABSTRACT(TVisualElementDisableOperation, TElementOperation)

TVisualElementDisableOperation::TVisualElementDisableOperation(TElement* element, bool newDisabled)
    : TElementOperation(element, false, LoadStr(strDisabled)), m_newDisabled(newDisabled) {}

void TVisualElementDisableOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* visual = dynamic_cast<TVisualElement*>(element);
    if (!visual) return;
    m_oldDisabled = visual->IsDisabled();
    visual->SetDisabled(m_newDisabled);
    visual->NotifyFocusedState();
}

void TVisualElementDisableOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    auto* visual = dynamic_cast<TVisualElement*>(element);
    if (!visual) return;
    visual->SetDisabled(m_oldDisabled);
    visual->NotifyFocusedState();
}

void TVisualElement::DisableWithOperation(TVisualElement* element, bool disabled) {
    TSchemeOperation::Execute(MakeNode<TVisualElementDisableOperation>(element, disabled));
}

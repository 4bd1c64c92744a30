#pragma once
// The undoable switch of an element's own disabled state.

#include "scheme/diOperations.h"

class TVisualElementDisableOperation : public TElementOperation {
    T_CLASS(TVisualElementDisableOperation)
public:
    TVisualElementDisableOperation(TElement* element, bool newDisabled);
    bool NewDisabled() const noexcept { return m_newDisabled; }
    bool OldDisabled() const noexcept { return m_oldDisabled; }

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newDisabled;
    bool m_oldDisabled = false;
};

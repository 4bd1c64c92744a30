#pragma once
// Undoable changes of one element (the operations bound to a scheme are in
// diClasses). An element operation never keeps a pointer to its element: it
// keeps the number and finds the element again each time it runs, so it
// survives the deletion and re-creation of elements by other operations
// (re-created elements keep their numbers through snapshot loading). It may
// carry snapshots of other elements ("dependents") that are restored on redo
// and on undo, never on the first execution. It reaches the view showing its
// element only through the element's view hooks.

#include "core/cuKnot.h"
#include "scheme/diClasses.h"

#include <memory>
#include <vector>

// Snapshots of elements by number, in the order added; the knots are owned.
class TElementOperationDependents {
public:
    // A new empty knot filed under the element's number, for the caller to
    // fill (usually TElement::SaveToKnot in snapshot mode).
    TKnot* Add(TElement* element);
    int Count() const noexcept { return int(m_items.size()); }
    TKnot* GetKnot(int index) const { return m_items.at(size_t(index)).knot.get(); }
    int32_t GetElementNumber(int index) const { return m_items.at(size_t(index)).number; }
    // Moves every entry to the end of other.
    void MoveTo(TElementOperationDependents& other);

private:
    struct Item {
        int32_t number;
        TNodePtr<TKnot> knot;
    };
    std::vector<Item> m_items;
};

class TElementOperation : public TSchemeOperation {
    T_CLASS(TElementOperation)
public:
    TElementOperation(TElement* element, bool withMessages, const QString& caption = QString());

    int32_t ElementNumber() const noexcept { return m_elementNumber; }
    bool WasFocused() const noexcept { return m_wasFocused; }
    // The element, found by number in the scheme; nil when it is gone.
    TElement* FindElement() const;

    TElementOperationDependents& GetRedoDependents();
    TElementOperationDependents& GetUndoDependents();
    // Hands this operation's snapshots to other; its own sets are left empty.
    void HandDependentsTo(TElementOperation& other);

protected:
    // Run forwards (first execution and redo) and backwards on the element.
    // Kinds call the base first, which gives the element its view's focus
    // again when it had it when the operation was made.
    virtual void DoOnElement(TElement* element);
    virtual void UndoOnElement(TElement* element);

    void DoExecute() override;
    void DoUndo() override;

    bool m_wasFocused = false;

private:
    static void Restore(TScheme* scheme, TElementOperationDependents* set, bool redo);

    int32_t m_elementNumber;
    std::unique_ptr<TElementOperationDependents> m_redoDependents;
    std::unique_ptr<TElementOperationDependents> m_undoDependents;
};

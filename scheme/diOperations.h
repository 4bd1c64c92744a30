#pragma once
// Undoable changes bound to a scheme. An element operation never keeps a
// pointer to its element: it keeps the number and finds the element again
// each time it runs, so it survives the deletion and re-creation of elements
// by other operations (re-created elements keep their numbers through
// snapshot loading). It may carry snapshots of other elements ("dependents")
// that are restored on redo and on undo, never on the first execution.

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "scheme/diClasses.h"

#include <memory>
#include <vector>

// An operation on one scheme, optionally bracketing the scheme's message list
// (the outermost bracket clears it) on first execution, undo and redo.
class TSchemeOperation : public TOperation {
    T_CLASS(TSchemeOperation)
public:
    TSchemeOperation(TScheme* scheme, bool withMessages, const QString& caption = QString())
        : TOperation(caption), m_scheme(scheme), m_withMessages(withMessages) {}

    TScheme* Scheme() const noexcept { return m_scheme; }
    bool WithMessages() const noexcept { return m_withMessages; }

    // Submits op to its scheme's undo/redo list: it runs at once and is filed
    // in the open group or as one step; without a list it runs once and is freed.
    static void Execute(TNodePtr<TSchemeOperation> op);

protected:
    void BeginExecute() override;
    void EndExecute() override;

private:
    TScheme* m_scheme;
    bool m_withMessages;
};

class TSchemeGroupingOperation : public TGroupingOperation {
    T_CLASS(TSchemeGroupingOperation)
public:
    TSchemeGroupingOperation(TScheme* scheme, bool withMessages, const QString& caption = QString())
        : TGroupingOperation(caption), m_scheme(scheme), m_withMessages(withMessages) {}

    TScheme* Scheme() const noexcept { return m_scheme; }
    bool WithMessages() const noexcept { return m_withMessages; }

protected:
    void BeginExecute() override;
    void EndExecute() override;

private:
    TScheme* m_scheme;
    bool m_withMessages;
};

// Snapshots of elements by number, in the order added; the knots are owned.
class TElementOperationDependents {
public:
    // A new empty knot filed under the element's number, for the caller to
    // fill (usually TElement::SaveToKnot in snapshot mode).
    TKnot* Add(TElement* element);
    void Append(int32_t number, TNodePtr<TKnot> knot);
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
    // Kinds call the base first; the visual layer focuses the element there
    // when it was focused when the operation was made.
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

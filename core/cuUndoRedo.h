#pragma once
// Undoable operations and the undo history that runs and files them.
//
// An operation is a node; its children are its sub-operations. The history
// keeps the undo and redo lists, the open group, the operations running right
// now and a modified flag, and broadcasts each change to its handlers.

#include "core/cuNode.h"

#include <QString>

#include <vector>

class TUndoRedo;

class TOperation : public TNode {
    T_CLASS(TOperation)
public:
    enum : int { osIdle = 0, osFirstExecution = 1, osUndoing = 2, osRedoing = 3 };
    // Bits of GetFlags.
    enum : int {
        ofChangesData = 1,  // running it sets the modified flag
        ofNotKept = 2,      // freed after its first execution; with ofChangesData the history is cleared
    };

    explicit TOperation(QString caption = {}) : m_caption(std::move(caption)) {}

    int State() const noexcept { return m_state; }
    const QString& Caption() const noexcept { return m_caption; }
    TOperation* FirstOperation() const noexcept { return static_cast<TOperation*>(FirstChild()); }
    TOperation* LastOperation() const noexcept { return static_cast<TOperation*>(LastChild()); }

    // Runs the operation and its sub-operations forwards: the children first
    // to last, then DoExecute. isFirst tells a first execution from a redo.
    void Execute(bool isFirst);
    // Runs it backwards: DoUndo, then the children last to first.
    void Undo();
    // With a history: history->Execute(op). Without: the operation runs once
    // and is freed.
    static void Submit(TNodePtr<TOperation> op, TUndoRedo* history);

    // The text of the undo and redo captions; empty in the base.
    virtual QString GetCaption() const { return {}; }
    virtual int GetFlags() const { return ofChangesData; }
    // True when this operation, just filed after `previous`, was absorbed into
    // it and is to be freed.
    virtual bool MergeWith(TOperation* previous) { return false; }

protected:
    // Hooks around every execution, redo and undo: BeginExecute first,
    // EndExecute last.
    virtual void BeginExecute() {}
    virtual void EndExecute() {}
    virtual void DoExecute() {}
    virtual void DoUndo() {}

private:
    QString m_caption;
    int m_state = osIdle;
    friend class TUndoRedo;
};

// Collects what is submitted while it is open as its children.
class TGroupingOperation : public TOperation {
    T_CLASS(TGroupingOperation)
public:
    using TOperation::TOperation;

    // Its own caption, else the first child's, else empty.
    QString GetCaption() const override;
    // The OR of the children's flags; 0 without children.
    int GetFlags() const override;
};

class TUndoRedo : public TItfObject {
    T_CLASS(TUndoRedo)
public:
    // Broadcast codes; both arguments are 0.
    enum : int {
        urExecuted = 1,         // an operation was executed, or a group closed with content
        urUndone = 2,           // an undo was done
        urRedone = 3,           // a redo was done
        urModifiedChanged = 4,  // the modified flag changed
        urCleared = 6,          // the history was cleared
    };

    TUndoRedo();
    // Clears the history (broadcast 6) and frees its lists and an open group.
    ~TUndoRedo() override;

    // Runs a new operation as a first execution and files it: under the
    // innermost running operation or the open group, else at the end of the
    // undo list. Broadcasts 1. While an operation is being undone or redone,
    // a kept operation that it submits is freed without running: its recorded
    // twin among the children is already replayed.
    void Execute(TNodePtr<TOperation> op);
    // Take the next step back or forward; nothing happens when there is none.
    void Undo();
    void Redo();

    // The history owns the group in every case; only an outermost group
    // opened while nothing runs collects, any other is freed at once.
    void BeginGroup(TNodePtr<TGroupingOperation> group);
    void EndGroup();
    int GroupDepth() const noexcept { return m_groupDepth; }
    TGroupingOperation* CurrentGroup() const noexcept { return m_currentGroup.get(); }

    // Frees both lists (never an operation that is running) and broadcasts 6.
    void Clear();

    bool Modified() const noexcept { return m_modified; }
    // Broadcasts 4 when the value changed.
    void SetModified(bool value);
    void ResetModified() { SetModified(false); }

    bool CanUndo() const noexcept { return m_undoList->HasChildren(); }
    bool CanRedo() const noexcept { return m_redoList->HasChildren(); }
    TOperation* GetNextUndo() const noexcept { return static_cast<TOperation*>(m_undoList->LastChild()); }
    TOperation* GetNextRedo() const noexcept { return static_cast<TOperation*>(m_redoList->FirstChild()); }
    // The innermost running operation or the open group; nil when none.
    TOperation* GetCurrentOperation() const noexcept { return m_running.empty() ? nullptr : m_running.back(); }

    // The lists themselves: the undo list's children newest last, the redo
    // list's the next one first.
    const TNode* UndoList() const noexcept { return m_undoList.get(); }
    const TNode* RedoList() const noexcept { return m_redoList.get(); }

private:
    enum class RunMode { FirstExecution, Undo, Redo };
    // Runs a detached operation, keeping it in the running list meanwhile.
    // When it raises, it is freed and the exception passes on.
    void Run(TNodePtr<TOperation>& op, RunMode mode);
    void File(TNodePtr<TOperation> op);
    bool Replaying() const noexcept;
    static void FreeChildren(TNode* list);

    TNodePtr<TNode> m_undoList;
    TNodePtr<TNode> m_redoList;
    bool m_modified = false;
    int m_groupDepth = 0;
    TNodePtr<TGroupingOperation> m_currentGroup;
    std::vector<TOperation*> m_running;  // innermost last; not owned
};

#include "core/cuUndoRedo.h"

#include <algorithm>

T_CLASS_IMPL(TOperation, TNode)
T_CLASS_IMPL(TGroupingOperation, TOperation)
T_CLASS_IMPL(TUndoRedo, TItfObject)

namespace {
// Puts an operation back to idle on every way out of a run.
struct IdleOnExit {
    int& state;
    ~IdleOnExit() { state = TOperation::osIdle; }
};
}  // namespace

// ---------------------------------------------------------------------------
// TOperation

void TOperation::Execute(bool isFirst) {
    IdleOnExit idle{m_state};
    m_state = isFirst ? osFirstExecution : osRedoing;
    BeginExecute();
    // Only the children present now: sub-operations submitted meanwhile were
    // run when they were submitted.
    if (TOperation* last = LastOperation()) {
        for (TOperation* c = FirstOperation();; c = static_cast<TOperation*>(c->NextSibling())) {
            c->Execute(isFirst);
            if (c == last) break;
        }
    }
    DoExecute();
    EndExecute();
}

void TOperation::Undo() {
    IdleOnExit idle{m_state};
    m_state = osUndoing;
    BeginExecute();
    DoUndo();
    for (TOperation* c = LastOperation(); c; c = static_cast<TOperation*>(c->PrevSibling())) c->Undo();
    EndExecute();
}

void TOperation::Submit(TNodePtr<TOperation> op, TUndoRedo* history) {
    if (history)
        history->Execute(std::move(op));
    else
        op->Execute(true);  // freed on the way out, also when it raises
}

// ---------------------------------------------------------------------------
// TGroupingOperation

QString TGroupingOperation::GetCaption() const {
    if (!Caption().isEmpty()) return Caption();
    if (TOperation* first = FirstOperation()) return first->GetCaption();
    return {};
}

int TGroupingOperation::GetFlags() const {
    int flags = 0;
    for (TNode* c = FirstChild(); c; c = c->NextSibling()) flags |= static_cast<TOperation*>(c)->GetFlags();
    return flags;
}

// ---------------------------------------------------------------------------
// TUndoRedo

TUndoRedo::TUndoRedo() : m_undoList(MakeNode<TNode>()), m_redoList(MakeNode<TNode>()) {}

TUndoRedo::~TUndoRedo() {
    try {
        Clear();
    } catch (...) {
        LogCurrentException("A handler raised while an undo history was destroyed");
    }
}

void TUndoRedo::FreeChildren(TNode* list) {
    while (TNode* c = list->LastChild()) c->Free();
}

bool TUndoRedo::Replaying() const noexcept {
    const TOperation* current = GetCurrentOperation();
    return current && (current->m_state == TOperation::osUndoing || current->m_state == TOperation::osRedoing);
}

void TUndoRedo::Run(TNodePtr<TOperation>& op, RunMode mode) {
    m_running.push_back(op.get());
    auto leave = [this, raw = op.get()] {
        auto it = std::find(m_running.rbegin(), m_running.rend(), raw);
        if (it != m_running.rend()) m_running.erase(std::next(it).base());
    };
    try {
        switch (mode) {
        case RunMode::FirstExecution: op->Execute(true); break;
        case RunMode::Undo: op->Undo(); break;
        case RunMode::Redo: op->Execute(false); break;
        }
    } catch (...) {
        leave();
        op.reset();
        throw;
    }
    leave();
    if (op->GetFlags() & TOperation::ofChangesData) SetModified(true);
}

void TUndoRedo::Execute(TNodePtr<TOperation> op) {
    // While an operation is undone or redone its recorded sub-operations are
    // replayed as its children; a kept one submitted again would run twice.
    if (Replaying() && !(op->GetFlags() & TOperation::ofNotKept)) return;

    Run(op, RunMode::FirstExecution);
    const int flags = op->GetFlags();
    if (flags & TOperation::ofNotKept) {
        if (flags & TOperation::ofChangesData) Clear();
        op.reset();
    } else {
        FreeChildren(m_redoList.get());
        File(std::move(op));
    }
    Broadcast(urExecuted);
}

void TUndoRedo::File(TNodePtr<TOperation> op) {
    TNode* collector = m_running.empty() ? m_undoList.get() : m_running.back();
    TOperation* raw = op.get();
    raw->SetParent(collector);
    op.release();
    if (auto* previous = static_cast<TOperation*>(raw->PrevSibling()); previous && raw->MergeWith(previous))
        raw->Free();
}

void TUndoRedo::Undo() {
    TOperation* next = GetNextUndo();
    if (!next) return;
    // Out of every list while it runs, so that nothing it triggers (a clearing
    // operation, a new submission) can free it under its own feet.
    next->SetParent(nullptr);
    TNodePtr<TOperation> op(next);
    Run(op, RunMode::Undo);
    op.release()->SetParentBefore(m_redoList.get(), m_redoList->FirstChild());
    Broadcast(urUndone);
}

void TUndoRedo::Redo() {
    TOperation* next = GetNextRedo();
    if (!next) return;
    next->SetParent(nullptr);  // see Undo
    TNodePtr<TOperation> op(next);
    Run(op, RunMode::Redo);
    op.release()->SetParent(m_undoList.get());
    Broadcast(urRedone);
}

void TUndoRedo::BeginGroup(TNodePtr<TGroupingOperation> group) {
    ++m_groupDepth;
    if (m_groupDepth != 1 || !m_running.empty()) return;  // the group is freed here
    TGroupingOperation* raw = group.get();
    m_currentGroup = std::move(group);
    m_running.push_back(raw);
    raw->m_state = TOperation::osFirstExecution;
    try {
        raw->BeginExecute();
    } catch (...) {
        m_running.pop_back();
        m_currentGroup.reset();
        --m_groupDepth;
        throw;
    }
}

void TUndoRedo::EndGroup() {
    if (m_groupDepth == 0) return;  // unbalanced: nothing is open
    if (--m_groupDepth > 0 || !m_currentGroup) return;
    TNodePtr<TGroupingOperation> group = std::move(m_currentGroup);
    auto it = std::find(m_running.begin(), m_running.end(), group.get());
    if (it != m_running.end()) m_running.erase(it);
    {
        IdleOnExit idle{group->m_state};
        group->EndExecute();  // when it raises, the group is freed like any raising operation
    }
    if (!group->HasChildren()) return;
    group.release()->SetParent(m_undoList.get());
    Broadcast(urExecuted);
}

void TUndoRedo::Clear() {
    // Running operations are never in these lists: undo and redo take theirs
    // out while they run, and a new one is filed only after it ran.
    FreeChildren(m_undoList.get());
    FreeChildren(m_redoList.get());
    Broadcast(urCleared);
}

void TUndoRedo::SetModified(bool value) {
    if (m_modified == value) return;
    m_modified = value;
    Broadcast(urModifiedChanged);
}

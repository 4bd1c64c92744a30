#include "core/cuNode.h"

#include "core/cuStringIds.h"

T_CLASS_IMPL(TNode, TItfObject)

TNode::~TNode() = default;

void TNode::Free() {
    // The end of the node: what raises on the way is logged and freeing goes
    // on, so that the subtree never stays half freed and a TNodePtr's deleter
    // never raises.
    try {
        BeforeDestruction();
    } catch (...) {
        LogCurrentException("A node raised before its destruction");
    }
    try {
        SetParentBefore(nullptr, nullptr);
    } catch (...) {
        LogCurrentException("A node raised while it left its parent");
        if (m_parent) Unlink();
    }
    while (m_lastChild) m_lastChild->Free();
    DeleteSelf();
}

void TNode::DeleteSelf() noexcept {
    delete this;
}

void TNode::ParentChanging(TNode* newParent, TNode* before) {
    if (newParent) newParent->ValidateInsert(this, before);
}

// The child chain is kept by the list algorithms over the sibling links.
struct TNode::SiblingLinks {
    static TNode* Next(TNode* n) { return n->m_nextSibling; }
    static void SetNext(TNode* n, TNode* v) { n->m_nextSibling = v; }
    static TNode* Prev(TNode* n) { return n->m_prevSibling; }
    static void SetPrev(TNode* n, TNode* v) { n->m_prevSibling = v; }
};

namespace {
const auto& Siblings() {
    static const auto links = MakeBidiAccess(&TNode::SiblingLinks::Next, &TNode::SiblingLinks::SetNext,
                                             &TNode::SiblingLinks::Prev, &TNode::SiblingLinks::SetPrev);
    return links;
}
}  // namespace

void TNode::Unlink() {
    TBidirectionalList::Remove(m_parent->m_firstChild, m_parent->m_lastChild, this, Siblings());
    m_parent = nullptr;
}

void TNode::Link(TNode* newParent, TNode* before) {
    TBidirectionalList::Insert(newParent->m_firstChild, newParent->m_lastChild, this, before, Siblings());
    m_parent = newParent;
}

void TNode::AppendChildQuietly(TNode* child) noexcept {
    Q_ASSERT(child && !child->m_parent && child != this);
    child->m_parent = this;
    child->m_prevSibling = m_lastChild;
    child->m_nextSibling = nullptr;
    (m_lastChild ? m_lastChild->m_nextSibling : m_firstChild) = child;
    m_lastChild = child;
}

void TNode::SetParentBefore(TNode* newParent, TNode* before) {
    // Refused before anybody is called: a cycle would detach the subtree from
    // its root, and a foreign `before` would corrupt both child chains. A node
    // without children is an ancestor of nothing, so adding a new leaf does not
    // walk up the tree (building a deep tree stays linear).
    if (newParent) {
        if (newParent == this || (m_firstChild && IsAncestorOf(newParent)))
            throw Exception::FromId(strNodeIntoItself);
        if (before && before->m_parent != newParent) throw Exception::FromId(strNodeBeforeNotChild);
    }
    if (newParent && before == this) return;  // before itself, where it already is: nothing to do
    if (newParent != m_parent) {
        ParentChanging(newParent, before);
        if (TNode* old = m_parent) {
            Unlink();
            ParentChanged();
            old->ChildrenChanged();
        }
        if (newParent) {
            Link(newParent, before);
            ParentChanged();
            newParent->ChildrenChanged();
        }
    } else if (newParent && before != m_nextSibling) {
        ParentChanging(newParent, before);
        Unlink();
        Link(newParent, before);
        ParentChanged();
        newParent->ChildrenChanged();
    }
}

void TNode::ForEach(const Visitor& visit, bool selfFirst, bool recursive) {
    ForEachFast(visit, selfFirst, recursive);
}

void TNode::CollectOfClass(QList<TNode*>& list, const TClass* cls, bool recursive) {
    if (!cls || InheritsFrom(cls)) list.append(this);
    CollectChildrenOfClass(list, cls, recursive);
}

void TNode::CollectChildrenOfClass(QList<TNode*>& list, const TClass* cls, bool recursive) {
    for (TNode* c = m_firstChild; c; c = c->m_nextSibling) {
        if (recursive)
            c->CollectOfClass(list, cls, true);
        else if (!cls || c->InheritsFrom(cls))
            list.append(c);
    }
}

void TNode::SendNodeMessageUp(int msg, intptr_t p1, intptr_t p2) {
    for (TNode* n = this; n; n = n->m_parent) n->HandleNodeMessage(msg, p1, p2);
}

void TNode::BroadcastNodeMessage(int msg, intptr_t p1, intptr_t p2, bool selfFirst, bool recursive) {
    ForEachFast([&](TNode* n) { n->HandleNodeMessage(msg, p1, p2); }, selfFirst, recursive);
}

int TNode::GetIndex() const noexcept {
    if (!m_parent) return -1;
    int i = 0;
    for (const TNode* n = m_prevSibling; n; n = n->m_prevSibling) ++i;
    return i;
}

int TNode::ChildCount() const noexcept {
    int i = 0;
    for (const TNode* n = m_firstChild; n; n = n->m_nextSibling) ++i;
    return i;
}

int TNode::GetLevel() const noexcept {
    int level = 0;
    for (const TNode* n = m_parent; n; n = n->m_parent) ++level;
    return level;
}

TNode* TNode::GetRoot() noexcept {
    TNode* n = this;
    while (n->m_parent) n = n->m_parent;
    return n;
}

int TNode::GetAbsoluteIndex() const noexcept {
    // Each step back in document order counts one node; stepping to the
    // previous sibling skips that sibling's whole subtree at once.
    int index = 0;
    for (const TNode* n = this; n->m_parent; n = n->m_parent) {
        for (const TNode* s = n->m_prevSibling; s; s = s->m_prevSibling) {
            for ([[maybe_unused]] const TNode* m : PreOrder(s)) ++index;
        }
        index += 1;  // the parent
    }
    return index;
}

TNode* TNode::GetPreviousInOrder() const noexcept {
    if (TNode* s = m_prevSibling) {
        while (s->m_lastChild) s = s->m_lastChild;
        return s;
    }
    return m_parent;
}

TNode* TNode::FindParentOfClass(const TClass* cls) const noexcept {
    for (TNode* n = m_parent; n; n = n->m_parent)
        if (n->InheritsFrom(cls)) return n;
    return nullptr;
}

TNode* TNode::FindSelfOrParentOfClass(const TClass* cls) noexcept {
    return InheritsFrom(cls) ? this : FindParentOfClass(cls);
}

TNode* TNode::GetOnlyChildOfClass(const TClass* cls) const noexcept {
    if (m_firstChild && m_firstChild == m_lastChild && m_firstChild->InheritsFrom(cls)) return m_firstChild;
    return nullptr;
}

bool TNode::IsAncestorOf(const TNode* node) const noexcept {
    for (const TNode* n = node ? node->m_parent : nullptr; n; n = n->m_parent)
        if (n == this) return true;
    return false;
}

bool TNode::IsBefore(const TNode* a, const TNode* b) noexcept {
    if (a == b) return false;
    if (!a->m_parent) return true;
    if (!b->m_parent) return false;
    int la = a->GetLevel(), lb = b->GetLevel();
    const TNode* ra = a;
    const TNode* rb = b;
    for (; la > lb; --la) ra = ra->m_parent;
    for (; lb > la; --lb) rb = rb->m_parent;
    if (ra == b) return false;  // b is an ancestor of a
    if (rb == a) return true;   // a is an ancestor of b
    while (ra->m_parent != rb->m_parent) {
        ra = ra->m_parent;
        rb = rb->m_parent;
    }
    return TDirectionalList::Follows([](TNode* n) { return n->m_nextSibling; }, ra, rb);
}

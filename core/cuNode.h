#pragma once
// The ordered tree node: five links, owned children, a fixed order of move
// notifications, walks in either order, node messages and document order.
//
// A node is freed in exactly one way: Free() (or a TNodePtr). Free() runs the
// virtual BeforeDestruction() while the object is still whole, detaches it from
// its parent, frees the children current-last first, then deletes it (through
// the virtual DeleteSelf()).

#include "core/cuClasses.h"

#include <QList>

#include <functional>
#include <iterator>
#include <memory>

class TNode : public TItfObject {
    T_CLASS(TNode)
public:
    TNode() noexcept = default;

    // Two-phase destruction; see the file comment. Never raises: an exception
    // from BeforeDestruction or from a notification of the detach is logged
    // and freeing goes on. Safe on nullptr through FreeNode().
    void Free();

    TNode* Parent() const noexcept { return m_parent; }
    TNode* FirstChild() const noexcept { return m_firstChild; }
    TNode* LastChild() const noexcept { return m_lastChild; }
    TNode* NextSibling() const noexcept { return m_nextSibling; }
    TNode* PrevSibling() const noexcept { return m_prevSibling; }
    bool HasChildren() const noexcept { return m_firstChild != nullptr; }

    // Makes the node a child of newParent placed before `before` (nil: as last
    // child); nil newParent detaches it. Moving a node into itself or into one
    // of its descendants, or before a node that is not a child of newParent,
    // raises before anything is called.
    void SetParentBefore(TNode* newParent, TNode* before);
    void SetParent(TNode* newParent) { SetParentBefore(newParent, nullptr); }

    // Walks. With selfFirst the node comes before its children, taken first to
    // last; without, after them, taken last to first. The callback must not
    // detach or free the node it is given.
    using Visitor = std::function<void(TNode*)>;
    void ForEach(const Visitor& visit, bool selfFirst, bool recursive);
    // Adds the node (and its children, or all descendants) of class cls or a
    // descendant of it, in pre-order; every node when cls is nil.
    void CollectOfClass(QList<TNode*>& list, const TClass* cls, bool recursive);
    void CollectChildrenOfClass(QList<TNode*>& list, const TClass* cls, bool recursive);

    // Node messages.
    bool SendNodeMessage(int msg, intptr_t p1 = 0, intptr_t p2 = 0) { return HandleNodeMessage(msg, p1, p2); }
    void SendNodeMessageUp(int msg, intptr_t p1 = 0, intptr_t p2 = 0);
    void BroadcastNodeMessage(int msg, intptr_t p1, intptr_t p2, bool selfFirst, bool recursive);

    // Queries.
    int GetIndex() const noexcept;
    int GetLevel() const noexcept;
    TNode* GetRoot() noexcept;
    int GetAbsoluteIndex() const noexcept;
    TNode* GetPreviousInOrder() const noexcept;
    TNode* FindParentOfClass(const TClass* cls) const noexcept;
    TNode* FindSelfOrParentOfClass(const TClass* cls) noexcept;
    template <class I>
    I* FindParentInterface() const noexcept {
        for (TNode* n = m_parent; n; n = n->m_parent)
            if (I* i = dynamic_cast<I*>(n)) return i;
        return nullptr;
    }
    TNode* GetOnlyChildOfClass(const TClass* cls) const noexcept;
    bool IsAncestorOf(const TNode* node) const noexcept;
    static bool IsBefore(const TNode* a, const TNode* b) noexcept;
    int ChildCount() const noexcept;

    // Called by Free() first, while the most-derived object is still whole.
    virtual void BeforeDestruction() {}
    virtual bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) { return false; }
    virtual void ParentChanged() {}
    virtual void ChildrenChanged() {}
    // Asked of the future parent before a child is linked; raise to refuse.
    virtual void ValidateInsert(TNode* child, TNode* before) {}
    // Called first on a moving node; the base asks newParent->ValidateInsert.
    virtual void ParentChanging(TNode* newParent, TNode* before);

protected:
    // Only Free() deletes a node.
    ~TNode() override;
    // The last step of Free(), once the node has left its parent and its
    // children are freed: ends the object and gives its memory back. The
    // base deletes it; a class whose nodes live in memory that their tree
    // owns ends them there.
    virtual void DeleteSelf() noexcept;

    // Walks that skip std::function, for the hot paths of descendants.
    template <class F>
    void ForEachFast(F&& f, bool selfFirst, bool recursive);

    // Links a detached child as the last one without any notification, for
    // loaders whose node types react to none of them; the caller checks that.
    void AppendChildQuietly(TNode* child) noexcept;
    // Forgets every child without any notification or unlinking, for a class
    // that has already ended them itself (their memory being its tree's).
    void ForgetChildrenQuietly() noexcept { m_firstChild = m_lastChild = nullptr; }

public:
    struct SiblingLinks;

private:
    void Link(TNode* newParent, TNode* before);
    void Unlink();

    TNode* m_parent = nullptr;
    TNode* m_firstChild = nullptr;
    TNode* m_lastChild = nullptr;
    TNode* m_nextSibling = nullptr;
    TNode* m_prevSibling = nullptr;

    friend struct TNodeDeleter;
};

inline void FreeNode(TNode* node) {
    if (node) node->Free();
}

struct TNodeDeleter {
    void operator()(TNode* node) const { FreeNode(node); }
};

// Owning pointer to a node outside a tree.
template <class T>
using TNodePtr = std::unique_ptr<T, TNodeDeleter>;

template <class T, class... Args>
TNodePtr<T> MakeNode(Args&&... args) {
    return TNodePtr<T>(new T(std::forward<Args>(args)...));
}

// The links a pre-order walk follows: the node tree's own by default.
template <class N>
struct TNodeLinks {
    static N* First(N* n) noexcept { return static_cast<N*>(n->FirstChild()); }
    static N* Next(N* n) noexcept { return static_cast<N*>(n->NextSibling()); }
    static N* Up(N* n) noexcept { return static_cast<N*>(n->Parent()); }
};

// Pre-order walk of a subtree without recursion: the top first, then the
// subtree of each child, first to last. N is TNode or a derived class that
// every node of the subtree has (const or not). The walk reads the links of
// the current node when it moves on: the body must not detach or free it.
//     for (TKnot* k : PreOrder(top)) ...
// SkipChildren moves on past the current node's subtree instead of into it.
// Links names another tree over the same nodes (First, Next, Up).
template <class N, class Links = TNodeLinks<N>>
class TPreOrderIterator {
public:
    using value_type = N*;
    using difference_type = std::ptrdiff_t;

    TPreOrderIterator() noexcept = default;
    explicit TPreOrderIterator(N* top) noexcept : m_top(top), m_node(top) {}

    N* operator*() const noexcept { return m_node; }
    TPreOrderIterator& operator++() noexcept {
        Advance(Links::First(m_node));
        return *this;
    }
    void operator++(int) noexcept { ++*this; }
    void SkipChildren() noexcept { Advance(nullptr); }
    bool operator==(std::default_sentinel_t) const noexcept { return !m_node; }

private:
    void Advance(N* child) noexcept {
        if (!child) {
            N* n = m_node;
            while (n != m_top && !Links::Next(n)) n = Links::Up(n);
            child = n == m_top ? nullptr : Links::Next(n);
        }
        m_node = child;
    }

    N* m_top = nullptr;
    N* m_node = nullptr;
};

template <class N, class Links = TNodeLinks<N>>
struct TPreOrderRange {
    N* top;
    TPreOrderIterator<N, Links> begin() const noexcept { return TPreOrderIterator<N, Links>(top); }
    std::default_sentinel_t end() const noexcept { return {}; }
};

template <class N>
TPreOrderRange<N> PreOrder(N* top) noexcept {
    return {top};
}

template <class F>
void TNode::ForEachFast(F&& f, bool selfFirst, bool recursive) {
    if (selfFirst) {
        f(this);
        for (TNode* c = m_firstChild; c; c = c->m_nextSibling)
            recursive ? c->ForEachFast(f, true, true) : f(c);
    } else {
        for (TNode* c = m_lastChild; c; c = c->m_prevSibling)
            recursive ? c->ForEachFast(f, false, true) : f(c);
        f(this);
    }
}

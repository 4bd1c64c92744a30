#pragma once
// The object base of nearly every class: class references (TClass), comparable
// handler entries, the multicast handler list with its tolerant broadcast walk,
// the project's exception class, and the linked-chain algorithms.

#include "core/cuHandlerList.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <vector>

class TItfObject;

// ---------------------------------------------------------------------------
// Class references

// A class reference: the exact class name as stored files write it, the parent
// class, and an optional factory. Hierarchies that need class-level virtual
// operations derive their own metaclass from TClass.
class TClass {
public:
    using Factory = TItfObject* (*)();

    TClass(const char* name, const TClass* parent, Factory factory = nullptr) noexcept
        : m_name(name), m_parent(parent), m_factory(factory) {}
    virtual ~TClass() = default;
    TClass(const TClass&) = delete;
    TClass& operator=(const TClass&) = delete;

    const char* ClassName() const noexcept { return m_name; }
    QString Name() const { return QString::fromLatin1(m_name); }
    const TClass* ClassParent() const noexcept { return m_parent; }
    bool IsAbstract() const noexcept { return m_factory == nullptr; }

    // True when this class is `other` or descends from it; nil never matches.
    bool InheritsFrom(const TClass* other) const noexcept;

    // A new instance through the factory; raises for an abstract class.
    TItfObject* NewInstance() const;

private:
    const char* m_name;
    const TClass* m_parent;
    Factory m_factory;
};

// Declares the class reference of a class inside its body.
#define T_CLASS(Self)                                 \
public:                                               \
    static const TClass* StaticClass() noexcept;      \
    const TClass* ClassType() const noexcept override; \
                                                      \
private:

namespace detail {
template <class T>
TItfObject* NewOf() { return new T(); }
}  // namespace detail

// Defines the class reference of a class with a default constructor.
#define T_CLASS_IMPL(Self, Base)                                                    \
    const TClass* Self::StaticClass() noexcept {                                    \
        static const TClass cls(#Self, Base::StaticClass(), &detail::NewOf<Self>); \
        return &cls;                                                                \
    }                                                                               \
    const TClass* Self::ClassType() const noexcept { return StaticClass(); }

// Defines the class reference of a class that cannot be made by class reference.
#define T_CLASS_IMPL_ABSTRACT(Self, Base)                          \
    const TClass* Self::StaticClass() noexcept {                   \
        static const TClass cls(#Self, Base::StaticClass());       \
        return &cls;                                               \
    }                                                              \
    const TClass* Self::ClassType() const noexcept { return StaticClass(); }

// ---------------------------------------------------------------------------
// Errors

// The one exception class of the project. Its text is already localised; the
// string-table id it came from is kept (0 when none) so callers and tests can
// tell errors apart without comparing texts.
class Exception : public std::exception {
public:
    explicit Exception(QString text, int id = 0);
    // The text of string-table entry `id`, with "%1".."%n" filled from args,
    // taken from the installed text source; empty while none is installed.
    static Exception FromId(int id, const QStringList& args = {});

    // Where FromId takes its texts: the localisation unit installs its string
    // tables while it lives. Returns the source installed before.
    using TextSource = QString (*)(int id, const QStringList& args);
    static TextSource InstallTextSource(TextSource source) noexcept;

    const QString& Text() const noexcept { return m_text; }
    int Id() const noexcept { return m_id; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
    int m_id;
};

// At a border no exception may pass (a destructor, a slot, a thread body, the
// end of a node): logs the exception being handled with `context` and its
// text. Call it only inside a catch block.
void LogCurrentException(const char* context) noexcept;

// ---------------------------------------------------------------------------
// Handlers

// A handler: an object and one of its methods with the signature
// void (TItfObject* sender, int msg, intptr_t p1, intptr_t p2).
// Two handlers are equal when both the object and the method are.
struct THandler {
    using Thunk = void (*)(void* object, TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void* object = nullptr;
    Thunk thunk = nullptr;

    void operator()(TItfObject* sender, int msg, intptr_t p1, intptr_t p2) const {
        thunk(object, sender, msg, p1, p2);
    }
    explicit operator bool() const noexcept { return thunk != nullptr; }
    friend bool operator==(const THandler&, const THandler&) = default;
};

namespace detail {
template <auto Method, class C>
void HandlerThunk(void* object, TItfObject* sender, int msg, intptr_t p1, intptr_t p2) {
    (static_cast<C*>(object)->*Method)(sender, msg, p1, p2);
}
}  // namespace detail

// MakeHandler<&C::OnMessage>(this)
template <auto Method, class C>
THandler MakeHandler(C* object) noexcept {
    return THandler{object, &detail::HandlerThunk<Method, C>};
}

// ---------------------------------------------------------------------------
// TItfObject

// Base of nearly every object: explicit ownership (interfaces are plain
// abstract classes queried with dynamic_cast, never counted) and a multicast
// list of handlers notified, last added first, by Broadcast. The list is
// allocated on first use so that objects without listeners stay small.
class TItfObject {
public:
    TItfObject() noexcept = default;
    virtual ~TItfObject();
    TItfObject(const TItfObject&) = delete;
    TItfObject& operator=(const TItfObject&) = delete;

    static const TClass* StaticClass() noexcept;
    virtual const TClass* ClassType() const noexcept;
    QString ClassName() const { return ClassType()->Name(); }
    bool InheritsFrom(const TClass* cls) const noexcept { return ClassType()->InheritsFrom(cls); }

    // Appends; the same handler may be added more than once.
    void AddHandler(const THandler& handler);
    // Removes the last entry equal to `handler`; nothing when absent.
    void RemoveHandler(const THandler& handler);
    int HandlerCount() const noexcept;

    // Calls the handlers with (this, msg, p1, p2), last added first. Handlers
    // may add and remove handlers, and may even free this object, while called.
    virtual void Broadcast(int msg, intptr_t p1 = 0, intptr_t p2 = 0);

private:
    std::unique_ptr<THandlerList<THandler>> m_handlers;
};

// The object as a T when its class reference is T's or descends from it; nil
// otherwise (and for nil). The class references answer by following parent
// pointers, without the search through the type information (and its name
// comparisons) that a dynamic_cast makes, so hot walks use this. T must
// declare its own class reference (T_CLASS or T_ELEMENT_CLASS in its body):
// for a class that only inherits one it would answer for the ancestor.
template <class T, class U>
auto ClassAs(U* object) noexcept {
    using R = std::conditional_t<std::is_const_v<U>, const T, T>;
    return object && object->InheritsFrom(T::StaticClass()) ? static_cast<R*>(object) : nullptr;
}

// Interface query: the object as interface I, or nullptr; what
// dynamic_cast<I*>(object) answers. Where an interface sits inside an object
// depends only on the object's dynamic type, so the answer is remembered per
// type (and per thread: nothing is shared): a failed dynamic_cast searches
// the whole class graph, comparing type names, and hot queries of deep
// element classes would spend most of their time there.
template <class I, class T>
I* Supports(T* object) {
    static_assert(std::is_polymorphic_v<T>);
    if (!object) return nullptr;
    constexpr std::ptrdiff_t kNotSupported = PTRDIFF_MIN;
    thread_local std::unordered_map<const std::type_info*, std::ptrdiff_t> offsets;
    const std::type_info* type = &typeid(*object);
    auto found = offsets.find(type);
    if (found == offsets.end()) {
        I* answer = dynamic_cast<I*>(object);
        const std::ptrdiff_t offset =
            answer ? reinterpret_cast<const char*>(answer) - reinterpret_cast<const char*>(object) : kNotSupported;
        found = offsets.emplace(type, offset).first;
    }
    if (found->second == kNotSupported) return nullptr;
    using TChar = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<I*>(reinterpret_cast<TChar*>(object) + found->second);
}

// ---------------------------------------------------------------------------
// Linked-chain algorithms over accessor functions. They never allocate.
// `GetNext(n)`, `SetNext(n, v)`, `GetPrev(n)`, `SetPrev(n, v)` are callables.

struct TDirectionalList {
    template <class N, class GetNext>
    static N* Skip(GetNext next, N* start, int count) {
        while (count > 0 && start) {
            start = next(start);
            --count;
        }
        return start;
    }

    template <class N, class GetNext>
    static int IndexOf(GetNext next, N* start, int startIndex, const N* target) {
        for (int i = startIndex; start; start = next(start), ++i)
            if (start == target) return i;
        return -1;
    }

    // True when b is nil, or b is reached from a by following next (a itself excluded).
    template <class N, class GetNext>
    static bool Follows(GetNext next, const N* a, const N* b) {
        if (!b) return true;
        if (a == b) return false;
        for (const N* n = a; n; n = next(const_cast<N*>(n)))
            if (n == b) return true;
        return false;
    }

    template <class N, class GetNext>
    static N* Last(GetNext next, N* first) {
        if (!first) return nullptr;
        while (N* n = next(first)) first = n;
        return first;
    }
};

struct TUnidirectionalList : TDirectionalList {
    template <class N, class SetNext>
    static void InsertFirst(N*& first, N* node, SetNext setNext) {
        setNext(node, first);
        first = node;
    }

    template <class N, class GetNext, class SetNext>
    static void Append(N*& first, N* node, GetNext next, SetNext setNext) {
        if (!first)
            first = node;
        else
            setNext(Last(next, first), node);
    }

    template <class N, class GetNext, class SetNext>
    static void Remove(N*& first, N* node, GetNext next, SetNext setNext) {
        if (first == node) {
            first = next(node);
        } else {
            N* prev = first;
            while (prev && next(prev) != node) prev = next(prev);
            if (prev) setNext(prev, next(node));
        }
        setNext(node, static_cast<N*>(nullptr));
    }
};

// Accessors of a doubly linked chain, grouped so that calls stay short.
template <class GetNext, class SetNext, class GetPrev, class SetPrev>
struct TBidiAccess {
    GetNext next;
    SetNext setNext;
    GetPrev prev;
    SetPrev setPrev;
};

template <class GetNext, class SetNext, class GetPrev, class SetPrev>
auto MakeBidiAccess(GetNext next, SetNext setNext, GetPrev prev, SetPrev setPrev) {
    return TBidiAccess<GetNext, SetNext, GetPrev, SetPrev>{next, setNext, prev, setPrev};
}

struct TBidirectionalList : TDirectionalList {
    // Links node before `before`; nil appends at the end.
    template <class N, class A>
    static void Insert(N*& first, N*& last, N* node, std::type_identity_t<N*> before, const A& a) {
        if (!first) {
            first = last = node;
            a.setPrev(node, nullptr);
            a.setNext(node, nullptr);
            return;
        }
        if (!before) {
            a.setPrev(node, last);
            a.setNext(node, nullptr);
            a.setNext(last, node);
            last = node;
            return;
        }
        N* p = a.prev(before);
        a.setPrev(node, p);
        a.setNext(node, before);
        a.setPrev(before, node);
        if (p)
            a.setNext(p, node);
        else
            first = node;
    }

    template <class N, class A>
    static void Remove(N*& first, N*& last, N* node, const A& a) {
        if (first == last) {
            first = last = nullptr;
        } else {
            N* p = a.prev(node);
            N* n = a.next(node);
            if (p) a.setNext(p, n);
            if (n) a.setPrev(n, p);
            if (first == node) first = n;
            if (last == node) last = p;
        }
        a.setNext(node, nullptr);
        a.setPrev(node, nullptr);
    }

    template <class N, class A>
    static void Move(N*& first, N*& last, N* node, std::type_identity_t<N*> before, const A& a) {
        Remove(first, last, node, a);
        Insert(first, last, node, before, a);
    }

    // Removes the first node and hands it to `free` until the chain is empty.
    template <class N, class A, class Free>
    static void Clear(N*& first, N*& last, const A& a, Free free) {
        while (first) {
            N* n = first;
            Remove(first, last, n, a);
            free(n);
        }
    }
};

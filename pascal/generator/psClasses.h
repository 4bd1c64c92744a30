#pragma once
// The base of the Pascal code model. The generator builds a whole tree of code
// nodes first, simplifies it, makes provisional names unique and only then lets
// the tree write itself through a TPascalCodeWriter.
//
// Model nodes are light: every node carries a kind tag so that the hot paths
// (brackets, usage search, entry kinds) never need a dynamic_cast, and moving a
// model node sends no notification beyond the empty virtual calls of TNode.

#include "core/cuBlockPool.h"
#include "core/cuNode.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

class TPascalCodeWriter;

// The memory of the nodes of one code tree: taken in order from large
// blocks, so that a tree of many small nodes costs no allocation per node and
// its nodes lie in the order they were made, and given back all together
// when the arena ends with the tree's root. A node freed before then is ended
// (its destructor runs) but leaves its memory to the arena. Sanitizer builds
// allocate and free each node on its own, so that a node touched after it was
// freed is reported, and so is one freed after its root.
class TPascalNodeArena {
public:
    // Every class of the model needs no more than pointer alignment.
    static constexpr size_t kAlignment = alignof(void*);

    TPascalNodeArena() noexcept = default;
    ~TPascalNodeArena();
    TPascalNodeArena(const TPascalNodeArena&) = delete;
    TPascalNodeArena& operator=(const TPascalNodeArena&) = delete;

    // Room for size bytes aligned to kAlignment; raises std::bad_alloc.
    void* Allocate(size_t size);
    // The memory of an ended node: kept until the arena ends.
#ifdef QUILLANE_GENERAL_ALLOCATOR
    void Release(void* node) noexcept;
#else
    void Release(void*) noexcept {}
#endif

private:
    static constexpr size_t kBlockBytes = 64 * 1024;

#ifdef QUILLANE_GENERAL_ALLOCATOR
    size_t m_live = 0;  // nodes allocated and not yet released
#else
    std::vector<void*> m_blocks;
    char* m_next = nullptr;
    size_t m_left = 0;
#endif
};

// One tag per concrete (or base) class of the model.
enum class TPascalKind : uint8_t {
    Node, Floating, Commented, Named, Comment,
    ConstEntry, VarEntry, TypeEntry, MethodEntry, ClassPropertyEntry,
    Declarations, IfDef,
    // expressions
    Expression, SetValues, ExpressionItem, CustomItem, StringItem, IntegerItem, BooleanItem, SetItem, NotItem,
    IsItem, ToTypeItem, InItem, CompareItem, OperationItem, Call, CallInExpression, CallParameterValue,
    CallParameterValues,
    // statements
    Commands, CustomCommand, Let, CallInCommands, If, Case, CaseItems, CaseItem, While, For, TryFinally,
    TryExcept, TryExceptItems, TryExceptItem,
    // constants, variables, routines
    Constant, Variable, ResultVariable, MethodParameter, MethodParameters, MethodHead, MethodDeclaration,
    MethodWithImplementation,
    // types
    EnumItem, Enum, SetOf, RecordField, Record, Array, Pointer, TypeAlias, MethodType, InterfacePredeclaration,
    ClassPredeclaration, ClassOf, ClassProperty, Class, ClassInterfaces,
    // units
    UsedUnit, UsedUnits, UnitClause, Module, Unit
};

class TPascalNode : public TNode {
    T_CLASS(TPascalNode)
public:
    TPascalNode() noexcept : TPascalNode(TPascalKind::Node, false) {}

    TPascalKind NodeKind() const noexcept { return m_kind; }
    // A floating node is an item of a list that its parent writes in order; a
    // non-floating node is a fixed part that its owner writes itself.
    bool IsFloating() const noexcept { return m_floating; }

    // Runs once after construction, before the node is attached: creates the
    // fixed children of the class.
    virtual void Create() {}
    // The simplification pass; the base simplifies every child in order.
    virtual void Simplify();
    // The base writes every child in order, but only when the first child is
    // floating (a node whose first child is a fixed part writes nothing).
    virtual void Write(TPascalCodeWriter& writer);

    TPascalNode* ParentNode() const noexcept { return static_cast<TPascalNode*>(Parent()); }
    TPascalNode* First() const noexcept { return static_cast<TPascalNode*>(FirstChild()); }
    TPascalNode* Last() const noexcept { return static_cast<TPascalNode*>(LastChild()); }
    TPascalNode* Next() const noexcept { return static_cast<TPascalNode*>(NextSibling()); }
    TPascalNode* Prev() const noexcept { return static_cast<TPascalNode*>(PrevSibling()); }
    // The only child, or nil when there are none or several.
    TPascalNode* Only() const noexcept { return FirstChild() && FirstChild() == LastChild() ? First() : nullptr; }

    // Writes every child in order, whatever its class.
    void WriteChildren(TPascalCodeWriter& writer);

    // The arena that nodes made under this one take their memory from; nil:
    // they are allocated one by one.
    TPascalNodeArena* Arena() const noexcept { return m_arena; }

    // A new node of class T in the arena (nil: allocated on its own); not
    // attached, its fixed children not yet made.
    template <class T>
    static TNodePtr<T> Make(TPascalNodeArena* arena) {
        static_assert(alignof(T) <= TPascalNodeArena::kAlignment, "model nodes are aligned for pointers only");
        T* node = arena ? new (arena->Allocate(sizeof(T))) T() : new T();
        node->TPascalNode::m_arena = arena;
        node->TPascalNode::m_storage = arena ? TStorage::Arena : TStorage::Heap;
        return TNodePtr<T>(node);
    }
    // A new node of class T that owns an arena of its own, which the nodes
    // made under it take their memory from and which goes with it.
    template <class T>
    static TNodePtr<T> MakeArenaRoot() {
        auto arena = std::make_unique<TPascalNodeArena>();
        TNodePtr<T> node = Make<T>(arena.get());
        node->TPascalNode::m_storage = TStorage::ArenaOwner;
        arena.release();
        return node;
    }

protected:
    TPascalNode(TPascalKind kind, bool floating) noexcept : m_kind(kind), m_floating(floating) {}
    ~TPascalNode() override;
    void SetFloating(bool floating) noexcept { m_floating = floating; }

    // A node whose memory is an arena's joins only nodes of the same arena:
    // it must not outlive the root that owns it. Raises otherwise.
    void ParentChanging(TNode* newParent, TNode* before) override;
    // A node of an arena ends the nodes under it itself (see EndChildrenInPlace).
    void BeforeDestruction() override;
    void DeleteSelf() noexcept override;

private:
    // Where the node's own memory is: allocated on its own, in m_arena, or in
    // m_arena that the node owns.
    enum class TStorage : uint8_t { Heap, Arena, ArenaOwner };

    // Ends every node under this node of an arena, deepest first: those of
    // the arena in place, neither unlinked nor notified (no model node reacts
    // to a move, and their memory stays with the arena), those made on their
    // own by Free, first, while their siblings are still whole.
    void EndChildrenInPlace() noexcept;

    TPascalNodeArena* m_arena = nullptr;
    TPascalKind m_kind;
    bool m_floating;
    TStorage m_storage = TStorage::Heap;
};

// The node as T when its kind is exactly T's (T::StaticKind); nil otherwise.
template <class T>
T* PascalAs(TNode* node) noexcept {
    return node && static_cast<TPascalNode*>(node)->NodeKind() == T::StaticKind ? static_cast<T*>(node) : nullptr;
}
template <class T>
const T* PascalAs(const TNode* node) noexcept {
    return PascalAs<T>(const_cast<TNode*>(node));
}
inline TPascalKind PascalKindOf(const TNode* node) noexcept {
    return static_cast<const TPascalNode*>(node)->NodeKind();
}

class TPascalFloatingNode : public TPascalNode {
    T_CLASS(TPascalFloatingNode)
public:
    TPascalFloatingNode() noexcept : TPascalNode(TPascalKind::Floating, true) {}

protected:
    explicit TPascalFloatingNode(TPascalKind kind) noexcept : TPascalNode(kind, true) {}
};

class TPascalCommentedNode : public TPascalFloatingNode {
    T_CLASS(TPascalCommentedNode)
public:
    TPascalCommentedNode() noexcept : TPascalFloatingNode(TPascalKind::Commented) {}
    QString Comment;

    // " " and the comment form "{ %s }" when Comment is set.
    void WriteTrailingComment(TPascalCodeWriter& writer) const;
    // ";", the trailing comment and the line end that close a declaration.
    void WriteDeclarationEnd(TPascalCodeWriter& writer) const;

protected:
    explicit TPascalCommentedNode(TPascalKind kind) noexcept : TPascalFloatingNode(kind) {}
};

class TPascalNamedNode : public TPascalCommentedNode {
    T_CLASS(TPascalNamedNode)
public:
    TPascalNamedNode() noexcept : TPascalCommentedNode(TPascalKind::Named) {}
    QString Name;
    // The name is a wish that the unique-name pass may change.
    bool Provisional = false;

    // True for every class derived from TPascalNamedNode.
    static bool IsNamedKind(TPascalKind kind) noexcept;

protected:
    explicit TPascalNamedNode(TPascalKind kind) noexcept : TPascalCommentedNode(kind) {}
};

inline TPascalNamedNode* PascalAsNamed(TNode* node) noexcept {
    return node && TPascalNamedNode::IsNamedKind(PascalKindOf(node)) ? static_cast<TPascalNamedNode*>(node) : nullptr;
}

// What a comment in a declarations list belongs to.
enum class TPascalCommentAttachment : uint8_t { Free, ToPrevious, ToNext };

class TPascalComment : public TPascalFloatingNode {
    T_CLASS(TPascalComment)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Comment;
    TPascalComment() noexcept : TPascalFloatingNode(TPascalKind::Comment) {}
    TPascalCommentAttachment Attachment = TPascalCommentAttachment::Free;
    QString Text;
    void Write(TPascalCodeWriter& writer) override;
};

// The entry classes mark the declaration kind of a declarations list's child.
class TPascalConstEntry : public TPascalNamedNode {
    T_CLASS(TPascalConstEntry)
protected:
    explicit TPascalConstEntry(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};
class TPascalVarEntry : public TPascalNamedNode {
    T_CLASS(TPascalVarEntry)
protected:
    explicit TPascalVarEntry(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};
class TPascalTypeEntry : public TPascalNamedNode {
    T_CLASS(TPascalTypeEntry)
protected:
    explicit TPascalTypeEntry(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};
class TPascalMethodEntry : public TPascalNamedNode {
    T_CLASS(TPascalMethodEntry)
protected:
    explicit TPascalMethodEntry(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};
class TPascalClassPropertyEntry : public TPascalNamedNode {
    T_CLASS(TPascalClassPropertyEntry)
protected:
    explicit TPascalClassPropertyEntry(TPascalKind kind) noexcept : TPascalNamedNode(kind) {}
};

// The declaration kind of a declarations list's child: none (a free comment),
// const, type, var, or anything else (routines, properties, conditional blocks).
enum class TPascalEntryKind : uint8_t { None, Const, Type, Var, Other };

// A set of entry kinds.
class TPascalEntryKinds {
public:
    constexpr TPascalEntryKinds() noexcept = default;
    constexpr TPascalEntryKinds(std::initializer_list<TPascalEntryKind> kinds) noexcept {
        for (TPascalEntryKind kind : kinds) m_bits = static_cast<uint8_t>(m_bits | Bit(kind));
    }
    constexpr bool Contains(TPascalEntryKind kind) const noexcept { return (m_bits & Bit(kind)) != 0; }

private:
    static constexpr uint8_t Bit(TPascalEntryKind kind) noexcept { return uint8_t(1u << uint8_t(kind)); }
    uint8_t m_bits = 0;
};

TPascalEntryKind GetEntryKind(const TNode* node);

// A list of declarations that writes "const", "type" and "var" sections.
class TPascalDeclarations : public TPascalNode {
    T_CLASS(TPascalDeclarations)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Declarations;
    TPascalDeclarations() noexcept : TPascalNode(TPascalKind::Declarations, false) {}

    TPascalEntryKinds HeaderKinds;
    TPascalEntryKinds IndentKinds;
    TPascalEntryKinds SpacedKinds = {TPascalEntryKind::Type};
    bool SeparateSections = false;

    // The first named child with exactly that name; nil when none.
    TPascalNamedNode* FindNamed(const QString& name) const;
    // Where a new field of a class section goes: before the first routine or
    // property of the list (nil: at the end).
    TPascalNode* FieldInsertPoint() const;

    void Write(TPascalCodeWriter& writer) override;

private:
    void ChangeSection(TPascalCodeWriter& writer, TPascalEntryKind from, TPascalEntryKind to, bool needVarHeader);
};

// Creates a node of class T (its fixed children through Create) in owner's
// arena and inserts it under owner before `before` (nil appends). Every
// builder goes through it.
template <class T>
T* CreateNode(TPascalNode* owner, TNode* before = nullptr) {
    TNodePtr<T> node = TPascalNode::Make<T>(owner ? owner->Arena() : nullptr);
    node->Create();
    if (owner) node->SetParentBefore(owner, before);
    return node.release();
}
// The same by class reference; raises for a class that is not a model node.
TPascalNode* CreateNode(TPascalNode* owner, const TClass* nodeClass, TNode* before = nullptr);
// A named node of class T with that name, made as CreateNode makes it.
template <class T>
T* CreateNamedNode(TPascalNode* owner, const QString& name, TNode* before = nullptr) {
    T* node = CreateNode<T>(owner, before);
    node->Name = name;
    return node;
}
// A model node not yet attached anywhere (a module, mostly), the root of a
// tree whose nodes take their memory from the root's arena.
template <class T>
TNodePtr<T> CreateRootNode() {
    TNodePtr<T> node = TPascalNode::MakeArenaRoot<T>();
    node->Create();
    return node;
}

TPascalComment* AddComment(TPascalNode* owner, const QString& text, TNode* before = nullptr);
// The node itself or its nearest floating ancestor; nil when none.
TPascalNode* FindFloatingAncestor(TNode* node);

// Moves every child of `from` under `to` before `before` (nil: at the end).
void MoveChildren(TNode* from, TNode* to, TNode* before = nullptr);

// The comment form "{ %s }" on a line of its own.
void WriteCommentLine(TPascalCodeWriter& writer, const QString& text);

// The node's text one level further indented.
void WriteIndented(TPascalCodeWriter& writer, TPascalNode* node);

// A list separator ("," or ";") and, unless the line has reached its length
// and a continuation line starts, a space: no line ends in a space.
void WriteSeparator(TPascalCodeWriter& writer, const QString& mark);

// Writes the node `first` and its next siblings with WriteSeparator's mark
// between two.
void WriteSeparated(TPascalCodeWriter& writer, TPascalNode* first, const QString& mark);

// Whether ch may stand in an identifier (first: as its first character):
// Pascal identifiers are made of ASCII letters, digits and "_".
inline bool IsPascalIdentifierChar(QChar ch, bool first) noexcept {
    constexpr char16_t firstNonAscii = 0x80;
    return ch == u'_' || (ch.unicode() < firstNonAscii && (first ? ch.isLetter() : ch.isLetterOrNumber()));
}
// Where the identifier that starts at `start` ends (start itself when none does).
qsizetype PascalIdentifierEnd(QStringView text, qsizetype start) noexcept;

// An identifier folded for comparison: Pascal compares ASCII letters
// without case.
QString PascalFoldName(const QString& name);
// A character as Pascal compares names: ASCII capitals as small letters.
constexpr char16_t PascalFoldedChar(QChar ch) noexcept {
    const char16_t c = ch.unicode();
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}
// Whether two identifiers are one name to Pascal (equal but for the case of
// ASCII letters), compared without folded copies.
bool PascalSameName(QStringView a, QStringView b) noexcept;
// A hash that names PascalSameName finds the same share.
size_t PascalNameHash(QStringView name, size_t seed = 0) noexcept;

// A name as the key of a hashed set or map, compared as Pascal compares names
// (PascalSameName) and never folded into a copy: a QString shares the name's
// text, a QStringView views it (the text must then outlive the key).
template <class S>
struct TPascalNameKey {
    S name;

    friend bool operator==(const TPascalNameKey& a, const TPascalNameKey& b) noexcept {
        return PascalSameName(a.name, b.name);
    }
    friend size_t qHash(const TPascalNameKey& key, size_t seed = 0) noexcept { return PascalNameHash(key.name, seed); }
};
using TPascalName = TPascalNameKey<QString>;
using TPascalNameView = TPascalNameKey<QStringView>;

// Switches the writer's line wrapping off for its lifetime.
class TPascalNoWrap {
public:
    explicit TPascalNoWrap(TPascalCodeWriter& writer);
    ~TPascalNoWrap();
    TPascalNoWrap(const TPascalNoWrap&) = delete;
    TPascalNoWrap& operator=(const TPascalNoWrap&) = delete;

private:
    TPascalCodeWriter& m_writer;
    bool m_old;
};

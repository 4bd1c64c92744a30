#pragma once
// What every program element shares:
//   TProgramSettings        the "Program" settings section: name prefixes
//   IProgramElement         the one classification of program elements (the
//                           declaration kind and the scope kind), so that
//                           rules naming kinds of declarations need no casts
//   IMethodsOwner           an element that holds methods
//   ITypeAliasElement       a declaration that names another type
//   TIdentifierNameField    the name field of every program declaration
//   TprNamedElement(WithContent) the bases of named program declarations
//   TTypeReferenceField     a reference field that accepts only types
//   TNamespaceConnectionToOwner  shows an enclosing scope's names inside a scope
// and the class groups (which program elements may stand where), the palette
// groups "Types", "Commands" and "Expressions", node messages 400 and 401
// about value types, the type-alias resolution and the naming routines.

#include "elements/diBaseElements.h"
#include "pascal/elements/prStandard.h"
#include "scheme/diUtils.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <mutex>

class TKnot;
class TNamespaceItem;
class TPaletteGroup;
class TPaletteItem;
class TStringProperty;

// ---------------------------------------------------------------------------
// Settings

// Generators on other threads read the prefixes: they read a copy kept
// under a lock, taken again whenever a prefix changes (on the thread that
// changes it).
class TProgramSettings : public TProperty {
    T_CLASS(TProgramSettings)
public:
    TProgramSettings() = default;

    // The seven prefixes in their order.
    void CreateProperties();
    // The value of one of the seven, from the copy: any thread may ask.
    QString PrefixValue(const TStringProperty* prefix) const;

    // A prefix changed: the copy is taken again.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;

    TStringProperty* TypesPrefix() const noexcept { return m_types; }
    TStringProperty* ConstantsPrefix() const noexcept { return m_constants; }
    TStringProperty* ParametersPrefix() const noexcept { return m_parameters; }
    TStringProperty* ModuleFieldsPrefix() const noexcept { return m_moduleFields; }
    TStringProperty* ObjectFieldsPrefix() const noexcept { return m_objectFields; }
    TStringProperty* MethodFieldsPrefix() const noexcept { return m_methodFields; }
    TStringProperty* EventsPrefix() const noexcept { return m_events; }

protected:
    ~TProgramSettings() override = default;

private:
    TStringProperty* m_types = nullptr;
    TStringProperty* m_constants = nullptr;
    TStringProperty* m_parameters = nullptr;
    TStringProperty* m_moduleFields = nullptr;
    TStringProperty* m_objectFields = nullptr;
    TStringProperty* m_methodFields = nullptr;
    TStringProperty* m_events = nullptr;
    mutable std::mutex m_copyLock;
    QHash<const TStringProperty*, QString> m_copy;
    void TakeCopy();
};

// The process's section, made without a parent by the unit's initialisation
// (the application hangs it into its settings tree); nil outside the unit's
// lifetime.
TProgramSettings* ProgramSettings() noexcept;
// The value of one prefix (empty outside the unit's lifetime); any thread may ask.
QString ProgramPrefix(TStringProperty* (TProgramSettings::*prefix)() const);

// ---------------------------------------------------------------------------
// Classification

// What a program element declares.
enum class TDeclarationKind : uint8_t {
    None = 0,
    StandardType,
    BuiltInCreate,
    BuiltInFree,
    BuiltInClassName,
    BuiltInClassType,
    ImplicitIdentifier,
    Use,
    Constant,
    Field,
    SubObject,
    Parameter,
    EnumItem,
    PropertyGetSet,
    PropertyWithField,
    PropertyWithSubObject,
    ArrayProperty,
    Event,
    Notification,
    Handler,
    Method,
    Constructor,
    OverrideInherited,
    DoubleMethod,
    Locker,
    Object,
    MethodType,
    Record,
    Array,
    Pointer,
    TypeAlias,
    Enum,
};

// What scope a program element opens for the declarations inside it.
enum class TScopeKind : uint8_t {
    None = 0,
    CommandsContainer,  // a routine body or a section of a statement
    Record,
    Object,
    ProgramRoot,
};

struct TProgramClassification {
    TDeclarationKind Declaration = TDeclarationKind::None;
    TScopeKind Scope = TScopeKind::None;
};

// Implemented by every element class of the program model.
class IProgramElement {
public:
    virtual TProgramClassification GetClassification() const = 0;

protected:
    ~IProgramElement() = default;
};

// The classification of any element: its own answer, the standard types and
// object members of the standard unit by their class, else none.
TProgramClassification ClassifyElement(const TElement* element);
inline TDeclarationKind DeclarationKindOf(const TElement* element) { return ClassifyElement(element).Declaration; }
// The declaration kind of the element that declares item (none for nil).
TDeclarationKind DeclarationKindOf(TNamespaceItem* item);
inline TScopeKind ScopeKindOf(const TElement* element) { return ClassifyElement(element).Scope; }

// An element that holds methods; a method asks the nearest ancestor.
class IMethodsOwner {
public:
    // May a method here offer the options that concern descendants.
    virtual bool AllowsDescendantsOptions() = 0;
    // May a method here be made a method without instance.
    virtual bool AllowsClassMethods() = 0;

protected:
    ~IMethodsOwner() = default;
};
// The nearest ancestor of element that implements IMethodsOwner; nil.
IMethodsOwner* FindMethodsOwner(TElement* element);

// The element palette items of a unit: one row per element class, made at the
// unit's start-up, and the class each item inserts.
struct TElementItemRow {
    const TElementClass* cls;
    int caption;
    int hint;
    TNode* parent;
    uint16_t flags;
    int picture;
    int order;
    // The picture of the other size, for an element that shows the item in that size.
    int otherPicture = NoImageIndex;
};
using TElementItems = QList<std::pair<const TElementClass*, TPaletteItem*>>;
void AddElementItems(TElementItems& items, std::initializer_list<TElementItemRow> rows);
// The item that inserts cls; nil for none.
TPaletteItem* FindElementItem(const TElementItems& items, const TElementClass* cls) noexcept;

// A declaration that a call passes values to (an event, a property with
// parameters): the namespace whose parameters the call's values follow when
// the declaration is named through item; nil for none.
class ICallParametersOwner {
public:
    virtual TNamespace* GetCallParameters(TNamespaceItem* item) = 0;

protected:
    ~ICallParametersOwner() = default;
};

// A method's options in effect, as other declarations ask them (an object
// shows a private method to descendants, a method without instance outside).
class IMethodOptions {
public:
    virtual bool GetDescendantsCall() = 0;
    virtual bool GetDescendantsOverride() = 0;
    virtual bool GetForInstance() = 0;

protected:
    ~IMethodOptions() = default;
};

// A scope that also holds the members of other scopes (an object holds its
// ancestors' members).
class IInheritingScope {
public:
    // Whether the members declared in container are members of this scope too.
    virtual bool InheritsMembersOf(TElement* container) = 0;

protected:
    ~IInheritingScope() = default;
};

// A declaration that names another type (a type alias).
class ITypeAliasElement {
public:
    // The item its type field refers to; nil while unresolved.
    virtual TNamespaceItem* GetRefTypeItem() = 0;

protected:
    ~ITypeAliasElement() = default;
};

// How far type computations follow chains (aliases of aliases, constants
// valued by constants) before they answer "variant".
constexpr int kMaxTypeChainDepth = 64;

// The last item of the chain of aliases that starts at aliasItem's alias:
// its type field's target, followed through further aliases, to the first
// item whose element is not an alias. Nil when a type field is unresolved,
// when the chain comes back to any item it passed, or when it is longer
// than kMaxTypeChainDepth.
TNamespaceItem* FinalAliasTarget(TNamespaceItem* aliasItem);
// That final item when item names an alias, else item itself.
TNamespaceItem* ResolveTypeAlias(TNamespaceItem* item);

// Counts how deep type computations nest on this thread, for the
// computations that recurse (a constant asks its value, which asks another
// constant): Exceeded tells a computation to answer "variant" instead of
// going on. Held for the scope of one step.
class TTypeChainDepth {
public:
    TTypeChainDepth() noexcept;
    ~TTypeChainDepth();
    TTypeChainDepth(const TTypeChainDepth&) = delete;
    TTypeChainDepth& operator=(const TTypeChainDepth&) = delete;
    bool Exceeded() const noexcept;
};

// ---------------------------------------------------------------------------
// Element bases

// Restrictions of an identifier: letters, digits, "_", other characters, a
// letter or "_" first, Latin letters only.
constexpr uint32_t kIdentifierRestrictions =
    trLetters | trDigits | trUnderscore | trSpecial | trBeginsWithLetter | trLatinLetters;

class TIdentifierNameField : public TTitledNameField {
    T_ELEMENT_CLASS(TIdentifierNameField)
public:
    TIdentifierNameField() noexcept = default;
    void Create() override;

protected:
    ~TIdentifierNameField() override = default;
};

class TprNamedElement : public TNamedElement, public IProgramElement {
    T_ELEMENT_CLASS(TprNamedElement)
public:
    const TElementClass* GetNameFieldClass() override;
    TProgramClassification GetClassification() const override { return {}; }
    // The visibility mode depends on the declaration's container: re-read on every placement.
    void TreePlacementChanged() override;

protected:
    ~TprNamedElement() override = default;
};

class TprNamedElementWithContent : public TNamedElementWithContent, public IProgramElement {
    T_ELEMENT_CLASS(TprNamedElementWithContent)
public:
    const TElementClass* GetNameFieldClass() override;
    // Always the name: a new record, enumeration or object starts with it.
    void FocusFirst() override;
    TProgramClassification GetClassification() const override { return {}; }
    void TreePlacementChanged() override;

protected:
    ~TprNamedElementWithContent() override = default;
};

// A reference field whose target must declare a type (ITypeElement).
class TTypeReferenceField : public TReferenceField {
    T_ELEMENT_CLASS(TTypeReferenceField)
public:
    bool CanReferTo(TNamespaceItem* item) override;

protected:
    ~TTypeReferenceField() override = default;
};

// The connection through which a scope sees the names of its enclosing scope.
class TNamespaceConnectionToOwner : public TNamespaceConnection {
    T_ELEMENT_CLASS(TNamespaceConnectionToOwner)
public:
    // Lazy: every scope sees the names around it, covers only for what is asked.
    TNamespaceConnectionToOwner() noexcept {
        SetScopeLink(true);
        SetLazy(true);
    }

protected:
    ~TNamespaceConnectionToOwner() override = default;
};

// The item of a named element's own name (its name field's, or a name
// element's); nil when it has none.
TNamespaceItem* MainNameItem(TElement* element);
// Whether item names its element by another name than the main one (an
// object's class-of name, an enumeration's set-of name).
bool IsSecondaryNameItem(TNamespaceItem* item);

// Whether item is seen through a TNamespaceConnectionToOwner: a name of an
// enclosing scope rather than a member of the element itself.
bool IsSeenThroughOwnerConnection(TNamespaceItem* item);

// ---------------------------------------------------------------------------
// Class groups and palette groups

// The four class groups of program elements (valid between the unit's
// initialisation and finalisation).
TClassesGroups::TGroup& ExpressionElementClasses();
TClassesGroups::TGroup& CommandElementClasses();
TClassesGroups::TGroup& ClassMemberElementClasses();
TClassesGroups::TGroup& ModuleElementClasses();

TPaletteGroup* TypesPaletteGroup() noexcept;
TPaletteGroup* CommandsPaletteGroup() noexcept;
TPaletteGroup* ExpressionsPaletteGroup() noexcept;
// The "Other" item of each group, under which its less used items stand.
TPaletteItem* TypesOtherItem() noexcept;
TPaletteItem* CommandsOtherItem() noexcept;
TPaletteItem* ExpressionsOtherItem() noexcept;

// ---------------------------------------------------------------------------
// Value types

// Node messages about value types; p1 is a TTypeDescriptor*, p2 is 0. The
// answer overwrites the descriptor and returns true.
enum : int {
    nmGetExpectedType = 400,  // to a value field: its owner answers what it expects there
    nmGetValueType = 401,     // to a value element: it answers what it yields
};

// "variant", then whatever the owner of field answers to 400.
void GetExpectedType(TElement* field, TTypeDescriptor& descriptor);

// What a literal text in a value field is, read the same on every locale:
// an optional sign, then digits with an optional "." fraction and an
// optional exponent ("e" or "E", an optional sign, digits), or "$" and hex
// digits. A fraction or an exponent makes it a float. The text itself is
// kept as typed; only its kind is asked.
enum class TNumberLiteral : uint8_t { None, Integer, Float };
TNumberLiteral ClassifyNumberLiteral(QStringView text);

// ---------------------------------------------------------------------------
// Option attributes

// How program elements store their options in their node: an attribute is
// written only when it differs from its default, a flag as "1", a kind by
// its name (names[i] names kind i). On load a missing attribute gives the
// default (never what the element was made with) and a kind name that is
// not known (compared ignoring case) reads as kind 0.
void WriteOptionFlag(TKnot* knot, const QString& name, bool value, bool defaultValue = false);
bool ReadOptionFlag(TKnot* knot, const QString& name, bool defaultValue = false);
void WriteOptionKind(TKnot* knot, const QString& name, int kind, const QStringList& names, int defaultKind = 0);
int ReadOptionKind(TKnot* knot, const QString& name, const QStringList& names, int defaultKind = 0);

// ---------------------------------------------------------------------------
// Naming routines

// Prefix not empty, not longer than s, and equal to its start (case-sensitive).
bool StartsWithText(const QString& s, const QString& prefix);
// StartsWithText of the name and the "TypesPrefix" setting.
bool HasTypesPrefix(const QString& name);
// The first character upper-cased (Unicode); an empty text stays empty.
QString CapitalizeFirst(const QString& s);
// Climbing from the element's parent, the first commands container, record,
// object or program root; nil.
TElement* GetDeclarationContainer(TElement* element);
// The prefix of a field declared in container: "MethodFieldsPrefix" in a
// commands container, "ObjectFieldsPrefix" in an object, "ModuleFieldsPrefix"
// at the root, none in a record or without a container.
QString FieldPrefixIn(TElement* container);

void InitCommonUnit();
void FinalCommonUnit();

#pragma once
// The standard types of the program model ("int", "str", "object", ...) and
// the four members every object has ("Create", "Free", "ClassName",
// "ClassType"), made once at start-up as name elements inside two namespaces
// of a hidden scheme, so that the ordinary name look-up finds them. Every
// program scheme connects to them; nothing changes them after start-up, so
// schemes on any thread (the preview's private copies) read them unlocked
// but for the namespaces' own locks.
//
// Also the record by which program elements and the generator exchange a
// value type: TTypeDescriptor with its kind TValueTypeKind.

#include "elements/diNamingElements.h"

#include <QString>

#include <cstdint>

class TNamespace;
class TNamespaceItem;

// The kind of a value type.
enum class TValueTypeKind : uint8_t {
    Integer = 0,     // "int", "int.8" ... "uint.64"
    Index = 1,       // "index"
    Bool = 2,        // "bool"
    String = 3,      // "str"
    Char = 4,        // "char"
    Float = 5,       // "float"
    DateTime = 6,    // "datetime"
    Pointer = 7,     // "pointer" and every pointer type
    Variant = 8,     // "variant"
    Object = 9,      // "object" and an object type named by its name
    ObjectType = 10, // "objecttype" and an object type named by its class-of name
    EventValue = 11, // a value that is an event or a notification
    MethodType = 12, // a method type, the type of an event or notification
    Array = 13,
    Enum = 14,
    EnumSet = 15,    // the set type of an enumeration (its set-of name)
    Record = 16,
};

// A value type: its kind, the item through which it was reached (as
// referenced: a cover or an alias may stand there) and the item that names
// the type element itself.
struct TTypeDescriptor {
    TValueTypeKind Kind = TValueTypeKind::Variant;
    TNamespaceItem* Item = nullptr;
    TNamespaceItem* TypeItem = nullptr;
};

// Marker of the element classes that declare a type (queried with dynamic_cast).
class ITypeElement {
public:
    virtual ~ITypeElement() = default;
};

// One standard type: a private, overridable name in StandardTypesNamespace.
class TStandardTypeElement : public TNameElement, public ITypeElement {
    T_ELEMENT_CLASS(TStandardTypeElement)
public:
    TStandardTypeElement() noexcept = default;

    // Made as a sub-element of StandardTypesNamespace (appended last).
    static TStandardTypeElement* Create(const QString& name, TValueTypeKind kind, int hintId);

    const QString& TypeName() const noexcept { return m_name; }
    TValueTypeKind Kind() const noexcept { return m_kind; }
    int HintId() const noexcept { return m_hintId; }

    int GetImageIndex() override;
    QString GetDescription() override;
    QString GetName() override { return m_name; }
    // Overridable: a program's own declaration of the name hides it.
    int GetItemFlags() override { return nifOverridable; }
    // Private: kept out of connections that pass only public names.
    int GetVisibility() override { return 1; }

protected:
    ~TStandardTypeElement() override = default;

private:
    QString m_name;
    TValueTypeKind m_kind = TValueTypeKind::Integer;
    int m_hintId = 0;
};

// The members every object has.
class TObjectMemberElement : public TNameElement {
    T_ELEMENT_CLASS(TObjectMemberElement)
public:
    int GetItemFlags() override { return nifOverridable; }

protected:
    ~TObjectMemberElement() override = default;
};

class TObjectCreateElement : public TObjectMemberElement {
    T_ELEMENT_CLASS(TObjectCreateElement)
public:
    int GetImageIndex() override;
    QString GetDescription() override;
    QString GetName() override;

protected:
    ~TObjectCreateElement() override = default;
};

class TObjectFreeElement : public TObjectMemberElement {
    T_ELEMENT_CLASS(TObjectFreeElement)
public:
    int GetImageIndex() override;
    QString GetDescription() override;
    QString GetName() override;

protected:
    ~TObjectFreeElement() override = default;
};

class TObjectClassNameElement : public TObjectMemberElement {
    T_ELEMENT_CLASS(TObjectClassNameElement)
public:
    QString GetName() override;

protected:
    ~TObjectClassNameElement() override = default;
};

class TObjectClassTypeElement : public TObjectMemberElement {
    T_ELEMENT_CLASS(TObjectClassTypeElement)
public:
    QString GetName() override;

protected:
    ~TObjectClassTypeElement() override = default;
};

// The names of the standard types that the elements state as fixed types.
namespace StandardTypeName {
inline const QString Int = QStringLiteral("int");
inline const QString Index = QStringLiteral("index");
inline const QString Bool = QStringLiteral("bool");
inline const QString Str = QStringLiteral("str");
inline const QString Char = QStringLiteral("char");
inline const QString Float = QStringLiteral("float");
inline const QString Pointer = QStringLiteral("pointer");
inline const QString Variant = QStringLiteral("variant");
inline const QString Object = QStringLiteral("object");
inline const QString ObjectType = QStringLiteral("objecttype");
}  // namespace StandardTypeName

// The shared namespaces (valid between the unit's initialisation and
// finalisation; nil outside).
TNamespace* StandardTypesNamespace() noexcept;
TNamespace* ObjectMembersNamespace() noexcept;
// The first picture of "prStandardCharImages" in the shared 12 x 12 list.
int StandardCharImageBase() noexcept;

// Fills descriptor; a nil typeItem stands for item.
void SetTypeDescriptor(TValueTypeKind kind, TNamespaceItem* item, TNamespaceItem* typeItem,
                       TTypeDescriptor& descriptor);
// The standard type of that name, looked up ignoring case. The name must
// be one of the standard types (the constants above).
void GetStandardTypeDescriptor(const QString& name, TTypeDescriptor& descriptor);

void InitStandardUnit();
void FinalStandardUnit();

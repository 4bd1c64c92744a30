#pragma once
// Type declarations of the code model: enumerations, sets, records, arrays,
// pointers, aliases, procedural types, classes with their visibility sections
// and properties, class references and forward declarations.

#include "pascal/generator/psGeneral.h"

class TPascalEnumItem : public TPascalNamedNode {
    T_CLASS(TPascalEnumItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::EnumItem;
    TPascalEnumItem() noexcept : TPascalNamedNode(TPascalKind::EnumItem) {}
    TPascalExpression* Value = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalEnum : public TPascalTypeEntry {
    T_CLASS(TPascalEnum)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Enum;
    TPascalEnum() noexcept : TPascalTypeEntry(TPascalKind::Enum) {}
    TPascalEnumItem* AddItem(const QString& name);
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalSetOf : public TPascalTypeEntry {
    T_CLASS(TPascalSetOf)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::SetOf;
    TPascalSetOf() noexcept : TPascalTypeEntry(TPascalKind::SetOf) {}
    TPascalExpression* ElementType = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalRecordField : public TPascalNamedNode {
    T_CLASS(TPascalRecordField)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::RecordField;
    TPascalRecordField() noexcept : TPascalNamedNode(TPascalKind::RecordField) {}
    TPascalExpression* TypeName = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalRecord : public TPascalTypeEntry {
    T_CLASS(TPascalRecord)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Record;
    TPascalRecord() noexcept : TPascalTypeEntry(TPascalKind::Record) {}
    TPascalRecordField* AddField(const QString& name, const QString& typeText);
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalArray : public TPascalTypeEntry {
    T_CLASS(TPascalArray)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Array;
    TPascalArray() noexcept : TPascalTypeEntry(TPascalKind::Array) {}
    bool Dynamic = true;
    TPascalExpression* LowBound = nullptr;
    TPascalExpression* HighBound = nullptr;
    TPascalExpression* ElementType = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalPointer : public TPascalTypeEntry {
    T_CLASS(TPascalPointer)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Pointer;
    TPascalPointer() noexcept : TPascalTypeEntry(TPascalKind::Pointer) {}
    TPascalExpression* TargetType = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalTypeAlias : public TPascalTypeEntry {
    T_CLASS(TPascalTypeAlias)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::TypeAlias;
    TPascalTypeAlias() noexcept : TPascalTypeEntry(TPascalKind::TypeAlias) {}
    TPascalExpression* TypeName = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalMethodType : public TPascalTypeEntry {
    T_CLASS(TPascalMethodType)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodType;
    TPascalMethodType() noexcept : TPascalTypeEntry(TPascalKind::MethodType) {}
    TPascalMethodHead* Head = nullptr;
    bool OfObject = false;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalInterfacePredeclaration : public TPascalTypeEntry {
    T_CLASS(TPascalInterfacePredeclaration)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::InterfacePredeclaration;
    TPascalInterfacePredeclaration() noexcept : TPascalTypeEntry(TPascalKind::InterfacePredeclaration) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalClassPredeclaration : public TPascalTypeEntry {
    T_CLASS(TPascalClassPredeclaration)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::ClassPredeclaration;
    TPascalClassPredeclaration() noexcept : TPascalTypeEntry(TPascalKind::ClassPredeclaration) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalClassOf : public TPascalTypeEntry {
    T_CLASS(TPascalClassOf)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::ClassOf;
    TPascalClassOf() noexcept : TPascalTypeEntry(TPascalKind::ClassOf) {}
    TPascalExpression* ClassName = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalClassProperty : public TPascalClassPropertyEntry {
    T_CLASS(TPascalClassProperty)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::ClassProperty;
    TPascalClassProperty() noexcept : TPascalClassPropertyEntry(TPascalKind::ClassProperty) {}
    TPascalMethodParameters* IndexParameters = nullptr;
    TPascalExpression* TypeName = nullptr;
    TPascalExpression* ReadAccess = nullptr;
    TPascalExpression* WriteAccess = nullptr;
    TPascalExpression* StoredValue = nullptr;
    TPascalExpression* DefaultValue = nullptr;
    int32_t IndexNumber = 0;
    bool HasIndex = false;
    bool NoDefault = false;
    bool IsClassProperty = false;
    bool IsDefaultProperty = false;
    void Create() override;
    // The specifiers in the order the compiler takes them: index, read,
    // write, stored, default or nodefault.
    void Write(TPascalCodeWriter& writer) override;
};

// The visibility sections of a class, in the order they are written.
enum class TPascalVisibility : uint8_t { StrictPrivate, Private, StrictProtected, Protected, Public, Published };
constexpr int PascalVisibilityCount = int(TPascalVisibility::Published) + 1;

class TPascalClass : public TPascalTypeEntry {
    T_CLASS(TPascalClass)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Class;
    TPascalClass() noexcept : TPascalTypeEntry(TPascalKind::Class) {}
    bool Abstract = false;
    TPascalExpression* Parent = nullptr;
    TPascalDeclarations* Sections[PascalVisibilityCount] = {};
    // Children are expressions, each holding one interface name.
    TPascalNode* Interfaces = nullptr;

    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
    TPascalDeclarations* GetSection(TPascalVisibility visibility) const { return Sections[size_t(visibility)]; }

    // Builders. A field goes before the first routine or property of its
    // section, where the compiler accepts it.
    TPascalVariable* AddField(TPascalVisibility visibility, const QString& name, const QString& typeText);
    TPascalMethodDeclaration* AddMethod(TPascalVisibility visibility, TPascalMethodKind kind, const QString& name,
                                        const QString& resultType = QString());
    TPascalClassProperty* AddProperty(TPascalVisibility visibility, const QString& name, const QString& typeText);
    TPascalExpression* AddInterface(const QString& name);
};

// Builders on a declarations list.
TPascalClass* AddClass(TPascalDeclarations* list, const QString& name, const QString& parentText = QString(),
                       TNode* before = nullptr);
TPascalEnum* AddEnum(TPascalDeclarations* list, const QString& name, std::initializer_list<QString> items,
                     TNode* before = nullptr);
TPascalRecord* AddRecord(TPascalDeclarations* list, const QString& name, TNode* before = nullptr);
TPascalTypeAlias* AddTypeAlias(TPascalDeclarations* list, const QString& name, const QString& typeText,
                               TNode* before = nullptr);
TPascalMethodType* AddMethodType(TPascalDeclarations* list, const QString& name, TPascalMethodKind kind, bool ofObject,
                                 TNode* before = nullptr);

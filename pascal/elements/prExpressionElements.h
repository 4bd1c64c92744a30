#pragma once
// Values: the value field that nearly every program element uses
// (TExpressionField), the rules by which it accepts references and value
// elements, how the type of a value is worked out, and the simple value
// elements: String, Self, True, Not, If Then Else (TElement_Fingers),
// To Type, Size Of and the anonymous method.
//
// A value field is a reference field whose text names a declaration, holds a
// literal number, or embeds exactly one value element. Node messages 400 and
// 401 carry the types.

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prStandard.h"

#include <QString>

#include <cstdint>

class TNamespaceItem;
class TPaletteItem;

// ---------------------------------------------------------------------------
// What a value field may hold (AcceptFlags)

enum : uint16_t {
    afLogical = 0x0001,           // True, Not, comparisons
    afStrings = 0x0002,           // String, built-in "ClassName"
    afNumbers = 0x0004,           // Size Of, enumeration items
    afArithmetic = 0x0008,        // tested by the arithmetic operation only
    afInstances = 0x0010,         // Self, sub-objects, "Create" and constructor calls
    afObjectTypes = 0x0020,       // Self, an object named by its name
    afAssignTarget = 0x0080,      // only what can be assigned
    afNoVariables = 0x0100,       // no fields, properties, parameters, calls
    afNoConstants = 0x0200,       // no constants, enumeration items, object types, True
    afNoInstanceCreation = 0x0400,  // no "Create", no constructors
};
// The flags of a new field.
constexpr uint16_t kDefaultAcceptFlags = 0x7F;

// Which flags a field copies from the enclosing value field (InheritMask).
enum : uint8_t {
    imAssignTarget = 0x01,  // afAssignTarget
    imNoVariables = 0x02,   // afNoVariables
    imNoConstants = 0x04,   // afNoConstants
};
// The flags each mask bit selects.
uint16_t InheritedFlagsOf(uint8_t mask) noexcept;

// ---------------------------------------------------------------------------
// What the acceptance rules ask of a declaration

// How an item names its declaration.
enum class TValueNameRole : uint8_t {
    Main = 0,    // by its name
    FieldName,   // a property by the name of its field
    CountName,   // an array property by its count name
    ClassOf,     // an object by its class-of name
};

// Implemented by the declarations whose value or acceptance depends on more
// than their kind: field-like declarations, constants, properties,
// parameters, routines.
class IValueDeclaration {
public:
    // The value type that a reference through item yields; false leaves the
    // descriptor as it is.
    virtual bool GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) = 0;
    // How item names the declaration.
    virtual TValueNameRole GetValueNameRole(TNamespaceItem* item) { return TValueNameRole::Main; }
    // Whether a value may be assigned through item (a property's setter
    // section filled, a parameter In-Out or Out).
    virtual bool IsAssignableThrough(TNamespaceItem* item) { return true; }

protected:
    ~IValueDeclaration() = default;
};

// Marks the connection that shows an object's members outside it: an event
// seen through it is another object's, not one the field may fire.
class IMembersOutConnection {
public:
    virtual ~IMembersOutConnection() = default;
};

// One row of the acceptance rules' input: what the item is.
struct TValueCandidate {
    TDeclarationKind Kind = TDeclarationKind::None;
    TValueNameRole Role = TValueNameRole::Main;
    bool Assignable = true;
    bool ThroughOutConnection = false;
};

// What item stands for, asked through the classification.
TValueCandidate DescribeValueCandidate(TNamespaceItem* item);
// The acceptance rules: whether a field with flags may name the candidate.
bool AcceptsValueCandidate(uint16_t flags, const TValueCandidate& candidate) noexcept;

// ---------------------------------------------------------------------------
// Value fields

class TCustomExpressionField : public TReferenceField {
    T_ELEMENT_CLASS(TCustomExpressionField)
public:
    // The type of the value: "variant", then the referenced declaration's
    // (aliases followed), the embedded value element's (401), or that of a
    // literal number ("int", "float"). Answers "variant" when it is asked
    // again while running for this field, or deeper than kMaxTypeChainDepth.
    void GetValueType(TTypeDescriptor& descriptor);
    // The embedded value element; nil.
    TElement* EmbeddedElement() const;

    // The type of a reference: item as referenced, resolved through aliases.
    virtual void GetReferencedType(TNamespaceItem* item, TNamespaceItem* resolved, TElement* element,
                                   TTypeDescriptor& descriptor);

protected:
    ~TCustomExpressionField() override = default;

private:
    bool m_computing = false;
};

class TExpressionField : public TCustomExpressionField {
    T_ELEMENT_CLASS(TExpressionField)
public:
    TExpressionField() noexcept;

    uint16_t AcceptFlags() const noexcept { return m_acceptFlags; }
    void SetAcceptFlags(uint16_t flags);
    uint8_t InheritMask() const noexcept { return m_inheritMask; }
    // Stores the mask and copies the selected flags at once.
    void SetInheritMask(uint8_t mask);

    // The value elements, the inherited classes without the text
    // substitutions, and comments and logic frames.
    void FillAcceptedClasses(TElementClassList& list) override;
    // The acceptance rules.
    bool CanReferTo(TNamespaceItem* item) override;
    // A text that names nothing must be a literal number.
    void CheckContent() override;
    // The selected flags copied from the enclosing value field.
    void TreePlacementChanged() override;
    void Create() override;

protected:
    ~TExpressionField() override = default;

private:
    void CopyInheritedFlags();

    uint16_t m_acceptFlags = kDefaultAcceptFlags;
    uint8_t m_inheritMask = 0;
};

// The value field of the operator elements.
class TExpressionExField : public TExpressionField {
    T_ELEMENT_CLASS(TExpressionExField)
protected:
    ~TExpressionExField() override = default;
};

// The value field's flags as a placement test sees them: target's when it is
// a value field, else nil.
TExpressionField* AsExpressionField(TElement* target);
// A standard type's descriptor into descriptor; true (for node messages).
bool AnswerStandardType(const QString& name, intptr_t descriptor);

// ---------------------------------------------------------------------------
// Value elements

class TElement_String : public TTextorElement, public IProgramElement {
    T_ELEMENT_CLASS(TElement_String)
public:
    TElement_String() noexcept;
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TProgramClassification GetClassification() const override { return {}; }
    int GetThemeKind() const override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void Create() override;

protected:
    ~TElement_String() override = default;
};

class TElement_Self : public TCustomSmallImageElement {
    T_ELEMENT_CLASS(TElement_Self)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    int GetImageIndex() override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TElement_Self() override = default;
};

class TElement_True : public TCustomSmallImageElement {
    T_ELEMENT_CLASS(TElement_True)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    int GetImageIndex() override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TElement_True() override = default;
};

// The base of the titled value elements: the expression look, value fields
// made in order and named.
class TCustomExpressionElement : public TTitledElement, public IProgramElement {
    T_ELEMENT_CLASS(TCustomExpressionElement)
public:
    TProgramClassification GetClassification() const override { return {}; }
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    void Create() override;

protected:
    ~TCustomExpressionElement() override = default;
    struct TPart {
        TElement* Field;
        QString Name;
        int HintId;
    };
    // A value field named name, required when asked, with flags and mask.
    TExpressionField* AddValueField(const QString& name, int hintId, bool required, uint16_t flags,
                                    uint8_t mask = 0);
    // A type reference named name.
    TTypeReferenceField* AddTypeField(const QString& name, int hintId);
    const TPart* PartOf(TElement* child) const;

private:
    QList<TPart> m_parts;
};

class TElement_Not : public TCustomExpressionElement {
    T_ELEMENT_CLASS(TElement_Not)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TExpressionField* Value() const noexcept { return m_value; }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Not() override = default;

private:
    TExpressionField* m_value = nullptr;
};

// If Then Else: one of two values by a condition.
class TElement_Fingers : public TCustomExpressionElement {
    T_ELEMENT_CLASS(TElement_Fingers)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TExpressionField* Condition() const noexcept { return m_condition; }
    TExpressionField* ValueTrue() const noexcept { return m_true; }
    TExpressionField* ValueFalse() const noexcept { return m_false; }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Fingers() override = default;

private:
    TExpressionField* m_condition = nullptr;
    TExpressionField* m_true = nullptr;
    TExpressionField* m_false = nullptr;
};

class TElement_ToType : public TCustomExpressionElement {
    T_ELEMENT_CLASS(TElement_ToType)
public:
    TExpressionField* Value() const noexcept { return m_value; }
    TTypeReferenceField* NewType() const noexcept { return m_newType; }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    // The type the holding field expects, or "int".
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_ToType() override = default;

private:
    TExpressionField* m_value = nullptr;
    TTypeReferenceField* m_newType = nullptr;
};

class TElement_SizeOf : public TCustomExpressionElement {
    T_ELEMENT_CLASS(TElement_SizeOf)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TTypeReferenceField* Value() const noexcept { return m_value; }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_SizeOf() override = default;

private:
    TTypeReferenceField* m_value = nullptr;
};

// The anonymous method: a body whose names see the enclosing scope; stored
// as "Method", the node name of the method declaration.
class TElement_MethodInExpression : public TTitledElementWithCommandContentWithResult, public IProgramElement {
    T_ELEMENT_CLASS(TElement_MethodInExpression)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TCommandsContainerWithResult* Body() const;
    TProgramClassification GetClassification() const override { return {}; }
    void TreePlacementChanged() override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_MethodInExpression() override = default;
};

// ---------------------------------------------------------------------------
// The unit

// The palette items of the unit (valid between its initialisation and finalisation).
TPaletteItem* ExpressionElementPaletteItem(const TElementClass* cls) noexcept;

void InitExpressionElementsUnit();
void FinalExpressionElementsUnit();

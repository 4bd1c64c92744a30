#pragma once
// Expressions of the code model: TPascalExpression, the container that every
// value, type, condition and target is held in, and its items. Items decide
// their own brackets from their surroundings, so no builder writes a bracket.

#include "pascal/generator/psClasses.h"

class TPascalExpressionItem;
class TPascalCustomExpressionItem;
class TPascalStringValueExpressionItem;
class TPascalIntegerValueExpressionItem;
class TPascalBooleanValueExpressionItem;
class TPascalSetValueExpressionItem;
class TPascalNotExpressionItem;
class TPascalIsTypeExpressionItem;
class TPascalToTypeExpressionItem;
class TPascalItemInSetExpressionItem;
class TPascalCompareExpressionItem;
class TPascalOperationExpressionItem;
class TPascalCallInExpression;
class TPascalCall;

// Parameter kinds; also the Mode of an expression (Out for assignment targets
// and loop counters, so a match there is a write).
enum class TPascalParamKind : uint8_t { Value, Const, Var, Out };

// Comparisons, "and" and "or" included.
enum class TPascalCompareKind : uint8_t { Equal, Different, More, MoreOrEqual, Less, LessOrEqual, And, Or };
// Arithmetic operations.
enum class TPascalOperationKind : uint8_t { Add, Subtract, Multiply, Divide, Div };
// The brackets around call arguments and set values: (...) or [...].
enum class TPascalBracketKind : uint8_t { Round, Square };

class TPascalExpression : public TPascalNode {
    T_CLASS(TPascalExpression)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Expression;
    TPascalExpression() noexcept : TPascalNode(TPascalKind::Expression, false) {}

    TPascalParamKind Mode = TPascalParamKind::Value;

    bool IsEmpty() const noexcept { return !FirstChild(); }
    void Simplify() override;
    void Write(TPascalCodeWriter& writer) override { WriteChildren(writer); }

    // Builders: each creates its item before `before` (nil: at the end).
    TPascalBooleanValueExpressionItem* AddBoolean(bool value, TNode* before = nullptr);
    TPascalCallInExpression* AddCall(const QString& name, TNode* before = nullptr);
    TPascalCallInExpression* AddCallTo(TPascalNamedNode* node, TNode* before = nullptr);
    TPascalCallInExpression* AddCallEx(const QString& name, TPascalNamedNode* node, const QString& suffix,
                                       TNode* before = nullptr);
    TPascalCompareExpressionItem* AddCompare(TPascalCompareKind kind, TNode* before = nullptr);
    TPascalCustomExpressionItem* AddText(const QString& text, TNode* before = nullptr);
    TPascalIntegerValueExpressionItem* AddInteger(int32_t value, TNode* before = nullptr);
    TPascalIsTypeExpressionItem* AddIsType(TNode* before = nullptr);
    TPascalItemInSetExpressionItem* AddItemInSet(TNode* before = nullptr);
    TPascalNotExpressionItem* AddNot(TNode* before = nullptr);
    TPascalOperationExpressionItem* AddOperation(TPascalOperationKind kind, TNode* before = nullptr);
    TPascalSetValueExpressionItem* AddSetValue(TPascalBracketKind bracketKind, TNode* before = nullptr);
    TPascalStringValueExpressionItem* AddString(const QString& text, TNode* before = nullptr);
    TPascalToTypeExpressionItem* AddToType(TNode* before = nullptr);

protected:
    explicit TPascalExpression(TPascalKind kind) noexcept : TPascalNode(kind, false) {}
};

// The elements of a set or array constructor, one item each.
class TPascalSetValues : public TPascalExpression {
    T_CLASS(TPascalSetValues)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::SetValues;
    TPascalSetValues() noexcept : TPascalExpression(TPascalKind::SetValues) {}
    bool OnePerLine = false;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalExpressionItem : public TPascalCommentedNode {
    T_CLASS(TPascalExpressionItem)
public:
    // Whether the item stands in brackets where it is (decided from the
    // nearest floating ancestor of its own expression).
    bool NeedsBrackets() const;

protected:
    explicit TPascalExpressionItem(TPascalKind kind) noexcept : TPascalCommentedNode(kind) {}
    // Left, op, a line-wrap check and right, bracketed where needed, then the
    // comment ("in" and "is").
    void WriteRelation(TPascalCodeWriter& writer, TPascalExpression* left, const QString& op,
                       TPascalExpression* right) const;
};

class TPascalCustomExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalCustomExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CustomItem;
    TPascalCustomExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::CustomItem) {}
    QString Text;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalStringValueExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalStringValueExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::StringItem;
    TPascalStringValueExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::StringItem) {}
    QString Text;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalIntegerValueExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalIntegerValueExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::IntegerItem;
    TPascalIntegerValueExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::IntegerItem) {}
    int32_t Value = 0;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalBooleanValueExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalBooleanValueExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::BooleanItem;
    TPascalBooleanValueExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::BooleanItem) {}
    bool Value = false;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalSetValueExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalSetValueExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::SetItem;
    TPascalSetValueExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::SetItem) {}
    TPascalSetValues* Values = nullptr;
    TPascalBracketKind BracketKind = TPascalBracketKind::Round;
    bool MultiLine = false;
    bool NewLineBeforeClose = false;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalNotExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalNotExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::NotItem;
    TPascalNotExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::NotItem) {}
    TPascalExpression* Operand = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

// A value and a type: "Value is TypeName" and the cast "TypeName(Value)".
class TCustomPascalValueTypeExpressionItem : public TPascalExpressionItem {
    T_CLASS(TCustomPascalValueTypeExpressionItem)
public:
    TPascalExpression* Value = nullptr;
    TPascalExpression* TypeName = nullptr;
    void Create() override;

protected:
    explicit TCustomPascalValueTypeExpressionItem(TPascalKind kind) noexcept : TPascalExpressionItem(kind) {}
};

class TPascalIsTypeExpressionItem : public TCustomPascalValueTypeExpressionItem {
    T_CLASS(TPascalIsTypeExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::IsItem;
    TPascalIsTypeExpressionItem() noexcept : TCustomPascalValueTypeExpressionItem(TPascalKind::IsItem) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalToTypeExpressionItem : public TCustomPascalValueTypeExpressionItem {
    T_CLASS(TPascalToTypeExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::ToTypeItem;
    TPascalToTypeExpressionItem() noexcept : TCustomPascalValueTypeExpressionItem(TPascalKind::ToTypeItem) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalItemInSetExpressionItem : public TPascalExpressionItem {
    T_CLASS(TPascalItemInSetExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::InItem;
    TPascalItemInSetExpressionItem() noexcept : TPascalExpressionItem(TPascalKind::InItem) {}
    TPascalExpression* Item = nullptr;
    TPascalExpression* SetValue = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

// Left, Right and any further operand expressions after Right.
class TCustomPascalTwoSideExpressionItem : public TPascalExpressionItem {
    T_CLASS(TCustomPascalTwoSideExpressionItem)
public:
    TPascalExpression* Left = nullptr;
    TPascalExpression* Right = nullptr;
    void Create() override;
    // Appends a further operand.
    TPascalExpression* AddOperand();
    int OperandCount() const noexcept { return ChildCount(); }
    void Write(TPascalCodeWriter& writer) override;

protected:
    explicit TCustomPascalTwoSideExpressionItem(TPascalKind kind) noexcept : TPascalExpressionItem(kind) {}
    // The operator with a space on either side.
    virtual const QString& OperatorText() const = 0;
};

class TPascalCompareExpressionItem : public TCustomPascalTwoSideExpressionItem {
    T_CLASS(TPascalCompareExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CompareItem;
    TPascalCompareExpressionItem() noexcept : TCustomPascalTwoSideExpressionItem(TPascalKind::CompareItem) {}
    TPascalCompareKind Kind = TPascalCompareKind::Equal;
    // "and" or "or".
    bool IsLogical() const noexcept { return Kind == TPascalCompareKind::And || Kind == TPascalCompareKind::Or; }

protected:
    const QString& OperatorText() const override;
};

class TPascalOperationExpressionItem : public TCustomPascalTwoSideExpressionItem {
    T_CLASS(TPascalOperationExpressionItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::OperationItem;
    TPascalOperationExpressionItem() noexcept : TCustomPascalTwoSideExpressionItem(TPascalKind::OperationItem) {}
    TPascalOperationKind Kind = TPascalOperationKind::Add;

protected:
    const QString& OperatorText() const override;
};

class TPascalCallParameterValue : public TPascalCommentedNode {
    T_CLASS(TPascalCallParameterValue)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CallParameterValue;
    TPascalCallParameterValue() noexcept : TPascalCommentedNode(TPascalKind::CallParameterValue) {}
    TPascalExpression* Value = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalCallParameterValues : public TPascalNode {
    T_CLASS(TPascalCallParameterValues)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CallParameterValues;
    TPascalCallParameterValues() noexcept : TPascalNode(TPascalKind::CallParameterValues, false) {}
    // Adds an argument; its expression gets the mode.
    TPascalExpression* AddValue(TPascalParamKind mode = TPascalParamKind::Value);
};

// A call or an access: Name, then Target's current Name, then Suffix, then
// the arguments. The target is read when writing, so names made unique later
// appear correctly.
class TPascalCall : public TPascalExpressionItem {
    T_CLASS(TPascalCall)
public:
    QString Name;
    TPascalNamedNode* Target = nullptr;
    QString Suffix;
    // The arguments; made with the first argument (most calls have none).
    TPascalCallParameterValues* Parameters = nullptr;
    TPascalBracketKind BracketKind = TPascalBracketKind::Round;

    void Write(TPascalCodeWriter& writer) override;
    bool HasArguments() const noexcept { return Parameters && Parameters->HasChildren(); }
    // Adds an argument with the given mode and answers its expression.
    TPascalExpression* AddArgument(TPascalParamKind mode = TPascalParamKind::Value);
    // A reference to the target alone: no name, suffix or arguments.
    bool IsPlainReference() const noexcept {
        return Target && Name.isEmpty() && Suffix.isEmpty() && !HasArguments();
    }
    // Name, target and suffix of two calls are the same.
    bool SameCallee(const TPascalCall& other) const noexcept {
        return Target == other.Target && Name == other.Name && Suffix == other.Suffix;
    }
    static bool IsCallKind(TPascalKind kind) noexcept {
        return kind == TPascalKind::Call || kind == TPascalKind::CallInExpression || kind == TPascalKind::CallInCommands;
    }

protected:
    explicit TPascalCall(TPascalKind kind) noexcept : TPascalExpressionItem(kind) {}
    void WriteCall(TPascalCodeWriter& writer);
};

inline TPascalCall* PascalAsCall(TNode* node) noexcept {
    return node && TPascalCall::IsCallKind(PascalKindOf(node)) ? static_cast<TPascalCall*>(node) : nullptr;
}
inline const TPascalCall* PascalAsCall(const TNode* node) noexcept {
    return PascalAsCall(const_cast<TNode*>(node));
}

// A call of class T (in an expression or in a statement list) under owner:
// every AddCall builder goes through it.
template <class T>
T* CreateCall(TPascalNode* owner, const QString& name, TPascalNamedNode* target, const QString& suffix,
              TNode* before) {
    T* call = CreateNode<T>(owner, before);
    call->Name = name;
    call->Target = target;
    call->Suffix = suffix;
    return call;
}

class TPascalCallInExpression : public TPascalCall {
    T_CLASS(TPascalCallInExpression)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CallInExpression;
    TPascalCallInExpression() noexcept : TPascalCall(TPascalKind::CallInExpression) {}
};

// A conditional block: {$IFDEF Condition} ThenPart {$ELSE} ElsePart {$ENDIF}.
// The parts are expressions used as plain containers.
class TPascalIfDef : public TPascalFloatingNode {
    T_CLASS(TPascalIfDef)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::IfDef;
    TPascalIfDef() noexcept : TPascalFloatingNode(TPascalKind::IfDef) {}
    TPascalExpression* Condition = nullptr;
    TPascalExpression* ThenPart = nullptr;
    TPascalExpression* ElsePart = nullptr;
    bool IndentAround = false;
    bool IndentParts = false;
    bool NewLineBefore = false;
    bool NewLineAfterDirectives = false;
    bool NewLineAtEnd = false;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

// The only child of an expression when it has exactly one.
inline TPascalNode* OnlyItem(const TPascalExpression* e) noexcept {
    return e ? e->Only() : nullptr;
}

// Both empty, or each one item: custom texts with equal text, or calls in
// expression with equal name, target and suffix and no arguments.
bool SameExpression(const TPascalExpression* a, const TPascalExpression* b);

// What a stretch of code does first with a variable.
enum class TPascalUsage : uint8_t { None, Read, Written };
// None when no call with that name, target and suffix occurs in the
// expression, Read, or Written when the expression holding the match has
// mode Out.
TPascalUsage FindUsage(const TPascalExpression* expression, const QString& name, const TPascalNamedNode* target,
              const QString& suffix);
// `lead` and the expression, when the expression is not empty (": " before
// an optional type, " = " before an optional value).
void WriteIfPresent(TPascalCodeWriter& writer, const QString& lead, TPascalExpression* expression);

// Moves all items of one expression to the end of another.
inline void MoveItems(TPascalExpression* from, TPascalExpression* to) {
    MoveChildren(from, to);
}
// True when evaluating the expression can call nothing and raise nothing:
// literals, references to variables, constants, parameters and enumeration
// items, and operations on them other than divisions.
bool ExpressionCallsNothing(const TPascalExpression* expression);

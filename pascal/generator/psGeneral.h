#pragma once
// Declarations of constants, variables, routine parameters, routine heads,
// routine declarations and routines with a body.

#include "pascal/generator/psCommands.h"

#include <cstdint>

enum TPascalMethodKind : uint8_t {
    mkProcedure, mkFunction, mkClassProcedure, mkClassFunction, mkConstructor, mkDestructor
};

// Directive words by bit, written in bit order.
enum TPascalDirective : uint8_t {
    pdInline, pdOverload, pdDynamic, pdVirtual, pdAbstract, pdOverride, pdReintroduce, pdForward, pdDeprecated,
    pdPlatform, pdLocal, pdRegister, pdPascal, pdCdecl, pdStdcall, pdSafecall, pdFastcall, pdAssembler, pdExport,
    pdNear, pdFar,
    // The accessor of a class property must be a static class method.
    pdStatic,
    pdCount
};
using TPascalDirectives = uint32_t;
constexpr TPascalDirectives PascalDirective(TPascalDirective d) { return TPascalDirectives(1) << d; }
// The calling conventions: all that an implementation head may repeat.
constexpr TPascalDirectives PascalCallingConventions =
    PascalDirective(pdRegister) | PascalDirective(pdPascal) | PascalDirective(pdCdecl) | PascalDirective(pdStdcall) |
    PascalDirective(pdSafecall) | PascalDirective(pdFastcall);
// Directives that belong to a declaration only, never to a routine's body.
constexpr TPascalDirectives PascalDeclarationOnlyDirectives =
    PascalDirective(pdDynamic) | PascalDirective(pdVirtual) | PascalDirective(pdAbstract) |
    PascalDirective(pdOverride) | PascalDirective(pdReintroduce) | PascalDirective(pdStatic) |
    PascalDirective(pdForward);

class TPascalConstant : public TPascalConstEntry {
    T_CLASS(TPascalConstant)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Constant;
    TPascalConstant() noexcept : TPascalConstEntry(TPascalKind::Constant) {}
    TPascalExpression* TypeName = nullptr;
    TPascalExpression* Value = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalVariable : public TPascalVarEntry {
    T_CLASS(TPascalVariable)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Variable;
    TPascalVariable() noexcept : TPascalVarEntry(TPascalKind::Variable) {}
    TPascalExpression* TypeName = nullptr;
    TPascalExpression* Value = nullptr;
    bool JoinedWithNext = false;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;

protected:
    explicit TPascalVariable(TPascalKind kind) noexcept : TPascalVarEntry(kind) {}
};

// "Result" of a function; not floating, so its owner never writes it.
class TPascalMethodResultVariable : public TPascalVariable {
    T_CLASS(TPascalMethodResultVariable)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::ResultVariable;
    TPascalMethodResultVariable() noexcept : TPascalVariable(TPascalKind::ResultVariable) { SetFloating(false); }
};

class TPascalMethodParameter : public TPascalNamedNode {
    T_CLASS(TPascalMethodParameter)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodParameter;
    TPascalMethodParameter() noexcept : TPascalNamedNode(TPascalKind::MethodParameter) {}
    uint8_t Kind = pkValue;
    TPascalExpression* TypeName = nullptr;
    TPascalExpression* DefaultValue = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
    // Written as "A, B: T" with the next parameter.
    bool JoinsWithNext() const;
};

class TPascalMethodParameters : public TPascalNode {
    T_CLASS(TPascalMethodParameters)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodParameters;
    TPascalMethodParameters() noexcept : TPascalNode(TPascalKind::MethodParameters, false) {}
    TPascalMethodParameter* AddParameter(uint8_t kind, const QString& name, const QString& typeText = QString());
};

class TPascalMethodHead : public TPascalNode {
    T_CLASS(TPascalMethodHead)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodHead;
    TPascalMethodHead() noexcept : TPascalNode(TPascalKind::MethodHead, false) {}
    uint8_t Kind = mkProcedure;
    TPascalMethodParameters* Parameters = nullptr;
    TPascalExpression* ResultType = nullptr;
    TPascalDirectives Directives = 0;

    void Create() override;
    bool IsFunction() const noexcept { return Kind == mkFunction || Kind == mkClassFunction; }
    void AddDirective(TPascalDirective d) noexcept { Directives |= PascalDirective(d); }
    TPascalMethodParameter* AddParameter(uint8_t kind, const QString& name, const QString& typeText = QString()) {
        return Parameters->AddParameter(kind, name, typeText);
    }

    // The kind word, " Class.Name" or " Name", the parameters, the result type
    // and the directives of `directives` ("; word" each). With ofObject,
    // " of object" stands before the directives. The caller writes the ";".
    void WriteHead(TPascalCodeWriter& writer, const QString& className, const QString& name,
                   TPascalDirectives directives, bool ofObject = false) const;
};

class TPascalMethodDeclaration : public TPascalMethodEntry {
    T_CLASS(TPascalMethodDeclaration)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodDeclaration;
    TPascalMethodDeclaration() noexcept : TPascalMethodEntry(TPascalKind::MethodDeclaration) {}
    TPascalMethodHead* Head = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalMethodWithImplementation : public TPascalMethodEntry {
    T_CLASS(TPascalMethodWithImplementation)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodWithImplementation;
    TPascalMethodWithImplementation() noexcept : TPascalMethodEntry(TPascalKind::MethodWithImplementation) {}
    // The declaration in the class (or the interface), or nil.
    TPascalMethodDeclaration* Declaration = nullptr;
    QString ClassName;
    TPascalMethodHead* Head = nullptr;
    TPascalDeclarations* LocalDeclarations = nullptr;
    TPascalMethodResultVariable* ResultVariable = nullptr;
    TPascalCommands* Body = nullptr;

    void Create() override;
    // Joins local variables of one type into one declaration.
    void Simplify() override;
    void Write(TPascalCodeWriter& writer) override;

    // The name written in the head: the declaration's current name when there is one.
    const QString& HeadName() const noexcept { return Declaration ? Declaration->Name : Name; }
    bool HasNestedRoutines() const;
    // A variable of this routine's own local declarations, or its Result.
    bool IsOwnLocal(const TPascalNamedNode* node) const;
};

// ---------------------------------------------------------------------------
// Builders: short ways to fill a declarations list. Type and value texts are
// custom text items.

TPascalConstant* AddConstant(TPascalDeclarations* list, const QString& name, const QString& valueText,
                             TNode* before = nullptr);
// A variable with a type text (no type when empty).
TPascalVariable* AddVariable(TPascalDeclarations* list, const QString& name, const QString& typeText,
                             bool provisional = false, TNode* before = nullptr);
TPascalMethodDeclaration* AddMethodDeclaration(TPascalDeclarations* list, uint8_t kind, const QString& name,
                                               const QString& resultType = QString(), TNode* before = nullptr);
// A routine with a body; with a declaration, its head takes the declaration's
// kind, parameters (as texts), result type and calling convention.
TPascalMethodWithImplementation* AddMethodImplementation(TPascalDeclarations* list, uint8_t kind,
                                                         const QString& name, const QString& resultType = QString(),
                                                         const QString& className = QString(),
                                                         TNode* before = nullptr);
TPascalMethodWithImplementation* ImplementDeclaration(TPascalDeclarations* list, TPascalMethodDeclaration* declaration,
                                                      const QString& className, TNode* before = nullptr);
// Copies the items of an expression whose items are texts, literals and
// calls without arguments (what type names and simple values are made of).
void CopySimpleExpression(const TPascalExpression* from, TPascalExpression* to);

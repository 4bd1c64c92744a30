#pragma once
// Declarations of constants, variables, routine parameters, routine heads,
// routine declarations and routines with a body.

#include "pascal/generator/psCommands.h"

#include <QSet>

#include <cstdint>
#include <initializer_list>

enum class TPascalMethodKind : uint8_t { Procedure, Function, ClassProcedure, ClassFunction, Constructor, Destructor };

// Directive words by bit, written in bit order.
enum class TPascalDirective : uint8_t {
    Inline, Overload, Dynamic, Virtual, Abstract, Override, Reintroduce, Forward, Deprecated, Platform, Local,
    Register, Pascal, Cdecl, Stdcall, Safecall, Fastcall, Assembler, Export, Near, Far,
    // The accessor of a class property must be a static class method.
    Static
};
constexpr int PascalDirectiveCount = int(TPascalDirective::Static) + 1;
// A set of directives, one bit each.
using TPascalDirectives = uint32_t;
constexpr TPascalDirectives PascalDirective(TPascalDirective d) {
    return TPascalDirectives(1) << unsigned(d);
}
constexpr TPascalDirectives PascalDirectives(std::initializer_list<TPascalDirective> directives) {
    TPascalDirectives set = 0;
    for (TPascalDirective d : directives) set |= PascalDirective(d);
    return set;
}
// The calling conventions: all that an implementation head may repeat.
constexpr TPascalDirectives PascalCallingConventions =
    PascalDirectives({TPascalDirective::Register, TPascalDirective::Pascal, TPascalDirective::Cdecl,
                      TPascalDirective::Stdcall, TPascalDirective::Safecall, TPascalDirective::Fastcall});
// Directives that belong to a declaration only, never to a routine's body.
constexpr TPascalDirectives PascalDeclarationOnlyDirectives =
    PascalDirectives({TPascalDirective::Dynamic, TPascalDirective::Virtual, TPascalDirective::Abstract,
                      TPascalDirective::Override, TPascalDirective::Reintroduce, TPascalDirective::Static,
                      TPascalDirective::Forward});

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
    TPascalParamKind Kind = TPascalParamKind::Value;
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
    TPascalMethodParameter* AddParameter(TPascalParamKind kind, const QString& name,
                                         const QString& typeText = QString());
};

class TPascalMethodHead : public TPascalNode {
    T_CLASS(TPascalMethodHead)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::MethodHead;
    TPascalMethodHead() noexcept : TPascalNode(TPascalKind::MethodHead, false) {}
    TPascalMethodKind Kind = TPascalMethodKind::Procedure;
    TPascalMethodParameters* Parameters = nullptr;
    TPascalExpression* ResultType = nullptr;
    TPascalDirectives Directives = 0;

    void Create() override;
    bool IsFunction() const noexcept {
        return Kind == TPascalMethodKind::Function || Kind == TPascalMethodKind::ClassFunction;
    }
    void AddDirective(TPascalDirective d) noexcept { Directives |= PascalDirective(d); }
    TPascalMethodParameter* AddParameter(TPascalParamKind kind, const QString& name,
                                         const QString& typeText = QString()) {
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

class TPascalMethodWithImplementation : public TPascalMethodEntry, public IPascalRoutine {
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
    // Joins local variables of one type into one declaration. Runs once: a
    // routine simplified as soon as its body was complete (while its nodes
    // are still in the cache) is passed over by the pass over the whole unit.
    void Simplify() override;
    void Write(TPascalCodeWriter& writer) override;

    // The name written in the head: the declaration's current name when there is one.
    const QString& HeadName() const noexcept { return Declaration ? Declaration->Name : Name; }
    const TPascalCommands* RoutineBody() const noexcept override { return Body; }
    bool HasNestedRoutines() const override;
    // While simplifying, a pointer could read a local whose address the body
    // takes anywhere: such a local is not the routine's own.
    bool IsOwnLocal(const TPascalNamedNode* node) const override;

private:
    // Names that follow "@" or stand in "Addr(...)" in the body; kept only
    // while the routine simplifies.
    QSet<TPascalName> m_addressTaken;
    bool m_simplified = false;
};

// ---------------------------------------------------------------------------
// Builders: short ways to fill a declarations list. Type and value texts are
// custom text items.

TPascalConstant* AddConstant(TPascalDeclarations* list, const QString& name, const QString& valueText,
                             TNode* before = nullptr);
// A variable with a type text (no type when empty).
TPascalVariable* AddVariable(TPascalDeclarations* list, const QString& name, const QString& typeText,
                             bool provisional = false, TNode* before = nullptr);
TPascalMethodDeclaration* AddMethodDeclaration(TPascalDeclarations* list, TPascalMethodKind kind, const QString& name,
                                               const QString& resultType = QString(), TNode* before = nullptr);
// A routine with a body; with a declaration, its head takes the declaration's
// kind, parameters (as texts), result type and calling convention.
TPascalMethodWithImplementation* AddMethodImplementation(TPascalDeclarations* list, TPascalMethodKind kind,
                                                         const QString& name, const QString& resultType = QString(),
                                                         const QString& className = QString(),
                                                         TNode* before = nullptr);
TPascalMethodWithImplementation* ImplementDeclaration(TPascalDeclarations* list, TPascalMethodDeclaration* declaration,
                                                      const QString& className, TNode* before = nullptr);
// Copies the items of an expression whose items are texts, literals and
// calls without arguments (what type names and simple values are made of).
void CopySimpleExpression(const TPascalExpression* from, TPascalExpression* to);

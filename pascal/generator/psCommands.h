#pragma once
// Statements of the code model and TPascalCommands, the statement list of a
// routine body, a branch, a loop or a unit's initialization and finalization.
// The list decides where "begin" and "end" are needed and where the ";" before
// an "else" is left out; its simplification removes branches decided by
// Boolean literals and assignments whose value is overwritten unread.

#include "pascal/generator/psExpressions.h"

class TPascalCommands;
class TPascalCustomCommand;
class TPascalLet;
class TPascalCallInCommands;
class TPascalIf;
class TPascalCase;
class TPascalCaseItem;
class TPascalWhile;
class TPascalFor;
class TPascalTryFinally;
class TPascalTryExcept;

class TPascalCommand : public TPascalFloatingNode {
    T_CLASS(TPascalCommand)
protected:
    explicit TPascalCommand(TPascalKind kind) noexcept : TPascalFloatingNode(kind) {}
};

// A routine with a body as the simplification of its statements sees it
// (the routine's class implements it in a later unit).
class IPascalRoutine {
public:
    // The statement list of the routine's body.
    virtual const TPascalCommands* RoutineBody() const noexcept = 0;
    // Whether routines nested in this one could see its locals.
    virtual bool HasNestedRoutines() const = 0;
    // A variable of the routine's own local declarations, or its Result,
    // whose address the body does not take.
    virtual bool IsOwnLocal(const TPascalNamedNode* node) const = 0;

protected:
    ~IPascalRoutine() = default;
};

// ";" ending the line, or only the line end where Pascal allows no ";"
// (the only statement of a then part that is followed by "else").
void WriteTerminator(TPascalCodeWriter& writer, const TPascalNode* statement);

class TPascalCommands : public TPascalNode {
    T_CLASS(TPascalCommands)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Commands;
    TPascalCommands() noexcept : TPascalNode(TPascalKind::Commands, false) {}

    TPascalCallInCommands* AddCall(const QString& name, TNode* before = nullptr);
    TPascalCallInCommands* AddCallTo(TPascalNamedNode* node, TNode* before = nullptr);
    TPascalCallInCommands* AddCallEx(const QString& name, TPascalNamedNode* node, const QString& suffix,
                                     TNode* before = nullptr);
    TPascalCase* AddCase(TNode* before = nullptr);
    TPascalCustomCommand* AddText(const QString& text, TNode* before = nullptr);
    TPascalFor* AddFor(TNode* before = nullptr);
    TPascalIf* AddIf(TNode* before = nullptr);
    TPascalLet* AddLet(TNode* before = nullptr);
    TPascalTryFinally* AddTryFinally(TNode* before = nullptr);
    TPascalTryExcept* AddTryExcept(TNode* before = nullptr);
    TPascalWhile* AddWhile(TNode* before = nullptr);
    // Target := Value with the target a reference to a declared node and the
    // value a text; a shortcut for builders.
    TPascalLet* AddLetTo(TPascalNamedNode* target, const QString& valueText, TNode* before = nullptr);

    // Whether the list must stand between "begin" and "end" where a single
    // statement may stand.
    static bool NeedsBeginEnd(const TPascalCommands* list);

    void Simplify() override;
    void Write(TPascalCodeWriter& writer) override { WriteChildren(writer); }
};

class TPascalCustomCommand : public TPascalCommand {
    T_CLASS(TPascalCustomCommand)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CustomCommand;
    TPascalCustomCommand() noexcept : TPascalCommand(TPascalKind::CustomCommand) {}
    QString Text;
    bool Terminated = true;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalLet : public TPascalCommand {
    T_CLASS(TPascalLet)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Let;
    TPascalLet() noexcept : TPascalCommand(TPascalKind::Let) {}
    TPascalExpression* Target = nullptr;  // mode Out
    TPascalExpression* Value = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalCallInCommands : public TPascalCall {
    T_CLASS(TPascalCallInCommands)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CallInCommands;
    TPascalCallInCommands() noexcept : TPascalCall(TPascalKind::CallInCommands) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalIf : public TPascalCommand {
    T_CLASS(TPascalIf)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::If;
    TPascalIf() noexcept : TPascalCommand(TPascalKind::If) {}
    TPascalExpression* Condition = nullptr;
    TPascalCommands* ThenPart = nullptr;
    TPascalCommands* ElsePart = nullptr;
    bool HasElse() const noexcept;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalCaseItems : public TPascalNode {
    T_CLASS(TPascalCaseItems)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CaseItems;
    TPascalCaseItems() noexcept : TPascalNode(TPascalKind::CaseItems, false) {}
    TPascalCaseItem* AddCaseItem(TNode* before = nullptr);
};

// A branch chosen by values: a case item or an exception handler.
class TCustomPascalBranch : public TPascalCommentedNode {
    T_CLASS(TCustomPascalBranch)
public:
    TPascalExpression* Values = nullptr;
    TPascalCommands* Commands = nullptr;
    void Create() override;

protected:
    explicit TCustomPascalBranch(TPascalKind kind) noexcept : TPascalCommentedNode(kind) {}
    // lead, the values, tail and the statements (between begin and end where
    // they need it).
    void WriteBranch(TPascalCodeWriter& writer, const QString& lead, const QString& tail);
};

// "Values: Commands".
class TPascalCaseItem : public TCustomPascalBranch {
    T_CLASS(TPascalCaseItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::CaseItem;
    TPascalCaseItem() noexcept : TCustomPascalBranch(TPascalKind::CaseItem) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalCase : public TPascalCommand {
    T_CLASS(TPascalCase)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::Case;
    TPascalCase() noexcept : TPascalCommand(TPascalKind::Case) {}
    TPascalExpression* Selector = nullptr;
    TPascalCaseItems* Items = nullptr;
    TPascalCommands* ElsePart = nullptr;
    void Create() override;
    // A case without items is written as its else statements (Pascal has no
    // case statement without a branch).
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalWhile : public TPascalCommand {
    T_CLASS(TPascalWhile)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::While;
    TPascalWhile() noexcept : TPascalCommand(TPascalKind::While) {}
    TPascalExpression* Condition = nullptr;
    TPascalCommands* Body = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalFor : public TPascalCommand {
    T_CLASS(TPascalFor)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::For;
    TPascalFor() noexcept : TPascalCommand(TPascalKind::For) {}
    TPascalExpression* Counter = nullptr;  // mode Out
    TPascalExpression* LowValue = nullptr;
    TPascalExpression* HighValue = nullptr;
    TPascalCommands* Body = nullptr;
    bool Downward = false;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalTryFinally : public TPascalCommand {
    T_CLASS(TPascalTryFinally)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::TryFinally;
    TPascalTryFinally() noexcept : TPascalCommand(TPascalKind::TryFinally) {}
    TPascalCommands* TryPart = nullptr;
    TPascalCommands* FinallyPart = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

// An exception handler "on Values do Commands".
class TPascalTryExceptItem : public TCustomPascalBranch {
    T_CLASS(TPascalTryExceptItem)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::TryExceptItem;
    TPascalTryExceptItem() noexcept : TCustomPascalBranch(TPascalKind::TryExceptItem) {}
    void Write(TPascalCodeWriter& writer) override;
};

class TPascalTryExceptItems : public TPascalNode {
    T_CLASS(TPascalTryExceptItems)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::TryExceptItems;
    TPascalTryExceptItems() noexcept : TPascalNode(TPascalKind::TryExceptItems, false) {}
    TPascalTryExceptItem* AddHandler(TNode* before = nullptr);
};

class TPascalTryExcept : public TPascalCommand {
    T_CLASS(TPascalTryExcept)
public:
    static constexpr TPascalKind StaticKind = TPascalKind::TryExcept;
    TPascalTryExcept() noexcept : TPascalCommand(TPascalKind::TryExcept) {}
    TPascalCommands* TryPart = nullptr;
    TPascalTryExceptItems* Handlers = nullptr;
    TPascalCommands* ElsePart = nullptr;
    void Create() override;
    void Write(TPascalCodeWriter& writer) override;
};

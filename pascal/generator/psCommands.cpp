#include "pascal/generator/psCommands.h"

#include "core/cuCodeWriters.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <string_view>

using namespace Qt::StringLiterals;

T_CLASS_IMPL_ABSTRACT(TPascalCommand, TPascalFloatingNode)
T_CLASS_IMPL(TPascalCommands, TPascalNode)
T_CLASS_IMPL(TPascalCustomCommand, TPascalCommand)
T_CLASS_IMPL(TPascalLet, TPascalCommand)
T_CLASS_IMPL(TPascalCallInCommands, TPascalCall)
T_CLASS_IMPL(TPascalIf, TPascalCommand)
T_CLASS_IMPL(TPascalCaseItems, TPascalNode)
T_CLASS_IMPL_ABSTRACT(TCustomPascalBranch, TPascalCommentedNode)
T_CLASS_IMPL(TPascalCaseItem, TCustomPascalBranch)
T_CLASS_IMPL(TPascalCase, TPascalCommand)
T_CLASS_IMPL(TPascalWhile, TPascalCommand)
T_CLASS_IMPL(TPascalFor, TPascalCommand)
T_CLASS_IMPL(TPascalTryFinally, TPascalCommand)
T_CLASS_IMPL(TPascalTryExceptItem, TCustomPascalBranch)
T_CLASS_IMPL(TPascalTryExceptItems, TPascalNode)
T_CLASS_IMPL(TPascalTryExcept, TPascalCommand)

// ---------------------------------------------------------------------------
// Builders

TPascalCallInCommands* TPascalCommands::AddCall(const QString& name, TNode* before) {
    return AddCallEx(name, nullptr, QString(), before);
}

TPascalCallInCommands* TPascalCommands::AddCallTo(TPascalNamedNode* node, TNode* before) {
    return AddCallEx(QString(), node, QString(), before);
}

TPascalCallInCommands* TPascalCommands::AddCallEx(const QString& name, TPascalNamedNode* node, const QString& suffix,
                                                  TNode* before) {
    return CreateCall<TPascalCallInCommands>(this, name, node, suffix, before);
}

TPascalCase* TPascalCommands::AddCase(TNode* before) {
    return CreateNode<TPascalCase>(this, before);
}

TPascalCustomCommand* TPascalCommands::AddText(const QString& text, TNode* before) {
    auto* command = CreateNode<TPascalCustomCommand>(this, before);
    command->Text = text;
    return command;
}

TPascalFor* TPascalCommands::AddFor(TNode* before) {
    return CreateNode<TPascalFor>(this, before);
}

TPascalIf* TPascalCommands::AddIf(TNode* before) {
    return CreateNode<TPascalIf>(this, before);
}

TPascalLet* TPascalCommands::AddLet(TNode* before) {
    return CreateNode<TPascalLet>(this, before);
}

TPascalTryFinally* TPascalCommands::AddTryFinally(TNode* before) {
    return CreateNode<TPascalTryFinally>(this, before);
}

TPascalTryExcept* TPascalCommands::AddTryExcept(TNode* before) {
    return CreateNode<TPascalTryExcept>(this, before);
}

TPascalWhile* TPascalCommands::AddWhile(TNode* before) {
    return CreateNode<TPascalWhile>(this, before);
}

TPascalLet* TPascalCommands::AddLetTo(TPascalNamedNode* target, const QString& valueText, TNode* before) {
    TPascalLet* let = AddLet(before);
    let->Target->AddCallTo(target);
    let->Value->AddText(valueText);
    return let;
}

TPascalCaseItem* TPascalCaseItems::AddCaseItem(TNode* before) {
    return CreateNode<TPascalCaseItem>(this, before);
}

TPascalTryExceptItem* TPascalTryExceptItems::AddHandler(TNode* before) {
    return CreateNode<TPascalTryExceptItem>(this, before);
}

// ---------------------------------------------------------------------------
// Fixed parts

void TPascalLet::Create() {
    Target = CreateNode<TPascalExpression>(this);
    Target->Mode = TPascalParamKind::Out;
    Value = CreateNode<TPascalExpression>(this);
}

void TPascalIf::Create() {
    Condition = CreateNode<TPascalExpression>(this);
    ThenPart = CreateNode<TPascalCommands>(this);
    ElsePart = CreateNode<TPascalCommands>(this);
}

bool TPascalIf::HasElse() const noexcept {
    return ElsePart->HasChildren();
}

void TCustomPascalBranch::Create() {
    Values = CreateNode<TPascalExpression>(this);
    Commands = CreateNode<TPascalCommands>(this);
}

void TPascalCase::Create() {
    Selector = CreateNode<TPascalExpression>(this);
    Items = CreateNode<TPascalCaseItems>(this);
    ElsePart = CreateNode<TPascalCommands>(this);
}

void TPascalWhile::Create() {
    Condition = CreateNode<TPascalExpression>(this);
    Body = CreateNode<TPascalCommands>(this);
}

void TPascalFor::Create() {
    Counter = CreateNode<TPascalExpression>(this);
    Counter->Mode = TPascalParamKind::Out;
    LowValue = CreateNode<TPascalExpression>(this);
    HighValue = CreateNode<TPascalExpression>(this);
    Body = CreateNode<TPascalCommands>(this);
}

void TPascalTryFinally::Create() {
    TryPart = CreateNode<TPascalCommands>(this);
    FinallyPart = CreateNode<TPascalCommands>(this);
}

void TPascalTryExcept::Create() {
    TryPart = CreateNode<TPascalCommands>(this);
    Handlers = CreateNode<TPascalTryExceptItems>(this);
    ElsePart = CreateNode<TPascalCommands>(this);
}

// ---------------------------------------------------------------------------
// begin/end and terminators

namespace {
// The statement that a lone statement really writes: a case without items
// writes its else part in its place.
const TPascalNode* Effective(const TPascalNode* statement) {
    while (const auto* c = PascalAs<TPascalCase>(statement)) {
        const TPascalNode* only = c->Items->HasChildren() ? nullptr : c->ElsePart->Only();
        if (!only || TPascalCommands::NeedsBeginEnd(c->ElsePart)) break;
        statement = only;
    }
    return statement;
}

// A loop whose body stands without begin/end ends with the body's ";".
bool EndsWithNestedStatement(const TPascalNode* s) {
    if (const auto* w = PascalAs<TPascalWhile>(s)) return !TPascalCommands::NeedsBeginEnd(w->Body);
    if (const auto* f = PascalAs<TPascalFor>(s)) return !TPascalCommands::NeedsBeginEnd(f->Body);
    return false;
}

bool TerminatorSuppressed(const TPascalNode* statement) {
    for (;;) {
        const auto* list = PascalAs<TPascalCommands>(statement->Parent());
        if (!list || list->Only() != statement || TPascalCommands::NeedsBeginEnd(list)) return false;
        const TPascalNode* owner = list->ParentNode();
        if (const auto* f = PascalAs<TPascalIf>(owner)) return list == f->ThenPart && f->HasElse();
        const auto* c = PascalAs<TPascalCase>(owner);
        if (c && list == c->ElsePart && !c->Items->HasChildren()) {
            statement = c;
            continue;
        }
        return false;
    }
}

// The body of a loop: the list indented, between "begin" and "end" (with
// the loop's terminator) where it needs them.
void WriteBlockBody(TPascalCodeWriter& writer, TPascalCommands* list, const TPascalNode* owner) {
    const bool block = TPascalCommands::NeedsBeginEnd(list);
    if (block) writer.WriteLn(u"begin"_s);
    WriteIndented(writer, list);
    if (block) {
        writer.Write(u"end"_s);
        WriteTerminator(writer, owner);
    }
}
}  // namespace

bool TPascalCommands::NeedsBeginEnd(const TPascalCommands* list) {
    const TPascalNode* only = list->Only();
    if (!only || PascalAs<TPascalIfDef>(only)) return true;
    // A lone comment is no statement, and a lone verbatim line may be a
    // comment too: without begin/end the statement after the list would
    // become the body.
    if (PascalAs<TPascalComment>(only)) return true;
    if (const auto* text = PascalAs<TPascalCustomCommand>(only); text && !text->Terminated) return true;
    const auto* owner = PascalAs<TPascalIf>(list->Parent());
    if (!owner) return false;
    const TPascalNode* s = Effective(only);
    if (PascalAs<TPascalIfDef>(s)) return true;
    const auto* inner = PascalAs<TPascalIf>(s);
    if (inner && !inner->HasElse()) return true;
    // In a then part followed by "else", a statement that ends with a nested
    // statement would put that statement's ";" before the "else".
    return list == owner->ThenPart && owner->HasElse() && (inner || EndsWithNestedStatement(s));
}

void WriteTerminator(TPascalCodeWriter& writer, const TPascalNode* statement) {
    if (!TerminatorSuppressed(statement)) writer.Write(u";"_s);
    writer.NewLine();
}

// ---------------------------------------------------------------------------
// Writing

void TPascalCustomCommand::Write(TPascalCodeWriter& writer) {
    {
        TPascalNoWrap noWrap(writer);
        writer.Write(Text);
    }
    if (Terminated)
        WriteTerminator(writer, this);
    else
        writer.NewLine();
}

void TPascalLet::Write(TPascalCodeWriter& writer) {
    Target->Write(writer);
    writer.Write(u" := "_s);
    writer.WrapIfLong();
    Value->Write(writer);
    WriteTerminator(writer, this);
}

void TPascalCallInCommands::Write(TPascalCodeWriter& writer) {
    WriteCall(writer);
    WriteTrailingComment(writer);
    WriteTerminator(writer, this);
}

void TPascalIf::Write(TPascalCodeWriter& writer) {
    writer.Write(u"if "_s);
    Condition->Write(writer);
    writer.WriteLn(u" then"_s);
    const bool hasElse = HasElse();
    const bool thenBlock = TPascalCommands::NeedsBeginEnd(ThenPart);
    if (thenBlock) writer.WriteLn(u"begin"_s);
    WriteIndented(writer, ThenPart);
    if (thenBlock) {
        if (hasElse) {
            writer.WriteLn(u"end"_s);
        } else {
            writer.Write(u"end"_s);
            WriteTerminator(writer, this);
        }
    }
    if (!hasElse) return;
    const bool elseBlock = TPascalCommands::NeedsBeginEnd(ElsePart);
    writer.WriteLn(elseBlock ? u"else begin"_s : u"else"_s);
    WriteIndented(writer, ElsePart);
    if (elseBlock) {
        writer.Write(u"end"_s);
        WriteTerminator(writer, this);
    }
}

void TCustomPascalBranch::WriteBranch(TPascalCodeWriter& writer, const QString& lead, const QString& tail) {
    writer.Write(lead);
    Values->Write(writer);
    writer.WriteLn(tail);
    const bool block = TPascalCommands::NeedsBeginEnd(Commands);
    if (block) writer.WriteLn(u"begin"_s);
    WriteIndented(writer, Commands);
    if (block) writer.WriteLn(u"end;"_s);
}

void TPascalCaseItem::Write(TPascalCodeWriter& writer) {
    WriteBranch(writer, QString(), u":"_s);
}

void TPascalCase::Write(TPascalCodeWriter& writer) {
    if (!Items->HasChildren()) {
        if (TPascalCommands::NeedsBeginEnd(ElsePart))
            WriteBlockBody(writer, ElsePart, this);
        else
            ElsePart->Write(writer);
        return;
    }
    writer.Write(u"case "_s);
    Selector->Write(writer);
    writer.WriteLn(u" of"_s);
    WriteIndented(writer, Items);
    if (ElsePart->HasChildren()) {
        writer.WriteLn(u"else"_s);
        writer.Indent();
        const bool block = TPascalCommands::NeedsBeginEnd(ElsePart);
        if (block) {
            writer.WriteLn(u"begin"_s);
            writer.Indent();
        }
        ElsePart->Write(writer);
        if (block) {
            writer.Unindent();
            writer.WriteLn(u"end;"_s);
        }
        writer.Unindent();
    }
    writer.Write(u"end"_s);
    WriteTerminator(writer, this);
}

void TPascalWhile::Write(TPascalCodeWriter& writer) {
    writer.Write(u"while "_s);
    Condition->Write(writer);
    writer.WriteLn(u" do"_s);
    WriteBlockBody(writer, Body, this);
}

void TPascalFor::Write(TPascalCodeWriter& writer) {
    writer.Write(u"for "_s);
    Counter->Write(writer);
    writer.Write(u" := "_s);
    if (Downward) {
        HighValue->Write(writer);
        writer.Write(u" downto "_s);
        LowValue->Write(writer);
    } else {
        LowValue->Write(writer);
        writer.Write(u" to "_s);
        HighValue->Write(writer);
    }
    writer.WriteLn(u" do"_s);
    WriteBlockBody(writer, Body, this);
}

void TPascalTryFinally::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(u"try"_s);
    WriteIndented(writer, TryPart);
    writer.WriteLn(u"finally"_s);
    WriteIndented(writer, FinallyPart);
    writer.Write(u"end"_s);
    WriteTerminator(writer, this);
}

void TPascalTryExceptItem::Write(TPascalCodeWriter& writer) {
    WriteBranch(writer, u"on "_s, u" do"_s);
}

void TPascalTryExcept::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(u"try"_s);
    WriteIndented(writer, TryPart);
    writer.WriteLn(u"except"_s);
    const bool handlers = Handlers->HasChildren();
    if (handlers) WriteIndented(writer, Handlers);
    if (ElsePart->HasChildren()) {
        const bool block = handlers && TPascalCommands::NeedsBeginEnd(ElsePart);
        if (handlers) writer.WriteLn(block ? u"else begin"_s : u"else"_s);
        WriteIndented(writer, ElsePart);
        if (block) writer.WriteLn(u"end;"_s);
    }
    writer.Write(u"end"_s);
    WriteTerminator(writer, this);
}

// ---------------------------------------------------------------------------
// Simplification: branches decided by literals

namespace {
void RemoveDecidedBranches(TPascalCommands* list) {
    for (TPascalNode* s = list->First(); s;) {
        TPascalNode* next = s->Next();
        if (auto* f = PascalAs<TPascalIf>(s)) {
            if (auto* literal = PascalAs<TPascalBooleanValueExpressionItem>(OnlyItem(f->Condition))) {
                MoveChildren(literal->Value ? f->ThenPart : f->ElsePart, list, f);
                f->Free();
            }
        } else if (auto* w = PascalAs<TPascalWhile>(s)) {
            if (auto* literal = PascalAs<TPascalBooleanValueExpressionItem>(OnlyItem(w->Condition));
                literal && !literal->Value)
                w->Free();
        }
        s = next;
    }
}

// ---------------------------------------------------------------------------
// Simplification: dead assignments
//
// "X := v" is removed only when a later assignment overwrites X before
// anything can read it, and only where that cannot change the program: X is
// a local variable (or the Result) of the routine, v calls nothing, the
// routine has no nested routines that could see X, and the assignment is not
// inside a try part whose handlers could see the old value. Verbatim text,
// conditional blocks, exception handlers and the jumps Exit, Break, Continue,
// Halt, Abort and raise count as reads of every variable.
//
// The answer for every variable at once is built in one backward walk over
// the list: each statement is summarised once (what it reads or overwrites
// first) and the summaries are folded from the end: one pass over the list
// and what it nests instead of one forward search per assignment.

using TVar = const TPascalNamedNode*;


// What a stretch of code does first with each tracked variable (by index):
// reads it, overwrites it, or neither; `rest` answers for the variables not
// decided explicitly (Read after a jump or verbatim text).
// Up to BitUsageCapacity variables fit in two bit masks; more use a hash.
constexpr int BitUsageCapacity = 64;

struct TBitUsage {
    uint64_t read = 0, written = 0;
    TPascalUsage rest = TPascalUsage::None;

    TPascalUsage Get(int i) const {
        const uint64_t bit = uint64_t(1) << i;
        return read & bit ? TPascalUsage::Read : written & bit ? TPascalUsage::Written : rest;
    }
    void MarkRead(int i) {
        read |= uint64_t(1) << i;
        written &= ~(uint64_t(1) << i);
    }
    void MarkWrittenIfUndecided(int i) {
        const uint64_t bit = uint64_t(1) << i;
        if (!((read | written) & bit)) written |= bit;
    }
    static TBitUsage All() {
        TBitUsage m;
        m.rest = TPascalUsage::Read;
        return m;
    }
    // `first` happens before `then`: the first one that decides answers.
    static TBitUsage Sequence(const TBitUsage& first, const TBitUsage& then) {
        if (first.rest != TPascalUsage::None) return first;
        const uint64_t decided = first.read | first.written;
        TBitUsage r;
        r.read = first.read | (then.read & ~decided);
        r.written = first.written | (then.written & ~decided);
        r.rest = then.rest;
        return r;
    }
    // Only the reads count (a loop body may not run at all).
    TBitUsage ReadsOnly() const {
        TBitUsage r = *this;
        r.written = 0;
        return r;
    }
    // One of several paths runs: read when any reads, written when all write.
    static TBitUsage Alternatives(const std::vector<TBitUsage>& paths) {
        TBitUsage r;
        r.written = ~uint64_t(0);
        for (const TBitUsage& p : paths) {
            if (p.rest == TPascalUsage::Read) return All();
            r.read |= p.read;
            r.written &= p.written;
        }
        r.written &= ~r.read;
        if (paths.empty()) r.written = 0;
        return r;
    }
    // Reads in `other` that `this` would otherwise answer as writes.
    void AddReadsOf(const TBitUsage& other) {
        read |= other.read;
        written &= ~other.read;
    }
};

struct THashUsage {
    QHash<int, TPascalUsage> map;
    TPascalUsage rest = TPascalUsage::None;

    TPascalUsage Get(int i) const {
        auto it = map.constFind(i);
        return it == map.constEnd() ? rest : *it;
    }
    void MarkRead(int i) { map.insert(i, TPascalUsage::Read); }
    void MarkWrittenIfUndecided(int i) {
        if (!map.contains(i)) map.insert(i, TPascalUsage::Written);
    }
    static THashUsage All() {
        THashUsage m;
        m.rest = TPascalUsage::Read;
        return m;
    }
    static THashUsage Sequence(const THashUsage& first, THashUsage then) {
        if (first.rest != TPascalUsage::None) return first;
        for (auto it = first.map.constBegin(); it != first.map.constEnd(); ++it) then.map.insert(it.key(), it.value());
        return then;
    }
    THashUsage ReadsOnly() const {
        THashUsage r = *this;
        for (auto it = r.map.begin(); it != r.map.end();)
            it = it.value() == TPascalUsage::Read ? std::next(it) : r.map.erase(it);
        return r;
    }
    static THashUsage Alternatives(const std::vector<THashUsage>& paths) {
        THashUsage r;
        for (const THashUsage& p : paths)
            if (p.rest == TPascalUsage::Read) return All();
        for (const THashUsage& p : paths)
            for (auto it = p.map.constBegin(); it != p.map.constEnd(); ++it) {
                if (r.map.contains(it.key())) continue;
                bool read = false, allWritten = true;
                for (const THashUsage& q : paths) {
                    const TPascalUsage u = q.Get(it.key());
                    read = read || u == TPascalUsage::Read;
                    allWritten = allWritten && u == TPascalUsage::Written;
                }
                if (read || allWritten) r.map.insert(it.key(), read ? TPascalUsage::Read : TPascalUsage::Written);
            }
        return r;
    }
    void AddReadsOf(const THashUsage& other) {
        for (auto it = other.map.constBegin(); it != other.map.constEnd(); ++it)
            if (it.value() == TPascalUsage::Read) map.insert(it.key(), TPascalUsage::Read);
    }
};

template <class TUsage>
class TDeadAssignments {
public:
    explicit TDeadAssignments(const QList<TVar>& candidates) {
        for (int i = 0; i < candidates.size(); ++i) {
            m_index.insert(candidates[i], i);
            m_byName[{candidates[i]->Name}].append(i);
        }
    }

    int IndexOf(TVar v) const { return m_index.value(v, -1); }

    TUsage List(const TPascalCommands* list) const {
        TUsage result;
        for (const TPascalNode* s = list->Last(); s; s = s->Prev())
            result = TUsage::Sequence(Statement(s), std::move(result));
        return result;
    }

    TUsage Statement(const TPascalNode* s) const {
        switch (s->NodeKind()) {
        case TPascalKind::Comment:
            return {};
        case TPascalKind::Let: {
            const auto* let = static_cast<const TPascalLet*>(s);
            return TUsage::Sequence(Expression(let->Value), Expression(let->Target));
        }
        case TPascalKind::CallInCommands: {
            const auto* call = static_cast<const TPascalCallInCommands*>(s);
            if (call->Target == nullptr && IsJump(call->Name)) return TUsage::All();
            TUsage m;
            ScanCall(call, false, m);
            return m;
        }
        case TPascalKind::If: {
            const auto* f = static_cast<const TPascalIf*>(s);
            return TUsage::Sequence(Expression(f->Condition),
                                    TUsage::Alternatives({List(f->ThenPart), List(f->ElsePart)}));
        }
        case TPascalKind::Case: {
            const auto* c = static_cast<const TPascalCase*>(s);
            std::vector<TUsage> paths;
            for (const TPascalNode* i = c->Items->First(); i; i = i->Next()) {
                const auto* item = static_cast<const TPascalCaseItem*>(i);
                paths.push_back(TUsage::Sequence(Expression(item->Values).ReadsOnly(), List(item->Commands)));
            }
            paths.push_back(List(c->ElsePart));
            return TUsage::Sequence(Expression(c->Selector), TUsage::Alternatives(paths));
        }
        case TPascalKind::While: {
            const auto* w = static_cast<const TPascalWhile*>(s);
            return TUsage::Sequence(Expression(w->Condition), List(w->Body).ReadsOnly());
        }
        case TPascalKind::For: {
            // The bounds are evaluated before the counter is set.
            const auto* f = static_cast<const TPascalFor*>(s);
            const TUsage bounds =
                TUsage::Sequence(Expression(f->LowValue).ReadsOnly(), Expression(f->HighValue).ReadsOnly());
            return TUsage::Sequence(bounds, TUsage::Sequence(Expression(f->Counter), List(f->Body).ReadsOnly()));
        }
        case TPascalKind::TryFinally: {
            const auto* t = static_cast<const TPascalTryFinally*>(s);
            TUsage tryPart = List(t->TryPart);
            const TUsage finallyPart = List(t->FinallyPart);
            if (finallyPart.rest == TPascalUsage::Read) return finallyPart;
            // What the finally part reads may be the value from before the try.
            tryPart.AddReadsOf(finallyPart);
            return TUsage::Sequence(tryPart, finallyPart);
        }
        default:
            // Verbatim text, conditional blocks, try-except and anything unknown.
            return TUsage::All();
        }
    }

    TUsage Expression(const TPascalExpression* e) const {
        TUsage m;
        ScanNode(e, m);
        return m;
    }

private:
    static bool IsJump(const QString& name) {
        constexpr std::u16string_view jumps[] = {u"exit", u"break", u"continue", u"halt", u"abort", u"raise"};
        return std::any_of(std::begin(jumps), std::end(jumps), [&name](std::u16string_view jump) {
            return PascalSameName(name, QStringView(jump.data(), qsizetype(jump.size())));
        });
    }

    // Every identifier in a text that names a tracked variable is a read.
    void ScanText(const QString& text, TUsage& m) const {
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype end = PascalIdentifierEnd(text, i);
            if (end == i) {
                ++i;
                continue;
            }
            auto it = m_byName.constFind({QStringView(text).sliced(i, end - i)});
            if (it != m_byName.constEnd())
                for (int v : *it) m.MarkRead(v);
            i = end;
        }
    }

    void ScanCall(const TPascalCall* call, bool inTarget, TUsage& m) const {
        if (call->Target) {
            if (const int v = IndexOf(call->Target); v >= 0) {
                // A plain reference in a written place overwrites the whole
                // variable; an element or a member access reads it first.
                if (call->IsPlainReference() && inTarget)
                    m.MarkWrittenIfUndecided(v);
                else
                    m.MarkRead(v);
            }
        }
        if (!call->Name.isEmpty()) ScanText(call->Name, m);
        if (!call->Suffix.isEmpty()) ScanText(call->Suffix, m);
        if (call->Parameters) ScanNode(call->Parameters, m);
    }

    void ScanNode(const TPascalNode* node, TUsage& m) const {
        for (const TPascalNode* c = node->First(); c; c = c->Next()) {
            if (const TPascalCall* call = PascalAsCall(c)) {
                const auto* holder = PascalAs<TPascalExpression>(node);
                ScanCall(call, holder && holder->Mode == TPascalParamKind::Out, m);
            } else if (const auto* text = PascalAs<TPascalCustomExpressionItem>(c)) {
                ScanText(text->Text, m);
            } else {
                ScanNode(c, m);
            }
        }
    }

    QHash<TVar, int> m_index;
    // The candidates' names view the names of their nodes, which stay while
    // the list simplifies.
    QHash<TPascalNameView, QList<int>> m_byName;
};

// The routine whose local the list's assignments may drop, or nil when the
// list stands inside a try part or outside a routine.
const IPascalRoutine* RoutineOf(const TPascalCommands* list) {
    const TPascalNode* child = list;
    for (const TPascalNode* n = list->ParentNode(); n; child = n, n = n->ParentNode()) {
        if (const auto* t = PascalAs<TPascalTryFinally>(n); t && child == t->TryPart) return nullptr;
        if (const auto* t = PascalAs<TPascalTryExcept>(n); t && child == t->TryPart) return nullptr;
        if (n->NodeKind() == TPascalKind::MethodWithImplementation) {
            const auto* routine = dynamic_cast<const IPascalRoutine*>(n);
            return routine && child == routine->RoutineBody() && !routine->HasNestedRoutines() ? routine : nullptr;
        }
    }
    return nullptr;
}

// The variable that a removable assignment overwrites, or nil.
TVar RemovableTarget(const TPascalNode* s, const IPascalRoutine* routine) {
    const auto* let = PascalAs<TPascalLet>(s);
    if (!let) return nullptr;
    const auto* call = PascalAs<TPascalCallInExpression>(OnlyItem(let->Target));
    if (!call || !call->IsPlainReference()) return nullptr;
    if (!routine->IsOwnLocal(call->Target)) return nullptr;
    return ExpressionCallsNothing(let->Value) ? call->Target : nullptr;
}

template <class TUsage>
void RemoveDead(TPascalCommands* list, const IPascalRoutine* routine, const QList<TVar>& candidates) {
    const TDeadAssignments<TUsage> analysis(candidates);
    TUsage after;  // what the statements after the current one answer
    for (TPascalNode* s = list->Last(); s;) {
        TPascalNode* previous = s->Prev();
        TVar v = RemovableTarget(s, routine);
        if (v && after.Get(analysis.IndexOf(v)) == TPascalUsage::Written)
            s->Free();
        else
            after = TUsage::Sequence(analysis.Statement(s), std::move(after));
        s = previous;
    }
}

void RemoveDeadAssignments(TPascalCommands* list) {
    const IPascalRoutine* routine = nullptr;
    QList<TVar> candidates;
    QSet<TVar> seen;
    for (TPascalNode* s = list->First(); s; s = s->Next()) {
        if (!PascalAs<TPascalLet>(s)) continue;
        if (!routine && !(routine = RoutineOf(list))) return;
        if (TVar v = RemovableTarget(s, routine); v && !seen.contains(v)) {
            seen.insert(v);
            candidates.append(v);
        }
    }
    if (candidates.isEmpty()) return;
    if (candidates.size() <= BitUsageCapacity)
        RemoveDead<TBitUsage>(list, routine, candidates);
    else
        RemoveDead<THashUsage>(list, routine, candidates);
}
}  // namespace

void TPascalCommands::Simplify() {
    TPascalNode::Simplify();
    RemoveDecidedBranches(this);
    RemoveDeadAssignments(this);
}

#include "pascal/generator/psExpressions.h"

#include "core/cuCodeWriters.h"

#include <algorithm>
#include <iterator>
#include <optional>

using namespace Qt::StringLiterals;

T_CLASS_IMPL(TPascalExpression, TPascalNode)
T_CLASS_IMPL(TPascalSetValues, TPascalExpression)
T_CLASS_IMPL_ABSTRACT(TPascalExpressionItem, TPascalCommentedNode)
T_CLASS_IMPL(TPascalCustomExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalStringValueExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalIntegerValueExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalBooleanValueExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalSetValueExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalNotExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL_ABSTRACT(TCustomPascalValueTypeExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalIsTypeExpressionItem, TCustomPascalValueTypeExpressionItem)
T_CLASS_IMPL(TPascalToTypeExpressionItem, TCustomPascalValueTypeExpressionItem)
T_CLASS_IMPL(TPascalItemInSetExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL_ABSTRACT(TCustomPascalTwoSideExpressionItem, TPascalExpressionItem)
T_CLASS_IMPL(TPascalCompareExpressionItem, TCustomPascalTwoSideExpressionItem)
T_CLASS_IMPL(TPascalOperationExpressionItem, TCustomPascalTwoSideExpressionItem)
T_CLASS_IMPL(TPascalCallParameterValue, TPascalCommentedNode)
T_CLASS_IMPL(TPascalCallParameterValues, TPascalNode)
T_CLASS_IMPL_ABSTRACT(TPascalCall, TPascalExpressionItem)
T_CLASS_IMPL(TPascalCallInExpression, TPascalCall)
T_CLASS_IMPL(TPascalIfDef, TPascalFloatingNode)

// ---------------------------------------------------------------------------
// Builders

TPascalBooleanValueExpressionItem* TPascalExpression::AddBoolean(bool value, TNode* before) {
    auto* item = CreateNode<TPascalBooleanValueExpressionItem>(this, before);
    item->Value = value;
    return item;
}

TPascalCallInExpression* TPascalExpression::AddCall(const QString& name, TNode* before) {
    return AddCallEx(name, nullptr, QString(), before);
}

TPascalCallInExpression* TPascalExpression::AddCallTo(TPascalNamedNode* node, TNode* before) {
    return AddCallEx(QString(), node, QString(), before);
}

TPascalCallInExpression* TPascalExpression::AddCallEx(const QString& name, TPascalNamedNode* node,
                                                      const QString& suffix, TNode* before) {
    return CreateCall<TPascalCallInExpression>(this, name, node, suffix, before);
}

TPascalCompareExpressionItem* TPascalExpression::AddCompare(TPascalCompareKind kind, TNode* before) {
    auto* item = CreateNode<TPascalCompareExpressionItem>(this, before);
    item->Kind = kind;
    return item;
}

TPascalCustomExpressionItem* TPascalExpression::AddText(const QString& text, TNode* before) {
    auto* item = CreateNode<TPascalCustomExpressionItem>(this, before);
    item->Text = text;
    return item;
}

TPascalIntegerValueExpressionItem* TPascalExpression::AddInteger(int32_t value, TNode* before) {
    auto* item = CreateNode<TPascalIntegerValueExpressionItem>(this, before);
    item->Value = value;
    return item;
}

TPascalIsTypeExpressionItem* TPascalExpression::AddIsType(TNode* before) {
    return CreateNode<TPascalIsTypeExpressionItem>(this, before);
}

TPascalItemInSetExpressionItem* TPascalExpression::AddItemInSet(TNode* before) {
    return CreateNode<TPascalItemInSetExpressionItem>(this, before);
}

TPascalNotExpressionItem* TPascalExpression::AddNot(TNode* before) {
    return CreateNode<TPascalNotExpressionItem>(this, before);
}

TPascalOperationExpressionItem* TPascalExpression::AddOperation(TPascalOperationKind kind, TNode* before) {
    auto* item = CreateNode<TPascalOperationExpressionItem>(this, before);
    item->Kind = kind;
    return item;
}

TPascalSetValueExpressionItem* TPascalExpression::AddSetValue(TPascalBracketKind bracketKind, TNode* before) {
    auto* item = CreateNode<TPascalSetValueExpressionItem>(this, before);
    item->BracketKind = bracketKind;
    return item;
}

TPascalStringValueExpressionItem* TPascalExpression::AddString(const QString& text, TNode* before) {
    auto* item = CreateNode<TPascalStringValueExpressionItem>(this, before);
    item->Text = text;
    return item;
}

TPascalToTypeExpressionItem* TPascalExpression::AddToType(TNode* before) {
    return CreateNode<TPascalToTypeExpressionItem>(this, before);
}

TPascalExpression* TPascalCallParameterValues::AddValue(TPascalParamKind mode) {
    auto* value = CreateNode<TPascalCallParameterValue>(this);
    value->Value->Mode = mode;
    return value->Value;
}

// ---------------------------------------------------------------------------
// Fixed parts

void TPascalSetValueExpressionItem::Create() {
    Values = CreateNode<TPascalSetValues>(this);
}

void TPascalNotExpressionItem::Create() {
    Operand = CreateNode<TPascalExpression>(this);
}

void TCustomPascalValueTypeExpressionItem::Create() {
    Value = CreateNode<TPascalExpression>(this);
    TypeName = CreateNode<TPascalExpression>(this);
}

void TPascalItemInSetExpressionItem::Create() {
    Item = CreateNode<TPascalExpression>(this);
    SetValue = CreateNode<TPascalExpression>(this);
}

void TCustomPascalTwoSideExpressionItem::Create() {
    Left = CreateNode<TPascalExpression>(this);
    Right = CreateNode<TPascalExpression>(this);
}

TPascalExpression* TCustomPascalTwoSideExpressionItem::AddOperand() {
    return CreateNode<TPascalExpression>(this);
}

void TPascalCallParameterValue::Create() {
    Value = CreateNode<TPascalExpression>(this);
}

TPascalExpression* TPascalCall::AddArgument(TPascalParamKind mode) {
    if (!Parameters) Parameters = CreateNode<TPascalCallParameterValues>(this);
    return Parameters->AddValue(mode);
}

void TPascalIfDef::Create() {
    Condition = CreateNode<TPascalExpression>(this);
    ThenPart = CreateNode<TPascalExpression>(this);
    ElsePart = CreateNode<TPascalExpression>(this);
}

// ---------------------------------------------------------------------------
// Brackets
//
// Pascal binds "not" tightest, then * / div and, then + - or, and the
// relational operators (= <> < > <= >= in is) last. An item is bracketed when
// the operator around it would otherwise take its operands apart:
// - comparisons ("and" and "or" included), "in" and "is" inside a not, a
//   comparison, an operation, an "in" or an "is";
// - an operation inside a not or an "and"/"or"; inside an operation that binds
//   tighter (a + inside a *), or as a later operand of an operation of the
//   same level (A - (B + C), A / (B * C));
// - a not inside "and"/"or", an operation or another not.

namespace {
// How loosely an arithmetic operator binds: "+" and "-" looser than "*", "/"
// and "div".
enum class TBinding : uint8_t { Multiplying, Adding };

TBinding BindingOf(TPascalOperationKind kind) {
    return kind == TPascalOperationKind::Add || kind == TPascalOperationKind::Subtract ? TBinding::Adding
                                                                                       : TBinding::Multiplying;
}
}  // namespace

bool TPascalExpressionItem::NeedsBrackets() const {
    TPascalNode* expression = ParentNode();
    if (!expression) return false;
    TPascalNode* around = FindFloatingAncestor(expression);
    if (!around) return false;
    const TPascalKind a = around->NodeKind();
    const bool inNot = a == TPascalKind::NotItem;
    const auto* inCompare = PascalAs<TPascalCompareExpressionItem>(around);
    const auto* inOperation = PascalAs<TPascalOperationExpressionItem>(around);
    const bool inRelation = a == TPascalKind::IsItem || a == TPascalKind::InItem;
    const bool inAndOr = inCompare && inCompare->IsLogical();

    switch (NodeKind()) {
    case TPascalKind::CompareItem:
    case TPascalKind::IsItem:
    case TPascalKind::InItem:
        return inNot || inCompare || inOperation || inRelation;
    case TPascalKind::OperationItem: {
        if (inNot || inAndOr) return true;
        if (!inOperation) return false;
        const TBinding own = BindingOf(static_cast<const TPascalOperationExpressionItem*>(this)->Kind);
        const TBinding outer = BindingOf(inOperation->Kind);
        if (own == TBinding::Adding && outer == TBinding::Multiplying) return true;
        return own == outer && expression != around->FirstChild();
    }
    case TPascalKind::NotItem:
        return inAndOr || inOperation || inNot;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Writing

namespace {
QString OpeningBracket(TPascalBracketKind kind) {
    return kind == TPascalBracketKind::Square ? u"["_s : u"("_s;
}

QString ClosingBracket(TPascalBracketKind kind) {
    return kind == TPascalBracketKind::Square ? u"]"_s : u")"_s;
}

// `writeInside` between brackets when the item needs them where it stands.
template <class F>
void WriteBracketed(TPascalCodeWriter& writer, const TPascalExpressionItem& item, F&& writeInside) {
    const bool brackets = item.NeedsBrackets();
    if (brackets) writer.Write(u"("_s);
    writeInside();
    if (brackets) writer.Write(u")"_s);
}

// Verbatim text may break at the writer's break points, but never inside a
// string literal: a line break there leaves the literal open.
void WriteVerbatim(TPascalCodeWriter& writer, const QString& text) {
    qsizetype start = 0;
    while (start < text.size()) {
        // Most texts are a short name or number: a plain scan finds the quote
        // sooner than a general search sets itself up.
        const QChar* const begin = text.constData();
        const QChar* const quote = std::find(begin + start, begin + text.size(), QChar(u'\''));
        const qsizetype open = quote == begin + text.size() ? -1 : qsizetype(quote - begin);
        if (open < 0) {
            writer.Write(QStringView(text).sliced(start));
            return;
        }
        writer.Write(QStringView(text).sliced(start, open - start));
        // A doubled quote closes and reopens: the run ends at a quote that
        // the next character does not double.
        qsizetype close = open + 1;
        while (close < text.size() && !(text[close] == u'\'' && (close + 1 >= text.size() || text[close + 1] != u'\'')))
            close += text[close] == u'\'' ? 2 : 1;
        const qsizetype end = std::min(close + 1, text.size());
        // A literal that starts past the line length goes onto a
        // continuation line when the text before it may end a line.
        const QString& line = writer.Lines().isEmpty() ? QString() : writer.Lines().last();
        if (!line.isEmpty() && QStringView(u" (+,-;<=>[").contains(line.back())) writer.WrapIfLong();
        TPascalNoWrap noWrap(writer);
        writer.Write(QStringView(text).sliced(open, end - open));
        start = end;
    }
}
}  // namespace

void WriteIfPresent(TPascalCodeWriter& writer, const QString& lead, TPascalExpression* expression) {
    if (expression->IsEmpty()) return;
    writer.Write(lead);
    expression->Write(writer);
}

void TPascalCustomExpressionItem::Write(TPascalCodeWriter& writer) {
    WriteVerbatim(writer, Text);
    WriteTrailingComment(writer);
}

void TPascalStringValueExpressionItem::Write(TPascalCodeWriter& writer) {
    writer.WriteWrapped(Text, true);
    WriteTrailingComment(writer);
}

void TPascalIntegerValueExpressionItem::Write(TPascalCodeWriter& writer) {
    writer.Write(QString::number(Value));
    WriteTrailingComment(writer);
}

void TPascalBooleanValueExpressionItem::Write(TPascalCodeWriter& writer) {
    writer.Write(Value ? u"True"_s : u"False"_s);
    WriteTrailingComment(writer);
}

void TPascalSetValues::Write(TPascalCodeWriter& writer) {
    if (!OnePerLine) {
        WriteSeparated(writer, First(), u","_s);
        return;
    }
    for (TPascalNode* c = First(); c; c = c->Next()) {
        c->Write(writer);
        if (!c->Next()) break;
        writer.Write(u","_s);
        writer.NewLine();
    }
}

void TPascalSetValueExpressionItem::Write(TPascalCodeWriter& writer) {
    writer.Write(OpeningBracket(BracketKind));
    if (MultiLine) {
        WriteTrailingComment(writer);
        writer.NewLine();
        writer.Indent();
    }
    Values->Write(writer);
    if (MultiLine) writer.Unindent();
    if (NewLineBeforeClose) writer.NewLine();
    writer.Write(ClosingBracket(BracketKind));
    if (!MultiLine) WriteTrailingComment(writer);
}

void TPascalNotExpressionItem::Write(TPascalCodeWriter& writer) {
    WriteBracketed(writer, *this, [&] {
        writer.Write(u"not "_s);
        Operand->Write(writer);
    });
    WriteTrailingComment(writer);
}

void TPascalExpressionItem::WriteRelation(TPascalCodeWriter& writer, TPascalExpression* left, const QString& op,
                                          TPascalExpression* right) const {
    WriteBracketed(writer, *this, [&] {
        left->Write(writer);
        writer.Write(op);
        writer.WrapIfLong();
        right->Write(writer);
    });
    WriteTrailingComment(writer);
}

void TPascalIsTypeExpressionItem::Write(TPascalCodeWriter& writer) {
    WriteRelation(writer, Value, u" is "_s, TypeName);
}

void TPascalToTypeExpressionItem::Write(TPascalCodeWriter& writer) {
    TypeName->Write(writer);
    writer.Write(u"("_s);
    writer.WrapIfLong();
    Value->Write(writer);
    writer.Write(u")"_s);
    WriteTrailingComment(writer);
}

void TPascalItemInSetExpressionItem::Write(TPascalCodeWriter& writer) {
    WriteRelation(writer, Item, u" in "_s, SetValue);
}

void TCustomPascalTwoSideExpressionItem::Write(TPascalCodeWriter& writer) {
    WriteBracketed(writer, *this, [&] {
        const QString& op = OperatorText();
        for (TPascalNode* operand = First(); operand; operand = operand->Next()) {
            if (operand != First()) {
                writer.Write(op);
                writer.WrapIfLong();
            }
            operand->Write(writer);
        }
    });
    WriteTrailingComment(writer);
}

const QString& TPascalCompareExpressionItem::OperatorText() const {
    static const QString texts[] = {u" = "_s,  u" <> "_s,  u" > "_s,  u" >= "_s,
                                    u" < "_s,  u" <= "_s,  u" and "_s, u" or "_s};
    static_assert(std::size(texts) == size_t(TPascalCompareKind::Or) + 1);
    return texts[size_t(Kind)];
}

const QString& TPascalOperationExpressionItem::OperatorText() const {
    static const QString texts[] = {u" + "_s, u" - "_s, u" * "_s, u" / "_s, u" div "_s};
    static_assert(std::size(texts) == size_t(TPascalOperationKind::Div) + 1);
    return texts[size_t(Kind)];
}

void TPascalCallParameterValue::Write(TPascalCodeWriter& writer) {
    Value->Write(writer);
    WriteTrailingComment(writer);
}

void TPascalCall::WriteCall(TPascalCodeWriter& writer) {
    writer.Write(Name);
    if (Target) writer.Write(Target->Name);
    writer.Write(Suffix);
    if (!HasArguments()) return;
    writer.Write(OpeningBracket(BracketKind));
    writer.WrapIfLong();
    WriteSeparated(writer, Parameters->First(), u","_s);
    writer.Write(ClosingBracket(BracketKind));
}

void TPascalCall::Write(TPascalCodeWriter& writer) {
    WriteCall(writer);
    WriteTrailingComment(writer);
}

void TPascalIfDef::Write(TPascalCodeWriter& writer) {
    if (NewLineBefore) writer.NewLine();
    if (IndentAround) writer.Indent();
    {
        TPascalNoWrap noWrap(writer);
        writer.Write(u"{$IFDEF "_s);
        Condition->Write(writer);
        writer.Write(u"}"_s);
    }
    auto part = [&](TPascalExpression* p) {
        if (NewLineAfterDirectives) writer.NewLine();
        if (IndentParts) writer.Indent();
        p->Write(writer);
        if (IndentParts) writer.Unindent();
        if (NewLineAfterDirectives) writer.NewLine();
    };
    part(ThenPart);
    if (!ElsePart->IsEmpty()) {
        writer.Write(u"{$ELSE}"_s);
        part(ElsePart);
    }
    writer.Write(u"{$ENDIF}"_s);
    if (IndentAround) writer.Unindent();
    if (NewLineAtEnd) writer.NewLine();
}

// ---------------------------------------------------------------------------
// Simplification

namespace {
template <class T>
T* OnlyOf(const TPascalExpression* e) {
    return PascalAs<T>(OnlyItem(e));
}

// Replaces `item` in `owner` by the items of `source`.
void ReplaceByItems(TPascalExpression* owner, TPascalNode* item, TPascalExpression* source) {
    MoveChildren(source, owner, item);
    item->Free();
}

// The comparison that holds exactly when `kind` does not ("and" and "or"
// have none).
std::optional<TPascalCompareKind> Inverted(TPascalCompareKind kind) {
    switch (kind) {
    case TPascalCompareKind::Equal:
        return TPascalCompareKind::Different;
    case TPascalCompareKind::Different:
        return TPascalCompareKind::Equal;
    case TPascalCompareKind::More:
        return TPascalCompareKind::LessOrEqual;
    case TPascalCompareKind::MoreOrEqual:
        return TPascalCompareKind::Less;
    case TPascalCompareKind::Less:
        return TPascalCompareKind::MoreOrEqual;
    case TPascalCompareKind::LessOrEqual:
        return TPascalCompareKind::More;
    default:
        return std::nullopt;
    }
}

// 3. A comparison with a Boolean literal on the right. "X and False" and
// "X or True" lose X only when evaluating X has no effect.
void SimplifyLiteralComparison(TPascalExpression* e) {
    if (auto* compare = OnlyOf<TPascalCompareExpressionItem>(e); compare && compare->OperandCount() == 2)
        if (auto* literal = OnlyOf<TPascalBooleanValueExpressionItem>(compare->Right)) {
            const bool v = literal->Value;
            enum { Keep, AsIs, Negated, Constant } action = Keep;
            switch (compare->Kind) {
            case TPascalCompareKind::Equal:
                action = v ? AsIs : Negated;
                break;
            case TPascalCompareKind::Different:
                action = v ? Negated : AsIs;
                break;
            case TPascalCompareKind::And:
                action = v ? AsIs : (ExpressionCallsNothing(compare->Left) ? Constant : Keep);
                break;
            case TPascalCompareKind::Or:
                action = v ? (ExpressionCallsNothing(compare->Left) ? Constant : Keep) : AsIs;
                break;
            default:
                break;
            }
            if (action == AsIs) {
                ReplaceByItems(e, compare, compare->Left);
            } else if (action == Negated) {
                auto* n = e->AddNot(compare);
                MoveItems(compare->Left, n->Operand);
                compare->Free();
            } else if (action == Constant) {
                e->AddBoolean(v, compare);
                compare->Free();
            }
        }
}
}  // namespace

void TPascalExpression::Simplify() {
    if (!FirstChild()) return;
    TPascalNode::Simplify();
    // 1. not not X becomes X.
    if (auto* outer = OnlyOf<TPascalNotExpressionItem>(this))
        if (auto* inner = OnlyOf<TPascalNotExpressionItem>(outer->Operand))
            ReplaceByItems(this, outer, inner->Operand);
    // 2. not (A op B) becomes the inverted comparison.
    if (auto* n = OnlyOf<TPascalNotExpressionItem>(this))
        if (auto* compare = OnlyOf<TPascalCompareExpressionItem>(n->Operand))
            if (const std::optional<TPascalCompareKind> inverse = Inverted(compare->Kind)) {
                compare->Kind = *inverse;
                ReplaceByItems(this, n, n->Operand);
            }
    SimplifyLiteralComparison(this);
    // 4. not True / not False.
    if (auto* n = OnlyOf<TPascalNotExpressionItem>(this))
        if (auto* literal = OnlyOf<TPascalBooleanValueExpressionItem>(n->Operand)) {
            literal->Value = !literal->Value;
            ReplaceByItems(this, n, n->Operand);
        }
}

// ---------------------------------------------------------------------------
// Queries

bool SameExpression(const TPascalExpression* a, const TPascalExpression* b) {
    if (a->IsEmpty() && b->IsEmpty()) return true;
    TPascalNode* x = OnlyItem(a);
    TPascalNode* y = OnlyItem(b);
    if (!x || !y) return false;
    if (auto* tx = PascalAs<TPascalCustomExpressionItem>(x)) {
        auto* ty = PascalAs<TPascalCustomExpressionItem>(y);
        return ty && tx->Text == ty->Text;
    }
    auto* cx = PascalAs<TPascalCallInExpression>(x);
    auto* cy = PascalAs<TPascalCallInExpression>(y);
    return cx && cy && cx->SameCallee(*cy) && !cx->HasArguments() && !cy->HasArguments();
}

namespace {
TPascalUsage FindUsageIn(const TPascalNode* node, const QString& name, const TPascalNamedNode* target,
                         const QString& suffix) {
    for (TPascalNode* c = node->First(); c; c = c->Next()) {
        if (TPascalCall* call = PascalAsCall(c);
            call && call->Target == target && call->Name == name && call->Suffix == suffix) {
            auto* holder = PascalAs<TPascalExpression>(node);
            return holder && holder->Mode == TPascalParamKind::Out ? TPascalUsage::Written : TPascalUsage::Read;
        }
        if (TPascalUsage found = FindUsageIn(c, name, target, suffix); found != TPascalUsage::None) return found;
    }
    return TPascalUsage::None;
}

bool IsPlainLiteralText(const QString& text) {
    if (text.isEmpty()) return false;
    if (text == u"nil"_s || text == u"True"_s || text == u"False"_s) return true;
    if (text.size() >= 2 && text.front() == u'\'' && text.back() == u'\'') return true;
    int i = text.front() == u'-' ? 1 : 0;
    if (i >= text.size()) return false;
    for (; i < text.size(); ++i)
        if (!text[i].isDigit()) return false;
    return true;
}
}  // namespace

TPascalUsage FindUsage(const TPascalExpression* expression, const QString& name, const TPascalNamedNode* target,
              const QString& suffix) {
    return FindUsageIn(expression, name, target, suffix);
}

bool ExpressionCallsNothing(const TPascalExpression* expression) {
    for (TPascalNode* item = expression->First(); item; item = item->Next()) {
        switch (item->NodeKind()) {
        case TPascalKind::StringItem:
        case TPascalKind::IntegerItem:
        case TPascalKind::BooleanItem:
            break;
        case TPascalKind::CustomItem:
            if (!IsPlainLiteralText(static_cast<TPascalCustomExpressionItem*>(item)->Text)) return false;
            break;
        case TPascalKind::OperationItem:
            // A division may raise.
            if (const TPascalOperationKind kind = static_cast<TPascalOperationExpressionItem*>(item)->Kind;
                kind == TPascalOperationKind::Divide || kind == TPascalOperationKind::Div)
                return false;
            [[fallthrough]];
        case TPascalKind::CompareItem:
        case TPascalKind::NotItem:
        case TPascalKind::IsItem:
        case TPascalKind::ToTypeItem:
        case TPascalKind::InItem:
            for (TPascalNode* part = item->First(); part; part = part->Next())
                if (!ExpressionCallsNothing(static_cast<TPascalExpression*>(part))) return false;
            break;
        case TPascalKind::SetItem:
            if (!ExpressionCallsNothing(static_cast<TPascalSetValueExpressionItem*>(item)->Values)) return false;
            break;
        case TPascalKind::CallInExpression: {
            auto* call = static_cast<TPascalCallInExpression*>(item);
            if (!call->IsPlainReference()) return false;
            switch (call->Target->NodeKind()) {
            case TPascalKind::Variable:
            case TPascalKind::ResultVariable:
            case TPascalKind::Constant:
            case TPascalKind::MethodParameter:
            case TPascalKind::EnumItem:
                break;
            default:
                return false;
            }
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

#include "pascal/generator/psGeneral.h"

#include "core/cuCodeWriters.h"

#include <QHash>

#include <iterator>

using namespace Qt::StringLiterals;

namespace {
// The name, then either the comment and "," when the declaration is joined
// with the next one (which states the type), or ": type" and " = value"
// where present. Answers whether it was joined.
bool WriteJoinableDeclaration(TPascalCodeWriter& writer, const TPascalNamedNode& node, bool joined,
                              TPascalExpression* type, TPascalExpression* value) {
    writer.Write(node.Name);
    if (joined) {
        node.WriteTrailingComment(writer);
        WriteSeparator(writer, u","_s);
        return true;
    }
    WriteIfPresent(writer, u": "_s, type);
    WriteIfPresent(writer, u" = "_s, value);
    return false;
}
}  // namespace

T_CLASS_IMPL(TPascalConstant, TPascalConstEntry)
T_CLASS_IMPL(TPascalVariable, TPascalVarEntry)
T_CLASS_IMPL(TPascalMethodResultVariable, TPascalVariable)
T_CLASS_IMPL(TPascalMethodParameter, TPascalNamedNode)
T_CLASS_IMPL(TPascalMethodParameters, TPascalNode)
T_CLASS_IMPL(TPascalMethodHead, TPascalNode)
T_CLASS_IMPL(TPascalMethodDeclaration, TPascalMethodEntry)
T_CLASS_IMPL(TPascalMethodWithImplementation, TPascalMethodEntry)

// ---------------------------------------------------------------------------
// Constants and variables

void TPascalConstant::Create() {
    TypeName = CreateNode<TPascalExpression>(this);
    Value = CreateNode<TPascalExpression>(this);
}

void TPascalConstant::Write(TPascalCodeWriter& writer) {
    writer.Write(Name);
    WriteIfPresent(writer, u": "_s, TypeName);
    writer.Write(u" = "_s);
    writer.WrapIfLong();
    Value->Write(writer);
    WriteDeclarationEnd(writer);
}

void TPascalVariable::Create() {
    TypeName = CreateNode<TPascalExpression>(this);
    Value = CreateNode<TPascalExpression>(this);
}

void TPascalVariable::Write(TPascalCodeWriter& writer) {
    if (!WriteJoinableDeclaration(writer, *this, JoinedWithNext, TypeName, Value)) WriteDeclarationEnd(writer);
}

// ---------------------------------------------------------------------------
// Parameters and heads

void TPascalMethodParameter::Create() {
    TypeName = CreateNode<TPascalExpression>(this);
    DefaultValue = CreateNode<TPascalExpression>(this);
}

bool TPascalMethodParameter::JoinsWithNext() const {
    if (!DefaultValue->IsEmpty()) return false;
    const auto* next = PascalAs<TPascalMethodParameter>(NextSibling());
    return next && next->Kind == Kind && next->DefaultValue->IsEmpty() && SameExpression(TypeName, next->TypeName);
}

void TPascalMethodParameter::Write(TPascalCodeWriter& writer) {
    const auto* previous = PascalAs<TPascalMethodParameter>(PrevSibling());
    if (!previous || !previous->JoinsWithNext()) {
        static const QString words[] = {QString(), u"const "_s, u"var "_s, u"out "_s};
        static_assert(std::size(words) == size_t(TPascalParamKind::Out) + 1);
        writer.Write(words[size_t(Kind)]);
    }
    if (WriteJoinableDeclaration(writer, *this, JoinsWithNext(), TypeName, DefaultValue)) return;
    WriteTrailingComment(writer);
    if (PascalAs<TPascalMethodParameter>(NextSibling())) WriteSeparator(writer, u";"_s);
}

TPascalMethodParameter* TPascalMethodParameters::AddParameter(TPascalParamKind kind, const QString& name,
                                                              const QString& typeText) {
    auto* p = CreateNamedNode<TPascalMethodParameter>(this, name);
    p->Kind = kind;
    if (!typeText.isEmpty()) p->TypeName->AddText(typeText);
    return p;
}

void TPascalMethodHead::Create() {
    Parameters = CreateNode<TPascalMethodParameters>(this);
    ResultType = CreateNode<TPascalExpression>(this);
}

void TPascalMethodHead::WriteHead(TPascalCodeWriter& writer, const QString& className, const QString& name,
                                  TPascalDirectives directives, bool ofObject) const {
    static const QString kinds[] = {u"procedure"_s,       u"function"_s,    u"class procedure"_s,
                                    u"class function"_s,  u"constructor"_s, u"destructor"_s};
    static const QString words[PascalDirectiveCount] = {
        u"inline"_s,   u"overload"_s, u"dynamic"_s,  u"virtual"_s,  u"abstract"_s,  u"override"_s,
        u"reintroduce"_s, u"forward"_s, u"deprecated"_s, u"platform"_s, u"local"_s, u"register"_s,
        u"pascal"_s,   u"cdecl"_s,    u"stdcall"_s,  u"safecall"_s, u"fastcall"_s,  u"assembler"_s,
        u"export"_s,   u"near"_s,     u"far"_s,      u"static"_s};
    static_assert(std::size(kinds) == size_t(TPascalMethodKind::Destructor) + 1);
    writer.Write(kinds[size_t(Kind)]);
    if (!className.isEmpty())
        writer.Write(u" "_s + className + u"."_s + name);
    else if (!name.isEmpty())
        writer.Write(u" "_s + name);
    if (Parameters->HasChildren()) {
        writer.Write(u"("_s);
        writer.WrapIfLong();
        Parameters->Write(writer);
        writer.Write(u")"_s);
    }
    if (IsFunction()) {
        writer.Write(u": "_s);
        ResultType->Write(writer);
    }
    if (ofObject) {
        writer.Write(u" "_s);
        writer.WrapIfLong();
        writer.Write(u"of object"_s);
    }
    for (int bit = 0; bit < PascalDirectiveCount; ++bit)
        if (directives & PascalDirective(TPascalDirective(bit))) writer.Write(u"; "_s + words[bit]);
}

// ---------------------------------------------------------------------------
// Routines

void TPascalMethodDeclaration::Create() {
    Head = CreateNode<TPascalMethodHead>(this);
}

void TPascalMethodDeclaration::Write(TPascalCodeWriter& writer) {
    if (!Comment.isEmpty()) WriteCommentLine(writer, Comment);
    Head->WriteHead(writer, QString(), Name, Head->Directives);
    writer.WriteLn(u";"_s);
}

void TPascalMethodWithImplementation::Create() {
    Head = CreateNode<TPascalMethodHead>(this);
    LocalDeclarations = CreateNode<TPascalDeclarations>(this);
    LocalDeclarations->HeaderKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var};
    LocalDeclarations->IndentKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var,
                                      TPascalEntryKind::Other};
    LocalDeclarations->SpacedKinds = {};
    ResultVariable = CreateNode<TPascalMethodResultVariable>(this);
    ResultVariable->Name = u"Result"_s;
    Body = CreateNode<TPascalCommands>(this);
}

void TPascalMethodWithImplementation::Write(TPascalCodeWriter& writer) {
    writer.EnsureEmptyLine();
    // A routine declared elsewhere repeats at most its calling convention;
    // a routine without a declaration never carries the directives that
    // only a declaration may have.
    const bool declaredElsewhere = Declaration || !ClassName.isEmpty();
    const TPascalDirectives directives =
        Head->Directives & (declaredElsewhere ? PascalCallingConventions : ~PascalDeclarationOnlyDirectives);
    Head->WriteHead(writer, ClassName, HeadName(), directives);
    writer.WriteLn(u";"_s);
    LocalDeclarations->Write(writer);
    writer.WriteLn(u"begin"_s);
    writer.Indent();
    if (!Comment.isEmpty()) WriteCommentLine(writer, Comment);
    Body->Write(writer);
    writer.Unindent();
    writer.WriteLn(u"end;"_s);
    writer.NewLine();
}

bool TPascalMethodWithImplementation::HasNestedRoutines() const {
    for (TPascalNode* c = LocalDeclarations->First(); c; c = c->Next())
        if (c->NodeKind() == TPascalKind::MethodWithImplementation) return true;
    return false;
}

bool TPascalMethodWithImplementation::IsOwnLocal(const TPascalNamedNode* node) const {
    if (node != ResultVariable && (node->Parent() != LocalDeclarations || node->NodeKind() != TPascalKind::Variable))
        return false;
    return m_addressTaken.isEmpty() || !m_addressTaken.contains({node->Name});
}

namespace {
// Whether a text holds "@" or "addr" in any case: one pass over it, as
// nearly every text of a routine holds neither.
bool MayTakeAddress(QStringView text) noexcept {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = text[i].unicode();
        if (ch == u'@') return true;
        if ((ch | 0x20) == u'a' && i + 4 <= n && PascalSameName(text.sliced(i, 4), u"addr")) return true;
    }
    return false;
}

// The identifiers of a text that follow "@" or open the argument of "Addr(".
void AddressesInText(const QString& text, QSet<TPascalName>& names) {
    if (!MayTakeAddress(text)) return;
    const qsizetype n = text.size();
    auto skipSpaces = [&](qsizetype i) {
        while (i < n && text[i] == u' ') ++i;
        return i;
    };
    auto identifierAt = [&](qsizetype i) {
        i = skipSpaces(i);
        const qsizetype j = PascalIdentifierEnd(text, i);
        if (j > i) names.insert({text.mid(i, j - i)});
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'@') {
            identifierAt(i + 1);
        } else if (IsPascalIdentifierChar(text[i], true) && (i == 0 || !IsPascalIdentifierChar(text[i - 1], false))) {
            const qsizetype j = PascalIdentifierEnd(text, i);
            const qsizetype k = skipSpaces(j);
            if (k < n && text[k] == u'(' && PascalSameName(QStringView(text).sliced(i, j - i), u"addr"))
                identifierAt(k + 1);
            i = j - 1;
        }
    }
}

void AddressesIn(const TPascalNode* node, QSet<TPascalName>& names) {
    for (TPascalNode* c = node->First(); c; c = c->Next()) {
        if (const auto* text = PascalAs<TPascalCustomExpressionItem>(c)) {
            AddressesInText(text->Text, names);
        } else if (const auto* command = PascalAs<TPascalCustomCommand>(c)) {
            AddressesInText(command->Text, names);
        } else if (const TPascalCall* call = PascalAsCall(c)) {
            const QStringView name = QStringView(call->Name).trimmed();
            if (call->Target && name.endsWith(u'@')) names.insert({call->Target->Name});
            if (PascalSameName(name, u"addr") && call->Parameters)
                for (TPascalNode* value = call->Parameters->First(); value; value = value->Next())
                    if (auto* arg = PascalAs<TPascalCallInExpression>(
                            OnlyItem(static_cast<TPascalCallParameterValue*>(value)->Value));
                        arg && arg->Target)
                        names.insert({arg->Target->Name});
            AddressesInText(call->Name, names);
            AddressesInText(call->Suffix, names);
        }
        AddressesIn(c, names);
    }
}
}  // namespace

namespace {
// A key equal for two type expressions exactly when SameExpression holds;
// empty when the expression cannot equal any other.
QString TypeKey(const TPascalExpression* type) {
    if (type->IsEmpty()) return u"E"_s;
    TPascalNode* only = OnlyItem(type);
    if (const auto* text = PascalAs<TPascalCustomExpressionItem>(only)) return u"T"_s + text->Text;
    if (const auto* call = PascalAs<TPascalCallInExpression>(only); call && !call->HasArguments())
        return u"C"_s + call->Name + QChar(1) + QString::number(quintptr(call->Target), 16) + QChar(1) + call->Suffix;
    return QString();
}
}  // namespace

void TPascalMethodWithImplementation::Simplify() {
    if (m_simplified) return;
    m_simplified = true;
    AddressesIn(Body, m_addressTaken);
    TPascalNode::Simplify();
    m_addressTaken.clear();
    // A single declaration joins nothing.
    if (LocalDeclarations->First() == LocalDeclarations->Last()) return;
    // The last joinable variable of each type in the current run of
    // variables: the one a later variable of that type joins.
    QHash<QString, TPascalVariable*> lastOfType;
    for (TPascalNode* c = LocalDeclarations->First(); c;) {
        TPascalNode* next = c->Next();
        auto* v = PascalAs<TPascalVariable>(c);
        if (!v) {
            lastOfType.clear();
        } else if (v->Comment.isEmpty() && v->Value->IsEmpty()) {
            const QString key = TypeKey(v->TypeName);
            if (!key.isEmpty()) {
                if (TPascalVariable* w = lastOfType.value(key)) {
                    w->JoinedWithNext = true;
                    if (w->Next() != v) v->SetParentBefore(LocalDeclarations, w->Next());
                }
                lastOfType.insert(key, v);
            }
        }
        c = next;
    }
}

// ---------------------------------------------------------------------------
// Builders

TPascalConstant* AddConstant(TPascalDeclarations* list, const QString& name, const QString& valueText,
                             TNode* before) {
    auto* c = CreateNamedNode<TPascalConstant>(list, name, before);
    if (!valueText.isEmpty()) c->Value->AddText(valueText);
    return c;
}

TPascalVariable* AddVariable(TPascalDeclarations* list, const QString& name, const QString& typeText,
                             bool provisional, TNode* before) {
    auto* v = CreateNamedNode<TPascalVariable>(list, name, before);
    v->Provisional = provisional;
    if (!typeText.isEmpty()) v->TypeName->AddText(typeText);
    return v;
}

TPascalMethodDeclaration* AddMethodDeclaration(TPascalDeclarations* list, TPascalMethodKind kind, const QString& name,
                                               const QString& resultType, TNode* before) {
    auto* m = CreateNamedNode<TPascalMethodDeclaration>(list, name, before);
    m->Head->Kind = kind;
    if (!resultType.isEmpty()) m->Head->ResultType->AddText(resultType);
    return m;
}

TPascalMethodWithImplementation* AddMethodImplementation(TPascalDeclarations* list, TPascalMethodKind kind,
                                                         const QString& name, const QString& resultType,
                                                         const QString& className, TNode* before) {
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(list, name, before);
    m->ClassName = className;
    m->Head->Kind = kind;
    if (!resultType.isEmpty()) {
        m->Head->ResultType->AddText(resultType);
        m->ResultVariable->TypeName->AddText(resultType);
    }
    return m;
}

void CopySimpleExpression(const TPascalExpression* from, TPascalExpression* to) {
    for (TPascalNode* item = from->First(); item; item = item->Next()) {
        if (const auto* text = PascalAs<TPascalCustomExpressionItem>(item))
            to->AddText(text->Text);
        else if (const auto* call = PascalAs<TPascalCallInExpression>(item))
            to->AddCallEx(call->Name, call->Target, call->Suffix);
        else if (const auto* number = PascalAs<TPascalIntegerValueExpressionItem>(item))
            to->AddInteger(number->Value);
        else if (const auto* flag = PascalAs<TPascalBooleanValueExpressionItem>(item))
            to->AddBoolean(flag->Value);
        else if (const auto* string = PascalAs<TPascalStringValueExpressionItem>(item))
            to->AddString(string->Text);
    }
}

TPascalMethodWithImplementation* ImplementDeclaration(TPascalDeclarations* list, TPascalMethodDeclaration* declaration,
                                                      const QString& className, TNode* before) {
    TPascalMethodHead* from = declaration->Head;
    auto* m = AddMethodImplementation(list, from->Kind, declaration->Name, QString(), className, before);
    m->Declaration = declaration;
    m->Head->Directives = from->Directives;
    CopySimpleExpression(from->ResultType, m->Head->ResultType);
    CopySimpleExpression(from->ResultType, m->ResultVariable->TypeName);
    for (TPascalNode* c = from->Parameters->First(); c; c = c->Next()) {
        const auto* p = static_cast<const TPascalMethodParameter*>(c);
        TPascalMethodParameter* copy = m->Head->AddParameter(p->Kind, p->Name);
        CopySimpleExpression(p->TypeName, copy->TypeName);
        CopySimpleExpression(p->DefaultValue, copy->DefaultValue);
    }
    return m;
}

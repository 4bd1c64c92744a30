#include "pascal/generator/psClasses.h"

#include "core/cuCodeWriters.h"

using namespace Qt::StringLiterals;

T_CLASS_IMPL(TPascalNode, TNode)
T_CLASS_IMPL(TPascalFloatingNode, TPascalNode)
T_CLASS_IMPL(TPascalCommentedNode, TPascalFloatingNode)
T_CLASS_IMPL(TPascalNamedNode, TPascalCommentedNode)
T_CLASS_IMPL(TPascalComment, TPascalFloatingNode)
T_CLASS_IMPL_ABSTRACT(TPascalConstEntry, TPascalNamedNode)
T_CLASS_IMPL_ABSTRACT(TPascalVarEntry, TPascalNamedNode)
T_CLASS_IMPL_ABSTRACT(TPascalTypeEntry, TPascalNamedNode)
T_CLASS_IMPL_ABSTRACT(TPascalMethodEntry, TPascalNamedNode)
T_CLASS_IMPL_ABSTRACT(TPascalClassPropertyEntry, TPascalNamedNode)
T_CLASS_IMPL(TPascalDeclarations, TPascalNode)

TPascalNode::~TPascalNode() = default;

void TPascalNode::Simplify() {
    // A child may replace itself while simplified; take the next one first.
    for (TPascalNode* c = First(); c;) {
        TPascalNode* next = c->Next();
        c->Simplify();
        c = next;
    }
}

void TPascalNode::Write(TPascalCodeWriter& writer) {
    if (First() && First()->IsFloating()) WriteChildren(writer);
}

void TPascalNode::WriteChildren(TPascalCodeWriter& writer) {
    for (TPascalNode* c = First(); c; c = c->Next()) c->Write(writer);
}

void TPascalCommentedNode::WriteTrailingComment(TPascalCodeWriter& writer) const {
    if (Comment.isEmpty()) return;
    writer.Write(u" "_s);
    PascalWriteComment(writer, Comment);
}

bool TPascalNamedNode::IsNamedKind(TPascalKind kind) noexcept {
    switch (kind) {
    case TPascalKind::Named:
    case TPascalKind::Constant:
    case TPascalKind::Variable:
    case TPascalKind::ResultVariable:
    case TPascalKind::MethodParameter:
    case TPascalKind::MethodDeclaration:
    case TPascalKind::MethodWithImplementation:
    case TPascalKind::EnumItem:
    case TPascalKind::Enum:
    case TPascalKind::SetOf:
    case TPascalKind::RecordField:
    case TPascalKind::Record:
    case TPascalKind::Array:
    case TPascalKind::Pointer:
    case TPascalKind::TypeAlias:
    case TPascalKind::MethodType:
    case TPascalKind::InterfacePredeclaration:
    case TPascalKind::ClassPredeclaration:
    case TPascalKind::ClassOf:
    case TPascalKind::ClassProperty:
    case TPascalKind::Class:
    case TPascalKind::UsedUnit:
    case TPascalKind::Module:
    case TPascalKind::Unit:
        return true;
    default:
        return false;
    }
}

void TPascalComment::Write(TPascalCodeWriter& writer) {
    PascalWriteComment(writer, Text);
    writer.NewLine();
}

namespace {
int EntryKindOf(TPascalKind kind) {
    switch (kind) {
    case TPascalKind::Constant:
        return 1;
    case TPascalKind::Enum:
    case TPascalKind::SetOf:
    case TPascalKind::Record:
    case TPascalKind::Array:
    case TPascalKind::Pointer:
    case TPascalKind::TypeAlias:
    case TPascalKind::MethodType:
    case TPascalKind::InterfacePredeclaration:
    case TPascalKind::ClassPredeclaration:
    case TPascalKind::ClassOf:
    case TPascalKind::Class:
        return 2;
    case TPascalKind::Variable:
    case TPascalKind::ResultVariable:
        return 3;
    default:
        return 4;
    }
}
}  // namespace

int GetEntryKind(const TNode* node) {
    if (!node) return 0;
    if (const auto* comment = PascalAs<TPascalComment>(node)) {
        switch (comment->Attachment) {
        case TPascalComment::ToPrevious:
            return node->PrevSibling() ? GetEntryKind(node->PrevSibling()) : 0;
        case TPascalComment::ToNext:
            return node->NextSibling() ? GetEntryKind(node->NextSibling()) : 0;
        default:
            return 0;
        }
    }
    return EntryKindOf(PascalKindOf(node));
}

TPascalNamedNode* TPascalDeclarations::FindNamed(const QString& name) const {
    for (TPascalNode* c = First(); c; c = c->Next())
        if (TPascalNamedNode* named = PascalAsNamed(c); named && named->Name == name) return named;
    return nullptr;
}

TPascalNode* TPascalDeclarations::FieldInsertPoint() const {
    for (TPascalNode* c = First(); c; c = c->Next()) {
        if (GetEntryKind(c) != 4) continue;
        // A comment attached to the routine goes with it.
        TPascalNode* at = c;
        while (at->Prev() && PascalAs<TPascalComment>(at->Prev()) &&
               static_cast<TPascalComment*>(at->Prev())->Attachment == TPascalComment::ToNext)
            at = at->Prev();
        return at;
    }
    return nullptr;
}

void TPascalDeclarations::ChangeSection(TPascalCodeWriter& writer, int from, int to, bool needVarHeader) {
    if (from == to) return;
    if (InKinds(IndentKinds, from)) writer.Unindent();
    if (SeparateSections && from != 0 && to != 0) writer.EnsureEmptyLine();
    if (InKinds(HeaderKinds, to) || (to == 3 && needVarHeader)) {
        static const QString headers[] = {u""_s, u"const"_s, u"type"_s, u"var"_s};
        if (to >= 1 && to <= 3) writer.WriteLn(headers[to]);
    }
    if (InKinds(IndentKinds, to)) writer.Indent();
}

void TPascalDeclarations::Write(TPascalCodeWriter& writer) {
    int previous = 0;
    bool otherSeen = false;  // a constant, type, routine or property came before
    for (TPascalNode* c = First(); c; c = c->Next()) {
        const int kind = GetEntryKind(c);
        if (kind == previous && InKinds(SpacedKinds, kind)) writer.EnsureEmptyLine();
        ChangeSection(writer, previous, kind, FieldSection && otherSeen);
        c->Write(writer);
        if (kind == 1 || kind == 2 || kind == 4) otherSeen = true;
        previous = kind;
    }
    ChangeSection(writer, previous, 0, false);
}

TPascalNode* CreateNode(TPascalNode* owner, const TClass* nodeClass, TNode* before) {
    if (!nodeClass || !nodeClass->InheritsFrom(TPascalNode::StaticClass()))
        throw Exception(u"Not a class of the Pascal code model"_s);
    TNodePtr<TPascalNode> node(static_cast<TPascalNode*>(nodeClass->NewInstance()));
    node->Create();
    if (owner) node->SetParentBefore(owner, before);
    return node.release();
}

TPascalComment* AddComment(TPascalNode* owner, const QString& text, TNode* before) {
    TPascalComment* comment = CreateNode<TPascalComment>(owner, before);
    comment->Text = text;
    return comment;
}

TPascalNode* FindFloatingAncestor(TNode* node) {
    for (auto* n = static_cast<TPascalNode*>(node); n; n = n->ParentNode())
        if (n->IsFloating()) return n;
    return nullptr;
}

void WriteSeparator(TPascalCodeWriter& writer, const QString& mark) {
    writer.Write(mark);
    if (!writer.WrapIfLong()) writer.Write(u" "_s);
}

void PascalWriteComment(TPascalCodeWriter& writer, const QString& text) {
    writer.WriteComment(text);
}

TPascalNoWrap::TPascalNoWrap(TPascalCodeWriter& writer) : m_writer(writer), m_old(writer.WrapLines()) {
    writer.SetWrapLines(false);
}

TPascalNoWrap::~TPascalNoWrap() {
    m_writer.SetWrapLines(m_old);
}

QString PascalWriterText(const TPascalCodeWriter& writer) {
    return writer.Text();
}

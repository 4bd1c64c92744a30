#include "pascal/generator/psClasses.h"

#include "core/cuCodeWriters.h"

#include <algorithm>

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

// ---------------------------------------------------------------------------
// The arena

#ifdef QUILLANE_GENERAL_ALLOCATOR

TPascalNodeArena::~TPascalNodeArena() {
    Q_ASSERT(m_live == 0);  // a node outlived its root
}

void* TPascalNodeArena::Allocate(size_t size) {
    void* node = ::operator new(size);
    ++m_live;
    return node;
}

void TPascalNodeArena::Release(void* node) noexcept {
    --m_live;
    ::operator delete(node);
}

#else

TPascalNodeArena::~TPascalNodeArena() {
    for (void* block : m_blocks) ::operator delete(block);
}

void* TPascalNodeArena::Allocate(size_t size) {
    size = (size + kAlignment - 1) & ~(kAlignment - 1);
    if (size > m_left) {
        const size_t bytes = std::max(size, kBlockBytes);
        m_blocks.reserve(m_blocks.size() + 1);
        m_next = static_cast<char*>(::operator new(bytes));
        m_blocks.push_back(m_next);
        m_left = bytes;
    }
    void* node = m_next;
    m_next += size;
    m_left -= size;
    return node;
}

#endif

// ---------------------------------------------------------------------------
// Nodes

TPascalNode::~TPascalNode() = default;

void TPascalNode::ParentChanging(TNode* newParent, TNode* before) {
    if (newParent && m_storage != TStorage::Heap && static_cast<TPascalNode*>(newParent)->m_arena != m_arena)
        throw Exception(u"A node of one code tree's memory cannot join another tree"_s);
    TNode::ParentChanging(newParent, before);
}

void TPascalNode::BeforeDestruction() {
    if (m_storage != TStorage::Heap) EndChildrenInPlace();
}

void TPascalNode::EndChildrenInPlace() noexcept {
    for (TPascalNode* c = First(); c;) {
        TPascalNode* next = c->Next();
        if (c->m_storage == TStorage::Heap) c->Free();
        c = next;
    }
    for (TPascalNode* c = First(); c;) {
        TPascalNode* next = c->Next();
        Q_ASSERT(c->m_storage == TStorage::Arena && c->m_arena == m_arena);
        c->EndChildrenInPlace();
        c->~TPascalNode();
        m_arena->Release(c);
        c = next;
    }
    ForgetChildrenQuietly();
}

void TPascalNode::DeleteSelf() noexcept {
    switch (m_storage) {
    case TStorage::Heap:
        delete this;
        return;
    case TStorage::Arena: {
        TPascalNodeArena* arena = m_arena;
        this->~TPascalNode();
        arena->Release(this);
        return;
    }
    case TStorage::ArenaOwner: {
        TPascalNodeArena* arena = m_arena;
        this->~TPascalNode();
        arena->Release(this);
        delete arena;
        return;
    }
    }
}

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
    writer.WriteComment(Comment);
}

void TPascalCommentedNode::WriteDeclarationEnd(TPascalCodeWriter& writer) const {
    writer.Write(u";"_s);
    WriteTrailingComment(writer);
    writer.NewLine();
}

namespace {
// The kinds of the classes that declare a type (TPascalTypeEntry's).
bool IsTypeDeclarationKind(TPascalKind kind) noexcept {
    switch (kind) {
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
        return true;
    default:
        return false;
    }
}
}  // namespace

bool TPascalNamedNode::IsNamedKind(TPascalKind kind) noexcept {
    if (IsTypeDeclarationKind(kind)) return true;
    switch (kind) {
    case TPascalKind::Named:
    case TPascalKind::Constant:
    case TPascalKind::Variable:
    case TPascalKind::ResultVariable:
    case TPascalKind::MethodParameter:
    case TPascalKind::MethodDeclaration:
    case TPascalKind::MethodWithImplementation:
    case TPascalKind::EnumItem:
    case TPascalKind::RecordField:
    case TPascalKind::ClassProperty:
    case TPascalKind::UsedUnit:
    case TPascalKind::Module:
    case TPascalKind::Unit:
        return true;
    default:
        return false;
    }
}

void TPascalComment::Write(TPascalCodeWriter& writer) {
    WriteCommentLine(writer, Text);
}

namespace {
TPascalEntryKind EntryKindOf(TPascalKind kind) {
    if (IsTypeDeclarationKind(kind)) return TPascalEntryKind::Type;
    switch (kind) {
    case TPascalKind::Constant:
        return TPascalEntryKind::Const;
    case TPascalKind::Variable:
    case TPascalKind::ResultVariable:
        return TPascalEntryKind::Var;
    default:
        return TPascalEntryKind::Other;
    }
}
}  // namespace

TPascalEntryKind GetEntryKind(const TNode* node) {
    if (!node) return TPascalEntryKind::None;
    if (const auto* comment = PascalAs<TPascalComment>(node)) {
        switch (comment->Attachment) {
        case TPascalCommentAttachment::ToPrevious:
            return GetEntryKind(node->PrevSibling());
        case TPascalCommentAttachment::ToNext:
            return GetEntryKind(node->NextSibling());
        case TPascalCommentAttachment::Free:
            return TPascalEntryKind::None;
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
        if (GetEntryKind(c) != TPascalEntryKind::Other) continue;
        // A comment attached to the routine goes with it.
        TPascalNode* at = c;
        while (const auto* comment = PascalAs<TPascalComment>(at->Prev())) {
            if (comment->Attachment != TPascalCommentAttachment::ToNext) break;
            at = at->Prev();
        }
        return at;
    }
    return nullptr;
}

void TPascalDeclarations::ChangeSection(TPascalCodeWriter& writer, TPascalEntryKind from, TPascalEntryKind to,
                                        bool needVarHeader) {
    if (from == to) return;
    if (IndentKinds.Contains(from)) writer.Unindent();
    if (SeparateSections && from != TPascalEntryKind::None && to != TPascalEntryKind::None) writer.EnsureEmptyLine();
    if (HeaderKinds.Contains(to) || (to == TPascalEntryKind::Var && needVarHeader)) {
        switch (to) {
        case TPascalEntryKind::Const:
            writer.WriteLn(u"const"_s);
            break;
        case TPascalEntryKind::Type:
            writer.WriteLn(u"type"_s);
            break;
        case TPascalEntryKind::Var:
            writer.WriteLn(u"var"_s);
            break;
        default:
            break;
        }
    }
    if (IndentKinds.Contains(to)) writer.Indent();
}

void TPascalDeclarations::Write(TPascalCodeWriter& writer) {
    // In a section of a class, a run of fields that follows a constant, type,
    // routine or property gets a "var" header of its own: without it the
    // fields would continue the constant or type section, or be refused after
    // a routine or property.
    const bool classSection = ParentNode() && ParentNode()->NodeKind() == TPascalKind::Class;
    TPascalEntryKind previous = TPascalEntryKind::None;
    bool otherSeen = false;  // a constant, type, routine or property came before
    for (TPascalNode* c = First(); c; c = c->Next()) {
        const TPascalEntryKind kind = GetEntryKind(c);
        if (kind == previous && SpacedKinds.Contains(kind)) writer.EnsureEmptyLine();
        ChangeSection(writer, previous, kind, classSection && otherSeen);
        c->Write(writer);
        if (kind != TPascalEntryKind::None && kind != TPascalEntryKind::Var) otherSeen = true;
        previous = kind;
    }
    ChangeSection(writer, previous, TPascalEntryKind::None, false);
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

void MoveChildren(TNode* from, TNode* to, TNode* before) {
    while (TNode* moved = from->FirstChild()) moved->SetParentBefore(to, before);
}

void WriteCommentLine(TPascalCodeWriter& writer, const QString& text) {
    writer.WriteComment(text);
    writer.NewLine();
}

void WriteIndented(TPascalCodeWriter& writer, TPascalNode* node) {
    writer.Indent();
    node->Write(writer);
    writer.Unindent();
}

void WriteSeparator(TPascalCodeWriter& writer, const QString& mark) {
    writer.Write(mark);
    if (!writer.WrapIfLong()) writer.Write(u" "_s);
}

void WriteSeparated(TPascalCodeWriter& writer, TPascalNode* first, const QString& mark) {
    for (TPascalNode* node = first; node; node = node->Next()) {
        if (node != first) WriteSeparator(writer, mark);
        node->Write(writer);
    }
}

qsizetype PascalIdentifierEnd(QStringView text, qsizetype start) noexcept {
    qsizetype end = start;
    while (end < text.size() && IsPascalIdentifierChar(text[end], end == start)) ++end;
    return end;
}

QString PascalFoldName(const QString& name) {
    // A name without capitals is its own folded form (shared, not copied).
    const auto isCapital = [](QChar ch) { return PascalFoldedChar(ch) != ch.unicode(); };
    const auto first = std::find_if(name.cbegin(), name.cend(), isCapital);
    if (first == name.cend()) return name;
    QString folded(name.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    for (QChar ch : name) *out++ = QChar(PascalFoldedChar(ch));
    return folded;
}

bool PascalSameName(QStringView a, QStringView b) noexcept {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && PascalFoldedChar(a[i]) != PascalFoldedChar(b[i])) return false;
    return true;
}

size_t PascalNameHash(QStringView name, size_t seed) noexcept {
    uint64_t h = 0xcbf29ce484222325ull ^ seed;  // FNV-1a over the folded characters
    for (QChar ch : name) {
        h ^= PascalFoldedChar(ch);
        h *= 0x100000001b3ull;
    }
    return size_t(h);
}

TPascalNoWrap::TPascalNoWrap(TPascalCodeWriter& writer) : m_writer(writer), m_old(writer.WrapLines()) {
    writer.SetWrapLines(false);
}

TPascalNoWrap::~TPascalNoWrap() {
    m_writer.SetWrapLines(m_old);
}

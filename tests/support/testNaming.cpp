#include "support/testNaming.h"

#if QUILLANE_TEST_LAYER >= 3

T_ELEMENT_CLASS_IMPL(TElement_TestScope, TNamespace)
T_ELEMENT_CLASS_IMPL(TElement_TestDecl, TElement)
T_ELEMENT_CLASS_IMPL(TElement_TestLink, TNamespaceConnection)

TElement_TestDecl* TTestDeclItem::Decl() const { return static_cast<TElement_TestDecl*>(Element()); }
QString TTestDeclItem::GetName() { return Decl()->Name; }
int TTestDeclItem::GetItemFlags() { return Decl()->Flags; }
int TTestDeclItem::GetVisibility() { return Decl()->Visibility; }
bool TTestDeclItem::IsEnabled() { return Decl()->Enabled; }
bool TTestDeclItem::NeedsUniqueName() { return Decl()->Unique; }
void TTestDeclItem::GetUsedReferences(std::vector<TReference*>& list) {
    list.insert(list.end(), Decl()->Used.begin(), Decl()->Used.end());
}

void TElement_TestScope::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_TestScope::StaticClass() << TElement_TestDecl::StaticClass()
         << TElement_TestLink::StaticClass();
}

void TElement_TestDecl::Rename(const QString& name) {
    Name = name;
    if (m_item) m_item->NotifyRenamed();
}

void TElement_TestDecl::TreePlacementChanged() {
    TElement::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    auto* ns = dynamic_cast<TNamespace*>(Parent());
    if (ns == (m_item ? m_item->Namespace() : nullptr)) return;
    m_item.reset();
    if (ns) m_item = TNamespaceOwnItem::Create<TTestDeclItem>(ns, this);
}

void TElement_TestDecl::NumberChanged(int32_t oldNumber) {
    TElement::NumberChanged(oldNumber);
    if (m_item) m_item->NumberChanged(oldNumber);
}

void TElement_TestDecl::BeforeDestruction() {
    m_item.reset();
    TElement::BeforeDestruction();
}

void TElement_TestLink::TreePlacementChanged() {
    TNamespaceConnection::TreePlacementChanged();
    if (!IsBeingDestroyed()) SetOwner(dynamic_cast<TNamespace*>(Parent()));
}

TNamingRecorder::TNamingRecorder(TNamespace* ns) : m_ns(ns) { m_ns->AddListener(MakeHandler<&TNamingRecorder::OnNotify>(this)); }

TNamingRecorder::~TNamingRecorder() {
    if (m_ns) m_ns->RemoveListener(MakeHandler<&TNamingRecorder::OnNotify>(this));
}

void TNamingRecorder::OnNotify(TItfObject*, int code, intptr_t p1, intptr_t p2) {
    if (code == nnNamespaceFreed) {
        Log << QStringLiteral("111");
        m_ns = nullptr;  // the namespace is going: nothing to leave
        return;
    }
    auto* item = reinterpret_cast<TNamespaceItem*>(p1);
    QString entry = QString::number(code);
    if (item) entry += QLatin1Char(' ') + item->GetName();
    if (code == nnPathChanged) entry += QLatin1Char(' ') + *reinterpret_cast<const QString*>(p2);
    Log << entry;
}

std::unique_ptr<TScheme> MakeScopeScheme() {
    auto scheme = std::make_unique<TScheme>(TElement_TestScope::StaticClass(), QStringLiteral("TestScopes"));
    static_cast<TElement_TestScope*>(scheme->Root())->Label = QStringLiteral("Root");
    return scheme;
}

TElement_TestScope* AddScope(TElement* parent, const QString& label) {
    auto* scope = TElement::CreateIn<TElement_TestScope>(parent->Scheme(), nullptr);
    scope->Label = label;
    scope->SetParent(parent);
    return scope;
}

TElement_TestDecl* AddDecl(TElement* parent, const QString& name, int flags) {
    auto* decl = TElement::CreateIn<TElement_TestDecl>(parent->Scheme(), nullptr);
    decl->Name = name;
    decl->Flags = flags;
    decl->SetParent(parent);
    return decl;
}

TElement_TestLink* AddLink(TElement* parent, TNamespace* target, const QString& prefix, bool lazy) {
    auto* link = TElement::CreateIn<TElement_TestLink>(parent->Scheme(), nullptr);
    link->SetLazy(lazy);
    link->SetPrefix(prefix);
    link->SetParent(parent);
    link->SetTarget(target);
    return link;
}

#endif

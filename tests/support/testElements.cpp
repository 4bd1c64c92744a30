#include "support/testElements.h"

#if QUILLANE_TEST_LAYER >= 3

T_ELEMENT_CLASS_IMPL(TElement_TestLeaf, TElement)
T_ELEMENT_CLASS_IMPL(TElement_TestOwner, TElement)
T_ELEMENT_CLASS_IMPL(TElement_TestContainer, TElement)
T_ELEMENT_CLASS_IMPL(TElement_TestNamed, TElement)
T_ELEMENT_CLASS_IMPL(TElement_TestRoot, TElement_TestContainer)

void TElement_TestLeaf::SetValue(const QString& value) {
    m_value = value;
    Changed();
}

void TElement_TestLeaf::CheckContent() {
    ++CheckContentCount;
    if (CheckLog) CheckLog->push_back(Number());
    if (m_value == QLatin1String("bad")) GetMessages()->AddElementLinkMessage(mkError, QStringLiteral("[Bad] value"),
                                                                               QString::number(Number()));
}

void TElement_TestLeaf::RedoDependent(TKnot*) { ++RedoDependentCount; }
void TElement_TestLeaf::UndoDependent(TKnot*) { ++UndoDependentCount; }

void TElement_TestOwner::Create() {
    TElement::Create();
    m_first = CreateSubElement<TElement_TestLeaf>(this);
    m_second = CreateSubElement<TElement_TestLeaf>(this);
    m_second->SetOptions(m_second->Options() | eoValidated);
}

void TElement_TestOwner::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child == m_first)
        name = QStringLiteral("First");
    else if (child == m_second)
        name = QStringLiteral("Second");
    else
        TElement::GetChildName(child, filer, name);
}

void TElement_TestContainer::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_TestLeaf::StaticClass() << TElement_TestOwner::StaticClass()
         << TElement_TestContainer::StaticClass() << TElement_TestNamed::StaticClass();
}

void TElement_TestNamed::SetName(const QString& name) {
    m_name = name;
    Changed();
}

void TElement_TestLeaf::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TElement::LoadFrom(loader, knot);
    m_value = knot->ReadStr(QStringLiteral("Value"));
    CheckAll();
}

void TElement_TestLeaf::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TElement::SaveTo(saver, knot);
    if (!m_value.isEmpty()) knot->WriteStr(QStringLiteral("Value"), m_value);
}

void TElement_TestNamed::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TElement::LoadFrom(loader, knot);
    m_name = knot->ReadStr(QStringLiteral("Name"));
    CheckAll();
}

void TElement_TestNamed::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TElement::SaveTo(saver, knot);
    knot->WriteStr(QStringLiteral("Name"), m_name);
}

// Content children are child knots named by type. Knots of other names are
// left unread (and so reported); sub-element knots are read by the base.
void TElement_TestContainer::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TElement::LoadFrom(loader, knot);
    TElementClassList classes;
    GetAcceptedClasses(classes);
    for (TNode* n = knot->FirstChild(); n; n = n->NextSibling()) {
        auto* child = static_cast<TKnot*>(n);
        for (const TElementClass* cls : classes)
            if (cls->GetTypeName() == child->Name()) {
                child->SetWasRead(true);
                TElement* e = CreateIn(cls, Scheme() ? Scheme() : loader->Scheme(), this);
                e->LoadFrom(loader, child);
                break;
            }
    }
}

void TElement_TestContainer::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TElement::SaveTo(saver, knot);
    for (TNode* n = FirstChild(); n; n = n->NextSibling()) {
        auto* e = static_cast<TElement*>(n);
        if (e->IsSubElement() || !ShouldSaveChild(saver, e)) continue;
        e->SaveTo(saver, knot->AddChild(e->GetTypeName()));
    }
}

std::unique_ptr<TScheme> MakeTestScheme() {
    return std::make_unique<TScheme>(TElement_TestRoot::StaticClass(), QStringLiteral("TestModule"));
}

TNodePtr<TKnot> KnotFromText(const QString& text) {
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromString(text);
    return knot;
}

void LoadSchemeKnot(TScheme* scheme, TKnot* knot, uint8_t mode, TElementMessages* messages) {
    TSchemeLoader loader(scheme, messages, knot, 0, mode);
    scheme->Root()->LoadFrom(&loader, knot);
    loader.Finish();
}

QString SchemeText(TScheme* scheme, uint8_t mode, uint8_t options) {
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme->SaveRootToKnot(knot.get(), mode, options);
    return knot->SaveToString();
}

#endif

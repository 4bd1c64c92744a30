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

std::unique_ptr<TScheme> MakeTestScheme() {
    return std::make_unique<TScheme>(TElement_TestRoot::StaticClass(), QStringLiteral("TestModule"));
}

#endif

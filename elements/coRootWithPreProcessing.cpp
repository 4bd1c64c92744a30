#include "elements/coRootWithPreProcessing.h"

#include "elements/coValueElements.h"
#include "scheme/diUtils.h"

T_ELEMENT_CLASS_IMPL(TRootWithPreProcessing, TRoot)

namespace {
const QString kApplicationValuesChild = QStringLiteral("ApplicationInsideValuesNamespaceConnection");
constexpr uint8_t kPrivateCovers = 1;
}  // namespace

void TRootWithPreProcessing::Create() {
    TRoot::Create();
    m_applicationValues = TElement::CreateSubElement<TNamespaceConnection>(this);
    // Private covers, no filter: the values are private themselves, and a
    // public-only filter would hide every one of them.
    m_applicationValues->SetPrivate(kPrivateCovers);
    m_applicationValues->SetOwner(GeneralNamespace());
    m_applicationValues->SetTarget(ApplicationValuesNamespace());
}

void TRootWithPreProcessing::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, TElementClassList{TElement_FileConnection::StaticClass(), TElement_Text::StaticClass()});
    TRoot::FillAcceptedClasses(list);
}

void TRootWithPreProcessing::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_applicationValues)
        name = kApplicationValuesChild;
    else
        TRoot::GetChildName(child, filer, name);
}

void TRootWithPreProcessing::BeforeDestruction() {
    TRoot::BeforeDestruction();
    m_applicationValues = nullptr;
}

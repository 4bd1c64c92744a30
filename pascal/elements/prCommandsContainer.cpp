#include "pascal/elements/prCommandsContainer.h"

#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

T_ELEMENT_CLASS_IMPL(TCommandsContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TCommandsContainerWithResult, TCommandsContainer)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TTitledElementWithCommandContent, TTitledElementWithContent)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TTitledElementWithCommandContentWithResult, TTitledElementWithContent)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TNamedElementWithCommandContentWithResult, TNamedElementWithContent)

namespace {

const QString kNamespaceChild = QStringLiteral("Namespace");
const QString kConnectionChild = QStringLiteral("Connection");
const QString kResultChild = QStringLiteral("Result");
// The element kinds whose palette items a routine body moves under an "Other" item.
const QString kEnumClassName = QStringLiteral("TElement_Enum");
const QString kMethodClassName = QStringLiteral("TElement_Method");

bool InsertsClassNamed(TPaletteItem* item, const QString& className) {
    auto* elementItem = dynamic_cast<TElementPaletteItem*>(item);
    return elementItem && elementItem->ElementClass() && elementItem->ElementClass()->Name() == className;
}

}  // namespace

// ---------------------------------------------------------------------------
// TCommandsContainer

void TCommandsContainer::Create() {
    TTitledTextContainer::Create();
    SetTextorOptions(TextorOptions() | kCommandsContainerTextorOptions);
    SetRestrictions(kCommandsContainerRestrictions);
    m_namespace = TElement::CreateSubElement<TNamespace>(this);
    m_namespace->SetOptions(m_namespace->Options() | eoStoredInParentNode);
    m_connection = static_cast<TNamespaceConnection*>(TElement::CreateSubElement(GetConnectionClass(), this));
    m_connection->SetOptions(m_connection->Options() | eoStoredInParentNode);
    // Every statement body sees the names around it: covers only for what is asked.
    m_connection->SetLazy(true);
    m_connection->SetOwner(m_namespace);
}

void TCommandsContainer::BeforeDestruction() {
    if (m_connection) m_connection->SetOwner(nullptr);
    TTitledTextContainer::BeforeDestruction();
}

const TElementClass* TCommandsContainer::GetConnectionClass() { return TNamespaceConnection::StaticClass(); }

void TCommandsContainer::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, CommandElementClasses());
    TTitledTextContainer::FillAcceptedClasses(list);
    RemoveItems(list, ClassesGroups().GetGroup(cgInlineValueElements));
    AddItemsOnce(list, ClassesGroups().GetGroup(cgRichTextElements));
}

void TCommandsContainer::AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) {
    TTitledTextContainer::AdjustPaletteItemInfo(item, info);
    TPaletteItem* other = nullptr;
    if (InsertsClassNamed(item, kEnumClassName))
        other = TypesOtherItem();
    else if (InsertsClassNamed(item, kMethodClassName))
        other = PaletteOtherInsertItem();
    if (!other) return;
    info.Group = other;
    info.Flags = uint16_t(info.Flags & ~pifLargeImage);
}

void TCommandsContainer::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_namespace)
        name = kNamespaceChild;
    else if (child && child == m_connection)
        name = kConnectionChild;
    else
        TTitledTextContainer::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// TCommandsContainerWithResult

void TCommandsContainerWithResult::Create() {
    TCommandsContainer::Create();
    m_result = TElement::CreateSubElement<TFieldElementResult>(this);
}

void TCommandsContainerWithResult::BeforeDestruction() {
    m_result = nullptr;
    TCommandsContainer::BeforeDestruction();
}

void TCommandsContainerWithResult::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_result)
        name = kResultChild;
    else
        TCommandsContainer::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// Element bases

const TElementClass* TTitledElementWithCommandContent::GetContentClass() { return TCommandsContainer::StaticClass(); }

const TElementClass* TTitledElementWithCommandContentWithResult::GetContentClass() {
    return TCommandsContainerWithResult::StaticClass();
}

const TElementClass* TNamedElementWithCommandContentWithResult::GetContentClass() {
    return TCommandsContainerWithResult::StaticClass();
}

const TElementClass* TNamedElementWithCommandContentWithResult::GetNameFieldClass() {
    return TIdentifierNameField::StaticClass();
}

void TNamedElementWithCommandContentWithResult::FocusFirst() { TNamedElement::FocusFirst(); }

void InitCommandsContainerUnit() {}
void FinalCommandsContainerUnit() {}

#include "support/testProgram.h"

#if QUILLANE_TEST_LAYER >= 7

#include "scheme/diNaming.h"
#include "support/testStop.h"

T_ELEMENT_CLASS_IMPL(TElement_TestProgramRoot, TProgramRoot)
T_ELEMENT_CLASS_IMPL(TElement_TestDeclaration, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_TestMembers, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TElement_TestType, TprNamedElementWithContent)
T_ELEMENT_CLASS_IMPL(TElement_TestAlias, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_TestRoutine, TNamedElementWithCommandContentWithResult)

namespace {
const QString kMembersChild = QStringLiteral("Members");
const QString kSecondNameChild = QStringLiteral("SecondName");
const QString kRefTypeChild = QStringLiteral("RefType");
}  // namespace

namespace {
const TElementClassList& TestProgramClasses() {
    static const TElementClassList classes{TElement_TestDeclaration::StaticClass(), TElement_TestType::StaticClass(),
                                           TElement_TestAlias::StaticClass(), TElement_TestRoutine::StaticClass()};
    return classes;
}
}  // namespace

void TElement_TestProgramRoot::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, ModuleElementClasses());
    AddItemsOnce(list, MoreAccepted);
    AddItemsOnce(list, TestProgramClasses());
    TProgramRoot::FillAcceptedClasses(list);
}

TTestCommandClasses::TTestCommandClasses() { AddItemsOnce(CommandElementClasses(), TestProgramClasses()); }
TTestCommandClasses::~TTestCommandClasses() { RemoveItems(CommandElementClasses(), TestProgramClasses()); }

void TElement_TestMembers::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, TestProgramClasses());
    // The members an object takes.
    AddItemsOnce(list, ClassMemberElementClasses());
    TTitledTextContainer::FillAcceptedClasses(list);
}

void TElement_TestMembers::Create() {
    TTitledTextContainer::Create();
    SetTextorOptions(TextorOptions() | kCommandsContainerTextorOptions);
    SetRestrictions(kCommandsContainerRestrictions);
}

const TElementClass* TElement_TestType::GetContentClass() { return TElement_TestMembers::StaticClass(); }

void TElement_TestType::Create() {
    TprNamedElementWithContent::Create();
    m_members = TElement::CreateSubElement<TNamespace>(this);
}

void TElement_TestType::BeforeDestruction() {
    m_members = nullptr;
    m_secondName = nullptr;
    TprNamedElementWithContent::BeforeDestruction();
}

void TElement_TestType::AddSecondName(const QString& name) {
    m_secondName = TElement::CreateSubElement<TTitledNameField>(this);
    m_secondName->SetText(name);
}

TProgramClassification TElement_TestType::GetClassification() const {
    const TScopeKind scope = Kind == TDeclarationKind::Object   ? TScopeKind::Object
                             : Kind == TDeclarationKind::Record ? TScopeKind::Record
                                                                : TScopeKind::None;
    return {Kind, scope};
}

void TElement_TestType::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_members)
        name = kMembersChild;
    else if (child && child == m_secondName)
        name = kSecondNameChild;
    else
        TprNamedElementWithContent::GetChildName(child, filer, name);
}

void TElement_TestAlias::Create() {
    TprNamedElement::Create();
    m_refType = TElement::CreateSubElement<TTypeReferenceField>(this);
}

void TElement_TestAlias::BeforeDestruction() {
    // The parts go before the name's item: nothing asks them meanwhile.
    m_refType = nullptr;
    TprNamedElement::BeforeDestruction();
}

TNamespaceItem* TElement_TestAlias::GetRefTypeItem() { return m_refType ? m_refType->GetTargetItem() : nullptr; }

void TElement_TestAlias::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    if (m_refType) list.push_back(m_refType->Link());
}

void TElement_TestAlias::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_refType)
        name = kRefTypeChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_TestRoutine::TreePlacementChanged() {
    TNamedElementWithCommandContentWithResult::TreePlacementChanged();
    if (IsBeingDestroyed() || !Body()) return;
    Body()->Connection()->SetTarget(FindOwnerNamespace(this));
}

std::unique_ptr<TScheme> MakeTestProgramScheme() {
    return std::make_unique<TScheme>(TElement_TestProgramRoot::StaticClass(), QStringLiteral("ProgramModule"));
}

TElement* AppendElement(TTextorElement* text, const TElementClass* cls) {
    return Found(text->AddElementOfClass(cls, false), cls->ClassName());
}

#endif

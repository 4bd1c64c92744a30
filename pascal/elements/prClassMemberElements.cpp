#include "pascal/elements/prClassMemberElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "pascal/elements/prIdentifierElements.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QList>

#include <memory>

T_ELEMENT_CLASS_IMPL(TConnectionToParameters, TNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TSubObjectMembersByTypeConnection, TMembersByTypeConnection)
T_ELEMENT_CLASS_IMPL(TSubObjectNameField, TFieldNameField)
T_ELEMENT_CLASS_IMPL(TElement_SubObject, TCustomField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomEventElement, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_Event, TCustomEventElement)
T_ELEMENT_CLASS_IMPL(TLockerReferenceField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TElement_Notification, TCustomEventElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomDoubleMethodElement, TprNamedElement)
T_ELEMENT_CLASS_IMPL(TElement_DoubleMethod, TCustomDoubleMethodElement)
T_ELEMENT_CLASS_IMPL(TElement_Locker, TCustomDoubleMethodElement)
T_ELEMENT_CLASS_IMPL(THandlerReferenceField, TReferenceField)
T_ELEMENT_CLASS_IMPL(THandlerNameField, TIdentifierNameField)
T_ELEMENT_CLASS_IMPL(TElement_Handler, TNamedElementWithCommandContentWithResult)
T_ELEMENT_CLASS_IMPL(TOverrideReferenceField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TOverrideInheritedElement, TNameElement)
T_ELEMENT_CLASS_IMPL(TElement_Override, TTitledElementWithCommandContentWithResult)
T_ELEMENT_CLASS_IMPL(TElement_Constructor, TCustomMethod)

namespace {

const QString kMbrParametersChild = QStringLiteral("Parameters");
const QString kMbrLockerChild = QStringLiteral("Locker");
const QString kMbrEnterChild = QStringLiteral("ContentEnter");
const QString kMbrExitChild = QStringLiteral("ContentExit");
const QString kMbrFirstEnterChild = QStringLiteral("ContentFirstEnter");
const QString kMbrLastExitChild = QStringLiteral("ContentLastExit");
const QString kMbrEventChild = QStringLiteral("Event");
const QString kMbrMethodChild = QStringLiteral("Method");
const QString kMbrConnectionToParametersChild = QStringLiteral("ConnectionToParameters");
const QString kMbrInheritedName = QStringLiteral("Inherited");
const QString kMbrEventPrefix = QStringLiteral("On");

// Pictures of "prClassElementsCharImages" (C) and "...SmallImages" (S).
enum : int {
    kMbrCharSubObject = 0,
    kMbrCharEvent = 3,
    kMbrCharConstructor = 4,
    kMbrCharHandler = 6,
    kMbrCharInherited = 7,
    kMbrCharDoubleMethod = 8,
    kMbrCharNotification = 9,
    kMbrSmallConstructor = 0,
    kMbrSmallEvent = 3,
    kMbrSmallOverride = 4,
    kMbrSmallHandler = 5,
    kMbrSmallDoubleMethod = 7,
    kMbrSmallNotification = 8,
};
// The large "Sub Object" picture.
constexpr int kMbrLargeSubObject = 4;

struct TMemberUnit {
    TElementItems items;
};
std::unique_ptr<TMemberUnit> g_memberUnit;

QString MbrPrefix(TStringProperty* (TProgramSettings::*prefix)() const) { return ProgramPrefix(prefix); }

void MbrSetNamePicture(TNamedElement* element, int picture) {
    if (element->NameField()) element->NameField()->SetImageIndex(picture);
}

template <class T>
T* MbrMakeVisual(TVisualElement* owner) {
    return static_cast<T*>(TVisualElement::CreateSubElement(T::StaticClass(), owner, nullptr, owner));
}

// The parameters namespace of the element an item names: an event's, a
// method type's or a method's; nil for anything else.
TNamespace* MbrParametersOf(TNamespaceItem* item) {
    TElement* element = item ? item->GetElement() : nullptr;
    if (auto* event = dynamic_cast<TElement_Event*>(element)) return event->Parameters()->Namespace();
    if (auto* type = dynamic_cast<TElement_MethodType*>(element)) return type->Parameters()->Namespace();
    if (auto* method = dynamic_cast<TCustomMethod*>(element)) return method->Parameters()->Namespace();
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Connections

bool TConnectionToParameters::AcceptsItem(TNamespaceItem* item) {
    return TNamespaceConnection::AcceptsItem(item) && !item->AsCover();
}

bool TSubObjectMembersByTypeConnection::AcceptsItem(TNamespaceItem* item) {
    return TMembersByTypeConnection::AcceptsItem(item) && DeclarationKindOf(item) != TDeclarationKind::BuiltInFree;
}

// ---------------------------------------------------------------------------
// Sub-object

void TElement_SubObject::Create() {
    TCustomField::Create();
    CreateDescriptionField();
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharSubObject));
}

const TElementClass* TElement_SubObject::GetNameFieldClass() { return TSubObjectNameField::StaticClass(); }

const TElementClass* TElement_SubObject::GetMembersConnectionClass() {
    return TSubObjectMembersByTypeConnection::StaticClass();
}

TVisibilityMode TElement_SubObject::GetVisibilityMode() {
    switch (ScopeKindOf(GetDeclarationContainer(this))) {
    case TScopeKind::CommandsContainer:
        return TVisibilityMode::Public;
    case TScopeKind::Object:
        return TVisibilityMode::FixedPrivate;
    default:
        return TVisibilityMode::ChoosablePrivate;
    }
}

void TElement_SubObject::GetDefaultName(QString& stem, bool& numberFirst) {
    TCustomField::GetDefaultName(stem, numberFirst);
    stem = FieldPrefixIn(GetDeclarationContainer(this)) + stem;
}

bool TElement_SubObject::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmAcceptReferenceItem && p2) {
        TElement_Object* object = ObjectNamedBy(reinterpret_cast<TNamespaceItem*>(p1));
        if (!object || object->Kind() == TObjectKind::Abstract) *reinterpret_cast<bool*>(p2) = false;
    }
    return TCustomField::HandleNodeMessage(msg, p1, p2);
}

void TElement_SubObject::FocusFirst() {
    if (TypeField())
        TypeField()->FocusFirst();
    else
        TCustomField::FocusFirst();
}

void TElement_SubObject::WriteTitle(TTitleWriter& writer) {
    TCustomField::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    writer.AddText(QStringLiteral(":"));
    if (TypeField()) writer.AddField(TypeField());
}

void TElement_SubObject::GetChildHint(TElement* child, QString& text) {
    if (child && child == TypeField())
        text = LoadStr(strSubObjectTypeHint);
    else
        TCustomField::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Events and notifications

QString TCustomEventElement::GetShortName() const {
    const QString name = NameField() ? NameField()->GetNameText() : QString();
    return StartsWithText(name, kMbrEventPrefix) ? name.mid(kMbrEventPrefix.size()) : name;
}

QString TCustomEventElement::GetDoMethodName() const { return QStringLiteral("Do") + GetShortName(); }

void TCustomEventElement::GetDefaultName(QString& stem, bool&) {
    stem = MbrPrefix(&TProgramSettings::EventsPrefix) + QStringLiteral("Change");
}

void TElement_Event::Create() {
    TCustomEventElement::Create();
    CreateDescriptionField();
    m_parameters = MbrMakeVisual<TParametersContainer>(this);
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharEvent));
}

void TElement_Event::BeforeDestruction() {
    TCustomEventElement::BeforeDestruction();
    m_parameters = nullptr;
}

void TElement_Event::WriteTitle(TTitleWriter& writer) {
    TCustomEventElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_parameters && m_parameters->IsShown()) {
        writer.AddText(QStringLiteral("("));
        writer.AddField(m_parameters);
        writer.AddText(QStringLiteral(")"));
    }
}

void TElement_Event::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_parameters)
        name = kMbrParametersChild;
    else
        TCustomEventElement::GetChildName(child, filer, name);
}

void TElement_Event::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_parameters)
        text = LoadStr(strEventParameters);
    else
        TCustomEventElement::GetChildHint(child, text);
}

void TElement_Event::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomEventElement::GetPaletteItems(list);
    if (ParameterPaletteItem() && !list.contains(ParameterPaletteItem())) list << ParameterPaletteItem();
}

bool TElement_Event::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == ParameterPaletteItem() && m_parameters) {
        m_parameters->AddParameter(item);
        return true;
    }
    return TCustomEventElement::ApplyPaletteItem(item, subCommand, checked);
}

bool TLockerReferenceField::CanReferTo(TNamespaceItem* item) {
    return item && dynamic_cast<TElement_Locker*>(item->GetElement());
}

void TElement_Notification::Create() {
    TCustomEventElement::Create();
    CreateDescriptionField();
    m_locker = MbrMakeVisual<TLockerReferenceField>(this);
    m_locker->SetVisualOptions(m_locker->VisualOptions() | voHiddenWhileEmpty);
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharNotification));
}

void TElement_Notification::BeforeDestruction() {
    TCustomEventElement::BeforeDestruction();
    m_locker = nullptr;
}

void TElement_Notification::WriteTitle(TTitleWriter& writer) {
    TCustomEventElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_locker && (m_locker->IsFilled() || m_locker->IsEdited())) {
        writer.AddText(LoadStr(strLockInTitle));
        writer.AddField(m_locker);
    }
}

void TElement_Notification::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_locker)
        name = kMbrLockerChild;
    else
        TCustomEventElement::GetChildName(child, filer, name);
}

void TElement_Notification::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_locker)
        text = LoadStr(strLockerLockerCanTemporarily);
    else
        TCustomEventElement::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Double methods and lockers

TCommandsContainer* TCustomDoubleMethodElement::AddSection(TElement* before) {
    return static_cast<TCommandsContainer*>(
        TVisualElement::CreateSubElement(TCommandsContainer::StaticClass(), this, before, this));
}

void TCustomDoubleMethodElement::Create() {
    TprNamedElement::Create();
    CreateExpandButton(InitiallyExpanded());
    CreateDescriptionField();
    m_enter = AddSection();
    m_exit = AddSection();
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharDoubleMethod));
}

void TCustomDoubleMethodElement::BeforeDestruction() {
    TprNamedElement::BeforeDestruction();
    m_enter = m_exit = nullptr;
}

QString TCustomDoubleMethodElement::GetEnterMethodName() const {
    return QStringLiteral("Before") + (NameField() ? NameField()->GetNameText() : QString());
}

QString TCustomDoubleMethodElement::GetExitMethodName() const {
    return QStringLiteral("After") + (NameField() ? NameField()->GetNameText() : QString());
}

void TCustomDoubleMethodElement::GetDefaultName(QString& stem, bool&) { stem = QStringLiteral("Process"); }

void TCustomDoubleMethodElement::TreePlacementChanged() {
    TprNamedElement::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    TNamespace* outer = FindOwnerNamespace(this);
    for (TCommandsContainer* section : {m_enter, m_exit})
        if (section) section->Connection()->SetTarget(outer);
}

void TCustomDoubleMethodElement::WriteSection(TTitleWriter& writer, int caption, TCommandsContainer* section) {
    writer.NewLine();
    writer.AddText(LoadStr(caption));
    writer.NewLine();
    if (section) writer.AddBlock(section);
}

void TCustomDoubleMethodElement::WriteSections(TTitleWriter& writer) {
    WriteSection(writer, strOnEnterTitle, m_enter);
    WriteSection(writer, strOnExitTitle, m_exit);
}

void TCustomDoubleMethodElement::WriteTitle(TTitleWriter& writer) {
    TprNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (IsExpanded()) WriteSections(writer);
}

void TCustomDoubleMethodElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_enter)
        name = kMbrEnterChild;
    else if (child && child == m_exit)
        name = kMbrExitChild;
    else
        TprNamedElement::GetChildName(child, filer, name);
}

void TElement_Locker::Create() {
    TCustomDoubleMethodElement::Create();
    // Stored and reached in the order of the title: first enter, enter, exit, last exit.
    m_firstEnter = AddSection(ContentEnter());
    m_lastExit = AddSection();
}

void TElement_Locker::BeforeDestruction() {
    TCustomDoubleMethodElement::BeforeDestruction();
    m_firstEnter = m_lastExit = nullptr;
}

QString TElement_Locker::GetEnterMethodName() const {
    return QStringLiteral("Begin") + (NameField() ? NameField()->GetNameText() : QString());
}

QString TElement_Locker::GetExitMethodName() const {
    return QStringLiteral("End") + (NameField() ? NameField()->GetNameText() : QString());
}

QString TElement_Locker::GetCounterFieldName() const {
    return MbrPrefix(&TProgramSettings::ObjectFieldsPrefix) + (NameField() ? NameField()->GetNameText() : QString()) +
           QStringLiteral("Count");
}

void TElement_Locker::GetDefaultName(QString& stem, bool&) { stem = QStringLiteral("Update"); }

void TElement_Locker::TreePlacementChanged() {
    TCustomDoubleMethodElement::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    TNamespace* outer = FindOwnerNamespace(this);
    for (TCommandsContainer* section : {m_firstEnter, m_lastExit})
        if (section) section->Connection()->SetTarget(outer);
}

void TElement_Locker::WriteSections(TTitleWriter& writer) {
    WriteSection(writer, strOnFirstLockTitle, m_firstEnter);
    WriteSection(writer, strOnLockTitle, ContentEnter());
    WriteSection(writer, strOnUnlockTitle, ContentExit());
    WriteSection(writer, strOnLastUnlockTitle, m_lastExit);
}

void TElement_Locker::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_firstEnter)
        name = kMbrFirstEnterChild;
    else if (child && child == m_lastExit)
        name = kMbrLastExitChild;
    else
        TCustomDoubleMethodElement::GetChildName(child, filer, name);
}

// ---------------------------------------------------------------------------
// Handler

namespace {

// The reference fields of handlers and overrides tell their owner of every
// change of their target, however it came about.
template <class Owner>
void MbrTellOwnerOf(TElement* field, void (Owner::*changed)()) {
    if (field->IsBeingDestroyed()) return;
    if (auto* owner = dynamic_cast<Owner*>(field->ParentElement())) (owner->*changed)();
}

}  // namespace

bool THandlerReferenceField::CanReferTo(TNamespaceItem* item) {
    TElement* element = item ? item->GetElement() : nullptr;
    if (auto* type = dynamic_cast<TElement_MethodType*>(element)) return type->InClass();
    const TDeclarationKind kind = DeclarationKindOf(element);
    return (kind == TDeclarationKind::Event || kind == TDeclarationKind::Notification) &&
           item->IsThroughConnectionClass(TClassMembersOutConnection::StaticClass());
}

void THandlerReferenceField::TextChanged() {
    TReferenceField::TextChanged();
    MbrTellOwnerOf(this, &TElement_Handler::EventChanged);
}

void THandlerReferenceField::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    TNamespaceItem* before = GetTargetItem();
    TReferenceField::NamespaceNotify(code, item, argument);
    if (GetTargetItem() != before) MbrTellOwnerOf(this, &TElement_Handler::EventChanged);
}

void THandlerReferenceField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TReferenceField::AfterLoad(loader, datum);
    MbrTellOwnerOf(this, &TElement_Handler::EventChanged);
}

void THandlerReferenceField::UndoDependent(TKnot* snapshot) {
    TReferenceField::UndoDependent(snapshot);
    MbrTellOwnerOf(this, &TElement_Handler::EventChanged);
}

void THandlerNameField::Create() {
    TIdentifierNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
}

bool THandlerNameField::CanAutoName() {
    auto* handler = dynamic_cast<TElement_Handler*>(ParentElement());
    return handler && handler->Event() && handler->Event()->IsFilled();
}

QString THandlerNameField::GetAutoName() {
    if (!CanAutoName()) return QString();
    QString text = static_cast<TElement_Handler*>(ParentElement())->Event()->GetText();
    if (HasTypesPrefix(text)) text = text.mid(ProgramPrefix(&TProgramSettings::TypesPrefix).size());
    const int point = text.indexOf(QStringLiteral(".On"));
    if (point >= 0) text.remove(point, 3);
    return text;
}

void TElement_Handler::Create() {
    TNamedElementWithCommandContentWithResult::Create();
    CreateExpandButton(true);
    CreateDescriptionField();
    m_event = static_cast<THandlerReferenceField*>(
        TVisualElement::CreateSubElement(THandlerReferenceField::StaticClass(), this, Content(), this));
    m_event->SetOptions(m_event->Options() | eoRequired);
    m_parameters = TElement::CreateSubElement<TConnectionToParameters>(this);
    if (TCommandsContainerWithResult* body = Body()) m_parameters->SetOwner(body->Namespace());
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharHandler));
}

void TElement_Handler::BeforeDestruction() {
    if (m_parameters) m_parameters->SetOwner(nullptr);
    TNamedElementWithCommandContentWithResult::BeforeDestruction();
    m_event = nullptr;
    m_parameters = nullptr;
}

TCommandsContainerWithResult* TElement_Handler::Body() const {
    return dynamic_cast<TCommandsContainerWithResult*>(Content());
}

const TElementClass* TElement_Handler::GetNameFieldClass() { return THandlerNameField::StaticClass(); }

void TElement_Handler::EventChanged() {
    if (IsBeingDestroyed() || !m_parameters || !m_event) return;
    TElement* element = m_event->GetTargetItem() ? m_event->GetTargetItem()->GetElement() : nullptr;
    m_parameters->SetTarget(dynamic_cast<TElement_Notification*>(element) ? nullptr
                                                                            : MbrParametersOf(m_event->GetTargetItem()));
}

void TElement_Handler::FocusFirst() {
    TNamedElementWithCommandContentWithResult::FocusFirst();
    if (m_event) m_event->FocusFirst();
}

void TElement_Handler::TreePlacementChanged() {
    TNamedElementWithCommandContentWithResult::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    if (TCommandsContainerWithResult* body = Body()) body->Connection()->SetTarget(FindOwnerNamespace(this));
}

void TElement_Handler::WriteTitle(TTitleWriter& writer) {
    TNamedElementWithCommandContentWithResult::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField());
    if (m_event) writer.AddField(m_event);
    if (IsExpanded() && Content()) writer.AddBlock(Content());
}

void TElement_Handler::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_event)
        name = kMbrEventChild;
    else if (child && child == m_parameters)
        name = kMbrConnectionToParametersChild;
    else
        TNamedElementWithCommandContentWithResult::GetChildName(child, filer, name);
}

void TElement_Handler::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_event)
        text = LoadStr(strObjectEventMethodType);
    else
        TNamedElementWithCommandContentWithResult::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Override

bool TOverrideReferenceField::CanReferTo(TNamespaceItem* item) {
    auto* method = item ? dynamic_cast<TElement_Method*>(item->GetElement()) : nullptr;
    return method && method->GetDescendantsOverride() &&
           GetDeclarationContainer(method) != GetDeclarationContainer(ParentElement());
}

int TOverrideReferenceField::GetThemeKind() const { return tekNamePrivate; }

void TOverrideReferenceField::TextChanged() {
    TReferenceField::TextChanged();
    MbrTellOwnerOf(this, &TElement_Override::MethodChanged);
}

void TOverrideReferenceField::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    const bool wasTarget = item && item == GetTargetItem();
    TNamespaceItem* before = GetTargetItem();
    TReferenceField::NamespaceNotify(code, item, argument);
    // The method's result type may have changed too.
    if (GetTargetItem() != before || (wasTarget && code == nnItemChanged))
        MbrTellOwnerOf(this, &TElement_Override::MethodChanged);
}

void TOverrideReferenceField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TReferenceField::AfterLoad(loader, datum);
    MbrTellOwnerOf(this, &TElement_Override::MethodChanged);
}

void TOverrideReferenceField::UndoDependent(TKnot* snapshot) {
    TReferenceField::UndoDependent(snapshot);
    MbrTellOwnerOf(this, &TElement_Override::MethodChanged);
}

QString TOverrideInheritedElement::GetName() { return kMbrInheritedName; }
int TOverrideInheritedElement::GetImageIndex() { return ClassCharPicture(kMbrCharInherited); }
QString TOverrideInheritedElement::GetDescription() { return LoadStr(strCallingMethodParent); }

bool TOverrideInheritedElement::GetDeclaredValueType(TNamespaceItem* item, TTypeDescriptor& descriptor) {
    for (TNode* n = Parent(); n; n = n->Parent())
        if (auto* override_ = dynamic_cast<TElement_Override*>(n)) {
            TElement_Method* method = override_->OverriddenMethod();
            return method && method->GetDeclaredValueType(item, descriptor);
        }
    return false;
}

void TElement_Override::Create() {
    TTitledElementWithCommandContentWithResult::Create();
    CreateExpandButton(true);
    CreateDescriptionField();
    m_method = static_cast<TOverrideReferenceField*>(
        TVisualElement::CreateSubElement(TOverrideReferenceField::StaticClass(), this, Content(), this));
    m_method->SetOptions(m_method->Options() | eoRequired);
    m_parameters = TElement::CreateSubElement<TConnectionToParameters>(this);
    if (TCommandsContainerWithResult* body = Body()) {
        m_parameters->SetOwner(body->Namespace());
        m_inherited = TElement::CreateSubElement<TOverrideInheritedElement>(body);
    }
}

void TElement_Override::BeforeDestruction() {
    if (m_parameters) m_parameters->SetOwner(nullptr);
    TTitledElementWithCommandContentWithResult::BeforeDestruction();
    m_method = nullptr;
    m_parameters = nullptr;
    m_inherited = nullptr;
}

TCommandsContainerWithResult* TElement_Override::Body() const {
    return dynamic_cast<TCommandsContainerWithResult*>(Content());
}

TElement_Method* TElement_Override::OverriddenMethod() const {
    TNamespaceItem* target = m_method ? m_method->GetTargetItem() : nullptr;
    return target ? dynamic_cast<TElement_Method*>(target->GetElement()) : nullptr;
}

void TElement_Override::MethodChanged() {
    if (IsBeingDestroyed() || !m_parameters || !m_method) return;
    TElement_Method* method = OverriddenMethod();
    m_parameters->SetTarget(method ? method->Parameters()->Namespace() : nullptr);
    TCommandsContainerWithResult* body = Body();
    TFieldElementResult* result = body ? body->Result() : nullptr;
    if (!result) return;
    if (!method || !method->ResultType()->IsFilled()) {
        result->SetNameOptions(result->NameOptions() & ~noRegister);
        result->SetTypeItem(nullptr);
        return;
    }
    TNamespaceItem* type = method->ResultType()->GetTargetItem();
    if (!type) {
        TTypeDescriptor variant;
        GetStandardTypeDescriptor(StandardTypeName::Variant, variant);
        type = variant.TypeItem;
    }
    result->SetTypeItem(type);
    result->SetNameOptions(result->NameOptions() | noRegister);
}

void TElement_Override::InitNew(TPaletteItem* item) {
    TTitledElementWithCommandContentWithResult::InitNew(item);
    TCommandsContainerWithResult* body = Body();
    if (!body) return;
    if (auto* call = dynamic_cast<TCustomIdentifierElement*>(
            body->AddElementOfClass(TElement_IdentifierInMethod::StaticClass())))
        call->Identifier()->SetText(kMbrInheritedName);
}

void TElement_Override::FocusFirst() {
    if (m_method)
        m_method->FocusFirst();
    else
        TTitledElementWithCommandContentWithResult::FocusFirst();
}

void TElement_Override::TreePlacementChanged() {
    TTitledElementWithCommandContentWithResult::TreePlacementChanged();
    if (IsBeingDestroyed()) return;
    if (TCommandsContainerWithResult* body = Body()) body->Connection()->SetTarget(FindOwnerNamespace(this));
}

void TElement_Override::WriteTitle(TTitleWriter& writer) {
    TTitledElementWithCommandContentWithResult::WriteTitle(writer);
    writer.AddImage(ClassSmallPicture(kMbrSmallOverride));
    if (m_method) writer.AddField(m_method);
    if (IsExpanded() && Content()) writer.AddBlock(Content());
}

void TElement_Override::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_method)
        name = kMbrMethodChild;
    else if (child && child == m_parameters)
        name = kMbrConnectionToParametersChild;
    else
        TTitledElementWithCommandContentWithResult::GetChildName(child, filer, name);
}

void TElement_Override::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_method)
        text = LoadStr(strParentMethodOverrideMethod);
    else
        TTitledElementWithCommandContentWithResult::GetChildHint(child, text);
}

// ---------------------------------------------------------------------------
// Constructor

void TElement_Constructor::Create() {
    TCustomMethod::Create();
    MbrSetNamePicture(this, ClassCharPicture(kMbrCharConstructor));
}

void TElement_Constructor::GetDefaultName(QString& stem, bool&) { stem = QStringLiteral("Create"); }

void TElement_Constructor::WriteTitle(TTitleWriter& writer) {
    TCustomMethod::WriteTitle(writer);
    WriteNameAndParameters(writer);
    if (IsExpanded() && Content()) writer.AddBlock(Content());
}

// ---------------------------------------------------------------------------
// Registration

TPaletteItem* ClassMemberPaletteItem(const TElementClass* cls) noexcept {
    if (!g_memberUnit) return nullptr;
    return FindElementItem(g_memberUnit->items, cls);
}

void InitClassMemberElementsUnit() {
    if (g_memberUnit) return;
    g_memberUnit = std::make_unique<TMemberUnit>();
    AddItemOnce(ModuleElementClasses(), TElement_SubObject::StaticClass());
    AddItemsOnce(ClassMemberElementClasses(),
                 TElementClassList{TElement_Constructor::StaticClass(), TElement_Handler::StaticClass(),
                                   TElement_Override::StaticClass(), TElement_SubObject::StaticClass(),
                                   TElement_Event::StaticClass(), TElement_Notification::StaticClass(),
                                   TElement_Locker::StaticClass(), TElement_DoubleMethod::StaticClass()});
    AddItemOnce(CommandElementClasses(), TElement_SubObject::StaticClass());
    if (!Palette() || !PaletteInsertGroup()) return;
    TNode* insert = PaletteInsertGroup();
    AddElementItems(g_memberUnit->items, {
        {TElement_SubObject::StaticClass(), strSubObject, strSubObjectHint, insert, pifLargeImage,
         ClassLargePicture(kMbrLargeSubObject), 750},
        {TElement_Notification::StaticClass(), strNotification, strNotificationHint, insert, 0,
         ClassSmallPicture(kMbrSmallNotification), 195},
        {TElement_Event::StaticClass(), strEvent, strEventHint, insert, 0, ClassSmallPicture(kMbrSmallEvent), 190},
        {TElement_Handler::StaticClass(), strHandler, strHandlerHint, insert, 0, ClassSmallPicture(kMbrSmallHandler), 180},
        {TElement_DoubleMethod::StaticClass(), strDoubleMethod, strDoubleMethodHint, insert, 0,
         ClassSmallPicture(kMbrSmallDoubleMethod), 160},
        {TElement_Locker::StaticClass(), strLocker, strLockerHint, insert, 0, ClassSmallPicture(kMbrSmallDoubleMethod), 150},
        {TElement_Override::StaticClass(), strOverride, strOverrideMemberHint, insert, 0,
         ClassSmallPicture(kMbrSmallOverride), 140},
        {TElement_Constructor::StaticClass(), strConstructor, strConstructorHint, PaletteOtherInsertItem(), 0,
         ClassSmallPicture(kMbrSmallConstructor), 160},
    });
}

void FinalClassMemberElementsUnit() { g_memberUnit.reset(); }

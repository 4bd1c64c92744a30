#include "pascal/elements/prCommandElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <memory>
#include <type_traits>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomCycleCommandElement, TCustomSmallImageElement)
T_ELEMENT_CLASS_IMPL(TElement_Continue, TCustomCycleCommandElement)
T_ELEMENT_CLASS_IMPL(TElement_Break, TCustomCycleCommandElement)
T_ELEMENT_CLASS_IMPL(TElement_Assert, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Error, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Return, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Let, TTitledElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TIncDecElement, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Inc, TIncDecElement)
T_ELEMENT_CLASS_IMPL(TElement_Dec, TIncDecElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomLetWithBody, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TElement_LetTemp, TCustomLetWithBody)
T_ELEMENT_CLASS_IMPL(TElement_LetIfDifferent, TCustomLetWithBody)
T_ELEMENT_CLASS_IMPL(TElement_IfThen, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TElement_While, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TElement_Rockfall, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TDoubleMethodReferenceField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TElement_InDoubleMethod, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TForElementConnection, TNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TForElementCommandsContainer, TCommandsContainer)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomForElement, TTitledElementWithCommandContent)
T_ELEMENT_CLASS_IMPL(TElement_For, TCustomForElement)
T_ELEMENT_CLASS_IMPL(TForEachArrayField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TElement_ForEach, TCustomForElement)
T_ELEMENT_CLASS_IMPL(TCaseItemsContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TElement_Case, TTitledElementWithContent)
T_ELEMENT_CLASS_IMPL(TElement_CaseItem, TTitledElementWithCommandContent)
T_CLASS_IMPL_ABSTRACT(TForBackwardOperation, TMethodOptionOperation)

namespace {

const QString kStatementConditionChild = QStringLiteral("Condition");
const QString kStatementMessageChild = QStringLiteral("Message");
const QString kStatementResultChild = QStringLiteral("Result");
const QString kStatementLeftSideChild = QStringLiteral("LeftSide");
const QString kStatementRightSideChild = QStringLiteral("RightSide");
const QString kStatementValueChild = QStringLiteral("Value");
const QString kStatementCounterChild = QStringLiteral("Counter");
const QString kStatementMinValueChild = QStringLiteral("MinValue");
const QString kStatementMaxValueChild = QStringLiteral("MaxValue");
const QString kStatementArrayChild = QStringLiteral("Array");
const QString kStatementLocalIndexChild = QStringLiteral("LocalIndex");
const QString kStatementLocalItemChild = QStringLiteral("LocalItem");
const QString kStatementContentElseChild = QStringLiteral("ContentElse");
const QString kStatementContentFinallyChild = QStringLiteral("ContentFinally");
const QString kStatementDoubleMethodChild = QStringLiteral("DoubleMethod");
const QString kStatementBackwardAttribute = QStringLiteral("Backward");
const QString kStatementErrorText = QStringLiteral("Error");
const QString kStatementMaxValueOffset = QStringLiteral("1");

// Pictures of "prCommandElementsSmallImages".
enum : int {
    kPictureReturn = 0,
    kPictureError = 1,
    kPictureInLock = 2,
    kPictureBreak = 3,
    kPictureContinue = 4,
    kPictureWhile = 5,
    kPictureIf = 6,
    kPictureLet = 7,
    kPictureForEach = 8,
    kPictureFor = 10,
    kPictureInc = 12,
    kPictureDec = 13,
    kPictureRockfall = 14,
    kPictureCase = 15,
    kPictureAssert = 16,
    kPictureLetTemp = 17,
    kPictureLetIfDifferent = 18,
};
// Pictures of "prCommandElementsLargeImages".
enum : int { kLargeIf = 0, kLargeLet = 1, kLargeCaseItem = 2, kLargeBackward = 3, kLargeAddElse = 4 };

// The case item's text options and restrictions.
constexpr uint32_t kCaseItemsTextorOptions = 0x20121;
constexpr uint32_t kCaseItemsRestrictions = 0x20;
constexpr uint16_t kBackwardFlags = pifToggle | pifChangesElement | pifLargeImage;  // 0x340
constexpr uint16_t kAddElseFlags = pifLargeImage | pifChangesElement | pifNotForCombined;  // 0x144
constexpr int kBackwardOrder = 5;
constexpr int kAddElseOrder = 1000;

struct TCommandUnit {
    TImageStrip smallImages;
    TImageStrip largeImages;
    TSchemePaletteItem* backward = nullptr;
    TSchemePaletteItem* addElse = nullptr;
};
std::unique_ptr<TCommandUnit> g_commandUnit;

int SmallPicture(int index) { return g_commandUnit ? g_commandUnit->smallImages.Picture(index) : NoImageIndex; }

TTypeDescriptor* StatementDescriptorOf(intptr_t p) { return reinterpret_cast<TTypeDescriptor*>(p); }

bool AnswerValueTypeOf(TExpressionField* field, intptr_t p) {
    if (field) field->GetValueType(*StatementDescriptorOf(p));
    return true;
}

// A routine boundary: what a Return leaves and what a Break cannot cross.
// Asked for every ancestor of every statement that is placed or loaded, so
// the class tests walk class references instead of casting.
bool IsRoutineBoundary(TElement* element) {
    if (ClassAs<TNamedElementWithCommandContentWithResult>(element) ||
        ClassAs<TTitledElementWithCommandContentWithResult>(element))
        return true;
    const TProgramClassification classification = ClassifyElement(element);
    if (classification.Declaration != TDeclarationKind::None) return true;
    const TScopeKind scope = classification.Scope;
    return scope == TScopeKind::Object || scope == TScopeKind::Record || scope == TScopeKind::ProgramRoot;
}

bool IsLoop(TElement* element) {
    return ClassAs<TCustomForElement>(element) || ClassAs<TElement_While>(element);
}

// The next element that follows element among its parent's children (sub-elements left out).
bool HasFollowingElement(TElement* element) {
    for (TNode* n = element->NextSibling(); n; n = n->NextSibling())
        if (auto* e = ClassAs<TElement>(n); e && !e->IsSubElement()) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Parts

void TStatementParts::Add(TElement* child, const QString& name, int hintId) { m_parts.append({child, name, hintId}); }

bool TStatementParts::Name(const TElement* child, QString& name) const {
    for (const TPart& part : m_parts)
        if (child && part.Child == child) {
            name = part.Name;
            return true;
        }
    return false;
}

bool TStatementParts::Hint(const TElement* child, QString& text) const {
    for (const TPart& part : m_parts)
        if (child && part.Child == child && part.HintId) {
            text = LoadStr(part.HintId);
            return true;
        }
    return false;
}

template <class Base>
void TStatementBase<Base>::Create() {
    Base::Create();
    this->SetStyleFlags(this->StyleFlags() | tsCommand);
    this->CreateDescriptionField();
    if constexpr (std::is_base_of_v<TTitledElementWithContent, Base>) this->CreateExpandButton(true);
}

template <class Base>
void TStatementBase<Base>::TreePlacementChanged() {
    Base::TreePlacementChanged();
    if (this->IsBeingDestroyed()) return;
    // The sections see the names of the scope the statement stands in.
    TNamespace* outer = FindOwnerNamespace(this);
    QList<TCommandsContainer*> sections = m_sections;
    if constexpr (std::is_base_of_v<TTitledElementWithContent, Base>)
        if (auto* body = dynamic_cast<TCommandsContainer*>(this->Content())) sections.prepend(body);
    for (TCommandsContainer* section : sections)
        if (section->Connection()) section->Connection()->SetTarget(outer);
}

template <class Base>
TExpressionField* TStatementBase<Base>::AddValue(const QString& name, int hintId, bool required, uint16_t flags) {
    auto* field = static_cast<TExpressionField*>(
        TVisualElement::CreateSubElement(TExpressionField::StaticClass(), this, nullptr, this));
    if (required) field->SetOptions(field->Options() | eoRequired);
    field->SetAcceptFlags(flags);
    m_parts.Add(field, name, hintId);
    return field;
}

template <class Base>
TCommandsContainer* TStatementBase<Base>::AddSection(const QString& name, bool required) {
    auto* section = static_cast<TCommandsContainer*>(
        TVisualElement::CreateSubElement(TCommandsContainer::StaticClass(), this, nullptr, this));
    if (required) section->SetOptions(section->Options() | eoRequired);
    m_parts.Add(section, name, 0);
    m_sections.append(section);
    return section;
}

template <class Base>
void TStatementBase<Base>::RequireBody() {
    if constexpr (std::is_base_of_v<TTitledElementWithContent, Base>)
        if (TVisualElement* body = this->Content()) body->SetOptions(body->Options() | eoRequired);
}

template class TStatementBase<TTitledElement>;
template class TStatementBase<TTitledElementWithContent>;
template class TStatementBase<TTitledElementWithCommandContent>;

// ---------------------------------------------------------------------------
// Break and Continue

bool IsInsideLoop(TElement* target) {
    for (TElement* e = target; e; e = e->ParentElement()) {
        if (IsLoop(e)) return true;
        if (IsRoutineBoundary(e)) return false;
    }
    return false;
}

bool TCustomCycleCommandElement::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    return TCustomSmallImageElement::ClassCanBePlacedIn(cls, target) && IsInsideLoop(target);
}

int TElement_Continue::GetImageIndex() { return SmallPicture(kPictureContinue); }
void TElement_Continue::GetHint(QString& text) { text = LoadStr(strStartNextIterationCycle); }
int TElement_Break::GetImageIndex() { return SmallPicture(kPictureBreak); }
void TElement_Break::GetHint(QString& text) { text = LoadStr(strInterruptCycleGoCommans); }

// ---------------------------------------------------------------------------
// Assert, Error, Return, Let, Inc, Dec

void TElement_Assert::Create() {
    TStatementBase::Create();
    m_condition = AddValue(kStatementConditionChild, strAssertConditionHint, true, kConditionFlags);
    m_message = AddValue(kStatementMessageChild, strAssertMessageHint, false, kMessageFlags);
}

bool TElement_Assert::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_condition) return AnswerStandardType(StandardTypeName::Bool, p1);
    if (msg == nmGetExpectedType && child && child == m_message) return AnswerStandardType(StandardTypeName::Str, p1);
    return TStatementBase::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Assert::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureAssert));
    if (m_condition) writer.AddField(m_condition);
    if (m_message) writer.AddField(m_message);
}

void TElement_Error::Create() {
    TStatementBase::Create();
    m_message = AddValue(kStatementMessageChild, strErrorMessageHint, true, kMessageFlags);
}

bool TElement_Error::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_message) return AnswerStandardType(StandardTypeName::Str, p1);
    return TStatementBase::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Error::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureError));
    if (m_message) writer.AddField(m_message);
}

void TElement_Error::InitNew(TPaletteItem* item) {
    TStatementBase::InitNew(item);
    if (!m_message) return;
    if (auto* text = dynamic_cast<TTextorElement*>(m_message->AddElementOfClass(TElement_String::StaticClass())))
        text->SetText(kStatementErrorText);
}

void TElement_Error::FocusFirst() {
    TElement* value = m_message ? m_message->EmbeddedElement() : nullptr;
    if (auto* visual = dynamic_cast<TVisualElement*>(value))
        visual->FocusFirst();
    else
        TStatementBase::FocusFirst();
}

void TElement_Return::Create() {
    TStatementBase::Create();
    m_result = AddValue(kStatementResultChild, strReturnValueResultMethod, false, kDefaultAcceptFlags);
}

TReturnInfo TElement_Return::GetResultInfo() {
    TReturnInfo info;
    TElement* current = this;
    for (TElement* parent = ParentElement(); parent; current = parent, parent = parent->ParentElement()) {
        if (!current->IsSubElement() && HasFollowingElement(current)) info.IsLast = false;
        // A Case Item counts as its Case.
        if (auto* item = ClassAs<TElement_CaseItem>(parent)) {
            if (TElement_Case* owner = item->OwnerCase()) parent = owner;
        }
        if (IsLoop(parent)) info.IsLast = false;
        if (auto* anonymous = ClassAs<TElement_MethodInExpression>(parent)) {
            TTypeDescriptor expected;
            GetExpectedType(dynamic_cast<TExpressionField*>(anonymous->ParentElement()), expected);
            info.ResultType = expected.Kind == TValueTypeKind::Variant ? nullptr : expected.TypeItem;
            return info;
        }
        if (auto* method = ClassAs<TElement_Method>(parent)) {
            info.ResultType = method->ResultType() ? method->ResultType()->GetTargetItem() : nullptr;
            return info;
        }
        if (IsRoutineBoundary(parent)) {
            // Routines with a typed "Result" of their own (handlers) give its type.
            auto* body = ClassAs<TCommandsContainerWithResult>(current);
            TFieldElementResult* result = body ? body->Result() : nullptr;
            if (result && (result->NameOptions() & noRegister) &&
                DeclarationKindOf(parent) == TDeclarationKind::Handler)
                info.ResultType = result->TypeItem();
            return info;
        }
    }
    return info;
}

bool TElement_Return::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_result) {
        GetTypeDescriptor(GetResultInfo().ResultType, *StatementDescriptorOf(p1));
        return true;
    }
    return TStatementBase::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Return::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureReturn));
    if (m_result) writer.AddField(m_result);
}

void TElement_Return::FocusFirst() {
    if (m_result && GetResultInfo().ResultType)
        m_result->FocusFirst();
    else
        TStatementBase::FocusFirst();
}

void TElement_Let::Create() {
    TStatementBase::Create();
    m_left = AddValue(kStatementLeftSideChild, strFieldPropertyEvent, true, kLeftSideFlags);
    m_right = AddValue(kStatementRightSideChild, strLetRightSideHint, false, kDefaultAcceptFlags);
    m_right->SetTextorOptions(m_right->TextorOptions() | kOptionalValueTextOption);
}

bool TElement_Let::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_right) return AnswerValueTypeOf(m_left, p1);
    return TStatementBase::HandleChildMessage(child, msg, p1, p2);
}

void TElement_Let::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    if (m_left) writer.AddField(m_left);
    writer.AddImage(SmallPicture(kPictureLet));
    if (m_right) writer.AddField(m_right);
}

void TIncDecElement::Create() {
    TStatementBase::Create();
    m_value = AddValue(kStatementValueChild, 0, true, kCounterFlags);
}

void TIncDecElement::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    writer.AddImage(SmallPicture(PictureIndex()));
    if (m_value) writer.AddField(m_value);
}

int TElement_Inc::PictureIndex() const { return kPictureInc; }
int TElement_Dec::PictureIndex() const { return kPictureDec; }

// ---------------------------------------------------------------------------
// Statements with a body

void TCustomLetWithBody::Create() {
    TCommandStatement::Create();
    RequireBody();
    m_left = AddValue(kStatementLeftSideChild, strFieldPropertyEvent, true, kLeftSideFlags);
    m_right = AddValue(kStatementRightSideChild, strLetRightSideHint, false, kTempRightSideFlags);
    m_right->SetTextorOptions(m_right->TextorOptions() | kOptionalValueTextOption);
}

bool TCustomLetWithBody::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_right) return AnswerValueTypeOf(m_left, p1);
    return TCommandStatement::HandleChildMessage(child, msg, p1, p2);
}

void TCustomLetWithBody::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    if (m_left) writer.AddField(m_left);
    writer.AddImage(SmallPicture(PictureIndex()));
    if (m_right) writer.AddField(m_right);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TCustomLetWithBody::FocusFirst() {
    if (m_left)
        m_left->FocusFirst();
    else
        TCommandStatement::FocusFirst();
}

int TElement_LetTemp::PictureIndex() const { return kPictureLetTemp; }
int TElement_LetIfDifferent::PictureIndex() const { return kPictureLetIfDifferent; }

void TElement_IfThen::Create() {
    TCommandStatement::Create();
    RequireBody();
    m_condition = AddValue(kStatementConditionChild, strIfConditionHint, true, kConditionFlags);
    m_else = AddSection(kStatementContentElseChild, false);
    m_else->SetVisualOptions(m_else->VisualOptions() | voHiddenWhileEmpty);
}

bool TElement_IfThen::ShowsElse() const { return m_else && m_else->IsVisible(); }

void TElement_IfThen::AddElse() {
    if (!m_else) return;
    SetExpanded(true);
    m_else->Focus();
    m_else->SelectAll();
}

bool TElement_IfThen::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_condition) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCommandStatement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_IfThen::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureIf));
    if (m_condition) writer.AddField(m_condition);
    if (!IsExpanded()) return;
    if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
    if (ShowsElse()) writer.AddBlock(m_else);
}

void TElement_IfThen::FocusFirst() {
    if (m_condition)
        m_condition->FocusFirst();
    else
        TCommandStatement::FocusFirst();
}

void TElement_IfThen::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCommandStatement::GetPaletteItems(list);
    if (AddElsePaletteItem()) list.append(AddElsePaletteItem());
}

void TElement_IfThen::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (item && item == AddElsePaletteItem()) {
        state.Enabled = true;
        return;
    }
    TCommandStatement::UpdatePaletteItemState(item, state);
}

bool TElement_IfThen::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == AddElsePaletteItem()) {
        AddElse();
        return true;
    }
    return TCommandStatement::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_While::Create() {
    TCommandStatement::Create();
    m_condition = AddValue(kStatementConditionChild, strWhileConditionHint, true, kConditionFlags);
}

bool TElement_While::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_condition) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCommandStatement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_While::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureWhile));
    if (m_condition) writer.AddField(m_condition);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_While::FocusFirst() {
    if (m_condition)
        m_condition->FocusFirst();
    else
        TCommandStatement::FocusFirst();
}

void TElement_Rockfall::Create() {
    TCommandStatement::Create();
    RequireBody();
    m_finally = AddSection(kStatementContentFinallyChild, true);
}

void TElement_Rockfall::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureRockfall));
    if (!IsExpanded()) return;
    if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
    if (m_finally) writer.AddBlock(m_finally);
}

bool TDoubleMethodReferenceField::CanReferTo(TNamespaceItem* item) {
    const TDeclarationKind kind = DeclarationKindOf(item);
    return kind == TDeclarationKind::DoubleMethod || kind == TDeclarationKind::Locker;
}

void TElement_InDoubleMethod::Create() {
    TCommandStatement::Create();
    RequireBody();
    m_method = static_cast<TDoubleMethodReferenceField*>(
        TVisualElement::CreateSubElement(TDoubleMethodReferenceField::StaticClass(), this, nullptr, this));
    m_method->SetOptions(m_method->Options() | eoRequired);
    m_parts.Add(m_method, kStatementDoubleMethodChild, strDoubleMethodOrLocker);
}

void TElement_InDoubleMethod::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    if (m_method) writer.AddField(m_method);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_InDoubleMethod::FocusFirst() {
    if (m_method)
        m_method->FocusFirst();
    else
        TCommandStatement::FocusFirst();
}

// ---------------------------------------------------------------------------
// Loops

bool TForElementConnection::AcceptsItem(TNamespaceItem* item) {
    if (!TNamespaceConnection::AcceptsItem(item)) return false;
    TElement* element = item ? item->GetElement() : nullptr;
    return !dynamic_cast<TFieldElementLocalIndex*>(element) && !dynamic_cast<TFieldElementLocalItem*>(element);
}

const TElementClass* TForElementCommandsContainer::GetConnectionClass() { return TForElementConnection::StaticClass(); }

void TForElementCommandsContainer::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (dynamic_cast<TFieldElementLocalIndex*>(child))
        name = kStatementLocalIndexChild;
    else if (dynamic_cast<TFieldElementLocalItem*>(child))
        name = kStatementLocalItemChild;
    else
        TCommandsContainer::GetChildName(child, filer, name);
}

const TElementClass* TCustomForElement::GetContentClass() { return TForElementCommandsContainer::StaticClass(); }

TForElementCommandsContainer* TCustomForElement::Body() const {
    return dynamic_cast<TForElementCommandsContainer*>(Content());
}

void TCustomForElement::SetBackward(bool value) {
    if (value == m_backward) return;
    m_backward = value;
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

int TCustomForElement::LoopPicture(int forward) const { return SmallPicture(forward + (m_backward ? 1 : 0)); }

void TCustomForElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCommandStatement::GetPaletteItems(list);
    if (BackwardPaletteItem()) list.append(BackwardPaletteItem());
}

void TCustomForElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (item && item == BackwardPaletteItem()) {
        state.Enabled = true;
        state.Checked = m_backward;
        return;
    }
    TCommandStatement::UpdatePaletteItemState(item, state);
}

bool TCustomForElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item && item == BackwardPaletteItem()) {
        if (checked != m_backward) TSchemeOperation::Execute(MakeNode<TForBackwardOperation>(this, int(checked)));
        return true;
    }
    return TCommandStatement::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomForElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCommandStatement::LoadFrom(loader, knot);
    SetBackward(ReadOptionFlag(knot, kStatementBackwardAttribute, false));
}

void TCustomForElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCommandStatement::SaveTo(saver, knot);
    WriteOptionFlag(knot, kStatementBackwardAttribute, m_backward, false);
}

int TForBackwardOperation::Get(TElement* element) const {
    return int(static_cast<TCustomForElement*>(element)->Backward());
}

void TForBackwardOperation::Set(TElement* element, int value) const {
    static_cast<TCustomForElement*>(element)->SetBackward(value != 0);
}

void TElement_For::Create() {
    TCustomForElement::Create();
    RequireBody();
    m_counter = AddValue(kStatementCounterChild, strFieldCounter, true, kCounterFlags);
    m_min = AddValue(kStatementMinValueChild, strMinimumValue, false, kBoundFlags);
    m_max = AddValue(kStatementMaxValueChild, strMaximumValue, false, kBoundFlags);
    m_min->SetTextorOptions(m_min->TextorOptions() | kOptionalValueTextOption);
    m_max->SetTextorOptions(m_max->TextorOptions() | kOptionalValueTextOption);
}

bool TElement_For::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && (child == m_min || child == m_max))
        return AnswerStandardType(StandardTypeName::Int, p1);
    return TCustomForElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_For::WriteTitle(TTitleWriter& writer) {
    TCustomForElement::WriteTitle(writer);
    writer.AddImage(LoopPicture(kPictureFor));
    if (m_counter) writer.AddField(m_counter);
    writer.AddText(LoadStr(strForMinTitle));
    if (m_min) writer.AddField(m_min);
    writer.AddText(LoadStr(strForMaxTitle));
    if (m_max) writer.AddField(m_max);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_For::InitNew(TPaletteItem* item) {
    TCustomForElement::InitNew(item);
    if (!m_max) return;
    auto* difference = dynamic_cast<TElement_Operation*>(m_max->AddElementOfClass(TElement_Operation::StaticClass()));
    if (!difference) return;
    difference->SetKind(uint8_t(TOperationKind::Minus));
    if (TExpressionField* right = difference->RightSide()) right->SetText(kStatementMaxValueOffset);
}

void TElement_For::FocusFirst() {
    TCustomForElement::FocusFirst();
    if (m_counter) m_counter->FocusFirst();
}

bool TForEachArrayField::CanReferTo(TNamespaceItem* item) {
    if (!item) return false;
    // A name of an enclosing scope comes as a cover: compare what it shows.
    TNamespaceItem* original = item->GetOriginal();
    TElement* element = original->GetElement();
    switch (DeclarationKindOf(element)) {
    case TDeclarationKind::ArrayProperty: {
        auto* declaration = dynamic_cast<IValueDeclaration*>(element);
        return !declaration || declaration->GetValueNameRole(original) == TValueNameRole::Main;
    }
    case TDeclarationKind::Enum:
        return original == MainNameItem(element);
    case TDeclarationKind::Field:
    case TDeclarationKind::Parameter: {
        auto* field = dynamic_cast<TCustomFieldWithArrayTypeSupport*>(element);
        if (!field || !field->TypeField()) return false;
        TTypeDescriptor type;
        GetTypeDescriptor(field->TypeField()->GetTargetItem(), type);
        switch (type.Kind) {
        case TValueTypeKind::Integer:
        case TValueTypeKind::Index:
        case TValueTypeKind::String:
        case TValueTypeKind::Array:
        case TValueTypeKind::EnumSet:
            return true;
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

void TForEachArrayField::TellLoop() {
    if (IsBeingDestroyed()) return;
    if (auto* loop = dynamic_cast<TElement_ForEach*>(ParentElement())) loop->ArrayChanged();
}

void TForEachArrayField::NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) {
    const bool wasTarget = item && item == GetTargetItem();
    TReferenceField::NamespaceNotify(code, item, argument);
    if (wasTarget || code == nnItemChanged) TellLoop();
}

void TForEachArrayField::TextChanged() {
    TReferenceField::TextChanged();
    TellLoop();
}

void TForEachArrayField::AfterLoad(TSchemeLoader* loader, intptr_t datum) {
    TReferenceField::AfterLoad(loader, datum);
    TellLoop();
}

void TForEachArrayField::UndoDependent(TKnot* snapshot) {
    TReferenceField::UndoDependent(snapshot);
    TellLoop();
}

TNamespaceItem* TElement_ForEach::ItemTypeOf(TNamespaceItem* target) {
    TElement* element = target ? target->GetElement() : nullptr;
    if (!element) return nullptr;
    if (DeclarationKindOf(element) == TDeclarationKind::ArrayProperty) {
        TTypeDescriptor type;
        if (auto* declaration = dynamic_cast<IValueDeclaration*>(element))
            declaration->GetDeclaredValueType(target, type);
        return type.TypeItem;
    }
    auto* field = dynamic_cast<TCustomField*>(element);
    if (!field || !field->TypeField()) return nullptr;
    TTypeDescriptor type;
    GetTypeDescriptor(field->TypeField()->GetTargetItem(), type);
    switch (type.Kind) {
    case TValueTypeKind::String: {
        TTypeDescriptor character;
        GetStandardTypeDescriptor(StandardTypeName::Char, character);
        return character.TypeItem;
    }
    case TValueTypeKind::Array: {
        TNamespaceItem* resolved = ResolveTypeAlias(field->TypeField()->GetTargetItem());
        auto* array = dynamic_cast<TElement_Array*>(resolved ? resolved->GetElement() : nullptr);
        return array && array->ElementType() ? array->ElementType()->GetTargetItem() : nullptr;
    }
    case TValueTypeKind::EnumSet:
        return MainNameItem(type.TypeItem ? type.TypeItem->GetElement() : nullptr);
    default:
        return nullptr;
    }
}

void TElement_ForEach::Create() {
    TCustomForElement::Create();
    RequireBody();
    m_array = static_cast<TForEachArrayField*>(
        TVisualElement::CreateSubElement(TForEachArrayField::StaticClass(), this, nullptr, this));
    m_array->SetOptions(m_array->Options() | eoRequired);
    m_parts.Add(m_array, kStatementArrayChild, strForEachArrayHint);
    if (TForElementCommandsContainer* body = Body()) {
        m_index = TElement::CreateSubElement<TFieldElementLocalIndex>(body);
        m_item = TElement::CreateSubElement<TFieldElementLocalItem>(body);
        m_item->SetNameOptions(m_item->NameOptions() & ~noRegister);
    }
}

void TElement_ForEach::ArrayChanged() {
    if (!m_item || IsBeingDestroyed()) return;
    TNamespaceItem* type = ItemTypeOf(m_array ? m_array->GetTargetItem() : nullptr);
    m_item->SetTypeItem(type);
    const uint8_t options = type ? uint8_t(m_item->NameOptions() | noRegister)
                                 : uint8_t(m_item->NameOptions() & ~noRegister);
    if (options != m_item->NameOptions()) m_item->SetNameOptions(options);
}

void TElement_ForEach::WriteTitle(TTitleWriter& writer) {
    TCustomForElement::WriteTitle(writer);
    writer.AddImage(LoopPicture(kPictureForEach));
    if (m_array) writer.AddField(m_array);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_ForEach::FocusFirst() {
    if (m_array)
        m_array->FocusFirst();
    else
        TCustomForElement::FocusFirst();
}

// ---------------------------------------------------------------------------
// Case

void TCaseItemsContainer::Create() {
    TTitledTextContainer::Create();
    SetTextorOptions(TextorOptions() | kCaseItemsTextorOptions);
    SetRestrictions(TextRestrictions() | kCaseItemsRestrictions);
}

void TCaseItemsContainer::FillAcceptedClasses(TElementClassList& list) {
    list.append(TElement_CaseItem::StaticClass());
    TTitledTextContainer::FillAcceptedClasses(list);
}

const TElementClass* TElement_Case::GetContentClass() { return TCaseItemsContainer::StaticClass(); }

void TElement_Case::Create() {
    TStatementBase::Create();
    RequireBody();
    m_value = AddValue(kStatementValueChild, strKeyExpressionDataType, true, kCaseValueFlags);
    m_else = AddSection(kStatementContentElseChild, false);
}

void TElement_Case::WriteTitle(TTitleWriter& writer) {
    TStatementBase::WriteTitle(writer);
    writer.AddImage(SmallPicture(kPictureCase));
    if (m_value) writer.AddField(m_value);
    if (!IsExpanded()) return;
    if (TVisualElement* items = GetContentContainer()) writer.AddBlock(items);
    writer.AddText(LoadStr(strCaseElseTitle));
    writer.NewLine();
    if (m_else) writer.AddBlock(m_else);
}

void TElement_Case::FocusFirst() {
    if (m_value)
        m_value->FocusFirst();
    else
        TStatementBase::FocusFirst();
}

TElement_Case* TElement_CaseItem::OwnerCase() const {
    for (TElement* e = ParentElement(); e; e = e->ParentElement())
        if (auto* owner = dynamic_cast<TElement_Case*>(e)) return owner;
    return nullptr;
}

void TElement_CaseItem::Create() {
    TCommandStatement::Create();
    m_value = AddValue(kStatementValueChild, strCaseItemValueHint, false, kCaseItemValueFlags);
}

bool TElement_CaseItem::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetExpectedType && child && child == m_value) {
        TElement_Case* owner = OwnerCase();
        return AnswerValueTypeOf(owner ? owner->Value() : nullptr, p1);
    }
    return TCommandStatement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_CaseItem::WriteTitle(TTitleWriter& writer) {
    TCommandStatement::WriteTitle(writer);
    if (m_value) writer.AddField(m_value);
    if (IsExpanded())
        if (TVisualElement* body = GetContentContainer()) writer.AddBlock(body);
}

void TElement_CaseItem::FocusFirst() {
    if (m_value)
        m_value->FocusFirst();
    else
        TCommandStatement::FocusFirst();
}

// ---------------------------------------------------------------------------
// Unit

TSchemePaletteItem* BackwardPaletteItem() noexcept { return g_commandUnit ? g_commandUnit->backward : nullptr; }
TSchemePaletteItem* AddElsePaletteItem() noexcept { return g_commandUnit ? g_commandUnit->addElse : nullptr; }
int LetLargePicture() noexcept { return g_commandUnit ? g_commandUnit->largeImages.Picture(kLargeLet) : NoImageIndex; }

namespace {

struct TCommandItemRow {
    const TElementClass* cls;
    int caption;
    int hint;
    bool other;
    uint16_t flags;
    int picture;
    int order;
};

}  // namespace

void InitCommandElementsUnit() {
    if (g_commandUnit) return;
    auto unit = std::make_unique<TCommandUnit>();
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prCommandElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prCommandElementsLargeImages"));
    g_commandUnit = std::move(unit);

    AddItemsOnce(CommandElementClasses(),
                 TElementClassList{TElement_Assert::StaticClass(), TElement_Error::StaticClass(),
                                   TElement_Let::StaticClass(), TElement_LetTemp::StaticClass(),
                                   TElement_LetIfDifferent::StaticClass(), TElement_IfThen::StaticClass(),
                                   TElement_While::StaticClass(), TElement_Rockfall::StaticClass(),
                                   TElement_Continue::StaticClass(), TElement_Break::StaticClass(),
                                   TElement_Return::StaticClass(), TElement_ForEach::StaticClass(),
                                   TElement_For::StaticClass(), TElement_Inc::StaticClass(),
                                   TElement_Dec::StaticClass(), TElement_Case::StaticClass(),
                                   TElement_InDoubleMethod::StaticClass()});
    const TImageStrip& large = g_commandUnit->largeImages;
    const TCommandItemRow rows[] = {
        {TElement_Let::StaticClass(), strLet, strAssigningValueFieldHandler, false, pifLargeImage, large.Picture(kLargeLet), 1900},
        {TElement_IfThen::StaticClass(), strIf, strIfHint, false, pifLargeImage, large.Picture(kLargeIf), 1800},
        {TElement_ForEach::StaticClass(), strForEach, strForEachHint, false, pifNewColumn, SmallPicture(kPictureForEach), 1200},
        {TElement_For::StaticClass(), strFor, strForHint, false, 0, SmallPicture(kPictureFor), 1190},
        {TElement_While::StaticClass(), strWhile, strWhileHint, false, 0, SmallPicture(kPictureWhile), 1180},
        {TElement_Assert::StaticClass(), strAssert, strAssertHint, false, 0, SmallPicture(kPictureAssert), 950},
        {TElement_Error::StaticClass(), strErrorCommand, strRaisingExceptionInterruptFollowing, false, 0,
         SmallPicture(kPictureError), 850},
        {TElement_Case::StaticClass(), strCase, strCaseHint, false, 0, SmallPicture(kPictureCase), 840},
        {TElement_Return::StaticClass(), strReturn, strExitFromMethodReturn, false, pifNewColumn,
         SmallPicture(kPictureReturn), 820},
        {TElement_Continue::StaticClass(), strContinue, strStartNextIterationCycle, false, 0,
         SmallPicture(kPictureContinue), 810},
        {TElement_Break::StaticClass(), strBreak, strInterruptCycleGoCommans, false, 0, SmallPicture(kPictureBreak), 805},
        {TElement_Inc::StaticClass(), strInc, strIncreaseNumber, true, 0, SmallPicture(kPictureInc), 990},
        {TElement_Dec::StaticClass(), strDec, strDecreaseNumber, true, 0, SmallPicture(kPictureDec), 980},
        {TElement_InDoubleMethod::StaticClass(), strInLock, strInLockHint, true, 0, SmallPicture(kPictureInLock), 960},
        {TElement_Rockfall::StaticClass(), strRockfall, strRockfallHint, true, 0, SmallPicture(kPictureRockfall), 928},
        {TElement_LetTemp::StaticClass(), strLetTemp, strTemporaryAssignmentValue, true, 0, SmallPicture(kPictureLetTemp),
         900},
        {TElement_LetIfDifferent::StaticClass(), strLetIfDifferent, strLetIfDifferentHint, true, 0,
         SmallPicture(kPictureLetIfDifferent), 890},
    };
    if (CommandsPaletteGroup())
        for (const TCommandItemRow& row : rows) {
            TNode* parent = row.other ? static_cast<TNode*>(CommandsOtherItem()) : CommandsPaletteGroup();
            TElementPaletteItem::Create(parent, row.flags, row.picture, row.caption, row.hint, row.order, row.cls);
        }
    if (TPaletteGroup* insert = PaletteInsertGroup())
        TElementPaletteItem::Create(insert, pifLargeImage, large.Picture(kLargeCaseItem), strCaseItem, strCaseItemHint, 100,
                                    TElement_CaseItem::StaticClass());
    if (PaletteOptionsGroup())
        g_commandUnit->backward = TSchemePaletteItem::Create(PaletteOptionsGroup(), kBackwardFlags,
                                                             large.Picture(kLargeBackward), strBackward,
                                                             strBackwardHint, kBackwardOrder);
    if (PaletteActionsGroup())
        g_commandUnit->addElse = TSchemePaletteItem::Create(PaletteActionsGroup(), kAddElseFlags,
                                                            large.Picture(kLargeAddElse), strAddElse, strAddElseHint,
                                                            kAddElseOrder);
}

void FinalCommandElementsUnit() {
    // The class group and the palette entries belong to their registries.
    g_commandUnit.reset();
}

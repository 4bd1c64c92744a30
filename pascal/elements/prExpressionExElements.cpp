#include "pascal/elements/prExpressionExElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diFilers.h"
#include "scheme/diUtils.h"
#include "text/diTextorElement.h"

#include <memory>
#include <optional>

T_ELEMENT_CLASS_IMPL(TOperatorValueField, TExpressionExField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomTwoValueOperatorElement, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_Compare, TCustomTwoValueOperatorElement)
T_ELEMENT_CLASS_IMPL(TElement_Operation, TCustomTwoValueOperatorElement)
T_CLASS_IMPL_ABSTRACT(TOperatorElementPaletteItem, TElementPaletteItem)
T_CLASS_IMPL_ABSTRACT(TCustomTwoValueOperatorElementChangeKindOperation, TElementOperation)
T_CLASS_IMPL_ABSTRACT(TCompareKindOperation, TCustomTwoValueOperatorElementChangeKindOperation)
T_CLASS_IMPL_ABSTRACT(TOperationKindOperation, TCustomTwoValueOperatorElementChangeKindOperation)

namespace {

const QString kKindAttribute = QStringLiteral("Kind");
const QString kLeftSideChild = QStringLiteral("LeftSide");
const QString kRightSideChild = QStringLiteral("RightSide");
const QString kAdditionalValueChild = QStringLiteral("AdditionalValue%1");

// An additional value: shown only while filled or edited.
constexpr uint32_t kAdditionalValueTextorOptions = toEmptyWidth;

constexpr int kCompareKindGroupOrder = 1100;
constexpr int kOperationKindGroupOrder = 1000;
constexpr int kAddValueOrder = 1100;
constexpr uint16_t kKindCommandFlags = pifLargeImage | pifChangesElement | pifRadio;
constexpr uint16_t kAddValueFlags = pifLargeImage | pifChangesElement | pifNotForCombined;
// Pictures of the small strip: the operation kinds, then the compare kinds.
constexpr int kCompareSmallPictureBase = 5;
enum : int { kLargePictureAddValue = 0, kLargePictureSumm = 1, kLargePictureDifference = 2 };

struct TKindRow {
    const char* storedName;  // nullptr: not written
    int caption;
    int hint;
    uint16_t left;
    uint16_t right;
    int commandOrder;
    // The element palette item.
    uint16_t itemFlags;
    int itemOrder;
};

constexpr TKindRow kCompareKinds[kCompareKindCount] = {
    {nullptr, strEqual, strValuesAreEqual, 0x47F, 0x47F, 100, 0, 800},
    {"Near", strSame, strValuesAreEqualWithoutCaseSensitive, 0x602, 0x402, 80, 0, 790},
    {"Different", strDifferent, strValuesAreNotEqual, 0x47F, 0x47F, 60, 0, 780},
    {"More", strMore, strFirstValueIsMoreThanSecond, 0x40E, 0x40E, 40, pifNewColumn | pifNoCaption, 770},
    {"MoreOrEqual", strMoreOrEqual, strFirstValueIsMoreOrEqual, 0x40E, 0x40E, 35, pifNoCaption, 765},
    {"Less", strLess, strFirstValueIsLessThanSecond, 0x40E, 0x40E, 30, pifNoCaption, 755},
    {"LessOrEqual", strLessOrEqual, strFirstValueIsLessOrEqual, 0x40E, 0x40E, 20, pifNoCaption, 750},
    {"And", strAnd, strBothValuesAreTrue, 0x401, 0x401, 16, 0, 970},
    {"Or", strOr, strFirstOrSecondValueIsTrue, 0x401, 0x401, 12, 0, 960},
    {"In", strContainedIn, strContainedInHint, 0x47F, 0x47F, 10, pifNoCaption, 760},
    {"NotIn", strNotContainedIn, strNotContainedInHint, 0x47F, 0x47F, 8, pifNoCaption, 745},
};

constexpr TKindRow kOperationKinds[kOperationKindCount] = {
    {nullptr, strSumm, strSummOfNumbersOrConcatenationOf, 0x40E, 0x40E, 100, pifLargeImage | pifNewColumn, 500},
    {"Minus", strDifference, strDifferenceHint, 0x40C, 0x40C, 80, pifLargeImage, 490},
    {"Multiply", strMultiplication, strMultiplyValues, 0x40C, 0x40C, 60, pifNewColumn | pifNoCaption, 480},
    {"Divide", strDivide, strDivideHint, 0x40C, 0x40C, 40, pifNoCaption, 470},
    {"DivideInt", strDivideInt, strDivideIntHint, 0x404, 0x404, 20, pifNoCaption, 460},
};

struct TExpressionExUnit {
    TImageStrip smallImages;
    TImageStrip largeImages;
    TSchemePaletteItem* addValue = nullptr;
    std::array<TSchemePaletteItem*, kCompareKindCount> compareCommands{};
    std::array<TSchemePaletteItem*, kOperationKindCount> operationCommands{};
    std::array<TPaletteItem*, kCompareKindCount> compareItems{};
    std::array<TPaletteItem*, kOperationKindCount> operationItems{};
};
std::unique_ptr<TExpressionExUnit> g_unit;

int OperatorSmallPicture(int picture) { return g_unit ? g_unit->smallImages.Picture(picture) : NoImageIndex; }

TTypeDescriptor* OperatorDescriptor(intptr_t p) { return reinterpret_cast<TTypeDescriptor*>(p); }

bool HasFlag(uint16_t flags, uint16_t bit) noexcept { return flags & bit; }

QString KindStoredName(const TKindRow& row) { return row.storedName ? QLatin1String(row.storedName) : QString(); }

template <size_t N>
bool FindKindItem(const std::array<TSchemePaletteItem*, N>& items, const TPaletteItem* item, uint8_t& kind) {
    for (size_t i = 0; i < N; ++i)
        if (items[i] && items[i] == item) {
            kind = uint8_t(i);
            return true;
        }
    return false;
}

// The compare kinds a Compare of kind offers: its family.
QList<int> CompareFamily(TCompareKind kind) {
    switch (kind) {
    case TCompareKind::And:
    case TCompareKind::Or:
        return {int(TCompareKind::And), int(TCompareKind::Or)};
    case TCompareKind::In:
    case TCompareKind::NotIn:
        return {int(TCompareKind::In), int(TCompareKind::NotIn)};
    default:
        return {0, 1, 2, 3, 4, 5, 6};
    }
}

TCustomTwoValueOperatorElement* OperatorOf(TElement* field) {
    return dynamic_cast<TCustomTwoValueOperatorElement*>(field ? field->ParentElement() : nullptr);
}

// The value field that holds element; nil.
TExpressionField* HolderOf(TElement* element) {
    for (TElement* e = element ? element->ParentElement() : nullptr; e; e = e->ParentElement())
        if (auto* field = ClassAs<TExpressionField>(e)) return field;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// TOperatorValueField

void TOperatorValueField::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    TCustomTwoValueOperatorElement* owner = OperatorOf(this);
    if (owner && item == AddValuePaletteItem()) {
        state.Enabled = owner->AllowsAdditionalValues() && owner->FilledAdditionalValues() < kAdditionalValueCount;
        return;
    }
    TExpressionExField::UpdatePaletteItemState(item, state);
}

bool TOperatorValueField::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    TCustomTwoValueOperatorElement* owner = OperatorOf(this);
    if (owner && item == AddValuePaletteItem()) {
        if (owner->AllowsAdditionalValues()) owner->AddValue();
        return true;
    }
    return TExpressionExField::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// TCustomTwoValueOperatorElement

void TCustomTwoValueOperatorElement::Create() {
    TTitledElement::Create();
    SetStyleFlags(StyleFlags() | tsExpression);
    CreateDescriptionField();
    for (int i = 0; i < kOperatorValueCount; ++i) {
        auto* field = static_cast<TOperatorValueField*>(
            TVisualElement::CreateSubElement(TOperatorValueField::StaticClass(), this, nullptr, this));
        if (i < 2) {
            field->SetOptions(field->Options() | eoRequired);
        } else {
            field->SetVisualOptions(field->VisualOptions() | voHiddenWhileEmpty);
            field->SetTextorOptions(field->TextorOptions() | kAdditionalValueTextorOptions);
        }
        field->SetInheritMask(imNoVariables);
        m_values[size_t(i)] = field;
    }
    UpdateValueFlags();
}

void TCustomTwoValueOperatorElement::BeforeDestruction() {
    TTitledElement::BeforeDestruction();
    m_values.fill(nullptr);
}

TExpressionField* TCustomTwoValueOperatorElement::GetAdditionalValue(int index) const {
    return index >= 0 && index < kAdditionalValueCount ? m_values[size_t(2 + index)] : nullptr;
}

int TCustomTwoValueOperatorElement::FilledAdditionalValues() const {
    int filled = 0;
    for (int i = 0; i < kAdditionalValueCount; ++i)
        if (TExpressionField* field = GetAdditionalValue(i); field && field->IsFilled()) ++filled;
    return filled;
}

void TCustomTwoValueOperatorElement::SetKind(uint8_t kind) {
    if (kind == m_kind || kind >= KindCount()) return;
    m_kind = kind;
    UpdateValueFlags();
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TCustomTwoValueOperatorElement::UpdateValueFlags() {
    if (!m_values[0]) return;
    uint16_t left = 0;
    uint16_t right = 0;
    GetSideFlags(m_kind, left, right);
    for (size_t i = 0; i < m_values.size(); ++i) m_values[i]->SetAcceptFlags(i == 0 ? left : right);
}

bool TCustomTwoValueOperatorElement::AddValue() {
    for (int i = 0; i < kAdditionalValueCount; ++i) {
        TExpressionField* field = GetAdditionalValue(i);
        if (!field || field->IsFilled()) continue;
        field->FocusFirst();
        UpdateTitleLayout();
        return true;
    }
    return false;
}

uint8_t TCustomTwoValueOperatorElement::KindOfStoredName(QStringView name) const {
    if (name.isEmpty()) return 0;
    for (int kind = 1; kind < KindCount(); ++kind)
        if (name.compare(StoredKindName(uint8_t(kind)), Qt::CaseInsensitive) == 0) return uint8_t(kind);
    return 0;
}

void TCustomTwoValueOperatorElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TTitledElement::SaveTo(saver, knot);
    if (m_kind) knot->WriteStr(kKindAttribute, StoredKindName(m_kind));
}

void TCustomTwoValueOperatorElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TTitledElement::LoadFrom(loader, knot);
    SetKind(knot->ReadStrView(kKindAttribute, {}, [this](QStringView stored) { return KindOfStoredName(stored); }));
}

void TCustomTwoValueOperatorElement::InitNew(TPaletteItem* item) {
    TTitledElement::InitNew(item);
    if (auto* kindItem = dynamic_cast<TOperatorElementPaletteItem*>(item);
        kindItem && kindItem->ElementClass() == ElementClass())
        SetKind(kindItem->Kind());
}

void TCustomTwoValueOperatorElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TTitledElement::GetPaletteItems(list);
    list << FamilyKindItems();
}

void TCustomTwoValueOperatorElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    uint8_t kind = 0;
    if (IsKindItem(item, kind)) {
        state.Enabled = true;
        state.Checked = kind == m_kind;
        return;
    }
    TTitledElement::UpdatePaletteItemState(item, state);
}

bool TCustomTwoValueOperatorElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    uint8_t kind = 0;
    if (IsKindItem(item, kind)) {
        if (kind != m_kind && FamilyKindItems().contains(item)) TSchemeOperation::Execute(MakeKindOperation(kind));
        return true;
    }
    return TTitledElement::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomTwoValueOperatorElement::GetChildPaletteItems(TElement* child, QList<TPaletteItem*>& list) {
    TTitledElement::GetChildPaletteItems(child, list);
    if (AllowsAdditionalValues() && AddValuePaletteItem() && dynamic_cast<TOperatorValueField*>(child))
        list.append(AddValuePaletteItem());
}

void TCustomTwoValueOperatorElement::WriteTitle(TTitleWriter& writer) {
    TTitledElement::WriteTitle(writer);
    if (!m_values[0]) return;
    const int picture = KindPicture(m_kind);
    writer.AddField(m_values[0]);
    writer.AddImage(picture);
    writer.AddField(m_values[1]);
    for (int i = 0; i < kAdditionalValueCount; ++i) {
        auto* field = static_cast<TTextorElement*>(GetAdditionalValue(i));
        if (!field->IsFilled() && !field->IsEdited()) continue;
        writer.AddImage(picture);
        writer.AddField(field);
    }
}

void TCustomTwoValueOperatorElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    for (size_t i = 0; child && i < m_values.size(); ++i)
        if (m_values[i] == child) {
            name = i == 0 ? kLeftSideChild : i == 1 ? kRightSideChild : kAdditionalValueChild.arg(i - 1);
            return;
        }
    TTitledElement::GetChildName(child, filer, name);
}

void TCustomTwoValueOperatorElement::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_values[0]) {
        text = LoadStr(LeftHintId());
    } else if (child && child == m_values[1]) {
        text = LoadStr(RightHintId());
    } else {
        TTitledElement::GetChildHint(child, text);
    }
}

void TCustomTwoValueOperatorElement::ExpectedOfHolder(TTypeDescriptor& descriptor) {
    GetExpectedType(HolderOf(this), descriptor);
}

// ---------------------------------------------------------------------------
// Compare

bool TElement_Compare::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomTwoValueOperatorElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || (HasFlag(field->AcceptFlags(), afLogical) && !HasFlag(field->AcceptFlags(), afAssignTarget));
}

bool TElement_Compare::AllowsAdditionalValues() const {
    return CompareKind() == TCompareKind::And || CompareKind() == TCompareKind::Or;
}

QString TElement_Compare::StoredKindName(uint8_t kind) const {
    return kind < kCompareKindCount ? KindStoredName(kCompareKinds[kind]) : QString();
}

void TElement_Compare::GetSideFlags(uint8_t kind, uint16_t& left, uint16_t& right) const {
    left = kCompareKinds[kind].left;
    right = kCompareKinds[kind].right;
}

QList<TPaletteItem*> TElement_Compare::FamilyKindItems() const {
    QList<TPaletteItem*> items;
    if (!g_unit) return items;
    for (int kind : CompareFamily(CompareKind())) items << g_unit->compareCommands[size_t(kind)];
    return items;
}

bool TElement_Compare::IsKindItem(const TPaletteItem* item, uint8_t& kind) const {
    return g_unit && FindKindItem(g_unit->compareCommands, item, kind);
}

TNodePtr<TSchemeOperation> TElement_Compare::MakeKindOperation(uint8_t kind) {
    return MakeNode<TCompareKindOperation>(this, kind);
}

int TElement_Compare::KindPicture(uint8_t kind) const { return OperatorSmallPicture(kCompareSmallPictureBase + kind); }
int TElement_Compare::LeftHintId() const { return strCompareLeftHint; }
int TElement_Compare::RightHintId() const { return strCompareRightHint; }

bool TElement_Compare::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetValueType) return AnswerStandardType(StandardTypeName::Bool, p1);
    return TCustomTwoValueOperatorElement::HandleNodeMessage(msg, p1, p2);
}

bool TElement_Compare::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg != nmGetExpectedType || !dynamic_cast<TOperatorValueField*>(child))
        return TCustomTwoValueOperatorElement::HandleChildMessage(child, msg, p1, p2);
    TTypeDescriptor& descriptor = *OperatorDescriptor(p1);
    switch (CompareKind()) {
    case TCompareKind::Same:
        return AnswerStandardType(StandardTypeName::Str, p1);
    case TCompareKind::And:
    case TCompareKind::Or:
        return AnswerStandardType(StandardTypeName::Bool, p1);
    case TCompareKind::In:
    case TCompareKind::NotIn:
        if (child == RightSide()) {
            SetTypeDescriptor(TValueTypeKind::EnumSet, nullptr, nullptr, descriptor);
            return true;
        }
        return AnswerStandardType(StandardTypeName::Variant, p1);
    default:
        if (child == LeftSide()) return AnswerStandardType(StandardTypeName::Float, p1);
        LeftSide()->GetValueType(descriptor);
        if (descriptor.Kind == TValueTypeKind::Variant) GetStandardTypeDescriptor(StandardTypeName::Float, descriptor);
        return true;
    }
}

// ---------------------------------------------------------------------------
// Operation

bool TElement_Operation::ClassCanBePlacedIn(const TElementClass* cls, TElement* target) {
    if (!TCustomTwoValueOperatorElement::ClassCanBePlacedIn(cls, target)) return false;
    const TExpressionField* field = AsExpressionField(target);
    return !field || ((field->AcceptFlags() & (afStrings | afNumbers | afArithmetic)) &&
                      !HasFlag(field->AcceptFlags(), afAssignTarget));
}

QString TElement_Operation::StoredKindName(uint8_t kind) const {
    return kind < kOperationKindCount ? KindStoredName(kOperationKinds[kind]) : QString();
}

void TElement_Operation::GetSideFlags(uint8_t kind, uint16_t& left, uint16_t& right) const {
    left = kOperationKinds[kind].left;
    right = kOperationKinds[kind].right;
}

QList<TPaletteItem*> TElement_Operation::FamilyKindItems() const {
    QList<TPaletteItem*> items;
    if (g_unit)
        for (TSchemePaletteItem* item : g_unit->operationCommands) items << item;
    return items;
}

bool TElement_Operation::IsKindItem(const TPaletteItem* item, uint8_t& kind) const {
    return g_unit && FindKindItem(g_unit->operationCommands, item, kind);
}

TNodePtr<TSchemeOperation> TElement_Operation::MakeKindOperation(uint8_t kind) {
    return MakeNode<TOperationKindOperation>(this, kind);
}

int TElement_Operation::KindPicture(uint8_t kind) const { return OperatorSmallPicture(kind); }
int TElement_Operation::LeftHintId() const { return strOperationLeftHint; }
int TElement_Operation::RightHintId() const { return strOperationRightHint; }

bool TElement_Operation::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg != nmGetValueType) return TCustomTwoValueOperatorElement::HandleNodeMessage(msg, p1, p2);
    TTypeDescriptor& descriptor = *OperatorDescriptor(p1);
    switch (OperationKind()) {
    case TOperationKind::Divide:
        return AnswerStandardType(StandardTypeName::Float, p1);
    case TOperationKind::DivideInt:
        return AnswerStandardType(StandardTypeName::Int, p1);
    case TOperationKind::Summ:
        LeftSide()->GetValueType(descriptor);
        // Characters add up to a string, enumeration items to a set.
        if (descriptor.Kind == TValueTypeKind::Char)
            GetStandardTypeDescriptor(StandardTypeName::Str, descriptor);
        else if (descriptor.Kind == TValueTypeKind::Enum)
            SetTypeDescriptor(TValueTypeKind::EnumSet, descriptor.Item, descriptor.TypeItem, descriptor);
        return true;
    default:
        LeftSide()->GetValueType(descriptor);
        return true;
    }
}

bool TElement_Operation::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg != nmGetExpectedType || !dynamic_cast<TOperatorValueField*>(child))
        return TCustomTwoValueOperatorElement::HandleChildMessage(child, msg, p1, p2);
    switch (OperationKind()) {
    case TOperationKind::Divide:
        return AnswerStandardType(StandardTypeName::Float, p1);
    case TOperationKind::DivideInt:
        return AnswerStandardType(StandardTypeName::Int, p1);
    default: {
        TTypeDescriptor& descriptor = *OperatorDescriptor(p1);
        ExpectedOfHolder(descriptor);
        if (descriptor.Kind == TValueTypeKind::Bool) GetStandardTypeDescriptor(StandardTypeName::Variant, descriptor);
        return true;
    }
    }
}

// ---------------------------------------------------------------------------
// Palette items and the kind change

TOperatorElementPaletteItem::TOperatorElementPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId,
                                                         int order, const TElementClass* elementClass, uint8_t kind)
    : TElementPaletteItem(flags, imageIndex, captionId, hintId, order, elementClass), m_kind(kind) {}

TOperatorElementPaletteItem* TOperatorElementPaletteItem::Create(TNode* parent, uint16_t flags, int imageIndex,
                                                                 int captionId, int hintId, int order,
                                                                 const TElementClass* elementClass, uint8_t kind) {
    TNodePtr<TOperatorElementPaletteItem> item =
        MakeNode<TOperatorElementPaletteItem>(flags, imageIndex, captionId, hintId, order, elementClass, kind);
    item->SetParent(parent);
    return item.release();
}

void TChangeKindOperationValues::Save(TCustomTwoValueOperatorElement* element, uint8_t mode) {
    for (size_t i = 0; i < Contents.size(); ++i) {
        Contents[i] = TKnot::Create(kContentRootName);
        element->Values()[i]->SaveContent(Contents[i].get(), mode, std::nullopt, 0);
    }
}

void TChangeKindOperationValues::Load(TCustomTwoValueOperatorElement* element, uint8_t mode) const {
    for (size_t i = 0; i < Contents.size(); ++i)
        if (Contents[i]) element->Values()[i]->InsertContent(Contents[i].get(), mode, 0, std::nullopt);
}

namespace {
void ClearValues(TCustomTwoValueOperatorElement* element) {
    for (TOperatorValueField* field : element->Values()) field->SetText(QString());
}
}  // namespace

TCustomTwoValueOperatorElementChangeKindOperation::TCustomTwoValueOperatorElementChangeKindOperation(
    TCustomTwoValueOperatorElement* element, uint8_t kind)
    : TElementOperation(element, true), m_newKind(kind) {}

void TCustomTwoValueOperatorElementChangeKindOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* op = dynamic_cast<TCustomTwoValueOperatorElement*>(element);
    if (!op) return;
    TChangeKindOperationValues moved;
    if (!m_done) {
        m_before.Save(op, fmSnapshot);
        moved.Save(op, fmFile);
    }
    ClearValues(op);
    m_oldKind = op->Kind();
    op->SetKind(m_newKind);
    if (m_done) {
        m_after.Load(op, fmSnapshot);
    } else {
        // The values enter again under the new kind's flags, which may refuse them.
        moved.Load(op, fmFile);
        m_after.Save(op, fmSnapshot);
        m_done = true;
    }
    op->CheckAll();
}

void TCustomTwoValueOperatorElementChangeKindOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    auto* op = dynamic_cast<TCustomTwoValueOperatorElement*>(element);
    if (!op) return;
    ClearValues(op);
    op->SetKind(m_oldKind);
    m_before.Load(op, fmSnapshot);
    op->CheckAll();
}

// ---------------------------------------------------------------------------
// The unit

TSchemePaletteItem* AddValuePaletteItem() noexcept { return g_unit ? g_unit->addValue : nullptr; }
TSchemePaletteItem* CompareKindPaletteItem(TCompareKind kind) noexcept {
    return g_unit ? g_unit->compareCommands[size_t(kind)] : nullptr;
}
TSchemePaletteItem* OperationKindPaletteItem(TOperationKind kind) noexcept {
    return g_unit ? g_unit->operationCommands[size_t(kind)] : nullptr;
}
TPaletteItem* CompareElementPaletteItem(TCompareKind kind) noexcept {
    return g_unit ? g_unit->compareItems[size_t(kind)] : nullptr;
}
TPaletteItem* OperationElementPaletteItem(TOperationKind kind) noexcept {
    return g_unit ? g_unit->operationItems[size_t(kind)] : nullptr;
}

namespace {

// The element items of the "Expressions" group, in the order they are made.
constexpr TCompareKind kCompareItemOrder[] = {
    TCompareKind::And,         TCompareKind::Or,   TCompareKind::Equal,       TCompareKind::Same,
    TCompareKind::Different,   TCompareKind::More, TCompareKind::MoreOrEqual, TCompareKind::In,
    TCompareKind::Less,        TCompareKind::LessOrEqual, TCompareKind::NotIn,
};

void CreateElementItems(TExpressionExUnit& unit) {
    TPaletteGroup* group = ExpressionsPaletteGroup();
    if (!group) return;
    for (TCompareKind kind : kCompareItemOrder) {
        const TKindRow& row = kCompareKinds[size_t(kind)];
        unit.compareItems[size_t(kind)] = TOperatorElementPaletteItem::Create(
            group, row.itemFlags, unit.smallImages.Picture(kCompareSmallPictureBase + int(kind)), row.caption,
            row.hint, row.itemOrder, TElement_Compare::StaticClass(), uint8_t(kind));
    }
    for (int kind = 0; kind < kOperationKindCount; ++kind) {
        const TKindRow& row = kOperationKinds[kind];
        const int picture = kind == int(TOperationKind::Summ)    ? unit.largeImages.Picture(kLargePictureSumm)
                            : kind == int(TOperationKind::Minus) ? unit.largeImages.Picture(kLargePictureDifference)
                                                                 : unit.smallImages.Picture(kind);
        unit.operationItems[size_t(kind)] = TOperatorElementPaletteItem::Create(
            group, row.itemFlags, picture, row.caption, row.hint, row.itemOrder, TElement_Operation::StaticClass(),
            uint8_t(kind));
    }
}

void CreateKindCommands(TExpressionExUnit& unit) {
    TPaletteGroup* compare = TPaletteGroup::Create(Palette(), strCompareKind, kCompareKindGroupOrder);
    for (int kind = 0; kind < kCompareKindCount; ++kind) {
        const TKindRow& row = kCompareKinds[kind];
        unit.compareCommands[size_t(kind)] = TSchemePaletteItem::Create(compare, kKindCommandFlags, NoImageIndex,
                                                                        row.caption, row.hint, row.commandOrder);
    }
    TPaletteGroup* operation = TPaletteGroup::Create(Palette(), strOperationKind, kOperationKindGroupOrder);
    for (int kind = 0; kind < kOperationKindCount; ++kind) {
        const TKindRow& row = kOperationKinds[kind];
        const int picture = kind == int(TOperationKind::Summ)    ? unit.largeImages.Picture(kLargePictureSumm)
                            : kind == int(TOperationKind::Minus) ? unit.largeImages.Picture(kLargePictureDifference)
                                                                 : NoImageIndex;
        unit.operationCommands[size_t(kind)] =
            TSchemePaletteItem::Create(operation, kKindCommandFlags, picture, row.caption, row.hint, row.commandOrder);
    }
}

}  // namespace

void InitExpressionExElementsUnit() {
    if (g_unit) return;
    auto unit = std::make_unique<TExpressionExUnit>();
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prExpressionExElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prExpressionExElementsLargeImages"));
    AddItemsOnce(ExpressionElementClasses(),
                 TElementClassList{TElement_Compare::StaticClass(), TElement_Operation::StaticClass()});
    unit->addValue = TSchemePaletteItem::Create(PaletteActionsGroup(), kAddValueFlags,
                                                unit->largeImages.Picture(kLargePictureAddValue), strAddValue,
                                                strAddValueHint, kAddValueOrder);
    CreateElementItems(*unit);
    CreateKindCommands(*unit);
    g_unit = std::move(unit);
}

void FinalExpressionExElementsUnit() {
    // The class group and the palette entries belong to their registries.
    g_unit.reset();
}

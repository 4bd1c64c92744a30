#include "elements/coFunctionElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diFilers.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <array>
#include <memory>

T_ELEMENT_CLASS_IMPL(TFunctionField, TTextorElement)
T_ELEMENT_CLASS_IMPL(TRequiredFunctionField, TFunctionField)
T_ELEMENT_CLASS_IMPL(TElement_ProcessingDateTime, TCustomDateTimeMaskElement)
T_ELEMENT_CLASS_IMPL(TElement_Replacement, TTitledElement)
T_ELEMENT_CLASS_IMPL(TElement_IsEmpty, TTitledElement)
T_CLASS_IMPL_ABSTRACT(TReplacementElementModeOperation, TElementOperation)
T_CLASS_IMPL_ABSTRACT(TReplacementElementCaseInsensitiveOperation, TElementOperation)

namespace {

const QString kContentChild = QStringLiteral("Content");
const QString kFindValueChild = QStringLiteral("FindValue");
const QString kReplaceValueChild = QStringLiteral("ReplaceValue");
const QString kIsEmptyValueChild = QStringLiteral("Value");
const QString kModeAttribute = QStringLiteral("Mode");
const QString kCaseInsensitiveAttribute = QStringLiteral("CaseInsensitive");

const QString kFunctionSmallImages = QStringLiteral("coFunctionElementsSmallImages");
// Pictures of the strip: one per mode from 0, then these.
constexpr int kCaseInsensitivePicture = 3;
constexpr int kIsEmptyPicture = 4;
constexpr int kProcessingDateTimePicture = 5;

constexpr int kReplaceModeGroupOrder = 1100;
constexpr int kCaseInsensitiveOrder = 100;
constexpr int kIsEmptyItemOrder = 30;
constexpr int kReplacementItemOrder = 20;
constexpr int kProcessingDateTimeItemOrder = 10;

// Per mode: the stored word (none for All), the palette caption, hint and order.
struct TReplaceModeInfo {
    const char* storedName;
    int caption;
    int hint;
    int order;
};
constexpr std::array<TReplaceModeInfo, kReplaceModeCount> kReplaceModes = {{
    {"", strAllInstances, strAllInstancesHint, 10},
    {"First", strFirstInstance, strFirstInstanceHint, 8},
    {"Last", strLastInstance, strLastInstanceHint, 6},
}};

struct TFunctionElementsUnit {
    TImageStrip smallImages;
    std::array<TSchemePaletteItem*, kReplaceModeCount> modeItems{};
    TSchemePaletteItem* caseItem = nullptr;
    TPaletteItem* isEmptyItem = nullptr;
    TPaletteItem* replacementItem = nullptr;
    TPaletteItem* processingDateTimeItem = nullptr;
    int isEmptyGroup = -1;
};
std::unique_ptr<TFunctionElementsUnit> g_functionUnit;

// The mode an item stands for; false when it is not one of the mode items.
bool ItemMode(const TPaletteItem* item, TReplaceMode& mode) noexcept {
    if (!item || !g_functionUnit) return false;
    for (int i = 0; i < kReplaceModeCount; ++i)
        if (g_functionUnit->modeItems[size_t(i)] == item) {
            mode = TReplaceMode(i);
            return true;
        }
    return false;
}

bool IsCaseItem(const TPaletteItem* item) noexcept {
    return item && g_functionUnit && g_functionUnit->caseItem == item;
}

TFunctionField* CreateField(TVisualElement* owner, const TElementClass* cls, uint32_t textorOptions, int hintId) {
    auto* field = static_cast<TFunctionField*>(TVisualElement::CreateSubElement(cls, owner, nullptr, owner));
    field->SetTextorOptions(field->TextorOptions() | textorOptions);
    field->SetRestrictions(trAllCharacters);
    field->SetHintId(hintId);
    return field;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fields

void TFunctionField::GetHint(QString& text) {
    if (m_hintId)
        text = LoadStr(m_hintId);
    else
        TTextorElement::GetHint(text);
}

TRequiredFunctionField::TRequiredFunctionField() noexcept { InitOptions(Options() | eoRequired); }

// ---------------------------------------------------------------------------
// TElement_ProcessingDateTime

TElement_ProcessingDateTime::TElement_ProcessingDateTime() noexcept {
    InitOptions(Options() | eoRequired);
    InitVisualOptions(VisualOptions() | voCanDisable);
}

int TElement_ProcessingDateTime::GetThemeKind() const { return tekSubstitution; }

void TElement_ProcessingDateTime::GetHint(QString& text) { text = LoadStr(strDateTimeProcessingSpecified); }

// ---------------------------------------------------------------------------
// TElement_Replacement

void TElement_Replacement::Create() {
    TTitledElement::Create();
    m_content = CreateField(this, TRequiredFunctionField::StaticClass(), kReplacementContentTextorOptions, 0);
    m_findValue = CreateField(this, TRequiredFunctionField::StaticClass(), kReplacementValueTextorOptions,
                              strSearchValueSubstringYou);
    m_replaceValue =
        CreateField(this, TFunctionField::StaticClass(), kReplacementValueTextorOptions, strNewValueValueYou);
}

void TElement_Replacement::SetMode(TReplaceMode mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    OptionChanged();
}

void TElement_Replacement::SetCaseInsensitive(bool value) {
    if (value == m_caseInsensitive) return;
    m_caseInsensitive = value;
    OptionChanged();
}

void TElement_Replacement::OptionChanged() {
    UpdateTitleLayout();
    NotifyEditStateChanged();
}

void TElement_Replacement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TTitledElement::GetPaletteItems(list);
    if (!g_functionUnit) return;
    for (TSchemePaletteItem* item : g_functionUnit->modeItems) list.append(item);
    list.append(g_functionUnit->caseItem);
}

void TElement_Replacement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    TReplaceMode mode;
    if (ItemMode(item, mode)) {
        state.Enabled = true;
        state.Checked = mode == m_mode;
    } else if (IsCaseItem(item)) {
        state.Enabled = true;
        state.Checked = m_caseInsensitive;
    } else {
        TTitledElement::UpdatePaletteItemState(item, state);
    }
}

bool TElement_Replacement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    TReplaceMode mode;
    if (ItemMode(item, mode)) {
        if (mode != m_mode) TSchemeOperation::Execute(MakeNode<TReplacementElementModeOperation>(this, mode));
        return true;
    }
    if (IsCaseItem(item)) {
        TSchemeOperation::Execute(MakeNode<TReplacementElementCaseInsensitiveOperation>(this, !m_caseInsensitive));
        return true;
    }
    return TTitledElement::ApplyPaletteItem(item, subCommand, checked);
}

void TElement_Replacement::WriteTitle(TTitleWriter& writer) {
    TTitledElement::WriteTitle(writer);
    if (g_functionUnit) writer.AddImage(g_functionUnit->smallImages.Picture(int(m_mode)));
    for (TFunctionField* field : {m_content, m_findValue, m_replaceValue})
        if (field) writer.AddField(field, TTitleAlign::Centre);
    if (m_caseInsensitive && g_functionUnit)
        writer.AddImage(g_functionUnit->smallImages.Picture(kCaseInsensitivePicture));
}

void TElement_Replacement::FocusFirst() {
    if (m_content)
        m_content->FocusFirst();
    else
        TTitledElement::FocusFirst();
}

void TElement_Replacement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TTitledElement::SaveTo(saver, knot);
    if (m_mode != TReplaceMode::All)
        knot->WriteStr(kModeAttribute, QLatin1String(kReplaceModes[size_t(m_mode)].storedName));
    if (m_caseInsensitive) knot->WriteBool(kCaseInsensitiveAttribute, true);
}

void TElement_Replacement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TTitledElement::LoadFrom(loader, knot);
    const QString stored = knot->ReadStr(kModeAttribute);
    for (int i = 0; i < kReplaceModeCount; ++i)
        if (stored.compare(QLatin1String(kReplaceModes[size_t(i)].storedName), Qt::CaseInsensitive) == 0) {
            SetMode(TReplaceMode(i));
            break;
        }
    SetCaseInsensitive(knot->ReadBool(kCaseInsensitiveAttribute, false));
}

void TElement_Replacement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_content)
        name = kContentChild;
    else if (child && child == m_findValue)
        name = kFindValueChild;
    else if (child && child == m_replaceValue)
        name = kReplaceValueChild;
    else
        TTitledElement::GetChildName(child, filer, name);
}

void TElement_Replacement::BeforeDestruction() {
    TTitledElement::BeforeDestruction();
    m_content = nullptr;
    m_findValue = nullptr;
    m_replaceValue = nullptr;
}

// ---------------------------------------------------------------------------
// TElement_IsEmpty

void TElement_IsEmpty::Create() {
    TTitledElement::Create();
    CreateDescriptionField();
    m_value = CreateField(this, TFunctionField::StaticClass(), kIsEmptyValueTextorOptions, 0);
}

void TElement_IsEmpty::WriteTitle(TTitleWriter& writer) {
    TTitledElement::WriteTitle(writer);
    if (g_functionUnit) writer.AddImage(g_functionUnit->smallImages.Picture(kIsEmptyPicture));
    if (m_value) writer.AddField(m_value, TTitleAlign::Centre);
}

void TElement_IsEmpty::FocusFirst() {
    if (m_value)
        m_value->FocusFirst();
    else
        TTitledElement::FocusFirst();
}

void TElement_IsEmpty::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_value)
        name = kIsEmptyValueChild;
    else
        TTitledElement::GetChildName(child, filer, name);
}

void TElement_IsEmpty::BeforeDestruction() {
    TTitledElement::BeforeDestruction();
    m_value = nullptr;
}

// ---------------------------------------------------------------------------
// Operations

TReplacementElementModeOperation::TReplacementElementModeOperation(TElement_Replacement* element, TReplaceMode mode)
    : TElementOperation(element, true), m_newMode(mode) {}

void TReplacementElementModeOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* replacement = dynamic_cast<TElement_Replacement*>(element);
    if (!replacement) return;
    m_oldMode = replacement->Mode();
    replacement->SetMode(m_newMode);
}

void TReplacementElementModeOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* replacement = dynamic_cast<TElement_Replacement*>(element)) replacement->SetMode(m_oldMode);
}

TReplacementElementCaseInsensitiveOperation::TReplacementElementCaseInsensitiveOperation(TElement_Replacement* element,
                                                                                         bool value)
    : TElementOperation(element, true), m_newValue(value) {}

void TReplacementElementCaseInsensitiveOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* replacement = dynamic_cast<TElement_Replacement*>(element);
    if (!replacement) return;
    m_oldValue = replacement->CaseInsensitive();
    replacement->SetCaseInsensitive(m_newValue);
}

void TReplacementElementCaseInsensitiveOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* replacement = dynamic_cast<TElement_Replacement*>(element))
        replacement->SetCaseInsensitive(m_oldValue);
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* ReplaceModePaletteItem(TReplaceMode mode) noexcept {
    return g_functionUnit ? g_functionUnit->modeItems[size_t(mode)] : nullptr;
}
TPaletteItem* CaseInsensitivePaletteItem() noexcept { return g_functionUnit ? g_functionUnit->caseItem : nullptr; }
TPaletteItem* IsEmptyPaletteItem() noexcept { return g_functionUnit ? g_functionUnit->isEmptyItem : nullptr; }
TPaletteItem* ReplacementPaletteItem() noexcept {
    return g_functionUnit ? g_functionUnit->replacementItem : nullptr;
}
TPaletteItem* ProcessingDateTimePaletteItem() noexcept {
    return g_functionUnit ? g_functionUnit->processingDateTimeItem : nullptr;
}
int IsEmptyClassesGroup() noexcept { return g_functionUnit ? g_functionUnit->isEmptyGroup : -1; }

void InitFunctionElementsUnit() {
    g_functionUnit = std::make_unique<TFunctionElementsUnit>();
    g_functionUnit->smallImages = TImageStrip::Load(SchemeSmallImages(), kFunctionSmallImages);
    const TImageStrip& images = g_functionUnit->smallImages;
    // The mode and case items show the pictures a replacement's title shows for them.
    TPaletteGroup* modes = TPaletteGroup::Create(Palette(), strReplaceMode, kReplaceModeGroupOrder);
    for (int i = 0; i < kReplaceModeCount; ++i) {
        const TReplaceModeInfo& info = kReplaceModes[size_t(i)];
        g_functionUnit->modeItems[size_t(i)] =
            TSchemePaletteItem::Create(modes, uint16_t(pifToggle | pifChangesElement), images.Picture(i),
                                       info.caption, info.hint, info.order);
    }
    g_functionUnit->caseItem = TSchemePaletteItem::Create(
        PaletteOptionsGroup(), uint16_t(pifToggle | pifChangesElement), images.Picture(kCaseInsensitivePicture),
        strApproximateStringMatching, strApproximateStringMatchingHint, kCaseInsensitiveOrder);

    TPaletteGroup* additional = PaletteAdditionalGroup();
    g_functionUnit->isEmptyItem =
        TElementPaletteItem::Create(additional, 0, images.Picture(kIsEmptyPicture), strIsEmpty, strIsEmptyHint,
                                    kIsEmptyItemOrder, TElement_IsEmpty::StaticClass());
    g_functionUnit->replacementItem =
        TElementPaletteItem::Create(additional, 0, images.Picture(int(TReplaceMode::All)), strReplacement,
                                    strReplacementHint, kReplacementItemOrder, TElement_Replacement::StaticClass());
    g_functionUnit->processingDateTimeItem = TElementPaletteItem::Create(
        additional, uint16_t(pifNoCaption), images.Picture(kProcessingDateTimePicture), strProcessingDateAndTime,
        strDateTimeProcessingSpecified, kProcessingDateTimeItemOrder, TElement_ProcessingDateTime::StaticClass());

    TClassesGroups::TGroup& inlineValues = ClassesGroups().GetGroup(cgInlineValueElements);
    AddItemOnce(inlineValues, TElement_ProcessingDateTime::StaticClass());
    AddItemOnce(inlineValues, TElement_Replacement::StaticClass());
    g_functionUnit->isEmptyGroup = ClassesGroups().AddGroup();
    ClassesGroups().GetGroup(g_functionUnit->isEmptyGroup).append(TElement_IsEmpty::StaticClass());
}

void FinalFunctionElementsUnit() {
    if (!g_functionUnit) return;
    if (ClassesGroups().Count() > cgInlineValueElements)
        RemoveItems(ClassesGroups().GetGroup(cgInlineValueElements),
                    {TElement_ProcessingDateTime::StaticClass(), TElement_Replacement::StaticClass()});
    const int group = g_functionUnit->isEmptyGroup;
    if (group >= 0 && group < ClassesGroups().Count())
        ClassesGroups().GetGroup(group).removeAll(TElement_IsEmpty::StaticClass());
    g_functionUnit.reset();
}

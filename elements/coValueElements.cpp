#include "elements/coValueElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <array>
#include <memory>

T_ELEMENT_CLASS_IMPL(TValueNameField, TTitledNameField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomValueElement, TNamedElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TTextElement, TCustomValueElement)
T_ELEMENT_CLASS_IMPL(TElement_Text, TTextElement)
T_ELEMENT_CLASS_IMPL(TElement_Substitution, TReferenceElement)
T_CLASS_IMPL_ABSTRACT(TTextElementTypeOperation, TElementOperation)

namespace {

const QString kTypeAttribute = QStringLiteral("Type");
const QString kValueChild = QStringLiteral("Value");

const QString kValueCharImages = QStringLiteral("coValueElementsCharImages");
const QString kValueSmallImages = QStringLiteral("coValueElementsSmallImages");
const QString kValueLargeImages = QStringLiteral("coValueElementsLargeImages");
// The name of a text shows picture kFirstTypeCharPicture + type; the type
// items picture kFirstTypeLargePicture + type.
constexpr int kFirstTypeCharPicture = 2;
constexpr int kFirstTypeLargePicture = 3;
constexpr int kSubstitutionLargePicture = 1;
constexpr int kTextLargePicture = 2;
constexpr int kTextSmallPicture = 0;

constexpr int kTextTypeGroupOrder = 1100;
constexpr int kTextItemOrder = 510;
constexpr int kSubstitutionItemOrder = 1200;
const QString kSubstitutionLetter = QStringLiteral(" ");

// Per type: the stored name (none for Text), the palette caption, hint and order.
struct TTextTypeInfo {
    const char* storedName;
    int caption;
    int hint;
    int order;
};
constexpr std::array<TTextTypeInfo, kTextTypeCount> kTextTypes = {{
    {"", strText, strOrdinaryTextMainText, 10},
    {"Caption", strCaption, strWindowCaptionNameGroup, 8},
    {"Action", strAction, strButtonMenuCommandJump, 4},
    {"Hint", strTooltip, strPopUpTooltip, 2},
    {"Message", strMessage, strMessageWindowLog, 1},
    {"Code", strCodeTextType, strProgramCodePathFile, 1},
}};

struct TValueElementsUnit {
    TImageStrip charImages;
    TImageStrip smallImages;
    TImageStrip largeImages;
    std::array<TSchemePaletteItem*, kTextTypeCount> typeItems{};
    TPaletteItem* textItem = nullptr;
    TPaletteItem* substitutionItem = nullptr;
};
std::unique_ptr<TValueElementsUnit> g_valueUnit;

// The type an item stands for; false when it is not one of the type items.
bool ItemType(const TPaletteItem* item, TTextType& type) noexcept {
    if (!item || !g_valueUnit) return false;
    for (int i = 0; i < kTextTypeCount; ++i)
        if (g_valueUnit->typeItems[size_t(i)] == item) {
            type = TTextType(i);
            return true;
        }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// TTextElement

void TTextElement::Create() {
    TCustomValueElement::Create();
    ShowTypeImage();
}

void TTextElement::ShowTypeImage() {
    if (NameField() && g_valueUnit)
        NameField()->SetImageIndex(g_valueUnit->charImages.Picture(kFirstTypeCharPicture + int(m_type)));
}

void TTextElement::SetType(TTextType type) {
    if (type == m_type) return;
    m_type = type;
    ShowTypeImage();
    TypeChanged();
    NotifyEditStateChanged();
}

void TTextElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomValueElement::GetPaletteItems(list);
    if (!g_valueUnit) return;
    for (TSchemePaletteItem* item : g_valueUnit->typeItems)
        if (item) list.append(item);
}

void TTextElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    TTextType type;
    if (!ItemType(item, type)) {
        TCustomValueElement::UpdatePaletteItemState(item, state);
        return;
    }
    state.Enabled = true;
    state.Checked = type == m_type;
}

bool TTextElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    TTextType type;
    if (!ItemType(item, type)) return TCustomValueElement::ApplyPaletteItem(item, subCommand, checked);
    if (type != m_type) TSchemeOperation::Execute(MakeNode<TTextElementTypeOperation>(this, type));
    return true;
}

void TTextElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomValueElement::SaveTo(saver, knot);
    if (m_type != TTextType::Text)
        knot->WriteStr(kTypeAttribute, QLatin1String(kTextTypes[size_t(m_type)].storedName));
}

void TTextElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomValueElement::LoadFrom(loader, knot);
    const QString stored = knot->ReadStr(kTypeAttribute);
    for (int i = 1; i < kTextTypeCount; ++i)
        if (stored.compare(QLatin1String(kTextTypes[size_t(i)].storedName), Qt::CaseInsensitive) == 0) {
            SetType(TTextType(i));
            return;
        }
}

// ---------------------------------------------------------------------------
// TElement_Text

void TElement_Text::Create() {
    TTextElement::Create();
    CreateDescriptionField();
    m_value = static_cast<TTextorElement*>(
        TVisualElement::CreateSubElement(TTextorElement::StaticClass(), this, nullptr, this));
    m_value->SetTextorOptions(m_value->TextorOptions() | kTextValueTextorOptions);
    m_value->SetRestrictions(kTextValueRestrictions);
    TypeChanged();
}

void TElement_Text::TypeChanged() {
    if (!m_value) return;
    uint32_t options = m_value->TextorOptions();
    if (Type() == TTextType::Code)
        options = (options | toIdentifierWords) & ~uint32_t(toHyperlinks | toCommentFont);
    else
        options = (options | toHyperlinks | toCommentFont) & ~uint32_t(toIdentifierWords);
    m_value->SetTextorOptions(options);
}

void TElement_Text::GetItemReferences(TNameField* field, std::vector<TReference*>& list) {
    TTextElement::GetItemReferences(field, list);
    if (!field || field != NameField() || !m_value || !m_value->IsFilled()) return;
    for (TNode* node : PreOrder<TNode>(m_value))
        if (auto* substitution = dynamic_cast<TElement_Substitution*>(node)) list.push_back(substitution->Link());
}

void TElement_Text::WriteTitle(TTitleWriter& writer) {
    TTextElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField(), TTitleAlign::Centre);
    if (m_value) writer.AddField(m_value, TTitleAlign::Centre);
}

void TElement_Text::FocusFirst() {
    if (m_value)
        m_value->FocusFirst();
    else
        TTextElement::FocusFirst();
}

void TElement_Text::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_value)
        name = kValueChild;
    else
        TTextElement::GetChildName(child, filer, name);
}

void TElement_Text::BeforeDestruction() {
    TTextElement::BeforeDestruction();
    m_value = nullptr;
}

// ---------------------------------------------------------------------------
// TElement_Substitution

TElement_Substitution::TElement_Substitution() noexcept { InitOptions(Options() | eoRequired); }

bool TElement_Substitution::CanReferTo(TNamespaceItem* item) {
    TElement* element = item ? item->GetElement() : nullptr;
    return dynamic_cast<TInsideValueElement*>(element) || dynamic_cast<TTextElement*>(element);
}

TElement* TElement_Substitution::ValueSource() {
    TNamespaceItem* target = GetTargetItem();
    if (!target || !HasNoErrors()) return nullptr;
    return target->GetElement();
}

void TElement_Substitution::GetHint(QString& text) { text = LoadStr(strSubstitutionOtherElementS); }

// ---------------------------------------------------------------------------
// TTextElementTypeOperation

TTextElementTypeOperation::TTextElementTypeOperation(TTextElement* element, TTextType type)
    : TElementOperation(element, true), m_newType(type) {}

void TTextElementTypeOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* text = dynamic_cast<TTextElement*>(element);
    if (!text) return;
    m_oldType = text->Type();
    text->SetType(m_newType);
}

void TTextElementTypeOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* text = dynamic_cast<TTextElement*>(element)) text->SetType(m_oldType);
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* TextTypePaletteItem(TTextType type) noexcept {
    return g_valueUnit ? g_valueUnit->typeItems[size_t(type)] : nullptr;
}
TPaletteItem* TextPaletteItem() noexcept { return g_valueUnit ? g_valueUnit->textItem : nullptr; }
TPaletteItem* SubstitutionPaletteItem() noexcept { return g_valueUnit ? g_valueUnit->substitutionItem : nullptr; }

void InitValueElementsUnit() {
    g_valueUnit = std::make_unique<TValueElementsUnit>();
    g_valueUnit->charImages = TImageStrip::Load(SchemeCharImages(), kValueCharImages);
    g_valueUnit->smallImages = TImageStrip::Load(SchemeSmallImages(), kValueSmallImages);
    g_valueUnit->largeImages = TImageStrip::Load(SchemeLargeImages(), kValueLargeImages);

    TPaletteGroup* group = TPaletteGroup::Create(Palette(), strTextType, kTextTypeGroupOrder);
    for (int i = 0; i < kTextTypeCount; ++i) {
        const TTextTypeInfo& info = kTextTypes[size_t(i)];
        g_valueUnit->typeItems[size_t(i)] =
            TSchemePaletteItem::Create(group, uint16_t(pifToggle | pifLargeImage),
                                       g_valueUnit->largeImages.Picture(kFirstTypeLargePicture + i), info.caption,
                                       info.hint, info.order);
    }

    TPaletteGroup* additional = PaletteAdditionalGroup();
    g_valueUnit->textItem = TElementPaletteItem::Create(
        additional, uint16_t(0), g_valueUnit->smallImages.Picture(kTextSmallPicture),
        g_valueUnit->largeImages.Picture(kTextLargePicture), strText, strSpecifyingTextValue, kTextItemOrder,
        TElement_Text::StaticClass());
    TElementPaletteItem* substitution = TElementPaletteItem::Create(
        additional, uint16_t(pifLargeImage), g_valueUnit->largeImages.Picture(kSubstitutionLargePicture),
        strSubstitution, strSubstitutionOtherElementS, kSubstitutionItemOrder, TElement_Substitution::StaticClass());
    substitution->SetLetter(kSubstitutionLetter);
    g_valueUnit->substitutionItem = substitution;

    AddItemOnce(ClassesGroups().GetGroup(cgInlineValueElements), TElement_Substitution::StaticClass());
}

void FinalValueElementsUnit() {
    if (ClassesGroups().Count() > cgInlineValueElements)
        ClassesGroups().GetGroup(cgInlineValueElements).removeAll(TElement_Substitution::StaticClass());
    g_valueUnit.reset();
}

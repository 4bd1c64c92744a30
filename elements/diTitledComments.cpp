// Comments, descriptions and the elements that carry a description.

#include "elements/diTitled.h"

#include "core/cuStringIds.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

T_ELEMENT_CLASS_IMPL(TCustomCommentElement, TTextorElement)
T_ELEMENT_CLASS_IMPL(TDescriptionField, TCustomCommentElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomDescribedElement, TVisualElement)

namespace {

// What a comment is: rich content with links in the comment font, any characters.
constexpr uint32_t kCommentTextOptions = toRichContent | toHyperlinks | toCommentFont;  // 0x4003
// The size-limit class of descriptions.
constexpr uint32_t kDescriptionTextOptions = toMaxWidth480;  // 0x20000
constexpr int kDescriptionItemOrder = 30;
constexpr uint16_t kDescriptionItemFlags = pifChangesElement | pifNotForSelection;

const QString kDescriptionChildName = QStringLiteral("Description");

// The unit's state between InitCommentsUnit and FinalCommentsUnit.
struct TCommentsUnit {
    TSchemePaletteItem* descriptionItem = nullptr;  // owned by the palette tree
    const TElementClass* dataClass = nullptr;
};

TCommentsUnit g_comments;

}  // namespace

// ---------------------------------------------------------------------------
// Comments

void TCustomCommentElement::Create() {
    TTextorElement::Create();
    InitOptions(uint8_t(Options() | eoComment));
    SetTextorOptions(TextorOptions() | kCommentTextOptions);
    SetRestrictions(trAllCharacters);
}

int TCustomCommentElement::GetThemeKind() const { return tekComment; }

void TCustomCommentElement::FillAcceptedClasses(TElementClassList& list) {
    list.clear();
    AddItemsOnce(list, ClassesGroups().GetGroup(cgCommentElements));
}

bool TCustomCommentElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (TTextorElement::HandleNodeMessage(msg, p1, p2)) return true;
    if (msg != nmClipboardElementClass || !p1 || !g_comments.dataClass) return false;
    *reinterpret_cast<const TElementClass**>(p1) = g_comments.dataClass;
    return true;
}

void RegisterCommentDataClass(const TElementClass* cls) noexcept { g_comments.dataClass = cls; }
const TElementClass* CommentDataClass() noexcept { return g_comments.dataClass; }

// ---------------------------------------------------------------------------
// Descriptions

void TDescriptionField::Create() {
    TCustomCommentElement::Create();
    SetVisualOptions(VisualOptions() | voHiddenWhileEmpty);
    SetTextorOptions(TextorOptions() | kDescriptionTextOptions);
}

TCustomDescribedElement* TDescriptionField::Owner() const noexcept {
    return ClassAs<TCustomDescribedElement>(Parent());
}

int TDescriptionField::GetThemeKind() const { return tekDescription; }

// At the right of the owner, never above the sheet's top edge; the size stays.
void TDescriptionField::Place() {
    TCustomDescribedElement* owner = Owner();
    TVisualElement* parent = VisualParent();
    if (!owner || !parent || !owner->Sheet() || !IsVisible()) return;
    const TRect margins = GetMargins();
    const QPoint onSheet = owner->ClientToSheet(QPoint(owner->Width() + margins.Left, margins.Top));
    const QPoint place = parent->SheetToClient(onSheet);
    SetPosition(place.x(), std::max(0, place.y()));
}

bool TDescriptionField::ComputeDisabled() {
    const TCustomDescribedElement* owner = Owner();
    return owner && owner->IsEffectivelyDisabled();
}

bool TDescriptionField::ComputeVisible() {
    const TCustomDescribedElement* owner = Owner();
    return TCustomCommentElement::ComputeVisible() && (!owner || owner->IsVisible());
}

TVisualElement* TDescriptionField::GetNavigationParent() { return Owner(); }

void TDescriptionField::VisibilityChanged() {
    TCustomCommentElement::VisibilityChanged();
    Place();
}

// Focused, it goes to the end of its visual parent's children: painted above the rest.
void TDescriptionField::FocusChanged() {
    TCustomCommentElement::FocusChanged();
    if (!IsFocused()) return;
    if (TVisualElement* parent = VisualParent(); parent && parent->LastVisualChild() != this)
        SetVisualParentAt(parent, nullptr);
    Place();
}

// ---------------------------------------------------------------------------
// Described elements

void TCustomDescribedElement::CreateDescriptionField() {
    if (m_description) return;
    m_description = static_cast<TDescriptionField*>(
        TVisualElement::CreateSubElement(TDescriptionField::StaticClass(), this, nullptr, nullptr));
    if (Sheet()) AttachDescription();
}

QString TCustomDescribedElement::GetDescriptionText() const {
    return m_description ? m_description->GetText() : QString();
}

void TCustomDescribedElement::AttachDescription() {
    if (!m_description || !Sheet()) return;
    TVisualElement* root = Sheet()->Root();
    if (m_description->VisualParent() != root) m_description->SetVisualParent(root);
    m_description->Place();
}

void TCustomDescribedElement::DetachDescription() {
    if (m_description && m_description->VisualParent()) m_description->SetVisualParent(nullptr);
}

// The description first, then the visual children.
TVisualElement* TCustomDescribedElement::GetNextChild(TVisualElement* child, bool forward) {
    if (!m_description) return TVisualElement::GetNextChild(child, forward);
    if (forward) {
        if (!child) return m_description;
        return TVisualElement::GetNextChild(child == m_description ? nullptr : child, true);
    }
    if (child == m_description) return nullptr;
    TVisualElement* previous = TVisualElement::GetNextChild(child, false);
    return previous ? previous : m_description;
}

void TCustomDescribedElement::EffectiveDisabledChanged() {
    TVisualElement::EffectiveDisabledChanged();
    if (m_description) m_description->UpdateDisabled();
}

void TCustomDescribedElement::VisibilityChanged() {
    TVisualElement::VisibilityChanged();
    if (!m_description) return;
    m_description->UpdateVisibility();
    m_description->Place();
}

void TCustomDescribedElement::PositionChanged() {
    TVisualElement::PositionChanged();
    if (m_description) m_description->Place();
}

void TCustomDescribedElement::BoundsChanged(const TRect& oldRect, int oldDescent) {
    TVisualElement::BoundsChanged(oldRect, oldDescent);
    if (m_description && (oldRect.Top != Top() || oldRect.Right != Left() + Width())) m_description->Place();
}

// A forced layout on a sheet (re)attaches the description; without a sheet it is detached.
void TCustomDescribedElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (!force || !m_description) return;
    if (Sheet())
        AttachDescription();
    else
        DetachDescription();
}

void TCustomDescribedElement::DetachFromSheet() {
    TVisualElement::DetachFromSheet();
    DetachDescription();
}

void TCustomDescribedElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TVisualElement::GetPaletteItems(list);
    if (m_description && g_comments.descriptionItem) list << g_comments.descriptionItem;
}

// "Description": the description is focused (which shows it) with all its text selected.
bool TCustomDescribedElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (!m_description || !item || item != g_comments.descriptionItem)
        return TVisualElement::ApplyPaletteItem(item, subCommand, checked);
    m_description->FocusText(TTextFocusPlace::Start);
    m_description->SelectAll();
    return true;
}

void TCustomDescribedElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_description)
        name = kDescriptionChildName;
    else
        TVisualElement::GetChildName(child, filer, name);
}

void TCustomDescribedElement::BeforeDestruction() {
    DetachDescription();
    m_description = nullptr;  // the element tree frees it with this element
    TVisualElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// The unit

TSchemePaletteItem* DescriptionPaletteItem() noexcept { return g_comments.descriptionItem; }

void InitCommentsUnit() {
    g_comments = TCommentsUnit();
    g_comments.descriptionItem = TSchemePaletteItem::Create(PaletteActionsGroup(), kDescriptionItemFlags,
                                                            NoImageIndex, strDescription, strDescriptionHint,
                                                            kDescriptionItemOrder);
    g_comments.descriptionItem->SetLetter(QStringLiteral("M"));
}

void FinalCommentsUnit() { g_comments = TCommentsUnit(); }

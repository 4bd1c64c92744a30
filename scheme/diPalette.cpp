#include "scheme/diPalette.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diClasses.h"
#include "scheme/diSounds.h"
#include "scheme/diUtils.h"

T_CLASS_IMPL(TPalette, TNode)
T_CLASS_IMPL_ABSTRACT(TPaletteNode, TNode)
T_CLASS_IMPL_ABSTRACT(TPaletteGroup, TPaletteNode)
T_CLASS_IMPL_ABSTRACT(TPaletteItem, TPaletteNode)
T_CLASS_IMPL_ABSTRACT(TSchemePaletteItem, TPaletteItem)
T_CLASS_IMPL_ABSTRACT(TElementPaletteItem, TSchemePaletteItem)
T_CLASS_IMPL_ABSTRACT(TSubExecutablePaletteItem, TSchemePaletteItem)
T_CLASS_IMPL_ABSTRACT(TDisablePaletteItem, TSchemePaletteItem)

namespace {

template <class T, class... Args>
T* Attach(TNode* parent, Args&&... args) {
    TNodePtr<T> node = MakeNode<T>(std::forward<Args>(args)...);
    node->SetParent(parent);
    return node.release();
}

TPaletteItem* FindIn(const TNode* node, const TElementClass* cls) {
    for (TNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        if (auto* item = dynamic_cast<TElementPaletteItem*>(child); item && item->ElementClass() == cls) return item;
        if (TPaletteItem* found = FindIn(child, cls)) return found;
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------

TPaletteItem* TPalette::FindItemForClass(const TElementClass* cls) const {
    return cls ? FindIn(this, cls) : nullptr;
}

QString TPaletteNode::GetCaption() const { return m_captionId ? LoadStr(m_captionId) : QString(); }

TPaletteGroup* TPaletteGroup::Create(TNode* parent, int captionId, int order) {
    return Attach<TPaletteGroup>(parent, captionId, order);
}

TPaletteItem::TPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order)
    : TPaletteNode(captionId, order), m_hintId(hintId), m_flags(flags), m_display(flags & pifRadio ? 1 : 0) {
    if (flags & pifLargeImage)
        m_largeImage = imageIndex;
    else
        m_smallImage = imageIndex;
}

TPaletteItem* TPaletteItem::Create(TNode* parent, uint16_t flags, int imageIndex, int captionId, int hintId,
                                   int order) {
    return Attach<TPaletteItem>(parent, flags, imageIndex, captionId, hintId, order);
}

QString TPaletteItem::GetHint() const { return m_hintId ? LoadStr(m_hintId) : QString(); }

TPaletteItemInfo TPaletteItem::MakeInfo() const {
    TPaletteItemInfo info;
    info.Group = Parent();
    info.Caption = GetCaption();
    info.SmallImage = m_smallImage;
    info.LargeImage = m_largeImage;
    info.Flags = m_flags;
    info.Display = m_display;
    info.Letter = m_letter;
    return info;
}

bool TPaletteItem::IsEnabledFor(const TPaletteItemState& state, bool targetDisabled,
                                bool targetReadOnly) const noexcept {
    if (!state.Enabled) return false;
    if ((m_flags & pifNeedsEnabledTarget) && targetDisabled) return false;
    if ((m_flags & pifChangesElement) && targetReadOnly) return false;
    return true;
}

// ---------------------------------------------------------------------------

TSchemePaletteItem::TSchemePaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order)
    : TPaletteItem(flags, imageIndex, captionId, hintId, order) {
    if (imageIndex < 0) {
        if (flags & pifLargeImage)
            SetImages(NoImageIndex, DefaultLargeImage());
        else
            SetImages(DefaultSmallImage(), NoImageIndex);
    }
}

TSchemePaletteItem* TSchemePaletteItem::Create(TNode* parent, uint16_t flags, int imageIndex, int captionId,
                                               int hintId, int order) {
    return Attach<TSchemePaletteItem>(parent, flags, imageIndex, captionId, hintId, order);
}

void TSchemePaletteItem::ApplyTo(TElement* element, bool checked) {
    if (auto* target = dynamic_cast<IPaletteItemTarget*>(element)) target->ApplyItem(this, checked);
}

bool TSchemePaletteItem::StateEnabled(TPaletteItem* item, TElement* element) {
    TPaletteItemState state;
    if (auto* target = dynamic_cast<IPaletteItemTarget*>(element)) target->GetItemState(item, state);
    return state.Enabled;
}

void TSchemePaletteItem::ApplyToList(const QList<TElement*>& list, bool checked) {
    for (TElement* element : list)
        if (StateEnabled(this, element)) ApplyTo(element, checked);
}

QString TSchemePaletteItem::GetSoundName() const { return sndItem; }

void TSchemePaletteItem::ExecuteFor(TElement* element, bool checked) {
    PlaySchemeSound(GetSoundName());
    ApplyTo(element, checked);
}

void TSchemePaletteItem::ExecuteForList(const QList<TElement*>& list, bool checked) {
    PlaySchemeSound(GetSoundName());
    ApplyToList(list, checked);
}

TElementPaletteItem::TElementPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order,
                                         const TElementClass* elementClass)
    : TSchemePaletteItem(uint16_t(flags | pifNotForSelection | pifChangesElement), imageIndex, captionId, hintId,
                         order),
      m_elementClass(elementClass) {}

TElementPaletteItem* TElementPaletteItem::Create(TNode* parent, uint16_t flags, int imageIndex, int captionId,
                                                 int hintId, int order, const TElementClass* elementClass) {
    return Attach<TElementPaletteItem>(parent, flags, imageIndex, captionId, hintId, order, elementClass);
}

TElementPaletteItem* TElementPaletteItem::Create(TNode* parent, uint16_t flags, int smallImage, int largeImage,
                                                 int captionId, int hintId, int order,
                                                 const TElementClass* elementClass) {
    TElementPaletteItem* item = Create(parent, flags, (flags & pifLargeImage) ? largeImage : smallImage, captionId,
                                       hintId, order, elementClass);
    // Without either picture the item keeps the default one.
    if (smallImage != NoImageIndex || largeImage != NoImageIndex) item->SetImages(smallImage, largeImage);
    return item;
}

QString TElementPaletteItem::GetSoundName() const { return sndElement; }

void TSubExecutablePaletteItem::ApplySubToList(const QList<TElement*>& list, const QString& sub) {
    for (TElement* element : list)
        if (StateEnabled(this, element)) ApplySub(element, sub);
}

QString TDisablePaletteItem::GetSoundName() const { return sndDisable; }

// ---------------------------------------------------------------------------
// The shared palette

namespace {

struct TStandardPalette {
    TNodePtr<TPalette> root;
    TPaletteGroup* actions = nullptr;
    TPaletteGroup* options = nullptr;
    TPaletteGroup* insert = nullptr;
    TPaletteGroup* state = nullptr;
    TPaletteGroup* additional = nullptr;
    TPaletteItem* otherInsert = nullptr;
    TPaletteItem* otherAdditional = nullptr;
    TDisablePaletteItem* disable = nullptr;
};

TStandardPalette g_palette;

}  // namespace

TPalette* Palette() noexcept { return g_palette.root.get(); }
TPaletteGroup* PaletteActionsGroup() noexcept { return g_palette.actions; }
TPaletteGroup* PaletteOptionsGroup() noexcept { return g_palette.options; }
TPaletteGroup* PaletteInsertGroup() noexcept { return g_palette.insert; }
TPaletteGroup* PaletteStateGroup() noexcept { return g_palette.state; }
TPaletteGroup* PaletteAdditionalGroup() noexcept { return g_palette.additional; }
TPaletteItem* PaletteOtherInsertItem() noexcept { return g_palette.otherInsert; }
TPaletteItem* PaletteOtherAdditionalItem() noexcept { return g_palette.otherAdditional; }
TDisablePaletteItem* PaletteDisableItem() noexcept { return g_palette.disable; }

void InitPaletteUnit() {
    g_palette.root = MakeNode<TPalette>();
    TPalette* root = g_palette.root.get();
    g_palette.actions = TPaletteGroup::Create(root, strActions, 1000);
    g_palette.options = TPaletteGroup::Create(root, strOptions, 800);
    g_palette.insert = TPaletteGroup::Create(root, strInsert, 700);
    g_palette.state = TPaletteGroup::Create(root, strState, 150);
    g_palette.additional = TPaletteGroup::Create(root, strAdditional, 100);
    constexpr uint16_t otherFlags = pifDropDown | pifNoCaption | pifLargeImage;  // 0x3100
    g_palette.otherInsert =
        TPaletteItem::Create(g_palette.insert, otherFlags, NoImageIndex, strOther, strOtherHint, 10);
    g_palette.otherAdditional =
        TPaletteItem::Create(g_palette.additional, otherFlags, NoImageIndex, strOther, strOtherHint, 10);
}

void InitDisablePaletteItem() {
    const int image = DefaultLargeImage() < 0 ? NoImageIndex : DefaultLargeImage() + 1;
    constexpr uint16_t flags = pifSelectedInTextOnly | pifChangesElement | pifLargeImage | pifToggle;  // 0x0341
    g_palette.disable = Attach<TDisablePaletteItem>(g_palette.state, flags, image, strDisabled, strDisabledHint, 10);
    g_palette.disable->SetLetter(QStringLiteral("D"));
}

void FinalPaletteUnit() { g_palette = TStandardPalette(); }

#pragma once
// The palette: one process-wide tree of groups and items from which the user
// applies commands to elements (inserting an element of a class, switching an
// option, disabling). Element units register their items under the standard
// groups at start-up; items are never removed at run time.

#include "core/cuNode.h"

#include <QList>
#include <QString>

#include <cstdint>

class TElement;
class TElementClass;
class TPaletteItem;

// Item flags.
enum : uint16_t {
    pifSelectedInTextOnly = 0x0001,  // offered only for elements selected in a text
    pifNotForSelection = 0x0002,     // not offered for a selection
    pifNotForCombined = 0x0004,      // not offered when several selected elements are combined
    pifNeedsEnabledTarget = 0x0008,  // disabled while the target element is disabled
    pifOwnLine = 0x0010,             // the element it inserts in a text stands on a line of its own
    pifWithoutUpdate = 0x0020,       // applied without the sheet's update bracket
    pifChangesElement = 0x0040,      // disabled for read-only elements
    pifNotDelegated = 0x0080,        // not offered by texts that pass the palette to their owner
    pifLargeImage = 0x0100,          // large button: the image index is a large image
    pifToggle = 0x0200,              // toggle button
    pifRadio = 0x0400,               // radio button; Display starts at 1
    pifNewColumn = 0x0800,           // a small button that starts a new column
    pifNoCaption = 0x1000,           // no caption even when captions are shown
    pifDropDown = 0x2000,            // shows a drop-down sign and only opens its menu
    pifSplit = 0x4000,               // split button
};

// The state an element answers for an item.
struct TPaletteItemState {
    bool Enabled = true;
    bool Checked = false;
};

// What the palette form shows for an item; the focused element may adjust it.
struct TPaletteItemInfo {
    TNode* Group = nullptr;
    QString Caption;
    int SmallImage = -1;
    int LargeImage = -1;
    uint16_t Flags = 0;
    int Display = 0;
    QString Letter;
};

// Offered by elements that palette items act on (the visual elements).
class IPaletteItemTarget {
public:
    virtual ~IPaletteItemTarget() = default;
    virtual void GetItemState(TPaletteItem* item, TPaletteItemState& state) = 0;
    virtual void ApplyItem(TPaletteItem* item, bool checked) = 0;
};

class TPalette : public TNode {
    T_CLASS(TPalette)
public:
    TPalette() = default;
    // Depth first through groups, items and sub-items in child order: the
    // first element item that inserts exactly cls; nullptr when none.
    TPaletteItem* FindItemForClass(const TElementClass* cls) const;

protected:
    ~TPalette() override = default;
};

class TPaletteNode : public TNode {
    T_CLASS(TPaletteNode)
public:
    int Order() const noexcept { return m_order; }
    int CaptionId() const noexcept { return m_captionId; }
    // The caption in the current language; empty for id 0.
    QString GetCaption() const;

protected:
    TPaletteNode(int captionId, int order) : m_captionId(captionId), m_order(order) {}
    ~TPaletteNode() override = default;

private:
    int m_captionId;
    int m_order;
};

class TPaletteGroup : public TPaletteNode {
    T_CLASS(TPaletteGroup)
public:
    TPaletteGroup(int captionId, int order) : TPaletteNode(captionId, order) {}
    // Appends a new group under parent.
    static TPaletteGroup* Create(TNode* parent, int captionId, int order);

protected:
    ~TPaletteGroup() override = default;
};

class TPaletteItem : public TPaletteNode {
    T_CLASS(TPaletteItem)
public:
    TPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order);
    // Appends a new item under parent (a group or another item).
    static TPaletteItem* Create(TNode* parent, uint16_t flags, int imageIndex, int captionId, int hintId, int order);

    int HintId() const noexcept { return m_hintId; }
    int SmallImage() const noexcept { return m_smallImage; }
    int LargeImage() const noexcept { return m_largeImage; }
    uint16_t Flags() const noexcept { return m_flags; }
    const QString& Letter() const noexcept { return m_letter; }
    void SetLetter(const QString& letter) { m_letter = letter; }
    int Display() const noexcept { return m_display; }
    QString GetHint() const;
    // The record the palette form starts from.
    TPaletteItemInfo MakeInfo() const;
    // Whether the palette enables the item for a target: the state says
    // enabled, an item with pifNeedsEnabledTarget has an enabled target, and
    // an item with pifChangesElement a target that is not read-only.
    bool IsEnabledFor(const TPaletteItemState& state, bool targetDisabled, bool targetReadOnly) const noexcept;

protected:
    ~TPaletteItem() override = default;
    void SetImages(int small, int large) noexcept { m_smallImage = small, m_largeImage = large; }

private:
    int m_hintId;
    int m_smallImage = -1;
    int m_largeImage = -1;
    uint16_t m_flags;
    QString m_letter;
    int m_display;
};

// An item that acts on elements.
class TSchemePaletteItem : public TPaletteItem {
    T_CLASS(TSchemePaletteItem)
public:
    // A negative image index takes the default picture of the element image
    // lists: the first large one with pifLargeImage, else the first small one.
    TSchemePaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order);
    static TSchemePaletteItem* Create(TNode* parent, uint16_t flags, int imageIndex, int captionId, int hintId,
                                      int order);

    // The element applies the item (IPaletteItemTarget::ApplyItem).
    virtual void ApplyTo(TElement* element, bool checked);
    // For each element in order: its state preset enabled and unchecked and
    // filled by the element; when it stays enabled, ApplyTo.
    virtual void ApplyToList(const QList<TElement*>& list, bool checked);
    virtual QString GetSoundName() const;

    // The sound, then ApplyTo / ApplyToList.
    void ExecuteFor(TElement* element, bool checked);
    void ExecuteForList(const QList<TElement*>& list, bool checked);

protected:
    ~TSchemePaletteItem() override = default;
    static bool StateEnabled(TPaletteItem* item, TElement* element);
};

// An item that inserts an element of a class; its flags always hold 0x0042.
class TElementPaletteItem : public TSchemePaletteItem {
    T_CLASS(TElementPaletteItem)
public:
    TElementPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order,
                        const TElementClass* elementClass);
    static TElementPaletteItem* Create(TNode* parent, uint16_t flags, int imageIndex, int captionId, int hintId,
                                       int order, const TElementClass* elementClass);
    // An item with a picture of each size, so that it keeps one where an
    // element shows it in the other size (AdjustPaletteItemInfo).
    static TElementPaletteItem* Create(TNode* parent, uint16_t flags, int smallImage, int largeImage, int captionId,
                                       int hintId, int order, const TElementClass* elementClass);

    const TElementClass* ElementClass() const noexcept { return m_elementClass; }
    // The class inserted instead when the element before the place is of the
    // first class (none: always the first).
    const TElementClass* SecondClass() const noexcept { return m_secondClass; }
    void SetSecondClass(const TElementClass* cls) noexcept { m_secondClass = cls; }
    QString GetSoundName() const override;

protected:
    ~TElementPaletteItem() override = default;

private:
    const TElementClass* m_elementClass;
    const TElementClass* m_secondClass = nullptr;
};

// An item with sub-commands (the palette form lists them in a menu).
class TSubExecutablePaletteItem : public TSchemePaletteItem {
    T_CLASS(TSubExecutablePaletteItem)
public:
    using TSchemePaletteItem::TSchemePaletteItem;

    // The sub-commands offered for target: (caption, sub-command text) pairs.
    virtual void FillSubItems(TElement* target, QList<std::pair<QString, QString>>& items) {}
    // Nothing in the base.
    virtual void ApplySub(TElement* element, const QString& sub) {}
    // ApplySub for every element whose state stays enabled.
    virtual void ApplySubToList(const QList<TElement*>& list, const QString& sub);

protected:
    ~TSubExecutablePaletteItem() override = default;
};

// The Disable item: disables or enables the selected elements.
class TDisablePaletteItem : public TSchemePaletteItem {
    T_CLASS(TDisablePaletteItem)
public:
    using TSchemePaletteItem::TSchemePaletteItem;
    QString GetSoundName() const override;

protected:
    ~TDisablePaletteItem() override = default;
};

// The palette and its standard nodes; valid between the unit's
// initialisation and finalisation.
TPalette* Palette() noexcept;
TPaletteGroup* PaletteActionsGroup() noexcept;
TPaletteGroup* PaletteOptionsGroup() noexcept;
TPaletteGroup* PaletteInsertGroup() noexcept;
TPaletteGroup* PaletteStateGroup() noexcept;
TPaletteGroup* PaletteAdditionalGroup() noexcept;
TPaletteItem* PaletteOtherInsertItem() noexcept;
TPaletteItem* PaletteOtherAdditionalItem() noexcept;
TDisablePaletteItem* PaletteDisableItem() noexcept;

// The tree with its standard groups and "Other" items.
void InitPaletteUnit();
// The Disable item (needs the large element images).
void InitDisablePaletteItem();
void FinalPaletteUnit();

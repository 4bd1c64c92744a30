#pragma once
// Titled elements, comments and descriptions.
//
// Most elements on a sheet are framed blocks whose first row (the title)
// mixes fixed words, small inline elements, editable fields and pictures,
// optionally followed by a body (the content). An element kind describes its
// title as a list of items in a TTitleWriter; TCustomTitledElement measures
// the items, breaks them into rows, places its child elements, sizes itself
// and paints the fixed items. TTitledElement adds the expand button and a
// stored minimum size, TTitledElementWithContent a content container below
// the title.
//
// Comments are rich text written beside the structure; a description is a
// comment that belongs to one element (its parent in the element tree),
// floats at the right of it on the sheet (its visual parent is the sheet's
// root element) and is shown only while it has text or the caret is in it.
//
// One unit in two files: diTitled.cpp holds the title writer, the layout and
// the titled element kinds; diTitledComments.cpp the comment and description
// classes.

#include "scheme/diPalette.h"
#include "scheme/diVisual.h"
#include "text/diTextorElement.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <deque>
#include <unordered_set>
#include <vector>

class TDescriptionField;
class TExpandButton;
class TSheetCanvas;

// ---------------------------------------------------------------------------
// Title elements

// Required of every element placed as a block in a title row.
class ITitleElement {
public:
    // The size the block wants inside the title.
    virtual QSize GetTitleSize() = 0;
    // The descent of the block's last row.
    virtual int GetTitleDescent() = 0;

protected:
    ~ITitleElement() = default;
};

// ---------------------------------------------------------------------------
// The title writer

enum class TTitleItemKind : uint8_t {
    Text = 0,
    InlineElement = 1,
    Block = 2,  // always ends its row
    Field = 3,
    Space = 4,
    CharImage = 5,   // the 12 x 12 element images
    SmallImage = 6,  // the 16 x 16 element images
    LargeImage = 7,  // the 32 x 32 element images
    Separator = 8,   // a line across the element
};

// Vertical alignment of inline elements and fields in their row.
enum class TTitleAlign : uint8_t { Top = 0, Centre = 1, Bottom = 2 };

struct TTitleItem {
    TTitleItemKind Kind = TTitleItemKind::Text;
    bool EndsRow = false;
    QString Text;                      // Text
    TVisualElement* Element = nullptr;  // InlineElement, Block, Field (not owned)
    int Number = 0;                    // Space: its width; images: the index
    TTitleAlign Align = TTitleAlign::Centre;
    // Measured size (0: not measured yet).
    int Width = 0;
    int Height = 0;
    // The item's vertical reference within its row (0: its height).
    int ReferenceHeight = 0;
    TRect Margins;
};

// The title items of one layout or paint. Items keep their addresses while
// more are added, so a kind may adjust the item an Add answers.
class TTitleWriter {
public:
    TTitleItem& AddText(const QString& text);
    TTitleItem& AddElement(TVisualElement* element);
    TTitleItem& AddBlock(TVisualElement* element);
    TTitleItem& AddField(TVisualElement* element, TTitleAlign align = TTitleAlign::Centre);
    TTitleItem& AddSpace(int width);
    // kind: CharImage, SmallImage or LargeImage.
    TTitleItem& AddImage(int index, TTitleItemKind kind = TTitleItemKind::SmallImage);
    TTitleItem& AddSeparator();
    // Marks the last item (if any) as ending its row.
    void NewLine();

    int Count() const noexcept { return int(m_items.size()); }
    TTitleItem& Item(int index) { return m_items.at(size_t(index)); }
    std::deque<TTitleItem>& Items() noexcept { return m_items; }
    const std::deque<TTitleItem>& Items() const noexcept { return m_items; }

private:
    TTitleItem& Add(TTitleItemKind kind);
    std::deque<TTitleItem> m_items;
};

// The space between two meeting margins (or a margin and a padding): the
// larger when both are non-negative, else their sum but not less than 0.
int CollapseMargins(int first, int second) noexcept;

// One row of an arranged title.
struct TTitleRow {
    int First = 0;  // index of the first item
    int End = 0;    // one past the last item
    int Top = 0;
    int Height = 0;
    int Reference = 0;
    int TopMargin = 0;
    int BottomOverflow = 0;
};

// Where the measured items of a title go: rows, the place of each item
// (client coordinates of the element), and the size the rows need.
struct TTitleArrangement {
    std::vector<TTitleRow> Rows;
    std::vector<QPoint> Places;  // per item
    QSize Size;
};

// Arranges measured items inside padding (the first pass of the layout).
TTitleArrangement ArrangeTitle(const std::deque<TTitleItem>& items, const TRect& padding);
// The vertical offset of an item inside its row.
int TitleItemOffset(const TTitleItem& item, const TTitleRow& row) noexcept;

// ---------------------------------------------------------------------------
// Comments and descriptions (diTitledComments.cpp)

// Rich text beside the structure; it may embed exactly the classes of the
// class group cgCommentElements.
class TCustomCommentElement : public TTextorElement {
    T_ELEMENT_CLASS(TCustomCommentElement)
public:
    TCustomCommentElement() noexcept = default;

    int GetThemeKind() const override;
    void FillAcceptedClasses(TElementClassList& list) override;
    // Node message 100 when the inherited handling does not answer it: the
    // registered data class (none registered: not answered).
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    // Option 0x10, text options 0x4003, restrictions 0x7F.
    void Create() override;

protected:
    ~TCustomCommentElement() override = default;
};

class TCustomDescribedElement;

// The description of one element: its owner is its parent in the element
// tree, its visual parent the sheet's root element.
class TDescriptionField : public TCustomCommentElement {
    T_ELEMENT_CLASS(TDescriptionField)
public:
    TDescriptionField() noexcept = default;

    TCustomDescribedElement* Owner() const noexcept;
    // Moves the description to the right of its owner (see the placing rule).
    void Place();

    int GetThemeKind() const override;
    bool ComputeDisabled() override;
    bool ComputeVisible() override;
    TVisualElement* GetNavigationParent() override;
    void FocusChanged() override;
    // Becoming visible, it is placed.
    void VisibilityChanged() override;
    // Visual option 0x2000, text option 0x20000.
    void Create() override;

protected:
    ~TDescriptionField() override = default;
};

// The base of every element that can carry a description.
class TCustomDescribedElement : public TVisualElement {
    T_ELEMENT_CLASS(TCustomDescribedElement)
public:
    TCustomDescribedElement() noexcept = default;

    // The description field; none for kinds without one. A sub-element:
    // the element tree owns it.
    TDescriptionField* DescriptionField() const noexcept { return m_description; }
    // Makes the description field (kinds call it from their Create); on a
    // sheet its visual parent is the sheet's root element.
    void CreateDescriptionField();
    // The plain text of the description; empty without one.
    QString GetDescriptionText() const;
    // Gives the description the sheet's root element as visual parent and places it.
    void AttachDescription();
    void DetachDescription();

    // TVisualElement
    TVisualElement* GetNextChild(TVisualElement* child, bool forward) override;
    void EffectiveDisabledChanged() override;
    void VisibilityChanged() override;
    void PositionChanged() override;
    void BoundsChanged(const TRect& oldRect, int oldDescent) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void DetachFromSheet() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // TElement
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;

protected:
    ~TCustomDescribedElement() override = default;

private:
    friend class TDescriptionField;
    TDescriptionField* m_description = nullptr;
};

// The class a comment makes for pasted clipboard data that is not text
// (node message 100), registered at start-up by the image-data unit; none
// before that.
void RegisterCommentDataClass(const TElementClass* cls) noexcept;
const TElementClass* CommentDataClass() noexcept;

// The "Description" item (valid between InitCommentsUnit and FinalCommentsUnit).
TSchemePaletteItem* DescriptionPaletteItem() noexcept;
void InitCommentsUnit();
void FinalCommentsUnit();

// ---------------------------------------------------------------------------
// Titled elements (diTitled.cpp)

// Style bits of TCustomTitledElement.
enum : uint8_t {
    tsCommand = 0x01,     // theme kind "ElementCommand"
    tsTechnical = 0x02,   // theme kind "ElementTechnical"
    tsExpression = 0x04,  // theme kind "ElementExpression"
    tsRichChild = kTitledStyleRichChild,  // re-lays itself on every layout request
};

class TCustomTitledElement : public TCustomDescribedElement, public ITextorFieldHolder {
    T_ELEMENT_CLASS(TCustomTitledElement)
public:
    TCustomTitledElement() noexcept = default;

    uint8_t StyleFlags() const noexcept { return m_style; }
    // Only stores the byte.
    void SetStyleFlags(uint8_t flags) noexcept { m_style = flags; }
    bool IsLayingOut() const noexcept { return m_layingOut; }
    // Lays the title out (nothing without a sheet, while laying out, while
    // being destroyed or when not visible).
    void UpdateTitleLayout();
    // A child changed its size or first row: lays the title out again, or,
    // while a closing layout hold lays out children of it, once after them.
    void ChildLayoutChanged();

    // ---- virtual operations ----
    // Appends the title items (none here).
    virtual void WriteTitle(TTitleWriter& writer) {}
    // A child changed: lays the element out again.
    virtual void Realign(TVisualElement* child);
    virtual TVisualElement* GetContentContainer() { return nullptr; }
    virtual QSize GetMinimumSize() { return QSize(); }
    virtual void PaintBackground(TSheetCanvas& canvas, const TRect& rect) {}
    // How far in from the right and bottom edges the background depends on
    // the size (see TVisualElement::SizeDependentEdge): all of it unless a
    // kind knows better.
    virtual int BackgroundEdge() { return kWholeArea; }

    // ITextorFieldHolder
    void AddTextorStyleFlags(uint8_t flags) override { m_style |= flags; }

    // TVisualElement
    bool CanShowChild(TVisualElement* child) override;
    void ShowChild(TVisualElement* child) override;
    void Paint(TSheetCanvas& canvas) override;
    // The title stands where the padding and the rows put it, whatever the
    // size: a change of size alone repaints the background's edge and the
    // separators' right ends (a layout that moves the title repaints all).
    int SizeDependentEdge() final;
    void GetCaret(int& kind, TRect& rect) override;
    void FocusChanged() override;
    QSize GetAvailableSize(TVisualElement* child) override;
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    void ChildVisibilityChanged(TVisualElement* child) override;
    void VisibilityChanged() override;
    void RemoveVisualChild(TVisualElement* child) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void LayoutHoldEnded() override;
    bool HandleVisualChildMessage(TVisualElement* child, int msg, intptr_t p1, intptr_t p2) override;
    // TElement: a text below it whose first row changed re-lays the element.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TCustomTitledElement() override = default;

private:
    // Measures the writer's items (those still unmeasured).
    void MeasureItems(TTitleWriter& writer, TSheetCanvas& canvas, bool forLayout);
    void MarkTitleChildren(const TTitleWriter& writer);
    // padding: the element's (GetPadding), asked once by the layout.
    void PlaceItems(TTitleWriter& writer, const TTitleArrangement& arrangement, const TRect& padding, int width,
                    int shortfall);
    int ComputeDescent();
    // Expand buttons of this element re-check themselves (a child's default state changed).
    void RecheckExpandButtons(TVisualElement* child);

    // Children standing in the title as inline elements, blocks or fields.
    std::unordered_set<const TVisualElement*> m_titleChildren;
    // What the title paints of its own and where, as of the last layout.
    size_t m_titlePicture = 0;
    uint8_t m_style = 0;
    bool m_layingOut = false;
    // Set while a layout that changed the title's picture sets the bounds:
    // all of the old and the new area repaints.
    bool m_repaintsWhole = false;
};

class TTitledElement : public TCustomTitledElement {
    T_ELEMENT_CLASS(TTitledElement)
public:
    TTitledElement() noexcept = default;

    // The first of tsCommand, tsTechnical, tsExpression set picks its kind; else "Element".
    virtual int GetThemeElementKind();

    // The expand button (a sub-element placed first among the visual children), or none.
    TExpandButton* ExpandButton() const noexcept { return m_expandButton; }
    // Kinds that can collapse call it from their Create.
    void CreateExpandButton(bool expanded);
    // True without a button.
    bool IsExpanded() const;
    // Through the button's undoable operation; nothing without a button.
    void SetExpanded(bool expanded);
    int StoredWidth() const noexcept { return m_storedWidth; }
    int StoredHeight() const noexcept { return m_storedHeight; }
    // Each clamped to 0..kSheetUnlimited; a change re-lays an expanded element.
    void SetStoredSize(int width, int height);

    // TCustomTitledElement
    void WriteTitle(TTitleWriter& writer) override;
    QSize GetMinimumSize() override;
    void PaintBackground(TSheetCanvas& canvas, const TRect& rect) override;
    // The theme frame's (see TSheetTheme::SizeDependentEdge).
    int BackgroundEdge() override;
    // TVisualElement
    TRect GetPadding() override;
    void FocusFirst() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // TElement
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void BeforeDestruction() override;
    // Visual option 0x0001.
    void Create() override;

protected:
    ~TTitledElement() override = default;

private:
    friend class TExpandButton;
    TExpandButton* m_expandButton = nullptr;  // a sub-element: the element tree owns it
    int32_t m_storedWidth = 0;
    int32_t m_storedHeight = 0;
};

// The content container of an element that holds one: a sub-element that the
// element tree owns, made after construction and stored as the child "Content".
class TContentSlot {
public:
    TVisualElement* Get() const noexcept { return m_content; }
    void Make(TVisualElement* owner, const TElementClass* contentClass);
    // True when the content took the focus.
    bool Focus() const;
    // True when child is the content; name is then its stored name.
    bool Names(const TElement* child, QString& name) const;
    void Forget() noexcept { m_content = nullptr; }

private:
    TVisualElement* m_content = nullptr;
};

class TTitledElementWithContent : public TTitledElement {
    T_ELEMENT_CLASS(TTitledElementWithContent)
public:
    TTitledElementWithContent() noexcept = default;

    // The class of the content container (TTitledTextContainer here).
    virtual const TElementClass* GetContentClass();
    // A sub-element: the element tree owns it.
    TVisualElement* Content() const noexcept { return m_content.Get(); }

    TVisualElement* GetContentContainer() override { return m_content.Get(); }
    void FocusFirst() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;
    // Makes the content container of GetContentClass.
    void Create() override;

protected:
    ~TTitledElementWithContent() override = default;

private:
    TContentSlot m_content;
};

// The default content container: a text whose size is that of its content.
class TTitledTextContainer : public TTextorElement, public ITitleElement {
    T_ELEMENT_CLASS(TTitledTextContainer)
public:
    TTitledTextContainer() noexcept = default;

    // ITitleElement
    QSize GetTitleSize() override { return m_titleSize; }
    int GetTitleDescent() override { return m_titleDescent; }

    // Measures the text (size and the descent of its last row) instead of
    // sizing itself; a changed size asks the owner for a new layout.
    void FitBoundsToText() override;

protected:
    ~TTitledTextContainer() override = default;

private:
    QSize m_titleSize;
    int m_titleDescent = 0;
};

// The "Collapsed" item: checked while the element is collapsed; applying it
// sets the expanded state to the opposite of the checked state, with the
// sound of its direction; a selection changes as one undo step.
class TCollapsedPaletteItem : public TSchemePaletteItem {
    T_CLASS(TCollapsedPaletteItem)
public:
    using TSchemePaletteItem::TSchemePaletteItem;

    void ApplyTo(TElement* element, bool checked) override;
    void ApplyToList(const QList<TElement*>& list, bool checked) override;
    // None: the sound follows the direction (ApplyTo, ApplyToList).
    QString GetSoundName() const override { return QString(); }

protected:
    ~TCollapsedPaletteItem() override = default;
};

// Valid between InitTitledUnit and FinalTitledUnit.
TCollapsedPaletteItem* CollapsedPaletteItem() noexcept;
void InitTitledUnit();
void FinalTitledUnit();

#pragma once
// The text element: a visual element whose body is rich text. It owns a
// textor bound to it (TSchemeTextor), sizes itself from the laid-out text,
// checks the text against its restrictions, stores the text as a plain value
// or as a content tree, copies and pastes it, and while it is focused owns a
// caret object (TSchemeTextorInteractive) whose requests become undoable
// edits (TTextorEditOperation).
//
// One unit in four files: diTextorElement.cpp holds the element (answers to
// the textor, restrictions, sizing, layout lock, painting, delegation, focus
// glue and the text operations GetText/SetText); diTextorContent.cpp the
// content trees, the stored forms and the clipboard; diTextorEdit.cpp the
// undoable entry points EnterText, EnterContent and CreateEditOperation (next
// to the operation they build); diTextorCommands.cpp the commands, the find
// step, the drop-down item, the palette and the links.
//
// A content tree is a knot "TessalyContent" (kfIndexed) whose children are,
// in text order, "Chars" (parameter "Value": the characters, TAB runs as TAB
// characters), "Br" (a paragraph break) and one knot per embedded element,
// named by its type name and written by its SaveTo.
//
// An element off any sheet (the preview thread's private copies) keeps its
// layout locked: it never lays out nor measures.

#include "scheme/diCustomElements.h"
#include "text/diTextor.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TKnot;
class TSchemeLoader;
class TSchemeSaver;
class TSchemeTextorInteractive;
class TTextorEditOperation;
class TTextorElement;
struct TTextorDrop;

// ---------------------------------------------------------------------------
// Flags

// TextRestrictions: what the text may hold.
enum : uint32_t {
    trLetters = 0x01,
    trDigits = 0x02,
    trUnderscore = 0x04,
    trSpaces = 0x08,
    trTabs = 0x10,       // kept as tab-stop portions
    trLineFeeds = 0x20,  // several paragraphs
    trSpecial = 0x40,
    trBeginsWithLetter = 0x80,  // letter or "_" first
    trFileNameChars = 0x100,
    trPathChars = 0x200,
    trLatinLetters = 0x400,
    trInteger = 0x800,
    trFloat = 0x1000,
    trDropPercent = 0x2000,  // a trailing "%" is dropped before the conversion
    trNoLeadingSpace = 0x4000,
    trNoTrailingSpace = 0x8000,
    trElementRequired = 0x10000,
    trSingleElement = 0x20000,

    trAllCharacters = 0x7F,  // every character class: the usual value
    trAnyText = 0x4F,        // letters, digits, "_", special: without any no text at all
    trCursorText = 0x5F,     // the interactive's "text allowed" cursor choice
    trElementRules = trElementRequired | trSingleElement,
};

// TextorOptions.
enum : uint32_t {
    toRichContent = 0x01,  // embedded elements, stored as a content tree
    toHyperlinks = 0x02,
    toCheckWhenEditingEnds = 0x04,
    toNoMarks = 0x08,  // never show non-printing marks
    toIdentifierWords = 0x10,
    toElementOwnLine = 0x20,
    toDelegating = 0x40,  // palette, node messages, links and attributes go to the owner
    toCopyFromOwner = 0x80,
    toIndent = 0x100,          // left padding + 42 pixels scaled to the font size
    toEmptyWidth = 0x200,      // an empty text is two thirds of its height wide
    toFieldFrame = 0x400,      // theme kind 12
    toContainerFrame = 0x800,  // theme kind 19
    toFixedFont = 0x1000,
    toArtFont = 0x2000,
    toCommentFont = 0x4000,
    toExtendToMinHeight = 0x8000,
    toMaxWidth240 = 0x10000,
    toMaxWidth480 = 0x20000,
    toMaxWidth720 = 0x40000,
    toMaxWidth960 = 0x80000,
    toMaxWidthUnbounded = 0x100000,
    toMinWidth30 = 0x200000,
    toMinWidth240 = 0x400000,
    toMinWidth480 = 0x800000,
    toMinWidthAvailable = 0x1000000,
    toMinHeight60 = 0x2000000,
    toMinHeight120 = 0x4000000,
    toMinHeight240 = 0x8000000,
    toMinHeightAvailable = 0x10000000,

    toRelayoutMask = 0xEFF7F01,    // a change inside re-lays out
    toRepaintMask = 0xC00,         // a change of only these repaints
    toTitledStyleMask = 0x11000040,  // the holding titled element gets style bit 0x08
    toDelegatedCopyMask = 0x1F7033,  // taken from the owner when delegating
    toOwnerCopyMask = 0x7012,        // taken from the owner otherwise
};

// Which range an edit replaces.
enum class TEnterMode : uint8_t {
    Selection = 0,  // the caret object's selection (empty at the text end when not edited)
    Range = 1,      // the range given
    All = 2,        // the whole text
    Append = 3,     // an empty range at the text end
};

// Where focusing puts the caret.
enum class TTextFocusPlace : uint8_t {
    Data,           // the numeric range of focus data ("%d,%d,%d,%d"), else the start
    Start,
    End,
    Point,          // the position at a point (client coordinates)
    BeforeElement,  // before an embedded element
    AfterElement,
};

// Internal state of the element.
enum : uint8_t {
    tesRebuilding = 0x01,
    tesApplyingPendingSelection = 0x02,
    tesInOwnRelayout = 0x04,
};

// Node messages the element sends or answers.
enum : int {
    nmFirstRowHeight = 10,         // answered: *(int*)p1 = the first-row height
    nmFirstRowHeightChanged = 11,  // sent up to the ancestors, up to the text holding the sender's branch
    nmClipboardElementClass = 100, // p1: const TElementClass** to fill for the clipboard data
    nmPrepareClipboardElement = 101,  // p1: the new element to prepare
    nmTextorNotification200 = 200,
    nmTextorNotification250 = 250,
};

// Saver and loader option bit that leaves out (or takes as unknown) paragraph
// breaks of an element that allows no text.
constexpr uint8_t kContentNoBreaksWithoutText = 0x08;
// Loader option for pasted trees: elements get fresh numbers.
constexpr uint8_t kContentFreshNumbers = 0x04;

// Sheet-theme element kinds of the frames.
constexpr int kThemeKindField = 12;
constexpr int kThemeKindContainer = 19;
constexpr int kNoThemeKind = -1;
// The left indent of option toIndent, before scaling to the font size.
constexpr int kTextorIndent = 42;
// The theme's minimum width when the element has no theme kind.
constexpr int kTextorDefaultMinWidth = 10;

// Names of the content tree.
inline const QString kContentRootName = QStringLiteral("TessalyContent");
inline const QString kContentCharsName = QStringLiteral("Chars");
inline const QString kContentBreakName = QStringLiteral("Br");
inline const QString kContentValueName = QStringLiteral("Value");
inline const QString kContentFloatingName = QStringLiteral("Floating");

// ---------------------------------------------------------------------------
// The titled element that holds a field: told when a rich-text child with
// options toTitledStyleMask is placed in it (it then re-lays itself on every
// layout request). Implemented by the titled elements.

class ITextorFieldHolder {
public:
    // Adds style bits (0x08 here) to the holder's style byte.
    virtual void AddTextorStyleFlags(uint8_t flags) = 0;

protected:
    ~ITextorFieldHolder() = default;
};
constexpr uint8_t kTitledStyleRichChild = 0x08;

// An element that fills itself from data on the clipboard (the data
// elements): what a rich text pastes when the clipboard holds no text.
// Implemented by the data elements.

class IClipboardDataElement {
public:
    // Takes the clipboard's element data or image; false when there is none it can use.
    virtual bool PasteFromClipboard(bool undoable) = 0;

protected:
    ~IClipboardDataElement() = default;
};

// What the sheet form replaces a found selection through (replacing).
// Implemented by the text elements.

class ITextReplacement {
public:
    // False (nothing changed) when the element is read-only or not edited.
    virtual bool ReplaceSelection(const QString& text) = 0;

protected:
    ~ITextReplacement() = default;
};

// ---------------------------------------------------------------------------
// Restriction numbers: "." as the only decimal separator and no group
// separator, whatever the locale; integers as Pascal reads them (decimal or
// "$" hexadecimal, 32 bits, an optional sign).

bool ParseRestrictionFloat(const QString& text, double& value) noexcept;
bool ParseRestrictionInteger(const QString& text, int32_t& value) noexcept;

// ---------------------------------------------------------------------------
// TSchemeTextor: the textor of a text element; its rules come from the element.

class TSchemeTextor final : public TTextor {
public:
    // Locked until the element is laid out on a sheet.
    explicit TSchemeTextor(TTextorElement* element);

    TTextorElement* Element() const noexcept { return m_element; }

    void Changed() override;
    void Relayout(bool textChanged) override;
    TParagraphAttributes* GetDefaultParagraphAttributes() const override;
    TTextAttributes* GetDefaultTextAttributes() const override;
    TRect GetTextMargins() const override;
    int GetAvailableWidth() const override;
    std::unique_ptr<TParagraphAttributes> NewParagraphAttributes() const override;
    std::unique_ptr<TTextAttributes> NewTextAttributes() const override;
    bool AllowsParagraphs() const override;
    bool UsesTabStopPortions() const override;
    bool IsSameWord(int first, int second) const override;
    void LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                         const TRect& paddings) override;
    TRect GetPaddings() const override;

private:
    TTextorElement* m_element;
};

// The limits the element's size is computed with.
struct TTextorSizeLimits {
    int MinWidth = 0;
    int MaxWidth = 0;  // the wrap width (paddings included)
    int MinHeight = 0;
};

// ---------------------------------------------------------------------------
// TTextorElement

class TTextorElement : public TCustomDropDownElement, public ITextReplacement {
    T_ELEMENT_CLASS(TTextorElement)
public:
    TTextorElement() noexcept;

    // The text, made on its first use: a text that stays empty and is never
    // laid out on a sheet takes none (loaded modules hold many such).
    TSchemeTextor* Textor() const { return m_textor ? m_textor.get() : MakeTextor(); }
    // Whether the textor was made (the text was used).
    bool HasTextor() const noexcept { return m_textor != nullptr; }
    // The caret object while edited, else none.
    TSchemeTextorInteractive* Interactive() const noexcept { return m_interactive.get(); }
    bool IsEdited() const noexcept { return m_interactive != nullptr; }

    uint32_t TextRestrictions() const noexcept { return m_restrictions; }
    uint32_t TextorOptions() const noexcept { return m_textorOptions; }
    bool HasTextorOption(uint32_t option) const noexcept { return m_textorOptions & option; }
    bool AllowsText() const noexcept { return m_restrictions & trAnyText; }
    // Re-lays out or repaints as the change asks; tells the holding titled element.
    void SetTextorOptions(uint32_t value);
    // A change of tabs or line feeds rebuilds the text; then the element is
    // checked, unless its last check stands under the new restrictions (see
    // CheckStandsUnder).
    void SetRestrictions(uint32_t value);
    const QString& DefaultText() const noexcept { return m_defaultText; }
    void SetDefaultText(const QString& text) { m_defaultText = text; }
    int FirstRowHeight() const noexcept { return m_firstRowHeight; }
    uint8_t TextorState() const noexcept { return m_textorState; }

    // ---- text operations ----
    // Whether an element portion is in the text (its element may have gone first).
    bool HasEmbeddedElement() const;
    // Paragraphs joined by CR LF; embedded elements add nothing.
    QString GetText() const;
    // The same as a view (TTextor::TextView): no textor reads as empty.
    QStringView TextView(QString& buffer) const;
    // Not undoable; nothing when there is no embedded element and the text is equal.
    void SetText(QStringView text);
    void SetText(const QString& text) { SetText(QStringView(text)); }
    // The undoable edit of the mode's range: one CR becomes a paragraph break,
    // any other text characters; no text only deletes (diTextorEdit.cpp).
    void EnterText(TEnterMode mode, const TTextorRange& range, bool selectInserted,
                   const std::optional<QString>& text);
    // The element's edit operation for the mode's range, replacing it by content
    // (none: deleting), submitted to the scheme's undo list. Nothing is
    // submitted for an empty range with nothing to insert (diTextorEdit.cpp).
    void EnterContent(TEnterMode mode, const TTextorRange& range, bool selectInserted, TNodePtr<TKnot> content,
                      uint8_t loaderMode, uint8_t loaderOption);
    // The range an edit of the mode replaces.
    TTextorRange GetEnterRange(TEnterMode mode, const TTextorRange& range) const;

    // ---- commands (diTextorCommands.cpp) ----
    // The whole text replaced as one edit (none: deleted), then an edit in progress finished.
    void ReplaceText(const std::optional<QString>& text);
    void ClearText() { ReplaceText(std::nullopt); }
    // ITextReplacement: the selection replaced as one edit; refused when read-only.
    bool ReplaceSelection(const QString& text) override;
    // Whether the Tab key is typed into the text: tabs are allowed and the caret object does not take Ctrl+Tab for it.
    bool WantsTab() const;
    // A new element of cls as one edit at range (none: the text end), on a line
    // of its own when the option or the item asks; edited, the caret stays right after it.
    void InsertNewElement(const TElementClass* cls, TPaletteItem* item, const std::optional<TTextorRange>& range);
    // Without undo: a new element of cls (a break after it when asked) at position (none: the text end).
    void InsertElementOfClass(const TElementClass* cls, bool breakAfter, const std::optional<TTextorPosition>& position);
    // InsertElementOfClass at the text end; answers the new element.
    TElement* AddElementOfClass(const TElementClass* cls, bool breakAfter = false);
    // Link attributes for word: the text attributes in blue, underlined, linking to word.
    TTextAttributesRef MakeHyperlinkAttributes(const QString& word) const;
    // Among root's items, the one the text names: equal, else beginning with
    // it, else with the longest common beginning; case-sensitively first, then
    // ignoring case unless caseSensitiveOnly. None when nothing matches.
    static TDropDownItem* FindTextItem(TDropDownItem* root, const QString& text, bool caseSensitiveOnly);

    // ---- content trees (diTextorContent.cpp) ----
    // Reads the children of knot into the text at position (none: the text
    // end) with loader, except those named in ownKnots (the element's own
    // sub-elements stored beside the content); answers the range from the
    // first to the last insertion.
    TTextorRange LoadContent(TSchemeLoader* loader, TKnot* knot, const std::optional<TTextorPosition>& position,
                             const QStringList& ownKnots = {});
    // A loader of the mode and option on the element's scheme, then LoadContent.
    TTextorRange InsertContent(TKnot* knot, uint8_t loaderMode, uint8_t loaderOption,
                               const std::optional<TTextorPosition>& position);
    // A saver of the mode and option on knot, then WriteContent.
    void SaveContent(TKnot* knot, uint8_t saverMode, const std::optional<TTextorRange>& range, uint8_t saverOption);
    // Makes root a content tree of whole elements, as inserted at the mode's place.
    void WriteElements(TSchemeSaver* saver, TKnot* root, TEnterMode mode, const std::vector<TElement*>& elements,
                       const TTextorRange& range);
    // Writes the elements (snapshot), frees them and enters the tree as one edit.
    void InsertElements(TEnterMode mode, const TTextorRange& range, std::vector<TNodePtr<TElement>> elements);
    // True and the text (breaks as CR LF) when knot holds only "Chars" and "Br".
    static bool GetPlainContentText(const TKnot* knot, QString& text);

    // ---- virtual operations ----
    // Caret width and interactive options of a new caret object.
    virtual void ConfigureInteractive();
    // The caret-object options of this element (its cursor choice included).
    uint16_t InteractiveOptions() const;
    // Links are marked (option toHyperlinks) before the paragraph is laid out.
    virtual void BeforeParagraphLayout(TParagraph* paragraph);
    // The operation of EnterContent (diTextorEdit.cpp).
    virtual TNodePtr<TTextorEditOperation> CreateEditOperation();
    // Attributes for the characters of a "Chars" knot read back (none in the base).
    virtual TTextAttributesRef GetNodeTextAttributes(TKnot* knot);
    // Adds a message per broken restriction.
    virtual void CheckRestrictions();
    // Sets the bounds from the text (when shown and not locked).
    virtual void FitBoundsToText();
    // The sheet's font of the text (options 0x1000-0x4000).
    virtual TTextAttributes* GetTextAttributes() const;
    // The element this field belongs to (delegation and placement copying);
    // none for an element that is not a sub-element.
    virtual TElement* GetOwnerTextElement();
    // kThemeKindField, kThemeKindContainer or kNoThemeKind.
    virtual int GetThemeKind() const;
    virtual TTextorSizeLimits GetSizeLimits();
    // Opens the target of the link at position (option toHyperlinks).
    virtual void ActivateLink(const TTextorPosition& position);
    // Node messages 100, 101, 200 and 250.
    virtual bool AcceptsNotification(int msg) const;
    virtual void PaintBackground(TSheetCanvas& canvas);
    virtual void TextChanged();
    virtual void TextChangedHook();
    // Writes the range (none: all) as the children of knot (diTextorContent.cpp).
    virtual void WriteContent(TSchemeSaver* saver, TKnot* knot, const std::optional<TTextorRange>& range);

    // Focuses the element and puts the caret, inside the sheet's update bracket.
    void FocusText(TTextFocusPlace place, const QString& data = QString(), QPoint point = QPoint(),
                   TVisualElement* element = nullptr);

    // ---- sizing ----
    QSize GetContentSize() { return GetContentSize(GetPadding()); }
    // The same inside the padding given (the element's, asked once by the caller).
    QSize GetContentSize(const TRect& padding);
    void UpdateBounds();
    // The owner textor element when delegating, else none.
    TTextorElement* DelegateOwner();

    // The step after each re-layout of the textor: the pending selection,
    // the bounds, the caret.
    void AfterRelayout(bool textChanged);
    // Whether the layout lock taken at creation (or on leaving a sheet) is held.
    bool HoldsLayoutLock() const noexcept { return m_holdsLayoutLock; }

    // ---- TVisualElement ----
    void Paint(TSheetCanvas& canvas) override;
    // A text paints its theme frame and its rows (which a re-layout repaints
    // itself): a change of size repaints only the strips the frame reaches
    // into, or all of it when the theme's frame of its kind changes inside
    // (0 without a frame). Kinds that paint more of their own say otherwise.
    int SizeDependentEdge() override;
    // Embedded children are painted with the text, not again as children.
    void PaintChild(TSheetCanvas& canvas, int flags, TVisualElement* child) override;
    TRect GetPadding() override;
    TRect GetMargins() override;
    TRect GetHitInsets() override;
    QSize GetAvailableSize(TVisualElement* child) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void BoundsChanged(const TRect& oldRect, int oldDescent) override;
    void DetachFromSheet() override;
    void LayoutHoldEnded() override;
    void VisibilityChanged() override;
    void InsertVisualChild(TVisualElement* child, TVisualElement* before) override;
    void RemoveVisualChild(TVisualElement* child) override;
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    void ChildDisabledChanged(TVisualElement* child) override;
    void FocusChanged() override;
    void GetCaret(int& kind, TRect& rect) override;
    void GetFocusData(QString& text) override;
    void SetFocus(const QString& focusData = QString()) override;
    void SelectAll() override;
    void CancelPress() override;
    // Keys and the mouse go to the caret object (points made relative to the text origin).
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& ch) override;
    void KeyUp(int& key, TShiftState shift) override;
    void MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) override;
    void MouseMove(QPoint p, TShiftState shift) override;
    void MouseUp(QPoint p, TMouseButton button, TShiftState shift) override;
    // The caret object's cursor; when not edited, the cursor of the text zone.
    int GetCursor(QPoint p) override;
    void DeleteContent() override;
    bool CanCopy() override;
    bool CanCopyAsText() override;
    bool CanDelete() override;
    void FinishEditing() override;
    void MapNodeName(TSchemeFiler* filer, TKnot* knot, QString& name) override;
    const TElementClass* UnknownNodeClass(TSchemeFiler* filer) override;
    void AdjustPaletteItems(QList<TPaletteItem*>& list) override;
    void AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) override;
    // Commands (diTextorCommands.cpp).
    bool FindFocusableWithin(TFindMode mode, const TFindData& request, TVisualElement*& next, bool forward) override;
    std::optional<bool> FindBesideChild(TVisualElement* child, TFindMode mode, const TFindData& request,
                                        TVisualElement*& next, bool forward) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    TDropDownItem* FillDropDown(TDropDownItem* root) override;
    bool SelectDropDownItem(TDropDownItem* item) override;
    // Clipboard (diTextorContent.cpp).
    void Copy() override;
    void CopyAsText() override;
    bool Paste() override;
    // Dropping dragged text (diTextorContent.cpp): the source's selection goes
    // in at the drop place, as a paste would put it there, and is selected; a
    // move also removes it from the source (Inserted and SourceRemoved set).
    // One undo step. Nothing happens on a read-only element, for a place at
    // or inside the selection, or in a text inside an element of the dragged
    // selection. Content the text refuses (nested too deep)
    // raises as a refused paste does and changes nothing: the source keeps its
    // content, focus and selection, and no step is filed.
    void AcceptDrop(TTextorDrop& drop);

    // ---- TElement ----
    void Create() override;
    void BeforeDestruction() override;
    void CheckContent() override;
    bool GetIsFilled() override;
    bool GetIsDefault() override;
    void OptionsChanged(uint8_t oldOptions) override;
    void TreePlacementChanged() override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void FillAcceptedClasses(TElementClassList& list) override;
    // Stored forms and plain text (diTextorContent.cpp).
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void WriteText(QString& builder) override;

protected:
    ~TTextorElement() override;
    void SetTextorStateBits(uint8_t bits, bool on) noexcept {
        m_textorState = on ? uint8_t(m_textorState | bits) : uint8_t(m_textorState & ~bits);
    }

private:
    // The names of the knots SaveTo writes for sub-elements into the element's own knot.
    QStringList OwnKnotNames(TSchemeFiler* filer);
    friend class TSchemeTextor;

    // Caret-object notifications.
    void OnInteractive(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    // The find step from a place of the text on; at the text's end the search goes on outside.
    bool FindFrom(const TTextorPosition& at, TFindMode mode, const TFindData& request, TVisualElement*& next,
                  bool forward);
    // Where the text starts in client coordinates (the paddings).
    QPoint TextOrigin();
    // While the selection is dragged: the text under the pointer (client
    // coordinates) when it is another one than this. Elements in the selected
    // text are not hit: over them (and inside them) the drop goes to this text.
    TTextorElement* OtherTextAt(QPoint p);
    // Drops the dragged selection on another text at the pointer.
    void DropOnOtherText(TTextorElement& target, QPoint p, bool copy);
    void StartEditing();
    void StopEditing();
    bool CanEditNow() const;
    void ApplySelectionAfterRelayout(bool textChanged);
    void InvalidateRelaidRows();
    // Whether the text shows its paragraph marks (the sheet's setting, unless it has none).
    bool ShowsParagraphMarks();
    void MarkEmbeddedSelection();
    // The embedded children counted by the element rules (stops at 2).
    int CountRuledChildren() const;
    void AddRestrictionMessage(int stringId, const QString& argument = QString());
    // Whether checking again after the restrictions were old would give what
    // the last check gave: it is current (none queued, no update open, no
    // editing held back), left no message, knows the text's character
    // classes, and the restrictions differ only in rules on characters that
    // refuse none of them. Narrowing every name field of a large scheme then
    // costs no look at their texts.
    bool CheckStandsUnder(uint32_t old) const;
    void CheckCharacters();
    void CheckNumber();
    void TellTitledHolder();
    void TellFirstRowHeightChanged();
    void RelayoutText();
    // Frees the portions whose element went first.
    void FreeEmptyElementPortions();

    // A textor made as at creation: locked, as it is while the element was
    // never laid out on a sheet (a textor is made before its first layout).
    TSchemeTextor* MakeTextor() const;

    // None until the first use (an empty text).
    mutable std::unique_ptr<TSchemeTextor> m_textor;
    std::unique_ptr<TSchemeTextorInteractive> m_interactive;
    uint32_t m_restrictions = trAllCharacters;
    uint32_t m_textorOptions = 0;
    // The character classes the last check of characters found (diTextCensus),
    // kClassesUnknown once the text changed after it.
    static constexpr uint16_t kClassesUnknown = 0xFFFF;
    uint16_t m_checkedClasses = kClassesUnknown;
    QString m_defaultText;
    int m_firstRowHeight = 0;
    uint8_t m_textorState = 0;
    bool m_holdsLayoutLock = true;
    // The text changed while its re-layout waited for a lock: the caret
    // object's positions may point at freed portions.
    bool m_changedBeforeLayout = false;
};

// A paragraph break appended to a content tree.
TKnot* AddContentBreak(TKnot* parent);
// Whether the palette item that inserts the element's class asks for a line of its own.
bool ElementHasOwnLine(const TElement* element);

// The shared default attributes of every scheme textor (made at start-up).
void InitTextorElementUnit();
void FinalTextorElementUnit();

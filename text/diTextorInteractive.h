#pragma once
// The caret and selection of one textor while its element is edited. The
// caret object never changes the text: typing and deleting are requests
// (notification 8) that the owning element turns into undoable edits. Every
// setter goes through SetCaretAndSelection, which tells the listeners what
// changed through numbered notifications (TItfObject::Broadcast).
//
// TSchemeTextorInteractive adds the pending selection: an edit sets it, and
// the element applies it after the next re-layout, when the rows exist.

#include "core/cuClasses.h"
#include "platform/plInput.h"
#include "text/diTextor.h"

#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>

// Notifications (broadcast codes).
enum : int {
    tinCaret = 1,          // the caret row, caret position or caret width changed
    tinSelection = 2,      // the selection changed
    tinMouseMode = 3,      // the mouse mode changed
    tinZone = 4,           // the mouse zone changed
    tinDragBegan = 5,      // dragging of the selection began
    tinDrop = 6,           // p1: TTextorDrop* (the target answers what it did)
    tinActivateLink = 7,   // p1: const TTextorPosition* of the link
    tinEnterText = 8,      // p1: const QString* to enter in place of the selection, nil to delete
};

// Options.
enum : uint16_t {
    tioRowZone = 0x01,
    tioDoubleClickRow = 0x02,
    tioDragSelection = 0x04,
    tioParagraphEndHighlight = 0x08,
    tioClickLink = 0x10,
    tioDoubleClickLink = 0x20,
    tioCtrlEnterLink = 0x40,
    tioCtrlEnterParagraph = 0x80,
    tioCtrlTab = 0x100,
    tioCursorText = 0x200,
    tioCursorRich = 0x400,
    tioCursorDropDown = 0x800,
    tioCursorParagraphs = 0x1000,
};

// Mouse modes.
enum : uint8_t { tmmNone = 0, tmmSelecting = 1, tmmRows = 2, tmmPressedOnSelection = 3, tmmDragging = 4 };

// Mouse zones: where the pointer is, which chooses the cursor.
enum : uint8_t {
    tmzField = 0,            // text of a one-line field
    tmzFieldElements = 1,    // a field with rich content
    tmzFieldDropDown = 2,    // a field that opens a drop-down list
    tmzContainer = 3,        // several paragraphs, no text allowed
    tmzContainerText = 4,    // several paragraphs with text
    tmzLeft = 5,             // left of the rows (option tioRowZone)
    tmzLeftSelecting = 6,    // selecting whole rows
    tmzSelection = 7,        // over the selection (option tioDragSelection)
    tmzDragMove = 8,
    tmzDragCopy = 9,
    tmzNoDrop = 10,
    tmzLink = 11,
};

// Cursor numbers of the caret object, registered at start-up (RegisterTextorCursors).
enum : int {
    crTextorFieldBeam = 10,
    crTextorFieldElementsBeam = 11,
    crTextorFieldDropDownBeam = 12,
    crTextorContainerBeam = 13,
    crTextorContainerTextBeam = 14,
    crTextorLeftZone = 15,
    crTextorDragMove = 16,
    crTextorDragCopy = 17,
};

// A press more than this many pixels left of a row's left edge is in the left zone.
constexpr int kTextorLeftZoneWidth = 4;

// The zone of the text itself under the cursor options.
uint8_t TextZoneOf(uint16_t options) noexcept;
// The cursor number of a zone.
int CursorOfZone(uint8_t zone) noexcept;
// Registers the cursors 10-17 from the program's ".cur" resources
// (RegisterCustomCursor: each is read when first shown), Qt's shapes where a
// resource can't be read.
void RegisterTextorCursors();

// What a typed character becomes (the typed-character filter).
enum class TTypedChar : uint8_t { Ignored, Text, Paragraph, Tab };
// A control character (below 32) or any character typed with Ctrl is taken
// only as a paragraph break (CR, when paragraphs are allowed and Ctrl is held
// exactly when tioCtrlEnterParagraph is set) or as a TAB (when the textor
// uses tab-stop portions and Ctrl is held exactly when tioCtrlTab is set).
TTypedChar FilterTypedChar(char16_t ch, bool ctrl, uint16_t options, bool allowsParagraphs,
                           bool usesTabStops) noexcept;

class TTextorInteractive;

// The argument of tinDrop: the source's selection dropped at a place of the
// target's text. A drag that moves deletes its source's selection only when
// the target set Inserted, so that no drag loses text, and not again when the
// target set SourceRemoved (it took the text away itself, in the same undo step).
struct TTextorDrop {
    TTextorInteractive* Source = nullptr;
    TTextorPosition Place;
    bool Copy = false;
    bool Inserted = false;
    bool SourceRemoved = false;
};

class TTextorInteractive : public TItfObject {
    T_CLASS(TTextorInteractive)
public:
    using CanEditTest = std::function<bool()>;

    // Caret at the start of the first row of the first paragraph, empty
    // selection there, caret width 1.
    explicit TTextorInteractive(TTextor* textor);
    ~TTextorInteractive() override;

    TTextor* Textor() const noexcept { return m_textor; }
    uint16_t Options() const noexcept { return m_options; }
    // Without a mouse mode the zone becomes the text zone of the options (no notification).
    void SetOptions(uint16_t options) noexcept;
    bool HasOption(uint16_t option) const noexcept { return m_options & option; }
    void SetCanEdit(CanEditTest test) { m_canEdit = std::move(test); }
    // Focuses a focusable part of an embedded element that Left or Right
    // enters, at its start (Right) or its end (Left); none: TVisualElement::Focus.
    using FocusPartFunction = std::function<void(TVisualElement* part, bool atStart)>;
    void SetFocusPart(FocusPartFunction focus) { m_focusPart = std::move(focus); }
    bool CanEdit() const { return !m_canEdit || m_canEdit(); }
    // Above 0: a typed TAB is entered as that many spaces.
    int TabWidth = 0;

    // The caret row; a row freed by a re-layout is never answered: it is found again.
    TRow* CaretRow() const noexcept;
    const TTextorPosition& CaretPosition() const noexcept { return m_caret; }
    const TTextorPosition& Anchor() const noexcept { return m_anchor; }
    const TTextorPosition& ActiveEnd() const noexcept { return m_activeEnd; }
    int CaretWidth() const noexcept { return m_caretWidth; }
    uint8_t MouseMode() const noexcept { return m_mouseMode; }
    uint8_t Zone() const noexcept { return m_zone; }
    // The cursor number of the current zone.
    int GetCursor() const noexcept { return CursorOfZone(m_zone); }
    // Text coordinates.
    QPoint PressPoint() const noexcept { return m_pressPoint; }
    QPoint CurrentPoint() const noexcept { return m_currentPoint; }
    // The zone the rules give at a point (text coordinates) without a mouse mode.
    uint8_t ZoneAt(QPoint point) const;

    // The one setter all others go through: stores, drops the typing
    // attributes, then notifies tinCaret when the row or the position changed
    // and tinSelection when the ends changed (in either order; one empty
    // selection for another is no change).
    void SetCaretAndSelection(TRow* row, const TTextorPosition& caret, const TTextorPosition& activeEnd,
                              const TTextorPosition& anchor);
    // The caret there (its row found), the selection collapsed.
    void SetCaretPosition(const TTextorPosition& position);
    // The caret goes to the range's end unless caretAtStart.
    void SetSelection(const TTextorRange& range, bool caretAtStart = false);
    void CollapseSelection();
    void SelectAll();
    void SetCaretWidth(int width);

    // Ordered.
    TTextorRange GetSelection() const;
    bool IsSelectionEmpty() const noexcept { return m_anchor == m_activeEnd; }
    bool IsSelectionReversed() const;
    QString GetSelectedText() const;
    // The override for the next typing, else the attributes of the portion at
    // or before the caret.
    TTextAttributesRef GetTypingAttributes() const;
    void SetTypingAttributes(TTextAttributesRef attributes) { m_typingAttributes = std::move(attributes); }
    TRect GetCaretRect() const;

    // Hit test with rounding, clamped to the first or last row (when extending,
    // the press and current points feed the element split rule); the caret
    // moves there and the selection is kept, collapsed or extended.
    void MoveCaretToPoint(QPoint point, bool keepSelection, bool extend);

    // ---- input (text coordinates); a consumed key becomes vkNone ----
    void KeyDown(int& key, TShiftState shift);
    void KeyUp(int& key, TShiftState shift);
    // Ctrl is read from TInputState. A high surrogate waits for its low half
    // (both go out as one text); a lone surrogate is dropped. A consumed
    // character becomes QChar().
    void KeyPress(QChar& ch);
    // clicks as TVisualElement::MouseDown: 0 (or 1) a single press, 2 double, 3 triple.
    void MouseDown(QPoint point, TMouseButton button, TShiftState shift, int clicks);
    void MouseMove(QPoint point, TShiftState shift);
    void MouseUp(QPoint point, TMouseButton button, TShiftState shift);
    // While dragging the selection, the pointer is over another text: the
    // caret stays, the zone tells whether that text takes the drop and
    // whether as a copy (Ctrl, or a source that can't be edited).
    void DragOverOtherText(TShiftState shift, bool canDrop);

    // The text at origin: the whole text, with the selection highlighted when
    // shown and not empty (the paragraph-end highlight with tioParagraphEndHighlight).
    void Paint(TSheetCanvas& canvas, int flags, bool showSelection, QPoint origin);

    // Notification tinEnterText with no text.
    void DeleteSelection();
    // Mouse mode none, zone recomputed.
    void CancelPress();

protected:
    void SetMouseMode(uint8_t mode);
    void SetZone(uint8_t zone);

private:
    // The caret to position on row (none: found), the selection collapsed or extended.
    void MoveCaretTo(TRow* row, const TTextorPosition& position, bool extend);
    TTextorPosition WordStart(const TTextorPosition& position) const;
    TTextorPosition WordEnd(const TTextorPosition& position) const;
    // Focuses the first (last) focusable part of the element of an element portion.
    bool FocusEmbedded(TPortion* portion, bool forward, TShiftState shift);
    bool DeleteKey(bool backward);
    bool VerticalMove(bool down, bool extend);
    bool HorizontalMove(int key, TShiftState shift);
    bool HomeEndMove(bool end, TShiftState shift);
    // A link in the portion at the caret or in the one before it.
    bool IsLinkAtCaret() const;
    uint8_t DragZone(bool ctrl) const;
    bool InLeftZone(QPoint point, TRow*& row) const;
    bool HitsSelection(QPoint point) const;
    bool LinkAt(QPoint point, TTextorPosition& position) const;
    // From the start of one row to the end (with its break) of the other, in text order.
    void SelectRows(const TRow* from, const TRow* to);
    void Drop(bool copy);
    QString PairedText(QChar ch);
    // Double click: a link activated, else the row or the word selected.
    void SelectWordAt(QPoint point);
    void SelectParagraphAt(QPoint point);
    // A single press: rows, the selection or the text.
    void Press(QPoint point, TShiftState shift);

private:
    TTextor* m_textor;
    TTextAttributesRef m_typingAttributes;
    int m_caretWidth = 1;
    mutable TRow* m_caretRow = nullptr;
    // The textor's rows generation m_caretRow belongs to.
    mutable uint32_t m_caretRowGeneration = 0;
    // The caret stands at the start of a row that continues a wrapped paragraph.
    bool m_caretAtFollowRowStart = false;
    TTextorPosition m_caret;
    TTextorPosition m_anchor;
    TTextorPosition m_activeEnd;
    uint8_t m_mouseMode = tmmNone;
    uint8_t m_zone = tmzField;
    uint16_t m_options = 0;
    CanEditTest m_canEdit;
    FocusPartFunction m_focusPart;
    QPoint m_pressPoint;
    QPoint m_currentPoint;
    // The start of the row where a selection of whole rows began.
    TTextorPosition m_rowsStart;
    // A typed high surrogate waiting for its low half.
    char16_t m_highSurrogate = 0;
};

class TSchemeTextorInteractive : public TTextorInteractive {
    T_CLASS(TSchemeTextorInteractive)
public:
    using TTextorInteractive::TTextorInteractive;

    // Applied by the element after the next re-layout.
    void SetPendingSelection(const TTextorNumericRange& range, bool caretAtStart, bool noValidityTest);
    void ClearPendingSelection() noexcept { m_pending = false; }
    bool HasPendingSelection() const noexcept { return m_pending; }
    const TTextorNumericRange& PendingSelection() const noexcept { return m_pendingRange; }
    bool PendingCaretAtStart() const noexcept { return m_pendingCaretAtStart; }
    bool PendingWithoutValidityTest() const noexcept { return m_pendingNoValidityTest; }

private:
    bool m_pending = false;
    TTextorNumericRange m_pendingRange;
    bool m_pendingCaretAtStart = false;
    bool m_pendingNoValidityTest = false;
};

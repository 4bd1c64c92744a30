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
#include "text/diTextor.h"

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
    tinDrop = 6,           // p1: the source caret object, p2: const TTextorPosition* drop place
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
    void SetOptions(uint16_t options) noexcept { m_options = options; }
    bool HasOption(uint16_t option) const noexcept { return m_options & option; }
    void SetCanEdit(CanEditTest test) { m_canEdit = std::move(test); }
    bool CanEdit() const { return !m_canEdit || m_canEdit(); }
    // Above 0: a typed TAB is entered as that many spaces.
    int TabWidth = 0;

    TRow* CaretRow() const noexcept { return m_caretRow; }
    const TTextorPosition& CaretPosition() const noexcept { return m_caret; }
    const TTextorPosition& Anchor() const noexcept { return m_anchor; }
    const TTextorPosition& ActiveEnd() const noexcept { return m_activeEnd; }
    int CaretWidth() const noexcept { return m_caretWidth; }
    uint8_t MouseMode() const noexcept { return m_mouseMode; }

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

    // Notification tinEnterText with no text.
    void DeleteSelection();
    // Mouse mode none.
    void CancelPress();

protected:
    void SetMouseMode(uint8_t mode);

private:
    TTextor* m_textor;
    TTextAttributesRef m_typingAttributes;
    int m_caretWidth = 1;
    TRow* m_caretRow = nullptr;
    TTextorPosition m_caret;
    TTextorPosition m_anchor;
    TTextorPosition m_activeEnd;
    uint8_t m_mouseMode = tmmNone;
    uint16_t m_options = 0;
    CanEditTest m_canEdit;
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

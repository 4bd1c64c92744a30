#pragma once
// The sheet form: the window in which one scheme is shown and edited. It owns
// no model: attached to a scheme and the TSheet that lays it out, it turns
// what happens to its range box (keys, characters, mouse, focus, scrolling,
// resizing, painting) into calls on the sheet, and keeps the range, scroll
// position, caret, cursor, hints, drop-down window and its edit actions in
// step with the sheet's notifications and the scheme's undo list. It also
// runs the sheet-wide commands of the form that embeds it: find, replace,
// collapse and expand, going to elements by number.
//
// Keys go to the owner first (the embedding form's OnKeyDown, which passes
// them to the palette): a key the owner sets to 0 is consumed and never
// reaches the sheet. The drop-down list window (TDropDownControl) is a
// top-level list that never takes the focus: the form forwards the list's
// navigation keys and the wheel to it.

#include "core/cuProps.h"
#include "core/cuTypes.h"
#include "platform/plInput.h"

#include <QListWidget>
#include <QPoint>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class TDropDownItem;
class TDropDownList;
class TFindData;
class THintWindow;
class THooker;
class TItfObject;
class TRangeBox;
class TScheme;
class TSheet;
class TSheetForm;
class TTimer;
class TVisualElement;
enum class TFindMode : uint8_t;

// ---------------------------------------------------------------------------
// Settings

// The section "SheetForm": "ShowHints" (default true).
class TSheetFormSettings : public TProperty {
    T_CLASS(TSheetFormSettings)
public:
    TSheetFormSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();
    TBooleanProperty* ShowHints() const noexcept { return m_showHints; }

protected:
    ~TSheetFormSettings() override = default;

private:
    TBooleanProperty* m_showHints = nullptr;
};

// The shared section, made by the unit's initialisation (nil outside it).
TSheetFormSettings* SheetFormSettings() noexcept;
void InitSheetFormUnit();
void FinalSheetFormUnit();

// ---------------------------------------------------------------------------
// Multi-clicks

// Counts quick presses of the left button: 0 for a single press, then 2, 3,
// 4, ... while each press comes within the double-click time and the drag
// threshold (in x and in y) of the previous one.
class TClickCounter {
public:
    // The count for a press at screen point pos at time nowMs.
    int Press(QPoint pos, int64_t nowMs, bool leftButton, int doubleClickMs, int dragThreshold) noexcept;
    int Count() const noexcept { return m_count; }

private:
    bool m_pressed = false;
    QPoint m_lastPos;
    int64_t m_lastTime = 0;
    int m_count = 0;
};

// The clicks argument of TSheet::MouseDown for a count: 2, 3 or 4, else 0.
int SheetClicksForCount(int count) noexcept;

// ---------------------------------------------------------------------------
// Drop-down placement

constexpr int kDropDownMaxRows = 17;
constexpr int kDropDownEmptyWidth = 32;

// What the window's rectangle depends on besides its anchor and the screen.
struct TDropDownMetrics {
    int ItemHeight = 13;
    int RowCount = 0;
    int FrameHeight = 2;      // window height minus client height
    int ListWidth = 0;        // the list's own width (0: kDropDownEmptyWidth)
    int ScrollBarWidth = 16;  // a vertical scroll bar's width
};

// The drop-down window's rectangle (screen coordinates) under or above the
// anchor, within the available area of the anchor's screen: as many rows as
// the list has (at least 1, at most 17), on the side with more room, one row
// less at a time until it fits there, and moved left when it would stick out
// on the right.
TRect PlaceDropDown(const TDropDownMetrics& metrics, const TRect& anchor, const TRect& screen) noexcept;
// A re-placed window only grows: the smaller left and top, the larger size.
TRect GrowDropDown(const TRect& old, const TRect& placed) noexcept;

// ---------------------------------------------------------------------------
// TDropDownControl

// The list window of an open drop-down list: a frameless top-level list on
// top of the others that never takes the focus. Its rows are the list's
// items in tree order (children of expanded items after their parent),
// painted by the items themselves; it hot-tracks the row under the mouse and
// shows the selected item's hint at its side.
class TDropDownControl : public QListWidget {
public:
    // Posted to itself: hot-track the row under the cursor; show the hint of the current row.
    static constexpr int kHotTrackMessage = 1025;
    static constexpr int kItemHintMessage = 1026;

    // Created hidden, owned by the form.
    TDropDownControl(TSheetForm& owner, TDropDownList* list);
    ~TDropDownControl() override;

    TDropDownList* List() const noexcept { return m_list; }
    // Forgets the list (closed, its items about to go): no rows, no handler.
    void Detach();
    // Refills the rows from the list (keeping the top row) and selects the list's selected item.
    void Fill();
    // The item of a row; nil outside the rows.
    TDropDownItem* ItemOfRow(int row) const;
    TDropDownItem* CurrentDropDownItem() const { return ItemOfRow(currentRow()); }
    TDropDownMetrics Metrics() const;
    // Shows or hides the side hint of the current row.
    void ShowItemHint();
    THintWindow& SideHint() const noexcept { return *m_hint; }

    // A row became current by a key or a press (not by hot tracking).
    std::function<void(TDropDownControl& sender)> OnSelect;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void HotTrack(QPoint client);

    TSheetForm& m_owner;
    TDropDownList* m_list;
    std::unique_ptr<THintWindow> m_hint;
    QPoint m_lastMouse{-1, -1};
    bool m_filling = false;
};

// ---------------------------------------------------------------------------
// TSheetForm

// Owner events: the sheet form is the sender; a key or character set to 0 is consumed.
using TSheetFormKeyEvent = std::function<void(TSheetForm& sender, int& key, TShiftState shift)>;
using TSheetFormKeyPressEvent = std::function<void(TSheetForm& sender, QChar& ch)>;

// The edit actions of a sheet form, in the order of its action list.
enum class TSheetAction : uint8_t {
    EditUndo,
    EditRedo,
    EditCut,
    EditCopy,
    EditCopyText,
    EditPaste,
    EditDelete,
    EditSelectAll,
    EditReadOnly,
    ViewNonPrintingCharacters,
    Count
};

// The edit action a key runs when the sheet did not take it (Ctrl+Z, Ctrl+C,
// Shift+Insert, Delete, ...); Count when none.
TSheetAction SheetShortcutAction(int key, TShiftState shift) noexcept;
// The picture of an edit action: its cell in the strip of 16 x 16 pictures
// ":/rc/SheetFormEdit.png" (undo, redo, cut, copy, copy as text, paste,
// delete, select all); -1 for the actions without one.
int SheetActionPicture(TSheetAction action) noexcept;
// Whether an unconsumed key beeps (Backspace, Enter, the page and arrow keys, Home, End, Delete).
bool BeepsWhenUnconsumed(int key) noexcept;

// The scroll position that brings rect (with a horizontal margin) into a
// view of size visible at position: the far edges first, then the near ones.
QPoint ScrollCaretIntoView(const TRect& rect, int margin, QSize visible, QPoint position) noexcept;

class TSheetForm : public QWidget {
public:
    static constexpr int kHintReshowMs = 165;
    static constexpr int kCaretMargin = 30;
    // The step of the slack of the content's width on the range box: typing
    // in the widest line changes the horizontal bar only every few letters.
    static constexpr int kContentWidthSlack = 32;
    static constexpr int kEditPictureSize = 16;
    static constexpr int kFindStepSlack = 64;

    // settings: the "SheetForm" section (nil: hints are shown).
    explicit TSheetForm(QWidget* parent = nullptr, TSheetFormSettings* settings = SheetFormSettings());
    ~TSheetForm() override;

    // Attaches a scheme and its sheet; (nil, nil) detaches. The form must be
    // detached before the sheet goes.
    void AttachSheet(TScheme* scheme, TSheet* sheet);
    TScheme* Scheme() const noexcept { return m_scheme; }
    TSheet* Sheet() const noexcept { return m_sheet; }
    TRangeBox& RangeBox() const noexcept { return *m_rb1; }
    QAction& Action(TSheetAction action) const noexcept { return *m_actions[size_t(action)]; }
    QMenu& EditMenu() const noexcept { return *m_pmEdit; }
    TDropDownControl* DropDownControl() const noexcept { return m_dropDown.get(); }
    THintWindow& Hint() const noexcept { return *m_hint; }

    // Searches from the focused element on; reports "not found" through the
    // request when nothing is found. Whether a match was found.
    bool Find(TFindMode mode, const TFindData& request, bool down);
    // The find step: the focused element, then each next element it names,
    // entered from its start (down) or its end, until one holds a match.
    bool FindStep(TFindMode mode, const TFindData& request, bool down);
    // Replaces the match at the selection, then the next match (or all of
    // them); answers the number of replacements made. A read-only sheet only beeps.
    int Replace(const TFindData& request, const QString& replacement, bool all, bool down);
    // Selects and shows the elements with these numbers; answers how many exist.
    int GoToElements(const QList<int>& numbers);
    // Sets every expand button of the sheet, as one undo step: to expand, or
    // (notEmpty) collapsed where the element still has its default content.
    void CollapseExpandAll(bool notEmpty, bool expand);

    TSheetFormKeyEvent OnKeyDown;
    TSheetFormKeyPressEvent OnKeyPress;
    TSheetFormKeyEvent OnKeyUp;

    // Called by the drop-down window.
    void DropDownSelected(TDropDownControl& control);
    void DropDownReleased(TDropDownControl& control, QPoint client, bool left);

protected:
    void changeEvent(QEvent* event) override;

private:
    void CreateActions();
    void SetCaptions();
    void RefreshSheetState();
    // While a hint is up, the hint is asked for again every kHintReshowMs at
    // the cursor, so that the next element's hint follows the mouse.
    void KeepAskingForHints();
    void AskForHintAtCursor();
    void StopAskingForHints();
    // The content size changed: the range follows, the strips between the edges repaint.
    void ContentSizeChanged();
    void UpdateEditActions();
    void UpdateUndoRedoActions();
    void UpdateTabHandling();
    void UpdateCaret();
    TRect ShownContent() const;
    void RunAction(TSheetAction action);
    void EditEditExecute(TSheetAction action);

    // Handlers of the range box and its hook.
    void hk1BeforeMessage(QEvent& event, bool& handled);
    void hk1AfterMessage(QEvent& event);
    void rb1KeyDown(int& key, TShiftState shift);
    void rb1KeyPress(QChar& ch);
    void rb1KeyEvent(QKeyEvent& event);
    void rb1MouseDown(QMouseEvent& event, QPoint content);
    void rb1MouseMove(QMouseEvent& event, QPoint content);
    void rb1MouseUp(QMouseEvent& event, QPoint content);
    void rb1MouseLeave();
    void rb1ContextPopup(QContextMenuEvent& event);
    void rb1ShowHint(bool& canShow, QHelpEvent& hint);
    void rb1Resize();
    void rb1Scrolled();

    // Listeners.
    void OnLocalization(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnFormSettings(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnSheet(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnSheetSettings(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnUndoRedo(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);

    void OpenDropDown();
    void ChangeDropDown();
    void CloseDropDownWindow();
    TRect DropDownAnchor() const;
    void ShowElement(TVisualElement* element);
    void EnterFound(TVisualElement* next, bool down);
    // More find steps than this go round without the first element.
    int64_t FindStepLimit() const;

    TSheetFormSettings* m_settings;
    TRangeBox* m_rb1;
    std::unique_ptr<THooker> m_hk1;
    QMenu* m_pmEdit;
    QAction* m_miUndo = nullptr;
    std::array<QAction*, size_t(TSheetAction::Count)> m_actions{};
    TScheme* m_scheme = nullptr;
    TSheet* m_sheet = nullptr;
    TClickCounter m_clicks;
    TVisualElement* m_hinted = nullptr;
    std::unique_ptr<THintWindow> m_hint;
    std::unique_ptr<TTimer> m_hintReshow;  // made when a hint first shows
    std::unique_ptr<TDropDownControl> m_dropDown;
    bool m_selecting = false;  // the drop-down window changes the list's selection
    bool m_scrolling = false;  // the range box reports a scroll
};

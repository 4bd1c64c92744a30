#pragma once
// The editing area around a scheme's sheet form: the sheet form in the
// middle, the log's sheet form at the bottom behind a splitter (shown only
// while the log holds messages, with a small rounded button on the splitter
// that clears and closes it), the find and replace dialogs, and the actions
// that act on the whole scheme: find, find next, replace, collapse and
// expand, check, refresh, clear log and show palette. The palette plugs in
// through ISheetPalette: it is placed above the sheet, told which sheet it
// serves, and gets the sheet form's keys before the sheet does.

#include "platform/plInput.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QAction;
class QSplitter;
class QStyle;
class TElement;
class TFindData;
class TFindDialog;
class TItfObject;
class TKnot;
class TLogRoot;
class TPlaceBox;
class TScheme;
class TSheet;
class TSheetForm;

// What the edit area needs of its palette.
class ISheetPalette {
public:
    // The palette's window, placed above the sheet.
    virtual QWidget* PaletteWidget() = 0;
    // The sheet whose focused element the palette serves (nil: none); the
    // palette rebuilds from that sheet's notifications itself.
    virtual void SetSheet(TSheet* sheet) = 0;
    // The sheet form's keys, before the sheet sees them: a key or character
    // set to 0 is consumed.
    virtual void KeyDown(int& key, TShiftState shift) = 0;
    virtual void KeyPress(QChar& ch) = 0;
    virtual void KeyUp(int& key, TShiftState shift) = 0;

protected:
    ~ISheetPalette() = default;
};

enum class TEditAreaAction : uint8_t {
    EditFind,
    EditFindNext,
    EditReplace,
    EditCode,
    ToolsCollapseAll,
    ToolsExpandedNotEmpty,
    ToolsExpandAll,
    ToolsRefresh,
    ToolsCheck,
    ToolsClearLog,
    ViewPalette,
    Count
};

// The inner margin an edit area gets in a main window drawn in the style:
// 1 pixel, with sunken frames around the sheet and the log, in the classic
// look without visual styles, where the borderless sheet would have no edge;
// none otherwise.
int EditAreaInnerMargin(const QStyle& style);

class TEditArea : public QWidget {
public:
    static constexpr int kInitialLogHeight = 130;
    static constexpr int kMinLogHeight = 10;
    static constexpr int kSplitterHeight = 8;
    // The log button's face (":/rc/LogButtons.png") is this large; its clear
    // sign is one cell per severity (none, hint, warning, error) of the strip
    // ":/rc/LogClear.png".
    static constexpr QSize kLogButtonSize{58, 18};
    static constexpr QSize kLogClearSignSize{14, 13};
    static constexpr int kLogButtonCorner = 7;

    explicit TEditArea(QWidget* parent = nullptr);
    ~TEditArea() override;

    // Attaches the scheme and its sheet and the log's scheme and sheet; all nil detaches.
    void AttachScheme(TScheme* scheme, TSheet* sheet, TScheme* logScheme, TSheet* logSheet);
    // The palette (not owned; nil: none), placed above the sheet form.
    void SetPalette(ISheetPalette* palette);
    // The same padding on all four sides, with frames around the sheet area
    // (the palette and the sheet) and the log area, whose edges that cross
    // the splitter the splitter paints (0: none, no frames).
    void SetInnerMargin(int pixels);
    int InnerMargin() const noexcept { return m_innerMargin; }

    // The layout in the session: "Palette" (Visible) and "Log" (Height).
    void LoadLayout(TKnot* knot);
    void SaveLayout(TKnot* knot) const;

    TSheetForm& SheetForm() const noexcept { return *m_sheetForm; }
    TSheetForm& LogForm() const noexcept { return *m_logForm; }
    QSplitter& Splitter() const noexcept { return *m_splitter; }
    TPlaceBox& LogButton() const noexcept { return *m_logButton; }
    // The find and replace dialogs, made when first asked for.
    TFindDialog& FindDialog();
    TFindDialog& ReplaceDialog();
    QAction& Action(TEditAreaAction action) const noexcept { return *m_actions[size_t(action)]; }
    bool LogShown() const noexcept { return m_logShown; }
    int LogHeight() const noexcept { return m_logHeight; }
    int LogSeverity() const noexcept { return m_severity; }

    // The commands behind the actions (asAction: run by the user, so the
    // other F5 command runs first).
    void ToolsCheck(bool asAction);
    void ToolsRefresh(bool asAction);
    void ToolsClearLog();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The frames, with an inner margin.
    void paintEvent(QPaintEvent* event) override;
    // A click on the log button clears the log.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void SetCaptions();
    void RunAction(TEditAreaAction action);
    void UpdateToolActions();
    void UpdateLogPane();
    void CenterLogButton();
    void PaintLogButton(QPainter& painter);
    // The splitter's strip: its colour, and with an inner margin the edges of
    // the two frames that cross it.
    void PaintSplitter(QPainter& painter, const QWidget& handle) const;
    void PaintFrame(QPainter& painter, const QRect& rect) const;
    QColor SplitterColor() const;
    void SetLogHeight(int height);
    void OnLocalization(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnScheme(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    TLogRoot* LogRoot() const;
    // The request of a dialog: its text and match case, within the sheet's shown tree.
    TFindData MakeFindData(const TFindDialog& dialog) const;
    void FindFrom(const TFindDialog& dialog);

    TSheetForm* m_sheetForm;
    TSheetForm* m_logForm;
    QSplitter* m_splitter;
    TPlaceBox* m_logButton;
    std::unique_ptr<TFindDialog> m_fd1;
    std::unique_ptr<TFindDialog> m_rd1;
    std::array<QAction*, size_t(TEditAreaAction::Count)> m_actions{};
    ISheetPalette* m_palette = nullptr;
    TScheme* m_scheme = nullptr;
    TScheme* m_logScheme = nullptr;
    int m_innerMargin = 0;
    bool m_logShown = false;
    int m_logHeight = kInitialLogHeight;
    int m_severity = 0;
    QImage m_logFace;
    QImage m_logClearSigns;
};

#pragma once
// The palette form: the strip above a scheme's sheet that offers the palette
// items applying to the element focused in that sheet, as buttons grouped in
// panels, one panel per palette group. It rebuilds itself when the focus or
// the focused element's state changes (a rebuild that finds the same target
// and items keeps its buttons and only updates their states), runs an item
// when its button, menu entry or key is used, and offers keyboard access:
// while Ctrl is held, typing an item's key runs it, and after a moment every
// button shows its key in a small hint. A palette too wide for the form
// gives back width in four steps, from the last panel to the first.
//
// A click is posted to the form and run when the event loop gets to it, so
// that the button's own handling ends before the palette is rebuilt; a
// rebuild drops clicks still waiting.

#include "core/cuProps.h"
#include "platform/plInput.h"
#include "scheme/diPalette.h"
#include "ui/diEditArea.h"

#include <QAction>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <utility>
#include <vector>

class QHelpEvent;
class QMenu;
class THintWindow;
class TItfObject;
class TPanelEx;
class TPushStyler;
class TSchemeImages;
class TSheet;
class TStaticStyler;
class TStyledPainter;
class TTimer;
class TUserButton;
class TVisualElement;

// ---------------------------------------------------------------------------
// Settings

// The section "PaletteForm": "ShowHeaders", "ShowCaptions", "ShowHints" (all default true).
class TPaletteFormSettings : public TProperty {
    T_CLASS(TPaletteFormSettings)
public:
    TPaletteFormSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();
    TBooleanProperty* ShowHeaders() const noexcept { return m_showHeaders; }
    TBooleanProperty* ShowCaptions() const noexcept { return m_showCaptions; }
    TBooleanProperty* ShowHints() const noexcept { return m_showHints; }

protected:
    ~TPaletteFormSettings() override = default;

private:
    TBooleanProperty* m_showHeaders = nullptr;
    TBooleanProperty* m_showCaptions = nullptr;
    TBooleanProperty* m_showHints = nullptr;
};

// The shared section, made by the unit's initialisation (nil outside it).
TPaletteFormSettings* PaletteFormSettings() noexcept;
void InitPaletteFormUnit();
void FinalPaletteFormUnit();

// ---------------------------------------------------------------------------
// Pure parts

// Whether a key typed with Ctrl counts as a palette key: space, "0" to "9",
// "A" to "Z". (Function and keypad keys share numbers with the lower-case
// letters and never count.)
bool IsPaletteKeyCode(int key) noexcept;
// The text a palette key is shown with: "Space" for a single space.
QString PaletteKeyText(const QString& key);
// A button's hint: the caption, " (Ctrl+key)" when there is a key, then the
// item's description on the following lines.
QString PaletteHintText(const QString& caption, const QString& key, const QString& description);

// ---------------------------------------------------------------------------
// Menu entries

// A drop-down menu entry standing for one palette item. The radio entries of
// one radio group in a menu are exclusive: checking one unchecks the others.
class TPaletteMenuItem : public QAction {
public:
    TPaletteMenuItem(TPaletteItem* item, QObject* parent);
    TPaletteItem* Item() const noexcept { return m_item; }
    // The radio group (0: none).
    int RadioGroup() const noexcept { return m_radioGroup; }
    // Joins the exclusive group of the menu's entries of that radio group.
    void JoinRadioGroup(QMenu& menu, int group);

private:
    TPaletteItem* m_item;
    int m_radioGroup = 0;
};

// A drop-down menu entry standing for one sub-command of an item.
class TPaletteSubCommandMenuItem : public TPaletteMenuItem {
public:
    TPaletteSubCommandMenuItem(TPaletteItem* item, QString subCommand, QObject* parent);
    const QString& SubCommand() const noexcept { return m_subCommand; }

private:
    QString m_subCommand;
};

// ---------------------------------------------------------------------------
// TPaletteForm

class TPaletteForm : public QWidget, public ISheetPalette {
public:
    // Posted to the form: run an item (P1 the item, P2 the checked state);
    // run a sub-command (P1 the item, P2 the number of the kept text).
    static constexpr int kRunItemMessage = 1025;
    static constexpr int kRunSubCommandMessage = 1026;
    static constexpr int kCtrlPollMs = 10;
    static constexpr int kCtrlHintsMs = 550;

    // What a button of the palette stands for.
    struct TButtonEntry {
        TUserButton* Button = nullptr;
        TPaletteItem* Item = nullptr;  // nil for a group header
        TPaletteItemInfo Info;
        QString Key;                    // empty for a header and a second part
        bool FirstPart = false;         // the image part of a split button
        TPaletteItemState State;        // as last updated
    };

    // settings: the "PaletteForm" section (nil: everything shown).
    explicit TPaletteForm(QWidget* parent = nullptr, TPaletteFormSettings* settings = PaletteFormSettings());
    ~TPaletteForm() override;

    // ISheetPalette.
    QWidget* PaletteWidget() override { return this; }
    // Switches the sheet served and rebuilds.
    void SetSheet(TSheet* sheet) override;
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& ch) override;
    void KeyUp(int& key, TShiftState shift) override;

    TSheet* Sheet() const noexcept { return m_sheet; }
    // The target: the served sheet's focused element while the sheet is active.
    TVisualElement* Target() const;
    // Rebuilds for the current target.
    void Rebuild();

    const std::vector<TButtonEntry>& Buttons() const noexcept { return m_buttons; }
    const std::vector<TPanelEx*>& Panels() const noexcept { return m_panels; }
    // The button of a key (exact match); nil when none.
    TUserButton* ButtonOfKey(const QString& key) const;
    const TButtonEntry* EntryOf(const QWidget* button) const;
    int SmallHeight() const noexcept { return m_smallHeight; }
    int LargeHeight() const noexcept { return m_largeHeight; }
    // The form's height for the heights and the settings.
    int FormHeight() const;
    bool TooNarrow() const noexcept { return m_tooNarrow; }
    // The narrowest the form shows its row of panels whole, as its minimum
    // width for layouts: what the row still takes after fitting when the form
    // was too narrow for it, kept while the same buttons are shown; 0 when
    // the row fitted.
    int NeededWidth() const noexcept { return m_neededWidth; }
    QSize minimumSizeHint() const override;
    const QString& KeyBuffer() const noexcept { return m_keyBuffer; }
    bool InCtrlMode() const;
    // The key hints shown (empty when none).
    std::vector<THintWindow*> KeyHints() const;
    // How many full rebuilds made buttons (a rebuild that keeps them does not count).
    int BuildCount() const noexcept { return m_buildCount; }

    // Drop-down menu entries (owned by menu).
    TPaletteMenuItem* CreateItemMenuEntry(QMenu& menu, TPaletteItem* item, const TPaletteItemInfo& info);
    TPaletteSubCommandMenuItem* CreateSubCommandMenuEntry(QMenu& menu, TPaletteItem* item, const QString& caption,
                                                          const QString& subCommand);

protected:
    bool event(QEvent* event) override;
    // A button's hint goes when the mouse leaves the button or presses it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct TPanelBuild;

    void CreateStyles();
    void ComputeHeights();
    bool ShowHeaders() const;
    bool ShowCaptions() const;
    bool ShowHints() const;

    // Rebuilding.
    std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>> CollectItems(TVisualElement* target, bool& selection) const;
    bool SameItems(TVisualElement* target, bool selection,
                   const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items) const;
    void NoteNeededWidth(bool sameItems);
    void BuildPanels(TVisualElement* target, const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items);
    TPanelEx* PanelAt(size_t index);
    int FillPanel(TPanelEx& panel, TPaletteGroup* group, TVisualElement* target,
                  const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items);
    TUserButton* MakeButton(TPanelEx& panel, TPaletteItem* item, const TPaletteItemInfo& info, bool firstPart);
    void AttachMenu(TUserButton& button, TPaletteItem* item, TVisualElement* target,
                    const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items);
    void ClearMenus();
    void UpdateButtonStates();
    TVisualElement* StateSource(TVisualElement* target) const;
    bool UpdateMenuStates(QMenu& menu, TVisualElement* target, TVisualElement* source);

    // Fitting.
    void Fit(int excess);
    int GiveBack(size_t panel, int level);
    int TrimPanel(TPanelEx& panel);
    int DropSmallCaptions(TPanelEx& panel);
    int DropLargeCaptions(TPanelEx& panel);
    int DropSigns(TPanelEx& panel);
    void ShrinkPanel(size_t panel, int gain);

    // Running.
    void PostClick(TUserButton& button);
    void RunItem(TPaletteItem* item, bool checked, const QString* subCommand);
    void RunOnSelection(TVisualElement* target, TSchemePaletteItem* item, bool checked, const QString* subCommand);

    // Ctrl keys.
    void StopCtrlMode();
    int MatchKeys();
    void RunKeyBuffer();
    void ShowKeyHints();
    void HideKeyHints();
    void OnCtrlPoll();

    // Hints.
    void ShowButtonHint(QWidget& sender, bool& canShow, QHelpEvent& help);

    // Listeners.
    void OnSheet(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnSettings(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void OnLocalization(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);

    TPaletteFormSettings* m_settings;
    TSheet* m_sheet = nullptr;
    bool m_shown = false;
    std::unique_ptr<TSchemeImages> m_disabledSmall;
    std::unique_ptr<TSchemeImages> m_disabledLarge;
    TPushStyler* m_stPaletteButton;
    TStaticStyler* m_stPaletteGroupCaption;
    TStyledPainter* m_ptrSmallPaletteButton;
    TStyledPainter* m_ptrLargePaletteButton;
    TStyledPainter* m_ptrFirstPartPaletteButton;
    TStyledPainter* m_ptrSecondPartPaletteButton;
    TStyledPainter* m_ptrPaletteGroupCaption;
    QImage m_background;
    QImage m_groupImage;
    std::vector<TPanelEx*> m_panels;
    std::vector<QPointer<QMenu>> m_menus;
    std::vector<TButtonEntry> m_buttons;
    int m_smallHeight = 0;
    int m_largeHeight = 0;
    int m_headerHeight = 0;
    bool m_tooNarrow = false;
    int m_neededWidth = 0;
    std::vector<std::unique_ptr<THintWindow>> m_keyHints;
    QString m_keyBuffer;
    bool m_rebuilding = false;
    bool m_applyToSelection = false;
    std::unique_ptr<TTimer> m_tmCtrl;
    std::unique_ptr<TTimer> m_tmCtrlHints;
    std::unique_ptr<class TPaletteHintWindow> m_hint;
    // The sub-command texts of posted 1026 messages, by number.
    std::map<intptr_t, QString> m_postedSubCommands;
    intptr_t m_nextSubCommand = 0;
    // What the buttons were last built for.
    TVisualElement* m_builtTarget = nullptr;
    bool m_builtSelection = false;
    int m_builtWidth = -1;
    std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>> m_builtItems;
    int m_buildCount = 0;
};

#pragma once
// The settings dialog: the pages of the settings sections in a tree on the
// left, the page of the selected node on the right, and OK, Cancel and Apply.
// The controls are bound to the settings through one property associator;
// Apply writes them all back. Applying a new language with Apply shows the
// dialog again in that language, on its first page: the dialog ends and the
// loop that shows it makes and shows a new one (never one inside the other).

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QTreeWidgetItem;
class TPropertyAssociator;
class TSettings;
class TSettingsForm;
class TSessionFile;
class TSettingsPage;
class TTreeViewEx;
class TUserWinButton;

// Runs after Apply or OK wrote the controls back.
using TSettingsApplyCallback = std::function<void(TSettingsForm& form)>;

// What one showing of the dialog starts from.
struct TSettingsDialogSetup {
    TSettings* Settings = nullptr;
    // The page (its section name: "General", "PaletteForm", "Sheet", "Naming",
    // "Log", "Sounds", "Print", "Misc") to show with its first control
    // focused; empty: the page shown when the dialog last closed.
    QString StartPage;
    TSettingsApplyCallback OnApply;
    // Where the dialog keeps its placement (in "SettingsForm"); nil: nowhere.
    TSessionFile* Session = nullptr;
    // Where the theme files lie; empty: the program's themes folder.
    QString ThemesFolder;
    // Shows the form modally and returns when it closed; empty: exec().
    // Tests drive the form here instead.
    std::function<void(TSettingsForm& form)> RunModal;
};

class TSettingsForm : public QDialog {
public:
    static constexpr int kClientWidth = 737;
    static constexpr int kClientHeight = 473;
    // Posted to itself to be shown again in a new language.
    static constexpr int kReopenMessage = 1025;

    enum class TApplyAction { Apply, Ok };

    // selectedIndex: the page tree's node to select (its absolute index).
    TSettingsForm(QWidget* owner, const TSettingsDialogSetup& setup, int selectedIndex);
    ~TSettingsForm() override;

    TTreeViewEx* PageTree() const noexcept { return m_tree; }
    int PageCount() const noexcept { return int(m_pages.size()); }
    TSettingsPage* Page(int index) const { return m_pages.at(size_t(index)); }
    // The page named section; nil when there is none.
    TSettingsPage* FindPage(const QString& section) const;
    TSettingsPage* ShownPage() const noexcept { return m_shownPage; }
    // The absolute index of the selected node; 0 when none is selected.
    int SelectedIndex() const;
    void SelectPage(int index);

    TUserWinButton* OkButton() const noexcept { return m_ok; }
    TUserWinButton* CancelButton() const noexcept { return m_cancel; }
    TUserWinButton* ApplyButton() const noexcept { return m_apply; }

    // Writes the controls back (under the wait cursor), then the apply
    // callback; with Apply a new language posts the reopen message.
    void ApplySettings(TApplyAction action);
    // Whether the form closed to be shown again.
    bool ReopenRequested() const noexcept { return m_reopen; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreatePages();
    void AddPage(TSettingsPage* page, QTreeWidgetItem* parentNode);
    void tv1Change();
    void ubApplyClick();
    void ubOKClick();

    const TSettingsDialogSetup& m_setup;
    std::unique_ptr<TPropertyAssociator> m_associator;
    TTreeViewEx* m_tree = nullptr;
    QWidget* m_pageArea = nullptr;
    std::vector<TSettingsPage*> m_pages;
    TSettingsPage* m_shownPage = nullptr;
    TUserWinButton* m_ok = nullptr;
    TUserWinButton* m_cancel = nullptr;
    TUserWinButton* m_apply = nullptr;
    bool m_reopen = false;
};

// Shows the dialog until it closes without asking to be shown again; the
// selected page is remembered on the owner for its next showing.
void ShowSettingsDialog(QWidget* owner, TSettingsDialogSetup setup);
// The program's settings dialog for the data module's settings, opening on
// startPage (empty: where it last closed); nothing without a data module.
void ShowSettings(QWidget* owner, const QString& startPage = {});

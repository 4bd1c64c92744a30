#pragma once
// The application window: the main menu, the action lists, the document
// manager with its open/save dialog and recent files, the connected-file
// documents, and the embedded edit form that shows the active scheme
// document. It also runs the batch mode of the command line ("-exit").
//
// Only a descendant is made, and only through Create, which runs the
// creation (FormCreate) after the object is complete, so that what a
// descendant overrides takes part in it. After the window is first shown it
// posts itself the start-up: the command line's files are opened, or a new
// document is made. Closing asks about every modified document; when all
// agree, the edit form's layout and the user's files are written.

#include "app/unDocument.h"
#include "core/baAppCmpns.h"
#include "core/baDocum.h"
#include "core/cuClasses.h"

#include <QImage>
#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QPrinter;
class TAppActions;
class TEditForm;
class TEditorAppActions;
class TFormPlace;
class TGlobal;
class TBackgroundInstanceLocks;
class TInstanceLock;
class TReopenFilesMenuFiller;
class TPopupListEx;
class THintWindow;
class TSheet;
class TTextorElement;
class TTimer;
class TViewerAppActions;

// The picture "Save as Image" writes: the sheet painted for export over the
// text of the scheme's root (without an empty last row) with the paddings of
// the sheet's root and of the scheme's root around it.
QImage SchemeImage(TSheet& sheet, TTextorElement& root);
// Its size in pixels, known before anything is painted.
QSize SchemeImageSize(TSheet& sheet, TTextorElement& root);
// Whether a picture of that size is made at all: each side at most
// 32767 pixels and at most 64 million pixels in all.
bool SchemeImageSizeAllowed(QSize size);

// The hint of the highlighted menu entry: shown after the application's
// hint pause, or at once while another hint shows, below the mouse, at most
// a quarter of the screen wide. A palette entry shows its palette hint (its
// tool tip) in a palette hint window, any other entry its status tip in a
// plain hint window; an entry without a hint, a separator or no entry hides
// it.
class TMenuItemHints {
public:
    // A cursor's height: the hint stands this far below the mouse.
    static constexpr int kCursorHeight = 32;

    explicit TMenuItemHints(QWidget& owner);
    ~TMenuItemHints();
    TMenuItemHints(const TMenuItemHints&) = delete;
    TMenuItemHints& operator=(const TMenuItemHints&) = delete;

    // The entry now highlighted; nil for none.
    void Select(QAction* item);
    // The hint window shown (a THintWindow or a TPaletteHintWindow); nil when none.
    QWidget* Window() const noexcept { return m_window.get(); }
    // The text it shows.
    const QString& Text() const noexcept { return m_text; }
    bool Waiting() const;

private:
    void Show();
    template <class THint>
    void ShowIn(std::unique_ptr<THint> window);

    QWidget& m_owner;
    std::unique_ptr<TTimer> m_timer;
    std::unique_ptr<QWidget> m_window;
    QString m_text;
    bool m_paletteHint = false;
};

// The form's own actions.
enum class TMainAction : uint8_t {
    FileSaveAsImage,
    FilePageSetup,
    FilePrint,
    ToolsSettings,
    HelpOnlineHelp,
    HelpCheckUpdates,
    HelpProgramPage,
    HelpSendMessage,
    HelpForum,
    Count
};

// The menus of the main menu.
enum class TMainMenu : uint8_t { File, Edit, Tools, View, Help, Count };

class TMainForm : public QMainWindow {
public:
    // The most recent files the File menu shows.
    static constexpr int kRecentFilesShown = 6;

    // Makes the form of the descendant T and runs its creation; in batch
    // mode the form is made, runs the files and is never shown (BatchEnded).
    template <class T, class... Args>
    static std::unique_ptr<T> Create(TGlobal& global, Args&&... args) {
        std::unique_ptr<T> form(new T(global, std::forward<Args>(args)...));
        form->FormCreate();
        return form;
    }
    // The documents go (silently) before the edit form that shows them.
    ~TMainForm() override;

    TGlobal& Global() const noexcept { return m_global; }
    TDocumentor& Documentor() const noexcept { return *m_documentor; }
    TOpenSaveDialog& OpenSaveDialog() const noexcept { return *m_openSaveDialog; }
    // The dialog of "Save as Image" (one filter, "PNG").
    TOpenSaveDialog& ImageDialog() const noexcept { return *m_imageDialog; }
    // Where the open, save and image dialogs start: the folder of the last
    // active document that had a file (the process's current folder stays).
    const QString& StartFolder() const noexcept { return m_startFolder; }
    TRecentFiles& RecentFiles() const noexcept { return *m_recentFiles; }
    TConnectedDocuments& ConnectedDocuments() const noexcept { return *m_connected; }
    TAppActions& AppActions() const noexcept { return *m_appActions; }
    TViewerAppActions& ViewerAppActions() const noexcept { return *m_viewerActions; }
    TEditorAppActions& EditorAppActions() const noexcept { return *m_editorActions; }
    QAction& Action(TMainAction action) const noexcept { return *m_actions[size_t(action)]; }
    QMenu& Menu(TMainMenu menu) const noexcept { return *m_menus[size_t(menu)]; }
    // Nil in batch mode.
    TEditForm* EditForm() const noexcept { return m_editForm; }
    TSchemeDocument* ActiveSchemeDocument() const noexcept { return m_activeDocument; }
    TMenuItemHints& MenuItemHints() const noexcept { return *m_menuItemHints; }

    // Batch mode ran and the program is to end without showing the window.
    bool BatchEnded() const noexcept { return m_batchEnded; }
    // The program's two instance locks, taken on a thread of their own after
    // creation (waits until they are).
    const std::vector<std::unique_ptr<TInstanceLock>>& InstanceLocks();
    // Some file of the batch was skipped or failed (each reported on the
    // error output too; without a display, there only).
    bool BatchFailed() const noexcept { return m_batchFailed; }

    // The start-up posted after the window is first shown: the command
    // line's files, else a new document; "-readonly" makes the active
    // scheme read-only.
    void Startup();
    // The edit form's layout into the placement knot, then the session, the
    // recent files and, when still needed, the settings are written.
    void SaveSession();
    // Files dropped on the window: the first opens here; when there are
    // more, the session is written and each further file opens in a new
    // instance of the program.
    void FilesDropped(const QStringList& fileNames);

protected:
    explicit TMainForm(TGlobal& global, QWidget* parent = nullptr);

    // Refuses a plain TMainForm; then the components, the batch mode, the
    // menus, the edit form and its layout (see the source for the order).
    virtual void FormCreate();
    // The active document is shown in the edit form (or nothing is); the
    // document actions and the verbs follow it.
    virtual void ActiveDocumentChanged();
    // Without a display (set before the creation): batch mode shows no
    // message box and ends the program even when a file failed.
    void SetHeadless(bool headless) noexcept { m_headless = headless; }

    void showEvent(QShowEvent* event) override;
    // Closes every document (each modified one asks); a refusal keeps the window.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateComponents();
    void CreateActions();
    void CreateMenus();
    void CreateEditForm();
    void HookDocumentor();
    void UpdateCaptions();
    void AddDocumentFilters();
    // The menu verbs of the active document's kind, before the verbs' separator.
    void RebuildVerbs();
    void RecentFilesReopenChange();

    // Batch mode: each file argument is processed; whether the program is to
    // end (every file could be opened).
    bool RunBatchMode();
    // False when the file could not be opened.
    bool ProcessBatchFile(const QString& fileName, bool save);
    // An error of one file: on the error output, and shown unless headless.
    void ReportBatchError(const QString& text);

    // Document manager events.
    // A scheme document of the kind the data stands for (registry index + 1;
    // 0: the first kind).
    std::unique_ptr<TDocument> DocumentorCreateDocument(int creationData);
    // Only a file of a file-dialog kind; another raises "Unsupported file type".
    void DocumentorCreationDataFromFileName(const QString& fileName, int& creationData);
    // The start-up document is of the first kind for it (none: no
    // document); a New of a kind that refuses is cancelled.
    void DocumentorNewDialog(bool isAutoCreateDoc, int& creationData, bool& cancel);
    void DocumentorSaveAsDialog(TDocument* document);
    void DocumentorSwitch();
    // The folder of the file (when named) becomes the dialogs' start folder.
    void UseFolderOf(const QString& fileName);

    // Runs before every action: in-place editing on the sheet ends.
    void ActionsExecute();
    void RunAction(TMainAction action);
    void FileSaveAsImageExecute();
    void FilePageSetupExecute();
    void FilePrintExecute();

    void LocalizationMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void SettingsMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);

    TGlobal& m_global;
    // Made by FormCreate; the documents go first.
    std::unique_ptr<TConnectedDocuments> m_connected;
    std::unique_ptr<TOpenSaveDialog> m_openSaveDialog;
    std::unique_ptr<TOpenSaveDialog> m_imageDialog;
    std::unique_ptr<TRecentFiles> m_recentFiles;
    std::unique_ptr<TDocumentor> m_documentor;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<TMenuItemHints> m_menuItemHints;
    // Held while the program runs, for other programs to see.
    std::unique_ptr<TBackgroundInstanceLocks> m_instanceLocks;
    std::unique_ptr<TPopupListEx> m_popupList;
    // Qt children of the form.
    TAppActions* m_appActions = nullptr;
    TViewerAppActions* m_viewerActions = nullptr;
    TEditorAppActions* m_editorActions = nullptr;
    TReopenFilesMenuFiller* m_reopenFiller = nullptr;
    TFormPlace* m_formPlace = nullptr;
    TEditForm* m_editForm = nullptr;
    std::array<QAction*, size_t(TMainAction::Count)> m_actions{};
    std::array<QMenu*, size_t(TMainMenu::Count)> m_menus{};
    QAction* m_miFileNew = nullptr;
    QAction* m_miRecentFirst = nullptr;
    QAction* m_miRecentLast = nullptr;
    QAction* m_miVerbLast = nullptr;

    TSchemeDocument* m_activeDocument = nullptr;
    QString m_startFolder;
    bool m_created = false;
    bool m_startupPosted = false;
    bool m_saveSessionOnClose = false;
    // A document was made: the welcome comment goes only into the first, when
    // a first start makes it new.
    bool m_documentMade = false;
    bool m_creatingNew = false;
    bool m_batchEnded = false;
    bool m_batchFailed = false;
    bool m_headless = false;
    // The log's settings links are answered by this form while it lives.
    bool m_settingsLinkInstalled = false;
};

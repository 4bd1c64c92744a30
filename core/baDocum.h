#pragma once
// Documents and the document manager. A document is one open file with its
// undo history; what it holds and how it reads and writes its file is left
// to a descendant. The manager owns the open documents, knows the active
// one, runs New, Open, Save, Save As, Save All, Close and Close All, asks
// before a modified document closes, keeps backup copies and the recent
// files in step, sets the window caption and tells its listeners what
// changed. And the icons of file types, in an image list.
//
// A failed load or save raises (the text names the file and the system's
// reason); the old file stays as it was and the document keeps its name and
// its modified state.

#include "core/baAppCmpns.h"
#include "core/cuClasses.h"
#include "core/cuUndoRedo.h"

#include <QFlags>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QWidget;
class TImageList;
class TKnot;

class TDocument : public TItfObject {
    T_CLASS(TDocument)
public:
    TDocument();
    ~TDocument() override;

    const QString& FileName() const noexcept { return m_fileName; }
    bool Active() const noexcept { return m_active; }
    // A backup copy was made in this run.
    bool BackupDone() const noexcept { return m_backupDone; }
    TUndoRedo& UndoRedo() const noexcept { return *m_undoRedo; }
    bool Modified() const noexcept { return m_undoRedo->Modified(); }

    // Set by the document manager.
    std::function<void(TDocument*)> OnSaved;
    std::function<void(TDocument*)> OnTitleChange;

    // InitNewContent, then AfterCreate.
    void InitNew();
    // Under the wait cursor LoadFromFile; then the name, AfterOpen, AfterCreate.
    void Open(const QString& fileName);
    // With backup the file is first copied to BackupFileName (a failed copy
    // is ignored, an older backup stays whole); then SaveAs under its name.
    void Save(bool backup);
    // Under the wait cursor SaveToFile; then the name, the modified flag
    // reset, DoTitleChange and OnSaved.
    void SaveAs(const QString& fileName);
    // ActiveChanging, the value, ActiveChanged; nothing when it is the same.
    void SetActive(bool value);

    // The name with the extension replaced by ".~" and the old extension
    // ("a.prm" gives "a.~prm").
    static QString BackupFileName(const QString& fileName);

    virtual bool CanClose() { return true; }
    // "Untitled".
    virtual QString GetUntitledName() const;
    // The file name without folder and extension; the untitled name without one.
    virtual QString GetDisplayName() const;
    // View state read from and written into the document's recent-files record.
    virtual void RestoreState(TKnot* knot) {}
    virtual void StoreState(TKnot* knot) {}
    // The undo history's modified flag changed.
    virtual void ModifiedChanged() {}

protected:
    // Called last by InitNew and Open.
    virtual void AfterCreate() {}
    // Called by Open after the name is set.
    virtual void AfterOpen() {}
    // Fills a new, untitled document.
    virtual void InitNewContent() {}
    virtual void LoadFromFile(const QString& fileName) {}
    virtual void SaveToFile(const QString& fileName) {}
    virtual void ActiveChanging() {}
    virtual void ActiveChanged() {}
    // Fires OnTitleChange.
    virtual void DoTitleChange();

private:
    QString m_fileName;
    bool m_active = false;
    bool m_backupDone = false;
    std::unique_ptr<TUndoRedo> m_undoRedo;
};

enum TDocumentorOption : uint16_t {
    doViewer = 1,                      // no effect here
    doUndoAfterSave = 2,               // the undo history is kept after a save
    doModifyFormCaption = 4,           // the owner form's caption shows the title
    doModifyAppTitle = 8,              // the application's title shows the title
    doOpenFilesFromCommandLine = 16,   // Startup opens the files named on the command line
    doSingleDoc = 32,                  // at most one document is open
    doAutoCreateDoc = 64,              // Startup creates a document when none is open
    doBackupFiles = 128,               // a document's first save in a run backs the old file up
};
Q_DECLARE_FLAGS(TDocumentorOptions, TDocumentorOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDocumentorOptions)

class TDocumentor : public TAppComponent {
public:
    // Broadcast codes, both arguments 0; each is followed by its event.
    enum : int {
        dnDocumentListChanged = 1,  // OnDocumentListChange
        dnSwitched = 2,             // OnSwitch
        dnTitleChanged = 3,         // OnTitleChange
        dnUpdateAppActions = 4,     // OnUpdateAppActions
        dnUpdateUndoRedo = 5,       // OnUpdateUndoRedoActions
    };

    // The form whose caption shows the title; it outlives the manager.
    explicit TDocumentor(QWidget* ownerForm = nullptr);
    // Deactivates the active document and frees every document, silently.
    ~TDocumentor() override;

    TDocumentorOptions Options = doModifyFormCaption;

    // Must make the document for the creation data.
    std::function<std::unique_ptr<TDocument>(int creationData)> OnCreateDocument;
    std::function<void(const QString& fileName, int& creationData)> OnCreationDataFromFileName;
    std::function<void(bool isAutoCreateDoc, int& creationData, bool& cancel)> OnNewDialog;
    std::function<void(QStringList& fileNames, bool& handled)> OnOpenDialog;
    std::function<void(TDocument* document, QString& fileName, bool& cancel, bool& handled)> OnSaveAsDialog;
    std::function<void()> OnDocumentListChange;
    std::function<void()> OnModifiedChange;  // no broadcast
    std::function<void()> OnSwitch;
    std::function<void()> OnTitleChange;
    std::function<void()> OnUpdateAppActions;
    std::function<void()> OnUpdateUndoRedoActions;

    TOpenSaveDialog* OpenSaveDialog() const noexcept { return m_openSaveDialog.Get(); }
    void SetOpenSaveDialog(TOpenSaveDialog* dialog) { m_openSaveDialog.Set(dialog); }
    TRecentFiles* RecentFiles() const noexcept { return m_recentFiles.Get(); }
    void SetRecentFiles(TRecentFiles* recentFiles) { m_recentFiles.Set(recentFiles); }
    // The arguments OpenFilesFromCommandLine takes a copy of; the program's
    // own when none is set.
    TCommandLine* CommandLine() const noexcept { return m_commandLine.Get(); }
    void SetCommandLine(TCommandLine* commandLine) { m_commandLine.Set(commandLine); }

    int DocumentCount() const noexcept { return int(m_documents.size()); }
    TDocument* Document(int index) const { return m_documents.at(size_t(index)).get(); }
    TDocument* ActiveDocument() const noexcept { return m_active; }
    void SetActiveDocument(TDocument* document);

    // Each returns the document it added, or nil when nothing was added.
    TDocument* New(bool isAutoCreateDoc, int creationData);
    void Open();
    // Raises when the document cannot be read; nothing is left behind then.
    TDocument* OpenFile(const QString& fileName);
    void OpenFilesFromCommandLine();
    void Startup();
    // Save errors raise; the document keeps its name and stays modified.
    void Save();
    void SaveAs();
    void SaveAll();
    void CloseActive();
    // False as soon as one document refuses.
    bool CloseAll();
    // Whether the active document may close, after the save question.
    bool QueryCloseDocument();

    // "<display name> - <product>", or the product alone without a document.
    QString Title() const;
    void UpdateCaption();

    // States of the file actions.
    bool CanSave() const noexcept { return m_active != nullptr; }
    bool CanSaveAll() const;
    bool CanReload() const { return m_active && !m_active->FileName().isEmpty(); }
    bool CanClose() const noexcept { return m_active != nullptr; }
    bool CanCloseAll() const noexcept { return !m_documents.empty(); }

private:
    void AddDocument(std::unique_ptr<TDocument> document);
    std::unique_ptr<TDocument> CreateDocument(int creationData) const;
    void Notify(int code, const std::function<void()>& event);
    void HookDocument(TDocument* document, bool hook);
    void DocumentSaved(TDocument* document);
    void DocumentTitleChanged(TDocument* document);
    void UndoRedoMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void ListenTo(TDocument* document, bool listen);
    // Closes the active document without asking.
    void CloseActiveDocument();
    // The collected file names of the command line; reports one unknown.
    QStringList CommandLineFiles();

    QWidget* m_ownerForm;
    std::vector<std::unique_ptr<TDocument>> m_documents;
    TDocument* m_active = nullptr;
    TComponentRef<TOpenSaveDialog> m_openSaveDialog;
    TComponentRef<TRecentFiles> m_recentFiles;
    TComponentRef<TCommandLine> m_commandLine;
};

// ---------------------------------------------------------------------------
// File-type icons

// The size of the desktop's small icons.
constexpr int SmallIconSize = 16;

// The desktop's small icon of a file or folder; null when there is none.
QImage GetShellSmallIcon(const QString& path);
// Draws the icon, resampled linearly, onto a white picture of the list's
// size and appends that; the new index.
int AddIconToImageList(const QImage& icon, TImageList& list);

// The icons of file types and of folders in one image list, each added once
// and then found by index: files per extension (regardless of case), folders
// once. -1 (and nothing kept) when the desktop has no icon.
class TFileIconCache {
public:
    explicit TFileIconCache(TImageList& list) : m_list(list) {}

    // The icon of the folder, or of the root folder when it does not exist.
    int GetFolderIconIndex(const QString& path);
    // The icon of the file's type: of the file itself when it exists, else
    // by its name.
    int GetFileIconIndex(const QString& fileName);

private:
    TImageList& m_list;
    int m_folderIndex = -1;
    QHash<QString, int> m_byExtension;
};

#include "core/baDocum.h"

#include "core/cuCodeWriters.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"
#include "platform/plFileIcons.h"
#include "platform/plFiles.h"
#include "platform/plForms.h"
#include "platform/plImageList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>

// ---------------------------------------------------------------------------
// TDocument

T_CLASS_IMPL(TDocument, TItfObject)

TDocument::TDocument() : m_undoRedo(std::make_unique<TUndoRedo>()) {}

TDocument::~TDocument() = default;

void TDocument::InitNew() {
    InitNewContent();
    AfterCreate();
}

void TDocument::Open(const QString& fileName) {
    {
        TWaitScope wait;
        LoadFromFile(fileName);
    }
    m_fileName = fileName;
    AfterOpen();
    AfterCreate();
}

namespace {
// Copies the file to its backup name through the atomic writer, so that a
// copy that fails half way leaves an older backup whole. Failures are ignored,
// and only a regular file is read: a pipe put in its place would make the
// save wait for a writer, a device would never end.
void WriteBackup(const QString& fileName) {
    QFile file(fileName);
    if (OpenRegularFileForReading(file) != TOpenForReading::Opened) return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return;
    ReplaceFileContents(TDocument::BackupFileName(fileName), bytes);
}
}  // namespace

void TDocument::Save(bool backup) {
    if (backup) {
        WriteBackup(m_fileName);
        m_backupDone = true;
    }
    SaveAs(m_fileName);
}

void TDocument::SaveAs(const QString& fileName) {
    {
        TWaitScope wait;
        SaveToFile(fileName);
    }
    m_fileName = fileName;
    m_undoRedo->ResetModified();
    DoTitleChange();
    if (OnSaved) OnSaved(this);
}

void TDocument::SetActive(bool value) {
    if (value == m_active) return;
    ActiveChanging();
    m_active = value;
    ActiveChanged();
}

QString TDocument::BackupFileName(const QString& fileName) {
    const QString ext = ExtractFileExtNoDot(fileName);
    const qsizetype dot = fileName.size() - ext.size() - 1;
    const bool hasDot = dot >= 0 && fileName[dot] == QLatin1Char('.');
    return (hasDot ? fileName.left(dot) : fileName) + QStringLiteral(".~") + ext;
}

QString TDocument::GetUntitledName() const { return LoadStr(strUntitled); }

QString TDocument::GetDisplayName() const {
    return m_fileName.isEmpty() ? GetUntitledName() : ExtractFileBaseName(m_fileName);
}

void TDocument::DoTitleChange() {
    if (OnTitleChange) OnTitleChange(this);
}

// ---------------------------------------------------------------------------
// TDocumentor: documents, the active one and the notifications

TDocumentor::TDocumentor(QWidget* ownerForm) : m_ownerForm(ownerForm) {}

TDocumentor::~TDocumentor() {
    if (m_active) {
        ListenTo(m_active, false);
        m_active->SetActive(false);
        m_active = nullptr;
    }
    m_openSaveDialog.Set(nullptr);
    m_recentFiles.Set(nullptr);
    m_commandLine.Set(nullptr);
    for (const auto& document : m_documents) HookDocument(document.get(), false);
    m_documents.clear();
}

void TDocumentor::Notify(int code, const std::function<void()>& event) {
    Broadcast(code);
    if (event) event();
}

void TDocumentor::ListenTo(TDocument* document, bool listen) {
    const THandler handler = MakeHandler<&TDocumentor::UndoRedoMessage>(this);
    if (listen)
        document->UndoRedo().AddHandler(handler);
    else
        document->UndoRedo().RemoveHandler(handler);
}

void TDocumentor::HookDocument(TDocument* document, bool hook) {
    document->OnSaved = hook ? [this](TDocument* d) { DocumentSaved(d); } : std::function<void(TDocument*)>();
    document->OnTitleChange = hook ? [this](TDocument* d) { DocumentTitleChanged(d); } : std::function<void(TDocument*)>();
}

void TDocumentor::SetActiveDocument(TDocument* document) {
    if (document == m_active) return;
    if (m_active) {
        ListenTo(m_active, false);
        m_active->SetActive(false);
    }
    m_active = document;
    if (m_active) {
        m_active->SetActive(true);
        ListenTo(m_active, true);
    }
    UpdateCaption();
    Notify(dnTitleChanged, OnTitleChange);
    Notify(dnSwitched, OnSwitch);
    if (OnModifiedChange) OnModifiedChange();
    Notify(dnUpdateAppActions, OnUpdateAppActions);
    Notify(dnUpdateUndoRedo, OnUpdateUndoRedoActions);
}

void TDocumentor::UndoRedoMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2) {
    switch (msg) {
    case TUndoRedo::urExecuted:
    case TUndoRedo::urUndone:
    case TUndoRedo::urRedone:
    case TUndoRedo::urCleared:
        Notify(dnUpdateUndoRedo, OnUpdateUndoRedoActions);
        break;
    case TUndoRedo::urModifiedChanged:
        if (m_active) m_active->ModifiedChanged();
        if (OnModifiedChange) OnModifiedChange();
        break;
    default:
        break;
    }
}

void TDocumentor::DocumentSaved(TDocument* document) {
    if (!Options.testFlag(doUndoAfterSave)) document->UndoRedo().Clear();
    Notify(dnUpdateAppActions, OnUpdateAppActions);
}

void TDocumentor::DocumentTitleChanged(TDocument* document) {
    if (document != m_active) return;
    UpdateCaption();
    Notify(dnTitleChanged, OnTitleChange);
}

QString TDocumentor::Title() const {
    const QString product = LoadStr(strProductName);
    return m_active ? FormatCode(LoadStr(strDocumentTitle), {m_active->GetDisplayName(), product}) : product;
}

void TDocumentor::UpdateCaption() {
    const QString title = Title();
    if (Options.testFlag(doModifyFormCaption) && m_ownerForm) plSetFormCaption(*m_ownerForm, title);
    if (Options.testFlag(doModifyAppTitle)) plSetApplicationTitle(title);
}

bool TDocumentor::CanSaveAll() const {
    return std::any_of(m_documents.begin(), m_documents.end(),
                       [](const auto& d) { return d->FileName().isEmpty() || d->Modified(); });
}

// ---------------------------------------------------------------------------
// TDocumentor: the commands

std::unique_ptr<TDocument> TDocumentor::CreateDocument(int creationData) const {
    return OnCreateDocument ? OnCreateDocument(creationData) : nullptr;
}

void TDocumentor::AddDocument(std::unique_ptr<TDocument> document) {
    // With one document at most the asking was done before.
    if (Options.testFlag(doSingleDoc) && m_active) CloseActive();
    TDocument* added = document.get();
    m_documents.push_back(std::move(document));
    HookDocument(added, true);
    Notify(dnDocumentListChanged, OnDocumentListChange);
    Notify(dnUpdateAppActions, OnUpdateAppActions);
    SetActiveDocument(added);
}

TDocument* TDocumentor::New(bool isAutoCreateDoc, int creationData) {
    if (OnNewDialog) {
        bool cancel = false;
        OnNewDialog(isAutoCreateDoc, creationData, cancel);
        if (cancel) return nullptr;
    }
    if (Options.testFlag(doSingleDoc) && !QueryCloseDocument()) return nullptr;
    std::unique_ptr<TDocument> document = CreateDocument(creationData);
    if (!document) return nullptr;
    document->InitNew();
    TDocument* added = document.get();
    AddDocument(std::move(document));
    return added;
}

void TDocumentor::Open() {
    QStringList names;
    bool handled = false;
    if (OnOpenDialog) OnOpenDialog(names, handled);
    if (!handled) {
        TOpenSaveDialog* dialog = OpenSaveDialog();
        if (!dialog) return;
        if (Options.testFlag(doSingleDoc)) {
            dialog->FileName.clear();
            if (!dialog->ExecuteOpen()) return;
            names = QStringList{dialog->FileName};
        } else {
            if (!dialog->ExecuteOpenMulti()) return;
            names = dialog->Files;
        }
    }
    for (const QString& name : names) OpenFile(name);
}

TDocument* TDocumentor::OpenFile(const QString& fileName) {
    if (Options.testFlag(doSingleDoc) && !QueryCloseDocument()) return nullptr;
    int creationData = 0;
    if (OnCreationDataFromFileName) OnCreationDataFromFileName(fileName, creationData);
    std::unique_ptr<TDocument> document = CreateDocument(creationData);
    if (!document) return nullptr;
    document->Open(fileName);  // a failure frees the document on its way out
    if (TRecentFiles* recent = RecentFiles()) {
        // Open files are not in the recent list.
        if (TKnot* record = recent->FindFile(fileName)) document->RestoreState(record);
        recent->Remove(fileName);
    }
    TDocument* added = document.get();
    AddDocument(std::move(document));
    return added;
}

QStringList TDocumentor::CommandLineFiles() {
    // A copy of the arguments; each mask takes what it matches in one pass
    // (thousands of arguments are no quadratic work).
    QStringList arguments = CommandLine() ? CommandLine()->Params() : TCommandLine().Params();
    QStringList names;
    const auto takeAll = [&](const QString& mask) {
        QStringList left;
        for (const QString& argument : std::as_const(arguments)) {
            if (MatchesMask(argument, mask))
                names << QDir::cleanPath(QFileInfo(argument).absoluteFilePath());
            else
                left << argument;
        }
        arguments.swap(left);
    };
    const QString anyFile = QStringLiteral("*.*");
    if (TOpenSaveDialog* dialog = OpenSaveDialog()) {
        for (int i = 0; i < dialog->FileFilters.Count(); ++i)
            if (dialog->FileFilters[i].UseForOpen) takeAll(QStringLiteral("*.") + dialog->FileFilters[i].FileExt);
        const auto unknown = std::find_if(arguments.cbegin(), arguments.cend(),
                                          [&](const QString& argument) { return MatchesMask(argument, anyFile); });
        if (unknown != arguments.cend())
            TDialogs::Current().MessageBox(FormatCode(LoadStr(strUnknownTypeOfFile), {*unknown}), LoadStr(strError),
                                           MsgBox::IconError);
    } else {
        takeAll(anyFile);
    }
    // Every known file is taken, so none is reported as unknown; one is opened.
    if (Options.testFlag(doSingleDoc) && names.size() > 1) names = names.mid(0, 1);
    return names;
}

void TDocumentor::OpenFilesFromCommandLine() {
    for (const QString& name : CommandLineFiles()) OpenFile(name);
}

void TDocumentor::Startup() {
    UpdateCaption();
    if (Options.testFlag(doOpenFilesFromCommandLine)) OpenFilesFromCommandLine();
    if (Options.testFlag(doAutoCreateDoc) && m_documents.empty()) New(true, 0);
}

void TDocumentor::Save() {
    TDocument* document = m_active;
    if (!document) return;
    if (document->FileName().isEmpty()) {
        SaveAs();
        return;
    }
    document->Save(Options.testFlag(doBackupFiles) && !document->BackupDone());
    if (TRecentFiles* recent = RecentFiles())
        if (TKnot* record = recent->FindFile(document->FileName())) document->StoreState(record);
}

void TDocumentor::SaveAs() {
    TDocument* document = m_active;
    if (!document) return;
    const QString oldName = document->FileName();
    QString name = oldName;
    bool cancel = false, handled = false;
    if (OnSaveAsDialog) OnSaveAsDialog(document, name, cancel, handled);
    if (cancel) return;
    if (!handled) {
        TOpenSaveDialog* dialog = OpenSaveDialog();
        if (!dialog) return;
        dialog->FileName = oldName.isEmpty() ? document->GetDisplayName() : ExtractFileBaseName(oldName);
        if (!dialog->ExecuteSave()) return;
        name = dialog->FileName;
    }
    document->SaveAs(name);
    // The old file is not open any more: it joins the recent files.
    if (oldName.isEmpty() || SameFileName(oldName, name)) return;
    if (TRecentFiles* recent = RecentFiles())
        if (TKnot* record = recent->Add(oldName)) document->StoreState(record);
}

void TDocumentor::SaveAll() {
    for (size_t i = 0; i < m_documents.size(); ++i) {
        TDocument* document = m_documents[i].get();
        SetActiveDocument(document);
        if (!document->Modified()) continue;
        Save();
        if (document->Modified()) return;  // the user cancelled
    }
}

void TDocumentor::CloseActive() {
    TDocument* document = m_active;
    if (!document) return;
    const auto it = std::find_if(m_documents.begin(), m_documents.end(),
                                 [document](const auto& d) { return d.get() == document; });
    const auto next = it + 1 != m_documents.end() ? it + 1 : it != m_documents.begin() ? it - 1 : m_documents.end();
    SetActiveDocument(next != m_documents.end() ? next->get() : nullptr);
    if (TRecentFiles* recent = RecentFiles(); recent && !document->FileName().isEmpty())
        if (TKnot* record = recent->Add(document->FileName())) document->StoreState(record);

    std::unique_ptr<TDocument> closed = std::move(*it);
    m_documents.erase(it);
    HookDocument(closed.get(), false);
    {
        TWaitScope wait;
        closed.reset();
    }
    Notify(dnDocumentListChanged, OnDocumentListChange);
    Notify(dnUpdateAppActions, OnUpdateAppActions);
}

bool TDocumentor::CloseAll() {
    while (!m_documents.empty()) {
        if (!QueryCloseDocument()) return false;
        CloseActive();
    }
    return true;
}

bool TDocumentor::QueryCloseDocument() {
    TDocument* document = m_active;
    if (!document) return true;
    if (!document->CanClose()) return false;
    if (!document->Modified()) return true;
    const TSaveQuestion question{LoadStrFmt(strSaveChangesIn, {document->GetDisplayName()}), LoadStr(strProductName),
                                 LoadStr(strSaveButton), LoadStr(strDoNotSaveButton), LoadStr(strCancel)};
    switch (TDialogs::Current().AskSave(question)) {
    case TSaveAnswer::Save:
        try {
            Save();
        } catch (const Exception&) {
            // The document stays open and modified; the user sees why.
            ShowCurrentException("saving before closing");
            return false;
        }
        return !document->Modified();  // a cancelled Save As keeps it open
    case TSaveAnswer::DontSave:
        return true;
    case TSaveAnswer::Cancel:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------
// File-type icons

QImage GetShellSmallIcon(const QString& path) {
    TFileIcons& icons = TFileIcons::Current();
    return QFileInfo(path).isDir() ? icons.FolderIcon(path, SmallIconSize) : icons.FileIcon(path, SmallIconSize);
}

int AddIconToImageList(const QImage& icon, TImageList& list) {
    QImage canvas(list.Width(), list.Height(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, list.Width(), list.Height()), icon);
    }
    return list.Add(canvas);
}

int TFileIconCache::GetFolderIconIndex(const QString& path) {
    if (m_folderIndex >= 0) return m_folderIndex;
    const QString folder = QFileInfo(path).isDir() ? path : QDir::rootPath();
    const QImage icon = TFileIcons::Current().FolderIcon(folder, SmallIconSize);
    if (icon.isNull()) return -1;
    m_folderIndex = AddIconToImageList(icon, m_list);
    return m_folderIndex;
}

int TFileIconCache::GetFileIconIndex(const QString& fileName) {
    const QString ext = ExtractFileExtNoDot(fileName).toLower();
    if (const auto it = m_byExtension.constFind(ext); it != m_byExtension.cend()) return *it;
    const QImage icon = TFileIcons::Current().FileIcon(fileName, SmallIconSize);
    if (icon.isNull()) return -1;
    const int index = AddIconToImageList(icon, m_list);
    m_byExtension.insert(ext, index);
    return index;
}

#include "app/unMainForm.h"

#include "app/baAppActns.h"
#include "app/cuAboutForm.h"
#include "app/cuWebSupport.h"
#include "app/sfSettingsForm.h"
#include "app/unGlobal.h"
#include "core/cuCodeWriters.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "elements/coRoot.h"
#include "elements/diCommonElements.h"
#include "elements/diLog.h"
#include "platform/plDialogs.h"
#include "platform/plForms.h"
#include "platform/plInstanceLock.h"
#include "platform/plShell.h"
#include "core/umGDIPlus.h"
#include "scheme/diSheet.h"
#include "scheme/diUtils.h"
#include "text/diTextor.h"
#include "text/diTextorElement.h"
#include "text/diTextorRows.h"
#include "platform/plTimer.h"
#include "ui/MenuSelectEvent.h"
#include "ui/baAppWidgets.h"
#include "ui/baHintWindow.h"
#include "ui/baSaper.h"
#include "ui/diEditArea.h"
#include "ui/diEditForm.h"
#include "ui/diPaletteForm.h"
#include "ui/diPaletteHintWindow.h"
#include "ui/diPrint.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QStyle>
#include <QBuffer>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <cstdio>
#include <exception>
#include <utility>

namespace {

// The localisation's broadcast after a change of language.
constexpr int kMainFormLanguageChanged = 1;

// The page the welcome comment of a first start points to.
const QString kGettingStartedPage = QStringLiteral("https://quillane.org/getting-started");

// The kind a creation data stands for: the registered kind at data - 1, the
// first registered one for 0; nil when there is none.
const TSchemeDescriptor* KindOf(int creationData) {
    const QList<const TSchemeDescriptor*>& kinds = SchemeDescriptors().Items();
    const int index = creationData > 0 ? creationData - 1 : 0;
    return index < kinds.size() ? kinds[index] : nullptr;
}

// The picture of a kind among the small element images; none without a kind.
QIcon KindIcon(const TSchemeDescriptor* kind) {
    const int index = kind ? kind->GetImageIndex() : -1;
    const TSchemeImages& images = SchemeSmallImages();
    if (index < 0 || index >= images.Count()) return {};
    return QIcon(QPixmap::fromImage(images.Image(index)));
}

int CreationDataOf(const TSchemeDescriptor* kind) {
    return kind ? int(SchemeDescriptors().Items().indexOf(kind)) + 1 : 0;
}

struct TMainActionInfo {
    const char* name;
    int caption;
    QKeySequence shortcut;
};

const std::array<TMainActionInfo, size_t(TMainAction::Count)>& MainActionInfos() {
    static const std::array<TMainActionInfo, size_t(TMainAction::Count)> infos{{
        {"FileSaveAsImage", strSaveAsImage, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)},
        {"FilePageSetup", strFilePageSetup, {}},
        {"FilePrint", strFilePrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"ToolsSettings", strToolsSettings, {}},
        {"HelpOnlineHelp", strOnlineHelp, QKeySequence(Qt::Key_F1)},
        {"HelpCheckUpdates", strCheckForUpdates, {}},
        {"HelpProgramPage", strProgramHomePage, {}},
        {"HelpSendMessage", strContactDevelopers, {}},
        {"HelpForum", strProgramForum, {}},
    }};
    return infos;
}

constexpr std::array<int, size_t(TMainMenu::Count)> kMenuCaptions{strFileMenu, strEditMenu, strServiceMenu,
                                                                   strViewMenu, strHelpMenu};

// How a sheet paints for export: as it prints, without marks, caret or
// focus overlay.
constexpr int kExportPaintFlags = pfNoMark | pfNoCaret | pfNoFocusOverlay | pfOnDevice;
// The largest picture "Save as Image" makes: sides the raster painter
// handles, and at most 256 MB while it is painted (4 bytes a pixel).
constexpr int kMaxImageSide = 32767;
constexpr qint64 kMaxImagePixels = qint64(64) * 1024 * 1024;
// The share of the screen's free area the window takes until a placement of
// its own is stored.
constexpr qreal kFirstScreenShare = 0.75;
}  // namespace

QSize SchemeImageSize(TSheet& sheet, TTextorElement& root) {
    const TRect sheetPadding = sheet.Root()->GetPadding();
    const TRect rootPadding = root.GetPadding();
    const TSchemeTextor& text = *root.Textor();
    int height = text.GetHeight();
    if (const TParagraph* last = text.LastParagraph())
        if (const TRow* row = last->LastRow(); row && row->IsEmpty()) height -= row->GetHeight();
    const int width = text.GetWidth() + sheetPadding.Left + sheetPadding.Right + rootPadding.Left + rootPadding.Right;
    height += sheetPadding.Top + sheetPadding.Bottom + rootPadding.Top + rootPadding.Bottom;
    return {std::max(width, 1), std::max(height, 1)};
}

bool SchemeImageSizeAllowed(QSize size) {
    return size.width() <= kMaxImageSide && size.height() <= kMaxImageSide &&
           qint64(size.width()) * size.height() <= kMaxImagePixels;
}

QImage SchemeImage(TSheet& sheet, TTextorElement& root) {
    const QSize size = SchemeImageSize(sheet, root);
    return sheet.PaintToImage(TRect{0, 0, size.width(), size.height()}, kExportPaintFlags)
        .convertToFormat(QImage::Format_RGB888);
}

// ---------------------------------------------------------------------------
// TMenuItemHints

TMenuItemHints::TMenuItemHints(QWidget& owner) : m_owner(owner), m_timer(TTimerService::Make()) {
    m_timer->SetOnTick([this] {
        m_timer->Stop();
        Show();
    });
}

TMenuItemHints::~TMenuItemHints() = default;

bool TMenuItemHints::Waiting() const { return m_timer->IsActive(); }

namespace {
// The hint of a menu entry, and whether it is a palette entry's.
QString MenuItemHint(const QAction* item, bool& palette) {
    palette = dynamic_cast<const TPaletteMenuItem*>(item) != nullptr;
    if (!item) return {};
    if (!palette) return item->statusTip();
    // The palette gives its entries a tool tip only while hints are on; Qt
    // answers the caption without one.
    const QString hint = item->toolTip();
    return hint == QString(item->text()).remove(QLatin1Char('&')) ? QString() : hint;
}
}  // namespace

void TMenuItemHints::Select(QAction* item) {
    const bool wasShown = m_window != nullptr;
    m_window.reset();
    m_text = MenuItemHint(item, m_paletteHint);
    if (m_text.isEmpty()) {
        m_timer->Stop();
        return;
    }
    if (wasShown) {
        m_timer->Stop();
        Show();
    } else {
        m_timer->Start(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
    }
}

void TMenuItemHints::Show() {
    if (m_paletteHint)
        ShowIn(std::make_unique<TPaletteHintWindow>(&m_owner));
    else
        ShowIn(std::make_unique<THintWindow>(&m_owner));
}

template <class THint>
void TMenuItemHints::ShowIn(std::unique_ptr<THint> window) {
    const QPoint mouse = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(mouse);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const int maxWidth = screen ? screen->geometry().width() / 4 : 0;
    QRect rect = window->CalcHintRect(maxWidth, m_text);
    rect.moveTo(mouse + QPoint(0, kCursorHeight));
    window->ActivateHint(rect, m_text);
    m_window = std::move(window);
}

// ---------------------------------------------------------------------------
// TMainForm

TMainForm::TMainForm(TGlobal& global, QWidget* parent) : QMainWindow(parent), m_global(global) {
    setObjectName(QStringLiteral("MainForm"));
}

TMainForm::~TMainForm() {
    Localization()->RemoveHandler(MakeHandler<&TMainForm::LocalizationMessage>(this));
    if (m_created) m_global.Settings().RemoveHandler(MakeHandler<&TMainForm::SettingsMessage>(this));
    if (m_settingsLinkInstalled) InstallSettingsLinkHandler(nullptr);
    if (m_editForm) m_editForm->AttachScheme(nullptr, nullptr, nullptr, nullptr);
    m_activeDocument = nullptr;
    if (m_viewerActions) m_viewerActions->SetDocumentor(nullptr);
    if (m_editorActions) m_editorActions->SetDocumentor(nullptr);
    m_documentor.reset();
    m_connected.reset();
    m_popupList.reset();
    m_menuItemHints.reset();
}

// ---------------------------------------------------------------------------
// Creation

void TMainForm::FormCreate() {
    if (typeid(*this) == typeid(TMainForm)) throw Exception::FromId(strAppMainForm);
    m_instanceLocks = std::make_unique<TBackgroundInstanceLocks>(
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    CreateComponents();
    const QString product = LoadStr(strProductName);
    plSetApplicationTitle(product);
    setWindowTitle(product);
    setFont(QApplication::font());
    SetApplicationVersion(ReadVersionInfo(QCoreApplication::applicationFilePath()).ProductVersion);
    // The log's settings links open the settings dialog on their page.
    InstallSettingsLinkHandler([this](const QString& page) {
        RunGuarded("TMainForm::SettingsLink", [&] { ShowSettings(this, page); });
    });
    m_settingsLinkInstalled = true;
    if (!m_global.Settings().Misc()->BackupOnSave()->Value()) m_documentor->Options &= ~doBackupFiles;
    if (m_global.CommandLine().HasSwitch(QStringLiteral("-exit")) && RunBatchMode()) {
        m_batchEnded = true;
        return;
    }
    Localization()->AddHandler(MakeHandler<&TMainForm::LocalizationMessage>(this));
    CreateActions();
    // F1 belongs to the online help: two actions on one key would both stay silent.
    if (QAction* help = m_appActions->HelpHelp()) help->setShortcut(QKeySequence());
    CreateEditForm();
    // Until the session holds a placement, the window is not shrunk to its contents.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * kFirstScreenShare);
    CreateMenus();
    AddDocumentFilters();
    UpdateCaptions();
    m_editForm->LoadLayout(m_formPlace->PlaceKnot());
    m_saveSessionOnClose = true;
    m_global.Settings().AddHandler(MakeHandler<&TMainForm::SettingsMessage>(this));
    m_created = true;
    setAcceptDrops(true);
    ActiveDocumentChanged();
    RecentFilesReopenChange();
}

const std::vector<std::unique_ptr<TInstanceLock>>& TMainForm::InstanceLocks() {
    static const std::vector<std::unique_ptr<TInstanceLock>> none;
    return m_instanceLocks ? m_instanceLocks->Locks() : none;
}

void TMainForm::CreateComponents() {
    m_connected = std::make_unique<TConnectedDocuments>(m_global.Settings().Sheet());
    m_openSaveDialog = std::make_unique<TOpenSaveDialog>();
    m_imageDialog = std::make_unique<TOpenSaveDialog>();
    m_imageDialog->FileFilters.AddFilter(QStringLiteral("PNG"), QString());
    m_recentFiles = std::make_unique<TRecentFiles>();
    m_recentFiles->SetMaxStoredCount(kRecentFilesShown);
    m_recentFiles->SetSessionFile(&m_global.RecentFilesFile());
    m_recentFiles->OnReopenChange = [this] { RecentFilesReopenChange(); };
    m_documentor = std::make_unique<TDocumentor>(this);
    m_documentor->Options =
        doModifyFormCaption | doOpenFilesFromCommandLine | doSingleDoc | doAutoCreateDoc | doBackupFiles;
    m_documentor->SetOpenSaveDialog(m_openSaveDialog.get());
    m_documentor->SetRecentFiles(m_recentFiles.get());
    m_documentor->SetCommandLine(&m_global.CommandLine());
    HookDocumentor();
    m_formPlace = new TFormPlace(*this);
    m_formPlace->SetSessionFile(&m_global.SessionFile());
}

void TMainForm::HookDocumentor() {
    TDocumentor& docs = *m_documentor;
    docs.OnCreateDocument = [this](int data) { return DocumentorCreateDocument(data); };
    docs.OnCreationDataFromFileName = [this](const QString& name, int& data) {
        DocumentorCreationDataFromFileName(name, data);
    };
    docs.OnNewDialog = [this](bool isAuto, int& data, bool& cancel) { DocumentorNewDialog(isAuto, data, cancel); };
    docs.OnOpenDialog = [this](QStringList&, bool&) {
        if (m_activeDocument) UseFolderOf(m_activeDocument->FileName());
    };
    docs.OnSaveAsDialog = [this](TDocument* document, QString&, bool&, bool&) { DocumentorSaveAsDialog(document); };
    docs.OnSwitch = [this] { DocumentorSwitch(); };
    docs.OnDocumentListChange = [this] { m_connected->ReleaseUnusedConnectedDocuments(); };
}

void TMainForm::CreateActions() {
    m_appActions = new TAppActions(this);
    m_viewerActions = new TViewerAppActions(this);
    m_editorActions = new TEditorAppActions(this);
    for (TCustomFixActions* list : std::initializer_list<TCustomFixActions*>{m_appActions, m_viewerActions,
                                                                             m_editorActions}) {
        list->Loaded();
        list->OnExecute = [this](QAction*, bool&) { ActionsExecute(); };
    }
    m_viewerActions->SetDocumentor(m_documentor.get());
    m_editorActions->SetDocumentor(m_documentor.get());
    m_viewerActions->FileClose()->setVisible(false);
    m_editorActions->FileSaveAll()->setVisible(false);
    m_viewerActions->FileCloseAll()->setVisible(false);
    for (size_t i = 0; i < m_actions.size(); ++i) {
        const TMainActionInfo& info = MainActionInfos()[i];
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(info.name));
        action->setShortcut(info.shortcut);
        connect(action, &QAction::triggered, this, [this, i] {
            RunGuarded("TMainForm::RunAction", [&] { RunAction(TMainAction(i)); });
        });
        m_actions[i] = action;
    }
}

void TMainForm::CreateEditForm() {
    m_editForm = new TEditForm(this, PaletteFormSettings());
    m_editForm->SetInnerMargin(EditAreaInnerMargin(*style()));
    setCentralWidget(m_editForm);
    m_editForm->SheetForm().RangeBox().setFocus();
}

void TMainForm::CreateMenus() {
    for (size_t i = 0; i < m_menus.size(); ++i) m_menus[i] = menuBar()->addMenu(QString());
    const auto sheetAction = [this](TSheetAction a) { return &m_editForm->SheetForm().Action(a); };
    const auto areaAction = [this](TEditAreaAction a) { return &m_editForm->EditArea().Action(a); };

    QMenu& file = Menu(TMainMenu::File);
    m_miFileNew = file.addAction(QString());
    connect(m_miFileNew, &QAction::triggered, m_editorActions->FileNew(), &QAction::trigger);
    file.addActions({m_viewerActions->FileOpen(), m_editorActions->FileSave(), m_editorActions->FileSaveAs(),
                     m_viewerActions->FileClose()});
    file.addSeparator();
    file.addActions({&Action(TMainAction::FilePageSetup), &Action(TMainAction::FilePrint)});
    file.addSeparator();
    file.addActions({m_editorActions->FileSaveAll(), m_viewerActions->FileCloseAll()});
    m_miRecentFirst = file.addSeparator();
    m_miRecentLast = file.addSeparator();
    file.addAction(m_appActions->FileExit());
    file.insertAction(&Action(TMainAction::FilePageSetup), &Action(TMainAction::FileSaveAsImage));

    QMenu& edit = Menu(TMainMenu::Edit);
    edit.addActions({sheetAction(TSheetAction::EditUndo), sheetAction(TSheetAction::EditRedo)});
    edit.addSeparator();
    edit.addActions({sheetAction(TSheetAction::EditCut), sheetAction(TSheetAction::EditCopy),
                     sheetAction(TSheetAction::EditCopyText), sheetAction(TSheetAction::EditPaste),
                     sheetAction(TSheetAction::EditDelete)});
    edit.addSeparator();
    edit.addActions({areaAction(TEditAreaAction::EditFind), areaAction(TEditAreaAction::EditFindNext),
                     areaAction(TEditAreaAction::EditReplace)});
    edit.addSeparator();
    edit.addActions({sheetAction(TSheetAction::EditReadOnly), areaAction(TEditAreaAction::EditCode)});
    edit.addSeparator();
    edit.addAction(sheetAction(TSheetAction::EditSelectAll));

    QMenu& tools = Menu(TMainMenu::Tools);
    m_miVerbLast = tools.addSeparator();
    tools.addAction(areaAction(TEditAreaAction::ToolsCheck));
    tools.addSeparator();
    tools.addAction(&Action(TMainAction::ToolsSettings));

    QMenu& view = Menu(TMainMenu::View);
    view.addAction(areaAction(TEditAreaAction::ViewPalette));
    view.addSeparator();
    view.addAction(sheetAction(TSheetAction::ViewNonPrintingCharacters));

    QMenu& help = Menu(TMainMenu::Help);
    help.addAction(&Action(TMainAction::HelpOnlineHelp));
    help.addSeparator();
    help.addActions({&Action(TMainAction::HelpCheckUpdates), &Action(TMainAction::HelpProgramPage),
                     &Action(TMainAction::HelpForum), &Action(TMainAction::HelpSendMessage)});
    help.addSeparator();
    help.addAction(m_appActions->HelpAbout());
    connect(m_appActions->HelpAbout(), &QAction::triggered, this,
            [this] { RunGuarded("TMainForm::HelpAboutExecute", [&] { ShowAbout(this); }); });

    m_menuItemHints = std::make_unique<TMenuItemHints>(*this);
    m_popupList = std::make_unique<TPopupListEx>();
    m_popupList->OnMenuSelect = [this](TPopupListEx*, QAction* item) { m_menuItemHints->Select(item); };

    m_reopenFiller = new TReopenFilesMenuFiller(this);
    m_reopenFiller->OnMenuItemClick = [this](TReopenFilesMenuFiller&, const QString& fileName) {
        m_documentor->OpenFile(fileName);
    };
}

void TMainForm::AddDocumentFilters() { SchemeDescriptors().AddDocumentFilters(m_openSaveDialog->FileFilters); }

void TMainForm::UpdateCaptions() {
    for (size_t i = 0; i < m_menus.size(); ++i) m_menus[i]->setTitle(LoadStr(kMenuCaptions[i]));
    m_miFileNew->setText(LoadStr(strNew));
    for (size_t i = 0; i < m_actions.size(); ++i) m_actions[i]->setText(LoadStr(MainActionInfos()[i].caption));
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_startupPosted || !m_created) return;
    m_startupPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { RunGuarded("TMainForm::Startup", [this] { Startup(); }); }, Qt::QueuedConnection);
}

void TMainForm::Startup() {
    update();
    // A command-line file that cannot be opened is shown; the window still
    // gets its new document rather than staying empty.
    if (!RunGuarded("TMainForm::Startup", [this] { m_documentor->Startup(); }) && !m_documentor->ActiveDocument() &&
        m_documentor->Options.testFlag(doAutoCreateDoc))
        m_documentor->New(true, 0);
    if (m_global.CommandLine().HasSwitch(QStringLiteral("-readonly")) && m_activeDocument)
        m_activeDocument->Scheme()->SetReadOnly(true);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    RunGuarded("TMainForm::FormCloseQuery", [&] { canClose = m_documentor->CloseAll(); });
    if (!canClose) {
        event->ignore();
        return;
    }
    if (m_saveSessionOnClose) SaveSession();
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    QStringList fileNames;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) fileNames << url.toLocalFile();
    event->acceptProposedAction();
    RunGuarded("TMainForm::dropEvent", [&] { FilesDropped(fileNames); });
}

void TMainForm::FilesDropped(const QStringList& fileNames) {
    if (fileNames.isEmpty()) return;
    m_documentor->OpenFile(fileNames.first());
    if (fileNames.size() == 1) return;
    SaveSession();
    // Each name is one argument as it is: quoting would break a name that
    // holds a double quote or ends in a backslash.
    const QString program = QCoreApplication::applicationFilePath();
    for (qsizetype i = 1; i < fileNames.size(); ++i) {
        const int result = TShell::Current().StartProgram(program, {fileNames[i]});
        if (!ShellResult::Succeeded(result)) RaiseShellError(result, program);
    }
}

void TMainForm::SaveSession() {
    if (m_editForm) {
        if (TKnot* place = m_formPlace->PlaceKnot()) m_editForm->SaveLayout(place);
    }
    m_global.SaveAtShutdown();
}

// ---------------------------------------------------------------------------
// Batch mode

bool TMainForm::RunBatchMode() {
    TCommandLine& commandLine = m_global.CommandLine();
    const bool save = commandLine.HasSwitch(QStringLiteral("-save"));
    m_documentor->Options &= ~doOpenFilesFromCommandLine;
    bool end = true;
    QString file;
    while (commandLine.GetFileParam(QStringLiteral("*.*"), file)) {
        const QString fullName = QFileInfo(file).absoluteFilePath();
        try {
            end = ProcessBatchFile(fullName, save) && end;
        } catch (...) {
            m_batchFailed = true;
            ReportBatchError(PunctuateMessage(CurrentExceptionText()));
        }
    }
    // Without a display the run ends whatever happened: no window could open.
    return end || m_headless;
}

void TMainForm::ReportBatchError(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
    if (!m_headless) TDialogs::Current().MessageBox(text, LoadStr(strError), MsgBox::IconError);
}

bool TMainForm::ProcessBatchFile(const QString& fileName, bool save) {
    const TSchemeDescriptor* kind = FindSchemeDescriptor(fileName);
    if (!kind) {
        m_batchFailed = true;
        ReportBatchError(PunctuateMessage(LoadStrFmt(strUnsupportedFileType, {fileName})));
        return true;
    }
    auto document = std::make_unique<TSchemeDocument>(*kind, m_global.Settings().Sheet(), m_connected.get());
    try {
        document->Open(fileName);
    } catch (...) {
        m_batchFailed = true;
        ReportBatchError(PunctuateMessage(CurrentExceptionText()));
        return false;
    }
    TSchemeDescriptorRegistry::RunCommandLineOperations(*kind, kind->GetRoot(document->Scheme()),
                                                        m_global.CommandLine());
    if (save && document->Scheme()->LoadedDamaged()) {
        // Nobody sees the warning in a batch run: saving would replace the
        // file by the part of it that could be read.
        m_batchFailed = true;
        ReportBatchError(PunctuateMessage(LoadStrFmt(strCannotReadFile, {fileName})) + QLatin1Char(' ') +
                         PunctuateMessage(LoadStr(strDataProvidedAreCorrupt)));
        return true;
    }
    if (save) document->Save(m_documentor->Options.testFlag(doBackupFiles));
    return true;
}

// ---------------------------------------------------------------------------
// Documents

std::unique_ptr<TDocument> TMainForm::DocumentorCreateDocument(int creationData) {
    const TSchemeDescriptor* kind = KindOf(creationData);
    if (!kind) throw Exception::FromId(strUnsupportedFileType, {QString()});
    auto document = std::make_unique<TSchemeDocument>(*kind, m_global.Settings().Sheet(), m_connected.get());
    const bool isNew = std::exchange(m_creatingNew, false);
    // Only the first document of a first start, when it is a new one: a file
    // opened first leaves later new documents without the welcome as well.
    const bool first = !std::exchange(m_documentMade, true);
    if (isNew && first && m_global.SessionFile().LoadState() == lsFileMissing) {
        if (auto* root = dynamic_cast<TTextorElement*>(kind->GetRoot(document->Scheme()))) {
            auto* comment = static_cast<TTextorElement*>(root->AddElementOfClass(TElement_Comment::StaticClass()));
            comment->SetText(FormatCode(LoadStr(strWelcome), {LoadStr(strProductName), kGettingStartedPage}));
        }
    }
    return document;
}

void TMainForm::DocumentorCreationDataFromFileName(const QString& fileName, int& creationData) {
    m_creatingNew = false;
    const TSchemeDescriptor* kind = FindSchemeDescriptor(fileName);
    if (!kind || !kind->IsFileDialogKind()) throw Exception::FromId(strUnsupportedFileType, {fileName});
    creationData = CreationDataOf(kind);
}

void TMainForm::DocumentorNewDialog(bool isAutoCreateDoc, int& creationData, bool& cancel) {
    const TSchemeDescriptor* kind = nullptr;
    if (isAutoCreateDoc) {
        kind = SchemeDescriptors().StartupKind();
        creationData = CreationDataOf(kind);
        cancel = !kind;
    } else {
        kind = KindOf(creationData);
        cancel = !kind || !kind->CanCreateNew();
    }
    m_creatingNew = !cancel;
}

void TMainForm::DocumentorSaveAsDialog(TDocument* document) {
    if (document) UseFolderOf(document->FileName());
    const auto* scheme = dynamic_cast<TSchemeDocument*>(document);
    const QString kindName = scheme ? scheme->Descriptor().GetName() : QString();
    TFileFilters& filters = m_openSaveDialog->FileFilters;
    for (int i = 0; i < filters.Count(); ++i)
        filters[i].UseForSave = filters[i].Text.compare(kindName, Qt::CaseInsensitive) == 0;
}

void TMainForm::UseFolderOf(const QString& fileName) {
    if (fileName.isEmpty()) return;
    m_startFolder = QFileInfo(fileName).absolutePath();
    m_openSaveDialog->InitialDir = m_startFolder;
    m_imageDialog->InitialDir = m_startFolder;
}

void TMainForm::DocumentorSwitch() {
    m_activeDocument = dynamic_cast<TSchemeDocument*>(m_documentor->ActiveDocument());
    ActiveDocumentChanged();
}

void TMainForm::ActiveDocumentChanged() {
    if (!m_editForm) return;
    TSchemeDocument* document = m_activeDocument;
    if (document)
        m_editForm->AttachScheme(document->Scheme(), document->MainSheet(), document->LogScheme(),
                                 document->LogSheet());
    else
        m_editForm->AttachScheme(nullptr, nullptr, nullptr, nullptr);
    for (TMainAction action : {TMainAction::FileSaveAsImage, TMainAction::FilePageSetup, TMainAction::FilePrint})
        Action(action).setEnabled(document != nullptr);
    RebuildVerbs();
    if (document) UseFolderOf(document->FileName());
}

void TMainForm::RebuildVerbs() {
    QMenu& tools = Menu(TMainMenu::Tools);
    while (tools.actions().first() != m_miVerbLast) delete tools.actions().first();
    if (!m_activeDocument) return;
    const TSchemeDescriptor& kind = m_activeDocument->Descriptor();
    for (int verb = 0; verb < kind.GetVerbCount(); ++verb) {
        QString caption;
        int shortcut = 0;
        kind.GetVerb(verb, caption, shortcut);
        auto* item = new QAction(caption, &tools);
        item->setShortcut(QKeySequence(shortcut));
        connect(item, &QAction::triggered, this, [this, verb] {
            RunGuarded("TMainForm::Verb", [&] {
                if (!m_activeDocument) return;
                ActionsExecute();
                const TSchemeDescriptor& kind = m_activeDocument->Descriptor();
                kind.ExecuteOperation(kind.GetRoot(m_activeDocument->Scheme()), verb, {});
            });
        });
        tools.insertAction(m_miVerbLast, item);
    }
}

void TMainForm::RecentFilesReopenChange() {
    if (!m_reopenFiller) return;
    TReopenFilesMenuFiller::TFillOptions options;
    options.MaxCount = kRecentFilesShown;
    options.FirstAnchor = m_miRecentFirst;
    options.LastAnchor = m_miRecentLast;
    options.OnItemCreated = [](TReopenFilesMenuFiller&, const QString& fileName, QAction& item) {
        item.setIcon(KindIcon(FindSchemeDescriptor(fileName)));
    };
    m_reopenFiller->Fill(*m_recentFiles, Menu(TMainMenu::File), options);
    Menu(TMainMenu::File).setEnabled(true);
}

// ---------------------------------------------------------------------------
// Actions

void TMainForm::ActionsExecute() {
    if (m_activeDocument && m_activeDocument->MainSheet()) m_activeDocument->MainSheet()->FinishEditing();
}

void TMainForm::RunAction(TMainAction action) {
    ActionsExecute();
    switch (action) {
    case TMainAction::FileSaveAsImage:
        FileSaveAsImageExecute();
        break;
    case TMainAction::FilePageSetup:
        FilePageSetupExecute();
        break;
    case TMainAction::FilePrint:
        FilePrintExecute();
        break;
    case TMainAction::ToolsSettings:
        ShowSettings(this);
        break;
    case TMainAction::HelpOnlineHelp:
        ShowProgramPage(QString::fromLatin1(WebPage::OnlineHelp));
        break;
    case TMainAction::HelpCheckUpdates:
        CheckForUpdates();
        break;
    case TMainAction::HelpProgramPage:
        ShowProgramPage(QString::fromLatin1(WebPage::Home));
        break;
    case TMainAction::HelpSendMessage:
        ShowProgramPage(QString::fromLatin1(WebPage::Community));
        break;
    case TMainAction::HelpForum:
        ShowProgramPage(QString::fromLatin1(WebPage::Forum));
        break;
    case TMainAction::Count:
        break;
    }
}

void TMainForm::FileSaveAsImageExecute() {
    TSchemeDocument* document = m_activeDocument;
    auto* root = document ? dynamic_cast<TTextorElement*>(document->Descriptor().GetRoot(document->Scheme())) : nullptr;
    if (!root || !document->MainSheet()) return;
    UseFolderOf(document->FileName());
    m_imageDialog->FileName =
        document->FileName().isEmpty() ? LoadStr(strUntitled) : ExtractFileBaseName(document->FileName());
    if (!m_imageDialog->ExecuteSave()) return;
    const QSize size = SchemeImageSize(*document->MainSheet(), *root);
    // Too large a picture is refused with its size, before memory runs out.
    const auto tooLarge = [&] {
        const QString pixels = QStringLiteral("%1 \u00D7 %2").arg(size.width()).arg(size.height());
        return Exception::FromId(strCannotCreateFile, {m_imageDialog->FileName, pixels});
    };
    if (!SchemeImageSizeAllowed(size)) throw tooLarge();
    const QImage picture = SchemeImage(*document->MainSheet(), *root);
    if (picture.isNull()) throw tooLarge();
    TGDIPlusImage image;
    image.SetImage(picture);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.SaveAsPng(png);
    KnotText::WriteFileAtomically(m_imageDialog->FileName, png.data());
}

void TMainForm::FilePageSetupExecute() {
    if (!CheckPrinters()) return;
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(DefaultPageSetup());
    }
    QPageSetupDialog(m_printer.get(), this).exec();
}

void TMainForm::FilePrintExecute() {
    if (!CheckPrinters() || !m_activeDocument || !m_activeDocument->MainSheet()) return;
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(DefaultPageSetup());
    }
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    PrintSheet(*m_printer, windowTitle(), *m_activeDocument->MainSheet(), *m_global.Settings().Print(),
               m_printer->pageLayout());
}

// ---------------------------------------------------------------------------
// Listeners

void TMainForm::LocalizationMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg != kMainFormLanguageChanged) return;
    m_documentor->UpdateCaption();
    UpdateCaptions();
    RebuildVerbs();
}

void TMainForm::SettingsMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg != nmPropertyChanged) return;
    if (m_global.Settings().Misc()->BackupOnSave()->Value())
        m_documentor->Options |= doBackupFiles;
    else
        m_documentor->Options &= ~doBackupFiles;
}

#include "app/baAppActns.h"

#include "core/baDocum.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"

#include <QWidget>

namespace {

// TLocalization's broadcast when the language changed.
constexpr int kLanguageChanged = 1;

const QString kFileExit = QStringLiteral("FileExit");
const QString kHelpHelp = QStringLiteral("HelpHelp");
const QString kHelpAbout = QStringLiteral("HelpAbout");
const QString kFileOpen = QStringLiteral("FileOpen");
const QString kFileClose = QStringLiteral("FileClose");
const QString kFileCloseAll = QStringLiteral("FileCloseAll");
const QString kFileNew = QStringLiteral("FileNew");
const QString kFileSave = QStringLiteral("FileSave");
const QString kFileSaveAs = QStringLiteral("FileSaveAs");
const QString kFileSaveAll = QStringLiteral("FileSaveAll");

void Enable(QAction* action, bool enabled) {
    if (action) action->setEnabled(enabled);
}

}  // namespace

TFixAction::TFixAction(const QString& name, QObject* owner) : QAction(owner) { setObjectName(name); }

// ---------------------------------------------------------------------------
// TCustomFixActions

TCustomFixActions::TCustomFixActions(QObject* owner) : QObject(owner) {
    if (TLocalization* localization = Localization()) localization->AddHandler(LocalizationHandler());
}

TCustomFixActions::~TCustomFixActions() {
    if (TLocalization* localization = Localization()) localization->RemoveHandler(LocalizationHandler());
}

QList<TFixAction*> TCustomFixActions::Actions() const {
    QList<TFixAction*> actions;
    for (const QPointer<TFixAction>& action : m_actions)
        if (action) actions << action.data();
    return actions;
}

void TCustomFixActions::Append(TFixAction* action) {
    m_actions << action;
    connect(action, &QAction::triggered, this, [this, action] {
        RunGuarded("TCustomFixActions::Execute", [&] { Execute(action); });
    });
}

TFixAction* TCustomFixActions::AddAction(const QString& name, const QKeySequence& shortcut) {
    TFixAction* found = nullptr;
    for (TFixAction* action : Actions())
        if (action->objectName().compare(name, Qt::CaseInsensitive) == 0) {
            found = action;
            break;
        }
    if (!found) {
        found = new TFixAction(name, parent());
        Append(found);
    }
    found->setShortcut(shortcut);
    return found;
}

void TCustomFixActions::Loaded() {
    CreateActions();
    UpdateCaptions();
}

void TCustomFixActions::SetCaption(QAction* action, int id) {
    if (action) action->setText(LoadStr(id));
}

void TCustomFixActions::Execute(QAction* action) {
    bool handled = false;
    if (OnExecute) OnExecute(action, handled);
    if (!handled) ExecuteAction(action);
}

void TCustomFixActions::LocalizationMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == kLanguageChanged) UpdateCaptions();
}

// ---------------------------------------------------------------------------
// TCustomDocActions

TCustomDocActions::~TCustomDocActions() {
    if (m_documentor) m_documentor->RemoveHandler(DocumentorHandler());
}

void TCustomDocActions::SetDocumentor(TDocumentor* documentor) {
    if (documentor == m_documentor) return;
    if (m_documentor) m_documentor->RemoveHandler(DocumentorHandler());
    m_documentor = documentor;
    if (m_documentor) m_documentor->AddHandler(DocumentorHandler());
    UpdateActions();
}

void TCustomDocActions::DocumentorMessage(TItfObject* sender, int msg, intptr_t, intptr_t) {
    if (sender != m_documentor) return;
    if (msg == TAppComponent::acFreeing) {
        m_documentor = nullptr;
        return;
    }
    DocumentorNotify(msg);
}

// ---------------------------------------------------------------------------
// TAppActions

void TAppActions::CreateActions() {
    m_fileExit = AddAction(kFileExit, QKeySequence());
    m_helpHelp = AddAction(kHelpHelp, QKeySequence(Qt::Key_F1));
    m_helpAbout = AddAction(kHelpAbout, QKeySequence());
}

void TAppActions::UpdateCaptions() {
    SetCaption(m_fileExit, strFileExit);
    SetCaption(m_helpHelp, strContents);
    SetCaption(m_helpAbout, strAbout);
}

void TAppActions::ExecuteAction(QAction* action) {
    if (action != m_fileExit) return;
    if (auto* form = qobject_cast<QWidget*>(parent())) form->window()->close();
}

// ---------------------------------------------------------------------------
// TViewerAppActions

void TViewerAppActions::CreateActions() {
    m_fileOpen = AddAction(kFileOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
    m_fileClose = AddAction(kFileClose, QKeySequence());
    m_fileCloseAll = AddAction(kFileCloseAll, QKeySequence());
    UpdateActions();
}

void TViewerAppActions::UpdateCaptions() {
    SetCaption(m_fileOpen, strFileOpen);
    SetCaption(m_fileClose, strFileClose);
    SetCaption(m_fileCloseAll, strFileCloseAll);
}

void TViewerAppActions::UpdateActions() {
    TDocumentor* documentor = Documentor();
    if (!documentor) return;
    Enable(m_fileClose, documentor->CanClose());
    Enable(m_fileCloseAll, documentor->CanCloseAll());
}

void TViewerAppActions::ExecuteAction(QAction* action) {
    TDocumentor* documentor = Documentor();
    if (!documentor) return;
    if (action == m_fileOpen)
        documentor->Open();
    else if (action == m_fileClose) {
        if (documentor->QueryCloseDocument()) documentor->CloseActive();
    } else if (action == m_fileCloseAll)
        documentor->CloseAll();
}

void TViewerAppActions::DocumentorNotify(int code) {
    if (code == TDocumentor::dnUpdateAppActions) UpdateActions();
}

// ---------------------------------------------------------------------------
// TEditorAppActions

void TEditorAppActions::CreateActions() {
    m_fileNew = AddAction(kFileNew, QKeySequence());
    m_fileSave = AddAction(kFileSave, QKeySequence(Qt::CTRL | Qt::Key_S));
    m_fileSaveAs = AddAction(kFileSaveAs, QKeySequence());
    m_fileSaveAll = AddAction(kFileSaveAll, QKeySequence());
    UpdateActions();
}

void TEditorAppActions::UpdateCaptions() {
    SetCaption(m_fileNew, strNew);
    SetCaption(m_fileSave, strFileSave);
    SetCaption(m_fileSaveAs, strFileSaveAs);
    SetCaption(m_fileSaveAll, strFileSaveAll);
}

void TEditorAppActions::UpdateActions() {
    TDocumentor* documentor = Documentor();
    if (!documentor) return;
    Enable(m_fileSave, documentor->CanSave());
    Enable(m_fileSaveAs, documentor->CanSave());
    Enable(m_fileSaveAll, documentor->CanSaveAll());
}

void TEditorAppActions::ExecuteAction(QAction* action) {
    TDocumentor* documentor = Documentor();
    if (!documentor) return;
    if (action == m_fileNew)
        documentor->New(false, 0);
    else if (action == m_fileSave)
        documentor->Save();
    else if (action == m_fileSaveAs)
        documentor->SaveAs();
    else if (action == m_fileSaveAll)
        documentor->SaveAll();
}

void TEditorAppActions::DocumentorNotify(int code) {
    if (code == TDocumentor::dnUpdateAppActions) UpdateActions();
}

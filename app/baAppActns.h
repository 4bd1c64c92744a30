#pragma once
// Ready-made action lists of the main form: the application's own actions
// (Exit, Help, About), a viewer's file actions (Open, Close, Close All) and an
// editor's (New, Save, Save As, Save All). Each list makes the actions it
// misses, gives them their shortcuts and captions in the current language
// (again on every change of language), carries out the file commands through
// a document manager and keeps their enabled states in step with it.

#include "core/cuClasses.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class TDocumentor;

// An action of a list: caption, shortcut, enabled state and what it does.
class TFixAction : public QAction {
public:
    // Named (the object name) name.
    TFixAction(const QString& name, QObject* owner);
};

class TCustomFixActions : public QObject {
public:
    // The actions the list makes are owned by owner (the form). The list
    // listens to the localisation from here to its end.
    explicit TCustomFixActions(QObject* owner);
    ~TCustomFixActions() override;

    // The list's actions, in order; an action that goes leaves the list.
    QList<TFixAction*> Actions() const;
    // Puts an action (made elsewhere, as a stored form makes it) into the list.
    void Append(TFixAction* action);

    // The list's action named name (regardless of case) gets the shortcut;
    // without one a new action of that name, owned by the list's owner, is
    // made and put into the list first.
    TFixAction* AddAction(const QString& name, const QKeySequence& shortcut);

    // After the list's stored actions are in: CreateActions, then UpdateCaptions.
    void Loaded();

    // Runs first when an action of the list is executed; setting handled
    // keeps the list's own command from running.
    std::function<void(QAction* action, bool& handled)> OnExecute;

    virtual void CreateActions() {}
    virtual void UpdateCaptions() {}

protected:
    // The list's own command for the action; nothing in the base.
    virtual void ExecuteAction(QAction* action) {}
    // The string-table text of id as the action's caption.
    static void SetCaption(QAction* action, int id);

private:
    void Execute(QAction* action);
    void LocalizationMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    THandler LocalizationHandler() noexcept { return MakeHandler<&TCustomFixActions::LocalizationMessage>(this); }

    QList<QPointer<TFixAction>> m_actions;
};

// A list whose commands go to a document manager.
class TCustomDocActions : public TCustomFixActions {
public:
    using TCustomFixActions::TCustomFixActions;
    ~TCustomDocActions() override;

    TDocumentor* Documentor() const noexcept { return m_documentor; }
    // Listens to the manager while set (a manager that goes is dropped); then UpdateActions.
    void SetDocumentor(TDocumentor* documentor);

    // Refreshes the enabled states; nothing without a manager.
    virtual void UpdateActions() {}

protected:
    // A notification of the manager.
    virtual void DocumentorNotify(int code) {}

private:
    void DocumentorMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    THandler DocumentorHandler() noexcept { return MakeHandler<&TCustomDocActions::DocumentorMessage>(this); }

    TDocumentor* m_documentor = nullptr;
};

// Exit, Help (F1), About.
class TAppActions : public TCustomFixActions {
public:
    using TCustomFixActions::TCustomFixActions;

    QAction* FileExit() const noexcept { return m_fileExit; }
    QAction* HelpHelp() const noexcept { return m_helpHelp; }
    QAction* HelpAbout() const noexcept { return m_helpAbout; }

    void CreateActions() override;
    void UpdateCaptions() override;

protected:
    // Exit closes the owner's window; Help and About are the form's own.
    void ExecuteAction(QAction* action) override;

private:
    QPointer<TFixAction> m_fileExit;
    QPointer<TFixAction> m_helpHelp;
    QPointer<TFixAction> m_helpAbout;
};

// Open (Ctrl+O), Close, Close All.
class TViewerAppActions : public TCustomDocActions {
public:
    using TCustomDocActions::TCustomDocActions;

    QAction* FileOpen() const noexcept { return m_fileOpen; }
    QAction* FileClose() const noexcept { return m_fileClose; }
    QAction* FileCloseAll() const noexcept { return m_fileCloseAll; }

    void CreateActions() override;
    void UpdateCaptions() override;
    // Close while a document is active, Close All while any is open.
    void UpdateActions() override;

protected:
    void ExecuteAction(QAction* action) override;
    void DocumentorNotify(int code) override;

private:
    QPointer<TFixAction> m_fileOpen;
    QPointer<TFixAction> m_fileClose;
    QPointer<TFixAction> m_fileCloseAll;
};

// New, Save (Ctrl+S), Save As, Save All.
class TEditorAppActions : public TCustomDocActions {
public:
    using TCustomDocActions::TCustomDocActions;

    QAction* FileNew() const noexcept { return m_fileNew; }
    QAction* FileSave() const noexcept { return m_fileSave; }
    QAction* FileSaveAs() const noexcept { return m_fileSaveAs; }
    QAction* FileSaveAll() const noexcept { return m_fileSaveAll; }

    void CreateActions() override;
    void UpdateCaptions() override;
    // Save and Save As while a document is active; Save All while a
    // document has no file name or is modified.
    void UpdateActions() override;

protected:
    void ExecuteAction(QAction* action) override;
    void DocumentorNotify(int code) override;

private:
    QPointer<TFixAction> m_fileNew;
    QPointer<TFixAction> m_fileSave;
    QPointer<TFixAction> m_fileSaveAs;
    QPointer<TFixAction> m_fileSaveAll;
};

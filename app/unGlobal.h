#pragma once
// The global data module: the one object, made after the units started and
// before the main window, that owns the command line, the three files of the
// user (session, recent files, settings), the settings tree with the
// sections the libraries made hung into it, the interface language, and the
// two shared button painters with their stylers.
//
// Start-up: the language is English; the files are named after the program
// in the user's data folder (or beside the program) unless an argument names
// one; the settings are read, or given their first-run values when the
// settings file is missing (then they still need saving); the stored
// language is applied. From then on every change of a setting is written to
// the settings file at once, and every change of "Language" sets the
// language of the texts, whose listeners (the action lists, the windows)
// caption themselves again.

#include "app/unSettings.h"
#include "core/baAppCmpns.h"
#include "core/cuNode.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTranslator;
class TPushStyler;
class TStyledPainter;

struct TVersionInfo {
    QString CompanyName;
    QString ProductName;
    QString ProductVersion;
};

// The version information of a program file. The program's own file holds
// the names and the version it was built with; any other file holds none.
TVersionInfo ReadVersionInfo(const QString& fileName);

// What the data module starts from; tests give their own.
struct TGlobalSetup {
    QStringList Params;    // the arguments, without the program
    TVersionInfo Version;  // of the program file
    QLocale UserLocale;    // the user's locale: it decides the first language

    // The running program's arguments, version information and the system's locale.
    static TGlobalSetup FromProcess();
};

class TGlobal {
public:
    // Makes the one data module and runs its start-up. There is at most one
    // at a time.
    static std::unique_ptr<TGlobal> Create(TGlobalSetup setup);
    // Takes the hung-in sections back out of the tree before freeing it.
    ~TGlobal();
    TGlobal(const TGlobal&) = delete;
    TGlobal& operator=(const TGlobal&) = delete;

    TCommandLine& CommandLine() noexcept { return m_commandLine; }
    TSessionFile& SessionFile() noexcept { return m_sessionFile; }
    TSessionFile& RecentFilesFile() noexcept { return m_recentFilesFile; }
    TSessionFile& SettingsFile() noexcept { return m_settingsFile; }
    TSettings& Settings() const noexcept { return *m_settings; }
    // The names and the version of the program it started for.
    const TVersionInfo& VersionInfo() const noexcept { return m_setup.Version; }
    // True after a start without a settings file until the settings are saved.
    bool SettingsNeedSaving() const noexcept { return m_settingsNeedSaving; }

    // The standard push-button look (the default button painter) and the hyperlink look.
    TStyledPainter& ptrStdBtn() const noexcept { return *m_ptrStdBtn; }
    TPushStyler& stStdBtn() const noexcept { return *m_stStdBtn; }
    TStyledPainter& ptrHyperlink() const noexcept { return *m_ptrHyperlink; }
    TPushStyler& stHyperlink() const noexcept { return *m_stHyperlink; }

    // The settings go into the settings file, which is written (a failure is
    // kept in its SaveError) and emptied again; they no longer need saving.
    void SaveSettings();
    // What the end of the program writes: the session and the recent files,
    // then the settings when they still need saving.
    void SaveAtShutdown();

    // The data folder: the user's data folder with the company and product
    // names of the program, made when missing; the program's folder when the
    // program names neither or the folder cannot be made. The three files are
    // that folder, the program's name and their extensions.
    void SetSessionFileNames();

private:
    explicit TGlobal(TGlobalSetup setup);
    void DataModuleCreate();
    void DataModuleDestroy();
    void SetUpButtonLooks();
    void HangSections();
    void LoadSettings();
    // On "Language" changing: the language of the texts follows the code;
    // an unknown code gives the fallback language.
    void SettingsChanged(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    // On any setting changing: the settings file is written.
    void SettingsTreeChanged(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    THandler LanguageHandler() noexcept { return MakeHandler<&TGlobal::SettingsChanged>(this); }
    THandler TreeHandler() noexcept { return MakeHandler<&TGlobal::SettingsTreeChanged>(this); }

    const TGlobalSetup m_setup;
    TCommandLine m_commandLine;
    TSessionFile m_sessionFile;
    TSessionFile m_recentFilesFile;
    TSessionFile m_settingsFile;
    std::unique_ptr<TPushStyler> m_stStdBtn;
    std::unique_ptr<TStyledPainter> m_ptrStdBtn;
    std::unique_ptr<TPushStyler> m_stHyperlink;
    std::unique_ptr<TStyledPainter> m_ptrHyperlink;
    TNodePtr<TSettings> m_settings;
    // The sections of the libraries hung into the tree, in the order they went in.
    std::vector<TProperty*> m_hungSections;
    bool m_settingsNeedSaving = false;
    // Qt's own texts in the interface language; none for English.
    std::unique_ptr<QTranslator> m_qtTranslator;
};

// The data module while it lives; nil before and after.
TGlobal* Global() noexcept;
// The painter the dialogs give their buttons: the data module's ptrStdBtn;
// nil without a data module.
TStyledPainter* DefaultButtonPainter() noexcept;

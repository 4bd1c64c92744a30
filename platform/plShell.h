#pragma once
// Opening documents, folders and web addresses and starting programs. The
// results are numbered as the callers expect them from the shell: above 32
// means started; 2 file not found, 3 path not found, 5 access denied,
// 31 no program is associated with the file (the caller then offers the
// open-with choice), 0 any other failure.

#include "platform/plDesktopApps.h"
#include "platform/plInstaller.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace ShellResult {
constexpr int Failed = 0;
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int AccessDenied = 5;
constexpr int IncompleteAssociation = 27;
constexpr int NoAssociation = 31;
constexpr int Started = 42;
inline bool Succeeded(int code) { return code > 32; }
}  // namespace ShellResult

// Splits a parameter text written with Windows quoting into arguments:
// white space separates, double quotes group ("" inside quotes is one quote),
// 2n backslashes before a quote give n backslashes, 2n+1 give n and a quote;
// other backslashes are literal.
QStringList SplitCommandLineArgs(const QString& params);

// True for "scheme:..." addresses (http, https, mailto, file, ...), not for "C:\...".
bool IsUrl(const QString& text);

// Whether opening the file starts no program: an existing regular file (links
// followed) that is not executable, not a ".desktop" file and not of an
// executable type (programs, libraries, scripts, installers).
bool IsDocumentFile(const QString& path);

// One start of a program that the caller does not wait for: a file opened
// with its associated program, a program with arguments, or a desktop
// application with a file.
struct TLaunch {
    enum class TKind : uint8_t { Open, Program, Application };
    TKind Kind = TKind::Open;
    QString FileName;  // Open, Application
    QString Verb;      // Open: a hint ("edit", "open")
    QString Program;   // Program
    QStringList Args;  // Program
    TDesktopApp App;   // Application

    static TLaunch Open(const QString& fileName, const QString& verb);
    static TLaunch Start(const QString& program, const QStringList& args);
    static TLaunch StartApp(const TDesktopApp& app, const QString& fileName);
};
// Receives the result of a launch (the numbers above).
using TLaunchDone = std::function<void(int result)>;

class TShell {
public:
    virtual ~TShell() = default;
    // Opens a document, folder or address with its associated program, or
    // starts a program with `params`. `verb` ("open", "edit", "view") is a hint.
    virtual int Execute(const QString& fileName, const QString& params, const QString& verb) = 0;
    // Starts `program` with `args`, not waiting for it.
    virtual int StartProgram(const QString& program, const QStringList& args) = 0;
    // Starts a desktop application with a file.
    virtual int StartApplication(const TDesktopApp& app, const QString& fileName) = 0;
    // Shows an existing file or folder selected in the desktop's file manager
    // where one answers, else opens the folder that holds it. 2 when it does
    // not exist.
    virtual int ShowItem(const QString& path) = 0;
    // The default program for web addresses; empty when none is set.
    virtual QString BrowserCommand() = 0;
    // Starts the launch and returns at once; `done` gets the result later,
    // from the event loop of the calling thread, never before Launch returns.
    // Nothing waits: no program is run to ask for associations.
    virtual void Launch(const TLaunch& launch, TLaunchDone done) = 0;

    // The shell in use: the XDG shell unless a test installed another.
    static TShell& Current();
    // Installs `shell` (nullptr: the XDG shell again); returns the previous one.
    static TShell* Install(TShell* shell) noexcept;
};

// The real shell: "xdg-open" for documents, folders and addresses (its exit
// code mapped to the results above), "xdg-mime" for the default program of a
// MIME type, QProcess::startDetached for programs; an item is shown through
// the file manager's "ShowItems" call on the session bus
// (org.freedesktop.FileManager1), and where nothing answers it, its folder
// through xdg-open.
class TXdgShell : public TShell {
public:
    int Execute(const QString& fileName, const QString& params, const QString& verb) override;
    int StartProgram(const QString& program, const QStringList& args) override;
    int StartApplication(const TDesktopApp& app, const QString& fileName) override;
    int ShowItem(const QString& path) override;
    QString BrowserCommand() override;
    // Open runs xdg-open as a child whose exit code (or WaitMs passing while
    // it runs: started) is the result; programs start detached.
    void Launch(const TLaunch& launch, TLaunchDone done) override;

    // The result for an exit code of xdg-open.
    static int MapXdgOpenExit(int exitCode);
    // How long Execute waits for xdg-open to report; a program still running
    // afterwards counts as started and is left running.
    int WaitMs = 5000;
};

// Records every call and answers with programmed results; for tests.
class TFakeShell : public TShell {
public:
    int Execute(const QString& fileName, const QString& params, const QString& verb) override;
    int StartProgram(const QString& program, const QStringList& args) override;
    int StartApplication(const TDesktopApp& app, const QString& fileName) override;
    int ShowItem(const QString& path) override;
    QString BrowserCommand() override { return Browser; }
    // Records the call like the others ("Launch-Open|file|verb" for Open) and
    // keeps `done` until FinishLaunches.
    void Launch(const TLaunch& launch, TLaunchDone done) override;
    // Answers the launches made so far, in order: with the next of
    // LaunchResults, else with StartResult. Returns how many were answered.
    int FinishLaunches();
    int PendingLaunches() const noexcept { return int(m_pending.size()); }

    std::deque<int> LaunchResults;
    int ExecuteResult = ShellResult::Started;
    int StartResult = ShellResult::Started;
    QString Browser;
    // "Execute|file|params|verb", "Start|program|arg|arg", "App|id|file", "ShowItem|path"
    QStringList Calls;

private:
    std::deque<TLaunchDone> m_pending;
};

// Installs a shell for the lifetime of the guard.
class TShellInstaller : public TInstaller<TShell> {
public:
    using TInstaller::TInstaller;
};

#include "platform/plShell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <array>
#include <memory>
#include <utility>

namespace {
TServiceSlot<TShell> g_shell;

bool IsSeparator(QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); }

QString WithoutTrailingSeparators(QString path) {
    while (path.size() > 1 && IsSeparator(path.back())) path.chop(1);
    return path;
}

// Native (non-script) programs and scripts start with these bytes.
bool LooksLikeProgram(const QFileInfo& fi) {
    if (!fi.isFile() || !fi.isExecutable()) return false;
    QFile f(fi.absoluteFilePath());
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(4);
    return head.startsWith("#!") || head == QByteArray("\x7f" "ELF", 4);
}

// Runs a short query program; its first output line, or empty.
QString QueryOutput(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args, QIODevice::ReadOnly);
    if (!p.waitForStarted(3000)) return {};
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}

QString DefaultApplicationFor(const QString& mime) {
    return QueryOutput(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mime});
}

// Some program can open the file: one listed for its type or an ancestor type
// (read from the files, cheap), or a default that xdg-mime knows of.
bool HasAssociation(const QString& fileName) {
    const QStringList types = MimeTypesOfFile(fileName);
    if (!ListApplicationsForMimeTypes(types, TXdgDirs::FromEnvironment()).empty()) return true;
    for (const QString& type : types)
        if (!DefaultApplicationFor(type).isEmpty()) return true;
    return false;
}

// xdg-open, waiting a while for its verdict; a run that takes longer is left
// running (it has started the program) and counts as started.
int RunXdgOpen(const QString& target, int waitMs) {
    auto p = std::make_unique<QProcess>();
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(QStringLiteral("xdg-open"), {target});
    if (!p->waitForStarted(3000)) return ShellResult::NoAssociation;
    if (p->waitForFinished(waitMs))
        return TXdgShell::MapXdgOpenExit(p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1);
    // Still running: it frees itself when it ends.
    QProcess* running = p.release();
    QObject::connect(running, &QProcess::finished, running, &QObject::deleteLater);
    return ShellResult::Started;
}

// The file manager's "ShowItems" call on the session bus; whether one answered
// within the time allowed.
bool CallShowItems(const QString& path) {
    constexpr int kShowItemsTimeoutMs = 3000;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    return bus.call(call, QDBus::Block, kShowItemsTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

// A run of backslashes at params[i], which is advanced past it: before a
// double quote each pair stands for one backslash and an odd one escapes the
// quote (which is consumed too; `toggles` tells whether an unescaped quote
// followed); elsewhere the backslashes are literal.
QString BackslashRun(const QString& params, qsizetype& i, bool& toggles) {
    qsizetype run = 0;
    while (i + run < params.size() && params[i + run] == QLatin1Char('\\')) ++run;
    toggles = false;
    if (i + run >= params.size() || params[i + run] != QLatin1Char('"')) {
        i += run;
        return QString(run, QLatin1Char('\\'));
    }
    i += run + 1;
    toggles = run % 2 == 0;
    return QString(run / 2, QLatin1Char('\\')) + (toggles ? QString() : QStringLiteral("\""));
}

}  // namespace

QStringList SplitCommandLineArgs(const QString& params) {
    QStringList args;
    QString cur;
    bool inArg = false, quoted = false;
    const qsizetype n = params.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = params[i];
        if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inArg) args << cur;
            cur.clear();
            inArg = false;
            ++i;
            continue;
        }
        inArg = true;
        if (c == QLatin1Char('\\')) {
            bool toggles = false;
            cur += BackslashRun(params, i, toggles);
            if (toggles) quoted = !quoted;
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < n && params[i + 1] == QLatin1Char('"')) {
                cur += QLatin1Char('"');
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
            continue;
        }
        cur += c;
        ++i;
    }
    if (inArg) args << cur;
    return args;
}

bool IsUrl(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

namespace {
// Types that start a program when opened (installer packages and shortcuts
// of another system too: a compatibility layer runs them when asked to open).
constexpr std::array<const char*, 16> kProgramMimeTypes{
    "application/x-executable",     "application/x-pie-executable",
    "application/x-sharedlib",      "application/x-shellscript",
    "application/x-desktop",        "application/x-ms-dos-executable",
    "application/x-msdownload",     "application/vnd.microsoft.portable-executable",
    "application/x-java-archive",   "application/vnd.appimage",
    "application/x-perl",           "text/x-python",
    "application/x-ruby",           "application/x-executable-script",
    "application/x-msi",            "application/x-ms-shortcut",
};
const QString kDesktopEntrySuffix = QStringLiteral("desktop");

bool HasProgramType(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    for (const char* name : kProgramMimeTypes)
        if (type.inherits(QString::fromLatin1(name))) return true;
    return false;
}
}  // namespace

bool IsDocumentFile(const QString& path) {
    const QFileInfo target(QFileInfo(path).canonicalFilePath());
    return target.isFile() && !target.isExecutable() &&
           target.suffix().compare(kDesktopEntrySuffix, Qt::CaseInsensitive) != 0 && !HasProgramType(target.filePath());
}

TShell& TShell::Current() {
    static TXdgShell xdg;
    return g_shell.Get(xdg);
}

TShell* TShell::Install(TShell* shell) noexcept { return g_shell.Install(shell); }

namespace {
// Exit statuses of xdg-open.
enum : int {
    xoSuccess = 0,
    xoFileNotFound = 2,
    xoNoTool = 3,  // no method available for opening
    xoNoPermission = 5,
};
}  // namespace

int TXdgShell::MapXdgOpenExit(int exitCode) {
    switch (exitCode) {
    case xoSuccess: return ShellResult::Started;
    case xoFileNotFound: return ShellResult::FileNotFound;
    case xoNoTool: return ShellResult::NoAssociation;
    case xoNoPermission: return ShellResult::AccessDenied;  // no permission to read the file
    default: return ShellResult::Failed;
    }
}

int TXdgShell::Execute(const QString& fileName, const QString& params, const QString& verb) {
    Q_UNUSED(verb);  // xdg-open knows one action per file type
    if (fileName.isEmpty()) return ShellResult::FileNotFound;
    if (IsUrl(fileName)) return RunXdgOpen(fileName, WaitMs);

    const QFileInfo fi(fileName);
    if (!fi.exists()) {
        const bool bare = !fileName.contains(QLatin1Char('/')) && !fileName.contains(QLatin1Char('\\'));
        if (bare) {
            const QString program = QStandardPaths::findExecutable(fileName);
            if (!program.isEmpty()) return StartProgram(program, SplitCommandLineArgs(params));
        }
        const QString parent = QFileInfo(WithoutTrailingSeparators(fileName)).absolutePath();
        return QFileInfo(parent).isDir() ? ShellResult::FileNotFound : ShellResult::PathNotFound;
    }
    if (!fi.isReadable()) return ShellResult::AccessDenied;
    if (fi.isDir()) return RunXdgOpen(fi.absoluteFilePath(), WaitMs);
    if (LooksLikeProgram(fi)) return StartProgram(fi.absoluteFilePath(), SplitCommandLineArgs(params));
    if (!HasAssociation(fi.absoluteFilePath())) return ShellResult::NoAssociation;
    return RunXdgOpen(fi.absoluteFilePath(), WaitMs);
}

int TXdgShell::StartProgram(const QString& program, const QStringList& args) {
    return QProcess::startDetached(program, args) ? ShellResult::Started : ShellResult::AccessDenied;
}

int TXdgShell::StartApplication(const TDesktopApp& app, const QString& fileName) {
    QStringList args = DesktopExecArguments(app, fileName);
    if (args.isEmpty()) return ShellResult::NoAssociation;
    const QString program = args.takeFirst();
    return StartProgram(program, args);
}

int TXdgShell::ShowItem(const QString& path) {
    const QFileInfo item(WithoutTrailingSeparators(path));
    if (path.isEmpty() || !item.exists()) return ShellResult::FileNotFound;
    if (CallShowItems(item.absoluteFilePath())) return ShellResult::Started;
    return RunXdgOpen(item.absolutePath(), WaitMs);
}

QString TXdgShell::BrowserCommand() {
    const QString id = DefaultApplicationFor(QStringLiteral("x-scheme-handler/http"));
    if (id.isEmpty()) return {};
    const TXdgDirs dirs = TXdgDirs::FromEnvironment();
    for (const QString& dir : dirs.DataDirs) {
        TDesktopApp app;
        app.Id = id;
        if (ReadDesktopEntry(dir + QStringLiteral("/applications/") + id, app)) {
            const QStringList args = DesktopExecArguments(app, {});
            return args.isEmpty() ? QString() : args.first();
        }
    }
    return {};
}

namespace {

// Hands a result to `done` from the event loop, after the caller returned.
void PostResult(TLaunchDone done, int result) {
    QObject* receiver = QCoreApplication::instance();
    if (!receiver || !done) return;
    QMetaObject::invokeMethod(receiver, [done = std::move(done), result] { done(result); }, Qt::QueuedConnection);
}

// xdg-open as a child: its exit code is the result; still running after
// waitMs it has started the program and counts as started. The process frees
// itself when it ends.
void LaunchXdgOpen(const QString& target, int waitMs, TLaunchDone done) {
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto reported = std::make_shared<bool>(false);
    auto report = [reported, done](int result) {
        if (std::exchange(*reported, true)) return;
        if (done) done(result);
    };
    QObject::connect(process, &QProcess::finished, process, [process, report](int exitCode, QProcess::ExitStatus status) {
        report(TXdgShell::MapXdgOpenExit(status == QProcess::NormalExit ? exitCode : -1));
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        report(ShellResult::NoAssociation);
        process->deleteLater();
    });
    QTimer::singleShot(waitMs, process, [report] { report(ShellResult::Started); });
    process->start(QStringLiteral("xdg-open"), {target});
}

}  // namespace

TLaunch TLaunch::Open(const QString& fileName, const QString& verb) {
    TLaunch launch;
    launch.Kind = TKind::Open;
    launch.FileName = fileName;
    launch.Verb = verb;
    return launch;
}

TLaunch TLaunch::Start(const QString& program, const QStringList& args) {
    TLaunch launch;
    launch.Kind = TKind::Program;
    launch.Program = program;
    launch.Args = args;
    return launch;
}

TLaunch TLaunch::StartApp(const TDesktopApp& app, const QString& fileName) {
    TLaunch launch;
    launch.Kind = TKind::Application;
    launch.App = app;
    launch.FileName = fileName;
    return launch;
}

void TXdgShell::Launch(const TLaunch& launch, TLaunchDone done) {
    switch (launch.Kind) {
    case TLaunch::TKind::Program: PostResult(std::move(done), StartProgram(launch.Program, launch.Args)); return;
    case TLaunch::TKind::Application:
        PostResult(std::move(done), StartApplication(launch.App, launch.FileName));
        return;
    case TLaunch::TKind::Open: break;
    }
    const QFileInfo fi(launch.FileName);
    if (launch.FileName.isEmpty() || !fi.exists()) return PostResult(std::move(done), ShellResult::FileNotFound);
    if (!fi.isReadable()) return PostResult(std::move(done), ShellResult::AccessDenied);
    LaunchXdgOpen(fi.absoluteFilePath(), WaitMs, std::move(done));
}

void TFakeShell::Launch(const TLaunch& launch, TLaunchDone done) {
    switch (launch.Kind) {
    case TLaunch::TKind::Open:
        Calls << QStringList{QStringLiteral("Launch-Open"), launch.FileName, launch.Verb}.join(QLatin1Char('|'));
        break;
    case TLaunch::TKind::Program:
        Calls << (QStringList{QStringLiteral("Start"), launch.Program} + launch.Args).join(QLatin1Char('|'));
        break;
    case TLaunch::TKind::Application:
        Calls << QStringList{QStringLiteral("App"), launch.App.Id, launch.FileName}.join(QLatin1Char('|'));
        break;
    }
    m_pending.push_back(std::move(done));
}

int TFakeShell::FinishLaunches() {
    int answered = 0;
    while (!m_pending.empty()) {
        TLaunchDone done = std::move(m_pending.front());
        m_pending.pop_front();
        int result = StartResult;
        if (!LaunchResults.empty()) {
            result = LaunchResults.front();
            LaunchResults.pop_front();
        }
        if (done) done(result);
        ++answered;
    }
    return answered;
}

int TFakeShell::Execute(const QString& fileName, const QString& params, const QString& verb) {
    Calls << QStringList{QStringLiteral("Execute"), fileName, params, verb}.join(QLatin1Char('|'));
    return ExecuteResult;
}

int TFakeShell::StartProgram(const QString& program, const QStringList& args) {
    Calls << (QStringList{QStringLiteral("Start"), program} + args).join(QLatin1Char('|'));
    return StartResult;
}

int TFakeShell::StartApplication(const TDesktopApp& app, const QString& fileName) {
    Calls << QStringList{QStringLiteral("App"), app.Id, fileName}.join(QLatin1Char('|'));
    return StartResult;
}

int TFakeShell::ShowItem(const QString& path) {
    Calls << QStringLiteral("ShowItem|") + path;
    return ExecuteResult;
}

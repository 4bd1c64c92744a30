#include "platform/plDesktopApps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QSet>
#include <QTextStream>

namespace {

// One group of an ini-like XDG file: key -> raw value.
using TGroup = QList<QPair<QString, QString>>;
using TGroups = QList<QPair<QString, TGroup>>;

TGroups ReadXdgIni(const QString& filePath) {
    TGroups groups;
    QFile f(filePath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            groups.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || groups.isEmpty()) continue;
        groups.last().second.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
    return groups;
}

QString GroupValue(const TGroup& group, const QString& key) {
    for (const auto& kv : group)
        if (kv.first == key) return kv.second;
    return {};
}

QStringList SplitList(const QString& value) {
    QStringList out;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (const QString t = item.trimmed(); !t.isEmpty()) out << t;
    return out;
}

// The general escapes of desktop-entry strings: \s \n \t \r \\.
QString UnescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        switch (n.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += c; out += n; break;
        }
    }
    return out;
}

// Splits an Exec line: white space separates; inside double quotes \" \` \$ \\ stand for the character.
QStringList SplitExec(const QString& exec) {
    QStringList args;
    QString cur;
    bool inToken = false, quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                       QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                cur += exec[++i];
            } else {
                cur += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = inToken = true;
        } else if (c.isSpace()) {
            if (inToken) args << cur;
            cur.clear();
            inToken = false;
        } else {
            cur += c;
            inToken = true;
        }
    }
    if (inToken) args << cur;
    return args;
}

// The ids that the files list for mime in their groups named `section`, file by file.
QStringList ListedIds(const QList<TGroups>& files, const char* section, const QString& mime) {
    QStringList ids;
    for (const TGroups& groups : files)
        for (const auto& [name, group] : groups)
            if (name == QLatin1String(section)) ids += SplitList(GroupValue(group, mime));
    return ids;
}

QString FindDesktopFile(const QString& id, const TXdgDirs& dirs) {
    for (const QString& dir : dirs.DataDirs) {
        const QString base = dir + QStringLiteral("/applications/");
        if (QFileInfo::exists(base + id)) return base + id;
        // "vendor-app.desktop" may live in "vendor/app.desktop".
        QString nested = id;
        for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
             dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
            nested[dash] = QLatin1Char('/');
            if (QFileInfo::exists(base + nested)) return base + nested;
        }
    }
    return {};
}

QStringList EnvPaths(const char* name, const QString& fallback) {
    QString value = qEnvironmentVariable(name);
    if (value.isEmpty()) value = fallback;
    return value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

}  // namespace

TXdgDirs TXdgDirs::FromEnvironment() {
    TXdgDirs d;
    const QString home = QDir::homePath();
    d.DataDirs = EnvPaths("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    d.DataDirs += EnvPaths("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    d.ConfigDirs = EnvPaths("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    d.ConfigDirs += EnvPaths("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    return d;
}

bool ReadDesktopEntry(const QString& filePath, TDesktopApp& app) {
    const TGroups groups = ReadXdgIni(filePath);
    for (const auto& [name, group] : groups) {
        if (name != QLatin1String("Desktop Entry")) continue;
        if (GroupValue(group, QStringLiteral("Type")) != QLatin1String("Application")) return false;
        if (GroupValue(group, QStringLiteral("Hidden")) == QLatin1String("true")) return false;
        app.Exec = UnescapeValue(GroupValue(group, QStringLiteral("Exec")));
        if (app.Exec.isEmpty()) return false;
        const QLocale locale;
        QString label = GroupValue(group, QStringLiteral("Name[%1]").arg(locale.name()));
        if (label.isEmpty())
            label = GroupValue(group, QStringLiteral("Name[%1]").arg(locale.name().section(QLatin1Char('_'), 0, 0)));
        if (label.isEmpty()) label = GroupValue(group, QStringLiteral("Name"));
        app.Name = UnescapeValue(label);
        app.Icon = UnescapeValue(GroupValue(group, QStringLiteral("Icon")));
        app.FilePath = filePath;
        if (app.Id.isEmpty()) app.Id = QFileInfo(filePath).fileName();
        return true;
    }
    return false;
}

namespace {
// The "mimeapps.list" files, most important first.
QList<TGroups> ReadMimeAppsLists(const TXdgDirs& dirs) {
    QStringList listFiles;
    for (const QString& dir : dirs.ConfigDirs) listFiles << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : dirs.DataDirs) listFiles << dir + QStringLiteral("/applications/mimeapps.list");
    QList<TGroups> lists;
    for (const QString& f : listFiles) lists << ReadXdgIni(f);
    return lists;
}
}  // namespace

bool FindDesktopApplication(const QString& id, const TXdgDirs& dirs, TDesktopApp& app) {
    const QString path = FindDesktopFile(id, dirs);
    app = TDesktopApp();
    app.Id = id;
    return !path.isEmpty() && ReadDesktopEntry(path, app);
}

QString DefaultApplicationId(const QStringList& mimeTypes, const TXdgDirs& dirs) {
    const QList<TGroups> lists = ReadMimeAppsLists(dirs);
    for (const QString& mime : mimeTypes) {
        for (const QString& id : ListedIds(lists, "Default Applications", mime)) {
            TDesktopApp app;
            if (FindDesktopApplication(id, dirs, app)) return id;
        }
    }
    return {};
}

std::vector<TDesktopApp> ListApplicationsForMimeTypes(const QStringList& mimeTypes, const TXdgDirs& dirs) {
    const QList<TGroups> lists = ReadMimeAppsLists(dirs);
    QList<TGroups> caches;
    for (const QString& dir : dirs.DataDirs) caches << ReadXdgIni(dir + QStringLiteral("/applications/mimeinfo.cache"));

    QStringList ids;
    QSet<QString> removed;
    for (const QString& mime : mimeTypes) {
        for (const QString& id : ListedIds(lists, "Removed Associations", mime)) removed.insert(id);
        ids += ListedIds(lists, "Default Applications", mime);
        ids += ListedIds(lists, "Added Associations", mime);
        ids += ListedIds(caches, "MIME Cache", mime);
    }

    std::vector<TDesktopApp> apps;
    QSet<QString> seen;
    for (const QString& id : ids) {
        if (removed.contains(id) || seen.contains(id)) continue;
        seen.insert(id);
        TDesktopApp app;
        if (FindDesktopApplication(id, dirs, app)) apps.push_back(std::move(app));
    }
    return apps;
}

QStringList MimeTypesOfFile(const QString& fileName) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName);
    QStringList types{type.name()};
    types += type.allAncestors();
    return types;
}

QStringList MimeTypesOfExtension(const QString& extension) {
    QStringList types;
    if (extension.isEmpty()) return types;
    const QMimeDatabase db;
    for (const QMimeType& type : db.mimeTypesForFileName(QStringLiteral("file.") + extension)) {
        for (const QString& name : QStringList{type.name()} + type.allAncestors())
            if (!types.contains(name)) types << name;
    }
    return types;
}

std::vector<TDesktopApp> ListApplicationsForFile(const QString& fileName) {
    return ListApplicationsForMimeTypes(MimeTypesOfFile(fileName), TXdgDirs::FromEnvironment());
}

QStringList DesktopExecArguments(const TDesktopApp& app, const QString& fileName) {
    QStringList out;
    bool fileUsed = false;
    for (const QString& token : SplitExec(app.Exec)) {
        if (token == QLatin1String("%i")) {
            if (!app.Icon.isEmpty()) out << QStringLiteral("--icon") << app.Icon;
            continue;
        }
        if (token == QLatin1String("%f") || token == QLatin1String("%F") || token == QLatin1String("%u") ||
            token == QLatin1String("%U")) {
            if (!fileName.isEmpty()) out << fileName;
            fileUsed = true;
            continue;
        }
        QString arg;
        bool dropped = false;
        for (qsizetype i = 0; i < token.size(); ++i) {
            if (token[i] != QLatin1Char('%') || i + 1 >= token.size()) {
                arg += token[i];
                continue;
            }
            const QChar code = token[++i];
            switch (code.unicode()) {
            case '%': arg += QLatin1Char('%'); break;
            case 'f': case 'F': case 'u': case 'U': arg += fileName; fileUsed = true; break;
            case 'c': arg += app.Name; break;
            case 'k': arg += app.FilePath; break;
            default: dropped = true; break;  // deprecated or unknown codes
            }
        }
        if (!arg.isEmpty() || !dropped) out << arg;
    }
    if (!fileUsed && !fileName.isEmpty()) out << fileName;
    return out;
}

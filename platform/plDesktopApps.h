#pragma once
// The installed desktop applications (XDG ".desktop" entries) that can open a
// MIME type, in the user's order of preference: the defaults and added
// associations of the "mimeapps.list" files first, then the entries that the
// "mimeinfo.cache" files name, without the removed associations. The same list
// serves the open-with choice and the external-program lists of the editors.

#include <QString>
#include <QStringList>

#include <vector>

struct TDesktopApp {
    QString Id;        // desktop-file id, e.g. "org.gnome.gedit.desktop"
    QString Name;      // the "Name" entry, shown to the user
    QString Exec;      // the "Exec" entry with its field codes
    QString Icon;      // the "Icon" entry (theme name or path)
    QString FilePath;  // where the entry was read from
};

// Folders searched for ".desktop" entries and association files. The default
// is taken from XDG_DATA_HOME/XDG_DATA_DIRS and XDG_CONFIG_HOME/XDG_CONFIG_DIRS.
struct TXdgDirs {
    QStringList DataDirs;    // most important first; "applications/" is below each
    QStringList ConfigDirs;  // most important first; "mimeapps.list" is in each
    static TXdgDirs FromEnvironment();
};

// Applications for the MIME types given (most specific first), without duplicates.
std::vector<TDesktopApp> ListApplicationsForMimeTypes(const QStringList& mimeTypes, const TXdgDirs& dirs);
// Applications for a file: its MIME type by name and content, then that type's ancestors.
std::vector<TDesktopApp> ListApplicationsForFile(const QString& fileName);
QStringList MimeTypesOfFile(const QString& fileName);
// The MIME types of files named with the extension (without dot), each
// followed by its ancestors, without duplicates; by name only, no file is read.
QStringList MimeTypesOfExtension(const QString& extension);

// The id of the user's default application for the first of the MIME types
// that has one (the "Default Applications" of the "mimeapps.list" files, the
// first listed entry that is an installed application); empty without one.
QString DefaultApplicationId(const QStringList& mimeTypes, const TXdgDirs& dirs);
// The installed application with the desktop id; false when there is none.
bool FindDesktopApplication(const QString& id, const TXdgDirs& dirs, TDesktopApp& app);

// Reads one ".desktop" entry; false when it is no visible application.
bool ReadDesktopEntry(const QString& filePath, TDesktopApp& app);

// The program and its arguments for starting `app` with `fileName`: the Exec
// line split by its quoting rules, file codes (%f %F %u %U) replaced by the file
// (or appended when the line has none), %c by the name, %i by "--icon" and the
// icon, %k by the entry's path, "%%" by "%"; other codes are dropped.
QStringList DesktopExecArguments(const TDesktopApp& app, const QString& fileName);

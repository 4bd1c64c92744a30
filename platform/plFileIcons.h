#pragma once
// The icons the desktop shows for files and folders, found by MIME type in
// the icon theme. A file that does not exist is typed by its name, so no
// temporary file is ever made to ask for an icon. The fake answers from a
// table by extension.

#include "platform/plInstaller.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <map>

class TFileIcons {
public:
    virtual ~TFileIcons() = default;
    // The icon of a file's type, `size` pixels square: typed by its content
    // when it exists, else by its name. Null when the theme has none.
    virtual QImage FileIcon(const QString& path, int size) = 0;
    // The icon of a folder; null when the theme has none.
    virtual QImage FolderIcon(const QString& path, int size) = 0;

    // The icons in use: the theme's unless a test installed others.
    static TFileIcons& Current();
    static TFileIcons* Install(TFileIcons* icons) noexcept;
};

class TThemeFileIcons : public TFileIcons {
public:
    QImage FileIcon(const QString& path, int size) override;
    QImage FolderIcon(const QString& path, int size) override;
    // The theme names tried for a file, best first: its MIME type's icon,
    // then the generic one.
    static QStringList IconNames(const QString& path);
};

class TFakeFileIcons : public TFileIcons {
public:
    QImage FileIcon(const QString& path, int size) override;
    QImage FolderIcon(const QString& path, int size) override;

    std::map<QString, QImage> ByExtension;  // lower-case extension without dot
    QImage Folder;
    QStringList Asked;  // every path asked, files and folders
};

class TFileIconsInstaller : public TInstaller<TFileIcons> {
public:
    using TInstaller::TInstaller;
};

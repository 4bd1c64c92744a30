#include "platform/plFileIcons.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

namespace {
TServiceSlot<TFileIcons> g_fileIcons;

QImage ThemeIcon(const QStringList& names, int size) {
    for (const QString& name : names) {
        if (name.isEmpty() || !QIcon::hasThemeIcon(name)) continue;
        const QImage image = QIcon::fromTheme(name).pixmap(size, size).toImage();
        if (!image.isNull()) return image.size() == QSize(size, size) ? image : image.scaled(size, size);
    }
    return {};
}
}  // namespace

TFileIcons& TFileIcons::Current() {
    static TThemeFileIcons theme;
    return g_fileIcons.Get(theme);
}

TFileIcons* TFileIcons::Install(TFileIcons* icons) noexcept { return g_fileIcons.Install(icons); }

QStringList TThemeFileIcons::IconNames(const QString& path) {
    const QMimeDatabase db;
    const QFileInfo info(path);
    const QMimeType type = info.exists() ? db.mimeTypeForFile(info) : db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return {type.iconName(), type.genericIconName()};
}

QImage TThemeFileIcons::FileIcon(const QString& path, int size) { return ThemeIcon(IconNames(path), size); }

QImage TThemeFileIcons::FolderIcon(const QString& path, int size) {
    const QMimeType type = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory"));
    return ThemeIcon({type.iconName(), QStringLiteral("folder")}, size);
}

QImage TFakeFileIcons::FileIcon(const QString& path, int size) {
    Asked << path;
    const auto it = ByExtension.find(QFileInfo(path).suffix().toLower());
    return it == ByExtension.end() ? QImage() : it->second.scaled(size, size);
}

QImage TFakeFileIcons::FolderIcon(const QString& path, int size) {
    Asked << path;
    return Folder.isNull() ? Folder : Folder.scaled(size, size);
}

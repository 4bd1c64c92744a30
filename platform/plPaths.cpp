#include "platform/plPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

QString UserDataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder.isEmpty() ? folder : QDir::cleanPath(folder);
}

QString ApplicationDataFolder(const QString& company, const QString& product) {
    QString folder = UserDataFolder();
    if (!folder.isEmpty()) {
        for (const QString& level : {company, product})
            if (!level.isEmpty()) folder += QLatin1Char('/') + level;
        if (QDir().mkpath(folder)) return folder + QLatin1Char('/');
    }
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

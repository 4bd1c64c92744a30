#include "platform/plResources.h"

#include <QDir>
#include <QFile>

QString FindResource(const QString& name) {
    if (name.isEmpty()) return {};
    const QStringList found = QDir(QStringLiteral(":/rc")).entryList({name + QStringLiteral(".*")}, QDir::Files,
                                                                     QDir::Name);
    for (const QString& file : found)
        if (file.section(QLatin1Char('.'), 0, -2) == name) return QStringLiteral(":/rc/") + file;
    return {};
}

bool LoadResource(const QString& name, QByteArray& data) {
    const QString path = FindResource(name);
    if (path.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    data = file.readAll();
    return true;
}

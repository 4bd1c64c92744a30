#include "platform/plResources.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

// Every resource's path by its name, made once: the resources are compiled
// into the program, and a listing of ":/rc/" for each lookup took longer than
// reading the file. Of several files of one name, the first by file name.
QHash<QString, QString> IndexResources() {
    QHash<QString, QString> index;
    const QStringList files = QDir(QStringLiteral(":/rc")).entryList(QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (!file.contains(QLatin1Char('.'))) continue;
        const QString name = file.section(QLatin1Char('.'), 0, -2);
        if (!index.contains(name)) index.insert(name, QStringLiteral(":/rc/") + file);
    }
    return index;
}

}  // namespace

QString FindResource(const QString& name) {
    if (name.isEmpty()) return {};
    static const QHash<QString, QString> index = IndexResources();
    return index.value(name);
}

bool LoadResource(const QString& name, QByteArray& data) {
    const QString path = FindResource(name);
    if (path.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    data = file.readAll();
    return true;
}

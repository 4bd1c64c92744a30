#pragma once
// Writes a whole file for a test's set-up; whether it could.

#include <QByteArray>
#include <QFile>
#include <QString>

inline bool WriteTestFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

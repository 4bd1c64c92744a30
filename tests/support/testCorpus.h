#pragma once
// Replays a fuzzing corpus in a test: the files of a folder of tests/data, in
// name order, each read whole and handed to one step under a trace naming it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

// Runs `step` on every file of tests/data/<folder>; gives the number of files.
inline int ReplayCorpus(const char* folder, const std::function<void(const QByteArray& bytes)>& step) {
    const QDir dir(QStringLiteral(QUILLANE_TEST_DATA "/") + QLatin1String(folder));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        step(file.readAll());
    }
    return int(files.size());
}

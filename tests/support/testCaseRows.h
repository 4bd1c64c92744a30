// Rows of a case file under tests/data/: one case a line, fields separated by
// tabs; empty lines and lines starting with "#" are skipped. Fields are UTF-8
// with the escapes \r \n \t \0 \\ and \uXXXX (one UTF-16 code unit). Plain
// lines rather than knot files: the cases of the knot reader and writer must
// not be read by the code they test.
#pragma once

#include <QFile>
#include <QStringList>

#include <vector>
#include <gtest/gtest.h>

inline QString UnescapeCaseField(QStringView field) {
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const QChar code = field[++i];
        if (code == u'u') {
            out += QChar(char16_t(field.sliced(i + 1, 4).toUInt(nullptr, 16)));
            i += 4;
        } else {
            out += code == u'r' ? QChar(u'\r') : code == u'n' ? QChar(u'\n') : code == u't' ? QChar(u'\t')
                 : code == u'0' ? QChar(0) : code;
        }
    }
    return out;
}

// The rows of tests/data/<path>, each with `fields` unescaped fields (missing
// ones at the end are empty).
inline std::vector<QStringList> CaseRows(const char* path, qsizetype fields) {
    QFile file(QStringLiteral(QUILLANE_TEST_DATA "/") + QString::fromUtf8(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    std::vector<QStringList> rows;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        QStringList row;
        for (const QString& field : line.split(u'\t')) row << UnescapeCaseField(field);
        EXPECT_LE(row.size(), fields) << line.toStdString();
        while (row.size() < fields) row << QString();
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << path;
    return rows;
}

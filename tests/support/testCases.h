#pragma once
// Tables of test cases kept as knot files under tests/data: one section knot
// under the root per table, one child knot per case, one parameter per column
// (a case's knot name is its kind, e.g. the path style). A test loops over the
// rows; a failure names the row through CaseRow::Text().

#include "core/cuKnot.h"

#include <QFile>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

// The string-id constants of core/cuStringIds.h by name.
inline const QMap<QString, int>& StringIds() {
    static const QMap<QString, int> ids = [] {
        QMap<QString, int> map;
        QFile header(QStringLiteral(QUILLANE_SOURCE_DIR "/core/cuStringIds.h"));
        if (header.open(QIODevice::ReadOnly)) {
            static const QRegularExpression re(QStringLiteral("constexpr\\s+int\\s+(\\w+)\\s*=\\s*(\\d+)\\s*;"));
            for (const auto& m : re.globalMatch(QString::fromUtf8(header.readAll())))
                map.insert(m.captured(1), m.captured(2).toInt());
        }
        return map;
    }();
    return ids;
}

// The value of a string-id constant by its name; -1 for "none" (nothing
// raised), and a failure for an unknown name.
inline int StringIdByName(const QString& name) {
    if (name == QLatin1String("none")) return -1;
    EXPECT_TRUE(StringIds().contains(name)) << "no string id " << name.toStdString();
    return StringIds().value(name, -2);
}

struct CaseRow {
    QString kind;
    QMap<QString, QString> values;

    QString operator[](const char* column) const { return values.value(QLatin1String(column)); }
    int Int(const char* column) const { return values.value(QLatin1String(column)).toInt(); }
    int Id(const char* column) const { return StringIdByName((*this)[column]); }
    bool Has(const char* column) const { return values.contains(QLatin1String(column)); }
    std::string Text() const {
        QString text = kind;
        for (auto it = values.begin(); it != values.end(); ++it)
            text += QStringLiteral(" %1=\"%2\"").arg(it.key(), it.value());
        return text.toStdString();
    }
};

// "[a][b c][]" as {"a", "b c", ""}: a column holding a list.
inline QStringList BracketedList(const QString& text) {
    static const QRegularExpression item(QStringLiteral("\\[([^\\]]*)\\]"));
    QStringList list;
    for (const auto& m : item.globalMatch(text)) list << m.captured(1);
    return list;
}

// The rows of table `section` in tests/data/<file>; a failure when there are none.
inline QList<CaseRow> LoadCases(const char* file, const char* section) {
    QList<CaseRow> rows;
    const TNodePtr<TKnot> root = TKnot::Create();
    const bool loaded = root->LoadFromFile(QStringLiteral(QUILLANE_TEST_DATA "/") + QLatin1String(file));
    EXPECT_TRUE(loaded) << file;
    TKnot* table = loaded ? root->FindChild(QString::fromLatin1(section)) : nullptr;
    for (TKnot* knot = table ? table->GetFirstChild() : nullptr; knot; knot = knot->GetNextSibling()) {
        CaseRow row{knot->Name(), {}};
        for (TKnotParam* p = knot->Params(); p; p = p->Next()) row.values.insert(p->Name(), p->GetValue());
        rows << row;
    }
    EXPECT_FALSE(rows.isEmpty()) << file << ": " << section;
    return rows;
}

// Checks every shipped string table and the id constants against the English one.

#include "core/cuLocalization.h"
#include "support/testCases.h"

#include <QDir>
#include <QDirIterator>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int EnglishOnlyFirst = 10000;
const QList<uint16_t> LanguageTables{1031, 1033, 1034, 1036, 1040, 1041, 1043, 1045, 1046, 1049, 2052};

QList<TStringEntry> ReadTable(uint16_t language, bool* ok = nullptr) {
    QFile file(QStringLiteral(":/strings/%1.txt").arg(language));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadStringEntries(file.readAll(), ok);
}

TStringTable TableOf(uint16_t language) {
    TStringTable table;
    for (const TStringEntry& e : ReadTable(language)) table.insert(e.id, e.text);
    return table;
}

QStringList Placeholders(const QString& text) {
    static const QRegularExpression re(QStringLiteral("%\\d+"));
    QStringList list;
    for (const auto& m : re.globalMatch(text)) list << m.captured();
    std::sort(list.begin(), list.end());
    return list;
}

// The number of "[" ... "]" pairs, or -1 when they nest or do not pair up.
int BracketPairs(QString text) {
    static const QRegularExpression pair(QStringLiteral("\\[[^\\[\\]]*\\]"));
    const int pairs = int(text.count(pair));
    text.remove(pair);
    return text.contains(u'[') || text.contains(u']') ? -1 : pairs;
}

}  // namespace

TEST(StringTables, EveryTableReadsCleanlyWithUniqueIdsInRangeAndItsNames) {
    QSet<QString> neutralNames;
    for (uint16_t language : QList<uint16_t>{0} + LanguageTables) {
        SCOPED_TRACE(language);
        bool ok = false;
        const QList<TStringEntry> entries = ReadTable(language, &ok);
        EXPECT_TRUE(ok);
        ASSERT_FALSE(entries.isEmpty());
        QSet<int> seen;
        for (const TStringEntry& e : entries) {
            EXPECT_FALSE(seen.contains(e.id)) << "duplicate id " << e.id;
            seen.insert(e.id);
            EXPECT_FALSE(e.text.isEmpty()) << e.id;
            if (language == 0)
                EXPECT_TRUE(e.id >= 2000 && e.id <= 2010) << e.id;
            else if (language == 1033)
                EXPECT_TRUE((e.id >= 2011 && e.id <= 9999) || e.id >= EnglishOnlyFirst) << e.id;
            else
                EXPECT_TRUE(e.id >= 2011 && e.id <= 9999) << e.id;
            // line breaks are CR LF, never a lone LF or CR
            EXPECT_EQ(e.text.count(u'\n'), e.text.count(QStringLiteral("\r\n"))) << e.id;
            EXPECT_EQ(e.text.count(u'\r'), e.text.count(QStringLiteral("\r\n"))) << e.id;
            if (language == 0) neutralNames.insert(e.text);
        }
        if (language == 0) {
            EXPECT_EQ(neutralNames.size(), 11) << "the neutral table names eleven distinct languages";
            continue;
        }
        const TStringTable table = TableOf(language);
        EXPECT_TRUE(neutralNames.contains(table.value(2011))) << "2011 is the language's own name";
        EXPECT_EQ(table.value(4000), QStringLiteral("Quillane"));
    }
}

TEST(StringTables, TranslationsKeepPlaceholdersAndLinkBrackets) {
    const TStringTable english = TableOf(1033);
    for (const QString& text : english) EXPECT_GE(BracketPairs(text), 0) << text.toStdString();
    for (uint16_t language : LanguageTables) {
        if (language == 1033) continue;
        for (const TStringEntry& e : ReadTable(language)) {
            if (e.id == 2011) continue;  // the language's own name is not a translation
            SCOPED_TRACE(QStringLiteral("%1/%2").arg(language).arg(e.id).toStdString());
            ASSERT_TRUE(english.contains(e.id)) << "translated text without an English one";
            EXPECT_EQ(Placeholders(e.text), Placeholders(english.value(e.id)));
            EXPECT_EQ(BracketPairs(e.text), BracketPairs(english.value(e.id)));
        }
    }
}

TEST(StringTables, EveryIdConstantAndEveryIdWrittenAsANumberInTheCodeHasAText) {
    for (auto it = StringIds().begin(); it != StringIds().end(); ++it) {
        EXPECT_TRUE(it.key().startsWith(QStringLiteral("str"))) << it.key().toStdString();
        EXPECT_FALSE(LoadStrLang(it.value(), 1033).isEmpty()) << it.key().toStdString();
    }
    EXPECT_GT(StringIds().size(), 500);
    // Code should name ids through cuStringIds.h; a number that slips through
    // must at least exist.
    static const QRegularExpression call(QStringLiteral("\\b(?:LoadStr|LoadStrFmt|LoadStrLang|FromId)\\(\\s*(\\d+)"));
    int files = 0;
    for (const char* folder : {"platform", "core", "scheme", "text", "elements", "pascal", "ui", "app"}) {
        QDirIterator it(QStringLiteral(QUILLANE_SOURCE_DIR "/") + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ++files;
            const QString source = QString::fromUtf8(file.readAll());
            for (const auto& m : call.globalMatch(source)) {
                const int id = m.captured(1).toInt();
                EXPECT_TRUE(!LoadStrLang(id, 1033).isEmpty() || !LoadStrLang(id, 0).isEmpty())
                    << it.fileName().toStdString() << ": id " << id;
            }
        }
    }
    EXPECT_GT(files, 10);
}

// Checks every shipped string table and the id constants against the English one.

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "support/testCases.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QGlyphRun>
#include <QSet>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int FirstLanguageId = 2011;
constexpr uint16_t EnglishTable = 1033;
const QList<uint16_t> LanguageTables{1031, 1033, 1034, 1036, 1040, 1041, 1043, 1045, 1046, 1049, 2052};
const QList<uint16_t> TranslatedTables{1031, 1034, 1036, 1040, 1041, 1043, 1045, 1046, 1049, 2052};
constexpr char16_t NoBreakSpace = u'\u00A0';
constexpr uint16_t FrenchTable = 1036;

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

// "%s" and "%d" in the order they stand: the arguments of printf-style texts.
QStringList PrintfArguments(const QString& text) {
    static const QRegularExpression re(QStringLiteral("%[sd]"));
    QStringList list;
    for (const auto& m : re.globalMatch(text)) list << m.captured();
    return list;
}

// Whether the text has an "&" accelerator ("&&" is a plain ampersand).
bool HasAccelerator(QString text) {
    text.remove(QStringLiteral("&&"));
    return text.contains(u'&');
}

// The placeholders "%n" that the text binds to a word with a no-break space.
QSet<QString> BoundPlaceholders(const QString& text) {
    static const QRegularExpression re(QStringLiteral("\u00A0%\\d+|%\\d+\u00A0"));
    QSet<QString> bound;
    for (const auto& m : re.globalMatch(text)) bound.insert(m.captured().remove(NoBreakSpace));
    return bound;
}

// Whether an ordinary space stands right before or after the placeholder.
bool PlaceholderHasPlainSpace(const QString& text, const QString& placeholder) {
    const QRegularExpression re(QStringLiteral(" %1(?!\\d)|%1(?!\\d) ").arg(QRegularExpression::escape(placeholder)));
    return text.contains(re);
}

// Ids a language may leave as in English: Pascal keywords, type and format
// names, the product name (tests/data/core/stringKeep.txt: "All" and "L<id>").
QSet<int> KeptIds(uint16_t language) {
    QSet<int> ids;
    for (const QByteArray& section : {QByteArray("All"), "L" + QByteArray::number(language)}) {
        const TNodePtr<TKnot> root = TKnot::Create();
        if (!root->LoadFromFile(QStringLiteral(QUILLANE_TEST_DATA "/core/stringKeep.txt"))) continue;
        if (TKnot* table = root->FindChild(QString::fromLatin1(section)))
            for (TKnot* knot = table->GetFirstChild(); knot; knot = knot->GetNextSibling())
                if (TKnotParam* id = knot->FindParam(u"Id")) ids.insert(id->GetValue().toInt());
    }
    return ids;
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
                EXPECT_TRUE(e.id >= 2000 && e.id < FirstLanguageId) << e.id;
            else
                EXPECT_GE(e.id, FirstLanguageId) << e.id;
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
        if (language == EnglishTable) continue;
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

// Each translated table, one test per language, so that an unfinished
// translation shows by its language.
class TranslatedTable : public ::testing::TestWithParam<uint16_t> {
protected:
    const TStringTable english = TableOf(EnglishTable);
    const TStringTable table = TableOf(GetParam());
    const QSet<int> kept = KeptIds(GetParam());
};

TEST_P(TranslatedTable, HoldsEveryEnglishTextTranslatedWithTheSameMarks) {
    EXPECT_FALSE(kept.isEmpty()) << "the keep list was not read";
    for (auto it = english.begin(); it != english.end(); ++it) {
        const int id = it.key();
        if (id == 2011) continue;
        const QString& source = it.value();
        const QString text = table.value(id);
        SCOPED_TRACE(QStringLiteral("table %1, id %2").arg(GetParam()).arg(id).toStdString());
        ASSERT_FALSE(text.isEmpty()) << "missing or empty";
        EXPECT_EQ(Placeholders(text), Placeholders(source));
        EXPECT_EQ(PrintfArguments(text), PrintfArguments(source));
        EXPECT_EQ(BracketPairs(text), BracketPairs(source));
        EXPECT_EQ(text.count(QStringLiteral("\r\n")), source.count(QStringLiteral("\r\n"))) << "line breaks";
        EXPECT_EQ(HasAccelerator(text), HasAccelerator(source)) << "accelerator";
        if (!kept.contains(id)) {
            EXPECT_NE(text, source) << "left in English";
        }
    }
}

TEST_P(TranslatedTable, BindsPlaceholdersWithNoBreakSpacesAsEnglishDoes) {
    for (auto it = english.begin(); it != english.end(); ++it) {
        const QString text = table.value(it.key());
        for (const QString& placeholder : BoundPlaceholders(it.value()))
            EXPECT_TRUE(BoundPlaceholders(text).contains(placeholder) || !PlaceholderHasPlainSpace(text, placeholder))
                << "table " << GetParam() << ", id " << it.key() << ": " << placeholder.toStdString();
    }
    if (GetParam() != FrenchTable) return;
    // French sets a no-break space before the high punctuation and inside quotes.
    static const QRegularExpression spaced(QStringLiteral("[\\p{L}\\d\\)»][:;!?](\\s|$)| [:;!?»]|« "));
    for (auto it = table.begin(); it != table.end(); ++it)
        EXPECT_FALSE(it.value().contains(spaced)) << "table " << GetParam() << ", id " << it.key();
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedTable, ::testing::ValuesIn(TranslatedTables),
                         [](const ::testing::TestParamInfo<uint16_t>& info) { return "L" + std::to_string(info.param); });

// Whether Qt's layout draws the character from the font or one of the
// fallbacks it picks per script; glyph index 0 is the missing-glyph box.
bool HasGlyph(char32_t character, const QFont& font) {
    QTextLayout layout(QString::fromUcs4(&character, 1), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return !runs.isEmpty() && std::ranges::all_of(runs, [](const QGlyphRun& run) {
        return std::ranges::none_of(run.glyphIndexes(), [](quint32 index) { return index == 0; });
    });
}

TEST(StringTables, EveryCharacterOfEveryTableHasAGlyphInTheProgramsFonts) {
    const QFont font = QApplication::font();
    for (uint16_t language : QList<uint16_t>{0} + LanguageTables) {
        QSet<char32_t> characters;
        for (const TStringEntry& e : ReadTable(language))
            for (char32_t c : e.text.toUcs4())
                if (c > u' ') characters.insert(c);
        EXPECT_GT(characters.size(), 5) << language;
        for (char32_t c : characters)
            EXPECT_TRUE(HasGlyph(c, font)) << "table " << language << ": no glyph for U+" << std::hex << uint32_t(c);
    }
}

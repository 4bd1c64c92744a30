#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testBroadcasts.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t English = 1033;
constexpr uint16_t German = 1031;

// Restores the language of the one TLocalization after each test.
class LocalizationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Localization(), nullptr);
        m_language = Localization()->Language();
        m_fallback = Localization()->FallbackLanguage();
    }
    void TearDown() override {
        Localization()->SetLanguage(m_language);
        Localization()->SetFallbackLanguage(m_fallback);
    }
    static void Use(uint16_t language, uint16_t fallback) {
        Localization()->SetLanguage(language);
        Localization()->SetFallbackLanguage(fallback);
    }

private:
    uint16_t m_language = 0;
    uint16_t m_fallback = 0;
};

}  // namespace

TEST_F(LocalizationTest, ExactLanguageThenTheFallbackLanguageAndNamesOnlyInTheNeutralTable) {
    for (const CaseRow& c : LoadCases("core/localization.txt", "LoadStr")) {
        bool number = false;
        int id = c["Id"].toInt(&number);
        if (!number) id = c.Id("Id");
        if (c.kind == "Current") Use(uint16_t(c.Int("Language")), uint16_t(c.Int("Fallback")));
        const QString text = c.kind == "Current" ? LoadStr(id) : LoadStrLang(id, uint16_t(c.Int("Language")));
        EXPECT_EQ(text, c["Expected"]) << c.Text();
    }
    Use(English, 0);
    EXPECT_EQ(LoadStrFmt(strFileNotFound, {QStringLiteral("/tmp/a.prm")}), QStringLiteral("File not found: /tmp/a.prm"));
    const Exception e = Exception::FromId(strPathNotFound, {QStringLiteral("/x")});
    EXPECT_EQ(e.Text(), QStringLiteral("Path not found: /x"));
    const QList<uint16_t> embedded{0, 1031, 1033, 1034, 1036, 1040, 1041, 1043, 1045, 1046, 1049, 2052};
    EXPECT_EQ(Localization()->Languages(), embedded);
}

TEST(Localization, EmptyEntryCountsAsAbsentAndSettersBroadcastOnlyWhenTheValueChanges) {
    std::map<uint16_t, TStringTable> tables;
    tables[English].insert(5, QStringLiteral("Five"));
    tables[German].insert(5, QString());
    TLocalization loc(std::move(tables));
    TBroadcastRecorder counter(&loc);
    loc.SetLanguage(German);
    loc.SetLanguage(German);
    EXPECT_EQ(counter.Count(1), 1);
    loc.SetFallbackLanguage(English);
    loc.SetFallbackLanguage(English);
    EXPECT_EQ(counter.Count(1), 2);
    EXPECT_EQ(loc.LoadStrLang(5, German), QString());
    EXPECT_EQ(loc.LoadStr(5), QStringLiteral("Five"));
    loc.SetLanguage(0);
    EXPECT_EQ(counter.Count(1), 3);
    EXPECT_EQ(counter.firstArgs, std::vector<intptr_t>(3, 0));
    EXPECT_EQ(loc.Language(), 0);
    EXPECT_EQ(loc.FallbackLanguage(), English);
}

TEST(Localization, HasTableAnswersFromTheListOfTablesWhateverTheyHold) {
    std::map<uint16_t, TStringTable> tables;
    tables[English].insert(5, QStringLiteral("Five"));
    tables[German];  // listed, though empty
    const TLocalization loc(std::move(tables));
    EXPECT_TRUE(loc.HasTable(English));
    EXPECT_TRUE(loc.HasTable(German));
    EXPECT_FALSE(loc.HasTable(1049));
    EXPECT_TRUE(Localization()->HasTable(1049));  // the embedded list, before any Russian text is asked for
}

TEST(FormatPlaceholders, Rules) {
    for (const CaseRow& c : LoadCases("core/localization.txt", "FormatPlaceholders"))
        EXPECT_EQ(FormatPlaceholders(c["Text"], BracketedList(c["Args"])), c["Expected"]) << c.Text();
}

// The knot reader decodes the entities; the table reader adds the root's
// name, the entries' names and their numeric ids.
TEST(StringTableReader, BrokenFileIsReadAsFarAsItGoes) {
    bool ok = false;
    const TStringTable good = ReadStringTable("\xEF\xBB\xBF<Strings Language=\"1033\">\r\n"
                                              "\t<S Id=\"2\" Text=\"one&#13;&#10;two\xC2\xA0&amp;\"/>\r\n"
                                              "</Strings>\r\n",
                                              &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(good.value(2), QStringLiteral("one\r\ntwo\u00A0&"));
    bool wrongRoot = true;
    ReadStringTable("<Other><S Id=\"1\" Text=\"x\"/></Other>", &wrongRoot);
    EXPECT_FALSE(wrongRoot);
    const TStringTable table = ReadStringTable("<Strings>\n<S Id=\"7\" Text=\"seven\"/>\n<S Id=\"x\" Text=\"bad\"/>\n"
                                               "<S Id=\"8\" Text=\"unterminated/>",
                                               &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(table.value(7), QStringLiteral("seven"));
    EXPECT_FALSE(table.contains(0)) << "an entry without a numeric id is skipped";
    ok = true;
    EXPECT_TRUE(ReadStringTable("", &ok).isEmpty());
    EXPECT_FALSE(ok);
}

TEST(OpenResourceStream, OpensEmbeddedResourcesReadOnly) {
    const std::unique_ptr<QIODevice> stream = OpenResourceStream(QStringLiteral("1033.txt"), QStringLiteral("strings"));
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->isReadable());
    EXPECT_FALSE(stream->isWritable());
    EXPECT_TRUE(stream->read(3) == QByteArray("\xEF\xBB\xBF"));
    EXPECT_EQ(OpenResourceStream(QStringLiteral("nothing.txt"), QStringLiteral("strings")), nullptr);
}

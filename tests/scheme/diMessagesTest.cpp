#include "scheme/diMessages.h"


#include <gtest/gtest.h>

namespace {

const QChar kNbsp(0x00A0);

TEST(ElementMessages, LinkTemplateIsSplitAtTheFirstBrackets) {
    const QString mustBe = QStringLiteral("The value must") + kNbsp + QStringLiteral("be ");
    struct Case {
        QString templ;
        QList<TElementMessageSegment> expected;
        bool path = false;  // a link to a file instead of elements
    } cases[] = {
        {mustBe + QStringLiteral("[set]"), {{skText, mustBe, {}}, {skElements, QStringLiteral("set"), "42"}}},
        {QStringLiteral("no brackets"), {{skElements, QStringLiteral("no brackets"), "42"}}},
        {QStringLiteral("[Bad] value"), {{skElements, QStringLiteral("Bad"), "42"}, {skText, " value", {}}}},
        {QStringLiteral("a [b] c [d]"), {{skText, "a ", {}}, {skElements, "b", "42"}, {skText, " c [d]", {}}}},
        {QStringLiteral("Cannot write [file]."), {{skText, "Cannot write ", {}}, {skFileName, "file", "42"}, {skText, ".", {}}},
         true},
    };
    for (const Case& c : cases) {
        TElementMessages list;
        TElementMessage* m = c.path ? list.AddPathLinkMessage(mkValueRequired, c.templ, QStringLiteral("42"))
                                    : list.AddElementLinkMessage(mkValueRequired, c.templ, QStringLiteral("42"));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Kind(), mkValueRequired);
        ASSERT_EQ(m->SegmentCount(), c.expected.size()) << c.templ.toStdString();
        for (int i = 0; i < m->SegmentCount(); ++i) {
            EXPECT_EQ(m->Segment(i).Kind, c.expected[i].Kind) << c.templ.toStdString() << " segment " << i;
            EXPECT_EQ(m->Segment(i).Text, c.expected[i].Text) << c.templ.toStdString() << " segment " << i;
            EXPECT_EQ(m->Segment(i).Value, c.expected[i].Value) << c.templ.toStdString() << " segment " << i;
        }
        QString joined;
        for (const auto& e : c.expected) joined += e.Text;
        EXPECT_EQ(m->GetText(), joined);
    }
}

TEST(ElementMessages, Sanitizer) {
    const QString smile = QString::fromUcs4(U"\U0001F600");  // two UTF-16 units
    struct Case {
        const char* name;
        QString input;
        QString expected;
    } cases[] = {
        {"short text unchanged", "plain", "plain"},
        {"200 characters kept", QString(200, 'a'), QString(200, 'a')},
        {"long text cut", QString(250, 'a'), QString(197, 'a') + "..."},
        {"line break", "a\nb\r", QStringLiteral("a\uFFFDb\uFFFD")},
        {"brackets", "[x]", QStringLiteral("\uFFFDx\uFFFD")},
        {"pair across the cut", QString(196, 'a') + smile + QString(60, 'b'), QString(196, 'a') + "..."},
        {"pair before the cut", QString(195, 'a') + smile + QString(60, 'b'), QString(195, 'a') + smile + "..."},
    };
    for (const Case& c : cases) {
        const QString out = SanitizeMessageText(c.input);
        EXPECT_EQ(out, c.expected) << c.name;
        for (qsizetype i = 0; i < out.size(); ++i)
            if (out.at(i).isHighSurrogate()) {
                EXPECT_TRUE(i + 1 < out.size() && out.at(i + 1).isLowSurrogate()) << c.name;
            }
    }
    EXPECT_EQ(SanitizeMessageText(QString(250, 'a')).size(), 200);
    EXPECT_EQ(RemoveLinkBrackets(QStringLiteral("The [set] value]")), QStringLiteral("The set value"));
}

TEST(ElementMessages, UpdateBracketClearsOnceAtTheOutermostOpening) {
    TElementMessages list;
    int cleared = 0;
    list.OnCleared = [&](TElementMessages*) { ++cleared; };
    list.Clear();
    EXPECT_EQ(cleared, 0) << "nothing is raised without a list";
    list.AddTextMessage(mkHint, "one");
    list.BeginUpdate();
    EXPECT_EQ(list.GetCount(), 0);
    list.AddTextMessage(mkHint, "two");
    list.BeginUpdate();
    EXPECT_EQ(list.GetCount(), 1);
    list.EndUpdate();
    list.EndUpdate();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(ElementMessages, RefusedMessageIsFreedAndNotCounted) {
    TElementMessages list;
    int added = 0;
    list.OnBeforeAdd = [](TElementMessages*, TElementMessage* m, bool& accept) { accept = m->Kind() != mkHint; };
    list.OnAdded = [&](TElementMessages*, TElementMessage*) { ++added; };
    EXPECT_EQ(list.AddTextMessage(mkHint, "refused"), nullptr);
    EXPECT_NE(list.AddTextMessage(mkError, "kept"), nullptr);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(added, 1);
}

TEST(ElementMessages, Severity) {
    struct Case {
        std::vector<uint8_t> kinds;
        int severity;
    } cases[] = {{{}, 0}, {{0}, 0}, {{1}, 1}, {{1, 5}, 2}, {{4}, 2}, {{2, 1}, 2}, {{0, 3, 2}, 3}};
    for (const Case& c : cases) {
        TElementMessages list;
        for (uint8_t k : c.kinds) list.AddTextMessage(k, "x");
        EXPECT_EQ(list.GetSeverity(), c.severity) << c.kinds.size();
    }
    TElementMessages list;
    list.AddTextMessage(mkInvalidContent, "x");
    EXPECT_TRUE(list.HasKindIn(1 << mkInvalidContent));
    EXPECT_FALSE(list.HasKindIn((1 << mkError) | (1 << mkWarning)));
}

TEST(ElementMessages, AddFromCopiesEverySegmentAndAnnouncesIt) {
    TElementMessages source;
    source.AddElementLinkMessage(mkWarning, "a [b] c", "7");
    source.AddTextMessage(mkHint, "plain");
    TElementMessages target;
    QStringList announced;
    target.OnSegmentAdded = [&](TElementMessages*, TElementMessage*, uint8_t kind, const QString& text,
                                const QString& value) { announced << QString::number(kind) + text + value; };
    target.AddFrom(source);
    ASSERT_EQ(target.GetCount(), 2);
    EXPECT_EQ(target.GetItem(0)->Kind(), mkWarning);
    EXPECT_EQ(target.GetItem(0)->GetText(), QStringLiteral("a b c"));
    EXPECT_EQ(announced, QStringList({"0a ", "1b7", "0 c", "0plain"}));
    // Copying a list into itself copies what was there.
    target.AddFrom(target);
    EXPECT_EQ(target.GetCount(), 4);
}

}  // namespace

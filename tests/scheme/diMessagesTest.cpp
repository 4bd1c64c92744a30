#include "scheme/diMessages.h"

#include "support/testCaseRows.h"
#include "support/testElements.h"

#include <gtest/gtest.h>

namespace {

TEST(ElementMessages, LinkTemplateIsSplitAtTheFirstBrackets) {
    for (const QStringList& row : CaseRows("scheme/model-link-templates.txt", 3)) {
        SCOPED_TRACE(row[0].toStdString());
        const bool file = row[1] == QLatin1String("file");
        TElementMessages list;
        TElementMessage* m = file ? list.AddPathLinkMessage(mkValueRequired, row[0], QStringLiteral("42"))
                                  : list.AddElementLinkMessage(mkValueRequired, row[0], QStringLiteral("42"));
        const QStringList segments = row[2].split(QLatin1Char('|'));
        ASSERT_EQ(m->SegmentCount(), segments.size());
        for (int i = 0; i < m->SegmentCount(); ++i) {
            const bool link = segments[i].startsWith(QLatin1Char('*'));
            EXPECT_EQ(m->Segment(i).Kind, !link ? skText : file ? skFileName : skElements) << i;
            EXPECT_EQ(m->Segment(i).Text, link ? segments[i].mid(1) : segments[i]) << i;
            EXPECT_EQ(m->Segment(i).Value, link ? QStringLiteral("42") : QString()) << i;
        }
        EXPECT_EQ(m->GetText(), QString(row[2]).remove(QLatin1Char('|')).remove(QLatin1Char('*')));
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
    for (const Case& c : cases)
        EXPECT_EQ(SanitizeMessageText(c.input), c.expected) << c.name;
    EXPECT_EQ(RemoveLinkBrackets(QStringLiteral("The [set] value]")), QStringLiteral("The set value"));
}

TEST(ElementMessages, UpdateBracketClearsOnceAtTheOutermostOpeningAndRefusedMessagesGo) {
    TElementMessages list;
    int cleared = 0;
    list.OnCleared = [&](TElementMessages*) { ++cleared; };
    list.Clear();
    EXPECT_EQ(cleared, 0) << "nothing is raised without a list";
    list.AddTextMessage(mkHint, "one");
    list.BeginUpdate();
    list.AddTextMessage(mkHint, "two");
    list.BeginUpdate();
    list.EndUpdate();
    list.EndUpdate();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(list.GetCount(), 1);

    // A refused message is freed and not counted.
    list.Clear();
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
    EXPECT_EQ(target.GetItem(0)->Kind(), mkWarning);
    EXPECT_EQ(announced, QStringList({"0a ", "1b7", "0 c", "0plain"}));
    // Copying a list into itself copies what was there.
    target.AddFrom(target);
    EXPECT_EQ(target.GetCount(), 4);
}

TEST(ElementMessages, SegmentHandlerRewritesTheStoredValue) {
    TElementMessages list;
    list.OnSegmentAdded = [](TElementMessages*, TElementMessage*, uint8_t kind, const QString&, QString& value) {
        if (kind == skElements) value = QStringLiteral("3,4");
    };
    TElementMessage* message = list.AddElementLinkMessage(mkError, "see [there]", "9");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->Segment(1).Value, QStringLiteral("3,4"));
    EXPECT_EQ(message->Segment(0).Value, QString()) << "plain segments untouched";
}

}  // namespace

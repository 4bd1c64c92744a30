// The generator worker over a test file: visiting once, the values put into
// texts (substitutions, paths, dates, replacements), links of copies pointed
// back at their sources, the message list's hook, and the file services
// confined to the output folder.

#include "elements/coGeneratorWorker.h"

#include "core/cuLocalization.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "core/cuUndoRedo.h"
#include "elements/coFunctionElements.h"
#include "elements/coGeneration.h"
#include "scheme/diUtils.h"
#include "support/testEnglish.h"
#include "support/testRaise.h"
#include "support/testRoots.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

class TTestWorker : public TSchemeGeneratorWorker {
public:
    static std::unique_ptr<TSchemeGeneratorWorker> Make() { return std::make_unique<TTestWorker>(); }
};

class GeneratorWorker : public ::testing::Test {
protected:
    GeneratorWorker() {
        worker.Root = scheme->Root();
        worker.SetMessages(&messages);
        worker.ProcessingDateTime = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    }

    template <class T>
    static T* Embed(TTextorElement* text) {
        return dynamic_cast<T*>(text->AddElementOfClass(T::StaticClass(), false));
    }
    static void Append(TTextorElement* text, const QString& chars) {
        text->Textor()->InsertText(text->Textor()->GetEndPosition(), chars);
    }
    QStringList Texts() const {
        QStringList texts;
        for (int i = 0; i < messages.GetCount(); ++i) texts << messages.GetItem(i)->GetText();
        return texts;
    }

    TEnglishTexts english;
    TTestFiles files;
    TScheme* scheme = files.Add(QStringLiteral("/work/gen.prm"));
    TElementMessages messages;  // outlives the worker, which unhooks it
    TTestWorker worker;
};

TEST_F(GeneratorWorker, TextsGetTheValuesOfSubstitutionsPathsAndDatesAndEachElementIsVisitedOnce) {
    AddText(scheme, QStringLiteral("Greeting"), QStringLiteral("Hello"));
    TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("Say "));
    TTextorElement* value = user->ValueField();
    AddSubstitution(user, QStringLiteral("Greeting"));
    Append(value, QStringLiteral(" in "));
    AddSubstitution(user, QStringLiteral("SourceName"));
    Append(value, QStringLiteral(" at "));
    Embed<TElement_Path>(value)->SetValue(QStringLiteral("/nowhere/out"));
    Append(value, QStringLiteral(" on "));
    Embed<TElement_ProcessingDateTime>(value)->SetText(QStringLiteral("yyyy-mm-dd hh:nn"));
    TElement_Substitution* missing = AddSubstitution(user, QStringLiteral("Nowhere"));
    const int ownMessages = missing->Messages()->GetCount();
    ASSERT_GT(ownMessages, 0);

    EXPECT_FALSE(worker.Visit(missing));
    EXPECT_FALSE(worker.Visit(missing)) << "a second visit answers the same";
    EXPECT_EQ(messages.GetCount(), ownMessages) << "and contributes nothing";
    int substitutions = 0;
    worker.ForEachElement(TElement_Substitution::StaticClass(), [&](TElement*) { ++substitutions; });
    EXPECT_EQ(substitutions, 3);
    worker.Generate();

    EXPECT_EQ(value->GetText(), QStringLiteral("Say Hello in gen at /nowhere/out/ on 2024-05-06 07:08Nowhere"));
    EXPECT_EQ(value->Textor()->ElementPortionCount(), 0);
    EXPECT_TRUE(Texts().contains(QStringLiteral("Path does not exist: /nowhere/out/"))) << Texts().join('|').toStdString();
}

// A walk before the run notes whether any value stands in a text, and the
// run's visits skip the search for values when it found none: a value of
// any kind, alone in the scheme, must still be found and resolved.
TEST_F(GeneratorWorker, AWalkBeforeTheRunStillFindsAValueOfEachKindStandingAlone) {
    AddText(scheme, QStringLiteral("Greeting"), QStringLiteral("Hello"));
    const std::function<void(TTextorElement*)> kinds[] = {
        [](TTextorElement* text) { Embed<TElement_Path>(text)->SetValue(QStringLiteral("/nowhere/out")); },
        [](TTextorElement* text) { Embed<TElement_ProcessingDateTime>(text)->SetText(QStringLiteral("yyyy")); },
        [](TTextorElement* text) { Embed<TElement_Substitution>(text); },
    };
    for (const auto& embed : kinds) {
        TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("<"));
        embed(user->ValueField());
        ASSERT_EQ(user->ValueField()->Textor()->ElementPortionCount(), 1);
        TTestWorker run;
        run.Root = scheme->Root();
        run.ForEachElement(TElement_Text::StaticClass(), [](TElement*) {});
        run.Generate();
        EXPECT_EQ(user->ValueField()->Textor()->ElementPortionCount(), 0) << user->ValueField()->GetText().toStdString();
        user->Free();
    }
}

// The walk in any order goes through the scheme's index: it must find what
// the tree walk finds, pass over registered elements outside the root's
// tree, and note a value standing in a text as the tree walk does.
TEST_F(GeneratorWorker, AWalkInAnyOrderFindsWhatTheTreeWalkFindsAndNothingOutsideTheRoot) {
    AddText(scheme, QStringLiteral("Greeting"), QStringLiteral("Hello"));
    TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("<"));
    AddSubstitution(user, QStringLiteral("Greeting"));
    AddSubstitution(AddText(scheme, QStringLiteral("Other")), QStringLiteral("Greeting"));
    TNodePtr<TElement> outside(TElement::CreateIn(TElement_Substitution::StaticClass(), scheme, nullptr, nullptr));
    const auto found = [](auto walk) {
        std::vector<TElement*> elements;
        walk([&](TElement* element) { elements.push_back(element); });
        std::sort(elements.begin(), elements.end());
        return elements;
    };
    TTestWorker run;
    run.Root = scheme->Root();
    const auto inTree = found([&](const auto& f) { run.ForEachElement(TElement_Substitution::StaticClass(), f); });
    const auto anyOrder =
        found([&](const auto& f) { run.ForEachElementInAnyOrder(TElement_Substitution::StaticClass(), f); });
    ASSERT_EQ(inTree.size(), 2u);
    EXPECT_EQ(anyOrder, inTree);
    run.Generate();
    EXPECT_EQ(user->ValueField()->GetText(), QStringLiteral("<Hello"));
}

TEST_F(GeneratorWorker, ASubstitutionWithoutATargetBecomesItsOwnText) {
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    TElement_Substitution* disabled = AddSubstitution(user, QStringLiteral("Nowhere"));
    disabled->SetDisabled(true);
    ASSERT_TRUE(disabled->HasNoErrors()) << "a disabled element is not checked";
    worker.Generate();
    EXPECT_EQ(user->ValueField()->GetText(), QStringLiteral("Nowhere"));
}

TEST_F(GeneratorWorker, ReplacementsInAllFirstOrLastPlaceAcrossParagraphsComparingExactlyOrByCharacter) {
    struct TCase {
        const char* content;
        const char* find;
        const char* replace;
        TReplaceMode mode;
        bool caseInsensitive;
        const char* expected;
    };
    const TCase cases[] = {
        {"a-b-a\r\nxa", "a", "X", TReplaceMode::All, false, "X-b-X\r\nxX"},
        {"b-a-a\r\nxa", "a", "X", TReplaceMode::First, false, "b-X-a\r\nxa"},
        {"a-a\r\nxa\r\nbb", "a", "X", TReplaceMode::Last, false, "a-a\r\nxX\r\nbb"},
        {"Aa", "a", "X", TReplaceMode::All, false, "AX"},
        {"aa", "a", "aa", TReplaceMode::All, false, "aaaa"},  // never searched again
        {"abc", "", "X", TReplaceMode::All, false, "abc"},    // an empty find text
        {"Stra\u00dfe e", "E", "X", TReplaceMode::All, true, "Stra\u00dfX X"},
        {"MASSE Ma\u00dfe", "\u00df", "ss", TReplaceMode::All, true, "MASSE Masse"},
        // A collation calls these two equal (the space has no width); exactly they differ.
        {"a\u200bx x\u200b", "x\u200b", "Y", TReplaceMode::All, false, "a\u200bx Y"},
    };
    for (const TCase& row : cases) {
        TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("<"));
        auto* replacement = Embed<TElement_Replacement>(user->ValueField());
        ASSERT_NE(replacement, nullptr);
        replacement->Content()->SetText(QString::fromUtf8(row.content));
        replacement->FindValue()->SetText(QString::fromUtf8(row.find));
        replacement->ReplaceValue()->SetText(QString::fromUtf8(row.replace));
        replacement->SetMode(row.mode);
        replacement->SetCaseInsensitive(row.caseInsensitive);
        Append(user->ValueField(), QStringLiteral(">"));
        TTestWorker run;
        run.Root = scheme->Root();
        run.Generate();
        EXPECT_EQ(user->ValueField()->GetText(), QLatin1Char('<') + QString::fromUtf8(row.expected) + QLatin1Char('>'))
            << row.content << " / " << row.find;
        user->Free();
    }
}

// Emptiness tests stand in texts as inline values while it lives: an element
// the worker leaves in place, copied with its part when its text is.
class TInlineEmptinessTests {
public:
    TInlineEmptinessTests() { AddItemOnce(Group(), TElement_IsEmpty::StaticClass()); }
    ~TInlineEmptinessTests() { Group().removeAll(TElement_IsEmpty::StaticClass()); }

private:
    static TClassesGroups::TGroup& Group() { return ClassesGroups().GetGroup(cgInlineValueElements); }
};

TEST_F(GeneratorWorker, LinksToCopiesInsideTextsPointAtTheElementsTheyWereMadeFrom) {
    TInlineEmptinessTests inline_;
    TElement_Text* greeting = AddText(scheme, QStringLiteral("Greeting"), QStringLiteral("Hi "));
    auto* test = Embed<TElement_IsEmpty>(greeting->ValueField());
    ASSERT_NE(test, nullptr);
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    AddSubstitution(user, QStringLiteral("Greeting"));
    worker.Generate();

    TElement_IsEmpty* copy = nullptr;
    for (TNode* node : PreOrder<TNode>(user->ValueField()))
        if (auto* found = dynamic_cast<TElement_IsEmpty*>(node)) copy = found;
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->Number(), test->Number());
    EXPECT_EQ(worker.SourceNumber(copy->Value()->Number()), test->Value()->Number()) << "parts too";

    const QString links = QString::number(copy->Number()) + QStringLiteral(",7");
    messages.AddElementLinkMessage(mkError, QStringLiteral("see [here]"), links);
    EXPECT_EQ(messages.GetItem(messages.GetCount() - 1)->Segment(1).Value,
              QString::number(test->Number()) + QStringLiteral(",7"));
    copy->GetMessages()->AddElementLinkMessage(mkHint, QStringLiteral("[copy]"), QString::number(copy->Number()));
    worker.Visit(copy);
    EXPECT_EQ(messages.GetItem(messages.GetCount() - 1)->Segment(0).Value, QString::number(test->Number()));
}

// A value of characters only is put in as its text; one holding an element
// that stays (an emptiness test) is copied whole, element and breaks kept.
TEST_F(GeneratorWorker, SubstitutedValuesKeepTheirParagraphBreaksTabsAndEmbeddedElements) {
    TInlineEmptinessTests inline_;
    struct TCase {
        const char* value;
        bool embedTest;  // an emptiness test after the value's characters
        const char* expected;
        int paragraphs;
    };
    const TCase cases[] = {
        {"Hello", false, "<Hello>", 1},
        {"Hi\r\nthere\r\n", false, "<Hi\r\nthere\r\n>", 3},
        {"a\tb", false, "<a\tb>", 1},
        {"", false, "<>", 1},
        {"Hi\r\n", true, "<Hi\r\n", 2},
    };
    for (const TCase& row : cases) {
        TElement_Text* greeting = AddText(scheme, QStringLiteral("Greeting"), QString::fromUtf8(row.value));
        if (row.embedTest) {
            ASSERT_NE(Embed<TElement_IsEmpty>(greeting->ValueField()), nullptr);
        }
        TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("<"));
        AddSubstitution(user, QStringLiteral("Greeting"));
        Append(user->ValueField(), QStringLiteral(">"));
        TTestWorker run;
        run.Root = scheme->Root();
        run.SetMessages(&messages);
        run.Generate();
        const TTextor* text = user->ValueField()->Textor();
        const QString got = user->ValueField()->GetText();
        if (row.embedTest)
            EXPECT_TRUE(got.startsWith(QString::fromUtf8(row.expected))) << got.toStdString();
        else
            EXPECT_EQ(got, QString::fromUtf8(row.expected));
        EXPECT_EQ(text->ParagraphCount(), row.paragraphs) << row.value;
        int tests = 0;
        for (TNode* node : PreOrder<TNode>(user->ValueField())) tests += dynamic_cast<TElement_IsEmpty*>(node) != nullptr;
        EXPECT_EQ(tests, row.embedTest ? 1 : 0) << row.value;
        EXPECT_EQ(text->ElementPortionCount(), tests) << row.value;
        greeting->Free();
        user->Free();
    }
}

// Plain values (paths, dates, built-in values, a substitution's own text)
// go in as characters; line breaks in them split paragraphs as loading does.
TEST_F(GeneratorWorker, PlainValuesReplaceTheElementAsCharactersWithTheirLineBreaks) {
    for (const char* plain : {"x\r\ny", "", "one"}) {
        TElement_Text* user = AddText(scheme, QStringLiteral("User"), QStringLiteral("<"));
        TElement_Path* path = Embed<TElement_Path>(user->ValueField());
        ASSERT_NE(path, nullptr);
        Append(user->ValueField(), QStringLiteral(">"));
        worker.ReplaceInText(path, QString::fromUtf8(plain));
        const TTextor* text = user->ValueField()->Textor();
        EXPECT_EQ(user->ValueField()->GetText(), QLatin1Char('<') + QString::fromUtf8(plain) + QLatin1Char('>'));
        EXPECT_EQ(text->ParagraphCount(), QString::fromUtf8(plain).contains('\n') ? 2 : 1) << plain;
        EXPECT_EQ(text->ElementPortionCount(), 0) << plain;
        user->Free();
    }
}

TEST_F(GeneratorWorker, WithoutAMessageListNothingIsReportedAndNoCopiesArePaired) {
    TInlineEmptinessTests inline_;
    Embed<TElement_IsEmpty>(AddText(scheme, QStringLiteral("Other"))->ValueField());
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    AddSubstitution(user, QStringLiteral("Other"));
    TTestWorker quiet;
    quiet.Root = scheme->Root();
    quiet.Generate();
    quiet.ReportUnexpectedElement(scheme->Root());
    quiet.ReportCannotCreateFile(QStringLiteral("/x"));
    EXPECT_EQ(quiet.CopyCount(), 0);
    EXPECT_EQ(messages.GetCount(), 0);
    EXPECT_EQ(user->ValueField()->Textor()->ElementPortionCount(), 1) << "a copy was made";
}

TEST_F(GeneratorWorker, AGeneratorRefusesASchemeWithAnUndoList) {
    TUndoRedo history;
    scheme->SetUndoRedo(&history);
    EXPECT_EQ(RaisedId([this] { worker.Generate(); }), strGeneratorNeedsPrivateCopy);
    scheme->SetUndoRedo(nullptr);
}

TEST_F(GeneratorWorker, MessagesLinkOneOrSeveralElementsOrNameTheOtherFile) {
    TElement_Text* a = AddText(scheme, QStringLiteral("A"));
    TElement_Text* b = AddText(scheme, QStringLiteral("B"));
    TElement_Text* elsewhere = AddText(files.Add(QStringLiteral("/work/lib/other.prm")), QStringLiteral("C"));
    worker.ReportUnexpectedElement(a);
    worker.AddMessage(mkError, QStringLiteral("two [links]"), {b, a});
    worker.AddMessage(mkHint, QStringLiteral("far [away]"), {elsewhere});
    ASSERT_EQ(messages.GetCount(), 3);
    EXPECT_EQ(messages.GetItem(0)->GetText(), QStringLiteral("Unexpected element of\u00a0type \"Text\""));
    EXPECT_EQ(messages.GetItem(0)->Segment(0).Value, QString::number(a->Number()));
    QStringList both{QString::number(a->Number()), QString::number(b->Number())};
    both.sort();
    EXPECT_EQ(messages.GetItem(1)->Segment(1).Value, both.join(','));
    EXPECT_EQ(messages.GetItem(2)->SegmentCount(), 1);
    EXPECT_EQ(messages.GetItem(2)->GetText(), QStringLiteral("other.prm: far away"));
}

TEST(GeneratorWorkerHook, SubWorkersFreedInAnyOrderLeaveTheListsOwnHandler) {
    for (bool parentFirst : {true, false}) {
        TElementMessages list;
        int announced = 0;
        list.OnSegmentAdded = [&](TElementMessages*, TElementMessage*, uint8_t, const QString&, QString&) {
            ++announced;
        };
        std::unique_ptr<TSchemeGeneratorWorker> parent = std::make_unique<TTestWorker>();
        parent->SetMessages(&list);
        std::unique_ptr<TSchemeGeneratorWorker> sub = parent->CreateSubWorker(&TTestWorker::Make);
        (parentFirst ? parent : sub).reset();
        list.AddTextMessage(mkHint, QStringLiteral("one"));
        (parentFirst ? sub.reset() : parent.reset());
        list.AddTextMessage(mkHint, QStringLiteral("two"));
        EXPECT_EQ(announced, 2) << parentFirst;
    }
}

// Numbers far apart, below the first page and at the ends of the range each
// keep their own bit; neighbours of a number held stay out.
TEST(ElementNumberSet, HoldsEachNumberOnceWhateverPagesTheyFallIn) {
    TElementNumberSet set;
    const int32_t held[] = {70000, 1, 4095, 4096, 69999, 0, 123456789, -1, std::numeric_limits<int32_t>::max()};
    for (int32_t number : held) {
        EXPECT_FALSE(set.Contains(number)) << number;
        EXPECT_TRUE(set.Insert(number)) << number;
        EXPECT_FALSE(set.Insert(number)) << number << " a second time";
    }
    for (int32_t number : held) EXPECT_TRUE(set.Contains(number)) << number;
    for (int32_t number : {2, 4094, 4097, 8192, 70001, 123456788, -2, std::numeric_limits<int32_t>::min()})
        EXPECT_FALSE(set.Contains(number)) << number;
}

// ---------------------------------------------------------------------------
// File services

class GeneratorFiles : public GeneratorWorker {
protected:
    GeneratorFiles() { worker.OutputFolder = temp.filePath("out/a/b"); }
    ~GeneratorFiles() override { GenerationSettings()->MakeReadOnly()->SetValue(false); }
    QString Out(const QString& name) const { return temp.filePath("out/a/b/") + name; }

    QTemporaryDir temp;
};

TEST_F(GeneratorFiles, FoldersAreMadeLevelByLevelAndFilesRegisteredOnce) {
    GenerationSettings()->MakeReadOnly()->SetValue(true);
    EXPECT_TRUE(worker.PrepareOutputFile(Out("x.pas")));
    EXPECT_EQ(worker.CreatedFolders().size(), 3);
    EXPECT_EQ(Texts().size(), 3) << "one message per level made";
    EXPECT_EQ(Texts().at(0), QStringLiteral("Folder created: ") + temp.filePath("out"));
    QFile file(Out("x.pas"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(worker.RegisterOutputFile(Out("x.pas"), TOutputFileMode::Reported), 0);
    EXPECT_FALSE(file.permissions() & QFileDevice::WriteOwner) << "MakeReadOnly";
    EXPECT_EQ(worker.RegisterOutputFile(Out("y.pas"), TOutputFileMode::Quiet), 1);
    EXPECT_EQ(worker.RegisterOutputFile(Out("x.pas"), TOutputFileMode::Reported), 0);
    const TElementMessage* last = messages.GetItem(messages.GetCount() - 1);
    EXPECT_EQ(last->Kind(), mkWarning);
    EXPECT_EQ(last->GetText(), QStringLiteral("File replaced: ") + Out("x.pas"));
    EXPECT_EQ(last->Segment(1).Value, Out("x.pas"));
    EXPECT_EQ(messages.GetCount(), 5) << "a quiet registration reports nothing";
    EXPECT_TRUE(worker.PrepareOutputFile(Out("x.pas"))) << "a read-only file is deleted";
    EXPECT_FALSE(QFile::exists(Out("x.pas")));
}

TEST_F(GeneratorFiles, NamesLeadingOutOfTheOutputFolderAreRefusedAndNothingIsTouched) {
    ASSERT_TRUE(QDir().mkpath(Out("")) && QDir().mkpath(temp.filePath("elsewhere")));
    QFile outside(temp.filePath("outside.pas"));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.close();
    ASSERT_TRUE(QFile::link(temp.filePath("elsewhere"), Out("link")));
    ASSERT_TRUE(QFile::link(temp.filePath("outside.pas"), Out("f.pas")));
    const QString escapes[] = {Out("../../../outside.pas"), temp.filePath("outside.pas"), Out("link/new"),
                               Out("f.pas")};
    for (const QString& name : escapes) {
        const int before = messages.GetCount();
        EXPECT_FALSE(worker.PrepareOutputFile(name)) << name.toStdString();
        EXPECT_FALSE(worker.ForceOutputFolder(name + QStringLiteral("/sub"))) << name.toStdString();
        EXPECT_EQ(worker.RegisterOutputFile(name, TOutputFileMode::Reported), -1);
        ASSERT_EQ(messages.GetCount(), before + 3);
        EXPECT_EQ(messages.GetItem(before)->GetText(), QStringLiteral("Can not create file: ") + name);
    }
    EXPECT_TRUE(QFile::exists(temp.filePath("outside.pas")));
    EXPECT_TRUE(QDir(temp.filePath("elsewhere")).isEmpty());
    EXPECT_TRUE(worker.WrittenFiles().isEmpty());
}

// Only the root itself is present without existing: a folder right under it
// ("/a", shorter than three characters) is made like any other.
TEST(GeneratorOutputFolder, OnlyTheFileSystemRootIsTakenAsPresentWithoutExisting) {
    for (const char* root : {"/", "//", "///"}) EXPECT_TRUE(IsFileSystemRoot(QString::fromLatin1(root))) << root;
    for (const char* folder : {"", "/a", "/a/", "/\u03a9", "a", "ab", "/ab/c"})
        EXPECT_FALSE(IsFileSystemRoot(QString::fromUtf8(folder))) << folder;
}

}  // namespace

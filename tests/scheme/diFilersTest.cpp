#include "scheme/diFilers.h"

#include "core/cuStringIds.h"
#include "support/testBroadcasts.h"
#include "support/testCaseRows.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testRaise.h"
#include "support/testStop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>

// Records when its deferred load step runs relative to its check.
class TElement_Deferring : public TElement {
    T_ELEMENT_CLASS(TElement_Deferring)
public:
    std::vector<QString> Events;
    bool GetIsFilled() override { return true; }
    void CheckContent() override { Events.push_back(QStringLiteral("check")); }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TElement::LoadFrom(loader, knot);
        loader->AddDeferred(this, 42);
        CheckAll();
        Events.push_back(QStringLiteral("load"));
    }
    void AfterLoad(TSchemeLoader*, intptr_t datum) override { Events.push_back(QString::number(datum)); }
};
T_ELEMENT_CLASS_IMPL(TElement_Deferring, TElement)

namespace {

const QString kData = QStringLiteral(QUILLANE_TEST_DATA "/scheme/");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A scheme with every storage form the base knows (the golden sample.prm):
// a leaf, an owner with one filled sub-element, a container with a leaf.
struct TSample {
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TElement_TestLeaf* leaf;
    TElement_TestOwner* owner;
    TElement_TestContainer* inner;
    TElement_TestLeaf* deep;
    TSample() {
        leaf = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), scheme->Root());
        leaf->SetValue("a");
        owner = TElement::CreateIn<TElement_TestOwner>(scheme.get(), scheme->Root());
        owner->First()->SetValue("x");
        inner = TElement::CreateIn<TElement_TestContainer>(scheme.get(), scheme->Root());
        deep = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), inner);
        deep->SetValue("deep");
    }
    QString Text(uint8_t mode = fmFile, uint8_t options = foSchemeFile) {
        return SchemeText(scheme.get(), mode, options);
    }
    // A snapshot of the deep leaf restored into a new leaf, carrying the number
    // `stored`; the counter just before the load is kept in counterBeforeLoad.
    TElement_TestLeaf* RestoreDeep(int32_t stored, uint8_t options = 0) {
        TNodePtr<TKnot> knot = TKnot::Create();
        deep->SaveToKnot(knot.get(), fmSnapshot, 0);
        Found(knot->FindParam(QStringLiteral("ID")), "the stored ID")->SetString(QString::number(stored));
        auto* restored = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), inner);
        counterBeforeLoad = LastElementNumber();
        restored->LoadFromKnot(knot.get(), fmSnapshot, options);
        return restored;
    }
    int32_t counterBeforeLoad = 0;
};

TEST(SchemeFiles, FormatVersionTable) {
    TEnglishTexts english;
    for (const QStringList& row : CaseRows("scheme/model-format-versions.txt", 3)) {
        SCOPED_TRACE(row.join(' ').toStdString());
        const QString text = row[0] == QLatin1String("-") ? QString() : row[0];
        auto scheme = MakeTestScheme();
        TElementMessages messages;
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("TestModule"));
        if (!text.isEmpty()) knot->WriteStr("FormatVersion", text);
        TSchemeLoader loader(scheme.get(), &messages, knot.get(), 0, fmFile);
        EXPECT_EQ(loader.FormatVersion(), row[1].toInt());
        scheme->Root()->LoadFrom(&loader, knot.get());
        loader.Finish();
        EXPECT_EQ(messages.GetCount(), row[2].toInt()) << "loading goes on";
        if (messages.GetCount()) {
            EXPECT_EQ(messages.GetItem(0)->GetText(), LoadStr(strFormatDataProvidedNewer));
        }
    }
}

// A version number too long for 64 bits failed to convert and counted as the
// default major version 1: the newest formats read as the oldest, silently.
TEST(SchemeFiles, RegressionFormatVersionBeyond64BitsIsReportedAsNewer) {
    TEnglishTexts english;
    auto scheme = MakeTestScheme();
    TElementMessages messages;
    scheme->SetMessages(&messages);
    scheme->LoadFromFile(kData + QStringLiteral("newer-beyond-64-bits.prm"));
    scheme->SetMessages(nullptr);
    ASSERT_EQ(messages.GetCount(), 1);
    EXPECT_EQ(messages.GetItem(0)->GetText(), LoadStr(strFormatDataProvidedNewer));
    EXPECT_TRUE(SchemeText(scheme.get(), fmFile, foSchemeFile).contains(QStringLiteral("Value=\"kept\"")));
}

// Stored schemes loaded as opening a file does or as a snapshot: the messages
// of the load, and what it kept.
TEST(SchemeFiles, StoredSchemesLoadWithTheirMessages) {
    TEnglishTexts english;
    for (const QStringList& row : CaseRows("scheme/model-loads.txt", 4)) {
        SCOPED_TRACE((row[0] + ' ' + row[1]).toStdString());
        auto scheme = MakeTestScheme();
        TElementMessages messages;
        if (row[1] == QLatin1String("file")) {
            scheme->SetMessages(&messages);
            scheme->LoadFromFile(kData + row[0]);
        } else {
            TNodePtr<TKnot> knot = KnotFromText(QString::fromUtf8(ReadAll(kData + row[0])));
            LoadSchemeKnot(scheme.get(), knot.get(), fmSnapshot, &messages);
        }
        QStringList texts;
        for (int i = 0; i < messages.GetCount(); ++i) texts << messages.GetItem(i)->GetText();
        const QString expected = row[2] == QLatin1String("-") ? QString() : row[2];
        const QString got = texts.join(QLatin1Char('|')).replace(QChar(0x00A0), QLatin1Char(' '));
        EXPECT_EQ(got.toStdString(), expected.toStdString());
        EXPECT_TRUE(row[3] == QLatin1String("-") || SchemeText(scheme.get()).contains(row[3]));
        EXPECT_EQ(scheme->UpdateCount(), 0);
    }
}

TEST(SchemeFiles, ElementNodeFormat) {
    TSample s;
    EXPECT_EQ("\xEF\xBB\xBF" + s.Text().toUtf8(), ReadAll(kData + "sample.prm")) << "the golden file";

    // A validated sub-element that is not at its default keeps its empty knot.
    s.owner->Second()->ForcedDefault = 0;
    s.owner->Second()->CheckAll();
    EXPECT_TRUE(s.Text().contains(QStringLiteral("\t\t<Second/>\r\n")));

    // Stored in the parent's node, except in snapshots, and read back from there.
    s.owner->First()->SetOptions(s.owner->First()->Options() | eoStoredInParentNode);
    EXPECT_TRUE(s.Text().contains(QStringLiteral("<TestOwner Value=\"x\">")));
    EXPECT_TRUE(s.Text(fmSnapshot, 0).contains(QStringLiteral("<First ID=")));
    TSample copy;
    copy.owner->First()->SetOptions(copy.owner->First()->Options() | eoStoredInParentNode);
    copy.owner->First()->SetValue("");
    copy.owner->LoadFromKnot(KnotFromText(s.Text())->FindPath(u"TestOwner", false), fmFile, 0);
    EXPECT_EQ(copy.owner->First()->Value(), QStringLiteral("x"));

    // Not stored, or a comment left out by the filer option: only plain snapshots carry it.
    const QString value = QStringLiteral("Value=\"x\"");
    s.owner->First()->SetOptions(eoSubElement | eoNotStored);
    EXPECT_FALSE(s.Text().contains(value));
    EXPECT_TRUE(s.Text(fmSnapshot, 0).contains(value));
    s.owner->First()->SetOptions(eoSubElement | eoComment);
    EXPECT_FALSE(s.Text(fmSnapshot, foSkipComments).contains(value));
}

// An owner that gives a sub-element no name must not make the file unreadable.
TEST(SchemeFiles, UnnamedSubElementIsStoredUnderItsTypeName) {
    TSample s;
    TElement::CreateSubElement<TElement_TestLeaf>(s.owner)->SetValue("extra");
    TNodePtr<TKnot> knot = TKnot::Create();
    ASSERT_TRUE(knot->LoadFromString(s.Text()));

    TElementMessages messages;
    auto copy = MakeTestScheme();
    TSchemeLoader loader(copy.get(), &messages, knot.get(), 0, fmFile);
    copy->Root()->LoadFrom(&loader, knot.get());
    auto* owner = static_cast<TElement_TestOwner*>(copy->Root()->FirstChild()->NextSibling());
    TElement::CreateSubElement<TElement_TestLeaf>(owner)->LoadFrom(&loader, knot->FindPath(u"TestOwner.TestLeaf", false));
    loader.Finish();
    EXPECT_EQ(static_cast<TElement_TestLeaf*>(owner->LastChild())->Value(), QStringLiteral("extra"));
    EXPECT_EQ(messages.GetCount(), 0);
}

TEST(SchemeFiles, FileRoundTripRenumbersAndMapsReferableElements) {
    TSample s;
    auto* named = TElement::CreateIn<TElement_TestNamed>(s.scheme.get(), s.inner);
    named->SetName("N");
    const int32_t oldNumber = named->Number();
    QTemporaryDir dir;
    const QString path = dir.filePath("module.prm");
    s.scheme->SaveToFile(path);

    auto copy = MakeTestScheme();
    TElementMessages messages;
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromFile(path);
    TSchemeLoader loader(copy.get(), &messages, knot.get(), 0, fmFile);
    copy->Root()->LoadFrom(&loader, knot.get());
    loader.Finish();
    EXPECT_EQ(messages.GetCount(), 0);
    auto* loadedNamed = static_cast<TElement_TestNamed*>(copy->Root()->LastChild()->LastChild());
    EXPECT_GT(loadedNamed->Number(), oldNumber) << "fresh numbers in file mode";
    ASSERT_EQ(loader.NumberMappingCount(), 1);
    EXPECT_EQ(loader.StoredNumber(0), oldNumber);
    EXPECT_EQ(loader.MapNumber(oldNumber), loadedNamed->Number());

    // The loaded copy writes the same text, up to the new number.
    QString expected = QString::fromUtf8(ReadAll(path).mid(3));
    expected.replace(QStringLiteral("ID=\"%1\"").arg(oldNumber), QStringLiteral("ID=\"%1\"").arg(loadedNamed->Number()));
    EXPECT_EQ(SchemeText(copy.get()), expected);
}

// A snapshot keeps its stored numbers and raises the counter past them. A
// damaged snapshot holding the largest number once raised the counter to it,
// and the next element made counted past the end of the range.
TEST(SchemeFiles, SnapshotWithTheLargestNumberDoesNotOverflowTheCounter) {
    TSample s;
    for (int32_t stored : {LastElementNumber() + 500, std::numeric_limits<int32_t>::max(),
                           kHighestRaisingElementNumber + 1}) {
        SCOPED_TRACE(stored);
        TElement_TestLeaf* restored = s.RestoreDeep(stored);
        EXPECT_EQ(restored->Value(), QStringLiteral("deep"));
        EXPECT_EQ(s.scheme->FindElement(stored), restored);
        const int32_t next = stored > kHighestRaisingElementNumber ? s.counterBeforeLoad : stored;
        EXPECT_EQ(TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner)->Number(), next + 1);
    }
    // A stored number below the counter leaves the counter alone.
    EXPECT_TRUE(s.RestoreDeep(s.leaf->Number(), foSharedData)->State() & esSharedData);
    EXPECT_EQ(LastElementNumber(), s.counterBeforeLoad);
    EXPECT_EQ(s.scheme->FindElement(s.leaf->Number()), s.leaf) << "the first registered answers";
}

class DeferredLoad : public ::testing::Test {
protected:
    void SetUp() override { e->LoadFrom(loader.get(), knot.get()); }
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TNodePtr<TKnot> knot = KnotFromText(QStringLiteral("<Deferring/>"));
    TElement_Deferring* e = TElement::CreateIn<TElement_Deferring>(scheme.get(), scheme->Root());
    std::unique_ptr<TSchemeLoader> loader =
        std::make_unique<TSchemeLoader>(scheme.get(), nullptr, knot.get(), 0, fmFile);
};

TEST_F(DeferredLoad, DeferredStepsRunAtFinishBeforeTheChecks) {
    loader->Finish();
    loader.reset();
    EXPECT_EQ(e->Events, std::vector<QString>({"load", "42", "check"}));
    EXPECT_EQ(scheme->UpdateCount(), 0);
}

TEST_F(DeferredLoad, StepsDeferredFirstRunBeforeThoseRecordedEarlierInTurn) {
    loader->AddDeferred(e, 1, TSchemeLoader::TDeferredOrder::First);
    loader->AddDeferred(e, 2);
    loader->AddDeferred(e, 3, TSchemeLoader::TDeferredOrder::First);
    loader->Finish();
    EXPECT_EQ(e->Events, std::vector<QString>({"load", "1", "3", "42", "2", "check"}));
}

// A load that raises ends without Finish: its update closes, nothing runs.
TEST_F(DeferredLoad, AbandonedLoadClosesTheUpdateWithoutRunningAnything) {
    loader.reset();
    EXPECT_EQ(scheme->UpdateCount(), 0);
    EXPECT_EQ(e->Events, std::vector<QString>({"load"}));
    // The queued check waits for the next outermost update.
    scheme->BeginUpdate();
    scheme->EndUpdate();
    EXPECT_EQ(e->Events, std::vector<QString>({"load", "check"}));
}

TEST_F(DeferredLoad, DeferredElementDestroyedBeforeFinishIsSkipped) {
    e->Free();
    loader->Finish();  // ASan would see a use after free
    EXPECT_EQ(scheme->ElementCount(), 1);
}

// Loading a missing file raises and keeps its name.
TEST(SchemeFiles, KeepOldNameSavesACopyAndAFailureNamesTheReason) {
    TEnglishTexts english;
    QTemporaryDir dir;
    TSample s;
    EXPECT_EQ(RaisedId([&] { s.scheme->LoadFromFile(dir.filePath("missing.prm")); }), strFileNotFound);
    EXPECT_EQ(s.scheme->FileName(), dir.filePath("missing.prm"));
    s.scheme->SetFileName(dir.filePath("module.prm"));
    TBroadcastRecorder log(s.scheme.get());
    s.scheme->SaveToFile(dir.filePath("copy.prm"), true);
    EXPECT_EQ(s.scheme->FileName(), dir.filePath("module.prm"));
    EXPECT_EQ(log.codes, std::vector<int>({scFileNameChanged, scFileNameChanged}));
    EXPECT_TRUE(ReadAll(dir.filePath("copy.prm")).startsWith("\xEF\xBB\xBF<TestModule"));
    // A failed copy also goes back to the old name.
    try {
        s.scheme->SaveToFile(dir.filePath("missing/copy.prm"), true);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Id(), strCannotCreateFile);
        EXPECT_TRUE(e.Text().contains(QString::fromLocal8Bit(std::strerror(ENOENT)))) << e.what();
    }
    EXPECT_EQ(s.scheme->FileName(), dir.filePath("module.prm"));
}

}  // namespace

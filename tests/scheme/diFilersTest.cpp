#include "scheme/diFilers.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testBroadcasts.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testRaise.h"

#include <QDir>
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

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList TempFiles(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral("Rplc*")}, QDir::Files);
}

int CountKind(const TElementMessages& list, uint8_t kind) {
    int n = 0;
    for (int i = 0; i < list.GetCount(); ++i) n += list.GetItem(i)->Kind() == kind;
    return n;
}

// A scheme with every storage form the base knows:
//   root
//     TestLeaf Value=a
//     TestOwner (First=x, Second empty)
//     TestContainer
//       TestLeaf Value=deep
struct TSample {
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TElement_TestLeaf* leaf;
    TElement_TestOwner* owner;
    TElement_TestContainer* inner;
    TElement_TestLeaf* deep;
    TSample() {
        TElement* root = scheme->Root();
        leaf = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), root);
        leaf->SetValue("a");
        owner = TElement::CreateIn<TElement_TestOwner>(scheme.get(), root);
        owner->First()->SetValue("x");
        inner = TElement::CreateIn<TElement_TestContainer>(scheme.get(), root);
        deep = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), inner);
        deep->SetValue("deep");
    }
    QString Text(uint8_t mode = fmFile, uint8_t options = foSchemeFile) {
        return SchemeText(scheme.get(), mode, options);
    }
    // A snapshot of the deep leaf that carries the number `stored`.
    TNodePtr<TKnot> DeepSnapshot(int32_t stored) {
        TNodePtr<TKnot> knot = TKnot::Create();
        deep->SaveToKnot(knot.get(), fmSnapshot, 0);
        knot->FindParam(QStringLiteral("ID"))->SetString(QString::number(stored));
        return knot;
    }
};

// ---------------------------------------------------------------------------
// Format version and damaged files

TEST(SchemeFiles, FormatVersionTable) {
    TEnglishTexts english;
    struct Case {
        const char* text;
        int version;
        bool warns;
    } cases[] = {
        {"1.1", 1001, false},   {"", 1000, false},     {"abc", 1000, false}, {"1.100", 1100, false},
        {"1.101", 1101, true},  {"1.2000", 3000, true}, {"2", 2000, true},    {"x.5", 1005, false},
        {"1.", 1000, false},    {"99999999999.1", 1001, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseFormatVersion(QString::fromLatin1(c.text)), c.version);
        auto scheme = MakeTestScheme();
        TElementMessages messages;
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("TestModule"));
        if (*c.text) knot->WriteStr("FormatVersion", QString::fromLatin1(c.text));
        TSchemeLoader loader(scheme.get(), &messages, knot.get(), 0, fmFile);
        EXPECT_EQ(loader.FormatVersion(), c.version);
        EXPECT_EQ(CountKind(messages, mkWarning), c.warns ? 1 : 0);
        scheme->Root()->LoadFrom(&loader, knot.get());
        loader.Finish();
        EXPECT_EQ(CountKind(messages, mkWarning), c.warns ? 1 : 0) << "loading goes on";
        if (c.warns) EXPECT_EQ(messages.GetItem(0)->GetText(), LoadStr(strFormatDataProvidedNewer));
    }
}

// A file of a newer version, cut off in the middle: both warnings, in that
// order, and everything before the cut is loaded.
TEST(SchemeFiles, TruncatedNewerFileLoadsAsFarAsItGoes) {
    TEnglishTexts english;
    auto scheme = MakeTestScheme();
    TElementMessages messages;
    scheme->SetMessages(&messages);
    scheme->LoadFromFile(QUILLANE_TEST_DATA "/scheme/newer-truncated.prm");
    ASSERT_GE(messages.GetCount(), 2);
    EXPECT_EQ(messages.GetItem(0)->GetText(), QStringLiteral("Data provided are corrupt"));
    EXPECT_TRUE(messages.GetItem(1)->GetText().contains(QStringLiteral("newer version")));
    auto* leaf = dynamic_cast<TElement_TestLeaf*>(scheme->Root()->FirstChild());
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Value(), QStringLiteral("kept"));
    auto* inner = dynamic_cast<TElement_TestContainer*>(leaf->NextSibling());
    ASSERT_NE(inner, nullptr);
    ASSERT_NE(inner->FirstChild(), nullptr);
    EXPECT_EQ(static_cast<TElement_TestLeaf*>(inner->FirstChild())->Value(), QStringLiteral("deep"));
    EXPECT_EQ(scheme->UpdateCount(), 0);
}

TEST(SchemeFiles, LoadFromFileOfAMissingFileRaisesAndKeepsTheName) {
    auto scheme = MakeTestScheme();
    QTemporaryDir dir;
    const QString path = dir.filePath("missing.prm");
    EXPECT_EQ(RaisedId([&] { scheme->LoadFromFile(path); }), strFileNotFound);
    EXPECT_EQ(scheme->FileName(), path);
}

// ---------------------------------------------------------------------------
// The element node format

TEST(SchemeFiles, ElementNodeFormat) {
    TSample s;
    const QString expected = QStringLiteral(
        "<TestModule FormatVersion=\"1.1\">\r\n"
        "\t<TestLeaf Value=\"a\"/>\r\n"
        "\t<TestOwner>\r\n"
        "\t\t<First Value=\"x\"/>\r\n"
        "\t</TestOwner>\r\n"
        "\t<TestContainer>\r\n"
        "\t\t<TestLeaf Value=\"deep\"/>\r\n"
        "\t</TestContainer>\r\n"
        "</TestModule>\r\n");
    EXPECT_EQ(s.Text(), expected);
    EXPECT_EQ(ReadAll(QUILLANE_TEST_DATA "/scheme/sample.prm"), "\xEF\xBB\xBF" + expected.toUtf8())
        << "the golden file";

    // A validated sub-element that is not at its default keeps its empty knot.
    s.owner->Second()->ForcedDefault = 0;
    s.owner->Second()->CheckAll();
    EXPECT_TRUE(s.Text().contains(QStringLiteral("\t\t<Second/>\r\n")));

    // Stored in the parent's node, except in snapshots.
    s.owner->First()->SetOptions(s.owner->First()->Options() | eoStoredInParentNode);
    EXPECT_TRUE(s.Text().contains(QStringLiteral("<TestOwner Value=\"x\">")));
    EXPECT_TRUE(s.Text(fmSnapshot, 0).contains(QStringLiteral("<First ID=")));
    TSample copy;
    copy.owner->First()->SetOptions(copy.owner->First()->Options() | eoStoredInParentNode);
    copy.owner->First()->SetValue("");
    copy.owner->LoadFromKnot(KnotFromText(s.Text())->FindPath(u"TestOwner", false), fmFile, 0);
    EXPECT_EQ(copy.owner->First()->Value(), QStringLiteral("x")) << "read back from the parent's node";

    // Not stored, or a comment left out by the filer option: only plain snapshots carry it.
    const QString value = QStringLiteral("Value=\"x\"");
    s.owner->First()->SetOptions(eoSubElement | eoNotStored);
    EXPECT_FALSE(s.Text().contains(value));
    EXPECT_TRUE(s.Text(fmSnapshot, 0).contains(value));
    s.owner->First()->SetOptions(eoSubElement | eoComment);
    EXPECT_FALSE(s.Text(fmSnapshot, foSkipComments).contains(value));
    EXPECT_TRUE(s.Text(fmSnapshot, 0).contains(value));
}

// An owner that gives a sub-element no name must not make the file unreadable.
TEST(SchemeFiles, UnnamedSubElementIsStoredUnderItsTypeName) {
    TSample s;
    auto* extra = TElement::CreateSubElement<TElement_TestLeaf>(s.owner);
    extra->SetValue("extra");
    const QString text = s.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("\t\t<TestLeaf Value=\"extra\"/>\r\n\t</TestOwner>")));
    TNodePtr<TKnot> knot = TKnot::Create();
    EXPECT_TRUE(knot->LoadFromString(text));

    TElementMessages messages;
    auto copy = MakeTestScheme();
    TSchemeLoader loader(copy.get(), &messages, knot.get(), 0, fmFile);
    copy->Root()->LoadFrom(&loader, knot.get());
    auto* owner = dynamic_cast<TElement_TestOwner*>(copy->Root()->FirstChild()->NextSibling());
    ASSERT_NE(owner, nullptr);
    TElement::CreateSubElement<TElement_TestLeaf>(owner)->LoadFrom(&loader, knot->FindPath(u"TestOwner.TestLeaf", false));
    loader.Finish();
    EXPECT_EQ(static_cast<TElement_TestLeaf*>(owner->LastChild())->Value(), QStringLiteral("extra"));
    EXPECT_EQ(messages.GetCount(), 0);
}

// ---------------------------------------------------------------------------
// Round trips

TEST(SchemeFiles, FileRoundTripRenumbersAndMapsReferableElements) {
    TSample s;
    auto* named = TElement::CreateIn<TElement_TestNamed>(s.scheme.get(), s.inner);
    named->SetName("N");
    const int32_t oldNumber = named->Number();
    QTemporaryDir dir;
    const QString path = dir.filePath("module.prm");
    s.scheme->SaveToFile(path);

    const QByteArray bytes = ReadAll(path);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF<TestModule FormatVersion=\"1.1\">\r\n"));
    EXPECT_TRUE(bytes.endsWith("</TestModule>\r\n"));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    EXPECT_TRUE(bytes.contains(QStringLiteral("<TestNamed ID=\"%1\" Name=\"N\"/>").arg(oldNumber).toUtf8()));
    EXPECT_TRUE(TempFiles(dir.path()).isEmpty());

    auto copy = MakeTestScheme();
    TElementMessages messages;
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromFile(path);
    TSchemeLoader loader(copy.get(), &messages, knot.get(), 0, fmFile);
    copy->Root()->LoadFrom(&loader, knot.get());
    loader.Finish();
    EXPECT_EQ(messages.GetCount(), 0);

    auto* inner = dynamic_cast<TElement_TestContainer*>(copy->Root()->LastChild());
    ASSERT_NE(inner, nullptr);
    auto* loadedNamed = dynamic_cast<TElement_TestNamed*>(inner->LastChild());
    ASSERT_NE(loadedNamed, nullptr);
    EXPECT_EQ(loadedNamed->Name(), QStringLiteral("N"));
    EXPECT_GT(loadedNamed->Number(), oldNumber) << "fresh numbers in file mode";
    ASSERT_EQ(loader.NumberMappingCount(), 1);
    EXPECT_EQ(loader.StoredNumber(0), oldNumber);
    EXPECT_EQ(loader.MapNumber(oldNumber), loadedNamed->Number());
    EXPECT_EQ(copy->FindElement(loadedNamed->Number()), loadedNamed);

    auto* owner = dynamic_cast<TElement_TestOwner*>(copy->Root()->FirstChild()->NextSibling());
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->First()->Value(), QStringLiteral("x"));
    EXPECT_TRUE(owner->First()->IsFilled()) << "checks of a load run at its end";

    // The loaded copy writes the same text, up to the new number.
    copy->SetName(s.scheme->Name());
    QString expected = QString::fromUtf8(bytes.mid(3));
    expected.replace(QStringLiteral("ID=\"%1\"").arg(oldNumber), QStringLiteral("ID=\"%1\"").arg(loadedNamed->Number()));
    EXPECT_EQ(SchemeText(copy.get()), expected);
}

TEST(SchemeFiles, UnreadNodesAndAttributesAreReportedInFileModeOnly) {
    TEnglishTexts english;
    const QString text = QStringLiteral(
        "<TestModule FormatVersion=\"1.1\">\r\n"
        "\t<TestLeaf Value=\"a\" Extra=\"1\"/>\r\n"
        "\t<Mystery A=\"1\">\r\n\t\t<Inside B=\"2\"/>\r\n\t</Mystery>\r\n"
        "</TestModule>\r\n");
    for (uint8_t mode : {fmFile, fmSnapshot}) {
        auto scheme = MakeTestScheme();
        TElementMessages messages;
        LoadSchemeKnot(scheme.get(), KnotFromText(text).get(), mode, &messages);
        if (mode == fmSnapshot) {
            EXPECT_EQ(messages.GetCount(), 0);
            continue;
        }
        // One for the attribute, one for the never-read node as a whole.
        ASSERT_EQ(CountKind(messages, mkWarning), 2);
        EXPECT_EQ(messages.GetItem(0)->GetText(), QStringLiteral("Node \"TestModule.Mystery\" was not read"));
        EXPECT_EQ(messages.GetItem(1)->GetText(),
                  QStringLiteral("Attribute \"TestModule.TestLeaf.Extra\" was not read"));
    }
}

TEST(SchemeFiles, SnapshotKeepsNumbersAndRaisesTheCounter) {
    TSample s;
    const int32_t stored = LastElementNumber() + 500;
    TNodePtr<TKnot> knot = s.DeepSnapshot(stored);
    auto* restored = TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner);
    restored->LoadFromKnot(knot.get(), fmSnapshot, 0);
    EXPECT_EQ(restored->Number(), stored);
    EXPECT_EQ(restored->Value(), QStringLiteral("deep"));
    EXPECT_EQ(s.scheme->FindElement(stored), restored);
    EXPECT_EQ(TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner)->Number(), stored + 1);

    // A stored number below the counter leaves the counter alone.
    knot = s.DeepSnapshot(s.leaf->Number());
    auto* twin = TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner);
    const int32_t last = LastElementNumber();
    twin->LoadFromKnot(knot.get(), fmSnapshot, foSharedData);
    EXPECT_EQ(LastElementNumber(), last);
    EXPECT_TRUE(twin->State() & esSharedData);
    EXPECT_EQ(s.scheme->FindElement(s.leaf->Number()), s.leaf) << "the first registered answers";
}

// A damaged snapshot holding the largest number once raised the counter to
// it, and the next element made counted past the end of the range.
TEST(SchemeFiles, SnapshotWithTheLargestNumberDoesNotOverflowTheCounter) {
    TSample s;
    for (int32_t stored : {std::numeric_limits<int32_t>::max(), kHighestRaisingElementNumber + 1}) {
        SCOPED_TRACE(stored);
        TNodePtr<TKnot> knot = s.DeepSnapshot(stored);
        auto* restored = TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner);
        const int32_t last = LastElementNumber();
        restored->LoadFromKnot(knot.get(), fmSnapshot, 0);
        EXPECT_EQ(restored->Number(), stored) << "the stored number is kept";
        EXPECT_EQ(s.scheme->FindElement(stored), restored);
        EXPECT_EQ(LastElementNumber(), last);
        EXPECT_EQ(TElement::CreateIn<TElement_TestLeaf>(s.scheme.get(), s.inner)->Number(), last + 1);
    }
}

// ---------------------------------------------------------------------------
// Deferred load steps

class DeferredLoad : public ::testing::Test {
protected:
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
    TNodePtr<TKnot> knot = KnotFromText(QStringLiteral("<Deferring/>"));
    TElement_Deferring* e = TElement::CreateIn<TElement_Deferring>(scheme.get(), scheme->Root());
    std::unique_ptr<TSchemeLoader> loader =
        std::make_unique<TSchemeLoader>(scheme.get(), nullptr, knot.get(), 0, fmFile);
};

TEST_F(DeferredLoad, DeferredStepsRunAtFinishBeforeTheChecks) {
    e->LoadFrom(loader.get(), knot.get());
    EXPECT_EQ(e->Events, std::vector<QString>({"load"}));
    loader->Finish();
    loader.reset();
    EXPECT_EQ(e->Events, std::vector<QString>({"load", "42", "check"}));
    EXPECT_EQ(scheme->UpdateCount(), 0);
}

// A load that raises ends without Finish: its update closes, nothing runs.
TEST_F(DeferredLoad, AbandonedLoadClosesTheUpdateWithoutRunningAnything) {
    e->LoadFrom(loader.get(), knot.get());
    loader.reset();
    EXPECT_EQ(scheme->UpdateCount(), 0);
    EXPECT_EQ(e->Events, std::vector<QString>({"load"}));
    // The queued check waits for the next outermost update.
    scheme->BeginUpdate();
    scheme->EndUpdate();
    EXPECT_EQ(e->Events, std::vector<QString>({"load", "check"}));
}

TEST_F(DeferredLoad, DeferredElementDestroyedBeforeFinishIsSkipped) {
    e->LoadFrom(loader.get(), knot.get());
    e->Free();
    loader->Finish();  // ASan would see a use after free
    EXPECT_EQ(scheme->ElementCount(), 1);
}

// ---------------------------------------------------------------------------
// Saving to a file (the atomic writer itself is tested with the platform)

TEST(SchemeFiles, KeepOldNameSavesACopyAndAFailureNamesTheReason) {
    TEnglishTexts english;
    QTemporaryDir dir;
    TSample s;
    s.scheme->SetFileName(dir.filePath("module.prm"));
    TBroadcastRecorder log(s.scheme.get());
    s.scheme->SaveToFile(dir.filePath("copy.prm"), true);
    EXPECT_EQ(s.scheme->FileName(), dir.filePath("module.prm"));
    EXPECT_EQ(log.codes, std::vector<int>({scFileNameChanged, scFileNameChanged}));
    EXPECT_TRUE(ReadAll(dir.filePath("copy.prm")).startsWith("\xEF\xBB\xBF<TestModule"));
    EXPECT_TRUE(TempFiles(dir.path()).isEmpty());
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

// Scheme kinds (order, start-up kind, filters, batch operations), roots with
// their built-in values, and file connections answered by fake files.

#include "elements/coRoot.h"

#include "core/baAppCmpns.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "scheme/diUtils.h"
#include "scheme/diVisualOperations.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testRoots.h"
#include "support/testStop.h"

#include <gtest/gtest.h>

namespace {

// A kind whose extension is its name in lower case; operations "stamp" (7,
// parameters "text" and "mode") and "count" (8).
class TTestKind : public TSchemeDescriptor {
public:
    TTestKind(const char* name, int order, bool dialog = true, bool auxiliary = false,
              const TElementClass* root = TElement_TestFileRoot::StaticClass())
        : Name(QString::fromLatin1(name)), Order(order), Dialog(dialog), Auxiliary(auxiliary), Root(root) {}
    QString GetName() const override { return Name; }
    QString GetDescription() const override { return Name; }
    QString GetFileExtension() const override { return Name.toLower(); }
    QString GetKindName() const override { return Name; }
    int GetImageIndex() const override { return -1; }
    int GetOrder() const override { return Order; }
    const TElementClass* GetRootClass() const override { return Root; }
    bool IsFileDialogKind() const override { return Dialog; }
    bool IsAuxiliary() const override { return Auxiliary; }
    void GetCommandLineOperations(TCommandLineOperations& ops) const override { ops = {{"stamp", 7}, {"count", 8}}; }
    void GetOperationParameters(int id, QStringList& names) const override {
        if (id == 7) names << QStringLiteral("text") << QStringLiteral("mode");
    }
    void ExecuteOperation(TElement*, int id, const QStringList& parameters) const override {
        Runs << QString::number(id) + u':' + parameters.join(u'|');
    }

    QString Name;
    int Order;
    bool Dialog, Auxiliary;
    const TElementClass* Root;
    mutable QStringList Runs;
};

QStringList FilterTexts(const TFileFilters& filters) {
    QStringList texts;
    for (int i = 0; i < filters.Count(); ++i) texts << filters[i].FileExt + u'=' + filters[i].Text;
    return texts;
}

// A named element whose class name is the one a connection passes from a third file.
class TElement_PassedCondition : public TNamedElement {
public:
    static const TElementClass* StaticClass() noexcept {
        static const TElementClass cls("TElement_Condition", TNamedElement::StaticClass(),
                                       &detail::NewOf<TElement_PassedCondition>, &ClassCanBePlacedIn);
        return &cls;
    }
    const TClass* ClassType() const noexcept override { return StaticClass(); }
};

}  // namespace

TEST(SchemeKinds, RegistryOrderStartupKindFiltersAndBatchOperations) {
    TTestKind a("A", 100), b("B", 250), c("C", 250, true, true), d("D", 300, false),
        e("E", 50, true, false, TElement_TestContainer::StaticClass());
    TSchemeDescriptorRegistry registry;
    EXPECT_EQ(registry.StartupKind(), nullptr);
    for (const TTestKind* kind : {&a, &b, &c, &d, &e, &b}) registry.Register(*kind);
    QStringList order;
    for (const TSchemeDescriptor* kind : registry.Items()) order << kind->GetName();
    EXPECT_EQ(order, QStringList({"D", "B", "C", "A", "E"})) << "300, 250 (first), 250, 100; once each";
    EXPECT_EQ(registry.StartupKind(), &b) << "D is no dialog kind";

    TSchemeDescriptorRegistry noStartup;
    for (const TTestKind* kind : {&c, &d}) noStartup.Register(*kind);
    EXPECT_EQ(noStartup.StartupKind(), nullptr) << "auxiliary or no dialog kind";

    TFileFilters documents;
    documents.AddFilter(QStringLiteral("A"), QStringLiteral("There"));
    registry.AddDocumentFilters(documents);
    EXPECT_EQ(FilterTexts(documents), QStringList({"A=There", "b=B", "c=C", "e=E"}));
    TFileFilters connectable;
    registry.AddConnectableFilters(connectable);
    EXPECT_EQ(FilterTexts(connectable), QStringList({"b=B", "c=C", "a=A"})) << "TRoot kinds only";

    TCommandLine line({QStringLiteral("-STAMP"), QStringLiteral("mode=fast"), QStringLiteral("x.prm")});
    TSchemeDescriptorRegistry::RunCommandLineOperations(a, nullptr, line);
    EXPECT_EQ(a.Runs, QStringList({"7:mode=fast"})) << "only the operation switched on; text has no value";
    EXPECT_EQ(line.Params(), QStringList({"x.prm"}));
}

class Roots : public ::testing::Test {
protected:
    TEnglishTexts english;
    TTestFiles files;
    TScheme* a = files.Add(QStringLiteral("/work/a.prm"));
    TScheme* b = files.Add(QStringLiteral("/work/lib/b.prm"));

    static TInsideValueElement* Value(TNamespace* ns, const char* name) {
        TNamespaceItem* item = Found(ns->FindItemByName(QString::fromLatin1(name)), name);
        return Found(dynamic_cast<TInsideValueElement*>(item->GetElement()), name);
    }
    static bool Knows(TScheme* scheme, const char* name) {
        return TTestFiles::RootOf(scheme)->GetNamespace()->FindItemByName(QString::fromUtf8(name));
    }
    TElement_Substitution* Refer(const QString& name) {
        return AddSubstitution(AddText(a, QStringLiteral("User%1").arg(++m_users)), name);
    }

private:
    int m_users = 0;
};

TEST_F(Roots, SourceValuesUnsavedSavedAndRenamedAndTheApplicationValues) {
    TNamespace* names = TTestFiles::RootOf(files.Add(QString()))->GetNamespace();
    ASSERT_TRUE(GetTempDir().endsWith(u'/'));
    const QStringList rows[] = {{"", GetTempDir(), "Unsaved"}, {"/work/Lib/first.v2.prm", "/work/Lib/", "first.v2"},
                                {"/second.prm", "/", "second"}};
    for (const QStringList& row : rows) {
        names->Scheme()->SetFileName(row[0]);
        EXPECT_EQ(Value(names, "SourcePath")->GetValue(), row[1]) << row[0].toStdString();
        EXPECT_EQ(Value(names, "SourceName")->GetValue(), row[2]) << row[0].toStdString();
    }
    EXPECT_EQ(names->FindItemByName(QStringLiteral("SourcePath"))->GetItemFlags(),
              int(nifOverridable) | int(nifShiftOnly));
    EXPECT_LT(uint(Value(names, "SourcePath")->GetImageIndex()), uint(SchemeCharImages().Count()));

    TNamespace* app = Found(ApplicationValuesNamespace(), "the application values");
    SetApplicationVersion(QStringLiteral("1.2.3"));
    EXPECT_EQ(Value(app, "ApplicationVersion")->GetValue(), QStringLiteral("1.2.3"));
    SetApplicationVersion(QString());
    EXPECT_EQ(Value(app, "ApplicationName")->GetValue(), LoadStr(strProductName));
    TNamespaceItem* item = app->FindItemByName(QStringLiteral("ApplicationName"));
    EXPECT_EQ(item->GetItemFlags(), int(nifOverridable) | int(nifShiftOnly) | int(nifListedLast));
    EXPECT_EQ(item->GetVisibility(), 1);

    TElement_Text* text = AddText(a, QStringLiteral("SourcePath"));
    EXPECT_TRUE(Found(text->NameField()->Item(), "the text's name")->HidesOverridable());
    ASSERT_TRUE(text->NameField()->Messages());
    EXPECT_EQ(text->NameField()->Messages()->GetItem(0)->GetText(),
              RemoveLinkBrackets(LoadStrFmt(strNameReservedYouNeed, {QStringLiteral("SourcePath")})));
}

TEST_F(Roots, ConnectedNamesGoUnderTheConnectionsNameAndFollowItsRenaming) {
    TElement_Text* x = AddText(b, QStringLiteral("X"));
    TElement_FileConnection* lib = AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    EXPECT_EQ(files.Asked.last(), QStringLiteral("/work/lib/b.prm"));
    TElement_Substitution* use = Refer(QStringLiteral("Lib.X"));
    EXPECT_EQ(use->ValueSource(), x);
    EXPECT_EQ(Found(lib->NameField()->Item(), "the connection's name")->GetReferenceCount(), 1);
    lib->NameField()->SetText(QStringLiteral("Lib2"));
    EXPECT_EQ(use->GetText(), QStringLiteral("Lib2.X"));
    EXPECT_EQ(use->ValueSource(), x);
    lib->NameField()->SetText(QString());
    EXPECT_EQ(use->GetText(), QStringLiteral("X")) << "without a name there is no prefix";
    EXPECT_TRUE(Knows(a, "X"));
    EXPECT_TRUE(AddText(a, QStringLiteral("X"))->NameField()->Item()->IsDuplicate()) << "beside a connected X";
}

TEST_F(Roots, PrivateItemsAndWhatCameIntoTheFileFromElsewhereDoNotPass) {
    TScheme* third = files.Add(QStringLiteral("/work/third.prm"));
    TElement_TestFileRoot* thirdRoot = TTestFiles::RootOf(third);
    thirdRoot->MoreAccepted << TElement_PassedCondition::StaticClass();
    auto* condition =
        dynamic_cast<TNamedElement*>(thirdRoot->AddElementOfClass(TElement_PassedCondition::StaticClass()));
    Found(condition, "the condition")->NameField()->SetText(QStringLiteral("Cond"));
    AddText(third, QStringLiteral("Third"));
    AddText(a, QStringLiteral("Mine"));
    AddText(b, QStringLiteral("Public"));
    AddText(b, QStringLiteral("Hidden"))->SetVisibility(TVisibility::Private);
    AddConnection(b, QStringLiteral("A"), QStringLiteral("/work/a.prm"));
    AddConnection(b, QStringLiteral("T"), QStringLiteral("/work/third.prm"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    EXPECT_TRUE(Knows(a, "Lib.Public"));
    EXPECT_FALSE(Knows(a, "Lib.Hidden"));
    EXPECT_FALSE(Knows(a, "Lib.A.Mine")) << "came from this file";
    EXPECT_FALSE(Knows(a, "Lib.T.Third")) << "came from a third file";
    EXPECT_TRUE(Knows(a, "Lib.T.Cond")) << "conditions of a third file pass";
    EXPECT_TRUE(Knows(b, "A.Mine"));
    EXPECT_FALSE(Knows(b, "A.Lib.Public")) << "two files connecting each other";
}

TEST_F(Roots, AFailingAnswerLeavesNoTargetAndTheDocumentStillLoadsThenConnects) {
    AddText(b, QStringLiteral("X"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    Refer(QStringLiteral("Lib.X"));
    const QString saved = SchemeText(a);
    EXPECT_TRUE(saved.contains(QStringLiteral("FileName=\"lib/b.prm\""))) << saved.toStdString();

    files.RaiseId = 1;  // no text has this id: a failure without a text still shows
    TScheme* loaded = files.Add(QStringLiteral("/work/a2.prm"));
    LoadSchemeKnot(loaded, KnotFromText(saved).get());
    auto* connection = dynamic_cast<TElement_FileConnection*>(
        Found(TTestFiles::RootOf(loaded)->GetNamespace()->FindItemByName(QStringLiteral("Lib")), "Lib")->GetElement());
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->ConnectionToFile()->Target(), nullptr);
    EXPECT_FALSE(connection->FileNameField()->HasNoErrors()) << "the failure shows on the file name";
    EXPECT_TRUE(Knows(loaded, "User1")) << "the rest of the document loaded";

    files.RaiseId = 0;
    connection->FileNameField()->SetValue(QString());  // the same name again changes nothing
    connection->FileNameField()->SetValue(QStringLiteral("/work/lib/b.prm"));
    EXPECT_TRUE(Knows(loaded, "Lib.X"));
    EXPECT_TRUE(connection->FileNameField()->HasNoErrors());
}

TEST_F(Roots, DisablingOrClearingTheFileDisconnectsAndUndoConnects) {
    TUndoRedo history;
    a->SetUndoRedo(&history);
    AddText(b, QStringLiteral("X"));
    TElement_FileConnection* lib = AddConnection(a, QString(), QString());
    lib->FileNameField()->ChangeValue(QStringLiteral("lib/b.prm"));
    EXPECT_EQ(static_cast<TFileConnectionNameField*>(lib->NameField())->GetAutoName(), QStringLiteral("b"));
    EXPECT_TRUE(Knows(a, "X"));
    TSchemeOperation::Execute(MakeNode<TVisualElementDisableOperation>(lib, true));
    EXPECT_FALSE(Knows(a, "X"));
    history.Undo();
    EXPECT_TRUE(Knows(a, "X"));
    history.Undo();
    EXPECT_FALSE(Knows(a, "X")) << "the file name cleared";

    static const TTestKind kinds[] = {{"FileKind", 1},
                                      {"NotAFile", 0, true, false, TElement_TestContainer::StaticClass()}};
    for (const TTestKind& kind : kinds) RegisterSchemeDescriptor(kind);
    TFileFilters filters;
    EXPECT_TRUE(lib->FileNameField()->SendNodeMessage(nmGetFileDialogFilters, reinterpret_cast<intptr_t>(&filters)));
    EXPECT_TRUE(FilterTexts(filters).contains(QStringLiteral("filekind=FileKind")));
    EXPECT_FALSE(FilterTexts(filters).contains(QStringLiteral("notafile=NotAFile")));
    a->SetUndoRedo(nullptr);
}

TEST_F(Roots, TheFileNameIsStoredRelativeToTheSchemeAndKeepsItsFileWhenTheSchemeIsSavedElsewhere) {
    AddText(b, QStringLiteral("X"));
    TElement_FileConnection* lib = AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    a->SetFileName(QStringLiteral("/work/sub/a.prm"));
    const QString saved = SchemeText(a);
    EXPECT_TRUE(saved.contains(QStringLiteral("FileName=\"../lib/b.prm\""))) << saved.toStdString();
    EXPECT_EQ(lib->FileNameField()->FileName(), QStringLiteral("/work/lib/b.prm"));
    EXPECT_TRUE(Knows(a, "Lib.X"));

    TScheme* moved = files.Add(QStringLiteral("/work/sub/copy.prm"));
    LoadSchemeKnot(moved, KnotFromText(saved).get());
    EXPECT_EQ(files.Asked.last(), QStringLiteral("/work/lib/b.prm")) << "read back against the new folder";
    EXPECT_TRUE(Knows(moved, "Lib.X"));
}

TEST_F(Roots, RegressionASnapshotOfARootLoadsItsOwnSubElementsAsThemNotAsContent) {
    AddText(a, QStringLiteral("X"), QStringLiteral("x"));
    const QString saved = SchemeText(a, fmSnapshot, 0);
    ASSERT_TRUE(saved.contains(QStringLiteral("<GeneralElementsNamespace"))) << "a snapshot holds the namespace";
    TScheme* copy = files.Add(QStringLiteral("/work/copy.prm"));
    LoadSchemeKnot(copy, KnotFromText(saved).get(), fmSnapshot);
    int contentElements = 0;
    for (TNode* c = copy->Root()->FirstChild(); c; c = c->NextSibling())
        if (auto* e = dynamic_cast<TElement*>(c); e && !e->IsSubElement()) ++contentElements;
    EXPECT_EQ(contentElements, 1) << "the text only";
    EXPECT_EQ(SchemeText(copy, fmSnapshot, 0).toStdString(), saved.toStdString());
}

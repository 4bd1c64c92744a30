// Scheme kinds (the registry's order, the start-up kind, dialog filters,
// command-line operations), roots with their built-in values, and file
// connections answered by a fake document layer.

#include "elements/coRoot.h"

#include "core/baAppCmpns.h"
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

// A kind whose answers the test sets.
class TTestKind : public TSchemeDescriptor {
public:
    TTestKind(QString name, int order, bool dialog = true, bool auxiliary = false,
              const TElementClass* root = TElement_TestFileRoot::StaticClass())
        : Name(std::move(name)), Order(order), Dialog(dialog), Auxiliary(auxiliary), Root(root) {}

    QString GetName() const override { return Name; }
    QString GetDescription() const override { return Name; }
    QString GetFileExtension() const override { return Ext.isEmpty() ? Name.toLower() : Ext; }
    QString GetKindName() const override { return Name; }
    int GetImageIndex() const override { return -1; }
    int GetOrder() const override { return Order; }
    const TElementClass* GetRootClass() const override { return Root; }
    bool IsFileDialogKind() const override { return Dialog; }
    bool IsAuxiliary() const override { return Auxiliary; }

    void GetCommandLineOperations(TCommandLineOperations& operations) const override {
        operations << qMakePair(QStringLiteral("stamp"), 7) << qMakePair(QStringLiteral("count"), 8);
    }
    void GetOperationParameters(int id, QStringList& names) const override {
        if (id == 7) names << QStringLiteral("text") << QStringLiteral("mode");
    }
    void ExecuteOperation(TElement* root, int id, const QStringList& parameters) const override {
        Runs << QString::number(id) + QLatin1Char(':') + parameters.join(QLatin1Char('|'));
    }

    QString Name;
    QString Ext;
    int Order;
    bool Dialog;
    bool Auxiliary;
    const TElementClass* Root;
    mutable QStringList Runs;
};

QStringList Names(const TSchemeDescriptorRegistry& registry) {
    QStringList names;
    for (const TSchemeDescriptor* kind : registry.Items()) names << kind->GetName();
    return names;
}

QStringList FilterTexts(const TFileFilters& filters) {
    QStringList texts;
    for (int i = 0; i < filters.Count(); ++i) texts << filters[i].FileExt + QLatin1Char('=') + filters[i].Text;
    return texts;
}

}  // namespace

// ---------------------------------------------------------------------------
// Scheme kinds

TEST(SchemeKinds, RegistryPutsLargerOrdersFirstAndKeepsEqualOnesInRegistrationOrder) {
    TTestKind a(QStringLiteral("A100"), 100), b(QStringLiteral("B250"), 250), c(QStringLiteral("C250"), 250),
        d(QStringLiteral("D300"), 300);
    TSchemeDescriptorRegistry registry;
    for (const TTestKind* kind : {&a, &b, &c, &d}) registry.Register(*kind);
    EXPECT_EQ(Names(registry), QStringList({"D300", "B250", "C250", "A100"}));
    registry.Register(b);
    EXPECT_EQ(Names(registry), QStringList({"D300", "B250", "C250", "A100"})) << "registered again, it stays";
}

TEST(SchemeKinds, StartupKindIsTheFirstFileDialogKindThatIsNotAuxiliary) {
    struct TCase {
        const char* name;
        std::vector<std::pair<bool, bool>> kinds;  // dialog, auxiliary; in registry order
        int expected;                              // index, -1: no start-up document
    };
    const TCase cases[] = {
        {"NoKinds", {}, -1},
        {"OnlyAuxiliary", {{true, true}}, -1},
        {"OnlyNonDialog", {{false, false}}, -1},
        {"AuxiliaryFirst", {{true, true}, {true, false}}, 1},
        {"NonDialogFirst", {{false, false}, {true, false}, {true, false}}, 1},
    };
    for (const TCase& row : cases) {
        std::vector<std::unique_ptr<TTestKind>> kinds;
        TSchemeDescriptorRegistry registry;
        int order = 1000;
        for (auto [dialog, auxiliary] : row.kinds) {
            kinds.push_back(std::make_unique<TTestKind>(QString::number(order), order, dialog, auxiliary));
            registry.Register(*kinds.back());
            --order;
        }
        const TSchemeDescriptor* expected = row.expected < 0 ? nullptr : kinds[size_t(row.expected)].get();
        EXPECT_EQ(registry.StartupKind(), expected) << row.name;
    }
}

TEST(SchemeKinds, DocumentFiltersOncePerExtensionConnectableFiltersOnlyForRootKinds) {
    TTestKind program(QStringLiteral("Program"), 250), other(QStringLiteral("Other"), 200),
        hidden(QStringLiteral("Hidden"), 150, false), plain(QStringLiteral("Plain"), 100, true, false,
                                                              TElement_TestContainer::StaticClass());
    other.Ext = QStringLiteral("PROGRAM");
    TSchemeDescriptorRegistry registry;
    for (const TTestKind* kind : {&program, &other, &hidden, &plain}) registry.Register(*kind);

    TFileFilters documents;
    documents.AddFilter(QStringLiteral("plain"), QStringLiteral("Already there"));
    registry.AddDocumentFilters(documents);
    EXPECT_EQ(FilterTexts(documents), QStringList({"plain=Already there", "program=Program"}));

    TFileFilters connectable;
    registry.AddConnectableFilters(connectable);
    EXPECT_EQ(FilterTexts(connectable), QStringList({"program=Program", "PROGRAM=Other"}));
}

TEST(SchemeKinds, CommandLineOperationsRunWithTheParametersGivenAndTakeThem) {
    TTestKind kind(QStringLiteral("Kind"), 1);
    TCommandLine line({QStringLiteral("-STAMP"), QStringLiteral("mode=fast"), QStringLiteral("other=1"),
                       QStringLiteral("file.prm")});
    TSchemeDescriptorRegistry::RunCommandLineOperations(kind, nullptr, line);
    EXPECT_EQ(kind.Runs, QStringList({"7:mode=fast"})) << "only the operation switched on; text has no value";
    EXPECT_EQ(line.Params(), QStringList({"other=1", "file.prm"}));
}

// ---------------------------------------------------------------------------
// Roots and built-in values

class Roots : public ::testing::Test {
protected:
    TTestFiles files;
    TEnglishTexts english;
    TScheme* scheme = files.Add(QString());
    TRoot* root = TTestFiles::RootOf(scheme);

    QString Value(const QString& name) {
        TNamespaceItem* item = Found(root->GetNamespace()->FindItemByName(name), name.toStdString());
        return Found(dynamic_cast<TInsideValueElement*>(item->GetElement()), "a built-in value")->GetValue();
    }
};

TEST_F(Roots, SourceValuesAreAskedOfTheSchemeEachTimeSavedUnsavedAndRenamed) {
    EXPECT_EQ(Value(QStringLiteral("SourcePath")), GetTempDir());
    EXPECT_TRUE(GetTempDir().endsWith(QLatin1Char('/')));
    EXPECT_EQ(Value(QStringLiteral("SourceName")), QStringLiteral("Unsaved"));

    scheme->SetFileName(QStringLiteral("/work/Lib/first.prm"));
    EXPECT_EQ(Value(QStringLiteral("SourcePath")), QStringLiteral("/work/Lib/"));
    EXPECT_EQ(Value(QStringLiteral("SourceName")), QStringLiteral("first"));

    scheme->SetFileName(QStringLiteral("/second.v2.prm"));
    EXPECT_EQ(Value(QStringLiteral("SourcePath")), QStringLiteral("/"));
    EXPECT_EQ(Value(QStringLiteral("SourceName")), QStringLiteral("second.v2"));
}

TEST_F(Roots, BuiltInValuesAreOverridableShownWithShiftPublicForTheSchemePrivateForTheApplication) {
    TNamespace* app = Found(ApplicationValuesNamespace(), "the application values");
    struct TCase {
        TNamespace* ns;
        const char* name;
        int flags;
        int visibility;
    };
    const TCase cases[] = {
        {root->GetNamespace(), "SourcePath", nifOverridable | nifShiftOnly, 0},
        {root->GetNamespace(), "SourceName", nifOverridable | nifShiftOnly, 0},
        {app, "ApplicationName", nifOverridable | nifShiftOnly | nifListedLast, 1},
        {app, "ApplicationVersion", nifOverridable | nifShiftOnly | nifListedLast, 1},
    };
    for (const TCase& row : cases) {
        TNamespaceItem* item = Found(row.ns->FindItemByName(QString::fromLatin1(row.name)), row.name);
        EXPECT_EQ(item->GetItemFlags(), row.flags) << row.name;
        EXPECT_EQ(item->GetVisibility(), row.visibility) << row.name;
        EXPECT_FALSE(item->GetDescription().isEmpty()) << row.name;
    }
    SetApplicationVersion(QStringLiteral("1.2.3"));
    auto value = [app](const char* name) {
        return static_cast<TInsideValueElement*>(app->FindItemByName(QString::fromLatin1(name))->GetElement())->GetValue();
    };
    EXPECT_EQ(value("ApplicationVersion"), QStringLiteral("1.2.3"));
    EXPECT_EQ(value("ApplicationName"), LoadStr(strProductName));
    SetApplicationVersion(QString());
}

TEST_F(Roots, PicturesComeFromTheStripsTheUnitLoaded) {
    TInsideValueElement* value = root->SourcePathValue();
    EXPECT_GE(value->GetImageIndex(), 0);
    EXPECT_LT(value->GetImageIndex(), SchemeCharImages().Count());
    TSchemeImages list(12, 12);
    EXPECT_EQ(TImageStrip::Load(list, QStringLiteral("noSuchStrip")).Picture(1), NoImageIndex);
    EXPECT_EQ(TImageStrip::Load(list, QStringLiteral("coStdRootsCharImages")).Picture(1), 1);
}

TEST_F(Roots, ATextNamedLikeABuiltInValueHidesItAndIsToldTheNameIsReserved) {
    TElement_Text* text = AddText(scheme, QStringLiteral("SourcePath"));
    TNameFieldNamespaceItem* item = Found(text->NameField()->Item(), "the text's name");
    EXPECT_TRUE(item->HidesOverridable());
    ASSERT_TRUE(text->NameField()->Messages());
    EXPECT_EQ(text->NameField()->Messages()->GetItem(0)->GetText(),
              RemoveLinkBrackets(LoadStrFmt(strNameReservedYouNeed, {QStringLiteral("SourcePath")})));
}

TEST_F(Roots, SavedWithTopLevelElementsAndNothingOfItsFixedParts) {
    AddText(scheme, QStringLiteral("X"), QStringLiteral("x"));
    const QString text = SchemeText(scheme);
    EXPECT_FALSE(text.contains(QStringLiteral("SourcePathValue"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("GeneralElementsNamespace"))) << text.toStdString();
    TScheme* copy = files.Add(QStringLiteral("/work/copy.prm"));
    LoadSchemeKnot(copy, KnotFromText(text).get());
    EXPECT_EQ(SchemeText(copy), text);
    EXPECT_TRUE(TTestFiles::RootOf(copy)->GetNamespace()->FindItemByName(QStringLiteral("X")));
}

// ---------------------------------------------------------------------------
// File connections

namespace {

// A named element whose class name is the one a connection lets pass from a third file.
class TElement_PassedCondition : public TNamedElement {
public:
    static const TElementClass* StaticClass() noexcept {
        static const TElementClass cls("TElement_Condition", TNamedElement::StaticClass(),
                                       &detail::NewOf<TElement_PassedCondition>, &ClassCanBePlacedIn);
        return &cls;
    }
    const TClass* ClassType() const noexcept override { return StaticClass(); }
};

class TElement_ConditionRoot : public TElement_TestFileRoot {
public:
    static const TElementClass* StaticClass() noexcept {
        static const TElementClass cls("TElement_ConditionRoot", TElement_TestFileRoot::StaticClass(),
                                       &detail::NewOf<TElement_ConditionRoot>, &ClassCanBePlacedIn);
        return &cls;
    }
    const TClass* ClassType() const noexcept override { return StaticClass(); }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_PassedCondition::StaticClass();
        TElement_TestFileRoot::FillAcceptedClasses(list);
    }
};

}  // namespace

class FileConnections : public ::testing::Test {
protected:
    TTestFiles files;
    TEnglishTexts english;
    TScheme* a = files.Add(QStringLiteral("/work/a.prm"));
    TScheme* b = files.Add(QStringLiteral("/work/lib/b.prm"));

    static TNamespace* Names(TScheme* scheme) { return TTestFiles::RootOf(scheme)->GetNamespace(); }
    static bool Knows(TScheme* scheme, const char* name) {
        return Names(scheme)->FindItemByName(QString::fromUtf8(name)) != nullptr;
    }
    // A substitution in a new text of a.
    TElement_Substitution* Refer(const QString& name) {
        return AddSubstitution(AddText(a, QStringLiteral("User%1").arg(++m_users)), name);
    }
    static TElement* TargetElement(TElement_Substitution* s) {
        return s->GetTargetItem() ? s->GetTargetItem()->GetElement() : nullptr;
    }

private:
    int m_users = 0;
};

TEST_F(FileConnections, ConnectedNamesGoUnderTheConnectionsNameAndFollowItsRenaming) {
    TElement_Text* x = AddText(b, QStringLiteral("X"));
    TElement_FileConnection* lib = AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    EXPECT_EQ(files.Asked.last(), QStringLiteral("/work/lib/b.prm"));
    TElement_Substitution* use = Refer(QStringLiteral("Lib.X"));
    EXPECT_EQ(TargetElement(use), x);
    EXPECT_EQ(Found(lib->NameField()->Item(), "the connection's name")->GetReferenceCount(), 1)
        << "a reference through the connection counts on its name";
    EXPECT_TRUE(use->HasNoErrors());

    lib->NameField()->SetText(QStringLiteral("Lib2"));
    EXPECT_EQ(use->GetText(), QStringLiteral("Lib2.X"));
    EXPECT_EQ(TargetElement(use), x);

    lib->NameField()->SetText(QString());
    EXPECT_EQ(use->GetText(), QStringLiteral("X")) << "without a name there is no prefix";
    EXPECT_TRUE(Knows(a, "X"));
}

TEST_F(FileConnections, PrivateItemsAndWhatCameFromThisOrAThirdFileDoNotPass) {
    TScheme* c = files.Add(QStringLiteral("/work/c.prm"));
    AddText(a, QStringLiteral("Mine"));
    AddText(b, QStringLiteral("Public"));
    AddText(b, QStringLiteral("Hidden"))->SetVisibility(TVisibility::Private);
    AddConnection(b, QStringLiteral("A"), QStringLiteral("/work/a.prm"));
    AddText(c, QStringLiteral("Third"));
    AddConnection(b, QStringLiteral("C"), QStringLiteral("/work/c.prm"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));

    EXPECT_TRUE(Knows(a, "Lib.Public"));
    EXPECT_FALSE(Knows(a, "Lib.Hidden"));
    EXPECT_FALSE(Knows(a, "Lib.A.Mine")) << "came from this file";
    EXPECT_FALSE(Knows(a, "Lib.C.Third")) << "came from a third file";
    EXPECT_TRUE(Knows(b, "C.Third"));
}

TEST_F(FileConnections, ConditionsOfAThirdFilePass) {
    TScheme* third = files.Add(QStringLiteral("/work/third.prm"), TElement_ConditionRoot::StaticClass());
    auto* condition = dynamic_cast<TNamedElement*>(
        TTestFiles::RootOf(third)->AddElementOfClass(TElement_PassedCondition::StaticClass()));
    Found(condition, "the condition")->NameField()->SetText(QStringLiteral("Cond"));
    AddText(third, QStringLiteral("Text"));
    AddConnection(b, QStringLiteral("T"), QStringLiteral("/work/third.prm"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    EXPECT_TRUE(Knows(a, "Lib.T.Cond"));
    EXPECT_FALSE(Knows(a, "Lib.T.Text"));
    EXPECT_TRUE(Knows(b, "T.Text"));
}

TEST_F(FileConnections, ALocalNameLikeAConnectedOneIsADuplicate) {
    AddText(b, QStringLiteral("X"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    TElement_Text* local = AddText(a, QStringLiteral("Lib.X"));
    EXPECT_TRUE(Found(local->NameField()->Item(), "the local name")->IsDuplicate());
}

TEST_F(FileConnections, TwoFilesConnectingEachOtherSeeOnlyTheOthersOwnElements) {
    AddText(a, QStringLiteral("InA"));
    AddText(b, QStringLiteral("InB"));
    AddConnection(a, QStringLiteral("B"), QStringLiteral("lib/b.prm"));
    AddConnection(b, QStringLiteral("A"), QStringLiteral("/work/a.prm"));
    EXPECT_TRUE(Knows(a, "B.InB"));
    EXPECT_TRUE(Knows(b, "A.InA"));
    EXPECT_FALSE(Knows(a, "B.A.InA"));
    EXPECT_FALSE(Knows(b, "A.B.InB"));
}

TEST_F(FileConnections, AFailingAnswerLeavesNoTargetAndTheDocumentStillLoads) {
    AddText(b, QStringLiteral("X"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    Refer(QStringLiteral("Lib.X"));
    const QString saved = SchemeText(a);

    files.RaiseId = strFileNotFound;
    TScheme* loaded = files.Add(QStringLiteral("/work/a2.prm"));
    LoadSchemeKnot(loaded, KnotFromText(saved).get());
    auto* connection = dynamic_cast<TElement_FileConnection*>(
        Found(Names(loaded)->FindItemByName(QStringLiteral("Lib")), "the loaded connection")->GetElement());
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->ConnectionToFile()->Target(), nullptr);
    EXPECT_FALSE(connection->FileNameField()->HasNoErrors()) << "the failure shows on the file name";
    EXPECT_TRUE(Knows(loaded, "User1")) << "the rest of the document loaded";

    files.RaiseId = 0;
    connection->FileNameField()->SetText(QStringLiteral("lib/b.prm"));
    connection->FileNameField()->SetText(QStringLiteral("/work/lib/b.prm"));
    EXPECT_TRUE(connection->ConnectionToFile()->Target());
    EXPECT_TRUE(connection->FileNameField()->HasNoErrors())
        << (connection->FileNameField()->Messages() ? connection->FileNameField()->Messages()->GetItem(0)->GetText().toStdString() : "");
}

TEST_F(FileConnections, DisablingOrClearingTheFileDisconnectsAndUndoConnectsAgain) {
    TUndoRedo history;
    a->SetUndoRedo(&history);
    AddText(b, QStringLiteral("X"));
    TElement_FileConnection* lib = AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    TSchemeOperation::Execute(MakeNode<TVisualElementDisableOperation>(lib, true));
    EXPECT_EQ(lib->ConnectionToFile()->Target(), nullptr);
    history.Undo();
    EXPECT_TRUE(lib->ConnectionToFile()->Target());
    lib->FileNameField()->ClearText();
    EXPECT_EQ(lib->ConnectionToFile()->Target(), nullptr);
    history.Undo();
    EXPECT_TRUE(lib->ConnectionToFile()->Target());
    a->SetUndoRedo(nullptr);
}

TEST_F(FileConnections, FileNameStoredBesideTheNameAndConnectedAgainOnLoad) {
    AddText(b, QStringLiteral("X"));
    AddConnection(a, QStringLiteral("Lib"), QStringLiteral("lib/b.prm"));
    const QString saved = SchemeText(a);
    EXPECT_TRUE(saved.contains(QStringLiteral("FileName=\"lib/b.prm\""))) << saved.toStdString();
    TScheme* loaded = files.Add(QStringLiteral("/work/a2.prm"));
    LoadSchemeKnot(loaded, KnotFromText(saved).get());
    EXPECT_TRUE(Knows(loaded, "Lib.X"));
}

TEST_F(FileConnections, TheFileOffersItsNameAsAutomaticNameAndAsksForTheDialogFiltersOfRootKinds) {
    TElement_FileConnection* lib = AddConnection(a, QString(), QString());
    auto* name = static_cast<TFileConnectionNameField*>(lib->NameField());
    EXPECT_FALSE(name->CanAutoName());
    lib->FileNameField()->SetText(QStringLiteral("lib/b.prm"));
    EXPECT_TRUE(name->CanAutoName());
    EXPECT_EQ(name->GetAutoName(), QStringLiteral("b"));

    static const TTestKind kinds[] = {{QStringLiteral("FileKind"), 1},
                                      {QStringLiteral("NotAFile"), 0, true, false, TElement_TestContainer::StaticClass()}};
    for (const TTestKind& kind : kinds) RegisterSchemeDescriptor(kind);
    TFileFilters filters;
    EXPECT_TRUE(lib->FileNameField()->SendNodeMessage(nmFileDialogFilters, reinterpret_cast<intptr_t>(&filters)));
    const QStringList texts = FilterTexts(filters);
    EXPECT_TRUE(texts.contains(QStringLiteral("filekind=FileKind")));
    EXPECT_FALSE(texts.contains(QStringLiteral("notafile=NotAFile")));
}

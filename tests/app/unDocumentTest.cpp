// Scheme documents of the program kind: the sheets made on the first
// activation, the view state kept in the recent files, saving with backup,
// failed saves, and the documents of connected files, opened once and
// released when no scheme depends on them.

#include "app/unDocument.h"
#include "core/baAppCmpns.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "elements/coValueElements.h"
#include "elements/diLog.h"
#include "elements/diNamingElements.h"
#include "pascal/elements/prScheme.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "support/testCases.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testFailingFiles.h"
#include "support/testFiles.h"
#include "support/testRaise.h"
#include "support/testStop.h"
#include "support/testVisualElements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TTextorElement* RootText(TSchemeDocument& document) { return static_cast<TTextorElement*>(document.Scheme()->Root()); }

// The file connections of a document's scheme, in text order.
QList<TElement_FileConnection*> Connections(TSchemeDocument& document) {
    QList<TElement_FileConnection*> found;
    for (TNode* node : PreOrder<TNode>(document.Scheme()->Root()))
        if (auto* connection = dynamic_cast<TElement_FileConnection*>(node)) found << connection;
    return found;
}

class SchemeDocumentTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    std::unique_ptr<TSchemeDocument> NewDocument(TConnectedDocuments* connected = nullptr) const {
        return std::make_unique<TSchemeDocument>(ProgramSchemeDescriptor(), settings.get(), connected);
    }
    // A program module at name whose file connections name the files given.
    void WriteModule(const QString& name, const QStringList& connected = {}) const {
        std::unique_ptr<TSchemeDocument> document = NewDocument();
        document->InitNew();
        for (const QString& file : connected) {
            auto* connection = static_cast<TElement_FileConnection*>(
                RootText(*document)->AddElementOfClass(TElement_FileConnection::StaticClass()));
            connection->NameField()->SetText(QFileInfo(file).completeBaseName());
            connection->FileNameField()->SetValue(Path(file));
        }
        document->SaveAs(Path(name));
    }
    std::unique_ptr<TSchemeDocument> OpenModule(const QString& name, TConnectedDocuments* connected = nullptr) const {
        std::unique_ptr<TSchemeDocument> document = NewDocument(connected);
        document->Open(Path(name));
        return document;
    }
    // One undoable edit: a text element typed into the root.
    static void Edit(TSchemeDocument& document) {
        RootText(document)->InsertNewElement(TElement_Text::StaticClass(), nullptr, std::nullopt);
    }

    TEnglishTexts english;
    QTemporaryDir dir;
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
};

TEST_F(SchemeDocumentTest, FirstActivationMakesBothSheetsWithTheRootsInsideThePaddingOnceReadOnlyFollows) {
    std::unique_ptr<TSchemeDocument> document = NewDocument();
    document->InitNew();
    document->Scheme()->SetReadOnly(true);
    EXPECT_EQ(document->MainSheet(), nullptr);
    EXPECT_EQ(document->LogSheet(), nullptr);
    EXPECT_EQ(document->GetDisplayName(), ProgramSchemeDescriptor().GetUntitledName());
    EXPECT_EQ(document->Scheme()->Name(), QStringLiteral("ProgramModule"));
    EXPECT_EQ(document->Scheme()->UndoRedo(), &document->UndoRedo());
    EXPECT_EQ(document->Scheme()->Messages(), &document->LogRoot()->Messages());

    document->SetActive(true);
    TSheet* main = Found(document->MainSheet(), "the main sheet");
    TSheet* log = Found(document->LogSheet(), "the log sheet");
    ASSERT_EQ(document->Sheets().size(), 1u);
    EXPECT_EQ(document->Sheets()[0].get(), main);
    for (auto [sheet, tree] : {std::pair<TSheet*, TElement*>{main, document->Scheme()->Root()},
                               std::pair<TSheet*, TElement*>{log, document->LogRoot()}}) {
        auto* shown = static_cast<TVisualElement*>(tree);
        EXPECT_EQ(sheet->ShownTree(), shown);
        const TRect padding = sheet->Root()->GetPadding();
        EXPECT_EQ(shown->Left(), padding.Left);
        EXPECT_EQ(shown->Top(), padding.Top);
    }
    EXPECT_NE(main->Focused(), nullptr) << "the kind puts the caret into a new document";
    EXPECT_TRUE(log->ReadOnly());
    EXPECT_TRUE(main->ReadOnly()) << "set before the sheet existed";
    document->Scheme()->SetReadOnly(false);
    EXPECT_FALSE(main->ReadOnly());
    EXPECT_TRUE(log->ReadOnly()) << "the log stays read-only";

    document->SetActive(false);
    document->SetActive(true);
    EXPECT_EQ(document->MainSheet(), main) << "made once";
    EXPECT_EQ(document->LogSheet(), log);
}

TEST_F(SchemeDocumentTest, FileKindsAreFoundByExtensionRegardlessOfCase) {
    for (const CaseRow& c : LoadCases("app/document.txt", "Kinds")) {
        const TSchemeDescriptor* kind = FindSchemeDescriptor(c["FileName"]);
        EXPECT_EQ(kind ? kind->GetKindName() : QStringLiteral("none"), c["Kind"]) << c.Text();
    }
    WriteModule("Upper.PRM");
    TConnectedDocuments connected(settings.get());
    EXPECT_NE(connected.GetConnectedSchemeDocument(Path("Upper.PRM")), nullptr) << "\"PRM\" opens as \"prm\"";
}

// ---------------------------------------------------------------------------
// The view state in the recent files

class SchemeDocumentStateTest : public SchemeDocumentTest {
protected:
    SchemeDocumentStateTest() : docs(&form) {
        recent.SetSessionFile(&session);
        docs.SetRecentFiles(&recent);
        docs.OnCreateDocument = [this](int) { return NewDocument(); };
    }
    QString StoredState(const QString& name) const {
        TKnot* record = recent.FindFile(Path(name));
        return record ? StateOf(record) : QStringLiteral("(none)");
    }
    // The record's "SheetData" as name=value pairs.
    static QString StateOf(TKnot* record) {
        TKnot* state = record->FindChild(u"SheetData");
        if (!state) return QStringLiteral("(none)");
        QStringList pairs;
        for (TKnotParam* param = state->Params(); param; param = param->Next())
            pairs << param->Name() + QLatin1Char('=') + param->Value();
        return pairs.join(QLatin1Char(' '));
    }
    // Opens the module and puts the caret into its first file connection's name.
    TSchemeDocument* OpenAndFocus(const QString& name) {
        auto* document = static_cast<TSchemeDocument*>(docs.OpenFile(Path(name)));
        TElement_FileConnection* connection = Found(Connections(*document).value(0), "a file connection");
        connection->NameField()->SetFocus(QStringLiteral("0,2,0,2"));
        document->MainSheet()->SetScreenPosition(QPoint(0, 7));
        return document;
    }

    QWidget form;
    TSessionFile session;
    TRecentFiles recent;
    TDocumentor docs;  // goes first
};

// Closing writes the state into a fresh record; opening restores it and
// takes the record out. A document never activated gives back what it read;
// one with steps to undo writes no state.
TEST_F(SchemeDocumentStateTest, FocusAndScrollComeBackWrittenBackUnchangedWithoutSheetsNotWrittenWithUndoSteps) {
    WriteModule("lib.prm");
    WriteModule("a.prm", {"lib.prm"});
    TSchemeDocument* a = OpenAndFocus("a.prm");
    QString focusData;
    a->MainSheet()->Focused()->GetFocusData(focusData);
    const QString focusedClass = a->MainSheet()->Focused()->ClassName();
    docs.CloseActive();
    const QString stored = StoredState("a.prm");
    ASSERT_NE(stored, QStringLiteral("(none)"));

    std::unique_ptr<TSchemeDocument> quiet = OpenModule("a.prm");
    quiet->RestoreState(recent.FindFile(Path("a.prm")));
    TNodePtr<TKnot> record = TKnot::Create(QStringLiteral("File"));
    record->FindOrAddChild(QStringLiteral("SheetData"))->WriteStr(QStringLiteral("Old"), QStringLiteral("1"));
    quiet->StoreState(record.get());
    EXPECT_EQ(StateOf(record.get()), stored) << "replaced by what it read";

    a = static_cast<TSchemeDocument*>(docs.OpenFile(Path("a.prm")));
    EXPECT_EQ(recent.FindFile(Path("a.prm")), nullptr) << "open files are not listed";
    TVisualElement* focused = Found(a->MainSheet()->Focused(), "the restored focus");
    EXPECT_EQ(focused->ClassName(), focusedClass);
    QString restored;
    focused->GetFocusData(restored);
    EXPECT_EQ(restored, focusData);
    EXPECT_EQ(a->MainSheet()->ScreenPos().y(), 7);

    Edit(*a);
    docs.CloseActive();
    EXPECT_EQ(StoredState("a.prm"), QStringLiteral("(none)")) << "a fresh record keeps no state of unsaved steps";
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(SchemeDocumentTest, ASaveBacksUpAsDotTildePrmAFailedOneLosesNothingAndKeepsTheSchemesFileName) {
    WriteModule("a.prm");
    const QByteArray old = Read("a.prm");
    std::unique_ptr<TSchemeDocument> document = OpenModule("a.prm");
    EXPECT_FALSE(document->Modified());
    Edit(*document);
    EXPECT_TRUE(document->Modified());
    {
        TFailingFiles files;
        TInstaller<TFileLayer> installFiles{&files};
        files.failAt = TFailingFiles::AtRename;
        EXPECT_EQ(RaisedId([&] { document->SaveAs(Path("b.prm")); }), strCannotCreateFile);
    }
    EXPECT_EQ(document->FileName(), Path("a.prm"));
    EXPECT_EQ(document->Scheme()->FileName(), Path("a.prm")) << "relative paths stay relative to a.prm";
    EXPECT_TRUE(document->Modified());
    EXPECT_EQ(Read("a.prm"), old);
    EXPECT_FALSE(QFile::exists(Path("b.prm")));

    document->Save(true);
    EXPECT_FALSE(document->Modified());
    EXPECT_EQ(Read("a.~prm"), old);
    EXPECT_NE(Read("a.prm"), old);
}

// ---------------------------------------------------------------------------
// Connected files

class ConnectedDocumentsTest : public SchemeDocumentTest {
protected:
    TConnectedDocuments connected{settings.get()};
};

TEST_F(ConnectedDocumentsTest, AConnectedFileOpensOnceAndGoesWhenNothingDependsOnIt) {
    WriteModule("lib.prm");
    WriteModule("a.prm", {"lib.prm"});
    std::unique_ptr<TSchemeDocument> a = OpenModule("a.prm", &connected);
    std::unique_ptr<TSchemeDocument> again = OpenModule("a.prm", &connected);
    ASSERT_EQ(connected.Count(), 1);
    TSchemeDocument* lib = Found(connected.Document(Path("lib.prm")), "the connected document");
    auto* libRoot = static_cast<TRoot*>(lib->Scheme()->Root());
    for (TSchemeDocument* document : {a.get(), again.get()}) {
        TElement_FileConnection* connection = Found(Connections(*document).value(0), "a file connection");
        EXPECT_EQ(connection->ConnectionToFile()->Target(), libRoot->GeneralNamespace());
        EXPECT_FALSE(connection->ConnectFailed());
    }
    EXPECT_EQ(lib->MainSheet(), nullptr) << "never shown";

    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Count(), 1);
    a.reset();
    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Count(), 1) << "the second document still depends on it";
    again.reset();
    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Count(), 0);
}

// a connects c, then b; b connects c as well: c, listed first, can only go
// after b, so the release starts over after each document it frees.
TEST_F(ConnectedDocumentsTest, ReleasingStartsOverUntilTheFilesOnlyConnectedFilesDependedOnAreGone) {
    WriteModule("c.prm");
    WriteModule("b.prm", {"c.prm"});
    WriteModule("a.prm", {"c.prm", "b.prm"});
    std::unique_ptr<TSchemeDocument> a = OpenModule("a.prm", &connected);
    ASSERT_EQ(connected.Count(), 2);
    a.reset();
    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Count(), 0);
}

TEST_F(ConnectedDocumentsTest, AFileThatCannotBeOpenedOrHasNoKindGivesNilKeepsItsNameAndShowsOnTheConnection) {
    WriteModule("a.prm", {"missing.prm", "notes.txt"});
    ASSERT_TRUE(WriteTestFile(Path("notes.txt"), "text"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.prm")));
    for (auto [name, id] : {std::pair{"missing.prm", strFileNotFound}, std::pair{"folder.prm", strCannotReadFile}}) {
        EXPECT_EQ(RaisedId([&] { connected.GetConnectedSchemeDocument(Path(name)); }), id) << name;
        EXPECT_TRUE(connected.Holds(Path(name)));
        EXPECT_EQ(connected.Document(Path(name)), nullptr);
        EXPECT_EQ(connected.GetConnectedSchemeDocument(Path(name)), nullptr) << "asked once";
    }

    std::unique_ptr<TSchemeDocument> a = OpenModule("a.prm", &connected);
    const QList<TElement_FileConnection*> connections = Connections(*a);
    ASSERT_EQ(connections.size(), 2);
    EXPECT_EQ(connections[0]->ConnectionToFile()->Target(), nullptr);
    EXPECT_FALSE(connections[0]->ConnectFailed()) << "listed without a document: nil, no error";
    EXPECT_EQ(connections[1]->ConnectionToFile()->Target(), nullptr);
    EXPECT_FALSE(connections[1]->ConnectFailed()) << "a file of no kind is no error";
    EXPECT_TRUE(connected.Holds(Path("notes.txt")));
    EXPECT_EQ(connected.Count(), 3);
    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Count(), 0) << "names without a document go at the next release";

    a = OpenModule("a.prm", &connected);  // asked again, while opening
    EXPECT_TRUE(Connections(*a).value(0)->ConnectFailed());
    EXPECT_TRUE(Connections(*a).value(0)->ConnectError().contains(QStringLiteral("missing.prm")));
}

// Two files that connect each other: the one asked first is still opening
// when the other asks for it, which gets nil, so neither opens the other again.
TEST_F(ConnectedDocumentsTest, FilesConnectingEachOtherOpenOnceAndAreFreedWithTheList) {
    WriteModule("b.prm", {"a.prm"});
    WriteModule("a.prm", {"b.prm"});
    for (bool released : {true, false}) {
        auto list = std::make_unique<TConnectedDocuments>(settings.get());
        TScheme* b = list->GetConnectedSchemeDocument(Path("b.prm"));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(list->Count(), 2);
        TSchemeDocument* a = Found(list->Document(Path("a.prm")), "a");
        EXPECT_EQ(Connections(*a).value(0)->ConnectionToFile()->Target(), nullptr);
        EXPECT_TRUE(a->Scheme()->HasDependentSchemes());
        EXPECT_FALSE(b->HasDependentSchemes());
        if (released) {
            list->ReleaseUnusedConnectedDocuments();
            EXPECT_EQ(list->Count(), 0);
        }
        list.reset();  // ASan: nothing left behind, no connection left dangling
    }
}

// A chain of files, each connecting the next, opens one file inside the
// other: past the depth the list allows, the file asked for raises, and the
// connection that asked shows why, instead of the stack running out.
TEST_F(ConnectedDocumentsTest, AChainOfConnectedFilesDeeperThanTheLimitStopsWithAnErrorOnTheLastConnection) {
    constexpr int kFiles = TConnectedDocuments::kMaxOpeningDepth + 2;
    auto name = [](int i) { return QStringLiteral("m%1.prm").arg(i); };
    for (int i = 0; i < kFiles; ++i) WriteModule(name(i), i + 1 < kFiles ? QStringList{name(i + 1)} : QStringList{});
    ASSERT_NE(connected.GetConnectedSchemeDocument(Path(name(0))), nullptr);
    const int last = TConnectedDocuments::kMaxOpeningDepth - 1;
    TSchemeDocument* deepest = Found(connected.Document(Path(name(last))), "the deepest file opened");
    TElement_FileConnection* connection = Found(Connections(*deepest).value(0), "its connection");
    EXPECT_TRUE(connection->ConnectFailed());
    EXPECT_TRUE(connection->ConnectError().contains(name(last + 1))) << connection->ConnectError().toStdString();
    EXPECT_TRUE(connected.Holds(Path(name(last + 1))));
    EXPECT_EQ(connected.Document(Path(name(last + 1))), nullptr);
    EXPECT_FALSE(connected.Holds(Path(name(last + 2))));
    EXPECT_EQ(connected.Count(), TConnectedDocuments::kMaxOpeningDepth + 1);
}

}  // namespace

namespace {

// Where every shown element of a tree stands, in tree order.
QList<QRect> ShownBoxes(TElement* tree) {
    QList<QRect> boxes;
    for (TNode* node : PreOrder<TNode>(tree))
        if (auto* visual = dynamic_cast<TVisualElement*>(node); visual && visual->IsVisible())
            boxes << QRect(visual->Left(), visual->Top(), visual->Width(), visual->Height());
    return boxes;
}

// Regression: a named element's public/private notification had the name of
// the notification that an element was shown and replaced it, so a field or
// routine shown after it joined the sheet never showed its name, type or
// parameters (empty boxes until a refresh laid everything out again).
TEST_F(SchemeDocumentTest, RegressionNamedMembersOfAnOpenedModuleShowedNothingUntilARefresh) {
    std::unique_ptr<TSchemeDocument> document = NewDocument();
    document->Open(QStringLiteral(QUILLANE_TEST_DATA "/pascal/modules/Objects.prm"));
    document->SetActive(true);
    const QList<QRect> opened = ShownBoxes(document->Scheme()->Root());
    document->MainSheet()->Settings()->SendNodeMessage(1);  // a refresh
    EXPECT_EQ(opened, ShownBoxes(document->Scheme()->Root()));
    for (TNode* node : PreOrder<TNode>(document->Scheme()->Root()))
        if (auto* name = dynamic_cast<TNameField*>(node); name && name->IsVisible() && !name->GetText().isEmpty()) {
            EXPECT_GT(name->Width(), 0) << name->GetText().toStdString();
        }
}

}  // namespace

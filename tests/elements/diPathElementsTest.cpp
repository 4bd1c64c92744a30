// Folder and file-name elements: the relative form against the scheme's
// folder list and file, resolving stored values (also written with "\"),
// a scheme moved with its folder, the checks, undo of value, show and store,
// the shell and dialog calls (the filters of node message 250), the icons
// only on a sheet, and a double click that never starts a program.

#include "elements/diPathElements.h"

#include "core/baAppCmpns.h"
#include "core/cuKnot.h"
#include "platform/plClipboard.h"
#include "platform/plDialogs.h"
#include "platform/plFileIcons.h"
#include "platform/plShell.h"
#include "scheme/diUtils.h"
#include "support/testCases.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testVisualElements.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A file-connection stand-in: a file-name field stored in its node, whose
// open dialog gets two filters through node message 250.
class TElement_PathFileOwner : public TVisualElement {
    T_ELEMENT_CLASS(TElement_PathFileOwner)
public:
    TFileNameField* Field = nullptr;
    void Create() override {
        TVisualElement::Create();
        Field = static_cast<TFileNameField*>(
            TVisualElement::CreateSubElement(TFileNameField::StaticClass(), this, nullptr, this));
    }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override {
        if (msg != nmGetFileDialogFilters) return TVisualElement::HandleChildMessage(child, msg, p1, p2);
        auto* filters = reinterpret_cast<TFileFilters*>(p1);
        filters->AddFilter(QStringLiteral("prm"), QStringLiteral("Program Module"));
        filters->AddFilter(QStringLiteral("pas"), QStringLiteral("Pascal Unit"));
        return true;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_PathFileOwner, TVisualElement)

// A box that also holds path elements and file owners.
class TElement_PathHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_PathHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        TElement_TestBox::FillAcceptedClasses(list);
        list << TElement_Path::StaticClass() << TElement_FileName::StaticClass()
             << TElement_PathFileOwner::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_PathHolder, TElement_TestBox)

namespace {

int g_pathBeeps = 0;

class PathElements : public ::testing::Test, public TSheetFixture {
protected:
    PathElements() : TSheetFixture(TElement_PathHolder::StaticClass()) {}
    ~PathElements() override { InstallBeep(m_previousBeep); }

    template <class T>
    T* Add(const QString& value = {}) {
        T* element = TElement::CreateIn<T>(scheme.get(), root);
        element->SetVisualParent(root);
        element->SetValue(value);
        Layout();
        return element;
    }
    QString File(const QString& name, const QByteArray& content = "text\n") {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(WriteTestFile(path, content)) << name.toStdString();
        return path;
    }
    // The path elements under the scheme's root, in order.
    static QList<TCustomPathOrFileNameElement*> PathChildren(TScheme* target) {
        QList<TCustomPathOrFileNameElement*> found;
        for (TNode* n = target->Root()->FirstChild(); n; n = n->NextSibling())
            if (auto* e = dynamic_cast<TCustomPathOrFileNameElement*>(n)) found << e;
        return found;
    }
    // Loads a stored text into the scheme; its path elements afterwards.
    QList<TCustomPathOrFileNameElement*> Load(TScheme* target, const QString& text) {
        LoadSchemeKnot(target, KnotFromText(text).get());
        return PathChildren(target);
    }
    static QString MessageText(TElement* element) {
        return element->Messages() ? element->Messages()->GetItem(0)->GetText() : QString();
    }

    TEnglishTexts english;
    QTemporaryDir dir;
    TFakeShell shell;
    TShellInstaller shellInstalled{&shell};
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsInstalled{&dialogs};
    TFakeClipboard clipboard;
    TClipboardInstaller clipboardInstalled{&clipboard};
    TBeepFunction m_previousBeep = InstallBeep([] { ++g_pathBeeps; });
};

TEST_F(PathElements, RelativeFormFromTheLastListedFolderHoldingTheValueElseTheSchemeFile) {
    auto* file = Add<TElement_FileName>();
    auto* path = Add<TElement_Path>();
    for (const CaseRow& c : LoadCases("elements/paths.txt", "RelativeForm")) {
        TCustomPathOrFileNameElement* element = c.kind == "Folder" ? static_cast<TCustomPathOrFileNameElement*>(path) : file;
        scheme->SetFileName(c["Scheme"]);
        scheme->Strings() = BracketedList(c["List"]);
        element->SetValue(c["Value"]);
        EXPECT_EQ(element->DisplayedText(), c["Relative"]) << c.Text();
        element->SetShowAbsolute(true);
        EXPECT_EQ(element->DisplayedText(), element->Value()) << c.Text();
        element->SetShowAbsolute(false);
    }
}

TEST_F(PathElements, StoredValuesResolveBesideTheSchemeThenFromTheLastListedFolderAndMoveWithTheScheme) {
    const QString file = File("A/Lib/a.prm");
    File("X/c.prm"), File("Y/c.prm");
    scheme->SetFileName(dir.filePath("A/s.prm"));
    scheme->Strings() = QStringList{dir.filePath("X"), dir.filePath("Y/")};
    const auto loaded = Load(scheme.get(), "<TestModule><FileName Value=\"Lib\\a.prm\"/><Path Value=\".\\Lib\"/>"
                                           "<Path Value=\"Gone\"/><FileName Value=\"c.prm\"/></TestModule>");
    ASSERT_EQ(loaded.size(), 4);
    EXPECT_EQ(loaded[0]->Value(), file);  // beside the scheme: the list is not asked
    EXPECT_EQ(loaded[1]->Value(), dir.filePath("A/Lib/"));
    EXPECT_EQ(loaded[2]->Value(), dir.filePath("A/Gone/"));  // missing everywhere: beside the scheme
    EXPECT_EQ(loaded[3]->Value(), dir.filePath("Y/c.prm"));  // the last listed folder that holds it
    EXPECT_TRUE(loaded[0]->HasNoErrors() && loaded[1]->HasNoErrors());
    const QString text = SchemeText(scheme.get());
    EXPECT_TRUE(text.contains("<FileName Value=\"Lib/a.prm\"/>") && text.contains("<Path Value=\"./Lib/\"/>"));
    loaded[2]->Free(), loaded[3]->Free();
    loaded[0]->SetStoreAbsolute(true);  // stored as it is, as by filers that keep paths
    EXPECT_TRUE(SchemeText(scheme.get()).contains("<FileName StoreAbsolute=\"1\" Value=\"" + file + "\"/>"));
    loaded[0]->SetStoreAbsolute(false);

    scheme->SaveToFile(dir.filePath("A/s.prm"));
    ASSERT_TRUE(QDir(dir.path()).rename("A", "B"));
    TScheme moved(TElement_PathHolder::StaticClass(), QStringLiteral("TestModule"));
    moved.LoadFromFile(dir.filePath("B/s.prm"));
    const auto reloaded = PathChildren(&moved);
    ASSERT_EQ(reloaded.size(), 2);
    EXPECT_EQ(reloaded[0]->Value(), dir.filePath("B/Lib/a.prm"));
    EXPECT_EQ(reloaded[1]->Value(), dir.filePath("B/Lib/"));
}

TEST_F(PathElements, MissingTargetsAndPastedWordsReport2693And2700WithTheValue) {
    auto* path = Add<TElement_Path>(dir.filePath("nowhere"));
    auto* file = Add<TElement_FileName>();
    clipboard.SetText(QStringLiteral("not a path"));
    const QString workingFolder = QDir::currentPath();
    QDir::setCurrent(QFileInfo(File("not a path")).path());  // no target in the working folder
    EXPECT_TRUE(file->Paste());
    QDir::setCurrent(workingFolder);
    EXPECT_EQ(MessageText(path), "Path does not exist: " + dir.filePath("nowhere/"));
    EXPECT_EQ(MessageText(file), QStringLiteral("File does not exist: not a path"));
    ASSERT_NE(file->Messages(), nullptr);
    EXPECT_EQ(file->Messages()->GetItem(0)->Kind(), mkInvalidContent);
    file->ChangeValue(File("real.prm"));
    path->ChangeValue(dir.path());
    EXPECT_TRUE(file->HasNoErrors() && path->HasNoErrors());
    file->DeleteContent();
    ASSERT_NE(file->Messages(), nullptr);
    EXPECT_EQ(file->Messages()->GetItem(0)->Kind(), mkValueRequired);
}

TEST_F(PathElements, UndoAndRedoOfValueShowAndStoreThroughThePalette) {
    scheme->SetFileName(dir.filePath("s.prm"));
    auto* file = Add<TElement_FileName>(dir.filePath("Lib/a.prm"));
    const TPathPaletteItems& items = PathPaletteItems();
    auto state = [&] { return std::make_tuple(file->Value(), file->ShowAbsolute(), file->StoreAbsolute(), file->Width()); };
    std::vector<decltype(state())> states{state()};
    // The repeated choice is no step: five undos empty the history.
    for (TSchemePaletteItem* item : {items.ShowAbsolute, items.StoreAbsolute, items.StoreAbsolute, items.ShowRelative,
                                     items.StoreRelative}) {
        EXPECT_TRUE(file->ApplyItem(item, QString(), true));
        if (state() != states.back()) states.push_back(state());
    }
    file->ChangeValue(dir.filePath("b.prm"));
    states.push_back(state());
    ASSERT_EQ(states.size(), 6u);
    for (size_t i = states.size() - 1; i > 0; --i) {
        history.Undo();
        EXPECT_TRUE(state() == states[i - 1]) << i;
    }
    EXPECT_FALSE(history.CanUndo());
    for (size_t i = 1; i < states.size(); ++i) {
        history.Redo();
        EXPECT_TRUE(state() == states[i]) << i;
    }

    // A deleted element comes back from its snapshot as the same file after a save elsewhere.
    TSchemeOperation::Execute(MakeNode<TTestDeleteOperation>(file));
    scheme->SetFileName(dir.filePath("B/s.prm"));
    history.Undo();
    ASSERT_EQ(PathChildren(scheme.get()).size(), 1);
    EXPECT_EQ(PathChildren(scheme.get())[0]->Value(), dir.filePath("b.prm"));
}

TEST_F(PathElements, ASchemeForcingAbsolutePathsShowsAndStoresThemAbsoluteWithoutTheItems) {
    scheme->SetFileName(dir.filePath("s.prm"));
    auto* file = Add<TElement_FileName>(dir.filePath("Lib/a.prm"));
    const TPathPaletteItems& items = PathPaletteItems();
    auto stored = [&] {
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("FileName"));
        file->SaveToKnot(knot.get(), fmFile, 0);
        return knot->ReadStr(QStringLiteral("Value"));
    };
    auto offered = [&] {
        QList<TPaletteItem*> list;
        file->GetPaletteItems(list);
        return int(list.contains(items.ShowAbsolute)) + list.contains(items.ShowRelative) +
               list.contains(items.StoreAbsolute) + list.contains(items.StoreRelative);
    };
    EXPECT_EQ(file->DisplayedText(), QStringLiteral("Lib/a.prm"));
    EXPECT_EQ(stored(), QStringLiteral("Lib/a.prm"));
    EXPECT_EQ(offered(), 4);

    scheme->SetFlags(sfForceAbsolutePaths);
    EXPECT_EQ(file->DisplayedText(), file->Value());
    EXPECT_EQ(stored(), file->Value());
    EXPECT_EQ(offered(), 0);
    EXPECT_FALSE(file->ShowAbsoluteChosen()) << "the element's own choice stays";
    scheme->SetFlags(0);
    EXPECT_EQ(stored(), QStringLiteral("Lib/a.prm"));
}

TEST_F(PathElements, ShellAndDialogCallsOfTheItemsWithTheFiltersOfMessage250) {
    const QString document = File("Lib/a.prm");
    scheme->SetFileName(dir.filePath("s.prm"));
    auto* path = Add<TElement_Path>();
    auto* owner = TElement::CreateIn<TElement_PathFileOwner>(scheme.get(), root);
    owner->SetVisualParent(root);
    TFileNameField* field = owner->Field;
    const TPathPaletteItems& items = PathPaletteItems();

    dialogs.FolderAnswer = dir.filePath("Lib");
    path->ApplyItem(items.ChooseFolder, QString(), true);
    EXPECT_EQ(dialogs.FolderTitleAsked, QStringLiteral("Choosing Path"));
    EXPECT_EQ(dialogs.FolderAsked, dir.path() + "/");  // empty: the scheme's folder
    EXPECT_EQ(path->Value(), dir.filePath("Lib/"));
    path->Focus();
    EXPECT_EQ(Key(vkReturn), vkNone);  // filled without errors: opened

    dialogs.FileAnswers.push_back(QStringList{document});
    field->ApplyItem(items.ChooseFile, QString(), true);
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.FileDialogs[0].Params.Filter,
              "Program Module (*.prm)|*.prm|Pascal Unit (*.pas)|*.pas|All Files (*.*)|*.*");
    EXPECT_EQ(dialogs.FileDialogs[0].Params.FileName, QString());
    EXPECT_EQ(field->Value(), document);
    field->ApplyItem(items.ChooseFile, QString(), true);  // cancelled: starts at the existing file
    EXPECT_EQ(dialogs.FileDialogs[1].Params.FileName, document);
    field->ApplyItem(items.Location, QString(), true);
    field->ApplyItem(items.OpenFile, QString(), true);
    EXPECT_EQ(shell.Calls, QStringList({"Execute|" + dir.filePath("Lib/") + "||", "ShowItem|" + document,
                                        "Execute|" + document + "||"}));
    EXPECT_TRUE(SchemeText(scheme.get()).contains("<PathFileOwner Field=\"Lib/a.prm\"/>"));
}

TEST_F(PathElements, ADoubleClickOnACraftedSchemeNeverStartsAProgram) {
    // name, content, executable, whether the file itself (else its folder) is opened
    const std::tuple<const char*, QByteArray, bool, bool> cases[] = {
        {"notes.txt", "plain words\n", false, true},
        {"run.sh", "#!/bin/sh\necho hi\n", true, false},
        {"launch.desktop", "[Desktop Entry]\nType=Application\nExec=true\n", false, false},
        {"setup.msi", QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8), false, false},  // an installer package
    };
    for (const auto& [name, content, executable, opensFile] : cases) {
        for (TCustomPathOrFileNameElement* old : PathChildren(scheme.get())) old->Free();
        const QString path = File(name, content);
        if (executable) QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        const auto loaded = Load(scheme.get(), "<TestModule><FileName Value=\"" + path + "\"/></TestModule>");
        ASSERT_EQ(loaded.size(), 1);
        Layout();
        shell.Calls.clear();
        sheet.MouseDown(loaded[0]->ClientToSheet(QPoint(2, 2)), mbLeft, 0, 2);
        EXPECT_EQ(shell.Calls, QStringList{"Execute|" + (opensFile ? path : dir.path()) + "||"}) << name;
    }
    const int beeps = g_pathBeeps;
    sheet.SetReadOnly(true);
    Add<TElement_FileName>()->DoubleClick();  // nothing to open and nothing to choose
    EXPECT_EQ(g_pathBeeps, beeps + 1);
    EXPECT_TRUE(dialogs.FileDialogs.empty());
}

TEST_F(PathElements, IconsOnlyForElementsOnASheetAndAFileNameChangeRemeasures) {
    TFakeFileIcons icons;
    icons.ByExtension["pathicon"] = QImage(16, 16, QImage::Format_ARGB32_Premultiplied);
    TFileIconsInstaller iconsInstalled(&icons);
    auto* shown = Add<TElement_FileName>(dir.filePath("x/a.pathicon"));
    auto* hidden = TElement::CreateIn<TElement_FileName>(scheme.get(), root);
    hidden->SetValue(dir.filePath("x/b.pathicon"));
    EXPECT_EQ(hidden->GetImageIndex(), -1);
    EXPECT_EQ(icons.Asked, QStringList{dir.filePath("x/a.pathicon")});
    ASSERT_GE(shown->GetImageIndex(), 0);
    const int withIcon = shown->Width();
    shown->SetValue(dir.filePath("x/a.other"));
    EXPECT_LT(shown->Width(), withIcon - SchemeCharImages().Width());
    const int absoluteWidth = shown->Width();  // unsaved: the relative form is the value
    scheme->SetFileName(dir.filePath("x/s.prm"));
    EXPECT_LT(shown->Width(), absoluteWidth);
}

}  // namespace

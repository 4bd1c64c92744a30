// Visual storage: "Disabled", "Left" and "Top", embedded elements made from
// stored nodes, legacy node names and nodes of unknown kinds.

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "scheme/diUnaccepted.h"
#include "support/testCaseRows.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testRaise.h"
#include "support/testVisualElements.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Stands for the object kind that old files stored as "Class".
class TElement_Object : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_Object)
};
T_ELEMENT_CLASS_IMPL(TElement_Object, TElement_TestBox)

// A kind whose loading fails.
class TElement_Broken : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_Broken)
public:
    void LoadFrom(TSchemeLoader*, TKnot*) override { throw Exception(QStringLiteral("broken")); }
};
T_ELEMENT_CLASS_IMPL(TElement_Broken, TElement_TestBox)

// A box that also accepts objects and the broken kind.
class TElement_HolderBox : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_HolderBox)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        TElement_TestBox::FillAcceptedClasses(list);
        list << TElement_Object::StaticClass() << TElement_Broken::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_HolderBox, TElement_TestBox)

// A level of nesting: one content child of its own kind and a part (a
// sub-element) that stands at its own level.
class TElement_NestBox : public TVisualElement {
    T_ELEMENT_CLASS(TElement_NestBox)
public:
    TElement_TestLeaf* Part = nullptr;
    void Create() override {
        TVisualElement::Create();
        Part = TElement::CreateSubElement<TElement_TestLeaf>(this);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << StaticClass(); }
    void GetChildName(TElement*, TSchemeFiler*, QString& name) override { name = QStringLiteral("Part"); }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TVisualElement::LoadFrom(loader, knot);
        TElementClassList classes;
        bool filled = false;
        if (TKnot* child = knot->FindChild(GetTypeName())) CreateChildFromNode(loader, child, nullptr, classes, filled);
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TVisualElement::SaveTo(saver, knot);
        if (auto* child = dynamic_cast<TElement*>(LastChild()); child && !child->IsSubElement())
            SaveChildToNode(saver, knot, child);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_NestBox, TVisualElement)

// A sheet showing a holder box.
class VisualStorage : public ::testing::Test, public TSheetFixture {
protected:
    VisualStorage() : TSheetFixture(TElement_HolderBox::StaticClass()) {}
};

TEST_F(VisualStorage, DisabledAndFreePositionAreWrittenAndReadAndFilerOptionsLeaveOutWhatTheyName) {
    TElement_TestBox* box = AddBox(root);
    box->SetVisualOptions(voCanDisable | voFreePosition);
    box->SetDisabled(true);
    box->SetPosition(17, 23);
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Box"));
    box->SaveToKnot(knot.get(), fmFile, 0);

    TElement_TestBox* copy = AddBox(root);
    copy->SetVisualOptions(voCanDisable | voFreePosition);
    copy->LoadFromKnot(knot.get(), fmFile, 0);
    EXPECT_TRUE(copy->IsDisabled());
    EXPECT_EQ(copy->ClientToSheet(QPoint(0, 0)) - root->ClientToSheet(QPoint(0, 0)), QPoint(17, 23));

    // Without 0x0001 "Disabled" is not read; with filer option 0x08 no position.
    TElement_TestBox* plain = AddBox(root);
    plain->SetVisualOptions(voFreePosition);
    plain->SetPosition(1, 2);
    plain->LoadFromKnot(knot.get(), fmFile, foNoPosition);
    EXPECT_FALSE(plain->IsDisabled());
    EXPECT_EQ(plain->Left(), 1);

    TNodePtr<TKnot> enabled = TKnot::Create(QStringLiteral("Box"));
    box->SetDisabled(false);
    box->SaveToKnot(enabled.get(), fmFile, foNoPosition);
    EXPECT_EQ(enabled->ParamCount(), 0);  // "Disabled" only when set

    // Filer options leave out the children they name.
    struct Case {
        uint8_t filerOptions;
        bool disabled;
        uint8_t elementOptions;
        bool accepted;
    } cases[] = {
        {0, true, eoComment | eoOmitWithFilerOption20, true},
        {foSkipDisabled, true, 0, false},
        {foSkipDisabled, false, 0, true},
        {foSkipComments, false, eoComment, false},
        {foSkipComments, false, eoOmitWithFilerOption20, true},
        {foSkipOption20, false, eoOmitWithFilerOption20, false},
        {foSkipOption20, false, eoComment, true},
    };
    for (const Case& c : cases) {
        TElement_TestBox* child = AddBox(box);
        child->SetDisabled(c.disabled);
        child->SetOptions(c.elementOptions);
        TSchemeSaver saver(fmFile, nullptr, c.filerOptions);
        EXPECT_EQ(box->AcceptsForFiler(&saver, child), c.accepted) << int(c.filerOptions);
    }
}

TEST_F(VisualStorage, LegacyNodeNamesMapToTheirCurrentKinds) {
    TSchemeLoader loader(scheme.get(), nullptr, nullptr, 0, fmFile);
    for (const QStringList& row : CaseRows("scheme/legacy-node-names.txt", 2)) {
        QString name = row[0];
        root->MapNodeName(&loader, nullptr, name);
        EXPECT_EQ(name.toStdString(), row[1].toStdString()) << row[0].toStdString();
    }
    loader.Finish();
}

// A node of the old object name loads as an object; an embedded element
// whose loading fails is freed and the error passes on.
TEST_F(VisualStorage, AClassNodeLoadsAsAnObjectAndAFailingOneIsFreed) {
    root->LoadFromKnot(KnotFromText("<TestModule>\r\n\t<Class Value=\"x\"/>\r\n</TestModule>\r\n").get(), fmFile, 0);
    auto* object = dynamic_cast<TElement_Object*>(root->FirstChild());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Value(), QStringLiteral("x"));
    EXPECT_EQ(messages.GetCount(), 0);

    const int before = scheme->ElementCount();
    TNodePtr<TKnot> broken = KnotFromText("<TestModule>\r\n\t<Broken/>\r\n</TestModule>\r\n");
    EXPECT_THROW(root->LoadFromKnot(broken.get(), fmFile, 0), Exception);
    EXPECT_EQ(scheme->ElementCount(), before);
}

TEST_F(VisualStorage, UnknownNodeIsKeptShownReportedAndWrittenBackUnchanged) {
    TEnglishTexts english;
    const QString unknown =
        "\t<Gadget Speed=\"12\" Name=\"a &quot;b&quot;\">\r\n\t\t<Part Kind=\"x\"/>\r\n\t</Gadget>\r\n";
    TNodePtr<TKnot> knot = KnotFromText("<TestModule>\r\n\t<TestBox Value=\"v\"/>\r\n" + unknown + "</TestModule>\r\n");
    root->LoadFromKnot(knot.get(), fmFile, 0);
    EXPECT_EQ(messages.GetCount(), 0) << "nothing reported unread";

    auto* kept = dynamic_cast<TElement_Unaccepted*>(root->LastChild());
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(kept->Messages(), nullptr);
    TElementMessage* m = kept->Messages()->GetItem(0);
    EXPECT_EQ(m->GetText(), QStringLiteral("Unsupported element \"Gadget\" in\u00A0this editor"));
    EXPECT_EQ(m->Segment(0).Value, QString::number(kept->Number()));
    EXPECT_GT(kept->Height(), kept->Lines().size() * 5);  // shown on the sheet
    TNodePtr<TKnot> saved = TKnot::Create(QStringLiteral("TestModule"));
    root->SaveToKnot(saved.get(), fmFile, foSchemeFile);
    EXPECT_TRUE(saved->SaveToString().contains(unknown));

    // A snapshot keeps it and restores it.
    TNodePtr<TKnot> snap = TKnot::Create(QStringLiteral("S"));
    kept->SaveToKnot(snap.get(), fmSnapshot, 0);
    auto* copy = TElement::CreateIn<TElement_Unaccepted>(scheme.get(), root);
    copy->LoadFromKnot(snap.get(), fmSnapshot, 0);
    EXPECT_EQ(copy->Lines(), kept->Lines());

    // Shown lines are cut and their tabs widened.
    EXPECT_EQ(TElement_Unaccepted::DisplayLine("a\tb"), QStringLiteral("a        b"));
    EXPECT_EQ(TElement_Unaccepted::DisplayLine(QString(150, QLatin1Char('x'))), QString(97, QLatin1Char('x')) + "...");
    EXPECT_EQ(TElement_Unaccepted::DisplayLine(QString(100, QLatin1Char('y'))).size(), 100);
}

// A file of boxes nested thousands deep overflowed the stack in the walks
// over the visual tree; such a file is now refused as corrupt.
TEST_F(VisualStorage, NestingDeeperThanTheLimitIsRefusedAsCorrupt) {
    auto nested = [](int depth) {
        return QStringLiteral("<TestModule>") + QStringLiteral("<TestBox>").repeated(depth) +
               QStringLiteral("</TestBox>").repeated(depth) + QStringLiteral("</TestModule>");
    };
    {
        auto scheme = MakeVisualTestScheme();
        TNodePtr<TKnot> knot = KnotFromText(nested(TSchemeLoader::MaxNesting));
        scheme->Root()->LoadFromKnot(knot.get(), fmFile, 0);
        int depth = 0;
        for (TNode* n = scheme->Root()->FirstChild(); n; n = n->FirstChild()) ++depth;
        EXPECT_EQ(depth, TSchemeLoader::MaxNesting);
    }
    auto scheme = MakeVisualTestScheme();
    const int before = scheme->ElementCount();
    TNodePtr<TKnot> knot = KnotFromText(nested(TSchemeLoader::MaxNesting + 1));
    EXPECT_EQ(RaisedId([&] { scheme->Root()->LoadFromKnot(knot.get(), fmFile, 0); }), strDataProvidedAreCorrupt);
    EXPECT_EQ(scheme->ElementCount(), before) << "what was made is freed";
}

// A tree deeper than the loader reads back was saved without complaint, and
// opening the file then kept only the root. Saving refuses it before writing
// and the old file stays; parts add no level.
TEST_F(VisualStorage, SavingRefusesATreeTheLoaderWouldRefuseAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("deep.prm");
    for (const int levels : {TSchemeLoader::MaxNesting, TSchemeLoader::MaxNesting + 1}) {
        SCOPED_TRACE(levels);
        TScheme scheme(TElement_NestBox::StaticClass(), QStringLiteral("TestModule"));
        auto* deepest = static_cast<TElement_NestBox*>(scheme.Root());
        for (int i = 0; i < levels; ++i) deepest = TElement::CreateIn<TElement_NestBox>(&scheme, deepest);
        deepest->Part->SetValue(QStringLiteral("deepest"));
        ASSERT_TRUE(WriteTestFile(path, "old"));
        if (levels > TSchemeLoader::MaxNesting) {
            EXPECT_EQ(RaisedId([&] { scheme.SaveToFile(path); }), strSchemeTooDeepToSave);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), "old");
            continue;
        }
        scheme.SaveToFile(path);
        TScheme loaded(TElement_NestBox::StaticClass(), QStringLiteral("TestModule"));
        loaded.LoadFromFile(path);
        EXPECT_EQ(SchemeText(&loaded), SchemeText(&scheme));
        EXPECT_EQ(loaded.DeepestNestingLevel(), levels);
    }
}

}  // namespace

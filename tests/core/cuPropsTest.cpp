#include "core/cuProps.h"

#include "core/cuKnot.h"
#include "support/testBroadcasts.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

namespace {

// A small settings tree (properties announce every change with code 1): section "Sheet" with a subsection "Print".
struct TSheetTree {
    TNodePtr<TProperty> root = TProperty::CreateRoot<TProperty>(QStringLiteral("Sheet"));
    TBooleanProperty* showHints = TProperty::Create<TBooleanProperty>(root.get(), QStringLiteral("ShowHints"), true);
    TIntegerProperty* scale = TProperty::Create<TIntegerProperty>(root.get(), QStringLiteral("Scale"), 100, 10, 400);
    TStringProperty* theme = TProperty::Create<TStringProperty>(root.get(), QStringLiteral("Theme"), QStringLiteral("Default"));
    TStringProperty* folder = TProperty::Create<TStringProperty>(root.get(), QStringLiteral("Folder"), QString());
    TEnumProperty* fontSize = TProperty::Create<TEnumProperty>(
        root.get(), QStringLiteral("FontSize"), QStringList{QString(), QStringLiteral("Large"), QStringLiteral("Great")});
    TProperty* print = TProperty::Create<TProperty>(root.get(), QStringLiteral("Print"));
    TIntegerProperty* printScale = TProperty::Create<TIntegerProperty>(print, QStringLiteral("Scale"), 100, 0, 0);
    TStringProperty* title = TProperty::Create<TStringProperty>(print, QStringLiteral("Title"), QString());
    TProperty* empty = TProperty::Create<TProperty>(root.get(), QStringLiteral("Empty"));
    TBooleanProperty* unused = TProperty::Create<TBooleanProperty>(empty, QStringLiteral("Unused"), false);
};

// A settings file root: flags 142, as the settings, session and recent-files files use.
TNodePtr<TKnot> SettingsFileRoot() {
    TNodePtr<TKnot> file = TKnot::Create(QStringLiteral("Quillane"));
    file->SetFlags(kfSettingsFile);
    return file;
}

TNodePtr<TKnot> Parse(const QString& text) {
    TNodePtr<TKnot> file = TKnot::Create();
    EXPECT_TRUE(file->LoadFromString(text)) << text.toStdString();
    return file;
}

}  // namespace

// (That new leaves start at their defaults shows below: setting them
// announces nothing, and the default tree saves no values.)
TEST(Props, ChangesAreAnnouncedByThePropertyAndEveryAncestorOnceOrAtTheEndOfABracket) {
    TSheetTree t;
    TBroadcastRecorder leaf(t.printScale), root(t.root.get());
    t.printScale->SetValue(100);  // the current values announce nothing
    t.showHints->SetValue(true);
    t.scale->SetValue(100);
    t.theme->SetValue(QStringLiteral("Default"));
    t.fontSize->SetIndex(0);
    EXPECT_EQ(root.Count(1), 0);
    t.printScale->SetValue(120);
    EXPECT_EQ(leaf.Count(1), 1);
    EXPECT_EQ(root.Count(1), 1);
    t.theme->SetValue(QStringLiteral("default"));
    EXPECT_EQ(root.Count(1), 2) << "strings compare exactly";
    // An update bracket holds the announcements until its outermost end.
    leaf.codes.clear();
    t.printScale->BeginUpdate();
    t.printScale->BeginUpdate();
    t.printScale->SetValue(200);
    t.printScale->SetValue(300);
    t.printScale->EndUpdate();
    EXPECT_EQ(leaf.Count(1), 0);
    t.printScale->EndUpdate();
    EXPECT_EQ(leaf.Count(1), 1);
    t.printScale->BeginUpdate();
    t.printScale->EndUpdate();
    EXPECT_EQ(leaf.Count(1), 2) << "the end of a bracket announces even when nothing changed";
}

TEST(Props, SettersClampIntoTheirRanges) {
    for (const CaseRow& c : LoadCases("core/props.txt", "Clamp")) {
        const TNodePtr<TIntegerProperty> p =
            TProperty::CreateRoot<TIntegerProperty>(QStringLiteral("I"), 0, c.Int("Min"), c.Int("Max"));
        p->SetValue(c.Int("Set"));
        EXPECT_EQ(p->Value(), c.Int("Stored")) << c.Text();
    }
    TSheetTree t;
    t.fontSize->SetIndex(9);
    EXPECT_EQ(t.fontSize->Value(), 2);
    t.fontSize->SetIndex(-3);
    EXPECT_EQ(t.fontSize->Value(), 0);
    // an enumeration starts at its empty name
    const TNodePtr<TEnumProperty> lateDefault =
        TProperty::CreateRoot<TEnumProperty>(QStringLiteral("E"), QStringList{QStringLiteral("A"), QString()});
    EXPECT_EQ(lateDefault->Value(), 1);
    EXPECT_TRUE(lateDefault->IsDefault());
}

TEST(Props, SavedFilesMatchTheirGoldenTexts) {
    TSheetTree t;
    TNodePtr<TKnot> plain = TKnot::Create(QStringLiteral("Quillane"));
    t.root->SaveTo(plain.get());  // the default tree saves only section knots
    EXPECT_EQ(plain->SaveToString(),
              QStringLiteral("<Quillane>\r\n\t<Sheet>\r\n\t\t<Print/>\r\n\t\t<Empty/>\r\n\t</Sheet>\r\n</Quillane>\r\n"));
    TNodePtr<TKnot> settings = SettingsFileRoot();
    t.root->SaveTo(settings.get());
    EXPECT_EQ(settings->SaveToString(), QStringLiteral("<Quillane>\r\n</Quillane>\r\n"))
        << "empty sections are skipped in settings files";
    t.showHints->SetValue(false);
    t.scale->SetValue(150);
    t.theme->SetValue(QStringLiteral("Dark Blue"));
    t.folder->SetValue(QStringLiteral("/home/user/themes"));
    t.fontSize->SetIndex(1);
    t.title->SetValue(QStringLiteral("Say \"hi\""));
    TNodePtr<TKnot> file = SettingsFileRoot();
    t.root->SaveTo(file.get());
    QFile goldenFile(QStringLiteral(QUILLANE_TEST_DATA "/core/settings-142.txt"));
    ASSERT_TRUE(goldenFile.open(QIODevice::ReadOnly));
    const QByteArray golden = goldenFile.readAll();
    EXPECT_EQ(file->SaveToBytes(TKnotEncoding::Ansi), golden);

    TSheetTree loaded;
    TNodePtr<TKnot> read = TKnot::Create();
    ASSERT_TRUE(read->LoadFromBytes(golden));
    loaded.root->LoadFrom(read.get());
    TNodePtr<TKnot> again = SettingsFileRoot();
    loaded.root->SaveTo(again.get());
    EXPECT_EQ(again->SaveToBytes(TKnotEncoding::Ansi), golden) << "the golden text loads back as the same values";
}

TEST(Props, LoadAndAssignAnnounceOnceAndLoadKeepsWhatTheFileLacks) {
    TSheetTree t;
    TBroadcastRecorder root(t.root.get());
    const TNodePtr<TKnot> file = Parse(QStringLiteral(
        "<Q><Sheet><Scale Value=\"300\"/><Theme Value=\"X\"/><Print><Scale Value=\"5\"/></Print></Sheet></Q>"));
    t.root->LoadFrom(file.get());
    EXPECT_EQ(root.Count(1), 1);
    EXPECT_EQ(t.scale->Value(), 300);
    EXPECT_EQ(t.printScale->Value(), 5);
    t.root->LoadFrom(file.get());
    EXPECT_EQ(root.Count(1), 2) << "one per load, also when nothing changed";
    // without the section knot the values stay, and nothing is announced
    t.scale->SetValue(250);
    root.codes.clear();
    t.root->LoadFrom(Parse(QStringLiteral("<Q><Other/></Q>")).get());
    EXPECT_EQ(t.scale->Value(), 250);
    EXPECT_EQ(root.Count(1), 0);
    // a section knot without the leaf's knot keeps the leaf as well
    t.root->LoadFrom(Parse(QStringLiteral("<Q><Sheet><Theme Value=\"Y\"/></Sheet></Q>")).get());
    EXPECT_EQ(t.scale->Value(), 250);
    EXPECT_EQ(t.theme->Value(), QStringLiteral("Y"));
    // Assign copies a whole tree inside one bracket as well.
    TSheetTree source;
    source.fontSize->SetIndex(2);
    source.title->SetValue(QStringLiteral("T"));
    TBroadcastRecorder leaf(t.scale);
    root.codes.clear();
    t.root->Assign(*source.root);
    EXPECT_EQ(t.scale->Value(), 100);
    EXPECT_EQ(t.fontSize->Value(), 2);
    EXPECT_EQ(t.title->Value(), QStringLiteral("T"));
    EXPECT_EQ(root.Count(1), 1);
    EXPECT_EQ(leaf.Count(1), 1);
}

TEST(Props, StoredValuesThatCannotBeUsedReadAsTheDefault) {
    const TNodePtr<TKnot> data = TKnot::Create();
    ASSERT_TRUE(data->LoadFromFile(QStringLiteral(QUILLANE_TEST_DATA "/core/props.txt")));
    TKnot* cases = data->FindChild(u"StoredValues");
    ASSERT_NE(cases, nullptr);
    for (TKnot* c = cases->GetFirstChild(); c; c = c->GetNextSibling()) {
        TSheetTree t;
        t.scale->SetValue(333);  // the previous value never survives a bad stored one
        t.showHints->SetValue(false);
        t.fontSize->SetIndex(2);
        t.theme->SetValue(QStringLiteral("Previous"));
        t.root->LoadFrom(c);
        SCOPED_TRACE(c->SaveToString().toStdString());
        EXPECT_EQ(t.scale->Value(), c->ReadInt(u"Scale", -1));
        if (c->HasParam(u"ShowHints")) {
            EXPECT_EQ(t.showHints->Value(), c->ReadBool(u"ShowHints", false));
        }
        if (c->HasParam(u"FontSize")) {
            EXPECT_EQ(t.fontSize->Value(), c->ReadInt(u"FontSize", -1));
        }
        if (c->HasParam(u"Theme")) {
            EXPECT_EQ(t.theme->Value(), c->ReadStr(u"Theme"));
        }
    }
}

// A section whose loading raises (a damaged value it refuses, say).
class TRefusingSection : public TProperty {
    T_CLASS(TRefusingSection)
public:
    using TProperty::TProperty;
    void LoadContent(TKnot*) override { throw Exception("refused"); }
    void Assign(const TProperty&) override { throw Exception("refused"); }
};
T_CLASS_IMPL(TRefusingSection, TProperty)

// Regression: an exception inside LoadContent or Assign left the update
// bracket open, so the tree never announced a change again.
TEST(Props, RaisingChildClosesTheBracketOfItsAncestors) {
    TSheetTree source, t;
    TProperty::Create<TRefusingSection>(t.root.get(), QStringLiteral("Refusing"));
    TProperty::Create<TProperty>(source.root.get(), QStringLiteral("Refusing"));
    TBroadcastRecorder root(t.root.get());
    const TNodePtr<TKnot> file = Parse(QStringLiteral("<Q><Sheet><Refusing/></Sheet></Q>"));
    EXPECT_THROW(t.root->LoadFrom(file.get()), Exception);
    EXPECT_EQ(t.root->UpdateCount(), 0);
    EXPECT_THROW(t.root->Assign(*source.root), Exception);
    EXPECT_EQ(t.root->UpdateCount(), 0);
    root.codes.clear();
    t.scale->SetValue(50);
    EXPECT_EQ(root.Count(1), 1);
}

TEST(PropsDeathTest, EnumerationWithoutEmptyNameIsAProgrammingError) {
#ifdef QT_NO_DEBUG
    GTEST_SKIP() << "assertions are compiled out";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(TProperty::CreateRoot<TEnumProperty>(QStringLiteral("E"), QStringList{QStringLiteral("A")}),
                 "empty name");
#endif
}

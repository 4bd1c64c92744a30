// The sheet driver and the fixture module it builds: the module checks
// clean, survives saving and loading byte for byte in both store modes,
// every step undoes back to the empty scheme; the driver's palette is the
// palette form's (offered items, enabled states, keys, selection runs), and
// its load reports what nothing read.

#include "pascal/driver/sheetDriver.h"
#include "pascal/driver/valuesModule.h"

#include "elements/coValueElements.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"
#include "support/testRoots.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testStop.h"


#include <QFile>

#include <gtest/gtest.h>

namespace {

class SheetDriverTest : public ::testing::Test {
protected:
    TSheetDriver driver{ValuesModuleRootClass(), ValuesModuleName()};
};

}  // namespace

TEST_F(SheetDriverTest, ValuesModuleChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildValuesModule(driver);
    EXPECT_EQ(Lines(driver.Check()), "");
    for (TStoreMode mode : kStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread), "") << ModeName(mode);
        EXPECT_EQ(Lines(loaded.Messages), "") << ModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << ModeName(mode);
    }
    // The driver reads a file as opening it does.
    const QByteArray saved = driver.Save(TStoreMode::File);
    TScheme opened(ValuesModuleRootClass(), ValuesModuleName());
    opened.LoadFromFile(driver.FilePath(QStringLiteral("first.prm")));
    opened.SaveToFile(driver.FilePath(QStringLiteral("opened.prm")));
    QFile written(driver.FilePath(QStringLiteral("opened.prm")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), driver.Load(TStoreMode::File, saved).Saved.toStdString());
}

TEST_F(SheetDriverTest, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    QByteArray empty[2], built[2];
    for (TStoreMode mode : kStoreModes) empty[int(mode)] = driver.Save(mode);
    BuildValuesModule(driver);
    for (TStoreMode mode : kStoreModes) built[int(mode)] = driver.Save(mode);
    ASSERT_GT(driver.UndoSteps(), 20);
    while (driver.Undo()) {
    }
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), empty[int(mode)].toStdString()) << ModeName(mode);
    while (driver.Redo()) {
    }
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), built[int(mode)].toStdString()) << ModeName(mode);
}

TEST_F(SheetDriverTest, LoadReportsANodeAndAnAttributeNothingReads) {
    BuildValuesModule(driver);
    for (TStoreMode mode : kStoreModes) {
        QByteArray saved = driver.Save(mode);
        ASSERT_EQ(saved.count("Mode=\"First\""), 1) << ModeName(mode);
        saved.replace("Mode=\"First\"", "Mode=\"First\" Colour=\"Red\"");
        saved.replace("<Content", "<Stray/><Content");
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread),
                  "ValuesModule.Text.Value.Replacement.Stray\nValuesModule.Text.Value.Replacement.Colour")
            << ModeName(mode);
    }
}

TEST_F(SheetDriverTest, CheckGivesTheMessagesOfKindTwoOrMoreByElement) {
    driver.Focus(driver.Root());
    ASSERT_TRUE(driver.Apply(QStringLiteral("Text")));
    EXPECT_EQ(Lines(driver.Check()), "TValueNameField: " + RemoveLinkBrackets(LoadStr(strTheValueMustBeSet)).toStdString())
        << "a text without a name";
    driver.Focus(QStringLiteral("TElement_Text/TValueNameField"));
    driver.Type(QStringLiteral("Named"));
    EXPECT_NE(Lines(driver.Check()), "") << "a text being edited is checked when its editing finishes";
    driver.Focus(driver.Root());
    EXPECT_EQ(Lines(driver.Check()), "");
}

TEST_F(SheetDriverTest, PaletteShowsWhatTheFocusedElementOffersWithLettersElseNumbersAsKeys) {
    driver.Focus(driver.Root());
    ASSERT_TRUE(driver.Apply(QStringLiteral("Text")));
    EXPECT_FALSE(driver.Apply(QStringLiteral("Replacement"))) << "not offered by the root";
    driver.Focus(QStringLiteral("TElement_Text/TTextorElement"));
    QStringList shown;
    for (const TPaletteEntry& entry : driver.PaletteEntries())
        shown << (entry.Button ? "[" + entry.Key + "] " : QStringLiteral("  ")) + entry.Caption;
    EXPECT_EQ(Lines(shown),
              "[ ] Substitution\n[1] Comment\n[L] Logic Frame\n[2] Replacement\n[3] Processing Date and Time\n"
              "[4] Other\n  File Name\n  Folder");
    EXPECT_FALSE(driver.ApplyKey(QStringLiteral("5"))) << "no such key";
    EXPECT_TRUE(driver.ApplyKey(QStringLiteral("2")));
    EXPECT_NE(driver.FindByClasses(QStringLiteral("TElement_Text/TTextorElement/TElement_Replacement")), nullptr);
    EXPECT_EQ(driver.FindByStoredNames(QStringLiteral("Text/Value/Replacement/FindValue")),
              driver.FindByClasses(QStringLiteral("TElement_Text/TTextorElement/TElement_Replacement/"
                                                  "TRequiredFunctionField[1]")));
}

TEST_F(SheetDriverTest, ItemsThatChangeElementsAreRefusedOnAReadOnlySheet) {
    driver.Sheet().SetReadOnly(true);
    driver.Focus(driver.Root());
    EXPECT_FALSE(driver.Apply(QStringLiteral("Text")));
    EXPECT_EQ(driver.FindByClasses(QStringLiteral("TElement_Text")), nullptr);
    EXPECT_EQ(driver.UndoSteps(), 0);
}

TEST_F(SheetDriverTest, AnItemAppliedToASelectionInATextIsOneUndoStep) {
    BuildValuesModule(driver);
    driver.Focus(QStringLiteral("TElement_Text[4]/TTextorElement"));
    driver.SelectAll();  // the folder and the file name
    const int steps = driver.UndoSteps();
    ASSERT_TRUE(driver.ApplyKey(QStringLiteral("D")));  // "Disabled"
    EXPECT_TRUE(driver.Place(QStringLiteral("TElement_Text[4]/TTextorElement/TElement_Path"))->IsDisabled());
    EXPECT_TRUE(driver.Place(QStringLiteral("TElement_Text[4]/TTextorElement/TElement_FileName"))->IsDisabled());
    EXPECT_EQ(driver.UndoSteps(), steps + 1);
    driver.Undo();
    EXPECT_FALSE(driver.Place(QStringLiteral("TElement_Text[4]/TTextorElement/TElement_Path"))->IsDisabled());
    EXPECT_FALSE(driver.Place(QStringLiteral("TElement_Text[4]/TTextorElement/TElement_FileName"))->IsDisabled());
}

namespace {

// An item with the sub-commands "Alpha" ("a") and "Beta" ("b"), noting those applied.
class TDriverPickItem : public TSubExecutablePaletteItem {
public:
    TDriverPickItem() : TSubExecutablePaletteItem(0, NoImageIndex, strChoose, 0, 1) {}
    void FillSubItems(TElement*, QList<std::pair<QString, QString>>& items) override {
        items = {{QStringLiteral("Alpha"), QStringLiteral("a")}, {QStringLiteral("Beta"), QStringLiteral("b")}};
    }
    void ApplySub(TElement*, const QString& sub) override { Applied << sub; }
    QStringList Applied;

protected:
    ~TDriverPickItem() override = default;
};

}  // namespace

// A root that offers the pick item besides its own.
class TElement_DriverPickRoot : public TElement_TestFileRoot {
    T_ELEMENT_CLASS(TElement_DriverPickRoot)
public:
    TPaletteItem* Offered = nullptr;
    void GetPaletteItems(QList<TPaletteItem*>& list) override {
        TElement_TestFileRoot::GetPaletteItems(list);
        if (Offered) list << Offered;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_DriverPickRoot, TElement_TestFileRoot)

TEST(SheetDriver, ASubCommandIsChosenFromItsItemsMenuByCaption) {
    TSheetDriver driver(TElement_DriverPickRoot::StaticClass());
    const std::unique_ptr<TPaletteGroup, void (*)(TPaletteGroup*)> group(TPaletteGroup::Create(Palette(), 0, 1),
                                                                         [](TPaletteGroup* g) { g->Free(); });
    TNodePtr<TDriverPickItem> made = MakeNode<TDriverPickItem>();
    TDriverPickItem* pick = made.get();
    made->SetParent(group.get());
    made.release();
    static_cast<TElement_DriverPickRoot*>(driver.Root())->Offered = pick;
    driver.Focus(driver.Root());
    const QString caption = LoadStr(strChoose);
    EXPECT_TRUE(driver.ApplySub(caption, QStringLiteral("Beta")));
    EXPECT_FALSE(driver.ApplySub(caption, QStringLiteral("Gamma"))) << "not in the menu";
    EXPECT_FALSE(driver.ApplySub(QStringLiteral("Text"), QStringLiteral("Beta"))) << "an item without sub-commands";
    EXPECT_EQ(pick->Applied, QStringList{QStringLiteral("b")});
}

// The global data module with the user's data folder in a temporary XDG
// tree: the first start, a settings file named on the command line, a damaged
// one, the folder that cannot be made, the language and the button looks.

#include "app/baAppActns.h"
#include "app/unGlobal.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coGeneration.h"
#include "elements/diDataElement.h"
#include "elements/diLog.h"
#include "scheme/diSounds.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "ui/baPainterStyles.h"
#include "scheme/diCanvas.h"
#include "ui/baStyledPainter.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The name the program's files carry.
QString ProgramName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }

// The leaf at path ("General/Language") of a settings file; empty when missing.
QString StoredValue(const QString& fileName, const QString& path) {
    const TNodePtr<TKnot> root = TKnot::Create();
    if (!QFileInfo::exists(fileName) || !root->LoadFromFile(fileName)) return {};
    TKnot* knot = root.get();
    for (const QString& name : path.split('/'))
        if (knot) knot = knot->FindChild(name);
    return knot ? knot->ReadStr(QStringLiteral("Value"), QString()) : QString();
}

class GlobalTest : public ::testing::Test {
protected:
    GlobalTest() : m_oldXdg(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.path())); }
    ~GlobalTest() override {
        if (m_oldXdg.isNull()) qunsetenv("XDG_DATA_HOME");
        else qputenv("XDG_DATA_HOME", m_oldXdg);
    }

    TGlobalSetup Setup(const char* locale = "de_DE", QStringList params = {}) const {
        return {std::move(params), {"TestCo", "TestProduct", "1.0"}, QLocale(QLatin1String(locale))};
    }
    QString UserFile(const char* ext) const { return xdg.filePath("TestCo/TestProduct/" + ProgramName() + "." + ext); }

    TEnglishTexts english;
    QTemporaryDir xdg;

private:
    QByteArray m_oldXdg;
};

TEST_F(GlobalTest, FirstStartTakesTheLanguageOfTheUsersLocaleAndLeavesTheUnchangedSettingsToTheShutdown) {
    for (const CaseRow& c : LoadCases("app/global.txt", "FirstRun")) {
        QDir(xdg.path()).removeRecursively();
        auto global = TGlobal::Create(Setup(qPrintable(c["Name"])));
        EXPECT_EQ(global->Settings().General()->Language()->Value(), c["Code"]) << c.Text();
        EXPECT_EQ(Localization()->Language(), c.Int("LangId")) << c.Text();
        EXPECT_TRUE(global->SettingsNeedSaving()) << c.Text();
        EXPECT_EQ(global->SettingsFile().FileName, UserFile("settings"));
        EXPECT_FALSE(QFileInfo::exists(UserFile("settings"))) << c.Text();
        global->SaveAtShutdown();
        EXPECT_FALSE(global->SettingsNeedSaving());
        EXPECT_EQ(StoredValue(UserFile("settings"), "General/Language"), c["Code"]) << c.Text();
        EXPECT_TRUE(QFileInfo::exists(UserFile("session")) && QFileInfo::exists(UserFile("recentfiles")));
    }
    EXPECT_EQ(GetAvailableLanguages().size(), 11);
}

TEST_F(GlobalTest, ASettingsFileOnTheCommandLineIsReadAndWrittenInsteadAndIsNoDocument) {
    const QString own = xdg.filePath("x.settings");
    ASSERT_TRUE(WriteTestFile(own, "<x>\r\n\t<General>\r\n\t\t<Language Value=\"FRA\"/>\r\n\t</General>\r\n</x>\r\n"));
    auto global = TGlobal::Create(Setup("de_DE", {own, "a.prm"}));
    EXPECT_EQ(global->SettingsFile().FileName, own);
    EXPECT_EQ(global->CommandLine().Params(), QStringList{"a.prm"});
    EXPECT_EQ(global->Settings().General()->Language()->Value(), "FRA");
    EXPECT_FALSE(global->SettingsNeedSaving());
    // Every change is written at once, into that file.
    global->Settings().Misc()->BackupOnSave()->SetValue(false);
    EXPECT_EQ(StoredValue(own, "Misc/BackupOnSave"), "0");
    EXPECT_EQ(StoredValue(own, "General/Language"), "FRA");
    EXPECT_FALSE(QFileInfo::exists(UserFile("settings")));
}

TEST_F(GlobalTest, ADamagedSettingsFileIsReadAsFarAsItGoesWithoutFirstRunValues) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(UserFile("settings")).path()));
    ASSERT_TRUE(WriteTestFile(UserFile("settings"), "<s>\r\n\t<General>\r\n\t\t<Language Value=\"ITA\"/>\r\n\t</General>\r\n"
                                                    "\t<Sheet>\r\n\t\t<Sounds>\r\n\t\t\t<Enabled Value=\"0\"/>\r\n"
                                                    "\t\t</Sounds>\r\n\t</Sheet>\r\n\t<Misc>\r\n\t\t<Backup<<\"\r\n"));
    {
        auto global = TGlobal::Create(Setup("de_DE"));
        EXPECT_EQ(global->Settings().General()->Language()->Value(), "ITA");
        EXPECT_FALSE(global->SettingsNeedSaving());
        // The sections of the libraries hang under "Sheet" and read from there.
        EXPECT_EQ(SoundsSettings()->Parent(), static_cast<TNode*>(global->Settings().Sheet()));
        EXPECT_EQ(LogSettings()->Parent(), static_cast<TNode*>(global->Settings().Sheet()));
        // The editor windows' sections hang under the root, after its own and in this order.
        EXPECT_TRUE(SheetFormSettings()->Parent() == static_cast<TNode*>(&global->Settings()) &&
                    SheetFormSettings()->NextSibling() == PaletteFormSettings() && !PaletteFormSettings()->NextSibling());
        EXPECT_FALSE(SoundsSettings()->Enabled());
        SoundsSettings()->EnabledProperty()->SetValue(true);
    }
    // They leave the tree before it goes, and live on with their units.
    EXPECT_EQ(SoundsSettings()->Parent(), nullptr);
    EXPECT_EQ(LogSettings()->Parent(), nullptr);
}

// The data elements' editor choices are read from and written to "Sheet/Data".
TEST_F(GlobalTest, TheDataSectionHangsUnderTheSheetAndItsEditorChoicesLoadAndSave) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(UserFile("settings")).path()));
    ASSERT_TRUE(WriteTestFile(UserFile("settings"), "<s>\r\n\t<Sheet>\r\n\t\t<Data>\r\n\t\t\t<ExternalEditorIcons>\r\n"
                                                    "\t\t\t\t<DefaultAction Value=\"None\"/>\r\n\t\t\t</ExternalEditorIcons>\r\n"
                                                    "\t\t</Data>\r\n\t</Sheet>\r\n</s>\r\n"));
    {
        auto global = TGlobal::Create(Setup());
        TDataElementSettings* data = DataElementSettings();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->Parent(), static_cast<TNode*>(global->Settings().Sheet()));
        EXPECT_EQ(data->NextSibling(), static_cast<TNode*>(SoundsSettings())) << "hung in first, then the sounds";
        EXPECT_EQ(data->EditorFor(ifIco)->Action(), eaNone);
        EXPECT_EQ(data->Bitmaps()->Action(), eaAssociation);
        data->Bitmaps()->CustomEditor()->SetValue(QStringLiteral("/opt/paint"));
        EXPECT_EQ(StoredValue(UserFile("settings"), "Sheet/Data/ExternalEditorBitmaps/CustomEditor"), "/opt/paint");
        EXPECT_EQ(StoredValue(UserFile("settings"), "Sheet/Data/ExternalEditorIcons/DefaultAction"), "None");
        data->Bitmaps()->CustomEditor()->SetValue(QString());
        data->EditorFor(ifIco)->DefaultAction()->SetIndex(eaAssociation);
    }
    EXPECT_EQ(DataElementSettings()->Parent(), nullptr);
}

// The generation switches are settings like the others: read from the file
// and written back at once, so "MakeReadOnly" outlives the session.
TEST_F(GlobalTest, TheGenerationSectionHangsLastUnderTheSheetAndItsSwitchesLoadAndSave) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(UserFile("settings")).path()));
    ASSERT_TRUE(WriteTestFile(UserFile("settings"),
                              "<s>\r\n\t<Sheet>\r\n\t\t<Generation>\r\n\t\t\t<InsertDate Value=\"0\"/>\r\n"
                              "\t\t</Generation>\r\n\t</Sheet>\r\n</s>\r\n"));
    {
        auto global = TGlobal::Create(Setup());
        TGenerationSettings* generation = GenerationSettings();
        ASSERT_NE(generation, nullptr);
        EXPECT_EQ(generation->Parent(), static_cast<TNode*>(global->Settings().Sheet()));
        EXPECT_EQ(generation->NextSibling(), nullptr);
        EXPECT_FALSE(generation->InsertDate()->Value());
        generation->MakeReadOnly()->SetValue(true);
        EXPECT_EQ(StoredValue(UserFile("settings"), "Sheet/Generation/MakeReadOnly"), "1");
        generation->MakeReadOnly()->SetValue(false);
        generation->InsertDate()->SetValue(true);
    }
    EXPECT_EQ(GenerationSettings()->Parent(), nullptr);
}

TEST_F(GlobalTest, WithoutADataFolderTheFilesLieBesideTheProgram) {
    const QString beside = QCoreApplication::applicationDirPath() + "/" + ProgramName() + ".settings";
    ASSERT_TRUE(WriteTestFile(xdg.filePath("TestCo"), "a file where the folder belongs"));
    EXPECT_EQ(TGlobal::Create(Setup())->SettingsFile().FileName, beside);
    ASSERT_TRUE(QFile::remove(xdg.filePath("TestCo")));
    TGlobalSetup nameless = Setup();
    nameless.Version.CompanyName.clear();
    EXPECT_EQ(TGlobal::Create(nameless)->SettingsFile().FileName, beside);
    EXPECT_EQ(TGlobal::Create(Setup())->SettingsFile().FileName, UserFile("settings"));
}

// Action lists that count how often they were captioned.
class TCountingAppActions : public TAppActions {
public:
    using TAppActions::TAppActions;
    int Captioned = 0;
    void UpdateCaptions() override {
        ++Captioned;
        TAppActions::UpdateCaptions();
    }
};

TEST_F(GlobalTest, TheLanguageSettingSetsTheTextsAndCaptionsTheActionListsAndAnUnknownCodeGivesEnglish) {
    auto global = TGlobal::Create(Setup());
    QWidget form;
    TCountingAppActions actions(&form);
    actions.Loaded();
    for (const CaseRow& c : LoadCases("app/global.txt", "Language")) {
        global->Settings().General()->Language()->SetValue("DEU");
        const int captioned = actions.Captioned;
        global->Settings().General()->Language()->SetValue(c["Value"]);
        EXPECT_EQ(Localization()->Language(), c.Int("LangId")) << c.Text();
        EXPECT_EQ(LoadStr(strLanguageName), c["Name"]) << c.Text();
        EXPECT_EQ(actions.Captioned, captioned + 1) << c.Text();
        EXPECT_EQ(StoredValue(UserFile("settings"), "General/Language"), c["Value"]) << c.Text();
    }
}

// The captions of a message box's Yes, No and Cancel buttons, without accelerators.
std::string MessageBoxButtonCaptions() {
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QStringList captions;
    for (QMessageBox::StandardButton b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        captions << box.button(b)->text().remove(QLatin1Char('&'));
    return captions.join(QLatin1Char('/')).toStdString();
}

TEST_F(GlobalTest, QtsOwnDialogsSpeakTheInterfaceLanguageAndEnglishAgainAfterSwitchingBack) {
    auto global = TGlobal::Create(Setup());
    global->Settings().General()->Language()->SetValue("DEU");
    EXPECT_EQ(MessageBoxButtonCaptions(), "Ja/Nein/Abbrechen");
    global->Settings().General()->Language()->SetValue("NLD");
    EXPECT_EQ(MessageBoxButtonCaptions(), "Ja/Nee/Annuleren");
    global->Settings().General()->Language()->SetValue("ENU");
    EXPECT_EQ(MessageBoxButtonCaptions(), "Yes/No/Cancel");
    global->Settings().General()->Language()->SetValue("DEU");
    global.reset();
    EXPECT_EQ(MessageBoxButtonCaptions(), "Yes/No/Cancel") << "the program's end takes Qt's translator away";
}

TEST_F(GlobalTest, ButtonLooksUseTheMessageFontAndTheStandardOneIsTheDefaultButtonPainter) {
    {
        auto global = TGlobal::Create(Setup());
        EXPECT_EQ(DefaultButtonPainter(), &global->ptrStdBtn());
        EXPECT_EQ(global->ptrStdBtn().Styler(), &global->stStdBtn());
        EXPECT_EQ(global->stStdBtn().Font(), QApplication::font());
        EXPECT_EQ(global->ptrStdBtn().Padding().Left, 8);
        EXPECT_EQ(global->ptrHyperlink().Styler(), &global->stHyperlink());
        EXPECT_TRUE(global->stHyperlink().Font().underline());
        EXPECT_EQ(global->stHyperlink().FontColor(), MakeColor(0, 0, 255));
        EXPECT_EQ(global->stHyperlink().Cursor(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(DefaultButtonPainter(), nullptr);
}

}  // namespace

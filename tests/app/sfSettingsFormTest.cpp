// The settings dialog, driven without a modal loop: a new language applied
// with Apply shows the dialog once more on its first page while OK does not,
// Cancel after Apply keeps what was applied, the naming example and the rules
// that enable controls, the language choice, the themes found in a folder
// and "Get More Themes", the page remembered between showings, a start page
// and the placement kept in the session, and a picture of each page.

#include "app/cuWebSupport.h"
#include "app/sfSettingsForm.h"
#include "app/sfSettingsPages.h"
#include "core/cuLocalization.h"
#include "core/baAppCmpns.h"
#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "platform/plShell.h"
#include "scheme/diCanvas.h"
#include "scheme/diNaming.h"
#include "support/testEnglish.h"
#include "support/testGlobal.h"
#include "support/testHttpServer.h"
#include "ui/baEdits.h"
#include "ui/baTreeViewEx.h"
#include "ui/baUserButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class SettingsFormTest : public ::testing::Test {
protected:
    SettingsFormTest() {
        for (const char* name : {"Ocean.txt", "Amber.txt", "notes.md"}) QFile(themes.filePath(name)).open(QIODevice::WriteOnly);
        setup.Settings = &global->Settings();
        setup.ThemesFolder = themes.path() + "/";
    }

    template <class Page>
    Page& PageOf(TSettingsForm& form, const char* section) {
        return dynamic_cast<Page&>(*form.FindPage(QString::fromLatin1(section)));
    }
    // Selects the language whose code is given on the General page.
    static void ChooseLanguage(TSettingsForm& form, const QString& code) {
        QComboBox* box = dynamic_cast<TGeneralSubForm&>(*form.Page(0)).LanguageBox();
        box->setCurrentIndex(box->findData(code));
        ASSERT_GE(box->currentIndex(), 0) << code.toStdString();
    }

    TTestGlobal global;
    TEnglishTexts english;
    QTemporaryDir themes;
    TSettingsDialogSetup setup;
};

TEST_F(SettingsFormTest, ANewLanguageAppliedWithApplyShowsTheDialogOnceMoreOnItsFirstPage) {
    QWidget owner;
    int shown = 0;
    setup.RunModal = [&](TSettingsForm& form) {
        ++shown;
        if (shown == 1) {
            form.SelectPage(4);
            ChooseLanguage(form, "DEU");
            form.ApplyButton()->Click();
            QCoreApplication::sendPostedEvents(&form);
            return;
        }
        EXPECT_EQ(form.ShownPage(), form.Page(0));
        EXPECT_EQ(Localization()->Language(), 1031);
        form.SelectPage(5);
        form.CancelButton()->Click();
    };
    ShowSettingsDialog(&owner, setup);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(global->Settings().General()->Language()->Value(), "DEU");

    // OK with a new language closes for good, and the next showing starts on the page left last.
    shown = 0;
    setup.RunModal = [&](TSettingsForm& form) {
        ++shown;
        EXPECT_EQ(form.SelectedIndex(), 5);
        ChooseLanguage(form, "ENU");
        form.OkButton()->Click();
        QCoreApplication::sendPostedEvents(&form);
    };
    ShowSettingsDialog(&owner, setup);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(global->Settings().General()->Language()->Value(), "ENU");
}

TEST_F(SettingsFormTest, AStartPageIsShownWithItsFirstControlFocusedAndThePlacementIsKept) {
    setup.StartPage = "log";
    setup.Session = &global->SessionFile();
    setup.RunModal = [](TSettingsForm& form) {
        EXPECT_EQ(form.SelectedIndex(), 4);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_EQ(QApplication::focusWidget(), form.FindPage("Log")->FirstControl());
        form.OkButton()->Click();
    };
    ShowSettingsDialog(nullptr, setup);
    EXPECT_NE(global->SessionFile().Root()->FindChild(u"SettingsForm"), nullptr);
}

TEST_F(SettingsFormTest, CancelAfterApplyKeepsWhatWasAppliedAndDropsTheRest) {
    TBooleanProperty* backup = global->Settings().Misc()->BackupOnSave();
    TIntegerProperty* scale = global->Settings().Print()->ScaleProperty();
    const int oldScale = scale->Value();
    int applied = 0;
    setup.OnApply = [&](TSettingsForm&) { ++applied; };
    TSettingsForm form(nullptr, setup, 0);
    QCheckBox* backupBox = form.FindPage("Misc")->findChild<QCheckBox*>();
    backupBox->setChecked(!backup->Value());
    form.ApplyButton()->Click();
    EXPECT_EQ(backup->Value(), backupBox->isChecked());
    PageOf<TPrintSubForm>(form, "Print").ScaleEdit()->setText(QString::number(oldScale + 7));
    form.CancelButton()->Click();
    EXPECT_EQ(backup->Value(), backupBox->isChecked());
    EXPECT_EQ(scale->Value(), oldScale);
    EXPECT_EQ(applied, 1);
    QCoreApplication::sendPostedEvents(&form);
    EXPECT_FALSE(form.ReopenRequested()) << "the language did not change";
}

TEST_F(SettingsFormTest, TheNamingExampleFollowsTheChoicesAndControlsWaitForTheChoiceTheyDependOn) {
    TSettingsForm form(nullptr, setup, 0);
    auto& editor = PageOf<TEditorSubForm>(form, "Sheet");
    for (bool focusNew : {true, false}) {
        editor.FocusNewBox()->setChecked(focusNew);
        EXPECT_EQ(editor.DropDownBox()->isEnabled(), focusNew);
    }
    auto& page = PageOf<TNamingSubForm>(form, "Naming");
    const std::initializer_list<QWidget*> controls{page.StyleBox(), page.UnderscoreBox(), page.NumberFirstBox(),
                                                   page.DigitsEdit(), page.ExampleBox()};
    page.EnabledBox()->setChecked(false);
    EXPECT_TRUE(page.ExampleNames().isEmpty());
    for (QWidget* control : controls) EXPECT_FALSE(control->isEnabled());
    page.EnabledBox()->setChecked(true);
    for (QWidget* control : controls) EXPECT_TRUE(control->isEnabled());
    page.StyleBox()->setCurrentIndex(int(TNamingMode::AsIs));
    page.UnderscoreBox()->setChecked(false);
    page.NumberFirstBox()->setChecked(false);
    page.DigitsEdit()->setText("0");
    EXPECT_EQ(page.ExampleNames(), (QStringList{"NewElementName", "NewElementName2", "NewElementName3", "NewElementName4"}));
    page.StyleBox()->setCurrentIndex(int(TNamingMode::Upper));
    page.UnderscoreBox()->setChecked(true);
    page.NumberFirstBox()->setChecked(true);
    page.DigitsEdit()->setText("2");
    EXPECT_EQ(page.ExampleNames(),
              (QStringList{"NEW_ELEMENT_NAME_01", "NEW_ELEMENT_NAME_02", "NEW_ELEMENT_NAME_03", "NEW_ELEMENT_NAME_04"}));
}

TEST_F(SettingsFormTest, TheLanguagesAreNamedInTheirOwnLanguageAndNoChoiceMeansTheDefault) {
    TSettingsForm form(nullptr, setup, 0);
    QComboBox* box = dynamic_cast<TGeneralSubForm&>(*form.Page(0)).LanguageBox();
    EXPECT_EQ(box->itemText(box->findData("DEU")), "Deutsch");
    EXPECT_EQ(box->currentData().toString(), "ENU");
    box->setCurrentIndex(-1);
    form.ApplySettings(TSettingsForm::TApplyAction::Ok);
    EXPECT_EQ(global->Settings().General()->Language()->Value(), "");
}

TEST_F(SettingsFormTest, TheThemesAreDefaultAndTheThemeFilesAndGetMoreThemesOpensTheThemesPage) {
    global->Settings().Sheet()->ThemeProperty()->SetValue("Ocean");
    global->Settings().Print()->ThemeProperty()->SetValue("Vanished");
    TSettingsForm form(nullptr, setup, 0);
    QComboBox* editorThemes = PageOf<TEditorSubForm>(form, "Sheet").ThemeBox();
    EXPECT_EQ(editorThemes->count(), 3);
    EXPECT_EQ(editorThemes->itemText(1) + editorThemes->itemText(2), "AmberOcean");
    EXPECT_EQ(editorThemes->currentText(), "Ocean");
    EXPECT_EQ(PageOf<TPrintSubForm>(form, "Print").ThemeBox()->currentText(), "Default");
    editorThemes->setCurrentText("Amber");
    form.ApplySettings(TSettingsForm::TApplyAction::Ok);
    EXPECT_EQ(global->Settings().Sheet()->ThemeProperty()->Value(), "Amber");
    EXPECT_EQ(global->Settings().Print()->ThemeProperty()->Value(), "Default");

    TTestHttpServer server;
    server.Route("/info", {TServeMode::Answer, 200, "OK",
                           "<Info><AppLangToWebLang DefaultWebLang=\"xx\"><L AppLang=\"ENU\" WebLang=\"en\"/>"
                           "</AppLangToWebLang><Resources ThemesPage=\"https://example.org/%lang%/themes\"/></Info>"});
    const TWebEndpoint endpoint{server.Url("/info"), {500, 1500, TDownloadLimits::kMaxBytes}};
    TWebEndpointInstaller endpointInstaller(&endpoint);
    TFakeShell shell;
    TShellInstaller shellInstaller(&shell);
    PageOf<TPrintSubForm>(form, "Print").MoreThemesButton()->Click();
    EXPECT_EQ(shell.Calls, QStringList{"Execute|https://example.org/en/themes||"});
}

TEST_F(SettingsFormTest, TheTreeShowsEveryPageInOrderWithNamingUnderEditorAndPicturesAreLeftForReview) {
    TSettingsForm form(nullptr, setup, 0);
    EXPECT_EQ(form.windowTitle(), LoadStr(strSettings));
    ASSERT_EQ(form.PageCount(), 8);
    EXPECT_EQ(form.PageTree()->topLevelItemCount(), 7);
    EXPECT_EQ(form.PageTree()->topLevelItem(2)->child(0)->text(0), LoadStr(strNaming));
    form.show();
    for (int i = 0; i < form.PageCount(); ++i) {
        form.SelectPage(i);
        EXPECT_TRUE(form.SelectedIndex() == i && form.ShownPage() == form.Page(i) && form.Page(i)->isVisible()) << i;
        const QString name = "settings-" + form.Page(i)->objectName() + "-review.png";
        EXPECT_TRUE(form.grab().toImage().save(QDir(QCoreApplication::applicationDirPath()).filePath(name)));
    }
}

}  // namespace

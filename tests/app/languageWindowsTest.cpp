// The windows in every interface language, switched through the language
// setting as the program does: no accelerator letter twice in one menu of the
// main window, in the sheet's context menu or on one page of the settings
// dialog; every caption of the settings dialog and the about box whole in its
// control; and pictures of the main window with its File menu open and of the
// settings dialog for review (in "language-review" beside the test program).

#include "app/cuAboutForm.h"
#include "app/sfSettingsForm.h"
#include "app/sfSettingsPages.h"
#include "app/unAppMainForm.h"
#include "app/unDocument.h"
#include "app/unGlobal.h"
#include "app/unSettings.h"
#include "core/cuProps.h"
#include "pascal/elements/prScheme.h"
#include "platform/plDialogs.h"
#include "support/testEnvironment.h"
#include "support/testEnglish.h"
#include "ui/baTreeViewEx.h"
#include "ui/baUserButtons.h"
#include "ui/diEditForm.h"
#include "ui/diSheetForm.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int kWindowWidth = 1000;
constexpr int kWindowHeight = 600;
// The room a button's painter keeps on either side of its caption (frame and focus rectangle).
constexpr int kButtonCaptionPadding = 4;

// The letter a caption binds ("&File", "ファイル(&F)"), upper-cased; null when none ("&&" is an ampersand).
QChar AcceleratorOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) continue;
        if (caption[i + 1] != QLatin1Char('&')) return caption[i + 1].toUpper();
        ++i;
    }
    return {};
}

// The caption as shown: a single "&" goes, "&&" shows one.
QString Shown(const QString& caption) {
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
        text += caption[i];
    }
    return text;
}

// A failure for every letter that more than one of the captions binds.
void ExpectNoLetterTwice(const QString& language, const QString& where, const QStringList& captions) {
    std::map<QChar, QStringList> byLetter;
    for (const QString& caption : captions)
        if (const QChar letter = AcceleratorOf(caption); !letter.isNull()) byLetter[letter] << caption;
    for (const auto& [letter, owners] : byLetter)
        EXPECT_EQ(owners.size(), 1) << language.toStdString() << ", " << where.toStdString() << ": the letter "
                                    << QString(letter).toStdString() << " in " << owners.join(", ").toStdString();
}

// The menu and its submenus, filled as when they open.
void ExpectMenuLettersOnce(const QString& language, const QString& where, QMenu& menu) {
    Q_EMIT menu.aboutToShow();
    QStringList captions;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator() || !action->isVisible()) continue;
        captions << action->text();
        if (QMenu* sub = action->menu()) ExpectMenuLettersOnce(language, where + " > " + Shown(action->text()), *sub);
    }
    ExpectNoLetterTwice(language, where, captions);
}

// The button as one of ours, which carries its caption itself; nil for Qt's (its class has no meta-object of its own).
const TUserWinButton* UserButton(const QAbstractButton* button) { return dynamic_cast<const TUserWinButton*>(button); }

// The captions that bind a letter on a page of a dialog: labels of a control, check boxes, buttons.
QStringList CaptionsOn(const QWidget& page) {
    QStringList captions;
    for (const QLabel* label : page.findChildren<QLabel*>())
        if (label->buddy()) captions << label->text();
    for (const QAbstractButton* button : page.findChildren<QAbstractButton*>())
        captions << (UserButton(button) ? UserButton(button)->Caption() : button->text());
    for (const QGroupBox* group : page.findChildren<QGroupBox*>()) captions << group->title();
    return captions;
}

// A failure for every label, check box and button on the widget whose text is wider than its control.
void ExpectCaptionsWhole(const QString& language, const QString& where, const QWidget& widget) {
    const auto fail = [&](const QString& text) {
        return language.toStdString() + ", " + where.toStdString() + ": \"" + text.toStdString() + "\" is cut off";
    };
    for (const QLabel* label : widget.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) continue;
        const int room = label->contentsRect().width();
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(room), label->contentsRect().height()) << fail(label->text());
        } else {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(Shown(label->text())), room) << fail(label->text());
        }
    }
    for (const QAbstractButton* box : widget.findChildren<QAbstractButton*>()) {
        if (!box->isVisible()) continue;
        if (const TUserWinButton* button = UserButton(box)) {
            const int room = button->width() - 2 * kButtonCaptionPadding;
            EXPECT_LE(button->fontMetrics().horizontalAdvance(Shown(button->Caption())), room) << fail(button->Caption());
        } else {
            EXPECT_LE(box->sizeHint().width(), box->width()) << fail(box->text());
        }
    }
}

// A failure for every node of the tree whose text is wider than the room its row leaves it.
void ExpectTreeTextsWhole(const QString& language, TTreeViewEx& tree) {
    tree.expandAll();
    const int margin = tree.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &tree) + 1;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        const QString text = (*it)->text(0);
        const int room = tree.visualItemRect(*it).width() - 2 * margin;
        EXPECT_LE(tree.fontMetrics().horizontalAdvance(text), room)
            << language.toStdString() << ", page tree: \"" << text.toStdString() << "\" is cut off";
    }
}

// The folder the review pictures go to, made when missing.
QString ReviewFolder() {
    const QString folder = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("language-review"));
    QDir().mkpath(folder);
    return folder;
}

// The window with the open menu drawn where it stands on the screen.
QImage WindowWithMenu(QWidget& window, QMenu& menu) {
    const QPoint at = menu.geometry().topLeft() - window.mapToGlobal(QPoint(0, 0));
    const QRect all = QRect(QPoint(0, 0), window.size()).united(QRect(at, menu.size()));
    QImage image(all.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPixmap(-all.topLeft(), window.grab());
    painter.drawPixmap(at - all.topLeft(), menu.grab());
    return image;
}

class LanguageWindowsTest : public ::testing::Test {
protected:
    ~LanguageWindowsTest() override {
        if (global) SetLanguage(QStringLiteral("ENU"));
        form.reset();
        global.reset();
    }

    void MakeGlobal(QStringList params = {}) {
        global = TGlobal::Create({std::move(params), {"TestCo", "TestProduct", "1.0"}, QLocale(QLatin1String("en_US"))});
    }
    // The main window on a new program module.
    void StartWindowOnAProgramModule() {
        const QString fileName = m_files.filePath(QStringLiteral("Quill.prm"));
        {
            MakeGlobal();
            TSchemeDocument document(ProgramSchemeDescriptor(), global->Settings().Sheet());
            document.InitNew();
            document.SaveAs(fileName);
            global.reset();
        }
        MakeGlobal({fileName});
        form = StartMainWindow(*global);
        ASSERT_TRUE(form->isVisible());
        form->resize(kWindowWidth, kWindowHeight);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->ActiveSchemeDocument() != nullptr; }));
    }
    void SetLanguage(const QString& code) { global->Settings().General()->Language()->SetValue(code); }

    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    std::unique_ptr<TGlobal> global;
    std::unique_ptr<TAppMainForm> form;

private:
    QTemporaryDir m_xdg;
    // The program's instance locks live in the runtime and temporary folders:
    // windows of tests running side by side must not see each other's.
    QTemporaryDir m_runtime;
    TEnvironmentScope m_dataHome{"XDG_DATA_HOME", QFile::encodeName(m_xdg.path())};
    TEnvironmentScope m_runtimeDir{"XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())};
    TEnvironmentScope m_tempDir{"TMPDIR", QFile::encodeName(m_runtime.path())};
    QTemporaryDir m_files;
};

TEST_F(LanguageWindowsTest, NoMenuOfTheMainWindowBindsALetterTwiceInAnyLanguage) {
    StartWindowOnAProgramModule();
    ASSERT_EQ(GetAvailableLanguages().size(), 11);
    for (const QString& code : GetAvailableLanguages()) {
        SetLanguage(code);
        QStringList bar;
        for (QAction* action : form->menuBar()->actions()) {
            if (!action->isVisible()) continue;
            bar << action->text();
            if (QMenu* menu = action->menu()) ExpectMenuLettersOnce(code, Shown(action->text()), *menu);
        }
        ExpectNoLetterTwice(code, QStringLiteral("menu bar"), bar);
        ExpectMenuLettersOnce(code, QStringLiteral("sheet context menu"), form->EditForm()->SheetForm().EditMenu());
    }
}

TEST_F(LanguageWindowsTest, NoPageOfTheSettingsDialogBindsALetterTwiceAndEveryCaptionIsWholeInAnyLanguage) {
    MakeGlobal();
    TSettingsDialogSetup setup;
    setup.Settings = &global->Settings();
    for (const QString& code : GetAvailableLanguages()) {
        SetLanguage(code);
        TSettingsForm settings(nullptr, setup, 0);
        settings.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
        const QStringList buttons{settings.OkButton()->Caption(), settings.CancelButton()->Caption(),
                                  settings.ApplyButton()->Caption()};
        ExpectCaptionsWhole(code, QStringLiteral("buttons"), settings);
        ExpectTreeTextsWhole(code, *settings.PageTree());
        for (int i = 0; i < settings.PageCount(); ++i) {
            settings.SelectPage(i);
            TSettingsPage& page = *settings.Page(i);
            QCoreApplication::sendPostedEvents();
            ExpectNoLetterTwice(code, page.Caption(), CaptionsOn(page) + buttons);
            ExpectCaptionsWhole(code, page.Caption(), page);
        }
        TAboutForm about(nullptr);
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        ExpectCaptionsWhole(code, QStringLiteral("about box"), about);
    }
}

TEST_F(LanguageWindowsTest, PicturesOfTheMainWindowWithItsFileMenuAndOfTheEditorSettingsAreLeftForReview) {
    StartWindowOnAProgramModule();
    const QString folder = ReviewFolder();
    QMenu& file = form->Menu(TMainMenu::File);
    for (const char* code : {"DEU", "JPN", "RUS"}) {
        SetLanguage(QString::fromLatin1(code));
        QCoreApplication::sendPostedEvents();
        const QRect item = form->menuBar()->actionGeometry(file.menuAction());
        file.popup(form->menuBar()->mapToGlobal(item.bottomLeft()));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&file)) << code;
        const QString name = QStringLiteral("main-window-%1.png").arg(QLatin1String(code));
        EXPECT_TRUE(WindowWithMenu(*form, file).save(QDir(folder).filePath(name))) << code;
        file.hide();
    }
    SetLanguage(QStringLiteral("DEU"));
    TSettingsDialogSetup setup;
    setup.Settings = &global->Settings();
    TSettingsForm settings(nullptr, setup, 0);
    settings.show();
    for (int i = 0; i < settings.PageCount(); ++i)
        if (settings.Page(i) == settings.FindPage(QStringLiteral("Sheet"))) settings.SelectPage(i);
    ASSERT_EQ(settings.ShownPage(), settings.FindPage(QStringLiteral("Sheet")));
    EXPECT_TRUE(settings.grab().save(QDir(folder).filePath(QStringLiteral("settings-editor-DEU.png"))));
}

}  // namespace

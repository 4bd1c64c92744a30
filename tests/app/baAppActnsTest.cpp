// The action lists of the main form: stored actions kept, missing ones made
// with their shortcuts and captions, captions renewed with the language,
// enabled states following the document manager, commands going to it.

#include "app/baAppActns.h"
#include "core/baDocum.h"
#include "core/cuStringIds.h"
#include "platform/plDialogs.h"
#include "support/testEnglish.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

constexpr uint16_t kRussian = 1049;
constexpr uint16_t kEnglish = 1033;

// A viewer's list that counts how often its captions were set.
class TCountingViewerActions : public TViewerAppActions {
public:
    using TViewerAppActions::TViewerAppActions;
    int Captioned = 0;
    void UpdateCaptions() override {
        ++Captioned;
        TViewerAppActions::UpdateCaptions();
    }
};

class AppActionsTest : public ::testing::Test {
protected:
    AppActionsTest() {
        documentor.OnCreateDocument = [](int) { return std::make_unique<TDocument>(); };
    }

    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    QWidget form;
    TDocumentor documentor{&form};
};

TEST_F(AppActionsTest, AStoredFileOpenKeepsItsObjectAndGetsCtrlOTheOthersAreMadeAndEveryLanguageCaptionsThem) {
    TCountingViewerActions viewer(&form);
    auto* stored = new TFixAction(QStringLiteral("fileopen"), &form);
    viewer.Append(stored);
    viewer.Loaded();
    EXPECT_EQ(viewer.Captioned, 1);
    EXPECT_EQ(viewer.FileOpen(), stored);
    EXPECT_EQ(stored->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(stored->text(), QStringLiteral("Open..."));
    EXPECT_EQ(viewer.Actions().size(), 3);
    ASSERT_NE(viewer.FileCloseAll(), nullptr);
    EXPECT_EQ(viewer.FileCloseAll()->parent(), &form);
    EXPECT_EQ(viewer.FileCloseAll()->text(), QStringLiteral("Close All"));

    TEditorAppActions editor(&form);
    editor.Loaded();
    EXPECT_EQ(editor.FileSave()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(editor.FileSaveAs()->text(), QStringLiteral("Save\u00A0As..."));
    TAppActions app(&form);
    app.Loaded();
    EXPECT_EQ(app.HelpHelp()->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(app.HelpAbout()->text(), QStringLiteral("About"));
    // Every change of language captions the actions again.
    Localization()->SetLanguage(kRussian);
    EXPECT_EQ(viewer.Captioned, 2);
    EXPECT_EQ(stored->text(), LoadStr(strFileOpen));
    Localization()->SetLanguage(kEnglish);
    EXPECT_EQ(viewer.Captioned, 3);
    EXPECT_EQ(stored->text(), QStringLiteral("Open..."));
    // An action that goes leaves its list.
    delete stored;
    EXPECT_EQ(viewer.FileOpen(), nullptr);
    EXPECT_EQ(viewer.Actions().size(), 2);
}

TEST_F(AppActionsTest, EnabledStatesFollowTheDocumentManagerAndWithoutOneNothingRuns) {
    TViewerAppActions viewer(&form);
    TEditorAppActions editor(&form);
    viewer.Loaded();
    editor.Loaded();
    editor.SetDocumentor(&documentor);
    {
        TDocumentor gone(&form);
        viewer.SetDocumentor(&gone);
    }
    EXPECT_EQ(viewer.Documentor(), nullptr);
    viewer.FileOpen()->trigger();
    EXPECT_TRUE(dialogs.FileDialogs.empty());
    viewer.SetDocumentor(&documentor);
    EXPECT_FALSE(viewer.FileClose()->isEnabled());
    EXPECT_FALSE(viewer.FileCloseAll()->isEnabled());
    EXPECT_FALSE(editor.FileSave()->isEnabled());
    EXPECT_FALSE(editor.FileSaveAll()->isEnabled());
    editor.FileNew()->trigger();
    ASSERT_EQ(documentor.DocumentCount(), 1);
    EXPECT_TRUE(viewer.FileClose()->isEnabled());
    EXPECT_TRUE(viewer.FileCloseAll()->isEnabled());
    EXPECT_TRUE(editor.FileSaveAs()->isEnabled());
    EXPECT_TRUE(editor.FileSaveAll()->isEnabled());
    // Without a manager the states stay and nothing runs.
    editor.SetDocumentor(nullptr);
    editor.FileNew()->trigger();
    EXPECT_EQ(documentor.DocumentCount(), 1);
    viewer.FileClose()->trigger();
    EXPECT_EQ(documentor.DocumentCount(), 0);
    EXPECT_FALSE(viewer.FileClose()->isEnabled());
    EXPECT_TRUE(editor.FileSaveAll()->isEnabled());
}

// A modified flag changes no action by itself (the manager broadcasts
// nothing for it); the next notification 4 brings Save All in step.
TEST_F(AppActionsTest, SaveAllFollowsTheModifiedStateAtTheNextNotificationFour) {
    TEditorAppActions editor(&form);
    editor.Loaded();
    editor.SetDocumentor(&documentor);
    TDocument* document = documentor.New(false, 0);
    document->SaveAs(QStringLiteral("named"));
    EXPECT_FALSE(editor.FileSaveAll()->isEnabled()) << "named and saved";
    document->UndoRedo().SetModified(true);
    documentor.Broadcast(TDocumentor::dnUpdateUndoRedo);
    EXPECT_FALSE(editor.FileSaveAll()->isEnabled()) << "not on another notification";
    documentor.Broadcast(TDocumentor::dnUpdateAppActions);
    EXPECT_TRUE(editor.FileSaveAll()->isEnabled());
}

// The form's own handler runs before the list's command and can keep it from
// running; Exit closes the owner's window.
TEST_F(AppActionsTest, TheListsOwnExecuteEventRunsFirstAndCanKeepTheCommandFromRunning) {
    TEditorAppActions editor(&form);
    editor.Loaded();
    editor.SetDocumentor(&documentor);
    std::vector<QAction*> seen;
    bool handle = true;
    editor.OnExecute = [&](QAction* action, bool& handled) {
        seen.push_back(action);
        EXPECT_EQ(documentor.DocumentCount(), 0) << "before the command";
        handled = handle;
    };
    editor.FileNew()->trigger();
    EXPECT_EQ(documentor.DocumentCount(), 0) << "handled by the form";
    handle = false;
    editor.FileNew()->trigger();
    EXPECT_EQ(documentor.DocumentCount(), 1);
    EXPECT_EQ(seen, (std::vector<QAction*>{editor.FileNew(), editor.FileNew()}));

    TAppActions app(&form);
    app.Loaded();
    form.show();
    app.HelpAbout()->trigger();
    EXPECT_TRUE(form.isVisible()) << "About is the form's own";
    app.FileExit()->trigger();
    EXPECT_FALSE(form.isVisible());
}

}  // namespace

// The edit area on a real scheme and its log: the log pane with its splitter
// and button shown by the first message and hidden at once by clearing, stored
// log heights out of range ignored, the splitter's strip with and without an
// inner margin, the layout's round trip, F5 running the
// refresh and the check once each, Find Next without a text opening the find
// dialog, the replace dialog's Replace All, Ctrl+R and Ctrl+H opening it, the
// log button's pictures, and no two enabled actions of the window on one key.
// Review pictures "forms-review-sheet.png" (sheet with focus, selection, caret
// and the log), "forms-review-margin.png" (the same with an inner margin) and
// "forms-review-replace.png".

#include "ui/diEditArea.h"

#include "core/cuKnot.h"
#include "elements/diLog.h"
#include "platform/plDialogs.h"
#include "scheme/diCanvas.h"
#include "scheme/diMessages.h"
#include "support/imageCompare.h"
#include "support/testEnglish.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "ui/baSaper.h"
#include "ui/diFindDialogs.h"
#include "ui/diSheetForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

// A rich text of the area's scheme.
class TElement_AreaText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_AreaText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent);
        SetRestrictions(trAllCharacters);
    }
    void TreePlacementChanged() override {
        TTextorElement::TreePlacementChanged();
        if (!VisualParent()) SetVisualParent(static_cast<TVisualElement*>(Parent()));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_AreaText, TTextorElement)

namespace {

// Counts a sheet settings section's change announcements (a refresh sends one).
struct TAnnouncements {
    void OnSettings(TItfObject*, int msg, intptr_t, intptr_t) { count += msg == 1; }
    int count = 0;
};

class EditArea : public ::testing::Test, public TSheetFixture {
protected:
    EditArea() : dialogsGuard(&dialogs) {
        text = TElement::CreateIn<TElement_AreaText>(scheme.get(), root);
        text->SetText(QStringLiteral("alpha a beta a gamma"));
        Layout();
        logSettings->CreateProperties();
        logSheet = std::make_unique<TSheet>(logSettings.get());
        logScheme = std::make_unique<TScheme>(TLogRoot::StaticClass(), QStringLiteral("Log"));
        log = static_cast<TLogRoot*>(logScheme->Root());
        log->SetVisualParent(logSheet->Root());
        scheme->SetMessages(&log->Messages());
        area = std::make_unique<TEditArea>();
        area->resize(480, 400);
        area->AttachScheme(scheme.get(), &sheet, logScheme.get(), logSheet.get());
        area->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(area.get()));
        area->SheetForm().RangeBox().setFocus();
        text->FocusText(TTextFocusPlace::Start);
    }
    ~EditArea() override {
        area.reset();
        scheme->SetMessages(nullptr);
        logScheme.reset();
    }
    void Warn(const QString& message) { log->Messages().AddTextMessage(mkWarning, message); }
    static void SaveReview(const QImage& image, const char* name) {
        const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
        EXPECT_TRUE(image.save(path)) << path.toStdString();
    }

    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsGuard;
    TElement_AreaText* text = nullptr;
    TNodePtr<TSheetSettings> logSettings = MakeSheetSettings();
    std::unique_ptr<TSheet> logSheet;
    std::unique_ptr<TScheme> logScheme;
    TLogRoot* log = nullptr;
    std::unique_ptr<TEditArea> area;
};

TEST_F(EditArea, LogPaneWithSplitterAndButtonShownByAMessageAndClearedByTheButton) {
    EXPECT_FALSE(area->LogShown());
    EXPECT_FALSE(area->Action(TEditAreaAction::ToolsClearLog).isEnabled());
    Warn(QStringLiteral("Something to look at"));
    ASSERT_TRUE(area->LogShown());
    QCoreApplication::processEvents();
    EXPECT_TRUE(area->LogForm().isVisible());
    EXPECT_TRUE(area->Splitter().handle(1)->isVisible());
    EXPECT_TRUE(area->LogButton().isVisible());
    EXPECT_EQ(area->LogForm().height(), TEditArea::kInitialLogHeight);
    EXPECT_EQ(area->LogSeverity(), 2);
    const QRect handle(area->Splitter().handle(1)->mapTo(area.get(), QPoint(0, 0)), area->Splitter().handle(1)->size());
    EXPECT_EQ(area->LogButton().geometry().center().x(), handle.center().x());
    EXPECT_TRUE(handle.intersects(area->LogButton().geometry()));
    text->FocusText(TTextFocusPlace::Data, QStringLiteral("0,6,0,12"));
    QCoreApplication::processEvents();
    SaveReview(area->grab().toImage(), "forms-review-sheet.png");
    QTest::mouseClick(area->LogButton().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 8));
    EXPECT_EQ(log->Messages().GetCount(), 0);
    EXPECT_FALSE(area->LogShown());
    EXPECT_FALSE(area->LogForm().isVisible());
    EXPECT_FALSE(area->LogButton().isVisible());
}

// The button's face and clear signs are the pictures the resource script
// draws: the sign of the log's severity in the middle of the face.
TEST_F(EditArea, LogButtonShowsItsFaceAndTheClearSignOfTheSeverityFromThePictures) {
    const QImage face(QStringLiteral(":/rc/LogButtons.png"));
    const QImage signs(QStringLiteral(":/rc/LogClear.png"));
    ASSERT_EQ(face.size(), TEditArea::kLogButtonSize);
    const QSize sign = TEditArea::kLogClearSignSize;
    const QRect inside(TEditArea::kLogButtonCorner, 2, face.width() - 2 * TEditArea::kLogButtonCorner, face.height() - 4);
    for (int kind : {int(mkWarning), int(mkError)}) {
        log->Messages().AddTextMessage(uint8_t(kind), QStringLiteral("look"));
        QCoreApplication::processEvents();
        ASSERT_EQ(area->LogSeverity(), kind);
        QImage expected(face.size(), QImage::Format_ARGB32_Premultiplied);
        expected.fill(area->Splitter().handle(1)->palette().color(QPalette::Window));
        QPainter painter(&expected);
        painter.drawImage(0, 0, face);
        painter.drawImage((face.width() - sign.width()) / 2, (face.height() - sign.height()) / 2, signs,
                          kind * sign.width(), 0, sign.width(), sign.height());
        painter.end();
        const QImage shown = area->LogButton().viewport()->grab().toImage();
        EXPECT_TRUE(SamePixels(shown.copy(inside), expected.copy(inside))) << kind;
    }
}

// The splitter's strip as the window shows it (the log button covers only
// its middle): the splitter's colour; with an inner margin its first and last
// rows carry the edges of the sheet's and the log's frames, which cross it.
TEST_F(EditArea, SplitterStripIsItsColourWithTheFrameEdgesOnlyWithAnInnerMargin) {
    Warn(QStringLiteral("w"));
    QCoreApplication::processEvents();
    const QColor colour = area->Splitter().handle(1)->palette().color(QPalette::Window);
    auto strip = [&] {
        QCoreApplication::processEvents();
        const QWidget* handle = area->Splitter().handle(1);
        const QRect bar(handle->mapTo(area.get(), QPoint(0, 0)), handle->size());
        EXPECT_EQ(bar.height(), TEditArea::kSplitterHeight);
        const QImage shown = area->grab().toImage().copy(bar);
        // Left of the log button, clear of the frame's sides.
        return shown.copy(4, 0, area->LogButton().x() - bar.left() - 8, bar.height());
    };
    auto rowIs = [&](const QImage& image, int y, const QColor& c) {
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() != c.rgb()) return false;
        return true;
    };
    const QImage plain = strip();
    ASSERT_GT(plain.width(), 20);
    for (int y = 0; y < plain.height(); ++y) EXPECT_TRUE(rowIs(plain, y, colour)) << y;

    area->SetInnerMargin(1);
    const QImage framed = strip();
    for (int y = 1; y < framed.height() - 1; ++y) EXPECT_TRUE(rowIs(framed, y, colour)) << y;
    // The sheet frame's bottom edge and the log frame's top edge (the style
    // may shade the two sides differently), each one line across.
    for (int y : {0, framed.height() - 1}) {
        const QColor edge = framed.pixelColor(0, y);
        EXPECT_NE(edge.rgb(), colour.rgb()) << y;
        EXPECT_TRUE(rowIs(framed, y, edge)) << y;
    }
    // The frames' sides meet the edges: the left edge of the sheet's frame
    // and of the log's frame, in the margin.
    const QImage whole = area->grab().toImage();
    SaveReview(whole, "forms-review-margin.png");
    EXPECT_NE(whole.pixelColor(0, area->height() / 3).rgb(), colour.rgb());
    EXPECT_NE(whole.pixelColor(0, area->height() - 10).rgb(), colour.rgb());
}

// The classic look (no visual styles) gets the margin and its frames.
TEST(EditAreaInnerMargin, OnePixelInTheClassicLookAndNoneInOthers) {
    for (const auto& [name, margin] : {std::pair{"windows", 1}, std::pair{"fusion", 0}}) {
        std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(name)));
        ASSERT_NE(style, nullptr) << name;
        EXPECT_EQ(EditAreaInnerMargin(*style), margin) << name;
    }
}

TEST_F(EditArea, StoredLogHeightsOutOfRangeAreIgnoredAndTheLayoutRoundTrips) {
    Warn(QStringLiteral("w"));
    for (int height : {5, area->height() / 2 + 1}) {
        TNodePtr<TKnot> stored = TKnot::Create(QStringLiteral("EditForm"));
        stored->AddChild(QStringLiteral("Log"))->WriteInt(QStringLiteral("Height"), height);
        area->LoadLayout(stored.get());
        EXPECT_EQ(area->LogForm().height(), TEditArea::kInitialLogHeight) << height;
    }
    TNodePtr<TKnot> stored = TKnot::Create(QStringLiteral("EditForm"));
    stored->AddChild(QStringLiteral("Log"))->WriteInt(QStringLiteral("Height"), 150);
    stored->AddChild(QStringLiteral("Palette"))->WriteBool(QStringLiteral("Visible"), false);
    area->LoadLayout(stored.get());
    EXPECT_EQ(area->LogForm().height(), 150);
    EXPECT_FALSE(area->Action(TEditAreaAction::ViewPalette).isChecked());
    TNodePtr<TKnot> saved = TKnot::Create(QStringLiteral("EditForm"));
    area->SaveLayout(saved.get());
    EXPECT_EQ(saved->FindChild(QStringLiteral("Log"))->ReadInt(QStringLiteral("Height"), 0), 150);
    EXPECT_FALSE(saved->FindChild(QStringLiteral("Palette"))->ReadBool(QStringLiteral("Visible"), true));
}

TEST_F(EditArea, F5RunsTheRefreshAndTheCheckOnceEach) {
    Warn(QStringLiteral("from an earlier check"));
    ASSERT_TRUE(area->LogShown());
    TAnnouncements announcements;
    sheet.Settings()->AddHandler(MakeHandler<&TAnnouncements::OnSettings>(&announcements));
    QTest::keyClick(&area->SheetForm().RangeBox(), Qt::Key_F5);
    sheet.Settings()->RemoveHandler(MakeHandler<&TAnnouncements::OnSettings>(&announcements));
    EXPECT_EQ(announcements.count, 1);
    EXPECT_EQ(log->Messages().GetCount(), 0);  // the check wrote the scheme's messages anew: none
    EXPECT_FALSE(area->LogShown());
}

TEST_F(EditArea, FindNextWithoutATextOpensTheFindDialog) {
    ASSERT_TRUE(area->FindDialog().FindText().isEmpty());
    QTest::keyClick(&area->SheetForm().RangeBox(), Qt::Key_F3);
    EXPECT_TRUE(area->FindDialog().isVisible());
    area->FindDialog().close();
}

TEST_F(EditArea, ReplaceAllFromTheDialogCountsTheReplacementsMade) {
    area->Action(TEditAreaAction::EditReplace).trigger();
    TFindDialog& dialog = area->ReplaceDialog();
    ASSERT_TRUE(dialog.isVisible());
    dialog.FindEdit().setText(QStringLiteral("a"));
    dialog.ReplaceEdit().setText(QStringLiteral("aa"));
    SaveReview(dialog.grab().toImage(), "forms-review-replace.png");
    dialog.ReplaceAllButton().click();
    EXPECT_EQ(text->GetText(), QStringLiteral("aalphaa aa betaa aa gaammaa"));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, QStringLiteral(u"The program has made 7\u00A0replacements."));
    dialog.close();
}

// Ctrl+R is the replace command's second key: on the sheet it opens the
// replace dialog (as Ctrl+H does) before any key handler of the sheet or its
// owner sees it, and types nothing.
TEST_F(EditArea, CtrlRAndCtrlHOnTheSheetOpenTheReplaceDialogAndTypeNothing) {
    const QString before = text->GetText();
    for (Qt::Key key : {Qt::Key_R, Qt::Key_H}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        area->ReplaceDialog().close();
        QTest::keyClick(&area->SheetForm().RangeBox(), key, Qt::ControlModifier);
        EXPECT_TRUE(area->ReplaceDialog().isVisible());
        EXPECT_EQ(text->GetText(), before);
    }
    area->ReplaceDialog().close();
}

TEST_F(EditArea, NoTwoEnabledActionsOfTheWindowShareAKey) {
    Warn(QStringLiteral("w"));  // the log's actions too
    QMap<QString, QString> owners;
    for (const QAction* action : area->findChildren<QAction*>()) {
        if (!action->isEnabled()) continue;
        for (const QKeySequence& key : action->shortcuts()) {
            const QString name = key.toString();
            // The log's sheet form holds the same edit actions, each only for its own children.
            const QString owner = action->parent() == &area->LogForm() ? QStringLiteral("log ") : QString();
            EXPECT_FALSE(owners.contains(owner + name)) << name.toStdString() << " " << action->text().toStdString()
                                                        << " and " << owners.value(owner + name).toStdString();
            owners.insert(owner + name, action->text());
        }
    }
    EXPECT_TRUE(owners.contains(QStringLiteral("F5")));
}

}  // namespace

namespace {

// Regression: Ctrl+F and Ctrl+H showed their dialog without giving it the
// keys, so what the user typed next went into the sheet, or, with the dialog
// open already, was added to the text searched for last.
TEST_F(EditArea, RegressionTheFindAndReplaceCommandsLeftTheKeysWhereTheyWere) {
    constexpr int kWaitMs = 2000;
    const QString before = text->GetText();
    for (const auto& [key, find] : {std::pair{Qt::Key_H, false}, std::pair{Qt::Key_F, true}})
        for (const QString& typed : {QStringLiteral("beta"), QStringLiteral("gamma")}) {
            SCOPED_TRACE(QKeySequence(key).toString().toStdString() + " " + typed.toStdString());
            // The second time the dialog is open, its keys last went to the match-case box.
            TFindDialog& shown = find ? area->FindDialog() : area->ReplaceDialog();
            if (shown.isVisible()) shown.findChild<QCheckBox*>()->setFocus();
            area->activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == area.get(); }, kWaitMs));
            QTest::keyClick(&area->SheetForm().RangeBox(), key, Qt::ControlModifier);
            ASSERT_TRUE(shown.isVisible());
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &shown; }, kWaitMs));
            ASSERT_EQ(QApplication::focusWidget(), &shown.FindEdit());
            QTest::keyClicks(QApplication::focusWidget(), typed);
            EXPECT_EQ(shown.FindText(), typed) << "what was there before is replaced";
        }
    EXPECT_EQ(text->GetText(), before);
    area->FindDialog().close();
}

}  // namespace

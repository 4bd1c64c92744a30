// The palette form inside a real edit form holding a real scheme (a box
// holding a rich text that takes logic frames, and a box offering a test
// group of counting items), driven with QTest's keys: Ctrl+letter inserting
// an element, keys "1" to "11" with Ctrl+1 waiting for the release, Ctrl+Left,
// keys that are not the palette's going on to the sheet, posted clicks
// dropped by a rebuild, exclusive radio entries in a drop-down menu, a
// rebuild that keeps its buttons, fitting right to
// left and the hint text. Review pictures "forms-review-edit.png" and
// "forms-review-palette-<width>.png" go into the build folder.

#include "ui/diPaletteForm.h"

#include "core/cuStringIds.h"
#include "elements/diCommonElements.h"
#include "elements/diLog.h"
#include "platform/plClipboard.h"
#include "platform/plTimer.h"
#include "scheme/diClasses.h"
#include "support/testEnglish.h"
#include "support/testSounds.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "ui/baHintWindow.h"
#include "ui/baSaper.h"
#include "ui/baUserButtons.h"
#include "ui/diEditArea.h"
#include "ui/diEditForm.h"
#include "ui/diPaletteHintWindow.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

// A rich text on the edit form's sheet that takes logic frames.
class TElement_PaletteText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_PaletteText)
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
T_ELEMENT_CLASS_IMPL(TElement_PaletteText, TTextorElement)

// An item that counts how often it ran.
class TCountingPaletteItem : public TSchemePaletteItem {
public:
    using TSchemePaletteItem::TSchemePaletteItem;
    void ApplyTo(TElement*, bool) override { ++Runs; }
    QString GetSoundName() const override { return {}; }
    int Runs = 0;

protected:
    ~TCountingPaletteItem() override = default;
};

namespace {

constexpr int kUnletteredItems = 11;

// The test groups: eleven items without a letter; then an item with the
// letter "W", a large item and a drop-down item with an entry and two radio
// entries. Made once;
// the palette keeps its nodes.
struct TTestPalette {
    std::vector<TCountingPaletteItem*> Numbered;
    TCountingPaletteItem* Lettered = nullptr;
    TCountingPaletteItem* Large = nullptr;
    TCountingPaletteItem* DropDown = nullptr;
    TCountingPaletteItem* Entry = nullptr;
    // Two radio entries of one radio group in the drop-down item's menu.
    TCountingPaletteItem* RadioA = nullptr;
    TCountingPaletteItem* RadioB = nullptr;
    QList<TPaletteItem*> All;

    TTestPalette() {
        TPaletteGroup* first = TPaletteGroup::Create(Palette(), strCollapseAll, -100);
        TPaletteGroup* second = TPaletteGroup::Create(Palette(), strExpandAll, -101);
        auto add = [&](TNode* parent, uint16_t flags, int order) {
            TNodePtr<TCountingPaletteItem> item = MakeNode<TCountingPaletteItem>(flags, -1, strExpandAll, strClearLog, order);
            item->SetParent(parent);
            All << item.get();
            return item.release();
        };
        for (int i = 0; i < kUnletteredItems; ++i) Numbered.push_back(add(first, 0, 100 - i));
        Lettered = add(second, 0, 50);
        Lettered->SetLetter(QStringLiteral("W"));
        Large = add(second, pifLargeImage, 45);
        DropDown = add(second, pifDropDown, 40);
        Entry = add(DropDown, 0, 30);
        RadioA = add(DropDown, pifRadio, 20);
        RadioB = add(DropDown, pifRadio, 10);
    }
    void ResetRuns() {
        for (TPaletteItem* item : All) static_cast<TCountingPaletteItem*>(item)->Runs = 0;
    }
};

TTestPalette& TestPalette() {
    static TTestPalette palette;
    return palette;
}

}  // namespace

// A box that offers the test group.
class TElement_PaletteBox : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_PaletteBox)
public:
    void GetPaletteItems(QList<TPaletteItem*>& list) override {
        TElement_TestBox::GetPaletteItems(list);
        list << TestPalette().All;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_PaletteBox, TElement_TestBox)

namespace {

int g_paletteBeeps = 0;
void CountPaletteBeep() { ++g_paletteBeeps; }

void SaveReview(QWidget& widget, const QString& name) {
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

int LogicFrames(TVisualElement* parent) {
    int count = 0;
    for (TVisualElement* c = parent->FirstVisualChild(); c; c = c->NextVisualSibling())
        if (dynamic_cast<TElement_LogicFrame*>(c)) ++count;
    return count;
}

class PaletteForm : public ::testing::Test, public TSheetFixture {
protected:
    PaletteForm()
        : previousBeep(InstallBeep(&CountPaletteBeep)), timersGuard(&timers), inputGuard(&input),
          clipboardGuard(&clipboard) {
        g_paletteBeeps = 0;
        TestPalette().ResetRuns();
        settings->CreateProperties();
        text = TElement::CreateIn<TElement_PaletteText>(scheme.get(), root);
        text->SetText(QStringLiteral("alpha beta"));
        box = TElement::CreateIn<TElement_PaletteBox>(scheme.get(), root);
        box->SetVisualParent(root);
        Layout();
        form = std::make_unique<TEditForm>(nullptr, settings.get());
        form->resize(1400, 360);
        form->AttachScheme(scheme.get(), &sheet, nullptr, nullptr);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        Box().setFocus();
        text->FocusText(TTextFocusPlace::Start);
        history.Clear();
    }
    ~PaletteForm() override {
        form.reset();
        InstallBeep(previousBeep);
    }
    TRangeBox& Box() const { return form->SheetForm().RangeBox(); }
    TPaletteForm& Palette() const { return form->PaletteForm(); }
    void HoldCtrl() {
        input.Modifiers = ssCtrl;
        QTest::keyPress(&Box(), Qt::Key_Control, Qt::ControlModifier);
    }
    void ReleaseCtrl() {
        input.Modifiers = 0;
        QTest::keyRelease(&Box(), Qt::Key_Control);
        timers.Advance(TPaletteForm::kCtrlPollMs);
    }
    void CtrlKey(Qt::Key key) { QTest::keyClick(&Box(), key, Qt::ControlModifier); }
    // Runs the clicks posted to the palette.
    void Flush() { QCoreApplication::sendPostedEvents(&Palette()); }
    int Runs(int numbered) const { return TestPalette().Numbered[size_t(numbered)]->Runs; }
    int AllRuns() const {
        int runs = 0;
        for (TPaletteItem* item : TestPalette().All) runs += static_cast<TCountingPaletteItem*>(item)->Runs;
        return runs;
    }
    void FocusBox() {
        box->SetFocus();
        ASSERT_NE(Palette().ButtonOfKey(QStringLiteral("11")), nullptr);
    }

    TEnglishTexts english;
    TBeepFunction previousBeep;
    TManualTimerService timers;
    TTimerServiceInstaller timersGuard;
    TFakeInputState input;
    TInputStateInstaller inputGuard;
    TFakeClipboard clipboard;
    TClipboardInstaller clipboardGuard;
    TNodePtr<TPaletteFormSettings> settings = TProperty::CreateRoot<TPaletteFormSettings>(QStringLiteral("PaletteForm"));
    TElement_PaletteText* text = nullptr;
    TElement_PaletteBox* box = nullptr;
    std::unique_ptr<TEditForm> form;
};

TEST_F(PaletteForm, CtrlLetterInsertsAnElementWithOneSoundAsOneUndoStep) {
    TRecordedSounds sounds;
    HoldCtrl();
    CtrlKey(Qt::Key_L);
    Flush();
    ReleaseCtrl();
    EXPECT_EQ(LogicFrames(text), 1);
    EXPECT_EQ(sounds.played.size(), 1) << sounds.played.join(u',').toStdString();
    EXPECT_EQ(history.UndoList()->ChildCount(), 1);
    EXPECT_EQ(g_paletteBeeps, 0);
}

TEST_F(PaletteForm, KeysOneToElevenWithCtrlOneWaitingForTheRelease) {
    FocusBox();
    HoldCtrl();
    CtrlKey(Qt::Key_1);  // "1", "10" and "11" begin with it
    Flush();
    EXPECT_EQ(AllRuns(), 0);
    EXPECT_EQ(Palette().KeyBuffer(), QStringLiteral("1"));
    ReleaseCtrl();
    Flush();
    EXPECT_EQ(Runs(0), 1);
    EXPECT_FALSE(Palette().InCtrlMode());

    HoldCtrl();
    CtrlKey(Qt::Key_1);
    CtrlKey(Qt::Key_1);  // "11" is the only one: runs at once
    Flush();
    EXPECT_EQ(Runs(10), 1);
    CtrlKey(Qt::Key_2);  // Ctrl still held: the next key runs too
    Flush();
    EXPECT_EQ(Runs(1), 1);
    ReleaseCtrl();
    Flush();
    EXPECT_EQ(AllRuns(), 3);
}

TEST_F(PaletteForm, KeyHintsShowAfterTheDelayAndThoseNotMatchingHide) {
    FocusBox();
    HoldCtrl();
    timers.Advance(TPaletteForm::kCtrlHintsMs - 1);
    EXPECT_TRUE(Palette().KeyHints().empty());
    timers.Advance(1);
    const size_t all = Palette().KeyHints().size();
    EXPECT_GE(all, size_t(kUnletteredItems + 1));
    CtrlKey(Qt::Key_1);
    EXPECT_EQ(Palette().KeyHints().size(), 5u);  // "1", "10" to "13"
    ReleaseCtrl();
    EXPECT_TRUE(Palette().KeyHints().empty());
}

TEST_F(PaletteForm, CtrlLeftDropsTheTypedKeys) {
    FocusBox();
    HoldCtrl();
    CtrlKey(Qt::Key_1);
    CtrlKey(Qt::Key_Left);
    EXPECT_TRUE(Palette().KeyBuffer().isEmpty());
    ReleaseCtrl();
    Flush();
    EXPECT_EQ(AllRuns(), 0);
    EXPECT_EQ(g_paletteBeeps, 0);
}

TEST_F(PaletteForm, CtrlCStillCopiesWhenNoPaletteKeyMatches) {
    text->SelectAll();
    HoldCtrl();
    CtrlKey(Qt::Key_C);
    ReleaseCtrl();
    EXPECT_EQ(clipboard.Text(), QStringLiteral("alpha beta"));
    EXPECT_EQ(LogicFrames(text), 0);
}

// Function keys share their numbers with the lower-case letters (F3 is "r",
// F8 "w"): with Ctrl held they must not run the item of the key "W".
TEST_F(PaletteForm, CtrlFunctionKeyNeverRunsTheItemOfItsLetter) {
    FocusBox();
    HoldCtrl();
    CtrlKey(Qt::Key_F8);
    Flush();
    EXPECT_EQ(TestPalette().Lettered->Runs, 0);
    CtrlKey(Qt::Key_W);
    Flush();
    ReleaseCtrl();
    EXPECT_EQ(TestPalette().Lettered->Runs, 1);
}

TEST_F(PaletteForm, PostedClickIsDroppedByARebuildForAnotherTarget) {
    FocusBox();
    QTest::mouseClick(Palette().ButtonOfKey(QStringLiteral("1")), Qt::LeftButton);
    EXPECT_EQ(Runs(0), 0);  // posted, not run inside the button's own handling
    Flush();
    EXPECT_EQ(Runs(0), 1);
    Palette().ButtonOfKey(QStringLiteral("1"))->Click();
    text->FocusText(TTextFocusPlace::Start);  // the palette is rebuilt for the text
    box->SetFocus();
    Flush();
    EXPECT_EQ(Runs(0), 1);
}

TEST_F(PaletteForm, DropDownButtonOnlyOpensItsMenuWhoseEntryRuns) {
    FocusBox();
    TUserButton* button = Palette().ButtonOfKey(QStringLiteral("13"));
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->DropDownMenu(), nullptr);
    EXPECT_EQ(button->SignAt(spRight), saArrowDown);
    button->Click();
    EXPECT_TRUE(button->DropDownMenu()->isVisible());
    button->DropDownMenu()->hide();
    Flush();
    EXPECT_EQ(TestPalette().DropDown->Runs, 0);
    button->DropDownMenu()->actions().first()->trigger();
    Flush();
    EXPECT_EQ(TestPalette().Entry->Runs, 1);
}

// The radio entries of one group in a drop-down menu are exclusive, as
// radio buttons are: choosing one unchecks the other, choosing the checked
// one keeps it checked, and each choice runs its item.
TEST_F(PaletteForm, RadioEntriesOfADropDownMenuAreExclusive) {
    FocusBox();
    TUserButton* button = Palette().ButtonOfKey(QStringLiteral("13"));
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->DropDownMenu(), nullptr);
    TPaletteMenuItem* a = nullptr;
    TPaletteMenuItem* b = nullptr;
    for (QAction* action : button->DropDownMenu()->actions())
        if (auto* entry = dynamic_cast<TPaletteMenuItem*>(action)) {
            if (entry->Item() == TestPalette().RadioA) a = entry;
            if (entry->Item() == TestPalette().RadioB) b = entry;
        }
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->RadioGroup(), 1);
    a->trigger();
    EXPECT_TRUE(a->isChecked());
    b->trigger();
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(a->isChecked());
    b->trigger();
    EXPECT_TRUE(b->isChecked());
    Flush();
    EXPECT_EQ(TestPalette().RadioA->Runs, 1);
    EXPECT_EQ(TestPalette().RadioB->Runs, 2);
}

TEST_F(PaletteForm, RebuildWithTheSameItemsKeepsItsButtons) {
    std::vector<TUserButton*> before;
    for (const auto& entry : Palette().Buttons()) before.push_back(entry.Button);
    const int builds = Palette().BuildCount();
    QTest::keyClick(&Box(), Qt::Key_X);
    EXPECT_EQ(text->GetText(), QStringLiteral("xalpha beta"));
    Palette().Rebuild();
    std::vector<TUserButton*> after;
    for (const auto& entry : Palette().Buttons()) after.push_back(entry.Button);
    EXPECT_EQ(after, before);
    EXPECT_EQ(Palette().BuildCount(), builds);
    box->SetFocus();  // other items: built anew
    EXPECT_EQ(Palette().BuildCount(), builds + 1);
}

TEST_F(PaletteForm, NarrowPaletteFitsInFourStepsFromRightToLeft) {
    FocusBox();
    auto captions = [&](size_t panel) {
        int shown = 0;
        for (const auto& entry : Palette().Buttons())
            if (entry.Item && entry.Button->parentWidget() == Palette().Panels()[panel] &&
                !entry.Button->Caption().isEmpty())
                ++shown;
        return shown;
    };
    ASSERT_EQ(Palette().Panels().size(), 2u);  // the two test groups
    const int fullFirst = captions(0), fullLast = captions(1);
    const int wide = Palette().Panels().back()->geometry().right() + 1;
    EXPECT_FALSE(Palette().TooNarrow());

    // A little too wide: trimming, then the last panel's small captions, from its last column.
    Palette().resize(wide - 60, Palette().height());
    EXPECT_TRUE(Palette().TooNarrow());
    EXPECT_EQ(captions(0), fullFirst);
    EXPECT_LT(captions(1), fullLast);
    EXPECT_GT(captions(1), 0);
    EXPECT_LE(Palette().Panels().back()->geometry().right() + 1, wide - 60);

    // Very narrow: every caption and the drop-down sign go.
    Palette().resize(60, Palette().height());
    EXPECT_EQ(captions(0), 0);
    EXPECT_EQ(captions(1), 0);
    for (const auto& entry : Palette().Buttons())
        if (entry.Item) {
            EXPECT_EQ(entry.Button->SignAt(spRight), saNone);
        }
    SaveReview(Palette(), QStringLiteral("forms-review-palette-60.png"));
}

TEST_F(PaletteForm, WithoutHeadersTheFormIsLargeButtonsAndSixPixelsHigh) {
    EXPECT_GT(Palette().height(), Palette().LargeHeight() + 6);
    settings->ShowHeaders()->SetValue(false);
    EXPECT_EQ(Palette().height(), Palette().LargeHeight() + 6);
    for (const auto& entry : Palette().Buttons()) EXPECT_NE(entry.Item, nullptr);  // no group captions
}

TEST_F(PaletteForm, HintTextReadsCaptionKeyAndDescription) {
    EXPECT_EQ(PaletteHintText(QStringLiteral("Logic Frame"), QStringLiteral("L"), QStringLiteral("Groups data.")),
              QStringLiteral("Logic Frame (Ctrl+L)\r\nGroups data."));
    EXPECT_EQ(PaletteHintText(QStringLiteral("Gap"), QStringLiteral(" "), QStringLiteral("d")),
              QStringLiteral("Gap (Ctrl+Space)\r\nd"));
    EXPECT_EQ(PaletteHintText(QStringLiteral("Entry"), QString(), QStringLiteral("d")), QStringLiteral("Entry\r\nd"));

    // A button's hint shows in our own window, the caption row above the wrapped description.
    TUserButton* button = Palette().ButtonOfKey(QStringLiteral("L"));
    ASSERT_NE(button, nullptr);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(button, &help);
    TPaletteHintWindow* hint = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = dynamic_cast<TPaletteHintWindow*>(w); h && h->isVisible()) hint = h;
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->Text().startsWith(QStringLiteral("Logic Frame (Ctrl+L)\r\n")));
    const QRect one = hint->CalcHintRect(400, QStringLiteral("Logic Frame (Ctrl+L)"));
    EXPECT_GT(hint->geometry().height(), one.height());
}

// The hint window is our own, so nothing of Qt's tool tip hides it: it goes
// when the mouse leaves its button or presses it, not 16 s later over the sheet.
TEST_F(PaletteForm, ButtonHintGoesWhenTheMouseLeavesOrPressesTheButton) {
    TUserButton* button = Palette().ButtonOfKey(QStringLiteral("L"));
    ASSERT_NE(button, nullptr);
    const auto shownHint = [&]() -> TPaletteHintWindow* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = dynamic_cast<TPaletteHintWindow*>(w); h && h->isVisible()) return h;
        return nullptr;
    };
    for (QEvent::Type away : {QEvent::Leave, QEvent::MouseButtonPress}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(button, &help);
        ASSERT_NE(shownHint(), nullptr);
        if (away == QEvent::Leave) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(button, &leave);
        } else {
            QTest::mousePress(button, Qt::RightButton, Qt::NoModifier, QPoint(2, 2));
        }
        EXPECT_EQ(shownHint(), nullptr) << away;
    }
}

TEST_F(PaletteForm, ReviewPicturesOfTheEditFormAndThePaletteAtThreeWidths) {
    // The log: a scheme of its own whose root shows the scheme's messages.
    TNodePtr<TSheetSettings> logSettings = MakeSheetSettings();
    TSheet logSheet(logSettings.get());
    auto logScheme = std::make_unique<TScheme>(TLogRoot::StaticClass(), QStringLiteral("Log"));
    auto* logRoot = static_cast<TLogRoot*>(logScheme->Root());
    logRoot->SetVisualParent(logSheet.Root());
    scheme->SetMessages(&logRoot->Messages());
    form->AttachScheme(scheme.get(), &sheet, logScheme.get(), &logSheet);
    logRoot->Messages().AddTextMessage(mkInformation, QStringLiteral("Checked: two elements"));
    logRoot->Messages().AddElementLinkMessage(mkWarning, QStringLiteral("A warning at [this element]"),
                                              QStringLiteral("1"));
    {
        TSheetUpdate update(&logSheet);
        logSheet.Root()->UpdateLayout(true, true, false, false);
    }
    EXPECT_TRUE(form->EditArea().LogShown());
    Box().setFocus();
    text->FocusText(TTextFocusPlace::End);
    text->SelectAll();
    QCoreApplication::processEvents();
    SaveReview(*form, QStringLiteral("forms-review-edit.png"));
    box->SetFocus();  // two groups, large, lettered and drop-down buttons: fitting shows
    for (int width : {1400, 420, 220}) {
        Palette().resize(width, Palette().height());
        SaveReview(Palette(), QStringLiteral("forms-review-palette-%1.png").arg(width));
    }
    form->AttachScheme(nullptr, nullptr, nullptr, nullptr);
    scheme->SetMessages(&messages);
}

}  // namespace

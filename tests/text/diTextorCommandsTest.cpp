// Text element commands: replacing and clearing as one step, the drop-down
// item the text names, inserting palette elements on their own line and by
// the class before the caret, the find step in each mode and direction.

#include "core/cuUndoRedo.h"
#include "scheme/diPalette.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <gtest/gtest.h>

// A rich text of paragraphs in fixed metrics that embeds test boxes and images.
class TElement_CommandProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_CommandProbeText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent);
    }
    TTextAttributes* GetTextAttributes() const override { return m_fixed.get(); }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_TestBox::StaticClass() << TElement_TestImage::StaticClass();
    }

private:
    TTextAttributesRef m_fixed = FixedText();
};
T_ELEMENT_CLASS_IMPL(TElement_CommandProbeText, TTextorElement)

namespace {

class TextorCommandsTest : public ::testing::Test {
protected:
    TextorCommandsTest() {
        fixture.sheet.SetAvailableSize(QSize(600, 400));
        text = TElement::CreateIn<TElement_CommandProbeText>(fixture.scheme.get(), fixture.root);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    // The text set without undo; "#" stands for an embedded box.
    void Start(const QString& value) {
        TTextor& textor = *text->Textor();
        const QStringList pieces = value.split(u'#');
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0) Embed();
            textor.InsertText(textor.GetEndPosition(), pieces[i]);
        }
        fixture.history.Clear();
    }
    void Embed() {
        TElement_TestBox* box = AddBox(text);
        text->Textor()->InsertElement(text->Textor()->GetEndPosition(), box);
    }
    // Focused with the selection of focus data "p,c,p,c".
    void Select(const QString& data) {
        text->SetFocus(data);
        ASSERT_TRUE(text->IsEdited());
    }
    QString FocusData() {
        QString data;
        text->GetFocusData(data);
        return data;
    }
    int Steps() const { return fixture.history.UndoList()->ChildCount(); }
    // The paragraphs, an element as "#".
    QStringList Paragraphs() const {
        QStringList out = ParagraphTexts(*text->Textor());
        for (QString& p : out) p.replace(QChar(0xFFFC), u'#');
        return out;
    }

    TSheetFixture fixture;
    TElement_CommandProbeText* text = nullptr;
};

// ---------------------------------------------------------------------------
// Replacing

TEST_F(TextorCommandsTest, ClearTextRemovesEmbeddedElementsInOneUndoStep) {
    Start("ab#cd");
    text->ClearText();
    EXPECT_EQ(Paragraphs(), QStringList{""});
    EXPECT_EQ(Steps(), 1);
    fixture.history.Undo();
    EXPECT_EQ(Paragraphs(), QStringList{"ab#cd"});
}

TEST_F(TextorCommandsTest, ReplacingTheSelectionIsRefusedWhenReadOnly) {
    Start("one two");
    Select("0,4,0,7");
    EXPECT_TRUE(text->ReplaceSelection("three"));
    EXPECT_EQ(text->GetText(), "one three");
    fixture.sheet.SetReadOnly(true);
    EXPECT_FALSE(text->ReplaceSelection("four"));
    EXPECT_EQ(text->GetText(), "one three");
}

TEST_F(TextorCommandsTest, TabIsWantedWithTabsAllowedUnlessTheCaretObjectTakesCtrlTab) {
    text->SetRestrictions(trAllCharacters);
    EXPECT_TRUE(text->WantsTab());
    Select("0,0,0,0");
    text->Interactive()->SetOptions(text->Interactive()->Options() | tioCtrlTab);
    EXPECT_FALSE(text->WantsTab());
    text->SetRestrictions(trAllCharacters & ~trTabs);
    text->Interactive()->SetOptions(0);
    EXPECT_FALSE(text->WantsTab());
}

// ---------------------------------------------------------------------------
// The drop-down list

TEST_F(TextorCommandsTest, SelectingADropDownItemReplacesTheWholeTextNotTheSelection) {
    Start("alpha beta");
    Select("0,0,0,5");
    TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
    EXPECT_TRUE(text->SelectDropDownItem(root->AddItem(-1, "Gamma")));
    EXPECT_EQ(text->GetText(), "Gamma");
    fixture.sheet.SetReadOnly(true);
    EXPECT_FALSE(text->SelectDropDownItem(root->AddItem(-1, "Delta")));
}

struct TItemCase {
    const char* text;
    bool caseSensitiveOnly;
    const char* expected;  // nullptr: none
};

TEST(TextorCommandsDropDown, ThePreselectedItemIsEqualThenBeginsThenSharesTheLongestBeginning) {
    const TItemCase cases[] = {
        {"Alpha", false, "Alpha"},   {"alp", false, "alphabet"}, {"Alphz", false, "Alpha"},
        {"gam", false, "Gamma"},     {"gam", true, nullptr},     {"BETA", false, "Beta"},
        {"zeta", false, nullptr},
    };
    TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
    for (const char* caption : {"Alpha", "alphabet", "Beta", "Gamma"}) root->AddItem(-1, caption);
    for (const TItemCase& c : cases) {
        TDropDownItem* item = TTextorElement::FindTextItem(root.get(), c.text, c.caseSensitiveOnly);
        EXPECT_EQ(item ? item->Caption : QString(), c.expected ? QString(c.expected) : QString()) << c.text;
    }
}

// ---------------------------------------------------------------------------
// Palette elements

struct TInsertCase {
    const char* name;
    const char* text;
    const char* selection;
    QStringList expected;
    const char* caret;
};

TEST_F(TextorCommandsTest, AnOwnLineElementGetsBreaksWhereItsParagraphGoesOn) {
    const TInsertCase cases[] = {
        {"MidParagraph", "abcdef", "0,3,0,3", {"abc", "#", "def"}, "1,1,1,1"},
        {"ParagraphStart", "abcdef", "0,0,0,0", {"#", "abcdef"}, "0,1,0,1"},
        {"ParagraphEnd", "abcdef", "0,6,0,6", {"abcdef", "#"}, "1,1,1,1"},
        {"ReplacingTheSelection", "abcdef", "0,2,0,4", {"ab", "#", "ef"}, "1,1,1,1"},
    };
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 1);
    TElementPaletteItem* item =
        TElementPaletteItem::Create(group.get(), pifOwnLine, 0, 0, 0, 1, TElement_TestBox::StaticClass());
    for (const TInsertCase& c : cases) {
        text->SetText(QString());
        Start(c.text);
        Select(c.selection);
        EXPECT_TRUE(text->ApplyPaletteItem(item, {}, false)) << c.name;
        EXPECT_EQ(Paragraphs(), c.expected) << c.name;
        EXPECT_EQ(FocusData(), c.caret) << c.name;
        EXPECT_EQ(Steps(), 1) << c.name;
    }
}

TEST_F(TextorCommandsTest, AnItemOfTwoClassesInsertsTheSecondAfterAnElementOfTheFirst) {
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 1);
    TElementPaletteItem* item = TElementPaletteItem::Create(group.get(), 0, 0, 0, 0, 1, TElement_TestBox::StaticClass());
    item->SetSecondClass(TElement_TestImage::StaticClass());
    Start("ab");
    text->ApplyPaletteItem(item, {}, false);  // not edited: at the text end
    Select("0,3,0,3");
    text->ApplyPaletteItem(item, {}, false);
    Select("0,0,0,0");
    text->ApplyPaletteItem(item, {}, false);
    QStringList classes;
    for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (auto* e = dynamic_cast<TElementPortion*>(p)) classes << e->Element()->ElementClass()->GetTypeName();
    EXPECT_EQ(classes, QStringList({"TestBox", "TestBox", "TestImage"}));
}

TEST_F(TextorCommandsTest, AddElementOfClassAnswersTheNewestElementWithoutAnUndoStep) {
    Start("x#");
    TElement* added = text->AddElementOfClass(TElement_TestBox::StaticClass(), true);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(Paragraphs(), QStringList({"x##", ""}));
    for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (auto* e = dynamic_cast<TElementPortion*>(p)) EXPECT_LE(e->Element()->Number(), added->Number());
    EXPECT_EQ(Steps(), 0);
}

// ---------------------------------------------------------------------------
// Finding

struct TFindCase {
    const char* name;
    const char* selection;  // nullptr: not edited
    TFindMode mode;
    bool forward;
    const char* found;  // the focus data of the hit; nullptr: no hit
};

TEST_F(TextorCommandsTest, TheFindStepStartsByModeAndDirectionAndCrossesParagraphs) {
    constexpr auto Skip = TFindMode::SkipMatchingSelection;
    constexpr auto After = TFindMode::AfterSelection;
    constexpr auto At = TFindMode::AtSelection;
    const TFindCase cases[] = {
        {"NotEditedForward", nullptr, Skip, true, "0,6,0,10"},
        {"NotEditedBackward", nullptr, Skip, false, "1,0,1,4"},
        {"MatchingSelectionSkipped", "0,6,0,10", Skip, true, "1,0,1,4"},
        {"MatchingSelectionFoundAgain", "0,6,0,10", At, true, "0,6,0,10"},
        {"PastTheSelection", "0,6,0,10", After, true, "1,0,1,4"},
        {"BackwardAcrossTheBreak", "1,0,1,4", Skip, false, "0,6,0,10"},
        {"NonMatchingSelectionSkipsNoText", "0,5,0,8", Skip, true, "0,6,0,10"},
        {"BackwardFromTheEnd", "1,10,1,10", Skip, false, "1,0,1,4"},
        {"NothingAfter", "1,5,1,5", Skip, true, nullptr},
    };
    Start("alpha beta\r\nBETA gamma");
    TFindData request(QStringLiteral("beta"));
    for (const TFindCase& c : cases) {
        if (c.selection)
            Select(c.selection);
        else
            fixture.sheet.SetFocus(nullptr);
        TVisualElement* next = text;
        EXPECT_EQ(text->FindFocusableWithin(c.mode, request, next, c.forward), c.found != nullptr) << c.name;
        if (c.found) EXPECT_EQ(FocusData(), c.found) << c.name;
    }
}

TEST_F(TextorCommandsTest, TheFindStepHandsBackAFocusableEmbeddedElementBeforeALaterHit) {
    Start("x#beta");
    TElement_TestBox* box = nullptr;
    for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (auto* e = dynamic_cast<TElementPortion*>(p)) box = static_cast<TElement_TestBox*>(e->Element());
    TFindData request(QStringLiteral("beta"));
    TVisualElement* next = nullptr;
    EXPECT_FALSE(text->FindFocusableWithin(TFindMode::SkipMatchingSelection, request, next, true));
    EXPECT_EQ(next, box);
    box->SetVisualOptions(0);  // not focusable: stepped over
    EXPECT_TRUE(text->FindFocusableWithin(TFindMode::SkipMatchingSelection, request, next, true));
    EXPECT_EQ(FocusData(), "0,2,0,6");
}

// Replacing every "a" by "aa", each replacement followed by a step past it, ends.
TEST_F(TextorCommandsTest, ReplaceAllOfAByAaEnds) {
    Start("a b\r\na");
    TFindData request(QStringLiteral("a"));
    TVisualElement* next = nullptr;
    int count = 0;
    bool found = text->FindFocusableWithin(TFindMode::AtSelection, request, next, true);
    while (found && count < 10) {
        ASSERT_TRUE(text->ReplaceSelection("aa"));
        ++count;
        found = text->FindFocusableWithin(TFindMode::AfterSelection, request, next, true);
    }
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text->GetText(), "aa b\r\naa");
}

}  // namespace

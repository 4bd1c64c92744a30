// Text element commands: replacing, the drop-down item, palette elements, the find step.

#include "core/cuUndoRedo.h"
#include "scheme/diSheet.h"
#include "scheme/diPalette.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <gtest/gtest.h>

// A text that embeds test boxes and images.
class TElement_CommandProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_CommandProbeText)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_TestBox::StaticClass() << TElement_TestImage::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_CommandProbeText, TTextorElement)

// A text that paints nothing of its own besides its rows and its frame (as a
// module's root).
class TElement_RowsOnlyText : public TElement_CommandProbeText {
    T_ELEMENT_CLASS(TElement_RowsOnlyText)
};
T_ELEMENT_CLASS_IMPL(TElement_RowsOnlyText, TElement_CommandProbeText)

namespace {

class TextorCommandsTest : public ::testing::Test {
protected:
    TextorCommandsTest() {
        text->SetTextorOptions(toRichContent);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    // The text set without undo; "#" stands for an embedded box.
    void Start(const QString& value) {
        TTextor& textor = *text->Textor();
        const QStringList pieces = value.split(u'#');
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0) textor.InsertElement(textor.GetEndPosition(), AddBox(text));
            textor.InsertText(textor.GetEndPosition(), pieces[i]);
        }
        fixture.history.Clear();
    }
    QString FocusData() {
        QString data;
        text->GetFocusData(data);
        return data;
    }
    // The paragraphs, an element as "#", and the undo steps.
    QString Printed() const {
        return ParagraphTexts(*text->Textor()).join(u'|').replace(QChar(0xFFFC), u'#') +
               QStringLiteral(" %1").arg(fixture.history.UndoList()->ChildCount());
    }

    TSheetFixture fixture;
    TElement_CommandProbeText* text = TElement::CreateIn<TElement_CommandProbeText>(fixture.scheme.get(), fixture.root);
};

TEST_F(TextorCommandsTest, ReplacingClearingAndTheTabTest) {
    Start("ab#cd");
    text->ClearText();  // the embedded element goes too, in one step
    EXPECT_EQ(Printed(), " 1");
    fixture.history.Undo();
    EXPECT_EQ(Printed(), "ab#cd 0");
    EXPECT_TRUE(text->WantsTab());
    text->SetFocus("0,0,0,2");
    EXPECT_TRUE(text->ReplaceSelection("x"));
    EXPECT_EQ(Printed(), "x#cd 1");
    text->Interactive()->SetOptions(tioCtrlTab);
    EXPECT_FALSE(text->WantsTab());
    TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
    EXPECT_TRUE(text->SelectDropDownItem(root->AddItem(-1, "Gamma")));  // the whole text, not the selection
    EXPECT_EQ(Printed(), "Gamma 2");
    fixture.sheet.SetReadOnly(true);
    EXPECT_FALSE(text->ReplaceSelection("y"));
    EXPECT_FALSE(text->SelectDropDownItem(root->FirstItem()));
    EXPECT_EQ(Printed(), "Gamma 2");
}

// The preselected item is equal, else begins with the text, else shares the longest beginning.
TEST(TextorCommandsDropDown, ThePreselectedItemIsNamedByTheText) {
    const std::tuple<const char*, bool, QString> cases[] = {
        {"Alpha", false, "Alpha"},
        {"alp", false, "alphabet"},
        {"Alphz", false, "Alpha"},
        {"gam", false, "Gamma"},
        {"gam", true, ""},
        {"zeta", false, ""},
    };
    TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
    for (const char* caption : {"Alpha", "alphabet", "Beta", "Gamma"}) root->AddItem(-1, caption);
    for (const auto& [value, caseSensitiveOnly, expected] : cases) {
        TDropDownItem* item = TTextorElement::FindTextItem(root.get(), value, caseSensitiveOnly);
        EXPECT_EQ(item ? item->Caption : QString(), expected) << value;
    }
}

TEST_F(TextorCommandsTest, AnOwnLineElementGetsBreaksWhereItsParagraphGoesOnAndTheCaretStaysAfterIt) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"0,3,0,3", "abc|#|def 1", "1,1,1,1"},
        {"0,0,0,0", "#|abcdef 1", "0,1,0,1"},
        {"0,6,0,6", "abcdef|# 1", "1,1,1,1"},
        {"0,2,0,4", "ab|#|ef 1", "1,1,1,1"},
    };
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 1);
    auto* item = TElementPaletteItem::Create(group.get(), pifOwnLine, 0, 0, 0, 1, TElement_TestBox::StaticClass());
    for (const auto& [selection, printed, caret] : cases) {
        text->SetText(QString());
        Start("abcdef");
        text->SetFocus(selection);
        EXPECT_TRUE(text->ApplyPaletteItem(item, {}, false)) << selection;
        EXPECT_EQ(Printed(), printed) << selection;
        EXPECT_EQ(FocusData(), caret) << selection;
    }
}

TEST_F(TextorCommandsTest, ElementsOfClassesByTheElementBeforeTheCaretAndWithoutUndo) {
    TNodePtr<TPaletteGroup> group = MakeNode<TPaletteGroup>(0, 1);
    auto* item = TElementPaletteItem::Create(group.get(), 0, 0, 0, 0, 1, TElement_TestBox::StaticClass());
    item->SetSecondClass(TElement_TestImage::StaticClass());
    Start("ab");
    text->ApplyPaletteItem(item, {}, false);  // not edited: at the text end
    text->SetFocus("0,3,0,3");
    text->ApplyPaletteItem(item, {}, false);
    text->SetFocus("0,0,0,0");
    text->ApplyPaletteItem(item, {}, false);
    const int steps = fixture.history.UndoList()->ChildCount();
    TElement* added = text->AddElementOfClass(TElement_TestImage::StaticClass(), true);
    QStringList classes;
    for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (auto* e = dynamic_cast<TElementPortion*>(p)) classes << e->Element()->GetTypeName();
    EXPECT_EQ(classes, QStringList({"TestBox", "TestBox", "TestImage", "TestImage"}));
    EXPECT_EQ(added, static_cast<TElementPortion*>(text->Textor()->FirstParagraph()->LastPortion())->Element());
    EXPECT_EQ(Printed(), QStringLiteral("#ab###| %1").arg(steps));
}

TEST_F(TextorCommandsTest, TheFindStepStartsByModeAndDirectionAndCrossesParagraphs) {
    using enum TFindMode;
    const std::tuple<const char*, TFindMode, bool, const char*> cases[] = {
        {"", SkipMatchingSelection, true, "0,6,0,10"},  // not edited
        {"", SkipMatchingSelection, false, "1,0,1,4"},
        {"0,6,0,10", SkipMatchingSelection, true, "1,0,1,4"},
        {"0,6,0,10", AtSelection, true, "0,6,0,10"},
        {"0,6,0,10", AfterSelection, true, "1,0,1,4"},
        {"1,0,1,4", SkipMatchingSelection, false, "0,6,0,10"},
        {"0,5,0,8", SkipMatchingSelection, true, "0,6,0,10"},
        {"1,5,1,5", SkipMatchingSelection, true, nullptr},
    };
    Start("alpha beta\r\nBETA gamma");
    const TFindData request(QStringLiteral("beta"));
    for (const auto& [selection, mode, forward, found] : cases) {
        fixture.sheet.SetFocus(nullptr);
        if (*selection) text->SetFocus(selection);
        TVisualElement* next = text;
        EXPECT_EQ(text->FindFocusableWithin(mode, request, next, forward), found != nullptr) << selection;
        if (found) {
            EXPECT_EQ(FocusData(), found) << selection;
        }
    }
}

TEST_F(TextorCommandsTest, TheFindStepHandsBackAFocusableEmbeddedElementAndReplaceAllOfAByAaEnds) {
    Start("xa#a");
    const TFindData request(QStringLiteral("a"));
    TVisualElement* next = nullptr;
    int count = 0;
    for (bool found = text->FindFocusableWithin(TFindMode::AtSelection, request, next, true); found && count < 9;
         found = text->FindFocusableWithin(TFindMode::AfterSelection, request, next, true)) {
        ASSERT_TRUE(text->ReplaceSelection("aa"));
        ++count;
    }
    EXPECT_EQ(count, 1);
    ASSERT_NE(next, nullptr);  // the embedded box, before the second "a"
    EXPECT_NE(next->TextorSlot(), nullptr);
    next->SetVisualOptions(0);  // not focusable: stepped over
    EXPECT_TRUE(text->FindFocusableWithin(TFindMode::AfterSelection, request, next, true));
    EXPECT_EQ(FocusData(), "0,4,0,5");
}

TEST_F(TextorCommandsTest, ReplaceAllOfAByAaEndsWhenAnEmbeddedElementLiesInTheScope) {
    // The embedded box's find step goes on in its text beside it, not from the text's start.
    const std::tuple<bool, const char*> cases[] = {
        {true, "0,4,0,5"},
        {false, "0,2,0,3"},
    };
    for (const auto& [forward, found] : cases) {
        text->SetText(QString());
        Start("xaa#a");
        TFindData request(QStringLiteral("a"));
        request.Scope = text;
        TVisualElement* box = static_cast<TElementPortion*>(text->Textor()->FirstParagraph()->LastPortion()->Prev())
                                  ->Element();
        TVisualElement* next = nullptr;
        EXPECT_TRUE(box->FindFocusableWithin(TFindMode::AfterSelection, request, next, forward)) << forward;
        EXPECT_EQ(fixture.sheet.Focused(), text);
        EXPECT_EQ(FocusData(), found) << forward;
    }
}

// What the sheet asks to repaint: a rectangle, or nothing for everything.
class TRepaintRecorder {
public:
    explicit TRepaintRecorder(TSheet* sheet) : m_sheet(sheet) { sheet->AddHandler(Handler()); }
    ~TRepaintRecorder() { m_sheet->RemoveHandler(Handler()); }
    TRepaintRecorder(const TRepaintRecorder&) = delete;
    TRepaintRecorder& operator=(const TRepaintRecorder&) = delete;

    std::vector<std::optional<TRect>> repaints;

private:
    THandler Handler() { return MakeHandler<&TRepaintRecorder::OnMsg>(this); }
    void OnMsg(TItfObject*, int msg, intptr_t p1, intptr_t) {
        if (msg == snRepaint)
            repaints.push_back(p1 ? std::optional(*reinterpret_cast<const TRect*>(p1)) : std::nullopt);
    }
    TSheet* m_sheet;
};

TEST(TextorRepaint, AnEmbeddedElementThatWidensRepaintsItsRowsNotTheWholeText) {
    TSheetFixture fixture;
    auto* text = TElement::CreateIn<TElement_RowsOnlyText>(fixture.scheme.get(), fixture.root);
    text->SetTextorOptions(toRichContent);
    text->SetVisualParent(fixture.root);
    TTextor& textor = *text->Textor();
    std::vector<TElement_TestBox*> boxes;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) textor.InsertText(textor.GetEndPosition(), QStringLiteral("\r\n"));
        textor.InsertText(textor.GetEndPosition(), QStringLiteral("line"));
        boxes.push_back(AddBox(text));
        textor.InsertElement(textor.GetEndPosition(), boxes.back());
    }
    fixture.Layout();
    auto areaOf = [](const TVisualElement* e) {
        const QPoint at = e->ClientToSheet(QPoint(0, 0));
        return TRect{at.x(), at.y(), at.x() + e->Width(), at.y() + e->Height()};
    };
    // The lines above and below, but for the text's margin between rows,
    // which the repaint of a row may reach into.
    const TRect margins = textor.GetTextMargins();
    TRect above = areaOf(boxes[0]);
    above.Bottom -= margins.Bottom;
    TRect below = areaOf(boxes[2]);
    below.Top += margins.Top;
    TRepaintRecorder recorder(&fixture.sheet);
    {
        TSheetUpdate update(&fixture.sheet);
        boxes[1]->PreferredWidth += 8;
        boxes[1]->Arrange();
    }
    ASSERT_FALSE(recorder.repaints.empty());
    for (const std::optional<TRect>& r : recorder.repaints) {
        ASSERT_TRUE(r.has_value()) << "not everything";
        EXPECT_FALSE(RectsMeet(*r, above));
        EXPECT_FALSE(RectsMeet(*r, below));
    }
}

TEST_F(TextorCommandsTest, AFindStepOutOfAPartOfAnEmbeddedElementGoesOnInTheTextBesideIt) {
    // A focusable part inside an embedded element that is not focusable
    // itself (as a name inside a declaration): leaving the part, the text
    // goes on beside the element, not from its start (which led back into
    // the part, a find that never ended).
    const std::tuple<bool, const char*> cases[] = {
        {true, "0,3,0,4"},
        {false, "0,1,0,2"},
    };
    for (const auto& [forward, found] : cases) {
        text->SetText(QString());
        Start("xa#a");
        auto* holder = static_cast<TElementPortion*>(text->Textor()->FirstParagraph()->LastPortion()->Prev())
                           ->Element();
        holder->SetVisualOptions(0);
        TElement_TestBox* part = AddBox(holder);
        part->SetVisualParent(holder);
        const TFindData request(QStringLiteral("a"));
        TVisualElement* next = nullptr;
        EXPECT_TRUE(part->FindFocusableWithin(TFindMode::AfterSelection, request, next, forward)) << forward;
        EXPECT_EQ(fixture.sheet.Focused(), text) << forward;
        EXPECT_EQ(FocusData(), found) << forward;
    }
}

}  // namespace

// The text edit operation: merging of typing and backward deletions by the
// clock, undo and redo of removed and inserted content, and the entry points
// EnterText and EnterContent.

#include "core/cuUndoRedo.h"
#include "platform/plClock.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorEdit.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <gtest/gtest.h>

#include <optional>

// A rich text field of several paragraphs that embeds test boxes.
class TElement_EditProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_EditProbeText)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_TestBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_EditProbeText, TTextorElement)

namespace {

const TTextorNumericRange kNoRange{};

class TextorEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousClock = TClock::Install(&clock);
        text = TElement::CreateIn<TElement_EditProbeText>(fixture.scheme.get(), fixture.root);
        text->SetTextorOptions(toRichContent);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    void TearDown() override { TClock::Install(m_previousClock); }

    // Sets the text without undo and empties the history.
    void Start(const QString& value) {
        text->SetText(value);
        fixture.history.Clear();
        fixture.history.ResetModified();
    }
    // Focuses the element: edits then go through its caret object.
    TSchemeTextorInteractive& Edit() {
        text->Focus();
        fixture.Layout();
        EXPECT_TRUE(text->IsEdited());
        return *text->Interactive();
    }
    TTextorRange Range(TTextorNumericRange numeric) const {
        TTextorRange range;
        EXPECT_TRUE(text->Textor()->NumericToRange(numeric, range));
        return range;
    }
    void Replace(TTextorNumericRange numeric, const std::optional<QString>& value) {
        text->EnterText(TEnterMode::Range, Range(numeric), false, value);
    }
    // The typed text at the caret object's selection, after `pause` milliseconds.
    void Type(const QString& value, int64_t pause = 100) {
        clock.Advance(pause);
        text->EnterText(TEnterMode::Selection, {}, false, value);
    }
    // Backspace or Delete as the caret object does them: the character before
    // or after the caret is selected and deleted.
    void DeleteChar(bool backward, int64_t pause = 100) {
        clock.Advance(pause);
        TTextor& textor = *text->Textor();
        const TTextorPosition caret = text->Interactive()->CaretPosition();
        const TTextorPosition other = backward ? textor.StepBackward(caret) : textor.StepForward(caret);
        text->Interactive()->SetSelection(backward ? MakeRange(other, caret) : MakeRange(caret, other));
        text->EnterText(TEnterMode::Selection, {}, false, std::nullopt);
    }
    int Steps() const { return fixture.history.UndoList()->ChildCount(); }
    TTextorEditOperation* LastEdit() const {
        return dynamic_cast<TTextorEditOperation*>(fixture.history.GetNextUndo());
    }
    TTextorNumericRange Selection() const {
        return text->Textor()->RangeToNumeric(text->Interactive()->GetSelection());
    }

    TManualClock clock;
    TSheetFixture fixture;
    TElement_EditProbeText* text = nullptr;

private:
    const TClock* m_previousClock = nullptr;
};

TEST_F(TextorEditTest, TypingMergesOnlyWithinTheInterval) {
    struct Case {
        int64_t pause;
        int steps;
    };
    for (const Case& c : {Case{799, 1}, Case{800, 3}}) {
        SCOPED_TRACE(c.pause);
        Start(QString());
        for (const QString& ch : {"a", "b", "c"}) {
            clock.Advance(c.pause);
            text->EnterText(TEnterMode::Append, {}, false, ch);
        }
        EXPECT_EQ(text->GetText(), "abc");
        ASSERT_EQ(Steps(), c.steps);
        TKnot* content = LastEdit()->Edit().Content.get();
        ASSERT_EQ(content->ChildCount(), 1);
        EXPECT_EQ(static_cast<TKnot*>(content->FirstChild())->ReadStr(kContentValueName),
                  c.steps == 1 ? "abc" : "c");
        fixture.history.Undo();
        EXPECT_EQ(text->GetText(), c.steps == 1 ? "" : "ab");
    }
}

TEST_F(TextorEditTest, AChangeOfTypingAttributesSplits) {
    Start(QString());
    TSchemeTextorInteractive& caret = Edit();
    Type("a");
    for (const QString& ch : {"b", "c"}) {
        caret.SetTypingAttributes(FixedText(12));  // setting the caret drops them
        Type(ch);
    }
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Steps(), 2);
}

TEST_F(TextorEditTest, BackwardDeletionsUndoInOneStepToTheOriginalTextAndSelection) {
    Start("abcdef");
    TSchemeTextorInteractive& caret = Edit();
    caret.SetSelection(Range({{0, 6}, {0, 6}}));
    for (int i = 0; i < 3; ++i) DeleteChar(true);
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(LastEdit()->RemovedContent()->FirstChild() ? 1 : 0, 1);
    fixture.history.Undo();
    EXPECT_EQ(text->GetText(), "abcdef");
    EXPECT_EQ(Selection(), (TTextorNumericRange{{0, 3}, {0, 6}}));
    EXPECT_EQ(text->Textor()->PositionToNumeric(caret.CaretPosition()), (TTextorNumericPosition{0, 6}));
    fixture.history.Redo();
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Selection(), (TTextorNumericRange{{0, 3}, {0, 3}}));
}

TEST_F(TextorEditTest, ForwardDeletionsAreStepsOfTheirOwn) {
    Start("abcdef");
    Edit().SetSelection(Range({{0, 0}, {0, 0}}));
    for (int i = 0; i < 3; ++i) DeleteChar(false);
    EXPECT_EQ(text->GetText(), "def");
    EXPECT_EQ(Steps(), 3);
}

TEST_F(TextorEditTest, AReplacedSelectionNeverMerges) {
    Start("abc");
    TSchemeTextorInteractive& caret = Edit();
    caret.SetSelection(Range({{0, 1}, {0, 2}}));
    Type("x");
    Type("y");
    caret.SetSelection(Range({{0, 0}, {0, 1}}));
    Type("z");
    EXPECT_EQ(text->GetText(), "zxyc");
    EXPECT_EQ(Steps(), 3);
}

TEST_F(TextorEditTest, RedoRecreatesAnInsertedElementWithItsNumber) {
    Start("ab");
    TNodePtr<TKnot> content = TKnot::Create(kContentRootName);
    content->SetFlagsAdded(kfIndexed);
    content->AddChild(TElement_TestBox::StaticClass()->GetTypeName());
    // Clipboard mode: the element gets a fresh number on the first execution.
    text->EnterContent(TEnterMode::Range, Range({{0, 1}, {0, 1}}), false, std::move(content), fmClipboard, 4);
    auto* box = dynamic_cast<TElement_TestBox*>(text->FirstVisualChild());
    ASSERT_TRUE(box);
    const int32_t number = box->Number();
    fixture.history.Undo();
    EXPECT_FALSE(fixture.scheme->FindElement(number));
    EXPECT_EQ(text->GetText(), "ab");
    fixture.history.Redo();
    auto* again = dynamic_cast<TElement_TestBox*>(fixture.scheme->FindElement(number));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->VisualParent(), text);
    EXPECT_EQ(text->Textor()->ParagraphAt(0)->Length(), 3);
}

// Undo puts removed content back where the replaced range started. The
// inserted range, which undo used as that place, is empty for a deletion and
// was left stale by merged backward deletions.
TEST_F(TextorEditTest, UndoReinsertedAtTheInsertedRangeInsteadOfTheReplacedStart) {
    struct Case {
        const char* name;
        TTextorNumericRange replaced;
        std::optional<QString> inserted;
        const char* after;
    };
    const Case cases[] = {
        {"deletion in the middle", {{0, 1}, {0, 3}}, std::nullopt, "ad\r\nef"},
        {"deletion across a break", {{0, 2}, {1, 1}}, std::nullopt, "abf"},
        {"replacement", {{0, 1}, {1, 0}}, QStringLiteral("xy"), "axyef"},
        {"break inserted", {{0, 4}, {0, 4}}, QStringLiteral("\r"), "abcd\r\n\r\nef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start("abcd\r\nef");
        Replace(c.replaced, c.inserted);
        EXPECT_EQ(text->GetText(), c.after);
        fixture.history.Undo();
        EXPECT_EQ(text->GetText(), "abcd\r\nef");
        fixture.history.Redo();
        EXPECT_EQ(text->GetText(), c.after);
    }
}

// A range set down when the text was longer (it changed without undo since)
// must not be used: the conversion fails and nothing happens.
TEST_F(TextorEditTest, ARangeThatNoLongerFitsTheTextWasUsedAnyway) {
    Start("abcdef");
    Replace({{0, 3}, {0, 6}}, std::nullopt);
    fixture.history.Undo();
    text->SetText("ab");
    fixture.history.Redo();
    EXPECT_EQ(text->GetText(), "ab");
    Start("abc");
    Replace({{0, 3}, {0, 3}}, QStringLiteral("def"));
    text->SetText("a");
    fixture.history.Undo();
    EXPECT_EQ(text->GetText(), "a");
}

TEST_F(TextorEditTest, EnterContentWithNothingToDoSubmittedAnEmptyStep) {
    Start("abc");
    TNodePtr<TKnot> empty = TKnot::Create(kContentRootName);
    text->EnterContent(TEnterMode::Append, {}, false, std::move(empty), fmSnapshot, 0);
    text->EnterText(TEnterMode::Range, Range({{0, 1}, {0, 1}}), false, std::nullopt);
    text->EnterText(TEnterMode::Range, Range({{0, 1}, {0, 1}}), false, QString());
    EXPECT_FALSE(fixture.history.CanUndo());
    EXPECT_FALSE(fixture.history.Modified());
}

// "|" stands for a "Br" knot, other characters for "Chars" knots, one per run.
void FillEditContent(TKnot& root, const QString& spec) {
    const QStringList runs = spec.split(QLatin1Char('|'));
    for (int i = 0; i < runs.size(); ++i) {
        if (i > 0) root.AddChild(kContentBreakName);
        if (!runs[i].isEmpty()) root.AddChild(kContentCharsName)->WriteStr(kContentValueName, runs[i]);
    }
}

// Chars knots written as "[value]", breaks as "|".
QString PrintEditContent(TKnot& root) {
    QString printed;
    for (TNode* n = root.FirstChild(); n; n = n->NextSibling()) {
        auto* knot = static_cast<TKnot*>(n);
        printed += knot->Name() == kContentBreakName ? QStringLiteral("|")
                                                     : "[" + knot->ReadStr(kContentValueName) + "]";
    }
    return printed;
}

TEST(TextorEditContent, MergedTreesJoinCharsAtTheSeam) {
    struct Case {
        const char* to;
        const char* from;
        bool prepend;
        const char* joined;
    };
    const Case cases[] = {
        {"ab", "c", false, "[abc]"},
        {"a|", "b", false, "[a]|[b]"},
        {"a", "bc|d", false, "[abc]|[d]"},
        {"ef", "d", true, "[def]"},
        {"|e", "d", true, "[d]|[e]"},
        {"e|f", "c|d", true, "[c]|[de]|[f]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.joined);
        TNodePtr<TKnot> to = TKnot::Create(kContentRootName);
        TNodePtr<TKnot> from = TKnot::Create(kContentRootName);
        FillEditContent(*to, c.to);
        FillEditContent(*from, c.from);
        c.prepend ? PrependContent(*to, *from) : AppendContent(*to, *from);
        EXPECT_EQ(PrintEditContent(*to), c.joined);
        EXPECT_FALSE(from->HasChildren());
    }
}

}  // namespace

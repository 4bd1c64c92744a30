// The text edit operation: typing and backward deletions merged by the clock,
// undo and redo of removed and inserted content, EnterText and EnterContent.

#include "core/cuUndoRedo.h"
#include "platform/plClock.h"
#include "support/testStop.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorEdit.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

// A rich text field of several paragraphs that embeds test boxes.
class TElement_EditProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_EditProbeText)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_TestBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_EditProbeText, TTextorElement)

namespace {

using TNumeric = TTextorNumericRange;

class TextorEditTest : public ::testing::Test {
protected:
    TextorEditTest() : m_previousClock(TClock::Install(&clock)) {
        text = TElement::CreateIn<TElement_EditProbeText>(fixture.scheme.get(), fixture.root);
        text->SetTextorOptions(toRichContent);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    ~TextorEditTest() override { TClock::Install(m_previousClock); }

    // The text set without undo, the history empty; edited: focused, the
    // caret at `caret`, so that edits go through the caret object.
    void Start(const QString& value, std::optional<TTextorNumericPosition> caret = std::nullopt) {
        text->SetText(value);
        fixture.history.Clear();
        fixture.history.ResetModified();
        if (!caret) return;
        text->Focus();
        fixture.Layout();
        ASSERT_TRUE(text->IsEdited());
        text->Interactive()->SetSelection(Range({*caret, *caret}));
    }
    TTextorRange Range(TNumeric numeric) const {
        TTextorRange range;
        if (!text->Textor()->NumericToRange(numeric, range)) StopTest("the text has no such range");
        return range;
    }
    // value entered at the caret object's selection (mode 0) after `pause` ms.
    void Type(const QString& value, int64_t pause = 100) {
        clock.Advance(pause);
        text->EnterText(TEnterMode::Selection, {}, false, value);
    }
    // Backspace or Delete as the caret object does them: the character before
    // or after the caret selected and deleted.
    void DeleteChar(bool backward) {
        TTextorInteractive& caret = *text->Interactive();
        const TTextorPosition at = caret.CaretPosition();
        const TTextorPosition other = backward ? text->Textor()->StepBackward(at) : text->Textor()->StepForward(at);
        caret.SetSelection(backward ? MakeRange(other, at) : MakeRange(at, other));
        Type(QString());
    }
    int Steps() const { return fixture.history.UndoList()->ChildCount(); }
    TNumeric Selection() const { return text->Textor()->RangeToNumeric(text->Interactive()->GetSelection()); }

    TManualClock clock;
    TSheetFixture fixture;
    TElement_EditProbeText* text = nullptr;

private:
    const TClock* m_previousClock;
};

// Chars knots as "[value]", breaks as "|".
QString PrintContent(const TKnot& root) {
    QString printed;
    for (auto* n = static_cast<TKnot*>(root.FirstChild()); n; n = static_cast<TKnot*>(n->NextSibling()))
        printed += n->Name() == kContentBreakName ? QStringLiteral("|") : "[" + n->ReadStr(kContentValueName) + "]";
    return printed;
}

TEST_F(TextorEditTest, TypingMergesOnlyWithinTheInterval) {
    struct Case {
        int64_t pause;
        QStringList keys;
        int steps;
        const char* lastContent;
        const char* afterUndo;
    };
    const Case cases[] = {
        {799, {"a", "b", "c"}, 1, "[abc]", ""},
        {800, {"a", "b", "c"}, 3, "[c]", "ab"},
        {100, {"a", "\r", "b"}, 1, "[a]|[b]", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastContent);
        Start(QString());
        for (const QString& key : c.keys) Type(key, c.pause);  // not edited: at the text end
        ASSERT_EQ(Steps(), c.steps);
        auto* last = static_cast<TTextorEditOperation*>(fixture.history.GetNextUndo());
        EXPECT_EQ(PrintContent(*last->Edit().Content), c.lastContent);
        fixture.history.Undo();
        EXPECT_EQ(text->GetText(), c.afterUndo);
    }
}

TEST_F(TextorEditTest, AChangeOfTypingAttributesSplits) {
    Start(QString(), TTextorNumericPosition{0, 0});
    Type("a");
    for (const char* key : {"b", "c"}) {
        text->Interactive()->SetTypingAttributes(FixedText(12));  // setting the caret drops them
        Type(key);
    }
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Steps(), 2);
}

TEST_F(TextorEditTest, BackwardDeletionsUndoInOneStepToTheOriginalTextAndSelection) {
    Start("abcdef", TTextorNumericPosition{0, 6});
    for (int i = 0; i < 3; ++i) DeleteChar(true);
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Steps(), 1);
    fixture.history.Undo();
    EXPECT_EQ(text->GetText(), "abcdef");
    EXPECT_EQ(Selection(), (TNumeric{{0, 3}, {0, 6}}));
    EXPECT_EQ(text->Textor()->PositionToNumeric(text->Interactive()->CaretPosition()),
              (TTextorNumericPosition{0, 6}));
    fixture.history.Redo();
    EXPECT_EQ(text->GetText(), "abc");
    EXPECT_EQ(Selection(), (TNumeric{{0, 3}, {0, 3}}));
}

TEST_F(TextorEditTest, ForwardDeletionsAndReplacedSelectionsNeverMerge) {
    Start("abcdef", TTextorNumericPosition{0, 0});
    for (int i = 0; i < 3; ++i) DeleteChar(false);
    EXPECT_EQ(text->GetText(), "def");
    EXPECT_EQ(Steps(), 3);
    Start("abc", TTextorNumericPosition{0, 0});
    text->Interactive()->SetSelection(Range({{0, 1}, {0, 2}}));
    Type("x");
    Type("y");
    text->Interactive()->SetSelection(Range({{0, 0}, {0, 1}}));
    Type("z");
    EXPECT_EQ(text->GetText(), "zxyc");
    EXPECT_EQ(Steps(), 3);
}

TEST_F(TextorEditTest, RedoRecreatesAnInsertedElementWithItsNumber) {
    Start("ab");
    TNodePtr<TKnot> content = TKnot::Create(kContentRootName);
    content->AddChild(TElement_TestBox::StaticClass()->GetTypeName());
    // Clipboard mode: the element gets a fresh number on the first execution.
    text->EnterContent(TEnterMode::Range, Range({{0, 1}, {0, 1}}), false, std::move(content), fmClipboard,
                       kContentFreshNumbers);
    auto* box = dynamic_cast<TElement_TestBox*>(text->FirstVisualChild());
    ASSERT_TRUE(box);
    const int32_t number = box->Number();
    fixture.history.Undo();
    EXPECT_FALSE(fixture.scheme->FindElement(number));
    fixture.history.Redo();
    auto* again = dynamic_cast<TElement_TestBox*>(fixture.scheme->FindElement(number));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->VisualParent(), text);
    EXPECT_EQ(text->Textor()->ParagraphAt(0)->Length(), 3);
}

// Undo puts removed content back where the replaced range started. The
// inserted range, which undo used as that place, is empty for a deletion and
// was left stale by merged backward deletions (the test above).
TEST_F(TextorEditTest, UndoReinsertedAtTheInsertedRangeInsteadOfTheReplacedStart) {
    struct Case {
        TNumeric replaced;
        std::optional<QString> inserted;
        const char* after;
    };
    const Case cases[] = {
        {{{0, 1}, {0, 3}}, std::nullopt, "ad\r\nef"},
        {{{0, 2}, {1, 1}}, std::nullopt, "abf"},
        {{{0, 1}, {1, 0}}, QStringLiteral("xy"), "axyef"},
        {{{0, 4}, {0, 4}}, QStringLiteral("\r"), "abcd\r\n\r\nef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        Start("abcd\r\nef");
        text->EnterText(TEnterMode::Range, Range(c.replaced), false, c.inserted);
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
    text->EnterText(TEnterMode::Range, Range({{0, 3}, {0, 6}}), false, std::nullopt);
    fixture.history.Undo();
    text->SetText("ab");
    fixture.history.Redo();
    EXPECT_EQ(text->GetText(), "ab");
    Start("abc");
    text->EnterText(TEnterMode::Append, {}, false, QStringLiteral("def"));
    text->SetText("a");
    fixture.history.Undo();
    EXPECT_EQ(text->GetText(), "a");
}

TEST_F(TextorEditTest, EnterContentWithNothingToDoSubmittedAnEmptyStep) {
    Start("abc");
    text->EnterContent(TEnterMode::Append, {}, false, TKnot::Create(kContentRootName), fmSnapshot, 0);
    for (const std::optional<QString>& value : {std::optional<QString>(), std::optional<QString>(QString())})
        text->EnterText(TEnterMode::Range, Range({{0, 1}, {0, 1}}), false, value);
    EXPECT_FALSE(fixture.history.CanUndo());
    EXPECT_FALSE(fixture.history.Modified());
}

// Random typing, deleting and replacing at random pauses (so that some edits
// merge): every undo step gives back the text before it, every redo the text after.
TEST_F(TextorEditTest, RandomEditsUndoAndRedoStepByStep) {
    QRandomGenerator random(18);
    Start("ab\r\ncd", TTextorNumericPosition{0, 1});
    TTextor& textor = *text->Textor();
    std::vector<std::pair<QString, QString>> steps;  // (before, after)
    for (int i = 0; i < 300; ++i) {
        const QString before = text->GetText();
        const int kind = random.bounded(5);
        if (kind == 4) {  // a random selection, replaced or deleted next
            auto place = [&] {
                const int paragraph = random.bounded(textor.ParagraphCount());
                return TTextorNumericPosition{paragraph, random.bounded(textor.ParagraphAt(paragraph)->Length() + 1)};
            };
            TTextorNumericPosition a = place(), b = place();
            if (std::pair(b.Paragraph, b.Char) < std::pair(a.Paragraph, a.Char)) std::swap(a, b);
            text->Interactive()->SetSelection(Range({a, b}));
            continue;
        }
        const int stepsBefore = Steps();
        clock.Advance(random.bounded(1000));
        if (kind < 2)
            Type(QString(QLatin1Char("xy \r"[random.bounded(4)])), 0);
        else
            DeleteChar(kind == 2);
        if (Steps() > stepsBefore)
            steps.emplace_back(before, text->GetText());
        else if (!steps.empty())
            steps.back().second = text->GetText();  // merged (or nothing changed)
    }
    EXPECT_GT(steps.size(), 60u);  // and fewer than the 240 edits: some merged
    EXPECT_LT(steps.size(), 200u);
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        fixture.history.Undo();
        ASSERT_EQ(text->GetText(), it->first);
    }
    for (const auto& step : steps) {
        fixture.history.Redo();
        ASSERT_EQ(text->GetText(), step.second);
    }
}

}  // namespace

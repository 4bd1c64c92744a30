// A rich text edited end to end on a sheet, as a user edits it: keys through
// TSheet::KeyDown, KeyPress and KeyUp, clicks and drags through the sheet's
// mouse calls, with the clock, the timers, the keyboard state, the clipboard
// and the shell replaced by test doubles. After each step the focused text's
// selection (its focus data), the text, the undo list and the sheet's caret
// are checked.

#include "core/cuUndoRedo.h"
#include "platform/plClipboard.h"
#include "platform/plClock.h"
#include "platform/plCursor.h"
#include "platform/plInput.h"
#include "platform/plShell.h"
#include "platform/plTimer.h"
#include "scheme/diPalette.h"
#include "support/testStop.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <QStringList>

// A text embedded in the script's text.
class TElement_ScriptNote : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ScriptNote)
};
T_ELEMENT_CLASS_IMPL(TElement_ScriptNote, TTextorElement)

// An element the palette puts on a line of its own.
class TElement_ScriptBlock : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ScriptBlock)
public:
    void TreePlacementChanged() override {}  // the text places it
};
T_ELEMENT_CLASS_IMPL(TElement_ScriptBlock, TElement_TestBox)

// Paragraphs with links, wrapped at 240 pixels, embedding notes and blocks.
class TElement_ScriptText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ScriptText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent | toHyperlinks | toMaxWidth240);
    }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_ScriptNote::StaticClass() << TElement_ScriptBlock::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ScriptText, TTextorElement)

namespace {

// Keys typed this far apart join one undo step; a pause this long starts a new one.
constexpr int64_t kKeyPause = 100;
constexpr int64_t kNewStepPause = 800;
// Bounds of the form's loops, so that a search that never ends fails the test.
constexpr int kReplaceAllLimit = 200;
constexpr int kFindElementLimit = 50;

const QString kWrapped = QStringLiteral(
    "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen seventeen "
    "eighteen nineteen twenty");
const QString kLink = QStringLiteral("https://example.org/a");
// The text around the embedded note, and the whole as GetText gives it (the note adds nothing).
const QString kBeforeNote = "Alpha beta gamma\r\n" + kWrapped + "\r\nsee " + kLink + " now\r\nbefore ";
const QString kAfterNote = QStringLiteral(" after");
const QString kInitialText = kBeforeNote + kAfterNote;

// Where a caret on a wrap boundary is drawn: at the end of the upper row or at the start of the lower one.
enum class TRowSide : bool { Lower, Upper };

class TextorScriptTest : public ::testing::Test {
protected:
    TextorScriptTest() : m_previousClock(TClock::Install(&clock)) {
        text = TElement::CreateIn<TElement_ScriptText>(fixture.scheme.get(), fixture.root);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
        TTextor& textor = *text->Textor();
        textor.InsertText(textor.GetEndPosition(), kBeforeNote);
        note = TElement::CreateIn<TElement_ScriptNote>(fixture.scheme.get(), text);
        note->SetText(QStringLiteral("a banana"));
        textor.InsertElement(textor.GetEndPosition(), note);
        note->SetVisualParentAt(text, nullptr);
        textor.InsertText(textor.GetEndPosition(), kAfterNote);
        fixture.Layout();
        fixture.sheet.SetActive(true);
        fixture.history.Clear();
    }
    ~TextorScriptTest() override {
        if (m_group) m_group->Free();
        TClock::Install(m_previousClock);
    }

    // ---- input, as the sheet form passes it on ----

    // The caret of the script's text put there (not a step of the script).
    void Start(const QString& focusData) {
        text->SetFocus(focusData);
        ASSERT_TRUE(text->IsEdited());
    }
    // A key pressed and released, with the character it types (if any);
    // answers what the sheet left of the key (vkNone: consumed).
    int Key(int key, TShiftState shift = 0, QChar typed = QChar()) {
        input.Modifiers = shift;
        int down = key;
        fixture.sheet.KeyDown(down, shift);
        if (!typed.isNull()) fixture.sheet.KeyPress(typed);
        int up = key;
        fixture.sheet.KeyUp(up, shift);
        input.Modifiers = 0;
        return down;
    }
    // The key that types ch: a letter's capital, a printable ASCII character or
    // Enter itself, no key (vkNone) for the rest.
    static int KeyOf(QChar ch) {
        if (ch.unicode() >= 0x80) return vkNone;
        return ch.isLetter() ? ch.toUpper().unicode() : ch.unicode();
    }
    // Characters typed kKeyPause apart (pause before the first); CR is Enter.
    void Type(const QString& chars, int64_t pause = kKeyPause) {
        for (QChar ch : chars) {
            clock.Advance(pause);
            pause = kKeyPause;
            Key(KeyOf(ch), 0, ch);
        }
    }
    // Clicks of the left button in a row, as the form counts them: a double click is a click and then a press with 2.
    void Click(QPoint at, int clicks = 1) {
        for (int count = 1; count <= clicks; ++count) {
            fixture.sheet.MouseDown(at, mbLeft, 0, count);
            fixture.sheet.MouseUp(at, mbLeft, 0);
        }
    }
    // A press, two moves and the release; keys (Ctrl) held from the first move on.
    void Drag(QPoint from, QPoint to, TShiftState keys = 0) {
        input.LeftButtonDown = true;
        fixture.sheet.MouseDown(from, mbLeft, 0, 1);
        fixture.sheet.MouseMove((from + to) / 2, ssLeft | keys);
        fixture.sheet.MouseMove(to, ssLeft | keys);
        fixture.sheet.MouseUp(to, mbLeft, keys);
        input.LeftButtonDown = false;
    }
    // The sheet point in the middle of the caret at a place of a text.
    QPoint PointAt(TTextorNumericPosition place, TTextorElement* in = nullptr) {
        const TRect caret = CaretRectAt(in ? *in : *text, place, TRowSide::Lower);
        return QPoint(caret.Left, (caret.Top + caret.Bottom) / 2);
    }

    // ---- the form's find step and replace ----

    // The sheet form's find step: the focused element, then each next one it
    // names, entered and asked in turn, until one holds a match.
    bool FindStep(TFindMode mode, const TFindData& request, bool forward) {
        TVisualElement* current = fixture.sheet.Focused();
        for (int asked = 0; current && asked < kFindElementLimit; ++asked) {
            TVisualElement* next = nullptr;
            if (current->FindFocusableWithin(mode, request, next, forward)) return true;
            if (next) Enter(next, forward);
            current = next;
        }
        return false;
    }
    // The next element is entered from its start (forward) or its end.
    static void Enter(TVisualElement* next, bool forward) {
        if (auto* nextText = dynamic_cast<TTextorElement*>(next))
            nextText->FocusText(forward ? TTextFocusPlace::Start : TTextFocusPlace::End);
        else
            next->SetFocus();
    }
    // Replaces the match at the selection, then each next one when all; answers the count.
    int Replace(const TFindData& request, const QString& replacement, bool all) {
        fixture.scheme->BeginOperationGroup(false);
        int count = 0;
        if (FindStep(TFindMode::AtSelection, request, true) && Replacement()->ReplaceSelection(replacement)) {
            count = 1;
            if (!all) FindStep(TFindMode::AfterSelection, request, true);  // on to the next match
            while (all && count < kReplaceAllLimit && FindStep(TFindMode::AfterSelection, request, true) &&
                   Replacement()->ReplaceSelection(replacement))
                ++count;
        }
        fixture.scheme->EndOperationGroup();
        return count;
    }
    ITextReplacement* Replacement() const { return dynamic_cast<ITextReplacement*>(fixture.sheet.Focused()); }

    // An item inserting an element of cls, in a group of the palette freed with the test.
    TElementPaletteItem* PaletteItem(const TElementClass* cls, uint16_t flags) {
        if (!m_group) m_group = TPaletteGroup::Create(Palette(), 0, 1);
        return TElementPaletteItem::Create(m_group, flags, -1, 0, 0, 1, cls);
    }

    // ---- checks ----

    // The outcome of a step: the focused text's selection as focus data, the
    // script's text, the number of undo steps, and the sheet's caret at the
    // selection's end (on the given side of a wrap).
    void ExpectStep(const QString& focusData, const QString& value, int undoSteps,
                    TRowSide side = TRowSide::Lower) {
        auto* focused = dynamic_cast<TTextorElement*>(fixture.sheet.Focused());
        ASSERT_NE(focused, nullptr) << "the focus left the texts";
        QString data;
        focused->GetFocusData(data);
        EXPECT_EQ(data.toStdString(), focusData.toStdString());
        EXPECT_EQ(text->GetText().toStdString(), value.toStdString());
        EXPECT_EQ(UndoSteps(), undoSteps);
        const QStringList numbers = focusData.split(u',');
        ASSERT_EQ(numbers.size(), 4);
        const TRect expected = CaretRectAt(*focused, {numbers[2].toInt(), numbers[3].toInt()}, side);
        EXPECT_EQ(fixture.sheet.CaretRect(), expected)
            << "caret at " << fixture.sheet.CaretRect().Left << "," << fixture.sheet.CaretRect().Top
            << ", expected at " << expected.Left << "," << expected.Top;
    }
    // The caret rectangle of a place of a text, in sheet coordinates.
    TRect CaretRectAt(TTextorElement& in, TTextorNumericPosition place, TRowSide side) {
        TTextor& textor = *in.Textor();
        const TTextorPosition position = PositionAt(textor, place);
        const TRow* row = textor.FindRow(position, side == TRowSide::Lower);
        const int width = in.Interactive() ? in.Interactive()->CaretWidth() : 1;
        const TRect padding = in.GetPadding();
        const QPoint origin = in.ClientToSheet(QPoint(padding.Left, padding.Top));
        return OffsetRect(textor.GetCaretRect(row, position, width), origin.x(), origin.y());
    }
    int UndoSteps() const { return fixture.history.UndoList()->ChildCount(); }
    // Where the rows of a paragraph of the script's text start.
    QList<int> RowStarts(int paragraph) const {
        QList<int> starts;
        const TParagraph* shown = Found(text->Textor()->ParagraphAt(paragraph), "paragraph " + std::to_string(paragraph));
        for (const TRow* row = shown->FirstRow(); row; row = row->GetNextRow())
            starts << row->StartIndex();
        return starts;
    }
    QString At(int paragraph, int ch) const { return QStringLiteral("%1,%2,%1,%2").arg(paragraph).arg(ch); }

    TManualClock clock;
    TManualTimerService timers;
    TTimerServiceInstaller timersInstalled{&timers};
    TFakeInputState input;
    TInputStateInstaller inputInstalled{&input};
    TFakeClipboard clipboard;
    TClipboardInstaller clipboardInstalled{&clipboard};
    TFakeShell shell;
    TShellInstaller shellInstalled{&shell};
    TSheetFixture fixture;
    TElement_ScriptText* text = nullptr;
    TElement_ScriptNote* note = nullptr;

private:
    const TClock* m_previousClock;
    TPaletteGroup* m_group = nullptr;
};

TEST_F(TextorScriptTest, TypingPausingEnterAndBackspace) {
    Start(At(0, 16));
    Type(" delta");
    ExpectStep(At(0, 22), "Alpha beta gamma delta" + kInitialText.mid(16), 1);
    Type("s", kNewStepPause);
    ExpectStep(At(0, 23), "Alpha beta gamma deltas" + kInitialText.mid(16), 2);
    Type("\r");
    ExpectStep(At(1, 0), "Alpha beta gamma deltas\r\n" + kInitialText.mid(16), 2);
    Key(vkBack);  // joins the paragraphs again: deleting starts a step
    ExpectStep(At(0, 23), "Alpha beta gamma deltas" + kInitialText.mid(16), 3);
    Key(vkBack);  // joins the step of the previous deletion
    ExpectStep(At(0, 22), "Alpha beta gamma delta" + kInitialText.mid(16), 3);
    fixture.history.Undo();
    ExpectStep("0,22,1,0", "Alpha beta gamma deltas\r\n" + kInitialText.mid(16), 2);
    fixture.history.Redo();
    ExpectStep(At(0, 22), "Alpha beta gamma delta" + kInitialText.mid(16), 3);
}

TEST_F(TextorScriptTest, ASurrogatePairTypedUnitByUnitIsOneCharacter) {
    Start(At(0, 5));
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80");
    Type(smiley);
    ExpectStep(At(0, 7), "Alpha" + smiley + kInitialText.mid(5), 1);
    Key(vkLeft);  // over the pair at once
    ExpectStep(At(0, 5), "Alpha" + smiley + kInitialText.mid(5), 1);
    Type(smiley.left(1) + "x");  // a lone high surrogate is dropped
    ExpectStep(At(0, 6), "Alphax" + smiley + kInitialText.mid(5), 2);
}

TEST_F(TextorScriptTest, BackspaceAtTheTextStartRecordsNothing) {
    Start(At(0, 0));
    Key(vkBack);
    ExpectStep(At(0, 0), kInitialText, 0);
}

TEST_F(TextorScriptTest, HomeEndUpAndDownOnWrappedRows) {
    const QList<int> starts = RowStarts(1);
    ASSERT_GE(starts.size(), 3) << "the second paragraph wraps into three rows";
    Start(At(1, 3));
    Key(vkHome);
    ExpectStep(At(1, 0), kInitialText, 0);
    Key(vkEnd);  // the end of the first row is the start of the second: the caret stays above
    ExpectStep(At(1, starts[1]), kInitialText, 0, TRowSide::Upper);
    Key(vkHome);
    ExpectStep(At(1, 0), kInitialText, 0);
    Key(vkDown);
    ExpectStep(At(1, starts[1]), kInitialText, 0);
    Key(vkDown);
    ExpectStep(At(1, starts[2]), kInitialText, 0);
    Key(vkEnd);
    const int end = starts.size() > 3 ? starts[3] : kWrapped.size();
    ExpectStep(At(1, end), kInitialText, 0, TRowSide::Upper);
    Key(vkHome);
    ExpectStep(At(1, starts[2]), kInitialText, 0);
    Key(vkUp);
    ExpectStep(At(1, starts[1]), kInitialText, 0);
    Key(vkUp);
    Key(vkUp);
    ExpectStep(At(0, 0), kInitialText, 0);

    // Typing at a row's end wraps the paragraph again; the caret is found in the new rows.
    Start(At(1, starts[1]));
    Type("xyz");
    const int at = int(kInitialText.indexOf(kWrapped)) + starts[1];
    ExpectStep(At(1, starts[1] + 3), kInitialText.left(at) + "xyz" + kInitialText.mid(at), 1);
}

TEST_F(TextorScriptTest, LeftAtTheStartAndUpOnTheFirstRowLeaveTheKeyToTheSheet) {
    const std::pair<int, int> cases[] = {{vkLeft, 0}, {vkUp, 3}};  // the key, the caret in the first row
    for (const auto& [key, at] : cases) {
        SCOPED_TRACE(key);
        Start(At(0, at));
        EXPECT_EQ(Key(key), vkNone);
        // The sheet's arrow rule: the next focusable element backwards is the box that holds the text.
        EXPECT_EQ(fixture.sheet.Focused(), fixture.root);
        EXPECT_FALSE(text->IsEdited());
        EXPECT_EQ(fixture.sheet.CaretKind(), ckNone);
        EXPECT_EQ(UndoSteps(), 0);
    }
}

TEST_F(TextorScriptTest, RightIntoAnEmbeddedTextPutsTheCaretAtItsStart) {
    Start(At(3, 7));  // before the note
    EXPECT_EQ(Key(vkRight), vkNone);
    EXPECT_EQ(fixture.sheet.Focused(), note);
    ExpectStep(At(0, 0), kInitialText, 0);
}

TEST_F(TextorScriptTest, LeftIntoAnEmbeddedTextPutsTheCaretAtItsEnd) {
    Start(At(3, 8));  // after the note
    EXPECT_EQ(Key(vkLeft), vkNone);
    EXPECT_EQ(fixture.sheet.Focused(), note);
    ExpectStep(At(0, 8), kInitialText, 0);
}

TEST_F(TextorScriptTest, DoubleAndTripleClicksAndADragOverAnEmbeddedElement) {
    Start(At(0, 0));
    Click(PointAt({0, 8}), 2);  // the word with the space after it
    ExpectStep("0,6,0,11", kInitialText, 0);
    Drag(PointAt({0, 4}), PointAt({1, 3}));  // a press beside the selection selects anew
    ExpectStep("0,4,1,3", kInitialText, 0);
    Click(PointAt({1, 2}), 3);  // the paragraph with its break
    ExpectStep("1,0,2,0", kInitialText, 0);
    Drag(PointAt({3, 2}), PointAt({3, 12}));
    ExpectStep("3,2,3,12", kInitialText, 0);
    EXPECT_TRUE(note->IsInSelectedText());
    Click(PointAt({3, 1}));
    ExpectStep(At(3, 1), kInitialText, 0);
    EXPECT_FALSE(note->IsInSelectedText());

    // Typing over a selection that holds the note removes it, as one step.
    Drag(PointAt({3, 2}), PointAt({3, 12}));
    Type("X");
    const QString typedOver = kBeforeNote.chopped(5) + "X" + kAfterNote.mid(4);  // "be", "X", "er"
    ExpectStep(At(3, 3), typedOver, 1);
    EXPECT_EQ(text->FirstVisualChild(), nullptr);
    fixture.history.Undo();
    EXPECT_EQ(text->GetText().toStdString(), kInitialText.toStdString());
    EXPECT_NE(text->FirstVisualChild(), nullptr);
}

TEST_F(TextorScriptTest, CopyAndPaste) {
    Start(At(0, 0));
    Click(PointAt({0, 13}), 2);
    ExpectStep("0,11,0,16", kInitialText, 0);
    text->Copy();
    EXPECT_EQ(clipboard.Text(), "gamma");
    Key(vkHome, ssCtrl);
    ExpectStep(At(0, 0), kInitialText, 0);
    EXPECT_TRUE(text->Paste());
    ExpectStep(At(0, 5), "gamma" + kInitialText, 1);

    // The embedded note goes with the text around it and comes back as a new element.
    Drag(PointAt({3, 4}), PointAt({3, 10}));
    ExpectStep("3,4,3,10", "gamma" + kInitialText, 1);
    text->Copy();
    Key(vkEnd, ssCtrl);
    EXPECT_TRUE(text->Paste());
    ExpectStep(At(3, 20), "gamma" + kInitialText + "re  a", 2);
    int notes = 0;
    for (TVisualElement* c = text->FirstVisualChild(); c; c = c->NextVisualSibling()) ++notes;
    EXPECT_EQ(notes, 2);
}

// "gamma" at (0, 11); "two" at (1, 4), after "Alpha beta gamma\r\none ".
TEST_F(TextorScriptTest, DragMoveAndDragCopyWithinTheTextAreOneUndoStepEachADropInsideTheSelectionNothing) {
    const QString t = kInitialText;
    const struct {
        const char* selection;
        TTextorNumericPosition from, to;
        TShiftState keys;
        QString text;
        const char* dropped;  // the selection afterwards
    } rows[] = {
        {"0,11,0,16", {0, 13}, {1, 3}, 0, QString(t).insert(21, "gamma").remove(11, 5), "1,3,1,8"},
        {"1,4,1,7", {1, 5}, {0, 0}, 0, QString(t).remove(22, 3).insert(0, "two"), "0,0,0,3"},
        {"0,11,0,16", {0, 13}, {1, 3}, ssCtrl, QString(t).insert(21, "gamma"), "1,3,1,8"},
        {"0,6,0,16", {0, 8}, {0, 13}, 0, t, "0,6,0,16"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.selection);
        Start(row.selection);
        Drag(PointAt(row.from), PointAt(row.to), row.keys);
        ExpectStep(row.dropped, row.text, row.text == t ? 0 : 1);
        fixture.history.Undo();
        EXPECT_EQ(text->GetText().toStdString(), t.toStdString());
        fixture.history.Clear();
    }
}

TEST_F(TextorScriptTest, DragMoveAndDragCopyIntoAnotherTextAreOneUndoStepEachEmbeddedElementsIncluded) {
    auto* other = TElement::CreateIn<TElement_ScriptText>(fixture.scheme.get(), fixture.root);
    other->SetVisualParent(fixture.root);
    other->SetText(QStringLiteral("xy"));
    fixture.Layout();
    for (const TShiftState keys : {TShiftState(0), TShiftState(ssCtrl)}) {
        Start("3,4,3,10");  // "re", the note, " a"
        Drag(PointAt({3, 5}), PointAt({0, 1}, other), keys);
        EXPECT_EQ(other->GetText(), "xre  ay");
        ExpectStep("0,1,0,7", keys ? kInitialText : kBeforeNote.chopped(3) + "fter", 1);
        EXPECT_NE(other->FirstVisualChild(), nullptr) << "the note goes along";
        EXPECT_EQ(text->FirstVisualChild() == nullptr, !keys);
        fixture.history.Undo();
        EXPECT_EQ(text->GetText().toStdString(), kInitialText.toStdString());
        EXPECT_EQ(other->GetText(), "xy");
        EXPECT_EQ(other->FirstVisualChild(), nullptr);
        fixture.history.Clear();
    }
}

// The note is not hit while it lies in the dragged selection, and a drop
// handed to it all the same is ignored (the move would take it away).
TEST_F(TextorScriptTest, ADropIntoAnElementEmbeddedInTheDraggedSelectionChangesNothing) {
    for (const TShiftState keys : {TShiftState(0), TShiftState(ssCtrl)}) {
        Start("3,4,3,10");  // "re", the note, " a"
        Drag(PointAt({3, 5}), PointAt({0, 3}, note), keys);
        Start("3,4,3,10");
        TTextorDrop drop{text->Interactive(), note->Textor()->GetEndPosition(), keys != 0};
        note->AcceptDrop(drop);
        EXPECT_FALSE(drop.Inserted);
        ExpectStep("3,4,3,10", kInitialText, 0);
        EXPECT_EQ(note->GetText(), QStringLiteral("a banana"));
        EXPECT_EQ(note->Parent(), text);
    }
}

TEST_F(TextorScriptTest, FindAcrossParagraphsIntoAnEmbeddedElementAndBack) {
    Start(At(0, 0));
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("TA"), true));
    ExpectStep("0,8,0,10", kInitialText, 0);
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("na"), true));  // in the note
    EXPECT_EQ(fixture.sheet.Focused(), note);
    ExpectStep("0,4,0,6", kInitialText, 0);
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("na"), true));  // past the selection
    ExpectStep("0,6,0,8", kInitialText, 0);

    Start(At(2, 0));
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("ta"), false));
    ExpectStep("0,8,0,10", kInitialText, 0);
    EXPECT_FALSE(FindStep(TFindMode::SkipMatchingSelection, TFindData("ta"), false));

    // Backwards into the note from the text end, and out of it again.
    Start(At(3, 14));
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("na"), false));
    EXPECT_EQ(fixture.sheet.Focused(), note);
    ExpectStep("0,6,0,8", kInitialText, 0);
    ASSERT_TRUE(FindStep(TFindMode::SkipMatchingSelection, TFindData("be"), false));  // "before", before the note
    EXPECT_EQ(fixture.sheet.Focused(), text);
    ExpectStep("3,0,3,2", kInitialText, 0);
}

TEST_F(TextorScriptTest, ReplaceOneMatchAndReplaceAllOfAByAa) {
    Start(At(0, 0));
    TFindData en("en");
    en.Scope = text;
    EXPECT_EQ(Replace(en, "EN", false), 1);  // in "seven", then on to "ten"
    const QString replaced = QString(kInitialText).replace(kInitialText.indexOf("en"), 2, "EN");
    ExpectStep("1,46,1,48", replaced, 1);

    Start(At(0, 0));
    TFindData a("a");
    a.Scope = text;
    const int inText = int(text->GetText().count(u'a', Qt::CaseInsensitive));
    const int inNote = int(note->GetText().count(u'a'));
    EXPECT_EQ(Replace(a, "aa", true), inText + inNote);
    EXPECT_EQ(text->GetText().toStdString(), QString(replaced).replace("a", "aa", Qt::CaseInsensitive).toStdString());
    EXPECT_EQ(note->GetText().toStdString(), "aa baanaanaa");
    EXPECT_EQ(UndoSteps(), 2);
}

TEST_F(TextorScriptTest, AnOwnLinePaletteElementMidParagraphStandsOnALineOfItsOwn) {
    Start(At(0, 5));
    ASSERT_TRUE(text->ApplyItem(PaletteItem(TElement_ScriptBlock::StaticClass(), pifOwnLine), QString(), false));
    ExpectStep(At(1, 1), "Alpha\r\n\r\n beta gamma" + kInitialText.mid(16), 1);
    EXPECT_EQ(text->Textor()->ParagraphCount(), 6);
    fixture.history.Undo();
    ExpectStep(At(0, 5), kInitialText, 0);
}

TEST_F(TextorScriptTest, TheCursorFollowsThePointerOverTextAndLinks) {
    const int link = 4;  // "see "
    fixture.sheet.MouseMove(PointAt({0, 3}), 0);
    EXPECT_EQ(fixture.sheet.Cursor(), crTextorContainerTextBeam);
    Start(At(0, 0));
    fixture.sheet.MouseMove(PointAt({2, link + 3}), 0);
    EXPECT_EQ(fixture.sheet.Cursor(), Cursors::HandPoint);
    fixture.sheet.MouseMove(PointAt({0, 3}), 0);
    EXPECT_EQ(fixture.sheet.Cursor(), crTextorContainerTextBeam);
}

TEST_F(TextorScriptTest, NothingChangesOnAReadOnlySheet) {
    Start(At(0, 5));
    fixture.sheet.SetReadOnly(true);
    Type("x\r");
    Key(vkBack);
    Key(vkDelete);
    ExpectStep(At(0, 5), kInitialText, 0);
    clipboard.SetContent(TClipboardContent{QStringLiteral("pasted")});
    EXPECT_FALSE(text->Paste());
    EXPECT_FALSE(Replacement()->ReplaceSelection("y"));
    ExpectStep(At(0, 5), kInitialText, 0);
}

TEST_F(TextorScriptTest, CtrlEnterAndADoubleClickOnALinkReachTheShell) {
    const int link = 4;  // "see "
    Start(At(2, link + 3));
    Key(vkReturn, ssCtrl, QChar(u'\r'));  // no new paragraph
    EXPECT_EQ(shell.Calls, QStringList{"Execute|" + kLink + "||"});
    ExpectStep(At(2, link + 3), kInitialText, 0);
    Click(PointAt({2, link + 10}), 2);
    EXPECT_EQ(shell.Calls.size(), 2);
    EXPECT_EQ(shell.Calls.value(1), "Execute|" + kLink + "||");
    ExpectStep(At(2, link + 10), kInitialText, 0);  // no word selected
    Start(At(0, 2));
    Key(vkReturn, ssCtrl, QChar(u'\r'));  // no link: nothing at all
    ExpectStep(At(0, 2), kInitialText, 0);
    EXPECT_EQ(shell.Calls.size(), 2);
}

}  // namespace

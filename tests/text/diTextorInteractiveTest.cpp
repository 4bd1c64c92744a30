// The caret object's input side: zones and cursors from the option bits, the
// typed-character filter and the typing that reaches the element, key moves
// on wrapped rows, mouse selection and the drag of a selection. Every code
// unit is 10 pixels wide, rows are 10 high.

#include "platform/plCursor.h"
#include "platform/plInput.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <algorithm>

// A field in fixed metrics (10 pixels a character).
class TElement_InputProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_InputProbeText)
public:
    TTextAttributes* GetTextAttributes() const override { return m_fixed.get(); }

private:
    TTextAttributesRef m_fixed = FixedText();
};
T_ELEMENT_CLASS_IMPL(TElement_InputProbeText, TTextorElement)

namespace {

TEST(TextorInteractiveZones, TextZoneAndCursorFollowTheOptionBits) {
    const std::pair<uint16_t, int> texts[] = {
        {0, crTextorFieldBeam},
        {tioCursorText, crTextorFieldBeam},
        {tioCursorRich, crTextorFieldElementsBeam},
        {tioCursorDropDown | tioCursorParagraphs | tioCursorRich, crTextorFieldDropDownBeam},
        {tioCursorParagraphs | tioCursorRich, crTextorContainerBeam},
        {tioCursorParagraphs | tioCursorText, crTextorContainerTextBeam},
    };
    for (const auto& [options, cursor] : texts) EXPECT_EQ(CursorOfZone(TextZoneOf(options)), cursor) << options;
    const std::pair<uint8_t, int> others[] = {
        {tmzLeft, crTextorLeftZone},    {tmzLeftSelecting, crTextorLeftZone}, {tmzSelection, Cursors::Arrow},
        {tmzDragMove, crTextorDragMove}, {tmzDragCopy, crTextorDragCopy},     {tmzNoDrop, Cursors::No},
        {tmzLink, Cursors::HandPoint},
    };
    for (const auto& [zone, cursor] : others) EXPECT_EQ(CursorOfZone(zone), cursor) << int(zone);
}

TEST(TextorInteractiveZones, CursorsAreOurOwnFilesWithTheirHotSpots) {
    TFakeScreenCursor screen;
    TScreenCursorInstaller install(&screen);
    RegisterTextorCursors();
    const std::pair<int, QPoint> rows[] = {
        {crTextorFieldBeam, {10, 15}},         {crTextorFieldElementsBeam, {10, 15}},
        {crTextorFieldDropDownBeam, {10, 15}}, {crTextorContainerBeam, {10, 15}},
        {crTextorContainerTextBeam, {10, 15}}, {crTextorLeftZone, {30, 1}},
        {crTextorDragMove, {1, 1}},            {crTextorDragCopy, {1, 1}},
    };
    for (const auto& [id, hotSpot] : rows) {
        const QCursor cursor = screen.CursorOf(id);
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << id;
        EXPECT_EQ(cursor.hotSpot(), hotSpot) << id;
    }
}

TEST(TextorInteractiveTyping, FilterTakesControlCharactersOnlyWithTheirCtrlRule) {
    struct Row { char16_t Ch; bool Ctrl; uint16_t Options; bool Paragraphs; bool Tabs; TTypedChar Verdict; };
    const Row rows[] = {
        {u'a', false, 0, false, false, TTypedChar::Text},
        {u'a', true, 0, true, true, TTypedChar::Ignored},  // a printable character with Ctrl
        {0xD83D, false, 0, false, false, TTypedChar::Text},
        {0x01, false, 0, true, true, TTypedChar::Ignored},
        {u'\r', false, 0, true, false, TTypedChar::Paragraph},
        {u'\r', false, 0, false, false, TTypedChar::Ignored},  // no paragraphs allowed
        {u'\r', true, 0, true, false, TTypedChar::Ignored},
        {u'\r', true, tioCtrlEnterParagraph, true, false, TTypedChar::Paragraph},
        {u'\r', false, tioCtrlEnterParagraph, true, false, TTypedChar::Ignored},
        {u'\t', false, 0, false, true, TTypedChar::Tab},
        {u'\t', false, 0, true, false, TTypedChar::Ignored},  // no tab-stop portions
        {u'\t', true, tioCtrlTab, false, true, TTypedChar::Tab},
        {u'\t', false, tioCtrlTab, false, true, TTypedChar::Ignored},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FilterTypedChar(r.Ch, r.Ctrl, r.Options, r.Paragraphs, r.Tabs), r.Verdict)
            << int(r.Ch) << " ctrl " << r.Ctrl << " options " << r.Options;
}

// A caret object on a test textor, with what it asks the element to enter.
class TextorInteractive : public ::testing::Test {
protected:
    TTestTextor t;
    std::unique_ptr<TTextorInteractive> c;
    TFakeInputState input;
    TInputStateInstaller installInput{&input};
    // Each tinEnterText: the text, "<delete>" for none.
    QStringList entered;
    std::vector<int> notices;
    // What a tinDrop listener answers.
    bool dropInserted = false;

    void Set(const QString& text, int width) {
        t.AvailableWidth = width;
        t.SetText(text);
        c = std::make_unique<TTextorInteractive>(&t);
        c->AddHandler(MakeHandler<&TextorInteractive::OnNotice>(this));
    }
    void OnNotice(TItfObject*, int msg, intptr_t p1, intptr_t) {
        notices.push_back(msg);
        if (msg == tinEnterText) entered << (p1 ? *reinterpret_cast<const QString*>(p1) : QString("<delete>"));
        if (msg == tinDrop) reinterpret_cast<TTextorDrop*>(p1)->Inserted = dropInserted;
    }
    TTextorPosition At(int paragraph, int index) const { return PositionAt(t, {paragraph, index}); }
    int Index(const TTextorPosition& position) const { return t.PositionToNumeric(position).Char; }
    // "start-end" of the ordered selection as character indices of paragraph 0.
    QString Selection() const {
        const TTextorRange s = c->GetSelection();
        return QStringLiteral("%1-%2").arg(Index(s.Start)).arg(Index(s.End));
    }
    int CaretRowIndex() const {
        const TParagraph* p = c->CaretPosition().Paragraph;
        for (int i = 0; i < p->RowCount(); ++i)
            if (p->RowAt(i) == c->CaretRow()) return i;
        return -1;
    }
};

TEST_F(TextorInteractive, KeyMovesOnWrappedRows) {
    struct Row {
        const char* Name;
        int Caret;
        bool LowerRow;  // the caret starts on the lower of two rows meeting there
        int Key;
        TShiftState Shift;
        bool Consumed;
        const char* Selection;
        int CaretRow;
        bool Deletes = false;  // the selection is to be deleted
    };
    // Rows "abcd " / "efgh " / "ijkl".
    const Row rows[] = {
        {"End keeps the upper row", 0, false, vkEnd, 0, true, "5-5", 0},
        {"Home goes to the lower row", 7, false, vkHome, 0, true, "5-5", 1},
        {"Up takes the middle of the caret", 7, false, vkUp, 0, true, "2-2", 0},
        {"Down from the row start", 5, true, vkDown, 0, true, "10-10", 2},
        {"Up on the first row leaves the key", 2, false, vkUp, 0, false, "2-2", 0},
        {"Down on the last row leaves the key", 12, false, vkDown, 0, false, "12-12", 2},
        {"Left at the text start leaves the key", 0, false, vkLeft, 0, false, "0-0", 0},
        {"Right at the text end leaves the key", 14, false, vkRight, 0, false, "14-14", 2},
        {"Ctrl+Right goes past the word and its space", 1, false, vkRight, ssCtrl, true, "5-5", 1},
        {"Ctrl+Left goes to the word start", 7, false, vkLeft, ssCtrl, true, "5-5", 1},
        {"Ctrl+End goes to the text end", 1, false, vkEnd, ssCtrl, true, "14-14", 2},
        {"Shift+Right extends from the caret", 1, false, vkRight, ssShift, true, "1-2", 0},
        {"Shift+Down extends a row down", 1, false, vkDown, ssShift, true, "1-6", 1},
        {"Ctrl+Up is not a move", 7, false, vkUp, ssCtrl, false, "7-7", 1},
        {"Backspace at the text start asks nothing", 0, false, vkBack, 0, true, "0-0", 0},
        {"Delete at the text end asks nothing", 14, false, vkDelete, 0, true, "14-14", 2},
        {"Backspace deletes the character before", 7, false, vkBack, 0, true, "6-7", 1, true},
        {"Delete deletes the character after", 7, false, vkDelete, 0, true, "7-8", 1, true},
    };
    for (const Row& r : rows) {
        Set("abcd efgh ijkl", 50);
        entered.clear();
        const TTextorPosition start = At(0, r.Caret);
        c->SetCaretAndSelection(t.FindRow(start, r.LowerRow), start, start, start);
        int key = r.Key;
        c->KeyDown(key, r.Shift);
        EXPECT_EQ(key == vkNone, r.Consumed) << r.Name;
        EXPECT_EQ(Selection(), r.Selection) << r.Name;
        EXPECT_EQ(CaretRowIndex(), r.CaretRow) << r.Name;
        EXPECT_EQ(entered, r.Deletes ? QStringList{"<delete>"} : QStringList()) << r.Name;
    }
}

TEST_F(TextorInteractive, TypedCharactersReachTheElementAsTexts) {
    struct Row { const char* Name; std::u16string Typed; TShiftState Modifiers; QStringList Entered; };
    const Row rows[] = {
        {"a letter", u"a", 0, {"a"}},
        {"a surrogate pair goes out as one text", u"\U0001F600", 0, {QString::fromUtf16(u"\U0001F600")}},
        {"a lone low surrogate is dropped", {char16_t(0xDE00), u'b'}, 0, {"b"}},
        {"a lone high surrogate is dropped", {char16_t(0xD83D), u'b'}, 0, {"b"}},
        {"a tab becomes Tab-width spaces", u"\t", 0, {"    "}},
        {"Enter makes a paragraph", u"\r", 0, {"\r"}},
        {"a letter with Ctrl is ignored", u"a", ssCtrl, {}},
    };
    for (const Row& r : rows) {
        Set("", 0);
        t.UseTabStops = true;
        c->TabWidth = 4;
        input.Modifiers = r.Modifiers;
        entered.clear();
        for (char16_t unit : r.Typed) {
            QChar ch(unit);
            c->KeyPress(ch);
        }
        EXPECT_EQ(entered, r.Entered) << r.Name;
    }
}

TEST_F(TextorInteractive, ThePointerZoneFollowsTheOptionBits) {
    struct Row { uint16_t Options; int X; int Y; uint8_t Zone; };
    // "ab cd" | "ef", indented by 20; "cd" is a link; "d", the break and "e" are selected.
    const Row rows[] = {
        {0, 55, 5, tmzField},
        {tioDoubleClickLink, 55, 5, tmzLink},
        {tioClickLink, 55, 5, tmzLink},
        {tioDragSelection, 65, 5, tmzSelection},
        {tioDragSelection, 72, 5, tmzField},
        {tioDragSelection | tioParagraphEndHighlight, 72, 5, tmzSelection},
        {tioDragSelection | tioParagraphEndHighlight, 76, 5, tmzField},
        {tioRowZone, 15, 15, tmzLeft},
        {tioRowZone, 16, 15, tmzField},
        {tioCursorParagraphs | tioCursorText, 25, 15, tmzContainerText},
    };
    t.DefaultParagraph = FixedParagraph(20, 0, 0);
    Set("ab cd\nef", 0);
    TFixedTextAttributes link;
    link.SetLinkKind(1);
    t.SetRangeAttributes(TTextorRange{At(0, 3), At(0, 5)}, false, AcquireSharedAs<TTextAttributes>(link));
    for (const Row& r : rows) {
        c->SetSelection(TTextorRange{At(0, 4), At(1, 1)});
        c->SetOptions(r.Options);
        c->MouseMove(QPoint(r.X, r.Y), 0);
        EXPECT_EQ(c->Zone(), r.Zone) << r.Options << " at " << r.X << "," << r.Y;
    }
}

TEST_F(TextorInteractive, ClicksSelectTheWordOrTheParagraph) {
    struct Row { int Clicks; uint16_t Options; int X; const char* Selection; };
    const Row rows[] = {
        {0, 0, 62, "6-6"},
        {2, 0, 52, "4-7"},  // "cd" of "ab. cd ef": the word with its space
        {2, 0, 22, "2-4"},
        {2, tioDoubleClickRow, 62, "0-9"},
        {3, 0, 22, "0-9"},
    };
    for (const Row& r : rows) {
        Set("ab. cd ef", 0);
        c->SetOptions(r.Options);
        c->MouseDown(QPoint(r.X, 5), mbLeft, 0, r.Clicks);
        EXPECT_EQ(Selection(), r.Selection) << r.Clicks << " at " << r.X;
    }
}

TEST_F(TextorInteractive, DraggingFromTheLeftZoneSelectsWholeRows) {
    t.DefaultParagraph = FixedParagraph(20, 0, 0);
    Set("abcd efgh ijkl", 70);
    c->SetOptions(tioRowZone);
    c->MouseDown(QPoint(10, 15), mbLeft, 0, 0);
    EXPECT_EQ(c->MouseMode(), tmmRows);
    EXPECT_EQ(c->Zone(), tmzLeftSelecting);
    EXPECT_EQ(Selection(), "5-10");
    c->MouseMove(QPoint(30, 25), 0);
    EXPECT_EQ(Selection(), "5-14");
    c->MouseMove(QPoint(30, 5), 0);
    EXPECT_EQ(Selection(), "0-10");
    c->MouseUp(QPoint(30, 5), mbLeft, 0);
    EXPECT_EQ(c->MouseMode(), tmmNone);
    EXPECT_EQ(c->Zone(), tmzField);
}

TEST_F(TextorInteractive, APressOnTheSelectionIsAClickWithinTheThresholdAndADropOnItRestoresIt) {
    Set("abc def", 0);
    c->SetOptions(tioDragSelection);
    for (bool drag : {false, true}) {
        c->SetSelection(TTextorRange{At(0, 0), At(0, 6)});
        c->MouseDown(QPoint(12, 5), mbLeft, 0, 0);
        EXPECT_EQ(c->MouseMode(), tmmPressedOnSelection);
        EXPECT_EQ(Index(c->CaretPosition()), 1);
        const QPoint to(drag ? 42 : 12 + input.Threshold, 5);
        c->MouseMove(to, ssCtrl);
        c->MouseMove(to, ssCtrl);
        EXPECT_EQ(c->Zone(), drag ? tmzDragCopy : tmzSelection);
        notices.clear();
        c->MouseUp(to, mbLeft, ssCtrl);
        EXPECT_EQ(std::count(notices.begin(), notices.end(), tinDrop), 0);
        EXPECT_EQ(Selection(), drag ? "0-6" : "1-1");
    }
}

// Mend: a drag that moved text deleted it even when the target inserted nothing.
TEST_F(TextorInteractive, DragMoveDeletesItsSourceOnlyWhenTheTargetInsertedTheDrop) {
    for (bool inserted : {false, true}) {
        Set("abc def", 0);
        dropInserted = inserted;
        entered.clear();
        notices.clear();
        c->SetOptions(tioDragSelection);
        c->SetSelection(TTextorRange{At(0, 0), At(0, 3)});
        c->MouseDown(QPoint(12, 5), mbLeft, 0, 0);
        c->MouseMove(QPoint(62, 5), 0);
        c->MouseMove(QPoint(62, 5), 0);
        EXPECT_EQ(c->MouseMode(), tmmDragging);
        EXPECT_EQ(c->Zone(), tmzDragMove);
        c->MouseUp(QPoint(62, 5), mbLeft, 0);
        EXPECT_EQ(std::count(notices.begin(), notices.end(), tinDrop), 1);
        EXPECT_EQ(entered, inserted ? QStringList{"<delete>"} : QStringList()) << "inserted " << inserted;
    }
}

TEST(TextorInteractiveElement, TheElementTakesTheMouseAtItsTextOriginAndTypedCharactersThroughItsFilter) {
    TSheetFixture fixture;
    fixture.sheet.SetAvailableSize(QSize(600, 400));
    auto* text = TElement::CreateIn<TElement_InputProbeText>(fixture.scheme.get(), fixture.root);
    text->SetVisualParent(fixture.root);
    text->SetTextorOptions(toCheckWhenEditingEnds);
    text->SetRestrictions(trAllCharacters & ~trLineFeeds);
    fixture.Layout();
    text->SetText("abcdef");
    EXPECT_EQ(text->GetCursor(QPoint()), crTextorFieldBeam);  // not edited: the zone its options give
    const TRect padding = text->GetPadding();
    const QPoint origin(padding.Left, padding.Top);
    text->MouseDown(origin + QPoint(22, 3), mbLeft, 0, 0);
    ASSERT_TRUE(text->IsEdited());
    EXPECT_EQ(fixture.sheet.Pressed(), text);
    text->MouseMove(origin + QPoint(42, 3), 0);
    text->MouseUp(origin + QPoint(42, 3), mbLeft, 0);
    EXPECT_EQ(fixture.sheet.Pressed(), nullptr);
    QString focus;
    text->GetFocusData(focus);
    EXPECT_EQ(focus, "0,2,0,4");
    QChar typed(u'x');
    text->KeyPress(typed);
    EXPECT_EQ(text->GetText(), "abxef");
    EXPECT_TRUE(text->IsEditing());
    QChar enter(u'\r');
    text->KeyPress(enter);  // a one-line field: Enter ends the editing
    EXPECT_FALSE(text->IsEditing());
    EXPECT_EQ(text->GetText(), "abxef");
    fixture.sheet.SetFocus(nullptr);
    text->SetRestrictions(trAllCharacters);
    EXPECT_EQ(text->GetCursor(QPoint()), crTextorContainerTextBeam);
    text->Focus();
    EXPECT_EQ(text->GetCursor(QPoint()), crTextorContainerTextBeam);  // edited: the zone of its options
}

// Mend: the caret row kept its pointer after a re-layout had freed the row.
TEST_F(TextorInteractive, ACaretRowFreedByARelayoutIsFoundAgain) {
    Set("abcd efgh ijkl", 50);
    c->SetCaretPosition(At(0, 7));
    t.AvailableWidth = 0;
    t.InvalidateAllLayouts();
    ASSERT_EQ(t.FirstParagraph()->RowCount(), 1);
    EXPECT_EQ(c->CaretRow(), t.FirstParagraph()->FirstRow());
    EXPECT_EQ(c->GetCaretRect().Left, t.GetCaretRect(t.FirstParagraph()->FirstRow(), At(0, 7), 1).Left);
}

}  // namespace

// The text model: brackets, editing, positions, extraction, runs, words and
// the link between element portions and their elements.

#include "support/testTextor.h"

#include <gtest/gtest.h>

namespace {

class TextorModel : public TTextorTest {
protected:
    TTextAttributesRef a = FixedText(10);
    TTextAttributesRef b = FixedText(12);

    TTextorRange Range(int p0, int i0, int p1, int i1) { return TTextorRange{At(p0, i0), At(p1, i1)}; }
    TTextorNumericRange Numeric(const TTextorRange& r) { return t.RangeToNumeric(r); }

    // Paragraphs joined by "|"; text "(chars)", tabs "[count]", an element "{}"; "*" attributes a, "'" b.
    QString Shape() const {
        QStringList paragraphs;
        for (TParagraph* p = t.FirstParagraph(); p; p = p->Next()) {
            QString s;
            for (TPortion* q = p->FirstPortion(); q; q = q->Next()) {
                if (q->Kind() == TPortionKind::Text) s += "(" + static_cast<TTextPortion*>(q)->Text() + ")";
                if (q->Kind() == TPortionKind::TabStops) s += QString("[%1]").arg(q->Length());
                if (q->Kind() == TPortionKind::Element) s += "{}";
                s += q->Attributes() == b.get() ? "'" : q->Attributes() == a.get() ? "*" : "";
            }
            paragraphs << s;
        }
        return paragraphs.join('|');
    }
};

TEST_F(TextorModel, NestedBracketsGiveOneChangeAfterOneRelayout) {
    int changedAtLayout = -1;
    t.DuringLayout = [&](TTestTextor& x) { changedAtLayout = x.ChangedCount; };
    t.BeginUpdate();
    t.InsertText(t.GetStartPosition(), "ab");
    t.SplitParagraph(At(0, 1));
    EXPECT_EQ(t.ChangedCount + t.RelayoutCount, 0);
    t.EndUpdate();
    EXPECT_EQ(t.RelayoutCount, 1);
    EXPECT_EQ(t.ChangedCount, 1);
    EXPECT_EQ(changedAtLayout, 0);
    t.DuringLayout = [](TTestTextor& x) { x.LastParagraph()->Changed(); };  // a change during relayout: no notice
    t.InsertText(t.GetStartPosition(), "ab");
    EXPECT_EQ(t.RelayoutCount, 2);
    EXPECT_EQ(t.ChangedCount, 2);
    t.InvalidateAllLayouts();  // outside an update too
    EXPECT_EQ(t.RelayoutCount, 3);
    EXPECT_EQ(t.ChangedCount, 2);
}

TEST_F(TextorModel, LockedLayoutOnlyMarksPending) {
    TTestTextor locked(true);
    locked.InsertText(locked.GetStartPosition(), "ab");
    EXPECT_EQ(locked.RelayoutCount, 0);
    EXPECT_EQ(locked.ChangedCount, 1);
    EXPECT_TRUE(locked.IsRelayoutPending());
    locked.UnlockLayout();
    EXPECT_EQ(locked.RelayoutCount, 1);
    EXPECT_FALSE(locked.IsRelayoutPending());
    TTestTextor fresh(true);
    fresh.UnlockLayout();
    EXPECT_NE(fresh.FirstParagraph()->FirstRow(), nullptr) << "FreshTextorWasNeverLaidOut";
}

TEST_F(TextorModel, InsertScansBreaksAndTabs) {
    struct Row { bool paragraphs, tabs; QString text, shape; TTextorNumericRange range; };
    const Row rows[] = {
        {true, false, "a\r\nb", "(a)|(b)", {{0, 0}, {1, 1}}},
        {true, false, "a\n\rb", "(a)|(b)", {{0, 0}, {1, 1}}},
        {true, false, "a\r\rb", "(a)||(b)", {{0, 0}, {2, 1}}},
        {true, false, "\n", "|", {{0, 0}, {1, 0}}},
        {false, false, "a\r\nb", "(a\r\nb)", {{0, 0}, {0, 4}}},
        {false, true, "a\t\tb\t", "(a)[2](b)[1]", {{0, 0}, {0, 5}}},
        {true, true, "\tx\r\n\t", "[1](x)|[1]", {{0, 0}, {1, 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        t.Clear();
        t.AllowParagraphs = row.paragraphs;
        t.UseTabStops = row.tabs;
        const TTextorRange range = t.InsertText(t.GetStartPosition(), row.text, a);
        EXPECT_EQ(Shape(), QString(row.shape).replace(")", ")*").replace("]", "]*"));
        EXPECT_EQ(Numeric(range), row.range);
    }
}

TEST_F(TextorModel, InsertJoinsMatchingPortionsAndSplitsOthers) {
    t.InsertText(t.GetStartPosition(), "ab", a);
    t.InsertText(t.GetEndPosition(), "cd", b);
    t.InsertText(At(0, 2), "x", a);  // offset 0 of the b portion: appended to the a portion before it
    t.InsertText(At(0, 1), "y", a);
    EXPECT_EQ(Shape(), "(aybx)*(cd)'");
    const TTextorRange range = t.InsertText(At(0, 5), "z", a);
    EXPECT_EQ(Shape(), "(aybx)*(c)'(z)*(d)'");
    EXPECT_EQ(Numeric(range), (TTextorNumericRange{{0, 5}, {0, 6}}));
}

TEST_F(TextorModel, SplitKeepsAttributesOfTheOldParagraph) {
    t.InsertText(t.GetStartPosition(), "abc", a);
    t.FirstParagraph()->SetAttributes(FixedParagraph(1, 2, 3));
    t.FirstParagraph()->SetTextAttributes(a);
    const TTextorRange split = t.SplitParagraph(At(0, 1), b);
    EXPECT_EQ(Numeric(split), (TTextorNumericRange{{0, 1}, {1, 0}}));
    t.SplitParagraph(t.GetEndPosition(), b);
    EXPECT_EQ(Shape(), "(a)*|(bc)*|");
    const TParagraph* second = t.ParagraphAt(1);
    EXPECT_EQ(second->Attributes(), t.FirstParagraph()->Attributes());
    EXPECT_EQ(second->TextAttributes(), a.get());
    EXPECT_EQ(t.LastParagraph()->TextAttributes(), b.get());
}

TEST_F(TextorModel, DeleteRanges) {
    struct Row { TTextorNumericRange range; QString text; TTextorNumericPosition at; };
    const Row rows[] = {
        {{{0, 2}, {1, 0}}, "abcXd|ef", {0, 2}},
        {{{0, 1}, {2, 1}}, "af", {0, 1}},
        {{{1, 1}, {1, 2}}, "ab|cd|ef", {1, 1}},
        {{{2, 1}, {0, 1}}, "af", {0, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        t.SetText("ab\r\ncd\r\nef");
        t.InsertText(At(1, 1), "X", b);
        TTextorRange range;
        ASSERT_TRUE(t.NumericToRange(row.range, range));
        const TTextorPosition at = t.DeleteRange(range);
        EXPECT_EQ(t.GetText().replace("\r\n", "|"), row.text);
        EXPECT_EQ(t.PositionToNumeric(at), row.at);
        EXPECT_EQ(at, TTextor::Normalize(at));
    }
}

// Each head of a split kept the whole buffer of the portion it was cut from.
TEST_F(TextorModel, ParagraphCutByEnterKeepsItsStringsWithinTwiceTheirLength) {
    constexpr int Units = 200'000;
    constexpr int CutEvery = 60;
    t.InsertText(t.GetStartPosition(), QString("abcdefghij").repeated(Units / 10));
    TTextorPosition at = TTextor::PositionAfter(t.GetStartPosition(), CutEvery);
    while (!at.IsParagraphEnd()) at = TTextor::PositionAfter(t.SplitParagraph(at).End, CutEvery);
    ASSERT_EQ(t.ParagraphCount(), Units / CutEvery + 1);
    const TStringHold hold = StringHold(t);
    EXPECT_EQ(hold.Length, Units);
    EXPECT_TRUE(hold.WithinTwiceTheLength()) << hold.Capacity << " units of capacity";
}

TEST_F(TextorModel, SetRangeAttributesSplitsAtTheEnds) {
    t.SetText("abcd\r\nef");
    t.SetRangeAttributes(Range(0, 2, 0, 2), false, a);
    EXPECT_EQ(Shape(), "(abcd)|(ef)") << "EmptyRangeLeftAnEmptyPortion";
    const TTextorRange range = t.SetRangeAttributes(Range(0, 1, 0, 3), false, a);
    EXPECT_EQ(Shape(), "(a)(bc)*(d)|(ef)");
    EXPECT_EQ(Numeric(range), (TTextorNumericRange{{0, 1}, {0, 3}}));
    t.SetRangeAttributes(Range(0, 3, 1, 2), true, b);
    EXPECT_EQ(Shape(), "(a)(bc)*(d)'|(ef)'");
    EXPECT_EQ(t.FirstParagraph()->TextAttributes(), b.get());
    EXPECT_EQ(t.LastParagraph()->TextAttributes(), nullptr);
}

TEST_F(TextorModel, ElementsCountInPositionsButNotInText) {
    t.UseTabStops = true;
    t.SetText("a\tb\r\n\r\nxy");
    t.InsertElement(At(0, 1), TStubElement::Make(5, 5, 1));
    EXPECT_TRUE(At(0, 4).IsParagraphEnd());
    EXPECT_EQ(t.GetText(), "a\tb\r\n\r\nxy");
    EXPECT_EQ(t.GetRangeText(Range(0, 1, 1, 0)), "\tb\r\n");
    struct Row { const char* name; TTextorNumericPosition numeric; };
    for (const Row& row : {Row{"beyond the paragraph end", {0, 5}}, Row{"beyond an empty paragraph", {1, 1}},
                           Row{"beyond the last paragraph", {3, 0}},
                           Row{"NegativeParagraphIndexIsOutside", {-1, 0}},
                           Row{"NegativeCharIndexIsOutside", {0, -1}}}) {
        TTextorPosition p;
        EXPECT_FALSE(t.NumericToPosition(row.numeric, p)) << row.name;
    }
}

// A text that is one plain portion takes a new plain text in place (only the
// characters between the shared start and end change); anything else is made
// anew. Either way the text is what a fresh SetText makes, after one change
// and one layout.
TEST_F(TextorModel, SetTextChangesOnePlainPortionInPlaceAndMakesAnyOtherTextAnew) {
    struct Row {
        const char* name;
        const char* old;
        bool oldStyled;
        const char* text;
        const char* shape;
    };
    const Row rows[] = {
        {"a letter typed", "Total", false, "Totalq", "(Totalq)"},
        {"a letter taken back", "Totalq", false, "Total", "(Total)"},
        {"a letter in the middle", "Total", false, "Tootal", "(Tootal)"},
        {"the middle replaced", "Subtotal", false, "Sumtotal", "(Sumtotal)"},
        {"every letter replaced", "abc", false, "xyz", "(xyz)"},
        {"a repeated letter added", "aa", false, "aaa", "(aaa)"},
        {"repeated letters taken", "aaa", false, "a", "(a)"},
        {"a line break", "ab", false, "a\r\nb", "(a)|(b)"},
        {"emptied", "ab", false, "", ""},
        {"styled before", "ab", true, "ac", "(ac)"},
        {"the same", "ab", false, "ab", "(ab)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString text = row.text;
        t.Clear();
        t.InsertText(t.GetStartPosition(), row.old, row.oldStyled ? a : TTextAttributesRef());
        const int changes = t.ChangedCount, layouts = t.RelayoutCount;
        t.SetText(text);
        EXPECT_EQ(t.GetText(), text);
        EXPECT_EQ(Shape(), row.shape);
        EXPECT_EQ(t.ChangedCount - changes, 1);
        EXPECT_EQ(t.RelayoutCount - layouts, 1);
    }
}

// The view reads the only run in place and every other text through the
// buffer; either way it says what GetText says.
TEST_F(TextorModel, TextViewSaysWhatGetTextSays) {
    struct Row {
        const char* name;
        const char* text;
        bool element;
    };
    for (const Row& row : {Row{"empty", "", false}, Row{"one run", "ab c", false},
                           Row{"two paragraphs", "ab\r\ncd", false}, Row{"a run with an element", "ab", true},
                           Row{"an element alone", "", true}}) {
        TTestTextor text;
        text.SetText(row.text);
        if (row.element) text.InsertElement(text.GetStartPosition(), TStubElement::Make(5, 5, 1));
        QString buffer;
        const QStringView view = text.TextView(buffer);
        EXPECT_EQ(view, text.GetText()) << row.name;
    }
    t.SetText("ab");
    QString buffer;
    const QStringView view = t.TextView(buffer);
    EXPECT_EQ(view.constData(), static_cast<TTextPortion*>(t.FirstParagraph()->FirstPortion())->Chars());
}

TEST_F(TextorModel, TextRunsStopAtElements) {
    t.SetText("ab\r\ncd");
    t.InsertElement(At(0, 1), TStubElement::Make(5, 5, 1));  // a{}b|cd
    EXPECT_EQ(Numeric(t.GetTextRun(At(0, 1), true, true)), (TTextorNumericRange{{0, 2}, {1, 2}}));
    EXPECT_EQ(Numeric(t.GetTextRun(At(0, 1), true, false)), (TTextorNumericRange{{0, 2}, {0, 3}}));
    EXPECT_EQ(Numeric(t.GetTextRun(At(1, 1), false, true)), (TTextorNumericRange{{0, 2}, {1, 1}}));
    EXPECT_EQ(Numeric(t.GetTextRun(At(0, 2), false, true)), (TTextorNumericRange{{0, 0}, {0, 1}}));
}

TEST_F(TextorModel, RebuildMakesTabRunsAndKeepsElements) {
    t.SetText("a\tb");
    t.InsertElement(At(0, 1), TStubElement::Make(5, 5, 1));
    t.UseTabStops = true;
    t.RebuildText();
    EXPECT_EQ(Shape(), "(a){}[1](b)");
}

TEST_F(TextorModel, OrderAndContainment) {
    t.SetText("abc\r\nd");
    t.InsertText(At(0, 1), "x", a);
    const TTextorRange range = Range(0, 1, 1, 0);
    struct Row { TTextorNumericPosition p; bool before, inside; };
    for (const Row& row : {Row{{0, 0}, true, false}, Row{{0, 1}, false, true}, Row{{0, 4}, false, true},
                           Row{{1, 0}, false, false}, Row{{1, 1}, false, false}}) {
        SCOPED_TRACE(row.p.Char);
        EXPECT_EQ(t.IsBefore(At(row.p.Paragraph, row.p.Char), range.Start), row.before);
        EXPECT_EQ(t.RangeContains(range, At(row.p.Paragraph, row.p.Char)), row.inside);
    }
}

TEST(TextorRules, WordsAndBreaks) {
    TTextor t;
    struct Row { int first, second; bool sameWord, canBreak; };
    const Row rows[] = {
        {'a', 'b', true, false},  {'a', ' ', true, false},    {' ', 'a', false, true}, {'a', '.', false, false},
        {'.', ',', true, false},  {' ', ' ', true, true},     {'_', '1', true, false}, {'\t', 'a', false, true},
        {'a', -1, false, true},   {-1, 'a', false, true},     {0xE9, 'b', true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(QString("%1 %2").arg(row.first).arg(row.second).toStdString());
        EXPECT_EQ(t.IsSameWord(row.first, row.second), row.sameWord);
        EXPECT_EQ(t.CanBreakBetween(row.first, row.second), row.canBreak);
    }
}

TEST_F(TextorModel, ElementPortionAndElementFreeEachOtherOnce) {
    bool deleted = false, textorGone = false, first = false;
    auto insert = [](TTextor& into, bool* flag) {
        TStubElement* e = TStubElement::Make(5, 5, 1);
        e->FreedFlag = flag;
        into.InsertElement(into.GetEndPosition(), e);
        return e;
    };
    insert(t, &deleted);
    t.DeleteRange(t.GetWholeRange());
    EXPECT_TRUE(deleted);
    TStubElement* freedFirst = insert(t, &first);
    auto* portion = static_cast<TElementPortion*>(t.GetFirstPortion());
    EXPECT_EQ(freedFirst->TextorSlot(), portion);
    EXPECT_THROW(t.InsertElement(t.GetStartPosition(), freedFirst), Exception);
    freedFirst->Free();
    EXPECT_TRUE(first);
    EXPECT_EQ(portion->Element(), nullptr);
    insert(*std::make_unique<TTestTextor>(), &textorGone);
    EXPECT_TRUE(textorGone);
}

// Portions whose element went first wait until the textor frees them; a
// paragraph that goes takes its own with it.
TEST_F(TextorModel, EmptiedElementPortionsGoOnceWhicheverWayTheyGo) {
    auto insert = [&](const TTextorPosition& at) {
        TStubElement* e = TStubElement::Make(5, 5, 1);
        t.InsertElement(at, e);
        return e;
    };
    t.InsertText(t.GetStartPosition(), "ab\ncd\nef");
    TStubElement* first = insert(At(0, 1));
    TStubElement* second = insert(At(1, 1));
    insert(At(2, 1));
    EXPECT_EQ(t.ElementPortionCount(), 3);
    EXPECT_FALSE(t.FreeEmptiedElementPortions());
    first->Free();
    EXPECT_EQ(Shape(), "(a){}(b)|(c){}(d)|(e){}(f)");
    EXPECT_TRUE(t.FreeEmptiedElementPortions());
    EXPECT_EQ(Shape(), "(a)(b)|(c){}(d)|(e){}(f)");
    second->Free();
    t.DeleteRange(Range(0, 1, 2, 0));  // the paragraph of the emptied portion goes
    EXPECT_EQ(Shape(), "(a)(e){}(f)");
    EXPECT_FALSE(t.FreeEmptiedElementPortions());
    EXPECT_EQ(t.ElementPortionCount(), 1);
}

}  // namespace

// The text element on a test sheet: sizing by each width and height choice,
// checks on every change, the restrictions and their messages, the element
// rules of a required field, the layout lock, focus data; and the caret
// object's selection core with its notifications.

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testBroadcasts.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"
#include "text/diTextorRows.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <climits>
#include <functional>
#include <utility>
#include <vector>

// A field in fixed metrics (10 pixels a character) that joins its parent's visual children.
class TElement_CoreProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_CoreProbeText)
public:
    TTextAttributes* GetTextAttributes() const override { return m_fixed.get(); }

private:
    TTextAttributesRef m_fixed = FixedText();
};
T_ELEMENT_CLASS_IMPL(TElement_CoreProbeText, TTextorElement)

namespace {

// The message texts of an element, in order.
QStringList MessageTexts(const TElement* element) {
    QStringList texts;
    if (const TElementMessages* messages = element->Messages())
        for (int i = 0; i < messages->GetCount(); ++i) texts << messages->GetItem(i)->GetText();
    return texts;
}

QString ExpectedMessage(int id, const QString& argument = QString()) {
    return RemoveLinkBrackets(argument.isNull() ? LoadStr(id) : LoadStrFmt(id, {argument}));
}

class TextorElementTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture.sheet.SetAvailableSize(QSize(600, 400));
        text = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    // A box embedded at the text end.
    TElement_TestBox* Embed() {
        TElement_TestBox* box = AddBox(text);
        text->Textor()->InsertElement(text->Textor()->GetEndPosition(), box);
        return box;
    }

    TSheetFixture fixture;
    TElement_CoreProbeText* text = nullptr;
};

// ---------------------------------------------------------------------------
// Sizing

struct TSizingCase {
    const char* name;
    uint32_t options;
    int minWidth, maxWidth, minHeight;  // -1: the default minimum width
};

const TSizingCase kSizingCases[] = {
    {"Defaults", 0, -1, 600, 0},
    {"MaxWidth240", toMaxWidth240, -1, 240, 0},
    {"MaxWidth480", toMaxWidth480, -1, 480, 0},
    {"MaxWidth720", toMaxWidth720, -1, 720, 0},
    {"MaxWidth960", toMaxWidth960, -1, 960, 0},
    {"MaxWidthUnbounded", toMaxWidthUnbounded, -1, kSheetUnlimited, 0},
    {"MinWidth30", toMinWidth30, 30, 600, 0},
    {"MinWidth240", toMinWidth240, 240, 600, 0},
    {"MinWidth480", toMinWidth480, 480, 600, 0},
    {"MinWidthAvailable", toMinWidthAvailable, 600, 600, 0},
    {"MinHeight60", toMinHeight60, -1, 600, 60},
    {"MinHeight120", toMinHeight120, -1, 600, 120},
    {"MinHeight240", toMinHeight240, -1, 600, 240},
    {"MinHeightAvailable", toMinHeightAvailable, -1, 600, 400},
    {"FieldFrame", toFieldFrame, -2, 600, 0},
};

TEST_F(TextorElementTest, EachWidthAndHeightChoiceSizesTheElement) {
    text->SetText(QString(100, u'x') + QStringLiteral(" tail"));
    for (const TSizingCase& c : kSizingCases) {
        SCOPED_TRACE(c.name);
        text->SetTextorOptions(c.options);
        fixture.Layout();
        const TTextorSizeLimits limits = text->GetSizeLimits();
        const int kind = text->GetThemeKind();
        const int defaultMin = kind == kNoThemeKind ? kTextorDefaultMinWidth
                                                    : fixture.sheet.Canvas()->GetThemeMinWidth(kind);
        EXPECT_EQ(limits.MinWidth, c.minWidth < 0 ? defaultMin : c.minWidth);
        EXPECT_EQ(limits.MaxWidth, c.maxWidth);
        EXPECT_EQ(limits.MinHeight, c.minHeight);
        const TRect padding = text->GetPadding();
        EXPECT_LE(text->Width(), std::max(limits.MaxWidth, limits.MinWidth));
        EXPECT_EQ(text->Height(),
                  std::max(text->Textor()->GetHeight() + padding.Top + padding.Bottom, limits.MinHeight));
        EXPECT_EQ(text->Width(), std::max(text->Textor()->GetWidth() + padding.Left + padding.Right, limits.MinWidth));
    }
}

TEST_F(TextorElementTest, SizesSaturateAtSheetUnlimited) {
    // Without a visual parent the room is INT_MAX; with the sheet's unlimited
    // room plus paddings the sum would pass it.
    auto* loose = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
    loose->SetTextorOptions(toMinWidthAvailable | toMinHeightAvailable);
    EXPECT_EQ(loose->GetSizeLimits().MinWidth, kSheetUnlimited);
    EXPECT_EQ(loose->GetContentSize(), QSize(kSheetUnlimited, kSheetUnlimited));

    fixture.sheet.SetAvailableSize(QSize(kSheetUnlimited, kSheetUnlimited));
    text->SetTextorOptions(toMinWidthAvailable | toMinHeightAvailable | toFieldFrame | toIndent);
    fixture.Layout();
    EXPECT_EQ(text->Width(), kSheetUnlimited);
    EXPECT_EQ(text->Height(), kSheetUnlimited);
    EXPECT_GT(text->GetAvailableSize(nullptr).width(), 0);
}

TEST_F(TextorElementTest, AnEmptyRequiredFieldIsTwoThirdsOfItsHeightWide) {
    text->SetOptions(eoValidated | eoRequired);
    fixture.Layout();
    const TRect padding = text->GetPadding();
    EXPECT_EQ(text->Width(), std::max(text->Textor()->GetHeight() * 2 / 3 + padding.Left + padding.Right,
                                      kTextorDefaultMinWidth));
}

// ---------------------------------------------------------------------------
// Layout lock, first-row height

TEST_F(TextorElementTest, TheLayoutLockIsReleasedOnASheetAndTakenAgainOffIt) {
    auto* loose = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
    loose->SetText(QStringLiteral("never measured"));
    EXPECT_GT(loose->Textor()->LayoutLockCount(), 0);
    EXPECT_EQ(loose->Textor()->FirstParagraph()->FirstRow(), nullptr);

    EXPECT_EQ(text->Textor()->LayoutLockCount(), 0);
    EXPECT_FALSE(text->HoldsLayoutLock());
    text->SetVisualParent(nullptr);
    EXPECT_TRUE(text->HoldsLayoutLock());
    EXPECT_GT(text->Textor()->LayoutLockCount(), 0);
    text->SetVisualParent(fixture.root);
    EXPECT_EQ(text->Textor()->LayoutLockCount(), 0);
}

TEST_F(TextorElementTest, NodeMessageTenAnswersTheFirstRowHeight) {
    text->SetText(QStringLiteral("abc"));
    int height = -1;
    EXPECT_TRUE(text->SendNodeMessage(nmFirstRowHeight, reinterpret_cast<intptr_t>(&height)));
    EXPECT_EQ(height, text->Textor()->FirstParagraph()->FirstRow()->GetHeight() + text->GetPadding().Top +
                          text->GetPadding().Bottom);
}

// ---------------------------------------------------------------------------
// Checks

struct TRestrictionCase {
    const char* name;
    uint32_t restrictions;
    const char16_t* text;
    std::vector<std::pair<int, QString>> messages;  // string id, argument
};

const TRestrictionCase kRestrictionCases[] = {
    {"AllClassesSkipTheCharacterPass", trAllCharacters, u"a b_1!", {}},
    {"BeginsWithALetter", trAllCharacters | trBeginsWithLetter, u"1abc", {{strTextShouldBeginWith, {}}}},
    {"NameWithASpace", trLetters | trDigits | trUnderscore | trBeginsWithLetter, u"a b", {{strSpacesAreNotAllowed, {}}}},
    {"OnlyTheLeadingSpaceIsReported", trAllCharacters | trNoLeadingSpace | trNoTrailingSpace, u" a ",
     {{strTextShouldNotBegin, {}}}},
    {"TrailingSpace", trAllCharacters | trNoTrailingSpace, u"a ", {{strTextShouldNotEnd, {}}}},
    {"NoTextAtAll", trLineFeeds, u"ab", {{strTextNotAllowedEditor, {}}}},
    {"Letters", trAllCharacters & ~trLetters, u"ab", {{strLettersAreNotAllowed, {}}}},
    {"LatinLetters", trAllCharacters | trLatinLetters, u"a\u0436", {{strOnlyLatinLetters, {}}}},
    {"DigitsAndSpecial", trLetters | trSpaces, u"a1!", {{strDigitsAreNotAllowed, {}}, {strSpecialCharactersAreNot, {}}}},
    {"Underscore", trAllCharacters & ~trUnderscore, u"a_b", {{strUnderscoreCharactersAreNot, {}}}},
    {"TabCharacters", trAllCharacters & ~trTabs, u"a\tb", {{strTabCharactersAreNot, {}}}},
    {"LineFeeds", trAllCharacters & ~trLineFeeds, u"a\r\nb", {{strLineFeedCharactersAre, {}}}},
    {"FileNames", trAllCharacters | trFileNameChars, u"a:b", {{strOnlyFileNameCharacters, QStringLiteral(":")}}},
    {"Paths", trAllCharacters | trPathChars, u"c:\\a|b", {{strOnlyPathCharacters, QStringLiteral("|")}}},
    {"FloatWithPoint", trAllCharacters | trFloat | trDropPercent, u"12.5%", {}},
    {"FloatWithComma", trAllCharacters | trFloat | trDropPercent, u"12,5%",
     {{strUnableConvertValueFloat, QStringLiteral("12,5%")}}},
    {"FloatWithGroupSeparator", trAllCharacters | trFloat, u"1,500", {{strUnableConvertValueFloat, QStringLiteral("1,500")}}},
    {"FloatWithExponent", trAllCharacters | trFloat, u"-1.5e3", {}},
    {"IntegerHex", trAllCharacters | trInteger, u"$FFFFFFFF", {}},
    {"IntegerLowest", trAllCharacters | trInteger, u"-2147483648", {}},
    {"IntegerPastHighest", trAllCharacters | trInteger, u"2147483648",
     {{strUnableConvertValueInteger, QStringLiteral("2147483648")}}},
    {"IntegerHexPast32Bits", trAllCharacters | trInteger, u"$100000000",
     {{strUnableConvertValueInteger, QStringLiteral("$100000000")}}},
};

TEST_F(TextorElementTest, RestrictionsReportEachBrokenRule) {
    // Numbers read the same whatever the locale.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const TRestrictionCase& c : kRestrictionCases) {
        SCOPED_TRACE(c.name);
        text->SetRestrictions(c.restrictions);
        text->SetText(QString::fromUtf16(c.text));
        QStringList expected;
        for (const auto& [id, argument] : c.messages) expected << ExpectedMessage(id, argument);
        EXPECT_EQ(MessageTexts(text), expected);
    }
    QLocale::setDefault(previous);
}

// Restrictions changed after checks have run answer as a text given the new
// restrictions from the start, whether or not the change needs a new look
// at the text: a narrowing its characters pass, one they fail, a widening
// that drops a message, a rule beyond characters, a text changed while no
// rule on characters was checked, and a change inside an update bracket.
TEST_F(TextorElementTest, RestrictionsChangedAfterChecksAnswerAsFromTheStart) {
    constexpr uint32_t kIdentifier =
        trLetters | trDigits | trUnderscore | trSpecial | trBeginsWithLetter | trLatinLetters;
    constexpr uint32_t kNarrowed = kIdentifier & ~trSpecial;
    struct TStep {
        uint32_t restrictions;
        const char16_t* text;
    };
    const struct {
        const char* name;
        std::vector<TStep> steps;
        uint32_t to;
        bool inUpdate;
    } cases[] = {
        {"NarrowedAndStillPassing", {{kIdentifier, u"Name1"}}, kNarrowed, false},
        {"NarrowedAndRefused", {{kIdentifier, u"Odd$Name"}}, kNarrowed, false},
        {"SameRestrictions", {{kNarrowed, u"Name"}}, kNarrowed, false},
        {"WideningDropsAMessage", {{trAllCharacters & ~trDigits, u"a1"}}, trAllCharacters, false},
        {"RuleBeyondCharacters", {{kNarrowed, u"Name"}}, kNarrowed | trInteger, false},
        {"NeverCheckedCharacters", {{trAllCharacters, u"a$"}}, trAllCharacters & ~trSpecial, false},
        {"TextChangedWhileCharactersWentUnchecked", {{kIdentifier, u"ab"}, {trAllCharacters, u"a$"}},
         trAllCharacters & ~trSpecial, false},
        {"InAnUpdate", {{kIdentifier, u"Odd$Name"}}, kNarrowed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* changed = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
        for (const TStep& step : c.steps) {
            changed->SetRestrictions(step.restrictions);
            changed->SetText(QString::fromUtf16(step.text));
        }
        if (c.inUpdate) fixture.scheme->BeginUpdate();
        changed->SetRestrictions(c.to);
        if (c.inUpdate) fixture.scheme->EndUpdate();
        auto* fresh = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
        fresh->SetRestrictions(c.to);
        fresh->SetText(QString::fromUtf16(c.steps.back().text));
        EXPECT_EQ(MessageTexts(changed), MessageTexts(fresh));
        EXPECT_EQ(changed->HasNoErrors(), fresh->HasNoErrors());
    }
}

// Edits in one paragraph after another of a text longer than a few
// paragraphs: each check sees the text as it is now, and the refused
// character named is the first in the text.
TEST_F(TextorElementTest, RestrictionMessagesFollowEditsInEveryParagraph) {
    text->SetRestrictions((trAllCharacters & ~trDigits) | trFileNameChars);
    text->SetText(QStringLiteral("ab\r\ncd\r\nef") + QStringLiteral("\r\nmore").repeated(TTextor::kFewParagraphs));
    TTextor& textor = *text->Textor();
    auto at = [&](int paragraph, int index) {
        TTextorPosition position;
        EXPECT_TRUE(textor.NumericToPosition({paragraph, index}, position));
        return position;
    };
    auto remove = [&](int paragraph, int index, int endParagraph, int endIndex) {
        textor.DeleteRange(TTextorRange{at(paragraph, index), at(endParagraph, endIndex)});
    };
    const QString digits = ExpectedMessage(strDigitsAreNotAllowed);
    auto fileName = [](const char* c) { return ExpectedMessage(strOnlyFileNameCharacters, QString::fromLatin1(c)); };
    const struct {
        const char* name;
        std::function<void()> edit;
        QStringList messages;
    } steps[] = {
        {"a digit in the last paragraph", [&] { textor.InsertText(at(2, 1), QStringLiteral("1")); }, {digits}},
        {"a colon in the middle one", [&] { textor.InsertText(at(1, 0), QStringLiteral(":")); },
         {digits, fileName(":")}},
        {"a bar before it", [&] { textor.InsertText(at(0, 2), QStringLiteral("|")); }, {digits, fileName("|")}},
        {"the bar gone again", [&] { remove(0, 2, 0, 3); }, {digits, fileName(":")}},
        {"the digit gone", [&] { remove(2, 1, 2, 2); }, {fileName(":")}},
        {"the first two paragraphs joined", [&] { remove(0, 2, 1, 0); }, {fileName(":")}},
        {"split before the colon", [&] { textor.SplitParagraph(at(0, 2)); }, {fileName(":")}},
        {"the colon's paragraph gone", [&] { remove(0, 2, 1, 3); }, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.edit();
        EXPECT_EQ(MessageTexts(text), step.messages);
    }
}

TEST_F(TextorElementTest, EveryChangeChecksAndOption4WaitsForTheEndOfEditing) {
    text->SetRestrictions(trAllCharacters & ~trDigits);
    text->SetText(QStringLiteral("1"));
    EXPECT_EQ(MessageTexts(text), QStringList{ExpectedMessage(strDigitsAreNotAllowed)});
    text->SetText(QStringLiteral("a"));
    EXPECT_TRUE(MessageTexts(text).isEmpty());

    text->SetTextorOptions(toCheckWhenEditingEnds);
    text->Focus();
    text->SetText(QStringLiteral("2"));
    EXPECT_TRUE(text->IsEditing());
    EXPECT_TRUE(MessageTexts(text).isEmpty());
    text->FinishEditing();
    EXPECT_FALSE(text->IsEditing());
    EXPECT_EQ(MessageTexts(text), QStringList{ExpectedMessage(strDigitsAreNotAllowed)});
}

TEST_F(TextorElementTest, RequiredFieldHoldingOnlyAnElementIsFilled) {
    text->SetTextorOptions(toRichContent);
    text->SetOptions(eoValidated | eoRequired);
    text->SetRestrictions(trAllCharacters | trSingleElement);
    EXPECT_EQ(MessageTexts(text), QStringList{RemoveLinkBrackets(LoadStr(strTheValueMustBeSet))});
    Embed();
    EXPECT_TRUE(text->IsFilled());
    EXPECT_TRUE(MessageTexts(text).isEmpty());
    TElement_TestBox* second = Embed();
    EXPECT_EQ(MessageTexts(text), QStringList{ExpectedMessage(strUsingMoreThanOne)});
    second->SetDisabled(true);
    EXPECT_TRUE(MessageTexts(text).isEmpty());
}

TEST_F(TextorElementTest, ElementRequiredAndEmbeddedElementsFreedOnceWhicheverGoesFirst) {
    text->SetTextorOptions(toRichContent);
    text->SetRestrictions(trAllCharacters | trElementRequired);
    text->SetText(QStringLiteral("a"));
    EXPECT_EQ(MessageTexts(text), QStringList{ExpectedMessage(strAnElementIsRequired)});
    TElement_TestBox* box = Embed();
    Embed();
    EXPECT_TRUE(MessageTexts(text).isEmpty());
    box->Free();  // the element first: its portion goes with it
    EXPECT_EQ(text->Textor()->GetFirstPortion()->GetNextPortion()->Kind(), TPortionKind::Element);
    EXPECT_EQ(text->Textor()->GetFirstPortion()->GetNextPortion()->GetNextPortion(), nullptr);
    text->Textor()->Clear();  // the portion first: its element goes with it
    EXPECT_EQ(text->FirstVisualChild(), nullptr);
    Embed();
    text->Free();  // both with the text element
    text = nullptr;
}

// A text with more paragraphs than its default text has line breaks is not
// the default; one paragraph holding the default's CR LF is.
// A text never used takes no textor: it answers, checks and saves as an
// empty one does, whatever its restrictions and default text, and none of
// that makes its textor.
TEST_F(TextorElementTest, ATextNeverUsedTakesNoTextorAndAnswersAsAnEmptyOne) {
    struct TCase {
        uint32_t restrictions;
        const char16_t* defaultText;
    };
    const TCase cases[] = {
        {trAllCharacters, u""},
        {trAllCharacters | trBeginsWithLetter, u""},
        {trAllCharacters | trInteger, u""},
        {trAllCharacters | trFloat | trDropPercent, u""},
        {trAllCharacters | trNoLeadingSpace | trNoTrailingSpace, u""},
        {trAllCharacters | trElementRequired, u""},
        {trAnyText | trFileNameChars | trPathChars | trLatinLetters, u""},
        {0, u""},
        {trAllCharacters, u"x"},
        {trAllCharacters, u"a\r\nb"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.restrictions);
        auto* fresh = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
        auto* made = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), fixture.root);
        for (TTextorElement* element : {fresh, made}) {
            element->SetDefaultText(QString::fromUtf16(c.defaultText));
            element->SetRestrictions(c.restrictions);
        }
        ASSERT_TRUE(made->Textor()->IsEmpty());
        for (TTextorElement* element : {fresh, made}) element->CheckAll();
        EXPECT_EQ(MessageTexts(fresh), MessageTexts(made));
        EXPECT_EQ(fresh->IsFilled(), made->IsFilled());
        EXPECT_EQ(fresh->IsDefault(), made->IsDefault());
        EXPECT_EQ(fresh->GetText(), made->GetText());
        TNodePtr<TKnot> freshKnot = TKnot::Create();
        TNodePtr<TKnot> madeKnot = TKnot::Create();
        fresh->SaveToKnot(freshKnot.get(), fmFile, 0);
        made->SaveToKnot(madeKnot.get(), fmFile, 0);
        EXPECT_EQ(freshKnot->SaveToString(), madeKnot->SaveToString());
        EXPECT_FALSE(fresh->HasTextor());
    }
}

TEST_F(TextorElementTest, TheDefaultTextIsComparedWithItsLineBreaks) {
    text->SetDefaultText(QStringLiteral("a\r\nb"));
    text->SetText(QStringLiteral("a\r\nb"));
    EXPECT_TRUE(text->IsDefault());
    text->SetText(QStringLiteral("a\r\nb\r\n"));
    EXPECT_FALSE(text->IsDefault());
    text->SetText(QStringLiteral("a\r\n\r\nb"));
    EXPECT_FALSE(text->IsDefault());
    text->SetRestrictions(trAllCharacters & ~trLineFeeds);
    text->SetText(QStringLiteral("a\r\nb"));
    EXPECT_EQ(text->Textor()->ParagraphCount(), 1);
    EXPECT_TRUE(text->IsDefault());
}

TEST_F(TextorElementTest, TabsAndLineFeedsRebuildTheTextUnderTheNewRules) {
    text->SetRestrictions(trAllCharacters & ~(trTabs | trLineFeeds));
    text->SetText(QStringLiteral("a\tb"));
    EXPECT_EQ(text->Textor()->GetFirstPortion()->Kind(), TPortionKind::Text);
    EXPECT_EQ(MessageTexts(text), QStringList{ExpectedMessage(strTabCharactersAreNot)});
    text->SetRestrictions(trAllCharacters);
    EXPECT_EQ(text->Textor()->GetFirstPortion()->GetNextPortion()->Kind(), TPortionKind::TabStops);
    EXPECT_TRUE(MessageTexts(text).isEmpty());
}

TEST_F(TextorElementTest, APlacedFieldTakesItsOwnersOptionsAndRestrictions) {
    text->SetTextorOptions(toRichContent | toFixedFont | toHyperlinks | toFieldFrame);
    text->SetRestrictions(trLetters);
    auto* field = TElement::CreateIn<TElement_CoreProbeText>(fixture.scheme.get(), nullptr);
    field->SetTextorOptions(toDelegating);
    field->SetRestrictions(trAllCharacters);
    field->SetParent(text);
    EXPECT_EQ(field->TextorOptions(), toDelegating | toRichContent | toFixedFont | toHyperlinks);
    EXPECT_EQ(field->TextRestrictions(), uint32_t(trLetters));
    EXPECT_EQ(field->DelegateOwner(), text);
}

// ---------------------------------------------------------------------------
// Focus

TEST_F(TextorElementTest, FocusDataGoesOutAndComesBack) {
    text->SetRestrictions(trAllCharacters);
    text->SetText(QStringLiteral("abc\r\ndef"));
    text->SetFocus(QStringLiteral("0,1,1,2"));
    ASSERT_TRUE(text->IsEdited());
    QString data;
    text->GetFocusData(data);
    EXPECT_EQ(data, QStringLiteral("0,1,1,2"));
    EXPECT_EQ(text->Interactive()->GetSelectedText(), QStringLiteral("bc\r\nde"));
    text->SetFocus(QStringLiteral("1,3"));  // missing numbers count 0
    text->GetFocusData(data);
    EXPECT_EQ(data, QStringLiteral("0,0,1,3"));
    text->SetFocus(QStringLiteral("7,0,7,0"));  // not in the text: the start
    text->GetFocusData(data);
    EXPECT_EQ(data, QStringLiteral("0,0,0,0"));
    int kind = ckNone;
    TRect caret;
    text->GetCaret(kind, caret);
    EXPECT_EQ(kind, ckTextCaret);
    EXPECT_EQ(caret, OffsetRect(text->Interactive()->GetCaretRect(), text->GetPadding().Left, text->GetPadding().Top));
    fixture.sheet.SetFocus(nullptr);
    EXPECT_FALSE(text->IsEdited());
}

TEST_F(TextorElementTest, TextChangedUnderALayoutLockPutsTheCaretAtTheStart) {
    text->SetText(QStringLiteral("abcdef"));
    text->FocusText(TTextFocusPlace::Data, QStringLiteral("0,2,0,4"));
    text->Textor()->LockLayout();
    text->SetText(QStringLiteral("xy"));  // frees the portion the caret was in
    text->Textor()->UnlockLayout();
    QString data;
    text->GetFocusData(data);
    EXPECT_EQ(data, QStringLiteral("0,0,0,0"));
}

TEST_F(TextorElementTest, SelectingMarksTheEmbeddedElementsInside) {
    text->SetTextorOptions(toRichContent);
    text->SetText(QStringLiteral("ab"));
    TElement_TestBox* box = Embed();
    text->FocusText(TTextFocusPlace::BeforeElement, {}, {}, box);
    EXPECT_EQ(text->Textor()->PositionToNumeric(text->Interactive()->CaretPosition()), (TTextorNumericPosition{0, 2}));
    text->SelectAll();
    EXPECT_TRUE(box->IsInSelection());
    EXPECT_TRUE(text->CanDelete());
    text->FocusText(TTextFocusPlace::End);
    EXPECT_FALSE(box->IsInSelection());
    EXPECT_FALSE(text->CanCopy());
}

// The marks follow the selection, forward and backward; an element that goes
// while marked is forgotten, and the marks of the others go on.
TEST_F(TextorElementTest, MarksFollowTheSelectionAndForgetElementsThatGo) {
    text->SetTextorOptions(toRichContent);
    text->SetText(QStringLiteral("a"));
    TElement_TestBox* boxes[3];
    boxes[0] = Embed();
    text->Textor()->InsertText(text->Textor()->GetEndPosition(), QStringLiteral("b\r\nc"));
    boxes[1] = Embed();
    boxes[2] = Embed();
    text->Textor()->InsertText(text->Textor()->GetEndPosition(), QStringLiteral("d"));  // a{0}b | c{1}{2}d
    auto marked = [&] {
        QString marks;
        for (TElement_TestBox* box : boxes) marks += !box ? u'-' : box->IsInSelection() ? u'1' : u'0';
        return marks;
    };
    const struct {
        const char* focusData;
        const char* marks;
    } selections[] = {
        {"0,0,1,2", "110"}, {"1,2,1,4", "001"}, {"1,2,0,1", "110"}, {"0,0,0,1", "000"}, {"0,1,1,3", "111"},
    };
    for (const auto& selection : selections) {
        SCOPED_TRACE(selection.focusData);
        text->FocusText(TTextFocusPlace::Data, QString::fromLatin1(selection.focusData));
        EXPECT_EQ(marked(), QString::fromLatin1(selection.marks));
    }
    std::exchange(boxes[1], nullptr)->Free();  // a change of the text puts the caret at the start
    EXPECT_EQ(marked(), QStringLiteral("0-0"));
    text->FocusText(TTextFocusPlace::Data, QStringLiteral("1,1,1,2"));
    EXPECT_EQ(marked(), QStringLiteral("0-1"));
    text->DeleteContent();  // the marked element goes with the text
    boxes[2] = nullptr;
    EXPECT_EQ(text->Textor()->ElementPortionCount(), 1);
    text->FocusText(TTextFocusPlace::Data, QStringLiteral("0,0,0,2"));
    EXPECT_EQ(marked(), QStringLiteral("1--"));
    text->FocusText(TTextFocusPlace::End);
    EXPECT_EQ(marked(), QStringLiteral("0--"));
}

// ---------------------------------------------------------------------------
// The caret object's selection core

struct TSelectionCase {
    const char* name;
    int anchor, active;        // the selection set first
    int newAnchor, newActive;  // then
    int caretNotices, selectionNotices;
};

const TSelectionCase kSelectionCases[] = {
    {"CaretMovesWithEmptySelection", 1, 1, 3, 3, 1, 0},
    {"ExtendingFromEmpty", 1, 1, 1, 3, 1, 1},
    {"BackToEmptyIsASelectionChange", 1, 3, 1, 1, 1, 1},
    {"SameEndsReversed", 1, 3, 3, 1, 1, 0},
    {"Unchanged", 1, 3, 1, 3, 0, 0},
};

class TextorInteractiveTest : public TTextorTest {
protected:
    void SetUp() override { t.SetText(QStringLiteral("abcdef")); }
    TTextorPosition At(int index) { return TTextor::Normalize(TTextorTest::At(0, index)); }
    void Select(int anchor, int active) {
        interactive.SetCaretAndSelection(t.FindRow(At(active), false), At(active), At(active), At(anchor));
    }

    TSchemeTextorInteractive interactive{&t};
};

TEST_F(TextorInteractiveTest, NotificationsTellWhatChanged) {
    for (const TSelectionCase& c : kSelectionCases) {
        SCOPED_TRACE(c.name);
        Select(c.anchor, c.active);
        TBroadcastRecorder recorder(&interactive);
        Select(c.newAnchor, c.newActive);
        EXPECT_EQ(recorder.Count(tinCaret), c.caretNotices);
        EXPECT_EQ(recorder.Count(tinSelection), c.selectionNotices);
    }
}

TEST_F(TextorInteractiveTest, SettersQueriesAndCaretRect) {
    interactive.SetTypingAttributes(FixedText(7));
    interactive.SetSelection(TTextorRange{At(4), At(1)});
    EXPECT_NE(interactive.GetTypingAttributes().get(), FixedText(7).get());
    EXPECT_TRUE(interactive.IsSelectionReversed());
    EXPECT_EQ(interactive.GetSelection(), (TTextorRange{At(1), At(4)}));
    EXPECT_EQ(interactive.GetSelectedText(), QStringLiteral("bcd"));
    EXPECT_EQ(interactive.CaretPosition(), At(1));
    interactive.SetSelection(TTextorRange{At(4), At(1)}, true);
    EXPECT_EQ(interactive.CaretPosition(), At(4));

    TBroadcastRecorder recorder(&interactive);
    interactive.SetCaretWidth(3);
    interactive.CollapseSelection();
    EXPECT_EQ(recorder.codes, (std::vector<int>{tinCaret, tinSelection}));
    EXPECT_EQ(interactive.GetCaretRect(), (TRect{40 - 1, 0, 40 + 2, t.GetHeight()}));
    interactive.SelectAll();
    EXPECT_EQ(interactive.GetSelectedText(), QStringLiteral("abcdef"));
    recorder.Clear();
    interactive.DeleteSelection();
    EXPECT_EQ(recorder.codes, std::vector<int>{tinEnterText});
    EXPECT_EQ(recorder.firstArgs, std::vector<intptr_t>{0});
}

}  // namespace

// What the generator asks of the elements besides the handlers: blank checks
// read without copies, and the early requests for the texts of an element.

#include "prGenerationModule.h"

#include "pascal/generation/prPascalGeneratorSupport.h"

namespace {

// The texts of every text element under top, in tree order, with whether
// each has a textor.
QStringList TextsUnder(TElement* top) {
    QStringList texts;
    for (TNode* node : PreOrder<TNode>(top))
        if (auto* text = ClassAs<TTextorElement>(node))
            texts << (text->HasTextor() ? text->GetText() : QStringLiteral("<none>"));
    return texts;
}

}  // namespace

TEST_F(GenerationModule, HasPlainTextIsFalseOnlyForNothingOrWhiteSpace) {
    struct TRow {
        const char* text;
        bool plain;
    };
    for (const TRow& row : {TRow{"", false}, TRow{"  \t", false}, TRow{"int", true}, TRow{" x ", true}}) {
        TElement_Field* field = Field(Root(), QStringLiteral("F"), QString::fromUtf8(row.text));
        EXPECT_EQ(HasPlainText(field->TypeField()), row.plain) << row.text;
    }
    EXPECT_FALSE(HasPlainText(nullptr));
    TElement_Method* routine = Routine(Root(), QStringLiteral("R"));
    Let(Body(routine), QStringLiteral("X"), QStringLiteral("1"));
    EXPECT_FALSE(HasPlainText(Body(routine))) << "an embedded statement is no plain text";
}

// A text never filled has no textor, and asking for one would make it.
// Two routines are walked side by side, a short one beside a longer one.
TEST_F(GenerationModule, PrefetchingTheTextsOfRoutinesMakesNoTextorAndChangesNoText) {
    TElement_Method* count = Routine(Root(), QStringLiteral("Count"));
    Parameter(count, QStringLiteral("Limit"), QStringLiteral("int"));
    Let(Body(count), QStringLiteral("Limit"), QStringLiteral("Limit + 1"));
    Let(Body(count), QStringLiteral("Limit"), QStringLiteral("2"));
    TElement_Method* empty = Routine(Root(), QStringLiteral("Empty"));
    ASSERT_FALSE(count->ResultType()->HasTextor());
    ASSERT_FALSE(empty->ResultType()->HasTextor());
    const QStringList before = TextsUnder(count) + TextsUnder(empty);
    TElement* const tops[] = {empty, count, nullptr};
    PrefetchTexts(tops);
    EXPECT_FALSE(count->ResultType()->HasTextor());
    EXPECT_FALSE(empty->ResultType()->HasTextor());
    EXPECT_EQ(TextsUnder(count) + TextsUnder(empty), before);
}

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
TEST_F(GenerationModule, PrefetchingTheTextsOfARoutineMakesNoTextorAndChangesNoText) {
    TElement_Method* routine = Routine(Root(), QStringLiteral("Count"));
    Parameter(routine, QStringLiteral("Limit"), QStringLiteral("int"));
    Let(Body(routine), QStringLiteral("Limit"), QStringLiteral("Limit + 1"));
    ASSERT_FALSE(routine->ResultType()->HasTextor());
    const QStringList before = TextsUnder(routine);
    PrefetchTexts(routine);
    EXPECT_FALSE(routine->ResultType()->HasTextor());
    EXPECT_EQ(TextsUnder(routine), before);
}

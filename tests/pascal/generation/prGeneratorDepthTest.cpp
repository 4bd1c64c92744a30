// A module nested as deep as the loader takes elements: statements inside
// statements and values inside values generate, simplify and write on a
// thread with an 8 MB stack (the sanitizers' frames included).

#include "prGenerationModule.h"

#include "scheme/diClasses.h"

#include <QThread>

namespace {

constexpr int kThreadStack = 8 * 1024 * 1024;
// Each level is an element and the text it holds the next level in.
constexpr int kLevels = (kMaxElementNesting - 16) / 2;

}  // namespace

TEST_F(GenerationModule, StatementsAndValuesAtTheNestingLimitGenerateSimplifyAndWriteOnAnEightMegabyteStack) {
    Field(Root(), QStringLiteral("Flag"), QStringLiteral("bool"));
    Field(Root(), QStringLiteral("Count"), QStringLiteral("int"));
    TTextorElement* place = Body(Routine(Root(), QStringLiteral("Deep")));
    for (int i = 0; i < kLevels; ++i) {
        auto* branch = Add<TElement_IfThen>(place);
        branch->Condition()->SetText(QStringLiteral("Flag"));
        place = Text(branch->Content());
    }
    Add<TElement_Inc>(place)->Value()->SetText(QStringLiteral("Count"));
    TTextorElement* value = Field(Root(), QStringLiteral("Negated"), QStringLiteral("bool"))->ValueField();
    for (int i = 0; i < kLevels; ++i) value = Add<TElement_Not>(value)->Value();
    value->SetText(QStringLiteral("Flag"));

    // As the preview does: a private copy loaded and generated on the thread.
    TGenerated generated;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        const std::unique_ptr<TScheme> copy = LoadPrivateCopy(m_scheme.get());
        generated = Generate(copy.get(), QStringLiteral("Deep"), true);
    }));
    thread->setStackSize(kThreadStack);
    thread->start();
    thread->wait();
    EXPECT_EQ(Lines(generated.Messages), "");
    EXPECT_EQ(generated.Text.count(QStringLiteral("if Flag then")), kLevels);
    // Simplified, the negations cancel in pairs.
    EXPECT_TRUE(generated.Text.contains(kLevels % 2 ? QStringLiteral("Negated := not Flag;")
                                                    : QStringLiteral("Negated := Flag;")));
}

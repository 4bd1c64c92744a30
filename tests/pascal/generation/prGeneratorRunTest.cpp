// Generated routines compiled into a program and run: the results the
// program prints are those the module's statements compute.

#include "prGenerationModule.h"

namespace {

class GeneratedRuns : public GenerationModule {
protected:
    void SetUp() override {
        if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    }
    // A function of one int parameter "N" with a local int "I".
    TElement_Method* Function(const QString& name, const QString& result = QStringLiteral("int")) {
        TElement_Method* method = Routine(Root(), name, result);
        Parameter(method, QStringLiteral("N"), QStringLiteral("int"));
        Field(Body(method), QStringLiteral("I"), QStringLiteral("int"));
        return method;
    }
    TElement_For* For(TTextorElement* body, const QString& from, const QString& to, bool backward) {
        auto* loop = Add<TElement_For>(body);
        loop->Counter()->SetText(QStringLiteral("I"));
        loop->MinValue()->SetText(from);
        loop->MaxValue()->SetText(to);
        loop->SetBackward(backward);
        return loop;
    }
    // Target := Left op Right (more values after them).
    void LetOperation(TTextorElement* body, const QString& target, TOperationKind kind, const QStringList& values) {
        auto* let = Add<TElement_Let>(body);
        let->LeftSide()->SetText(target);
        Operator<TElement_Operation>(let->RightSide(), uint8_t(kind), values);
    }
};

}  // namespace

TEST_F(GeneratedRuns, LoopsBothWaysAndReturnInsideAndOutsideALoop) {
    // Digits(N): the numbers 1..N as digits, forward; Reversed(N) backward.
    for (const auto& [name, backward] : {std::pair{QStringLiteral("Digits"), false},
                                         std::pair{QStringLiteral("Reversed"), true}}) {
        TElement_Method* digits = Function(name);
        TElement_For* loop = For(Body(digits), QStringLiteral("1"), QStringLiteral("N"), backward);
        LetOperation(Text(loop->Content()), QStringLiteral("Result"), TOperationKind::Multiply,
                     {QStringLiteral("Result"), QStringLiteral("10")});
        LetOperation(Text(loop->Content()), QStringLiteral("Result"), TOperationKind::Summ,
                     {QStringLiteral("Result"), QStringLiteral("I")});
    }
    // FirstSquareOver(N): the first I whose square is over N, else -1.
    TElement_Method* first = Function(QStringLiteral("FirstSquareOver"));
    TElement_For* loop = For(Body(first), QStringLiteral("1"), QStringLiteral("100"), false);
    auto* test = Add<TElement_IfThen>(Text(loop->Content()));
    auto* square = Add<TElement_Operation>(
        Operator<TElement_Compare>(test->Condition(), uint8_t(TCompareKind::More), {QString(), QStringLiteral("N")})
            ->LeftSide());
    square->SetKind(uint8_t(TOperationKind::Multiply));
    square->LeftSide()->SetText(QStringLiteral("I"));
    square->RightSide()->SetText(QStringLiteral("I"));
    Return(Text(test->Content()), QStringLiteral("I"));
    Return(Body(first), QStringLiteral("-1"));
    EXPECT_EQ(RunUnit(QStringLiteral("WriteLn(Digits(4), ' ', Reversed(4), ' ', FirstSquareOver(10), ' ', "
                                     "FirstSquareOver(20000));"))
                  .join(u' '),
              QStringLiteral("1234 4321 4 -1"));
}

TEST_F(GeneratedRuns, LetTempRestoresTheValueAfterItsBody) {
    Field(Root(), QStringLiteral("Level"), QStringLiteral("int"), QStringLiteral("1"))
        ->SetVisibility(TVisibility::Public);
    Field(Root(), QStringLiteral("Seen"), QStringLiteral("int"))->SetVisibility(TVisibility::Public);
    auto* temp = Add<TElement_LetTemp>(Body(Routine(Root(), QStringLiteral("Lift"))));
    temp->LeftSide()->SetText(QStringLiteral("Level"));
    temp->RightSide()->SetText(QStringLiteral("5"));
    Let(Text(temp->Content()), QStringLiteral("Seen"), QStringLiteral("Level"));
    EXPECT_EQ(RunUnit(QStringLiteral("Lift; WriteLn(Seen, ' ', Level);")).join(u' '), QStringLiteral("5 1"));
}

TEST_F(GeneratedRuns, ACaseOnStringsAndOperatorsWithAdditionalValues) {
    TElement_Method* kind = Routine(Root(), QStringLiteral("KindOf"), QStringLiteral("int"));
    Parameter(kind, QStringLiteral("S"), QStringLiteral("str"));
    auto* choice = Add<TElement_Case>(Body(kind));
    choice->Value()->SetText(QStringLiteral("S"));
    int number = 0;
    for (const char* label : {"one", "two"}) {
        auto* item = Add<TElement_CaseItem>(Text(choice->Content()));
        Add<TElement_String>(item->Value())->SetText(QString::fromLatin1(label));
        Return(Text(item->Content()), QString::number(++number));
    }
    Return(choice->ContentElse(), QStringLiteral("0"));
    TElement_Method* sum = Routine(Root(), QStringLiteral("Sum"), QStringLiteral("int"));
    Operator<TElement_Operation>(Return(Body(sum))->Result(), uint8_t(TOperationKind::Summ),
                                 {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    TElement_Method* all = Routine(Root(), QStringLiteral("All"), QStringLiteral("bool"));
    Parameter(all, QStringLiteral("N"), QStringLiteral("int"));
    auto* conjunction = Operator<TElement_Compare>(Return(Body(all))->Result(), uint8_t(TCompareKind::And),
                                                   {QString(), QString(), QString()});
    for (size_t i = 0; i < 3; ++i) {
        auto* more = Add<TElement_Compare>(conjunction->Values()[i]);
        more->SetKind(uint8_t(TCompareKind::More));
        more->LeftSide()->SetText(QStringLiteral("N"));
        more->RightSide()->SetText(QString::number(i));
    }
    const QString text = GenerateUnit().Text;
    EXPECT_FALSE(text.contains(QStringLiteral("case "))) << "strings are no ordinal selector";
    EXPECT_EQ(RunUnit(QStringLiteral("WriteLn(KindOf('one'), KindOf('two'), KindOf('three'), ' ', Sum, ' ', "
                                     "All(3), ' ', All(2));"))
                  .join(u' '),
              QStringLiteral("120 10 TRUE FALSE"));
}

TEST_F(GeneratedRuns, AnErrorRaisedIsCaughtWithItsMessage) {
    TElement_Method* fail = Routine(Root(), QStringLiteral("Fail"));
    Add<TElement_String>(Add<TElement_Error>(Body(fail))->Message())->SetText(QStringLiteral("broken"));
    Let(Body(fail), QStringLiteral("Reached"), QStringLiteral("True"));
    Field(Root(), QStringLiteral("Reached"), QStringLiteral("bool"))->SetVisibility(TVisibility::Public);
    EXPECT_EQ(RunUnit(QStringLiteral("try Fail; except on E: TObject do WriteLn(TObject(E).ClassName); end; "
                                     "WriteLn(Reached);"))
                  .join(u' '),
              QStringLiteral("Exception FALSE"));
}

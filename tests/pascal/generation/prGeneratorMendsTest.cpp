// Regression tests of the generator: each pins a rule without which the
// generated unit would not compile or would compute something else, and each
// unit is compiled (or run) with Free Pascal.

#include "prGenerationModule.h"

#include "pascal/elements/prPropertyElements.h"

namespace {

qsizetype At(const QString& text, const char* what) { return text.indexOf(QString::fromUtf8(what)); }

}  // namespace

TEST_F(GenerationModule, AForwardDeclarationHeadsTheTypeSectionOfTheFirstReferenceWithItsClassOf) {
    TElement_Object* first = Object(QStringLiteral("TFirst"));
    Field(Members(first), QStringLiteral("FNext"), QStringLiteral("TSecond"));
    TElement_Object* second = Object(QStringLiteral("TSecond"));
    second->ClassOfName()->SetText(QStringLiteral("TSecondClass"));
    Field(Members(second), QStringLiteral("FKind"), QStringLiteral("TSecondClass"));
    const TGenerated unit = CompiledUnit();
    EXPECT_EQ(Lines(unit.Messages), "");
    EXPECT_GE(At(unit.Text, "TSecond = class;"), 0) << unit.Text.toStdString();
    EXPECT_LT(At(unit.Text, "TSecond = class;"), At(unit.Text, "TFirst = class"));
    EXPECT_LT(At(unit.Text, "TSecondClass = class of TSecond;"), At(unit.Text, "TFirst = class"));
}

// Each class referenced before its declaration gets its own forward
// declaration, followed by its own class-of entries and no other's.
TEST_F(GenerationModule, SeveralForwardDeclarationsEachTakeTheirOwnClassOf) {
    const QStringList names = {QStringLiteral("TFirst"), QStringLiteral("TSecond"), QStringLiteral("TThird"),
                               QStringLiteral("TFourth")};
    for (qsizetype i = 0; i < names.size(); ++i) {
        TElement_Object* object = Object(names[i]);
        if (i > 0) object->ClassOfName()->SetText(names[i] + QStringLiteral("Class"));
        if (i + 1 < names.size()) Field(Members(object), QStringLiteral("FNext"), names[i + 1]);
    }
    const TGenerated unit = CompiledUnit();
    EXPECT_EQ(Lines(unit.Messages), "");
    for (qsizetype i = 1; i < names.size(); ++i) {
        const std::string name = names[i].toStdString();
        const qsizetype forward = At(unit.Text, (name + " = class;").c_str());
        const qsizetype classOf = At(unit.Text, (name + "Class = class of " + name + ";").c_str());
        EXPECT_GE(forward, 0) << unit.Text.toStdString();
        EXPECT_GT(classOf, forward) << name;
        EXPECT_LT(classOf, At(unit.Text, "TFirst = class")) << name;
        // Nothing else is declared between the two.
        const qsizetype afterForward = forward + qsizetype((name + " = class;").size());
        EXPECT_FALSE(unit.Text.mid(afterForward, classOf - afterForward).contains(u"= class"))
            << unit.Text.toStdString();
    }
}

TEST_F(GenerationModule, AConstantBetweenAReferenceAndItsClassIsReportedNamingTheClass) {
    TElement_Object* first = Object(QStringLiteral("TFirst"));
    Field(Members(first), QStringLiteral("FNext"), QStringLiteral("TSecond"));
    Constant(Root(), QStringLiteral("Size"), QStringLiteral("4"))->SetVisibility(TVisibility::Public);
    Object(QStringLiteral("TSecond"));
    const TGenerated unit = GenerateUnit();
    ASSERT_EQ(unit.Messages.size(), 1);
    EXPECT_TRUE(unit.Messages[0].contains(QStringLiteral("TSecond"))) << unit.Messages[0].toStdString();
    EXPECT_LT(At(unit.Text, "TSecond = class;"), 0) << "a forward declaration the compiler cannot resolve";
}

TEST_F(GenerationModule, APrivateRoutineCalledBeforeItsImplementationIsDeclaredForwardAhead) {
    TElement_Method* caller = Routine(Root(), QStringLiteral("Caller"), QString(), TVisibility::Private);
    Call(Body(caller), QStringLiteral("Callee"), {QStringLiteral("2")});
    TElement_Method* callee = Routine(Root(), QStringLiteral("Callee"), QString(), TVisibility::Private);
    Parameter(callee, QStringLiteral("ACount"), QStringLiteral("int"));
    const TGenerated unit = CompiledUnit();
    const qsizetype forward = At(unit.Text, "procedure Callee(ACount: NativeInt); forward;");
    EXPECT_GE(forward, 0) << unit.Text.toStdString();
    EXPECT_LT(forward, At(unit.Text, "procedure Caller;"));
}

TEST_F(GenerationModule, ErrorUsesSysUtilsAndAFloatOfTheInterfaceUsesMathThere) {
    Field(Root(), QStringLiteral("Ratio"), QStringLiteral("float"))->SetVisibility(TVisibility::Public);
    TElement_Method* fail = Routine(Root(), QStringLiteral("Fail"));
    Add<TElement_Error>(Body(fail))->Message()->SetText(QStringLiteral("Message"));
    Constant(Root(), QStringLiteral("Message"), QStringLiteral("1"));
    const TGenerated unit = CompiledUnit();
    const qsizetype implementation = At(unit.Text, "implementation");
    EXPECT_LT(At(unit.Text, "  Math;"), implementation) << unit.Text.toStdString();
    EXPECT_GT(At(unit.Text, "  SysUtils;"), implementation);
}

TEST_F(GenerationModule, AConstructorNamedCreateNeverCallsItself) {
    TElement_Object* plain = Object(QStringLiteral("TPlain"));
    Field(Members(plain), QStringLiteral("FCount"), QStringLiteral("int"));
    Return(Body(Routine(Members(plain), QStringLiteral("Count"), QStringLiteral("int"))), QStringLiteral("FCount"));
    Let(Body(AddNamed<TElement_Constructor>(Members(plain), QStringLiteral("Create"))), QStringLiteral("FCount"),
        QStringLiteral("7"));
    TElement_Object* sized = Object(QStringLiteral("TSized"));
    Field(Members(sized), QStringLiteral("FCount"), QStringLiteral("int"));
    Return(Body(Routine(Members(sized), QStringLiteral("Count"), QStringLiteral("int"))), QStringLiteral("FCount"));
    auto* withSize = AddNamed<TElement_Constructor>(Members(sized), QStringLiteral("Create"));
    auto* size = AddNamed<TElement_Parameter>(withSize->Parameters(), QStringLiteral("ASize"));
    size->TypeField()->SetText(QStringLiteral("int"));
    Let(Body(withSize), QStringLiteral("FCount"), QStringLiteral("ASize"));
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    EXPECT_EQ(RunUnit(QStringLiteral("WriteLn(TPlain.Create.Count, ' ', TSized.Create(5).Count, ' ', "
                                     "TSized.Create.Count);"))
                  .join(u' '),
              QStringLiteral("7 5 0"));
}

TEST_F(GenerationModule, AnObjectFieldsInitialValueIsAssignedInTheConstructor) {
    TElement_Object* holder = Object(QStringLiteral("THolder"));
    Field(Members(holder), QStringLiteral("FLimit"), QStringLiteral("int"), QStringLiteral("12"));
    Return(Body(Routine(Members(holder), QStringLiteral("Limit"), QStringLiteral("int"))), QStringLiteral("FLimit"));
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    EXPECT_EQ(RunUnit(QStringLiteral("WriteLn(THolder.Create.Limit);")).join(u' '), QStringLiteral("12"));
}

TEST_F(GenerationModule, AnIfThenElseInAWhileConditionIsEvaluatedOnEveryRound) {
    Field(Root(), QStringLiteral("Rounds"), QStringLiteral("int"))->SetVisibility(TVisibility::Public);
    TElement_Method* run = Routine(Root(), QStringLiteral("Run"));
    auto* loop = Add<TElement_While>(Body(run));
    auto* choice = Add<TElement_Fingers>(loop->Condition());
    choice->Condition()->SetText(QStringLiteral("True"));
    Operator<TElement_Compare>(choice->ValueTrue(), uint8_t(TCompareKind::Less),
                               {QStringLiteral("Rounds"), QStringLiteral("3")});
    choice->ValueFalse()->SetText(QStringLiteral("False"));
    Add<TElement_Inc>(Text(loop->Content()))->Value()->SetText(QStringLiteral("Rounds"));
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    EXPECT_EQ(RunUnit(QStringLiteral("Run; WriteLn(Rounds);")).join(u' '), QStringLiteral("3"));
}

TEST_F(GenerationModule, EmptyAdditionalOperandsAndEmptyIndexValuesAreLeftOut) {
    Field(Root(), QStringLiteral("Total"), QStringLiteral("int"));
    Field(Root(), QStringLiteral("Name"), QStringLiteral("str"), QStringLiteral("'ab'"));
    auto* total = Field(Root(), QStringLiteral("Product"), QStringLiteral("int"));
    Operator<TElement_Operation>(total->ValueField(), uint8_t(TOperationKind::Multiply),
                                 {QStringLiteral("2"), QStringLiteral("3"), QString()});
    TElement_Method* run = Routine(Root(), QStringLiteral("Run"));
    auto* read = Add<TElement_Let>(Body(run));
    read->LeftSide()->SetText(QStringLiteral("Name"));
    Add<TElement_IdentifierInExpression>(read->RightSide())->Identifier()->SetText(QStringLiteral("Name"));
    const TGenerated unit = CompiledUnit();
    EXPECT_GE(At(unit.Text, "Product := 2 * 3;"), 0) << unit.Text.toStdString();
    EXPECT_GE(At(unit.Text, "Name := Name;"), 0) << unit.Text.toStdString();
}

TEST_F(GenerationModule, AClassNamedInAMethodHeadOfAnEarlierClassIsDeclaredForward) {
    TElement_Object* first = Object(QStringLiteral("TFirst"));
    Parameter(Routine(Members(first), QStringLiteral("Join")), QStringLiteral("AOther"), QStringLiteral("TSecond"));
    Object(QStringLiteral("TSecond"));
    const TGenerated unit = CompiledUnit();
    EXPECT_EQ(Lines(unit.Messages), "");
    EXPECT_GE(At(unit.Text, "TSecond = class;"), 0) << unit.Text.toStdString();
    EXPECT_LT(At(unit.Text, "TSecond = class;"), At(unit.Text, "TFirst = class"));
}

TEST_F(GenerationModule, AMemberCalledUnderASubObjectsNameKeepsThePath) {
    TElement_Object* part = Object(QStringLiteral("TPart"));
    Return(Body(Routine(Members(part), QStringLiteral("Size"), QStringLiteral("int"))), QStringLiteral("3"));
    TElement_Object* whole = Object(QStringLiteral("TWhole"));
    auto* sub = AddNamed<TElement_SubObject>(Members(whole), QStringLiteral("Part"));
    sub->TypeField()->SetText(QStringLiteral("TPart"));
    Return(Body(Routine(Members(whole), QStringLiteral("Total"), QStringLiteral("int"))), QStringLiteral("Part.Size"));
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    EXPECT_EQ(RunUnit(QStringLiteral("with TWhole.Create do begin WriteLn(Total); Free; end;")), QStringList{"3"});
}

TEST_F(GenerationModule, AClassPropertyReadsThroughAStaticClassFunction) {
    TElement_Object* object = Object(QStringLiteral("TLimits"));
    auto* most = AddNamed<TElement_Property>(Members(object), QStringLiteral("Most"));
    most->TypeField()->SetText(QStringLiteral("int"));
    most->SetForInstance(false);
    Return(Text(most->ReadSection()), QStringLiteral("12"));
    const TGenerated unit = GenerateUnit();
    EXPECT_GE(At(unit.Text, "class function GetMost: NativeInt; static;"), 0) << unit.Text.toStdString();
    EXPECT_GE(At(unit.Text, "class property Most: NativeInt read GetMost;"), 0) << unit.Text.toStdString();
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    EXPECT_EQ(RunUnit(QStringLiteral("WriteLn(TLimits.Most);")), QStringList{"12"});
}

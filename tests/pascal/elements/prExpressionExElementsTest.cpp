// Comparisons and arithmetic operations: kinds, flags, value and expected
// types, "Add Value" and the kind change as one undo step.

#include "pascal/elements/prExpressionExElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "scheme/diFilers.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kOperatorsTable = "pascal/elements/operators.txt";

const TElementClass* OperatorClassNamed(const QString& name) {
    return name == QLatin1String("TElement_Compare") ? TElement_Compare::StaticClass()
                                                     : TElement_Operation::StaticClass();
}

class Operators : public ProgramValues {
protected:
    TUndoRedo m_history;
    Operators() {
        m_scheme->SetUndoRedo(&m_history);
        Field(QStringLiteral("Count"), QStringLiteral("int"));
        Field(QStringLiteral("Ratio"), QStringLiteral("float"));
        Field(QStringLiteral("Total"), QStringLiteral("str"));
        Field(QStringLiteral("Letter"), QStringLiteral("char"));
        Field(QStringLiteral("Flag"), QStringLiteral("bool"));
        auto* mode = AppendNamed<TElement_Enum>(Root(), QStringLiteral("TMode"));
        mode->SetOfName()->SetText(QStringLiteral("TModes"));
        AppendNamed<TElement_EnumItem>(ContentOf(mode), QStringLiteral("mdFast"));
    }
    ~Operators() override { m_scheme->SetUndoRedo(nullptr); }

    // An operator of cls and kind in the value of a new field of type holder,
    // whose value takes variables.
    TCustomTwoValueOperatorElement* Operator(const TElementClass* cls, int kind,
                                             const QString& holder = QStringLiteral("bool")) {
        TElement_Field* probe = Field(QStringLiteral("Probe%1").arg(++m_probes), holder);
        probe->ValueField()->SetAcceptFlags(kDefaultAcceptFlags);
        auto* element = static_cast<TCustomTwoValueOperatorElement*>(AppendElement(probe->ValueField(), cls));
        element->SetKind(uint8_t(kind));
        return element;
    }
    static QStringList Texts(TCustomTwoValueOperatorElement* element) {
        QStringList texts;
        for (TOperatorValueField* field : element->Values()) texts << field->GetText();
        return texts;
    }
    static int Messages(TElement* field) {
        field->CheckAll();
        return field->Messages() ? field->Messages()->GetCount() : 0;
    }

private:
    int m_probes = 0;
};

}  // namespace

TEST_F(Operators, EachKindHasItsStoredNameFlagsAndFamilyOfCommands) {
    for (const CaseRow& row : LoadCases(kOperatorsTable, "Kinds")) {
        SCOPED_TRACE(row.Text());
        TCustomTwoValueOperatorElement* element = Operator(OperatorClassNamed(row["Class"]), row.Int("Kind"));
        EXPECT_EQ(element->LeftSide()->AcceptFlags(), row["Left"].toInt(nullptr, 0));
        EXPECT_EQ(element->RightSide()->AcceptFlags(), row["Right"].toInt(nullptr, 0));
        EXPECT_EQ(element->GetAdditionalValue(6)->AcceptFlags(), row["Right"].toInt(nullptr, 0));
        EXPECT_EQ(element->AllowsAdditionalValues(), bool(row.Int("Additional")));
        TNodePtr<TKnot> knot = TKnot::Create();
        element->SaveToKnot(knot.get(), fmSnapshot, 0);
        EXPECT_EQ(knot->ReadStr(QStringLiteral("Kind")), row["Stored"]);
        QList<TPaletteItem*> items;
        element->GetPaletteItems(items);
        QStringList offered;
        for (int kind = 0; kind < element->KindCount(); ++kind) {
            TPaletteItem* command = element->KindCount() == kCompareKindCount
                                        ? CompareKindPaletteItem(TCompareKind(kind))
                                        : OperationKindPaletteItem(TOperationKind(kind));
            if (items.contains(command)) offered << QString::number(kind);
        }
        EXPECT_EQ(offered.join(QLatin1Char(',')), row["Family"]);
    }
}

TEST_F(Operators, AStoredKindIsReadIgnoringCaseAndAnUnknownOneIsTheFirstKind) {
    for (const CaseRow& row : LoadCases(kOperatorsTable, "Loads")) {
        SCOPED_TRACE(row.Text());
        TCustomTwoValueOperatorElement* element = Operator(OperatorClassNamed(row["Class"]), 0);
        TNodePtr<TKnot> knot = TKnot::Create();
        element->SaveToKnot(knot.get(), fmSnapshot, 0);
        element->SetKind(2);
        knot->WriteStr(QStringLiteral("Kind"), row["Stored"]);
        element->LoadFromKnot(knot.get(), fmSnapshot, 0);
        EXPECT_EQ(element->Kind(), row.Int("Kind"));
    }
}

TEST_F(Operators, EachKindYieldsItsValueType) {
    for (const CaseRow& row : LoadCases(kOperatorsTable, "ValueTypes")) {
        SCOPED_TRACE(row.Text());
        TCustomTwoValueOperatorElement* element =
            Operator(OperatorClassNamed(row["Class"]), row.Int("Kind"), QStringLiteral("variant"));
        element->LeftSide()->SetText(row["Left"]);
        ASSERT_NE(element->LeftSide()->GetTargetItem(), nullptr);
        EXPECT_EQ(ValueKind(static_cast<TCustomExpressionField*>(element->ParentElement())),
                  TValueTypeKind(row.Int("Type")));
    }
}

TEST_F(Operators, EachKindAnswersWhatItsValuesExpect) {
    for (const CaseRow& row : LoadCases(kOperatorsTable, "ExpectedTypes")) {
        SCOPED_TRACE(row.Text());
        TCustomTwoValueOperatorElement* element =
            Operator(OperatorClassNamed(row["Class"]), row.Int("Kind"), row["Holder"]);
        element->LeftSide()->SetText(row["Left"]);
        TElement* side = row["Side"] == QLatin1String("Left")    ? element->LeftSide()
                         : row["Side"] == QLatin1String("Right") ? element->RightSide()
                                                                 : element->GetAdditionalValue(3);
        EXPECT_EQ(ExpectedKind(side), TValueTypeKind(row.Int("Type")));
    }
}

TEST_F(Operators, AComparisonNeedsALogicalFieldAndAnOperationAStringOrNumberOneNeitherAnAssignmentTarget) {
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("variant"));
    for (const CaseRow& row : LoadCases(kOperatorsTable, "Placements")) {
        SCOPED_TRACE(row.Text());
        probe->ValueField()->SetAcceptFlags(uint16_t(row["Flags"].toInt(nullptr, 0)));
        EXPECT_EQ(TElement_Compare::StaticClass()->CanBePlacedIn(probe->ValueField()), bool(row.Int("Compare")));
        EXPECT_EQ(TElement_Operation::StaticClass()->CanBePlacedIn(probe->ValueField()), bool(row.Int("Operation")));
    }
}

TEST_F(Operators, AnOperatorMadeFromAKindItemTakesItsKindAndTheValuesSeeNoVariablesWhereTheHolderRefusesThem) {
    TPaletteItem* less = CompareElementPaletteItem(TCompareKind::Less);
    ASSERT_NE(less, nullptr);
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("bool"));
    probe->ValueField()->SetAcceptFlags(kDefaultAcceptFlags);
    auto* element = AppendElement<TElement_Compare>(probe->ValueField());
    element->InitNew(less);
    EXPECT_EQ(element->CompareKind(), TCompareKind::Less);
    element->InitNew(OperationElementPaletteItem(TOperationKind::Divide));
    EXPECT_EQ(element->CompareKind(), TCompareKind::Less) << "another class's item has no kind for it";
    probe->ValueField()->SetAcceptFlags(kDefaultAcceptFlags | afNoVariables);
    element->GetAdditionalValue(0)->TreePlacementChanged();
    EXPECT_TRUE(element->GetAdditionalValue(0)->AcceptFlags() & afNoVariables);
}

TEST_F(Operators, AddValueIsOfferedByTheValuesOfOperatorsThatTakeMoreAndDisabledWhenAllSevenAreFilled) {
    TSchemePaletteItem* add = AddValuePaletteItem();
    ASSERT_NE(add, nullptr);
    auto offers = [&](TCustomTwoValueOperatorElement* element) {
        QList<TPaletteItem*> items;
        element->GetChildPaletteItems(element->RightSide(), items);
        return items.contains(add);
    };
    auto enabled = [&](TCustomTwoValueOperatorElement* element) {
        TPaletteItemState state;
        element->RightSide()->GetItemState(add, state);
        return state.Enabled;
    };
    TCustomTwoValueOperatorElement* equal = Operator(TElement_Compare::StaticClass(), int(TCompareKind::Equal));
    EXPECT_FALSE(offers(equal));
    TCustomTwoValueOperatorElement* conjunction = Operator(TElement_Compare::StaticClass(), int(TCompareKind::And));
    EXPECT_TRUE(offers(conjunction));
    conjunction->GetAdditionalValue(0)->SetText(QStringLiteral("Flag"));
    conjunction->ApplyPaletteItem(CompareKindPaletteItem(TCompareKind::Or), QString(), true);
    EXPECT_EQ(conjunction->Kind(), uint8_t(TCompareKind::Or));
    EXPECT_EQ(conjunction->GetAdditionalValue(0)->GetText(), QStringLiteral("Flag")) << "kept by the change";
    EXPECT_TRUE(offers(conjunction));
    for (int i = 1; i < kAdditionalValueCount; ++i) {
        EXPECT_TRUE(enabled(conjunction));
        conjunction->GetAdditionalValue(i)->SetText(QStringLiteral("Flag"));
    }
    EXPECT_FALSE(enabled(conjunction)) << "all seven filled";
    EXPECT_FALSE(conjunction->AddValue());
    EXPECT_TRUE(offers(Operator(TElement_Operation::StaticClass(), int(TOperationKind::Minus))));
}

TEST_F(Operators, AKindOutsideTheFamilyIsRefusedAndTheSameKindChangesNothing) {
    TCustomTwoValueOperatorElement* element = Operator(TElement_Compare::StaticClass(), int(TCompareKind::Equal));
    const int steps = m_history.UndoList()->ChildCount();
    EXPECT_TRUE(element->ApplyPaletteItem(CompareKindPaletteItem(TCompareKind::And), QString(), true));
    EXPECT_TRUE(element->ApplyPaletteItem(CompareKindPaletteItem(TCompareKind::Equal), QString(), true));
    EXPECT_EQ(element->Kind(), uint8_t(TCompareKind::Equal));
    EXPECT_EQ(m_history.UndoList()->ChildCount(), steps);
}

TEST_F(Operators, AKindChangeIsOneStepThatKeepsRefusedValuesWithTheirMessageAndUndoRestoresEveryField) {
    TCustomTwoValueOperatorElement* element = Operator(TElement_Compare::StaticClass(), int(TCompareKind::Equal));
    element->LeftSide()->SetText(QStringLiteral("mdFast"));
    AppendElement<TElement_True>(element->RightSide());
    ASSERT_NE(element->LeftSide()->GetTargetItem(), nullptr);
    const QStringList before = Texts(element);
    TNodePtr<TKnot> stored = TKnot::Create();
    element->SaveToKnot(stored.get(), fmFile, 0);
    const QString beforeText = stored->SaveToString();
    const int steps = m_history.UndoList()->ChildCount();

    ASSERT_TRUE(element->ApplyPaletteItem(CompareKindPaletteItem(TCompareKind::Same), QString(), true));
    EXPECT_EQ(m_history.UndoList()->ChildCount(), steps + 1);
    EXPECT_EQ(element->Kind(), uint8_t(TCompareKind::Same));
    EXPECT_EQ(Texts(element), before) << "every value kept";
    EXPECT_EQ(element->LeftSide()->GetTargetItem(), nullptr) << "an enumeration item refused by a text comparison";
    EXPECT_EQ(Messages(element->LeftSide()), 1);
    ASSERT_NE(element->RightSide()->EmbeddedElement(), nullptr) << "an element the new flags refuse stays";
    TNodePtr<TKnot> after = TKnot::Create();
    element->SaveToKnot(after.get(), fmFile, 0);
    const QString afterText = after->SaveToString();

    m_history.Undo();
    EXPECT_EQ(element->Kind(), uint8_t(TCompareKind::Equal));
    ASSERT_NE(element->LeftSide()->GetTargetItem(), nullptr);
    EXPECT_EQ(element->LeftSide()->GetTargetItem()->GetName(), QStringLiteral("mdFast"));
    TNodePtr<TKnot> undone = TKnot::Create();
    element->SaveToKnot(undone.get(), fmFile, 0);
    EXPECT_EQ(undone->SaveToString(), beforeText);

    m_history.Redo();
    TNodePtr<TKnot> redone = TKnot::Create();
    element->SaveToKnot(redone.get(), fmFile, 0);
    EXPECT_EQ(redone->SaveToString(), afterText);
}

TEST_F(Operators, PaletteItemsAndKindCommandsStandWithTheirTextsFlagsOrdersAndKinds) {
    const TPaletteNode* expressions = ExpressionsPaletteGroup();
    const TPaletteNode* actions = PaletteActionsGroup();
    ExpectPaletteRows({{AddValuePaletteItem(), actions->CaptionId(), actions->Order(), 8500, 8501, 0x144, 1100}});
    const int compareOrders[kCompareKindCount][2] = {{100, 800}, {80, 790}, {60, 780}, {40, 770}, {35, 765}, {30, 755},
                                                     {20, 750},  {16, 970}, {12, 960}, {10, 760}, {8, 745}};
    const uint16_t compareFlags[kCompareKindCount] = {0x42,   0x42, 0x42, 0x1842, 0x1042, 0x1042,
                                                      0x1042, 0x42, 0x42, 0x1042, 0x1042};
    for (int k = 0; k < kCompareKindCount; ++k) {
        const int caption = 8505 + 2 * k;
        ExpectPaletteRows(
            {{CompareKindPaletteItem(TCompareKind(k)), 8504, 1100, caption, caption + 1, 0x540, compareOrders[k][0]},
             {CompareElementPaletteItem(TCompareKind(k)), expressions->CaptionId(), expressions->Order(), caption,
              caption + 1, compareFlags[k], compareOrders[k][1]}});
        EXPECT_EQ(static_cast<TOperatorElementPaletteItem*>(CompareElementPaletteItem(TCompareKind(k)))->Kind(), k);
    }
    const int operationOrders[kOperationKindCount][2] = {{100, 500}, {80, 490}, {60, 480}, {40, 470}, {20, 460}};
    const uint16_t operationFlags[kOperationKindCount] = {0x942, 0x142, 0x1842, 0x1042, 0x1042};
    for (int k = 0; k < kOperationKindCount; ++k) {
        const int caption = 8530 + 2 * k;
        ExpectPaletteRows({{OperationKindPaletteItem(TOperationKind(k)), 8529, 1000, caption, caption + 1, 0x540,
                            operationOrders[k][0]},
                           {OperationElementPaletteItem(TOperationKind(k)), expressions->CaptionId(),
                            expressions->Order(), caption, caption + 1, operationFlags[k], operationOrders[k][1]}});
        EXPECT_EQ(static_cast<TOperatorElementPaletteItem*>(OperationElementPaletteItem(TOperationKind(k)))->Kind(), k);
    }
    EXPECT_EQ(OperationElementPaletteItem(TOperationKind::Multiply)->SmallImage() + 3,
              CompareElementPaletteItem(TCompareKind::Equal)->SmallImage())
        << "S + 2 and S + 5";
}

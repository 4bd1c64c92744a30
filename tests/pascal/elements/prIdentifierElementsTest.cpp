// Identifiers: values that follow the callee, the required rule, the row or
// column layout, what a statement and an expression may name, the indexed
// type, and the stored "Value" nodes matched after the whole load.

#include "pascal/elements/prIdentifierElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "pascal/elements/prMethodElements.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "support/testElements.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

namespace {

class Identifiers : public ProgramValues {
protected:
    TElement_Method* Method(const QString& name) { return AppendNamed<TElement_Method>(Root(), name); }
    static TElement_Parameter* Parameter(TElement_Method* method, const QString& name, const QString& type) {
        auto* parameter = AppendNamed<TElement_Parameter>(method->Parameters(), name);
        parameter->TypeField()->SetText(type);
        return parameter;
    }
    // A call statement in the body of caller naming callee.
    static TElement_IdentifierInMethod* Call(TElement_Method* caller, const QString& callee) {
        auto* call = AppendElement<TElement_IdentifierInMethod>(caller->Body());
        call->Identifier()->SetText(callee);
        return call;
    }
    static QStringList ValueNames(TCustomIdentifierElement* identifier) {
        QStringList names;
        for (TIdentifierParameterValue* value : identifier->ParameterValues()->Values())
            names << (value->Parameter() ? value->Parameter()->GetName() : QStringLiteral("?"));
        return names;
    }
};

TEST_F(Identifiers, ValuesFollowTheCalleesParameters) {
    TElement_Method* callee = Method(QStringLiteral("Move"));
    Parameter(callee, QStringLiteral("X"), QStringLiteral("int"));
    TElement_Parameter* y = Parameter(callee, QStringLiteral("Y"), QStringLiteral("int"));
    TElement_IdentifierInMethod* call = Call(Method(QStringLiteral("Run")), QStringLiteral("Move"));
    ASSERT_EQ(ValueNames(call), (QStringList{QStringLiteral("X"), QStringLiteral("Y")}));
    call->ParameterValues()->Values().at(1)->SetText(QStringLiteral("7"));

    Parameter(callee, QStringLiteral("Z"), QStringLiteral("int"));
    EXPECT_EQ(ValueNames(call), (QStringList{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")}));
    y->NameField()->SetText(QStringLiteral("Top"));
    ASSERT_EQ(call->ParameterValues()->Values().size(), 3u);
    EXPECT_EQ(call->ParameterValues()->Values().at(1)->GetText(), QStringLiteral("7")) << "a renamed parameter keeps its value";
    y->Free();
    EXPECT_EQ(ValueNames(call), (QStringList{QStringLiteral("X"), QStringLiteral("Z")}));
    call->Identifier()->SetText(QString());
    EXPECT_TRUE(call->ParameterValues()->Values().empty());
}

TEST_F(Identifiers, ValueIsRequiredByKindOrNotEmptyOption) {
    struct TRow {
        TParameterKind kind;
        bool notEmptyIn;
        bool required;
    };
    const TRow rows[] = {
        {TParameterKind::In, false, false},
        {TParameterKind::In, true, true},
        {TParameterKind::InOut, false, true},
        {TParameterKind::Out, false, true},
    };
    for (const TRow& row : rows) {
        TElement_Method* callee = Method(QStringLiteral("Callee"));
        TElement_Parameter* parameter = Parameter(callee, QStringLiteral("A"), QStringLiteral("int"));
        TElement_IdentifierInMethod* call = Call(Method(QStringLiteral("Caller")), QStringLiteral("Callee"));
        parameter->SetKind(row.kind);
        parameter->SetNotEmptyInValue(row.notEmptyIn);
        ASSERT_EQ(call->ParameterValues()->Values().size(), 1u);
        EXPECT_EQ(call->ParameterValues()->Values().front()->IsRequired(), row.required)
            << "kind " << int(row.kind) << " not empty " << row.notEmptyIn;
        callee->Free();
    }
}

TEST(IdentifierLayout, ValuesStackBeyondTheRowLimits) {
    struct TRow {
        std::vector<int> widths;
        bool stacked;
    };
    const TRow rows[] = {
        {{200, 200, 200, 200, 200}, true},  // 1000 > 750
        {{250, 250, 250}, false},           // exactly 750
        {{250, 250, 251}, true},
        {{300, 100}, false},
        {{301}, true},  // one value wider than 300
        {{}, false},
    };
    for (const TRow& row : rows) EXPECT_EQ(StacksParameterValues(row.widths), row.stacked) << row.widths.size();
}

TEST_F(Identifiers, StatementCallsWhereExpressionAlsoReads) {
    struct TRow {
        const char* name;
        bool statement;
        bool expression;
    };
    Method(QStringLiteral("Run"));
    AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TNotify"));
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    Field(QStringLiteral("OnDone"), QStringLiteral("TNotify"));
    Constant(QStringLiteral("Limit"), QStringLiteral("3"));
    const TRow rows[] = {
        {"Run", true, true},     {"OnDone", true, true}, {"Count", false, true},
        {"Limit", false, true},  {"int", false, false},  {"TNotify", false, false},
    };
    TElement_Method* host = Method(QStringLiteral("Host"));
    auto* statement = AppendElement<TElement_IdentifierInMethod>(host->Body());
    auto* expression =
        AppendElement<TElement_IdentifierInExpression>(Field(QStringLiteral("Total"), QStringLiteral("int"))->ValueField());
    for (const TRow& row : rows) {
        const QString name = QString::fromLatin1(row.name);
        TNamespaceItem* item = General()->FindItemByName(name);
        if (!item) item = FindOwnerNamespace(statement)->FindItemByName(name);
        ASSERT_NE(item, nullptr) << row.name;
        EXPECT_EQ(statement->Identifier()->CanReferTo(item), row.statement) << row.name;
        EXPECT_EQ(expression->Identifier()->CanReferTo(item), row.expression) << row.name;
    }
}

TEST_F(Identifiers, StrFieldYieldsCharOnlyWhileIndexIsFilled) {
    Field(QStringLiteral("Name"), QStringLiteral("str"));
    auto* read = AppendElement<TElement_IdentifierInExpression>(Field(QStringLiteral("First"), QStringLiteral("char"))->ValueField());
    read->Identifier()->SetText(QStringLiteral("Name"));
    ASSERT_EQ(read->ParameterValues()->Values().size(), 1u) << "a string takes an index";
    EXPECT_EQ(ValueKind(read->Identifier()), TValueTypeKind::String) << "an empty index reads the whole string";
    read->ParameterValues()->Values().front()->SetText(QStringLiteral("1"));
    EXPECT_EQ(ValueKind(read->Identifier()), TValueTypeKind::Char);
}

TEST_F(Identifiers, CallBeforeItsCalleeKeepsArgumentsThroughSaveLoadSave) {
    TElement_Method* caller = Method(QStringLiteral("Start"));
    TElement_Method* callee = Method(QStringLiteral("Resize"));
    Parameter(callee, QStringLiteral("AWidth"), QStringLiteral("int"));
    Parameter(callee, QStringLiteral("AHeight"), QStringLiteral("int"));
    TElement_IdentifierInMethod* call = Call(caller, QStringLiteral("Resize"));
    call->ParameterValues()->Values().at(0)->SetText(QStringLiteral("640"));
    call->ParameterValues()->Values().at(1)->SetText(QStringLiteral("480"));
    const QString first = SchemeText(m_scheme.get());
    ASSERT_TRUE(first.contains(QStringLiteral("Parameter=\"AHeight\""))) << first.toStdString();

    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(first).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0);
    EXPECT_EQ(SchemeText(copy.get()), first);
}

TEST_F(Identifiers, ValueOfNoCurrentParameterIsKeptAndWrittenBack) {
    TElement_Method* callee = Method(QStringLiteral("Beep"));
    Parameter(callee, QStringLiteral("ATone"), QStringLiteral("int"));
    Call(Method(QStringLiteral("Alarm")), QStringLiteral("Beep"))->ParameterValues()->Values().front()->SetText(
        QStringLiteral("440"));
    QString text = SchemeText(m_scheme.get());
    text.replace(QStringLiteral("Parameter=\"ATone\""), QStringLiteral("Parameter=\"AGone\""));

    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(text).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0) << "an unmatched value is no error";
    EXPECT_EQ(SchemeText(copy.get()), text) << "and is written back unchanged";
}

// A kept value taken by a call that a rename resolved came back beside that
// call's value when the rename was undone (the call stays resolved, its
// identifier following the name back): the argument was written twice.
TEST_F(Identifiers, AnUndoneRenameThatResolvedACallLeavesItsArgumentWrittenOnce) {
    TElement_Method* callee = Method(QStringLiteral("Resize"));
    Parameter(callee, QStringLiteral("AWidth"), QStringLiteral("int"));
    Call(Method(QStringLiteral("Start")), QStringLiteral("Resize"))->ParameterValues()->Values().front()->SetText(
        QStringLiteral("640"));
    QString text = SchemeText(m_scheme.get());
    text.replace(QStringLiteral("Identifier=\"Resize\""), QStringLiteral("Identifier=\"Fit\""));
    auto copy = MakeTestProgramScheme();
    LoadSchemeKnot(copy.get(), KnotFromText(text).get(), fmFile);
    TUndoRedo history;
    copy->SetUndoRedo(&history);
    auto* resize = dynamic_cast<TElement_Method*>(
        ProgramRootOf(copy.get())->GeneralNamespace()->FindItemByName(QStringLiteral("Resize"))->GetElement());
    ASSERT_NE(resize, nullptr);
    resize->NameField()->ReplaceText(QStringLiteral("Fit"));
    EXPECT_EQ(SchemeText(copy.get()).count(QStringLiteral("<Value")), 1) << "the kept value taken by the call";
    history.Undo();
    EXPECT_EQ(SchemeText(copy.get()).count(QStringLiteral("<Value")), 1) << SchemeText(copy.get()).toStdString();
    history.Redo();
    EXPECT_EQ(SchemeText(copy.get()).count(QStringLiteral("<Value")), 1);
    copy->SetUndoRedo(nullptr);
}

}  // namespace

#include "pascal/driver/routinesModule.h"

#if QUILLANE_TEST_LAYER >= 7

#include "support/testProgram.h"

const TElementClass* RoutinesModuleRootClass() { return TElement_TestProgramRoot::StaticClass(); }
QString RoutinesModuleName() { return QStringLiteral("ProgramModule"); }

namespace {

QString MethodAt(int n) { return QStringLiteral("TElement_Method[%1]").arg(n); }
QString ParameterAt(int method, int n) {
    return MethodAt(method) + QStringLiteral("/TParametersContainer/TElement_Parameter[%1]").arg(n);
}
QString FieldAt(int n) { return QStringLiteral("TElement_Field[%1]").arg(n); }

// Replaces the text of the element at path.
void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.SelectAll();
    driver.Type(text);
}

// A new method at the end of the root, named.
void AddMethod(TSheetDriver& driver, int n, const QString& name) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("M"));
    Retype(driver, MethodAt(n) + QStringLiteral("/TIdentifierNameField"), name);
}

// A new parameter at the end of a method's list, named and typed.
void AddParameter(TSheetDriver& driver, int method, int n, const QString& name, const QString& type) {
    driver.Focus(MethodAt(method));
    driver.MustApply(QStringLiteral("Parameter"));
    Retype(driver, ParameterAt(method, n) + QStringLiteral("/TParameterNameField"), name);
    Retype(driver, ParameterAt(method, n) + QStringLiteral("/TFieldTypeField"), type);
}

// A new field at the end of the root with an operator of the caption in its value.
QString AddFieldWithOperator(TSheetDriver& driver, int n, const QString& name, const QString& type,
                             const QString& operatorCaption) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("E"));
    Retype(driver, FieldAt(n) + QStringLiteral("/TFieldNameField"), name);
    Retype(driver, FieldAt(n) + QStringLiteral("/TFieldTypeField"), type);
    driver.Focus(FieldAt(n) + QStringLiteral("/TExpressionField"));
    driver.MustApply(operatorCaption);
    return FieldAt(n) + QStringLiteral("/TExpressionField/TElement_");
}

// Types values into an operator's fields: left, right, then each added value.
void FillValues(TSheetDriver& driver, const QString& element, const QStringList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const QString field = element + QStringLiteral("/TOperatorValueField[%1]").arg(i);
        if (i >= 2) {
            driver.Focus(element + QStringLiteral("/TOperatorValueField[1]"));
            driver.MustApply(QStringLiteral("Add Value"));
        }
        driver.Focus(field);
        driver.Type(values[i]);
    }
}

}  // namespace

void BuildRoutinesModule(TSheetDriver& driver) {
    // Clamp(AValue, var ALimit, out AClamped, AName): int; cdecl, a not-empty result.
    AddMethod(driver, 0, QStringLiteral("Clamp"));
    AddParameter(driver, 0, 0, QStringLiteral("AValue"), QStringLiteral("int"));
    driver.Focus(ParameterAt(0, 0));
    driver.MustApply(QStringLiteral("Not Empty In Value"));
    AddParameter(driver, 0, 1, QStringLiteral("ALimit"), QStringLiteral("float"));
    driver.Focus(ParameterAt(0, 1));
    driver.MustApply(QStringLiteral("In-Out"));
    driver.MustApply(QStringLiteral("Not Empty Out Value"));
    AddParameter(driver, 0, 2, QStringLiteral("AClamped"), QStringLiteral("int"));
    driver.Focus(ParameterAt(0, 2));
    driver.MustApply(QStringLiteral("Out"));
    AddParameter(driver, 0, 3, QStringLiteral("AName"), QStringLiteral("str"));
    Retype(driver, MethodAt(0) + QStringLiteral("/TMethodResultTypeField"), QStringLiteral("int"));
    driver.Focus(MethodAt(0));
    driver.MustApply(QStringLiteral("cdecl"));
    driver.MustApply(QStringLiteral("Not Empty Out Value"));
    driver.MustApply(QStringLiteral("Private"));

    // A procedure with the default convention changed twice.
    AddMethod(driver, 1, QStringLiteral("Reset"));
    driver.Focus(MethodAt(1));
    driver.MustApply(QStringLiteral("stdcall"));
    driver.MustApply(QStringLiteral("safecall"));

    // A method type in module.
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("Method Type"));
    Retype(driver, QStringLiteral("TElement_MethodType/TIdentifierNameField"), QStringLiteral("TNotify"));
    driver.Focus(QStringLiteral("TElement_MethodType"));
    driver.MustApply(QStringLiteral("In Module"));

    // Two conditions, then operator chains: a sum of four values, a
    // conjunction of three conditions, a comparison changed to another kind.
    for (int n : {0, 1}) {
        driver.Focus(driver.Root());
        driver.MustApplyKey(QStringLiteral("E"));
        const QString name = n ? QStringLiteral("Enabled") : QStringLiteral("Visible");
        Retype(driver, FieldAt(n) + QStringLiteral("/TFieldNameField"), name);
        Retype(driver, FieldAt(n) + QStringLiteral("/TFieldTypeField"), QStringLiteral("bool"));
    }
    const QString sum = AddFieldWithOperator(driver, 2, QStringLiteral("Total"), QStringLiteral("int"),
                                             QStringLiteral("Summ")) + QStringLiteral("Operation");
    FillValues(driver, sum, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    const QString both = AddFieldWithOperator(driver, 3, QStringLiteral("Ready"), QStringLiteral("bool"),
                                              QStringLiteral("And")) + QStringLiteral("Compare");
    FillValues(driver, both, {QStringLiteral("Visible"), QStringLiteral("Enabled"), QStringLiteral("Visible")});
    const QString order = AddFieldWithOperator(driver, 4, QStringLiteral("Small"), QStringLiteral("bool"),
                                               QStringLiteral("Less")) + QStringLiteral("Compare");
    FillValues(driver, order, {QStringLiteral("Total"), QStringLiteral("10")});
    driver.Focus(order);
    driver.MustApply(QStringLiteral("Less or Equal"));
}

#endif

#include "pascal/driver/statementsModule.h"

#if QUILLANE_TEST_LAYER >= 7

#include "support/testProgram.h"

const TElementClass* StatementsModuleRootClass() { return TElement_TestProgramRoot::StaticClass(); }
QString StatementsModuleName() { return QStringLiteral("ProgramModule"); }

namespace {

QString MethodAt(int n) { return QStringLiteral("TElement_Method[%1]").arg(n); }
QString BodyOf(int method) { return MethodAt(method) + QStringLiteral("/TCommandsContainerWithResult"); }
QString FieldAt(int n) { return QStringLiteral("TElement_Field[%1]").arg(n); }

void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.SelectAll();
    driver.Type(text);
}

void AddField(TSheetDriver& driver, int n, const QString& name, const QString& type) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("E"));
    Retype(driver, FieldAt(n) + QStringLiteral("/TFieldNameField"), name);
    Retype(driver, FieldAt(n) + QStringLiteral("/TFieldTypeField"), type);
}

void AddMethod(TSheetDriver& driver, int n, const QString& name, const QString& result = {}) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("M"));
    Retype(driver, MethodAt(n) + QStringLiteral("/TIdentifierNameField"), name);
    if (!result.isEmpty()) Retype(driver, MethodAt(n) + QStringLiteral("/TMethodResultTypeField"), result);
}

void AddParameter(TSheetDriver& driver, int method, int n, const QString& name, const QString& type) {
    const QString parameter = MethodAt(method) + QStringLiteral("/TParametersContainer/TElement_Parameter[%1]").arg(n);
    driver.Focus(MethodAt(method));
    driver.MustApply(QStringLiteral("Parameter"));
    Retype(driver, parameter + QStringLiteral("/TParameterNameField"), name);
    Retype(driver, parameter + QStringLiteral("/TFieldTypeField"), type);
}

// A new statement of the caption at the end of the section at place; answers its path.
QString AddStatement(TSheetDriver& driver, const QString& place, const QString& caption, const QString& element) {
    driver.Focus(place);
    driver.MustApply(caption);
    return place + QLatin1Char('/') + element;
}

void TypeInto(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.Type(text);
}

// A call of callee at the end of the section at place, with values typed in order.
void AddCall(TSheetDriver& driver, const QString& place, int n, const QString& callee, const QStringList& values) {
    const QString call = AddStatement(driver, place, QStringLiteral("Identifier"),
                                      QStringLiteral("TElement_IdentifierInMethod[%1]").arg(n));
    TypeInto(driver, call + QStringLiteral("/TIdentifierField"), callee);
    for (int i = 0; i < values.size(); ++i)
        TypeInto(driver, call + QStringLiteral("/TIdentifierParameterValues/TIdentifierParameterValue[%1]").arg(i),
                 values[i]);
}

}  // namespace

void BuildStatementsModule(TSheetDriver& driver) {
    // The stock: a count, a limit, a name and a flag.
    AddField(driver, 0, QStringLiteral("Stock"), QStringLiteral("int"));
    AddField(driver, 1, QStringLiteral("Limit"), QStringLiteral("int"));
    AddField(driver, 2, QStringLiteral("Label"), QStringLiteral("str"));
    AddField(driver, 3, QStringLiteral("Busy"), QStringLiteral("bool"));

    // Restock(AAmount: int), which calls Report declared after it.
    AddMethod(driver, 0, QStringLiteral("Restock"));
    AddParameter(driver, 0, 0, QStringLiteral("AAmount"), QStringLiteral("int"));
    // Report(ACount: int; AText: str).
    AddMethod(driver, 1, QStringLiteral("Report"));
    AddParameter(driver, 1, 0, QStringLiteral("ACount"), QStringLiteral("int"));
    AddParameter(driver, 1, 1, QStringLiteral("AText"), QStringLiteral("str"));
    // Count(): int, which calls Restock declared before it.
    AddMethod(driver, 2, QStringLiteral("Count"), QStringLiteral("int"));

    const QString restock = BodyOf(0);
    const QString assert_ = AddStatement(driver, restock, QStringLiteral("Assert"), QStringLiteral("TElement_Assert"));
    TypeInto(driver, assert_ + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Busy"));
    const QString let = AddStatement(driver, restock, QStringLiteral("Let"), QStringLiteral("TElement_Let"));
    TypeInto(driver, let + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Stock"));
    TypeInto(driver, let + QStringLiteral("/TExpressionField[1]"), QStringLiteral("AAmount"));
    const QString branch = AddStatement(driver, restock, QStringLiteral("If"), QStringLiteral("TElement_IfThen"));
    TypeInto(driver, branch + QStringLiteral("/TExpressionField"), QStringLiteral("Busy"));
    AddCall(driver, branch + QStringLiteral("/TCommandsContainer[0]"), 0, QStringLiteral("Report"),
            {QStringLiteral("Stock"), QStringLiteral("Label")});
    driver.Focus(branch);
    driver.MustApply(QStringLiteral("Add Else"));
    const QString error = AddStatement(driver, branch + QStringLiteral("/TCommandsContainer[1]"), QStringLiteral("Error"),
                                       QStringLiteral("TElement_Error"));
    (void)error;

    const QString count = BodyOf(2);
    AddCall(driver, count, 0, QStringLiteral("Restock"), {QStringLiteral("Limit")});
    const QString loop = AddStatement(driver, count, QStringLiteral("While"), QStringLiteral("TElement_While"));
    TypeInto(driver, loop + QStringLiteral("/TExpressionField"), QStringLiteral("Busy"));
    const QString loopBody = loop + QStringLiteral("/TCommandsContainer");
    AddStatement(driver, loopBody, QStringLiteral("Inc"), QStringLiteral("TElement_Inc"));
    TypeInto(driver, loopBody + QStringLiteral("/TElement_Inc/TExpressionField"), QStringLiteral("Stock"));
    AddStatement(driver, loopBody, QStringLiteral("Continue"), QStringLiteral("TElement_Continue"));
    AddStatement(driver, loopBody, QStringLiteral("Break"), QStringLiteral("TElement_Break"));

    const QString counted = AddStatement(driver, count, QStringLiteral("For"), QStringLiteral("TElement_For"));
    TypeInto(driver, counted + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Limit"));
    TypeInto(driver, counted + QStringLiteral("/TExpressionField[1]"), QStringLiteral("0"));
    TypeInto(driver, counted + QStringLiteral("/TExpressionField[2]/TElement_Operation/TOperatorValueField[0]"),
             QStringLiteral("Stock"));
    driver.Focus(counted);
    driver.MustApply(QStringLiteral("Backward"));
    AddStatement(driver, counted + QStringLiteral("/TForElementCommandsContainer"), QStringLiteral("Dec"),
                 QStringLiteral("TElement_Dec"));
    TypeInto(driver, counted + QStringLiteral("/TForElementCommandsContainer/TElement_Dec/TExpressionField"),
             QStringLiteral("Stock"));

    const QString each = AddStatement(driver, count, QStringLiteral("For Each"), QStringLiteral("TElement_ForEach"));
    TypeInto(driver, each + QStringLiteral("/TForEachArrayField"), QStringLiteral("Label"));
    const QString eachBody = each + QStringLiteral("/TForElementCommandsContainer");
    const QString choice = AddStatement(driver, eachBody, QStringLiteral("Case"), QStringLiteral("TElement_Case"));
    TypeInto(driver, choice + QStringLiteral("/TExpressionField"), QStringLiteral("Item"));
    AddStatement(driver, choice + QStringLiteral("/TCaseItemsContainer"), QStringLiteral("Case Item"),
                 QStringLiteral("TElement_CaseItem"));
    TypeInto(driver, choice + QStringLiteral("/TCaseItemsContainer/TElement_CaseItem/TExpressionField"), QStringLiteral("Index"));

    // The temporary assignment and the one made only when different.
    const QString temp = AddStatement(driver, count, QStringLiteral("Let Temp"), QStringLiteral("TElement_LetTemp"));
    TypeInto(driver, temp + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Busy"));
    AddCall(driver, temp + QStringLiteral("/TCommandsContainer"), 0, QStringLiteral("Report"),
            {QStringLiteral("0"), QStringLiteral("Label")});
    const QString different = AddStatement(driver, count, QStringLiteral("Let if Different"),
                                           QStringLiteral("TElement_LetIfDifferent"));
    TypeInto(driver, different + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Limit"));
    TypeInto(driver, different + QStringLiteral("/TExpressionField[1]"), QStringLiteral("Stock"));
    AddStatement(driver, different + QStringLiteral("/TCommandsContainer"), QStringLiteral("Inc"),
                 QStringLiteral("TElement_Inc"));
    TypeInto(driver, different + QStringLiteral("/TCommandsContainer/TElement_Inc/TExpressionField"),
             QStringLiteral("Limit"));
    // Rockfall: the work, then what always runs.
    const QString guard = AddStatement(driver, count, QStringLiteral("Rockfall"), QStringLiteral("TElement_Rockfall"));
    AddCall(driver, guard + QStringLiteral("/TCommandsContainer[0]"), 0, QStringLiteral("Report"),
            {QStringLiteral("Stock"), QStringLiteral("Label")});
    AddStatement(driver, guard + QStringLiteral("/TCommandsContainer[1]"), QStringLiteral("Dec"), QStringLiteral("TElement_Dec"));
    TypeInto(driver, guard + QStringLiteral("/TCommandsContainer[1]/TElement_Dec/TExpressionField"), QStringLiteral("Limit"));
    const QString back = AddStatement(driver, count, QStringLiteral("Return"), QStringLiteral("TElement_Return"));
    TypeInto(driver, back + QStringLiteral("/TExpressionField"), QStringLiteral("Stock"));
}

#endif

#include "pascal/driver/valuesModule.h"

#if QUILLANE_TEST_LAYER >= 5

#include "support/testRoots.h"
#include "support/testStop.h"

#include <QDir>
#include <QFile>

const TElementClass* ValuesModuleRootClass() { return TElement_TestFileRoot::StaticClass(); }
QString ValuesModuleName() { return QStringLiteral("ValuesModule"); }

namespace {

// The path of the n-th text of the root, and of its parts.
QString TextAt(int n) { return QStringLiteral("TElement_Text[%1]").arg(n); }
QString NameOf(int n) { return TextAt(n) + QStringLiteral("/TValueNameField"); }
QString ValueOf(int n) { return TextAt(n) + QStringLiteral("/TTextorElement"); }

// A new text at the end of the root, named and with a value typed.
void AddValuesText(TSheetDriver& driver, int n, const QString& name, const QString& value) {
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("Text"));
    driver.Focus(NameOf(n));
    driver.Type(name);
    driver.Focus(ValueOf(n));
    driver.Type(value);
}

}  // namespace

void BuildValuesModule(TSheetDriver& driver) {
    // "User": a code text with a description.
    AddValuesText(driver, 0, QStringLiteral("User"), QStringLiteral("world"));
    driver.Focus(TextAt(0));
    driver.MustApply(QStringLiteral("Code"));
    driver.MustApplyKey(QStringLiteral("M"));  // "Description" focuses the description
    driver.Type(QStringLiteral("Who is greeted"));

    // "Greeting": text around a substitution of "User".
    AddValuesText(driver, 1, QStringLiteral("Greeting"), QStringLiteral("Hello, "));
    driver.MustApplyKey(QStringLiteral(" "));  // "Substitution"
    driver.Focus(ValueOf(1) + QStringLiteral("/TElement_Substitution"));
    driver.Type(QStringLiteral("User"));
    driver.Focus(ValueOf(1));
    driver.Type(QStringLiteral("!"));

    // "Banner": the first "world" replaced, ignoring case, by "User".
    AddValuesText(driver, 2, QStringLiteral("Banner"), QStringLiteral("Banner: "));
    driver.MustApply(QStringLiteral("Replacement"));
    const QString replacement = ValueOf(2) + QStringLiteral("/TElement_Replacement");
    driver.Focus(replacement);
    driver.MustApply(QStringLiteral("First Instance"));
    driver.MustApply(QStringLiteral("Approximate String Matching"));
    driver.Focus(replacement + QStringLiteral("/TRequiredFunctionField[0]"));
    driver.Type(QStringLiteral("World, wide World"));
    driver.Focus(replacement + QStringLiteral("/TRequiredFunctionField[1]"));
    driver.Type(QStringLiteral("world"));
    driver.Focus(replacement + QStringLiteral("/TFunctionField"));
    driver.MustApplyKey(QStringLiteral(" "));
    driver.Focus(replacement + QStringLiteral("/TFunctionField/TElement_Substitution"));
    driver.Type(QStringLiteral("User"));

    // "Stamp": the date of the run.
    AddValuesText(driver, 3, QStringLiteral("Stamp"), QStringLiteral("Made "));
    driver.MustApply(QStringLiteral("Processing Date and Time"));
    driver.Focus(ValueOf(3) + QStringLiteral("/TElement_ProcessingDateTime"));
    driver.SelectAll();  // typed over the default mask
    driver.Type(QStringLiteral("yyyy-mm-dd"));

    // "Places": a folder and a file beside the module, chosen in their dialogs.
    QDir().mkpath(driver.FilePath(QStringLiteral("Lib")));
    const QString file = driver.FilePath(QStringLiteral("Lib/unit.pas"));
    if (!QFile(file).open(QIODevice::WriteOnly)) StopTest("cannot make " + file.toStdString());
    AddValuesText(driver, 4, QStringLiteral("Places"), QStringLiteral("In "));
    driver.MustApply(QStringLiteral("Folder"));
    driver.Focus(ValueOf(4) + QStringLiteral("/TElement_Path"));
    driver.Dialogs().FolderAnswer = driver.FilePath(QStringLiteral("Lib"));
    driver.MustApply(QStringLiteral("Choose"));
    driver.MustApply(QStringLiteral("Show Absolute"));
    driver.Focus(ValueOf(4));
    driver.Type(QStringLiteral(", "));
    driver.MustApply(QStringLiteral("File Name"));
    driver.Focus(ValueOf(4) + QStringLiteral("/TElement_FileName"));
    driver.Dialogs().FileAnswers.push_back(QStringList{file});
    driver.MustApply(QStringLiteral("Choose"));
    driver.MustApply(QStringLiteral("Store Absolute"));
}

#endif

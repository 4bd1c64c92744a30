// The statements and calls module built as a user builds it: it checks
// clean, saves, loads and saves again byte for byte in both store modes, and
// every step undoes back to the empty scheme and redoes to the module.

#include "pascal/driver/moduleChecks.h"
#include "pascal/driver/statementsModule.h"
#include "platform/plInput.h"

#include <gtest/gtest.h>

namespace {

class StatementsModule : public ::testing::Test {
protected:
    TSheetDriver driver{StatementsModuleRootClass(), StatementsModuleName()};
};

}  // namespace

TEST_F(StatementsModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildStatementsModule(driver);
    ExpectCleanAndSavedByteForByteInBothModes(driver);
}

// Renaming a routine, adding, renaming and deleting parameters: the calls
// follow with their values, and undoing the steps gives the module back byte for
// byte (redoing them, the changed one).
TEST_F(StatementsModule, CallsFollowTheirCalleeAndUndoAndRedoRestoreTheirValuesExactly) {
    BuildStatementsModule(driver);
    const int steps = driver.UndoSteps();
    QByteArray before[2], after[2];
    for (TStoreMode mode : kStoreModes) before[int(mode)] = driver.Save(mode);
    const QString report = QStringLiteral("TElement_Method[1]");
    auto retype = [&](const QString& path, const QString& text) {
        driver.Focus(path);
        driver.SelectAll();
        driver.Type(text);
        driver.Focus(report);
    };
    retype(report + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Notify"));
    driver.Focus(report);
    driver.MustApply(QStringLiteral("Parameter"));
    const QString added = report + QStringLiteral("/TParametersContainer/TElement_Parameter[2]");
    retype(added + QStringLiteral("/TParameterNameField"), QStringLiteral("ALevel"));
    retype(report + QStringLiteral("/TParametersContainer/TElement_Parameter[0]/TParameterNameField"),
           QStringLiteral("ATotal"));
    const QString call = QStringLiteral("TElement_Method[2]/TCommandsContainerWithResult/TElement_LetTemp/"
                                        "TCommandsContainer/TElement_IdentifierInMethod/TIdentifierParameterValues/"
                                        "TIdentifierParameterValue[%1]");
    ASSERT_NE(driver.FindByClasses(call.arg(2)), nullptr) << "a value for the new parameter";
    driver.Focus(call.arg(2));
    driver.Type(QStringLiteral("7"));
    const QByteArray withLevel = driver.Save(TStoreMode::Snapshot);
    // The new parameter deleted again from the end of the list: undoing that
    // gives its value back.
    driver.Focus(report + QStringLiteral("/TParametersContainer"));
    driver.Key(vkBack);
    ASSERT_EQ(driver.FindByClasses(added), nullptr) << "the last parameter deleted";
    const QByteArray withoutLevel = driver.Save(TStoreMode::Snapshot);
    ASSERT_TRUE(driver.Undo());
    EXPECT_EQ(driver.Save(TStoreMode::Snapshot).toStdString(), withLevel.toStdString());
    ASSERT_TRUE(driver.Redo());
    EXPECT_EQ(driver.Save(TStoreMode::Snapshot).toStdString(), withoutLevel.toStdString());
    const QByteArray changed = driver.Save(TStoreMode::File);
    const QString text = QString::fromUtf8(changed);
    EXPECT_FALSE(text.contains(QStringLiteral("Identifier=\"Report\""))) << "every call follows the rename";
    EXPECT_EQ(text.count(QStringLiteral("Identifier=\"Notify\"")), 3);
    EXPECT_EQ(text.count(QStringLiteral("Parameter=\"ATotal\"")), 3) << "the values follow their parameter";
    EXPECT_EQ(text.count(QStringLiteral("Parameter=\"AText\"")), 3);
    EXPECT_NE(driver.FindByClasses(call.arg(1)), nullptr);
    EXPECT_EQ(driver.FindByClasses(call.arg(2)), nullptr) << "no value for the deleted parameter";
    for (TStoreMode mode : kStoreModes) after[int(mode)] = driver.Save(mode);

    while (driver.UndoSteps() > steps) ASSERT_TRUE(driver.Undo());
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), before[int(mode)].toStdString()) << ModeName(mode);
    while (driver.Redo()) {
    }
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), after[int(mode)].toStdString()) << ModeName(mode);
}

// The values of a call were made again under new numbers when the step that
// named the callee was redone, so that the typing into them, redone next,
// found nothing: every argument was lost.
TEST_F(StatementsModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    ExpectEveryStepUndoneAndRedone(driver, BuildStatementsModule);
}

// Laid out on the sheet: a call's values stand in a row, and one below the
// other once a value is wider than 300 pixels; undoing that puts them back.
TEST_F(StatementsModule, CallValuesStandInARowUntilOneIsWiderThanTheLimit) {
    BuildStatementsModule(driver);
    const QString call = QStringLiteral("TElement_Method[0]/TCommandsContainerWithResult/TElement_IfThen/"
                                        "TCommandsContainer[0]/TElement_IdentifierInMethod/TIdentifierParameterValues/"
                                        "TIdentifierParameterValue[%1]");
    TVisualElement* first = driver.Place(call.arg(0));
    TVisualElement* second = driver.Place(call.arg(1));
    EXPECT_EQ(second->Top(), first->Top()) << "in a row";
    EXPECT_GE(second->Left(), first->Left() + first->Width());
    driver.Focus(call.arg(0));
    driver.SelectAll();
    driver.Type(QString(60, QLatin1Char('7')));
    ASSERT_GT(first->Width(), 300);
    EXPECT_GE(second->Top(), first->Top() + first->Height()) << "one below the other";
    EXPECT_EQ(second->Left(), first->Left());
    driver.Undo();
    EXPECT_EQ(second->Top(), first->Top()) << "in a row again";
}

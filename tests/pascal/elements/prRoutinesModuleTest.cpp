// The routines and operators module built as a user builds it: it checks
// clean, saves, loads and saves again byte for byte in both store modes, and
// every step undoes back to the empty scheme.

#include "pascal/driver/moduleChecks.h"
#include "pascal/driver/routinesModule.h"

#include <gtest/gtest.h>

namespace {

class RoutinesModule : public ::testing::Test {
protected:
    TSheetDriver driver{RoutinesModuleRootClass(), RoutinesModuleName()};
};

}  // namespace

TEST_F(RoutinesModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildRoutinesModule(driver);
    ExpectCleanAndSavedByteForByteInBothModes(driver);
}

TEST_F(RoutinesModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    ExpectEveryStepUndoneAndRedone(driver, BuildRoutinesModule);
}

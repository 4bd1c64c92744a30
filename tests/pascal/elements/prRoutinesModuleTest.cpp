// The routines and operators module built as a user builds it: it checks
// clean, saves, loads and saves again byte for byte in both store modes, and
// every step undoes back to the empty scheme.

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
    EXPECT_EQ(Lines(driver.Check()), "");
    for (TStoreMode mode : kStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread), "") << ModeName(mode);
        EXPECT_EQ(Lines(loaded.Messages), "") << ModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << ModeName(mode);
    }
}

TEST_F(RoutinesModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    QByteArray empty[2], built[2];
    for (TStoreMode mode : kStoreModes) empty[int(mode)] = driver.Save(mode);
    BuildRoutinesModule(driver);
    for (TStoreMode mode : kStoreModes) built[int(mode)] = driver.Save(mode);
    while (driver.Undo()) {
    }
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), empty[int(mode)].toStdString()) << ModeName(mode);
    while (driver.Redo()) {
    }
    for (TStoreMode mode : kStoreModes)
        EXPECT_EQ(driver.Save(mode).toStdString(), built[int(mode)].toStdString()) << ModeName(mode);
}

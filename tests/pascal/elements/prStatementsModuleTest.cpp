// The statements and calls module built as a user builds it: it checks
// clean, saves, loads and saves again byte for byte in both store modes.

#include "pascal/driver/statementsModule.h"

#include <gtest/gtest.h>

namespace {

class StatementsModule : public ::testing::Test {
protected:
    TSheetDriver driver{StatementsModuleRootClass(), StatementsModuleName()};
};

}  // namespace

TEST_F(StatementsModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildStatementsModule(driver);
    EXPECT_EQ(Lines(driver.Check()), "");
    for (TStoreMode mode : kStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread), "") << ModeName(mode);
        EXPECT_EQ(Lines(loaded.Messages), "") << ModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << ModeName(mode);
    }
}

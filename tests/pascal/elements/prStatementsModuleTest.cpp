// The statements and calls module built as a user builds it: it checks
// clean, saves, loads and saves again byte for byte in both store modes.

#include "pascal/driver/statementsModule.h"

#include <gtest/gtest.h>

namespace {

constexpr TStoreMode kStatementStoreModes[] = {TStoreMode::File, TStoreMode::Snapshot};

const char* StatementModeName(TStoreMode mode) { return mode == TStoreMode::File ? "file" : "snapshot"; }

std::string StatementLines(const QStringList& list) { return list.join(u'\n').toStdString(); }

class StatementsModule : public ::testing::Test {
protected:
    TSheetDriver driver{StatementsModuleRootClass(), StatementsModuleName()};
};

}  // namespace

TEST_F(StatementsModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildStatementsModule(driver);
    EXPECT_EQ(StatementLines(driver.Check()), "");
    for (TStoreMode mode : kStatementStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(StatementLines(loaded.Unread), "") << StatementModeName(mode);
        EXPECT_EQ(StatementLines(loaded.Messages), "") << StatementModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << StatementModeName(mode);
    }
}

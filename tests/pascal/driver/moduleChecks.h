// The two checks every fixture module passes: built, it checks clean and
// saves, loads and saves again byte for byte in file and snapshot mode; every
// step undone gives the empty scheme's bytes, every step redone the module's.
#pragma once

#include "pascal/driver/sheetDriver.h"

#include <gtest/gtest.h>

#include <functional>

// The module is built on driver already.
inline void ExpectCleanAndSavedByteForByteInBothModes(TSheetDriver& driver) {
    EXPECT_EQ(Lines(driver.Check()), "");
    for (TStoreMode mode : kStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread), "") << ModeName(mode);
        EXPECT_EQ(Lines(loaded.Messages), "") << ModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << ModeName(mode);
    }
}

// build makes the module on driver's empty scheme.
inline void ExpectEveryStepUndoneAndRedone(TSheetDriver& driver, const std::function<void(TSheetDriver&)>& build) {
    QByteArray empty[2], built[2];
    for (TStoreMode mode : kStoreModes) empty[int(mode)] = driver.Save(mode);
    build(driver);
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

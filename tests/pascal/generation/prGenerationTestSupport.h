#pragma once
// Shared helpers of the generation tests: fixture modules built through the
// sheet driver on the program module's root and saved as "prm" files, and
// units generated from private copies of loaded modules.

#include "pascal/driver/sheetDriver.h"
#include "pascal/generation/prPascalUnitGenerator.h"

#include <QString>
#include <QStringList>

#include <memory>

// A sheet driver on the program module's root.
std::unique_ptr<TSheetDriver> ProgramDriver();

// The driver's module saved as the "prm" file fileName in the driver's
// folder and loaded from there into a scheme with no undo history: a private
// copy that generation may change (the files the module names stay beside it
// while the driver lives).
std::unique_ptr<TScheme> SaveAndLoadModule(TSheetDriver& driver, const QString& fileName);
// A scheme loaded from a "prm" file.
std::unique_ptr<TScheme> LoadModuleFile(const QString& path);

// What one generation run gave.
struct TGenerated {
    QString Text;
    QStringList Messages;  // the run's messages of kind 2 or more
};
TGenerated Generate(TScheme* scheme, const QString& moduleName, bool simplify = false);

#pragma once
// A fixture module built through the sheet driver with the value elements of
// a scheme file: named texts (a code text with a description), substitutions,
// a replacement with its options, a processing date and a folder and a file
// name chosen through their dialogs. Each step is what a user does: focus a
// place, click a palette item, type.

#if QUILLANE_TEST_LAYER >= 5

#include "pascal/driver/sheetDriver.h"

// The root class and scheme name the module is built on.
const TElementClass* ValuesModuleRootClass();
QString ValuesModuleName();

// Builds the module into the driver's empty scheme; the test stops at the
// first step the sheet refuses, naming it.
void BuildValuesModule(TSheetDriver& driver);

#endif

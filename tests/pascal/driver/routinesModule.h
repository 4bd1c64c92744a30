#pragma once
// A fixture module of routines and operators built through the sheet driver
// on a program root: a function with parameters of every kind and option, a
// calling convention and a result, a procedure, a method type in module, and
// fields whose values are chains of comparisons and operations with
// additional values. Each step is what a user does: focus a place, click a
// palette item, type.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

// The root class and scheme name the module is built on.
const TElementClass* RoutinesModuleRootClass();
QString RoutinesModuleName();

// Builds the module into the driver's empty scheme; the test stops at the
// first step the sheet refuses, naming it.
void BuildRoutinesModule(TSheetDriver& driver);

#endif

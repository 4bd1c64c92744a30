#pragma once
// A fixture module of statements and calls built through the sheet driver on
// a program root: a small stock keeper whose routines use every statement of
// a routine body (assignments, conditions, loops with Break and Continue,
// Case, Rockfall, Inc, Dec, Return, Assert, Error) and identifiers that call
// routines with parameter values, declared both before and after the call.
// Each step is what a user does: focus a place, click a palette item, type.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

const TElementClass* StatementsModuleRootClass();
QString StatementsModuleName();

// Builds the module into the driver's empty scheme; the test stops at the
// first step the sheet refuses, naming it.
void BuildStatementsModule(TSheetDriver& driver);

#endif

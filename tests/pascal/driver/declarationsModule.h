#pragma once
// Two fixture modules of program declarations built through the sheet driver
// on a program root, each step what a user does: focus a place, click a
// palette item or run it by its key, type.
// - The unit-level module: uses, constants built on constants with every
//   simple value element, an enumeration with items, a set type and a
//   generated prefix, nested records, arrays with and without bounds, a
//   pointer, an alias of an alias, and typed variables with initial values,
//   a chosen visibility, access to private members and descriptions.
// - The local module: the same kinds of declarations made inside a routine
//   body, where the palette places them otherwise, with a code block, and
//   locals that refer to the unit's names.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

// The root class and scheme name both modules are built on.
const TElementClass* DeclarationsModuleRootClass();
QString DeclarationsModuleName();

// Build a module into the driver's empty scheme; the test stops at the first
// step the sheet refuses, naming it.
void BuildDeclarationsModule(TSheetDriver& driver);
void BuildLocalDeclarationsModule(TSheetDriver& driver);

#endif

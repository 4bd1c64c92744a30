#pragma once
// A fixture module of object types built through the sheet driver on a
// program root: a small drawing unit whose shapes form a hierarchy. An
// Abstract base with a class-of name, construction and destruction sections,
// a field, a locker and a notification locked by it, an event with a
// parameter, a double method, a private method that descendants may call and
// override, a class method and a constructor; a Final label; a box that
// descends from the shape, holds a label as a sub-object, overrides the
// shape's method and calls its members (one with a parameter value); a
// method type of an object; a form whose handlers take the shape's event and
// the method type; and at unit level a field of the class-of type valued by
// the box, the shapes' count read without an instance, and its half and
// whole pairs (the two "Dividing" items).

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

// The root class and scheme name the module is built on.
const TElementClass* ObjectsModuleRootClass();
QString ObjectsModuleName();

// Builds the module into the driver's empty scheme; the test stops at the
// first step the sheet refuses, naming it.
void BuildObjectsModule(TSheetDriver& driver);

#endif

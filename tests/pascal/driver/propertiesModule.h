#pragma once
// A fixture module of properties built through the sheet driver on a program
// root: a playlist object whose properties are of the four kinds (a volume
// kept in a field, a caption with a parameter, marks by index with their
// count, the current track as a lazily made sub-object) and a read-only class
// property, a locker and a method that resets the playlist inside the locker
// (In Lock), reading a mark by its index; the track learns its playlist
// (Self) when the playlist makes it.
// Each step is what a user does: focus a place, click a palette item, type.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

const TElementClass* PropertiesModuleRootClass();
QString PropertiesModuleName();

// Builds the module into the driver's empty scheme; the test stops at the
// first step the sheet refuses, naming it.
void BuildPropertiesModule(TSheetDriver& driver);

#endif

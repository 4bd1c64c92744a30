#pragma once
// A fixture module joined to another by a file connection, built through the
// sheet driver on a program root: a player that connects to the file of the
// properties module under the name "Lib", keeps a playlist of the library's
// object type, and whose routines call one another in both directions of
// their order and reach the playlist's members (a method, properties with a
// setter and a class property) through the connection.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/driver/sheetDriver.h"

// Builds the module into the driver's empty scheme, connecting to
// libraryFile (a saved properties module) through the file dialog. The
// driver's scheme must answer for that file (TScheme::OnGetConnectedScheme).
void BuildPlayerModule(TSheetDriver& driver, const QString& libraryFile);

#endif

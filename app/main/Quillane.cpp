// The program. Until the main window exists it initialises the units of every
// layer in order, finalises them in reverse and ends.

#include "app/unStartup.h"
#include "core/cuClasses.h"
#include "core/cuUnits.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TUnitRegistry units;
    RegisterAllUnits(units);
    try {
        units.InitializeAll();
    } catch (...) {
        // Nothing can be shown before the units stand: the text goes to the log.
        LogCurrentException("Quillane could not start");
        return 1;  // the registry finalises what did start
    }
    units.FinalizeAll();
    return 0;
}

// The program. Until the main window exists it initialises the units of every
// layer in order, finalises them in reverse and ends.

#include "app/unStartup.h"
#include "core/cuUnits.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TUnitRegistry units;
    RegisterAllUnits(units);
    units.InitializeAll();
    units.FinalizeAll();
    return 0;
}

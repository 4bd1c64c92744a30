// The program. Until the main window exists it initialises the units that
// exist, reports them, and ends.

#include "app/unStartup.h"
#include "core/cuUnits.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TUnitRegistry units;
    RegisterAllUnits(units);
    units.InitializeAll();
    QTextStream(stdout) << "Quillane: initialised " << units.InitializedNames().join(QStringLiteral(", ")) << "\n";
    units.FinalizeAll();
    return 0;
}

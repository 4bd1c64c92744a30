// The program: the units of every layer start in order, then the global data
// module (the user's files, the settings, the language). Until the main
// window exists the program then does what closing it does (the user's files
// are written), lets the data module go, finalises the units in reverse and
// ends.

#include "app/unGlobal.h"
#include "app/unStartup.h"
#include "core/cuClasses.h"
#include "core/cuUnits.h"
#include "core/cuUtils.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program's windows carry their own titles, without a suffix.
    QGuiApplication::setApplicationDisplayName(QString());
    TUnitRegistry units;
    RegisterAllUnits(units);
    try {
        units.InitializeAll();
    } catch (...) {
        // Nothing can be shown before the units stand: the text goes to the log.
        LogCurrentException("Quillane could not start");
        return 1;  // the registry finalises what did start
    }
    int result = 0;
    try {
        const std::unique_ptr<TGlobal> global = TGlobal::Create(TGlobalSetup::FromProcess());
        // The main window comes here; its closing writes the user's files.
        global->SaveAtShutdown();
    } catch (...) {
        ShowCurrentException("Starting the program");
        result = 1;
    }
    units.FinalizeAll();
    return result;
}

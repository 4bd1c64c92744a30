// The program: the units of every layer start in order, then the global data
// module (the user's files, the settings, the language), then the main
// window. Batch mode ("-exit") ends before the message loop and writes no
// session; otherwise closing the window writes the user's files. Then the
// window and the data module go and the units finalise in reverse.

#include "app/unAppMainForm.h"
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
        std::unique_ptr<TAppMainForm> form = StartMainWindow(*global);
        result = RunMainWindow(*form);
        form.reset();
    } catch (...) {
        ShowCurrentException("Starting the program");
        result = 1;
    }
    units.FinalizeAll();
    return result;
}

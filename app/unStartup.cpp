#include "app/unStartup.h"

#include "core/cuUnits.h"
#include "scheme/diUnits.h"
#include "text/diTextUnits.h"
#include "elements/diElementsUnits.h"
#include "pascal/elements/prUnits.h"
#include "ui/diUiUnits.h"

void RegisterAllUnits(TUnitRegistry& units) {
    RegisterCoreUnits(units);
    RegisterSchemeUnits(units);
    RegisterTextUnits(units);
    RegisterElementsUnits(units);
    RegisterPascalElementsUnits(units);
    RegisterUiUnits(units);
}

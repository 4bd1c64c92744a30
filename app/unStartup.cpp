#include "app/unStartup.h"

#include "core/cuUnits.h"
#include "scheme/diUnits.h"
#include "text/diTextUnits.h"

void RegisterAllUnits(TUnitRegistry& units) {
    RegisterCoreUnits(units);
    RegisterSchemeUnits(units);
    RegisterTextUnits(units);
}

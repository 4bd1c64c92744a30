#include "app/unStartup.h"

#include "core/cuUnits.h"
#include "scheme/diUnits.h"

void RegisterAllUnits(TUnitRegistry& units) {
    RegisterCoreUnits(units);
    RegisterSchemeUnits(units);
}

#include "app/unStartup.h"

#include "core/cuUnits.h"

void RegisterAllUnits(TUnitRegistry& units) {
    RegisterCoreUnits(units);
}

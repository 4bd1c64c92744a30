#include "elements/diElementsUnits.h"

#include "core/cuUnits.h"
#include "elements/diTitled.h"

#include <QStringList>

void RegisterElementsUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("diTitled"), InitTitledUnit, FinalTitledUnit);
}

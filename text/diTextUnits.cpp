#include "text/diTextUnits.h"

#include "core/cuUnits.h"
#include "text/diTextorElement.h"

#include <QStringList>

void RegisterTextUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("diTextorElement"), InitTextorElementUnit, FinalTextorElementUnit);
}

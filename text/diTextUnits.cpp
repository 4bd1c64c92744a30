#include "text/diTextUnits.h"

#include "core/cuUnits.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <QStringList>

void RegisterTextUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("diTextorElement"), InitTextorElementUnit, FinalTextorElementUnit);
    registry.Add(QStringLiteral("diTextorInteractive"), RegisterTextorCursors);
}

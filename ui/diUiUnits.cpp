#include "ui/diUiUnits.h"

#include "core/cuUnits.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QString>

void RegisterUiUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("diSheetForm"), InitSheetFormUnit, FinalSheetFormUnit);
    registry.Add(QStringLiteral("diPaletteForm"), InitPaletteFormUnit, FinalPaletteFormUnit);
}

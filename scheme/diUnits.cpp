#include "scheme/diUnits.h"

#include "core/cuUnits.h"
#include "scheme/diCanvas.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"
#include "scheme/diSounds.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diUtils.h"

#include <QStringList>

void RegisterSchemeUnits(TUnitRegistry& registry) {
    // The palette first, then the element images and class groups, the
    // "Sounds" section and the Disable item; finalised in reverse.
    registry.Add(QStringLiteral("diPalette"), InitPaletteUnit, FinalPaletteUnit);
    registry.Add(QStringLiteral("diSchemeImages"), InitSchemeImagesUnit, FinalSchemeImagesUnit);
    registry.Add(QStringLiteral("diSounds"), InitSoundsUnit, FinalSoundsUnit);
    registry.Add(QStringLiteral("diPaletteDisableItem"), InitDisablePaletteItem, {});
    registry.Add(QStringLiteral("diTextorAttributes"), InitTextorAttributesUnit, FinalTextorAttributesUnit);
    registry.Add(QStringLiteral("diCanvas"), InitCanvasUnit, FinalCanvasUnit);
    registry.Add(QStringLiteral("diNaming"), InitNamingUnit, FinalNamingUnit);
}

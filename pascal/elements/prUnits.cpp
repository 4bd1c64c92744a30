#include "pascal/elements/prUnits.h"

#include "core/cuUnits.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prStandard.h"

#include <QString>

void RegisterPascalElementsUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("prStandard"), InitStandardUnit, FinalStandardUnit);
    registry.Add(QStringLiteral("prCommon"), InitCommonUnit, FinalCommonUnit);
}

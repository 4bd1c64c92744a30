#include "elements/diElementsUnits.h"

#include "core/cuUnits.h"
#include "elements/coFunctionElements.h"
#include "elements/coGeneration.h"
#include "elements/coRoot.h"
#include "elements/coValueElements.h"
#include "elements/diBaseElements.h"
#include "elements/diCommonElements.h"
#include "elements/diDataElement.h"
#include "elements/diLog.h"
#include "elements/diNamingElements.h"
#include "elements/diPathElements.h"
#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"

#include <QStringList>

void RegisterElementsUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("diSimpleElements"), RegisterExpandButtonCursor);
    registry.Add(QStringLiteral("diTitled"), InitTitledUnit, FinalTitledUnit);
    registry.Add(QStringLiteral("diTitledComments"), InitCommentsUnit, FinalCommentsUnit);
    registry.Add(QStringLiteral("diNamingElements"), InitNamingElementsUnit, FinalNamingElementsUnit);
    registry.Add(QStringLiteral("diBaseElements"), InitBaseElementsUnit, FinalBaseElementsUnit);
    registry.Add(QStringLiteral("diCommonElements"), InitCommonElementsUnit, FinalCommonElementsUnit);
    registry.Add(QStringLiteral("diLog"), InitLogUnit, FinalLogUnit);
    registry.Add(QStringLiteral("diPathElements"), InitPathElementsUnit, FinalPathElementsUnit);
    registry.Add(QStringLiteral("diDataElement"), InitDataElementUnit, FinalDataElementUnit);
    registry.Add(QStringLiteral("coRoot"), InitRootUnit, FinalRootUnit);
    registry.Add(QStringLiteral("coValueElements"), InitValueElementsUnit, FinalValueElementsUnit);
    registry.Add(QStringLiteral("coGeneration"), InitGenerationUnit, FinalGenerationUnit);
    registry.Add(QStringLiteral("coFunctionElements"), InitFunctionElementsUnit, FinalFunctionElementsUnit);
}

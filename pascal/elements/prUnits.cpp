#include "pascal/elements/prUnits.h"

#include "core/cuUnits.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prPropertyElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/elements/prStandard.h"

#include <QString>

void RegisterPascalElementsUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("prStandard"), InitStandardUnit, FinalStandardUnit);
    registry.Add(QStringLiteral("prCommon"), InitCommonUnit, FinalCommonUnit);
    registry.Add(QStringLiteral("prCommandsContainer"), InitCommandsContainerUnit, FinalCommandsContainerUnit);
    // The declaration units come here, in their order.
    registry.Add(QStringLiteral("prClassElements"), InitClassElementsUnit, FinalClassElementsUnit);
    registry.Add(QStringLiteral("prClassMemberElements"), InitClassMemberElementsUnit, FinalClassMemberElementsUnit);
    registry.Add(QStringLiteral("prMethodElements"), InitMethodElementsUnit, FinalMethodElementsUnit);
    registry.Add(QStringLiteral("prSimpleElements"), InitSimpleElementsUnit, FinalSimpleElementsUnit);
    registry.Add(QStringLiteral("prFieldElements"), InitFieldElementsUnit, FinalFieldElementsUnit);
    registry.Add(QStringLiteral("prExpressionElements"), InitExpressionElementsUnit, FinalExpressionElementsUnit);
    registry.Add(QStringLiteral("prExpressionExElements"), InitExpressionExElementsUnit, FinalExpressionExElementsUnit);
    registry.Add(QStringLiteral("prIdentifierElements"), InitIdentifierElementsUnit, FinalIdentifierElementsUnit);
    registry.Add(QStringLiteral("prCommandElements"), InitCommandElementsUnit, FinalCommandElementsUnit);
    registry.Add(QStringLiteral("prPropertyElements"), InitPropertyElementsUnit, FinalPropertyElementsUnit);
    registry.Add(QStringLiteral("prCustomFieldElements"), InitCustomFieldElementsUnit, FinalCustomFieldElementsUnit);
    // The program kind, once the classes its root takes are there.
    registry.Add(QStringLiteral("prScheme"), InitSchemeUnit, FinalSchemeUnit);
}

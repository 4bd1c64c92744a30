#include "core/cuUnits.h"

#include "core/cuClasses.h"
#include "core/cuDeviceContextManager.h"
#include "core/cuLocalization.h"
#include "core/umGDIPlus.h"
#include "platform/plMemory.h"

#include <QStringList>

TUnitRegistry::~TUnitRegistry() { FinalizeAll(); }

void TUnitRegistry::Add(const QString& name, std::function<void()> init, std::function<void()> final) {
    m_units.push_back({name, std::move(init), std::move(final)});
}

void TUnitRegistry::InitializeAll() {
    for (Unit& u : m_units) {
        if (u.initialized) continue;
        if (u.init) u.init();
        u.initialized = true;
    }
}

void TUnitRegistry::FinalizeAll() {
    for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) {
        if (!it->initialized) continue;
        it->initialized = false;
        try {
            if (it->final) it->final();
        } catch (...) {
            LogCurrentException(qUtf8Printable(QStringLiteral("Finalising %1 raised").arg(it->name)));
        }
    }
}

QStringList TUnitRegistry::InitializedNames() const {
    QStringList names;
    for (const Unit& u : m_units)
        if (u.initialized) names << u.name;
    return names;
}

void RegisterCoreUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("plMemory"), KeepFreedMemoryForReuse);
    registry.Add(QStringLiteral("cuLocalization"), InitLocalizationUnit, FinalLocalizationUnit);
    registry.Add(QStringLiteral("cuDeviceContextManager"), InitDeviceContextManagerUnit, FinalDeviceContextManagerUnit);
    registry.Add(QStringLiteral("umGDIPlus"), InitGDIPlusUnit, FinalGDIPlusUnit);
}

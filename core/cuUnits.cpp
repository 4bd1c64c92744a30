#include "core/cuUnits.h"

#include "core/cuDeviceContextManager.h"
#include "core/cuLocalization.h"

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
        if (it->final) it->final();
    }
}

QStringList TUnitRegistry::InitializedNames() const {
    QStringList names;
    for (const Unit& u : m_units)
        if (u.initialized) names << u.name;
    return names;
}

void RegisterCoreUnits(TUnitRegistry& registry) {
    registry.Add(QStringLiteral("cuLocalization"), InitLocalizationUnit, FinalLocalizationUnit);
    registry.Add(QStringLiteral("cuDeviceContextManager"), InitDeviceContextManagerUnit, FinalDeviceContextManagerUnit);
}

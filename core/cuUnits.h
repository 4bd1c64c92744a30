#pragma once
// Explicit, ordered initialisation and finalisation of the units. Each layer
// offers one Register...Units function; the program's main and the test main
// call them in layer order, then InitializeAll. Finalisation runs in reverse.

#include <QString>

#include <functional>
#include <vector>

class TUnitRegistry {
public:
    TUnitRegistry() = default;
    ~TUnitRegistry();
    TUnitRegistry(const TUnitRegistry&) = delete;
    TUnitRegistry& operator=(const TUnitRegistry&) = delete;

    void Add(const QString& name, std::function<void()> init, std::function<void()> final = {});
    // Runs every initialisation not yet run, in the order added.
    void InitializeAll();
    // Runs the finalisations of the initialised units, last first. One that
    // raises is logged and the others still run.
    void FinalizeAll();
    QStringList InitializedNames() const;

private:
    struct Unit {
        QString name;
        std::function<void()> init;
        std::function<void()> final;
        bool initialized = false;
    };
    std::vector<Unit> m_units;
};

// The units of the core library.
void RegisterCoreUnits(TUnitRegistry& registry);

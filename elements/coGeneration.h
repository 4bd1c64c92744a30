#pragma once
// The settings that govern generated files and the "Execute" palette command.
//   TGenerationSettings   the section "Generation", made by the unit's start-up step

#include "core/cuProps.h"

class TBooleanProperty;
class TPaletteItem;

class TGenerationSettings : public TProperty {
    T_CLASS(TGenerationSettings)
public:
    TGenerationSettings() = default;

    // The five switches in their order: "MakeReadOnly" (false), "InsertWarning",
    // "InsertSourceName", "InsertDate" (true) and "InsertTime" (false).
    void CreateProperties();

    // A registered output file is made read-only.
    TBooleanProperty* MakeReadOnly() const noexcept { return m_makeReadOnly; }
    // Kept for the generators that write notes into their files.
    TBooleanProperty* InsertWarning() const noexcept { return m_insertWarning; }
    TBooleanProperty* InsertSourceName() const noexcept { return m_insertSourceName; }
    TBooleanProperty* InsertDate() const noexcept { return m_insertDate; }
    TBooleanProperty* InsertTime() const noexcept { return m_insertTime; }

protected:
    ~TGenerationSettings() override = default;

private:
    TBooleanProperty* m_makeReadOnly = nullptr;
    TBooleanProperty* m_insertWarning = nullptr;
    TBooleanProperty* m_insertSourceName = nullptr;
    TBooleanProperty* m_insertDate = nullptr;
    TBooleanProperty* m_insertTime = nullptr;
};

// The section and the "Execute" command (valid between the unit's
// initialisation and finalisation; nil outside).
TGenerationSettings* GenerationSettings() noexcept;
TPaletteItem* ExecutePaletteItem() noexcept;

void InitGenerationUnit();
void FinalGenerationUnit();

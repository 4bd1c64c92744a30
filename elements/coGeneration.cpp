#include "elements/coGeneration.h"

#include "core/cuStringIds.h"
#include "scheme/diPalette.h"

namespace {

constexpr int kExecuteItemOrder = 100;

struct TGenerationUnit {
    TNodePtr<TGenerationSettings> settings;
    TPaletteItem* execute = nullptr;
};
TGenerationUnit g_generationUnit;

}  // namespace

T_CLASS_IMPL(TGenerationSettings, TProperty)

void TGenerationSettings::CreateProperties() {
    m_makeReadOnly = TProperty::Create<TBooleanProperty>(this, QStringLiteral("MakeReadOnly"), false);
    m_insertWarning = TProperty::Create<TBooleanProperty>(this, QStringLiteral("InsertWarning"), true);
    m_insertSourceName = TProperty::Create<TBooleanProperty>(this, QStringLiteral("InsertSourceName"), true);
    m_insertDate = TProperty::Create<TBooleanProperty>(this, QStringLiteral("InsertDate"), true);
    m_insertTime = TProperty::Create<TBooleanProperty>(this, QStringLiteral("InsertTime"), false);
}

TGenerationSettings* GenerationSettings() noexcept { return g_generationUnit.settings.get(); }
TPaletteItem* ExecutePaletteItem() noexcept { return g_generationUnit.execute; }

void InitGenerationUnit() {
    g_generationUnit.settings = TProperty::CreateRoot<TGenerationSettings>(QStringLiteral("Generation"));
    g_generationUnit.settings->CreateProperties();
    // No element of this library acts on it; generators' documents do.
    g_generationUnit.execute = TSchemePaletteItem::Create(PaletteActionsGroup(), 0, NoImageIndex, strExecute,
                                                          strExecuteHint, kExecuteItemOrder);
}

void FinalGenerationUnit() { g_generationUnit = TGenerationUnit(); }

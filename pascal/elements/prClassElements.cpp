#include "pascal/elements/prClassElements.h"

#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

#include <QString>

#include <memory>

namespace {

// Pictures of "prClassElementsSmallImages" (S) and "...LargeImages" (L).
enum : int { kSmallWithoutInstance = 6, kLargeWithoutInstance = 2 };
constexpr int kWithoutInstanceOrder = 5;

struct TClassUnit {
    TImageStrip smallImages;
    TImageStrip largeImages;
    TSchemePaletteItem* withoutInstance = nullptr;
};
std::unique_ptr<TClassUnit> g_classUnit;

}  // namespace

TSchemePaletteItem* WithoutInstancePaletteItem() noexcept {
    return g_classUnit ? g_classUnit->withoutInstance : nullptr;
}

int WithoutInstanceTitlePicture() noexcept {
    return g_classUnit ? g_classUnit->smallImages.Picture(kSmallWithoutInstance) : NoImageIndex;
}

void InitClassElementsUnit() {
    if (g_classUnit) return;
    auto unit = std::make_unique<TClassUnit>();
    unit->smallImages = TImageStrip::Load(SchemeSmallImages(), QStringLiteral("prClassElementsSmallImages"));
    unit->largeImages = TImageStrip::Load(SchemeLargeImages(), QStringLiteral("prClassElementsLargeImages"));
    if (PaletteOptionsGroup())
        unit->withoutInstance = TSchemePaletteItem::Create(
            PaletteOptionsGroup(), uint16_t(pifLargeImage | pifChangesElement | pifToggle),
            unit->largeImages.Picture(kLargeWithoutInstance), strWithoutInstance, strWithoutInstanceHint,
            kWithoutInstanceOrder);
    g_classUnit = std::move(unit);
}

void FinalClassElementsUnit() {
    // The palette entries belong to the palette.
    g_classUnit.reset();
}

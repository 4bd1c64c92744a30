#pragma once
// Object types and the members that only make sense in an object. For now
// the unit holds the "Without Instance" option, which methods (and later
// properties) offer when their owner allows class methods.

class TSchemePaletteItem;

// "Without Instance" in the "Options" group (valid between the unit's
// initialisation and finalisation; nil outside).
TSchemePaletteItem* WithoutInstancePaletteItem() noexcept;
// The small picture a title shows for a member without instance.
int WithoutInstanceTitlePicture() noexcept;

void InitClassElementsUnit();
void FinalClassElementsUnit();

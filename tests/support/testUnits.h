#pragma once
// Registers the units of every layer that the test program links, in layer
// order. QUILLANE_TEST_LAYER counts the layers linked (platform is 1, core 2).

#include "core/cuUnits.h"
#if QUILLANE_TEST_LAYER >= 3
#include "scheme/diUnits.h"
#endif

inline void RegisterTestUnits(TUnitRegistry& units) {
#if QUILLANE_TEST_LAYER >= 2
    RegisterCoreUnits(units);
#if QUILLANE_TEST_LAYER >= 3
    RegisterSchemeUnits(units);
#endif
#else
    (void)units;
#endif
}

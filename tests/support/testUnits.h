#pragma once
// Registers the units of every layer that the test program links, in layer
// order. QUILLANE_TEST_LAYER counts the layers linked (platform is 1, core 2;
// the Pascal generation layer, 8, registers no units).

#include "core/cuUnits.h"
#if QUILLANE_TEST_LAYER >= 3
#include "scheme/diUnits.h"
#endif
#if QUILLANE_TEST_LAYER >= 4
#include "text/diTextUnits.h"
#endif
#if QUILLANE_TEST_LAYER >= 5
#include "elements/diElementsUnits.h"
#endif
#if QUILLANE_TEST_LAYER >= 7
#include "pascal/elements/prUnits.h"
#endif
#if QUILLANE_TEST_LAYER >= 9
#include "ui/diUiUnits.h"
#endif

inline void RegisterTestUnits(TUnitRegistry& units) {
#if QUILLANE_TEST_LAYER >= 2
    RegisterCoreUnits(units);
#if QUILLANE_TEST_LAYER >= 3
    RegisterSchemeUnits(units);
#endif
#if QUILLANE_TEST_LAYER >= 4
    RegisterTextUnits(units);
#endif
#if QUILLANE_TEST_LAYER >= 5
    RegisterElementsUnits(units);
#endif
#if QUILLANE_TEST_LAYER >= 7
    RegisterPascalElementsUnits(units);
#endif
#if QUILLANE_TEST_LAYER >= 9
    RegisterUiUnits(units);
#endif
#else
    (void)units;
#endif
}

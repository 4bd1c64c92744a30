#pragma once
// The sheet fixture lives in the test support, beside the visual test kinds.

#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "support/testVisualElements.h"

#pragma once
// The column layout of the benchmarks' plain container elements.

#include "scheme/diVisual.h"

#include <algorithm>

namespace benchsheets {

// Places the visual children of `column` one below the other and sizes it
// to hold them.
inline void StackInAColumn(TVisualElement& column) {
    int y = 0, width = 0;
    for (TVisualElement* c = column.FirstVisualChild(); c; c = c->NextVisualSibling()) {
        c->SetPosition(0, y);
        y += c->Height();
        width = std::max(width, c->Width());
    }
    column.SetSize(width, y);
}

}  // namespace benchsheets

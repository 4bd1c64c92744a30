#pragma once
// The system colours the model asks for. Fixed fallbacks keep headless runs
// deterministic; the user interface may set the desktop's values at start-up.

#include <QRgb>

enum class TSystemColor {
    Window,
    WindowText,
    Highlight,
    HighlightText,
    BtnFace,
    GrayText,
    BtnHighlight,  // the lit side of a raised edge
    BtnLight,      // the inner lit side of a push-button frame
    BtnShadow,     // the shaded side of a raised edge
    BtnDkShadow,   // the outer shaded side of a push-button frame
    BtnText,
    WindowFrame,
    Count
};

QRgb GetSystemColor(TSystemColor color) noexcept;
void SetSystemColor(TSystemColor color, QRgb value) noexcept;
// Back to the fixed fallbacks.
void ResetSystemColors() noexcept;
// The width of a window border in pixels (the default caret size).
int GetSystemBorderWidth() noexcept;

#pragma once
// The system colours the model asks for. Fixed fallbacks keep headless runs
// deterministic; the user interface may set the desktop's values at start-up.

#include <QRgb>

enum class TSystemColor { Window, WindowText, Highlight, HighlightText, BtnFace, GrayText, Count };

QRgb GetSystemColor(TSystemColor color) noexcept;
void SetSystemColor(TSystemColor color, QRgb value) noexcept;
// Back to the fixed fallbacks.
void ResetSystemColors() noexcept;
// The width of a window border in pixels (the default caret size).
int GetSystemBorderWidth() noexcept;

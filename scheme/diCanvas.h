#pragma once
// INTERIM: the sheet settings and the sheet canvas, reduced to what the
// visual elements and the sheet call, until the drawing units land. Colours
// and pictures are plain stand-ins for the theme's.

#include "core/cuClasses.h"
#include "core/cuTypes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <memory>

// Kinds of theme frames and pictures used here.
enum TSheetThemeElementKind : int {
    tekSheet = 0,
    tekUnaccepted,
    tekField,
    tekError,
    tekNeedValue,
    tekMark,
    tekExternalEditingMode,
    tekCount
};

constexpr int kSmallImageSize = 16;

class TSheetSettings : public TItfObject {
public:
    bool DropDownOnFocusNew = true;
};

inline bool SheetDropDownOnFocusNew(const TSheetSettings* settings) {
    return !settings || settings->DropDownOnFocusNew;
}

struct TSheetColors {
    QColor Window{255, 255, 255};
    QColor WindowText{0, 0, 0};
    QColor Highlight{0, 120, 215};
    QColor HighlightText{255, 255, 255};
};
inline TSheetColors SheetSystemColors() { return {}; }

class TSheetCanvas {
public:
    explicit TSheetCanvas(TSheetSettings* settings);
    ~TSheetCanvas();

    void Reset();
    // A paint pass: elements paint in sheet coordinates into a bitmap of rect.
    void BeginPaint(const TRect& rect);
    void EndPaint(QPainter& dc);
    QPainter& Painter() { return *m_painter; }
    void MoveOrigin(int dx, int dy);
    // The paint rectangle in the current element's coordinates.
    TRect GetPaintRect() const noexcept { return m_paintRect; }
    QPoint Offset() const noexcept { return m_offset; }

    void DrawDisabled(const TRect& rect);
    void DrawSelection(const TRect& rect, bool active);
    void DrawThemeFrame(int kind, const TRect& rect);
    void DrawThemeImage(int kind, QPoint p);
    QSize GetThemeSize(int kind) const;
    TRect GetThemePadding(int kind) const;
    void DrawCaret(int kind, const TRect& rect);
    void DrawSmallImage(QPoint p, int index);

    void TextOutFixed(int x, int y, QColor color, const QString& text);
    int TextWidthFixed(const QString& text) const;
    int FixedLineHeight() const noexcept { return m_fixedLineHeight; }
    int TextWidthCode(const QString& text) const;
    int CodeLineHeight() const noexcept { return m_codeLineHeight; }
    void TextOutCodeOn(QPainter& painter, const TRect& rect, QColor color, const QString& text) const;
    void DrawCharImageOn(QPainter& painter, QPoint p, int index) const;
    void DrawExpandMarkOn(QPainter& painter, QPoint p, bool expanded) const;

    static QColor DisableColor() { return QColor(255, 255, 255, 150); }
    static QColor SelectColor() { return QColor(51, 153, 255, 90); }
    static QColor SelectInactiveColor() { return QColor(160, 160, 160, 90); }

private:
    TSheetSettings* m_settings;
    QFont m_fixedFont, m_codeFont;
    int m_fixedLineHeight = 13, m_codeLineHeight = 13;
    QImage m_bitmap;
    std::unique_ptr<QPainter> m_painter;
    TRect m_rect, m_paintRect;
    QPoint m_offset;
};

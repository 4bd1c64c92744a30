#include "scheme/diCanvas.h"

#include <QFontMetrics>

namespace {
QFont MakeFont(const char* face) {
    QFont f(QString::fromLatin1(face));
    f.setPixelSize(11);
    f.setKerning(false);
    return f;
}
}  // namespace

TSheetCanvas::TSheetCanvas(TSheetSettings* settings) : m_settings(settings) { Reset(); }
TSheetCanvas::~TSheetCanvas() = default;

void TSheetCanvas::Reset() {
    m_fixedFont = MakeFont("DejaVu Sans Mono");
    m_codeFont = MakeFont("DejaVu Sans");
    m_fixedLineHeight = QFontMetrics(m_fixedFont).height();
    m_codeLineHeight = QFontMetrics(m_codeFont).height();
}

void TSheetCanvas::BeginPaint(const TRect& rect) {
    m_rect = m_paintRect = rect;
    m_offset = QPoint();
    m_bitmap = QImage(rect.Width(), rect.Height(), QImage::Format_ARGB32_Premultiplied);
    m_bitmap.fill(SheetSystemColors().Window);
    m_painter = std::make_unique<QPainter>(&m_bitmap);
    m_painter->translate(-rect.Left, -rect.Top);
}

void TSheetCanvas::EndPaint(QPainter& dc) {
    m_painter.reset();
    dc.drawImage(QPoint(m_rect.Left, m_rect.Top), m_bitmap);
    m_bitmap = QImage();
}

void TSheetCanvas::MoveOrigin(int dx, int dy) {
    m_painter->translate(dx, dy);
    m_paintRect = TRect{m_paintRect.Left - dx, m_paintRect.Top - dy, m_paintRect.Right - dx, m_paintRect.Bottom - dy};
    m_offset += QPoint(dx, dy);
}

void TSheetCanvas::DrawDisabled(const TRect& rect) { m_painter->fillRect(rect.ToQRect(), DisableColor()); }

void TSheetCanvas::DrawSelection(const TRect& rect, bool active) {
    m_painter->fillRect(rect.ToQRect(), active ? SelectColor() : SelectInactiveColor());
}

void TSheetCanvas::DrawThemeFrame(int kind, const TRect& rect) {
    QPainter& p = *m_painter;
    const QRect r = rect.ToQRect();
    switch (kind) {
    case tekSheet: p.fillRect(r, QColor(250, 250, 246)); break;
    case tekUnaccepted:
        p.fillRect(r, QColor(255, 235, 235));
        p.setPen(QColor(200, 60, 60));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        break;
    case tekMark:
        p.setPen(QPen(QColor(40, 110, 230), 2));
        p.drawRect(r.adjusted(1, 1, -1, -1));
        break;
    case tekExternalEditingMode:
        p.setPen(QPen(QColor(230, 150, 0), 2, Qt::DashLine));
        p.drawRect(r.adjusted(1, 1, -1, -1));
        break;
    default:
        p.setPen(QColor(120, 120, 120));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void TSheetCanvas::DrawThemeImage(int kind, QPoint at) {
    QPainter& p = *m_painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kind == tekError ? QColor(210, 40, 40) : QColor(240, 160, 20));
    const QSize s = GetThemeSize(kind);
    p.drawEllipse(QRect(at, s).adjusted(0, 0, -1, -1));
    p.setPen(Qt::white);
    p.drawLine(at.x() + s.width() / 2, at.y() + 2, at.x() + s.width() / 2, at.y() + s.height() - 5);
    p.restore();
}

QSize TSheetCanvas::GetThemeSize(int kind) const {
    if (kind == tekError || kind == tekNeedValue) return QSize(11, 11);
    return QSize(8, 8);
}

TRect TSheetCanvas::GetThemePadding(int kind) const {
    if (kind == tekUnaccepted) return TRect{3, 2, 3, 2};
    return TRect{};
}

void TSheetCanvas::DrawCaret(int kind, const TRect& rect) {
    QPainter& p = *m_painter;
    p.save();
    p.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    TRect r = rect;
    const int count = kind == 2 ? 2 : 1;
    for (int i = 0; i < count && !r.IsEmpty(); ++i) {
        p.drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
        r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
    p.restore();
}

void TSheetCanvas::DrawSmallImage(QPoint at, int index) {
    m_painter->fillRect(QRect(at, QSize(kSmallImageSize, kSmallImageSize)), QColor::fromHsv((index * 47) % 360, 120, 220));
}

void TSheetCanvas::TextOutFixed(int x, int y, QColor color, const QString& text) {
    m_painter->setFont(m_fixedFont);
    m_painter->setPen(color);
    m_painter->drawText(QPoint(x, y + QFontMetrics(m_fixedFont).ascent()), text);
}

int TSheetCanvas::TextWidthFixed(const QString& text) const {
    return QFontMetrics(m_fixedFont).horizontalAdvance(text);
}

int TSheetCanvas::TextWidthCode(const QString& text) const { return QFontMetrics(m_codeFont).horizontalAdvance(text); }

void TSheetCanvas::TextOutCodeOn(QPainter& painter, const TRect& rect, QColor color, const QString& text) const {
    painter.setFont(m_codeFont);
    painter.setPen(color);
    const int y = rect.Top + (rect.Height() - m_codeLineHeight) / 2 + QFontMetrics(m_codeFont).ascent();
    painter.drawText(QPoint(rect.Left, y), text);
}

void TSheetCanvas::DrawCharImageOn(QPainter& painter, QPoint at, int index) const {
    painter.fillRect(QRect(at, QSize(12, 12)), QColor::fromHsv((index * 47) % 360, 120, 220));
}

void TSheetCanvas::DrawExpandMarkOn(QPainter& painter, QPoint at, bool expanded) const {
    painter.setPen(QColor(80, 80, 80));
    painter.drawRect(QRect(at.x() + 2, at.y() + 2, 8, 8));
    painter.drawLine(at.x() + 4, at.y() + 6, at.x() + 8, at.y() + 6);
    if (!expanded) painter.drawLine(at.x() + 6, at.y() + 4, at.x() + 6, at.y() + 8);
}

#include "ui/baHintWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {
constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
constexpr int kBorder = 1;
constexpr int kFallbackMaxHeight = 768;
}  // namespace

THintWindow::THintWindow(QWidget* owner) : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
}

// A word longer than the width, or more lines than the screen holds (a huge
// name or description in an element's hint), is cut: the hint stays within
// the width and the screen's height.
QRect THintWindow::CalcHintRect(int maxWidth, const QString& text) const {
    const int inset = 2 * (kPadding + kBorder);
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, qMax(1, maxWidth - inset), 1 << 20), kTextFlags, text);
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const int maxHeight = shown ? shown->availableGeometry().height() : kFallbackMaxHeight;
    return QRect(0, 0, qMin(bounds.width() + inset, qMax(inset, maxWidth)), qMin(bounds.height() + inset, maxHeight));
}

void THintWindow::ActivateHint(const QRect& rect, const QString& text) {
    if (m_text != text) {
        m_text = text;
        update();
    }
    setGeometry(rect);
    show();
}

void THintWindow::ReleaseHint() { hide(); }

void THintWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int inset = kPadding + kBorder;
    painter.drawText(rect().adjusted(inset, inset, -inset, -inset), kTextFlags, m_text);
}

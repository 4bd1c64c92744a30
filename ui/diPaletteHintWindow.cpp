#include "ui/diPaletteHintWindow.h"

#include "core/cuUtils.h"
#include "platform/plTimer.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStringList>
#include <QToolTip>

namespace {

constexpr int kFirstRowLeft = 4;
constexpr int kFirstRowTop = 2;
constexpr int kFirstRowRightRoom = 4;
constexpr int kFirstRowBottomRoom = 1;
constexpr int kWrapLeft = 12;
constexpr int kWrapRightRoom = 8;
constexpr int kGapBelowFirstRow = 4;
constexpr int kLineGap = 5;
constexpr int kWrapWidthRoom = 20;
constexpr int kWrapBottomRoom = 5;
constexpr int kMeasuredExtraHeight = 2;
constexpr int kUnboundedHeight = 1 << 20;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

QRect LayoutPaletteHint(QPainter* painter, const QRect& rect, const QString& text, const QFont& font) {
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = normalized.split(QLatin1Char('\n'));

    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    const QFontMetrics metrics(font);

    // The first row: the caption in bold, the key suffix from "(" on in the normal font.
    const QString& first = lines.value(0);
    const qsizetype bracket = first.indexOf(QLatin1Char('('));
    const QString caption = bracket < 0 ? first : first.left(bracket);
    const QString suffix = bracket < 0 ? QString() : first.mid(bracket);
    const int x = rect.left() + kFirstRowLeft;
    const int y = rect.top() + kFirstRowTop;
    const int captionWidth = boldMetrics.horizontalAdvance(caption);
    const int suffixWidth = metrics.horizontalAdvance(suffix);
    const int rowHeight = qMax(boldMetrics.height(), suffix.isEmpty() ? 0 : metrics.height());
    if (painter) {
        painter->setFont(bold);
        painter->drawText(QRect(x, y, captionWidth, rowHeight), Qt::AlignLeft | Qt::AlignTop, caption);
        painter->setFont(font);
        painter->drawText(QRect(x + captionWidth, y, suffixWidth, rowHeight), Qt::AlignLeft | Qt::AlignTop, suffix);
    }
    const int firstRight = x + captionWidth + suffixWidth + kFirstRowRightRoom;
    const int firstBottom = y + rowHeight + kFirstRowBottomRoom;

    // Every further line word-wrapped between left + 12 and right - 8.
    const int wrapLeft = rect.left() + kWrapLeft;
    const int wrapWidth = qMax(1, rect.right() + 1 - kWrapRightRoom - wrapLeft);
    int top = y + rowHeight + kGapBelowFirstRow;
    int widest = 0;
    int lastBottom = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QRect bounds = metrics.boundingRect(QRect(wrapLeft, top, wrapWidth, kUnboundedHeight), kTextFlags, lines[i]);
        if (painter) {
            painter->setFont(font);
            painter->drawText(QRect(wrapLeft, top, wrapWidth, bounds.height()), kTextFlags, lines[i]);
        }
        widest = qMax(widest, bounds.width());
        lastBottom = top + bounds.height();
        top = lastBottom + kLineGap;
    }
    const int width = qMax(firstRight - rect.left(), lines.size() > 1 ? widest + kWrapWidthRoom : 0);
    const int bottom = qMax(firstBottom, lines.size() > 1 ? lastBottom + kWrapBottomRoom : 0);
    return QRect(rect.left(), rect.top(), width, bottom - rect.top());
}

TPaletteHintWindow::TPaletteHintWindow(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_hideTimer(TTimerService::Make()) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(QToolTip::font());
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    m_hideTimer->SetOnTick([this] { RunGuarded("Hiding a palette hint", [&] { ReleaseHint(); }); });
}

TPaletteHintWindow::~TPaletteHintWindow() = default;

int TPaletteHintWindow::MaxHintWidth() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() / 3 : 640;
}

QRect TPaletteHintWindow::CalcHintRect(int maxWidth, const QString& text) const {
    QRect rect = LayoutPaletteHint(nullptr, QRect(0, 0, maxWidth, 0), text, font());
    rect.setHeight(rect.height() + kMeasuredExtraHeight);
    return rect;
}

void TPaletteHintWindow::ActivateHint(const QRect& rect, const QString& text) {
    m_text = text;
    setGeometry(rect);
    show();
    raise();
    update();
    m_hideTimer->Start(kHideTimeoutMs);
}

void TPaletteHintWindow::ReleaseHint() {
    m_hideTimer->Stop();
    hide();
}

void TPaletteHintWindow::paintEvent(QPaintEvent*) {
    RunGuarded("Painting a palette hint", [&] {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        LayoutPaletteHint(&painter, rect(), m_text, font());
    });
}

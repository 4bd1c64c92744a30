#include "ui/baEdits.h"

#include "core/cuUtils.h"
#include "platform/plInput.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <limits>

namespace {

constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr char16_t kEnterChar = u'\r';

}  // namespace

int64_t SaturatingAdd(int64_t a, int64_t b) noexcept {
    int64_t r;
    if (!__builtin_add_overflow(a, b, &r)) return r;
    return b > 0 ? kInt64Max : kInt64Min;
}

int64_t SaturatingSub(int64_t a, int64_t b) noexcept {
    int64_t r;
    if (!__builtin_sub_overflow(a, b, &r)) return r;
    return b < 0 ? kInt64Max : kInt64Min;
}

int64_t SaturatingMul(int64_t a, int64_t b) noexcept {
    int64_t r;
    if (!__builtin_mul_overflow(a, b, &r)) return r;
    return (a < 0) == (b < 0) ? kInt64Max : kInt64Min;
}

// ---------------------------------------------------------------------------
// TCustomNumberEdit

TCustomNumberEdit::TCustomNumberEdit(QWidget* parent) : QLineEdit(QStringLiteral("0"), parent) {
    m_buttons = new QScrollBar(Qt::Vertical, this);
    m_buttons->setRange(-1, 1);
    m_buttons->setFocusPolicy(Qt::NoFocus);
    connect(m_buttons, &QAbstractSlider::actionTriggered, this, [this](int action) {
        RunGuarded("TCustomNumberEdit::ButtonAction", [&] { ButtonAction(action); });
    });
    PlaceButtons();
}

TCustomNumberEdit::~TCustomNumberEdit() = default;

void TCustomNumberEdit::SetOptions(TNumberEditOptions options) {
    m_options = options;
    PlaceButtons();
}

bool TCustomNumberEdit::IsValidChar(QChar ch) const {
    return ch == u'+' || ch == u'-' || ch.isDigit() || (ch.category() == QChar::Other_Control && ch != kEnterChar);
}

void TCustomNumberEdit::keyPressEvent(QKeyEvent* event) {
    RunGuarded("TCustomNumberEdit::keyPressEvent", [&] {
        switch (event->key()) {
            case Qt::Key_PageUp: StepUp(PageSteps); return event->accept();
            case Qt::Key_PageDown: StepDown(PageSteps); return event->accept();
            case Qt::Key_Up: StepUp(1); return event->accept();
            case Qt::Key_Down: StepDown(1); return event->accept();
            // Enter goes on to the dialog's default button.
            case Qt::Key_Return:
            case Qt::Key_Enter: return QLineEdit::keyPressEvent(event);
            default: break;
        }
        const QString text = event->text();
        if (!text.isEmpty() && !IsValidChar(text.front())) {
            SystemBeep();
            return event->accept();
        }
        QLineEdit::keyPressEvent(event);
    });
}

void TCustomNumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    RunGuarded("TCustomNumberEdit::Validate", [&] { Validate(); });
}

void TCustomNumberEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceButtons();
}

// The arrows' up is a step up; they leave the bar in its middle.
void TCustomNumberEdit::ButtonAction(int action) {
    m_buttons->setSliderPosition(0);
    if (isReadOnly() && !(m_options & eoButtonsNotReadOnly)) return;
    if (action == QAbstractSlider::SliderSingleStepSub)
        StepUp(1);
    else if (action == QAbstractSlider::SliderSingleStepAdd)
        StepDown(1);
    else
        return;
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) setFocus();
}

void TCustomNumberEdit::PlaceButtons() {
    const bool shown = !(m_options & eoNoButtons);
    const int width = shown ? m_buttons->sizeHint().width() : 0;
    m_buttons->setVisible(shown);
    m_buttons->setGeometry(this->width() - width, 0, width, height());
    setTextMargins(0, 0, width, 0);
}

// ---------------------------------------------------------------------------
// TIntegerEdit

int64_t TIntegerEdit::Clamp(int64_t value) const noexcept {
    if (m_minValue == m_maxValue) return value;
    if (value > m_maxValue) value = m_maxValue;
    if (value < m_minValue) value = m_minValue;
    return value;
}

int64_t TIntegerEdit::Value() {
    bool number = false;
    const int64_t read = text().toLongLong(&number);
    const int64_t value = Clamp(number ? read : 0);
    if ((!number || value != read) && !hasFocus()) setText(QString::number(value));
    return value;
}

void TIntegerEdit::SetValue(int64_t value) { setText(QString::number(Clamp(value))); }

// Cut toward zero to a multiple of the increment (the remainder of -1 is
// always 0, and computing it at the type's end would overflow).
int64_t TIntegerEdit::Rounded(int64_t value) const noexcept {
    if (!(Options() & eoButtonsRound) || m_increment == 0 || m_increment == -1) return value;
    return value - value % m_increment;
}

void TIntegerEdit::StepDown(int steps) {
    const int64_t value = Value();
    const int64_t by = SaturatingMul(m_increment, steps);
    if ((Options() & eoRoller) && SaturatingAdd(m_minValue, by) > value) return SetValue(m_maxValue);
    SetValue(Rounded(SaturatingSub(value, by)));
}

void TIntegerEdit::StepUp(int steps) {
    const int64_t value = Value();
    const int64_t by = SaturatingMul(m_increment, steps);
    if ((Options() & eoRoller) && SaturatingSub(m_maxValue, by) < value) return SetValue(m_minValue);
    SetValue(Rounded(SaturatingAdd(value, by)));
}

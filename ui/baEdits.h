#pragma once
// Number edits: an edit for a number with up/down stepping by keys and by a
// small pair of arrows beside the text, and TIntegerEdit for a bounded
// signed 64-bit integer. Characters other than signs and digits are dropped
// with a beep; leaving the edit puts its text right.

#include <QFlags>
#include <QLineEdit>

#include <cstdint>

class QScrollBar;

enum TNumberEditOption : uint8_t {
    eoRoller = 0x01,              // stepping past one end goes on at the other
    eoNoButtons = 0x02,           // no arrows
    eoButtonsNotReadOnly = 0x04,  // the arrows step a read-only edit as well
    eoButtonsRound = 0x08,        // a stepped value is cut toward zero to a multiple of the increment
};
Q_DECLARE_FLAGS(TNumberEditOptions, TNumberEditOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TNumberEditOptions)

class TCustomNumberEdit : public QLineEdit {
public:
    // Steps of Page Up and Page Down.
    static constexpr int PageSteps = 10;

    explicit TCustomNumberEdit(QWidget* parent = nullptr);
    ~TCustomNumberEdit() override;

    TNumberEditOptions Options() const noexcept { return m_options; }
    void SetOptions(TNumberEditOptions options);
    // The arrows; nil never (hidden with eoNoButtons).
    QScrollBar* Buttons() const noexcept { return m_buttons; }

    // "+", "-", a digit, or a control character other than Enter.
    virtual bool IsValidChar(QChar ch) const;
    // Puts the text right; run when the edit loses the focus.
    virtual void Validate() {}
    virtual void StepDown(int steps) {}
    virtual void StepUp(int steps) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ButtonAction(int action);
    void PlaceButtons();

    TNumberEditOptions m_options;
    QScrollBar* m_buttons = nullptr;  // a child of the edit
};

class TIntegerEdit : public TCustomNumberEdit {
public:
    static constexpr int64_t DefaultMaxValue = 2147483647;

    using TCustomNumberEdit::TCustomNumberEdit;

    int64_t Increment() const noexcept { return m_increment; }
    void SetIncrement(int64_t value) noexcept { m_increment = value; }
    int64_t MinValue() const noexcept { return m_minValue; }
    void SetMinValue(int64_t value) noexcept { m_minValue = value; }
    int64_t MaxValue() const noexcept { return m_maxValue; }
    void SetMaxValue(int64_t value) noexcept { m_maxValue = value; }

    // The text read as a number (no number: 0) and clamped; an edit without
    // the focus shows the clamped number when the text was none or changed.
    int64_t Value();
    // Clamped, then written as decimal text.
    void SetValue(int64_t value);
    // No clamping when MinValue equals MaxValue.
    int64_t Clamp(int64_t value) const noexcept;

    void Validate() override { Value(); }
    // In saturating arithmetic: nothing overflows; a step past the type's
    // ends stops there (and is clamped).
    void StepDown(int steps) override;
    void StepUp(int steps) override;

private:
    int64_t Rounded(int64_t value) const noexcept;

    int64_t m_increment = 1;
    int64_t m_minValue = 0;
    int64_t m_maxValue = DefaultMaxValue;
};

// Saturating 64-bit arithmetic: the result stops at the type's ends.
int64_t SaturatingAdd(int64_t a, int64_t b) noexcept;
int64_t SaturatingSub(int64_t a, int64_t b) noexcept;
int64_t SaturatingMul(int64_t a, int64_t b) noexcept;

#pragma once
// The hint of a palette button or palette menu entry: a bold first line with
// the item's caption, its key suffix "(Ctrl+...)" in the normal font on the
// same row, then the item's description word-wrapped below. A frameless
// tool-tip window of our own that hides itself after a while.

#include <QFont>
#include <QString>
#include <QWidget>

#include <memory>

class QPainter;
class TTimer;

// Lays the hint text out in rect (its right edge bounds the wrapped lines)
// and, with a painter, draws it. Answers the rectangle the text needs, from
// rect's top-left corner.
QRect LayoutPaletteHint(QPainter* painter, const QRect& rect, const QString& text, const QFont& font);

class TPaletteHintWindow : public QWidget {
public:
    static constexpr int kHideTimeoutMs = 16000;

    explicit TPaletteHintWindow(QWidget* owner = nullptr);
    ~TPaletteHintWindow() override;

    // The size the text needs with wrapped lines at most maxWidth wide, at (0, 0).
    QRect CalcHintRect(int maxWidth, const QString& text) const;
    // The measuring width: a third of the screen's width.
    int MaxHintWidth() const;
    // Shows the text at rect (screen coordinates) without taking the focus;
    // hides itself after kHideTimeoutMs.
    void ActivateHint(const QRect& rect, const QString& text);
    void ReleaseHint();
    const QString& Text() const noexcept { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    std::unique_ptr<TTimer> m_hideTimer;
};

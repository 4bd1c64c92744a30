#pragma once
// THintWindow: a hint of our own, a frameless tool-tip window that shows a
// text wrapped to a width at a place on the screen. Unlike Qt's single tool
// tip, any number of them may show at once (the key hints of the palette,
// the side hint of a drop-down list beside the sheet's hint).

#include <QString>
#include <QWidget>

class THintWindow : public QWidget {
public:
    // Padding between the border and the text.
    static constexpr int kPadding = 3;

    explicit THintWindow(QWidget* owner = nullptr);

    // The size the text needs, wrapped at maxWidth pixels (border included), at (0, 0);
    // never wider than maxWidth nor higher than the screen (the rest is cut).
    QRect CalcHintRect(int maxWidth, const QString& text) const;
    // Shows the text in rect (screen coordinates), without taking the focus.
    void ActivateHint(const QRect& rect, const QString& text);
    // Hides the hint.
    void ReleaseHint();
    const QString& Text() const noexcept { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

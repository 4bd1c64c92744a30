#pragma once
// Paint surfaces and panels.

// ---------------------------------------------------------------------------
// TPanelEx: a panel whose face is a background (fill and edges, a bitmap in
// nine zones among the fills). It lets its parent show through exactly when
// the background is see-through.

#include "ui/baPainterStyles.h"
#include "ui/baUtils.h"

#include <QSize>
#include <QWidget>

#include <memory>

class TPanelEx : public TTransparencyControl<QWidget> {
public:
    static constexpr QSize kPanelDefaultSize{200, 105};

    explicit TPanelEx(QWidget* parent = nullptr);

    // Owned by the panel; a change of it updates the transparency and repaints.
    TBackground& Background() noexcept { return *m_background; }
    // The colour a fkParentColor fill takes.
    TColor ParentColor() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void BackgroundChanged();

    std::unique_ptr<TBackground> m_background;
};

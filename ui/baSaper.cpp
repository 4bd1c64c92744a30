#include "ui/baSaper.h"

// ---------------------------------------------------------------------------
// TPanelEx

#include "platform/plSystemColors.h"

#include <QPainter>

TPanelEx::TPanelEx(QWidget* parent) : TTransparencyControl<QWidget>(parent), m_background(std::make_unique<TBackground>()) {
    resize(kPanelDefaultSize);
    m_background->OnChange = [this](int) { BackgroundChanged(); };
}

TColor TPanelEx::ParentColor() const {
    const QWidget* parent = parentWidget();
    return parent ? parent->palette().color(parent->backgroundRole()).rgba() : GetSystemColor(TSystemColor::BtnFace);
}

void TPanelEx::BackgroundChanged() {
    SetTransparent(m_background->IsSeeThrough());
    update();
}

void TPanelEx::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_background->Paint(painter, TRect::FromQRect(contentsRect()), ParentColor());
}

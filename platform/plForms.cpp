#include "platform/plForms.h"

#include "platform/plAlignLayout.h"

#include <QVariant>
#include <QWidget>

namespace {
const char* const kAlignProperty = "quillaneAlign";
}  // namespace

void SetWidgetAlign(QWidget* widget, TAlign align) {
    widget->setProperty(kAlignProperty, int(align));
    if (QWidget* parent = widget->parentWidget(); parent && parent->layout()) parent->layout()->invalidate();
}

TAlign WidgetAlign(const QWidget* widget) {
    const QVariant v = widget->property(kAlignProperty);
    return v.isValid() ? TAlign(v.toInt()) : TAlign::None;
}

void EmbedForm(QWidget* form, QWidget* parent, TAlign align, bool visible) {
    // A window's size is its client size already; as a child it has no frame,
    // so the same size keeps the client area.
    const QSize client = form->size();
    form->setParent(parent, Qt::Widget);
    form->resize(client);
    form->setProperty(kAlignProperty, int(align));
    if (parent) {
        QLayout* layout = parent->layout();
        if (!layout) layout = new TAlignLayout(parent);
        layout->addWidget(form);
        layout->invalidate();
    }
    form->setVisible(visible);
    if (parent && parent->layout()) parent->layout()->activate();
}

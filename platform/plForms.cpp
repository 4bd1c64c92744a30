#include "platform/plForms.h"

#include "platform/plAlignLayout.h"

#include <QGuiApplication>
#include <QWidget>

void EmbedForm(QWidget* form, QWidget* parent, TAlign align, bool visible) {
    // A window's size is its client size already; as a child it has no frame,
    // so the same size keeps the client area.
    const QSize client = form->size();
    form->setParent(parent, Qt::Widget);
    form->resize(client);
    SetWidgetAlign(form, align);
    if (parent) {
        QLayout* layout = parent->layout();
        if (!layout) layout = new TAlignLayout(parent);
        layout->addWidget(form);
        layout->invalidate();
    }
    form->setVisible(visible);
    if (parent && parent->layout()) parent->layout()->activate();
}

void plSetFormCaption(QWidget& form, const QString& caption) { form.setWindowTitle(caption); }

QString plFormCaption(const QWidget& form) { return form.windowTitle(); }

void plSetApplicationTitle(const QString& title) { QGuiApplication::setApplicationDisplayName(title); }

#include "ui/diEditForm.h"

#include "core/cuUtils.h"
#include "ui/diEditArea.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QPainter>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

TEditForm::TEditForm(QWidget* parent, TPaletteFormSettings* paletteSettings)
    : QWidget(parent),
      m_paletteForm(new TPaletteForm(nullptr, paletteSettings ? paletteSettings : PaletteFormSettings())),
      m_editArea(new TEditArea(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_editArea);
    m_editArea->SetPalette(m_paletteForm);  // placed above the sheet, owned by the edit area from now on
}

TEditForm::~TEditForm() {
    AttachScheme(nullptr, nullptr, nullptr, nullptr);
    m_editArea->SetPalette(nullptr);
    delete m_paletteForm;
}

void TEditForm::AttachScheme(TScheme* scheme, TSheet* sheet, TScheme* logScheme, TSheet* logSheet) {
    m_editArea->AttachScheme(scheme, sheet, logScheme, logSheet);
}

void TEditForm::LoadLayout(TKnot* knot) { m_editArea->LoadLayout(knot); }

void TEditForm::SaveLayout(TKnot* knot) const { m_editArea->SaveLayout(knot); }

TSheetForm& TEditForm::SheetForm() const { return m_editArea->SheetForm(); }

TSheetForm& TEditForm::LogForm() const { return m_editArea->LogForm(); }

void TEditForm::SetInnerMargin(int pixels) {
    if (pixels == m_innerMargin) return;
    m_innerMargin = pixels;
    layout()->setContentsMargins(pixels, pixels, pixels, pixels);
    update();
}

void TEditForm::paintEvent(QPaintEvent*) {
    if (m_innerMargin <= 0) return;
    RunGuarded("Painting the edit form's frames", [&] {
        QPainter painter(this);
        auto frame = [&](const QRect& rect) {
            QStyleOptionFrame option;
            option.initFrom(this);
            option.rect = rect;
            option.lineWidth = 1;
            option.state |= QStyle::State_Sunken;
            style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
        };
        const QWidget& sheet = SheetForm();
        const QPoint sheetTop = sheet.mapTo(this, QPoint(0, 0));
        frame(QRect(0, sheetTop.y() - m_innerMargin, width(), sheet.height() + 2 * m_innerMargin));
        const QWidget& log = LogForm();
        if (log.isVisible()) {
            const QPoint logTop = log.mapTo(this, QPoint(0, 0));
            frame(QRect(0, logTop.y() - m_innerMargin, width(), height() - logTop.y() + m_innerMargin));
        }
    });
}

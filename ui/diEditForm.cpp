#include "ui/diEditForm.h"

#include "ui/diEditArea.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

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

void TEditForm::SetInnerMargin(int pixels) { m_editArea->SetInnerMargin(pixels); }

int TEditForm::InnerMargin() const noexcept { return m_editArea->InnerMargin(); }

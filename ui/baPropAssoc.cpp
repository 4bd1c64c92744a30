#include "ui/baPropAssoc.h"

#include "core/cuProps.h"
#include "ui/baEdits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <limits>

namespace {

// Room a check box keeps beside its square and caption.
constexpr int kCheckBoxExtra = 8;
const QString kLineBreak = QStringLiteral("\r\n");

// The lines of a text: a line break ends a line, so a final one adds no empty
// line and an empty text has none.
QStringList LinesOf(const QString& text) {
    QStringList lines = text.split(kLineBreak);
    if (lines.last().isEmpty()) lines.removeLast();
    return lines;
}

void SetLabel(QLabel* label, const QString& caption) {
    if (label) label->setText(caption);
}

}  // namespace

bool TPropertyAssocSingleEditor::IsFor(const QWidget* control) const {
    return control && m_control && (control == m_control || m_control->isAncestorOf(control));
}

// --- Boolean in a check box

TPropertyAssocBoolInCheckBox::TPropertyAssocBoolInCheckBox(TBooleanProperty* item, QCheckBox* box)
    : TPropertyAssocSingleEditor(item, box), m_property(item), m_box(box) {}

void TPropertyAssocBoolInCheckBox::Apply() { m_property->SetValue(m_box->isChecked()); }
void TPropertyAssocBoolInCheckBox::ShowDefault() { m_box->setChecked(m_property->Default()); }

// --- enumeration in a combo box

TPropertyAssocEnumInComboBox::TPropertyAssocEnumInComboBox(TEnumProperty* item, QComboBox* combo)
    : TPropertyAssocSingleEditor(item, combo), m_property(item), m_combo(combo) {}

void TPropertyAssocEnumInComboBox::Apply() { m_property->SetIndex(m_combo->currentIndex()); }
void TPropertyAssocEnumInComboBox::ShowDefault() { m_combo->setCurrentIndex(m_property->GetDefaultIndex()); }

// --- integer in an integer edit

TPropertyAssocIntInIntegerEdit::TPropertyAssocIntInIntegerEdit(TIntegerProperty* item, TIntegerEdit* edit)
    : TPropertyAssocSingleEditor(item, edit), m_property(item), m_edit(edit) {}

void TPropertyAssocIntInIntegerEdit::Apply() {
    const int64_t value = m_edit->Value();
    m_property->SetValue(int(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

void TPropertyAssocIntInIntegerEdit::ShowDefault() { m_edit->SetValue(m_property->Default()); }

// --- string in a combo box

TPropertyAssocStrInComboBox::TPropertyAssocStrInComboBox(TStringProperty* item, QComboBox* combo)
    : TPropertyAssocSingleEditor(item, combo), m_property(item), m_combo(combo) {}

void TPropertyAssocStrInComboBox::ShowText(QComboBox& combo, const QString& text) {
    if (combo.isEditable())
        combo.setEditText(text);
    else
        combo.setCurrentIndex(combo.findText(text, Qt::MatchExactly));
}

void TPropertyAssocStrInComboBox::Apply() { m_property->SetValue(m_combo->currentText()); }
void TPropertyAssocStrInComboBox::ShowDefault() { ShowText(*m_combo, m_property->Default()); }

// --- handlers

TPropertyAssocEvents::TPropertyAssocEvents(TProperty* item, QWidget* control, TPropertyAssocEvent onApply,
                                           TPropertyAssocEvent onDefault)
    : TPropertyAssoc(item), m_control(control), m_onApply(std::move(onApply)), m_onDefault(std::move(onDefault)) {}

void TPropertyAssocEvents::Apply() {
    if (m_onApply) m_onApply(this, Item());
}

bool TPropertyAssocEvents::IsFor(const QWidget* control) const {
    return m_control && control && (control == m_control || m_control->isAncestorOf(control));
}

void TPropertyAssocEvents::ShowDefault() {
    if (m_onDefault) m_onDefault(this, Item());
}

// ---------------------------------------------------------------------------
// TPropertyAssociator

void TPropertyAssociator::AddBoolInCheckBox(TBooleanProperty* item, QCheckBox* box, const QString& caption) {
    box->setText(caption);
    const QWidget* form = box->window();
    const int textWidth = form->fontMetrics().horizontalAdvance(caption);
    box->resize(textWidth + box->height() + kCheckBoxExtra, box->height());
    box->setChecked(item->Value());
    m_bindings.push_back(std::make_unique<TPropertyAssocBoolInCheckBox>(item, box));
}

void TPropertyAssociator::AddEnumInComboBox(TEnumProperty* item, QComboBox* combo, const QString& lines,
                                            QLabel* label, const QString& caption) {
    SetLabel(label, caption);
    combo->clear();
    combo->addItems(LinesOf(lines));
    combo->setCurrentIndex(item->Value());
    m_bindings.push_back(std::make_unique<TPropertyAssocEnumInComboBox>(item, combo));
}

void TPropertyAssociator::AddIntInIntegerEdit(TIntegerProperty* item, TIntegerEdit* edit, QLabel* label,
                                              const QString& caption) {
    SetLabel(label, caption);
    edit->SetMinValue(item->Min());
    edit->SetMaxValue(item->Max());
    edit->SetValue(item->Value());
    m_bindings.push_back(std::make_unique<TPropertyAssocIntInIntegerEdit>(item, edit));
}

void TPropertyAssociator::AddStrInComboBox(TStringProperty* item, QComboBox* combo, QLabel* label,
                                           const QString& caption) {
    SetLabel(label, caption);
    TPropertyAssocStrInComboBox::ShowText(*combo, item->Value());
    m_bindings.push_back(std::make_unique<TPropertyAssocStrInComboBox>(item, combo));
}

void TPropertyAssociator::AddEvents(TProperty* item, QWidget* control, TPropertyAssocEvent onApply,
                                    TPropertyAssocEvent onDefault) {
    m_bindings.push_back(
        std::make_unique<TPropertyAssocEvents>(item, control, std::move(onApply), std::move(onDefault)));
}

void TPropertyAssociator::Apply() {
    for (const auto& binding : m_bindings) binding->Apply();
}

void TPropertyAssociator::ShowDefault(const QWidget* control) {
    for (const auto& binding : m_bindings)
        if (!control || binding->IsFor(control)) binding->ShowDefault();
}

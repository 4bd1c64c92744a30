#include "ui/diFindDialogs.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

TFindDialog::TFindDialog(TKind kind, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_findLabel(new QLabel(this)), m_findEdit(new QLineEdit(this)),
      m_replaceLabel(new QLabel(this)), m_replaceEdit(new QLineEdit(this)), m_matchCase(new QCheckBox(this)),
      m_direction(new QGroupBox(this)), m_up(new QRadioButton(m_direction)), m_down(new QRadioButton(m_direction)),
      m_findNext(new QPushButton(this)), m_replace(new QPushButton(this)), m_replaceAll(new QPushButton(this)),
      m_cancel(new QPushButton(this)) {
    setModal(false);
    const bool replacing = kind == TKind::Replace;
    auto* fields = new QGridLayout;
    fields->addWidget(m_findLabel, 0, 0);
    fields->addWidget(m_findEdit, 0, 1);
    fields->addWidget(m_replaceLabel, 1, 0);
    fields->addWidget(m_replaceEdit, 1, 1);
    m_findLabel->setBuddy(m_findEdit);
    m_replaceLabel->setBuddy(m_replaceEdit);
    m_replaceLabel->setVisible(replacing);
    m_replaceEdit->setVisible(replacing);
    auto* directions = new QHBoxLayout(m_direction);
    directions->addWidget(m_up);
    directions->addWidget(m_down);
    m_down->setChecked(true);
    auto* options = new QHBoxLayout;
    options->addWidget(m_matchCase);
    options->addStretch();
    options->addWidget(m_direction);
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_findNext, m_replace, m_replaceAll, m_cancel}) buttons->addWidget(button);
    buttons->addStretch();
    m_replace->setVisible(replacing);
    m_replaceAll->setVisible(replacing);
    m_direction->setVisible(!replacing);
    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(buttons);
    m_findNext->setDefault(true);

    connect(m_findEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    connect(m_findNext, &QPushButton::clicked, this, [this] {
        if (OnFind) RunGuarded("Find", [&] { OnFind(*this); });
    });
    connect(m_replace, &QPushButton::clicked, this, [this] {
        if (OnReplace) RunGuarded("Replace", [&] { OnReplace(*this, false); });
    });
    connect(m_replaceAll, &QPushButton::clicked, this, [this] {
        if (OnReplace) RunGuarded("Replace all", [&] { OnReplace(*this, true); });
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
    SetCaptions();
    UpdateButtons();
}

QString TFindDialog::FindText() const { return m_findEdit->text(); }
void TFindDialog::SetFindText(const QString& text) { m_findEdit->setText(text); }
QString TFindDialog::ReplaceText() const { return m_replaceEdit->text(); }
bool TFindDialog::MatchCase() const { return m_matchCase->isChecked(); }
bool TFindDialog::Down() const { return m_kind == TKind::Replace || m_down->isChecked(); }
void TFindDialog::SetDown(bool down) { (down ? m_down : m_up)->setChecked(true); }

void TFindDialog::ShowInFront() {
    show();
    raise();
    activateWindow();
    m_findEdit->setFocus(Qt::ShortcutFocusReason);
    m_findEdit->selectAll();
}

void TFindDialog::SetCaptions() {
    setWindowTitle(LoadStr(m_kind == TKind::Replace ? strReplaceTitle : strFindTitle));
    m_findLabel->setText(LoadStr(strFindWhat));
    m_replaceLabel->setText(LoadStr(strReplaceWith));
    m_matchCase->setText(LoadStr(strMatchCase));
    m_direction->setTitle(LoadStr(strDirection));
    m_up->setText(LoadStr(strDirectionUp));
    m_down->setText(LoadStr(strDirectionDown));
    m_findNext->setText(LoadStr(strFindNext));
    m_replace->setText(LoadStr(strReplaceTitle));
    m_replaceAll->setText(LoadStr(strReplaceAll));
    m_cancel->setText(LoadStr(strCancel));
}

void TFindDialog::UpdateButtons() {
    const bool hasText = !m_findEdit->text().isEmpty();
    for (QPushButton* button : {m_findNext, m_replace, m_replaceAll}) button->setEnabled(hasText);
}

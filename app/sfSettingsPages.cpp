#include "app/sfSettingsPages.h"

#include "app/unGlobal.h"
#include "app/unSettings.h"
#include "core/cuLocalization.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "elements/diLog.h"
#include "scheme/diCanvas.h"
#include "scheme/diNaming.h"
#include "scheme/diSounds.h"
#include "ui/baEdits.h"
#include "ui/baPropAssoc.h"
#include "ui/baStyledPainter.h"
#include "ui/baUserButtons.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr char kDefaultTheme[] = "Default";
constexpr char kThemeMask[] = "*.txt";
constexpr char kExampleBaseName[] = "NewElementName";
constexpr int kHeadingGrowth = 2;
constexpr int kComboWidth = 200;
constexpr int kLabelWidth = 140;
constexpr int kEditWidth = 80;
constexpr int kMoreThemesWidth = 160;
constexpr int kMoreThemesHeight = 25;
// Left and below; the dialog keeps its own margin to the right of the pages, which their widest check box needs.
constexpr int kPageMargin = 8;

}  // namespace

QStringList ThemeChoices(const QString& folder) {
    QStringList names;
    ListFiles(folder, QString::fromLatin1(kThemeMask), names, false);
    names.prepend(QString::fromLatin1(kDefaultTheme));
    return names;
}

// ---------------------------------------------------------------------------
// TSettingsPage

TSettingsPage::TSettingsPage(QWidget* parent, const QString& section, const QString& caption)
    : QWidget(parent), m_caption(caption), m_layout(new QVBoxLayout(this)) {
    setObjectName(section);
    m_layout->setContentsMargins(kPageMargin, 0, 0, kPageMargin);
    auto* title = new QLabel(caption, this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0) titleFont.setPointSizeF(titleFont.pointSizeF() + kHeadingGrowth);
    title->setFont(titleFont);
    m_layout->addWidget(title);
}

QWidget* TSettingsPage::FirstControl() const {
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() & Qt::TabFocus && child->isEnabled()) return child;
    return nullptr;
}

QCheckBox* TSettingsPage::AddCheckBox(const TSettingsPageContext& context, TBooleanProperty* item, int captionId) {
    auto* box = new QCheckBox(this);
    m_layout->addWidget(box);
    if (item) context.Associator->AddBoolInCheckBox(item, box, LoadStr(captionId));
    else {
        box->setText(LoadStr(captionId));
        box->setEnabled(false);
    }
    return box;
}

QLabel* TSettingsPage::AddHeading(int captionId) {
    auto* heading = new QLabel(LoadStr(captionId), this);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    m_layout->addSpacing(4);
    m_layout->addWidget(heading);
    return heading;
}

QComboBox* TSettingsPage::AddCombo(QLabel*& label) {
    auto* row = new QHBoxLayout;
    label = new QLabel(this);
    label->setMinimumWidth(kLabelWidth);
    auto* combo = new QComboBox(this);
    combo->setMinimumWidth(kComboWidth);
    label->setBuddy(combo);
    row->addWidget(label);
    row->addWidget(combo);
    row->addStretch();
    m_layout->addLayout(row);
    return combo;
}

// ---------------------------------------------------------------------------
// TGeneralSubForm

TGeneralSubForm::TGeneralSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("General"), LoadStr(strGeneral)) {
    QLabel* label = nullptr;
    m_language = AddCombo(label);
    label->setText(LoadStr(strLanguage));
    for (const QString& code : GetAvailableLanguages()) {
        uint16_t langId = 0;
        if (LanguageNameToLangId(code, langId)) m_language->addItem(LoadStrLang(strLanguageName, langId), code);
    }
    TStringProperty* language = context.Settings->General()->Language();
    m_language->setCurrentIndex(m_language->findData(language->Value(), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive));
    QComboBox* combo = m_language;
    context.Associator->AddEvents(
        language, combo,
        [combo](TPropertyAssoc*, TProperty* item) {
            static_cast<TStringProperty*>(item)->SetValue(combo->currentIndex() < 0 ? QString()
                                                                                    : combo->currentData().toString());
        },
        [combo](TPropertyAssoc*, TProperty* item) {
            combo->setCurrentIndex(combo->findData(static_cast<TStringProperty*>(item)->Default()));
        });
    Layout().addStretch();
}

// ---------------------------------------------------------------------------
// TPaletteSubForm

TPaletteSubForm::TPaletteSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("PaletteForm"), LoadStr(strPalettePage)) {
    TPaletteFormSettings* section = PaletteFormSettings();
    AddCheckBox(context, section ? section->ShowHeaders() : nullptr, strShowGroupHeadings);
    AddCheckBox(context, section ? section->ShowCaptions() : nullptr, strShowTextOnButtons);
    AddCheckBox(context, section ? section->ShowHints() : nullptr, strShowPaletteTooltips);
    Layout().addStretch();
}

// ---------------------------------------------------------------------------
// TAppearancePage

TAppearancePage::TAppearancePage(QWidget* parent, const QString& section, const QString& caption,
                                 const TSettingsPageContext& context, TStringProperty* theme,
                                 TEnumProperty* fontSize)
    : TSettingsPage(parent, section, caption) {
    AddHeading(strAppearance);
    QLabel* themeLabel = nullptr;
    m_theme = AddCombo(themeLabel);
    m_theme->addItems(ThemeChoices(context.ThemesFolder));
    context.Associator->AddStrInComboBox(theme, m_theme, themeLabel, LoadStr(strAppearanceTheme));
    if (m_theme->currentIndex() < 0) m_theme->setCurrentIndex(0);
    QLabel* sizeLabel = nullptr;
    m_fontSize = AddCombo(sizeLabel);
    context.Associator->AddEnumInComboBox(fontSize, m_fontSize, LoadStr(strNormal), sizeLabel, LoadStr(strFontSize));
}

void TAppearancePage::AddMoreThemesButton(const TSettingsPageContext& context) {
    m_moreThemes = new TUserWinButton(this);
    m_moreThemes->SetPainter(DefaultButtonPainter());
    m_moreThemes->SetCaption(LoadStr(strGetMoreThemes));
    m_moreThemes->setFixedSize(kMoreThemesWidth, kMoreThemesHeight);
    m_moreThemes->OnClick = [onClick = context.OnGetMoreThemes](QWidget&) {
        if (onClick) RunGuarded("TSettingsPage.GetMoreThemes", onClick);
    };
    Layout().addSpacing(8);
    Layout().addWidget(m_moreThemes);
}

// ---------------------------------------------------------------------------
// TEditorSubForm

TEditorSubForm::TEditorSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TAppearancePage(parent, QStringLiteral("Sheet"), LoadStr(strEditor), context,
                      context.Settings->Sheet()->ThemeProperty(), context.Settings->Sheet()->FontSizeProperty()) {
    TSheetSettings* sheet = context.Settings->Sheet();
    Layout().addSpacing(8);
    m_focusNew = AddCheckBox(context, sheet->FocusNewProperty(), strMoveFocusElementsWhen);
    m_dropDown = AddCheckBox(context, sheet->DropDownOnFocusNewProperty(), strOpenDropDownLists);
    TSheetFormSettings* sheetForm = SheetFormSettings();
    AddCheckBox(context, sheetForm ? sheetForm->ShowHints() : nullptr, strShowSheetTooltips);
    AddCheckBox(context, sheet->IncreaseWorkspaceHeightProperty(), strIncreaseWorkspaceHeight);
    AddMoreThemesButton(context);
    Layout().addStretch();
    connect(m_focusNew, &QCheckBox::toggled, this, [this] { cbFocusNewClick(); });
    cbFocusNewClick();
}

void TEditorSubForm::cbFocusNewClick() { m_dropDown->setEnabled(m_focusNew->isChecked()); }

// ---------------------------------------------------------------------------
// TNamingSubForm

TNamingSubForm::TNamingSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("Naming"), LoadStr(strNaming)) {
    TNamingSettings* naming = NamingSettings();
    m_enabled = AddCheckBox(context, naming ? naming->FillEnabled() : nullptr, strNameElementsWhenThey);
    m_style = AddCombo(m_styleLabel);
    m_underscore = AddCheckBox(context, naming ? naming->FillUnderscore() : nullptr, strUnderscoreCharacterBetweenWords);
    m_numberFirst = AddCheckBox(context, naming ? naming->FillNumberFirst() : nullptr, strUseNumberFirstElement);
    auto* digitsRow = new QHBoxLayout;
    m_digitsLabel = new QLabel(this);
    m_digitsLabel->setMinimumWidth(kLabelWidth);
    m_digits = new TIntegerEdit(this);
    m_digits->setFixedWidth(kEditWidth);
    m_digitsLabel->setBuddy(m_digits);
    digitsRow->addWidget(m_digitsLabel);
    digitsRow->addWidget(m_digits);
    digitsRow->addStretch();
    Layout().addLayout(digitsRow);
    auto* group = new QGroupBox(LoadStr(strExample), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_example = new QListWidget(group);
    m_example->setFocusPolicy(Qt::NoFocus);
    groupLayout->addWidget(m_example);
    m_exampleGroup = group;
    Layout().addWidget(group, 1);
    if (naming) {
        context.Associator->AddEnumInComboBox(naming->FillMode(), m_style, LoadStr(strDefault), m_styleLabel,
                                              LoadStr(strStyle));
        context.Associator->AddIntInIntegerEdit(naming->FillDigits(), m_digits, m_digitsLabel,
                                                LoadStr(strQuantityDigitsNumber));
    } else {
        m_styleLabel->setText(LoadStr(strStyle));
        m_digitsLabel->setText(LoadStr(strQuantityDigitsNumber));
        m_enabled->setEnabled(false);
    }
    connect(m_enabled, &QCheckBox::toggled, this, [this] { cb2Click(); });
    for (QCheckBox* box : {m_underscore, m_numberFirst}) connect(box, &QCheckBox::toggled, this, [this] { CtrlChange(); });
    connect(m_style, &QComboBox::currentIndexChanged, this, [this] { CtrlChange(); });
    connect(m_digits, &QLineEdit::textChanged, this, [this] { CtrlChange(); });
    cb2Click();
}

void TNamingSubForm::cb2Click() {
    const bool on = m_enabled->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{m_style, m_styleLabel, m_underscore, m_numberFirst,
                                                            m_digitsLabel, m_digits, m_exampleGroup})
        control->setEnabled(on);
    CtrlChange();
}

void TNamingSubForm::CtrlChange() {
    // Reading the edit may normalise its text, which comes back here: read it first.
    const int digits = int(std::clamp<int64_t>(m_digits->Value(), 0, std::numeric_limits<int>::max()));
    m_example->clear();
    if (!m_enabled->isChecked()) return;
    QStringList names;
    for (int i = 0; i < kExampleCount; ++i) {
        const QString name = MakeUniqueName(QString::fromLatin1(kExampleBaseName), TNamingMode(m_style->currentIndex()),
                                            m_numberFirst->isChecked(), names, digits, m_underscore->isChecked());
        names.append(name);
        m_example->addItem(name);
    }
}

QStringList TNamingSubForm::ExampleNames() const {
    QStringList names;
    for (int i = 0; i < m_example->count(); ++i) names.append(m_example->item(i)->text());
    return names;
}

// ---------------------------------------------------------------------------
// The pages of check boxes alone

TLogSubForm::TLogSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("Log"), LoadStr(strLog)) {
    TLogSettings* log = LogSettings();
    AddCheckBox(context, log ? log->WriteInformation() : nullptr, strShowInformationMessages);
    AddCheckBox(context, log ? log->WriteHints() : nullptr, strShowHints);
    AddCheckBox(context, log ? log->WriteWarnings() : nullptr, strShowWarningsAndErrors);
    Layout().addStretch();
}

TSoundsSubForm::TSoundsSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("Sounds"), LoadStr(strSounds)) {
    TSoundsSettings* sounds = SoundsSettings();
    AddCheckBox(context, sounds ? sounds->EnabledProperty() : nullptr, strEnabled);
    Layout().addStretch();
}

TMiscSubForm::TMiscSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TSettingsPage(parent, QStringLiteral("Misc"), LoadStr(strMiscellaneous)) {
    AddCheckBox(context, context.Settings->Misc()->BackupOnSave(), strCreateBackupCopiesWith);
    Layout().addStretch();
}

// ---------------------------------------------------------------------------
// TPrintSubForm

TPrintSubForm::TPrintSubForm(QWidget* parent, const TSettingsPageContext& context)
    : TAppearancePage(parent, QStringLiteral("Print"), LoadStr(strPrintPage), context,
                      context.Settings->Print()->ThemeProperty(), context.Settings->Print()->FontSizeProperty()) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(this);
    label->setMinimumWidth(kLabelWidth);
    m_scale = new TIntegerEdit(this);
    m_scale->setFixedWidth(kEditWidth);
    label->setBuddy(m_scale);
    row->addWidget(label);
    row->addWidget(m_scale);
    row->addStretch();
    Layout().addLayout(row);
    context.Associator->AddIntInIntegerEdit(context.Settings->Print()->ScaleProperty(), m_scale, label, LoadStr(strScale));
    AddMoreThemesButton(context);
    Layout().addStretch();
}

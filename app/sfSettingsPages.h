#pragma once
// The eight pages of the settings dialog, one per settings section: each is a
// small form with its title, the controls bound to the section's values
// through the dialog's property associator, and the rules that enable one
// control by another.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QVBoxLayout;
class TIntegerEdit;
class TPropertyAssociator;
class TSettings;
class TUserWinButton;

// What the pages are built from.
struct TSettingsPageContext {
    TSettings* Settings = nullptr;
    TPropertyAssociator* Associator = nullptr;
    // Where the theme files lie (their names without ".txt" are the themes).
    QString ThemesFolder;
    // Runs when "Get More Themes" is clicked.
    std::function<void()> OnGetMoreThemes;
};

class TSettingsPage : public QWidget {
public:
    // A page titled caption (also its node in the page tree), named after its section.
    TSettingsPage(QWidget* parent, const QString& section, const QString& caption);

    const QString& Caption() const noexcept { return m_caption; }
    // The first control that takes the focus; nil when none does.
    QWidget* FirstControl() const;

protected:
    QVBoxLayout& Layout() const noexcept { return *m_layout; }
    // A check box under the page's last control, bound to item when it exists.
    QCheckBox* AddCheckBox(const TSettingsPageContext& context, class TBooleanProperty* item, int captionId);
    // A bold heading.
    QLabel* AddHeading(int captionId);
    // A label and a combo box beside it.
    QComboBox* AddCombo(QLabel*& label);

private:
    QString m_caption;
    QVBoxLayout* m_layout;
};

// The names of the theme files in folder without ".txt", after "Default".
QStringList ThemeChoices(const QString& folder);

class TGeneralSubForm : public TSettingsPage {
public:
    TGeneralSubForm(QWidget* parent, const TSettingsPageContext& context);
    QComboBox* LanguageBox() const noexcept { return m_language; }

private:
    QComboBox* m_language;
};

class TPaletteSubForm : public TSettingsPage {
public:
    TPaletteSubForm(QWidget* parent, const TSettingsPageContext& context);
};

// The theme, the font size and "Get More Themes" of the Editor and Print pages.
class TAppearancePage : public TSettingsPage {
public:
    QComboBox* ThemeBox() const noexcept { return m_theme; }
    QComboBox* FontSizeBox() const noexcept { return m_fontSize; }
    TUserWinButton* MoreThemesButton() const noexcept { return m_moreThemes; }

protected:
    TAppearancePage(QWidget* parent, const QString& section, const QString& caption,
                    const TSettingsPageContext& context, class TStringProperty* theme,
                    class TEnumProperty* fontSize);
    void AddMoreThemesButton(const TSettingsPageContext& context);

private:
    QComboBox* m_theme;
    QComboBox* m_fontSize;
    TUserWinButton* m_moreThemes = nullptr;
};

class TEditorSubForm : public TAppearancePage {
public:
    TEditorSubForm(QWidget* parent, const TSettingsPageContext& context);
    QCheckBox* FocusNewBox() const noexcept { return m_focusNew; }
    QCheckBox* DropDownBox() const noexcept { return m_dropDown; }

private:
    // "Open drop-down lists immediately" only with "Move the focus ...".
    void cbFocusNewClick();

    QCheckBox* m_focusNew;
    QCheckBox* m_dropDown;
};

class TNamingSubForm : public TSettingsPage {
public:
    static constexpr int kExampleCount = 4;
    TNamingSubForm(QWidget* parent, const TSettingsPageContext& context);

    QCheckBox* EnabledBox() const noexcept { return m_enabled; }
    QComboBox* StyleBox() const noexcept { return m_style; }
    QCheckBox* UnderscoreBox() const noexcept { return m_underscore; }
    QCheckBox* NumberFirstBox() const noexcept { return m_numberFirst; }
    TIntegerEdit* DigitsEdit() const noexcept { return m_digits; }
    QListWidget* ExampleBox() const noexcept { return m_example; }
    // The names in the example box.
    QStringList ExampleNames() const;

private:
    // Every naming control and the example only while naming is on.
    void cb2Click();
    // The example anew from the page's current choices.
    void CtrlChange();

    QCheckBox* m_enabled;
    QComboBox* m_style;
    QLabel* m_styleLabel;
    QCheckBox* m_underscore;
    QCheckBox* m_numberFirst;
    QLabel* m_digitsLabel;
    TIntegerEdit* m_digits;
    QWidget* m_exampleGroup;
    QListWidget* m_example;
};

class TLogSubForm : public TSettingsPage {
public:
    TLogSubForm(QWidget* parent, const TSettingsPageContext& context);
};

class TSoundsSubForm : public TSettingsPage {
public:
    TSoundsSubForm(QWidget* parent, const TSettingsPageContext& context);
};

class TPrintSubForm : public TAppearancePage {
public:
    TPrintSubForm(QWidget* parent, const TSettingsPageContext& context);
    TIntegerEdit* ScaleEdit() const noexcept { return m_scale; }

private:
    TIntegerEdit* m_scale;
};

class TMiscSubForm : public TSettingsPage {
public:
    TMiscSubForm(QWidget* parent, const TSettingsPageContext& context);
};

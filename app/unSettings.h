#pragma once
// The program's settings tree: the root (`TSettings`) with "General",
// "Sheet", "Search", "Print" and "Misc" in this order, the sections the
// program defines itself, and the choice of the interface language. The
// sections the libraries make ("Data", "Sounds", "Naming", "Log", "Program")
// are hung in by the global data module (`unGlobal`).

#include "core/cuProps.h"

#include <QLocale>
#include <QString>
#include <QStringList>

class TSheetSettings;
class TPrintSettings;

// What the program tells its sections with nmFirstRun (P1 points at it).
struct TFirstRun {
    QLocale UserLocale;
};

// The codes of the interface languages whose string table holds the
// language's own name (string 2011), in the order of the language table.
QStringList GetAvailableLanguages();
// The only available language when there is exactly one; otherwise the code
// of the user's language (its primary language decides: "pt_PT" gives "PTB",
// "zh_TW" "CHS"), "ENU" for a language the interface does not speak.
QString GetDefaultLanguage(const QLocale& userLocale);

// "General": "Language", the three-letter code of the interface language;
// empty (the default) means English.
class TGeneralSettings : public TProperty {
    T_CLASS(TGeneralSettings)
public:
    TGeneralSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();

    TStringProperty* Language() const noexcept { return m_language; }

    // nmFirstRun: "Language" becomes GetDefaultLanguage of the user's locale.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TGeneralSettings() override = default;

private:
    TStringProperty* m_language = nullptr;
};

// "Search": the defaults of the find options, each off.
class TSearchSettings : public TProperty {
    T_CLASS(TSearchSettings)
public:
    TSearchSettings() = default;
    void CreateProperties();

    TBooleanProperty* CaseSensitiveByDefault() const noexcept { return m_caseSensitive; }
    TBooleanProperty* VisibleOnlyByDefault() const noexcept { return m_visibleOnly; }
    TBooleanProperty* EnabledOnlyByDefault() const noexcept { return m_enabledOnly; }

protected:
    ~TSearchSettings() override = default;

private:
    TBooleanProperty* m_caseSensitive = nullptr;
    TBooleanProperty* m_visibleOnly = nullptr;
    TBooleanProperty* m_enabledOnly = nullptr;
};

// "Misc": "BackupOnSave" (on).
class TMiscSettings : public TProperty {
    T_CLASS(TMiscSettings)
public:
    TMiscSettings() = default;
    void CreateProperties();

    TBooleanProperty* BackupOnSave() const noexcept { return m_backupOnSave; }

protected:
    ~TMiscSettings() override = default;

private:
    TBooleanProperty* m_backupOnSave = nullptr;
};

class TSettings : public TProperty {
    T_CLASS(TSettings)
public:
    TSettings() = default;
    // The root with its five own sections.
    static TNodePtr<TSettings> CreateTree();

    TGeneralSettings* General() const noexcept { return m_general; }
    TSheetSettings* Sheet() const noexcept { return m_sheet; }
    TSearchSettings* Search() const noexcept { return m_search; }
    TPrintSettings* Print() const noexcept { return m_print; }
    TMiscSettings* Misc() const noexcept { return m_misc; }

protected:
    ~TSettings() override = default;

private:
    void CreateSections();

    TGeneralSettings* m_general = nullptr;
    TSheetSettings* m_sheet = nullptr;
    TSearchSettings* m_search = nullptr;
    TPrintSettings* m_print = nullptr;
    TMiscSettings* m_misc = nullptr;
};

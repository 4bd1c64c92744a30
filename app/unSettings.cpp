#include "app/unSettings.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"  // the sheet section owns its theme

namespace {
const QLatin1String kEnglishCode("ENU");
}  // namespace

namespace {
bool IsAvailable(const TInterfaceLanguage& language) {
    return !LoadStrLang(strLanguageName, language.LangId).isEmpty();
}

// The one available language; nullptr when there are more or none. Which
// languages have a table is known from the list of tables; only the one
// found is read, to see that it names its language (the first start would
// otherwise read a second table only to learn that there is one).
const TInterfaceLanguage* OnlyAvailableLanguage() {
    const TLocalization* localization = Localization();
    if (!localization) return nullptr;
    const TInterfaceLanguage* only = nullptr;
    for (const TInterfaceLanguage& language : InterfaceLanguages()) {
        if (!localization->HasTable(language.LangId)) continue;
        if (only) return nullptr;
        only = &language;
    }
    return only && IsAvailable(*only) ? only : nullptr;
}
}  // namespace

QStringList GetAvailableLanguages() {
    QStringList codes;
    for (const TInterfaceLanguage& language : InterfaceLanguages())
        if (IsAvailable(language)) codes.append(QLatin1String(language.Code));
    return codes;
}

QString GetDefaultLanguage(const QLocale& userLocale) {
    if (const TInterfaceLanguage* only = OnlyAvailableLanguage()) return QLatin1String(only->Code);
    for (const TInterfaceLanguage& language : InterfaceLanguages())
        if (language.Language == userLocale.language()) return QLatin1String(language.Code);
    return kEnglishCode;
}

// ---------------------------------------------------------------------------
// TGeneralSettings

T_CLASS_IMPL(TGeneralSettings, TProperty)

void TGeneralSettings::CreateProperties() {
    m_language = Create<TStringProperty>(this, QStringLiteral("Language"), QString());
}

bool TGeneralSettings::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmFirstRun && p1 && m_language)
        m_language->SetValue(GetDefaultLanguage(reinterpret_cast<const TFirstRun*>(p1)->UserLocale));
    return TProperty::HandleNodeMessage(msg, p1, p2);
}

// ---------------------------------------------------------------------------
// TSearchSettings, TMiscSettings

T_CLASS_IMPL(TSearchSettings, TProperty)

void TSearchSettings::CreateProperties() {
    m_caseSensitive = Create<TBooleanProperty>(this, QStringLiteral("CaseSensitiveByDefault"), false);
    m_visibleOnly = Create<TBooleanProperty>(this, QStringLiteral("VisibleOnlyByDefault"), false);
    m_enabledOnly = Create<TBooleanProperty>(this, QStringLiteral("EnabledOnlyByDefault"), false);
}

T_CLASS_IMPL(TMiscSettings, TProperty)

void TMiscSettings::CreateProperties() {
    m_backupOnSave = Create<TBooleanProperty>(this, QStringLiteral("BackupOnSave"), true);
}

// ---------------------------------------------------------------------------
// TSettings

T_CLASS_IMPL(TSettings, TProperty)

TNodePtr<TSettings> TSettings::CreateTree() {
    TNodePtr<TSettings> settings = CreateRoot<TSettings>(QStringLiteral("Settings"));
    settings->CreateSections();
    return settings;
}

void TSettings::CreateSections() {
    m_general = Create<TGeneralSettings>(this, QStringLiteral("General"));
    m_general->CreateProperties();
    m_sheet = Create<TSheetSettings>(this, QStringLiteral("Sheet"));
    m_sheet->CreateProperties();
    m_search = Create<TSearchSettings>(this, QStringLiteral("Search"));
    m_search->CreateProperties();
    m_print = Create<TPrintSettings>(this, QStringLiteral("Print"));
    m_print->CreateProperties();
    m_misc = Create<TMiscSettings>(this, QStringLiteral("Misc"));
    m_misc->CreateProperties();
}

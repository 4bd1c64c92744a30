#pragma once
// Localised texts by string-table id. One TLocalization object exists between
// the unit's initialisation and finalisation; LoadStr may be called from any thread.

#include "core/cuClasses.h"

#include <QString>
#include <QStringList>

class TLocalization : public TItfObject {
public:
    TLocalization();
    ~TLocalization() override;

    uint16_t Language() const noexcept { return m_language; }
    uint16_t FallbackLanguage() const noexcept { return m_fallbackLanguage; }
    // Store the value; broadcast 1 ("changed") when it changed.
    void SetLanguage(uint16_t langId);
    void SetFallbackLanguage(uint16_t langId);

private:
    uint16_t m_language = 0;
    uint16_t m_fallbackLanguage = 0;
};

// The one instance; nullptr outside the unit's lifetime.
TLocalization* Localization() noexcept;

// Entry `id` of the table of language `langId`; empty when absent.
QString LoadStrLang(int id, uint16_t langId);
// Entry `id` in the current language, falling back as the localisation says.
QString LoadStr(int id);
// LoadStr(id) with the first occurrence of "%1".."%n" replaced by args.
QString LoadStrFmt(int id, const QStringList& args);

void InitLocalizationUnit();
void FinalLocalizationUnit();

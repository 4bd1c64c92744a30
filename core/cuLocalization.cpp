#include "core/cuLocalization.h"

// Placeholder until the string tables land: every text is empty, so callers
// see ids only. The real tables replace this file.

namespace {
TLocalization* g_localization = nullptr;
}

TLocalization::TLocalization() = default;
TLocalization::~TLocalization() = default;

void TLocalization::SetLanguage(uint16_t langId) {
    if (m_language == langId) return;
    m_language = langId;
    Broadcast(1);
}

void TLocalization::SetFallbackLanguage(uint16_t langId) {
    if (m_fallbackLanguage == langId) return;
    m_fallbackLanguage = langId;
    Broadcast(1);
}

TLocalization* Localization() noexcept { return g_localization; }

QString LoadStrLang(int, uint16_t) { return {}; }
QString LoadStr(int id) { return LoadStrLang(id, g_localization ? g_localization->Language() : 0); }

QString LoadStrFmt(int id, const QStringList& args) {
    QString text = LoadStr(id);
    for (int i = 0; i < args.size(); ++i) {
        const QString ph = QLatin1Char('%') + QString::number(i + 1);
        if (int at = text.indexOf(ph); at >= 0) text.replace(at, ph.size(), args[i]);
    }
    return text;
}

void InitLocalizationUnit() { g_localization = new TLocalization(); }
void FinalLocalizationUnit() {
    delete g_localization;
    g_localization = nullptr;
}

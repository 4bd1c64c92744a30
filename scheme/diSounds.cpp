#include "scheme/diSounds.h"

#include "platform/plResources.h"
#include "platform/plSoundPlayer.h"

T_CLASS_IMPL(TSoundsSettings, TProperty)

void TSoundsSettings::CreateProperties() {
    m_enabled = TProperty::Create<TBooleanProperty>(this, QStringLiteral("Enabled"), true);
}

bool TSoundsSettings::Enabled() const { return m_enabled && m_enabled->Value(); }

namespace {
TNodePtr<TSoundsSettings> g_sounds;
}

TSoundsSettings* SoundsSettings() noexcept { return g_sounds.get(); }

void PlaySchemeSound(const QString& name) {
    if (!g_sounds || !g_sounds->Enabled()) return;
    TSchemeSound(name).Play();
}

TSchemeSound::TSchemeSound(const QString& name) : m_path(FindResource(name)) {}

void TSchemeSound::Play() const {
    if (m_path.isEmpty() || !g_sounds || !g_sounds->Enabled()) return;
    try {
        TSoundPlayer::Current().Play(m_path);
    } catch (...) {
        // A sound is never worth an error.
    }
}

void InitSoundsUnit() {
    g_sounds = TProperty::CreateRoot<TSoundsSettings>(QStringLiteral("Sounds"));
    g_sounds->CreateProperties();
}

void FinalSoundsUnit() {
    g_sounds.reset();
    TSoundPlayer::Release();
}

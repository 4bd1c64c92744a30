#include "platform/plSoundPlayer.h"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>

#include <map>

namespace {

class TQtSoundEffect final : public TSoundEffect {
public:
    explicit TQtSoundEffect(const QString& path) {
        m_effect.setSource(path.startsWith(QLatin1Char(':')) ? QUrl(QLatin1String("qrc") + path)
                                                              : QUrl::fromLocalFile(path));
    }
    // Without an audio device the effect reports an error and stays silent.
    void Play() override { m_effect.play(); }
    bool IsPlaying() const override { return m_effect.isPlaying(); }

private:
    QSoundEffect m_effect;
};

class TEffectSoundPlayer final : public TSoundPlayer {
public:
    explicit TEffectSoundPlayer(TSoundEffectFactory factory) : m_factory(std::move(factory)) {}

    void Play(const QString& resourcePath) override {
        if (IsPlaying() || !QFile::exists(resourcePath)) return;
        std::unique_ptr<TSoundEffect>& effect = m_effects[resourcePath];
        if (!effect) effect = m_factory(resourcePath);
        if (effect) effect->Play();
    }

    bool IsPlaying() const override {
        for (const auto& [path, effect] : m_effects)
            if (effect && effect->IsPlaying()) return true;
        return false;
    }

private:
    TSoundEffectFactory m_factory;
    std::map<QString, std::unique_ptr<TSoundEffect>> m_effects;
};

std::unique_ptr<TSoundPlayer>& Slot() {
    static std::unique_ptr<TSoundPlayer> player;
    return player;
}

}  // namespace

std::unique_ptr<TSoundPlayer> CreateEffectSoundPlayer(TSoundEffectFactory factory) {
    return std::make_unique<TEffectSoundPlayer>(std::move(factory));
}

std::unique_ptr<TSoundPlayer> CreateQtSoundPlayer() {
    return CreateEffectSoundPlayer([](const QString& path) { return std::make_unique<TQtSoundEffect>(path); });
}

TSoundPlayer& TSoundPlayer::Current() {
    std::unique_ptr<TSoundPlayer>& player = Slot();
    if (!player) player = CreateQtSoundPlayer();
    return *player;
}

std::unique_ptr<TSoundPlayer> TSoundPlayer::Install(std::unique_ptr<TSoundPlayer> player) {
    std::swap(Slot(), player);
    return player;
}

void TSoundPlayer::Release() { Slot().reset(); }

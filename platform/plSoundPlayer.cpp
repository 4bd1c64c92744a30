#include "platform/plSoundPlayer.h"

#include <QFile>
#include <QHash>
#include <QSoundEffect>
#include <QUrl>

namespace {

class TQtSoundPlayer final : public TSoundPlayer {
public:
    void Play(const QString& resourcePath) override {
        if (IsPlaying() || !QFile::exists(resourcePath)) return;
        QSoundEffect*& effect = m_effects[resourcePath];
        if (!effect) {
            effect = new QSoundEffect();
            effect->setSource(resourcePath.startsWith(QLatin1Char(':'))
                                  ? QUrl(QLatin1String("qrc") + resourcePath)
                                  : QUrl::fromLocalFile(resourcePath));
        }
        // Without an audio device the effect reports an error and stays silent.
        effect->play();
    }

    bool IsPlaying() const override {
        for (const QSoundEffect* effect : m_effects)
            if (effect->isPlaying()) return true;
        return false;
    }

    ~TQtSoundPlayer() override { qDeleteAll(m_effects); }

private:
    QHash<QString, QSoundEffect*> m_effects;
};

std::unique_ptr<TSoundPlayer>& Slot() {
    static std::unique_ptr<TSoundPlayer> player;
    return player;
}

}  // namespace

std::unique_ptr<TSoundPlayer> CreateQtSoundPlayer() { return std::make_unique<TQtSoundPlayer>(); }

TSoundPlayer& TSoundPlayer::Current() {
    std::unique_ptr<TSoundPlayer>& player = Slot();
    if (!player) player = CreateQtSoundPlayer();
    return *player;
}

void TSoundPlayer::Install(std::unique_ptr<TSoundPlayer> player) { Slot() = std::move(player); }

void TSoundPlayer::Release() { Slot().reset(); }

#pragma once
// Records the sounds played while it lives (their full paths, in order) and
// then puts back the player it replaced.

#include "platform/plSoundPlayer.h"

#include <QStringList>

#include <memory>

class TRecordedSounds {
public:
    QStringList played;

    TRecordedSounds() : m_previous(TSoundPlayer::Install(std::make_unique<TPlayer>(&played))) {}
    ~TRecordedSounds() { TSoundPlayer::Install(std::move(m_previous)); }
    TRecordedSounds(const TRecordedSounds&) = delete;
    TRecordedSounds& operator=(const TRecordedSounds&) = delete;

private:
    class TPlayer : public TSoundPlayer {
    public:
        explicit TPlayer(QStringList* played) : m_played(played) {}
        void Play(const QString& path) override { m_played->append(path); }
        bool IsPlaying() const override { return false; }

    private:
        QStringList* m_played;
    };
    std::unique_ptr<TSoundPlayer> m_previous;
};

#pragma once
// Plays short sounds from the resource system, asynchronously. The editor
// never interrupts a sound that is still playing, and a machine without an
// audio device just stays silent. Tests install a recording fake.

#include <QString>

#include <functional>
#include <memory>

class TSoundPlayer {
public:
    virtual ~TSoundPlayer() = default;
    // Starts the sound in the resource file `resourcePath` (":/sounds/x.wav")
    // unless a sound is still playing. Nothing happens, and nothing is
    // raised, when the file does not exist or cannot be played.
    virtual void Play(const QString& resourcePath) = 0;
    virtual bool IsPlaying() const = 0;

    // The player in use: a QSoundEffect player made on first use unless a test
    // installed another. Install(nullptr) returns to the default one; the
    // player that was installed before is handed back.
    static TSoundPlayer& Current();
    static std::unique_ptr<TSoundPlayer> Install(std::unique_ptr<TSoundPlayer> player);
    // Frees the default player (at unit finalisation).
    static void Release();
};

// One loaded sound of the effect player.
class TSoundEffect {
public:
    virtual ~TSoundEffect() = default;
    virtual void Play() = 0;
    virtual bool IsPlaying() const = 0;
};
using TSoundEffectFactory = std::function<std::unique_ptr<TSoundEffect>(const QString& path)>;

// A player that keeps one effect per sound file for reuse and starts a sound
// only while none of its effects is playing.
std::unique_ptr<TSoundPlayer> CreateEffectSoundPlayer(TSoundEffectFactory factory);
// The effect player on QSoundEffect.
std::unique_ptr<TSoundPlayer> CreateQtSoundPlayer();

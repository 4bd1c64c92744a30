// The "Sounds" section and playing named sounds through the platform player.

#include "scheme/diSounds.h"

#include "core/cuKnot.h"
#include "support/testSounds.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>

namespace {

class Sounds : public ::testing::Test {
protected:
    void SetUp() override { SoundsSettings()->EnabledProperty()->SetValue(true); }
    void TearDown() override { SoundsSettings()->EnabledProperty()->SetValue(true); }
    TRecordedSounds sounds;
    QStringList& played = sounds.played;
};

TEST_F(Sounds, EveryNamedSoundExistsAndPlaysButDisabledOrMissingPlaysNothingAndOnlyAChangeIsSaved) {
    for (const QString& name : {sndItem, sndElement, sndDisable, sndDropDown, sndValue}) {
        PlaySchemeSound(name);
        ASSERT_EQ(played.size(), 1) << name.toStdString();
        const QString path = played.takeLast();
        EXPECT_TRUE(path.endsWith(name + ".wav") && QFile::exists(path)) << name.toStdString();
    }
    PlaySchemeSound("noSuchSound");
    SoundsSettings()->EnabledProperty()->SetValue(false);
    PlaySchemeSound(sndItem);
    EXPECT_TRUE(played.isEmpty());

    // The section saves only a changed value.
    TNodePtr<TKnot> root = TKnot::Create("Settings");
    SoundsSettings()->EnabledProperty()->SetValue(true);
    SoundsSettings()->SaveTo(root.get());
    EXPECT_EQ(root->FindChild(u"Sounds")->FindChild(u"Enabled"), nullptr);
    SoundsSettings()->EnabledProperty()->SetValue(false);
    SoundsSettings()->SaveTo(root.get());
    EXPECT_EQ(root->FindPath(u"Sounds.Enabled", false)->ReadStr(u"Value"), "0");
}

TEST_F(Sounds, SoundFoundOnceAsksTheSettingAtEveryPlayAndAMissingOnePlaysNothing) {
    const TSchemeSound found(sndValue);
    const TSchemeSound missing(QStringLiteral("noSuchSound"));
    found.Play();
    missing.Play();
    SoundsSettings()->EnabledProperty()->SetValue(false);
    found.Play();
    SoundsSettings()->EnabledProperty()->SetValue(true);
    found.Play();
    const QString path = played.value(0);
    EXPECT_TRUE(path.endsWith(sndValue + ".wav") && QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(played, QStringList({path, path}));
}

struct TFakeEffect : TSoundEffect {
    int plays = 0;
    bool playing = false;
    void Play() override {
        ++plays;
        playing = true;
    }
    bool IsPlaying() const override { return playing; }
};

TEST(SoundPlayer, SoundStillPlayingIsNotInterruptedAndEffectsAreReused) {
    std::map<QString, TFakeEffect*> made;
    auto player = CreateEffectSoundPlayer([&](const QString& path) {
        auto effect = std::make_unique<TFakeEffect>();
        made[path] = effect.get();
        return effect;
    });
    const QString item = ":/rc/diClassesItemSound.wav", value = ":/rc/diClassesValueSound.wav";
    player->Play(item);
    EXPECT_TRUE(player->IsPlaying());
    player->Play(value);  // the item sound is still playing
    EXPECT_EQ(made.count(value), 0u);
    made[item]->playing = false;
    player->Play(value);
    made[value]->playing = false;
    player->Play(item);
    player->Play(":/rc/noSuchSound.wav");  // item is playing; and the file is missing anyway
    made[item]->playing = false;
    player->Play(":/rc/noSuchSound.wav");
    EXPECT_EQ(made.size(), 2u);
    EXPECT_EQ(made[item]->plays, 2);  // the same effect again
}

TEST(SoundPlayer, QtPlayerIsSilentWithoutAudioAndForMissingFiles) {
    auto player = CreateQtSoundPlayer();
    player->Play(":/rc/noSuchSound.wav");
    EXPECT_FALSE(player->IsPlaying());
    player->Play(":/rc/diClassesItemSound.wav");
}

}  // namespace

// The main of every test program: a headless application, the units of the
// layers the program links initialised in layer order, then GoogleTest.

#include "core/cuUnits.h"
#include "platform/plSoundPlayer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include "support/testUnits.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    TUnitRegistry units;
    RegisterTestUnits(units);
    units.InitializeAll();
    // Tests never reach the audio system: a real player would start the
    // multimedia backend's threads in every program that plays a sound.
    TSoundPlayer::Install(CreateEffectSoundPlayer([](const QString&) { return std::unique_ptr<TSoundEffect>(); }));
    int result = RUN_ALL_TESTS();
    units.FinalizeAll();
    return result;
}

#include "platform/plInput.h"

#include <gtest/gtest.h>

#include <Qt>

namespace {

TEST(KeyCodes, QtKeysBecomeVirtualKeyNumbers) {
    const std::pair<int, int> cases[] = {
        {Qt::Key_Return, 13}, {Qt::Key_Enter, 13}, {Qt::Key_Escape, 27}, {Qt::Key_Space, 32},
        {Qt::Key_Left, 37},   {Qt::Key_Up, 38},    {Qt::Key_Right, 39},  {Qt::Key_Down, 40},
        {Qt::Key_A, 65},      {Qt::Key_Z, 90},     {Qt::Key_0, 48},      {Qt::Key_Tab, 9},
        {Qt::Key_Backspace, 8}, {Qt::Key_Delete, 46}, {Qt::Key_Insert, 45}, {Qt::Key_PageUp, 33},
        {Qt::Key_F1, 112},    {Qt::Key_F12, 123},  {Qt::Key_Eacute, 0},
    };
    for (const auto& [qt, vk] : cases) EXPECT_EQ(VirtualKeyFromQtKey(qt), vk) << qt;
    EXPECT_EQ(ShiftStateFromQtModifiers(Qt::ShiftModifier | Qt::ControlModifier), ssShift | ssCtrl);
    EXPECT_EQ(ShiftStateFromQtModifiers(Qt::AltModifier), ssAlt);
}

TEST(InputState, AFakeStateAnswersWhileInstalledAndTheBeepGoesToTheInstalledFunction) {
    TFakeInputState fake;
    fake.LeftButtonDown = true;
    {
        TInputStateInstaller install(&fake);
        EXPECT_TRUE(TInputState::Current().IsLeftButtonDown());
    }
    EXPECT_FALSE(TInputState::Current().IsLeftButtonDown());  // headless: no button is down
    static int beeps = 0;
    TBeepFunction previous = InstallBeep([] { ++beeps; });
    SystemBeep();
    SystemBeep();
    InstallBeep(previous);
    EXPECT_EQ(beeps, 2);
}

}  // namespace

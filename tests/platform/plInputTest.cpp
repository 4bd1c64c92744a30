#include "platform/plInput.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMetaEnum>
#include <QStyleHints>

namespace {

TEST(KeyCodes, QtKeysBecomeVirtualKeyNumbers) {
    const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
    for (const CaseRow& c : LoadCases("platform/input.txt", "VirtualKeys"))
        EXPECT_EQ(VirtualKeyFromQtKey(keys.keyToValue(c["Key"].toLatin1().constData())), c.Int("Vk")) << c.Text();
    EXPECT_EQ(ShiftStateFromQtModifiers(Qt::ShiftModifier | Qt::ControlModifier), ssShift | ssCtrl);
    EXPECT_EQ(ShiftStateFromQtModifiers(Qt::AltModifier), ssAlt);
}

TEST(InputState, AFakeStateAnswersWhileInstalledAndTheBeepGoesToTheInstalledFunction) {
    TFakeInputState fake;
    fake.LeftButtonDown = true;
    fake.Threshold = 11;
    {
        TInputStateInstaller install(&fake);
        EXPECT_TRUE(TInputState::Current().IsLeftButtonDown());
        EXPECT_EQ(TInputState::Current().DragThreshold(), 11);
    }
    EXPECT_FALSE(TInputState::Current().IsLeftButtonDown());  // headless: no button is down
    EXPECT_EQ(TInputState::Current().DragThreshold(), QGuiApplication::styleHints()->startDragDistance());
    static int beeps = 0;
    TBeepFunction previous = InstallBeep([] { ++beeps; });
    SystemBeep();
    SystemBeep();
    InstallBeep(previous);
    EXPECT_EQ(beeps, 2);
}

}  // namespace

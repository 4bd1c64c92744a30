#include "platform/plInput.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
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

TEST(KeyCodes, AKeyEventBecomesAKeyDownAndAKeyPressPerCodeUnit) {
    struct Row {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        QString Text;
        int Vk;
        TShiftState Shift;
        QString Chars;
    };
    const Row rows[] = {
        {Qt::Key_A, Qt::NoModifier, "a", 'A', 0, "a"},
        {Qt::Key_Return, Qt::ControlModifier, "\n", vkReturn, ssCtrl, "\r"},
        {Qt::Key_Enter, Qt::ShiftModifier, "", vkReturn, ssShift, "\r"},
        {Qt::Key_Tab, Qt::ControlModifier, "", vkTab, ssCtrl, "\t"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "", vkTab, ssShift, "\t"},
        {Qt::Key_Left, Qt::NoModifier, "", vkLeft, 0, ""},
        {Qt::Key_unknown, Qt::NoModifier, QString::fromUtf16(u"\U0001F600"), vkNone, 0,
         QString::fromUtf16(u"\U0001F600")},
    };
    for (const Row& r : rows) {
        const TKeyStroke stroke = KeyStrokeFromQtEvent(QKeyEvent(QEvent::KeyPress, r.Key, r.Modifiers, r.Text));
        EXPECT_EQ(stroke.Key, r.Vk) << r.Key;
        EXPECT_EQ(stroke.Shift, r.Shift) << r.Key;
        EXPECT_EQ(stroke.Chars, r.Chars) << r.Key;
    }
    struct TReceiver {
        QStringList Calls;
        void KeyDown(int& key, TShiftState shift) { Calls << QString("down %1 %2").arg(key).arg(shift); }
        void KeyPress(QChar& ch) { Calls << QString("press %1").arg(ch.unicode(), 0, 16); }
    } receiver;
    DeliverKeyStroke(KeyStrokeFromQtEvent(QKeyEvent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                                                    QString::fromUtf16(u"\U0001F600"))),
                     receiver);
    QInputMethodEvent commit;
    commit.setCommitString("ab");
    DeliverKeyStroke(KeyStrokeFromInputMethod(commit), receiver);
    EXPECT_EQ(receiver.Calls, QStringList({"press d83d", "press de00", "press 61", "press 62"}));
}

TEST(InputState, AFakeStateAnswersWhileInstalledAndTheBeepGoesToTheInstalledFunction) {
    TFakeInputState fake;
    fake.LeftButtonDown = true;
    fake.Threshold = 11;
    fake.Modifiers = ssCtrl;
    {
        TInputStateInstaller install(&fake);
        EXPECT_TRUE(TInputState::Current().IsLeftButtonDown());
        EXPECT_EQ(TInputState::Current().DragThreshold(), 11);
        EXPECT_EQ(TInputState::Current().KeyboardModifiers(), ssCtrl);
    }
    EXPECT_FALSE(TInputState::Current().IsLeftButtonDown());  // headless: no button is down
    EXPECT_EQ(TInputState::Current().KeyboardModifiers(), 0);
    EXPECT_EQ(TInputState::Current().DragThreshold(), QGuiApplication::styleHints()->startDragDistance());
    static int beeps = 0;
    TBeepFunction previous = InstallBeep([] { ++beeps; });
    SystemBeep();
    SystemBeep();
    InstallBeep(previous);
    EXPECT_EQ(beeps, 2);
}

}  // namespace

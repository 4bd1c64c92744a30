// The integer edit: reading, clamping, stepping by keys and arrows, and
// dropping characters that are no part of a number, as one table.

#include "platform/plInput.h"
#include "support/testCases.h"
#include "ui/baEdits.h"

#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

int g_beeps = 0;
void CountBeep() { ++g_beeps; }

TNumberEditOptions OptionsOf(const QString& names) {
    TNumberEditOptions options;
    if (names.contains(QLatin1String("Roller"))) options |= eoRoller;
    if (names.contains(QLatin1String("ButtonsRound"))) options |= eoButtonsRound;
    return options;
}

Qt::Key KeyOf(const QString& name) {
    if (name == QLatin1String("PageUp")) return Qt::Key_PageUp;
    if (name == QLatin1String("PageDown")) return Qt::Key_PageDown;
    if (name == QLatin1String("Up")) return Qt::Key_Up;
    return Qt::Key_Down;
}

void Act(TIntegerEdit& edit, const CaseRow& c) {
    const QString action = c["Action"];
    if (action == QLatin1String("Up"))
        edit.StepUp(c.Int("Steps"));
    else if (action == QLatin1String("Down"))
        edit.StepDown(c.Int("Steps"));
    else if (action == QLatin1String("Key"))
        QTest::keyClick(&edit, KeyOf(c["Key"]));
    else if (action == QLatin1String("Type"))
        QTest::keyClicks(&edit, c["Typed"]);
    else
        edit.Value();
}

TEST(IntegerEdit, Table) {
    const TBeepFunction oldBeep = InstallBeep(&CountBeep);
    for (const CaseRow& c : LoadCases("ui/edits.txt", "IntegerEdit")) {
        TIntegerEdit edit;
        if (c.Has("Min")) edit.SetMinValue(c["Min"].toLongLong());
        if (c.Has("Max")) edit.SetMaxValue(c["Max"].toLongLong());
        if (c.Has("Inc")) edit.SetIncrement(c["Inc"].toLongLong());
        edit.SetOptions(OptionsOf(c["Options"]));
        edit.setText(c["Text"]);
        g_beeps = 0;
        Act(edit, c);
        EXPECT_EQ(edit.text(), c["Shows"]) << c.Text();
        EXPECT_EQ(edit.Value(), c["Value"].toLongLong()) << c.Text();
        if (c.Has("Beeps")) {
            EXPECT_EQ(g_beeps, c.Int("Beeps")) << c.Text();
        }
    }
    InstallBeep(oldBeep);
}

// The edit's arrows: up steps up and down steps down by one, not while the
// edit is read-only unless the options allow it; without buttons they hide.
TEST(IntegerEdit, TheArrowsStepByOneAndRestWhileReadOnlyUnlessAllowed) {
    TIntegerEdit edit;
    edit.resize(120, 24);
    edit.show();
    auto* arrows = edit.findChild<QScrollBar*>();
    ASSERT_NE(arrows, nullptr);
    edit.SetValue(5);
    arrows->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(edit.text(), QStringLiteral("6"));
    arrows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    arrows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(edit.text(), QStringLiteral("4"));
    EXPECT_EQ(arrows->value(), 0) << "the arrows stay in their middle";
    edit.setReadOnly(true);
    arrows->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(edit.text(), QStringLiteral("4"));
    edit.SetOptions(eoButtonsNotReadOnly);
    arrows->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(edit.text(), QStringLiteral("5"));
    EXPECT_TRUE(arrows->isVisible());
    edit.SetOptions(eoNoButtons);
    EXPECT_FALSE(arrows->isVisible());
}

}  // namespace

// The event hook: what it keeps from the control, what it sees after the
// control, errors of its handlers, and controls that go.

#include "core/cuClasses.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"
#include "support/testEnglish.h"
#include "ui/baAppWidgets.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A widget that writes each key it gets into a shared log and accepts all
// but Escape, which goes on to its parent.
class TKeyLogWidget : public QWidget {
public:
    TKeyLogWidget(QStringList& log, const QString& name, QWidget* parent = nullptr)
        : QWidget(parent), m_log(log), m_name(name) {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        m_log << m_name + ":" + e->text();
        if (e->key() == Qt::Key_Escape) e->ignore();
    }

private:
    QStringList& m_log;
    QString m_name;
};

QString KeyText(QEvent& e) { return static_cast<QKeyEvent&>(e).text(); }

class Hooker : public ::testing::Test {
protected:
    void SetUp() override {
        form.resize(100, 100);
        control.setGeometry(10, 10, 50, 50);
        form.show();
        control.setFocus();
        hooker.SetControl(&control);
    }
    // Key presses only, so the log is not filled with paint and focus events.
    static bool IsKey(QEvent& e) { return e.type() == QEvent::KeyPress; }

    QStringList log;
    TKeyLogWidget form{log, "form"};
    TKeyLogWidget control{log, "control", &form};
    THooker hooker;
};

TEST_F(Hooker, ABeforeHandlerSwallowsAKeyBeforeTheWidgetSeesIt) {
    hooker.OnBeforeMessage = [&](THooker& sender, QEvent& e, bool& handled) {
        EXPECT_EQ(&sender, &hooker);
        if (IsKey(e)) handled = KeyText(e) == "a";
    };
    QTest::keyClick(&control, Qt::Key_A);
    QTest::keyClick(&control, Qt::Key_B);
    EXPECT_EQ(log, QStringList{"control:b"});
}

// The after handler runs once, when the widget has handled the key; a key the
// widget leaves to its parent still reaches the parent once.
TEST_F(Hooker, AnAfterHandlerRunsOnceTheWidgetHandledTheEvent) {
    hooker.OnBeforeMessage = [&](THooker&, QEvent& e, bool&) {
        if (IsKey(e)) log << "before:" + KeyText(e);
    };
    hooker.OnAfterMessage = [&](THooker&, QEvent& e, bool&) {
        if (IsKey(e)) log << "after:" + KeyText(e);
    };
    QTest::keyClick(&control, Qt::Key_A);
    EXPECT_EQ(log, (QStringList{"before:a", "control:a", "after:a"}));
    log.clear();
    QTest::keyClick(&control, Qt::Key_Escape);
    const QString esc(QChar(0x1B));
    EXPECT_EQ(log, (QStringList{"before:" + esc, "control:" + esc, "after:" + esc, "form:" + esc}));
}

TEST_F(Hooker, AHandlersExceptionIsShownAndTheEventGoesOn) {
    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller install(&dialogs);
    hooker.OnBeforeMessage = [&](THooker&, QEvent& e, bool&) {
        if (IsKey(e)) throw Exception::FromId(strFileNotFound, {"x.prm"});
    };
    QTest::keyClick(&control, Qt::Key_A);
    EXPECT_EQ(log, QStringList{"control:a"});
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, PunctuateMessage(Exception::FromId(strFileNotFound, {"x.prm"}).Text()));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags & MsgBox::IconMask, MsgBox::IconError);
}

TEST_F(Hooker, ADestroyedControlIsUnhooked) {
    auto* doomed = new TKeyLogWidget(log, "doomed", &form);
    hooker.SetControl(doomed);
    EXPECT_EQ(hooker.Control(), doomed);
    delete doomed;
    EXPECT_EQ(hooker.Control(), nullptr);
    // A handler that frees the control it watches: the event goes nowhere.
    doomed = new TKeyLogWidget(log, "doomed", &form);
    hooker.SetControl(doomed);
    hooker.OnBeforeMessage = [&](THooker& sender, QEvent& e, bool&) {
        if (IsKey(e)) delete sender.Control();
    };
    QTest::keyPress(doomed, Qt::Key_A);
    EXPECT_EQ(hooker.Control(), nullptr);
    EXPECT_TRUE(log.isEmpty());
    // Hooking again after that works as before.
    hooker.OnBeforeMessage = nullptr;
    hooker.SetControl(&control);
    QTest::keyClick(&control, Qt::Key_B);
    EXPECT_EQ(log, QStringList{"control:b"});
}

}  // namespace

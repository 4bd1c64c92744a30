// The event hook: what it keeps from the control, what it sees after the
// control, errors of its handlers, and controls that go.

#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "support/testEnglish.h"
#include "ui/baAppWidgets.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Logs each key it gets as "name:text"; accepts all but Escape, which goes on to the parent.
struct TKeyLogWidget : QWidget {
    TKeyLogWidget(QStringList& log, const char* name, QWidget* parent = nullptr) : QWidget(parent), Log(log), Name(name) {}
    void keyPressEvent(QKeyEvent* e) override {
        Log << Name + ":" + e->text();
        e->setAccepted(e->key() != Qt::Key_Escape);
    }
    QStringList& Log;
    QString Name;
};

class Hooker : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        hooker.SetControl(&control);
    }
    // Logs the keys a handler sees with its prefix.
    THookerMessageEvent Logging(const char* prefix) {
        return [this, prefix](THooker& sender, QEvent& e, bool&) {
            EXPECT_EQ(&sender, &hooker);
            if (e.type() == QEvent::KeyPress) log << prefix + static_cast<QKeyEvent&>(e).text();
        };
    }

    QStringList log;
    TKeyLogWidget form{log, "form"};
    TKeyLogWidget control{log, "control", &form};
    THooker hooker;
};

TEST_F(Hooker, ABeforeHandlerSwallowsAKeyBeforeTheWidgetSeesIt) {
    hooker.OnBeforeMessage = [](THooker&, QEvent& e, bool& handled) {
        handled = e.type() == QEvent::KeyPress && static_cast<QKeyEvent&>(e).key() == Qt::Key_A;
    };
    QTest::keyClick(&control, Qt::Key_A);
    QTest::keyClick(&control, Qt::Key_B);
    EXPECT_EQ(log, QStringList{"control:b"});
}

// Once each; a key the widget leaves to its parent reaches the parent once.
TEST_F(Hooker, AnAfterHandlerRunsOnceTheWidgetHandledTheEvent) {
    hooker.OnBeforeMessage = Logging("before:");
    hooker.OnAfterMessage = Logging("after:");
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
    hooker.OnBeforeMessage = [](THooker&, QEvent& e, bool&) {
        if (e.type() == QEvent::KeyPress) throw Exception::FromId(strFileNotFound, {"x.prm"});
    };
    QTest::keyClick(&control, Qt::Key_A);
    EXPECT_EQ(log, QStringList{"control:a"});
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, PunctuateMessage(Exception::FromId(strFileNotFound, {"x.prm"}).Text()));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Error");
    EXPECT_EQ(dialogs.Boxes[0].Flags & MsgBox::IconMask, MsgBox::IconError);
}

// Also when a handler frees the control it watches: the event then goes nowhere.
TEST_F(Hooker, ADestroyedControlIsUnhooked) {
    auto* doomed = new TKeyLogWidget(log, "doomed", &form);
    hooker.SetControl(doomed);
    delete doomed;
    EXPECT_EQ(hooker.Control(), nullptr);
    doomed = new TKeyLogWidget(log, "doomed", &form);
    hooker.SetControl(doomed);
    hooker.OnBeforeMessage = [](THooker& sender, QEvent& e, bool&) {
        if (e.type() == QEvent::KeyPress) delete sender.Control();
    };
    QTest::keyPress(doomed, Qt::Key_A);
    EXPECT_EQ(hooker.Control(), nullptr);
    hooker.OnBeforeMessage = Logging("before:");
    hooker.SetControl(&control);
    QTest::keyClick(&control, Qt::Key_B);
    EXPECT_EQ(log, (QStringList{"before:b", "control:b"}));
}

}  // namespace

// The preview's thread on a clock the test moves: the pause it waits for,
// in-place editing and open updates that postpone it, a new file name that
// renames the unit at once, a new text that keeps the user's caret and scroll
// position, and switches and closes during a pass, which return promptly and
// show nothing of the pass they stopped.

#include "app/unDocument.h"
#include "app/unRightSubForm.h"
#include "elements/coRoot.h"
#include "elements/coValueElements.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prScheme.h"
#include "platform/plClock.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "text/diTextorInteractive.h"
#include "support/testEnglish.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace {

// Longer than several of the thread's checks: what has not happened by then
// is not going to happen without a change.
constexpr int kSeveralChecksMs = 4 * TRightFormThread::kPollMs;
constexpr int kShowWaitMs = 20000;
// A stop is prompt when it takes less than this.
constexpr qint64 kPromptMs = 2000;
// How long a slowed pass would hold out if nobody stopped it.
constexpr auto kSlowPass = std::chrono::seconds(20);

// A manual clock that other threads may read while the test moves it.
class TSharedManualClock : public TClock {
public:
    int64_t NowMs() const override { return m_now.load(); }
    void Advance(int64_t ms) { m_now += ms; }

private:
    std::atomic<int64_t> m_now{1000000};
};

class PreviewThreadTest : public ::testing::Test {
protected:
    PreviewThreadTest() : m_previousClock(TClock::Install(&clock)) {
        form.Hooks.OnShown = [this] {
            ++shown;
            texts << form.Text();
        };
        form.Hooks.OnGenerating = [this] {
            ++generating;
            if (!slowNextPass.exchange(false)) return;
            const auto until = std::chrono::steady_clock::now() + kSlowPass;
            while (!QThread::currentThread()->isInterruptionRequested() && std::chrono::steady_clock::now() < until)
                QThread::msleep(1);
        };
    }
    ~PreviewThreadTest() override {
        form.SetScheme(nullptr, nullptr);
        TClock::Install(m_previousClock);
    }

    // A new program module shown on its sheet; saved under the name when given.
    // The fixture keeps it until the form stopped showing it.
    TSchemeDocument* Module(const QString& name = QString(), TConnectedDocuments* connected = nullptr) {
        auto* document = documents.emplace_back(
            std::make_unique<TSchemeDocument>(ProgramSchemeDescriptor(), settings.get(), connected)).get();
        document->InitNew();
        document->SetActive(true);
        if (!name.isEmpty()) document->SaveAs(files.filePath(name));
        return document;
    }
    void Show(TSchemeDocument& document) { form.SetScheme(document.Scheme(), document.MainSheet()); }
    // Waits for the next text; false when none came.
    bool NextShown() {
        const int before = shown;
        return QTest::qWaitFor([&] { return shown > before; }, kShowWaitMs);
    }
    // The thread's checks run for a while; whether a text came meanwhile.
    bool ShownMeanwhile() {
        const int before = shown;
        QTest::qWait(kSeveralChecksMs);
        return shown > before;
    }
    // Stops a pass in its generation; answers how long that took.
    template <class F>
    qint64 StopDuringASlowedPass(F&& stop) {
        slowNextPass = true;
        const int before = generating;
        [&] { ASSERT_TRUE(QTest::qWaitFor([&] { return generating > before; }, kShowWaitMs)); }();
        QElapsedTimer timer;
        timer.start();
        stop();
        return timer.elapsed();
    }

    TEnglishTexts english;
    TSharedManualClock clock;
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    QTemporaryDir files;
    std::vector<std::unique_ptr<TSchemeDocument>> documents;
    TRightSubForm form{settings.get()};
    int shown = 0;
    QStringList texts;
    std::atomic<int> generating{0};
    std::atomic<bool> slowNextPass{false};

private:
    const TClock* m_previousClock;
};

TEST_F(PreviewThreadTest, ANewModuleWithoutFileNameIsPreviewedAtOnceAsUnit1) {
    TSchemeDocument* module = Module();
    Show(*module);
    ASSERT_TRUE(NextShown());
    EXPECT_TRUE(form.Text().startsWith(QLatin1String("unit Unit1;"))) << form.Text().toStdString();
}

TEST_F(PreviewThreadTest, AChangeWaitsForTheQuietTimeAndForInPlaceEditingToEnd) {
    TSchemeDocument* module = Module();
    Show(*module);
    ASSERT_TRUE(NextShown());
    TRightFormThread* thread = form.Thread();
    thread->Request();
    EXPECT_FALSE(ShownMeanwhile()) << "the clock stood still";
    clock.Advance(TRightFormThread::kQuietMs - 1);
    EXPECT_FALSE(ShownMeanwhile()) << "one millisecond short of the pause";
    thread->SetEditing(true);
    clock.Advance(1);
    EXPECT_FALSE(ShownMeanwhile()) << "the user is still editing in place";
    thread->SetEditing(false);
    EXPECT_TRUE(NextShown());
    EXPECT_EQ(thread->RequestTime(), TRightFormThread::kNothingPending);
}

TEST_F(PreviewThreadTest, AnOpenSchemeUpdatePostponesTheSnapshotUntilItCloses) {
    TSchemeDocument* module = Module();
    Show(*module);
    ASSERT_TRUE(NextShown());
    module->Scheme()->BeginUpdate();
    form.Thread()->Request();
    clock.Advance(TRightFormThread::kQuietMs);
    EXPECT_FALSE(ShownMeanwhile()) << "no snapshot in the middle of a command";
    module->Scheme()->EndUpdate();
    clock.Advance(TRightFormThread::kQuietMs);
    EXPECT_TRUE(NextShown());
}

TEST_F(PreviewThreadTest, SaveAsRenamesTheUnitWithoutWaitingForAnEdit) {
    TSchemeDocument* module = Module();
    Show(*module);
    ASSERT_TRUE(NextShown());
    module->SaveAs(files.filePath(QStringLiteral("Renamed.prm")));
    ASSERT_TRUE(NextShown()) << "the clock stood still";
    EXPECT_TRUE(form.Text().startsWith(QLatin1String("unit Renamed;"))) << form.Text().toStdString();
}

TEST_F(PreviewThreadTest, ARefreshKeepsTheCaretAndTheScrollPositionInThePreview) {
    form.resize(400, 120);
    TSchemeDocument* module = Module();
    Show(*module);
    ASSERT_TRUE(NextShown());
    TRightFormRootElement& root = form.Root();
    // The user puts the caret into the read-only text and scrolls.
    root.FocusText(TTextFocusPlace::Start);
    ASSERT_TRUE(root.Interactive() && root.IsFocused());
    const TTextorNumericRange selection{{2, 1}, {2, 3}};
    TTextorRange range;
    ASSERT_TRUE(root.Textor()->NumericToRange(selection, range));
    root.Interactive()->SetSelection(range);
    const QPoint scrolled(0, 40);
    form.PreviewSheet().SetScreenPosition(scrolled);
    ASSERT_EQ(form.PreviewSheet().ScreenPos(), scrolled) << "the preview scrolls";
    const QString before = form.Text();
    module->SaveAs(files.filePath(QStringLiteral("Renamed.prm")));
    ASSERT_TRUE(NextShown());
    ASSERT_NE(form.Text(), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(root.Textor()->RangeToNumeric(root.Interactive()->GetSelection()), selection);
    EXPECT_EQ(form.PreviewSheet().ScreenPos(), scrolled);
}

TEST_F(PreviewThreadTest, ASwitchDuringAPassReturnsPromptlyAndShowsNothingOfTheOldPass) {
    TSchemeDocument* alpha = Module(QStringLiteral("Alpha.prm"));
    TSchemeDocument* beta = Module(QStringLiteral("Beta.prm"));
    Show(*alpha);
    EXPECT_LT(StopDuringASlowedPass([&] { Show(*beta); }), kPromptMs);
    ASSERT_TRUE(NextShown());
    EXPECT_TRUE(form.Text().startsWith(QLatin1String("unit Beta;"))) << form.Text().toStdString();
    for (const QString& text : texts) EXPECT_FALSE(text.contains(QLatin1String("Alpha"))) << text.toStdString();
}

TEST_F(PreviewThreadTest, ACloseDuringASlowedPassReturnsPromptly) {
    TSchemeDocument* module = Module();
    Show(*module);
    EXPECT_LT(StopDuringASlowedPass([&] { form.SetScheme(nullptr, nullptr); }), kPromptMs);
    EXPECT_EQ(form.Thread(), nullptr);
    EXPECT_EQ(shown, 0);
}

TEST_F(PreviewThreadTest, AConnectedModuleIsOpenedOnTheUserInterfaceThreadAndNamedInTheUses) {
    Module(QStringLiteral("Lib.prm"));
    TConnectedDocuments connected(settings.get());
    TSchemeDocument* app = Module(QString(), &connected);
    auto* connection = static_cast<TElement_FileConnection*>(static_cast<TTextorElement*>(app->Scheme()->Root())
                                                                 ->AddElementOfClass(TElement_FileConnection::StaticClass()));
    connection->NameField()->SetText(QStringLiteral("Lib"));
    std::atomic<int> answeredElsewhere{0};
    TScheme::GetConnectedSchemeEvent answer = app->Scheme()->OnGetConnectedScheme;
    app->Scheme()->OnGetConnectedScheme = [&](TScheme* sender, const QString& name, TScheme*& scheme) {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++answeredElsewhere;
        answer(sender, name, scheme);
    };
    connection->FileNameField()->SetValue(files.filePath(QStringLiteral("Lib.prm")));
    Show(*app);
    ASSERT_TRUE(NextShown());
    EXPECT_TRUE(form.Text().contains(QLatin1String("uses\r\n  Lib;"))) << form.Text().toStdString();
    EXPECT_EQ(answeredElsewhere, 0) << "the documents of connected files live on the user-interface thread";
    form.SetScheme(nullptr, nullptr);
    connection->Free();
    connected.ReleaseUnusedConnectedDocuments();
    EXPECT_EQ(connected.Document(files.filePath(QStringLiteral("Lib.prm"))), nullptr)
        << "the preview's copy let go of the connected document";
}

TEST_F(PreviewThreadTest, ManySwitchesBetweenDocumentsEndWithThePreviewOfTheLast) {
    constexpr int kSwitches = 40;
    TSchemeDocument* alpha = Module(QStringLiteral("Alpha.prm"));
    TSchemeDocument* beta = Module(QStringLiteral("Beta.prm"));
    for (int i = 0; i < kSwitches; ++i) {
        Show(i % 2 ? *beta : *alpha);
        if (i % 3 == 0) QTest::qWait(1);
        clock.Advance(TRightFormThread::kQuietMs / 3);
    }
    texts.clear();
    ASSERT_TRUE(NextShown());
    EXPECT_TRUE(form.Text().startsWith(QLatin1String("unit Beta;"))) << form.Text().toStdString();
}

}  // namespace

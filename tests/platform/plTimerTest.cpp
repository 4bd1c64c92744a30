#include "platform/plTimer.h"
#include "support/testLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

TEST(ManualTimers, FireInOrderOfDueTimeOnlyWhenAdvancedRestartFromNowAndMayFreeThemselves) {
    TManualTimerService service;
    std::vector<int> fired;
    auto a = service.MakeTimer();
    auto b = service.MakeTimer();
    a->SetOnTick([&] { fired.push_back(1); });
    b->SetOnTick([&] { fired.push_back(2); });
    a->Start(300);
    b->Start(100);
    service.Advance(99);
    EXPECT_TRUE(fired.empty());
    service.Advance(201);  // b at 100 and 200; at 300 both, the one made first first
    EXPECT_EQ(fired, (std::vector<int>{2, 2, 1, 2}));
    b->Stop();
    fired.clear();
    service.Advance(200);
    a->Start(300);  // counts from now
    service.Advance(299);
    EXPECT_TRUE(fired.empty());
    service.Advance(1);
    EXPECT_EQ(fired, std::vector<int>{1});
    a->Stop();
    service.Advance(1000);
    EXPECT_EQ(fired, std::vector<int>{1});
    EXPECT_EQ(service.ActiveCount(), 0);
    // A timer may free itself while it ticks.
    std::unique_ptr<TTimer> t = service.MakeTimer();
    int ticks = 0;
    t->SetOnTick([&] {
        ++ticks;
        t.reset();
    });
    t->Start(10);
    service.Advance(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(service.ActiveCount(), 0);
    {
        TTimerServiceInstaller install(&service);
        auto made = TTimerService::Make();
        made->Start(5);
        EXPECT_EQ(service.ActiveCount(), 1);
    }
    EXPECT_NE(&TTimerService::Current(), &service);
}

// The tick of a Qt timer runs from the event loop: what it raises is logged
// there and the timer keeps ticking.
TEST(QtTimers, ARaisingTickIsLoggedAndTheTimerGoesOn) {
    TWarningLog log;
    auto t = TTimerService::Current().MakeTimer();
    int ticks = 0;
    t->SetOnTick([&] {
        ++ticks;
        throw std::runtime_error("tick failed");
    });
    t->Start(1);
    QElapsedTimer waited;
    waited.start();
    while (ticks < 2 && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 2);
    EXPECT_TRUE(log.Contains(QStringLiteral("tick failed")));
}

}  // namespace

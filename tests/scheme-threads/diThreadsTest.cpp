// Element numbers and message lists across threads (also run under ThreadSanitizer).

#include "scheme/diClasses.h"
#include "scheme/diMessages.h"
#include "support/testElements.h"
#include "support/testLog.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

// Two threads build their own schemes while one of them keeps raising the
// counter to values it saw earlier (as a snapshot load does). With an
// exchange instead of a maximum the counter would move back and hand out
// numbers twice.
TEST(ElementNumbers, TwoThreadStressGivesUniqueNumbers) {
    constexpr int kCount = 20000;
    std::vector<int32_t> numbersA, numbersB;
    auto build = [](std::vector<int32_t>& numbers, bool raiseStale) {
        auto scheme = MakeTestScheme();
        numbers.push_back(scheme->Root()->Number());
        int32_t seen = LastElementNumber();
        for (int i = 0; i < kCount; ++i) {
            TElement* e = TElement::CreateIn<TElement_TestLeaf>(scheme.get(), scheme->Root());
            numbers.push_back(e->Number());
            if (raiseStale && i % 3 == 0) {
                RaiseElementNumber(seen);
                seen = LastElementNumber();
            }
        }
    };
    std::thread a(build, std::ref(numbersA), false);
    std::thread b(build, std::ref(numbersB), true);
    a.join();
    b.join();
    std::set<int32_t> all(numbersA.begin(), numbersA.end());
    all.insert(numbersB.begin(), numbersB.end());
    EXPECT_EQ(all.size(), numbersA.size() + numbersB.size());
    EXPECT_TRUE(std::is_sorted(numbersB.begin(), numbersB.end()));
}

// Runs the work on a worker bound to the list while this (the user-interface)
// thread delivers the list's events.
void RunBoundWorker(TElementMessages& list, const std::function<void()>& work) {
    std::unique_ptr<QThread> worker(QThread::create(work));
    list.SetThread(worker.get());
    worker->start();
    while (!worker->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker->wait();
}

// A worker bound to the list: its events run on the user-interface thread, and
// what a handler raises there is logged; the worker goes on.
TEST(ElementMessages, BoundListLogsWhatAHandlerRaises) {
    TWarningLog log;
    TElementMessages list;
    std::vector<QThread*> seen;
    list.OnAdded = [&](TElementMessages*, TElementMessage*) {
        seen.push_back(QThread::currentThread());
        throw std::runtime_error("handler failed");
    };
    RunBoundWorker(list, [&] {
        list.AddTextMessage(mkInformation, "from the worker");
        list.AddTextMessage(mkInformation, "and another");
    });
    EXPECT_EQ(seen, std::vector<QThread*>(2, QThread::currentThread()));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_TRUE(log.Contains(QStringLiteral("handler failed")));
}

// A user-interface thread that waits for a stopping worker must not deadlock
// against an event the worker is waiting to deliver.
TEST(ElementMessages, StoppedWorkerGivesUpAPendingEvent) {
    TElementMessages list;
    int added = 0;
    list.OnAdded = [&](TElementMessages*, TElementMessage*) { ++added; };
    QThread* worker = QThread::create([&] { list.AddTextMessage(mkInformation, "late"); });
    list.SetThread(worker);
    worker->start();
    worker->requestInterruption();
    ASSERT_TRUE(worker->wait(10000));
    delete worker;
    QCoreApplication::processEvents();
    EXPECT_EQ(added, 0);
    EXPECT_EQ(list.GetCount(), 1);
}

// Connections into a scheme come and go on a worker while the user-interface
// thread asks whether other schemes still depend on it (as releasing unused
// connected documents does).
TEST(SchemeLinks, DependentSchemesAreAskedWhileLinksChange) {
    auto target = MakeTestScheme();
    auto dependent = MakeTestScheme();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            target->AddLink(dependent.get());
            target->RemoveLink(dependent.get());
        }
        done = true;
    });
    // The race itself is what ThreadSanitizer reports; the answers are noise.
    while (!done) (void)target->HasDependentSchemes();
    worker.join();
    EXPECT_FALSE(target->HasDependentSchemes());
}

}  // namespace

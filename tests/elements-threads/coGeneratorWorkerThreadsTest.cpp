// A generator run on a worker thread reporting into a list bound to it: the
// list's events, and with them the worker's pointing of links at the sources
// of copies, run on the user-interface thread (also under ThreadSanitizer).

#include "elements/coGeneratorWorker.h"

#include "elements/coFunctionElements.h"
#include "scheme/diUtils.h"
#include "support/testRoots.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

TEST(GeneratorThreads, LinksOfCopiesAreMappedOnTheUserInterfaceThreadWhileTheWorkerWaits) {
    TClassesGroups::TGroup& inlineValues = ClassesGroups().GetGroup(cgInlineValueElements);
    AddItemOnce(inlineValues, TElement_IsEmpty::StaticClass());
    TTestFiles files;
    TScheme* scheme = files.Add(QStringLiteral("/work/threads.prm"));
    auto* source = dynamic_cast<TElement_IsEmpty*>(AddText(scheme, QStringLiteral("Greeting"))
                                                       ->ValueField()
                                                       ->AddElementOfClass(TElement_IsEmpty::StaticClass()));
    ASSERT_NE(source, nullptr);
    AddSubstitution(AddText(scheme, QStringLiteral("User")), QStringLiteral("Greeting"));
    const int32_t sourceNumber = source->Number();

    TElementMessages messages;
    QThread* const mainThread = QThread::currentThread();
    int elsewhere = 0;
    messages.OnSegmentAdded = [&](TElementMessages*, TElementMessage*, uint8_t, const QString&, QString&) {
        elsewhere += QThread::currentThread() != mainThread;
    };
    TSchemeGeneratorWorker worker;
    worker.Root = scheme->Root();
    worker.SetMessages(&messages);
    // Qt's own joining is invisible to the race detector: the run says it is over.
    std::atomic<bool> over{false};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        worker.Generate();
        for (int32_t n = LastElementNumber(); n > sourceNumber; --n)
            if (auto* copy = dynamic_cast<TElement_IsEmpty*>(scheme->FindElement(n))) {
                copy->GetMessages()->AddElementLinkMessage(mkHint, QStringLiteral("[copy]"), QString::number(n));
                worker.Visit(copy);
            }
        over.store(true, std::memory_order_release);
    }));
    messages.SetThread(thread.get());
    thread->start();
    while (!over.load(std::memory_order_acquire)) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    thread->wait();
    inlineValues.removeAll(TElement_IsEmpty::StaticClass());

    ASSERT_EQ(messages.GetCount(), 1);
    EXPECT_EQ(messages.GetItem(0)->Segment(0).Value, QString::number(sourceNumber));
    EXPECT_EQ(elsewhere, 0);
}

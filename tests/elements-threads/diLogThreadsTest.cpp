// The log fed by a worker through a bound message list: every message is
// written on the user-interface thread, in the order the worker added them
// (also run under ThreadSanitizer).

#include "elements/diLog.h"

#include "support/testTextor.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(LogThreads, MessagesFromAWorkerThroughABoundListArriveInOrder) {
    TSheetFixture fixture;
    auto* log = TElement::CreateIn<TLogRoot>(fixture.scheme.get(), fixture.root);
    log->SetVisualParent(fixture.root);
    QThread* const mainThread = QThread::currentThread();
    int writtenElsewhere = 0;
    log->OnChange = [&](TLogRoot*) { writtenElsewhere += QThread::currentThread() != mainThread; };

    constexpr int kMessages = 200;
    std::unique_ptr<QThread> worker(QThread::create([log] {
        for (int i = 0; i < kMessages; ++i)
            log->Messages().AddTextMessage(i % 2 ? mkError : mkInformation, QString::number(i));
    }));
    log->Messages().SetThread(worker.get());
    worker->start();
    while (!worker->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker->wait();

    QStringList expected;
    for (int i = 0; i < kMessages; ++i)
        expected << (i % 2 ? QString(QChar(0xFFFC)) + u' ' + QString::number(i) : QString::number(i));
    EXPECT_EQ(ParagraphTexts(*log->Textor()), expected);
    EXPECT_EQ(writtenElsewhere, 0);
}

}  // namespace

// A snapshot of a data element read on a worker (as the preview reads its
// copy of the scheme) while the element's data changes on this thread: the
// snapshot holds data of its own, so the copy made from it is the data of
// the moment it was taken (also run under ThreadSanitizer).

#include "elements/diDataElement.h"

#include "core/cuKnot.h"
#include "scheme/diFilers.h"
#include "support/testVisualElements.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(DataElementThreads, ASnapshotReadElsewhereKeepsTheDataOfItsMoment) {
    std::unique_ptr<TScheme> scheme = MakeVisualTestScheme();
    auto* image = TElement::CreateIn<TElement_Image>(scheme.get(), nullptr);
    TNodePtr<TElement> owned(image);
    const QByteArray first(4096, 'a');
    image->SetData(first, QStringLiteral("bin"));
    TNodePtr<TKnot> snapshot = MakeNode<TKnot>();
    image->SaveToKnot(snapshot.get(), fmSnapshot, foSharedData);

    QByteArray read;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int i = 0; i < 200; ++i) {
            QByteArray copy;
            snapshot->ReadStream(QStringLiteral("Value"), copy);
            read = copy;
        }
    }));
    worker->start();
    for (int i = 0; i < 200; ++i) image->SetData(QByteArray(4096, char('b' + i % 20)), QStringLiteral("bin"));
    worker->wait();
    EXPECT_EQ(read, first);
}

}  // namespace

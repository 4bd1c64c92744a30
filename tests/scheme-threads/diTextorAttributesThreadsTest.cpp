// The attribute pool used from two threads at once (run under ThreadSanitizer
// by ./test.sh --tsan).

#include "scheme/diTextorAttributes.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(AttributesPoolThreads, TwoThreadsShareAcquireAndRelease) {
    const int before = TAttributes::PoolCount();
    auto work = [](int seed, std::vector<TAttributes*>* kept) {
        for (int i = 0; i < 2000; ++i) {
            TRichTextAttributes value;  // unshared instances are private to the thread
            value.SetFontSize(6 + (i + seed) % 5);
            value.SetFontStyle(i % 3);
            TAttributes* shared = value.AcquireShared();
            if (i % 7 == 0)
                kept->push_back(shared);
            else
                shared->Release();
        }
    };
    std::vector<TAttributes*> keptA, keptB;
    std::thread a(work, 0, &keptA);
    std::thread b(work, 1, &keptB);
    a.join();
    b.join();
    // Equal values are one instance whichever thread asked first.
    for (TAttributes* x : keptA)
        for (TAttributes* y : keptB)
            if (x->Equals(*y)) {
                ASSERT_EQ(x, y);
            }
    EXPECT_LE(TAttributes::PoolCount(), before + 15);
    for (TAttributes* x : keptA) x->Release();
    for (TAttributes* x : keptB) x->Release();
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

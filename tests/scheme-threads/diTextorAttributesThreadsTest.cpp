// The attribute pool used from two threads at once (run under ThreadSanitizer
// by ./test.sh --tsan).

#include "scheme/diTextorAttributes.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(AttributesPoolThreads, TwoThreadsShareAcquireAndRelease) {
    const int before = TAttributes::PoolCount();
    using TKept = std::vector<TAttributesRef<TRichTextAttributes>>;
    auto work = [](int seed, TKept* kept) {
        for (int i = 0; i < 2000; ++i) {
            TRichTextAttributes value;  // unshared instances are private to the thread
            value.SetFontSize(6 + (i + seed) % 5);
            value.SetFontStyle(i % 3);
            TAttributesRef<TRichTextAttributes> shared = AcquireSharedAs(value);
            if (i % 7 == 0) kept->push_back(shared);
        }
    };
    TKept keptA, keptB;
    std::thread a(work, 0, &keptA);
    std::thread b(work, 1, &keptB);
    a.join();
    b.join();
    // Equal values are one instance whichever thread asked first.
    for (const auto& x : keptA)
        for (const auto& y : keptB)
            if (x->Equals(*y)) {
                ASSERT_EQ(x.get(), y.get());
            }
    EXPECT_LE(TAttributes::PoolCount(), before + 15);
    keptA.clear();
    keptB.clear();
    EXPECT_EQ(TAttributes::PoolCount(), before);
}

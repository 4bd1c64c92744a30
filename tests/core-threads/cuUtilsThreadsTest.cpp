// Unique file names from several threads at once. Runs under ThreadSanitizer
// with ./test.sh --tsan.

#include "core/cuUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <thread>

namespace {

TEST(CreateUniqueFile, ConcurrentSaversNeverShareAName) {
    // Regression: the name was chosen by testing for existence and created
    // afterwards, so two savers could both pick the same free number.
    QTemporaryDir dir;
    constexpr int threads = 8, perThread = 50;
    std::vector<std::thread> pool;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                try {
                    QString name;
                    CreateUniqueFile("Save%d", "tmp", name, dir.path())->write(QByteArray::number(t));
                } catch (...) {
                    ++failures;
                }
            }
        });
    }
    for (auto& th : pool) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), threads * perThread) << "a shared name makes fewer files";
}

}  // namespace

// LoadStr from several threads while the user-interface thread switches the
// language. Runs under ThreadSanitizer with ./test.sh --tsan.

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LocalizationThreads, LoadStrWhileTheLanguageChanges) {
    TLocalization* loc = Localization();
    ASSERT_NE(loc, nullptr);
    const uint16_t oldLanguage = loc->Language();
    const uint16_t oldFallback = loc->FallbackLanguage();
    loc->SetLanguage(1033);
    loc->SetFallbackLanguage(1033);

    const QString english = QStringLiteral("English");
    const QString russian = QStringLiteral("Русский");
    const QString fileNotFound = QStringLiteral("File not found: %1");
    const QString fileNotFoundRussian = QStringLiteral("Файл не найден: %1");
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<int> lookups{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const QString name = LoadStr(strLanguageName);
                if (name != english && name != russian) ++wrong;
                // one language's whole text, never a mixture or an empty text
                const QString text = LoadStr(strFileNotFound);
                if (text != fileNotFound && text != fileNotFoundRussian) ++wrong;
                const QString formatted = LoadStrFmt(strFileNotFound, {QStringLiteral("%2")});
                if (formatted != QString(fileNotFound).replace(QStringLiteral("%1"), QStringLiteral("%2")) &&
                    formatted != QString(fileNotFoundRussian).replace(QStringLiteral("%1"), QStringLiteral("%2")))
                    ++wrong;
                ++lookups;
            }
        });
    }
    // switch while the readers run, until they have done enough lookups
    for (int i = 0; lookups.load() < 5000; ++i) loc->SetLanguage(i % 2 ? 1049 : 1033);
    stop = true;
    for (std::thread& t : readers) t.join();

    EXPECT_EQ(wrong.load(), 0);
    loc->SetLanguage(oldLanguage);
    loc->SetFallbackLanguage(oldFallback);
}

// Schemes on two threads connected to the one namespace of the application
// values, as the preview's private copies are (also run under ThreadSanitizer).

#include "elements/coValueElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testRoots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(RootThreads, TwoThreadsResolveTheApplicationNameInSchemesOfTheirOwn) {
    constexpr int kRounds = 40;
    const QString expected = LoadStr(strProductName);
    std::atomic<int> resolved{0};
    auto work = [&] {
        for (int i = 0; i < kRounds; ++i) {
            TScheme scheme(TElement_TestFileRoot::StaticClass(), QStringLiteral("TestFile"));
            TRoot* root = TTestFiles::RootOf(&scheme);
            auto* connection = TElement::CreateIn<TNamespaceConnection>(&scheme, root);
            connection->SetOwner(root->GetNamespace());
            connection->SetTarget(ApplicationValuesNamespace());
            TElement_Text* text = AddText(&scheme, QStringLiteral("Caption"));
            auto* value = dynamic_cast<TInsideValueElement*>(
                AddSubstitution(text, QStringLiteral("ApplicationName"))->ValueSource());
            if (value && value->GetValue() == expected) ++resolved;
        }
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
    EXPECT_EQ(resolved.load(), 2 * kRounds);
    EXPECT_EQ(ApplicationValuesNamespace()->IncomingConnectionCount(), 0) << "every connection let go";
}

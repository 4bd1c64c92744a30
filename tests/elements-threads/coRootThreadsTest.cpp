// Schemes on several threads connected to the one namespace of the
// application values, as the preview's private copies are (also run under
// ThreadSanitizer).

#include "elements/coValueElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "support/testRoots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Builds a scheme connected to the application values, substitutes
// "ApplicationName" in a text and frees the scheme; answers the value found
// (empty when the name did not resolve).
QString ResolveApplicationName() {
    TScheme scheme(TElement_TestFileRoot::StaticClass(), QStringLiteral("TestFile"));
    TRoot* root = TTestFiles::RootOf(&scheme);
    auto* connection = TElement::CreateIn<TNamespaceConnection>(&scheme, root);
    connection->SetOwner(root->GetNamespace());
    connection->SetTarget(ApplicationValuesNamespace());
    TElement_Substitution* substitution =
        AddSubstitution(AddText(&scheme, QStringLiteral("Caption")), QStringLiteral("ApplicationName"));
    auto* value = dynamic_cast<TInsideValueElement*>(substitution->ValueSource());
    return value ? value->GetValue() : QString();
}

TEST(RootThreads, TwoThreadsResolveTheApplicationNameInSchemesOfTheirOwn) {
    constexpr int kRounds = 40;
    const QString expected = LoadStr(strProductName);
    std::atomic<int> resolved{0};
    auto work = [&] {
        for (int i = 0; i < kRounds; ++i)
            if (ResolveApplicationName() == expected) ++resolved;
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
    EXPECT_EQ(resolved.load(), 2 * kRounds);
    TNamespace* values = ApplicationValuesNamespace();
    EXPECT_EQ(values->IncomingConnectionCount(), 0) << "every connection let go of the shared namespace";
}

}  // namespace

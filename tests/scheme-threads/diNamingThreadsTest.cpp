// Names resolved through connections into a namespace that several schemes
// share (as the standard types are), while another thread builds and frees
// connections to it. Runs under ThreadSanitizer with ./test.sh --tsan.

#include "scheme/diNaming.h"
#include "support/testNaming.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(NamingThreads, ResolveWhileConnectionsComeAndGo) {
    // The shared namespace: made before the threads, read-only afterwards.
    auto shared = MakeScopeScheme();
    TElement_TestScope* types = AddScope(shared->Root(), QStringLiteral("Std"));
    QStringList names;
    for (int i = 0; i < 20; ++i) AddDecl(types, names.emplace_back(QStringLiteral("type%1").arg(i)), nifOverridable);

    std::atomic<bool> builderDone{false};
    std::atomic<int> wrong{0};
    std::atomic<int> resolved{0};
    std::unique_ptr<TScheme> resolverScheme;
    std::thread resolver([&] {
        resolverScheme = MakeScopeScheme();
        TElement_TestScope* unit = AddScope(resolverScheme->Root(), QStringLiteral("Unit"));
        AddDecl(unit, QStringLiteral("Local"));
        AddLink(unit, types);
        TTestReference ref;
        for (int rounds = 0; !builderDone.load() || rounds < 50; ++rounds) {
            for (const QString& name : names) {
                TNamespaceItem* item = unit->FindItemByName(name);
                ref.SetTarget(item);
                const bool right = item && item->GetOriginal() == types->FindItemByName(name) &&
                                   unit->FindItemByPath(item->GetPath()) == item;
                ++(right ? resolved : wrong);
            }
            ref.SetTarget(nullptr);
        }
    });
    std::thread builder([&] {
        auto own = MakeScopeScheme();
        TElement_TestScope* unit = AddScope(own->Root(), QStringLiteral("Private"));
        TTestReference ref;
        for (int round = 0; round < 200; ++round) {
            const QString prefix = round % 2 ? QStringLiteral("Std") : QString();
            TElement_TestLink* link = AddLink(unit, types, prefix);
            ref.SetTarget(unit->FindItemByName((prefix.isEmpty() ? "" : prefix + ".") + names[round % names.size()]));
            if (!ref.Target() || link->ReferenceCount() != 1) ++wrong;
            link->Free();  // the reference loses its target with the cover
            if (ref.Target()) ++wrong;
        }
        builderDone.store(true);
    });
    builder.join();
    resolver.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(resolved.load(), 0);
    EXPECT_EQ(types->IncomingConnectionCount(), 1);
    EXPECT_TRUE(shared->HasDependentSchemes());
    for (const QString& name : names) EXPECT_FALSE(types->FindItemByName(name)->HasReferences()) << name.toStdString();
    resolverScheme.reset();
    EXPECT_FALSE(shared->HasDependentSchemes());
    EXPECT_EQ(types->IncomingConnectionCount(), 0);
}

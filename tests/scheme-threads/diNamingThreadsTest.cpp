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
    for (int i = 0; i < 20; ++i) {
        names << QStringLiteral("type%1").arg(i);
        AddDecl(types, names.last(), nifOverridable);
    }

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
        int rounds = 0;
        while (!builderDone.load() || rounds < 50) {
            for (const QString& name : names) {
                TNamespaceItem* item = unit->FindItemByName(name);
                if (!item || item->GetOriginal() != types->FindItemByName(name)) {
                    ++wrong;
                    continue;
                }
                ref.SetTarget(item);
                if (unit->FindItemByPath(item->GetPath()) != item) ++wrong;
                ++resolved;
            }
            ref.SetTarget(nullptr);
            ++rounds;
        }
    });

    std::thread builder([&] {
        auto own = MakeScopeScheme();
        TElement_TestScope* unit = AddScope(own->Root(), QStringLiteral("Private"));
        TTestReference ref;
        for (int round = 0; round < 200; ++round) {
            TElement_TestLink* link = AddLink(unit, types, round % 2 ? QStringLiteral("Std") : QString());
            const QString name = (round % 2 ? QStringLiteral("Std.") : QString()) + names[round % names.size()];
            TNamespaceItem* item = unit->FindItemByName(name);
            if (!item) ++wrong;
            ref.SetTarget(item);
            if (link->ReferenceCount() != 1) ++wrong;
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

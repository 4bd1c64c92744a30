// Private copies of a program module, as the preview makes them, connect to
// the shared standard namespaces on a second thread while the first thread
// reads those namespaces (also run under ThreadSanitizer).

#include "pascal/elements/prCustomFieldElements.h"

#include "core/cuKnot.h"
#include "scheme/diNaming.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TTypeDescriptor StandardType(const QString& name) {
    TTypeDescriptor descriptor;
    GetStandardTypeDescriptor(name, descriptor);
    return descriptor;
}

// Loads the module into a scheme of its own, gives its routine an object
// "Result" and a local "Index", reads the types and members and frees it.
bool ReadPrivateCopy(TKnot* module) {
    auto scheme = MakeTestProgramScheme();
    LoadSchemeKnot(scheme.get(), module);
    TNamespace* general = ProgramRootOf(scheme.get())->GeneralNamespace();
    TNamespaceItem* run = general->FindItemByName(QStringLiteral("Run"));
    auto* routine = run ? dynamic_cast<TElement_TestRoutine*>(run->GetElement()) : nullptr;
    if (!routine) return false;
    TFieldElementResult* result = routine->Body()->Result();
    result->SetNameOptions(result->NameOptions() | noRegister);
    result->SetTypeItem(StandardType(QStringLiteral("object")).Item);
    auto* index = TElement::CreateSubElement<TFieldElementLocalIndex>(routine->Body());
    TTypeDescriptor text, indexType;
    GetTypeDescriptor(general->FindItemByName(QStringLiteral("TText")), text);
    GetTypeDescriptor(index->TypeItem(), indexType);
    TNamespaceItem* free = routine->Body()->Namespace()->FindItemByName(QStringLiteral("Result.Free"));
    return text.Kind == TValueTypeKind::String && indexType.Kind == TValueTypeKind::Index && free &&
           !free->GetDescription().isEmpty();
}

}  // namespace

TEST(StandardTypesThreads, PrivateCopiesConnectOnASecondThreadWhileTheFirstReadsTheNamespaces) {
    constexpr int kCopies = 30;
    constexpr int kWalkEvery = 64;
    const TEnglishTexts english;
    TNodePtr<TKnot> module = TKnot::Create();
    {
        const TTestCommandClasses commandClasses;
        auto scheme = MakeTestProgramScheme();
        AppendNamed<TElement_TestAlias>(ProgramRootOf(scheme.get()), QStringLiteral("TText"))
            ->RefType()->SetText(QStringLiteral("str"));
        AppendNamed<TElement_TestRoutine>(ProgramRootOf(scheme.get()), QStringLiteral("Run"));
        scheme->SaveRootToKnot(module.get(), fmFile, foSchemeFile);
    }
    std::atomic<bool> done{false};
    std::atomic<int> good{0};
    std::thread preview([&] {
        for (int i = 0; i < kCopies; ++i) good += ReadPrivateCopy(module.get());
        done = true;
    });
    // Mostly look-ups by name (not of "object" and "index", which the second
    // thread asks first), now and then a walk over both namespaces.
    int reads = 0;
    for (int round = 0; !done || round == 0; ++round) {
        bool read = true;
        for (const QString& name : {QStringLiteral("Variant"), QStringLiteral("int"), QStringLiteral("STR")})
            read = read && !StandardType(name).Item->GetDescription().isEmpty();
        if (round % kWalkEvery == 0) {
            int items = 0;
            StandardTypesNamespace()->ForEachItem([&](TNamespaceItem* item, bool&) { items += !item->GetName().isEmpty(); },
                                                   false);
            read = read && items == 20 && ObjectMembersNamespace()->FindItemByName(QStringLiteral("Create"));
        }
        reads += read;
    }
    preview.join();
    EXPECT_EQ(good.load(), kCopies);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(StandardTypesNamespace()->IncomingConnectionCount(), 0) << "every private copy let go";
    EXPECT_EQ(ObjectMembersNamespace()->IncomingConnectionCount(), 0);
}

// Private copies of a program module, as the preview makes them, connect to
// the shared standard namespaces on a second thread while the first thread
// reads those namespaces (also run under ThreadSanitizer).

#include "pascal/elements/prCustomFieldElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "scheme/diNaming.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A module whose names reach both shared namespaces: aliases of standard
// types, a routine whose "Result" is an object (its members come from the
// object members' namespace) and a local "Index" of the standard "index".
TNodePtr<TKnot> SavedModule() {
    const TTestCommandClasses commandClasses;
    auto scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* root = ProgramRootOf(scheme.get());
    AppendNamed<TElement_TestAlias>(root, QStringLiteral("TText"))->RefType()->SetText(QStringLiteral("str"));
    AppendNamed<TElement_TestAlias>(root, QStringLiteral("TCount"))->RefType()->SetText(QStringLiteral("int"));
    AppendNamed<TElement_TestRoutine>(root, QStringLiteral("Run"));
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme->SaveRootToKnot(knot.get(), fmFile, foSchemeFile);
    return knot;
}

// Loads the module into a scheme of its own, reads it and frees it.
bool ReadPrivateCopy(TKnot* snapshot) {
    auto scheme = MakeTestProgramScheme();
    LoadSchemeKnot(scheme.get(), snapshot);
    TElement_TestProgramRoot* root = ProgramRootOf(scheme.get());
    TNamespace* general = root->GeneralNamespace();
    TNamespaceItem* run = general->FindItemByName(QStringLiteral("Run"));
    auto* routine = run ? dynamic_cast<TElement_TestRoutine*>(run->GetElement()) : nullptr;
    if (!routine) return false;
    TFieldElementResult* result = routine->Body()->Result();
    TTypeDescriptor object;
    GetStandardTypeDescriptor(QStringLiteral("object"), object);
    result->SetNameOptions(result->NameOptions() | noRegister);
    result->SetTypeItem(object.Item);
    auto* index = TElement::CreateSubElement<TFieldElementLocalIndex>(routine->Body());
    TTypeDescriptor text, count, free;
    GetTypeDescriptor(general->FindItemByName(QStringLiteral("TText")), text);
    GetTypeDescriptor(general->FindItemByName(QStringLiteral("TCount")), count);
    TNamespaceItem* resultFree = routine->Body()->Namespace()->FindItemByName(QStringLiteral("Result.Free"));
    GetTypeDescriptor(index->TypeItem(), free);
    return text.Kind == TValueTypeKind::String && count.Kind == TValueTypeKind::Integer && resultFree &&
           !resultFree->GetDescription().isEmpty() && free.Kind == TValueTypeKind::Index;
}

}  // namespace

TEST(StandardTypesThreads, PrivateCopiesConnectOnASecondThreadWhileTheFirstReadsTheNamespaces) {
    constexpr int kCopies = 30;
    const TEnglishTexts english;
    TNodePtr<TKnot> snapshot = SavedModule();
    std::atomic<bool> done{false};
    std::atomic<int> good{0};
    std::thread preview([&] {
        for (int i = 0; i < kCopies; ++i)
            if (ReadPrivateCopy(snapshot.get())) ++good;
        done = true;
    });
    // Mostly look-ups by name, which take no lock of their own beyond the
    // namespace's; now and then a walk over both namespaces.
    // (not "object" and "index", which the second thread asks first.)
    const QString names[] = {QStringLiteral("Variant"), QStringLiteral("int"), QStringLiteral("STR")};
    constexpr int kWalkEvery = 64;
    int reads = 0;
    for (int round = 0; !done || round == 0; ++round) {
        bool read = true;
        for (const QString& name : names) {
            TTypeDescriptor descriptor;
            GetStandardTypeDescriptor(name, descriptor);
            read = read && descriptor.Item && !descriptor.Item->GetDescription().isEmpty();
        }
        if (round % kWalkEvery == 0) {
            int items = 0;
            StandardTypesNamespace()->ForEachItem(
                [&](TNamespaceItem* item, bool&) { items += !item->GetName().isEmpty(); }, false);
            TNamespaceItem* create = ObjectMembersNamespace()->FindItemByName(QStringLiteral("Create"));
            read = read && items == 20 && create && !create->GetDescription().isEmpty();
        }
        reads += read;
    }
    preview.join();
    EXPECT_EQ(good.load(), kCopies);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(StandardTypesNamespace()->IncomingConnectionCount(), 0) << "every private copy let go";
    EXPECT_EQ(ObjectMembersNamespace()->IncomingConnectionCount(), 0);
}

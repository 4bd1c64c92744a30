// Private copies of a program module, as the preview makes them, connect to
// the shared standard namespaces on a second thread while the first thread
// reads those namespaces and changes the types prefix (also run under
// ThreadSanitizer).

#include "pascal/elements/prCustomFieldElements.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
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

// The types prefix asked again and again, as a generator asks it per name.
bool HasTypesPrefixEachTime() {
    constexpr int kAsks = 100;
    bool has = true;
    for (int i = 0; i < kAsks; ++i) has = has && HasTypesPrefix(QStringLiteral("TText"));
    return has;
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
           !free->GetDescription().isEmpty() && HasTypesPrefixEachTime();
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
    TStringProperty* typesPrefix = ProgramSettings()->TypesPrefix();
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
        // Either way "TText" has the prefix.
        typesPrefix->SetValue(typesPrefix->Value() == QLatin1String("T") ? QStringLiteral("TT") : QStringLiteral("T"));
        reads += read;
    }
    preview.join();
    typesPrefix->SetValue(typesPrefix->Default());
    EXPECT_EQ(good.load(), kCopies);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(StandardTypesNamespace()->IncomingConnectionCount(), 0) << "every private copy let go";
    EXPECT_EQ(ObjectMembersNamespace()->IncomingConnectionCount(), 0);
}

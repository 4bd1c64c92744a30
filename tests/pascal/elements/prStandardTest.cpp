// The standard types and object members: their order, kinds, pictures and
// descriptions, the look-up by name without case, and a program's own
// declaration hiding a standard name.

#include "pascal/elements/prStandard.h"

#include "core/cuLocalization.h"
#include "elements/coValueElements.h"
#include "scheme/diNaming.h"
#include "scheme/diUtils.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

namespace {
constexpr const char* kDeclarationsTable = "pascal/elements/declarations.txt";

std::vector<TNamespaceItem*> OwnItems(TNamespace* ns) {
    std::vector<TNamespaceItem*> items;
    ns->ForEachItem([&](TNamespaceItem* item, bool&) { items.push_back(item); }, false);
    return items;
}
}  // namespace

TEST(StandardTypes, AreTheTwentyTypesInOrderWithKindPictureAndDescription) {
    const TEnglishTexts english;
    const QList<CaseRow> rows = LoadCases(kDeclarationsTable, "StandardTypes");
    const std::vector<TNamespaceItem*> items = OwnItems(StandardTypesNamespace());
    ASSERT_EQ(items.size(), size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        SCOPED_TRACE(row.Text());
        TNamespaceItem* item = items[size_t(i)];
        auto* type = dynamic_cast<TStandardTypeElement*>(item->GetElement());
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(item->GetName(), row["Name"]);
        EXPECT_EQ(int(type->Kind()), row.Int("Kind"));
        EXPECT_EQ(item->GetDescription(), LoadStr(row.Id("Hint")));
        EXPECT_EQ(item->GetImageIndex(), StandardCharImageBase() + row.Int("Picture"));
        EXPECT_EQ(item->GetItemFlags(), nifOverridable);
        EXPECT_EQ(item->GetVisibility(), 1) << "private";
    }
    EXPECT_NE(StandardCharImageBase(), NoImageIndex) << "the strip is loaded";
}

TEST(StandardTypes, ObjectMembersShowTheirPicturesAndDescriptionsOnlyForCreateAndFree) {
    const TEnglishTexts english;
    const QList<CaseRow> rows = LoadCases(kDeclarationsTable, "ObjectMembers");
    const std::vector<TNamespaceItem*> items = OwnItems(ObjectMembersNamespace());
    ASSERT_EQ(items.size(), size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        SCOPED_TRACE(row.Text());
        TNamespaceItem* item = items[size_t(i)];
        EXPECT_EQ(item->GetName(), row["Name"]);
        const int picture = row.Int("Picture");
        EXPECT_EQ(item->GetImageIndex(), picture < 0 ? NoImageIndex : StandardCharImageBase() + picture);
        const int hint = row.Id("Hint");
        EXPECT_EQ(item->GetDescription(), hint < 0 ? QString() : LoadStr(hint));
        EXPECT_EQ(item->GetItemFlags(), nifOverridable);
        EXPECT_EQ(item->GetVisibility(), 0);
    }
}

TEST(StandardTypes, GetStandardTypeDescriptorLooksUpIgnoringCase) {
    for (const CaseRow& row : LoadCases(kDeclarationsTable, "LookupWithoutCase")) {
        SCOPED_TRACE(row.Text());
        TTypeDescriptor descriptor;
        GetStandardTypeDescriptor(row["Asked"], descriptor);
        ASSERT_NE(descriptor.Item, nullptr);
        EXPECT_EQ(descriptor.Item->GetName(), row["Found"]);
        EXPECT_EQ(descriptor.TypeItem, descriptor.Item);
        EXPECT_EQ(int(descriptor.Kind), row.Int("Kind"));
    }
}

TEST(StandardTypes, SetTypeDescriptorTakesTheItemForAMissingTypeItem) {
    TTypeDescriptor int32;
    GetStandardTypeDescriptor(QStringLiteral("int.32"), int32);
    TTypeDescriptor descriptor;
    SetTypeDescriptor(TValueTypeKind::Array, int32.Item, nullptr, descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Array);
    EXPECT_EQ(descriptor.TypeItem, int32.Item);
}

TEST(StandardTypes, LiveInAHiddenSchemeWithoutRoot) {
    ASSERT_NE(StandardTypesNamespace()->Scheme(), nullptr);
    EXPECT_EQ(StandardTypesNamespace()->Scheme(), ObjectMembersNamespace()->Scheme());
    EXPECT_EQ(StandardTypesNamespace()->Scheme()->Root(), nullptr);
}

TEST(StandardTypes, ADeclaredStrHidesTheStandardTypeWithoutADuplicateMessage) {
    auto scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* root = ProgramRootOf(scheme.get());
    TNamespace* general = root->GeneralNamespace();
    ASSERT_NE(general->FindItemByName(QStringLiteral("str")), nullptr) << "seen through the connection";
    auto* str = AppendNamed<TElement_TestType>(root, QStringLiteral("str"));
    scheme->BeginUpdate();
    scheme->EndUpdate();
    TNamespaceItem* found = general->FindItemByName(QStringLiteral("str"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetElement(), str) << "the declaration comes first";
    EXPECT_FALSE(found->IsDuplicate()) << "no duplicate-name message";
    EXPECT_TRUE(found->HidesOverridable());
}

// The standard types and object members: order, kinds, pictures and
// descriptions, the look-up without case, and a declaration hiding a
// standard name.

#include "pascal/elements/prStandard.h"

#include "core/cuLocalization.h"
#include "scheme/diNaming.h"
#include "scheme/diUtils.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

namespace {
constexpr const char* kStandardTable = "pascal/elements/declarations.txt";

// The own items of ns, each checked against its row of table.
void CheckItems(TNamespace* ns, const char* table) {
    const TEnglishTexts english;
    std::vector<TNamespaceItem*> items;
    ns->ForEachItem([&](TNamespaceItem* item, bool&) { items.push_back(item); }, false);
    const QList<CaseRow> rows = LoadCases(kStandardTable, table);
    ASSERT_EQ(items.size(), size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const CaseRow& row = rows[i];
        SCOPED_TRACE(row.Text());
        TNamespaceItem* item = items[size_t(i)];
        EXPECT_EQ(item->GetName(), row["Name"]);
        const int picture = row.Int("Picture");
        EXPECT_EQ(item->GetImageIndex(), picture < 0 ? NoImageIndex : StandardCharImageBase() + picture);
        EXPECT_EQ(item->GetDescription(), row.Id("Hint") < 0 ? QString() : LoadStr(row.Id("Hint")));
        EXPECT_EQ(item->GetItemFlags(), nifOverridable);
        if (auto* type = dynamic_cast<TStandardTypeElement*>(item->GetElement())) {
            EXPECT_EQ(int(type->Kind()), row.Int("Kind"));
            EXPECT_EQ(item->GetVisibility(), 1) << "private";
        }
    }
}
}  // namespace

TEST(StandardTypes, AreTheTwentyTypesAndFourObjectMembersInOrder) {
    ASSERT_NE(StandardCharImageBase(), NoImageIndex) << "the strip is loaded";
    CheckItems(StandardTypesNamespace(), "StandardTypes");
    CheckItems(ObjectMembersNamespace(), "ObjectMembers");
}

// The fault: a look-up that compared case-sensitively missed "Int" and "STR".
TEST(StandardTypes, GetStandardTypeDescriptorLooksUpIgnoringCase) {
    for (const CaseRow& row : LoadCases(kStandardTable, "LookupWithoutCase")) {
        SCOPED_TRACE(row.Text());
        TTypeDescriptor descriptor;
        GetStandardTypeDescriptor(row["Asked"], descriptor);
        ASSERT_NE(descriptor.Item, nullptr);
        EXPECT_EQ(descriptor.Item->GetName(), row["Found"]);
        EXPECT_EQ(descriptor.TypeItem, descriptor.Item);
        EXPECT_EQ(int(descriptor.Kind), row.Int("Kind"));
    }
}

// The named constants are answered by the characters they share with the
// known names: each must still find the type of its own name, as a copy of
// the name (sharing nothing) does.
TEST(StandardTypes, EachNamedConstantFindsTheTypeItsCopyFinds) {
    using namespace StandardTypeName;
    for (const QString* name : {&Int, &Index, &Bool, &Str, &Char, &Float, &Pointer, &Variant, &Object, &ObjectType}) {
        SCOPED_TRACE(name->toStdString());
        const QString copy(name->constData(), name->size());
        ASSERT_NE(copy.constData(), name->constData());
        TTypeDescriptor byConstant;
        TTypeDescriptor byCopy;
        GetStandardTypeDescriptor(*name, byConstant);
        GetStandardTypeDescriptor(copy, byCopy);
        ASSERT_NE(byCopy.Item, nullptr);
        EXPECT_EQ(byConstant.Item, byCopy.Item);
        EXPECT_EQ(byConstant.Kind, byCopy.Kind);
        EXPECT_EQ(byConstant.Item->GetName(), *name);
    }
}

TEST(StandardTypes, ADeclaredStrHidesTheStandardTypeWithoutADuplicateMessage) {
    const TTestCommandClasses commandClasses;
    auto scheme = MakeTestProgramScheme();
    TNamespace* general = ProgramRootOf(scheme.get())->GeneralNamespace();
    auto* str = AppendNamed<TElement_TestType>(ProgramRootOf(scheme.get()), QStringLiteral("str"));
    TNamespaceItem* found = general->FindItemByName(QStringLiteral("str"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetElement(), str);
    EXPECT_FALSE(found->IsDuplicate());
    EXPECT_TRUE(found->HidesOverridable());
}

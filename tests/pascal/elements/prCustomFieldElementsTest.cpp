// Implicit identifiers, the members of a type shown under a name, and the
// value type that a type's name stands for.

#include "pascal/elements/prCustomFieldElements.h"

#include "core/cuLocalization.h"
#include "scheme/diNaming.h"
#include "scheme/diUtils.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

namespace {
constexpr const char* kFieldsTable = "pascal/elements/declarations.txt";

class ImplicitIdentifiers : public ::testing::Test {
protected:
    const TTestCommandClasses m_commandClasses;
    std::unique_ptr<TScheme> m_scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* Root() const { return ProgramRootOf(m_scheme.get()); }
    TElement_TestRoutine* m_routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    TNamespace* Body() const { return m_routine->Body()->Namespace(); }

    // An implicit identifier of cls in the routine's body.
    TCustomFieldElement* Identifier(const TElementClass* cls = TFieldElementLocalItem::StaticClass()) {
        return static_cast<TCustomFieldElement*>(TElement::CreateSubElement(cls, m_routine->Body()));
    }
    static TNamespaceItem* Standard(const QString& name) {
        TTypeDescriptor descriptor;
        GetStandardTypeDescriptor(name, descriptor);
        return descriptor.Item;
    }
    bool Sees(TNamespace* ns, const char* name) { return ns->FindItemByName(QString::fromLatin1(name)) != nullptr; }
    // A type of kind at unit level with members named and classified as given.
    TElement_TestType* Type(TDeclarationKind kind, const QString& name,
                            std::initializer_list<std::pair<const char*, TDeclarationKind>> members = {}) {
        auto* type = AppendNamed<TElement_TestType>(Root(), name);
        type->Kind = kind;
        for (const auto& [member, memberKind] : members) Member(type, member)->Kind = memberKind;
        return type;
    }
    static TElement_TestDeclaration* Member(TElement_TestType* type, const char* name) {
        return AppendNamed<TElement_TestDeclaration>(static_cast<TTextorElement*>(type->Content()),
                                                     QString::fromLatin1(name));
    }
};

}  // namespace

TEST_F(ImplicitIdentifiers, TheFiveKindsHaveTheirNamesDescriptionsTypesAndRegistration) {
    const TEnglishTexts english;
    const TElementClass* classes[] = {TFieldElementResult::StaticClass(), TFieldElementParameterIndex::StaticClass(),
                                      TFieldElementParameterValue::StaticClass(), TFieldElementLocalIndex::StaticClass(),
                                      TFieldElementLocalItem::StaticClass()};
    const QList<CaseRow> rows = LoadCases(kFieldsTable, "ImplicitIdentifiers");
    ASSERT_EQ(rows.size(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(rows[i].Text());
        TCustomFieldElement* identifier = Identifier(classes[i]);
        EXPECT_EQ(classes[i]->Name(), rows[i]["Class"]);
        EXPECT_EQ(identifier->GetName(), rows[i]["Name"]);
        EXPECT_EQ(identifier->GetDescription(), LoadStr(rows[i].Id("Hint")));
        EXPECT_EQ(identifier->IsReadOnly(), rows[i].Int("ReadOnly") != 0);
        EXPECT_EQ(identifier->TypeItem() ? identifier->TypeItem()->GetName() : QString(), rows[i]["Type"]);
        EXPECT_EQ(identifier->Item() != nullptr, rows[i].Int("Registered") != 0);
        identifier->Free();
    }
}

TEST_F(ImplicitIdentifiers, AnObjectOffersFreeClassNameAndClassTypeAndOnlyItsClassOfNameConstructors) {
    TCustomFieldElement* item = Identifier();
    EXPECT_FALSE(item->IsReferenced());
    item->SetTypeItem(Standard(QStringLiteral("object")));
    for (const char* name : {"Item.Free", "Item.ClassName", "Item.ClassType"}) EXPECT_TRUE(Sees(Body(), name)) << name;
    EXPECT_FALSE(Sees(Body(), "Item.Create")) << "a constructor is called on the class";
    EXPECT_FALSE(Sees(Root()->GeneralNamespace(), "Item.Free")) << "only inside the body";
    TReference reference;
    reference.SetTarget(Body()->FindItemByName(QStringLiteral("Item.ClassName")));
    EXPECT_TRUE(item->IsReferenced()) << "a member is referred to";
    reference.SetTarget(nullptr);

    TElement_TestType* shape = Type(TDeclarationKind::Object, QStringLiteral("TShape"),
                                    {{"Make", TDeclarationKind::Constructor}, {"Size", TDeclarationKind::Field}});
    shape->AddSecondName(QStringLiteral("TShapeClass"));
    item->SetTypeItem(shape->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.Size"));
    EXPECT_FALSE(Sees(Body(), "Item.Make"));
    item->SetTypeItem(shape->SecondName()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.Make"));
}

TEST_F(ImplicitIdentifiers, OnlyMembersOfTheTypeItselfPassAndPrivateOnesNever) {
    TElement_TestType* point = Type(TDeclarationKind::Record, QStringLiteral("TPoint"),
                                    {{"X", TDeclarationKind::Field},
                                     {"Origin", TDeclarationKind::Constant},
                                     {"Color", TDeclarationKind::EnumItem}});
    AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("Total"));
    auto* toOwner = TElement::CreateSubElement<TNamespaceConnectionToOwner>(point);
    toOwner->SetOwner(point->Members());
    toOwner->SetTarget(Root()->GeneralNamespace());
    EXPECT_TRUE(IsSeenThroughOwnerConnection(point->Members()->FindItemByName(QStringLiteral("Total"))));
    TCustomFieldElement* item = Identifier();
    item->SetTypeItem(point->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.X"));
    EXPECT_TRUE(Sees(Body(), "Item.Origin"));
    EXPECT_FALSE(Sees(Body(), "Item.Color")) << "not a member kind";
    EXPECT_FALSE(Sees(Body(), "Item.Total")) << "a name of the enclosing scope";
    Member(point, "Secret")->SetVisibility(TVisibility::Private);
    EXPECT_FALSE(Sees(Body(), "Item.Secret"));
    // Inside the record, a field of the record's own type offers nothing again.
    auto* inner = static_cast<TCustomFieldElement*>(
        TElement::CreateSubElement(TFieldElementLocalItem::StaticClass(), point->Content()));
    inner->SetTypeItem(point->NameField()->Item());
    EXPECT_FALSE(Sees(point->Members(), "Item.X"));
}

// The fault: a connection without a prefix poured every member of its type,
// unprefixed, into the scope and marked valid names duplicates.
TEST_F(ImplicitIdentifiers, AMembersConnectionWithoutPrefixShowsNothing) {
    auto* declared = AppendNamed<TElement_TestDeclaration>(m_routine->Body(), QStringLiteral("Free"));
    auto* connection = TElement::CreateSubElement<TMembersByTypeConnection>(m_routine->Body());
    connection->SetOwner(Body());
    connection->SetTypeItem(Standard(QStringLiteral("object")));
    EXPECT_EQ(connection->CoverCount(), 0);
    EXPECT_FALSE(declared->NameField()->Item()->IsDuplicate());
    connection->SetMembersPrefix(QStringLiteral("Value"));
    EXPECT_TRUE(Sees(Body(), "Value.Free"));
    connection->SetMembersPrefix(QString());
    EXPECT_EQ(connection->CoverCount(), 0);
}

TEST_F(ImplicitIdentifiers, TheTypeFollowsAliasesAndIsLetGoWhenItGoes) {
    Type(TDeclarationKind::Record, QStringLiteral("TPoint"), {{"X", TDeclarationKind::Field}});
    auto* alias = AppendNamed<TElement_TestAlias>(Root(), QStringLiteral("TPlace"));
    alias->RefType()->SetText(QStringLiteral("TPoint"));
    TCustomFieldElement* item = Identifier();
    item->SetTypeItem(alias->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.X"));
    alias->Free();
    EXPECT_EQ(item->TypeItem(), nullptr);
    EXPECT_FALSE(Sees(Body(), "Item.X"));
    // A connection whose members' namespace goes first never shows it again.
    TElement_TestType* shape = Type(TDeclarationKind::Record, QStringLiteral("TShape"), {{"Size", TDeclarationKind::Field}});
    auto* connection = TElement::CreateSubElement<TMembersByTypeConnection>(m_routine->Body());
    connection->SetOwner(Body());
    connection->SetTypeItem(shape->NameField()->Item());
    connection->SetMembersPrefix(QStringLiteral("Value"));
    shape->Members()->Free();
    connection->SetMembersPrefix(QStringLiteral("Other"));
    EXPECT_EQ(connection->TypeMembers(), nullptr);
    EXPECT_EQ(connection->Target(), nullptr);
}

TEST_F(ImplicitIdentifiers, GetTypeDescriptorAnswersPerKindOfDeclaration) {
    for (const CaseRow& row : LoadCases(kFieldsTable, "TypeDescriptors")) {
        SCOPED_TRACE(row.Text());
        TNamespaceItem* item = nullptr;
        TNamespaceItem* typeItem = nullptr;
        if (row.Has("Standard")) {
            item = typeItem = Standard(row["Standard"]);
        } else if (row.Has("Declared")) {
            TElement_TestType* type = Type(TDeclarationKind(row.Int("Declared")), row["Name"]);
            item = typeItem = type->NameField()->Item();
            if (row.Has("Second")) {
                type->AddSecondName(row["Second"]);
                item = type->SecondName()->Item();
                if (row["TypeItem"] == QLatin1String("second")) typeItem = item;
            }
        }
        TTypeDescriptor descriptor;
        GetTypeDescriptor(item, descriptor);
        EXPECT_EQ(int(descriptor.Kind), row.Int("Kind"));
        if (descriptor.Kind == TValueTypeKind::Variant) continue;
        EXPECT_EQ(descriptor.Item, item);
        EXPECT_EQ(descriptor.TypeItem, typeItem);
    }
}

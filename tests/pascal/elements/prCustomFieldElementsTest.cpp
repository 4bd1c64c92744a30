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
    TCustomFieldElement* Identifier(const TElementClass* cls) {
        return static_cast<TCustomFieldElement*>(TElement::CreateSubElement(cls, m_routine->Body()));
    }
    TNamespaceItem* Standard(const char* name) {
        TTypeDescriptor descriptor;
        GetStandardTypeDescriptor(QString::fromLatin1(name), descriptor);
        return descriptor.Item;
    }
    bool Sees(TNamespace* ns, const char* name) { return ns->FindItemByName(QString::fromLatin1(name)) != nullptr; }
    // A type of kind named name at unit level, with members of the given kinds.
    TElement_TestType* Type(TDeclarationKind kind, const QString& name,
                            std::initializer_list<std::pair<const char*, TDeclarationKind>> members = {}) {
        auto* type = AppendNamed<TElement_TestType>(Root(), name);
        type->Kind = kind;
        for (const auto& [member, memberKind] : members)
            AppendNamed<TElement_TestDeclaration>(static_cast<TTextorElement*>(type->Content()),
                                                  QString::fromLatin1(member))
                ->Kind = memberKind;
        return type;
    }
};

}  // namespace

TEST_F(ImplicitIdentifiers, TheFiveKindsHaveTheirNamesDescriptionsTypesAndRegistration) {
    const TEnglishTexts english;
    SetImplicitIdentifierImage(7);
    for (const CaseRow& row : LoadCases(kFieldsTable, "ImplicitIdentifiers")) {
        SCOPED_TRACE(row.Text());
        const TElementClass* cls = nullptr;
        for (const TElementClass* c :
             {TFieldElementResult::StaticClass(), TFieldElementParameterIndex::StaticClass(),
              TFieldElementParameterValue::StaticClass(), TFieldElementLocalIndex::StaticClass(),
              TFieldElementLocalItem::StaticClass()})
            if (c->Name() == row["Class"]) cls = c;
        ASSERT_NE(cls, nullptr);
        TCustomFieldElement* identifier = Identifier(cls);
        EXPECT_EQ(identifier->GetName(), row["Name"]);
        EXPECT_EQ(identifier->GetDescription(), LoadStr(row.Id("Hint")));
        EXPECT_EQ(identifier->IsReadOnly(), row.Int("ReadOnly") != 0);
        EXPECT_EQ(identifier->GetImageIndex(), 7);
        EXPECT_EQ(identifier->GetItemFlags(), nifOverridable);
        EXPECT_EQ(identifier->TypeItem() ? identifier->TypeItem()->GetName() : QString(), row["Type"]);
        EXPECT_EQ(identifier->Item() != nullptr, row.Int("Registered") != 0);
        QString child;
        identifier->GetChildName(identifier->MembersConnection(), nullptr, child);
        EXPECT_EQ(child, QStringLiteral("MembersByTypeConnection"));
        identifier->Free();
    }
    SetImplicitIdentifierImage(NoImageIndex);
}

TEST_F(ImplicitIdentifiers, AnObjectValueOffersFreeClassNameAndClassTypeButNotCreate) {
    TCustomFieldElement* item = Identifier(TFieldElementLocalItem::StaticClass());
    item->SetTypeItem(Standard("object"));
    EXPECT_TRUE(Sees(Body(), "Item.Free"));
    EXPECT_TRUE(Sees(Body(), "Item.ClassName"));
    EXPECT_TRUE(Sees(Body(), "Item.ClassType"));
    EXPECT_FALSE(Sees(Body(), "Item.Create")) << "a constructor is called on the class";
    EXPECT_FALSE(Sees(Root()->GeneralNamespace(), "Item.Free")) << "only inside the body";
    item->SetTypeItem(Standard("int"));
    EXPECT_FALSE(Sees(Body(), "Item.Free"));
}

TEST_F(ImplicitIdentifiers, ATypeNamedByItsClassOfNameAlsoOffersConstructors) {
    TElement_TestType* shape = Type(TDeclarationKind::Object, QStringLiteral("TShape"),
                                    {{"Make", TDeclarationKind::Constructor}, {"Size", TDeclarationKind::Field}});
    shape->AddSecondName(QStringLiteral("TShapeClass"));
    TCustomFieldElement* item = Identifier(TFieldElementLocalItem::StaticClass());
    item->SetTypeItem(shape->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.Size"));
    EXPECT_FALSE(Sees(Body(), "Item.Make"));
    item->SetTypeItem(shape->SecondName()->Item());
    EXPECT_TRUE(item->MembersConnection()->ClassOfAccess());
    EXPECT_TRUE(Sees(Body(), "Item.Make"));
}

TEST_F(ImplicitIdentifiers, OnlyMemberKindsPassAndPrivateMembersNever) {
    TElement_TestType* point = Type(TDeclarationKind::Record, QStringLiteral("TPoint"),
                                    {{"X", TDeclarationKind::Field},
                                     {"Origin", TDeclarationKind::Constant},
                                     {"Color", TDeclarationKind::EnumItem},
                                     {"Kind", TDeclarationKind::Enum}});
    TCustomFieldElement* item = Identifier(TFieldElementLocalItem::StaticClass());
    item->SetTypeItem(point->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.X"));
    EXPECT_TRUE(Sees(Body(), "Item.Origin"));
    EXPECT_FALSE(Sees(Body(), "Item.Color"));
    EXPECT_FALSE(Sees(Body(), "Item.Kind"));
    EXPECT_EQ(item->MembersConnection()->Filter() & ncfPublicOnly, ncfPublicOnly);
}

TEST_F(ImplicitIdentifiers, AFieldInsideARecordOfThatRecordsTypeDoesNotOfferItsMembersAgain) {
    TElement_TestType* point = Type(TDeclarationKind::Record, QStringLiteral("TPoint"), {{"X", TDeclarationKind::Field}});
    auto* inner = static_cast<TCustomFieldElement*>(
        TElement::CreateSubElement(TFieldElementLocalItem::StaticClass(), point->Content()));
    inner->SetTypeItem(point->NameField()->Item());
    EXPECT_FALSE(Sees(point->Members(), "Item.X"));
    TCustomFieldElement* outer = Identifier(TFieldElementLocalItem::StaticClass());
    outer->SetTypeItem(point->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.X"));
}

// As written, a connection without a prefix poured every member of its type,
// unprefixed, into the scope (and marked valid names duplicates).
TEST_F(ImplicitIdentifiers, AMembersConnectionWithoutPrefixShowsNothing) {
    auto* declared = AppendNamed<TElement_TestDeclaration>(m_routine->Body(), QStringLiteral("Free"));
    auto* connection = TElement::CreateSubElement<TMembersByTypeConnection>(m_routine->Body());
    connection->SetOwner(Body());
    connection->SetTypeItem(Standard("object"));
    EXPECT_EQ(connection->CoverCount(), 0);
    m_scheme->BeginUpdate();
    m_scheme->EndUpdate();
    EXPECT_FALSE(declared->NameField()->Item()->IsDuplicate());
    connection->SetMembersPrefix(QStringLiteral("Value"));
    EXPECT_TRUE(Sees(Body(), "Value.Free"));
    connection->SetMembersPrefix(QString());
    EXPECT_FALSE(Sees(Body(), "Value.Free"));
    EXPECT_EQ(connection->CoverCount(), 0);
}

TEST_F(ImplicitIdentifiers, IsReferencedCountsTheNameAndItsMembers) {
    TCustomFieldElement* item = Identifier(TFieldElementLocalItem::StaticClass());
    item->SetTypeItem(Standard("object"));
    EXPECT_FALSE(item->IsReferenced());
    TReference reference;
    reference.SetTarget(Body()->FindItemByName(QStringLiteral("Item.ClassName")));
    EXPECT_TRUE(item->IsReferenced());
    reference.SetTarget(nullptr);
    EXPECT_FALSE(item->IsReferenced());
}

TEST_F(ImplicitIdentifiers, TheTypeFollowsAliasesAndLetsGoOfATypeThatGoes) {
    TElement_TestType* point = Type(TDeclarationKind::Record, QStringLiteral("TPoint"), {{"X", TDeclarationKind::Field}});
    auto* alias = AppendNamed<TElement_TestAlias>(Root(), QStringLiteral("TPlace"));
    alias->RefType()->SetText(QStringLiteral("TPoint"));
    TCustomFieldElement* item = Identifier(TFieldElementLocalItem::StaticClass());
    item->SetTypeItem(alias->NameField()->Item());
    EXPECT_TRUE(Sees(Body(), "Item.X"));
    alias->Free();
    EXPECT_EQ(item->TypeItem(), nullptr);
    EXPECT_FALSE(Sees(Body(), "Item.X"));
    (void)point;
}

TEST_F(ImplicitIdentifiers, GetTypeDescriptorAnswersPerKindOfDeclaration) {
    for (const CaseRow& row : LoadCases(kFieldsTable, "TypeDescriptors")) {
        SCOPED_TRACE(row.Text());
        const QString declared = row["Declared"];
        TNamespaceItem* item = nullptr;
        TNamespaceItem* expectedTypeItem = nullptr;
        if (declared == QLatin1String("standard")) {
            item = Standard(row["Name"].toLatin1().constData());
            expectedTypeItem = item;
        } else if (declared == QLatin1String("Field")) {
            item = AppendNamed<TElement_TestDeclaration>(Root(), row["Name"])->NameField()->Item();
        } else if (declared != QLatin1String("none")) {
            const std::pair<const char*, TDeclarationKind> kinds[] = {
                {"Object", TDeclarationKind::Object}, {"Record", TDeclarationKind::Record},
                {"Enum", TDeclarationKind::Enum}, {"Array", TDeclarationKind::Array},
                {"Pointer", TDeclarationKind::Pointer}, {"MethodType", TDeclarationKind::MethodType},
                {"Event", TDeclarationKind::Event}, {"Notification", TDeclarationKind::Notification},
            };
            TDeclarationKind kind = TDeclarationKind::None;
            for (const auto& [name, k] : kinds)
                if (declared == QLatin1String(name)) kind = k;
            const bool second = row["Note"].contains(QLatin1String("class-of")) || row["Note"].contains(QLatin1String("set-of"));
            TElement_TestType* type = Type(kind, second ? QStringLiteral("T%1Main").arg(row["Name"]) : row["Name"]);
            if (second) type->AddSecondName(row["Name"]);
            item = second ? type->SecondName()->Item() : type->NameField()->Item();
            expectedTypeItem = row["TypeItem"] == QLatin1String("second") ? item : type->NameField()->Item();
        }
        TTypeDescriptor descriptor;
        GetTypeDescriptor(item, descriptor);
        EXPECT_EQ(int(descriptor.Kind), row.Int("Kind"));
        if (expectedTypeItem) {
            EXPECT_EQ(descriptor.Item, item);
            EXPECT_EQ(descriptor.TypeItem, expectedTypeItem);
        }
    }
}

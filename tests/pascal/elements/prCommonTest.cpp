// The shared parts of program elements: the "Program" settings, the naming
// routines, the classification and the declaration container, the methods
// owner, type references, type aliases and the depth of type computations,
// and the expected type of a value field.

#include "pascal/elements/prCommon.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diNaming.h"
#include "support/testCases.h"
#include "support/testElements.h"
#include "support/testProgram.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {
constexpr const char* kCommonTable = "pascal/elements/declarations.txt";

// A value field of a test kind whose owner answers node message 400 with
// the type it is told to expect.
class TElement_TestExpecting : public TElement {
    T_ELEMENT_CLASS(TElement_TestExpecting)
public:
    TElement_TestLeaf* Field() const noexcept { return m_field; }
    QString Expected;
    void Create() override { m_field = TElement::CreateSubElement<TElement_TestLeaf>(this); }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override {
        if (msg != nmGetExpectedType || Expected.isEmpty()) return false;
        GetStandardTypeDescriptor(Expected, *reinterpret_cast<TTypeDescriptor*>(p1));
        return true;
    }

private:
    TElement_TestLeaf* m_field = nullptr;
};
T_ELEMENT_CLASS_IMPL(TElement_TestExpecting, TElement)

// Restores a prefix setting when the test ends.
class TPrefixRestore {
public:
    explicit TPrefixRestore(TStringProperty* property) : m_property(property), m_value(property->Value()) {}
    ~TPrefixRestore() { m_property->SetValue(m_value); }

private:
    TStringProperty* m_property;
    QString m_value;
};

class ProgramScheme : public ::testing::Test {
protected:
    const TTestCommandClasses m_commandClasses;
    std::unique_ptr<TScheme> m_scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* Root() const { return ProgramRootOf(m_scheme.get()); }
    TElement_TestAlias* Alias(const QString& name, const QString& refType) {
        auto* alias = AppendNamed<TElement_TestAlias>(Root(), name);
        alias->RefType()->SetText(refType);
        return alias;
    }
    TNamespaceItem* ItemOf(TNamedElement* element) { return element->NameField()->Item(); }
};
}  // namespace

TEST(ProgramSettings, HoldsTheSevenPrefixesInOrderWithTheirDefaults) {
    const QList<CaseRow> rows = LoadCases(kCommonTable, "ProgramSettings");
    TProgramSettings* settings = ProgramSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Name(), QStringLiteral("Program"));
    qsizetype i = 0;
    for (TNode* child = settings->FirstChild(); child; child = child->NextSibling(), ++i) {
        ASSERT_LT(i, rows.size());
        SCOPED_TRACE(rows[i].Text());
        auto* key = dynamic_cast<TStringProperty*>(child);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->Name(), rows[i]["Name"]);
        EXPECT_EQ(key->Default(), rows[i]["Default"]);
    }
    EXPECT_EQ(i, rows.size());
}

TEST(NamingRoutines, StartsWithTextComparesAWholeNonEmptyPrefixWithCase) {
    for (const CaseRow& row : LoadCases(kCommonTable, "StartsWithText")) {
        SCOPED_TRACE(row.Text());
        EXPECT_EQ(StartsWithText(row["Text"], row["Prefix"]), row.Int("Result") != 0);
    }
}

TEST(NamingRoutines, CapitalizeFirstUpperCasesOnlyTheFirstCharacterAndLeavesAnEmptyText) {
    for (const CaseRow& row : LoadCases(kCommonTable, "CapitalizeFirst")) {
        SCOPED_TRACE(row.Text());
        EXPECT_EQ(CapitalizeFirst(row["Text"]), row["Result"]);
    }
    EXPECT_EQ(CapitalizeFirst(QStringLiteral("\U00010428x")), QStringLiteral("\U00010400x")) << "a surrogate pair";
}

// As written, the type computation read numbers in the desktop's locale while
// the check read them in the C locale, so "1,5" was typed float on a German
// desktop and reported invalid at the same time.
TEST(NumberLiterals, AreReadTheSameOnEveryLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const CaseRow& row : LoadCases(kCommonTable, "NumberLiterals")) {
        SCOPED_TRACE(row.Text());
        const QString kind = row["Kind"];
        const TNumberLiteral expected = kind == QLatin1String("Integer") ? TNumberLiteral::Integer
                                        : kind == QLatin1String("Float") ? TNumberLiteral::Float
                                                                         : TNumberLiteral::None;
        EXPECT_EQ(ClassifyNumberLiteral(row["Text"]), expected);
    }
    QLocale::setDefault(previous);
}

TEST(NamingRoutines, AnEmptyTypesPrefixMatchesNoName) {
    const TPrefixRestore restore(ProgramSettings()->TypesPrefix());
    EXPECT_TRUE(HasTypesPrefix(QStringLiteral("TList")));
    ProgramSettings()->TypesPrefix()->SetValue(QString());
    EXPECT_FALSE(HasTypesPrefix(QStringLiteral("TList")));
    EXPECT_FALSE(HasTypesPrefix(QString()));
}

TEST(ValueTypes, AFieldWhoseOwnerDoesNotAnswerExpectsVariant) {
    auto scheme = MakeTestScheme();
    auto* owner = TElement::CreateIn<TElement_TestExpecting>(scheme.get(), scheme->Root());
    TTypeDescriptor descriptor;
    GetExpectedType(owner->Field(), descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Variant);
    owner->Expected = QStringLiteral("bool");
    GetExpectedType(owner->Field(), descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Bool);
    ASSERT_NE(descriptor.Item, nullptr);
    EXPECT_EQ(descriptor.Item->GetName(), QStringLiteral("bool"));
}

TEST_F(ProgramScheme, ClassifiesTheStandardElementsByTheirClass) {
    TTypeDescriptor str;
    GetStandardTypeDescriptor(QStringLiteral("str"), str);
    EXPECT_EQ(DeclarationKindOf(str.Item), TDeclarationKind::StandardType);
    const std::pair<const char*, TDeclarationKind> members[] = {
        {"Create", TDeclarationKind::BuiltInCreate},
        {"Free", TDeclarationKind::BuiltInFree},
        {"ClassName", TDeclarationKind::BuiltInClassName},
        {"ClassType", TDeclarationKind::BuiltInClassType},
    };
    for (const auto& [name, kind] : members)
        EXPECT_EQ(DeclarationKindOf(ObjectMembersNamespace()->FindItemByName(QString::fromLatin1(name))), kind) << name;
    EXPECT_EQ(ScopeKindOf(Root()), TScopeKind::ProgramRoot);
    EXPECT_EQ(DeclarationKindOf(static_cast<TElement*>(nullptr)), TDeclarationKind::None);
    EXPECT_EQ(DeclarationKindOf(Root()->GeneralNamespace()), TDeclarationKind::None) << "not a program element";
}

TEST_F(ProgramScheme, TheDeclarationContainerAndFieldPrefixFollowTheNearestScope) {
    auto* record = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TPoint"));
    auto* object = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TShape"));
    object->Kind = TDeclarationKind::Object;
    auto* routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    auto* atUnit = AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("Count"));
    auto* inRecord = AppendNamed<TElement_TestDeclaration>(static_cast<TTextorElement*>(record->Content()),
                                                           QStringLiteral("X"));
    auto* inObject = AppendNamed<TElement_TestDeclaration>(static_cast<TTextorElement*>(object->Content()),
                                                           QStringLiteral("Size"));
    auto* local = AppendNamed<TElement_TestDeclaration>(routine->Body(), QStringLiteral("I"));
    const TPrefixRestore restore(ProgramSettings()->ModuleFieldsPrefix());
    ProgramSettings()->ModuleFieldsPrefix()->SetValue(QStringLiteral("G"));
    const struct {
        TElement* element;
        TElement* container;
        QString prefix;
    } cases[] = {
        {atUnit, Root(), QStringLiteral("G")},
        {inRecord, record, QString()},
        {inObject, object, QStringLiteral("F")},
        {local, routine->Body(), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element->GetTypeName().toStdString() + " in " + c.container->GetTypeName().toStdString());
        EXPECT_EQ(GetDeclarationContainer(c.element), c.container);
        EXPECT_EQ(FieldPrefixIn(GetDeclarationContainer(c.element)), c.prefix);
    }
    EXPECT_EQ(GetDeclarationContainer(Root()), nullptr);
}

TEST_F(ProgramScheme, TheRootAndARoutineBodyAllowNeitherDescendantsOptionsNorClassMethods) {
    auto* routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    auto* local = AppendNamed<TElement_TestDeclaration>(routine->Body(), QStringLiteral("I"));
    EXPECT_EQ(FindMethodsOwner(local), static_cast<IMethodsOwner*>(routine->Body()));
    EXPECT_EQ(FindMethodsOwner(routine), static_cast<IMethodsOwner*>(Root()));
    for (IMethodsOwner* owner : {FindMethodsOwner(local), FindMethodsOwner(routine)}) {
        EXPECT_FALSE(owner->AllowsDescendantsOptions());
        EXPECT_FALSE(owner->AllowsClassMethods());
    }
}

TEST_F(ProgramScheme, ATypeReferenceResolvesToTheTypeNotToADeclarationOfTheSameName) {
    auto* count = AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("TCount"));
    auto* type = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TPoint"));
    auto* alias = Alias(QStringLiteral("TAlias"), QStringLiteral("TCount"));
    EXPECT_EQ(alias->RefType()->GetTargetItem(), nullptr) << "a field is no type";
    alias->RefType()->SetText(QStringLiteral("TPoint"));
    EXPECT_EQ(alias->RefType()->GetTargetItem(), ItemOf(type));
    alias->RefType()->SetText(QStringLiteral("int"));
    ASSERT_NE(alias->RefType()->GetTargetItem(), nullptr);
    EXPECT_EQ(DeclarationKindOf(alias->RefType()->GetTargetItem()), TDeclarationKind::StandardType);
    (void)count;
}

TEST_F(ProgramScheme, ResolveTypeAliasFollowsAliasesToTheFinalType) {
    auto* point = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TPoint"));
    Alias(QStringLiteral("A"), QStringLiteral("TPoint"));
    auto* b = Alias(QStringLiteral("B"), QStringLiteral("A"));
    auto* broken = Alias(QStringLiteral("C"), QStringLiteral("Missing"));
    EXPECT_EQ(ResolveTypeAlias(ItemOf(b)), ItemOf(point));
    EXPECT_EQ(ResolveTypeAlias(ItemOf(point)), ItemOf(point)) << "not an alias: itself";
    EXPECT_EQ(ResolveTypeAlias(ItemOf(broken)), nullptr) << "unresolved";
    EXPECT_EQ(ResolveTypeAlias(nullptr), nullptr);
}

// As written, a loop was recognised only when it led back to the first alias.
TEST_F(ProgramScheme, ResolveTypeAliasStopsAtALoopThatAvoidsTheFirstAlias) {
    auto* a = Alias(QStringLiteral("A"), QStringLiteral("B"));
    Alias(QStringLiteral("B"), QStringLiteral("C"));
    Alias(QStringLiteral("C"), QStringLiteral("B"));
    EXPECT_EQ(FinalAliasTarget(ItemOf(a)), nullptr);
    EXPECT_EQ(ResolveTypeAlias(ItemOf(a)), nullptr);
    TTypeDescriptor descriptor;
    GetTypeDescriptor(ItemOf(a), descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Variant);
}

// A chain of aliases of aliases loaded from a file answers "variant" past
// the depth limit instead of following it to the end.
TEST_F(ProgramScheme, ALongAliasChainLoadedFromAFileIsBoundedInDepth) {
    constexpr int kChain = 10000;
    // Each alias names the next; the last one names "int".
    QString text = QStringLiteral("<ProgramModule FormatVersion=\"1.1\">\n");
    for (int i = 0; i + 1 < kChain; ++i)
        text += QStringLiteral("\t<TestAlias Name=\"A%1\" RefType=\"A%2\"/>\n").arg(i).arg(i + 1);
    text += QStringLiteral("\t<TestAlias Name=\"A%1\" RefType=\"int\"/>\n</ProgramModule>\n").arg(kChain - 1);
    auto scheme = MakeTestProgramScheme();
    TNodePtr<TKnot> knot = KnotFromText(text);
    LoadSchemeKnot(scheme.get(), knot.get());
    TNamespace* general = ProgramRootOf(scheme.get())->GeneralNamespace();
    TNamespaceItem* near = general->FindItemByName(QStringLiteral("A%1").arg(kChain - kMaxTypeChainDepth));
    TNamespaceItem* far = general->FindItemByName(QStringLiteral("A0"));
    ASSERT_NE(near, nullptr);
    ASSERT_NE(far, nullptr);
    TTypeDescriptor descriptor;
    GetTypeDescriptor(near, descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Integer) << "within the limit";
    GetTypeDescriptor(far, descriptor);
    EXPECT_EQ(descriptor.Kind, TValueTypeKind::Variant) << "beyond the limit";
}

TEST(TypeChainDepth, IsExceededOnlyBeyondTheLimitAndGivesItsLevelsBack) {
    std::vector<std::unique_ptr<TTypeChainDepth>> levels;
    for (int i = 0; i < kMaxTypeChainDepth; ++i) levels.push_back(std::make_unique<TTypeChainDepth>());
    EXPECT_FALSE(levels.back()->Exceeded());
    levels.push_back(std::make_unique<TTypeChainDepth>());
    EXPECT_TRUE(levels.back()->Exceeded());
    levels.clear();
    EXPECT_FALSE(TTypeChainDepth().Exceeded());
}

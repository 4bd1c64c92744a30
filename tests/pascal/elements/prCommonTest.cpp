// The shared parts of program elements: the "Program" settings, the naming
// and literal routines, the declaration container and the methods owner,
// type references and aliases.

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

class ProgramScheme : public ::testing::Test {
protected:
    const TTestCommandClasses m_commandClasses;
    std::unique_ptr<TScheme> m_scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* Root() const { return ProgramRootOf(m_scheme.get()); }
    TNamespaceItem* Alias(const QString& name, const QString& refType) {
        auto* alias = AppendNamed<TElement_TestAlias>(Root(), name);
        alias->RefType()->SetText(refType);
        return alias->NameField()->Item();
    }
};
}  // namespace

TEST(ProgramSettings, HoldsTheSevenPrefixesInOrderWithTheirDefaults) {
    const QList<CaseRow> rows = LoadCases(kCommonTable, "ProgramSettings");
    TNode* child = ProgramSettings()->FirstChild();
    for (const CaseRow& row : rows) {
        SCOPED_TRACE(row.Text());
        auto* key = dynamic_cast<TStringProperty*>(child);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->Name(), row["Name"]);
        EXPECT_EQ(key->Default(), row["Default"]);
        child = child->NextSibling();
    }
    EXPECT_EQ(child, nullptr);
}

TEST(NamingRoutines, FollowTheirTables) {
    for (const CaseRow& row : LoadCases(kCommonTable, "StartsWithText"))
        EXPECT_EQ(StartsWithText(row["Text"], row["Prefix"]), row.Int("Result") != 0) << row.Text();
    // The fault: an empty text was read past its end.
    for (const CaseRow& row : LoadCases(kCommonTable, "CapitalizeFirst"))
        EXPECT_EQ(CapitalizeFirst(row["Text"]), row["Result"]) << row.Text();
    EXPECT_EQ(CapitalizeFirst(QStringLiteral("\U00010428x")), QStringLiteral("\U00010400x")) << "a surrogate pair";
    TStringProperty* typesPrefix = ProgramSettings()->TypesPrefix();
    EXPECT_TRUE(HasTypesPrefix(QStringLiteral("TList")));
    typesPrefix->SetValue(QString());
    EXPECT_FALSE(HasTypesPrefix(QStringLiteral("TList"))) << "an empty prefix matches no name";
    typesPrefix->SetValue(typesPrefix->Default());
}

// The fault: the type computation read numbers in the desktop's locale while
// the check read them in the C locale: "1,5" was typed float on a German
// desktop and reported invalid at the same time.
TEST(NumberLiterals, AreReadTheSameOnEveryLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QStringList kinds{QStringLiteral("None"), QStringLiteral("Integer"), QStringLiteral("Float")};
    for (const CaseRow& row : LoadCases(kCommonTable, "NumberLiterals"))
        EXPECT_EQ(int(ClassifyNumberLiteral(row["Text"])), kinds.indexOf(row["Kind"])) << row.Text();
    QLocale::setDefault(previous);
}

// A missing attribute reads as its default, not as what the element held before.
TEST(OptionAttributes, AreWrittenOnlyWhenNotDefaultAndReadBackToTheirDefaultWhenMissing) {
    const QStringList kinds{QStringLiteral("Normal"), QStringLiteral("Virtual"), QStringLiteral("Override")};
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Method"));
    WriteOptionFlag(knot.get(), QStringLiteral("Abstract"), false);
    WriteOptionKind(knot.get(), QStringLiteral("Kind"), 0, kinds);
    EXPECT_EQ(knot->Params(), nullptr) << "defaults are not written";
    EXPECT_TRUE(ReadOptionFlag(knot.get(), QStringLiteral("Inline"), true));
    EXPECT_EQ(ReadOptionKind(knot.get(), QStringLiteral("Kind"), kinds, 2), 2);
    WriteOptionFlag(knot.get(), QStringLiteral("Abstract"), true);
    WriteOptionKind(knot.get(), QStringLiteral("Kind"), 1, kinds);
    EXPECT_EQ(knot->ReadStr(QStringLiteral("Abstract")), QStringLiteral("1"));
    EXPECT_EQ(knot->ReadStr(QStringLiteral("Kind")), QStringLiteral("Virtual"));
    EXPECT_TRUE(ReadOptionFlag(knot.get(), QStringLiteral("Abstract")));
    const auto readKind = [&](const char* stored) {
        TNodePtr<TKnot> method = TKnot::Create(QStringLiteral("Method"));
        method->WriteStr(QStringLiteral("Kind"), QString::fromLatin1(stored));
        return ReadOptionKind(method.get(), QStringLiteral("Kind"), kinds, 1);
    };
    EXPECT_EQ(readKind("override"), 2) << "names compare ignoring case";
    EXPECT_EQ(readKind("Dynamic"), 0) << "an unknown name reads as kind 0";
}

TEST_F(ProgramScheme, DeclarationsFindTheirContainerPrefixAndMethodsOwner) {
    auto* record = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TPoint"));
    auto* object = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TShape"));
    object->Kind = TDeclarationKind::Object;
    auto* routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    auto in = [](TElement_TestType* type) { return static_cast<TTextorElement*>(type->Content()); };
    const struct {
        TElement* element;
        TElement* container;
        QString prefix;
    } cases[] = {
        {AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("Count")), Root(), QStringLiteral("G")},
        {AppendNamed<TElement_TestDeclaration>(in(record), QStringLiteral("X")), record, QString()},
        {AppendNamed<TElement_TestDeclaration>(in(object), QStringLiteral("Size")), object, QStringLiteral("F")},
        {AppendNamed<TElement_TestDeclaration>(routine->Body(), QStringLiteral("I")), routine->Body(), QString()},
    };
    TStringProperty* modulePrefix = ProgramSettings()->ModuleFieldsPrefix();
    modulePrefix->SetValue(QStringLiteral("G"));
    for (const auto& c : cases) {
        EXPECT_EQ(GetDeclarationContainer(c.element), c.container) << c.container->GetTypeName().toStdString();
        EXPECT_EQ(FieldPrefixIn(GetDeclarationContainer(c.element)), c.prefix);
    }
    modulePrefix->SetValue(modulePrefix->Default());
    // The root and a routine body allow neither descendants' options nor class methods.
    EXPECT_EQ(FindMethodsOwner(cases[3].element), static_cast<IMethodsOwner*>(routine->Body()));
    EXPECT_EQ(FindMethodsOwner(routine), static_cast<IMethodsOwner*>(Root()));
    for (IMethodsOwner* owner : {FindMethodsOwner(cases[3].element), FindMethodsOwner(routine)})
        EXPECT_FALSE(owner->AllowsDescendantsOptions() || owner->AllowsClassMethods());
}

TEST_F(ProgramScheme, ATypeReferenceResolvesOnlyToTypesAndAliasesFollowToTheFinalType) {
    AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("TCount"));
    TNamespaceItem* point = AppendNamed<TElement_TestType>(Root(), QStringLiteral("TPoint"))->NameField()->Item();
    EXPECT_EQ(FinalAliasTarget(Alias(QStringLiteral("A"), QStringLiteral("TCount"))), nullptr) << "a field is no type";
    TNamespaceItem* b = Alias(QStringLiteral("B"), QStringLiteral("C"));
    Alias(QStringLiteral("C"), QStringLiteral("TPoint"));
    EXPECT_EQ(ResolveTypeAlias(b), point);
    EXPECT_EQ(ResolveTypeAlias(point), point) << "not an alias: itself";
    EXPECT_EQ(DeclarationKindOf(ResolveTypeAlias(Alias(QStringLiteral("D"), QStringLiteral("int")))),
              TDeclarationKind::StandardType);
}

// The fault: a loop was recognised only when it led back to the first alias.
TEST_F(ProgramScheme, ResolveTypeAliasStopsAtALoopThatAvoidsTheFirstAlias) {
    TNamespaceItem* a = Alias(QStringLiteral("A"), QStringLiteral("B"));
    Alias(QStringLiteral("B"), QStringLiteral("C"));
    Alias(QStringLiteral("C"), QStringLiteral("B"));
    EXPECT_EQ(ResolveTypeAlias(a), nullptr);
}

// A chain of aliases loaded from a file answers "variant" past the depth
// limit instead of following it to the end.
TEST_F(ProgramScheme, ALongAliasChainLoadedFromAFileIsBoundedInDepth) {
    constexpr int kChain = 10000;
    QString text = QStringLiteral("<ProgramModule FormatVersion=\"1.1\">\n");
    for (int i = 0; i + 1 < kChain; ++i)
        text += QStringLiteral("\t<TestAlias Name=\"A%1\" RefType=\"A%2\"/>\n").arg(i).arg(i + 1);
    text += QStringLiteral("\t<TestAlias Name=\"A%1\" RefType=\"int\"/>\n</ProgramModule>\n").arg(kChain - 1);
    auto scheme = MakeTestProgramScheme();
    LoadSchemeKnot(scheme.get(), KnotFromText(text).get());
    TNamespace* general = ProgramRootOf(scheme.get())->GeneralNamespace();
    TTypeDescriptor near, far;
    GetTypeDescriptor(general->FindItemByName(QStringLiteral("A%1").arg(kChain - kMaxTypeChainDepth)), near);
    GetTypeDescriptor(general->FindItemByName(QStringLiteral("A0")), far);
    EXPECT_EQ(near.Kind, TValueTypeKind::Integer) << "within the limit";
    EXPECT_EQ(far.Kind, TValueTypeKind::Variant) << "beyond the limit";
}

TEST(TypeChainDepth, IsExceededOnlyBeyondTheLimit) {
    std::vector<std::unique_ptr<TTypeChainDepth>> levels(kMaxTypeChainDepth);
    for (auto& level : levels) level = std::make_unique<TTypeChainDepth>();
    EXPECT_FALSE(levels.back()->Exceeded());
    EXPECT_TRUE(TTypeChainDepth().Exceeded());
    levels.clear();
    EXPECT_FALSE(TTypeChainDepth().Exceeded()) << "the levels are given back";
}

// Routine bodies: what they accept, their scope, and how they are stored.

#include "pascal/elements/prCommandsContainer.h"

#include "elements/diPathElements.h"
#include "elements/coValueElements.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diNaming.h"
#include "scheme/diUtils.h"
#include "support/testElements.h"
#include "support/testProgram.h"

#include <gtest/gtest.h>

namespace {
class RoutineBody : public ::testing::Test {
protected:
    const TTestCommandClasses m_commandClasses;
    std::unique_ptr<TScheme> m_scheme = MakeTestProgramScheme();
    TElement_TestProgramRoot* Root() const { return ProgramRootOf(m_scheme.get()); }
    TElement_TestRoutine* m_routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    TCommandsContainerWithResult* Body() const { return m_routine->Body(); }
};
}  // namespace

TEST_F(RoutineBody, RefusesTextSubstitutionsButTakesCommentsAndCommandClasses) {
    // A stand-in for the comments of the rich-text group.
    const TElementClass* comment = TElement_TestType::StaticClass();
    CommandElementClasses() << TElement_TestDeclaration::StaticClass();
    ClassesGroups().GetGroup(cgRichTextElements) << comment;
    TElementClassList commands;
    AddItemsOnce(commands, CommandElementClasses());
    TElementClassList accepted;
    Body()->GetAcceptedClasses(accepted);
    CommandElementClasses().removeAll(TElement_TestDeclaration::StaticClass());
    ClassesGroups().GetGroup(cgRichTextElements).removeAll(comment);
    EXPECT_EQ(accepted.mid(0, commands.size()), commands) << "the command classes first";
    EXPECT_TRUE(commands.contains(TElement_TestDeclaration::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_Path::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_FileName::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_Substitution::StaticClass()));
    EXPECT_TRUE(accepted.contains(comment));
    EXPECT_EQ(Body()->TextRestrictions(), kCommandsContainerRestrictions);
}

TEST_F(RoutineBody, ALocalDeclarationIsInvisibleOutsideTheBody) {
    AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("Total"));
    auto* local = AppendNamed<TElement_TestDeclaration>(Body(), QStringLiteral("Index"));
    EXPECT_EQ(local->NameField()->Namespace(), Body()->Namespace());
    EXPECT_EQ(Root()->GeneralNamespace()->FindItemByName(QStringLiteral("Index")), nullptr);
    EXPECT_NE(Body()->Namespace()->FindItemByName(QStringLiteral("Index")), nullptr);
    EXPECT_NE(Body()->Namespace()->FindItemByName(QStringLiteral("Total")), nullptr) << "the enclosing scope is seen";
    EXPECT_NE(Body()->Namespace()->FindItemByName(QStringLiteral("int")), nullptr) << "and the standard types";
}

TEST_F(RoutineBody, ResultStartsUnregisteredAndThePartsHaveTheirChildNames) {
    ASSERT_NE(Body()->Result(), nullptr);
    EXPECT_EQ(Body()->Result()->Item(), nullptr);
    EXPECT_EQ(Body()->Namespace()->FindItemByName(QStringLiteral("Result")), nullptr);
    EXPECT_EQ(Body()->Connection()->Owner(), Body()->Namespace());
    const std::pair<TElement*, const char*> parts[] = {
        {Body()->Namespace(), "Namespace"}, {Body()->Connection(), "Connection"}, {Body()->Result(), "Result"}};
    for (const auto& [part, name] : parts) {
        QString child;
        Body()->GetChildName(part, nullptr, child);
        EXPECT_EQ(child, QString::fromLatin1(name));
    }
}

TEST_F(RoutineBody, SavedAndLoadedKeepsItsLocalDeclarationsInTheirScope) {
    AppendNamed<TElement_TestDeclaration>(Body(), QStringLiteral("Index"));
    const QString text = SchemeText(m_scheme.get());
    auto loaded = MakeTestProgramScheme();
    TNodePtr<TKnot> knot = KnotFromText(text);
    LoadSchemeKnot(loaded.get(), knot.get());
    EXPECT_EQ(SchemeText(loaded.get()), text);
    EXPECT_EQ(ProgramRootOf(loaded.get())->GeneralNamespace()->FindItemByName(QStringLiteral("Index")), nullptr);
    TNamespaceItem* run = ProgramRootOf(loaded.get())->GeneralNamespace()->FindItemByName(QStringLiteral("Run"));
    ASSERT_NE(run, nullptr);
    auto* routine = dynamic_cast<TElement_TestRoutine*>(run->GetElement());
    ASSERT_NE(routine, nullptr);
    EXPECT_NE(routine->Body()->Namespace()->FindItemByName(QStringLiteral("Index")), nullptr);
}

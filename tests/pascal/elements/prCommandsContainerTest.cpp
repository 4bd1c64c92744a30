// Routine bodies: what they accept, their scope, and how they are stored.

#include "pascal/elements/prCommandsContainer.h"

#include "elements/coValueElements.h"
#include "elements/diPathElements.h"
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
    TNamespaceItem* Find(TNamespace* ns, const char* name) { return ns->FindItemByName(QString::fromLatin1(name)); }
};
}  // namespace

TEST_F(RoutineBody, RefusesTextSubstitutionsButTakesCommentsAndCommandClasses) {
    // A stand-in for the comments of the rich-text group.
    const TElementClass* comment = TElement_TestDeclaration::StaticClass();
    RemoveItems(CommandElementClasses(), {comment});
    ClassesGroups().GetGroup(cgRichTextElements) << comment;
    TElementClassList accepted;
    Body()->GetAcceptedClasses(accepted);
    ClassesGroups().GetGroup(cgRichTextElements).removeAll(comment);
    EXPECT_EQ(accepted.value(0), CommandElementClasses().value(0)) << "the command classes first";
    for (const TElementClass* refused :
         {TElement_Path::StaticClass(), TElement_FileName::StaticClass(), TElement_Substitution::StaticClass()})
        EXPECT_FALSE(accepted.contains(refused)) << refused->ClassName();
    EXPECT_TRUE(accepted.contains(comment));
}

TEST_F(RoutineBody, ALocalDeclarationIsInvisibleOutsideTheBodyAndResultStartsUnregistered) {
    AppendNamed<TElement_TestDeclaration>(Root(), QStringLiteral("Total"));
    AppendNamed<TElement_TestDeclaration>(Body(), QStringLiteral("Index"));
    EXPECT_EQ(Find(Root()->GeneralNamespace(), "Index"), nullptr);
    EXPECT_NE(Find(Body()->Namespace(), "Index"), nullptr);
    EXPECT_NE(Find(Body()->Namespace(), "Total"), nullptr) << "the enclosing scope is seen";
    EXPECT_NE(Find(Body()->Namespace(), "int"), nullptr) << "and the standard types";
    EXPECT_EQ(Find(Body()->Namespace(), "Result"), nullptr);
}

TEST_F(RoutineBody, SavedAndLoadedKeepsItsLocalDeclarationsInTheirScope) {
    AppendNamed<TElement_TestDeclaration>(Body(), QStringLiteral("Index"));
    const QString text = SchemeText(m_scheme.get());
    auto loaded = MakeTestProgramScheme();
    LoadSchemeKnot(loaded.get(), KnotFromText(text).get());
    EXPECT_EQ(SchemeText(loaded.get()), text);
    TNamespace* general = ProgramRootOf(loaded.get())->GeneralNamespace();
    EXPECT_EQ(Find(general, "Index"), nullptr);
    auto* routine = dynamic_cast<TElement_TestRoutine*>(Find(general, "Run")->GetElement());
    ASSERT_NE(routine, nullptr);
    EXPECT_NE(Find(routine->Body()->Namespace(), "Index"), nullptr);
}

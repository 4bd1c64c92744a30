// The node base: entry kinds, declarations sections, comments, creation.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

TEST(PascalDeclarations, ConstConstTypeVarShareHeadersAndSeparateSections) {
    auto unit = CreatePascalUnit(QStringLiteral("DeclSections"));
    TPascalDeclarations* d = unit->ImplementationClause->Declarations;
    AddConstant(d, QStringLiteral("A"), QStringLiteral("1"));
    AddConstant(d, QStringLiteral("B"), QStringLiteral("2"));
    AddTypeAlias(d, QStringLiteral("T"), QStringLiteral("Integer"));
    AddVariable(d, QStringLiteral("V"), QStringLiteral("T"));
    TFpcHarness fpc;
    EXPECT_EQ(fpc.AddUnit(unit.get()), Lines({"unit DeclSections;", "", "interface", "", "implementation", "",
                                                      "const", "  A = 1;", "  B = 2;", "", "type", "  T = Integer;", "",
                                                      "var", "  V: T;", "", "end."}));
    EXPECT_COMPILES(fpc);
}

TEST(PascalDeclarations, TypesAreSpacedConstantsAreNot) {
    auto d = CreateRootNode<TPascalDeclarations>();
    d->HeaderKinds = PascalKinds({1, 2, 3});
    AddConstant(d.get(), QStringLiteral("A"), QStringLiteral("1"));
    AddConstant(d.get(), QStringLiteral("B"), QStringLiteral("2"));
    AddTypeAlias(d.get(), QStringLiteral("T"), QStringLiteral("Integer"));
    AddTypeAlias(d.get(), QStringLiteral("U"), QStringLiteral("Byte"));
    EXPECT_EQ(WriteToText(d.get()), Lines({"const", "A = 1;", "B = 2;", "type", "T = Integer;", "", "U = Byte;"}));
}

TEST(PascalDeclarations, FreeCommentClosesTheSectionAndTheNextEntryReopensIt) {
    auto unit = CreatePascalUnit(QStringLiteral("DeclComment"));
    TPascalDeclarations* d = unit->ImplementationClause->Declarations;
    AddVariable(d, QStringLiteral("V1"), QStringLiteral("Integer"));
    AddComment(d, QStringLiteral("between"));
    AddVariable(d, QStringLiteral("V2"), QStringLiteral("Integer"));
    TFpcHarness fpc;
    EXPECT_EQ(fpc.AddUnit(unit.get()), Lines({"unit DeclComment;", "", "interface", "", "implementation", "",
                                                      "var", "  V1: Integer;", "{ between }", "var",
                                                      "  V2: Integer;", "", "end."}));
    EXPECT_COMPILES(fpc);
}

TEST(PascalDeclarations, AttachedCommentsStayInTheirEntrysSection) {
    auto d = CreateRootNode<TPascalDeclarations>();
    d->HeaderKinds = PascalKinds({1, 2, 3});
    d->IndentKinds = PascalKinds({1, 2, 3});
    AddConstant(d.get(), QStringLiteral("A"), QStringLiteral("1"));
    AddComment(d.get(), QStringLiteral("after A"))->Attachment = TPascalComment::ToPrevious;
    AddComment(d.get(), QStringLiteral("before V"))->Attachment = TPascalComment::ToNext;
    AddVariable(d.get(), QStringLiteral("V"), QStringLiteral("Integer"));
    EXPECT_EQ(WriteToText(d.get()),
              Lines({"const", "  A = 1;", "  { after A }", "var", "  { before V }", "  V: Integer;"}));
}

TEST(PascalDeclarations, GetEntryKindTable) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalNode* c = AddConstant(d.get(), QStringLiteral("C"), QStringLiteral("1"));
    TPascalNode* t = AddTypeAlias(d.get(), QStringLiteral("T"), QStringLiteral("Byte"));
    TPascalNode* v = AddVariable(d.get(), QStringLiteral("V"), QStringLiteral("Byte"));
    TPascalNode* m = AddMethodDeclaration(d.get(), mkProcedure, QStringLiteral("P"));
    TPascalComment* toPrevious = AddComment(d.get(), QStringLiteral("x"));
    toPrevious->Attachment = TPascalComment::ToPrevious;
    TPascalComment* toNext = AddComment(d.get(), QStringLiteral("y"), c);
    toNext->Attachment = TPascalComment::ToNext;
    TPascalComment* lonelyPrevious = AddComment(d.get(), QStringLiteral("z"), toNext);
    lonelyPrevious->Attachment = TPascalComment::ToPrevious;
    TPascalNode* ifDef = CreateNode<TPascalIfDef>(d.get());
    TPascalComment* free = AddComment(d.get(), QStringLiteral("w"));

    const std::pair<TPascalNode*, int> table[] = {{c, 1}, {t, 2}, {v, 3}, {m, 4}, {toPrevious, 4}, {toNext, 1},
                                                  {lonelyPrevious, 0}, {ifDef, 4}, {free, 0}, {nullptr, 0}};
    for (const auto& [node, kind] : table) EXPECT_EQ(GetEntryKind(node), kind);
}

TEST(PascalNode, BaseWriteNeedsAFloatingFirstChild) {
    auto fixedFirst = CreateRootNode<TPascalNode>();
    CreateNode<TPascalExpression>(fixedFirst.get())->AddText(QStringLiteral("X"));
    AddComment(fixedFirst.get(), QStringLiteral("never"));
    EXPECT_EQ(WriteToText(fixedFirst.get()), QString());

    auto floatingFirst = CreateRootNode<TPascalNode>();
    AddComment(floatingFirst.get(), QStringLiteral("one"));
    AddComment(floatingFirst.get(), QStringLiteral("two"));
    EXPECT_EQ(WriteToText(floatingFirst.get()), Lines({"{ one }", "{ two }"}));
}

TEST(PascalNode, CreateNodeByClassReferenceRunsCreateAndInsertsBefore) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalNode* last = list->AddText(QStringLiteral("Last"));
    TPascalNode* let = CreateNode(list.get(), TPascalLet::StaticClass(), last);
    ASSERT_EQ(let->NodeKind(), TPascalKind::Let);
    EXPECT_EQ(list->First(), let);
    EXPECT_NE(static_cast<TPascalLet*>(let)->Target, nullptr);
    EXPECT_EQ(static_cast<TPascalLet*>(let)->Target->Mode, pkOut);
    EXPECT_THROW(CreateNode(list.get(), TNode::StaticClass()), Exception);
}

TEST(PascalNode, FindFloatingAncestorStartsAtTheNodeItself) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalLet* let = list->AddLet();
    auto* item = let->Value->AddInteger(1);
    EXPECT_EQ(FindFloatingAncestor(item), item);
    EXPECT_EQ(FindFloatingAncestor(let->Value), let);
    EXPECT_EQ(FindFloatingAncestor(list.get()), nullptr);
}

TEST(PascalNode, FloatingFlagsOfTheClassTree) {
    auto method = CreateRootNode<TPascalMethodWithImplementation>();
    EXPECT_FALSE(method->ResultVariable->IsFloating());
    EXPECT_TRUE(method->IsFloating());
    EXPECT_FALSE(method->Body->IsFloating());
    EXPECT_FALSE(method->Head->IsFloating());
    EXPECT_EQ(method->ResultVariable->Name, QStringLiteral("Result"));
    EXPECT_STREQ(method->ClassType()->ClassName(), "TPascalMethodWithImplementation");
}

TEST(PascalDeclarations, FindNamedIsExact) {
    auto d = CreateRootNode<TPascalDeclarations>();
    AddComment(d.get(), QStringLiteral("c"));
    TPascalNamedNode* v = AddVariable(d.get(), QStringLiteral("Value"), QStringLiteral("Byte"));
    EXPECT_EQ(d->FindNamed(QStringLiteral("Value")), v);
    EXPECT_EQ(d->FindNamed(QStringLiteral("value")), nullptr);
}

}  // namespace

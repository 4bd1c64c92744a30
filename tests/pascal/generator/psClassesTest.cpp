// The node base: entry kinds, declarations sections, comments, creation.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

// One "const" header for two constants (not spaced), then "type" (two types
// spaced) and "var", sections apart; a free comment closes the "var" section and the next variable opens
// another.
TEST(PascalDeclarations, SectionHeadersSpacingAndAFreeComment) {
    auto unit = CreatePascalUnit(QStringLiteral("DeclSections"));
    TPascalDeclarations* d = unit->ImplementationClause->Declarations;
    AddConstant(d, QStringLiteral("A"), QStringLiteral("1"));
    AddConstant(d, QStringLiteral("B"), QStringLiteral("2"));
    AddTypeAlias(d, QStringLiteral("T"), QStringLiteral("Integer"));
    AddTypeAlias(d, QStringLiteral("U"), QStringLiteral("Byte"));
    AddVariable(d, QStringLiteral("V1"), QStringLiteral("T"));
    AddComment(d, QStringLiteral("between"));
    AddVariable(d, QStringLiteral("V2"), QStringLiteral("Integer"));
    TFpcHarness fpc;
    EXPECT_EQ(fpc.AddUnit(unit.get()),
              Lines({"unit DeclSections;", "", "interface", "", "implementation", "", "const", "  A = 1;", "  B = 2;",
                     "", "type", "  T = Integer;", "", "  U = Byte;", "", "var", "  V1: T;", "{ between }", "var", "  V2: Integer;", "",
                     "end."}));
    EXPECT_COMPILES(fpc);
}

TEST(PascalDeclarations, AttachedCommentsStayInTheirEntrysSection) {
    auto d = CreateRootNode<TPascalDeclarations>();
    d->HeaderKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var};
    d->IndentKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var};
    AddConstant(d.get(), QStringLiteral("A"), QStringLiteral("1"));
    AddComment(d.get(), QStringLiteral("after A"))->Attachment = TPascalCommentAttachment::ToPrevious;
    AddComment(d.get(), QStringLiteral("before V"))->Attachment = TPascalCommentAttachment::ToNext;
    AddVariable(d.get(), QStringLiteral("V"), QStringLiteral("Integer"));
    EXPECT_EQ(WriteToText(d.get()),
              Lines({"const", "  A = 1;", "  { after A }", "var", "  { before V }", "  V: Integer;"}));
}

TEST(PascalDeclarations, GetEntryKindTable) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalNode* c = AddConstant(d.get(), QStringLiteral("C"), QStringLiteral("1"));
    TPascalNode* t = AddTypeAlias(d.get(), QStringLiteral("T"), QStringLiteral("Byte"));
    TPascalNode* v = AddVariable(d.get(), QStringLiteral("V"), QStringLiteral("Byte"));
    TPascalNode* m = AddMethodDeclaration(d.get(), TPascalMethodKind::Procedure, QStringLiteral("P"));
    TPascalComment* toPrevious = AddComment(d.get(), QStringLiteral("x"));
    toPrevious->Attachment = TPascalCommentAttachment::ToPrevious;
    TPascalComment* toNext = AddComment(d.get(), QStringLiteral("y"), c);
    toNext->Attachment = TPascalCommentAttachment::ToNext;
    TPascalComment* lonelyPrevious = AddComment(d.get(), QStringLiteral("z"), toNext);
    lonelyPrevious->Attachment = TPascalCommentAttachment::ToPrevious;
    TPascalNode* ifDef = CreateNode<TPascalIfDef>(d.get());
    TPascalComment* free = AddComment(d.get(), QStringLiteral("w"));

    using K = TPascalEntryKind;
    const std::pair<TPascalNode*, K> table[] = {{c, K::Const}, {t, K::Type}, {v, K::Var}, {m, K::Other},
                                                {toPrevious, K::Other}, {toNext, K::Const}, {lonelyPrevious, K::None},
                                                {ifDef, K::Other}, {free, K::None}, {nullptr, K::None}};
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
    EXPECT_EQ(static_cast<TPascalLet*>(let)->Target->Mode, TPascalParamKind::Out);
    EXPECT_THROW(CreateNode(list.get(), TNode::StaticClass()), Exception);
}

}  // namespace

// The node base: entry kinds, declarations sections, comments, creation.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

using enum TPascalEntryKind;

// One "const" header for two constants (not spaced), then "type" (two types
// spaced) and "var", sections apart; a free comment closes the "var" section
// and the next variable opens another.
TEST(PascalDeclarations, SectionHeadersSpacingAndAFreeComment) {
    auto unit = CreatePascalUnit(S("DeclSections"));
    TPascalDeclarations* d = unit->ImplementationClause->Declarations;
    AddConstant(d, S("A"), S("1"));
    AddConstant(d, S("B"), S("2"));
    AddTypeAlias(d, S("T"), S("Integer"));
    AddTypeAlias(d, S("U"), S("Byte"));
    AddVariable(d, S("V1"), S("T"));
    AddComment(d, S("between"));
    AddVariable(d, S("V2"), S("Integer"));
    EXPECT_EQ(CompiledUnit(unit.get()),
              Lines({"unit DeclSections;", "", "interface", "", "implementation", "", "const", "  A = 1;", "  B = 2;",
                     "", "type", "  T = Integer;", "", "  U = Byte;", "", "var", "  V1: T;", "{ between }", "var",
                     "  V2: Integer;", "", "end."}));
}

TEST(PascalDeclarations, AttachedCommentsStayInTheirEntrysSection) {
    auto d = CreateRootNode<TPascalDeclarations>();
    d->HeaderKinds = d->IndentKinds = {Const, Type, Var};
    AddConstant(d.get(), S("A"), S("1"));
    AddComment(d.get(), S("after A"))->Attachment = TPascalCommentAttachment::ToPrevious;
    AddComment(d.get(), S("before V"))->Attachment = TPascalCommentAttachment::ToNext;
    AddVariable(d.get(), S("V"), S("Integer"));
    EXPECT_EQ(WriteToText(d.get()),
              Lines({"const", "  A = 1;", "  { after A }", "var", "  { before V }", "  V: Integer;"}));
}

TEST(PascalDeclarations, GetEntryKindTable) {
    auto d = CreateRootNode<TPascalDeclarations>();
    auto comment = [&](TPascalCommentAttachment attachment, TNode* before = nullptr) {
        TPascalComment* c = AddComment(d.get(), S("c"), before);
        c->Attachment = attachment;
        return c;
    };
    TPascalNode* c = AddConstant(d.get(), S("C"), S("1"));
    TPascalNode* t = AddTypeAlias(d.get(), S("T"), S("Byte"));
    TPascalNode* v = AddVariable(d.get(), S("V"), S("Byte"));
    TPascalNode* m = AddMethodDeclaration(d.get(), TPascalMethodKind::Procedure, S("P"));
    TPascalNode* toPrevious = comment(TPascalCommentAttachment::ToPrevious);
    TPascalNode* toNext = comment(TPascalCommentAttachment::ToNext, c);
    TPascalNode* lonelyPrevious = comment(TPascalCommentAttachment::ToPrevious, toNext);
    TPascalNode* ifDef = CreateNode<TPascalIfDef>(d.get());
    TPascalNode* free = comment(TPascalCommentAttachment::Free);
    const std::pair<TPascalNode*, TPascalEntryKind> table[] = {
        {c, Const},  {t, Type},        {v, Var},  {m, Other},           {toPrevious, Other},
        {toNext, Const}, {lonelyPrevious, None}, {ifDef, Other}, {free, None}, {nullptr, None}};
    for (const auto& [node, kind] : table) EXPECT_EQ(GetEntryKind(node), kind);
}

TEST(PascalNode, CreateNodeByClassReferenceRunsCreateAndInsertsBefore) {
    auto list = CreateRootNode<TPascalCommands>();
    TPascalNode* last = list->AddText(S("Last"));
    auto* let = PascalAs<TPascalLet>(CreateNode(list.get(), TPascalLet::StaticClass(), last));
    ASSERT_NE(let, nullptr);
    EXPECT_EQ(list->First(), let);
    EXPECT_EQ(let->Target->Mode, TPascalParamKind::Out);
    EXPECT_THROW(CreateNode(list.get(), TNode::StaticClass()), Exception);
}

}  // namespace

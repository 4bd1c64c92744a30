// The node base: entry kinds, declarations sections, comments, creation.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

using enum TPascalEntryKind;

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

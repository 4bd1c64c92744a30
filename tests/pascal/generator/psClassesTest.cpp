// The node base: creation by class reference.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

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

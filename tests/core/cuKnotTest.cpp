// The knot tree: structure, lookup, read marks, typed values and reports.

#include "core/cuKnot.h"

#include <gtest/gtest.h>

namespace {

TEST(KnotWriter, DesignExampleWithMarkAndCrLf) {
    auto root = TKnot::Create(QStringLiteral("Settings"));
    root->WriteStr(QStringLiteral("Lang"), QStringLiteral("en"));
    TKnot* window = root->AddChild(QStringLiteral("Window"));
    window->WriteInt(QStringLiteral("Left"), 10);
    window->WriteStr(QStringLiteral("Title"), QStringLiteral("a \"b\""));
    EXPECT_EQ(root->SaveToBytes(TKnotEncoding::Utf8),
              QByteArray("\xEF\xBB\xBF<Settings Lang=\"en\">\r\n\t<Window Left=\"10\" Title=\"a &quot;b&quot;\"/>\r\n"
                         "</Settings>\r\n"));
    auto back = TKnot::Create();
    ASSERT_TRUE(back->LoadFromBytes(root->SaveToBytes(TKnotEncoding::Utf8)));
    EXPECT_EQ(back->SaveToString(), root->SaveToString());
}

}  // namespace

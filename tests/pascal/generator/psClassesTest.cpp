// The memory of code trees: nodes made under a root live in its arena, are
// ended exactly once (freed early or with the root), and never join a tree
// whose memory is another's. Names compared and hashed as Pascal compares
// them.

#include "psTestSupport.h"

#include "pascal/generator/psCommands.h"

#include <QSet>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A node that counts its ends.
class TCountedNode : public TPascalFloatingNode {
public:
    static inline int Ended = 0;
    ~TCountedNode() override { ++Ended; }
    // A text of its own (not shared with a literal), so that a node never
    // ended leaves its text behind for the leak checker.
    QString Text = QString::number(Ended) + u" of its own"_s;
};

class PascalNodeArena : public ::testing::Test {
protected:
    void SetUp() override { TCountedNode::Ended = 0; }
};

// More nodes than one block of the arena holds, some freed before the root:
// each is ended once, the early ones when freed, all the others with it.
TEST_F(PascalNodeArena, EveryNodeEndsOnceWhetherFreedEarlyOrWithItsRoot) {
    constexpr int kNodes = 5000;
    auto root = CreateRootNode<TPascalDeclarations>();
    ASSERT_NE(root->Arena(), nullptr);
    std::vector<TCountedNode*> made;
    for (int i = 0; i < kNodes; ++i) {
        // Every tenth node holds the next one, so that subtrees are freed too.
        TPascalNode* owner = i % 10 == 1 ? static_cast<TPascalNode*>(made.back()) : root.get();
        made.push_back(CreateNode<TCountedNode>(owner));
        EXPECT_EQ(made.back()->Arena(), root->Arena());
    }
    int freed = 0;
    for (int i = 0; i < kNodes; i += 100) {
        made[size_t(i)]->Free();  // with the node i + 1 it holds
        freed += 2;
    }
    EXPECT_EQ(TCountedNode::Ended, freed);
    root.reset();
    EXPECT_EQ(TCountedNode::Ended, kNodes);
}

// A node may move within its tree, but not into another tree (nor under a
// node made on its own): it would outlive the memory it lies in. Nodes made
// on their own may join a tree and are freed with it.
TEST_F(PascalNodeArena, NodesMoveWithinTheirTreeOnly) {
    auto first = CreateRootNode<TPascalCommands>();
    auto second = CreateRootNode<TPascalCommands>();
    EXPECT_NE(first->Arena(), second->Arena());
    auto* node = CreateNode<TCountedNode>(first.get());
    auto* sibling = CreateNode<TCountedNode>(first.get());

    EXPECT_THROW(node->SetParent(second.get()), Exception);
    EXPECT_EQ(node->Parent(), first.get());
    TNodePtr<TCountedNode> alone(CreateNode<TCountedNode>(nullptr));
    EXPECT_EQ(alone->Arena(), nullptr);
    EXPECT_THROW(node->SetParent(alone.get()), Exception);
    EXPECT_THROW(second->SetParent(first.get()), Exception);

    node->SetParentBefore(first.get(), nullptr);
    EXPECT_EQ(first->First(), sibling);
    EXPECT_EQ(first->Last(), node);
    alone.release()->SetParent(node);
    EXPECT_EQ(TCountedNode::Ended, 0);
    first.reset();
    EXPECT_EQ(TCountedNode::Ended, 3);
    second.reset();
    EXPECT_EQ(TCountedNode::Ended, 3);
}

// A subtree freed early ends its arena nodes in place without unlinking them;
// nodes made on their own among them (with children of their own) leave
// first, and the subtree's former siblings stay linked as they were.
TEST_F(PascalNodeArena, ASubtreeFreedEarlyEndsMixedChildrenAndKeepsItsSiblings) {
    auto root = CreateRootNode<TPascalCommands>();
    auto* before = CreateNode<TCountedNode>(root.get());
    auto* subtree = CreateNode<TCountedNode>(root.get());
    auto* after = CreateNode<TCountedNode>(root.get());
    CreateNode<TCountedNode>(CreateNode<TCountedNode>(subtree));
    TNodePtr<TCountedNode> alone(CreateNode<TCountedNode>(nullptr));
    CreateNode<TCountedNode>(alone.get());
    CreateNode<TCountedNode>(alone.get());
    alone.release()->SetParent(subtree);
    CreateNode<TCountedNode>(subtree);

    subtree->Free();
    EXPECT_EQ(TCountedNode::Ended, 7);
    EXPECT_EQ(root->First(), before);
    EXPECT_EQ(before->Next(), after);
    EXPECT_EQ(after->Prev(), before);
    EXPECT_EQ(root->Last(), after);
    root.reset();
    EXPECT_EQ(TCountedNode::Ended, 9);
}

}  // namespace

namespace {

// Pascal compares identifiers without the case of ASCII letters only; equal
// names share a hash, whether held as a string or viewed in a longer text.
TEST(PascalNames, SameNameAndHashIgnoreTheCaseOfAsciiLettersOnly) {
    struct TRow {
        const char16_t* A;
        const char16_t* B;
        bool Same;
    };
    const TRow rows[] = {
        {u"Total", u"total", true},  {u"TOTAL_1", u"total_1", true}, {u"", u"", true},
        {u"Total", u"Totals", false}, {u"I", u"J", false},            {u"Ä", u"ä", false},
        {u"a_", u"A_", true},        {u"@X", u"@x", true},           {u"Z", u"z", true},
    };
    for (const TRow& row : rows) {
        const QString a = QString::fromUtf16(row.A);
        const QString b = QString::fromUtf16(row.B);
        EXPECT_EQ(PascalSameName(a, b), row.Same) << a.toStdString() << " " << b.toStdString();
        EXPECT_EQ(PascalSameName(a, b), PascalFoldName(a) == PascalFoldName(b)) << a.toStdString();
        if (row.Same) {
            EXPECT_EQ(PascalNameHash(a, 7), PascalNameHash(b, 7)) << a.toStdString();
            EXPECT_TRUE(TPascalName{a} == TPascalName{b});
        }
    }
    const QString text = u"x := Total + 1"_s;
    QSet<TPascalNameView> viewed = {{QStringView(text).sliced(5, 5)}};
    EXPECT_TRUE(viewed.contains({u"TOTAL"}));
    EXPECT_FALSE(viewed.contains({u"Tota"}));
    EXPECT_EQ(qHash(TPascalName{u"total"_s}, 3), qHash(TPascalNameView{QStringView(text).sliced(5, 5)}, 3));
}

}  // namespace

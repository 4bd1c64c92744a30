#include "support/testCaseRows.h"
#include "support/testCases.h"
#include "core/cuNode.h"
#include "support/testRaise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

// A node that writes every notification it receives into a shared log.
class TLogNode : public TNode {
    T_CLASS(TLogNode)
public:
    TLogNode() = default;
    TLogNode(QString name, QStringList* log, std::set<TLogNode*>* alive = nullptr)
        : name(std::move(name)), log(log), alive(alive) {
        if (alive) alive->insert(this);
    }

    QString name;
    QStringList* log = nullptr;
    std::set<TLogNode*>* alive = nullptr;
    bool refuseInserts = false;
    QString raiseOn;  // a notification (as logged) that raises after it is logged
    QList<int> handledMessages;  // messages HandleNodeMessage answers True to

    static QString NameOf(const TNode* n) { return n ? static_cast<const TLogNode*>(n)->name : QStringLiteral("nil"); }

    void BeforeDestruction() override { Log("BeforeDestruction"); }
    bool HandleNodeMessage(int msg, intptr_t, intptr_t) override {
        Log(QStringLiteral("Message %1").arg(msg));
        return handledMessages.contains(msg);
    }
    void ParentChanged() override { Log("ParentChanged"); }
    void ChildrenChanged() override { Log("ChildrenChanged"); }
    void ValidateInsert(TNode* child, TNode* before) override {
        Log("ValidateInsert " + NameOf(child) + " before " + NameOf(before));
        if (refuseInserts) throw Exception("refused");
    }
    void ParentChanging(TNode* newParent, TNode* before) override {
        Log("ParentChanging " + NameOf(newParent) + " before " + NameOf(before));
        TNode::ParentChanging(newParent, before);
    }

protected:
    ~TLogNode() override {
        Log("destroyed");
        if (alive) alive->erase(this);
    }

private:
    void Log(const QString& what) {
        if (log) log->append(name + ": " + what);
        if (what == raiseOn) throw Exception("raised on " + what);
    }
};
T_CLASS_IMPL(TLogNode, TNode)

class TSpecialNode : public TLogNode {
    T_CLASS(TSpecialNode)
public:
    using TLogNode::TLogNode;
};
T_CLASS_IMPL(TSpecialNode, TLogNode)

class IMarker {
public:
    virtual ~IMarker() = default;
};
class TMarkedNode : public TLogNode, public IMarker {
public:
    using TLogNode::TLogNode;
};

// Builds small named trees from a shape: "R(A(a1,a2,a3),B(b1))". Whatever is
// left without a parent at the end is freed.
class NodeTest : public ::testing::Test {
protected:
    QStringList log;
    std::set<TLogNode*> alive;
    std::map<QString, TLogNode*> byName;

    void TearDown() override { FreeAll(); }

    void FreeAll() {
        while (true) {
            auto root = std::find_if(alive.begin(), alive.end(), [](TLogNode* n) { return !n->Parent(); });
            if (root == alive.end()) break;
            (*root)->Free();
        }
        byName.clear();
        log.clear();
    }

    template <class T = TLogNode>
    T* Make(const QString& name, TNode* parent = nullptr) {
        T* n = MakeNode<T>(name, &log, &alive).release();
        byName[name] = n;
        if (parent) n->SetParent(parent);
        return n;
    }

    // Parses "R(A(a1,a2),B)" into a tree and returns its root.
    TLogNode* Tree(const QString& shape) {
        int at = 0;
        TLogNode* root = Parse(shape, at, nullptr);
        log.clear();
        return root;
    }
    TLogNode* N(const QString& name) { return byName.at(name); }

    // The subtree in pre-order as "R(A(a1,a2),B)" again; every child must
    // name its parent.
    static QString Shape(const TNode* n) {
        QString s = TLogNode::NameOf(n);
        if (!n->HasChildren()) return s;
        QStringList parts;
        for (TNode* c = n->FirstChild(); c; c = c->NextSibling()) {
            EXPECT_EQ(c->Parent(), n) << TLogNode::NameOf(c).toStdString();
            parts << Shape(c);
        }
        return s + "(" + parts.join(",") + ")";
    }

private:
    TLogNode* Parse(const QString& shape, int& at, TNode* parent) {
        QString name;
        while (at < shape.size() && shape[at].isLetterOrNumber()) name += shape[at++];
        TLogNode* node = Make(name, parent);
        if (at < shape.size() && shape[at] == '(') {
            do {
                ++at;
                Parse(shape, at, node);
            } while (shape[at] == ',');
            ++at;  // ')'
        }
        return node;
    }
};

// Moving

TEST_F(NodeTest, SetParentBeforeCallsInOrderAndMoves) {
    for (const QStringList& row : CaseRows("core/node-moves.txt", 8)) {
        SCOPED_TRACE(row[0].toStdString());
        FreeAll();
        TLogNode* root = Tree("R(A(a1,a2,a3),B(b1))");
        Make("X");
        log.clear();
        if (!row[7].isEmpty()) N(row[7])->refuseInserts = true;
        TNode* parent = row[2].isEmpty() ? nullptr : N(row[2]);
        TNode* before = row[3].isEmpty() ? nullptr : N(row[3]);
        const int error = row[6].isEmpty() ? -1 : row[6] == u"refused" ? 0 : StringIdByName(row[6]);
        EXPECT_EQ(RaisedId([&] { N(row[1])->SetParentBefore(parent, before); }), error);
        EXPECT_EQ(log, row[4].isEmpty() ? QStringList() : row[4].split(u'|'));
        EXPECT_EQ(Shape(root), row[5]);
    }
}

// Walks and messages

TEST_F(NodeTest, ForEachAndBroadcastVisitInTheOrderOfTheFlags) {
    TLogNode* p = Tree("P(n1(n11,n12),n2,n3)");
    const struct {
        bool selfFirst;
        bool recursive;
        QStringList order;
    } cases[] = {
        {true, true, {"P", "n1", "n11", "n12", "n2", "n3"}},
        {true, false, {"P", "n1", "n2", "n3"}},
        {false, true, {"n3", "n2", "n12", "n11", "n1", "P"}},
        {false, false, {"n3", "n2", "n1", "P"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order.join(u',').toStdString());
        QStringList visited;
        p->ForEach([&](TNode* n) { visited << TLogNode::NameOf(n); }, c.selfFirst, c.recursive);
        EXPECT_EQ(visited, c.order);
        log.clear();
        p->BroadcastNodeMessage(7, 0, 0, c.selfFirst, c.recursive);
        QStringList expected;
        for (const QString& name : c.order) expected << name + ": Message 7";
        EXPECT_EQ(log, expected);
    }
}

TEST_F(NodeTest, PreOrderWalksOneSubtreeAndSkipsChildrenOnRequest) {
    Tree("P(n1(n11,n12),n2(n21),n3)");
    QStringList subtree, skipping;
    for (TLogNode* n : PreOrder(N("n1"))) subtree << n->name;
    for (auto it = PreOrder(N("P")).begin(); it != std::default_sentinel;) {
        skipping << (*it)->name;
        if ((*it)->name == "n1")
            it.SkipChildren();
        else
            ++it;
    }
    EXPECT_EQ(subtree, QStringList({"n1", "n11", "n12"}));
    EXPECT_EQ(skipping, QStringList({"P", "n1", "n2", "n21", "n3"}));
}

// R and s1, s2 are special nodes, M is marked, the others plain log nodes.
TEST_F(NodeTest, ClassAndInterfaceLookupsAndCollectOfClass) {
    TLogNode* r = Make<TSpecialNode>("R");
    TLogNode* m = Make<TMarkedNode>("M", r);
    TLogNode* a = Make("A", m);
    TLogNode* s1 = Make<TSpecialNode>("s1", a);
    Make("b", a);
    Make<TSpecialNode>("s2", r);
    const TClass* special = TSpecialNode::StaticClass();
    EXPECT_EQ(s1->FindParentOfClass(special), r);
    EXPECT_EQ(s1->FindSelfOrParentOfClass(special), s1);
    EXPECT_EQ(r->FindParentOfClass(special), nullptr);
    EXPECT_EQ(s1->FindParentInterface<IMarker>(), dynamic_cast<IMarker*>(m));
    EXPECT_EQ(m->FindParentInterface<IMarker>(), nullptr);  // starts at the parent
    EXPECT_EQ(m->GetOnlyChildOfClass(TLogNode::StaticClass()), a);
    EXPECT_EQ(m->GetOnlyChildOfClass(special), nullptr);  // a TLogNode only
    EXPECT_EQ(a->GetOnlyChildOfClass(special), nullptr);  // not the only child

    auto collected = [](TNode* from, const TClass* cls, bool recursive, bool children) {
        QList<TNode*> list;
        if (children)
            from->CollectChildrenOfClass(list, cls, recursive);
        else
            from->CollectOfClass(list, cls, recursive);
        QStringList names;
        for (TNode* n : list) names << TLogNode::NameOf(n);
        return names;
    };
    EXPECT_EQ(collected(r, special, true, false), QStringList({"R", "s1", "s2"}));
    EXPECT_EQ(collected(r, special, false, false), QStringList({"R", "s2"}));
    EXPECT_EQ(collected(r, special, true, true), QStringList({"s1", "s2"}));
    // the parent class matches its descendants
    EXPECT_EQ(collected(r, TLogNode::StaticClass(), true, false), QStringList({"R", "M", "A", "s1", "b", "s2"}));
    EXPECT_EQ(collected(a, nullptr, false, true), QStringList({"s1", "b"}));
}

TEST_F(NodeTest, NodeMessagesReachTheirTargets) {
    Tree("R(A(a1))");
    N("a1")->handledMessages = {5};
    EXPECT_TRUE(N("a1")->SendNodeMessage(5));
    EXPECT_FALSE(N("a1")->SendNodeMessage(6));
    EXPECT_EQ(log, QStringList({"a1: Message 5", "a1: Message 6"}));
    log.clear();
    N("a1")->SendNodeMessageUp(5);  // goes on whatever each returns
    EXPECT_EQ(log, QStringList({"a1: Message 5", "A: Message 5", "R: Message 5"}));
}

// Queries

// Index, level, root and ancestry; the document-order queries agree with
// the pre-order, also after a move.
TEST_F(NodeTest, PositionQueriesAndTheDocumentOrder) {
    TLogNode* r = Tree("R(A(a1,a2(x)),B(b1,b2))");
    EXPECT_EQ(r->GetIndex(), -1);
    EXPECT_EQ(N("a2")->GetIndex(), 1);
    EXPECT_EQ(r->GetLevel(), 0);
    EXPECT_EQ(N("x")->GetLevel(), 3);
    EXPECT_EQ(N("x")->GetRoot(), r);
    EXPECT_EQ(r->GetRoot(), r);
    EXPECT_TRUE(r->IsAncestorOf(N("x")));
    EXPECT_FALSE(N("x")->IsAncestorOf(r));
    EXPECT_FALSE(r->IsAncestorOf(r));
    N("a2")->SetParentBefore(N("B"), N("b2"));
    const QStringList order = {"R", "A", "a1", "B", "b1", "a2", "x", "b2"};
    for (int i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(order[i].toStdString());
        const TNode* n = N(order[i]);
        EXPECT_EQ(n->GetAbsoluteIndex(), i);
        EXPECT_EQ(n->GetPreviousInOrder(), i == 0 ? nullptr : N(order[i - 1]));
        for (int j = 0; j < order.size(); ++j) EXPECT_EQ(TNode::IsBefore(n, N(order[j])), i < j) << j;
    }
    EXPECT_EQ(Shape(r), "R(A(a1),B(b1,a2(x),b2))");
}

// Destruction

TEST_F(NodeTest, FreeRunsBeforeDestructionFirstAndFreesChildrenLastFirst) {
    TLogNode* root = Tree("R(P(a(a1,a2),b))");
    N("P")->Free();
    // P leaves R with the full move sequence
    EXPECT_EQ(log.mid(0, 4), QStringList({"P: BeforeDestruction", "P: ParentChanging nil before nil",
                                          "P: ParentChanged", "R: ChildrenChanged"}));
    QStringList relevant;
    for (const QString& line : log)
        if (!line.contains("ParentChang")) relevant << line;
    EXPECT_EQ(relevant, QStringList({"P: BeforeDestruction", "R: ChildrenChanged",      // P leaves R
                                     "b: BeforeDestruction", "P: ChildrenChanged",      // b leaves P
                                     "b: destroyed",                                    //
                                     "a: BeforeDestruction", "P: ChildrenChanged",      // a leaves P
                                     "a2: BeforeDestruction", "a: ChildrenChanged",     //
                                     "a2: destroyed",                                   //
                                     "a1: BeforeDestruction", "a: ChildrenChanged",     //
                                     "a1: destroyed", "a: destroyed", "P: destroyed"}));
    EXPECT_FALSE(root->HasChildren());
}

// Regression: a node that raised from BeforeDestruction or from a
// notification of its detach stopped Free() half way, leaving the rest of the
// subtree allocated (and a raise from a TNodePtr's deleter ended the program).
// Freeing is the end of a node: it goes on, and the node leaves its parent.
TEST_F(NodeTest, FreeFinishesWhenANodeRaisesOnTheWay) {
    for (const char* raiseOn : {"BeforeDestruction", "ParentChanging nil before nil", "ParentChanged"}) {
        SCOPED_TRACE(raiseOn);
        TLogNode* root = Tree("R(P(a(a1),b))");
        for (const char* name : {"P", "a", "a1"}) N(name)->raiseOn = raiseOn;
        EXPECT_NO_THROW(N("P")->Free());
        EXPECT_FALSE(root->HasChildren());
        EXPECT_EQ(alive, std::set<TLogNode*>({root}));
        root->Free();
    }
    TNodePtr<TLogNode> owned = MakeNode<TLogNode>("O", &log, &alive);
    owned->raiseOn = "BeforeDestruction";
    owned.reset();  // the deleter runs from unique_ptr, which must not raise
    EXPECT_TRUE(alive.empty());
}

}  // namespace

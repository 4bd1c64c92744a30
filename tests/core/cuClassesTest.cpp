#include "core/cuClasses.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <memory>

namespace {

// A listener whose reaction to a broadcast is scripted per test.
struct Listener {
    QString name;
    QStringList* log;
    std::function<void()> onCall;
    void OnMessage(TItfObject*, int, intptr_t, intptr_t) {
        log->append(name);
        if (onCall) onCall();
    }
    THandler Handler() { return MakeHandler<&Listener::OnMessage>(this); }
};

class BroadcastWalk : public ::testing::Test {
protected:
    TItfObject source;
    QStringList log;
    std::vector<std::unique_ptr<Listener>> listeners;

    Listener& Add(const QString& name) {
        listeners.push_back(std::make_unique<Listener>(Listener{name, &log, {}}));
        source.AddHandler(listeners.back()->Handler());
        return *listeners.back();
    }
    void Remove(Listener& l) { source.RemoveHandler(l.Handler()); }
};

TEST_F(BroadcastWalk, CallsLastAddedFirst) {
    Add("A");
    Add("B");
    Add("C");
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"C", "B", "A"}));
}

TEST_F(BroadcastWalk, SelfRemovalAtEveryPositionCallsEveryoneOnce) {
    for (int victim = 0; victim < 3; ++victim) {
        log.clear();
        listeners.clear();
        TItfObject fresh;
        Listener* ls[3];
        for (int i = 0; i < 3; ++i) {
            listeners.push_back(std::make_unique<Listener>(Listener{QString(QChar('A' + i)), &log, {}}));
            ls[i] = listeners.back().get();
            fresh.AddHandler(ls[i]->Handler());
        }
        ls[victim]->onCall = [&, victim] { fresh.RemoveHandler(ls[victim]->Handler()); };
        fresh.Broadcast(1);
        EXPECT_EQ(log, QStringList({"C", "B", "A"})) << "victim " << victim;
        EXPECT_EQ(fresh.HandlerCount(), 2);
    }
}

TEST_F(BroadcastWalk, FirstCalledRemovesItselfAndAnotherFurtherDown) {
    Listener& a = Add("A");
    Add("B");
    Listener& c = Add("C");
    Listener& d = Add("D");
    d.onCall = [&] {
        Remove(d);
        Remove(a);
    };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"D", "C", "B"}));
    (void)c;
}

TEST_F(BroadcastWalk, RemovingALowerIndexGoesOnBelowTheCaller) {
    Add("A");
    Listener& b = Add("B");
    Listener& c = Add("C");
    Add("D");
    c.onCall = [&] { Remove(b); };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"D", "C", "A"}));
}

TEST_F(BroadcastWalk, RemovingAHigherIndexDoesNotRecallIt) {
    Add("A");
    Listener& b = Add("B");
    Listener& c = Add("C");
    b.onCall = [&] { Remove(c); };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"C", "B", "A"}));
}

TEST_F(BroadcastWalk, RemovingTheLastKeptHandlerWithItselfEndsTheWalk) {
    Add("A");
    Listener& b = Add("B");
    Listener& c = Add("C");
    b.onCall = [&] {
        Remove(b);
        Remove(c);  // c was the last kept handler
    };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"C", "B"}));
}

TEST_F(BroadcastWalk, AppendedHandlersAreNotCalled) {
    Listener& a = Add("A");
    Listener* late = nullptr;
    a.onCall = [&] { late = &Add("Late"); };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"A"}));
    ASSERT_NE(late, nullptr);
}

TEST_F(BroadcastWalk, AppendAfterSelfRemovalWithNothingKeptRestartsAtTheEnd) {
    Add("A");
    Listener& b = Add("B");
    b.onCall = [&] {
        Remove(b);
        Add("Late");
    };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"B", "Late", "A"}));
}

TEST_F(BroadcastWalk, DuplicatesAreCalledTwiceAndRemovedLastFirst) {
    Listener& a = Add("A");
    Add("B");
    source.AddHandler(a.Handler());
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"A", "B", "A"}));
    log.clear();
    Remove(a);
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"B", "A"}));
}

// A duplicated handler that removes itself: the walk must not confuse the two
// equal entries and skip another handler.
TEST_F(BroadcastWalk, DuplicatedHandlerRemovingItselfSkipsNobody) {
    Listener& a = Add("A");
    Add("B");
    source.AddHandler(a.Handler());
    bool removed = false;
    a.onCall = [&] {
        if (!removed) {
            removed = true;
            Remove(a);
        }
    };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"A", "B", "A"}));
}

// The first handler called removes itself and adds itself again: it is the
// same handler in a new entry, not a newcomer, so the walk must not start
// again at the end and call it forever.
TEST_F(BroadcastWalk, HandlerReaddingItselfFirstIsNotCalledAgain) {
    Add("A");
    Listener& b = Add("B");
    int calls = 0;
    b.onCall = [&] {
        if (++calls > 3) return;  // keeps a faulty walk from running forever
        Remove(b);
        source.AddHandler(b.Handler());
    };
    source.Broadcast(1);
    EXPECT_EQ(log, QStringList({"B", "A"}));
    EXPECT_EQ(source.HandlerCount(), 2);
}

TEST(BroadcastGuard, HandlerMayFreeTheBroadcastingObject) {
    auto* source = new TItfObject();
    QStringList log;
    Listener killer{"K", &log, [&] { delete source; }};
    Listener other{"O", &log, {}};
    source->AddHandler(other.Handler());
    source->AddHandler(killer.Handler());
    source->Broadcast(1);  // must not touch the freed list
    EXPECT_EQ(log, QStringList({"K"}));
}

// The object freed by a handler of an inner broadcast: every running walk
// over its list stops, the outer one included.
TEST(BroadcastGuard, FreeingDuringANestedBroadcastStopsEveryWalk) {
    auto* source = new TItfObject();
    QStringList log;
    int depth = 0;
    Listener nester{"N", &log, [&] {
                        if (++depth == 1)
                            source->Broadcast(2);
                        else
                            delete source;
                    }};
    Listener other{"O", &log, {}};
    source->AddHandler(other.Handler());
    source->AddHandler(nester.Handler());
    source->Broadcast(1);
    EXPECT_EQ(log, QStringList({"N", "N"}));
}

TEST(BroadcastGuard, ExceptionFromHandlerLeavesObjectUsable) {
    TItfObject source;
    QStringList log;
    Listener thrower{"T", &log, [] { throw Exception("boom"); }};
    source.AddHandler(thrower.Handler());
    EXPECT_THROW(source.Broadcast(1), Exception);
    source.RemoveHandler(thrower.Handler());
    EXPECT_EQ(source.HandlerCount(), 0);
}

TEST(ClassReference, InheritsFromWalksParents) {
    EXPECT_TRUE(TItfObject::StaticClass()->InheritsFrom(TItfObject::StaticClass()));
    EXPECT_FALSE(TItfObject::StaticClass()->InheritsFrom(nullptr));
    EXPECT_EQ(TItfObject::StaticClass()->Name(), "TItfObject");
    EXPECT_THROW(TItfObject::StaticClass()->NewInstance(), Exception);
}

// ---------------------------------------------------------------------------
// List algorithms over a plain record type.

struct Rec {
    int id;
    Rec* next = nullptr;
    Rec* prev = nullptr;
};

const auto kRecLinks = MakeBidiAccess([](Rec* r) { return r->next; }, [](Rec* r, Rec* v) { r->next = v; },
                                      [](Rec* r) { return r->prev; }, [](Rec* r, Rec* v) { r->prev = v; });
auto Next = [](Rec* r) { return r->next; };

std::vector<int> Ids(Rec* first) {
    std::vector<int> ids;
    for (; first; first = first->next) ids.push_back(first->id);
    return ids;
}

TEST(ListAlgorithms, BidirectionalInsertRemoveMove) {
    Rec a{1}, b{2}, c{3};
    Rec *first = nullptr, *last = nullptr;
    TBidirectionalList::Insert(first, last, &b, nullptr, kRecLinks);
    TBidirectionalList::Insert(first, last, &a, &b, kRecLinks);
    TBidirectionalList::Insert(first, last, &c, nullptr, kRecLinks);
    EXPECT_EQ(Ids(first), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(last, &c);
    TBidirectionalList::Move(first, last, &c, &a, kRecLinks);
    EXPECT_EQ(Ids(first), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(last, &b);
    TBidirectionalList::Remove(first, last, &b, kRecLinks);
    TBidirectionalList::Remove(first, last, &c, kRecLinks);
    EXPECT_EQ(first, &a);
    EXPECT_EQ(last, &a);
    TBidirectionalList::Remove(first, last, &a, kRecLinks);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(last, nullptr);
    EXPECT_EQ(a.next, nullptr);
    EXPECT_EQ(a.prev, nullptr);
}

TEST(ListAlgorithms, DirectionalQueries) {
    Rec a{1}, b{2}, c{3};
    a.next = &b;
    b.next = &c;
    EXPECT_EQ(TDirectionalList::Skip(Next, &a, 2), &c);
    EXPECT_EQ(TDirectionalList::Skip(Next, &a, 3), nullptr);
    EXPECT_EQ(TDirectionalList::Skip(Next, &b, -1), &b);
    EXPECT_EQ(TDirectionalList::IndexOf(Next, &a, 5, &c), 7);
    EXPECT_EQ(TDirectionalList::IndexOf(Next, &b, 0, &a), -1);
    EXPECT_FALSE(TDirectionalList::Follows(Next, &a, &a));
    EXPECT_TRUE(TDirectionalList::Follows(Next, &a, static_cast<Rec*>(nullptr)));
    EXPECT_TRUE(TDirectionalList::Follows(Next, &a, &c));
    EXPECT_FALSE(TDirectionalList::Follows(Next, &c, &a));
    EXPECT_EQ(TDirectionalList::Last(Next, &a), &c);
    EXPECT_EQ(TDirectionalList::Last(Next, static_cast<Rec*>(nullptr)), nullptr);
}

TEST(ListAlgorithms, UnidirectionalAppendRemoveAndClear) {
    Rec a{1}, b{2}, c{3};
    Rec* first = nullptr;
    auto setNext = [](Rec* r, Rec* v) { r->next = v; };
    TUnidirectionalList::Append(first, &b, Next, setNext);
    TUnidirectionalList::Append(first, &c, Next, setNext);
    TUnidirectionalList::InsertFirst(first, &a, setNext);
    EXPECT_EQ(Ids(first), (std::vector<int>{1, 2, 3}));
    TUnidirectionalList::Remove(first, &b, Next, setNext);
    EXPECT_EQ(Ids(first), (std::vector<int>{1, 3}));
    TUnidirectionalList::Remove(first, &a, Next, setNext);
    EXPECT_EQ(Ids(first), (std::vector<int>{3}));

    Rec* bf = nullptr;
    Rec* bl = nullptr;
    for (Rec* r : {&a, &b}) TBidirectionalList::Insert(bf, bl, r, nullptr, kRecLinks);
    std::vector<int> freed;
    TBidirectionalList::Clear(bf, bl, kRecLinks, [&](Rec* r) { freed.push_back(r->id); });
    EXPECT_EQ(freed, (std::vector<int>{1, 2}));
    EXPECT_EQ(bf, nullptr);
}

}  // namespace

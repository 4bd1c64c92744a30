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

class BroadcastWalk;

// One walk: listeners named by letters are added in order ("A" first), the
// script gives them their reactions, one broadcast runs.
struct WalkCase {
    const char* name;
    QString listeners;
    std::function<void(BroadcastWalk&)> script;
    QStringList expected;
    int handlersAfter;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class BroadcastWalk : public ::testing::TestWithParam<WalkCase> {
public:
    TItfObject source;
    QStringList log;
    std::vector<std::unique_ptr<Listener>> listeners;
    int calls = 0;

    Listener& Add(const QString& name) {
        listeners.push_back(std::make_unique<Listener>(Listener{name, &log, {}}));
        source.AddHandler(listeners.back()->Handler());
        return *listeners.back();
    }
    Listener& L(char name) { return *listeners[size_t(name - 'A')]; }
    void Remove(char name) { source.RemoveHandler(L(name).Handler()); }
};

TEST_P(BroadcastWalk, CallsEachKeptHandlerOnce) {
    const WalkCase& c = GetParam();
    for (QChar name : c.listeners) Add(name);
    c.script(*this);
    source.Broadcast(1);
    EXPECT_EQ(log, c.expected);
    EXPECT_EQ(source.HandlerCount(), c.handlersAfter);
}

void On(BroadcastWalk& w, char name, std::function<void()> reaction) { w.L(name).onCall = std::move(reaction); }

const WalkCase walkCases[] = {
    {"CallsLastAddedFirst", "ABC", [](BroadcastWalk&) {}, {"C", "B", "A"}, 3},
    {"DuplicatesAreCalledTwice", "AB", [](BroadcastWalk& w) { w.source.AddHandler(w.L('A').Handler()); },
     {"A", "B", "A"}, 3},
    {"RemovingADuplicateTakesTheLastAddedFirst", "AB",
     [](BroadcastWalk& w) {
         w.source.AddHandler(w.L('A').Handler());
         w.Remove('A');
     },
     {"B", "A"}, 2},
    {"SelfRemovalOfTheFirstCalled", "ABC", [](BroadcastWalk& w) { On(w, 'C', [&w] { w.Remove('C'); }); },
     {"C", "B", "A"}, 2},
    {"SelfRemovalInTheMiddle", "ABC", [](BroadcastWalk& w) { On(w, 'B', [&w] { w.Remove('B'); }); },
     {"C", "B", "A"}, 2},
    {"SelfRemovalOfTheLastCalled", "ABC", [](BroadcastWalk& w) { On(w, 'A', [&w] { w.Remove('A'); }); },
     {"C", "B", "A"}, 2},
    {"FirstCalledRemovesItselfAndAnotherFurtherDown", "ABCD",
     [](BroadcastWalk& w) {
         On(w, 'D', [&w] {
             w.Remove('D');
             w.Remove('A');
         });
     },
     {"D", "C", "B"}, 2},
    {"RemovingALowerIndexGoesOnBelowTheCaller", "ABCD",
     [](BroadcastWalk& w) { On(w, 'C', [&w] { w.Remove('B'); }); }, {"D", "C", "A"}, 3},
    {"RemovingAHigherIndexDoesNotRecallIt", "ABC", [](BroadcastWalk& w) { On(w, 'B', [&w] { w.Remove('C'); }); },
     {"C", "B", "A"}, 2},
    {"RemovingTheLastKeptHandlerWithItselfEndsTheWalk", "ABC",
     [](BroadcastWalk& w) {
         On(w, 'B', [&w] {
             w.Remove('B');
             w.Remove('C');  // C was the last kept handler
         });
     },
     {"C", "B"}, 1},
    {"AppendedHandlersAreNotCalled", "A", [](BroadcastWalk& w) { On(w, 'A', [&w] { w.Add("Late"); }); }, {"A"}, 2},
    {"AppendAfterSelfRemovalWithNothingKeptRestartsAtTheEnd", "AB",
     [](BroadcastWalk& w) {
         On(w, 'B', [&w] {
             w.Remove('B');
             w.Add("Late");
         });
     },
     {"B", "Late", "A"}, 2},
    // A duplicated handler that removes itself: the walk must not confuse the
    // two equal entries and skip another handler.
    {"DuplicatedHandlerRemovingItselfSkipsNobody", "AB",
     [](BroadcastWalk& w) {
         w.source.AddHandler(w.L('A').Handler());
         On(w, 'A', [&w] {
             if (w.calls++ == 0) w.Remove('A');
         });
     },
     {"A", "B", "A"}, 2},
    // The first handler called removes itself and adds itself again: the same
    // handler in a new entry, not a newcomer, so the walk must not start again
    // at the end and call it forever.
    {"HandlerReaddingItselfFirstIsNotCalledAgain", "AB",
     [](BroadcastWalk& w) {
         On(w, 'B', [&w] {
             if (++w.calls > 3) return;  // keeps a faulty walk from running forever
             w.Remove('B');
             w.source.AddHandler(w.L('B').Handler());
         });
     },
     {"B", "A"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Broadcast, BroadcastWalk, ::testing::ValuesIn(walkCases),
                         [](const auto& info) { return std::string(info.param.name); });

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

// FromId takes its text from whatever source is installed: the localisation
// unit's tables in the program, nothing (an empty text) without one.
TEST(ExceptionTextSource, FromIdUsesTheInstalledSourceAndKeepsTheId) {
    const Exception::TextSource joinArgs = [](int id, const QStringList& args) {
        return QString::number(id) + QLatin1Char(':') + args.join(QLatin1Char(','));
    };
    const Exception::TextSource previous = Exception::InstallTextSource(joinArgs);
    const Exception filled = Exception::FromId(7, {QStringLiteral("a"), QStringLiteral("b")});
    Exception::InstallTextSource(nullptr);
    const Exception bare = Exception::FromId(8);
    EXPECT_EQ(Exception::InstallTextSource(previous), nullptr);
    EXPECT_EQ(filled.Text(), QStringLiteral("7:a,b"));
    EXPECT_EQ(filled.Id(), 7);
    EXPECT_EQ(bare.Text(), QString());
    EXPECT_EQ(bare.Id(), 8);
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

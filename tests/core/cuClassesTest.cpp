#include "core/cuClasses.h"

#include "support/testCases.h"

#include <gtest/gtest.h>

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

// One broadcast over listeners named in a row of data/core/classes.txt.
struct TBroadcastWalk {
    TItfObject source;
    QStringList log;
    std::vector<std::unique_ptr<Listener>> listeners;

    Listener& Add(const QString& name) {
        listeners.push_back(std::make_unique<Listener>(Listener{name, &log, {}}));
        source.AddHandler(listeners.back()->Handler());
        return *listeners.back();
    }
    Listener& L(const QString& name) {
        for (const auto& l : listeners)
            if (l->name == name) return *l;
        return Add(name);
    }
    // "+X" adds X's handler again (a new listener for a longer name), "-X" removes it.
    void Run(const QString& actions) {
        for (const QString& action : actions.split(u' ', Qt::SkipEmptyParts)) {
            const QString name = action.mid(1);
            if (action.startsWith(u'-')) source.RemoveHandler(L(name).Handler());
            else if (name.size() == 1) source.AddHandler(L(name).Handler());
            else Add(name);
        }
    }
};

TEST(Broadcast, WalkCallsEachKeptHandlerOnce) {
    for (const CaseRow& c : LoadCases("core/classes.txt", "BroadcastWalk")) {
        SCOPED_TRACE(c.Text());
        TBroadcastWalk w;
        for (QChar name : c["Listeners"]) w.Add(name);
        w.Run(c["Before"]);
        int calls = 0;  // the reaction runs on the caller's first call only
        if (c.Has("Caller")) {
            w.L(c["Caller"]).onCall = [&w, &calls, does = c["Does"]] {
                if (++calls == 1) w.Run(does);
            };
        }
        w.source.Broadcast(1);
        EXPECT_EQ(w.log, BracketedList(c["Expected"]));
        EXPECT_EQ(w.source.HandlerCount(), c.Int("HandlersAfter"));
    }
}

// A handler may free the broadcasting object, also from an inner broadcast:
// every running walk over its list stops, the outer one included; a handler
// that raises leaves the object usable.
TEST(BroadcastGuard, HandlerMayFreeTheObjectOrRaise) {
    for (int nesting : {1, 2}) {
        SCOPED_TRACE(nesting);
        auto* source = new TItfObject();
        QStringList log;
        int depth = 0;
        Listener killer{"K", &log, [&] {
                            if (++depth < nesting) source->Broadcast(2);
                            else delete source;
                        }};
        Listener other{"O", &log, {}};
        source->AddHandler(other.Handler());
        source->AddHandler(killer.Handler());
        source->Broadcast(1);  // must not touch the freed list
        EXPECT_EQ(log, QStringList(nesting, QStringLiteral("K")));
    }
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
    EXPECT_EQ(Ids(first), (std::vector<int>{1}));
    TBidirectionalList::Remove(first, last, &a, kRecLinks);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(last, nullptr);
    EXPECT_EQ(a.prev, nullptr);
}

TEST(ListAlgorithms, DirectionalQueriesUnidirectionalAppendRemoveAndClear) {
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

    // Unidirectional lists append, insert first and remove.
    a.next = b.next = c.next = nullptr;
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

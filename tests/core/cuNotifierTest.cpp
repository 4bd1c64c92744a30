#include "core/cuNotifier.h"
#include "core/cuStringIds.h"
#include "support/testCases.h"
#include "support/testRaise.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A notification with a name, a scripted answer per waiting notification and
// a log of its questions and its end.
class TScriptedNotify : public TNotify {
public:
    TScriptedNotify(TNotifier* n, QString name, QStringList* log) : TNotify(n), name(std::move(name)), log(log) {}
    ~TScriptedNotify() override { log->append("freed " + name); }

    QString name;
    QStringList* log;
    std::map<QString, int> answers;  // by the waiting one's name; 0 when absent

    int Merge(TNotify* queued) override {
        const QString other = static_cast<TScriptedNotify*>(queued)->name;
        log->append(name + " asks " + other);
        auto it = answers.find(other);
        return it == answers.end() ? mrUnrelated : it->second;
    }
};

class TOtherFlagsNotify : public TFlagsNotify {
    T_CLASS(TOtherFlagsNotify)
public:
    using TFlagsNotify::TFlagsNotify;
};
T_CLASS_IMPL(TOtherFlagsNotify, TFlagsNotify)

QStringList QueueNames(const TNotifier& n) {
    QStringList names;
    for (TNotify* q = n.First(); q; q = q->Next()) names << static_cast<TScriptedNotify*>(q)->name;
    return names;
}

TEST(MergeProtocol, NewNotificationIsOfferedToTheWaitingOnesNewestFirst) {
    for (const CaseRow& c : LoadCases("core/notifier.txt", "MergeProtocol")) {
        SCOPED_TRACE(c.Text());
        QStringList log;
        {
            TNotifier notifier;
            notifier.Lock();
            for (const char* name : {"A", "B", "C"})
                TNotify::Post(std::make_unique<TScriptedNotify>(&notifier, name, &log));
            log.clear();
            auto n = std::make_unique<TScriptedNotify>(&notifier, "N", &log);
            for (const QString& answer : c["Answers"].split(u' ', Qt::SkipEmptyParts))
                n->answers[answer.section(u'=', 0, 0)] = answer.section(u'=', 1).toInt();
            TNotify::Post(std::move(n));
            EXPECT_EQ(log, BracketedList(c["Log"]));
            EXPECT_EQ(QueueNames(notifier), BracketedList(c["Queue"]));
            log.clear();
        }
        EXPECT_EQ(log.size(), BracketedList(c["Queue"]).size());  // the rest is freed with the notifier
    }
}

// Dispatch

struct Listener {
    QString name;
    QStringList* log;
    std::function<void(TNotifier*, TNotify*)> onCall;

    void OnNotify(TNotifier* sender, TNotify* first) {
        QString what = name + ":";
        if (!first) what += " nil";
        for (TNotify* n = first; n; n = n->Next()) what += QString(" %1").arg(static_cast<TFlagsNotify*>(n)->Flags());
        log->append(what);
        if (onCall && first) onCall(sender, first);  // the scripts live only as long as the test body
    }
    TNotifyListener Handle() { return MakeNotifyListener<&Listener::OnNotify>(this); }
};

class NotifierTest : public ::testing::Test {
protected:
    QStringList log;
    std::vector<std::unique_ptr<Listener>> listeners;
    std::unique_ptr<TNotifier> notifier = std::make_unique<TNotifier>();

    Listener& Listen(const QString& name) {
        listeners.push_back(std::make_unique<Listener>(Listener{name, &log, {}}));
        notifier->AddListener(listeners.back()->Handle());
        return *listeners.back();
    }
};

TEST_F(NotifierTest, PostingDispatchesAtOnceOrWhenUnlocked) {
    QStringList freed;
    TNotify::Post(std::make_unique<TScriptedNotify>(notifier.get(), "X", &freed));
    EXPECT_EQ(freed, QStringList({"freed X"})) << "without listeners: freed at once";
    Listen("L");
    const TClass* seen = nullptr;
    listeners[0]->onCall = [&](TNotifier*, TNotify* n) { seen = n->ClassType(); };
    notifier->PostFlags(3);
    EXPECT_EQ(seen, TFlagsNotify::StaticClass());
    notifier->PostFlags(12, TOtherFlagsNotify::StaticClass());
    EXPECT_EQ(seen, TOtherFlagsNotify::StaticClass());
    EXPECT_EQ(log, QStringList({"L: 3", "L: 12"}));
    // a class that is no flags notification is refused
    EXPECT_EQ(RaisedId([&] { notifier->PostFlags(1, TNotify::StaticClass()); }), strNotFlagsNotifyClass);
    log.clear();
    notifier->Lock();
    notifier->PostFlags(1);
    notifier->PostFlags(2, TOtherFlagsNotify::StaticClass());
    notifier->PostFlags(4);  // merges into the first one
    EXPECT_TRUE(log.isEmpty());
    notifier->Unlock();
    // the waiting batch, once: flags notifications merge only into exactly the
    // same class, in neither direction into a derived one
    EXPECT_EQ(log, QStringList({"L: 5 2"}));
    EXPECT_EQ(notifier->First(), nullptr);
}

// A repost from a listener gets a separate dispatch first. The listener walk
// is the handler walk (its removals during a walk are tested on broadcasts): a
// listener that takes itself out and puts itself back while it is called first
// is not called again.
TEST_F(NotifierTest, RepostAndReaddingFromAListener) {
    Listen("A");
    Listener& b = Listen("B");
    int calls = 0;
    b.onCall = [&](TNotifier* sender, TNotify*) {
        if (++calls == 1) sender->PostFlags(2);
    };
    notifier->PostFlags(1);
    EXPECT_EQ(log, QStringList({"B: 1", "B: 2", "A: 2", "A: 1"}));
    log.clear();
    calls = 0;
    b.onCall = [&](TNotifier* sender, TNotify*) {
        if (++calls > 3) return;  // keeps a faulty walk from running forever
        sender->RemoveListener(b.Handle());
        sender->AddListener(b.Handle());
    };
    notifier->PostFlags(1);
    EXPECT_EQ(log, QStringList({"B: 1", "A: 1"}));
}

// Destroyed, by its owner or by a listener during a dispatch: every listener
// is called with nil and what waits is freed.
TEST_F(NotifierTest, DestructionCallsEveryListenerWithNilAndFreesWhatWaits) {
    Listen("A");
    Listener& b = Listen("B");
    QStringList freed;
    notifier->Lock();
    TNotify::Post(std::make_unique<TScriptedNotify>(notifier.get(), "W", &freed));
    notifier.reset();
    EXPECT_EQ(log, QStringList({"B: nil", "A: nil"}));
    EXPECT_EQ(freed, QStringList({"freed W"}));
    SCOPED_TRACE("destroyed by a listener during a dispatch");
    log.clear();
    notifier = std::make_unique<TNotifier>();
    notifier->AddListener(listeners[0]->Handle());
    notifier->AddListener(b.Handle());
    b.onCall = [&](TNotifier*, TNotify*) { notifier.reset(); };
    notifier->PostFlags(1);  // the batch is still freed (leak check) and A is told of the end
    EXPECT_EQ(log, QStringList({"B: 1", "B: nil", "A: nil"}));
}

}  // namespace

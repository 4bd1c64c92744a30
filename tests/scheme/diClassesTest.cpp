#include "scheme/diClasses.h"

#include "core/cuStringIds.h"
#include "platform/plDialogs.h"
#include "support/testBroadcasts.h"
#include "support/testElements.h"
#include "support/testEnglish.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <set>

// Kinds that record what they saw while being made and checked.
class TElement_Probe : public TElement {
    T_ELEMENT_CLASS(TElement_Probe)
public:
    int32_t NumberInCreate = -1;
    TNode* ParentInCreate = reinterpret_cast<TNode*>(1);
    int Placements = 0;
    int PlacementsInCreate = -1;
    int ChildMessages = 0;
    int Swallowed = 0;  // the node message it takes from its children (-1: every one)
    bool* MarkedWhenFreed = nullptr;  // whether it knew it was being destroyed
    TElement* CheckOther = nullptr;  // checked from inside this element's check, in an update of its own
    void Create() override {
        NumberInCreate = Number();
        ParentInCreate = Parent();
        PlacementsInCreate = Placements;
    }
    void TreePlacementChanged() override { ++Placements; }
    void BeforeDestruction() override {
        TElement::BeforeDestruction();
        if (MarkedWhenFreed) *MarkedWhenFreed = IsBeingDestroyed();
    }
    bool HandleChildMessage(TElement*, int msg, intptr_t, intptr_t) override {
        ++ChildMessages;
        return Swallowed < 0 || msg == Swallowed;
    }
    bool GetIsFilled() override { return true; }
    void CheckContent() override {
        if (!CheckOther) return;
        Scheme()->BeginUpdate();
        CheckOther->Check();
        Scheme()->EndUpdate();
    }
    static bool ClassCanBePlacedIn(const TElementClass*, TElement* target) {
        return !dynamic_cast<TElement_TestLeaf*>(target);
    }
    // Exposed for the index tests.
    using TElement::SetNumber;
};
T_ELEMENT_CLASS_IMPL(TElement_Probe, TElement)

class TElement_ProbeChild : public TElement_Probe {
    T_ELEMENT_CLASS(TElement_ProbeChild)
};
T_ELEMENT_CLASS_IMPL(TElement_ProbeChild, TElement_Probe)

namespace {

// A test scheme and a shorthand for making elements in it.
class SchemeTest : public ::testing::Test {
protected:
    template <class T>
    T* Add(TElement* parent = nullptr) {
        return TElement::CreateIn<T>(scheme.get(), parent ? parent : scheme->Root());
    }
    std::unique_ptr<TScheme> scheme = MakeTestScheme();
};
using Elements = SchemeTest;
using SchemeIndex = SchemeTest;
using ElementCheck = SchemeTest;
using Scheme = SchemeTest;

TEST(ElementNumbers, FirstElementOfAProcessIsOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto scheme = MakeTestScheme();
            std::exit(scheme->Root()->Number() == 1 && LastElementNumber() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// One counter for every scheme; raising it is a maximum; an element without
// a scheme has number 0 (which no scheme answers: SchemeIndex asks for it).
TEST(ElementNumbers, InterleavedSchemesGetIncreasingNumbersAndRaiseIsAMaximum) {
    auto a = MakeTestScheme();
    auto b = MakeTestScheme();
    TElement* inA = TElement::CreateIn<TElement_TestLeaf>(a.get(), a->Root());
    EXPECT_GT(inA->Number(), b->Root()->Number());
    EXPECT_EQ(b->FindElement(inA->Number()), nullptr);
    const int32_t now = LastElementNumber();
    RaiseElementNumber(now + 480);
    EXPECT_EQ(TElement::CreateIn<TElement_TestLeaf>(b.get(), b->Root())->Number(), now + 481);
    RaiseElementNumber(now);  // below the counter: left alone
    EXPECT_EQ(TElement::CreateIn<TElement_TestLeaf>(a.get(), a->Root())->Number(), now + 482);
    TNodePtr<TElement> loose(TElement::CreateIn<TElement_TestLeaf>(nullptr, nullptr));
    EXPECT_EQ(loose->Number(), 0);
}

TEST_F(Elements, CreateInNumbersBeforeSetUpAndLinksAfterIt) {
    auto* probe = Add<TElement_Probe>();
    EXPECT_EQ(probe->NumberInCreate, probe->Number());
    EXPECT_EQ(probe->ParentInCreate, nullptr);
    EXPECT_EQ(probe->PlacementsInCreate, 0);
    EXPECT_EQ(probe->Placements, 1);
    auto* child = Add<TElement_ProbeChild>(probe);
    const int placed = child->Placements;
    probe->SetParentBefore(nullptr, nullptr);  // placement news reach the whole subtree
    EXPECT_GT(child->Placements, placed);
    child->SetParentBefore(scheme->Root(), nullptr);
    probe->SetParentBefore(scheme->Root(), child);
    EXPECT_EQ(scheme->Root()->FirstChild(), probe);
    EXPECT_EQ(scheme->Root()->LastChild(), child);
}

TEST_F(Elements, SubElementsAnswerTheirOwnerAndWriteTheirText) {
    auto* owner = Add<TElement_TestOwner>();
    EXPECT_EQ(owner->Second()->GetOwnerElement(), owner);
    EXPECT_EQ(owner->GetOwnerElement(), owner);
    QString text;
    owner->First()->SetValue("ab");
    owner->Second()->SetValue("cd");
    owner->WriteText(text);
    EXPECT_EQ(text, QStringLiteral("abcd"));
}

TEST_F(Elements, AcceptedClassesDropThoseThatCannotBePlaced) {
    auto* leaf = Add<TElement_TestLeaf>();
    EXPECT_TRUE(TElement_Probe::StaticClass()->CanBePlacedIn(scheme->Root()));
    EXPECT_FALSE(TElement_Probe::StaticClass()->CanBePlacedIn(leaf));
    EXPECT_FALSE(TElement_ProbeChild::StaticClass()->CanBePlacedIn(leaf)) << "inherited class operation";
    EXPECT_TRUE(TElement_TestLeaf::StaticClass()->CanBePlacedIn(leaf));
    TElementClassList list;
    scheme->Root()->GetAcceptedClasses(list);
    EXPECT_EQ(list.size(), 4);
}

TEST_F(Elements, ParentSeesNodeMessagesFirst) {
    auto* probe = Add<TElement_Probe>();
    auto* leaf = Add<TElement_TestLeaf>(probe);
    probe->ChildMessages = 0;
    probe->Swallowed = nmFilledChanged;
    leaf->SetValue("x");  // node messages 5, 6 and 7 to the leaf itself
    EXPECT_EQ(probe->ChildMessages, 3);
    EXPECT_TRUE(leaf->SendNodeMessage(nmFilledChanged));
    EXPECT_FALSE(leaf->SendNodeMessage(nmChanged));
}

// A required, validated sub-element is not checked while its owner goes;
// a child is marked even when its parent takes node message 3.
TEST_F(Elements, DestructionMarksTheSubtreeFirst) {
    auto* owner = Add<TElement_TestOwner>();
    owner->First()->SetRequired(true);
    owner->First()->SetOptions(owner->First()->Options() | eoValidated);
    const int before = scheme->ElementCount();
    owner->Free();
    EXPECT_EQ(scheme->ElementCount(), before - 3);

    auto* parent = Add<TElement_Probe>();
    auto* child = Add<TElement_Probe>(parent);
    parent->Swallowed = -1;
    bool marked = false;
    child->MarkedWhenFreed = &marked;
    parent->Free();
    EXPECT_TRUE(marked) << "a parent taking message 3 still leaves the child marked";
}

// FindElement must answer exactly what a walk over the registration order
// would: the first registered element with the number.
TEST_F(SchemeIndex, AnswersTheFirstRegisteredThroughRenumberingAndDeletion) {
    std::vector<TElement_Probe*> live;
    QRandomGenerator random(7);
    const int32_t base = LastElementNumber();
    for (int step = 0; step < 1500; ++step) {
        const int action = random.bounded(10);
        if (action < 5 || live.empty()) {
            live.push_back(Add<TElement_Probe>());
        } else if (action < 8) {
            // Renumber to small shared ranges (one of them negative, as a
            // snapshot may hold) so that numbers collide.
            const int32_t r = random.bounded(20);
            live[random.bounded(int(live.size()))]->SetNumber(random.bounded(2) ? base + 1 + r : -1 - r);
        } else {
            const int i = random.bounded(int(live.size()));
            live[i]->Free();
            live.erase(live.begin() + i);
        }
        if (step % 50 != 0 && step <= 1400) continue;
        for (int32_t n : {-21, -20, -1, 0, base + 1, base + 20, base + 21, LastElementNumber()}) {
            TElement* expected = nullptr;
            for (TElement* e = scheme->FirstRegistered(); e && !expected; e = TScheme::NextRegistered(e))
                if (e->Number() == n && n != 0) expected = e;
            ASSERT_EQ(scheme->FindElement(n), expected) << "step " << step << " number " << n;
        }
    }
    EXPECT_EQ(scheme->ElementCount(), int(live.size()) + 1);
}

// ForEachIndexed must reach every registered element once, those sharing a
// number included, and refuse (calling nothing) while an element numbered 0
// stands outside the index. Asked for one class, it reaches exactly the
// elements of that class, however numbers were shared, changed and freed
// (the index keeps the class of an element alone under its number).
TEST_F(SchemeIndex, ForEachIndexedReachesEveryRegisteredElementOnceOrRefuses) {
    std::vector<TElement_Probe*> live;
    QRandomGenerator random(11);
    const int32_t base = LastElementNumber();
    for (int step = 0; step < 1200; ++step) {
        const int action = random.bounded(10);
        if (action < 5 || live.empty()) {
            live.push_back(random.bounded(2) ? Add<TElement_Probe>() : Add<TElement_ProbeChild>());
        } else if (action < 8) {
            // Shared numbers, and now and then 0, which no index holds.
            const int32_t r = random.bounded(12);
            live[random.bounded(int(live.size()))]->SetNumber(r == 0 ? 0 : base + r);
        } else {
            const int i = random.bounded(int(live.size()));
            live[i]->Free();
            live.erase(live.begin() + i);
        }
        if (step % 40 != 0) continue;
        std::multiset<const TElement*> registered;
        std::multiset<const TElement*> children;
        bool unnumbered = false;
        for (TElement* e = scheme->FirstRegistered(); e; e = TScheme::NextRegistered(e)) {
            registered.insert(e);
            if (e->ClassType() == TElement_ProbeChild::StaticClass()) children.insert(e);
            unnumbered = unnumbered || e->Number() == 0;
        }
        std::multiset<const TElement*> reached;
        const bool answered = scheme->ForEachIndexed([&](TElement* e) { reached.insert(e); });
        ASSERT_EQ(answered, !unnumbered) << "step " << step;
        if (answered)
            ASSERT_EQ(reached, registered) << "step " << step;
        else
            ASSERT_TRUE(reached.empty()) << "step " << step;
        std::multiset<const TElement*> childrenReached;
        const auto isChild = [](const TClass* type) { return type == TElement_ProbeChild::StaticClass(); };
        ASSERT_EQ(scheme->ForEachIndexed(isChild, [&](TElement* e) { childrenReached.insert(e); }), answered);
        if (answered) {
            ASSERT_EQ(childrenReached, children) << "step " << step;
        }
    }
}

TEST_F(ElementCheck, RequiredEmptyElementGetsOneLinkMessageUntilFilled) {
    TEnglishTexts english;
    auto* leaf = Add<TElement_TestLeaf>();
    leaf->SetRequired(true);
    EXPECT_EQ(leaf->Messages(), nullptr) << "required alone does not check";
    leaf->SetOptions(leaf->Options() | eoValidated);
    leaf->Check();
    ASSERT_EQ(leaf->Messages()->GetCount(), 1);
    const TElementMessage* m = leaf->Messages()->GetItem(0);
    EXPECT_EQ(m->Kind(), mkValueRequired);
    EXPECT_EQ(m->Segment(1).Value, QString::number(leaf->Number()));
    EXPECT_FALSE(leaf->HasNoErrors());
    EXPECT_EQ(leaf->MessagesChangedCount, 1);

    leaf->SetValue("filled");
    EXPECT_EQ(leaf->Messages(), nullptr) << "an empty list is freed";
    EXPECT_EQ(leaf->MessagesChangedCount, 2);
    EXPECT_EQ(leaf->CheckContentCount, 1);

    leaf->SetValue("bad");  // CheckContent of a filled element adds its own
    ASSERT_NE(leaf->Messages(), nullptr);
    EXPECT_EQ(leaf->Messages()->GetItem(0)->Kind(), mkError);
}

// Leaves whose checks are logged by number.
class CheckQueue : public SchemeTest {
protected:
    TElement_TestLeaf* LoggedLeaf(const char* value = nullptr) {
        auto* leaf = Add<TElement_TestLeaf>();
        if (value) leaf->SetValue(value);
        leaf->CheckLog = &log;
        return leaf;
    }
    std::vector<int32_t> log;
};

// Checks asked inside an update run once each, in the order first asked, when
// the outermost update ends; an element destroyed meanwhile leaves the queue;
// a check asked while the queue runs is taken by the same run.
TEST_F(CheckQueue, ChecksInsideAnUpdateRunOnceInQueueOrder) {
    TElement_TestLeaf* leaves[4] = {LoggedLeaf("v"), LoggedLeaf("v"), LoggedLeaf("v"), LoggedLeaf("v")};
    scheme->BeginUpdate();
    scheme->BeginUpdate();
    for (int i = 0; i < 5; ++i) leaves[2]->Check();
    leaves[0]->Check();
    leaves[3]->SetValue("w");
    leaves[2]->Check();
    leaves[1]->Check();
    leaves[3]->Free();
    EXPECT_EQ(scheme->CheckQueueLength(), 3);
    scheme->EndUpdate();
    EXPECT_TRUE(log.empty()) << "an inner EndUpdate runs nothing";
    scheme->EndUpdate();
    EXPECT_EQ(log, std::vector<int32_t>({leaves[2]->Number(), leaves[0]->Number(), leaves[1]->Number()}));
    EXPECT_FALSE(leaves[2]->State() & esQueued);

    auto* probe = Add<TElement_Probe>();
    probe->CheckOther = leaves[0];
    log.clear();
    scheme->BeginUpdate();
    probe->CheckAll();
    scheme->EndUpdate();
    EXPECT_EQ(log, std::vector<int32_t>{leaves[0]->Number()});
    EXPECT_FALSE(leaves[0]->State() & esQueued);
}

TEST_F(ElementCheck, NumberChangeRewritesOwnLinks) {
    auto* probe = Add<TElement_Probe>();
    const QString old = QString::number(probe->Number());
    probe->GetMessages()->AddElementLinkMessage(mkWarning, "see [me]", old);
    probe->GetMessages()->AddElementLinkMessage(mkWarning, "see [other]", "999999999");
    probe->SetNumber(probe->Number() + 1000000);
    EXPECT_EQ(probe->Messages()->GetItem(0)->Segment(1).Value, QString::number(probe->Number()));
    EXPECT_EQ(probe->Messages()->GetItem(1)->Segment(1).Value, QStringLiteral("999999999"));
}

TEST_F(Scheme, FileNameAndReadOnlyBroadcastOnChange) {
    TBroadcastRecorder log(scheme.get());
    scheme->SetFileName("a.prm");
    scheme->SetFileName("a.prm");
    scheme->SetReadOnly(true);
    scheme->SetReadOnly(true);
    scheme->SetReadOnly(false);
    EXPECT_EQ(log.codes, std::vector<int>({scFileNameChanged, scReadOnlyChanged, scReadOnlyChanged}));
}

TEST_F(Scheme, LentListsAreBracketedAndOutliveItAndConnectedSchemesAreAskedOfTheOwner) {
    TElementMessages messages;
    {
        auto lender = MakeTestScheme();
        lender->BeginMessages();  // without a list: nothing
        lender->EndMessages();
        lender->SetMessages(&messages);
        EXPECT_EQ(lender->GetConnectedScheme("x.prm"), nullptr);
        lender->OnGetConnectedScheme = [&](TScheme* sender, const QString& name, TScheme*& out) {
            EXPECT_EQ(sender, lender.get());
            out = name == QLatin1String("x.prm") ? scheme.get() : nullptr;
        };
        EXPECT_EQ(lender->GetConnectedScheme("x.prm"), scheme.get());
        messages.AddTextMessage(mkHint, "old");
        lender->BeginMessages();  // clears the lent list
        messages.AddTextMessage(mkHint, "kept");
        lender->EndMessages();
        // Pending checks at destruction must not run against a dying tree.
        lender->BeginUpdate();
        TElement::CreateIn<TElement_TestLeaf>(lender.get(), lender->Root())->SetValue("x");
    }
    EXPECT_EQ(messages.GetCount(), 1);
}

TEST(FindData, MatchesWholeTextWithOptionalCaseAndReportsNotFoundInAnInformationBox) {
    EXPECT_TRUE(TFindData("Alpha").Matches(nullptr, "alpha"));
    EXPECT_FALSE(TFindData("Alpha", true).Matches(nullptr, "alpha"));
    EXPECT_FALSE(TFindData("Alpha").Matches(nullptr, "alphabet"));
    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller installed(&dialogs);
    TFindData("Alpha").ReportNotFound();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, QStringLiteral("Could not find \"Alpha\"."));
}

}  // namespace

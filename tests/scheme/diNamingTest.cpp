#include "scheme/diNaming.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "scheme/diFilers.h"
#include "scheme/diOperations.h"
#include "support/testNaming.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

namespace {

class NamingTest : public ::testing::Test {
protected:
    std::unique_ptr<TScheme> scheme = MakeScopeScheme();
    TElement_TestScope* root = static_cast<TElement_TestScope*>(scheme->Root());
};

// A target scope "T" and an owner scope "O" that connections link.
class NamingLinkTest : public NamingTest {
protected:
    TElement_TestScope* target = AddScope(root, QStringLiteral("T"));
    TElement_TestScope* owner = AddScope(root, QStringLiteral("O"));
};

QStringList Names(TNamespace* ns) {
    TNamespace::TNameList list;
    ns->GetNames(list, true, false);
    QStringList names;
    for (const auto& entry : list) names << entry.first;
    return names;
}

// What a scope sees: every visible name with the declaration it stands for.
QStringList Sight(TNamespace* ns) {
    TNamespace::TNameList list;
    ns->GetNames(list, true, false);
    QStringList sight;
    for (const auto& entry : list)
        sight << entry.first + QStringLiteral("=") +
                     static_cast<TElement_TestDecl*>(entry.second->GetOriginal()->GetElement())->Describe();
    return sight;
}

// ---------------------------------------------------------------------------
// Notifications

TEST_F(NamingTest, OwnItemNotificationsInOrder) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("A"));
    TNamingRecorder rec(ns);
    TElement_TestDecl* value = AddDecl(ns, QStringLiteral("Value"));
    TTestDeclItem* item = value->Item();
    item->NotifyChanged();
    item->NotifyImageChanged();  // no references: nothing
    item->NotifyTitleChanged();  // no references: nothing
    item->NotifyEnabledChanged();
    value->Rename(QStringLiteral("Total"));
    EXPECT_EQ(rec.Log, (QStringList{"101 Value", "103 Value", "106 Value", "108 Total"}));

    rec.Clear();
    TTestReference ref;
    ref.SetTarget(item);
    item->NotifyImageChanged();
    item->NotifyTitleChanged();
    const int32_t old = value->Number();
    value->Renumber(old + 100000);
    EXPECT_EQ(rec.Log, (QStringList{"104 Total", "107 Total", "102 Total " + QString::number(old)}));
    EXPECT_EQ(ns->FindItemByPath(QString::number(old + 100000)), item);
    EXPECT_EQ(ns->FindItemByPath(QString::number(old)), nullptr);

    rec.Clear();
    value->Free();
    EXPECT_EQ(rec.Log, (QStringList{"110 Total"}));
    EXPECT_EQ(ref.Target(), nullptr) << "a reference never outlives its item";
    EXPECT_EQ(ref.TargetChanges, 2);
}

TEST_F(NamingLinkTest, CoverNotificationsFollowTheTarget) {
    TElement_TestDecl* first = AddDecl(target, QStringLiteral("First"));
    TNamingRecorder rec(owner);
    TElement_TestLink* link = AddLink(owner, target);
    EXPECT_EQ(rec.Log, (QStringList{"101 First"}));

    rec.Clear();
    AddDecl(target, QStringLiteral("Second"));
    first->Rename(QStringLiteral("Primary"));
    first->Item()->NotifyEnabledChanged();
    first->Item()->NotifyChanged();
    EXPECT_EQ(rec.Log, (QStringList{"101 Second", "108 Primary", "106 Primary", "103 Primary"}));

    // Image and title go only to items with references; then the cover forwards them.
    rec.Clear();
    TTestReference ref;
    ref.SetTarget(link->FindCover(first->Item()));
    EXPECT_EQ(first->Item()->GetReferenceCount(), 1) << "the declaring item knows the reference";
    EXPECT_EQ(link->ReferenceCount(), 1);
    first->Item()->NotifyImageChanged();
    first->Item()->NotifyTitleChanged();
    const int32_t oldDecl = first->Number();
    first->Renumber(oldDecl + 200000);
    const int32_t oldLink = link->Number();
    link->Renumber(oldLink + 300000);
    const QString newDecl = QString::number(oldDecl + 200000);
    EXPECT_EQ(rec.Log, (QStringList{"104 Primary", "107 Primary",
                                    "102 Primary " + QString::number(oldLink) + "." + QString::number(oldDecl),
                                    "102 Primary " + QString::number(oldLink) + "." + newDecl,
                                    "102 Second " + QString::number(oldLink) + "." +
                                        target->FindItemByName("Second")->GetPath()}));

    rec.Clear();
    first->Free();
    EXPECT_EQ(rec.Log, (QStringList{"110 Primary"}));
    EXPECT_EQ(ref.Target(), nullptr);
    EXPECT_EQ(link->ReferenceCount(), 0);
}

TEST_F(NamingLinkTest, PrefixRenameAnnouncesEveryCover) {
    AddDecl(target, QStringLiteral("Name"));
    AddDecl(target, QStringLiteral("Other"));
    TElement_TestLink* link = AddLink(owner, target);
    TNamingRecorder rec(owner);
    link->SetPrefix(QStringLiteral("Base"));
    EXPECT_EQ(rec.Log, (QStringList{"108 Base.Name", "108 Base.Other"}));
    EXPECT_EQ(owner->FindItemByName(QStringLiteral("Name")), nullptr);
    ASSERT_NE(owner->FindItemByName(QStringLiteral("Base.Name")), nullptr);
    EXPECT_EQ(owner->FindItemByName(QStringLiteral("Base.Name"))->GetOriginal(), target->FindItemByName("Name"));
    EXPECT_TRUE(owner->IsNameTaken(QStringLiteral("base.other")));
    EXPECT_FALSE(owner->IsNameTaken(QStringLiteral("Other")));
}

TEST_F(NamingLinkTest, FilterRebuildsTheCovers) {
    AddDecl(target, QStringLiteral("Open"));
    AddDecl(target, QStringLiteral("Hidden"))->Visibility = 1;
    TElement_TestLink* link = AddLink(owner, target);
    TNamingRecorder rec(owner);
    link->SetFilter(ncfPublicOnly);
    EXPECT_EQ(rec.Log, (QStringList{"110 Hidden", "110 Open", "101 Open"}));
    EXPECT_EQ(Names(owner), (QStringList{"Open"}));
    rec.Clear();
    link->SetFilter(ncfPublicOnly);  // no change
    EXPECT_TRUE(rec.Log.isEmpty());
    // An item that becomes private leaves; one that becomes public comes back.
    auto* open = static_cast<TElement_TestDecl*>(target->FindItemByName("Open")->GetElement());
    open->Visibility = 1;
    open->Item()->NotifyChanged();
    EXPECT_EQ(Names(owner), QStringList());
    open->Visibility = 0;
    open->Item()->NotifyChanged();
    EXPECT_EQ(Names(owner), (QStringList{"Open"}));
    // A private connection makes its covers private.
    link->SetPrivate(1);
    EXPECT_EQ(owner->FindItemByName("Open")->GetVisibility(), 1);
}

TEST_F(NamingTest, SetOwnerMovesTheCoversAnnouncements) {
    TElement_TestScope* target = AddScope(root, QStringLiteral("T"));
    TElement_TestScope* first = AddScope(root, QStringLiteral("F"));
    TElement_TestScope* second = AddScope(root, QStringLiteral("S"));
    AddDecl(target, QStringLiteral("A"));
    AddDecl(target, QStringLiteral("B"));
    TElement_TestLink* link = AddLink(first, target);
    TNamingRecorder recFirst(first);
    TNamingRecorder recSecond(second);
    link->SetParent(second);  // the link feeds its parent
    EXPECT_EQ(recFirst.Log, (QStringList{"110 A", "110 B"}));
    EXPECT_EQ(recSecond.Log, (QStringList{"101 A", "101 B"}));
    EXPECT_EQ(link->CoverCount(), 2) << "the covers stay";
    EXPECT_EQ(first->FindItemByName("A"), nullptr);
    EXPECT_NE(second->FindItemByName("A"), nullptr);
    EXPECT_TRUE(first->Connections().empty());
    EXPECT_EQ(second->Connections().size(), 1u);
}

// ---------------------------------------------------------------------------
// Look-ups

TEST_F(NamingTest, FindByPathTable) {
    TElement_TestScope* inner = AddScope(root, QStringLiteral("I"));
    TElement_TestScope* middle = AddScope(root, QStringLiteral("M"));
    TElement_TestScope* outer = AddScope(root, QStringLiteral("O"));
    TElement_TestDecl* deep = AddDecl(inner, QStringLiteral("Deep"));
    TElement_TestDecl* mid = AddDecl(middle, QStringLiteral("Mid"));
    TElement_TestDecl* own = AddDecl(outer, QStringLiteral("Own"));
    TElement_TestLink* toInner = AddLink(middle, inner);
    TElement_TestLink* toMiddle = AddLink(outer, middle);
    TElement_TestLink* dangling = AddLink(outer, nullptr);
    const QString n17 = QString::number(toMiddle->Number());
    const QString n23 = QString::number(toInner->Number());

    TNamespaceItem* viaOne = outer->FindItemByPath(n17 + "." + QString::number(mid->Number()));
    TNamespaceItem* viaTwo = outer->FindItemByPath(n17 + "." + n23 + "." + QString::number(deep->Number()));
    ASSERT_NE(viaOne, nullptr);
    ASSERT_NE(viaTwo, nullptr);
    EXPECT_EQ(viaOne->GetOriginal(), mid->Item());
    EXPECT_EQ(viaTwo->GetOriginal(), deep->Item());
    EXPECT_EQ(viaTwo->GetName(), "Deep");

    struct Case {
        QString path;
        TNamespaceItem* expected;
    };
    const Case cases[] = {
        {QString::number(own->Number()), own->Item()},
        {viaOne->GetPath(), viaOne},
        {viaTwo->GetPath(), viaTwo},
        {QString(), nullptr},
        {"999999." + QString::number(mid->Number()), nullptr},  // unknown connection
        {QString::number(dangling->Number()) + ".1", nullptr},  // connection without a target
        {QString::number(mid->Number()), nullptr},              // not an own item here
        {"abc", nullptr},
        {n17 + ".x", nullptr},
        {"x." + QString::number(mid->Number()), nullptr},
        {n17 + ".", nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(outer->FindItemByPath(c.path), c.expected) << c.path.toStdString();
    EXPECT_EQ(viaTwo->GetPath(), n17 + "." + n23 + "." + QString::number(deep->Number()));
}

TEST_F(NamingTest, FindByNameIsExactAndFiltered) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("A"));
    TElement_TestDecl* upper = AddDecl(ns, QStringLiteral("Value"));
    EXPECT_EQ(ns->FindItemByName("Value"), upper->Item());
    EXPECT_EQ(ns->FindItemByName("value"), nullptr) << "references are case-sensitive";
    EXPECT_EQ(ns->FindItemByName("VALUE", {}, Qt::CaseInsensitive), upper->Item());
    TElement_TestDecl* lower = AddDecl(ns, QStringLiteral("value"));
    EXPECT_EQ(ns->FindItemByName("value"), lower->Item());
    auto refuseUpper = [&](TNamespace*, TNamespaceItem* item, bool& accept) { accept = item != upper->Item(); };
    EXPECT_EQ(ns->FindItemByName("Value", refuseUpper), nullptr);
    EXPECT_EQ(ns->FindItemByName("value", refuseUpper), lower->Item());
    upper->Rename(QStringLiteral("Total"));
    EXPECT_EQ(ns->FindItemByName("Value"), nullptr);
    EXPECT_EQ(ns->FindItemByName("Total"), upper->Item());
}

TEST_F(NamingLinkTest, FindByElementOwnFirstThenCovers) {
    TElement_TestDecl* far = AddDecl(target, QStringLiteral("Far"));
    TElement_TestDecl* near = AddDecl(owner, QStringLiteral("Near"));
    TElement_TestLink* link = AddLink(owner, target);
    EXPECT_EQ(owner->FindItemByElement(near), near->Item());
    EXPECT_EQ(owner->FindItemByElement(far), link->FindCover(far->Item()));
    EXPECT_EQ(owner->FindItemByElement(link), nullptr);
    EXPECT_EQ(owner->FindItemByElement(nullptr), nullptr);
}

TEST_F(NamingLinkTest, ForEachItemStopsAndNamesSkipDisabledOrNotUnique) {
    AddDecl(owner, QStringLiteral("A"));
    AddDecl(owner, QStringLiteral("B"))->Enabled = false;
    AddDecl(target, QStringLiteral("C"))->Unique = false;
    AddLink(owner, target);
    TNamespace::TNameList list;
    owner->GetNames(list, false, false);
    EXPECT_EQ(list.size(), 2);
    list.clear();
    owner->GetNames(list, true, true);
    EXPECT_EQ(list.size(), 2);
    QStringList seen;
    owner->ForEachItem([&](TNamespaceItem* item, bool& stop) { seen << item->GetName(); stop = seen.size() == 2; }, true);
    EXPECT_EQ(seen, (QStringList{"A", "B"}));
    seen.clear();
    owner->ForEachItem([&](TNamespaceItem* item, bool&) { seen << item->GetName(); }, false);
    EXPECT_EQ(seen, (QStringList{"A", "B"}));
}

// ---------------------------------------------------------------------------
// Duplicates

TEST_F(NamingTest, DuplicateTable) {
    struct Case {
        const char* what;
        int flagsFirst;
        int flagsSecond;
        bool secondThroughConnection;
        uint8_t stateFirst;
        uint8_t stateSecond;  // own second only
    };
    const Case cases[] = {
        {"own beside own", 0, 0, false, nsDuplicate, nsDuplicate},
        {"own beside overridable own", 0, nifOverridable, false, nsHidesOverridable, nsChecked},
        {"overridable own beside own", nifOverridable, 0, false, nsChecked, nsHidesOverridable},
        {"own beside cover", 0, 0, true, nsDuplicate, nsChecked},
        {"own beside overridable cover", 0, nifOverridable, true, nsHidesOverridable, nsChecked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto local = MakeScopeScheme();
        TElement* top = local->Root();
        TElement_TestScope* ns = AddScope(top, QStringLiteral("N"));
        TElement_TestScope* other = AddScope(top, QStringLiteral("X"));
        TElement_TestDecl* first = AddDecl(ns, QStringLiteral("Count"), c.flagsFirst);
        TElement_TestDecl* second = AddDecl(c.secondThroughConnection ? other : ns, QStringLiteral("count"), c.flagsSecond);
        if (c.secondThroughConnection) AddLink(ns, other);
        EXPECT_EQ(first->Item()->State(), c.stateFirst);
        EXPECT_EQ(second->Item()->State(), c.stateSecond);
    }
}

TEST_F(NamingTest, DuplicateStateChangesOnlyOnChange) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    TNamingRecorder rec(ns);
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("Count"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("COUNT"));
    EXPECT_TRUE(a->Item()->IsDuplicate());
    EXPECT_TRUE(b->Item()->IsDuplicate());
    EXPECT_EQ(rec.Log, (QStringList{"101 Count", "101 COUNT", "109 Count", "109 COUNT"}));
    AddDecl(ns, QStringLiteral("Other"));
    EXPECT_EQ(a->Item()->StateChanges, 1) << "an unrelated name leaves the states alone";
    ns->CheckDuplicates();
    EXPECT_EQ(a->Item()->StateChanges, 1);
    b->Rename(QStringLiteral("Total"));
    EXPECT_FALSE(a->Item()->IsDuplicate());
    EXPECT_FALSE(b->Item()->IsDuplicate());
    EXPECT_EQ(a->Item()->StateChanges, 2);
    // A disabled or not-unique item does not clash.
    b->Rename(QStringLiteral("count"));
    EXPECT_TRUE(a->Item()->IsDuplicate());
    b->Enabled = false;
    b->Item()->NotifyEnabledChanged();
    EXPECT_FALSE(a->Item()->IsDuplicate());
    // Removing the other clears the mark.
    b->Enabled = true;
    b->Item()->NotifyEnabledChanged();
    EXPECT_TRUE(a->Item()->IsDuplicate());
    b->Free();
    EXPECT_FALSE(a->Item()->IsDuplicate());
}

TEST_F(NamingTest, DuplicateCheckWaitsForTheSchemeUpdate) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    scheme->BeginUpdate();
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("Same"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("Same"));
    EXPECT_FALSE(a->Item()->IsDuplicate());
    b->Rename(QStringLiteral("Else"));
    b->Rename(QStringLiteral("same"));
    scheme->EndUpdate();
    EXPECT_TRUE(a->Item()->IsDuplicate());
    EXPECT_TRUE(b->Item()->IsDuplicate());
    EXPECT_EQ(a->Item()->StateChanges, 1);
    EXPECT_EQ(b->Item()->StateChanges, 1);
}

TEST_F(NamingTest, NameComingBackThroughACycleIsNotItsOwnDuplicate) {
    TElement_TestScope* a = AddScope(root, QStringLiteral("A"));
    TElement_TestScope* b = AddScope(root, QStringLiteral("B"));
    TElement_TestDecl* x = AddDecl(a, QStringLiteral("X"));
    AddDecl(b, QStringLiteral("Y"));
    AddLink(a, b);
    AddLink(b, a);
    EXPECT_EQ(Names(a), (QStringList{"X", "Y"}));
    EXPECT_EQ(Names(b), (QStringList{"Y", "X"}));
    EXPECT_FALSE(x->Item()->IsDuplicate());
}

// ---------------------------------------------------------------------------
// Chains of connections

// Standard types <- unit <- object <- routine body; "Count" is declared in
// the unit and again in the object, so the body must see the object's.
struct Chain {
    TElement_TestScope* std = nullptr;
    TElement_TestScope* unit = nullptr;
    TElement_TestScope* object = nullptr;
    TElement_TestScope* body = nullptr;
};

Chain MakeScopes(TElement* root) {
    Chain c;
    c.std = AddScope(root, QStringLiteral("Std"));
    c.unit = AddScope(root, QStringLiteral("Unit"));
    c.object = AddScope(root, QStringLiteral("Object"));
    c.body = AddScope(root, QStringLiteral("Body"));
    return c;
}

void DeclareStd(Chain& c) {
    AddDecl(c.std, QStringLiteral("int"), nifOverridable);
    AddDecl(c.std, QStringLiteral("str"), nifOverridable);
}
void DeclareUnit(Chain& c) {
    AddDecl(c.unit, QStringLiteral("Count"));
    AddDecl(c.unit, QStringLiteral("Helper"));
    AddDecl(c.unit, QStringLiteral("str"));
}
void DeclareObject(Chain& c) {
    AddDecl(c.object, QStringLiteral("Count"));
    AddDecl(c.object, QStringLiteral("Field"));
}
void DeclareBody(Chain& c) { AddDecl(c.body, QStringLiteral("Local")); }

QStringList Resolve(TNamespace* ns) {
    QStringList answers;
    for (const char* name : {"Local", "Count", "Field", "Helper", "str", "int", "Missing"}) {
        TNamespaceItem* item = ns->FindItemByName(QString::fromLatin1(name));
        answers << (item ? static_cast<TElement_TestDecl*>(item->GetOriginal()->GetElement())->Describe()
                         : QStringLiteral("-"));
    }
    return answers;
}

TEST_F(NamingTest, ChainSeesTheSameWhateverTheOrder) {
    // Declared first, connected from the bottom up.
    auto schemeA = MakeScopeScheme();
    Chain a = MakeScopes(schemeA->Root());
    DeclareStd(a);
    DeclareUnit(a);
    DeclareObject(a);
    DeclareBody(a);
    AddLink(a.unit, a.std);
    AddLink(a.object, a.unit);
    AddLink(a.body, a.object);

    // Connected first from the top down, declared afterwards from the body outwards.
    auto schemeB = MakeScopeScheme();
    Chain b = MakeScopes(schemeB->Root());
    AddLink(b.body, b.object);
    AddLink(b.object, b.unit);
    AddLink(b.unit, b.std);
    DeclareBody(b);
    DeclareObject(b);
    DeclareUnit(b);
    DeclareStd(b);

    const QStringList expected{"Local=Body.Local", "Count=Object.Count", "Field=Object.Field",
                               "Count=Unit.Count", "Helper=Unit.Helper", "str=Unit.str",
                               "int=Std.int",      "str=Std.str"};
    EXPECT_EQ(Sight(a.body), expected);
    EXPECT_EQ(Sight(b.body), expected);
    const QStringList resolved{"Body.Local", "Object.Count", "Object.Field", "Unit.Helper", "Unit.str",
                               "Std.int",    "-"};
    EXPECT_EQ(Resolve(a.body), resolved);
    EXPECT_EQ(Resolve(b.body), resolved);
    // The unit's "str" hides the overridable standard one instead of clashing.
    auto* unitStr = static_cast<TTestDeclItem*>(a.unit->FindItemByName("str"));
    EXPECT_TRUE(unitStr->HidesOverridable());
    EXPECT_FALSE(unitStr->IsDuplicate());

    // After a snapshot round trip (the links are taken again after the load).
    for (TScheme* source : {schemeA.get(), schemeB.get()}) {
        TNodePtr<TKnot> knot = TKnot::Create();
        source->SaveRootToKnot(knot.get(), fmSnapshot, 0);
        auto copy = MakeScopeScheme();
        copy->Root()->LoadFromKnot(knot.get(), fmSnapshot, 0);
        TNamespace* body = nullptr;
        for (TNode* n = copy->Root()->FirstChild(); n; n = n->NextSibling())
            if (auto* scope = dynamic_cast<TElement_TestScope*>(n); scope && scope->Label == "Body") body = scope;
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(Sight(body), expected);
        EXPECT_EQ(Resolve(body), resolved);
    }
}

TEST_F(NamingTest, CoversKeepTheTargetsOrderWhenItemsArriveLate) {
    Chain c = MakeScopes(root);
    TElement_TestLink* bodyLink = AddLink(c.body, c.object);
    AddLink(c.object, c.unit);
    AddDecl(c.unit, QStringLiteral("Count"));
    AddDecl(c.object, QStringLiteral("Count"));  // arrives after the unit's
    EXPECT_EQ(c.body->FindItemByName("Count")->GetOriginal(), c.object->FindItemByName("Count"));
    ASSERT_EQ(bodyLink->CoverCount(), 2);
    EXPECT_EQ(bodyLink->Covers().front()->GetOriginal(), c.object->FindItemByName("Count"));
    // Removing the object's link takes the unit's names out of the body.
    c.object->Connections().front()->SetTarget(nullptr);
    EXPECT_EQ(Names(c.body), (QStringList{"Count"}));
}

// ---------------------------------------------------------------------------
// Cross-scheme links and freeing

TEST_F(NamingTest, LinksOfAnotherSchemeCountOnce) {
    auto other = MakeScopeScheme();
    TElement_TestScope* shared = AddScope(other->Root(), QStringLiteral("Shared"));
    TElement_TestScope* local = AddScope(root, QStringLiteral("Local"));
    TElement_TestLink* first = AddLink(local, shared);
    TElement_TestLink* sameScheme = AddLink(AddScope(other->Root(), QStringLiteral("Near")), shared);
    EXPECT_TRUE(other->HasDependentSchemes());
    EXPECT_FALSE(scheme->HasDependentSchemes());
    TElement_TestLink* second = AddLink(local, shared);
    first->SetTarget(nullptr);
    EXPECT_TRUE(other->HasDependentSchemes()) << "one entry per connection";
    second->Free();
    EXPECT_FALSE(other->HasDependentSchemes());
    (void)sameScheme;
}

// The parameter: whether the namespace goes first, or the connection.
class NamingFreeTest : public NamingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NamingFreeTest, FreedNamespaceDetachesConnectionsAndReferences) {
    auto other = MakeScopeScheme();
    TElement_TestScope* target = AddScope(other->Root(), QStringLiteral("T"));
    TElement_TestScope* owner = AddScope(root, QStringLiteral("O"));
    TElement_TestDecl* decl = AddDecl(target, QStringLiteral("Name"));
    TElement_TestLink* link = AddLink(owner, target);
    TTestReference viaCover;
    TTestReference direct;
    viaCover.SetTarget(owner->FindItemByName("Name"));
    direct.SetTarget(decl->Item());
    TNamingRecorder listener(target);
    TNamingRecorder ownerListener(owner);

    if (GetParam()) {
        target->Free();
        EXPECT_EQ(link->Target(), nullptr);
        EXPECT_EQ(link->CoverCount(), 0);
        EXPECT_EQ(viaCover.Target(), nullptr);
        EXPECT_EQ(direct.Target(), nullptr);
        EXPECT_EQ(listener.Log.last(), "111");
        EXPECT_FALSE(other->HasDependentSchemes());
        EXPECT_EQ(owner->FindItemByName("Name"), nullptr);
        link->Free();
        owner->Free();
    } else {
        owner->Free();  // frees the link with it
        EXPECT_EQ(viaCover.Target(), nullptr);
        EXPECT_EQ(direct.Target(), decl->Item());
        EXPECT_EQ(target->IncomingConnectionCount(), 0);
        EXPECT_FALSE(other->HasDependentSchemes());
        target->Free();
        EXPECT_EQ(direct.Target(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, NamingFreeTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "NamespaceFirst" : "ConnectionFirst"; });

TEST_F(NamingTest, FreedOwnerLetsItsConnectionsGo) {
    TElement_TestScope* target = AddScope(root, QStringLiteral("T"));
    AddDecl(target, QStringLiteral("Name"));
    TElement_TestScope* owner = AddScope(root, QStringLiteral("O"));
    // A connection that lives elsewhere in the tree but feeds owner.
    TElement_TestLink* link = AddLink(root, target);
    link->SetOwner(owner);
    owner->Free();
    EXPECT_EQ(link->Owner(), nullptr);
    EXPECT_EQ(link->CoverCount(), 1);
    link->Free();
    EXPECT_EQ(target->IncomingConnectionCount(), 0);
}

// ---------------------------------------------------------------------------
// Cycles

TEST_F(NamingTest, CycleOfTwoIsMarkedAndClearedAgain) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("A"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("B"));
    TTestReference aToB;
    TTestReference bToA;
    a->Used.push_back(&aToB);
    b->Used.push_back(&bToA);
    aToB.SetTarget(b->Item());
    EXPECT_FALSE(aToB.IsOnCycle());
    bToA.SetTarget(a->Item());
    EXPECT_TRUE(aToB.IsOnCycle());
    EXPECT_TRUE(bToA.IsOnCycle());
    bToA.SetTarget(nullptr);
    EXPECT_FALSE(aToB.IsOnCycle());
    EXPECT_FALSE(bToA.IsOnCycle());
    a->Used.clear();
    b->Used.clear();
}

// A handler of a changed cycle bit that starts another search: it runs after
// the current one, whose marks stay its own.
TEST_F(NamingTest, SearchStartedFromACycleHandlerWaitsItsTurn) {
    class TRestartingReference : public TTestReference {
    public:
        TNamespaceItem* Restart = nullptr;
        void CycleStateChanged() override {
            TTestReference::CycleStateChanged();
            if (Restart) SearchCycles(Restart);
        }
    };
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("A"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("B"));
    TRestartingReference aToB;
    TTestReference bToA;
    a->Used.push_back(&aToB);
    b->Used.push_back(&bToA);
    aToB.SetTarget(b->Item());
    aToB.Restart = b->Item();
    bToA.SetTarget(a->Item());
    EXPECT_TRUE(aToB.IsOnCycle());
    EXPECT_TRUE(bToA.IsOnCycle());
    EXPECT_GE(aToB.CycleChanges, 1);
    a->Used.clear();
    b->Used.clear();
}

// The search as first written: exponential on shared sub-graphs, but the
// plain statement of which references get marked.
int NaiveVisit(TNamespaceItem* item, std::vector<TNamespaceItem*>& path) {
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == item) return int(i);
    std::vector<TReference*> refs;
    item->GetUsedReferences(refs);
    if (refs.empty()) return -1;
    path.push_back(item);
    int lowest = -1;
    for (TReference* r : refs) {
        int answer = r->Target() ? NaiveVisit(r->Target(), path) : -1;
        r->SetCycleState(answer >= 0);
        if (answer >= 0 && (lowest < 0 || answer < lowest)) lowest = answer;
    }
    path.pop_back();
    return lowest;
}

TEST_F(NamingTest, CycleSearchMarksLikeTheFullSearchOnRandomGraphs) {
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        auto local = MakeScopeScheme();
        TElement_TestScope* ns = AddScope(local->Root(), QStringLiteral("N"));
        const int count = 2 + int(random.bounded(8));
        std::vector<TElement_TestDecl*> decls;
        for (int i = 0; i < count; ++i) decls.push_back(AddDecl(ns, QString::number(i)));
        std::vector<std::unique_ptr<TTestReference>> refs;
        for (int i = 0; i < count; ++i)
            for (int j = 0; j < count; ++j)
                if (random.bounded(100) < 25) {
                    refs.push_back(std::make_unique<TTestReference>());
                    decls[size_t(i)]->Used.push_back(refs.back().get());
                    refs.back()->SetTarget(decls[size_t(j)]->Item());
                }
        TNamespaceItem* start = decls[random.bounded(count)]->Item();
        // Both searches start from the same bits; a reference neither visits keeps its own.
        std::vector<bool> initial;
        for (size_t i = 0; i < refs.size(); ++i) initial.push_back(random.bounded(2) == 1);
        auto bits = [&] {
            std::vector<bool> out;
            for (auto& r : refs) out.push_back(r->IsOnCycle());
            return out;
        };
        for (size_t i = 0; i < refs.size(); ++i) refs[i]->SetCycleState(initial[i]);
        std::vector<TNamespaceItem*> path;
        NaiveVisit(start, path);
        const std::vector<bool> expected = bits();
        for (size_t i = 0; i < refs.size(); ++i) refs[i]->SetCycleState(initial[i]);
        SearchCycles(start);
        ASSERT_EQ(bits(), expected) << "round " << round;
        for (auto* d : decls) d->Used.clear();
    }
}

// A ladder of diamonds: every rung reaches both items of the next one.
TEST_F(NamingTest, CycleSearchOnSharedSubGraphsIsNotExponential) {
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    constexpr int kRungs = 200;  // 2^200 paths for the search as first written
    std::vector<TElement_TestDecl*> left, right;
    for (int i = 0; i < kRungs; ++i) {
        left.push_back(AddDecl(ns, "L" + QString::number(i)));
        right.push_back(AddDecl(ns, "R" + QString::number(i)));
    }
    std::vector<std::unique_ptr<TTestReference>> refs;
    auto link = [&](TElement_TestDecl* from, TElement_TestDecl* to) {
        refs.push_back(std::make_unique<TTestReference>());
        from->Used.push_back(refs.back().get());
        refs.back()->SetTarget(to->Item());
    };
    for (int i = kRungs - 2; i >= 0; --i) {
        link(left[size_t(i)], left[size_t(i) + 1]);
        link(left[size_t(i)], right[size_t(i) + 1]);
        link(right[size_t(i)], left[size_t(i) + 1]);
        link(right[size_t(i)], right[size_t(i) + 1]);
    }
    TElement_TestDecl* top = AddDecl(ns, QStringLiteral("Top"));
    link(top, left.front());
    link(top, right.front());
    // A cycle at the bottom: everything leads into it.
    link(left.back(), right.back());
    link(right.back(), left.back());
    SearchCycles(top->Item());
    for (auto& r : refs) EXPECT_TRUE(r->IsOnCycle());
    refs.back()->SetTarget(nullptr);
    SearchCycles(top->Item());
    for (auto& r : refs) EXPECT_FALSE(r->IsOnCycle());
    top->Used.clear();
    for (auto* d : left) d->Used.clear();
    for (auto* d : right) d->Used.clear();
}

// ---------------------------------------------------------------------------
// Stored paths inside undo and redo

class TRetargetOperation : public TElementOperation {
public:
    TRetargetOperation(TElement* element, TNamespace* ns, TReference* reference, QString newPath, QString oldPath)
        : TElementOperation(element, false), m_ns(ns), m_reference(reference), m_newPath(std::move(newPath)),
          m_oldPath(std::move(oldPath)) {}

protected:
    void DoOnElement(TElement* element) override {
        TElementOperation::DoOnElement(element);
        m_reference->SetTarget(m_ns->FindItemByPath(m_newPath));
    }
    void UndoOnElement(TElement* element) override {
        TElementOperation::UndoOnElement(element);
        m_reference->SetTarget(m_ns->FindItemByPath(m_oldPath));
    }

private:
    TNamespace* m_ns;
    TReference* m_reference;
    QString m_newPath;
    QString m_oldPath;
};

TEST_F(NamingTest, NonNumericStoredPathKeepsTheHistoryConsistent) {
    TUndoRedo history;
    scheme->SetUndoRedo(&history);
    TElement_TestScope* ns = AddScope(root, QStringLiteral("N"));
    TElement_TestDecl* decl = AddDecl(ns, QStringLiteral("Name"));
    TTestReference ref;
    for (const QString& broken : {QStringLiteral("Name"), QStringLiteral("12.x"), QStringLiteral("1e3")}) {
        SCOPED_TRACE(broken.toStdString());
        TSchemeOperation::Execute(
            MakeNode<TRetargetOperation>(decl, ns, &ref, decl->Item()->GetPath(), broken));
        EXPECT_EQ(ref.Target(), decl->Item());
        history.Undo();
        EXPECT_EQ(ref.Target(), nullptr);
        EXPECT_FALSE(history.CanUndo());
        EXPECT_TRUE(history.CanRedo());
        history.Redo();
        EXPECT_EQ(ref.Target(), decl->Item());
        EXPECT_TRUE(history.CanUndo());
        history.Clear();
    }
    scheme->SetUndoRedo(nullptr);
}

// ---------------------------------------------------------------------------
// Unique names

TEST(UniqueNameTest, Table) {
    struct Case {
        const char* base;
        QStringList names;
        TNamingMode mode;
        bool numberFirst;
        int digits;
        bool underscore;
        const char* expected;
    };
    const Case cases[] = {
        {"Value", {"value1"}, TNamingMode::AsIs, true, 1, false, "Value2"},
        {"Value", {}, TNamingMode::AsIs, false, 1, false, "Value"},
        {"Value", {"VALUE"}, TNamingMode::AsIs, false, 1, false, "Value2"},
        {"Value", {"Value"}, TNamingMode::AsIs, false, 1, true, "Value_2"},
        {"Value", {"Value"}, TNamingMode::AsIs, false, 3, true, "Value_002"},
        {"Value", {}, TNamingMode::AsIs, true, 3, false, "Value001"},
        {"MyType", {}, TNamingMode::Extra, false, 1, false, "myType"},
        {"XMLData", {}, TNamingMode::Extra, false, 1, false, "XMLData"},
        {"X", {}, TNamingMode::Extra, false, 1, false, "x"},
        {"MyValue", {}, TNamingMode::Upper, false, 1, true, "MY_VALUE"},
        {"MyValue", {}, TNamingMode::Lower, true, 1, false, "myvalue1"},
        {"MyValue", {}, TNamingMode::AsIs, false, 1, true, "My_Value"},
        {"HTMLText", {}, TNamingMode::AsIs, false, 1, true, "HTML_Text"},
        {"TextHTML", {}, TNamingMode::AsIs, false, 1, true, "Text_HTML"},
        // An existing underscore is kept single, also before the number.
        {"A_B", {}, TNamingMode::AsIs, false, 1, true, "A_B"},
        {"My_Value", {}, TNamingMode::AsIs, false, 1, true, "My_Value"},
        {"Value_", {}, TNamingMode::AsIs, true, 1, true, "Value_1"},
        {"", {"1"}, TNamingMode::AsIs, true, 1, true, "2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeUniqueName(c.base, c.mode, c.numberFirst, c.names, c.digits, c.underscore), c.expected)
            << c.base;
}

TEST(UniqueNameTest, RegressionExistingUnderscoreNotDoubled) {
    EXPECT_EQ(InsertWordUnderscores(QStringLiteral("A_B")), "A_B");
    EXPECT_EQ(InsertWordUnderscores(QStringLiteral("Get_HTMLText")), "Get_HTML_Text");
}

TEST_F(NamingLinkTest, UniqueNameCountsNamesSeenThroughConnections) {
    TNodePtr<TNamingSettings> settings = TNamingSettings::CreateRoot();
    AddDecl(owner, QStringLiteral("value1"));
    AddDecl(target, QStringLiteral("Value2"))->Enabled = false;
    AddLink(owner, target);
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), true, *settings), "Value3");
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), false, *settings), "Value");
    settings->FillUnderscore()->SetValue(true);
    settings->FillDigits()->SetValue(3);
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), true, *settings), "Value_001");
    settings->FillNumberFirst()->SetValue(false);
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), true, *settings), "Value");
    settings->FillMode()->SetIndex(int(TNamingMode::Extra));
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("MyValue"), true, *settings), "my_Value");
}

TEST(NamingSettingsTest, SavedAndLoaded) {
    TNodePtr<TNamingSettings> settings = TNamingSettings::CreateRoot();
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Settings"));
    settings->SaveTo(knot.get());
    TKnot* section = knot->FindChild(u"Naming");
    ASSERT_NE(section, nullptr);
    EXPECT_FALSE(section->HasChildren()) << "defaults are not written";

    settings->FillEnabled()->SetValue(false);
    settings->FillMode()->SetIndex(int(TNamingMode::Extra));
    settings->FillNumberFirst()->SetValue(false);
    settings->FillUnderscore()->SetValue(true);
    settings->FillDigits()->SetValue(30);  // clamped to 12
    settings->SaveTo(knot.get());
    EXPECT_EQ(section->FindChild(u"FillMode")->ReadStr(u"Value"), "Extra");
    EXPECT_EQ(section->FindChild(u"FillDigits")->ReadStr(u"Value"), "12");

    TNodePtr<TNamingSettings> loaded = TNamingSettings::CreateRoot();
    loaded->LoadFrom(knot.get());
    EXPECT_FALSE(loaded->FillEnabled()->Value());
    EXPECT_EQ(loaded->FillMode()->Value(), int(TNamingMode::Extra));
    EXPECT_FALSE(loaded->FillNumberFirst()->Value());
    EXPECT_TRUE(loaded->FillUnderscore()->Value());
    EXPECT_EQ(loaded->FillDigits()->Value(), 12);
    EXPECT_EQ(loaded->MakeUniqueName(QStringLiteral("MyValue"), true, QStringList{"my_Value"}),
              "my_Value_000000000002");
}

// ---------------------------------------------------------------------------
// Order of items

TEST_F(NamingLinkTest, ItemsPrecedeInTreeOrderListedLastAfter) {
    TElement_TestDecl* first = AddDecl(owner, QStringLiteral("First"));
    TElement_TestLink* link = AddLink(owner, target);
    TElement_TestDecl* last = AddDecl(owner, QStringLiteral("Last"));
    TElement_TestDecl* builtIn = AddDecl(owner, QStringLiteral("BuiltIn"), nifListedLast);
    TElement_TestDecl* t1 = AddDecl(target, QStringLiteral("T1"));
    TElement_TestDecl* t2 = AddDecl(target, QStringLiteral("T2"));
    TNamespaceItem* c1 = link->FindCover(t1->Item());
    TNamespaceItem* c2 = link->FindCover(t2->Item());
    EXPECT_TRUE(NamespaceItemPrecedes(first->Item(), c1));
    EXPECT_TRUE(NamespaceItemPrecedes(c1, c2));
    EXPECT_FALSE(NamespaceItemPrecedes(c2, c1));
    EXPECT_TRUE(NamespaceItemPrecedes(c2, last->Item()));
    EXPECT_TRUE(NamespaceItemPrecedes(last->Item(), builtIn->Item()));
    EXPECT_FALSE(NamespaceItemPrecedes(builtIn->Item(), first->Item()));
}

TEST_F(NamingLinkTest, NamedConnectionCountsReferencesOnItsName) {
    class TFileLink : public TNamedNamespaceConnection {
    public:
        TNamespaceItem* NameItem = nullptr;
        TNamespaceItem* GetNameItem() override { return NameItem; }
    };
    TElement_TestDecl* fileName = AddDecl(owner, QStringLiteral("File"));
    AddDecl(target, QStringLiteral("Inside"));
    TNodePtr<TFileLink> link(new TFileLink);
    link->NameItem = fileName->Item();
    link->SetOwner(owner);
    link->SetTarget(target);
    {
        TTestReference ref;
        ref.SetTarget(owner->FindItemByName("Inside"));
        EXPECT_EQ(fileName->Item()->GetReferenceCount(), 1);
        ref.Flags = rfNotCounted;
        EXPECT_EQ(fileName->Item()->GetReferenceCount(), 0);
    }
    EXPECT_FALSE(fileName->Item()->HasReferences());
}

}  // namespace

// ---------------------------------------------------------------------------
// The name index against a plain walk over what each scope sees

namespace {

// Everything ns sees, in its order, without any index.
std::vector<TNamespaceItem*> SeenByWalk(TNamespace* ns) {
    std::vector<TNamespaceItem*> seen;
    ns->ForEachItem([&](TNamespaceItem* item, bool&) { seen.push_back(item); }, true);
    return seen;
}

TNamespaceItem* FindByWalk(TNamespace* ns, const QString& name, Qt::CaseSensitivity cs) {
    for (TNamespaceItem* item : SeenByWalk(ns))
        if (QString::compare(item->GetName(), name, cs) == 0) return item;
    return nullptr;
}

bool TakenByWalk(TNamespace* ns, const QString& name) {
    for (TNamespaceItem* item : SeenByWalk(ns))
        if (item->GetName().toCaseFolded() == name.toCaseFolded()) return true;
    return false;
}

// The states the whole duplicate check gives the own items, from a walk.
std::map<TNamespaceItem*, uint8_t> DuplicateStatesByWalk(TNamespace* ns) {
    const std::vector<TNamespaceItem*> seen = SeenByWalk(ns);
    std::map<TNamespaceItem*, uint8_t> pending;
    for (TNamespaceItem* item : seen)
        if (!item->AsCover()) pending[item] = nsChecked;
    for (TNamespaceItem* item : seen) {
        if (item->AsCover()) continue;
        if (!item->NeedsUniqueName() || !item->IsEnabled() || (item->GetItemFlags() & nifOverridable) ||
            (pending[item] & (nsDuplicate | nsHidesOverridable)))
            continue;
        const QString key = item->GetName().toCaseFolded();
        for (TNamespaceItem* other : seen) {
            if (other == item || other->GetName().toCaseFolded() != key) continue;
            if (!other->IsEnabled() || !other->NeedsUniqueName()) continue;
            if (other->AsCover() && other->GetOriginal() == item) continue;
            const bool overridable = other->GetItemFlags() & nifOverridable;
            // Marks add up: an item may hide an overridable name and be
            // another's duplicate at once.
            auto mark = [&](TNamespaceItem* marked, uint8_t bit) {
                pending[marked] = uint8_t((pending[marked] | bit) & ~nsChecked);
            };
            if (!other->AsCover() && !overridable) {
                mark(item, nsDuplicate);
                mark(other, nsDuplicate);
            } else {
                mark(item, overridable ? nsHidesOverridable : nsDuplicate);
            }
            break;
        }
    }
    return pending;
}

}  // namespace

// Scopes linked into a ring with prefixes, declarations that come, go, are
// renamed (in other cases too) and switched off: after every step each
// scope's look-ups, taken names, covers and duplicate marks are what a plain
// walk over its items gives.
TEST_F(NamingTest, NameIndexAnswersLikeAPlainWalk) {
    QRandomGenerator random(61220);
    const QStringList stems{"alpha", "Beta", "GAMMA", "Ärger", "x", "Straße", "STRASSE"};
    auto pickName = [&] {
        const QString stem = stems[random.bounded(stems.size())];
        switch (random.bounded(4)) {
        case 0: return stem.toUpper();
        case 1: return stem.toLower();
        default: return stem;
        }
    };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        auto local = MakeScopeScheme();
        TElement* top = local->Root();
        std::vector<TElement_TestScope*> scopes{AddScope(top, "A"), AddScope(top, "T"), AddScope(top, "U")};
        std::vector<TElement_TestLink*> links{AddLink(scopes[0], scopes[1]), AddLink(scopes[0], scopes[2], "P"),
                                              AddLink(scopes[1], scopes[2]), AddLink(scopes[2], scopes[0], "Q")};
        std::vector<TElement_TestDecl*> decls;
        QStringList probes;
        for (const QString& stem : stems)
            for (const QString& name : {stem, stem.toUpper(), stem.toLower()})
                probes << name << "P." + name << "p." + name << "Q.P." + name;
        for (int step = 0; step < 80; ++step) {
            const int op = int(random.bounded(100));
            if (op < 35 || decls.empty()) {
                TElement_TestScope* scope = scopes[random.bounded(int(scopes.size()))];
                auto* decl = TElement::CreateIn<TElement_TestDecl>(local.get(), nullptr);
                decl->Name = pickName();
                decl->Flags = random.bounded(5) == 0 ? nifOverridable : 0;
                decl->Unique = random.bounded(6) != 0;
                decl->SetParent(scope);  // registers with everything set
                decls.push_back(decl);
            } else if (op < 65) {
                decls[random.bounded(int(decls.size()))]->Rename(pickName());
            } else if (op < 78) {
                const size_t at = random.bounded(int(decls.size()));
                decls[at]->Free();
                decls.erase(decls.begin() + ptrdiff_t(at));
            } else if (op < 92) {
                TElement_TestDecl* decl = decls[random.bounded(int(decls.size()))];
                decl->Enabled = !decl->Enabled;
                decl->Item()->NotifyEnabledChanged();
            } else {
                links[random.bounded(int(links.size()))]->SetPrefix(random.bounded(2) ? pickName() : QString());
            }
            for (TElement_TestScope* scope : scopes) {
                SCOPED_TRACE(scope->Label.toStdString() + " step " + std::to_string(step));
                for (const QString& probe : probes) {
                    ASSERT_EQ(scope->FindItemByName(probe), FindByWalk(scope, probe, Qt::CaseSensitive))
                        << probe.toStdString();
                    ASSERT_EQ(scope->FindItemByName(probe, {}, Qt::CaseInsensitive),
                              FindByWalk(scope, probe, Qt::CaseInsensitive))
                        << probe.toStdString();
                    ASSERT_EQ(scope->IsNameTaken(probe), TakenByWalk(scope, probe)) << probe.toStdString();
                }
                for (TNamespaceItem* item : SeenByWalk(scope)) {
                    const QString name = item->GetName();
                    ASSERT_EQ(scope->FindItemByName(name), FindByWalk(scope, name, Qt::CaseSensitive));
                }
                for (const auto& [item, state] : DuplicateStatesByWalk(scope))
                    ASSERT_EQ(item->State(), state) << item->GetName().toStdString();
            }
            for (TElement_TestLink* link : links) {
                std::vector<TNamespaceCoverItem*> covers = link->Covers();
                for (TNamespaceItem* item : SeenByWalk(link->Target())) {
                    auto it = std::find_if(covers.begin(), covers.end(),
                                           [&](TNamespaceCoverItem* c) { return c->Wrapped() == item; });
                    ASSERT_EQ(link->FindCover(item), it == covers.end() ? nullptr : *it);
                }
            }
        }
    }
}

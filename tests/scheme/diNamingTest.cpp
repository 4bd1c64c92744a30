#include "scheme/diNaming.h"

#include "core/cuKnot.h"
#include "support/testCaseRows.h"
#include "support/testNaming.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>

namespace {

// A scheme of scopes. References made with Use belong to the test and leave
// the declarations that use them before the scheme goes.
class NamingTest : public ::testing::Test {
protected:
    ~NamingTest() override {
        for (TElement_TestDecl* user : users) user->Used.clear();
    }
    TElement_TestScope* Scope(const QString& label) { return AddScope(root, label); }
    TTestReference* Use(TElement_TestDecl* from, TNamespaceItem* to) {
        refs.push_back(std::make_unique<TTestReference>());
        from->Used.push_back(refs.back().get());
        users.push_back(from);
        refs.back()->SetTarget(to);
        return refs.back().get();
    }

    std::unique_ptr<TScheme> scheme = MakeScopeScheme();
    TElement_TestScope* root = static_cast<TElement_TestScope*>(scheme->Root());
    std::vector<std::unique_ptr<TTestReference>> refs;
    std::vector<TElement_TestDecl*> users;
};

// A target scope "T" and an owner scope "O" that connections link.
class NamingLinkTest : public NamingTest {
protected:
    TElement_TestScope* target = Scope(QStringLiteral("T"));
    TElement_TestScope* owner = Scope(QStringLiteral("O"));
};

// The names GetNames gives, by default every visible name.
QStringList Names(TNamespace* ns, bool withDisabled = true, bool onlyUnique = false) {
    TNamespace::TNameList list;
    ns->GetNames(list, withDisabled, onlyUnique);
    QStringList names;
    for (const auto& entry : list) names << entry.first;
    return names;
}

// An item as the rules see it: its declaration and the connections it came
// through, the outermost first.
using TRuleItem = std::pair<TNamespaceItem*, std::vector<TNamespaceConnection*>>;

TRuleItem AsRuleItem(TNamespaceItem* item) {
    TRuleItem rule{item->GetOriginal(), {}};
    for (TNamespaceCoverItem* cover = item->AsCover(); cover; cover = cover->Wrapped()->AsCover())
        rule.second.push_back(cover->Connection());
    return rule;
}

// Everything ns sees, in its order, without any index.
std::vector<TNamespaceItem*> SeenByWalk(TNamespace* ns) {
    std::vector<TNamespaceItem*> seen;
    ns->ForEachItem([&](TNamespaceItem* item, bool&) { seen.push_back(item); }, true);
    return seen;
}

// What each scope sees by the rules alone (own items, then for each
// connection what its target sees, less what came through the connection or
// was declared in the scope), repeated until nothing changes.
std::map<TNamespace*, std::vector<TRuleItem>> SeenByRules(const std::vector<TElement_TestScope*>& scopes) {
    std::map<TNamespace*, std::vector<TRuleItem>> seen;
    for (bool changed = true; changed;) {
        changed = false;
        for (TNamespace* ns : scopes) {
            std::vector<TRuleItem> view;
            ns->ForEachItem([&](TNamespaceItem* item, bool&) { view.push_back({item, {}}); }, false);
            for (TNamespaceConnection* connection : ns->Connections())
                for (const auto& [original, path] : seen[connection->Target()]) {
                    if (original->GetNamespace() == ns || std::count(path.begin(), path.end(), connection)) continue;
                    view.push_back({original, {connection}});
                    view.back().second.insert(view.back().second.end(), path.begin(), path.end());
                }
            changed = changed || view != seen[ns];
            seen[ns] = std::move(view);
        }
    }
    return seen;
}

// The name the rules give: the prefixes on the way, then the declared name.
QString RuleName(const TRuleItem& item) {
    QString name;
    for (TNamespaceConnection* connection : item.second)
        if (!connection->Prefix().isEmpty()) name += connection->Prefix() + ".";
    return name + item.first->GetName();
}

void ExpectSeenByRules(const std::vector<TElement_TestScope*>& scopes) {
    const auto expected = SeenByRules(scopes);
    for (TElement_TestScope* scope : scopes) {
        std::vector<TRuleItem> actual;
        QStringList names, ruleNames;
        for (TNamespaceItem* item : SeenByWalk(scope)) {
            actual.push_back(AsRuleItem(item));
            names << item->GetName();
            ruleNames << RuleName(actual.back());
        }
        ASSERT_TRUE(actual == expected.at(scope)) << scope->Label.toStdString();
        ASSERT_EQ(names, ruleNames) << scope->Label.toStdString();
    }
}

// ---------------------------------------------------------------------------
// Notifications

// What the declaring scope and, through a connection, another scope hear
// (image and title only for items with references).
TEST_F(NamingLinkTest, NotificationsOfAnItemAndItsCover) {
    TElement_TestLink* link = AddLink(owner, target);
    TNamingRecorder heardByTarget(target);
    TNamingRecorder heardByOwner(owner);
    TElement_TestDecl* decl = nullptr;
    TTestReference ref;
    const std::pair<std::function<void()>, QStringList> steps[] = {
        {[&] { decl = AddDecl(target, QStringLiteral("Value")); }, {"101 Value"}},
        {[&] { decl->Item()->NotifyChanged(); }, {"103 Value"}},
        {[&] { decl->Item()->NotifyImageChanged(); }, {}},
        {[&] { decl->Item()->NotifyTitleChanged(); }, {}},
        {[&] { decl->Item()->NotifyEnabledChanged(); }, {"106 Value"}},
        {[&] { decl->Rename(QStringLiteral("Total")); }, {"108 Total"}},
        {[&] { ref.SetTarget(link->FindCover(decl->Item())); }, {}},
        {[&] { decl->Item()->NotifyImageChanged(); }, {"104 Total"}},
        {[&] { decl->Item()->NotifyTitleChanged(); }, {"107 Total"}},
    };
    for (const auto& [act, heard] : steps) {
        heardByTarget.Clear();
        heardByOwner.Clear();
        act();
        EXPECT_EQ(heardByTarget.Log, heard);
        EXPECT_EQ(heardByOwner.Log, heard);
    }
    EXPECT_EQ(decl->Item()->GetReferenceCount(), 1) << "the declaring item knows the reference";
    EXPECT_EQ(link->ReferenceCount(), 1);

    // Former paths: the declaration's number, then the link's, change.
    heardByTarget.Clear();
    heardByOwner.Clear();
    const QString oldDecl = QString::number(decl->Number());
    decl->Renumber(decl->Number() + 100000);
    const QString oldLink = QString::number(link->Number());
    link->Renumber(link->Number() + 100000);
    EXPECT_EQ(heardByTarget.Log, (QStringList{"102 Total " + oldDecl}));
    EXPECT_EQ(target->FindItemByPath(oldDecl), nullptr);
    EXPECT_EQ(heardByOwner.Log, (QStringList{"102 Total " + oldLink + "." + oldDecl,
                                             "102 Total " + oldLink + "." + QString::number(decl->Number())}));

    heardByOwner.Clear();
    decl->Free();
    EXPECT_EQ(heardByOwner.Log, (QStringList{"110 Total"}));
    EXPECT_EQ(ref.Target(), nullptr) << "a reference never outlives its item";
    EXPECT_EQ(ref.TargetChanges, 2);
    EXPECT_EQ(link->ReferenceCount(), 0);
}

// A connection that does not hear scope links shows what a scope declares
// but none of the names an enclosing scope shows in it, before or after it
// joined; one that hears them shows both.
TEST_F(NamingTest, AConnectionThatDoesNotHearScopeLinksShowsOnlyTheScopesOwnNames) {
    TElement_TestScope* outer = Scope(QStringLiteral("Outer"));
    TElement_TestScope* inner = Scope(QStringLiteral("Inner"));
    AddDecl(outer, QStringLiteral("Early"));
    TElement_TestLink* scopeLink = AddLink(inner, nullptr);
    scopeLink->SetScopeLink(true);
    scopeLink->SetTarget(outer);
    TElement_TestScope* members = Scope(QStringLiteral("Members"));
    auto* own = TElement::CreateIn<TElement_TestLink>(scheme.get(), nullptr);
    own->SetHearsScopeLinks(false);
    own->SetParent(members);
    own->SetTarget(inner);
    TElement_TestScope* all = Scope(QStringLiteral("All"));
    AddLink(all, inner);
    AddDecl(inner, QStringLiteral("Own"));
    AddDecl(outer, QStringLiteral("Late"));
    EXPECT_EQ(Names(inner), (QStringList{"Own", "Early", "Late"}));
    EXPECT_EQ(Names(members), QStringList{"Own"});
    EXPECT_EQ(Names(all), (QStringList{"Own", "Early", "Late"}));
    own->SetHearsScopeLinks(true);
    EXPECT_EQ(Names(members), (QStringList{"Own", "Early", "Late"}));
}

TEST_F(NamingLinkTest, PrefixFilterAndOwnerChangesAnnounceTheCovers) {
    TElement_TestDecl* name = AddDecl(target, QStringLiteral("Name"));
    AddDecl(target, QStringLiteral("Other"))->Visibility = 1;
    TElement_TestLink* link = AddLink(owner, target);
    TElement_TestScope* second = Scope(QStringLiteral("S"));
    TNamingRecorder heardByOwner(owner);
    TNamingRecorder heardBySecond(second);
    link->SetPrefix(QStringLiteral("Base"));
    link->SetFilter(ncfPublicOnly);
    link->SetFilter(ncfPublicOnly);  // no change
    EXPECT_EQ(heardByOwner.Log, (QStringList{"108 Base.Name", "108 Base.Other", "110 Base.Other", "110 Base.Name",
                                             "101 Base.Name"}));
    // An item that becomes private leaves; one that becomes public comes back.
    for (int visibility : {1, 0}) {
        name->Visibility = visibility;
        name->Item()->NotifyChanged();
        EXPECT_EQ(Names(owner), visibility ? QStringList() : QStringList{"Base.Name"});
    }
    link->SetPrivate(1);
    EXPECT_EQ(owner->FindItemByName("Base.Name")->GetVisibility(), 1)
        << "a private connection makes its covers private";

    heardByOwner.Clear();
    link->SetParent(second);  // the link feeds its parent; the covers stay
    EXPECT_EQ(heardByOwner.Log, (QStringList{"110 Base.Name"}));
    EXPECT_EQ(heardBySecond.Log, (QStringList{"101 Base.Name"}));
    EXPECT_TRUE(owner->Connections().empty());
}

// ---------------------------------------------------------------------------
// Look-ups

// The rows: tests/data/naming/paths.txt.
TEST_F(NamingTest, FindByPathTable) {
    TElement_TestScope* inner = Scope(QStringLiteral("I"));
    TElement_TestScope* middle = Scope(QStringLiteral("M"));
    TElement_TestScope* outer = Scope(QStringLiteral("O"));
    const std::map<QString, TElement*> elements{
        {"deep", AddDecl(inner, QStringLiteral("Deep"))},
        {"mid", AddDecl(middle, QStringLiteral("Mid"))},
        {"own", AddDecl(outer, QStringLiteral("Own"))},
        {"toInner", AddLink(middle, inner)},
        {"toMiddle", AddLink(outer, middle)},
        {"dangling", AddLink(outer, nullptr)},
    };
    for (const QStringList& row : CaseRows("naming/paths.txt", 2)) {
        QString path = row[0];
        for (const auto& [name, element] : elements) path.replace("{" + name + "}", QString::number(element->Number()));
        SCOPED_TRACE((row.join(u'|') + " as " + path).toStdString());
        TNamespaceItem* found = outer->FindItemByPath(path);
        if (row[1] == "-") {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->GetOriginal()->GetElement(), elements.at(row[1]));
        EXPECT_EQ(found->GetPath(), path);
    }
}

// (Case and renames: the random comparison with a plain walk below.)
TEST_F(NamingLinkTest, LookUpsFilterStopAndSkip) {
    TElement_TestDecl* upper = AddDecl(owner, QStringLiteral("Value"));
    TElement_TestDecl* lower = AddDecl(owner, QStringLiteral("value"));
    AddDecl(owner, QStringLiteral("Off"))->Enabled = false;
    TElement_TestDecl* far = AddDecl(target, QStringLiteral("Far"));
    AddDecl(target, QStringLiteral("Shared"))->Unique = false;
    TElement_TestLink* link = AddLink(owner, target);
    auto refuseUpper = [&](TNamespace*, TNamespaceItem* item, bool& accept) { accept = item != upper->Item(); };
    EXPECT_EQ(owner->FindItemByName("Value", refuseUpper), nullptr);
    EXPECT_EQ(owner->FindItemByName("VALUE", refuseUpper, Qt::CaseInsensitive), lower->Item());

    EXPECT_EQ(owner->FindItemByElement(upper), upper->Item());
    EXPECT_EQ(owner->FindItemByElement(far), link->FindCover(far->Item()));
    EXPECT_EQ(owner->FindItemByElement(link), nullptr);

    EXPECT_EQ(Names(owner, false, false), (QStringList{"Value", "value", "Far", "Shared"}));
    EXPECT_EQ(Names(owner, true, true), (QStringList{"Value", "value", "Off", "Far"}));
    for (bool withConnections : {true, false}) {
        QStringList seen;
        owner->ForEachItem([&](TNamespaceItem* item, bool& stop) { seen << item->GetName(); stop = seen.size() == 2; },
                           withConnections);
        EXPECT_EQ(seen, (QStringList{"Value", "value"}));
    }
}

// ---------------------------------------------------------------------------
// Duplicates

TEST_F(NamingTest, DuplicateStateChangesOnlyOnChangeAndWaitsForTheSchemeUpdate) {
    TElement_TestScope* ns = Scope(QStringLiteral("N"));
    TNamingRecorder rec(ns);
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("Count"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("COUNT"));
    EXPECT_TRUE(a->Item()->IsDuplicate());
    EXPECT_TRUE(b->Item()->IsDuplicate());
    EXPECT_EQ(rec.Log, (QStringList{"101 Count", "101 COUNT", "109 Count", "109 COUNT"}));
    AddDecl(ns, QStringLiteral("Other"));
    ns->CheckDuplicates();
    EXPECT_EQ(a->Item()->StateChanges, 1) << "an unrelated name and an unchanged check leave the states alone";
    b->Free();  // a removed item does not clash
    EXPECT_FALSE(a->Item()->IsDuplicate());

    SCOPED_TRACE("within a scheme update");
    const int before = a->Item()->StateChanges;
    scheme->BeginUpdate();
    TElement_TestDecl* c = AddDecl(ns, QStringLiteral("COUNT"));
    EXPECT_FALSE(a->Item()->IsDuplicate()) << "checked when the update ends";
    c->Rename(QStringLiteral("Else"));
    c->Rename(QStringLiteral("count"));
    scheme->EndUpdate();
    EXPECT_TRUE(a->Item()->IsDuplicate());
    EXPECT_TRUE(c->Item()->IsDuplicate());
    EXPECT_EQ(a->Item()->StateChanges, before + 1);
    EXPECT_EQ(c->Item()->StateChanges, 1);
}

// ---------------------------------------------------------------------------
// Cross-scheme links and freeing

// Links between schemes, and freeing either end.
TEST_F(NamingTest, FreedNamespaceDetachesConnectionsAndReferences) {
    for (bool namespaceFirst : {true, false}) {
        SCOPED_TRACE(namespaceFirst ? "namespace first" : "connection first");
        auto other = MakeScopeScheme();
        TElement_TestScope* target = AddScope(other->Root(), QStringLiteral("T"));
        TElement_TestScope* owner = Scope(QStringLiteral("O"));
        TElement_TestDecl* decl = AddDecl(target, QStringLiteral("Name"));
        TElement_TestLink* link = AddLink(owner, target);
        // Links of another scheme count once each; those of its own not at all.
        AddLink(AddScope(other->Root(), QStringLiteral("Near")), target);
        AddLink(owner, target)->SetTarget(nullptr);
        EXPECT_TRUE(other->HasDependentSchemes()) << "one entry per connection";
        EXPECT_FALSE(scheme->HasDependentSchemes());
        TElement_TestLink* fed = AddLink(root, target);  // lives elsewhere in the tree but feeds owner
        fed->SetOwner(owner);
        TTestReference viaCover;
        TTestReference direct;
        viaCover.SetTarget(owner->FindItemByName("Name"));
        direct.SetTarget(decl->Item());
        TNamingRecorder listener(target);
        if (namespaceFirst) {
            target->Free();
            EXPECT_EQ(link->Target(), nullptr);
            EXPECT_EQ(link->CoverCount(), 0);
            EXPECT_EQ(direct.Target(), nullptr);
            EXPECT_EQ(listener.Log.last(), "111");
            EXPECT_EQ(owner->FindItemByName("Name"), nullptr);
        } else {
            owner->Free();  // frees the link with it
            EXPECT_EQ(direct.Target(), decl->Item());
            EXPECT_EQ(fed->Owner(), nullptr);
            EXPECT_EQ(fed->CoverCount(), 1) << "a connection that lost its owner keeps its covers";
            fed->Free();
            EXPECT_EQ(target->IncomingConnectionCount(), 1) << "the link of its own scheme";
        }
        EXPECT_EQ(viaCover.Target(), nullptr);
        EXPECT_FALSE(other->HasDependentSchemes());
    }
}

// ---------------------------------------------------------------------------
// Cycles

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
    TElement_TestScope* ns = Scope(QStringLiteral("N"));
    TElement_TestDecl* a = AddDecl(ns, QStringLiteral("A"));
    TElement_TestDecl* b = AddDecl(ns, QStringLiteral("B"));
    TRestartingReference aToB;
    a->Used.push_back(&aToB);
    aToB.SetTarget(b->Item());
    aToB.Restart = b->Item();
    TTestReference* bToA = Use(b, a->Item());
    EXPECT_TRUE(aToB.IsOnCycle());
    EXPECT_TRUE(bToA->IsOnCycle());
    EXPECT_GE(aToB.CycleChanges, 1);
    a->Used.clear();
}

// The search as first written: exponential on shared sub-graphs, but the
// plain statement of which references get marked.
int NaiveVisit(TNamespaceItem* item, std::vector<TNamespaceItem*>& path) {
    if (auto at = std::find(path.begin(), path.end(), item); at != path.end()) return int(at - path.begin());
    std::vector<TReference*> used;
    item->GetUsedReferences(used);
    if (used.empty()) return -1;
    path.push_back(item);
    int lowest = -1;
    for (TReference* r : used) {
        const int answer = r->Target() ? NaiveVisit(r->Target(), path) : -1;
        r->SetCycleState(answer >= 0);
        if (answer >= 0 && (lowest < 0 || answer < lowest)) lowest = answer;
    }
    path.pop_back();
    return lowest;
}

TEST_F(NamingTest, CycleSearchMarksLikeTheFullSearchOnRandomGraphs) {
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        TElement_TestScope* ns = Scope(QStringLiteral("N"));
        const int count = 2 + int(random.bounded(8));
        std::vector<TElement_TestDecl*> decls;
        for (int i = 0; i < count; ++i) decls.push_back(AddDecl(ns, QString::number(i)));
        const size_t first = refs.size();
        for (TElement_TestDecl* from : decls)
            for (TElement_TestDecl* to : decls)
                if (random.bounded(100) < 25) Use(from, to->Item());
        // Both searches start from the same bits; a reference neither visits keeps its own.
        std::vector<bool> initial, expected, found;
        for (size_t i = first; i < refs.size(); ++i) initial.push_back(random.bounded(2) == 1);
        auto run = [&](std::vector<bool>& bits, const std::function<void()>& search) {
            for (size_t i = first; i < refs.size(); ++i) refs[i]->SetCycleState(initial[i - first]);
            search();
            for (size_t i = first; i < refs.size(); ++i) bits.push_back(refs[i]->IsOnCycle());
        };
        TNamespaceItem* start = decls[random.bounded(count)]->Item();
        std::vector<TNamespaceItem*> path;
        run(expected, [&] { NaiveVisit(start, path); });
        run(found, [&] { SearchCycles(start); });
        ASSERT_EQ(found, expected) << "round " << round;
    }
}

// A ladder of diamonds: every rung reaches both items of the next one, and
// a cycle at the bottom that everything leads into.
TEST_F(NamingTest, CycleSearchOnSharedSubGraphsIsNotExponential) {
    TElement_TestScope* ns = Scope(QStringLiteral("N"));
    constexpr int kRungs = 200;  // 2^200 paths for the search as first written
    std::vector<std::array<TElement_TestDecl*, 2>> rungs;
    for (int i = 0; i < kRungs; ++i)
        rungs.push_back({AddDecl(ns, "L" + QString::number(i)), AddDecl(ns, "R" + QString::number(i))});
    for (int i = kRungs - 2; i >= 0; --i)
        for (TElement_TestDecl* from : rungs[size_t(i)])
            for (TElement_TestDecl* to : rungs[size_t(i) + 1]) Use(from, to->Item());
    TElement_TestDecl* top = AddDecl(ns, QStringLiteral("Top"));
    for (TElement_TestDecl* to : rungs.front()) Use(top, to->Item());
    Use(rungs.back()[0], rungs.back()[1]->Item());
    Use(rungs.back()[1], rungs.back()[0]->Item());
    for (bool closed : {true, false}) {
        if (!closed) refs.back()->SetTarget(nullptr);
        SearchCycles(top->Item());
        for (auto& r : refs) ASSERT_EQ(r->IsOnCycle(), closed);
    }
}

// ---------------------------------------------------------------------------
// Unique names

// The rows: tests/data/naming/unique-names.txt.
TEST(UniqueNameTest, Table) {
    const QStringList modes{"AsIs", "Upper", "Lower", "Extra"};
    for (const QStringList& row : CaseRows("naming/unique-names.txt", 7)) {
        SCOPED_TRACE(row.join(u'|').toStdString());
        ASSERT_GE(modes.indexOf(row[2]), 0);
        const QStringList taken = row[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        EXPECT_EQ(MakeUniqueName(row[0], TNamingMode(modes.indexOf(row[2])), row[3] == "yes", taken, row[4].toInt(),
                                 row[5] == "yes"),
                  row[6]);
    }
}

// Disabled names and names seen through connections count (the settings: the table above).
TEST_F(NamingLinkTest, UniqueNameCountsNamesSeenThroughConnections) {
    TNodePtr<TNamingSettings> settings = TNamingSettings::CreateRoot();
    AddDecl(owner, QStringLiteral("value1"));
    AddDecl(target, QStringLiteral("Value2"))->Enabled = false;
    AddLink(owner, target);
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), true, *settings), "Value3");
    EXPECT_EQ(owner->GetUniqueName(QStringLiteral("Value"), false, *settings), "Value")
        << "number first only when asked";
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

    // Mode, number first, underscore and digits all show in the name made.
    TNodePtr<TNamingSettings> loaded = TNamingSettings::CreateRoot();
    loaded->LoadFrom(knot.get());
    EXPECT_FALSE(loaded->FillEnabled()->Value());
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
    TNamespaceItem* c1 = link->FindCover(AddDecl(target, QStringLiteral("T1"))->Item());
    TNamespaceItem* c2 = link->FindCover(AddDecl(target, QStringLiteral("T2"))->Item());
    const std::vector<TNamespaceItem*> order{first->Item(), c1, c2, last->Item(), builtIn->Item()};
    for (size_t i = 0; i < order.size(); ++i)
        for (size_t j = 0; j < order.size(); ++j)
            EXPECT_EQ(NamespaceItemPrecedes(order[i], order[j]), i < j) << i << " " << j;
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

// ---------------------------------------------------------------------------
// What scopes see, against the rules worked out from scratch

// Long chains and rings of connections (which once took time growing with the
// cube of their length to load) see what the rules give when linked as a load
// links them: within an update, each link taking its target after every
// scope is placed, in tree order, whichever way round the scopes stand.
TEST_F(NamingTest, ChainsAndRingsLinkedAsALoadLinksThemSeeWhatTheRulesGive) {
    constexpr int kScopes = 30;
    for (bool ring : {false, true})
        for (bool reversed : {false, true}) {
            SCOPED_TRACE(std::string(ring ? "ring" : "chain") + (reversed ? " reversed" : ""));
            std::vector<TElement_TestScope*> scopes(kScopes);
            std::vector<std::pair<TElement_TestLink*, int>> links;  // each link and the index of its target
            scheme->BeginUpdate();
            for (int k = 0; k < kScopes; ++k) {
                const int i = reversed ? kScopes - 1 - k : k;
                scopes[size_t(i)] = Scope("S" + QString::number(i));
                AddDecl(scopes[size_t(i)], "N" + QString::number(i % 7));
                if (ring || i > 0)
                    links.emplace_back(AddLink(scopes[size_t(i)], nullptr, i % 5 ? "" : "P"), (i + kScopes - 1) % kScopes);
            }
            for (const auto& [link, target] : links) link->SetTarget(scopes[size_t(target)]);
            scheme->EndUpdate();
            ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
            EXPECT_EQ(SeenByWalk(scopes.back()).size(), size_t(kScopes)) << "every declaration once";
            for (TElement_TestScope* scope : scopes) scope->Free();
        }
}

// A name declared at the head of a very long chain of connections reaches its
// end, and goes again, without each connection calling the next one down
// (which once ran out of stack).
TEST_F(NamingTest, NameAtTheHeadOfAVeryLongChainReachesItsEnd) {
    constexpr int kScopes = 20000;
    std::vector<TElement_TestScope*> scopes{Scope(QStringLiteral("S0"))};
    for (int i = 1; i < kScopes; ++i) {
        scopes.push_back(Scope("S" + QString::number(i)));
        AddLink(scopes.back(), scopes[size_t(i - 1)]);
    }
    TElement_TestDecl* decl = AddDecl(scopes.front(), QStringLiteral("X"));
    TNamespaceItem* seen = scopes.back()->FindItemByName(QStringLiteral("X"));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->GetOriginal(), decl->Item());
    decl->Free();
    EXPECT_EQ(scopes.back()->FindItemByName(QStringLiteral("X")), nullptr);
}

// A connection that moves to another scope shows what it would show had it
// been made there: names declared in its new scope leave it (the scope would
// see them twice), names declared in the scope it left come.
TEST_F(NamingTest, MovedConnectionShowsWhatItWouldShowMadeInItsNewScope) {
    TElement_TestScope* a = Scope(QStringLiteral("A"));
    TElement_TestScope* b = Scope(QStringLiteral("B"));
    TElement_TestScope* e = Scope(QStringLiteral("E"));
    const std::vector<TElement_TestScope*> scopes{a, b, e};
    AddDecl(a, QStringLiteral("X"));
    AddDecl(b, QStringLiteral("Y"));
    AddLink(b, a);
    TElement_TestLink* moving = AddLink(e, b);
    ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
    moving->SetParent(a);
    ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
    EXPECT_EQ(Names(a), (QStringList{"X", "Y"}));
    moving->SetParent(e);
    ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
    EXPECT_EQ(Names(e), (QStringList{"Y", "X"}));
}

// A connection's covers follow its target's order while names come in
// between over and over (places run out between two covers and are spread
// again), go in numbers (the holes they leave are cleared away) and come
// back where others went.
TEST_F(NamingTest, CoversKeepTheTargetsOrderAsNamesComeInBetweenAndGo) {
    TElement_TestScope* under = Scope(QStringLiteral("U"));
    TElement_TestScope* target = Scope(QStringLiteral("T"));
    TElement_TestScope* owner = Scope(QStringLiteral("O"));
    TElement_TestScope* next = Scope(QStringLiteral("N"));  // orders the covers by their places
    const std::vector<TElement_TestScope*> scopes{under, target, owner, next};
    std::vector<TElement_TestDecl*> decls;
    for (int i = 0; i < 3; ++i) decls.push_back(AddDecl(under, "U" + QString::number(i)));
    AddLink(target, under);
    TElement_TestLink* link = AddLink(owner, target);
    AddLink(next, owner);
    QRandomGenerator random(4711);
    // Each name the target declares comes between its own names and the
    // covers of its link, in the same gap as the one before.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 120; ++i) decls.push_back(AddDecl(target, "T" + QString::number(i)));
        ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
        for (int i = 0; i < 100; ++i) {
            const size_t at = random.bounded(int(decls.size()));
            decls[at]->Free();
            decls.erase(decls.begin() + ptrdiff_t(at));
            if (random.bounded(4) == 0) decls.push_back(AddDecl(random.bounded(2) ? target : under, "V" + QString::number(i)));
        }
        ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
        for (TNamespaceItem* item : SeenByWalk(target)) ASSERT_EQ(link->FindCover(item)->Wrapped(), item);
    }
}

TNamespaceItem* FindByWalk(const std::vector<TNamespaceItem*>& seen, const QString& name, Qt::CaseSensitivity cs) {
    for (TNamespaceItem* item : seen)
        if (QString::compare(item->GetName(), name, cs) == 0) return item;
    return nullptr;
}

// The states the whole duplicate check gives the own items, from a walk.
std::map<TNamespaceItem*, uint8_t> DuplicateStatesByWalk(TNamespace* ns) {
    const std::vector<TNamespaceItem*> seen = SeenByWalk(ns);
    std::map<TNamespaceItem*, uint8_t> pending;
    for (TNamespaceItem* item : seen)
        if (!item->AsCover()) pending[item] = nsChecked;
    // Marks add up: an item may hide an overridable name and be another's duplicate at once.
    auto mark = [&](TNamespaceItem* marked, uint8_t bit) {
        pending[marked] = uint8_t((pending[marked] | bit) & ~nsChecked);
    };
    for (TNamespaceItem* item : seen) {
        if (item->AsCover() || !item->NeedsUniqueName() || !item->IsEnabled() ||
            (item->GetItemFlags() & nifOverridable) || (pending[item] & (nsDuplicate | nsHidesOverridable)))
            continue;
        for (TNamespaceItem* other : seen) {
            if (other == item || other->GetName().toCaseFolded() != item->GetName().toCaseFolded()) continue;
            if (!other->IsEnabled() || !other->NeedsUniqueName() || other->GetOriginal() == item) continue;
            const bool overridable = other->GetItemFlags() & nifOverridable;
            if (!other->AsCover() && !overridable) mark(other, nsDuplicate);
            mark(item, overridable ? nsHidesOverridable : nsDuplicate);
            break;
        }
    }
    return pending;
}

// Scopes linked into a ring with prefixes; declarations come, go, are
// renamed (in other cases too) and switched off, and links move and take
// other targets: after every step each scope sees what the rules give, and
// its look-ups, taken names, covers and duplicate marks are what a plain
// walk over its items gives.
TEST_F(NamingTest, NameIndexAnswersLikeAPlainWalk) {
    QRandomGenerator random(61220);
    const QStringList stems{"alpha", "Beta", "GAMMA", "Ärger", "x", "Straße", "STRASSE"};
    auto pickName = [&] {
        const QString stem = stems[random.bounded(stems.size())];
        const int form = int(random.bounded(4));
        return form == 0 ? stem.toUpper() : form == 1 ? stem.toLower() : stem;
    };
    QStringList probes;
    for (const QString& stem : stems)
        for (const QString& name : {stem, stem.toUpper(), stem.toLower()})
            probes << name << "P." + name << "p." + name << "Q.P." + name;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        std::vector<TElement_TestScope*> scopes{Scope("A"), Scope("T"), Scope("U")};
        std::vector<TElement_TestLink*> links{AddLink(scopes[0], scopes[1]), AddLink(scopes[0], scopes[2], "P"),
                                              AddLink(scopes[1], scopes[2]), AddLink(scopes[2], scopes[0], "Q")};
        auto anyScope = [&] { return scopes[random.bounded(int(scopes.size()))]; };
        std::vector<TElement_TestDecl*> decls;
        for (int step = 0; step < 80; ++step) {
            const int op = int(random.bounded(100));
            if (op < 35 || decls.empty()) {
                auto* decl = TElement::CreateIn<TElement_TestDecl>(scheme.get(), nullptr);
                decl->Name = pickName();
                decl->Flags = random.bounded(5) == 0 ? nifOverridable : 0;
                decl->Unique = random.bounded(6) != 0;
                decl->SetParent(anyScope());  // registers with everything set
                decls.push_back(decl);
            } else if (op < 62) {
                decls[random.bounded(int(decls.size()))]->Rename(pickName());
            } else if (op < 75) {
                const size_t at = random.bounded(int(decls.size()));
                decls[at]->Free();
                decls.erase(decls.begin() + ptrdiff_t(at));
            } else if (op < 88) {
                TElement_TestDecl* decl = decls[random.bounded(int(decls.size()))];
                decl->Enabled = !decl->Enabled;
                decl->Item()->NotifyEnabledChanged();
            } else if (op < 94) {
                links[random.bounded(int(links.size()))]->SetPrefix(random.bounded(2) ? pickName() : QString());
            } else {
                TElement_TestLink* link = links[random.bounded(int(links.size()))];
                // A link moves holding its covers or after letting them go.
                const int move = int(random.bounded(4));
                if (move & 1) link->SetTarget(nullptr);
                if (move & 2) link->SetParent(anyScope());  // joins its new owner last
                link->SetTarget(anyScope());
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSeenByRules(scopes));
            for (TElement_TestScope* scope : scopes) {
                SCOPED_TRACE(scope->Label.toStdString() + " step " + std::to_string(step));
                const std::vector<TNamespaceItem*> seen = SeenByWalk(scope);
                QStringList names = probes;  // and every name seen, as it is spelt
                for (TNamespaceItem* item : seen) names << item->GetName();
                for (const QString& name : names) {
                    ASSERT_EQ(scope->FindItemByName(name), FindByWalk(seen, name, Qt::CaseSensitive));
                    ASSERT_EQ(scope->FindItemByName(name, {}, Qt::CaseInsensitive),
                              FindByWalk(seen, name, Qt::CaseInsensitive));
                    ASSERT_EQ(scope->IsNameTaken(name), std::any_of(seen.begin(), seen.end(), [&](auto* item) {
                                  return item->GetName().toCaseFolded() == name.toCaseFolded();
                              }));
                }
                for (const auto& [item, state] : DuplicateStatesByWalk(scope))
                    ASSERT_EQ(item->State(), state) << item->GetName().toStdString();
            }
            for (TElement_TestLink* link : links) {
                const std::vector<TNamespaceCoverItem*> covers = link->Covers();
                for (TNamespaceItem* item : SeenByWalk(link->Target())) {
                    auto it = std::find_if(covers.begin(), covers.end(), [&](auto* c) { return c->Wrapped() == item; });
                    ASSERT_EQ(link->FindCover(item), it == covers.end() ? nullptr : *it);
                }
            }
        }
        for (TElement_TestScope* scope : scopes) scope->Free();
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Lazy connections

// Two schemes of the same scopes, one linked by eager connections, the other
// by lazy ones, edited alike: every look-up, duplicate state and notice that
// a listener waiting for the names hears is the same in both, though the
// lazy links make covers only for names asked or waited for.
class LazyTwins : public ::testing::Test {
protected:
    struct TTwin {
        std::unique_ptr<TScheme> scheme = MakeScopeScheme();
        std::vector<TElement_TestScope*> scopes;
        std::vector<TElement_TestDecl*> decls;  // nil: freed
        std::unique_ptr<TNamingRecorder> heard;

        explicit TTwin(bool lazy) {
            for (const char* label : {"H", "M", "I", "J"}) scopes.push_back(AddScope(scheme->Root(), QString::fromLatin1(label)));
            // A chain H <- M <- I <- J with a ring back from H to J.
            for (size_t i = 1; i < scopes.size(); ++i) AddLink(scopes[i], scopes[i - 1], QString(), lazy);
            AddLink(scopes[0], scopes[3], QString(), lazy);
            for (const QString& name : kNames) scopes[2]->WantName(name);
            heard = std::make_unique<TNamingRecorder>(scopes[2]);
        }
        ~TTwin() { heard.reset(); }
    };
    static inline const QStringList kNames{"Alpha", "Beta", "ALPHA", "Gamma"};

    TTwin eager{false};
    TTwin lazy{true};

    // What a scope answers about every name: the declaration found (its
    // index), the name shown and whether the name is taken.
    static std::string Answers(const TTwin& twin) {
        QStringList answers;
        for (TElement_TestScope* scope : twin.scopes)
            for (const QString& name : kNames) {
                TNamespaceItem* item = scope->FindItemByName(name);
                const auto at = item ? std::find(twin.decls.begin(), twin.decls.end(), item->GetElement()) : twin.decls.end();
                answers << QStringLiteral("%1 %2: %3 %4 %5")
                               .arg(scope->Label, name)
                               .arg(item ? int(at - twin.decls.begin()) : -1)
                               .arg(item ? item->GetName() : QString())
                               .arg(scope->IsNameTaken(name));
            }
        for (size_t i = 0; i < twin.decls.size(); ++i)
            if (twin.decls[i]) answers << QStringLiteral("state %1: %2").arg(i).arg(twin.decls[i]->Item()->State());
        return answers.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_F(LazyTwins, LazyConnectionsAnswerAndAnnounceAsEagerOnesThroughRandomEdits) {
    QRandomGenerator random(2718);
    for (int step = 0; step < 400; ++step) {
        const int kind = int(random.bounded(4));
        const int scope = int(random.bounded(4));
        const QString name = kNames[int(random.bounded(kNames.size()))];
        const size_t pick = eager.decls.empty() ? 0 : size_t(random.bounded(int(eager.decls.size())));
        for (TTwin* twin : {&eager, &lazy}) {
            TElement_TestDecl* decl = twin->decls.empty() ? nullptr : twin->decls[pick];
            if (kind == 0 || !decl) {
                twin->decls.push_back(AddDecl(twin->scopes[size_t(scope)], name));
            } else if (kind == 1) {
                decl->Rename(name);
            } else if (kind == 2) {
                decl->Enabled = !decl->Enabled;
                decl->Item()->NotifyEnabledChanged();
            } else {
                decl->Free();
                twin->decls[pick] = nullptr;
            }
        }
        ASSERT_EQ(Answers(lazy), Answers(eager)) << "step " << step;
        ASSERT_EQ(lazy.heard->Log.join(' ').toStdString(), eager.heard->Log.join(' ').toStdString()) << "step " << step;
    }
    // A walk over everything sees the same too, and from then on the lazy
    // links show everything.
    auto walk = [](const TTwin& twin, size_t scope) {
        QStringList seen;
        for (TNamespaceItem* item : SeenByWalk(twin.scopes[scope])) {
            const auto at = std::find(twin.decls.begin(), twin.decls.end(), item->GetElement());
            seen << QStringLiteral("%1 %2 through %3")
                        .arg(int(at - twin.decls.begin()))
                        .arg(item->GetName())
                        .arg(AsRuleItem(item).second.size());
        }
        return seen.join(QLatin1Char('\n')).toStdString();
    };
    for (size_t i = 0; i < eager.scopes.size(); ++i)
        EXPECT_EQ(walk(lazy, i), walk(eager, i)) << eager.scopes[i]->Label.toStdString();
    for (TTwin* twin : {&eager, &lazy}) twin->decls.push_back(AddDecl(twin->scopes[0], QStringLiteral("Delta")));
    EXPECT_EQ(Answers(lazy), Answers(eager));
    EXPECT_EQ(lazy.heard->Log.join(' ').toStdString(), eager.heard->Log.join(' ').toStdString());
}

// A lazy connection shows what is asked of it by path, and a scope whose
// declaration is named like one it reaches is marked when that name comes
// later, renamed into it, through a chain of lazy links.
TEST_F(NamingTest, LazyLinksFindByPathAndMarkANameThatComesLater) {
    TElement_TestScope* head = Scope(QStringLiteral("H"));
    TElement_TestScope* middle = Scope(QStringLiteral("M"));
    TElement_TestScope* inner = Scope(QStringLiteral("I"));
    TElement_TestLink* up = AddLink(middle, head, QString(), true);
    TElement_TestLink* down = AddLink(inner, middle, QString(), true);
    TElement_TestDecl* far = AddDecl(head, QStringLiteral("Other"));
    EXPECT_EQ(down->CoverCount(), 0) << "nothing asked yet";
    const QString path = QStringLiteral("%1.%2.%3").arg(down->Number()).arg(up->Number()).arg(far->Number());
    TNamespaceItem* found = inner->FindItemByPath(path);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetOriginal(), far->Item());
    EXPECT_EQ(found->GetPath(), path);
    EXPECT_EQ(down->CoverCount(), 1);

    TElement_TestDecl* local = AddDecl(inner, QStringLiteral("Count"));
    EXPECT_FALSE(local->Item()->IsDuplicate());
    TElement_TestDecl* other = AddDecl(head, QStringLiteral("Spare"));
    other->Rename(QStringLiteral("COUNT"));
    EXPECT_TRUE(local->Item()->IsDuplicate()) << "the name came into the scope by a rename far up";
    other->Rename(QStringLiteral("Spare"));
    EXPECT_FALSE(local->Item()->IsDuplicate());
    other->Free();
    EXPECT_FALSE(local->Item()->IsDuplicate());
}

// An item that many connections show: each finds its own cover whichever
// of them went before (the first few by the item's chain, the others by
// their index), and none finds one after it went.
TEST_F(NamingLinkTest, EachOfManyConnectionsFindsItsOwnCoverOfAnItemAsOthersGo) {
    TElement_TestDecl* decl = AddDecl(target, QStringLiteral("Shared"));
    std::vector<TElement_TestLink*> links;
    for (int i = 0; i < 12; ++i) links.push_back(AddLink(Scope("S" + QString::number(i)), target));
    for (int gone : {5, 0, 11, 2, 7}) {
        links[size_t(gone)]->SetTarget(nullptr);
        for (size_t i = 0; i < links.size(); ++i) {
            TNamespaceCoverItem* cover = links[i]->FindCover(decl->Item());
            if (!links[i]->Target()) {
                EXPECT_EQ(cover, nullptr) << i;
                continue;
            }
            ASSERT_NE(cover, nullptr) << i;
            EXPECT_EQ(cover->Connection(), links[i]);
        }
        links[size_t(gone)]->SetTarget(target);  // comes back after the others
        EXPECT_EQ(links[size_t(gone)]->FindCover(decl->Item())->Connection(), links[size_t(gone)]);
        links[size_t(gone)]->SetTarget(nullptr);
    }
}

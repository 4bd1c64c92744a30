// The knot tree: flags, lookup, read marks, typed values, reports and deep trees.

#include "support/testCaseRows.h"
#include "support/testStrings.h"
#include "core/cuKnot.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A knot tree from text with flags 0; the test fails on a syntax error.
TNodePtr<TKnot> Parse(const char* text, TKnotFlags flags = 0) {
    auto knot = TKnot::Create();
    knot->SetFlags(flags);
    EXPECT_TRUE(knot->LoadFromString(S(text))) << text;
    return knot;
}

// Flags

// Children inherit the flag word, not the corrections; paths name indexed
// items; a subtree moved to another parent takes over its flags.
TEST(KnotFlags, ChildrenInheritTheWordNotTheCorrections) {
    auto root = TKnot::Create(S("Session"));
    root->SetFlags(kfSettingsFile);
    TKnot* files = root->AddChild(S("Files"));
    files->SetFlagsAdded(kfIndexed);
    files->SetFlagsRemoved(kfSkipEmpty);
    TKnot* item = files->AddChild(S("Item"));
    EXPECT_EQ(files->Flags(), kfSettingsFile);
    EXPECT_EQ(files->GetFlags(), (kfSettingsFile & ~kfSkipEmpty) | kfIndexed);
    EXPECT_EQ(item->GetFlags(), kfSettingsFile);
    // Paths of indexed items and of parameters; a renamed knot's paths follow its name.
    TKnotParam* name = files->AddChild(S("Item"))->WriteStr(S("Name"), S("x.prm"));
    EXPECT_EQ(name->GetPath(), S("Session.Files.Item[2].Name"));
    EXPECT_EQ(files->GetPath(), S("Session.Files"));
    root->SetName(S("S"));
    EXPECT_EQ(name->GetPath(), S("S.Files.Item[2].Name"));

    auto other = TKnot::Create(S("Other"));
    other->SetFlags(kfDoubledQuotes);
    files->SetParentKnot(other.get());
    EXPECT_EQ(files->Flags(), kfDoubledQuotes);
    EXPECT_EQ(item->Flags(), kfDoubledQuotes);
    EXPECT_EQ(root->Flags(), kfSettingsFile);
}

// Lookup and read marks

TEST(KnotLookup, FindOperationsMatchExactlyAndMarkTheKnot) {
    auto root = Parse("<R p=\"1\" q><a/><A/><b/><a x=\"2\"/></R>");
    EXPECT_FALSE(root->FindParam(u"p")->WasRead());
    EXPECT_TRUE(root->HasParam(u"q"));  // HasParam marks the parameter, FindParam does not
    EXPECT_TRUE(root->FindParam(u"q")->WasRead());
    EXPECT_FALSE(root->FindParam(u"q")->HasValue());
    EXPECT_FALSE(root->HasParam(u"c"));
    EXPECT_EQ(root->FindChild(u"B"), nullptr);
    TKnot* first = root->FindChild(u"a");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->GetWasRead());
    EXPECT_EQ(first->FindParam(u"x"), nullptr);
    TKnot* second = first->FindNextSibling(u"a");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->ReadStr(u"x"), S("2"));
    EXPECT_EQ(second->FindNextSibling(u"a"), nullptr);
    EXPECT_FALSE(static_cast<TKnot*>(root->FirstChild()->NextSibling())->GetWasRead());  // "A"
    // Neighbours are marked read too.
    EXPECT_EQ(root->GetFirstChild()->GetNextSibling()->GetParentKnot(), root.get());
    EXPECT_TRUE(root->GetLastChild()->GetWasRead());
    EXPECT_TRUE(root->GetWasRead());
    EXPECT_EQ(root->GetParentKnot(), nullptr);
}

TEST(KnotLookup, FindOrAddChildAndFindPathAddOnlyWhatIsMissing) {
    auto root = TKnot::Create(S("R"));
    TKnot* a = root->FindOrAddChild(S("a"));
    EXPECT_TRUE(a->GetWasRead());
    EXPECT_EQ(root->FindOrAddChild(S("a")), a);
    EXPECT_EQ(root->FindPath(u"Sheet.Naming", false), nullptr);
    EXPECT_EQ(root->ChildCount(), 1);
    TKnot* naming = root->FindPath(u"Sheet.Naming", true);
    ASSERT_NE(naming, nullptr);
    EXPECT_EQ(naming->GetPath(), S("R.Sheet.Naming"));
    EXPECT_EQ(root->FindPath(u"Sheet.Naming", false), naming);
    EXPECT_EQ(root->FindPath(u"Sheet", false), naming->Parent());
}

TEST(KnotLookup, ReadMarksAndCollectUnread) {
    auto root = Parse("<R a=\"1\" b=\"2\"><Used c=\"3\" d=\"4\"><Deep e=\"5\"/></Used><Unused f=\"6\"/></R>");
    root->SetWasRead(true);
    EXPECT_EQ(root->ReadStr(u"a"), S("1"));
    TKnot* used = root->FindChild(u"Used");
    EXPECT_EQ(used->ReadInt(u"c", 0), 3);
    QList<TKnot*> knots;
    QList<TKnotParam*> params;
    EXPECT_TRUE(root->CollectUnread(&knots, &params, true));
    QStringList paths;
    for (TKnot* k : knots) paths << k->GetPath();
    for (TKnotParam* p : params) paths << p->GetPath();
    // A knot never read is reported whole; nothing below it is examined.
    EXPECT_EQ(paths, QStringList({S("R.Used.Deep"), S("R.Unused"), S("R.b"), S("R.Used.d")}));
    root->SetWasReadAll(true);
    EXPECT_FALSE(root->CollectUnread(nullptr, nullptr, true));
    root->SetWasReadAll(false);
    EXPECT_TRUE(root->CollectUnread(nullptr, nullptr, false));
    knots.clear();
    root->CollectUnread(&knots, nullptr, false);  // the top knot itself is not examined
    EXPECT_EQ(knots.size(), 2);
}

// Typed values

TEST(KnotValues, ReadStrAndReadBoolTable) {
    auto k = Parse("<R s=\"text\" none empty=\"\" one=\"1\" zero=\"0\" yes=\"true\"/>");
    for (const QStringList& row : CaseRows("knot/read-str-bool-cases.txt", 4)) {
        const QString read = row[0] == u"Str" ? k->ReadStr(row[1], row[2])
                                              : QString::number(k->ReadBool(row[1], row[2] == u"1"));
        EXPECT_EQ(read, row[3]) << row.join(u' ').toStdString();
    }
}

TEST(KnotValues, ReadIntTable) {
    for (const QStringList& row : CaseRows("knot/read-int-cases.txt", 4)) {
        auto k = TKnot::Create(S("R"));
        k->WriteStr(S("v"), row[0]);
        EXPECT_EQ(k->ReadInt(u"v", -7, row[1].toInt(), row[2].toInt()), row[3].toInt()) << row[0].toStdString();
    }
    EXPECT_EQ(TKnot::Create(S("R"))->ReadInt(u"missing", 42, 0, 10), 42);
}

// ReadView hands every kind as GetValue answers it and marks the parameter;
// a string read from text stays where the reader put it (GetValue gives the
// parameter a string of its own instead).
TEST(KnotValues, ReadViewAnswersAsGetValueWithoutAStringOfItsOwn) {
    auto k = Parse("<R s=\"text\" none empty=\"\"/>");
    k->WriteStream(S("Data"), QByteArray("\x01\xAB", 2));
    k->WriteStr(S("written"), S("w"));
    for (const char16_t* name : {u"s", u"none", u"empty", u"Data", u"written"}) {
        SCOPED_TRACE(QString::fromUtf16(name).toStdString());
        TKnotParam* p = k->FindParam(name);
        const QChar* before = p->ValueView().constData();
        const QString viewed = p->ReadView([](QStringView v) { return v.toString(); });
        EXPECT_TRUE(p->WasRead());
        EXPECT_EQ(p->ValueView().constData(), before);
        EXPECT_EQ(viewed, p->GetValue());
    }
    EXPECT_EQ(k->ReadStrView(u"missing", u"default", [](QStringView v) { return v.toString(); }), S("default"));
    EXPECT_EQ(k->ReadStrView(u"s", u"default", [](QStringView v) { return v.size(); }), 4);
}

// Writing streams as hexadecimal text is checked by the round trip.
TEST(KnotValues, ReadStreamDecodesHexAndRefusesBadText) {
    auto k = Parse("<R lower=\"01ab\" odd=\"1AB\" bad=\"0G\" empty=\"\"/>");
    k->WriteStream(S("Data"), QByteArray("\x01\xAB", 2));
    for (const QStringList& row : CaseRows("knot/read-stream-cases.txt", 3)) {
        SCOPED_TRACE(row[0].toStdString());
        QByteArray out("keep");
        EXPECT_EQ(k->ReadStream(row[0], out), row[1] == u"1");
        EXPECT_EQ(out.toHex(), row[2].toLatin1());
    }
    EXPECT_TRUE(k->FindParam(u"lower")->WasRead());
}

TEST(KnotValues, StreamReferenceIsWrittenFromTheCallersBytes) {
    QByteArray bytes("\x10", 1);
    auto k = TKnot::Create(S("R"));
    TKnotParam* p = k->WriteStreamRef(S("Ref"), &bytes);
    bytes.append('\x20');
    EXPECT_EQ(p->Kind(), pkStreamRef);
    EXPECT_EQ(k->SaveToString(), S("<R Ref=\"1020\"/>\r\n"));
    auto copy = TKnot::Create();
    copy->Assign(*k);
    EXPECT_EQ(copy->FindParam(u"Ref")->Stream(), &bytes);
    p->SetString(S("x"));
    EXPECT_EQ(p->Kind(), pkString);
}

TEST(KnotValues, WritesAddUnlessUniqueParams) {
    auto plain = TKnot::Create(S("R"));
    plain->WriteStr(S("a"), S("1"));
    plain->WriteStr(S("a"), S("2"));
    EXPECT_EQ(plain->ParamCount(), 2);
    EXPECT_EQ(plain->ReadStr(u"a"), S("1"));

    auto unique = TKnot::Create(S("R"));
    unique->SetFlags(kfUniqueParams);
    unique->WriteStr(S("a"), S("1"));
    unique->WriteStream(S("a"), QByteArray("\xFF", 1));
    unique->WriteInt(S("b"), -3);
    unique->WriteBool(S("a"), true);
    EXPECT_EQ(unique->ParamCount(), 2);
    EXPECT_EQ(unique->ReadStr(u"a"), S("1"));
    EXPECT_EQ(unique->ReadStr(u"b"), S("-3"));
}

TEST(KnotValues, DeletingAParameterUnlinksIt) {
    auto k = TKnot::Create(S("R"));
    TKnotParam* a = k->WriteStr(S("a"), S("1"));
    TKnotParam* b = k->WriteStream(S("b"), QByteArray("x"));
    TKnotParam* c = k->WriteStr(S("c"), S("3"));
    delete c;
    delete a;
    EXPECT_EQ(k->Params(), b);
    EXPECT_EQ(b->Next(), nullptr);
    k->WriteStr(S("d"), S("4"));  // appends after the last one left
    EXPECT_EQ(k->SaveToString(), S("<R b=\"78\" d=\"4\"/>\r\n"));
}

// Emptiness and copies

TEST(KnotEmpty, Table) {
    for (const QStringList& row : CaseRows("knot/empty-cases.txt", 4)) {
        auto k = Parse(row[0].toUtf8().constData());
        k->SetFlagsAdded(TKnotFlags(row[1].toInt()));
        if (TKnot* first = k->GetFirstChild()) first->SetFlagsAdded(TKnotFlags(row[2].toInt()));
        EXPECT_EQ(k->IsEmpty(), row[3] == u"1") << row[0].toStdString();
    }
}

TEST(KnotAssign, DeepCopyTakesFlagsFromTheNewPlace) {
    auto source = Parse("<S a=\"1\" n><C s=\"x\"><D/></C><E/></S>");
    source->SetFlagsAdded(kfIndexed);
    auto target = TKnot::Create(S("T"));
    target->SetFlags(kfDoubledQuotes);
    target->WriteStr(S("old"), S("gone"));
    target->AddChild(S("Old"));
    target->Assign(*source);
    EXPECT_EQ(target->SaveToString(), source->SaveToString());
    EXPECT_EQ(target->FlagsAdded(), kfIndexed);
    EXPECT_EQ(target->Flags(), kfDoubledQuotes);
    EXPECT_EQ(static_cast<TKnot*>(target->FirstChild()->FirstChild())->Flags(), kfDoubledQuotes);
    EXPECT_EQ(target->FindParam(u"a")->Knot(), target.get());
    // From one's own subtree; a subtree of a larger tree is saved with one line break at its end.
    TKnot* c = static_cast<TKnot*>(target->FirstChild());
    EXPECT_EQ(c->SaveToString(), S("<C s=\"x\">\r\n\t<D/>\r\n</C>\r\n"));
    target->Assign(*c);
    EXPECT_EQ(target->SaveToString(), S("<C s=\"x\">\r\n\t<D/>\r\n</C>\r\n"));
}

// Names

TEST(KnotNames, ValidExactlyWhenTheyReadBack) {
    for (const char* n : {"ProgramModule", "TessalyContent", "x1", "a.b-c_d:e\u00E9"}) EXPECT_TRUE(TKnot::IsValidName(S(n))) << n;
    const char* invalid[] = {"", "a b", "a\tb", "a/b", "a<b", "a=b", "a>b", "a\"b", "a&b", "a'b", "!x", "?x", "a\x01"};
    for (const char* n : invalid) EXPECT_FALSE(TKnot::IsValidName(S(n))) << n;
}

#ifndef QT_NO_DEBUG
TEST(KnotNamesDeathTest, WritingAnInvalidNameAsserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto k = TKnot::Create(S("R"));
    EXPECT_DEATH(k->WriteStr(S("a b"), S("1")), "not a valid");
    EXPECT_DEATH(k->AddChild(S("a<b")), "not a valid");
}
#endif

// Deep trees: nothing walks them recursively.

TEST(KnotDeepTrees, HundredThousandLevelsCopyWalkAndFree) {
    // Built top-down: adding a leaf costs the same at any depth (that it does
    // is measured in bench_knot; 100,000 levels took 14 s when it did not).
    constexpr int kDeep = 100000;
    TNodePtr<TKnot> root = TKnot::Create(S("k"));
    TKnot* leaf = root.get();
    for (int i = 1; i < kDeep; ++i) leaf = leaf->AddChild(S("k"));
    root->SetFlags(kfSkipEmpty);
    leaf->WriteStr(S("v"), S("1"));
    EXPECT_EQ(leaf->Flags(), kfSkipEmpty);
    EXPECT_FALSE(root->IsEmpty());
    root->SetWasReadAll(true);
    EXPECT_FALSE(root->CollectUnread(nullptr, nullptr, true));
    auto copy = TKnot::Create();
    copy->Assign(*root);
    int levels = 0;
    for (TKnot* k : PreOrder(copy.get())) {
        ++levels;
        if (!k->HasChildren()) {
            EXPECT_EQ(k->ReadStr(u"v"), S("1"));
        }
    }
    EXPECT_EQ(levels, kDeep);
    copy.reset();
    root->Clear();
    EXPECT_FALSE(root->HasChildren());
}

// Knots come from per-thread block caches; a tree built by one thread and freed
// by another (the preview's snapshot) must come out whole in both directions.
TEST(KnotPools, TreesBuiltAndFreedOnDifferentThreads) {
    auto build = [](int count) {
        TNodePtr<TKnot> root = TKnot::Create(S("R"));
        for (int i = 0; i < count; ++i) root->AddChild(S("K"))->WriteInt(S("ID"), i);
        return root;
    };
    TNodePtr<TKnot> fromThread;
    std::thread([&] { fromThread = build(50000); }).join();
    EXPECT_EQ(fromThread->ChildCount(), 50000);
    EXPECT_EQ(static_cast<TKnot*>(fromThread->LastChild())->ReadInt(u"ID", -1), 49999);
    fromThread.reset();
    TNodePtr<TKnot> fromMain = build(50000);
    std::thread([&] { fromMain.reset(); }).join();
    TNodePtr<TKnot> again = build(1000);
    EXPECT_EQ(static_cast<TKnot*>(again->FirstChild())->ReadInt(u"ID", -1), 0);
}

// A derived knot is told when its children change; freeing other knots from
// there while its own subtree is being freed must not disturb that freeing.
class TNotifyingKnot : public TKnot {
public:
    TNodePtr<TKnot>* other = nullptr;
    void ChildrenChanged() override {
        if (other) other->reset();
    }
};

TNodePtr<TKnot> Bushy() {
    TNodePtr<TKnot> k = TKnot::Create(S("B"));
    for (int i = 0; i < 3; ++i) k->AddChild(S("C"))->AddChild(S("D"))->WriteInt(S("n"), i);
    return k;
}

// Also when the derived knot sits inside a tree freed through Free: its
// children go first, and it hears of it.
TEST(KnotFreeing, FreeingKnotsFromANotificationWhileClearingOrFreeing) {
    TNodePtr<TKnot> other = Bushy();
    auto root = MakeNode<TNotifyingKnot>();
    for (int i = 0; i < 3; ++i) Bushy().release()->SetParentKnot(root.get());
    root->other = &other;
    root->Clear();
    EXPECT_EQ(other, nullptr);
    EXPECT_FALSE(root->HasChildren());

    auto tree = TKnot::Create(S("R"));
    other = Bushy();
    root->AddChild(S("X"))->AddChild(S("Y"));
    tree->AddChild(S("A"))->AddChild(S("B"));
    root.release()->SetParentKnot(static_cast<TKnot*>(tree->FirstChild()));
    tree.reset();
    EXPECT_EQ(other, nullptr);
}

}  // namespace

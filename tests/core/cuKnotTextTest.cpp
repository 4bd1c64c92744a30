// Knot text: golden bytes of the writer, the reader's rules and errors,
// encodings, files and the fuzz corpus.

#include "core/cuKnot.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "support/testCorpus.h"
#include "support/testRaise.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <sys/stat.h>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <gtest/gtest.h>

using namespace std::literals;

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

// ---------------------------------------------------------------------------
// Writer: golden text for every feature and flag

struct TGolden {
    const char* name;
    std::function<void(TKnot&)> build;  // on a root named "R" with flags 0
    std::string_view text;
};

void Flag(TKnot* k, TKnotFlags added) { k->SetFlagsAdded(added); }

const TGolden kGolden[] = {
    {"EmptyElement", [](TKnot&) {}, "<R/>\r\n"},
    {"ChildrenWithoutParameters",
     [](TKnot& r) { r.AddChild(S("A"))->AddChild(S("B")); },
     "<R>\r\n\t<A>\r\n\t\t<B/>\r\n\t</A>\r\n</R>\r\n"},
    {"NameOnlyParameter", [](TKnot& r) { r.AddParam(S("Flag")); r.WriteStr(S("a"), S("1")); },
     "<R Flag a=\"1\"/>\r\n"},
    {"EntityEscaping",
     [](TKnot& r) { r.WriteStr(S("v"), QString::fromUtf16(u"&<>\"\t\n\r\x01\x1F a/b\u00A0\U0001F600")); },
     "<R v=\"&amp;&lt;&gt;&quot;&#9;&#10;&#13;&#1;&#31; a/b\u00A0\U0001F600\"/>\r\n"},
    {"EntityModeWritesZeroAsItIs", [](TKnot& r) { r.WriteStr(S("v"), QString(QChar(0))); },
     "<R v=\"\0\"/>\r\n"sv},
    {"StreamQuoted", [](TKnot& r) { r.WriteStream(S("Data"), QByteArray("\x01\xAB\x00\xFF", 4)); },
     "<R Data=\"01AB00FF\"/>\r\n"},
    {"StreamUnquoted",
     [](TKnot& r) {
         Flag(&r, kfUnquotedValues);
         r.WriteStream(S("Data"), QByteArray("\x01\xAB", 2));
         r.WriteStream(S("Empty"), QByteArray());
     },
     "<R Data=01AB Empty=/>\r\n"},
    {"UnquotedValues",
     [](TKnot& r) {
         Flag(&r, kfUnquotedValues);
         r.WriteStr(S("plain"), S("Abc123"));
         r.WriteStr(S("space"), S("a b"));
         r.WriteStr(S("slash"), S("a/b"));
         r.WriteStr(S("gt"), S("a>b"));  // escaped to &gt;, so no quotes are needed
         r.WriteStr(S("tab"), S("a\tb"));
         r.WriteStr(S("empty"), QString());
         r.WriteStr(S("next"), S("1"));
     },
     "<R plain=Abc123 space=\"a b\" slash=\"a/b\" gt=a&gt;b tab=a&#9;b empty= next=1/>\r\n"},
    {"DoubledQuotes",
     [](TKnot& r) {
         Flag(&r, kfDoubledQuotes);
         r.WriteStr(S("q"), S("a\"b"));
         r.WriteStr(S("lt"), S("<&lt;>"));
         r.WriteStr(S("lf"), S("a\r\nb"));
     },
     "<R q=\"a\"\"b\" lt=\"<&amp;lt;>\" lf=\"a\r\nb\"/>\r\n"},
    {"DoubledQuotesUnquoted",
     [](TKnot& r) {
         Flag(&r, kfDoubledQuotes | kfUnquotedValues);
         r.WriteStr(S("q"), S("\""));
         r.WriteStr(S("lt"), S("a<b&c"));
         r.WriteStr(S("gt"), S("a>b"));
         r.WriteStr(S("path"), S("C:\\x y\\z.prm"));
     },
     "<R q=\"\"\"\" lt=a<b&amp;c gt=\"a>b\" path=\"C:\\x y\\z.prm\"/>\r\n"},
    {"SkipEmpty",
     [](TKnot& r) {
         Flag(&r, kfSkipEmpty);
         r.AddChild(S("Empty"))->AddChild(S("AlsoEmpty"));
         r.AddChild(S("Full"))->WriteStr(S("a"), S("1"));
         TKnot* list = r.AddChild(S("List"));
         list->SetFlagsAdded(kfIndexed);
         list->AddChild(S("Item"));
     },
     "<R>\r\n\t<Full a=\"1\"/>\r\n\t<List>\r\n\t\t<Item/>\r\n\t</List>\r\n</R>\r\n"},
    {"SkipEmptyWithNothingLeft",
     [](TKnot& r) {
         Flag(&r, kfSkipEmpty);
         r.AddChild(S("Empty"));
     },
     "<R>\r\n</R>\r\n"},
    {"NoIndent",
     [](TKnot& r) {
         TKnot* a = r.AddChild(S("A"));
         Flag(a, kfNoIndent);
         a->AddChild(S("B"));
     },
     "<R>\r\n<A>\r\n\t\t<B/>\r\n</A>\r\n</R>\r\n"},
    {"NoLineBreaks",
     [](TKnot& r) {
         TKnot* a = r.AddChild(S("A"));
         Flag(a, kfNoLineBreaks);
         a->AddChild(S("B"));
         a->AddChild(S("C"));
         r.AddChild(S("D"));
     },
     "<R>\r\n\t<A><B/>\r\n\t\t<C/>\r\n\t</A><D/>\r\n</R>\r\n"},
    {"NoLineBreaksWholeTree",
     [](TKnot& r) {
         r.SetFlags(kfNoLineBreaks);
         r.AddChild(S("A"))->AddChild(S("B"));
         r.AddChild(S("C"));
     },
     "<R><A><B/></A><C/></R>\r\n"},
    {"SameLine",
     [](TKnot& r) {
         r.AddChild(S("A"));
         Flag(r.AddChild(S("B")), kfSameLine);
         Flag(r.AddChild(S("C")), kfSameLine);
         r.AddChild(S("D"));
     },
     "<R>\r\n\t<A/><B/><C/>\r\n\t<D/>\r\n</R>\r\n"},
    {"IndexedChangesNothingWritten",
     [](TKnot& r) {
         Flag(&r, kfIndexed);
         r.AddChild(S("Item"));
     },
     "<R>\r\n\t<Item/>\r\n</R>\r\n"},
    {"SettingsFile",
     [](TKnot& r) {
         r.SetName(S("Quillane"));
         r.SetFlags(kfSettingsFile);
         r.WriteStr(S("Lang"), S("en"));
         r.WriteStr(S("Lang"), S("de"));
         r.WriteStr(S("Folder"), S("/home/u/My \"Schemes\""));
         r.WriteStr(S("Empty"), QString());
         r.WriteBool(S("Flag"), true);
         TKnot* files = r.AddChild(S("Files"));
         files->SetFlagsAdded(kfIndexed);
         files->AddChild(S("Item"))->WriteStr(S("Name"), S("a.prm"));
         r.AddChild(S("Unused"));
     },
     "<Quillane Lang=de Folder=\"/home/u/My \"\"Schemes\"\"\" Empty= Flag=1>\r\n\t<Files>\r\n"
     "\t\t<Item Name=a.prm/>\r\n\t</Files>\r\n</Quillane>\r\n"},
};

class KnotWriterGolden : public ::testing::TestWithParam<TGolden> {};

TEST_P(KnotWriterGolden, WritesExactTextAndReadsItBack) {
    const TGolden& g = GetParam();
    auto root = TKnot::Create(S("R"));
    g.build(*root);
    const QString expected = QString::fromUtf8(g.text.data(), qsizetype(g.text.size()));
    EXPECT_EQ(root->SaveToString().toUtf8(), expected.toUtf8());
    // Local flag corrections are not part of the text, so only the syntax is checked here.
    auto back = TKnot::Create();
    EXPECT_TRUE(back->LoadFromString(expected));
}

INSTANTIATE_TEST_SUITE_P(All, KnotWriterGolden, ::testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KnotWriter, SettingsExampleInEveryEncoding) {
    auto root = TKnot::Create(S("Settings"));
    root->WriteStr(S("Lang"), S("en"));
    TKnot* window = root->AddChild(S("Window"));
    window->WriteInt(S("Left"), 10);
    window->WriteStr(S("Title"), S("a \"b\""));
    const QByteArray text("<Settings Lang=\"en\">\r\n\t<Window Left=\"10\" Title=\"a &quot;b&quot;\"/>\r\n</Settings>\r\n");
    EXPECT_EQ(root->SaveToBytes(TKnotEncoding::Utf8), "\xEF\xBB\xBF" + text);
    EXPECT_EQ(root->SaveToBytes(TKnotEncoding::Ansi), text);
    QByteArray le("\xFF\xFE"), be("\xFE\xFF");
    for (char c : text) {
        le += c;
        le += '\0';
        be += '\0';
        be += c;
    }
    EXPECT_EQ(root->SaveToBytes(TKnotEncoding::Utf16LE), le);
    EXPECT_EQ(root->SaveToBytes(TKnotEncoding::Utf16BE), be);
    for (TKnotEncoding e : {TKnotEncoding::Ansi, TKnotEncoding::Utf8, TKnotEncoding::Utf16LE, TKnotEncoding::Utf16BE}) {
        auto back = TKnot::Create();
        ASSERT_TRUE(back->LoadFromBytes(root->SaveToBytes(e)));
        EXPECT_EQ(back->SaveToBytes(TKnotEncoding::Ansi), text);
    }
}

TEST(KnotWriter, NonAsciiInEveryEncoding) {
    auto root = TKnot::Create(S("R\u00E9"));
    root->WriteStr(S("v"), QString::fromUtf16(u"\u00A0\u20AC\U0001F600"));
    for (TKnotEncoding e : {TKnotEncoding::Ansi, TKnotEncoding::Utf8, TKnotEncoding::Utf16LE, TKnotEncoding::Utf16BE}) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        buffer.write("junk");
        root->SaveToStream(buffer, e);
        buffer.seek(4);  // from the current position to the end
        auto back = TKnot::Create();
        ASSERT_TRUE(back->LoadFromStream(buffer));
        EXPECT_EQ(back->Name(), root->Name());
        EXPECT_EQ(back->ReadStr(u"v"), root->ReadStr(u"v"));
    }
}

TEST(KnotWriter, SubtreeOfALargerTreeEndsWithOneLineBreak) {
    auto root = TKnot::Create(S("R"));
    TKnot* a = root->AddChild(S("A"));
    a->AddChild(S("B"));
    root->AddChild(S("C"));
    EXPECT_EQ(a->SaveToString(), S("<A>\r\n\t<B/>\r\n</A>\r\n"));
}

// A chain of knots named "k", depth levels deep; the deepest is returned in leaf.
TNodePtr<TKnot> Chain(int depth, TKnot*& leaf) {
    auto root = TKnot::Create(S("k"));
    leaf = root.get();
    for (int i = 1; i < depth; ++i) leaf = leaf->AddChild(S("k"));
    return root;
}

// A tree deeper than the reader reads was saved as a file that could not be read back.
TEST(KnotWriter, RegressionTreeDeeperThanTheReaderReadsIsRefused) {
    TKnot* leaf;
    auto root = Chain(TKnot::MaxDepth, leaf);
    auto back = TKnot::Create();
    EXPECT_TRUE(back->LoadFromBytes(root->SaveToBytes(TKnotEncoding::Utf8)));
    leaf->AddChild(S("k"));
    QTemporaryDir dir;
    const QString name = dir.filePath(S("deep.settings"));
    EXPECT_EQ(RaisedId([&] { root->SaveToFile(name, TKnotEncoding::Utf8); }), strKnotTooDeep);
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_EQ(RaisedId([&] { root->SaveToString(); }), strKnotTooDeep);
}

// Indentation by depth made a 70 KB tree at the depth limit save as 100 MB.
TEST(KnotWriter, RegressionIndentationOfDeepTreesIsCapped) {
    TKnot* leaf;
    auto root = Chain(TKnot::MaxDepth, leaf);
    const QByteArray bytes = root->SaveToBytes(TKnotEncoding::Ansi);
    EXPECT_LT(bytes.size(), 1000000);
    EXPECT_TRUE(bytes.contains("\r\n" + QByteArray(32, '\t') + "<k>"));
    EXPECT_FALSE(bytes.contains(QByteArray(33, '\t')));
}

// ---------------------------------------------------------------------------
// Reader: what it accepts

struct TReadCase {
    const char* name;
    const char* text;
    bool ok;
    std::string_view kept;  // the tree read, as written back with flags 0
};

const TReadCase kReads[] = {
    // Layout the writer never makes, read alike.
    {"SpaceBeforeEmptyClose", "<R />", true, "<R/>\r\n"},
    {"SpacesInsideTags", "< R a=\"1\"\t/ >", true, "<R a=\"1\"/>\r\n"},
    {"SpacesInClosingTag", "<R><A></A>< / R>", true, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"NoWhitespaceAtAll", "<R a=1><A b/><B/></R>", true, "<R a=\"1\">\r\n\t<A b/>\r\n\t<B/>\r\n</R>\r\n"},
    {"WhitespaceAfterRoot", "\r\n <R/> \r\n\t", true, "<R/>\r\n"},
    {"UnquotedValueEndsAtSlash", "<R a=x/>", true, "<R a=\"x\"/>\r\n"},
    {"EmptyUnquotedValueIsNameAlone", "<R a= b=1/>", true, "<R a b=\"1\"/>\r\n"},
    {"EmptyQuotedValueIsEmptyString", "<R a=\"\"/>", true, "<R a=\"\"/>\r\n"},
    {"DuplicateParametersKept", "<R a=1 a=2/>", true, "<R a=\"1\" a=\"2\"/>\r\n"},
    {"DoubledQuotes", "<R a=\"x\"\"y\" b=x\"\"y c=\"\"\"\"/>", true, "<R a=\"x&quot;y\" b=\"x&quot;y\" c=\"&quot;\"/>\r\n"},
    {"QuotesInsideUnquotedValue", "<R a=x\"y z\"w/>", true, "<R a=\"x&quot;y z&quot;w\"/>\r\n"},
    {"Entities", "<R a=\"&#65;&#0;&lt;&gt;&quot;&amp;\"/>", true, "<R a=\"A\0&lt;&gt;&quot;&amp;\"/>\r\n"sv},
    {"UnknownEntitiesStay", "<R a=\"&LT;&#65536;&#x41;&foo;&#;&\"/>", true,
     "<R a=\"&amp;LT;&amp;#65536;&amp;#x41;&amp;foo;&amp;#;&amp;\"/>\r\n"},
    {"AmpersandWithoutSemicolon", "<R a=\"x&y &lt;\"/>", true, "<R a=\"x&amp;y &lt;\"/>\r\n"},
    {"SurrogatePairByEntities", "<R a=\"&#55357;&#56832;\"/>", true, "<R a=\"\U0001F600\"/>\r\n"},
    {"Prologue", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<R/>", true, "<R/>\r\n"},
    {"PrologueWithSpace", "< ?xml?><R/>", true, "<R/>\r\n"},
    // Syntax errors: the load fails and what was read stays.
    {"EmptyText", "", false, ""},
    {"OnlyWhitespace", " \r\n", false, ""},
    {"NoOpeningBracket", "R/>", false, ""},
    {"TruncatedPrologue", "<?xml version=\"1.0\"", false, ""},
    {"PrologueWithoutRoot", "<?xml?>", false, ""},
    {"Comment", "<R><A/><!-- note --><B/></R>", false, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"CommentBeforeRoot", "<!-- note --><R/>", false, ""},
    {"TextContent", "<R><A/>text<B/></R>", false, "<R>\r\n\t<A/>\r\n\t<B/>\r\n</R>\r\n"},
    {"TextAfterClosingTag", "<R><A></A>text<B/></R>", false, "<R>\r\n\t<A/>\r\n\t<B/>\r\n</R>\r\n"},
    {"TextAfterRoot", "<R/>text", false, "<R/>\r\n"},
    {"SecondRoot", "<R/><S/>", false, "<R/>\r\n"},
    {"WrongClosingName", "<R><A></B></R>", false, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"ClosingNameIsLonger", "<R><A></AB></R>", false, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"SpaceBeforeClosingBracket", "<R><A></A ></R>", false, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"TruncatedQuote", "<R><A a=\"x/></R>", false, "<R>\r\n\t<A a/>\r\n</R>\r\n"},
    {"EndInsideTag", "<R a=1", false, "<R a=\"1\"/>\r\n"},
    {"EndBeforeClosingTag", "<R><A/>", false, "<R>\r\n\t<A/>\r\n</R>\r\n"},
    {"SpaceBeforeEquals", "<R a =\"1\"/>", false, "<R a/>\r\n"},
    {"SpaceAfterEqualsBeforeQuote", "<R a= \"1\"/>", false, "<R a/>\r\n"},
    {"QuoteAfterName", "<R a\"1\"/>", false, "<R a/>\r\n"},
    {"EqualsAfterElementName", "<R=1/>", false, "<R/>\r\n"},
    {"SlashNotFollowedByBracket", "<R/ a>", false, "<R/>\r\n"},
    {"BracketInsideTag", "<R <A/>", false, "<R/>\r\n"},
    {"EmptyElementName", "<R></R><>", false, "<R/>\r\n"},
    {"EmptyChildName", "<R>< /></R>", false, "<R/>\r\n"},
    {"ProcessingInstructionInside", "<R><?pi x?></R>", false, "<R/>\r\n"},
    {"RootNamedLikeAPrologueAfterOne", "<?xml?><?R/>", false, ""},
};

class KnotReaderCases : public ::testing::TestWithParam<TReadCase> {};

TEST_P(KnotReaderCases, ResultAndKeptTree) {
    const TReadCase& c = GetParam();
    auto knot = TKnot::Create();
    const QString text = QString::fromUtf8(c.text, qsizetype(std::strlen(c.text)));
    EXPECT_EQ(knot->LoadFromString(text), c.ok);
    EXPECT_EQ(knot->LoadFailed(), !c.ok);
    const QString kept = QString::fromUtf8(c.kept.data(), qsizetype(c.kept.size()));
    if (!knot->Name().isEmpty() || knot->HasChildren()) EXPECT_EQ(knot->SaveToString(), kept);
    else EXPECT_EQ(QString(), kept);
    // The same through bytes.
    auto fromBytes = TKnot::Create();
    EXPECT_EQ(fromBytes->LoadFromBytes(QByteArray(c.text)), c.ok);
}

INSTANTIATE_TEST_SUITE_P(All, KnotReaderCases, ::testing::ValuesIn(kReads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KnotReader, LoadReplacesEverythingWithAnUnreadTreeOfTheInheritedFlags) {
    auto knot = TKnot::Create(S("Old"));
    knot->SetFlags(kfSettingsFile);
    knot->WriteStr(S("x"), S("1"));
    knot->SetFlagsAdded(kfIndexed);
    EXPECT_FALSE(knot->LoadFromString(S("<R>text</R>")));
    EXPECT_TRUE(knot->LoadFailed());
    ASSERT_TRUE(knot->LoadFromString(S("<S a=\"1\"><A b><B/></A></S>")));
    EXPECT_FALSE(knot->LoadFailed());
    EXPECT_EQ(knot->Name(), S("S"));
    EXPECT_EQ(knot->FlagsAdded(), 0);
    EXPECT_EQ(static_cast<TKnot*>(knot->FirstChild()->FirstChild())->Flags(), kfSettingsFile);
    EXPECT_FALSE(knot->GetWasRead());
    QList<TKnot*> knots;
    QList<TKnotParam*> params;
    EXPECT_TRUE(knot->CollectUnread(&knots, &params, false));
    EXPECT_EQ(knots.size(), 1);
    EXPECT_EQ(params.size(), 1);
}

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

int Depth(const TKnot& knot) {
    int depth = 1;
    for (const TNode* n = &knot; n->FirstChild(); n = n->FirstChild()) ++depth;
    return depth;
}

TEST(KnotReader, DepthBombFailsWithoutExhaustingTheStack) {
    auto knot = TKnot::Create();
    EXPECT_FALSE(knot->LoadFromBytes(QByteArray::fromStdString(Nested(100000))));
    EXPECT_EQ(Depth(*knot), TKnot::MaxDepth);
    EXPECT_TRUE(knot->LoadFromBytes(QByteArray::fromStdString(Nested(TKnot::MaxDepth))));
    EXPECT_EQ(Depth(*knot), TKnot::MaxDepth);
    std::string unclosed;
    for (int i = 0; i < 100000; ++i) unclosed += "<a x=1>";
    EXPECT_FALSE(knot->LoadFromBytes(QByteArray::fromStdString(unclosed)));
    EXPECT_EQ(Depth(*knot), TKnot::MaxDepth);
}

TEST(KnotReader, InvalidUtf8IsReplacedNotFatal) {
    auto knot = TKnot::Create();
    EXPECT_TRUE(knot->LoadFromBytes(QByteArray("<R a=\"\xFF\xC3\"/>")));
    EXPECT_EQ(knot->ReadStr(u"a").size(), 2);
    EXPECT_TRUE(knot->LoadFromBytes(QByteArray("\xFF\xFE<\0R\0/\0>\0\x01", 11)));  // odd byte ignored
    EXPECT_EQ(knot->Name(), S("R"));
}

// ---------------------------------------------------------------------------
// Files

// Failures of the file and stream layer raise their own texts.
TEST(KnotFiles, ErrorsRaiseTheirTexts) {
    QTemporaryDir dir;
    auto knot = TKnot::Create(S("R"));
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(dir.filePath(S("missing.settings"))); }), strFileNotFound);
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(dir.path()); }), strCannotReadFile);  // a folder
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_EQ(RaisedId([&] { knot->SaveToStream(readOnly, TKnotEncoding::Utf8); }), strCannotWriteFile);
}

TEST(KnotFiles, SaveToFileWritesTheSameBytesAndReadsBack) {
    QTemporaryDir dir;
    const QString name = dir.filePath(S("a.prm"));
    auto knot = TKnot::Create(S("ProgramModule"));
    knot->WriteStr(S("FormatVersion"), S("1.1"));
    knot->SaveToFile(name, TKnotEncoding::Utf8);
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), knot->SaveToBytes(TKnotEncoding::Utf8));
    auto back = TKnot::Create();
    EXPECT_TRUE(back->LoadFromFile(name));
    EXPECT_EQ(back->ReadStr(u"FormatVersion"), S("1.1"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{S("a.prm")});
}

// Reading /dev/zero or a pipe never ended and ran out of memory after gigabytes.
TEST(KnotFiles, RegressionFileThatNeverEndsIsRefused) {
    auto knot = TKnot::Create();
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(S("/dev/zero")); }), strCannotReadFile);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(S("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(fifo); }), strCannotReadFile);  // not waiting for a writer
}

// Running out of memory while reading escaped as std::bad_alloc instead of the load error.
TEST(KnotFiles, RegressionOutOfMemoryWhileReadingIsALoadError) {
    struct TExhaustedDevice : QIODevice {
        qint64 readData(char*, qint64) override { throw std::bad_alloc(); }
        qint64 writeData(const char*, qint64) override { return -1; }
        bool isSequential() const override { return true; }
    } device;
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    auto knot = TKnot::Create();
    EXPECT_EQ(RaisedId([&] { knot->LoadFromStream(device); }), strCannotReadFile);
}

// ---------------------------------------------------------------------------
// The fuzz corpus, replayed: no input may crash, leak or hang the reader, and
// what parsed must write and read back to the same text.

TEST(KnotFuzzCorpus, EveryInputReadsSafely) {
    const int files = ReplayCorpus("knot-corpus", [](const QByteArray& bytes) {
        for (TKnotFlags flags : {TKnotFlags(0), kfSettingsFile}) {
            auto knot = TKnot::Create();
            knot->SetFlags(flags);
            if (!knot->LoadFromBytes(bytes)) continue;
            const QString first = knot->SaveToString();
            auto again = TKnot::Create();
            again->SetFlags(flags);
            EXPECT_TRUE(again->LoadFromString(first));
            const QString second = again->SaveToString();
            if (!(flags & kfUnquotedValues)) {
                EXPECT_TRUE(second == first);
            }
        }
        auto fromText = TKnot::Create();
        fromText->LoadFromString(QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2));
    });
    EXPECT_GE(files, 5);
}

// Names read from text are shared by the whole process up to a bound; past it
// they are ordinary strings. Both kinds must read back exactly, outlive their
// tree, and come out the same from UTF-8 and UTF-16 text.
TEST(KnotReader, ManyDistinctNamesPastTheSharedNameBoundReadBackExactly) {
    constexpr int kCount = 12000;  // about 360,000 characters of names, past the bound
    auto nameOf = [](int i) { return QStringLiteral("Name_%1_\u00E9_padding_xx").arg(i); };
    QString text = QStringLiteral("<Root>");
    for (int i = 0; i < kCount; ++i) text += u'<' + nameOf(i) + u' ' + nameOf(i) + QStringLiteral("=v/>");
    text += QStringLiteral("</Root>");
    for (bool utf8 : {true, false}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "UTF-16");
        QStringList names;
        {
            auto root = TKnot::Create();
            ASSERT_TRUE(utf8 ? root->LoadFromBytes(text.toUtf8()) : root->LoadFromString(text));
            int i = 0;
            for (TKnot* k = root->GetFirstChild(); k; k = k->GetNextSibling(), ++i) {
                ASSERT_EQ(k->Name(), nameOf(i));
                ASSERT_EQ(k->Params()->Name(), nameOf(i));
                names << k->Name() << k->Params()->Name();
            }
            ASSERT_EQ(i, kCount);
        }
        for (int i = 0; i < kCount; ++i) ASSERT_EQ(names[2 * i], nameOf(i)) << "a name must outlive its tree";
    }
}

// UTF-8 text is scanned sixteen bytes at a time where the text goes on that
// far, and one byte at a time near its end; short plain quoted values, short
// names and ASCII values with entity references take shortcuts of their own.
// Whatever the path, bytes must read exactly as the same text in UTF-16.
TEST(KnotReader, Utf8ShortcutsReadLikeUtf16Text) {
    const std::string name15(15, 'n'), name16(16, 'n'), name17(17, 'n');
    const std::string value15(15, 'v'), value16(16, 'v'), value17(17, 'v'), value512(512, 'w'), value513(513, 'w');
    std::vector<std::string> cases = {
        "<" + name15 + " " + name16 + "=\"" + value15 + "\" " + name17 + "=\"" + value16 + "\"/>",
        "<R a=\"" + value17 + "\" b=\"" + value512 + "\" c=\"" + value513 + "\"/>",
        "<R a=\"" + value512 + "&amp;\" b=\"" + value513 + "&lt;\"/>",
        "<R>\r\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t<" + name16 + "/>\r\n  \t \r\n</R>",
        "<R a=\"x\"y b=\"x\"\"y\" c=\"x\"/d=\"z\">",            // a quote not followed by the end of the value
        "<R a=\"x\"></R>",
        "<R a=\"1\"\t b=\"2\"\r\nc=\"3\"/>",
        "<R a=\"caf\xC3\xA9\" b=\"\xE2\x82\xAC&amp;\" c=\"x&amp;\xC3\xA9\"/>",  // non-ASCII values
        "<R a=\"a &lt; b &amp; &quot;c&quot; &#233;&#65;\" b=\"&\" c=\"&amp\" d=\"&#;&#12345678;&#x41;&zz;x\"/>",
        "<R a=\"&amp;&\" b=\"x&y;z&lt;\" c=\"&lt;&\"/>",
        "<R\x01x a\x1Fz=\"1\"/>",                                  // control bytes inside names
        "<R caf\xC3\xA9=\"1\" \xE2\x82\xAC\xE2\x82\xAC=\"2\"/>",  // non-ASCII names
        "<R a=\"unterminated/>",
        "<R a=\"x\"",
        "<" + name16,
        "<R " + name16 + "=\"" + value16 + "\"",
    };
    for (const TReadCase& c : kReads) cases.emplace_back(c.text);
    for (const std::string& text : cases) {
        for (int pad : {0, 1, 7, 15, 16, 17, 40}) {
            const std::string padded = text + std::string(size_t(pad), ' ');
            SCOPED_TRACE(padded);
            auto fromBytes = TKnot::Create();
            auto fromText = TKnot::Create();
            const bool okBytes = fromBytes->LoadFromBytes(QByteArray(padded.data(), qsizetype(padded.size())));
            const bool okText = fromText->LoadFromString(QString::fromUtf8(padded.data(), qsizetype(padded.size())));
            EXPECT_EQ(okBytes, okText);
            EXPECT_EQ(fromBytes->SaveToString(), fromText->SaveToString());
            for (TKnotParam* p = fromBytes->Params(), *q = fromText->Params(); p && q; p = p->Next(), q = q->Next()) {
                EXPECT_EQ(p->Value(), q->Value());
                if (!p->Value().isEmpty()) {
                    EXPECT_EQ(p->Value().constData()[p->Value().size()], QChar(0)) << "values end with a NUL";
                }
            }
        }
    }
}

// Values share blocks of text that live as long as any value in them: values
// handed out (read, copied, assigned) are strings of their own and stay
// intact after the tree is freed, and the blocks go once the last of them
// goes (a leak or a read of freed memory would be reported).
TEST(KnotReader, ValuesKeptFromManyTextBlocksOutliveTheirTree) {
    QByteArray text = "<R>";
    for (int i = 0; i < 20000; ++i) text += "<A v=\"value_" + QByteArray::number(i) + "\" w=\"a&amp;" + QByteArray::number(i) + "\"/>";
    text += "</R>";
    QStringList kept;
    auto copy = TKnot::Create();
    {
        auto root = TKnot::Create();
        ASSERT_TRUE(root->LoadFromBytes(text));
        copy->Assign(*root->GetLastChild());
        int i = 0;
        for (TKnot* k = root->GetFirstChild(); k; k = k->GetNextSibling(), ++i)
            if (i % 997 == 0) kept << k->ReadStr(u"v") << k->FindParam(u"w")->Value();
    }
    ASSERT_EQ(kept.size(), 2 * 21);
    for (int j = 0; j < 21; ++j) {
        EXPECT_EQ(kept[2 * j], QStringLiteral("value_%1").arg(j * 997));
        EXPECT_EQ(kept[2 * j + 1], QStringLiteral("a&%1").arg(j * 997));
    }
    EXPECT_EQ(copy->ReadStr(u"w"), QStringLiteral("a&19999"));
}

// A U+FEFF at the start of a name or value read from UTF-8 text was taken for
// a byte-order mark and dropped, though UTF-16 text kept it.
TEST(KnotReader, ByteOrderMarkAtTheStartOfANameOrValueIsKept) {
    const QString bom(QChar(0xFEFF));
    const QString text = QString::fromUtf16(u"<R \uFEFFa=\"\uFEFFx\" b=\"\uFEFF\u00E9\" c=\"\uFEFF&amp;\"><\uFEFFC/></R>");
    for (bool utf8 : {true, false}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "UTF-16");
        auto knot = TKnot::Create();
        ASSERT_TRUE(utf8 ? knot->LoadFromBytes(text.toUtf8()) : knot->LoadFromString(text));
        ASSERT_TRUE(knot->Params());
        EXPECT_EQ(knot->Params()->Name(), bom + u'a');
        EXPECT_EQ(knot->ReadStr(bom + u'a'), bom + u'x');
        EXPECT_EQ(knot->ReadStr(u"b"), bom + QChar(0xE9));
        EXPECT_EQ(knot->ReadStr(u"c"), bom + u'&');
        ASSERT_TRUE(knot->GetFirstChild());
        EXPECT_EQ(knot->GetFirstChild()->Name(), bom + u'C');
    }
}

}  // namespace

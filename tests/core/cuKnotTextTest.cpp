// Knot text: golden bytes of the writer, the reader's rules and errors,
// encodings, files and the fuzz corpus.

#include "core/cuKnot.h"
#include "support/testStrings.h"
#include "core/cuStringIds.h"
#include "support/testCorpus.h"
#include "support/testCaseRows.h"
#include "support/testRaise.h"

#include <QBuffer>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <string>
#include <gtest/gtest.h>

namespace {

// Writer

// The exact text for every flag, and the text reads back.
TEST(KnotWriter, GoldenTextPerFlag) {
    for (const QStringList& row : CaseRows("knot/writer-golden.txt", 4)) {
        SCOPED_TRACE(row[0].toStdString());
        auto tree = TKnot::Create();
        ASSERT_TRUE(tree->LoadFromString(row[2]));
        for (TKnot* k : PreOrder(tree.get())) {
            if (TKnotParam* added = k->FindParam(u"AddFlags")) {
                k->SetFlagsAdded(TKnotFlags(added->Value().toInt()));
                delete added;
            }
        }
        auto root = TKnot::Create();
        root->SetFlags(TKnotFlags(row[1].toInt()));
        root->Assign(*tree);
        EXPECT_EQ(root->SaveToString().toStdString(), row[3].toStdString());
        auto back = TKnot::Create();
        EXPECT_TRUE(back->LoadFromString(row[3]));
    }
}

// The bytes of every encoding, and a stream is written and read from its current
// position (other text in every encoding is checked by the round trip).
TEST(KnotWriter, SettingsExampleInEveryEncoding) {
    const QByteArray text("<Settings Lang=\"en\">\r\n\t<Window Left=\"10\" Title=\"a &quot;b&quot;\"/>\r\n</Settings>\r\n");
    auto root = TKnot::Create();
    ASSERT_TRUE(root->LoadFromBytes(text));
    const auto utf16 = [&](QStringConverter::Encoding e) -> QByteArray {
        return QStringEncoder(e, QStringConverter::Flag::WriteBom)(QString::fromLatin1(text));
    };
    const std::pair<TKnotEncoding, QByteArray> expected[] = {{TKnotEncoding::Ansi, text},
                                                             {TKnotEncoding::Utf8, "\xEF\xBB\xBF" + text},
                                                             {TKnotEncoding::Utf16LE, utf16(QStringConverter::Utf16LE)},
                                                             {TKnotEncoding::Utf16BE, utf16(QStringConverter::Utf16BE)}};
    for (const auto& [encoding, bytes] : expected) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        buffer.write("junk");
        root->SaveToStream(buffer, encoding);
        EXPECT_EQ(buffer.data().mid(4), bytes);
        buffer.seek(4);
        auto back = TKnot::Create();
        ASSERT_TRUE(back->LoadFromStream(buffer));
        EXPECT_EQ(back->SaveToBytes(TKnotEncoding::Ansi), text);
    }
}

// Text of knots named "a" nested depth levels deep.
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

// A tree deeper than the reader reads was saved as a file that could not be read back.
TEST(KnotWriter, RegressionTreeDeeperThanTheReaderReadsIsRefused) {
    auto root = TKnot::Create(S("k"));
    ASSERT_TRUE(root->AddChild(S("a"))->LoadFromBytes(QByteArray::fromStdString(Nested(TKnot::MaxDepth))));
    QTemporaryDir dir;
    const QString name = dir.filePath(S("deep.settings"));
    EXPECT_EQ(RaisedId([&] { root->SaveToFile(name, TKnotEncoding::Utf8); }), strKnotTooDeep);
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_EQ(RaisedId([&] { root->SaveToString(); }), strKnotTooDeep);
}

// Indentation by depth made a 70 KB tree at the depth limit save as 100 MB.
TEST(KnotWriter, RegressionIndentationOfDeepTreesIsCapped) {
    auto root = TKnot::Create();
    ASSERT_TRUE(root->LoadFromBytes(QByteArray::fromStdString(Nested(TKnot::MaxDepth))));
    const QByteArray bytes = root->SaveToBytes(TKnotEncoding::Ansi);
    EXPECT_LT(bytes.size(), 1000000);
    EXPECT_TRUE(bytes.contains("\r\n" + QByteArray(32, '\t') + "<a>"));
    EXPECT_FALSE(bytes.contains(QByteArray(33, '\t')));
}

// Reader: what it accepts

// What the reader accepts, what it refuses, and what it keeps of a refused text
// (the same texts read from UTF-8 bytes are checked by the test of the shortcuts).
TEST(KnotReader, CasesFromTheTable) {
    for (const QStringList& row : CaseRows("knot/reader-cases.txt", 4)) {
        SCOPED_TRACE(row[0].toStdString());
        const bool ok = row[1] == u"1";
        auto knot = TKnot::Create();
        EXPECT_EQ(knot->LoadFromString(row[2]), ok);
        EXPECT_EQ(knot->LoadFailed(), !ok);
        const bool kept = !knot->Name().isEmpty() || knot->HasChildren();
        EXPECT_EQ(kept ? knot->SaveToString() : QString(), row[3]);
    }
}

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

// Files

TEST(KnotFiles, SaveToFileWritesTheSameBytesReadsBackAndErrorsRaiseTheirTexts) {
    QTemporaryDir dir;
    const QString name = dir.filePath(S("a.prm"));
    auto knot = TKnot::Create(S("ProgramModule"));
    knot->WriteStr(S("FormatVersion"), S("1.1"));
    knot->SaveToFile(name, TKnotEncoding::Utf8);
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), knot->SaveToBytes(TKnotEncoding::Utf8));
    EXPECT_TRUE(TKnot::Create()->LoadFromFile(name));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{S("a.prm")});
    // Failures of the file and stream layer raise their own texts.
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(dir.filePath(S("missing.settings"))); }), strFileNotFound);
    EXPECT_EQ(RaisedId([&] { knot->LoadFromFile(dir.path()); }), strCannotReadFile);  // a folder
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_EQ(RaisedId([&] { knot->SaveToStream(readOnly, TKnotEncoding::Utf8); }), strCannotWriteFile);
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
// they are ordinary strings. Values share blocks of text that live as long as
// any value in them. Names and values handed out (read, copied, assigned) are
// strings of their own: they read back exactly, outlive their tree, and come
// out the same from UTF-8 and UTF-16 text; the blocks go once the last of them
// goes (a leak or a read of freed memory would be reported).
TEST(KnotReader, ManyDistinctNamesAndValuesOutliveTheirTree) {
    constexpr int kCount = 12000;  // about 360,000 characters of names, past the bound
    auto nameOf = [](int i) { return QStringLiteral("Name_%1_\u00E9_padding_xx").arg(i); };
    QString text = QStringLiteral("<Root>");
    for (int i = 0; i < kCount; ++i)
        text += u'<' + nameOf(i) + u' ' + nameOf(i) + QStringLiteral("=\"value_%1\" w=\"a&amp;%1\"/>").arg(i);
    text += QStringLiteral("</Root>");
    for (bool utf8 : {true, false}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "UTF-16");
        QStringList kept;
        auto copy = TKnot::Create();
        {
            auto root = TKnot::Create();
            ASSERT_TRUE(utf8 ? root->LoadFromBytes(text.toUtf8()) : root->LoadFromString(text));
            copy->Assign(*root->GetLastChild());
            int i = 0;
            for (TKnot* k = root->GetFirstChild(); k; k = k->GetNextSibling(), ++i) {
                ASSERT_EQ(k->Name(), nameOf(i));
                kept << k->Name() << k->Params()->Name() << k->ReadStr(nameOf(i)) << k->FindParam(u"w")->Value();
            }
            ASSERT_EQ(i, kCount);
        }
        for (int i = 0; i < kCount; ++i) {
            ASSERT_EQ(kept[4 * i], nameOf(i));
            ASSERT_EQ(kept[4 * i + 1], nameOf(i));
            ASSERT_EQ(kept[4 * i + 2], QStringLiteral("value_%1").arg(i));
            ASSERT_EQ(kept[4 * i + 3], QStringLiteral("a&%1").arg(i));
        }
        EXPECT_EQ(copy->ReadStr(u"w"), QStringLiteral("a&%1").arg(kCount - 1));
    }
}

// UTF-8 text is scanned sixteen bytes at a time where the text goes on that
// far, and one byte at a time near its end; short plain quoted values, short
// names and ASCII values with entity references take shortcuts of their own.
// Whatever the path, bytes must read exactly as the same text in UTF-16.
TEST(KnotReader, Utf8ShortcutsReadLikeUtf16Text) {
    std::vector<std::string> cases;
    for (const QStringList& row : CaseRows("knot/utf8-shortcut-cases.txt", 1)) cases.push_back(row[0].toStdString());
    for (const QStringList& row : CaseRows("knot/reader-cases.txt", 4)) cases.push_back(row[2].toStdString());
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

// Knot text against the XML libraries: reading and writing deterministic
// scheme-like files of 1 MB and 20 MB and a 20 MB file of large hexadecimal
// streams, building and freeing a tree of a million knots, and values full of
// "&" that start no reference.
//
// expat only reports elements and builds no tree; pugixml and libxml2 build
// their trees. Every reader is handed the same bytes in memory.

#include "benchSupport.h"

#include "core/cuKnot.h"

#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <pugixml.hpp>

#include <cstdint>
#include <map>
#include <string>

namespace {

// A fixed linear congruential sequence, so that every run sees the same files.
class TSequence {
public:
    uint32_t Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    int Below(int n) { return int(Next() % uint32_t(n)); }

private:
    uint32_t m_state = 12345;
};

const char* const kKinds[] = {"Method", "IfThen", "Assign", "Identifier", "Field", "Comment", "For", "Call", "Object", "Return"};
const char* const kWords[] = {"value", "count", "index", "result", "name", "list", "item", "text", "sum", "node", "left", "right"};

// One element of a scheme: an ID, a few option attributes, sometimes rich text, sometimes children.
qsizetype AddElement(TKnot& parent, TSequence& seq, int& id, int depth) {
    TKnot* e = parent.AddChild(QString::fromLatin1(kKinds[seq.Below(10)]));
    e->WriteInt(QStringLiteral("ID"), ++id);
    qsizetype size = 40 + depth;
    if (seq.Below(2)) e->WriteStr(QStringLiteral("Name"), QStringLiteral("Ident_%1").arg(id)), size += 18;
    if (seq.Below(4) == 0) e->WriteStr(QStringLiteral("Visibility"), QStringLiteral("Private")), size += 20;
    if (seq.Below(5) == 0) e->WriteBool(QStringLiteral("Collapsed"), true), size += 14;
    if (seq.Below(3) == 0) {
        TKnot* text = e->AddChild(QStringLiteral("TessalyContent"));
        const int pieces = 1 + seq.Below(3);
        for (int i = 0; i < pieces; ++i) {
            QString words;
            for (int w = 3 + seq.Below(8); w > 0; --w) words += QString::fromLatin1(kWords[seq.Below(12)]) + u' ';
            if (seq.Below(8) == 0) words += QStringLiteral("a < b & \"c\"");
            text->AddChild(QStringLiteral("Chars"))->WriteStr(QStringLiteral("Value"), words);
            size += 30 + words.size() + depth;
            if (seq.Below(3) == 0) text->AddChild(QStringLiteral("Br")), size += 8 + depth;
        }
    }
    if (depth < 8)
        for (int c = seq.Below(depth < 2 ? 6 : 3); c > 0; --c) size += AddElement(*e, seq, id, depth + 1);
    return size;
}

TNodePtr<TKnot> SchemeTree(qsizetype bytes) {
    TSequence seq;
    int id = 0;
    auto root = TKnot::Create(QStringLiteral("ProgramModule"));
    root->WriteStr(QStringLiteral("FormatVersion"), QStringLiteral("1.1"));
    for (qsizetype size = 0; size < bytes;) size += AddElement(*root, seq, id, 1);
    return root;
}

TNodePtr<TKnot> HexTree(qsizetype bytes) {
    TSequence seq;
    auto root = TKnot::Create(QStringLiteral("ProgramModule"));
    root->WriteStr(QStringLiteral("FormatVersion"), QStringLiteral("1.1"));
    for (int id = 1; qsizetype(id) * 128 * 1024 < bytes; ++id) {
        QByteArray data(64 * 1024, Qt::Uninitialized);
        for (char& c : data) c = char(seq.Next());
        TKnot* image = root->AddChild(QStringLiteral("ImageData"));
        image->WriteInt(QStringLiteral("ID"), id);
        image->WriteStream(QStringLiteral("Data"), data);
    }
    return root;
}

// The files, made once: by name ("scheme1", "scheme20", "hex20").
const QByteArray& File(const std::string& name) {
    static std::map<std::string, QByteArray> files;
    auto it = files.find(name);
    if (it != files.end()) return it->second;
    TNodePtr<TKnot> tree = name == "hex20" ? HexTree(20 << 20) : SchemeTree((name == "scheme1" ? 1 : 20) << 20);
    return files[name] = tree->SaveToBytes(TKnotEncoding::Utf8);
}

std::string FileName(const std::string& kind, int64_t mb) { return kind + std::to_string(mb); }

void SetBytes(benchmark::State& state, const QByteArray& bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

// ---------------------------------------------------------------------------
// Reading

void KnotRead(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    for (auto _ : state) {
        auto knot = TKnot::Create();
        if (!knot->LoadFromBytes(bytes)) state.SkipWithError("knot text did not parse");
        benchmark::DoNotOptimize(knot.get());
    }
    SetBytes(state, bytes);
}

struct TExpatCount {
    int64_t elements = 0;
    int64_t attributes = 0;
};

void ExpatStart(void* data, const XML_Char*, const XML_Char** atts) {
    auto* count = static_cast<TExpatCount*>(data);
    ++count->elements;
    for (; *atts; atts += 2) ++count->attributes;
}
void ExpatEnd(void*, const XML_Char*) {}

void ExpatRead(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    for (auto _ : state) {
        TExpatCount count;
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &count);
        XML_SetElementHandler(parser, ExpatStart, ExpatEnd);
        if (XML_Parse(parser, bytes.constData(), int(bytes.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(parser);
        benchmark::DoNotOptimize(count);
    }
    SetBytes(state, bytes);
}

void PugiRead(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_buffer(bytes.constData(), size_t(bytes.size()))) state.SkipWithError("pugixml failed");
        benchmark::DoNotOptimize(doc.first_child());
    }
    SetBytes(state, bytes);
}

void LibxmlRead(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    for (auto _ : state) {
        xmlDoc* doc = xmlReadMemory(bytes.constData(), int(bytes.size()), "bench.xml", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_HUGE);
        if (!doc) state.SkipWithError("libxml2 failed");
        xmlFreeDoc(doc);
    }
    SetBytes(state, bytes);
}

void BM_KnotRead(benchmark::State& s) { KnotRead(s, "scheme"); }
void BM_ExpatRead(benchmark::State& s) { ExpatRead(s, "scheme"); }
void BM_PugixmlRead(benchmark::State& s) { PugiRead(s, "scheme"); }
void BM_Libxml2Read(benchmark::State& s) { LibxmlRead(s, "scheme"); }
void BM_KnotReadHex(benchmark::State& s) { KnotRead(s, "hex"); }
void BM_ExpatReadHex(benchmark::State& s) { ExpatRead(s, "hex"); }
void BM_PugixmlReadHex(benchmark::State& s) { PugiRead(s, "hex"); }
void BM_Libxml2ReadHex(benchmark::State& s) { LibxmlRead(s, "hex"); }

BENCHMARK(BM_KnotRead)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpatRead)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlRead)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2Read)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnotReadHex)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpatReadHex)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlReadHex)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2ReadHex)->Arg(20)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Writing: each library writes its own tree of the same file, indented.

void KnotWrite(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    auto knot = TKnot::Create();
    knot->LoadFromBytes(bytes);
    // The streams of the hex file are streams again, as the system holds them.
    if (kind == "hex")
        for (TNode* n = knot->FirstChild(); n; n = n->NextSibling()) {
            auto* k = static_cast<TKnot*>(n);
            QByteArray data;
            k->ReadStream(u"Data", data);
            k->FindParam(u"Data")->SetStream(data);
        }
    for (auto _ : state) {
        QByteArray out = knot->SaveToBytes(TKnotEncoding::Utf8);
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state, bytes);
}

struct TStringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

void PugiWrite(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    pugi::xml_document doc;
    doc.load_buffer(bytes.constData(), size_t(bytes.size()));
    for (auto _ : state) {
        TStringWriter writer;
        doc.save(writer, "\t", pugi::format_default | pugi::format_no_declaration | pugi::format_write_bom,
                 pugi::encoding_utf8);
        benchmark::DoNotOptimize(writer.out.data());
    }
    SetBytes(state, bytes);
}

void LibxmlWrite(benchmark::State& state, const std::string& kind) {
    const QByteArray& bytes = File(FileName(kind, state.range(0)));
    xmlDoc* doc = xmlReadMemory(bytes.constData(), int(bytes.size()), "bench.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOBLANKS);
    for (auto _ : state) {
        xmlChar* mem = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(doc, &mem, &size, "UTF-8", 1);
        benchmark::DoNotOptimize(mem);
        xmlFree(mem);
    }
    xmlFreeDoc(doc);
    SetBytes(state, bytes);
}

void BM_KnotWrite(benchmark::State& s) { KnotWrite(s, "scheme"); }
void BM_PugixmlWrite(benchmark::State& s) { PugiWrite(s, "scheme"); }
void BM_Libxml2Write(benchmark::State& s) { LibxmlWrite(s, "scheme"); }
void BM_KnotWriteHex(benchmark::State& s) { KnotWrite(s, "hex"); }
void BM_PugixmlWriteHex(benchmark::State& s) { PugiWrite(s, "hex"); }
void BM_Libxml2WriteHex(benchmark::State& s) { LibxmlWrite(s, "hex"); }

BENCHMARK(BM_KnotWrite)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlWrite)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2Write)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnotWriteHex)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlWriteHex)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2WriteHex)->Arg(20)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Building and freeing a tree of a million nodes (the preview's snapshot path):
// a root, a thousand elements, 999 items under each, every one with an ID.

void BM_KnotBuildFree(benchmark::State& state) {
    const int total = int(state.range(0));
    for (auto _ : state) {
        auto root = TKnot::Create(QStringLiteral("ProgramModule"));
        int id = 0;
        for (int i = 0; i < 1000 && id < total; ++i) {
            TKnot* e = root->AddChild(QStringLiteral("Method"));
            e->WriteInt(QStringLiteral("ID"), ++id);
            for (int j = 0; j < 999 && id < total; ++j) e->AddChild(QStringLiteral("Assign"))->WriteInt(QStringLiteral("ID"), ++id);
        }
        benchmark::DoNotOptimize(root.get());
    }
}

void BM_PugixmlBuildFree(benchmark::State& state) {
    const int total = int(state.range(0));
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("ProgramModule");
        int id = 0;
        for (int i = 0; i < 1000 && id < total; ++i) {
            pugi::xml_node e = root.append_child("Method");
            e.append_attribute("ID") = ++id;
            for (int j = 0; j < 999 && id < total; ++j) e.append_child("Assign").append_attribute("ID") = ++id;
        }
        benchmark::DoNotOptimize(root);
    }
}

BENCHMARK(BM_KnotBuildFree)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlBuildFree)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Hostile values: one element whose two values, quoted and unquoted, hold
// half the bytes each: many "&" that start no reference and one ";" at the
// end, in UTF-8 and UTF-16 text. The size grown is the length of one value,
// on which the risk depends (the ";" must be looked for only a reference's
// length ahead, or reading grows with the square of the value).

QByteArray AmpersandFile(qsizetype bytes) {
    const QByteArray value(bytes / 2, '&');
    return "<R><V a=\"" + value + ";\" b=" + value + ";/></R>";
}

void BM_KnotReadAmpersands(benchmark::State& state) {
    const QByteArray bytes = AmpersandFile(state.range(0));
    const QString text = QString::fromLatin1(bytes);
    for (auto _ : state) {
        auto knot = TKnot::Create();
        if (!knot->LoadFromBytes(bytes) || !knot->LoadFromString(text)) state.SkipWithError("did not parse");
        benchmark::DoNotOptimize(knot.get());
    }
    auto knot = TKnot::Create();
    const TKnot* element = knot->LoadFromBytes(bytes) ? knot->GetFirstChild() : nullptr;
    const TKnotParam* value = element ? element->FindParam(u"b") : nullptr;
    if (!value || value->ValueView().size() != state.range(0) / 2 + 1) state.SkipWithError("a value was cut");
    SetBytes(state, bytes);
}

// A chain of knots built top-down with AddChild: each new leaf must cost the
// same however deep it is.
void BM_KnotAddChildChain(benchmark::State& state) {
    for (auto _ : state) {
        auto root = TKnot::Create(QStringLiteral("k"));
        TKnot* leaf = root.get();
        for (int64_t i = 1; i < state.range(0); ++i) leaf = leaf->AddChild(QStringLiteral("k"));
        benchmark::DoNotOptimize(leaf);
    }
}

BENCHMARK(BM_KnotAddChildChain)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);
BENCHMARK(BM_KnotReadAmpersands)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

}  // namespace

QUILLANE_RATIO(knot_read_vs_expat, "BM_KnotRead/20", "BM_ExpatRead/20");
QUILLANE_RATIO(knot_read_vs_pugixml, "BM_KnotRead/20", "BM_PugixmlRead/20");
QUILLANE_RATIO(knot_write_vs_pugixml, "BM_KnotWrite/20", "BM_PugixmlWrite/20");
QUILLANE_RATIO(knot_read_vs_libxml2, "BM_KnotRead/20", "BM_Libxml2Read/20");
QUILLANE_RATIO(knot_read_hex_vs_pugixml, "BM_KnotReadHex/20", "BM_PugixmlReadHex/20");
QUILLANE_RATIO(knot_write_hex_vs_pugixml, "BM_KnotWriteHex/20", "BM_PugixmlWriteHex/20");
QUILLANE_RATIO(knot_build_free_vs_pugixml, "BM_KnotBuildFree/1000000", "BM_PugixmlBuildFree/1000000");
QUILLANE_GROWTH(knot_add_child_chain, "BM_KnotAddChildChain/100000/repeats:3", "BM_KnotAddChildChain/10000/repeats:3");
QUILLANE_GROWTH(knot_read_ampersands, "BM_KnotReadAmpersands/1000000/repeats:5", "BM_KnotReadAmpersands/100000/repeats:5");

// Writing a large Pascal text through the wrapping writer: statements built
// from small fragments with line-wrap checks, long lines broken at break
// points, wrapped string literals and comments. The peer appends the same
// fragments to one string with no indentation or wrapping, which is the
// least any writer has to do.

#include "benchSupport.h"

#include "core/cuCodeWriters.h"

#include <benchmark/benchmark.h>

namespace {

const QString kNames[] = {"FirstValue", "SecondValue", "Counter", "Result", "Items[Index]", "Owner.Count"};
const QString kLiteral =
    "A message for the user: the value could not be read, because the file holds text that is "
    "not a number.\r\n";

template <class Sink>
void WriteStatements(Sink& sink, int count) {
    for (int i = 0; i < count; ++i) {
        const QString& a = kNames[i % 6];
        const QString& b = kNames[(i + 1) % 6];
        switch (i % 4) {
        case 0:
            sink.Line(a + " := " + b + " + " + a + " * " + b + " - " + a + " div 2 + " + b + " mod 3 + " + a + ";");
            break;
        case 1:
            sink.Call(a, b);
            break;
        case 2:
            sink.Literal("ShowMessage(", kLiteral);
            break;
        default:
            sink.Comment("The next statement changes " + a + " and " + b + " together }");
            break;
        }
    }
}

struct TWriterSink {
    TPascalCodeWriter w;
    void Line(const QString& text) { w.WriteLn(text); }
    void Call(const QString& a, const QString& b) {
        w.Write("Process(");
        for (int k = 0; k < 6; ++k) {
            w.Write(k % 2 ? b : a);
            if (k < 5) {
                w.Write(", ");
                w.WrapIfLong();
            }
        }
        w.WriteLn(");");
    }
    void Literal(const QString& head, const QString& text) {
        w.Write(head);
        w.WriteWrapped(text, true);
        w.WriteLn(");");
    }
    void Comment(const QString& text) {
        w.WriteComment(text);
        w.NewLine();
    }
};

struct TPlainSink {
    QString out;
    void Line(const QString& text) {
        out += text;
        out += u'\n';
    }
    void Call(const QString& a, const QString& b) {
        out += u"Process(";
        for (int k = 0; k < 6; ++k) {
            out += k % 2 ? b : a;
            if (k < 5) out += u", ";
        }
        out += u");\n";
    }
    void Literal(const QString& head, const QString& text) {
        out += head;
        out += u'\'';
        out += text;
        out += u"');\n";
    }
    void Comment(const QString& text) {
        out += u"{ ";
        out += text;
        out += u" }\n";
    }
};

void BM_WritePascal(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        TWriterSink sink;
        sink.w.Indent();
        WriteStatements(sink, count);
        benchmark::DoNotOptimize(sink.w.Lines().size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_PlainAppend(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        TPlainSink sink;
        WriteStatements(sink, count);
        benchmark::DoNotOptimize(sink.out.size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// One literal of the given length, cut into pieces at break points.
void BM_WriteWrappedLiteral(benchmark::State& state) {
    QString text;
    while (text.size() < state.range(0)) text += kLiteral;
    text.truncate(state.range(0));
    for (auto _ : state) {
        TPascalCodeWriter w;
        w.Write("S := ");
        w.WriteWrapped(text, true);
        benchmark::DoNotOptimize(w.Lines().size());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 2);
}

// One long line of list items, broken at its separators.
void BM_WriteWrappedLines(benchmark::State& state) {
    QString text;
    for (int i = 0; text.size() < state.range(0); ++i) text += kNames[i % 6] + ", ";
    for (auto _ : state) {
        TPascalCodeWriter w;
        w.Write(text);
        benchmark::DoNotOptimize(w.Lines().size());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 2);
}

// Unescaping a value that is one long run of "&" without a reference.
void BM_UnescapeAmpersands(benchmark::State& state) {
    const QString value = QString(state.range(0), u'&') + ";";
    for (auto _ : state) benchmark::DoNotOptimize(TCustomXmlCodeWriter::Unescape(value, 0, 1).size());
    state.SetBytesProcessed(state.iterations() * state.range(0) * 2);
}

}  // namespace

BENCHMARK(BM_UnescapeAmpersands)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePascal)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAppend)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWrappedLiteral)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWrappedLines)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

QUILLANE_RATIO(writers_pascal_vs_plain_append, "BM_WritePascal/100000", "BM_PlainAppend/100000");
QUILLANE_GROWTH(writers_pascal, "BM_WritePascal/100000", "BM_WritePascal/10000");
QUILLANE_GROWTH(writers_wrapped_literal, "BM_WriteWrappedLiteral/1000000", "BM_WriteWrappedLiteral/100000");
QUILLANE_GROWTH(writers_unescape_ampersands, "BM_UnescapeAmpersands/1000000", "BM_UnescapeAmpersands/100000");
QUILLANE_GROWTH(writers_wrapped_lines, "BM_WriteWrappedLines/1000000", "BM_WriteWrappedLines/100000");

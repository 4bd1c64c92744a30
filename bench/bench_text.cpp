// Rich text: laying out many paragraphs, wrapping one long paragraph and the
// re-layout after a keystroke, against Qt's text document and text layout.
// Both sides measure with the same font: DejaVu Sans made by the
// device-context manager (no kerning, no shaping, full hinting), the font of
// the text attributes.

#include "benchSupport.h"

#include "core/cuDeviceContextManager.h"
#include "scheme/diTextorAttributes.h"
#include "text/diTextor.h"

#include <QAbstractTextDocumentLayout>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int WrapWidth = 400;
constexpr int FontPoints = 10;
constexpr int ParagraphLength = 80;
const QString FontFace = QStringLiteral("DejaVu Sans");

QFont BenchFont() { return DeviceContextManager()->CreateFont(FontFace, FontPoints, {}); }

// Words of 1 to 12 letters and some punctuation, the same on every run.
QString Words(int length, quint32 seed) {
    static const char* words[] = {"procedure", "begin", "end", "Result", "x", "Value", "Count", "for", "while",
                                  "if", "then", "else", "TList", "Items", "Index", "Assign", "Create", "of",
                                  "a", "interpretation", "to", "(Sender)", "Destroy;", "inherited"};
    QRandomGenerator random(seed);
    QString text;
    text.reserve(length + 16);
    while (text.size() < length) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QLatin1String(words[random.bounded(int(std::size(words)))]);
    }
    text.truncate(length);
    return text;
}

// paragraphs lines of about ParagraphLength characters, joined by LF.
QString Paragraphs(int paragraphs) {
    QStringList lines;
    lines.reserve(paragraphs);
    for (int i = 0; i < paragraphs; ++i) lines << Words(ParagraphLength - 8 + i % 17, quint32(i));
    return lines.join(QLatin1Char('\n'));
}

// Words of Latin letters, accented letters (composed, and as a letter with
// combining marks), CJK and punctuation, the same on every run.
QString LatinAccentsCjkWords(int length, quint32 seed) {
    static const char16_t* const words[] = {
        u"procedure", u"begin", u"R\u00E9sum\u00E9", u"na\u00EFve", u"Gr\u00F6\u00DFe", u"fa\u00E7ade",
        u"\u6587\u5B57\u5217", u"\u5909\u6570\u306E\u5024", u"\u95A2\u6570", u"e\u0301te\u0301",
        u"man\u0303ana", u"A\u030Angstro\u0308m", u"x", u"Value", u"for", u"(Sender)",
        u"\u7D42\u308F\u308A", u"u\u0308\u0304ber", u"then", u"Index"};
    QRandomGenerator random(seed);
    QString text;
    text.reserve(length + 16);
    while (text.size() < length) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QString::fromUtf16(words[random.bounded(int(std::size(words)))]);
    }
    text.truncate(length);
    return text;
}

// Paragraphs of such words, about ParagraphLength units each, joined by LF.
QString LatinAccentsCjkParagraphs(int paragraphs) {
    QStringList lines;
    lines.reserve(paragraphs);
    for (int i = 0; i < paragraphs; ++i) lines << LatinAccentsCjkWords(ParagraphLength - 8 + i % 17, quint32(i));
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------------------
// The peers

struct TPeerDocument {
    QTextDocument document;
    explicit TPeerDocument(const QString& text) {
        document.setUndoRedoEnabled(false);
        document.setDefaultFont(BenchFont());
        document.setDocumentMargin(0);
        Load(text);
    }
    void Load(const QString& text) {
        document.setPlainText(text);
        document.setTextWidth(WrapWidth);
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
    int LineCount() const {
        int lines = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            lines += block.layout()->lineCount();
        return lines;
    }
};

void BM_TextLayoutQTextDocument(benchmark::State& state) {
    const QString text = LatinAccentsCjkParagraphs(int(state.range(0)));
    TPeerDocument peer(QString{});
    for (auto _ : state) peer.Load(text);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lines"] = peer.LineCount();
}
BENCHMARK(BM_TextLayoutQTextDocument)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// Breaking one paragraph into lines of WrapWidth pixels.
int WrapWithQTextLayout(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(WrapWidth);
        ++lines;
    }
    layout.endLayout();
    return lines;
}

void BM_TextWrapQTextLayout(benchmark::State& state) {
    const QString text = Words(int(state.range(0)), 7);
    const QFont font = BenchFont();
    for (auto _ : state) benchmark::DoNotOptimize(WrapWithQTextLayout(text, font));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lines"] = WrapWithQTextLayout(text, font);
}
BENCHMARK(BM_TextWrapQTextLayout)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// One character typed in the middle of the text, then the size asked; it is
// taken back outside the timing, so that every keystroke meets the same text.
void BM_TextKeystrokeQTextDocument(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    TPeerDocument peer(Paragraphs(paragraphs));
    QTextCursor cursor(peer.document.findBlockByNumber(paragraphs / 2));
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, ParagraphLength / 2);
    for (auto _ : state) {
        cursor.insertText(QStringLiteral("x"));
        benchmark::DoNotOptimize(peer.document.documentLayout()->documentSize());
        state.PauseTiming();
        cursor.deletePreviousChar();
        benchmark::DoNotOptimize(peer.document.documentLayout()->documentSize());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextKeystrokeQTextDocument)->Arg(10000)->Unit(benchmark::kMicrosecond)->Apply(QuillaneFastestOf<3>);

// ---------------------------------------------------------------------------
// Ours

// A textor wrapped at WrapWidth whose text is DejaVu Sans.
class TBenchTextor : public TTextor {
public:
    TBenchTextor() {
        TRichTextAttributes value;
        value.SetFontName(FontFace);
        value.SetFontSize(FontPoints);
        m_text = AcquireSharedAs(value);
    }
    TTextAttributes* GetDefaultTextAttributes() const override { return m_text.get(); }
    int GetAvailableWidth() const override { return Width; }
    bool AllowsParagraphs() const override { return true; }

    int Width = WrapWidth;

    int RowCount() const {
        int rows = 0;
        for (TParagraph* p = FirstParagraph(); p; p = p->Next()) rows += p->RowCount();
        return rows;
    }

private:
    TAttributesRef<TRichTextAttributes> m_text;
};

void BM_TextLayout(benchmark::State& state) {
    const QString text = LatinAccentsCjkParagraphs(int(state.range(0)));
    TBenchTextor textor;
    for (auto _ : state) textor.SetText(text);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lines"] = textor.RowCount();
}
BENCHMARK(BM_TextLayout)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// No headline figure: the same paragraphs laid out again after a width change
// (one pixel narrower, then back), without building the text.
void BM_TextRelayout(benchmark::State& state) {
    TBenchTextor textor;
    textor.SetText(Paragraphs(int(state.range(0))));
    for (auto _ : state) {
        textor.Width = textor.Width == WrapWidth ? WrapWidth - 1 : WrapWidth;
        textor.InvalidateAllLayouts();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextRelayout)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

void BM_TextWrap(benchmark::State& state) {
    const QString text = Words(int(state.range(0)), 7);
    TBenchTextor textor;
    for (auto _ : state) textor.SetText(text);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lines"] = textor.RowCount();
}
BENCHMARK(BM_TextWrap)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// Every keystroke meets the same text: the character is taken back outside the timing.
void TypeInTheMiddle(benchmark::State& state, const QString& text, int paragraph, int offset) {
    TBenchTextor textor;
    textor.SetText(text);
    TTextorPosition at;
    if (!textor.NumericToPosition(TTextorNumericPosition{paragraph, offset}, at)) {
        state.SkipWithError("no such position");
        return;
    }
    const QString typed = QStringLiteral("x");
    for (auto _ : state) {
        const TTextorRange inserted = textor.InsertText(at, typed);
        state.PauseTiming();
        at = textor.DeleteRange(inserted);
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(textor.GetHeight());
}

void BM_TextKeystroke(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    TypeInTheMiddle(state, Paragraphs(paragraphs), paragraphs / 2, ParagraphLength / 2);
}
BENCHMARK(BM_TextKeystroke)->Arg(10000)->Unit(benchmark::kMicrosecond)->Apply(QuillaneFastestOf<3>);

void BM_TextKeystrokeParagraph(benchmark::State& state) {
    const int length = int(state.range(0));
    TypeInTheMiddle(state, Words(length, 7), 0, length / 2);
}
BENCHMARK(BM_TextKeystrokeParagraph)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(QuillaneFastestOf<3>);

// ---------------------------------------------------------------------------
// Long paragraphs: cutting one by Enter, wrapping mixed scripts, typing into one

constexpr int CutEvery = 60;
constexpr int MixedWrapWidth = 300;
constexpr int TypedInLongParagraph = 300;
constexpr double LatencyPercentile = 0.95;
using TBenchClock = std::chrono::steady_clock;

double Milliseconds(TBenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One paragraph of mixed scripts, `length` units, the same for a seed: eight
// stretches of an eighth each, of words of one kind: runs of CJK without
// spaces, letters under long stacks of combining marks, Devanagari words with
// vowel signs and conjuncts, Latin with combining accents, emoji (surrogate
// pairs) and private-use characters. The stretches differ widely in width
// per unit, and each grows with the paragraph. DejaVu Sans has no CJK,
// Devanagari, emoji or private-use glyphs (another font may lend them).
QString MixedWords(int length, quint32 seed) {
    static const QStringList kinds[] = {
        {QStringLiteral("\u6F22\u5B57\u304B\u306A\u6DF7\u3058\u308A\u6587\u7AE0"),
         QStringLiteral("\u4E2D\u6587\u5B57")},
        {},  // stacks of marks, made below
        {QStringLiteral("\u0939\u093F\u0928\u094D\u0926\u0940"),
         QStringLiteral("\u0915\u094D\u0937\u0924\u094D\u0930\u093F\u092F"),
         QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947")},
        {QStringLiteral("cafe\u0301"), QStringLiteral("na\u0308ive"), QStringLiteral("Zu\u0308rich\u0323"),
         QStringLiteral("begin"), QStringLiteral("(Sender);")},
        {QStringLiteral("\U0001F600\U0001F680"), QStringLiteral("\uE000\uE001\uE002"), QStringLiteral("x\U0001F4A1")},
    };
    constexpr int Stretches = 8;
    QRandomGenerator random(seed);
    QString text;
    text.reserve(length + 512);
    for (int stretch = 0; stretch < Stretches; ++stretch) {
        const QStringList& words = kinds[(stretch + int(seed)) % int(std::size(kinds))];
        const int end = int(int64_t(length) * (stretch + 1) / Stretches);
        while (text.size() < end) {
            if (!text.isEmpty()) text += QLatin1Char(' ');
            if (words.isEmpty()) {
                text += QChar(u'a' + random.bounded(26));
                for (int marks = 50 + random.bounded(250); marks > 0; --marks)
                    text += QChar(0x0300 + random.bounded(0x30));
            } else {
                for (int n = 1 + random.bounded(3); n > 0; --n) text += words[random.bounded(int(words.size()))];
            }
        }
    }
    text.truncate(length);
    if (text.back().isHighSurrogate()) text.back() = QLatin1Char('.');
    return text;
}

// The position `count` units after `at` in its paragraph (the paragraph end at most).
TTextorPosition UnitsOn(TTextorPosition at, int count) {
    at = TTextor::Normalize(at);
    while (at.Portion && at.Offset + count >= at.Portion->Length()) {
        count -= at.Portion->Length() - at.Offset;
        at = TTextorPosition{at.Paragraph, at.Portion->Next(), 0};
    }
    if (at.Portion) at.Offset += count;
    return at;
}

// Cuts the paragraph at `at` every CutEvery units, each cut an edit of its own.
void CutEveryFewUnits(TTextor& textor, TTextorPosition at) {
    for (at = UnitsOn(at, CutEvery); !at.IsParagraphEnd(); at = UnitsOn(textor.SplitParagraph(at).End, CutEvery)) {}
}

// One paragraph cut every CutEvery units from its start in one edit (one
// update bracket: laid out once, at its end), as a replacement or a paste
// that breaks a long line does. The text is made and freed outside the timing.
void BM_TextSplitParagraph(benchmark::State& state) {
    const int length = int(state.range(0));
    quint32 seed = 1;
    int paragraphs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto textor = std::make_unique<TBenchTextor>();
        textor->SetText(Words(length, seed++));
        state.ResumeTiming();
        textor->BeginUpdate();
        CutEveryFewUnits(*textor, textor->GetStartPosition());
        textor->EndUpdate();
        state.PauseTiming();
        paragraphs = textor->ParagraphCount();
        textor.reset();
        state.ResumeTiming();
    }
    state.counters["paragraphs"] = paragraphs;
}
BENCHMARK(BM_TextSplitParagraph)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// No headline figure: the same cuts as Enter typed at each place, each laid
// out before the next.
void BM_TextEnterEveryFewUnits(benchmark::State& state) {
    const int length = int(state.range(0));
    quint32 seed = 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto textor = std::make_unique<TBenchTextor>();
        textor->SetText(Words(length, seed++));
        state.ResumeTiming();
        CutEveryFewUnits(*textor, textor->GetStartPosition());
        state.PauseTiming();
        textor.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextEnterEveryFewUnits)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Apply(QuillaneFastestOf<3>);

// The first layout of a fresh textor holding one paragraph of mixed scripts,
// a different text each time (made outside the timing).
void BM_TextWrapMixed(benchmark::State& state) {
    const int length = int(state.range(0));
    quint32 seed = 1;
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString text = MixedWords(length, seed++);
        state.ResumeTiming();
        auto textor = std::make_unique<TBenchTextor>();
        textor->Width = MixedWrapWidth;
        textor->SetText(text);
        state.PauseTiming();
        rows = textor->RowCount();
        textor.reset();
        state.ResumeTiming();
    }
    state.counters["lines"] = rows;
}
BENCHMARK(BM_TextWrapMixed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// Characters typed one after another in the middle of a laid-out paragraph of
// 100,000 mixed units, each keystroke (the edit and its layout) timed on its
// own; the figure is the 95th percentile of every keystroke of the run.
void BM_TextKeystrokeLongParagraph(benchmark::State& state) {
    static const QChar typed[] = {u'x', u' ', QChar(0x0301), QChar(0x4E2D), QChar(0x0915), u'y', QChar(0x093F), u' '};
    TBenchTextor textor;
    textor.Width = MixedWrapWidth;
    textor.SetText(MixedWords(int(state.range(0)), 7));
    std::vector<double> keystrokes;
    keystrokes.reserve(TypedInLongParagraph);
    for (auto _ : state) {
        TTextorPosition at = UnitsOn(textor.GetStartPosition(), int(state.range(0)) / 2);
        for (int i = 0; i < TypedInLongParagraph; ++i) {
            const auto start = TBenchClock::now();
            at = textor.InsertText(at, &typed[i % std::size(typed)], 1).End;
            keystrokes.push_back(Milliseconds(TBenchClock::now() - start));
        }
    }
    state.counters["p95_ms"] = QuillanePercentile(keystrokes, LatencyPercentile);
    state.counters["lines"] = textor.RowCount();
}
BENCHMARK(BM_TextKeystrokeLongParagraph)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_RATIO(text_layout_vs_qtextdocument, "BM_TextLayout/10000/repeats:3",
               "BM_TextLayoutQTextDocument/10000/repeats:3");
QUILLANE_GROWTH(text_layout, "BM_TextLayout/100000/repeats:3", "BM_TextLayout/10000/repeats:3");
QUILLANE_RATIO(text_wrap_vs_qtextlayout, "BM_TextWrap/100000/repeats:3",
               "BM_TextWrapQTextLayout/100000/repeats:3");
QUILLANE_GROWTH(text_wrap, "BM_TextWrap/100000/repeats:3", "BM_TextWrap/10000/repeats:3");
QUILLANE_RATIO(text_keystroke_vs_qtextdocument, "BM_TextKeystroke/10000/repeats:3",
               "BM_TextKeystrokeQTextDocument/10000/repeats:3");
QUILLANE_GROWTH(text_keystroke_paragraph, "BM_TextKeystrokeParagraph/100000/repeats:3",
                "BM_TextKeystrokeParagraph/10000/repeats:3");
QUILLANE_GROWTH(text_split_paragraph, "BM_TextSplitParagraph/100000/repeats:3",
                "BM_TextSplitParagraph/10000/repeats:3");
QUILLANE_GROWTH(text_wrap_mixed, "BM_TextWrapMixed/100000/repeats:3", "BM_TextWrapMixed/10000/repeats:3");
QUILLANE_LATENCY(text_keystroke_long_paragraph_ms, "BM_TextKeystrokeLongParagraph/100000/iterations:1", "p95_ms");

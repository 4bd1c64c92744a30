// The text element: content trees of many paragraphs written and read, and
// pasting many lines into a rich element, then undo and redo with the layout
// brought up to date after each step, against Qt's text document doing the
// same through its cursor and its undo stack.

#include "benchColumn.h"
#include "benchSupport.h"

#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "scheme/diTextorAttributes.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <QAbstractTextDocumentLayout>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

#include <memory>

// A text embedded in a rich text.
class TElement_BenchNote : public TTextorElement {
    T_ELEMENT_CLASS(TElement_BenchNote)
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNote, TTextorElement)

// A rich text that embeds texts.
class TElement_BenchRichText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_BenchRichText)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        TTextorElement::FillAcceptedClasses(list);
        list << TElement_BenchNote::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchRichText, TTextorElement)

// The root of the benchmark schemes: its children stand in a column.
class TElement_BenchTextColumn : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchTextColumn)
public:
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        benchsheets::StackInAColumn(*this);
    }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TTextorElement::StaticClass() << TElement_BenchRichText::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchTextColumn, TVisualElement)

namespace {

constexpr int PastedLines = 1000;
constexpr int LineLength = 80;
constexpr uint32_t RichOptions = toRichContent | toMaxWidth480;

// Words of 1 to 14 letters, the same on every run.
QString BenchLine(int index) {
    static const char* words[] = {"procedure", "begin", "end", "Result", "x", "Value", "Count", "for",
                                  "while", "if", "then", "else", "TList", "Items", "Index", "Assign",
                                  "Create", "of", "a", "interpretation", "to", "(Sender)", "Destroy;"};
    QString line;
    for (int i = index; line.size() < LineLength; ++i) {
        if (!line.isEmpty()) line += QLatin1Char(' ');
        line += QLatin1String(words[(i * 7 + index) % int(std::size(words))]);
    }
    line.truncate(LineLength);
    return line;
}

QString BenchLines(int count, const QString& separator) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) lines << BenchLine(i);
    return lines.join(separator);
}

// A scheme with one rich text element, shown on a sheet (or on none: its
// layout stays locked).
struct TBenchTextScheme {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TTextorElement* text = nullptr;

    explicit TBenchTextScheme(bool onSheet, const TElementClass* textClass = TTextorElement::StaticClass()) {
        settings->CreateProperties();
        scheme = std::make_unique<TScheme>(TElement_BenchTextColumn::StaticClass(), QStringLiteral("Bench"));
        scheme->SetUndoRedo(&history);
        text = static_cast<TTextorElement*>(TElement::CreateIn(textClass, scheme.get(), scheme->Root()));
        text->SetTextorOptions(RichOptions);
        text->SetVisualParent(static_cast<TVisualElement*>(scheme->Root()));
        if (!onSheet) return;
        sheet = std::make_unique<TSheet>(settings.get());
        static_cast<TVisualElement*>(scheme->Root())->SetVisualParent(sheet->Root());
        TSheetUpdate update(sheet.get());
        sheet->Root()->UpdateLayout(true, true, false, false);
    }
    ~TBenchTextScheme() { scheme.reset(); }
    // The layout brought up to date, as the sheet asks for it after a change.
    int Layout() const { return text->Textor()->GetHeight() + text->Height(); }
};

// ---------------------------------------------------------------------------
// Content trees

void BM_TextContentRoundTrip(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    TBenchTextScheme source(false);
    TBenchTextScheme target(false);
    source.text->SetText(BenchLines(paragraphs, QStringLiteral("\r\n")));
    for (auto _ : state) {
        TNodePtr<TKnot> tree = TKnot::Create(kContentRootName);
        tree->SetFlagsAdded(kfIndexed);
        source.text->SaveContent(tree.get(), fmSnapshot, std::nullopt, 0);
        target.text->InsertContent(tree.get(), fmSnapshot, 0, std::nullopt);
        state.PauseTiming();
        tree.reset();
        target.text->SetText(QString());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * paragraphs);
}
BENCHMARK(BM_TextContentRoundTrip)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

// ---------------------------------------------------------------------------
// Paste, undo, redo

// Qt's text document with the element's font, wrapped where the element wraps.
void BM_TextPasteUndoQTextDocument(benchmark::State& state) {
    TBenchTextScheme ours(true);
    auto* attributes = dynamic_cast<TRichTextAttributes*>(ours.text->GetTextAttributes());
    QTextDocument document;
    if (attributes) document.setDefaultFont(attributes->Font());
    document.setTextWidth(ours.text->Textor()->GetAvailableWidth());
    const QString pasted = BenchLines(PastedLines, QStringLiteral("\n"));
    auto layout = [&] { benchmark::DoNotOptimize(document.documentLayout()->documentSize()); };
    for (auto _ : state) {
        QTextCursor cursor(&document);
        cursor.insertText(pasted);
        layout();
        document.undo();
        layout();
        document.redo();
        layout();
        state.PauseTiming();
        document.clear();
        document.clearUndoRedoStacks();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextPasteUndoQTextDocument)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

// Whether the pasted lines stand in the element, laid out in rows.
bool PastedAndLaidOut(const TTextorElement& text) {
    const TTextor& textor = *text.Textor();
    return textor.ParagraphCount() == PastedLines && textor.LastParagraph()->RowCount() > 0 &&
           !text.HoldsLayoutLock();
}

void BM_TextPasteUndo(benchmark::State& state) {
    TBenchTextScheme ours(true);
    const QString pasted = BenchLines(PastedLines, QStringLiteral("\r\n"));
    ours.text->EnterText(TEnterMode::Selection, {}, false, pasted);
    if (!PastedAndLaidOut(*ours.text)) {
        state.SkipWithError("the pasted lines are not laid out");
        return;
    }
    ours.text->SetText(QString());
    ours.history.Clear();
    for (auto _ : state) {
        ours.text->EnterText(TEnterMode::Selection, {}, false, pasted);
        benchmark::DoNotOptimize(ours.Layout());
        ours.history.Undo();
        benchmark::DoNotOptimize(ours.Layout());
        ours.history.Redo();
        benchmark::DoNotOptimize(ours.Layout());
        state.PauseTiming();
        ours.text->SetText(QString());
        ours.history.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextPasteUndo)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<5>);

// ---------------------------------------------------------------------------
// A keystroke in a long text

// A character typed at the end of a text of many paragraphs and one typed in
// its middle, each laid out; both are undone outside the timing, so that
// every keystroke meets the same text.
void BM_TextKeystrokeLongText(benchmark::State& state) {
    const int paragraphs = int(state.range(0));
    TBenchTextScheme ours(true);
    ours.sheet->SetActive(true);
    ours.text->SetText(BenchLines(paragraphs, QStringLiteral("\r\n")));
    ours.text->FocusText(TTextFocusPlace::End);
    TTextor& textor = *ours.text->Textor();
    TSchemeTextorInteractive* caret = ours.text->Interactive();
    const int length = int(ours.text->GetText().size());
    auto type = [&](const TTextorPosition& at) {
        caret->SetCaretPosition(at);
        state.ResumeTiming();
        QChar typed(u'x');
        ours.text->KeyPress(typed);
        benchmark::DoNotOptimize(ours.Layout());
        state.PauseTiming();
    };
    for (auto _ : state) {
        state.PauseTiming();
        type(textor.GetEndPosition());
        TTextorPosition middle;
        textor.NumericToPosition(TTextorNumericPosition{paragraphs / 2, LineLength / 2}, middle);
        type(middle);
        ours.history.Undo();
        ours.history.Undo();
        state.ResumeTiming();
    }
    if (!caret || ours.text->GetText().size() != length || textor.ParagraphCount() != paragraphs)
        state.SkipWithError("the typed characters did not come and go");
}
BENCHMARK(BM_TextKeystrokeLongText)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(QuillaneFastestOf<5>);

// ---------------------------------------------------------------------------
// Many embedded elements: selecting, deleting, undoing

// Paragraphs of EmbeddedPerParagraph embedded texts, each after a word.
constexpr int EmbeddedPerParagraph = 8;

TNodePtr<TKnot> EmbeddedContent(int count) {
    TNodePtr<TKnot> tree = TKnot::Create(kContentRootName);
    tree->SetFlagsAdded(kfIndexed);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % EmbeddedPerParagraph == 0) AddContentBreak(tree.get());
        tree->AddChild(kContentCharsName)->WriteStr(kContentValueName, QStringLiteral(" item %1 ").arg(i));
        tree->AddChild(TElement_BenchNote::StaticClass()->GetTypeName())
            ->WriteStr(kContentValueName, QStringLiteral("e%1").arg(i));
    }
    return tree;
}

int EmbeddedCount(const TTextorElement& text) {
    int count = 0;
    for (TParagraph* p = text.Textor()->FirstParagraph(); p; p = p->Next())
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next())
            count += portion->Kind() == TPortionKind::Element ? 1 : 0;
    return count;
}

// All selected, deleted, and the deletion undone; the selection is given up
// and the undo list cleared outside the timing.
void BM_TextEmbeddedSelectDeleteUndo(benchmark::State& state) {
    const int count = int(state.range(0));
    TBenchTextScheme ours(true, TElement_BenchRichText::StaticClass());
    ours.sheet->SetActive(true);
    ours.text->InsertContent(EmbeddedContent(count).get(), fmFile, 0, std::nullopt);
    ours.text->FocusText(TTextFocusPlace::Start);
    if (EmbeddedCount(*ours.text) != count || !ours.text->Interactive()) {
        state.SkipWithError("the embedded texts are not in the text");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        ours.text->Interactive()->SetCaretPosition(ours.text->Textor()->GetStartPosition());
        ours.history.Clear();
        state.ResumeTiming();
        ours.text->SelectAll();
        ours.text->DeleteContent();
        ours.history.Undo();
        benchmark::DoNotOptimize(ours.Layout());
    }
    if (EmbeddedCount(*ours.text) != count) state.SkipWithError("the embedded texts did not come back");
}
BENCHMARK(BM_TextEmbeddedSelectDeleteUndo)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(text_keystroke_long_text, "BM_TextKeystrokeLongText/100000/repeats:5",
                "BM_TextKeystrokeLongText/10000/repeats:5");
QUILLANE_GROWTH(text_embedded_select_delete_undo, "BM_TextEmbeddedSelectDeleteUndo/100000/repeats:3",
                "BM_TextEmbeddedSelectDeleteUndo/10000/repeats:3");
QUILLANE_GROWTH(text_content_roundtrip, "BM_TextContentRoundTrip/100000/repeats:5",
                "BM_TextContentRoundTrip/10000/repeats:5");
QUILLANE_RATIO(text_paste_undo_vs_qtextdocument, "BM_TextPasteUndo/repeats:5", "BM_TextPasteUndoQTextDocument/repeats:5");

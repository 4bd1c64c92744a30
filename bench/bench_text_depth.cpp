// Rich texts nested in rich texts, 100 and 1,000 levels deep (the deepest a
// document may be): the first layout of a freshly loaded document on a sheet,
// then one character typed at the end of the deepest text with the re-layouts
// it causes up the chain. Each level is one short paragraph whose text is as
// wide as the room its parent gives it, so the work per level is the same at
// every depth and the figures grow with the depth unless something walks the
// chain once per level. The headline figure times both on a fresh document
// per iteration; the keystroke alone is a figure of its own, so that the
// layout cannot hide it.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "text/diTextorElement.h"

#include <QStringList>
#include <benchmark/benchmark.h>

#include <memory>

// A rich text that holds rich texts of its own kind.
class TElement_BenchNestedText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_BenchNestedText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchNestedText, TTextorElement)

// The root: its one child stands at the top left.
class TElement_BenchDepthRoot : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchDepthRoot)
public:
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        if (TVisualElement* child = FirstVisualChild()) SetSize(child->Width(), child->Height());
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_BenchNestedText::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchDepthRoot, TVisualElement)

namespace {

const char* const Words[] = {"procedure", "begin", "end", "Result", "x", "Value", "Count", "for",
                             "while", "if", "then", "else", "TList", "Items", "Index", "Assign"};

// A few words, different for every level and every document.
QString LevelWords(int level, int document) {
    QStringList words;
    for (int i = 0; i < 3 + (level + document) % 4; ++i)
        words << QLatin1String(Words[(level * 7 + document * 5 + i * 3) % int(std::size(Words))]);
    return words.join(QLatin1Char(' '));
}

// The content of the outermost text: words, then a text holding words and
// the next level, `depth` texts in all.
TNodePtr<TKnot> NestedContent(int depth, int document) {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    TKnot* level = root.get();
    for (int i = 1; i < depth; ++i) {
        level->AddChild(kContentCharsName)->WriteStr(kContentValueName, LevelWords(i, document));
        level = level->AddChild(TElement_BenchNestedText::StaticClass()->GetTypeName());
    }
    level->AddChild(kContentCharsName)->WriteStr(kContentValueName, LevelWords(depth, document));
    return root;
}

// A document of nested texts, loaded off the sheet; Show puts it on the sheet
// and lays it out for the first time.
struct TNestedDocument {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TElement_BenchNestedText* outer = nullptr;

    TNestedDocument(int depth, int document) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(TElement_BenchDepthRoot::StaticClass(), QStringLiteral("Bench"));
        scheme->SetUndoRedo(&history);
        outer = TElement::CreateIn<TElement_BenchNestedText>(scheme.get(), scheme->Root());
        outer->SetVisualParent(static_cast<TVisualElement*>(scheme->Root()));
        outer->InsertContent(NestedContent(depth, document).get(), fmFile, 0, std::nullopt);
    }
    ~TNestedDocument() { scheme.reset(); }

    void Show() {
        static_cast<TVisualElement*>(scheme->Root())->SetVisualParent(sheet->Root());
        TSheetUpdate update(sheet.get());
        sheet->Root()->UpdateLayout(true, true, false, false);
        update.End();
    }
    TTextorElement* Deepest() const {
        TTextorElement* text = outer;
        while (auto* inner = dynamic_cast<TTextorElement*>(text->LastVisualChild())) text = inner;
        return text;
    }
    int Depth() const {
        int depth = 1;
        for (TTextorElement* text = outer; (text = dynamic_cast<TTextorElement*>(text->LastVisualChild()));) ++depth;
        return depth;
    }
    // A key pressed and released as the sheet form passes it on.
    void Type(QChar typed) {
        int down = typed.toUpper().unicode();
        sheet->KeyDown(down, 0);
        sheet->KeyPress(typed);
        int up = typed.toUpper().unicode();
        sheet->KeyUp(up, 0);
    }
};

// A document of its own for every iteration, loaded outside the clock.
std::unique_ptr<TNestedDocument> FreshDocument(benchmark::State& state, int depth, int& document) {
    auto doc = std::make_unique<TNestedDocument>(depth, document++);
    if (doc->Depth() != depth) {
        state.SkipWithError("the document is not nested as deep as asked");
        return nullptr;
    }
    return doc;
}

bool LaidOut(const TNestedDocument& doc) { return !doc.Deepest()->HoldsLayoutLock() && doc.outer->Width() > 0; }

// One character typed at the end of the deepest text; whether it arrived.
bool TypeInDeepest(TNestedDocument& doc) {
    TTextorElement* deepest = doc.Deepest();
    const qsizetype length = deepest->GetText().size();
    deepest->FocusText(TTextFocusPlace::End);
    doc.Type(QLatin1Char('q'));
    return deepest->GetText().size() == length + 1;
}

// The first layout and a keystroke in the deepest text, on a fresh document.
void BM_TextNestingDepth(benchmark::State& state) {
    const int depth = int(state.range(0));
    int document = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = FreshDocument(state, depth, document);
        if (!doc) break;
        state.ResumeTiming();
        doc->Show();
        const bool typed = TypeInDeepest(*doc);
        state.PauseTiming();
        if (!LaidOut(*doc) || !typed) {
            state.SkipWithError("the document was not laid out or the key did not reach the deepest text");
            break;
        }
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextNestingDepth)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// The first layout alone.
void BM_TextNestingLayout(benchmark::State& state) {
    const int depth = int(state.range(0));
    int document = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = FreshDocument(state, depth, document);
        if (!doc) break;
        state.ResumeTiming();
        doc->Show();
        state.PauseTiming();
        if (!LaidOut(*doc)) {
            state.SkipWithError("the document was not laid out");
            break;
        }
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextNestingLayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

// The keystroke alone, on one laid-out document: the character is taken back
// (undone) outside the clock, so that every keystroke meets the same text.
void BM_TextNestingKeystroke(benchmark::State& state) {
    const int depth = int(state.range(0));
    TNestedDocument doc(depth, 0);
    doc.Show();
    TTextorElement* deepest = doc.Deepest();
    deepest->FocusText(TTextFocusPlace::End);
    const QString before = deepest->GetText();
    for (auto _ : state) {
        doc.Type(QLatin1Char('q'));
        state.PauseTiming();
        if (deepest->GetText() != before + QLatin1Char('q')) {
            state.SkipWithError("the typed character did not reach the deepest text");
            break;
        }
        doc.history.Undo();
        doc.history.Clear();
        deepest->FocusText(TTextFocusPlace::End);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextNestingKeystroke)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(text_nesting_depth, "BM_TextNestingDepth/1000/repeats:3", "BM_TextNestingDepth/100/repeats:3");
QUILLANE_GROWTH(text_nesting_depth_layout, "BM_TextNestingLayout/1000/repeats:3", "BM_TextNestingLayout/100/repeats:3");
QUILLANE_GROWTH(text_nesting_depth_keystroke, "BM_TextNestingKeystroke/1000/repeats:3",
                "BM_TextNestingKeystroke/100/repeats:3");

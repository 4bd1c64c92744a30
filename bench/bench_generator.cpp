// The generator worker's walk over a file of texts: 10,000 and 100,000 texts,
// each holding a substitution of another text (its own), a folder and the
// processing date, all put in their places by one run (`generator_walk`); and one
// replacement whose content is a single paragraph of 10,000 and 100,000
// occurrences of the find text, all replaced (`generator_replace_all`). Each
// run works on a scheme freshly loaded from its stored tree (the load and the
// free are not timed), as the preview's private copy is.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "elements/coFunctionElements.h"
#include "elements/coGeneratorWorker.h"
#include "elements/coValueElements.h"
#include "scheme/diFilers.h"

#include <benchmark/benchmark.h>

#include <memory>

// A scheme file's root that takes texts at its top level.
class TElement_BenchGeneratorRoot : public TRoot {
    T_ELEMENT_CLASS(TElement_BenchGeneratorRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_Text::StaticClass();
        TRoot::FillAcceptedClasses(list);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchGeneratorRoot, TRoot)

namespace {

std::unique_ptr<TScheme> MakeScheme() {
    auto scheme = std::make_unique<TScheme>(TElement_BenchGeneratorRoot::StaticClass(), QStringLiteral("Bench"));
    scheme->SetFileName(QStringLiteral("/bench/generated.prm"));
    return scheme;
}

// On a line of its own at the end of the root's text.
TElement_Text* AddText(TScheme* scheme, const QString& name, const QString& value) {
    auto* root = static_cast<TTextorElement*>(scheme->Root());
    root->InsertElementOfClass(TElement_Text::StaticClass(), true, std::nullopt);
    auto* portion = static_cast<TElementPortion*>(root->Textor()->LastParagraph()->Prev()->LastPortion());
    auto* text = static_cast<TElement_Text*>(portion->Element());
    text->NameField()->SetText(name);
    text->ValueField()->SetText(value);
    return text;
}

template <class T>
T* Embed(TTextorElement* text) {
    return static_cast<T*>(text->AddElementOfClass(T::StaticClass()));
}

void Append(TTextorElement* text, const QString& chars) {
    text->Textor()->InsertText(text->Textor()->GetEndPosition(), chars);
}

TNodePtr<TKnot> Stored(TScheme* scheme) {
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Bench"));
    scheme->Root()->SaveToKnot(knot.get(), fmFile, 0);
    return knot;
}

// count texts, each "Say <Gi> at <folder> on <date>", after its greeting Gi
// (a name of its own: the references of one name are not what is measured).
TNodePtr<TKnot> StoredTexts(int count) {
    std::unique_ptr<TScheme> scheme = MakeScheme();
    TSchemeUpdate update(scheme.get());
    for (int i = 0; i < count; ++i) {
        AddText(scheme.get(), QStringLiteral("G%1").arg(i), QStringLiteral("Hello"));
        TTextorElement* value = AddText(scheme.get(), QStringLiteral("T%1").arg(i), QStringLiteral("Say "))->ValueField();
        Embed<TElement_Substitution>(value)->SetText(QStringLiteral("G%1").arg(i));
        Append(value, QStringLiteral(" at "));
        Embed<TElement_Path>(value)->SetValue(QStringLiteral("/bench/out%1/").arg(i % 97));
        Append(value, QStringLiteral(" on "));
        Embed<TElement_ProcessingDateTime>(value);
    }
    update.End();
    return Stored(scheme.get());
}

// One text holding a replacement of every "a" in one paragraph of count "ab ".
TNodePtr<TKnot> StoredReplacement(int count) {
    std::unique_ptr<TScheme> scheme = MakeScheme();
    TTextorElement* value = AddText(scheme.get(), QStringLiteral("Text"), QString())->ValueField();
    auto* replacement = Embed<TElement_Replacement>(value);
    replacement->Content()->SetText(QStringLiteral("ab ").repeated(count));
    replacement->FindValue()->SetText(QStringLiteral("a"));
    replacement->ReplaceValue()->SetText(QStringLiteral("xy"));
    return Stored(scheme.get());
}

// Loads knot afresh (untimed), runs the worker on it, checks the run.
template <class Check>
void RunGenerator(benchmark::State& state, const TKnot& knot, const Check& check) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TScheme> scheme = MakeScheme();
        scheme->Root()->LoadFromKnot(const_cast<TKnot*>(&knot), fmFile, 0);
        TElementMessages messages;
        auto worker = std::make_unique<TSchemeGeneratorWorker>();
        worker->Root = scheme->Root();
        worker->ProcessingDateTime = QDateTime::currentDateTime();
        worker->SetMessages(&messages);
        QuillaneLeaveCaches();
        state.ResumeTiming();
        worker->Generate();
        state.PauseTiming();
        const bool done = check(scheme.get());
        worker.reset();
        scheme.reset();
        state.ResumeTiming();
        if (!done) {
            state.SkipWithError("the run left values in place");
            break;
        }
    }
}

void BM_GeneratorWalk(benchmark::State& state) {
    const int count = int(state.range(0));
    TNodePtr<TKnot> knot = StoredTexts(count);
    RunGenerator(state, *knot, [](TScheme* scheme) {
        auto* last = dynamic_cast<TElement_Text*>(scheme->Root()->LastChild());
        return last && last->ValueField()->Textor()->ElementPortionCount() == 0 &&
               last->ValueField()->GetText().startsWith(QStringLiteral("Say Hello at /bench/out"));
    });
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GeneratorWalk)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

void BM_GeneratorReplaceAll(benchmark::State& state) {
    const int count = int(state.range(0));
    TNodePtr<TKnot> knot = StoredReplacement(count);
    RunGenerator(state, *knot, [count](TScheme* scheme) {
        auto* text = dynamic_cast<TElement_Text*>(scheme->Root()->LastChild());
        return text && text->ValueField()->GetText().size() == 4 * count;
    });
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GeneratorReplaceAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(generator_walk, "BM_GeneratorWalk/100000/repeats:3", "BM_GeneratorWalk/10000/repeats:3");
QUILLANE_GROWTH(generator_replace_all, "BM_GeneratorReplaceAll/100000/repeats:3",
                "BM_GeneratorReplaceAll/10000/repeats:3");

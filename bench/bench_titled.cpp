// Titled elements: schemes of many collapsible titled elements, each with a
// description, standing in the contents of titled parents. Loading such a
// scheme from its stored tree and its first layout on a sheet, and the
// "Collapsed" item applied to all of them as one step and then undone.

#include "benchSupport.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "elements/diElementsUnits.h"
#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Joins the visual children of the element's element-tree parent.
void JoinTreeParent(TVisualElement* element) {
    auto* parent = dynamic_cast<TVisualElement*>(element->Parent());
    if (parent && !element->VisualParent()) element->SetVisualParent(parent);
}

// The children that are not sub-elements, stored as knots of their type names.
void SaveOrdinaryChildren(TVisualElement* element, TSchemeSaver* saver, TKnot* knot) {
    for (TNode* n = element->FirstChild(); n; n = n->NextSibling())
        if (auto* e = dynamic_cast<TElement*>(n); e && !e->IsSubElement()) element->SaveChildToNode(saver, knot, e);
}

void LoadOrdinaryChildren(TVisualElement* element, TSchemeLoader* loader, TKnot* knot) {
    TElementClassList classes;
    bool filled = false;
    for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling())
        element->CreateChildFromNode(loader, k, nullptr, classes, filled);
}

}  // namespace

class TElement_BenchTitledItem;

// The content of a bench parent: its children stand in a column.
class TElement_BenchTitledColumn : public TVisualElement, public ITitleElement {
    T_ELEMENT_CLASS(TElement_BenchTitledColumn)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TVisualElement::SaveTo(saver, knot);
        SaveOrdinaryChildren(this, saver, knot);
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TVisualElement::LoadFrom(loader, knot);
        LoadOrdinaryChildren(this, loader, knot);
    }
    QSize GetTitleSize() override { return m_size; }
    int GetTitleDescent() override { return 0; }
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        Arrange();
    }
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override {
        if (oldRect.Height() == child->Height() && oldRect.Width() == child->Width()) return;
        Arrange();
    }

private:
    // Stacks the visible children; a changed size re-lays the owner.
    void Arrange() {
        int y = 0, width = 0;
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
            if (!c->IsVisible()) continue;
            c->SetPosition(0, y);
            y += c->Height();
            width = std::max(width, c->Width());
        }
        if (m_size == QSize(width, y)) return;
        m_size = QSize(width, y);
        if (auto* owner = dynamic_cast<TCustomTitledElement*>(Parent())) owner->UpdateTitleLayout();
    }
    QSize m_size;
};
T_ELEMENT_CLASS_IMPL(TElement_BenchTitledColumn, TVisualElement)


// A collapsible titled element with a description; its title holds its
// number, so that no two titles are the same.
class TElement_BenchTitledItem : public TTitledElement {
    T_ELEMENT_CLASS(TElement_BenchTitledItem)
public:
    void TreePlacementChanged() override { JoinTreeParent(this); }
    void Create() override {
        TTitledElement::Create();
        CreateExpandButton(true);
        CreateDescriptionField();
    }
    void WriteTitle(TTitleWriter& writer) override {
        TTitledElement::WriteTitle(writer);
        writer.AddText(QStringLiteral("Item %1").arg(Number()));
        if (IsExpanded()) {
            writer.NewLine();
            writer.AddText(QStringLiteral("its body %1 while expanded").arg(Number()));
        }
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchTitledItem, TTitledElement)

// A titled parent whose content is a column of items.
class TElement_BenchTitledParent : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_BenchTitledParent)
public:
    void TreePlacementChanged() override { JoinTreeParent(this); }
    const TElementClass* GetContentClass() override { return TElement_BenchTitledColumn::StaticClass(); }
    void WriteTitle(TTitleWriter& writer) override {
        TTitledElementWithContent::WriteTitle(writer);
        writer.AddText(QStringLiteral("Parent %1").arg(Number()));
        writer.NewLine();
        writer.AddBlock(Content());
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchTitledParent, TTitledElementWithContent)

void TElement_BenchTitledColumn::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_BenchTitledItem::StaticClass();
}

// The scheme root: the parents keep the places of the first layout, as
// freely placed elements do.
class TElement_BenchTitledRoot : public TPanelElement {
    T_ELEMENT_CLASS(TElement_BenchTitledRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_BenchTitledParent::StaticClass();
    }
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override {
        TPanelElement::SaveTo(saver, knot);
        SaveOrdinaryChildren(this, saver, knot);
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override {
        TPanelElement::LoadFrom(loader, knot);
        LoadOrdinaryChildren(this, loader, knot);
    }
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TPanelElement::UpdateLayout(force, all, widthChanged, heightChanged);
        if (!force) return;
        int y = 0;
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
            c->SetPosition(0, y);
            y += c->Height();
        }
        UpdateSize();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchTitledRoot, TPanelElement)

namespace {

constexpr int ItemsPerParent = 100;

TNodePtr<TSheetSettings> MakeBenchSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

struct TBenchTitledScheme {
    TNodePtr<TSheetSettings> settings = MakeBenchSettings();
    TSheet sheet{settings.get()};
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;

    TBenchTitledScheme() {
        scheme = std::make_unique<TScheme>(TElement_BenchTitledRoot::StaticClass(), QStringLiteral("Bench"));
        scheme->SetUndoRedo(&history);
    }
    ~TBenchTitledScheme() { scheme.reset(); }
    TVisualElement* Root() const { return static_cast<TVisualElement*>(scheme->Root()); }

    // Parents of ItemsPerParent items each, every item described.
    void Fill(int items) {
        for (int made = 0; made < items;) {
            auto* parent = TElement::CreateIn<TElement_BenchTitledParent>(scheme.get(), scheme->Root());
            for (int i = 0; i < ItemsPerParent && made < items; ++i, ++made) {
                auto* item = TElement::CreateIn<TElement_BenchTitledItem>(scheme.get(), parent->Content());
                item->DescriptionField()->SetText(QStringLiteral("Note %1").arg(made));
            }
        }
    }
    // Shows the scheme on the sheet: its first layout.
    void Show() {
        TSheetUpdate update(&sheet);
        Root()->SetVisualParent(sheet.Root());
    }
    QList<TElement*> Items() const {
        QList<TElement*> items;
        for (TNode* p = scheme->Root()->FirstChild(); p; p = p->NextSibling())
            if (auto* parent = dynamic_cast<TElement_BenchTitledParent*>(p))
                for (TNode* i = parent->Content()->FirstChild(); i; i = i->NextSibling())
                    if (auto* item = dynamic_cast<TElement_BenchTitledItem*>(i)) items << item;
        return items;
    }
};

// The stored tree of a scheme of the given number of items.
TNodePtr<TKnot> StoredScheme(int items) {
    TBenchTitledScheme source;
    source.Fill(items);
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Bench"));
    source.scheme->Root()->SaveToKnot(knot.get(), fmFile, 0);
    return knot;
}

void BM_TitledLoadLayout(benchmark::State& state) {
    const int items = int(state.range(0));
    TNodePtr<TKnot> knot = StoredScheme(items);
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<TBenchTitledScheme>();
        state.ResumeTiming();
        target->scheme->Root()->LoadFromKnot(knot.get(), fmFile, 0);
        target->Show();
        benchmark::DoNotOptimize(target->Root()->Height());
        state.PauseTiming();
        if (target->Items().size() != items) {
            state.SkipWithError("the loaded scheme lacks items");
            break;
        }
        target.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * items);
}
BENCHMARK(BM_TitledLoadLayout)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

void BM_TitledCollapseAll(benchmark::State& state) {
    const int items = int(state.range(0));
    TBenchTitledScheme bench;
    bench.Fill(items);
    bench.Show();
    const QList<TElement*> all = bench.Items();
    const int expandedHeight = bench.Root()->Height();
    for (auto _ : state) {
        {
            TSheetUpdate update(&bench.sheet);
            CollapsedPaletteItem()->ExecuteForList(all, true);
        }
        benchmark::DoNotOptimize(bench.Root()->Height());
        {
            TSheetUpdate update(&bench.sheet);
            bench.history.Undo();
        }
        benchmark::DoNotOptimize(bench.Root()->Height());
    }
    auto* first = static_cast<TTitledElement*>(all.front());
    if (!first->IsExpanded() || bench.Root()->Height() != expandedHeight) state.SkipWithError("not restored by undo");
    state.SetItemsProcessed(state.iterations() * items);
}
BENCHMARK(BM_TitledCollapseAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(titled_load_layout, "BM_TitledLoadLayout/100000/repeats:3", "BM_TitledLoadLayout/10000/repeats:3");
QUILLANE_GROWTH(titled_collapse_all, "BM_TitledCollapseAll/100000/repeats:3",
                "BM_TitledCollapseAll/10000/repeats:3");

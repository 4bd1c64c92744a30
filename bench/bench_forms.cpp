// The sheet form on modules of 1,000, 10,000 and 100,000 elements (comments
// in a rich text, one a line), shown offscreen at 800 x 600:
// - repainting the viewport through the widget, scrolled to the middle of
//   the content: must not grow with what lies off screen;
// - finding a text that only the last element holds, starting at the first
//   element (the focus is put back on the first one outside the clock): one
//   find step per element, so about linear.

#include "benchSupport.h"

#include "elements/diCommonElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "text/diTextor.h"
#include "text/diTextorElement.h"
#include "ui/baSaper.h"
#include "ui/diSheetForm.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <memory>

// The module's root: a rich text that takes comments.
class TElement_FormsBenchRoot : public TTextorElement {
    T_ELEMENT_CLASS(TElement_FormsBenchRoot)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent);
        SetRestrictions(trAllCharacters);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_Comment::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_FormsBenchRoot, TTextorElement)

namespace {

constexpr QSize kFormSize{800, 600};
const QString kNeedle = QStringLiteral("needle in the last comment");

// n comments on a sheet shown in a sheet form; the last one holds the needle.
struct TFormsModule {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    std::unique_ptr<TScheme> scheme;
    std::unique_ptr<TSheetForm> form;
    TElement_FormsBenchRoot* root = nullptr;
    TElement_Comment* first = nullptr;

    explicit TFormsModule(int count) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(TElement_FormsBenchRoot::StaticClass(), QStringLiteral("Module"));
        root = static_cast<TElement_FormsBenchRoot*>(scheme->Root());
        {
            TSheetUpdate update(sheet.get());
            root->SetVisualParent(sheet->Root());
            TTextor& textor = *root->Textor();
            textor.BeginUpdate();
            for (int i = 0; i < count; ++i) {
                if (i > 0) textor.InsertText(textor.GetEndPosition(), QStringLiteral("\r\n"));
                auto* comment = TElement::CreateIn<TElement_Comment>(scheme.get(), root);
                comment->SetText(i + 1 == count ? kNeedle : QStringLiteral("comment number %1 of the module").arg(i));
                textor.InsertElement(textor.GetEndPosition(), comment);
                comment->SetVisualParentAt(root, nullptr);
                if (!first) first = comment;
            }
            textor.EndUpdate();
            sheet->Root()->UpdateLayout(true, true, false, false);
        }
        form = std::make_unique<TSheetForm>(nullptr, nullptr);
        form->resize(kFormSize);
        form->AttachSheet(scheme.get(), sheet.get());
        form->show();
        QCoreApplication::processEvents();
    }
    ~TFormsModule() {
        form.reset();
        scheme.reset();
    }
};

void BM_SheetFormPaintViewport(benchmark::State& state) {
    TFormsModule module(int(state.range(0)));
    TRangeBox& box = module.form->RangeBox();
    box.SetScrollPosition(QPoint(0, module.sheet->GetContentHeight() / 2));
    QCoreApplication::processEvents();
    for (auto _ : state) {
        box.viewport()->repaint();
    }
    state.counters["height"] = module.sheet->GetContentHeight();
}
BENCHMARK(BM_SheetFormPaintViewport)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SheetFormFind(benchmark::State& state) {
    TFormsModule module(int(state.range(0)));
    const TFindData request(kNeedle);
    for (auto _ : state) {
        state.PauseTiming();
        module.first->FocusText(TTextFocusPlace::Start);
        QuillaneLeaveCaches();
        state.ResumeTiming();
        if (!module.form->Find(TFindMode::SkipMatchingSelection, request, true)) state.SkipWithError("not found");
    }
}
BENCHMARK(BM_SheetFormFind)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(sheetform_paint_viewport, "BM_SheetFormPaintViewport/100000", "BM_SheetFormPaintViewport/10000");
QUILLANE_GROWTH(sheetform_find, "BM_SheetFormFind/100000/iterations:3/repeats:3", "BM_SheetFormFind/10000/iterations:3/repeats:3");

// Printing a scheme to a PDF file as the print command does: the scheme laid
// out again on the printing sheet, every page painted onto the printer, the
// file written. A page paints only what lies on it, so the time grows with
// the scheme, not with the scheme times its pages.

#include "benchSupport.h"

#include "benchSheets.h"
#include "ui/diPrint.h"

#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kPrinterDpi = 600;

// A leaf that prints its title on its fill, as element kinds print theirs.
class TElement_PrintBox : public benchsheets::TElement_BenchBox {
    T_ELEMENT_CLASS(TElement_PrintBox)
public:
    void Paint(TSheetCanvas& canvas) override {
        TElement_BenchBox::Paint(canvas);
        if (!Title.isEmpty()) canvas.TextOutElement(4, 2, Title);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_PrintBox, benchsheets::TElement_BenchBox)

void BM_PrintSheet(benchmark::State& state) {
    benchsheets::TBigSheet<TElement_PrintBox> s(int(state.range(0)));
    TNodePtr<TPrintSettings> settings = TProperty::CreateRoot<TPrintSettings>(QStringLiteral("Print"));
    settings->CreateProperties();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("scheme.pdf"));
    const QPageLayout page = DefaultPageSetup();
    for (auto _ : state) {
        state.PauseTiming();
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setResolution(kPrinterDpi);
        printer->setOutputFileName(file);
        state.ResumeTiming();
        PrintSheet(*printer, QStringLiteral("Bench"), *s.sheet, *settings, page);
        state.PauseTiming();
        printer.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrintSheet)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(print_sheet, "BM_PrintSheet/10000/repeats:3", "BM_PrintSheet/1000/repeats:3");

// The Pascal preview beside the sheet, on program modules of unit-level
// fields. One pass (snapshot, private copy, generation, the text shown) at
// 1,000 and 10,000 elements, each into an emptied preview; and, with the
// preview's thread running on a 10,000-element module, the time from a
// one-character edit of a name (in-place editing ended) to the new text in
// the preview, less the 220 ms pause the preview waits for on purpose.

#include "benchSupport.h"

#include "app/unDocument.h"
#include "app/unRightSubForm.h"
#include "core/cuNode.h"
#include "core/cuProps.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prScheme.h"
#include "scheme/diCanvas.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace Qt::StringLiterals;

constexpr int kEditsPerRun = 20;
constexpr int kLetterX = 88;
constexpr int kShowWaitMs = 60000;

// A module of unit-level fields of varied names and types, of at least
// `elements` elements, written as a file (once per size).
QString FieldsModuleFile(int elements) {
    static QTemporaryDir folder;
    static QMap<int, QString> written;
    if (written.contains(elements)) return written[elements];
    const TSchemeDescriptor& kind = ProgramSchemeDescriptor();
    auto scheme = std::make_unique<TScheme>(kind.GetRootClass(), kind.GetKindName());
    auto* root = static_cast<TTextorElement*>(scheme->Root());
    static const QString kTypes[] = {u"int"_s, u"string"_s, u"bool"_s, u"double"_s};
    for (int i = 0; scheme->ElementCount() < elements; ++i) {
        root->InsertNewElement(TElement_Field::StaticClass(), nullptr, std::nullopt);
        TNode* last = root->LastChild();
        while (last && static_cast<TElement*>(last)->IsSubElement()) last = last->PrevSibling();
        auto* field = static_cast<TElement_Field*>(last);
        field->NameField()->ReplaceText(QStringLiteral("Value%1").arg(i * 7919 % 100003));
        field->TypeField()->ReplaceText(kTypes[i % 4]);
    }
    const QString fileName = folder.filePath(QStringLiteral("Fields%1.prm").arg(elements));
    scheme->SaveToFile(fileName);
    written[elements] = fileName;
    return fileName;
}

// The module opened as a document shown on its sheet.
struct TShownModule {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(u"Sheet"_s);
    std::unique_ptr<TSchemeDocument> document;

    explicit TShownModule(int elements) {
        settings->CreateProperties();
        document = std::make_unique<TSchemeDocument>(ProgramSchemeDescriptor(), settings.get());
        document->Open(FieldsModuleFile(elements));
        document->SetActive(true);
    }
};

void BM_PreviewPass(benchmark::State& state) {
    TShownModule module(int(state.range(0)));
    TRightSubForm preview(module.settings.get());
    TRightFormThread pass(*module.document->Scheme(), module.document->MainSheet(), preview.Root(),
                          preview.PreviewSheet());
    for (auto _ : state) {
        state.PauseTiming();
        preview.Root().SetText(QString());
        QuillaneLeaveCaches();
        state.ResumeTiming();
        pass.Pass();
    }
    state.counters["chars"] = double(preview.Text().size());
}
BENCHMARK(BM_PreviewPass)->Arg(1000)->Arg(10000)->Iterations(1)->Apply(QuillaneFastestOf<5>)->Unit(benchmark::kMillisecond);

// Waits, running the events the thread's calls need, until the preview's text changes.
bool WaitForNewText(const TRightSubForm& preview, const QString& old) {
    QElapsedTimer waited;
    waited.start();
    while (preview.Text() == old) {
        if (waited.elapsed() > kShowWaitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void BM_PreviewKeystroke(benchmark::State& state) {
    TShownModule module(int(state.range(0)));
    TRightSubForm preview(module.settings.get());
    TSheet* sheet = module.document->MainSheet();
    preview.SetScheme(module.document->Scheme(), sheet);
    if (!WaitForNewText(preview, QString())) {
        state.SkipWithError("no first preview");
        return;
    }
    std::vector<TElement_Field*> fields;
    for (TNode* n = module.document->Scheme()->Root()->FirstChild(); n; n = n->NextSibling())
        if (auto* field = dynamic_cast<TElement_Field*>(n)) fields.push_back(field);
    std::vector<double> samples;
    int edit = 0;
    for (auto _ : state) {
        for (int i = 0; i < kEditsPerRun; ++i, ++edit) {
            TElement_Field* field = fields[size_t(edit) * 131 % fields.size()];
            sheet->SetFocus(field->NameField());
            const QString old = preview.Text();
            QElapsedTimer timer;
            timer.start();
            int key = kLetterX;
            QChar ch(u'x');
            sheet->KeyDown(key, 0);
            sheet->KeyPress(ch);
            key = kLetterX;
            sheet->KeyUp(key, 0);
            sheet->FinishEditing();
            if (!WaitForNewText(preview, old)) {
                state.SkipWithError("the preview did not follow an edit");
                return;
            }
            samples.push_back(double(timer.nsecsElapsed()) / 1e6 - double(TRightFormThread::kQuietMs));
        }
    }
    preview.SetScheme(nullptr, nullptr);
    QuillaneLatencySamples(state, "median_ms", samples, 0.5);
}
BENCHMARK(BM_PreviewKeystroke)->Arg(10000)->Iterations(1)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(preview_regenerate, "BM_PreviewPass/10000/iterations:1/repeats:5",
                "BM_PreviewPass/1000/iterations:1/repeats:5");
QUILLANE_LATENCY(preview_keystroke_10k_ms, "BM_PreviewKeystroke/10000/iterations:1/repeats:3", "median_ms");

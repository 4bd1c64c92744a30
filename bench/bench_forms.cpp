// The sheet form on modules of 1,000, 10,000 and 100,000 elements (comments
// in a rich text, one a line), shown offscreen at 800 x 600:
// - repainting the viewport through the widget, scrolled to the middle of
//   the content: must not grow with what lies off screen;
// - finding a text that only the last element holds, starting at the first
//   element (the focus is put back on the first one outside the clock): one
//   find step per element, so about linear.
// - typing in the edit form: a sheet of 10,000 text elements in nested columns
//   shown by the edit form's sheet form (800 x 600, the palette attached above
//   it), the text in the middle scrolled into view and focused. Each sample is
//   one key pressed on the form's range box (a letter, then Backspace, taking
//   it away again), followed by what the window system's next paint does: the
//   pending repaint painted and flushed to the (offscreen) screen. Against
//   Qt's QPlainTextEdit of the same visible size holding one line per element,
//   the same keys on its middle line, flushed the same way. The 95th
//   percentile of the sheet form's keystrokes (milliseconds) is a figure of its
//   own.

#include "benchSheets.h"
#include "benchSupport.h"

#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "elements/diCommonElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "text/diTextor.h"
#include "text/diTextorElement.h"
#include "ui/baSaper.h"
#include "ui/diEditForm.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

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


namespace {

using TBenchClock = std::chrono::steady_clock;

constexpr int OuterColumns = 10;
constexpr int InnerColumns = 10;
constexpr int TextsPerColumn = 100;
constexpr int ElementCount = OuterColumns * InnerColumns * TextsPerColumn;
constexpr int EditedElement = ElementCount / 2;
constexpr int KeyPairs = 100;  // each a letter and a Backspace
constexpr QSize SheetSize{800, 600};
constexpr double Percentile = 0.95;
constexpr int Repetitions = 3;

QString BenchName(int index) { return QStringLiteral("Element%1Name").arg(index); }

double Milliseconds(TBenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Paints what is pending and flushes it to the screen.
void Flush() { QCoreApplication::processEvents(); }

// The edit form with its palette, showing the names on an active sheet.
struct TFormsEditor {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TTextorElement* edited = nullptr;
    std::unique_ptr<TEditForm> form;

    TFormsEditor() {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(benchsheets::TElement_BenchStack::StaticClass(), QStringLiteral("Bench"));
        scheme->SetUndoRedo(&history);
        auto* root = static_cast<TVisualElement*>(scheme->Root());
        int index = 0;
        for (int outer = 0; outer < OuterColumns; ++outer) {
            auto* outerColumn = AddStack(root);
            for (int inner = 0; inner < InnerColumns; ++inner) {
                auto* innerColumn = AddStack(outerColumn);
                for (int i = 0; i < TextsPerColumn; ++i, ++index) AddText(innerColumn, index);
            }
        }
        root->SetVisualParent(sheet->Root());
        {
            TSheetUpdate update(sheet.get());
            sheet->Root()->UpdateLayout(true, true, false, false);
        }
        form = std::make_unique<TEditForm>();
        form->AttachScheme(scheme.get(), sheet.get(), nullptr, nullptr);
        form->show();
        form->resize(SheetSize.width(), SheetSize.height() + form->PaletteForm().height());
        QTest::qWaitForWindowExposed(form.get());
        Box().setFocus();
        edited->FocusText(TTextFocusPlace::End);
        Flush();
        history.Clear();
    }
    ~TFormsEditor() {
        form.reset();
        scheme.reset();
    }
    TRangeBox& Box() const { return form->SheetForm().RangeBox(); }

private:
    benchsheets::TElement_BenchStack* AddStack(TVisualElement* parent) {
        auto* stack = TElement::CreateIn<benchsheets::TElement_BenchStack>(scheme.get(), parent);
        stack->SetVisualParent(parent);
        return stack;
    }
    void AddText(TVisualElement* parent, int index) {
        auto* text = TElement::CreateIn<TTextorElement>(scheme.get(), parent);
        text->SetText(BenchName(index));
        text->SetVisualParent(parent);
        if (index == EditedElement) edited = text;
    }
};

// A letter, then Backspace, each flushed; the samples of both keys.
template <class Widget>
void TypePairs(Widget& target, std::vector<double>& samples) {
    for (int i = 0; i < KeyPairs; ++i)
        for (Qt::Key key : {Qt::Key_Q, Qt::Key_Backspace}) {
            const auto start = TBenchClock::now();
            QTest::keyClick(&target, key);
            Flush();
            samples.push_back(Milliseconds(TBenchClock::now() - start));
        }
}

void BM_SheetFormKeystroke(benchmark::State& state) {
    TFormsEditor ours;
    const QString before = ours.edited->GetText();
    QTest::keyClick(&ours.Box(), Qt::Key_Q);
    if (ours.edited->GetText() != before + QLatin1Char('q')) {
        state.SkipWithError("a key pressed on the form does not reach the focused name");
        return;
    }
    QTest::keyClick(&ours.Box(), Qt::Key_Backspace);
    std::vector<double> samples;
    for (auto _ : state) TypePairs(ours.Box(), samples);
    if (ours.edited->GetText() != before) state.SkipWithError("keys were lost");
    QuillaneLatencySamples(state, "p95_ms", std::move(samples), Percentile);
}
BENCHMARK(BM_SheetFormKeystroke)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

void BM_SheetFormKeystrokeQPlainTextEdit(benchmark::State& state) {
    QPlainTextEdit peer;
    QStringList lines;
    for (int i = 0; i < ElementCount; ++i) lines << BenchName(i);
    peer.setPlainText(lines.join(QLatin1Char('\n')));
    peer.resize(SheetSize);
    peer.show();
    QTest::qWaitForWindowExposed(&peer);
    QTextCursor cursor(peer.document()->findBlockByNumber(EditedElement));
    cursor.movePosition(QTextCursor::EndOfBlock);
    peer.setTextCursor(cursor);
    peer.centerCursor();
    peer.setFocus();
    Flush();
    std::vector<double> samples;
    for (auto _ : state) TypePairs(peer, samples);
    if (peer.document()->findBlockByNumber(EditedElement).text() != BenchName(EditedElement))
        state.SkipWithError("keys were lost");
    QuillaneLatencySamples(state, "p95_ms", std::move(samples), Percentile);
}
BENCHMARK(BM_SheetFormKeystrokeQPlainTextEdit)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<Repetitions>);

}  // namespace

QUILLANE_RATIO(sheetform_keystroke_vs_qplaintextedit, "BM_SheetFormKeystroke/iterations:1/repeats:3",
               "BM_SheetFormKeystrokeQPlainTextEdit/iterations:1/repeats:3");
QUILLANE_LATENCY(sheetform_keystroke_p95_ms, "BM_SheetFormKeystroke/iterations:1/repeats:3", "p95_ms");

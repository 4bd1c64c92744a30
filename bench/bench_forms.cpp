// The sheet form on program modules of 1,000, 10,000 and 100,000 elements
// (declarations, objects with members, routines with loops, conditions,
// calls and returns), each written once per size and loaded untimed into a
// fresh scheme shown on a sheet, as opening a file does:
// - repainting the viewport through the widget (800 x 600), scrolled to the
//   middle of the content: must not grow with what lies off screen;
// - finding a text that only the last element holds, starting at the first
//   element (the focus is put back on the first one outside the clock): one
//   find step per element, so about linear.
// - typing in the edit form: the 10,000-element module shown by the edit
//   form's sheet form (800 x 600, the palette attached above it), a name in
//   the middle scrolled into view and focused. Each sample is one key pressed
//   on the form's range box (a letter, then Backspace, taking it away again),
//   followed by what the window system's next paint does: the pending repaint
//   painted and flushed to the (offscreen) screen. The 95th percentile of
//   these keystrokes (milliseconds) is a figure of its own. The same keys in
//   the same name shown by the sheet form alone (800 x 600, a window of its
//   own) against Qt's QPlainTextEdit of the same visible size holding one
//   line per element, the same keys on its middle line, flushed the same way.

#include "benchProgram.h"
#include "benchColumn.h"
#include "benchSupport.h"

#include "core/cuNode.h"
#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "platform/plDialogs.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prSimpleElements.h"
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
#include <QMap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace benchprogram;
using namespace Qt::StringLiterals;

constexpr QSize kFormSize{800, 600};
// The text only the last element holds: the name of a field after the last
// group.
const QString kNeedle = u"NeedleAfterEverything"_s;

// Elements each group inserts (see BuildGroup; the value of the call's
// parameter is an element of its own).
constexpr int kElementsPerGroup = 25;

// An object counting what its method is given.
void BuildObject(TTextorElement* root, const QString& n) {
    auto* object = InsertNamed<TElement_Object>(root, u"TCounter"_s + n);
    TTextorElement* members = ContentOf(object);
    InsertNamed<TElement_Field>(members, u"Count"_s)->TypeField()->ReplaceText(u"int"_s);
    auto* step = InsertNamed<TElement_Method>(members, u"Step"_s);
    InsertNamed<TElement_Parameter>(step->Parameters(), u"AValue"_s)->TypeField()->ReplaceText(u"int"_s);
    auto* add = Insert<TElement_Let>(step->Body());
    add->LeftSide()->ReplaceText(u"Count"_s);
    InsertOperator<TElement_Operation>(add->RightSide(), uint8_t(TOperationKind::Summ), u"Count"_s, u"AValue"_s);
}


// Declarations (an enumeration with two items, a constant, a field), an
// object and a routine using them.
void BuildGroup(TTextorElement* root, int i) {
    const QString n = QString::number(i);
    auto* kinds = InsertNamed<TElement_Enum>(root, u"TKind"_s + n);
    InsertNamed<TElement_EnumItem>(ContentOf(kinds), u"kdFirst"_s + n);
    InsertNamed<TElement_EnumItem>(ContentOf(kinds), u"kdSecond"_s + n);
    InsertNamed<TElement_Constant>(root, u"Limit"_s + n)->ValueField()->ReplaceText(u"100"_s);
    InsertNamed<TElement_Field>(root, u"Total"_s + n)->TypeField()->ReplaceText(u"int"_s);
    BuildObject(root, n);
    BuildCountingRoutine(root, i, u"Total"_s + n, u"Limit"_s + n);
}

int GroupsFor(int elements) { return elements / kElementsPerGroup; }

// The name typed in: the total of the middle group.
QString EditedName(int elements) { return u"Total"_s + QString::number(GroupsFor(elements) / 2); }

// The module of about `elements` elements written as a file (once per size).
QString ModuleFile(int elements) {
    static QTemporaryDir folder;
    static QMap<int, QString> written;
    if (written.contains(elements)) return written[elements];
    auto scheme = NewProgramModule();
    auto* root = static_cast<TTextorElement*>(scheme->Root());
    for (int i = 0; i < GroupsFor(elements); ++i) BuildGroup(root, i);
    InsertNamed<TElement_Field>(root, kNeedle)->TypeField()->ReplaceText(u"int"_s);
    const QString fileName = folder.filePath(u"Module%1.prm"_s.arg(elements));
    scheme->SaveToFile(fileName);
    written[elements] = fileName;
    return fileName;
}

// The elements of the module that are not parts of another.
int ElementCount(TElement* root) {
    int count = 0;
    for (TNode* node : PreOrder<TNode>(root))
        if (auto* element = dynamic_cast<TElement*>(node); element && element != root && !element->IsSubElement())
            ++count;
    return count;
}

// The named element of the module whose name is `name`.
TNamedElement* FindNamed(TElement* root, const QString& name) {
    for (TNode* node : PreOrder<TNode>(root))
        if (auto* element = dynamic_cast<TNamedElement*>(node); element && element->NameField()->GetText() == name)
            return element;
    return nullptr;
}

// A program module of about `elements` elements loaded from its file into a
// fresh scheme with an undo history and shown on a sheet, laid out, as
// opening a file shows it.
struct TShownModule {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(u"Sheet"_s);
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TTextorElement* root = nullptr;

    explicit TShownModule(int elements) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = NewProgramModule();
        scheme->SetUndoRedo(&history);
        scheme->LoadFromFile(ModuleFile(elements));
        root = static_cast<TTextorElement*>(scheme->Root());
        TSheetUpdate update(sheet.get());
        const TRect padding = sheet->Root()->GetPadding();
        root->SetPosition(padding.Left, padding.Top);
        root->SetVisualParent(sheet->Root());
        sheet->Root()->UpdateLayout(true, true, false, false);
    }
    ~TShownModule() {
        scheme.reset();
        sheet.reset();
    }
    // The first element of the module (a named declaration).
    TNamedElement* First() const {
        for (TNode* n = root->FirstChild(); n; n = n->NextSibling())
            if (auto* element = dynamic_cast<TElement*>(n); element && !element->IsSubElement())
                return dynamic_cast<TNamedElement*>(element);
        return nullptr;
    }
};

// A module shown in a sheet form.
struct TFormsModule : TShownModule {
    std::unique_ptr<TSheetForm> form;

    explicit TFormsModule(int elements) : TShownModule(elements) {
        form = std::make_unique<TSheetForm>(nullptr, nullptr);
        form->resize(kFormSize);
        form->AttachSheet(scheme.get(), sheet.get());
        form->show();
        QCoreApplication::processEvents();
    }
    ~TFormsModule() { form.reset(); }
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
    state.counters["elements"] = ElementCount(module.root);
}
BENCHMARK(BM_SheetFormPaintViewport)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SheetFormFind(benchmark::State& state) {
    TFormsModule module(int(state.range(0)));
    TNamedElement* first = module.First();
    const TFindData request(kNeedle);
    for (auto _ : state) {
        state.PauseTiming();
        first->NameField()->FocusText(TTextFocusPlace::Start);
        QuillaneLeaveCaches();
        state.ResumeTiming();
        if (!module.form->Find(TFindMode::SkipMatchingSelection, request, true)) state.SkipWithError("not found");
    }
    state.counters["elements"] = ElementCount(module.root);
}
BENCHMARK(BM_SheetFormFind)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(QuillaneFastestOf<3>);

}  // namespace

// The root of the paragraph scheme: its children stand in a column.
class TElement_FormsBenchColumn : public TVisualElement {
    T_ELEMENT_CLASS(TElement_FormsBenchColumn)
public:
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        benchsheets::StackInAColumn(*this);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TTextorElement::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_FormsBenchColumn, TVisualElement)

namespace {

// A rich text of one paragraph holding `words` times the word "ab" (wrapped
// at 480 pixels), shown in a sheet form, the caret at its start.
struct TParagraphForm {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(u"Sheet"_s);
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TTextorElement* text = nullptr;
    std::unique_ptr<TSheetForm> form;
    // The count box of a replace-all answered at once.
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsGuard{&dialogs};

    explicit TParagraphForm(int words) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(TElement_FormsBenchColumn::StaticClass(), u"Bench"_s);
        scheme->SetUndoRedo(&history);
        auto* column = static_cast<TVisualElement*>(scheme->Root());
        text = static_cast<TTextorElement*>(TElement::CreateIn(TTextorElement::StaticClass(), scheme.get(), column));
        text->SetTextorOptions(toRichContent | toMaxWidth480);
        text->SetVisualParent(column);
        text->SetText(QStringList(words, u"ab"_s).join(QLatin1Char(' ')));
        column->SetVisualParent(sheet->Root());
        {
            TSheetUpdate update(sheet.get());
            sheet->Root()->UpdateLayout(true, true, false, false);
        }
        form = std::make_unique<TSheetForm>(nullptr, nullptr);
        form->resize(kFormSize);
        form->AttachSheet(scheme.get(), sheet.get());
        form->show();
        QCoreApplication::processEvents();
        form->RangeBox().setFocus();
        history.Clear();
    }
    ~TParagraphForm() {
        form.reset();
        scheme.reset();
    }
};

// Undoing a replace-all that replaced every word of one long paragraph: one
// undo step of as many edits as words, through the form's Undo action. The
// replace-all runs outside the clock.
void BM_SheetFormUndoReplaceAll(benchmark::State& state) {
    const int words = int(state.range(0));
    TParagraphForm shown(words);
    const TFindData request(u"ab"_s);
    int replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        shown.text->FocusText(TTextFocusPlace::Start);
        replaced = shown.form->Replace(request, u"cd"_s, true, true);
        QCoreApplication::processEvents();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        shown.form->Action(TSheetAction::EditUndo).trigger();
        QCoreApplication::processEvents();
    }
    if (replaced != words) state.SkipWithError("not every word was replaced");
    if (shown.text->GetText().count(u"ab"_s) != words) state.SkipWithError("the undo left replacements");
    state.counters["words"] = words;
}
BENCHMARK(BM_SheetFormUndoReplaceAll)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3)->Apply(QuillaneFastestOf<3>);

}  // namespace

QUILLANE_GROWTH(sheetform_paint_viewport, "BM_SheetFormPaintViewport/100000", "BM_SheetFormPaintViewport/10000");
QUILLANE_GROWTH(sheetform_find, "BM_SheetFormFind/100000/iterations:3/repeats:3", "BM_SheetFormFind/10000/iterations:3/repeats:3");
QUILLANE_GROWTH(sheetform_undo_replace_all, "BM_SheetFormUndoReplaceAll/10000/iterations:3/repeats:3",
                "BM_SheetFormUndoReplaceAll/1000/iterations:3/repeats:3");


namespace {

using TBenchClock = std::chrono::steady_clock;

constexpr int EditedModule = 10000;
constexpr int KeyPairs = 100;  // each a letter and a Backspace
constexpr double Percentile = 0.95;
constexpr int Repetitions = 3;

double Milliseconds(TBenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Paints what is pending and flushes it to the screen.
void Flush() { QCoreApplication::processEvents(); }

// The module on an active sheet shown by a sheet form (800 x 600) that has
// the focus, the caret at the end of the edited name, scrolled to the middle
// of the view.
struct TTypingModule : TShownModule {
    TNameField* edited = nullptr;
    bool exposed = false;

    TTypingModule() : TShownModule(EditedModule) {
        if (TNamedElement* named = FindNamed(root, EditedName(EditedModule))) edited = named->NameField();
    }
    virtual ~TTypingModule() = default;
    virtual TSheetForm& Form() const = 0;
    TRangeBox& Box() const { return Form().RangeBox(); }

protected:
    // Focuses the box and the name once the window holding the form is shown.
    void Prepare(QWidget& window) {
        exposed = QTest::qWaitForWindowExposed(&window);
        Box().setFocus();
        if (edited) {
            edited->FocusText(TTextFocusPlace::End);
            ShowMiddle(edited);
        }
        Flush();
        history.Clear();
    }

private:
    // Scrolls element to the middle of the view.
    void ShowMiddle(TVisualElement* element) {
        const QPoint top = element->ClientToSheet(QPoint(0, 0));
        Box().SetScrollPosition(QPoint(0, top.y() - kFormSize.height() / 2));
    }
};

// The edit form with its palette attached above the sheet form.
struct TFormsEditor : TTypingModule {
    std::unique_ptr<TEditForm> form = std::make_unique<TEditForm>();

    TFormsEditor() {
        form->AttachScheme(scheme.get(), sheet.get(), nullptr, nullptr);
        form->show();
        form->resize(kFormSize.width(), kFormSize.height() + form->PaletteForm().height());
        Prepare(*form);
    }
    ~TFormsEditor() override { form.reset(); }
    TSheetForm& Form() const override { return form->SheetForm(); }
};

// The sheet form alone, as a window of its own.
struct TFormAlone : TTypingModule {
    std::unique_ptr<TSheetForm> form = std::make_unique<TSheetForm>(nullptr, nullptr);

    TFormAlone() {
        form->AttachSheet(scheme.get(), sheet.get());
        form->resize(kFormSize);
        form->show();
        Prepare(*form);
    }
    ~TFormAlone() override { form.reset(); }
    TSheetForm& Form() const override { return *form; }
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

// Types the pairs into the name of the module shown (checked to be in view
// and to take the keys first, outside the clock).
void TypeInName(benchmark::State& state, TTypingModule& ours) {
    if (!ours.edited || !ours.exposed) {
        state.SkipWithError(ours.exposed ? "no name to type in" : "the window was never shown");
        return;
    }
    const QPoint inView = ours.edited->ClientToSheet(QPoint(0, 0)) - ours.Box().ScrollPosition();
    if (!ours.Box().viewport()->rect().contains(inView)) {
        state.SkipWithError("the name is not in view");
        return;
    }
    const QString before = ours.edited->GetText();
    QTest::keyClick(&ours.Box(), Qt::Key_Q);
    if (ours.edited->GetText() != before + QLatin1Char('q')) {
        state.SkipWithError("a key pressed on the form does not reach the focused name");
        return;
    }
    QTest::keyClick(&ours.Box(), Qt::Key_Backspace);
    Flush();
    std::vector<double> samples;
    for (auto _ : state) TypePairs(ours.Box(), samples);
    if (ours.edited->GetText() != before) state.SkipWithError("keys were lost");
    QuillaneLatencySamples(state, "p95_ms", std::move(samples), Percentile);
}

void BM_SheetFormKeystroke(benchmark::State& state) {
    TFormsEditor ours;
    TypeInName(state, ours);
}
BENCHMARK(BM_SheetFormKeystroke)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

void BM_SheetFormKeystrokeAlone(benchmark::State& state) {
    TFormAlone ours;
    TypeInName(state, ours);
}
BENCHMARK(BM_SheetFormKeystrokeAlone)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

void BM_SheetFormKeystrokeQPlainTextEdit(benchmark::State& state) {
    QPlainTextEdit peer;
    QStringList lines;
    for (int i = 0; i < EditedModule; ++i) lines << u"Total"_s + QString::number(i);
    peer.setPlainText(lines.join(QLatin1Char('\n')));
    peer.resize(kFormSize);
    peer.show();
    if (!QTest::qWaitForWindowExposed(&peer)) {
        state.SkipWithError("the peer was never shown");
        return;
    }
    const int middle = EditedModule / 2;
    QTextCursor cursor(peer.document()->findBlockByNumber(middle));
    cursor.movePosition(QTextCursor::EndOfBlock);
    peer.setTextCursor(cursor);
    peer.centerCursor();
    peer.setFocus();
    // The same untimed pair as ours types to check its set-up.
    QTest::keyClick(&peer, Qt::Key_Q);
    QTest::keyClick(&peer, Qt::Key_Backspace);
    Flush();
    std::vector<double> samples;
    for (auto _ : state) TypePairs(peer, samples);
    if (peer.document()->findBlockByNumber(middle).text() != lines.at(middle))
        state.SkipWithError("keys were lost");
    QuillaneLatencySamples(state, "p95_ms", std::move(samples), Percentile);
}
BENCHMARK(BM_SheetFormKeystrokeQPlainTextEdit)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<Repetitions>);

}  // namespace

QUILLANE_RATIO(sheetform_keystroke_vs_qplaintextedit, "BM_SheetFormKeystrokeAlone/iterations:1/repeats:3",
               "BM_SheetFormKeystrokeQPlainTextEdit/iterations:1/repeats:3");
QUILLANE_LATENCY(sheetform_keystroke_p95_ms, "BM_SheetFormKeystroke/iterations:1/repeats:3", "p95_ms");

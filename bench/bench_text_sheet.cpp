// Typing on a big sheet: 10,000 text elements in nested columns, 1,000
// characters typed one by one through the sheet's keys into the element in
// the middle, each keystroke followed by painting the 800 x 600 window around
// the element (what the sheet reports as changed). Against Qt's text document
// of the same shape: the same texts as blocks in nested frames (columns of
// columns, no margins), the same characters through QTextCursor::insertText,
// each followed by drawing a window of the same size around the block.
// Besides the ratio of the whole runs, the 95th percentile of the single
// keystrokes of all repetitions (milliseconds) is a figure of its own.

#include "benchSheets.h"
#include "benchSupport.h"

#include "core/cuProps.h"
#include "core/cuUndoRedo.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"
#include "text/diTextorElement.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>


namespace {

using TBenchClock = std::chrono::steady_clock;

// 10 columns of 10 columns of 100 texts.
constexpr int OuterColumns = 10;
constexpr int InnerColumns = 10;
constexpr int TextsPerColumn = 100;
constexpr int TextCount = OuterColumns * InnerColumns * TextsPerColumn;
constexpr int EditedText = TextCount / 2;
constexpr int TypedCharacters = 1000;
constexpr uint32_t TextOptions = toMaxWidth480;
// The window: its top this far above the edited text.
constexpr int WindowWidth = 800;
constexpr int WindowHeight = 600;
constexpr int WindowAbove = 200;
constexpr double Percentile = 0.95;
constexpr int Repetitions = 3;

const char* const Words[] = {"procedure", "begin", "end", "Result", "x", "Value", "Count", "for",
                             "while", "if", "then", "else", "TList", "Items", "Index", "Assign",
                             "Create", "of", "a", "interpretation", "to", "(Sender)", "Destroy;"};

// Words, 40 to 79 characters, the same on every run.
QString BenchText(int index) {
    const int length = 40 + index % 40;
    QString text;
    for (int i = index; text.size() < length; ++i) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QLatin1String(Words[(i * 7 + index) % int(std::size(Words))]);
    }
    text.truncate(length);
    return text;
}

// The typed characters: words and spaces, so that the text wraps at words.
QChar TypedCharacter(int index) {
    static const QString typed = QStringLiteral("the quick brown fox jumps over a lazy dog ");
    return typed[index % typed.size()];
}

// The characters TypedCharacter gives for a whole run.
QString TypedText() {
    QString text;
    for (int i = 0; i < TypedCharacters; ++i) text += TypedCharacter(i);
    return text;
}

// The window around a place, in the coordinates of the sheet or the document.
TRect WindowAt(int top) {
    const int windowTop = std::max(0, top - WindowAbove);
    return TRect{0, windowTop, WindowWidth, windowTop + WindowHeight};
}

// Adds what is reported, clipped to the window, to what is to be painted.
void AddDirty(TRect& dirty, const TRect& reported, const TRect& window) {
    const TRect clipped = IntersectRects(reported, window);
    if (clipped.IsEmpty()) return;
    dirty = dirty.IsEmpty() ? clipped : TRect::FromQRect(dirty.ToQRect().united(clipped.ToQRect()));
}

double Milliseconds(TBenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Paints into an image of the window's size at the window's place.
struct TWindowImage {
    QImage image{WindowWidth, WindowHeight, QImage::Format_ARGB32_Premultiplied};
    QPainter painter;
    explicit TWindowImage(const TRect& window) {
        image.fill(Qt::white);
        painter.begin(&image);
        painter.translate(-window.Left, -window.Top);
    }
};

// Collects what the sheet reports as to be repainted (snRepaint: a rectangle,
// or none for everything), clipped to the window.
class TRepaintCollector {
public:
    explicit TRepaintCollector(TSheet& sheet) : m_sheet(sheet) {
        sheet.AddHandler(MakeHandler<&TRepaintCollector::OnSheet>(this));
    }
    ~TRepaintCollector() { m_sheet.RemoveHandler(MakeHandler<&TRepaintCollector::OnSheet>(this)); }
    TRect Window;
    // What was reported since the last call.
    TRect Take() { return std::exchange(m_dirty, TRect{}); }

private:
    void OnSheet(TItfObject*, int msg, intptr_t p1, intptr_t) {
        if (msg != snRepaint) return;
        AddDirty(m_dirty, p1 ? *reinterpret_cast<const TRect*>(p1) : Window, Window);
    }
    TSheet& m_sheet;
    TRect m_dirty;
};

// The texts in nested columns on an active sheet, with an undo list, the
// middle one focused with the caret at its end.
struct TTypingSheet {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TTextorElement* edited = nullptr;

    TTypingSheet() {
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
        sheet->SetActive(true);
        Restart();
    }
    ~TTypingSheet() { scheme.reset(); }

    // The edited text as it was, the caret at its end, nothing to undo.
    void Restart() {
        edited->SetText(BenchText(EditedText));
        edited->FocusText(TTextFocusPlace::End);
        history.Clear();
    }
    TRect Window() const { return WindowAt(edited->ClientToSheet(QPoint(0, 0)).y()); }
    // A key pressed and released as the sheet form passes it on.
    void Type(QChar typed) {
        const int code = typed.isLetter() ? typed.toUpper().unicode() : typed.unicode();
        int down = code;
        sheet->KeyDown(down, 0);
        sheet->KeyPress(typed);
        int up = code;
        sheet->KeyUp(up, 0);
    }

private:
    benchsheets::TElement_BenchStack* AddStack(TVisualElement* parent) {
        auto* stack = TElement::CreateIn<benchsheets::TElement_BenchStack>(scheme.get(), parent);
        stack->SetVisualParent(parent);
        return stack;
    }
    void AddText(TVisualElement* parent, int index) {
        auto* text = TElement::CreateIn<TTextorElement>(scheme.get(), parent);
        text->SetTextorOptions(TextOptions);
        text->SetText(BenchText(index));
        text->SetVisualParent(parent);
        if (index == EditedText) edited = text;
    }
};

void BM_TextKeystrokeRepaint(benchmark::State& state) {
    TTypingSheet ours;
    TRepaintCollector repaint(*ours.sheet);
    const int length = ours.edited->GetText().size();
    ours.Type(TypedCharacter(0));
    if (ours.edited->GetText().size() != length + 1) {
        state.SkipWithError("a key typed on the sheet does not reach the focused text");
        return;
    }
    std::vector<double> keystrokes;
    keystrokes.reserve(TypedCharacters);
    bool unreported = false;
    for (auto _ : state) {
        state.PauseTiming();
        ours.Restart();
        repaint.Window = ours.Window();
        TWindowImage window(repaint.Window);
        ours.sheet->Paint(window.painter, repaint.Window, 0);
        repaint.Take();
        state.ResumeTiming();
        for (int i = 0; i < TypedCharacters; ++i) {
            const auto start = TBenchClock::now();
            ours.Type(TypedCharacter(i));
            unreported |= repaint.Take().IsEmpty();
            ours.sheet->Paint(window.painter, repaint.Window, 0);
            keystrokes.push_back(Milliseconds(TBenchClock::now() - start));
        }
    }
    if (ours.edited->GetText().size() != length + TypedCharacters) state.SkipWithError("characters were lost");
    if (unreported) state.SkipWithError("a keystroke reported nothing to repaint");
    QuillaneLatencySamples(state, "p95_ms", std::move(keystrokes), Percentile);
}
BENCHMARK(BM_TextKeystrokeRepaint)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

// A frame without margins, padding or border: a column.
QTextFrameFormat ColumnFormat() {
    QTextFrameFormat format;
    format.setMargin(0);
    format.setPadding(0);
    format.setBorder(0);
    return format;
}

// Qt's text document of the sheet's shape: the same texts as blocks in
// columns of columns (nested frames), in the element's font, wrapped at the
// element's text width, without a document margin. Qt keeps a block between
// two frames, so that the columns are a line apart.
struct TTypingDocument {
    QTextDocument document;
    QTextCursor cursor{&document};
    QTextBlock edited;
    TRect dirty;
    TRect window;

    explicit TTypingDocument(const TTypingSheet& ours) {
        document.setUndoRedoEnabled(true);
        if (auto* attributes = dynamic_cast<TRichTextAttributes*>(ours.edited->GetTextAttributes()))
            document.setDefaultFont(attributes->Font());
        document.setDocumentMargin(0);
        document.setTextWidth(ours.edited->Textor()->GetAvailableWidth());
        int index = 0;
        for (int outer = 0; outer < OuterColumns; ++outer) {
            QTextFrame* outerColumn = cursor.insertFrame(ColumnFormat());
            for (int inner = 0; inner < InnerColumns; ++inner) {
                QTextFrame* innerColumn = cursor.insertFrame(ColumnFormat());
                for (int i = 0; i < TextsPerColumn; ++i, ++index) {
                    if (i > 0) cursor.insertBlock();
                    cursor.insertText(BenchText(index));
                    if (index == EditedText) edited = cursor.block();
                }
                cursor.setPosition(innerColumn->lastPosition() + 1);
            }
            cursor.setPosition(outerColumn->lastPosition() + 1);
        }
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
        QObject::connect(document.documentLayout(), &QAbstractTextDocumentLayout::update, [this](const QRectF& r) {
            AddDirty(dirty, TRect::FromQRect(r.toAlignedRect()), window);
        });
    }
    // The edited block as it was, the cursor at its end.
    void Restart() {
        const QTextBlock block = edited;
        cursor.setPosition(block.position());
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(BenchText(EditedText));
        document.clearUndoRedoStacks();
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
        window = WindowAt(int(document.documentLayout()->blockBoundingRect(block).top()));
    }
    void Paint(QPainter& painter, const TRect& rect) {
        if (rect.IsEmpty()) return;
        document.drawContents(&painter, QRectF(rect.Left, rect.Top, rect.Width(), rect.Height()));
    }
};

void BM_TextKeystrokeRepaintQTextDocument(benchmark::State& state) {
    TTypingSheet ours;
    TTypingDocument peer(ours);
    std::vector<double> keystrokes;
    keystrokes.reserve(TypedCharacters);
    bool unreported = false;
    for (auto _ : state) {
        state.PauseTiming();
        peer.Restart();
        TWindowImage window(peer.window);
        peer.Paint(window.painter, peer.window);
        peer.dirty = TRect{};
        state.ResumeTiming();
        for (int i = 0; i < TypedCharacters; ++i) {
            const auto start = TBenchClock::now();
            peer.cursor.insertText(QString(TypedCharacter(i)));
            unreported |= std::exchange(peer.dirty, TRect{}).IsEmpty();
            peer.Paint(window.painter, peer.window);
            keystrokes.push_back(Milliseconds(TBenchClock::now() - start));
        }
    }
    if (peer.edited.text() != BenchText(EditedText) + TypedText()) state.SkipWithError("characters were lost");
    if (unreported) state.SkipWithError("a keystroke reported nothing to repaint");
    QuillaneLatencySamples(state, "p95_ms", std::move(keystrokes), Percentile);
}
BENCHMARK(BM_TextKeystrokeRepaintQTextDocument)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Apply(QuillaneFastestOf<Repetitions>);

}  // namespace

QUILLANE_LATENCY(text_keystroke_repaint_p95_ms, "BM_TextKeystrokeRepaint/iterations:1/repeats:3", "p95_ms");
QUILLANE_LATENCY(text_keystroke_repaint_qtextdocument_p95_ms,
                 "BM_TextKeystrokeRepaintQTextDocument/iterations:1/repeats:3", "p95_ms");
QUILLANE_RATIO(text_keystroke_repaint_vs_qtextdocument, "BM_TextKeystrokeRepaint/iterations:1/repeats:3",
               "BM_TextKeystrokeRepaintQTextDocument/iterations:1/repeats:3");

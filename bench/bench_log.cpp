// Writing messages into a log on a sheet: 10,000 and 100,000 messages, each a
// paragraph with a kind sign, text and an element link, laid out. Against
// Qt's text document appending the same paragraphs, each with an inline image
// and an anchor, laid out at the same width.

#include "benchSupport.h"

#include "core/cuProps.h"
#include "elements/diLog.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kSheetWidth = 800;
constexpr int kSheetHeight = 600;
constexpr int Repetitions = 3;
const QString kSignImageName = QStringLiteral("sign");

// The kinds take turns: information, hint, warning, error.
uint8_t MessageKind(int index) { return uint8_t(index % 4); }
QString MessageTemplate(int index) {
    return QStringLiteral("Message %1 about [element %1] in the scheme").arg(index);
}

// A log on an active sheet of a fixed size.
struct TLogSheet {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    std::unique_ptr<TScheme> scheme;
    TLogRoot* log = nullptr;

    TLogSheet() {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        sheet->SetAvailableSize(QSize(kSheetWidth, kSheetHeight));
        scheme = std::make_unique<TScheme>(TLogRoot::StaticClass(), QStringLiteral("Log"));
        log = static_cast<TLogRoot*>(scheme->Root());
        log->SetVisualParent(sheet->Root());
        TSheetUpdate update(sheet.get());
        sheet->Root()->UpdateLayout(true, true, false, false);
    }
    ~TLogSheet() { scheme.reset(); }
};

void BM_LogAppend(benchmark::State& state) {
    const int count = int(state.range(0));
    int paragraphs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto ours = std::make_unique<TLogSheet>();
        state.ResumeTiming();
        for (int i = 0; i < count; ++i)
            ours->log->Messages().AddElementLinkMessage(MessageKind(i), MessageTemplate(i), QString::number(i));
        {
            TSheetUpdate update(ours->sheet.get());
            ours->sheet->Root()->UpdateLayout(true, true, false, false);
        }
        paragraphs = ours->log->Textor()->ParagraphCount();
        state.PauseTiming();
        ours.reset();
        state.ResumeTiming();
    }
    if (paragraphs != count) state.SkipWithError("messages were lost");
}
BENCHMARK(BM_LogAppend)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Apply(QuillaneFastestOf<Repetitions>);

// The same paragraphs appended to Qt's text document: an inline image (the
// sign), text and an anchor, laid out at the sheet's width.
void BM_QTextDocumentAppend(benchmark::State& state) {
    const int count = int(state.range(0));
    QImage sign(kLogSignSize, kLogSignSize, QImage::Format_ARGB32_Premultiplied);
    sign.fill(Qt::red);
    int blocks = 0;
    for (auto _ : state) {
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        document.addResource(QTextDocument::ImageResource, QUrl(kSignImageName), sign);
        document.setTextWidth(kSheetWidth);
        QTextCursor cursor(&document);
        QTextImageFormat image;
        image.setName(kSignImageName);
        QTextCharFormat plain;
        QTextCharFormat anchor;
        anchor.setAnchor(true);
        for (int i = 0; i < count; ++i) {
            if (i > 0) cursor.insertBlock();
            cursor.insertImage(image);
            cursor.insertText(QStringLiteral(" Message %1 about ").arg(i), plain);
            anchor.setAnchorHref(QStringLiteral("E%1").arg(i));
            cursor.insertText(QStringLiteral("element %1").arg(i), anchor);
            cursor.insertText(QStringLiteral(" in the scheme"), plain);
        }
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
        blocks = document.blockCount();
    }
    if (blocks != count) state.SkipWithError("blocks were lost");
}
BENCHMARK(BM_QTextDocumentAppend)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Apply(QuillaneFastestOf<Repetitions>);

QUILLANE_GROWTH(log_append, "BM_LogAppend/100000/iterations:1/repeats:3", "BM_LogAppend/10000/iterations:1/repeats:3");
QUILLANE_RATIO(log_append_vs_qtextdocument, "BM_LogAppend/10000/iterations:1/repeats:3",
               "BM_QTextDocumentAppend/10000/iterations:1/repeats:3");

}  // namespace

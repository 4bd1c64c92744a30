// Writing messages into a log on a sheet: 10,000 and 100,000 messages, each a
// paragraph with a kind sign, text and an element link, laid out as it is
// written. Against Qt's text document appending the same paragraphs (an
// inline image for the sign, an anchor for the link), each as one edit block,
// laid out in the same font, unwrapped as the log's lines are (the sheet
// scrolls sideways), the document 800 pixels wide with margin 0. Each side
// reports the height of what it laid out (`height`).
//
// Both sides build their document, write every message, bring the layout up
// to date and free everything inside the clock. 1,000 and 2,000 messages (no
// figure) make a quick check: --benchmark_filter='/(1000|2000)/'.

#include "benchSupport.h"

#include "core/cuColors.h"
#include "core/cuProps.h"
#include "elements/diLog.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QImage>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextOption>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kSheetWidth = 800;
constexpr int kSheetHeight = 600;
constexpr int Repetitions = 3;
const QString kSignImageName = QStringLiteral("sign");
// The log's link colour, as the system stores colours (blue).
constexpr uint32_t kLinkWindowsColor = 0xFF0000;

// The kinds take turns: information (no sign), hint, warning, error.
uint8_t MessageKind(int index) { return uint8_t(index % 4); }
bool HasSign(int index) { return MessageKind(index) != mkInformation; }
// The text before the link, the link and the text after it, as the log
// writes them from the template "Message %1 about [element %1] in the scheme".
QString MessageTemplate(int index) {
    return QStringLiteral("Message %1 about [element %1] in the scheme").arg(index);
}
QString TextBeforeLink(int index) { return QStringLiteral("Message %1 about ").arg(index); }
QString LinkText(int index) { return QStringLiteral("element %1").arg(index); }
const QString kTextAfterLink = QStringLiteral(" in the scheme");

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

    // The font of the log's text.
    QFont Font() const { return static_cast<const TRichTextAttributes*>(log->GetTextAttributes())->Font(); }
};

// What the peer is given to match the log: its font.
struct TLogShape {
    QFont font;
};
TLogShape LogShape() {
    const TLogSheet probe;
    return {probe.Font()};
}

void BM_LogAppend(benchmark::State& state) {
    const int count = int(state.range(0));
    int paragraphs = 0;
    int height = 0;
    for (auto _ : state) {
        auto ours = std::make_unique<TLogSheet>();
        for (int i = 0; i < count; ++i)
            ours->log->Messages().AddElementLinkMessage(MessageKind(i), MessageTemplate(i), QString::number(i));
        { TSheetUpdate update(ours->sheet.get()); }  // the layout is up to date
        height = ours->log->Textor()->GetHeight();
        paragraphs = ours->log->Textor()->ParagraphCount();
        ours.reset();
    }
    if (paragraphs != count) state.SkipWithError("messages were lost");
    state.counters["height"] = height;
}
BENCHMARK(BM_LogAppend)->Arg(1000)->Arg(2000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

// The same paragraphs appended to Qt's text document, each message one edit
// block: the sign as an inline image and a space (none for information), the
// text, the link as a blue underlined anchor. The log keeps no undo history,
// nor does the document.
void BM_QTextDocumentAppend(benchmark::State& state) {
    const int count = int(state.range(0));
    const TLogShape shape = LogShape();
    QImage sign(kLogSignSize, kLogSignSize, QImage::Format_ARGB32_Premultiplied);
    sign.fill(Qt::red);
    QTextOption noWrap;
    noWrap.setWrapMode(QTextOption::NoWrap);
    int blocks = 0;
    int height = 0;
    for (auto _ : state) {
        auto document = std::make_unique<QTextDocument>();
        document->setUndoRedoEnabled(false);
        document->setDocumentMargin(0);
        document->setDefaultFont(shape.font);
        document->addResource(QTextDocument::ImageResource, QUrl(kSignImageName), sign);
        document->setDefaultTextOption(noWrap);
        document->setTextWidth(kSheetWidth);
        QTextCursor cursor(document.get());
        QTextImageFormat image;
        image.setName(kSignImageName);
        const QTextCharFormat plain;
        QTextCharFormat link;
        link.setForeground(QColor(ColorFromWindows(kLinkWindowsColor)));
        link.setFontUnderline(true);
        link.setAnchor(true);
        for (int i = 0; i < count; ++i) {
            cursor.beginEditBlock();
            if (i > 0) cursor.insertBlock();
            if (HasSign(i)) {
                cursor.insertImage(image);
                cursor.insertText(QStringLiteral(" "), plain);
            }
            cursor.insertText(TextBeforeLink(i), plain);
            link.setAnchorHref(QStringLiteral("E%1").arg(i));
            cursor.insertText(LinkText(i), link);
            cursor.insertText(kTextAfterLink, plain);
            cursor.endEditBlock();
        }
        height = int(document->documentLayout()->documentSize().height());
        blocks = document->blockCount();
        document.reset();
    }
    if (blocks != count) state.SkipWithError("blocks were lost");
    state.counters["height"] = height;
}
BENCHMARK(BM_QTextDocumentAppend)->Arg(1000)->Arg(2000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Apply(QuillaneFastestOf<Repetitions>);

QUILLANE_GROWTH(log_append, "BM_LogAppend/100000/iterations:1/repeats:3", "BM_LogAppend/10000/iterations:1/repeats:3");
QUILLANE_RATIO(log_append_vs_qtextdocument, "BM_LogAppend/10000/iterations:1/repeats:3",
               "BM_QTextDocumentAppend/10000/iterations:1/repeats:3");
QUILLANE_RATIO(log_append_100k_vs_qtextdocument, "BM_LogAppend/100000/iterations:1/repeats:3",
               "BM_QTextDocumentAppend/100000/iterations:1/repeats:3");

}  // namespace

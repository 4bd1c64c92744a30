#include "ui/diPrint.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"
#include "platform/plMeasureDevice.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Printer pixels per millimetre are its pixels per inch times this factor.
constexpr double kMillimetresPerInchFactor = 0.0394;
constexpr double kHundredthsPerMillimetre = 100.0;
constexpr double kPercent = 100.0;
// The height a sheet is laid out at; the content grows past it.
constexpr int kPrintSheetHeight = 10;
// What a printed sheet leaves out: marks, caret, focus overlay; it paints on
// the printer itself.
constexpr int kPrintPaintFlags = pfNoMark | pfNoCaret | pfNoFocusOverlay | pfOnDevice;
// A4 upright with 25 mm margins.
constexpr double kDefaultMarginMm = 25.0;

QStringList SystemPrinterNames() { return QPrinterInfo::availablePrinterNames(); }

TPrinterNamesFunction& PrinterNames() noexcept {
    static TPrinterNamesFunction names = &SystemPrinterNames;
    return names;
}

TPageMargins MarginsOf(const QPageLayout& layout) {
    const QMarginsF mm = layout.margins(QPageLayout::Millimeter);
    auto hundredths = [](qreal v) { return int(std::lround(v * kHundredthsPerMillimetre)); };
    return TPageMargins{hundredths(mm.left()), hundredths(mm.top()), hundredths(mm.right()), hundredths(mm.bottom())};
}

// The printer's page from its paper corner: the whole paper is the device,
// so the printable area starts at no offset.
TPrinterGeometry GeometryOf(QPrinter& printer) {
    TPrinterGeometry g;
    g.DpiX = printer.logicalDpiX();
    g.DpiY = printer.logicalDpiY();
    g.PageWidth = printer.width();
    g.PageHeight = printer.height();
    return g;
}

// The scheme away from its sheet for the job, and everything put back when
// the job ends, however it ends.
class TPrintJob {
public:
    TPrintJob(QPrinter& printer, TSheet& sheet, const TPrintSettings& settings)
        : m_printer(printer), m_sheet(sheet), m_top(sheet.ShownTree()) {
        m_focused = sheet.Focused();
        if (m_focused) m_focused->GetFocusData(m_focusData);
        m_settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
        m_settings->CreateProperties();
        TSheetSettings& own = *sheet.Settings();
        m_settings->NonPrintingCharactersProperty()->SetValue(own.NonPrintingCharactersProperty()->Value());
        m_settings->IncreaseWorkspaceHeightProperty()->SetValue(false);
        m_settings->ThemeProperty()->SetValue(settings.ThemeProperty()->Value());
        m_settings->FontSizeProperty()->SetIndex(settings.FontSizeProperty()->Value());
        m_printSheet = std::make_unique<TSheet>(m_settings.get());
    }
    ~TPrintJob() {
        if (m_painter.isActive() && m_failed) m_printer.abort();
        if (m_painter.isActive()) m_painter.end();
        try {
            if (m_top && m_top->Sheet() != &m_sheet) {
                TSheetUpdate update(&m_sheet);
                m_top->SetVisualParent(m_sheet.Root());
            }
            m_printSheet.reset();
            m_settings.reset();
            if (m_focused && m_focused->Sheet() == &m_sheet) m_focused->SetFocus(m_focusData);
        } catch (...) {
            LogCurrentException("PrintSheet");
        }
    }
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    // Starts the job on the printer.
    void Begin() {
        if (!m_painter.begin(&m_printer)) throw Exception::FromId(strPrintingFailed);
    }
    QPainter& Painter() noexcept { return m_painter; }
    TSheet& PrintSheet() noexcept { return *m_printSheet; }
    void Done() noexcept { m_failed = false; }

    // The scheme joins the private sheet, laid out at the given width.
    void Lay(int width) {
        m_printSheet->SetAvailableSize(QSize(width, kPrintSheetHeight));
        if (!m_top) return;
        TSheetUpdate update(m_printSheet.get());
        m_top->SetVisualParent(m_printSheet->Root());
    }

private:
    QPrinter& m_printer;
    TSheet& m_sheet;
    TVisualElement* m_top;
    TVisualElement* m_focused = nullptr;
    QString m_focusData;
    TNodePtr<TSheetSettings> m_settings;
    std::unique_ptr<TSheet> m_printSheet;
    QPainter m_painter;
    bool m_failed = true;
};

// One page: the band of the content the page shows, scaled into the
// printable rectangle and clipped to it.
void PaintPage(QPainter& painter, TSheet& sheet, const TRect& printable, const TPagePlan& plan, int page) {
    const int top = page * plan.Step;
    const TRect band{0, top, std::max(sheet.GetContentWidth(), 1), top + plan.Step};
    painter.save();
    painter.setClipRect(printable.ToQRect());
    painter.translate(printable.Left, printable.Top);
    painter.scale(plan.Scale, plan.Scale);
    painter.translate(0, -top);
    sheet.Paint(painter, band, kPrintPaintFlags);
    painter.restore();
}

}  // namespace

TPrinterNamesFunction InstallPrinterNames(TPrinterNamesFunction names) noexcept {
    return std::exchange(PrinterNames(), names ? names : &SystemPrinterNames);
}

bool CheckPrinters() {
    if (!PrinterNames()().isEmpty()) return true;
    ShowMessageBox(LoadStr(strThereAreNoPrinters), QString(), MsgBox::Ok | MsgBox::IconInformation);
    return false;
}

QPageLayout DefaultPageSetup() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm),
                       QPageLayout::Millimeter);
}

int MarginToPixels(int hundredthsOfMm, int dpi) noexcept {
    return int(std::lround(hundredthsOfMm / kHundredthsPerMillimetre * (dpi * kMillimetresPerInchFactor)));
}

TRect PrintableRect(const TPrinterGeometry& p, const TPageMargins& m) noexcept {
    return TRect{MarginToPixels(m.Left, p.DpiX) - p.OffsetX, MarginToPixels(m.Top, p.DpiY) - p.OffsetY,
                 p.PageWidth - (MarginToPixels(m.Right, p.DpiX) - p.OffsetX),
                 p.PageHeight - (MarginToPixels(m.Bottom, p.DpiY) - p.OffsetY)};
}

double PrintScale(int printerDpi, int screenDpi, int scalePercent) noexcept {
    return double(printerDpi) / std::max(screenDpi, 1) * scalePercent / kPercent;
}

TPagePlan PlanPages(int printerDpi, int screenDpi, int scalePercent, int printableHeight, int contentHeight) noexcept {
    TPagePlan plan;
    plan.Scale = PrintScale(printerDpi, screenDpi, scalePercent);
    if (printableHeight <= 0 || plan.Scale <= 0) return plan;
    plan.Step = int(std::clamp(std::floor(printableHeight / plan.Scale), 1.0, double(kSheetUnlimited)));
    const int64_t content = std::max(contentHeight, 0);
    plan.Count = int(std::max<int64_t>(1, (content + plan.Step - 1) / plan.Step));
    return plan;
}

void PrintSheet(QPrinter& printer, const QString& title, TSheet& sheet, const TPrintSettings& settings,
                const QPageLayout& pageSetup, const TPageHook& onPage) {
    TWaitScope wait;
    printer.setPageLayout(pageSetup);
    printer.setFullPage(true);
    const TPrinterGeometry geometry = GeometryOf(printer);
    const TRect printable = PrintableRect(geometry, MarginsOf(pageSetup));

    TPrintJob job(printer, sheet, settings);
    printer.setDocName(title);
    job.Begin();
    const int scale = settings.ScaleProperty()->Value();
    const double s = PrintScale(geometry.DpiY, plScreenPixelsPerInch, scale);
    job.Lay(int(std::max(printable.Width() / s, 1.0)));
    TSheet& printSheet = job.PrintSheet();
    const TPagePlan plan =
        PlanPages(geometry.DpiY, plScreenPixelsPerInch, scale, printable.Height(), printSheet.GetContentHeight());
    for (int page = 0; page < plan.Count; ++page) {
        if (page > 0 && !printer.newPage()) throw Exception::FromId(strPrintingFailed);
        if (onPage) onPage(page);
        PaintPage(job.Painter(), printSheet, printable, plan, page);
    }
    job.Done();
}

#pragma once
// Printing of sheets: whether any printer is installed, the plan of the
// pages (printable rectangle, scale, page step and count) and the print job
// itself, which lays a scheme out again on a private sheet at the printable
// width and paints it page by page straight onto the printer.

#include "core/cuTypes.h"

#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class TPrintSettings;
class TSheet;

// The names of the installed printers; the seam tests replace.
using TPrinterNamesFunction = QStringList (*)();
// Installs the function (nil: the system's list) and answers the one it replaces.
TPrinterNamesFunction InstallPrinterNames(TPrinterNamesFunction names) noexcept;

// True when a printer is installed; otherwise shows "There are no printers"
// in an information box and answers false.
bool CheckPrinters();

// The page setup the main form starts with: A4 upright, 25 mm margins.
QPageLayout DefaultPageSetup();

// What the printer tells of its page, in its device pixels.
struct TPrinterGeometry {
    int DpiX = 0;
    int DpiY = 0;
    int OffsetX = 0;  // the physical offsets of the printable area
    int OffsetY = 0;
    int PageWidth = 0;
    int PageHeight = 0;
};

// Page margins in hundredths of a millimetre.
struct TPageMargins {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A margin in printer pixels: hundredths of a millimetre at the printer's
// pixels per inch times 0.0394.
int MarginToPixels(int hundredthsOfMm, int dpi) noexcept;
// The printable rectangle in the printer's device pixels.
TRect PrintableRect(const TPrinterGeometry& printer, const TPageMargins& margins) noexcept;

// The pages of a content: printer pixels per sheet unit, how many sheet
// units each page moves on and how many pages there are. The step is the
// whole sheet units that fit on the printable height, so that a page's band
// is never cut, and the count covers the content with that same step; an
// empty content or a page without height gives one page.
// Printer pixels per sheet unit.
double PrintScale(int printerDpi, int screenDpi, int scalePercent) noexcept;

struct TPagePlan {
    double Scale = 1;
    int Step = 1;
    int Count = 1;
};
TPagePlan PlanPages(int printerDpi, int screenDpi, int scalePercent, int printableHeight, int contentHeight) noexcept;

// Runs before each page is painted (its index from 0).
using TPageHook = std::function<void(int page)>;

// Prints the scheme shown on sheet as one job titled title, with the print
// settings' theme, font size and scale on the page of pageSetup. Whatever
// happens, the scheme goes back on its sheet, the focused element gets the
// focus again with its focus data and the wait cursor ends; a job that fails
// is aborted, and the error passes on.
void PrintSheet(QPrinter& printer, const QString& title, TSheet& sheet, const TPrintSettings& settings,
                const QPageLayout& pageSetup, const TPageHook& onPage = {});

// Printing of sheets: the page plan, a scheme printed into a PDF page by
// page, the scheme and its focus back on the sheet however the job ends,
// the refusal without printers, and a print preview for review
// ("print-review.png" beside the test program).

#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testVisualElements.h"
#include "ui/diPrint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A titled box that keeps where its caret stood as its focus data.
class TElement_CaretBox : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_CaretBox)
public:
    QString Caret;
    QString Restored;
    void Paint(TSheetCanvas& canvas) override {
        TElement_TestBox::Paint(canvas);
        canvas.TextOutElement(4, 4, QStringLiteral("Box %1").arg(PreferredWidth - 99));
    }
    void GetFocusData(QString& text) override { text = Caret; }
    void SetFocus(const QString& focusData) override {
        Restored = focusData;
        TElement_TestBox::SetFocus(focusData);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_CaretBox, TElement_TestBox)

TEST(PrintPlan, Table) {
    for (const CaseRow& c : LoadCases("ui/print.txt", "Plans")) {
        const TPagePlan plan =
            PlanPages(c.Int("PrinterDpi"), c.Int("ScreenDpi"), c.Int("Scale"), c.Int("Height"), c.Int("Content"));
        EXPECT_DOUBLE_EQ(plan.Scale, c["S"].toDouble()) << c.Text();
        EXPECT_EQ(plan.Step, c.Int("Step")) << c.Text();
        EXPECT_EQ(plan.Count, c.Int("Count")) << c.Text();
        // The pages reach the end, and a band fits on its page.
        if (c.Int("Height") <= 0) continue;
        EXPECT_GE(int64_t(plan.Step) * plan.Count, c["Content"].toLongLong()) << c.Text();
        if (plan.Step > 1) {
            EXPECT_LE(plan.Step * plan.Scale, c.Int("Height")) << c.Text();
        }
    }
    for (const CaseRow& c : LoadCases("ui/print.txt", "Printable")) {
        const TPrinterGeometry g{c.Int("DpiX"),      c.Int("DpiY"),     c.Int("OffsetX"),
                                 c.Int("OffsetY"),   c.Int("PageWidth"), c.Int("PageHeight")};
        const int m = c.Int("Margin");
        EXPECT_EQ(PrintableRect(g, TPageMargins{m, m, m, m}),
                  (TRect{c.Int("Left"), c.Int("Top"), c.Int("Right"), c.Int("Bottom")}))
            << c.Text();
    }
}

// A scheme of fifty boxes, two pages at the default scale on A4 at 600 dpi,
// the fifth box focused with its caret at "7:3".
class PrintSheetTest : public ::testing::Test {
protected:
    static constexpr int kBoxes = 50;
    static constexpr int kPrinterDpi = 600;

    void SetUp() override {
        printSettings->CreateProperties();
        for (int i = 0; i < kBoxes; ++i) {
            auto* box = TElement::CreateIn<TElement_CaretBox>(f.scheme.get(), f.root);
            box->PreferredWidth = 100 + i;
            box->PreferredHeight = 60;
            box->Color = QColor::fromHsv((i * 37) % 360, 90, 235);
            box->Arrange();
            boxes.push_back(box);
        }
        f.Layout();
        boxes[4]->Caret = QStringLiteral("7:3");
        f.sheet.SetFocus(boxes[4]);
        ASSERT_EQ(f.sheet.Focused(), boxes[4]);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(kPrinterDpi);
        printer.setOutputFileName(dir.filePath(QStringLiteral("sheet.pdf")));
    }

    void Print(const TPageHook& onPage = {}) {
        PrintSheet(printer, QStringLiteral("Sheet"), f.sheet, *printSettings, DefaultPageSetup(), onPage);
    }

    int PdfPages() const {
        QFile file(printer.outputFileName());
        if (!file.open(QIODevice::ReadOnly)) return -1;
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page\\b(?!s)"));
        return int(QString::fromLatin1(file.readAll()).count(page));
    }

    int PaintedBoxes() const {
        int painted = 0;
        for (const TElement_CaretBox* box : boxes) painted += box->PaintCount;
        return painted;
    }

    void ExpectBackOnTheSheet() {
        EXPECT_EQ(f.sheet.ShownTree(), f.root);
        EXPECT_EQ(f.root->Sheet(), static_cast<ISheet*>(&f.sheet));
        EXPECT_EQ(f.sheet.Focused(), boxes[4]);
        EXPECT_EQ(boxes[4]->Restored, QStringLiteral("7:3"));
        EXPECT_EQ(WaitDepth(), 0);
    }

    TSheetFixture f;
    std::vector<TElement_CaretBox*> boxes;
    TNodePtr<TPrintSettings> printSettings = TProperty::CreateRoot<TPrintSettings>(QStringLiteral("Print"));
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
};

TEST_F(PrintSheetTest, APageHookRaisingOnPageTwoEndsTheJobAndTheSchemeComesBackAsAfterAWholeJob) {
    EXPECT_THROW(Print([](int page) {
                     if (page == 1) throw Exception(QStringLiteral("paper jam"));
                 }),
                 Exception);
    EXPECT_NE(printer.printerState(), QPrinter::Active);
    ExpectBackOnTheSheet();
    // The printer is free for the next job, which prints both pages.
    std::vector<int> pages;
    for (TElement_CaretBox* box : boxes) box->PaintCount = 0;
    Print([&](int page) { pages.push_back(page); });
    EXPECT_EQ(pages, (std::vector<int>{0, 1}));
    EXPECT_EQ(PdfPages(), 2);
    // A page walks only what lies on it: a box is painted once, or twice
    // when it stands across the page break.
    EXPECT_GE(PaintedBoxes(), kBoxes);
    EXPECT_LE(PaintedBoxes(), kBoxes + 1);
    ExpectBackOnTheSheet();
}

TEST_F(PrintSheetTest, APreviewOfTheSchemeIsGrabbedForReview) {
    printSettings->ScaleProperty()->SetValue(100);
    QPrintPreviewDialog preview(&printer);
    int paints = 0;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, [&](QPrinter* target) {
        ++paints;
        PrintSheet(*target, QStringLiteral("Sheet"), f.sheet, *printSettings, DefaultPageSetup());
    });
    preview.resize(1000, 760);
    preview.show();
    QCoreApplication::processEvents();
    EXPECT_GE(paints, 1);
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("print-review.png"));
    EXPECT_TRUE(preview.grab().save(path)) << path.toStdString();
    ExpectBackOnTheSheet();
}

QStringList NoPrinters() { return {}; }

TEST(CheckPrinters, WithoutPrintersSaysSoInAnInformationBoxAndRefuses) {
    TEnglishTexts english;
    TFakeDialogs dialogs;
    TDialogsInstaller installDialogs{&dialogs};
    const TPrinterNamesFunction old = InstallPrinterNames(&NoPrinters);
    EXPECT_FALSE(CheckPrinters());
    InstallPrinterNames(old);
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(LoadStr(strThereAreNoPrinters), QStringLiteral("There are no printers"));
    EXPECT_EQ(dialogs.Boxes[0].Text, PunctuateMessage(LoadStr(strThereAreNoPrinters)));
    EXPECT_EQ(dialogs.Boxes[0].Flags & MsgBox::IconMask, MsgBox::IconInformation);
}

}  // namespace

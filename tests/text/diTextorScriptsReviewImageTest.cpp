// A picture of mixed scripts for review, written into the build folder as
// "text-scripts-review.png": Latin with accented letters, letters with
// combining marks, CJK, Arabic and Hebrew (shown left to right, as measured),
// and a selection running across all of them.

#include "support/testStop.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// Whether two pictures differ anywhere between the rows top and bottom.
bool ScriptsDifferBetween(const QImage& a, const QImage& b, int top, int bottom) {
    for (int y = std::max(0, top); y < std::min({a.height(), b.height(), bottom}); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
    return false;
}

TEST(TextorScriptsReviewImage, AccentsMarksCjkAndRightToLeftUnderASelectionAcrossThem) {
    TSheetFixture fixture;
    auto* text = TElement::CreateIn<TTextorElement>(fixture.scheme.get(), fixture.root);
    text->SetVisualParent(fixture.root);
    text->SetTextorOptions(toContainerFrame | toRichContent | toMaxWidth480);
    const QStringList paragraphs = {
        QStringLiteral(u"Latin with accents: R\u00E9sum\u00E9, na\u00EFve, fa\u00E7ade, \u00C5ngstr\u00F6m, "
                       u"Gr\u00F6\u00DFe, \u0152uvre"),
        QStringLiteral(u"Combining marks: e\u0301te\u0301, man\u0303ana, A\u030Angstro\u0308m, q\u0323\u0307, "
                       u"n\u0303\u0301"),
        QStringLiteral(u"CJK: \u6587\u5B57\u5217\u3068\u5909\u6570\u306E\u5024\u3001\u95A2\u6570\u306E"
                       u"\u7D42\u308F\u308A\u3002\u6F22\u5B57\u304B\u306A\u30AB\u30CA"),
        QStringLiteral(u"Right to left: \u0643\u0644\u0645\u0629 \u0623\u062E\u0631\u0649 "
                       u"\u062B\u0627\u0644\u062B\u0629 and \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD"),
        QStringLiteral(u"The selection runs from the first line into the Arabic words."),
    };
    text->SetText(paragraphs.join(u'\n'));
    fixture.sheet.SetActive(true);
    text->Focus();
    fixture.Layout();
    fixture.root->Arrange();
    ASSERT_TRUE(text->IsEdited());
    TTextor& textor = *text->Textor();
    const TTextorPosition start = PositionAt(textor, {0, 20});
    const TTextorPosition end = PositionAt(textor, {3, 20});

    const TRect all{0, 0, fixture.root->Width() + 40, fixture.root->Height() + 20};
    text->Interactive()->SetSelection(TTextorRange{start, start});
    const QImage unselected = fixture.sheet.PaintToImage(all);
    text->Interactive()->SetSelection(TTextorRange{start, end});
    const QImage image = fixture.sheet.PaintToImage(all);

    // Every selected paragraph shows the selection.
    const TRect padding = text->GetPadding();
    const QPoint origin = text->ClientToSheet(QPoint(padding.Left, padding.Top));
    for (int p = 0; p < 4; ++p) {
        const TTextorPosition place = PositionAt(textor, {p, p == 0 ? 20 : 0});
        const TRect caret = textor.GetCaretRect(Found(textor.FindRow(place, true), "a row"), place, 1);
        EXPECT_TRUE(ScriptsDifferBetween(unselected, image, origin.y() + caret.Top, origin.y() + caret.Bottom))
            << "paragraph " << p;
    }
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("text-scripts-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

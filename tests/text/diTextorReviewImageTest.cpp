// A picture of text elements for review, written into the build folder as
// "textor-review.png": a field frame with a broken restriction and its sign,
// and a container frame holding wrapped rich text with an embedded element.

#include "support/testVisualElements.h"
#include "text/diTextorElement.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

// A rich text container that embeds test boxes.
class TElement_ReviewProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ReviewProbeText)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_TestBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_ReviewProbeText, TTextorElement)

namespace {

// How many colours other than the background are inside rect.
int ColorsIn(const QImage& image, const TRect& rect, QRgb background) {
    QSet<QRgb> colors;
    for (int y = std::max(0, rect.Top); y < std::min(image.height(), rect.Bottom); ++y)
        for (int x = std::max(0, rect.Left); x < std::min(image.width(), rect.Right); ++x)
            if (image.pixel(x, y) != background) colors.insert(image.pixel(x, y));
    return colors.size();
}

TRect SheetRect(TVisualElement* element) {
    const QPoint p = element->ClientToSheet(QPoint(0, 0));
    return TRect{p.x(), p.y(), p.x() + element->Width(), p.y() + element->Height()};
}

TEST(TextorReviewImage, FramesWrappedRichTextAnEmbeddedElementAndASign) {
    TSheetFixture fixture;
    auto* field = TElement::CreateIn<TElement_ReviewProbeText>(fixture.scheme.get(), fixture.root);
    field->SetVisualParent(fixture.root);
    field->SetTextorOptions(toFieldFrame);
    field->SetRestrictions(trAllCharacters | trInteger);
    field->SetText(QStringLiteral("1,500"));
    auto* container = TElement::CreateIn<TElement_ReviewProbeText>(fixture.scheme.get(), fixture.root);
    container->SetVisualParent(fixture.root);
    container->SetTextorOptions(toContainerFrame | toRichContent | toMaxWidth240);
    container->SetText(QStringLiteral("Rich text wraps at the width its options choose, and an element stands "
                                      "in the text between the words: "));
    TElement_TestBox* box = AddBox(container);
    container->Textor()->InsertElement(container->Textor()->GetEndPosition(), box);
    container->Textor()->InsertText(container->Textor()->GetEndPosition(), QStringLiteral(" and after it."));
    fixture.Layout();
    fixture.root->Arrange();

    ASSERT_NE(field->MessagesSign(), nullptr);
    EXPECT_GT(container->Textor()->FirstParagraph()->RowCount(), 1);

    const TRect all{0, 0, fixture.root->Width() + 40, fixture.root->Height() + 20};
    const QImage image = fixture.sheet.PaintToImage(all);
    const QRgb background = image.pixel(all.Right - 1, all.Bottom - 1);
    for (TVisualElement* shown : std::initializer_list<TVisualElement*>{field, container, box, field->MessagesSign()}) {
        SCOPED_TRACE(shown->GetTypeName().toStdString());
        EXPECT_GT(ColorsIn(image, SheetRect(shown), background), 0);
    }
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("textor-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

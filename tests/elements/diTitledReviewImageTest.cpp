// A picture of titled elements for review, written into the build folder as
// "titled-review.png": the frames of the four looks, the expanded and the
// collapsed picture of the expand button, a separator line and a description
// placed at the right of its element.

#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

// A titled element whose title is a word, optionally a separator and a second word.
class TElement_ReviewTitled : public TTitledElement {
    T_ELEMENT_CLASS(TElement_ReviewTitled)
public:
    bool Separated = false;
    void TreePlacementChanged() override {
        auto* parent = dynamic_cast<TVisualElement*>(Parent());
        if (parent && !VisualParent()) SetVisualParent(parent);
    }
    void WriteTitle(TTitleWriter& writer) override {
        TTitledElement::WriteTitle(writer);
        writer.AddText(QStringLiteral("Titled look"));
        if (!Separated) return;
        writer.NewLine();
        writer.AddSeparator();
        writer.NewLine();
        writer.AddText(QStringLiteral("below the line"));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ReviewTitled, TTitledElement)

class TElement_ReviewTitledHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ReviewTitledHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_ReviewTitled::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_ReviewTitledHolder, TElement_TestBox)

namespace {

QRect SheetRectOf(const TVisualElement* element) {
    return QRect(element->ClientToSheet(QPoint(0, 0)), QSize(element->Width(), element->Height()));
}

// The colours other than the background inside rect.
QSet<QRgb> ColorsInside(const QImage& image, const QRect& rect, QRgb background) {
    QSet<QRgb> colors;
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) != background) colors.insert(image.pixel(x, y));
    return colors;
}

QImage Cut(const QImage& image, const TVisualElement* element) { return image.copy(SheetRectOf(element)); }

class TitledReviewImage : public ::testing::Test, public TSheetFixture {
protected:
    TitledReviewImage() : TSheetFixture(TElement_ReviewTitledHolder::StaticClass()) { root->Gap = 8; }
    TElement_ReviewTitled* Add(uint8_t style) {
        auto* e = TElement::CreateIn<TElement_ReviewTitled>(scheme.get(), root);
        e->SetStyleFlags(style);
        return e;
    }
};

TEST_F(TitledReviewImage, FourLooksExpandPicturesASeparatorAndADescription) {
    std::vector<TElement_ReviewTitled*> looks;
    for (const uint8_t style : {uint8_t(0), uint8_t(tsCommand), uint8_t(tsTechnical), uint8_t(tsExpression)})
        looks.push_back(Add(style));
    looks[0]->CreateExpandButton(true);
    looks[1]->CreateExpandButton(false);
    looks[2]->Separated = true;
    looks[3]->CreateDescriptionField();
    looks[3]->DescriptionField()->SetText(QStringLiteral("A description at the right"));
    Layout();
    root->Arrange();
    for (TElement_ReviewTitled* e : looks) e->UpdateTitleLayout();
    TDescriptionField* description = looks[3]->DescriptionField();
    ASSERT_TRUE(description->IsVisible());

    const QRect all = SheetRectOf(root).united(SheetRectOf(description)).adjusted(0, 0, 40, 20);
    const QImage image = sheet.PaintToImage(TRect{0, 0, all.right(), all.bottom()});
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    for (const TVisualElement* shown : {static_cast<const TVisualElement*>(looks[0]),
                                        static_cast<const TVisualElement*>(looks[1]),
                                        static_cast<const TVisualElement*>(looks[2]),
                                        static_cast<const TVisualElement*>(looks[3]),
                                        static_cast<const TVisualElement*>(description)}) {
        SCOPED_TRACE(shown->GetTypeName().toStdString());
        EXPECT_GT(ColorsInside(image, SheetRectOf(shown), background).size(), 1);
    }
    EXPECT_NE(Cut(image, looks[0]->ExpandButton()), Cut(image, looks[1]->ExpandButton()))
        << "the expanded and the collapsed picture differ";
    EXPECT_GT(looks[2]->Height(), looks[3]->Height()) << "the separator and the second row";
    EXPECT_GT(SheetRectOf(description).left(), SheetRectOf(looks[3]).right());

    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("titled-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

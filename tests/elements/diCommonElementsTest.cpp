// Logic frames, comments and signs: the collapsed frame (no padding, no
// frame), where each may stand, the in-place save, the stored caption, content
// and expanded state, the palette items, and a picture for review
// ("logicframe-review.png" in the build folder).

#include "elements/diCommonElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/diSimpleElements.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

// Any rich text: no comment, its classes are those of every rich text.
class TElement_FramesText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_FramesText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(TextorOptions() | toRichContent);
        SetRestrictions(trAllCharacters);
    }
    void TreePlacementChanged() override {
        TTextorElement::TreePlacementChanged();
        auto* parent = dynamic_cast<TVisualElement*>(Parent());
        if (parent && !VisualParent()) SetVisualParent(parent);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_FramesText, TTextorElement)

class TElement_FramesHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_FramesHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_FramesText::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_FramesHolder, TElement_TestBox)

namespace {

QRect SheetRectOf(const TVisualElement* element) {
    return QRect(element->ClientToSheet(QPoint(0, 0)), QSize(element->Width(), element->Height()));
}

// Whether a pixel of the column x from top to bottom (exclusive) differs
// from the pixel beside it in the column left of it (the text around).
bool ColumnPainted(const QImage& image, int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        if (image.pixel(x, y) != image.pixel(x - 1, y)) return true;
    return false;
}

// The first fully opaque pixel of a picture, from its middle row on.
QPoint OpaquePixel(const QImage& picture) {
    for (int y = picture.height() / 2; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(picture.pixel(x, y)) == 255) return QPoint(x, y);
    return QPoint(-1, -1);
}

class CommonElements : public ::testing::Test, public TSheetFixture {
protected:
    CommonElements() : TSheetFixture(TElement_FramesHolder::StaticClass()) {
        root->Gap = 8;
        text = TElement::CreateIn<TElement_FramesText>(scheme.get(), root);
        Layout();
    }
    template <class T>
    T* Add(TTextorElement* into, bool breakAfter = false) {
        return static_cast<T*>(into->AddElementOfClass(T::StaticClass(), breakAfter));
    }
    TElement_LogicFrame* AddFrame(TTextorElement* into, const QString& caption, const QString& content = {}) {
        auto* frame = Add<TElement_LogicFrame>(into);
        frame->Caption()->SetText(caption);
        if (!content.isEmpty()) ContentOf(frame)->SetText(content);
        return frame;
    }
    static TTextorElement* ContentOf(TElement_LogicFrame* frame) {
        return static_cast<TTextorElement*>(frame->Content());
    }
    QImage Paint(const TVisualElement* shown) {
        Layout();
        const QRect area = SheetRectOf(shown).adjusted(0, 0, 12, 12);
        return sheet.PaintToImage(TRect{0, 0, area.right(), area.bottom()});
    }
    // The children's names of knot, in order.
    static QStringList ChildNames(TKnot* knot) {
        QStringList names;
        for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling()) names << k->Name();
        return names;
    }

    TElement_FramesText* text = nullptr;
};

TEST_F(CommonElements, ACollapsedFrameIsItsButtonAndCaptionWithoutPaddingOrFrame) {
    TElement_LogicFrame* frame = AddFrame(text, QStringLiteral("Plans"), QStringLiteral("The body"));
    TVisualElement* caption = frame->Caption();
    Layout();
    ASSERT_TRUE(frame->Content()->IsVisible());
    EXPECT_EQ(frame->GetPadding(), sheet.Canvas()->GetThemePadding(tekLogicFrame));
    QImage image = Paint(text);
    const QRect expanded = SheetRectOf(frame);
    const int captionMiddle = SheetRectOf(caption).center().y();
    EXPECT_TRUE(ColumnPainted(image, expanded.left(), captionMiddle + 1, expanded.bottom()))
        << "the frame's left line below the caption's middle";

    frame->SetExpanded(false);
    Layout();
    EXPECT_FALSE(frame->Content()->IsVisible());
    EXPECT_EQ(frame->GetPadding(), TRect{});
    TExpandButton* button = frame->ExpandButton();
    EXPECT_EQ(frame->Width(), caption->Left() + caption->Width()) << "nothing right of the caption";
    EXPECT_EQ(button->Left(), 2 + std::max(0, button->GetMargins().Left)) << "the space of 2 before the button";
    EXPECT_LT(frame->Height(), expanded.height());
    image = Paint(text);
    const QRect collapsed = SheetRectOf(frame);
    EXPECT_FALSE(ColumnPainted(image, collapsed.left(), collapsed.top(), collapsed.bottom() + 1))
        << "no frame line left of the button";
}

TEST_F(CommonElements, FramesStandInCommentsCommentsInAnyTextSignsOnlyInComments) {
    auto* comment = Add<TElement_Comment>(text);
    TElement_LogicFrame* frameInComment = AddFrame(comment, QStringLiteral("In a comment"));
    TElement_LogicFrame* frameInText = AddFrame(text, QStringLiteral("In the text"));
    TElement_LogicFrame* nestedInComment = AddFrame(ContentOf(AddFrame(ContentOf(frameInComment), QStringLiteral("1"))), QStringLiteral("2"));
    TElement_LogicFrame* nestedInText = AddFrame(ContentOf(AddFrame(ContentOf(frameInText), QStringLiteral("1"))), QStringLiteral("2"));
    struct TCase {
        const char* where;
        TElement* text;
        bool comment, frame, sign;
    };
    const TCase cases[] = {
        {"any rich text", text, true, true, false},
        {"a comment", comment, false, true, true},
        {"a frame's content in a comment", frameInComment->Content(), false, true, true},
        {"a frame's content in a rich text", frameInText->Content(), true, true, false},
        {"frames nested in a comment", nestedInComment->Content(), false, true, true},
        {"frames nested in a rich text", nestedInText->Content(), true, true, false},
    };
    const TElementClass* signs[] = {TElement_Star::StaticClass(),      TElement_Information::StaticClass(),
                                    TElement_Question::StaticClass(),  TElement_Important::StaticClass(),
                                    TElement_Stop::StaticClass(),      TElement_Ready::StaticClass()};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.where);
        TElementClassList accepted;
        c.text->GetAcceptedClasses(accepted);
        EXPECT_EQ(accepted.contains(TElement_Comment::StaticClass()), c.comment);
        EXPECT_EQ(accepted.contains(TElement_LogicFrame::StaticClass()), c.frame);
        for (const TElementClass* sign : signs) EXPECT_EQ(accepted.contains(sign), c.sign) << sign->Name().toStdString();
    }
    auto* star = Add<TElement_Star>(ContentOf(frameInComment));
    EXPECT_EQ(star->Parent(), frameInComment->Content());
    EXPECT_FALSE(star->HasVisualOption(voCanDisable));
    EXPECT_TRUE(comment->HasVisualOption(voCanDisable));
}

TEST_F(CommonElements, TheInPlaceSaveLeavesTheFramesContentInItsPlace) {
    auto* comment = Add<TElement_Comment>(text);
    comment->SetText(QStringLiteral("before "));
    TElement_LogicFrame* frame = AddFrame(comment, QStringLiteral("Caption words"), QStringLiteral("inside "));
    Add<TElement_Star>(ContentOf(frame));
    TNodePtr<TKnot> knot = TKnot::Create(kContentRootName);
    comment->SaveContent(knot.get(), fmFile, std::nullopt, foSaveInPlace);
    EXPECT_EQ(ChildNames(knot.get()), (QStringList{"Chars", "Star"})) << "the frame's characters join the run";
    EXPECT_EQ(knot->GetFirstChild()->ReadStr(kContentValueName), QStringLiteral("before inside "));
    EXPECT_FALSE(knot->SaveToString().contains(QStringLiteral("Caption words")));

    TNodePtr<TKnot> plain = TKnot::Create(kContentRootName);
    comment->SaveContent(plain.get(), fmFile, std::nullopt, 0);
    EXPECT_EQ(ChildNames(plain.get()), (QStringList{"Chars", "LogicFrame"}));
}

TEST_F(CommonElements, CaptionContentAndExpandedStateRoundTrip) {
    for (const bool expanded : {true, false}) {
        SCOPED_TRACE(expanded ? "expanded" : "collapsed");
        text->ClearText();
        TElement_LogicFrame* frame = AddFrame(text, QStringLiteral("Stored caption"), QStringLiteral("Stored body"));
        AddFrame(ContentOf(frame), QStringLiteral("Inner"));
        frame->SetExpanded(expanded);
        TNodePtr<TKnot> knot = TKnot::Create(kContentRootName);
        text->SaveContent(knot.get(), fmFile, std::nullopt, 0);
        TKnot* stored = knot->FindChild(QStringLiteral("LogicFrame"));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(ChildNames(stored), (QStringList{"Caption", "Content"}));
        EXPECT_EQ(stored->FindParam(QStringLiteral("Expanded")) != nullptr, !expanded) << "stored only when collapsed";

        auto* copy = TElement::CreateIn<TElement_FramesText>(scheme.get(), root);
        copy->InsertContent(knot.get(), fmFile, 0, std::nullopt);
        TElement_LogicFrame* loaded = nullptr;
        for (TNode* n = copy->FirstChild(); n && !loaded; n = n->NextSibling())
            loaded = dynamic_cast<TElement_LogicFrame*>(n);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->Caption()->GetText(), QStringLiteral("Stored caption"));
        EXPECT_EQ(ContentOf(loaded)->GetText(), QStringLiteral("Stored body"));
        EXPECT_EQ(loaded->IsExpanded(), expanded);
        bool innerLoaded = false;
        for (TNode* n = loaded->Content()->FirstChild(); n; n = n->NextSibling())
            if (auto* inner = dynamic_cast<TElement_LogicFrame*>(n))
                innerLoaded = inner->Caption()->GetText() == QStringLiteral("Inner");
        EXPECT_TRUE(innerLoaded);
        copy->Free();
    }
}

TEST_F(CommonElements, PaletteItemsPicturesAndTheCaptionsHint) {
    struct TCase {
        const TElementClass* cls;
        TCommonPicture picture;
        int caption;
        int order;
    };
    const TCase signs[] = {
        {TElement_Star::StaticClass(), TCommonPicture::Star, strStar, 32},
        {TElement_Information::StaticClass(), TCommonPicture::Information, strInformation, 40},
        {TElement_Question::StaticClass(), TCommonPicture::Question, strQuestion, 35},
        {TElement_Important::StaticClass(), TCommonPicture::Important, strImportant, 30},
        {TElement_Stop::StaticClass(), TCommonPicture::Stop, strStop, 20},
        {TElement_Ready::StaticClass(), TCommonPicture::Ready, strReady, 10},
    };
    TPaletteGroup* group = SignsPaletteGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->CaptionId(), strSigns);
    EXPECT_EQ(group->Order(), 1500);
    int found = 0;
    for (TNode* n = group->FirstChild(); n; n = n->NextSibling()) {
        auto* item = dynamic_cast<TElementPaletteItem*>(n);
        ASSERT_NE(item, nullptr);
        for (const TCase& c : signs) {
            if (item->ElementClass() != c.cls) continue;
            ++found;
            EXPECT_EQ(item->CaptionId(), c.caption);
            EXPECT_EQ(item->Order(), c.order);
            EXPECT_EQ(item->SmallImage(), CommonPictureIndex(c.picture));
            auto* sign = static_cast<TCustomSignElement*>(TElement::CreateIn(c.cls, scheme.get(), nullptr));
            EXPECT_EQ(sign->GetImageIndex(), CommonPictureIndex(c.picture));
            sign->Free();
        }
    }
    EXPECT_EQ(found, 6);
    ASSERT_NE(LogicFramePaletteItem(), nullptr);
    EXPECT_EQ(LogicFramePaletteItem()->Letter(), QStringLiteral("L"));
    EXPECT_EQ(LogicFramePaletteItem()->Order(), 900);
    EXPECT_EQ(CommentPaletteItem()->Order(), 1000);
    EXPECT_NE(CommonPictureIndex(TCommonPicture::Comment), CommonPictureIndex(TCommonPicture::LogicFrame));

    TElement_LogicFrame* frame = AddFrame(text, QStringLiteral("x"));
    QString hint;
    frame->GetChildHint(frame->Caption(), hint);
    EXPECT_EQ(hint, LoadStr(strDescriptionOfTheDataIncludedIn));
}

// A comment holding an expanded frame with signs in its content and a
// collapsed frame: the frame's line runs through the caption's middle, the
// signs show their pictures.
TEST_F(CommonElements, ReviewPictureOfFramesAndSigns) {
    auto* comment = Add<TElement_Comment>(text);
    comment->SetText(QStringLiteral("A comment with a logic frame: "));
    TElement_LogicFrame* open = AddFrame(comment, QStringLiteral("Open frame"), QStringLiteral("Signs: "));
    std::vector<TCustomSignElement*> signs = {Add<TElement_Star>(ContentOf(open)),
                                              Add<TElement_Information>(ContentOf(open)),
                                              Add<TElement_Question>(ContentOf(open)),
                                              Add<TElement_Important>(ContentOf(open)),
                                              Add<TElement_Stop>(ContentOf(open)),
                                              Add<TElement_Ready>(ContentOf(open))};
    TElement_LogicFrame* closed = AddFrame(ContentOf(open), QStringLiteral("Collapsed inner frame"));
    AddFrame(ContentOf(closed), QStringLiteral("hidden"));
    closed->SetExpanded(false);
    const QImage image = Paint(text);

    const QRect frame = SheetRectOf(open);
    const QRect caption = SheetRectOf(open->Caption());
    EXPECT_TRUE(ColumnPainted(image, frame.left(), caption.center().y(), frame.bottom()));
    EXPECT_FALSE(ColumnPainted(image, frame.left(), frame.top(), caption.top()))
        << "the frame's top line is moved down to the caption";
    for (TCustomSignElement* sign : signs) {
        const QRect rect = SheetRectOf(sign);
        const QImage picture = SchemeSmallImages().Image(sign->GetImageIndex()).convertToFormat(QImage::Format_ARGB32);
        const QPoint opaque = OpaquePixel(picture);
        ASSERT_GE(opaque.x(), 0);
        EXPECT_EQ(image.pixel(rect.topLeft() + opaque), picture.pixel(opaque))
            << sign->GetTypeName().toStdString();
    }
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("logicframe-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

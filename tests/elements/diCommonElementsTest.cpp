// Logic frames, comments and signs: where each may stand, the in-place save,
// the stored caption, content and expanded state, and a pixel test of the
// expanded and the collapsed look that also writes "logicframe-review.png"
// into the build folder.

#include "elements/diCommonElements.h"

#include "core/cuKnot.h"
#include "elements/diSimpleElements.h"
#include "scheme/diFilers.h"
#include "scheme/diUtils.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

// Any rich text (no comment), standing in the sheet's root box.
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
        if (!VisualParent()) SetVisualParent(static_cast<TVisualElement*>(Parent()));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_FramesText, TTextorElement)

namespace {

QRect FrameRectOnSheet(const TVisualElement* e) { return QRect(e->ClientToSheet(QPoint(0, 0)), QSize(e->Width(), e->Height())); }

// Whether a pixel of column x in [top, bottom) differs from its left neighbour (the text around).
bool ColumnPainted(const QImage& image, int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        if (image.pixel(x, y) != image.pixel(x - 1, y)) return true;
    return false;
}

class CommonElements : public ::testing::Test, public TSheetFixture {
protected:
    CommonElements() { text = TElement::CreateIn<TElement_FramesText>(scheme.get(), root); }
    template <class T>
    static T* Add(TTextorElement* into) {
        return static_cast<T*>(into->AddElementOfClass(T::StaticClass()));
    }
    static TTextorElement* ContentOf(TElement_LogicFrame* frame) { return static_cast<TTextorElement*>(frame->Content()); }
    static TElement_LogicFrame* AddFrame(TTextorElement* into, const QString& caption, const QString& content = {}) {
        auto* frame = Add<TElement_LogicFrame>(into);
        frame->Caption()->SetText(caption);
        if (!content.isEmpty()) ContentOf(frame)->SetText(content);
        return frame;
    }
    static QStringList KnotChildNames(TKnot* knot) {
        QStringList names;
        for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling()) names << k->Name();
        return names;
    }
    TElement_FramesText* text = nullptr;
};

TEST_F(CommonElements, FramesStandInCommentsCommentsInAnyTextSignsOnlyInComments) {
    auto* comment = Add<TElement_Comment>(text);
    TElement_LogicFrame* inComment = AddFrame(comment, QStringLiteral("a"));
    TElement_LogicFrame* inText = AddFrame(text, QStringLiteral("b"));
    struct TCase {
        const char* where;
        TElement* text;
        bool comment, sign;
    } cases[] = {
        {"any rich text", text, true, false},
        {"a comment", comment, false, true},
        {"a frame's content in a comment", inComment->Content(), false, true},
        {"frames nested in a comment", AddFrame(ContentOf(AddFrame(ContentOf(inComment), "c")), "d")->Content(), false, true},
        {"frames nested in a rich text", AddFrame(ContentOf(inText), QStringLiteral("e"))->Content(), true, false},
    };
    for (const TCase& c : cases) {
        TElementClassList accepted;
        c.text->GetAcceptedClasses(accepted);
        EXPECT_EQ(accepted.contains(TElement_Comment::StaticClass()), c.comment) << c.where;
        EXPECT_TRUE(accepted.contains(TElement_LogicFrame::StaticClass())) << c.where;
        for (const TElementClass* sign : {TElement_Star::StaticClass(), TElement_Information::StaticClass(),
                                          TElement_Question::StaticClass(), TElement_Important::StaticClass(),
                                          TElement_Stop::StaticClass(), TElement_Ready::StaticClass()})
            EXPECT_EQ(accepted.contains(sign), c.sign) << c.where << " " << sign->Name().toStdString();
    }
}

TEST_F(CommonElements, TheInPlaceSaveLeavesOnlyTheFramesContentInItsPlace) {
    auto* comment = Add<TElement_Comment>(text);
    comment->SetText(QStringLiteral("before "));
    Add<TElement_Star>(ContentOf(AddFrame(comment, QStringLiteral("Caption words"), QStringLiteral("inside "))));
    TNodePtr<TKnot> inPlace = TKnot::Create(kContentRootName);
    comment->SaveContent(inPlace.get(), fmFile, std::nullopt, foSaveInPlace);
    EXPECT_EQ(KnotChildNames(inPlace.get()), (QStringList{"Chars", "Star"}));
    EXPECT_EQ(inPlace->GetFirstChild()->ReadStr(kContentValueName), QStringLiteral("before inside "));
    TNodePtr<TKnot> plain = TKnot::Create(kContentRootName);
    comment->SaveContent(plain.get(), fmFile, std::nullopt, 0);
    EXPECT_EQ(KnotChildNames(plain.get()), (QStringList{"Chars", "LogicFrame"}));
    EXPECT_EQ(plain->FindChild(QStringLiteral("LogicFrame"))->FindParam(QStringLiteral("Expanded")), nullptr)
        << "the expanded state is stored only when collapsed";
}

TEST_F(CommonElements, CaptionContentAndCollapsedStateRoundTrip) {
    TElement_LogicFrame* frame = AddFrame(text, QStringLiteral("Stored caption"), QStringLiteral("Stored body"));
    frame->SetExpanded(false);
    TNodePtr<TKnot> knot = TKnot::Create(kContentRootName);
    text->SaveContent(knot.get(), fmFile, std::nullopt, 0);
    EXPECT_EQ(KnotChildNames(knot->FindChild(QStringLiteral("LogicFrame"))), (QStringList{"Caption", "Content"}));
    auto* copy = TElement::CreateIn<TElement_FramesText>(scheme.get(), root);
    copy->InsertContent(knot.get(), fmFile, 0, std::nullopt);
    auto* loaded = dynamic_cast<TElement_LogicFrame*>(copy->FirstChild());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Caption()->GetText(), QStringLiteral("Stored caption"));
    EXPECT_EQ(ContentOf(loaded)->GetText(), QStringLiteral("Stored body"));
    EXPECT_FALSE(loaded->IsExpanded());
}

// An expanded frame with the six signs in a comment, a collapsed one inside it.
TEST_F(CommonElements, ExpandedFrameLineRunsThroughTheCaptionCollapsedHasNoPaddingNorFrame) {
    auto* comment = Add<TElement_Comment>(text);
    comment->SetText(QStringLiteral("A comment with a logic frame: "));
    TElement_LogicFrame* open = AddFrame(comment, QStringLiteral("Open frame"), QStringLiteral("Signs: "));
    for (const TElementClass* sign : {TElement_Star::StaticClass(), TElement_Information::StaticClass(),
                                      TElement_Question::StaticClass(), TElement_Important::StaticClass(),
                                      TElement_Stop::StaticClass(), TElement_Ready::StaticClass()})
        ContentOf(open)->AddElementOfClass(sign);
    TElement_LogicFrame* closed = AddFrame(ContentOf(open), QStringLiteral("Collapsed frame"), QStringLiteral("x"));
    closed->SetExpanded(false);
    Layout();
    const QImage image = sheet.PaintToImage(TRect{0, 0, FrameRectOnSheet(text).right() + 8, FrameRectOnSheet(text).bottom() + 8});
    const QRect frame = FrameRectOnSheet(open);
    const QRect caption = FrameRectOnSheet(open->Caption());
    EXPECT_TRUE(ColumnPainted(image, frame.left(), caption.center().y(), frame.bottom()));
    EXPECT_FALSE(ColumnPainted(image, frame.left(), frame.top(), caption.top())) << "the top line is moved down";
    EXPECT_EQ(open->GetPadding(), sheet.Canvas()->GetThemePadding(tekLogicFrame));

    EXPECT_FALSE(closed->Content()->IsVisible());
    EXPECT_EQ(closed->GetPadding(), TRect{});
    EXPECT_EQ(closed->Width(), closed->Caption()->Left() + closed->Caption()->Width()) << "nothing right of the caption";
    EXPECT_EQ(closed->ExpandButton()->Left(), 2 + std::max(0, closed->ExpandButton()->GetMargins().Left));
    const QRect collapsed = FrameRectOnSheet(closed);
    EXPECT_FALSE(ColumnPainted(image, collapsed.left(), collapsed.top(), collapsed.bottom() + 1)) << "no frame line";
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("logicframe-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

// Logic frames, comments and signs: where each may stand, the in-place save,
// the stored caption, content and expanded state, and a pixel test of the
// expanded and the collapsed look that also writes "logicframe-review.png"
// into the build folder.

#include "elements/diCommonElements.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "elements/diSimpleElements.h"
#include "platform/plShell.h"
#include "scheme/diPalette.h"
#include "scheme/diFilers.h"
#include "scheme/diUtils.h"
#include "support/testEnglish.h"
#include "support/testRaise.h"
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

// What a comment on a sheet offers: the frame (Additional, letter "L") and the
// six signs (their own group); any rich text offers the comment.
TEST_F(CommonElements, ACommentOffersTheFrameAndTheSignsWithTheirCaptionsHintsOrdersAndPictures) {
    TEnglishTexts english;
    auto* comment = Add<TElement_Comment>(text);
    Layout();
    QList<TPaletteItem*> offered, offeredByText;
    comment->GetPaletteItems(offered);
    text->GetPaletteItems(offeredByText);
    TPaletteGroup* signs = SignsPaletteGroup();
    ASSERT_NE(signs, nullptr);
    EXPECT_EQ(signs->GetCaption(), QStringLiteral("Signs"));
    EXPECT_EQ(signs->Order(), 1500);
    struct TRow {
        const TElementClass* cls;
        const char* caption;
        int hint, order;
        TCommonPicture picture;
        TNode* group;
        const char* letter;
    } rows[] = {
        {TElement_LogicFrame::StaticClass(), "Logic Frame", 2823, 900, TCommonPicture::LogicFrame,
         PaletteAdditionalGroup(), "L"},
        {TElement_Star::StaticClass(), "Star", strMultipurposeSignUsuallyUsed, 32, TCommonPicture::Star, signs, ""},
        {TElement_Information::StaticClass(), "Information", strUsedSeparatingBlocksInformation, 40,
         TCommonPicture::Information, signs, ""},
        {TElement_Question::StaticClass(), "Question", strUsedInformationThatShould, 35, TCommonPicture::Question,
         signs, ""},
        {TElement_Important::StaticClass(), "Important", strUsedAttractingAttentionImportant, 30,
         TCommonPicture::Important, signs, ""},
        {TElement_Stop::StaticClass(), "Stop", strUsedIndicateUnsuccessfulResult, 20, TCommonPicture::Stop, signs, ""},
        {TElement_Ready::StaticClass(), "Ready", strUsedIndicateSuccessfulResult, 10, TCommonPicture::Ready, signs, ""},
    };
    for (const TRow& row : rows) {
        const std::string name = row.cls->Name().toStdString();
        TPaletteItem* item = Palette()->FindItemForClass(row.cls);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->GetCaption(), QString::fromUtf8(row.caption)) << name;
        EXPECT_EQ(item->HintId(), row.hint) << name;
        EXPECT_EQ(item->Order(), row.order) << name;
        EXPECT_NE(item->SmallImage(), NoImageIndex) << name;
        EXPECT_EQ(item->SmallImage(), CommonPictureIndex(row.picture)) << name;
        EXPECT_EQ(item->Parent(), row.group) << name;
        EXPECT_EQ(item->Letter(), QString::fromLatin1(row.letter)) << name;
        EXPECT_TRUE(offered.contains(item)) << name << " offered in a comment";
    }
    TPaletteItem* commentItem = CommentPaletteItem();
    ASSERT_NE(commentItem, nullptr);
    EXPECT_EQ(commentItem->GetCaption(), QStringLiteral("Comment"));
    EXPECT_EQ(commentItem->HintId(), 2821);
    EXPECT_EQ(commentItem->Order(), 1000);
    EXPECT_EQ(commentItem->SmallImage(), CommonPictureIndex(TCommonPicture::Comment));
    EXPECT_EQ(commentItem->Parent(), static_cast<TNode*>(PaletteAdditionalGroup()));
    EXPECT_TRUE(offeredByText.contains(commentItem));
    EXPECT_FALSE(offered.contains(commentItem)) << "no comment in a comment";
    QString hint;
    TElement_LogicFrame* frame = Add<TElement_LogicFrame>(comment);
    frame->GetChildHint(frame->Caption(), hint);
    EXPECT_EQ(hint, QStringLiteral("Description of\u00A0the data included in\u00A0the Logic Frame."));
}

// The links of a paragraph as "text|target", read from its portions.
QStringList FrameLinkPortions(TTextor& textor) {
    QStringList links;
    for (TPortion* p = textor.GetFirstPortion(); p; p = p->GetNextPortion()) {
        if (!p->Attributes() || !p->Attributes()->LinkKind()) continue;
        QString chars(p->Length(), u' ');
        p->CopyChars(0, p->Length(), chars.data());
        links << chars + "|" + p->Attributes()->Link();
    }
    return links;
}

// The contents of frames nested in a comment ask the comment, past the
// contents in between: a link at every level is still marked and opens.
TEST_F(CommonElements, LinksInTheContentsOfNestedFramesAreMarkedAndOpenAtEveryLevel) {
    auto* comment = Add<TElement_Comment>(text);
    QList<TTextorElement*> contents;
    TTextorElement* into = comment;
    for (int level = 0; level < 3; ++level) {
        into = ContentOf(AddFrame(into, QStringLiteral("Level %1").arg(level)));
        into->SetText(QStringLiteral("see http://l%1.example ").arg(level));
        contents << into;
    }
    Layout();
    TFakeShell shell;
    TShellInstaller install(&shell);
    QStringList opened;
    for (int level = 0; level < contents.size(); ++level) {
        TTextor& textor = *contents[level]->Textor();
        const QString address = QStringLiteral("http://l%1.example").arg(level);
        EXPECT_EQ(FrameLinkPortions(textor), QStringList{address + "|" + address}) << "level " << level;
        contents[level]->ActivateLink(TTextorPosition{textor.FirstParagraph(), textor.GetFirstPortion()->Next(), 2});
        opened << "Execute|" + address + "||";
    }
    EXPECT_EQ(shell.Calls, opened);
}

// Frames stored 10,000 deep are refused whole, with the nesting message; the
// deepest nesting the loader allows still loads and lays out.
TEST_F(CommonElements, FramesNestedTenThousandDeepAreRefusedAndTheDeepestAllowedLoad) {
    auto nested = [](int depth) {
        TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
        TKnot* level = root.get();
        for (int i = 0; i < depth; ++i) {
            level = level->AddChild(QStringLiteral("LogicFrame"))->AddChild(QStringLiteral("Content"));
            level->AddChild(kContentCharsName)->WriteStr(kContentValueName, QStringLiteral("http://x%1 ").arg(i));
        }
        return root;
    };
    auto* comment = Add<TElement_Comment>(text);
    EXPECT_EQ(RaisedId([&] { comment->InsertContent(nested(10000).get(), fmFile, 0, std::nullopt); }),
              strNestingTooDeep);
    EXPECT_EQ(comment->FirstChild(), nullptr);
    const int allowed = kMaxElementNesting - scheme->DeepestNestingLevel();
    comment->InsertContent(nested(allowed).get(), fmFile, 0, std::nullopt);
    Layout();
    TTextorElement* deepest = comment;
    for (int i = 0; i < allowed; ++i) {
        auto* frame = dynamic_cast<TElement_LogicFrame*>(deepest->FirstChild());
        ASSERT_NE(frame, nullptr) << i;
        deepest = ContentOf(frame);
    }
    EXPECT_EQ(scheme->DeepestNestingLevel(), kMaxElementNesting);
    EXPECT_EQ(FrameLinkPortions(*deepest->Textor()).size(), 1);
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

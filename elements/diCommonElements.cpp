#include "elements/diCommonElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "elements/diSimpleElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <algorithm>
#include <array>
#include <memory>

T_ELEMENT_CLASS_IMPL(TElement_Comment, TCustomCommentElement)
T_ELEMENT_CLASS_IMPL(TLogicFrameCaptionField, TCustomCommentElement)
T_ELEMENT_CLASS_IMPL(TLogicFrameContentContainer, TTitledTextContainer)
T_ELEMENT_CLASS_IMPL(TElement_LogicFrame, TTitledElementWithContent)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomSignElement, TCustomSmallImageElement)
T_ELEMENT_CLASS_IMPL(TElement_Star, TCustomSignElement)
T_ELEMENT_CLASS_IMPL(TElement_Information, TCustomSignElement)
T_ELEMENT_CLASS_IMPL(TElement_Question, TCustomSignElement)
T_ELEMENT_CLASS_IMPL(TElement_Important, TCustomSignElement)
T_ELEMENT_CLASS_IMPL(TElement_Stop, TCustomSignElement)
T_ELEMENT_CLASS_IMPL(TElement_Ready, TCustomSignElement)

namespace {

const QString kCaptionChild = QStringLiteral("Caption");

// Text options: an empty text keeps some width; comments take the 720 size class, captions the 480 one.
constexpr uint32_t kStandaloneCommentOptions = toEmptyWidth | toMaxWidth720;  // 0x40200
constexpr uint32_t kCaptionTextOptions = toEmptyWidth | toMaxWidth480;  // 0x20200

// The frame's title: the space before the button and the space that ends the caption's row.
constexpr int kTitleLeadingSpace = 2;
constexpr int kTitleTrailingSpace = 8;

constexpr int kCommentItemOrder = 1000;
constexpr int kLogicFrameItemOrder = 900;
constexpr int kSignsGroupOrder = 1500;
const QString kLogicFrameLetter = QStringLiteral("L");

struct TSignInfo {
    const TElementClass* (*cls)() noexcept;
    TCommonPicture picture;
    int caption;
    int hint;
    int order;
};
const std::array<TSignInfo, 6> kSigns = {{
    {&TElement_Star::StaticClass, TCommonPicture::Star, strStar, strMultipurposeSignUsuallyUsed, 32},
    {&TElement_Information::StaticClass, TCommonPicture::Information, strInformation,
     strUsedSeparatingBlocksInformation, 40},
    {&TElement_Question::StaticClass, TCommonPicture::Question, strQuestion, strUsedInformationThatShould, 35},
    {&TElement_Important::StaticClass, TCommonPicture::Important, strImportant, strUsedAttractingAttentionImportant,
     30},
    {&TElement_Stop::StaticClass, TCommonPicture::Stop, strStop, strUsedIndicateUnsuccessfulResult, 20},
    {&TElement_Ready::StaticClass, TCommonPicture::Ready, strReady, strUsedIndicateSuccessfulResult, 10},
}};

// The unit's state between InitCommonElementsUnit and FinalCommonElementsUnit;
// the palette tree owns the items.
struct TCommonElementsUnit {
    TImageStrip smallImages;
    TPaletteItem* commentItem = nullptr;
    TPaletteItem* logicFrameItem = nullptr;
    TPaletteGroup* signsGroup = nullptr;
};

std::unique_ptr<TCommonElementsUnit> g_commonUnit;

TElementClassList SignClasses() {
    TElementClassList list;
    for (const TSignInfo& sign : kSigns) list << sign.cls();
    return list;
}

}  // namespace

// ---------------------------------------------------------------------------
// Comments

void TElement_Comment::Create() {
    TCustomCommentElement::Create();
    SetVisualOptions(VisualOptions() | voCanDisable);
    SetTextorOptions(TextorOptions() | kStandaloneCommentOptions);
}

// ---------------------------------------------------------------------------
// Logic frames

void TLogicFrameCaptionField::Create() {
    TCustomCommentElement::Create();
    SetTextorOptions(TextorOptions() | kCaptionTextOptions);
}

void TLogicFrameContentContainer::Create() {
    TTitledTextContainer::Create();
    SetTextorOptions(TextorOptions() | toDelegating);
}

TElement* TLogicFrameContentContainer::GetOwnerTextElement() {
    if (m_ownerTextKnown) return m_ownerText;
    TElement* frame = ParentElement();
    TElement* text = frame ? frame->ParentElement() : nullptr;
    // The content of a frame around this one passes everything on to its own owner.
    if (auto* around = dynamic_cast<TLogicFrameContentContainer*>(text); around && around->HasTextorOption(toDelegating))
        text = around->GetOwnerTextElement();
    m_ownerText = text;
    m_ownerTextKnown = true;
    return text;
}

void TLogicFrameContentContainer::TreePlacementChanged() {
    m_ownerTextKnown = false;
    TTitledTextContainer::TreePlacementChanged();
}

void TElement_LogicFrame::Create() {
    TTitledElementWithContent::Create();
    TVisualElement* content = Content();
    m_caption = static_cast<TLogicFrameCaptionField*>(
        TVisualElement::CreateSubElement(TLogicFrameCaptionField::StaticClass(), this, content, this, content));
    CreateExpandButton(true);
    ExpandButton()->AddControlledElement(content);
}

void TElement_LogicFrame::BeforeDestruction() {
    TTitledElementWithContent::BeforeDestruction();
    m_caption = nullptr;
}

const TElementClass* TElement_LogicFrame::GetContentClass() { return TLogicFrameContentContainer::StaticClass(); }

int TElement_LogicFrame::GetThemeElementKind() { return tekLogicFrame; }

void TElement_LogicFrame::WriteTitle(TTitleWriter& writer) {
    writer.AddSpace(kTitleLeadingSpace);
    TTitledElementWithContent::WriteTitle(writer);
    if (m_caption) writer.AddField(m_caption, TTitleAlign::Centre);
    if (!IsExpanded()) return;
    writer.AddSpace(kTitleTrailingSpace);
    writer.NewLine();
    writer.AddBlock(Content());
}

QSize TElement_LogicFrame::GetMinimumSize() {
    return IsExpanded() ? TTitledElementWithContent::GetMinimumSize() : QSize();
}

TRect TElement_LogicFrame::GetPadding() { return IsExpanded() ? TTitledElementWithContent::GetPadding() : TRect{}; }

void TElement_LogicFrame::PaintBackground(TSheetCanvas& canvas, const TRect& rect) {
    if (!m_caption) return;
    if (IsExpanded()) {
        TRect frame = rect;
        frame.Top = m_caption->Top() + m_caption->Height() / 2;
        canvas.DrawThemeFrame(tekLogicFrame, frame);
    }
    TRect title{m_caption->Left(), m_caption->Top(), m_caption->Left() + m_caption->Width(),
                m_caption->Top() + m_caption->Height()};
    if (const TExpandButton* button = ExpandButton()) {
        title.Left = button->Left();
        title.Top = std::min(title.Top, button->Top());
        title.Bottom = std::max(title.Bottom, button->Top() + button->Height());
    }
    canvas.DrawThemeFrame(tekComment, title);
}

void TElement_LogicFrame::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_caption)
        text = LoadStr(strDescriptionOfTheDataIncludedIn);
    else
        TTitledElementWithContent::GetChildHint(child, text);
}

void TElement_LogicFrame::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_caption)
        name = kCaptionChild;
    else
        TTitledElementWithContent::GetChildName(child, filer, name);
}

bool TElement_LogicFrame::SaveInPlace(TSchemeFiler* filer, TKnot* knot) {
    auto* saver = dynamic_cast<TSchemeSaver*>(filer);
    auto* content = dynamic_cast<TTextorElement*>(Content());
    if (!saver || !content) return false;
    content->WriteContent(saver, knot, std::nullopt);
    return true;
}

// ---------------------------------------------------------------------------
// Signs

TCustomSignElement::TCustomSignElement() noexcept { InitVisualOptions(VisualOptions() & ~voCanDisable); }

int CommonPictureIndex(TCommonPicture picture) noexcept {
    return g_commonUnit ? g_commonUnit->smallImages.Picture(int(picture)) : NoImageIndex;
}

// ---------------------------------------------------------------------------
// The unit

TPaletteItem* CommentPaletteItem() noexcept { return g_commonUnit ? g_commonUnit->commentItem : nullptr; }
TPaletteItem* LogicFramePaletteItem() noexcept { return g_commonUnit ? g_commonUnit->logicFrameItem : nullptr; }
TPaletteGroup* SignsPaletteGroup() noexcept { return g_commonUnit ? g_commonUnit->signsGroup : nullptr; }

void InitCommonElementsUnit() {
    g_commonUnit = std::make_unique<TCommonElementsUnit>();
    TCommonElementsUnit& unit = *g_commonUnit;
    unit.smallImages = TImageStrip::Load(SchemeSmallImages(), kCommonSmallImagesResource);

    TPaletteGroup* additional = PaletteAdditionalGroup();
    unit.commentItem = TElementPaletteItem::Create(additional, 0, CommonPictureIndex(TCommonPicture::Comment),
                                                   strComment, strCommentHint, kCommentItemOrder,
                                                   TElement_Comment::StaticClass());
    unit.logicFrameItem = TElementPaletteItem::Create(additional, 0, CommonPictureIndex(TCommonPicture::LogicFrame),
                                                      strLogicFrame, strLogicFrameHint, kLogicFrameItemOrder,
                                                      TElement_LogicFrame::StaticClass());
    unit.logicFrameItem->SetLetter(kLogicFrameLetter);
    unit.signsGroup = TPaletteGroup::Create(Palette(), strSigns, kSignsGroupOrder);
    for (const TSignInfo& sign : kSigns)
        TElementPaletteItem::Create(unit.signsGroup, 0, CommonPictureIndex(sign.picture), sign.caption, sign.hint,
                                    sign.order, sign.cls());

    TClassesGroups& groups = ClassesGroups();
    AddItemOnce(groups.GetGroup(cgRichTextElements), TElement_Comment::StaticClass());
    AddItemOnce(groups.GetGroup(cgRichTextElements), TElement_LogicFrame::StaticClass());
    AddItemOnce(groups.GetGroup(cgCommentElements), TElement_LogicFrame::StaticClass());
    for (const TElementClass* cls : SignClasses()) AddItemOnce(groups.GetGroup(cgCommentElements), cls);
}

void FinalCommonElementsUnit() {
    if (!g_commonUnit) return;
    TClassesGroups& groups = ClassesGroups();
    if (groups.Count() > cgCommentElements) {
        RemoveItems(groups.GetGroup(cgRichTextElements),
                    {TElement_Comment::StaticClass(), TElement_LogicFrame::StaticClass()});
        TElementClassList commentClasses = SignClasses();
        commentClasses << TElement_LogicFrame::StaticClass();
        RemoveItems(groups.GetGroup(cgCommentElements), commentClasses);
    }
    g_commonUnit.reset();
}

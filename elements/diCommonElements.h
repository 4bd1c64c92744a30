#pragma once
// Elements any scheme can hold beside its structure: a stand-alone comment, a
// logic frame (a captioned, collapsible group whose content is rich text that
// can hold further elements, like a folder) and six small signs that mark
// text in comments (star, information, question, important, stop, ready).
//
// The frame's content delegates to the text that holds the frame: what it
// accepts, its palette and its settings are that text's. Saved with the
// in-place filer option, a frame leaves only its content in its place.

#include "elements/diTitled.h"
#include "scheme/diCustomElements.h"

class TPaletteGroup;

// ---------------------------------------------------------------------------
// Comments

// A comment standing on its own in any rich text; stored as "Comment".
class TElement_Comment : public TCustomCommentElement {
    T_ELEMENT_CLASS(TElement_Comment)
public:
    TElement_Comment() noexcept = default;

    // Visual option 0x0001; text options 0x40200 (empty width, the 720 size class).
    void Create() override;

protected:
    ~TElement_Comment() override = default;
};

// ---------------------------------------------------------------------------
// Logic frames

// The caption of a logic frame: a comment without margins or a background of
// its own (the frame paints the title's background); stored as "Caption".
class TLogicFrameCaptionField : public TCustomCommentElement {
    T_ELEMENT_CLASS(TLogicFrameCaptionField)
public:
    TLogicFrameCaptionField() noexcept = default;

    TRect GetMargins() override { return TRect{}; }
    void PaintBackground(TSheetCanvas& canvas) override {}
    // Text options 0x20200 (empty width, the 480 size class).
    void Create() override;

protected:
    ~TLogicFrameCaptionField() override = default;
};

// The content of a logic frame: a text without a background of its own that
// delegates to the text holding the frame (text option 0x40).
class TLogicFrameContentContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TLogicFrameContentContainer)
public:
    TLogicFrameContentContainer() noexcept = default;

    void PaintBackground(TSheetCanvas& canvas) override {}
    // The text that holds the frame (the frame itself is no text); past the
    // contents of frames around it, which would only pass everything on.
    // Kept until the tree around changes, so that frames nested deep ask in
    // constant time.
    TElement* GetOwnerTextElement() override;
    void TreePlacementChanged() override;
    void Create() override;

protected:
    ~TLogicFrameContentContainer() override = default;

private:
    TElement* m_ownerText = nullptr;
    bool m_ownerTextKnown = false;
};

class TElement_LogicFrame : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_LogicFrame)
public:
    TElement_LogicFrame() noexcept = default;

    // A sub-element: the element tree owns it.
    TLogicFrameCaptionField* Caption() const noexcept { return m_caption; }

    // Title: a space of 2, the expand button, the caption centred; while
    // expanded a space of 8, the end of the row and the content as a block.
    void WriteTitle(TTitleWriter& writer) override;
    const TElementClass* GetContentClass() override;
    int GetThemeElementKind() override;
    // None while collapsed: the collapsed frame is as small as its title.
    QSize GetMinimumSize() override;
    // The frame "LogicFrame" (expanded only, its top line through the
    // caption's middle), then the frame "Comment" behind the button and caption.
    void PaintBackground(TSheetCanvas& canvas, const TRect& rect) override;
    // The frame's top follows the caption, and goes when collapsed: all of it.
    int BackgroundEdge() override { return kWholeArea; }
    // None while collapsed, else the theme's padding of "LogicFrame".
    TRect GetPadding() override;
    void GetChildHint(TElement* child, QString& text) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    // With the in-place filer option: the content's content in the frame's place.
    bool SaveInPlace(TSchemeFiler* filer, TKnot* knot) override;
    void BeforeDestruction() override;
    // The caption before the content, the expand button (expanded) that shows and hides the content.
    void Create() override;

protected:
    ~TElement_LogicFrame() override = default;

private:
    TLogicFrameCaptionField* m_caption = nullptr;
};

// ---------------------------------------------------------------------------
// Signs

// The pictures of the strip "diCommonElementsSmallImages".
enum class TCommonPicture : int {
    Comment = 0,
    LogicFrame = 1,
    Star = 2,
    Information = 3,
    Question = 4,
    Important = 5,
    Ready = 6,
    Stop = 7,
};
inline const QString kCommonSmallImagesResource = QStringLiteral("diCommonElementsSmallImages");

// The index of a picture of the strip in the shared small images (none
// outside the unit's lifetime).
int CommonPictureIndex(TCommonPicture picture) noexcept;

// A 16 x 16 picture that marks text; it cannot be disabled.
class TCustomSignElement : public TCustomSmallImageElement {
    T_ELEMENT_CLASS(TCustomSignElement)
public:
    TCustomSignElement() noexcept;

    virtual TCommonPicture SignPicture() const = 0;
    int GetImageIndex() override { return CommonPictureIndex(SignPicture()); }

protected:
    ~TCustomSignElement() override = default;
};

#define DI_COMMON_SIGN(Name)                                                          \
    class TElement_##Name : public TCustomSignElement {                               \
        T_ELEMENT_CLASS(TElement_##Name)                                              \
    public:                                                                           \
        TCommonPicture SignPicture() const override { return TCommonPicture::Name; } \
                                                                                      \
    protected:                                                                        \
        ~TElement_##Name() override = default;                                        \
    };
DI_COMMON_SIGN(Star)
DI_COMMON_SIGN(Information)
DI_COMMON_SIGN(Question)
DI_COMMON_SIGN(Important)
DI_COMMON_SIGN(Stop)
DI_COMMON_SIGN(Ready)
#undef DI_COMMON_SIGN

// ---------------------------------------------------------------------------
// The unit

// The palette items (valid between InitCommonElementsUnit and FinalCommonElementsUnit).
TPaletteItem* CommentPaletteItem() noexcept;
TPaletteItem* LogicFramePaletteItem() noexcept;
TPaletteGroup* SignsPaletteGroup() noexcept;

// Loads the picture strip, makes the palette items and fills the class groups.
void InitCommonElementsUnit();
void FinalCommonElementsUnit();

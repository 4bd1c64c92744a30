#pragma once
// Visual element kinds for model tests from the scheme model up: a box that
// stacks its visible children and logs what happens to it, a drop-down over a
// fixed item tree, a button that counts its actions and a small image.
// Elements made under a box join its visual children by themselves.
// TSheetFixture is a headless sheet showing a scheme of boxes.

#if QUILLANE_TEST_LAYER >= 3

#include "core/cuUndoRedo.h"
#include "scheme/diCanvas.h"
#include "scheme/diCustomElements.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "scheme/diVisual.h"
#include "support/testBroadcasts.h"

#include <QStringList>

#include <memory>
#include <vector>

class TElement_TestBox : public TVisualElement {
    T_ELEMENT_CLASS(TElement_TestBox)
public:
    TElement_TestBox() noexcept { InitVisualOptions(voFocusable | voCanDisable); }

    int PreferredWidth = 40;
    int PreferredHeight = 20;
    int Pad = 4;
    int Gap = 2;
    bool Collapsed = false;
    bool Stubborn = false;  // ShowChild does nothing
    QColor Color{200, 220, 240};
    int CaretKindShown = ckNone;
    TRect Insets;
    // What happened, in order ("KeyDown 13", "Layout f a w h", ...); shared by a tree when set.
    QStringList* Log = nullptr;
    int Clicks = 0, DoubleClicks = 0;

    const QString& Value() const noexcept { return m_value; }
    void SetValue(const QString& value);
    void SetRequired(bool required);
    void SetCollapsed(bool collapsed);
    // Stacks the visible children and sizes the box.
    void Arrange();

    bool GetIsFilled() override { return !m_value.isEmpty(); }
    void FillAcceptedClasses(TElementClassList& list) override;
    void TreePlacementChanged() override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    bool CanShowChild(TVisualElement* child) override { return !Collapsed; }
    void ShowChild(TVisualElement*) override {
        if (!Stubborn) SetCollapsed(false);
    }
    void PositionChanged() override;
    void BoundsChanged(const TRect& oldRect, int oldDescent) override;
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    TRect GetHitInsets() override { return Insets; }
    void GetCaret(int& kind, TRect& rect) override;
    void Paint(TSheetCanvas& canvas) override;
    void Click() override { ++Clicks; }
    void DoubleClick() override { ++DoubleClicks; }
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& ch) override;
    void MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) override;
    void MouseMove(QPoint p, TShiftState shift) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    int PaintCount = 0;
    int ConsumeKey = 0;  // a key code this box consumes in KeyDown

private:
    void Note(const QString& text) {
        if (Log) Log->append(text);
    }
    QString m_value;
};

class TElement_TestDropDown : public TCustomDropDownElement {
    T_ELEMENT_CLASS(TElement_TestDropDown)
public:
    TElement_TestDropDown() noexcept { InitVisualOptions(voFocusable | voDropDown); }
    void Create() override;
    QString Value;
    // Items "Alpha", "Beta" (children "Beta 1", "Beta 2"), "Gamma"; "Refused" is
    // refused when chosen; "Locked" cannot be chosen.
    TDropDownItem* FillDropDown(TDropDownItem* root) override;
    bool SelectDropDownItem(TDropDownItem* item) override;
};

class TElement_TestButton : public TCustomButtonElement {
    T_ELEMENT_CLASS(TElement_TestButton)
public:
    void Create() override;
    int Actions = 0;
    void Action() override { ++Actions; }
};

class TElement_TestImage : public TCustomSmallImageElement {
    T_ELEMENT_CLASS(TElement_TestImage)
public:
    int GetImageIndex() override { return 3; }
};

// A scheme with a TElement_TestBox root named "TestModule".
std::unique_ptr<TScheme> MakeVisualTestScheme();

// A box made in parent's scheme under parent (joins its visual children).
TElement_TestBox* AddBox(TElement* parent, int width = 40, int height = 20);

// Records a sheet's notifications.
using TSheetRecorder = TBroadcastRecorder;

// Sheet settings made as the settings tree makes them.
TNodePtr<TSheetSettings> MakeSheetSettings();

// A sheet showing a scheme whose root is a box of rootClass, with an
// undo/redo list and a message list. The scheme goes first at the end.
struct TSheetFixture {
    explicit TSheetFixture(const TElementClass* rootClass = TElement_TestBox::StaticClass(),
                           const QString& name = QStringLiteral("TestModule"));
    // Presses a key on the sheet; answers what is left of it (0: consumed).
    int Key(int key, TShiftState shift = 0);
    // Lays out the whole shown tree as the sheet does after a change of settings.
    void Layout();

    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    TSheet sheet{settings.get()};
    TUndoRedo history;
    TElementMessages messages;
    std::unique_ptr<TScheme> scheme;
    TElement_TestBox* root;
};

#endif

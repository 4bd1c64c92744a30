#pragma once
// Big schemes of boxes for the benchmarks of the sheet, the forms and
// printing: a column of rows of ten titled leaves, shown on a sheet of its
// own, and a plain column element for schemes of texts.

#include "benchColumn.h"
#include "core/cuProps.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"

#include <memory>

namespace benchsheets {

// A box that stacks its children in a column or a row and fills itself; a
// leaf is as wide as its title, measured as element kinds measure theirs.
class TElement_BenchBox : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchBox)
public:
    bool Horizontal = false;
    QString Title;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        int pos = 2, extent = 0;
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
            if (Horizontal) {
                c->SetPosition(pos, 2);
                pos += c->Width() + 2;
                extent = std::max(extent, c->Height());
            } else {
                c->SetPosition(2, pos);
                pos += c->Height() + 2;
                extent = std::max(extent, c->Width());
            }
        }
        if (!FirstVisualChild())
            SetSize(Sheet()->Canvas()->TextWidthElement(Title) + 8, Sheet()->Canvas()->ElementLineHeight() + 4);
        else if (Horizontal)
            SetSize(pos + 2, extent + 4);
        else
            SetSize(extent + 4, pos + 2);
    }
    void Paint(TSheetCanvas& canvas) override { canvas.FillRect(GetClientRect(), 0xFFDDE6F0); }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchBox, TVisualElement)

// A column: its children stand one below the other.
class TElement_BenchStack : public TVisualElement {
    T_ELEMENT_CLASS(TElement_BenchStack)
public:
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override {
        TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
        Arrange();
    }
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override {
        TVisualElement::ChildBoundsChanged(child, oldRect, oldDescent);
        Arrange();
    }
    // Like a panel, it paints nothing of its own.
    int SizeDependentEdge() override { return 0; }

private:
    void Arrange() { StackInAColumn(*this); }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchStack, TVisualElement)

// The digits of a leaf's number in its title: every title is as long at
// every size, so that a bigger scheme does not measure longer texts.
constexpr int kTitleDigits = 6;

// n leaves in rows of ten under one column, every leaf with a title of its
// own (of one length); shown on a sheet at once unless asked not to.
template <class Box = TElement_BenchBox>
struct TBigSheet {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    std::unique_ptr<TScheme> scheme;

    explicit TBigSheet(int leaves, bool shown = true) {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = std::make_unique<TScheme>(Box::StaticClass(), QStringLiteral("Bench"));
        auto* root = static_cast<TVisualElement*>(scheme->Root());
        for (int r = 0; r < leaves / 10; ++r) {
            auto* row = TElement::CreateIn<Box>(scheme.get(), root);
            row->Horizontal = true;
            row->SetVisualParent(root);
            for (int i = 0; i < 10; ++i) {
                auto* leaf = TElement::CreateIn<Box>(scheme.get(), row);
                leaf->Title = QStringLiteral("Item%1").arg(r * 10 + i, kTitleDigits, 10, QLatin1Char('0'));
                leaf->SetVisualParent(row);
            }
        }
        if (shown) Show();
    }
    ~TBigSheet() { scheme.reset(); }
    // Joining the sheet lays the scheme out: its first layout.
    void Show() {
        TSheetUpdate update(sheet.get());
        static_cast<TVisualElement*>(scheme->Root())->SetVisualParent(sheet->Root());
    }
    // A viewport in the middle of the content.
    TRect Viewport() const {
        const int top = sheet->GetContentHeight() / 2;
        return TRect{0, top, 800, top + 600};
    }
};

}  // namespace benchsheets

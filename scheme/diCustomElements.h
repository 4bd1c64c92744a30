#pragma once
// Drop-down lists and three small element kinds that many others build on:
// an element whose value is picked from a drop-down list, an element that is
// one small picture, and a button element. The list is a tree of items kept
// by the sheet while it is open; the window that shows it belongs to the
// editor windows.

#include "core/cuNode.h"
#include "scheme/diVisual.h"

#include <QString>

#include <functional>
#include <memory>

class TDropDownList;


class TDropDownItem : public TNode {
    T_CLASS(TDropDownItem)
public:
    TDropDownItem() noexcept = default;

    TDropDownList* List() const noexcept { return m_list; }
    bool Expanded() const noexcept { return m_expanded; }
    // On a change the list re-measures; expanding collapses the siblings.
    void SetExpanded(bool value);
    int ImageIndex = -1;
    QString Caption;
    int Data = 0;
    QString SecondText;  // shown when Caption is empty
    QString Hint;        // shown beside the open list while the item is current
    bool Enabled = true;
    bool Selectable = true;

    // Appends a child item and returns it.
    TDropDownItem* AddItem(int imageIndex, const QString& caption, int data = 0, const QString& secondText = {});
    TDropDownItem* ParentItem() const noexcept { return dynamic_cast<TDropDownItem*>(Parent()); }
    TDropDownItem* FirstItem() const noexcept { return static_cast<TDropDownItem*>(FirstChild()); }
    TDropDownItem* NextItem() const noexcept { return static_cast<TDropDownItem*>(NextSibling()); }
    // (depth below the root - 1) x 20 pixels.
    int GetIndent() const noexcept;
    const QString& DisplayText() const noexcept { return Caption.isEmpty() ? SecondText : Caption; }
    // Whether Enter may close the list choosing this item.
    bool CanBeChosen() const noexcept { return Enabled && Selectable; }

    virtual void PaintImage(QPainter& painter, const TRect& rect, int& textLeft);
    virtual void Paint(QPainter& painter, const TRect& rect, bool selected);

protected:
    ~TDropDownItem() override = default;

private:
    friend class TDropDownList;
    TDropDownList* m_list = nullptr;
    bool m_expanded = false;
};

class TDropDownList {
public:
    using SelectEvent = std::function<void(TDropDownList* list)>;

    // owner: the element that opened the list; the sheet closes the list when
    // the owner leaves it.
    TDropDownList(ISheet* sheet, TVisualElement* owner, SelectEvent onSelect);
    ~TDropDownList();
    TDropDownList(const TDropDownList&) = delete;
    TDropDownList& operator=(const TDropDownList&) = delete;

    ISheet* Sheet() const noexcept { return m_sheet; }
    TVisualElement* Owner() const noexcept { return m_owner; }
    TDropDownItem* Root() const noexcept { return m_root.get(); }
    TDropDownItem* Selected() const noexcept { return m_selected; }
    // Selects the item and expands every ancestor; announces the change.
    void SetSelected(TDropDownItem* item);
    int ItemHeight() const noexcept { return m_itemHeight; }
    void SetItemHeight(int value);
    int Width() const noexcept { return m_width; }
    void SetWidth(int value);
    const TRect& Rect() const noexcept { return m_rect; }
    void SetRect(const TRect& rect);
    bool IsOpen() const noexcept { return m_open; }
    void SetOpen(bool value) noexcept { m_open = value; }

    // The widest item that can be seen: the top-level items and the children
    // of expanded items.
    int MeasureWidth() const;
    // Re-measures the width; change announcements are held back meanwhile and
    // one is sent at the end.
    void Remeasure();
    // Items that can be seen, in display order.
    void VisibleItems(QList<TDropDownItem*>& out) const;
    // The width of one item (indent, expand column, text, image).
    int ItemWidth(const TDropDownItem* item) const;

    void BeginChange() noexcept { ++m_changeLock; }
    void EndChange();
    // Runs the selection event (the list is being closed by choosing).
    void RunSelect();

private:
    void Changed();

    ISheet* m_sheet;
    TVisualElement* m_owner;
    TNodePtr<TDropDownItem> m_root;
    int m_itemHeight = 13;
    TDropDownItem* m_selected = nullptr;
    TRect m_rect;
    int m_width = 0;
    bool m_open = false;
    int m_changeLock = 0;
    bool m_changedInLock = false;
    SelectEvent m_onSelect;
};


// ---------------------------------------------------------------------------

class TCustomDropDownElement : public TVisualElement {
    T_ELEMENT_CLASS(TCustomDropDownElement)
public:
    // Fills and opens a list for this element on its sheet.
    void OpenDropDown();

    virtual bool SelectDropDownItem(TDropDownItem* item) { return false; }
    virtual bool CanDropDown() { return HasVisualOption(voDropDown); }
    // Fills root; returns the item to preselect or nil.
    virtual TDropDownItem* FillDropDown(TDropDownItem* root) { return nullptr; }

    void FocusFirst() override;
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& ch) override;
    void DoubleClick() override;
};

class TCustomSmallImageElement : public TVisualElement {
    T_ELEMENT_CLASS(TCustomSmallImageElement)
public:
    TCustomSmallImageElement() noexcept;
    void Create() override;
    virtual int GetImageIndex() { return -1; }
    void Paint(TSheetCanvas& canvas) override;
    int GetCursor(QPoint p) override;
};

class TCustomButtonElement : public TVisualElement {
    T_ELEMENT_CLASS(TCustomButtonElement)
public:
    TCustomButtonElement() noexcept;
    virtual void Action() {}
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& ch) override;
    void Click() override;
};

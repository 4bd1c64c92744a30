#include "scheme/diCustomElements.h"

#include "platform/plCursor.h"
#include "platform/plSystemColors.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

T_CLASS_IMPL(TDropDownItem, TNode)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomDropDownElement, TVisualElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomSmallImageElement, TVisualElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomButtonElement, TVisualElement)

namespace {
constexpr int kIndentStep = 20;
constexpr int kExpandColumn = 20;
constexpr int kCharImageSize = 12;
}  // namespace

// ---------------------------------------------------------------------------
// TDropDownItem

TDropDownItem* TDropDownItem::AddItem(int imageIndex, const QString& caption, int data, const QString& secondText) {
    TNodePtr<TDropDownItem> item = MakeNode<TDropDownItem>();
    item->m_list = m_list;
    item->ImageIndex = imageIndex;
    item->Caption = caption;
    item->Data = data;
    item->SecondText = secondText;
    TDropDownItem* raw = item.release();
    raw->SetParent(this);
    return raw;
}

int TDropDownItem::GetIndent() const noexcept {
    int depth = 0;
    for (TNode* p = Parent(); p; p = p->Parent()) ++depth;
    return std::max(0, depth - 1) * kIndentStep;
}

void TDropDownItem::SetExpanded(bool value) {
    if (value == m_expanded) return;
    if (m_list) m_list->BeginChange();
    m_expanded = value;
    if (value)
        for (TNode* s = Parent() ? Parent()->FirstChild() : nullptr; s; s = s->NextSibling())
            if (s != this) static_cast<TDropDownItem*>(s)->m_expanded = false;
    if (m_list) {
        m_list->Remeasure();
        m_list->EndChange();
    }
}

void TDropDownItem::PaintImage(QPainter& painter, const TRect& rect, int& textLeft) {
    if (ImageIndex < 0) return;
    const TSchemeImages& images = SchemeCharImages();
    if (ImageIndex < images.Count()) {
        const int y = rect.Top + (rect.Height() - images.Height()) / 2;
        painter.drawImage(QPoint(textLeft, y), images.Image(ImageIndex));
    }
    textLeft += images.Width() + 4;
}

namespace {
QColor SystemColor(TSystemColor which) { return QColor::fromRgba(GetSystemColor(which)); }

// The code font of the sheet's theme; the application's font without a sheet.
QFont CodeFont(TDropDownList* list) {
    if (list && list->Sheet() && list->Sheet()->Settings())
        return list->Sheet()->Settings()->GetTheme().GetFontData(tfkCode).MakeFont();
    return QFont();
}
}  // namespace

void TDropDownItem::Paint(QPainter& painter, const TRect& rect, bool selected) {
    const bool highlight = selected && Selectable;
    const QColor fill = SystemColor(highlight ? TSystemColor::Highlight : TSystemColor::Window);
    const int left = rect.Left + GetIndent();
    if (HasChildren()) {
        painter.fillRect(QRect(rect.Left, rect.Top, left + kExpandColumn - rect.Left, rect.Height()), fill);
        painter.fillRect(QRect(left + kExpandColumn, rect.Top, rect.Right - left - kExpandColumn, rect.Height()),
                         fill);
        const TSchemeImages& chars = SchemeCharImages();
        const int mark = DefaultCharImage() + (m_expanded ? 1 : 0);
        if (mark >= 0 && mark < chars.Count())
            painter.drawImage(QPoint(left + (kExpandColumn - chars.Width()) / 2,
                                     rect.Top + (rect.Height() - chars.Height()) / 2),
                              chars.Image(mark));
    } else {
        painter.fillRect(rect.ToQRect(), fill);
    }
    int textLeft = left + kExpandColumn;
    PaintImage(painter, rect, textLeft);
    QColor textColor = SystemColor(TSystemColor::WindowText);
    if (!Enabled)
        textColor = QColor(128, 128, 128);
    else if (highlight)
        textColor = SystemColor(TSystemColor::HighlightText);
    const QFont font = CodeFont(m_list);
    painter.setFont(font);
    painter.setPen(textColor);
    const QFontMetrics metrics(font);
    const int y = rect.Top + (rect.Height() - metrics.height()) / 2 + metrics.ascent();
    painter.drawText(QPoint(textLeft, y), DisplayText());
}

// ---------------------------------------------------------------------------
// TDropDownList

TDropDownList::TDropDownList(ISheet* sheet, TVisualElement* owner, SelectEvent onSelect)
    : m_sheet(sheet), m_owner(owner), m_root(MakeNode<TDropDownItem>()), m_onSelect(std::move(onSelect)) {
    m_root->m_list = this;
    m_root->m_expanded = true;
}

TDropDownList::~TDropDownList() = default;

void TDropDownList::Changed() {
    if (m_changeLock > 0) {
        m_changedInLock = true;
        return;
    }
    if (m_open && m_sheet) m_sheet->DropDownChanged();
}

void TDropDownList::EndChange() {
    if (m_changeLock > 0) --m_changeLock;
    if (m_changeLock == 0 && m_changedInLock) {
        m_changedInLock = false;
        Changed();
    }
}

void TDropDownList::SetSelected(TDropDownItem* item) {
    if (item == m_selected) return;
    BeginChange();
    m_selected = item;
    if (item)
        for (TDropDownItem* p = item->ParentItem(); p && p != m_root.get(); p = p->ParentItem()) p->SetExpanded(true);
    Changed();
    EndChange();
}

void TDropDownList::SetItemHeight(int value) {
    if (value == m_itemHeight) return;
    m_itemHeight = value;
    Changed();
}

void TDropDownList::SetWidth(int value) {
    if (value == m_width) return;
    m_width = value;
    Changed();
}

void TDropDownList::SetRect(const TRect& rect) {
    if (rect == m_rect) return;
    m_rect = rect;
    Changed();
}

int TDropDownList::ItemWidth(const TDropDownItem* item) const {
    int w = item->GetIndent() + kExpandColumn + 12;
    if (m_sheet) w += m_sheet->Canvas()->TextWidthCode(item->DisplayText());
    if (item->ImageIndex >= 0) w += kCharImageSize + 4;
    return w;
}

void TDropDownList::VisibleItems(QList<TDropDownItem*>& out) const {
    out.clear();
    std::function<void(TDropDownItem*)> walk = [&](TDropDownItem* parent) {
        for (TDropDownItem* i = parent->FirstItem(); i; i = i->NextItem()) {
            out.append(i);
            if (i->Expanded()) walk(i);
        }
    };
    walk(m_root.get());
}

int TDropDownList::MeasureWidth() const {
    QList<TDropDownItem*> items;
    VisibleItems(items);
    int w = 0;
    for (TDropDownItem* i : items) w = std::max(w, ItemWidth(i));
    return w;
}

void TDropDownList::Remeasure() {
    BeginChange();
    SetWidth(MeasureWidth());
    EndChange();
}

void TDropDownList::RunSelect() {
    if (m_onSelect) m_onSelect(this);
}

// ---------------------------------------------------------------------------
// TCustomDropDownElement

void TCustomDropDownElement::OpenDropDown() {
    ISheet* sheet = Sheet();
    if (!sheet) return;
    auto list = std::make_unique<TDropDownList>(sheet, this, [this](TDropDownList* l) {
        if (!SelectDropDownItem(l->Selected())) SystemBeep();
    });
    list->BeginChange();
    TDropDownItem* preselect = FillDropDown(list->Root());
    if (!preselect) preselect = list->Root()->FirstItem();
    list->SetSelected(preselect);
    const QPoint topLeft = ClientToSheet(QPoint(0, 0));
    list->SetRect(TRect{topLeft.x(), topLeft.y(), topLeft.x() + Width(), topLeft.y() + Height()});
    list->SetItemHeight(std::max(kCharImageSize, sheet->Canvas()->CodeLineHeight() + 6));
    list->SetWidth(list->MeasureWidth());
    list->EndChange();
    sheet->OpenDropDown(std::move(list));
}

void TCustomDropDownElement::FocusFirst() {
    TVisualElement::FocusFirst();
    ISheet* sheet = Sheet();
    if (!sheet || !IsFocused()) return;
    const bool onFocus = !sheet->Settings() || !sheet->Settings()->DropDownOnFocusNewProperty() ||
                         sheet->Settings()->DropDownOnFocusNewProperty()->Value();
    if (onFocus && !HasVisualOption(voNoDropDownOnFocus) && CanDropDown())
        OpenDropDown();
}

void TCustomDropDownElement::KeyDown(int& key, TShiftState shift) {
    if (key == vkReturn && !(shift & ssCtrl)) {
        if (CanDropDown()) OpenDropDown();
        key = vkNone;
        return;
    }
    TVisualElement::KeyDown(key, shift);
}

void TCustomDropDownElement::KeyPress(QChar& ch) {
    if (ch == QChar(QChar::CarriageReturn) && CanDropDown()) {
        ch = QChar();
        return;
    }
    TVisualElement::KeyPress(ch);
}

void TCustomDropDownElement::DoubleClick() {
    TVisualElement::DoubleClick();
    if (CanDropDown()) OpenDropDown();
}

// ---------------------------------------------------------------------------
// TCustomSmallImageElement

TCustomSmallImageElement::TCustomSmallImageElement() noexcept { InitVisualOptions(voCanDisable); }

void TCustomSmallImageElement::Create() {
    TVisualElement::Create();
    SetSize(SchemeSmallImages().Width(), SchemeSmallImages().Height());
}

void TCustomSmallImageElement::Paint(TSheetCanvas& canvas) {
    const int index = GetImageIndex();
    if (index >= 0) canvas.DrawSmallImage(QPoint(0, 0), index);
}

int TCustomSmallImageElement::GetCursor(QPoint p) {
    if (TVisualElement* parent = VisualParent()) return parent->GetCursor(p + QPoint(Left(), Top()));
    return Cursors::Default;
}

// ---------------------------------------------------------------------------
// TCustomButtonElement

TCustomButtonElement::TCustomButtonElement() noexcept { InitVisualOptions(voPressable); }

void TCustomButtonElement::KeyDown(int& key, TShiftState shift) {
    if (key == vkReturn || key == vkSpace) {
        Action();
        key = vkNone;
        return;
    }
    TVisualElement::KeyDown(key, shift);
}

void TCustomButtonElement::KeyPress(QChar& ch) {
    if (ch == QChar(QChar::CarriageReturn) || ch == QChar(QChar::Space)) {
        ch = QChar();
        return;
    }
    TVisualElement::KeyPress(ch);
}

void TCustomButtonElement::Click() {
    TVisualElement::Click();
    Action();
}

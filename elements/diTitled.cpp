#include "elements/diTitled.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "elements/diSimpleElements.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diSounds.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "text/diTextorRows.h"

#include <QHashFunctions>

#include <algorithm>
#include <climits>
#include <utility>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomTitledElement, TCustomDescribedElement)
T_ELEMENT_CLASS_IMPL(TTitledElement, TCustomTitledElement)
T_ELEMENT_CLASS_IMPL(TTitledElementWithContent, TTitledElement)
T_ELEMENT_CLASS_IMPL(TTitledTextContainer, TTextorElement)
T_CLASS_IMPL_ABSTRACT(TCollapsedPaletteItem, TSchemePaletteItem)

namespace {

const QString kStoredWidth = QStringLiteral("Width");
const QString kStoredHeight = QStringLiteral("Height");
const QString kExpandedChild = QStringLiteral("Expanded");

// The "Collapsed" item: group State, order 20, letter "E".
constexpr int kCollapsedItemOrder = 20;
const QString kCollapsedItemLetter = QStringLiteral("E");

// The theme's image layouts of the 12, 16 and 32 pixel element images.
enum : int { kCharImageLayout = 0, kSmallImageLayout = 1, kLargeImageLayout = 2 };

TCollapsedPaletteItem* g_collapsedItem = nullptr;

int NegativePart(int value) noexcept { return std::min(0, value); }

// Negative margins make an item overlap its neighbours.
int EffectiveWidth(const TTitleItem& item) noexcept {
    return item.Width + NegativePart(item.Margins.Left) + NegativePart(item.Margins.Right);
}
int VerticalOverlap(const TTitleItem& item) noexcept {
    return NegativePart(item.Margins.Top) + NegativePart(item.Margins.Bottom);
}
int EffectiveHeight(const TTitleItem& item) noexcept { return item.Height + VerticalOverlap(item); }
int EffectiveReference(const TTitleItem& item) noexcept {
    return (item.ReferenceHeight ? item.ReferenceHeight : item.Height) + VerticalOverlap(item);
}

bool IsElementItem(TTitleItemKind kind) noexcept {
    return kind == TTitleItemKind::InlineElement || kind == TTitleItemKind::Block || kind == TTitleItemKind::Field;
}

// The first-row height an element reports (node message 10); 0: none.
int ReportedReference(TVisualElement* element) {
    int height = 0;
    element->HandleNodeMessage(nmFirstRowHeight, reinterpret_cast<intptr_t>(&height), 0);
    return height;
}

// Sets a flag (to `on`) for a scope and clears it however the scope is left.
class TLayingOutScope {
public:
    explicit TLayingOutScope(bool& flag, bool on = true) noexcept : m_flag(flag) { m_flag = on; }
    ~TLayingOutScope() { m_flag = false; }
    TLayingOutScope(const TLayingOutScope&) = delete;
    TLayingOutScope& operator=(const TLayingOutScope&) = delete;

private:
    bool& m_flag;
};

using TTitleItemIt = std::deque<TTitleItem>::const_iterator;

// Sets the height, reference and margins of a row from its items (from
// `begin` to `stop`, the indexes first to end) and gives each item its
// offset. The items are walked in order: indexing a deque costs a division.
TTitleRow MeasureRow(TTitleItemIt begin, TTitleItemIt stop, int first, int end) {
    TTitleRow row;
    row.First = first;
    row.End = end;
    for (TTitleItemIt it = begin; it != stop; ++it) {
        row.Height = std::max(row.Height, EffectiveHeight(*it));
        row.Reference = std::max(row.Reference, EffectiveReference(*it));
    }
    row.TopMargin = INT_MIN;
    row.BottomOverflow = INT_MIN;
    for (TTitleItemIt it = begin; it != stop; ++it) {
        const TTitleItem& item = *it;
        const int offset = TitleItemOffset(item, row);
        row.TopMargin = std::max(row.TopMargin, item.Margins.Top - offset);
        row.BottomOverflow =
            std::max(row.BottomOverflow, offset + EffectiveHeight(item) + item.Margins.Bottom - row.Height);
    }
    return row;
}

}  // namespace

// ---------------------------------------------------------------------------
// TTitleWriter

TTitleItem& TTitleWriter::Add(TTitleItemKind kind) {
    TTitleItem& item = m_items.emplace_back();
    item.Kind = kind;
    return item;
}

TTitleItem& TTitleWriter::AddText(const QString& text) {
    TTitleItem& item = Add(TTitleItemKind::Text);
    item.Text = text;
    return item;
}

TTitleItem& TTitleWriter::AddElement(TVisualElement* element) {
    TTitleItem& item = Add(TTitleItemKind::InlineElement);
    item.Element = element;
    return item;
}

TTitleItem& TTitleWriter::AddBlock(TVisualElement* element) {
    TTitleItem& item = Add(TTitleItemKind::Block);
    item.Element = element;
    item.EndsRow = true;
    return item;
}

TTitleItem& TTitleWriter::AddField(TVisualElement* element, TTitleAlign align) {
    TTitleItem& item = Add(TTitleItemKind::Field);
    item.Element = element;
    item.Align = align;
    return item;
}

TTitleItem& TTitleWriter::AddSpace(int width) {
    TTitleItem& item = Add(TTitleItemKind::Space);
    item.Number = width;
    return item;
}

TTitleItem& TTitleWriter::AddImage(int index, TTitleItemKind kind) {
    TTitleItem& item = Add(kind);
    item.Number = index;
    return item;
}

TTitleItem& TTitleWriter::AddSeparator() { return Add(TTitleItemKind::Separator); }

void TTitleWriter::NewLine() {
    if (!m_items.empty()) m_items.back().EndsRow = true;
}

// ---------------------------------------------------------------------------
// Arranging

int CollapseMargins(int first, int second) noexcept {
    if (first >= 0 && second >= 0) return std::max(first, second);
    return std::max(0, first + second);
}

int TitleItemOffset(const TTitleItem& item, const TTitleRow& row) noexcept {
    const int height = EffectiveHeight(item);
    if (row.Reference <= height) return 0;
    const int d = row.Reference - height;
    switch (item.Kind) {
        case TTitleItemKind::Text:
            return d / 2 + 1;
        case TTitleItemKind::InlineElement:
        case TTitleItemKind::Field:
            switch (item.Align) {
                case TTitleAlign::Top:
                    return 0;
                case TTitleAlign::Centre:
                    return d / 2;
                case TTitleAlign::Bottom:
                    return row.Height - height;
            }
            return 0;
        case TTitleItemKind::Block:
            return 0;
        default:
            return d / 2;
    }
}

TTitleArrangement ArrangeTitle(const std::deque<TTitleItem>& items, const TRect& padding) {
    TTitleArrangement result;
    result.Places.resize(items.size());
    result.Rows.reserve(items.size());  // at most one row per item: one allocation
    const int count = int(items.size());
    int width = padding.Left + padding.Right;
    int y = 0;
    int bottomMargin = padding.Top;
    TTitleItemIt rowBegin = items.begin();
    for (int first = 0; first < count;) {
        int end = first;
        TTitleItemIt rowEnd = rowBegin;
        while (end < count && !rowEnd->EndsRow && rowEnd->Kind != TTitleItemKind::Block) ++end, ++rowEnd;
        if (end < count) ++end, ++rowEnd;
        TTitleRow row = MeasureRow(rowBegin, rowEnd, first, end);
        y += CollapseMargins(bottomMargin, row.TopMargin);
        row.Top = y;
        int x = 0;
        int rightMargin = padding.Left;
        int i = first;
        for (TTitleItemIt it = rowBegin; it != rowEnd; ++it, ++i) {
            const TTitleItem& item = *it;
            x += CollapseMargins(rightMargin, item.Margins.Left);
            // A negative margin narrows the item's share of the row: what follows overlaps it.
            result.Places[size_t(i)] = QPoint(x, row.Top + TitleItemOffset(item, row));
            x += EffectiveWidth(item);
            rightMargin = item.Margins.Right;
        }
        width = std::max(width, x + CollapseMargins(rightMargin, padding.Right));
        y += row.Height;
        bottomMargin = row.BottomOverflow;
        result.Rows.push_back(row);
        first = end;
        rowBegin = rowEnd;
    }
    const int height = result.Rows.empty() ? padding.Top + padding.Bottom : y + CollapseMargins(bottomMargin, padding.Bottom);
    result.Size = QSize(width, height);
    return result;
}

// ---------------------------------------------------------------------------
// TCustomTitledElement

namespace {

// Inline elements, blocks and fields: the element's size (a block's title
// size while the layout computes sizes), its first-row height and margins.
void MeasureElementItem(TTitleItem& item, int lineHeight, bool forLayout) {
    TVisualElement* element = item.Element;
    QSize size(element->Width(), element->Height());
    if (forLayout && item.Kind == TTitleItemKind::Block)
        if (auto* block = Supports<ITitleElement>(element)) size = block->GetTitleSize();
    item.Width = size.width();
    item.Height = size.height();
    item.Margins = element->GetMargins();
    if (item.Kind == TTitleItemKind::InlineElement)
        item.Height = std::max(item.Height, lineHeight);
    else
        item.ReferenceHeight = ReportedReference(element);
}

void MeasureImageItem(TTitleItem& item, const TSheetTheme& theme) {
    const bool isChar = item.Kind == TTitleItemKind::CharImage;
    const bool isSmall = item.Kind == TTitleItemKind::SmallImage;
    const TImageList& list = isChar ? SchemeCharImages() : isSmall ? SchemeSmallImages() : SchemeLargeImages();
    const int layout = isChar ? kCharImageLayout : isSmall ? kSmallImageLayout : kLargeImageLayout;
    item.Width = list.Width();
    item.Height = list.Height();
    item.Margins = theme.GetImageData(layout).Insets;
}

}  // namespace

void TCustomTitledElement::MeasureItems(TTitleWriter& writer, TSheetCanvas& canvas, bool forLayout) {
    for (TTitleItem& item : writer.Items()) {
        if (item.Width != 0) continue;
        switch (item.Kind) {
            case TTitleItemKind::Text:
                item.Width = canvas.TextWidthElement(item.Text);
                item.Height = canvas.ElementLineHeight();
                item.Margins = canvas.Theme().LayoutRect();
                break;
            case TTitleItemKind::InlineElement:
            case TTitleItemKind::Block:
            case TTitleItemKind::Field:
                MeasureElementItem(item, canvas.ElementLineHeight(), forLayout);
                break;
            case TTitleItemKind::Space:
                item.Width = item.Number;
                item.Height = 0;
                break;
            case TTitleItemKind::CharImage:
            case TTitleItemKind::SmallImage:
            case TTitleItemKind::LargeImage:
                MeasureImageItem(item, canvas.Theme());
                break;
            case TTitleItemKind::Separator:
                item.Height = canvas.GetThemeHeight(tekLine);
                item.Margins = canvas.GetThemeMargins(tekLine);
                break;
        }
    }
}

namespace {
// Whether the elements a title writes are those of the set (most layouts of a
// title write the same ones): then the set stays as it is.
bool WritesTheSameChildren(const TTitleWriter& writer, const std::unordered_set<const TVisualElement*>& children) {
    const std::deque<TTitleItem>& items = writer.Items();
    size_t distinct = 0;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (!IsElementItem(it->Kind) || !it->Element) continue;
        if (!children.count(it->Element)) return false;
        const auto same = [&](const TTitleItem& earlier) {
            return IsElementItem(earlier.Kind) && earlier.Element == it->Element;
        };
        if (std::none_of(items.begin(), it, same)) ++distinct;
    }
    return distinct == children.size();
}
}  // namespace

void TCustomTitledElement::MarkTitleChildren(const TTitleWriter& writer) {
    if (!WritesTheSameChildren(writer, m_titleChildren)) {
        m_titleChildren.clear();
        for (const TTitleItem& item : writer.Items())
            if (IsElementItem(item.Kind) && item.Element) m_titleChildren.insert(item.Element);
    }
    for (TVisualElement* child = FirstVisualChild(); child; child = child->NextVisualSibling())
        child->UpdateVisibility();
}

void TCustomTitledElement::PlaceItems(TTitleWriter& writer, const TTitleArrangement& arrangement,
                                      const TRect& padding, int width, int shortfall) {
    TVisualElement* content = GetContentContainer();
    // In order: indexing the deque that holds the items costs a division.
    auto placeIt = arrangement.Places.begin();
    for (auto it = writer.Items().begin(); it != writer.Items().end(); ++it, ++placeIt) {
        const TTitleItem& item = *it;
        const QPoint place = *placeIt;
        if (item.Kind == TTitleItemKind::InlineElement || item.Kind == TTitleItemKind::Field) {
            item.Element->SetPosition(place.x(), place.y());
        } else if (item.Kind == TTitleItemKind::Block) {
            const int right = width - CollapseMargins(item.Margins.Right, padding.Right);
            auto* block = Supports<ITitleElement>(item.Element);
            int height = block ? block->GetTitleSize().height() : item.Element->Height();
            if (item.Element == content) height += shortfall;
            item.Element->SetBounds(place.x(), place.y(), std::max(0, right - place.x()), height);
        }
    }
}

int TCustomTitledElement::ComputeDescent() {
    const int bottomPadding = GetPadding().Bottom;
    int descent = bottomPadding + Sheet()->Settings()->GetCodeTextAttributes()->GetDescent();
    if (TVisualElement* last = LastVisibleChild())
        descent = std::max(descent, CollapseMargins(bottomPadding, last->GetMargins().Bottom) + last->Descent());
    return descent;
}

namespace {
// What a title paints of its own (texts, images, separators) and where, as
// one number.
size_t TitlePicture(const TTitleWriter& writer, const TTitleArrangement& arrangement) {
    size_t seed = 0;
    for (const TTitleRow& row : arrangement.Rows)
        for (int i = row.First; i < row.End; ++i) {
            const TTitleItem& item = writer.Items()[size_t(i)];
            switch (item.Kind) {
                case TTitleItemKind::Text:
                case TTitleItemKind::CharImage:
                case TTitleItemKind::SmallImage:
                case TTitleItemKind::LargeImage:
                case TTitleItemKind::Separator: {
                    const QPoint place = arrangement.Places[size_t(i)];
                    seed = qHashMulti(seed, int(item.Kind), item.Text, item.Number, item.Height, place.x(), place.y(),
                                      row.Top, row.Height);
                    break;
                }
                default:
                    break;
            }
        }
    return seed;
}
}  // namespace

int TCustomTitledElement::SizeDependentEdge() {
    if (m_repaintsWhole) return kWholeArea;
    const int background = BackgroundEdge();
    if (background == kWholeArea) return kWholeArea;
    const int separator = ThemeSizeEdge(tekLine);
    if (separator == kWholeArea) return kWholeArea;
    return std::max(background, GetPadding().Right + separator);
}

// A layout that changes what the title paints of its own, or where, repaints
// the element's old and new area; one that only resizes it leaves the rest
// to the size-dependent edge.
void TCustomTitledElement::UpdateTitleLayout() {
    ISheet* sheet = Sheet();
    if (!sheet || m_layingOut || IsBeingDestroyed() || !IsVisible()) return;
    if (IsLayoutHeld()) sheet->LetGoLayout(this);  // laid out now, it waits no longer
    TSheetUpdate update(sheet);
    int width = 0;
    int height = 0;
    size_t picture = 0;
    {
        TTitleWriter writer;
        WriteTitle(writer);
        const TLayingOutScope layingOut(m_layingOut);
        MarkTitleChildren(writer);
        MeasureItems(writer, *sheet->Canvas(), true);
        const TRect padding = GetPadding();  // for arranging and placing alike
        const TTitleArrangement arrangement = ArrangeTitle(writer.Items(), padding);
        const QSize minimum = GetMinimumSize();
        width = std::max(arrangement.Size.width(), minimum.width());
        height = std::max(arrangement.Size.height(), minimum.height());
        PlaceItems(writer, arrangement, padding, width, height - arrangement.Size.height());
        picture = TitlePicture(writer, arrangement);
    }
    // A changed picture repaints the old and the new area: the bounds set
    // repaint them, or the area once when they stay.
    const bool titleChanged = std::exchange(m_titlePicture, picture) != picture;
    bool boundsChanged = false;
    {
        const TLayingOutScope repaintsWhole(m_repaintsWhole, titleChanged);
        boundsChanged = SetBounds(Left(), Top(), width, height, ComputeDescent());
    }
    if (titleChanged && !boundsChanged) Invalidate();
    update.End();
}

void TCustomTitledElement::Realign(TVisualElement* child) { UpdateTitleLayout(); }

bool TCustomTitledElement::CanShowChild(TVisualElement* child) {
    return m_titleChildren.count(child) || child->HasVisualOption(voHiddenWhileEmpty);
}

void TCustomTitledElement::ShowChild(TVisualElement* child) {
    for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
        auto* button = dynamic_cast<TExpandButton*>(c);
        if (button && !button->Expanded() && button->ControlledElements().contains(child)) button->ChangeExpanded(true);
    }
}

void TCustomTitledElement::RecheckExpandButtons(TVisualElement* child) {
    for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
        auto* button = dynamic_cast<TExpandButton*>(c);
        if (button && button->ControlledElements().contains(child)) button->UpdateDefault();
    }
}

namespace {
TRect SeparatorRect(const TTitleItem& item, QPoint place, const TTitleRow& row, int lineRight) {
    const int top = row.Top + (row.Height - item.Height) / 2;
    return TRect{place.x(), top, lineRight, top + item.Height};
}

// Where a painted title item may put ink: a text's glyphs may reach beyond
// its measured box (overhangs, a second colour one pixel off), by far less
// than a line's height on any side.
TRect TitleItemInk(const TTitleItem& item, QPoint place, const TTitleRow& row, int lineRight) {
    if (item.Kind == TTitleItemKind::Separator) return SeparatorRect(item, place, row, lineRight);
    const int reach = item.Kind == TTitleItemKind::Text ? std::max(item.Height, 1) : 1;
    return TRect{place.x() - reach, place.y() - reach, place.x() + item.Width + reach, place.y() + item.Height + reach};
}
}  // namespace

void TCustomTitledElement::Paint(TSheetCanvas& canvas) {
    PaintBackground(canvas, GetClientRect());
    TTitleWriter writer;
    WriteTitle(writer);
    MeasureItems(writer, canvas, false);
    const TTitleArrangement arrangement = ArrangeTitle(writer.Items(), GetPadding());
    const int lineRight = Width() - GetPadding().Right;
    for (const TTitleRow& row : arrangement.Rows) {
        for (int i = row.First; i < row.End; ++i) {
            const TTitleItem& item = writer.Item(i);
            const QPoint place = arrangement.Places[size_t(i)];
            if (!canvas.NeedsPaint(TitleItemInk(item, place, row, lineRight))) continue;
            switch (item.Kind) {
                case TTitleItemKind::Text:
                    canvas.TextOutElement(place.x(), place.y(), item.Text);
                    break;
                case TTitleItemKind::CharImage:
                    canvas.DrawCharImage(place, item.Number);
                    break;
                case TTitleItemKind::SmallImage:
                    canvas.DrawSmallImage(place, item.Number);
                    break;
                case TTitleItemKind::LargeImage:
                    canvas.DrawLargeImage(place, item.Number);
                    break;
                case TTitleItemKind::Separator:
                    canvas.DrawThemeFrame(tekLine, SeparatorRect(item, place, row, lineRight));
                    break;
                default:
                    break;
            }
        }
    }
}

void TCustomTitledElement::GetCaret(int& kind, TRect& rect) {
    kind = ckFocusRect;
    rect = GetClientRect();
}

void TCustomTitledElement::FocusChanged() {
    TCustomDescribedElement::FocusChanged();
    Invalidate();
}

QSize TCustomTitledElement::GetAvailableSize(TVisualElement* child) {
    const QSize available = TCustomDescribedElement::GetAvailableSize(child);
    const TRect padding = GetPadding();
    const TRect margins = GetMargins();
    const auto reduce = [](int value, int by) { return value == INT_MAX ? value : std::max(0, value - by); };
    return QSize(reduce(available.width(), padding.Left + padding.Right + margins.Left + margins.Right),
                 reduce(available.height(), padding.Top + padding.Bottom + margins.Top + margins.Bottom));
}

void TCustomTitledElement::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    TCustomDescribedElement::ChildBoundsChanged(child, oldRect, oldDescent);
    if (m_layingOut || !child->IsVisible()) return;
    const bool sizeChanged = oldRect.Width() != child->Width() || oldRect.Height() != child->Height();
    const bool lastDescentChanged = oldDescent != child->Descent() && child == LastVisibleChild();
    if (sizeChanged || lastDescentChanged) ChildLayoutChanged();
}

void TCustomTitledElement::ChildLayoutChanged() {
    if (IsLayoutHeld()) return;
    if (ISheet* sheet = Sheet(); sheet && sheet->HoldLayoutAbove(this)) return;
    UpdateTitleLayout();
}

void TCustomTitledElement::LayoutHoldEnded() { UpdateTitleLayout(); }

void TCustomTitledElement::ChildVisibilityChanged(TVisualElement* child) {
    TCustomDescribedElement::ChildVisibilityChanged(child);
    UpdateTitleLayout();
}

void TCustomTitledElement::VisibilityChanged() {
    TCustomDescribedElement::VisibilityChanged();
    UpdateTitleLayout();
}

void TCustomTitledElement::RemoveVisualChild(TVisualElement* child) {
    m_titleChildren.erase(child);
    TCustomDescribedElement::RemoveVisualChild(child);
}

void TCustomTitledElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TCustomDescribedElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (force) {
        for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling())
            if (auto* button = dynamic_cast<TExpandButton*>(c)) button->UpdateDefault();
        UpdateTitleLayout();
    } else if ((m_style & tsRichChild) && (widthChanged || heightChanged)) {
        UpdateTitleLayout();
    }
}

bool TCustomTitledElement::HandleVisualChildMessage(TVisualElement* child, int msg, intptr_t p1, intptr_t p2) {
    switch (msg) {
        case nmFilledChanged:
            if (!m_layingOut) UpdateTitleLayout();
            break;
        case nmFirstRowHeightChanged:
            if (!m_layingOut) ChildLayoutChanged();
            break;
        case nmDefaultStateChanged:
            RecheckExpandButtons(child);
            break;
        case nmExpandStateChanged:
            Realign(child);
            break;
        default:
            break;
    }
    return TCustomDescribedElement::HandleVisualChildMessage(child, msg, p1, p2);
}

bool TCustomTitledElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmFirstRowHeightChanged && !m_layingOut) ChildLayoutChanged();
    return TCustomDescribedElement::HandleNodeMessage(msg, p1, p2);
}

// ---------------------------------------------------------------------------
// TTitledElement

void TTitledElement::Create() {
    TCustomTitledElement::Create();
    SetVisualOptions(uint16_t(VisualOptions() | voCanDisable));
}

int TTitledElement::GetThemeElementKind() {
    const uint8_t style = StyleFlags();
    if (style & tsCommand) return tekElementCommand;
    if (style & tsTechnical) return tekElementTechnical;
    if (style & tsExpression) return tekElementExpression;
    return tekElement;
}

void TTitledElement::CreateExpandButton(bool expanded) {
    m_expandButton = TExpandButton::CreateFor(this, expanded, nullptr, this, FirstVisualChild());
}

bool TTitledElement::IsExpanded() const { return !m_expandButton || m_expandButton->Expanded(); }

void TTitledElement::SetExpanded(bool expanded) {
    if (m_expandButton && m_expandButton->Expanded() != expanded) m_expandButton->ChangeExpanded(expanded);
}

void TTitledElement::SetStoredSize(int width, int height) {
    width = std::clamp(width, 0, kSheetUnlimited);
    height = std::clamp(height, 0, kSheetUnlimited);
    if (width == m_storedWidth && height == m_storedHeight) return;
    m_storedWidth = width;
    m_storedHeight = height;
    if (IsExpanded()) UpdateTitleLayout();
}

void TTitledElement::WriteTitle(TTitleWriter& writer) {
    if (m_expandButton) writer.AddElement(m_expandButton);
}

QSize TTitledElement::GetMinimumSize() {
    if (!Sheet()) return QSize();
    const TSheetCanvas& canvas = *Sheet()->Canvas();
    const int kind = GetThemeElementKind();
    QSize minimum(canvas.GetThemeMinWidth(kind), canvas.GetThemeMinHeight(kind));
    if (IsExpanded()) minimum = minimum.expandedTo(QSize(m_storedWidth, m_storedHeight));
    return minimum;
}

TRect TTitledElement::GetPadding() {
    return Sheet() ? Sheet()->Canvas()->GetThemePadding(GetThemeElementKind()) : TRect{};
}

void TTitledElement::PaintBackground(TSheetCanvas& canvas, const TRect& rect) {
    canvas.DrawThemeFrame(GetThemeElementKind(), rect);
}

int TTitledElement::BackgroundEdge() {
    return ThemeSizeEdge(GetThemeElementKind());
}

void TTitledElement::FocusFirst() {
    for (TVisualElement* child = GetNextChild(nullptr, true); child; child = GetNextChild(child, true)) {
        if (child == m_expandButton || !child->IsVisible()) continue;
        if (child->FindFocusable(true, false, true)) {
            child->FocusFirst();
            return;
        }
    }
    TCustomTitledElement::FocusFirst();
}

void TTitledElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomTitledElement::GetPaletteItems(list);
    if (m_expandButton && g_collapsedItem) list.append(g_collapsedItem);
}

void TTitledElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (item == g_collapsedItem) {
        state.Enabled = m_expandButton != nullptr;
        state.Checked = !IsExpanded();
        return;
    }
    TCustomTitledElement::UpdatePaletteItemState(item, state);
}

bool TTitledElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item == g_collapsedItem) {
        SetExpanded(!checked);
        return m_expandButton != nullptr;
    }
    return TCustomTitledElement::ApplyPaletteItem(item, subCommand, checked);
}

void TTitledElement::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_expandButton)
        name = kExpandedChild;
    else
        TCustomTitledElement::GetChildName(child, filer, name);
}

void TTitledElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomTitledElement::SaveTo(saver, knot);
    if (!HasVisualOption(voFreePosition) || saver->HasOption(foNoPosition)) return;
    if (m_storedWidth) knot->WriteInt(kStoredWidth, m_storedWidth);
    if (m_storedHeight) knot->WriteInt(kStoredHeight, m_storedHeight);
}

void TTitledElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomTitledElement::LoadFrom(loader, knot);
    if (!HasVisualOption(voFreePosition) || loader->HasOption(foNoPosition)) return;
    SetStoredSize(knot->ReadInt(kStoredWidth, m_storedWidth), knot->ReadInt(kStoredHeight, m_storedHeight));
}

void TTitledElement::BeforeDestruction() {
    TCustomTitledElement::BeforeDestruction();
    m_expandButton = nullptr;
}

// ---------------------------------------------------------------------------
// TContentSlot

void TContentSlot::Make(TVisualElement* owner, const TElementClass* contentClass) {
    m_content = TVisualElement::CreateSubElement(contentClass, owner, nullptr, owner);
}

bool TContentSlot::Focus() const {
    if (!m_content || !m_content->HasVisualOption(voFocusable)) return false;
    m_content->Focus();
    return true;
}

bool TContentSlot::Names(const TElement* child, QString& name) const {
    if (!child || child != m_content) return false;
    name = QStringLiteral("Content");
    return true;
}

// ---------------------------------------------------------------------------
// TTitledElementWithContent

const TElementClass* TTitledElementWithContent::GetContentClass() { return TTitledTextContainer::StaticClass(); }

void TTitledElementWithContent::Create() {
    TTitledElement::Create();
    m_content.Make(this, GetContentClass());
}

void TTitledElementWithContent::FocusFirst() {
    if (!m_content.Focus()) TTitledElement::FocusFirst();
}

void TTitledElementWithContent::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (!m_content.Names(child, name)) TTitledElement::GetChildName(child, filer, name);
}

void TTitledElementWithContent::BeforeDestruction() {
    TTitledElement::BeforeDestruction();
    m_content.Forget();
}

// ---------------------------------------------------------------------------
// TTitledTextContainer

void TTitledTextContainer::FitBoundsToText() {
    const TRect padding = GetPadding();
    const QSize size = GetContentSize(padding);
    const TRow* last = Textor()->LastParagraph()->LastRow();
    const int descent = padding.Bottom + (last ? last->Descent() : 0);
    if (size == m_titleSize && descent == m_titleDescent) return;
    m_titleSize = size;
    m_titleDescent = descent;
    // At once, inside the text's own layout: the title sets the text's
    // bounds, which set later would lay all of the text out again.
    if (auto* owner = ClassAs<TCustomTitledElement>(VisualParent())) owner->UpdateTitleLayout();
}

// ---------------------------------------------------------------------------
// TCollapsedPaletteItem

namespace {
void PlayExpandSound(bool collapsing) {
    PlaySchemeSound(collapsing ? sndExpandButtonCollapse : sndExpandButtonExpand);
}
}  // namespace

void TCollapsedPaletteItem::ApplyTo(TElement* element, bool checked) {
    PlayExpandSound(checked);
    TSchemePaletteItem::ApplyTo(element, checked);
}

void TCollapsedPaletteItem::ApplyToList(const QList<TElement*>& list, bool checked) {
    if (list.isEmpty()) return;
    PlayExpandSound(checked);
    TOperationGroupScope group(list.first()->Scheme());
    for (TElement* element : list)
        if (StateEnabled(this, element)) TSchemePaletteItem::ApplyTo(element, checked);
    group.End();
}

TCollapsedPaletteItem* CollapsedPaletteItem() noexcept { return g_collapsedItem; }

void InitTitledUnit() {
    TNodePtr<TCollapsedPaletteItem> item =
        MakeNode<TCollapsedPaletteItem>(uint16_t(pifToggle), -1, strCollapsed, strCollapsedHint, kCollapsedItemOrder);
    item->SetLetter(kCollapsedItemLetter);
    item->SetParent(PaletteStateGroup());
    g_collapsedItem = item.release();
}

void FinalTitledUnit() { g_collapsedItem = nullptr; }

// Layout of a textor into rows: measuring, wrapping, hit testing, caret and
// row rectangles, and painting (the model is in diTextor.cpp).

#include "platform/plInput.h"
#include "scheme/diCanvas.h"
#include "text/diTextor.h"
#include "text/diTextorRows.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

namespace {

// Paragraph alignments (TParagraphAttributes::Options).
enum : uint8_t { paLeft = 0, paRight = 1, paCentre = 2 };
// Paragraph layout values: the indents.
enum : int { plvLeftIndent = 0, plvFirstLineIndent = 1, plvRightIndent = 2 };

// In a drag, an element is taken in once the pointer comes this near its far edge.
constexpr int kElementDragReach = 40;
constexpr int kNoBreakSpace = 0x00A0;
constexpr QChar kSpaceMark(0x00B7);
constexpr QChar kNoBreakSpaceMark(0x00B0);
constexpr QChar kTabMark(0x00AC);
constexpr QChar kParagraphMark(0x00B6);

// Break grades of the wrap: the higher wins.
enum : int { bgNone = 0, bgForced = 1, bgAnywhere = 2, bgOpportunity = 3 };

bool IsSurrogatePair(int first, int second) noexcept {
    return first >= 0 && second >= 0 && QChar::isHighSurrogate(char32_t(first)) &&
           QChar::isLowSurrogate(char32_t(second));
}

int LayoutTextWidth(const TTextAttributes* attributes, const QChar* chars, int count) {
    return attributes && count > 0 ? attributes->GetTextWidth(chars, count) : 0;
}

void AttributesMetrics(const TTextAttributes* attributes, int& ascent, int& descent) {
    ascent = attributes ? attributes->GetAscent() : 0;
    descent = attributes ? attributes->GetDescent() : 0;
}

// The x of the tab stop after x.
int NextTabStop(int x, int tabWidth) noexcept { return tabWidth > 0 ? (x / tabWidth + 1) * tabWidth : x; }

int PieceFlags(const TRowPaint& paint, bool selected) noexcept {
    int flags = paint.Flags & tpfInactive;
    if (selected && (paint.Flags & tpfPaintSelection)) flags |= tpfSelected;
    return flags;
}

// One cell (a space or a tab) with its non-printing mark centred in it:
// background, mark, then the selection over both.
void PaintMarkedCell(const TRowPaint& paint, const TTextAttributes& attributes, int flags, int x, int width,
                     QChar mark) {
    attributes.PaintRun(paint.Canvas, flags & ~tpfSelected, x, width, paint.Row);
    const int markWidth = attributes.GetTextWidth(&mark, 1);
    attributes.PaintText(paint.Canvas, 0, &mark, 1, x + (width - markWidth) / 2, paint.Baseline, paint.Row);
    if (flags & tpfSelected)
        paint.Canvas.DrawSelection(TRect{x, paint.Row.Top, x + width, paint.Row.Bottom}, !(flags & tpfInactive));
}

QChar MarkOf(QChar c) noexcept {
    if (c.unicode() == tcSpace) return kSpaceMark;
    if (c.unicode() == kNoBreakSpace) return kNoBreakSpaceMark;
    return QChar();
}

int CharIndexInParagraph(const TTextorPosition& position) noexcept {
    int index = 0;
    for (TPortion* p = position.Paragraph->FirstPortion(); p && p != position.Portion; p = p->Next())
        index += p->Length();
    return index + position.Offset;
}

int PrevParagraphBottom(const TParagraph* paragraph) noexcept {
    for (const TParagraph* p = paragraph->Prev(); p; p = p->Prev())
        if (const TRow* last = p->LastRow()) return last->Bottom();
    return 0;
}

struct TIndents {
    int Left = 0;
    int FirstLine = 0;
    int Right = 0;
    uint8_t Alignment = paLeft;
};

TIndents IndentsOf(const TParagraph* paragraph) {
    const TParagraphAttributes* attributes = paragraph->GetAttributes();
    if (!attributes) return {};
    const TTextAttributes* text = paragraph->GetTextAttributes();
    return TIndents{attributes->LayoutValue(plvLeftIndent, text), attributes->LayoutValue(plvFirstLineIndent, text),
                    attributes->LayoutValue(plvRightIndent, text), attributes->Options()};
}

int RowLeft(const TRow* row, const TIndents& indents, int availableWidth) noexcept {
    const bool first = row == row->GetParagraph()->FirstRow();
    const int firstLine = first ? indents.FirstLine : 0;
    switch (indents.Alignment) {
    case paRight: return availableWidth - indents.Right - row->Width();
    case paCentre: return indents.Left + (availableWidth - indents.Left - indents.Right - row->Width()) / 2 + firstLine;
    default: return indents.Left + firstLine;
    }
}

// Calls visit(portion, first, count, x) for each stretch of a portion on the
// row, x being the stretch's x in the row, until visit answers false.
template <class Visit>
void ForEachPiece(const TRow* row, Visit visit) {
    const TTextorPosition start = row->GetStartPosition();
    const TTextorPosition end = row->GetEndPosition();
    int x = 0;
    int first = start.Offset;
    for (TPortion* portion = start.Portion; portion; portion = portion->Next(), first = 0) {
        const int last = portion == end.Portion ? end.Offset : portion->Length();
        if (last > first) {
            if (!visit(portion, first, last - first, x)) return;
            portion->Measure(x, first, last - first);
        }
        if (portion == end.Portion) return;
    }
}

// ---------------------------------------------------------------------------
// The wrap: builds the rows of one paragraph.

struct TRowMetrics {
    int Ascent = 0;
    int Descent = 0;
};

class TParagraphWrap {
public:
    TParagraphWrap(const TTextor& textor, TParagraph* paragraph, int availableWidth)
        : m_textor(textor), m_paragraph(paragraph) {
        const TIndents indents = IndentsOf(paragraph);
        m_wrapping = availableWidth > 0;
        m_limit = std::max(1, availableWidth - (indents.Left + indents.FirstLine + indents.Right));
        m_laterLimit = std::max(1, availableWidth - (indents.Left + indents.Right));
        AttributesMetrics(paragraph->GetTextAttributes(), m_paragraphMetrics.Ascent, m_paragraphMetrics.Descent);
        m_running = m_paragraphMetrics;
        m_rowStart = paragraph->StartPosition();
        m_kept = TCandidate{m_rowStart, 0, bgNone, m_running, 0};
        m_prevBottom = PrevParagraphBottom(paragraph);
    }

    void Run() {
        m_paragraph->FreeRows();
        int portionStart = 0;
        for (TPortion* portion = m_paragraph->FirstPortion(); portion; portion = portion->Next()) {
            WrapPortion(portion, portionStart);
            portionStart += portion->Length();
        }
        TRowPtr last = m_lastWrapped ? MakeRow<TWrappedParagraphLastRow>(m_lastWrapped, m_rowStart)
                                     : MakeRow<TWholeParagraphRow>(m_paragraph);
        last->SetMetrics(m_prevBottom, m_running.Ascent, m_running.Descent, m_x);
        last->SetIndices(m_rowStartIndex, portionStart);
        Append(std::move(last), nullptr);
    }

private:
    struct TCandidate {
        TTextorPosition Position;  // where the next row starts
        int Index = 0;             // its character index in the paragraph
        int Grade = bgNone;
        TRowMetrics Metrics;
        int X = 0;  // x at the candidate
    };
    struct TBreak {
        int Index;  // the row may end after this character
        int Grade;
        int EndX;  // x after it
    };

    // The search for breaks in one portion: the characters from Start on are
    // still to be placed, Start standing at SegmentX.
    struct TSearch {
        TPortion* Portion;
        int PortionStart;  // character index of the portion in the paragraph
        int Start = 0;
        int SegmentX = 0;
    };

    static TRowMetrics Larger(const TRowMetrics& a, const TRowMetrics& b) noexcept {
        return TRowMetrics{std::max(a.Ascent, b.Ascent), std::max(a.Descent, b.Descent)};
    }

    void WrapPortion(TPortion* portion, int portionStart) {
        TRowMetrics own;
        portion->GetAscentDescent(own.Ascent, own.Descent);
        m_running = Larger(m_running, own);
        TSearch search{portion, portionStart, 0, m_x};
        const int length = portion->Length();
        portion->Measure(m_x, 0, length);
        if (!m_wrapping || length == 0 || (!portion->Next() && m_x <= m_limit)) return;
        for (;;) {
            Consider(search, FindBreak(search));
            if (m_x <= m_limit || m_kept.Position.IsParagraphEnd()) return;
            CloseRow();
            MoveRestToNewRow(search);
            if (search.Start >= length) {
                m_running = m_paragraphMetrics;
                return;
            }
            m_running = Larger(m_paragraphMetrics, own);
        }
    }

    // A break of the kept grade or higher becomes the kept candidate.
    void Consider(TSearch& search, const TBreak& found) {
        if (found.Grade < m_kept.Grade) return;
        const TTextorPosition next = TTextor::Normalize(TTextorPosition{m_paragraph, search.Portion, found.Index + 1});
        m_kept = TCandidate{next, search.PortionStart + found.Index + 1, found.Grade, m_running, found.EndX};
        search.Start = found.Index + 1;
        search.SegmentX = found.EndX;
    }

    // After a row closed: everything from the candidate on moves to the new
    // row, wherever the candidate lies.
    void MoveRestToNewRow(TSearch& search) {
        search.SegmentX -= m_kept.X;
        m_x -= m_kept.X;
        if (search.Portion->Kind() == TPortionKind::TabStops) {
            // Tab cells depend on x: the rest of the run is measured at its new place.
            m_x = search.SegmentX;
            search.Portion->Measure(m_x, search.Start, search.Portion->Length() - search.Start);
        }
        m_kept = TCandidate{m_rowStart, m_rowStartIndex, bgNone, m_paragraphMetrics, 0};
    }

    // The best place from the search start on to end the row. The width of
    // the rest of the portion is known: x stands at its end.
    TBreak FindBreak(const TSearch& search) const {
        const TPortion* portion = search.Portion;
        const int start = search.Start;
        const int length = portion->Length();
        int x = search.SegmentX;
        const int fit = portion->HitTest(x, start, length - start, TPortionHit{m_limit, false, nullptr},
                                         m_x - search.SegmentX);
        if (fit < 0) return TBreak{length - 1, BreakAfter(portion, length - 1) ? bgOpportunity : bgAnywhere, m_x};
        if (fit > 0) {
            for (int i = start + fit - 1; i >= start; --i)
                if (BreakAfter(portion, i)) return TBreak{i, bgOpportunity, XAfter(search, i)};
            return TBreak{start + fit - 1, bgAnywhere, x};  // the hit test left x there
        }
        const bool pair = start + 1 < length && IsSurrogatePair(portion->CharAt(start), portion->CharAt(start + 1));
        const int index = pair ? start + 1 : start;
        return TBreak{index, bgForced, XAfter(search, index)};
    }

    static int XAfter(const TSearch& search, int index) {
        int x = search.SegmentX;
        search.Portion->Measure(x, search.Start, index + 1 - search.Start);
        return x;
    }

    // Whether the row may end after character i of portion.
    bool BreakAfter(const TPortion* portion, int i) const {
        const int code = portion->CharAt(i);
        int following = 0;
        if (i + 1 < portion->Length())
            following = portion->CharAt(i + 1);
        else if (const TPortion* next = portion->Next())
            following = next->CharAt(0);
        else
            return false;
        return !IsSurrogatePair(code, following) && m_textor.CanBreakBetween(code, following);
    }

    void CloseRow() {
        if (!m_lastWrapped) m_paragraph->ReserveRows(2 + (m_x - m_kept.X) / m_laterLimit);
        TRowPtr row = m_lastWrapped ? MakeRow<TWrappedParagraphInnerRow>(m_lastWrapped, m_rowStart, m_kept.Position)
                                    : MakeRow<TWrappedParagraphFirstRow>(m_kept.Position);
        row->SetMetrics(m_prevBottom, m_kept.Metrics.Ascent, m_kept.Metrics.Descent, m_kept.X);
        row->SetIndices(m_rowStartIndex, m_kept.Index);
        m_prevBottom = row->Bottom();
        auto* wrapped = static_cast<TWrappedParagraphRow*>(row.get());
        Append(std::move(row), wrapped);
        m_rowStart = m_kept.Position;
        m_rowStartIndex = m_kept.Index;
        m_limit = m_laterLimit;
    }

    void Append(TRowPtr row, TWrappedParagraphRow* wrapped) {
        if (m_lastWrapped) m_lastWrapped->SetNextRow(row.get());
        m_lastWrapped = wrapped;
        m_paragraph->AppendRow(std::move(row));
    }

    const TTextor& m_textor;
    TParagraph* m_paragraph;
    bool m_wrapping = false;
    int m_limit = 1;
    int m_laterLimit = 1;
    TRowMetrics m_paragraphMetrics;
    TRowMetrics m_running;
    int m_x = 0;
    TCandidate m_kept;
    TTextorPosition m_rowStart;
    int m_rowStartIndex = 0;
    int m_prevBottom = 0;
    TWrappedParagraphRow* m_lastWrapped = nullptr;
};

// The selected character indices of one paragraph: [Start, End), End past the
// paragraph length when the paragraph end is selected too.
struct TParagraphSelection {
    int Start = 0;
    int End = 0;
    bool Contains(int index) const noexcept { return index >= Start && index < End; }
};

constexpr TTextorNumericRange kNothingSelected{{-1, 0}, {-1, 0}};

TParagraphSelection SelectionIn(int paragraph, const TTextorNumericRange& selection) noexcept {
    constexpr int kPast = INT32_MAX;
    if (paragraph < selection.Start.Paragraph || paragraph > selection.End.Paragraph) return {};
    const int start = paragraph == selection.Start.Paragraph ? selection.Start.Char : 0;
    const int end = paragraph == selection.End.Paragraph ? selection.End.Char : kPast;
    return TParagraphSelection{start, end};
}

// Places the elements of a paragraph on their rows, the text standing at origin.
void PlaceElements(const TParagraph* paragraph, int availableWidth, QPoint origin) {
    bool hasElement = false;
    for (TPortion* p = paragraph->FirstPortion(); p && !hasElement; p = p->Next())
        hasElement = p->Kind() == TPortionKind::Element;
    if (!hasElement) return;
    const TIndents indents = IndentsOf(paragraph);
    for (int i = 0; i < paragraph->RowCount(); ++i) {
        const TRow* row = paragraph->RowAt(i);
        const int left = origin.x() + RowLeft(row, indents, availableWidth);
        ForEachPiece(row, [&](TPortion* portion, int, int, int x) {
            portion->PlaceOnRow(left + x, origin.y() + row->Baseline());
            return true;
        });
    }
}

// Paints the pieces of a row, each in up to three parts: before, inside and
// after the selection; answers the x where the row's content ends.
int PaintPieces(const TRowPaint& paint, const TRow* row, const TParagraphSelection& selection) {
    int index = row->StartIndex();
    int x = paint.Row.Left;
    ForEachPiece(row, [&](TPortion* portion, int first, int count, int) {
        const int cuts[] = {index, std::clamp(selection.Start, index, index + count),
                            std::clamp(selection.End, index, index + count), index + count};
        for (int part = 0; part < 3; ++part)
            if (cuts[part + 1] > cuts[part])
                x += portion->Paint(paint, first + cuts[part] - index, cuts[part + 1] - cuts[part], x, part == 1);
        index += count;
        return true;
    });
    return x;
}

// The pilcrow of a paragraph that has a following one, and the highlight of a selected paragraph end, at x.
void PaintParagraphEnd(const TRowPaint& paint, const TParagraph* paragraph, const TParagraphSelection& selection,
                       int x) {
    const TTextAttributes* text = paragraph->GetTextAttributes();
    if ((paint.Flags & tpfNonPrintingMarks) && paragraph->Next() && text)
        text->PaintText(paint.Canvas, 0, &kParagraphMark, 1, x, paint.Baseline, paint.Row);
    if ((paint.Flags & tpfPaintSelection) && (paint.Flags & tpfParagraphEndHighlight) &&
        selection.Contains(paragraph->LastRow()->EndIndex()))
        paint.Canvas.DrawSelection(TRect{x, paint.Row.Top, x + kTextorParagraphEndHighlight, paint.Row.Bottom},
                                   !(paint.Flags & tpfInactive));
}

// Raises a flag for its lifetime.
class TFlagRaised {
public:
    explicit TFlagRaised(bool& flag) noexcept : m_flag(flag) { m_flag = true; }
    ~TFlagRaised() { m_flag = false; }
    TFlagRaised(const TFlagRaised&) = delete;
    TFlagRaised& operator=(const TFlagRaised&) = delete;

private:
    bool& m_flag;
};

}  // namespace

// ---------------------------------------------------------------------------
// Portions

void TTextPortion::Measure(int& x, int first, int count) const {
    x += LayoutTextWidth(GetAttributes(), Chars() + first, count);
}

int TTextPortion::HitTest(int& x, int first, int count, const TPortionHit& hit, int knownWidth) const {
    const TTextAttributes* attributes = GetAttributes();
    const QChar* chars = Chars() + first;
    const int total = knownWidth >= 0 ? knownWidth : LayoutTextWidth(attributes, chars, count);
    if (count <= 0 || x + total <= hit.Target) {
        x += total;
        return -1;
    }
    const int target = hit.Target - x;
    auto widthOf = [&](int n) { return LayoutTextWidth(attributes, chars, n); };
    int k = target <= 0 || total <= 0 ? 0 : int(std::min<int64_t>(int64_t(target) * count / total, count - 1));
    int kx = widthOf(k);
    while (k > 0 && kx > target) kx = widthOf(--k);
    while (k + 1 < count) {
        const int next = widthOf(k + 1);
        if (next > target) break;
        ++k;
        kx = next;
    }
    if (k > 0 && chars[k].isLowSurrogate() && chars[k - 1].isHighSurrogate()) kx = widthOf(--k);
    if (hit.Round) {
        const int size = k + 1 < count && chars[k].isHighSurrogate() && chars[k + 1].isLowSurrogate() ? 2 : 1;
        const int after = widthOf(k + size);
        if (2 * int64_t(target) > int64_t(kx) + after) {
            k += size;
            kx = after;
        }
    }
    x += kx;
    return k;
}

void TTextPortion::GetAscentDescent(int& ascent, int& descent) const {
    AttributesMetrics(GetAttributes(), ascent, descent);
}

int TTextPortion::Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const {
    const TTextAttributes* attributes = GetAttributes();
    if (!attributes) return 0;
    const int flags = PieceFlags(paint, selected);
    const QChar* chars = Chars() + first;
    if (!(paint.Flags & tpfNonPrintingMarks))
        return attributes->PaintText(paint.Canvas, flags, chars, count, x, paint.Baseline, paint.Row);
    const int left = x;
    int segment = 0;
    for (int i = 0; i <= count; ++i) {
        const QChar mark = i < count ? MarkOf(chars[i]) : QChar();
        if (i < count && mark.isNull()) continue;
        if (i > segment)
            x += attributes->PaintText(paint.Canvas, flags, chars + segment, i - segment, x, paint.Baseline, paint.Row);
        if (i < count) {
            const int cell = attributes->GetTextWidth(chars + i, 1);
            PaintMarkedCell(paint, *attributes, flags, x, cell, mark);
            x += cell;
        }
        segment = i + 1;
    }
    return x - left;
}

void TTabStopsPortion::Measure(int& x, int first, int count) const {
    const TTextAttributes* attributes = GetAttributes();
    const int tabWidth = attributes ? attributes->GetTabWidth() : 0;
    if (count > 0 && tabWidth > 0) x = (x / tabWidth + count) * tabWidth;
}

int TTabStopsPortion::HitTest(int& x, int first, int count, const TPortionHit& hit, int knownWidth) const {
    const TTextAttributes* attributes = GetAttributes();
    const int tabWidth = attributes ? attributes->GetTabWidth() : 0;
    for (int i = 0; i < count; ++i) {
        const int stop = NextTabStop(x, tabWidth);
        if (stop > hit.Target) {
            if (!hit.Round || 2 * int64_t(hit.Target) <= int64_t(x) + stop) return i;
            x = stop;
            return i + 1;
        }
        x = stop;
    }
    return -1;
}

void TTabStopsPortion::GetAscentDescent(int& ascent, int& descent) const {
    AttributesMetrics(GetAttributes(), ascent, descent);
}

int TTabStopsPortion::Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const {
    const TTextAttributes* attributes = GetAttributes();
    const int tabWidth = attributes ? attributes->GetTabWidth() : 0;
    if (tabWidth <= 0) return 0;
    const int flags = PieceFlags(paint, selected);
    const int left = x;
    for (int i = 0; i < count; ++i) {
        const int stop = NextTabStop(x, tabWidth);
        if (paint.Flags & tpfNonPrintingMarks)
            PaintMarkedCell(paint, *attributes, flags, x, stop - x, kTabMark);
        else
            attributes->PaintRun(paint.Canvas, flags, x, stop - x, paint.Row);
        x = stop;
    }
    return x - left;
}

namespace {
// The width of an element's slot: the element and the textor's side margins.
int SlotWidth(const TVisualElement* element, const TRect& margins) noexcept {
    return (element ? element->Width() : 0) + margins.Left + margins.Right;
}
}  // namespace

void TElementPortion::Measure(int& x, int first, int count) const {
    if (count > 0) x += SlotWidth(m_element, Textor()->GetTextMargins());
}

int TElementPortion::HitTest(int& x, int first, int count, const TPortionHit& hit, int knownWidth) const {
    if (count <= 0) return -1;
    const int width = SlotWidth(m_element, Textor()->GetTextMargins());
    if (x + width <= hit.Target) {
        x += width;
        return -1;
    }
    if (!hit.Round) return 0;
    int split = width / 2;
    if (const TTextorDrag* drag = hit.Drag) {
        const int threshold = TInputState::Current().DragThreshold();
        const QPoint moved = drag->Current - drag->Press;
        if (std::abs(moved.x()) > threshold || std::abs(moved.y()) > threshold)
            split = drag->Current.x() <= drag->Press.x() ? std::min(width / 2, kElementDragReach)
                                                          : std::max(width / 2, width - kElementDragReach);
    }
    if (hit.Target <= x + split) return 0;
    x += width;
    return 1;
}

void TElementPortion::GetAscentDescent(int& ascent, int& descent) const {
    const TRect margins = Textor()->GetTextMargins();
    const int height = m_element ? m_element->Height() : 0;
    const int elementDescent = m_element ? m_element->Descent() : 0;
    ascent = height - elementDescent + margins.Top;
    descent = elementDescent + margins.Bottom;
}

int TElementPortion::Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const {
    const int width = SlotWidth(m_element, Textor()->GetTextMargins());
    if (m_element) m_element->PaintTree(paint.Canvas, (paint.Flags & tpfInactive) ? pfInactive : 0);
    if (PieceFlags(paint, selected) & tpfSelected)
        paint.Canvas.DrawSelection(TRect{x, paint.Row.Top, x + width, paint.Row.Bottom}, !(paint.Flags & tpfInactive));
    return width;
}

void TElementPortion::PlaceOnRow(int x, int baseline) {
    if (!m_element) return;
    const int left = x + Textor()->GetTextMargins().Left;
    m_element->SetPosition(left, baseline - (m_element->Height() - m_element->Descent()));
}

void TElementPortion::MoveBy(int dy) {
    if (m_element) m_element->SetPosition(m_element->Left(), m_element->Top() + dy);
}

// ---------------------------------------------------------------------------
// Paragraphs

TRow* TParagraph::AppendRow(TRowPtr row) {
    m_rows.push_back(std::move(row));
    return m_rows.back().get();
}

void TParagraph::MoveBy(int dy) {
    for (const TRowPtr& row : m_rows) row->MoveBy(dy);
    for (TPortion* portion = m_firstPortion; portion; portion = portion->Next()) portion->MoveBy(dy);
}

// ---------------------------------------------------------------------------
// The textor

// Lays out the queued paragraphs, each once, in the order they were queued;
// paragraphs queued while it runs are laid out too. The order does not
// matter: a paragraph whose height changes moves nothing below it (the rows
// there add the shift when asked), and the paragraphs holding elements whose
// tops moved place them again at the end.
void TTextor::Relayout(bool textChanged) {
    const TFlagRaised running(m_relayoutRunning);
    const int availableWidth = GetAvailableWidth();
    const TRect margins = GetTextMargins();
    const TRect paddings = GetPaddings();
    const uint32_t pass = ++m_layoutPass;
    // A paragraph laid out stays in the queue until its layout is done, so
    // that its link to the next one follows what its layout queued or freed.
    for (TParagraph* paragraph = m_firstQueued; paragraph;) {
        if (paragraph->m_layoutPass == pass) {  // laid out and changed since: for the next re-layout
            paragraph = paragraph->m_nextQueued;
            continue;
        }
        paragraph->m_layoutPass = pass;
        PlaceAtTop(paragraph);
        LayoutParagraph(paragraph, availableWidth, margins, paddings);
        CountRows(paragraph, availableWidth);
        TParagraph* next = paragraph->m_nextQueued;
        if (paragraph->LayoutValid()) UnqueueLayout(paragraph);
        paragraph = next;
    }
    PlaceMovedElements();
}

// A paragraph without rows has placed nothing yet.
void TTextor::PlaceAtTop(TParagraph* paragraph) {
    const int top = m_places.TopOf(paragraph->Place());
    const int dy = top - paragraph->Place().RowsTop;
    paragraph->Place().RowsTop = top;
    if (dy != 0 && paragraph->FirstRow()) paragraph->MoveBy(dy);
}

void TTextor::CountRows(TParagraph* paragraph, int availableWidth) {
    const TRow* last = paragraph->LastRow();
    m_places.SetHeight(paragraph->Place(), last ? last->Bottom() - m_places.TopOf(paragraph->Place()) : 0);
    if (m_widths) CountWidth(paragraph, availableWidth);
}

void TTextor::CountWidth(TParagraph* paragraph, int availableWidth) const {
    if (!paragraph->LastRow()) {
        UncountWidth(paragraph);
        return;
    }
    const TIndents indents = IndentsOf(paragraph);
    int extent = INT_MIN;
    for (int i = 0; i < paragraph->RowCount(); ++i) {
        const TRow* row = paragraph->RowAt(i);
        extent = std::max(extent, RowLeft(row, indents, availableWidth) + row->Width() + indents.Right);
    }
    const int available = indents.Alignment != paLeft ? availableWidth : -1;
    if (paragraph->m_extentCounted && paragraph->m_extent == extent && paragraph->m_extentAvailable == available)
        return;
    UncountWidth(paragraph);
    ++m_widths->Extents[extent];
    if (available >= 0) ++m_widths->AlignedAt[available];
    paragraph->m_extent = extent;
    paragraph->m_extentAvailable = available;
    paragraph->m_extentCounted = true;
}

void TTextor::UncountWidth(TParagraph* paragraph) const noexcept {
    if (!std::exchange(paragraph->m_extentCounted, false) || !m_widths) return;
    auto drop = [](std::map<int, int>& counts, int key) {
        const auto found = counts.find(key);
        if (found != counts.end() && --found->second == 0) counts.erase(found);
    };
    drop(m_widths->Extents, paragraph->m_extent);
    if (paragraph->m_extentAvailable >= 0) drop(m_widths->AlignedAt, paragraph->m_extentAvailable);
}

void TTextor::RecountWidths() {
    m_widths->Extents.clear();
    m_widths->AlignedAt.clear();
    for (const TParagraph* p = m_firstParagraph; p; p = p->m_next) {
        if (!p->m_extentCounted) continue;
        ++m_widths->Extents[p->m_extent];
        if (p->m_extentAvailable >= 0) ++m_widths->AlignedAt[p->m_extentAvailable];
    }
}

void TTextor::PlaceMovedElements() {
    m_places.ForEachMovedWithElements([this](TParagraphPlace& place) {
        TParagraph* paragraph = TParagraph::Of(&place);
        if (paragraph->RowShift() != 0) PlaceAtTop(paragraph);
    });
}

void TTextor::LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                              const TRect& paddings) {
    if (!paragraph->LayoutValid() || !paragraph->FirstRow()) {
        TParagraphWrap(*this, paragraph, availableWidth).Run();
        PlaceElements(paragraph, availableWidth, QPoint(margins.Left + paddings.Left, margins.Top + paddings.Top));
    } else {
        // Only moved: the first row keeps the height it was built with.
        const TRow* first = paragraph->FirstRow();
        const int dy = PrevParagraphBottom(paragraph) + first->GetHeight() - first->Bottom();
        if (dy != 0) paragraph->MoveBy(dy);
    }
    paragraph->m_layoutValid = true;
}

// The first question about a text of more than a few paragraphs counts every
// paragraph's extent, and from then on each layout counts its paragraph's. The counts hold while every paragraph is
// laid out and those that depend on the available width were measured at the
// present one.
int TTextor::GetWidth() const {
    if (m_firstQueued || (!m_widths && ParagraphCount() <= kFewParagraphs)) return WalkWidth();
    const int availableWidth = GetAvailableWidth();
    if (!m_widths) {
        m_widths = std::make_unique<TWidthCounts>();
        for (TParagraph* p = m_firstParagraph; p; p = p->m_next) CountWidth(p, availableWidth);
    }
    const std::map<int, int>& aligned = m_widths->AlignedAt;
    if (!aligned.empty() && (aligned.size() > 1 || aligned.begin()->first != availableWidth)) return WalkWidth();
    const std::map<int, int>& extents = m_widths->Extents;
    return extents.empty() ? 0 : std::max(0, extents.rbegin()->first);
}

int TTextor::WalkWidth() const {
    const int availableWidth = GetAvailableWidth();
    int width = 0;
    for (const TParagraph* p = m_firstParagraph; p; p = p->Next()) {
        const TIndents indents = IndentsOf(p);
        for (int i = 0; i < p->RowCount(); ++i) {
            const TRow* row = p->RowAt(i);
            width = std::max(width, RowLeft(row, indents, availableWidth) + row->Width() + indents.Right);
        }
    }
    return width;
}

TRow* TTextor::FindRow(const TTextorPosition& position, bool atStartOfNextRow, TRow* hint) const {
    const TParagraph* paragraph = position.Paragraph;
    if (!paragraph || paragraph->RowCount() == 0) return nullptr;
    if (paragraph->RowCount() == 1) return paragraph->FirstRow();
    const int index = CharIndexInParagraph(position);
    // A position on a wrap boundary belongs to the upper row, or to the lower one when asked.
    auto holds = [&](const TRow* row) {
        if (index < row->StartIndex() || index > row->EndIndex()) return false;
        if (index == row->StartIndex() && row->GetPrevRow() && !atStartOfNextRow) return false;
        return !(index == row->EndIndex() && row->GetNextRow() && atStartOfNextRow);
    };
    if (hint && hint->GetParagraph() == paragraph && holds(hint)) return hint;
    int low = 0;
    int high = paragraph->RowCount() - 1;
    while (low < high) {  // the first row whose end is at or after index
        const int middle = (low + high) / 2;
        if (paragraph->RowAt(middle)->EndIndex() < index)
            low = middle + 1;
        else
            high = middle;
    }
    TRow* row = paragraph->RowAt(low);
    if (atStartOfNextRow && row->EndIndex() == index && row->GetNextRow()) row = row->GetNextRow();
    return row;
}

// The paragraph holding y is found among the paragraph tops, the row in it by bisection.
TRow* TTextor::FindRowAtY(int y, bool clamp) const {
    TRow* first = nullptr;
    for (const TParagraph* p = m_firstParagraph; p && !first; p = p->Next()) first = p->FirstRow();
    TRow* last = nullptr;
    for (const TParagraph* p = m_lastParagraph; p && !last; p = p->Prev()) last = p->LastRow();
    if (!first) return nullptr;
    if (y < 0) return clamp ? first : nullptr;
    if (y >= GetHeight()) return clamp ? last : nullptr;
    const TParagraph* paragraph = TParagraph::Of(m_places.AtY(y));
    if (!paragraph || paragraph->RowCount() == 0) return clamp ? last : nullptr;
    int low = 0;
    int high = paragraph->RowCount() - 1;
    while (low < high) {  // the first row whose bottom is below y
        const int middle = (low + high) / 2;
        if (paragraph->RowAt(middle)->Bottom() <= y)
            low = middle + 1;
        else
            high = middle;
    }
    return paragraph->RowAt(low);
}

bool TTextor::HitTest(QPoint point, bool round, TTextorPosition& position, const TTextorDrag* drag) const {
    const TRow* row = FindRowAtY(point.y(), true);
    if (!row) {
        position = GetStartPosition();
        return false;
    }
    const int dx = point.x() - RowLeft(row, IndentsOf(row->GetParagraph()), GetAvailableWidth());
    if (dx < 0) {
        position = row->GetStartPosition();
        return false;
    }
    position = row->GetEndPosition();
    if (dx > row->Width()) return false;
    bool hit = false;
    ForEachPiece(row, [&](TPortion* portion, int first, int count, int x) {
        const int index = portion->HitTest(x, first, count, TPortionHit{dx, round, drag}, -1);
        if (index < 0) return true;
        position = Normalize(TTextorPosition{portion->Paragraph(), portion, first + index});
        hit = true;
        return false;
    });
    return hit;
}

TRect TTextor::GetCaretRect(const TRow* row, const TTextorPosition& position, int caretWidth) const {
    int x = row->Width();
    ForEachPiece(row, [&](TPortion* portion, int first, int count, int pieceX) {
        if (portion != position.Portion || position.Offset < first || position.Offset > first + count) return true;
        x = pieceX;
        portion->Measure(x, first, position.Offset - first);
        return false;
    });
    const int left = RowLeft(row, IndentsOf(row->GetParagraph()), GetAvailableWidth()) + x - caretWidth / 2;
    return TRect{left, row->Top(), left + caretWidth, row->Bottom()};
}

TRect TTextor::GetRowRect(const TRow* row) const {
    const int left = RowLeft(row, IndentsOf(row->GetParagraph()), GetAvailableWidth());
    return TRect{left, row->Top(), left + row->Width(), row->Bottom()};
}

void TTextor::GetRowsOfRange(const TTextorRange& range, TRow*& first, TRow*& last) const {
    if (range.IsEmpty()) {
        first = last = FindRow(range.Start, false);
        return;
    }
    first = FindRow(range.Start, true);
    last = FindRow(range.End, false);
}

void TTextor::Paint(TSheetCanvas& canvas, int flags, const TTextorRange& selection, QPoint origin) {
    const TRect clip = canvas.GetPaintRect();
    TRow* row = FindRowAtY(clip.Top - origin.y(), true);
    if (!row) return;
    const TTextorNumericRange selected = selection.IsEmpty() ? kNothingSelected : RangeToNumeric(selection);
    const int availableWidth = GetAvailableWidth();
    const TParagraph* paragraph = nullptr;
    int paragraphIndex = row->GetParagraph()->Index();
    TIndents indents;
    TParagraphSelection inParagraph;
    for (; row && row->Top() + origin.y() < clip.Bottom; row = NextRowInText(row)) {
        if (row->GetParagraph() != paragraph) {
            if (paragraph) ++paragraphIndex;
            paragraph = row->GetParagraph();
            indents = IndentsOf(paragraph);
            inParagraph = SelectionIn(paragraphIndex, selected);
        }
        const int left = origin.x() + RowLeft(row, indents, availableWidth);
        const TRowPaint paint{canvas, flags, TRect{left, origin.y() + row->Top(), left + row->Width(),
                                                   origin.y() + row->Bottom()},
                              origin.y() + row->Baseline()};
        const int end = PaintPieces(paint, row, inParagraph);
        if (!row->GetNextRow()) PaintParagraphEnd(paint, paragraph, inParagraph, end);
    }
}

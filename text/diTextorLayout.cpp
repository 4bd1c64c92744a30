// Layout of a textor into rows: measuring, wrapping, hit testing, caret and
// row rectangles, and painting (the model is in diTextor.cpp).

#include "platform/plInput.h"
#include "scheme/diCanvas.h"
#include "text/diTextor.h"
#include "text/diTextorRows.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

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
// A row's first search, with nothing learnt, measures this much of the rest
// to guess how much fits.
constexpr int kDensitySample = 256;

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

struct TIndents {
    int Left = 0;
    int FirstLine = 0;
    int Right = 0;
    uint8_t Alignment = paLeft;
};

TIndents IndentsOf(const TParagraph* paragraph) {
    const TParagraphAttributes* attributes = paragraph->GetAttributes();
    if (!attributes) return {};
    // The text attributes (asked of the element and its settings) only where they count.
    const TTextAttributes* text = attributes->LayoutValuesUseText() ? paragraph->GetTextAttributes() : nullptr;
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
//
// A row depends only on where it starts: it is laid out from there at x 0,
// each piece of a portion measured from the row start or the portion start,
// and it ends at the best break before the first character that does not
// fit. After a row closes, the wrap goes on from the row's end, measuring
// again what it had measured of the row's tail. So after an edit the rows are
// made again from the first row whose break looked at a changed character,
// until a row ends where an old row that saw none of it starts: that row and
// those after it stay (moved, and their positions found again).

struct TRowMetrics {
    int Ascent = 0;
    int Descent = 0;
};

// What changed in a paragraph since its rows were made, from its portions'
// change notes: the characters from Start up to End, both as they are now.
struct TParagraphDamage {
    int Length = 0;  // the paragraph's length now
    bool Any = false;
    int Start = INT32_MAX;
    int End = 0;
};

// Reads the portions' change notes and forgets them.
TParagraphDamage TakeDamage(const TParagraph* paragraph) noexcept {
    TParagraphDamage damage;
    for (TPortion* p = paragraph->FirstPortion(); p; p = p->Next()) {
        const TPortion::TChange& change = p->Change();
        if (change.Changed()) {
            damage.Any = true;
            damage.Start = std::min(damage.Start, damage.Length + change.Head);
            damage.End = std::max(damage.End, damage.Length + p->Length() - change.Tail);
            p->ForgetChange();
        }
        damage.Length += p->Length();
    }
    return damage;
}

bool IsFollowRow(const TRow* row) noexcept { return dynamic_cast<const TWrappedParagraphFollowRow*>(row); }

class TParagraphWrap {
public:
    // The paragraph's rows stand from top down (its top among the textor's
    // places, which a paragraph laid out before one above it already has).
    TParagraphWrap(const TTextor& textor, TParagraph* paragraph, int top, int availableWidth)
        : m_textor(textor), m_paragraph(paragraph), m_top(top) {
        const TIndents indents = IndentsOf(paragraph);
        m_wrapping = availableWidth > 0;
        m_firstLimit = std::max(1, availableWidth - (indents.Left + indents.FirstLine + indents.Right));
        m_laterLimit = std::max(1, availableWidth - (indents.Left + indents.Right));
        AttributesMetrics(paragraph->GetTextAttributes(), m_paragraphMetrics.Ascent, m_paragraphMetrics.Descent);
    }

    bool Wraps() const noexcept { return m_wrapping; }
    // The paragraph's rows made by this wrap: [first, last).
    std::pair<int, int> MadeRows() const noexcept { return {m_firstMade, m_lastMade}; }

    // Makes every row.
    void Run() {
        m_paragraph->FreeRows();
        m_prevBottom = m_top;
        Wrap(m_paragraph->StartPosition(), 0);
    }

    // Makes the rows again after `damage`, the paragraph's rows being `old`
    // (taken out); answers false, leaving the paragraph without rows, when no
    // old row can stay. The rows before the first that saw the change stay,
    // moved with the paragraph's top.
    bool Rerun(std::vector<TRowPtr> old, const TParagraphDamage& damage) {
        size_t first = 0;
        while (first < old.size() && old[first]->Reach() < damage.Start) ++first;
        if (first == old.size() || (first > 0 && !dynamic_cast<TWrappedParagraphRow*>(old[first - 1].get())))
            return false;
        const int moved = m_top - old[0]->Top();
        for (size_t i = 0; i < first; ++i) {
            old[i]->MoveBy(moved);
            m_paragraph->AppendRow(std::move(old[i]));
        }
        const TRow* before = m_paragraph->LastRow();
        if (before && moved != 0) MoveContentBefore(before->EndIndex(), moved);
        m_lastWrapped = before ? static_cast<TWrappedParagraphRow*>(m_paragraph->LastRow()) : nullptr;
        m_prevBottom = before ? before->Bottom() : m_top;
        m_old = std::move(old);
        m_delta = damage.Length - m_paragraph->LaidOutLength();
        // Old rows that start past the change, in old indices, may stay.
        const int keptFrom = damage.End - m_delta;
        m_nextOld = first;
        while (m_nextOld < m_old.size() &&
               (m_old[m_nextOld]->StartIndex() < keptFrom || !IsFollowRow(m_old[m_nextOld].get())))
            ++m_nextOld;
        const int startIndex = before ? before->EndIndex() : 0;
        m_expectedEnd = m_old[first]->EndIndex();
        Wrap(TTextor::PositionAfter(m_paragraph->StartPosition(), startIndex), startIndex);
        return true;
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
        int EndX;    // x after it
        bool Fits;   // the rest of the portion fits the row
        int Reach;   // the characters from this paragraph index on played no part
    };
    // The rest of a portion from Start on, Start standing at SegmentX.
    struct TSearch {
        TPortion* Portion;
        int PortionStart;  // character index of the portion in the paragraph
        int Start = 0;
        int SegmentX = 0;
    };

    static TRowMetrics Larger(const TRowMetrics& a, const TRowMetrics& b) noexcept {
        return TRowMetrics{std::max(a.Ascent, b.Ascent), std::max(a.Descent, b.Descent)};
    }

    void Wrap(const TTextorPosition& start, int startIndex) {
        m_firstMade = m_paragraph->RowCount();
        StartRow(start, startIndex);
        TPortion* portion = start.Portion;
        int offset = start.Offset;
        int portionStart = startIndex - offset;
        while (portion) {
            if (WrapPortion(portion, portionStart, offset)) {
                portionStart += portion->Length();
                portion = portion->Next();
                offset = 0;
                continue;
            }
            if (m_stopped) return;
            portion = m_rowStart.Portion;
            offset = m_rowStart.Offset;
            portionStart = m_rowStartIndex - offset;
        }
        TRowPtr last = m_lastWrapped ? MakeRow<TWrappedParagraphLastRow>(m_lastWrapped, m_rowStart)
                                     : MakeRow<TWholeParagraphRow>(m_paragraph);
        last->SetMetrics(m_prevBottom, m_running.Ascent, m_running.Descent, m_x);
        last->SetIndices(m_rowStartIndex, portionStart);
        last->SetReach(portionStart + 1);
        Append(std::move(last), nullptr);
        m_lastMade = m_paragraph->RowCount();
    }

    void StartRow(TTextorPosition start, int startIndex) noexcept {
        m_rowStart = start;
        m_rowStartIndex = startIndex;
        m_x = 0;
        m_running = m_paragraphMetrics;
        Keep(start, startIndex, bgNone, 0);
        m_limit = startIndex == 0 ? m_firstLimit : m_laterLimit;
        m_reach = startIndex;
    }

    void Keep(const TTextorPosition& position, int index, int grade, int x) noexcept {
        m_kept.Position = position;
        m_kept.Index = index;
        m_kept.Grade = grade;
        m_kept.Metrics = m_running;
        m_kept.X = x;
    }

    // Places the portion's characters from offset on; answers false when a
    // row closed instead (the wrap goes on at the new row's start).
    bool WrapPortion(TPortion* portion, int portionStart, int offset) {
        if (portion != m_measured) {
            m_measured = portion;
            portion->GetAscentDescent(m_own.Ascent, m_own.Descent);
        }
        m_running = Larger(m_running, m_own);
        const int length = portion->Length();
        if (!m_wrapping) {
            portion->Measure(m_x, offset, length - offset);
            return true;
        }
        if (offset >= length) return true;
        const TSearch search{portion, portionStart, offset, m_x};
        const TBreak found = FindBreak(search);
        m_reach = std::max(m_reach, found.Reach);
        if (found.Fits) {
            m_x = found.EndX;
            if (portion->Next()) Consider(search, found);
            return true;
        }
        Consider(search, found);
        if (m_kept.Position.IsParagraphEnd()) {
            m_x = found.EndX;
            return true;
        }
        CloseRow();
        return false;
    }

    // A break of the kept grade or higher becomes the kept candidate.
    void Consider(const TSearch& search, const TBreak& found) {
        if (found.Grade < m_kept.Grade) return;
        Keep(TTextor::Normalize(TTextorPosition{m_paragraph, search.Portion, found.Index + 1}),
             search.PortionStart + found.Index + 1, found.Grade, found.EndX);
    }

    // The ends of prefixes of the rest of a portion after which the row may
    // end: after each break opportunity, and the portion's end. Each question
    // reads only the characters between the places it names.
    class TRowEnds {
    public:
        TRowEnds(const TParagraphWrap& wrap, const TSearch& search)
            : m_wrap(wrap),
              m_portion(search.Portion),
              m_chars(search.Portion->Kind() == TPortionKind::Text
                          ? static_cast<const TTextPortion*>(search.Portion)->Chars()
                          : nullptr),
              m_start(search.Start),
              m_length(search.Portion->Length()) {}

        int Length() const noexcept { return m_length; }
        // The count-th end after `from` and before `before`, else the last of
        // them; -1 when there is none.
        int After(int from, int count, int before) const {
            int found = -1;
            for (int end = from + 1; end < before && end <= m_length; ++end) {
                if (!IsEnd(end)) continue;
                found = end;
                if (--count == 0) break;
            }
            return found;
        }
        // The count-th end before `from`, else the first; -1 when there is none.
        int Before(int from, int count) const {
            int found = -1;
            for (int end = from - 1; end > m_start; --end) {
                if (!IsEnd(end)) continue;
                found = end;
                if (--count == 0) break;
            }
            return found;
        }
        // Of the ends between `after` and `before`, the last at or before `at`,
        // else the first past it; -1 when there is none.
        int Near(int at, int after, int before) const {
            for (int end = std::min(at, m_length); end > after; --end)
                if (IsEnd(end)) return end;
            for (int end = std::max(at, after) + 1; end < before && end <= m_length; ++end)
                if (IsEnd(end)) return end;
            return -1;
        }

    private:
        // Inside the portion a text's characters are read directly.
        bool IsEnd(int end) const {
            if (end == m_length) return true;
            if (!m_chars) return m_wrap.BreakAfter(m_portion, end - 1);
            const int code = m_chars[end - 1].unicode();
            const int following = m_chars[end].unicode();
            return !IsSurrogatePair(code, following) && m_wrap.m_textor.CanBreakBetween(code, following);
        }

        const TParagraphWrap& m_wrap;
        const TPortion* m_portion;
        const QChar* m_chars;
        int m_start;
        int m_length;
    };

    // The last row end whose prefix fits (the search start: none) with x after
    // it, and the next end, which does not fit (the portion length + 1 when
    // all fit); no end lies between them. Where no end fits, Over may be a
    // place before the next end that does not fit either.
    struct TEndsFit {
        int Fits = 0;
        int FitsX = 0;
        int Over = 0;
    };

    // Probes the end nearest the expected one, then the end nearest where the
    // row's own width so far says the limit lies, then ends one, two, four...
    // on (or back) until an end that fits and a later one that does not are
    // known, then halves the gap.
    TEndsFit FitEnds(const TSearch& search, const TRowEnds& ends) const {
        const int start = search.Start;
        const int length = ends.Length();
        TEndsFit fit{start, search.SegmentX, length + 1};
        int overX = 0;
        auto probe = [&](int end) {
            int x = search.SegmentX;
            search.Portion->Measure(x, start, end - start);
            if (x <= m_limit) {
                fit.Fits = end;
                fit.FitsX = x;
            } else {
                fit.Over = end;
                overX = x;
            }
        };
        // Where x would reach the limit, going on as from start to end, which is x wide.
        auto limitAsFrom = [&](int end, int x) {
            return start + WithDensity(end - start, x - search.SegmentX, m_limit - search.SegmentX);
        };
        int expected = ExpectedEnd(search);
        if (expected < 0) {  // nothing learnt yet: from a sample of the rest, all of it when short
            const int rest = length - start;
            const int sample = std::min(rest, kDensitySample);
            int x = search.SegmentX;
            search.Portion->Measure(x, start, sample);
            if (sample == rest) {
                if (x <= m_limit) return TEndsFit{length, x, length + 1};
                fit.Over = length;
            }
            expected = limitAsFrom(start + sample, x);
        }
        // Ends are looked for up to a horizon a few rows' worth on, moved
        // further only while the prefix up to it fits: the rest of a run
        // without break opportunities is neither read nor measured for every
        // row. A horizon that does not fit ends the first word there.
        int horizon = Horizon(start, expected, length);
        int first = ends.Near(expected, start, std::min(fit.Over, horizon + 1));
        while (first < 0 && horizon < std::min(length, fit.Over - 1)) {
            int x = search.SegmentX;
            search.Portion->Measure(x, start, horizon - start);
            if (x > m_limit) {
                fit.Over = horizon;
                return fit;
            }
            horizon = Horizon(start, horizon, length);
            first = ends.Near(expected, start, std::min(fit.Over, horizon + 1));
        }
        if (first < 0) return fit;
        probe(first);
        const int second = fit.Fits == first ? ends.Near(limitAsFrom(first, fit.FitsX), fit.Fits, fit.Over)
                                             : ends.Near(limitAsFrom(first, overX), start, fit.Over);
        if (second >= 0) probe(second);
        bool adjacent = false;  // no end lies between the two known ones
        for (int step = 1; fit.Fits < length && fit.Over > length; step *= 2) {
            probe(ends.After(fit.Fits, step, fit.Over));
            adjacent = step == 1;
        }
        for (int step = 1; fit.Fits == start && !adjacent; step *= 2) {
            const int end = ends.Before(fit.Over, step);
            adjacent = end < 0 || step == 1;
            if (end >= 0) probe(end);
        }
        for (int end = 0; !adjacent && end >= 0;) {
            end = ends.Near(fit.Fits + (fit.Over - fit.Fits) / 2, fit.Fits, fit.Over);
            if (end >= 0) probe(end);
        }
        return fit;
    }

    // A place twice as far from start as `at`, and a density sample more
    // (at most the portion's length).
    static int Horizon(int start, int at, int length) noexcept {
        const int64_t far = int64_t(start) + 2 * std::max<int64_t>(int64_t(at) - start, 1) + kDensitySample;
        return int(std::min<int64_t>(far, length));
    }

    // The best place in the rest of the portion to end the row, or the
    // portion's end when the rest fits: the last break opportunity whose
    // prefix fits, else a place inside the first word.
    TBreak FindBreak(const TSearch& search) {
        const TPortion* portion = search.Portion;
        const int length = portion->Length();
        const TRowEnds ends(*this, search);
        const TEndsFit fit = FitEnds(search, ends);
        if (fit.Fits == search.Start) return BreakInWord(search, fit.Over);
        if (fit.Fits == length)
            return TBreak{length - 1, BreakAfter(portion, length - 1) ? bgOpportunity : bgAnywhere, fit.FitsX, true,
                          search.PortionStart + length + 1};
        Learn(fit.Fits - search.Start, m_limit - search.SegmentX);
        // The break and the next end, which does not fit, decide.
        return TBreak{fit.Fits - 1, bgOpportunity, fit.FitsX, false, search.PortionStart + fit.Over + 1};
    }

    // Not even the first word of the rest (up to wordEnd) fits: the row ends
    // after its last character that fits, or after its first.
    TBreak BreakInWord(const TSearch& search, int wordEnd) {
        const TPortion* portion = search.Portion;
        const int start = search.Start;
        int x = search.SegmentX;
        int fit = portion->HitTest(x, start, wordEnd - start, TPortionHit{m_limit, false, nullptr, Guess(search)});
        if (fit < 0) {  // widths that shrink as the prefix grows
            fit = wordEnd - start - 1;
            x = fit > 0 ? XAfter(search, start + fit - 1) : search.SegmentX;
        }
        if (portion->Kind() == TPortionKind::Text) Learn(fit, m_limit - search.SegmentX);
        // The first character that does not fit and the one after it decide.
        const int reach = search.PortionStart + start + fit + 2;
        if (fit > 0) return TBreak{start + fit - 1, bgAnywhere, x, false, reach};  // the hit test left x there
        const bool pair =
            start + 1 < portion->Length() && IsSurrogatePair(portion->CharAt(start), portion->CharAt(start + 1));
        const int index = pair ? start + 1 : start;
        return TBreak{index, bgForced, XAfter(search, index), false, reach};
    }

    static int XAfter(const TSearch& search, int index) {
        int x = search.SegmentX;
        search.Portion->Measure(x, search.Start, index + 1 - search.Start);
        return x;
    }

    // The end a search probes first: the end of the old row this row replaces,
    // else as many characters on as fitted per pixel last time; -1 when
    // nothing was learnt.
    int ExpectedEnd(const TSearch& search) const noexcept {
        if (m_expectedEnd > search.PortionStart + search.Start) return m_expectedEnd - search.PortionStart;
        return m_guessPixels > 0 ? search.Start + std::max(1, Guess(search)) : -1;
    }

    // How many characters fit in `pixels` when `units` are `width` wide.
    static int WithDensity(int units, int width, int pixels) noexcept {
        if (width <= 0) return units;
        return int(std::clamp<int64_t>(int64_t(units) * std::max(0, pixels) / width, 1, INT32_MAX));
    }

    // How many characters of the search are likely to fit: as many per pixel
    // as fitted last time.
    int Guess(const TSearch& search) const noexcept {
        return m_guessPixels > 0 ? WithDensity(m_guessUnits, m_guessPixels, m_limit - search.SegmentX) : 0;
    }
    void Learn(int units, int pixels) noexcept {
        if (units <= 0 || pixels <= 0) return;
        m_guessUnits = units;
        m_guessPixels = pixels;
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

    // Ends the row at the kept candidate; the next row starts there.
    void CloseRow() {
        TRowPtr row = m_lastWrapped ? MakeRow<TWrappedParagraphInnerRow>(m_lastWrapped, m_rowStart, m_kept.Position)
                                    : MakeRow<TWrappedParagraphFirstRow>(m_kept.Position);
        row->SetMetrics(m_prevBottom, m_kept.Metrics.Ascent, m_kept.Metrics.Descent, m_kept.X);
        row->SetIndices(m_rowStartIndex, m_kept.Index);
        row->SetReach(m_reach);
        m_prevBottom = row->Bottom();
        auto* wrapped = static_cast<TWrappedParagraphRow*>(row.get());
        Append(std::move(row), wrapped);
        const TTextorPosition next = m_kept.Position;
        const int nextIndex = m_kept.Index;
        StartRow(next, nextIndex);
        m_expectedEnd = -1;
        m_lastMade = m_paragraph->RowCount();
        m_stopped = KeepOldRows(next, nextIndex);
    }

    // When an old row past the change starts where the new row ended, it and
    // the rows after it stay: moved to stand below the new row, their indices
    // and positions found again in the portions as they are.
    bool KeepOldRows(const TTextorPosition& at, int index) {
        while (m_nextOld < m_old.size() && m_old[m_nextOld]->StartIndex() + m_delta < index) ++m_nextOld;
        if (m_nextOld == m_old.size() || m_old[m_nextOld]->StartIndex() + m_delta != index) return false;
        const int dy = m_prevBottom - m_old[m_nextOld]->Top();
        if (dy != 0)
            for (TPortion* p = at.Portion; p; p = p->Next()) p->MoveBy(dy);
        TTextorPosition start = at;
        for (size_t i = m_nextOld; i < m_old.size(); ++i) {
            auto* row = static_cast<TWrappedParagraphFollowRow*>(m_old[i].get());
            if (m_delta != 0) row->ShiftIndices(m_delta);
            if (dy != 0) row->MoveBy(dy);
            const TTextorPosition end = TTextor::PositionAfter(start, row->EndIndex() - row->StartIndex());
            row->Rebase(m_lastWrapped, start, end);
            Append(std::move(m_old[i]), row);
            start = end;
        }
        return true;
    }

    // Moves the content of the portions before character `index` (their elements).
    void MoveContentBefore(int index, int dy) {
        for (TPortion* p = m_paragraph->FirstPortion(); p && index > 0; p = p->Next()) {
            p->MoveBy(dy);
            index -= p->Length();
        }
    }

    void Append(TRowPtr row, TWrappedParagraphRow* wrapped) {
        if (m_lastWrapped) m_lastWrapped->SetNextRow(row.get());
        m_lastWrapped = wrapped;
        m_paragraph->AppendRow(std::move(row));
    }

    const TTextor& m_textor;
    TParagraph* m_paragraph;
    int m_top;
    bool m_wrapping = false;
    int m_firstLimit = 1;
    int m_laterLimit = 1;
    TRowMetrics m_paragraphMetrics;
    // The row being made.
    int m_limit = 1;
    TRowMetrics m_running;
    int m_x = 0;
    TCandidate m_kept;
    TTextorPosition m_rowStart;
    int m_rowStartIndex = 0;
    int m_reach = 0;
    int m_prevBottom = 0;
    TWrappedParagraphRow* m_lastWrapped = nullptr;
    // The portion last placed and its metrics.
    const TPortion* m_measured = nullptr;
    TRowMetrics m_own;
    // Where searches start: the end of the old row being made again, and the
    // characters per pixel of the last search that ended in the row.
    int m_expectedEnd = -1;
    int m_guessUnits = 0;
    int m_guessPixels = 0;
    // A re-wrap: the old rows, the next that might stay, the change of length.
    std::vector<TRowPtr> m_old;
    size_t m_nextOld = 0;
    int m_delta = 0;
    bool m_stopped = false;
    int m_firstMade = 0;
    int m_lastMade = 0;
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

// Places the elements of a paragraph on its rows [rows.first, rows.second),
// the text standing at origin.
void PlaceElements(const TParagraph* paragraph, int availableWidth, QPoint origin, std::pair<int, int> rows) {
    bool hasElement = false;
    for (TPortion* p = paragraph->FirstPortion(); p && !hasElement; p = p->Next())
        hasElement = p->Kind() == TPortionKind::Element;
    if (!hasElement) return;
    const TIndents indents = IndentsOf(paragraph);
    for (int i = rows.first; i < rows.second; ++i) {
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

// The most of the first count characters that are at most target wide, and
// their width.
struct TPrefixFit {
    int Count = 0;
    int Width = 0;
};

// Searches out from the guess in steps that double until a prefix that fits
// and a longer one that does not are known, then halves the gap: measurements
// logarithmic in the distance from the guess. Prefix widths are taken never
// to shrink as the prefix grows; target is 0 or more.
template <class WidthOf>
TPrefixFit FitPrefix(WidthOf widthOf, int count, int target, int guess) {
    TPrefixFit fits;
    int over = count + 1;  // a prefix length known not to fit (count + 1: none yet)
    const int probe = std::clamp(guess, 1, count);
    if (const int width = widthOf(probe); width <= target) {
        fits = TPrefixFit{probe, width};
        for (int step = 1; fits.Count < count; step *= 2) {
            const int next = std::min(count, fits.Count + step);
            const int nextWidth = widthOf(next);
            if (nextWidth > target) {
                over = next;
                break;
            }
            fits = TPrefixFit{next, nextWidth};
        }
        if (fits.Count == count) return fits;
    } else {
        over = probe;
        for (int step = 1; over > 1; step *= 2) {
            const int next = std::max(0, over - step);
            if (next == 0) break;
            const int nextWidth = widthOf(next);
            if (nextWidth <= target) {
                fits = TPrefixFit{next, nextWidth};
                break;
            }
            over = next;
        }
    }
    while (over - fits.Count > 1) {
        const int middle = fits.Count + (over - fits.Count) / 2;
        const int width = widthOf(middle);
        if (width <= target)
            fits = TPrefixFit{middle, width};
        else
            over = middle;
    }
    return fits;
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

int TTextPortion::HitTest(int& x, int first, int count, const TPortionHit& hit) const {
    if (count <= 0) return -1;
    const TTextAttributes* attributes = GetAttributes();
    const QChar* chars = Chars() + first;
    auto widthOf = [&](int n) { return LayoutTextWidth(attributes, chars, n); };
    const int target = hit.Target - x;
    int k = 0;
    int kx = 0;
    if (target >= 0) {
        const TPrefixFit fit = FitPrefix(widthOf, count, target, hit.Guess);
        if (fit.Count == count) {
            x += fit.Width;
            return -1;
        }
        k = fit.Count;
        kx = fit.Width;
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

int TTabStopsPortion::HitTest(int& x, int first, int count, const TPortionHit& hit) const {
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

int TElementPortion::HitTest(int& x, int first, int count, const TPortionHit& hit) const {
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

void TParagraph::HandRowsTo(TParagraph* to, int from, int shift, TPortion* firstMoved) {
    const auto handed = std::find_if(m_rows.begin(), m_rows.end(),
                                     [from](const TRowPtr& row) { return row->StartIndex() >= from; });
    const int base = to->m_rows.empty() ? 0 : to->m_laidOutLength;
    // The rows' stored coordinates (and the elements with them): from this
    // paragraph's layout-time top to `to`'s.
    const int rebase = RowShift() - to->RowShift();
    for (auto row = handed; row != m_rows.end(); ++row) {
        (*row)->ShiftIndices(shift);
        (*row)->MoveBy(rebase);
        (*row)->HandTo(to);
        to->m_rows.push_back(std::move(*row));
    }
    m_rows.erase(handed, m_rows.end());
    ++m_textor->m_rowsGeneration;
    to->m_laidOutLength = base + m_laidOutLength - from;
    // The elements of the moved portions stand where the rows' stored coordinates put them.
    for (TPortion* p = firstMoved; p; p = p->Next()) {
        p->ForgetChange();
        if (rebase != 0) p->MoveBy(rebase);
    }
    firstMoved->NoteChangedAtStart();
    if (TPortion* before = firstMoved->Prev()) before->NoteChangedAtEnd();
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
    const int heightBefore = GetHeight();
    TRelayoutBand band{false, INT_MAX, INT_MIN, INT_MAX, INT_MIN};
    // A paragraph laid out stays in the queue until its layout is done, so
    // that its link to the next one follows what its layout queued or freed.
    for (TParagraph* paragraph = m_firstQueued; paragraph;) {
        if (paragraph->m_layoutPass == pass) {  // laid out and changed since: for the next re-layout
            paragraph = paragraph->m_nextQueued;
            continue;
        }
        paragraph->m_layoutPass = pass;
        const int paragraphHeightBefore = paragraph->Place().Height;
        PlaceAtTop(paragraph);
        LayoutParagraph(paragraph, availableWidth, margins, paddings);
        CountRows(paragraph, availableWidth);
        AddToBand(band, *paragraph, paragraphHeightBefore);
        TParagraph* next = paragraph->m_nextQueued;
        if (paragraph->LayoutValid()) UnqueueLayout(paragraph);
        paragraph = next;
    }
    PlaceMovedElements();
    if (band.Top > band.Bottom || GetHeight() != heightBefore) band.Whole = true;
    m_lastRelayoutBand = band;
}

void TTextor::AddToBand(TRelayoutBand& band, TParagraph& paragraph, int heightBefore) const noexcept {
    const int top = m_places.TopOf(paragraph.Place());
    const int height = paragraph.Place().Height;
    if (height != heightBefore) band.Whole = true;
    band.Top = std::min(band.Top, top);
    band.Bottom = std::max(band.Bottom, top + height);
    for (const TPortion* p = paragraph.FirstPortion(); p; p = p->Next())
        if (p->Kind() != TPortionKind::Element) {
            band.TextTop = std::min(band.TextTop, top);
            band.TextBottom = std::max(band.TextBottom, top + height);
            break;
        }
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

// A paragraph whose characters changed keeps the rows that saw none of the
// change; one whose metrics, indents or width changed is wrapped anew.
void TTextor::LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                              const TRect& paddings) {
    const int top = m_places.TopOf(paragraph->Place());
    if (!paragraph->LayoutValid() || !paragraph->FirstRow()) {
        const TParagraphDamage damage = TakeDamage(paragraph);
        TParagraphWrap wrap(*this, paragraph, top, availableWidth);
        bool rewrapped = false;
        if (wrap.Wraps() && damage.Any && paragraph->FirstRow() && !paragraph->m_relayoutWhole)
            rewrapped = wrap.Rerun(paragraph->TakeRows(), damage);
        if (!rewrapped) wrap.Run();
        PlaceElements(paragraph, availableWidth, QPoint(margins.Left + paddings.Left, margins.Top + paddings.Top),
                      wrap.MadeRows());
        paragraph->m_laidOutLength = damage.Length;
        paragraph->m_relayoutWhole = false;
    } else {
        // Only moved: the first row keeps the height it was built with.
        const TRow* first = paragraph->FirstRow();
        const int dy = top + first->GetHeight() - first->Bottom();
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

// The available width (which asks the rooms of the ancestors) is found only
// for a paragraph aligned right or centred: no other row's place depends on it.
int TTextor::WalkWidth() const {
    std::optional<int> available;
    int width = 0;
    for (const TParagraph* p = m_firstParagraph; p; p = p->Next()) {
        const TIndents indents = IndentsOf(p);
        const bool aligned = indents.Alignment == paRight || indents.Alignment == paCentre;
        if (aligned && !available) available = GetAvailableWidth();
        const int availableWidth = aligned ? *available : 0;
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
        const int index = portion->HitTest(x, first, count, TPortionHit{dx, round, drag});
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
    // Asked only by rows aligned right or centred: the question goes up the owners.
    std::optional<int> availableWidth;
    auto rowLeft = [&](const TRow* r, const TIndents& in) {
        if (in.Alignment != paRight && in.Alignment != paCentre) return RowLeft(r, in, 0);
        if (!availableWidth) availableWidth = GetAvailableWidth();
        return RowLeft(r, in, *availableWidth);
    };
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
        const int left = origin.x() + rowLeft(row, indents);
        const TRowPaint paint{canvas, flags, TRect{left, origin.y() + row->Top(), left + row->Width(),
                                                   origin.y() + row->Bottom()},
                              origin.y() + row->Baseline()};
        const int end = PaintPieces(paint, row, inParagraph);
        if (!row->GetNextRow()) PaintParagraphEnd(paint, paragraph, inParagraph, end);
    }
}

#include "text/diTextorRows.h"

void TRow::SetMetrics(int top, int ascent, int descent, int width) noexcept {
    m_descent = descent;
    m_height = ascent + descent;
    m_bottom = top + m_height;
    m_width = width;
}

void TRow::SetIndices(int start, int end) noexcept {
    m_startIndex = start;
    m_endIndex = end;
}

void TRow::ShiftIndices(int shift) noexcept {
    m_startIndex += shift;
    m_endIndex += shift;
    m_reach += shift;
}

TTextorPosition TRow::GetStartPosition() const noexcept { return GetParagraph()->StartPosition(); }

TTextorPosition TRow::GetEndPosition() const noexcept { return GetParagraph()->EndPosition(); }

void FreeRow(TRow* row) noexcept { delete row; }

TRow* NextRowInText(const TRow* row) noexcept {
    if (TRow* next = row->GetNextRow()) return next;
    for (TParagraph* p = row->GetParagraph()->Next(); p; p = p->Next())
        if (TRow* first = p->FirstRow()) return first;
    return nullptr;
}

TRow* PrevRowInText(const TRow* row) noexcept {
    if (TRow* prev = row->GetPrevRow()) return prev;
    for (TParagraph* p = row->GetParagraph()->Prev(); p; p = p->Prev())
        if (TRow* last = p->LastRow()) return last;
    return nullptr;
}

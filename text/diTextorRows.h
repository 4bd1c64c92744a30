#pragma once
// The rows of a laid-out paragraph. A paragraph that did not wrap has one
// whole-paragraph row; a wrapped one a first row, inner rows and a last row,
// each knowing where it starts and ends. The paragraph owns its rows (in
// order); the links between them are not owning. Rows are made and freed in
// bulk by every layout: they are carved from fixed-size blocks.
//
// y values are textor coordinates, 0 at the top of the first row. A row
// stores them as they were when its paragraph was laid out and adds what its
// paragraph has moved since (TParagraph::RowShift), so that a change of
// height above a paragraph moves none of its rows. Besides its positions a
// row keeps their character indices in the paragraph, so that a position's
// row is found by bisection, the height it was built with, so that a
// paragraph that only moves keeps it, and how far its break looked (its
// reach), so that after an edit the rows that saw nothing of it stay.

#include "text/diTextor.h"

class TRow {
public:
    virtual ~TRow() = default;
    TRow(const TRow&) = delete;
    TRow& operator=(const TRow&) = delete;

    int Descent() const noexcept { return m_descent; }
    int Bottom() const noexcept { return m_bottom + GetParagraph()->RowShift(); }
    // The sum of the measured widths of the row's content.
    int Width() const noexcept { return m_width; }
    // Bottom minus the bottom of the row before it (0 above the text).
    int GetHeight() const noexcept { return m_height; }
    int Top() const noexcept { return Bottom() - m_height; }
    int Baseline() const noexcept { return Bottom() - m_descent; }
    // Character indices in the paragraph of the start and end positions.
    int StartIndex() const noexcept { return m_startIndex; }
    int EndIndex() const noexcept { return m_endIndex; }
    bool IsEmpty() const noexcept { return m_startIndex == m_endIndex; }
    // The characters from this index on played no part in where the row ends.
    int Reach() const noexcept { return m_reach; }

    // Sets the metrics: the row stands on top (the previous bottom) with the
    // given ascent and descent. Only while its paragraph is laid out, when the
    // paragraph's rows have not moved since (RowShift is 0).
    void SetMetrics(int top, int ascent, int descent, int width) noexcept;
    void SetIndices(int start, int end) noexcept;
    void SetReach(int reach) noexcept { m_reach = reach; }
    // Moves the indices and the reach (the row kept while text before it changed).
    void ShiftIndices(int shift) noexcept;
    // Moves the stored coordinates.
    void MoveBy(int dy) noexcept { m_bottom += dy; }

    virtual TRow* GetNextRow() const noexcept { return nullptr; }
    virtual TRow* GetPrevRow() const noexcept { return nullptr; }
    virtual TParagraph* GetParagraph() const noexcept = 0;
    // The row goes with its portions to paragraph (a split or join): it
    // belongs there, and adds that paragraph's shift, before a re-wrap finds
    // its positions again.
    virtual void HandTo(TParagraph* paragraph) noexcept = 0;
    // The paragraph start in the base.
    virtual TTextorPosition GetStartPosition() const noexcept;
    // The paragraph end in the base.
    virtual TTextorPosition GetEndPosition() const noexcept;

protected:
    TRow() = default;

private:
    int m_descent = 0;
    int m_bottom = 0;
    int m_width = 0;
    int m_height = 0;
    int m_startIndex = 0;
    int m_endIndex = 0;
    int m_reach = 0;
};

// Frees a row (the deleter of TRowPtr).
void FreeRow(TRow* row) noexcept;

template <class R, class... Args>
TRowPtr MakeRow(Args&&... args) {
    return TRowPtr(new R(std::forward<Args>(args)...), &FreeRow);
}

// The only row of a paragraph that did not wrap.
class TWholeParagraphRow final : public TRow, public TBlockAllocated<TWholeParagraphRow> {
public:
    explicit TWholeParagraphRow(TParagraph* paragraph) noexcept : m_paragraph(paragraph) {}
    TParagraph* GetParagraph() const noexcept override { return m_paragraph; }
    void HandTo(TParagraph* paragraph) noexcept override { m_paragraph = paragraph; }

private:
    TParagraph* m_paragraph;
};

// A row of a wrapped paragraph.
class TWrappedParagraphRow : public TRow {
public:
    // Links the row that follows (rows that have a successor keep it).
    virtual void SetNextRow(TRow* next) noexcept {}
};

// The first row of a wrapped paragraph: from the paragraph start to its end position.
class TWrappedParagraphFirstRow final : public TWrappedParagraphRow,
                                        public TBlockAllocated<TWrappedParagraphFirstRow> {
public:
    explicit TWrappedParagraphFirstRow(const TTextorPosition& end) noexcept : m_end(end) {}
    TRow* GetNextRow() const noexcept override { return m_next; }
    TParagraph* GetParagraph() const noexcept override { return m_end.Paragraph; }
    void HandTo(TParagraph* paragraph) noexcept override { m_end.Paragraph = paragraph; }
    TTextorPosition GetEndPosition() const noexcept override { return m_end; }
    void SetNextRow(TRow* next) noexcept override { m_next = next; }

private:
    TRow* m_next = nullptr;
    TTextorPosition m_end;
};

// A later row of a wrapped paragraph: from its start position on.
class TWrappedParagraphFollowRow : public TWrappedParagraphRow {
public:
    TRow* GetPrevRow() const noexcept override { return m_prev; }
    TParagraph* GetParagraph() const noexcept override { return m_start.Paragraph; }
    void HandTo(TParagraph* paragraph) noexcept override { m_start.Paragraph = paragraph; }
    TTextorPosition GetStartPosition() const noexcept override { return m_start; }
    // The row kept by a re-wrap: the row now before it and its positions in
    // the portions as they are (the end is the paragraph end for the last row).
    virtual void Rebase(TRow* prev, const TTextorPosition& start, const TTextorPosition& end) noexcept {
        m_prev = prev;
        m_start = start;
    }

protected:
    TWrappedParagraphFollowRow(TRow* prev, const TTextorPosition& start) noexcept : m_prev(prev), m_start(start) {}

private:
    TRow* m_prev;
    TTextorPosition m_start;
};

class TWrappedParagraphInnerRow final : public TWrappedParagraphFollowRow,
                                        public TBlockAllocated<TWrappedParagraphInnerRow> {
public:
    TWrappedParagraphInnerRow(TRow* prev, const TTextorPosition& start, const TTextorPosition& end) noexcept
        : TWrappedParagraphFollowRow(prev, start), m_end(end) {}
    TRow* GetNextRow() const noexcept override { return m_next; }
    TTextorPosition GetEndPosition() const noexcept override { return m_end; }
    void SetNextRow(TRow* next) noexcept override { m_next = next; }
    void Rebase(TRow* prev, const TTextorPosition& start, const TTextorPosition& end) noexcept override {
        TWrappedParagraphFollowRow::Rebase(prev, start, end);
        m_end = end;
    }

private:
    TRow* m_next = nullptr;
    TTextorPosition m_end;
};

// The last row of a wrapped paragraph: it ends at the paragraph end.
class TWrappedParagraphLastRow final : public TWrappedParagraphFollowRow,
                                       public TBlockAllocated<TWrappedParagraphLastRow> {
public:
    TWrappedParagraphLastRow(TRow* prev, const TTextorPosition& start) noexcept
        : TWrappedParagraphFollowRow(prev, start) {}
};

// The row after `row` in the text (into the following paragraphs), or none.
TRow* NextRowInText(const TRow* row) noexcept;
// The row before `row` in the text, or none.
TRow* PrevRowInText(const TRow* row) noexcept;

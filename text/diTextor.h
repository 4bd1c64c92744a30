#pragma once
// The rich-text model (TTextor) and its layout into rows.
//
// A textor is a chain of paragraphs; a paragraph is a chain of portions (runs
// sharing one text-attributes object): ordinary characters, a stretch of tab
// characters, or exactly one embedded visual element. Positions and lengths
// are UTF-16 code units. Every edit runs inside an update bracket, so that a
// batch of edits gives one change notice and at most one re-layout.
//
// The model is implemented in diTextor.cpp; layout, measuring, hit testing
// and painting in diTextorLayout.cpp. The rows are declared in diTextorRows.h.
//
// Ownership: a textor owns its paragraphs and a paragraph its portions
// (intrusive chains linked through TBidirectionalList; the chain pointers are
// the owning links) and its rows (TRowPtr). An element portion frees its
// element. A fresh textor's empty paragraph is laid out by the first
// re-layout: the end of the first bracket, or the unlock of a locked textor.
// Paragraphs, portions and rows are carved from fixed-size blocks
// (TBlockAllocated): SetText frees a whole text and makes another.
//
// An edit costs what its paragraphs cost: paragraph numbers and tops are kept
// in chunks with prefix sums (TParagraphPlaces), a re-layout lays out only the
// paragraphs whose layout is invalid (a queue), rows add what their paragraph
// moved since it was laid out (a change of height moves nothing below it but
// the embedded elements), the text's width is kept as a count of paragraph
// widths and the character classes per paragraph (TTextCensus), both from the
// first question on.

#include "core/cuBlockPool.h"
#include "core/cuTypes.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diVisual.h"
#include "text/diTextCensus.h"
#include "text/diTextorPlaces.h"

#include <QPoint>
#include <QString>

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TTextor;
class TParagraph;
class TPortion;
class TRow;
class TSheetCanvas;

using TTextAttributesRef = TAttributesRef<TTextAttributes>;
// A row, owned by its paragraph (the deleter lets TRow stay incomplete here).
using TRowPtr = std::unique_ptr<TRow, void (*)(TRow*)>;
using TParagraphAttributesRef = TAttributesRef<TParagraphAttributes>;

// The shared instance held by `ref` as its base class (the same object).
template <class T>
TTextAttributesRef AsTextAttributes(const TAttributesRef<T>& ref) {
    return ref ? AcquireSharedAs<TTextAttributes>(*ref) : TTextAttributesRef();
}
template <class T>
TParagraphAttributesRef AsParagraphAttributes(const TAttributesRef<T>& ref) {
    return ref ? AcquireSharedAs<TParagraphAttributes>(*ref) : TParagraphAttributesRef();
}

// Character codes the model answers besides UTF-16 code units.
enum : int { tcElement = -1, tcTab = 9, tcLineFeed = 10, tcReturn = 13, tcSpace = 32 };

// ---------------------------------------------------------------------------
// Positions and ranges

// (paragraph, portion, offset in the portion). The end of a paragraph is
// (paragraph, no portion, 0). A normalised position never has offset equal to
// its portion's length.
struct TTextorPosition {
    TParagraph* Paragraph = nullptr;
    TPortion* Portion = nullptr;
    int Offset = 0;

    bool IsParagraphEnd() const noexcept { return !Portion; }
    friend bool operator==(const TTextorPosition&, const TTextorPosition&) = default;
};

inline bool SamePosition(const TTextorPosition& a, const TTextorPosition& b) noexcept { return a == b; }

struct TTextorRange {
    TTextorPosition Start;
    TTextorPosition End;

    bool IsEmpty() const noexcept { return Start == End; }
    friend bool operator==(const TTextorRange&, const TTextorRange&) = default;
};

inline TTextorRange MakeRange(const TTextorPosition& start, const TTextorPosition& end) noexcept {
    return TTextorRange{start, end};
}
inline bool IsEmptyRange(const TTextorRange& range) noexcept { return range.IsEmpty(); }

// (paragraph index, character index in the paragraph), both from 0; they
// survive a rebuild of the portions (undo records and selections keep them).
struct TTextorNumericPosition {
    int Paragraph = 0;
    int Char = 0;
    friend bool operator==(const TTextorNumericPosition&, const TTextorNumericPosition&) = default;
};

struct TTextorNumericRange {
    TTextorNumericPosition Start;
    TTextorNumericPosition End;
    friend bool operator==(const TTextorNumericRange&, const TTextorNumericRange&) = default;
};

// ---------------------------------------------------------------------------
// Portions

enum class TPortionKind : uint8_t { Text, TabStops, Element };

// What a hit test of an element needs of a drag: where the button went down
// and where the pointer is now (layout).
struct TTextorDrag {
    QPoint Press;
    QPoint Current;
};

// A hit test of a portion's characters (layout): the target x, whether the
// nearer character edge is answered, the drag, if any, and how many
// characters are likely to lie before the target (0: no guess). The guess
// only decides where the search starts, never its answer.
struct TPortionHit {
    int Target = 0;
    bool Round = false;
    const TTextorDrag* Drag = nullptr;
    int Guess = 0;
};

// What painting a piece of a row needs (layout): the canvas, the paint flags
// of the textor, the row rectangle and its baseline, both moved to the origin.
struct TRowPaint {
    TSheetCanvas& Canvas;
    int Flags;
    TRect Row;
    int Baseline;
};

// A run of a paragraph. Made by the Create factories of its kinds, which link
// it into its paragraph; freed by Free, which unlinks it.
class TPortion {
public:
    virtual ~TPortion();
    TPortion(const TPortion&) = delete;
    TPortion& operator=(const TPortion&) = delete;

    // Unlinks the portion (its paragraph is marked changed) and deletes it.
    void Free();

    // What changed since the paragraph's rows were made (a portion is made
    // changed throughout): the characters from Head on, up to Tail characters
    // before the end, count as changed; where that span is empty, the
    // boundary there changed (a split, a join, a neighbour gone).
    struct TChange {
        int Head = 0;  // -1: nothing changed
        int Tail = 0;
        bool Changed() const noexcept { return Head >= 0; }
    };
    const TChange& Change() const noexcept { return m_change; }
    // After a layout: the rows are made of the portion as it is.
    void ForgetChange() noexcept { m_change.Head = -1; }

    TParagraph* Paragraph() const noexcept { return m_paragraph; }
    TTextor* Textor() const noexcept;
    int Length() const noexcept { return m_length; }
    TPortion* Next() const noexcept { return m_next; }
    TPortion* Prev() const noexcept { return m_prev; }
    // The next portion, continuing into the following paragraphs.
    TPortion* GetNextPortion() const noexcept;

    // The portion's own attributes (may be none).
    TTextAttributes* Attributes() const noexcept { return m_attributes.get(); }
    const TTextAttributesRef& AttributesRef() const noexcept { return m_attributes; }
    // The own attributes, else the textor's default text attributes.
    TTextAttributes* GetAttributes() const noexcept;
    // A change of the attributes object invalidates the paragraph's layout.
    void SetAttributes(const TTextAttributesRef& attributes);

    virtual TPortionKind Kind() const noexcept = 0;

    // ---- model ----
    // Whether the portion takes part in attribute runs (false for an element).
    virtual bool HasAttributes() const noexcept { return true; }
    virtual void DeleteChars(int offset, int count) {}
    // Splits at offset (0 < offset < length): a new portion of the same kind
    // and attributes after this one takes the characters from offset on.
    virtual TPortion* SplitTo(int offset) { return nullptr; }
    // Takes the characters of `next` (same kind) at the end; the caller frees next.
    virtual void Absorb(const TPortion& next) {}
    // The character code at offset: a code unit, tcTab, or tcElement.
    virtual int CharAt(int offset) const noexcept { return 0; }
    virtual void InsertChars(int offset, const QChar* chars, int count) {}
    // Copies the characters offset..offset+count to dest (none: only counts);
    // returns how many there are.
    virtual int CopyChars(int offset, int count, QChar* dest) const { return 0; }

    // ---- layout (diTextorLayout.cpp) ----
    // Advances x over count characters from first.
    virtual void Measure(int& x, int first, int count) const {}
    // The index (from first) of the first of count characters from first that
    // does not end at or before hit.Target, x advanced up to it; -1 when all
    // fit (x advanced over them). Never answers the low half of a surrogate
    // pair. Text is searched in a number of measurements logarithmic in the
    // answer, taking the width of a prefix never to shrink as it grows.
    virtual int HitTest(int& x, int first, int count, const TPortionHit& hit) const { return -1; }
    virtual void GetAscentDescent(int& ascent, int& descent) const {}
    // Paints count characters from first at x on the row; answers their width.
    virtual int Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const { return 0; }
    // Places the content at x on the row with the given baseline (element).
    virtual void PlaceOnRow(int x, int baseline) {}
    virtual void MoveBy(int dy) {}

protected:
    TPortion(TParagraph* paragraph, TTextAttributesRef attributes, int length);
    // Links a made portion into its paragraph before `before` (none: at the end).
    static TPortion* Link(std::unique_ptr<TPortion> portion, TPortion* before);
    void SetLength(int length) noexcept { m_length = length; }
    void MarkChanged();
    // Characters offset..offset + removed of oldLength were replaced.
    void NoteEdit(int offset, int removed, int oldLength) noexcept;
    // The portion was split at offset of oldLength, tail taking the rest.
    void NoteSplit(TPortion& tail, int offset, int oldLength) noexcept;
    // next's characters were appended to the oldLength of this portion.
    void NoteAbsorbed(const TPortion& next, int oldLength) noexcept;
    void NoteChangedThroughout() noexcept { m_change = TChange{}; }
    void NoteChangedAtStart() noexcept;
    void NoteChangedAtEnd() noexcept;

private:
    friend class TParagraph;
    friend class TTextor;
    friend struct TPortionLinks;

    TParagraph* m_paragraph;
    TTextAttributesRef m_attributes;
    TPortion* m_next = nullptr;
    TPortion* m_prev = nullptr;
    int m_length;
    TChange m_change;
};

// A run of characters. Its string holds at most about twice its length in
// capacity after any edit: a split copies the smaller part and hands the
// larger one the buffer.
class TTextPortion final : public TPortion, public TBlockAllocated<TTextPortion> {
public:
    static TTextPortion* Create(TParagraph* paragraph, TPortion* before, const TTextAttributesRef& attributes,
                                const QChar* chars = nullptr, int count = 0);

    const QString& Text() const noexcept { return m_text; }
    const QChar* Chars() const noexcept { return m_text.constData(); }

    TPortionKind Kind() const noexcept override { return TPortionKind::Text; }
    void DeleteChars(int offset, int count) override;
    TPortion* SplitTo(int offset) override;
    void Absorb(const TPortion& next) override;
    int CharAt(int offset) const noexcept override { return m_text.at(offset).unicode(); }
    void InsertChars(int offset, const QChar* chars, int count) override;
    int CopyChars(int offset, int count, QChar* dest) const override;

    void Measure(int& x, int first, int count) const override;
    int HitTest(int& x, int first, int count, const TPortionHit& hit) const override;
    void GetAscentDescent(int& ascent, int& descent) const override;
    int Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const override;

private:
    TTextPortion(TParagraph* paragraph, TTextAttributesRef attributes, const QChar* chars, int count);
    QString m_text;
};

// A run of tab characters; each advances to the next tab stop.
class TTabStopsPortion final : public TPortion, public TBlockAllocated<TTabStopsPortion> {
public:
    static TTabStopsPortion* Create(TParagraph* paragraph, TPortion* before, const TTextAttributesRef& attributes,
                                    int count = 0);

    TPortionKind Kind() const noexcept override { return TPortionKind::TabStops; }
    void DeleteChars(int offset, int count) override;
    TPortion* SplitTo(int offset) override;
    void Absorb(const TPortion& next) override;
    int CharAt(int offset) const noexcept override { return tcTab; }
    void InsertChars(int offset, const QChar* chars, int count) override;
    int CopyChars(int offset, int count, QChar* dest) const override;

    void Measure(int& x, int first, int count) const override;
    int HitTest(int& x, int first, int count, const TPortionHit& hit) const override;
    void GetAscentDescent(int& ascent, int& descent) const override;
    int Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const override;

private:
    using TPortion::TPortion;
};

// Exactly one embedded element, length 1. Element and portion point at each
// other: freeing the portion clears the element's link and frees the element;
// an element freed first clears the portion's link (the portion stays, empty,
// until its owner removes it).
class TElementPortion final : public TPortion,
                              public ITextorSlot,
                              public TBlockAllocated<TElementPortion> {
public:
    // The portion frees `element` (through Free) when it goes.
    static TElementPortion* Create(TParagraph* paragraph, TPortion* before, TVisualElement* element);
    ~TElementPortion() override;

    TVisualElement* Element() const noexcept { return m_element; }
    // ITextorSlot: the portion stays, empty, among its textor's emptied portions.
    void ElementFreed() noexcept override;

    TPortionKind Kind() const noexcept override { return TPortionKind::Element; }
    bool HasAttributes() const noexcept override { return false; }
    int CharAt(int offset) const noexcept override { return tcElement; }

    void Measure(int& x, int first, int count) const override;
    int HitTest(int& x, int first, int count, const TPortionHit& hit) const override;
    void GetAscentDescent(int& ascent, int& descent) const override;
    int Paint(const TRowPaint& paint, int first, int count, int x, bool selected) const override;
    void PlaceOnRow(int x, int baseline) override;
    void MoveBy(int dy) override;

private:
    friend class TTextor;
    friend struct TChainLinks;

    // The one chain of its textor the portion is in: the emptied portions
    // (the element went first) or the marked ones (MarkElements), never both.
    enum class TChain : uint8_t { None, Emptied, Marked };

    TElementPortion(TParagraph* paragraph, TVisualElement* element);
    TVisualElement* m_element;
    TElementPortion* m_nextInChain = nullptr;
    TElementPortion* m_prevInChain = nullptr;
    uint32_t m_markStamp = 0;  // the marking that found it in its range
    TChain m_chain = TChain::None;
};

// ---------------------------------------------------------------------------
// Paragraphs

// The paragraph's place and census records are private bases, known to the
// textor (diTextorPlaces, diTextCensus).
class TParagraph : public TBlockAllocated<TParagraph>, private TParagraphPlace, private TParagraphCensus {
public:
    TParagraph(const TParagraph&) = delete;
    TParagraph& operator=(const TParagraph&) = delete;

    TTextor* Textor() const noexcept { return m_textor; }
    TParagraph* Next() const noexcept { return m_next; }
    TParagraph* Prev() const noexcept { return m_prev; }
    TPortion* FirstPortion() const noexcept { return m_firstPortion; }
    TPortion* LastPortion() const noexcept { return m_lastPortion; }
    // Place in the chain from 0 (kept by the textor: no walk).
    int Index() const noexcept;
    // Sum of the portions' lengths.
    int Length() const noexcept;
    TTextorPosition StartPosition() noexcept { return TTextorPosition{this, m_firstPortion, 0}; }
    TTextorPosition EndPosition() noexcept { return TTextorPosition{this, nullptr, 0}; }

    // Own attributes (may be none) and the effective ones (textor defaults for none).
    TParagraphAttributes* Attributes() const noexcept { return m_attributes.get(); }
    TTextAttributes* TextAttributes() const noexcept { return m_textAttributes.get(); }
    const TParagraphAttributesRef& AttributesRef() const noexcept { return m_attributes; }
    const TTextAttributesRef& TextAttributesRef() const noexcept { return m_textAttributes; }
    TParagraphAttributes* GetAttributes() const noexcept;
    TTextAttributes* GetTextAttributes() const noexcept;
    void SetAttributes(const TParagraphAttributesRef& attributes);
    void SetTextAttributes(const TTextAttributesRef& attributes);

    bool LayoutValid() const noexcept { return m_layoutValid; }
    // Whether the paragraph has a place in its textor (its number and top).
    bool PositionValid() const noexcept { return Place().Chunk != nullptr; }
    // The content changed: layout invalid, the textor told (re-layout and change notice).
    void Changed();
    // Only metrics changed: layout invalid and a re-layout requested, no change notice.
    void InvalidateLayout();

    // ---- layout (diTextorLayout.cpp) ----
    TRow* FirstRow() const noexcept { return m_rows.empty() ? nullptr : m_rows.front().get(); }
    TRow* LastRow() const noexcept { return m_rows.empty() ? nullptr : m_rows.back().get(); }
    int RowCount() const noexcept { return int(m_rows.size()); }
    TRow* RowAt(int index) const noexcept { return m_rows[size_t(index)].get(); }
    // Links row after the last row (the paragraph owns it).
    TRow* AppendRow(TRowPtr row);
    // Frees the rows; the textor's rows generation moves on.
    void FreeRows() noexcept;
    // Takes the rows out (a re-wrap keeps some); the rows generation moves on.
    std::vector<TRowPtr> TakeRows() noexcept;
    // Whether the rows were made of the paragraph as it is, all of it.
    bool RowsReusable() const noexcept { return m_layoutValid && !m_relayoutWhole && !m_rows.empty(); }
    // The length the rows were made of.
    int LaidOutLength() const noexcept { return m_laidOutLength; }
    // A paragraph split or join moved the portions from firstMoved on to the
    // end of `to`: the rows starting at or after index `from` follow them, their
    // indices moved by `shift`, and those portions count as unchanged but for
    // the boundary before firstMoved. Both paragraphs' rows were reusable.
    void HandRowsTo(TParagraph* to, int from, int shift, TPortion* firstMoved);
    // Moves every row and portion content down by dy.
    void MoveBy(int dy);
    // What the rows' stored coordinates lack: the top now minus the top they were laid out at.
    int RowShift() const noexcept;

private:
    friend class TTextor;
    friend class TPortion;
    friend class TElementPortion;
    friend struct TParagraphLinks;
    friend struct TPortionLinks;
    friend struct TQueueLinks;

    explicit TParagraph(TTextor* textor) noexcept : m_textor(textor) {}
    TParagraphPlace& Place() noexcept { return *this; }
    const TParagraphPlace& Place() const noexcept { return *this; }
    TParagraphCensus& Census() noexcept { return *this; }
    const TParagraphCensus& Census() const noexcept { return *this; }
    static TParagraph* Of(TParagraphPlace* place) noexcept { return static_cast<TParagraph*>(place); }
    static TParagraph* Of(TParagraphCensus* census) noexcept { return static_cast<TParagraph*>(census); }
    // Frees the rows and portions; the textor has unlinked the paragraph.
    ~TParagraph();
    // Frees every portion (last first).
    void FreePortions() noexcept;
    // The layout is invalid: the paragraph waits in the textor's layout queue.
    void MarkLayoutInvalid();
    // A portion's attributes changed: its rows are made again, no change notice.
    void PortionRestyled();

    TTextor* m_textor;
    TParagraphAttributesRef m_attributes;
    TTextAttributesRef m_textAttributes;
    TParagraph* m_next = nullptr;
    TParagraph* m_prev = nullptr;
    TPortion* m_firstPortion = nullptr;
    TPortion* m_lastPortion = nullptr;
    // Layout: the rows in order, made of m_laidOutLength characters.
    std::vector<TRowPtr> m_rows;
    int m_laidOutLength = 0;
    bool m_layoutValid = false;
    // Kept by the textor.
    // The layout queue's links (TQueueLinks).
    TParagraph* m_nextQueued = nullptr;
    TParagraph* m_prevQueued = nullptr;
    uint32_t m_layoutPass = 0;  // the last re-layout that laid it out
    bool m_queued = false;
    // The right edge of the widest row as counted in the text's width (when
    // m_extentCounted), and the available width it was measured at when it
    // depends on it (right and centred paragraphs; else -1).
    int m_extent = 0;
    int m_extentAvailable = -1;
    bool m_extentCounted = false;
    bool m_freeing = false;  // unlinked, its portions about to go
    // Metrics, indents or the width changed: no row can be kept.
    bool m_relayoutWhole = false;
};

// ---------------------------------------------------------------------------
// The textor

// Paint flags of TTextor::Paint besides tpfSelected/tpfInactive.
// tpfParagraphEndHighlight: a selected paragraph end shows a highlight
// kTextorParagraphEndHighlight pixels wide.
enum : int { tpfPaintSelection = 0x100, tpfNonPrintingMarks = 0x200, tpfParagraphEndHighlight = 0x400 };
constexpr int kTextorParagraphEndHighlight = 5;

class TTextor {
public:
    // Locked: the layout-lock count starts at 1 (the owner unlocks it once
    // placed). A fresh textor holds one empty paragraph.
    explicit TTextor(bool locked = false);
    virtual ~TTextor();
    TTextor(const TTextor&) = delete;
    TTextor& operator=(const TTextor&) = delete;

    TParagraph* FirstParagraph() const noexcept { return m_firstParagraph; }
    TParagraph* LastParagraph() const noexcept { return m_lastParagraph; }
    TParagraph* ParagraphAt(int index) const noexcept { return TParagraph::Of(m_places.At(index)); }
    int ParagraphCount() const noexcept { return m_places.Count(); }
    // How many element portions the text holds.
    int ElementPortionCount() const noexcept { return m_elementPortions; }

    // The owner element (the element's textor only).
    TVisualElement* Owner() const noexcept { return m_owner; }
    void SetOwner(TVisualElement* owner) noexcept { m_owner = owner; }

    // ---- brackets ----
    void BeginUpdate() noexcept;
    void EndUpdate();
    void LockLayout() noexcept { ++m_layoutLock; }
    void UnlockLayout();
    int UpdateCount() const noexcept { return m_updateCount; }
    int LayoutLockCount() const noexcept { return m_layoutLock; }
    bool IsRelayoutPending() const noexcept { return m_relayoutPending; }
    bool IsRelayoutRunning() const noexcept { return m_relayoutRunning; }
    // Moves on whenever rows are freed: a row pointer kept from an older
    // generation may point at a freed row.
    uint32_t RowsGeneration() const noexcept { return m_rowsGeneration; }
    // Moves on with every re-layout that runs.
    uint32_t LayoutPasses() const noexcept { return m_layoutPass; }
    // Ignored while a re-layout runs; only marked pending while locked.
    void RequestLayout(bool textChanged);
    // A paragraph's content changed.
    void ParagraphChanged();
    void InvalidateAllLayouts();

    // ---- positions ----
    TTextorPosition GetStartPosition() const noexcept;
    TTextorPosition GetEndPosition() const noexcept;
    TTextorRange GetWholeRange() const noexcept { return TTextorRange{GetStartPosition(), GetEndPosition()}; }
    static TTextorPosition Normalize(const TTextorPosition& position) noexcept;
    // The portion holding the character before the position in its paragraph (none at its start).
    static TPortion* PortionBeforePosition(const TTextorPosition& position) noexcept;
    bool IsBefore(const TTextorPosition& a, const TTextorPosition& b) const noexcept;
    // Start inclusive, end exclusive.
    bool RangeContains(const TTextorRange& range, const TTextorPosition& position) const noexcept;
    // One character on (a surrogate pair is one step); the text end stays.
    TTextorPosition StepForward(const TTextorPosition& position) const noexcept;
    TTextorPosition StepBackward(const TTextorPosition& position) const noexcept;
    // The code at the position and the position after it; false at a paragraph end.
    bool NextChar(const TTextorPosition& position, int& code, TTextorPosition& next) const noexcept;
    // The code before the position in its paragraph and the position of it; false at a paragraph start.
    bool PrevChar(const TTextorPosition& position, int& code, TTextorPosition& prev) const noexcept;
    // The normalised position count code units after position in its
    // paragraph (its end at most); walks only the portions it passes.
    static TTextorPosition PositionAfter(const TTextorPosition& position, int count) noexcept;

    TTextorNumericPosition PositionToNumeric(const TTextorPosition& position) const noexcept;
    TTextorNumericRange RangeToNumeric(const TTextorRange& range) const noexcept;
    // False when the place lies outside the text (negative numbers included).
    bool NumericToPosition(const TTextorNumericPosition& numeric, TTextorPosition& position) const noexcept;
    bool NumericToRange(const TTextorNumericRange& numeric, TTextorRange& range) const noexcept;

    // ---- editing (each inside its own update bracket) ----
    TTextorRange InsertText(const TTextorPosition& position, const QChar* chars, int count,
                            const TTextAttributesRef& attributes = {});
    TTextorRange InsertText(const TTextorPosition& position, const QString& text,
                            const TTextAttributesRef& attributes = {}) {
        return InsertText(position, text.constData(), int(text.size()), attributes);
    }
    // The portion made frees `element` when it goes; an element already in a text raises.
    TTextorRange InsertElement(const TTextorPosition& position, TVisualElement* element);
    // (end of the old paragraph, start of the new one).
    TTextorRange SplitParagraph(const TTextorPosition& position, const TTextAttributesRef& attributes = {});
    TTextorPosition DeleteRange(const TTextorRange& range);
    TTextorRange SetRangeAttributes(const TTextorRange& range, bool includeParagraphEnds,
                                    const TTextAttributesRef& attributes);
    // The characters are copied: a view of a loaded value serves as well.
    void SetText(QStringView text);
    void SetText(const QString& text) { SetText(QStringView(text)); }
    // Leaves one empty paragraph.
    void Clear();
    // Inserts every text run again under the current rules.
    void RebuildText();

    // ---- reading ----
    QString GetText() const;
    // GetText without a copy when the text is one run of plain characters:
    // a view of that run, valid until the next change of the text; any
    // other text is put into buffer and the view is of buffer.
    QStringView TextView(QString& buffer) const;
    QString GetRangeText(const TTextorRange& range) const;
    bool IsEmpty() const noexcept;
    TPortion* GetFirstPortion() const noexcept;
    // Up to this many paragraphs the width and the character classes are
    // found by a walk, without keeping counts.
    static constexpr int kFewParagraphs = 8;
    // The character classes of the text portions (diTextCensus); counted
    // again only for the paragraphs changed since the last question.
    uint32_t CharacterClasses() const;
    // The first character of the text portions that is in one of the classes, none when there is none.
    QChar FirstCharOfClasses(uint32_t classes) const;
    // Frees the element portions whose element was freed first (inside an
    // update bracket when there are any); answers whether there were any.
    bool FreeEmptiedElementPortions();
    // Marks the elements in range (none: no element) with mark(element,
    // true) and unmarks those marked before that are not in it with
    // mark(element, false); an element that goes, or its portion, is
    // forgotten. Costs what the range and the elements marked before cost.
    using TElementMark = std::function<void(TVisualElement* element, bool marked)>;
    void MarkElements(const TTextorRange* range, const TElementMark& mark);
    // One piece of a range: a stretch of one portion, or a paragraph break
    // (portion none) at the end of paragraph.
    using TRangeVisitor = std::function<bool(TParagraph* paragraph, TPortion* portion, int start, int count)>;
    // Calls visit for each piece in order; stops and answers false when it answers false.
    bool ForEachInRange(const TTextorRange& range, bool lastParagraphEnd, const TRangeVisitor& visit) const;
    TTextorRange GetTextRun(const TTextorPosition& position, bool forward, bool acrossParagraphs) const;

    // ---- rules (overridden by the element's textor) ----
    virtual bool CanBreakBetween(int first, int second) const;
    virtual void Changed() {}
    virtual TParagraphAttributes* GetDefaultParagraphAttributes() const { return nullptr; }
    virtual TTextAttributes* GetDefaultTextAttributes() const { return nullptr; }
    virtual TRect GetTextMargins() const { return {}; }
    // 0: no wrapping.
    virtual int GetAvailableWidth() const { return 0; }
    // A new unshared instance of the attribute classes the textor uses (none in the base).
    virtual std::unique_ptr<TParagraphAttributes> NewParagraphAttributes() const { return nullptr; }
    virtual std::unique_ptr<TTextAttributes> NewTextAttributes() const { return nullptr; }
    virtual bool AllowsParagraphs() const { return false; }
    virtual bool UsesTabStopPortions() const { return false; }
    virtual bool IsSameWord(int first, int second) const;

    // ---- layout (diTextorLayout.cpp) ----
    virtual void Relayout(bool textChanged);
    // The rows the last re-layout laid out, from the top of the first to the
    // bottom of the last, in the text's coordinates (exclusive bottom), when
    // nothing else moved: each of them kept its paragraph's height and the
    // text its height. Whole when rows elsewhere moved or nothing was laid out.
    // TextTop and TextBottom bound those of paragraphs that hold more than
    // embedded elements (none: TextTop >= TextBottom); elements repaint what
    // of themselves moves or resizes.
    struct TRelayoutBand {
        bool Whole = true;
        int Top = 0;
        int Bottom = 0;
        int TextTop = INT_MAX;
        int TextBottom = INT_MIN;
    };
    TRelayoutBand LastRelayoutBand() const noexcept { return m_lastRelayoutBand; }
    virtual void LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                                 const TRect& paddings);
    // The owner's paddings when it is placed on a sheet, else zero.
    virtual TRect GetPaddings() const { return {}; }
    // The bottom of the last row: the sum of the paragraphs' heights.
    int GetHeight() const noexcept { return m_places.TotalHeight(); }
    // The right edge of the widest row with its right indent.
    int GetWidth() const;
    TRow* FindRow(const TTextorPosition& position, bool atStartOfNextRow, TRow* hint = nullptr) const;
    TRow* FindRowAtY(int y, bool clamp) const;
    // The position at point; answers whether a character was hit.
    bool HitTest(QPoint point, bool round, TTextorPosition& position, const TTextorDrag* drag = nullptr) const;
    TRect GetCaretRect(const TRow* row, const TTextorPosition& position, int caretWidth) const;
    TRect GetRowRect(const TRow* row) const;
    void GetRowsOfRange(const TTextorRange& range, TRow*& first, TRow*& last) const;
    void Paint(TSheetCanvas& canvas, int flags, const TTextorRange& selection, QPoint origin);

private:
    friend class TParagraph;
    friend class TElementPortion;
    friend struct TParagraphLinks;

    // Runs edit inside an update bracket.
    template <class Edit>
    auto Bracketed(Edit edit);
    TParagraph* NewParagraph(TParagraph* before);
    void FreeParagraph(TParagraph* paragraph) noexcept;
    // Frees the paragraphs after `after` up to `until` (none: the last) at once.
    void FreeParagraphsBetween(TParagraph* after, TParagraph* until);
    // What the textor keeps of a paragraph about to go is given up.
    void ForgetParagraph(TParagraph* paragraph) noexcept;
    void FreeAllParagraphs() noexcept;
    TTextorPosition InsertRun(const TTextorPosition& position, const QChar* chars, int count, TPortionKind kind,
                              const TTextAttributesRef& attributes, TTextorPosition* runStart);
    TTextorRange InsertScanned(const TTextorPosition& position, const QChar* chars, int count,
                               const TTextAttributesRef& attributes);
    TTextorRange SplitAt(const TTextorPosition& position, const TTextAttributesRef& attributes);
    // Deletes from a to b, both in one paragraph; the position where they were.
    TTextorPosition DeleteInParagraph(const TTextorPosition& a, const TTextorPosition& b);
    // Moves the portions of `end` to the end of `start` and frees `end`.
    TTextorPosition JoinParagraphs(const TTextorPosition& start, TParagraph* end);
    void MovePortion(TPortion* portion, TParagraph* to, TPortion* before);

    void QueueLayout(TParagraph* paragraph) noexcept;
    void UnqueueLayout(TParagraph* paragraph) noexcept;
    // An element portion came into paragraph (delta 1) or left it (-1).
    void CountElementPortion(TParagraph* paragraph, int delta) noexcept;
    // Puts an element portion in no chain into one, and takes it out of its chain.
    void Chain(TElementPortion* portion, TElementPortion::TChain chain) noexcept;
    void Unchain(TElementPortion* portion) noexcept;

    // ---- bookkeeping of the layout (diTextorLayout.cpp) ----
    // Moves the rows and elements of paragraph to the top it has now.
    void PlaceAtTop(TParagraph* paragraph);
    // Widens band by a paragraph just laid out, which was heightBefore high.
    void AddToBand(TRelayoutBand& band, TParagraph& paragraph, int heightBefore) const noexcept;
    // Counts the paragraph's rows (just laid out) in the height and the width.
    void CountRows(TParagraph* paragraph, int availableWidth);
    void CountWidth(TParagraph* paragraph, int availableWidth) const;
    void UncountWidth(TParagraph* paragraph) const noexcept;
    // The counts again from the paragraphs' own, after most paragraphs went.
    void RecountWidths();
    // After a height changed above them: the paragraphs holding elements move them to their tops.
    void PlaceMovedElements();
    int WalkWidth() const;

    TParagraph* m_firstParagraph = nullptr;
    TParagraph* m_lastParagraph = nullptr;
    TParagraphPlaces m_places;
    // Kept from the first question about a text of more than a few paragraphs.
    mutable std::unique_ptr<TTextCensus> m_census;
    // Paragraphs whose layout is invalid, in the order they became so (a
    // chain through the paragraphs).
    TParagraph* m_firstQueued = nullptr;
    TParagraph* m_lastQueued = nullptr;
    uint32_t m_layoutPass = 0;
    // The paragraphs' extents (right edge -> count), and the available widths
    // the extents of right and centred paragraphs were measured at (width ->
    // count).
    struct TWidthCounts {
        std::map<int, int> Extents;
        std::map<int, int> AlignedAt;
    };
    // Kept from the first question about a text of more than a few paragraphs.
    mutable std::unique_ptr<TWidthCounts> m_widths;
    int m_elementPortions = 0;
    struct TPortionChain {
        TElementPortion* First = nullptr;
        TElementPortion* Last = nullptr;
    };
    TPortionChain m_emptied;
    TPortionChain m_marked;
    uint32_t m_markStamp = 0;
    TVisualElement* m_owner = nullptr;
    int32_t m_updateCount = 0;
    int32_t m_layoutLock = 0;
    bool m_changedDuringUpdate = false;
    bool m_relayoutPending = false;
    bool m_relayoutRunning = false;
    TRelayoutBand m_lastRelayoutBand;
    uint32_t m_rowsGeneration = 0;
};

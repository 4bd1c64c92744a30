#include "text/diTextor.h"

#include "core/cuClasses.h"
#include "core/cuStringIds.h"

#include <algorithm>
#include <optional>
#include <type_traits>
#include <utility>

// The chain links of portions and paragraphs for TBidirectionalList.
struct TPortionLinks {
    static TPortion* next(TPortion* p) noexcept { return p->m_next; }
    static TPortion* prev(TPortion* p) noexcept { return p->m_prev; }
    static void setNext(TPortion* p, TPortion* v) noexcept { p->m_next = v; }
    static void setPrev(TPortion* p, TPortion* v) noexcept { p->m_prev = v; }
};

// The layout queue of a textor.
struct TQueueLinks {
    static TParagraph* next(TParagraph* p) noexcept { return p->m_nextQueued; }
    static TParagraph* prev(TParagraph* p) noexcept { return p->m_prevQueued; }
    static void setNext(TParagraph* p, TParagraph* v) noexcept { p->m_nextQueued = v; }
    static void setPrev(TParagraph* p, TParagraph* v) noexcept { p->m_prevQueued = v; }
};

struct TParagraphLinks {
    static TParagraph* next(TParagraph* p) noexcept { return p->m_next; }
    static TParagraph* prev(TParagraph* p) noexcept { return p->m_prev; }
    static void setNext(TParagraph* p, TParagraph* v) noexcept { p->m_next = v; }
    static void setPrev(TParagraph* p, TParagraph* v) noexcept { p->m_prev = v; }
};

// The chains of a textor's emptied and marked element portions.
struct TChainLinks {
    static TElementPortion* next(TElementPortion* p) noexcept { return p->m_nextInChain; }
    static TElementPortion* prev(TElementPortion* p) noexcept { return p->m_prevInChain; }
    static void setNext(TElementPortion* p, TElementPortion* v) noexcept { p->m_nextInChain = v; }
    static void setPrev(TElementPortion* p, TElementPortion* v) noexcept { p->m_prevInChain = v; }
};

namespace {

// Whether offset would fall between the halves of a surrogate pair of portion.
bool SplitsSurrogatePair(const TPortion& portion, int offset) noexcept {
    return offset > 0 && offset < portion.Length() && QChar::isLowSurrogate(char32_t(portion.CharAt(offset))) &&
           QChar::isHighSurrogate(char32_t(portion.CharAt(offset - 1)));
}

bool IsLineBreak(QChar c) noexcept { return c.unicode() == tcReturn || c.unicode() == tcLineFeed; }

TPortionKind RunKind(QChar first, bool tabStops) noexcept {
    return tabStops && first.unicode() == tcTab ? TPortionKind::TabStops : TPortionKind::Text;
}

bool IsWhiteSpace(int code) noexcept { return QChar::isSpace(char32_t(code)); }

bool IsWordChar(int code) noexcept { return code == '_' || QChar::isLetterOrNumber(char32_t(code)); }

// Capacity a text portion's string may hold beyond twice its length, so that
// short strings are not reallocated at every edit.
constexpr qsizetype kCapacitySlack = 16;

void FitCapacity(QString& text) {
    if (text.capacity() > 2 * text.size() + kCapacitySlack) text.squeeze();
}

// The character index of a position in its paragraph.
int IndexInParagraph(const TTextorPosition& position) noexcept {
    int index = position.Offset;
    for (const TPortion* p = position.Paragraph->FirstPortion(); p && p != position.Portion; p = p->Next())
        index += p->Length();
    return index;
}

}  // namespace

// ---------------------------------------------------------------------------
// TPortion

TPortion::TPortion(TParagraph* paragraph, TTextAttributesRef attributes, int length)
    : m_paragraph(paragraph), m_attributes(std::move(attributes)), m_length(length) {}

TPortion::~TPortion() = default;

TPortion* TPortion::Link(std::unique_ptr<TPortion> portion, TPortion* before) {
    TParagraph* paragraph = portion->m_paragraph;
    TPortion* linked = portion.release();
    TBidirectionalList::Insert(paragraph->m_firstPortion, paragraph->m_lastPortion, linked, before, TPortionLinks{});
    paragraph->Changed();
    return linked;
}

void TPortion::Free() {
    TParagraph* paragraph = m_paragraph;
    if (m_prev) m_prev->NoteChangedAtEnd();
    if (m_next) m_next->NoteChangedAtStart();
    TBidirectionalList::Remove(paragraph->m_firstPortion, paragraph->m_lastPortion, this, TPortionLinks{});
    delete this;
    paragraph->Changed();
}

TTextor* TPortion::Textor() const noexcept { return m_paragraph->Textor(); }

TPortion* TPortion::GetNextPortion() const noexcept {
    if (m_next) return m_next;
    for (TParagraph* p = m_paragraph->Next(); p; p = p->Next())
        if (p->FirstPortion()) return p->FirstPortion();
    return nullptr;
}

TTextAttributes* TPortion::GetAttributes() const noexcept {
    return m_attributes ? m_attributes.get() : Textor()->GetDefaultTextAttributes();
}

void TPortion::SetAttributes(const TTextAttributesRef& attributes) {
    if (m_attributes.get() == attributes.get()) return;
    m_attributes = attributes;
    NoteChangedThroughout();
    m_paragraph->PortionRestyled();
}

void TPortion::MarkChanged() { m_paragraph->Changed(); }

void TPortion::NoteChangedAtStart() noexcept {
    m_change = TChange{0, m_change.Changed() ? m_change.Tail : m_length};
}

void TPortion::NoteChangedAtEnd() noexcept {
    m_change = TChange{m_change.Changed() ? m_change.Head : m_length, 0};
}

void TPortion::NoteEdit(int offset, int removed, int oldLength) noexcept {
    const int tail = oldLength - offset - removed;
    m_change = m_change.Changed() ? TChange{std::min(m_change.Head, offset), std::min(m_change.Tail, tail)}
                                : TChange{offset, tail};
}

void TPortion::NoteSplit(TPortion& tail, int offset, int oldLength) noexcept {
    const TChange before = m_change;
    const int tailLength = oldLength - offset;
    m_change = TChange{before.Changed() ? std::min(before.Head, offset) : offset, 0};
    tail.m_change = TChange{0, before.Changed() ? std::min(before.Tail, tailLength) : tailLength};
}

void TPortion::NoteAbsorbed(const TPortion& next, int oldLength) noexcept {
    const TChange& appended = next.m_change;
    m_change = TChange{m_change.Changed() ? std::min(m_change.Head, oldLength) : oldLength,
                       appended.Changed() ? std::min(appended.Tail, next.m_length) : next.m_length};
}

// ---------------------------------------------------------------------------
// TTextPortion

TTextPortion::TTextPortion(TParagraph* paragraph, TTextAttributesRef attributes, const QChar* chars, int count)
    : TPortion(paragraph, std::move(attributes), count), m_text(chars, count) {}

TTextPortion* TTextPortion::Create(TParagraph* paragraph, TPortion* before, const TTextAttributesRef& attributes,
                                   const QChar* chars, int count) {
    std::unique_ptr<TPortion> made(new TTextPortion(paragraph, attributes, chars, count));
    return static_cast<TTextPortion*>(Link(std::move(made), before));
}

void TTextPortion::DeleteChars(int offset, int count) {
    NoteEdit(offset, count, Length());
    m_text.remove(offset, count);
    FitCapacity(m_text);
    SetLength(int(m_text.size()));
    MarkChanged();
}

// Removing from a string's front moves its start, without copying.
TPortion* TTextPortion::SplitTo(int offset) {
    const int length = Length();
    TTextPortion* tail = nullptr;
    if (offset >= length - offset) {
        tail = Create(Paragraph(), Next(), AttributesRef(), Chars() + offset, length - offset);
        m_text.truncate(offset);
    } else {
        tail = Create(Paragraph(), Next(), AttributesRef());
        QString head(Chars(), offset);
        tail->m_text = std::exchange(m_text, std::move(head));
        tail->m_text.remove(0, offset);
        tail->SetLength(length - offset);
        FitCapacity(tail->m_text);
    }
    FitCapacity(m_text);
    SetLength(offset);
    NoteSplit(*tail, offset, length);
    return tail;
}

void TTextPortion::Absorb(const TPortion& next) {
    NoteAbsorbed(next, Length());
    m_text += static_cast<const TTextPortion&>(next).m_text;
    FitCapacity(m_text);
    SetLength(int(m_text.size()));
    MarkChanged();
}

void TTextPortion::InsertChars(int offset, const QChar* chars, int count) {
    NoteEdit(offset, 0, Length());
    m_text.insert(offset, chars, count);
    FitCapacity(m_text);
    SetLength(int(m_text.size()));
    MarkChanged();
}

int TTextPortion::CopyChars(int offset, int count, QChar* dest) const {
    if (dest) std::copy_n(Chars() + offset, count, dest);
    return count;
}

// ---------------------------------------------------------------------------
// TTabStopsPortion

TTabStopsPortion* TTabStopsPortion::Create(TParagraph* paragraph, TPortion* before,
                                           const TTextAttributesRef& attributes, int count) {
    std::unique_ptr<TPortion> made(new TTabStopsPortion(paragraph, attributes, count));
    return static_cast<TTabStopsPortion*>(Link(std::move(made), before));
}

void TTabStopsPortion::DeleteChars(int offset, int count) {
    NoteEdit(offset, count, Length());
    SetLength(Length() - count);
    MarkChanged();
}

TPortion* TTabStopsPortion::SplitTo(int offset) {
    const int length = Length();
    TPortion* tail = Create(Paragraph(), Next(), AttributesRef(), length - offset);
    SetLength(offset);
    NoteSplit(*tail, offset, length);
    return tail;
}

void TTabStopsPortion::Absorb(const TPortion& next) {
    NoteAbsorbed(next, Length());
    SetLength(Length() + next.Length());
    MarkChanged();
}

void TTabStopsPortion::InsertChars(int offset, const QChar* chars, int count) {
    NoteEdit(offset, 0, Length());
    SetLength(Length() + count);
    MarkChanged();
}

int TTabStopsPortion::CopyChars(int offset, int count, QChar* dest) const {
    if (dest) std::fill_n(dest, count, QChar(tcTab));
    return count;
}

// ---------------------------------------------------------------------------
// TElementPortion

TElementPortion::TElementPortion(TParagraph* paragraph, TVisualElement* element)
    : TPortion(paragraph, {}, 1), m_element(element) {
    paragraph->m_textor->CountElementPortion(paragraph, 1);
}

TElementPortion* TElementPortion::Create(TParagraph* paragraph, TPortion* before, TVisualElement* element) {
    auto* portion = new TElementPortion(paragraph, element);
    element->SetTextorSlot(portion);
    return static_cast<TElementPortion*>(Link(std::unique_ptr<TPortion>(portion), before));
}

TElementPortion::~TElementPortion() {
    TTextor* textor = Textor();
    textor->CountElementPortion(Paragraph(), -1);
    textor->Unchain(this);
    if (TVisualElement* element = std::exchange(m_element, nullptr)) {
        element->SetTextorSlot(nullptr);
        element->Free();
    }
}

void TElementPortion::ElementFreed() noexcept {
    m_element = nullptr;
    TTextor* textor = Textor();
    if (m_chain == TChain::Emptied) return;
    textor->Unchain(this);
    if (!Paragraph()->m_freeing) textor->Chain(this, TChain::Emptied);
}

// ---------------------------------------------------------------------------
// TParagraph

TParagraph::~TParagraph() {
    FreeRows();
    FreePortions();
}

void TParagraph::FreeRows() noexcept {
    if (m_rows.empty()) return;
    m_rows.clear();
    ++m_textor->m_rowsGeneration;
}

std::vector<TRowPtr> TParagraph::TakeRows() noexcept {
    ++m_textor->m_rowsGeneration;
    return std::exchange(m_rows, {});
}

void TParagraph::FreePortions() noexcept {
    TBidirectionalList::Clear(m_firstPortion, m_lastPortion, TPortionLinks{}, [](TPortion* p) { delete p; });
}

int TParagraph::Index() const noexcept { return m_textor->m_places.IndexOf(Place()); }

int TParagraph::RowShift() const noexcept { return m_textor->m_places.TopOf(Place()) - Place().RowsTop; }

int TParagraph::Length() const noexcept {
    int length = 0;
    for (TPortion* p = m_firstPortion; p; p = p->Next()) length += p->Length();
    return length;
}

TParagraphAttributes* TParagraph::GetAttributes() const noexcept {
    return m_attributes ? m_attributes.get() : m_textor->GetDefaultParagraphAttributes();
}

TTextAttributes* TParagraph::GetTextAttributes() const noexcept {
    return m_textAttributes ? m_textAttributes.get() : m_textor->GetDefaultTextAttributes();
}

void TParagraph::SetAttributes(const TParagraphAttributesRef& attributes) {
    if (m_attributes.get() == attributes.get()) return;
    m_attributes = attributes;
    InvalidateLayout();
}

void TParagraph::SetTextAttributes(const TTextAttributesRef& attributes) {
    if (m_textAttributes.get() == attributes.get()) return;
    m_textAttributes = attributes;
    InvalidateLayout();
}

void TParagraph::Changed() {
    MarkLayoutInvalid();
    if (!m_freeing && m_textor->m_census) m_textor->m_census->Changed(Census());
    m_textor->ParagraphChanged();
}

void TParagraph::InvalidateLayout() {
    MarkLayoutInvalid();
    m_relayoutWhole = true;
    m_textor->RequestLayout(false);
}

void TParagraph::PortionRestyled() {
    MarkLayoutInvalid();
    m_textor->RequestLayout(false);
}

void TParagraph::MarkLayoutInvalid() {
    m_layoutValid = false;
    if (!m_queued && !m_freeing) m_textor->QueueLayout(this);
}

// ---------------------------------------------------------------------------
// TTextor: life and brackets

// The empty paragraph is laid out by the first re-layout: the end of the
// first bracket, or the unlock of a locked textor.
TTextor::TTextor(bool locked) : m_layoutLock(locked ? 1 : 0), m_relayoutPending(true) { NewParagraph(nullptr); }

TTextor::~TTextor() {
    ++m_updateCount;
    ++m_layoutLock;
    FreeAllParagraphs();
}

template <class Edit>
auto TTextor::Bracketed(Edit edit) {
    if constexpr (std::is_void_v<decltype(edit())>) {
        Bracketed([&] {
            edit();
            return true;
        });
    } else {
        BeginUpdate();
        std::optional<decltype(edit())> result;
        try {
            result.emplace(edit());
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return *std::move(result);
    }
}

TParagraph* TTextor::NewParagraph(TParagraph* before) {
    auto made = std::unique_ptr<TParagraph, void (*)(TParagraph*)>(new TParagraph(this),
                                                                    [](TParagraph* p) { delete p; });
    TParagraph* after = before ? before->m_prev : m_lastParagraph;
    m_places.Insert(made->Place(), after ? &after->Place() : nullptr);
    TParagraph* paragraph = made.release();
    TBidirectionalList::Insert(m_firstParagraph, m_lastParagraph, paragraph, before, TParagraphLinks{});
    paragraph->MarkLayoutInvalid();
    if (m_census) m_census->Changed(paragraph->Census());
    return paragraph;
}

void TTextor::ForgetParagraph(TParagraph* paragraph) noexcept {
    paragraph->m_freeing = true;
    UnqueueLayout(paragraph);
    if (m_census) m_census->Removing(paragraph->Census());
}

void TTextor::FreeParagraph(TParagraph* paragraph) noexcept {
    ForgetParagraph(paragraph);
    UncountWidth(paragraph);
    m_places.Remove(paragraph->Place());
    TBidirectionalList::Remove(m_firstParagraph, m_lastParagraph, paragraph, TParagraphLinks{});
    delete paragraph;
}

// When most paragraphs go, the width counts are made again from the
// paragraphs left: that costs no more than the paragraphs that go.
void TTextor::FreeParagraphsBetween(TParagraph* after, TParagraph* until) {
    TParagraph* first = after->m_next;
    if (first == until) return;
    int count = 0;
    for (TParagraph* p = first; p != until; p = p->m_next, ++count) ForgetParagraph(p);
    const bool recount = m_widths && 2 * count > ParagraphCount();
    if (m_widths && !recount)
        for (TParagraph* p = first; p != until; p = p->m_next) UncountWidth(p);
    m_places.RemoveBetween(after->Place(), until ? &until->Place() : nullptr);
    after->m_next = until;
    if (until)
        until->m_prev = after;
    else
        m_lastParagraph = after;
    for (TParagraph* p = first; p != until;) delete std::exchange(p, p->m_next);
    if (recount) RecountWidths();
}

// Only as the textor goes: what it keeps of the paragraphs goes with it.
void TTextor::FreeAllParagraphs() noexcept {
    m_census.reset();
    m_firstQueued = m_lastQueued = nullptr;
    TBidirectionalList::Clear(m_firstParagraph, m_lastParagraph, TParagraphLinks{}, [](TParagraph* p) {
        p->m_freeing = true;
        delete p;
    });
}

void TTextor::QueueLayout(TParagraph* paragraph) noexcept {
    TBidirectionalList::Insert(m_firstQueued, m_lastQueued, paragraph, nullptr, TQueueLinks{});
    paragraph->m_queued = true;
}

void TTextor::UnqueueLayout(TParagraph* paragraph) noexcept {
    if (!std::exchange(paragraph->m_queued, false)) return;
    TBidirectionalList::Remove(m_firstQueued, m_lastQueued, paragraph, TQueueLinks{});
}

void TTextor::Chain(TElementPortion* portion, TElementPortion::TChain chain) noexcept {
    TPortionChain& into = chain == TElementPortion::TChain::Marked ? m_marked : m_emptied;
    TBidirectionalList::Insert(into.First, into.Last, portion, nullptr, TChainLinks{});
    portion->m_chain = chain;
}

void TTextor::Unchain(TElementPortion* portion) noexcept {
    const TElementPortion::TChain chain = std::exchange(portion->m_chain, TElementPortion::TChain::None);
    if (chain == TElementPortion::TChain::None) return;
    TPortionChain& from = chain == TElementPortion::TChain::Marked ? m_marked : m_emptied;
    TBidirectionalList::Remove(from.First, from.Last, portion, TChainLinks{});
}

void TTextor::CountElementPortion(TParagraph* paragraph, int delta) noexcept {
    m_elementPortions += delta;
    m_places.CountElements(paragraph->Place(), delta);
}

// A portion of a paragraph that is being freed only leaves the chain: it goes with its paragraph.
// The portions in range get this marking's stamp as the walk meets them;
// the marked ones without it are left out now.
void TTextor::MarkElements(const TTextorRange* range, const TElementMark& mark) {
    const uint32_t stamp = ++m_markStamp;
    if (range) {
        ForEachInRange(*range, false, [&](TParagraph*, TPortion* portion, int, int count) {
            if (!portion || count <= 0 || portion->Kind() != TPortionKind::Element) return true;
            auto* slot = static_cast<TElementPortion*>(portion);
            if (!slot->m_element) return true;
            slot->m_markStamp = stamp;
            if (slot->m_chain == TElementPortion::TChain::None) Chain(slot, TElementPortion::TChain::Marked);
            mark(slot->m_element, true);
            return true;
        });
    }
    for (TElementPortion* slot = m_marked.First; slot;) {
        TElementPortion* next = slot->m_nextInChain;
        if (slot->m_markStamp != stamp) {
            Unchain(slot);
            mark(slot->m_element, false);
        }
        slot = next;
    }
}

bool TTextor::FreeEmptiedElementPortions() {
    if (!m_emptied.First) return false;
    Bracketed([&] {
        while (TElementPortion* emptied = m_emptied.First) {
            if (emptied->Paragraph()->m_freeing)
                Unchain(emptied);
            else
                emptied->Free();  // its destructor takes it out of the chain
        }
    });
    return true;
}

void TTextor::BeginUpdate() noexcept {
    ++m_updateCount;
    ++m_layoutLock;
}

void TTextor::EndUpdate() {
    try {
        UnlockLayout();
    } catch (...) {
        --m_updateCount;
        throw;
    }
    if (--m_updateCount > 0 || !m_changedDuringUpdate) return;
    m_changedDuringUpdate = false;
    Changed();
}

void TTextor::UnlockLayout() {
    if (--m_layoutLock > 0 || !m_relayoutPending) return;
    m_relayoutPending = false;
    RequestLayout(m_changedDuringUpdate);
}

void TTextor::RequestLayout(bool textChanged) {
    if (m_relayoutRunning) return;
    if (m_layoutLock > 0) {
        m_relayoutPending = true;
        return;
    }
    Relayout(textChanged);
}

void TTextor::ParagraphChanged() {
    RequestLayout(true);
    if (m_relayoutRunning) return;
    if (m_updateCount > 0)
        m_changedDuringUpdate = true;
    else
        Changed();
}

void TTextor::InvalidateAllLayouts() {
    LockLayout();
    for (TParagraph* p = m_firstParagraph; p; p = p->m_next) p->InvalidateLayout();
    UnlockLayout();
}

// ---------------------------------------------------------------------------
// Positions

TTextorPosition TTextor::GetStartPosition() const noexcept { return m_firstParagraph->StartPosition(); }

TTextorPosition TTextor::GetEndPosition() const noexcept { return m_lastParagraph->EndPosition(); }

TTextorPosition TTextor::Normalize(const TTextorPosition& position) noexcept {
    if (position.Portion && position.Offset >= position.Portion->Length())
        return TTextorPosition{position.Paragraph, position.Portion->Next(), 0};
    return position;
}

TPortion* TTextor::PortionBeforePosition(const TTextorPosition& position) noexcept {
    const TTextorPosition p = Normalize(position);
    if (p.Offset > 0) return p.Portion;
    return p.Portion ? p.Portion->Prev() : p.Paragraph->LastPortion();
}

bool TTextor::IsBefore(const TTextorPosition& a, const TTextorPosition& b) const noexcept {
    if (a.Paragraph != b.Paragraph) {
        if (!a.Paragraph || !b.Paragraph) return !b.Paragraph;
        const int first = a.Paragraph->Index();
        return first >= 0 && first < b.Paragraph->Index();
    }
    if (a.Portion == b.Portion) return a.Offset < b.Offset;
    return a.Portion && TDirectionalList::Follows(TPortionLinks::next, a.Portion, b.Portion);
}

bool TTextor::RangeContains(const TTextorRange& range, const TTextorPosition& position) const noexcept {
    return !IsBefore(position, range.Start) && IsBefore(position, range.End);
}

TTextorPosition TTextor::StepForward(const TTextorPosition& position) const noexcept {
    const TTextorPosition p = Normalize(position);
    if (!p.Portion) return p.Paragraph->Next() ? p.Paragraph->Next()->StartPosition() : p;
    int offset = p.Offset + 1;
    if (SplitsSurrogatePair(*p.Portion, offset)) ++offset;
    return Normalize(TTextorPosition{p.Paragraph, p.Portion, offset});
}

TTextorPosition TTextor::StepBackward(const TTextorPosition& position) const noexcept {
    const TTextorPosition p = Normalize(position);
    TPortion* portion = p.Portion;
    int offset = p.Offset - 1;
    if (p.Offset == 0) {
        portion = portion ? portion->Prev() : p.Paragraph->LastPortion();
        if (!portion) return p.Paragraph->Prev() ? p.Paragraph->Prev()->EndPosition() : p;
        offset = portion->Length() - 1;
    }
    if (SplitsSurrogatePair(*portion, offset)) --offset;
    return TTextorPosition{p.Paragraph, portion, offset};
}

bool TTextor::NextChar(const TTextorPosition& position, int& code, TTextorPosition& next) const noexcept {
    const TTextorPosition p = Normalize(position);
    if (!p.Portion) return false;
    code = p.Portion->CharAt(p.Offset);
    next = Normalize(TTextorPosition{p.Paragraph, p.Portion, p.Offset + 1});
    return true;
}

TTextorPosition TTextor::PositionAfter(const TTextorPosition& position, int count) noexcept {
    TTextorPosition at = Normalize(position);
    while (at.Portion && at.Offset + count >= at.Portion->Length()) {
        count -= at.Portion->Length() - at.Offset;
        at = TTextorPosition{at.Paragraph, at.Portion->Next(), 0};
    }
    if (at.Portion) at.Offset += count;
    return at;
}

bool TTextor::PrevChar(const TTextorPosition& position, int& code, TTextorPosition& prev) const noexcept {
    const TTextorPosition p = Normalize(position);
    prev = p;
    if (p.Offset > 0) {
        --prev.Offset;
    } else {
        prev.Portion = p.Portion ? p.Portion->Prev() : p.Paragraph->LastPortion();
        if (!prev.Portion) return false;
        prev.Offset = prev.Portion->Length() - 1;
    }
    code = prev.Portion->CharAt(prev.Offset);
    return true;
}

TTextorNumericPosition TTextor::PositionToNumeric(const TTextorPosition& position) const noexcept {
    int index = position.Offset;
    for (TPortion* p = position.Paragraph->FirstPortion(); p && p != position.Portion; p = p->Next())
        index += p->Length();
    return TTextorNumericPosition{position.Paragraph->Index(), index};
}

TTextorNumericRange TTextor::RangeToNumeric(const TTextorRange& range) const noexcept {
    return TTextorNumericRange{PositionToNumeric(range.Start), PositionToNumeric(range.End)};
}

bool TTextor::NumericToPosition(const TTextorNumericPosition& numeric, TTextorPosition& position) const noexcept {
    TParagraph* paragraph = ParagraphAt(numeric.Paragraph);
    if (!paragraph || numeric.Char < 0) return false;
    int remaining = numeric.Char;
    for (TPortion* p = paragraph->FirstPortion(); p; p = p->Next()) {
        if (p->Length() > remaining) {
            position = TTextorPosition{paragraph, p, remaining};
            return true;
        }
        remaining -= p->Length();
    }
    if (remaining != 0) return false;
    position = paragraph->EndPosition();
    return true;
}

bool TTextor::NumericToRange(const TTextorNumericRange& numeric, TTextorRange& range) const noexcept {
    return NumericToPosition(numeric.Start, range.Start) && NumericToPosition(numeric.End, range.End);
}

// ---------------------------------------------------------------------------
// Editing

TTextorRange TTextor::InsertText(const TTextorPosition& position, const QChar* chars, int count,
                                 const TTextAttributesRef& attributes) {
    if (count < 1) return TTextorRange{position, position};
    return Bracketed([&] {
        if (AllowsParagraphs() || UsesTabStopPortions()) return InsertScanned(position, chars, count, attributes);
        TTextorRange range;
        range.End = InsertRun(position, chars, count, TPortionKind::Text, attributes, &range.Start);
        return range;
    });
}

TTextorRange TTextor::InsertScanned(const TTextorPosition& position, const QChar* chars, int count,
                                    const TTextAttributesRef& attributes) {
    const bool paragraphs = AllowsParagraphs();
    const bool tabStops = UsesTabStopPortions();
    TTextorRange range{position, position};
    bool first = true;
    TTextorPosition at = Normalize(position);
    auto advance = [&](const TTextorPosition& start, const TTextorPosition& end) {
        if (std::exchange(first, false)) range.Start = start;
        range.End = at = end;
    };
    auto flush = [&](int from, int to) {
        if (to <= from) return;
        TTextorPosition start;
        const TTextorPosition end = InsertRun(at, chars + from, to - from, RunKind(chars[from], tabStops), attributes, &start);
        advance(start, end);
    };
    int runStart = 0;
    for (int i = 0; i < count;) {
        if (paragraphs && IsLineBreak(chars[i])) {
            flush(runStart, i);
            const bool pair = i + 1 < count && IsLineBreak(chars[i + 1]) && chars[i + 1] != chars[i];
            const TTextorRange split = SplitAt(at, attributes);
            advance(split.Start, split.End);
            i += pair ? 2 : 1;
            runStart = i;
            continue;
        }
        if (tabStops && i > runStart && (chars[i].unicode() == tcTab) != (chars[runStart].unicode() == tcTab)) {
            flush(runStart, i);
            runStart = i;
        }
        ++i;
    }
    flush(runStart, count);
    return range;
}

TTextorPosition TTextor::InsertRun(const TTextorPosition& position, const QChar* chars, int count, TPortionKind kind,
                                   const TTextAttributesRef& attributes, TTextorPosition* runStart) {
    const TTextorPosition p = Normalize(position);
    auto matches = [&](const TPortion* portion) {
        return portion && portion->Kind() == kind && portion->Attributes() == attributes.get();
    };
    TPortion* into = matches(p.Portion) ? p.Portion : nullptr;
    int offset = p.Offset;
    if (!into && p.Offset == 0) {
        TPortion* before = p.Portion ? p.Portion->Prev() : p.Paragraph->LastPortion();
        if (matches(before)) {
            into = before;
            offset = before->Length();
        }
    }
    if (!into) {
        TPortion* next = p.Portion && p.Offset > 0 ? p.Portion->SplitTo(p.Offset) : p.Portion;
        if (kind == TPortionKind::TabStops)
            into = TTabStopsPortion::Create(p.Paragraph, next, attributes);
        else
            into = TTextPortion::Create(p.Paragraph, next, attributes);
        offset = 0;
    }
    into->InsertChars(offset, chars, count);
    *runStart = TTextorPosition{p.Paragraph, into, offset};
    return Normalize(TTextorPosition{p.Paragraph, into, offset + count});
}

TTextorRange TTextor::InsertElement(const TTextorPosition& position, TVisualElement* element) {
    if (element->TextorSlot()) throw Exception::FromId(strElementAlreadyInText);
    return Bracketed([&] {
        const TTextorPosition p = Normalize(position);
        TPortion* next = p.Portion && p.Offset > 0 ? p.Portion->SplitTo(p.Offset) : p.Portion;
        TElementPortion* made = TElementPortion::Create(p.Paragraph, next, element);
        return TTextorRange{TTextorPosition{p.Paragraph, made, 0}, TTextorPosition{p.Paragraph, next, 0}};
    });
}

TTextorRange TTextor::SplitParagraph(const TTextorPosition& position, const TTextAttributesRef& attributes) {
    return Bracketed([&] { return SplitAt(position, attributes); });
}

// Rows laid out before the split and starting after it go with the portions
// they were made of, so that the new paragraph is wrapped again only until it
// meets them.
TTextorRange TTextor::SplitAt(const TTextorPosition& position, const TTextAttributesRef& attributes) {
    const TTextorPosition p = Normalize(position);
    TParagraph* old = p.Paragraph;
    const int splitIndex = old->RowsReusable() ? IndexInParagraph(p) : -1;
    TParagraph* made = NewParagraph(old->Next());
    made->m_attributes = old->m_attributes;
    TPortion* from = p.Portion && p.Offset > 0 ? p.Portion->SplitTo(p.Offset) : p.Portion;
    made->m_textAttributes = from ? old->m_textAttributes : attributes;
    while (from) {
        TPortion* last = old->LastPortion();
        MovePortion(last, made, made->FirstPortion());
        if (last == from) break;
    }
    if (TPortion* last = old->LastPortion()) last->NoteChangedAtEnd();
    if (from && splitIndex >= 0) old->HandRowsTo(made, splitIndex, -splitIndex, from);
    old->Changed();
    made->Changed();
    return TTextorRange{old->EndPosition(), made->StartPosition()};
}

void TTextor::MovePortion(TPortion* portion, TParagraph* to, TPortion* before) {
    TParagraph* from = portion->m_paragraph;
    TBidirectionalList::Remove(from->m_firstPortion, from->m_lastPortion, portion, TPortionLinks{});
    portion->m_paragraph = to;
    portion->NoteChangedThroughout();
    TBidirectionalList::Insert(to->m_firstPortion, to->m_lastPortion, portion, before, TPortionLinks{});
    if (portion->Kind() == TPortionKind::Element) {
        CountElementPortion(from, -1);
        CountElementPortion(to, 1);
    }
    from->MarkLayoutInvalid();
    to->MarkLayoutInvalid();
}

TTextorPosition TTextor::DeleteRange(const TTextorRange& range) {
    return Bracketed([&] {
        TTextorPosition start = Normalize(range.Start);
        TTextorPosition end = Normalize(range.End);
        if (IsBefore(end, start)) std::swap(start, end);
        if (start.Paragraph == end.Paragraph) return DeleteInParagraph(start, end);
        const TTextorPosition result = DeleteInParagraph(start, start.Paragraph->EndPosition());
        FreeParagraphsBetween(start.Paragraph, end.Paragraph);
        DeleteInParagraph(end.Paragraph->StartPosition(), end);
        return JoinParagraphs(result, end.Paragraph);
    });
}

TTextorPosition TTextor::DeleteInParagraph(const TTextorPosition& a, const TTextorPosition& b) {
    TPortion* portion = a.Portion;
    if (!portion || a == b) return a;
    if (portion == b.Portion) {
        portion->DeleteChars(a.Offset, b.Offset - a.Offset);
        return a;
    }
    if (a.Offset > 0) {
        portion->DeleteChars(a.Offset, portion->Length() - a.Offset);
        portion = portion->Next();
    }
    while (portion != b.Portion) {
        TPortion* next = portion->Next();
        portion->Free();
        portion = next;
    }
    if (b.Portion && b.Offset > 0) b.Portion->DeleteChars(0, b.Offset);
    return a.Offset > 0 ? Normalize(TTextorPosition{a.Paragraph, a.Portion, a.Offset})
                        : TTextorPosition{a.Paragraph, b.Portion, 0};
}

// The rows of `end` stay when both paragraphs are laid out as they are and
// share their attributes (rows depend on them).
TTextorPosition TTextor::JoinParagraphs(const TTextorPosition& start, TParagraph* end) {
    TParagraph* paragraph = start.Paragraph;
    TPortion* firstMoved = end->FirstPortion();
    const bool keepRows = firstMoved && paragraph->RowsReusable() && end->RowsReusable() &&
                          paragraph->m_attributes.get() == end->m_attributes.get() &&
                          paragraph->m_textAttributes.get() == end->m_textAttributes.get();
    const int shift = keepRows ? paragraph->LaidOutLength() : 0;
    if (TPortion* last = paragraph->LastPortion()) last->NoteChangedAtEnd();
    while (TPortion* p = end->FirstPortion()) MovePortion(p, paragraph, nullptr);
    if (keepRows) end->HandRowsTo(paragraph, 0, shift, firstMoved);
    FreeParagraph(end);
    paragraph->Changed();
    if (start.IsParagraphEnd() && firstMoved) return TTextorPosition{paragraph, firstMoved, 0};
    return start;
}

TTextorRange TTextor::SetRangeAttributes(const TTextorRange& range, bool includeParagraphEnds,
                                         const TTextAttributesRef& attributes) {
    return Bracketed([&] {
        TTextorPosition start = Normalize(range.Start);
        TTextorPosition end = Normalize(range.End);
        if (IsBefore(end, start)) std::swap(start, end);
        if (start == end) return TTextorRange{start, end};
        TPortion* stop = end.Portion && end.Offset > 0 ? end.Portion->SplitTo(end.Offset) : end.Portion;
        TPortion* first = start.Portion && start.Offset > 0 ? start.Portion->SplitTo(start.Offset) : start.Portion;
        TParagraph* paragraph = start.Paragraph;
        for (TPortion* p = first; paragraph && !(paragraph == end.Paragraph && p == stop);) {
            if (p) {
                if (p->HasAttributes()) p->SetAttributes(attributes);
                p = p->Next();
                continue;
            }
            if (includeParagraphEnds) paragraph->SetTextAttributes(attributes);
            paragraph = paragraph->Next();
            p = paragraph ? paragraph->FirstPortion() : nullptr;
        }
        return TTextorRange{TTextorPosition{start.Paragraph, first, 0}, TTextorPosition{end.Paragraph, stop, 0}};
    });
}

namespace {
// Characters that inserted text turns into something other than characters
// of a plain portion (paragraph breaks, tab stops).
bool BreaksPlainRun(const TTextor& textor, QStringView text) {
    const bool paragraphs = textor.AllowsParagraphs();
    const bool tabStops = textor.UsesTabStopPortions();
    if (!paragraphs && !tabStops) return false;
    return std::any_of(text.begin(), text.end(), [&](QChar c) {
        return (paragraphs && IsLineBreak(c)) || (tabStops && c.unicode() == tcTab);
    });
}

// A text that is one plain portion (as setting a text leaves it) takes
// another plain text by changing only the characters between the start and
// the end the two share, in place: what SetText would make, with the rows
// before and after the change kept for the next layout. False when the text
// is anything else, or the same.
bool ReplaceChangedChars(TTextor& textor, QStringView text) {
    TParagraph* paragraph = textor.FirstParagraph();
    TPortion* portion = paragraph->FirstPortion();
    if (text.isEmpty() || paragraph->Next() || !portion || portion != paragraph->LastPortion() ||
        portion->Kind() != TPortionKind::Text || portion->Attributes() || BreaksPlainRun(textor, text))
        return false;
    const QStringView old(static_cast<TTextPortion*>(portion)->Chars(), portion->Length());
    if (old == text) return false;
    const qsizetype shorter = std::min(old.size(), text.size());
    qsizetype head = 0;
    while (head < shorter && old[head] == text[head]) ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && old[old.size() - 1 - tail] == text[text.size() - 1 - tail]) ++tail;
    // Inserted first: the portion never runs empty on the way.
    const qsizetype inserted = text.size() - head - tail;
    if (inserted > 0) portion->InsertChars(int(head), text.constData() + head, int(inserted));
    const qsizetype removed = old.size() - head - tail;
    if (removed > 0) portion->DeleteChars(int(head + inserted), int(removed));
    return true;
}
}  // namespace

void TTextor::SetText(QStringView text) {
    Bracketed([&] {
        if (ReplaceChangedChars(*this, text)) return;
        Clear();
        InsertText(GetStartPosition(), text.constData(), int(text.size()));
    });
}

void TTextor::Clear() {
    Bracketed([&] {
        TParagraph* first = m_firstParagraph;
        const bool changed = first->Next() || first->FirstPortion();
        FreeParagraphsBetween(first, nullptr);
        first->FreePortions();
        if (changed) first->Changed();
    });
}

void TTextor::RebuildText() {
    Bracketed([&] {
        TTextorPosition at = GetStartPosition();
        for (;;) {
            const TTextorRange run = GetTextRun(at, true, true);
            if (run.IsEmpty()) break;
            const QString text = GetRangeText(run);
            at = InsertText(DeleteRange(run), text).End;
        }
    });
}

// ---------------------------------------------------------------------------
// Reading

bool TTextor::ForEachInRange(const TTextorRange& range, bool lastParagraphEnd, const TRangeVisitor& visit) const {
    const TTextorPosition start = Normalize(range.Start);
    const TTextorPosition end = Normalize(range.End);
    int offset = start.Offset;
    TPortion* portion = start.Portion;
    for (TParagraph* paragraph = start.Paragraph; paragraph; paragraph = paragraph->Next()) {
        const bool last = paragraph == end.Paragraph;
        for (; portion; portion = portion->Next(), offset = 0) {
            if (last && portion == end.Portion)
                return end.Offset <= offset || visit(paragraph, portion, offset, end.Offset - offset);
            if (!visit(paragraph, portion, offset, portion->Length() - offset)) return false;
        }
        if (last) return !lastParagraphEnd || visit(paragraph, nullptr, 0, 0);
        if (!visit(paragraph, nullptr, 0, 0)) return false;
        if (paragraph->Next()) portion = paragraph->Next()->FirstPortion();
    }
    return true;
}

QString TTextor::GetRangeText(const TTextorRange& range) const {
    int total = 0;
    ForEachInRange(range, false, [&](TParagraph*, TPortion* portion, int start, int count) {
        total += portion ? portion->CopyChars(start, count, nullptr) : 2;
        return true;
    });
    QString text(total, Qt::Uninitialized);
    QChar* out = text.data();
    ForEachInRange(range, false, [&](TParagraph*, TPortion* portion, int start, int count) {
        if (portion) {
            out += portion->CopyChars(start, count, out);
        } else {
            *out++ = QChar(tcReturn);
            *out++ = QChar(tcLineFeed);
        }
        return true;
    });
    return text;
}

namespace {

const QString kNoText;

// The text of a single paragraph holding at most one text portion (null
// when empty), or nil for any other text.
const QString* OnlyRunOf(const TParagraph* first, const TParagraph* last) noexcept {
    if (first != last) return nullptr;
    const TPortion* only = first->FirstPortion();
    if (!only) return &kNoText;
    if (only->Next() || only->Kind() != TPortionKind::Text) return nullptr;
    return &static_cast<const TTextPortion*>(only)->Text();
}

}  // namespace

QString TTextor::GetText() const {
    if (const QString* run = OnlyRunOf(m_firstParagraph, m_lastParagraph)) return *run;
    return GetRangeText(GetWholeRange());
}

QStringView TTextor::TextView(QString& buffer) const {
    if (const QString* run = OnlyRunOf(m_firstParagraph, m_lastParagraph)) return *run;
    buffer = GetRangeText(GetWholeRange());
    return buffer;
}

namespace {

const TTextPortion* TextPortionOf(const TPortion* portion) noexcept {
    return portion->Kind() == TPortionKind::Text ? static_cast<const TTextPortion*>(portion) : nullptr;
}

uint32_t ParagraphCharacterClasses(const TParagraph* paragraph) noexcept {
    uint32_t classes = 0;
    for (const TPortion* p = paragraph->FirstPortion(); p; p = p->Next())
        if (const TTextPortion* text = TextPortionOf(p))
            classes |= ccTextPortion | CharacterClassesOf(text->Chars(), text->Length());
    return classes;
}

}  // namespace

// The first question about a text of more than a few paragraphs counts every
// paragraph; from then on only the changed ones.
uint32_t TTextor::CharacterClasses() const {
    if (!m_census && ParagraphCount() <= kFewParagraphs) {
        uint32_t classes = 0;
        for (const TParagraph* p = m_firstParagraph; p; p = p->m_next) classes |= ParagraphCharacterClasses(p);
        return classes;
    }
    if (!m_census) {
        m_census = std::make_unique<TTextCensus>();
        for (TParagraph* p = m_firstParagraph; p; p = p->m_next) m_census->Changed(p->Census());
    }
    return m_census->Classes([](TParagraphCensus* census) { return ParagraphCharacterClasses(TParagraph::Of(census)); });
}

QChar TTextor::FirstCharOfClasses(uint32_t classes) const {
    if (!(CharacterClasses() & classes)) return QChar();
    for (const TParagraph* paragraph = m_firstParagraph; paragraph; paragraph = paragraph->m_next) {
        if (m_census && !(paragraph->Census().Classes & classes)) continue;
        for (const TPortion* p = paragraph->FirstPortion(); p; p = p->Next())
            if (const TTextPortion* text = TextPortionOf(p))
                for (QChar c : text->Text())
                    if (CharacterClassesOf(c) & classes) return c;
    }
    return QChar();
}

bool TTextor::IsEmpty() const noexcept {
    return !m_firstParagraph || (m_firstParagraph == m_lastParagraph && !m_firstParagraph->FirstPortion());
}

TPortion* TTextor::GetFirstPortion() const noexcept {
    for (TParagraph* p = m_firstParagraph; p; p = p->Next())
        if (p->FirstPortion()) return p->FirstPortion();
    return nullptr;
}

namespace {

bool IsElement(const TPortion* portion) noexcept { return portion && portion->Kind() == TPortionKind::Element; }

TPortion* PortionBefore(const TTextorPosition& p) noexcept {
    return p.Portion ? p.Portion->Prev() : p.Paragraph->LastPortion();
}

// The run that begins at p (normalised), after the elements there.
TTextorRange TextRunForward(TTextorPosition p, bool acrossParagraphs) noexcept {
    while (IsElement(p.Portion)) p = TTextor::Normalize(TTextorPosition{p.Paragraph, p.Portion, 1});
    const TTextorPosition start = p;
    for (;;) {
        if (p.Portion && !IsElement(p.Portion))
            p = TTextorPosition{p.Paragraph, p.Portion->Next(), 0};
        else if (!p.Portion && acrossParagraphs && p.Paragraph->Next())
            p = p.Paragraph->Next()->StartPosition();
        else
            return TTextorRange{start, p};
    }
}

// The run that ends at p (normalised), before the elements there.
TTextorRange TextRunBackward(TTextorPosition p, bool acrossParagraphs) noexcept {
    while (p.Offset == 0 && IsElement(PortionBefore(p))) p = TTextorPosition{p.Paragraph, PortionBefore(p), 0};
    const TTextorPosition end = p;
    for (;;) {
        TPortion* before = PortionBefore(p);
        if (p.Offset > 0)
            p.Offset = 0;
        else if (before && !IsElement(before))
            p = TTextorPosition{p.Paragraph, before, 0};
        else if (!before && acrossParagraphs && p.Paragraph->Prev())
            p = p.Paragraph->Prev()->EndPosition();
        else
            return TTextorRange{p, end};
    }
}

}  // namespace

TTextorRange TTextor::GetTextRun(const TTextorPosition& position, bool forward, bool acrossParagraphs) const {
    const TTextorPosition p = Normalize(position);
    return forward ? TextRunForward(p, acrossParagraphs) : TextRunBackward(p, acrossParagraphs);
}

// ---------------------------------------------------------------------------
// Rules

bool TTextor::CanBreakBetween(int first, int second) const {
    return first < 0 || second < 0 || first == tcSpace || first == tcTab;
}

bool TTextor::IsSameWord(int first, int second) const {
    if (first < 0 || second < 0) return false;
    if (IsWhiteSpace(second)) return true;
    if (IsWordChar(first) != IsWordChar(second)) return false;
    return !IsWhiteSpace(first);
}

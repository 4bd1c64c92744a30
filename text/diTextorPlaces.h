#pragma once
// The places of a textor's paragraphs: their numbers (from 0) and their tops
// (the sum of the heights before them), kept so that an edit costs what its
// paragraphs cost, not what the whole text costs.
//
// The paragraphs stand in chunks of consecutive paragraphs, at most
// kPlaceChunkMax each; a chunk knows its members in order, the sum of their
// heights and how many of them hold elements. Prefix sums over the chunks
// (a Fenwick tree each for the counts and the heights) give a chunk's first
// number and its top in a number of steps logarithmic in the chunks; they
// are made again at the first question after chunks came or went, so that a
// text built paragraph by paragraph makes them once. Within a chunk, slots
// are kept eagerly and tops lazily. So a paragraph's number, its top, the
// paragraph at a number or at a y, linking or unlinking one and a change of
// its height cost about the chunk size plus a logarithm. A chunk is split
// when full and merged with a neighbour when the two fit in half a chunk.
//
// The places know a paragraph only by its record (TParagraphPlace, a base of
// the paragraph). A text of one chunk (most texts are short) keeps its chunk
// in place, without a list of chunks or sums, and a text of one paragraph
// takes no memory at all.

#include <QVarLengthArray>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

struct TPlaceChunk;

// What the places keep of one paragraph.
struct TParagraphPlace {
    TPlaceChunk* Chunk = nullptr;  // none: not in the chain
    int Slot = 0;                  // place in its chunk
    int TopInChunk = 0;            // right below the chunk's topped members
    int Height = 0;                // the height of its rows as counted in the sums
    int RowsTop = 0;               // the top its rows' stored coordinates were made for
    int ElementPortions = 0;       // how many element portions the paragraph holds
};

// Point changes and prefix sums of a sequence of non-negative numbers, each
// in a number of steps logarithmic in its length (a Fenwick tree).
class TPrefixSums {
public:
    // Room for count values, so that assigning as many takes no memory.
    void Reserve(int count) {
        if (size_t(count) + 1 > m_tree.capacity()) m_tree.reserve(std::max(size_t(count) + 1, 2 * m_tree.capacity()));
    }
    // value(i) for i in 0..count-1.
    template <class Value>
    void Assign(int count, Value value);
    void Add(int index, int delta) noexcept;
    // One more value at the end; takes no memory within the room reserved.
    void Append(int value);
    // The sum of the first count values.
    int Prefix(int count) const noexcept;
    // The largest count whose prefix sum is at most value.
    int CountUpTo(int value) const noexcept;

private:
    std::vector<int> m_tree;  // from 1
};

constexpr int kPlaceChunkMax = 128;

// A run of consecutive paragraphs; room for one member is held in place.
struct TPlaceChunk {
    QVarLengthArray<TParagraphPlace*, 1> Members;
    int Index = 0;              // in the chunk list
    int Height = 0;             // the sum of the members' heights
    int ElementParagraphs = 0;  // members holding element portions
    mutable int ToppedMembers = 0;
    mutable int Top = 0;  // right while TopVersion is the places' height version
    mutable uint32_t TopVersion = 0;
};

class TParagraphPlaces {
public:
    TParagraphPlaces() = default;
    ~TParagraphPlaces();
    TParagraphPlaces(const TParagraphPlaces&) = delete;
    TParagraphPlaces& operator=(const TParagraphPlaces&) = delete;

    int Count() const noexcept { return m_count; }
    int TotalHeight() const noexcept { return m_totalHeight; }

    // Takes a paragraph in after `after` (none: first), before it is linked
    // into the chain; raises (changing nothing) when memory runs out.
    void Insert(TParagraphPlace& place, TParagraphPlace* after);
    // Before the paragraph is unlinked from the chain.
    void Remove(TParagraphPlace& place) noexcept;
    // Before the paragraphs after `after` up to `until` (none: the last) are
    // unlinked, at once.
    void RemoveBetween(TParagraphPlace& after, TParagraphPlace* until) noexcept;
    // The rows of the paragraph are now height high.
    void SetHeight(TParagraphPlace& place, int height) noexcept;
    // The paragraph's count of element portions changes by delta.
    void CountElements(TParagraphPlace& place, int delta) noexcept;

    // -1 when the paragraph is not in the chain.
    int IndexOf(const TParagraphPlace& place) const noexcept;
    // None outside 0..Count()-1.
    TParagraphPlace* At(int index) const noexcept;
    // Without a step while the tops of its chunk are known.
    int TopOf(const TParagraphPlace& place) const noexcept;
    // The paragraph whose rows hold y; none outside 0..TotalHeight()-1.
    TParagraphPlace* AtY(int y) const noexcept;

    // Calls visit for the place of every paragraph holding elements whose top
    // may have changed since the last call (in text order); then forgets the changes.
    template <class Visit>
    void ForEachMovedWithElements(Visit visit);

private:
    // Every chunk in order and the sums over them, once there are several.
    struct TChunkList {
        std::vector<TPlaceChunk*> Chunks;  // m_first among them while it is in use; the others owned
        TPrefixSums Counts;
        TPrefixSums Heights;
        bool SumsStale = true;
    };

    bool IsListed() const noexcept { return m_list && !m_list->Chunks.empty(); }
    int ChunkCount() const noexcept { return IsListed() ? int(m_list->Chunks.size()) : 1; }
    TPlaceChunk& ChunkAt(int index) const noexcept { return IsListed() ? *m_list->Chunks[size_t(index)] : m_first; }
    // Frees a chunk that left the list (the one held in place is emptied).
    void DropChunk(TPlaceChunk* chunk) noexcept;
    void SplitChunk(int index);
    void RemoveChunk(int index) noexcept;
    void MergeAfter(int index) noexcept;
    // Merges the chunks next to index where they fit.
    void MergeAround(int index) noexcept;
    // Slots and chunk links of a chunk's members from slot on.
    void Renumber(TPlaceChunk& chunk, int slot) noexcept;
    void RenumberChunks(int from) noexcept;
    // The chunks changed: the sums are made again when next asked for (in the
    // room taken before, so that a question never takes memory).
    void DropSums() noexcept;
    void MakeSums() const noexcept;
    // A chunk's first number and its top.
    int ChunkStart(int index) const noexcept;
    int ChunkTop(const TPlaceChunk& chunk) const noexcept;
    void TopMembersThrough(const TPlaceChunk& chunk, int slot) const noexcept;
    void NoteMoved(int chunk) noexcept { m_movedFrom = std::min(m_movedFrom, chunk); }
    int TopOfUnknown(const TParagraphPlace& place) const noexcept;

    // The chunk held in place: the only one, or one of the list while it is in use.
    mutable TPlaceChunk m_first;
    std::unique_ptr<TChunkList> m_list;
    int m_count = 0;
    int m_totalHeight = 0;
    // Heights changed since: the chunk tops cached before are stale.
    uint32_t m_heightVersion = 1;
    // The first chunk whose members' tops may have changed since the last ForEachMovedWithElements.
    int m_movedFrom = 0;
};

inline int TParagraphPlaces::TopOf(const TParagraphPlace& place) const noexcept {
    const TPlaceChunk* chunk = place.Chunk;
    if (chunk && place.Slot < chunk->ToppedMembers && chunk->TopVersion == m_heightVersion)
        return chunk->Top + place.TopInChunk;
    return TopOfUnknown(place);
}

template <class Value>
void TPrefixSums::Assign(int count, Value value) {
    m_tree.assign(size_t(count) + 1, 0);
    for (size_t i = 1; i < m_tree.size(); ++i) {
        m_tree[i] += value(int(i - 1));
        const size_t parent = i + (i & (~i + 1));
        if (parent < m_tree.size()) m_tree[parent] += m_tree[i];
    }
}

template <class Visit>
void TParagraphPlaces::ForEachMovedWithElements(Visit visit) {
    const int from = m_movedFrom;
    m_movedFrom = ChunkCount();
    for (int c = from; c < ChunkCount(); ++c) {
        TPlaceChunk& chunk = ChunkAt(c);
        if (chunk.ElementParagraphs == 0) continue;
        for (TParagraphPlace* place : chunk.Members)
            if (place->ElementPortions > 0) visit(*place);
    }
}

#include "text/diTextorPlaces.h"

#include <algorithm>
#include <bit>
#include <tuple>

// ---------------------------------------------------------------------------
// TPrefixSums

void TPrefixSums::Add(int index, int delta) noexcept {
    for (size_t i = size_t(index) + 1; i < m_tree.size(); i += i & (~i + 1)) m_tree[i] += delta;
}

void TPrefixSums::Append(int value) {
    if (m_tree.empty()) m_tree.push_back(0);
    // Entry i holds the values after i - lowbit(i) through i.
    const size_t i = m_tree.size();
    m_tree.push_back(value + Prefix(int(i - 1)) - Prefix(int(i - (i & (~i + 1)))));
}

int TPrefixSums::Prefix(int count) const noexcept {
    int sum = 0;
    for (size_t i = size_t(count); i > 0; i &= i - 1) sum += m_tree[i];
    return sum;
}

int TPrefixSums::CountUpTo(int value) const noexcept {
    const size_t size = m_tree.empty() ? 0 : m_tree.size() - 1;
    size_t count = 0;
    for (size_t step = size ? std::bit_floor(size) : 0; step > 0; step >>= 1) {
        if (count + step <= size && m_tree[count + step] <= value) {
            count += step;
            value -= m_tree[count];
        }
    }
    return int(count);
}

// ---------------------------------------------------------------------------
// TParagraphPlaces

namespace {
constexpr int kPlaceChunkHalf = kPlaceChunkMax / 2;
}  // namespace

TParagraphPlaces::~TParagraphPlaces() {
    if (m_list)
        for (TPlaceChunk* chunk : m_list->Chunks)
            if (chunk != &m_first) delete chunk;
}

void TParagraphPlaces::Insert(TParagraphPlace& place, TParagraphPlace* after) {
    auto target = [&] { return after ? std::pair{after->Chunk, after->Slot + 1} : std::pair{&ChunkAt(0), 0}; };
    auto [chunk, slot] = target();
    if (int(chunk->Members.size()) >= kPlaceChunkMax) {
        SplitChunk(chunk->Index);
        std::tie(chunk, slot) = target();
    }
    chunk->Members.insert(chunk->Members.begin() + slot, &place);
    place.Chunk = nullptr;
    place.Height = place.TopInChunk = place.RowsTop = 0;
    if (place.ElementPortions > 0) ++chunk->ElementParagraphs;
    Renumber(*chunk, slot);
    chunk->ToppedMembers = std::min(chunk->ToppedMembers, slot);
    if (m_list && !m_list->SumsStale) m_list->Counts.Add(chunk->Index, 1);
    ++m_count;
}

void TParagraphPlaces::Remove(TParagraphPlace& place) noexcept {
    TPlaceChunk* chunk = place.Chunk;
    if (!chunk) return;
    const int index = chunk->Index;
    chunk->Members.remove(place.Slot);
    chunk->Height -= place.Height;
    if (place.ElementPortions > 0) --chunk->ElementParagraphs;
    chunk->ToppedMembers = std::min(chunk->ToppedMembers, place.Slot);
    Renumber(*chunk, place.Slot);
    if (m_list && !m_list->SumsStale) {
        m_list->Counts.Add(index, -1);
        m_list->Heights.Add(index, -place.Height);
    }
    m_totalHeight -= place.Height;
    --m_count;
    ++m_heightVersion;
    NoteMoved(index);
    place.Chunk = nullptr;
    place.Height = 0;
    if (chunk->Members.empty())
        RemoveChunk(index);
    else
        MergeAround(index);
}

void TParagraphPlaces::RemoveBetween(TParagraphPlace& after, TParagraphPlace* until) noexcept {
    const int first = after.Chunk->Index;
    const int last = until ? until->Chunk->Index : ChunkCount() - 1;
    for (int c = first; c <= last; ++c) {
        TPlaceChunk& chunk = ChunkAt(c);
        const int from = c == first ? after.Slot + 1 : 0;
        const int end = c == last && until ? until->Slot : int(chunk.Members.size());
        for (int i = from; i < end; ++i) {
            TParagraphPlace& place = *chunk.Members[i];
            chunk.Height -= place.Height;
            m_totalHeight -= place.Height;
            if (place.ElementPortions > 0) --chunk.ElementParagraphs;
            place.Chunk = nullptr;
            place.Height = 0;
        }
        chunk.Members.remove(from, end - from);
        m_count -= end - from;
        chunk.ToppedMembers = std::min(chunk.ToppedMembers, from);
        Renumber(chunk, from);
    }
    // The chunks between the first and the last may be empty now.
    if (IsListed()) {
        std::vector<TPlaceChunk*>& chunks = m_list->Chunks;
        size_t kept = size_t(first) + 1;
        for (size_t i = kept; i <= size_t(last); ++i) {
            if (chunks[i]->Members.empty())
                DropChunk(chunks[i]);
            else
                chunks[kept++] = chunks[i];
        }
        chunks.erase(chunks.begin() + std::ptrdiff_t(kept), chunks.begin() + last + 1);
        RenumberChunks(first + 1);
    }
    DropSums();
    NoteMoved(first);
    MergeAround(first);
}

void TParagraphPlaces::SetHeight(TParagraphPlace& place, int height) noexcept {
    if (!place.Chunk || place.Height == height) return;
    const int delta = height - place.Height;
    place.Height = height;
    place.Chunk->Height += delta;
    place.Chunk->ToppedMembers = std::min(place.Chunk->ToppedMembers, place.Slot + 1);
    if (m_list && !m_list->SumsStale) m_list->Heights.Add(place.Chunk->Index, delta);
    m_totalHeight += delta;
    ++m_heightVersion;
    NoteMoved(place.Chunk->Index);
}

void TParagraphPlaces::CountElements(TParagraphPlace& place, int delta) noexcept {
    const bool held = place.ElementPortions > 0;
    place.ElementPortions += delta;
    const bool holds = place.ElementPortions > 0;
    if (place.Chunk && held != holds) place.Chunk->ElementParagraphs += holds ? 1 : -1;
}

int TParagraphPlaces::IndexOf(const TParagraphPlace& place) const noexcept {
    return place.Chunk ? ChunkStart(place.Chunk->Index) + place.Slot : -1;
}

TParagraphPlace* TParagraphPlaces::At(int index) const noexcept {
    if (index < 0 || index >= m_count) return nullptr;
    int chunk = 0;
    if (ChunkCount() > 1) {
        MakeSums();
        chunk = m_list->Counts.CountUpTo(index);
    }
    return ChunkAt(chunk).Members[index - ChunkStart(chunk)];
}

int TParagraphPlaces::TopOfUnknown(const TParagraphPlace& place) const noexcept {
    if (!place.Chunk) return 0;
    TopMembersThrough(*place.Chunk, place.Slot);
    return ChunkTop(*place.Chunk) + place.TopInChunk;
}

TParagraphPlace* TParagraphPlaces::AtY(int y) const noexcept {
    if (y < 0 || y >= m_totalHeight) return nullptr;
    int index = 0;
    if (ChunkCount() > 1) {
        MakeSums();
        index = m_list->Heights.CountUpTo(y);
        if (index >= ChunkCount()) return nullptr;
    }
    const TPlaceChunk& chunk = ChunkAt(index);
    const int inChunk = y - ChunkTop(chunk);
    TopMembersThrough(chunk, int(chunk.Members.size()) - 1);
    const auto after = std::upper_bound(chunk.Members.begin(), chunk.Members.end(), inChunk,
                                        [](int value, const TParagraphPlace* p) { return value < p->TopInChunk; });
    return after == chunk.Members.begin() ? nullptr : *(after - 1);
}

int TParagraphPlaces::ChunkStart(int index) const noexcept {
    if (index == 0) return 0;
    MakeSums();
    return m_list->Counts.Prefix(index);
}

int TParagraphPlaces::ChunkTop(const TPlaceChunk& chunk) const noexcept {
    if (chunk.TopVersion != m_heightVersion) {
        if (chunk.Index == 0) {
            chunk.Top = 0;
        } else {
            MakeSums();
            chunk.Top = m_list->Heights.Prefix(chunk.Index);
        }
        chunk.TopVersion = m_heightVersion;
    }
    return chunk.Top;
}

void TParagraphPlaces::TopMembersThrough(const TPlaceChunk& chunk, int slot) const noexcept {
    for (int i = chunk.ToppedMembers; i <= slot; ++i) {
        const TParagraphPlace* prev = i > 0 ? chunk.Members[i - 1] : nullptr;
        chunk.Members[i]->TopInChunk = prev ? prev->TopInChunk + prev->Height : 0;
    }
    chunk.ToppedMembers = std::max(chunk.ToppedMembers, slot + 1);
}

void TParagraphPlaces::Renumber(TPlaceChunk& chunk, int slot) noexcept {
    for (qsizetype i = slot; i < chunk.Members.size(); ++i) {
        chunk.Members[i]->Chunk = &chunk;
        chunk.Members[i]->Slot = int(i);
    }
}

void TParagraphPlaces::RenumberChunks(int from) noexcept {
    for (int i = from; i < ChunkCount(); ++i) ChunkAt(i).Index = i;
}

void TParagraphPlaces::DropSums() noexcept {
    if (m_list) m_list->SumsStale = true;
    ++m_heightVersion;
}

// Only when there are several chunks, in the room taken when they came.
void TParagraphPlaces::MakeSums() const noexcept {
    TChunkList& list = *m_list;
    if (!list.SumsStale) return;
    const int count = int(list.Chunks.size());
    list.Counts.Assign(count, [&](int i) { return int(list.Chunks[size_t(i)]->Members.size()); });
    list.Heights.Assign(count, [&](int i) { return list.Chunks[size_t(i)]->Height; });
    list.SumsStale = false;
}

void TParagraphPlaces::DropChunk(TPlaceChunk* chunk) noexcept {
    if (chunk != &m_first) {
        delete chunk;
        return;
    }
    m_first.Members.clear();
    m_first.Index = m_first.Height = m_first.ElementParagraphs = m_first.ToppedMembers = 0;
    m_first.TopVersion = 0;
}

// The second half moves to a new chunk after it; nothing changes when memory
// runs out. The first split lists the chunk held in place.
void TParagraphPlaces::SplitChunk(int index) {
    auto made = std::make_unique<TPlaceChunk>();
    made->Members.reserve(kPlaceChunkMax);
    if (!m_list) m_list = std::make_unique<TChunkList>();
    std::vector<TPlaceChunk*>& chunks = m_list->Chunks;
    if (chunks.empty()) {
        chunks.reserve(2);
        chunks.push_back(&m_first);
    }
    if (chunks.size() == chunks.capacity()) chunks.reserve(2 * chunks.size());
    m_list->Counts.Reserve(int(chunks.size()) + 1);
    m_list->Heights.Reserve(int(chunks.size()) + 1);
    TPlaceChunk& chunk = *chunks[size_t(index)];
    made->Members.append(chunk.Members.constData() + kPlaceChunkHalf, chunk.Members.size() - kPlaceChunkHalf);
    chunk.Members.resize(kPlaceChunkHalf);
    for (const TParagraphPlace* place : made->Members) {
        made->Height += place->Height;
        if (place->ElementPortions > 0) ++made->ElementParagraphs;
    }
    chunk.Height -= made->Height;
    chunk.ElementParagraphs -= made->ElementParagraphs;
    chunk.ToppedMembers = std::min(chunk.ToppedMembers, kPlaceChunkHalf);
    TPlaceChunk* second = made.release();
    chunks.insert(chunks.begin() + index + 1, second);
    RenumberChunks(index + 1);
    Renumber(*second, 0);
    if (size_t(index) + 2 == chunks.size() && !m_list->SumsStale) {
        // The last chunk splits as text is written at the end: the sums
        // follow in place of being made anew over every chunk.
        const int moved = int(second->Members.size());
        m_list->Counts.Add(index, -moved);
        m_list->Heights.Add(index, -second->Height);
        m_list->Counts.Append(moved);
        m_list->Heights.Append(second->Height);
        ++m_heightVersion;
    } else {
        DropSums();
    }
}

// An empty chunk leaves the list; the only chunk stays.
void TParagraphPlaces::RemoveChunk(int index) noexcept {
    NoteMoved(index);
    if (!IsListed()) {
        DropChunk(&m_first);
        return;
    }
    std::vector<TPlaceChunk*>& chunks = m_list->Chunks;
    TPlaceChunk* chunk = chunks[size_t(index)];
    chunks.erase(chunks.begin() + index);
    DropChunk(chunk);
    if (chunks.size() == 1 && chunks.front() == &m_first) chunks.clear();
    RenumberChunks(index);
    DropSums();
}

// Chunk index takes the members of the chunk after it when they fit in half a
// chunk and its room holds them (no memory is taken here).
void TParagraphPlaces::MergeAfter(int index) noexcept {
    TPlaceChunk& chunk = ChunkAt(index);
    TPlaceChunk& next = ChunkAt(index + 1);
    const qsizetype size = chunk.Members.size() + next.Members.size();
    if (size > kPlaceChunkHalf || size > chunk.Members.capacity()) return;
    const int from = int(chunk.Members.size());
    chunk.Members.append(next.Members.constData(), next.Members.size());
    chunk.Height += next.Height;
    chunk.ElementParagraphs += next.ElementParagraphs;
    chunk.ToppedMembers = std::min(chunk.ToppedMembers, from);
    Renumber(chunk, from);
    next.Members.clear();
    RemoveChunk(index + 1);
    NoteMoved(index);
}

void TParagraphPlaces::MergeAround(int index) noexcept {
    if (index + 1 < ChunkCount()) MergeAfter(index);
    if (index > 0) MergeAfter(index - 1);
}

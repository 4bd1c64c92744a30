#include "text/diTextorPlaces.h"

#include "text/diTextor.h"

#include <algorithm>
#include <bit>
#include <tuple>

// ---------------------------------------------------------------------------
// TPrefixSums

void TPrefixSums::Add(int index, int delta) noexcept {
    for (size_t i = size_t(index) + 1; i < m_tree.size(); i += i & (~i + 1)) m_tree[i] += delta;
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

TParagraphPlaces::TParagraphPlaces() = default;
TParagraphPlaces::~TParagraphPlaces() = default;

void TParagraphPlaces::Insert(TParagraph* paragraph, TParagraph* after) {
    if (m_chunks.empty()) {
        auto chunk = std::make_unique<TPlaceChunk>();
        chunk->Members.reserve(1);
        m_chunks.push_back(std::move(chunk));
        RebuildSums();
    }
    auto target = [&] {
        return after ? std::pair{after->m_place.Chunk, after->m_place.Slot + 1} : std::pair{m_chunks.front().get(), 0};
    };
    auto [chunk, slot] = target();
    if (int(chunk->Members.size()) >= kPlaceChunkMax) {
        SplitChunk(chunk->Index);
        std::tie(chunk, slot) = target();
    }
    chunk->Members.insert(chunk->Members.begin() + slot, paragraph);
    paragraph->m_place = TParagraphPlace{};
    Renumber(*chunk, slot);
    chunk->ToppedMembers = std::min(chunk->ToppedMembers, slot);
    m_counts.Add(chunk->Index, 1);
    ++m_count;
}

void TParagraphPlaces::Remove(TParagraph* paragraph) noexcept {
    TParagraphPlace& place = paragraph->m_place;
    TPlaceChunk* chunk = place.Chunk;
    if (!chunk) return;
    const int index = chunk->Index;
    chunk->Members.erase(chunk->Members.begin() + place.Slot);
    chunk->Height -= place.Height;
    if (paragraph->m_elementPortions > 0) --chunk->ElementParagraphs;
    chunk->ToppedMembers = std::min(chunk->ToppedMembers, place.Slot);
    Renumber(*chunk, place.Slot);
    m_counts.Add(index, -1);
    m_heights.Add(index, -place.Height);
    m_totalHeight -= place.Height;
    --m_count;
    ++m_heightVersion;
    NoteMoved(index);
    place = TParagraphPlace{};
    if (chunk->Members.empty()) {
        RemoveChunk(index);
        return;
    }
    if (index + 1 < int(m_chunks.size())) MergeAfter(index);
    if (index > 0) MergeAfter(index - 1);
}

void TParagraphPlaces::Clear() noexcept {
    for (const auto& chunk : m_chunks)
        for (TParagraph* p : chunk->Members) p->m_place = TParagraphPlace{};
    m_chunks.clear();
    m_counts = TPrefixSums();
    m_heights = TPrefixSums();
    m_count = 0;
    m_totalHeight = 0;
    ++m_heightVersion;
    m_movedFrom = 0;
}

void TParagraphPlaces::SetHeight(TParagraph* paragraph, int height) noexcept {
    TParagraphPlace& place = paragraph->m_place;
    if (!place.Chunk || place.Height == height) return;
    const int delta = height - place.Height;
    place.Height = height;
    place.Chunk->Height += delta;
    place.Chunk->ToppedMembers = std::min(place.Chunk->ToppedMembers, place.Slot + 1);
    m_heights.Add(place.Chunk->Index, delta);
    m_totalHeight += delta;
    ++m_heightVersion;
    NoteMoved(place.Chunk->Index);
}

void TParagraphPlaces::ElementsChanged(TParagraph* paragraph, int delta) noexcept {
    TPlaceChunk* chunk = paragraph->m_place.Chunk;
    if (!chunk || delta == 0) return;
    const int now = paragraph->m_elementPortions;
    const int before = now - delta;
    if (before == 0 && now > 0) ++chunk->ElementParagraphs;
    if (before > 0 && now == 0) --chunk->ElementParagraphs;
}

int TParagraphPlaces::IndexOf(const TParagraph* paragraph) const noexcept {
    const TParagraphPlace& place = paragraph->m_place;
    return place.Chunk ? m_counts.Prefix(place.Chunk->Index) + place.Slot : -1;
}

TParagraph* TParagraphPlaces::At(int index) const noexcept {
    if (index < 0 || index >= m_count) return nullptr;
    const int chunk = m_counts.CountUpTo(index);
    return m_chunks[size_t(chunk)]->Members[size_t(index - m_counts.Prefix(chunk))];
}

int TParagraphPlaces::TopOf(const TParagraph* paragraph) const noexcept {
    const TParagraphPlace& place = paragraph->m_place;
    if (!place.Chunk) return 0;
    TopMembersThrough(*place.Chunk, place.Slot);
    return ChunkTop(*place.Chunk) + place.TopInChunk;
}

TParagraph* TParagraphPlaces::AtY(int y) const noexcept {
    if (y < 0 || y >= m_totalHeight) return nullptr;
    const int index = m_heights.CountUpTo(y);
    if (index >= int(m_chunks.size())) return nullptr;
    const TPlaceChunk& chunk = *m_chunks[size_t(index)];
    const int inChunk = y - ChunkTop(chunk);
    TopMembersThrough(chunk, int(chunk.Members.size()) - 1);
    const auto after = std::upper_bound(chunk.Members.begin(), chunk.Members.end(), inChunk,
                                        [](int value, const TParagraph* p) { return value < p->m_place.TopInChunk; });
    return after == chunk.Members.begin() ? nullptr : *(after - 1);
}

int TParagraphPlaces::ChunkTop(const TPlaceChunk& chunk) const noexcept {
    if (chunk.TopVersion != m_heightVersion) {
        chunk.Top = m_heights.Prefix(chunk.Index);
        chunk.TopVersion = m_heightVersion;
    }
    return chunk.Top;
}

void TParagraphPlaces::TopMembersThrough(const TPlaceChunk& chunk, int slot) const noexcept {
    for (int i = chunk.ToppedMembers; i <= slot; ++i) {
        const TParagraph* prev = i > 0 ? chunk.Members[size_t(i - 1)] : nullptr;
        chunk.Members[size_t(i)]->m_place.TopInChunk = prev ? prev->m_place.TopInChunk + prev->m_place.Height : 0;
    }
    chunk.ToppedMembers = std::max(chunk.ToppedMembers, slot + 1);
}

void TParagraphPlaces::Renumber(TPlaceChunk& chunk, int slot) noexcept {
    for (size_t i = size_t(slot); i < chunk.Members.size(); ++i) {
        TParagraphPlace& place = chunk.Members[i]->m_place;
        place.Chunk = &chunk;
        place.Slot = int(i);
    }
}

void TParagraphPlaces::RenumberChunks(int from) noexcept {
    for (size_t i = size_t(from); i < m_chunks.size(); ++i) m_chunks[i]->Index = int(i);
}

void TParagraphPlaces::RebuildSums() {
    const int count = int(m_chunks.size());
    m_counts.Assign(count, [&](int i) { return int(m_chunks[size_t(i)]->Members.size()); });
    m_heights.Assign(count, [&](int i) { return m_chunks[size_t(i)]->Height; });
    ++m_heightVersion;
}

// The second half moves to a new chunk after it; nothing changes when memory runs out.
void TParagraphPlaces::SplitChunk(int index) {
    TPlaceChunk& chunk = *m_chunks[size_t(index)];
    auto made = std::make_unique<TPlaceChunk>();
    made->Members.reserve(kPlaceChunkMax);
    made->Members.assign(chunk.Members.begin() + kPlaceChunkHalf, chunk.Members.end());
    m_chunks.reserve(m_chunks.size() + 1);
    m_counts.Reserve(int(m_chunks.size()) + 1);
    m_heights.Reserve(int(m_chunks.size()) + 1);
    chunk.Members.resize(kPlaceChunkHalf);
    for (TParagraph* p : made->Members) {
        made->Height += p->m_place.Height;
        if (p->m_elementPortions > 0) ++made->ElementParagraphs;
    }
    chunk.Height -= made->Height;
    chunk.ElementParagraphs -= made->ElementParagraphs;
    chunk.ToppedMembers = std::min(chunk.ToppedMembers, kPlaceChunkHalf);
    TPlaceChunk* second = made.get();
    m_chunks.insert(m_chunks.begin() + index + 1, std::move(made));
    RenumberChunks(index + 1);
    Renumber(*second, 0);
    RebuildSums();
}

// The sums shrink where they are: no memory is taken.
void TParagraphPlaces::RemoveChunk(int index) noexcept {
    m_chunks.erase(m_chunks.begin() + index);
    RenumberChunks(index);
    RebuildSums();
    NoteMoved(index);
}

// Chunk index takes the members of the chunk after it when they fit in half a
// chunk and its room holds them (no memory is taken here).
void TParagraphPlaces::MergeAfter(int index) noexcept {
    TPlaceChunk& chunk = *m_chunks[size_t(index)];
    TPlaceChunk& next = *m_chunks[size_t(index + 1)];
    const size_t size = chunk.Members.size() + next.Members.size();
    if (size > size_t(kPlaceChunkHalf) || size > chunk.Members.capacity()) return;
    const int from = int(chunk.Members.size());
    chunk.Members.insert(chunk.Members.end(), next.Members.begin(), next.Members.end());
    chunk.Height += next.Height;
    chunk.ElementParagraphs += next.ElementParagraphs;
    chunk.ToppedMembers = std::min(chunk.ToppedMembers, from);
    Renumber(chunk, from);
    RemoveChunk(index + 1);
    NoteMoved(index);
}

void TParagraphPlaces::NoteMoved(int chunk) noexcept { m_movedFrom = std::min(m_movedFrom, chunk); }

#pragma once
// Blocks of text shared by many short strings. The knot reader copies the
// values of a file into a few large blocks instead of allocating each one on
// its own; a value refers to its block through a counted reference, and its
// string is a QString::fromRawData view into the block. Such a view never
// leaves its owner: it is copied into a string of its own before it is handed
// out. A block goes when the last reference to it goes.

#include <QtGlobal>

#include <atomic>
#include <utility>

class TTextBlock {
public:
    // A block with room for `units` UTF-16 code units that holds `references`
    // references for its maker.
    static TTextBlock* New(qsizetype units, int references);
    TTextBlock(const TTextBlock&) = delete;
    TTextBlock& operator=(const TTextBlock&) = delete;

    char16_t* Data() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
    void AddReference() noexcept { m_references.fetch_add(1, std::memory_order_relaxed); }
    // Drops count references; the last one frees the block.
    void Release(int count) noexcept;

private:
    explicit TTextBlock(int references) noexcept : m_references(references) {}
    ~TTextBlock() = default;

    std::atomic<int> m_references;
};

// One counted reference to a block, or none.
class TTextBlockRef {
public:
    TTextBlockRef() noexcept = default;
    // Takes over a reference the block already counts.
    static TTextBlockRef Adopt(TTextBlock* block) noexcept {
        TTextBlockRef ref;
        ref.m_block = block;
        return ref;
    }
    TTextBlockRef(const TTextBlockRef& other) noexcept : m_block(other.m_block) {
        if (m_block) m_block->AddReference();
    }
    TTextBlockRef& operator=(const TTextBlockRef& other) noexcept {
        TTextBlockRef copy(other);
        return *this = std::move(copy);
    }
    TTextBlockRef(TTextBlockRef&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    TTextBlockRef& operator=(TTextBlockRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_block = other.m_block;
            other.m_block = nullptr;
        }
        return *this;
    }
    ~TTextBlockRef() { Reset(); }

    explicit operator bool() const noexcept { return m_block != nullptr; }
    void Reset() noexcept {
        if (m_block) m_block->Release(1);
        m_block = nullptr;
    }

private:
    TTextBlock* m_block = nullptr;
};

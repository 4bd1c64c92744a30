#include "core/cuTextBlocks.h"

#include <new>

static_assert(sizeof(TTextBlock) % alignof(char16_t) == 0);

TTextBlock* TTextBlock::New(qsizetype units, int references) {
    void* memory = ::operator new(sizeof(TTextBlock) + size_t(units) * sizeof(char16_t));
    return new (memory) TTextBlock(references);
}

void TTextBlock::Release(int count) noexcept {
    if (m_references.fetch_sub(count, std::memory_order_acq_rel) == count) {
        this->~TTextBlock();
        ::operator delete(this);
    }
}

#pragma once
// A table of answers that depend on an object's class alone (TClass), for
// walks over many objects of few classes.

#include "core/cuClasses.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Answers that depend on a class alone, remembered per class for a walk over
// many objects of few classes: a table probed from a slot picked by the
// class's address (mixed first: the classes lie side by side in memory). A
// class finding the table full is asked again each time.
template <class TAnswer, int SlotBits = 8>
class TClassAnswers {
public:
    // The answer for type, asked of ask(type) the first time.
    template <class Ask>
    const TAnswer& For(const TClass* type, Ask&& ask) {
        size_t at = size_t((uint64_t(reinterpret_cast<uintptr_t>(type)) * kMix) >> (64 - SlotBits));
        for (size_t probes = 0; probes < kSlots; ++probes, at = (at + 1) % kSlots) {
            TSlot& slot = m_slots[at];
            if (slot.type == type) return slot.answer;
            if (!slot.type) {
                slot = {type, ask(type)};
                return slot.answer;
            }
        }
        m_spare = ask(type);
        return m_spare;
    }

private:
    struct TSlot {
        const TClass* type = nullptr;
        TAnswer answer{};
    };
    static constexpr size_t kSlots = size_t(1) << SlotBits;
    static constexpr uint64_t kMix = 0x9E3779B97F4A7C15u;  // 2^64 over the golden ratio: Fibonacci hashing
    std::array<TSlot, kSlots> m_slots{};
    TAnswer m_spare{};
};

#include "platform/plClock.h"

#include <atomic>
#include <chrono>

namespace {
class TSystemClock : public TClock {
public:
    int64_t NowMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

const TSystemClock g_systemClock;
std::atomic<const TClock*> g_clock{nullptr};
}  // namespace

const TClock& TClock::Current() noexcept {
    const TClock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : g_systemClock;
}

const TClock* TClock::Install(const TClock* clock) noexcept {
    return g_clock.exchange(clock, std::memory_order_acq_rel);
}

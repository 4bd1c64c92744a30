#include "platform/plClock.h"

#include "platform/plInstaller.h"

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
TServiceSlot<const TClock> g_clock;
}  // namespace

const TClock& TClock::Current() noexcept {
    return g_clock.Get(g_systemClock);
}

const TClock* TClock::Install(const TClock* clock) noexcept {
    return g_clock.Install(clock);
}

#pragma once
// The injectable monotonic clock. Code that measures intervals (typing merge,
// preview pause, double clicks) asks TClock::Now(); tests install a manual clock
// so that nothing ever sleeps.

#include <cstdint>

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since an arbitrary fixed point; never goes backwards.
    virtual int64_t NowMs() const = 0;

    // The clock in use: the steady system clock unless a test installed another.
    static const TClock& Current() noexcept;
    static int64_t Now() { return Current().NowMs(); }
    // Installs `clock` (nullptr: the system clock again); returns the previous one.
    static const TClock* Install(const TClock* clock) noexcept;
};

// A clock that moves only when told; for tests.
class TManualClock : public TClock {
public:
    int64_t NowMs() const override { return m_now; }
    void Advance(int64_t ms) { m_now += ms; }
    void Set(int64_t ms) { m_now = ms; }

private:
    int64_t m_now = 1000000;
};

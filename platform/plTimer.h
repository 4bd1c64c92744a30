#pragma once
// One-shot and repeating timers behind a small interface. The Qt timers run
// on the event loop; tests install a manual timer service that fires timers
// only when its clock is advanced, so nothing ever sleeps.

#include "platform/plInstaller.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TTimer {
public:
    using Callback = std::function<void()>;
    virtual ~TTimer() = default;
    // (Re)starts the timer: onTick runs every intervalMs until Stop. A running
    // timer starts counting again from now.
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
    virtual int Interval() const = 0;
    void SetOnTick(Callback onTick) { m_onTick = std::move(onTick); }

protected:
    void Tick() {
        if (m_onTick) m_onTick();
    }

private:
    Callback m_onTick;
};

class TTimerService {
public:
    virtual ~TTimerService() = default;
    virtual std::unique_ptr<TTimer> MakeTimer() = 0;

    // The service in use: Qt timers unless a test installed another.
    static TTimerService& Current() noexcept;
    // Installs `service` (nullptr: the Qt timers again); returns the previous one.
    static TTimerService* Install(TTimerService* service) noexcept;
    static std::unique_ptr<TTimer> Make() { return Current().MakeTimer(); }
};

// Timers that fire only from Advance; they read time from an internal
// millisecond counter. A timer freed while its tick runs is safe: the service
// forgets it in its destructor and the loop looks timers up again after
// every tick.
class TManualTimerService : public TTimerService {
public:
    TManualTimerService();
    ~TManualTimerService() override;
    std::unique_ptr<TTimer> MakeTimer() override;

    int64_t Now() const noexcept { return m_now; }
    // Moves time forward by ms and fires, in order of due time, every timer
    // that becomes due on the way (a repeating timer as often as it falls due).
    void Advance(int64_t ms);
    int ActiveCount() const;

private:
    class TManualTimer;
    friend class TManualTimer;
    std::vector<TManualTimer*> m_timers;
    int64_t m_now = 0;
};

// Installs a service for the life of a scope.
class TTimerServiceInstaller : public TInstaller<TTimerService> {
public:
    using TInstaller::TInstaller;
};

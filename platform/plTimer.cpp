#include "platform/plTimer.h"

#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <exception>

// ---------------------------------------------------------------------------
// Qt timers

namespace {
// The tick runs from the event loop, where no exception may pass: what a tick
// raises is written to the Qt warning log (the platform's log; the core's
// LogCurrentException writes to the same place) and the timer goes on.
class TQtTimer : public TTimer {
public:
    TQtTimer() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { TickLogging(); });
    }
    void Start(int intervalMs) override { m_timer.start(intervalMs); }
    void Stop() override { m_timer.stop(); }
    bool IsActive() const override { return m_timer.isActive(); }
    int Interval() const override { return m_timer.interval(); }

private:
    void TickLogging() noexcept {
        try {
            Tick();
        } catch (const std::exception& e) {
            qWarning("A timer raised: %s", e.what());
        } catch (...) {
            qWarning("A timer raised an exception of unknown type");
        }
    }

    QTimer m_timer;
};

class TQtTimerService : public TTimerService {
public:
    std::unique_ptr<TTimer> MakeTimer() override { return std::make_unique<TQtTimer>(); }
};

TQtTimerService g_qtTimers;
TServiceSlot<TTimerService> g_service;
}  // namespace

TTimerService& TTimerService::Current() noexcept { return g_service.Get(g_qtTimers); }

TTimerService* TTimerService::Install(TTimerService* service) noexcept { return g_service.Install(service); }

// ---------------------------------------------------------------------------
// Manual timers

class TManualTimerService::TManualTimer : public TTimer {
public:
    explicit TManualTimer(TManualTimerService* service) : m_service(service) { service->m_timers.push_back(this); }
    ~TManualTimer() override {
        if (!m_service) return;
        auto& v = m_service->m_timers;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    void Start(int intervalMs) override {
        m_interval = std::max(intervalMs, 1);
        m_due = (m_service ? m_service->m_now : 0) + m_interval;
        m_active = true;
    }
    void Stop() override { m_active = false; }
    bool IsActive() const override { return m_active; }
    int Interval() const override { return m_interval; }
    void Fire() {
        m_due += m_interval;
        Tick();
    }

    TManualTimerService* m_service;
    int m_interval = 0;
    int64_t m_due = 0;
    bool m_active = false;
};

TManualTimerService::TManualTimerService() = default;

TManualTimerService::~TManualTimerService() {
    for (TManualTimer* t : m_timers) t->m_service = nullptr;
}

std::unique_ptr<TTimer> TManualTimerService::MakeTimer() { return std::make_unique<TManualTimer>(this); }

void TManualTimerService::Advance(int64_t ms) {
    const int64_t end = m_now + std::max<int64_t>(ms, 0);
    for (;;) {
        TManualTimer* next = nullptr;
        for (TManualTimer* t : m_timers)
            if (t->m_active && t->m_due <= end && (!next || t->m_due < next->m_due)) next = t;
        if (!next) break;
        m_now = std::max(m_now, next->m_due);
        next->Fire();
    }
    m_now = end;
}

int TManualTimerService::ActiveCount() const {
    return int(std::count_if(m_timers.begin(), m_timers.end(), [](TManualTimer* t) { return t->m_active; }));
}

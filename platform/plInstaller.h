#pragma once
// Replaceable platform services (timers, the clock, input state, files,
// shell, dialogs, screen cursor): the slot that holds the installed
// replacement of a service beside its default, and the guard that installs a
// replacement (a fake in tests) for its lifetime. Service may be const-qualified (a service only read).

#include <atomic>

// The installed replacement of a service, read and exchanged atomically so
// that any thread may ask for the service in use.
template <class Service>
class TServiceSlot {
public:
    // The installed service, or `fallback` when none is installed.
    Service& Get(Service& fallback) const noexcept {
        Service* s = m_installed.load(std::memory_order_acquire);
        return s ? *s : fallback;
    }
    // Installs `service` (nullptr: the default again); returns the previous one.
    Service* Install(Service* service) noexcept { return m_installed.exchange(service, std::memory_order_acq_rel); }

private:
    std::atomic<Service*> m_installed{nullptr};
};

// Installs a replacement now and the previous service back at the end.
// Service offers `static Service* Install(Service*) noexcept`.
template <class Service>
class TInstaller {
public:
    explicit TInstaller(Service* replacement) noexcept : m_previous(Service::Install(replacement)) {}
    ~TInstaller() { Service::Install(m_previous); }
    TInstaller(const TInstaller&) = delete;
    TInstaller& operator=(const TInstaller&) = delete;

private:
    Service* m_previous;
};

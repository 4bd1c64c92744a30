#pragma once
// A guard that installs a replacement of a platform service (a fake in tests)
// for its lifetime: Service::Install(replacement) now, the previous one back
// at the end. Service offers `static Service* Install(Service*) noexcept`.

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

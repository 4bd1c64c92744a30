#include "core/cuClasses.h"

#include "core/cuStringIds.h"

#include <QtGlobal>

#include <atomic>

namespace {

// Read by every thread that raises; written only at the localisation unit's
// start and end.
std::atomic<Exception::TextSource> g_textSource{nullptr};

}  // namespace

// ---------------------------------------------------------------------------
// TClass

bool TClass::InheritsFrom(const TClass* other) const noexcept {
    for (const TClass* c = this; c; c = c->m_parent)
        if (c == other) return true;
    return false;
}

TItfObject* TClass::NewInstance() const {
    if (!m_factory)
        throw Exception::FromId(strAbstractClass, {Name()});
    return m_factory();
}

// ---------------------------------------------------------------------------
// Exception

Exception::Exception(QString text, int id) : m_text(std::move(text)), m_utf8(m_text.toUtf8()), m_id(id) {}

Exception Exception::FromId(int id, const QStringList& args) {
    const TextSource source = g_textSource.load(std::memory_order_acquire);
    return Exception(source ? source(id, args) : QString(), id);
}

Exception::TextSource Exception::InstallTextSource(TextSource source) noexcept {
    return g_textSource.exchange(source, std::memory_order_acq_rel);
}

void LogCurrentException(const char* context) noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        qWarning("%s: %s", context, e.what());
    } catch (...) {
        qWarning("%s: an exception of unknown type", context);
    }
}

// ---------------------------------------------------------------------------
// TItfObject

TItfObject::~TItfObject() = default;

const TClass* TItfObject::StaticClass() noexcept {
    static const TClass cls("TItfObject", nullptr);
    return &cls;
}

const TClass* TItfObject::ClassType() const noexcept { return StaticClass(); }

void TItfObject::AddHandler(const THandler& handler) {
    if (!m_handlers) m_handlers = std::make_unique<THandlerList<THandler>>();
    m_handlers->Add(handler);
}

void TItfObject::RemoveHandler(const THandler& handler) {
    if (m_handlers) m_handlers->Remove(handler);
}

int TItfObject::HandlerCount() const noexcept { return m_handlers ? m_handlers->Count() : 0; }

void TItfObject::Broadcast(int msg, intptr_t p1, intptr_t p2) {
    // The walk survives handlers that free this object: it returns at once
    // without touching the freed list.
    if (m_handlers) m_handlers->Walk([&](const THandler& h) { h(this, msg, p1, p2); });
}

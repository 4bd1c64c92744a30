#include "core/cuClasses.h"

#include "core/cuLocalization.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TClass

bool TClass::InheritsFrom(const TClass* other) const noexcept {
    for (const TClass* c = this; c; c = c->m_parent)
        if (c == other) return true;
    return false;
}

TItfObject* TClass::NewInstance() const {
    if (!m_factory)
        throw Exception(QStringLiteral("Cannot create an instance of the abstract class %1").arg(Name()));
    return m_factory();
}

// ---------------------------------------------------------------------------
// Exception

Exception::Exception(QString text, int id) : m_text(std::move(text)), m_utf8(m_text.toUtf8()), m_id(id) {}

Exception Exception::FromId(int id, const QStringList& args) {
    return Exception(LoadStrFmt(id, args), id);
}

// ---------------------------------------------------------------------------
// TItfObject

// One list entry. The serial identifies the entry itself, so that a walk can
// find it again after other entries moved, even when an equal handler stands
// in the list twice.
struct TItfObject::HandlerList {
    struct Entry {
        THandler handler;
        uint64_t serial;
    };
    std::vector<Entry> entries;
    uint64_t nextSerial = 1;
    BroadcastFrame* frames = nullptr;  // innermost running broadcast

    int IndexOfSerial(uint64_t serial) const {
        for (int i = int(entries.size()) - 1; i >= 0; --i)
            if (entries[size_t(i)].serial == serial) return i;
        return -1;
    }
};

// A running broadcast; the destructor of the object marks every running frame
// so that the walks stop without touching freed memory.
struct TItfObject::BroadcastFrame {
    BroadcastFrame* outer;
    bool destroyed = false;
};

void TItfObject::HandlerListDeleter::operator()(HandlerList* list) const noexcept { delete list; }

TItfObject::~TItfObject() {
    if (m_handlers)
        for (BroadcastFrame* f = m_handlers->frames; f; f = f->outer) f->destroyed = true;
}

const TClass* TItfObject::StaticClass() noexcept {
    static const TClass cls("TItfObject", nullptr);
    return &cls;
}

const TClass* TItfObject::ClassType() const noexcept { return StaticClass(); }

void TItfObject::AddHandler(const THandler& handler) {
    if (!m_handlers) m_handlers.reset(new HandlerList());
    m_handlers->entries.push_back({handler, m_handlers->nextSerial++});
}

void TItfObject::RemoveHandler(const THandler& handler) {
    if (!m_handlers) return;
    auto& e = m_handlers->entries;
    for (auto it = e.rbegin(); it != e.rend(); ++it) {
        if (it->handler == handler) {
            e.erase(std::next(it).base());
            return;
        }
    }
}

int TItfObject::HandlerCount() const noexcept {
    return m_handlers ? int(m_handlers->entries.size()) : 0;
}

void TItfObject::Broadcast(int msg, intptr_t p1, intptr_t p2) {
    if (!m_handlers || m_handlers->entries.empty()) return;
    HandlerList* list = m_handlers.get();
    BroadcastFrame frame{list->frames};
    list->frames = &frame;
    // Unlinks the frame on every way out (a handler may raise), unless the
    // object and its list were freed meanwhile.
    struct Unlink {
        HandlerList* list;
        BroadcastFrame* frame;
        ~Unlink() {
            if (!frame->destroyed) list->frames = frame->outer;
        }
    } unlink{list, &frame};

    int i = int(list->entries.size()) - 1;
    uint64_t lastKept = 0;
    while (i >= 0) {
        const HandlerList::Entry entry = list->entries[size_t(i)];
        entry.handler(this, msg, p1, p2);
        if (frame.destroyed) return;  // the object is gone; so is its list

        if (i < int(list->entries.size()) && list->entries[size_t(i)].serial == entry.serial) {
            lastKept = entry.serial;
            i -= 1;
        } else if (int j = list->IndexOfSerial(entry.serial); j >= 0) {
            lastKept = entry.serial;
            i = j - 1;
        } else if (lastKept != 0) {
            int k = list->IndexOfSerial(lastKept);
            i = k < 0 ? -1 : k - 1;
        } else {
            i = int(list->entries.size()) - 1;
        }
    }
}

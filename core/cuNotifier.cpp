#include "core/cuNotifier.h"

#include "core/cuStringIds.h"

T_CLASS_IMPL(TNotify, TItfObject)
T_CLASS_IMPL(TFlagsNotify, TNotify)

// The queue links of a notification, for the chain algorithms.
struct TNotifier::QueueLinks {
    static TNotify* Next(TNotify* n) { return n->m_next; }
    static void SetNext(TNotify* n, TNotify* v) { n->m_next = v; }
    static TNotify* Prev(TNotify* n) { return n->m_prev; }
    static void SetPrev(TNotify* n, TNotify* v) { n->m_prev = v; }
};

void TNotify::Post(std::unique_ptr<TNotify> notify) {
    // A notification made for no notifier has nobody to tell: it just ends.
    if (TNotifier* notifier = notify ? notify->Notifier() : nullptr) notifier->Enqueue(std::move(notify));
}

int TFlagsNotify::Merge(TNotify* queued) {
    if (queued->ClassType() != ClassType()) return mrUnrelated;
    static_cast<TFlagsNotify*>(queued)->AddFlags(m_flags);
    return mrMerged;
}

// ---------------------------------------------------------------------------
// TNotifier

const auto& TNotifier::Queue() {
    static const auto links =
        MakeBidiAccess(&QueueLinks::Next, &QueueLinks::SetNext, &QueueLinks::Prev, &QueueLinks::SetPrev);
    return links;
}

namespace {

// Frees a detached batch, first to last.
void FreeBatch(TNotify* first) {
    while (first) {
        TNotify* next = first->Next();
        delete first;
        first = next;
    }
}
}  // namespace

TNotifier::~TNotifier() {
    try {
        m_listeners.Walk([this](const TNotifyListener& l) { l(this, nullptr); });
    } catch (...) {
        LogCurrentException("A listener raised while its notifier was destroyed");
    }
    FreeBatch(m_first);
}

void TNotifier::PostFlags(uint32_t flags, const TClass* notifyClass) {
    const TClass* cls = notifyClass ? notifyClass : TFlagsNotify::StaticClass();
    if (!cls->InheritsFrom(TFlagsNotify::StaticClass()))
        throw Exception::FromId(strNotFlagsNotifyClass, {cls->Name()});
    std::unique_ptr<TNotify> notify(static_cast<TNotify*>(cls->NewInstance()));
    notify->m_notifier = this;
    static_cast<TFlagsNotify*>(notify.get())->SetFlags(flags);
    TNotify::Post(std::move(notify));
}

void TNotifier::Unqueue(TNotify* notify) { TBidirectionalList::Remove(m_first, m_last, notify, Queue()); }

void TNotifier::Enqueue(std::unique_ptr<TNotify> notify) {
    notify->m_notifier = this;
    for (TNotify* queued = m_last; queued;) {
        TNotify* older = queued->m_prev;
        switch (notify->Merge(queued)) {
        case TNotify::mrMerged:
            return;  // `notify` is freed on the way out
        case TNotify::mrObsolete:
            Unqueue(queued);
            delete queued;
            break;
        case TNotify::mrCancel:
            Unqueue(queued);
            delete queued;
            return;
        case TNotify::mrStop:
            older = nullptr;
            break;
        default:
            break;
        }
        queued = older;
    }
    TBidirectionalList::Insert(m_first, m_last, notify.release(), nullptr, Queue());
    if (m_lockCount == 0) Dispatch();
}

void TNotifier::Unlock() {
    if (m_lockCount > 0 && --m_lockCount == 0 && m_first) Dispatch();
}

void TNotifier::Dispatch() {
    TNotify* batch = m_first;
    if (!batch) return;
    // The queue is empty again before any listener runs, so listeners may post.
    m_first = m_last = nullptr;
    struct BatchOwner {
        TNotify* first;
        ~BatchOwner() { FreeBatch(first); }
    } owner{batch};
    // The walk stops by itself once the list is empty, and returns at once
    // when a listener destroyed this notifier; the batch is ours either way.
    m_listeners.Walk([this, batch](const TNotifyListener& l) { l(this, batch); });
}

#pragma once
// A small notification hub with a queue. A source posts notification objects;
// each is offered to the notifications still waiting so that like ones can be
// combined, and is then handed to every listener. Nothing holds the queue back
// in the program, so a post is normally dispatched at once and then freed.

#include "core/cuClasses.h"

#include <memory>

class TNotifier;

// One notification. A notifier owns it from the moment it is posted.
class TNotify : public TItfObject {
    T_CLASS(TNotify)
public:
    // Results of Merge.
    enum : int {
        mrUnrelated = 0,  // go on with the next older waiting notification
        mrMerged = 1,     // absorbed by the waiting one: this one is freed
        mrObsolete = 2,   // the waiting one is obsolete: it is freed, go on
        mrCancel = 3,     // the two cancel out: both are freed
        mrStop = 4,       // stop looking: this one is queued
    };

    explicit TNotify(TNotifier* notifier = nullptr) noexcept : m_notifier(notifier) {}

    TNotifier* Notifier() const noexcept { return m_notifier; }
    // The next notification of the same batch; nil after the last.
    TNotify* Next() const noexcept { return m_next; }
    TNotify* Prev() const noexcept { return m_prev; }

    // Asked of a new notification for each waiting one, newest first.
    virtual int Merge(TNotify* queued) { return mrUnrelated; }

    // Hands the notification to its notifier, which owns it from then on.
    static void Post(std::unique_ptr<TNotify> notify);

private:
    TNotifier* m_notifier;
    TNotify* m_next = nullptr;
    TNotify* m_prev = nullptr;
    friend class TNotifier;
};

// A notification whose flag word says what changed. A new one merges into a
// waiting one of exactly the same class by OR-ing its flags into it.
class TFlagsNotify : public TNotify {
    T_CLASS(TFlagsNotify)
public:
    explicit TFlagsNotify(TNotifier* notifier = nullptr, uint32_t flags = 0) noexcept
        : TNotify(notifier), m_flags(flags) {}

    uint32_t Flags() const noexcept { return m_flags; }
    void SetFlags(uint32_t flags) noexcept { m_flags = flags; }
    void AddFlags(uint32_t flags) noexcept { m_flags |= flags; }

    int Merge(TNotify* queued) override;

private:
    uint32_t m_flags;
};

// A listener: an object and its method void (TNotifier* sender, TNotify* first).
// `first` is the first notification of a batch (the rest follow through
// Next()), or nil when the notifier is being destroyed.
struct TNotifyListener {
    using Thunk = void (*)(void* object, TNotifier* sender, TNotify* first);
    void* object = nullptr;
    Thunk thunk = nullptr;

    void operator()(TNotifier* sender, TNotify* first) const { thunk(object, sender, first); }
    friend bool operator==(const TNotifyListener&, const TNotifyListener&) = default;
};

namespace detail {
template <auto Method, class C>
void NotifyThunk(void* object, TNotifier* sender, TNotify* first) {
    (static_cast<C*>(object)->*Method)(sender, first);
}
}  // namespace detail

// MakeNotifyListener<&C::OnNotify>(this)
template <auto Method, class C>
TNotifyListener MakeNotifyListener(C* object) noexcept {
    return TNotifyListener{object, &detail::NotifyThunk<Method, C>};
}

class TNotifier {
public:
    TNotifier() = default;
    // Calls every listener once with a nil notification, last added first,
    // then frees whatever still waits.
    ~TNotifier();
    TNotifier(const TNotifier&) = delete;
    TNotifier& operator=(const TNotifier&) = delete;

    void AddListener(const TNotifyListener& listener) { m_listeners.Add(listener); }
    // Removes the last-added equal entry; nothing when absent.
    void RemoveListener(const TNotifyListener& listener) { m_listeners.Remove(listener); }
    int ListenerCount() const noexcept { return m_listeners.Count(); }

    // Posts a new notification of notifyClass (TFlagsNotify when nil), which
    // must be TFlagsNotify or a descendant of it.
    void PostFlags(uint32_t flags, const TClass* notifyClass = nullptr);
    // Offers the notification to the waiting ones (see TNotify::Merge), queues
    // it when it is still alive and was not merged, and dispatches unless the
    // queue is held back.
    void Enqueue(std::unique_ptr<TNotify> notify);
    // Detaches the whole queue, hands its first notification to every listener
    // (last added first; a listener may post again, which dispatches
    // separately), then frees the batch.
    void Dispatch();

    // While the lock count is above 0 posted notifications wait in the queue;
    // Unlock dispatches them when it reaches 0. Nothing in the program holds a
    // notifier back; the count exists for sources that gather changes.
    void Lock() noexcept { ++m_lockCount; }
    void Unlock();
    int LockCount() const noexcept { return m_lockCount; }
    // The waiting notifications, oldest first.
    TNotify* First() const noexcept { return m_first; }

private:
    struct QueueLinks;
    static const auto& Queue();
    void Unqueue(TNotify* notify);

    THandlerList<TNotifyListener> m_listeners;
    TNotify* m_first = nullptr;
    TNotify* m_last = nullptr;
    int m_lockCount = 0;
};

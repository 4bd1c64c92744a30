#pragma once
// A list of callable entries walked last added first, tolerant of entries
// that add or remove entries, or free the list's owner, while they are called.
// TItfObject's handlers and TNotifier's listeners are both kept in one.

#include <cstdint>
#include <iterator>
#include <vector>

template <class H>
class THandlerList {
public:
    THandlerList() = default;
    THandlerList(const THandlerList&) = delete;
    THandlerList& operator=(const THandlerList&) = delete;
    // Every walk still running over this list stops without touching it again.
    ~THandlerList() {
        for (Frame* f = m_frames; f; f = f->outer) f->destroyed = true;
    }

    // Appends; the same handler may stand in the list more than once.
    void Add(const H& handler) { m_entries.push_back({handler, m_nextSerial++}); }

    // Removes the last entry equal to `handler`; false when there is none.
    bool Remove(const H& handler) {
        for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
            if (it->handler == handler) {
                m_entries.erase(std::next(it).base());
                return true;
            }
        }
        return false;
    }

    int Count() const noexcept { return int(m_entries.size()); }
    bool IsEmpty() const noexcept { return m_entries.empty(); }
    const H& At(int index) const { return m_entries[size_t(index)].handler; }

    // Calls call(handler) for every entry, last added first. After each call
    // the walk finds its place again:
    //  - the entry is still at its index: go on below it;
    //  - it moved (an entry below it left): go on below its new index;
    //  - it is gone: go on below the last entry that stayed, which ends the
    //    walk when that one is gone too; when none stayed yet and the handler
    //    added itself again, go on below that new entry (it counts as kept);
    //    otherwise start again at the current end of the list.
    // Entries are told apart by a serial of their own, so duplicated handlers
    // never stand in for each other. Returns false when a call destroyed the
    // list (and so, in practice, its owner): the caller must not touch either.
    template <class Call>
    bool Walk(Call&& call) {
        if (m_entries.empty()) return true;
        Frame frame{m_frames};
        m_frames = &frame;
        // Unlinks the frame on every way out, a raising call included, unless
        // the list is gone.
        struct Unlink {
            THandlerList* list;
            Frame* frame;
            ~Unlink() {
                if (!frame->destroyed) list->m_frames = frame->outer;
            }
        } unlink{this, &frame};

        int i = int(m_entries.size()) - 1;
        uint64_t lastKept = 0;
        while (i >= 0) {
            const Entry entry = m_entries[size_t(i)];
            const uint64_t firstAdded = m_nextSerial;
            call(entry.handler);
            if (frame.destroyed) return false;

            if (i < int(m_entries.size()) && m_entries[size_t(i)].serial == entry.serial) {
                lastKept = entry.serial;
                i -= 1;
            } else if (int j = IndexOfSerial(entry.serial); j >= 0) {
                lastKept = entry.serial;
                i = j - 1;
            } else if (lastKept != 0) {
                i = IndexOfSerial(lastKept) - 1;  // -1 - 1 ends the walk when it is gone
            } else if (int k = IndexOfAddedSince(entry.handler, firstAdded); k >= 0) {
                // Restarting at the end would call it again, and again if it
                // re-adds itself every time.
                lastKept = m_entries[size_t(k)].serial;
                i = k - 1;
            } else {
                i = int(m_entries.size()) - 1;
            }
        }
        return true;
    }

private:
    struct Entry {
        H handler;
        uint64_t serial;
    };
    // One running walk; walks nest when a call walks the same list again.
    struct Frame {
        Frame* outer;
        bool destroyed = false;
    };

    int IndexOfSerial(uint64_t serial) const noexcept {
        for (int i = int(m_entries.size()) - 1; i >= 0; --i)
            if (m_entries[size_t(i)].serial == serial) return i;
        return -1;
    }

    // The last entry equal to handler that was added at or after serial `from`.
    int IndexOfAddedSince(const H& handler, uint64_t from) const {
        for (int i = int(m_entries.size()) - 1; i >= 0; --i)
            if (m_entries[size_t(i)].serial >= from && m_entries[size_t(i)].handler == handler) return i;
        return -1;
    }

    std::vector<Entry> m_entries;
    uint64_t m_nextSerial = 1;
    Frame* m_frames = nullptr;
};

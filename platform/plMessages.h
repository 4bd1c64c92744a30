#pragma once
// Messages a window posts to itself: a numbered event (with two integer
// arguments) that arrives once the event loop gets to it, and the dropping of
// those still waiting. Numbers from kUserMessageBase up are the windows' own.

#include <QEvent>

#include <cstdint>

class QObject;

constexpr int kUserMessageBase = 1024;

class TPostedMessage : public QEvent {
public:
    TPostedMessage(int message, intptr_t p1, intptr_t p2);

    int Message() const noexcept { return m_message; }
    intptr_t P1() const noexcept { return m_p1; }
    intptr_t P2() const noexcept { return m_p2; }

    // The event type of every posted message (registered with Qt once).
    static QEvent::Type EventType() noexcept;

private:
    int m_message;
    intptr_t m_p1;
    intptr_t m_p2;
};

// Queues message for receiver; the event loop delivers it later.
void PostMessage(QObject* receiver, int message, intptr_t p1 = 0, intptr_t p2 = 0);
// Drops every message still queued for receiver.
void RemovePostedMessages(QObject* receiver);
// The posted message that event is, with the number asked for; nil otherwise.
const TPostedMessage* AsPostedMessage(const QEvent* event, int message) noexcept;

#include "platform/plMessages.h"

#include <QCoreApplication>

TPostedMessage::TPostedMessage(int message, intptr_t p1, intptr_t p2)
    : QEvent(EventType()), m_message(message), m_p1(p1), m_p2(p2) {}

QEvent::Type TPostedMessage::EventType() noexcept {
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void PostMessage(QObject* receiver, int message, intptr_t p1, intptr_t p2) {
    QCoreApplication::postEvent(receiver, new TPostedMessage(message, p1, p2));
}

void RemovePostedMessages(QObject* receiver) {
    QCoreApplication::removePostedEvents(receiver, TPostedMessage::EventType());
}

const TPostedMessage* AsPostedMessage(const QEvent* event, int message) noexcept {
    if (!event || event->type() != TPostedMessage::EventType()) return nullptr;
    const auto* posted = static_cast<const TPostedMessage*>(event);
    return posted->Message() == message ? posted : nullptr;
}

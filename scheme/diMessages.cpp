#include "scheme/diMessages.h"

#include "core/cuClasses.h"

#include "platform/plSynchronize.h"

#include <QThread>

// ---------------------------------------------------------------------------
// TElementMessage

void TElementMessage::AddSegment(TElementMessages* list, uint8_t kind, const QString& value, const QString& text) {
    m_segments.append({kind, text, value});
    if (list && list->OnSegmentAdded) {
        const qsizetype index = m_segments.size() - 1;
        list->Raise([list, this, kind, index] {
            TElementMessageSegment& segment = m_segments[index];
            list->OnSegmentAdded(list, this, kind, segment.Text, segment.Value);
        });
    }
}

void TElementMessage::Assign(TElementMessages* list, const TElementMessage& other) {
    m_kind = other.m_kind;
    m_segments.clear();
    const QList<TElementMessageSegment> segments = other.m_segments;  // other may be this
    for (const TElementMessageSegment& s : segments) AddSegment(list, s.Kind, s.Value, s.Text);
}

QString TElementMessage::GetText() const {
    QString text;
    for (const TElementMessageSegment& s : m_segments) text += s.Text;
    return text;
}

// ---------------------------------------------------------------------------
// TElementMessages

TElementMessages::TElementMessages() = default;
TElementMessages::~TElementMessages() = default;

void TElementMessages::Raise(const std::function<void()>& call) {
    if (m_thread && QThread::currentThread() == m_thread)
        Synchronize([&call] {
            try {
                call();
            } catch (...) {
                // An event handler must not throw across the event loop.
                LogCurrentException("An element-messages event raised on the user-interface thread");
            }
        });
    else
        call();
}

TElementMessage* TElementMessages::Add(std::unique_ptr<TElementMessage> message) {
    if (OnBeforeAdd) {
        bool accept = true;
        TElementMessage* m = message.get();
        Raise([this, m, &accept] { OnBeforeAdd(this, m, accept); });
        if (!accept) return nullptr;
    }
    if (!m_items) m_items = std::make_unique<std::vector<std::unique_ptr<TElementMessage>>>();
    TElementMessage* added = message.get();
    m_items->push_back(std::move(message));
    if (OnAdded) Raise([this, added] { OnAdded(this, added); });
    return added;
}

void TElementMessages::Clear() {
    if (!m_items) return;
    m_items.reset();
    if (OnCleared) Raise([this] { OnCleared(this); });
}

void TElementMessages::BeginUpdate() {
    if (m_updateCount == 0) Clear();
    ++m_updateCount;
}

void TElementMessages::EndUpdate() {
    if (m_updateCount > 0) --m_updateCount;
}

bool TElementMessages::HasKindIn(uint8_t kinds) const noexcept {
    if (!m_items) return false;
    for (const auto& m : *m_items)
        if (m->Kind() < 8 && (kinds & (1u << m->Kind()))) return true;
    return false;
}

int TElementMessages::GetSeverity() const noexcept {
    if (HasKindIn(1u << mkError)) return 3;
    if (HasKindIn((1u << mkWarning) | (1u << mkValueRequired) | (1u << mkInvalidContent))) return 2;
    if (HasKindIn(1u << mkHint)) return 1;
    return 0;
}

void TElementMessages::AddFrom(const TElementMessages& other) {
    const int count = other.GetCount();  // other may be this list
    for (int i = 0; i < count; ++i) {
        auto copy = std::make_unique<TElementMessage>();
        copy->Assign(this, *other.GetItem(i));
        Add(std::move(copy));
    }
}

TElementMessage* TElementMessages::AddTextMessage(uint8_t kind, const QString& text) {
    auto m = std::make_unique<TElementMessage>(kind);
    m->AddSegment(this, skText, QString(), text);
    return Add(std::move(m));
}

TElementMessage* TElementMessages::AddLinkMessage(uint8_t kind, const QString& templ, uint8_t linkKind,
                                                  const QString& value) {
    QString before, link, after;
    const qsizetype open = templ.indexOf(QLatin1Char('['));
    if (open < 0) {
        link = templ;
    } else {
        before = templ.left(open);
        const qsizetype close = templ.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0) {
            link = templ.mid(open + 1);
        } else {
            link = templ.mid(open + 1, close - open - 1);
            after = templ.mid(close + 1);
        }
    }
    auto m = std::make_unique<TElementMessage>(kind);
    if (!before.isEmpty()) m->AddSegment(this, skText, QString(), before);
    m->AddSegment(this, linkKind, value, link);
    if (!after.isEmpty()) m->AddSegment(this, skText, QString(), after);
    return Add(std::move(m));
}

TElementMessage* TElementMessages::AddElementLinkMessage(uint8_t kind, const QString& templ,
                                                         const QString& elementNumberText) {
    return AddLinkMessage(kind, templ, skElements, elementNumberText);
}

TElementMessage* TElementMessages::AddPathLinkMessage(uint8_t kind, const QString& templ, const QString& path) {
    return AddLinkMessage(kind, templ, skFileName, path);
}

// ---------------------------------------------------------------------------

QString SanitizeMessageText(const QString& text) {
    constexpr qsizetype kMax = 200, kKeep = 197;
    QString result;
    if (text.size() > kMax) {
        qsizetype keep = kKeep;
        if (text.at(keep - 1).isHighSurrogate()) --keep;
        result = text.left(keep) + QStringLiteral("...");
    } else {
        result = text;
    }
    for (QChar& c : result)
        if (c.unicode() < QChar::Space || c == QLatin1Char('[') || c == QLatin1Char(']'))
            c = QChar(QChar::ReplacementCharacter);
    return result;
}

QString RemoveLinkBrackets(const QString& text) {
    QString result = text;
    result.remove(QLatin1Char('['));
    result.remove(QLatin1Char(']'));
    return result;
}

#pragma once
// Element messages: problems found in a scheme, attached to elements, to a
// scheme's load or to a generator run, and shown in the log. A message has a
// kind and a text made of segments; link segments point at elements, files or
// settings. A list may be bound to a worker thread: its events then run on the
// user-interface thread while the worker waits.

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QThread;
class TElementMessages;

// Message kinds.
enum : uint8_t {
    mkInformation = 0,
    mkHint = 1,
    mkWarning = 2,
    mkError = 3,
    mkValueRequired = 4,
    mkInvalidContent = 5,
};

// Segment kinds.
enum : uint8_t {
    skText = 0,
    skElements = 1,  // Value: the element number as decimal text
    skFileName = 2,  // Value: the path
    skSettings = 3,
};

struct TElementMessageSegment {
    uint8_t Kind = skText;
    QString Text;
    QString Value;
};

class TElementMessage {
public:
    explicit TElementMessage(uint8_t kind = mkInformation) noexcept : m_kind(kind) {}

    uint8_t Kind() const noexcept { return m_kind; }
    const QList<TElementMessageSegment>& Segments() const noexcept { return m_segments; }
    int SegmentCount() const noexcept { return int(m_segments.size()); }
    const TElementMessageSegment& Segment(int index) const { return m_segments.at(index); }
    // Changes the value of one segment in place (element links after a renumbering).
    void SetSegmentValue(int index, const QString& value) { m_segments[index].Value = value; }

    // Appends a segment and announces it through the list's OnSegmentAdded
    // (list may be nil), whose handler may change the stored value.
    void AddSegment(TElementMessages* list, uint8_t kind, const QString& value, const QString& text);
    // Copies kind and every segment of other, each announced as by AddSegment.
    void Assign(TElementMessages* list, const TElementMessage& other);
    // The segment texts joined without separators.
    QString GetText() const;

private:
    uint8_t m_kind;
    QList<TElementMessageSegment> m_segments;
};

class TElementMessages {
public:
    using ClearedEvent = std::function<void(TElementMessages* list)>;
    using AddedEvent = std::function<void(TElementMessages* list, TElementMessage* message)>;
    using BeforeAddEvent = std::function<void(TElementMessages* list, TElementMessage* message, bool& accept)>;
    // value is the segment's own, already appended: a handler may rewrite it
    // (a generator points element links at the elements they were copied from).
    using SegmentAddedEvent = std::function<void(TElementMessages* list, TElementMessage* message, uint8_t kind,
                                                 const QString& text, QString& value)>;

    TElementMessages();
    ~TElementMessages();
    TElementMessages(const TElementMessages&) = delete;
    TElementMessages& operator=(const TElementMessages&) = delete;

    // Takes ownership. OnBeforeAdd may refuse the message, which is then freed
    // (and the returned pointer is nil); otherwise it is appended and OnAdded raised.
    TElementMessage* Add(std::unique_ptr<TElementMessage> message);
    // Frees every message; raises OnCleared only when there was a list.
    void Clear();
    // The outermost opening clears the list, so a re-run replaces it as a whole.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const noexcept { return m_updateCount; }

    int GetCount() const noexcept { return m_items ? int(m_items->size()) : 0; }
    TElementMessage* GetItem(int index) const { return m_items->at(size_t(index)).get(); }
    // kinds: bit n set for message kind n (0..7).
    bool HasKindIn(uint8_t kinds) const noexcept;
    // 3 with an error; else 2 with a warning, missing value or invalid content;
    // else 1 with a hint; else 0.
    int GetSeverity() const noexcept;

    // A copy of every message of other, in order.
    void AddFrom(const TElementMessages& other);
    TElementMessage* AddTextMessage(uint8_t kind, const QString& text);
    // Template split at the first "[" and the first "]": plain text, a link
    // segment with the bracketed words, plain text. Without "[" the whole
    // template is the link.
    TElementMessage* AddElementLinkMessage(uint8_t kind, const QString& templ, const QString& elementNumberText);
    TElementMessage* AddPathLinkMessage(uint8_t kind, const QString& templ, const QString& path);

    // Binding: events raised on the bound thread run on the user-interface
    // thread, one at a time, while the worker waits. When the worker is asked
    // to stop (QThread::requestInterruption) a pending event is given up.
    void SetThread(QThread* thread) noexcept { m_thread = thread; }
    QThread* Thread() const noexcept { return m_thread; }

    ClearedEvent OnCleared;
    AddedEvent OnAdded;
    BeforeAddEvent OnBeforeAdd;
    SegmentAddedEvent OnSegmentAdded;

private:
    friend class TElementMessage;
    TElementMessage* AddLinkMessage(uint8_t kind, const QString& templ, uint8_t linkKind, const QString& value);
    // Runs call directly, or on the user-interface thread when bound.
    void Raise(const std::function<void()>& call);

    std::unique_ptr<std::vector<std::unique_ptr<TElementMessage>>> m_items;
    int m_updateCount = 0;
    QThread* m_thread = nullptr;
};

// Makes a text safe for insertion into a message template: longer than 200
// characters it becomes its first 197 (never half a surrogate pair) and "...";
// then every control character (0..31), "[" and "]" becomes U+FFFD.
QString SanitizeMessageText(const QString& text);
// Every "[" and "]" deleted.
QString RemoveLinkBrackets(const QString& text);

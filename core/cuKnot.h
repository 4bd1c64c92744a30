#pragma once
// The knot tree and its XML-like text.
//
// A knot is a named tree node with an ordered list of named parameters. Knots
// are the in-memory form of every file, clipboard text and snapshot the system
// writes. The text form is one root element, elements with attributes (a name
// alone, or a name with an unquoted or double-quoted value), no text content,
// no comments, one element per line indented by one TAB per level.
//
// Reading is tolerant: a syntax error never raises; it sets ksLoadFailed on the
// root and keeps what was read. Nothing here recurses over the depth of a tree,
// so deep trees cannot exhaust the stack; text nested deeper than MaxDepth is a
// syntax error.

#include "core/cuNode.h"
#include "core/cuTextBlocks.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;
class TKnot;

enum TKnotParamKind : uint8_t {
    pkNone = 0,       // a name alone, no value
    pkString = 1,     // a string value
    pkStream = 2,     // an owned copy of a byte stream, written as hexadecimal digits
    pkStreamRef = 3,  // a byte stream borrowed from the caller
};

// Bits of TKnot::State().
enum : uint8_t {
    ksRead = 1,        // the knot was looked up or enumerated
    ksLoadFailed = 2,  // set on the root when reading met a syntax error
};
using TKnotState = uint8_t;

// Knot flags: effective flags of the knot being written or searched.
enum : uint16_t {
    kfIndexed = 1,          // children are list items: paths carry "[n]", empty only without children
    kfUniqueParams = 2,     // writing a parameter replaces the one of that name
    kfSkipEmpty = 4,        // empty children are not written
    kfUnquotedValues = 8,   // values are written without quotes when nothing in them needs quotes
    kfNoIndent = 16,        // no indentation while this knot is written
    kfNoLineBreaks = 32,    // no line breaks while this knot is written
    kfSameLine = 64,        // this knot follows its previous sibling on the same line
    kfDoubledQuotes = 128,  // quotes in values are doubled instead of written as entities
};
using TKnotFlags = uint16_t;

// The flags of the settings, session and recent-files files.
constexpr TKnotFlags kfSettingsFile = kfDoubledQuotes | kfUnquotedValues | kfSkipEmpty | kfUniqueParams;

// Encodings of knot text in files and streams. Ansi is the system's code page
// without a byte-order mark, which is UTF-8 on this platform.
enum class TKnotEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// One named value of a knot. Created only through TKnot::AddParam (which
// appends it to the knot's list); deleting it frees an owned stream and unlinks it.
class TKnotParam {
public:
    ~TKnotParam();
    // Parameters and knots come from pools of fixed-size blocks.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size) noexcept;
    TKnotParam(const TKnotParam&) = delete;
    TKnotParam& operator=(const TKnotParam&) = delete;

    TKnot* Knot() const noexcept { return m_knot; }
    TKnotParam* Next() const noexcept { return m_next; }
    const QString& Name() const noexcept { return m_name; }
    bool WasRead() const noexcept { return m_wasRead; }
    void SetWasRead(bool value) noexcept { m_wasRead = value; }
    TKnotParamKind Kind() const noexcept { return m_kind; }
    // The raw string (pkString) and stream (pkStream, pkStreamRef); no read mark.
    QString Value() const { return m_block ? QString(m_value.constData(), m_value.size()) : m_value; }
    QStringView ValueView() const noexcept { return m_value; }
    // Calls read with GetValue's text as a view and answers what it answers;
    // marks the parameter read. A string is handed where it lies, with no
    // string of its own made for it as GetValue makes: for a value that is
    // copied or parsed once, as a load does with thousands (each string of
    // its own would be freed with the knot, a small block apiece). The view
    // lasts for the call only.
    template <class F>
    decltype(auto) ReadView(F&& read) {
        if (m_kind == pkString) {
            m_wasRead = true;
            return read(QStringView(m_value));
        }
        const QString value = GetValue();
        return read(QStringView(value));
    }
    const QByteArray* Stream() const noexcept { return m_ownedStream ? m_ownedStream.get() : m_borrowedStream; }

    // The string, a stream's bytes as upper-case hexadecimal digits, or "" for
    // pkNone; marks the parameter read.
    QString GetValue();
    // True unless the kind is pkNone; marks the parameter read.
    bool HasValue();
    // Decodes hexadecimal digits (either case) into stream: an odd length gives
    // false and leaves it alone, a bad digit gives false with it emptied; a
    // stream value is copied whole. Marks the parameter read.
    bool ReadToStream(QByteArray& stream);

    void SetString(const QString& value);
    void SetStream(const QByteArray& stream);          // an owned copy
    void SetStreamRef(const QByteArray* stream);       // must outlive the knot's writing or freeing
    void SetNone();
    // Copies kind and value (an owned stream as a new copy, a reference as the same reference).
    void Assign(const TKnotParam& source);

    // The knot's path, ".", the parameter name.
    QString GetPath() const;

private:
    friend class TKnot;
    friend struct TKnotReader;
    TKnotParam(TKnot* knot, QString name) noexcept : m_knot(knot), m_name(std::move(name)) {}
    void FreeStream() noexcept;
    void SetValueText(QString value) noexcept;

    TKnot* m_knot;
    TKnotParam* m_next = nullptr;
    QString m_name;
    // A value the reader made may lie in a block of text shared with others:
    // m_value then views the block, which m_block keeps alive.
    TTextBlockRef m_block;
    QString m_value;
    std::unique_ptr<const QByteArray> m_ownedStream;  // pkStream
    const QByteArray* m_borrowedStream = nullptr;     // pkStreamRef
    TKnotParamKind m_kind = pkNone;
    bool m_wasRead = false;
};

class TKnot : public TNode {
    T_CLASS(TKnot)
public:
    // Deeper nesting in text is a syntax error.
    static constexpr int MaxDepth = 10000;

    TKnot() noexcept = default;
    explicit TKnot(QString name) noexcept : m_name(std::move(name)) {}
    static TNodePtr<TKnot> Create(const QString& name = {}) { return MakeNode<TKnot>(name); }
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size) noexcept;

    // A name the reader gives back unchanged and other XML readers accept: not
    // empty, no character up to the space, none of " ' & / < = >, not starting with ! or ?.
    static bool IsValidName(QStringView name) noexcept;

    const QString& Name() const noexcept { return m_name; }
    void SetName(const QString& name);
    TKnotParam* Params() const noexcept { return m_params; }
    int ParamCount() const noexcept;

    // Flags: the inherited word (the same for a whole subtree) and the local corrections.
    TKnotFlags Flags() const noexcept { return m_flags; }
    TKnotFlags FlagsRemoved() const noexcept { return m_flagsRemoved; }
    TKnotFlags FlagsAdded() const noexcept { return m_flagsAdded; }
    void SetFlagsRemoved(TKnotFlags flags) noexcept { m_flagsRemoved = flags; }
    void SetFlagsAdded(TKnotFlags flags) noexcept { m_flagsAdded = flags; }
    // Effective flags: (Flags and not FlagsRemoved) or FlagsAdded.
    TKnotFlags GetFlags() const noexcept { return TKnotFlags((m_flags & ~m_flagsRemoved) | m_flagsAdded); }
    // Sets the inherited flags of this knot and its subtree.
    void SetFlags(TKnotFlags flags);

    TKnotState State() const noexcept { return m_state; }
    bool LoadFailed() const noexcept { return m_state & ksLoadFailed; }
    bool GetWasRead() const noexcept { return m_state & ksRead; }
    void SetWasRead(bool value) noexcept;
    // Sets or clears the marks of this knot, its parameters and its whole subtree.
    void SetWasReadAll(bool value);

    // Tree and lookup. Every operation that returns a knot marks it read.
    TKnot* AddChild(const QString& name);
    TKnot* FindChild(QStringView name);
    TKnot* FindNextSibling(QStringView name);
    TKnot* FindOrAddChild(const QString& name);
    // Follows a path of child names separated by "."; with create, adds what is missing.
    TKnot* FindPath(QStringView path, bool create);
    TKnot* GetFirstChild();
    TKnot* GetLastChild();
    TKnot* GetNextSibling();
    TKnot* GetParentKnot();
    void SetParentKnot(TKnot* parent) { SetParent(parent); }

    // Parameters. FindParam marks nothing; HasParam marks the parameter read.
    TKnotParam* AddParam(const QString& name);
    TKnotParam* FindParam(QStringView name) const noexcept;
    bool HasParam(QStringView name);

    // No parameters, and: with kfIndexed no children; otherwise only empty children.
    bool IsEmpty() const;
    // Empties name, corrections, parameters, children, read and failure marks;
    // the inherited flags stay.
    void Clear();
    // Deep copy of name, corrections, parameters and children.
    void Assign(const TKnot& source);

    // Typed values.
    QString ReadStr(QStringView name, const QString& defaultValue = {});
    // ReadStr's text handed to read as a view (TKnotParam::ReadView), the
    // default when there is no such parameter.
    template <class F>
    decltype(auto) ReadStrView(QStringView name, QStringView defaultValue, F&& read) {
        TKnotParam* p = FindParam(name);
        return p ? p->ReadView(std::forward<F>(read)) : read(defaultValue);
    }
    bool ReadBool(QStringView name, bool defaultValue);
    // Decimal with an optional sign; Default when absent, not a 32-bit integer,
    // or outside min..max (no range test when min equals max).
    int ReadInt(QStringView name, int defaultValue, int min = 0, int max = 0);
    // True when absent (stream untouched) or read; false for malformed hexadecimal text.
    bool ReadStream(QStringView name, QByteArray& stream);
    TKnotParam* WriteStr(const QString& name, const QString& text);
    TKnotParam* WriteBool(const QString& name, bool value);
    TKnotParam* WriteInt(const QString& name, int value);
    TKnotParam* WriteStream(const QString& name, const QByteArray& stream);
    TKnotParam* WriteStreamRef(const QString& name, const QByteArray* stream);

    // Reports.
    QString GetPath() const;
    // With checkSelf a knot never read is added whole; otherwise unread
    // parameters are added and each child is examined with checkSelf. Either
    // list may be nil. True when anything unread was found.
    bool CollectUnread(QList<TKnot*>* knots, QList<TKnotParam*>* params, bool checkSelf);

    // Knot text. Lines end with CR LF, the last one included.
    QString SaveToString() const;
    QByteArray SaveToBytes(TKnotEncoding encoding) const;
    void SaveToStream(QIODevice& stream, TKnotEncoding encoding) const;
    // Replaces the file atomically; on failure the old file stays.
    void SaveToFile(const QString& fileName, TKnotEncoding encoding) const;

    // Each returns true when the text parsed without error (else ksLoadFailed is set).
    bool LoadFromText(const QChar* chars, qsizetype count);
    bool LoadFromString(const QString& text) { return LoadFromText(text.constData(), text.size()); }
    // Bytes with an optional byte-order mark (UTF-8, UTF-16 LE or BE); UTF-8 without one.
    bool LoadFromBytes(const QByteArray& bytes);
    // From the current position to the end.
    bool LoadFromStream(QIODevice& stream);
    // Raises string 2066 when the file does not exist.
    bool LoadFromFile(const QString& fileName);

    void BeforeDestruction() override;
    void ParentChanged() override;

protected:
    ~TKnot() override;

private:
    friend class TKnotParam;
    friend struct TKnotReader;
    template <class Sink>
    friend struct TKnotWriter;

    TKnot* FirstKnot() const noexcept { return static_cast<TKnot*>(FirstChild()); }
    TKnot* NextKnot() const noexcept { return static_cast<TKnot*>(NextSibling()); }
    TKnot* ParentKnot() const noexcept { return static_cast<TKnot*>(Parent()); }
    TKnot* Marked(TKnot* knot) noexcept;
    void FreeParams() noexcept;
    void FreeChildren() noexcept;
    static void DeletePlain(const std::vector<TKnot*>& order) noexcept;
    // Links a detached, completed subtree as the last child (cheap: the new
    // child's ancestors are not walked twice).
    void AppendBuilt(TKnot* child);
    void UnlinkParam(TKnotParam* param) noexcept;
    TKnotParam* ParamForWrite(const QString& name);
    // AddParam without the name check, for names that came from text or a copy.
    TKnotParam* NewParam(const QString& name);

    QString m_name;
    TKnotParam* m_params = nullptr;
    TKnotParam* m_lastParam = nullptr;
    TKnotFlags m_flags = 0;
    TKnotFlags m_flagsRemoved = 0;
    TKnotFlags m_flagsAdded = 0;
    TKnotState m_state = 0;
};

// ---------------------------------------------------------------------------
// The text form of knots (cuKnotText.cpp): the reader, the writer,
// hexadecimal streams, integers, encodings and atomic file writing (escaping
// is core/cuXmlEscape). TKnot's load and save operations are the public entry
// points; these are shared with the code writers and the tests.

namespace KnotText {

// Stream bytes as two upper-case hexadecimal digits each.
QString ToHex(const QByteArray& bytes);
// Digits of either case: an odd length gives false and leaves stream alone;
// a bad digit gives false with stream emptied.
bool FromHex(QStringView text, QByteArray& stream);
// Optional sign and decimal digits that fit 32 bits; nothing else.
bool ParseInt(QStringView text, int& value);

// The knot and its subtree as text, CR LF after every line. Raises when the
// tree is nested deeper than the reader reads (TKnot::MaxDepth).
QString Write(const TKnot& knot);
// The same, encoded, with the encoding's byte-order mark (none for Ansi).
QByteArray WriteBytes(const TKnot& knot, TKnotEncoding encoding);
// Text in an encoding, with that encoding's byte-order mark (none for Ansi).
QByteArray Encode(const QString& text, TKnotEncoding encoding);

// Parse into knot; false (and ksLoadFailed set) on a syntax error.
bool Read(TKnot& knot, const char16_t* text, qsizetype count);
bool ReadBytes(TKnot& knot, const QByteArray& bytes);

// Replaces the file's contents atomically (ReplaceFileContents); a failure
// raises 10090 with the system's reason, and the old file stays.
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes);

}  // namespace KnotText

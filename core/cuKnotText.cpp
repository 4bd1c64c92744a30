#include "core/cuKnotText.h"

#include "core/cuStringIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Character classes of the reader, for code units below 128.
enum : uint8_t {
    ccSpace = 1,       // TAB LF CR space
    ccNameEnd = 2,     // whitespace and " / < = >
    ccValueEnd = 4,    // whitespace and / >
    ccValueMark = 8,   // what the value scan looks at: " & and the value terminators
    ccEscape = 16,     // what entity mode replaces: & < > " and 1..31
    ccDoubled = 32,    // what doubled mode replaces: " &
    ccQuoteEntity = 64,   // needs quotes in entity mode: space /
    ccQuoteDoubled = 128, // needs quotes in doubled mode: " TAB LF CR space / >
};

struct TCharClasses {
    uint8_t c[128] = {};
    constexpr TCharClasses() {
        for (char ch : {'\t', '\n', '\r', ' '}) c[int(ch)] |= ccSpace | ccNameEnd | ccValueEnd | ccValueMark;
        for (char ch : {'"', '/', '<', '=', '>'}) c[int(ch)] |= ccNameEnd;
        for (char ch : {'/', '>'}) c[int(ch)] |= ccValueEnd | ccValueMark;
        for (char ch : {'"', '&'}) c[int(ch)] |= ccValueMark | ccDoubled;
        for (int i = 1; i < 32; ++i) c[i] |= ccEscape;
        for (char ch : {'&', '<', '>', '"'}) c[int(ch)] |= ccEscape;
        for (char ch : {' ', '/'}) c[int(ch)] |= ccQuoteEntity;
        for (char ch : {'"', '\t', '\n', '\r', ' ', '/', '>'}) c[int(ch)] |= ccQuoteDoubled;
    }
};
constexpr TCharClasses kClasses;

template <class Ch>
inline unsigned Unit(Ch c) noexcept {
    return static_cast<std::make_unsigned_t<Ch>>(c);
}

template <class Ch>
inline bool Has(Ch ch, uint8_t cls) noexcept {
    const unsigned u = Unit(ch);
    return u < 128 && (kClasses.c[u] & cls);
}

struct THexTable {
    int8_t v[128] = {};
    constexpr THexTable() {
        for (int i = 0; i < 128; ++i) v[i] = -1;
        for (int i = 0; i < 10; ++i) v['0' + i] = int8_t(i);
        for (int i = 0; i < 6; ++i) v['A' + i] = v['a' + i] = int8_t(10 + i);
    }
};
constexpr THexTable kHex;
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

// ---------------------------------------------------------------------------
// Strings out of the text buffer

inline QString MakeString(const char16_t* s, qsizetype n) { return QString(reinterpret_cast<const QChar*>(s), n); }

inline QString MakeString(const char* s, qsizetype n) {
    // Plain ASCII is widened in place; anything else goes through the UTF-8 decoder.
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b & 0x80) return QString::fromUtf8(s, n);
        d[i] = b;
    }
    return out;
}

// Names repeat all over a file: a small direct-mapped cache hands out shared copies.
template <class Ch>
class TNameCache {
public:
    QString Get(const Ch* s, qsizetype n) {
        if (n > kMaxKey) return MakeString(s, n);
        uint32_t h = uint32_t(n);
        for (qsizetype i = 0; i < n; ++i) h = h * 31u + Unit(s[i]);
        Slot& slot = m_slots[(h ^ (h >> 9)) & (kSlots - 1)];
        if (slot.key.size() != size_t(n) || std::memcmp(slot.key.data(), s, size_t(n) * sizeof(Ch)) != 0) {
            slot.key.assign(s, size_t(n));
            slot.name = MakeString(s, n);
        }
        return slot.name;
    }

private:
    static constexpr qsizetype kMaxKey = 64;
    static constexpr int kSlots = 512;
    struct Slot {
        std::basic_string<Ch> key;
        QString name;
    };
    Slot m_slots[kSlots];
};

}  // namespace

// ---------------------------------------------------------------------------
// Reader

struct TKnotReader {
    template <class Ch>
    struct Parser {
        const Ch* p;
        const Ch* end;
        TKnotFlags flags = 0;
        TNameCache<Ch> names;

        enum TTag { tagError, tagOpen, tagEmpty };

        bool SkipSpace() noexcept {
            while (p < end && Has(*p, ccSpace)) ++p;
            return p < end;
        }

        const Ch* NameEnd(const Ch* s) const noexcept {
            while (s < end && !Has(*s, ccNameEnd)) ++s;
            return s;
        }

        // An element's opening tag, at its "<".
        TTag ParseTag(TKnot* knot, const Ch*& nameStart, qsizetype& nameLen) {
            ++p;
            if (!SkipSpace() || *p == Ch('<') || *p == Ch('!')) return tagError;  // comments are not part of the format
            const Ch* s = p;
            p = NameEnd(p);
            if (p == s) return tagError;
            nameStart = s;
            nameLen = p - s;
            knot->m_name = names.Get(s, p - s);
            for (;;) {
                if (p >= end) return tagError;
                const Ch c = *p;
                if (c == Ch('>')) {
                    ++p;
                    return tagOpen;
                }
                if (c == Ch('/')) {
                    ++p;
                    if (!SkipSpace() || *p != Ch('>')) return tagError;
                    ++p;
                    return tagEmpty;
                }
                // After a name or value only whitespace, "/" or ">" may follow: a quote,
                // "<" or "=" here (also "name =value" and "name= \"value\"") is an error.
                if (!Has(c, ccSpace)) return tagError;
                if (!SkipSpace()) return tagError;
                if (*p == Ch('>') || *p == Ch('/')) continue;
                s = p;
                p = NameEnd(p);
                if (p == s) return tagError;
                TKnotParam* param = knot->NewParam(names.Get(s, p - s));
                if (p < end && *p == Ch('=')) {
                    ++p;
                    if (!ParseValue(param)) return tagError;
                }
            }
        }

        bool ParseValue(TKnotParam* param) {
            const Ch* s = p;
            int quotes = 0, amps = 0;
            bool inside = false;
            for (; p < end; ++p) {
                const Ch c = *p;
                if (!Has(c, ccValueMark)) continue;
                if (c == Ch('"')) {
                    inside = !inside;
                    ++quotes;
                } else if (c == Ch('&')) {
                    ++amps;
                } else if (!inside) {
                    break;
                }
            }
            if (inside) return false;  // the text ends inside quotes
            qsizetype n = p - s;
            if (n == 0) return true;  // "Name=" is a name without value
            if (n >= 2 && s[0] == Ch('"') && s[n - 1] == Ch('"')) {
                ++s;
                n -= 2;
                quotes -= 2;
            }
            param->m_value = quotes > 0 || amps > 0 ? KnotText::Unescape(MakeString(s, n), quotes, amps)
                                                    : MakeString(s, n);
            param->m_kind = pkString;
            return true;
        }

        struct TOpen {
            TKnot* knot;
            const Ch* name;
            qsizetype nameLen;
        };

        // True when "<" at p closes the element `open` ("<", "/", optional
        // whitespace around the "/", the exact name, at once ">").
        bool IsClosingTag(const TOpen& open, bool& isClosing) {
            const Ch* q = p + 1;
            while (q < end && Has(*q, ccSpace)) ++q;
            isClosing = q < end && *q == Ch('/');
            if (!isClosing) return false;
            ++q;
            while (q < end && Has(*q, ccSpace)) ++q;
            if (end - q < open.nameLen + 1) return false;
            if (std::memcmp(q, open.name, size_t(open.nameLen) * sizeof(Ch)) != 0) return false;
            if (q[open.nameLen] != Ch('>')) return false;
            p = q + open.nameLen + 1;
            return true;
        }

        bool Run(TKnot& root) {
            flags = root.m_flags;
            if (p < end && Unit(*p) == 0xFEFF) ++p;  // a byte-order mark left in decoded text
            if (!SkipSpace() || *p != Ch('<')) return false;
            if (!SkipPrologue()) return false;
            std::vector<TOpen> open;
            TOpen top{&root, nullptr, 0};
            const TTag rootTag = ParseTag(&root, top.name, top.nameLen);
            if (rootTag == tagError) return false;
            bool ok = true;
            if (rootTag == tagOpen) {
                open.push_back(top);
                ok = ParseContent(open);
                // What was read stays: link the elements still open to their parents.
                for (size_t i = open.size(); i-- > 1;) open[i - 1].knot->AppendBuilt(open[i].knot);
            }
            if (ok && SkipSpace()) ok = false;  // only whitespace may follow the root
            return ok;
        }

        // An XML declaration ("<?" up to "?>") before the root is skipped.
        bool SkipPrologue() {
            const Ch* q = p + 1;
            while (q < end && Has(*q, ccSpace)) ++q;
            if (q >= end || *q != Ch('?')) return true;
            while (++q < end && *q != Ch('?')) {}
            while (q < end && *q != Ch('>')) ++q;
            while (q < end && *q != Ch('<')) ++q;
            if (q >= end) return false;
            p = q;
            return true;
        }

        // Children and closing tags until the root closes; false on a syntax error.
        bool ParseContent(std::vector<TOpen>& open) {
            bool ok = true;
            while (!open.empty()) {
                if (!SkipSpace()) return false;  // the text ends before the closing tag
                if (*p != Ch('<')) {
                    // Text content is not part of the format: fail, skip it, read on.
                    ok = false;
                    while (p < end && *p != Ch('<')) ++p;
                    continue;
                }
                bool isClosing;
                if (IsClosingTag(open.back(), isClosing)) {
                    TOpen done = open.back();
                    open.pop_back();
                    if (!open.empty()) open.back().knot->AppendBuilt(done.knot);
                    continue;
                }
                if (isClosing) return false;  // another name, or whitespace before ">"
                if (open.size() >= size_t(TKnot::MaxDepth)) return false;
                auto* child = new TKnot();
                child->m_flags = flags;
                TOpen entry{child, nullptr, 0};
                const TTag tag = ParseTag(child, entry.name, entry.nameLen);
                if (tag == tagOpen) {
                    open.push_back(entry);
                    continue;
                }
                open.back().knot->AppendBuilt(child);
                if (tag == tagError) return false;
            }
            return ok;
        }
    };

    template <class Ch>
    static bool Load(TKnot& knot, const Ch* text, qsizetype count) {
        knot.Clear();
        bool ok = false;
        if (count > 0) {
            auto parser = std::make_unique<Parser<Ch>>();
            parser->p = text;
            parser->end = text + count;
            ok = parser->Run(knot);
        }
        if (!ok) knot.m_state |= ksLoadFailed;
        return ok;
    }
};

// ---------------------------------------------------------------------------
// Writer

struct TKnotWriter {
    QString out;
    qsizetype lines = 0;
    bool lineEmpty = true;
    int level = 0;
    bool useIndent = true;
    bool useNewLines = true;

    // The code writer's rules: text goes onto the last line (made when there is
    // none); an empty line first receives one TAB per level when indenting.
    void Begin() {
        if (lines == 0) lines = 1;
        if (lineEmpty) {
            if (useIndent && level > 0) out.append(QString(level, QLatin1Char('\t')));
            lineEmpty = false;
        }
    }
    void NewLine() {
        if (!useNewLines) return;
        if (lines == 0)
            lines = 1;
        else {
            out.append(u"\r\n");
            ++lines;
        }
        lineEmpty = true;
    }

    void WriteParam(const TKnotParam& param, TKnotFlags flags) {
        Begin();
        out.append(QLatin1Char(' '));
        out.append(param.Name());
        if (param.Kind() == pkNone) return;
        out.append(QLatin1Char('='));
        if (param.Kind() != pkString) {
            const bool quoted = !(flags & kfUnquotedValues);
            if (quoted) out.append(QLatin1Char('"'));
            if (param.Stream()) AppendHex(*param.Stream());
            if (quoted) out.append(QLatin1Char('"'));
            return;
        }
        AppendValue(param.Value(), flags);
    }

    void AppendHex(const QByteArray& bytes) {
        const qsizetype at = out.size();
        out.resize(at + bytes.size() * 2);
        char16_t* d = reinterpret_cast<char16_t*>(out.data()) + at;
        for (char b : bytes) {
            const unsigned u = static_cast<unsigned char>(b);
            *d++ = kHexDigits[u >> 4];
            *d++ = kHexDigits[u & 15];
        }
    }

    void AppendValue(const QString& value, TKnotFlags flags) {
        const bool doubled = flags & kfDoubledQuotes;
        const uint8_t escapeClass = doubled ? ccDoubled : ccEscape;
        const uint8_t quoteClass = doubled ? ccQuoteDoubled : ccQuoteEntity;
        bool escape = false, needsQuotes = false;
        for (QChar c : value) {
            escape |= Has(c.unicode(), escapeClass);
            needsQuotes |= Has(c.unicode(), quoteClass);
        }
        const bool quoted = needsQuotes || !(flags & kfUnquotedValues);
        if (quoted) out.append(QLatin1Char('"'));
        if (!escape)
            out.append(value);
        else
            AppendEscaped(value, doubled);
        if (quoted) out.append(QLatin1Char('"'));
    }

    void AppendEscaped(QStringView value, bool doubled) {
        for (QChar c : value) {
            const char16_t u = c.unicode();
            if (u == u'&')
                out.append(u"&amp;");
            else if (u == u'"')
                out.append(doubled ? u"\"\"" : u"&quot;");
            else if (doubled)
                out.append(c);
            else if (u == u'<')
                out.append(u"&lt;");
            else if (u == u'>')
                out.append(u"&gt;");
            else if (u >= 1 && u < 32) {
                out.append(u"&#");
                out.append(QString::number(int(u)));
                out.append(QLatin1Char(';'));
            } else
                out.append(c);
        }
    }

    struct TFrame {
        const TKnot* knot;
        const TKnot* next;  // the next child to look at
        TKnotFlags flags;
        bool savedIndent;
        bool savedNewLines;
    };

    void Run(const TKnot& root) {
        std::vector<TFrame> stack;
        Open(&root, stack);
        while (!stack.empty()) {
            TFrame& f = stack.back();
            const TKnot* child = f.next;
            if (f.flags & kfSkipEmpty)
                while (child && child->IsEmpty()) child = child->NextKnot();
            if (child) {
                f.next = child->NextKnot();
                Open(child, stack);
                continue;
            }
            --level;
            Begin();
            out.append(u"</");
            out.append(f.knot->Name());
            out.append(QLatin1Char('>'));
            Finish(&root, stack);
        }
    }

    void Open(const TKnot* k, std::vector<TFrame>& stack) {
        const TKnotFlags flags = k->GetFlags();
        stack.push_back({k, k->FirstKnot(), flags, useIndent, useNewLines});
        useIndent = !(flags & kfNoIndent);
        useNewLines = !(flags & kfNoLineBreaks);
        Begin();
        out.append(QLatin1Char('<'));
        out.append(k->Name());
        for (const TKnotParam* p = k->Params(); p; p = p->Next()) WriteParam(*p, flags);
        if (!k->FirstChild()) {
            out.append(u"/>");
            Finish(stack.front().knot, stack);
            return;
        }
        out.append(QLatin1Char('>'));
        NewLine();
        ++level;
    }

    // Ends the line unless the next sibling follows on the same line, then
    // restores the writer's settings. The knot being saved ends no line.
    void Finish(const TKnot* root, std::vector<TFrame>& stack) {
        const TFrame f = stack.back();
        stack.pop_back();
        if (f.knot != root) {
            const TKnot* next = f.knot->NextKnot();
            if (!next || !(next->GetFlags() & kfSameLine)) NewLine();
        }
        useIndent = f.savedIndent;
        useNewLines = f.savedNewLines;
    }
};

// ---------------------------------------------------------------------------

namespace KnotText {

QString ToHex(const QByteArray& bytes) {
    TKnotWriter w;
    w.AppendHex(bytes);
    return w.out;
}

bool FromHex(QStringView text, QByteArray& stream) {
    if (text.size() % 2) return false;
    QByteArray out(text.size() / 2, Qt::Uninitialized);
    const char16_t* s = text.utf16();
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t a = s[2 * i], b = s[2 * i + 1];
        const int hi = a < 128 ? kHex.v[a] : -1;
        const int lo = b < 128 ? kHex.v[b] : -1;
        if (hi < 0 || lo < 0) {
            stream.clear();
            return false;
        }
        out[i] = char((hi << 4) | lo);
    }
    stream = out;
    return true;
}

bool ParseInt(QStringView text, int& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
        if (v > int64_t(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    value = int(v);
    return true;
}

QString Escape(QStringView value, bool doubledQuotes, bool& needsQuotes) {
    TKnotWriter w;
    w.AppendEscaped(value, doubledQuotes);
    const uint8_t quoteClass = doubledQuotes ? ccQuoteDoubled : ccQuoteEntity;
    needsQuotes = false;
    for (QChar c : w.out) needsQuotes |= Has(c.unicode(), quoteClass);
    return w.out;
}

QString Unescape(QStringView text, int quoteCount, int ampCount) {
    QString s;
    if (quoteCount > 0) {
        // Each run of quotes keeps one quote for every pair (and one left over).
        s.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            s.append(text[i]);
            if (text[i] == u'"' && i + 1 < text.size() && text[i + 1] == u'"') ++i;
        }
    } else {
        s = text.toString();
    }
    if (ampCount <= 0 || !s.contains(u'&')) return s;
    QString out;
    out.reserve(s.size());
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype amp = s.indexOf(u'&', i);
        if (amp < 0) break;
        out.append(QStringView(s).mid(i, amp - i));
        const qsizetype semi = s.indexOf(u';', amp + 1);
        if (semi < 0) {
            i = amp;  // an "&" without a later ";" stays, and so does the rest
            break;
        }
        const QStringView name = QStringView(s).mid(amp + 1, semi - amp - 1);
        int code = -1;
        if (name == u"quot")
            code = '"';
        else if (name == u"lt")
            code = '<';
        else if (name == u"gt")
            code = '>';
        else if (name == u"amp")
            code = '&';
        else if (name.size() > 1 && name.size() <= 6 && name[0] == u'#') {
            int n = 0;
            bool digits = true;
            for (QChar c : name.mid(1)) {
                if (c < u'0' || c > u'9') digits = false;
                else n = n * 10 + (c.unicode() - u'0');
            }
            if (digits && n <= 0xFFFF) code = n;
        }
        if (code >= 0) {
            out.append(QChar(char16_t(code)));
            i = semi + 1;
        } else {
            out.append(u'&');  // unknown: stays as it is; the search goes on after the "&"
            i = amp + 1;
        }
    }
    out.append(QStringView(s).mid(i));
    return out;
}

QString Write(const TKnot& knot) {
    TKnotWriter w;
    w.Run(knot);
    if (w.lines > 0) w.out.append(u"\r\n");
    return w.out;
}

QByteArray Encode(const QString& text, TKnotEncoding encoding) {
    switch (encoding) {
    case TKnotEncoding::Ansi:
        return text.toUtf8();
    case TKnotEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3) + text.toUtf8();
    case TKnotEncoding::Utf16LE:
    case TKnotEncoding::Utf16BE: {
        const bool le = encoding == TKnotEncoding::Utf16LE;
        QByteArray out(2 + text.size() * 2, Qt::Uninitialized);
        out[0] = le ? char(0xFF) : char(0xFE);
        out[1] = le ? char(0xFE) : char(0xFF);
        char* d = out.data() + 2;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            *d++ = char(le ? u & 0xFF : u >> 8);
            *d++ = char(le ? u >> 8 : u & 0xFF);
        }
        return out;
    }
    }
    return {};
}

bool Read(TKnot& knot, const char16_t* text, qsizetype count) { return TKnotReader::Load(knot, text, count); }

bool ReadBytes(TKnot& knot, const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return TKnotReader::Load(knot, bytes.constData() + 3, n - 3);
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool le = b[0] == 0xFF;
        std::vector<char16_t> units(size_t((n - 2) / 2));
        for (size_t i = 0; i < units.size(); ++i) {
            const unsigned char lo = b[2 + 2 * i + (le ? 0 : 1)], hi = b[2 + 2 * i + (le ? 1 : 0)];
            units[i] = char16_t(lo | (hi << 8));
        }
        return TKnotReader::Load(knot, units.data(), qsizetype(units.size()));
    }
    // No mark: the ANSI code page, which is UTF-8 here.
    return TKnotReader::Load(knot, bytes.constData(), n);
}

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes) {
    const QFileInfo target(fileName);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    bool ok = temp.open();
    ok = ok && temp.write(bytes) == bytes.size() && temp.flush() && ::fsync(temp.handle()) == 0;
    if (ok && target.exists()) temp.setPermissions(QFile::permissions(fileName));
    if (ok) {
        temp.close();
        ok = std::rename(QFile::encodeName(temp.fileName()).constData(),
                         QFile::encodeName(target.absoluteFilePath()).constData()) == 0;
    }
    if (!ok) throw Exception::FromId(strCannotWriteFile, {fileName});
    temp.setAutoRemove(false);
}

}  // namespace KnotText

#include "core/cuKnot.h"

#include "core/cuStringIds.h"
#include "core/cuTextBlocks.h"
#include "core/cuXmlEscape.h"
#include "platform/plFiles.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>

// The UTF-8 reader scans blocks of 16 bytes with SSE2 where the processor has
// it; every fast path has a portable twin (QUILLANE_PORTABLE builds only those).
#if defined(__SSE2__) && !defined(QUILLANE_PORTABLE)
#include <emmintrin.h>
#define QUILLANE_KNOT_SSE2 1
#endif

namespace {

// Character classes of the reader and the writer, for code units below 256.
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
    uint8_t c[256] = {};
    constexpr TCharClasses() {
        for (char ch : {'\t', '\n', '\r', ' '}) c[int(ch)] |= ccSpace | ccNameEnd | ccValueEnd | ccValueMark;
        for (char ch : {'"', '/', '<', '=', '>'}) c[int(ch)] |= ccNameEnd;
        for (char ch : {'/', '>'}) c[int(ch)] |= ccValueEnd | ccValueMark;
        for (char ch : {'"', '&'}) c[int(ch)] |= ccValueMark;
        // The writer's classes follow the escaping rules. In entity mode only
        // what stays as it is can call for quotes.
        using XmlEscape::TQuoteMode;
        for (char16_t u = 0; u < 128; ++u) {
            if (XmlEscape::Replaces(u, TQuoteMode::Entities)) c[u] |= ccEscape;
            if (XmlEscape::Replaces(u, TQuoteMode::Doubled)) c[u] |= ccDoubled;
            if (XmlEscape::NeedsQuotes(u)) {
                c[u] |= ccQuoteDoubled;
                if (!XmlEscape::Replaces(u, TQuoteMode::Entities)) c[u] |= ccQuoteEntity;
            }
        }
    }
};
constexpr TCharClasses kClasses;

template <class Ch>
inline unsigned Unit(Ch c) noexcept {
    return static_cast<std::make_unsigned_t<Ch>>(c);
}

// Bytes index the table directly (bytes of multi-byte sequences have no class);
// UTF-16 units above 255 have no class either.
inline bool Has(char ch, uint8_t cls) noexcept { return kClasses.c[static_cast<unsigned char>(ch)] & cls; }
inline bool Has(char16_t ch, uint8_t cls) noexcept { return ch < 256 && (kClasses.c[ch] & cls); }

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

// A piece of UTF-8 text. QString::fromUtf8 drops a byte-order mark at the
// start of what it is given; inside a file that is a character of a name or
// value and stays, as it does in UTF-16 text.
inline QString MakeString(const char* s, qsizetype n) {
    if (n >= 3 && s[0] == '\xEF' && s[1] == '\xBB' && s[2] == '\xBF') {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(QByteArrayView(s, n));
    }
    return QString::fromUtf8(s, n);
}

// A surrogate that is not half of a pair.
bool HasLoneSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate()) continue;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else
            return true;
    }
    return false;
}

// A name as it is read and written. A name cannot hold a character reference,
// and UTF-8 cannot hold a surrogate that is not half of a pair, so such a
// surrogate becomes U+FFFD (what a UTF-8 reader makes of one) in every
// encoding: what is read is what is written.
QString NameText(const QString& name) {
    if (!HasLoneSurrogate(name)) return name;
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (!out[i].isSurrogate()) continue;
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

// A name of the text; UTF-8 text is decoded without lone surrogates already.
inline QString MakeName(const char* s, qsizetype n) { return MakeString(s, n); }
inline QString MakeName(const char16_t* s, qsizetype n) { return NameText(MakeString(s, n)); }

inline bool IsAsciiBytes(const char* s, qsizetype n) noexcept {
    // A simple loop the compiler vectorises.
    unsigned char any = 0;
    for (qsizetype i = 0; i < n; ++i) any |= static_cast<unsigned char>(s[i]);
    return !(any & 0x80);
}

// A value as the reader makes it: a string of its own, or a view into a
// block of text with a reference to the block.
struct TValueText {
    QString text;
    TTextBlockRef block;
};

// Values are many and short: they are copied into shared blocks of text
// (cuTextBlocks), so that a file's values cost a few allocations instead of
// one each, and freeing a tree gives whole blocks back. Long values, and
// values of UTF-8 text that are not plain ASCII, get strings of their own.
class TValueBlocks {
public:
    TValueBlocks() = default;
    TValueBlocks(const TValueBlocks&) = delete;
    TValueBlocks& operator=(const TValueBlocks&) = delete;
    ~TValueBlocks() { Leave(); }

    TValueText Make(const char16_t* s, qsizetype n) {
        if (n == 0) return {};
        if (n > kLongValue) return {MakeString(s, n), {}};
        char16_t* d = Room(n);
        std::memcpy(d, s, size_t(n) * sizeof(char16_t));
        return Commit(d, n);
    }

    // Bytes known to be plain ASCII; e is the end of the text they lie in.
    TValueText MakeAscii(const char* s, qsizetype n, const char* e) {
        if (n == 0) return {};
        if (n > kLongValue) return {QString::fromLatin1(s, n), {}};
#ifdef QUILLANE_KNOT_SSE2
        // Widened sixteen at a time while the text goes on that far; the
        // block has room for the piece that passes the end of the value.
        if (e - s >= n + 15) {
            char16_t* d = Room(n + 15);
            const __m128i zero = _mm_setzero_si128();
            for (qsizetype i = 0; i < n; i += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
            }
            return Commit(d, n);
        }
#else
        (void)e;
#endif
        char16_t* d = Room(n);
        for (qsizetype i = 0; i < n; ++i) d[i] = static_cast<unsigned char>(s[i]);
        return Commit(d, n);
    }

    TValueText Make(const char* s, qsizetype n, const char* e) {
        if (!IsAsciiBytes(s, n)) return {MakeString(s, n), {}};  // decoded the general way
        return MakeAscii(s, n, e);
    }
    TValueText Make(const char16_t* s, qsizetype n, const char16_t*) { return Make(s, n); }

    // A value with references (and doubled quotes when quotes > 0). Short
    // ones without quotes are decoded straight into the block: a reference
    // needs no more room than the character it stands for.
    template <class Ch>
    TValueText MakeUnescaped(const Ch* s, qsizetype n, qsizetype quotes) {
        bool direct = quotes == 0 && n <= kLongValue;
        if constexpr (std::is_same_v<Ch, char>) direct = direct && IsAsciiBytes(s, n);
        if (!direct) return {XmlEscape::Unescape(MakeString(s, n), quotes, 1), {}};
        char16_t* d = Room(n);
        const qsizetype out = XmlEscape::UnescapeInto(s, n, d);
        if (out == 0) return {};
        return Commit(d, out);
    }

private:
    static constexpr qsizetype kBlockUnits = 16384;
    static constexpr qsizetype kLongValue = 512;

    // A new block starts with a reference for every value it could ever hold
    // (each takes two units at least), so that handing a value out moves no
    // shared count; the references not handed out are dropped when the block
    // is left.
    char16_t* Room(qsizetype n) {
        if (!m_block || m_used + n + 1 > kBlockUnits) {
            Leave();
            m_prepaid = int(kBlockUnits / 2);
            m_block = TTextBlock::New(kBlockUnits, 1 + m_prepaid);
            m_used = 0;
        }
        return m_block->Data() + m_used;
    }

    TValueText Commit(char16_t* d, qsizetype n) {
        d[n] = 0;  // NUL-terminated like every string
        m_used += n + 1;
        --m_prepaid;  // the value takes one of the block's references
        return {QString::fromRawData(reinterpret_cast<const QChar*>(d), n), TTextBlockRef::Adopt(m_block)};
    }

    void Leave() noexcept {
        if (m_block) m_block->Release(1 + m_prepaid);  // ours and the ones not handed out
        m_block = nullptr;
    }

    TTextBlock* m_block = nullptr;
    qsizetype m_used = 0;
    int m_prepaid = 0;
};

// The first c in [b, e), or nil.
inline const char* Find(const char* b, const char* e, char c) noexcept {
    return static_cast<const char*>(std::memchr(b, c, size_t(e - b)));
}
inline const char16_t* Find(const char16_t* b, const char16_t* e, char16_t c) noexcept {
    const qsizetype i = QStringView(b, e - b).indexOf(QChar(c));
    return i < 0 ? nullptr : b + i;
}

// Short runs compare faster in place than through a library call.
template <class Ch>
inline bool Same(const Ch* a, const Ch* b, qsizetype n) noexcept {
    if (n > 16) return std::memcmp(a, b, size_t(n) * sizeof(Ch)) == 0;
    for (qsizetype i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Scanning bytes sixteen at a time. Every block lies wholly inside the text:
// the last few bytes of a text are looked at one by one.

#ifdef QUILLANE_KNOT_SSE2
inline __m128i Load16(const char* s) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)); }
inline __m128i Bytes16(char c) noexcept { return _mm_set1_epi8(c); }

// Bits of the TAB, LF, CR and space bytes of a block.
inline unsigned SpaceBits(__m128i v) noexcept {
    const __m128i sp = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, Bytes16(' ')), _mm_cmpeq_epi8(v, Bytes16('\t'))),
                                    _mm_or_si128(_mm_cmpeq_epi8(v, Bytes16('\n')), _mm_cmpeq_epi8(v, Bytes16('\r'))));
    return unsigned(_mm_movemask_epi8(sp));
}

// Bits of the bytes that end a name: whitespace and " / < = >.
inline unsigned NameEndBits(__m128i v) noexcept {
    const __m128i tag = _mm_sub_epi8(v, Bytes16('<'));
    const __m128i angle = _mm_cmpeq_epi8(_mm_min_epu8(tag, Bytes16(2)), tag);  // < = >
    const __m128i other = _mm_or_si128(_mm_cmpeq_epi8(v, Bytes16('"')), _mm_cmpeq_epi8(v, Bytes16('/')));
    const __m128i sp = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, Bytes16(' ')), _mm_cmpeq_epi8(v, Bytes16('\t'))),
                                    _mm_or_si128(_mm_cmpeq_epi8(v, Bytes16('\n')), _mm_cmpeq_epi8(v, Bytes16('\r'))));
    return unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(sp, angle), other)));
}

// Bits of the bytes a quoted value stops at: " & and every byte of a multi-byte sequence.
inline unsigned QuotedStopBits(__m128i v) noexcept {
    const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(v, Bytes16('"')), _mm_cmpeq_epi8(v, Bytes16('&')));
    return unsigned(_mm_movemask_epi8(_mm_or_si128(marks, v)));
}
#endif

// The first byte at or after s that is not whitespace, or e.
inline const char* SkipSpaceBytes(const char* s, const char* e) noexcept {
#ifdef QUILLANE_KNOT_SSE2
    while (e - s >= 16) {
        const unsigned other = ~SpaceBits(Load16(s)) & 0xFFFFu;
        if (other) return s + __builtin_ctz(other);
        s += 16;
    }
#endif
    while (s < e && Has(*s, ccSpace)) ++s;
    return s;
}

// The first byte at or after s that ends a name, or e.
inline const char* NameEndBytes(const char* s, const char* e) noexcept {
#ifdef QUILLANE_KNOT_SSE2
    while (e - s >= 16) {
        if (const unsigned bits = NameEndBits(Load16(s))) return s + __builtin_ctz(bits);
        s += 16;
    }
#endif
    while (s < e && !Has(*s, ccNameEnd)) ++s;
    return s;
}

// The first " or & or non-ASCII byte at or after s, or e.
inline const char* QuotedStopBytes(const char* s, const char* e) noexcept {
#ifdef QUILLANE_KNOT_SSE2
    while (e - s >= 16) {
        if (const unsigned bits = QuotedStopBits(Load16(s))) return s + __builtin_ctz(bits);
        s += 16;
    }
#endif
    while (s < e && *s != '"' && *s != '&' && !(static_cast<unsigned char>(*s) & 0x80)) ++s;
    return s;
}

// Names of knots and parameters are a small vocabulary shared by every file the
// system reads. They are kept once for the life of the process, so that knots
// hold them as fixed text, with no reference count to move on every copy and
// free. The table is bounded: past the bound names are ordinary strings. Never
// destroyed, since knots may be freed by static destructors of other units.
class TNameTable {
public:
    static QString Intern(const QString& name) {
        static TNameTable* table = new TNameTable;
        return table->Get(name);
    }

private:
    static constexpr size_t kMaxUnits = size_t(1) << 18;

    QString Get(const QString& name) {
        std::u16string key(reinterpret_cast<const char16_t*>(name.constData()), size_t(name.size()));
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_names.find(key);
        if (it == m_names.end()) {
            if (m_units + key.size() > kMaxUnits) return name;
            m_units += key.size();
            it = m_names.insert(std::move(key)).first;
        }
        // The set's nodes never move, so the text stays where it is.
        return QString::fromRawData(reinterpret_cast<const QChar*>(it->data()), qsizetype(it->size()));
    }

    std::mutex m_mutex;
    std::unordered_set<std::u16string> m_names;
    size_t m_units = 0;
};

// Names repeat all over a file: a small direct-mapped cache hands out copies
// of the process's names. Names of UTF-8 text up to sixteen bytes are looked
// up by their bytes as two words (read in one block, the rest masked off).
template <class Ch>
class TNameCache {
public:
    // The name [s, s + n); e is the end of the text.
    QString Get(const Ch* s, qsizetype n, const Ch* e) {
#ifdef QUILLANE_KNOT_SSE2
        if constexpr (std::is_same_v<Ch, char>)
            if (n <= 16 && e - s >= 16) return GetShort(s, n);
#else
        (void)e;
#endif
        return GetLong(s, n);
    }

private:
    static constexpr qsizetype kMaxKey = 64;
    static constexpr int kSlots = 256;

    QString GetLong(const Ch* s, qsizetype n) {
        if (n > kMaxKey) return MakeName(s, n);
        if (n == 0) return QString();
        // Length, first, middle and last characters tell the few names of a file apart.
        const uint32_t h = uint32_t(n) * 2654435761u ^ Unit(s[0]) * 40503u ^ Unit(s[n / 2]) * 97u ^ Unit(s[n - 1]);
        Slot& slot = m_slots[(h ^ (h >> 9)) & (kSlots - 1)];
        if (slot.key.size() != size_t(n) || !Same(slot.key.data(), s, n)) {
            slot.key.assign(s, size_t(n));
            slot.name = TNameTable::Intern(MakeName(s, n));
        }
        return slot.name;
    }

#ifdef QUILLANE_KNOT_SSE2
    QString GetShort(const char* s, qsizetype n) {
        // 16 bytes kept, then 16 dropped: loaded from 16 - n, the first n bytes are kept.
        alignas(16) static constexpr unsigned char kKeep[32] = {
            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + 16 - n));
        const __m128i v = _mm_and_si128(Load16(s), keep);
        const uint64_t lo = uint64_t(_mm_cvtsi128_si64(v));
        const uint64_t hi = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
        const uint64_t h = (lo ^ (hi * 0x9E3779B97F4A7C15u) ^ uint64_t(n)) * 0xFF51AFD7ED558CCDu;
        ShortSlot& slot = m_short[h >> 56];
        if (slot.lo != lo || slot.hi != hi || slot.n != n) {
            slot.name = n == 0 ? QString() : TNameTable::Intern(MakeName(s, n));
            slot.lo = lo;
            slot.hi = hi;
            slot.n = n;
        }
        return slot.name;
    }

    struct ShortSlot {
        uint64_t lo = 0;
        uint64_t hi = 0;
        qsizetype n = -1;  // never a length: the slot is empty
        QString name;
    };
    ShortSlot m_short[256];
#endif

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
        TValueBlocks values;

        enum TTag { tagError, tagOpen, tagEmpty };

        // The hot loops work on local pointers: the position is a member, and
        // storing it at every step would cost more than the test itself.
        bool SkipSpace() noexcept {
            if constexpr (std::is_same_v<Ch, char>) {
                // Mostly no whitespace or a single space; runs of it (line ends and
                // indentation) go by the block.
                const char* q = p;
                if (q < end && Has(*q, ccSpace) && ++q < end && Has(*q, ccSpace)) q = SkipSpaceBytes(q + 1, end);
                p = q;
                return q < end;
            }
            const Ch* q = p;
            const Ch* const e = end;
            while (q < e && Has(*q, ccSpace)) ++q;
            p = q;
            return q < e;
        }

        const Ch* NameEnd(const Ch* s) const noexcept {
            if constexpr (std::is_same_v<Ch, char>) return NameEndBytes(s, end);
            const Ch* const e = end;
            while (s < e && !Has(*s, ccNameEnd)) ++s;
            return s;
        }

        // An element's opening tag, at its "<".
        TTag ParseTag(TKnot* knot, const Ch*& nameStart, qsizetype& nameLen) {
            ++p;
            // Comments, declarations and processing instructions are not part of the format.
            if (!SkipSpace() || *p == Ch('<') || *p == Ch('!') || *p == Ch('?')) return tagError;
            const Ch* s = p;
            p = NameEnd(p);
            if (p == s) return tagError;
            nameStart = s;
            nameLen = p - s;
            knot->m_name = names.Get(s, p - s, end);
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
                TKnotParam* param = AddParam(knot, names.Get(s, p - s, end));
                if (p < end && *p == Ch('=')) {
                    ++p;
                    if (!ParseValue(param)) return tagError;
                }
            }
        }

        static void SetValue(TKnotParam* param, TValueText value) noexcept {
            param->m_value = std::move(value.text);
            param->m_block = std::move(value.block);
        }

        // Appends a parameter whose name came from the text.
        static TKnotParam* AddParam(TKnot* knot, QString name) {
            auto* param = new TKnotParam(knot, std::move(name));
            (knot->m_lastParam ? knot->m_lastParam->m_next : knot->m_params) = param;
            knot->m_lastParam = param;
            return param;
        }

        bool ParseValue(TKnotParam* param) {
            if constexpr (std::is_same_v<Ch, char>) {
                // The common case: a quoted value of plain ASCII without "&",
                // closed by its quote and followed by whitespace, "/" or ">".
                if (p < end && *p == '"') {
                    const char* close = QuotedStopBytes(p + 1, end);
                    if (end - close >= 2 && *close == '"' && Has(close[1], ccValueEnd)) {
                        SetValue(param, values.MakeAscii(p + 1, close - (p + 1), end));
                        param->m_kind = pkString;
                        p = close + 1;
                        return true;
                    }
                }
            }
            const Ch* s = p;
            const Ch* q = p;
            const Ch* const e = end;
            qsizetype quotes = 0, amps = 0;
            bool inside = false;
            while (q < e) {
                const Ch c = *q;
                if (!Has(c, ccValueMark)) {
                    ++q;
                } else if (c == Ch('"')) {
                    // A quoted section: straight to its closing quote.
                    const Ch* close = Find(q + 1, e, Ch('"'));
                    ++quotes;
                    if (!close) {
                        inside = true;
                        q = e;
                        break;
                    }
                    ++quotes;
                    if (Find(q + 1, close, Ch('&'))) ++amps;
                    q = close + 1;
                } else if (c == Ch('&')) {
                    ++amps;
                    ++q;
                } else {
                    break;  // a terminator outside quotes
                }
            }
            p = q;
            if (inside) return false;  // the text ends inside quotes
            qsizetype n = p - s;
            if (n == 0) return true;  // "Name=" is a name without value
            if (n >= 2 && s[0] == Ch('"') && s[n - 1] == Ch('"')) {
                ++s;
                n -= 2;
                quotes -= 2;
            }
            if (amps > 0)
                SetValue(param, values.MakeUnescaped(s, n, quotes));
            else if (quotes > 0)
                param->m_value = XmlEscape::Unescape(MakeString(s, n), quotes, 0);
            else
                SetValue(param, values.Make(s, n, end));
            param->m_kind = pkString;
            return true;
        }

        struct TOpen {
            TKnot* knot;
            const Ch* name;
            qsizetype nameLen;
        };

        // Two names of the text. Short ones are compared a block of each at once.
        bool SameName(const Ch* a, const Ch* b, qsizetype n) const noexcept {
#ifdef QUILLANE_KNOT_SSE2
            if constexpr (std::is_same_v<Ch, char>) {
                if (n <= 16 && end - a >= 16 && end - b >= 16) {
                    const unsigned same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(a), Load16(b))));
                    const unsigned want = (1u << n) - 1;
                    return (same & want) == want;
                }
            }
#endif
            return Same(a, b, n);
        }

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
            if (!SameName(q, open.name, open.nameLen)) return false;
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
                // What was read stays, also when memory runs out: the elements
                // still open are linked to their parents.
                auto linkOpen = [&open] {
                    for (size_t i = open.size(); i-- > 1;) open[i - 1].knot->AppendBuilt(open[i].knot);
                };
                try {
                    ok = ParseContent(open);
                } catch (...) {
                    linkOpen();
                    throw;
                }
                linkOpen();
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

        // Links a completed element to the open one. Below the root every
        // open element is a plain knot this reader made with the same flags.
        static void Link(std::vector<TOpen>& open, TKnot* child) {
            if (open.size() > 1)
                open.back().knot->AppendChildQuietly(child);
            else
                open.back().knot->AppendBuilt(child);
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
                    if (!open.empty()) Link(open, done.knot);
                    continue;
                }
                if (isClosing) return false;  // another name, or whitespace before ">"
                if (open.size() >= size_t(TKnot::MaxDepth)) return false;
                TNodePtr<TKnot> child(new TKnot);  // members initialised, no zeroing of the whole block first
                child->m_flags = flags;
                TOpen entry{child.get(), nullptr, 0};
                const TTag tag = ParseTag(child.get(), entry.name, entry.nameLen);
                if (tag == tagOpen) {
                    open.push_back(entry);
                    child.release();  // owned by the open list until it is linked
                    continue;
                }
                if (tag == tagError && child->m_name.isEmpty()) return false;  // nothing of it was read
                Link(open, child.get());
                child.release();
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
            Parser<Ch> parser;  // on the stack: a large allocation here would make the allocator tidy up first
            parser.p = text;
            parser.end = text + count;
            try {
                ok = parser.Run(knot);
            } catch (...) {
                knot.m_state |= ksLoadFailed;
                throw;
            }
        }
        if (!ok) knot.m_state |= ksLoadFailed;
        return ok;
    }
};

// ---------------------------------------------------------------------------
// Writer

namespace {

// Output in UTF-16, for strings and the UTF-16 encodings.
struct TUtf16Sink {
    QString out;
    void Char(char c) { out.append(QLatin1Char(c)); }
    void Ascii(const char* s, qsizetype n) { out.append(QLatin1StringView(s, n)); }
    void Text(QStringView text, bool) { out.append(text); }
    void Tabs(int n) {
        static constexpr char16_t kTabs[] = u"\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
        constexpr int kRun = int(std::size(kTabs)) - 1;
        for (; n > kRun; n -= kRun) out.append(QStringView(kTabs, kRun));
        if (n > 0) out.append(QStringView(kTabs, n));
    }
};

// Output in UTF-8, for files: written directly, without a UTF-16 copy first,
// into the byte array that is handed out. The array is kept at its full
// capacity and grows by doubling in place; `used` counts what was written.
struct TUtf8Sink {
    QByteArray buffer;
    char* base = nullptr;
    qsizetype used = 0;
    qsizetype capacity = 0;

    // Room for n more bytes at base + used.
    char* Room(qsizetype n) {
        if (capacity - used < n) Grow(n);
        return base + used;
    }
    void Grow(qsizetype n) {
        capacity = std::max({capacity * 2, used + n, qsizetype(4096)});
        buffer.resize(capacity);
        base = buffer.data();
    }
    QByteArray Take() {
        buffer.resize(used);
        if (capacity - used > used / 4) buffer.squeeze();  // a shrink in place, not a copy
        return std::move(buffer);
    }

    void Char(char c) {
        *Room(1) = c;
        ++used;
    }
    void Ascii(const char* s, qsizetype n) {
        std::memcpy(Room(n), s, size_t(n));
        used += n;
    }
    void Text(QStringView text, bool ascii) {
        if (ascii) {
            char* d = Room(text.size());
            for (QChar c : text) *d++ = char(c.unicode());
            used += text.size();
        } else {
            const QByteArray bytes = text.toUtf8();
            Ascii(bytes.constData(), bytes.size());
        }
    }
    void Tabs(int n) {
        std::memset(Room(n), '\t', size_t(n));
        used += n;
    }
    // Narrows plain ASCII text straight into the output while collecting its
    // classes; gives back false (and writes nothing) for any other text.
    bool TryAscii(QStringView text, uint8_t& classes) {
        char* d = Room(text.size());
        uint8_t seen = 0;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= 128) return false;
            seen |= kClasses.c[u];
            *d++ = char(u);
        }
        used += text.size();
        classes = seen;
        return true;
    }
    void Drop(qsizetype n) { used -= n; }
};

// Classes of a text for the writer: what it holds below 128, and whether it holds more.
struct TTextClasses {
    uint8_t classes = 0;
    bool ascii = true;
    bool surrogates = false;
};

inline TTextClasses Classify(QStringView text) {
    TTextClasses t;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 128) {
            t.classes |= kClasses.c[u];
        } else {
            t.ascii = false;
            t.surrogates |= XmlEscape::IsSurrogate(u);
        }
    }
    return t;
}

bool IsAscii(QStringView text) {
    for (QChar c : text)
        if (c.unicode() >= 128) return false;
    return true;
}

}  // namespace

// The code writer's rules, kept exactly: text goes onto the last line (made
// when there is none); an empty line first receives one TAB per level while
// indenting; a line break is an empty line appended while line breaks are on.
template <class Sink>
struct TKnotWriter {
    // Indentation stops growing at this level. Nobody follows a layout deeper
    // than this by eye, and without a bound a tree at the reader's depth limit
    // would spend nearly all of its text on TABs (about MaxDepth squared).
    static constexpr int kMaxIndentLevel = 32;
    // UTF-8 cannot hold a surrogate that is not half of a pair: such values
    // are written with character references, which the reader reads back.
    static constexpr bool kLoneSurrogatesAsReferences = std::is_same_v<Sink, TUtf8Sink>;

    Sink sink;
    qsizetype lines = 0;
    bool lineEmpty = true;
    int level = 0;
    bool useIndent = true;
    bool useNewLines = true;

    void Begin() {
        if (lines == 0) lines = 1;
        if (lineEmpty) {
            if (useIndent && level > 0) sink.Tabs(std::min(level, kMaxIndentLevel));
            lineEmpty = false;
        }
    }
    void NewLine() {
        if (!useNewLines) return;
        if (lines == 0)
            lines = 1;
        else {
            sink.Ascii("\r\n", 2);
            ++lines;
        }
        lineEmpty = true;
    }

    void Name(const QString& name) {
        if constexpr (std::is_same_v<Sink, TUtf8Sink>) {
            uint8_t classes;
            if (sink.TryAscii(name, classes)) return;
        }
        if (IsAscii(name))
            sink.Text(name, true);
        else
            sink.Text(NameText(name), false);
    }

    void WriteParam(const TKnotParam& param, TKnotFlags flags) {
        sink.Char(' ');
        Name(param.Name());
        if (param.Kind() == pkNone) return;
        sink.Char('=');
        if (param.Kind() != pkString) {
            const bool quoted = !(flags & kfUnquotedValues);
            if (quoted) sink.Char('"');
            if (param.Stream()) AppendHex(*param.Stream());
            if (quoted) sink.Char('"');
            return;
        }
        AppendValue(param.ValueView(), flags);
    }

    void AppendHex(const QByteArray& bytes) {
        static constexpr char digits[] = "0123456789ABCDEF";
        auto* d = [&] {
            if constexpr (std::is_same_v<Sink, TUtf8Sink>) {
                char* room = sink.Room(bytes.size() * 2);
                sink.used += bytes.size() * 2;
                return room;
            } else {
                auto& out = sink.out;
                const auto at = out.size();
                out.resize(at + bytes.size() * 2);
                return out.data() + at;
            }
        }();
        for (char b : bytes) {
            const unsigned u = static_cast<unsigned char>(b);
            *d++ = digits[u >> 4];
            *d++ = digits[u & 15];
        }
    }

    void AppendValue(QStringView value, TKnotFlags flags) {
        const bool doubled = flags & kfDoubledQuotes;
        if constexpr (std::is_same_v<Sink, TUtf8Sink>) {
            // Quoted values of plain ASCII with nothing to escape, the bulk of a
            // scheme file, in one pass.
            uint8_t classes = 0;
            if (!(flags & kfUnquotedValues)) {
                sink.Char('"');
                const bool ascii = sink.TryAscii(value, classes);
                if (ascii && !(classes & (doubled ? ccDoubled : ccEscape))) {
                    sink.Char('"');
                    return;
                }
                // Take it back out and write it the general way.
                if (ascii) sink.Drop(value.size());
                sink.Drop(1);
            }
        }
        const TTextClasses t = Classify(value);
        const bool escape = (t.classes & (doubled ? ccDoubled : ccEscape)) ||
                            (kLoneSurrogatesAsReferences && t.surrogates && HasLoneSurrogate(value));
        const bool needsQuotes = t.classes & (doubled ? ccQuoteDoubled : ccQuoteEntity);
        const bool quoted = needsQuotes || !(flags & kfUnquotedValues);
        if (quoted) sink.Char('"');
        if (!escape)
            sink.Text(value, t.ascii);
        else
            AppendEscaped(value, doubled);
        if (quoted) sink.Char('"');
    }

    struct TEscapedOut {
        Sink& sink;
        void Run(QStringView run) { sink.Text(run, IsAscii(run)); }
        void Ascii(const char* s, qsizetype n) { sink.Ascii(s, n); }
    };

    void AppendEscaped(QStringView value, bool doubled) {
        TEscapedOut out{sink};
        XmlEscape::AppendEscaped(value, doubled ? XmlEscape::TQuoteMode::Doubled : XmlEscape::TQuoteMode::Entities,
                                 kLoneSurrogatesAsReferences, out);
    }

    // Emptiness of every knot of the tree, found in one pass from the leaves up,
    // so that skipping empty children stays linear on deep trees.
    std::unordered_set<const TKnot*> empty;
    bool emptyKnown = false;
    const TKnot* saveRoot = nullptr;

    bool IsEmpty(const TKnot* k) {
        if (!emptyKnown) {
            emptyKnown = true;
            std::vector<const TKnot*> order;
            for (const TKnot* n : PreOrder(saveRoot)) order.push_back(n);
            for (size_t i = order.size(); i-- > 0;) {
                const TKnot* n = order[i];
                if (n->Params()) continue;
                bool e = true;
                if (n->FirstChild()) {
                    if (n->GetFlags() & kfIndexed) continue;
                    for (const TKnot* c = n->FirstKnot(); c && e; c = c->NextKnot()) e = empty.count(c) > 0;
                }
                if (e) empty.insert(n);
            }
        }
        return empty.count(k) > 0;
    }

    struct TFrame {
        const TKnot* knot;
        const TKnot* next;  // the next child to look at
        TKnotFlags flags;
        bool savedIndent;
        bool savedNewLines;
    };

    void Run(const TKnot& root) {
        saveRoot = &root;
        std::vector<TFrame> stack;
        Open(&root, stack);
        while (!stack.empty()) {
            TFrame& f = stack.back();
            const TKnot* child = f.next;
            if (f.flags & kfSkipEmpty)
                while (child && IsEmpty(child)) child = child->NextKnot();
            if (child) {
                f.next = child->NextKnot();
                Open(child, stack);
                continue;
            }
            --level;
            Begin();
            sink.Ascii("</", 2);
            Name(f.knot->Name());
            sink.Char('>');
            Finish(stack);
        }
        if (lines > 0) sink.Ascii("\r\n", 2);
    }

    void Open(const TKnot* k, std::vector<TFrame>& stack) {
        // The reader refuses text nested deeper: refused here before anything is written.
        if (stack.size() >= size_t(TKnot::MaxDepth))
            throw Exception::FromId(strKnotTooDeep, {QString::number(TKnot::MaxDepth)});
        const TKnotFlags flags = k->GetFlags();
        stack.push_back({k, k->FirstKnot(), flags, useIndent, useNewLines});
        useIndent = !(flags & kfNoIndent);
        useNewLines = !(flags & kfNoLineBreaks);
        Begin();
        sink.Char('<');
        Name(k->Name());
        for (const TKnotParam* p = k->Params(); p; p = p->Next()) WriteParam(*p, flags);
        if (!k->FirstChild()) {
            sink.Ascii("/>", 2);
            Finish(stack);
            return;
        }
        sink.Char('>');
        NewLine();
        ++level;
    }

    // Ends the line unless the next sibling follows on the same line, then
    // restores the writer's settings. The knot being saved ends no line.
    void Finish(std::vector<TFrame>& stack) {
        const TFrame f = stack.back();
        stack.pop_back();
        if (f.knot != saveRoot) {
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
    QString out(bytes.size() * 2, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (char b : bytes) {
        const unsigned u = static_cast<unsigned char>(b);
        *d++ = kHexDigits[u >> 4];
        *d++ = kHexDigits[u & 15];
    }
    return out;
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

QString Write(const TKnot& knot) {
    TKnotWriter<TUtf16Sink> w;
    w.Run(knot);
    return w.sink.out;
}

QByteArray WriteBytes(const TKnot& knot, TKnotEncoding encoding) {
    if (encoding == TKnotEncoding::Utf16LE || encoding == TKnotEncoding::Utf16BE) return Encode(Write(knot), encoding);
    TKnotWriter<TUtf8Sink> w;
    if (encoding == TKnotEncoding::Utf8) w.sink.Ascii("\xEF\xBB\xBF", 3);
    w.Run(knot);
    return w.sink.Take();
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
    const TFileReplaceResult result = ReplaceFileContents(fileName, bytes);
    if (!result.ok) throw Exception::FromId(strCannotCreateFile, {fileName, result.errorText});
}

}  // namespace KnotText

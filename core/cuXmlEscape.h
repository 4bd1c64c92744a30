#pragma once
// Escaping of attribute values in knot text: the one set of rules that the
// knot reader, the knot writer and the XML code writer share.
//
// Entity mode replaces "&", "<", ">", the double quote and the characters 1 to
// 31 by references; doubled mode writes each double quote twice and "&" as
// "&amp;" (references are decoded in every value, so a bare "&" would not read
// back). Reading decodes "&quot;", "&lt;", "&gt;", "&amp;" and "&#N;" (N
// decimal, 0 to 65535); anything else after an "&" stays as it is.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace XmlEscape {

enum class TQuoteMode : uint8_t { Entities, Doubled };

// The longest reference read is "&#65535;": at most this many units stand
// between "&" and ";", so the ";" is looked for only that far and a value full
// of "&" decodes in linear time.
constexpr qsizetype kMaxReferenceName = 6;

// Whether the mode replaces the character.
constexpr bool Replaces(char16_t u, TQuoteMode mode) noexcept {
    if (mode == TQuoteMode::Doubled) return u == u'"' || u == u'&';
    return (u >= 1 && u <= 31) || u == u'&' || u == u'<' || u == u'>' || u == u'"';
}

// Whether an escaped value holding the character must stand in double quotes:
// the double quote and what ends an unquoted value (TAB, LF, CR, space, "/", ">").
constexpr bool NeedsQuotes(char16_t u) noexcept {
    return u == u'"' || u == u'\t' || u == u'\n' || u == u'\r' || u == u' ' || u == u'/' || u == u'>';
}

constexpr bool IsSurrogate(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDFFF; }

// The character of the reference whose name starts at s (just after its "&")
// in a text that ends at e, or -1; on success length is the number of units
// from s up to and including the ";". Units may be UTF-16 or ASCII bytes.
template <class Ch>
int DecodeReference(const Ch* s, const Ch* e, qsizetype& length) noexcept {
    const qsizetype room = e - s < kMaxReferenceName + 1 ? e - s : kMaxReferenceName + 1;
    qsizetype n = 0;
    while (n < room && s[n] != Ch(';')) ++n;
    if (n == room) return -1;
    length = n + 1;
    auto is = [&](const char* word, qsizetype len) {
        if (n != len) return false;
        for (qsizetype i = 0; i < len; ++i)
            if (s[i] != Ch(word[i])) return false;
        return true;
    };
    if (is("quot", 4)) return '"';
    if (is("lt", 2)) return '<';
    if (is("gt", 2)) return '>';
    if (is("amp", 3)) return '&';
    if (n < 2 || s[0] != Ch('#')) return -1;
    int code = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (s[i] < Ch('0') || s[i] > Ch('9')) return -1;
        code = code * 10 + int(s[i] - Ch('0'));
    }
    return code <= 0xFFFF ? code : -1;
}

// Decodes the references of [s, s + n) into d, which has room for n units;
// gives the number of units written. Bytes must be ASCII.
template <class Ch>
qsizetype UnescapeInto(const Ch* s, qsizetype n, char16_t* d) noexcept {
    const Ch* const e = s + n;
    char16_t* out = d;
    while (s < e) {
        if (*s != Ch('&')) {
            *out++ = char16_t(*s++);
            continue;
        }
        qsizetype length = 0;
        const int code = DecodeReference(s + 1, e, length);
        if (code < 0) {
            *out++ = u'&';
            ++s;
        } else {
            *out++ = char16_t(code);
            s += 1 + length;
        }
    }
    return out - d;
}

// Writes value with the mode's replacements: runs that stay as they are go
// to out.Run(QStringView) whole (so the halves of a pair stay together),
// replacements to out.Ascii(const char*, qsizetype). With loneSurrogates a
// surrogate that is not half of a pair is written as a reference too, for
// encodings that cannot hold it.
template <class Out>
void AppendEscaped(QStringView value, TQuoteMode mode, bool loneSurrogates, Out& out) {
    const char16_t* const v = value.utf16();
    const qsizetype size = value.size();
    qsizetype run = 0;
    auto flush = [&](qsizetype end) {
        if (end > run) out.Run(QStringView(v + run, end - run));
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = v[i];
        if (u >= 128) {
            if (!loneSurrogates || !IsSurrogate(u)) continue;
            if (u < 0xDC00 && i + 1 < size && v[i + 1] >= 0xDC00 && v[i + 1] <= 0xDFFF) {
                ++i;  // a pair
                continue;
            }
        } else if (!Replaces(u, mode)) {
            continue;
        }
        flush(i);
        run = i + 1;
        switch (u) {
        case u'&': out.Ascii("&amp;", 5); break;
        case u'"': mode == TQuoteMode::Doubled ? out.Ascii("\"\"", 2) : out.Ascii("&quot;", 6); break;
        case u'<': out.Ascii("&lt;", 4); break;
        case u'>': out.Ascii("&gt;", 4); break;
        default: {
            char ref[kMaxReferenceName + 2] = {'&', '#'};
            qsizetype n = 2;
            char digits[5];
            int count = 0;
            for (unsigned c = u; c; c /= 10) digits[count++] = char('0' + c % 10);
            while (count > 0) ref[n++] = digits[--count];
            ref[n++] = ';';
            out.Ascii(ref, n);
        }
        }
    }
    flush(size);
}

// The value as written, and whether it must stand in quotes.
QString Escape(QStringView value, TQuoteMode mode, bool& needsQuotes);
// Undoes Escape on a value whose enclosing quotes are removed: with
// quoteCount above 0 each pair of adjacent double quotes becomes one; with
// ampCount above 0 references are decoded.
QString Unescape(QStringView text, qsizetype quoteCount, qsizetype ampCount);

}  // namespace XmlEscape

#include "core/cuXmlEscape.h"

namespace XmlEscape {

namespace {
struct TStringOut {
    QString& text;
    void Run(QStringView run) { text.append(run); }
    void Ascii(const char* s, qsizetype n) { text.append(QLatin1StringView(s, n)); }
};
}  // namespace

QString Escape(QStringView value, TQuoteMode mode, bool& needsQuotes) {
    QString result;
    result.reserve(value.size());
    TStringOut out{result};
    AppendEscaped(value, mode, false, out);
    needsQuotes = false;
    for (QChar c : result)
        if (NeedsQuotes(c.unicode())) {
            needsQuotes = true;
            break;
        }
    return result;
}

QString Unescape(QStringView text, qsizetype quoteCount, qsizetype ampCount) {
    QString result(text.size(), Qt::Uninitialized);
    char16_t* const d = reinterpret_cast<char16_t*>(result.data());
    qsizetype n = 0;
    if (quoteCount > 0) {
        // Each pair of adjacent quotes becomes one; in a run of k quotes the
        // pairs are the same whichever end they are taken from.
        for (qsizetype i = 0; i < text.size(); ++i) {
            d[n++] = text[i].unicode();
            if (text[i] == u'"' && i + 1 < text.size() && text[i + 1] == u'"') ++i;
        }
    } else {
        std::copy(text.utf16(), text.utf16() + text.size(), d);
        n = text.size();
    }
    if (ampCount > 0) n = UnescapeInto(d, n, d);  // never writes ahead of what it reads
    result.truncate(n);
    return result;
}

}  // namespace XmlEscape

#include "core/cuCodeWriters.h"

#include "core/cuXmlEscape.h"

#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <type_traits>

namespace {

// Room for a text converted to UTF-16: short ASCII and Latin-1 texts (the
// usual literals) are widened on the stack, anything else goes to the heap.
struct TUtf16Storage {
    QVarLengthArray<char16_t, 128> small;
    QString large;
};

// The text as UTF-16: a view of it when it is UTF-16 already, else a view of
// its conversion kept in storage.
QStringView Utf16(QAnyStringView text, TUtf16Storage& storage) {
    return text.visit([&storage](auto view) -> QStringView {
        using View = decltype(view);
        if constexpr (std::is_same_v<View, QStringView>) {
            return view;
        } else {
            const auto* bytes = reinterpret_cast<const unsigned char*>(view.data());
            const qsizetype n = view.size();
            bool widen = n <= storage.small.capacity();
            if constexpr (std::is_same_v<View, QUtf8StringView>)
                for (qsizetype i = 0; widen && i < n; ++i) widen = bytes[i] < 0x80;
            if (!widen) {
                storage.large = view.toString();
                return storage.large;
            }
            storage.small.resize(n);
            for (qsizetype i = 0; i < n; ++i) storage.small[i] = bytes[i];
            return QStringView(storage.small.constData(), n);
        }
    });
}

// The parts joined into one string with a single allocation.
QString Cat(std::initializer_list<QAnyStringView> parts) {
    qsizetype size = 0;
    for (QAnyStringView part : parts) size += part.size();
    QString result;
    result.reserve(size);
    for (QAnyStringView part : parts) {
        TUtf16Storage storage;
        result += Utf16(part, storage);
    }
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// Formatting

QString TFmtArg::Text() const {
    return m_isInt ? QString::number(m_int) : m_text;
}

namespace {

// The argument of "%x" in lower-case hex; a negative 32-bit value is written
// in 32 bits, as two's complement. A text argument stays as it is.
QString HexText(const TFmtArg& a) {
    if (!a.IsInt()) return a.Text();
    const bool narrow = a.Int() < 0 && a.Int() >= INT_MIN;
    return QString::number(narrow ? quint64(quint32(qint32(a.Int()))) : quint64(a.Int()), 16);
}

}  // namespace

QString FormatCode(QAnyStringView anyPattern, std::initializer_list<TFmtArg> args) {
    TUtf16Storage storage;
    const QStringView pattern = Utf16(anyPattern, storage);
    QString result;
    result.reserve(pattern.size() + 16 * qsizetype(args.size()));
    auto next = args.begin();
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = pattern[i];
        if (ch != u'%' || i + 1 >= n) {
            result += ch;
            continue;
        }
        const QChar kind = pattern[i + 1];
        switch (kind.unicode()) {
        case u'%':
            result += u'%';
            break;
        case u's':
        case u'd':
        case u'u':
            if (next != args.end()) result += (next++)->Text();
            break;
        case u'x':
        case u'X':
            if (next != args.end()) {
                const QString hex = HexText(*next++);
                result += kind == u'X' ? hex.toUpper() : hex;
            }
            break;
        default:
            result += ch;
            continue;  // not a placeholder: the next character is written as it is
        }
        ++i;
    }
    return result;
}

// ---------------------------------------------------------------------------
// TCodeWriter

T_CLASS_IMPL(TCodeWriter, TItfObject)

TCodeWriter::TCodeWriter() = default;
TCodeWriter::~TCodeWriter() = default;

QString TCodeWriter::Text(QStringView lineBreak) const {
    qsizetype size = 0;
    for (const QString& line : m_lines) size += line.size() + lineBreak.size();
    QString result;
    result.reserve(size);
    for (const QString& line : m_lines) {
        result += line;
        result += lineBreak;
    }
    return result;
}

QString TCodeWriter::IndentText(int level) const {
    const qsizetype count = qsizetype(std::max(level, 0)) * std::max(m_indentSize, 0);
    return QString(count, m_indentChar);
}

void TCodeWriter::Write(QAnyStringView text) {
    if (text.isEmpty()) return;
    TUtf16Storage storage;
    DoWrite(Utf16(text, storage));
}

void TCodeWriter::WriteFmt(QAnyStringView pattern, std::initializer_list<TFmtArg> args) {
    Write(FormatCode(pattern, args));
}

void TCodeWriter::NewLine() {
    if (m_useNewLines) m_lines.append(QString());
}

void TCodeWriter::WriteLn(QAnyStringView text) {
    Write(text);
    NewLine();
}

void TCodeWriter::WriteLnFmt(QAnyStringView pattern, std::initializer_list<TFmtArg> args) {
    WriteFmt(pattern, args);
    NewLine();
}

QString& TCodeWriter::CurrentLine() {
    if (m_lines.isEmpty()) m_lines.append(QString());
    return m_lines.last();
}

QString& TCodeWriter::IndentedCurrentLine() {
    QString& line = CurrentLine();
    if (!line.isEmpty()) return line;
    // A line is mostly written in several pieces: room for a line of the
    // usual length at once spares copying it as it grows piece by piece.
    constexpr qsizetype kUsualLineLength = 96;
    if (line.capacity() < kUsualLineLength) line.reserve(kUsualLineLength);
    if (m_useIndent && m_level >= 1) line.resize(qsizetype(m_level) * std::max(m_indentSize, 0), m_indentChar);
    return line;
}

void TCodeWriter::DoWrite(QStringView text) {
    IndentedCurrentLine() += text;
}

// ---------------------------------------------------------------------------
// TCustomXmlCodeWriter

T_CLASS_IMPL_ABSTRACT(TCustomXmlCodeWriter, TCodeWriter)
T_CLASS_IMPL(TXmlCodeWriter, TCustomXmlCodeWriter)

TCustomXmlCodeWriter::TCustomXmlCodeWriter() {
    SetIndentSize(1);
    SetIndentChar(u'\t');
}

void TCustomXmlCodeWriter::WriteStartTag(QAnyStringView name) {
    Write(Cat({u"<", name}));
}

void TCustomXmlCodeWriter::CloseTag() {
    Write(u">");
}

void TCustomXmlCodeWriter::CloseEmptyTag() {
    Write(u"/>");
}

void TCustomXmlCodeWriter::WriteOpenTag(QAnyStringView name) {
    Write(Cat({u"<", name, u">"}));
}

void TCustomXmlCodeWriter::WriteEmptyTag(QAnyStringView name) {
    Write(Cat({u"<", name, u"/>"}));
}

void TCustomXmlCodeWriter::WriteEndTag(QAnyStringView name) {
    Write(Cat({u"</", name, u">"}));
}

void TCustomXmlCodeWriter::WriteAttrName(QAnyStringView name) {
    Write(Cat({u" ", name}));
}

void TCustomXmlCodeWriter::WriteAttr(QAnyStringView name, QAnyStringView value) {
    Write(Cat({u" ", name, u"=", value}));
}

void TCustomXmlCodeWriter::WriteQuotedAttr(QAnyStringView name, QAnyStringView value) {
    Write(Cat({u" ", name, u"=\"", value, u"\""}));
}

QString TCustomXmlCodeWriter::Escape(const QString& text, bool doubledQuotes, bool& needsQuotes) {
    return XmlEscape::Escape(text, doubledQuotes ? XmlEscape::TQuoteMode::Doubled : XmlEscape::TQuoteMode::Entities,
                             needsQuotes);
}

QString TCustomXmlCodeWriter::Unescape(QStringView text, qsizetype quoteCount, qsizetype ampCount) {
    return XmlEscape::Unescape(text, quoteCount, ampCount);
}

// ---------------------------------------------------------------------------
// TSourceCodeWriter

T_CLASS_IMPL_ABSTRACT(TSourceCodeWriter, TCodeWriter)

namespace {

// True when cutting text before position cut would part a surrogate pair.
bool SplitsPair(QStringView text, qsizetype cut) noexcept {
    return cut > 0 && cut < text.size() && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate();
}

}  // namespace

TSourceCodeWriter::TSourceCodeWriter() {
    SetIndentChar(u' ');
}

bool TSourceCodeWriter::CanBreakAt(QChar ch, QChar prev, QChar next) const {
    switch (prev.unicode()) {
    case u'<':
        // "<>" and "<=" are one operator: break after the whole of it.
        return ch != u'>' && ch != u'=';
    case u'>':
        return ch != u'=';
    case u'(':
        // "(*" opens a comment.
        return ch != u'*';
    case u'+':
    case u',':
    case u'-':
    case u';':
    case u'=':
    case u'[':
        return true;
    default:
        break;
    }
    if (ch != u' ') return false;
    switch (next.unicode()) {
    case u'+':
    case u'-':
    case u':':
    case u'<':
    case u'=':
    case u'>':
        return false;
    default:
        return true;
    }
}

namespace {

bool IsAsciiDigit(QChar ch) noexcept {
    return ch >= u'0' && ch <= u'9';
}

// True when a break before text[at] would fall after the sign of the
// exponent of a real number ("1.5E-10"), which the compiler must read whole.
bool InExponent(QStringView text, qsizetype at) noexcept {
    if (at < 3 || at >= text.size()) return false;
    const QChar sign = text[at - 1];
    const QChar e = text[at - 2];
    return (sign == u'+' || sign == u'-') && (e == u'e' || e == u'E') && IsAsciiDigit(text[at - 3]) &&
           IsAsciiDigit(text[at]);
}

}  // namespace

int TSourceCodeWriter::FindBreak(QStringView text, int from) const {
    const qsizetype n = text.size();
    for (qsizetype i = from; i < n; ++i) {
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        if (CanBreakAt(text[i], text[i - 1], next) && !InExponent(text, i)) return int(i);
    }
    return -1;
}

void TSourceCodeWriter::DoWrite(QStringView text) {
    if (m_wrapLines)
        AppendWrapped(text, {}, nullptr);
    else
        TCodeWriter::DoWrite(text);
}

void TSourceCodeWriter::WriteWrappedLines(QAnyStringView text, QAnyStringView suffix,
                                          QAnyStringView continuationPrefix) {
    TUtf16Storage textStorage, suffixStorage, prefixStorage;
    const QStringView prefix = Utf16(continuationPrefix, prefixStorage);
    AppendWrapped(Utf16(text, textStorage), Utf16(suffix, suffixStorage), &prefix);
}

void TSourceCodeWriter::AppendWrapped(QStringView text, QStringView suffix, const QStringView* prefix) {
    if (text.isEmpty()) return;
    QString* line = &IndentedCurrentLine();
    while (UseNewLines()) {
        const int available = m_maxLineLength - int(line->size());
        int at = FindBreak(text, std::max(available, 3));
        // The default break points never part a surrogate pair; a derived
        // rule might.
        while (at >= 0 && SplitsPair(text, at)) at = FindBreak(text, at + 1);
        if (at < 0) break;
        *line += text.first(at);
        *line += suffix;
        QString next = IndentText(UseIndent() ? Level() : 0);
        if (prefix)
            next += *prefix;
        else
            next += IndentText(1);
        Lines().append(std::move(next));
        line = &Lines().last();
        text = text.sliced(at);
    }
    *line += text;
}

void TSourceCodeWriter::WriteWrapped(QAnyStringView anyText, bool indentContinuation) {
    TUtf16Storage storage;
    QStringView text = Utf16(anyText, storage);
    QString* line = &IndentedCurrentLine();
    int written = 0;
    for (;;) {
        const int limit = std::max(m_maxLineLength - int(line->size()), 3);
        qsizetype pieceLength = text.size();
        if (UseNewLines()) {
            int at = FindBreak(text, limit);
            while (at >= 0 && SplitsPair(text, at + 1)) at = FindBreak(text, at + 1);
            if (at >= 0)
                pieceLength = at + 1;
            else if (text.size() > limit)
                pieceLength = limit + (SplitsPair(text, limit) ? 1 : 0);
        }
        if (text.size() - pieceLength <= m_minTailLength) {
            *line += QuoteString(text, written > 0, false);
            if (indentContinuation && written > 0) Unindent();
            return;
        }
        *line += QuoteString(text.first(pieceLength), written > 0, true);
        if (indentContinuation && written == 0) Indent();
        Lines().append(UseIndent() ? IndentText(Level()) : QString());
        line = &Lines().last();
        ++written;
        text = text.sliced(pieceLength);
    }
}

void TSourceCodeWriter::EnsureEmptyLine() {
    const QStringList& lines = Lines();
    if (!lines.isEmpty() && !lines.last().isEmpty()) NewLine();
    if (lines.size() >= 2 && !lines[lines.size() - 2].isEmpty()) NewLine();
}

bool TSourceCodeWriter::WrapIfLong() {
    if (!UseNewLines() || Lines().isEmpty() || Lines().last().size() < m_maxLineLength) return false;
    Lines().append(UseIndent() ? IndentText(Level() + 1) : QString());
    return true;
}

// ---------------------------------------------------------------------------
// TPascalCodeWriter

T_CLASS_IMPL(TPascalCodeWriter, TSourceCodeWriter)

TPascalCodeWriter::TPascalCodeWriter() {
    SetIndentSize(2);
}

QString TPascalCodeWriter::QuoteString(QStringView text, bool isContinuation, bool addPlus) const {
    QString result;
    result.reserve(text.size() + 4);
    bool inQuotes = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        // Outside the quotes: control characters, which the compiler refuses
        // or silently changes inside a literal, and the half of a surrogate
        // pair that stands alone, which no source encoding can carry.
        const bool lone = (ch.isHighSurrogate() && !(i + 1 < n && text[i + 1].isLowSurrogate())) ||
                          (ch.isLowSurrogate() && !(i > 0 && text[i - 1].isHighSurrogate()));
        if (ch.unicode() < 32 || lone) {
            if (inQuotes) result += u'\'';
            inQuotes = false;
            result += u'#';
            result += QString::number(ch.unicode());
            continue;
        }
        if (!inQuotes) result += u'\'';
        inQuotes = true;
        result += ch;
        if (ch == u'\'') result += u'\'';
    }
    if (inQuotes)
        result += u'\'';
    else if (text.isEmpty())
        result += u"''";
    if (addPlus) result += u" +";
    return result;
}

QString TPascalCodeWriter::CommentText(const QString& text) {
    if (text.isEmpty()) return {};
    // A closing mark in the text would end the comment early, and Free
    // Pascal's own modes nest comments of one kind, so an opening mark would
    // leave it open: the text may hold neither mark of the kind it stands in.
    if (!text.contains(u'{') && !text.contains(u'}')) return Cat({u"{ ", text, u" }"});
    if (!text.contains(u"(*") && !text.contains(u"*)")) return Cat({u"(* ", text, u" *)"});
    QString safe = text;
    safe.replace(u'{', u'(').replace(u'}', u')');
    return Cat({u"{ ", safe, u" }"});
}

bool TPascalCodeWriter::WriteComment(const QString& text) {
    if (text.isEmpty()) return false;
    Write(CommentText(text));
    return true;
}

bool TPascalCodeWriter::WriteLineComment(const QString& text) {
    if (text.isEmpty()) return false;
    // A line break inside the text would end the comment and leave the rest
    // as code: each line of the text gets a comment line of its own.
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n') ++end;
        WriteWrappedLines(Cat({u"// ", QStringView(text).sliced(start, end - start)}), {}, u"// ");
        NewLine();
        if (end >= n) break;
        start = end + ((text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n') ? 2 : 1);
        if (start >= n) break;
    }
    return true;
}

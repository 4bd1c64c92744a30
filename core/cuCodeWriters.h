#pragma once
// Code writers: a stream of write calls turned into a list of indented text
// lines. TCodeWriter is the base; TXmlCodeWriter adds tags, attributes and the
// escaping of knot text; TSourceCodeWriter wraps long lines at allowed break
// points; TPascalCodeWriter adds Pascal string literals and comments.
//
// Lengths and positions are in UTF-16 code units. No writer ever cuts a line
// or a literal between the two halves of a surrogate pair.

#include "core/cuClasses.h"

#include <QString>
#include <QStringList>
#include <QAnyStringView>
#include <QStringView>

#include <initializer_list>

// One argument of TCodeWriter::WriteFmt: a text (for "%s") or an integer
// (for "%d", "%u", "%x", "%X"). Either kind is accepted by every placeholder.
class TFmtArg {
public:
    TFmtArg(const QString& text) : m_text(text) {}
    TFmtArg(QStringView text) : m_text(text.toString()) {}
    TFmtArg(const char* text) : m_text(QString::fromUtf8(text)) {}
    TFmtArg(const char16_t* text) : m_text(QStringView(text).toString()) {}
    TFmtArg(QChar ch) : m_text(ch) {}
    TFmtArg(int value) : m_isInt(true), m_int(value) {}
    TFmtArg(long value) : m_isInt(true), m_int(value) {}
    TFmtArg(long long value) : m_isInt(true), m_int(value) {}
    TFmtArg(unsigned value) : m_isInt(true), m_int(value) {}
    TFmtArg(unsigned long value) : m_isInt(true), m_int(static_cast<long long>(value)) {}

    bool IsInt() const noexcept { return m_isInt; }
    long long Int() const noexcept { return m_int; }
    // The text, or the decimal form of the integer.
    QString Text() const;

private:
    QString m_text;
    bool m_isInt = false;
    long long m_int = 0;
};

// Fills "%s", "%d", "%u", "%x", "%X" in order from args and "%%" with "%".
// A placeholder without an argument gives nothing; any other "%" stays as it
// is. Arguments are inserted as they are, never scanned again.
QString FormatCode(QAnyStringView pattern, std::initializer_list<TFmtArg> args);

// ---------------------------------------------------------------------------

class TCodeWriter : public TItfObject {
    T_CLASS(TCodeWriter)
public:
    TCodeWriter();
    ~TCodeWriter() override;

    // The output, one entry per line, without line breaks.
    const QStringList& Lines() const noexcept { return m_lines; }
    QStringList& Lines() noexcept { return m_lines; }
    // The lines, each followed by lineBreak (the last one too); empty when
    // there are no lines.
    QString Text(QStringView lineBreak = u"\n") const;

    int IndentSize() const noexcept { return m_indentSize; }
    void SetIndentSize(int size) noexcept { m_indentSize = size; }
    QChar IndentChar() const noexcept { return m_indentChar; }
    void SetIndentChar(QChar ch) noexcept { m_indentChar = ch; }
    // The indentation level. No lower bound is enforced (callers pair Indent
    // and Unindent), but a level below 1 indents nothing.
    int Level() const noexcept { return m_level; }
    void SetLevel(int level) noexcept { m_level = level; }
    bool UseIndent() const noexcept { return m_useIndent; }
    void SetUseIndent(bool value) noexcept { m_useIndent = value; }
    bool UseNewLines() const noexcept { return m_useNewLines; }
    void SetUseNewLines(bool value) noexcept { m_useNewLines = value; }

    // Texts are taken as QAnyStringView: a QString, a QStringView, u"..." or
    // "..." (UTF-8) all fit.

    // Appends text to the current line; an empty text changes nothing, not
    // even the indentation.
    void Write(QAnyStringView text);
    void WriteFmt(QAnyStringView pattern, std::initializer_list<TFmtArg> args);
    // Starts a new line, when UseNewLines; otherwise nothing.
    void NewLine();
    void WriteLn(QAnyStringView text);
    void WriteLnFmt(QAnyStringView pattern, std::initializer_list<TFmtArg> args);
    void Indent() noexcept { ++m_level; }
    void Unindent() noexcept { --m_level; }

    // The indentation of the given level: IndentChar repeated IndentSize x
    // level times, empty for a level below 1.
    QString IndentText(int level) const;

protected:
    virtual void DoWrite(QStringView text);
    // The last line, added empty when there are none.
    QString& CurrentLine();
    // CurrentLine, first indented to Level when it is empty and UseIndent is set.
    QString& IndentedCurrentLine();

private:
    QStringList m_lines;
    int m_indentSize = 0;
    QChar m_indentChar = u' ';
    int m_level = 0;
    bool m_useIndent = true;
    bool m_useNewLines = true;
};

// ---------------------------------------------------------------------------

// The writer of knot text: one TAB per level, tags and attributes.
class TCustomXmlCodeWriter : public TCodeWriter {
    T_CLASS(TCustomXmlCodeWriter)
public:
    TCustomXmlCodeWriter();

    void WriteStartTag(QAnyStringView name);            // "<name"
    void CloseTag();                                    // ">"
    void CloseEmptyTag();                               // "/>"
    void WriteOpenTag(QAnyStringView name);             // "<name>"
    void WriteEmptyTag(QAnyStringView name);            // "<name/>"
    void WriteEndTag(QAnyStringView name);              // "</name>"
    void WriteAttrName(QAnyStringView name);            // " name"
    void WriteAttr(QAnyStringView name, QAnyStringView value);        // " name=value"
    void WriteQuotedAttr(QAnyStringView name, QAnyStringView value);  // " name="value""

    // The value text of an attribute and whether it must stand in double
    // quotes (doubledQuotes: the doubled mode), and its inverse on a value
    // whose enclosing quotes are removed; the rules are those of the knot
    // text (core/cuXmlEscape.h).
    static QString Escape(const QString& text, bool doubledQuotes, bool& needsQuotes);
    static QString Unescape(QStringView text, qsizetype quoteCount, qsizetype ampCount);
};

class TXmlCodeWriter : public TCustomXmlCodeWriter {
    T_CLASS(TXmlCodeWriter)
};

// ---------------------------------------------------------------------------

// A writer of program source that keeps lines near MaxLineLength: a long text
// is broken at the first allowed break point at or after that column (so a
// broken line holds at least MaxLineLength characters), never before it.
// Only the text of one write is searched, from at least its fourth
// character on. While UseNewLines is off nothing is broken.
class TSourceCodeWriter : public TCodeWriter {
    T_CLASS(TSourceCodeWriter)
public:
    TSourceCodeWriter();

    int MaxLineLength() const noexcept { return m_maxLineLength; }
    void SetMaxLineLength(int value) noexcept { m_maxLineLength = value; }
    int MinTailLength() const noexcept { return m_minTailLength; }
    void SetMinTailLength(int value) noexcept { m_minTailLength = value; }
    // When off, Write appends without breaking.
    bool WrapLines() const noexcept { return m_wrapLines; }
    void SetWrapLines(bool value) noexcept { m_wrapLines = value; }

    // Whether a line may break before the character ch, which follows prev
    // and precedes next (QChar() when there is none): after one of
    // ( + , - ; < = > [ — but never inside "<>", "<=", ">=" or "(*" — or
    // before a space that is not followed by one of + - : < = >.
    virtual bool CanBreakAt(QChar ch, QChar prev, QChar next) const;

    // Text as a string literal of the language; with addPlus " +" follows.
    virtual QString QuoteString(QStringView text, bool isContinuation, bool addPlus) const = 0;
    // A comment; nothing and false for an empty text.
    virtual bool WriteComment(const QString& text) = 0;
    // A comment that runs to the end of the line, then a new line; false
    // (and nothing written) for an empty text.
    virtual bool WriteLineComment(const QString& text) = 0;

    // Makes the next text start after exactly one empty line.
    void EnsureEmptyLine();
    // When UseNewLines and the current line has reached MaxLineLength,
    // starts a continuation line (one level deeper when UseIndent) and
    // answers true.
    bool WrapIfLong();
    // Writes text as a string literal, cut into pieces joined with " +" so
    // that lines stay near MaxLineLength. With indentContinuation the
    // continuation lines are indented one level deeper.
    void WriteWrapped(QAnyStringView text, bool indentContinuation);
    // Appends text to the current line, breaking it at allowed points; each
    // broken line ends with suffix, each continuation line starts with the
    // indentation of Level followed by continuationPrefix.
    void WriteWrappedLines(QAnyStringView text, QAnyStringView suffix, QAnyStringView continuationPrefix);

protected:
    void DoWrite(QStringView text) override;

private:
    // The first break position in text at or after from, or -1.
    int FindBreak(QStringView text, int from) const;
    // WriteWrappedLines; a null prefix stands for one indentation unit.
    void AppendWrapped(QStringView text, QStringView suffix, const QStringView* prefix);

    int m_maxLineLength = 80;
    int m_minTailLength = 3;
    bool m_wrapLines = true;
};

// ---------------------------------------------------------------------------

// The writer of Pascal source: two spaces per level.
class TPascalCodeWriter : public TSourceCodeWriter {
    T_CLASS(TPascalCodeWriter)
public:
    TPascalCodeWriter();

    // Characters from 32 up stand inside single quotes (a quote doubled);
    // every character below 32, and a surrogate that is not part of a pair,
    // stands outside as "#N", joined directly to the quoted runs around it.
    // An empty text gives ''.
    QString QuoteString(QStringView text, bool isContinuation, bool addPlus) const override;
    // "{ text }"; "(* text *)" when the text holds "{" or "}" (and neither
    // "(*" nor "*)"); when it holds marks of both kinds, "{ text }" with each
    // "{" written as "(" and each "}" as ")".
    bool WriteComment(const QString& text) override;
    // "// " and the text, continued on further "// " lines when long; each
    // line of a text with line breaks becomes a comment line of its own.
    bool WriteLineComment(const QString& text) override;
    // The text WriteComment writes, or an empty text for an empty comment.
    static QString CommentText(const QString& text);
};

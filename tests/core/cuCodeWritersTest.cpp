#include "support/testCaseRows.h"
#include "core/cuCodeWriters.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <string>

namespace {

// Comparisons go through standard strings so that failures print readable
// text (a printer for QString in one test file would clash with the byte
// dumps that other test files instantiate).
std::string Str(const QString& text) {
    return text.toStdString();
}
std::vector<std::string> Str(const QStringList& lines) {
    std::vector<std::string> result;
    for (const QString& line : lines) result.push_back(line.toStdString());
    return result;
}
template <class T>
const T& Str(const T& value) {
    return value;
}
#define EXPECT_TEXT(a, b) EXPECT_EQ(Str(a), Str(b))

// Compares text with the golden file tests/data/writers/<name>; with
// QUILLANE_WRITE_GOLDEN=1 in the environment the file is rewritten instead
// (review the difference before committing it).
void ExpectGolden(const QString& text, const QString& name) {
    QFile file(QStringLiteral(QUILLANE_TEST_DATA "/writers/") + name);
    if (qEnvironmentVariableIntValue("QUILLANE_WRITE_GOLDEN") == 1) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    EXPECT_EQ(text.toStdString(), file.readAll().toStdString()) << name.toStdString();
}

// Runs the calls of the writer script tests/data/writers/<name>.script (one a
// line: the method and its arguments) on a Pascal writer, or on an XML writer
// when the name starts with "xml", and gives the text written. A second field
// of WrapIfLong is the answer it must give (1 or 0).
QString RunWriterScript(const std::string& name) {
    TPascalCodeWriter pascal;
    TXmlCodeWriter xml;
    TCodeWriter& w = name.starts_with("xml") ? static_cast<TCodeWriter&>(xml) : pascal;
    using TArgs = const QStringList&;
    const std::map<QString, std::function<void(TArgs)>> calls = {
        {"Write", [&](TArgs a) { w.Write(a[1]); }},
        {"WriteLn", [&](TArgs a) { w.WriteLn(a[1]); }},
        {"NewLine", [&](TArgs) { w.NewLine(); }},
        {"Indent", [&](TArgs) { w.Indent(); }},
        {"Unindent", [&](TArgs) { w.Unindent(); }},
        {"SetIndentSize", [&](TArgs a) { w.SetIndentSize(a[1].toInt()); }},
        {"SetIndentChar", [&](TArgs a) { w.SetIndentChar(a[1][0]); }},
        {"SetUseIndent", [&](TArgs a) { w.SetUseIndent(a[1] == u"1"); }},
        {"SetUseNewLines", [&](TArgs a) { w.SetUseNewLines(a[1] == u"1"); }},
        {"EnsureEmptyLine", [&](TArgs) { pascal.EnsureEmptyLine(); }},
        {"WrapIfLong", [&](TArgs a) {
             const bool wrapped = pascal.WrapIfLong();
             EXPECT_TRUE(a[1].isEmpty() || wrapped == (a[1] == u"1")) << "WrapIfLong answered " << wrapped;
         }},
        {"WriteComment", [&](TArgs a) { pascal.WriteComment(a[1]); }},
        {"WriteLineComment", [&](TArgs a) { pascal.WriteLineComment(a[1]); }},
        {"WriteWrapped", [&](TArgs a) { pascal.WriteWrapped(a[1], true); }},
        {"WriteWrappedFlat", [&](TArgs a) { pascal.WriteWrapped(a[1], false); }},
        {"WriteWrappedLines", [&](TArgs a) { pascal.WriteWrappedLines(a[1], a[2], a[3]); }},
        {"SetWrapLines", [&](TArgs a) { pascal.SetWrapLines(a[1] == u"1"); }},
        {"WriteStartTag", [&](TArgs a) { xml.WriteStartTag(a[1]); }},
        {"CloseTag", [&](TArgs) { xml.CloseTag(); }},
        {"CloseEmptyTag", [&](TArgs) { xml.CloseEmptyTag(); }},
        {"WriteOpenTag", [&](TArgs a) { xml.WriteOpenTag(a[1]); }},
        {"WriteEmptyTag", [&](TArgs a) { xml.WriteEmptyTag(a[1]); }},
        {"WriteEndTag", [&](TArgs a) { xml.WriteEndTag(a[1]); }},
        {"WriteAttrName", [&](TArgs a) { xml.WriteAttrName(a[1]); }},
        {"WriteAttr", [&](TArgs a) { xml.WriteAttr(a[1], a[2]); }},
        {"WriteQuotedAttr", [&](TArgs a) { xml.WriteQuotedAttr(a[1], a[2]); }},
    };
    for (const QStringList& row : CaseRows(("writers/" + name + ".script").c_str(), 4)) {
        SCOPED_TRACE(Str(row.join(u' ')));
        const auto call = calls.find(row[0]);
        EXPECT_NE(call, calls.end()) << Str(row[0]);
        if (call != calls.end()) call->second(row);
    }
    return w.Text();
}

// TCodeWriter

TEST(CodeWriter, TakesEveryFormOfText) {
    TXmlCodeWriter w;
    const QString name = "Näme";
    w.Write("ä€ ");                          // UTF-8
    w.Write(u"ö ");                          // UTF-16
    w.Write(QLatin1String("\xE9 "));         // Latin-1
    w.Write(QStringView(name).first(2));
    w.WriteStartTag(name);
    w.WriteAttr("a", u"b");
    w.WriteQuotedAttr(QString("c"), "d\xC3\xBC");
    w.CloseEmptyTag();
    w.WriteFmt("%s", {u"€"});
    EXPECT_TEXT(w.Lines(), QStringList({QString::fromUtf8("ä€ ö é Nä<Näme a=b c=\"dü\"/>€")}));
    EXPECT_TEXT(w.Text(u"\r\n"), QString::fromUtf8("ä€ ö é Nä<Näme a=b c=\"dü\"/>€\r\n"));
    const std::string longAscii(300, 'x');  // longer than the converter's stack room
    const std::string longLatin1(300, '\xE9');
    w.NewLine();
    w.Write(longAscii.c_str());
    w.Write(QLatin1String(longLatin1.c_str()));
    EXPECT_TEXT(w.Lines().last(), QString(300, u'x') + QString(300, QChar(0xE9)));
}

// Unindent below level 0 is allowed (callers pair it with Indent), but no
// indentation is made from a negative level.
TEST(CodeWriter, RegressionNegativeRepeatCountBelowLevelZero) {
    EXPECT_TEXT(TPascalCodeWriter().IndentText(-3), QString());
    ExpectGolden(RunWriterScript("negative_level"), "negative_level.pas");
}

TEST(CodeWriter, FormatFillsPlaceholdersInOrderAndNeverRescansArguments) {
    EXPECT_TEXT(FormatCode(u"{ %s }", {"note"}), "{ note }");
    EXPECT_TEXT(FormatCode(u"%s.%s", {"TFoo", QString("Bar")}), "TFoo.Bar");
    EXPECT_TEXT(FormatCode(u"index %d", {42}), "index 42");
    EXPECT_TEXT(FormatCode(u"%d%%", {-7}), "-7%");
    EXPECT_TEXT(FormatCode(u"$%x/%X", {255, 255}), "$ff/FF");
    EXPECT_TEXT(FormatCode(u"%x", {-1}), "ffffffff");
    EXPECT_TEXT(FormatCode(u"%s", {"%d %s"}), "%d %s");  // an argument is not a pattern
    EXPECT_TEXT(FormatCode(u"%s and %s", {"one"}), "one and ");
    EXPECT_TEXT(FormatCode(u"100% sure %", {}), "100% sure %");

    TCodeWriter w;
    w.WriteLnFmt(u"%s = %d;", {"A", 1});
    w.WriteFmt(u"%s", {QString()});  // writes an empty text: nothing
    EXPECT_TEXT(w.Lines(), QStringList({"A = 1;", ""}));
}

// Line wrapping

// A source writer whose every position is a break point and whose literals
// are bracketed, to show what the wrapping itself does.
class TAnyBreakWriter : public TSourceCodeWriter {
public:
    bool CanBreakAt(QChar, QChar, QChar) const override { return true; }
    QString QuoteString(QStringView text, bool isContinuation, bool addPlus) const override {
        QString result = isContinuation ? "~[" : "[";
        result += text;
        result += addPlus ? "] +" : "]";
        return result;
    }
    bool WriteComment(const QString&) override { return false; }
    bool WriteLineComment(const QString&) override { return false; }
};

TEST(SourceCodeWriter, BreakPointTable) {
    TPascalCodeWriter w;
    for (const QStringList& row : CaseRows("writers/break-points.txt", 4)) {
        EXPECT_EQ(w.CanBreakAt(row[1][0], row[0][0], row[2][0]), row[3] == u"1")
            << Str(row[0] + row[1] + row[2]);
    }
}

// Wrapping of what is written, case by case.
TEST(SourceCodeWriter, WrapTable) {
    for (const QStringList& row : CaseRows("writers/wrap-cases.txt", 4)) {
        TPascalCodeWriter w;
        w.SetLevel(row[1].toInt());
        for (const QString& text : row[2].split(u'|')) w.Write(text);
        EXPECT_TEXT(w.Lines(), row[3].split(u'|')) << Str(row[0]);
    }
}

// A comparison operator that straddles column 80 is kept whole; the break
// comes after it.
TEST(SourceCodeWriter, RegressionOperatorPartedAtColumn80) {
    for (QString op : {"<>", "<=", ">="}) {
        for (int at = 77; at <= 80; ++at) {
            TPascalCodeWriter w;
            QString text = QString(at, u'a') + " " + op + " Value;";
            w.Write(text);
            const QStringList lines = w.Lines();
            for (const QString& line : lines) {
                EXPECT_FALSE(line.endsWith(op[0])) << line.toStdString();
                EXPECT_FALSE(line.trimmed().startsWith(op[1])) << line.toStdString();
            }
            EXPECT_TEXT(lines.join("").remove(u' '), text.remove(u' '));
            if (at >= 78) {
                EXPECT_TEXT(lines.value(0), QString(at, u'a') + " " + op) << op.toStdString() << at;
            }
        }
    }
}

TEST(SourceCodeWriter, RegressionSurrogatePairPartedByABreak) {
    const QString pair = QString::fromUcs4(U"\U0001F600");
    for (int offset = 77; offset <= 82; ++offset) {
        TAnyBreakWriter w;
        w.Write(QString(offset, u'a') + pair.repeated(60));
        for (const QString& line : w.Lines()) EXPECT_TRUE(line.isValidUtf16()) << offset;
    }
}

TEST(SourceCodeWriter, EnsureEmptyLineTable) {
    const auto lines = [](const QString& field) { return field == u"-" ? QStringList() : field.split(u'|'); };
    for (const QStringList& row : CaseRows("writers/empty-line-cases.txt", 2)) {
        TPascalCodeWriter w;
        w.Lines() = lines(row[0]);
        w.EnsureEmptyLine();
        EXPECT_TEXT(w.Lines(), lines(row[1])) << Str(row[0]);
    }
}

// String literals

TEST(PascalCodeWriter, QuoteStringTable) {
    TPascalCodeWriter w;
    for (const QStringList& row : CaseRows("writers/quote-cases.txt", 3)) {
        const bool addPlus = row[1] == u"1";
        EXPECT_TEXT(w.QuoteString(row[0], false, addPlus), row[2]);
        EXPECT_TEXT(w.QuoteString(row[0], true, addPlus), row[2]);  // continuation is not used
    }
}

TEST(PascalCodeWriter, RegressionControlCharacterInsideQuotes) {
    TPascalCodeWriter w;
    for (int u = 0; u < 32; ++u) {
        const QString text = QString("a") + QChar(char16_t(u)) + "b";
        EXPECT_TEXT(w.QuoteString(text, false, false), QString("'a'#%1'b'").arg(u));
    }
}

TEST(PascalCodeWriter, RegressionSurrogatePairPartedByALiteralCut) {
    const QString pair = QString::fromUcs4(U"\U0001F600");
    // cut where there is no break point, and at break points beside pairs
    for (const QString& text : {pair.repeated(120), (u',' + pair).repeated(80)}) {
        for (int offset = 0; offset < 4; ++offset) {
            TPascalCodeWriter w;
            w.Write(QString(offset, u'a'));
            w.WriteWrapped(text, false);
            ASSERT_GT(w.Lines().size(), 2);
            for (const QString& line : w.Lines()) EXPECT_TRUE(line.isValidUtf16()) << offset;
        }
    }
}

// Compiles a program with Free Pascal (Delphi mode unless the program sets
// another), runs it and returns its output; fails the test on any error.
QString CompileAndRun(const QString& fpc, const QString& program, const QString& name) {
    QTemporaryDir dir;
    EXPECT_TRUE(dir.isValid());
    QFile source(dir.filePath(name + ".pas"));
    EXPECT_TRUE(source.open(QIODevice::WriteOnly));
    source.write(program.toUtf8());
    source.close();
    QProcess compile;
    compile.setWorkingDirectory(dir.path());
    compile.setProcessChannelMode(QProcess::MergedChannels);
    compile.start(fpc, {"-Mdelphi", "-FE" + dir.path(), "-o" + name, source.fileName()});
    EXPECT_TRUE(compile.waitForFinished(120000));
    EXPECT_EQ(compile.exitCode(), 0) << compile.readAll().toStdString() << program.toStdString();
    if (compile.exitCode() != 0) return {};
    QProcess run;
    run.start(dir.filePath(name), {});
    EXPECT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0);
    return QString::fromUtf8(run.readAllStandardOutput()).remove(u'\r');
}

// The literals, compiled by Free Pascal and run, give back every code unit:
// the characters 0 to 255 (the control characters among them, which the
// compiler refuses or changes inside quotes), a no-break space, characters
// outside the BMP at every position of a cut, and halves of surrogate pairs
// standing alone. Every kind of troublesome comment text before them ends
// where it should, in Delphi mode and in Free Pascal's own mode, which nests
// comments. The sample program of the writer scripts compiles and runs too.
TEST(PascalCodeWriter, ProgramsCompileInEveryMode) {
    const QString fpc = QStandardPaths::findExecutable("fpc");
    if (fpc.isEmpty()) GTEST_SKIP() << "fpc is not installed";

    const QString pair = QString::fromUcs4(U"\U0001F600");
    const QString other = QString::fromUcs4(U"\U00010437");
    QString all;
    for (int u = 0; u <= 255; ++u) all += QChar(char16_t(u));
    all += QChar(0xA0) + pair + other;
    QStringList texts = {all, QString(), "'", QString(QChar(0)) + QChar(26) + QChar(9) + QChar(31),
                         QString(QChar(0xA0)) + "''" + QChar(0xA0)};
    for (int shift = 0; shift < 4; ++shift) {
        texts += QString(shift, u'a') + pair.repeated(90);             // cut where no break point is
        texts += QString(shift, u'a') + (" ," + pair).repeated(60);     // cut at break points beside pairs
        texts += QString(shift, u'a') + (pair + QChar(26) + other + "'").repeated(30);
    }
    texts += QString("a") + QChar(0xD83D) + "b" + QChar(0xDE00) + QChar(0xDE00) + QChar(0xD83D);
    QString expected;
    for (const QString& text : texts) {
        expected += QString::number(text.size());
        for (QChar ch : text) expected += " " + QString::number(ch.unicode());
        expected += "\n";
    }

    for (const char* mode : {"delphi", "objfpc"}) {
        TPascalCodeWriter w;
        w.WriteLnFmt("{$mode %s}", {mode});
        for (const QStringList& row : CaseRows("writers/comment-cases.txt", 2)) {
            w.WriteComment(row[0]);
            w.NewLine();
        }
        for (const char* line : {"{$codepage utf8}", "program WritersCheck;", "procedure Dump(const S: UnicodeString);",
                                 "var I: Integer;", "begin", "  Write(Length(S));",
                                 "  for I := 1 to Length(S) do Write(' ', Ord(S[I]));", "  WriteLn;", "end;", "begin"})
            w.WriteLn(line);
        w.Indent();
        for (int i = 0; i < texts.size(); ++i) {
            w.Write(u"Dump(");
            w.WriteWrapped(texts[i], i % 2 == 0);
            w.WriteLn(u");");
        }
        w.Unindent();
        w.WriteLn(u"end.");
        EXPECT_TEXT(CompileAndRun(fpc, w.Text(), "writerscheck"), expected) << mode;
    }
    SCOPED_TRACE("the sample program");
    EXPECT_TEXT(CompileAndRun(fpc, RunWriterScript("wrap_check"), "wrapcheck"), "<>\n<=\n151 6 My TRUE\n");
}

// Each writer script writes its golden output (tests/data/writers/<name>.pas,
// .xml for the XML writer): indentation (an empty text changes nothing, not
// even the indentation), wrapped literals, the sample program, a line comment
// wrapped with its prefix and split at its line breaks, lines wrapped with a
// suffix and a continuation prefix, wrapping on request, the switches for wrapping, indentation and
// line breaks, and tags and attributes.
TEST(CodeWriter, WriterScriptsWriteTheirGoldenOutput) {
    for (const char* name : {"indentation", "wrapped_literals", "wrap_check", "line_comment", "wrapped_lines",
                             "wrap_if_long", "switches", "xml_tags"}) {
        SCOPED_TRACE(name);
        const QString golden = QString::fromLatin1(name) + (QByteArray(name).startsWith("xml") ? ".xml" : ".pas");
        ExpectGolden(RunWriterScript(name), golden);
    }
}

// Comments

TEST(PascalCodeWriter, RegressionBraceInCommentTextEndsTheComment) {
    for (const QStringList& row : CaseRows("writers/comment-cases.txt", 2)) {
        TPascalCodeWriter w;
        EXPECT_TRUE(w.WriteComment(row[0]));
        EXPECT_TEXT(w.Lines(), QStringList({row[1]}));
    }
    TPascalCodeWriter w;
    w.Indent();
    EXPECT_FALSE(w.WriteComment(QString()));
    EXPECT_FALSE(w.WriteLineComment(QString()));
    EXPECT_TRUE(w.Lines().isEmpty());
}

}  // namespace

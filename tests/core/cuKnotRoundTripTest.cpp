// Knot text against itself and against libxml2: random trees with values over
// every class of UTF-16 code unit are written, read and compared.

#include "core/cuKnot.h"
#include "support/testStrings.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// Random trees

class TTreeMaker {
public:
    explicit TTreeMaker(uint32_t seed, bool xmlSafe) : m_rng(seed), m_xmlSafe(xmlSafe) {}

    int Int(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    QString Name() {
        static const char* names[] = {"A", "Item", "Value", "x1", "Donn\xC3\xA9" "es", "a.b", "_c", "Name-2", "q_r", "Z"};
        return S(names[Int(std::size(names))]);
    }

    // A value mixing every class of code unit: 0, 1-31, & < > ", the
    // unquoted-value terminators, letters, entity-like text, a no-break
    // space, other BMP characters, surrogate pairs and surrogates alone
    // (without those XML has no room for).
    QString Value() {
        static const QString pieces[] = {
            QChar(0), QChar(1), QChar(26), QChar(31), u"&"_s, u"<"_s, u">"_s, u"\""_s, u" "_s, u"/"_s, u"="_s,
            u"\t"_s, u"\r"_s, u"\n"_s, u"\u00A0"_s, u"\u20AC"_s, u"\uCFFF"_s, u"\U0001F600"_s,
            u"\U00010000"_s, u"\U0010FFFD"_s, u"&lt;"_s, u"&#65;"_s, u"&amp;"_s, u"\"\""_s, u";"_s,
            QChar(0xD800), QChar(0xDBFF), QChar(0xDC00), QChar(0xDFFF), u"a"_s, u"q"_s, u"z"_s};
        QString v;
        for (int i = Int(14); i > 0; --i) {
            const QString& piece = pieces[Int(std::size(pieces))];
            const bool control = piece.size() == 1 && piece[0] < u' ' && !u"\t\r\n"_s.contains(piece);
            if (!m_xmlSafe || !(control || (piece.size() == 1 && piece[0].isSurrogate()))) v += piece;
        }
        return v;
    }

    void Fill(TKnot& knot, int depth, bool uniqueNames, bool allowNone) {
        std::set<QString> used;
        const int params = Int(5);
        for (int i = 0; i < params; ++i) {
            QString name = Name();
            if (uniqueNames && !used.insert(name).second) continue;
            const int kind = Int(allowNone ? 4 : 3);
            if (kind == 0 || kind == 1) {
                knot.AddParam(name)->SetString(Value());
            } else if (kind == 2) {
                QByteArray bytes;
                for (int b = Int(7); b > 0; --b) bytes += char(Int(256));
                knot.AddParam(name)->SetStream(bytes);
            } else {
                knot.AddParam(name);
            }
        }
        if (depth <= 0) return;
        for (int c = Int(4); c > 0; --c) Fill(*knot.AddChild(Name()), depth - 1 - Int(2), uniqueNames, allowNone);
    }

private:
    std::mt19937 m_rng;
    bool m_xmlSafe;
};

// A dump of what text can carry: a stream reads back as its hexadecimal text,
// and without quotes an empty string reads back as a name alone.
void Dump(const TKnot& knot, TKnotFlags flags, bool expected, QString& out) {
    out += knot.Name() + u'(';
    for (TKnotParam* p = knot.Params(); p; p = p->Next()) {
        QString value = p->Value();
        TKnotParamKind kind = p->Kind();
        if (kind == pkStream) {
            value = p->GetValue();
            kind = pkString;
        }
        if (expected && kind == pkString && value.isEmpty() && (flags & kfUnquotedValues)) kind = pkNone;
        out += p->Name() + u':' + QString::number(kind) + u'=' + value + u';';
    }
    for (const TNode* c = knot.FirstChild(); c; c = c->NextSibling()) {
        auto* child = static_cast<const TKnot*>(c);
        if (expected && (flags & kfSkipEmpty) && child->IsEmpty()) continue;
        Dump(*child, flags, expected, out);
    }
    out += u')';
}

QString Dump(const TKnot& knot, TKnotFlags flags, bool expected) {
    QString out;
    Dump(knot, flags, expected, out);
    return out;
}

// Property: write, read, compare, for every flag set that files use alone.

class KnotRoundTrip : public ::testing::TestWithParam<TKnotFlags> {};

TEST_P(KnotRoundTrip, RandomTreesReadBackUnchanged) {
    const TKnotFlags flags = GetParam();
    TTreeMaker maker(1234 + flags, false);
    const TKnotEncoding encodings[] = {TKnotEncoding::Ansi, TKnotEncoding::Utf8, TKnotEncoding::Utf16LE,
                                       TKnotEncoding::Utf16BE};
    for (int i = 0; i < 400; ++i) {
        auto tree = TKnot::Create(maker.Name());
        tree->SetFlags(flags);
        maker.Fill(*tree, 3, false, true);
        auto back = TKnot::Create();
        back->SetFlags(flags);
        if (i % 5 == 4)
            ASSERT_TRUE(back->LoadFromString(tree->SaveToString())) << i;
        else
            ASSERT_TRUE(back->LoadFromBytes(tree->SaveToBytes(encodings[i % 4]))) << i;
        const QString expected = Dump(*tree, flags, true);
        const QString actual = Dump(*back, flags, false);
        ASSERT_TRUE(actual == expected) << "tree " << i << "\n" << expected.toStdString() << "\n" << actual.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(FlagSets, KnotRoundTrip,
                         ::testing::Values(TKnotFlags(0), kfSettingsFile, kfIndexed, kfUniqueParams, kfSkipEmpty,
                                           kfUnquotedValues, kfNoIndent, kfNoLineBreaks, kfSameLine,
                                           kfDoubledQuotes));

// Lone surrogates (from UTF-16 text or references) were written to UTF-8 as "?"
// (values with lone surrogates in every encoding are also part of the property above).
TEST(KnotRoundTrip, RegressionLoneSurrogatesSurviveUtf8) {
    const QString value = QChar(0xD800) + QStringLiteral("a") + QChar(0xDFFF) + QString::fromUcs4(U"\U0001F600");
    auto knot = TKnot::Create(QStringLiteral("R"));
    knot->WriteStr(QStringLiteral("v"), value);
    auto back = TKnot::Create();
    ASSERT_TRUE(back->LoadFromBytes(knot->SaveToBytes(TKnotEncoding::Utf8)));
    EXPECT_EQ(back->ReadStr(u"v"), value);
    auto fromReference = TKnot::Create();
    ASSERT_TRUE(fromReference->LoadFromBytes("<R v=\"&#55296;\"/>"));
    const QByteArray written = fromReference->SaveToBytes(TKnotEncoding::Utf8);
    EXPECT_TRUE(written.contains("&#55296;")) << written.constData();
}

// The names of a knot, its parameters and its children, in order.
QString Names(const TKnot& knot) {
    QString out = knot.Name();
    for (const TKnotParam* p = knot.Params(); p; p = p->Next()) out += u'|' + p->Name();
    for (const TNode* c = knot.FirstChild(); c; c = c->NextSibling()) out += u'/' + Names(*static_cast<const TKnot*>(c));
    return out;
}

// A lone surrogate in a knot or parameter name was written to UTF-8 as "?",
// and read from UTF-16 text as it stood. A name cannot hold a character
// reference: the surrogate becomes U+FFFD when written and when read, in every
// encoding, so that what loads is what saves.
TEST(KnotRoundTrip, RegressionLoneSurrogateInANameSavesAndLoadsAsReplacementCharacter) {
    const QChar high(0xD800), low(0xDC00), replacement(QChar::ReplacementCharacter);
    const QString pair = QString::fromUcs4(U"\U0001F600");
    auto tree = TKnot::Create(u"K"_s + high);
    tree->WriteStr(u"p"_s + low + u"x"_s + pair, u"v"_s);
    tree->AddChild(pair + high)->WriteStr(QString(high) + low + u"q"_s + high, u"w"_s);  // a pair of two halves stays
    const QString expected = u"K"_s + replacement + u"|p"_s + replacement + u"x"_s + pair + u'/' + pair + replacement +
                             u'|' + QString(high) + low + u"q"_s + replacement;
    for (const TKnotEncoding encoding :
         {TKnotEncoding::Ansi, TKnotEncoding::Utf8, TKnotEncoding::Utf16LE, TKnotEncoding::Utf16BE}) {
        SCOPED_TRACE(int(encoding));
        const QByteArray saved = tree->SaveToBytes(encoding);
        auto back = TKnot::Create();
        ASSERT_TRUE(back->LoadFromBytes(saved));
        EXPECT_EQ(Names(*back), expected);
        EXPECT_EQ(back->SaveToBytes(encoding), saved);
    }
    const QString text = tree->SaveToString();
    auto back = TKnot::Create();
    ASSERT_TRUE(back->LoadFromString(text));
    EXPECT_EQ(Names(*back), expected);
    EXPECT_EQ(back->SaveToString(), text);
    // UTF-16 text written elsewhere reads the same way.
    auto read = TKnot::Create();
    ASSERT_TRUE(read->LoadFromString(u"<A"_s + high + u" n"_s + low + u"=\"v\"><"_s + low + u"/></A"_s + high + u">"_s));
    EXPECT_EQ(Names(*read), u"A"_s + replacement + u"|n"_s + replacement + u'/' + replacement);
}

// libxml2 reads what the knot writer writes (elements and double-quoted
// attributes only); what the knot reader reads is the round trip's.

QString FromXml(const xmlChar* s) { return QString::fromUtf8(reinterpret_cast<const char*>(s)); }

// The same dump as above, of a libxml2 element; text between elements must be whitespace.
void DumpXml(xmlDoc* doc, xmlNode* node, QString& out, bool& onlyWhitespace) {
    out += FromXml(node->name) + u'(';
    for (xmlAttr* a = node->properties; a; a = a->next) {
        xmlChar* value = xmlNodeListGetString(doc, a->children, 1);
        out += FromXml(a->name) + u':' + QString::number(pkString) + u'=' + (value ? FromXml(value) : QString()) + u';';
        xmlFree(value);
    }
    for (xmlNode* c = node->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE)
            DumpXml(doc, c, out, onlyWhitespace);
        else if (c->type == XML_TEXT_NODE && !FromXml(c->content).trimmed().isEmpty())
            onlyWhitespace = false;
    }
    out += u')';
}

TEST(KnotLibxml2, LibxmlReadsKnotTextWrittenWithFlagsZero) {
    TTreeMaker maker(99, true);
    for (int i = 0; i < 300; ++i) {
        auto tree = TKnot::Create(maker.Name());
        maker.Fill(*tree, 3, true, false);
        const QByteArray bytes = tree->SaveToBytes(i % 2 ? TKnotEncoding::Utf8 : TKnotEncoding::Ansi);
        xmlDoc* doc = xmlReadMemory(bytes.constData(), int(bytes.size()), "knot.xml", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        ASSERT_NE(doc, nullptr) << bytes.toStdString();
        QString dump;
        bool onlyWhitespace = true;
        DumpXml(doc, xmlDocGetRootElement(doc), dump, onlyWhitespace);
        xmlFreeDoc(doc);
        EXPECT_TRUE(onlyWhitespace);
        ASSERT_TRUE(dump == Dump(*tree, 0, true)) << bytes.toStdString();
    }
}

}  // namespace

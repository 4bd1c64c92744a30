// Content trees of text elements: stored forms, ranges through knot text,
// copy and paste through the clipboard.

#include "core/cuUndoRedo.h"
#include "platform/plClipboard.h"
#include "support/testElements.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QRandomGenerator>

// An embedded element whose text is its value.
class TElement_ContentStub : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ContentStub)
public:
    void TreePlacementChanged() override {}  // the text places it
    void WriteText(QString& builder) override { builder += Value(); }
};
T_ELEMENT_CLASS_IMPL(TElement_ContentStub, TElement_TestBox)

// Filled from a clipboard image: its value is the image's size.
class TElement_ContentPicture : public TElement_ContentStub, public IClipboardDataElement {
    T_ELEMENT_CLASS(TElement_ContentPicture)
public:
    bool PasteFromClipboard(bool) override {
        const QImage image = TClipboard::Current().Image();
        SetValue(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()));
        return !image.isNull();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ContentPicture, TElement_ContentStub)

// Rich text embedding stubs; clipboard images become pictures.
class TElement_ContentRich : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ContentRich)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent);
    }
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_ContentStub::StaticClass() << TElement_ContentPicture::StaticClass();
    }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override {
        if (msg != nmClipboardElementClass) return TTextorElement::HandleNodeMessage(msg, p1, p2);
        *reinterpret_cast<const TElementClass**>(p1) = TElement_ContentPicture::StaticClass();
        return true;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ContentRich, TTextorElement)

class TElement_ContentPlain : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ContentPlain)
};
T_ELEMENT_CLASS_IMPL(TElement_ContentPlain, TTextorElement)

class TElement_ContentRoot : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ContentRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        list << TElement_ContentRich::StaticClass() << TElement_ContentPlain::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ContentRoot, TElement_TestBox)

namespace {

// The pieces of a range: characters as they are, "¶" per break, "[value]" per element.
QString Pieces(const TTextorElement* text, std::optional<TTextorRange> range = std::nullopt) {
    QString out;
    const TTextor& textor = *text->Textor();
    textor.ForEachInRange(range.value_or(textor.GetWholeRange()), false,
                          [&](TParagraph*, TPortion* portion, int start, int count) {
                              if (!portion) {
                                  out += u'¶';
                              } else if (auto* element = dynamic_cast<TElementPortion*>(portion)) {
                                  out += '[' + static_cast<TElement_ContentStub*>(element->Element())->Value() + ']';
                              } else {
                                  for (int i = 0; i < count; ++i) out += QChar(portion->CharAt(start + i));
                              }
                              return true;
                          });
    return out;
}

class TextorContentTest : public ::testing::Test {
protected:
    template <class T>
    T* Add() {
        auto* text = TElement::CreateIn<T>(fixture.scheme.get(), fixture.root);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
        return text;
    }
    // Appends text (CR LF: a break) or, for "[value]", a stub.
    void Append(TTextorElement* text, const QString& piece) {
        TTextor& textor = *text->Textor();
        if (!piece.startsWith('[')) {
            textor.InsertText(textor.GetEndPosition(), piece);
            return;
        }
        auto* stub = TElement::CreateIn<TElement_ContentStub>(fixture.scheme.get(), text);
        stub->SetValue(piece.mid(1, piece.size() - 2));
        textor.InsertElement(textor.GetEndPosition(), stub);
        stub->SetVisualParentAt(text, nullptr);
    }
    TElement_ContentRich* RichWith(const QStringList& pieces) {
        auto* text = Add<TElement_ContentRich>();
        for (const QString& piece : pieces) Append(text, piece);
        return text;
    }
    void Select(TTextorElement* text, TTextorNumericRange numeric) {
        text->Focus();
        fixture.Layout();
        TTextorRange range;
        ASSERT_TRUE(text->Textor()->NumericToRange(numeric, range));
        text->Interactive()->SetSelection(range);
    }

    TSheetFixture fixture{TElement_ContentRoot::StaticClass()};
    TFakeClipboard clipboard;
    TClipboardInstaller installer{&clipboard};
};

TEST_F(TextorContentTest, StoredFormsAreByteIdenticalThroughASchemeFileAndASnapshot) {
    RichWith({"a\tb\r\n", "[s1]", "c \"<&>\""});
    RichWith({});
    Add<TElement_ContentPlain>()->SetText("x\ty");
    Add<TElement_ContentPlain>();
    for (uint8_t mode : {fmFile, fmSnapshot}) {
        SCOPED_TRACE(mode);
        const uint8_t options = mode == fmFile ? foSchemeFile : 0;
        const QString saved = SchemeText(fixture.scheme.get(), mode, options);
        EXPECT_EQ(saved.count("<Chars"), 2);
        EXPECT_EQ(saved.count("<Br"), 1);
        EXPECT_EQ(saved.count("Value="), 4);  // the two runs, the stub's value and the plain text
        TSheetFixture other{TElement_ContentRoot::StaticClass()};
        LoadSchemeKnot(other.scheme.get(), KnotFromText(saved).get(), mode, &other.messages);
        EXPECT_EQ(SchemeText(other.scheme.get(), mode, options), saved);
        EXPECT_EQ(other.messages.GetCount(), 0);
    }
}

TEST_F(TextorContentTest, ADefaultRichElementWritesItsTextOnlyInASnapshot) {
    TElement_ContentRich* text = RichWith({"dflt"});
    text->SetDefaultText("dflt");
    for (uint8_t mode : {fmFile, fmSnapshot}) {
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Text"));
        text->SaveToKnot(knot.get(), mode, 0);
        EXPECT_EQ(knot->FindChild(kContentCharsName) != nullptr, mode == fmSnapshot) << int(mode);
    }
}

TEST_F(TextorContentTest, RandomRangesSurviveKnotText) {
    const QStringList kinds = {"ab", "x y", "\t", "\t\t", "\r\n", "[s]", "[t]"};
    QRandomGenerator random(18);
    TElement_ContentRich* target = RichWith({});
    for (int round = 0; round < 60; ++round) {
        TElement_ContentRich* source = RichWith({});
        for (int i = 0; i < 8; ++i) Append(source, kinds[random.bounded(int(kinds.size()))]);
        TTextor& textor = *source->Textor();
        TTextorRange range;
        for (TTextorPosition* end : {&range.Start, &range.End}) {
            const int paragraph = random.bounded(textor.ParagraphCount());
            const int length = textor.ParagraphAt(paragraph)->Length();
            ASSERT_TRUE(textor.NumericToPosition({paragraph, random.bounded(length + 1)}, *end));
        }
        if (textor.IsBefore(range.End, range.Start)) std::swap(range.Start, range.End);
        TNodePtr<TKnot> tree = TKnot::Create(kContentRootName);
        source->SaveContent(tree.get(), fmClipboard, range, foPathsAsIs);
        target->SetText(QString());
        const TTextorRange inserted =
            target->InsertContent(KnotFromText(tree->SaveToString()).get(), fmClipboard, kContentFreshNumbers, {});
        ASSERT_EQ(Pieces(target), Pieces(source, range)) << tree->SaveToString().toStdString();
        EXPECT_EQ(target->Textor()->RangeToNumeric(inserted), target->Textor()->RangeToNumeric(target->Textor()->GetWholeRange()));
        source->Free();
    }
}

TEST_F(TextorContentTest, CopyGivesPlainTextOrKnotTextAndPastedElementsGetFreshNumbers) {
    TElement_ContentRich* source = RichWith({"ab\tc\r\n", "[s1]", "d"});
    Select(source, {{0, 0}, {0, 4}});
    source->Copy();
    EXPECT_EQ(clipboard.Text(), "ab\tc");
    Select(source, {{0, 1}, {1, 2}});
    source->CopyAsText();
    EXPECT_EQ(clipboard.Text(), "b\tc\r\ns1d");
    source->Copy();
    EXPECT_TRUE(clipboard.Text().startsWith("<TessalyContent"));

    TElement_ContentRich* target = RichWith({});
    ASSERT_TRUE(target->Paste());
    EXPECT_EQ(Pieces(target), "b\tc¶[s1]d");
    auto* original = static_cast<TVisualElement*>(source->FirstVisualChild());
    auto* pasted = static_cast<TVisualElement*>(target->FirstVisualChild());
    EXPECT_GT(pasted->Number(), original->Number());
    EXPECT_EQ(fixture.scheme->FindElement(pasted->Number()), pasted);
    EXPECT_EQ(fixture.scheme->FindElement(original->Number()), original);
    fixture.history.Undo();
    EXPECT_EQ(Pieces(target), "");
}

TEST_F(TextorContentTest, PasteEntersWhatTheTargetAllows) {
    const QString fragment = "<TessalyContent>\r\n\t<Chars Value=\"a\"/>\r\n\t<Br/>\r\n\t<Chars Value=\"b\"/>\r\n</TessalyContent>";
    const QString withElement = "<TessalyContent><ContentStub Value=\"s\"/></TessalyContent>";
    const QString truncated = "<TessalyContent><Chars Value=\"xy\"/><Br/><Chars Value=\"z";
    struct Case {
        const char* name;
        QString clipboard;
        bool rich;
        uint32_t restrictions;
        bool pasted;
        QString pieces;
    };
    const Case cases[] = {
        {"rich fragment", fragment, true, trAllCharacters, true, "a¶b"},
        {"plain fragment", fragment, false, trAllCharacters, true, "a¶b"},
        {"fragment without paragraphs", fragment, false, trAllCharacters & ~trLineFeeds, true, "a\r\nb"},
        {"element into plain text", withElement, false, trAllCharacters, true, withElement},
        {"ClipboardTextThatFailsToParseWasPastedAsAPartialTree", truncated, true, trAllCharacters, true, truncated},
        {"words", "plain words", true, trAllCharacters, true, "plain words"},
        {"no character class", "words", false, 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTextorElement* target = c.rich ? static_cast<TTextorElement*>(Add<TElement_ContentRich>())
                                        : Add<TElement_ContentPlain>();
        target->SetRestrictions(c.restrictions);
        clipboard.SetText(c.clipboard);
        EXPECT_EQ(target->Paste(), c.pasted);
        EXPECT_EQ(Pieces(target), c.pieces);
    }
}

TEST_F(TextorContentTest, AClipboardImageBecomesAnElementOfTheClassTheAncestorsName) {
    TElement_ContentRich* target = RichWith({"a"});
    clipboard.Content.Image = QImage(3, 2, QImage::Format_ARGB32);
    ASSERT_TRUE(target->Paste());
    EXPECT_EQ(Pieces(target), "a[3x2]");
    fixture.scheme->SetReadOnly(true);
    EXPECT_FALSE(target->Paste());
}

TEST_F(TextorContentTest, CopyAndPasteThroughTheApplicationClipboard) {
    TClipboardInstaller application(nullptr);
    TElement_ContentRich* source = RichWith({"a", "[s]", "b"});
    Select(source, {{0, 0}, {0, 3}});
    source->Copy();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("<TessalyContent"));
    TElement_ContentRich* target = RichWith({});
    ASSERT_TRUE(target->Paste());
    EXPECT_EQ(Pieces(target), "a[s]b");
    QGuiApplication::clipboard()->clear();
}

}  // namespace

// Content trees of text elements: stored forms, ranges through knot text,
// copy and paste through the clipboard.

#include "platform/plClipboard.h"
#include "support/testElements.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

// An embedded element whose text is its value; filled from a clipboard image with its size.
class TElement_ContentStub : public TElement_TestBox, public IClipboardDataElement {
    T_ELEMENT_CLASS(TElement_ContentStub)
public:
    void TreePlacementChanged() override {}  // the text places it
    void WriteText(QString& builder) override { builder += Value(); }
    bool PasteFromClipboard(bool) override {
        const QImage image = TClipboard::Current().Image();
        SetValue(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()));
        return !image.isNull();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ContentStub, TElement_TestBox)

// Rich text embedding stubs, also for clipboard images.
class TElement_ContentRich : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ContentRich)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_ContentStub::StaticClass(); }
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override {
        if (msg != nmClipboardElementClass) return TTextorElement::HandleNodeMessage(msg, p1, p2);
        *reinterpret_cast<const TElementClass**>(p1) = TElement_ContentStub::StaticClass();
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
    void FillAcceptedClasses(TElementClassList& list) override;
};
T_ELEMENT_CLASS_IMPL(TElement_ContentRoot, TElement_TestBox)

// A caption stored in the owner's own knot, and a part (a sub-element) whose texts float in snapshots.
class TElement_ContentOwner : public TElement_ContentRoot {
    T_ELEMENT_CLASS(TElement_ContentOwner)
public:
    void Create() override {
        TElement_ContentRoot::Create();
        Caption = TElement::CreateSubElement<TElement_ContentPlain>(this);
        Caption->SetOptions(Caption->Options() | eoStoredInParentNode);
        Part = TElement::CreateSubElement<TElement_ContentRoot>(this);
    }
    void GetChildName(TElement* child, TSchemeFiler*, QString& name) override {
        name = child == Caption ? "Caption" : "Part";
    }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override { TVisualElement::LoadFrom(loader, knot); }
    TElement_ContentPlain* Caption = nullptr;
    TElement_ContentRoot* Part = nullptr;
};
T_ELEMENT_CLASS_IMPL(TElement_ContentOwner, TElement_ContentRoot)

void TElement_ContentRoot::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_ContentRich::StaticClass() << TElement_ContentPlain::StaticClass()
         << TElement_ContentOwner::StaticClass();
}

namespace {

// The pieces of a range: characters as they are, "¶" per break, "[value]" per element.
QString Pieces(const TTextorElement* text, std::optional<TTextorRange> range = std::nullopt) {
    QString out;
    const TTextor& textor = *text->Textor();
    textor.ForEachInRange(range.value_or(textor.GetWholeRange()), false, [&](TParagraph*, TPortion* p, int at, int n) {
        auto* element = dynamic_cast<TElementPortion*>(p);
        if (element) out += '[' + static_cast<TElement_ContentStub*>(element->Element())->Value() + ']';
        for (int i = 0; p && !element && i < n; ++i) out += QChar(p->CharAt(at + i));
        if (!p) out += u'¶';
        return true;
    });
    return out;
}

// Every case runs on the fake clipboard and on the offscreen application clipboard.
class TextorContentTest : public ::testing::TestWithParam<bool> {
protected:
    // A text of kind T holding the pieces: text (CR LF: a break), or "[value]" for a stub.
    template <class T = TElement_ContentRich>
    T* Add(const QStringList& pieces = {}, TVisualElement* parent = nullptr) {
        parent = parent ? parent : fixture.root;
        auto* text = TElement::CreateIn<T>(fixture.scheme.get(), parent);
        text->SetVisualParent(parent);
        fixture.Layout();
        TTextor& textor = *text->Textor();
        for (const QString& piece : pieces) {
            if (!piece.startsWith('[')) {
                textor.InsertText(textor.GetEndPosition(), piece);
                continue;
            }
            auto* stub = TElement::CreateIn<TElement_ContentStub>(fixture.scheme.get(), text);
            stub->SetValue(piece.mid(1, piece.size() - 2));
            textor.InsertElement(textor.GetEndPosition(), stub);
            stub->SetVisualParentAt(text, nullptr);
        }
        return text;
    }
    void Select(TTextorElement* text, TTextorNumericRange numeric) {
        text->Focus();
        fixture.Layout();
        TTextorRange range;
        ASSERT_TRUE(text->Textor()->NumericToRange(numeric, range));
        text->Interactive()->SetSelection(range);
    }

    TClipboard& Board() { return TClipboard::Current(); }

    TSheetFixture fixture{TElement_ContentRoot::StaticClass()};
    std::unique_ptr<TFakeClipboard> m_fake = GetParam() ? std::make_unique<TFakeClipboard>() : nullptr;
    TClipboardInstaller m_installer{m_fake.get()};
};

TEST_P(TextorContentTest, StoredFormsAreByteIdenticalThroughASchemeFileAndASnapshot) {
    TNodePtr<TKnot> alone = TKnot::Create(QStringLiteral("Text"));
    Add({"a\tb\r\n", "[s1]", "c \"<&>\""})->SaveToKnot(alone.get(), fmFile, 0);
    EXPECT_TRUE(alone->GetFlags() & kfIndexed);  // not spread to the element's knot:
    EXPECT_FALSE(alone->FindChild(TElement_ContentStub::StaticClass()->GetTypeName())->GetFlags() & kfIndexed);
    Add({"dflt"})->SetDefaultText("dflt");  // default: written only in a snapshot
    Add<TElement_ContentPlain>({"x\ty"});
    Add<TElement_ContentPlain>();
    auto* owner = TElement::CreateIn<TElement_ContentOwner>(fixture.scheme.get(), fixture.root);
    owner->Caption->SetText("cap");
    Add({"fl"}, owner->Part);
    for (uint8_t mode : {fmFile, fmSnapshot}) {
        SCOPED_TRACE(mode);
        const uint8_t options = mode == fmFile ? foSchemeFile : 0;
        const QString saved = SchemeText(fixture.scheme.get(), mode, options);
        EXPECT_EQ(saved.count("<Chars"), mode == fmFile ? 3 : 4);
        EXPECT_EQ(saved.count("<Floating"), mode == fmFile ? 0 : 1);
        EXPECT_EQ(saved.count("Caption=\"cap\""), mode == fmFile ? 1 : 0);
        EXPECT_EQ(saved.count("<Br"), 1);
        EXPECT_EQ(saved.count("x&#9;y"), 1);
        TSheetFixture other{TElement_ContentRoot::StaticClass()};
        LoadSchemeKnot(other.scheme.get(), KnotFromText(saved).get(), mode, &other.messages);
        EXPECT_EQ(SchemeText(other.scheme.get(), mode, options), saved);
        EXPECT_EQ(other.messages.GetCount(), 0);
    }
}

TEST_P(TextorContentTest, RandomRangesSurviveKnotText) {
    const QStringList kinds = {"ab", "x y", "\t", "\t\t", "\r\n", "[s]", "[t]"};
    QRandomGenerator random(18);
    TElement_ContentRich* target = Add();
    for (int round = 0; round < 60; ++round) {
        QStringList pieces;
        for (int i = 0; i < 8; ++i) pieces << kinds[random.bounded(int(kinds.size()))];
        TElement_ContentRich* source = Add(pieces);
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
        EXPECT_EQ(target->Textor()->RangeToNumeric(inserted),
                  target->Textor()->RangeToNumeric(target->Textor()->GetWholeRange()));
        source->Free();
    }
}

TEST_P(TextorContentTest, CopyGivesPlainTextOrKnotTextAndPastedElementsGetFreshNumbers) {
    TElement_ContentRich* source = Add({"ab\tc\r\nx", "[s1]", "d"});
    Select(source, {{0, 0}, {0, 4}});
    source->Copy();
    EXPECT_EQ(Board().Text(), "ab\tc");
    Select(source, {{0, 1}, {1, 3}});
    source->CopyAsText();
    EXPECT_EQ(Board().Text(), "b\tc\r\nxs1d");
    source->Copy();
    EXPECT_TRUE(Board().Text().startsWith("<TessalyContent"));
    // An element that asks to be left out of copies joins the text around it.
    auto* hidden = static_cast<TVisualElement*>(source->FirstVisualChild());
    hidden->SetVisualOptions(hidden->VisualOptions() | voNotCopied);
    source->Copy();
    EXPECT_EQ(Board().Text(), "b\tc\r\nxd");
    hidden->SetVisualOptions(hidden->VisualOptions() & ~voNotCopied);
    source->Copy();

    TElement_ContentRich* target = Add({"[z]"});
    Select(target, {{0, 0}, {0, 0}});
    ASSERT_TRUE(target->Paste());
    EXPECT_EQ(Pieces(target), "b\tc¶x[s1]d[z]");
    auto* original = source->FirstVisualChild();
    auto* pasted = static_cast<TElement_ContentStub*>(target->FirstVisualChild());  // before "z" there too
    EXPECT_EQ(pasted->Value(), "s1");
    EXPECT_EQ(pasted->NextSibling(), target->LastVisualChild());
    EXPECT_GT(pasted->Number(), original->Number());
    EXPECT_EQ(fixture.scheme->FindElement(pasted->Number()), pasted);
    fixture.history.Undo();
    EXPECT_EQ(Pieces(target), "[z]");
}

TEST_P(TextorContentTest, PasteEntersWhatTheTargetAllows) {
    const QString fragment = "<TessalyContent><Chars Value=\"a\"/><Br/><Chars Value=\"b\"/></TessalyContent>";
    const QString withElement = "<TessalyContent><ContentStub Value=\"s\"/></TessalyContent>";
    const QString truncated = fragment.left(48);
    const struct {
        const char* name;
        QString clipboard;
        bool rich;
        uint32_t restrictions;
        QString pieces;  // empty: nothing pasted
    } cases[] = {
        {"rich fragment", fragment, true, trAllCharacters, "a¶b"},
        {"plain fragment", fragment, false, trAllCharacters, "a¶b"},
        {"fragment without paragraphs", fragment, false, trAllCharacters & ~trLineFeeds, "a\r\nb"},
        {"element into plain text", withElement, false, trAllCharacters, withElement},
        {"ClipboardTextThatFailsToParseWasPastedAsAPartialTree", truncated, true, trAllCharacters, truncated},
        {"words", "plain words", true, trAllCharacters, "plain words"},
        {"no character class", "words", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTextorElement* target = c.rich ? static_cast<TTextorElement*>(Add()) : Add<TElement_ContentPlain>();
        target->SetRestrictions(c.restrictions);
        Board().SetText(c.clipboard);
        EXPECT_EQ(target->Paste(), !c.pieces.isEmpty());
        EXPECT_EQ(Pieces(target), c.pieces);
    }
}

TEST_P(TextorContentTest, AClipboardImageBecomesAnElementOfTheClassTheAncestorsName) {
    TElement_ContentRich* target = Add({"a"});
    TClipboardContent image;
    image.Image = QImage(3, 2, QImage::Format_ARGB32);
    image.Image.fill(Qt::blue);
    Board().SetContent(image);
    target->SetTextorOptions(target->TextorOptions() | toElementOwnLine);
    fixture.settings->FocusNewProperty()->SetValue(true);
    ASSERT_TRUE(target->Paste());
    EXPECT_EQ(Pieces(target), "a¶[3x2]");
    EXPECT_EQ(fixture.sheet.DelayedFocus(), target->LastVisualChild());
    fixture.scheme->SetReadOnly(true);
    EXPECT_FALSE(target->Paste());
}

INSTANTIATE_TEST_SUITE_P(Clipboards, TextorContentTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fake" : "Application"; });

}  // namespace

// Links in rich text: link words, their marking during layout, opening them.

#include "platform/plShell.h"
#include "support/testFiles.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diHyperlinks.h"
#include "text/diTextorElement.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

// A field that counts its text changes and paragraph layouts.
class TElement_LinkProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_LinkProbeText)
public:
    void TextChangedHook() override { ++TextChanges; }
    void BeforeParagraphLayout(TParagraph* paragraph) override {
        ++Layouts;
        TTextorElement::BeforeParagraphLayout(paragraph);
    }
    int TextChanges = 0, Layouts = 0;
};
T_ELEMENT_CLASS_IMPL(TElement_LinkProbeText, TTextorElement)

namespace {

TEST(Hyperlinks, WordsAreLinksByLengthSchemeAndSeparator) {
    const QString tail2050(2050, u'a');
    const std::pair<QString, bool> cases[] = {
        {"http://", false},
        {"http://x", true},
        {"http://" + tail2050, true},         // 2057
        {"http://" + tail2050 + "a", false},  // 2058
        {"HTTPS://X", true},
        {"File:\\\\C", true},
        {"http:x", false},
    };
    for (const auto& [word, link] : cases) EXPECT_EQ(IsHyperlink(word), link) << word.left(20).toStdString();
}

// Portions as their text, links as "text|target".
QStringList LinkPortions(const TTextor& textor) {
    QStringList out;
    for (TPortion* p = textor.GetFirstPortion(); p; p = p->GetNextPortion()) {
        QString chars(p->Length(), u' ');
        p->CopyChars(0, p->Length(), chars.data());
        out << (p->Attributes() && p->Attributes()->LinkKind() ? chars + "|" + p->Attributes()->Link() : chars);
    }
    return out;
}

TEST(Hyperlinks, MarkingDuringLayoutRaisesNoChangeNorSecondLayoutAndPortionsDoNotMultiply) {
    TSheetFixture fixture;
    auto* text = TElement::CreateIn<TElement_LinkProbeText>(fixture.scheme.get(), fixture.root);
    text->SetVisualParent(fixture.root);
    text->SetTextorOptions(toHyperlinks);
    fixture.Layout();
    TTextor& textor = *text->Textor();
    const int changes = text->TextChanges, layouts = text->Layouts;
    textor.InsertText(textor.GetEndPosition(), "see \"http://a.b\" <ftp:\\\\c>");
    const QStringList marked{"see \"", "http://a.b|http://a.b", "\" <", "ftp:\\\\c|ftp:\\\\c", ">"};
    for (int i = 0; i < 3; ++i) textor.InvalidateAllLayouts();
    EXPECT_EQ(LinkPortions(textor), marked);
    EXPECT_EQ(text->TextChanges, changes + 1);
    EXPECT_EQ(text->Layouts, layouts + 4);
    EXPECT_EQ(textor.GetFirstPortion()->Next()->Attributes(), text->MakeHyperlinkAttributes("http://a.b").get());

    TFakeShell shell;
    TShellInstaller install(&shell);
    text->ActivateLink(TTextorPosition{textor.FirstParagraph(), textor.GetFirstPortion()->Next(), 2});
    text->ActivateLink(textor.GetStartPosition());  // plain text: nothing
    EXPECT_EQ(shell.Calls, QStringList{"Execute|http://a.b||"});
    TTextorPosition colon;
    ASSERT_TRUE(textor.NumericToPosition({0, 9}, colon));
    textor.InsertText(colon, "-");  // the link breaks, the plain pieces join
    EXPECT_EQ(LinkPortions(textor), QStringList({"see \"http-://a.b\" <", "ftp:\\\\c|ftp:\\\\c", ">"}));
}

// Marking split the rest of the run at every address, and each head kept the
// buffer of the rest it was cut from.
TEST(Hyperlinks, MarkingTwentyThousandLinksKeepsStringsWithinTwiceTheirLength) {
    constexpr int Links = 20'000;
    TTestTextor textor;
    QString text;
    for (int i = 0; i < Links; ++i) text += "http://example.org/" + QString::number(i) + " and ";
    textor.InsertText(textor.GetStartPosition(), text);
    const TTextAttributesRef link = FixedText(10, 8, 2, 40, MakeColor(0, 0, 255));
    textor.BeginUpdate();
    EXPECT_TRUE(MarkHyperlinks(textor.FirstParagraph(), [&](const QString&) { return link; }));
    textor.EndUpdate();
    int marked = 0;
    for (TPortion* p = textor.GetFirstPortion(); p; p = p->Next()) marked += p->Attributes() == link.get();
    EXPECT_EQ(marked, Links);
    const TStringHold hold = StringHold(textor);
    EXPECT_EQ(hold.Length, text.size());
    EXPECT_TRUE(hold.WithinTwiceTheLength()) << hold.Capacity << " units of capacity";
}

TEST(Hyperlinks, LinksStartedProgramsNowOnlyDocumentsTheirFoldersAndAddressesOpen) {
    // name, content (none: missing), executable, what opens
    const std::tuple<const char*, QByteArray, bool, TLinkOpening> cases[] = {
        {"notes.txt", "plain words\n", false, TLinkOpening::File},
        {"run.sh", "#!/bin/sh\necho hi\n", true, TLinkOpening::Folder},
        {"launch.desktop", "[Desktop Entry]\nType=Application\nExec=true\n", false, TLinkOpening::Folder},
        {"missing.txt", {}, false, TLinkOpening::Folder},
    };
    QTemporaryDir dir;
    TFakeShell shell;
    TShellInstaller install(&shell);
    for (const auto& [name, content, executable, opening] : cases) {
        const QString path = dir.filePath(name);
        if (!content.isEmpty()) {
            ASSERT_TRUE(WriteTestFile(path, content)) << name;
        }
        if (executable) QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        shell.Calls.clear();
        EXPECT_EQ(OpenHyperlink("file://" + path), opening) << name;
        const QString opened = opening == TLinkOpening::File ? path : dir.path();
        EXPECT_EQ(shell.Calls, QStringList{"Execute|" + opened + "||"}) << name;
    }
    shell.Calls.clear();
    EXPECT_EQ(OpenHyperlink("FTP:\\\\host/file"), TLinkOpening::Address);
    EXPECT_EQ(OpenHyperlink("url://anything"), TLinkOpening::Refused);
    EXPECT_EQ(OpenHyperlink("file:///no/such/folder/x.txt"), TLinkOpening::Refused);
    EXPECT_EQ(shell.Calls, QStringList{"Execute|ftp://host/file||"});
}

}  // namespace

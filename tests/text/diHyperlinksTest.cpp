// Links in rich text: which words are links, their marking before a
// paragraph is laid out, and what opening one may start.

#include "platform/plInput.h"
#include "platform/plShell.h"
#include "scheme/diThemes.h"
#include "support/testFiles.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"
#include "text/diHyperlinks.h"
#include "text/diTextorElement.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

// A field with links that counts its text changes and paragraph layouts.
class TElement_LinkProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_LinkProbeText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toHyperlinks);
    }
    void TextChangedHook() override { ++TextChanges; }
    void BeforeParagraphLayout(TParagraph* paragraph) override {
        ++Layouts;
        TTextorElement::BeforeParagraphLayout(paragraph);
    }
    int TextChanges = 0;
    int Layouts = 0;
};
T_ELEMENT_CLASS_IMPL(TElement_LinkProbeText, TTextorElement)

namespace {

int g_linkBeeps = 0;
void CountLinkBeep() { ++g_linkBeeps; }

struct TLinkWordCase {
    QString word;
    bool link;
};

TEST(Hyperlinks, WordsAreLinksByLengthSchemeAndSeparator) {
    const QString tail2050(2050, u'a');
    const TLinkWordCase cases[] = {
        {"http://", false},
        {"http://x", true},
        {"ftp://x", true},                // 7: the shortest link
        {"url:\\\\x", true},
        {"http://" + tail2050, true},     // 2057
        {"http://" + tail2050 + "a", false},  // 2058
        {"HTTPS://X", true},
        {"File:\\\\C", true},
        {"http:x", false},
        {"http:/x/y", false},
        {"https://", false},              // "http" then "s:/" and "https" with nothing after
        {"mailto://x", false},
        {"httpx://y", false},
    };
    for (const TLinkWordCase& c : cases) EXPECT_EQ(IsHyperlink(c.word), c.link) << c.word.left(20).toStdString();
}

class HyperlinksOnSheet : public ::testing::Test {
protected:
    HyperlinksOnSheet() {
        text = TElement::CreateIn<TElement_LinkProbeText>(fixture.scheme.get(), fixture.root);
        text->SetVisualParent(fixture.root);
        fixture.Layout();
    }
    // "text|link" per portion; plain portions show only their text.
    QStringList Portions() const {
        QStringList out;
        for (TPortion* p = text->Textor()->GetFirstPortion(); p; p = p->GetNextPortion()) {
            QString chars(p->Length(), u' ');
            p->CopyChars(0, p->Length(), chars.data());
            const TTextAttributes* a = p->Attributes();
            out << (a && a->LinkKind() ? chars + "|" + a->Link() : chars);
        }
        return out;
    }

    TSheetFixture fixture;
    TElement_LinkProbeText* text = nullptr;
};

TEST_F(HyperlinksOnSheet, MarkingDuringLayoutRaisesNoChangeAndNoSecondLayoutAndPortionsStay) {
    const int changes = text->TextChanges;
    const int layouts = text->Layouts;
    text->Textor()->InsertText(text->Textor()->GetEndPosition(), "see \"http://a.b\" or <ftp://c>");
    const QStringList marked{"see \"", "http://a.b|http://a.b", "\" or <", "ftp://c|ftp://c", ">"};
    EXPECT_EQ(Portions(), marked);
    EXPECT_EQ(text->TextChanges, changes + 1);
    EXPECT_EQ(text->Layouts, layouts + 1);
    for (int i = 0; i < 3; ++i) text->Textor()->InvalidateAllLayouts();
    EXPECT_EQ(Portions(), marked);
    EXPECT_EQ(text->TextChanges, changes + 1);
    EXPECT_EQ(text->Layouts, layouts + 4);

    auto* link = dynamic_cast<const TRichTextAttributes*>(text->Textor()->GetFirstPortion()->Next()->Attributes());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Color(), MakeColor(0, 0, 255));
    EXPECT_TRUE(link->FontStyle() & tfsUnderline);
    EXPECT_EQ(link, text->MakeHyperlinkAttributes("http://a.b").get());  // one shared instance
}

TEST_F(HyperlinksOnSheet, ABrokenLinkAndOtherAttributesBecomePlainTextAgain) {
    TTextor& textor = *text->Textor();
    textor.InsertText(textor.GetEndPosition(), "go http://x now");
    textor.SetRangeAttributes(TTextorRange{textor.GetStartPosition(), textor.GetEndPosition()}, false,
                              FixedText(12));  // bold or coloured text
    EXPECT_EQ(Portions(), QStringList({"go ", "http://x|http://x", " now"}));
    TTextorPosition colon;
    ASSERT_TRUE(textor.NumericToPosition({0, 7}, colon));
    textor.InsertText(colon, "-");
    EXPECT_EQ(Portions(), QStringList({"go http-://x now"}));
}

TEST_F(HyperlinksOnSheet, ActivatingALinkOpensItsTargetThroughTheShell) {
    TFakeShell shell;
    TShellInstaller install(&shell);
    text->Textor()->InsertText(text->Textor()->GetEndPosition(), "a https:\\\\example.org/x b");
    TTextorPosition inLink;
    ASSERT_TRUE(text->Textor()->NumericToPosition({0, 4}, inLink));
    text->ActivateLink(inLink);
    text->ActivateLink(text->Textor()->GetStartPosition());  // plain text: nothing
    EXPECT_EQ(shell.Calls, QStringList{"Execute|https://example.org/x||"});
}

// ---------------------------------------------------------------------------
// What opening a link may start: real files

struct TLinkFileCase {
    const char* name;
    QByteArray content;
    bool executable;
    TLinkOpening opening;
};

TEST(HyperlinksOpening, AFileOpensOnlyWhenItIsARegularDocumentElseItsFolder) {
    const TLinkFileCase cases[] = {
        {"notes.txt", "plain words\n", false, TLinkOpening::File},
        {"run.sh", "#!/bin/sh\necho hi\n", true, TLinkOpening::Folder},
        {"launch.desktop", "[Desktop Entry]\nType=Application\nExec=true\n", false, TLinkOpening::Folder},
        {"tool.py", "print(1)\n", false, TLinkOpening::Folder},
        {"missing.txt", {}, false, TLinkOpening::Folder},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TFakeShell shell;
    TShellInstaller install(&shell);
    for (const TLinkFileCase& c : cases) {
        const QString path = dir.filePath(c.name);
        if (!c.content.isEmpty()) ASSERT_TRUE(WriteTestFile(path, c.content)) << c.name;
        if (c.executable) QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        shell.Calls.clear();
        EXPECT_EQ(OpenHyperlink("file://" + path), c.opening) << c.name;
        const QString opened = c.opening == TLinkOpening::File ? path : dir.path();
        EXPECT_EQ(shell.Calls, QStringList{"Execute|" + opened + "||"}) << c.name;
    }
}

TEST(HyperlinksOpening, AddressesGoToTheBrowserAndUrlLinksOnlyBeep) {
    TFakeShell shell;
    TShellInstaller install(&shell);
    const TBeepFunction previous = InstallBeep(&CountLinkBeep);
    g_linkBeeps = 0;
    EXPECT_EQ(OpenHyperlink("FTP:\\\\host/file"), TLinkOpening::Address);
    EXPECT_EQ(OpenHyperlink("url://anything"), TLinkOpening::Refused);
    EXPECT_EQ(OpenHyperlink("file:///no/such/folder/x.txt"), TLinkOpening::Refused);
    InstallBeep(previous);
    EXPECT_EQ(shell.Calls, QStringList{"Execute|ftp://host/file||"});
    EXPECT_EQ(g_linkBeeps, 2);
}

}  // namespace

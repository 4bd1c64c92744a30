// The log: the settings filter, the sign and paragraph rules, the first
// message after clearing, the links ("E", "F", "S") clicked with the mouse and
// the visited colour, the message sound and the scroll to the left edge.

#include "elements/diLog.h"

#include "core/cuColors.h"
#include "platform/plInput.h"
#include "platform/plResources.h"
#include "scheme/diTextorAttributes.h"
#include "support/testSounds.h"
#include "support/testStop.h"
#include "support/testTextor.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

namespace {

int g_logBeeps = 0;

const QString kLogSignChar = QString(QChar(0xFFFC));

// A log on a sheet; the beep counted, the "Log" settings and the settings-link handler restored.
class LogSheet : public ::testing::Test, public TSheetFixture {
protected:
    LogSheet() {
        log->SetVisualParent(root);
        log->OnChange = [this](TLogRoot*) { ++changes; };
        g_logBeeps = 0;
    }
    ~LogSheet() override {
        InstallBeep(m_previousBeep);
        InstallSettingsLinkHandler(nullptr);
        for (TBooleanProperty* setting : {settings()->WriteInformation(), settings()->WriteHints(),
                                          settings()->WriteWarnings()})
            setting->SetValue(true);
    }
    static TLogSettings* settings() { return LogSettings(); }

    TElementMessage* Add(uint8_t kind, const QString& text) { return log->Messages().AddTextMessage(kind, text); }
    QStringList Paragraphs() const { return ParagraphTexts(*log->Textor()); }
    // The first run whose link text starts with letter.
    TPortion* LinkRun(QChar letter) const {
        for (TPortion* p = log->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
            if (p->Attributes() && p->Attributes()->LinkKind() != 0 && p->Attributes()->Link().startsWith(letter))
                return p;
        return nullptr;
    }
    void Click(TPortion* run) {
        Found(run, "the link run");
        log->ActivateLink(TTextorPosition{run->Paragraph(), run, 1});
    }
    // A click of the left button through the sheet, after the run's first character.
    void ClickWithTheMouse(TPortion* run) {
        Found(run, "the link run");
        const TTextorPosition inside{run->Paragraph(), run, 1};
        const TRect caret = log->Textor()->GetCaretRect(log->Textor()->FindRow(inside, false), inside, 1);
        const TRect padding = log->GetPadding();
        const QPoint at = log->ClientToSheet(QPoint(padding.Left + caret.Left, padding.Top + caret.Top + 2));
        sheet.MouseDown(at, mbLeft, 0, 1);
        sheet.MouseUp(at, mbLeft, 0);
    }

    TLogRoot* log = TElement::CreateIn<TLogRoot>(scheme.get(), root);
    int changes = 0;

private:
    TBeepFunction m_previousBeep = InstallBeep([] { ++g_logBeeps; });
};

TEST_F(LogSheet, WithHintsOffHintsNeverReachTheLogWhileErrorsStillDo) {
    settings()->WriteHints()->SetValue(false);
    EXPECT_EQ(Add(mkHint, QStringLiteral("hint")), nullptr);
    Add(mkError, QStringLiteral("error"));
    EXPECT_EQ(Paragraphs(), QStringList{kLogSignChar + QStringLiteral(" error")});
    EXPECT_EQ(log->Messages().GetCount(), 1);
}

struct TFilterRow {
    const char* name;
    uint8_t kind;
    bool written;  // with information, hints and warnings all off
};

TEST_F(LogSheet, EachSettingHoldsBackItsOwnKindOnly) {
    for (TBooleanProperty* setting : {settings()->WriteInformation(), settings()->WriteHints(),
                                      settings()->WriteWarnings()})
        setting->SetValue(false);
    const TFilterRow rows[] = {
        {"information", mkInformation, false}, {"hint", mkHint, false},
        {"warning", mkWarning, false},         {"error", mkError, true},
        {"value required", mkValueRequired, true}, {"invalid content", mkInvalidContent, true},
    };
    for (const TFilterRow& row : rows)
        EXPECT_EQ(settings()->Writes(row.kind), row.written) << row.name;
}

TEST_F(LogSheet, InformationHasNoSignOtherKindsASignAndASpaceEachMessageItsOwnParagraph) {
    Add(mkInformation, QStringLiteral("info"));
    Add(mkWarning, QStringLiteral("warn"));
    EXPECT_EQ(Paragraphs(), (QStringList{QStringLiteral("info"), kLogSignChar + QStringLiteral(" warn")}));
    EXPECT_EQ(changes, 2);
    TPortion* first = log->Textor()->LastParagraph()->FirstPortion();
    ASSERT_EQ(first->Kind(), TPortionKind::Element);
    auto* sign = dynamic_cast<TElement_Sign*>(static_cast<TElementPortion*>(first)->Element());
    ASSERT_NE(sign, nullptr);
    EXPECT_EQ(sign->Kind(), mkWarning);
}

TEST_F(LogSheet, SignPicturesByKind) {
    EXPECT_EQ(LogSignPicture(mkInformation), TLogSignPicture::None);
    EXPECT_EQ(LogSignPicture(mkHint), TLogSignPicture::Hint);
    for (const uint8_t kind : {mkWarning, mkValueRequired, mkInvalidContent})
        EXPECT_EQ(LogSignPicture(kind), TLogSignPicture::Warning) << int(kind);
    EXPECT_EQ(LogSignPicture(mkError), TLogSignPicture::Error);
    EXPECT_EQ(LogSignPicture(6), TLogSignPicture::None);
}

TEST_F(LogSheet, TheFirstMessageAfterClearingStartsWithoutAnEmptyParagraph) {
    Add(mkInformation, QStringLiteral("old"));
    log->Messages().Clear();
    EXPECT_EQ(changes, 2) << "clearing calls the change event";
    Add(mkInformation, QStringLiteral("new"));
    EXPECT_EQ(Paragraphs(), QStringList{QStringLiteral("new")});
}

TEST_F(LogSheet, ItsLinksAreItsOwnNoWebAddressBecomesALink) {
    Add(mkInformation, QStringLiteral("see www.example.com"));
    Layout();
    EXPECT_EQ(LinkRun(u'w'), nullptr);
    for (TPortion* p = log->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        EXPECT_EQ(p->Attributes() ? p->Attributes()->LinkKind() : 0, 0);
}

TEST_F(LogSheet, ElementLinkPassesTheNumbersThatAreNumbers) {
    QList<int> numbers;
    log->OnElementsLink = [&](TLogRoot*, const QList<int>& clicked) { numbers = clicked; };
    log->Messages().AddElementLinkMessage(mkError, QStringLiteral("see [here]"), QStringLiteral("3,x,,5"));
    Click(LinkRun(kLogLinkElements));
    EXPECT_EQ(numbers, (QList<int>{3, 5}));
    EXPECT_EQ(ParseLogElementNumbers(QStringLiteral(" 7 ,a1, 8")), (QList<int>{7, 8}));
}

TEST_F(LogSheet, FileLinkPassesTheFileName) {
    QString file;
    log->OnFileLink = [&](TLogRoot*, const QString& name) { file = name; };
    log->Messages().AddPathLinkMessage(mkWarning, QStringLiteral("in [file]"), QStringLiteral("/tmp/a.pas"));
    Click(LinkRun(kLogLinkFile));
    EXPECT_EQ(file, QStringLiteral("/tmp/a.pas"));
}

TEST_F(LogSheet, SettingsLinkGoesToTheInstalledHandlerWithoutOneItBeeps) {
    auto message = std::make_unique<TElementMessage>(mkHint);
    message->AddSegment(nullptr, skSettings, QStringLiteral("Sheet/Log"), QStringLiteral("settings"));
    log->Messages().Add(std::move(message));
    const QStringList before = Paragraphs();
    Click(LinkRun(kLogLinkSettings));
    EXPECT_EQ(g_logBeeps, 1);
    EXPECT_EQ(Paragraphs(), before);
    QString page;
    InstallSettingsLinkHandler([&](const QString& path) { page = path; });
    Click(LinkRun(kLogLinkSettings));
    EXPECT_EQ(page, QStringLiteral("Sheet/Log"));
    EXPECT_EQ(g_logBeeps, 1);
}

TEST_F(LogSheet, AMouseClickOnEachLinkKindReachesItsHandlerWithoutHyperlinkDetection) {
    QStringList opened;
    log->OnElementsLink = [&](TLogRoot*, const QList<int>& ns) { opened << "E" + QString::number(ns.value(1)); };
    log->OnFileLink = [&](TLogRoot*, const QString& name) { opened << "F" + name; };
    InstallSettingsLinkHandler([&](const QString& path) { opened << "S" + path; });
    log->Messages().AddElementLinkMessage(mkError, QStringLiteral("at [this]"), QStringLiteral("3,5"));
    log->Messages().AddPathLinkMessage(mkWarning, QStringLiteral("in [file]"), QStringLiteral("a.pas"));
    auto message = std::make_unique<TElementMessage>(mkHint);
    message->AddSegment(nullptr, skSettings, QStringLiteral("Sheet/Log"), QStringLiteral("settings"));
    log->Messages().Add(std::move(message));
    Layout();
    ASSERT_FALSE(log->HasTextorOption(toHyperlinks));
    for (const QString link : {"E5", "Fa.pas", "SSheet/Log"}) {
        ClickWithTheMouse(LinkRun(link.front()));
        EXPECT_EQ(opened.value(opened.size() - 1), link);
    }
    EXPECT_EQ(opened.size(), 3);
}

TEST_F(LogSheet, AMessageOnASheetPlaysTheLogSoundAndScrollsTheSheetToItsLeftEdge) {
    TRecordedSounds sounds;
    sheet.SetScreenPosition(QPoint(40, 30));
    Add(mkError, QStringLiteral("error"));
    EXPECT_EQ(sounds.played, QStringList{FindResource(sndLogMessage)});
    EXPECT_EQ(sheet.ScreenPos(), QPoint(0, 30));
}

TEST_F(LogSheet, AClickedLinkTakesTheVisitedColourOnce) {
    log->Messages().AddPathLinkMessage(mkError, QStringLiteral("[file]"), QStringLiteral("a.pas"));
    const auto* link = dynamic_cast<const TRichTextAttributes*>(Found(LinkRun(kLogLinkFile), "the file link")->Attributes());
    ASSERT_NE(link, nullptr);
    const TColor visitedColor = ColorFromWindows(kVisitedLinkWindowsColor);
    EXPECT_NE(link->Color(), visitedColor);
    Click(LinkRun(kLogLinkFile));
    const auto* visited =
        dynamic_cast<const TRichTextAttributes*>(Found(LinkRun(kLogLinkFile), "the file link")->Attributes());
    EXPECT_EQ(visited->Color(), visitedColor);
    EXPECT_EQ(visited->Link(), kLogLinkFile + QStringLiteral("a.pas"));
    Click(LinkRun(kLogLinkFile));
    EXPECT_EQ(LinkRun(kLogLinkFile)->Attributes(), visited) << "a second click leaves the attributes as they are";
}

}  // namespace

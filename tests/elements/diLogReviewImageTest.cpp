// A picture of the log for review, written into the build folder as
// "log-review.png": a message of every kind with its sign picture, element,
// file and settings links, one of them visited, inside the sheet's padding.

#include "elements/diLog.h"

#include "core/cuColors.h"
#include "scheme/diUtils.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// The sheet's size: the log fills it.
constexpr int kReviewWidth = 420;
constexpr int kReviewHeight = 160;

bool ImageHolds(const QImage& image, const QRect& rect, TColor color) {
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF)) return true;
    return false;
}

TEST(LogReviewImage, SignsOfEveryKindLinksAndAVisitedLink) {
    TSheetFixture fixture;
    fixture.sheet.SetAvailableSize(QSize(kReviewWidth, kReviewHeight));
    auto* log = TElement::CreateIn<TLogRoot>(fixture.scheme.get(), fixture.root);
    log->SetVisualParent(fixture.root);
    TElementMessages& messages = log->Messages();
    messages.AddTextMessage(mkInformation, QStringLiteral("Information without a sign"));
    messages.AddElementLinkMessage(mkHint, QStringLiteral("A hint about [this element]"), QStringLiteral("1"));
    messages.AddPathLinkMessage(mkWarning, QStringLiteral("A warning in [a file]"), QStringLiteral("a.pas"));
    messages.AddElementLinkMessage(mkError, QStringLiteral("An error at [that element], visited"),
                                   QStringLiteral("2"));
    auto settingsLink = std::make_unique<TElementMessage>(mkValueRequired);
    settingsLink->AddSegment(nullptr, skText, {}, QStringLiteral("A value is required: "));
    settingsLink->AddSegment(nullptr, skSettings, QStringLiteral("Sheet/Log"), QStringLiteral("settings"));
    messages.Add(std::move(settingsLink));
    messages.AddTextMessage(mkInvalidContent, QStringLiteral("Invalid content"));
    fixture.Layout();
    for (TPortion* p = log->Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (p->Attributes() && p->Attributes()->Link() == QStringLiteral("E2"))
            log->ActivateLink(TTextorPosition{p->Paragraph(), p, 1});
    fixture.Layout();

    const QRect area(log->ClientToSheet(QPoint(0, 0)), QSize(log->Width() + 8, log->Height() + 8));
    ASSERT_GT(area.width(), 8);
    const QImage image = fixture.sheet.PaintToImage(TRect{0, 0, area.right(), area.bottom()});
    const TRect padding = log->GetPadding();
    EXPECT_EQ(padding, fixture.sheet.Canvas()->GetThemePadding(tekSheet));
    EXPECT_GT(padding.Left, 0);
    TSchemeImages pictures(kLogSignSize, kLogSignSize);
    pictures.AddResourceImage(kLogImagesResource);
    ASSERT_EQ(pictures.Count(), 3);
    int signs = 0;
    for (TVisualElement* sign = log->FirstVisualChild(); sign; sign = sign->NextVisualSibling(), ++signs) {
        const QRect rect(sign->ClientToSheet(QPoint(0, 0)), QSize(sign->Width(), sign->Height()));
        EXPECT_EQ(rect.size(), QSize(kLogSignSize, kLogSignSize));
        // The middle of each picture is opaque and of another colour than the sign's ground.
        const QImage& picture = pictures.Image(int(LogSignPicture(static_cast<TElement_Sign*>(sign)->Kind())));
        EXPECT_EQ(image.pixel(rect.center()), picture.pixel(kLogSignSize / 2, kLogSignSize / 2)) << "sign " << signs;
    }
    EXPECT_EQ(signs, 5);
    EXPECT_TRUE(ImageHolds(image, area, ColorFromWindows(kVisitedLinkWindowsColor)));
    EXPECT_TRUE(ImageHolds(image, area, ColorFromWindows(0xFF0000))) << "unvisited links stay blue";

    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("log-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace

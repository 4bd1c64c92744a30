// Element image lists, greyed pictures and the small routines.

#include "scheme/diUtils.h"
#include "platform/plResources.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SanitizeFileName, CutsFirstThenDropsForbiddenCharacters) {
    QString name(300, QLatin1Char('a'));
    name[9] = QLatin1Char(':');
    EXPECT_EQ(SanitizeFileName(name).size(), 259);
    EXPECT_EQ(SanitizeFileName(QStringLiteral("a\"b*c/d:e<f>g?h\\i|j\tk\x01l m.txt")), "abcdefghijkl m.txt");
    EXPECT_EQ(SanitizeFileName(QStringLiteral("Überschrift ß")), QStringLiteral("Überschrift ß"));
}

TEST(ListRoutines, AddOnceKeepsFirstOrderAndRemoveTakesEveryCopy) {
    QList<int> list{3, 1};
    AddItemsOnce(list, QList<int>{1, 4, 3, 4, 5});
    EXPECT_EQ(list, (QList<int>{3, 1, 4, 5}));
    AddItemOnce(list, 3);
    list.append(4);
    RemoveItems(list, QList<int>{4, 9});
    EXPECT_EQ(list, (QList<int>{3, 1, 5}));
}

// Truncating a floating-point day difference lost a millisecond for values a
// whole number of milliseconds apart (219 for the 220 ms preview pause).
TEST(MillisecondsBetween, ExactForWholeMillisecondsRegression) {
    constexpr double MsPerDay = 86400000.0;
    int naiveWrong = 0;
    for (int i = 0; i < 2000; ++i) {
        const double base = 46000.0 + i * 0.0137;  // days around 2025
        const double baseMs = std::round(base * MsPerDay);
        const double a = baseMs / MsPerDay;
        for (int ms : {1, 220, 800, 1500}) {
            const double b = (baseMs + ms) / MsPerDay;
            ASSERT_EQ(MillisecondsBetween(a, b), ms) << i;
            ASSERT_EQ(MillisecondsBetween(b, a), ms) << i;
            if (int64_t(std::fabs(b - a) * MsPerDay) != ms) ++naiveWrong;
        }
    }
    EXPECT_GT(naiveWrong, 0);  // the table holds values the old rule got wrong
    EXPECT_EQ(MillisecondsBetween(1.0, 1.0), 0);
}

TEST(GreyedImages, FollowTheFormula) {
    QImage source(2, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(200, 100, 50, 255));
    source.setPixel(1, 0, qRgba(100, 200, 0, 128));
    const QImage grey = GreyedImage(source.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    const int g0 = (200 * 61 + 100 * 174 + 50 * 21) >> 8;
    EXPECT_EQ(grey.pixel(0, 0), qRgba(g0, g0, g0, 255 * 22 / 100));
    // Un-premultiplied first: the half-transparent pixel greys by its own colour.
    const QRgb p = grey.pixel(1, 0);
    EXPECT_NEAR(qRed(p), (100 * 61 + 200 * 174) >> 8, 1);
    EXPECT_EQ(qAlpha(p), 128 * 22 / 100);
}

TEST(SchemeImages, SharedListsHoldTheirDefaultPicturesAndStripsAreCutRowByRow) {
    EXPECT_GE(SchemeLargeImages().Count(), 2);  // the second is the Disable item's picture
    EXPECT_EQ(SchemeCharImages().Image(DefaultCharImage()).size(), QSize(12, 12));
    const QImage& picture = SchemeSmallImages().Image(0);
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);     // transparent corner
    EXPECT_EQ(qAlpha(picture.pixel(8, 8)), 255);   // opaque middle
    const auto disabled = TSchemeImages::CreateDisabled(SchemeSmallImages());
    EXPECT_EQ(qAlpha(disabled->Image(0).pixel(8, 8)), 255 * 22 / 100);

    // Strips are cut row by row; missing resources add nothing.
    TSchemeImages list(4, 4);
    QImage strip(9, 8, QImage::Format_ARGB32);
    strip.fill(qRgba(0, 0, 0, 255));
    strip.setPixel(4, 4, qRgba(255, 0, 0, 255));  // first pixel of the fourth picture
    EXPECT_EQ(list.AddStrip(strip), 0);
    ASSERT_EQ(list.Count(), 4);                    // the odd column is ignored
    EXPECT_EQ(list.Image(3).pixel(0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(list.AddResourceImage("noSuchImages"), 4);
    EXPECT_EQ(list.Count(), 4) << "nothing added";
}

TEST(SchemeImages, DeferredPicturesAreMadeOnceWhenFirstAskedForAndSizedAsAdded) {
    TSchemeImages list(4, 4);
    list.Add(QImage(4, 4, QImage::Format_ARGB32));
    int decodes = 0;
    EXPECT_EQ(list.AddDeferred(3, [&decodes] {
        ++decodes;
        QImage big(8, 8, QImage::Format_ARGB32);
        big.fill(qRgba(0, 0, 255, 255));
        return std::vector<QImage>{QImage(4, 4, QImage::Format_RGB32), big};  // one short
    }), 1);
    EXPECT_EQ(list.AddDeferred(1, [] { return std::vector<QImage>(2, QImage(4, 4, QImage::Format_RGB32)); }), 4);
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Add(QImage(4, 4, QImage::Format_ARGB32)), 5);
    EXPECT_EQ(decodes, 0);  // counting and adding decode nothing
    const QImage& scaled = list.Image(2);
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(scaled.size(), QSize(4, 4));
    EXPECT_EQ(scaled.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(scaled.pixel(2, 2), qRgba(0, 0, 255, 255));
    EXPECT_FALSE(list.Image(1).isNull());
    EXPECT_TRUE(list.Image(3).isNull());  // the decoder answered only two
    EXPECT_EQ(decodes, 1);
    EXPECT_FALSE(list.Image(4).isNull());  // the extra picture went
    EXPECT_EQ(list.Count(), 6);
}

TEST(SchemeImages, ResourceStripsAndGreyedListsGiveWhatAnEagerDecodeGives) {
    // The shared small list holds at least its default strip, read from its
    // PNG resource only when a picture is asked for.
    TSchemeImages list(16, 16);
    const int first = list.AddResourceImage(QStringLiteral("diClassesSmallImages"));
    ASSERT_GT(list.Count(), first);
    TSchemeImages eager(16, 16);
    eager.AddStrip(QImage(FindResource(QStringLiteral("diClassesSmallImages"))));
    ASSERT_EQ(eager.Count(), list.Count() - first);
    const auto disabled = TSchemeImages::CreateDisabled(list);
    ASSERT_EQ(disabled->Count(), list.Count());
    for (int i = first; i < list.Count(); ++i) {
        EXPECT_EQ(eager.Image(i - first), list.Image(i)) << i;
        EXPECT_EQ(disabled->Image(i),
                  GreyedImage(list.Image(i)).convertToFormat(QImage::Format_ARGB32_Premultiplied)) << i;
    }
}

// The date/time mask field (its default text, its drop-down, the formatter of
// the pattern letters) and the expand button of titled elements (storage,
// undo without a modified document, pictures, the "Collapsed" item, sounds).

#include "elements/diSimpleElements.h"

#include "scheme/diCustomElements.h"
#include "support/testVisualElements.h"

#include <gtest/gtest.h>

namespace {

// 2024-03-07 (a Thursday) 21:05:04.006: every field differs from its neighbours' digits.
const QDateTime kMoment(QDate(2024, 3, 7), QTime(21, 5, 4, 6));

class DateTimeMask : public ::testing::Test, public TSheetFixture {
protected:
    TCustomDateTimeMaskElement* field = TElement::CreateIn<TCustomDateTimeMaskElement>(scheme.get(), root);
};

TEST_F(DateTimeMask, ANewFieldReadsTheFullMask) {
    field->InitNewTree(nullptr);
    EXPECT_EQ(field->GetText(), QStringLiteral("yyyy.mm.dd hh:nn:ss"));
    EXPECT_EQ(field->FormatDateTime(kMoment), QStringLiteral("2024.03.07 21:05:04"));
}

TEST_F(DateTimeMask, TheDropDownOffersTheNineMasksInOrderThenFindsTheText) {
    field->SetText(QStringLiteral("dd.mm.yy"));
    TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
    TDropDownItem* found = field->FillDropDown(root.get());
    QStringList captions;
    for (TDropDownItem* item = root->FirstItem(); item; item = item->NextItem()) captions << item->Caption;
    EXPECT_EQ(captions, TCustomDateTimeMaskElement::OfferedMasks());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Caption, QStringLiteral("dd.mm.yy"));
}

struct TFormatCase {
    const char* format;
    const char* expected;
};

const TFormatCase kOfferedMaskCases[] = {
    {"yyyy.mm.dd", "2024.03.07"},
    {"yyyy.mm.dd hh:nn", "2024.03.07 21:05"},
    {"yyyy.mm.dd hh:nn:ss", "2024.03.07 21:05:04"},
    {"dd.mm.yy", "07.03.24"},
    {"dd.mm.yy hh:nn", "07.03.24 21:05"},
    {"dd.mm.yy hh:nn:ss", "07.03.24 21:05:04"},
    {"dd.mm.yyyy", "07.03.2024"},
    {"dd.mm.yyyy hh:nn", "07.03.2024 21:05"},
    {"dd.mm.yyyy hh:nn:ss", "07.03.2024 21:05:04"},
};

TEST(FormatDateTime, EachOfferedMaskAtAFixedMoment) {
    ASSERT_EQ(std::size(kOfferedMaskCases), size_t(TCustomDateTimeMaskElement::OfferedMasks().size()));
    for (const TFormatCase& c : kOfferedMaskCases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(c.format), kMoment, QLocale::c()),
                  QString::fromLatin1(c.expected));
    }
}

const TFormatCase kLetterCases[] = {
    {"hh:mm", "21:05"},               // m after h: minutes, where QDateTime reads months
    {"h:m", "21:5"},
    {"hh 'at' mm", "21 at 05"},       // quoted text keeps the last letter h
    {"hh dd mm", "21 07 03"},         // after d, m is the month again
    {"m/d/y", "3/7/24"},              // "/" as itself on every locale
    {"mmm mmmm", "Mar March"},
    {"ddd dddd", "Thu Thursday"},
    {"h:nn am/pm", "9:05 pm"},
    {"hh:nn AM/PM", "09:05 PM"},
    {"h a/p", "9 p"},
    {"h 'a' am/pm", "9 a pm"},        // an "a" in quotes is passed over
    {"s.z ss.zzz", "4.6 04.006"},
    {"\"nn\" 'y' x", "nn y x"},
    {"hh 'open", "21 open"},          // an unclosed quote runs to the end
};

TEST(FormatDateTime, PatternLettersAndLiterals) {
    for (const TFormatCase& c : kLetterCases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(c.format), kMoment, QLocale::c()),
                  QString::fromLatin1(c.expected));
    }
}

TEST(FormatDateTime, MidnightAndNoonOnTheTwelveHourClock) {
    const QDate day(2024, 3, 7);
    EXPECT_EQ(FormatDateTime(QStringLiteral("h am/pm"), QDateTime(day, QTime(0, 0)), QLocale::c()),
              QStringLiteral("12 am"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("h am/pm"), QDateTime(day, QTime(12, 0)), QLocale::c()),
              QStringLiteral("12 pm"));
}

}  // namespace

// What the start-up of the Pascal element units leaves behind: the class
// groups in their order, the palette groups with their "Other" items, and
// an English text for every string id the units use.

#include "pascal/elements/prCommon.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diPalette.h"
#include "support/testCases.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {
constexpr const char* kStartupTable = "pascal/elements/declarations.txt";
constexpr uint16_t kEnglish = 1033;

int GroupIndex(const TClassesGroups::TGroup& group) {
    for (int i = 0; i < ClassesGroups().Count(); ++i)
        if (&ClassesGroups().GetGroup(i) == &group) return i;
    return -1;
}
}  // namespace

TEST(PascalStartup, AllocatesTheFourClassGroupsInOrder) {
    const int expression = GroupIndex(ExpressionElementClasses());
    ASSERT_GE(expression, 0);
    EXPECT_EQ(GroupIndex(CommandElementClasses()), expression + 1);
    EXPECT_EQ(GroupIndex(ClassMemberElementClasses()), expression + 2);
    EXPECT_EQ(GroupIndex(ModuleElementClasses()), expression + 3);
}

TEST(PascalStartup, MakesTheThreePaletteGroupsEachWithItsOtherItem) {
    const QList<CaseRow> rows = LoadCases(kStartupTable, "PaletteGroups");
    const TPaletteGroup* groups[] = {TypesPaletteGroup(), CommandsPaletteGroup(), ExpressionsPaletteGroup()};
    const TPaletteItem* others[] = {TypesOtherItem(), CommandsOtherItem(), ExpressionsOtherItem()};
    ASSERT_EQ(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].Text());
        ASSERT_TRUE(groups[i] && others[i]);
        EXPECT_EQ(groups[i]->Parent(), Palette());
        EXPECT_EQ(LoadStrLang(groups[i]->CaptionId(), kEnglish), rows[i]["Caption"]);
        EXPECT_EQ(groups[i]->Order(), rows[i].Int("Order"));
        EXPECT_EQ(others[i]->Parent(), groups[i]);
        EXPECT_EQ(LoadStrLang(others[i]->CaptionId(), kEnglish), QStringLiteral("Other"));
        EXPECT_EQ(LoadStrLang(others[i]->HintId(), kEnglish), QStringLiteral("Other elements."));
        EXPECT_EQ(others[i]->Flags(), 0x3100);
        EXPECT_EQ(others[i]->Order(), 10);
        EXPECT_EQ(others[i]->LargeImage(), -1);
    }
}

TEST(PascalStartup, EveryStringIdOfTheUnitsExistsInEnglish) {
    QSet<int> ids;
    for (const char* section : {"StandardTypes", "ObjectMembers", "ImplicitIdentifiers"})
        for (const CaseRow& row : LoadCases(kStartupTable, section))
            if (row.Id("Hint") > 0) ids << row.Id("Hint");
    EXPECT_EQ(ids.size(), 19) << "9800-9813 and 8608-8612";
    for (int id : ids) EXPECT_FALSE(LoadStrLang(id, kEnglish).isEmpty()) << id;
}

// The declaration modules built as a user builds them: each checks clean,
// saves, loads with nothing unread and saves again byte for byte in both
// store modes, and every step undoes back to the empty scheme. Every element
// they hold offers each key letter on one palette button at most.

#include "pascal/driver/moduleChecks.h"
#include "pascal/driver/declarationsModule.h"

#include "core/cuLocalization.h"
#include "core/cuNode.h"
#include "core/cuStringIds.h"
#include "elements/diNamingElements.h"
#include "scheme/diMessages.h"
#include "scheme/diVisual.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

struct TModule {
    const char* Name;
    void (*Build)(TSheetDriver&);
};

const TModule kModules[] = {
    {"UnitLevel", BuildDeclarationsModule},
    {"Local", BuildLocalDeclarationsModule},
};

class DeclarationsModule : public ::testing::TestWithParam<TModule> {
protected:
    TSheetDriver driver{DeclarationsModuleRootClass(), DeclarationsModuleName()};
};

}  // namespace

TEST_P(DeclarationsModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    GetParam().Build(driver);
    ExpectCleanAndSavedByteForByteInBothModes(driver);
}

TEST_P(DeclarationsModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    ExpectEveryStepUndoneAndRedone(driver, [](TSheetDriver& d) { GetParam().Build(d); });
}

TEST_P(DeclarationsModule, NoElementOffersTwoButtonsWithOneKeyLetter) {
    GetParam().Build(driver);
    std::vector<TVisualElement*> elements;
    for (TNode* node : PreOrder<TNode>(driver.Root()))
        if (auto* element = dynamic_cast<TVisualElement*>(node); element && element->IsVisible()) elements.push_back(element);
    ASSERT_GT(elements.size(), 40u);
    for (TVisualElement* element : elements) {
        driver.Focus(element);
        if (driver.Focused() != element) continue;
        QSet<QString> letters;
        for (const TPaletteEntry& entry : driver.PaletteEntries()) {
            if (!entry.Button || entry.Key.isEmpty() || entry.Key[0].isDigit()) continue;
            EXPECT_FALSE(letters.contains(entry.Key))
                << element->ClassName().toStdString() << " offers \"" << entry.Key.toStdString() << "\" twice";
            letters << entry.Key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, DeclarationsModule, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<TModule>& info) { return std::string(info.param.Name); });
// What the steps chose is what the file keeps: the bounds reached through
// "Bounds", a unit-level field private by default and one made public, the
// prefix generated for the enumeration's items.
TEST(UnitLevelDeclarationsModule, KeepsTheBoundsVisibilitiesAndPrefixesItsStepsChose) {
    TSheetDriver driver{DeclarationsModuleRootClass(), DeclarationsModuleName()};
    BuildDeclarationsModule(driver);
    // Compared without the layout's line breaks and tabs.
    const QString saved = QString::fromUtf8(driver.Save(TStoreMode::File)).remove(QRegularExpression(QStringLiteral("[\\r\\n\\t]")));
    for (const char* kept : {"<Array Name=\"TNames\" ElementType=\"str\"><Min><Chars Value=\"1\"/></Min><Max><Chars Value=\"Limit\"/>",
                             "<Field Name=\"Count\" Type=\"TTotal\" Visibility=\"Private\">",
                             "<Field Name=\"Kind\" Type=\"TDocKind\">",
                             "<Record Name=\"TBook\" Visibility=\"Private\">",
                             "<EnumItem Name=\"dkFolder\"/>"})
        EXPECT_TRUE(saved.contains(QLatin1String(kept))) << kept;
}

// A declaration named as a standard type hides it: no clash with the shared
// standard item, which stays unmarked. As for every built-in name, the name
// itself is reported as reserved, and a reference to it as one to a name that
// needs changing; neither is a duplicate-name message.
TEST(DeclaredStandardTypeName, IsReportedReservedAndItsReferencesAsSuchButNeverAsADuplicate) {
    TSheetDriver driver{DeclarationsModuleRootClass(), DeclarationsModuleName()};
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("Record"));
    driver.Focus(QStringLiteral("TElement_Record/TIdentifierNameField"));
    driver.Type(QStringLiteral("str"));
    driver.Focus(QStringLiteral("TElement_Record/TRecordFieldsContainer"));
    driver.MustApplyKey(QStringLiteral("E"));
    driver.Focus(QStringLiteral("TElement_Record/TRecordFieldsContainer/TElement_Field/TFieldNameField"));
    driver.Type(QStringLiteral("Size"));
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("E"));
    driver.Focus(QStringLiteral("TElement_Field/TFieldNameField"));
    driver.Type(QStringLiteral("Name"));
    driver.Focus(QStringLiteral("TElement_Field/TFieldTypeField"));
    driver.SelectAll();
    driver.Type(QStringLiteral("str"));
    driver.Focus(driver.Root());
    const QString name = QStringLiteral("str");
    EXPECT_EQ(Lines(driver.Check()),
              Lines({QStringLiteral("TIdentifierNameField: ") + RemoveLinkBrackets(LoadStrFmt(strNameReservedYouNeed, {name})),
                     QStringLiteral("TFieldTypeField: ") + RemoveLinkBrackets(LoadStr(strReferenceElementWithDuplicate))}));
    auto* type = dynamic_cast<TCustomReferenceElement*>(driver.Place(QStringLiteral("TElement_Field/TFieldTypeField")));
    ASSERT_NE(type, nullptr);
    ASSERT_NE(type->GetTargetItem(), nullptr);
    EXPECT_EQ(type->GetTargetItem()->GetElement(), driver.Place(QStringLiteral("TElement_Record")));
    EXPECT_FALSE(type->GetTargetItem()->IsDuplicate());
}

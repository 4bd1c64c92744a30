// The properties module built as a user builds it: it checks clean, saves,
// loads and saves again byte for byte in both store modes, and every step
// undoes back to the empty scheme. And the backing field's name as the user
// renames a property with a field.

#include "pascal/driver/moduleChecks.h"
#include "pascal/driver/propertiesModule.h"

#include "text/diTextorElement.h"

#include <gtest/gtest.h>

namespace {

class PropertiesModule : public ::testing::Test {
protected:
    TSheetDriver driver{PropertiesModuleRootClass(), PropertiesModuleName()};
};

}  // namespace

TEST_F(PropertiesModule, ChecksCleanAndSavesLoadsAndSavesAgainByteForByteInBothModes) {
    BuildPropertiesModule(driver);
    ExpectCleanAndSavedByteForByteInBothModes(driver);
}

TEST_F(PropertiesModule, UndoingEveryStepGivesTheEmptySchemesBytesAndRedoingEveryStepTheModules) {
    ExpectEveryStepUndoneAndRedone(driver, BuildPropertiesModule);
}

// The backing field was named again from the property's name each time the
// user finished editing the name, so that a name the user gave the field was
// lost at the next rename.
TEST_F(PropertiesModule, TheFieldNameFollowsThePropertysNameUntilTheUserNamesTheField) {
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("Object"));
    const QString property = QStringLiteral("TElement_Object/TObjectMembersContainer/TElement_PropertyWithField");
    driver.Focus(QStringLiteral("TElement_Object/TObjectMembersContainer"));
    driver.MustApply(QStringLiteral("Property with Field"));
    const QString name = property + QStringLiteral("/TPropertyWithFieldNameField");
    const QString field = property + QStringLiteral("/TPropertyFieldNameField");
    const QString type = property + QStringLiteral("/TFieldTypeField");
    auto rename = [&](const QString& path, const QString& text) {
        driver.Focus(path);
        driver.SelectAll();
        driver.Type(text);
        driver.Focus(type);  // editing the name ends
    };
    auto fieldName = [&] { return static_cast<TTextorElement*>(driver.Place(field))->GetText(); };
    rename(name, QStringLiteral("Color"));
    EXPECT_EQ(fieldName(), QStringLiteral("FColor"));
    rename(name, QStringLiteral("Size"));
    EXPECT_EQ(fieldName(), QStringLiteral("FSize"));
    driver.Undo();
    EXPECT_EQ(fieldName(), QStringLiteral("FColor")) << "the field's new name is a step of its own";
    driver.Redo();
    rename(field, QStringLiteral("FExtent"));
    rename(name, QStringLiteral("Width"));
    EXPECT_EQ(fieldName(), QStringLiteral("FExtent")) << "a name the user gave the field is kept";
}

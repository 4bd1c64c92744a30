// The property associator against a real settings section: controls filled
// from the items, defaults shown, and Apply writing back exactly the values
// that changed.

#include "core/cuProps.h"
#include "support/testBroadcasts.h"
#include "ui/baEdits.h"
#include "ui/baPropAssoc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A section of one item of each kind, bound to the controls of a page.
class PropertyAssociatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        flag = TProperty::Create<TBooleanProperty>(section.get(), QStringLiteral("Flag"), true);
        size = TProperty::Create<TEnumProperty>(section.get(), QStringLiteral("Size"),
                                                QStringList{QString(), QStringLiteral("Large"), QStringLiteral("Great")});
        count = TProperty::Create<TIntegerProperty>(section.get(), QStringLiteral("Count"), 7, -5, 50);
        theme = TProperty::Create<TStringProperty>(section.get(), QStringLiteral("Theme"), QStringLiteral("Default"));
        style = TProperty::Create<TStringProperty>(section.get(), QStringLiteral("Style"), QStringLiteral("Plain"));
        size->SetIndex(2);
        count->SetValue(-3);
        theme->SetValue(QStringLiteral("Dark"));
        themes->addItems({QStringLiteral("Default"), QStringLiteral("Dark")});
        styles->setEditable(true);
        associator.AddBoolInCheckBox(flag, box, QStringLiteral("Show everything"));
        associator.AddEnumInComboBox(size, sizes, QStringLiteral("Normal\r\nLarge\r\nGreat"), sizeLabel,
                                     QStringLiteral("Font size"));
        associator.AddIntInIntegerEdit(count, edit, nullptr, QStringLiteral("Count"));
        associator.AddStrInComboBox(theme, themes, nullptr, QStringLiteral("Theme"));
        associator.AddStrInComboBox(style, styles, nullptr, QStringLiteral("Style"));
    }

    TNodePtr<TProperty> section = TProperty::CreateRoot<TProperty>(QStringLiteral("Page"));
    TBooleanProperty* flag;
    TEnumProperty* size;
    TIntegerProperty* count;
    TStringProperty* theme;
    TStringProperty* style;
    QWidget page;
    QCheckBox* box = new QCheckBox(&page);
    QComboBox* sizes = new QComboBox(&page);
    QLabel* sizeLabel = new QLabel(&page);
    TIntegerEdit* edit = new TIntegerEdit(&page);
    QComboBox* themes = new QComboBox(&page);
    QComboBox* styles = new QComboBox(&page);
    TPropertyAssociator associator;
};

TEST_F(PropertyAssociatorTest, ApplySendsOneChangeMessagePerChangedValueOnly) {
    box->setChecked(false);
    edit->SetValue(12);
    styles->setEditText(QStringLiteral("Bold"));
    TBroadcastRecorder flags(flag), sizesChanged(size), counts(count), themesChanged(theme), stylesChanged(style);
    associator.Apply();
    EXPECT_EQ(flags.Count(nmPropertyChanged), 1);
    EXPECT_EQ(counts.Count(nmPropertyChanged), 1);
    EXPECT_EQ(stylesChanged.Count(nmPropertyChanged), 1);
    EXPECT_EQ(sizesChanged.Count(nmPropertyChanged), 0);
    EXPECT_EQ(themesChanged.Count(nmPropertyChanged), 0);
    EXPECT_EQ(style->Value(), QStringLiteral("Bold"));
}

TEST_F(PropertyAssociatorTest, AddingFillsTheControlsAndShowDefaultShowsTheDefaultsUntilApplied) {
    EXPECT_EQ(box->text(), QStringLiteral("Show everything"));
    EXPECT_EQ(sizes->currentIndex(), 2);
    EXPECT_EQ(sizeLabel->text(), QStringLiteral("Font size"));
    EXPECT_EQ(edit->Value(), -3);
    EXPECT_EQ(edit->MinValue(), -5);
    EXPECT_EQ(themes->currentText(), QStringLiteral("Dark"));
    EXPECT_TRUE(associator.Binding(0)->IsFor(box));
    EXPECT_FALSE(associator.Binding(0)->IsFor(&page));
    box->setChecked(false);
    TBroadcastRecorder changes(section.get());
    associator.ShowDefault();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(sizes->currentIndex(), 0);
    EXPECT_EQ(edit->Value(), 7);
    EXPECT_EQ(themes->currentText(), QStringLiteral("Default"));
    EXPECT_EQ(styles->currentText(), QStringLiteral("Plain"));
    EXPECT_TRUE(changes.codes.empty());
    associator.Apply();
    EXPECT_TRUE(size->IsDefault());
    EXPECT_TRUE(count->IsDefault());
    EXPECT_TRUE(theme->IsDefault());
    // size, count and theme changed; the flag is back where it was.
    EXPECT_EQ(changes.Count(nmPropertyChanged), 3);
}

// The lines of an enumeration's entries end with their line breaks: a final
// one adds no empty entry, and an empty text gives none.
TEST_F(PropertyAssociatorTest, ACheckBoxIsAsWideAsItsCaptionAndAComboTakesTheLinesWithoutAnEmptyLastOne) {
    EXPECT_EQ(box->width(),
              page.fontMetrics().horizontalAdvance(QStringLiteral("Show everything")) + box->height() + 8);
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("Normal\r\nLarge\r\nGreat\r\n"), {"Normal", "Large", "Great"}},
        {QStringLiteral("Normal\r\n\r\nGreat"), {"Normal", "", "Great"}},
        {QString(), {}},
    };
    for (const auto& [lines, entries] : cases) {
        TPropertyAssociator own;
        QComboBox combo;
        own.AddEnumInComboBox(size, &combo, lines, nullptr, QString());
        QStringList shown;
        for (int i = 0; i < combo.count(); ++i) shown << combo.itemText(i);
        EXPECT_EQ(shown, entries) << lines.toStdString();
    }
}

}  // namespace

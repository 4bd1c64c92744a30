#include "scheme/diCustomElements.h"

#include "support/testSounds.h"
#include "support/testStop.h"
#include "support/testVisualElements.h"

#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

int g_beeps = 0;
void CountBeep() { ++g_beeps; }

// The item with the caption anywhere below `parent`, in tree order.
TDropDownItem* FindItem(TDropDownItem* parent, const QString& caption) {
    for (TDropDownItem* i = parent->FirstItem(); i; i = i->NextItem()) {
        if (i->Caption == caption) return i;
        if (TDropDownItem* found = FindItem(i, caption)) return found;
    }
    return nullptr;
}

// The names of the sounds played.
QStringList SoundNames(const TRecordedSounds& sounds) {
    QStringList names;
    for (const QString& path : sounds.played) names << QFileInfo(path).completeBaseName();
    return names;
}

// A drop-down field on a sheet; beeps are counted.
class DropDown : public ::testing::Test, public TSheetFixture {
protected:
    DropDown() {
        field->SetVisualParent(root);
        root->Arrange();
        g_beeps = 0;
    }
    ~DropDown() override { InstallBeep(previousBeep); }
    // The item of the open list; the test stops when there is none.
    TDropDownItem* Item(const QString& caption) {
        TDropDownList* list = Found(sheet.DropDown(), "an open drop-down list");
        return Found(FindItem(list->Root(), caption), "item " + caption.toStdString());
    }
    TElement_TestDropDown* field = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    TBeepFunction previousBeep = InstallBeep(&CountBeep);
};

TEST_F(DropDown, EnterOpensWithThePreselectedItemAndEnterChoosesIt) {
    field->Value = "Beta 1";
    sheet.FocusMakesVisible = true;
    field->SetVisualOptions(field->VisualOptions() | voNoDropDownOnFocus);
    field->FocusFirst();
    ASSERT_EQ(sheet.DropDown(), nullptr);  // does not open on focus with 0x0200
    TRecordedSounds sounds;
    TSheetRecorder rec(&sheet);
    EXPECT_EQ(Key(vkReturn), 0);
    TDropDownList* list = sheet.DropDown();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(rec.codes, (std::vector<int>{snDropDownOpened}));
    EXPECT_EQ(list->Selected(), Item("Beta 1"));
    EXPECT_TRUE(Item("Beta")->Expanded());  // the preselected item's branch is open
    const QPoint topLeft = field->ClientToSheet(QPoint(0, 0));
    EXPECT_EQ(list->Rect(), (TRect{topLeft.x(), topLeft.y(), topLeft.x() + 60, topLeft.y() + 16}));

    list->SetSelected(Item("Gamma"));
    EXPECT_EQ(Key(vkReturn), 0);
    EXPECT_EQ(field->Value, QStringLiteral("Gamma"));
    EXPECT_EQ(rec.codes, (std::vector<int>{snDropDownOpened, snDropDownChanged, snDropDownClosed}));
    EXPECT_EQ(SoundNames(sounds), (QStringList{"diClassesDropDownSound", "diClassesValueSound"}));
}

// Without a preselection the first item is selected. Enter keeps an
// unchoosable item's list open, Escape closes silently without choosing, a
// refused choice beeps and changes nothing.
TEST_F(DropDown, EscapeClosesWithoutChoosingAndARefusedChoiceBeeps) {
    TRecordedSounds sounds;
    field->Focus();
    field->OpenDropDown();
    EXPECT_EQ(sheet.DropDown()->Selected(), Item("Alpha"));
    sheet.DropDown()->SetSelected(Item("Locked"));
    Key(vkReturn);
    ASSERT_NE(sheet.DropDown(), nullptr);  // kept open
    sheet.DropDown()->SetSelected(Item("Gamma"));
    EXPECT_EQ(Key(vkEscape), 0);
    EXPECT_EQ(sheet.DropDown(), nullptr);
    EXPECT_TRUE(field->Value.isEmpty());
    field->OpenDropDown();
    EXPECT_EQ(SoundNames(sounds), (QStringList{"diClassesDropDownSound", "diClassesDropDownSound"}));
    sheet.DropDown()->SetSelected(Item("Refused"));
    sheet.CloseDropDown(true);
    EXPECT_TRUE(field->Value.isEmpty());
    EXPECT_EQ(g_beeps, 1);
}

TEST_F(DropDown, FocusingOpensTheListWhenTheSettingSaysSo) {
    field->FocusFirst();
    EXPECT_NE(sheet.DropDown(), nullptr);
    sheet.SetFocus(nullptr);  // a focus change closes it
    EXPECT_EQ(sheet.DropDown(), nullptr);
    settings->DropDownOnFocusNewProperty()->SetValue(false);
    field->FocusFirst();
    EXPECT_EQ(sheet.DropDown(), nullptr);
    // Ctrl+Enter is passed on and opens nothing; the Return character is
    // consumed, as the element can drop down.
    EXPECT_EQ(Key(vkReturn, ssCtrl), vkReturn);
    EXPECT_EQ(sheet.DropDown(), nullptr);
    QChar cr(u'\r');
    sheet.KeyPress(cr);
    EXPECT_TRUE(cr.isNull());
    field->DoubleClick();
    EXPECT_NE(sheet.DropDown(), nullptr);
}

TEST_F(DropDown, ExpandingOneBranchCollapsesItsSiblingsAndTheWidthFollows) {
    field->OpenDropDown();
    TDropDownList* list = sheet.DropDown();
    TDropDownItem* beta = Item("Beta");
    TDropDownItem* longItem = Item("Beta 2 with a much longer caption");
    TSheetRecorder rec(&sheet);
    beta->SetExpanded(true);
    EXPECT_EQ(rec.Count(snDropDownChanged), 1);  // one announcement for the whole change
    EXPECT_EQ(list->ItemWidth(longItem), list->Width());
    EXPECT_EQ(Item("Beta 1")->GetIndent(), 20);
    Item("Gamma")->SetExpanded(true);
    EXPECT_FALSE(beta->Expanded());
    EXPECT_LT(list->Width(), list->ItemWidth(longItem));

    // Space toggles the selected item's branch.
    list->SetSelected(beta);
    QChar space(u' ');
    sheet.KeyPress(space);
    EXPECT_TRUE(beta->Expanded());
}

// Regression: a list kept open after its element was freed called into the
// freed element when it was chosen.
TEST_F(DropDown, OpenListDoesNotOutliveItsElement) {
    field->OpenDropDown();
    ASSERT_NE(sheet.DropDown(), nullptr);
    field->Free();
    EXPECT_EQ(sheet.DropDown(), nullptr);
    Key(vkReturn);
}

TEST_F(DropDown, ADisabledItemIsDrawnGreyEvenWhenSelected) {
    field->OpenDropDown();
    TDropDownItem* alpha = Item("Alpha");
    auto render = [&](bool enabled) {
        alpha->Enabled = enabled;
        QImage image(120, 16, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        alpha->Paint(painter, TRect{0, 0, 120, 16}, true);
        painter.end();
        bool grey = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 20; x < 120; ++x) grey |= image.pixelColor(x, y) == QColor(128, 128, 128);
        return grey;
    };
    EXPECT_TRUE(render(false));
    EXPECT_FALSE(render(true));
}

TEST(ButtonElement, EnterSpaceAndClickRunTheAction) {
    TSheetFixture f;
    auto* button = TElement::CreateIn<TElement_TestButton>(f.scheme.get(), f.root);
    button->SetVisualParent(f.root);
    f.root->Arrange();
    button->SetVisualOptions(button->VisualOptions() | voFocusable);
    button->Focus();
    for (int key : {vkReturn, vkSpace}) EXPECT_EQ(f.Key(key), 0);
    QChar space(u' ');
    f.sheet.KeyPress(space);
    EXPECT_TRUE(space.isNull());
    EXPECT_EQ(button->Actions, 2);
    const QPoint p = button->ClientToSheet(QPoint(2, 2));
    f.sheet.MouseDown(p, mbLeft, 0, 0);
    f.sheet.MouseUp(p, mbLeft, 0);
    EXPECT_EQ(button->Actions, 3);
}

}  // namespace

#include "scheme/diCustomElements.h"

#include "support/testSounds.h"
#include "visualFixture.h"

#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

int g_beeps = 0;
void CountBeep() { ++g_beeps; }

struct TDropDownFixture : TSheetFixture {
    TElement_TestDropDown* field = TElement::CreateIn<TElement_TestDropDown>(scheme.get(), root);
    TBeepFunction previousBeep = InstallBeep(&CountBeep);
    TDropDownFixture() {
        field->SetVisualParent(root);
        root->Arrange();
        g_beeps = 0;
    }
    ~TDropDownFixture() { InstallBeep(previousBeep); }
    TDropDownItem* Item(const QString& caption) {
        QList<TDropDownItem*> all;
        std::function<void(TDropDownItem*)> walk = [&](TDropDownItem* p) {
            for (TDropDownItem* i = p->FirstItem(); i; i = i->NextItem()) {
                all.append(i);
                walk(i);
            }
        };
        walk(sheet.DropDown()->Root());
        for (TDropDownItem* i : all)
            if (i->Caption == caption) return i;
        return nullptr;
    }
};

TEST(DropDown, EnterOpensWithThePreselectedItemAndEnterChoosesIt) {
    TDropDownFixture f;
    f.field->Value = "Beta 1";
    f.sheet.FocusMakesVisible = true;
    f.field->SetVisualOptions(f.field->VisualOptions() | voNoDropDownOnFocus);
    f.field->FocusFirst();
    ASSERT_EQ(f.sheet.DropDown(), nullptr);  // does not open on focus with 0x0200
    TSheetRecorder rec(&f.sheet);
    EXPECT_EQ(f.Key(vkReturn), 0);
    TDropDownList* list = f.sheet.DropDown();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->IsOpen());
    EXPECT_EQ(list->Owner(), f.field);
    EXPECT_EQ(rec.Codes, (std::vector<int>{snDropDownOpened}));
    ASSERT_NE(list->Selected(), nullptr);
    EXPECT_EQ(list->Selected()->Caption, QStringLiteral("Beta 1"));
    EXPECT_TRUE(list->Selected()->ParentItem()->Expanded());  // its branch is open
    const QPoint topLeft = f.field->ClientToSheet(QPoint(0, 0));
    EXPECT_EQ(list->Rect(), (TRect{topLeft.x(), topLeft.y(), topLeft.x() + 60, topLeft.y() + 16}));
    EXPECT_GE(list->ItemHeight(), 12);

    list->SetSelected(f.Item("Gamma"));
    EXPECT_EQ(rec.Count(snDropDownChanged), 1);
    EXPECT_EQ(f.Key(vkReturn), 0);
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    EXPECT_EQ(f.field->Value, QStringLiteral("Gamma"));
    EXPECT_EQ(rec.Codes.back(), snDropDownClosed);
    EXPECT_EQ(g_beeps, 0);
}

TEST(DropDown, OpeningAndChoosingSoundButEscapeIsSilent) {
    TDropDownFixture f;
    TRecordedSounds sounds;
    f.field->Focus();
    f.field->OpenDropDown();
    EXPECT_EQ(f.Key(vkEscape), 0);
    f.field->OpenDropDown();
    f.Key(vkReturn);
    QStringList played;
    for (const QString& path : sounds.played) played << QFileInfo(path).completeBaseName();
    EXPECT_EQ(played, (QStringList{"diClassesDropDownSound", "diClassesDropDownSound", "diClassesValueSound"}));
}

TEST(DropDown, AListWithoutPreselectionOpensOnItsFirstItem) {
    TDropDownFixture f;
    f.field->OpenDropDown();
    ASSERT_NE(f.sheet.DropDown(), nullptr);
    EXPECT_EQ(f.sheet.DropDown()->Selected()->Caption, QStringLiteral("Alpha"));
}

TEST(DropDown, ARefusedChoiceBeepsAndChangesNothing) {
    TDropDownFixture f;
    f.field->Value = "Alpha";
    f.field->OpenDropDown();
    f.sheet.DropDown()->SetSelected(f.Item("Refused"));
    f.sheet.CloseDropDown(true);
    EXPECT_EQ(f.field->Value, QStringLiteral("Alpha"));
    EXPECT_EQ(g_beeps, 1);
}

TEST(DropDown, EscapeClosesWithoutChoosingAndEnterKeepsAnUnchoosableItem) {
    TDropDownFixture f;
    f.field->Focus();
    f.field->OpenDropDown();
    f.sheet.DropDown()->SetSelected(f.Item("Locked"));
    EXPECT_EQ(f.Key(vkReturn), 0);
    ASSERT_NE(f.sheet.DropDown(), nullptr);  // kept open
    f.sheet.DropDown()->SetSelected(f.Item("Gamma"));
    EXPECT_EQ(f.Key(vkEscape), 0);
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    EXPECT_TRUE(f.field->Value.isEmpty());
}

TEST(DropDown, CtrlEnterIsPassedOnAndOpensNothing) {
    TDropDownFixture f;
    f.field->Focus();
    f.sheet.CloseDropDown(false);
    EXPECT_EQ(f.Key(vkReturn, ssCtrl), vkReturn);
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    QChar cr(u'\r');
    f.sheet.KeyPress(cr);
    EXPECT_TRUE(cr.isNull());  // consumed: the element can drop down
}

TEST(DropDown, FocusingOpensTheListWhenTheSettingSaysSo) {
    TDropDownFixture f;
    f.field->FocusFirst();
    EXPECT_NE(f.sheet.DropDown(), nullptr);
    f.sheet.SetFocus(nullptr);  // a focus change closes it
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    f.settings->DropDownOnFocusNewProperty()->SetValue(false);
    f.field->FocusFirst();
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    f.field->DoubleClick();
    EXPECT_NE(f.sheet.DropDown(), nullptr);
}

TEST(DropDown, ExpandingOneBranchCollapsesItsSiblingsAndTheWidthFollows) {
    TDropDownFixture f;
    f.field->OpenDropDown();
    TDropDownList* list = f.sheet.DropDown();
    const int collapsed = list->Width();
    EXPECT_EQ(collapsed, list->MeasureWidth());
    TDropDownItem* beta = f.Item("Beta");
    TDropDownItem* gamma = f.Item("Gamma");
    TSheetRecorder rec(&f.sheet);
    beta->SetExpanded(true);
    EXPECT_EQ(rec.Count(snDropDownChanged), 1);  // one announcement for the whole change
    EXPECT_GT(list->Width(), collapsed);         // the long child is seen now
    EXPECT_EQ(list->ItemWidth(f.Item("Beta 2 with a much longer caption")), list->Width());
    gamma->SetExpanded(true);
    EXPECT_FALSE(beta->Expanded());
    EXPECT_EQ(list->Width(), list->MeasureWidth());
    EXPECT_LT(list->Width(), list->ItemWidth(f.Item("Beta 2 with a much longer caption")));
    EXPECT_EQ(f.Item("Beta 1")->GetIndent(), 20);
    EXPECT_EQ(beta->GetIndent(), 0);

    // Space toggles the selected item's branch.
    list->SetSelected(beta);
    EXPECT_FALSE(beta->Expanded());  // only its ancestors open
    QChar space(u' ');
    f.sheet.KeyPress(space);
    EXPECT_TRUE(space.isNull());
    EXPECT_TRUE(beta->Expanded());
    EXPECT_FALSE(gamma->Expanded());
}

// Regression: a list kept open after its element was freed called into the
// freed element when it was chosen.
TEST(DropDown, OpenListDoesNotOutliveItsElement) {
    TDropDownFixture f;
    f.field->OpenDropDown();
    ASSERT_NE(f.sheet.DropDown(), nullptr);
    f.field->Free();
    EXPECT_EQ(f.sheet.DropDown(), nullptr);
    f.Key(vkReturn);
}

TEST(DropDown, ADisabledItemIsDrawnGreyEvenWhenSelected) {
    TDropDownFixture f;
    f.field->OpenDropDown();
    TDropDownItem* alpha = f.Item("Alpha");
    auto render = [&](bool enabled) {
        alpha->Enabled = enabled;
        QImage image(120, 16, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        alpha->Paint(painter, TRect{0, 0, 120, 16}, true);
        painter.end();
        bool grey = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 20; x < 120; ++x)
                if (image.pixelColor(x, y) == QColor(128, 128, 128)) grey = true;
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
    EXPECT_TRUE(button->IsPressed());
    f.sheet.MouseUp(p, mbLeft, 0);
    EXPECT_EQ(button->Actions, 3);
    f.sheet.MouseDown(p, mbLeft, 0, 0);  // released outside: no action
    f.sheet.MouseUp(QPoint(-50, -50), mbLeft, 0);
    EXPECT_EQ(button->Actions, 3);
    EXPECT_FALSE(button->IsPressed());
}

TEST(SmallImageElement, HasTheSmallPictureSizeAndCanBeDisabled) {
    TSheetFixture f;
    auto* image = TElement::CreateIn<TElement_TestImage>(f.scheme.get(), f.root);
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(image->Height(), 16);
    EXPECT_TRUE(image->HasVisualOption(voCanDisable));
}

}  // namespace

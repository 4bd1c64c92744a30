// The date/time mask field (its default text, its drop-down, the formatter of
// the pattern letters) and the expand button of titled elements (storage,
// undo without a modified document, pictures, the "Collapsed" item, sounds).

#include "elements/diSimpleElements.h"

#include "core/cuKnot.h"
#include "elements/diTitled.h"
#include "platform/plCursor.h"
#include "scheme/diCustomElements.h"
#include "scheme/diFilers.h"
#include "scheme/diThemes.h"
#include "support/testSounds.h"
#include "support/testVisualElements.h"

#include <QFileInfo>

#include <gtest/gtest.h>

// A titled element whose expand button starts expanded and controls the
// content; while HoldsData it tells its button that the hidden part is not empty.
class TElement_SimpleFrame : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_SimpleFrame)
public:
    bool HoldsData = false;
    virtual bool StartsExpanded() const { return true; }
    void Create() override {
        TTitledElementWithContent::Create();
        CreateExpandButton(StartsExpanded());
        ExpandButton()->AddControlledElement(Content());
    }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override {
        if (msg == nmExpandButtonDefault && HoldsData) *reinterpret_cast<bool*>(p1) = false;
        return TTitledElementWithContent::HandleChildMessage(child, msg, p1, p2);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_SimpleFrame, TTitledElementWithContent)

// The same, starting collapsed.
class TElement_SimpleFrameCollapsed : public TElement_SimpleFrame {
    T_ELEMENT_CLASS(TElement_SimpleFrameCollapsed)
public:
    bool StartsExpanded() const override { return false; }
};
T_ELEMENT_CLASS_IMPL(TElement_SimpleFrameCollapsed, TElement_SimpleFrame)

// A titled element without an expand button.
class TElement_SimplePlain : public TTitledElement {
    T_ELEMENT_CLASS(TElement_SimplePlain)
};
T_ELEMENT_CLASS_IMPL(TElement_SimplePlain, TTitledElement)

namespace {

// 2024-03-07 (a Thursday) 21:05:04.006: every field differs from its neighbours' digits.
const QDateTime kMoment(QDate(2024, 3, 7), QTime(21, 5, 4, 6));

class DateTimeMask : public ::testing::Test, public TSheetFixture {
protected:
    TCustomDateTimeMaskElement* field = TElement::CreateIn<TCustomDateTimeMaskElement>(scheme.get(), root);
};

TEST_F(DateTimeMask, ANewFieldReadsTheFullMaskWhichItsDropDownOffersAfterEightOthers) {
    field->InitNewTree(nullptr);
    EXPECT_EQ(field->FormatDateTime(kMoment), QStringLiteral("2024.03.07 21:05:04"));
    TNodePtr<TDropDownItem> list = MakeNode<TDropDownItem>();
    TDropDownItem* found = field->FillDropDown(list.get());
    QStringList captions;
    for (TDropDownItem* item = list->FirstItem(); item; item = item->NextItem()) captions << item->Caption;
    EXPECT_EQ(captions, TCustomDateTimeMaskElement::OfferedMasks());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Caption, QStringLiteral("yyyy.mm.dd hh:nn:ss"));
}

struct TFormatCase {
    const char* format;
    const char* expected;
    QTime time = kMoment.time();
};

const TFormatCase kFormatCases[] = {
    // the nine offered masks
    {"yyyy.mm.dd", "2024.03.07"},
    {"yyyy.mm.dd hh:nn", "2024.03.07 21:05"},
    {"yyyy.mm.dd hh:nn:ss", "2024.03.07 21:05:04"},
    {"dd.mm.yy", "07.03.24"},
    {"dd.mm.yy hh:nn", "07.03.24 21:05"},
    {"dd.mm.yy hh:nn:ss", "07.03.24 21:05:04"},
    {"dd.mm.yyyy", "07.03.2024"},
    {"dd.mm.yyyy hh:nn", "07.03.2024 21:05"},
    {"dd.mm.yyyy hh:nn:ss", "07.03.2024 21:05:04"},
    // the letters
    {"hh:mm", "21:05"},          // m after h: minutes, where QDateTime reads months
    {"h:m", "21:5"},
    {"hh 'at' mm", "21 at 05"},  // quoted text keeps the last letter h
    {"hh dd mm", "21 07 03"},    // after d, m is the month again
    {"m/d/y", "3/7/24"},         // "/" as itself on every locale
    {"mmm mmmm", "Mar March"},
    {"ddd dddd", "Thu Thursday"},
    {"h:nn am/pm", "9:05 pm"},
    {"hh:nn AM/PM", "09:05 PM"},
    {"h a/p", "9 p"},
    {"h 'a' am/pm", "9 a pm"},   // an "a" in quotes is passed over
    {"h am/pm", "12 am", QTime(0, 0)},
    {"h am/pm", "12 pm", QTime(12, 0)},
    {"s.z ss.zzz", "4.6 04.006"},
    {"\"nn\" 'y' x", "nn y x"},
    {"hh 'open", "21 open"},     // an unclosed quote runs to the end
};

TEST(FormatDateTime, OfferedMasksPatternLettersAndLiteralsAtAFixedMoment) {
    for (const TFormatCase& c : kFormatCases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(c.format), QDateTime(kMoment.date(), c.time), QLocale::c()),
                  QString::fromLatin1(c.expected));
    }
}

// ---------------------------------------------------------------------------
// Expand button

const QString kExpanded = QStringLiteral("Expanded");

class ExpandButton : public ::testing::Test, public TSheetFixture {
protected:
    TElement_SimpleFrame* Add(const TElementClass* cls = TElement_SimpleFrame::StaticClass()) {
        auto* frame = static_cast<TElement_SimpleFrame*>(TElement::CreateIn(cls, scheme.get(), root));
        frame->SetVisualParent(root);
        Layout();
        return frame;
    }
    QStringList SoundNames() const {
        QStringList names;
        for (const QString& path : sounds.played) names << QFileInfo(path).completeBaseName();
        return names;
    }
    bool ItemChecked(TElement_SimpleFrame* element) {
        TPaletteItemState state;
        element->UpdatePaletteItemState(CollapsedPaletteItem(), state);
        return state.Checked;
    }

    TRecordedSounds sounds;
    TElement_SimpleFrame* frame = Add();
    TExpandButton* button = frame->ExpandButton();
};

struct TStorageCase {
    const char* name;
    bool startsExpanded;
    bool change;      // the state is flipped before saving
    uint8_t mode;
    uint8_t options;
    bool written;     // "Expanded" (or "Value" of the "Expanded" knot in snapshots) is written
};

const TStorageCase kStorageCases[] = {
    {"ExpandedNeverCollapsed", true, false, fmFile, 0, false},
    {"Collapsed", true, true, fmFile, 0, true},
    {"CollapsedNeverExpanded", false, false, fmFile, 0, false},
    {"Expanded", false, true, fmFile, 0, true},
    {"CollapsedWithoutPositions", true, true, fmFile, foNoPosition, false},
    {"CollapsedInASnapshot", true, true, fmSnapshot, 0, true},
};

TEST_F(ExpandButton, TheStateIsStoredOnlyWhenItDiffersFromTheInitialState) {
    for (const TStorageCase& c : kStorageCases) {
        SCOPED_TRACE(c.name);
        const TElementClass* cls =
            c.startsExpanded ? TElement_SimpleFrame::StaticClass() : TElement_SimpleFrameCollapsed::StaticClass();
        TElement_SimpleFrame* source = Add(cls);
        if (c.change) source->ExpandButton()->SetExpanded(!c.startsExpanded);
        TNodePtr<TKnot> knot = TKnot::Create();
        source->SaveToKnot(knot.get(), c.mode, c.options);
        TKnot* holder = c.mode == fmSnapshot ? knot->FindChild(kExpanded) : knot.get();
        const QString attribute = c.mode == fmSnapshot ? QStringLiteral("Value") : kExpanded;
        EXPECT_EQ(holder && holder->FindParam(attribute), c.written);
        if (c.written) {
            EXPECT_EQ(holder->ReadBool(attribute, c.startsExpanded), !c.startsExpanded);
        }

        TElement_SimpleFrame* copy = Add(cls);
        copy->LoadFromKnot(knot.get(), c.mode, c.options);
        EXPECT_EQ(copy->ExpandButton()->Expanded(), c.written ? !c.startsExpanded : c.startsExpanded);
    }
}

TEST_F(ExpandButton, AClickCollapsesWithItsSoundAndNeitherItNorItsUndoOrRedoModifyTheDocument) {
    button->Action();
    EXPECT_FALSE(button->Expanded());
    EXPECT_TRUE(history.CanUndo());
    EXPECT_FALSE(history.Modified());
    history.Undo();
    EXPECT_TRUE(button->Expanded());
    EXPECT_FALSE(history.Modified());
    history.Redo();
    EXPECT_FALSE(button->Expanded());
    EXPECT_FALSE(history.Modified());
    button->Action();
    EXPECT_TRUE(frame->IsExpanded());
    EXPECT_EQ(SoundNames(), QStringList({sndExpandButtonCollapse, sndExpandButtonExpand}));
}

TEST_F(ExpandButton, ThePictureShowsTheStateAndWhetherTheHiddenPartHoldsAnything) {
    auto* content = dynamic_cast<TTextorElement*>(frame->Content());
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(button->GetPictureKind(), tekExpanded);
    button->SetExpanded(false);
    EXPECT_EQ(button->GetPictureKind(), tekCollapsed);
    content->SetText(QStringLiteral("x"));
    EXPECT_EQ(button->GetPictureKind(), tekCollapsedData);
    button->SetExpanded(true);
    EXPECT_EQ(button->GetPictureKind(), tekExpandedData);
    content->SetText(QString());
    EXPECT_EQ(button->GetPictureKind(), tekExpanded);
    frame->HoldsData = true;  // the owner's answer to the default-state message
    button->UpdateDefault();
    EXPECT_EQ(button->GetPictureKind(), tekExpandedData);
}

TEST_F(ExpandButton, ItsCursorIsOurOwnFile) {
    TFakeScreenCursor screen;
    TScreenCursorInstaller install(&screen);
    RegisterExpandButtonCursor();
    EXPECT_EQ(button->GetCursor(QPoint(0, 0)), crExpandButton);
    EXPECT_EQ(screen.CursorOf(crExpandButton).shape(), Qt::BitmapCursor);
    EXPECT_EQ(screen.CursorOf(crExpandButton).hotSpot(), QPoint(1, 1));
}

TEST_F(ExpandButton, TheCollapsedItemIsCheckedWhileCollapsedAndChangesASelectionAsOneStep) {
    TElement_SimpleFrame* other = Add();
    EXPECT_FALSE(ItemChecked(frame));
    CollapsedPaletteItem()->ExecuteForList({frame, other}, true);
    EXPECT_FALSE(frame->IsExpanded());
    EXPECT_FALSE(other->IsExpanded());
    EXPECT_TRUE(ItemChecked(frame));
    EXPECT_EQ(SoundNames(), QStringList({sndExpandButtonCollapse}));

    history.Undo();
    EXPECT_TRUE(frame->IsExpanded());
    EXPECT_TRUE(other->IsExpanded());
    EXPECT_FALSE(history.CanUndo());

    frame->SetExpanded(false);
    sounds.played.clear();
    CollapsedPaletteItem()->ExecuteForList({frame, other}, false);
    EXPECT_TRUE(frame->IsExpanded());
    EXPECT_EQ(SoundNames(), QStringList({sndExpandButtonExpand}));
}

TEST_F(ExpandButton, AnElementWithoutAButtonCountsAsExpandedAndOffersNoItem) {
    auto* plain = TElement::CreateIn<TElement_SimplePlain>(scheme.get(), root);
    EXPECT_TRUE(plain->IsExpanded());
    QList<TPaletteItem*> items;
    plain->GetPaletteItems(items);
    EXPECT_FALSE(items.contains(CollapsedPaletteItem()));
    items.clear();
    frame->GetPaletteItems(items);
    EXPECT_TRUE(items.contains(CollapsedPaletteItem()));
}

}  // namespace

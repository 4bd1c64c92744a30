// The "Generation" settings and the value-function elements: the
// replacement's options in files, in the palette and in the undo history.

#include "elements/coFunctionElements.h"
#include "elements/coGeneration.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "scheme/diVisualOperations.h"
#include "support/testEnglish.h"
#include "support/testRoots.h"

#include <gtest/gtest.h>

TEST(GenerationSettings, SectionHoldsItsFiveSwitchesInOrderWithTheirDefaults) {
    TGenerationSettings* settings = GenerationSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Name(), QStringLiteral("Generation"));
    const std::pair<const char*, bool> expected[] = {{"MakeReadOnly", false}, {"InsertWarning", true},
                                                     {"InsertSourceName", true}, {"InsertDate", true},
                                                     {"InsertTime", false}};
    const TBooleanProperty* switches[] = {settings->MakeReadOnly(), settings->InsertWarning(),
                                          settings->InsertSourceName(), settings->InsertDate(), settings->InsertTime()};
    TNode* child = settings->FirstChild();
    for (size_t i = 0; i < std::size(expected); ++i, child = child ? child->NextSibling() : nullptr) {
        ASSERT_EQ(child, switches[i]) << "in order: " << expected[i].first;
        EXPECT_EQ(switches[i]->Name(), QLatin1String(expected[i].first));
        EXPECT_EQ(switches[i]->Value(), expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(child, nullptr) << "five switches only";
    TEnglishTexts english;
    EXPECT_EQ(ExecutePaletteItem()->GetCaption(), QStringLiteral("Execute"));
}

class FunctionElements : public ::testing::Test {
protected:
    FunctionElements() { scheme->SetUndoRedo(&history); }
    ~FunctionElements() override { scheme->SetUndoRedo(nullptr); }

    template <class T>
    T* AddToText() {
        return dynamic_cast<T*>(text->ValueField()->AddElementOfClass(T::StaticClass(), false));
    }
    bool Checked(TElement_Replacement* replacement, TPaletteItem* item) {
        TPaletteItemState state;
        replacement->UpdatePaletteItemState(item, state);
        return state.Checked;
    }

    TEnglishTexts english;
    TTestFiles files;
    TUndoRedo history;
    TScheme* scheme = files.Add(QStringLiteral("/work/functions.prm"));
    TElement_Text* text = AddText(scheme, QStringLiteral("Greeting"));
};

TEST_F(FunctionElements, ReplacementWritesModeAndCaseOnlyWhenSetAndReadsModeIgnoringCase) {
    struct TCase {
        TReplaceMode mode;
        bool caseInsensitive;
        const char* savedMode;  // "-": not written
        const char* savedCase;
        const char* loadedMode;  // nullptr: absent
        const char* loadedCase;
        TReplaceMode after;
        bool caseAfter;
    };
    const TCase cases[] = {
        {TReplaceMode::All, false, "-", "-", "last", nullptr, TReplaceMode::Last, false},
        {TReplaceMode::First, true, "First", "1", nullptr, "1", TReplaceMode::All, true},
        {TReplaceMode::Last, false, "Last", "-", "FIRST", "0", TReplaceMode::First, false},
        {TReplaceMode::Last, true, "Last", "1", "Middle", nullptr, TReplaceMode::Last, false},
        {TReplaceMode::First, false, "First", "-", "", nullptr, TReplaceMode::All, false},
    };
    for (const TCase& row : cases) {
        auto* replacement = AddToText<TElement_Replacement>();
        ASSERT_NE(replacement, nullptr);
        replacement->SetMode(row.mode);
        replacement->SetCaseInsensitive(row.caseInsensitive);
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Replacement"));
        replacement->SaveToKnot(knot.get(), fmFile, 0);
        const int at = int(row.mode) * 2 + int(row.caseInsensitive);
        EXPECT_EQ(knot->ReadStr(QStringLiteral("Mode"), QStringLiteral("-")), QLatin1String(row.savedMode)) << at;
        EXPECT_EQ(knot->ReadStr(QStringLiteral("CaseInsensitive"), QStringLiteral("-")), QLatin1String(row.savedCase))
            << at;
        knot = TKnot::Create(QStringLiteral("Replacement"));
        if (row.loadedMode) knot->WriteStr(QStringLiteral("Mode"), QLatin1String(row.loadedMode));
        if (row.loadedCase) knot->WriteStr(QStringLiteral("CaseInsensitive"), QLatin1String(row.loadedCase));
        replacement->LoadFromKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(replacement->Mode(), row.after) << "loading " << (row.loadedMode ? row.loadedMode : "nothing");
        EXPECT_EQ(replacement->CaseInsensitive(), row.caseAfter) << at;
    }
}

TEST_F(FunctionElements, ReplacementPartsGoUnderTheirOwnNamesAndComeBack) {
    auto* replacement = AddToText<TElement_Replacement>();
    ASSERT_NE(replacement, nullptr);
    replacement->Content()->SetText(QStringLiteral("Straße"));
    replacement->FindValue()->SetText(QStringLiteral("ß"));
    replacement->ReplaceValue()->SetText(QStringLiteral("ss"));
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Replacement"));
    replacement->SaveToKnot(knot.get(), fmFile, 0);
    for (const char16_t* name : {u"Content", u"FindValue", u"ReplaceValue"})
        EXPECT_NE(knot->FindChild(name), nullptr) << QString::fromUtf16(name).toStdString();

    auto* loaded = AddToText<TElement_Replacement>();
    loaded->LoadFromKnot(knot.get(), fmFile, 0);
    EXPECT_EQ(loaded->Content()->GetText(), QStringLiteral("Straße"));
    EXPECT_EQ(loaded->FindValue()->GetText(), QStringLiteral("ß"));
    EXPECT_EQ(loaded->ReplaceValue()->GetText(), QStringLiteral("ss"));
    EXPECT_TRUE(loaded->Content()->Options() & eoRequired);
    EXPECT_TRUE(loaded->FindValue()->Options() & eoRequired);
    EXPECT_FALSE(loaded->ReplaceValue()->Options() & eoRequired) << "an empty new value deletes the pieces";
}

TEST_F(FunctionElements, ModeAndCaseItemsShowCheckedAndEachChangeIsOneUndoableStep) {
    auto* replacement = AddToText<TElement_Replacement>();
    ASSERT_NE(replacement, nullptr);
    QList<TPaletteItem*> items;
    replacement->GetPaletteItems(items);
    for (int i = 0; i < kReplaceModeCount; ++i)
        EXPECT_TRUE(items.contains(ReplaceModePaletteItem(TReplaceMode(i)))) << i;
    EXPECT_TRUE(items.contains(CaseInsensitivePaletteItem()));
    EXPECT_TRUE(Checked(replacement, ReplaceModePaletteItem(TReplaceMode::All)));
    EXPECT_FALSE(Checked(replacement, CaseInsensitivePaletteItem()));

    EXPECT_TRUE(replacement->ApplyPaletteItem(ReplaceModePaletteItem(TReplaceMode::All), QString(), true));
    EXPECT_FALSE(history.CanUndo()) << "the mode it has already";
    replacement->ApplyPaletteItem(ReplaceModePaletteItem(TReplaceMode::First), QString(), true);
    replacement->ApplyPaletteItem(ReplaceModePaletteItem(TReplaceMode::Last), QString(), true);
    EXPECT_TRUE(Checked(replacement, ReplaceModePaletteItem(TReplaceMode::Last)));
    history.Undo();
    EXPECT_EQ(replacement->Mode(), TReplaceMode::First) << "undo restores the previous mode";

    replacement->ApplyPaletteItem(CaseInsensitivePaletteItem(), QString(), true);
    EXPECT_TRUE(replacement->CaseInsensitive());
    EXPECT_TRUE(Checked(replacement, CaseInsensitivePaletteItem()));
    history.Undo();
    EXPECT_FALSE(replacement->CaseInsensitive());
    history.Undo();
    EXPECT_EQ(replacement->Mode(), TReplaceMode::All);
    history.Redo();
    EXPECT_EQ(replacement->Mode(), TReplaceMode::First);
}

TEST_F(FunctionElements, ReplacementTitleShowsItsModeBeforeThePartsAndTheCaseSignAfterThem) {
    auto* replacement = AddToText<TElement_Replacement>();
    ASSERT_NE(replacement, nullptr);
    auto title = [replacement] {
        TTitleWriter writer;
        replacement->WriteTitle(writer);
        QList<int> shown;  // images by index, fields as -1
        for (int i = 0; i < writer.Count(); ++i)
            if (writer.Item(i).Kind == TTitleItemKind::SmallImage)
                shown << writer.Item(i).Number;
            else if (writer.Item(i).Kind == TTitleItemKind::Field)
                shown << -1;
        return shown;
    };
    const QList<int> all = title();
    ASSERT_TRUE(all.size() == 4 && all[0] >= 0) << "a picture and the three parts";
    replacement->SetMode(TReplaceMode::Last);
    replacement->SetCaseInsensitive(true);
    const QList<int> last = title();
    ASSERT_EQ(last.size(), 5);
    EXPECT_EQ(last[0], all[0] + int(TReplaceMode::Last)) << "one picture per mode";
    EXPECT_EQ(last.mid(1, 3), QList<int>({-1, -1, -1}));
    EXPECT_EQ(last[4], all[0] + kReplaceModeCount) << "the case sign last";
}

TEST_F(FunctionElements, ModeAndCaseItemsShowThePicturesOfTheReplacementTitle) {
    auto* replacement = AddToText<TElement_Replacement>();
    ASSERT_NE(replacement, nullptr);
    replacement->SetCaseInsensitive(true);
    for (int i = 0; i < kReplaceModeCount; ++i) {
        replacement->SetMode(TReplaceMode(i));
        TTitleWriter writer;
        replacement->WriteTitle(writer);
        ASSERT_GE(writer.Count(), 2);
        EXPECT_EQ(ReplaceModePaletteItem(TReplaceMode(i))->SmallImage(), writer.Item(0).Number) << i;
        EXPECT_EQ(CaseInsensitivePaletteItem()->SmallImage(), writer.Item(writer.Count() - 1).Number);
    }
}

TEST_F(FunctionElements, DateAndReplacementAreInlineValuesTheEmptinessTestHasAGroupOfItsOwn) {
    TElementClassList accepted;
    text->ValueField()->GetAcceptedClasses(accepted);
    EXPECT_TRUE(accepted.contains(TElement_ProcessingDateTime::StaticClass()));
    EXPECT_TRUE(accepted.contains(TElement_Replacement::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_IsEmpty::StaticClass()));
    ASSERT_GE(IsEmptyClassesGroup(), 0);
    const TClassesGroups::TGroup& own = ClassesGroups().GetGroup(IsEmptyClassesGroup());
    EXPECT_EQ(own, TClassesGroups::TGroup({TElement_IsEmpty::StaticClass()}));

    EXPECT_EQ(IsEmptyPaletteItem()->GetHint(), LoadStr(strIsEmptyHint));
}

TEST(FunctionPalette, TheDateItemShownWithoutCaptionHasAPictureNoOtherItemShows) {
    TPaletteItem* date = ProcessingDateTimePaletteItem();
    ASSERT_TRUE(date && (date->Flags() & pifNoCaption));
    for (TNode* node : PreOrder<TNode>(Palette()))
        if (auto* item = dynamic_cast<TPaletteItem*>(node); item && item != date) {
            EXPECT_NE(item->SmallImage(), date->SmallImage()) << item->GetCaption().toStdString();
        }
}

TEST_F(FunctionElements, ProcessingDateTimeIsARequiredSubstitutionFormattedByItsMask) {
    auto* date = AddToText<TElement_ProcessingDateTime>();
    ASSERT_NE(date, nullptr);
    EXPECT_TRUE(date->Options() & eoRequired);
    EXPECT_TRUE(date->VisualOptions() & voCanDisable);
    EXPECT_EQ(date->GetThemeKind(), int(tekSubstitution));
    QString hint;
    date->GetHint(hint);
    EXPECT_EQ(hint, LoadStr(strDateTimeProcessingSpecified));
    date->SetText(QStringLiteral("dd.mm.yyyy hh:nn"));
    EXPECT_EQ(date->ValueAt(QDateTime(QDate(2026, 3, 4), QTime(5, 6))), QStringLiteral("04.03.2026 05:06"));
}

TEST_F(FunctionElements, EmptinessTestStoresItsValueUnderItsName) {
    TTestFiles::RootOf(scheme)->MoreAccepted << TElement_IsEmpty::StaticClass();
    auto* test = dynamic_cast<TElement_IsEmpty*>(
        TTestFiles::RootOf(scheme)->AddElementOfClass(TElement_IsEmpty::StaticClass(), false));
    ASSERT_TRUE(test && test->DescriptionField());
    test->Value()->SetText(QStringLiteral("x"));
    TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("IsEmpty"));
    test->SaveToKnot(knot.get(), fmFile, 0);
    EXPECT_NE(knot->FindChild(u"Value"), nullptr);
}

// Named texts (their types in the palette and in files, what the type does
// to the value) and substitutions (what they may name, cycles, errors).

#include "elements/coValueElements.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "platform/plInput.h"
#include "scheme/diCustomElements.h"
#include "scheme/diUtils.h"
#include "scheme/diVisualOperations.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testRoots.h"
#include "support/testStop.h"

#include <gtest/gtest.h>

class ValueElements : public ::testing::Test {
protected:
    ValueElements() { scheme->SetUndoRedo(&history); }
    ~ValueElements() override { scheme->SetUndoRedo(nullptr); }

    static bool HasMessage(TElement* element, int stringId) {
        TElementMessages* messages = element->Messages();
        const QString expected = RemoveLinkBrackets(LoadStr(stringId));
        for (int i = 0; messages && i < messages->GetCount(); ++i)
            if (messages->GetItem(i)->GetText() == expected) return true;
        return false;
    }

    TEnglishTexts english;
    TTestFiles files;
    TUndoRedo history;
    TScheme* scheme = files.Add(QStringLiteral("/work/values.prm"));
};

// ---------------------------------------------------------------------------
// Texts

TEST_F(ValueElements, TypeIsStoredByItsNameExceptText) {
    const std::pair<TTextType, const char*> cases[] = {
        {TTextType::Text, nullptr},        {TTextType::Caption, "Caption"}, {TTextType::Action, "Action"},
        {TTextType::Hint, "Hint"},         {TTextType::Message, "Message"}, {TTextType::Code, "Code"},
    };
    for (const auto& [type, stored] : cases) {
        TElement_Text* text = AddText(scheme, QStringLiteral("T"));
        text->SetType(type);
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Text"));
        text->SaveToKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(knot->ReadStr(QStringLiteral("Type"), QStringLiteral("<none>")),
                  stored ? QString::fromLatin1(stored) : QStringLiteral("<none>"))
            << int(type);
    }
}

TEST_F(ValueElements, TypeIsReadIgnoringCaseAndAnUnknownOrMissingNameKeepsIt) {
    struct TCase {
        const char* name;
        TTextType before;
        const char* stored;  // nullptr: no "Type"
        TTextType after;
    };
    const TCase cases[] = {
        {"CodeInLowerCase", TTextType::Text, "code", TTextType::Code},
        {"HintInUpperCase", TTextType::Caption, "HINT", TTextType::Hint},
        {"Unknown", TTextType::Caption, "Tooltip", TTextType::Caption},
        {"Missing", TTextType::Message, nullptr, TTextType::Message},
    };
    for (const TCase& row : cases) {
        TElement_Text* text = AddText(scheme, QString::fromLatin1(row.name));
        text->SetType(row.before);
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Text"));
        if (row.stored) knot->WriteStr(QStringLiteral("Type"), QString::fromLatin1(row.stored));
        text->LoadFromKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(text->Type(), row.after) << row.name;
    }
}

TEST_F(ValueElements, TypeItemsAreCheckedForTheCurrentTypeAndApplyingAnotherIsOneUndoableStep) {
    TElement_Text* text = AddText(scheme, QStringLiteral("Greeting"), QStringLiteral("hello"));
    QList<TPaletteItem*> items;
    text->GetPaletteItems(items);
    for (int i = 0; i < kTextTypeCount; ++i) EXPECT_TRUE(items.contains(TextTypePaletteItem(TTextType(i)))) << i;
    EXPECT_EQ(TextTypePaletteItem(TTextType::Hint)->GetCaption(), QStringLiteral("Tooltip"));
    auto checked = [text](TTextType type) {
        TPaletteItemState state;
        text->UpdatePaletteItemState(TextTypePaletteItem(type), state);
        return state.Checked;
    };
    const uint32_t plain = text->ValueField()->TextorOptions();
    EXPECT_TRUE(checked(TTextType::Text));
    EXPECT_EQ(plain & (toHyperlinks | toCommentFont | toIdentifierWords), uint32_t(toHyperlinks | toCommentFont));

    EXPECT_TRUE(text->ApplyPaletteItem(TextTypePaletteItem(TTextType::Code), QString(), true));
    EXPECT_EQ(text->Type(), TTextType::Code);
    EXPECT_TRUE(checked(TTextType::Code));
    EXPECT_FALSE(checked(TTextType::Text));
    EXPECT_EQ(text->ValueField()->TextorOptions() & (toHyperlinks | toCommentFont | toIdentifierWords),
              uint32_t(toIdentifierWords));

    const int codeImage = text->NameField()->ImageIndex();

    history.Undo();
    EXPECT_EQ(text->Type(), TTextType::Text);
    EXPECT_EQ(text->ValueField()->TextorOptions(), plain);
    EXPECT_EQ(text->NameField()->ImageIndex() + int(TTextType::Code), codeImage) << "the name shows its type";
    EXPECT_LT(codeImage, SchemeCharImages().Count());
    EXPECT_FALSE(history.CanUndo());

    EXPECT_TRUE(text->ApplyPaletteItem(TextTypePaletteItem(TTextType::Text), QString(), true))
        << "the current type counts as handled";
    EXPECT_FALSE(history.CanUndo()) << "and changes nothing";
}

// ---------------------------------------------------------------------------
// Substitutions

TEST_F(ValueElements, ATextSubstitutingItselfDirectlyOrThroughAnotherIsACyclicReference) {
    TElement_Text* x = AddText(scheme, QStringLiteral("X"));
    TElement_Substitution* self = AddSubstitution(x, QStringLiteral("X"));
    EXPECT_TRUE(HasMessage(self, strCyclicalReference));

    TElement_Text* y = AddText(scheme, QStringLiteral("Y"));
    TElement_Text* z = AddText(scheme, QStringLiteral("Z"));
    TElement_Substitution* toZ = AddSubstitution(y, QStringLiteral("Z"));
    EXPECT_FALSE(HasMessage(toZ, strCyclicalReference));
    TElement_Substitution* toY = AddSubstitution(z, QStringLiteral("Y"));
    EXPECT_TRUE(HasMessage(toZ, strCyclicalReference));
    EXPECT_TRUE(HasMessage(toY, strCyclicalReference));
    EXPECT_EQ(toY->ValueSource(), nullptr) << "in error";
}

TEST_F(ValueElements, SubstitutionOffersTextsAndBuiltInValuesTheBuiltInOnesOnlyWithShift) {
    AddText(scheme, QStringLiteral("Greeting"));
    AddConnection(scheme, QStringLiteral("Lib"), QString());
    TElement_Substitution* use = AddSubstitution(AddText(scheme, QStringLiteral("User")), QString());
    TFakeInputState input;
    TInputStateInstaller installInput{&input};
    auto listed = [use] {
        TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
        use->FillDropDown(root.get());
        QStringList captions;
        for (TDropDownItem* e = root->FirstItem(); e; e = e->NextItem())
            if (e->Selectable) captions << e->Caption;
        return captions;
    };
    EXPECT_EQ(listed(), QStringList({"Greeting", "User"})) << "no file connection, no built-in value";
    input.Modifiers = ssShift;
    EXPECT_EQ(listed(), QStringList({"SourcePath", "SourceName", "Greeting", "User"}));
}

TEST_F(ValueElements, SubstitutionWithoutATargetCountsAsInError) {
    TElement_Text* x = AddText(scheme, QStringLiteral("X"));
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    TElement_Substitution* good = AddSubstitution(user, QStringLiteral("X"));
    EXPECT_EQ(good->ValueSource(), x);
    TElement_Substitution* builtIn = AddSubstitution(user, QStringLiteral("SourceName"));
    EXPECT_EQ(builtIn->ValueSource(), TTestFiles::RootOf(scheme)->SourceNameValue());

    TElement_Substitution* empty = AddSubstitution(user, QString());
    EXPECT_FALSE(empty->HasNoErrors());
    EXPECT_EQ(empty->ValueSource(), nullptr);
    TElement_Substitution* unknown = AddSubstitution(user, QStringLiteral("Nowhere"));
    EXPECT_FALSE(unknown->HasNoErrors());
    EXPECT_EQ(unknown->ValueSource(), nullptr);

    TSchemeOperation::Execute(MakeNode<TVisualElementDisableOperation>(unknown, true));
    EXPECT_TRUE(unknown->HasNoErrors()) << "a disabled element is not checked";
    EXPECT_EQ(unknown->ValueSource(), nullptr) << "but still has nothing to stand for";
    AddConnection(scheme, QStringLiteral("Lib"), QString());
    TElement_Substitution* connection = AddSubstitution(user, QStringLiteral("Lib"));
    EXPECT_EQ(connection->GetTargetItem(), nullptr) << "a file connection is no value";
    EXPECT_EQ(connection->ValueSource(), nullptr);
}

TEST_F(ValueElements, SubstitutionsGoIntoTextsThatAllowLettersOnly) {
    TElement_Text* text = AddText(scheme, QStringLiteral("X"));
    TElementClassList inValue;
    text->ValueField()->GetAcceptedClasses(inValue);
    EXPECT_TRUE(inValue.contains(TElement_Substitution::StaticClass()));
    TElementClassList atTop;
    TTestFiles::RootOf(scheme)->GetAcceptedClasses(atTop);
    EXPECT_FALSE(atTop.contains(TElement_Substitution::StaticClass())) << "the root allows no letters";
}

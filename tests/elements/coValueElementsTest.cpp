// Named texts (their types in the palette and in files) and substitutions
// (what they may name, cycles, errors).

#include "elements/coValueElements.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "platform/plInput.h"
#include "scheme/diCustomElements.h"
#include "scheme/diUtils.h"
#include "scheme/diVisualOperations.h"
#include "support/testEnglish.h"
#include "support/testRoots.h"

#include <gtest/gtest.h>

class ValueElements : public ::testing::Test {
protected:
    ValueElements() { scheme->SetUndoRedo(&history); }
    ~ValueElements() override { scheme->SetUndoRedo(nullptr); }

    static bool HasMessage(TElement* element, int stringId) {
        const QString expected = RemoveLinkBrackets(LoadStr(stringId));
        for (int i = 0; element->Messages() && i < element->Messages()->GetCount(); ++i)
            if (element->Messages()->GetItem(i)->GetText() == expected) return true;
        return false;
    }

    TEnglishTexts english;
    TTestFiles files;
    TUndoRedo history;
    TScheme* scheme = files.Add(QStringLiteral("/work/values.prm"));
};

TEST_F(ValueElements, TypeStoredByNameAndReadIgnoringCase) {
    struct TCase {
        TTextType type;
        const char* saved;   // "-": no "Type"
        const char* loaded;  // nullptr: no "Type"
        TTextType after;
    };
    const TCase cases[] = {
        {TTextType::Text, "-", "code", TTextType::Code},
        {TTextType::Caption, "Caption", "Tooltip", TTextType::Caption},
        {TTextType::Action, "Action", nullptr, TTextType::Action},
        {TTextType::Hint, "Hint", "HINT", TTextType::Hint},
        {TTextType::Message, "Message", "text", TTextType::Message},
        {TTextType::Code, "Code", "message", TTextType::Message},
    };
    for (const TCase& row : cases) {
        TElement_Text* text = AddText(scheme, QStringLiteral("T"));
        text->SetType(row.type);
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Text"));
        text->SaveToKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(knot->ReadStr(QStringLiteral("Type"), QStringLiteral("-")), QString::fromLatin1(row.saved))
            << int(row.type);
        knot = TKnot::Create(QStringLiteral("Text"));
        if (row.loaded) knot->WriteStr(QStringLiteral("Type"), QString::fromLatin1(row.loaded));
        text->LoadFromKnot(knot.get(), fmFile, 0);
        EXPECT_EQ(text->Type(), row.after) << int(row.type) << " loading " << (row.loaded ? row.loaded : "nothing");
    }
}

TEST_F(ValueElements, TypeItemsCheckedAndApplyingAnotherIsOneUndoableStep) {
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
    constexpr uint32_t kTypeOptions = toHyperlinks | toCommentFont | toIdentifierWords;
    const uint32_t plain = text->ValueField()->TextorOptions();
    const int plainImage = text->NameField()->ImageIndex();
    EXPECT_TRUE(checked(TTextType::Text));
    EXPECT_EQ(plain & kTypeOptions, uint32_t(toHyperlinks | toCommentFont));

    EXPECT_TRUE(text->ApplyPaletteItem(TextTypePaletteItem(TTextType::Code), QString(), true));
    EXPECT_TRUE(checked(TTextType::Code) && !checked(TTextType::Text));
    EXPECT_EQ(text->ValueField()->TextorOptions() & kTypeOptions, uint32_t(toIdentifierWords));
    EXPECT_EQ(text->NameField()->ImageIndex(), plainImage + int(TTextType::Code)) << "the name shows its type";
    EXPECT_LT(text->NameField()->ImageIndex(), SchemeCharImages().Count());
    history.Undo();
    EXPECT_EQ(text->Type(), TTextType::Text);
    EXPECT_EQ(text->ValueField()->TextorOptions(), plain);
    EXPECT_TRUE(text->ApplyPaletteItem(TextTypePaletteItem(TTextType::Text), QString(), true)) << "handled";
    EXPECT_FALSE(history.CanUndo()) << "and nothing changed";
}

TEST_F(ValueElements, SubstitutionsNameTextsAndBuiltInValuesTheseOnlyWithShift) {
    TElement_Text* greeting = AddText(scheme, QStringLiteral("Greeting"));
    AddConnection(scheme, QStringLiteral("Lib"), QString());
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    TElement_Substitution* use = AddSubstitution(user, QString());
    TFakeInputState input;
    TInputStateInstaller installInput{&input};
    auto listed = [use] {
        TNodePtr<TDropDownItem> root = MakeNode<TDropDownItem>();
        use->FillDropDown(root.get());
        QStringList captions;
        for (TDropDownItem* e = root->FirstItem(); e; e = e->NextItem()) captions << e->Caption;
        return captions;
    };
    EXPECT_EQ(listed(), QStringList({"Greeting", "User"})) << "no file connection, no built-in value";
    input.Modifiers = ssShift;
    EXPECT_EQ(listed(), QStringList({"SourcePath", "SourceName", "Greeting", "User"}));

    TElementClassList inValue;
    user->ValueField()->GetAcceptedClasses(inValue);
    EXPECT_TRUE(inValue.contains(TElement_Substitution::StaticClass())) << "an inline value";

    EXPECT_EQ(AddSubstitution(user, QStringLiteral("Greeting"))->ValueSource(), greeting);
    EXPECT_EQ(AddSubstitution(user, QStringLiteral("SourceName"))->ValueSource(),
              TTestFiles::RootOf(scheme)->SourceNameValue());
}

TEST_F(ValueElements, SubstitutionsOfThemselvesOrWithoutATargetCountAsInError) {
    TElement_Substitution* self = AddSubstitution(AddText(scheme, QStringLiteral("X")), QStringLiteral("X"));
    TElement_Substitution* toZ = AddSubstitution(AddText(scheme, QStringLiteral("Y")), QStringLiteral("Z"));
    TElement_Substitution* toY = AddSubstitution(AddText(scheme, QStringLiteral("Z")), QStringLiteral("Y"));
    for (TElement_Substitution* cyclic : {self, toZ, toY}) EXPECT_TRUE(HasMessage(cyclic, strCyclicalReference));
    EXPECT_EQ(toY->ValueSource(), nullptr);
    TElement_Text* user = AddText(scheme, QStringLiteral("User"));
    AddConnection(scheme, QStringLiteral("Lib"), QString());
    for (const char* name : {"", "Nowhere", "Lib"}) {
        TElement_Substitution* substitution = AddSubstitution(user, QString::fromLatin1(name));
        EXPECT_FALSE(substitution->HasNoErrors()) << name;
        EXPECT_EQ(substitution->ValueSource(), nullptr) << name;
    }
    TElement_Substitution* disabled = AddSubstitution(user, QStringLiteral("Nowhere"));
    TSchemeOperation::Execute(MakeNode<TVisualElementDisableOperation>(disabled, true));
    EXPECT_TRUE(disabled->HasNoErrors()) << "a disabled element is not checked";
    EXPECT_EQ(disabled->ValueSource(), nullptr) << "but has nothing to stand for";
}

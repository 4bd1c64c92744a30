// Statements: their value fields (flags, required, expected types), where
// Break and Continue may stand, Return's answers, For Each's "Index" and
// "Item", the new elements' defaults, "Backward" and "Add Else", and the
// legacy node name of Rockfall; nested bodies surviving a load and a free.

#include "pascal/elements/prCommandElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuUndoRedo.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "support/testElements.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class Statements : public ProgramValues {
protected:
    TUndoRedo m_history;
    Statements() { m_scheme->SetUndoRedo(&m_history); }
    ~Statements() override { m_scheme->SetUndoRedo(nullptr); }

    TElement_Method* Method(const QString& name, const QString& result = {}) {
        auto* method = AppendNamed<TElement_Method>(Root(), name);
        if (!result.isEmpty()) method->ResultType()->SetText(result);
        return method;
    }
    template <class T>
    static T* Add(TTextorElement* text) {
        return AppendElement<T>(text);
    }
    static TTextorElement* BodyOf(TTitledElementWithContent* element) {
        return static_cast<TTextorElement*>(element->Content());
    }
    static QString NameOf(TElement* owner, TElement* child) {
        QString name;
        owner->GetChildName(child, nullptr, name);
        return name;
    }
};

TEST_F(Statements, ValueFieldsHaveTheirNamesFlagsAndExpectedTypes) {
    struct TRow {
        const char* name;
        std::function<std::pair<TElement*, TExpressionField*>(TTextorElement*)> make;
        uint16_t flags;
        bool required;
        TValueTypeKind expected;
    };
    Field(QStringLiteral("Ratio"), QStringLiteral("float"));
    auto field = [](auto* element, TExpressionField* value) { return std::make_pair<TElement*, TExpressionField*>(element, std::move(value)); };
    const TRow rows[] = {
        {"Condition", [&](TTextorElement* t) { auto* e = Add<TElement_Assert>(t); return field(e, e->Condition()); }, 0x601, true,
         TValueTypeKind::Bool},
        {"Message", [&](TTextorElement* t) { auto* e = Add<TElement_Assert>(t); return field(e, e->Message()); }, 0x02, false,
         TValueTypeKind::String},
        {"Message", [&](TTextorElement* t) { auto* e = Add<TElement_Error>(t); return field(e, e->Message()); }, 0x02, true,
         TValueTypeKind::String},
        {"LeftSide", [&](TTextorElement* t) { auto* e = Add<TElement_Let>(t); return field(e, e->LeftSide()); }, 0xFF, true,
         TValueTypeKind::Variant},
        {"RightSide",
         [&](TTextorElement* t) {
             auto* e = Add<TElement_Let>(t);
             e->LeftSide()->SetText(QStringLiteral("Ratio"));
             return field(e, e->RightSide());
         },
         0x7F, false, TValueTypeKind::Float},
        {"RightSide",
         [&](TTextorElement* t) {
             auto* e = Add<TElement_LetTemp>(t);
             e->LeftSide()->SetText(QStringLiteral("Ratio"));
             return field(e, e->RightSide());
         },
         0x47F, false, TValueTypeKind::Float},
        {"Condition", [&](TTextorElement* t) { auto* e = Add<TElement_IfThen>(t); return field(e, e->Condition()); }, 0x601, true,
         TValueTypeKind::Bool},
        {"Condition", [&](TTextorElement* t) { auto* e = Add<TElement_While>(t); return field(e, e->Condition()); }, 0x601, true,
         TValueTypeKind::Bool},
        {"Counter", [&](TTextorElement* t) { auto* e = Add<TElement_For>(t); return field(e, e->Counter()); }, 0x84, true,
         TValueTypeKind::Variant},
        {"MinValue", [&](TTextorElement* t) { auto* e = Add<TElement_For>(t); return field(e, e->MinValue()); }, 0x04, false,
         TValueTypeKind::Integer},
        {"MaxValue", [&](TTextorElement* t) { auto* e = Add<TElement_For>(t); return field(e, e->MaxValue()); }, 0x04, false,
         TValueTypeKind::Integer},
        {"Value", [&](TTextorElement* t) { auto* e = Add<TElement_Inc>(t); return field(e, e->Value()); }, 0x84, true,
         TValueTypeKind::Variant},
        {"Value", [&](TTextorElement* t) { auto* e = Add<TElement_Case>(t); return field(e, e->Value()); }, 0x67E, true,
         TValueTypeKind::Variant},
        {"Value",
         [&](TTextorElement* t) {
             auto* c = Add<TElement_Case>(t);
             c->Value()->SetText(QStringLiteral("Ratio"));
             auto* e = Add<TElement_CaseItem>(static_cast<TTextorElement*>(c->Content()));
             return field(e, e->Value());
         },
         0x47E, false, TValueTypeKind::Float},
    };
    for (const TRow& row : rows) {
        const auto [element, value] = row.make(Method(QStringLiteral("Run"))->Body());
        ASSERT_NE(value, nullptr) << row.name;
        EXPECT_EQ(NameOf(element, value), QString::fromLatin1(row.name));
        EXPECT_EQ(value->AcceptFlags(), row.flags) << row.name;
        EXPECT_EQ(value->IsRequired(), row.required) << row.name;
        EXPECT_EQ(ExpectedKind(value), row.expected) << row.name;
    }
}

TEST_F(Statements, BreakOnlyWhereALoopLiesInsideTheNearestRoutine) {
    TElement_Method* method = Method(QStringLiteral("Scan"));
    auto* loop = Add<TElement_While>(method->Body());
    auto* branch = Add<TElement_IfThen>(BodyOf(loop));
    auto* local = AppendNamed<TElement_Method>(BodyOf(loop), QStringLiteral("Inner"));
    const TElementClass* cls = TElement_Break::StaticClass();
    EXPECT_FALSE(cls->CanBePlacedIn(method->Body())) << "a body outside any loop";
    EXPECT_TRUE(cls->CanBePlacedIn(BodyOf(loop)));
    EXPECT_TRUE(cls->CanBePlacedIn(BodyOf(branch))) << "an If inside a While";
    EXPECT_FALSE(cls->CanBePlacedIn(local->Body())) << "a local routine inside a loop is its own boundary";
    EXPECT_FALSE(TElement_Continue::StaticClass()->CanBePlacedIn(local->Body()));
}

TEST_F(Statements, ReturnIsLastOnlyAtTheEndOutsideLoops) {
    TElement_Method* method = Method(QStringLiteral("Find"), QStringLiteral("int"));
    auto* last = Add<TElement_Return>(method->Body());
    TReturnInfo info = last->GetResultInfo();
    EXPECT_TRUE(info.IsLast);
    ASSERT_NE(info.ResultType, nullptr);
    EXPECT_EQ(info.ResultType->GetName(), QStringLiteral("int"));
    EXPECT_EQ(ExpectedKind(last->Result()), TValueTypeKind::Integer);

    auto* loop = Add<TElement_For>(method->Body());
    auto* inLoop = Add<TElement_Return>(BodyOf(loop));
    EXPECT_FALSE(inLoop->GetResultInfo().IsLast);
    EXPECT_FALSE(last->GetResultInfo().IsLast) << "a statement now follows it";

    auto* procedure = Method(QStringLiteral("Stop"));
    EXPECT_EQ(Add<TElement_Return>(procedure->Body())->GetResultInfo().ResultType, nullptr);
}

TEST_F(Statements, ForEachTypesItsItemAndNestedLoopsSeeTheirOwn) {
    Field(QStringLiteral("Title"), QStringLiteral("str"));
    auto* colours = AppendNamed<TElement_Enum>(Root(), QStringLiteral("TColour"));
    TElement_Method* method = Method(QStringLiteral("Walk"));
    auto* outer = Add<TElement_ForEach>(method->Body());
    outer->Array()->SetText(QStringLiteral("Title"));
    ASSERT_NE(outer->LocalItem()->TypeItem(), nullptr);
    EXPECT_EQ(outer->LocalItem()->TypeItem()->GetName(), QStringLiteral("char"));
    TNamespace* body = outer->Body()->Namespace();
    EXPECT_NE(body->FindItemByName(QStringLiteral("Item")), nullptr);

    auto* inner = Add<TElement_ForEach>(BodyOf(outer));
    inner->Array()->SetText(colours->NameField()->GetText());
    EXPECT_EQ(inner->LocalItem()->TypeItem(), nullptr) << "an enumeration gives no item type";
    TNamespace* innerBody = inner->Body()->Namespace();
    TNamespaceItem* index = innerBody->FindItemByName(QStringLiteral("Index"));
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->GetElement(), inner->LocalIndex()) << "the inner loop's own Index";
    EXPECT_EQ(innerBody->FindItemByName(QStringLiteral("Item")), nullptr) << "the outer Item does not pass";
}

// Names of the unit reach a routine body as covers of the unit's items; a
// loop must take them as it takes the body's own declarations.
TEST_F(Statements, ForEachRunsOverEnumerationsSetsArraysAndStringsOfEveryScope) {
    for (const QString& place : {QStringLiteral("Root"), QStringLiteral("Body")}) {
        SCOPED_TRACE(place.toStdString());
        const auto name = [&place](const char* stem) { return QLatin1String(stem) + place; };
        TTextorElement* declarations = Place(place);
        AppendNamed<TElement_Enum>(declarations, name("TColour"))->SetOfName()->SetText(name("TColours"));
        AppendNamed<TElement_Array>(declarations, name("TNames"))->ElementType()->SetText(QStringLiteral("str"));
        Field(declarations, name("Paints"), name("TColours"));
        Field(declarations, name("Names"), name("TNames"));
        Field(declarations, name("Title"), QStringLiteral("str"));
        TTextorElement* body = place == QLatin1String("Body") ? declarations : Method(name("Walk"))->Body();
        for (const char* array : {"TColour", "Paints", "Names", "Title"}) {
            auto* loop = Add<TElement_ForEach>(body);
            loop->Array()->SetText(name(array));
            EXPECT_NE(loop->Array()->GetTargetItem(), nullptr) << array;
        }
        auto* loop = Add<TElement_ForEach>(body);
        loop->Array()->SetText(name("TColours"));
        EXPECT_EQ(loop->Array()->GetTargetItem(), nullptr) << "a set-of name is a type, not a set";
    }
}

TEST_F(Statements, NewElementsGetTheirDefaults) {
    TElement_Method* method = Method(QStringLiteral("Count"));
    auto* loop = Add<TElement_For>(method->Body());
    loop->InitNew(nullptr);
    auto* difference = dynamic_cast<TElement_Operation*>(loop->MaxValue()->EmbeddedElement());
    ASSERT_NE(difference, nullptr);
    EXPECT_EQ(difference->Kind(), uint8_t(TOperationKind::Minus));
    EXPECT_EQ(difference->RightSide()->GetText(), QStringLiteral("1"));

    auto* error = Add<TElement_Error>(method->Body());
    error->InitNew(nullptr);
    auto* text = dynamic_cast<TElement_String*>(error->Message()->EmbeddedElement());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetText(), QStringLiteral("Error"));
}

TEST_F(Statements, BackwardIsOneUndoableStepStoredAsAttribute) {
    auto* loop = Add<TElement_ForEach>(Method(QStringLiteral("Back"))->Body());
    ASSERT_NE(BackwardPaletteItem(), nullptr);
    EXPECT_TRUE(loop->ApplyPaletteItem(BackwardPaletteItem(), QString(), true));
    EXPECT_TRUE(loop->Backward());
    TNodePtr<TKnot> knot = TKnot::Create();
    loop->SaveToKnot(knot.get(), fmFile, 0);
    EXPECT_EQ(knot->ReadStr(QStringLiteral("Backward")), QStringLiteral("1"));
    const TOperation* step = m_history.GetNextUndo();
    loop->ApplyPaletteItem(BackwardPaletteItem(), QString(), true);
    EXPECT_EQ(m_history.GetNextUndo(), step) << "a command that changes nothing does nothing";
    m_history.Undo();
    EXPECT_FALSE(loop->Backward());
    m_history.Redo();
    EXPECT_TRUE(loop->Backward());
}

TEST_F(Statements, AddElseIsOfferedAndShowsTheElseSection) {
    auto* branch = Add<TElement_IfThen>(Method(QStringLiteral("Pick"))->Body());
    QList<TPaletteItem*> items;
    branch->GetPaletteItems(items);
    ASSERT_TRUE(items.contains(AddElsePaletteItem()));
    EXPECT_TRUE(branch->ContentElse()->HasVisualOption(voHiddenWhileEmpty)) << "an empty else-section shows no row";
    EXPECT_EQ(NameOf(branch, branch->ContentElse()), QStringLiteral("ContentElse"));
}

// The words of the For and Case titles were written in English whatever the
// language.
TEST_F(Statements, TheWordsOfTheForAndCaseTitlesComeFromTheStringTables) {
    TTextorElement* body = Method(QStringLiteral("Scan"))->Body();
    auto words = [](TTitledElement* element) {
        TTitleWriter writer;
        element->WriteTitle(writer);
        QStringList texts;
        for (const TTitleItem& item : writer.Items())
            if (item.Kind == TTitleItemKind::Text) texts << item.Text;
        return texts;
    };
    auto* loop = Add<TElement_For>(body);
    auto* choice = Add<TElement_Case>(body);
    const int language = Localization()->Language();
    Localization()->SetLanguage(1034);
    const QStringList loopWords = words(loop);
    const QStringList choiceWords = words(choice);
    Localization()->SetLanguage(language);
    EXPECT_EQ(loopWords, (QStringList{QStringLiteral("m\u00EDn"), QStringLiteral("m\u00E1x")}));
    EXPECT_EQ(choiceWords, QStringList{QStringLiteral("si no")});
}

TEST_F(Statements, LegacyTryFinallyLoadsAsRockfall) {
    auto* rockfall = Add<TElement_Rockfall>(Method(QStringLiteral("Guard"))->Body());
    Add<TElement_Inc>(static_cast<TTextorElement*>(rockfall->ContentFinally()))->Value()->SetText(QStringLiteral("X"));
    QString text = SchemeText(m_scheme.get());
    ASSERT_TRUE(text.contains(QStringLiteral("<Rockfall"))) << text.toStdString();
    const QString current = text;
    text.replace(QStringLiteral("<Rockfall"), QStringLiteral("<TryFinally")).replace(QStringLiteral("</Rockfall"), QStringLiteral("</TryFinally"));
    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(text).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0);
    EXPECT_EQ(SchemeText(copy.get()), current);
}


// Three or more nested bodies chain covers; freeing a loaded scheme retires
// a middle cover before the one over it, and a reference passed down to it
// must leave the items below it too, or they keep it after it is freed.
TEST_F(Statements, NestedStatementBodiesReferringToAUnitFieldLoadAndFreeCleanly) {
    enum class TBody : uint8_t { While, LetIfDifferent };
    const std::vector<std::vector<TBody>> nestings = {
        {TBody::While},
        {TBody::While, TBody::LetIfDifferent},
        {TBody::While, TBody::LetIfDifferent, TBody::While},
        {TBody::While, TBody::LetIfDifferent, TBody::LetIfDifferent, TBody::While},
    };
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    for (const std::vector<TBody>& nesting : nestings) {
        TTextorElement* body = Method(QStringLiteral("Run%1").arg(nesting.size()))->Body();
        for (TBody kind : nesting) {
            if (kind == TBody::While) {
                body = BodyOf(Add<TElement_While>(body));
                continue;
            }
            auto* let = Add<TElement_LetIfDifferent>(body);
            let->LeftSide()->SetText(QStringLiteral("Count"));
            body = BodyOf(let);
        }
        Add<TElement_Inc>(body)->Value()->SetText(QStringLiteral("Count"));
    }
    for (const uint8_t mode : {fmFile, fmSnapshot}) {
        const uint8_t options = mode == fmSnapshot ? 0 : foSchemeFile;
        const QString text = SchemeText(m_scheme.get(), mode, options);
        auto copy = MakeTestProgramScheme();
        TElementMessages messages;
        LoadSchemeKnot(copy.get(), KnotFromText(text).get(), mode, &messages);
        EXPECT_EQ(messages.GetCount(), 0) << int(mode);
        EXPECT_EQ(SchemeText(copy.get(), mode, options), text) << int(mode);
        copy.reset();
    }
}

}  // namespace

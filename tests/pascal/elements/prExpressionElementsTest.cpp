// Value fields: which declarations and value elements they take, what type
// a value has, and the value elements' own answers.

#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prIdentifierElements.h"

#include "core/cuKnot.h"
#include "elements/diPathElements.h"
#include "elements/coValueElements.h"
#include "scheme/diNaming.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

TDeclarationKind KindNamed(const QString& name) {
    static const std::pair<const char*, TDeclarationKind> kKinds[] = {
        {"None", TDeclarationKind::None},
        {"StandardType", TDeclarationKind::StandardType},
        {"BuiltInCreate", TDeclarationKind::BuiltInCreate},
        {"BuiltInFree", TDeclarationKind::BuiltInFree},
        {"BuiltInClassName", TDeclarationKind::BuiltInClassName},
        {"BuiltInClassType", TDeclarationKind::BuiltInClassType},
        {"ImplicitIdentifier", TDeclarationKind::ImplicitIdentifier},
        {"Use", TDeclarationKind::Use},
        {"Constant", TDeclarationKind::Constant},
        {"Field", TDeclarationKind::Field},
        {"SubObject", TDeclarationKind::SubObject},
        {"Parameter", TDeclarationKind::Parameter},
        {"EnumItem", TDeclarationKind::EnumItem},
        {"PropertyGetSet", TDeclarationKind::PropertyGetSet},
        {"PropertyWithField", TDeclarationKind::PropertyWithField},
        {"PropertyWithSubObject", TDeclarationKind::PropertyWithSubObject},
        {"ArrayProperty", TDeclarationKind::ArrayProperty},
        {"Event", TDeclarationKind::Event},
        {"Notification", TDeclarationKind::Notification},
        {"Handler", TDeclarationKind::Handler},
        {"Method", TDeclarationKind::Method},
        {"Constructor", TDeclarationKind::Constructor},
        {"OverrideInherited", TDeclarationKind::OverrideInherited},
        {"DoubleMethod", TDeclarationKind::DoubleMethod},
        {"Locker", TDeclarationKind::Locker},
        {"Object", TDeclarationKind::Object},
        {"Record", TDeclarationKind::Record},
        {"TypeAlias", TDeclarationKind::TypeAlias},
    };
    for (const auto& [text, kind] : kKinds)
        if (name == QLatin1String(text)) return kind;
    ADD_FAILURE() << "no kind " << name.toStdString();
    return TDeclarationKind::None;
}

TValueNameRole RoleNamed(const QString& name) {
    if (name == QLatin1String("FieldName")) return TValueNameRole::FieldName;
    if (name == QLatin1String("CountName")) return TValueNameRole::CountName;
    if (name == QLatin1String("ClassOf")) return TValueNameRole::ClassOf;
    return TValueNameRole::Main;
}

uint16_t Flags(const CaseRow& row, const char* column = "Flags") { return uint16_t(row[column].toUInt(nullptr, 16)); }

const TElementClass* ValueClassNamed(const QString& name) {
    for (const TElementClass* cls : ExpressionElementClasses())
        if (cls->Name() == name) return cls;
    ADD_FAILURE() << "no value class " << name.toStdString();
    return nullptr;
}

// The messages of element whose text holds "not found".
int NotFoundMessages(TElement* element) {
    int count = 0;
    if (TElementMessages* messages = element->Messages())
        for (int i = 0; i < messages->GetCount(); ++i)
            if (messages->GetItem(i)->GetText().contains(QStringLiteral("not found"))) ++count;
    return count;
}

// The default locale for the life of the object.
class TDefaultLocale {
public:
    explicit TDefaultLocale(QLocale::Language language) { QLocale::setDefault(QLocale(language)); }
    ~TDefaultLocale() { QLocale::setDefault(m_previous); }
    TDefaultLocale(const TDefaultLocale&) = delete;
    TDefaultLocale& operator=(const TDefaultLocale&) = delete;

private:
    QLocale m_previous;
};

}  // namespace

// ---------------------------------------------------------------------------
// Acceptance

TEST(ValueFieldRules, AcceptEachKindOfDeclarationByTheFieldsFlags) {
    for (const CaseRow& row : LoadCases(kValuesTable, "AcceptanceRules")) {
        SCOPED_TRACE(row.Text());
        TValueCandidate candidate;
        candidate.Kind = KindNamed(row["Kind"]);
        candidate.Role = RoleNamed(row["Role"]);
        candidate.Assignable = !row.Has("Assignable") || row.Int("Assignable") != 0;
        candidate.ThroughOutConnection = row.Int("Out") != 0;
        EXPECT_EQ(AcceptsValueCandidate(Flags(row), candidate), row.Int("Accepted") != 0);
    }
}

TEST_F(ProgramValues, AFieldRefusesWhatItsFlagsRuleOutAndTakesItAgainWhenTheyAllow) {
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    Constant(QStringLiteral("Limit"), QStringLiteral("3"));
    TElement_Constant* probe = Constant(QStringLiteral("Probe"), QStringLiteral("Count"));
    TExpressionField* value = probe->ValueField();
    EXPECT_EQ(value->GetTargetItem(), nullptr) << "a constant's value takes no variables";
    value->SetAcceptFlags(kDefaultAcceptFlags);
    ASSERT_NE(value->GetTargetItem(), nullptr) << "resolved once the flags allow it";
    value->SetText(QStringLiteral("Limit"));
    EXPECT_NE(value->GetTargetItem(), nullptr);
    value->SetAcceptFlags(kDefaultAcceptFlags | afAssignTarget);
    EXPECT_EQ(value->GetTargetItem(), nullptr) << "a constant cannot be assigned";
}

TEST_F(ProgramValues, EachValueElementIsPlacedOnlyWhereTheFieldsFlagsAllow) {
    TElement_Field* inObject = Field(ContentOf(Object(QStringLiteral("TShape"))), QStringLiteral("Size"),
                                     QStringLiteral("int"));
    TElement_Field* atRoot = Field(QStringLiteral("Count"), QStringLiteral("int"));
    for (const CaseRow& row : LoadCases(kValuesTable, "PlacedIn")) {
        SCOPED_TRACE(row.Text());
        const TElementClass* cls = ValueClassNamed(row["Class"]);
        ASSERT_NE(cls, nullptr);
        TExpressionField* field = (row.Int("InObject") ? inObject : atRoot)->ValueField();
        field->SetAcceptFlags(Flags(row));
        EXPECT_EQ(cls->CanBePlacedIn(field), row.Int("Allowed") != 0);
    }
}

TEST_F(ProgramValues, AnIfThenElseIsRefusedAnywhereInsideAnotherOne) {
    TElement_Field* field = Field(QStringLiteral("Pick"), QStringLiteral("int"));
    auto* outer = AppendElement<TElement_Fingers>(field->ValueField());
    auto* not_ = AppendElement<TElement_Not>(outer->ValueTrue());
    EXPECT_FALSE(TElement_Fingers::StaticClass()->CanBePlacedIn(outer->ValueFalse()));
    EXPECT_FALSE(TElement_Fingers::StaticClass()->CanBePlacedIn(not_->Value())) << "several levels down";
    EXPECT_TRUE(TElement_Fingers::StaticClass()->CanBePlacedIn(Field(QStringLiteral("Other"), QStringLiteral("int"))->ValueField()));
}

TEST_F(ProgramValues, ANestedValueCopiesTheFlagsItsMaskSelectsFromTheEnclosingField) {
    for (const CaseRow& row : LoadCases(kValuesTable, "InheritMask")) {
        SCOPED_TRACE(row.Text());
        TElement_Constant* constant = Constant(QStringLiteral("Outer"), QString());
        constant->ValueField()->SetAcceptFlags(Flags(row, "Outer"));
        TElement* element = AppendElement(constant->ValueField(), ValueClassNamed(row["Element"]));
        TExpressionField* inner = nullptr;
        if (auto* not_ = dynamic_cast<TElement_Not*>(element)) inner = not_->Value();
        if (auto* toType = dynamic_cast<TElement_ToType*>(element)) inner = toType->Value();
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->AcceptFlags(), Flags(row, "Value"));
        constant->Free();
    }
}

TEST_F(ProgramValues, AValueFieldTakesValueElementsAndCommentsButNoTextSubstitutions) {
    const TElementClass* comment = TElement_TestType::StaticClass();
    ClassesGroups().GetGroup(cgRichTextElements) << comment;
    TElementClassList accepted;
    Constant(QStringLiteral("Probe"), QString())->ValueField()->GetAcceptedClasses(accepted);
    ClassesGroups().GetGroup(cgRichTextElements).removeAll(comment);
    EXPECT_TRUE(accepted.contains(TElement_String::StaticClass()));
    EXPECT_TRUE(accepted.contains(comment));
    EXPECT_FALSE(accepted.contains(TElement_Substitution::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_Path::StaticClass()));
    EXPECT_FALSE(accepted.contains(TElement_FileName::StaticClass()));
}

// ---------------------------------------------------------------------------
// Value types

TEST_F(ProgramValues, LiteralNumbersAreTypedAndCheckedTheSameOnEveryLocale) {
    const TEnglishTexts english;
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("int"));
    const QList<CaseRow> rows = LoadCases(kValuesTable, "Literals");
    for (QLocale::Language language : {QLocale::English, QLocale::German, QLocale::French}) {
        const TDefaultLocale locale(language);
        for (const CaseRow& row : rows) {
            SCOPED_TRACE(row.Text() + " " + QLocale::languageToString(language).toStdString());
            probe->ValueField()->SetText(row["Text"]);
            probe->ValueField()->CheckAll();
            EXPECT_EQ(ValueKind(probe->ValueField()), TValueTypeKind(row.Int("Kind")));
            EXPECT_EQ(NotFoundMessages(probe->ValueField()), row.Int("Valid") ? 0 : 1);
            EXPECT_EQ(probe->ValueField()->GetText(), row["Text"]) << "kept as typed";
        }
    }
}

TEST_F(ProgramValues, EachValueElementYieldsItsType) {
    Field(QStringLiteral("Total"), QStringLiteral("str"));
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("int"));
    // Self stands only in an object, where a member's value takes no variables.
    TElement_Field* member = Field(ContentOf(Object(QStringLiteral("TShape"))), QStringLiteral("Size"),
                                   QStringLiteral("int"));
    member->ValueField()->SetAcceptFlags(kDefaultAcceptFlags);
    for (const CaseRow& row : LoadCases(kValuesTable, "ValueElements")) {
        SCOPED_TRACE(row.Text());
        const TElementClass* cls = ValueClassNamed(row["Class"]);
        TExpressionField* value = (cls == TElement_Self::StaticClass() ? member : probe)->ValueField();
        ASSERT_TRUE(cls->CanBePlacedIn(value));
        TElement* element = AppendElement(value, cls);
        if (auto* toType = dynamic_cast<TElement_ToType*>(element)) toType->NewType()->SetText(row["NewType"]);
        if (auto* fingers = dynamic_cast<TElement_Fingers*>(element)) fingers->ValueTrue()->SetText(row["ValueTrue"]);
        if (auto* identifier = dynamic_cast<TCustomIdentifierElement*>(element))
            identifier->Identifier()->SetText(row["Identifier"]);
        EXPECT_EQ(ValueKind(value), TValueTypeKind(row.Int("Kind")));
        element->Free();
    }
}

TEST_F(ProgramValues, AReferenceYieldsTheTypeOfWhatItNames) {
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    Field(QStringLiteral("Ratio"), QStringLiteral("float"));
    Field(QStringLiteral("Total"), QStringLiteral("str"));
    AppendNamed<TElement_Array>(Root(), QStringLiteral("TNames"))->ElementType()->SetText(QStringLiteral("str"));
    Field(QStringLiteral("Names"), QStringLiteral("TNames"));
    auto* mode = AppendNamed<TElement_Enum>(Root(), QStringLiteral("TMode"));
    mode->SetOfName()->SetText(QStringLiteral("TModes"));
    AppendNamed<TElement_EnumItem>(ContentOf(mode), QStringLiteral("mdFast"));
    Field(QStringLiteral("Mode"), QStringLiteral("TMode"));
    Field(QStringLiteral("Modes"), QStringLiteral("TModes"));
    Field(QStringLiteral("Owner"), QStringLiteral("object"));
    Constant(QStringLiteral("Base"), QStringLiteral("12"));
    Constant(QStringLiteral("Limit"), QStringLiteral("Base"));
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("int"));
    for (const CaseRow& row : LoadCases(kValuesTable, "References")) {
        SCOPED_TRACE(row.Text());
        probe->ValueField()->SetText(row["Text"]);
        ASSERT_NE(probe->ValueField()->GetTargetItem(), nullptr);
        TTypeDescriptor descriptor;
        probe->ValueField()->GetValueType(descriptor);
        EXPECT_EQ(descriptor.Kind, TValueTypeKind(row.Int("Kind")));
        ASSERT_NE(descriptor.TypeItem, nullptr);
        EXPECT_EQ(descriptor.TypeItem->GetName(), row["Type"]);
    }
}

TEST_F(ProgramValues, OwnersAnswerWhatTheyExpectInTheirValueFields) {
    TElement_Field* count = Field(QStringLiteral("Count"), QStringLiteral("float"));
    EXPECT_EQ(ExpectedKind(count->ValueField()), TValueTypeKind::Float) << "a field's value: its type";
    auto* not_ = AppendElement<TElement_Not>(count->ValueField());
    EXPECT_EQ(ExpectedKind(not_->Value()), TValueTypeKind::Bool);
    not_->Free();
    auto* fingers = AppendElement<TElement_Fingers>(count->ValueField());
    EXPECT_EQ(ExpectedKind(fingers->Condition()), TValueTypeKind::Bool);
    EXPECT_EQ(ExpectedKind(fingers->ValueTrue()), TValueTypeKind::Float) << "what the holding field expects";
    EXPECT_EQ(ExpectedKind(fingers->ValueFalse()), TValueTypeKind::Float);
    fingers->Free();
    auto* toType = AppendElement<TElement_ToType>(count->ValueField());
    toType->NewType()->SetText(QStringLiteral("char"));
    EXPECT_EQ(ExpectedKind(toType->Value()), TValueTypeKind::Char) << "the new type while empty";
    toType->Value()->SetText(QStringLiteral("12"));
    EXPECT_EQ(ExpectedKind(toType->Value()), TValueTypeKind::Variant);
    auto* array = AppendNamed<TElement_Array>(Root(), QStringLiteral("TList"));
    EXPECT_EQ(ExpectedKind(array->Min()), TValueTypeKind::Integer);
    EXPECT_EQ(ExpectedKind(array->Max()), TValueTypeKind::Integer);
}

TEST_F(ProgramValues, ANewToTypeNamesTheTypeItsFieldExpectsOrInt) {
    TElement_Field* ratio = Field(QStringLiteral("Ratio"), QStringLiteral("float"));
    auto* toType = AppendElement<TElement_ToType>(ratio->ValueField());
    toType->InitNewTree(nullptr);
    EXPECT_EQ(toType->NewType()->GetText(), QStringLiteral("float"));
    TElement_Constant* constant = Constant(QStringLiteral("Limit"), QString());
    toType = AppendElement<TElement_ToType>(constant->ValueField());
    toType->InitNewTree(nullptr);
    EXPECT_EQ(toType->NewType()->GetText(), QStringLiteral("int"));
}

TEST_F(ProgramValues, ConstantsThatNameEachOtherAreVariantsInsteadOfRecursing) {
    TElement_Constant* a = Constant(QStringLiteral("A"), QStringLiteral("B"));
    TElement_Constant* b = Constant(QStringLiteral("B"), QStringLiteral("A"));
    a->ValueField()->SetText(QStringLiteral("B"));
    ASSERT_NE(a->ValueField()->GetTargetItem(), nullptr);
    ASSERT_NE(b->ValueField()->GetTargetItem(), nullptr);
    EXPECT_EQ(ValueKind(a->ValueField()), TValueTypeKind::Variant);
    EXPECT_EQ(ValueKind(b->ValueField()), TValueTypeKind::Variant);
}

// A chain of constants valued by constants, loaded from a file, is typed
// only as deep as the limit: beyond it a variant, and the stack holds.
TEST_F(ProgramValues, ALongChainOfConstantsLoadedFromAFileIsBoundedInDepth) {
    constexpr int kChain = 10000;
    // Each constant names the next; the last one holds a number.
    auto constant = [](int i, const QString& value) {
        return QStringLiteral("\t<Constant Name=\"C%1\">\n\t\t<Value>\n\t\t\t<Chars Value=\"%2\"/>\n"
                              "\t\t</Value>\n\t</Constant>\n")
            .arg(i)
            .arg(value);
    };
    QString text = QStringLiteral("<ProgramModule FormatVersion=\"1.1\">\n");
    for (int i = 0; i + 1 < kChain; ++i) text += constant(i, QStringLiteral("C%1").arg(i + 1));
    text += constant(kChain - 1, QStringLiteral("7"));
    text += QStringLiteral("</ProgramModule>\n");
    TElementMessages messages;
    LoadSchemeKnot(m_scheme.get(), KnotFromText(text).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0);
    auto valueOf = [&](int i) {
        TNamespaceItem* item = General()->FindItemByName(QStringLiteral("C%1").arg(i));
        EXPECT_NE(item, nullptr);
        TTypeDescriptor descriptor;
        if (auto* constant = item ? dynamic_cast<TElement_Constant*>(item->GetElement()) : nullptr)
            constant->ValueField()->GetValueType(descriptor);
        return descriptor.Kind;
    };
    EXPECT_EQ(valueOf(kChain - kMaxTypeChainDepth / 2), TValueTypeKind::Integer) << "within the limit";
    EXPECT_EQ(valueOf(0), TValueTypeKind::Variant) << "beyond the limit";
}

// ---------------------------------------------------------------------------
// Classes and palette

TEST(ValueElementClasses, StandInTheirGroupInOrderAndTheAnonymousMethodIsStoredAsMethod) {
    const QStringList expected{QStringLiteral("TElement_String"),  QStringLiteral("TElement_Self"),
                               QStringLiteral("TElement_True"),    QStringLiteral("TElement_Not"),
                               QStringLiteral("TElement_ToType"),  QStringLiteral("TElement_SizeOf"),
                               QStringLiteral("TElement_Fingers"), QStringLiteral("TElement_MethodInExpression")};
    QStringList names;
    for (const TElementClass* cls : ExpressionElementClasses()) names << cls->Name();
    EXPECT_EQ(names.mid(0, expected.size()), expected);
    EXPECT_EQ(TElement_MethodInExpression::StaticClass()->GetTypeName(), QStringLiteral("Method"));
    EXPECT_EQ(TElement_Fingers::StaticClass()->GetTypeName(), QStringLiteral("Fingers"));
}

// "Method" names the declaration and the anonymous method, "Field" the
// field and (later) the parameter: the first accepted class of the name wins.
TEST_F(ProgramValues, AStoredNodeNameBecomesTheFirstAcceptedClassOfThatName) {
    const QString text = QStringLiteral(
        "<ProgramModule FormatVersion=\"1.1\">\n"
        "\t<Field Name=\"Handler\" Type=\"int\">\n"
        "\t\t<Value>\n\t\t\t<Method/>\n\t\t</Value>\n"
        "\t</Field>\n"
        "</ProgramModule>\n");
    LoadSchemeKnot(m_scheme.get(), KnotFromText(text).get());
    TNamespaceItem* item = General()->FindItemByName(QStringLiteral("Handler"));
    ASSERT_NE(item, nullptr);
    auto* field = dynamic_cast<TElement_Field*>(item->GetElement());
    ASSERT_NE(field, nullptr) << "\"Field\" at unit level";
    EXPECT_NE(dynamic_cast<TElement_MethodInExpression*>(field->ValueField()->EmbeddedElement()), nullptr)
        << "\"Method\" in a value";
}

TEST(ValueElementPalette, ItemsStandInExpressionsWithTheirCaptionsFlagsAndKeyLetters) {
    struct TExpected {
        const TElementClass* cls;
        TNode* parent;
        uint16_t flags;
        int order;
        const char* letter;
    };
    const TExpected rows[] = {
        {TElement_String::StaticClass(), ExpressionsPaletteGroup(), 0x142, 1200, ""},
        {TElement_Not::StaticClass(), ExpressionsPaletteGroup(), 0x42, 950, "N"},
        {TElement_ToType::StaticClass(), ExpressionsPaletteGroup(), 0x842, 220, ""},
        {TElement_Fingers::StaticClass(), ExpressionsPaletteGroup(), 0x42, 100, ""},
        {TElement_True::StaticClass(), ExpressionsPaletteGroup(), 0x42, 80, "T"},
        {TElement_Self::StaticClass(), ExpressionsPaletteGroup(), 0x42, 50, ""},
        {TElement_MethodInExpression::StaticClass(), ExpressionsOtherItem(), 0x42, 200, ""},
        {TElement_SizeOf::StaticClass(), ExpressionsOtherItem(), 0x42, 100, ""},
    };
    for (const TExpected& row : rows) {
        SCOPED_TRACE(row.cls->ClassName());
        TPaletteItem* item = ExpressionElementPaletteItem(row.cls);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Parent(), row.parent);
        EXPECT_EQ(item->Flags(), row.flags);
        EXPECT_EQ(item->Order(), row.order);
        EXPECT_EQ(item->Letter(), QLatin1String(row.letter));
        EXPECT_FALSE(LoadStrLang(item->CaptionId(), 1033).isEmpty());
        EXPECT_FALSE(LoadStrLang(item->HintId(), 1033).isEmpty());
    }
}

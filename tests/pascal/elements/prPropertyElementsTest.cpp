// Properties: the implicit identifiers of their sections, assignment only
// through a filled setter, the default names of an array property and its
// count, "Lazy" and "Without Instance" as undo steps stored by name, class
// properties seen outside their object, and the members of a sub-object.

#include "pascal/elements/prPropertyElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "support/testElements.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

namespace {

class Properties : public ProgramValues {
protected:
    TUndoRedo m_history;
    Properties() { m_scheme->SetUndoRedo(&m_history); }
    ~Properties() override { m_scheme->SetUndoRedo(nullptr); }

    TElement_Object* Object(const QString& name) { return AppendNamed<TElement_Object>(Root(), name); }
    // A member of cls named name, typed type, made as the palette makes it (defaults filled).
    template <class T>
    T* Member(TElement_Object* object, const QString& name, const QString& type = QString()) {
        auto* member = static_cast<T*>(AppendElement(ContentOf(object), T::StaticClass()));
        member->InitNewTree(nullptr);
        if (!name.isNull()) member->NameField()->SetText(name);
        if (!type.isEmpty()) member->TypeField()->SetText(type);
        return member;
    }
    static QString TypeName(TCustomFieldElement* identifier) {
        return identifier && identifier->TypeItem() ? identifier->TypeItem()->GetName() : QStringLiteral("-");
    }
    static bool Registered(TCustomFieldElement* identifier) { return identifier->Item() != nullptr; }
    static bool Sees(TNamespace* ns, const QString& name) { return ns->FindItemByName(name) != nullptr; }
    // A Let at the end of the body of a new method of object.
    TElement_Let* LetInMethodOf(TElement_Object* object) {
        auto* method = AppendNamed<TElement_Method>(ContentOf(object), QStringLiteral("Run"));
        return AppendElement<TElement_Let>(method->Body());
    }
};

}  // namespace

TEST_F(Properties, SectionsSeeResultAValueAndAIndexOfTheirTypes) {
    TElement_Object* list = Object(QStringLiteral("TList"));
    auto* title = Member<TElement_Property>(list, QStringLiteral("Title"), QStringLiteral("str"));
    EXPECT_EQ(TypeName(title->ReadSection()->Result()), QStringLiteral("str"));
    EXPECT_TRUE(Registered(title->ReadSection()->Result()));
    EXPECT_EQ(TypeName(title->WriteValue()), QStringLiteral("str"));
    title->TypeField()->SetText(QStringLiteral("float"));
    EXPECT_EQ(TypeName(title->ReadSection()->Result()), QStringLiteral("float")) << "the type is followed";
    EXPECT_EQ(TypeName(title->WriteValue()), QStringLiteral("float"));

    auto* items = Member<TElement_PropertyArray>(list, QStringLiteral("Items"), QStringLiteral("char"));
    EXPECT_EQ(TypeName(items->ReadSection()->Result()), QStringLiteral("char"));
    EXPECT_EQ(TypeName(items->ReadIndex()), QStringLiteral("index"));
    EXPECT_EQ(TypeName(items->WriteIndex()), QStringLiteral("index"));
    EXPECT_EQ(TypeName(items->WriteValue()), QStringLiteral("char"));
    EXPECT_EQ(TypeName(items->ReadCountSection()->Result()), QStringLiteral("int"));
    EXPECT_EQ(TypeName(items->WriteCountValue()), QStringLiteral("int"));
    for (TCustomFieldElement* identifier :
         std::initializer_list<TCustomFieldElement*>{items->ReadIndex(), items->WriteIndex(), items->WriteValue(),
                                                     items->ReadCountSection()->Result(), items->WriteCountValue()})
        EXPECT_TRUE(Registered(identifier)) << identifier->GetName().toStdString();

    // A call of the array property by its name takes the index as its one value.
    auto* peek = AppendNamed<TElement_Method>(ContentOf(list), QStringLiteral("Peek"));
    auto* reader = AppendElement<TElement_Let>(peek->Body());
    auto* call = static_cast<TElement_IdentifierInExpression*>(
        reader->RightSide()->AddElementOfClass(TElement_IdentifierInExpression::StaticClass()));
    call->Identifier()->SetText(QStringLiteral("Items"));
    ASSERT_NE(call->Identifier()->GetTargetItem(), nullptr);
    ASSERT_EQ(call->ParameterValues()->Values().size(), 1u);
    EXPECT_EQ(call->ParameterValues()->Values().front()->Parameter()->GetName(), QStringLiteral("AIndex"));
}

TEST_F(Properties, APropertyIsAnAssignmentTargetOnlyWhileItsSetterHoldsCommands) {
    TElement_Object* box = Object(QStringLiteral("TBox"));
    auto* size = Member<TElement_Property>(box, QStringLiteral("Size"), QStringLiteral("int"));
    auto* items = Member<TElement_PropertyArray>(box, QStringLiteral("Items"), QStringLiteral("int"));
    // The new elements' setters assign "AValue": empty them.
    size->WriteSection()->ClearText();
    items->WriteSection()->ClearText();
    ASSERT_FALSE(size->HasSetter());
    TElement_Let* let = LetInMethodOf(box);
    TElement_Let* countLet = AppendElement<TElement_Let>(static_cast<TTextorElement*>(let->ParentElement()));
    let->LeftSide()->SetText(QStringLiteral("Size"));
    countLet->LeftSide()->SetText(QStringLiteral("Count"));
    EXPECT_EQ(let->LeftSide()->GetTargetItem(), nullptr) << "read-only without a setter";
    EXPECT_EQ(countLet->LeftSide()->GetTargetItem(), nullptr);
    let->RightSide()->SetText(QStringLiteral("Size"));
    EXPECT_NE(let->RightSide()->GetTargetItem(), nullptr) << "but readable";

    AppendElement<TElement_Inc>(size->WriteSection());
    EXPECT_NE(let->LeftSide()->GetTargetItem(), nullptr) << "a command in the setter makes it assignable";
    AppendElement<TElement_Inc>(items->WriteCountSection());
    EXPECT_NE(countLet->LeftSide()->GetTargetItem(), nullptr) << "the count by its own setter";
    size->WriteSection()->ClearText();
    EXPECT_EQ(let->LeftSide()->GetTargetItem(), nullptr) << "and emptying it read-only again";
}

TEST_F(Properties, ANewArrayPropertyIsItemsWithTheCountNamedCountNumberedLast) {
    TElement_Object* list = Object(QStringLiteral("TList"));
    auto* first = Member<TElement_PropertyArray>(list, QString());
    EXPECT_EQ(first->NameField()->GetText(), QStringLiteral("Items"));
    EXPECT_EQ(first->CountName()->GetText(), QStringLiteral("Count")) << "not Count1";
    auto* second = Member<TElement_PropertyArray>(list, QString());
    EXPECT_EQ(second->NameField()->GetText(), QStringLiteral("Items2"));
    EXPECT_EQ(second->CountName()->GetText(), QStringLiteral("Count2"));
    EXPECT_EQ(dynamic_cast<TElement_Return*>(first->ReadCountSection()->LastChild()) != nullptr, true)
        << "the count getter returns";
    auto* plain = Member<TElement_Property>(list, QString());
    EXPECT_EQ(plain->NameField()->GetText(), QStringLiteral("Property1"));
    EXPECT_EQ(plain->TypeField()->GetText(), QStringLiteral("int"));
}

TEST_F(Properties, LazyAndWithoutInstanceAreUndoStepsStoredByName) {
    TElement_Object* shop = Object(QStringLiteral("TShop"));
    auto* stock = Member<TElement_PropertyWithSubObject>(shop, QStringLiteral("Stock"));
    auto* total = Member<TElement_Property>(shop, QStringLiteral("Total"));
    const QString before = SchemeText(m_scheme.get());
    ASSERT_TRUE(stock->ApplyPaletteItem(LazyPaletteItem(), QString(), true));
    ASSERT_TRUE(total->ApplyPaletteItem(WithoutInstancePaletteItem(), QString(), true));
    EXPECT_TRUE(stock->Lazy());
    EXPECT_FALSE(total->ForInstance());
    const QString text = SchemeText(m_scheme.get());
    EXPECT_TRUE(text.contains(QStringLiteral("Lazy=\"1\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ClassProperty=\"1\"")));

    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(text).get(), fmFile, &messages);
    EXPECT_EQ(SchemeText(copy.get()), text);
    m_history.Undo();
    m_history.Undo();
    EXPECT_FALSE(stock->Lazy());
    EXPECT_TRUE(total->ForInstance());
    EXPECT_EQ(SchemeText(m_scheme.get()), before);
}

TEST_F(Properties, AClassPropertyIsSeenUnderItsObjectsNameAndAnInstancePropertyIsNot) {
    TElement_Object* list = Object(QStringLiteral("TList1"));
    auto* total = Member<TElement_Property>(list, QStringLiteral("Total"));
    Member<TElement_Property>(list, QStringLiteral("Count"));
    auto* items = Member<TElement_PropertyArray>(list, QStringLiteral("Items"));
    Member<TElement_PropertyWithField>(list, QStringLiteral("Color"));
    total->SetForInstance(false);
    items->SetForInstance(false);
    for (const char* name : {"TList1.Total", "TList1.Items"})
        EXPECT_TRUE(Sees(General(), QString::fromLatin1(name))) << name;
    for (const char* name : {"TList1.Count", "TList1.Color", "TList1.FColor", "Total"})
        EXPECT_FALSE(Sees(General(), QString::fromLatin1(name))) << name;
    total->SetForInstance(true);
    EXPECT_FALSE(Sees(General(), QStringLiteral("TList1.Total")));
}

TEST_F(Properties, APropertyWithSubObjectTakesAnObjectAndNeverOffersFree) {
    TElement_Object* part = Object(QStringLiteral("TPart"));
    AppendNamed<TElement_Method>(ContentOf(part), QStringLiteral("Paint"));
    TElement_Object* whole = Object(QStringLiteral("TWhole"));
    auto* property = Member<TElement_PropertyWithSubObject>(whole, QStringLiteral("Part"), QStringLiteral("TPart"));
    ASSERT_NE(property->TypeField()->GetTargetItem(), nullptr);
    EXPECT_EQ(property->FieldName()->GetText(), QStringLiteral("FProperty1")) << "named after the new property";
    property->FieldName()->SetText(QStringLiteral("FPart"));
    TNamespace* inside = whole->Namespace();
    for (const char* name : {"Part.Paint", "FPart.Paint"})
        EXPECT_TRUE(Sees(inside, QString::fromLatin1(name))) << name;
    for (const char* name : {"Part.Free", "FPart.Free"}) EXPECT_FALSE(Sees(inside, QString::fromLatin1(name))) << name;
    auto* child = Object(QStringLiteral("TChild"));
    child->Parent()->SetText(QStringLiteral("TWhole"));
    EXPECT_TRUE(Sees(child->Namespace(), QStringLiteral("Part.Paint"))) << "a descendant sees the property's";
    for (const char* name : {"FPart", "FPart.Paint"})
        EXPECT_FALSE(Sees(child->Namespace(), QString::fromLatin1(name))) << name << ": the field is private";
    property->TypeField()->SetText(QStringLiteral("int"));
    EXPECT_EQ(property->TypeField()->GetTargetItem(), nullptr) << "only objects";
    part->SetKind(TObjectKind::Abstract);
    property->TypeField()->SetText(QStringLiteral("TPart"));
    EXPECT_EQ(property->TypeField()->GetTargetItem(), nullptr) << "never an Abstract object";
    property->TypeField()->SetText(QStringLiteral("TTrack"));
    EXPECT_EQ(property->NameField()->GetAutoName(), QStringLiteral("Track")) << "the type's name without its prefix";
}

TEST_F(Properties, ThePaletteOffersEachKindInTheInsertGroupOfAnObject) {
    struct TRow {
        const TElementClass* cls;
        int order;
    };
    const TRow rows[] = {{TElement_PropertyWithField::StaticClass(), 460},
                         {TElement_PropertyWithSubObject::StaticClass(), 450},
                         {TElement_PropertyArray::StaticClass(), 440},
                         {TElement_Property::StaticClass(), 430}};
    for (const TRow& row : rows) {
        TPaletteItem* item = PropertyPaletteItem(row.cls);
        ASSERT_NE(item, nullptr) << row.cls->Name().toStdString();
        EXPECT_EQ(item->Parent(), PaletteInsertGroup());
        EXPECT_EQ(item->Order(), row.order);
        EXPECT_TRUE(ClassMemberElementClasses().contains(row.cls));
        EXPECT_FALSE(ModuleElementClasses().contains(row.cls)) << "only among an object's members";
    }
}

TEST_F(Properties, AnIdentifierStatementNamesNoPropertyAndAnIdentifierInAnExpressionEveryKind) {
    TElement_Object* shop = Object(QStringLiteral("TShop"));
    Member<TElement_Property>(shop, QStringLiteral("Title"), QStringLiteral("str"));
    Member<TElement_PropertyWithField>(shop, QStringLiteral("Price"), QStringLiteral("int"));
    Member<TElement_PropertyWithSubObject>(shop, QStringLiteral("Owner"), QStringLiteral("TShop"));
    Member<TElement_PropertyArray>(shop, QStringLiteral("Goods"), QStringLiteral("int"));
    auto* method = AppendNamed<TElement_Method>(ContentOf(shop), QStringLiteral("Run"));
    auto* statement = AppendElement<TElement_IdentifierInMethod>(method->Body());
    auto* let = AppendElement<TElement_Let>(method->Body());
    auto* expression = static_cast<TElement_IdentifierInExpression*>(
        let->RightSide()->AddElementOfClass(TElement_IdentifierInExpression::StaticClass()));
    for (const char* name : {"Title", "Price", "Owner", "Goods", "Count"}) {
        TNamespaceItem* item = FindOwnerNamespace(statement)->FindItemByName(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        EXPECT_FALSE(statement->Identifier()->CanReferTo(item)) << name;
        EXPECT_TRUE(expression->Identifier()->CanReferTo(item)) << name;
    }
}

// The rest of what an Identifier may name, inside a method of an object: a
// statement calls or fires, an expression also names what it reads ("Free",
// which gives no value, is left to the holding field's flags).
TEST_F(Properties, AnIdentifierStatementCallsOrFiresWhereAnExpressionAlsoNamesObjectsAndItems) {
    struct TRow {
        const char* name;
        bool statement;
        bool expression;
    };
    auto* kinds = AppendNamed<TElement_Enum>(Root(), QStringLiteral("TShapeKind"));
    AppendNamed<TElement_EnumItem>(static_cast<TTextorElement*>(kinds->Content()), QStringLiteral("skRound"));
    TElement_Object* shape = Object(QStringLiteral("TShape"));
    AppendNamed<TElement_Constructor>(ContentOf(shape), QStringLiteral("Make"));
    AppendNamed<TElement_Event>(ContentOf(shape), QStringLiteral("OnChange"));
    auto* method = AppendNamed<TElement_Method>(ContentOf(shape), QStringLiteral("Run"));
    auto* statement = AppendElement<TElement_IdentifierInMethod>(method->Body());
    auto* let = AppendElement<TElement_Let>(method->Body());
    auto* expression = static_cast<TElement_IdentifierInExpression*>(
        let->RightSide()->AddElementOfClass(TElement_IdentifierInExpression::StaticClass()));
    const TRow rows[] = {
        {"Make", true, true},       {"Create", true, true},
        {"OnChange", true, true},   {"ClassName", false, true}, {"ClassType", false, true},
        {"TShape", false, true},    {"skRound", false, true},   {"TShapeKind", false, false},
    };
    for (const TRow& row : rows) {
        TNamespaceItem* item = FindOwnerNamespace(statement)->FindItemByName(QString::fromLatin1(row.name));
        ASSERT_NE(item, nullptr) << row.name;
        EXPECT_EQ(statement->Identifier()->CanReferTo(item), row.statement) << row.name;
        EXPECT_EQ(expression->Identifier()->CanReferTo(item), row.expression) << row.name;
    }
}

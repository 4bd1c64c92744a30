// Fields and the simple declarations: names, scopes, options and their
// stored form.

#include "pascal/elements/prSimpleElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "scheme/diNaming.h"
#include "pascal/elements/prFieldElements.h"
#include "scheme/diPalette.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testNaming.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

namespace {

const TElementClass* DeclarationClassNamed(const QString& name) {
    for (const TElementClass* cls : ModuleElementClasses())
        if (cls->Name() == name) return cls;
    ADD_FAILURE() << "no declaration class " << name.toStdString();
    return nullptr;
}

bool Sees(TNamespace* ns, const QString& name) { return ns && ns->FindItemByName(name); }

class Declarations : public ProgramValues {
protected:
    TUndoRedo m_history;
    Declarations() { m_scheme->SetUndoRedo(&m_history); }
    ~Declarations() override { m_scheme->SetUndoRedo(nullptr); }

    TElement_Enum* Enum(const QString& name, std::initializer_list<const char*> items) {
        auto* element = AppendNamed<TElement_Enum>(Root(), name);
        for (const char* item : items)
            AppendNamed<TElement_EnumItem>(ContentOf(element), QString::fromLatin1(item));
        return element;
    }
    static TNamedElement* LastOfClass(TTextorElement* place, const TElementClass* cls) {
        for (TNode* n = place->LastChild(); n; n = n->PrevSibling())
            if (auto* e = dynamic_cast<TNamedElement*>(n); e && e->ElementClass() == cls) return e;
        return nullptr;
    }
    static QStringList ItemNames(TElement_Enum* element) {
        QStringList names;
        for (TElement_EnumItem* item : element->Items()) names << item->NameField()->GetText();
        return names;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Names

// The mode follows the place the element is inserted at, not the parentless
// element it was made as: a field at unit level starts private.
TEST_F(Declarations, VisibilityModeAndDefaultVisibilityFollowThePlaceOfInsertion) {
    for (const CaseRow& row : LoadCases(kValuesTable, "VisibilityModes")) {
        SCOPED_TRACE(row.Text());
        // As the palette inserts: the new element is made before it has a place.
        TTextorElement* place = Place(row["Place"]);
        const TElementClass* cls = DeclarationClassNamed(row["Class"]);
        place->InsertNewElement(cls, nullptr, std::nullopt);
        TNamedElement* element = nullptr;
        for (TNode* n = place->LastChild(); n && !element; n = n->PrevSibling())
            if (auto* e = dynamic_cast<TNamedElement*>(n); e && e->ElementClass() == cls) element = e;
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(int(element->VisibilityMode()), row.Int("Mode"));
        EXPECT_EQ(int(element->Visibility()), row.Int("Visibility"));
        element->Free();
    }
}

TEST_F(Declarations, DefaultNamesFollowTheContainerAndThePrefixes) {
    for (const CaseRow& row : LoadCases(kValuesTable, "DefaultNames")) {
        SCOPED_TRACE(row.Text());
        const TPrefixesOfRow prefixes(row);
        auto* element = static_cast<TNamedElement*>(AppendElement(Place(row["Place"]), DeclarationClassNamed(row["Class"])));
        element->InitNewTree(nullptr);
        EXPECT_EQ(element->NameField()->GetText(), row["Name"]);
        element->Free();
    }
}

TEST_F(Declarations, NameSuggestionsComeFromTheTypeWithThePrefixesOfTheContainer) {
    for (const CaseRow& row : LoadCases(kValuesTable, "NameSuggestions")) {
        SCOPED_TRACE(row.Text());
        const TPrefixesOfRow prefixes(row);
        TElement* element = AppendElement(Place(row["Place"]), DeclarationClassNamed(row["Class"]));
        TNameField* suggesting = static_cast<TNamedElement*>(element)->NameField();
        if (auto* field = dynamic_cast<TElement_Field*>(element)) field->TypeField()->SetText(row["Type"]);
        if (auto* array = dynamic_cast<TElement_Array*>(element)) array->ElementType()->SetText(row["Type"]);
        if (auto* pointer = dynamic_cast<TElement_Pointer*>(element)) pointer->RefType()->SetText(row["Type"]);
        if (auto* enumeration = dynamic_cast<TElement_Enum*>(element)) {
            enumeration->NameField()->SetText(row["Type"]);
            suggesting = enumeration->SetOfName();
        }
        EXPECT_EQ(suggesting->CanAutoName(), !row["Name"].isEmpty());
        EXPECT_EQ(suggesting->GetAutoName(), row["Name"]);
        element->Free();
    }
}

// ---------------------------------------------------------------------------
// Scopes

TEST_F(Declarations, ALocalDeclarationIsInvisibleOutsideItsBody) {
    auto* routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    Field(routine->Body(), QStringLiteral("Index"), QStringLiteral("int"));
    EXPECT_TRUE(Sees(routine->Body()->Namespace(), QStringLiteral("Index")));
    EXPECT_FALSE(Sees(General(), QStringLiteral("Index")));
    TElement_Field* outside = Field(QStringLiteral("Probe"), QStringLiteral("int"));
    outside->ValueField()->SetText(QStringLiteral("Index"));
    EXPECT_EQ(outside->ValueField()->GetTargetItem(), nullptr);
}

TEST_F(Declarations, AFieldsValueTakesNoVariablesInAnObjectOrRecordButDoesInABody) {
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    TElement_Field* member = Field(ContentOf(Object(QStringLiteral("TShape"))), QStringLiteral("Size"),
                                   QStringLiteral("int"));
    member->ValueField()->SetText(QStringLiteral("Count"));
    EXPECT_EQ(member->ValueField()->GetTargetItem(), nullptr);
    EXPECT_TRUE(member->ValueField()->AcceptFlags() & afNoVariables);
    auto* record = AppendNamed<TElement_Record>(Root(), QStringLiteral("TPair"));
    EXPECT_TRUE(Field(ContentOf(record), QStringLiteral("Left"), QStringLiteral("int"))->ValueField()->AcceptFlags() &
                afNoVariables);
    auto* routine = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    TElement_Field* local = Field(routine->Body(), QStringLiteral("Total"), QStringLiteral("int"));
    local->ValueField()->SetText(QStringLiteral("Count"));
    EXPECT_NE(local->ValueField()->GetTargetItem(), nullptr);
}

TEST_F(Declarations, AIndexExistsOnlyForArraysAndStrings) {
    AppendNamed<TElement_Array>(Root(), QStringLiteral("TNames"))->ElementType()->SetText(QStringLiteral("str"));
    TElement_Field* field = Field(QStringLiteral("Names"), QStringLiteral("int"));
    auto indexed = [&] { return Sees(field->ParametersNamespace(), QStringLiteral("AIndex")); };
    EXPECT_FALSE(indexed());
    field->TypeField()->SetText(QStringLiteral("str"));
    EXPECT_TRUE(indexed());
    field->TypeField()->SetText(QStringLiteral("TNames"));
    EXPECT_TRUE(indexed());
    field->TypeField()->SetText(QStringLiteral("float"));
    EXPECT_FALSE(indexed());
    EXPECT_FALSE(Sees(General(), QStringLiteral("AIndex"))) << "only in the field's own parameters";
}

TEST_F(Declarations, ADeclaredStrHidesTheStandardTypeWithoutADuplicateMessage) {
    const TEnglishTexts english;
    TElement_Field* field = Field(QStringLiteral("Name"), QStringLiteral("str"));
    ASSERT_NE(field->TypeField()->GetTargetItem(), nullptr);
    EXPECT_NE(dynamic_cast<TStandardTypeElement*>(field->TypeField()->GetTargetItem()->GetElement()), nullptr);
    auto* record = AppendNamed<TElement_Record>(Root(), QStringLiteral("str"));
    field->TypeField()->SetText(QString());
    field->TypeField()->SetText(QStringLiteral("str"));
    ASSERT_NE(field->TypeField()->GetTargetItem(), nullptr);
    EXPECT_EQ(field->TypeField()->GetTargetItem()->GetElement(), record);
    record->NameField()->CheckAll();
    ASSERT_NE(record->NameField()->Item(), nullptr);
    EXPECT_FALSE(record->NameField()->Item()->IsDuplicate());
    EXPECT_TRUE(record->NameField()->Item()->HidesOverridable()) << "reported as a reserved name, not a clash";
    TElementMessages* messages = record->NameField()->Messages();
    for (int i = 0; messages && i < messages->GetCount(); ++i)
        EXPECT_FALSE(messages->GetItem(i)->GetText().contains(QStringLiteral("already exists")));
}

TEST_F(Declarations, ARecordsFieldsRegisterInsideItAndSeeTheNamesOutside) {
    AppendNamed<TElement_Array>(Root(), QStringLiteral("TNames"))->ElementType()->SetText(QStringLiteral("str"));
    auto* record = AppendNamed<TElement_Record>(Root(), QStringLiteral("TPair"));
    TElement_Field* left = Field(ContentOf(record), QStringLiteral("Left"), QStringLiteral("TNames"));
    EXPECT_TRUE(Sees(record->Namespace(), QStringLiteral("Left")));
    EXPECT_FALSE(Sees(General(), QStringLiteral("Left")));
    EXPECT_NE(left->TypeField()->GetTargetItem(), nullptr) << "through the connection to the owner";
    EXPECT_EQ(ScopeKindOf(record), TScopeKind::Record);
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    Constant(QStringLiteral("Base"), QStringLiteral("12"));
    EXPECT_TRUE(Sees(record->Namespace(), QStringLiteral("TNames"))) << "types";
    EXPECT_TRUE(Sees(record->Namespace(), QStringLiteral("Base"))) << "constants";
    EXPECT_TRUE(Sees(record->Namespace(), QStringLiteral("int"))) << "standard types";
    EXPECT_FALSE(Sees(record->Namespace(), QStringLiteral("Count"))) << "no variables: nothing a field could name";
    TElement_Field* pair = Field(QStringLiteral("Pair"), QStringLiteral("TPair"));
    EXPECT_TRUE(Sees(General(), QStringLiteral("Pair.Left"))) << "the members under the field's name";
    pair->NameField()->SetText(QString());
    EXPECT_FALSE(Sees(General(), QStringLiteral("Left"))) << "no members without a name";
}

// ---------------------------------------------------------------------------
// Options and commands

TEST_F(Declarations, AccessToPrivateMembersIsOneUndoableStepAndAMissingAttributeLoadsAsOff) {
    TElement_Field* field = Field(QStringLiteral("Owner"), QStringLiteral("object"));
    TPaletteItem* access = FieldAccessPaletteItem();
    ASSERT_NE(access, nullptr);
    TNodePtr<TKnot> without = TKnot::Create();
    field->SaveToKnot(without.get(), fmSnapshot, 0);
    EXPECT_TRUE(field->ApplyPaletteItem(access, QString(), true));
    EXPECT_TRUE(field->AccessToPrivateMembers());
    EXPECT_FALSE(field->MembersConnection()->Filter() & ncfPublicOnly);
    TNodePtr<TKnot> with = TKnot::Create();
    field->SaveToKnot(with.get(), fmSnapshot, 0);
    EXPECT_EQ(with->ReadStr(QStringLiteral("AccessToPrivateMembers")), QStringLiteral("1"));
    field->LoadFromKnot(without.get(), fmSnapshot, 0);
    EXPECT_FALSE(field->AccessToPrivateMembers()) << "the stored default, not the value held";
    field->LoadFromKnot(with.get(), fmSnapshot, 0);
    EXPECT_TRUE(field->AccessToPrivateMembers());
    m_history.Undo();
    EXPECT_FALSE(field->AccessToPrivateMembers());
    EXPECT_TRUE(field->MembersConnection()->Filter() & ncfPublicOnly);
}

TEST_F(Declarations, GeneratePrefixReplacesTheCommonPrefixInOneUndoStep) {
    TElement_Enum* kinds = Enum(QStringLiteral("TFileKind"), {"fkNone", "fkFile"});
    kinds->ApplyPaletteItem(GeneratePrefixPaletteItem(), QString(), false);
    EXPECT_EQ(ItemNames(kinds), (QStringList{QStringLiteral("fkNone"), QStringLiteral("fkFile")}));
    kinds->NameField()->SetText(QStringLiteral("TDocKind"));
    kinds->ApplyPaletteItem(GeneratePrefixPaletteItem(), QString(), false);
    EXPECT_EQ(ItemNames(kinds), (QStringList{QStringLiteral("dkNone"), QStringLiteral("dkFile")}));
    m_history.Undo();
    EXPECT_EQ(ItemNames(kinds), (QStringList{QStringLiteral("fkNone"), QStringLiteral("fkFile")}));
}

TEST_F(Declarations, GeneratePrefixOnASingleItemKeepsTheRuleAndOnNoItemsChangesNothing) {
    TElement_Enum* single = Enum(QStringLiteral("TFileKind"), {"fkNone"});
    single->ApplyPaletteItem(GeneratePrefixPaletteItem(), QString(), false);
    EXPECT_EQ(ItemNames(single), QStringList{QStringLiteral("fk")}) << "the whole name is the common prefix";
    m_history.Undo();
    EXPECT_EQ(ItemNames(single), QStringList{QStringLiteral("fkNone")});
    TElement_Enum* empty = Enum(QStringLiteral("TEmpty"), {});
    m_history.Clear();
    empty->ApplyPaletteItem(GeneratePrefixPaletteItem(), QString(), false);
    EXPECT_FALSE(m_history.CanUndo()) << "no step without items";
    TElement_Enum* lower = Enum(QStringLiteral("Tkinds"), {"aOne"});
    lower->ApplyPaletteItem(GeneratePrefixPaletteItem(), QString(), false);
    EXPECT_EQ(ItemNames(lower), QStringList{QStringLiteral("aOne")}) << "no capitals: no prefix";
}

TEST(CommonNamePrefix, ShortensTheFirstNameUntilEveryNameBeginsWithIt) {
    EXPECT_EQ(CommonNamePrefix({QStringLiteral("fkNone"), QStringLiteral("fkFile")}), QStringLiteral("fk"));
    EXPECT_EQ(CommonNamePrefix({QStringLiteral("fkNone")}), QStringLiteral("fkNone"));
    EXPECT_EQ(CommonNamePrefix({QStringLiteral("a"), QStringLiteral("b")}), QString());
    EXPECT_EQ(CommonNamePrefix({}), QString());
}

TEST_F(Declarations, AnAliasShowsThePictureOfItsFinalTypeAndNoneOnALoop) {
    auto* inner = AppendNamed<TElement_TypeAlias>(Root(), QStringLiteral("TCount"));
    inner->RefType()->SetText(QStringLiteral("int"));
    auto* outer = AppendNamed<TElement_TypeAlias>(Root(), QStringLiteral("TTotal"));
    outer->RefType()->SetText(QStringLiteral("TCount"));
    TTypeDescriptor standard;
    GetStandardTypeDescriptor(StandardTypeName::Int, standard);
    ASSERT_NE(outer->GetFinalRefType(), nullptr);
    EXPECT_EQ(outer->GetFinalRefType()->GetElement(), standard.Item->GetElement());
    EXPECT_EQ(outer->NameField()->ImageIndex(), standard.Item->GetImageIndex());
    inner->RefType()->SetText(QStringLiteral("TTotal"));
    EXPECT_EQ(outer->GetFinalRefType(), nullptr);
    EXPECT_EQ(outer->NameField()->ImageIndex(), NoImageIndex);
}

TEST_F(Declarations, AConstantAtUnitLevelRefusesAFieldAndAnArrayHasBoundsOnlyWithThem) {
    Field(QStringLiteral("Count"), QStringLiteral("int"));
    TElement_Constant* constant = Constant(QStringLiteral("Limit"), QStringLiteral("Count"));
    constant->ValueField()->CheckAll();
    EXPECT_EQ(constant->ValueField()->GetTargetItem(), nullptr);
    EXPECT_FALSE(constant->ValueField()->HasNoErrors());
    auto* array = AppendNamed<TElement_Array>(Root(), QStringLiteral("TList"));
    EXPECT_FALSE(array->HasBounds());
    array->Max()->SetText(QStringLiteral("9"));
    EXPECT_TRUE(array->HasBounds());
}

// ---------------------------------------------------------------------------
// Start-up and stored form

TEST(DeclarationClasses, StandInTheModuleCommandAndMemberGroupsInTheirOrder) {
    QStringList module;
    for (const TElementClass* cls : ModuleElementClasses()) module << cls->Name();
    // The object unit registers first, then the routines.
    const QStringList expected{QStringLiteral("TElement_Object"), QStringLiteral("TElement_SubObject"),
                               QStringLiteral("TElement_Method"), QStringLiteral("TElement_MethodType"),
                               QStringLiteral("TElement_Constant"), QStringLiteral("TElement_Use"),
                               QStringLiteral("TElement_Enum"),     QStringLiteral("TElement_Record"),
                               QStringLiteral("TElement_Array"),    QStringLiteral("TElement_Pointer"),
                               QStringLiteral("TElement_TypeAlias"), QStringLiteral("TElement_Field")};
    EXPECT_EQ(module.mid(0, expected.size()), expected);
    EXPECT_TRUE(ClassMemberElementClasses().contains(TElement_Constant::StaticClass()));
    EXPECT_TRUE(ClassMemberElementClasses().contains(TElement_Field::StaticClass()));
    EXPECT_TRUE(CommandElementClasses().contains(TElement_Code::StaticClass()));
    EXPECT_FALSE(CommandElementClasses().contains(TElement_Use::StaticClass()));
    ASSERT_NE(FieldPaletteItem(), nullptr);
    EXPECT_EQ(FieldPaletteItem()->Letter(), QStringLiteral("E"));
    EXPECT_EQ(FieldPaletteItem()->Parent(), PaletteInsertGroup());
    EXPECT_EQ(SimpleElementPaletteItem(TElement_Enum::StaticClass())->Parent(), TypesPaletteGroup());
    EXPECT_EQ(SimpleElementPaletteItem(TElement_Record::StaticClass())->Parent(), TypesOtherItem());
    EXPECT_EQ(SimpleElementPaletteItem(TElement_Code::StaticClass())->Parent(), CommandsOtherItem());
}

TEST_F(Declarations, AModuleOfEveryDeclarationSavesLoadsAndSavesAgainTheSame) {
    auto* mode = Enum(QStringLiteral("TMode"), {"mdFast", "mdSlow"});
    mode->SetOfName()->SetText(QStringLiteral("TModes"));
    auto* pair = AppendNamed<TElement_Record>(Root(), QStringLiteral("TPair"));
    Field(ContentOf(pair), QStringLiteral("Left"), QStringLiteral("TMode"));
    auto* names = AppendNamed<TElement_Array>(Root(), QStringLiteral("TNames"));
    names->ElementType()->SetText(QStringLiteral("str"));
    names->Min()->SetText(QStringLiteral("0"));
    names->Max()->SetText(QStringLiteral("9"));
    AppendNamed<TElement_Pointer>(Root(), QStringLiteral("PPair"))->RefType()->SetText(QStringLiteral("TPair"));
    AppendNamed<TElement_TypeAlias>(Root(), QStringLiteral("TCount"))->RefType()->SetText(QStringLiteral("int"));
    AppendNamed<TElement_Use>(Root(), QStringLiteral("SysUtils"));
    Constant(QStringLiteral("Base"), QStringLiteral("12"));
    TElement_Field* limit = Field(QStringLiteral("Limit"), QStringLiteral("TCount"));
    limit->ValueField()->SetText(QStringLiteral("Base"));
    limit->SetAccessToPrivateMembers(true);
    auto* not_ = AppendElement<TElement_Not>(Field(QStringLiteral("Flag"), QStringLiteral("bool"))->ValueField());
    AppendElement<TElement_True>(not_->Value());
    const QString first = SchemeText(m_scheme.get());
    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(first).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0) << "every node and attribute read";
    EXPECT_EQ(SchemeText(copy.get()), first);
    TNamespaceItem* item = ProgramRootOf(copy.get())->GeneralNamespace()->FindItemByName(QStringLiteral("Limit"));
    ASSERT_NE(item, nullptr);
    auto* loaded = dynamic_cast<TElement_Field*>(item->GetElement());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->AccessToPrivateMembers());
    EXPECT_EQ(ValueKind(loaded->ValueField()), TValueTypeKind::Integer);
}

// The palette makes a new element before it has a place; its default name is
// still made in the place it goes to: with that place's prefix and unique
// among the names there, in the same undo step as the insert.
TEST_F(Declarations, RegressionPaletteInsertsWereLeftWithoutTheirDefaultName) {
    const TNewElementNaming naming(true);
    struct Row {
        const char* place;
        const TElementClass* cls;
        const char* first;
        const char* second;
    };
    const Row rows[] = {
        {"Root", TElement_Field::StaticClass(), "Field1", "Field2"},
        {"Object", TElement_Field::StaticClass(), "FField1", "FField2"},
        {"Body", TElement_Constant::StaticClass(), "Constant1", "Constant2"},
        {"Root", TElement_Record::StaticClass(), "TRecord1", "TRecord2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.place);
        TTextorElement* place = Place(QString::fromLatin1(row.place));
        const auto insert = [&] {
            place->InsertNewElement(row.cls, nullptr, std::nullopt);
            return LastOfClass(place, row.cls);
        };
        TNamedElement* first = insert();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->NameField()->GetText(), QString::fromLatin1(row.first));
        TNamespace* space = first->NameField()->GetNamespace();
        ASSERT_NE(space, nullptr);
        EXPECT_TRUE(Sees(space, QString::fromLatin1(row.first)));
        m_history.Undo();
        EXPECT_EQ(LastOfClass(place, row.cls), nullptr);
        EXPECT_FALSE(Sees(space, QString::fromLatin1(row.first)));
        m_history.Redo();
        ASSERT_NE(LastOfClass(place, row.cls), nullptr);
        EXPECT_EQ(LastOfClass(place, row.cls)->NameField()->GetText(), QString::fromLatin1(row.first));
        TNamedElement* second = insert();
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->NameField()->GetText(), QString::fromLatin1(row.second));
    }
}

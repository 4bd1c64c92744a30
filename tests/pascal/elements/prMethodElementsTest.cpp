// Methods, method types and parameters: options by do, undo and redo with
// their stored attributes, the options in effect under their owner, "Result"
// and the commands each owner offers.

#include "pascal/elements/prMethodElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "scheme/diFilers.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// An object that allows both the descendants' options and class methods.
class TElement_TestMethodsOwner : public TElement_TestType, public IMethodsOwner {
    T_ELEMENT_CLASS(TElement_TestMethodsOwner)
public:
    bool AllowsDescendantsOptions() override { return true; }
    bool AllowsClassMethods() override { return true; }
    void Create() override {
        TElement_TestType::Create();
        Kind = TDeclarationKind::Object;
    }

protected:
    ~TElement_TestMethodsOwner() override = default;
};
T_ELEMENT_CLASS_IMPL(TElement_TestMethodsOwner, TElement_TestType)

class Routines : public ProgramValues {
protected:
    TUndoRedo m_history;
    Routines() {
        m_scheme->SetUndoRedo(&m_history);
        Root()->MoreAccepted << TElement_TestMethodsOwner::StaticClass();
    }
    ~Routines() override { m_scheme->SetUndoRedo(nullptr); }

    TTextorElement* Owner() {
        if (!m_owner) m_owner = AppendNamed<TElement_TestMethodsOwner>(Root(), QStringLiteral("TOwner"));
        return ContentOf(m_owner);
    }
    TElement_Method* Method(TTextorElement* place, const QString& name = QStringLiteral("Run")) {
        return AppendNamed<TElement_Method>(place, name);
    }
    TElement_Parameter* Parameter(TElement_Method* method, const QString& name, const QString& type) {
        auto* parameter = AppendNamed<TElement_Parameter>(method->Parameters(), name);
        parameter->TypeField()->SetText(type);
        return parameter;
    }
    static QString Stored(TElement* element, const char* attribute) {
        TNodePtr<TKnot> knot = TKnot::Create();
        element->SaveToKnot(knot.get(), fmSnapshot, 0);
        return knot->ReadStr(QString::fromLatin1(attribute), QStringLiteral("-"));
    }
    static bool Offers(TVisualElement* element, TPaletteItem* item) {
        QList<TPaletteItem*> items;
        element->GetPaletteItems(items);
        return items.contains(item);
    }

private:
    TElement_TestMethodsOwner* m_owner = nullptr;
};

}  // namespace

TEST_F(Routines, EachOptionIsOneUndoableStepWithItsStoredAttribute) {
    struct TOption {
        const char* name;
        std::function<TVisualElement*()> make;
        std::function<TPaletteItem*()> item;
        bool checked;
        const char* attribute;
        const char* stored;
    };
    auto privateMethod = [this] {
        TElement_Method* method = Method(Owner());
        method->SetVisibility(TVisibility::Private);
        return method;
    };
    auto functionMethod = [this] {
        TElement_Method* method = Method(Root());
        method->ResultType()->SetText(QStringLiteral("int"));
        return method;
    };
    auto parameter = [this] { return Parameter(Method(Root()), QStringLiteral("AValue"), QStringLiteral("int")); };
    auto outParameter = [this] {
        TElement_Parameter* p = Parameter(Method(Root()), QStringLiteral("AValue"), QStringLiteral("int"));
        p->SetKind(TParameterKind::Out);
        return p;
    };
    auto methodType = [this] {
        auto* type = AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TNotify"));
        type->InitNew(MethodTypePaletteItem());
        return type;
    };
    const TOption options[] = {
        {"Call", privateMethod, [] { return CallPaletteItem(); }, true, "DescendantsCall", "1"},
        {"Override", privateMethod, [] { return OverridePaletteItem(); }, true, "DescendantsOverride", "1"},
        {"Without Instance", [this] { return Method(Owner()); },
         [] { return WithoutInstancePaletteItem(); }, true, "ClassMethod", "1"},
        {"register", functionMethod, [] { return CallingConventionPaletteItem(TCallingConvention::Register); }, true,
         "CallingConvention", "Register"},
        {"fastcall", functionMethod, [] { return CallingConventionPaletteItem(TCallingConvention::Fastcall); }, true,
         "CallingConvention", "Fastcall"},
        {"method Not Empty Out Value", functionMethod, [] { return MethodNotEmptyOutValuePaletteItem(); }, true,
         "NotEmptyOutValue", "1"},
        {"In-Out", parameter, [] { return ParameterKindPaletteItem(TParameterKind::InOut); }, true, "Kind", "InOut"},
        {"Out", parameter, [] { return ParameterKindPaletteItem(TParameterKind::Out); }, true, "Kind", "Out"},
        {"Not Empty In Value", parameter, [] { return NotEmptyInValuePaletteItem(); }, true, "NotEmptyInValue", "1"},
        {"Not Empty Out Value", outParameter, [] { return NotEmptyOutValuePaletteItem(); }, true, "NotEmptyOutValue",
         "1"},
        {"In Module", methodType, [] { return ImplementationPlacePaletteItem(false); }, true, "InClass", "-"},
    };
    for (const TOption& option : options) {
        SCOPED_TRACE(option.name);
        TVisualElement* element = option.make();
        TPaletteItem* item = option.item();
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(Offers(element, item));
        TPaletteItemState state;
        element->GetItemState(item, state);
        ASSERT_TRUE(state.Enabled);
        EXPECT_FALSE(state.Checked);
        const QString before = Stored(element, option.attribute);
        const int steps = m_history.UndoList()->ChildCount();
        element->ApplyItem(item, option.checked);
        EXPECT_EQ(m_history.UndoList()->ChildCount(), steps + 1);
        EXPECT_EQ(Stored(element, option.attribute), QString::fromLatin1(option.stored));
        element->ApplyItem(item, option.checked);
        EXPECT_EQ(m_history.UndoList()->ChildCount(), steps + 1) << "a command that changes nothing does nothing";
        m_history.Undo();
        EXPECT_EQ(Stored(element, option.attribute), before);
        m_history.Redo();
        EXPECT_EQ(Stored(element, option.attribute), QString::fromLatin1(option.stored));
    }
}

TEST_F(Routines, StoredOptionsLoadWithTheirOlderAndNegatedForms) {
    TElement_Method* method = Method(Owner());
    TNodePtr<TKnot> knot = TKnot::Create();
    method->SaveToKnot(knot.get(), fmSnapshot, 0);
    knot->WriteStr(QStringLiteral("ClassMethod"), QStringLiteral("1"));
    knot->WriteStr(QStringLiteral("CallingConvention"), QStringLiteral("stdCALL"));
    method->LoadFromKnot(knot.get(), fmSnapshot, 0);
    EXPECT_FALSE(method->ForInstance());
    EXPECT_EQ(method->CallingConvention(), TCallingConvention::Stdcall);

    TElement_Parameter* parameter = Parameter(method, QStringLiteral("AName"), QStringLiteral("str"));
    TNodePtr<TKnot> older = TKnot::Create();
    parameter->SaveToKnot(older.get(), fmSnapshot, 0);
    older->WriteStr(QStringLiteral("NoEmptyValue"), QStringLiteral("1"));
    older->WriteStr(QStringLiteral("Kind"), QStringLiteral("inout"));
    parameter->LoadFromKnot(older.get(), fmSnapshot, 0);
    EXPECT_TRUE(parameter->NotEmptyInValue());
    EXPECT_EQ(parameter->Kind(), TParameterKind::InOut);
    EXPECT_EQ(parameter->GetTypeName(), QStringLiteral("Field"));

    auto* type = AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TNotify"));
    type->InitNew(MethodTypePaletteItem());
    EXPECT_TRUE(type->InClass()) << "a new method type is of an object";
    TNodePtr<TKnot> withoutInClass = TKnot::Create();
    type->SaveToKnot(withoutInClass.get(), fmSnapshot, 0);
    withoutInClass->Clear();
    type->LoadFromKnot(withoutInClass.get(), fmSnapshot, 0);
    EXPECT_FALSE(type->InClass()) << "no attribute: in module";
}

TEST_F(Routines, ParameterFlagsTakeEffectOnlyForTheirKinds) {
    TElement_Parameter* parameter = Parameter(Method(Root()), QStringLiteral("AValue"), QStringLiteral("int"));
    parameter->SetNotEmptyOutValue(true);
    EXPECT_FALSE(parameter->GetNotEmptyOutValue()) << "an In parameter has no out value";
    TPaletteItemState state;
    parameter->GetItemState(NotEmptyOutValuePaletteItem(), state);
    EXPECT_FALSE(state.Enabled);
    parameter->SetKind(TParameterKind::Out);
    EXPECT_TRUE(parameter->GetNotEmptyOutValue()) << "the flag survived the kind change";
    parameter->SetNotEmptyInValue(true);
    EXPECT_FALSE(parameter->GetNotEmptyInValue());
}

// The effective "Without Instance", "Call" and "Override" also need an owner
// that allows them: a class method moved to unit level was generated as a
// class function outside any class.
TEST_F(Routines, OptionsMovedOutOfAnOwnerThatAllowsThemLoseTheirEffectButKeepTheirFlags) {
    TElement_Method* inOwner = Method(Owner());
    inOwner->SetVisibility(TVisibility::Private);
    inOwner->SetForInstance(false);
    inOwner->SetDescendantsCall(true);
    inOwner->SetDescendantsOverride(true);
    EXPECT_FALSE(inOwner->GetForInstance());
    EXPECT_TRUE(inOwner->GetDescendantsCall());
    EXPECT_EQ(inOwner->NamePicture(), MethodCharImageBase() + 6);

    TNodePtr<TKnot> knot = TKnot::Create();
    inOwner->SaveToKnot(knot.get(), fmSnapshot, 0);
    for (TTextorElement* place : {static_cast<TTextorElement*>(Root()), Place(QStringLiteral("Body"))}) {
        TElement_Method* moved = Method(place, QStringLiteral("Moved"));
        moved->LoadFromKnot(knot.get(), fmFile, 0);
        EXPECT_FALSE(moved->ForInstance()) << "the stored flag stays";
        EXPECT_TRUE(moved->GetForInstance());
        EXPECT_TRUE(moved->DescendantsCall());
        EXPECT_FALSE(moved->GetDescendantsCall());
        EXPECT_FALSE(moved->GetDescendantsOverride());
        EXPECT_FALSE(Offers(moved, WithoutInstancePaletteItem()));
        EXPECT_FALSE(Offers(moved, CallPaletteItem()));
    }
    inOwner->SetVisibility(TVisibility::Public);
    EXPECT_FALSE(inOwner->GetDescendantsCall()) << "public: no effect";
    EXPECT_TRUE(inOwner->DescendantsCall());
    EXPECT_EQ(inOwner->NamePicture(), MethodCharImageBase());
}

TEST_F(Routines, ResultFollowsTheResultTypeAndAReferenceToItIsLostWhenTheTypeIsCleared) {
    TElement_Method* method = Method(Root());
    TCommandsContainerWithResult* body = method->Body();
    EXPECT_EQ(body->Namespace()->FindItemByName(QStringLiteral("Result")), nullptr);
    method->ResultType()->SetText(QStringLiteral("float"));
    ASSERT_NE(body->Namespace()->FindItemByName(QStringLiteral("Result")), nullptr);
    TElement_Field* local = Field(body, QStringLiteral("Copy"), QStringLiteral("float"));
    local->ValueField()->SetAcceptFlags(kDefaultAcceptFlags);
    local->ValueField()->SetText(QStringLiteral("Result"));
    ASSERT_NE(local->ValueField()->GetTargetItem(), nullptr);
    EXPECT_EQ(ValueKind(local->ValueField()), TValueTypeKind::Float);
    method->ResultType()->SetText(QStringLiteral("TNowhere"));
    EXPECT_EQ(ValueKind(local->ValueField()), TValueTypeKind::Variant) << "unresolved: variant";
    method->ResultType()->SetText(QString());
    EXPECT_EQ(body->Namespace()->FindItemByName(QStringLiteral("Result")), nullptr);
    EXPECT_EQ(local->ValueField()->GetTargetItem(), nullptr);
}

TEST_F(Routines, ParametersResolveOutsideTypesAndAreSeenInTheBody) {
    AppendNamed<TElement_Record>(Root(), QStringLiteral("TPoint"));
    TElement_Method* method = Method(Root());
    TElement_Parameter* point = Parameter(method, QStringLiteral("APoint"), QStringLiteral("TPoint"));
    EXPECT_NE(point->TypeField()->GetTargetItem(), nullptr);
    EXPECT_NE(method->Body()->Namespace()->FindItemByName(QStringLiteral("APoint")), nullptr);
    EXPECT_EQ(General()->FindItemByName(QStringLiteral("APoint")), nullptr);
}

TEST_F(Routines, EachOwnerOffersItsCommands) {
    TElement_Method* local = Method(Place(QStringLiteral("Body")));
    TElement_Method* unit = Method(Root(), QStringLiteral("Start"));
    TElement_Method* member = Method(Owner(), QStringLiteral("Paint"));
    EXPECT_FALSE(Offers(local, PrivatePaletteItem())) << "a local routine has no visibility";
    EXPECT_TRUE(Offers(unit, PrivatePaletteItem()));
    EXPECT_TRUE(Offers(member, PrivatePaletteItem()));
    EXPECT_FALSE(Offers(unit, CallPaletteItem()));
    EXPECT_TRUE(Offers(member, CallPaletteItem()));
    EXPECT_TRUE(Offers(member, WithoutInstancePaletteItem()));
    TPaletteItemState state;
    member->GetItemState(CallPaletteItem(), state);
    EXPECT_FALSE(state.Enabled) << "only a private method";
    EXPECT_FALSE(Offers(member, ImplementationPlacePaletteItem(true)));
}

TEST_F(Routines, AMethodTypeWhoseParameterNamesItIsACycleAndAResultTypeNamingAnotherIsNot) {
    auto* notify = AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TNotify"));
    auto* self = AppendNamed<TElement_Parameter>(notify->Parameters(), QStringLiteral("ASender"));
    self->TypeField()->SetText(QStringLiteral("TNotify"));
    auto* other = AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TFilter"));
    other->ResultType()->SetText(QStringLiteral("TNotify"));
    ASSERT_NE(self->TypeField()->GetTargetItem(), nullptr);
    EXPECT_TRUE(self->TypeField()->Link()->IsOnCycle());
    EXPECT_FALSE(other->ResultType()->Link()->IsOnCycle());
    self->TypeField()->CheckAll();
    EXPECT_EQ(self->TypeField()->Messages() ? self->TypeField()->Messages()->GetCount() : 0, 1);
}

// A routine body sees the names around it through connections that make
// covers only for what is asked or waited for: a unit-level name that comes
// later by a rename, goes by its undo and comes back by its redo still
// resolves a reference waiting in one body and marks a local of that name in
// another, as it did when every body held a cover of every unit-level name.
TEST_F(Routines, AUnitNameThatComesByARenameReachesBodiesThroughUndoAndRedo) {
    TElement_Constant* constant = Constant(QStringLiteral("Spare"), QStringLiteral("12"));
    TElement_Field* copy = Field(Method(Root(), QStringLiteral("Run"))->Body(), QStringLiteral("Copy"), QStringLiteral("int"));
    copy->ValueField()->SetAcceptFlags(kDefaultAcceptFlags);
    copy->ValueField()->SetText(QStringLiteral("Limit"));
    TElement_Field* local = Field(Method(Root(), QStringLiteral("Stop"))->Body(), QStringLiteral("Limit"), QStringLiteral("int"));
    ASSERT_NE(local->NameField()->Item(), nullptr);
    EXPECT_EQ(copy->ValueField()->GetTargetItem(), nullptr);
    EXPECT_FALSE(local->NameField()->Item()->IsDuplicate());

    constant->NameField()->ReplaceText(QStringLiteral("Limit"));
    auto resolved = [&] {
        TNamespaceItem* target = copy->ValueField()->GetTargetItem();
        return target && target->GetOriginal() == constant->NameField()->Item();
    };
    EXPECT_TRUE(resolved()) << "the waiting reference found the name when it came";
    EXPECT_TRUE(local->NameField()->Item()->IsDuplicate());
    m_history.Undo();
    EXPECT_EQ(constant->NameField()->GetText(), QStringLiteral("Spare"));
    EXPECT_FALSE(local->NameField()->Item()->IsDuplicate());
    m_history.Redo();
    EXPECT_TRUE(local->NameField()->Item()->IsDuplicate());
    copy->ValueField()->SetText(QString());
    copy->ValueField()->SetText(QStringLiteral("Limit"));
    EXPECT_TRUE(resolved()) << "looked up again after the redo";
}

// The picture shown before each name: a parameter's kind, a method's
// visibility and descendants options, the method type's own.
TEST_F(Routines, NamePicturesFollowKindVisibilityAndDescendantsOptions) {
    const int base = MethodCharImageBase();
    TElement_Method* method = Method(Owner());
    auto shown = [](TNamedElement* element) { return element->NameField()->ImageIndex(); };
    EXPECT_EQ(shown(method), base + 0) << "public";
    method->SetVisibility(TVisibility::Private);
    EXPECT_EQ(shown(method), base + 7) << "private, neither option";
    method->SetDescendantsCall(true);
    EXPECT_EQ(shown(method), base + 5) << "Call";
    method->SetDescendantsOverride(true);
    EXPECT_EQ(shown(method), base + 6) << "both";
    method->SetDescendantsCall(false);
    EXPECT_EQ(shown(method), base + 4) << "Override";
    TElement_Parameter* parameter = Parameter(method, QStringLiteral("AValue"), QStringLiteral("int"));
    for (TParameterKind kind : {TParameterKind::InOut, TParameterKind::Out, TParameterKind::In}) {
        parameter->SetKind(kind);
        EXPECT_EQ(shown(parameter), base + 1 + int(kind));
    }
    EXPECT_EQ(shown(AppendNamed<TElement_MethodType>(Root(), QStringLiteral("TNotify"))), base + 8);
}

// The method's item has a small picture too: a routine body shows it small
// under "Other", where it stood without any.
TEST_F(Routines, PaletteItemsAndCommandsStandWhereTheyBelongWithTheirTextsFlagsAndPictures) {
    const TPaletteNode* insert = PaletteInsertGroup();
    const TPaletteNode* options = PaletteOptionsGroup();
    const TPaletteNode* typesOther = TypesOtherItem();
    const auto kind = [](TParameterKind k) { return ParameterKindPaletteItem(k); };
    const auto convention = [](int c) { return CallingConventionPaletteItem(TCallingConvention(c)); };
    ExpectPaletteRows({
        {MethodPaletteItem(), insert->CaptionId(), insert->Order(), 9014, 9015, 0x142, 500, "M"},
        {ParameterPaletteItem(), insert->CaptionId(), insert->Order(), 9000, 9001, 0x1C2, 100},
        {MethodTypePaletteItem(), typesOther->CaptionId(), typesOther->Order(), 9038, 9039, 0x42, 150},
        {kind(TParameterKind::In), 9002, 1100, 9003, 9004, 0x540, 10},
        {kind(TParameterKind::InOut), 9002, 1100, 9005, 9006, 0x540, 8},
        {kind(TParameterKind::Out), 9002, 1100, 9007, 9008, 0x540, 6},
        {NotEmptyInValuePaletteItem(), options->CaptionId(), options->Order(), 9010, 9011, 0x340, 110},
        {NotEmptyOutValuePaletteItem(), options->CaptionId(), options->Order(), 9012, 0, 0x340, 100},
        {CallPaletteItem(), options->CaptionId(), options->Order(), 9017, 9018, 0x340, 20},
        {OverridePaletteItem(), options->CaptionId(), options->Order(), 9019, 9020, 0x340, 10},
        {MethodNotEmptyOutValuePaletteItem(), options->CaptionId(), options->Order(), 9036, 0, 0x340, 8},
        {convention(0), 9023, 300, 9024, 0, 0x440, 80},
        {convention(5), 9023, 300, 9034, 0, 0x440, 30},
        {ImplementationPlacePaletteItem(false), 9040, 1050, 9041, 0, 0x540, 10},
        {ImplementationPlacePaletteItem(true), 9040, 1050, 9043, 0, 0x540, 8},
    });
    const int large = MethodPaletteItem()->LargeImage();
    EXPECT_EQ(ParameterPaletteItem()->LargeImage(), large + 1);
    for (TParameterKind k : {TParameterKind::In, TParameterKind::InOut, TParameterKind::Out})
        EXPECT_EQ(kind(k)->LargeImage(), large + 1 + int(k));
    EXPECT_EQ(MethodNotEmptyOutValuePaletteItem()->LargeImage(), large + 4);
    EXPECT_EQ(CallPaletteItem()->LargeImage(), DefaultLargeImage());

    TPaletteItemInfo info = MethodPaletteItem()->MakeInfo();
    Place(QStringLiteral("Body"))->AdjustPaletteItemInfo(MethodPaletteItem(), info);
    EXPECT_FALSE(info.Flags & pifLargeImage);
    EXPECT_EQ(info.SmallImage, MethodTypePaletteItem()->SmallImage() + 1);
}

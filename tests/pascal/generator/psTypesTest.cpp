// Type declarations and classes with visibility sections, properties and
// events.

#include "pascal/generator/psModules.h"

#include <gtest/gtest.h>

#include "psTestSupport.h"

namespace {

TEST(PascalTypes, EveryTypeDeclarationForm) {
    auto unit = CreatePascalUnit(S("TypeForms"));
    TPascalDeclarations* d = unit->InterfaceClause->Declarations;
    TPascalEnum* colors = AddEnum(d, S("TColor"), {S("clRed"), S("clGreen")});
    colors->AddItem(S("clBlue"))->Value->AddInteger(5);
    static_cast<TPascalEnumItem*>(colors->First())->Comment = S("first");
    colors->Comment = S("never written");
    TPascalSetOf* set = CreateNode<TPascalSetOf>(d);
    set->Name = S("TColors");
    set->ElementType->AddCallTo(colors);
    TPascalRecord* point = AddRecord(d, S("TPoint2"));
    point->AddField(S("X"), S("Integer"))->Comment = S("across");
    point->AddField(S("Y"), S("Integer"));
    point->Comment = S("a point");
    TPascalArray* dynamicArray = CreateNode<TPascalArray>(d);
    dynamicArray->Name = S("TPoints");
    dynamicArray->ElementType->AddCallTo(point);
    TPascalArray* staticArray = CreateNode<TPascalArray>(d);
    staticArray->Name = S("TBytes10");
    staticArray->Dynamic = false;
    staticArray->LowBound->AddInteger(0);
    staticArray->HighBound->AddInteger(9);
    staticArray->ElementType->AddText(S("Byte"));
    TPascalPointer* pointer = CreateNode<TPascalPointer>(d);
    pointer->Name = S("PPoint2");
    pointer->TargetType->AddCallTo(point);
    AddTypeAlias(d, S("TCount"), S("Integer"))->Comment = S("how many");
    TPascalMethodType* handler = AddMethodType(d, S("THandler"), TPascalMethodKind::Function, true);
    handler->Head->AddParameter(TPascalParamKind::Value, S("Sender"), S("TObject"));
    handler->Head->ResultType->AddText(S("Boolean"));
    handler->Head->AddDirective(TPascalDirective::Stdcall);
    TPascalMethodType* plain = AddMethodType(d, S("TPlain"), TPascalMethodKind::Procedure, false);
    plain->Head->AddDirective(TPascalDirective::Cdecl);
    CreateNode<TPascalClassPredeclaration>(d)->Name = S("TNode2");
    TPascalClassOf* classOf = CreateNode<TPascalClassOf>(d);
    classOf->Name = S("TNode2Class");
    classOf->ClassName->AddText(S("TNode2"));
    AddClass(d, S("TNode2"), S("TObject"));
    CreateNode<TPascalInterfacePredeclaration>(d)->Name = S("IShape");

    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_EQ(text, Lines({"unit TypeForms;",
                           "",
                           "interface",
                           "",
                           "type",
                           "  TColor = (clRed { first }, clGreen, clBlue = 5);",
                           "",
                           "  TColors = set of TColor;",
                           "",
                           "  TPoint2 = record { a point }",
                           "    X: Integer; { across }",
                           "    Y: Integer;",
                           "  end;",
                           "",
                           "  TPoints = array of TPoint2;",
                           "",
                           "  TBytes10 = array[0..9] of Byte;",
                           "",
                           "  PPoint2 = ^TPoint2;",
                           "",
                           "  TCount = Integer; { how many }",
                           "",
                           "  THandler = function(Sender: TObject): Boolean of object; stdcall;",
                           "",
                           "  TPlain = procedure; cdecl;",
                           "",
                           "  TNode2 = class;",
                           "",
                           "  TNode2Class = class of TNode2;",
                           "",
                           "  TNode2 = class(TObject)",
                           "  end;",
                           "",
                           "  IShape = interface;",
                           "",
                           "implementation",
                           "",
                           "end."}));
    // A forward interface declaration needs its interface in the same
    // section; the compiler check uses the unit without it.
    d->Last()->Free();
    TFpcHarness compiled;
    compiled.AddUnit(unit.get());
    EXPECT_COMPILES(compiled);
}

TEST(PascalClasses, HeadingForms) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalClass* bare = AddClass(d.get(), S("TBare"));
    EXPECT_EQ(WriteToText(bare), Lines({"TBare = class", "end;", ""}));
    bare->Abstract = true;
    bare->Parent->AddText(S("TInterfacedObject"));
    bare->AddInterface(S("IInterface"));
    bare->AddInterface(S("IUnknown"));
    EXPECT_EQ(WriteToText(bare), Lines({"TBare = class abstract(TInterfacedObject, IInterface, IUnknown)", "end;", ""}));
    // Without a parent the interfaces alone stand in the brackets.
    TPascalClass* only = AddClass(d.get(), S("TOnly"));
    only->AddInterface(S("IInterface"));
    EXPECT_EQ(WriteToText(only), Lines({"TOnly = class(IInterface)", "end;", ""}));
}

// A class with every section, fields, constants, methods, properties and an
// event, the way the generator lays it out.
TEST(PascalClasses, VisibilitySectionsPropertiesAndEvents) {
    auto unit = CreatePascalUnit(S("Widgets"));
    TPascalDeclarations* types = unit->InterfaceClause->Declarations;
    TPascalMethodType* event = AddMethodType(types, S("TWidgetClickEvent"), TPascalMethodKind::Procedure, true);
    event->Head->AddParameter(TPascalParamKind::Value, S("Sender"), S("TObject"));
    event->Head->AddParameter(TPascalParamKind::Value, S("X"), S("Integer"));
    TPascalClass* w = AddClass(types, S("TWidget"), S("TObject"));
    TPascalMethodDeclaration* getItem = w->AddMethod(TPascalVisibility::Private, TPascalMethodKind::Function, S("GetItem"), S("string"));
    getItem->Head->AddParameter(TPascalParamKind::Value, S("Index"), S("Integer"));
    TPascalVariable* onClick = w->AddField(TPascalVisibility::Private, S("FOnClick"), QString());
    onClick->TypeName->AddCallTo(event);
    TPascalVariable* count = w->AddField(TPascalVisibility::Private, S("FCount"), S("Integer"));
    w->AddField(TPascalVisibility::StrictPrivate, S("FSecret"), S("Integer"));
    TPascalMethodDeclaration* doClick = w->AddMethod(TPascalVisibility::Protected, TPascalMethodKind::Procedure, S("DoClick"));
    doClick->Head->AddParameter(TPascalParamKind::Value, S("X"), S("Integer"));
    doClick->Head->AddDirective(TPascalDirective::Virtual);
    TPascalMethodDeclaration* hidden = w->AddMethod(TPascalVisibility::StrictProtected, TPascalMethodKind::Procedure, S("Hidden"));
    AddConstant(w->GetSection(TPascalVisibility::Public), S("Max"), S("10"));
    w->AddField(TPascalVisibility::Public, S("Extra"), S("Integer"));
    TPascalMethodDeclaration* create = w->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Constructor, S("Create"));
    create->Head->AddDirective(TPascalDirective::Virtual);
    TPascalClassProperty* countProperty = w->AddProperty(TPascalVisibility::Public, S("Count"), S("Integer"));
    countProperty->ReadAccess->AddCallTo(count);
    countProperty->WriteAccess->AddCallTo(count);
    countProperty->DefaultValue->AddInteger(0);
    TPascalClassProperty* items = w->AddProperty(TPascalVisibility::Public, S("Items"), S("string"));
    items->IndexParameters->AddParameter(TPascalParamKind::Value, S("Index"), S("Integer"));
    items->ReadAccess->AddCallTo(getItem);
    items->IsDefaultProperty = true;
    TPascalClassProperty* click = w->AddProperty(TPascalVisibility::Published, S("OnClick"), QString());
    click->TypeName->AddCallTo(event);
    click->ReadAccess->AddCallTo(onClick);
    click->WriteAccess->AddCallTo(onClick);
    click->Comment = S("fired");

    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    AddComment(code, S("TWidget"));
    ImplementDeclaration(code, getItem, S("TWidget"))->Body->AddText(S("Result := ''"));
    TPascalMethodWithImplementation* fire = ImplementDeclaration(code, doClick, S("TWidget"));
    TPascalIf* assigned = fire->Body->AddIf();
    assigned->Condition->AddCall(S("Assigned"))->AddArgument()->AddCallTo(onClick);
    TPascalCallInCommands* call = assigned->ThenPart->AddCallTo(onClick);
    call->AddArgument()->AddText(S("Self"));
    call->AddArgument()->AddCallTo(static_cast<TPascalNamedNode*>(fire->Head->Parameters->First()));
    ImplementDeclaration(code, hidden, S("TWidget"));
    ImplementDeclaration(code, create, S("TWidget"))->Body->AddText(S("inherited"));

    TFpcHarness fpc;
    EXPECT_EQ(fpc.AddUnit(unit.get()),
              Lines({"unit Widgets;",
                     "",
                     "interface",
                     "",
                     "type",
                     "  TWidgetClickEvent = procedure(Sender: TObject; X: Integer) of object;",
                     "",
                     "  TWidget = class(TObject)",
                     "  strict private",
                     "    FSecret: Integer;",
                     "  private",
                     "    FOnClick: TWidgetClickEvent;",
                     "    FCount: Integer;",
                     "    function GetItem(Index: Integer): string;",
                     "  strict protected",
                     "    procedure Hidden;",
                     "  protected",
                     "    procedure DoClick(X: Integer); virtual;",
                     "  public",
                     "  const",
                     "    Max = 10;",
                     "  var",
                     "    Extra: Integer;",
                     "    constructor Create; virtual;",
                     "    property Count: Integer read FCount write FCount default 0;",
                     "    property Items[Index: Integer]: string read GetItem; default;",
                     "  published",
                     "    property OnClick: TWidgetClickEvent read FOnClick write FOnClick; { fired }",
                     "  end;",
                     "",
                     "implementation",
                     "",
                     "{ TWidget }",
                     "",
                     "function TWidget.GetItem(Index: Integer): string;",
                     "begin",
                     "  Result := '';",
                     "end;",
                     "",
                     "procedure TWidget.DoClick(X: Integer);",
                     "begin",
                     "  if Assigned(FOnClick) then",
                     "    FOnClick(Self, X);",
                     "end;",
                     "",
                     "procedure TWidget.Hidden;",
                     "begin",
                     "end;",
                     "",
                     "constructor TWidget.Create;",
                     "begin",
                     "  inherited;",
                     "end;",
                     "",
                     "end."}));
    EXPECT_COMPILES(fpc);
}

// A field after a constant of its section would be read as a constant; a
// field after a routine or a property is refused by the compiler.
TEST(PascalClasses, FieldsAfterConstantsRoutinesAndPropertiesGetAVarHeader) {
    auto unit = CreatePascalUnit(S("FieldOrder"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TFields"), S("TObject"));
    TPascalDeclarations* section = c->GetSection(TPascalVisibility::Public);
    AddConstant(section, S("Step"), S("2"));
    AddVariable(section, S("FAfterConst"), S("Integer"));
    AddMethodDeclaration(section, TPascalMethodKind::Procedure, S("Run"));
    AddVariable(section, S("FAfterMethod"), S("Integer"));
    TPascalClassProperty* p = c->AddProperty(TPascalVisibility::Public, S("AfterConst"), S("Integer"));
    p->ReadAccess->AddText(S("FAfterConst"));
    AddVariable(section, S("FAfterProperty"), S("Integer"));
    ImplementDeclaration(unit->ImplementationClause->Declarations,
                         static_cast<TPascalMethodDeclaration*>(section->FindNamed(S("Run"))), S("TFields"));
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_TRUE(text.contains(Lines({"  public", "  const", "    Step = 2;", "  var", "    FAfterConst: Integer;",
                                     "    procedure Run;", "  var", "    FAfterMethod: Integer;",
                                     "    property AfterConst: Integer read FAfterConst;", "  var",
                                     "    FAfterProperty: Integer;", "  end;"})))
        << text.toStdString();
    EXPECT_COMPILES(fpc);
}

TEST(PascalClasses, AddFieldGoesBeforeTheFirstRoutineOrProperty) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalClass* c = AddClass(d.get(), S("TOrder"), S("TObject"));
    c->AddMethod(TPascalVisibility::Private, TPascalMethodKind::Procedure, S("Run"));
    AddComment(c->GetSection(TPascalVisibility::Private), S("the count"), c->GetSection(TPascalVisibility::Private)->First())->Attachment =
        TPascalCommentAttachment::ToNext;
    c->AddField(TPascalVisibility::Private, S("FA"), S("Integer"));
    c->AddField(TPascalVisibility::Private, S("FB"), S("Integer"));
    EXPECT_EQ(WriteToText(c), Lines({"TOrder = class(TObject)", "private", "  FA: Integer;", "  FB: Integer;",
                                     "  { the count }", "  procedure Run;", "end;", ""}));
}

// A class property reads through static class methods; the directive makes
// that expressible.
TEST(PascalClasses, ClassPropertiesWithStaticAccessors) {
    auto unit = CreatePascalUnit(S("ClassProps"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TCounter"), S("TObject"));
    TPascalMethodDeclaration* get = c->AddMethod(TPascalVisibility::Private, TPascalMethodKind::ClassFunction, S("GetTotal"), S("Integer"));
    get->Head->AddDirective(TPascalDirective::Static);
    TPascalMethodDeclaration* set = c->AddMethod(TPascalVisibility::Private, TPascalMethodKind::ClassProcedure, S("SetTotal"));
    set->Head->AddParameter(TPascalParamKind::Value, S("Value"), S("Integer"));
    set->Head->AddDirective(TPascalDirective::Static);
    TPascalClassProperty* total = c->AddProperty(TPascalVisibility::Public, S("Total"), S("Integer"));
    total->IsClassProperty = true;
    total->ReadAccess->AddCallTo(get);
    total->WriteAccess->AddCallTo(set);
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    TPascalVariable* store = AddVariable(code, S("Store"), S("Integer"));
    TPascalMethodWithImplementation* getter = ImplementDeclaration(code, get, S("TCounter"));
    TPascalLet* result = getter->Body->AddLet();
    result->Target->AddCallTo(getter->ResultVariable);
    result->Value->AddCallTo(store);
    TPascalMethodWithImplementation* setter = ImplementDeclaration(code, set, S("TCounter"));
    setter->Body->AddLetTo(store, S("Value"));
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_TRUE(text.contains(S("    class function GetTotal: Integer; static;\n")));
    EXPECT_TRUE(text.contains(S("    class property Total: Integer read GetTotal write SetTotal;\n")));
    EXPECT_TRUE(text.contains(S("\nclass function TCounter.GetTotal: Integer;\n")));
    EXPECT_COMPILES(fpc);
}

// The compiler takes property specifiers in this order: index, read, write,
// stored, default or nodefault.
TEST(PascalClasses, PropertySpecifiersInCompilerOrder) {
    auto unit = CreatePascalUnit(S("PropOrder"));
    TPascalClass* c = AddClass(unit->InterfaceClause->Declarations, S("TOrdered"), S("TPersistent"));
    unit->InterfaceClause->UsedUnits->AddUnit(S("Classes"));
    TPascalMethodDeclaration* get = c->AddMethod(TPascalVisibility::Private, TPascalMethodKind::Function, S("GetP"), S("Integer"));
    get->Head->AddParameter(TPascalParamKind::Value, S("Index"), S("Integer"));
    TPascalMethodDeclaration* set = c->AddMethod(TPascalVisibility::Private, TPascalMethodKind::Procedure, S("SetP"));
    set->Head->AddParameter(TPascalParamKind::Value, S("Index"), S("Integer"));
    set->Head->AddParameter(TPascalParamKind::Value, S("Value"), S("Integer"));
    TPascalClassProperty* p = c->AddProperty(TPascalVisibility::Published, S("L"), S("Integer"));
    p->HasIndex = true;
    p->IndexNumber = 1;
    p->ReadAccess->AddCallTo(get);
    p->WriteAccess->AddCallTo(set);
    p->StoredValue->AddBoolean(true);
    p->DefaultValue->AddInteger(0);
    TPascalClassProperty* q = c->AddProperty(TPascalVisibility::Published, S("Top"), S("Integer"));
    q->HasIndex = true;
    q->IndexNumber = 2;
    q->ReadAccess->AddCallTo(get);
    q->NoDefault = true;
    TPascalDeclarations* code = unit->ImplementationClause->Declarations;
    ImplementDeclaration(code, get, S("TOrdered"))->Body->AddText(S("Result := Index"));
    ImplementDeclaration(code, set, S("TOrdered"));
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit.get());
    EXPECT_TRUE(
        text.contains(S("    property L: Integer index 1 read GetP write SetP stored True default 0;\n")));
    EXPECT_TRUE(text.contains(S("    property Top: Integer index 2 read GetP nodefault;\n")));
    EXPECT_COMPILES(fpc);
}

TEST(PascalClasses, LongPropertyLinesWrapAtSpecifiers) {
    auto d = CreateRootNode<TPascalDeclarations>();
    TPascalClass* c = AddClass(d.get(), S("TLong"));
    TPascalClassProperty* p = c->AddProperty(TPascalVisibility::Public, S("AVeryLongPropertyNameThatTakesRoom"), S("TSomeLongType"));
    p->ReadAccess->AddText(S("GetAVeryLongPropertyNameThatTakesRoom"));
    p->WriteAccess->AddText(S("SetAVeryLongPropertyNameThatTakesRoom"));
    EXPECT_EQ(WriteToText(c->GetSection(TPascalVisibility::Public)),
              Lines({"  property AVeryLongPropertyNameThatTakesRoom: TSomeLongType read GetAVeryLongPropertyNameThatTakesRoom ",
                     "    write SetAVeryLongPropertyNameThatTakesRoom;"}));
}

}  // namespace

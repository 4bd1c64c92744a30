#include "pascal/generator/psTypes.h"

#include "core/cuCodeWriters.h"

using namespace Qt::StringLiterals;

T_CLASS_IMPL(TPascalEnumItem, TPascalNamedNode)
T_CLASS_IMPL(TPascalEnum, TPascalTypeEntry)
T_CLASS_IMPL(TPascalSetOf, TPascalTypeEntry)
T_CLASS_IMPL(TPascalRecordField, TPascalNamedNode)
T_CLASS_IMPL(TPascalRecord, TPascalTypeEntry)
T_CLASS_IMPL(TPascalArray, TPascalTypeEntry)
T_CLASS_IMPL(TPascalPointer, TPascalTypeEntry)
T_CLASS_IMPL(TPascalTypeAlias, TPascalTypeEntry)
T_CLASS_IMPL(TPascalMethodType, TPascalTypeEntry)
T_CLASS_IMPL(TPascalInterfacePredeclaration, TPascalTypeEntry)
T_CLASS_IMPL(TPascalClassPredeclaration, TPascalTypeEntry)
T_CLASS_IMPL(TPascalClassOf, TPascalTypeEntry)
T_CLASS_IMPL(TPascalClassProperty, TPascalClassPropertyEntry)
T_CLASS_IMPL(TPascalClass, TPascalTypeEntry)

namespace {
// ";", the comment and the line end that close most type declarations.
void EndDeclaration(TPascalCodeWriter& writer, const TPascalNamedNode* node, const QString& comment) {
    writer.Write(u";"_s);
    if (!comment.isEmpty()) {
        writer.Write(u" "_s);
        PascalWriteComment(writer, comment);
    }
    writer.NewLine();
    (void)node;
}

TPascalExpression* NewExpression(TPascalNode* owner) {
    return CreateNode<TPascalExpression>(owner);
}
}  // namespace

// ---------------------------------------------------------------------------

void TPascalEnumItem::Create() {
    Value = NewExpression(this);
}

void TPascalEnumItem::Write(TPascalCodeWriter& writer) {
    writer.Write(Name);
    if (!Value->IsEmpty()) {
        writer.Write(u" = "_s);
        Value->Write(writer);
    }
    WriteTrailingComment(writer);
}

TPascalEnumItem* TPascalEnum::AddItem(const QString& name) {
    auto* item = CreateNode<TPascalEnumItem>(this);
    item->Name = name;
    return item;
}

void TPascalEnum::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = ("_s);
    writer.WrapIfLong();
    for (TPascalNode* item = First(); item; item = item->Next()) {
        item->Write(writer);
        if (item->Next()) {
            WriteSeparator(writer, u","_s);
        }
    }
    writer.WriteLn(u");"_s);
}

void TPascalSetOf::Create() {
    ElementType = NewExpression(this);
}

void TPascalSetOf::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = set of "_s);
    writer.WrapIfLong();
    ElementType->Write(writer);
    EndDeclaration(writer, this, Comment);
}

void TPascalRecordField::Create() {
    TypeName = NewExpression(this);
}

void TPascalRecordField::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u": "_s);
    TypeName->Write(writer);
    EndDeclaration(writer, this, Comment);
}

TPascalRecordField* TPascalRecord::AddField(const QString& name, const QString& typeText) {
    auto* field = CreateNode<TPascalRecordField>(this);
    field->Name = name;
    field->TypeName->AddText(typeText);
    return field;
}

void TPascalRecord::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = record"_s);
    WriteTrailingComment(writer);
    writer.NewLine();
    writer.Indent();
    WriteChildren(writer);
    writer.Unindent();
    writer.WriteLn(u"end;"_s);
}

void TPascalArray::Create() {
    LowBound = NewExpression(this);
    HighBound = NewExpression(this);
    ElementType = NewExpression(this);
}

void TPascalArray::Write(TPascalCodeWriter& writer) {
    writer.Write(Name);
    if (Dynamic) {
        writer.Write(u" = array of "_s);
    } else {
        writer.Write(u" = array["_s);
        LowBound->Write(writer);
        writer.Write(u".."_s);
        HighBound->Write(writer);
        writer.Write(u"] of "_s);
    }
    writer.WrapIfLong();
    ElementType->Write(writer);
    EndDeclaration(writer, this, Comment);
}

void TPascalPointer::Create() {
    TargetType = NewExpression(this);
}

void TPascalPointer::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = ^"_s);
    TargetType->Write(writer);
    EndDeclaration(writer, this, Comment);
}

void TPascalTypeAlias::Create() {
    TypeName = NewExpression(this);
}

void TPascalTypeAlias::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = "_s);
    writer.WrapIfLong();
    TypeName->Write(writer);
    EndDeclaration(writer, this, Comment);
}

void TPascalMethodType::Create() {
    Head = CreateNode<TPascalMethodHead>(this);
}

void TPascalMethodType::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = "_s);
    writer.WrapIfLong();
    // " of object" belongs to the type, before any directive.
    Head->WriteHead(writer, QString(), QString(), Head->Directives, OfObject);
    EndDeclaration(writer, this, Comment);
}

void TPascalInterfacePredeclaration::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(Name + u" = interface;"_s);
}

void TPascalClassPredeclaration::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(Name + u" = class;"_s);
}

void TPascalClassOf::Create() {
    ClassName = NewExpression(this);
}

void TPascalClassOf::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = class of "_s);
    writer.WrapIfLong();
    ClassName->Write(writer);
    EndDeclaration(writer, this, Comment);
}

// ---------------------------------------------------------------------------

void TPascalClassProperty::Create() {
    IndexParameters = CreateNode<TPascalMethodParameters>(this);
    TypeName = NewExpression(this);
    ReadAccess = NewExpression(this);
    WriteAccess = NewExpression(this);
    StoredValue = NewExpression(this);
    DefaultValue = NewExpression(this);
}

void TPascalClassProperty::Write(TPascalCodeWriter& writer) {
    if (IsClassProperty) writer.Write(u"class "_s);
    writer.Write(u"property "_s + Name);
    if (IndexParameters->HasChildren()) {
        writer.Write(u"["_s);
        IndexParameters->Write(writer);
        writer.Write(u"]"_s);
    }
    if (!TypeName->IsEmpty()) {
        writer.Write(u": "_s);
        TypeName->Write(writer);
    }
    auto specifier = [&](const QString& word) {
        writer.Write(u" "_s);
        writer.WrapIfLong();
        writer.Write(word);
    };
    if (HasIndex) specifier(u"index "_s + QString::number(IndexNumber));
    auto part = [&](const QString& word, TPascalExpression* value) {
        if (value->IsEmpty()) return;
        specifier(word);
        value->Write(writer);
    };
    part(u"read "_s, ReadAccess);
    part(u"write "_s, WriteAccess);
    part(u"stored "_s, StoredValue);
    part(u"default "_s, DefaultValue);
    if (NoDefault) writer.Write(u" nodefault"_s);
    writer.Write(u";"_s);
    if (IsDefaultProperty) writer.Write(u" default;"_s);
    WriteTrailingComment(writer);
    writer.NewLine();
}

void TPascalClass::Create() {
    Parent = NewExpression(this);
    for (auto& section : Sections) {
        section = CreateNode<TPascalDeclarations>(this);
        section->HeaderKinds = PascalKinds({1, 2});
        section->IndentKinds = PascalKinds({1, 2, 3, 4});
        section->FieldSection = true;
    }
    Interfaces = CreateNode<TPascalNode>(this);
}

void TPascalClass::Write(TPascalCodeWriter& writer) {
    static const QString words[pvCount] = {u"strict private"_s,   u"private"_s, u"strict protected"_s,
                                           u"protected"_s,        u"public"_s,  u"published"_s};
    writer.Write(Name + u" = class"_s);
    if (Abstract) writer.Write(u" abstract"_s);
    if (!Parent->IsEmpty() || Interfaces->HasChildren()) {
        writer.Write(u"("_s);
        Parent->Write(writer);
        bool first = Parent->IsEmpty();
        for (TPascalNode* i = Interfaces->First(); i; i = i->Next()) {
            if (!first) writer.Write(u", "_s);
            first = false;
            i->Write(writer);
        }
        writer.Write(u")"_s);
    }
    writer.NewLine();
    for (int v = 0; v < pvCount; ++v) {
        if (!Sections[v]->HasChildren()) continue;
        writer.WriteLn(words[v]);
        Sections[v]->Write(writer);
    }
    writer.Write(u"end;"_s);
    WriteTrailingComment(writer);
    writer.NewLine();
    writer.NewLine();
}

TPascalVariable* TPascalClass::AddField(int visibility, const QString& name, const QString& typeText) {
    TPascalDeclarations* section = Sections[visibility];
    return AddVariable(section, name, typeText, false, section->FieldInsertPoint());
}

TPascalMethodDeclaration* TPascalClass::AddMethod(int visibility, uint8_t kind, const QString& name,
                                                  const QString& resultType) {
    return AddMethodDeclaration(Sections[visibility], kind, name, resultType);
}

TPascalClassProperty* TPascalClass::AddProperty(int visibility, const QString& name, const QString& typeText) {
    auto* p = CreateNode<TPascalClassProperty>(Sections[visibility]);
    p->Name = name;
    if (!typeText.isEmpty()) p->TypeName->AddText(typeText);
    return p;
}

TPascalExpression* TPascalClass::AddInterface(const QString& name) {
    auto* e = CreateNode<TPascalExpression>(Interfaces);
    e->AddText(name);
    return e;
}

// ---------------------------------------------------------------------------

TPascalClass* AddClass(TPascalDeclarations* list, const QString& name, const QString& parentText, TNode* before) {
    auto* c = CreateNode<TPascalClass>(list, before);
    c->Name = name;
    if (!parentText.isEmpty()) c->Parent->AddText(parentText);
    return c;
}

TPascalEnum* AddEnum(TPascalDeclarations* list, const QString& name, std::initializer_list<QString> items,
                     TNode* before) {
    auto* e = CreateNode<TPascalEnum>(list, before);
    e->Name = name;
    for (const QString& item : items) e->AddItem(item);
    return e;
}

TPascalRecord* AddRecord(TPascalDeclarations* list, const QString& name, TNode* before) {
    auto* r = CreateNode<TPascalRecord>(list, before);
    r->Name = name;
    return r;
}

TPascalTypeAlias* AddTypeAlias(TPascalDeclarations* list, const QString& name, const QString& typeText,
                               TNode* before) {
    auto* a = CreateNode<TPascalTypeAlias>(list, before);
    a->Name = name;
    a->TypeName->AddText(typeText);
    return a;
}

TPascalMethodType* AddMethodType(TPascalDeclarations* list, const QString& name, uint8_t kind, bool ofObject,
                                 TNode* before) {
    auto* m = CreateNode<TPascalMethodType>(list, before);
    m->Name = name;
    m->Head->Kind = kind;
    m->OfObject = ofObject;
    return m;
}

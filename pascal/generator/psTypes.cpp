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

// ---------------------------------------------------------------------------

void TPascalEnumItem::Create() {
    Value = CreateNode<TPascalExpression>(this);
}

void TPascalEnumItem::Write(TPascalCodeWriter& writer) {
    writer.Write(Name);
    WriteIfPresent(writer, u" = "_s, Value);
    WriteTrailingComment(writer);
}

TPascalEnumItem* TPascalEnum::AddItem(const QString& name) {
    return CreateNamedNode<TPascalEnumItem>(this, name);
}

void TPascalEnum::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = ("_s);
    writer.WrapIfLong();
    WriteSeparated(writer, First(), u","_s);
    writer.WriteLn(u");"_s);
}

void TPascalSetOf::Create() {
    ElementType = CreateNode<TPascalExpression>(this);
}

void TPascalSetOf::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = set of "_s);
    writer.WrapIfLong();
    ElementType->Write(writer);
    WriteDeclarationEnd(writer);
}

void TPascalRecordField::Create() {
    TypeName = CreateNode<TPascalExpression>(this);
}

void TPascalRecordField::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u": "_s);
    TypeName->Write(writer);
    WriteDeclarationEnd(writer);
}

TPascalRecordField* TPascalRecord::AddField(const QString& name, const QString& typeText) {
    auto* field = CreateNamedNode<TPascalRecordField>(this, name);
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
    LowBound = CreateNode<TPascalExpression>(this);
    HighBound = CreateNode<TPascalExpression>(this);
    ElementType = CreateNode<TPascalExpression>(this);
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
    WriteDeclarationEnd(writer);
}

void TPascalPointer::Create() {
    TargetType = CreateNode<TPascalExpression>(this);
}

void TPascalPointer::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = ^"_s);
    TargetType->Write(writer);
    WriteDeclarationEnd(writer);
}

void TPascalTypeAlias::Create() {
    TypeName = CreateNode<TPascalExpression>(this);
}

void TPascalTypeAlias::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = "_s);
    writer.WrapIfLong();
    TypeName->Write(writer);
    WriteDeclarationEnd(writer);
}

void TPascalMethodType::Create() {
    Head = CreateNode<TPascalMethodHead>(this);
}

void TPascalMethodType::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = "_s);
    writer.WrapIfLong();
    // " of object" belongs to the type, before any directive.
    Head->WriteHead(writer, QString(), QString(), Head->Directives, OfObject);
    WriteDeclarationEnd(writer);
}

void TPascalInterfacePredeclaration::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(Name + u" = interface;"_s);
}

void TPascalClassPredeclaration::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(Name + u" = class;"_s);
}

void TPascalClassOf::Create() {
    ClassName = CreateNode<TPascalExpression>(this);
}

void TPascalClassOf::Write(TPascalCodeWriter& writer) {
    writer.Write(Name + u" = class of "_s);
    writer.WrapIfLong();
    ClassName->Write(writer);
    WriteDeclarationEnd(writer);
}

// ---------------------------------------------------------------------------

void TPascalClassProperty::Create() {
    IndexParameters = CreateNode<TPascalMethodParameters>(this);
    TypeName = CreateNode<TPascalExpression>(this);
    ReadAccess = CreateNode<TPascalExpression>(this);
    WriteAccess = CreateNode<TPascalExpression>(this);
    StoredValue = CreateNode<TPascalExpression>(this);
    DefaultValue = CreateNode<TPascalExpression>(this);
}

void TPascalClassProperty::Write(TPascalCodeWriter& writer) {
    if (IsClassProperty) writer.Write(u"class "_s);
    writer.Write(u"property "_s + Name);
    if (IndexParameters->HasChildren()) {
        writer.Write(u"["_s);
        IndexParameters->Write(writer);
        writer.Write(u"]"_s);
    }
    WriteIfPresent(writer, u": "_s, TypeName);
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
    Parent = CreateNode<TPascalExpression>(this);
    for (auto& section : Sections) {
        section = CreateNode<TPascalDeclarations>(this);
        section->HeaderKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type};
        section->IndentKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var,
                                TPascalEntryKind::Other};
    }
    Interfaces = CreateNode<TPascalNode>(this);
}

void TPascalClass::Write(TPascalCodeWriter& writer) {
    static const QString words[PascalVisibilityCount] = {u"strict private"_s,   u"private"_s, u"strict protected"_s,
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
    for (int v = 0; v < PascalVisibilityCount; ++v) {
        if (!Sections[v]->HasChildren()) continue;
        writer.WriteLn(words[v]);
        Sections[v]->Write(writer);
    }
    writer.Write(u"end"_s);
    WriteDeclarationEnd(writer);
    writer.NewLine();
}

TPascalVariable* TPascalClass::AddField(TPascalVisibility visibility, const QString& name, const QString& typeText) {
    TPascalDeclarations* section = GetSection(visibility);
    return AddVariable(section, name, typeText, false, section->FieldInsertPoint());
}

TPascalMethodDeclaration* TPascalClass::AddMethod(TPascalVisibility visibility, TPascalMethodKind kind,
                                                  const QString& name, const QString& resultType) {
    return AddMethodDeclaration(GetSection(visibility), kind, name, resultType);
}

TPascalClassProperty* TPascalClass::AddProperty(TPascalVisibility visibility, const QString& name,
                                                const QString& typeText) {
    auto* p = CreateNamedNode<TPascalClassProperty>(GetSection(visibility), name);
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
    auto* c = CreateNamedNode<TPascalClass>(list, name, before);
    if (!parentText.isEmpty()) c->Parent->AddText(parentText);
    return c;
}

TPascalEnum* AddEnum(TPascalDeclarations* list, const QString& name, std::initializer_list<QString> items,
                     TNode* before) {
    auto* e = CreateNamedNode<TPascalEnum>(list, name, before);
    for (const QString& item : items) e->AddItem(item);
    return e;
}

TPascalRecord* AddRecord(TPascalDeclarations* list, const QString& name, TNode* before) {
    auto* r = CreateNamedNode<TPascalRecord>(list, name, before);
    return r;
}

TPascalTypeAlias* AddTypeAlias(TPascalDeclarations* list, const QString& name, const QString& typeText,
                               TNode* before) {
    auto* a = CreateNamedNode<TPascalTypeAlias>(list, name, before);
    a->TypeName->AddText(typeText);
    return a;
}

TPascalMethodType* AddMethodType(TPascalDeclarations* list, const QString& name, TPascalMethodKind kind, bool ofObject,
                                 TNode* before) {
    auto* m = CreateNamedNode<TPascalMethodType>(list, name, before);
    m->Head->Kind = kind;
    m->OfObject = ofObject;
    return m;
}

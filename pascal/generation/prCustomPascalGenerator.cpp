#include "pascal/generation/prCustomPascalGenerator.h"

#include "core/cuCodeWriters.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diMessages.h"
#include "elements/coRoot.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prPropertyElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/generation/prPascalGeneratorSupport.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// How many unit-level elements have their texts asked for together.
constexpr size_t kPrefetchedElements = 8;

const QString kSystemUnit = QStringLiteral("System");
const QString kMathUnit = QStringLiteral("Math");
const QString kClassesUnit = QStringLiteral("Classes");
const QString kConstructorName = QStringLiteral("Create");
const QString kDestructorName = QStringLiteral("Destroy");
const QString kProgramExtension = QStringLiteral("prm");
// The field behind an event property when the "ObjectFieldsPrefix" setting is
// empty: the field must not bear the property's own name.
const QString kEventFieldFallbackPrefix = QStringLiteral("F");

QString EventFieldName(const QString& eventName) {
    const QString prefix = ProgramPrefix(&TProgramSettings::ObjectFieldsPrefix);
    return (prefix.isEmpty() ? kEventFieldFallbackPrefix : prefix) + eventName;
}

struct TStandardTypeRow {
    const char16_t* Name;
    const char16_t* Pascal;
};
constexpr TStandardTypeRow kStandardTypes[] = {
    {u"int", u"NativeInt"},   {u"int.8", u"Int8"},       {u"int.16", u"Int16"},     {u"int.32", u"Int32"},
    {u"int.64", u"Int64"},    {u"uint", u"NativeUInt"},  {u"uint.8", u"UInt8"},     {u"uint.16", u"UInt16"},
    {u"uint.32", u"UInt32"},  {u"uint.64", u"UInt64"},   {u"index", u"NativeInt"},  {u"bool", u"Boolean"},
    {u"str", u"string"},      {u"char", u"Char"},        {u"float", u"Float"},      {u"datetime", u"TDateTime"},
    {u"pointer", u"Pointer"}, {u"variant", u"Variant"},  {u"object", u"TObject"},   {u"objecttype", u"TClass"},
};

TPascalDirective ConventionDirective(TCallingConvention convention, bool& any) {
    any = true;
    switch (convention) {
    case TCallingConvention::Register: return TPascalDirective::Register;
    case TCallingConvention::Cdecl: return TPascalDirective::Cdecl;
    case TCallingConvention::Stdcall: return TPascalDirective::Stdcall;
    case TCallingConvention::Safecall: return TPascalDirective::Safecall;
    case TCallingConvention::Fastcall: return TPascalDirective::Fastcall;
    case TCallingConvention::Pascal: break;
    }
    any = false;
    return TPascalDirective::Register;
}

// The top-level entry of list that holds node; nil.
TPascalNode* EntryOf(TPascalNode* node, const TPascalDeclarations* list) {
    for (TPascalNode* n = node; n; n = n->ParentNode())
        if (n->Parent() == list) return n;
    return nullptr;
}

bool IsTypeEntryOrComment(const TPascalNode* node) {
    const TPascalEntryKind kind = GetEntryKind(node);
    return kind == TPascalEntryKind::Type || kind == TPascalEntryKind::None;
}

}  // namespace

// ---------------------------------------------------------------------------
// Clause data and nodes for names

bool TPascalGeneratorUnitClauseData::AddOnce(QStringList& list, const QString& name, bool ignoreCase) {
    if (list.contains(name, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive)) return false;
    list << name;
    return true;
}

void TPascalNodesCreatedForNames::Add(const void* key, TPascalNamedNode* node) {
    if (!key || !node) return;
    const uint64_t hash = HashOf(key);
    m_nodes.FindOrInsert(hash, [](TPascalNamedNode*) { return true; }, [node] { return node; });
}

TPascalNamedNode* TPascalNodesCreatedForNames::Find(const void* key) const {
    return key ? m_nodes.Find(HashOf(key), [](TPascalNamedNode*) { return true; }) : nullptr;
}

// ---------------------------------------------------------------------------
// The worker

TCustomPascalGeneratorWorker::TCustomPascalGeneratorWorker() = default;
TCustomPascalGeneratorWorker::~TCustomPascalGeneratorWorker() = default;

QString TCustomPascalGeneratorWorker::MapStandardType(const QString& name) {
    for (const TStandardTypeRow& row : kStandardTypes)
        if (name == QStringView(row.Name)) {
            // The rows are static: the answer shares their characters.
            const QStringView pascal(row.Pascal);
            return QString::fromRawData(pascal.data(), pascal.size());
        }
    return name;
}

void TCustomPascalGeneratorWorker::Prepare() {
    if (Root) {
        ForEachElementInAnyOrder(TIdentifierNameField::StaticClass(), [](TElement* element) {
            static_cast<TTextorElement*>(element)->SetRestrictions(kPascalNameRestrictions);
        });
    }
    TSchemeGeneratorWorker::Prepare();
}

QString TCustomPascalGeneratorWorker::GetModuleName() {
    return QFileInfo(GetOutputFileName()).completeBaseName();
}

void TCustomPascalGeneratorWorker::Generate() {
    m_nodes = std::make_unique<TPascalNodesCreatedForNames>();
    m_implementationData = std::make_unique<TPascalGeneratorUnitClauseData>();
    m_parts = TPascalModuleParts{};
    CreateModule(m_parts);
    if (m_parts.InterfaceClause) m_interfaceData = std::make_unique<TPascalGeneratorUnitClauseData>();
    m_parts.Module->Name = GetModuleName();
    try {
        TSchemeGeneratorWorker::Generate();
        PromoteInterfaceDependencies();
        CollectUnits();
        if (m_parts.InterfaceClause) WritePredeclarations(m_interfaceData.get(), m_parts.InterfaceClause);
        WritePredeclarations(m_implementationData.get(), m_parts.ImplementationClause);
        if (Simplify) m_parts.Module->Simplify();
        MakeNamesUnique(m_parts.Module.get());
        WriteOutput();
    } catch (...) {
        m_parts = TPascalModuleParts{};
        m_interfaceData.reset();
        m_implementationData.reset();
        m_nodes.reset();
        throw;
    }
    m_interfaceData.reset();
    m_implementationData.reset();
    m_parts = TPascalModuleParts{};
    m_calledEarly.clear();
    m_commentedClasses.clear();
    m_nodes.reset();
}

void TCustomPascalGeneratorWorker::WriteModule(TPascalCodeWriter& writer) {
    for (const QString& line : HeaderLines) WriteCommentLine(writer, line);
    m_parts.Module->Write(writer);
}

void TCustomPascalGeneratorWorker::WriteOutput() {
    auto writer = std::make_unique<TPascalCodeWriter>();
    WriteModule(*writer);
    const QString fileName = GetOutputFileName();
    if (fileName.isEmpty() || !PrepareOutputFile(fileName)) return;
    const QString text = writer->Text(u"\n");
    QStringEncoder encoder(GetEncoding());
    try {
        KnotText::WriteFileAtomically(fileName, encoder.encode(text));
    } catch (const Exception&) {
        ReportCannotCreateFile(fileName);
        return;
    }
    RegisterOutputFile(fileName, TOutputFileMode::Reported);
    FileWritten(fileName);
}

// ---------------------------------------------------------------------------
// Units

void TCustomPascalGeneratorWorker::AddUsedUnit(TElement* element, const QString& unitName, const QString& fileName) {
    if (unitName.isEmpty() || unitName.compare(kSystemUnit, Qt::CaseInsensitive) == 0) return;
    TPascalUnitClause* clause = m_parts.InterfaceClause ? m_parts.InterfaceClause : m_parts.ImplementationClause;
    clause->UsedUnits->AddUnit(unitName);
    ConnectedModuleUsed(element, unitName, fileName);
}

void TCustomPascalGeneratorWorker::AddUnitTo(TVisibility visibility, const QString& unit) {
    TPascalGeneratorUnitClauseData* data =
        visibility == TVisibility::Public && m_interfaceData ? m_interfaceData.get() : m_implementationData.get();
    TPascalGeneratorUnitClauseData::AddOnce(data->Units, unit, true);
}

void TCustomPascalGeneratorWorker::AddImplementationUnit(const QString& unit) {
    TPascalGeneratorUnitClauseData::AddOnce(m_implementationData->Units, unit, true);
}

void TCustomPascalGeneratorWorker::CollectUnits() {
    TPascalUsedUnits* implementationUses = m_parts.ImplementationClause->UsedUnits;
    TPascalUsedUnits* interfaceUses = m_parts.InterfaceClause ? m_parts.InterfaceClause->UsedUnits : nullptr;
    if (m_interfaceData) {
        for (const QString& unit : m_interfaceData->Units) {
            if (interfaceUses->FindUnit(unit)) continue;
            if (TPascalUsedUnit* there = implementationUses->FindUnit(unit)) there->Free();
            interfaceUses->AddUnit(unit);
        }
    }
    for (const QString& unit : m_implementationData->Units) {
        if (implementationUses->FindUnit(unit) || (interfaceUses && interfaceUses->FindUnit(unit))) continue;
        implementationUses->AddUnit(unit);
    }
}

// ---------------------------------------------------------------------------
// Forward declarations

void TCustomPascalGeneratorWorker::RecordForward(TElement_Object* object, TPascalExpression* reference) {
    const TVisibility visibility = VisibilityOf(object);
    TPascalGeneratorUnitClauseData* data =
        visibility == TVisibility::Public && m_interfaceData ? m_interfaceData.get() : m_implementationData.get();
    const QString name = NameOf(object);
    if (name.isEmpty() || !TPascalGeneratorUnitClauseData::AddOnce(data->Classes, name)) return;
    data->ClassElements.insert(name, object);
    TPascalUnitClause* clause = GetClause(visibility);
    TPascalNode* entry = clause ? EntryOf(reference, clause->Declarations) : nullptr;
    // A member's head is built in the implementation and copied into the
    // class: the class being generated is the entry that refers.
    if (!entry && clause && m_class.Class) entry = EntryOf(m_class.Class, clause->Declarations);
    if (entry) data->FirstReference.insert(name, entry);
}

void TCustomPascalGeneratorWorker::WritePredeclarations(TPascalGeneratorUnitClauseData* data,
                                                        TPascalUnitClause* clause) {
    if (!data || !clause) return;
    TPascalDeclarations* list = clause->Declarations;
    // The class-of entries, in order: each moves only for the class it
    // names, so the order among the entries of one class stays as written
    // while the others move (one pass over the list, not one per class).
    std::vector<TPascalClassOf*> classOfs;
    if (!data->Classes.isEmpty())
        for (TPascalNode* n = list->First(); n; n = n->Next())
            if (auto* classOf = PascalAs<TPascalClassOf>(n)) classOfs.push_back(classOf);
    for (const QString& name : data->Classes) {
        TPascalNode* entry = data->FirstReference.value(name);
        // The run of type entries that holds the first reference must hold
        // the class too: a forward declaration is resolved in its own section.
        TPascalNode* head = entry;
        while (head && head->Prev() && IsTypeEntryOrComment(head->Prev())) head = head->Prev();
        bool classInRun = false;
        for (TPascalNode* n = entry; n && IsTypeEntryOrComment(n); n = n->Next()) {
            if (auto* cls = PascalAs<TPascalClass>(n); cls && cls->Name == name) {
                classInRun = true;
                break;
            }
        }
        if (!entry || !IsTypeEntryOrComment(entry) || !classInRun) {
            TElement* object = data->ClassElements.value(name);
            AddMessage(mkWarning, LoadStrFmt(strObjectUsedBeforeDeclaration, {name}),
                       object ? std::vector<TElement*>{object} : std::vector<TElement*>{});
            continue;
        }
        auto* forward = CreateNamedNode<TPascalClassPredeclaration>(list, name, head);
        TPascalNode* after = forward->Next();
        for (TPascalClassOf* classOf : classOfs) {
            const auto* call = PascalAsCall(OnlyItem(classOf->ClassName));
            if (!call || !((call->Target && call->Target->Name == name) || call->Name == name)) continue;
            if (classOf != after) classOf->SetParentBefore(list, after);
            after = classOf->Next();
        }
    }
    for (const QString& name : data->Interfaces) {
        TPascalNode* first = list->First();
        CreateNamedNode<TPascalInterfacePredeclaration>(list, name, first);
    }
}

// ---------------------------------------------------------------------------
// Private declarations public ones need

void TCustomPascalGeneratorWorker::PromoteInterfaceDependencies() {
    if (!m_parts.InterfaceClause) return;
    std::vector<TPascalNode*> entries;
    for (TPascalNode* n = m_parts.InterfaceClause->Declarations->First(); n; n = n->Next()) entries.push_back(n);
    for (TPascalNode* entry : entries) PromoteDependenciesOf(entry);
}

void TCustomPascalGeneratorWorker::PromoteDependenciesOf(TPascalNode* entry) {
    TPascalDeclarations* implementation = m_parts.ImplementationClause->Declarations;
    TPascalDeclarations* interface = m_parts.InterfaceClause->Declarations;
    std::vector<TPascalNamedNode*> targets;
    for (TNode* node : PreOrder<TNode>(entry))
        if (const TPascalCall* call = PascalAsCall(node); call && call->Target) targets.push_back(call->Target);
    for (TPascalNamedNode* target : targets) {
        TPascalNode* dependency = EntryOf(target, implementation);
        if (!dependency) continue;
        const TPascalEntryKind kind = GetEntryKind(dependency);
        if (kind != TPascalEntryKind::Const && kind != TPascalEntryKind::Type) continue;
        dependency->SetParentBefore(interface, entry);
        PromoteDependenciesOf(dependency);
    }
}

// ---------------------------------------------------------------------------
// Helpers

TVisibility TCustomPascalGeneratorWorker::VisibilityOf(TElement* element) {
    TNamedElement* named = ClassAs<TNamedElement>(element);
    return named ? named->Visibility() : TVisibility::Public;
}

TPascalDeclarations* TCustomPascalGeneratorWorker::DeclarationsOf(TVisibility visibility) {
    TPascalUnitClause* clause = GetClause(visibility);
    return clause ? clause->Declarations : m_parts.ImplementationClause->Declarations;
}

QString TCustomPascalGeneratorWorker::NameOf(TElement* element) {
    TNamedElement* named = ClassAs<TNamedElement>(element);
    const QString name = named && named->NameField() ? named->NameField()->GetNameText() : QString();
    return IsPascalReservedWord(name) ? QStringLiteral("&") + name : name;
}

void TCustomPascalGeneratorWorker::RegisterItem(TNamespaceItem* item, TPascalNamedNode* node) {
    if (item) m_nodes->Add(item->GetOriginal(), node);
}

void TCustomPascalGeneratorWorker::Register(TElement* element, TPascalNamedNode* node) {
    RegisterItem(MainNameItem(element), node);
    m_nodes->Add(element, node);
}

TPascalNamedNode* TCustomPascalGeneratorWorker::NodeFor(TNamespaceItem* item) const {
    return item ? m_nodes->Find(item->GetOriginal()) : nullptr;
}

// ---------------------------------------------------------------------------
// Unit-level dispatch

bool TCustomPascalGeneratorWorker::IsFileLevelElement(TElement* element) {
    if (TSchemeGeneratorWorker::IsFileLevelElement(element)) return true;
    auto* named = ClassAs<TNamedElement>(element);
    if (!named) return false;
    const TDeclarationKind kind = DeclarationKindOf(element);
    const bool choosable = named->VisibilityMode() != TVisibilityMode::Public;
    if (choosable && named->Visibility() == TVisibility::Private) {
        switch (kind) {
        case TDeclarationKind::Constant:
        case TDeclarationKind::Object:
        case TDeclarationKind::Record:
        case TDeclarationKind::SubObject:
        case TDeclarationKind::Field: return true;
        case TDeclarationKind::Method: {
            auto* options = Supports<IMethodOptions>(element);
            return options && !options->GetDescendantsCall();
        }
        default: break;
        }
    }
    if (!choosable) {
        return kind == TDeclarationKind::Method || kind == TDeclarationKind::Constant ||
               kind == TDeclarationKind::SubObject || kind == TDeclarationKind::Field;
    }
    return false;
}

void TCustomPascalGeneratorWorker::GenerateFileConnection(TElement* element) {
    TSchemeGeneratorWorker::GenerateFileConnection(element);
    auto* connection = ClassAs<TElement_FileConnection>(element);
    if (!connection) return;
    const QString fileName = GetPathValue(connection->FileNameField());
    if (QFileInfo(fileName).suffix().compare(kProgramExtension, Qt::CaseInsensitive) == 0)
        AddUsedUnit(element, NameOf(element), fileName);
}

void TCustomPascalGeneratorWorker::PrefetchFrom(TElement* element) {
    if (std::find(m_prefetched.begin(), m_prefetched.end(), element) != m_prefetched.end()) return;
    m_prefetched.clear();
    for (TNode* node = element; node && m_prefetched.size() < kPrefetchedElements; node = node->NextSibling())
        if (auto* next = ClassAs<TElement>(node); next && !next->IsSubElement()) m_prefetched.push_back(next);
    PrefetchTexts(m_prefetched);
}

void TCustomPascalGeneratorWorker::GenerateElement(TElement* element) {
    PrefetchFrom(element);
    const TClass* cls = element->ClassType();
    const TVisibility visibility = VisibilityOf(element);
    m_currentList = DeclarationsOf(visibility);
    if (cls == TElement_Use::StaticClass()) {
        Visit(element);
        auto* use = static_cast<TElement_Use*>(element);
        Visit(use->NameField());
        const QString name = NameOf(element);
        if (!name.isEmpty() && name.compare(kSystemUnit, Qt::CaseInsensitive) != 0)
            GetClause(visibility)->UsedUnits->AddUnit(name);
    } else if (cls == TElement_Array::StaticClass() || cls == TElement_Enum::StaticClass() ||
               cls == TElement_MethodType::StaticClass() || cls == TElement_Pointer::StaticClass() ||
               cls == TElement_TypeAlias::StaticClass() || cls == TElement_Record::StaticClass()) {
        GenerateType(element, m_currentList, false, nullptr);
    } else if (cls == TElement_Object::StaticClass()) {
        GenerateClass(static_cast<TElement_Object*>(element), m_currentList);
    } else if (cls == TElement_Constant::StaticClass()) {
        GenerateConstant(element, m_currentList, false);
    } else if (cls == TElement_SubObject::StaticClass()) {
        GenerateUnitSubObject(element);
    } else if (cls == TElement_Field::StaticClass()) {
        GenerateUnitField(element);
    } else if (cls == TElement_Method::StaticClass()) {
        GenerateUnitMethod(element);
    } else {
        TSchemeGeneratorWorker::GenerateElement(element);
    }
    m_currentList = nullptr;
}

// ---------------------------------------------------------------------------
// Types

void TCustomPascalGeneratorWorker::GenerateTypeItem(TNamespaceItem* item, const QString& text, TPascalExpression* e) {
    TNamespaceItem* original = item ? item->GetOriginal() : nullptr;
    TElement* element = original ? original->GetElement() : nullptr;
    if (auto* standard = ClassAs<TStandardTypeElement>(element)) {
        const QString pascal = MapStandardType(standard->TypeName());
        if (standard->TypeName() == StandardTypeName::Float) {
            const bool inInterface = m_parts.InterfaceClause && !m_method.Method && m_currentList &&
                                     m_currentList == m_parts.InterfaceClause->Declarations;
            AddUnitTo(inInterface ? TVisibility::Public : TVisibility::Private, kMathUnit);
        }
        e->AddText(pascal);
        return;
    }
    if (TPascalNamedNode* node = NodeFor(original)) {
        e->AddCallTo(node);
        return;
    }
    auto* object = ClassAs<TElement_Object>(element);
    if (object && object->Scheme() == Root->Scheme() && original == MainNameItem(object)) RecordForward(object, e);
    e->AddText(original ? original->GetName() : text);
}

void TCustomPascalGeneratorWorker::GenerateTypeReferenceOf(TCustomReferenceElement* field, TPascalExpression* e) {
    if (!field) return;
    Visit(field);
    if (TNamespaceItem* item = field->GetTargetItem()) {
        // The field's own text stands only for an item without an original.
        GenerateTypeItem(item, item->GetOriginal() ? QString() : field->GetText(), e);
        return;
    }
    const QString text = field->GetText().trimmed();
    if (!text.isEmpty()) e->AddText(MapStandardType(text));
}

TPascalNode* TCustomPascalGeneratorWorker::GenerateType(TElement* element, TPascalDeclarations* list,
                                                        bool provisional, TNode* before) {
    Visit(element);
    const QString name = NameOf(element);
    const TClass* cls = element->ClassType();
    TPascalTypeEntry* node = nullptr;
    if (cls == TElement_Array::StaticClass()) {
        auto* array = static_cast<TElement_Array*>(element);
        auto* a = CreateNamedNode<TPascalArray>(list, name, before);
        node = a;
        Register(element, a);
        a->Dynamic = !array->HasBounds();
        if (!a->Dynamic) {
            GenerateValueAs(array->Min(), a->LowBound, Standard(StandardTypeName::Int));
            GenerateValueAs(array->Max(), a->HighBound, Standard(StandardTypeName::Int));
        }
        GenerateTypeReferenceOf(array->ElementType(), a->ElementType);
    } else if (cls == TElement_Enum::StaticClass()) {
        GenerateEnum(element, list, provisional, before);
        return nullptr;
    } else if (cls == TElement_Record::StaticClass()) {
        auto* record = static_cast<TElement_Record*>(element);
        auto* r = CreateNamedNode<TPascalRecord>(list, name, before);
        node = r;
        Register(element, r);
        if (auto* content = ClassAs<TTextorElement>(record->Content())) {
            Visit(content);
            for (TElement* child : EmbeddedElements(content)) {
                if (child->ClassType() != TElement_Field::StaticClass()) {
                    ReportUnexpectedElement(child);
                    continue;
                }
                Visit(child);
                auto* field = static_cast<TCustomField*>(child);
                auto* f = CreateNamedNode<TPascalRecordField>(r, NameOf(child));
                Register(child, f);
                GenerateTypeReferenceOf(field->TypeField(), f->TypeName);
            }
        }
    } else if (cls == TElement_Pointer::StaticClass()) {
        auto* p = CreateNamedNode<TPascalPointer>(list, name, before);
        node = p;
        Register(element, p);
        GenerateTypeReferenceOf(static_cast<TElement_Pointer*>(element)->RefType(), p->TargetType);
    } else if (cls == TElement_TypeAlias::StaticClass()) {
        auto* t = CreateNamedNode<TPascalTypeAlias>(list, name, before);
        node = t;
        Register(element, t);
        GenerateTypeReferenceOf(static_cast<TElement_TypeAlias*>(element)->RefType(), t->TypeName);
    } else if (cls == TElement_MethodType::StaticClass()) {
        auto* methodType = static_cast<TElement_MethodType*>(element);
        auto* t = CreateNamedNode<TPascalMethodType>(list, name, before);
        node = t;
        Register(element, t);
        t->OfObject = methodType->InClass();
        FillHead(element, t->Head, false, false);
    } else {
        ReportUnexpectedElement(element);
        return nullptr;
    }
    node->Provisional = provisional;
    return node;
}

void TCustomPascalGeneratorWorker::GenerateEnum(TElement* element, TPascalDeclarations* list, bool provisional,
                                                TNode* before) {
    auto* enumeration = static_cast<TElement_Enum*>(element);
    auto* e = CreateNamedNode<TPascalEnum>(list, NameOf(element), before);
    e->Provisional = provisional;
    Register(element, e);
    if (auto* content = ClassAs<TTextorElement>(enumeration->Content())) {
        Visit(content);
        for (TElement* child : EmbeddedElements(content)) {
            if (child->ClassType() != TElement_EnumItem::StaticClass()) {
                ReportUnexpectedElement(child);
                continue;
            }
            Visit(child);
            Register(child, e->AddItem(NameOf(child)));
        }
    }
    TEnumSetOfNameField* setOf = enumeration->SetOfName();
    if (setOf && !setOf->GetNameText().isEmpty()) {
        Visit(setOf);
        auto* s = CreateNamedNode<TPascalSetOf>(list, setOf->GetNameText(), e->Next());
        s->Provisional = provisional;
        s->ElementType->AddCallTo(e);
        RegisterItem(setOf->Item(), s);
    }
}

// ---------------------------------------------------------------------------
// Constants and variables

void TCustomPascalGeneratorWorker::GenerateConstant(TElement* element, TPascalDeclarations* list, bool provisional) {
    Visit(element);
    auto* constant = static_cast<TElement_Constant*>(element);
    auto* c = CreateNamedNode<TPascalConstant>(list, NameOf(element));
    c->Provisional = provisional;
    Register(element, c);
    GenerateValue(constant->ValueField(), c->Value);
    if (c->Value->IsEmpty()) c->Value->AddInteger(0);
}

void TCustomPascalGeneratorWorker::GenerateUnitField(TElement* element) {
    Visit(element);
    auto* field = static_cast<TCustomFieldWithValue*>(element);
    auto* v = CreateNamedNode<TPascalVariable>(m_currentList, NameOf(element));
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    const TTypeDescriptor type = DeclaredTypeOf(element);
    TPascalCommands* init = m_parts.InitializationCommands;
    if (!init) return;
    if (field->ValueField() && field->ValueField()->IsFilled()) {
        AddAssignment(init, m_parts.InitializationInsertPoint, v, type, field->ValueField());
    } else if (IsStaticArrayOrRecord(type)) {
        AddClearing(init, m_parts.InitializationInsertPoint, v, type);
    }
}

void TCustomPascalGeneratorWorker::GenerateUnitSubObject(TElement* element) {
    Visit(element);
    auto* field = static_cast<TCustomField*>(element);
    auto* v = CreateNamedNode<TPascalVariable>(m_currentList, NameOf(element));
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    if (m_parts.InitializationCommands) {
        TPascalLet* create = m_parts.InitializationCommands->AddLet(m_parts.InitializationInsertPoint);
        create->Target->AddCallTo(v);
        GenerateTypeReferenceOf(field->TypeField(), create->Value);
        create->Value->AddCall(QStringLiteral(".") + kConstructorName);
    }
    if (m_parts.FinalizationCommands) {
        TPascalCallInCommands* release =
            m_parts.FinalizationCommands->AddCallEx(QString(), v, QStringLiteral(".Free"),
                                                    m_parts.FinalizationInsertPoint);
        m_parts.FinalizationInsertPoint = release;
    }
}

// ---------------------------------------------------------------------------
// Routines

void TCustomPascalGeneratorWorker::FillHead(TElement* element, TPascalMethodHead* head, bool classMethod,
                                            bool isConstructor) {
    TCustomReferenceElement* resultType = nullptr;
    TParametersContainer* parameters = nullptr;
    TCallingConvention convention = TCallingConvention::Pascal;
    if (auto* method = ClassAs<TElement_Method>(element)) {
        resultType = method->ResultType();
        parameters = method->Parameters();
        convention = method->CallingConvention();
    } else if (auto* methodType = ClassAs<TElement_MethodType>(element)) {
        resultType = methodType->ResultType();
        parameters = methodType->Parameters();
    } else if (auto* custom = ClassAs<TCustomMethod>(element)) {
        parameters = custom->Parameters();
    } else if (auto* event = ClassAs<TElement_Event>(element)) {
        parameters = event->Parameters();
    }
    const bool function = HasPlainText(resultType);
    if (isConstructor)
        head->Kind = TPascalMethodKind::Constructor;
    else if (function)
        head->Kind = classMethod ? TPascalMethodKind::ClassFunction : TPascalMethodKind::Function;
    else
        head->Kind = classMethod ? TPascalMethodKind::ClassProcedure : TPascalMethodKind::Procedure;
    if (function) GenerateTypeReferenceOf(resultType, head->ResultType);
    bool any = false;
    const TPascalDirective directive = ConventionDirective(convention, any);
    if (any) head->AddDirective(directive);
    if (!parameters) return;
    Visit(parameters);
    for (TElement* child : EmbeddedElements(parameters)) {
        auto* parameter = ClassAs<TElement_Parameter>(child);
        if (!parameter) {
            ReportUnexpectedElement(child);
            continue;
        }
        Visit(parameter);
        const TTypeDescriptor type = DeclaredTypeOf(parameter);
        const bool typed = HasPlainText(parameter->TypeField());
        TPascalParamKind kind = TPascalParamKind::Value;
        if (parameter->Kind() == TParameterKind::InOut)
            kind = TPascalParamKind::Var;
        else if (parameter->Kind() == TParameterKind::Out)
            kind = TPascalParamKind::Out;
        else if (!typed || PassedAsConst(type))
            kind = TPascalParamKind::Const;
        TPascalMethodParameter* p = head->AddParameter(kind, NameOf(parameter));
        if (typed) GenerateTypeReferenceOf(parameter->TypeField(), p->TypeName);
    }
}

void TCustomPascalGeneratorWorker::RegisterParameters(TElement* element, TPascalMethodWithImplementation* method) {
    auto* custom = ClassAs<TCustomMethod>(element);
    if (!custom || !custom->Parameters()) return;
    TPascalNode* p = method->Head->Parameters->First();
    for (TElement* child : EmbeddedElements(custom->Parameters())) {
        if (!ClassAs<TElement_Parameter>(child)) continue;
        if (!p) break;
        Register(child, static_cast<TPascalNamedNode*>(p));
        p = p->Next();
    }
}

TPascalMethodDeclaration* TCustomPascalGeneratorWorker::DeclareCopy(TPascalDeclarations* list,
                                                                    TPascalMethodWithImplementation* method,
                                                                    TNode* before) {
    auto* declaration = CreateNamedNode<TPascalMethodDeclaration>(list, method->Name, before);
    TPascalMethodHead* from = method->Head;
    TPascalMethodHead* to = declaration->Head;
    to->Kind = from->Kind;
    to->Directives = from->Directives;
    CopySimpleExpression(from->ResultType, to->ResultType);
    for (TPascalNode* c = from->Parameters->First(); c; c = c->Next()) {
        const auto* p = static_cast<const TPascalMethodParameter*>(c);
        TPascalMethodParameter* copy = to->AddParameter(p->Kind, p->Name);
        CopySimpleExpression(p->TypeName, copy->TypeName);
    }
    method->Declaration = declaration;
    return declaration;
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::GenerateUnitMethod(TElement* element) {
    Visit(element);
    TPascalDeclarations* implementation = m_parts.ImplementationClause->Declarations;
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(implementation, NameOf(element));
    Register(element, m);
    const TMethodContext saved = m_method;
    TPascalDeclarations* savedList = m_currentList;
    FillHead(element, m->Head, false, false);
    const bool isPublic = VisibilityOf(element) == TVisibility::Public;
    if (isPublic && m_parts.InterfaceClause) {
        m_currentList = m_parts.InterfaceClause->Declarations;
        DeclareCopy(m_parts.InterfaceClause->Declarations, m);
    } else if (const auto it = m_calledEarly.find(element); it != m_calledEarly.end()) {
        // Called from code implemented before it: declared ahead of that code.
        TPascalMethodDeclaration* forward = DeclareCopy(implementation, m, it->second);
        forward->Head->AddDirective(TPascalDirective::Forward);
    }
    m_currentList = implementation;
    if (m->Head->IsFunction()) CopySimpleExpression(m->Head->ResultType, m->ResultVariable->TypeName);
    RegisterParameters(element, m);
    GenerateBody(element, m, false);
    if (isPublic) PublicMethodAdded(m);
    // Complete now: simplified while its nodes are still in the cache.
    if (Simplify) m->Simplify();
    m_method = saved;
    m_currentList = savedList;
    return m;
}

void TCustomPascalGeneratorWorker::GenerateBody(TElement* element, TPascalMethodWithImplementation* method,
                                                bool classMethod) {
    TPascalDeclarations* savedLocals = m_locals;
    const TMethodContext saved = m_method;
    m_method = TMethodContext{};
    m_method.Method = method;
    m_method.Element = element;
    m_method.ClassMethod = classMethod;
    m_method.Commands = method->Body;
    m_locals = method->LocalDeclarations;
    auto* custom = ClassAs<TCustomMethod>(element);
    if (custom && custom->Parameters()) {
        TPascalNode* p = method->Head->Parameters->First();
        for (TElement* child : EmbeddedElements(custom->Parameters())) {
            auto* parameter = ClassAs<TElement_Parameter>(child);
            if (!parameter || !p) continue;
            auto* node = static_cast<TPascalMethodParameter*>(p);
            p = p->Next();
            const TTypeDescriptor type = DeclaredTypeOf(parameter);
            if (parameter->NotEmptyInValue() && parameter->Kind() != TParameterKind::Out) {
                TPascalCallInCommands* assert = method->Body->AddCall(QStringLiteral("Assert"));
                AddAsBoolean(assert->AddArgument(), type, [&](TPascalExpression* x) { x->AddCallTo(node); });
            }
            if (parameter->Kind() == TParameterKind::Out && !node->TypeName->IsEmpty())
                AddClearing(method->Body, nullptr, node, type);
        }
    }
    if (method->Head->IsFunction()) {
        auto* withResult = ClassAs<TCustomMethod>(element);
        if (withResult && withResult->Body() && withResult->Body()->Result())
            Register(withResult->Body()->Result(), method->ResultVariable);
        AddClearing(method->Body, nullptr, method->ResultVariable, ResultTypeOf(element));
    }
    if (auto* content = ClassAs<TTextorElement>(custom ? custom->Content() : nullptr))
        GenerateCommands(content, method->Body);
    m_method = saved;
    m_locals = savedLocals;
}

// ---------------------------------------------------------------------------
// Classes

void TCustomPascalGeneratorWorker::EnsureClassComment() {
    if (!m_class.Class || !m_commentedClasses.insert(m_class.Class).second) return;
    AddComment(m_parts.ImplementationClause->Declarations, m_class.Class->Name);
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::MadeConstructor() {
    if (m_class.Constructor) return m_class.Constructor;
    TPascalClass* cls = m_class.Class;
    TPascalMethodDeclaration* declaration =
        cls->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Constructor, kConstructorName);
    const bool hasParent = HasPlainText(m_class.Element->Parent());
    if (hasParent)
        declaration->Head->AddDirective(TPascalDirective::Override);
    else if (m_class.Element->Kind() != TObjectKind::Final)
        declaration->Head->AddDirective(TPascalDirective::Virtual);
    EnsureClassComment();
    TPascalMethodWithImplementation* m =
        ImplementDeclaration(m_parts.ImplementationClause->Declarations, declaration, cls->Name);
    if (hasParent) m->Body->AddText(QStringLiteral("inherited"));
    // Creations made by members go before this mark, the statements of the
    // construction section and of a merged constructor after it.
    m_class.ConstructorInsertPoint = m->Body->AddText(QString());
    m_class.Constructor = m;
    return m;
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::MadeDestructor() {
    if (m_class.Destructor) return m_class.Destructor;
    TPascalClass* cls = m_class.Class;
    TPascalMethodDeclaration* declaration =
        cls->AddMethod(TPascalVisibility::Public, TPascalMethodKind::Destructor, kDestructorName);
    declaration->Head->AddDirective(TPascalDirective::Override);
    EnsureClassComment();
    TPascalMethodWithImplementation* m =
        ImplementDeclaration(m_parts.ImplementationClause->Declarations, declaration, cls->Name);
    m_class.DestructorInsertPoint = m->Body->AddText(QStringLiteral("inherited"));
    m_class.Destructor = m;
    return m;
}

void TCustomPascalGeneratorWorker::GenerateClass(TElement_Object* object, TPascalDeclarations* list) {
    Visit(object);
    const TClassContext saved = m_class;
    m_class = TClassContext{};
    const QString name = NameOf(object);
    TPascalClass* cls = AddClass(list, name);
    m_class.Class = cls;
    m_class.Element = object;
    Register(object, cls);
    cls->Abstract = object->Kind() == TObjectKind::Abstract;
    if (HasPlainText(object->Parent()))
        GenerateTypeReferenceOf(object->Parent(), cls->Parent);
    else
        cls->Parent->AddText(QStringLiteral("TObject"));
    if (TClassOfNameField* classOf = object->ClassOfName(); classOf && !classOf->GetNameText().isEmpty()) {
        Visit(classOf);
        auto* c = CreateNamedNode<TPascalClassOf>(list, classOf->GetNameText(), cls->Next());
        c->ClassName->AddCallTo(cls);
        RegisterItem(classOf->Item(), c);
    }
    const bool hasParent = HasPlainText(object->Parent());
    TCommandsContainer* construction = object->Construction();
    if ((construction && construction->IsFilled()) || (!hasParent && object->Kind() != TObjectKind::Final)) {
        TPascalMethodWithImplementation* ctor = MadeConstructor();
        if (construction && construction->IsFilled()) {
            const TMethodContext savedMethod = m_method;
            TPascalDeclarations* savedLocals = m_locals;
            m_method = TMethodContext{ctor, object, false, ctor->Body, nullptr, 0};
            m_locals = ctor->LocalDeclarations;
            GenerateCommands(construction, ctor->Body);
            m_method = savedMethod;
            m_locals = savedLocals;
        }
    }
    TCommandsContainer* destruction = object->Destruction();
    if (destruction && destruction->IsFilled()) {
        TPascalMethodWithImplementation* dtor = MadeDestructor();
        const TMethodContext savedMethod = m_method;
        TPascalDeclarations* savedLocals = m_locals;
        m_method = TMethodContext{dtor, object, false, dtor->Body, m_class.DestructorInsertPoint, 0};
        m_locals = dtor->LocalDeclarations;
        GenerateCommands(destruction, dtor->Body);
        m_method = savedMethod;
        m_locals = savedLocals;
    }
    if (auto* members = ClassAs<TTextorElement>(object->Content())) GenerateClassMembers(members);
    // The marker that kept the place of creations goes.
    if (m_class.Constructor)
        for (TPascalNode* n = m_class.Constructor->Body->First(); n;) {
            TPascalNode* next = n->Next();
            if (auto* text = PascalAs<TPascalCustomCommand>(n); text && text->Text.isEmpty()) n->Free();
            n = next;
        }
    m_class = saved;
}

void TCustomPascalGeneratorWorker::GenerateClassMembers(TTextorElement* members) {
    Visit(members);
    for (TElement* member : EmbeddedElements(members)) GenerateClassMember(member);
}

void TCustomPascalGeneratorWorker::GenerateClassMember(TElement* member) {
    const TClass* cls = member->ClassType();
    if (cls == TElement_Field::StaticClass())
        GenerateClassField(member, VisibilityOf(member));
    else if (cls == TElement_SubObject::StaticClass())
        GenerateClassSubObject(member);
    else if (cls == TElement_Constant::StaticClass())
        GenerateClassConstant(member);
    else if (cls == TElement_Method::StaticClass())
        GenerateClassMethod(member);
    else if (cls == TElement_Constructor::StaticClass())
        GenerateClassConstructor(member);
    else if (cls == TElement_Event::StaticClass() || cls == TElement_Notification::StaticClass())
        GenerateClassEvent(member);
    else if (cls == TElement_Handler::StaticClass())
        GenerateClassHandler(member);
    else if (cls == TElement_Override::StaticClass())
        GenerateClassOverride(member);
    else if (cls == TElement_DoubleMethod::StaticClass() || cls == TElement_Locker::StaticClass())
        GenerateClassDoubleMethod(member);
    else if (cls == TElement_Property::StaticClass())
        GenerateClassProperty(member);
    else if (cls == TElement_PropertyWithField::StaticClass())
        GenerateClassPropertyWithField(member);
    else if (cls == TElement_PropertyWithSubObject::StaticClass())
        GenerateClassPropertyWithSubObject(member);
    else if (cls == TElement_PropertyArray::StaticClass())
        GenerateClassPropertyArray(member);
    else
        ReportUnexpectedElement(member);
}

void TCustomPascalGeneratorWorker::GenerateClassField(TElement* element, TVisibility visibility) {
    Visit(element);
    auto* field = static_cast<TCustomFieldWithValue*>(element);
    const TPascalVisibility section =
        visibility == TVisibility::Private ? TPascalVisibility::Private : TPascalVisibility::Public;
    TPascalVariable* v = m_class.Class->AddField(section, NameOf(element), QString());
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    if (!field->ValueField() || !field->ValueField()->IsFilled()) return;
    // The initial value is assigned when the object is made.
    TPascalMethodWithImplementation* ctor = MadeConstructor();
    const TMethodContext savedMethod = m_method;
    TPascalDeclarations* savedLocals = m_locals;
    m_method = TMethodContext{ctor, element, false, ctor->Body, m_class.ConstructorInsertPoint, 0};
    m_locals = ctor->LocalDeclarations;
    AddAssignment(ctor->Body, m_class.ConstructorInsertPoint, v, DeclaredTypeOf(element), field->ValueField());
    m_method = savedMethod;
    m_locals = savedLocals;
}

void TCustomPascalGeneratorWorker::GenerateClassSubObject(TElement* element) {
    Visit(element);
    auto* field = static_cast<TCustomField*>(element);
    TPascalVariable* v = m_class.Class->AddField(TPascalVisibility::Private, NameOf(element), QString());
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    TPascalMethodWithImplementation* ctor = MadeConstructor();
    TPascalLet* create = ctor->Body->AddLet(m_class.ConstructorInsertPoint);
    create->Target->AddCallTo(v);
    GenerateTypeReferenceOf(field->TypeField(), create->Value);
    create->Value->AddCall(QStringLiteral(".") + kConstructorName);
    TPascalMethodWithImplementation* dtor = MadeDestructor();
    m_class.DestructorInsertPoint =
        dtor->Body->AddCallEx(QString(), v, QStringLiteral(".Free"), m_class.DestructorInsertPoint);
}

void TCustomPascalGeneratorWorker::GenerateClassConstant(TElement* element) {
    const TPascalVisibility section =
        VisibilityOf(element) == TVisibility::Private ? TPascalVisibility::Private : TPascalVisibility::Public;
    TPascalDeclarations* list = m_class.Class->GetSection(section);
    Visit(element);
    auto* constant = static_cast<TElement_Constant*>(element);
    auto* c = CreateNamedNode<TPascalConstant>(list, NameOf(element), list->FieldInsertPoint());
    Register(element, c);
    GenerateValue(constant->ValueField(), c->Value);
    if (c->Value->IsEmpty()) c->Value->AddInteger(0);
}

void TCustomPascalGeneratorWorker::GenerateClassMethod(TElement* element) {
    Visit(element);
    auto* method = static_cast<TElement_Method*>(element);
    const bool classMethod = !method->GetForInstance();
    TPascalVisibility section =
        VisibilityOf(element) == TVisibility::Private ? TPascalVisibility::Private : TPascalVisibility::Public;
    if (method->GetDescendantsCall() || method->GetDescendantsOverride()) section = TPascalVisibility::Protected;
    EnsureClassComment();
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(m_parts.ImplementationClause->Declarations,
                                                               NameOf(element));
    m->ClassName = m_class.Class->Name;
    FillHead(element, m->Head, classMethod, false);
    if (method->GetDescendantsOverride()) m->Head->AddDirective(TPascalDirective::Virtual);
    if (m->Head->IsFunction()) CopySimpleExpression(m->Head->ResultType, m->ResultVariable->TypeName);
    TPascalDeclarations* list = m_class.Class->GetSection(section);
    TPascalMethodDeclaration* declaration = DeclareCopy(list, m);
    Register(element, declaration);
    RegisterParameters(element, m);
    GenerateBody(element, m, classMethod);
}

void TCustomPascalGeneratorWorker::GenerateClassConstructor(TElement* element) {
    Visit(element);
    auto* constructor = static_cast<TCustomMethod*>(element);
    const bool hasParameters = constructor->Parameters() && !EmbeddedElements(constructor->Parameters()).empty();
    if (!hasParameters) {
        // Merged into the made constructor: its statements after the made ones.
        TPascalMethodWithImplementation* ctor = MadeConstructor();
        Register(element, ctor->Declaration);
        const TMethodContext savedMethod = m_method;
        TPascalDeclarations* savedLocals = m_locals;
        m_method = TMethodContext{ctor, element, false, ctor->Body, nullptr, 0};
        m_locals = ctor->LocalDeclarations;
        if (auto* content = ClassAs<TTextorElement>(constructor->Content()))
            GenerateCommands(content, ctor->Body);
        m_method = savedMethod;
        m_locals = savedLocals;
        return;
    }
    EnsureClassComment();
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(m_parts.ImplementationClause->Declarations,
                                                               kConstructorName);
    m->ClassName = m_class.Class->Name;
    FillHead(element, m->Head, false, true);
    m->Head->AddDirective(TPascalDirective::Overload);
    TPascalMethodDeclaration* declaration = DeclareCopy(m_class.Class->GetSection(TPascalVisibility::Public), m);
    Register(element, declaration);
    RegisterParameters(element, m);
    TPascalNamedNode* made = nullptr;
    if (m_class.Constructor) {
        made = m_class.Constructor->Declaration;
        m_class.Constructor->Declaration->Head->AddDirective(TPascalDirective::Overload);
    }
    GenerateBody(element, m, false);
    // The constructor's own call: the made parameterless Create, else the inherited one.
    TPascalNode* after = m->Body->First();
    while (after && PascalAs<TPascalCallInCommands>(after) &&
           static_cast<TPascalCallInCommands*>(after)->Name == QStringLiteral("Assert"))
        after = after->Next();
    if (made)
        m->Body->AddCallTo(made, after);
    else
        m->Body->AddText(QStringLiteral("inherited Create"), after);
}

// ---------------------------------------------------------------------------
// Events, handlers, overrides and double methods

void TCustomPascalGeneratorWorker::AddSenderParameter(TPascalMethodHead* head) {
    auto* sender = CreateNamedNode<TPascalMethodParameter>(head->Parameters, QStringLiteral("Sender"),
                                                           head->Parameters->First());
    sender->TypeName->AddText(QStringLiteral("TObject"));
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::AddMemberMethod(
    TPascalVisibility section, const QString& name, const std::function<void(TPascalMethodHead*)>& fill) {
    EnsureClassComment();
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(m_parts.ImplementationClause->Declarations, name);
    m->ClassName = m_class.Class->Name;
    if (fill) fill(m->Head);
    if (m->Head->IsFunction()) CopySimpleExpression(m->Head->ResultType, m->ResultVariable->TypeName);
    DeclareCopy(m_class.Class->GetSection(section), m);
    return m;
}

void TCustomPascalGeneratorWorker::GenerateSection(TElement* owner, TElement* section,
                                                   TPascalMethodWithImplementation* method, TPascalCommands* commands,
                                                   TPascalNode* before) {
    if (!section) return;
    const TMethodContext saved = m_method;
    TPascalDeclarations* savedLocals = m_locals;
    m_method = TMethodContext{method, owner, false, commands, nullptr, 0};
    m_locals = method->LocalDeclarations;
    GenerateCommands(section, commands, before);
    m_method = saved;
    m_locals = savedLocals;
}

void TCustomPascalGeneratorWorker::GenerateClassEvent(TElement* element) {
    Visit(element);
    auto* event = static_cast<TCustomEventElement*>(element);
    auto* withParameters = ClassAs<TElement_Event>(element);
    const bool hasParameters =
        withParameters && withParameters->Parameters() && !EmbeddedElements(withParameters->Parameters()).empty();
    const QString name = NameOf(element);
    TPascalClass* cls = m_class.Class;
    TPascalMethodType* eventType = nullptr;
    if (hasParameters) {
        eventType = CreateNamedNode<TPascalMethodType>(cls->ParentNode(), cls->Name + name + QStringLiteral("Event"),
                                                       cls);
        eventType->OfObject = true;
        FillHead(element, eventType->Head, false, false);
        AddSenderParameter(eventType->Head);
    } else {
        AddUnitTo(VisibilityOf(m_class.Element), QStringLiteral("Classes"));
    }
    auto setType = [&](TPascalExpression* e) {
        if (eventType)
            e->AddCallTo(eventType);
        else
            e->AddText(QStringLiteral("TNotifyEvent"));
    };
    TPascalVariable* field = cls->AddField(TPascalVisibility::Private, EventFieldName(name), QString());
    setType(field->TypeName);
    TPascalClassProperty* property = cls->AddProperty(TPascalVisibility::Public, name, QString());
    setType(property->TypeName);
    property->ReadAccess->AddCallTo(field);
    property->WriteAccess->AddCallTo(field);
    Register(element, property);
    TPascalMethodWithImplementation* fire =
        AddMemberMethod(TPascalVisibility::Protected, event->GetDoMethodName(), [&](TPascalMethodHead* head) {
            if (hasParameters) FillHead(element, head, false, false);
        });
    TPascalIf* test = fire->Body->AddIf();
    TPascalExpression* condition = test->Condition;
    auto* notification = ClassAs<TElement_Notification>(element);
    auto* locker = notification && notification->Locker()
                       ? ClassAs<TElement_Locker>(ElementOf(notification->Locker()->GetTargetItem()))
                       : nullptr;
    if (locker) {
        TPascalCompareExpressionItem* both = condition->AddCompare(TPascalCompareKind::And);
        condition = both->Left;
        TPascalCompareExpressionItem* unlocked = both->Right->AddCompare(TPascalCompareKind::Equal);
        unlocked->Left->AddText(locker->GetCounterFieldName());
        unlocked->Right->AddInteger(0);
    }
    condition->AddCall(QStringLiteral("Assigned"))->AddArgument()->AddCallTo(field);
    TPascalCallInCommands* call = test->ThenPart->AddCallTo(field);
    call->AddArgument()->AddText(QStringLiteral("Self"));
    for (TPascalNode* p = fire->Head->Parameters->First(); p; p = p->Next())
        call->AddArgument()->AddCallTo(static_cast<TPascalNamedNode*>(p));
}

void TCustomPascalGeneratorWorker::GenerateClassHandler(TElement* element) {
    Visit(element);
    auto* handler = static_cast<TElement_Handler*>(element);
    TElement* target = handler->Event() ? ElementOf(handler->Event()->GetTargetItem()) : nullptr;
    TPascalMethodWithImplementation* m =
        AddMemberMethod(TPascalVisibility::Private, NameOf(element), [&](TPascalMethodHead* head) {
            if (ClassAs<TElement_Event>(target)) {
                FillHead(target, head, false, false);
                AddSenderParameter(head);
            } else if (ClassAs<TElement_Notification>(target)) {
                AddSenderParameter(head);
            } else if (auto* methodType = ClassAs<TElement_MethodType>(ElementOf(DeclaredTypeOf(target).TypeItem))) {
                FillHead(methodType, head, false, false);
            }
        });
    Register(element, m->Declaration);
    if (auto* event = ClassAs<TElement_Event>(target)) {
        // The event's parameters are the handler's after "Sender".
        TPascalNode* p = m->Head->Parameters->First() ? m->Head->Parameters->First()->Next() : nullptr;
        for (TElement* child : EmbeddedElements(event->Parameters())) {
            if (!p) break;
            Register(child, static_cast<TPascalNamedNode*>(p));
            p = p->Next();
        }
    }
    if (m->Head->IsFunction() && handler->Body() && handler->Body()->Result())
        Register(handler->Body()->Result(), m->ResultVariable);
    GenerateSection(element, handler->Body(), m, m->Body);
}

void TCustomPascalGeneratorWorker::GenerateClassOverride(TElement* element) {
    Visit(element);
    auto* overrideElement = static_cast<TElement_Override*>(element);
    auto* method = ClassAs<TElement_Method>(
        overrideElement->Method() ? ElementOf(overrideElement->Method()->GetTargetItem()) : nullptr);
    if (!method) {
        ReportUnexpectedElement(element);
        return;
    }
    const bool classMethod = !method->GetForInstance();
    TPascalMethodWithImplementation* m =
        AddMemberMethod(TPascalVisibility::Protected, NameOf(method), [&](TPascalMethodHead* head) {
            FillHead(method, head, classMethod, false);
            head->AddDirective(TPascalDirective::Override);
        });
    if (m->Head->IsFunction() && overrideElement->Body() && overrideElement->Body()->Result())
        Register(overrideElement->Body()->Result(), m->ResultVariable);
    GenerateSection(element, overrideElement->Body(), m, m->Body);
}

void TCustomPascalGeneratorWorker::GenerateClassDoubleMethod(TElement* element) {
    Visit(element);
    auto* pair = static_cast<TCustomDoubleMethodElement*>(element);
    auto* locker = ClassAs<TElement_Locker>(element);
    TPascalVariable* counter = nullptr;
    if (locker)
        counter = m_class.Class->AddField(TPascalVisibility::Private, locker->GetCounterFieldName(),
                                          QStringLiteral("NativeInt"));
    auto counterIs = [&](TPascalExpression* e, TPascalCompareKind kind) {
        TPascalCompareExpressionItem* compare = e->AddCompare(kind);
        compare->Left->AddCallTo(counter);
        compare->Right->AddInteger(0);
    };
    TPascalMethodWithImplementation* enter =
        AddMemberMethod(TPascalVisibility::Public, pair->GetEnterMethodName(), nullptr);
    Register(element, enter->Declaration);
    if (locker && locker->ContentFirstEnter() && locker->ContentFirstEnter()->IsFilled()) {
        TPascalIf* first = enter->Body->AddIf();
        counterIs(first->Condition, TPascalCompareKind::Equal);
        GenerateSection(element, locker->ContentFirstEnter(), enter, first->ThenPart);
    }
    if (counter) enter->Body->AddCall(QStringLiteral("Inc"))->AddArgument(TPascalParamKind::Var)->AddCallTo(counter);
    GenerateSection(element, pair->ContentEnter(), enter, enter->Body);
    TPascalMethodWithImplementation* leave =
        AddMemberMethod(TPascalVisibility::Public, pair->GetExitMethodName(), nullptr);
    if (counter) counterIs(leave->Body->AddCall(QStringLiteral("Assert"))->AddArgument(), TPascalCompareKind::More);
    GenerateSection(element, pair->ContentExit(), leave, leave->Body);
    if (!counter) return;
    leave->Body->AddCall(QStringLiteral("Dec"))->AddArgument(TPascalParamKind::Var)->AddCallTo(counter);
    if (locker->ContentLastExit() && locker->ContentLastExit()->IsFilled()) {
        TPascalIf* last = leave->Body->AddIf();
        counterIs(last->Condition, TPascalCompareKind::Equal);
        GenerateSection(element, locker->ContentLastExit(), leave, last->ThenPart);
    }
}

// The members of TCustomPascalGeneratorWorker that generate the four property
// kinds of an object: the property entries, their private access methods and
// backing fields, and the creation and release of a property's sub-object.

#include "pascal/generation/prCustomPascalGenerator.h"

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prPropertyElements.h"
#include "pascal/generation/prPascalGeneratorSupport.h"

namespace {

const QString kGetPrefix = QStringLiteral("Get");
const QString kSetPrefix = QStringLiteral("Set");
const QString kValueParameter = QStringLiteral("AValue");
const QString kIndexParameter = QStringLiteral("Index");
const QString kIndexType = QStringLiteral("NativeInt");
const QString kDefaultItemsName = QStringLiteral("Items");
const QString kDefaultCountName = QStringLiteral("Count");

}  // namespace

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::AddPropertyAccess(
    const QString& name, bool forClass, TCustomReferenceElement* resultType,
    const std::function<void(TPascalMethodHead*)>& parameters) {
    return AddMemberMethod(TPascalVisibility::Private, name, [&](TPascalMethodHead* head) {
        if (resultType) {
            head->Kind = forClass ? TPascalMethodKind::ClassFunction : TPascalMethodKind::Function;
            GenerateTypeReferenceOf(resultType, head->ResultType);
        } else {
            head->Kind = forClass ? TPascalMethodKind::ClassProcedure : TPascalMethodKind::Procedure;
        }
        if (parameters) parameters(head);
        // A class property's accessors have no class reference to take.
        if (forClass) head->AddDirective(TPascalDirective::Static);
    });
}

TPascalMethodParameter* TCustomPascalGeneratorWorker::AddValueParameter(TPascalMethodHead* head,
                                                                        TCustomReferenceElement* type,
                                                                        const TTypeDescriptor& descriptor) {
    const TPascalParamKind kind = PassedAsConst(descriptor) ? TPascalParamKind::Const : TPascalParamKind::Value;
    TPascalMethodParameter* p = head->AddParameter(kind, kValueParameter);
    if (type) GenerateTypeReferenceOf(type, p->TypeName);
    return p;
}

void TCustomPascalGeneratorWorker::GeneratePropertySection(TElement* owner, TElement* section,
                                                           TPascalMethodWithImplementation* method, bool forClass,
                                                           TPascalCommands* commands, TPascalNode* before) {
    if (!section) return;
    const TMethodContext saved = m_method;
    TPascalDeclarations* savedLocals = m_locals;
    m_method = TMethodContext{method, owner, forClass, commands ? commands : method->Body, before, 0};
    m_locals = method->LocalDeclarations;
    GenerateCommands(section, m_method.Commands, before);
    m_method = saved;
    m_locals = savedLocals;
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::AddPropertyGetter(
    TCustomFullPropertyElement* property, TCommandsContainerWithResult* section, const QString& name,
    TCustomReferenceElement* resultType, const TTypeDescriptor& type,
    const std::function<void(TPascalMethodHead*)>& parameters) {
    const bool forClass = !property->ForInstance();
    TPascalMethodWithImplementation* get = AddPropertyAccess(name, forClass, resultType, parameters);
    if (section && section->Result()) Register(section->Result(), get->ResultVariable);
    AddClearing(get->Body, nullptr, get->ResultVariable, type);
    return get;
}

void TCustomPascalGeneratorWorker::FillPropertyParameters(TParametersContainer* parameters,
                                                          TPascalMethodParameters* list) {
    if (!parameters) return;
    Visit(parameters);
    for (TElement* child : EmbeddedElements(parameters)) {
        auto* parameter = ClassAs<TElement_Parameter>(child);
        if (!parameter) continue;
        Visit(parameter);
        const bool typed = HasPlainText(parameter->TypeField());
        const TPascalParamKind kind =
            !typed || PassedAsConst(DeclaredTypeOf(parameter)) ? TPascalParamKind::Const : TPascalParamKind::Value;
        TPascalMethodParameter* p = list->AddParameter(kind, NameOf(parameter));
        if (typed) GenerateTypeReferenceOf(parameter->TypeField(), p->TypeName);
    }
}

void TCustomPascalGeneratorWorker::RegisterPropertyParameters(TParametersContainer* parameters,
                                                              TPascalMethodHead* head) {
    if (!parameters) return;
    TPascalNode* p = head->Parameters->First();
    for (TElement* child : EmbeddedElements(parameters)) {
        if (!ClassAs<TElement_Parameter>(child)) continue;
        if (!p) break;
        Register(child, static_cast<TPascalNamedNode*>(p));
        p = p->Next();
    }
}

void TCustomPascalGeneratorWorker::GenerateClassProperty(TElement* element) {
    Visit(element);
    auto* property = static_cast<TElement_Property*>(element);
    const QString name = NameOf(element);
    const bool forClass = !property->ForInstance();
    const TTypeDescriptor type = DeclaredTypeOf(element);
    TPascalClassProperty* entry = m_class.Class->AddProperty(TPascalVisibility::Public, name, QString());
    entry->IsClassProperty = forClass;
    GenerateTypeReferenceOf(property->TypeField(), entry->TypeName);
    FillPropertyParameters(property->Parameters(), entry->IndexParameters);
    Register(element, entry);
    TPascalMethodWithImplementation* get =
        AddPropertyGetter(property, property->ReadSection(), kGetPrefix + name, property->TypeField(), type,
                          [&](TPascalMethodHead* head) {
                              FillPropertyParameters(property->Parameters(), head->Parameters);
                          });
    entry->ReadAccess->AddCallTo(get->Declaration);
    RegisterPropertyParameters(property->Parameters(), get->Head);
    GeneratePropertySection(element, property->ReadSection(), get, forClass);
    if (!property->HasSetter()) return;
    TPascalMethodWithImplementation* set =
        AddPropertyAccess(kSetPrefix + name, forClass, nullptr, [&](TPascalMethodHead* head) {
            FillPropertyParameters(property->Parameters(), head->Parameters);
            AddValueParameter(head, property->TypeField(), type);
        });
    entry->WriteAccess->AddCallTo(set->Declaration);
    Register(property->WriteValue(), static_cast<TPascalNamedNode*>(set->Head->Parameters->LastChild()));
    GeneratePropertySection(element, property->WriteSection(), set, forClass);
}

std::pair<TPascalVariable*, TPascalClassProperty*> TCustomPascalGeneratorWorker::AddFieldAndProperty(
    TCustomPropertyWithField* property, const QString& name) {
    TPascalVariable* field = m_class.Class->AddField(TPascalVisibility::Private,
                                                     property->FieldName()->GetNameText(), QString());
    GenerateTypeReferenceOf(property->TypeField(), field->TypeName);
    RegisterItem(property->FieldName()->Item(), field);
    TPascalClassProperty* entry = m_class.Class->AddProperty(TPascalVisibility::Public, name, QString());
    GenerateTypeReferenceOf(property->TypeField(), entry->TypeName);
    Register(property, entry);
    return {field, entry};
}

void TCustomPascalGeneratorWorker::GenerateClassPropertyWithField(TElement* element) {
    Visit(element);
    auto* property = static_cast<TElement_PropertyWithField*>(element);
    const QString name = NameOf(element);
    const auto [field, entry] = AddFieldAndProperty(property, name);
    entry->ReadAccess->AddCallTo(field);
    if (!property->HasSetter()) {
        entry->WriteAccess->AddCallTo(field);
        return;
    }
    TPascalMethodWithImplementation* set =
        AddPropertyAccess(kSetPrefix + name, false, nullptr, [&](TPascalMethodHead* head) {
            AddValueParameter(head, property->TypeField(), DeclaredTypeOf(element));
        });
    entry->WriteAccess->AddCallTo(set->Declaration);
    Register(property->WriteValue(), static_cast<TPascalNamedNode*>(set->Head->Parameters->LastChild()));
    GeneratePropertySection(element, property->WriteSection(), set, false);
}

void TCustomPascalGeneratorWorker::GenerateClassPropertyWithSubObject(TElement* element) {
    Visit(element);
    auto* property = static_cast<TElement_PropertyWithSubObject*>(element);
    const QString name = NameOf(element);
    const auto [field, entry] = AddFieldAndProperty(property, name);
    // "FX := TX.Create" followed by the creation section, into commands before `before`.
    auto create = [&](TPascalMethodWithImplementation* method, TPascalCommands* commands, TPascalNode* before) {
        TPascalLet* let = commands->AddLet(before);
        let->Target->AddCallTo(field);
        GenerateTypeReferenceOf(property->TypeField(), let->Value);
        let->Value->AddCall(QStringLiteral(".Create"));
        GeneratePropertySection(element, property->InitSection(), method, false, commands, before);
    };
    if (property->Lazy()) {
        TPascalMethodWithImplementation* get =
            AddPropertyAccess(kGetPrefix + name, false, property->TypeField(), nullptr);
        TPascalIf* test = get->Body->AddIf();
        TPascalCompareExpressionItem* none = test->Condition->AddCompare(TPascalCompareKind::Equal);
        none->Left->AddCallTo(field);
        none->Right->AddText(QStringLiteral("nil"));
        create(get, test->ThenPart, nullptr);
        TPascalLet* answer = get->Body->AddLet();
        answer->Target->AddCallTo(get->ResultVariable);
        answer->Value->AddCallTo(field);
        entry->ReadAccess->AddCallTo(get->Declaration);
    } else {
        TPascalMethodWithImplementation* ctor = MadeConstructor();
        create(ctor, ctor->Body, m_class.ConstructorInsertPoint);
        entry->ReadAccess->AddCallTo(field);
    }
    TPascalMethodWithImplementation* dtor = MadeDestructor();
    m_class.DestructorInsertPoint =
        dtor->Body->AddCallEx(QString(), field, QStringLiteral(".Free"), m_class.DestructorInsertPoint);
}

TPascalClassProperty* TCustomPascalGeneratorWorker::GenerateArrayCount(TElement_PropertyArray* property) {
    const bool forClass = !property->ForInstance();
    const TTypeDescriptor& countType = Standard(QStringLiteral("int"));
    // The count: "Get" + its name, and "Set" + its name when it can be set.
    const QString countName = property->CountName()->GetNameText();
    TPascalClassProperty* count = m_class.Class->AddProperty(TPascalVisibility::Public, countName, QString());
    count->IsClassProperty = forClass;
    AddTypeName(countType, count->TypeName);
    RegisterItem(property->CountName()->Item(), count);
    TPascalMethodWithImplementation* getCount =
        AddPropertyAccess(kGetPrefix + countName, forClass, nullptr, [&](TPascalMethodHead* head) {
            head->Kind = forClass ? TPascalMethodKind::ClassFunction : TPascalMethodKind::Function;
            AddTypeName(countType, head->ResultType);
        });
    if (property->ReadCountSection() && property->ReadCountSection()->Result())
        Register(property->ReadCountSection()->Result(), getCount->ResultVariable);
    AddClearing(getCount->Body, nullptr, getCount->ResultVariable, countType);
    count->ReadAccess->AddCallTo(getCount->Declaration);
    GeneratePropertySection(property, property->ReadCountSection(), getCount, forClass);
    if (property->HasCountSetter()) {
        TPascalMethodWithImplementation* setCount =
            AddPropertyAccess(kSetPrefix + countName, forClass, nullptr, [&](TPascalMethodHead* head) {
                TPascalMethodParameter* p = head->AddParameter(TPascalParamKind::Value, kValueParameter);
                AddTypeName(countType, p->TypeName);
            });
        auto* value = static_cast<TPascalNamedNode*>(setCount->Head->Parameters->LastChild());
        Register(property->WriteCountValue(), value);
        setCount->Body->AddText(QStringLiteral("Assert(%1 >= 0)").arg(value->Name));
        count->WriteAccess->AddCallTo(setCount->Declaration);
        GeneratePropertySection(property, property->WriteCountSection(), setCount, forClass);
    }
    return count;
}

void TCustomPascalGeneratorWorker::GenerateClassPropertyArray(TElement* element) {
    Visit(element);
    auto* property = static_cast<TElement_PropertyArray*>(element);
    const QString name = NameOf(element);
    const bool forClass = !property->ForInstance();
    TPascalClassProperty* count = GenerateArrayCount(property);
    const QString countName = count->Name;
    // The items by index, each access asserting the index within the count.
    const TTypeDescriptor type = DeclaredTypeOf(element);
    TPascalClassProperty* items = m_class.Class->AddProperty(TPascalVisibility::Public, name, QString());
    items->IsClassProperty = forClass;
    items->IsDefaultProperty = !forClass && name == kDefaultItemsName && countName == kDefaultCountName;
    items->IndexParameters->AddParameter(TPascalParamKind::Value, kIndexParameter, kIndexType);
    GenerateTypeReferenceOf(property->TypeField(), items->TypeName);
    Register(element, items);
    auto assertIndex = [&](TPascalMethodWithImplementation* method) {
        auto* index = static_cast<TPascalNamedNode*>(method->Head->Parameters->First());
        TPascalCompareExpressionItem* low =
            method->Body->AddCall(QStringLiteral("Assert"))->AddArgument()->AddCompare(TPascalCompareKind::MoreOrEqual);
        low->Left->AddCallTo(index);
        low->Right->AddInteger(0);
        TPascalCompareExpressionItem* high =
            method->Body->AddCall(QStringLiteral("Assert"))->AddArgument()->AddCompare(TPascalCompareKind::Less);
        high->Left->AddCallTo(index);
        high->Right->AddCallTo(count);
        return index;
    };
    auto addIndex = [&](TPascalMethodHead* head) {
        head->AddParameter(TPascalParamKind::Value, kIndexParameter, kIndexType);
    };
    TPascalMethodWithImplementation* get =
        AddPropertyGetter(property, property->ReadSection(), kGetPrefix + name, property->TypeField(), type, addIndex);
    Register(property->ReadIndex(), assertIndex(get));
    items->ReadAccess->AddCallTo(get->Declaration);
    GeneratePropertySection(element, property->ReadSection(), get, forClass);
    if (!property->HasSetter()) return;
    TPascalMethodWithImplementation* set =
        AddPropertyAccess(kSetPrefix + name, forClass, nullptr, [&](TPascalMethodHead* head) {
            addIndex(head);
            AddValueParameter(head, property->TypeField(), type);
        });
    Register(property->WriteIndex(), assertIndex(set));
    Register(property->WriteValue(), static_cast<TPascalNamedNode*>(set->Head->Parameters->LastChild()));
    items->WriteAccess->AddCallTo(set->Declaration);
    GeneratePropertySection(element, property->WriteSection(), set, forClass);
}

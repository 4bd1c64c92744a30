// The statements of routine bodies and the values of value fields, as
// TCustomPascalGeneratorWorker builds them into the code model.

#include "pascal/generation/prCustomPascalGenerator.h"

#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/generation/prPascalGeneratorSupport.h"
#include "text/diTextorElement.h"

#include <QRegularExpression>

namespace {

const QString kSysUtilsUnit = QStringLiteral("SysUtils");
const QString kVariantsUnit = QStringLiteral("Variants");

TPascalCompareKind CompareKindOf(TCompareKind kind) {
    switch (kind) {
    case TCompareKind::Different: return TPascalCompareKind::Different;
    case TCompareKind::More: return TPascalCompareKind::More;
    case TCompareKind::MoreOrEqual: return TPascalCompareKind::MoreOrEqual;
    case TCompareKind::Less: return TPascalCompareKind::Less;
    case TCompareKind::LessOrEqual: return TPascalCompareKind::LessOrEqual;
    case TCompareKind::And: return TPascalCompareKind::And;
    case TCompareKind::Or: return TPascalCompareKind::Or;
    default: return TPascalCompareKind::Equal;
    }
}

TPascalOperationKind OperationKindOf(TOperationKind kind) {
    switch (kind) {
    case TOperationKind::Minus: return TPascalOperationKind::Subtract;
    case TOperationKind::Multiply: return TPascalOperationKind::Multiply;
    case TOperationKind::Divide: return TPascalOperationKind::Divide;
    case TOperationKind::DivideInt: return TPascalOperationKind::Div;
    case TOperationKind::Summ: break;
    }
    return TPascalOperationKind::Add;
}

TPascalParamKind ModeOfParameter(TNamespaceItem* parameterItem) {
    auto* parameter = ClassAs<TCustomParameter>(ElementOf(parameterItem));
    if (!parameter) return TPascalParamKind::Value;
    switch (parameter->Kind()) {
    case TParameterKind::InOut: return TPascalParamKind::Var;
    case TParameterKind::Out: return TPascalParamKind::Out;
    case TParameterKind::In: break;
    }
    return TPascalParamKind::Value;
}

// Whether a statement of the list assigns the node or passes it by reference.
bool WritesTo(TPascalCommands* commands, const TPascalNamedNode* node) {
    for (TNode* n : PreOrder<TNode>(commands)) {
        const TPascalCall* call = PascalAsCall(n);
        if (!call || call->Target != node) continue;
        const auto* holder = PascalAs<TPascalExpression>(call->Parent());
        if (holder && (holder->Mode == TPascalParamKind::Out || holder->Mode == TPascalParamKind::Var)) return true;
    }
    return false;
}

bool IsFieldEmpty(TCustomExpressionField* field) {
    if (!field || !field->IsFilled()) return true;
    if (field->GetTargetItem() || field->EmbeddedElement()) return false;
    return !HasPlainText(field);
}

// A call's arguments stand in square brackets when it indexes a value.
bool IndexesValue(TElement* target) {
    switch (DeclarationKindOf(target)) {
    case TDeclarationKind::Field:
    case TDeclarationKind::Parameter:
    case TDeclarationKind::Constant:
    case TDeclarationKind::ImplicitIdentifier:
    case TDeclarationKind::PropertyGetSet:
    case TDeclarationKind::PropertyWithField:
    case TDeclarationKind::ArrayProperty: break;
    default: return false;
    }
    return DeclaredTypeOf(target).Kind != TValueTypeKind::MethodType;
}

}  // namespace

// The current statement list and its insert point for a scope.
struct TCustomPascalGeneratorWorker::TCommandsScope {
    TCommandsScope(TMethodContext& context, TPascalCommands* commands, TPascalNode* before)
        : m_context(context), m_saved(context) {
        context.Commands = commands;
        context.InsertPoint = before;
        context.Current = nullptr;
    }
    ~TCommandsScope() {
        m_context.Commands = m_saved.Commands;
        m_context.InsertPoint = m_saved.InsertPoint;
        m_context.Current = m_saved.Current;
    }
    TCommandsScope(const TCommandsScope&) = delete;
    TCommandsScope& operator=(const TCommandsScope&) = delete;

private:
    TMethodContext& m_context;
    TMethodContext m_saved;
};

TTypeDescriptor TCustomPascalGeneratorWorker::Standard(const QString& name) { return StandardType(name); }

TPascalCommands* TCustomPascalGeneratorWorker::CurrentCommands() const {
    return m_method.Commands ? m_method.Commands : m_parts.InitializationCommands;
}

TPascalNode* TCustomPascalGeneratorWorker::CurrentInsertPoint() const {
    if (m_method.Current) return m_method.Current;
    return m_method.Commands ? m_method.InsertPoint : m_parts.InitializationInsertPoint;
}

// ---------------------------------------------------------------------------
// Statement lists

void TCustomPascalGeneratorWorker::GenerateCommands(TElement* container, TPascalCommands* commands,
                                                    TPascalNode* before) {
    auto* text = ClassAs<TTextorElement>(container);
    if (!text || !commands) return;
    Visit(text);
    TCommandsScope scope(m_method, commands, before);
    for (const TBodyPiece& piece : BodyPieces(text)) {
        m_method.Current = nullptr;
        if (piece.Element) {
            GenerateInMethod(piece.Element);
        } else {
            TPascalCustomCommand* command = commands->AddText(piece.Text.trimmed(), m_method.InsertPoint);
            command->Terminated = false;
        }
    }
}

void TCustomPascalGeneratorWorker::GenerateInMethod(TElement* element) {
    const TClass* cls = element->ClassType();
    TPascalCommands* commands = m_method.Commands;
    if (cls == TElement_Array::StaticClass() || cls == TElement_Enum::StaticClass() ||
        cls == TElement_MethodType::StaticClass() || cls == TElement_Pointer::StaticClass() ||
        cls == TElement_TypeAlias::StaticClass() || cls == TElement_Record::StaticClass() ||
        cls == TElement_Constant::StaticClass() || cls == TElement_SubObject::StaticClass() ||
        cls == TElement_Field::StaticClass() || cls == TElement_Method::StaticClass()) {
        GenerateLocalDeclaration(element);
    } else if (cls == TElement_IdentifierInMethod::StaticClass()) {
        GenerateIdentifierStatement(static_cast<TCustomIdentifierElement*>(element));
    } else if (cls == TElement_Let::StaticClass()) {
        GenerateLet(element);
    } else if (cls == TElement_LetIfDifferent::StaticClass()) {
        GenerateLetIfDifferent(element);
    } else if (cls == TElement_LetTemp::StaticClass()) {
        GenerateLetTemp(element);
    } else if (cls == TElement_Case::StaticClass()) {
        GenerateCase(element);
    } else if (cls == TElement_Code::StaticClass()) {
        Visit(element);
        auto* content = ClassAs<TTextorElement>(static_cast<TElement_Code*>(element)->Content());
        const QString text = content ? content->GetText() : QString();
        for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n|\u2029")))) {
            if (line.trimmed().isEmpty()) continue;
            commands->AddText(line, m_method.InsertPoint)->Terminated = false;
        }
    } else if (cls == TElement_Error::StaticClass()) {
        Visit(element);
        AddImplementationUnit(kSysUtilsUnit);
        TPascalCallInCommands* call = commands->AddCall(QStringLiteral("raise Exception.Create"), m_method.InsertPoint);
        m_method.Current = call;
        GenerateValueAs(static_cast<TElement_Error*>(element)->Message(), call->AddArgument(),
                        Standard(StandardTypeName::Str));
    } else if (cls == TElement_Assert::StaticClass()) {
        Visit(element);
        auto* assert = static_cast<TElement_Assert*>(element);
        TPascalCallInCommands* call = commands->AddCall(QStringLiteral("Assert"), m_method.InsertPoint);
        m_method.Current = call;
        GenerateValueAs(assert->Condition(), call->AddArgument(), Standard(StandardTypeName::Bool));
        if (!IsFieldEmpty(assert->Message()))
            GenerateValueAs(assert->Message(), call->AddArgument(), Standard(StandardTypeName::Str));
    } else if (cls == TElement_Break::StaticClass()) {
        Visit(element);
        commands->AddText(QStringLiteral("Break"), m_method.InsertPoint);
    } else if (cls == TElement_Continue::StaticClass()) {
        Visit(element);
        commands->AddText(QStringLiteral("Continue"), m_method.InsertPoint);
    } else if (cls == TElement_Return::StaticClass()) {
        GenerateReturn(element);
    } else if (cls == TElement_IfThen::StaticClass()) {
        GenerateIf(element);
    } else if (cls == TElement_While::StaticClass()) {
        GenerateWhile(element);
    } else if (cls == TElement_For::StaticClass()) {
        GenerateFor(element);
    } else if (cls == TElement_ForEach::StaticClass()) {
        GenerateForEach(element);
    } else if (cls == TElement_Rockfall::StaticClass()) {
        Visit(element);
        auto* rockfall = static_cast<TElement_Rockfall*>(element);
        TPascalTryFinally* s = commands->AddTryFinally(m_method.InsertPoint);
        GenerateCommands(rockfall->Content(), s->TryPart);
        GenerateCommands(rockfall->ContentFinally(), s->FinallyPart);
    } else if (cls == TElement_InDoubleMethod::StaticClass()) {
        GenerateInDoubleMethod(element);
    } else if (cls == TElement_Inc::StaticClass() || cls == TElement_Dec::StaticClass()) {
        GenerateIncDec(element, cls == TElement_Inc::StaticClass());
    } else {
        ReportUnexpectedElement(element);
    }
}

// ---------------------------------------------------------------------------
// Local declarations

TPascalVariable* TCustomPascalGeneratorWorker::AddAuxiliaryVariable(const QString& name, const TTypeDescriptor& type) {
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    auto* v = CreateNamedNode<TPascalVariable>(list, name);
    v->Provisional = true;
    AddTypeName(type, v->TypeName);
    return v;
}

void TCustomPascalGeneratorWorker::GenerateLocalDeclaration(TElement* element) {
    const TClass* cls = element->ClassType();
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    if (cls == TElement_Constant::StaticClass()) {
        GenerateConstant(element, list, true);
    } else if (cls == TElement_Field::StaticClass()) {
        GenerateLocalField(element);
    } else if (cls == TElement_SubObject::StaticClass()) {
        GenerateLocalSubObject(element);
    } else if (cls == TElement_Method::StaticClass()) {
        GenerateLocalMethod(element);
    } else {
        // Types go before the variables and routines that may use them.
        TNode* before = nullptr;
        for (TPascalNode* n = list->First(); n && !before; n = n->Next())
            if (GetEntryKind(n) != TPascalEntryKind::Type && GetEntryKind(n) != TPascalEntryKind::Const) before = n;
        GenerateType(element, list, true, before);
    }
}

void TCustomPascalGeneratorWorker::GenerateLocalField(TElement* element) {
    Visit(element);
    auto* field = static_cast<TCustomFieldWithValue*>(element);
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    auto* v = CreateNamedNode<TPascalVariable>(list, NameOf(element));
    v->Provisional = true;
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    if (field->ValueField() && field->ValueField()->IsFilled())
        AddAssignment(CurrentCommands(), m_method.InsertPoint, v, DeclaredTypeOf(element), field->ValueField());
}

void TCustomPascalGeneratorWorker::GenerateLocalSubObject(TElement* element) {
    Visit(element);
    auto* field = static_cast<TCustomField*>(element);
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    auto* v = CreateNamedNode<TPascalVariable>(list, NameOf(element));
    v->Provisional = true;
    Register(element, v);
    GenerateTypeReferenceOf(field->TypeField(), v->TypeName);
    TPascalLet* create = CurrentCommands()->AddLet(m_method.InsertPoint);
    create->Target->AddCallTo(v);
    GenerateTypeReferenceOf(field->TypeField(), create->Value);
    create->Value->AddCall(QStringLiteral(".Create"));
    if (m_method.Method) m_method.Method->Body->AddCallEx(QString(), v, QStringLiteral(".Free"));
}

TPascalMethodWithImplementation* TCustomPascalGeneratorWorker::GenerateLocalMethod(TElement* element) {
    Visit(element);
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(list, NameOf(element));
    m->Provisional = true;
    Register(element, m);
    FillHead(element, m->Head, false, false);
    if (m->Head->IsFunction()) CopySimpleExpression(m->Head->ResultType, m->ResultVariable->TypeName);
    RegisterParameters(element, m);
    GenerateBody(element, m, m_method.ClassMethod);
    return m;
}

// ---------------------------------------------------------------------------
// Statements

void TCustomPascalGeneratorWorker::GenerateIdentifierStatement(TCustomIdentifierElement* element) {
    Visit(element);
    auto* call = CreateCall<TPascalCallInCommands>(m_method.Commands, QString(), nullptr, QString(),
                                                   m_method.InsertPoint);
    m_method.Current = call;
    GenerateIdentifier(element, nullptr, call);
}

void TCustomPascalGeneratorWorker::AddAssignment(TPascalCommands* commands, TPascalNode* before,
                                                 TPascalNamedNode* target, const TTypeDescriptor& type,
                                                 TCustomExpressionField* value) {
    if (IsFieldEmpty(value) && IsStaticArrayOrRecord(type)) {
        AddClearing(commands, before, target, type);
        return;
    }
    TCommandsScope scope(m_method, commands, before);
    TPascalLet* let = commands->AddLet(before);
    m_method.Current = let;
    let->Target->AddCallTo(target);
    if (value)
        GenerateValue(value, let->Value);
    else
        AddEmptyValue(type, let->Value);
}

void TCustomPascalGeneratorWorker::AddClearing(TPascalCommands* commands, TPascalNode* before,
                                               TPascalNamedNode* target, const TTypeDescriptor& type) {
    if (IsStaticArrayOrRecord(type)) {
        TPascalCallInCommands* call = commands->AddCall(QStringLiteral("FillChar"), before);
        call->AddArgument(TPascalParamKind::Var)->AddCallTo(target);
        call->AddArgument()->AddCall(QStringLiteral("SizeOf"))->AddArgument()->AddCallTo(target);
        call->AddArgument()->AddInteger(0);
        return;
    }
    TPascalLet* let = commands->AddLet(before);
    let->Target->AddCallTo(target);
    AddEmptyValue(type, let->Value);
}

void TCustomPascalGeneratorWorker::GenerateLet(TElement* element) {
    Visit(element);
    auto* let = static_cast<TElement_Let*>(element);
    TTypeDescriptor type;
    let->LeftSide()->GetValueType(type);
    if (IsFieldEmpty(let->RightSide()) && IsStaticArrayOrRecord(type)) {
        TPascalCallInCommands* call = m_method.Commands->AddCall(QStringLiteral("FillChar"), m_method.InsertPoint);
        m_method.Current = call;
        GenerateValue(let->LeftSide(), call->AddArgument(TPascalParamKind::Var));
        GenerateValue(let->LeftSide(), call->AddArgument()->AddCall(QStringLiteral("SizeOf"))->AddArgument());
        call->AddArgument()->AddInteger(0);
        return;
    }
    TPascalLet* s = m_method.Commands->AddLet(m_method.InsertPoint);
    m_method.Current = s;
    GenerateRawValue(let->LeftSide(), s->Target);
    GenerateValue(let->RightSide(), s->Value);
}

void TCustomPascalGeneratorWorker::GenerateLetIfDifferent(TElement* element) {
    Visit(element);
    auto* let = static_cast<TCustomLetWithBody*>(element);
    TPascalIf* s = m_method.Commands->AddIf(m_method.InsertPoint);
    m_method.Current = s;
    TPascalCompareExpressionItem* compare = s->Condition->AddCompare(TPascalCompareKind::Different);
    GenerateRawValue(let->LeftSide(), compare->Left);
    GenerateValue(let->RightSide(), compare->Right);
    TPascalLet* assign = s->ThenPart->AddLet();
    GenerateRawValue(let->LeftSide(), assign->Target);
    GenerateValue(let->RightSide(), assign->Value);
    GenerateCommands(let->Content(), s->ThenPart);
}

void TCustomPascalGeneratorWorker::GenerateLetTemp(TElement* element) {
    Visit(element);
    auto* let = static_cast<TCustomLetWithBody*>(element);
    TTypeDescriptor type;
    let->LeftSide()->GetValueType(type);
    TPascalVariable* saved = AddAuxiliaryVariable(QStringLiteral("SavedValue"), type);
    TPascalLet* save = m_method.Commands->AddLet(m_method.InsertPoint);
    m_method.Current = save;
    save->Target->AddCallTo(saved);
    GenerateRawValue(let->LeftSide(), save->Value);
    TPascalLet* assign = m_method.Commands->AddLet(m_method.InsertPoint);
    m_method.Current = assign;
    GenerateRawValue(let->LeftSide(), assign->Target);
    GenerateValue(let->RightSide(), assign->Value);
    TPascalTryFinally* block = m_method.Commands->AddTryFinally(m_method.InsertPoint);
    m_method.Current = block;
    GenerateCommands(let->Content(), block->TryPart);
    TPascalLet* restore = block->FinallyPart->AddLet();
    GenerateRawValue(let->LeftSide(), restore->Target);
    restore->Value->AddCallTo(saved);
}

void TCustomPascalGeneratorWorker::GenerateCase(TElement* element) {
    Visit(element);
    auto* element_ = static_cast<TElement_Case*>(element);
    TTypeDescriptor selectorType;
    element_->Value()->GetValueType(selectorType);
    std::vector<TElement_CaseItem*> items;
    if (auto* content = ClassAs<TTextorElement>(element_->Content())) {
        Visit(content);
        for (TElement* child : EmbeddedElements(content)) {
            if (auto* item = ClassAs<TElement_CaseItem>(child))
                items.push_back(item);
            else
                ReportUnexpectedElement(child);
        }
    }
    // Labels of a case statement must be constants.
    bool constantLabels = true;
    for (TElement_CaseItem* item : items) {
        TElement* target = ElementOf(item->Value() ? item->Value()->GetTargetItem() : nullptr);
        const TDeclarationKind kind = DeclarationKindOf(target);
        if (target && kind != TDeclarationKind::Constant && kind != TDeclarationKind::EnumItem) constantLabels = false;
        if (item->Value() && item->Value()->EmbeddedElement()) constantLabels = false;
    }
    if (IsOrdinalType(selectorType) && constantLabels) {
        TPascalCase* s = m_method.Commands->AddCase(m_method.InsertPoint);
        m_method.Current = s;
        GenerateValue(element_->Value(), s->Selector);
        for (TElement_CaseItem* item : items) {
            Visit(item);
            TPascalCaseItem* branch = s->Items->AddCaseItem();
            GenerateValueAs(item->Value(), branch->Values, selectorType);
            GenerateCommands(item->Content(), branch->Commands);
        }
        GenerateCommands(element_->ContentElse(), s->ElsePart);
        return;
    }
    if (items.empty()) return;
    TPascalCommands* list = m_method.Commands;
    TPascalNode* before = m_method.InsertPoint;
    TPascalIf* last = nullptr;
    for (TElement_CaseItem* item : items) {
        Visit(item);
        TPascalIf* s = list->AddIf(before);
        if (!last) m_method.Current = s;
        TPascalCompareExpressionItem* compare = s->Condition->AddCompare(TPascalCompareKind::Equal);
        GenerateValue(element_->Value(), compare->Left);
        GenerateValueAs(item->Value(), compare->Right, selectorType);
        GenerateCommands(item->Content(), s->ThenPart);
        list = s->ElsePart;
        before = nullptr;
        last = s;
    }
    GenerateCommands(element_->ContentElse(), last->ElsePart);
}

void TCustomPascalGeneratorWorker::GenerateReturn(TElement* element) {
    Visit(element);
    auto* returnElement = static_cast<TElement_Return*>(element);
    const TReturnInfo info = returnElement->GetResultInfo();
    TPascalMethodWithImplementation* routine = m_method.Method;
    const bool function = routine && routine->Head->IsFunction();
    if (function) {
        const TTypeDescriptor type = TypeOfItem(info.ResultType);
        AddAssignment(m_method.Commands, m_method.InsertPoint, routine->ResultVariable, type,
                      IsFieldEmpty(returnElement->Result()) ? nullptr : returnElement->Result());
    }
    if (!(function && info.IsLast && m_method.LoopDepth == 0))
        m_method.Commands->AddText(QStringLiteral("Exit"), m_method.InsertPoint);
}

void TCustomPascalGeneratorWorker::GenerateIf(TElement* element) {
    Visit(element);
    auto* ifThen = static_cast<TElement_IfThen*>(element);
    TPascalIf* s = m_method.Commands->AddIf(m_method.InsertPoint);
    m_method.Current = s;
    GenerateValueAs(ifThen->Condition(), s->Condition, Standard(StandardTypeName::Bool));
    GenerateCommands(ifThen->Content(), s->ThenPart);
    if (ifThen->ContentElse()) GenerateCommands(ifThen->ContentElse(), s->ElsePart);
}

void TCustomPascalGeneratorWorker::GenerateWhile(TElement* element) {
    Visit(element);
    auto* loop = static_cast<TElement_While*>(element);
    TPascalWhile* s = m_method.Commands->AddWhile(m_method.InsertPoint);
    m_method.Current = s;
    ++m_lateEvaluation;
    if (IsFieldEmpty(loop->Condition()))
        s->Condition->AddBoolean(false);
    else
        GenerateValueAs(loop->Condition(), s->Condition, Standard(StandardTypeName::Bool));
    --m_lateEvaluation;
    ++m_method.LoopDepth;
    GenerateCommands(loop->Content(), s->Body);
    --m_method.LoopDepth;
}

void TCustomPascalGeneratorWorker::GenerateFor(TElement* element) {
    Visit(element);
    auto* loop = static_cast<TElement_For*>(element);
    TPascalFor* s = m_method.Commands->AddFor(m_method.InsertPoint);
    m_method.Current = s;
    s->Downward = loop->Backward();
    // The compiler counts only with a local variable of the routine: any
    // other counter is given each value by a local one.
    TPascalNamedNode* counter = NodeFor(loop->Counter() ? loop->Counter()->GetTargetItem() : nullptr);
    const bool local = counter && m_locals && counter->Parent() == m_locals &&
                       counter->NodeKind() == TPascalKind::Variable;
    if (local || !m_method.Method) {
        GenerateRawValue(loop->Counter(), s->Counter);
    } else {
        TTypeDescriptor type;
        loop->Counter()->GetValueType(type);
        TPascalVariable* own = AddAuxiliaryVariable(QStringLiteral("I"), type);
        s->Counter->AddCallTo(own);
        TPascalLet* give = s->Body->AddLet();
        GenerateRawValue(loop->Counter(), give->Target);
        give->Value->AddCallTo(own);
    }
    GenerateValueAs(loop->MinValue(), s->LowValue, Standard(StandardTypeName::Int));
    GenerateValueAs(loop->MaxValue(), s->HighValue, Standard(StandardTypeName::Int));
    ++m_method.LoopDepth;
    GenerateCommands(loop->Body(), s->Body);
    --m_method.LoopDepth;
    // Nor may the body change the counter: then a local one counts and the
    // body's counter is given each value.
    if (local && WritesTo(s->Body, counter)) {
        TTypeDescriptor type;
        loop->Counter()->GetValueType(type);
        TPascalVariable* own = AddAuxiliaryVariable(QStringLiteral("I"), type);
        s->Counter->First()->Free();
        s->Counter->AddCallTo(own);
        TPascalLet* give = s->Body->AddLet(s->Body->First());
        give->Target->AddCallTo(counter);
        give->Value->AddCallTo(own);
    }
}

void TCustomPascalGeneratorWorker::GenerateForEach(TElement* element) {
    Visit(element);
    auto* loop = static_cast<TElement_ForEach*>(element);
    TForEachArrayField* array = loop->Array();
    Visit(array);
    TNamespaceItem* item = array ? array->GetTargetItem() : nullptr;
    TElement* over = ElementOf(item);
    TTypeDescriptor type = Standard(StandardTypeName::Variant);
    const bool overEnum = ClassAs<TElement_Enum>(over) != nullptr;
    if (overEnum)
        type = TypeOfItem(item);
    else if (over)
        type = DeclaredTypeOf(over);
    else if (array && ClassifyNumberLiteral(array->GetText().trimmed()) == TNumberLiteral::Integer)
        type = Standard(StandardTypeName::Int);
    const bool overString = StandardNameOf(type) == StandardTypeName::Str;
    TPascalVariable* counter =
        AddAuxiliaryVariable(QStringLiteral("I"), overEnum ? type : Standard(StandardTypeName::Index));
    if (loop->LocalIndex()) RegisterItem(MainNameItem(loop->LocalIndex()), counter);
    TPascalFor* s = m_method.Commands->AddFor(m_method.InsertPoint);
    m_method.Current = s;
    s->Downward = loop->Backward();
    s->Counter->AddCallTo(counter);
    auto over_ = [&](TPascalExpression* e) {
        if (TPascalNamedNode* node = NodeFor(item))
            e->AddCallTo(node);
        else
            e->AddText(array ? array->GetText().trimmed() : QString());
    };
    if (overEnum) {
        s->LowValue->AddCall(QStringLiteral("Low"))->AddArgument()->AddCallTo(counter);
        s->HighValue->AddCall(QStringLiteral("High"))->AddArgument()->AddCallTo(counter);
    } else if (overString) {
        s->LowValue->AddInteger(1);
        over_(s->HighValue->AddCall(QStringLiteral("Length"))->AddArgument());
    } else if (type.Kind == TValueTypeKind::Array) {
        over_(s->LowValue->AddCall(QStringLiteral("Low"))->AddArgument());
        over_(s->HighValue->AddCall(QStringLiteral("High"))->AddArgument());
    } else {
        s->LowValue->AddInteger(0);
        TPascalOperationExpressionItem* last = s->HighValue->AddOperation(TPascalOperationKind::Subtract);
        over_(last->Left);
        last->Right->AddInteger(1);
    }
    TFieldElementLocalItem* localItem = loop->LocalItem();
    if (localItem && localItem->IsReferenced() && !overEnum) {
        TTypeDescriptor itemType = overString ? Standard(StandardTypeName::Char) : TypeOfItem(localItem->TypeItem());
        TPascalVariable* itemVariable = AddAuxiliaryVariable(QStringLiteral("Item"), itemType);
        RegisterItem(MainNameItem(localItem), itemVariable);
        TPascalLet* take = s->Body->AddLet();
        take->Target->AddCallTo(itemVariable);
        TPascalCallInExpression* at = take->Value->AddCall(QString());
        if (TPascalNamedNode* node = NodeFor(item))
            at->Target = node;
        else
            at->Name = array ? array->GetText().trimmed() : QString();
        at->BracketKind = TPascalBracketKind::Square;
        at->AddArgument()->AddCallTo(counter);
    }
    ++m_method.LoopDepth;
    GenerateCommands(loop->Body(), s->Body);
    --m_method.LoopDepth;
}

void TCustomPascalGeneratorWorker::GenerateIncDec(TElement* element, bool increment) {
    Visit(element);
    auto* incDec = static_cast<TIncDecElement*>(element);
    TPascalCallInCommands* call =
        m_method.Commands->AddCall(increment ? QStringLiteral("Inc") : QStringLiteral("Dec"), m_method.InsertPoint);
    m_method.Current = call;
    GenerateRawValue(incDec->Value(), call->AddArgument(TPascalParamKind::Var));
}

void TCustomPascalGeneratorWorker::GenerateInDoubleMethod(TElement* element) {
    Visit(element);
    auto* inDouble = static_cast<TElement_InDoubleMethod*>(element);
    auto* target = ClassAs<TCustomDoubleMethodElement>(
        ElementOf(inDouble->DoubleMethod() ? inDouble->DoubleMethod()->GetTargetItem() : nullptr));
    if (!target) {
        ReportUnexpectedElement(element);
        return;
    }
    m_method.Commands->AddCall(target->GetEnterMethodName(), m_method.InsertPoint);
    TPascalTryFinally* block = m_method.Commands->AddTryFinally(m_method.InsertPoint);
    GenerateCommands(inDouble->Content(), block->TryPart);
    block->FinallyPart->AddCall(target->GetExitMethodName());
}

// ---------------------------------------------------------------------------
// Values

void TCustomPascalGeneratorWorker::GenerateValue(TCustomExpressionField* field, TPascalExpression* e) {
    if (!field) return;
    Visit(field);
    TTypeDescriptor expected;
    GetExpectedType(field, expected);
    GenerateValueAs(field, e, expected);
}

void TCustomPascalGeneratorWorker::GenerateValueAs(TCustomExpressionField* field, TPascalExpression* e,
                                                   const TTypeDescriptor& expected) {
    if (!field) {
        AddEmptyValue(expected, e);
        return;
    }
    Visit(field);
    if (IsFieldEmpty(field)) {
        AddEmptyValue(expected, e);
        return;
    }
    TTypeDescriptor actual;
    field->GetValueType(actual);
    if (expected.Kind == TValueTypeKind::Bool && actual.Kind != TValueTypeKind::Bool &&
        actual.Kind != TValueTypeKind::Variant) {
        AddAsBoolean(e, actual, [&](TPascalExpression* x) { GenerateRawValue(field, x); });
    } else if (expected.Kind == TValueTypeKind::EnumSet && actual.Kind == TValueTypeKind::Enum) {
        GenerateRawValue(field, e->AddSetValue(TPascalBracketKind::Square)->Values);
    } else if (AddConverted(e, expected, actual, [&](TPascalExpression* x) { GenerateRawValue(field, x); })) {
    } else if (TElement* embedded = field->EmbeddedElement()) {
        GenerateValueElement(embedded, e, expected);
    } else {
        GenerateRawValue(field, e);
    }
}

void TCustomPascalGeneratorWorker::GenerateRawValue(TCustomExpressionField* field, TPascalExpression* e) {
    if (!field) return;
    Visit(field);
    if (TElement* embedded = field->EmbeddedElement()) {
        TTypeDescriptor expected;
        GetExpectedType(field, expected);
        GenerateValueElement(embedded, e, expected);
    } else if (field->GetTargetItem()) {
        AddReference(field, e);
    } else {
        const QString text = field->GetText().trimmed();
        if (!text.isEmpty()) e->AddText(text);
    }
}

TPascalCall* TCustomPascalGeneratorWorker::AddReference(TCustomExpressionField* field, TPascalExpression* e) {
    TNamespaceItem* item = field->GetTargetItem();
    QString buffer;
    const QStringView text = field->TextView(buffer).trimmed();
    TPascalNamedNode* node = NodeFor(item);
    if (!node || !item || text != item->GetName()) return e->AddCall(text.toString());
    TPascalCall* call = e->AddCallTo(node);
    call->Name = PathBefore(item, text);
    return call;
}

QString TCustomPascalGeneratorWorker::PathBefore(TNamespaceItem* item, QStringView text) {
    // Called with the item's name as text: an item that is its own original
    // has no path (its name is not read again).
    TNamespaceItem* original = item->GetOriginal();
    if (original == item) return QString();
    const QString own = original->GetName();
    return text.size() > own.size() && text.endsWith(own) ? text.left(text.size() - own.size()).toString() : QString();
}

void TCustomPascalGeneratorWorker::AddTypeName(const TTypeDescriptor& type, TPascalExpression* e) {
    if (type.Kind == TValueTypeKind::ObjectType) {
        auto* object = ClassAs<TElement_Object>(ElementOf(type.TypeItem));
        TPascalNamedNode* node = object && object->ClassOfName() ? NodeFor(object->ClassOfName()->Item()) : nullptr;
        if (node)
            e->AddCallTo(node);
        else
            e->AddText(QStringLiteral("TClass"));
        return;
    }
    if (type.TypeItem)
        GenerateTypeItem(type.TypeItem, QString(), e);
    else
        e->AddText(QStringLiteral("Variant"));
}

void TCustomPascalGeneratorWorker::AddEmptyValue(const TTypeDescriptor& type, TPascalExpression* e) {
    switch (type.Kind) {
    case TValueTypeKind::Integer:
    case TValueTypeKind::Float:
    case TValueTypeKind::DateTime: e->AddInteger(0); break;
    case TValueTypeKind::Index: e->AddInteger(-1); break;
    case TValueTypeKind::Bool: e->AddBoolean(false); break;
    case TValueTypeKind::String: e->AddString(QString()); break;
    case TValueTypeKind::Char: e->AddText(QStringLiteral("#0")); break;
    case TValueTypeKind::Pointer:
    case TValueTypeKind::Object:
    case TValueTypeKind::ObjectType:
    case TValueTypeKind::EventValue:
    case TValueTypeKind::MethodType: e->AddText(QStringLiteral("nil")); break;
    case TValueTypeKind::Variant:
        AddImplementationUnit(kVariantsUnit);
        e->AddText(QStringLiteral("Null"));
        break;
    case TValueTypeKind::Array:
        if (!IsStaticArrayOrRecord(type)) {
            e->AddText(QStringLiteral("nil"));
            break;
        }
        AddTypeName(type, e->AddCall(QStringLiteral("Default"))->AddArgument());
        break;
    case TValueTypeKind::Record: AddTypeName(type, e->AddCall(QStringLiteral("Default"))->AddArgument()); break;
    case TValueTypeKind::Enum: AddTypeName(type, e->AddCall(QStringLiteral("Low"))->AddArgument()); break;
    case TValueTypeKind::EnumSet: e->AddText(QStringLiteral("[]")); break;
    }
}

void TCustomPascalGeneratorWorker::AddAsBoolean(TPascalExpression* e, const TTypeDescriptor& type,
                                                const std::function<void(TPascalExpression*)>& fill) {
    switch (type.Kind) {
    case TValueTypeKind::Bool:
    case TValueTypeKind::Variant: fill(e); return;
    case TValueTypeKind::EventValue:
    case TValueTypeKind::MethodType:
    case TValueTypeKind::Pointer:
    case TValueTypeKind::Object:
    case TValueTypeKind::ObjectType: fill(e->AddCall(QStringLiteral("Assigned"))->AddArgument()); return;
    case TValueTypeKind::Index: {
        TPascalCompareExpressionItem* compare = e->AddCompare(TPascalCompareKind::MoreOrEqual);
        fill(compare->Left);
        compare->Right->AddInteger(0);
        return;
    }
    default: {
        TPascalCompareExpressionItem* compare = e->AddCompare(TPascalCompareKind::Different);
        fill(compare->Left);
        AddEmptyValue(type, compare->Right);
        return;
    }
    }
}

bool TCustomPascalGeneratorWorker::AddConverted(TPascalExpression* e, const TTypeDescriptor& expected,
                                                const TTypeDescriptor& actual,
                                                const std::function<void(TPascalExpression*)>& fill) {
    using K = TValueTypeKind;
    const bool whole = actual.Kind == K::Integer || actual.Kind == K::Index;
    auto call = [&](const QString& name) { fill(e->AddCall(name)->AddArgument()); };
    switch (expected.Kind) {
    case K::Char:
        if (whole) call(QStringLiteral("Chr"));
        else if (actual.Kind == K::String) {
            // The first character, #0 for an empty text.
            fill(e->AddCall(QStringLiteral("PChar"))->AddArgument());
            e->AddText(QStringLiteral("^"));
        } else {
            return false;
        }
        return true;
    case K::Integer:
    case K::Index:
        if (actual.Kind == K::Char || actual.Kind == K::Bool || actual.Kind == K::Enum) call(QStringLiteral("Ord"));
        else if (actual.Kind == K::Float || actual.Kind == K::DateTime) call(QStringLiteral("Trunc"));
        else return false;
        return true;
    case K::String:
        if (whole) call(QStringLiteral("IntToStr"));
        else if (actual.Kind == K::Float) call(QStringLiteral("FloatToStr"));
        else return false;
        AddImplementationUnit(kSysUtilsUnit);
        return true;
    default: return false;
    }
}

void TCustomPascalGeneratorWorker::GenerateValueElement(TElement* element, TPascalExpression* e,
                                                        const TTypeDescriptor& expected) {
    Visit(element);
    const TClass* cls = element->ClassType();
    if (cls == TElement_IdentifierInExpression::StaticClass()) {
        GenerateIdentifier(static_cast<TCustomIdentifierElement*>(element), e, nullptr);
    } else if (cls == TElement_String::StaticClass()) {
        e->AddString(static_cast<TTextorElement*>(element)->GetText());
    } else if (cls == TElement_Compare::StaticClass()) {
        GenerateCompare(element, e);
    } else if (cls == TElement_Operation::StaticClass()) {
        GenerateOperation(element, e);
    } else if (cls == TElement_Self::StaticClass()) {
        e->AddText(m_method.ClassMethod ? QStringLiteral("ClassType") : QStringLiteral("Self"));
    } else if (cls == TElement_Not::StaticClass()) {
        GenerateValueAs(static_cast<TElement_Not*>(element)->Value(), e->AddNot()->Operand,
                        Standard(StandardTypeName::Bool));
    } else if (cls == TElement_True::StaticClass()) {
        e->AddBoolean(true);
    } else if (cls == TElement_ToType::StaticClass()) {
        GenerateToType(element, e, expected);
    } else if (cls == TElement_MethodInExpression::StaticClass()) {
        GenerateMethodInExpression(element, e, expected);
    } else if (cls == TElement_SizeOf::StaticClass()) {
        GenerateTypeReferenceOf(static_cast<TElement_SizeOf*>(element)->Value(),
                                e->AddCall(QStringLiteral("SizeOf"))->AddArgument());
    } else if (cls == TElement_Fingers::StaticClass()) {
        if (m_lateEvaluation > 0)
            GenerateFingersFunction(element, e, expected);
        else
            GenerateFingers(element, e, expected);
    } else {
        ReportUnexpectedElement(element);
        AddEmptyValue(expected, e);
    }
}

void TCustomPascalGeneratorWorker::GenerateToType(TElement* element, TPascalExpression* e,
                                                  const TTypeDescriptor& expected) {
    auto* toType = static_cast<TElement_ToType*>(element);
    const TTypeDescriptor target = TypeOfItem(toType->NewType() ? toType->NewType()->GetTargetItem() : nullptr);
    TTypeDescriptor actual;
    toType->Value()->GetValueType(actual);
    auto value = [&](TPascalExpression* x) { GenerateRawValue(toType->Value(), x); };
    if (expected.Kind == TValueTypeKind::Bool && target.Kind == TValueTypeKind::Object) {
        TPascalIsTypeExpressionItem* is = e->AddIsType();
        value(is->Value);
        GenerateTypeReferenceOf(toType->NewType(), is->TypeName);
    } else if (target.Kind == TValueTypeKind::Float &&
               (actual.Kind == TValueTypeKind::Integer || actual.Kind == TValueTypeKind::Index)) {
        // A whole number is a float as it is: Pascal casts no number to a float.
        value(e);
    } else if (!AddConverted(e, target, actual, value)) {
        TPascalToTypeExpressionItem* cast = e->AddToType();
        value(cast->Value);
        GenerateTypeReferenceOf(toType->NewType(), cast->TypeName);
    }
}

void TCustomPascalGeneratorWorker::GenerateCompare(TElement* element, TPascalExpression* e) {
    auto* compare = static_cast<TElement_Compare*>(element);
    const TCompareKind kind = compare->CompareKind();
    if (kind == TCompareKind::Same) {
        AddImplementationUnit(kSysUtilsUnit);
        TPascalCallInExpression* call = e->AddCall(QStringLiteral("SameText"));
        GenerateValue(compare->LeftSide(), call->AddArgument());
        GenerateValue(compare->RightSide(), call->AddArgument());
        return;
    }
    if (kind == TCompareKind::In || kind == TCompareKind::NotIn) {
        TPascalExpression* where = kind == TCompareKind::NotIn ? e->AddNot()->Operand : e;
        TPascalItemInSetExpressionItem* in = where->AddItemInSet();
        GenerateValue(compare->LeftSide(), in->Item);
        GenerateValue(compare->RightSide(), in->SetValue);
        return;
    }
    const bool logical = kind == TCompareKind::And || kind == TCompareKind::Or;
    if (logical) ++m_lateEvaluation;
    TPascalCompareExpressionItem* item = e->AddCompare(CompareKindOf(kind));
    GenerateValue(compare->LeftSide(), item->Left);
    GenerateValue(compare->RightSide(), item->Right);
    for (size_t i = 2; i < compare->Values().size(); ++i) {
        TOperatorValueField* value = compare->Values()[i];
        if (IsFieldEmpty(value)) continue;
        GenerateValue(value, item->AddOperand());
    }
    if (logical) --m_lateEvaluation;
}

void TCustomPascalGeneratorWorker::GenerateOperation(TElement* element, TPascalExpression* e) {
    auto* operation = static_cast<TElement_Operation*>(element);
    TPascalOperationExpressionItem* item = e->AddOperation(OperationKindOf(operation->OperationKind()));
    GenerateValue(operation->LeftSide(), item->Left);
    GenerateValue(operation->RightSide(), item->Right);
    for (size_t i = 2; i < operation->Values().size(); ++i) {
        TOperatorValueField* value = operation->Values()[i];
        if (IsFieldEmpty(value)) continue;
        GenerateValue(value, item->AddOperand());
    }
}

void TCustomPascalGeneratorWorker::GenerateFingers(TElement* element, TPascalExpression* e,
                                                   const TTypeDescriptor& expected) {
    auto* fingers = static_cast<TElement_Fingers*>(element);
    TTypeDescriptor type = expected;
    if (type.Kind == TValueTypeKind::Variant) fingers->ValueTrue()->GetValueType(type);
    TPascalVariable* value = AddAuxiliaryVariable(QStringLiteral("Value"), type);
    TPascalCommands* commands = CurrentCommands();
    if (!commands) {
        e->AddCallTo(value);
        return;
    }
    TPascalIf* s = commands->AddIf(CurrentInsertPoint());
    {
        TCommandsScope scope(m_method, commands, s);
        m_method.Current = s;
        GenerateValueAs(fingers->Condition(), s->Condition, Standard(StandardTypeName::Bool));
    }
    AddAssignment(s->ThenPart, nullptr, value, type, fingers->ValueTrue());
    AddAssignment(s->ElsePart, nullptr, value, type, fingers->ValueFalse());
    e->AddCallTo(value);
}

void TCustomPascalGeneratorWorker::GenerateNestedFunction(TElement* element, TPascalExpression* e,
                                                          const TTypeDescriptor& type,
                                                          const std::function<void(TPascalMethodWithImplementation*)>& fill) {
    TPascalDeclarations* list = m_locals ? m_locals : m_parts.ImplementationClause->Declarations;
    auto* m = CreateNamedNode<TPascalMethodWithImplementation>(list, QStringLiteral("CalcValue"));
    m->Provisional = true;
    m->Head->Kind = TPascalMethodKind::Function;
    AddTypeName(type, m->Head->ResultType);
    AddTypeName(type, m->ResultVariable->TypeName);
    const TMethodContext saved = m_method;
    TPascalDeclarations* savedLocals = m_locals;
    const int savedLate = m_lateEvaluation;
    m_method = TMethodContext{m, element, saved.ClassMethod, m->Body, nullptr, 0};
    m_locals = m->LocalDeclarations;
    m_lateEvaluation = 0;
    fill(m);
    m_method = saved;
    m_locals = savedLocals;
    m_lateEvaluation = savedLate;
    e->AddCallTo(m);
}

void TCustomPascalGeneratorWorker::GenerateFingersFunction(TElement* element, TPascalExpression* e,
                                                           const TTypeDescriptor& expected) {
    auto* fingers = static_cast<TElement_Fingers*>(element);
    TTypeDescriptor type = expected;
    if (type.Kind == TValueTypeKind::Variant) fingers->ValueTrue()->GetValueType(type);
    GenerateNestedFunction(element, e, type, [&](TPascalMethodWithImplementation* m) {
        TPascalIf* s = m->Body->AddIf();
        m_method.Current = s;
        GenerateValueAs(fingers->Condition(), s->Condition, Standard(StandardTypeName::Bool));
        AddAssignment(s->ThenPart, nullptr, m->ResultVariable, type, fingers->ValueTrue());
        AddAssignment(s->ElsePart, nullptr, m->ResultVariable, type, fingers->ValueFalse());
    });
}

void TCustomPascalGeneratorWorker::GenerateMethodInExpression(TElement* element, TPascalExpression* e,
                                                              const TTypeDescriptor& expected) {
    auto* method = static_cast<TElement_MethodInExpression*>(element);
    GenerateNestedFunction(element, e, expected, [&](TPascalMethodWithImplementation* m) {
        if (method->Body() && method->Body()->Result()) Register(method->Body()->Result(), m->ResultVariable);
        AddClearing(m->Body, nullptr, m->ResultVariable, expected);
        GenerateCommands(method->Body(), m->Body);
    });
}

void TCustomPascalGeneratorWorker::GenerateIdentifier(TCustomIdentifierElement* element, TPascalExpression* e,
                                                      TPascalCall* call) {
    TIdentifierField* field = element->Identifier();
    Visit(field);
    TNamespaceItem* item = field ? field->GetTargetItem() : nullptr;
    QString buffer;
    const QStringView text = field ? field->TextView(buffer).trimmed() : QStringView();
    TPascalNamedNode* node = NodeFor(item);
    TElement* target = ElementOf(item);
    if (!call) call = e->AddCall(QString());
    if (DeclarationKindOf(target) == TDeclarationKind::OverrideInherited) {
        // The overridden method of the parent.
        TElement_Override* owner = nullptr;
        for (TNode* n = target; n && !owner; n = n->Parent()) owner = ClassAs<TElement_Override>(n);
        TElement* method = owner && owner->Method() ? ElementOf(owner->Method()->GetTargetItem()) : nullptr;
        call->Name = QStringLiteral("inherited ") + NameOf(method);
    } else if (node && item && text == item->GetName()) {
        call->Target = node;
        call->Name = PathBefore(item, text);
    } else {
        call->Name = text.toString();
        // A private unit-level routine called before its implementation.
        if (!node && target && target->ClassType() == TElement_Method::StaticClass() && target->Parent() == Root &&
            !m_calledEarly.count(target) && m_parts.ImplementationClause) {
            TPascalNode* entry = call;
            while (entry && entry->Parent() != m_parts.ImplementationClause->Declarations)
                entry = entry->ParentNode();
            if (entry) m_calledEarly.emplace(target, entry);
        }
    }
    TIdentifierParameterValues* values = element->ParameterValues();
    if (!values) return;
    Visit(values);
    const std::vector<TIdentifierParameterValue*> list = values->Values();
    const bool square = IndexesValue(target);
    if (square) {
        call->BracketKind = TPascalBracketKind::Square;
        bool anyFilled = false;
        for (TIdentifierParameterValue* value : list) anyFilled = anyFilled || !IsFieldEmpty(value);
        if (!anyFilled) return;
    }
    for (TIdentifierParameterValue* value : list) {
        TPascalExpression* argument = call->AddArgument(ModeOfParameter(value->Parameter()));
        if (argument->Mode == TPascalParamKind::Value || argument->Mode == TPascalParamKind::Const)
            GenerateValue(value, argument);
        else
            GenerateRawValue(value, argument);
    }
}

#pragma once
// The Pascal generator: a scheme generator worker that turns a program
// module (the Pascal elements under a program root) into one Pascal unit.
//   TPascalGeneratorUnitClauseData  what a unit clause still needs after the
//                                   walk: units to use, classes and
//                                   interfaces to declare ahead
//   TPascalNodesCreatedForNames     the code node made for each declaration,
//                                   keyed by the namespace item of its name,
//                                   so references write final names
//   TCustomPascalGeneratorWorker    the walk: every element is generated into
//                                   the code model (declarations here,
//                                   statements and values in
//                                   prPascalGeneratorCode.cpp); then the
//                                   units and forward declarations the code
//                                   needs are added, the model is simplified
//                                   when asked, names are made unique and the
//                                   module is written. A descendant supplies
//                                   the module, the clause of a visibility and
//                                   the output.
// No handler writes text: everything is built of code-model nodes.

#include "elements/coGeneratorWorker.h"
#include "elements/diBaseElements.h"
#include "pascal/elements/prStandard.h"
#include "pascal/generator/psModules.h"
#include "scheme/diHashIndex.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class TCommandsContainer;
class TCommandsContainerWithResult;
class TCustomFullPropertyElement;
class TCustomPropertyWithField;
class TElement_PropertyArray;
class TParametersContainer;
class TCustomReferenceElement;
class TCustomExpressionField;
class TCustomIdentifierElement;
class TCustomMethod;
class TElement_Object;
class TExpressionField;
class TNamespaceItem;
class TTextorElement;
class TPascalCodeWriter;

// What one clause of the unit still needs once the walk is done; each list
// holds a name once.
class TPascalGeneratorUnitClauseData {
public:
    QStringList Units;       // units the clause must use (compared without case)
    QStringList Classes;     // classes to declare ahead, in the order met
    QStringList Interfaces;  // interfaces to declare ahead
    // The top-level declaration of the clause that first referred to each
    // class of Classes, and the object element, for the warning when they
    // cannot share a type section.
    QHash<QString, TPascalNode*> FirstReference;
    QHash<QString, TElement*> ClassElements;

    // Appends name unless the list holds it (units: without case); answers
    // whether it was appended.
    static bool AddOnce(QStringList& list, const QString& name, bool ignoreCase = false);
};

// The code node made for a declaration. Keys are namespace items (the item
// of a name field, as references reach it through GetOriginal) or elements.
// The first pair of a key wins. A key's hash is a bijective mix of its
// address, so equal hashes are equal keys.
class TPascalNodesCreatedForNames {
public:
    void Add(const void* key, TPascalNamedNode* node);
    TPascalNamedNode* Find(const void* key) const;
    int Count() const noexcept { return int(m_nodes.Count()); }

private:
    static uint64_t HashOf(const void* key) noexcept { return MixHash(reinterpret_cast<uintptr_t>(key)); }
    THashIndex<TPascalNamedNode> m_nodes;
};

// The module a descendant makes and the places generated statements go.
struct TPascalModuleParts {
    TNodePtr<TPascalModule> Module;
    TPascalUnitClause* InterfaceClause = nullptr;  // nil: no interface clause
    TPascalUnitClause* ImplementationClause = nullptr;
    TPascalCommands* InitializationCommands = nullptr;
    TPascalNode* InitializationInsertPoint = nullptr;  // nil: at the end
    TPascalCommands* FinalizationCommands = nullptr;
    TPascalNode* FinalizationInsertPoint = nullptr;
};

// "Object [%1] is used before its declaration with a constant, variable or
// routine declared between them: ..." (a warning of the run).
constexpr int strObjectUsedBeforeDeclaration = 13100;

// The identifier restrictions generation narrows every name field to:
// letters, digits and "_", a letter or "_" first, Latin letters only.
constexpr uint32_t kPascalNameRestrictions = 0x487;

class TCustomPascalGeneratorWorker : public TSchemeGeneratorWorker {
public:
    TCustomPascalGeneratorWorker();
    ~TCustomPascalGeneratorWorker() override;

    // Simplify the model before writing (the preview sets it).
    bool Simplify = false;

    // The Pascal name of a standard type of the program model (exact,
    // case-sensitive); any other name unchanged.
    static QString MapStandardType(const QString& name);

    // ---- the run ----
    // Narrows every identifier name field to Pascal identifiers, then the
    // inherited preparation.
    void Prepare() override;
    void Generate() override;
    void GenerateElement(TElement* element) override;
    void GenerateFileConnection(TElement* element) override;
    bool IsFileLevelElement(TElement* element) override;

    // A used unit in the interface clause (the implementation clause without
    // one); "System" adds nothing.
    void AddUsedUnit(TElement* element, const QString& unitName, const QString& fileName);
    // Moves the collected units into the uses lists.
    void CollectUnits();
    // The forward declarations the clause needs, at the head of the type
    // section that first refers to each class.
    void WritePredeclarations(TPascalGeneratorUnitClauseData* data, TPascalUnitClause* clause);

    // ---- during a run ----
    TPascalModule* Module() const noexcept { return m_parts.Module.get(); }
    TPascalNodesCreatedForNames* NodesForNames() const noexcept { return m_nodes.get(); }

protected:
    // ---- what a descendant supplies ----
    virtual void CreateModule(TPascalModuleParts& parts) = 0;
    // The clause that takes a declaration of the visibility.
    virtual TPascalUnitClause* GetClause(TVisibility visibility) = 0;
    virtual QString GetOutputFileName() { return OutputFileName; }
    // The output file name without folder and extension.
    virtual QString GetModuleName();
    virtual void ConnectedModuleUsed(TElement* element, const QString& unitName, const QString& fileName) {}
    virtual void FileWritten(const QString& fileName) {}
    virtual void PublicMethodAdded(TPascalMethodWithImplementation* method) {}
    // Writes the module into a new writer and saves it to the output file.
    virtual void WriteOutput();
    // The header lines as comments, then the module.
    void WriteModule(TPascalCodeWriter& writer);

    const TPascalModuleParts& Parts() const noexcept { return m_parts; }

private:
    // Asks early for the texts of element and the unit-level elements after
    // it, unless it was among those asked for last.
    void PrefetchFrom(TElement* element);

    // ---- the context of the element being generated ----
    struct TClassContext {
        TPascalClass* Class = nullptr;
        TElement_Object* Element = nullptr;
        TPascalMethodWithImplementation* Constructor = nullptr;
        TPascalMethodWithImplementation* Destructor = nullptr;
        TPascalNode* ConstructorInsertPoint = nullptr;  // creations go before it
        TPascalNode* DestructorInsertPoint = nullptr;   // releases go before it
        // The "Create" element with parameters, made beside the made one.
        bool CommentWritten = false;
    };
    struct TMethodContext {
        TPascalMethodWithImplementation* Method = nullptr;
        TElement* Element = nullptr;
        bool ClassMethod = false;
        // The statement list, where its next statement goes (nil: at the
        // end) and the statement being built, before which the statements a
        // value needs first go.
        TPascalCommands* Commands = nullptr;
        TPascalNode* InsertPoint = nullptr;
        int LoopDepth = 0;
        TPascalNode* Current = nullptr;
    };

    // ---- declarations (prCustomPascalGenerator.cpp) ----
    TPascalDeclarations* DeclarationsOf(TVisibility visibility);
    TVisibility VisibilityOf(TElement* element);
    void Register(TElement* element, TPascalNamedNode* node);
    void RegisterItem(TNamespaceItem* item, TPascalNamedNode* node);
    // The node made for what item names; nil.
    TPascalNamedNode* NodeFor(TNamespaceItem* item) const;
    // The element's name text.
    static QString NameOf(TElement* element);
    TPascalNode* GenerateType(TElement* element, TPascalDeclarations* list, bool provisional, TNode* before);
    void GenerateEnum(TElement* element, TPascalDeclarations* list, bool provisional, TNode* before);
    void GenerateConstant(TElement* element, TPascalDeclarations* list, bool provisional);
    void GenerateUnitField(TElement* element);
    void GenerateUnitSubObject(TElement* element);
    void GenerateLocalField(TElement* element);
    void GenerateLocalSubObject(TElement* element);
    TPascalMethodWithImplementation* GenerateUnitMethod(TElement* element);
    TPascalMethodWithImplementation* GenerateLocalMethod(TElement* element);
    void GenerateClass(TElement_Object* object, TPascalDeclarations* list);
    void GenerateClassMembers(TTextorElement* members);
    void GenerateClassMember(TElement* member);
    void GenerateClassMethod(TElement* element);
    void GenerateClassConstructor(TElement* element);
    void GenerateClassField(TElement* element, TVisibility visibility);
    void GenerateClassSubObject(TElement* element);
    void GenerateClassConstant(TElement* element);
    void GenerateClassEvent(TElement* element);
    void GenerateClassHandler(TElement* element);
    void GenerateClassOverride(TElement* element);
    void GenerateClassDoubleMethod(TElement* element);
    // ---- properties (prPascalGeneratorProperties.cpp) ----
    void GenerateClassProperty(TElement* element);
    void GenerateClassPropertyWithField(TElement* element);
    void GenerateClassPropertyWithSubObject(TElement* element);
    // The private backing field and the public property of a property with a
    // field (or sub-object), both typed, the field registered for its name.
    std::pair<TPascalVariable*, TPascalClassProperty*> AddFieldAndProperty(TCustomPropertyWithField* property,
                                                                          const QString& name);
    void GenerateClassPropertyArray(TElement* element);
    // The count property of an array property, with its access methods.
    TPascalClassProperty* GenerateArrayCount(TElement_PropertyArray* property);
    // A private access method: a function of resultType (nil: a procedure),
    // a static class method for a class property; parameters fills the rest.
    TPascalMethodWithImplementation* AddPropertyAccess(const QString& name, bool forClass,
                                                       TCustomReferenceElement* resultType,
                                                       const std::function<void(TPascalMethodHead*)>& parameters);
    // The getter of a full property, its "Result" mapped and cleared first.
    TPascalMethodWithImplementation* AddPropertyGetter(TCustomFullPropertyElement* property,
                                                       TCommandsContainerWithResult* section, const QString& name,
                                                       TCustomReferenceElement* resultType, const TTypeDescriptor& type,
                                                       const std::function<void(TPascalMethodHead*)>& parameters);
    // "AValue" of the property's type.
    TPascalMethodParameter* AddValueParameter(TPascalMethodHead* head, TCustomReferenceElement* type,
                                              const TTypeDescriptor& descriptor);
    void FillPropertyParameters(TParametersContainer* parameters, TPascalMethodParameters* list);
    void RegisterPropertyParameters(TParametersContainer* parameters, TPascalMethodHead* head);
    // The statements of a property's section into an access method (into
    // commands before `before`; nil: the body's end).
    void GeneratePropertySection(TElement* owner, TElement* section, TPascalMethodWithImplementation* method,
                                 bool forClass, TPascalCommands* commands = nullptr, TPascalNode* before = nullptr);
    // A method of the current class with its declaration in section; the
    // head is filled by fill before the declaration copies it.
    TPascalMethodWithImplementation* AddMemberMethod(TPascalVisibility section, const QString& name,
                                                     const std::function<void(TPascalMethodHead*)>& fill);
    // The statements of a section of a member into the routine's body
    // (before `before`, nil: at the end).
    void GenerateSection(TElement* owner, TElement* section, TPascalMethodWithImplementation* method,
                         TPascalCommands* commands, TPascalNode* before = nullptr);
    // "Sender: TObject" at the head of the parameters.
    static void AddSenderParameter(TPascalMethodHead* head);
    TPascalMethodWithImplementation* MadeConstructor();
    TPascalMethodWithImplementation* MadeDestructor();
    void EnsureClassComment();
    // A type reference: mapped standard type, call to a declared node, or text.
    void GenerateTypeReferenceOf(TCustomReferenceElement* field, TPascalExpression* e);
    void GenerateTypeItem(TNamespaceItem* item, const QString& text, TPascalExpression* e);
    // Fills a routine head (kind, parameters, result type, calling convention).
    void FillHead(TElement* element, TPascalMethodHead* head, bool classMethod, bool isConstructor);
    // The statements every generated body starts with, then the content.
    void GenerateBody(TElement* element, TPascalMethodWithImplementation* method, bool classMethod);
    // Maps the parameters of the element to those of the implementation.
    void RegisterParameters(TElement* element, TPascalMethodWithImplementation* method);
    TPascalMethodDeclaration* DeclareCopy(TPascalDeclarations* list, TPascalMethodWithImplementation* method,
                                          TNode* before = nullptr);
    void RecordForward(TElement_Object* object, TPascalExpression* reference);
    // Private constants and types that public declarations refer to move to
    // the interface, ahead of the first declaration that needs them.
    void PromoteInterfaceDependencies();
    void PromoteDependenciesOf(TPascalNode* entry);
    void AddUnitTo(TVisibility visibility, const QString& unit);
    void AddImplementationUnit(const QString& unit);

    // ---- statements and values (prPascalGeneratorCode.cpp) ----
    void GenerateCommands(TElement* container, TPascalCommands* commands, TPascalNode* before = nullptr);
    void GenerateInMethod(TElement* element);
    void GenerateLocalDeclaration(TElement* element);
    void GenerateIdentifierStatement(TCustomIdentifierElement* element);
    void GenerateLet(TElement* element);
    void GenerateLetTemp(TElement* element);
    void GenerateLetIfDifferent(TElement* element);
    void GenerateCase(TElement* element);
    void GenerateReturn(TElement* element);
    void GenerateIf(TElement* element);
    void GenerateWhile(TElement* element);
    void GenerateFor(TElement* element);
    void GenerateForEach(TElement* element);
    void GenerateIncDec(TElement* element, bool increment);
    void GenerateInDoubleMethod(TElement* element);
    // A value field into e: the expected type decides conversions.
    void GenerateValue(TCustomExpressionField* field, TPascalExpression* e);
    void GenerateValueAs(TCustomExpressionField* field, TPascalExpression* e, const TTypeDescriptor& expected);
    void GenerateRawValue(TCustomExpressionField* field, TPascalExpression* e);
    void GenerateValueElement(TElement* element, TPascalExpression* e, const TTypeDescriptor& expected);
    void GenerateToType(TElement* element, TPascalExpression* e, const TTypeDescriptor& expected);
    void GenerateCompare(TElement* element, TPascalExpression* e);
    void GenerateOperation(TElement* element, TPascalExpression* e);
    void GenerateFingers(TElement* element, TPascalExpression* e, const TTypeDescriptor& expected);
    // A provisional function "CalcValue" of type, made among the locals (or the
    // implementation's declarations) and filled with the method context moved
    // into it; e calls it.
    void GenerateNestedFunction(TElement* element, TPascalExpression* e, const TTypeDescriptor& type,
                                const std::function<void(TPascalMethodWithImplementation*)>& fill);
    void GenerateFingersFunction(TElement* element, TPascalExpression* e, const TTypeDescriptor& expected);
    void GenerateMethodInExpression(TElement* element, TPascalExpression* e, const TTypeDescriptor& expected);
    void GenerateIdentifier(TCustomIdentifierElement* element, TPascalExpression* e, TPascalCall* call);
    // The path before a member seen under another name ("FItem." of
    // "FItem.Play"), kept in front of the member's node; empty for none.
    static QString PathBefore(TNamespaceItem* item, QStringView text);
    TPascalCall* AddReference(TCustomExpressionField* field, TPascalExpression* e);
    // The empty value of a type into e.
    void AddEmptyValue(const TTypeDescriptor& type, TPascalExpression* e);
    void AddTypeName(const TTypeDescriptor& type, TPascalExpression* e);
    void AddAssignment(TPascalCommands* commands, TPascalNode* before, TPascalNamedNode* target,
                       const TTypeDescriptor& type, TCustomExpressionField* value);
    // The routine's empty result, or FillChar for a record or a static array.
    void AddClearing(TPascalCommands* commands, TPascalNode* before, TPascalNamedNode* target,
                     const TTypeDescriptor& type);
    // A provisional local of the current routine (a unit-level variable in
    // the implementation outside routines).
    TPascalVariable* AddAuxiliaryVariable(const QString& name, const TTypeDescriptor& type);
    // A standard type's descriptor.
    static TTypeDescriptor Standard(const QString& name);
    TPascalCommands* CurrentCommands() const;
    TPascalNode* CurrentInsertPoint() const;
    // "x" as a Boolean: Assigned(x), x >= 0 or x <> the empty value.
    void AddAsBoolean(TPascalExpression* e, const TTypeDescriptor& type,
                      const std::function<void(TPascalExpression*)>& fill);
    // A value of type actual where expected is wanted, when Pascal needs a
    // conversion between them (Chr, Ord, Trunc, the text of a number, the
    // first character of a text); false when it needs none.
    bool AddConverted(TPascalExpression* e, const TTypeDescriptor& expected, const TTypeDescriptor& actual,
                      const std::function<void(TPascalExpression*)>& fill);
    // A statement list of the current routine to fill, for the span of a scope.
    struct TCommandsScope;

    TPascalModuleParts m_parts;
    std::unique_ptr<TPascalNodesCreatedForNames> m_nodes;
    std::unique_ptr<TPascalGeneratorUnitClauseData> m_interfaceData;
    std::unique_ptr<TPascalGeneratorUnitClauseData> m_implementationData;
    TClassContext m_class;
    TMethodContext m_method;
    // Local declarations of the current routine (nil at unit level).
    TPascalDeclarations* m_locals = nullptr;
    // The unit-level top element being generated and its clause's list.
    TPascalDeclarations* m_currentList = nullptr;
    // Private unit-level routines called before their implementation, with
    // the top-level declaration holding the first call.
    std::unordered_map<TElement*, TPascalNode*> m_calledEarly;
    // The classes whose first implementation got its comment line.
    std::unordered_set<TPascalClass*> m_commentedClasses;
    // While a While condition or an and/or operand is generated.
    int m_lateEvaluation = 0;
    // The unit-level elements whose texts were last asked for early (only
    // compared with the element about to be generated, never read).
    std::vector<TElement*> m_prefetched;
};

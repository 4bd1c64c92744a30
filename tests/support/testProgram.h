#pragma once
// Program schemes for the tests of the Pascal elements: the program root
// (TProgramRoot: module classes, the standard types, the application's
// values, no descendants' options and no class methods) that also accepts
// the test program elements and what a test adds, and program elements whose
// classification a test chooses: a type with a scope of its own, a type
// alias, a named declaration and a routine with a body. Helpers add them at
// the end of a text.

#if QUILLANE_TEST_LAYER >= 7

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prScheme.h"

#include <memory>

class TElement_TestProgramRoot : public TProgramRoot {
    T_ELEMENT_CLASS(TElement_TestProgramRoot)
public:
    // Accepted besides the module classes.
    TElementClassList MoreAccepted;
    TNamespaceConnection* StandardTypesConnection() const noexcept { return SystemUnitConnection(); }

    void FillAcceptedClasses(TElementClassList& list) override;
};

// A named declaration of the kind the test sets (a field by default).
class TElement_TestDeclaration : public TprNamedElement {
    T_ELEMENT_CLASS(TElement_TestDeclaration)
public:
    TDeclarationKind Kind = TDeclarationKind::Field;
    TProgramClassification GetClassification() const override { return {Kind}; }
};

// The content of a TElement_TestType: takes test declarations and the
// members an object takes.
class TElement_TestMembers : public TTitledTextContainer {
    T_ELEMENT_CLASS(TElement_TestMembers)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    // Rich content, one element per line.
    void Create() override;
};

// A type whose members stand in its content and register in its own
// namespace; a record by default. An object or a record is also a scope.
// With a second name, that name's item names the type too (a set-of or
// class-of name).
class TElement_TestType : public TprNamedElementWithContent, public INamespaceOwner, public ITypeElement {
    T_ELEMENT_CLASS(TElement_TestType)
public:
    TDeclarationKind Kind = TDeclarationKind::Record;
    TNamespace* Members() const noexcept { return m_members; }
    TNameField* SecondName() const noexcept { return m_secondName; }
    // Makes the second name field with that text.
    void AddSecondName(const QString& name);

    TNamespace* GetNamespace() override { return m_members; }
    const TElementClass* GetContentClass() override;
    TProgramClassification GetClassification() const override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

private:
    TNamespace* m_members = nullptr;
    TNameField* m_secondName = nullptr;
};

// A type alias: "RefType" names the aliased type.
class TElement_TestAlias : public TprNamedElement, public ITypeElement, public ITypeAliasElement {
    T_ELEMENT_CLASS(TElement_TestAlias)
public:
    TTypeReferenceField* RefType() const noexcept { return m_refType; }
    TNamespaceItem* GetRefTypeItem() override;
    TProgramClassification GetClassification() const override { return {TDeclarationKind::TypeAlias}; }
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

private:
    TTypeReferenceField* m_refType = nullptr;
};

// A routine: a name and a body whose connection sees the enclosing scope.
class TElement_TestRoutine : public TNamedElementWithCommandContentWithResult {
    T_ELEMENT_CLASS(TElement_TestRoutine)
public:
    TCommandsContainerWithResult* Body() const noexcept {
        return static_cast<TCommandsContainerWithResult*>(Content());
    }
    void TreePlacementChanged() override;
};

// The test program elements in the command classes while it lives, so that
// routine bodies take them.
class TTestCommandClasses {
public:
    TTestCommandClasses();
    ~TTestCommandClasses();
    TTestCommandClasses(const TTestCommandClasses&) = delete;
    TTestCommandClasses& operator=(const TTestCommandClasses&) = delete;
};

// A scheme "ProgramModule" with a TElement_TestProgramRoot that also accepts
// the test program elements.
std::unique_ptr<TScheme> MakeTestProgramScheme();
inline TElement_TestProgramRoot* ProgramRootOf(TScheme* scheme) {
    return static_cast<TElement_TestProgramRoot*>(scheme->Root());
}
// A new element of cls at the end of text (any text, accepted or not).
TElement* AppendElement(TTextorElement* text, const TElementClass* cls);
template <class T>
T* AppendElement(TTextorElement* text) {
    return static_cast<T*>(AppendElement(text, T::StaticClass()));
}
// A named element of class T at the end of text, named name.
template <class T>
T* AppendNamed(TTextorElement* text, const QString& name) {
    T* element = AppendElement<T>(text);
    element->NameField()->SetText(name);
    return element;
}

#endif

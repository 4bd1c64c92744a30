#pragma once
// The rich-text container of a sequence of statements (a routine body or a
// section of a statement), which is also a scope: it owns a namespace for
// the declarations made inside it and a connection through which the names
// of the enclosing scope are seen; and the titled and named element bases
// whose content is such a container.

#include "elements/diBaseElements.h"
#include "elements/diTitled.h"
#include "pascal/elements/prCommon.h"

class TFieldElementResult;
class TNamespaceConnection;

// Text options and restrictions of a commands container.
constexpr uint32_t kCommandsContainerTextorOptions = 0x40131;
constexpr uint32_t kCommandsContainerRestrictions = trLineFeeds;

class TCommandsContainer : public TTitledTextContainer,
                           public IMethodsOwner,
                           public INamespaceOwner,
                           public IProgramElement {
    T_ELEMENT_CLASS(TCommandsContainer)
public:
    TCommandsContainer() noexcept = default;

    // Sub-elements: the element tree owns them.
    TNamespace* Namespace() const noexcept { return m_namespace; }
    // Owned by Namespace; its target is set by the element that owns the container.
    TNamespaceConnection* Connection() const noexcept { return m_connection; }

    // The class of Connection.
    virtual const TElementClass* GetConnectionClass();

    // IMethodsOwner: a local routine has neither.
    bool AllowsDescendantsOptions() override { return false; }
    bool AllowsClassMethods() override { return false; }
    // INamespaceOwner: local declarations register in Namespace.
    TNamespace* GetNamespace() override { return m_namespace; }
    TProgramClassification GetClassification() const override { return {TDeclarationKind::None, TScopeKind::CommandsContainer}; }

    // Statements, local declarations, comments and logic frames; no text substitutions.
    void FillAcceptedClasses(TElementClassList& list) override;
    // The enumeration and the method items under the "Other" items, small.
    void AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCommandsContainer() override = default;

private:
    TNamespace* m_namespace = nullptr;
    TNamespaceConnection* m_connection = nullptr;
};

// A routine body with the implicit "Result" (registered by the routine).
class TCommandsContainerWithResult : public TCommandsContainer {
    T_ELEMENT_CLASS(TCommandsContainerWithResult)
public:
    TFieldElementResult* Result() const noexcept { return m_result; }

    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TCommandsContainerWithResult() override = default;

private:
    TFieldElementResult* m_result = nullptr;
};

class TTitledElementWithCommandContent : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TTitledElementWithCommandContent)
public:
    const TElementClass* GetContentClass() override;

protected:
    ~TTitledElementWithCommandContent() override = default;
};

class TTitledElementWithCommandContentWithResult : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TTitledElementWithCommandContentWithResult)
public:
    const TElementClass* GetContentClass() override;

protected:
    ~TTitledElementWithCommandContentWithResult() override = default;
};

class TNamedElementWithCommandContentWithResult : public TNamedElementWithContent, public IProgramElement {
    T_ELEMENT_CLASS(TNamedElementWithCommandContentWithResult)
public:
    const TElementClass* GetContentClass() override;
    const TElementClass* GetNameFieldClass() override;
    // Always the name.
    void FocusFirst() override;
    TProgramClassification GetClassification() const override { return {}; }

protected:
    ~TNamedElementWithCommandContentWithResult() override = default;
};

void InitCommandsContainerUnit();
void FinalCommandsContainerUnit();

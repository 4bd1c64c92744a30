#pragma once
// The program module: the one scheme kind of the program model and its root.
//   TProgramSchemeDescriptor  "Program Module": files "prm" whose root node is
//                             "ProgramModule", root class TProgramRoot
//   TProgramRoot              the unit level of a module: takes the module
//                             classes besides file connections and texts, and
//                             sees the standard types through a connection of
//                             its own, so that "int" or "str" resolve in every
//                             part of the module
//
// Methods at unit level offer neither the options that concern descendants
// nor "Without Instance" (the root answers IMethodsOwner so). The folder
// "VCL" beside the program is listed among the scheme's folders, so that
// paths below it are shown and resolved relative to it.

#include "elements/coRootWithPreProcessing.h"
#include "pascal/elements/prCommon.h"

class TProgramSchemeDescriptor : public TSchemeWithPreProcessingDescriptor {
public:
    QString GetName() const override;
    QString GetDescription() const override;
    QString GetUntitledName() const override;
    QString GetFileExtension() const override;
    QString GetKindName() const override;
    int GetImageIndex() const override;
    int GetOrder() const override;
    const TElementClass* GetRootClass() const override;
};

// The one descriptor of the program kind (immutable; the registry refers to it).
const TProgramSchemeDescriptor& ProgramSchemeDescriptor() noexcept;

// The folder listed for a program module: "VCL" in the program's folder,
// with a trailing separator.
QString ProgramLibraryFolder();

class TProgramRoot : public TRootWithPreProcessing, public IMethodsOwner, public IProgramElement {
    T_ELEMENT_CLASS(TProgramRoot)
public:
    TProgramRoot() noexcept = default;

    // Sub-element: the element tree owns it.
    TNamespaceConnection* SystemUnitConnection() const noexcept { return m_systemUnit; }

    // IMethodsOwner: neither at unit level.
    bool AllowsDescendantsOptions() override { return false; }
    bool AllowsClassMethods() override { return false; }
    // IProgramElement
    TProgramClassification GetClassification() const override { return {TDeclarationKind::None, TScopeKind::ProgramRoot}; }

    // The module classes first, then what the root with pre-processing takes.
    void FillAcceptedClasses(TElementClassList& list) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    // The Constant item stands among the insert commands with a large button.
    void AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) override;
    // The inherited root, the library folder, then the standard types' connection.
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TProgramRoot() override = default;

private:
    TNamespaceConnection* m_systemUnit = nullptr;
};

// Registers the program kind with the scheme kinds.
void InitSchemeUnit();
void FinalSchemeUnit();

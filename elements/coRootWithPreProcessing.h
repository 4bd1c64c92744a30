#pragma once
// The root of schemes that a generator processes:
//   TSchemeWithPreProcessingDescriptor  the base of the kinds whose root is one
//   TRootWithPreProcessing              a TRoot that also takes file
//                                       connections and texts at its top
//                                       level, and sees the application's
//                                       built-in values ("ApplicationName",
//                                       "ApplicationVersion") through a
//                                       connection of its own
//
// The connection's covers answer private, so the application's values are
// never offered to other files through a file connection; inside the scheme
// they resolve like any other name.

#include "elements/coRoot.h"

class TSchemeWithPreProcessingDescriptor : public TSchemeDescriptor {};

class TRootWithPreProcessing : public TRoot {
    T_ELEMENT_CLASS(TRootWithPreProcessing)
public:
    TRootWithPreProcessing() noexcept = default;

    // Sub-element: the element tree owns it.
    TNamespaceConnection* ApplicationValuesConnection() const noexcept { return m_applicationValues; }

    // File connections and texts, then what the root takes.
    void FillAcceptedClasses(TElementClassList& list) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    // The root, then the connection to the application's values.
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TRootWithPreProcessing() override = default;

private:
    TNamespaceConnection* m_applicationValues = nullptr;
};

#pragma once
// Scheme files for tests from the element layer up: a root that takes file
// connections and texts (and MoreAccepted) at its top level; TTestFiles,
// schemes of named files that answer each other's requests for a connected
// file (or raise RaiseId instead); and the steps that fill them.

#if QUILLANE_TEST_LAYER >= 5

#include "elements/coValueElements.h"

#include <memory>
#include <vector>

class TElement_TestFileRoot : public TRoot {
    T_ELEMENT_CLASS(TElement_TestFileRoot)
public:
    TElementClassList MoreAccepted;
    void FillAcceptedClasses(TElementClassList& list) override;
};

class TTestFiles {
public:
    // A scheme "TestFile" of a TElement_TestFileRoot named fileName (nothing is written).
    TScheme* Add(const QString& fileName);
    static TElement_TestFileRoot* RootOf(TScheme* scheme) {
        return static_cast<TElement_TestFileRoot*>(scheme->Root());
    }

    QStringList Asked;  // every file name asked for
    int RaiseId = 0;

private:
    // Freed last first.
    std::vector<std::unique_ptr<TScheme>> m_schemes;
};

// A text (with value, when given), a file connection or a substitution at the end.
TElement_Text* AddText(TScheme* scheme, const QString& name, const QString& value = QString());
TElement_FileConnection* AddConnection(TScheme* scheme, const QString& name, const QString& fileName);
TElement_Substitution* AddSubstitution(TElement_Text* text, const QString& name);

#endif

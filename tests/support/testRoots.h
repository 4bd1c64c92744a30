#pragma once
// Scheme files for tests of roots, value elements and file connections:
//   TElement_TestFileRoot  a root that takes file connections and texts at
//                          its top level, as the roots of generated schemes do
//   TTestFiles             schemes of named files that answer each other's
//                          requests for a connected file (and can be made to
//                          fail); the schemes go last first
// and the steps that fill them: a text, a file connection, a substitution.
// Compiled into every test program from the element layer up.

#if QUILLANE_TEST_LAYER >= 5

#include "elements/coValueElements.h"

#include <QStringList>

#include <memory>
#include <vector>

class TElement_TestFileRoot : public TRoot {
    T_ELEMENT_CLASS(TElement_TestFileRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
};

class TTestFiles {
public:
    TTestFiles() = default;
    ~TTestFiles();
    TTestFiles(const TTestFiles&) = delete;
    TTestFiles& operator=(const TTestFiles&) = delete;

    // A scheme "TestFile" of a TElement_TestFileRoot (or rootClass), saved as
    // fileName (nothing is written), whose requests for connected files this
    // object answers.
    TScheme* Add(const QString& fileName, const TElementClass* rootClass = nullptr);
    TScheme* Find(const QString& fileName) const;
    static TRoot* RootOf(TScheme* scheme) { return static_cast<TRoot*>(scheme->Root()); }

    // Every file name asked for, in order.
    QStringList Asked;
    // The answer raises this string's exception instead (0: answers).
    int RaiseId = 0;

private:
    void Answer(TScheme* sender, const QString& fileName, TScheme*& scheme);

    std::vector<std::unique_ptr<TScheme>> m_schemes;
};

// A text named name at the end of the scheme's top level; value (when given)
// its value.
TElement_Text* AddText(TScheme* scheme, const QString& name, const QString& value = QString());
// A file connection named name to fileName at the end of the top level.
TElement_FileConnection* AddConnection(TScheme* scheme, const QString& name, const QString& fileName);
// A substitution of name at the end of text's value.
TElement_Substitution* AddSubstitution(TElement_Text* text, const QString& name);

#endif

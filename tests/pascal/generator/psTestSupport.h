#pragma once
// Shared helpers of the code-model tests: writing a node or a unit to text,
// golden units, statements built from short descriptions, and the compiler
// harness that checks that written units compile.

#include "pascal/generator/psModules.h"
#include "support/testStrings.h"

#include <QString>
#include <QStringList>

#include <ostream>
#include <utility>
#include <vector>

// Golden texts print as text when they differ.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << "\n" << text.toStdString();
}

// The text a node writes into a fresh Pascal writer (each line ended by "\n";
// the empty line that a final line end leaves open is not counted).
QString WriteToText(TPascalNode* node);
// Lines joined with "\n", each ended by "\n": golden texts stay readable.
QString Lines(std::initializer_list<const char*> lines);
// Expects the text to be the golden unit tests/data/pascal/<name>.pas (with
// QUILLANE_UPDATE_GOLDEN set in the environment, writes it there instead).
void ExpectGoldenUnit(const QString& text, const QString& name);

// Compiles units with the Free Pascal compiler in Delphi mode: every unit is
// saved as <Name>.pas in a temporary folder and one program using all of them
// is compiled in one run. Skipped (Available() false) when there is no fpc.
class TFpcHarness {
public:
    static bool Available();
    void Add(const QString& unitName, const QString& text);
    // Writes, names and adds a unit model; answers its text.
    QString AddUnit(TPascalUnit* unit, bool simplify = false);
    // Compiles what was added into a program whose body is `body` and, with
    // `output`, runs it and answers its output there; answers the compiler's
    // (or the run's) complaint, empty on success.
    QString CompileAndRun(const QString& body, QString* output) const;

private:
    std::vector<std::pair<QString, QString>> m_units;
};

// Writes the unit and adds it to `fpc` (which may hold the units it uses),
// expects them to compile (when there is fpc) and answers the unit's text.
QString CompiledUnit(TPascalUnit* unit, bool simplify = false, TFpcHarness fpc = {});

// Writes the unit (simplified with `simplify`) into `text`, compiles it into
// a program whose body is `body` and runs it; answers the output split at
// white space (a failure fails the test and answers nothing).
QStringList RunUnit(TPascalUnit* unit, const QString& body, bool simplify, QString* text);

// The text of tests/data/pascal/<fileName>.
QString TestData(const QString& fileName);

// ---------------------------------------------------------------------------
// Statements and expressions from descriptions in a bracketed notation
// (tests/data/pascal/README.md). A word names a declaration visible in the
// routine (a local, "Result", a parameter, a declaration of the routine's own
// list), a Boolean literal, or verbatim text.

TPascalNamedNode* Declared(TPascalMethodWithImplementation* routine, const QString& name);
void AddStatements(TPascalCommands* list, TPascalMethodWithImplementation* routine, const QString& description);
void AddExpression(TPascalExpression* e, TPascalMethodWithImplementation* routine, const QString& description);

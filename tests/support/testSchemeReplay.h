#pragma once
// Replaying arbitrary bytes as a scheme file, shared by the scheme fuzzer and
// the test that replays its corpus. The bytes are read as knot text (as far
// as they parse, as the editor does), loaded under a visual root shown on a
// headless sheet, finished, laid out, saved, loaded again and saved again.

#if QUILLANE_TEST_LAYER >= 3

#include "support/testElements.h"
#include "support/testVisualElements.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// A test box that accepts itself, the panel and every test kind; any other
// name becomes an unaccepted element, with a message and a messages sign.
class TElement_ReplayBox : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ReplayBox)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
};

struct TSchemeReplay {
    bool loaded = false;    // the first load ended without an exception
    int messages = 0;       // messages of the first load
    QString first;          // the first save
    QString second;         // the save after loading the first save
    bool reread = true;     // the first save parsed as knot text again
    bool stable = true;     // second equals first (file mode: numbers aside)
};

// mode: fmFile or fmSnapshot. Exceptions other than the project's pass.
TSchemeReplay ReplaySchemeBytes(const QByteArray& bytes, uint8_t mode);

#endif

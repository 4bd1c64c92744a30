#pragma once
// The classes of the characters a text holds, as text restrictions look at
// them. A textor keeps them per paragraph once they are first asked for: a
// paragraph whose content changes is counted again at the next question, so
// that checking a text after an edit costs what the changed paragraphs cost.
// Only the characters of text portions count (not tab-stop runs, not
// elements); the textor classifies a paragraph (CharacterClassesOf), the
// census keeps the counts and knows a paragraph only by its record.

#include <QChar>

#include <array>
#include <cstdint>
#include <vector>


// Character classes. Each code unit is in exactly one of space, tab, line
// break (CR or LF), ASCII digit, underscore, letter, other; a letter from
// U+0100 on is wide as well; the forbidden classes come on top.
enum : uint32_t {
    ccSpace = 0x001,
    ccTab = 0x002,
    ccLineBreak = 0x004,
    ccDigit = 0x008,
    ccUnderscore = 0x010,
    ccLetter = 0x020,
    ccWideLetter = 0x040,
    ccOther = 0x080,
    ccFileNameForbidden = 0x100,  // one of " * / : < > ? \ |
    ccPathForbidden = 0x200,      // one of " * < > ? |
    ccTextPortion = 0x400,        // not a character: the text holds a text portion
};
constexpr int kCharacterClassCount = 11;

uint32_t CharacterClassesOf(QChar c) noexcept;
uint32_t CharacterClassesOf(const QChar* chars, int count) noexcept;

// What the census keeps of one paragraph (a base of the paragraph).
struct TParagraphCensus {
    uint16_t Classes = 0;
    bool Counted = false;  // Classes are in the text's counts
    int PendingSlot = -1;  // its place among the paragraphs to count again
};

// The counts of a textor's paragraphs per class.
class TTextCensus {
public:
    // A paragraph was made or its content changed.
    void Changed(TParagraphCensus& census);
    // Before a paragraph goes.
    void Removing(TParagraphCensus& census) noexcept;
    // The classes of the text; classify(census) answers the classes of the
    // paragraph of a record to count again.
    template <class Classify>
    uint32_t Classes(Classify classify);

private:
    void Count(TParagraphCensus& census, int sign) noexcept;
    void Unpend(TParagraphCensus& census) noexcept;
    uint32_t Present() const noexcept;

    std::array<int, kCharacterClassCount> m_counts{};
    std::vector<TParagraphCensus*> m_pending;
};

template <class Classify>
uint32_t TTextCensus::Classes(Classify classify) {
    for (TParagraphCensus* census : m_pending) {
        census->Classes = uint16_t(classify(census));
        census->PendingSlot = -1;
        Count(*census, 1);
    }
    m_pending.clear();
    return Present();
}

#include "text/diTextCensus.h"

#include <utility>

namespace {

constexpr char16_t kFileNameForbiddenChars[] = u"\"*/:<>?\\|";
constexpr char16_t kPathForbiddenChars[] = u"\"*<>?|";
constexpr char16_t kAsciiEnd = 0x80;
constexpr char16_t kWideFrom = 0x100;

constexpr bool IsOneOf(char16_t c, const char16_t* set) noexcept {
    for (; *set; ++set)
        if (*set == c) return true;
    return false;
}

// The classes of an ASCII code unit other than a letter's.
constexpr uint32_t AsciiClasses(char16_t c) noexcept {
    uint32_t classes = 0;
    if (IsOneOf(c, kFileNameForbiddenChars)) classes |= ccFileNameForbidden;
    if (IsOneOf(c, kPathForbiddenChars)) classes |= ccPathForbidden;
    if (c == u' ')
        classes |= ccSpace;
    else if (c == u'\t')
        classes |= ccTab;
    else if (c == u'\r' || c == u'\n')
        classes |= ccLineBreak;
    else if (c >= u'0' && c <= u'9')
        classes |= ccDigit;
    else if (c == u'_')
        classes |= ccUnderscore;
    else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        classes |= ccLetter;
    else
        classes |= ccOther;
    return classes;
}

constexpr std::array<uint16_t, kAsciiEnd> MakeAsciiTable() noexcept {
    std::array<uint16_t, kAsciiEnd> table{};
    for (char16_t c = 0; c < kAsciiEnd; ++c) table[c] = uint16_t(AsciiClasses(c));
    return table;
}
constexpr std::array<uint16_t, kAsciiEnd> kAsciiClasses = MakeAsciiTable();

int ClassBit(int index) noexcept { return 1 << index; }

}  // namespace

uint32_t CharacterClassesOf(QChar c) noexcept {
    const char16_t u = c.unicode();
    if (u < kAsciiEnd) return kAsciiClasses[u];
    if (!c.isLetter()) return ccOther;
    return u >= kWideFrom ? ccLetter | ccWideLetter : ccLetter;
}

uint32_t CharacterClassesOf(const QChar* chars, int count) noexcept {
    uint32_t classes = 0;
    for (int i = 0; i < count; ++i) classes |= CharacterClassesOf(chars[i]);
    return classes;
}

void TTextCensus::Changed(TParagraphCensus& census) {
    if (census.PendingSlot >= 0) return;
    m_pending.push_back(&census);
    Count(census, -1);
    census.PendingSlot = int(m_pending.size()) - 1;
}

void TTextCensus::Removing(TParagraphCensus& census) noexcept {
    Count(census, -1);
    Unpend(census);
}

void TTextCensus::Count(TParagraphCensus& census, int sign) noexcept {
    if (census.Counted == (sign > 0)) return;
    census.Counted = sign > 0;
    for (int i = 0; i < kCharacterClassCount; ++i)
        if (census.Classes & ClassBit(i)) m_counts[size_t(i)] += sign;
}

void TTextCensus::Unpend(TParagraphCensus& census) noexcept {
    const int slot = std::exchange(census.PendingSlot, -1);
    if (slot < 0) return;
    TParagraphCensus* moved = m_pending.back();
    m_pending[size_t(slot)] = moved;
    m_pending.pop_back();
    if (moved != &census) moved->PendingSlot = slot;
}

uint32_t TTextCensus::Present() const noexcept {
    uint32_t classes = 0;
    for (int i = 0; i < kCharacterClassCount; ++i)
        if (m_counts[size_t(i)] > 0) classes |= ClassBit(i);
    return classes;
}

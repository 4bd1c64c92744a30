#include "text/diTextCensus.h"

#include "text/diTextor.h"

#include <QStringView>

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

const TTextPortion* AsText(const TPortion* portion) noexcept {
    return portion->Kind() == TPortionKind::Text ? static_cast<const TTextPortion*>(portion) : nullptr;
}

uint16_t ParagraphClasses(const TParagraph* paragraph) noexcept {
    uint32_t classes = 0;
    for (const TPortion* p = paragraph->FirstPortion(); p; p = p->Next())
        if (const TTextPortion* text = AsText(p)) classes |= ccTextPortion | CharacterClassesOf(text->Chars(), text->Length());
    return uint16_t(classes);
}

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

void TTextCensus::Changed(TParagraph* paragraph) {
    if (!m_kept) return;
    TParagraphCensus& census = paragraph->m_census;
    if (census.PendingSlot >= 0) return;
    m_pending.push_back(paragraph);
    Count(paragraph, -1);
    census.PendingSlot = int(m_pending.size()) - 1;
}

void TTextCensus::Removing(TParagraph* paragraph) noexcept {
    if (!m_kept) return;
    Count(paragraph, -1);
    Unpend(paragraph);
}

void TTextCensus::Clear() noexcept {
    m_kept = false;
    m_counts = {};
    m_pending.clear();
}

void TTextCensus::Count(TParagraph* paragraph, int sign) noexcept {
    TParagraphCensus& census = paragraph->m_census;
    if (census.Counted == (sign > 0)) return;
    census.Counted = sign > 0;
    for (int i = 0; i < kCharacterClassCount; ++i)
        if (census.Classes & ClassBit(i)) m_counts[size_t(i)] += sign;
}

void TTextCensus::Unpend(TParagraph* paragraph) noexcept {
    const int slot = std::exchange(paragraph->m_census.PendingSlot, -1);
    if (slot < 0) return;
    TParagraph* moved = m_pending.back();
    m_pending[size_t(slot)] = moved;
    m_pending.pop_back();
    if (moved != paragraph) moved->m_census.PendingSlot = slot;
}

uint32_t TTextCensus::Classes(TParagraph* first) {
    if (!m_kept) {
        for (TParagraph* p = first; p; p = p->Next()) m_pending.push_back(p);
        m_kept = true;
        for (size_t i = 0; i < m_pending.size(); ++i) m_pending[i]->m_census = TParagraphCensus{0, false, int(i)};
    }
    for (TParagraph* p : m_pending) {
        p->m_census.Classes = ParagraphClasses(p);
        p->m_census.PendingSlot = -1;
        Count(p, 1);
    }
    m_pending.clear();
    uint32_t classes = 0;
    for (int i = 0; i < kCharacterClassCount; ++i)
        if (m_counts[size_t(i)] > 0) classes |= ClassBit(i);
    return classes;
}

QChar TTextCensus::FirstCharOf(TParagraph* first, uint32_t classes) {
    if (!(Classes(first) & classes)) return QChar();
    for (TParagraph* paragraph = first; paragraph; paragraph = paragraph->Next()) {
        if (!(paragraph->m_census.Classes & classes)) continue;
        for (const TPortion* p = paragraph->FirstPortion(); p; p = p->Next())
            if (const TTextPortion* text = AsText(p))
                for (QChar c : text->Text())
                    if (CharacterClassesOf(c) & classes) return c;
    }
    return QChar();
}

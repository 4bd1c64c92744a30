#include "text/diTextorElement.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diCanvas.h"
#include "scheme/diSheet.h"
#include "scheme/diSounds.h"
#include "scheme/diThemes.h"
#include "text/diTextorInteractive.h"
#include "text/diTextorRows.h"

#include <QStringList>

#include <algorithm>
#include <climits>
#include <utility>

T_ELEMENT_CLASS_IMPL(TTextorElement, TCustomDropDownElement)

namespace {

// The attributes every scheme textor falls back to, shared by all of them.
struct TTextorDefaults {
    TAttributesRef<TRichParagraphAttributes> Paragraph;
    TAttributesRef<TRichTextAttributes> Text;
};
TTextorDefaults g_textorDefaults;

// The size choices of the options, in the order they are looked at.
struct TSizeChoice {
    uint32_t Option;
    int Size;
};
constexpr TSizeChoice kMinHeightChoices[] = {{toMinHeight240, 240}, {toMinHeight120, 120}, {toMinHeight60, 60}};
constexpr TSizeChoice kMinWidthChoices[] = {{toMinWidth480, 480}, {toMinWidth240, 240}, {toMinWidth30, 30}};
constexpr TSizeChoice kMaxWidthChoices[] = {{toMaxWidthUnbounded, kSheetUnlimited},
                                            {toMaxWidth960, 960},
                                            {toMaxWidth720, 720},
                                            {toMaxWidth480, 480},
                                            {toMaxWidth240, 240}};

template <size_t N>
int ChosenSize(uint32_t options, const TSizeChoice (&choices)[N], int otherwise) noexcept {
    for (const TSizeChoice& choice : choices)
        if (options & choice.Option) return choice.Size;
    return otherwise;
}

// Sizes saturate: a room or a sum never passes kSheetUnlimited.
int SaturatedSize(int64_t value) noexcept { return int(std::clamp<int64_t>(value, 0, kSheetUnlimited)); }

bool IsWordCode(int code) noexcept {
    const QChar c{char16_t(code)};
    return c.isLetterOrNumber() || c == u'_';
}

bool IsAsciiDigit(QChar c) noexcept { return c >= u'0' && c <= u'9'; }

// Sets bits of the element's state for a scope.
class TTextorStateScope {
public:
    TTextorStateScope(uint8_t& state, uint8_t bits) noexcept : m_state(state), m_bits(uint8_t(bits & ~state)) {
        m_state |= bits;
    }
    ~TTextorStateScope() { m_state &= uint8_t(~m_bits); }
    TTextorStateScope(const TTextorStateScope&) = delete;
    TTextorStateScope& operator=(const TTextorStateScope&) = delete;

private:
    uint8_t& m_state;
    uint8_t m_bits;
};

// A class of characters the text holds that a restriction refuses.
struct TRefusedClass {
    uint32_t Classes;   // the character classes (diTextCensus)
    uint32_t Allowing;  // the restriction bit that allows them (0: none does)
    int Message;
};

// In the order the messages are written.
constexpr TRefusedClass kRefusedClasses[] = {
    {ccLetter, trLetters, strLettersAreNotAllowed},
    {ccDigit, trDigits, strDigitsAreNotAllowed},
    {ccUnderscore, trUnderscore, strUnderscoreCharactersAreNot},
    {ccSpace, trSpaces, strSpacesAreNotAllowed},
    {ccTab, 0, strTabCharactersAreNot},
    {ccLineBreak, 0, strLineFeedCharactersAre},
    {ccOther, trSpecial, strSpecialCharactersAreNot},
};

bool Refuses(const TRefusedClass& refused, uint32_t restrictions, uint32_t found) noexcept {
    return (found & refused.Classes) && !(restrictions & refused.Allowing);
}

// The rules a check applies beyond the classes of characters the text holds.
constexpr uint32_t kRulesBeyondCharacters = trBeginsWithLetter | trSpaces | trNoLeadingSpace | trNoTrailingSpace |
                                            trInteger | trFloat | trDropPercent | trElementRules;

// The messages the rules on characters of restrictions give for a text
// holding the classes found, in their order: add(message, classes), the
// classes whose first character in the text the message names (0: none).
template <class F>
void ForEachCharacterRefusal(uint32_t restrictions, uint32_t found, F&& add) {
    if (restrictions == trAllCharacters) return;
    if (!(restrictions & trAnyText)) {
        if (found & ccTextPortion) add(strTextNotAllowedEditor, 0u);
        return;
    }
    for (const TRefusedClass& refused : kRefusedClasses) {
        if (Refuses(refused, restrictions, found))
            add(refused.Message, 0u);
        else if (refused.Classes == ccLetter && (restrictions & trLatinLetters) && (found & ccWideLetter))
            add(strOnlyLatinLetters, 0u);
    }
    if ((restrictions & trFileNameChars) && (found & ccFileNameForbidden))
        add(strOnlyFileNameCharacters, uint32_t(ccFileNameForbidden));
    if ((restrictions & trPathChars) && (found & ccPathForbidden)) add(strOnlyPathCharacters, uint32_t(ccPathForbidden));
}

bool IsLetterOrUnderscore(QChar c) noexcept { return c.isLetter() || c == u'_'; }

TTextPortion* AsTextPortion(TPortion* portion) noexcept {
    return portion && portion->Kind() == TPortionKind::Text ? static_cast<TTextPortion*>(portion) : nullptr;
}

TTextPortion* FirstTextPortion(const TTextor& textor) noexcept {
    for (TPortion* p = textor.GetFirstPortion(); p; p = p->GetNextPortion())
        if (TTextPortion* text = AsTextPortion(p)) return text;
    return nullptr;
}

TTextPortion* LastTextPortion(const TTextor& textor) noexcept {
    for (TParagraph* paragraph = textor.LastParagraph(); paragraph; paragraph = paragraph->Prev())
        for (TPortion* p = paragraph->LastPortion(); p; p = p->Prev())
            if (TTextPortion* text = AsTextPortion(p)) return text;
    return nullptr;
}

// The value of a digit in base 10 or 16; -1 for any other character.
int DigitValue(QChar c, int base) noexcept {
    if (IsAsciiDigit(c)) return c.unicode() - u'0';
    const char16_t lower = c.toLower().unicode();
    if (base == 16 && lower >= u'a' && lower <= u'f') return lower - u'a' + 10;
    return -1;
}

// Digits of a number in a base; false at the first other character or past limit.
bool ReadDigits(QStringView digits, int base, uint64_t limit, uint64_t& value) noexcept {
    if (digits.isEmpty()) return false;
    value = 0;
    for (QChar c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return false;
        value = value * uint64_t(base) + uint64_t(digit);
        if (value > limit) return false;
    }
    return true;
}

// Runs change inside a layout lock of textor; extraUnlock also gives back a
// lock taken before. A failing change still gives the locks back.
template <class Change>
void WithLayoutLock(TTextor& textor, bool extraUnlock, Change change) {
    textor.LockLayout();
    try {
        change();
    } catch (...) {
        try {
            textor.UnlockLayout();
            if (extraUnlock) textor.UnlockLayout();
        } catch (...) {
            LogCurrentException("text layout");
        }
        throw;
    }
    textor.UnlockLayout();
    if (extraUnlock) textor.UnlockLayout();
}

}  // namespace

// ---------------------------------------------------------------------------
// Restriction numbers

bool ParseRestrictionFloat(const QString& text, double& value) noexcept {
    const QString t = text.trimmed();
    int i = 0;
    const int n = int(t.size());
    auto digitsFrom = [&](int& at) {
        const int start = at;
        while (at < n && IsAsciiDigit(t[at])) ++at;
        return at - start;
    };
    if (i < n && (t[i] == u'+' || t[i] == u'-')) ++i;
    int mantissa = digitsFrom(i);
    if (i < n && t[i] == u'.') {
        ++i;
        mantissa += digitsFrom(i);
    }
    if (mantissa == 0) return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) ++i;
        if (digitsFrom(i) == 0) return false;
    }
    if (i != n) return false;
    bool ok = false;
    value = t.toDouble(&ok);
    return ok;
}

bool ParseRestrictionInteger(const QString& text, int32_t& value) noexcept {
    QStringView t = QStringView(text).trimmed();
    bool negative = false;
    if (!t.isEmpty() && (t.front() == u'+' || t.front() == u'-')) {
        negative = t.front() == u'-';
        t = t.mid(1);
    }
    uint64_t magnitude = 0;
    if (!t.isEmpty() && t.front() == u'$') {
        // Hexadecimal fills the 32 bits: "$FFFFFFFF" is -1.
        if (!ReadDigits(t.mid(1), 16, 0xFFFFFFFFu, magnitude)) return false;
        const auto bits = uint32_t(magnitude);
        value = int32_t(negative ? uint32_t(0u - bits) : bits);
        return true;
    }
    if (!ReadDigits(t, 10, negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX), magnitude)) return false;
    value = negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
    return true;
}

// ---------------------------------------------------------------------------
// TSchemeTextor

TSchemeTextor::TSchemeTextor(TTextorElement* element) : TTextor(true), m_element(element) { SetOwner(element); }

void TSchemeTextor::Changed() {
    if (IsRelayoutPending()) m_element->m_changedBeforeLayout = true;
    m_element->m_checkedClasses = TTextorElement::kClassesUnknown;
    if (!(m_element->m_textorState & tesRebuilding)) m_element->TextChanged();
}

// The re-layouts it sets off in the texts that hold this one run inside the
// same layout bracket: each level finds its room once.
void TSchemeTextor::Relayout(bool textChanged) {
    // While the sheet holds layouts, the text's waits (locked) for the hold to close.
    if (ISheet* sheet = m_element->Sheet(); sheet && sheet->HoldLayout(m_element)) {
        LockLayout();
        if (textChanged) m_element->m_changedBeforeLayout = true;
        RequestLayout(textChanged);
        return;
    }
    TSheetUpdate update(m_element->Sheet());
    {
        const TSheetLayoutScope layout(m_element->Sheet());
        TTextor::Relayout(textChanged);
        m_element->AfterRelayout(textChanged);
    }
    update.End();
}

TParagraphAttributes* TSchemeTextor::GetDefaultParagraphAttributes() const {
    return g_textorDefaults.Paragraph.get();
}

TTextAttributes* TSchemeTextor::GetDefaultTextAttributes() const {
    if (m_element->Sheet()) return m_element->GetTextAttributes();
    return g_textorDefaults.Text.get();
}

TRect TSchemeTextor::GetTextMargins() const {
    const int vertical = AllowsParagraphs() ? 1 : 0;
    return TRect{1, vertical, 1, vertical};
}

int TSchemeTextor::GetAvailableWidth() const {
    if (!m_element->Sheet()) return 0;
    const TRect padding = m_element->GetPadding();
    const int64_t width = int64_t(m_element->GetSizeLimits().MaxWidth) - padding.Left - padding.Right;
    return std::max(1, SaturatedSize(width));
}

std::unique_ptr<TParagraphAttributes> TSchemeTextor::NewParagraphAttributes() const {
    return std::make_unique<TRichParagraphAttributes>();
}

std::unique_ptr<TTextAttributes> TSchemeTextor::NewTextAttributes() const {
    return std::make_unique<TRichTextAttributes>();
}

bool TSchemeTextor::AllowsParagraphs() const { return m_element->TextRestrictions() & trLineFeeds; }

bool TSchemeTextor::UsesTabStopPortions() const { return m_element->TextRestrictions() & trTabs; }

bool TSchemeTextor::IsSameWord(int first, int second) const {
    if (!m_element->HasTextorOption(toIdentifierWords)) return TTextor::IsSameWord(first, second);
    return first >= 0 && second >= 0 && IsWordCode(first) == IsWordCode(second);
}

void TSchemeTextor::LayoutParagraph(TParagraph* paragraph, int availableWidth, const TRect& margins,
                                    const TRect& paddings) {
    m_element->BeforeParagraphLayout(paragraph);
    TTextor::LayoutParagraph(paragraph, availableWidth, margins, paddings);
}

TRect TSchemeTextor::GetPaddings() const { return m_element->Sheet() ? m_element->GetPadding() : TRect{}; }

// ---------------------------------------------------------------------------
// TTextorElement: life

TTextorElement::TTextorElement() noexcept {
    InitOptions(eoValidated);
    InitVisualOptions(voPressable | voFocusable | voAcceptsPaste | voSelectAll | voTextContainer);
}

TTextorElement::~TTextorElement() {
    m_interactive.reset();
    m_textor.reset();
}

void TTextorElement::Create() { TCustomDropDownElement::Create(); }

TSchemeTextor* TTextorElement::MakeTextor() const {
    auto* self = const_cast<TTextorElement*>(this);
    m_textor = std::make_unique<TSchemeTextor>(self);
    return m_textor.get();
}

void TTextorElement::BeforeDestruction() {
    StopEditing();
    // The embedded children go with the element tree; the emptied portions go
    // with the textor when the element is deleted.
    if (m_textor) m_textor->LockLayout();
    TCustomDropDownElement::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// Options and restrictions

void TTextorElement::SetTextorOptions(uint32_t value) {
    const uint32_t changed = value ^ m_textorOptions;
    m_textorOptions = value;
    if (ISheet* sheet = Sheet(); sheet && changed) sheet->ForgetRooms();
    if (changed & toRelayoutMask & ~toRepaintMask)
        RelayoutText();
    else if (changed & toRepaintMask)
        Invalidate();
    if (value & toTitledStyleMask) TellTitledHolder();
}

void TTextorElement::SetRestrictions(uint32_t value) {
    const uint32_t old = m_restrictions;
    const uint32_t changed = value ^ old;
    m_restrictions = value;
    if ((changed & (trTabs | trLineFeeds)) && m_textor) {
        const TTextorStateScope rebuilding(m_textorState, tesRebuilding);
        Textor()->RebuildText();
        RelayoutText();
    } else if (CheckStandsUnder(old)) {
        return;
    }
    CheckAll();
}

// The state a check sets (filled, default) does not depend on the
// restrictions, nor do the parts of it outside CheckRestrictions and the
// element rules: with a current, clean last check only those can answer
// differently, and they are the same rules but for those on characters.
bool TTextorElement::CheckStandsUnder(uint32_t old) const {
    if ((old ^ m_restrictions) & kRulesBeyondCharacters) return false;
    if (m_checkedClasses == kClassesUnknown || (Messages() && Messages()->GetCount() > 0)) return false;
    if ((State() & esQueued) || IsEditing()) return false;
    if (const TScheme* scheme = Scheme(); scheme && scheme->UpdateCount() > 0) return false;
    bool refused = false;
    ForEachCharacterRefusal(m_restrictions, m_checkedClasses, [&refused](int, uint32_t) { refused = true; });
    return !refused;
}

void TTextorElement::TellTitledHolder() {
    TVisualElement* parent = VisualParent();
    auto* holder = dynamic_cast<ITextorFieldHolder*>(parent);
    if (!holder && parent) holder = dynamic_cast<ITextorFieldHolder*>(parent->VisualParent());
    if (holder) holder->AddTextorStyleFlags(kTitledStyleRichChild);
}

void TTextorElement::RelayoutText() {
    if (m_textor) m_textor->InvalidateAllLayouts();
}

void TTextorElement::OptionsChanged(uint8_t oldOptions) {
    TCustomDropDownElement::OptionsChanged(oldOptions);
    if (((Options() ^ oldOptions) & eoRequired) && IsValidated()) RelayoutText();
}

TElement* TTextorElement::GetOwnerTextElement() { return ParentElement(); }

TTextorElement* TTextorElement::DelegateOwner() {
    return HasTextorOption(toDelegating) ? dynamic_cast<TTextorElement*>(GetOwnerTextElement()) : nullptr;
}

void TTextorElement::TreePlacementChanged() {
    TCustomDropDownElement::TreePlacementChanged();
    if (HasTextorOption(toDelegating | toCopyFromOwner)) {
        if (TElement* owner = GetOwnerTextElement()) {
            if (auto* textOwner = dynamic_cast<TTextorElement*>(owner)) {
                const uint32_t mask = HasTextorOption(toDelegating) ? toDelegatedCopyMask : toOwnerCopyMask;
                SetTextorOptions((m_textorOptions & ~mask) | (textOwner->TextorOptions() & mask));
                SetRestrictions(textOwner->TextRestrictions());
            } else {
                SetRestrictions(trAllCharacters);
            }
        }
    }
    if (m_textorOptions & toTitledStyleMask) TellTitledHolder();
}

// ---------------------------------------------------------------------------
// Text

QString TTextorElement::GetText() const { return m_textor ? m_textor->GetText() : QString(); }

QStringView TTextorElement::TextView(QString& buffer) const {
    return m_textor ? m_textor->TextView(buffer) : QStringView();
}

void TTextorElement::SetText(QStringView text) {
    if (!HasEmbeddedElement() && GetText() == text) return;
    Textor()->SetText(text);
}

bool TTextorElement::HasEmbeddedElement() const { return m_textor && m_textor->ElementPortionCount() > 0; }

TTextorRange TTextorElement::GetEnterRange(TEnterMode mode, const TTextorRange& range) const {
    switch (mode) {
        case TEnterMode::Selection:
            if (m_interactive) return m_interactive->GetSelection();
            return TTextorRange{Textor()->GetEndPosition(), Textor()->GetEndPosition()};
        case TEnterMode::Range:
            return range;
        case TEnterMode::All:
            return Textor()->GetWholeRange();
        case TEnterMode::Append:
            break;
    }
    return TTextorRange{Textor()->GetEndPosition(), Textor()->GetEndPosition()};
}

void TTextorElement::TextChanged() {
    TextChangedHook();
    if (HasTextorOption(toCheckWhenEditingEnds) && IsFocused()) {
        if (!IsEditing()) {
            SetEditing(true);
            NotifyEditStateChanged();
        }
        return;
    }
    CheckAll();
}

void TTextorElement::TextChangedHook() {
    if (TTextorElement* owner = DelegateOwner()) owner->TextChangedHook();
}

TTextAttributes* TTextorElement::GetTextAttributes() const {
    ISheet* sheet = Sheet();
    if (!sheet) return g_textorDefaults.Text.get();
    TSheetSettings* settings = sheet->Settings();
    if (HasTextorOption(toArtFont)) return settings->GetArtTextAttributes();
    if (HasTextorOption(toFixedFont)) return settings->GetFixedTextAttributes();
    if (HasTextorOption(toCommentFont)) return settings->GetCommentTextAttributes();
    return settings->GetCodeTextAttributes();
}

TTextAttributesRef TTextorElement::GetNodeTextAttributes(TKnot* knot) {
    if (TTextorElement* owner = DelegateOwner()) return owner->GetNodeTextAttributes(knot);
    return {};
}

bool TTextorElement::AcceptsNotification(int msg) const {
    return msg == nmClipboardElementClass || msg == nmPrepareClipboardElement || msg == nmTextorNotification200 ||
           msg == nmTextorNotification250;
}

// ---------------------------------------------------------------------------
// Checks

bool TTextorElement::GetIsFilled() { return m_textor && !m_textor->IsEmpty(); }

// Without a default text no copy of the text is made (checks run on every
// edit), nor with more paragraph breaks than the default text has line breaks.
bool TTextorElement::GetIsDefault() {
    if (m_defaultText.isEmpty()) return !m_textor || m_textor->IsEmpty();
    if (!m_textor) return false;  // empty, unlike the default text
    if (HasEmbeddedElement() || Textor()->ParagraphCount() - 1 > m_defaultText.count(QStringLiteral("\r\n")))
        return false;
    return GetText() == m_defaultText;
}

void TTextorElement::CheckContent() {
    TCustomDropDownElement::CheckContent();
    CheckRestrictions();
    if (!(m_restrictions & trElementRules)) return;
    const int count = CountRuledChildren();
    if ((m_restrictions & trElementRequired) && count == 0) AddRestrictionMessage(strAnElementIsRequired);
    if ((m_restrictions & trSingleElement) && count > 1) AddRestrictionMessage(strUsingMoreThanOne);
}

int TTextorElement::CountRuledChildren() const {
    int count = 0;
    if (!HasEmbeddedElement()) return count;
    for (TPortion* p = Textor()->GetFirstPortion(); p && count < 2; p = p->GetNextPortion()) {
        if (p->Kind() != TPortionKind::Element) continue;
        const TVisualElement* child = static_cast<TElementPortion*>(p)->Element();
        if (child && !child->IsEffectivelyDisabled() && !(child->Options() & eoComment)) ++count;
    }
    return count;
}

void TTextorElement::AddRestrictionMessage(int stringId, const QString& argument) {
    const QString text = argument.isNull() ? LoadStr(stringId) : LoadStrFmt(stringId, {SanitizeMessageText(argument)});
    GetMessages()->AddElementLinkMessage(mkInvalidContent, text, QString::number(Number()));
}

void TTextorElement::CheckRestrictions() {
    const uint32_t r = m_restrictions;
    CheckCharacters();
    if (r & trBeginsWithLetter) {
        const TTextPortion* first = m_textor ? AsTextPortion(m_textor->GetFirstPortion()) : nullptr;
        if (first && first->Length() > 0 && !IsLetterOrUnderscore(first->Text().front()))
            AddRestrictionMessage(strTextShouldBeginWith);
    }
    if ((r & trSpaces) && (r & (trNoLeadingSpace | trNoTrailingSpace)) && m_textor) {
        const TTextPortion* first = FirstTextPortion(*Textor());
        const TTextPortion* last = LastTextPortion(*Textor());
        if ((r & trNoLeadingSpace) && first && first->Text().startsWith(u' '))
            AddRestrictionMessage(strTextShouldNotBegin);
        else if ((r & trNoTrailingSpace) && last && last->Text().endsWith(u' '))
            AddRestrictionMessage(strTextShouldNotEnd);
    }
    CheckNumber();
}

// From the character classes the textor keeps: an edit costs what its
// paragraphs cost. The named character is the first refused one in the text.
void TTextorElement::CheckCharacters() {
    if (m_restrictions == trAllCharacters) return;
    // A text without a textor is empty: it holds no class.
    const uint32_t found = m_textor ? m_textor->CharacterClasses() : 0;
    m_checkedClasses = uint16_t(found);
    ForEachCharacterRefusal(m_restrictions, found, [this](int message, uint32_t named) {
        if (named)
            AddRestrictionMessage(message, QString(Textor()->FirstCharOfClasses(named)));
        else
            AddRestrictionMessage(message);
    });
}

void TTextorElement::CheckNumber() {
    const uint32_t r = m_restrictions;
    if (!(r & (trFloat | trInteger))) return;
    const QString text = GetText();
    if (r & trFloat) {
        QString number = text;
        if ((r & trDropPercent) && number.endsWith(u'%')) number.chop(1);
        double value = 0;
        if (!ParseRestrictionFloat(number, value)) AddRestrictionMessage(strUnableConvertValueFloat, text);
        return;
    }
    int32_t value = 0;
    if (!ParseRestrictionInteger(text, value)) AddRestrictionMessage(strUnableConvertValueInteger, text);
}

// ---------------------------------------------------------------------------
// Sizing

int TTextorElement::GetThemeKind() const {
    if (HasTextorOption(toFieldFrame)) return kThemeKindField;
    if (HasTextorOption(toContainerFrame)) return kThemeKindContainer;
    return kNoThemeKind;
}

TRect TTextorElement::GetPadding() {
    ISheet* sheet = Sheet();
    if (!sheet) return TCustomDropDownElement::GetPadding();
    const int kind = GetThemeKind();
    TRect padding =
        kind != kNoThemeKind ? sheet->Canvas()->GetThemePadding(kind) : TCustomDropDownElement::GetPadding();
    if (HasTextorOption(toIndent)) padding.Left += sheet->Settings()->ScaleToFontSize(kTextorIndent);
    return padding;
}

TRect TTextorElement::GetMargins() {
    const int kind = GetThemeKind();
    if (Sheet() && kind != kNoThemeKind) return Sheet()->Canvas()->GetThemeMargins(kind);
    return TCustomDropDownElement::GetMargins();
}

TRect TTextorElement::GetHitInsets() {
    const int kind = GetThemeKind();
    if (Sheet() && kind != kNoThemeKind) return Sheet()->Canvas()->GetThemeMouseTransparent(kind);
    return TCustomDropDownElement::GetHitInsets();
}

TTextorSizeLimits TTextorElement::GetSizeLimits() {
    const QSize room = VisualParent() ? RoomFromParent() : QSize(INT_MAX, INT_MAX);
    const int availableWidth = SaturatedSize(room.width());
    const int availableHeight = SaturatedSize(room.height());
    const int kind = GetThemeKind();
    const int defaultMin =
        Sheet() && kind != kNoThemeKind ? Sheet()->Canvas()->GetThemeMinWidth(kind) : kTextorDefaultMinWidth;
    const uint32_t o = m_textorOptions;
    TTextorSizeLimits limits;
    limits.MinHeight = (o & toMinHeightAvailable) ? availableHeight : ChosenSize(o, kMinHeightChoices, 0);
    limits.MinWidth = (o & toMinWidthAvailable) ? std::max(defaultMin, availableWidth)
                                                : ChosenSize(o, kMinWidthChoices, defaultMin);
    limits.MaxWidth = ChosenSize(o, kMaxWidthChoices, std::max(availableWidth, defaultMin));
    return limits;
}

QSize TTextorElement::GetContentSize(const TRect& padding) {
    const TTextorSizeLimits limits = GetSizeLimits();
    int64_t textWidth = Textor()->GetWidth();
    int64_t textHeight = Textor()->GetHeight();
    if (Textor()->IsEmpty() && (HasTextorOption(toEmptyWidth) || IsRequired()))
        textWidth = std::max<int64_t>(textWidth, textHeight * 2 / 3);
    ISheet* sheet = Sheet();
    if (HasTextorOption(toExtendToMinHeight) && sheet &&
        sheet->Settings()->IncreaseWorkspaceHeightProperty()->Value()) {
        const TRow* last = Textor()->LastParagraph()->LastRow();
        const int64_t lastHeight = last ? last->GetHeight() : 0;
        textHeight += std::max<int64_t>(0, limits.MinHeight - (lastHeight + padding.Top + padding.Bottom));
    }
    const int width = std::max(SaturatedSize(textWidth + padding.Left + padding.Right), limits.MinWidth);
    const int height = std::max(SaturatedSize(textHeight + padding.Top + padding.Bottom), limits.MinHeight);
    return QSize(width, height);
}

QSize TTextorElement::GetAvailableSize(TVisualElement* child) {
    const QSize room = TCustomDropDownElement::GetAvailableSize(child);
    const TRect padding = GetPadding();
    return QSize(SaturatedSize(int64_t(room.width()) - padding.Left - padding.Right - 2),
                 SaturatedSize(int64_t(room.height()) - padding.Top - padding.Bottom));
}

void TTextorElement::FitBoundsToText() {
    const TRect padding = GetPadding();
    const QSize size = GetContentSize(padding);
    const TRow* last = Textor()->LastParagraph()->LastRow();
    const int descent = padding.Bottom + (last ? last->Descent() : 0);
    SetBounds(Left(), Top(), size.width(), size.height(), descent);
}

void TTextorElement::UpdateBounds() {
    if (!Sheet() || !IsVisible() || Textor()->LayoutLockCount() > 0) return;
    FitBoundsToText();
    const TRow* first = Textor()->FirstParagraph()->FirstRow();
    const TRect padding = GetPadding();
    const int height = (first ? first->GetHeight() : 0) + padding.Top + padding.Bottom;
    if (height == m_firstRowHeight) return;
    m_firstRowHeight = height;
    TellFirstRowHeightChanged();
}

// Node message 11 goes up the ancestors as far as the text that holds this
// element's branch in its text. That text lays out again when the branch
// changes size and tells its own ancestors when its first row changes, so a
// chain of nested texts is told once per level, not once per ancestor.
void TTextorElement::TellFirstRowHeightChanged() {
    TNode* branch = this;
    for (TNode* node = Parent(); node; branch = node, node = node->Parent()) {
        node->HandleNodeMessage(nmFirstRowHeightChanged, reinterpret_cast<intptr_t>(this), 0);
        auto* text = dynamic_cast<TTextorElement*>(node);
        auto* embedded = text ? dynamic_cast<TVisualElement*>(branch) : nullptr;
        auto* portion = embedded ? dynamic_cast<TElementPortion*>(embedded->TextorSlot()) : nullptr;
        if (portion && portion->Textor() == text->Textor()) return;
    }
}

void TTextorElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    if (!m_textor && !Sheet()) {
        TCustomDropDownElement::UpdateLayout(force, all, widthChanged, heightChanged);
        return;
    }
    // The first forced layout on a sheet releases the lock taken at creation.
    const bool release = force && m_holdsLayoutLock && Sheet();
    if (release) m_holdsLayoutLock = false;
    const TSheetLayoutScope layout(Sheet());
    WithLayoutLock(*Textor(), release, [&] {
        TCustomDropDownElement::UpdateLayout(force, all, widthChanged, heightChanged);
        if (force || all || (widthChanged && !HasTextorOption(toMaxWidthUnbounded))) Textor()->InvalidateAllLayouts();
    });
    UpdateBounds();
}

void TTextorElement::BoundsChanged(const TRect& oldRect, int oldDescent) {
    TCustomDropDownElement::BoundsChanged(oldRect, oldDescent);
    if (Width() != oldRect.Width() && !(m_textorState & tesInOwnRelayout) && !HasTextorOption(toMaxWidthUnbounded))
        RelayoutText();
}

void TTextorElement::DetachFromSheet() {
    StopEditing();
    // The lock a layout hold took stays, as the lock of a text off any sheet.
    const bool held = IsLayoutHeld();
    TCustomDropDownElement::DetachFromSheet();
    if (m_textor && !m_holdsLayoutLock) {
        if (!held) m_textor->LockLayout();
        m_holdsLayoutLock = true;
    } else if (m_textor && held) {
        m_textor->UnlockLayout();
    }
}

void TTextorElement::LayoutHoldEnded() { m_textor->UnlockLayout(); }

void TTextorElement::VisibilityChanged() {
    if (!m_textor) {
        TCustomDropDownElement::VisibilityChanged();
        return;
    }
    WithLayoutLock(*Textor(), false, [&] {
        TCustomDropDownElement::VisibilityChanged();
        if (IsVisible() || IsEdited()) Textor()->InvalidateAllLayouts();
    });
    UpdateBounds();
}

void TTextorElement::AfterRelayout(bool textChanged) {
    const TTextorStateScope inRelayout(m_textorState, tesInOwnRelayout);
    textChanged = textChanged || std::exchange(m_changedBeforeLayout, false);
    if (m_interactive) {
        const TTextorStateScope applying(m_textorState, tesApplyingPendingSelection);
        ApplySelectionAfterRelayout(textChanged);
    }
    UpdateBounds();
    if (m_interactive) UpdateCaret();
    InvalidateRelaidRows();
}

// A text whose picture besides its rows depends only on its size repaints
// the rows the re-layout changed, across its width; any other repaints all.
// Rows of embedded elements alone are left to the elements (which repaint
// what of them moves or resizes) unless the text paints between them:
// paragraph marks or a selection.
void TTextorElement::InvalidateRelaidRows() {
    const TTextor::TRelayoutBand band = Textor()->LastRelayoutBand();
    if (band.Whole || SizeDependentEdge() == kWholeArea) {
        Invalidate();
        return;
    }
    const bool betweenElements = ShowsParagraphMarks() || (m_interactive && !m_interactive->GetSelection().IsEmpty());
    const int top = betweenElements ? band.Top : band.TextTop;
    const int bottom = betweenElements ? band.Bottom : band.TextBottom;
    if (top >= bottom) return;
    const TRect padding = GetPadding();
    const TRect margins = Textor()->GetTextMargins();
    Invalidate(TRect{0, padding.Top + top - margins.Top, Width(), padding.Top + bottom + margins.Bottom});
}

bool TTextorElement::ShowsParagraphMarks() {
    return !HasTextorOption(toNoMarks) && Sheet() && Sheet()->Settings()->NonPrintingCharactersProperty()->Value();
}

int TTextorElement::SizeDependentEdge() {
    const int kind = GetThemeKind();
    return kind == kNoThemeKind ? 0 : ThemeSizeEdge(kind);
}

void TTextorElement::ApplySelectionAfterRelayout(bool textChanged) {
    TSchemeTextorInteractive& interactive = *m_interactive;
    if (interactive.HasPendingSelection()) {
        const TTextorNumericRange pending = interactive.PendingSelection();
        const bool caretAtStart = interactive.PendingCaretAtStart();
        interactive.ClearPendingSelection();
        TTextorRange range;
        if (Textor()->NumericToRange(pending, range))
            interactive.SetSelection(range, caretAtStart);
        else
            interactive.SetCaretPosition(Textor()->GetStartPosition());
    } else if (textChanged) {
        interactive.SetCaretPosition(Textor()->GetStartPosition());
    } else {
        const TTextorPosition caret = interactive.CaretPosition();
        interactive.SetCaretAndSelection(Textor()->FindRow(caret, false), caret, interactive.ActiveEnd(),
                                         interactive.Anchor());
    }
}

// ---------------------------------------------------------------------------
// Embedded children

void TTextorElement::InsertVisualChild(TVisualElement* child, TVisualElement* before) {
    TCustomDropDownElement::InsertVisualChild(child, before);
    if (m_restrictions & trElementRules) CheckAll();
}

void TTextorElement::RemoveVisualChild(TVisualElement* child) {
    TCustomDropDownElement::RemoveVisualChild(child);
    if (IsBeingDestroyed()) return;
    if (m_textor) FreeEmptyElementPortions();
    if (m_restrictions & trElementRules) CheckAll();
}

void TTextorElement::FreeEmptyElementPortions() { Textor()->FreeEmptiedElementPortions(); }

void TTextorElement::ChildDisabledChanged(TVisualElement* child) {
    TCustomDropDownElement::ChildDisabledChanged(child);
    if (m_restrictions & trElementRules) CheckAll();
}

void TTextorElement::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    TCustomDropDownElement::ChildBoundsChanged(child, oldRect, oldDescent);
    if (child->Width() == oldRect.Width() && child->Height() == oldRect.Height() && child->Descent() == oldDescent)
        return;
    auto* portion = Supports<TElementPortion>(child->TextorSlot());
    if (portion && portion->Textor() == m_textor.get()) portion->Paragraph()->InvalidateLayout();
}

// ---------------------------------------------------------------------------
// Painting

void TTextorElement::PaintBackground(TSheetCanvas& canvas) {
    const int kind = GetThemeKind();
    if (kind != kNoThemeKind) canvas.DrawThemeFrame(kind, GetClientRect());
}

void TTextorElement::Paint(TSheetCanvas& canvas) {
    if (Textor()->UpdateCount() > 0) return;
    PaintBackground(canvas);
    int flags = 0;
    if (ShowsParagraphMarks()) flags |= tpfNonPrintingMarks;
    const TRect padding = GetPadding();
    const QPoint origin(padding.Left, padding.Top);
    if (!m_interactive) {
        Textor()->Paint(canvas, flags, TTextorRange{}, origin);
        return;
    }
    if (!Sheet()->Active()) flags |= tpfInactive;
    m_interactive->Paint(canvas, flags, true, origin);
}

void TTextorElement::PaintChild(TSheetCanvas& canvas, int flags, TVisualElement* child) {
    if (!child->TextorSlot()) TCustomDropDownElement::PaintChild(canvas, flags, child);
}

// ---------------------------------------------------------------------------
// Focus and the caret object

void TTextorElement::FocusChanged() {
    TCustomDropDownElement::FocusChanged();
    if (IsFocused())
        StartEditing();
    else
        StopEditing();
}

bool TTextorElement::CanEditNow() const { return !IsReadOnly(); }

void TTextorElement::StartEditing() {
    if (m_interactive) return;
    m_interactive = std::make_unique<TSchemeTextorInteractive>(Textor());
    m_interactive->SetCanEdit([this] { return CanEditNow(); });
    // An embedded text that Left or Right enters gets its caret at the near end.
    m_interactive->SetFocusPart([](TVisualElement* part, bool atStart) {
        if (auto* text = dynamic_cast<TTextorElement*>(part))
            text->FocusText(atStart ? TTextFocusPlace::Start : TTextFocusPlace::End);
        else
            part->Focus();
    });
    ConfigureInteractive();
    m_interactive->AddHandler(MakeHandler<&TTextorElement::OnInteractive>(this));
    Invalidate();
}

void TTextorElement::StopEditing() {
    if (!m_interactive) return;
    m_interactive->RemoveHandler(MakeHandler<&TTextorElement::OnInteractive>(this));
    m_interactive.reset();
    MarkEmbeddedSelection();
    Invalidate();
}

uint16_t TTextorElement::InteractiveOptions() const {
    uint16_t options = tioDragSelection | tioParagraphEndHighlight | tioDoubleClickLink | tioCtrlEnterLink;
    if (m_restrictions & trCursorText) options |= tioCursorText;
    if (HasTextorOption(toRichContent)) options |= tioCursorRich;
    if (HasVisualOption(voDropDown)) options |= tioCursorDropDown;
    if (Textor()->AllowsParagraphs()) options |= tioCursorParagraphs;
    return options;
}

void TTextorElement::ConfigureInteractive() {
    if (ISheet* sheet = Sheet()) m_interactive->SetCaretWidth(sheet->Settings()->CaretSizeProperty()->Value());
    m_interactive->SetOptions(InteractiveOptions());
}

// Walks the selection only; the elements marked before and left out now are
// unmarked (the textor forgets a marked element that goes).
void TTextorElement::MarkEmbeddedSelection() {
    const bool edited = m_interactive && !m_interactive->IsSelectionEmpty();
    const TTextorRange selection = edited ? m_interactive->GetSelection() : TTextorRange{};
    BeginContentChange();
    Textor()->MarkElements(edited ? &selection : nullptr,
                           [](TVisualElement* child, bool marked) { child->SetInSelectedText(marked); });
    EndContentChange();
}

void TTextorElement::OnInteractive(TItfObject*, int msg, intptr_t p1, intptr_t) {
    switch (msg) {
        case tinCaret:
            UpdateCaret();
            if (p1) NotifyFocusedState();
            break;
        case tinSelection:
            MarkEmbeddedSelection();
            NotifyFocusedChanged();
            Invalidate();
            break;
        case tinMouseMode:
            if (ISheet* sheet = Sheet()) {
                if (m_interactive && m_interactive->MouseMode() != tmmNone)
                    sheet->SetPressed(this);
                else if (sheet->Pressed() == this)
                    sheet->SetPressed(nullptr);
            }
            break;
        case tinZone:
            UpdateSheetCursor();
            break;
        case tinActivateLink:
            if (p1) ActivateLink(*reinterpret_cast<const TTextorPosition*>(p1));
            break;
        case tinDrop:
            if (p1) AcceptDrop(*reinterpret_cast<TTextorDrop*>(p1));
            break;
        case tinEnterText:
            if (p1) {
                EnterText(TEnterMode::Selection, {}, false, *reinterpret_cast<const QString*>(p1));
            } else {
                EnterText(TEnterMode::Selection, {}, false, std::nullopt);
                UpdateFilled();
                if (!IsFilled() && Sheet()) Sheet()->CloseDropDown(false);
            }
            break;
        default:
            break;
    }
}

void TTextorElement::GetCaret(int& kind, TRect& rect) {
    if (!m_interactive) {
        TCustomDropDownElement::GetCaret(kind, rect);
        return;
    }
    const TRect padding = GetPadding();
    kind = ckTextCaret;
    rect = OffsetRect(m_interactive->GetCaretRect(), padding.Left, padding.Top);
}

void TTextorElement::GetFocusData(QString& text) {
    if (!m_interactive) {
        text.clear();
        return;
    }
    const TTextorNumericRange r = Textor()->RangeToNumeric(m_interactive->GetSelection());
    text = QStringLiteral("%1,%2,%3,%4").arg(r.Start.Paragraph).arg(r.Start.Char).arg(r.End.Paragraph).arg(r.End.Char);
}

void TTextorElement::SetFocus(const QString& focusData) { FocusText(TTextFocusPlace::Data, focusData); }

namespace {
TTextorNumericRange ParseFocusData(const QString& data) {
    const QStringList parts = data.split(u',');
    int numbers[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i) numbers[i] = parts[i].trimmed().toInt();
    return TTextorNumericRange{{numbers[0], numbers[1]}, {numbers[2], numbers[3]}};
}
}  // namespace

void TTextorElement::FocusText(TTextFocusPlace place, const QString& data, QPoint point, TVisualElement* element) {
    TSheetUpdate update(Sheet());
    TCustomDropDownElement::SetFocus();
    if (!m_interactive) {
        update.End();
        return;
    }
    TSchemeTextorInteractive& interactive = *m_interactive;
    auto* portion = element ? dynamic_cast<TElementPortion*>(element->TextorSlot()) : nullptr;
    if (portion && portion->Textor() != m_textor.get()) portion = nullptr;
    TTextorRange range;
    switch (place) {
        case TTextFocusPlace::Point: {
            const TRect padding = GetPadding();
            TTextorPosition position;
            Textor()->HitTest(point - QPoint(padding.Left, padding.Top), true, position);
            interactive.SetCaretPosition(position);
            break;
        }
        case TTextFocusPlace::BeforeElement:
        case TTextFocusPlace::AfterElement:
            if (portion) {
                const int offset = place == TTextFocusPlace::AfterElement ? 1 : 0;
                interactive.SetCaretPosition(TTextorPosition{portion->Paragraph(), portion, offset});
            }
            break;
        case TTextFocusPlace::Data:
            if (Textor()->NumericToRange(ParseFocusData(data), range))
                interactive.SetSelection(range);
            else
                interactive.SetCaretPosition(Textor()->GetStartPosition());
            break;
        case TTextFocusPlace::Start:
            interactive.SetCaretPosition(Textor()->GetStartPosition());
            break;
        case TTextFocusPlace::End:
            interactive.SetCaretPosition(Textor()->GetEndPosition());
            break;
    }
    update.End();
}

void TTextorElement::SelectAll() {
    if (m_interactive) m_interactive->SelectAll();
}

void TTextorElement::KeyDown(int& key, TShiftState shift) {
    if (m_interactive) m_interactive->KeyDown(key, shift);
}

void TTextorElement::KeyUp(int& key, TShiftState shift) {
    if (m_interactive) m_interactive->KeyUp(key, shift);
}

void TTextorElement::KeyPress(QChar& ch) {
    if (!m_interactive) return;
    const bool enter = ch == QChar(char16_t(tcReturn));
    if (enter && IsEditing() && !Textor()->AllowsParagraphs()) {
        FinishEditing();
        ch = QChar();
        return;
    }
    if (!AllowsText() && !enter && ch != QChar(char16_t(tcTab))) return;
    m_interactive->KeyPress(ch);
}

QPoint TTextorElement::TextOrigin() {
    const TRect padding = GetPadding();
    return QPoint(padding.Left, padding.Top);
}

void TTextorElement::MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) {
    if (button != mbLeft) {
        TCustomDropDownElement::MouseDown(p, button, shift, clicks);
        return;
    }
    if (HasVisualOption(voFocusable)) Focus();
    if (m_interactive) m_interactive->MouseDown(p - TextOrigin(), button, shift, clicks);
}

void TTextorElement::MouseMove(QPoint p, TShiftState shift) {
    if (!m_interactive) return;
    if (m_interactive->MouseMode() == tmmDragging) {
        if (TTextorElement* other = OtherTextAt(p)) {
            m_interactive->DragOverOtherText(shift, !other->IsReadOnly());
            return;
        }
    }
    m_interactive->MouseMove(p - TextOrigin(), shift);
}

void TTextorElement::MouseUp(QPoint p, TMouseButton button, TShiftState shift) {
    if (!m_interactive || button != mbLeft) {
        TCustomDropDownElement::MouseUp(p, button, shift);
        return;
    }
    if (m_interactive->MouseMode() == tmmDragging) {
        if (TTextorElement* other = OtherTextAt(p)) {
            DropOnOtherText(*other, p, shift & ssCtrl);
            return;
        }
    }
    m_interactive->MouseUp(p - TextOrigin(), button, shift);
}

TTextorElement* TTextorElement::OtherTextAt(QPoint p) {
    ISheet* sheet = Sheet();
    TVisualElement* root = sheet ? sheet->Root() : nullptr;
    if (!root) return nullptr;
    const QPoint at = ClientToSheet(p) - QPoint(root->Left(), root->Top());
    for (TVisualElement* e = root->ElementAt(at, hfSelf | hfChildren | hfDeep); e; e = e->VisualParent())
        if (auto* text = dynamic_cast<TTextorElement*>(e)) return text == this ? nullptr : text;
    return nullptr;
}

void TTextorElement::DropOnOtherText(TTextorElement& target, QPoint p, bool copy) {
    TTextorDrop drop{m_interactive.get(), {}, copy};
    m_interactive->CancelPress();
    const QPoint at = target.SheetToClient(ClientToSheet(p)) - target.TextOrigin();
    if (!target.Textor()->FindRowAtY(at.y(), true)) return;
    target.Textor()->HitTest(at, true, drop.Place);
    // The target takes the focus: this caret object is gone afterwards.
    target.AcceptDrop(drop);
}

int TTextorElement::GetCursor(QPoint) {
    return CursorOfZone(m_interactive ? m_interactive->Zone() : TextZoneOf(InteractiveOptions()));
}

void TTextorElement::CancelPress() {
    if (m_interactive) m_interactive->CancelPress();
}

void TTextorElement::DeleteContent() {
    if (m_interactive) m_interactive->DeleteSelection();
}

bool TTextorElement::CanCopy() { return m_interactive && !m_interactive->IsSelectionEmpty(); }

bool TTextorElement::CanCopyAsText() { return CanCopy(); }

bool TTextorElement::CanDelete() { return CanCopy() && !IsReadOnly(); }

void TTextorElement::FinishEditing() {
    TCustomDropDownElement::FinishEditing();
    PlaySchemeSound(sndValue);
    SetEditing(false);
    NotifyEditStateChanged();
    CheckAll();
}

// ---------------------------------------------------------------------------
// Delegation

bool TTextorElement::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmFirstRowHeight && p1) {
        *reinterpret_cast<int*>(p1) = m_firstRowHeight;
        return true;
    }
    if (TCustomDropDownElement::HandleNodeMessage(msg, p1, p2)) return true;
    TTextorElement* owner = AcceptsNotification(msg) ? DelegateOwner() : nullptr;
    return owner && owner->HandleNodeMessage(msg, p1, p2);
}

bool TTextorElement::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (TTextorElement* owner = AcceptsNotification(msg) ? DelegateOwner() : nullptr)
        return owner->HandleChildMessage(this, msg, p1, p2);
    return TCustomDropDownElement::HandleChildMessage(child, msg, p1, p2);
}

void TTextorElement::MapNodeName(TSchemeFiler* filer, TKnot* knot, QString& name) {
    if (TTextorElement* owner = DelegateOwner())
        owner->MapNodeName(filer, knot, name);
    else
        TCustomDropDownElement::MapNodeName(filer, knot, name);
}

const TElementClass* TTextorElement::UnknownNodeClass(TSchemeFiler* filer) {
    if (TTextorElement* owner = DelegateOwner()) return owner->UnknownNodeClass(filer);
    return TCustomDropDownElement::UnknownNodeClass(filer);
}

void TTextorElement::AdjustPaletteItems(QList<TPaletteItem*>& list) {
    if (TTextorElement* owner = DelegateOwner())
        owner->AdjustPaletteItems(list);
    else
        TCustomDropDownElement::AdjustPaletteItems(list);
}

void TTextorElement::AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) {
    if (TTextorElement* owner = DelegateOwner())
        owner->AdjustPaletteItemInfo(item, info);
    else
        TCustomDropDownElement::AdjustPaletteItemInfo(item, info);
}

// ---------------------------------------------------------------------------
// The unit

void InitTextorElementUnit() {
    g_textorDefaults.Paragraph = AcquireSharedAs(TRichParagraphAttributes());
    g_textorDefaults.Text = AcquireSharedAs(TRichTextAttributes());
}

void FinalTextorElementUnit() { g_textorDefaults = TTextorDefaults(); }

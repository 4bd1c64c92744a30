#include "elements/diSimpleElements.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plCursor.h"
#include "scheme/diCanvas.h"
#include "scheme/diCustomElements.h"
#include "scheme/diFilers.h"
#include "scheme/diSounds.h"
#include "scheme/diThemes.h"

#include <QCursor>

// ---------------------------------------------------------------------------
// FormatDateTime

namespace {

constexpr int kHoursPerHalfDay = 12;
constexpr int kMaxNumberDigits = 2;
constexpr int kYearDigits = 4;
constexpr int kCentury = 100;
constexpr int kMaxMillisecondDigits = 3;
// The two half-day markers: the morning's text, "/", the afternoon's text.
constexpr QStringView kAmPm = u"am/pm";
constexpr QStringView kAP = u"a/p";

// One pass over a format: the characters read and the text written.
class TDateTimeFormatter {
public:
    TDateTimeFormatter(const QString& format, const QDateTime& moment, const QLocale& locale)
        : m_format(format), m_date(moment.date()), m_time(moment.time()), m_locale(locale) {}

    QString Run() {
        while (m_pos < m_format.size()) Step();
        return m_out;
    }

private:
    void Step() {
        const QChar ch = m_format[m_pos];
        QChar token = ch.toUpper();
        if (token >= u'A' && token <= u'Z') {
            if (token == u'M' && m_lastToken == u'H') token = u'N';
            m_lastToken = token;
        }
        switch (token.unicode()) {
        case u'Y':
            WriteYear(Count(ch));
            break;
        case u'M':
            WriteMonth(Count(ch));
            break;
        case u'D':
            WriteDay(Count(ch));
            break;
        case u'H':
            WriteHour(Count(ch));
            break;
        case u'N':
            WriteNumber(m_time.minute(), std::min(Count(ch), kMaxNumberDigits));
            break;
        case u'S':
            WriteNumber(m_time.second(), std::min(Count(ch), kMaxNumberDigits));
            break;
        case u'Z':
            WriteNumber(m_time.msec(), std::min(Count(ch), kMaxMillisecondDigits));
            break;
        case u'A':
            WriteHalfDay();
            break;
        case u'\'':
        case u'"':
            WriteQuoted(ch);
            break;
        default:
            m_out += ch;
            ++m_pos;
            break;
        }
    }

    // How many times ch repeats from the current position; the position moves past them.
    int Count(QChar ch) {
        int count = 0;
        while (m_pos < m_format.size() && m_format[m_pos] == ch) {
            ++count;
            ++m_pos;
        }
        return count;
    }

    void WriteNumber(int value, int digits) { m_out += QStringLiteral("%1").arg(value, digits, 10, QChar(u'0')); }

    void WriteYear(int count) {
        if (count <= kMaxNumberDigits) WriteNumber(m_date.year() % kCentury, kMaxNumberDigits);
        else WriteNumber(m_date.year(), kYearDigits);
    }

    void WriteMonth(int count) {
        if (count <= kMaxNumberDigits) WriteNumber(m_date.month(), count);
        else m_out += m_locale.monthName(m_date.month(), count == kMaxNumberDigits + 1 ? QLocale::ShortFormat : QLocale::LongFormat);
    }

    void WriteDay(int count) {
        if (count <= kMaxNumberDigits) WriteNumber(m_date.day(), count);
        else m_out += m_locale.dayName(m_date.dayOfWeek(), count == kMaxNumberDigits + 1 ? QLocale::ShortFormat : QLocale::LongFormat);
    }

    void WriteHour(int count) {
        int hour = m_time.hour();
        if (HalfDayFollows()) {
            hour %= kHoursPerHalfDay;
            if (hour == 0) hour = kHoursPerHalfDay;
        }
        WriteNumber(hour, std::min(count, kMaxNumberDigits));
    }

    // Whether the first "a" or "h" after the position (outside quotes) starts am/pm or a/p.
    bool HalfDayFollows() const {
        QChar quote;
        for (qsizetype i = m_pos; i < m_format.size(); ++i) {
            const QChar c = m_format[i];
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
                continue;
            }
            if (c == u'\'' || c == u'"') quote = c;
            else if (c == u'h' || c == u'H') return false;
            else if (c == u'a' || c == u'A') return StartsHalfDay(i) > 0;
        }
        return false;
    }

    // The length of "am/pm" or "a/p" at position i, in any case; 0 when neither starts there.
    qsizetype StartsHalfDay(qsizetype i) const {
        const QStringView rest = QStringView(m_format).mid(i);
        for (QStringView marker : {kAmPm, kAP})
            if (rest.startsWith(marker, Qt::CaseInsensitive)) return marker.size();
        return 0;
    }

    // A marker writes its morning or afternoon text as the format spells it; another "a" is itself.
    void WriteHalfDay() {
        const qsizetype length = StartsHalfDay(m_pos);
        if (length == 0) {
            m_out += m_format[m_pos++];
            return;
        }
        const qsizetype textLength = (length - 1) / 2;
        const bool afternoon = m_time.hour() >= kHoursPerHalfDay;
        m_out += m_format.mid(afternoon ? m_pos + length - textLength : m_pos, textLength);
        m_pos += length;
    }

    // Text up to the closing quote (or the end) as it is.
    void WriteQuoted(QChar quote) {
        ++m_pos;
        const qsizetype close = m_format.indexOf(quote, m_pos);
        const qsizetype end = close < 0 ? m_format.size() : close;
        m_out += m_format.mid(m_pos, end - m_pos);
        m_pos = close < 0 ? end : close + 1;
    }

    const QString& m_format;
    const QDate m_date;
    const QTime m_time;
    const QLocale& m_locale;
    qsizetype m_pos = 0;
    QChar m_lastToken;
    QString m_out;
};

}  // namespace

QString FormatDateTime(const QString& format, const QDateTime& moment, const QLocale& locale) {
    return TDateTimeFormatter(format, moment, locale).Run();
}

// ---------------------------------------------------------------------------
// TCustomDateTimeMaskElement

T_ELEMENT_CLASS_IMPL(TCustomDateTimeMaskElement, TTextorElement)

TCustomDateTimeMaskElement::TCustomDateTimeMaskElement() noexcept {
    InitVisualOptions(VisualOptions() | voDropDown | voCaseSensitiveList);
}

const QString& TCustomDateTimeMaskElement::DefaultMask() {
    static const QString mask = QStringLiteral("yyyy.mm.dd hh:nn:ss");
    return mask;
}

const QStringList& TCustomDateTimeMaskElement::OfferedMasks() {
    static const QStringList masks = {
        QStringLiteral("yyyy.mm.dd"), QStringLiteral("yyyy.mm.dd hh:nn"), QStringLiteral("yyyy.mm.dd hh:nn:ss"),
        QStringLiteral("dd.mm.yy"),   QStringLiteral("dd.mm.yy hh:nn"),   QStringLiteral("dd.mm.yy hh:nn:ss"),
        QStringLiteral("dd.mm.yyyy"), QStringLiteral("dd.mm.yyyy hh:nn"), QStringLiteral("dd.mm.yyyy hh:nn:ss"),
    };
    return masks;
}

void TCustomDateTimeMaskElement::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | toIdentifierWords | toMaxWidth240);
    SetRestrictions(trAnyText);
}

void TCustomDateTimeMaskElement::InitNew(TPaletteItem* item) {
    TTextorElement::InitNew(item);
    SetText(DefaultMask());
}

QString TCustomDateTimeMaskElement::FormatDateTime(const QDateTime& moment) const {
    return ::FormatDateTime(GetText(), moment);
}

TDropDownItem* TCustomDateTimeMaskElement::FillDropDown(TDropDownItem* root) {
    for (const QString& mask : OfferedMasks()) root->AddItem(-1, mask);
    return TTextorElement::FillDropDown(root);
}

// ---------------------------------------------------------------------------
// TExpandButton

T_ELEMENT_CLASS_IMPL(TExpandButton, TCustomButtonElement)

namespace {
const QString kValueAttribute = QStringLiteral("Value");
}  // namespace

TExpandButton::TExpandButton() noexcept {
    InitOptions(Options() | eoStoredInParentNode | eoValidated);
    InitVisualOptions(VisualOptions() | voFocusable);
}

TExpandButton* TExpandButton::CreateFor(TElement* owner, bool initiallyExpanded, TElement* before,
                                        TVisualElement* visualParent, TVisualElement* visualBefore) {
    auto* button = static_cast<TExpandButton*>(
        TVisualElement::CreateSubElement(StaticClass(), owner, before, visualParent, visualBefore));
    button->m_initiallyExpanded = initiallyExpanded;
    button->m_expanded = initiallyExpanded;
    return button;
}

void TExpandButton::SetExpanded(bool value) {
    if (value == m_expanded) return;
    m_expanded = value;
    SendNodeMessage(nmExpandStateChanged);
    Invalidate();
}

void TExpandButton::ChangeExpanded(bool value) {
    TSchemeOperation::Execute(MakeNode<TExpandButtonOperation>(this, value));
}

void TExpandButton::AddControlledElement(TElement* element) {
    m_controlled.append(element);
    UpdateDefault();
}

int TExpandButton::GetPictureKind() {
    if (m_expanded) return IsDefault() ? tekExpanded : tekExpandedData;
    return IsDefault() ? tekCollapsed : tekCollapsedData;
}

void TExpandButton::Action() {
    PlaySchemeSound(m_expanded ? sndExpandButtonCollapse : sndExpandButtonExpand);
    ChangeExpanded(!m_expanded);
}

void TExpandButton::Paint(TSheetCanvas& canvas) { canvas.DrawThemeImage(GetPictureKind(), QPoint(0, 0)); }

TRect TExpandButton::GetMargins() { return Sheet() ? Sheet()->Canvas()->GetThemeMargins(tekCollapsed) : TRect{}; }

void TExpandButton::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    if (Sheet()) {
        const QSize size = Sheet()->Canvas()->GetThemeSize(tekCollapsed);
        SetSize(size.width(), size.height());
    }
    TCustomButtonElement::UpdateLayout(force, all, widthChanged, heightChanged);
}

int TExpandButton::GetCursor(QPoint p) { return crExpandButton; }

void TExpandButton::GetHint(QString& text) { text = LoadStr(strCollapseExpand); }

void TExpandButton::GetCaret(int& kind, TRect& rect) {
    kind = ckFocusRect;
    rect = GetClientRect();
}

bool TExpandButton::GetIsDefault() {
    for (TElement* element : m_controlled)
        if (element->IsValidated() && !element->IsDefault()) return false;
    bool isDefault = true;
    SendNodeMessage(nmExpandButtonDefault, reinterpret_cast<intptr_t>(&isDefault));
    return isDefault;
}

void TExpandButton::DefaultStateChanged() {
    TCustomButtonElement::DefaultStateChanged();
    Invalidate();
}

QString TExpandButton::StateAttributeName(TSchemeFiler* filer) {
    return ValueAttributeIn(filer, kValueAttribute);
}

void TExpandButton::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomButtonElement::SaveTo(saver, knot);
    if (!saver->HasOption(foNoPosition) && m_expanded != m_initiallyExpanded)
        knot->WriteBool(StateAttributeName(saver), m_expanded);
}

void TExpandButton::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomButtonElement::LoadFrom(loader, knot);
    if (!loader->HasOption(foNoPosition)) SetExpanded(knot->ReadBool(StateAttributeName(loader), m_initiallyExpanded));
}

// ---------------------------------------------------------------------------
// TExpandButtonOperation

T_CLASS_IMPL_ABSTRACT(TExpandButtonOperation, TElementOperation)

TExpandButtonOperation::TExpandButtonOperation(TExpandButton* button, bool newExpanded)
    : TElementOperation(button, false), m_newExpanded(newExpanded) {}

int TExpandButtonOperation::GetFlags() const { return TElementOperation::GetFlags() & ~ofChangesData; }

void TExpandButtonOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* button = dynamic_cast<TExpandButton*>(element);
    if (!button) return;
    m_oldExpanded = button->Expanded();
    button->SetExpanded(m_newExpanded);
    button->NotifyFocusedState();
}

void TExpandButtonOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    auto* button = dynamic_cast<TExpandButton*>(element);
    if (!button) return;
    button->SetExpanded(m_oldExpanded);
    button->NotifyFocusedState();
}

// ---------------------------------------------------------------------------
// The cursor

void RegisterExpandButtonCursor() {
    RegisterCustomCursor(crExpandButton, QStringLiteral("diExpandButtonCursor"), Qt::PointingHandCursor);
}

#include "scheme/diFilers.h"

#include <algorithm>
#include <limits>

// ---------------------------------------------------------------------------
// Format version

namespace {
// Whether the text, blanks around it aside, is a sign and decimal digits.
bool IsDecimalNumber(const QString& text) {
    QStringView digits = QStringView(text).trimmed();
    if (digits.startsWith(u'+') || digits.startsWith(u'-')) digits = digits.mid(1);
    return !digits.isEmpty() &&
           std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The whole text as a decimal integer, or def. A number beyond the range of
// int counts as that range's end: a version too large to hold is still
// larger than every version this program knows.
int64_t ToIntDef(const QString& text, int64_t def) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok) return v;
    if (!IsDecimalNumber(text)) return def;
    return text.trimmed().startsWith(QLatin1Char('-')) ? std::numeric_limits<int>::min()
                                                       : std::numeric_limits<int>::max();
}
}  // namespace

int ParseFormatVersion(const QString& text) noexcept {
    int64_t value;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        value = ToIntDef(text.left(dot), 1) * 1000 + ToIntDef(text.mid(dot + 1), 0);
    else
        value = ToIntDef(text, 1) * 1000;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(value);
}

// ---------------------------------------------------------------------------
// TSchemeFiler

TSchemeFiler::TSchemeFiler(uint8_t mode, TKnot* knot, uint8_t options) : m_mode(mode), m_options(options) {
    if (!knot) {
        m_ownKnot = TKnot::Create();
        knot = m_ownKnot.get();
    }
    m_knot = knot;
}

TSchemeFiler::~TSchemeFiler() = default;

// ---------------------------------------------------------------------------
// TSchemeSaver

void TSchemeSaver::WriteFormatVersion() {
    Knot()->WriteStr(QStringLiteral("FormatVersion"),
                     QStringLiteral("%1.%2").arg(kSchemeFormatVersion / 1000).arg(kSchemeFormatVersion % 1000));
}

QByteArray SchemeFileBytes(const TKnot& knot) { return knot.SaveToBytes(TKnotEncoding::Utf8); }

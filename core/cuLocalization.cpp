#include "core/cuLocalization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

TLocalization* g_localization = nullptr;

// ---------------------------------------------------------------------------
// Table files

// Decodes "&#N;", "&quot;", "&lt;", "&gt;" and "&amp;"; anything else stays.
QString DecodeEntities(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const qsizetype semi = c == u'&' ? value.indexOf(u';', i + 1) : -1;
        if (semi < 0) {
            out += c;
            continue;
        }
        const QStringView name = value.mid(i + 1, semi - i - 1);
        bool ok = false;
        if (name.startsWith(u'#')) {
            const uint code = name.mid(1).toUInt(&ok);
            if (ok && code <= 0xFFFF) out += QChar(char16_t(code));
            ok = ok && code <= 0xFFFF;
        } else if (name == u"quot") {
            out += u'"', ok = true;
        } else if (name == u"lt") {
            out += u'<', ok = true;
        } else if (name == u"gt") {
            out += u'>', ok = true;
        } else if (name == u"amp") {
            out += u'&', ok = true;
        }
        if (ok)
            i = semi;
        else
            out += c;
    }
    return out;
}

// Reads the attributes of one element starting after its name; stops at "/>"
// or ">". Returns false on a malformed attribute.
bool ReadAttributes(QStringView text, qsizetype& pos, QHash<QString, QString>& attrs) {
    while (pos < text.size()) {
        while (pos < text.size() && text[pos].isSpace()) ++pos;
        if (pos >= text.size()) return false;
        if (text[pos] == u'>') return ++pos, true;
        if (text.mid(pos).startsWith(u"/>")) return pos += 2, true;
        const qsizetype eq = text.indexOf(u'=', pos);
        if (eq < 0 || eq + 1 >= text.size() || text[eq + 1] != u'"') return false;
        const qsizetype close = text.indexOf(u'"', eq + 2);
        if (close < 0) return false;
        attrs.insert(text.mid(pos, eq - pos).trimmed().toString(), DecodeEntities(text.mid(eq + 2, close - eq - 2)));
        pos = close + 1;
    }
    return false;
}

std::map<uint16_t, TStringTable> ReadEmbeddedTables() {
    std::map<uint16_t, TStringTable> tables;
    const QDir dir(QStringLiteral(":/strings"));
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
        bool isNumber = false;
        const uint lang = info.completeBaseName().toUInt(&isNumber);
        if (!isNumber || lang > 0xFFFF) continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        tables[uint16_t(lang)] = ReadStringTable(file.readAll());
    }
    return tables;
}

}  // namespace

QList<TStringEntry> ReadStringEntries(const QByteArray& data, bool* ok) {
    const QString text = QString::fromUtf8(data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data);
    QList<TStringEntry> entries;
    bool clean = text.contains(QLatin1String("<Strings"));
    qsizetype pos = 0;
    while ((pos = text.indexOf(QLatin1String("<S "), pos)) >= 0) {
        pos += 3;
        QHash<QString, QString> attrs;
        if (!ReadAttributes(text, pos, attrs)) {
            clean = false;
            break;
        }
        bool isNumber = false;
        const int id = attrs.value(QStringLiteral("Id")).toInt(&isNumber);
        if (isNumber)
            entries.append({id, attrs.value(QStringLiteral("Text"))});
        else
            clean = false;
    }
    if (ok) *ok = clean;
    return entries;
}

TStringTable ReadStringTable(const QByteArray& data, bool* ok) {
    TStringTable table;
    for (const TStringEntry& e : ReadStringEntries(data, ok)) table.insert(e.id, e.text);
    return table;
}

// ---------------------------------------------------------------------------
// TLocalization

T_CLASS_IMPL_ABSTRACT(TLocalization, TItfObject)

TLocalization::TLocalization() : m_tables(ReadEmbeddedTables()) {}

TLocalization::TLocalization(std::map<uint16_t, TStringTable> tables) : m_tables(std::move(tables)) {}

TLocalization::~TLocalization() = default;

void TLocalization::SetLanguage(uint16_t langId) {
    if (m_language.exchange(langId, std::memory_order_relaxed) == langId) return;
    Broadcast(1, 0, 0);
}

void TLocalization::SetFallbackLanguage(uint16_t langId) {
    if (m_fallbackLanguage.exchange(langId, std::memory_order_relaxed) == langId) return;
    Broadcast(1, 0, 0);
}

const TStringTable* TLocalization::Table(uint16_t langId) const noexcept {
    const auto it = m_tables.find(langId);
    return it == m_tables.end() ? nullptr : &it->second;
}

QList<uint16_t> TLocalization::Languages() const {
    QList<uint16_t> list;
    for (const auto& [lang, table] : m_tables) list << lang;
    return list;
}

QString TLocalization::LoadStrLang(int id, uint16_t langId) const {
    const TStringTable* table = Table(langId);
    if (!table) return {};
    const auto it = table->constFind(id);
    return it == table->constEnd() ? QString() : *it;
}

QString TLocalization::LoadStr(int id) const {
    const uint16_t language = Language();
    QString text = LoadStrLang(id, language);
    const uint16_t fallback = FallbackLanguage();
    if (text.isEmpty() && fallback != 0 && fallback != language) text = LoadStrLang(id, fallback);
    return text;
}

// ---------------------------------------------------------------------------
// Free functions

TLocalization* Localization() noexcept { return g_localization; }

QString LoadStrLang(int id, uint16_t langId) { return g_localization ? g_localization->LoadStrLang(id, langId) : QString(); }

QString LoadStr(int id) { return g_localization ? g_localization->LoadStr(id) : QString(); }

QString FormatPlaceholders(const QString& text, const QStringList& args) {
    // The text as runs: the template's own runs are searched, the inserted
    // arguments never are.
    struct Run {
        QString text;
        bool fromTemplate;
    };
    std::vector<Run> runs{{text, true}};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString placeholder = QLatin1Char('%') + QString::number(i + 1);
        for (size_t r = 0; r < runs.size(); ++r) {
            if (!runs[r].fromTemplate) continue;
            const qsizetype at = runs[r].text.indexOf(placeholder);
            if (at < 0) continue;
            Run after{runs[r].text.mid(at + placeholder.size()), true};
            runs[r].text.truncate(at);
            runs.insert(runs.begin() + r + 1, {Run{args[i], false}, std::move(after)});
            break;
        }
    }
    QString out;
    for (const Run& run : runs) out += run.text;
    return out;
}

QString LoadStrFmt(int id, const QStringList& args) { return FormatPlaceholders(LoadStr(id), args); }

std::unique_ptr<QIODevice> OpenResourceStream(const QString& name, const QString& resType) {
    auto file = std::make_unique<QFile>(QStringLiteral(":/%1/%2").arg(resType, name));
    if (!file->open(QIODevice::ReadOnly)) return nullptr;
    return file;
}

void InitLocalizationUnit() { g_localization = new TLocalization(); }

void FinalLocalizationUnit() {
    delete g_localization;
    g_localization = nullptr;
}

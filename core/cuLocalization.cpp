#include "core/cuLocalization.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

std::unique_ptr<TLocalization> g_localization;

}  // namespace

QList<TStringEntry> ReadStringEntries(const QByteArray& data, bool* ok) {
    const TNodePtr<TKnot> root = TKnot::Create();
    bool clean = root->LoadFromBytes(data) && root->Name() == u"Strings";
    QList<TStringEntry> entries;
    for (TKnot* knot = root->GetFirstChild(); knot; knot = knot->GetNextSibling()) {
        bool isNumber = false;
        const int id = knot->ReadStr(u"Id").toInt(&isNumber);
        if (knot->Name() == u"S" && isNumber)
            entries.append({id, knot->ReadStr(u"Text")});
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

TLocalization::TTableSlots TLocalization::ListEmbeddedTables() {
    TTableSlots result;
    const QDir dir(QStringLiteral(":/strings"));
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
        bool isNumber = false;
        const uint lang = info.completeBaseName().toUInt(&isNumber);
        if (!isNumber || lang > 0xFFFF) continue;
        auto& slot = result[uint16_t(lang)];
        slot = std::make_unique<TTableSlot>();
        slot->fileName = info.filePath();
    }
    return result;
}

TLocalization::TTableSlots TLocalization::ReadySlots(std::map<uint16_t, TStringTable> tables) {
    TTableSlots result;
    for (auto& [lang, table] : tables) {
        auto& slot = result[lang];
        slot = std::make_unique<TTableSlot>();
        slot->table = std::move(table);
    }
    return result;
}

TLocalization::TLocalization() : m_tables(ListEmbeddedTables()) {}

TLocalization::TLocalization(std::map<uint16_t, TStringTable> tables) : m_tables(ReadySlots(std::move(tables))) {}

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
    if (it == m_tables.end()) return nullptr;
    const TTableSlot& slot = *it->second;
    std::call_once(slot.read, [&slot] {
        if (slot.fileName.isEmpty()) return;
        QFile file(slot.fileName);
        if (file.open(QIODevice::ReadOnly)) slot.table = ReadStringTable(file.readAll());
    });
    return &slot.table;
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

TLocalization* Localization() noexcept { return g_localization.get(); }

QString LoadStrLang(int id, uint16_t langId) { return g_localization ? g_localization->LoadStrLang(id, langId) : QString(); }

QString LoadStr(int id) { return g_localization ? g_localization->LoadStr(id) : QString(); }

namespace {

// The first "%<number>" in text. A digit after it makes a
// longer placeholder when an argument exists for that one ("%10" with ten
// arguments is not "%1" followed by "0").
qsizetype FindPlaceholder(const QString& text, qsizetype number, qsizetype argCount) {
    const QString placeholder = QLatin1Char('%') + QString::number(number);
    for (qsizetype at = text.indexOf(placeholder); at >= 0; at = text.indexOf(placeholder, at + 1)) {
        const qsizetype end = at + placeholder.size();
        const int digit = end < text.size() ? text[end].digitValue() : -1;
        if (digit < 0 || number * 10 + digit > argCount) return at;
    }
    return -1;
}

}  // namespace

QString FormatPlaceholders(const QString& text, const QStringList& args) {
    // The text as runs: the template's own runs are searched, the inserted
    // arguments never are.
    struct Run {
        QString text;
        bool fromTemplate;
    };
    std::vector<Run> runs{{text, true}};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const qsizetype length = 1 + QString::number(i + 1).size();
        for (size_t r = 0; r < runs.size(); ++r) {
            if (!runs[r].fromTemplate) continue;
            const qsizetype at = FindPlaceholder(runs[r].text, i + 1, args.size());
            if (at < 0) continue;
            Run after{runs[r].text.mid(at + length), true};
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

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const Exception& e) {
        return e.Text();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return LoadStr(strError);
    }
}

std::unique_ptr<QIODevice> OpenResourceStream(const QString& name, const QString& resType) {
    auto file = std::make_unique<QFile>(QStringLiteral(":/%1/%2").arg(resType, name));
    if (!file->open(QIODevice::ReadOnly)) return nullptr;
    return file;
}

void InitLocalizationUnit() {
    g_localization = std::make_unique<TLocalization>();
    Exception::InstallTextSource(&LoadStrFmt);
}

void FinalLocalizationUnit() {
    Exception::InstallTextSource(nullptr);
    g_localization.reset();
}

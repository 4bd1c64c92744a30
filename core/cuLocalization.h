#pragma once
// Localised texts by string-table id. One TLocalization object exists between
// the unit's initialisation and finalisation. The string tables are read once
// when it is made and never change afterwards, so LoadStrLang, LoadStr and
// LoadStrFmt may be called from any thread without locking; the language is
// changed only by the user-interface thread.

#include "core/cuClasses.h"

#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

// The texts of one language, by id. Immutable once built.
using TStringTable = QHash<int, QString>;

class TLocalization : public TItfObject {
    T_CLASS(TLocalization)
public:
    // Lists every table embedded in the program (":/strings/<language>.txt");
    // each is read on its first use (from any thread).
    TLocalization();
    // Uses the given tables instead (tests).
    explicit TLocalization(std::map<uint16_t, TStringTable> tables);
    ~TLocalization() override;

    uint16_t Language() const noexcept { return m_language.load(std::memory_order_relaxed); }
    uint16_t FallbackLanguage() const noexcept { return m_fallbackLanguage.load(std::memory_order_relaxed); }
    // Store the value; broadcast 1 ("changed") with both arguments 0 when it changed.
    void SetLanguage(uint16_t langId);
    void SetFallbackLanguage(uint16_t langId);

    // The table of a language; nullptr when the program has none for it.
    const TStringTable* Table(uint16_t langId) const noexcept;
    // Whether the program has a table for the language, from the list of
    // tables alone: none is read.
    bool HasTable(uint16_t langId) const noexcept { return m_tables.count(langId) != 0; }
    // The languages that have a table, the neutral one (0) included, ascending.
    QList<uint16_t> Languages() const;

    QString LoadStrLang(int id, uint16_t langId) const;
    QString LoadStr(int id) const;

private:
    // A language's table: given ready, or read from its file once, when first asked for.
    struct TTableSlot {
        QString fileName;
        mutable std::once_flag read;
        mutable TStringTable table;
    };
    using TTableSlots = std::map<uint16_t, std::unique_ptr<TTableSlot>>;
    static TTableSlots ListEmbeddedTables();
    static TTableSlots ReadySlots(std::map<uint16_t, TStringTable> tables);

    const TTableSlots m_tables;
    std::atomic<uint16_t> m_language{0};
    std::atomic<uint16_t> m_fallbackLanguage{0};
};

// The one instance; nullptr outside the unit's lifetime.
TLocalization* Localization() noexcept;

// Entry `id` of the table of language `langId` exactly; empty when the table
// or the entry is absent (an empty entry counts as absent).
QString LoadStrLang(int id, uint16_t langId);
// LoadStrLang(id, Language); when that is empty and the fallback language is
// set and differs from the language, LoadStrLang(id, FallbackLanguage).
QString LoadStr(int id);
// LoadStr(id) with the first occurrence of "%1".."%n" in the text replaced by
// args[0]..args[n-1]. Only the text from the table is searched: an argument is
// never scanned for placeholders, so a file name holding "%2" stays as it is.
QString LoadStrFmt(int id, const QStringList& args);
// The same rule applied to any template (used by LoadStrFmt).
QString FormatPlaceholders(const QString& text, const QStringList& args);
// Inside a catch block: the text of the exception being handled (an
// Exception's localised text, a standard exception's what(), otherwise the
// text "Error").
QString CurrentExceptionText();

// One entry of a table file, in file order.
struct TStringEntry {
    int id;
    QString text;
};

// Reads one table file (knot text: root "Strings", children "S" with "Id" and
// "Text"), every entry in file order. An entry without a numeric id is skipped
// and makes the read unclean; `ok` tells whether the text was read cleanly.
QList<TStringEntry> ReadStringEntries(const QByteArray& data, bool* ok = nullptr);
// The same as a table: a later entry of an id replaces an earlier one.
TStringTable ReadStringTable(const QByteArray& data, bool* ok = nullptr);

// A read-only stream over a resource of the program (":/<resType>/<name>");
// nullptr when the program has no such resource.
[[nodiscard]] std::unique_ptr<QIODevice> OpenResourceStream(const QString& name, const QString& resType);

void InitLocalizationUnit();
void FinalLocalizationUnit();

#pragma once
// Moving element trees between elements and knot trees. The same two classes
// serve scheme files, clipboard fragments, undo snapshots and the preview's
// private copies; they differ by a mode and an option byte.
//
// A load is always finished explicitly: TSchemeLoader::Finish runs the
// deferred steps, closes the scheme update (the queued checks run) and reports
// what nothing read. A loader destroyed without Finish (the load raised) only
// closes the update, without running anything.

#include "core/cuKnot.h"
#include "scheme/diClasses.h"

#include <QHash>
#include <QList>

#include <cstdint>
#include <vector>

// Filer modes.
enum : uint8_t {
    fmFile = 0,
    fmClipboard = 1,
    fmSnapshot = 2,  // numbers kept; elements with option 0x04 included; nothing reported
};

// Filer options.
enum : uint8_t {
    foSharedData = 0x01,       // loaded elements get state 0x04
    foSchemeFile = 0x02,       // given for scheme files
    foPathsAsIs = 0x04,        // path elements store paths unchanged
    foNoPosition = 0x08,       // "Left" and "Top" neither written nor read
    foSkipDisabled = 0x10,     // disabled content elements are not saved
    foSkipOption20 = 0x20,     // elements with option 0x20 are not saved
    foSkipOption10 = 0x40,     // elements and sub-elements with option 0x10 are not saved
    foSaveInPlace = 0x80,      // TElement::SaveInPlace may take an element's place
};

// The format version this program writes ("1.1") and the first one it warns about.
constexpr int kSchemeFormatVersion = 1001;
constexpr int kSchemeFormatNewer = 1101;

// "FormatVersion" text as major * 1000 + minor; a missing part counts as
// major 1 and minor 0, so "" and "x" read as 1000 and "1.1" as 1001.
int ParseFormatVersion(const QString& text) noexcept;

class TSchemeFiler {
public:
    // knot nil: the filer makes and frees its own.
    TSchemeFiler(uint8_t mode, TKnot* knot, uint8_t options);
    virtual ~TSchemeFiler();
    TSchemeFiler(const TSchemeFiler&) = delete;
    TSchemeFiler& operator=(const TSchemeFiler&) = delete;

    uint8_t Mode() const noexcept { return m_mode; }
    uint8_t Options() const noexcept { return m_options; }
    bool HasOption(uint8_t option) const noexcept { return m_options & option; }
    bool IsSnapshot() const noexcept { return m_mode == fmSnapshot; }
    TKnot* Knot() const noexcept { return m_knot; }

private:
    uint8_t m_mode;
    uint8_t m_options;
    TNodePtr<TKnot> m_ownKnot;
    TKnot* m_knot;
};

class TSchemeLoader : public TSchemeFiler {
public:
    // Opens an update of the scheme; reports corrupt data (2327) and a newer
    // format (2328) into messages (may be nil).
    TSchemeLoader(TScheme* scheme, TElementMessages* messages, TKnot* knot, uint8_t options, uint8_t mode);
    ~TSchemeLoader() override;

    TScheme* Scheme() const noexcept { return m_scheme; }
    TElementMessages* Messages() const noexcept { return m_messages; }
    int FormatVersion() const noexcept { return m_formatVersion; }

    // An element's AfterLoad(datum) runs at Finish, in the order recorded.
    void AddDeferred(TElement* element, intptr_t datum);

    // Stored numbers of referable elements and the new numbers they got.
    void AddNumberMapping(int32_t stored, int32_t renumbered);
    int NumberMappingCount() const noexcept { return int(m_storedNumbers.size()); }
    int32_t StoredNumber(int index) const { return m_storedNumbers.at(size_t(index)); }
    int32_t NewNumber(int index) const { return m_newNumbers.at(size_t(index)); }
    // The new number of a stored one (the first mapping recorded); 0 when unmapped.
    int32_t MapNumber(int32_t stored) const noexcept { return m_numberIndex.value(stored, 0); }

    // Content elements made from stored nodes (CreateChildFromNode) nest at
    // most this deep: the walks over the element tree (layout, invalidation,
    // painting, freeing) recurse, and a deeper file would exhaust the stack or
    // take quadratic time. A scope raises 2327 past the limit and gives its
    // level back however it is left.
    static constexpr int MaxNesting = 1000;
    class TNestingScope {
    public:
        explicit TNestingScope(TSchemeLoader& loader) : m_loader(loader) { loader.EnterNesting(); }
        ~TNestingScope() { --m_loader.m_nesting; }
        TNestingScope(const TNestingScope&) = delete;
        TNestingScope& operator=(const TNestingScope&) = delete;

    private:
        TSchemeLoader& m_loader;
    };

    // The closing work: deferred steps, the outermost EndUpdate with its
    // checks, then (not in snapshot mode) every unread knot (2329) and
    // attribute (2330) reported as a warning. Runs once.
    void Finish();
    bool Finished() const noexcept { return m_finished; }

private:
    void ReportUnread();
    void EnterNesting();

    TScheme* m_scheme;
    TElementMessages* m_messages;
    // Closed by Finish with the checks, else without them (the load raised).
    TSchemeUpdate m_update;
    int m_formatVersion = 0;
    bool m_finished = false;
    int m_nesting = 0;
    // An element destroyed before Finish has left its scheme and is skipped.
    struct Deferred {
        TElement* element;
        int32_t number;
        intptr_t datum;
    };
    std::vector<Deferred> m_deferred;
    std::vector<int32_t> m_storedNumbers;
    std::vector<int32_t> m_newNumbers;
    QHash<int32_t, int32_t> m_numberIndex;
};

class TSchemeSaver : public TSchemeFiler {
public:
    TSchemeSaver(uint8_t mode, TKnot* knot, uint8_t options) : TSchemeFiler(mode, knot, options) {}
    // "FormatVersion" = "1.1".
    void WriteFormatVersion();
};

// The bytes of a scheme file: knot text in UTF-8 with a byte-order mark, CR LF.
QByteArray SchemeFileBytes(const TKnot& knot);

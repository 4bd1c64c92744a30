#pragma once
// Filers: what moves element trees to and from knot trees, with its mode and
// option byte, the saver, and the scheme file's format version and bytes.
// The same filers serve scheme files, clipboard fragments, undo snapshots and
// the preview's private copies; they differ by a mode and an option byte.
// The loader works on a scheme (its update bracket, its registered elements)
// and is therefore part of the scheme model (diClasses), which builds on this
// unit.

#include "core/cuKnot.h"

#include <cstdint>

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
    foSkipComments = 0x40,     // elements and sub-elements with option eoComment are not saved
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

class TSchemeSaver : public TSchemeFiler {
public:
    TSchemeSaver(uint8_t mode, TKnot* knot, uint8_t options) : TSchemeFiler(mode, knot, options) {}
    // "FormatVersion" = "1.1".
    void WriteFormatVersion();
};

// The bytes of a scheme file: knot text in UTF-8 with a byte-order mark, CR LF.
QByteArray SchemeFileBytes(const TKnot& knot);

#pragma once
// Formatting of rich text. Runs and paragraphs point at formatting objects
// that are shared: one global pool holds at most one instance per distinct
// value, reference-counted, so two runs have the same formatting exactly when
// they point at the same instance. Values are changed on an unshared copy,
// which is then exchanged for the shared instance. A holder keeps its
// reference in a TAttributesRef, which adds one when copied and gives it back
// when destroyed.
//
// The pool finds an instance by a hash of its values (Hash, which every
// class that adds fields to Equals extends with the same fields), so that
// acquiring costs the same in a pool of a million values as in a pool of ten.
// It is guarded by one lock, so instances may be looked up, acquired and
// released from any thread (the preview thread builds text models).
// Measuring and painting use the device-context manager and a text canvas
// (the sheet canvas) and belong to the user-interface thread.

#include "core/cuBlockPool.h"
#include "core/cuColors.h"
#include "core/cuTypes.h"

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QPainter;
class TDeviceContextManager;

// What text attributes paint on; the sheet canvas (diCanvas) is one.
class ITextCanvas {
public:
    // Fills rect with color; a colour with alpha blends.
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    virtual void DrawSelection(const TRect& rect, bool active) = 0;
    virtual QPainter& Painter() = 0;
    // The logical resolution of the device painted on, asked of it once per
    // paint pass (a window asks its screen).
    virtual QSize LogicalDpi() = 0;

protected:
    ~ITextCanvas() = default;
};

template <class T>
class TAttributesRef;

class TAttributes {
public:
    TAttributes() = default;
    virtual ~TAttributes() = default;
    TAttributes(const TAttributes&) = delete;
    TAttributes& operator=(const TAttributes&) = delete;

    bool Shared() const noexcept { return m_shared; }
    int RefCount() const;

    virtual void Changing() {}
    virtual void Changed() {}
    // Sets the defaults (the virtual constructor's work).
    virtual void Init() {}
    // Copies the values of other (same class).
    virtual void Assign(const TAttributes& other) {}
    // Same class in the base; each class adds its own fields.
    virtual bool Equals(const TAttributes& other) const;
    // A hash of what Equals compares (the class in the base): equal values
    // hash alike. A class that adds fields to Equals adds them here too,
    // through HashWith on its base's hash.
    virtual uint64_t Hash() const;
    // A new unshared instance of the same class with defaults.
    virtual std::unique_ptr<TAttributes> NewInstance() const = 0;

    // An instance already shared is its own answer; otherwise the pooled
    // instance equal to this one, or a new shared copy. The answer does not
    // gain a reference: hold it through AcquireSharedAs instead.
    TAttributes* GetShared() const;

    // Instances in the pool (for tests and diagnostics).
    static int PoolCount();
    // Frees every pooled instance (the unit's finalisation).
    static void ClearPool();

protected:
    // `hash` with `value` mixed in.
    static uint64_t HashWith(uint64_t hash, uint64_t value) noexcept;
    static uint64_t HashWith(uint64_t hash, const QString& value) noexcept;

private:
    template <class T>
    friend class TAttributesRef;
    template <class T>
    friend TAttributesRef<T> AcquireSharedAs(const T& value);

    // The key of this value in the pool: its hash, mixed.
    uint64_t PoolHash() const;
    TAttributes* FindOrAddLocked(uint64_t poolHash) const;
    // GetShared and one more reference in one step under the pool lock; safe
    // against another thread releasing the same instance meanwhile.
    TAttributes* AcquireShared() const;
    // Reference counting of shared instances; at 0 the instance leaves the
    // pool and is freed.
    void AddRef();
    void Release();

    bool m_shared = false;
    int m_refCount = 0;
    uint64_t m_poolHash = 0;  // PoolHash() when it joined the pool (a shared value never changes)
    size_t m_poolSlot = 0;    // its place in the pool's list
};

// One reference to a shared instance of T (or none): a copy adds a
// reference, destruction gives it back.
template <class T>
class TAttributesRef {
public:
    TAttributesRef() noexcept = default;
    TAttributesRef(const TAttributesRef& other) noexcept : m_shared(other.m_shared) {
        if (m_shared) Base(m_shared)->AddRef();
    }
    TAttributesRef(TAttributesRef&& other) noexcept : m_shared(std::exchange(other.m_shared, nullptr)) {}
    TAttributesRef& operator=(TAttributesRef other) noexcept {
        std::swap(m_shared, other.m_shared);
        return *this;
    }
    ~TAttributesRef() { reset(); }

    T* get() const noexcept { return m_shared; }
    T* operator->() const noexcept { return m_shared; }
    T& operator*() const noexcept { return *m_shared; }
    explicit operator bool() const noexcept { return m_shared != nullptr; }
    void reset() noexcept {
        if (T* shared = std::exchange(m_shared, nullptr)) Base(shared)->Release();
    }

private:
    template <class U>
    friend TAttributesRef<U> AcquireSharedAs(const U& value);
    explicit TAttributesRef(T* adopted) noexcept : m_shared(adopted) {}
    static TAttributes* Base(T* shared) noexcept { return shared; }

    T* m_shared = nullptr;
};

// The shared instance of T equal to `value`, held by the answer.
template <class T>
TAttributesRef<T> AcquireSharedAs(const T& value) {
    return TAttributesRef<T>(static_cast<T*>(value.AcquireShared()));
}

// Paint flags of runs.
enum : int { tpfSelected = 1, tpfInactive = 2 };

class TTextAttributes : public TAttributes {
public:
    int LinkKind() const noexcept { return m_linkKind; }
    const QString& Link() const noexcept { return m_link; }
    void SetLinkKind(int kind);
    void SetLink(const QString& link);

    virtual int GetAscent() const = 0;
    virtual int GetDescent() const = 0;
    int GetHeight() const { return GetAscent() + GetDescent(); }
    virtual int GetTabWidth() const = 0;
    // 0 for no characters; otherwise the extent of the characters, each below 32 measured as U+FFFD.
    virtual int GetTextWidth(const QChar* chars, int count) const = 0;
    int GetTextWidth(const QString& text) const { return GetTextWidth(text.constData(), int(text.size())); }

    // The background of a run over rect when a background colour is set.
    virtual void PaintBackground(ITextCanvas& canvas, int flags, const TRect& rect) const = 0;
    // A run without characters (a tab): x to x + width over the row's height.
    virtual void PaintRun(ITextCanvas& canvas, int flags, int x, int width, const TRect& row) const = 0;
    // Draws the characters at (x, baseline - ascent), each below 32 as U+FFFD;
    // returns their width. The background goes under the run rectangle (x to
    // x + width over row) and, with tpfSelected, the selection over it.
    virtual int PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x, int baseline,
                          const TRect& row) const = 0;

    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;

private:
    int m_linkKind = 0;
    QString m_link;
};

class TParagraphAttributes : public TAttributes {
public:
    uint8_t Options() const noexcept { return m_options; }
    void SetOptions(uint8_t options);

    virtual void Paint(ITextCanvas& canvas, const TRect& rect) const {}
    // Layout values 0..2 (0 in the base); value 1 may depend on the line
    // height of the given text attributes.
    virtual int LayoutValue(int index, const TTextAttributes* text) const { return 0; }
    // Whether any layout value depends on the text attributes given (else
    // they may be left out: nil).
    virtual bool LayoutValuesUseText() const noexcept { return false; }

    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;

private:
    uint8_t m_options = 0;
};

// The text of a run as drawn and measured: characters below 32 become U+FFFD.
QString VisibleRunText(const QChar* chars, int count);

class TTextPicture;

// Pooled instances are made and freed in bulk (a log of many links, a text
// set anew): they come from blocks (cuBlockPool).
// The glyphs of texts painted in one font, shaped once and kept, so that a
// text painted again (a sheet repainted after a keystroke) is only drawn:
// shaping it for every paint, as QPainter::drawText does, costs several times
// the drawing.
class TKeptGlyphs {
public:
    static constexpr size_t MaxTexts = 1024;  // in each generation
    // Bytes of pictures (TTextPicture) in each generation: past them the
    // newer generation becomes the older, as past MaxTexts.
    static constexpr qsizetype MaxPictureBytes = qsizetype(2) << 20;
    // Colours (with the kind of device) a text keeps pictures in.
    static constexpr size_t MaxPicturesPerText = 4;

    TKeptGlyphs();
    ~TKeptGlyphs();
    TKeptGlyphs(const TKeptGlyphs&) = delete;
    TKeptGlyphs& operator=(const TKeptGlyphs&) = delete;

    // Whether kept glyphs are drawn where Qt's raster engine draws text from
    // its glyph caches: on an unscaled painter, in a font without lines.
    static bool DrawsOn(const QPainter& painter, const QFont& font);
    // Whether a text is shaped here as QPainter::drawText shapes it as it
    // is: no unit below 32 and nothing read right to left (which is shaped
    // here forced left to right).
    static bool ShapesAlike(QStringView text);
    // Draws the text (no unit below 32; read left to right) in font with the
    // painter's pen, its baseline's left end at (x, baseline), on a device of
    // the logical resolution dpi. The texts kept are forgotten when the font,
    // the resolution or the painter's direction differ from those they were
    // shaped in. A text drawn again is drawn from a picture of it in the
    // pen's colour where the picture gives the glyphs' pixels.
    void Draw(QPainter& painter, const QFont& font, QStringView text, int x, int baseline, QSize dpi);
    // Forgets every text (the font changed).
    void Forget();
    // The bytes of the pictures kept.
    qsizetype PictureBytes() const;

private:
    struct TShaped;
    struct TTexts;
    TShaped& Find(QStringView text, const QFont& font, QPainter& painter, QSize dpi);
    static TShaped Shape(const QString& text, const QFont& font, QPainter& painter);
    // The checked or unchecked picture to draw the text from on the painter,
    // made if need be; nil where the glyphs are drawn.
    TTextPicture* PictureFor(TShaped& shaped, const QPainter& painter);

    QSize m_dpi;
    Qt::LayoutDirection m_direction = Qt::LeftToRight;
    QFont m_font;
    std::unique_ptr<TTexts> m_texts;
    // Pictures in the font were seen to differ from its glyphs, on an image
    // and on a window.
    std::array<bool, 2> m_picturesRefused{};
};

class TRichTextAttributes : public TTextAttributes, public TBlockAllocated<TRichTextAttributes> {
public:
    TRichTextAttributes();
    ~TRichTextAttributes() override;

    TColor Background() const noexcept { return m_background; }
    const QString& FontName() const noexcept { return m_fontName; }
    int Charset() const noexcept { return m_charset; }
    TColor Color() const noexcept { return m_color; }
    int FontSize() const noexcept { return m_size; }
    int FontStyle() const noexcept { return m_style; }

    void SetBackground(TColor color);
    void SetColor(TColor color);
    void SetFontName(const QString& name);
    // Points; 0 (or less) means the default size.
    void SetFontSize(int size);
    void SetFontStyle(int style);
    void SetFontFlags(uint8_t flags);
    void SetCharset(int charset);

    // The font, made on first need through the device-context manager.
    const QFont& Font() const;
    bool HasCachedFont() const noexcept { return m_font.has_value(); }
    bool HasCachedMetrics() const noexcept { return m_ascent >= 0; }

    int GetAscent() const override;
    int GetDescent() const override;
    int GetTabWidth() const override;
    int GetTextWidth(const QChar* chars, int count) const override;
    using TTextAttributes::GetTextWidth;
    void PaintBackground(ITextCanvas& canvas, int flags, const TRect& rect) const override;
    void PaintRun(ITextCanvas& canvas, int flags, int x, int width, const TRect& row) const override;
    int PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x, int baseline,
                  const TRect& row) const override;

    void Init() override;
    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TRichTextAttributes>(); }

    static constexpr int DefaultFontSize = 8;
    static constexpr int DefaultCharset = 1;

private:
    struct TAdvanceTable;

    void DropFont();
    void Measure() const;
    // The advance of one code unit in 64ths of a pixel, or a negative value
    // when the code unit does not add its own advance to a text's width
    // (marks, format and control characters, surrogates, shaped scripts).
    int32_t UnitAdvance(TDeviceContextManager& dc, char16_t unit) const;
    // The advance of a base and the marks on it, in 64ths of a pixel.
    int32_t ClusterAdvance(TDeviceContextManager& dc, QStringView cluster) const;
    // A text's advance as the measuring device gives it, in 64ths of a pixel.
    int32_t MeasuredAdvance(TDeviceContextManager& dc, QStringView text) const;
    // Draws the visible text (no unit below 32) in the colour with its
    // baseline's left end at (x, baseline), as QPainter::drawText does.
    void DrawText(ITextCanvas& canvas, QStringView text, int x, int baseline) const;

    TColor m_background = clNone;
    QString m_fontName;
    int m_charset = DefaultCharset;
    TColor m_color = 0;
    uint8_t m_fontFlags = 0;
    int m_size = DefaultFontSize;
    int m_style = 0;
    mutable int m_ascent = -1;
    mutable int m_descent = -1;
    mutable int m_tabWidth = 0;
    mutable std::optional<QFont> m_font;
    mutable std::unique_ptr<TAdvanceTable> m_advances;
    mutable std::unique_ptr<TKeptGlyphs> m_glyphs;
};

class TRichParagraphAttributes : public TParagraphAttributes, public TBlockAllocated<TRichParagraphAttributes> {
public:
    TRichParagraphAttributes() { Init(); }

    TColor Background() const noexcept { return m_background; }
    int Number(int index) const { return m_numbers.at(size_t(index)); }  // 0..4
    uint8_t Flag() const noexcept { return m_flag; }
    void SetBackground(TColor color);
    void SetNumber(int index, int value);
    void SetFlag(uint8_t flag);

    // Fills the paragraph rectangle with the background colour when one is set.
    void Paint(ITextCanvas& canvas, const TRect& rect) const override;
    // 0: the first number; 1: the second, plus one line height of text when
    // the flag is set; 2: the fifth number.
    int LayoutValue(int index, const TTextAttributes* text) const override;
    bool LayoutValuesUseText() const noexcept override { return m_flag != 0; }

    void Init() override;
    void Assign(const TAttributes& other) override;
    bool Equals(const TAttributes& other) const override;
    uint64_t Hash() const override;
    std::unique_ptr<TAttributes> NewInstance() const override { return std::make_unique<TRichParagraphAttributes>(); }

private:
    TColor m_background = clNone;
    std::array<int, 5> m_numbers{};
    uint8_t m_flag = 0;
};

void InitTextorAttributesUnit();
void FinalTextorAttributesUnit();

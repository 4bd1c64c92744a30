#include "scheme/diTextorAttributes.h"

#include "core/cuDeviceContextManager.h"
#include "platform/plSystemColors.h"
#include "scheme/diHashIndex.h"
#include "scheme/diTextPicture.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// The pool

namespace {

// The pool owns its instances in a list in which each knows its place, so
// that the last release takes it out at once without touching any other
// instance (the place stays free for the next one), and finds them by the
// hash of their values.
struct TPool {
    using TOwned = std::vector<std::unique_ptr<TAttributes>>;  // nil: a free place
    using TByValue = THashIndex<TAttributes>;

    std::mutex lock;
    TOwned items;
    std::vector<size_t> freePlaces;
    TByValue byValue;

    // Room for one more instance, and for every place to become free, so
    // that adding cannot fail half-way and releasing never allocates.
    void Reserve() {
        if (!freePlaces.empty()) return;
        if (items.size() == items.capacity()) items.reserve(std::max<size_t>(16, 2 * items.size()));
        if (freePlaces.capacity() < items.capacity()) freePlaces.reserve(items.capacity());
    }
};

TPool& Pool() {
    static TPool pool;
    return pool;
}

constexpr uint64_t kHashSeed = 0x9E3779B97F4A7C15ull;
constexpr uintptr_t kCacheLine = 64;

// Starts loading the lines of a pooled instance: its count, and the fields
// its destructor frees when the last reference goes (the rich text
// attributes are the largest instances; loading past a smaller one is
// harmless).
void PrefetchInstance(const TAttributes* instance) noexcept {
    const uintptr_t start = reinterpret_cast<uintptr_t>(instance);
    for (uintptr_t line = start & ~(kCacheLine - 1); line < start + sizeof(TRichTextAttributes); line += kCacheLine)
        __builtin_prefetch(reinterpret_cast<const void*>(line));
}

}  // namespace

int TAttributes::RefCount() const {
    std::lock_guard guard(Pool().lock);
    return m_refCount;
}

bool TAttributes::Equals(const TAttributes& other) const { return typeid(*this) == typeid(other); }

uint64_t TAttributes::Hash() const { return HashWith(kHashSeed, uint64_t(typeid(*this).hash_code())); }

// One multiplication a field; PoolHash mixes the result before the index sees it.
uint64_t TAttributes::HashWith(uint64_t hash, uint64_t value) noexcept {
    return (std::rotl(hash, 23) ^ value) * kHashSeed;
}

uint64_t TAttributes::HashWith(uint64_t hash, const QString& value) noexcept {
    return HashWith(hash, uint64_t(qHash(value, 0)));
}

uint64_t TAttributes::PoolHash() const { return m_shared ? m_poolHash : MixHash(Hash()); }

TAttributes* TAttributes::FindOrAddLocked(uint64_t hash) const {
    if (m_shared) return const_cast<TAttributes*>(this);
    TPool& pool = Pool();
    auto equal = [this](const TAttributes* shared) { return shared->Equals(*this); };
    std::unique_ptr<TAttributes> made;
    TAttributes* answer = pool.byValue.FindOrInsert(hash, equal, [&] {
        made = NewInstance();
        made->m_shared = true;
        made->m_poolHash = hash;
        made->Assign(*this);
        pool.Reserve();
        return made.get();
    });
    if (!made) return answer;
    if (pool.freePlaces.empty()) {
        answer->m_poolSlot = pool.items.size();
        pool.items.push_back(std::move(made));
    } else {
        answer->m_poolSlot = pool.freePlaces.back();
        pool.freePlaces.pop_back();
        pool.items[answer->m_poolSlot] = std::move(made);
    }
    return answer;
}

TAttributes* TAttributes::GetShared() const {
    const uint64_t hash = PoolHash();  // values are hashed outside the lock
    std::lock_guard guard(Pool().lock);
    return FindOrAddLocked(hash);
}

// The slot of the value starts loading while the lock is taken.
TAttributes* TAttributes::AcquireShared() const {
    const uint64_t hash = PoolHash();
    if (!m_shared) Pool().byValue.PrefetchUnlocked(hash);
    std::lock_guard guard(Pool().lock);
    TAttributes* shared = FindOrAddLocked(hash);
    ++shared->m_refCount;
    return shared;
}

void TAttributes::AddRef() {
    std::lock_guard guard(Pool().lock);
    ++m_refCount;
}

void TAttributes::Release() {
    TPool& pool = Pool();
    std::unique_ptr<TAttributes> freed;  // after the lock is given back
    PrefetchInstance(this);  // while the lock is taken
    std::lock_guard guard(pool.lock);
    if (--m_refCount > 0 || !m_shared) return;
    pool.byValue.EraseHeld(m_poolHash, this);
    freed = std::move(pool.items[m_poolSlot]);
    pool.freePlaces.push_back(m_poolSlot);
}

int TAttributes::PoolCount() {
    TPool& pool = Pool();
    std::lock_guard guard(pool.lock);
    return int(pool.items.size() - pool.freePlaces.size());
}

void TAttributes::ClearPool() {
    TPool::TOwned freed;  // after the lock is given back
    TPool& pool = Pool();
    std::lock_guard guard(pool.lock);
    freed.swap(pool.items);
    pool.freePlaces.clear();
    pool.byValue.Clear();
}

// ---------------------------------------------------------------------------
// TTextAttributes and TParagraphAttributes

void TTextAttributes::SetLinkKind(int kind) {
    Q_ASSERT(!Shared());
    Changing();
    m_linkKind = kind;
    Changed();
}

void TTextAttributes::SetLink(const QString& link) {
    Q_ASSERT(!Shared());
    Changing();
    m_link = link;
    Changed();
}

void TTextAttributes::Assign(const TAttributes& other) {
    TAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TTextAttributes*>(&other)) {
        m_linkKind = o->m_linkKind;
        m_link = o->m_link;
    }
}

bool TTextAttributes::Equals(const TAttributes& other) const {
    if (!TAttributes::Equals(other)) return false;
    const auto& o = static_cast<const TTextAttributes&>(other);
    return m_linkKind == o.m_linkKind && m_link == o.m_link;
}

uint64_t TTextAttributes::Hash() const {
    return HashWith(HashWith(TAttributes::Hash(), uint64_t(m_linkKind)), m_link);
}

void TParagraphAttributes::SetOptions(uint8_t options) {
    Q_ASSERT(!Shared());
    Changing();
    m_options = options;
    Changed();
}

void TParagraphAttributes::Assign(const TAttributes& other) {
    TAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TParagraphAttributes*>(&other)) m_options = o->m_options;
}

bool TParagraphAttributes::Equals(const TAttributes& other) const {
    return TAttributes::Equals(other) && m_options == static_cast<const TParagraphAttributes&>(other).m_options;
}

uint64_t TParagraphAttributes::Hash() const { return HashWith(TAttributes::Hash(), m_options); }

QString VisibleRunText(const QChar* chars, int count) {
    QString text(chars, count);
    for (QChar& c : text)
        if (c.unicode() < QChar::Space) c = QChar(QChar::ReplacementCharacter);
    return text;
}

// ---------------------------------------------------------------------------
// TRichTextAttributes

namespace {

// Texts kept by their characters, looked up by a view of them without a copy.
struct TTextViewHash {
    using is_transparent = void;
    size_t operator()(QStringView text) const noexcept { return size_t(qHash(text)); }
};
struct TTextViewEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
};
template <class T>
using TTextMap = std::unordered_map<QString, T, TTextViewHash, TTextViewEqual>;

}  // namespace

// The advances of single code units on one measuring device, in 64ths of a
// pixel (Qt's fixed-point unit: every advance is a whole number of them), in
// pages of 256 made on first need. The font has no kerning and is not shaped,
// so a text of units that UnitAdvance accepts is as wide as the sum of their
// advances; each advance is measured as a text of one unit, the way a whole
// text is measured.
//
// A combining mark that takes the script of the character before it (an
// accent, a variation selector) adds to the width of its base: a base that
// adds its own advance and the marks after it make a cluster, whose advance
// is measured as a text of its own and kept by its units. Such a cluster is
// not shaped either, so a text of clusters and single units is as wide as
// the sum of their advances.
struct TRichTextAttributes::TAdvanceTable {
    static constexpr int PageSize = 256;
    static constexpr int32_t Unmeasured = -2;
    static constexpr int32_t NotAdditive = -1;
    static constexpr int32_t JoinsCluster = -3;
    static constexpr double UnitsPerPixel = 64;
    // Clusters kept at most; the next one after that starts the cache anew,
    // so that a text of ever new stacks of marks cannot grow it without end.
    static constexpr size_t MaxClusters = 4096;
    using TPage = std::array<int32_t, PageSize>;

    explicit TAdvanceTable(const TDeviceContextManager& dc)
        : manager(&dc), device(dc.Device()), pixelsPerInch(dc.PixelsPerInch()) {}

    // The device is compared by address only: a recreated manager measures on
    // a new device, and then every advance is measured again.
    bool MeasuresOn(const TDeviceContextManager& dc) const {
        return manager == &dc && device == dc.Device() && pixelsPerInch == dc.PixelsPerInch();
    }
    // The advance if known, else a negative value.
    int32_t Known(char16_t unit) const noexcept {
        const TPage* page = PageOf(unit);
        return page ? (*page)[unit % PageSize] : Unmeasured;
    }
    int32_t& Slot(char16_t unit) {
        std::unique_ptr<TPage>& page = PageSlot(unit);
        if (!page) {
            page = std::make_unique<TPage>();
            page->fill(Unmeasured);
        }
        return (*page)[unit % PageSize];
    }

    // Most texts stay in the first page, and every link of a log has a table
    // of its own: the index of the other pages is made when one is first needed.
    using TPageIndex = std::array<std::unique_ptr<TPage>, 0x10000 / PageSize>;  // [0] unused
    const TPage* PageOf(char16_t unit) const noexcept {
        if (unit < PageSize) return firstPage.get();
        return otherPages ? (*otherPages)[unit / PageSize].get() : nullptr;
    }
    std::unique_ptr<TPage>& PageSlot(char16_t unit) {
        if (unit < PageSize) return firstPage;
        if (!otherPages) otherPages = std::make_unique<TPageIndex>();
        return (*otherPages)[unit / PageSize];
    }

    const TDeviceContextManager* manager;
    const QPaintDevice* device;
    int pixelsPerInch;
    std::unique_ptr<TPage> firstPage;
    std::unique_ptr<TPageIndex> otherPages;
    TTextMap<int32_t> clusters;
};

namespace {

// Whether a code unit is drawn as a glyph of its own whose advance is added
// to the text's width: not a mark, format, control, private or unassigned
// character, nor half of a surrogate pair, and of a script that is not shaped.
bool AddsOwnAdvance(char16_t unit) {
    switch (QChar::category(unit)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return false;
    default: break;
    }
    switch (QChar::script(unit)) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana: return true;
    default: return false;
    }
}

// Whether a code unit is a combining mark that takes the script of the
// character before it, so that it is drawn on that character.
bool JoinsCluster(char16_t unit) {
    const QChar::Category category = QChar::category(unit);
    return (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing) &&
           QChar::script(unit) == QChar::Script_Inherited;
}

char16_t VisibleUnit(char16_t unit) { return unit < QChar::Space ? char16_t(QChar::ReplacementCharacter) : unit; }

constexpr char16_t kLeftToRightOverride = 0x202D;
constexpr char16_t kPopDirectionalFormatting = 0x202C;

// Whether Qt's bidirectional algorithm could change the order of the text
// or the direction in which it is shaped.
bool HasRightToLeft(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            code = QChar::surrogateToUcs4(char16_t(code), text[++i].unicode());
        switch (QChar::direction(code)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
        case QChar::DirFSI: return true;
        default: break;
        }
    }
    return false;
}

// The text as Qt shapes and draws it left to right in its logical order:
// measuring, hit tests, the caret and the selection run left to right, so
// right-to-left characters are not reordered for painting either. A text
// without them is left as it is (an override costs Qt a bidirectional pass).
QString LeftToRight(const QString& text) {
    if (!HasRightToLeft(text)) return text;
    return QChar(kLeftToRightOverride) + text + QChar(kPopDirectionalFormatting);
}

}  // namespace

TRichTextAttributes::TRichTextAttributes() { Init(); }

TRichTextAttributes::~TRichTextAttributes() = default;

void TRichTextAttributes::Init() {
    m_background = clNone;
    m_fontName = QStringLiteral("Tahoma");
    m_charset = DefaultCharset;
    m_color = GetSystemColor(TSystemColor::WindowText);
    m_fontFlags = 0;
    m_size = DefaultFontSize;
    m_style = 0;
    DropFont();
}

void TRichTextAttributes::DropFont() {
    m_font.reset();
    m_advances.reset();
    m_glyphs.reset();
    m_ascent = m_descent = -1;
    m_tabWidth = 0;
}

void TRichTextAttributes::SetBackground(TColor color) {
    Q_ASSERT(!Shared());
    Changing();
    m_background = color;
    Changed();
}

void TRichTextAttributes::SetColor(TColor color) {
    Q_ASSERT(!Shared());
    Changing();
    m_color = color;
    Changed();
}

void TRichTextAttributes::SetFontName(const QString& name) {
    Q_ASSERT(!Shared());
    Changing();
    m_fontName = name;
    DropFont();
    Changed();
}

void TRichTextAttributes::SetFontSize(int size) {
    Q_ASSERT(!Shared());
    Changing();
    m_size = size > 0 ? size : DefaultFontSize;
    DropFont();
    Changed();
}

void TRichTextAttributes::SetFontStyle(int style) {
    Q_ASSERT(!Shared());
    Changing();
    m_style = style;
    DropFont();
    Changed();
}

void TRichTextAttributes::SetFontFlags(uint8_t flags) {
    Q_ASSERT(!Shared());
    Changing();
    m_fontFlags = flags;
    DropFont();
    Changed();
}

void TRichTextAttributes::SetCharset(int charset) {
    Q_ASSERT(!Shared());
    Changing();
    m_charset = charset;
    DropFont();
    Changed();
}

void TRichTextAttributes::Assign(const TAttributes& other) {
    TTextAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TRichTextAttributes*>(&other)) {
        m_background = o->m_background;
        m_fontName = o->m_fontName;
        m_charset = o->m_charset;
        m_color = o->m_color;
        m_fontFlags = o->m_fontFlags;
        m_size = o->m_size;
        m_style = o->m_style;
        DropFont();
    }
}

bool TRichTextAttributes::Equals(const TAttributes& other) const {
    if (!TTextAttributes::Equals(other)) return false;
    const auto& o = static_cast<const TRichTextAttributes&>(other);
    return m_background == o.m_background && m_fontName == o.m_fontName && m_charset == o.m_charset &&
           m_color == o.m_color && m_fontFlags == o.m_fontFlags && m_size == o.m_size && m_style == o.m_style;
}

uint64_t TRichTextAttributes::Hash() const {
    uint64_t hash = HashWith(TTextAttributes::Hash(), m_fontName);
    for (const uint64_t value : {uint64_t(m_background), uint64_t(uint32_t(m_charset)), uint64_t(m_color),
                                 uint64_t(m_fontFlags), uint64_t(uint32_t(m_size)), uint64_t(uint32_t(m_style))})
        hash = HashWith(hash, value);
    return hash;
}

const QFont& TRichTextAttributes::Font() const {
    if (!m_font) {
        TFontStyles style;
        if (m_style & 1) style |= TFontStyle::Bold;
        if (m_style & 2) style |= TFontStyle::Italic;
        if (m_style & 4) style |= TFontStyle::Underline;
        const int size = m_size > 0 ? m_size : DefaultFontSize;
        if (TDeviceContextManager* dc = DeviceContextManager())
            m_font = dc->CreateFont(m_fontName, size, style);
        else
            m_font = QFont(m_fontName);
    }
    return *m_font;
}

void TRichTextAttributes::Measure() const {
    if (m_ascent >= 0) return;
    TDeviceContextManager* dc = DeviceContextManager();
    if (!dc) {
        m_ascent = m_descent = 0;
        return;
    }
    const QFontMetricsF& metrics = dc->Metrics(Font());
    m_ascent = int(std::lround(metrics.ascent()));
    m_descent = int(std::lround(metrics.descent()));
    m_tabWidth = int(std::lround(metrics.averageCharWidth() * 8));
}

int TRichTextAttributes::GetAscent() const {
    Measure();
    return m_ascent;
}

int TRichTextAttributes::GetDescent() const {
    Measure();
    return m_descent;
}

int TRichTextAttributes::GetTabWidth() const {
    Measure();
    return m_tabWidth;
}

// A unit below 32 is measured as U+FFFD, as in every text.
int32_t TRichTextAttributes::UnitAdvance(TDeviceContextManager& dc, char16_t unit) const {
    int32_t& advance = m_advances->Slot(unit);
    if (advance == TAdvanceTable::Unmeasured) {
        const QChar visible(VisibleUnit(unit));
        if (AddsOwnAdvance(visible.unicode()))
            advance = MeasuredAdvance(dc, QStringView(&visible, 1));
        else
            advance = JoinsCluster(visible.unicode()) ? TAdvanceTable::JoinsCluster : TAdvanceTable::NotAdditive;
    }
    return advance;
}

int32_t TRichTextAttributes::MeasuredAdvance(TDeviceContextManager& dc, QStringView text) const {
    const qreal pixels = dc.Metrics(Font()).horizontalAdvance(text.toString());
    return int32_t(std::lround(pixels * TAdvanceTable::UnitsPerPixel));
}

// The units are a base that adds its own advance (not below 32) and the marks
// that join it.
int32_t TRichTextAttributes::ClusterAdvance(TDeviceContextManager& dc, QStringView cluster) const {
    auto& clusters = m_advances->clusters;
    if (const auto known = clusters.find(cluster); known != clusters.end()) return known->second;
    const int32_t advance = MeasuredAdvance(dc, cluster);
    if (clusters.size() >= TAdvanceTable::MaxClusters) clusters.clear();
    clusters.emplace(cluster.toString(), advance);
    return advance;
}

// The sum of whole 64ths is exact, and so is its value in pixels: the width
// of the whole text.
int TRichTextAttributes::GetTextWidth(const QChar* chars, int count) const {
    if (!chars || count <= 0) return 0;
    TDeviceContextManager* dc = DeviceContextManager();
    if (!dc) return 0;
    if (!m_advances || !m_advances->MeasuresOn(*dc)) m_advances = std::make_unique<TAdvanceTable>(*dc);
    const TAdvanceTable& table = *m_advances;
    auto advanceOf = [&](int i) {
        const int32_t known = table.Known(chars[i].unicode());
        return known != TAdvanceTable::Unmeasured ? known : UnitAdvance(*dc, chars[i].unicode());
    };
    int64_t width = 0;
    int base = -1;  // the last unit that added its own advance, when marks may join it
    for (int i = 0; i < count; ++i) {
        const int32_t advance = advanceOf(i);
        if (advance >= 0) {
            width += advance;
            base = chars[i].unicode() < QChar::Space ? -1 : i;
        } else if (advance == TAdvanceTable::JoinsCluster && base >= 0) {
            int end = i + 1;
            while (end < count && advanceOf(end) == TAdvanceTable::JoinsCluster) ++end;
            width += ClusterAdvance(*dc, QStringView(chars + base, end - base)) - table.Known(chars[base].unicode());
            base = -1;
            i = end - 1;
        } else {
            return int(std::lround(dc->Metrics(Font()).horizontalAdvance(LeftToRight(VisibleRunText(chars, count)))));
        }
    }
    return int(std::lround(double(width) / TAdvanceTable::UnitsPerPixel));
}

void TRichTextAttributes::PaintBackground(ITextCanvas& canvas, int flags, const TRect& rect) const {
    if (m_background != clNone) canvas.FillRect(rect, m_background);
}

void TRichTextAttributes::PaintRun(ITextCanvas& canvas, int flags, int x, int width, const TRect& row) const {
    const TRect rect{x, row.Top, x + width, row.Bottom};
    PaintBackground(canvas, flags, rect);
    if (flags & tpfSelected) canvas.DrawSelection(rect, !(flags & tpfInactive));
}

// Shaped as QPainter::drawText shapes them on the same device and in the
// same direction, and drawn at the same places. The texts painted lately are
// kept in two generations: when the newer is full it becomes the older, and
// what is found in the older moves to the newer, so that the texts of a sheet
// in view stay while those painted once leave.
struct TKeptGlyphs::TShaped {
    QList<QGlyphRun> Runs;
    qreal Baseline = 0;  // of the runs' positions
    // A text drawn once is drawn from its glyphs: pictures are made for texts
    // drawn again (those of a sheet repainted), not for every text that
    // passes by.
    bool DrawnBefore = false;
    std::vector<TTextPicture> Pictures;  // by colour and kind of device

    qsizetype PictureBytes() const {
        qsizetype bytes = 0;
        for (const TTextPicture& picture : Pictures) bytes += picture.Bytes();
        return bytes;
    }
};

struct TKeptGlyphs::TTexts {
    TTextMap<TShaped> Newer;
    TTextMap<TShaped> Older;
    qsizetype NewerBytes = 0;  // of the pictures in Newer
    qsizetype OlderBytes = 0;
};

TKeptGlyphs::TKeptGlyphs() = default;
TKeptGlyphs::~TKeptGlyphs() = default;

bool TKeptGlyphs::DrawsOn(const QPainter& painter, const QFont& font) {
    return painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
           painter.deviceTransform().type() <= QTransform::TxTranslate && !font.underline() && !font.strikeOut() &&
           !font.overline();
}

bool TKeptGlyphs::ShapesAlike(QStringView text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < QChar::Space; }) &&
           !HasRightToLeft(text);
}

void TKeptGlyphs::Forget() {
    if (m_texts) *m_texts = TTexts();
    m_picturesRefused = {};
}

qsizetype TKeptGlyphs::PictureBytes() const { return m_texts ? m_texts->NewerBytes + m_texts->OlderBytes : 0; }

TKeptGlyphs::TShaped& TKeptGlyphs::Find(QStringView text, const QFont& font, QPainter& painter, QSize dpi) {
    if (!m_texts) m_texts = std::make_unique<TTexts>();
    if (dpi != m_dpi || painter.layoutDirection() != m_direction || font != m_font) {
        m_dpi = dpi;
        m_direction = painter.layoutDirection();
        m_font = font;
        Forget();
    }
    TTexts& texts = *m_texts;
    if (const auto found = texts.Newer.find(text); found != texts.Newer.end()) return found->second;
    if (texts.Newer.size() >= MaxTexts || texts.NewerBytes >= MaxPictureBytes) {
        texts.Older = std::move(texts.Newer);
        texts.Newer.clear();
        texts.OlderBytes = std::exchange(texts.NewerBytes, 0);
    }
    if (const auto found = texts.Older.find(text); found != texts.Older.end()) {
        const qsizetype bytes = found->second.PictureBytes();
        texts.OlderBytes -= bytes;
        texts.NewerBytes += bytes;
        return texts.Newer.insert(texts.Older.extract(found)).position->second;
    }
    return texts.Newer.emplace(text.toString(), Shape(text.toString(), font, painter)).first->second;
}

TKeptGlyphs::TShaped TKeptGlyphs::Shape(const QString& text, const QFont& font, QPainter& painter) {
    QTextLayout layout(LeftToRight(text), font, painter.device());
    QTextOption option;
    option.setTextDirection(painter.layoutDirection());
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    TShaped shaped;
    shaped.Runs = line.glyphRuns();
    shaped.Baseline = line.y() + line.ascent();
    return shaped;
}

TTextPicture* TKeptGlyphs::PictureFor(TShaped& shaped, const QPainter& painter) {
    if (!std::exchange(shaped.DrawnBefore, true) || !TTextPicture::Fits(painter)) return nullptr;
    const bool onWindow = TTextPicture::OnWindow(painter);
    if (m_picturesRefused[onWindow]) return nullptr;
    const QRgba64 colour = painter.pen().color().rgba64();
    for (TTextPicture& picture : shaped.Pictures)
        if (picture.Colour() == colour && picture.ForWindow() == onWindow) return picture.Empty() ? nullptr : &picture;
    if (shaped.Pictures.size() >= MaxPicturesPerText) return nullptr;
    TTextPicture& made = shaped.Pictures.emplace_back(shaped.Runs, shaped.Baseline, painter);
    m_texts->NewerBytes += made.Bytes();
    return made.Empty() ? nullptr : &made;
}

void TKeptGlyphs::Draw(QPainter& painter, const QFont& font, QStringView text, int x, int baseline, QSize dpi) {
    TShaped& shaped = Find(text, font, painter, dpi);
    if (TTextPicture* picture = PictureFor(shaped, painter)) {
        if (picture->Checked())
            picture->Draw(painter, x, baseline);
        else if (picture->DrawChecked(painter, shaped.Runs, x, baseline) == TTextPicture::TCheck::Different)
            m_picturesRefused[picture->ForWindow()] = true;
        return;
    }
    const QPointF origin(x, baseline - shaped.Baseline);
    for (const QGlyphRun& run : shaped.Runs) painter.drawGlyphRun(origin, run);
}

void TRichTextAttributes::DrawText(ITextCanvas& canvas, QStringView text, int x, int baseline) const {
    QPainter& painter = canvas.Painter();
    if (!TKeptGlyphs::DrawsOn(painter, Font())) {
        painter.save();
        painter.setFont(Font());
        painter.setPen(QColor::fromRgba(m_color));
        painter.drawText(QPoint(x, baseline), LeftToRight(text.toString()));
        painter.restore();
        return;
    }
    if (!m_glyphs) m_glyphs = std::make_unique<TKeptGlyphs>();
    const QPen pen = painter.pen();
    painter.setPen(QColor::fromRgba(m_color));
    m_glyphs->Draw(painter, Font(), text, x, baseline, canvas.LogicalDpi());
    painter.setPen(pen);
}

int TRichTextAttributes::PaintText(ITextCanvas& canvas, int flags, const QChar* chars, int count, int x,
                                   int baseline, const TRect& row) const {
    const bool visible = std::none_of(chars, chars + count, [](QChar c) { return c.unicode() < QChar::Space; });
    const QString replaced = visible ? QString() : VisibleRunText(chars, count);
    const QStringView text = visible ? QStringView(chars, count) : QStringView(replaced);
    const int width = GetTextWidth(text.data(), int(text.size()));
    const TRect rect{x, row.Top, x + width, row.Bottom};
    PaintBackground(canvas, flags, rect);
    DrawText(canvas, text, x, baseline);
    if (flags & tpfSelected) canvas.DrawSelection(rect, !(flags & tpfInactive));
    return width;
}

// ---------------------------------------------------------------------------
// TRichParagraphAttributes

void TRichParagraphAttributes::Init() {
    m_background = clNone;
    m_numbers.fill(0);
    m_flag = 0;
}

void TRichParagraphAttributes::SetBackground(TColor color) {
    Q_ASSERT(!Shared());
    Changing();
    m_background = color;
    Changed();
}

void TRichParagraphAttributes::SetNumber(int index, int value) {
    Q_ASSERT(!Shared());
    Changing();
    m_numbers.at(size_t(index)) = value;
    Changed();
}

void TRichParagraphAttributes::SetFlag(uint8_t flag) {
    Q_ASSERT(!Shared());
    Changing();
    m_flag = flag;
    Changed();
}

void TRichParagraphAttributes::Paint(ITextCanvas& canvas, const TRect& rect) const {
    if (m_background != clNone) canvas.FillRect(rect, m_background);
}

int TRichParagraphAttributes::LayoutValue(int index, const TTextAttributes* text) const {
    switch (index) {
    case 0: return m_numbers[0];
    case 1: return m_numbers[1] + (m_flag && text ? text->GetHeight() : 0);
    case 2: return m_numbers[4];
    default: return 0;
    }
}

void TRichParagraphAttributes::Assign(const TAttributes& other) {
    TParagraphAttributes::Assign(other);
    if (auto* o = dynamic_cast<const TRichParagraphAttributes*>(&other)) {
        m_background = o->m_background;
        m_numbers = o->m_numbers;
        m_flag = o->m_flag;
    }
}

bool TRichParagraphAttributes::Equals(const TAttributes& other) const {
    if (!TParagraphAttributes::Equals(other)) return false;
    const auto& o = static_cast<const TRichParagraphAttributes&>(other);
    return m_background == o.m_background && m_numbers == o.m_numbers && m_flag == o.m_flag;
}

uint64_t TRichParagraphAttributes::Hash() const {
    uint64_t hash = HashWith(HashWith(TParagraphAttributes::Hash(), uint64_t(m_background)), m_flag);
    for (const int number : m_numbers) hash = HashWith(hash, uint64_t(uint32_t(number)));
    return hash;
}

void InitTextorAttributesUnit() {}
void FinalTextorAttributesUnit() { TAttributes::ClearPool(); }

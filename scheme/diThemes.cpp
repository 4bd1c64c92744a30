#include "scheme/diThemes.h"

#include "core/cuClasses.h"
#include "core/cuDeviceContextManager.h"
#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "core/umBitmap32.h"
#include "core/umUniversalImage.h"
#include "platform/plFiles.h"
#include "platform/plImageCodecs.h"
#include "platform/plResources.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const std::array<QString, tfkCount> FontKindNames{
    QStringLiteral("ElementFont"), QStringLiteral("CodeFont"), QStringLiteral("FixedFont"),
    QStringLiteral("ArtFont"), QStringLiteral("CommentFont")};

struct TKindInfo {
    QString name;
    int fallback;  // -1: none
    bool frame;
};

const std::array<TKindInfo, tekCount> ElementKinds{{
    {QStringLiteral("Sheet"), -1, true},
    {QStringLiteral("Line"), -1, true},
    {QStringLiteral("Unaccepted"), tekElement, true},
    {QStringLiteral("Element"), -1, true},
    {QStringLiteral("ElementCommand"), tekElement, true},
    {QStringLiteral("ElementTechnical"), tekElement, true},
    {QStringLiteral("ElementExpression"), tekElement, true},
    {QStringLiteral("Description"), -1, true},
    {QStringLiteral("Collapsed"), -1, false},
    {QStringLiteral("CollapsedData"), tekCollapsed, false},
    {QStringLiteral("Expanded"), -1, false},
    {QStringLiteral("ExpandedData"), tekExpanded, false},
    {QStringLiteral("Field"), -1, true},
    {QStringLiteral("Name"), tekField, true},
    {QStringLiteral("NamePrivate"), tekName, true},
    {QStringLiteral("NamePublic"), tekName, true},
    {QStringLiteral("CheckBox"), -1, true},
    {QStringLiteral("CheckBoxChecked"), -1, false},
    {QStringLiteral("CheckBoxUnchecked"), -1, false},
    {QStringLiteral("Container"), tekField, true},
    {QStringLiteral("ImageContainer"), tekContainer, true},
    {QStringLiteral("Substitution"), -1, true},
    {QStringLiteral("SubstitutionBegin"), tekSubstitution, true},
    {QStringLiteral("SubstitutionContinue"), tekSubstitution, true},
    {QStringLiteral("SubstitutionEnd"), tekSubstitution, true},
    {QStringLiteral("Comment"), -1, true},
    {QStringLiteral("Error"), -1, false},
    {QStringLiteral("NeedValue"), tekError, false},
    {QStringLiteral("Referenced"), -1, false},
    {QStringLiteral("FrameDot"), -1, true},
    {QStringLiteral("FrameSingle"), -1, true},
    {QStringLiteral("Mark"), -1, true},
    {QStringLiteral("ExternalEditingMode"), -1, true},
    {QStringLiteral("LogicFrame"), tekElement, true},
    {QStringLiteral("ImageChess"), -1, true},
}};

TRect ScaleRect(const TRect& r, int percent) {
    return TRect{r.Left * percent / 100, r.Top * percent / 100, r.Right * percent / 100, r.Bottom * percent / 100};
}

QImage LoadImageBytes(const QByteArray& bytes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    TUniversalImage image;
    image.LoadFromStream(buffer);
    const TBitmap32* frame = image.GetFirstFrame();
    return frame ? frame->Image().convertToFormat(QImage::Format_ARGB32) : QImage();
}

// A theme's text or picture: only a regular file, of at most the size of an
// image file.
QByteArray ReadWholeFile(const QString& fileName) {
    QFile file(fileName);
    const TOpenForReading opened = OpenRegularFileForReading(file);
    if (opened == TOpenForReading::Missing || opened == TOpenForReading::Failed)
        throw Exception::FromId(strFileNotFound, {fileName});
    QByteArray bytes;
    if (opened != TOpenForReading::Opened || !ReadAtMost(file, MaxEncodedImageBytes, bytes))
        throw Exception::FromId(strCannotReadFile, {fileName});
    return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fonts

QFont TSheetThemeFontData::MakeFont() const {
    const QString face = Name.isEmpty() ? QStringLiteral("DejaVu Sans") : Name;
    const int points = Size > 0 ? Size : DefaultThemeFontSize;
    TFontStyles style;
    if (Style & tfsBold) style |= TFontStyle::Bold;
    if (Style & tfsItalic) style |= TFontStyle::Italic;
    if (Style & tfsUnderline) style |= TFontStyle::Underline;
    if (const TDeviceContextManager* dc = DeviceContextManager()) return dc->CreateFont(face, points, style);
    QFont font(face);
    font.setPixelSize(std::max(1, PointsToPixels(points, plScreenPixelsPerInch)));
    font.setBold(style.testFlag(TFontStyle::Bold));
    font.setItalic(style.testFlag(TFontStyle::Italic));
    font.setUnderline(style.testFlag(TFontStyle::Underline));
    font.setKerning(false);
    return font;
}

bool TInstalledFaces::Has(const QString& face) {
    if (m_families.isEmpty()) m_families = QFontDatabase::families();
    if (m_families.contains(face, Qt::CaseInsensitive)) return true;
    const auto known = m_answers.constFind(face);
    if (known != m_answers.constEnd()) return *known;
    const bool has = QFontDatabase::hasFamily(face);  // an alias of an installed face
    m_answers.insert(face, has);
    return has;
}

QString ChooseInstalledFace(const QString& faces, TInstalledFaces& installed) {
    const QStringList names = faces.split(QLatin1Char(','));
    for (const QString& raw : names) {
        const QString name = raw.trimmed();
        if (!name.isEmpty() && installed.Has(name)) return name;
    }
    return {};
}

QString ChooseInstalledFace(const QString& faces) {
    TInstalledFaces installed;
    return ChooseInstalledFace(faces, installed);
}

TRect ParseThemeRect(const QString& text, int min, int max) {
    const QStringList parts = text.split(QLatin1Char(','));
    int v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const int n = parts[i].trimmed().toInt(&ok);
        v[i] = ok ? std::clamp(n, min, max) : 0;
    }
    return TRect{v[0], v[1], v[2], v[3]};
}

// ---------------------------------------------------------------------------
// Tinting and nine-part drawing

QRgb TintPixel(QRgb pixel, TColor tint) noexcept {
    const int alpha = qAlpha(pixel);
    if (alpha == 0) return pixel;
    const double a = qAlpha(tint) / 255.0;
    auto mix = [a](int c, int t) { return std::clamp(int(std::lround(c * (1.0 - a) + t * a)), 0, 255); };
    return qRgba(mix(qRed(pixel), qRed(tint)), mix(qGreen(pixel), qGreen(tint)), mix(qBlue(pixel), qBlue(tint)), alpha);
}

void FitZoneParts(int first, int second, int target, int& fittedFirst, int& fittedSecond) noexcept {
    first = std::max(0, first);
    second = std::max(0, second);
    target = std::max(0, target);
    const int64_t sum = int64_t(first) + second;
    if (target >= sum) {
        fittedFirst = first;
        fittedSecond = second;
        return;
    }
    // sum > target >= 0, so sum > 0: split in proportion, rounded to the
    // nearest (half up); in 64 bits, which parts near the integers' end fit.
    fittedFirst = int((int64_t(first) * target + sum / 2) / sum);
    fittedFirst = std::clamp(fittedFirst, 0, target);
    fittedSecond = target - fittedFirst;
}

namespace {

// Whether every pixel of the part is the same. A picture of 32 bits a pixel
// is read in place: equal words are equal colours (a part whose words differ
// in bits no colour reads is merely drawn instead of filled).
bool IsUniform(const QImage& source, const QRect& from) {
    if (source.depth() == 32) {
        const QRgb first = reinterpret_cast<const QRgb*>(source.constScanLine(from.top()))[from.left()];
        for (int y = from.top(); y <= from.bottom(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            if (!std::all_of(line + from.left(), line + from.right() + 1, [first](QRgb p) { return p == first; }))
                return false;
        }
        return true;
    }
    const QRgb first = source.pixel(from.topLeft());
    for (int y = from.top(); y <= from.bottom(); ++y)
        for (int x = from.left(); x <= from.right(); ++x)
            if (source.pixel(x, y) != first) return false;
    return true;
}

// Whether every row (along x) or every column (along y) of the part holds
// one colour.
bool IsUniformAlong(const QImage& source, const QRect& from, bool alongX) {
    for (int y = from.top(); y <= from.bottom(); ++y)
        for (int x = from.left(); x <= from.right(); ++x)
            if (source.pixel(x, y) != source.pixel(alongX ? from.left() : x, alongX ? y : from.top())) return false;
    return true;
}

// Column and row edges of the nine parts in the source and the target.
struct TNineGrid {
    TNineGrid(const QImage& source, const TRect& zone, const TRect& target) {
        int left, right, top, bottom;
        FitZoneParts(zone.Left, zone.Right, target.Width(), left, right);
        FitZoneParts(zone.Top, zone.Bottom, target.Height(), top, bottom);
        const int sw = source.width(), sh = source.height();
        const int columns[4] = {0, std::min(left, sw), std::max(std::min(left, sw), sw - right), sw};
        const int rows[4] = {0, std::min(top, sh), std::max(std::min(top, sh), sh - bottom), sh};
        const int targetColumns[4] = {target.Left, target.Left + left, target.Right - right, target.Right};
        const int targetRows[4] = {target.Top, target.Top + top, target.Bottom - bottom, target.Bottom};
        std::copy(std::begin(columns), std::end(columns), sx);
        std::copy(std::begin(rows), std::end(rows), sy);
        std::copy(std::begin(targetColumns), std::end(targetColumns), tx);
        std::copy(std::begin(targetRows), std::end(targetRows), ty);
    }
    QRect MiddleFrom() const { return QRect(sx[1], sy[1], sx[2] - sx[1], sy[2] - sy[1]); }
    TRect MiddleTo() const { return TRect{tx[1], ty[1], tx[2], ty[2]}; }

    int sx[4], sy[4], tx[4], ty[4];
};

void DrawPart(QPainter& painter, const QImage& source, const QRect& from, const QRect& to, int mode) {
    if (from.isEmpty() || to.isEmpty() || mode == tfmLeaveOut) return;
    if (from.size() == to.size()) {
        painter.drawImage(to.topLeft(), source, from);
        return;
    }
    // A part of one colour, such as a sheet's plain middle, stretched or
    // tiled over a window is a fill: scaling it costs ten times as much.
    if (IsUniform(source, from)) {
        painter.fillRect(to, source.pixelColor(from.topLeft()));
        return;
    }
    if (mode == tfmStretch) {
        painter.drawImage(to, source, from);
        return;
    }
    // Tiles from the target's top left; the last ones are cut to fit. A
    // texture brush does it in one fill, however small the tile.
    painter.save();
    painter.setBrushOrigin(to.topLeft());
    painter.fillRect(to, QBrush(source.copy(from)));
    painter.restore();
}

}  // namespace

// The parts between the borders stretch (or tile) with the size; the right
// and bottom borders move with it. A part that stretches and is one colour
// along the stretch looks the same at any length, so a frame all of whose
// stretched parts are such changes only within its borders of the right and
// bottom edges (a target smaller than the borders squeezes them: the edge
// then reaches across all of it).
int FrameSizeEdge(const QImage& image, const TSheetThemeElementData& data) {
    const int edge = std::max(data.Zone.Left + data.Zone.Right, data.Zone.Top + data.Zone.Bottom);
    if (!data.IsFrame || data.Cut.IsEmpty()) return edge;
    const QRect cut = data.Cut.ToQRect();
    const int left = std::min(std::max(0, data.Zone.Left), cut.width());
    const int top = std::min(std::max(0, data.Zone.Top), cut.height());
    const int right = std::max(left, cut.width() - std::max(0, data.Zone.Right));
    const int bottom = std::max(top, cut.height() - std::max(0, data.Zone.Bottom));
    const int columns[4] = {0, left, right, cut.width()};
    const int rows[4] = {0, top, bottom, cut.height()};
    struct TStretched {
        int Column, Row, Mode;
        bool AlongX, AlongY;
    };
    const TStretched parts[] = {{1, 0, tfpTop, true, false},  {1, 2, tfpBottom, true, false},
                                {0, 1, tfpLeft, false, true}, {2, 1, tfpRight, false, true},
                                {1, 1, tfpClient, true, true}};
    for (const TStretched& part : parts) {
        if (data.FillModes[size_t(part.Mode)] != tfmStretch) continue;
        const QRect from = QRect(QPoint(columns[part.Column], rows[part.Row]),
                                 QPoint(columns[part.Column + 1] - 1, rows[part.Row + 1] - 1))
                               .translated(cut.topLeft());
        if (from.isEmpty()) continue;
        if ((part.AlongX && !IsUniformAlong(image, from, true)) || (part.AlongY && !IsUniformAlong(image, from, false)))
            return -1;
    }
    return edge;
}

void DrawNinePart(QPainter& painter, const QImage& source, const TRect& zone, const std::array<int, 5>& fillModes,
                  const TRect& target, const TRect& visible) {
    if (target.IsEmpty() || source.isNull()) return;
    const TNineGrid grid(source, zone, target);
    const int* sx = grid.sx;
    const int* sy = grid.sy;
    const int* tx = grid.tx;
    const int* ty = grid.ty;
    // Fill mode of each part by column and row; corners are copied.
    auto modeOf = [&](int col, int row) {
        if (col == 1 && row == 1) return fillModes[tfpClient];
        if (col == 1) return row == 0 ? fillModes[tfpTop] : fillModes[tfpBottom];
        if (row == 1) return col == 0 ? fillModes[tfpLeft] : fillModes[tfpRight];
        return int(tfmStretch);
    };
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) {
            const QRect from(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
            const TRect part{tx[col], ty[row], tx[col + 1], ty[row + 1]};
            const bool meets = part.Left < visible.Right && part.Right > visible.Left && part.Top < visible.Bottom &&
                               part.Bottom > visible.Top;
            if (!meets) continue;
            DrawPart(painter, source, from, part.ToQRect(), modeOf(col, row));
        }
}

// ---------------------------------------------------------------------------
// TSheetTheme

const QString TSheetTheme::DefaultThemeResource = QStringLiteral("TessalyDefaultTheme");

TSheetTheme::TSheetTheme()
    : m_disableColor(MakeColor(220, 220, 220, 190)),
      m_selectColor(MakeColor(95, 143, 216, 130)),
      m_selectInactiveColor(MakeColor(237, 237, 230, 185)),
      m_baseLayoutRect{3, 3, 3, 3},
      m_layoutRect{3, 3, 3, 3} {
    for (int k = 0; k < tekCount; ++k) m_elements[size_t(k)].IsFrame = IsFrameKind(k);
}

const QString& TSheetTheme::FontKindName(int kind) { return FontKindNames.at(size_t(kind)); }
const QString& TSheetTheme::ElementKindName(int kind) { return ElementKinds.at(size_t(kind)).name; }

int TSheetTheme::ElementKindFallback(int kind) noexcept {
    if (kind < 0 || kind >= tekCount) return kind;
    const int fallback = ElementKinds[size_t(kind)].fallback;
    return fallback < 0 ? kind : fallback;
}

bool TSheetTheme::IsFrameKind(int kind) noexcept {
    return kind >= 0 && kind < tekCount && ElementKinds[size_t(kind)].frame;
}

void TSheetTheme::LoadFromResource(const QString& baseName) {
    QByteArray info, image;
    if (!LoadResource(baseName + QStringLiteral("Info"), info))
        throw Exception::FromId(strFileNotFound, {baseName + QStringLiteral("Info")});
    if (!LoadResource(baseName + QStringLiteral("Image"), image))
        throw Exception::FromId(strFileNotFound, {baseName + QStringLiteral("Image")});
    const QImage picture = LoadImageBytes(image);
    TNodePtr<TKnot> root = TKnot::Create();
    root->LoadFromBytes(info);
    Load(*root, picture);
}

void TSheetTheme::LoadFromFile(const QString& fileName) {
    // The image first, as in the resource case; both files must exist.
    const QFileInfo info(fileName);
    const QString imageName = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".png");
    if (!QFileInfo::exists(fileName)) throw Exception::FromId(strFileNotFound, {fileName});
    const QImage picture = LoadImageBytes(ReadWholeFile(imageName));
    TNodePtr<TKnot> root = TKnot::Create();
    root->LoadFromBytes(ReadWholeFile(fileName));
    Load(*root, picture);
}

void TSheetTheme::Load(TKnot& root, const QImage& image) {
    m_image = image.convertToFormat(QImage::Format_ARGB32);
    DropCaches();
    ReadColors(root);
    TInstalledFaces installed;
    for (int k = 0; k < tfkCount; ++k) ReadFont(root.FindChild(FontKindName(k)), installed, m_fonts[size_t(k)]);
    TNodePtr<TKnot> empty = TKnot::Create();
    for (int k = 0; k < tekCount; ++k) {
        TKnot* node = nullptr;
        for (int kind = k;;) {
            node = root.FindChild(ElementKindName(kind));
            const int fallback = ElementKindFallback(kind);
            if (node || fallback == kind) break;
            kind = fallback;
        }
        ReadElement(node ? node : empty.get(), k, m_elements[size_t(k)]);
    }
    DeriveImageLayouts();
}

TColor TSheetTheme::PixelColor(int x, int y, TColor defaultColor) const {
    if (m_image.isNull() || m_image.width() <= 0 || m_image.height() <= 0) return defaultColor;
    x = std::clamp(x, 0, m_image.width() - 1);
    y = std::clamp(y, 0, m_image.height() - 1);
    return m_image.pixel(x, y);
}

TColor TSheetTheme::ReadColor(TKnot* node, const QString& name, TColor defaultColor) {
    if (!node || !node->FindParam(name)) return defaultColor;
    const QStringList parts = node->ReadStr(name).split(QLatin1Char(','));
    int xy[2] = {0, 0};
    for (int i = 0; i < 2 && i < parts.size(); ++i) {
        bool ok = false;
        const int v = parts[i].trimmed().toInt(&ok);
        xy[i] = ok ? v : 0;
    }
    return PixelColor(xy[0], xy[1], defaultColor);
}

void TSheetTheme::ReadColors(TKnot& root) {
    m_disableColor = ReadColor(&root, QStringLiteral("DisableColor"), m_disableColor);
    m_selectColor = ReadColor(&root, QStringLiteral("SelectColor"), m_selectColor);
    m_selectInactiveColor = ReadColor(&root, QStringLiteral("SelectInactiveColor"), m_selectInactiveColor);
}

void TSheetTheme::ReadFont(TKnot* node, TInstalledFaces& installed, TSheetThemeFontData& font) {
    font = TSheetThemeFontData();
    if (!node) {
        font.Size = DefaultThemeFontSize;
        return;
    }
    font.Name = ChooseInstalledFace(node->ReadStr(QStringLiteral("Name")), installed);
    font.BaseSize = std::max(0, node->ReadInt(QStringLiteral("Size"), 0));
    font.Size = font.BaseSize > 0 ? font.BaseSize : DefaultThemeFontSize;
    font.Style = (node->ReadBool(QStringLiteral("Bold"), false) ? tfsBold : 0) |
                 (node->ReadBool(QStringLiteral("Italic"), false) ? tfsItalic : 0) |
                 (node->ReadBool(QStringLiteral("Underline"), false) ? tfsUnderline : 0);
    font.Color = ReadColor(node, QStringLiteral("Color"), MakeColor(0, 0, 0));
    font.SecondColor = ReadColor(node, QStringLiteral("SecondColor"), clNone);
}

void TSheetTheme::ReadElement(TKnot* node, int kind, TSheetThemeElementData& data) {
    data = TSheetThemeElementData();
    data.IsFrame = IsFrameKind(kind);
    TRect cut = ParseThemeRect(node->ReadStr(QStringLiteral("Cut")));
    if (cut == TRect{})
        cut = TRect{0, 0, m_image.width(), m_image.height()};
    else
        cut = TRect{cut.Left, cut.Top, cut.Right + 1, cut.Bottom + 1};
    // Only what lies in the image: a cut of up to 10000 x 10000 pixels beyond
    // a small image would otherwise be copied at that size.
    cut.Right = std::min(cut.Right, m_image.width());
    cut.Bottom = std::min(cut.Bottom, m_image.height());
    if (cut.IsEmpty()) cut = TRect{};
    data.Cut = cut;
    data.ColorOver = ReadColor(node, QStringLiteral("ColorOver"), clNone);
    data.MouseTransparent = ParseThemeRect(node->ReadStr(QStringLiteral("MouseTransparent")));
    data.BaseMargins = data.Margins = ParseThemeRect(node->ReadStr(QStringLiteral("Margins")), -10000, 10000);
    data.BasePadding = data.Padding = ParseThemeRect(node->ReadStr(QStringLiteral("Padding")));
    if (data.IsFrame) {
        static const QString modeNames[5] = {QStringLiteral("FillModeLeft"), QStringLiteral("FillModeTop"),
                                             QStringLiteral("FillModeRight"), QStringLiteral("FillModeBottom"),
                                             QStringLiteral("FillModeClient")};
        for (int i = 0; i < 5; ++i) data.FillModes[size_t(i)] = node->ReadInt(modeNames[i], 0, 0, 2);
        data.Zone = ParseThemeRect(node->ReadStr(QStringLiteral("Zone")));
    }
    data.SizeEdge = FrameSizeEdge(m_image, data);
}

void TSheetTheme::DeriveImageLayouts() {
    const TSheetThemeElementData& field = m_elements[tekField];
    for (int i = 0; i < 3; ++i) {
        TSheetThemeImageData& layout = m_imageLayouts[size_t(i)];
        layout.BaseInsets = field.BaseMargins;
        layout.BaseInsets.Left = layout.BaseInsets.Right = 3 + i;
        layout.Insets = layout.BaseInsets;
        layout.BaseSize = layout.Size = std::max(2, field.BasePadding.Left * 2 / 5);
    }
}

void TSheetTheme::Scale(int pointDelta, int percent) {
    for (TSheetThemeFontData& font : m_fonts)
        font.Size = (font.BaseSize > 0 ? font.BaseSize : DefaultThemeFontSize) + pointDelta;
    for (TSheetThemeElementData& data : m_elements) {
        data.Margins = ScaleRect(data.BaseMargins, percent);
        data.Padding = ScaleRect(data.BasePadding, percent);
    }
    for (TSheetThemeImageData& layout : m_imageLayouts) {
        layout.Insets = ScaleRect(layout.BaseInsets, percent);
        layout.Size = layout.BaseSize * percent / 100;
    }
    m_layoutValue1 = m_baseLayoutValue1 * percent / 100;
    m_layoutValue2 = m_baseLayoutValue2 * percent / 100;
    m_layoutRect = ScaleRect(m_baseLayoutRect, percent);
}

void TSheetTheme::DropCaches() {
    for (QImage& image : m_cutImages) image = QImage();
    for (auto& tinted : m_tinted) tinted.clear();
    for (auto& middles : m_opaqueMiddles) middles.clear();
    m_frames.clear();
    m_frameRuns.clear();
}

size_t qHash(const TThemeFrameKey& key, size_t seed) noexcept {
    return qHashMulti(seed, key.Kind, key.Tint, key.Width, key.Height);
}

const QImage& TSheetTheme::KindImage(int kind, TColor tint) const {
    const TSheetThemeElementData& data = m_elements.at(size_t(kind));
    QImage& cut = m_cutImages[size_t(kind)];
    if (cut.isNull() && !data.Cut.IsEmpty())
        cut = m_image.copy(data.Cut.ToQRect()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (tint == 0 || tint == clNone || cut.isNull()) return cut;
    QHash<TColor, QImage>& copies = m_tinted[size_t(kind)];
    auto it = copies.find(tint);
    if (it == copies.end()) {
        QImage straight = m_image.copy(data.Cut.ToQRect());  // Format_ARGB32
        for (int y = 0; y < straight.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(straight.scanLine(y));
            for (int x = 0; x < straight.width(); ++x) line[x] = TintPixel(line[x], tint);
        }
        it = copies.insert(tint, straight.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return *it;
}

const QImage& TSheetTheme::Picture(int kind, TColor tint) const {
    return KindImage(kind, tint == clNone ? m_elements.at(size_t(kind)).ColorOver : tint);
}

void TSheetTheme::DrawImage(QPainter& painter, int kind, int x, int y, TColor tint) const {
    const QImage& image = Picture(kind, tint);
    if (!image.isNull()) painter.drawImage(QPoint(x, y), image);
}

// Seen only through its middle (an element around a repainted row), a frame
// whose middle is one opaque colour gives its picture's pixels with a fill,
// and one whose middle is left out gives none.
bool TSheetTheme::FillsThroughMiddle(QPainter& painter, int kind, TColor tint, const QImage& source,
                                     const TRect& rect, const TRect& shown) const {
    const TSheetThemeElementData& data = m_elements.at(size_t(kind));
    const TNineGrid grid(source, data.Zone, rect);
    const TRect middle = grid.MiddleTo();
    if (!middle.Holds(shown)) return false;
    if (data.FillModes[tfpClient] == tfmLeaveOut) return true;
    const QRgb colour = OpaqueMiddle(kind, tint, source, grid.MiddleFrom());
    if (colour) painter.fillRect(shown.ToQRect(), QColor::fromRgba(colour));
    return colour != 0;
}

QRgb TSheetTheme::OpaqueMiddle(int kind, TColor tint, const QImage& source, const QRect& from) const {
    QHash<TOpaqueMiddleKey, QRgb>& middles = m_opaqueMiddles[size_t(kind)];
    const TOpaqueMiddleKey key{tint, from.x(), from.y(), from.width(), from.height()};
    if (const auto it = middles.constFind(key); it != middles.cend()) return *it;
    QRgb colour = 0;
    if (!from.isEmpty() && IsUniform(source, from) && qAlpha(source.pixel(from.topLeft())) == 255)
        colour = source.pixel(from.topLeft());
    middles.insert(key, colour);
    return colour;
}

QRgb TSheetTheme::FrameFillsAll(int kind, const TRect& rect, TColor tint, const TRect& visible) const {
    const TSheetThemeElementData& data = m_elements.at(size_t(kind));
    if (tint == clNone) tint = data.ColorOver;
    const QImage& source = KindImage(kind, tint);
    if (rect.IsEmpty() || visible.IsEmpty() || source.isNull() || data.FillModes[tfpClient] == tfmLeaveOut) return 0;
    const TNineGrid grid(source, data.Zone, rect);
    const TRect middle = grid.MiddleTo();
    if (!middle.Holds(visible)) return 0;
    return OpaqueMiddle(kind, tint, source, grid.MiddleFrom());
}

// The parts do not overlap, so a frame drawn on a clear picture and that
// picture drawn over the target give the pixels the parts drawn there give.
void TSheetTheme::DrawFrame(QPainter& painter, int kind, const TRect& rect, TColor tint, const TRect& visible) const {
    const TSheetThemeElementData& data = m_elements.at(size_t(kind));
    if (tint == clNone) tint = data.ColorOver;
    const QImage& source = KindImage(kind, tint);
    if (rect.IsEmpty() || source.isNull()) return;
    const TRect shown{std::max(rect.Left, visible.Left), std::max(rect.Top, visible.Top),
                      std::min(rect.Right, visible.Right), std::min(rect.Bottom, visible.Bottom)};
    if (shown.IsEmpty()) return;
    if (int64_t(rect.Width()) * rect.Height() > kMaxKeptFramePixels) {
        if (!FillsThroughMiddle(painter, kind, tint, source, rect, shown))
            DrawNinePart(painter, source, data.Zone, data.FillModes, rect, visible);
        return;
    }
    const TThemeFrameKey key{kind, tint, rect.Width(), rect.Height()};
    QImage* frame = m_frames.object(key);
    if (!frame) {
        frame = new QImage(rect.Width(), rect.Height(), QImage::Format_ARGB32_Premultiplied);
        frame->fill(Qt::transparent);
        QPainter onFrame(frame);
        DrawNinePart(onFrame, source, data.Zone, data.FillModes, TRect{0, 0, rect.Width(), rect.Height()});
        onFrame.end();
        const qsizetype bytes = frame->sizeInBytes();
        if (!m_frames.insert(key, frame, bytes)) {  // too large to keep: the cache has freed it
            DrawNinePart(painter, source, data.Zone, data.FillModes, rect, visible);
            return;
        }
    }
    auto drawKept = [&](const TRect& part) {
        if (part.IsEmpty()) return;
        painter.drawImage(QPoint(part.Left, part.Top), *frame,
                          QRect(part.Left - rect.Left, part.Top - rect.Top, part.Width(), part.Height()));
    };
    // A small showing is blended whole: each blend costs more to start
    // than such a few pixels cost to blend.
    if (int64_t(shown.Width()) * shown.Height() <= kWholeBlendPixels) {
        drawKept(shown);
        return;
    }
    // What shows of a larger middle that is one opaque colour is filled (or
    // left alone when the middle is left out) and only the borders around it
    // are blended from the kept picture: the parts do not overlap.
    const TNineGrid grid(source, data.Zone, rect);
    const TRect middleTo = grid.MiddleTo();
    const TRect middle{std::max(shown.Left, middleTo.Left), std::max(shown.Top, middleTo.Top),
                       std::min(shown.Right, middleTo.Right), std::min(shown.Bottom, middleTo.Bottom)};
    const bool leftOut = data.FillModes[tfpClient] == tfmLeaveOut;
    const QRgb colour = middle.IsEmpty() || leftOut ? 0 : OpaqueMiddle(kind, tint, source, grid.MiddleFrom());
    if (middle.IsEmpty() || (!leftOut && !colour)) {
        drawKept(shown);
        return;
    }
    if (colour) painter.fillRect(middle.ToQRect(), QColor::fromRgba(colour));
    drawKept(TRect{shown.Left, shown.Top, shown.Right, middle.Top});
    drawKept(TRect{shown.Left, middle.Bottom, shown.Right, shown.Bottom});
    drawKept(TRect{shown.Left, middle.Top, middle.Left, middle.Bottom});
    drawKept(TRect{middle.Right, middle.Top, shown.Right, middle.Bottom});
}

// A frame drawn with a painter once is kept as its picture; drawn into
// pixels again, it is kept as runs instead, so that a size drawn once (a
// frame that grows with each key typed) costs no more than it did.
bool TSheetTheme::DrawFrame(const TPixelTarget& target, int kind, const TRect& rect, TColor tint) const {
    if (tint == clNone) tint = m_elements.at(size_t(kind)).ColorOver;
    const TThemeFrameKey key{kind, tint, rect.Width(), rect.Height()};
    const TPixelRuns* runs = m_frameRuns.object(key);
    if (!runs) {
        const QImage* kept = m_frames.object(key);
        if (!kept) return false;
        auto* made = new TPixelRuns(*kept);
        m_frames.remove(key);
        if (!m_frameRuns.insert(key, made, made->Bytes())) return false;  // too large to keep: the cache has freed it
        runs = made;
    }
    runs->Draw(target, QPoint(rect.Left, rect.Top));
    return true;
}

QSize TSheetTheme::GetSize(int kind) const {
    const TSheetThemeElementData& data = m_elements.at(size_t(kind));
    return QSize(data.Width(), data.Height());
}

int TSheetTheme::GetMinHeight(int kind) const {
    const TRect& z = m_elements.at(size_t(kind)).Zone;
    return z.Top + z.Bottom;
}

#include "ui/baStyledPainter.h"

#include "platform/plSystemColors.h"
#include "scheme/diUtils.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace {

// The unlimited extent of a measuring rectangle.
constexpr int Unlimited = (1 << 27) - 1;
// The size of a caption-less, image-less content.
constexpr int EmptyContent = 10;
// Room for the default-button frame on each axis.
constexpr int DefaultFrameRoom = 2;
// A glyph is 2 units (3 with soLargeSigns) of this many pixels.
constexpr int SignUnit = 3;
constexpr int SignUnits = 2;
constexpr int LargeSignUnits = 3;
constexpr int CircleCorner = 6;
constexpr int LightAmount = 100;

QColor Rgb(TColor color) { return QColor::fromRgba(color); }

// The edge widths of a style on each side, as margins.
TRect EdgeWidths(const TPainterStyle& style) {
    constexpr TRect probe{0, 0, 1000, 1000};
    const TRect content = style.ContentRect(probe);
    return {content.Left - probe.Left, content.Top - probe.Top, probe.Right - content.Right, probe.Bottom - content.Bottom};
}

TRect Inset(const TRect& rect, const TRect& margins) {
    return {rect.Left + margins.Left, rect.Top + margins.Top, rect.Right - margins.Right, rect.Bottom - margins.Bottom};
}

QStyle::State ButtonState(uint8_t state) {
    QStyle::State result = (state & psDisabled) ? QStyle::State_None : QStyle::State_Enabled;
    const bool pressed = (state & psPressed) && (state & psHot);
    if ((state & psChecked) || pressed) result |= QStyle::State_Sunken;
    if (state & psChecked) result |= QStyle::State_On;
    if (state & (psPressed | psHot)) result |= QStyle::State_MouseOver;
    if (state & psFocused) result |= QStyle::State_HasFocus;
    return result;
}

// One sign glyph filling box: a square, a rounded square, a check mark, or
// an arrow (a filled triangle, or an open chevron).
void DrawSignGlyph(QPainter& canvas, TSignAt sign, const QRectF& box, const QColor& color, bool chevrons) {
    canvas.setPen(Qt::NoPen);
    canvas.setBrush(color);
    const qreal l = box.left(), t = box.top(), r = box.right(), b = box.bottom(), cx = box.center().x(),
                cy = box.center().y();
    QPolygonF arrow;
    switch (sign) {
    case saBox:
        canvas.fillRect(box, color);
        return;
    case saCircle:
        canvas.drawRoundedRect(box, CircleCorner / 2.0, CircleCorner / 2.0);
        return;
    case saCheck:
        canvas.setPen(QPen(color, 2));
        canvas.setBrush(Qt::NoBrush);
        canvas.drawPolyline(QPolygonF({QPointF(l, cy), QPointF(cx - 1, b - 1), QPointF(r, t)}));
        return;
    case saArrowLeft:
        arrow = {QPointF(r, t), QPointF(l, cy), QPointF(r, b)};
        break;
    case saArrowRight:
        arrow = {QPointF(l, t), QPointF(r, cy), QPointF(l, b)};
        break;
    case saArrowUp:
        arrow = {QPointF(l, b), QPointF(cx, t), QPointF(r, b)};
        break;
    case saArrowDown:
        arrow = {QPointF(l, t), QPointF(cx, b), QPointF(r, t)};
        break;
    default:
        return;
    }
    if (chevrons) {
        canvas.setPen(QPen(color, 2));
        canvas.setBrush(Qt::NoBrush);
        canvas.drawPolyline(arrow);
    } else {
        canvas.drawPolygon(arrow);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Placement and image effects

TPartPlaces PlaceParts(TAlignKind align, int start, int end, int first, int second, int spacing) {
    const int gap = first > 0 && second > 0 ? spacing : 0;
    const int total = first + gap + second;
    TPartPlaces places;
    switch (align) {
    case akCenter:
        places.First = start + (end - start - total) / 2;
        break;
    case akEnd:
        places.First = end - total;
        break;
    default:
        places.First = start;
        break;
    }
    places.Second = align == akEnd || align == akOpposite ? end - second : places.First + first + gap;
    return places;
}

TContentPlaces PlaceContent(TAlignKind align, TImageLayout layout, const TRect& rect, QSize image, QSize caption,
                            int spacing) {
    const bool horizontal = layout == ilLeft || layout == ilRight;
    const bool imageFirst = layout == ilLeft || layout == ilTop;
    const QSize first = imageFirst ? image : caption;
    const QSize second = imageFirst ? caption : image;
    auto along = [&](QSize s) { return horizontal ? s.width() : s.height(); };
    auto across = [&](QSize s) { return horizontal ? s.height() : s.width(); };
    const int start = horizontal ? rect.Left : rect.Top;
    const int end = horizontal ? rect.Right : rect.Bottom;
    const int crossStart = horizontal ? rect.Top : rect.Left;
    const int crossExtent = horizontal ? rect.Height() : rect.Width();
    const TPartPlaces places = PlaceParts(align, start, end, along(first), along(second), spacing);
    auto place = [&](QSize s, int at) {
        const int crossAt = crossStart + (crossExtent - across(s)) / 2;
        return horizontal ? TRect{at, crossAt, at + s.width(), crossAt + s.height()}
                          : TRect{crossAt, at, crossAt + s.width(), at + s.height()};
    };
    const TRect firstRect = place(first, places.First);
    const TRect secondRect = place(second, places.Second);
    return imageFirst ? TContentPlaces{firstRect, secondRect} : TContentPlaces{secondRect, firstRect};
}

QRgb GrayPixel(QRgb pixel) noexcept {
    const int grey = int(std::lround(0.30 * qRed(pixel) + 0.59 * qGreen(pixel) + 0.11 * qBlue(pixel)));
    const int level = std::clamp(grey, 0, 255);
    return qRgba(level, level, level, qAlpha(pixel));
}

QRgb LightPixel(QRgb pixel) noexcept {
    auto light = [](int c) { return std::clamp(c + LightAmount * (255 - c) / 255, 0, 255); };
    return qRgba(light(qRed(pixel)), light(qGreen(pixel)), light(qBlue(pixel)), qAlpha(pixel));
}

QImage ApplyImageEffects(const QImage& image, TPainterStyleImageEffects effects) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);  // straight alpha for the channel formulas
    for (int y = 0; y < result.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if (effects & pieGray) line[x] = GrayPixel(line[x]);
            if (effects & pieLight) line[x] = LightPixel(line[x]);
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// TStyledPainter

TStyledPainter::TStyledPainter(QObject* parent) : TSinglePainter(parent) {}

TStyledPainter::~TStyledPainter() {
    if (m_styler) m_styler->Notifier().RemoveListener(MakeNotifyListener<&TStyledPainter::OnStylerNotify>(this));
}

void TStyledPainter::SetList(QPointer<TImageList>& slot, TImageList* list) {
    if (slot == list) return;
    if (slot) QObject::disconnect(slot, &QObject::destroyed, this, nullptr);
    slot = list;
    if (list) {
        QPointer<TImageList>* held = &slot;
        connect(list, &QObject::destroyed, this, [this, held] {
            *held = nullptr;
            Changed(pcRepaint | pcResize);
        });
    }
    Changed(pcRepaint | pcResize);
}

void TStyledPainter::SetStyler(TStyler* styler) {
    if (styler == m_styler) return;
    const TNotifyListener listener = MakeNotifyListener<&TStyledPainter::OnStylerNotify>(this);
    if (m_styler) m_styler->Notifier().RemoveListener(listener);
    m_styler = styler;
    if (styler) styler->Notifier().AddListener(listener);
    Changed(pcAll);
}

void TStyledPainter::OnStylerNotify(TNotifier*, TNotify* first) {
    if (!first) {  // the styler goes
        m_styler = nullptr;
        Changed(pcAll);
        return;
    }
    for (TNotify* n = first; n; n = n->Next())
        if (const auto* flags = dynamic_cast<const TFlagsNotify*>(n)) Changed(flags->Flags());
}

const TPainterStyle& TStyledPainter::StyleFor(const TPainterClient& client) const {
    return m_styler->StyleFor(client.GetState());
}

QFont TStyledPainter::FontFor(const TPainterStyle& style) const {
    QFont font = m_styler->Font();
    if (const auto* ex = dynamic_cast<const TPainterStyleEx*>(&style)) {
        const TFontStyles styles = ex->FontStyle();
        font.setBold(styles.testFlag(TFontStyle::Bold));
        font.setItalic(styles.testFlag(TFontStyle::Italic));
        font.setUnderline(styles.testFlag(TFontStyle::Underline));
        font.setStrikeOut(styles.testFlag(TFontStyle::StrikeOut));
    }
    return font;
}

TColor TStyledPainter::FontColorFor(const TPainterStyle& style) const {
    const auto* ex = dynamic_cast<const TPainterStyleEx*>(&style);
    return ex ? ex->FontColor() : m_styler->FontColor();
}

int TStyledPainter::TextFlags() const {
    int flags = Qt::TextDontClip | Qt::TextExpandTabs;
    if (!(m_options & poNoAccelChar)) flags |= Qt::TextShowMnemonic;
    if (m_options & poWordWrap) flags |= Qt::TextWordWrap;
    if (m_options & poEditControl) flags |= Qt::TextWrapAnywhere;
    if (m_layout == ilTop || m_layout == ilBottom) flags |= Qt::AlignHCenter;
    return flags;
}

bool TStyledPainter::HasImage(const TPainterClient& client) const { return HasImage(client, client.GetImageIndex()); }

bool TStyledPainter::HasImage(const TPainterClient& client, int imageIndex) const {
    if (m_options & poNoImages) return false;
    return client.GetOwnImage() || (imageIndex >= 0 && m_images);
}

TStyledPainter::TShownCaption TStyledPainter::ShownCaption(const TPainterClient& client, const QFont& font,
                                                           int width) const {
    const QString caption = client.GetCaption();
    if ((m_options & poNoCaptions) || caption.isEmpty()) return {QString(), QSize(0, 0)};
    int available = width > 0 ? width : Unlimited;
    if (width > 0 && HasImage(client) && (m_layout == ilLeft || m_layout == ilRight))
        available = std::max(0, available - m_imagesWidth - m_spacing);
    const QFontMetrics metrics(font);
    QString text = caption;
    if ((m_options & poEndEllipsis) && width > 0) text = metrics.elidedText(caption, Qt::ElideRight, available, TextFlags());
    const QSize size = metrics.boundingRect(QRect(0, 0, available, Unlimited), TextFlags(), text).size();
    return {std::move(text), size};
}

QSize TStyledPainter::CaptionSize(const TPainterClient& client, const QFont& font, int width) const {
    return ShownCaption(client, font, width).Size;
}

QSize TStyledPainter::ContentSize(const TPainterClient& client, const QFont& font, int width) const {
    const QSize caption = CaptionSize(client, font, width);
    const QSize image = HasImage(client) ? QSize(m_imagesWidth, m_imagesHeight) : QSize(0, 0);
    const bool both = image.width() > 0 && caption.width() > 0;
    if (m_layout == ilLeft || m_layout == ilRight)
        return {image.width() + (both ? m_spacing : 0) + caption.width(), std::max(image.height(), caption.height())};
    const bool stacked = image.height() > 0 && caption.height() > 0;
    return {std::max(image.width(), caption.width()), image.height() + (stacked ? m_spacing : 0) + caption.height()};
}

int TStyledPainter::SignRoom(const TPainterClient& client, TSignPosition position) const {
    return client.GetSignAt(position) != saNone ? m_signsSpacing : 0;
}

QSize TStyledPainter::CalcSize(const TPainterClient& client, int width) const {
    if (!m_styler) return TPainter::CalcSize(client, width);
    const TPainterStyle& style = StyleFor(client);
    const QFont font = FontFor(style);
    const TRect edges = EdgeWidths(style);
    const int frame = (m_styler->Options() & soAllowFrameDefault) ? DefaultFrameRoom : 0;
    const int extraX = SignRoom(client, spLeft) + m_padding.Left + m_padding.Right + SignRoom(client, spRight) +
                       edges.Left + edges.Right + frame;
    const int extraY = SignRoom(client, spTop) + m_padding.Top + m_padding.Bottom + SignRoom(client, spBottom) +
                       edges.Top + edges.Bottom + frame;
    QSize content;
    int result = width;
    if (width <= 0) {
        content = ContentSize(client, font, 0);
        result = (content.width() == 0 ? EmptyContent : content.width()) + extraX;
    } else {
        content = ContentSize(client, font, std::max(1, width - extraX));
    }
    return {result, (content.height() == 0 ? EmptyContent : content.height()) + extraY};
}

Qt::CursorShape TStyledPainter::GetCursor(const TPainterClient& client) const {
    return m_styler ? m_styler->Cursor() : TPainter::GetCursor(client);
}

bool TStyledPainter::GetTransparent(const TPainterClient& client) const {
    return m_styler ? m_styler->LastTransparent() : TPainter::GetTransparent(client);
}

TChangeNeeds TStyledPainter::CheckChange(const TPainterClient& client, const TClientChange& change) const {
    if (!m_styler) return TPainter::CheckChange(client, change);
    TChangeNeeds needs;
    if (change.Kind == cckCaption) {
        if (!(m_options & poNoCaptions)) needs = {true, true};
        return needs;
    }
    if (change.OldImageIndex != change.NewImageIndex && !(m_options & poNoImages) &&
        (m_images || client.GetOwnImage())) {
        needs.Repaint = true;
        needs.Resize = HasImage(client, change.OldImageIndex) != HasImage(client, change.NewImageIndex);
    }
    if (change.OldState != change.NewState) {
        const bool differs = m_styler->DrawsWithThemes() ||
                             &m_styler->StyleFor(change.OldState) != &m_styler->StyleFor(change.NewState);
        if (differs) needs = {true, true};
    }
    return needs;
}

QPoint TStyledPainter::Offset(TOffsetKind kind) const {
    switch (kind) {
    case okYes:
        return {1, 1};
    case okBack:
        return {-1, -1};
    case okInClassicMode:
        return m_styler && m_styler->DrawsWithThemes() ? QPoint() : QPoint(1, 1);
    default:
        return {};
    }
}

void TStyledPainter::PaintTheme(const TPainterClient& client, QPainter& canvas, const TRect& rect) const {
    QStyle* style = QApplication::style();
    const uint8_t state = client.GetState();
    const QRect r = rect.ToQRect();
    switch (m_styler->Mode()) {
    case smThemeStdBtn: {
        QStyleOptionButton option;
        option.rect = r;
        option.state = ButtonState(state);
        if (client.IsDefault() && (m_styler->Options() & soAllowFrameDefault))
            option.features |= QStyleOptionButton::DefaultButton;
        style->drawControl(QStyle::CE_PushButtonBevel, &option, &canvas);
        break;
    }
    case smThemeToolBtn: {
        QStyleOptionToolButton option;
        option.rect = r;
        option.state = ButtonState(state) | QStyle::State_AutoRaise;
        if (state & (psPressed | psHot | psChecked)) option.state |= QStyle::State_Raised;
        style->drawPrimitive(QStyle::PE_PanelButtonTool, &option, &canvas);
        break;
    }
    case smThemeHeader: {
        QStyleOptionHeader option;
        option.rect = r;
        option.state = ButtonState(state) | QStyle::State_Raised;
        style->drawControl(QStyle::CE_HeaderSection, &option, &canvas);
        break;
    }
    default: {
        QStyleOption option;
        option.rect = r;
        option.state = QStyle::State_Enabled;
        style->drawPrimitive(QStyle::PE_FrameStatusBarItem, &option, &canvas);
        break;
    }
    }
}

void TStyledPainter::Paint(const TPainterClient& client, QPainter& canvas, const TRect& rect) const {
    if (!m_styler) {
        TPainter::Paint(client, canvas, rect);
        return;
    }
    const TPainterStyle& style = StyleFor(client);
    if (m_styler->DrawsWithThemes() || style.IsSeeThrough()) client.PaintParentBackground(canvas, rect);
    canvas.save();
    canvas.setFont(FontFor(style));
    const TRect content = PaintBackground(client, canvas, rect, style);
    canvas.setClipRect(content.ToQRect(), Qt::IntersectClip);
    PaintSigns(client, canvas, content, style);
    // The signs keep the room they were measured with.
    const TRect signRooms{SignRoom(client, spLeft), SignRoom(client, spTop), SignRoom(client, spRight),
                          SignRoom(client, spBottom)};
    PaintContent(client, canvas, Inset(Inset(content, signRooms), m_padding), style);
    canvas.restore();
}

TRect TStyledPainter::PaintBackground(const TPainterClient& client, QPainter& canvas, const TRect& rect,
                                      const TPainterStyle& style) const {
    const bool frameDefault = m_styler->Options() & soAllowFrameDefault;
    TRect content;
    if (m_styler->DrawsWithThemes()) {
        PaintTheme(client, canvas, rect);
        content = style.ContentRect(rect);
    } else {
        content = style.Paint(canvas, rect, client.GetColor(), frameDefault && client.IsDefault());
        if (frameDefault && !client.IsDefault()) content = Inset(content, {1, 1, 1, 1});  // all buttons line up
    }
    if (style.Options() & psoFocusRect) {
        const TRect focus = content == rect ? Inset(content, {1, 1, 1, 1}) : content;
        canvas.setPen(QPen(Rgb(GetSystemColor(TSystemColor::WindowFrame)), 0, Qt::DotLine));
        canvas.setBrush(Qt::NoBrush);
        if (!focus.IsEmpty()) canvas.drawRect(focus.ToQRect().adjusted(0, 0, -1, -1));
    }
    return content;
}

void TStyledPainter::PaintContent(const TPainterClient& client, QPainter& canvas, const TRect& inner,
                                  const TPainterStyle& style) const {
    const TShownCaption shown = ShownCaption(client, canvas.font(), inner.Width());
    const QSize caption = shown.Size;
    const QSize image = HasImage(client) ? QSize(m_imagesWidth, m_imagesHeight) : QSize(0, 0);
    const TContentPlaces places = PlaceContent(m_alignKind, m_layout, inner, image, caption, m_spacing);
    const QPoint offset = Offset(style.ContentOffset());
    if (!image.isEmpty()) {
        const QRect at = places.Image.ToQRect().translated(offset);
        PaintImage(client, canvas, TRect::FromQRect(at), style);
    }
    if (caption.isEmpty()) return;
    const QRect at = places.Caption.ToQRect().translated(offset);
    if (style.CaptionShade() != okNone) {
        canvas.setPen(Rgb(style.ShadeColor()));
        canvas.drawText(at.translated(Offset(style.CaptionShade())), TextFlags(), shown.Text);
    }
    canvas.setPen(Rgb(FontColorFor(style)));
    canvas.drawText(at, TextFlags(), shown.Text);
}

void TStyledPainter::PaintSigns(const TPainterClient& client, QPainter& canvas, const TRect& content,
                                const TPainterStyle& style) const {
    const TStylerOptions options = m_styler->Options();
    const int size = SignUnit * ((options & soLargeSigns) ? LargeSignUnits : SignUnits);
    const int room = m_signsSpacing;
    const bool chevrons = options & soChevronArrows;
    const TRect rooms[spCount] = {
        {content.Left, content.Top, content.Left + room, content.Bottom},
        {content.Right - room, content.Top, content.Right, content.Bottom},
        {content.Left, content.Top, content.Right, content.Top + room},
        {content.Left, content.Bottom - room, content.Right, content.Bottom},
        content,
    };
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, true);
    const QPointF offset = Offset(style.ContentOffset());
    for (int p = spLeft; p < spCount; ++p) {
        const TSignAt sign = client.GetSignAt(TSignPosition(p));
        if (sign == saNone) continue;
        const QRect roomRect = rooms[p].ToQRect();
        const QRectF box = QRectF(roomRect.center().x() - size / 2.0 + 0.5, roomRect.center().y() - size / 2.0 + 0.5,
                                  size, size)
                               .translated(offset);
        if (style.CaptionShade() != okNone)
            DrawSignGlyph(canvas, sign, box.translated(Offset(style.CaptionShade())), Rgb(style.ShadeColor()), chevrons);
        DrawSignGlyph(canvas, sign, box, Rgb(FontColorFor(style)), chevrons);
    }
    canvas.restore();
}

void TStyledPainter::PaintImage(const TPainterClient& client, QPainter& canvas, const TRect& place,
                                const TPainterStyle& style) const {
    const TPainterStyleImageEffects effects = style.ImageEffects();
    QImage picture;
    bool fromDisabledList = false;
    if (const QImage* own = client.GetOwnImage()) {
        picture = *own;
    } else {
        TImageList* list = m_images;
        if ((effects & pieDisable) && m_disabledImages) {
            list = m_disabledImages;
            fromDisabledList = true;
        }
        const int index = client.GetImageIndex();
        if (!list || index < 0 || index >= list->Count()) return;
        picture = list->Image(index);
    }
    // The list's own disabled and focus looks.
    if ((effects & pieDisable) && !fromDisabledList) picture = GreyedImage(picture);
    if (effects & pieFocus) {
        picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter tint(&picture);
        tint.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        tint.setOpacity(0.5);
        tint.fillRect(picture.rect(), Rgb(GetSystemColor(TSystemColor::Highlight)));
    }
    if (effects & (pieGray | pieLight)) picture = ApplyImageEffects(picture, effects);
    const QRect target = place.ToQRect();
    if (picture.size() == target.size())
        canvas.drawImage(target.topLeft(), picture);
    else
        canvas.drawImage(target, picture);
}

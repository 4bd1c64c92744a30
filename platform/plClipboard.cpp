#include "platform/plClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {
TServiceSlot<TClipboard> g_clipboard;

const QMimeData* ClipboardMimeData() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->mimeData() : nullptr;
}
}  // namespace

QString ClipboardFormatMimeType(const QString& formatName) {
    return QStringLiteral("application/x-") + formatName.toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

void TClipboard::SetText(const QString& text) {
    TClipboardContent content;
    content.Text = text;
    SetContent(content);
}

bool TClipboard::HasElementData() const {
    return (HasFormat(ClipboardFormat::BinaryData) &&
            HasFormat(ClipboardFormat::BinaryDataType)) ||
           HasImage();
}

TClipboard& TClipboard::Current() {
    static TQtClipboard qt;
    return g_clipboard.Get(qt);
}

TClipboard* TClipboard::Install(TClipboard* clipboard) noexcept { return g_clipboard.Install(clipboard); }

void TQtClipboard::SetContent(const TClipboardContent& content) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    if (content.IsEmpty()) {
        clipboard->clear();
        return;
    }
    auto data = std::make_unique<QMimeData>();
    if (content.Text) data->setText(*content.Text);
    for (auto it = content.Formats.cbegin(); it != content.Formats.cend(); ++it)
        data->setData(ClipboardFormatMimeType(it.key()), it.value());
    if (!content.Image.isNull()) data->setImageData(content.Image);
    clipboard->setMimeData(data.release());  // the clipboard owns it now
}

bool TQtClipboard::HasText() const {
    const QMimeData* data = ClipboardMimeData();
    return data && data->hasText();
}

QString TQtClipboard::Text() const {
    const QMimeData* data = ClipboardMimeData();
    return data ? data->text() : QString();
}

bool TQtClipboard::HasFormat(const QString& formatName) const {
    const QMimeData* data = ClipboardMimeData();
    return data && data->hasFormat(ClipboardFormatMimeType(formatName));
}

QByteArray TQtClipboard::FormatData(const QString& formatName) const {
    const QMimeData* data = ClipboardMimeData();
    return data ? data->data(ClipboardFormatMimeType(formatName)) : QByteArray();
}

bool TQtClipboard::HasImage() const {
    const QMimeData* data = ClipboardMimeData();
    return data && data->hasImage();
}

QImage TQtClipboard::Image() const {
    const QMimeData* data = ClipboardMimeData();
    return data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
}

void TFakeClipboard::SetContent(const TClipboardContent& content) {
    Content = content;
    ++Writes;
}

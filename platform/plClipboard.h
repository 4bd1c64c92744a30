#pragma once
// The system clipboard: plain text, formats registered by name (stored as
// custom MIME types, "Tessaly Binary Data" as
// "application/x-tessaly-binary-data") and images. What the clipboard holds is
// replaced as a whole: setting text drops the formats and the image put there
// before, as one copy command of the editor expects.

#include "platform/plInstaller.h"

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>

#include <optional>

// Names of the formats the editor registers for element data.
namespace ClipboardFormat {
inline const QString BinaryData = QStringLiteral("Tessaly Binary Data");
inline const QString BinaryDataType = QStringLiteral("Tessaly Binary Data Type");
}  // namespace ClipboardFormat

// The MIME type under which a named format is stored: "application/x-" and
// the name in lower case with its spaces as hyphens.
QString ClipboardFormatMimeType(const QString& formatName);

// Everything one copy puts on the clipboard.
struct TClipboardContent {
    std::optional<QString> Text{};
    QMap<QString, QByteArray> Formats{};  // by format name
    QImage Image{};                       // null: none

    bool IsEmpty() const { return !Text && Formats.isEmpty() && Image.isNull(); }
};

class TClipboard {
public:
    virtual ~TClipboard() = default;

    // Replaces what the clipboard holds by `content` (empty: clears it).
    virtual void SetContent(const TClipboardContent& content) = 0;
    virtual bool HasText() const = 0;
    // The plain text; empty when the clipboard holds none.
    virtual QString Text() const = 0;
    virtual bool HasFormat(const QString& formatName) const = 0;
    // The bytes of a named format; empty when it is not there.
    virtual QByteArray FormatData(const QString& formatName) const = 0;
    virtual bool HasImage() const = 0;
    // The image; null when the clipboard holds none.
    virtual QImage Image() const = 0;

    // Element data (both named formats of it) or an image.
    bool HasElementData() const;

    // The clipboard holds only `text` afterwards.
    void SetText(const QString& text);
    void Clear() { SetContent({}); }

    // The clipboard in use: the application's clipboard unless a test installed another.
    static TClipboard& Current();
    // Installs `clipboard` (nullptr: the application's again); returns the previous one.
    static TClipboard* Install(TClipboard* clipboard) noexcept;
};

// The application's clipboard (QGuiApplication::clipboard()); needs the
// application object.
class TQtClipboard : public TClipboard {
public:
    void SetContent(const TClipboardContent& content) override;
    bool HasText() const override;
    QString Text() const override;
    bool HasFormat(const QString& formatName) const override;
    QByteArray FormatData(const QString& formatName) const override;
    bool HasImage() const override;
    QImage Image() const override;
};

// Holds the content in memory and counts the writes; for tests.
class TFakeClipboard : public TClipboard {
public:
    void SetContent(const TClipboardContent& content) override;
    bool HasText() const override { return Content.Text.has_value(); }
    QString Text() const override { return Content.Text.value_or(QString()); }
    bool HasFormat(const QString& formatName) const override { return Content.Formats.contains(formatName); }
    QByteArray FormatData(const QString& formatName) const override { return Content.Formats.value(formatName); }
    bool HasImage() const override { return !Content.Image.isNull(); }
    QImage Image() const override { return Content.Image; }

    TClipboardContent Content;
    int Writes = 0;
};

// Installs a clipboard for the lifetime of the guard.
class TClipboardInstaller : public TInstaller<TClipboard> {
public:
    using TInstaller::TInstaller;
};

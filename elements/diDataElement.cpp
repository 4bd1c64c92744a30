#include "elements/diDataElement.h"

#include "core/baAppCmpns.h"
#include "core/cuCodeWriters.h"
#include "core/cuColors.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "core/umBitmap32.h"
#include "core/umGDIPlus.h"
#include "core/umIcon.h"
#include "core/umUniversalImage.h"
#include "elements/diDataElementUtils.h"
#include "elements/diTitled.h"
#include "platform/plClipboard.h"
#include "platform/plFiles.h"
#include "platform/plImageCodecs.h"
#include "platform/plInput.h"
#include "platform/plShell.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <array>

namespace {

const QString kDataTypeAttribute = QStringLiteral("Type");
const QString kDataValueAttribute = QStringLiteral("Value");
const QString kDataWidthAttribute = QStringLiteral("W");
const QString kDataHeightAttribute = QStringLiteral("H");
const QString kDataExternalFileAttribute = QStringLiteral("ExternalEditingFileName");
const QString kDataEditingFilePattern = QStringLiteral("File%d");
const QString kDataEditVerb = QStringLiteral("edit");
// The sub-command of "Open with..." among the Edit sub-items (desktop ids end in ".desktop").
const QString kDataOpenWithSub = QStringLiteral(":open-with");
const QString kDataSeparatorSub = QStringLiteral("-");

// The empty element's picture: 60 x 40 in the colour stored as 0xA4A0A0.
constexpr int kEmptyDataWidth = 60;
constexpr int kEmptyDataHeight = 40;
constexpr TColor kEmptyDataColor = ColorFromWindows(0xA4A0A0);
// The widest preview; the scales tried, largest first, and the last resort.
constexpr int kMaxDataPreviewWidth = 720;
constexpr std::array<int, 9> kDataPreviewScales{100, 75, 50, 25, 10, 5, 4, 3, 2};
constexpr int kSmallestPreviewScale = 1;
constexpr int kFullPreviewScale = 100;
// Icons and cursors hold images of at most this size.
constexpr int kMaxIconEntrySize = 256;
// The hex dump: bytes per row, characters per row, where the characters start.
constexpr int kDumpBytesPerRow = 16;
constexpr int kDumpRowLength = 64;
constexpr int kDumpCharColumn = 48;
constexpr QChar kDumpDot = QChar(0x00B7);
constexpr int kFirstPrintableByte = 32;

// Palette orders and groups.
enum : int {
    kDataEditGroupOrder = 1500,
    kDataFormatGroupOrder = 100,
    kDataEditOrder = 100,
    kDataApplyOrder = 60,
    kDataCancelOrder = 30,
    kDataLoadOrder = 40,
    kDataSaveOrder = 30,
    kDataBmpOrder = 80,
    kDataIcoOrder = 70,
    kDataCurOrder = 60,
    kDataPngOrder = 90,
    kDataGifOrder = 82,
    kDataJpegOrder = 85,
};

struct TDataElementUnit {
    TNodePtr<TDataElementSettings> settings;
    TDataPaletteItems items;
};
TDataElementUnit g_dataUnit;

// ---------------------------------------------------------------------------
// Images

QImage EmptyDataImage() {
    QImage image(kEmptyDataWidth, kEmptyDataHeight, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(kEmptyDataColor));
    return image;
}

bool IsIconDataFormat(int format) { return format == ifIco || format == ifCur; }
bool IsMetafileDataFormat(int format) { return format == ifEmf || format == ifWmf; }

// The first frame of the data, straight 32-bit ARGB; null when it is no image
// (metafiles never are).
QImage DecodeDataImage(const QByteArray& data, int format) {
    if (data.isEmpty() || IsMetafileDataFormat(format)) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    TUniversalImage image;
    try {
        image.LoadFromStream(buffer);
    } catch (const Exception&) {
        return {};
    }
    const TBitmap32* frame = image.GetFirstFrame();
    return frame ? frame->Image() : QImage();
}

QImage DrawnOnWhite(const QImage& image) {
    QImage white(image.size(), QImage::Format_ARGB32);
    white.fill(Qt::white);
    QPainter painter(&white);
    painter.drawImage(0, 0, image);
    return white;
}

// Writes the image in a format the image codecs encode (JPEG for the JPEG
// extensions and anything else).
void SaveImageInFormat(const TGDIPlusImage& image, QIODevice& out, int format) {
    switch (format) {
    case ifBmp: image.SaveAsBmp(out); break;
    case ifGif: image.SaveAsGif(out); break;
    case ifPng: image.SaveAsPng(out); break;
    case ifTif:
    case ifTiff: image.SaveAsTiff(out); break;
    default: image.SaveAsJpeg(out); break;
    }
}

QByteArray EncodeDataImage(const TGDIPlusImage& image, int format) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SaveImageInFormat(image, out, format);
    return out.data();
}

QByteArray EncodeDataImage(const QImage& image, int format) {
    TGDIPlusImage encoder;
    encoder.SetImage(image);
    return EncodeDataImage(encoder, format);
}

// Scaled so that neither side passes the icon limit, the proportions kept.
QImage IconSizedImage(const QImage& image) {
    if (image.width() <= kMaxIconEntrySize && image.height() <= kMaxIconEntrySize) return image;
    return image.scaled(kMaxIconEntrySize, kMaxIconEntrySize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// The largest scale at which the width fits the preview.
int DataPreviewScaleFor(int width) {
    for (const int scale : kDataPreviewScales)
        if (int64_t(width) * scale / kFullPreviewScale <= kMaxDataPreviewWidth) return scale;
    return kSmallestPreviewScale;
}

// ---------------------------------------------------------------------------
// Files and the shell

bool DataOnUserThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QString CanonicalEditingFolder(const QString& folder) { return QFileInfo(folder).canonicalFilePath(); }

// The launch of a program on a file, whose failure, when it comes, shows.
void LaunchEditorShowingFailure(const TLaunch& launch, const QString& fileName) {
    TShell::Current().Launch(launch, [fileName](int result) {
        if (!ShellResult::Succeeded(result))
            RunGuarded("external editor", [&] { RaiseShellError(result, fileName); });
    });
}

// The open-with choice for the file, started when the user chose.
void LaunchEditorChosenByUser(const QString& fileName) {
    if (const std::optional<TLaunch> launch = ChooseOpenWithLaunch(fileName)) LaunchEditorShowingFailure(*launch, fileName);
}

// The file with its associated program: a file whose type has no program
// comes to the open-with choice when the shell says so.
void LaunchEditorByAssociation(const QString& fileName) {
    TShell::Current().Launch(TLaunch::Open(fileName, kDataEditVerb), [fileName](int result) {
        if (result == ShellResult::NoAssociation || result == ShellResult::IncompleteAssociation) {
            RunGuarded("external editor", [&] { LaunchEditorChosenByUser(fileName); });
            return;
        }
        if (!ShellResult::Succeeded(result))
            RunGuarded("external editor", [&] { RaiseShellError(result, fileName); });
    });
}

QString DataTypeFromClipboard(const QByteArray& bytes) {
    const auto* units = reinterpret_cast<const char16_t*>(bytes.constData());
    QString type = QString::fromUtf16(units, bytes.size() / qsizetype(sizeof(char16_t)));
    if (const qsizetype zero = type.indexOf(QChar(0)); zero >= 0) type.truncate(zero);
    return type;
}

QByteArray DataTypeForClipboard(const QString& type) {
    return QByteArray(reinterpret_cast<const char*>(type.utf16()), (type.size() + 1) * qsizetype(sizeof(char16_t)));
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings

T_CLASS_IMPL(TExternalEditorSettings, TProperty)

void TExternalEditorSettings::CreateProperties() {
    m_action = TProperty::Create<TEnumProperty>(
        this, QStringLiteral("DefaultAction"),
        QStringList{QString(), QStringLiteral("CustomEditor"), QStringLiteral("None")});
    m_editor = TProperty::Create<TStringProperty>(this, QStringLiteral("CustomEditor"), QString());
}

TExternalEditorAction TExternalEditorSettings::Action() const {
    return m_action ? TExternalEditorAction(m_action->Value()) : eaAssociation;
}

T_CLASS_IMPL(TDataElementSettings, TProperty)

void TDataElementSettings::CreateProperties() {
    auto section = [this](const char* name) {
        auto* made = TProperty::Create<TExternalEditorSettings>(this, QString::fromLatin1(name));
        made->CreateProperties();
        return made;
    };
    m_bitmaps = section("ExternalEditorBitmaps");
    m_icons = section("ExternalEditorIcons");
    m_cursors = section("ExternalEditorCursors");
    m_metafiles = section("ExternalEditorMetafiles");
    m_other = section("ExternalEditorOther");
}

TExternalEditorSettings* TDataElementSettings::EditorFor(int format) const {
    switch (format) {
    case ifNone: return m_other;
    case ifIco: return m_icons;
    case ifCur: return m_cursors;
    case ifEmf:
    case ifWmf: return m_metafiles;
    default: return m_bitmaps;
    }
}

TDataElementSettings* DataElementSettings() noexcept { return g_dataUnit.settings.get(); }

// ---------------------------------------------------------------------------
// Conversion

namespace {

// Through the image codecs: the raw data, except that icons, cursors and the
// empty element are drawn on white first.
QByteArray ConvertDataThroughCodecs(const QByteArray& data, int sourceFormat, int targetFormat) {
    if (data.isEmpty()) return EncodeDataImage(DrawnOnWhite(EmptyDataImage()), targetFormat);
    if (IsIconDataFormat(sourceFormat)) {
        const QImage image = DecodeDataImage(data, sourceFormat);
        if (image.isNull()) throw Exception::FromId(strStreamReadError);
        return EncodeDataImage(DrawnOnWhite(image), targetFormat);
    }
    QBuffer source;
    source.setData(data);
    source.open(QIODevice::ReadOnly);
    TGDIPlusImage image;
    image.LoadFromStream(source);
    return EncodeDataImage(image, targetFormat);
}

// One opaque entry (black mask, white backing) made from the full-size image.
QByteArray ConvertDataToIcon(const QByteArray& data, int sourceFormat, bool cursor) {
    const QImage full = data.isEmpty() ? EmptyDataImage() : DecodeDataImage(data, sourceFormat);
    if (full.isNull()) throw Exception::FromId(strStreamReadError);
    TIconWriterImage entry;
    entry.Image = DrawnOnWhite(IconSizedImage(full));
    entry.BitCount = 24;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!SaveIconToStream(out, {entry}, cursor)) throw Exception::FromId(strStreamReadError);
    return out.data();
}

}  // namespace

QByteArray ConvertData(const QByteArray& data, int sourceFormat, int targetFormat) {
    switch (targetFormat) {
    case ifBmp:
    case ifJpeg:
    case ifJpg:
    case ifJpe:
    case ifJfif:
    case ifGif:
    case ifPng:
    case ifTif:
    case ifTiff: return ConvertDataThroughCodecs(data, sourceFormat, targetFormat);
    case ifIco:
    case ifCur: return ConvertDataToIcon(data, sourceFormat, targetFormat == ifCur);
    default: return {};
    }
}

// ---------------------------------------------------------------------------
// TCustomDataElement

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomDataElement, TVisualElement)

TCustomDataElement::TCustomDataElement() noexcept {
    InitOptions(Options() | eoValidated);
    InitVisualOptions(VisualOptions() | voPressable | voFocusable | voAcceptsPaste);
}

int TCustomDataElement::Format() const { return ImageFormatFromExtension(m_type); }

bool TCustomDataElement::IsFormatAllowed(int format) const noexcept {
    return format >= 0 && format < kImageFormatCount && (m_allowed & ImageFormatBit(format));
}

void TCustomDataElement::SetData(const QByteArray& data, const QString& type) {
    m_data = data;
    m_type = data.isEmpty() ? QString() : type;
    m_storedWidth = m_storedHeight = 0;
    Changed();
}

void TCustomDataElement::SetExternalEditingFileName(const QString& fileName) {
    if (fileName == m_externalFile) return;
    m_externalFile = fileName;
    SetExternalEditing(!fileName.isEmpty());
}

void TCustomDataElement::ExternalEditingChanged() {
    TVisualElement::ExternalEditingChanged();
    CheckAll();
    NotifyEditStateChanged();
    Invalidate();
}

void TCustomDataElement::Changed() {
    m_previewPrepared = false;
    m_preview = QImage();
    m_imageWidth = m_imageHeight = 0;
    m_previewScale = kFullPreviewScale;
    TVisualElement::Changed();
    if (IsBeingDestroyed()) return;
    NotifyContentChanged();
    UpdateSize();
    Invalidate();
}

void TCustomDataElement::FilledChanged() {
    TVisualElement::FilledChanged();
    NotifyEditStateChanged();
    NotifyFocusedState();
}

void TCustomDataElement::ChangeData(const QByteArray& data, const QString& type) {
    TSchemeOperation::Execute(MakeNode<TDataNewDataOperation>(this, data, type));
}

void TCustomDataElement::ChangeFormat(int format) {
    if (format == Format() && IsFilled()) return;
    if (IsFilled() && format != ifBmp && format != ifPng)
        ShowMessageBox(LoadStr(strSettingThisFormatCan), QString(), MsgBox::Ok | MsgBox::IconInformation);
    TSchemeOperation::Execute(MakeNode<TDataNewDataFormatOperation>(this, format));
}

void TCustomDataElement::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    QByteArray bytes;
    if (OpenRegularFileForReading(file) != TOpenForReading::Opened) RaiseFileNotFound(fileName);
    if (!ReadAtMost(file, MaxEncodedImageBytes, bytes)) throw Exception::FromId(strStreamReadError);
    ChangeData(bytes, QFileInfo(fileName).suffix().toLower());
}

bool TCustomDataElement::ChooseAndLoad() {
    TOpenSaveDialog dialog;
    QSet<int> kinds;
    QList<int> formats;
    for (int format = ifBmp; format < kImageFormatCount; ++format) {
        if (!IsFormatAllowed(format)) continue;
        formats << format;
        kinds.insert(ImageFormatKindName(format));
    }
    if (kinds.size() > 1)
        for (const int format : formats) dialog.FileFilters.AddFilter(ImageFormatExtension(format), LoadStr(strAllImages));
    for (const int format : formats)
        dialog.FileFilters.AddFilter(ImageFormatExtension(format), LoadStr(ImageFormatKindName(format)));
    if (!(m_dataOptions & doImageData)) dialog.Options |= osoDefaultFilterAll;
    if (!dialog.ExecuteOpen()) return false;
    LoadFromFile(dialog.FileName);
    return true;
}

bool TCustomDataElement::ChooseAndSave() {
    if (!IsFilled()) return false;
    TOpenSaveDialog dialog;
    const int kind = ImageFormatKindName(Format());
    dialog.FileFilters.AddFilter(m_type, kind ? LoadStr(kind) : m_type.toUpper());
    if (!dialog.ExecuteSave()) return false;
    const TFileReplaceResult result = ReplaceFileContents(dialog.FileName, m_data);
    if (!result.ok) throw Exception::FromId(strCannotCreateFile, {dialog.FileName, result.errorText});
    return true;
}

void TCustomDataElement::PreparePreview() {
    if (m_previewPrepared) return;
    m_previewPrepared = true;
    const QImage full = DecodeDataImage(m_data, Format());
    if (full.isNull()) return;
    m_imageWidth = full.width();
    m_imageHeight = full.height();
    m_previewScale = DataPreviewScaleFor(full.width());
    const QImage shown = m_previewScale == kFullPreviewScale
                             ? full
                             : full.scaled(std::max(1, full.width() * m_previewScale / kFullPreviewScale),
                                           std::max(1, full.height() * m_previewScale / kFullPreviewScale),
                                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_preview = shown.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

const QImage& TCustomDataElement::Preview() {
    PreparePreview();
    return m_preview;
}

int TCustomDataElement::PreviewScale() {
    PreparePreview();
    return m_previewScale;
}

bool TCustomDataElement::GetImageSize(int& width, int& height) {
    if ((State() & esSharedData) && m_storedWidth >= 1 && m_storedHeight > 0) {
        width = m_storedWidth, height = m_storedHeight;
        return true;
    }
    PreparePreview();
    if (m_imageWidth > 0) {
        width = m_imageWidth, height = m_imageHeight;
        return true;
    }
    width = height = 0;
    if (!IsFilled()) return false;
    QBuffer buffer;
    buffer.setData(m_data);
    buffer.open(QIODevice::ReadOnly);
    return ReadImageSize(buffer, Format(), width, height);
}

QString TCustomDataElement::HexDumpRow(const QByteArray& data, qsizetype row) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString line(kDumpRowLength, QLatin1Char(' '));
    const qsizetype start = row * kDumpBytesPerRow;
    const qsizetype count = std::min<qsizetype>(kDumpBytesPerRow, data.size() - start);
    for (qsizetype j = 0; j < count; ++j) {
        const auto byte = uint8_t(data[start + j]);
        line[3 * j] = QLatin1Char(kDigits[byte >> 4]);
        line[3 * j + 1] = QLatin1Char(kDigits[byte & 0x0F]);
        line[kDumpCharColumn + j] = byte >= kFirstPrintableByte ? QChar(QLatin1Char(char(byte))) : kDumpDot;
    }
    return line;
}

TRect TCustomDataElement::GetPadding() {
    return Sheet() ? Sheet()->Canvas()->GetThemePadding(tekImageContainer) : TRect{};
}

void TCustomDataElement::UpdateSize() {
    if (!Sheet() || IsBeingDestroyed()) return;
    TSheetCanvas* canvas = Sheet()->Canvas();
    const TRect pad = GetPadding();
    QSize size(kEmptyDataWidth, kEmptyDataHeight);
    if (IsFilled()) {
        const QImage& preview = Preview();
        if (!preview.isNull()) {
            size = preview.size();
        } else {
            const qsizetype rows = (m_data.size() + kDumpBytesPerRow - 1) / kDumpBytesPerRow;
            const int64_t height = int64_t(rows) * canvas->FixedLineHeight();
            size = QSize(canvas->TextWidthFixed(QString(kDumpRowLength, QLatin1Char('0'))),
                         int(std::min<int64_t>(height, INT_MAX / 2)));
        }
    }
    SetSize(size.width() + pad.Left + pad.Right, size.height() + pad.Top + pad.Bottom);
}

void TCustomDataElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    UpdateSize();
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
}

void TCustomDataElement::Paint(TSheetCanvas& canvas) {
    if (!IsFilled()) return;
    const TRect pad = GetPadding();
    const QImage& preview = Preview();
    if (!preview.isNull()) {
        canvas.DrawBitmap(QPoint(pad.Left, pad.Top), preview);
        return;
    }
    const int lineHeight = std::max(1, canvas.FixedLineHeight());
    const qsizetype rows = (m_data.size() + kDumpBytesPerRow - 1) / kDumpBytesPerRow;
    const TRect& paint = canvas.GetPaintRect();
    const qsizetype first = std::max<qsizetype>(0, (paint.Top - pad.Top) / lineHeight);
    const qsizetype last = std::min<qsizetype>(rows, (paint.Bottom - pad.Top) / lineHeight + 1);
    const TColor color = canvas.Theme().GetFontData(tfkFixed).Color;
    for (qsizetype row = first; row < last; ++row)
        canvas.TextOutFixed(pad.Left, pad.Top + int(row) * lineHeight, color, HexDumpRow(m_data, row));
}

void TCustomDataElement::GetCaret(int& kind, TRect& rect) {
    kind = ckDoubleFocusRect;
    rect = GetClientRect();
}

void TCustomDataElement::GetHint(QString& text) {
    TVisualElement::GetHint(text);
    if (!IsFilled()) return;
    if (!text.isEmpty()) text += QLatin1Char('\n');
    int width = 0, height = 0;
    if (!GetImageSize(width, height)) {
        text += m_type;
        return;
    }
    text += FormatCode(u"%s %dx%d", {m_type, width, height});
    if (const int scale = PreviewScale(); scale != kFullPreviewScale) text += FormatCode(u" %d%%", {scale});
}

void TCustomDataElement::KeyDown(int& key, TShiftState shift) {
    if (key == vkReturn && ExecuteDefaultAction()) {
        key = vkNone;
        return;
    }
    TVisualElement::KeyDown(key, shift);
}

void TCustomDataElement::DoubleClick() {
    TVisualElement::DoubleClick();
    if (!ExecuteDefaultAction()) SystemBeep();
}

bool TCustomDataElement::CanDelete() { return IsFilled() && !IsExternalEditing() && !IsReadOnly(); }

void TCustomDataElement::DeleteContent() {
    if (CanDelete()) ChangeData({}, {});
}

bool TCustomDataElement::CanCopy() { return IsFilled(); }

void TCustomDataElement::Copy() {
    if (!CanCopy()) return;
    TClipboardContent content;
    content.Formats.insert(ClipboardFormat::BinaryData, CompressBytes(m_data));
    content.Formats.insert(ClipboardFormat::BinaryDataType, DataTypeForClipboard(m_type));
    content.Image = DecodeDataImage(m_data, Format());
    TClipboard::Current().SetContent(content);
}

bool TCustomDataElement::CanPaste() { return TVisualElement::CanPaste() && !IsExternalEditing(); }

bool TCustomDataElement::Paste() { return CanPaste() && PasteFromClipboard(true); }

bool TCustomDataElement::ClipboardHasImageData() { return TClipboard::Current().HasElementData(); }

bool TCustomDataElement::PasteFromClipboard(bool undoable) {
    const TClipboard& clipboard = TClipboard::Current();
    QByteArray data;
    QString type;
    if (clipboard.HasFormat(ClipboardFormat::BinaryData) && clipboard.HasFormat(ClipboardFormat::BinaryDataType)) {
        type = DataTypeFromClipboard(clipboard.FormatData(ClipboardFormat::BinaryDataType));
        try {
            data = DecompressBytes(clipboard.FormatData(ClipboardFormat::BinaryData));
        } catch (const Exception&) {
            return false;
        }
    } else if (clipboard.HasImage() && IsFormatAllowed(ifBmp)) {
        const int format = IsFormatAllowed(ifPng) ? ifPng : ifBmp;
        data = EncodeDataImage(clipboard.Image(), format);
        type = ImageFormatExtension(format);
    } else {
        return false;
    }
    if (undoable)
        ChangeData(data, type);
    else
        SetData(data, type);
    return true;
}

// ---- external editing ----

TExternalEditorSettings* TCustomDataElement::EditorSettings() const {
    const TDataElementSettings* settings = DataElementSettings();
    if (!settings) return nullptr;
    return IsFilled() ? settings->EditorFor(Format()) : settings->Bitmaps();
}

QString TCustomDataElement::EditingFolder() const {
    const TScheme* scheme = Scheme();
    if (scheme && !scheme->FileName().isEmpty()) return QFileInfo(scheme->FileName()).absolutePath() + u'/';
    return GetTempDir();
}

bool TCustomDataElement::IsOwnEditingFile(const QString& fileName) const {
    static const QRegularExpression name(QStringLiteral("^File[0-9]+(\\.[A-Za-z0-9]+)?$"));
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.isAbsolute() || !name.match(file.fileName()).hasMatch()) return false;
    const QString folder = CanonicalEditingFolder(file.absolutePath());
    if (folder.isEmpty() || (folder != CanonicalEditingFolder(EditingFolder()) && folder != CanonicalEditingFolder(GetTempDir())))
        return false;
    // Never a link (also one that leads nowhere); a file that is there must be a regular one.
    return !file.isSymLink() && (!file.exists() || file.isFile());
}

void TCustomDataElement::RefuseEditingFile(const QString& fileName) {
    TSchemeOperation::Execute(MakeNode<TDataExternalEditingModeOperation>(this, QString()));
    ShowMessageBox(LoadStrFmt(strNotExternalEditingFile, {fileName}), QString(), MsgBox::Ok | MsgBox::IconWarning);
}

QString TCustomDataElement::WriteEditingFile() {
    QString fileName;
    std::unique_ptr<QFile> file =
        CreateUniqueFile(kDataEditingFilePattern, SanitizedFileExtension(m_type), fileName, EditingFolder());
    const bool written = file->write(m_data) == m_data.size() && file->flush();
    // Data never runs: the file gets no execute bits.
    file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);
    file->close();
    if (!written) {
        QFile::remove(fileName);
        throw Exception::FromId(strCannotCreateUniqueFile, {fileName});
    }
    return fileName;
}

void TCustomDataElement::StartExternalEditing(const TExternalProgram& program) {
    if (IsReadOnly()) return;
    QString fileName = m_externalFile;
    {
        TOperationGroupScope group(Scheme());
        if (!IsFilled()) ChangeFormat(ifPng);
        if (!fileName.isEmpty()) {
            if (!IsOwnEditingFile(fileName)) {
                RefuseEditingFile(fileName);
                return;
            }
            if (!QFileInfo::exists(fileName)) {
                QFile file(fileName);
                if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(m_data) != m_data.size())
                    throw Exception::FromId(strCannotCreateUniqueFile, {fileName});
            }
        } else {
            fileName = WriteEditingFile();
            TSchemeOperation::Execute(MakeNode<TDataExternalEditingModeOperation>(this, fileName));
        }
    }
    LaunchEditor(program, fileName);
}

void TCustomDataElement::LaunchEditor(const TExternalProgram& program, const QString& fileName) {
    switch (program.Kind) {
    case TExternalProgram::TKind::Chosen: {
        TDesktopApp app;
        if (FindDesktopApplication(program.AppId, TXdgDirs::FromEnvironment(), app))
            LaunchEditorShowingFailure(TLaunch::StartApp(app, fileName), fileName);
        else
            LaunchEditorChosenByUser(fileName);
        return;
    }
    case TExternalProgram::TKind::OpenWith: LaunchEditorChosenByUser(fileName); return;
    case TExternalProgram::TKind::Default: break;
    }
    const TExternalEditorSettings* settings = EditorSettings();
    switch (settings ? settings->Action() : eaAssociation) {
    case eaNone: return;
    case eaCustomEditor: {
        const QString editor = settings->CustomEditor()->Value();
        if (!QFileInfo(editor).isFile())
            throw Exception(FormatCode(LoadStr(strExternalEditorNotFound), {editor}), strExternalEditorNotFound);
        LaunchEditorShowingFailure(TLaunch::Start(editor, {fileName}), fileName);
        return;
    }
    case eaAssociation:
        // Data of a type that would run (a program, a script, a launcher)
        // opens only with a program the user chooses.
        if (IsDocumentFile(fileName))
            LaunchEditorByAssociation(fileName);
        else
            LaunchEditorChosenByUser(fileName);
        return;
    }
}

void TCustomDataElement::ApplyExternalEditing() {
    const QString fileName = m_externalFile;
    if (fileName.isEmpty() || IsReadOnly()) return;
    if (!IsOwnEditingFile(fileName)) {
        RefuseEditingFile(fileName);
        return;
    }
    QFile file(fileName);
    QByteArray bytes;
    if (OpenRegularFileForReading(file) != TOpenForReading::Opened || !ReadAtMost(file, MaxEncodedImageBytes, bytes)) {
        ShowMessageBox(LoadStrFmt(strExternalEditingFileUnreadable, {fileName}), QString(),
                       MsgBox::Ok | MsgBox::IconWarning);
        return;
    }
    file.close();
    TOperationGroupScope group(Scheme());
    ChangeData(bytes, QFileInfo(fileName).suffix().toLower());
    QFile::remove(fileName);
    TSchemeOperation::Execute(MakeNode<TDataExternalEditingModeOperation>(this, QString()));
}

void TCustomDataElement::CancelExternalEditing() {
    const QString fileName = m_externalFile;
    if (fileName.isEmpty() || IsReadOnly()) return;
    if (!IsOwnEditingFile(fileName)) {
        RefuseEditingFile(fileName);
        return;
    }
    QFile::remove(fileName);
    TSchemeOperation::Execute(MakeNode<TDataExternalEditingModeOperation>(this, QString()));
}

bool TCustomDataElement::ExecuteDefaultAction() {
    if (IsReadOnly()) return false;
    if (!IsFilled() && !IsFormatAllowed(ifPng)) {
        ChooseAndLoad();
        return true;
    }
    const TExternalEditorSettings* settings = EditorSettings();
    if (settings && settings->Action() == eaNone) return false;
    StartExternalEditing({});
    return true;
}

// ---- palette ----

namespace {

// The format items with their format numbers.
std::array<std::pair<TSchemePaletteItem*, int>, 6> DataFormatItems() {
    const TDataPaletteItems& items = g_dataUnit.items;
    return {{{items.Bmp, ifBmp}, {items.Ico, ifIco}, {items.Cur, ifCur}, {items.Png, ifPng}, {items.Gif, ifGif},
             {items.Jpeg, ifJpeg}}};
}

// The Edit item: its sub-items are the programs for the element's type, a
// separator and "Open with...".
class TDataEditPaletteItem : public TSubExecutablePaletteItem {
    T_CLASS(TDataEditPaletteItem)
public:
    using TSubExecutablePaletteItem::TSubExecutablePaletteItem;

    void FillSubItems(TElement* target, QList<std::pair<QString, QString>>& items) override {
        auto* data = dynamic_cast<TCustomDataElement*>(target);
        if (!data) return;
        const QString type = data->IsFilled() ? data->DataType() : ImageFormatExtension(ifPng);
        int preferred = -1;
        QStringList names, programs;
        GetOpenWithPrograms(type, preferred, names, programs);
        for (qsizetype i = 0; i < programs.size(); ++i) items.append({names[i], programs[i]});
        if (!programs.isEmpty()) items.append({kDataSeparatorSub, kDataSeparatorSub});
        items.append({LoadStr(strOpenWith), kDataOpenWithSub});
    }
    void ApplySub(TElement* element, const QString& sub) override {
        if (auto* data = dynamic_cast<TCustomDataElement*>(element)) data->ApplyPaletteItem(this, sub, false);
    }

protected:
    ~TDataEditPaletteItem() override = default;
};
T_CLASS_IMPL_ABSTRACT(TDataEditPaletteItem, TSubExecutablePaletteItem)

}  // namespace

void TCustomDataElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TVisualElement::GetPaletteItems(list);
    const TDataPaletteItems& items = g_dataUnit.items;
    if (!items.Edit) return;
    list << items.Edit << items.Apply << items.Cancel << items.LoadFromFile << items.SaveToFile;
    for (const auto& [item, format] : DataFormatItems())
        if (IsFormatAllowed(format)) list << item;
}

void TCustomDataElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    const TDataPaletteItems& items = g_dataUnit.items;
    if (item == items.Edit) {
        const TExternalEditorSettings* section = EditorSettings();
        state.Enabled = (IsFilled() || IsFormatAllowed(ifPng)) && section && section->Action() != eaNone;
        return;
    }
    if (item == items.Apply || item == items.Cancel) {
        state.Enabled = IsExternalEditing();
        return;
    }
    if (item == items.LoadFromFile) {
        state.Enabled = !IsExternalEditing();
        return;
    }
    if (item == items.SaveToFile) {
        state.Enabled = IsFilled();
        return;
    }
    for (const auto& [formatItem, format] : DataFormatItems()) {
        if (item != formatItem) continue;
        state.Enabled = !IsExternalEditing();
        state.Checked = format == ifJpeg ? IsJpegFormat(Format()) : Format() == format;
        return;
    }
    TVisualElement::UpdatePaletteItemState(item, state);
}

bool TCustomDataElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    const TDataPaletteItems& items = g_dataUnit.items;
    if (item == items.Edit) {
        if (subCommand == kDataSeparatorSub) return true;
        TExternalProgram program;
        if (subCommand == kDataOpenWithSub)
            program.Kind = TExternalProgram::TKind::OpenWith;
        else if (!subCommand.isEmpty())
            program = {TExternalProgram::TKind::Chosen, subCommand};
        StartExternalEditing(program);
        return true;
    }
    if (item == items.Apply) {
        ApplyExternalEditing();
        return true;
    }
    if (item == items.Cancel) {
        CancelExternalEditing();
        return true;
    }
    if (item == items.LoadFromFile) {
        ChooseAndLoad();
        return true;
    }
    if (item == items.SaveToFile) {
        ChooseAndSave();
        return true;
    }
    for (const auto& [formatItem, format] : DataFormatItems()) {
        if (item != formatItem) continue;
        const bool current = format == ifJpeg ? IsJpegFormat(Format()) : Format() == format;
        if (!current || !IsFilled()) ChangeFormat(format);
        return true;
    }
    return TVisualElement::ApplyPaletteItem(item, subCommand, checked);
}

// ---- checks and storage ----

void TCustomDataElement::CheckContent() {
    TVisualElement::CheckContent();
    const QString number = QString::number(Number());
    if (IsFilled() && !IsFormatAllowed(Format()))
        GetMessages()->AddElementLinkMessage(mkInvalidContent, LoadStr(strInvalidDataTypeElement), number);
    if (!m_externalFile.isEmpty())
        GetMessages()->AddElementLinkMessage(mkInvalidContent, LoadStr(strElementModeEditingThird), number);
}

void TCustomDataElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (IsFilled()) {
        knot->WriteStr(kDataTypeAttribute, m_type);
        // An owned copy (the buffer is shared, not borrowed): a snapshot read on
        // another thread never sees the element's data change.
        knot->WriteStream(kDataValueAttribute, m_data);
        int width = 0, height = 0;
        if (saver->HasOption(foSharedData) && DataOnUserThread() && GetImageSize(width, height)) {
            knot->WriteInt(kDataWidthAttribute, width);
            knot->WriteInt(kDataHeightAttribute, height);
        }
    }
    if (!m_externalFile.isEmpty()) knot->WriteStr(kDataExternalFileAttribute, m_externalFile);
}

void TCustomDataElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    const QString type = knot->ReadStr(kDataTypeAttribute);
    QByteArray data;
    if (!knot->ReadStream(kDataValueAttribute, data)) {
        data.clear();
        if (TElementMessages* messages = loader->Messages())
            messages->AddElementLinkMessage(mkWarning, LoadStr(strDataReadErrorElement), QString::number(Number()));
    }
    SetData(data, type);
    if (loader->HasOption(foSharedData)) {
        m_storedWidth = knot->ReadInt(kDataWidthAttribute, 0);
        m_storedHeight = knot->ReadInt(kDataHeightAttribute, 0);
    }
    SetExternalEditingFileName(knot->ReadStr(kDataExternalFileAttribute));
}

// ---------------------------------------------------------------------------
// TElement_Image

T_ELEMENT_CLASS_IMPL(TElement_Image, TCustomDataElement)

TElement_Image::TElement_Image() noexcept {
    InitVisualOptions(VisualOptions() | voCanDisable);
    InitDataOptions(DataOptions() | doImageData);
}

void TElement_Image::Paint(TSheetCanvas& canvas) {
    if (!IsFilled()) {
        canvas.DrawThemeFrame(tekFrameDot, GetClientRect());
        return;
    }
    TCustomDataElement::Paint(canvas);
}

// ---------------------------------------------------------------------------
// Operations

T_CLASS_IMPL_ABSTRACT(TCustomDataChangeOperation, TElementOperation)

TCustomDataChangeOperation::TCustomDataChangeOperation(TCustomDataElement* element)
    : TElementOperation(element, true) {}

void TCustomDataChangeOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* data = dynamic_cast<TCustomDataElement*>(element);
    if (!data) return;
    if (!m_recorded) {
        m_oldData = CompressBytes(data->Data());
        m_oldType = data->DataType();
        m_recorded = true;
    }
    ChangeElement(data);
}

void TCustomDataChangeOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* data = dynamic_cast<TCustomDataElement*>(element)) data->SetData(DecompressBytes(m_oldData), m_oldType);
}

T_CLASS_IMPL_ABSTRACT(TDataNewDataOperation, TCustomDataChangeOperation)

TDataNewDataOperation::TDataNewDataOperation(TCustomDataElement* element, const QByteArray& data,
                                             const QString& type)
    : TCustomDataChangeOperation(element), m_newData(data.isEmpty() ? QByteArray() : CompressBytes(data)),
      m_newType(type) {}

void TDataNewDataOperation::ChangeElement(TCustomDataElement* element) {
    if (m_newData.isEmpty())
        element->SetData({}, {});
    else
        element->SetData(DecompressBytes(m_newData), m_newType);
}

T_CLASS_IMPL_ABSTRACT(TDataNewDataFormatOperation, TCustomDataChangeOperation)

TDataNewDataFormatOperation::TDataNewDataFormatOperation(TCustomDataElement* element, int format)
    : TCustomDataChangeOperation(element), m_format(format) {}

void TDataNewDataFormatOperation::ChangeElement(TCustomDataElement* element) {
    TWaitScope wait;
    const QByteArray converted = ConvertData(element->Data(), element->Format(), m_format);
    element->SetData(converted, ImageFormatExtension(m_format));
}

T_CLASS_IMPL_ABSTRACT(TDataExternalEditingModeOperation, TElementOperation)

TDataExternalEditingModeOperation::TDataExternalEditingModeOperation(TCustomDataElement* element,
                                                                     const QString& newFileName)
    : TElementOperation(element, true), m_newFileName(newFileName) {}

void TDataExternalEditingModeOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* data = dynamic_cast<TCustomDataElement*>(element);
    if (!data) return;
    m_oldFileName = data->ExternalEditingFileName();
    data->SetExternalEditingFileName(m_newFileName);
}

void TDataExternalEditingModeOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* data = dynamic_cast<TCustomDataElement*>(element)) data->SetExternalEditingFileName(m_oldFileName);
}

// ---------------------------------------------------------------------------
// The unit

const TDataPaletteItems& DataPaletteItems() noexcept { return g_dataUnit.items; }

void InitDataElementUnit() {
    g_dataUnit.settings = TProperty::CreateRoot<TDataElementSettings>(QStringLiteral("Data"));
    g_dataUnit.settings->CreateProperties();

    TDataPaletteItems& items = g_dataUnit.items;
    TPaletteGroup* edit = TPaletteGroup::Create(Palette(), strEdit, kDataEditGroupOrder);
    TNodePtr<TDataEditPaletteItem> editItem =
        MakeNode<TDataEditPaletteItem>(pifChangesElement, NoImageIndex, strEdit, strTemporaryFileWillCreated, kDataEditOrder);
    editItem->SetParent(edit);
    items.Edit = editItem.release();
    items.Apply = TSchemePaletteItem::Create(edit, pifChangesElement, NoImageIndex, strApplyExternalEdit,
                                             strApplyResultWorkDone, kDataApplyOrder);
    items.Cancel = TSchemePaletteItem::Create(edit, pifChangesElement, NoImageIndex, strCancelExternalEdit,
                                              strCancelEditingThirdParty, kDataCancelOrder);
    TPaletteGroup* actions = PaletteActionsGroup();
    items.LoadFromFile = TSchemePaletteItem::Create(actions, pifChangesElement, NoImageIndex, strLoadFromFile,
                                                    strInsertDataFromAFile, kDataLoadOrder);
    items.SaveToFile =
        TSchemePaletteItem::Create(actions, 0, NoImageIndex, strSaveToFile, strSaveDataToAFile, kDataSaveOrder);
    TPaletteGroup* format = TPaletteGroup::Create(Palette(), strFormat, kDataFormatGroupOrder);
    constexpr uint16_t formatFlags = pifChangesElement | pifToggle;
    auto formatItem = [&](int caption, int hint, int order) {
        return TSchemePaletteItem::Create(format, formatFlags, NoImageIndex, caption, hint, order);
    };
    items.Bmp = formatItem(strBMP, strSetImageFormatBMP, kDataBmpOrder);
    items.Ico = formatItem(strICO, strSetImageFormatICO, kDataIcoOrder);
    items.Cur = formatItem(strCUR, strSetImageFormatCUR, kDataCurOrder);
    items.Png = formatItem(strPNG, strSetImageFormatPNG, kDataPngOrder);
    items.Gif = formatItem(strGIF, strSetImageFormatGIF, kDataGifOrder);
    items.Jpeg = formatItem(strJPEG, strSetImageFormatJPEG, kDataJpegOrder);

    AddItemOnce(ClassesGroups().GetGroup(cgCommentElements), TElement_Image::StaticClass());
    RegisterCommentDataClass(TElement_Image::StaticClass());
}

void FinalDataElementUnit() {
    if (CommentDataClass() == TElement_Image::StaticClass()) RegisterCommentDataClass(nullptr);
    RemoveItems(ClassesGroups().GetGroup(cgCommentElements), {TElement_Image::StaticClass()});
    g_dataUnit = TDataElementUnit();
}

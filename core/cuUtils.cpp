#include "core/cuUtils.h"

#include "core/cuClasses.h"
#include "core/cuCodeWriters.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "platform/plCursor.h"
#include "platform/plImageList.h"
#include "platform/plShell.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <limits>

namespace {

bool IsDelimiter(QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); }

QChar Separator(TPathStyle style) { return style == TPathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/'); }

QString WithDelimiter(const QString& dir) {
    return dir.isEmpty() || EndsWithPathDelimiter(dir) ? dir : dir + QLatin1Char('/');
}

bool IsUncStart(const QString& path) { return path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1]); }
bool HasDrive(const QString& path) { return path.size() >= 2 && path[1] == QLatin1Char(':'); }

// The whole content of a device: the buffer itself for a QBuffer, else read from the start.
QByteArray WholeContent(QIODevice& source) {
    if (auto* buffer = qobject_cast<QBuffer*>(&source)) {
        buffer->seek(buffer->size());
        return buffer->data();
    }
    if (!source.isSequential()) source.seek(0);
    return source.readAll();
}

// The name a write error gives for a device: its file name, else its object name.
QString DeviceName(const QIODevice& device) {
    if (const auto* file = qobject_cast<const QFileDevice*>(&device)) return file->fileName();
    return device.objectName();
}

// Writes `data` at the device's position and rewinds it; an empty writable
// QBuffer takes the bytes over. A device that does not take every byte raises.
void WriteAndRewind(QIODevice& dest, QByteArray&& data) {
    if (!dest.isWritable()) throw Exception::FromId(strCannotWriteFile, {DeviceName(dest)});
    auto* buffer = qobject_cast<QBuffer*>(&dest);
    if (buffer && buffer->pos() == 0 && buffer->size() == 0) {
        buffer->buffer() = std::move(data);
    } else {
        if (buffer) buffer->buffer().reserve(buffer->pos() + data.size());
        if (dest.write(data) != data.size()) throw Exception::FromId(strCannotWriteFile, {DeviceName(dest)});
    }
    if (!dest.isSequential()) dest.seek(0);
}

[[noreturn]] void RaiseDamaged() { throw Exception::FromId(strCompressedDataDamaged); }

class TInflater {
public:
    TInflater() {
        if (inflateInit(&m_zs) != Z_OK) RaiseDamaged();
    }
    ~TInflater() { inflateEnd(&m_zs); }
    z_stream& Stream() { return m_zs; }

private:
    z_stream m_zs{};
};

std::atomic<int> g_waitCount{0};
int g_waitSavedCursor = Cursors::Default;

}  // namespace

// ---------------------------------------------------------------------------
// Folders and file names

QString GetProgramDir() { return WithDelimiter(QCoreApplication::applicationDirPath()); }
QString GetWindowsDir() { return QDir::rootPath(); }
QString GetTempDir() { return WithDelimiter(QDir::tempPath()); }

std::unique_ptr<QFile> CreateUniqueFile(const QString& nameFmt, const QString& ext, QString& fileName,
                                        const QString& dir) {
    const QString folder = WithDelimiter(dir.isEmpty() ? GetTempDir() : dir);
    const bool numbered = nameFmt.contains(QLatin1String("%d"));
    constexpr int maxTries = 100000;
    for (int n = 1; n <= maxTries; ++n) {
        QString name = folder + FormatCode(nameFmt, {n});
        if (!ext.isEmpty()) name += QLatin1Char('.') + ext;
        auto file = std::make_unique<QFile>(name);
        // Exclusive creation: a file made meanwhile by someone else fails here
        // and the next number is tried.
        if (file->open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
            fileName = name;
            return file;
        }
        if (!QFileInfo::exists(name)) {
            if (!QFileInfo(folder).isDir()) RaisePathNotFound(folder);
            throw Exception::FromId(strCannotCreateUniqueFile, {name});
        }
        if (!numbered) break;
    }
    throw Exception::FromId(strCannotCreateUniqueFile, {folder + nameFmt});
}

QString ExtractFileExtNoDot(const QString& fileName) {
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName[i];
        if (c == QLatin1Char('.')) return fileName.mid(i + 1);
        if (IsDelimiter(c) || c == QLatin1Char(':')) break;
    }
    return {};
}

QString ExtractFileBaseName(const QString& fileName) {
    qsizetype start = fileName.size();
    while (start > 0 && !IsDelimiter(fileName[start - 1]) && fileName[start - 1] != QLatin1Char(':')) --start;
    QString name = fileName.mid(start);
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot >= 0) name.truncate(dot);
    return name;
}

bool EndsWithPathDelimiter(const QString& text) { return !text.isEmpty() && IsDelimiter(text.back()); }

bool SameFileName(const QString& a, const QString& b, TPathStyle style) {
    if (style == TPathStyle::Windows) {
        const QLocale locale;
        return locale.toLower(a) == locale.toLower(b);
    }
    auto clean = [](QString s) { return QDir::cleanPath(s.replace(QLatin1Char('\\'), QLatin1Char('/'))); };
    return clean(a) == clean(b);
}

int IndexOfFileName(const QStringList& list, const QString& name, TPathStyle style) {
    for (int i = 0; i < list.size(); ++i)
        if (SameFileName(list[i], name, style)) return i;
    return -1;
}

void ListFiles(const QString& dir, const QString& mask, QStringList& list, bool keepExtension, bool withFolder) {
    QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    // "*.*" means every name, also those without a dot.
    const QString pattern = mask.isEmpty() || mask == QLatin1String("*.*") ? QStringLiteral("*") : mask;
    const QStringList names = d.entryList({pattern},
                                          QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    const QString prefix = withFolder ? WithDelimiter(dir) : QString();
    for (const QString& name : names) list << prefix + (keepExtension ? name : ExtractFileBaseName(name));
}

QStringList SplitPath(const QString& path) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsDelimiter(path[i])) continue;
        if (i > start) parts << path.mid(start, i - start);
        start = i + 1;
    }
    return parts;
}

QString ExtractPathRoot(const QString& path, TPathStyle style) {
    const QChar sep = Separator(style);
    if (style == TPathStyle::Posix) return !path.isEmpty() && IsDelimiter(path[0]) ? QString(sep) : QString();
    if (HasDrive(path)) return path.left(2);
    if (IsUncStart(path)) {
        const QStringList parts = SplitPath(path);
        return QString(2, sep) + parts.mid(0, 2).join(sep);
    }
    if (!path.isEmpty() && IsDelimiter(path[0])) return QString(sep);
    return {};
}

bool SamePathComponent(const QString& a, const QString& b, TPathStyle style) {
    if (style == TPathStyle::Posix) return a == b;
    return a == b || QString::localeAwareCompare(a, b) == 0;
}

QString ExpandRelativePath(const QString& base, const QString& path, TPathStyle style) {
    if (style == TPathStyle::Windows ? HasDrive(path) || IsUncStart(path)
                                     : !path.isEmpty() && path[0] == QLatin1Char('/'))
        return path;
    const QChar sep = Separator(style);
    QStringList parts = SplitPath(base);
    // The root of an absolute base stays: its drive or server and share, and
    // its leading separators.
    qsizetype fixed = 0;
    QString prefix;
    if (style == TPathStyle::Windows && HasDrive(base)) {
        fixed = 1;
    } else if (style == TPathStyle::Windows && IsUncStart(base)) {
        fixed = std::min<qsizetype>(2, parts.size());
        prefix = QString(2, sep);
    } else if (!base.isEmpty() && IsDelimiter(base[0])) {
        prefix = QString(sep);
    }
    for (const QString& part : SplitPath(path)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (parts.size() > fixed) parts.removeLast();
        } else {
            parts << part;
        }
    }
    return prefix + parts.join(sep);
}

QString MakeRelativePath(const QString& base, const QString& path, TPathStyle style) {
    if (base.isEmpty() || path.isEmpty() ||
        !SamePathComponent(ExtractPathRoot(base, style), ExtractPathRoot(path, style), style))
        return path;
    const QString sep(Separator(style));
    const QString up = QStringLiteral("..") + sep;
    const QStringList b = SplitPath(base), p = SplitPath(path);
    QString result;
    qsizetype i = 0;
    for (; i < p.size(); ++i) {
        if (i >= b.size()) {  // the path lies inside the base
            result = QStringLiteral(".") + sep;
            break;
        }
        if (!SamePathComponent(p[i], b[i], style)) {
            result = up.repeated(b.size() - i);
            break;
        }
    }
    for (qsizetype j = i; j < p.size(); ++j) result += p[j] + sep;
    if (i == p.size()) result = i == b.size() ? QStringLiteral(".") + sep : up.repeated(b.size() - i);
    if (result.endsWith(sep) && !EndsWithPathDelimiter(path)) result.chop(1);
    return result;
}

// ---------------------------------------------------------------------------
// Shell, web and messages

bool ShellOpen(const QString& fileName, const QString& params, const QString& verb, bool raiseOnError) {
    int result;
    {
        TWaitScope wait;
        result = TShell::Current().Execute(fileName, params, verb);
        if (result == ShellResult::NoAssociation || result == ShellResult::IncompleteAssociation)
            result = ShowOpenWithDialog(fileName, params, verb);
    }
    if (ShellResult::Succeeded(result)) return true;
    if (!raiseOnError) return false;
    RaiseShellError(result, fileName);
}

void RaiseShellError(int result, const QString& fileName) {
    if (result == ShellResult::PathNotFound) RaisePathNotFound(fileName);
    if (result == ShellResult::FileNotFound || result == ShellResult::AccessDenied) {
        if (EndsWithPathDelimiter(fileName)) RaisePathNotFound(fileName);
        RaiseFileNotFound(fileName);
    }
    throw Exception(FormatCode(LoadStr(strShellExecuteError), {result, fileName}), strShellExecuteError);
}

std::optional<TLaunch> ChooseOpenWithLaunch(const QString& fileName, const QString& params) {
    TWaitScope wait;
    const std::vector<TDesktopApp> apps = ListApplicationsForFile(fileName);
    const TOpenWithTexts texts{LoadStr(strOpenWithCaption),
                               LoadStrFmt(strOpenWithPrompt, {QFileInfo(fileName).fileName()}),
                               LoadStr(strOpenWithBrowse), LoadStr(strOpenWithAllFiles)};
    const std::optional<TOpenWithChoice> choice = TDialogs::Current().ChooseApplication(texts, apps);
    if (!choice) return std::nullopt;
    if (choice->AppIndex >= 0 && size_t(choice->AppIndex) < apps.size())
        return TLaunch::StartApp(apps[size_t(choice->AppIndex)], fileName);
    if (choice->Program.isEmpty()) return std::nullopt;
    return TLaunch::Start(choice->Program, QStringList{fileName} + SplitCommandLineArgs(params));
}

int ShowOpenWithDialog(const QString& fileName, const QString& params, const QString& verb) {
    Q_UNUSED(verb);
    const std::optional<TLaunch> launch = ChooseOpenWithLaunch(fileName, params);
    // Cancelling the choice is the user's decision, not a failure to report.
    if (!launch) return ShellResult::Started;
    TWaitScope wait;
    if (launch->Kind == TLaunch::TKind::Application)
        return TShell::Current().StartApplication(launch->App, launch->FileName);
    return TShell::Current().StartProgram(launch->Program, launch->Args);
}

QString GetBrowserCommand() { return TShell::Current().BrowserCommand(); }

bool OpenURL(const QString& url) {
    if (url.isEmpty()) return false;
    TWaitScope wait;
    return ShellResult::Succeeded(TShell::Current().Execute(url, {}, {}));
}

QString PunctuateMessage(const QString& text) {
    if (text.isEmpty()) return text;
    const QChar last = text.back();
    if (last == QLatin1Char('.') || last == QLatin1Char('?') || last.unicode() < u'"') return text;
    return text + QLatin1Char('.');
}

int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) {
    return TDialogs::Current().MessageBox(PunctuateMessage(text), caption.isEmpty() ? LoadStr(strProductName) : caption,
                                          flags);
}

void RaiseFileNotFound(const QString& name) { throw Exception::FromId(strFileNotFound, {name}); }
void RaisePathNotFound(const QString& name) { throw Exception::FromId(strPathNotFound, {name}); }

bool BrowseForFolder(const QString& title, const QString& root, QString& folder) {
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
    return TDialogs::Current().BrowseForFolder(title, root, folder);
}

void ShowCurrentException(const char* context) noexcept {
    try {
        try {
            throw;
        } catch (const Exception& e) {
            ShowMessageBox(e.Text(), LoadStr(strError), MsgBox::Ok | MsgBox::IconError);
        }
    } catch (...) {
        // Not one of ours, or showing it failed: the text goes to the log.
        LogCurrentException(context);
    }
}

// ---------------------------------------------------------------------------
// Wait cursor, cursors and drawing

void BeginWait() {
    if (g_waitCount.load() == 0) {
        TScreenCursor& screen = TScreenCursor::Current();
        g_waitSavedCursor = screen.Cursor();
        screen.SetCursor(Cursors::HourGlass);
    }
    ++g_waitCount;
}

void EndWait() {
    // An EndWait without its BeginWait is ignored, so the next wait still shows.
    int count = g_waitCount.load();
    while (count > 0 && !g_waitCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count == 1) TScreenCursor::Current().SetCursor(g_waitSavedCursor);
}

int WaitDepth() { return g_waitCount.load(); }

void SetScreenCursor(int cursor) {
    if (g_waitCount.load() > 0) g_waitSavedCursor = cursor;
    else TScreenCursor::Current().SetCursor(cursor);
}

void RegisterCustomCursor(int id, const QString& name, Qt::CursorShape fallback) {
    TScreenCursor::Current().RegisterCursor(id, [path = QStringLiteral(":/cursors/%1.cur").arg(name), fallback] {
        QCursor cursor;
        return LoadCursorFile(path, cursor) ? cursor : QCursor(fallback);
    });
}

void SaveClipRegion(const QPainter& dc, QRegion& region, bool& hadRegion) {
    hadRegion = dc.hasClipping();
    region = hadRegion ? dc.clipRegion() : QRegion();
}

void RestoreClipRegion(QPainter& dc, QRegion& region, bool hadRegion) {
    if (hadRegion) dc.setClipRegion(region);
    else dc.setClipping(false);
    region = QRegion();
}

bool RectsIntersect(const TRect& a, const TRect& b) {
    return b.Left < a.Right && b.Right >= a.Left && b.Top < a.Bottom && b.Bottom >= a.Top;
}

QSize RectSize(const TRect& r) { return QSize(r.Width(), r.Height()); }

void AddImageStrip(const QImage& bitmap, TImageList& list) {
    const int w = list.Width(), h = list.Height();
    if (w <= 0 || h <= 0 || bitmap.isNull()) return;
    const int cols = bitmap.width() / w, rows = bitmap.height() / h;
    const bool alpha = bitmap.hasAlphaChannel();
    const QRgb key = bitmap.pixel(0, bitmap.height() - 1);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const QImage tile = bitmap.copy(c * w, r * h, w, h);
            if (alpha) list.Add(tile.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            else list.AddMasked(tile, key);
        }
    }
}

// ---------------------------------------------------------------------------
// Other

QString IntToStrZeroPad(qint64 value, int width) {
    // The sign stands before the zeros: -5 in three places is "-05".
    if (value < 0) {
        const QString digits = QString::number(value).mid(1);
        return QLatin1Char('-') + digits.rightJustified(std::max(0, width - 1), QLatin1Char('0'));
    }
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

QByteArray CompressBytes(const QByteArray& data) {
    if (data.isEmpty()) return {};
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                             Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK) throw Exception::FromId(strCompressedDataDamaged);
    out.truncate(qsizetype(size));
    return out;
}

QByteArray DecompressBytes(const QByteArray& data, qint64 maxSize) {
    if (data.isEmpty()) return {};
    TInflater inflater;
    z_stream& zs = inflater.Stream();
    const auto* in = reinterpret_cast<const Bytef*>(data.constData());
    qsizetype inLeft = data.size();
    // One byte more than allowed tells "too large"; the largest cap is no limit.
    const qint64 limit = maxSize < std::numeric_limits<qint64>::max() ? maxSize + 1 : maxSize;
    QByteArray out;
    out.resize(qsizetype(std::min<qint64>(limit, std::max<qint64>(64 * 1024, qint64(data.size()) * 4))));
    qint64 produced = 0;
    for (;;) {
        if (zs.avail_in == 0 && inLeft > 0) {
            zs.next_in = const_cast<Bytef*>(in);
            zs.avail_in = uInt(std::min<qsizetype>(inLeft, UINT_MAX));
            in += zs.avail_in;
            inLeft -= zs.avail_in;
        }
        if (produced == out.size()) {
            if (out.size() >= limit) throw Exception::FromId(strDecompressedTooLarge, {QString::number(maxSize)});
            out.resize(qsizetype(std::min<qint64>(limit, qint64(out.size()) * 2)));
        }
        zs.next_out = reinterpret_cast<Bytef*>(out.data()) + produced;
        zs.avail_out = uInt(std::min<qint64>(out.size() - produced, UINT_MAX));
        const uInt before = zs.avail_out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        produced += before - zs.avail_out;
        if (produced > maxSize) throw Exception::FromId(strDecompressedTooLarge, {QString::number(maxSize)});
        if (rc == Z_STREAM_END) break;
        if (rc == Z_OK) continue;
        // No progress: fine when it needs more room or more input that is
        // there; with the input used up the data is truncated.
        if (rc == Z_BUF_ERROR && (zs.avail_out == 0 || (zs.avail_in == 0 && inLeft > 0))) continue;
        RaiseDamaged();
    }
    // Bytes after the end of the stream mean the data is not what was written.
    if (zs.avail_in != 0 || inLeft != 0) RaiseDamaged();
    out.truncate(qsizetype(produced));
    return out;
}

void CompressStream(QIODevice& source, QIODevice& dest) {
    const QByteArray data = WholeContent(source);
    if (data.isEmpty()) return;
    WriteAndRewind(dest, CompressBytes(data));
}

void DecompressStream(QIODevice& source, QIODevice& dest, qint64 maxSize) {
    const QByteArray data = WholeContent(source);
    if (data.isEmpty()) return;
    WriteAndRewind(dest, DecompressBytes(data, maxSize));
}

std::span<const TInterfaceLanguage> InterfaceLanguages() noexcept {
    static constexpr TInterfaceLanguage table[] = {
        {"DEU", 1031, QLocale::German, QLocale::Germany},
        {"ENU", 1033, QLocale::English, QLocale::UnitedStates},
        {"ESP", 1034, QLocale::Spanish, QLocale::Spain},
        {"FRA", 1036, QLocale::French, QLocale::France},
        {"ITA", 1040, QLocale::Italian, QLocale::Italy},
        {"JPN", 1041, QLocale::Japanese, QLocale::Japan},
        {"NLD", 1043, QLocale::Dutch, QLocale::Netherlands},
        {"PLK", 1045, QLocale::Polish, QLocale::Poland},
        {"PTB", 1046, QLocale::Portuguese, QLocale::Brazil},
        {"RUS", 1049, QLocale::Russian, QLocale::Russia},
        {"CHS", 2052, QLocale::Chinese, QLocale::China},
    };
    return table;
}

const TInterfaceLanguage* FindInterfaceLanguage(const QString& code) noexcept {
    for (const TInterfaceLanguage& entry : InterfaceLanguages())
        if (code == QLatin1String(entry.Code)) return &entry;
    return nullptr;
}

bool LanguageNameToLangId(const QString& code, uint16_t& langId) {
    const TInterfaceLanguage* entry = FindInterfaceLanguage(code);
    if (entry) langId = entry->LangId;
    return entry != nullptr;
}

bool SplitNameValue(const QString& text, QString& name, QString& value) {
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0) {
        name = text;
        value.clear();
        return false;
    }
    name = text.left(eq);
    value = text.mid(eq + 1);
    if (value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"'))
        value = value.mid(1, value.size() - 2);
    return true;
}

bool IsVistaOrLater() { return true; }

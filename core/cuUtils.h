#pragma once
// Free routines shared by the other units: folders and file names, relative
// paths, starting programs and web pages, message boxes, the wait cursor,
// stream compression, image strips, embedded forms, language codes and
// name=value splitting.
//
// Paths come in two styles. The Windows style ("C:\a\b", "\\server\share")
// is what older stored files hold; the POSIX style is used for real files.
// Both styles read "\" and "/" as separators, so relative paths stored with
// "\" still resolve; each writes its own separator.

#include "core/cuTypes.h"
#include "platform/plDialogs.h"
#include "platform/plForms.h"
#include "platform/plShell.h"

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>

class QIODevice;
class QPainter;
class TImageList;

enum class TPathStyle { Windows, Posix };
constexpr TPathStyle NativePathStyle = TPathStyle::Posix;

// ---------------------------------------------------------------------------
// Folders and file names

QString GetProgramDir();  // ends with "/"
QString GetWindowsDir();  // the system folder, "/"
QString GetTempDir();     // ends with "/"

// In `dir` (the temporary folder when empty) creates the first file that does
// not exist yet of nameFmt ("%d" replaced by 1, 2, 3, ...) plus "." and `ext`
// when `ext` is not empty. Creation is exclusive, so two callers never get the
// same file. Returns the open file; `fileName` gets its full name.
std::unique_ptr<QFile> CreateUniqueFile(const QString& nameFmt, const QString& ext, QString& fileName,
                                        const QString& dir = {});

QString ExtractFileExtNoDot(const QString& fileName);
QString ExtractFileBaseName(const QString& fileName);
bool EndsWithPathDelimiter(const QString& text);
// Windows style: equal after lower-casing by the user's locale. POSIX style:
// the cleaned paths are equal, case-sensitively.
bool SameFileName(const QString& a, const QString& b, TPathStyle style = NativePathStyle);
int IndexOfFileName(const QStringList& list, const QString& name, TPathStyle style = NativePathStyle);
// Appends the names of the entries of `dir` that match `mask` (wildcards,
// regardless of case), sorted by name, without "." and "..".
void ListFiles(const QString& dir, const QString& mask, QStringList& list, bool keepExtension = true,
               bool withFolder = false);

QStringList SplitPath(const QString& path);
QString ExtractPathRoot(const QString& path, TPathStyle style = NativePathStyle);
bool SamePathComponent(const QString& a, const QString& b, TPathStyle style = NativePathStyle);
QString ExpandRelativePath(const QString& base, const QString& path, TPathStyle style = NativePathStyle);
QString MakeRelativePath(const QString& base, const QString& path, TPathStyle style = NativePathStyle);

// ---------------------------------------------------------------------------
// Shell, web and messages

// Opens a document, folder or address, or starts a program with `params`,
// under the wait cursor; offers the open-with choice when no program is
// associated. True when started; with raiseOnError a failure raises.
bool ShellOpen(const QString& fileName, const QString& params = {}, const QString& verb = {},
               bool raiseOnError = true);
// Raises what ShellOpen raises for a failed result of the shell.
[[noreturn]] void RaiseShellError(int result, const QString& fileName);
// The open-with choice for a file: the launch of the chosen application or
// program (`params` follow the file); nothing when cancelled.
std::optional<TLaunch> ChooseOpenWithLaunch(const QString& fileName, const QString& params = {});
// The open-with choice for a file; returns the shell's result code.
int ShowOpenWithDialog(const QString& fileName, const QString& params = {}, const QString& verb = {});
QString GetBrowserCommand();
bool OpenURL(const QString& url);

// The text a message box shows: a full stop is appended unless the text is
// empty or ends with ".", "?" or a character below the double quote.
QString PunctuateMessage(const QString& text);
int ShowMessageBox(const QString& text, const QString& caption = {}, unsigned flags = MsgBox::Ok);
[[noreturn]] void RaiseFileNotFound(const QString& name);
[[noreturn]] void RaisePathNotFound(const QString& name);
bool BrowseForFolder(const QString& title, const QString& root, QString& folder);

// At a border no exception may pass (a Qt event handler, a slot, a timer
// tick): shows the text of the project's Exception being handled in a message
// box captioned "Error" with the error icon, and logs any other exception with
// `context`. Never raises. Call it only inside a catch block.
void ShowCurrentException(const char* context) noexcept;

// Runs handler() at such a border, showing or logging what it raises as
// ShowCurrentException does. True when the handler finished without raising.
template <class F>
bool RunGuarded(const char* context, F&& handler) noexcept {
    try {
        handler();
        return true;
    } catch (...) {
        ShowCurrentException(context);
        return false;
    }
}

// ---------------------------------------------------------------------------
// Wait cursor, cursors and drawing

void BeginWait();
void EndWait();
int WaitDepth();
void SetScreenCursor(int cursor);
// Registers the cursor resource ":/cursors/<name>.cur" under `id`, read when
// the cursor is first shown; `fallback` stands in when it can't be read.
void RegisterCustomCursor(int id, const QString& name, Qt::CursorShape fallback);

// Runs BeginWait now and EndWait when it goes out of scope.
class TWaitScope {
public:
    TWaitScope() { BeginWait(); }
    ~TWaitScope() { EndWait(); }
    TWaitScope(const TWaitScope&) = delete;
    TWaitScope& operator=(const TWaitScope&) = delete;
};

void SaveClipRegion(const QPainter& dc, QRegion& region, bool& hadRegion);
void RestoreClipRegion(QPainter& dc, QRegion& region, bool hadRegion);

// B starts before A's right and bottom edges and ends at or after A's left and top.
bool RectsIntersect(const TRect& a, const TRect& b);
QSize RectSize(const TRect& r);

// Cuts `bitmap` row by row, left to right, into tiles of the list's size
// (partial tiles at the right and bottom are ignored) and appends them. A
// bitmap with alpha keeps it; any other is masked by one transparent colour
// for the whole strip: the colour of its bottom-left pixel.
void AddImageStrip(const QImage& bitmap, TImageList& list);

// form := new F(parent), made a frameless child of parent with its client
// size, aligned and shown or hidden. form stays nullptr when F's constructor
// raises, and the exception passes on.
template <class F>
void CreateEmbeddedForm(F*& form, QWidget* parent, TAlign align, bool visible) {
    form = nullptr;
    F* made = new F(parent);
    EmbedForm(made, parent, align, visible);
    form = made;
}

// ---------------------------------------------------------------------------
// Other

QString IntToStrZeroPad(qint64 value, int width);

constexpr qint64 MaxDecompressedSize = qint64(1) << 30;
// zlib format at the default level; Dest is written from its start and rewound.
void CompressStream(QIODevice& source, QIODevice& dest);
void DecompressStream(QIODevice& source, QIODevice& dest, qint64 maxSize = MaxDecompressedSize);
QByteArray CompressBytes(const QByteArray& data);
// Raises on damaged or truncated data and when the output would pass maxSize.
QByteArray DecompressBytes(const QByteArray& data, qint64 maxSize = MaxDecompressedSize);

// One language of the interface: its three-letter code, its Windows language
// id (the name of its string table) and the locale it stands for.
struct TInterfaceLanguage {
    const char* Code;
    uint16_t LangId;
    QLocale::Language Language;
    QLocale::Territory Territory;

    QLocale Locale() const { return QLocale(Language, Territory); }
};
// The eleven languages of the interface, by language id.
std::span<const TInterfaceLanguage> InterfaceLanguages() noexcept;
// The entry of a code (exactly as written, upper case); nil when none.
const TInterfaceLanguage* FindInterfaceLanguage(const QString& code) noexcept;
bool LanguageNameToLangId(const QString& code, uint16_t& langId);
bool SplitNameValue(const QString& text, QString& name, QString& value);
bool IsVistaOrLater();

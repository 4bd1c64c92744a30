#pragma once
// Replacing a file's contents atomically, and the file operations behind it
// as an interface, so that tests can make any step fail (a full disk, a
// refused rename) without touching the real file system's permissions.
// Reading files and streams within bounds: only regular files, and no more
// than a limit.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <sys/types.h>

class QFile;
class QIODevice;

// Why a file was or was not opened for reading.
enum class TOpenForReading { Opened, Missing, NotRegularFile, Failed };

// Opens `file` (its name set) for reading when it is a regular file (or a
// resource); a folder, a device or a pipe is refused before it is opened: a
// device or a pipe may never end, and opening a pipe waits for its writer.
TOpenForReading OpenRegularFileForReading(QFile& file);

// Reads `device` from its position to its end into `out`, unless that is more
// than `limit` bytes: then false, `out` empty. A device that tells its size is
// refused before anything is read; one that does not (a pipe, a socket, a
// device) is read no further than one byte past the limit.
bool ReadAtMost(QIODevice& device, int64_t limit, QByteArray& out);

class TFileLayer {
public:
    virtual ~TFileLayer() = default;

    // Creates and opens a new file for writing (mode 0666 less the umask);
    // fails (-1) when it exists.
    virtual int CreateExclusive(const QString& path);
    // Bytes written, or -1.
    virtual int64_t Write(int fd, const char* data, int64_t size);
    // Gives the open file the permission bits `mode`.
    virtual bool SetMode(int fd, mode_t mode);
    // Flushes the file's data to the disk.
    virtual bool Sync(int fd);
    virtual bool Close(int fd);
    // Replaces `to` by `from` in one step; `to` may exist (also read-only).
    virtual bool Rename(const QString& from, const QString& to);
    // Flushes a folder's entries (a rename in it) to the disk.
    virtual bool SyncFolder(const QString& folder);
    virtual bool Remove(const QString& path);
    // The system's text for the last failure of this layer.
    QString LastErrorText() const;
    // Whether the last failure was "the file exists".
    bool LastErrorWasExists() const noexcept;

    // The layer in use: the real one unless a test installed another.
    static TFileLayer& Current() noexcept;
    // Installs `layer` (nullptr: the real one again); returns the previous one.
    static TFileLayer* Install(TFileLayer* layer) noexcept;

protected:
    // Records errno as the last failure.
    void SaveError() noexcept;
    void SetError(int error) noexcept { m_errno = error; }

private:
    int m_errno = 0;
};

struct TFileReplaceResult {
    bool ok = true;
    QString errorText;  // the system's text when not ok
};

// Writes data into a new temporary file in the target's folder (the first of
// <prefix>1.<ext>, <prefix>2.<ext>, ... that can be created exclusively),
// flushes and syncs it, and renames it over the target, then syncs the
// folder. A target that is a symbolic link is followed: the file it leads to
// is replaced and the link stays. The new file has exactly the old one's
// permissions (a read-only or private file stays so); a new target gets the
// mode the umask gives. On any failure the temporary file is removed, the
// target is left as it was, and the result carries the system's reason. A
// failed folder sync comes after the rename and loses nothing: it is not
// reported.
TFileReplaceResult ReplaceFileContents(const QString& target, const QByteArray& data,
                                       const QString& tempPrefix = QStringLiteral("Rplc"),
                                       const QString& tempExtension = QStringLiteral("tmp"));

#pragma once
// The file operations behind safe saving, as an interface so that tests can
// make any step fail (a full disk, a refused rename) without touching the
// real file system's permissions.

#include <QByteArray>
#include <QString>

#include <cstdint>

class TFileLayer {
public:
    virtual ~TFileLayer() = default;

    // Creates and opens a new file for writing; fails (-1) when it exists.
    virtual int CreateExclusive(const QString& path);
    // Bytes written, or -1.
    virtual int64_t Write(int fd, const char* data, int64_t size);
    // Flushes the file's data to the disk.
    virtual bool Sync(int fd);
    virtual bool Close(int fd);
    // Replaces `to` by `from` in one step; `to` may exist (also read-only).
    virtual bool Rename(const QString& from, const QString& to);
    virtual bool Remove(const QString& path);
    // The system's text for the last failure of this layer.
    virtual QString LastErrorText() const;
    // Whether the last failure was "the file exists".
    virtual bool LastErrorWasExists() const;

    // The layer in use: the real one unless a test installed another.
    static TFileLayer& Current() noexcept;
    // Installs `layer` (nullptr: the real one again); returns the previous one.
    static TFileLayer* Install(TFileLayer* layer) noexcept;

protected:
    void SaveError() noexcept;
    int m_errno = 0;
};

struct TFileReplaceResult {
    bool ok = true;
    QString errorText;  // the system's text when not ok
};

// Writes data into a new temporary file in the target's folder (the first of
// <prefix>1.<ext>, <prefix>2.<ext>, ... that can be created exclusively),
// flushes and syncs it, and renames it over the target. The new file keeps
// the target's permissions, made writable by the owner. On any failure the
// temporary file is removed and the target is left as it was.
TFileReplaceResult ReplaceFileContents(const QString& target, const QByteArray& data,
                                       const QString& tempPrefix = QStringLiteral("Rplc"),
                                       const QString& tempExtension = QStringLiteral("tmp"));

#include "platform/plFiles.h"

#include "platform/plInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TFileLayer g_realLayer;
TServiceSlot<TFileLayer> g_layer;

// The most symbolic links followed from a target, as the system's own limit.
constexpr int kMaxLinkHops = 40;
// The most temporary names tried: a folder full of them (or one that refuses
// every name) cannot hold a save forever.
constexpr int kMaxTempNames = 100000;

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The file a target path leads to: symbolic links followed (a link to a
// missing file leads to that file's name); empty after too many links.
QString ResolveLinks(const QString& target) {
    QFileInfo info(target);
    for (int hops = 0; info.isSymLink(); ++hops) {
        if (hops == kMaxLinkHops) return QString();
        info.setFile(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}
}  // namespace

TOpenForReading OpenRegularFileForReading(QFile& file) {
    const QFileInfo info(file.fileName());
    if (!info.exists()) return TOpenForReading::Missing;
    if (!info.isFile()) return TOpenForReading::NotRegularFile;
    if (!file.open(QIODevice::ReadOnly)) return TOpenForReading::Failed;
    // Replaced by something else since the look: refused as well.
    if (file.isSequential()) {
        file.close();
        return TOpenForReading::NotRegularFile;
    }
    return TOpenForReading::Opened;
}

bool ReadAtMost(QIODevice& device, int64_t limit, QByteArray& out) {
    constexpr int64_t kChunk = int64_t(1) << 16;
    out.clear();
    int64_t step = kChunk;
    if (!device.isSequential()) {
        const int64_t left = device.size() - device.pos();
        if (left > limit) return false;
        step = std::max<int64_t>(left, 0) + 1;  // one more: a file that grew meanwhile goes on in chunks
    }
    for (;;) {
        const int64_t at = out.size();
        out.resize(qsizetype(at + std::min(step, limit + 1 - at)));
        const int64_t got = device.read(out.data() + at, out.size() - at);
        out.resize(qsizetype(at + std::max<int64_t>(got, 0)));
        if (out.size() > limit) {
            out = QByteArray();
            return false;
        }
        if (got <= 0 || (!device.isSequential() && device.atEnd())) return true;
        step = kChunk;
    }
}

TFileLayer& TFileLayer::Current() noexcept { return g_layer.Get(g_realLayer); }

TFileLayer* TFileLayer::Install(TFileLayer* layer) noexcept { return g_layer.Install(layer); }

void TFileLayer::SaveError() noexcept { m_errno = errno; }

int TFileLayer::CreateExclusive(const QString& path) {
    const int fd = ::open(Native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) SaveError();
    return fd;
}

int64_t TFileLayer::Write(int fd, const char* data, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            SaveError();
            return -1;
        }
        done += n;
    }
    return done;
}

bool TFileLayer::SetMode(int fd, mode_t mode) {
    if (::fchmod(fd, mode) == 0) return true;
    SaveError();
    return false;
}

bool TFileLayer::Sync(int fd) {
    if (::fsync(fd) == 0) return true;
    SaveError();
    return false;
}

bool TFileLayer::Close(int fd) {
    if (::close(fd) == 0) return true;
    SaveError();
    return false;
}

bool TFileLayer::Rename(const QString& from, const QString& to) {
    if (::rename(Native(from).constData(), Native(to).constData()) == 0) return true;
    SaveError();
    return false;
}

bool TFileLayer::SyncFolder(const QString& folder) {
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (!ok) SaveError();
    if (fd >= 0) ::close(fd);
    return ok;
}

bool TFileLayer::Remove(const QString& path) {
    if (::unlink(Native(path).constData()) == 0) return true;
    SaveError();
    return false;
}

QString TFileLayer::LastErrorText() const { return QString::fromLocal8Bit(std::strerror(m_errno)); }

bool TFileLayer::LastErrorWasExists() const noexcept { return m_errno == EEXIST; }

namespace {
// The first free temporary name in folder, created and opened; -1 when none.
int CreateTemporary(TFileLayer& files, const QDir& folder, const QString& prefix, const QString& extension,
                    QString& name) {
    for (int i = 1; i <= kMaxTempNames; ++i) {
        name = folder.filePath(QStringLiteral("%1%2.%3").arg(prefix).arg(i).arg(extension));
        const int fd = files.CreateExclusive(name);
        if (fd >= 0 || !files.LastErrorWasExists()) return fd;
    }
    return -1;
}

// Gives the open temporary file the old file's mode, writes and syncs it, and
// closes it in every case. The system's reason for the first failure, or
// empty when every step succeeded.
QString FillTemporary(TFileLayer& files, int fd, const QByteArray& data, const QString& target) {
    struct stat old {};
    const bool keepMode = ::stat(Native(target).constData(), &old) == 0;
    const bool ok = (!keepMode || files.SetMode(fd, old.st_mode & 07777)) &&
                    files.Write(fd, data.constData(), data.size()) == data.size() && files.Sync(fd);
    const QString reason = ok ? QString() : files.LastErrorText();
    if (!files.Close(fd) && ok) return files.LastErrorText();
    return reason;
}
}  // namespace

TFileReplaceResult ReplaceFileContents(const QString& target, const QByteArray& data, const QString& tempPrefix,
                                       const QString& tempExtension) {
    TFileLayer& files = TFileLayer::Current();
    const QString file = ResolveLinks(target);
    if (file.isEmpty()) return TFileReplaceResult{false, QString::fromLocal8Bit(std::strerror(ELOOP))};
    const QDir folder = QFileInfo(file).absoluteDir();

    QString temp;
    const int fd = CreateTemporary(files, folder, tempPrefix, tempExtension, temp);
    if (fd < 0) return TFileReplaceResult{false, files.LastErrorText()};
    QString reason = FillTemporary(files, fd, data, file);
    if (reason.isEmpty() && !files.Rename(temp, file)) reason = files.LastErrorText();
    if (!reason.isEmpty()) {
        files.Remove(temp);
        return TFileReplaceResult{false, reason};
    }
    files.SyncFolder(folder.path());
    return TFileReplaceResult{};
}

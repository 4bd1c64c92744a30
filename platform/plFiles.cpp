#include "platform/plFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TFileLayer g_realLayer;
TFileLayer* g_layer = &g_realLayer;

QByteArray Native(const QString& path) { return QFile::encodeName(path); }
}  // namespace

TFileLayer& TFileLayer::Current() noexcept { return *g_layer; }

TFileLayer* TFileLayer::Install(TFileLayer* layer) noexcept {
    TFileLayer* previous = g_layer;
    g_layer = layer ? layer : &g_realLayer;
    return previous;
}

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

bool TFileLayer::Remove(const QString& path) {
    if (::unlink(Native(path).constData()) == 0) return true;
    SaveError();
    return false;
}

QString TFileLayer::LastErrorText() const { return QString::fromLocal8Bit(std::strerror(m_errno)); }

bool TFileLayer::LastErrorWasExists() const { return m_errno == EEXIST; }

TFileReplaceResult ReplaceFileContents(const QString& target, const QByteArray& data, const QString& tempPrefix,
                                       const QString& tempExtension) {
    TFileLayer& files = TFileLayer::Current();
    const QDir folder = QFileInfo(target).absoluteDir();
    auto failure = [&files] { return TFileReplaceResult{false, files.LastErrorText()}; };

    // The first free temporary name; bounded so that a folder full of them
    // (or one that refuses every name) cannot hold us forever.
    QString temp;
    int fd = -1;
    for (int i = 1; i <= 100000 && fd < 0; ++i) {
        temp = folder.filePath(QStringLiteral("%1%2.%3").arg(tempPrefix).arg(i).arg(tempExtension));
        fd = files.CreateExclusive(temp);
        if (fd < 0 && !files.LastErrorWasExists()) return failure();
    }
    if (fd < 0) return failure();
    // The new file keeps the old one's permissions (a private file stays
    // private), writable by its owner as a read-only target was cleared.
    struct stat old {};
    if (::stat(Native(target).constData(), &old) == 0) ::fchmod(fd, (old.st_mode & 07777) | S_IWUSR);

    bool ok = files.Write(fd, data.constData(), data.size()) == data.size() && files.Sync(fd);
    TFileReplaceResult result = ok ? TFileReplaceResult{} : failure();
    if (!files.Close(fd) && ok) {
        ok = false;
        result = failure();
    }
    if (ok && !files.Rename(temp, target)) {
        ok = false;
        result = failure();
    }
    if (!ok) {
        files.Remove(temp);
        return result;
    }
    // Make the rename itself durable; a failure here loses nothing.
    const int dirFd = ::open(Native(folder.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return result;
}

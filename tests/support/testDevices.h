#pragma once
// Devices for tests of bounded reading, which count the bytes they hand out:
// a stream without size (which may never end), and a device that tells a size
// far beyond what a test may allocate; and named pipes.

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

// `head`, then zeros, `length` bytes in all (-1: without end) and no size
// told (a pipe, a device).
class TSequentialDevice : public QIODevice {
public:
    explicit TSequentialDevice(QByteArray head = {}, int64_t length = -1) : m_head(std::move(head)), m_length(length) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    int64_t Served = 0;

protected:
    qint64 readData(char* data, qint64 max) override {
        const int64_t n = m_length < 0 ? max : std::min<int64_t>(max, m_length - Served);
        std::memset(data, 0, size_t(n));
        if (Served < m_head.size())
            std::memcpy(data, m_head.constData() + Served, size_t(std::min<int64_t>(n, m_head.size() - Served)));
        Served += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_head;
    int64_t m_length;
};

// `head`, then zeros, as a device of `size` bytes that can seek.
class TOversizedDevice : public QIODevice {
public:
    TOversizedDevice(QByteArray head, int64_t size) : m_head(std::move(head)), m_size(size) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 pos) override {
        m_at = pos;
        return QIODevice::seek(pos);
    }
    int64_t Served = 0;

protected:
    qint64 readData(char* data, qint64 max) override {
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>(max, m_size - m_at));
        std::memset(data, 0, size_t(n));
        if (m_at < m_head.size())
            std::memcpy(data, m_head.constData() + m_at, size_t(std::min<int64_t>(n, m_head.size() - m_at)));
        m_at += n;
        Served += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_head;
    int64_t m_size;
    int64_t m_at = 0;
};

// A named pipe at `path`; false when it cannot be made.
inline bool MakeNamedPipe(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

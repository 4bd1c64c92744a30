#pragma once
// Downloading one web address into memory, synchronously: the calling thread
// runs a local event loop that leaves user input waiting (windows keep
// painting) until the answer is complete, a phase stays silent too long, the
// whole download passes its deadline, or the answer grows past its limit.
// Nothing is taken from or kept in a cache.

#include <QByteArray>
#include <QString>

// How long a download may take and how much it may bring.
struct TDownloadLimits {
    static constexpr int kPhaseMs = 6000;
    static constexpr int kTotalMs = 30000;
    static constexpr qint64 kMaxBytes = qint64(1) << 20;

    // Connecting, sending and each wait for more of the answer.
    int PhaseMs = kPhaseMs;
    // The whole download, whatever the server does.
    int TotalMs = kTotalMs;
    // The largest body accepted.
    qint64 MaxBytes = kMaxBytes;
};

// The user agent every request names.
inline constexpr char kWebUserAgent[] = "AppWeb";

// Keeps control characters out of a text taken from the network or a
// downloaded file and cuts it to maxChars (an ellipsis marks the cut), so
// that it can stand in a message.
QString PrintableExcerpt(const QString& text, int maxChars = 200);

// The body at url (http or https only; redirects of the same safety are
// followed). Raises "Can't open URL: <url>" with the reason on a failure, an
// HTTP error status, a time-out or a body over the limit.
QByteArray DownloadUrl(const QString& url, const TDownloadLimits& limits = {});

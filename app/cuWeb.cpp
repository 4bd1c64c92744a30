#include "app/cuWeb.h"

#include "core/cuClasses.h"
#include "core/cuCodeWriters.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

constexpr int kMaxRedirects = 5;

// The proxy the system configures for each request, for this manager alone.
class TSystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return systemProxyForQuery(query);
    }
};

[[noreturn]] void RaiseCantOpen(const QString& url, const QString& reason) {
    throw Exception(FormatCode(LoadStr(strCanTOpenURL), {PrintableExcerpt(url), PrintableExcerpt(reason)}),
                    strCanTOpenURL);
}

bool IsWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QNetworkRequest MakeRequest(const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kWebUserAgent));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    return request;
}

// One download in progress: the reply, the two clocks and the body so far.
// The first reason to stop wins; the reply is aborted then.
class TDownload {
public:
    TDownload(QNetworkReply& reply, const TDownloadLimits& limits) : m_reply(reply), m_limits(limits) {}

    // Runs the local loop until the reply ends; the reason it failed, or empty.
    QString Run() {
        QEventLoop loop;
        QTimer phase, total;
        // Holds the connections to the reply and the timers: they end before the timers and the loop go.
        QObject connections;
        phase.setSingleShot(true);
        total.setSingleShot(true);
        const auto timedOut = [this] { Stop(LoadStr(strServerDidNotAnswerInTime)); };
        QObject::connect(&phase, &QTimer::timeout, &connections, timedOut);
        QObject::connect(&total, &QTimer::timeout, &connections, timedOut);
        const auto restartPhase = [this, &phase] { phase.start(m_limits.PhaseMs); };
        QObject::connect(&m_reply, &QNetworkReply::metaDataChanged, &connections, [this, restartPhase] {
            restartPhase();
            const QVariant length = m_reply.header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > m_limits.MaxBytes) StopTooLarge();
        });
        QObject::connect(&m_reply, &QNetworkReply::readyRead, &connections, [this, restartPhase] {
            restartPhase();
            TakeArrived();
        });
        QObject::connect(&m_reply, &QNetworkReply::uploadProgress, &connections, restartPhase);
        QObject::connect(&m_reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        restartPhase();
        total.start(m_limits.TotalMs);
        if (!m_reply.isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (m_reason.isEmpty()) TakeArrived();
        if (m_reason.isEmpty()) m_reason = ReplyFailure();
        return m_reason;
    }

    QByteArray& Body() noexcept { return m_body; }

private:
    void Stop(const QString& reason) {
        if (!m_reason.isEmpty()) return;
        m_reason = reason;
        m_reply.abort();
    }
    void StopTooLarge() { Stop(LoadStrFmt(strAnswerLargerThan, {QString::number(m_limits.MaxBytes)})); }

    void TakeArrived() {
        if (!m_reason.isEmpty()) return;
        m_body += m_reply.read(m_limits.MaxBytes + 1 - m_body.size());
        if (m_body.size() > m_limits.MaxBytes || m_reply.bytesAvailable() > 0) StopTooLarge();
    }

    // An HTTP error status, else the network's own failure, else nothing.
    QString ReplyFailure() const {
        const QVariant status = m_reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300))
            return LoadStrFmt(strServerAnsweredStatus,
                              {status.toString(),
                               m_reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()})
                .trimmed();
        if (m_reply.error() != QNetworkReply::NoError) return m_reply.errorString();
        return {};
    }

    QNetworkReply& m_reply;
    const TDownloadLimits& m_limits;
    QByteArray m_body;
    QString m_reason;
};

}  // namespace

QString PrintableExcerpt(const QString& text, int maxChars) {
    QString result;
    result.reserve(std::min<qsizetype>(text.size(), maxChars + 1));
    for (const QChar c : text) {
        if (result.size() >= maxChars) {
            if (result.back().isHighSurrogate()) result.chop(1);
            result += QChar(0x2026);
            break;
        }
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format) continue;
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) continue;
        result += c;
    }
    return result;
}

QByteArray DownloadUrl(const QString& url, const TDownloadLimits& limits) {
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || !IsWebScheme(address) || address.host().isEmpty())
        RaiseCantOpen(url, LoadStr(strOnlyHttpAddresses));
    QNetworkAccessManager manager;
    manager.setProxyFactory(new TSystemProxyFactory);
    const std::unique_ptr<QNetworkReply> reply(manager.get(MakeRequest(address)));
    TDownload download(*reply, limits);
    const QString failure = download.Run();
    if (!failure.isEmpty()) RaiseCantOpen(url, failure);
    return std::move(download.Body());
}

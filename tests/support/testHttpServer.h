#pragma once
// A small HTTP server on the loopback interface for tests of downloads: each
// path has a programmed answer (a status and body, garbage, silence, or a
// body that trickles in one byte at a time); every request's head is kept.
// It runs in the test's own thread, served by whatever event loop runs.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

enum class TServeMode { Answer, Garbage, Silence, Trickle };

struct TServeRoute {
    TServeMode Mode = TServeMode::Answer;
    int Status = 200;
    QByteArray Reason = "OK";
    QByteArray Body{};
    bool SendLength = true;  // without it the body ends when the connection closes
    int TrickleMs = 100;     // Trickle: one byte of Body after each interval
};

class TTestHttpServer : public QObject {
public:
    TTestHttpServer() {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { Accept(); });
    }

    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    void Route(const QByteArray& path, TServeRoute route) { m_routes[path] = std::move(route); }

    // The heads of the requests received, in order.
    QList<QByteArray> Requests;
    // A header of the last request (name in lower case); empty when absent.
    QByteArray LastHeader(const QByteArray& name) const {
        if (Requests.isEmpty()) return {};
        for (const QByteArray& line : Requests.last().split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name) return line.mid(colon + 1).trimmed();
        }
        return {};
    }

private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto head = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
                if (head->contains("\r\n\r\n")) return;
                *head += socket->readAll();
                if (head->contains("\r\n\r\n")) Answer(socket, *head);
            });
        }
    }

    void Answer(QTcpSocket* socket, const QByteArray& head) {
        Requests.append(head);
        const QByteArray path = head.left(head.indexOf("\r\n")).split(' ').value(1);
        const TServeRoute route = m_routes.value(path, TServeRoute{TServeMode::Answer, 404, "Not Found", "missing"});
        switch (route.Mode) {
        case TServeMode::Silence: return;
        case TServeMode::Garbage:
            socket->write(kGarbage, sizeof kGarbage - 1);
            socket->disconnectFromHost();
            return;
        case TServeMode::Answer:
            socket->write(Head(route));
            socket->write(route.Body);
            socket->disconnectFromHost();
            return;
        case TServeMode::Trickle: Trickle(socket, route); return;
        }
    }

    static constexpr char kGarbage[] = "\x01\x7f garbage \xff\xfe no status line\r\n\r\n";

    static QByteArray Head(const TServeRoute& route) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.Status) + ' ' + route.Reason + "\r\n";
        head += "Content-Type: text/plain; charset=utf-8\r\nConnection: close\r\n";
        if (route.SendLength) head += "Content-Length: " + QByteArray::number(route.Body.size()) + "\r\n";
        return head + "\r\n";
    }

    void Trickle(QTcpSocket* socket, const TServeRoute& route) {
        socket->write(Head(route));
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = route.Body] {
            if (*sent >= body.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.mid((*sent)++, 1));
        });
        timer->start(route.TrickleMs);
    }

    QTcpServer m_server;
    QMap<QByteArray, TServeRoute> m_routes;
};

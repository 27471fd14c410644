#include "LoopbackHttpServer.h"

#include <QRegularExpression>
#include <QTimer>

namespace quorvex::test {

namespace {
constexpr qint64 kMaxRequest = 64 * 1024;
constexpr int kMaxConnections = 64;
} // namespace

LoopbackHttpServer::Response LoopbackHttpServer::page(const QByteArray& body,
                                                      const QByteArray& contentType) {
    Response r;
    r.body = body;
    r.contentType = contentType;
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::status(int code) {
    Response r;
    r.status = code;
    r.body = "<html><body><h1>Error " + QByteArray::number(code) + "</h1></body></html>";
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::redirect(const QString& location) {
    Response r;
    r.kind = Response::Redirect;
    r.location = location.toUtf8();
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::trickle(const QByteArray& body, int lastBytes,
                                                         int intervalMs) {
    Response r = page(body, "text/html; charset=utf-8");
    r.kind = Response::Trickle;
    r.trickleBytes = int(std::min<qsizetype>(lastBytes, body.size()));
    r.intervalMs = intervalMs;
    return r;
}

LoopbackHttpServer::LoopbackHttpServer(QObject* parent) : QObject(parent) {
    connect(&server_, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

bool LoopbackHttpServer::start(const QHostAddress& address) {
    return server_.listen(address, 0);
}

QString LoopbackHttpServer::baseAddress() const {
    return QStringLiteral("http://%1:%2")
        .arg(server_.serverAddress().toString())
        .arg(server_.serverPort());
}

void LoopbackHttpServer::setYear(int year, const Response& response) {
    years_.insert(year, response);
}

void LoopbackHttpServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        sockets_.removeAll(nullptr);
        if (sockets_.size() >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        sockets_.append(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackHttpServer::serve(QTcpSocket* socket) {
    if (socket->property("answered").toBool())
        return;
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    if (request.size() > kMaxRequest) {
        socket->abort();
        return;
    }
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);

    const QByteArray target = request.left(request.indexOf("\r\n")).split(' ').value(1);
    static const QRegularExpression span(QStringLiteral("span=(\\d{4})001_\\g{1}365$"));
    const auto m = span.match(QString::fromLatin1(target));
    const int year = m.hasMatch() ? m.captured(1).toInt() : 0;
    requested_.append(year);
    const Response r = years_.value(year, status(404));

    QByteArray head;
    switch (r.kind) {
    case Response::Silent:
        return;
    case Response::Redirect:
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + r.location + target +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    case Response::Endless: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                      "<html><body><table>");
        const QByteArray row = "<tr><td>2013001</td><td>13-01-01 周二</td><td>01</td></tr>\n";
        QByteArray chunk;
        while (chunk.size() < 1024 * 1024)
            chunk += row;
        for (qint64 sent = 0; sent < r.hugeBytes; sent += chunk.size())
            socket->write(chunk);
        socket->disconnectFromHost();
        return;
    }
    case Response::Page:
    case Response::Trickle:
        break;
    }
    head = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nContent-Type: " + r.contentType +
           "\r\nContent-Length: " + QByteArray::number(r.body.size()) +
           "\r\nConnection: close\r\n\r\n";
    const qsizetype atOnce = r.body.size() - r.trickleBytes;
    socket->write(head + r.body.left(atOnce));
    if (atOnce == r.body.size()) {
        socket->disconnectFromHost();
        return;
    }
    // The timer goes with the socket when the client hangs up first.
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket,
            [socket, timer, body = r.body, sent = atOnce]() mutable {
                socket->write(body.mid(sent++, 1));
                if (sent == body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
    timer->start(r.intervalMs);
}

} // namespace quorvex::test

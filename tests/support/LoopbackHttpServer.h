#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace quorvex::test {

// A small HTTP/1.1 server on loopback (127.0.0.1 unless told) for the online update's tests:
// answers the results page of each year with what the test set, one request per connection.
// Requests over 64 KB and more than 64 open connections are refused.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        enum Kind {
            Page,     // status, content type and body
            Silent,   // reads the request and never answers
            Redirect, // 302 to location followed by the request's target; without a location
                      // to the same address: a redirect loop
            Endless,  // 200 with hugeBytes of markup and no Content-Length
            Trickle,  // as Page, but the last trickleBytes of the body one by one, each
                      // intervalMs after the one before
        };
        Kind kind = Page;
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        qint64 hugeBytes = 0;
        QByteArray location; // Redirect: scheme, host and port, and maybe a path prefix
        int trickleBytes = 0;
        int intervalMs = 0;
    };
    static Response page(const QByteArray& body, const QByteArray& contentType = "text/html");
    static Response status(int code);
    static Response redirect(const QString& location);
    static Response trickle(const QByteArray& body, int lastBytes, int intervalMs);

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    bool start(const QHostAddress& address = QHostAddress::LocalHost);
    QString baseAddress() const;

    // The answer for the results page of year; years not set get 404.
    void setYear(int year, const Response& response);
    // Years asked for, in order (a redirect loop asks several times).
    const QList<int>& requestedYears() const { return requested_; }

private:
    void accept();
    void serve(QTcpSocket* socket);

    QTcpServer server_;
    QHash<int, Response> years_;
    QList<int> requested_;
    QList<QPointer<QTcpSocket>> sockets_;
};

} // namespace quorvex::test
Q_DECLARE_METATYPE(quorvex::test::LoopbackHttpServer::Response)

#pragma once

#include "store/HistoryStore.h"
#include "UpdatePlan.h"
#include "UpdatePreview.h"
#include "UpdateReport.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

namespace quorvex {

// The online update (Command21): fetches the results page of every year from the year the
// history continues in to the current one, one after the other, scans each page's text, and
// only then stores the draws found in one transaction (with the retention delete, when due).
// The draws stored end at the first gap the pages show (a failed page, a missing or invalid
// issue, a year without draws before years with draws), so that no gap is ever stored; when no
// draw is stored nothing changes. Runs in the event loop of the calling
// thread: the window keeps redrawing, and a command-line tool waits with one QEventLoop.
class OnlineUpdate : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString serverAddress; // base address of the results service (setting strServer)
        QDate today;           // its year is the last year fetched
        int iniSerchDay = 3;   // years of history kept
        ValueBases bases;
        int pageTimeoutMs = 30000; // a page that sends nothing for this long fails...
        // ...and so does one not complete after this long in all, however it trickles in (or
        // after pageTimeoutMs when that is longer): 10 minutes carry 8 MB at 14 KB/s.
        int pageDeadlineMs = 10 * 60 * 1000;
        qint64 maxPageBytes = 8 * 1024 * 1024;
        int maxRedirects = 5; // followed only within the service's host
    };

    OnlineUpdate(HistoryStore& store, Options options, QObject* parent = nullptr);
    ~OnlineUpdate() override;

    // Reads where the history stands and plans the update, before anything is fetched: the
    // notice says what the retention will do, for a confirmation. start() runs this plan; the
    // draws are stored only while the history is still as planned. Nothing and the reason when
    // the history cannot be read.
    std::optional<RetentionNotice> plan(QString* error);
    // Starts the update (planning it first unless plan() did); finished() follows exactly once,
    // always from the event loop (also when the address or the history makes it fail at once).
    void start();
    // Stops fetching; finished() reports Cancelled and nothing has changed. Without effect once
    // the draws are being stored or the update has finished.
    void cancel();
    bool isRunning() const { return running_; }
    const UpdateReport& report() const { return report_; }

signals:
    // Before each year's page and after it was scanned: the year and the draws found so far.
    void progress(int year, int drawsFound);
    void finished(const quorvex::UpdateReport& report);

private:
    bool readPlan(QString* error);
    void fetchYear();
    void get(const QUrl& url);
    // Why a redirect from one address to another is not followed; empty to follow it.
    QString redirectRefusal(const QUrl& from, const QUrl& to);
    int pageDeadlineMs() const;
    void readBody();
    void pageFinished();
    void abortPage(const QString& why);
    void storeAndFinish();
    void finish(UpdateReport::Outcome outcome, const QString& error = {});
    void finishLater(UpdateReport::Outcome outcome, const QString& error);

    HistoryStore& store_;
    Options options_;
    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer deadline_;
    QByteArray body_;
    QString pageError_;
    QString serviceHost_; // redirects elsewhere are refused
    UpdatePlan plan_;
    std::optional<QString> limit_;
    QVector<int> years_;
    int redirects_ = 0; // of the page under way
    int yearIndex_ = 0;
    int found_ = 0;
    bool planned_ = false;
    bool running_ = false;
    bool cancelled_ = false;
    UpdateReport report_;
};

} // namespace quorvex

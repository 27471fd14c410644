#include "OnlineUpdate.h"

#include "PageText.h"
#include "UpdateApply.h"
#include "UpdateGap.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace quorvex {

namespace {
const QString kInsecureRedirect = QStringLiteral("被重定向到了不安全的地址");
const QString kTooManyRedirects = QStringLiteral("重定向次数过多");
} // namespace

OnlineUpdate::OnlineUpdate(HistoryStore& store, Options options, QObject* parent)
    : QObject(parent), store_(store), options_(std::move(options)),
      network_(new QNetworkAccessManager(this)) {
    qRegisterMetaType<UpdateReport>();
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        abortPage(QStringLiteral("超过 %1 秒仍未收完").arg(pageDeadlineMs() / 1000.0));
    });
}

OnlineUpdate::~OnlineUpdate() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void OnlineUpdate::start() {
    if (running_)
        return;
    running_ = true;
    cancelled_ = false;
    report_ = {};
    report_.retentionYears = options_.iniSerchDay;
    yearIndex_ = 0;
    found_ = 0;

    QString why;
    const auto firstUrl = resultsPageUrl(options_.serverAddress, options_.today.year(), &why);
    if (!firstUrl)
        return finishLater(UpdateReport::Outcome::Failed, why);
    serviceHost_ = firstUrl->host();
    if (!planned_ && !readPlan(&why))
        return finishLater(UpdateReport::Outcome::Failed, why);
    planned_ = false; // a later start() plans anew
    if (years_.isEmpty())
        return finishLater(UpdateReport::Outcome::NothingNew, {});
    QTimer::singleShot(0, this, &OnlineUpdate::fetchYear);
}

bool OnlineUpdate::readPlan(QString* error) {
    HistoryBounds bounds;
    if (!readHistoryBounds(store_, &bounds, error))
        return false;
    plan_ = planUpdate(bounds.first, bounds.last, options_.iniSerchDay, options_.today.year());
    // A history that is cleared has no strQQH left to limit the scan.
    limit_ = plan_.clearHistory ? std::nullopt : bounds.strQQHLimit;
    years_ = plan_.years();
    planned_ = true;
    return true;
}

std::optional<RetentionNotice> OnlineUpdate::plan(QString* error) {
    // An address no page can be asked at is refused before any retention is put to the user.
    if (!resultsPageUrl(options_.serverAddress, options_.today.year(), error))
        return std::nullopt;
    const HistoryStore::ReadSnapshot pinned(store_);
    if (!readPlan(error))
        return std::nullopt;
    return retentionNotice(store_, plan_, options_.iniSerchDay, error);
}

void OnlineUpdate::cancel() {
    if (!running_ || cancelled_)
        return;
    cancelled_ = true;
    if (reply_)
        reply_->abort(); // pageFinished() reports the cancel
}

void OnlineUpdate::fetchYear() {
    if (cancelled_)
        return finish(UpdateReport::Outcome::Cancelled);
    const int year = years_[yearIndex_];
    emit progress(year, found_);
    if (cancelled_) // a progress dialog may cancel from its slot
        return finish(UpdateReport::Outcome::Cancelled);

    redirects_ = 0;
    deadline_.start(pageDeadlineMs());
    get(*resultsPageUrl(options_.serverAddress, year, nullptr));
}

void OnlineUpdate::get(const QUrl& url) {
    QNetworkRequest request(url);
    // Redirects are followed in pageFinished, and only within the service's host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // Restarted by every byte received: a page that trickles in is only held to the deadline.
    request.setTransferTimeout(options_.pageTimeoutMs);
    body_.clear();
    pageError_.clear();
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > options_.maxPageBytes)
            abortPage(QStringLiteral("页面超过 %1 MB").arg(options_.maxPageBytes / (1024 * 1024)));
        else if (length.isValid())
            body_.reserve(length.toLongLong()); // not twice the page while it grows
    });
    connect(reply_, &QNetworkReply::readyRead, this, &OnlineUpdate::readBody);
    connect(reply_, &QNetworkReply::finished, this, &OnlineUpdate::pageFinished);
}

int OnlineUpdate::pageDeadlineMs() const {
    return std::max(options_.pageDeadlineMs, options_.pageTimeoutMs);
}

void OnlineUpdate::readBody() {
    if (!reply_ || !reply_->isOpen() || !pageError_.isEmpty())
        return;
    // Only the final page's body counts: get() starts afresh after a redirect.
    body_ += reply_->read(options_.maxPageBytes + 1 - body_.size());
    if (body_.size() > options_.maxPageBytes)
        abortPage(QStringLiteral("页面超过 %1 MB").arg(options_.maxPageBytes / (1024 * 1024)));
}

QString OnlineUpdate::redirectRefusal(const QUrl& from, const QUrl& to) {
    if (++redirects_ > options_.maxRedirects)
        return kTooManyRedirects;
    if (to.host().compare(serviceHost_, Qt::CaseInsensitive) != 0)
        return QStringLiteral("被重定向到了另一台服务器 %1，没有跟随")
            .arg(to.host().isEmpty() ? to.toString() : to.host());
    const QString scheme = to.scheme().toLower();
    if (scheme != QLatin1String("https") &&
        (scheme != QLatin1String("http") || from.scheme() == QLatin1String("https")))
        return kInsecureRedirect;
    return {};
}

void OnlineUpdate::abortPage(const QString& why) {
    if (!reply_ || !pageError_.isEmpty())
        return;
    pageError_ = why;
    reply_->abort();
}

namespace {

QString replyError(QNetworkReply* reply, int timeoutMs) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (reply->error()) {
    case QNetworkReply::NoError:
        // Only a 2xx answer is a page.
        return status < 200 || status >= 300 ? QStringLiteral("服务器回答 HTTP %1").arg(status)
                                             : QString();
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        return QStringLiteral("超过 %1 秒没有收到数据").arg(timeoutMs / 1000.0);
    default:
        break;
    }
    if (status >= 300)
        return QStringLiteral("服务器回答 HTTP %1").arg(status);
    return reply->errorString();
}

} // namespace

void OnlineUpdate::pageFinished() {
    if (!reply_)
        return;
    readBody();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->deleteLater();
    if (cancelled_) {
        deadline_.stop();
        return finish(UpdateReport::Outcome::Cancelled);
    }
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (pageError_.isEmpty() && reply->error() == QNetworkReply::NoError && target.isValid()) {
        const QUrl to = reply->url().resolved(target.toUrl());
        pageError_ = redirectRefusal(reply->url(), to);
        if (pageError_.isEmpty())
            return get(to); // the page's deadline runs on
    }
    deadline_.stop();

    YearOutcome outcome;
    outcome.year = years_[yearIndex_];
    outcome.error = pageError_.isEmpty() ? replyError(reply, options_.pageTimeoutMs) : pageError_;
    if (outcome.error.isEmpty()) {
        QString why;
        const QString text = pageInnerText(
            body_, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), &why);
        if (!why.isEmpty())
            outcome.error = why;
        else
            outcome.scan =
                scanResultsText(text, outcome.year, plan_.firstSequence(outcome.year), limit_);
        if (outcome.error.isEmpty() && isNotAResultsPage(text, outcome.scan)) {
            outcome.notAResultsPage = true;
            outcome.error = QStringLiteral("页面上既没有开奖号码，也没有开奖结果表");
            outcome.scan = {};
        }
    }
    body_.clear();
    found_ += int(outcome.scan.draws.size());
    report_.years.append(outcome);
    emit progress(outcome.year, found_);
    if (++yearIndex_ < years_.size())
        QTimer::singleShot(0, this, &OnlineUpdate::fetchYear);
    else
        QTimer::singleShot(0, this, &OnlineUpdate::storeAndFinish);
}

void OnlineUpdate::storeAndFinish() {
    if (cancelled_)
        return finish(UpdateReport::Outcome::Cancelled);
    if (report_.failedYears().size() == report_.years.size())
        return finish(UpdateReport::Outcome::Failed, QStringLiteral("没有一个开奖结果页面能读取"));
    const QVector<ScannedDraw> draws = drawsBeforeFirstGap(report_, plan_);
    if (draws.isEmpty())
        return finish(UpdateReport::Outcome::NothingNew);
    ZodiacYear zodiacYear;
    QString why;
    if (!applyUpdate(store_, plan_, draws, options_.bases, zodiacYear, &report_.cleared, &why,
                     &report_.copyFile))
        return finish(UpdateReport::Outcome::Failed, why);
    report_.appended = int(draws.size());
    report_.firstIssue = draws.first().issue;
    report_.lastIssue = draws.last().issue;
    finish(UpdateReport::Outcome::Updated);
}

void OnlineUpdate::finish(UpdateReport::Outcome outcome, const QString& error) {
    if (!running_)
        return;
    running_ = false;
    report_.outcome = outcome;
    report_.error = error;
    if (outcome != UpdateReport::Outcome::Updated) {
        report_.cleared = 0;
        report_.copyFile.clear();
    }
    emit finished(report_);
}

void OnlineUpdate::finishLater(UpdateReport::Outcome outcome, const QString& error) {
    QTimer::singleShot(0, this, [this, outcome, error] { finish(outcome, error); });
}

} // namespace quorvex

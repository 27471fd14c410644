#include "SearchGate.h"

#include "analysis/CombinationSearch.h"
#include "analysis/FollowMatching.h"
#include "analysis/FollowSearch.h"

namespace quorvex {

using Refused = SearchRefusal::Kind;

std::optional<RunContext> currentRunContext(const HistoryStore& store, const ValueBases& bases,
                                            ZodiacYear* zodiacYear, QString* error) {
    RunContext context;
    context.bases = bases;
    context.zodiacYear = zodiacYear;
    // A history that could not be opened reads as empty.
    context.emptyHistory = true;
    if (!store.isOpen())
        return context;
    const HistoryStore::ReadSnapshot pinned(store);
    context.readAt = store.version(error);
    const auto span = context.readAt ? store.span(error) : std::nullopt;
    if (!span)
        return std::nullopt;
    context.emptyHistory = span->empty;
    return context;
}

bool SearchGate::movedOn(const std::optional<HistoryStore::Version>& readAt) const {
    if (!store_.isOpen())
        return false;
    return store_.version() != readAt;
}

std::optional<HistoryFit> SearchGate::fit(const ValueBases& bases, QString* error) {
    const auto now = store_.version(error);
    if (!now)
        return std::nullopt;
    if (!fit_ || !(fit_->version == *now) || fit_->bases.sxIni != bases.sxIni ||
        fit_->bases.dsIni != bases.dsIni) {
        const auto fit = checkHistoryFit(store_, bases, error);
        if (!fit)
            return std::nullopt;
        fit_ = FitOf{*now, bases, *fit};
    }
    return fit_->fit;
}

SearchGate::~SearchGate() {
    if (fitCheck_) {
        fitCheck_->wait();
        delete fitCheck_;
    }
}

void SearchGate::checkFitBeside(const ValueBases& bases, QObject* receiver, const FitFound& found) {
    if (fitCheck_)
        return;
    struct Found {
        std::optional<HistoryStore::Version> version;
        std::optional<HistoryFit> fit;
    };
    auto result = std::make_shared<Found>();
    const QString folder = store_.folder();
    fitCheck_ = QThread::create([folder, bases, result] {
        HistoryStore store;
        if (!store.open(folder, nullptr, HistoryAccess::ReadOnly))
            return;
        const HistoryStore::ReadSnapshot pinned(store);
        result->version = store.version();
        if (result->version)
            result->fit = checkHistoryFit(store, bases, nullptr);
    });
    QObject::connect(fitCheck_, &QThread::finished, receiver, [this, result, found] {
        fitCheck_->deleteLater();
        fitCheck_ = nullptr;
        found(result->version, result->fit);
    });
    fitCheck_->start();
}

void SearchGate::noteFit(const HistoryStore::Version& version, const ValueBases& bases,
                         const HistoryFit& fit) {
    fit_ = FitOf{version, bases, fit};
}

std::optional<SearchRefusal> SearchGate::readOnce(const SearchRequest& request,
                                                  const QVector<int>& columns,
                                                  const RunContext& context) {
    QString error;
    // The check and the read in one read of the file.
    const HistoryStore::ReadSnapshot pinned(store_);
    if (movedOn(context.readAt))
        return SearchRefusal{Refused::MovedOn,
                             QStringLiteral("历史号码刚被改动（例如被另一个程序），请重新检索。")};
    // Names of one base must never be shown over values of another.
    const auto found = fit(context.bases, &error);
    if (!found)
        return SearchRefusal{Refused::Unreadable, error};
    if (found->misfitsKind(request.intLei) || found->misfitsKind(request.intXianshiLei))
        return SearchRefusal{Refused::Misfit, found->describe(context.bases)};
    if (!snapshot_.refresh(store_, columns, &error))
        return SearchRefusal{Refused::Unreadable, error};
    return std::nullopt;
}

std::optional<SearchRefusal> SearchGate::admit(const SearchRequest& request, int combinedPositions,
                                               const RunContext& context) {
    QString error;
    if (!context.notReady.isEmpty())
        return SearchRefusal{context.emptyHistory ? Refused::EmptyHistory : Refused::NoReference,
                             context.notReady};
    if (!validateRequest(request, &error) ||
        (combinedPositions != 0 && !validateCombinedPositions(combinedPositions, &error)))
        return SearchRefusal{Refused::BadRequest, error};
    return readOnce(request, searchColumns(request), context);
}

Gated<FollowResult> SearchGate::follow(const SearchRequest& request, const RunContext& context) {
    if (auto refused = admit(request, 0, context))
        return *refused;
    return followSearch(snapshot_, request, context.zodiacYear);
}

Gated<FollowResult> SearchGate::combination(const SearchRequest& request, int combinedPositions,
                                            const RunContext& context) {
    if (auto refused = admit(request, combinedPositions, context))
        return *refused;
    return combinationSearch(snapshot_, request, combinedPositions, context.zodiacYear);
}

Gated<BacktestResult>
SearchGate::backtest(BacktestRequest b, const BacktestRange& range, const RunContext& context,
                     const std::function<bool(qsizetype, qsizetype)>& progress) {
    if (context.emptyHistory)
        return SearchRefusal{Refused::EmptyHistory,
                             QStringLiteral("历史号码是空的，无法回测。请先输入或读入历史号码。")};
    QString error;
    if (!validateBacktest(b, &error))
        return SearchRefusal{b.search.bolManual ? Refused::NoReference : Refused::BadRequest,
                             error};
    if (auto refused = readOnce(b.search, backtestColumns(b), context))
        return *refused;
    const qsizetype rows = snapshot_.rows();
    b.lastIssue = range.to.value_or(snapshot_.issue(rows - 1));
    b.firstIssue = range.from.value_or(
        snapshot_.issue(std::max<qsizetype>(0, rows - std::max<qint64>(1, range.lastIssues))));
    if (!validateBacktestRange(b, &error))
        return SearchRefusal{Refused::BadRequest, error};
    auto result = runBacktest(snapshot_, b, progress);
    if (!result)
        return SearchRefusal{Refused::Cancelled, QStringLiteral("回测已取消。")};
    return std::move(*result);
}

Gated<TrendFigures> SearchGate::trend(int kind, const TrendRange& range,
                                      const RunContext& context) {
    const SearchRefusal empty{
        Refused::EmptyHistory,
        QStringLiteral("历史号码是空的，无法统计走势。请先输入或读入历史号码。")};
    if (context.emptyHistory)
        return empty;
    if (kind < 0 || kind >= kKindCount)
        return SearchRefusal{Refused::BadRequest, QStringLiteral("走势的类别须是 0 至 5。")};
    if (range.lastIssues && *range.lastIssues < 1)
        return SearchRefusal{Refused::BadRequest, QStringLiteral("走势的期数须至少是 1。")};
    if (range.from && range.to && *range.from > *range.to)
        return SearchRefusal{Refused::BadRequest,
                             QStringLiteral("走势的起始期号 %1 在截止期号 %2 之后。")
                                 .arg(*range.from)
                                 .arg(*range.to)};
    QString error;
    {
        // The check and the read in one read of the file; the trend is worked out after it.
        const HistoryStore::ReadSnapshot pinned(store_);
        if (movedOn(context.readAt))
            return SearchRefusal{Refused::MovedOn,
                                 QStringLiteral("历史号码刚被改动（例如被另一个程序），"
                                                "请重新统计走势。")};
        if (!snapshot_.refresh(store_, trendColumns(), &error))
            return SearchRefusal{Refused::Unreadable, error};
    }
    const qsizetype rows = snapshot_.rows();
    if (rows == 0)
        return empty;
    TrendRequest request;
    request.kind = kind;
    request.bases = context.bases;
    request.lastIssue = range.to.value_or(snapshot_.issue(rows - 1));
    request.firstIssue = range.from.value_or(
        range.lastIssues ? snapshot_.issue(std::max<qsizetype>(0, rows - *range.lastIssues))
                         : snapshot_.issue(0));
    const auto [first, last] = snapshot_.rowsBetween(request.firstIssue, request.lastIssue);
    if (first >= last)
        return SearchRefusal{Refused::BadRequest,
                             QStringLiteral("%1 至 %2 期之间没有开奖号码，无法统计走势。")
                                 .arg(request.firstIssue)
                                 .arg(request.lastIssue)};
    // The caller's zodiac years keep the cut-offs of the years met (asking changes no year).
    auto figures = trendFigures(snapshot_, request, &error, context.zodiacYear);
    if (!figures)
        return SearchRefusal{Refused::Unreadable, error};
    return std::move(*figures);
}

} // namespace quorvex

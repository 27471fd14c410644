#include "PendingSearch.h"

#include "ChanceBaseline.h"

namespace quorvex {

std::optional<qint64> issueFromBox(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().right(8).trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

bool validateRequest(const SearchRequest& r, QString* error) {
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (r.intLei < 0 || r.intLei >= kKindCount || r.intXianshiLei < 0 ||
        r.intXianshiLei >= kKindCount)
        return refuse(QStringLiteral("检索类型无效。"));
    if (!r.bolSq && (r.intPreQi < 1 || r.intPreQi > 9))
        return refuse(QStringLiteral("前N期的N必须是1到9之间的数字，当前为%1。").arg(r.intPreQi));
    if (r.startIssue > r.endIssue)
        return refuse(QStringLiteral("起始期号 %1 在截止期号 %2 之后，请改正检索起止期数。")
                          .arg(r.startIssue)
                          .arg(r.endIssue));
    if (r.bolManual) {
        const ValueRange range = kindRange(r.intLei, r.bases.sxIni, r.bases.dsIni);
        for (int i = 0; i < kPositions; ++i) {
            if (r.bolPosSel[i] && !range.contains(r.intRefVal[i]))
                return refuse(QStringLiteral("第%1位的参考值 %2 超出%3的范围（%4～%5）。")
                                  .arg(i + 1)
                                  .arg(r.intRefVal[i])
                                  .arg(kindCaption(r.intLei))
                                  .arg(range.lo)
                                  .arg(range.hi));
        }
    }
    return true;
}

PendingSearch::PendingSearch(HistoryStore& store)
    : store_(store), transaction_(store, HistoryStore::Writes::WorkingColumns) {}

PendingSearch::~PendingSearch() {
    // The mirror already holds the cells; as they never reached the file, it is read afresh.
    if (mirror_ && !written_)
        mirror_->invalidate();
}

std::unique_ptr<PendingSearch> PendingSearch::start(HistoryStore& store,
                                                    const SearchRequest& request,
                                                    const QVector<int>& columns,
                                                    const std::function<void(WorkingCells&)>& mark,
                                                    const Selection& selection, QString* error) {
    if (!validateRequest(request, error))
        return nullptr;
    if (!store.isOpen()) {
        if (error)
            *error = QStringLiteral("历史数据库没有打开。");
        return nullptr;
    }
    std::unique_ptr<PendingSearch> search(new PendingSearch(store));
    if (!search->transaction_.begun()) {
        if (error)
            *error = QStringLiteral("无法开始检索：%1").arg(search->transaction_.beginError());
        return nullptr;
    }
    // The reference values and the issue range were read from the history before this
    // transaction began; a history changed since would get an answer that fits neither.
    const auto changed = store.changedSinceView(error);
    if (!changed)
        return nullptr;
    if (*changed) {
        if (error)
            *error = QStringLiteral("检索开始前历史号码已被另一个程序改动，检索没有进行；"
                                    "请重新载入历史号码后再检索。");
        return nullptr;
    }
    // The grid lists the result kind and the draw each follow draw was matched through.
    QVector<int> wanted = columns;
    for (int p = 1; p <= kPositions; ++p)
        wanted << HistoryMirror::attribute(p, request.intXianshiLei);
    wanted << selection.column
           << (request.bolSq ? HistoryMirror::kTxtHisLst : HistoryMirror::kTxtHisPreLst);
    search->mirror_ = HistoryMirror::current(store, wanted, error);
    if (!search->mirror_)
        return nullptr;
    search->cells_ = std::make_unique<WorkingCells>(*search->mirror_);
    mark(*search->cells_);
    FollowResult& result = search->result_;
    result = ShowFollowResults(*search->mirror_, selection, request);
    const RangeStatistics range =
        rangeStatistics(*search->mirror_, request.startIssue, request.endIssue,
                        request.intXianshiLei, request.bases);
    result.rangeDraws = range.draws;
    result.baseline = compareWithChance(result.bars, result.followDraws, range);
    return search;
}

bool PendingSearch::write(QString* error) {
    if (written_) {
        if (error)
            *error = QStringLiteral("检索结果已经写入。");
        return false;
    }
    if (!cells_->write(store_, error) || !writeCarcu(store_, result_.bars, error) ||
        !transaction_.commit(error))
        return false;
    written_ = true;
    mirror_->committed(store_);
    return true;
}

namespace {

std::optional<FollowResult> written(std::unique_ptr<PendingSearch> search, QString* error) {
    if (!search || !search->write(error))
        return std::nullopt;
    return search->result();
}

} // namespace

std::optional<FollowResult> runFollowSearch(HistoryStore& store, const SearchRequest& request,
                                            QString* error) {
    return written(startFollowSearch(store, request, error), error);
}

std::optional<FollowResult> runCombinationSearch(HistoryStore& store, const SearchRequest& request,
                                                 int k, QString* error) {
    return written(startCombinationSearch(store, request, k, error), error);
}

} // namespace quorvex

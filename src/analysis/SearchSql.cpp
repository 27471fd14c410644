#include "SearchSql.h"

#include "ChanceBaseline.h"

#include <QSqlError>
#include <QSqlQuery>

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

QString freeToken(int kind, int value, int count, bool numberWithCount) {
    if (kind == Number && !numberWithCount)
        return kindValueText(kind, value);
    return QStringLiteral("%1X%2").arg(count).arg(kindValueText(kind, value));
}

bool execBound(HistoryStore& store, const QString& sql, const QVariantList& values,
               QString* error) {
    QSqlQuery q(store.database());
    if (!q.prepare(sql)) {
        if (error)
            *error = QStringLiteral("检索语句无效：%1").arg(store.errorText(q.lastError()));
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = store.isDamaged() || isDamageError(q.lastError())
                         ? store.errorText(q.lastError())
                         : QStringLiteral("检索失败：%1").arg(store.errorText(q.lastError()));
        return false;
    }
    return true;
}

std::optional<FollowResult>
runMarkedSearch(HistoryStore& store, const SearchRequest& request,
                const std::function<bool(DerivedColumns&, QString*)>& mark,
                const Selection& selection, QString* error) {
    if (!validateRequest(request, error))
        return std::nullopt;
    if (!store.isOpen()) {
        if (error)
            *error = QStringLiteral("历史数据库没有打开。");
        return std::nullopt;
    }
    DerivedColumns derived(store);
    HistoryStore::Transaction transaction(store, HistoryStore::Writes::WorkingColumns);
    if (!transaction.begun()) {
        if (error)
            *error = QStringLiteral("无法开始检索：%1").arg(transaction.beginError());
        return std::nullopt;
    }
    // The reference values and the issue range were read from the history before this
    // transaction began; a history changed since would get an answer that fits neither.
    const auto changed = store.changedSinceView(error);
    if (!changed)
        return std::nullopt;
    if (*changed) {
        if (error)
            *error = QStringLiteral("检索开始前历史号码已被另一个程序改动，检索没有进行；"
                                    "请重新载入历史号码后再检索。");
        return std::nullopt;
    }
    if (!mark(derived, error))
        return std::nullopt;
    auto result =
        ShowFollowResults(store, selection, request.startIssue, request.endIssue, request, error);
    if (!result)
        return std::nullopt;
    // Read in the same transaction, so the range is the one the follow draws came from.
    const auto range =
        rangeStatistics(store, derived.generation(), request.startIssue, request.endIssue,
                        request.intXianshiLei, request.bases, error);
    if (!range || !transaction.commit(error))
        return std::nullopt;
    result->rangeDraws = range->draws;
    result->baseline = compareWithChance(result->bars, result->followDraws, *range);
    derived.committed();
    return result;
}

QString tokenHits(const QString& column, qsizetype tokens) {
    if (tokens == 0)
        return QStringLiteral("0");
    // A token holds no wildcard, so the list holds it exactly when it is a substring.
    QStringList parts;
    for (qsizetype i = 0; i < tokens; ++i)
        parts << QStringLiteral("(instr(ifnull(%1,''), ?) > 0)").arg(column);
    return parts.join(QLatin1Char('+'));
}

QString equalityHits(const QStringList& columns) {
    if (columns.isEmpty())
        return QStringLiteral("0");
    QStringList parts;
    for (const QString& c : columns)
        parts << QStringLiteral("(%1 IS ?)").arg(c);
    return parts.join(QLatin1Char('+'));
}

bool setHitCounts(HistoryStore& store, const QString& hitExpression, const QVariantList& values,
                  QString* error) {
    // The expression appears twice: once to compare, once to write.
    return execBound(
        store,
        QStringLiteral("UPDATE Lishi SET intTh = %1 WHERE intTh IS NOT (%1)").arg(hitExpression),
        values + values, error);
}

namespace {

const QString kPre = QStringLiteral("txtHisPreLst");
const QString kRowMap = QStringLiteral("temp.quorvex_rows");

// What a lag derivation leaves in a column. The two rules for the lagged lists differ only on
// the first row when N = 1, where the follow-list rule gives it its own list and the
// comparison rule keeps what it had; otherwise the first row is never written.
QString lagKey(int lag) {
    return QStringLiteral("lag %1").arg(lag);
}
QString listKey(int n, bool ownFirstRow) {
    if (n >= 2)
        return lagKey(n);
    return ownFirstRow ? QStringLiteral("lag 1, own first") : QStringLiteral("lag 1, kept first");
}

// Row numbers in issue order, for lag lookups; rebuilt once the draws have changed.
bool ensureRowMap(HistoryStore& store, DerivedColumns& derived, QString* error) {
    if (derived.holds(kRowMap, QStringLiteral("current")))
        return true;
    if (!execBound(store,
                   QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS quorvex_rows "
                                  "(rn INTEGER PRIMARY KEY, q INTEGER NOT NULL UNIQUE)"),
                   {}, error) ||
        !execBound(store, QStringLiteral("DELETE FROM temp.quorvex_rows"), {}, error) ||
        !execBound(store,
                   QStringLiteral("INSERT INTO temp.quorvex_rows (q) "
                                  "SELECT SQQH FROM Lishi ORDER BY SQQH"),
                   {}, error))
        return false;
    derived.rewriting(kRowMap, QStringLiteral("current"));
    return true;
}

// Joins each row (alias a, its row number a.rn) to the row the lag before it (alias alias).
QString lagJoin(const QString& alias, int lag) {
    return QStringLiteral(" LEFT JOIN temp.quorvex_rows AS %1r ON %1r.rn = a.rn - %2"
                          " LEFT JOIN Lishi AS %1 ON %1.SQQH = %1r.q")
        .arg(alias)
        .arg(lag);
}

// One statement writing the given assignments where any of them changes a value.
bool writeDerived(HistoryStore& store, const QStringList& targets, const QStringList& values,
                  const QString& joins, QString* error) {
    QStringList setters, guards;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        setters << QStringLiteral("%1 = %2").arg(targets[i], values[i]);
        guards << QStringLiteral("Lishi.%1 IS NOT (%2)").arg(targets[i], values[i]);
    }
    return execBound(
        store,
        QStringLiteral("UPDATE Lishi SET %1 FROM temp.quorvex_rows AS a%2 "
                       "WHERE Lishi.SQQH = a.q AND (%3)")
            .arg(setters.join(QStringLiteral(", ")), joins, guards.join(QStringLiteral(" OR "))),
        {}, error);
}

} // namespace

bool deriveLaggedLists(HistoryStore& store, DerivedColumns& derived, int n, QString* error) {
    const QString key = listKey(n, true);
    QStringList targets, values;
    QStringList lists{QStringLiteral("txtHisLst")};
    for (int kind = 0; kind < kKindCount; ++kind)
        lists << codeColumn(kind);
    for (const QString& list : lists) {
        const QString target = QStringLiteral("txtHisPreLst") + list.mid(9);
        if (derived.holds(target, key))
            continue;
        targets << target;
        values << QStringLiteral("CASE WHEN a.rn >= %1 THEN l.%2 WHEN a.rn = 1 THEN Lishi.%3 "
                                 "ELSE '' END")
                      .arg(n)
                      .arg(list, target);
    }
    if (targets.isEmpty())
        return true;
    if (!ensureRowMap(store, derived, error) ||
        !writeDerived(store, targets, values, lagJoin(QStringLiteral("l"), n - 1), error))
        return false;
    for (const QString& target : targets)
        derived.rewriting(target, key);
    return true;
}

bool deriveComparisonColumns(HistoryStore& store, DerivedColumns& derived, bool lastDraw, int n,
                             QString* error) {
    const QChar suffix = lastDraw ? QLatin1Char('S') : QLatin1Char('P');
    const int lag = lastDraw ? 1 : n;
    QStringList targets, values;
    for (int p = 1; p <= kPositions; ++p) {
        for (int kind = 0; kind < kKindCount; ++kind) {
            const QString target = laggedColumn(p, kind, suffix);
            if (derived.holds(target, lagKey(lag)))
                continue;
            targets << target;
            values << QStringLiteral("ifnull(b.%1, 0)").arg(attributeColumn(p, kind));
        }
    }
    QString joins = lagJoin(QStringLiteral("b"), lag);
    // In 前N期 the match grid shows txtHisPreLst, so it is derived here too. The first row keeps
    // its text unless the other rule gave it its own list, which this rule keeps as well.
    const bool pre = !lastDraw && !derived.holds(kPre, listKey(n, false)) &&
                     !derived.holds(kPre, listKey(n, true));
    if (pre) {
        targets << kPre;
        values << QStringLiteral("CASE WHEN a.rn >= 2 AND a.rn >= %1 THEN l.txtHisLst "
                                 "WHEN a.rn = 1 THEN Lishi.txtHisPreLst ELSE '' END")
                      .arg(n);
        joins += lagJoin(QStringLiteral("l"), n - 1);
    }
    if (targets.isEmpty())
        return true;
    if (!ensureRowMap(store, derived, error) || !writeDerived(store, targets, values, joins, error))
        return false;
    for (const QString& target : targets)
        derived.rewriting(target, target == kPre ? listKey(n, false) : lagKey(lag));
    return true;
}

} // namespace quorvex

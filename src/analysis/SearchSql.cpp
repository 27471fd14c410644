#include "SearchSql.h"

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
    if (!issueFromBox(r.startIssueText))
        return refuse(QStringLiteral("起始期号“%1”不是数字。").arg(r.startIssueText));
    if (!issueFromBox(r.endIssueText))
        return refuse(QStringLiteral("截止期号“%1”不是数字。").arg(r.endIssueText));
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

QString freePattern(int kind, int value, int count, bool numberWithCount) {
    if (kind == Number && !numberWithCount)
        return QStringLiteral("*%1*").arg(kindValueText(kind, value));
    return QStringLiteral("*%1X%2*").arg(count).arg(kindValueText(kind, value));
}

bool execBound(HistoryStore& store, const QString& sql, const QVariantList& values,
               QString* error) {
    QSqlQuery q(store.database());
    if (!q.prepare(sql)) {
        if (error)
            *error = QStringLiteral("检索语句无效：%1").arg(q.lastError().text());
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = QStringLiteral("检索失败：%1").arg(q.lastError().text());
        return false;
    }
    return true;
}

QString patternHits(const QString& column, qsizetype patterns) {
    if (patterns == 0)
        return QStringLiteral("0");
    QStringList parts;
    for (qsizetype i = 0; i < patterns; ++i)
        parts << QStringLiteral("(ifnull(%1,'') GLOB ?)").arg(column);
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

// The lagged lists are derived alike by both lag rules except on the first row when N = 1;
// only N >= 2 is remembered, where the first row is never written.
QString listKey(int n) {
    return n >= 2 ? QStringLiteral("lag %1").arg(n) : QString();
}

} // namespace

bool deriveLaggedLists(HistoryStore& store, DerivedColumns& derived, int kind, int n,
                       QString* error) {
    const QString listColumn = preCodeColumn(kind);
    const QString key = listKey(n);
    if (derived.holds(listColumn, key) && derived.holds(kPre, key))
        return true;
    const QString sql =
        QStringLiteral(
            "WITH w AS (SELECT SQQH, ROW_NUMBER() OVER (ORDER BY SQQH) AS rn, "
            "  LAG(%1, %3) OVER (ORDER BY SQQH) AS lk, "
            "  LAG(txtHisLst, %3) OVER (ORDER BY SQQH) AS ll FROM Lishi), "
            "n AS (SELECT SQQH, "
            "  CASE WHEN rn >= %4 THEN lk WHEN rn = 1 THEN "
            "    (SELECT %2 FROM Lishi AS o WHERE o.SQQH = w.SQQH) ELSE '' END AS pk, "
            "  CASE WHEN rn >= %4 THEN ll WHEN rn = 1 THEN "
            "    (SELECT txtHisPreLst FROM Lishi AS o WHERE o.SQQH = w.SQQH) ELSE '' END AS pl "
            "  FROM w) "
            "UPDATE Lishi SET %2 = n.pk, txtHisPreLst = n.pl FROM n "
            "WHERE Lishi.SQQH = n.SQQH AND (Lishi.%2 IS NOT n.pk OR "
            "Lishi.txtHisPreLst IS NOT n.pl)")
            .arg(codeColumn(kind), listColumn)
            .arg(n - 1)
            .arg(n);
    if (!execBound(store, sql, {}, error))
        return false;
    derived.rewriting(listColumn, key);
    derived.rewriting(kPre, key);
    return true;
}

bool deriveComparisonColumns(HistoryStore& store, DerivedColumns& derived, int kind,
                             const QVector<int>& positions, bool lastDraw, int n, QString* error) {
    const QChar suffix = lastDraw ? QLatin1Char('S') : QLatin1Char('P');
    const int lag = lastDraw ? 1 : n;
    QStringList lagged{QStringLiteral("ROW_NUMBER() OVER (ORDER BY SQQH) AS rn")};
    QStringList carried{QStringLiteral("SQQH")}, setters, guards, written;
    const QString key = QStringLiteral("lag %1").arg(lag);
    for (int p : positions) {
        const QString target = laggedColumn(p, kind, suffix);
        if (derived.holds(target, key))
            continue;
        written << target;
        lagged << QStringLiteral("LAG(%1, %2, 0) OVER (ORDER BY SQQH) AS a%3")
                      .arg(attributeColumn(p, kind))
                      .arg(lag)
                      .arg(p);
        carried << QStringLiteral("a%1").arg(p);
        setters << QStringLiteral("%1 = n.a%2").arg(target).arg(p);
        guards << QStringLiteral("Lishi.%1 IS NOT n.a%2").arg(target).arg(p);
    }
    // In 前N期 the match grid shows txtHisPreLst, so it is derived even with no position ticked.
    const bool pre = !lastDraw && !derived.holds(kPre, listKey(n));
    if (pre) {
        lagged << QStringLiteral("LAG(txtHisLst, %1) OVER (ORDER BY SQQH) AS ll").arg(lag - 1);
        carried << QStringLiteral(
                       "CASE WHEN rn >= 2 AND rn >= %1 THEN ll WHEN rn = 1 THEN "
                       "(SELECT txtHisPreLst FROM Lishi AS o WHERE o.SQQH = w.SQQH) ELSE '' "
                       "END AS pl")
                       .arg(lag);
        setters << QStringLiteral("txtHisPreLst = n.pl");
        guards << QStringLiteral("Lishi.txtHisPreLst IS NOT n.pl");
    }
    if (setters.isEmpty())
        return true;
    const QString sql =
        QStringLiteral("WITH w AS (SELECT SQQH, %1 FROM Lishi), n AS (SELECT %2 FROM w) "
                       "UPDATE Lishi SET %3 FROM n WHERE Lishi.SQQH = n.SQQH AND (%4)")
            .arg(lagged.join(QStringLiteral(", ")), carried.join(QStringLiteral(", ")),
                 setters.join(QStringLiteral(", ")), guards.join(QStringLiteral(" OR ")));
    if (!execBound(store, sql, {}, error))
        return false;
    for (const QString& column : written)
        derived.rewriting(column, key);
    if (pre)
        derived.rewriting(kPre, listKey(n));
    return true;
}

} // namespace quorvex

#include "SqlSearchReference.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quorvex::test {

namespace {

bool exec(HistoryStore& store, const QString& sql, const QVariantList& values, QString* error) {
    QSqlQuery q(store.database());
    if (!q.prepare(sql)) {
        *error = q.lastError().text() + QStringLiteral(" in ") + sql;
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text() + QStringLiteral(" in ") + sql;
        return false;
    }
    return true;
}

QString token(int kind, int value, int count, bool numberWithCount) {
    if (kind == Number && !numberWithCount)
        return kindValueText(kind, value);
    return QStringLiteral("%1X%2").arg(count).arg(kindValueText(kind, value));
}

QString tokenHits(const QString& column, qsizetype tokens) {
    QStringList parts{QStringLiteral("0")};
    for (qsizetype i = 0; i < tokens; ++i)
        parts << QStringLiteral("(instr(ifnull(%1,''), ?) > 0)").arg(column);
    return parts.join(QLatin1Char('+'));
}

QString equalityHits(const QStringList& columns) {
    QStringList parts{QStringLiteral("0")};
    for (const QString& c : columns)
        parts << QStringLiteral("(%1 IS ?)").arg(c);
    return parts.join(QLatin1Char('+'));
}

// Row numbers in issue order, so a row can be joined to the row some draws before it.
bool rowMap(HistoryStore& store, QString* error) {
    return exec(store,
                QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ref_rows "
                               "(rn INTEGER PRIMARY KEY, q INTEGER NOT NULL UNIQUE)"),
                {}, error) &&
           exec(store, QStringLiteral("DELETE FROM temp.ref_rows"), {}, error) &&
           exec(
               store,
               QStringLiteral("INSERT INTO temp.ref_rows (q) SELECT SQQH FROM Lishi ORDER BY SQQH"),
               {}, error);
}

QString lagJoin(const QString& alias, int lag) {
    return QStringLiteral(" LEFT JOIN temp.ref_rows AS %1r ON %1r.rn = a.rn - %2"
                          " LEFT JOIN Lishi AS %1 ON %1.SQQH = %1r.q")
        .arg(alias)
        .arg(lag);
}

bool update(HistoryStore& store, const QStringList& targets, const QStringList& values,
            const QString& joins, QString* error) {
    QStringList setters;
    for (qsizetype i = 0; i < targets.size(); ++i)
        setters << QStringLiteral("%1 = %2").arg(targets[i], values[i]);
    return exec(
        store,
        QStringLiteral("UPDATE Lishi SET %1 FROM temp.ref_rows AS a%2 WHERE Lishi.SQQH = a.q")
            .arg(setters.join(QStringLiteral(", ")), joins),
        {}, error);
}

bool laggedLists(HistoryStore& store, int n, QString* error) {
    QStringList targets, values;
    QStringList lists{QStringLiteral("txtHisLst")};
    for (int kind = 0; kind < kKindCount; ++kind)
        lists << codeColumn(kind);
    for (const QString& list : lists) {
        const QString target = QStringLiteral("txtHisPreLst") + list.mid(9);
        targets << target;
        values << QStringLiteral("CASE WHEN a.rn >= %1 THEN l.%2 WHEN a.rn = 1 THEN Lishi.%3 "
                                 "ELSE '' END")
                      .arg(n)
                      .arg(list, target);
    }
    return update(store, targets, values, lagJoin(QStringLiteral("l"), n - 1), error);
}

bool comparisonColumns(HistoryStore& store, bool lastDraw, int n, QString* error) {
    const QChar suffix = lastDraw ? QLatin1Char('S') : QLatin1Char('P');
    QStringList targets, values;
    for (int p = 1; p <= kPositions; ++p) {
        for (int kind = 0; kind < kKindCount; ++kind) {
            targets << laggedColumn(p, kind, suffix);
            values << QStringLiteral("ifnull(b.%1, 0)").arg(attributeColumn(p, kind));
        }
    }
    QString joins = lagJoin(QStringLiteral("b"), lastDraw ? 1 : n);
    if (!lastDraw) {
        targets << QStringLiteral("txtHisPreLst");
        values << QStringLiteral("CASE WHEN a.rn >= 2 AND a.rn >= %1 THEN l.txtHisLst "
                                 "WHEN a.rn = 1 THEN Lishi.txtHisPreLst ELSE '' END")
                      .arg(n);
        joins += lagJoin(QStringLiteral("l"), n - 1);
    }
    return update(store, targets, values, joins, error);
}

// Marks the rows of a follow search; the selection is intTh = ticked positions.
bool markFollow(HistoryStore& store, const SearchRequest& r, QString* selection, QString* error) {
    QVariantList values;
    QString hits;
    QStringList columns;
    std::array<int, 16> counters{};
    for (int i = 1; i <= kPositions; ++i) {
        if (!r.bolPosSel[i - 1])
            continue;
        const int v = r.intRefVal[i - 1];
        if (r.bolZyw) {
            int count = 0;
            if (r.intLei != Number && counterRange(r.intLei).contains(v))
                count = ++counters[v];
            values << token(r.intLei, v, count, false);
        } else {
            columns << laggedColumn(i, r.intLei, r.bolSq ? QLatin1Char('S') : QLatin1Char('P'));
            values << v;
        }
    }
    *selection = QStringLiteral("intTh = %1").arg(values.size());
    if (r.bolZyw) {
        if (!r.bolSq && !laggedLists(store, r.intPreQi, error))
            return false;
        hits = tokenHits(r.bolSq ? codeColumn(r.intLei) : preCodeColumn(r.intLei), values.size());
    } else {
        if (!comparisonColumns(store, r.bolSq, r.intPreQi, error))
            return false;
        hits = equalityHits(columns);
    }
    return exec(store, QStringLiteral("UPDATE Lishi SET intTh = %1").arg(hits), values, error);
}

// Marks the rows of a combination search of k positions; the selection is bolOk = 1.
bool markCombination(HistoryStore& store, const SearchRequest& r, int k, QString* error) {
    QVariantList all, last;
    QString allHits, lastHits, copy;
    if (r.bolZyw) {
        if (!r.bolSq && !laggedLists(store, r.intPreQi, error))
            return false;
        copy = r.bolSq ? codeColumn(r.intLei) : preCodeColumn(r.intLei);
        std::array<int, 16> counters{}, groupCounts{};
        for (int p = 1; p <= kPositions; ++p) {
            const int v = r.intRefVal[p - 1];
            if (counterRange(r.intLei).contains(v))
                all << token(r.intLei, v, ++counters[v], true);
            if (p > kPositions - k && counterRange(r.intLei).contains(v))
                ++groupCounts[v];
        }
        for (int p = kPositions - k + 1; p <= kPositions; ++p) {
            const int v = r.intRefVal[p - 1];
            if (counterRange(r.intLei).contains(v))
                last << token(r.intLei, v, groupCounts[v], true);
        }
        allHits = tokenHits(copy, all.size());
        lastHits = tokenHits(copy, last.size());
    } else {
        if (!comparisonColumns(store, r.bolSq, r.intPreQi, error))
            return false;
        QStringList allColumns, lastColumns;
        for (int p = 1; p <= kPositions; ++p) {
            const QString c =
                laggedColumn(p, r.intLei, r.bolSq ? QLatin1Char('S') : QLatin1Char('P'));
            allColumns << c;
            all << r.intRefVal[p - 1];
            if (p > kPositions - k) {
                lastColumns << c;
                last << r.intRefVal[p - 1];
            }
        }
        allHits = equalityHits(allColumns);
        lastHits = equalityHits(lastColumns);
    }
    QString sql = QStringLiteral("UPDATE Lishi SET bolOk = ((%1) >= %2), intTh = %3")
                      .arg(allHits)
                      .arg(k)
                      .arg(lastHits);
    if (!copy.isEmpty())
        sql += QStringLiteral(", txtHisP6 = %1").arg(copy);
    return exec(store, sql, all + last, error);
}

} // namespace

bool referenceSearch(HistoryStore& store, const SearchRequest& r, int k, QString* error) {
    QString selection = QStringLiteral("bolOk = 1");
    if (!rowMap(store, error) ||
        !(k == 0 ? markFollow(store, r, &selection, error) : markCombination(store, r, k, error)))
        return false;
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    QVector<qint64> counts(values.count(), 0);
    QSqlQuery q(store.database());
    for (int i = 1; i <= kPositions; ++i) {
        // NULL reads as 0, as the grids read it.
        q.prepare(QStringLiteral("SELECT ifnull(%1, 0), count(*) FROM Lishi WHERE SQQH >= ? AND "
                                 "SQQH <= ? AND %2 GROUP BY 1")
                      .arg(attributeColumn(i, r.intXianshiLei), selection));
        q.addBindValue(r.startIssue);
        q.addBindValue(r.endIssue);
        if (!q.exec()) {
            *error = q.lastError().text();
            return false;
        }
        while (q.next())
            if (values.contains(q.value(0).toInt()))
                counts[q.value(0).toInt() - values.lo] += q.value(1).toLongLong();
    }
    if (!exec(store, QStringLiteral("DELETE FROM Carcu"), {}, error))
        return false;
    for (int v = values.lo; v <= values.hi; ++v)
        if (!exec(store, QStringLiteral("INSERT INTO Carcu (Nmb, Count) VALUES (?, ?)"),
                  {v, counts[v - values.lo]}, error))
            return false;
    return true;
}

} // namespace quorvex::test

#include "TestHistory.h"

#include <QSettings>
#include <QSqlQuery>
#include <QtTest>

namespace quorvex::test {

void isolateSettings(const QString& folder) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

TempHistory::TempHistory() {
    QString error;
    if (!store_.open(dir_.path(), &error))
        qFatal("cannot open a test history: %s", qPrintable(error));
}

void TempHistory::append(qint64 issue, const Numbers& numbers, const ValueBases& bases) {
    ZodiacYear zodiac;
    QString error;
    std::optional<DrawAttributes> previous;
    if (const auto last = store_.lastDraw())
        previous = last->attributes;
    if (!store_.AppendDraw(issue, numbers, issue, previous, bases, zodiac, &error))
        qFatal("append failed: %s", qPrintable(error));
}

void TempHistory::appendMany(qint64 firstIssue, const QVector<Numbers>& draws,
                             const ValueBases& bases) {
    for (qsizetype i = 0; i < draws.size(); ++i)
        append(firstIssue + i, draws[i], bases);
}

QString TempHistory::text(qint64 issue, const QString& column) {
    QSqlQuery q(store_.database());
    q.prepare(QStringLiteral("SELECT %1 FROM Lishi WHERE SQQH = ?").arg(column));
    q.addBindValue(issue);
    if (!q.exec() || !q.next())
        qFatal("no row %lld", issue);
    return q.value(0).toString();
}

int TempHistory::integer(qint64 issue, const QString& column) {
    return text(issue, column).toInt();
}

} // namespace quorvex::test

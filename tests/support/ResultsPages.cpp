#include "ResultsPages.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>

namespace quorvex::test {

QByteArray fixture(const QString& fileName) {
    QFile f(QStringLiteral(QUORVEX_FIXTURE_DIR "/") + fileName);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(fileName));
    return f.readAll();
}

QMap<qint64, Numbers> drawsInText(const QString& text) {
    static const QRegularExpression row(
        QStringLiteral("(\\d{7})[\\t ].{11}[\\t ](\\d\\d)[\\t ](\\d\\d)[\\t ](\\d\\d)[\\t ](\\d\\d)"
                       "[\\t ](\\d\\d)"));
    QMap<qint64, Numbers> out;
    auto it = row.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        Numbers n{};
        for (int i = 0; i < kPositions; ++i)
            n[i] = m.captured(i + 2).toInt();
        out.insert(m.captured(1).toLongLong(), n);
    }
    return out;
}

Numbers listPageDraw(int year, int sequence, int seed) {
    // Five distinct numbers from a step through 1..15 that depends on all three.
    const int start = (year * 7 + sequence * 3 + seed) % 15;
    const int step = 1 + (year + sequence + seed) % 2 * 3; // 1 or 4, both coprime to 15
    Numbers n{};
    for (int i = 0; i < kPositions; ++i)
        n[i] = (start + i * step) % 15 + 1;
    return n;
}

QByteArray listPage(int year, int first, int last, int seed, const QMap<int, QString>& changed) {
    static const char* const weekdays[] = {"一", "二", "三", "四", "五", "六", "日"};
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                  "<title>%1</title><script>var x = \"%1001\";</script></head>"
                                  "<body><h2>%1 年开奖号码</h2>\n<ol class=\"draws\">\n")
                       .arg(year);
    for (int s = first; s <= last; ++s) {
        const QDate d = QDate(year, 1, 1).addDays(s - 1);
        QStringList numbers;
        for (int n : listPageDraw(year, s, seed))
            numbers << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        if (changed.contains(s)) {
            if (changed[s].isNull())
                continue;
            numbers = changed[s].split(QLatin1Char(' '));
        }
        QString balls;
        for (const QString& n : numbers)
            balls += QStringLiteral("<i>%1</i> ").arg(n);
        html += QStringLiteral("  <li><span class=\"qh\">%1%2</span>\n"
                               "      <span class=\"rq\">%3 周%4</span>\n"
                               "      <span class=\"hm\">%5</span></li>\n")
                    .arg(year)
                    .arg(s, 3, 10, QLatin1Char('0'))
                    .arg(d.toString(QStringLiteral("yy-MM-dd")))
                    .arg(QString::fromUtf8(weekdays[d.dayOfWeek() - 1]))
                    .arg(balls.trimmed());
    }
    html += QStringLiteral("</ol></body></html>\n");
    return html.toUtf8();
}

} // namespace quorvex::test

#include "ZodiacTables.h"

#include <QStringList>

namespace quorvex {

namespace {
constexpr int kFirstCutoffYear = 2001;
constexpr std::array<int, 20> kCutoffs = {24, 43, 32, 22, 40, 29, 49, 38, 26, 45,
                                          34, 23, 41, 31, 50, 39, 28, 37, 36, 25};

int mod12(int v) {
    return ((v % 12) + 12) % 12;
}

QString twoDigits(int n) {
    if (n < 0)
        return QStringLiteral("-%1").arg(-n, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

int intSxCutoff(int year) {
    const int i = year - kFirstCutoffYear;
    if (i < 0 || i >= int(kCutoffs.size()))
        return 0;
    return kCutoffs[i];
}

QString strSxNumbers(int k) {
    QStringList items;
    for (int n = k + 1; n <= 49; n += 12)
        items << twoDigits(n);
    return items.join(QStringLiteral("、"));
}

QString strSxName(int k) {
    static const std::array<const char*, 12> names = {"鼠", "牛", "虎", "兔", "龙", "蛇",
                                                      "马", "羊", "猴", "鸡", "狗", "猪"};
    if (k < 0 || k >= 12)
        return {};
    return QString::fromUtf8(names[k]);
}

int zodiacYearOfIssue(qint64 issue) {
    int year = int(issue / 1000);
    const int seq = int(issue % 1000);
    const int cutoff = intSxCutoff(year);
    if (cutoff > 0 && seq <= cutoff)
        --year;
    return year;
}

int zodiacYearFromIssueText(const QString& text, const QDate& today) {
    const QString t = text.trimmed();
    bool ok = false;
    int year = t.left(4).toInt(&ok);
    if (t.isEmpty() || !ok || year == 0)
        year = today.year();
    bool seqOk = false;
    const int seq = t.right(3).toInt(&seqOk);
    const int cutoff = intSxCutoff(year);
    if (seqOk && cutoff > 0 && seq <= cutoff)
        --year;
    return year;
}

void ZodiacYear::setYear(int year) {
    year_ = year;
    for (int k = 0; k < 12; ++k)
        lists_[k] = strSxNumbers(mod12(year - 1972 - k));
    for (int n = 0; n < int(zodiacs_.size()); ++n) {
        const QString needle = twoDigits(n);
        int k = 0;
        while (k <= 10 && !lists_[k].contains(needle))
            ++k;
        zodiacs_[n] = qint8(k);
    }
}

} // namespace quorvex

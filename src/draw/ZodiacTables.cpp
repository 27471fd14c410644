#include "ZodiacTables.h"

#include <QStringList>

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <unicode/uversion.h>

#include <algorithm>
#include <memory>

namespace quorvex {

namespace {
// The day of the year of the lunar new year of 1901..2099 as the published calendar has it:
// reckoning it with ICU costs tens of microseconds a year, and an import or a search meets many
// years. ICU agrees but for 1954, 2027 and 2030, where the new moon of the first month falls
// within minutes of midnight in China and its short series puts the new year a day off.
constexpr int kFirstPublishedYear = 1901;
constexpr std::array<quint8, 199> kPublishedNewYearDays = {
    50, 39, 29, 47, 35, 25, 44, 33, 22, 41, 30, 49, 37, 26, 45, 34, 23, 42, 32, 51, 39, 28, 47,
    36, 24, 44, 33, 23, 41, 30, 48, 37, 26, 45, 35, 24, 42, 31, 50, 39, 27, 46, 36, 25, 44, 33,
    22, 41, 29, 48, 37, 27, 45, 34, 24, 43, 31, 49, 39, 28, 46, 36, 25, 44, 33, 21, 40, 30, 48,
    37, 27, 46, 34, 23, 42, 31, 49, 38, 28, 47, 36, 25, 44, 33, 51, 40, 29, 48, 37, 27, 46, 35,
    23, 41, 31, 50, 38, 28, 47, 36, 24, 43, 32, 22, 40, 29, 49, 38, 26, 45, 34, 23, 41, 31, 50,
    39, 28, 47, 36, 25, 43, 32, 22, 41, 29, 48, 37, 26, 44, 34, 23, 42, 31, 50, 39, 28, 46, 35,
    24, 43, 32, 22, 41, 30, 48, 37, 26, 45, 33, 23, 42, 32, 50, 39, 28, 46, 35, 24, 43, 33, 21,
    40, 29, 48, 36, 26, 45, 34, 23, 42, 31, 50, 38, 27, 46, 36, 24, 43, 33, 22, 40, 29, 48, 37,
    26, 45, 34, 24, 41, 30, 49, 38, 27, 46, 36, 25, 43, 32, 21};

// Issues have seven digits: their years are 1000..9999.
constexpr int kFirstIssueYear = 1000;
constexpr int kLastIssueYear = 9999;

// The issues of a year up to its cut-off still belong to the year before.
int zodiacYearAt(qint64 issue, int cutoff) {
    const int year = int(issue / 1000);
    return cutoff > 0 && int(issue % 1000) <= cutoff ? year - 1 : year;
}

int mod12(int v) {
    return ((v % 12) + 12) % 12;
}

QString twoDigits(int n) {
    if (n < 0)
        return QStringLiteral("-%1").arg(-n, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

int lunarNewYearDay(int year) {
    const std::size_t published = std::size_t(year - kFirstPublishedYear);
    if (year >= kFirstPublishedYear && published < kPublishedNewYearDays.size())
        return kPublishedNewYearDays[published];
    return reckonedNewYearDay(year);
}

int reckonedNewYearDay(int year) {
    // The first day of the first (not leap) month of the Chinese year that begins in the
    // Gregorian year, read as a Gregorian day of the year. Both calendars count days in GMT, so
    // the day ICU works out for China is the day read back.
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> chinese(icu::Calendar::createInstance(
        icu::TimeZone::getGMT()->clone(), icu::Locale("en@calendar=chinese"), status));
    if (U_FAILURE(status) || !chinese)
        return 0;
    chinese->clear();
    // ICU's extended Chinese year 2637 + Y begins in the Gregorian year Y.
    chinese->set(UCAL_EXTENDED_YEAR, year + 2637);
    chinese->set(UCAL_MONTH, 0);
    chinese->set(UCAL_IS_LEAP_MONTH, 0);
    chinese->set(UCAL_DATE, 1);
    const UDate at = chinese->getTime(status);
    icu::GregorianCalendar gregorian(icu::TimeZone::getGMT()->clone(), status);
    if (U_FAILURE(status))
        return 0;
    gregorian.setTime(at, status);
    const int gregorianYear = gregorian.get(UCAL_YEAR, status);
    const int day = gregorian.get(UCAL_DAY_OF_YEAR, status);
    if (U_FAILURE(status) || gregorianYear != year)
        return 0;
    return day;
}

int intSxCutoff(int year) {
    if (year < kFirstIssueYear || year > kLastIssueYear)
        return 0;
    return lunarNewYearDay(year);
}

QString cutoffReckonerVersion() {
    UVersionInfo version;
    u_getVersion(version);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(version, text);
    return QString::fromLatin1(text);
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

int zodiacCycle(int year) {
    return mod12(year);
}

int zodiacYearOfIssue(qint64 issue) {
    return zodiacYearAt(issue, intSxCutoff(int(issue / 1000)));
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

int ZodiacYear::yearOfIssue(qint64 issue) {
    const int year = int(issue / 1000);
    // Issues mostly come in order: the year asked is the one asked last.
    if (lastCutoff_ < cutoffs_.size() && cutoffs_[lastCutoff_].first == year)
        return zodiacYearAt(issue, cutoffs_[lastCutoff_].second);
    const auto known = std::find_if(cutoffs_.begin(), cutoffs_.end(),
                                    [year](const auto& c) { return c.first == year; });
    lastCutoff_ = std::size_t(known - cutoffs_.begin());
    if (known == cutoffs_.end())
        cutoffs_.emplace_back(year, intSxCutoff(year));
    return zodiacYearAt(issue, cutoffs_[lastCutoff_].second);
}

int ZodiacYear::followIssue(qint64 issue) {
    const int year = yearOfIssue(issue);
    if (year != year_)
        setYear(year);
    return year;
}

void ZodiacYear::setYear(int year) {
    // Everything here turns with the year modulo 12: the twelve lists are made once, and a
    // search that meets hundreds of zodiac years only rotates them.
    static const std::array<QString, 12> kLists = [] {
        std::array<QString, 12> lists;
        for (int k = 0; k < 12; ++k)
            lists[k] = strSxNumbers(k);
        return lists;
    }();
    year_ = year;
    for (int k = 0; k < 12; ++k)
        lists_[k] = kLists[mod12(year - 1972 - k)];
    // List k holds the numbers n of 1..49 with n - 1 = year - 1972 - k (mod 12); 00 is in none.
    zodiacs_[0] = 11;
    for (int n = 1; n < int(zodiacs_.size()); ++n)
        zodiacs_[n] = qint8(std::min(mod12(year - 1972 - (n - 1)), 11));
}

} // namespace quorvex

#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <vector>

namespace quorvex {

// The day of the year (1..366) of the lunar new year of a Gregorian year: the published calendar
// for 1901..2099, ICU's Chinese calendar for any other year; 0 when it cannot be worked out.
int lunarNewYearDay(int year);
// The same reckoned by ICU whatever the published calendar says. Tens of microseconds a call.
int reckonedNewYearDay(int year);

// The highest sequence number of year Y that still belongs to the previous zodiac year: the day
// of the year of its lunar new year, for the years of seven-digit issues (1000..9999); 0 (no
// cut-off) for any other year.
int intSxCutoff(int year);

// The version of the ICU that reckons the cut-offs of the years outside the published calendar:
// another version may put a new year a day off.
QString cutoffReckonerVersion();

// strSxNumbers(k): the two-digit numbers 01..49 congruent to k + 1 modulo 12, joined by "、".
QString strSxNumbers(int k);

// strSxName(k): 鼠 牛 虎 兔 龙 蛇 马 羊 猴 鸡 狗 猪.
QString strSxName(int k);

// A zodiac year's place in the twelve-year cycle (0..11): all that its number lists, and so the
// zodiac of each number, depend on.
int zodiacCycle(int year);

// Zodiac year of an issue: its year, minus one up to the year's cut-off.
int zodiacYearOfIssue(qint64 issue);

// Zodiac year shown at start-up for the next-issue text: the first four characters, or the
// current year when they are not a number; then the cut-off applies to the last three.
int zodiacYearFromIssueText(const QString& text, const QDate& today);

// The number lists of one zodiac year, and the zodiac of a drawn number in that year.
class ZodiacYear {
public:
    explicit ZodiacYear(int year = 2000) { setYear(year); }

    void setYear(int year);
    void setFromIssue(qint64 issue) { setYear(yearOfIssue(issue)); }
    // Sets the zodiac year of an issue, rebuilding the lists only when it changes (draws come in
    // issue order), and returns it.
    int followIssue(qint64 issue);
    // zodiacYearOfIssue, with the cut-off of each year worked out once.
    int yearOfIssue(qint64 issue);

    int lngSxYear() const { return year_; }
    const std::array<QString, 12>& strYearSxNumbers() const { return lists_; }

    // Zodiac index k (0 = 鼠 .. 11 = 猪): the first of lists 0..10 holding the number's
    // two-digit form, else 11. Looked up in a table made with the lists: derivation asks this
    // for every number of every draw.
    int zodiacOf(int number) const {
        return number >= 0 && number < int(zodiacs_.size()) ? zodiacs_[number] : 11;
    }

private:
    int year_ = 0;
    std::array<QString, 12> lists_;
    std::array<qint8, 50> zodiacs_{};          // the lists hold 01..49 only
    std::vector<std::pair<int, int>> cutoffs_; // (year, cut-off) of the years met
    std::size_t lastCutoff_ = 0;               // the one asked last
};

} // namespace quorvex

#include "ManualEntry.h"

#include <QStringList>

#include <algorithm>

namespace quorvex {

namespace {
constexpr QChar kPrompt = QLatin1Char('_');
}

bool entryBoxComplete(const QString& displayText) {
    return displayText.size() >= 2 && displayText.at(1) != kPrompt;
}

std::optional<QString> oneDigitEntry(const QString& displayText) {
    QString digits = displayText;
    digits.remove(kPrompt);
    digits = digits.trimmed();
    if (digits.size() != 1 || !digits.at(0).isDigit())
        return std::nullopt;
    return QLatin1Char('0') + digits;
}

int enteredNumber(const QString& displayText) {
    QString digits = displayText;
    digits.remove(kPrompt);
    return digits.trimmed().toInt(); // 0 when nothing was typed
}

Numbers enteredNumbers(const std::array<QString, kPositions>& displayTexts) {
    Numbers numbers{};
    for (int i = 0; i < kPositions; ++i)
        numbers[i] = enteredNumber(displayTexts[i]);
    return numbers;
}

std::optional<EntryRefusal> entryRefusal(const Numbers& numbers) {
    const QVector<DrawFault> faults = drawFaults(numbers);
    if (faults.isEmpty())
        return std::nullopt;
    QStringList problems;
    QList<int> boxes;
    for (const DrawFault& f : faults) {
        if (f.kind == DrawFault::OutOfRange) {
            problems << QStringLiteral("第%1码 %2 不在 1 到 15 之间").arg(f.position).arg(f.number);
            boxes << f.position;
        } else {
            problems << QStringLiteral("第%1码和第%2码相同（都是 %3）")
                            .arg(f.earlierPosition)
                            .arg(f.position)
                            .arg(f.number);
            boxes << f.earlierPosition << f.position;
        }
    }
    std::sort(boxes.begin(), boxes.end());
    boxes.erase(std::unique(boxes.begin(), boxes.end()), boxes.end());
    QStringList named;
    for (int b : boxes)
        named << QStringLiteral("第%1码").arg(b);
    // One repeat: either box may be the one mistyped.
    const bool oneRepeat = faults.size() == 1 && faults.first().kind == DrawFault::Repeated;
    const QString correct = named.join(oneRepeat ? QStringLiteral("或") : QStringLiteral("、"));
    return EntryRefusal{
        QStringLiteral("这组号码没有保存：%1。\n一期开奖是 1 到 15 中五个不同的号码，"
                       "请改正%2，改好即保存。")
            .arg(problems.join(QStringLiteral("；")), correct),
        faults.first().position};
}

} // namespace quorvex

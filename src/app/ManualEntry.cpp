#include "ManualEntry.h"

#include <QStringList>

namespace quorvex {

namespace {
constexpr QChar kPrompt = QLatin1Char('_');
}

bool entryBoxComplete(const QString& displayText) {
    return displayText.size() >= 2 && displayText.at(1) != kPrompt;
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

QString enteredDrawProblem(const Numbers& numbers) {
    QStringList problems;
    for (const DrawFault& f : drawFaults(numbers)) {
        if (f.kind == DrawFault::OutOfRange)
            problems << QStringLiteral("第%1码 %2 不在 1 到 15 之间").arg(f.position).arg(f.number);
        else
            problems << QStringLiteral("第%1码与第%2码都是 %3")
                            .arg(f.earlierPosition)
                            .arg(f.position)
                            .arg(f.number);
    }
    if (problems.isEmpty())
        return {};
    return QStringLiteral("这组号码没有保存：%1。\n一期开奖是 1 到 15 中五个不同的号码，请改正后"
                          "重新输入第5码。")
        .arg(problems.join(QStringLiteral("；")));
}

} // namespace quorvex

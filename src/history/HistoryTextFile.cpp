#include "HistoryTextFile.h"

#include "HistoryLine.h"

#include "history/DurableFile.h"

namespace quorvex {

QByteArray historyText(const QVector<DrawNumbers>& draws) {
    QString text;
    text.reserve(draws.size() * 25);
    for (const DrawNumbers& d : draws)
        text += historyLine(d.issue, d.numbers) + historyLineEnd();
    return text.toLatin1();
}

bool writeHistoryTextFile(const QString& path, const QVector<DrawNumbers>& draws, QString* error) {
    for (const DrawNumbers& d : draws)
        if (!historyLineCarries(d.issue)) {
            if (error)
                *error =
                    QStringLiteral("第 %1 期的期号不是七位以内的正整数，写成历史号码行后读不回来")
                        .arg(d.issue);
            return false;
        }
    return writeFileDurably(path, historyText(draws), error);
}

} // namespace quorvex

#include "HistoryTextFile.h"

#include "draw/HistoryLine.h"

#include "DurableFile.h"

namespace quorvex {

QByteArray historyText(const QVector<DrawNumbers>& draws) {
    QByteArray text;
    text.reserve(draws.size() * 25);
    for (const DrawNumbers& d : draws) {
        if (!historyLineCarries(d.issue)) {
            text += (historyLine(d.issue, d.numbers) + historyLineEnd()).toLatin1();
            continue;
        }
        // historyLine's bytes without a QString a line: a rebuild writes every draw so.
        char issue[8];
        qint64 v = d.issue;
        for (int i = 6; i >= 0; --i, v /= 10)
            issue[i] = char('0' + v % 10);
        issue[7] = ' ';
        text.append(issue, 8);
        text.append(numberListText(d.numbers).bytes());
        text.append("\r\n", 2);
    }
    return text;
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

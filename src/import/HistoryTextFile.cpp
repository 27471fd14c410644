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
    return writeFileDurably(path, historyText(draws), error);
}

} // namespace quorvex

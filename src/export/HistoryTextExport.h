#pragma once

#include "store/HistoryStore.h"

#include <QString>

#include <optional>

namespace quorvex {

// "更新至" & last issue & "期历史号码.txt": named after its last draw, so an export replaces an
// earlier one only while the history has not grown.
QString historyTextFileName(qint64 lastIssue);

// Command4: the whole history as history text lines, to file, or when file is empty to
// historyTextFileName in folder. Returns the path written; nothing and a message for the user
// when the history is empty or cannot be read, or the file must not (ExportTarget) or cannot
// be written (an older file of that name then stays as it was).
std::optional<QString> exportHistoryText(const HistoryStore& store, const QString& folder,
                                         QString* error, const QString& file = QString());

} // namespace quorvex

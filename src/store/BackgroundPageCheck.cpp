#include "BackgroundPageCheck.h"

#include "HistoryFileAccess.h"

#include <QFile>

#include <sqlite3.h>

namespace quorvex {

namespace {

PageCheckFindings checkPages(const QByteArray& path) {
    PageCheckFindings found;
    sqlite3* db = nullptr;
    sqlite3_stmt* check = nullptr;
    auto fail = [&](int code) {
        // As the Qt driver reports an error, so that the damage and busy tests read it alike.
        const int extended = db ? sqlite3_extended_errcode(db) : code;
        found.failure =
            QSqlError(QString(), QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code)),
                      QSqlError::StatementError, QString::number(extended));
    };
    int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kHistoryBusyTimeoutMs);
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(5)", -1, &check, nullptr);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(check);
        if (rc != SQLITE_ROW)
            break;
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        if (line && qstrcmp(line, "ok") != 0)
            found.problems << QString::fromUtf8(line);
    }
    if (rc != SQLITE_DONE)
        fail(rc);
    sqlite3_finalize(check);
    sqlite3_close(db);
    return found;
}

} // namespace

BackgroundPageCheck::BackgroundPageCheck(const QString& path)
    : findings_(std::async(std::launch::async, checkPages, QFile::encodeName(path))) {}

} // namespace quorvex

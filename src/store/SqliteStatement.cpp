#include "SqliteStatement.h"

#include "HistoryFileAccess.h"

#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <array>

namespace quorvex {

namespace {

// The first bytes of the file's header, read through SQLite's own handle of the file.
std::optional<std::array<unsigned char, 28>> fileHeader(const HistoryConnection& store) {
    sqlite3* db = sqliteHandle(store);
    sqlite3_file* file = nullptr;
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return std::nullopt;
    std::array<unsigned char, 28> head{};
    if (file->pMethods->xRead(file, head.data(), int(head.size()), 0) != SQLITE_OK)
        return std::nullopt;
    return head;
}

} // namespace

std::optional<quint32> fileChangeCounter(const HistoryConnection& store) {
    const auto head = fileHeader(store);
    // The file format's write and read versions: 1 for a rollback journal, 2 for write-ahead.
    if (!head || (*head)[18] != 1 || (*head)[19] != 1)
        return std::nullopt;
    return quint32((*head)[24]) << 24 | quint32((*head)[25]) << 16 | quint32((*head)[26]) << 8 |
           quint32((*head)[27]);
}

bool takeSharedLock(const HistoryConnection& store) {
    SqliteStatement lock(store);
    if (!lock.prepare(QStringLiteral("SELECT 1 FROM sqlite_master LIMIT 1")))
        return false;
    lock.next();
    return !lock.lastError().isValid();
}

bool fileInWriteAheadMode(const HistoryConnection& store) {
    const auto head = fileHeader(store);
    return head && ((*head)[18] == 2 || (*head)[19] == 2);
}

sqlite3* sqliteHandle(const HistoryConnection& store) {
    const QSqlDatabase db = store.database();
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

std::optional<QString> sqliteLibraryMismatch(const QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT sqlite_source_id(), sqlite_version()")) || !q.next())
        return QStringLiteral("无法读出 Qt 数据库驱动所用的 SQLite 版本：%1")
            .arg(sqliteReason(q.lastError()));
    const QString driverSource = q.value(0).toString();
    const QString driverVersion = q.value(1).toString();
    const QStringList parts = driverVersion.split(QLatin1Char('.'));
    const int driverNumber =
        parts.size() == 3 ? parts[0].toInt() * 1000000 + parts[1].toInt() * 1000 + parts[2].toInt()
                          : -1;
    if (driverNumber == sqlite3_libversion_number() &&
        driverSource == QLatin1String(sqlite3_sourceid()))
        return std::nullopt;
    return QStringLiteral(
               "本程序调用的 SQLite 库（%1）与 Qt 数据库驱动所用的（%2）不是同一个，"
               "不能安全地读写历史数据库；请重新安装 libsqlite3-0 和 libqt6sql6-sqlite。")
        .arg(QLatin1String(sqlite3_libversion()), driverVersion);
}

SqliteStatement::SqliteStatement(const HistoryConnection& store)
    : store_(store), db_(sqliteHandle(store)) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

bool SqliteStatement::fail(int code) {
    const QString message =
        db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("历史数据库没有打开");
    const int extended = db_ ? sqlite3_extended_errcode(db_) : code;
    // SQLite's message as the database text only: QSqlError::text() joins both texts.
    error_ = QSqlError(QString(), message, QSqlError::StatementError, QString::number(extended));
    return false;
}

bool SqliteStatement::prepare(const QString& sql) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    error_ = QSqlError();
    bindFailed_ = false;
    if (!db_)
        return fail(SQLITE_MISUSE);
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db_, utf8.constData(), int(utf8.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    return rc == SQLITE_OK || fail(rc);
}

void SqliteStatement::checkBind(int rc) {
    // The first failure since the last step is the one to report.
    if (rc != SQLITE_OK && !bindFailed_) {
        fail(rc);
        bindFailed_ = true;
    }
}

void SqliteStatement::bind(int index, qint64 value) {
    checkBind(sqlite3_bind_int64(stmt_, index, value));
}

void SqliteStatement::bind(int index, const QString& text) {
    if (text.isNull()) {
        checkBind(sqlite3_bind_null(stmt_, index));
        return;
    }
    checkBind(sqlite3_bind_text16(stmt_, index, text.utf16(), int(text.size() * sizeof(char16_t)),
                                  SQLITE_TRANSIENT));
}

void SqliteStatement::bindUtf8(int index, QByteArrayView utf8) {
    // SQLite binds NULL for a null pointer, whatever the length.
    const char* data = utf8.data() ? utf8.data() : "";
    checkBind(sqlite3_bind_text(stmt_, index, data, int(utf8.size()), SQLITE_TRANSIENT));
}

void SqliteStatement::bindUtf8Kept(int index, QByteArrayView utf8) {
    const char* data = utf8.data() ? utf8.data() : "";
    checkBind(sqlite3_bind_text(stmt_, index, data, int(utf8.size()), SQLITE_STATIC));
}

qint64 SqliteStatement::changes() const {
    return db_ ? sqlite3_changes64(db_) : 0;
}

void SqliteStatement::bindNull(int index) {
    checkBind(sqlite3_bind_null(stmt_, index));
}

void SqliteStatement::bindReal(int index, double value) {
    checkBind(sqlite3_bind_double(stmt_, index, value));
}

void SqliteStatement::bindBlob(int index, QByteArrayView bytes) {
    // A null pointer would bind NULL.
    const char* data = bytes.data() ? bytes.data() : "";
    checkBind(sqlite3_bind_blob(stmt_, index, data, int(bytes.size()), SQLITE_TRANSIENT));
}

bool SqliteStatement::exec() {
    if (!stmt_)
        return fail(SQLITE_MISUSE);
    if (bindFailed_) {
        bindFailed_ = false;
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW || fail(rc);
    sqlite3_reset(stmt_);
    return ok;
}

bool SqliteStatement::next() {
    if (!stmt_)
        return fail(SQLITE_MISUSE);
    if (bindFailed_) {
        bindFailed_ = false;
        sqlite3_reset(stmt_);
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(rc);
    sqlite3_reset(stmt_);
    return false;
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

qint64 SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QString SqliteStatement::text(int column) const {
    const void* p = sqlite3_column_text16(stmt_, column);
    if (!p)
        return {};
    const int bytes = sqlite3_column_bytes16(stmt_, column);
    return QString(static_cast<const QChar*>(p), bytes / int(sizeof(QChar)));
}

int SqliteStatement::type(int column) const {
    return sqlite3_column_type(stmt_, column);
}

QByteArrayView SqliteStatement::utf8(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? QByteArrayView(p, sqlite3_column_bytes(stmt_, column)) : QByteArrayView();
}

double SqliteStatement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

QByteArrayView SqliteStatement::blob(int column) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return p ? QByteArrayView(p, sqlite3_column_bytes(stmt_, column)) : QByteArrayView();
}

int SqliteStatement::columnCount() const {
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

QString SqliteStatement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

void SqliteStatement::reset() {
    if (stmt_)
        sqlite3_reset(stmt_);
}

} // namespace quorvex

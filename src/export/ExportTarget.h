#pragma once

#include <QString>

#include <optional>

namespace quorvex {

// A file an export may replace. No export writes over the history (Quorvex.mdb), its journals
// (-journal, -wal, -shm) or a file of the copy folder 历史号码, whatever path leads there
// (links, hard links, other spellings of the path), nor over anything that is not a regular
// file (a folder, a device, a pipe, a socket). Only check() makes one, so every writer of an
// export (ExportTemporary) takes a checked target.
class ExportTarget {
public:
    // Checks path against the history in programFolder. Nothing and one line naming path when
    // the export must not write there.
    static std::optional<ExportTarget> check(const QString& path, const QString& programFolder,
                                             QString* error);

    // As the caller named it.
    const QString& path() const { return path_; }
    // path resolved through its links: the file that is written.
    const QString& file() const { return file_; }

    // The same check again, just before the file is replaced: the path may lead elsewhere by
    // then. False and the reason when it no longer passes or resolves to another file.
    bool stillAllowed(QString* error) const;

private:
    ExportTarget(QString path, QString file, QString programFolder);

    QString path_;
    QString file_;
    QString programFolder_;
};

} // namespace quorvex

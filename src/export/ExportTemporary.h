#pragma once

#include "ExportTarget.h"

#include <QByteArray>
#include <QString>

namespace quorvex {

// The file an export is written to before it is renamed over its target: beside the file the
// target resolves to (the same file system, so that the rename is atomic), named
// "<file>.<8 hex digits>.tmp", and locked for as long as it is open. An export that was killed
// leaves its file unlocked; the next export to the same target removes such leftovers, and
// nothing of another naming.
class ExportTemporary {
public:
    explicit ExportTemporary(ExportTarget target);
    ~ExportTemporary(); // removes the file unless it was renamed over the target
    ExportTemporary(const ExportTemporary&) = delete;
    ExportTemporary& operator=(const ExportTemporary&) = delete;

    // Removes the leftovers of killed exports to the target, then creates and locks a fresh,
    // empty file. False and the reason when the folder cannot take it.
    bool create(QString* error);
    const QString& path() const { return path_; }
    // Writes bytes to the created file.
    bool write(const QByteArray& bytes, QString* error);
    // Syncs the written file, checks the target once more and renames the file over it.
    bool commit(QString* error);

private:
    void removeLeftovers() const;

    ExportTarget target_;
    QString path_;
    int fd_ = -1;
    bool committed_ = false;
};

// bytes to the target through an ExportTemporary: the file there is replaced only by a whole
// new one. False and the reason otherwise, nothing at the target then changed.
bool writeExportFile(const ExportTarget& target, const QByteArray& bytes, QString* error);

} // namespace quorvex

#pragma once

#include <QString>

namespace quorvex {

// The file a workbook is written to before it is renamed over its target: beside the target
// (the same file system, so that the rename is atomic), named "<target>.<8 hex digits>.tmp",
// and locked for as long as it is open. An export that was killed leaves its file unlocked;
// the next export to the same target removes such leftovers, and nothing of another naming.
class WorkbookTemporary {
public:
    explicit WorkbookTemporary(QString target);
    ~WorkbookTemporary(); // removes the file unless it was renamed over the target
    WorkbookTemporary(const WorkbookTemporary&) = delete;
    WorkbookTemporary& operator=(const WorkbookTemporary&) = delete;

    // Removes the leftovers of killed exports to the target, then creates and locks a fresh,
    // empty file. False and the reason when the folder cannot take it.
    bool create(QString* error);
    const QString& path() const { return path_; }
    // Syncs the written file and renames it over the target.
    bool commit(QString* error);

private:
    void removeLeftovers() const;

    QString target_;
    QString path_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace quorvex

#pragma once

#include <QString>
#include <QStringList>

namespace quorvex::test {

// What stands at a path, a last link not followed: its kind, device and inode and, for a
// regular file, a hash of its bytes (a pipe or device is never opened). Equal texts before and
// after: nothing replaced it and nothing wrote into it. "missing" when nothing is there.
QString pathState(const QString& path);

// pathState of every entry of a folder and of its subfolders, by name below the folder.
QStringList folderStates(const QString& folder);

} // namespace quorvex::test

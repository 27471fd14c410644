#pragma once

#include <QString>

namespace quorvex {

struct ProgramFolder {
    QString path;
    // Set when the preferred folder could not be written and the per-user data folder is used.
    QString notice;
};

// The program's folder, for the window and the CLI alike: the preferred folder (the
// executable's) when it holds the history or new files can be written there, else the per-user
// data folder. A history that exists is never passed over, even when it can only be read.
// An installed program (its executable in the folder it was installed to) always keeps its data
// in the per-user data folder, without a notice; the first start places the installed sample
// histories in its 历史号码 folder.
ProgramFolder chooseProgramFolder(const QString& preferred);

// The version of the program, the package's.
QString programVersion();

} // namespace quorvex

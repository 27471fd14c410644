#pragma once

#include <QString>

namespace quorvex {

struct ProgramFolder {
    QString path;
    // Set when the preferred folder could not be written and the per-user data folder is used.
    QString notice;
};

// The program's folder: preferred (the executable's folder) when files can be written there,
// else the per-user data folder.
ProgramFolder chooseProgramFolder(const QString& preferred);

} // namespace quorvex

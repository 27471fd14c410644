#pragma once

#include "Command.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace quorvex::cli {

using CommandFactory = std::unique_ptr<Command> (*)();

// Every command, in the order --help lists them.
const std::vector<CommandFactory>& commandFactories();

// The command of that name, or nothing.
std::unique_ptr<Command> findCommand(const QString& name);

// The whole program: global options, then the command. arguments[0] is the program.
// Needs a QCoreApplication.
int runCli(const QStringList& arguments);

} // namespace quorvex::cli

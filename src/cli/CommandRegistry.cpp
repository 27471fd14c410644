#include "CommandRegistry.h"

#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace quorvex::cli {

// Each command's factory lives in the command's own file.
std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeAppendCommand();
std::unique_ptr<Command> makeNextIssueCommand();
std::unique_ptr<Command> makeImportCommand();
std::unique_ptr<Command> makeSearchCommand();
std::unique_ptr<Command> makeComboCommand();
std::unique_ptr<Command> makeCompactCommand();
std::unique_ptr<Command> makeDeleteLastCommand();
std::unique_ptr<Command> makeClearCommand();
std::unique_ptr<Command> makeKeepToCommand();
std::unique_ptr<Command> makeDropLastCommand();
std::unique_ptr<Command> makeRebuildCommand();
std::unique_ptr<Command> makeUndoCommand();
std::unique_ptr<Command> makeRedoCommand();
std::unique_ptr<Command> makeExportTextCommand();
std::unique_ptr<Command> makeExportSheetCommand();
std::unique_ptr<Command> makeUpdateCommand();
std::unique_ptr<Command> makeBacktestCommand();
std::unique_ptr<Command> makeTrendCommand();

const std::vector<CommandFactory>& commandFactories() {
    // Adding a command: its file, its factory declaration above, and one line here.
    // clang-format off
    static const std::vector<CommandFactory> factories{
        &makeListCommand,
        &makeAppendCommand,
        &makeNextIssueCommand,
        &makeImportCommand,
        &makeSearchCommand,
        &makeComboCommand,
        &makeCompactCommand,
        &makeDeleteLastCommand,
        &makeClearCommand,
        &makeKeepToCommand,
        &makeDropLastCommand,
        &makeRebuildCommand,
        &makeUndoCommand,
        &makeRedoCommand,
        &makeExportTextCommand,
        &makeExportSheetCommand,
        &makeUpdateCommand,
        &makeBacktestCommand,
        &makeTrendCommand,
    };
    // clang-format on
    return factories;
}

std::unique_ptr<Command> findCommand(const QString& name) {
    for (CommandFactory make : commandFactories()) {
        auto command = make();
        if (command->name() == name)
            return command;
    }
    return nullptr;
}

namespace {

QString globalHelp(const QCommandLineParser& parser) {
    QString text = QStringLiteral("Usage: quorvex-cli [--dir FOLDER] COMMAND [ARGS]\n"
                                  "Quorvex lottery history analyser from the terminal.\n\n"
                                  "Commands:\n");
    int width = 0;
    std::vector<std::pair<QString, QString>> lines;
    for (CommandFactory make : commandFactories()) {
        const auto command = make();
        lines.emplace_back(command->name(), command->summary());
        width = std::max(width, int(command->name().size()));
    }
    for (const auto& [name, summary] : lines)
        text += QStringLiteral("  %1  %2\n").arg(name.leftJustified(width), summary);
    // The parser's own option list, without its usage line.
    QString options = parser.helpText();
    const qsizetype at = options.indexOf(QStringLiteral("Options:"));
    if (at >= 0)
        text += QLatin1Char('\n') + options.mid(at);
    text += QStringLiteral("\n'quorvex-cli COMMAND --help' describes one command.\n"
                           "Exit status: 0 success, 1 failure, 2 bad usage.\n");
    return text;
}

// The window's choice of folder, so both front ends find the same history.
QString defaultFolder(Context& context) {
    const ProgramFolder folder = chooseProgramFolder(QCoreApplication::applicationDirPath());
    if (!folder.notice.isEmpty())
        context.warn(folder.notice);
    return folder.path;
}

} // namespace

int runCli(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    // Everything after the command name belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("The program's folder, which holds Quorvex.mdb "
                                                "(default: the executable's folder)."),
                                 QStringLiteral("FOLDER"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the program's version."));
    parser.addOption(dir);
    parser.addOption(help);
    parser.addOption(version);

    Context early(QString(), out, err);
    if (!parser.parse(arguments))
        return early.usage(parser.errorText());
    if (parser.isSet(help)) {
        out << globalHelp(parser);
        return ExitSuccess;
    }
    if (parser.isSet(version)) {
        out << QStringLiteral("quorvex-cli %1\n").arg(programVersion());
        return ExitSuccess;
    }
    QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return early.usage(QStringLiteral("no command given; 'quorvex-cli --help' lists them"));
    const QString name = rest.takeFirst();
    auto command = findCommand(name);
    if (!command)
        return early.usage(
            QStringLiteral("unknown command '%1'; 'quorvex-cli --help' lists them").arg(name));

    QString folder;
    if (parser.isSet(dir)) {
        folder = parser.value(dir);
        if (folder.isEmpty())
            return early.usage(QStringLiteral("--dir needs a folder"));
    } else {
        folder = defaultFolder(early);
    }
    Context context(QDir(folder).absolutePath(), out, err);
    const int status = command->execute(rest, context);
    out.flush();
    return status;
}

} // namespace quorvex::cli

#pragma once

#include "GridPrinter.h"
#include "settings/SettingsStore.h"
#include "store/HistorySnapshot.h"
#include "store/HistoryStore.h"

#include <QCommandLineParser>
#include <QDate>
#include <QString>
#include <QTextStream>

#include <memory>
#include <optional>

namespace quorvex::cli {

// Exit status of every command: 0 success, 1 failure, 2 bad usage.
enum ExitCode { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// What a command runs against: the program's folder, the output streams, the history and the
// settings of the folder, opened when first asked for.
class Context {
public:
    Context(QString folder, QTextStream& out, QTextStream& err);
    ~Context();

    QString folder() const { return folder_; }
    QTextStream& out() { return out_; }
    QDate today() const { return QDate::currentDate(); }

    // Write one line "quorvex-cli: message" to stderr and return the exit status.
    int fail(const QString& message);
    int usage(const QString& message);
    void warn(const QString& message);

    // The history of the folder, created there when missing (for the commands that store
    // draws); nullptr after the reason has been written to stderr (a file that is not a history
    // database stays untouched).
    HistoryStore* history();
    // The folder's existing history, opened for writing; nullptr after the reason when there is
    // none: nothing is created.
    HistoryStore* existingHistory();
    // The history for a command that only reads: opened read-only, so that it works on a file or
    // folder the user may not write and creates, replaces or changes nothing.
    HistoryStore* readHistory();
    // The searches' copy of the history's columns, kept beside the history.
    HistorySnapshot& snapshot() { return snapshot_; }

    // The settings as the window reads them; stored values that are not valid are named in one
    // warning and read as their defaults.
    Settings settings();

private:
    void printError(const QString& message);
    HistoryStore* openHistory(HistoryAccess access);

    QString folder_;
    QTextStream& out_;
    QTextStream& err_;
    std::unique_ptr<HistoryStore> history_;
    HistorySnapshot snapshot_;
};

// One subcommand: declares its options and arguments on a QCommandLineParser, then runs.
class Command {
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    // One line for the command list of --help.
    virtual QString summary() const = 0;

    // Parses the arguments that follow the command name, answers --help, then runs.
    int execute(const QStringList& arguments, Context& context);

protected:
    // Options and positional arguments (the latter for the help text only).
    virtual void addOptions(QCommandLineParser& parser) = 0;
    virtual int run(const QCommandLineParser& parser, Context& context) = 0;

    // The shared --format table|csv option for commands that print a grid.
    static void addFormatOption(QCommandLineParser& parser);
    // The chosen format, or nothing after a usage error has been reported.
    static std::optional<GridFormat> gridFormat(const QCommandLineParser& parser, Context& context);

    // Reports surplus or missing positional arguments; ExitSuccess when the count is in range.
    int expectPositional(const QCommandLineParser& parser, Context& context, int minimum,
                         int maximum) const;
};

// A command that works on the folder's history: checks its positional arguments (between
// minimum and maximum) and whatever needs no history, then opens the history and runs on it.
class DatabaseCommand : public Command {
protected:
    DatabaseCommand(int minimumArguments = 0, int maximumArguments = 0)
        : minimumArguments_(minimumArguments), maximumArguments_(maximumArguments) {}

    // Commands that only read open an existing history read-only, so they work on a file or folder
    // the user cannot write.
    virtual bool onlyReads() const { return false; }
    // Only commands that store draws create a history where there is none.
    virtual bool storesDraws() const { return false; }
    // Checks that need no history; ExitSuccess to go on.
    virtual int checkArguments(const QCommandLineParser&, Context&) { return ExitSuccess; }
    virtual int runOn(HistoryStore& store, const QCommandLineParser& parser, Context& context) = 0;

private:
    int run(const QCommandLineParser& parser, Context& context) final;

    int minimumArguments_;
    int maximumArguments_;
};

} // namespace quorvex::cli

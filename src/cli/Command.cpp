#include "Command.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace quorvex::cli {

namespace {

const char* const kProgram = "quorvex-cli";

// Messages must stay one line on stderr, whatever the database layer returns.
QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

} // namespace

Context::Context(QString folder, QTextStream& out, QTextStream& err)
    : folder_(std::move(folder)), out_(out), err_(err) {}

Context::~Context() = default;

void Context::printError(const QString& message) {
    out_.flush();
    err_ << kProgram << ": " << oneLine(message) << '\n';
    err_.flush();
}

int Context::fail(const QString& message) {
    // Damage seen anywhere gets the one message that names the file, whatever failed on it.
    printError(history_ && history_->isDamaged() ? history_->damageMessage() : message);
    return ExitFailure;
}

int Context::usage(const QString& message) {
    printError(message);
    return ExitUsage;
}

void Context::warn(const QString& message) {
    printError(QStringLiteral("warning: ") + message);
}

HistoryStore* Context::history() {
    return openHistory(HistoryAccess::ReadWrite);
}

HistoryStore* Context::readHistory() {
    return openHistory(HistoryAccess::ReadOnly);
}

HistoryStore* Context::existingHistory() {
    const QString path = QDir(folder_).filePath(HistoryStore::databaseFileName());
    if (!history_ && QFileInfo(folder_).isDir() &&
        inspectHistoryPath(path).kind == HistoryPath::Missing) {
        fail(QStringLiteral("找不到历史数据库 %1，没有作任何改动。")
                 .arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    return openHistory(HistoryAccess::ReadWrite);
}

HistoryStore* Context::openHistory(HistoryAccess access) {
    if (history_)
        return history_.get();
    if (!QFileInfo(folder_).isDir()) {
        fail(QFileInfo::exists(folder_) ? QStringLiteral("%1 is a file, not a folder")
                                              .arg(QDir::toNativeSeparators(folder_))
                                        : QStringLiteral("the folder %1 does not exist")
                                              .arg(QDir::toNativeSeparators(folder_)));
        return nullptr;
    }
    auto store = std::make_unique<HistoryStore>();
    QString error;
    if (!store->open(folder_, &error, access)) {
        fail(error);
        return nullptr;
    }
    history_ = std::move(store);
    return history_.get();
}

Settings Context::settings() {
    QStringList problems;
    const Settings s = SettingsStore().load(&problems);
    if (!problems.isEmpty())
        warn(QStringLiteral("invalid settings read as their defaults: %1")
                 .arg(problems.join(QStringLiteral(", "))));
    return s;
}

int Command::execute(const QStringList& arguments, Context& context) {
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    addOptions(parser);

    if (!parser.parse(QStringList{QString::fromLatin1(kProgram)} + arguments)) {
        // "-5" reads as an option to the parser; say what the user most likely meant.
        static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
        for (const QString& a : arguments) {
            if (negative.match(a).hasMatch())
                return context.usage(
                    QStringLiteral("%1: negative number '%2' is not accepted").arg(name(), a));
        }
        return context.usage(QStringLiteral("%1: %2").arg(name(), parser.errorText()));
    }
    if (parser.isSet(help)) {
        // The parser names only the executable; the command belongs in the usage line too.
        QString text = parser.helpText();
        const qsizetype rest = text.indexOf(QStringLiteral(" [options]"));
        if (rest >= 0)
            text = QStringLiteral("Usage: %1 [--dir FOLDER] %2").arg(kProgram, name()) +
                   text.mid(rest);
        context.out() << text;
        context.out().flush();
        return ExitSuccess;
    }
    return run(parser, context);
}

void Command::addFormatOption(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(QStringLiteral("format"),
                                        QStringLiteral("Output as an aligned table or as CSV."),
                                        QStringLiteral("table|csv"), QStringLiteral("table")));
}

std::optional<GridFormat> Command::gridFormat(const QCommandLineParser& parser, Context& context) {
    const QString text = parser.value(QStringLiteral("format"));
    const auto format = parseGridFormat(text);
    if (!format)
        context.usage(QStringLiteral("--format takes table or csv, not '%1'").arg(text));
    return format;
}

int Command::expectPositional(const QCommandLineParser& parser, Context& context, int minimum,
                              int maximum) const {
    const qsizetype n = parser.positionalArguments().size();
    if (n < minimum || n > maximum) {
        const QString wanted = minimum == maximum
                                   ? QString::number(minimum)
                                   : QStringLiteral("%1 to %2").arg(minimum).arg(maximum);
        return context.usage(
            QStringLiteral("%1 takes %2 argument(s), %3 given").arg(name(), wanted).arg(n));
    }
    return ExitSuccess;
}

int DatabaseCommand::run(const QCommandLineParser& parser, Context& context) {
    if (const int status = expectPositional(parser, context, minimumArguments_, maximumArguments_))
        return status;
    if (const int status = checkArguments(parser, context))
        return status;
    HistoryStore* store = onlyReads()     ? context.readHistory()
                          : storesDraws() ? context.history()
                                          : context.existingHistory();
    if (!store)
        return ExitFailure;
    return runOn(*store, parser, context);
}

} // namespace quorvex::cli

#include "Command.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace quorvex::cli {

namespace {

// A seven-digit issue: year and a sequence number 001..999.
std::optional<qint64> parseIssue(const QString& text) {
    static const QRegularExpression sevenDigits(QStringLiteral("^[1-9][0-9]{6}$"));
    if (!sevenDigits.match(text).hasMatch())
        return std::nullopt;
    const qint64 issue = text.toLongLong();
    if (issue % 1000 == 0)
        return std::nullopt;
    return issue;
}

// Stores one draw as the manual entry does: chained to the stored last draw.
class AppendCommand : public Command {
public:
    QString name() const override { return QStringLiteral("append"); }
    QString summary() const override {
        return QStringLiteral("Store a draw of five distinct numbers 1..15 under the next issue.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addOption(QCommandLineOption(
            QStringLiteral("issue"),
            QStringLiteral("Store under this seven-digit issue (later than the last stored one) "
                           "instead of the next issue."),
            QStringLiteral("Q")));
        parser.addPositionalArgument(QStringLiteral("numbers"),
                                     QStringLiteral("The five numbers in drawn order."),
                                     QStringLiteral("N1 N2 N3 N4 N5"));
    }

    int run(const QCommandLineParser& parser, Context& context) override {
        const QStringList args = parser.positionalArguments();
        if (args.size() != kPositions)
            return context.usage(
                QStringLiteral("append takes five numbers, %1 given; nothing stored")
                    .arg(args.size()));
        Numbers numbers{};
        for (int i = 0; i < kPositions; ++i) {
            bool ok = false;
            numbers[i] = args[i].toInt(&ok);
            if (!ok)
                numbers[i] = -1; // reported as outside 1..15 below
        }
        if (const auto faults = drawFaults(numbers); !faults.isEmpty()) {
            const DrawFault& f = faults.first();
            if (f.kind == DrawFault::OutOfRange)
                return context.usage(
                    QStringLiteral("number %1 is '%2', not a number from 1 to 15; nothing stored")
                        .arg(f.position)
                        .arg(args[f.position - 1]));
            return context.usage(QStringLiteral("the number %1 appears twice; a draw has five "
                                                "different numbers; nothing stored")
                                     .arg(f.number));
        }
        std::optional<qint64> requested;
        if (parser.isSet(QStringLiteral("issue"))) {
            const QString text = parser.value(QStringLiteral("issue"));
            requested = parseIssue(text);
            if (!requested)
                return context.usage(QStringLiteral("--issue '%1' is not a seven-digit issue "
                                                    "such as 2013045; nothing stored")
                                         .arg(text));
        }

        const Settings settings = context.settings();
        const ValueBases bases{settings.SxIni, settings.DsIni};
        HistoryStore* store = context.history();
        if (!store)
            return ExitFailure;

        // Holds the write lock from reading the last draw until the new one is stored, so the
        // draw is chained to the row really stored before it.
        HistoryStore::Transaction transaction(*store);
        if (!transaction.begun())
            return context.fail(
                QStringLiteral("cannot write the history: %1").arg(transaction.beginError()));
        QString error;
        const std::optional<StoredDraw> last = store->lastDraw(&error);
        if (!error.isEmpty())
            return context.fail(QStringLiteral("cannot read the history: %1").arg(error));

        const std::optional<qint64> next = store->nextIssue(context.today(), &error);
        if (!next)
            return context.fail(error);
        const qint64 issue = requested ? *requested : *next;
        if (last && issue <= last->issue)
            return context.fail(QStringLiteral("issue %1 is not later than the last stored "
                                               "issue %2; nothing stored")
                                    .arg(issue)
                                    .arg(last->issue));

        std::optional<DrawAttributes> previous;
        if (last)
            previous = last->attributes;
        ZodiacYear zodiacYear;
        if (!store->AppendDraw(issue, numbers, issue, previous, bases, zodiacYear, &error))
            return context.fail(error);
        if (!transaction.commit(&error))
            return context.fail(
                QStringLiteral("cannot store issue %1: %2; nothing stored").arg(issue).arg(error));
        context.out() << issue << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeAppendCommand() {
    return std::make_unique<AppendCommand>();
}

} // namespace quorvex::cli

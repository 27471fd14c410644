#include "ArgumentValues.h"
#include "import/TypedDraw.h"

namespace quorvex::cli {

namespace {

// Stores one draw as the manual entry does: chained to the stored last draw.
class AppendCommand : public DatabaseCommand {
public:
    AppendCommand() : DatabaseCommand(0, kPositions) {}
    QString name() const override { return QStringLiteral("append"); }
    QString summary() const override {
        return QStringLiteral("Store a draw of five distinct numbers 1..15 under the next issue.");
    }

protected:
    bool storesDraws() const override { return true; }
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

    // The numbers and --issue are checked before the history is opened.
    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        const QStringList args = parser.positionalArguments();
        if (args.size() != kPositions)
            return context.usage(
                QStringLiteral("append takes five numbers, %1 given; nothing stored")
                    .arg(args.size()));
        for (int i = 0; i < kPositions; ++i) {
            // Anything but a plain number below 100 is reported as outside 1..15 below.
            const auto n = plainNumber(args[i]);
            numbers_[i] = n && *n < 100 ? int(*n) : -1;
        }
        if (const auto faults = drawFaults(numbers_); !faults.isEmpty()) {
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
        if (parser.isSet(QStringLiteral("issue"))) {
            // A stored issue has a sequence number 001..999.
            const QString text = parser.value(QStringLiteral("issue"));
            const auto issue = plainIssue(text);
            if (!issue || *issue % 1000 == 0)
                return context.usage(QStringLiteral("--issue takes a seven-digit issue such as "
                                                    "2013045, its sequence 001 to 999, not '%1'")
                                         .arg(text));
            issue_ = issue;
        }
        return ExitSuccess;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const Settings settings = context.settings();
        ZodiacYear zodiacYear;
        QString error;
        const auto stored = storeTypedDraw(store, numbers_, issue_, std::nullopt,
                                           ValueBases{settings.SxIni, settings.DsIni}, zodiacYear,
                                           context.today(), &error);
        if (!stored)
            return context.fail(error);
        context.out() << *stored << '\n';
        return ExitSuccess;
    }

private:
    Numbers numbers_{};
    std::optional<qint64> issue_;
};

} // namespace

std::unique_ptr<Command> makeAppendCommand() {
    return std::make_unique<AppendCommand>();
}

} // namespace quorvex::cli

#include "SearchOptions.h"

namespace quorvex::cli {

namespace {

// Command2_Click: draws whose earlier draw matches the reference in any k of the five positions.
class ComboCommand : public Command {
public:
    QString name() const override { return QStringLiteral("combo"); }
    QString summary() const override {
        return QStringLiteral(
            "Combination search: follow draws matching the reference in any K positions.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("k"), QStringLiteral("Number of combined positions, 1..5 (default 2)."),
            QStringLiteral("K"), QStringLiteral("2")));
        addSearchOptions(parser);
    }

    int run(const QCommandLineParser& parser, Context& context) override {
        const auto format = gridFormat(parser, context);
        if (!format)
            return ExitUsage;
        if (const int status = expectPositional(parser, context, 0, 0))
            return status;
        const QString text = parser.value(QStringLiteral("k"));
        bool ok = false;
        const int k = text.trimmed().toInt(&ok);
        if (!ok || k < 1 || k > kPositions)
            return context.usage(
                QStringLiteral("--k takes a number of positions from 1 to 5, not '%1'; nothing "
                               "searched")
                    .arg(text));
        return runSearchCommand(
            parser, context, *format, PositionUse::Ignored,
            [k](HistoryStore& store, const SearchRequest& request, QString* error) {
                return runCombinationSearch(store, request, k, error);
            });
    }
};

} // namespace

std::unique_ptr<Command> makeComboCommand() {
    return std::make_unique<ComboCommand>();
}

} // namespace quorvex::cli

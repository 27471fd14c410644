#include "Command.h"

namespace quorvex::cli {

namespace {

// The history grid MSFlexGrid1: issue and the five numbers as stored, oldest first.
class ListCommand : public Command {
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override {
        return QStringLiteral("Print the history grid: issue and five numbers, oldest first.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override { addFormatOption(parser); }

    int run(const QCommandLineParser& parser, Context& context) override {
        const auto format = gridFormat(parser, context);
        if (!format)
            return ExitUsage;
        if (const int status = expectPositional(parser, context, 0, 0))
            return status;
        HistoryStore* store = context.readHistory();
        if (!store)
            return ExitFailure;

        QString error;
        const HistoryView view = store->loadView(&error);
        if (!error.isEmpty())
            return context.fail(QStringLiteral("cannot read the history: %1").arg(error));

        Grid grid;
        grid.header << QStringLiteral("期号");
        for (int i = 1; i <= kPositions; ++i)
            grid.header << QStringLiteral("第%1码").arg(i);
        grid.rows.reserve(view.size());
        for (const StoredDraw& draw : view.rows()) {
            QStringList row{QString::number(draw.issue)};
            for (int i = 1; i <= kPositions; ++i)
                row << QString::number(draw.attributes.at(i, Number));
            grid.rows << row;
        }
        printGrid(context.out(), grid, *format);
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}

} // namespace quorvex::cli

#include "Command.h"

namespace quorvex::cli {

namespace {

// The history grid MSFlexGrid1: issue and the five numbers as stored, oldest first.
class ListCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override {
        return QStringLiteral("Print the history grid: issue and five numbers, oldest first.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser& parser) override { addFormatOption(parser); }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        format_ = gridFormat(parser, context);
        return format_ ? ExitSuccess : ExitUsage;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        QString error;
        const auto draws = store.loadNumbers(&error);
        if (!draws)
            return context.fail(error);
        Grid grid;
        grid.header << QStringLiteral("期号");
        for (int i = 1; i <= kPositions; ++i)
            grid.header << QStringLiteral("第%1码").arg(i);
        const QVector<DrawNumbers>& stored = *draws;
        grid.rows = GridRows(stored.size(), [&stored](qsizetype r) {
            QStringList row{QString::number(stored[r].issue)};
            for (int n : stored[r].numbers)
                row << QString::number(n);
            return row;
        });
        printGrid(context.out(), grid, *format_);
        return ExitSuccess;
    }

private:
    std::optional<GridFormat> format_;
};

} // namespace

std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}

} // namespace quorvex::cli

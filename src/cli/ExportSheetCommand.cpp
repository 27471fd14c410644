#include "SearchOptions.h"

#include "export/SheetExport.h"

#include <QDir>

namespace quorvex::cli {

namespace {

const QString kOptOutput = QStringLiteral("output");
const QString kOptCombo = QStringLiteral("combo");

// mnuDcls and the double clicks on the three grids: one grid to a workbook.
class ExportSheetCommand : public Command {
public:
    QString name() const override { return QStringLiteral("export-sheet"); }
    QString summary() const override {
        return QStringLiteral("Write the history, match or result grid as a workbook "
                              "(lishi.xls, Jiansuo.xls, Jieguo.xls).");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addPositionalArgument(
            QStringLiteral("GRID"),
            QStringLiteral("history, matches (the follow draws of a search) or results (its "
                           "ranked values)."),
            QStringLiteral("history|matches|results"));
        parser.addOption(QCommandLineOption(
            kOptOutput,
            QStringLiteral("File to write (default: the grid's file in the program's folder)."),
            QStringLiteral("FILE")));
        parser.addOption(QCommandLineOption(
            kOptCombo,
            QStringLiteral("matches and results: run the combination search over K positions "
                           "(1..5) instead of the follow search."),
            QStringLiteral("K")));
        addSearchOptions(parser);
    }

    int run(const QCommandLineParser& parser, Context& context) override {
        if (const int status = expectPositional(parser, context, 1, 1))
            return status;
        const QString gridName = parser.positionalArguments().first().trimmed().toLower();
        std::optional<ExportedGrid> grid;
        if (gridName == QLatin1String("history"))
            grid = ExportedGrid::History;
        else if (gridName == QLatin1String("matches"))
            grid = ExportedGrid::Matches;
        else if (gridName == QLatin1String("results"))
            grid = ExportedGrid::Results;
        if (!grid)
            return context.usage(
                QStringLiteral("export-sheet takes history, matches or results, not '%1'")
                    .arg(parser.positionalArguments().first()));
        if (parser.isSet(kOptOutput) && parser.value(kOptOutput).isEmpty())
            return context.usage(QStringLiteral("--output needs a file name"));
        const QString file = parser.isSet(kOptOutput)
                                 ? QDir().absoluteFilePath(parser.value(kOptOutput))
                                 : QString();

        QString error;
        std::optional<QString> written;
        if (*grid == ExportedGrid::History) {
            for (const QString& option : parser.optionNames()) {
                if (option != kOptOutput)
                    return context.usage(
                        QStringLiteral("--%1 belongs to a search; export-sheet history takes "
                                       "only --output")
                            .arg(option));
            }
            HistoryStore* store = context.history();
            if (!store)
                return ExitFailure;
            written = exportHistorySheet(*store, context.folder(), &error, file);
        } else {
            if (parser.isSet(QStringLiteral("matches")))
                return context.usage(
                    QStringLiteral("--matches is not needed: name the grid, matches or results"));
            int status = ExitSuccess;
            const auto result = search(parser, context, status);
            if (!result)
                return status;
            written = *grid == ExportedGrid::Matches
                          ? exportGridSheet(*grid, result->matchHeader, result->matchRows,
                                            context.folder(), &error, file)
                          : exportGridSheet(*grid, result->resultHeader, result->resultRows,
                                            context.folder(), &error, file);
        }
        if (!written)
            return context.fail(error);
        context.out() << QDir::toNativeSeparators(*written) << '\n';
        return ExitSuccess;
    }

private:
    // The search the window ran last: the follow search, or with --combo the combination search.
    static std::optional<FollowResult> search(const QCommandLineParser& parser, Context& context,
                                              int& status) {
        if (!parser.isSet(kOptCombo))
            return runSearchFromOptions(parser, context, PositionUse::Ticked, &runFollowSearch,
                                        status);
        const QString text = parser.value(kOptCombo);
        bool ok = false;
        const int k = text.trimmed().toInt(&ok);
        if (!ok || k < 1 || k > kPositions) {
            status = context.usage(
                QStringLiteral("--combo takes a number of positions from 1 to 5, not '%1'")
                    .arg(text));
            return std::nullopt;
        }
        return runSearchFromOptions(
            parser, context, PositionUse::Ignored,
            [k](HistoryStore& store, const SearchRequest& request, QString* error) {
                return runCombinationSearch(store, request, k, error);
            },
            status);
    }
};

} // namespace

std::unique_ptr<Command> makeExportSheetCommand() {
    return std::make_unique<ExportSheetCommand>();
}

} // namespace quorvex::cli

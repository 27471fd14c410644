#include "ArgumentValues.h"
#include "SearchOptions.h"

#include "export/SheetExport.h"

#include <QDir>

namespace quorvex::cli {

namespace {

const QString kOptOutput = QStringLiteral("output");
const QString kOptCombo = QStringLiteral("combo");

// mnuDcls and the double clicks on the three grids: one grid to a workbook.
class ExportSheetCommand : public DatabaseCommand {
public:
    ExportSheetCommand() : DatabaseCommand(1, 1) {}
    QString name() const override { return QStringLiteral("export-sheet"); }
    QString summary() const override {
        return QStringLiteral("Write the history, match or result grid as a workbook "
                              "(lishi.xls, Jiansuo.xls, Jieguo.xls).");
    }

protected:
    bool onlyReads() const override { return true; }
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

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        const QString gridName = parser.positionalArguments().first().trimmed().toLower();
        if (gridName == QLatin1String("history"))
            grid_ = ExportedGrid::History;
        else if (gridName == QLatin1String("matches"))
            grid_ = ExportedGrid::Matches;
        else if (gridName == QLatin1String("results"))
            grid_ = ExportedGrid::Results;
        if (!grid_)
            return context.usage(
                QStringLiteral("export-sheet takes history, matches or results, not '%1'")
                    .arg(parser.positionalArguments().first()));
        if (parser.isSet(kOptOutput)) {
            const auto file =
                outputFileArgument(parser.value(kOptOutput), QStringLiteral("--output"), context);
            if (!file)
                return ExitUsage;
            file_ = *file;
        }
        if (*grid_ == ExportedGrid::History) {
            for (const QString& option : parser.optionNames()) {
                if (option != kOptOutput)
                    return context.usage(
                        QStringLiteral("--%1 belongs to a search; export-sheet history takes "
                                       "only --output")
                            .arg(option));
            }
            return ExitSuccess;
        }
        if (parser.isSet(QStringLiteral("matches")))
            return context.usage(
                QStringLiteral("--matches is not needed: name the grid, matches or results"));
        if (parser.isSet(kOptCombo)) {
            const auto k = numberArgument(parser.value(kOptCombo), QStringLiteral("--combo"), 1,
                                          kPositions, context);
            if (!k)
                return ExitUsage;
            combo_ = QString::number(*k);
        }
        if (parser.isSet(QStringLiteral("baseline")))
            return context.usage(QStringLiteral("--baseline is for search and combo; the results "
                                                "workbook always has the baseline columns"));
        return options_.parse(parser, context,
                              combo_.isEmpty() ? PositionUse::Ticked : PositionUse::Ignored);
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        QString error;
        std::optional<QString> written;
        if (*grid_ == ExportedGrid::History) {
            written = exportHistorySheet(store, context.folder(), &error, file_);
        } else {
            // The search the window ran last: the follow search, or with --combo the
            // combination search.
            const QString k = combo_;
            options_.matches = *grid_ == ExportedGrid::Matches;
            int status = ExitSuccess;
            const auto result = runSearchFromOptions(
                options_, store, context,
                [k](SearchSession& session, const SearchRequest& request) {
                    if (k.isEmpty())
                        return session.runFollow(request);
                    return runCombinationOver(session, k, request);
                },
                &status);
            if (!result)
                return status;
            written = *grid_ == ExportedGrid::Matches
                          ? exportGridSheet(*grid_, result->matchHeader, result->matchRows.all(),
                                            context.folder(), &error, file_)
                          : exportResultSheet(*result, context.folder(), &error, file_);
        }
        if (!written)
            return context.fail(error);
        context.out() << QDir::toNativeSeparators(*written) << '\n';
        return ExitSuccess;
    }

private:
    std::optional<ExportedGrid> grid_;
    QString file_;
    QString combo_;
    SearchOptions options_;
};

} // namespace

std::unique_ptr<Command> makeExportSheetCommand() {
    return std::make_unique<ExportSheetCommand>();
}

} // namespace quorvex::cli

#include "ArgumentValues.h"
#include "import/OnlineUpdate.h"

#include <QEventLoop>

namespace quorvex::cli {

namespace {

// Command21: brings the history up to date from the results service.
class UpdateCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("update"); }
    QString summary() const override {
        return QStringLiteral("Bring the history up to date from the results service.");
    }

protected:
    bool storesDraws() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        parser.addOption(QCommandLineOption(
            QStringLiteral("server"),
            QStringLiteral("Base address of the results service (default: the setting "
                           "strServer)."),
            QStringLiteral("URL")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("today"),
            QStringLiteral("Take this date as today; its year is the last year fetched."),
            QStringLiteral("YYYY-MM-DD")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("timeout"),
            QStringLiteral("A page that sends nothing for this many seconds fails (default 30)."),
            QStringLiteral("SECONDS"), QStringLiteral("30")));
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        today_ = context.today();
        if (parser.isSet(QStringLiteral("today"))) {
            const auto today = dateArgument(parser.value(QStringLiteral("today")),
                                            QStringLiteral("--today"), context);
            if (!today)
                return ExitUsage;
            today_ = *today;
        }
        const auto seconds = secondsArgument(parser.value(QStringLiteral("timeout")),
                                             QStringLiteral("--timeout"), 0.1, 3600, context);
        if (!seconds)
            return ExitUsage;
        seconds_ = *seconds;
        return ExitSuccess;
    }

    int runOn(HistoryStore& store, const QCommandLineParser& parser, Context& context) override {
        const Settings settings = context.settings();
        OnlineUpdate::Options options;
        options.serverAddress = parser.isSet(QStringLiteral("server"))
                                    ? parser.value(QStringLiteral("server"))
                                    : settings.strServer;
        options.today = today_;
        options.iniSerchDay = settings.IniSerchDay;
        options.bases = ValueBases{settings.SxIni, settings.DsIni};
        options.pageTimeoutMs = int(seconds_ * 1000);

        const QString remedy = options.serverAddress.trimmed().isEmpty()
                                   ? QStringLiteral("; give the results service's address with "
                                                    "--server URL or the setting strServer")
                                   : QString();
        // What the retention will do, said before anything is fetched.
        OnlineUpdate update(store, options);
        QString why;
        const auto notice = update.plan(&why);
        const QString failed = QStringLiteral("update failed, the history is unchanged") + remedy;
        if (!notice) {
            context.out() << why << '\n';
            return context.fail(failed);
        }
        if (notice->replacesHistory) {
            context.out() << notice->sentence() << '\n';
            context.out().flush();
        }

        QEventLoop loop;
        QObject::connect(&update, &OnlineUpdate::finished, &loop, &QEventLoop::quit);
        update.start();
        loop.exec();

        const UpdateReport& report = update.report();
        context.out() << report.summary() << '\n';
        if (report.outcome == UpdateReport::Outcome::Failed)
            return context.fail(failed);
        if (!report.stop)
            return ExitSuccess;
        if (report.stop->cause == UpdateStop::Cause::PageFailed) {
            QStringList unread, notResults;
            for (const YearOutcome& y : report.years)
                if (!y.error.isEmpty())
                    (y.notAResultsPage ? notResults : unread) << QString::number(y.year);
            QStringList what;
            if (!unread.isEmpty())
                what << QStringLiteral("the page of %1 could not be read")
                            .arg(unread.join(QStringLiteral(", ")));
            if (!notResults.isEmpty())
                what << QStringLiteral("the page of %1 is not a results page")
                            .arg(notResults.join(QStringLiteral(", ")));
            return context.fail(QStringLiteral("%1; nothing from issue %2 on was stored")
                                    .arg(what.join(QStringLiteral(", ")))
                                    .arg(report.stop->issue));
        }
        return context.fail(QStringLiteral("the service's pages have a gap at issue %1; nothing "
                                           "from it on was stored, the history is not up to date")
                                .arg(report.stop->issue));
    }

private:
    QDate today_;
    double seconds_ = 30;
};

} // namespace

std::unique_ptr<Command> makeUpdateCommand() {
    return std::make_unique<UpdateCommand>();
}

} // namespace quorvex::cli

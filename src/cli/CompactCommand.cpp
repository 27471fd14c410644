#include "Command.h"

#include "changes/DerivedRowsMark.h"

namespace quorvex::cli {

namespace {

// Compacts Quorvex.mdb in place; a failure leaves it as it was.
class CompactCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("compact"); }
    QString summary() const override {
        return QStringLiteral("Compact the history database; a failure leaves it as it was.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        QString error;
        if (!compactKeepingMark(store, &error))
            return context.fail(error);
        QString why;
        const qint64 draws = store.drawCount(&why);
        if (!why.isEmpty())
            return context.fail(
                QStringLiteral("历史数据库已压缩，但无法读取历史号码：%1").arg(why));
        context.out() << QStringLiteral("历史数据库已压缩，现有 %1 期历史号码。").arg(draws)
                      << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeCompactCommand() {
    return std::make_unique<CompactCommand>();
}

} // namespace quorvex::cli

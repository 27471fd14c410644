#include "CommandRegistry.h"

#include <QCoreApplication>

namespace {

QtMessageHandler qtHandler = nullptr;

// Qt's own warnings are no message of this program's: a command says what happened in one line
// of its own. What ends the program still gets through.
void keepQtQuiet(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && qtHandler)
        qtHandler(type, context, text);
}

} // namespace

int main(int argc, char* argv[]) {
    qtHandler = qInstallMessageHandler(keepQtQuiet);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvex-cli"));
    return quorvex::cli::runCli(QCoreApplication::arguments());
}

#include "CommandRegistry.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvex-cli"));
    return quorvex::cli::runCli(QCoreApplication::arguments());
}

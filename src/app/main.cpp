#include "Dialogs.h"
#include "frmMain.h"
#include "ProgramFolder.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvex"));

    quorvex::WidgetDialogs dialogs;
    const quorvex::ProgramFolder folder =
        quorvex::chooseProgramFolder(QCoreApplication::applicationDirPath());
    if (!folder.notice.isEmpty())
        dialogs.information(QStringLiteral("Quorvex"), folder.notice);

    quorvex::frmMain window(folder.path, &dialogs);
    dialogs.setParent(&window);
    window.show();
    return app.exec();
}

#include "Dialogs.h"
#include "frmMain.h"

#include "history/ProgramFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvex"));
    // The standard buttons and dialogs in Chinese, like the rest of the window.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

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

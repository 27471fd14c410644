#include "app/common/Dialogs.h"
#include "app/common/FirstFrameReport.h"
#include "frmMain.h"

#include "settings/ProgramFolder.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTableView>
#include <QTranslator>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quorvex %s\n", qPrintable(quorvex::programVersion()));
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvex"));
    QApplication::setApplicationVersion(quorvex::programVersion());
    QApplication::setDesktopFileName(QStringLiteral("org.quorvex.Quorvex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/org.quorvex.Quorvex.png")));
    // The standard buttons and dialogs in Chinese, like the rest of the window, and dates, sizes
    // and file types written the Chinese way.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
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
    if (const auto fd = quorvex::FirstFrameReport::requestedDescriptor())
        new quorvex::FirstFrameReport(window.findChild<QTableView*>(QStringLiteral("MSFlexGrid1")),
                                      *fd, &window);
    window.show();
    return app.exec();
}

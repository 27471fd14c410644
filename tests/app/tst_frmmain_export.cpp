#include "../export/ReadOnlyFolder.h"
#include "AppTestSupport.h"

#include <QFileInfo>

#include <QStatusBar>

#include "PathStates.h"
#include "WorkbookReader.h"
#include <QLabel>

#include <QAction>
#include <QChartView>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QPushButton>

using namespace quorvex;
using namespace quorvex::test;

// The window's exports: the history text file, the grids as workbooks, the chart as a picture;
// each written file handed to the platform's opener, and failures said without opening anything.
class FrmMainExportTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void textExportWritesAndOpens();
    void exportSaysWhereTheFileWent_data();
    void exportSaysWhereTheFileWent();
    void textExportRefused_data();
    void textExportRefused();
    void exportOverTheHistoryRefused_data();
    void exportOverTheHistoryRefused();
    void fileWithoutProgramIsANote_data();
    void fileWithoutProgramIsANote();
    void gridsExportAsTheyShow_data();
    void gridsExportAsTheyShow();
    void sheetExportToUnwritableFolder();
    void chartSavedAsPicture_data();
    void chartSavedAsPicture();
    void chartSaveCancelledWritesNothing();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The grid as cell texts, heading row first.
QList<QStringList> gridCells(QTableView* grid) {
    QAbstractItemModel* m = grid->model();
    QList<QStringList> cells;
    QStringList heading;
    for (int c = 0; c < m->columnCount(); ++c)
        heading << m->headerData(c, Qt::Horizontal).toString();
    cells << heading;
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m->columnCount(); ++c)
            row << m->index(r, c).data().toString();
        cells << row;
    }
    return cells;
}

// The folder must let others pass for ReadOnlyFolder's user.
void letOthersIn(const QString& folder) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther);
}

} // namespace

void FrmMainExportTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainExportTest::textExportWritesAndOpens() {
    WindowFixture f(2013001, {{3, 7, 9, 11, 14}, {15, 1, 10, 2, 12}});
    auto& [h, dialogs, w] = f;
    auto* button = child<QPushButton>(w, "Command4");
    QVERIFY(button->isEnabled());
    button->click();
    const QString path = QDir(h.folder()).filePath(QStringLiteral("更新至2013002期历史号码.txt"));
    QCOMPARE(dialogs.opened(), QStringList{path});
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(fileBytes(path), QByteArray("2013001 03 07 09 11 14 \r\n"
                                         "2013002 15 01 10 02 12 \r\n"));
    // A new draw, a new file; the earlier one stays.
    h.append(2013003, {1, 2, 3, 4, 5});
    w.refreshAfterHistoryChange();
    button->click();
    const QString next = QDir(h.folder()).filePath(QStringLiteral("更新至2013003期历史号码.txt"));
    QCOMPARE(dialogs.opened(), (QStringList{path, next}));
    QVERIFY(fileBytes(next).endsWith("2013003 01 02 03 04 05 \r\n"));
    QVERIFY(QFile::exists(path));
}

void FrmMainExportTest::exportSaysWhereTheFileWent_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("file");
    QTest::newRow("text export") << "Command4" << QStringLiteral("更新至2013030期历史号码.txt");
    QTest::newRow("double click") << "MSFlexGrid1" << QStringLiteral("lishi.xls");
    QTest::newRow("chart") << "chartSavePng" << QStringLiteral("结果分布.png");
}

void FrmMainExportTest::exportSaysWhereTheFileWent() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    WindowFixture f(2013001, sampleDraws(30), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    const QString path = QDir(h.folder()).filePath(file);
    if (how == "Command4") {
        child<QPushButton>(w, how)->click();
    } else if (how == "MSFlexGrid1") {
        auto* grid = child<QTableView>(w, how);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualRect(grid->model()->index(0, 1)).center());
    } else {
        child<QPushButton>(w, "Command1")->click();
        dialogs.answerSaveFile(path);
        w.chartView()->findChild<QAction*>(how)->trigger();
    }
    QVERIFY(QFile::exists(path));
    QCOMPARE(dialogs.messages(), 0);
    // The whole path in the status bar, and a link to its folder.
    QCOMPARE(w.statusBar()->currentMessage(), "已保存：" + QDir::toNativeSeparators(path));
    auto* link = child<QLabel>(w, "openExportFolder");
    QVERIFY(link->isVisible());
    dialogs.setOpenerWorks(false);
    emit link->linkActivated("folder");
    QCOMPARE(dialogs.opened().last(), QFileInfo(path).absolutePath());
    QCOMPARE(dialogs.count("warning"), 1); // no program for folders: said
    // The link goes with the next message, whoever shows it.
    w.statusBar()->showMessage(QStringLiteral("已撤销“输入第 2013006 期”"));
    QVERIFY(!link->isVisible());
}

void FrmMainExportTest::textExportRefused_data() {
    QTest::addColumn<bool>("emptyHistory");
    QTest::newRow("empty history") << true;
    QTest::newRow("unwritable folder") << false;
}

void FrmMainExportTest::textExportRefused() {
    QFETCH(bool, emptyHistory);
    TempHistory h;
    if (!emptyHistory)
        h.appendMany(2013001, sampleDraws(5));
    letOthersIn(h.folder());
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    const QStringList before = QDir(h.folder()).entryList(QDir::Files);
    {
        std::optional<ReadOnlyFolder> readOnly;
        if (!emptyHistory)
            readOnly.emplace(h.folder());
        child<QPushButton>(w, "Command4")->click();
    }
    QCOMPARE(dialogs.count("warning"), 1);
    QVERIFY(dialogs.opened().isEmpty());
    QCOMPARE(QDir(h.folder()).entryList(QDir::Files), before);
}

void FrmMainExportTest::exportOverTheHistoryRefused_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("file"); // a link to the history under this name
    QTest::newRow("text export") << "Command4" << QStringLiteral("更新至2013030期历史号码.txt");
    QTest::newRow("double click") << "MSFlexGrid1" << QStringLiteral("lishi.xls");
    QTest::newRow("chart") << "chartSavePng" << QStringLiteral("结果分布.png");
}

void FrmMainExportTest::exportOverTheHistoryRefused() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(30));
    const QString path = QDir(h.folder()).filePath(file);
    QVERIFY(QFile::link(h.store().databasePath(), path));
    WindowOn f(h.folder(), Shown::Exposed);
    auto& [dialogs, w] = f;
    child<QPushButton>(w, "Command1")->click();
    const QStringList before = folderStates(h.folder());
    if (how == "Command4") {
        child<QPushButton>(w, how)->click();
    } else if (how == "MSFlexGrid1") {
        auto* grid = child<QTableView>(w, how);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualRect(grid->model()->index(0, 1)).center());
    } else {
        dialogs.answerSaveFile(path);
        w.chartView()->findChild<QAction*>(how)->trigger();
    }
    QCOMPARE(dialogs.count("warning"), 1);
    QVERIFY2(dialogs.asked().last().text.contains(QDir::toNativeSeparators(path)),
             qPrintable(dialogs.asked().last().text));
    QVERIFY(dialogs.opened().isEmpty());
    QCOMPARE(folderStates(h.folder()), before);
}

void FrmMainExportTest::fileWithoutProgramIsANote_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("opener");
    QTest::addColumn<bool>("closeFirst"); // the window is gone when the opener answers
    const int atOnce = int(ScriptedDialogs::Opener::FailsAtOnce);
    const int later = int(ScriptedDialogs::Opener::FailsLater);
    const QString text = QStringLiteral("更新至2013005期历史号码.txt");
    QTest::newRow("text, no opener") << "Command4" << text << atOnce << false;
    QTest::newRow("text, no program") << "Command4" << text << later << false;
    QTest::newRow("workbook, no opener") << "mnuDcls"
                                         << "lishi.xls" << atOnce << false;
    QTest::newRow("workbook, no program") << "mnuDcls"
                                          << "lishi.xls" << later << false;
    QTest::newRow("workbook, no program, window closed") << "mnuDcls"
                                                         << "lishi.xls" << later << true;
}

void FrmMainExportTest::fileWithoutProgramIsANote() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    QFETCH(int, opener);
    QFETCH(bool, closeFirst);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(5));
    ScriptedDialogs dialogs;
    dialogs.setOpener(ScriptedDialogs::Opener(opener));
    auto w = std::make_unique<frmMain>(h.folder(), &dialogs);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    if (how == "Command4")
        child<QPushButton>(*w, how)->click();
    else
        child<QAction>(*w, how)->trigger();
    const QString path = QDir(h.folder()).filePath(file);
    const QString saved = "已保存：" + QDir::toNativeSeparators(path);
    QCOMPARE(dialogs.opened(), QStringList{path});
    QVERIFY(QFile::exists(path));
    if (opener == int(ScriptedDialogs::Opener::FailsLater)) {
        QCOMPARE(w->statusBar()->currentMessage(), saved);
        if (closeFirst)
            w.reset();
        dialogs.finishOpeners();
        if (closeFirst) {
            QCOMPARE(dialogs.messages(), 0);
            return;
        }
    }
    // The file is saved all the same: a note beside the path, nothing to dismiss.
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(w->statusBar()->currentMessage(), saved + QStringLiteral("　（没有能打开它的程序）"));
    auto* link = child<QLabel>(*w, "openExportFolder");
    QVERIFY(link->isVisible());
    // The folder, asked for by a click, is answered in a message when it opens nowhere.
    emit link->linkActivated("folder");
    dialogs.finishOpeners();
    QCOMPARE(dialogs.opened().last(), QFileInfo(path).absolutePath());
    QCOMPARE(dialogs.count("warning"), 1);
    QVERIFY(dialogs.asked().last().text.contains(QDir::toNativeSeparators(path)));
}

void FrmMainExportTest::gridsExportAsTheyShow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("run"); // the button that fills the grid first
    QTest::addColumn<int>("draws");
    QTest::newRow("mnuDcls") << "menu"
                             << "MSFlexGrid1"
                             << "lishi.xls"
                             << "" << 30;
    QTest::newRow("mnuDcls, empty history: heading only") << "menu"
                                                          << "MSFlexGrid1"
                                                          << "lishi.xls"
                                                          << "" << 0;
    QTest::newRow("double click history") << "cell"
                                          << "MSFlexGrid1"
                                          << "lishi.xls"
                                          << "" << 30;
    QTest::newRow("double click history heading") << "heading"
                                                  << "MSFlexGrid1"
                                                  << "lishi.xls"
                                                  << "" << 30;
    QTest::newRow("double click matches") << "cell"
                                          << "MSFlexGrid2"
                                          << "Jiansuo.xls"
                                          << "Command1" << 30;
    QTest::newRow("double click results") << "cell"
                                          << "MSFlexGrid3"
                                          << "Jieguo.xls"
                                          << "Command1" << 30;
    QTest::newRow("double click empty results: heading only") << "empty"
                                                              << "MSFlexGrid3"
                                                              << "Jieguo.xls"
                                                              << "" << 30;
    QTest::newRow("double click backtest") << "cell"
                                           << "backtestGrid"
                                           << "Huice.xls"
                                           << "backtestButton" << 30;
}

void FrmMainExportTest::gridsExportAsTheyShow() {
    QFETCH(QString, how);
    QFETCH(QString, grid);
    QFETCH(QString, file);
    QFETCH(QString, run);
    QFETCH(int, draws);
    WindowFixture f(2013001, sampleDraws(draws), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    if (!run.isEmpty()) {
        child<QPushButton>(w, run)->click();
        QCOMPARE(dialogs.messages(), 0);
    }
    auto* view = child<QTableView>(w, grid);
    if (!run.isEmpty())
        QVERIFY(view->model()->rowCount() > 0);
    if (how == "menu") {
        child<QAction>(w, "mnuDcls")->trigger();
    } else if (how == "heading") {
        QTest::mouseDClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                           QPoint(view->columnWidth(0) / 2, 5));
    } else {
        // On the first cell, or below the rows of a grid that has none.
        const QPoint at = how == "cell" ? view->visualRect(view->model()->index(0, 1)).center()
                                        : QPoint(10, view->viewport()->height() - 10);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }
    const QString path = QDir(h.folder()).filePath(file);
    QCOMPARE(dialogs.opened(), QStringList{path});
    QCOMPARE(dialogs.messages(), 0);
    QString why;
    const auto cells = readSheetCells(path, QStringLiteral("Sheet1"), &why);
    QVERIFY2(cells, qPrintable(why));
    const QList<QStringList> expected = gridCells(view);
    QCOMPARE(cells->size(), expected.size());
    QCOMPARE(*cells, expected);
    QVERIFY(view->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    // The same grid again replaces the file.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(dialogs.opened(), (QStringList{path, path}));
}

void FrmMainExportTest::sheetExportToUnwritableFolder() {
    TempHistory h;
    h.appendMany(2013001, sampleDraws(5));
    letOthersIn(h.folder());
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    {
        ReadOnlyFolder readOnly(h.folder());
        child<QAction>(w, "mnuDcls")->trigger();
    }
    QCOMPARE(dialogs.count("warning"), 1);
    QVERIFY(dialogs.opened().isEmpty());
    QVERIFY(!QFile::exists(QDir(h.folder()).filePath("lishi.xls")));
    QVERIFY(child<QTableView>(w, "MSFlexGrid1")->isVisibleTo(&w));
    QVERIFY(!QApplication::overrideCursor());
}

void FrmMainExportTest::chartSavedAsPicture_data() {
    QTest::addColumn<QString>("chart"); // the view, and the prefix of its menu's names
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("fromKeyboard");
    QTest::newRow("PNG") << "chart"
                         << "SavePng"
                         << "tally.png"
                         << "tally.png" << false;
    QTest::newRow("PNG, suffix added") << "chart"
                                       << "SavePng"
                                       << "tally"
                                       << "tally.png" << true;
    QTest::newRow("SVG") << "chart"
                         << "SaveSvg"
                         << "tally.svg"
                         << "tally.svg" << false;
    QTest::newRow("SVG, Menu key") << "chart"
                                   << "SaveSvg"
                                   << "tally.SVG"
                                   << "tally.SVG" << true;
    QTest::newRow("backtest PNG") << "backtestChart"
                                  << "SavePng"
                                  << "curve.png"
                                  << "curve.png" << false;
    QTest::newRow("backtest SVG, Menu key") << "backtestChart"
                                            << "SaveSvg"
                                            << "curve"
                                            << "curve.svg" << true;
}

void FrmMainExportTest::chartSavedAsPicture() {
    QFETCH(QString, chart);
    QFETCH(QString, entry);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(bool, fromKeyboard);
    WindowFixture f(2013001, sampleDraws(30), Shown::Active);
    auto& [h, dialogs, w] = f;
    const bool backtest = chart == "backtestChart";
    child<QPushButton>(w, backtest ? "backtestButton" : "Command1")->click();
    QCOMPARE(dialogs.messages(), 0);
    QChartView* view = backtest ? child<QChartView>(w, chart) : w.chartView();

    const QPoint at(40, 30);
    if (fromKeyboard) {
        view->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(view->hasFocus());
        QContextMenuEvent key(QContextMenuEvent::Keyboard, at, view->mapToGlobal(at));
        QCoreApplication::sendEvent(view, &key);
    } else {
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &click);
    }
    auto* menu = view->findChild<QMenu*>(chart + "Menu");
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QTemporaryDir out;
    dialogs.answerSaveFile(out.filePath(typed));
    auto* save = menu->findChild<QAction*>(chart + entry);
    QVERIFY(save);
    save->trigger();
    menu->close();
    QCOMPARE(dialogs.count("save"), 1);
    // Each chart offers a name of its own.
    const QString offered = QDir(h.folder()).filePath(backtest ? "回测曲线" : "结果分布");
    QVERIFY2(dialogs.asked().last().text.startsWith(offered),
             qPrintable(dialogs.asked().last().text));
    QCOMPARE(dialogs.messages(), 0);
    const QString path = out.filePath(written);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    if (entry == "SavePng") {
        QImage image;
        QVERIFY(image.load(path, "PNG"));
        QCOMPARE(image.size() / image.devicePixelRatio(), view->size());
    } else {
        const QByteArray svg = fileBytes(path);
        QVERIFY(svg.startsWith("<?xml") || svg.startsWith("<svg"));
        QVERIFY(svg.contains("<svg"));
        QVERIFY(svg.trimmed().endsWith("</svg>"));
        // The chart's title is drawn as text, not as pixels, and names the drawing whole.
        QVERIFY(QString::fromUtf8(svg).contains(view->chart()->title().left(4)));
        const QString title = backtest ? QStringLiteral("累计命中与随机期望")
                                       : QStringLiteral("结果分布（号码，29 期）");
        QVERIFY2(QString::fromUtf8(svg).contains("<title>" + title + "</title>"),
                 qPrintable(QString::fromUtf8(svg.left(600))));
    }
}

void FrmMainExportTest::chartSaveCancelledWritesNothing() {
    WindowFixture f(2013001, sampleDraws(10));
    auto& [h, dialogs, w] = f;
    const QStringList before = QDir(h.folder()).entryList(QDir::Files);
    child<QAction>(w, "chartSavePng")->trigger(); // no file chosen
    QCOMPARE(dialogs.count("save"), 1);
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(QDir(h.folder()).entryList(QDir::Files), before);
    // A file that cannot be written is said.
    dialogs.answerSaveFile(QDir(h.folder()).filePath("no such folder/tally.png"));
    child<QAction>(w, "chartSaveSvg")->trigger();
    QCOMPARE(dialogs.count("warning"), 1);
}

QTEST_MAIN(FrmMainExportTest)
#include "tst_frmmain_export.moc"

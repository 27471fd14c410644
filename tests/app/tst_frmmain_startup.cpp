#include "app/common/GridWheelScroller.h"
#include "AppTestSupport.h"

#include "settings/ProgramFolder.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSqlQuery>
#include <QtEndian>
#include <QTextBrowser>
#include <QWheelEvent>

#include <sys/stat.h>

using namespace quorvex;
using namespace quorvex::test;

class FrmMainStartupTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstStartDefaults();
    void historyFillsIssueBoxesReferenceAndGrid_data();
    void historyFillsIssueBoxesReferenceAndGrid();
    void storedSettingsAreApplied();
    void damagedHistoryIsReportedAndNeverWritten_data();
    void damagedHistoryIsReportedAndNeverWritten();
    void foreignDatabaseFileIsReportedAndKept();
    void whatLiesAtTheHistoryPathIsKept_data();
    void whatLiesAtTheHistoryPathIsKept();
    void invalidSettingsGiveOneMessage();
    void helpSaysWhatAndWhere();
    void wheelMovesFocusedGridOneRow_data();
    void wheelMovesFocusedGridOneRow();
    void command9PopsUpSettingsMenu();
    void firstFrameIsReportedAndTheProgramQuits_data();
    void firstFrameIsReportedAndTheProgramQuits();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

void FrmMainStartupTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainStartupTest::firstStartDefaults() {
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;

    QCOMPARE(dialogs.asked().size(), 0);
    QVERIFY(QFileInfo::exists(folder.filePath("Quorvex.mdb")));
    QVERIFY(w.isDatabaseOpen());
    QCOMPARE(w.windowTitle(), QString("Quorvex"));

    QVERIFY(child<QRadioButton>(w, "Option1_1")->isChecked()); // 自由位
    QVERIFY(child<QRadioButton>(w, "Option1_3")->isChecked()); // 上期
    QVERIFY(child<QRadioButton>(w, "Option3_0")->isChecked()); // search kind 号码
    QVERIFY(child<QRadioButton>(w, "Option4_0")->isChecked()); // result kind 号码
    QVERIFY(child<QAction>(w, "mnuSxcs_1")->isChecked());
    QVERIFY(!child<QAction>(w, "mnuSxcs_0")->isChecked());
    QVERIFY(child<QAction>(w, "mnuDscs_1")->isChecked());
    QVERIFY(!child<QAction>(w, "mnuDscs_0")->isChecked());
    QCOMPARE(text(w, "MaskEdBox2"), QString("2"));
    QCOMPARE(child<QComboBox>(w, "Combo1")->currentText(), QString("2"));
    QCOMPARE(w.session().settings().IniSerchDay, 3);
    QCOMPARE(w.session().settings().intXianshiLei, 0);

    QCOMPARE(text(w, "Text1"), QString::number(QDate::currentDate().year()) + "001");
    QCOMPARE(w.session().lngNextIssue(), QDate::currentDate().year() * 1000LL + 1);
    QCOMPARE(text(w, "Text4"), QString("0"));

    auto* grid = child<QTableView>(w, "MSFlexGrid1");
    QCOMPARE(grid->model()->rowCount(), 0);
    QCOMPARE(grid->model()->columnCount(), 6);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("期号"));
    QCOMPARE(grid->model()->headerData(5, Qt::Horizontal).toString(), QString("第5码"));
    QCOMPARE(grid->columnWidth(0), 80);
    QCOMPARE(grid->columnWidth(1), 640 / 15);
    // The empty grid says what to do first, where the sample files are; no zeros as reference.
    QDir(folder.path()).mkdir("历史号码");
    QFile sample(folder.filePath("历史号码/示例.txt"));
    QVERIFY(sample.open(QIODevice::WriteOnly));
    sample.close();
    w.refreshAfterHistoryChange();
    auto* hint = child<QLabel>(w, "emptyHistoryHint");
    QVERIFY(hint->isVisibleTo(&w));
    QVERIFY(hint->text().contains("读取历史号文本"));
    QVERIFY(hint->text().contains(QDir::toNativeSeparators(folder.filePath("历史号码"))));
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(text(w, QString("Text2_%1").arg(i)), QString());
    for (int i = 1; i <= 5; ++i)
        QTest::keyClicks(child<QLineEdit>(w, QString("MaskEdBox1_%1").arg(i)),
                         QString("0%1").arg(i));
    QCOMPARE(grid->model()->rowCount(), 1);
    QVERIFY(!hint->isVisibleTo(&w));

    for (const char* name :
         {"Command1", "Command2", "cmdRdLst", "Command3", "Command4", "Command21"})
        QVERIFY2(child<QPushButton>(w, name)->isEnabled(), name);
    for (const char* name : {"mnuDcls", "mnuErase", "mnuClear", "mnuDlzd", "mnuEszhzd"})
        QVERIFY2(child<QAction>(w, name)->isEnabled(), name);
    // The first start writes the option buttons' choices.
    QCOMPARE(rawSetting("bolZyw"), QString("True"));
    QCOMPARE(rawSetting("bolSq"), QString("True"));
}

void FrmMainStartupTest::historyFillsIssueBoxesReferenceAndGrid_data() {
    QTest::addColumn<int>("draws");
    QTest::addColumn<bool>("scrolled");
    QTest::newRow("38 draws: 39 grid rows stay at the top") << 38 << false;
    QTest::newRow("39 draws: 40 grid rows show the newest on top") << 39 << true;
    QTest::newRow("200 draws") << 200 << true;
}

void FrmMainStartupTest::historyFillsIssueBoxesReferenceAndGrid() {
    QFETCH(int, draws);
    QFETCH(bool, scrolled);
    const QVector<Numbers> numbers = sampleDraws(draws);
    const qint64 last = 2013001 + draws - 1;

    WindowFixture f(2013001, numbers, Shown::Exposed);
    auto& [h, dialogs, w] = f;
    QCOMPARE(dialogs.asked().size(), 0);

    QCOMPARE(text(w, "Text1"), QString::number(last + 1));
    QCOMPARE(text(w, "Text3_0"), QString("2013002"));
    QCOMPARE(text(w, "Text3_1"), QString::number(last));
    QCOMPARE(text(w, "Text4"), QString::number(last));
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(text(w, QString("Text2_%1").arg(i)), QString::number(numbers.last()[i - 1]));
        QCOMPARE(w.session().intRefVal()[i - 1], numbers.last()[i - 1]);
    }

    auto* grid = child<QTableView>(w, "MSFlexGrid1");
    QCOMPARE(grid->model()->rowCount(), draws);
    QCOMPARE(cell(grid, 0, 0), QString("2013001"));
    QCOMPARE(cell(grid, 0, 1), QString::number(numbers[0][0]));
    QCOMPARE(cell(grid, draws - 1, 0), QString::number(last));
    QCOMPARE(cell(grid, draws - 1, 5), QString::number(numbers.last()[4]));

    QVERIFY(grid->verticalScrollBar()->maximum() > 0);
    if (scrolled)
        QCOMPARE(gridTopRow(grid), grid->verticalScrollBar()->maximum());
    else
        QCOMPARE(gridTopRow(grid), 0);
}

void FrmMainStartupTest::storedSettingsAreApplied() {
    writeRawSetting("bolZyw", "False");
    writeRawSetting("bolSq", "False");
    writeRawSetting("intPreQi", "3");
    writeRawSetting("intLei", "1");
    writeRawSetting("intXianshiLei", "5");
    writeRawSetting("SxIni", "0");
    writeRawSetting("DsIni", "0");
    writeRawSetting("intZhWSetup", "4");

    WindowFixture f(2013001, sampleDraws(10));
    auto& [h, dialogs, w] = f;
    QVERIFY(child<QRadioButton>(w, "Option1_0")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option1_2")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option3_1")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option4_5")->isChecked());
    QVERIFY(child<QAction>(w, "mnuSxcs_0")->isChecked());
    QVERIFY(child<QAction>(w, "mnuDscs_0")->isChecked());
    QCOMPARE(child<QComboBox>(w, "Combo1")->currentText(), QString("4"));
    // 前3期: the third draw from the end, shown as zodiac names; the start issue is first + 3.
    QCOMPARE(referencePosition(w), 7);
    QCOMPARE(text(w, "Text3_0"), QString("2013004"));
    const auto zodiacs = readHistoryView(w.historyStore()).rows()[7].attributes.kindValues(Zodiac);
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(w.session().intRefVal()[i - 1], zodiacs[i - 1]);
        QCOMPARE(text(w, QString("Text2_%1").arg(i)), strSxName(zodiacs[i - 1] - 0));
    }
}

// A page of the history overwritten: the window says so, names the file, writes nothing and
// offers nothing that writes.
void FrmMainStartupTest::damagedHistoryIsReportedAndNeverWritten_data() {
    QTest::addColumn<bool>("freePages");
    QTest::newRow("a page of draws") << false;
    // The draws still read: only the page check finds it.
    QTest::newRow("the list of free pages") << true;
}

void FrmMainStartupTest::damagedHistoryIsReportedAndNeverWritten() {
    QFETCH(bool, freePages);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(3000));
    if (freePages)
        QVERIFY(QSqlQuery(h.store().database()).exec("DELETE FROM Lishi WHERE SQQH > 2013500"));
    h.store().close();
    const QString path = QDir(h.folder()).filePath("Quorvex.mdb");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() / 4096 > 10);
        // The first page of the free list is named at byte 32 of the file, big-endian.
        QVERIFY(f.seek(32));
        const QByteArray trunk = f.read(4);
        const qint64 page = freePages ? qFromBigEndian<quint32>(trunk.constData()) - 1 : 5;
        QVERIFY(page > 0);
        QVERIFY(f.seek(4096 * page));
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        QCOMPARE(f.write(junk), qint64(junk.size()));
    }
    QFile before(path);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();
    {
        WindowOn f(h.folder());
        auto& [dialogs, w] = f;
        QCOMPARE(dialogs.messages(), 1);
        QVERIFY2(dialogs.asked().first().text.contains(path) &&
                     dialogs.asked().first().text.contains("已损坏"),
                 qPrintable(dialogs.asked().first().text));
        QVERIFY(!child<QLineEdit>(w, "MaskEdBox1_1")->isEnabled());
        QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 0);
        for (const char* name : {"Command1", "Command2", "cmdRdLst", "Command3", "Command21"})
            QVERIFY2(!child<QPushButton>(w, name)->isEnabled(), name);
    }
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), bytes);
}

void FrmMainStartupTest::whatLiesAtTheHistoryPathIsKept_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"dangling link", "pipe", "folder"})
        QTest::newRow(kind) << QString(kind);
}

// A link whose disk is away, a pipe or a folder where the history belongs: the window says so
// and starts empty, and neither creates nor replaces anything there.
void FrmMainStartupTest::whatLiesAtTheHistoryPathIsKept() {
    QFETCH(QString, kind);
    QTemporaryDir folder;
    const QString path = folder.filePath("Quorvex.mdb");
    if (kind == "dangling link")
        QVERIFY(QFile::link(folder.filePath("unplugged/Quorvex.mdb"), path));
    else if (kind == "pipe")
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0666) == 0);
    else
        QVERIFY(QDir().mkdir(path));
    const QStringList before =
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    {
        WindowOn f(folder.path());
        auto& [dialogs, w] = f;
        QVERIFY(!w.isDatabaseOpen());
        QCOMPARE(dialogs.count("warning"), 1);
        QVERIFY2(dialogs.asked().last().text.contains(path),
                 qPrintable(dialogs.asked().last().text));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             before);
    QCOMPARE(QFileInfo(path).isSymLink(), kind == "dangling link");
    QCOMPARE(QFileInfo(path).isDir(), kind == "folder");
}

void FrmMainStartupTest::foreignDatabaseFileIsReportedAndKept() {
    QTemporaryDir folder;
    const QByteArray content("These are my notes, not a history.\n");
    {
        QFile f(folder.filePath("Quorvex.mdb"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    ScriptedDialogs dialogs;
    {
        frmMain w(folder.path(), &dialogs);
        QVERIFY(!w.isDatabaseOpen());
        QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 0);
        QVERIFY(!child<QLineEdit>(w, "MaskEdBox1_1")->isEnabled());
        for (const char* name : {"Command1", "Command2", "cmdRdLst", "Command3"})
            QVERIFY2(!child<QPushButton>(w, name)->isEnabled(), name);
        for (const char* name : {"mnuErase", "mnuClear", "mnuDlzd", "mnuEszhzd"})
            QVERIFY2(!child<QAction>(w, name)->isEnabled(), name);
        // The options still work on the empty history.
        child<QRadioButton>(w, "Option3_2")->click();
        QCOMPARE(w.session().settings().intLei, 2);
    }
    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(dialogs.asked().first().text.contains("Quorvex.mdb"));
    QFile f(folder.filePath("Quorvex.mdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), content);
}

void FrmMainStartupTest::invalidSettingsGiveOneMessage() {
    QTemporaryDir folder;
    writeRawSetting("intLei", "seven");
    writeRawSetting("bolSq", "perhaps");
    // The window's own choices are named in the same message.
    writeRawSetting("backtestTopK", "16", "Window");
    writeRawSetting("ticks0", "1,6", "Window");
    writeRawSetting("geometry", "not a window", "Window");
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    QCOMPARE(dialogs.messages(), 1);
    const QString said = dialogs.asked().first().text;
    for (const char* named : {"intLei=seven", "bolSq=perhaps", "Window/backtestTopK=16",
                              "Window/ticks0=1,6", "Window/geometry"})
        QVERIFY2(said.contains(named), qPrintable(said));
    QCOMPARE(w.session().settings().intLei, 0);
    QVERIFY(w.session().settings().bolSq);
    QCOMPARE(child<QSpinBox>(w, "backtestTopK")->value(), 3);
    QVERIFY(!child<QCheckBox>(w, "Check1_1")->isChecked());
}

// 帮助: the manual inside the program, 关于 with the version, the licence and the paths; the
// choices that change nothing say so where they are pointed at.
void FrmMainStartupTest::helpSaysWhatAndWhere() {
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    child<QAction>(w, "mnuManual")->trigger();
    auto* manual = child<QTextBrowser>(w, "manualText");
    QTRY_VERIFY(manual->isVisible());
    const QString text = manual->toPlainText();
    for (const char* topic :
         {"输入最新一期", "Ctrl+Z", "检索", "组合检索", "回测", "走势", "导出", "设置", "关于"})
        QVERIFY2(text.contains(QString::fromUtf8(topic)), topic);
    QVERIFY(!text.contains("http"));
    child<QAction>(w, "mnuAbout")->trigger();
    QCOMPARE(dialogs.count("information"), 1);
    const QString about = dialogs.asked().last().text;
    for (const QString& said :
         {programVersion(), QStringLiteral("版权所有"),
          QDir::toNativeSeparators(QDir(folder.path()).filePath("Quorvex.mdb")),
          QDir::toNativeSeparators(QDir(folder.path()).filePath(QStringLiteral("历史号码")))})
        QVERIFY2(about.contains(said), qPrintable(about));
    QVERIFY(child<QGroupBox>(w, "frameNumberOrder")->toolTip().contains("不改变任何检索结果"));
    QVERIFY(child<QMenu>(w, "mnuSxsetupMenu")->menuAction()->toolTip().contains("不改变"));
}

void FrmMainStartupTest::wheelMovesFocusedGridOneRow_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("expectedRow");
    QTest::newRow("one notch up") << 10 << 120 << 9;
    QTest::newRow("a large step up still one row") << 10 << 720 << 9;
    QTest::newRow("a fine touchpad step down one row") << 10 << -8 << 11;
    QTest::newRow("a large step down one row") << 10 << -960 << 11;
    QTest::newRow("up at the top stays") << 0 << 120 << 0;
}

void FrmMainStartupTest::wheelMovesFocusedGridOneRow() {
    QFETCH(int, startRow);
    QFETCH(int, delta);
    QFETCH(int, expectedRow);
    WindowFixture f(2013001, sampleDraws(120), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    QApplication::setActiveWindow(&w);
    auto* grid = child<QTableView>(w, "MSFlexGrid1");
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());

    setGridTopRow(grid, startRow);
    QCOMPARE(gridTopRow(grid), startRow);
    const QPointF at(20, 20);
    QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(grid->viewport(), &wheel);
    QCOMPARE(gridTopRow(grid), expectedRow);
}

void FrmMainStartupTest::command9PopsUpSettingsMenu() {
    QTemporaryDir folder;
    WindowOn f(folder.path(), Shown::Exposed);
    auto& [dialogs, w] = f;
    auto* menu = child<QMenu>(w, "mnuSetup");
    QVERIFY(!menu->isVisible());
    child<QPushButton>(w, "Command9")->click();
    QTRY_VERIFY(menu->isVisible());
    menu->close();
}

void FrmMainStartupTest::firstFrameIsReportedAndTheProgramQuits_data() {
    QTest::addColumn<int>("draws");
    QTest::newRow("empty history") << 0;
    QTest::newRow("45 draws") << 45;
}

// QUORVEX_FIRST_FRAME_FD, as the start-up benchmark uses it: the real program, started in the
// history's folder, says how many draws its first frame showed, then quits by itself.
void FrmMainStartupTest::firstFrameIsReportedAndTheProgramQuits() {
    QFETCH(int, draws);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(draws));
    const QString program = QDir(h.folder()).filePath("quorvex");
    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/quorvex", program));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", settingsDir_->path());
    env.insert("QUORVEX_FIRST_FRAME_FD", "1");
    p.setProcessEnvironment(env);
    p.start(program, {});
    QVERIFY2(p.waitForFinished(30000), "the program did not quit after its first frame");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput(), QString("first frame: %1 draws\n").arg(draws).toUtf8());
}

QTEST_MAIN(FrmMainStartupTest)
#include "tst_frmmain_startup.moc"

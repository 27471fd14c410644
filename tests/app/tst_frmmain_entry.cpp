#include "AppTestSupport.h"

#include <QPushButton>

using namespace quorvex;
using namespace quorvex::test;

class FrmMainEntryTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void typedDrawIsStoredAsTyped_data();
    void typedDrawIsStoredAsTyped();
    void invalidDrawIsRefusedAndKept_data();
    void invalidDrawIsRefusedAndKept();
    void refusedDrawCanBeCorrected_data();
    void refusedDrawCanBeCorrected();
    void clearingAfterStoreDoesNotStoreAgain();
    void failedStoreKeepsTheBoxes();
    void zodiacYearFollowsText1_data();
    void zodiacYearFollowsText1();
    void importReplacesHistory();
    void importThatChangesNothing_data();
    void importThatChangesNothing();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

QLineEdit* entryBox(frmMain& w, int i) {
    return child<QLineEdit>(w, QString("MaskEdBox1_%1").arg(i));
}

// Each box's keys; "<Enter>" or "<Tab>" at the end presses that key after the digits, which in
// a shown window must then leave the focus in the next box.
void typeDraw(frmMain& w, const QStringList& boxes) {
    for (int i = 1; i <= 5; ++i) {
        QString keys = boxes[i - 1];
        std::optional<Qt::Key> last;
        for (const auto& [name, key] :
             {std::pair{QStringLiteral("<Enter>"), Qt::Key_Return}, {"<Tab>", Qt::Key_Tab}})
            if (keys.endsWith(name)) {
                keys.chop(name.size());
                last = key;
            }
        QTest::keyClicks(entryBox(w, i), keys);
        if (!last)
            continue;
        QTest::keyClick(entryBox(w, i), *last);
        if (i < 5 && w.isActiveWindow())
            QCOMPARE(QApplication::focusWidget(), entryBox(w, i + 1));
    }
}

QStringList shownBoxes(frmMain& w) {
    QStringList shown;
    for (int i = 1; i <= 5; ++i)
        shown << entryBox(w, i)->displayText();
    return shown;
}

const QString kConfirmation = QStringLiteral(
    "确实要读入最新历史号码吗？点击'确认'读入,点击'取消'放弃该操作。确要读入请保证安装目录下存在"
    "历史号码的文本文件文件。读取时可能要花费一段时间,请耐心等候！");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(f.fileName()));
    f.write(content);
    return f.fileName();
}

} // namespace

void FrmMainEntryTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainEntryTest::typedDrawIsStoredAsTyped_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<Numbers>("stored");
    QTest::addColumn<int>("questions"); // answered: store it
    QTest::newRow("ascending") << QStringList{"03", "07", "09", "11", "14"}
                               << Numbers{3, 7, 9, 11, 14} << 0;
    QTest::newRow("descending order is kept")
        << QStringList{"15", "12", "08", "04", "01"} << Numbers{15, 12, 8, 4, 1} << 0;
    QTest::newRow("one digit in box 3")
        << QStringList{"01", "02", "7", "10", "13"} << Numbers{1, 2, 7, 10, 13} << 0;
    QTest::newRow("one digit and Enter in box 5")
        << QStringList{"01", "02", "04", "06", "8<Enter>"} << Numbers{1, 2, 4, 6, 8} << 0;
    QTest::newRow("one digit and Tab in box 5")
        << QStringList{"01", "02", "04", "06", "8<Tab>"} << Numbers{1, 2, 4, 6, 8} << 0;
    QTest::newRow("one digit and Enter in box 2")
        << QStringList{"01", "5<Enter>", "09", "11", "13"} << Numbers{1, 5, 9, 11, 13} << 0;
    QTest::newRow("one digit and Tab in every box")
        << QStringList{"1<Tab>", "2<Tab>", "4<Tab>", "6<Tab>", "8<Tab>"} << Numbers{1, 2, 4, 6, 8}
        << 0;
    QTest::newRow("the last draw again: asked, stored")
        << QStringList{"14", "02", "05", "08", "11"} << Numbers{14, 2, 5, 8, 11} << 1;
    QTest::newRow("the last draw's numbers in another order: not asked")
        << QStringList{"02", "14", "05", "08", "11"} << Numbers{2, 14, 5, 8, 11} << 0;
}

void FrmMainEntryTest::typedDrawIsStoredAsTyped() {
    QFETCH(QStringList, typed);
    QFETCH(Numbers, stored);
    QFETCH(int, questions);
    QCOMPARE(sampleDraws(44).last(), (Numbers{14, 2, 5, 8, 11}));
    WindowFixture f(2013001, sampleDraws(44), Shown::Active);
    auto& [h, dialogs, w] = f;
    dialogs.answerQuestion(true);
    typeDraw(w, typed);
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(dialogs.count("question"), questions);
    if (questions)
        QVERIFY2(dialogs.asked().last().text.contains("第 2013044 期"),
                 qPrintable(dialogs.asked().last().text));
    QCOMPARE(h.store().drawCount(), qint64(45));
    QCOMPARE(readHistoryView(w.historyStore()).last()->issue, qint64(2013045));
    QCOMPARE(readHistoryView(w.historyStore()).last()->attributes.numbers(), stored);
    QCOMPARE(text(w, "Text1"), QString("2013046"));
    QCOMPARE(text(w, "Text3_1"), QString("2013045"));
    QCOMPARE(shownBoxes(w), QStringList(5, "__"));
    // The new draw is the reference draw.
    QCOMPARE(w.session().intRefVal(), stored);
    // The previous draw's codes are chained in.
    QCOMPARE(h.text(2013045, "txtHisLst"), numberList(sampleDraws(44).last()));
}

void FrmMainEntryTest::invalidDrawIsRefusedAndKept_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("repeated number") << QStringList{"03", "03", "05", "07", "09"} << "都是 3";
    QTest::newRow("16") << QStringList{"16", "02", "05", "07", "09"} << "16 不在 1 到 15";
    QTest::newRow("00") << QStringList{"01", "02", "05", "07", "00"} << "0 不在 1 到 15";
    QTest::newRow("empty box") << QStringList{"01", "", "05", "07", "09"} << "第2码 0";
}

void FrmMainEntryTest::invalidDrawIsRefusedAndKept() {
    QFETCH(QStringList, typed);
    QFETCH(QString, reason);
    WindowFixture f(2013001, sampleDraws(10));
    auto& [h, dialogs, w] = f;
    typeDraw(w, typed);
    QCOMPARE(dialogs.messages(), 1);
    QVERIFY2(dialogs.asked().last().text.contains(reason), qPrintable(dialogs.asked().last().text));
    QCOMPARE(h.store().drawCount(), qint64(10));
    QCOMPARE(text(w, "Text1"), QString("2013011"));
    QStringList kept;
    for (const QString& t : typed)
        kept << (t + "__").left(2);
    QCOMPARE(shownBoxes(w), kept);
}

void FrmMainEntryTest::refusedDrawCanBeCorrected_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("named"); // what the message asks to correct
    QTest::addColumn<int>("selected");  // the box offered for the correction
    QTest::addColumn<int>("corrected"); // the box the user corrects
    QTest::addColumn<QString>("keys");  // "!" first: a digit into the full box, unselected
    QTest::addColumn<QVector<int>>("stored");
    QTest::newRow("box 5 repeats box 1, box 5 retyped")
        << QStringList{"03", "05", "07", "09", "03"} << "请改正第1码或第5码" << 5 << 5 << "11"
        << QVector<int>{3, 5, 7, 9, 11};
    QTest::newRow("box 5 repeats box 1, box 1 retyped")
        << QStringList{"03", "05", "07", "09", "03"} << "请改正第1码或第5码" << 5 << 1 << "12"
        << QVector<int>{12, 5, 7, 9, 3};
    QTest::newRow("box 2 repeats box 1")
        << QStringList{"03", "03", "05", "07", "09"} << "第1码和第2码相同（都是 3）" << 2 << 2
        << "04" << QVector<int>{3, 4, 5, 7, 9};
    QTest::newRow("16, then digits into the full box")
        << QStringList{"01", "02", "03", "04", "16"} << "请改正第5码" << 5 << 5 << "!78|14"
        << QVector<int>{1, 2, 3, 4, 14};
    // Not stored unless the user says so, then corrected like a refused draw.
    QTest::newRow("the last draw again, declined, box 5 retyped")
        << QStringList{"10", "13", "01", "04", "07"} << "上一期（第 2013010 期）" << 5 << 5 << "09"
        << QVector<int>{10, 13, 1, 4, 9};
}

void FrmMainEntryTest::refusedDrawCanBeCorrected() {
    QFETCH(QStringList, typed);
    QFETCH(QString, named);
    QFETCH(int, selected);
    QFETCH(int, corrected);
    QFETCH(QString, keys);
    QFETCH(QVector<int>, stored);
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    typeDraw(w, typed);
    QCOMPARE(dialogs.asked().size(), 1);
    QVERIFY2(dialogs.asked().last().text.contains(named), qPrintable(dialogs.asked().last().text));
    QCOMPARE(QApplication::focusWidget(), entryBox(w, selected));
    QCOMPARE(entryBox(w, selected)->selectedText(), typed[selected - 1]);
    if (keys.startsWith('!')) {
        // Digits typed at the end of the full box change nothing and ask nothing again.
        entryBox(w, selected)->setCursorPosition(2);
        QTest::keyClicks(entryBox(w, selected), keys.mid(1, keys.indexOf('|') - 1));
        QCOMPARE(dialogs.asked().size(), 1);
        keys = keys.mid(keys.indexOf('|') + 1);
    }
    QLineEdit* box = entryBox(w, corrected);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, keys);
    QCOMPARE(dialogs.asked().size(), 1);
    QCOMPARE(h.store().drawCount(), qint64(11));
    const Numbers numbers = readHistoryView(w.historyStore()).last()->attributes.numbers();
    QCOMPARE(QVector<int>(numbers.begin(), numbers.end()), stored);
    QCOMPARE(shownBoxes(w), QStringList(5, "__"));
}

void FrmMainEntryTest::clearingAfterStoreDoesNotStoreAgain() {
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    typeDraw(w, {"01", "02", "03", "04", "05"});
    QCOMPARE(h.store().drawCount(), qint64(11));
    QCOMPARE(QApplication::focusWidget(), entryBox(w, 1));

    // Texts set by the program, not typed, neither store nor move the focus.
    for (int i = 1; i <= 5; ++i)
        entryBox(w, i)->setText(QString("%1").arg(i + 5, 2, 10, QChar('0')));
    QCOMPARE(h.store().drawCount(), qint64(11));
    QCOMPARE(QApplication::focusWidget(), entryBox(w, 1));

    // Typing makes the boxes live again: the next draw goes under the next issue.
    for (int i = 1; i <= 5; ++i)
        entryBox(w, i)->clear();
    typeDraw(w, {"11", "12", "13", "14", "15"});
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(h.store().drawCount(), qint64(12));
    QCOMPARE(readHistoryView(w.historyStore()).last()->issue, qint64(2013012));
}

// Another program added the issue the window was about to store.
void FrmMainEntryTest::failedStoreKeepsTheBoxes() {
    WindowFixture f(2013001, sampleDraws(10));
    auto& [h, dialogs, w] = f;
    h.append(2013011, {1, 2, 3, 4, 5});
    typeDraw(w, {"06", "07", "08", "09", "10"});
    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(dialogs.asked().last().text.contains("2013011"));
    QCOMPARE(h.store().drawCount(), qint64(11));
    QCOMPARE(h.store().lastDraw()->attributes.numbers(), (Numbers{1, 2, 3, 4, 5}));
    QCOMPARE(shownBoxes(w), (QStringList{"06", "07", "08", "09", "10"}));
}

void FrmMainEntryTest::zodiacYearFollowsText1_data() {
    QTest::addColumn<QString>("text1");
    QTest::addColumn<int>("zodiacYear");
    QTest::newRow("as shown") << "" << 2013;
    QTest::newRow("another issue typed") << "2012100" << 2012;
    QTest::newRow("not a number: the issue stored") << "abc" << 2013;
}

void FrmMainEntryTest::zodiacYearFollowsText1() {
    QFETCH(QString, text1);
    QFETCH(int, zodiacYear);
    WindowFixture f(2013050, sampleDraws(5));
    auto& [h, dialogs, w] = f;
    if (!text1.isEmpty())
        child<QLineEdit>(w, "Text1")->setText(text1);
    typeDraw(w, {"01", "05", "09", "13", "15"});
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(readHistoryView(w.historyStore()).last()->issue, qint64(2013055));
    const DrawAttributes expected =
        deriveAttributes({1, 5, 9, 13, 15}, ZodiacYear(zodiacYear), w.valueBases());
    QCOMPARE(readHistoryView(w.historyStore()).last()->attributes.kindValues(Zodiac),
             expected.kindValues(Zodiac));
    QCOMPARE(text(w, "Text1"), QString("2013056"));
}

void FrmMainEntryTest::importReplacesHistory() {
    WindowFixture f(2013001, sampleDraws(12));
    auto& [h, dialogs, w] = f;
    QTemporaryDir files;
    const QString path = writeFile(files, "new.TXT",
                                   "2020001 01 02 03 04 05 \r\n"
                                   "2020002 06 07 08 09 10 \r\n"
                                   "2020003 03 03 04 05 06 \r\n"
                                   "2020004 11 12 13 14 15 \r\n");
    dialogs.answerQuestion(true);
    dialogs.answerOpenFile(path);
    child<QPushButton>(w, "cmdRdLst")->click();

    // The file is chosen first; the question then says what replaces what, and a file with a
    // line left out asks with a warning, naming the line.
    QCOMPARE(dialogs.asked().size(), 3);
    QCOMPARE(dialogs.asked()[0].kind, QString("open"));
    QCOMPARE(dialogs.asked()[0].text, QDir(h.folder()).filePath("历史号码") + "|" +
                                          QString("文本文件 (*.txt);;历史号码副本 (*.undo)"));
    QCOMPARE(dialogs.asked()[1].kind, QString("warning question"));
    QCOMPARE(dialogs.asked()[1].title, QString("读入历史"));
    for (const QString& part :
         {kConfirmation,
          QString("现有的 12 期历史号码（第 2013001 至 2013012 期）将被文件中的 3 期"
                  "（第 2020001 至 2020004 期）替换，替换前会先保存一份副本。"),
          QString("文件中有 1 行没有照原样读入：\n第 3 行：号码 03 重复（2020003 03 03 04 05 06）"),
          QString("缺第 2020003 期")})
        QVERIFY2(dialogs.asked()[1].text.contains(part), qPrintable(dialogs.asked()[1].text));
    QCOMPARE(dialogs.asked()[2].kind, QString("information"));
    QVERIFY(dialogs.asked()[2].text.contains("已读入 3 期"));
    QVERIFY(dialogs.asked()[2].text.contains("第 3 行"));

    auto* grid = child<QTableView>(w, "MSFlexGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(cell(grid, 0, 0), QString("2020001"));
    QCOMPARE(cell(grid, 2, 0), QString("2020004"));
    QCOMPARE(text(w, "Text1"), QString("2020005"));
    QCOMPARE(text(w, "Text3_0"), QString("2020002"));
    QCOMPARE(text(w, "Text3_1"), QString("2020004"));
    QCOMPARE(w.session().intRefVal(), (RefValues{11, 12, 13, 14, 15}));
    QCOMPARE(h.store().drawCount(), qint64(3));
}

void FrmMainEntryTest::importThatChangesNothing_data() {
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("fileName"); // empty: no file chosen
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("messages");
    QTest::newRow("cancelled") << false << "a.txt" << QByteArray("2020001 01 02 03 04 05") << 0;
    // Cancel is the default of the warning.
    QTest::newRow("a line left out, cancelled")
        << false << "a.txt"
        << QByteArray("2020001 01 02 03 04 05\r\n20200025 06 07 08 09 10\r\n2020003 01 02 03 "
                      "04 05\r\n")
        << 0;
    QTest::newRow("no file chosen") << true << "" << QByteArray() << 0;
    QTest::newRow("not a .txt file")
        << true << "a.csv" << QByteArray("2020001 01 02 03 04 05") << 0;
    QTest::newRow("empty file") << true << "empty.txt" << QByteArray() << 1;
    QTest::newRow("binary file") << true << "bin.txt" << QByteArray("\x00\x01\x02\xff", 4) << 1;
    QTest::newRow("no usable line")
        << true << "bad.txt" << QByteArray("2020001 01 02\r\nhello\r\n") << 1;
}

void FrmMainEntryTest::importThatChangesNothing() {
    QFETCH(bool, confirm);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(int, messages);
    WindowFixture f(2013001, sampleDraws(12));
    auto& [h, dialogs, w] = f;
    QTemporaryDir files;
    dialogs.answerQuestion(confirm);
    if (!fileName.isEmpty())
        dialogs.answerOpenFile(writeFile(files, fileName, content));
    child<QPushButton>(w, "cmdRdLst")->click();

    QCOMPARE(dialogs.count("open"), 1);
    const bool readable = !messages && fileName.endsWith(".txt");
    QCOMPARE(dialogs.count("question") + dialogs.count("warning question"), readable ? 1 : 0);
    QCOMPARE(dialogs.count("warning question"), content.contains("20200025") ? 1 : 0);
    QCOMPARE(dialogs.messages(), messages);
    if (messages)
        QCOMPARE(dialogs.count("warning"), 1);
    QCOMPARE(h.store().drawCount(), qint64(12));
    QCOMPARE(h.store().lastDraw()->issue, qint64(2013012));
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 12);
    QCOMPARE(text(w, "Text1"), QString("2013013"));
}

QTEST_MAIN(FrmMainEntryTest)
#include "tst_frmmain_entry.moc"

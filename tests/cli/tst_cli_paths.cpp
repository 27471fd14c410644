// quorvex-cli where the history file should be: nothing, a dangling link, a pipe, a folder or a
// device; and reads after a writer was killed at a random moment.
#include "CliHome.h"
#include "FileFacts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace quorvex::test;

namespace {

const QStringList kKinds{"nothing", "dangling link", "pipe", "folder", "device"};

// Puts one kind of path where the history file belongs.
bool place(const CliHome& home, const QString& kind) {
    const QByteArray path = QFile::encodeName(home.databasePath());
    if (kind == "dangling link")
        return QFile::link(QDir(home.path()).filePath("unplugged/Quorvex.mdb"),
                           home.databasePath());
    if (kind == "pipe")
        return ::mkfifo(path.constData(), 0666) == 0;
    if (kind == "folder")
        return QDir().mkdir(home.databasePath());
    if (kind == "device")
        return QFile::link(QStringLiteral("/dev/null"), home.databasePath());
    return true;
}

// What the folder holds, links and pipes included, as names with their kinds.
QStringList folderState(const CliHome& home) {
    QStringList out;
    const QFileInfoList entries =
        QDir(home.folder()).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries)
        out << e.fileName() + (e.isSymLink() ? " -> " + e.symLinkTarget() : QString()) +
                   (e.isDir()    ? "/"
                    : e.isFile() ? ""
                                 : "*");
    return out;
}

} // namespace

class CliPathsTest : public QObject {
    Q_OBJECT
private slots:
    void readsLeaveWhatIsThere_data();
    void readsLeaveWhatIsThere();
    void writesNeverReplaceWhatIsThere_data();
    void writesNeverReplaceWhatIsThere();
    void readsAfterKilledWritesAnswer();
    void writeAheadFileIsReadWithoutTraces();
};

void CliPathsTest::readsLeaveWhatIsThere_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("command");
    const QList<QStringList> reads{{"list"},
                                   {"next-issue"},
                                   {"search"},
                                   {"combo", "--k", "2"},
                                   {"export-text"},
                                   {"export-sheet", "history"},
                                   {"export-sheet", "results"}};
    for (const QString& kind : kKinds)
        for (const QStringList& read : reads)
            QTest::newRow(qPrintable(kind + ": " + read.join(' '))) << kind << read;
}

// A read says what it found, in one line and at once, and creates, replaces or opens nothing.
void CliPathsTest::readsLeaveWhatIsThere() {
    QFETCH(QString, kind);
    QFETCH(QStringList, command);
    CliHome home;
    QVERIFY(home.isValid() && place(home, kind));
    const QStringList before = folderState(home);
    QElapsedTimer timer;
    timer.start();
    const CliResult r = home.run(command);
    QVERIFY2(timer.elapsed() < 2000, "a read waited on what lies at the history's path");
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.count('\n') == 1, qPrintable(r.err));
    QVERIFY2(r.err.contains("Quorvex.mdb"), qPrintable(r.err));
    QCOMPARE(folderState(home), before);
}

void CliPathsTest::writesNeverReplaceWhatIsThere_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("command");
    for (const QString& kind : kKinds.mid(1) + QStringList{"link to a history"}) {
        QTest::newRow(qPrintable(kind + ": append"))
            << kind << QStringList{"append", "1", "2", "3", "4", "5"};
        QTest::newRow(qPrintable(kind + ": import")) << kind << QStringList{"import", "h.txt"};
        QTest::newRow(qPrintable(kind + ": compact")) << kind << QStringList{"compact"};
    }
    QTest::newRow("link to a history: undo") << "link to a history" << QStringList{"undo"};
}

void CliPathsTest::writesNeverReplaceWhatIsThere() {
    QFETCH(QString, kind);
    QFETCH(QStringList, command);
    CliHome home;
    QVERIFY(home.isValid());
    // A history of its own, with a step, moved out of the folder and linked to: the history and
    // the copies beside the link would part if it were written through.
    const QString real = QDir(home.path()).filePath("real.mdb");
    if (kind == "link to a history") {
        QCOMPARE(home.run({"import", home.writeFile("first.txt", historyText(20, 3))}).code, 0);
        QVERIFY(QFile::rename(home.databasePath(), real) && QFile::link(real, home.databasePath()));
    }
    QVERIFY(place(home, kind));
    if (command.first() == "import")
        command.last() = home.writeFile("h.txt", historyText(10, 1));
    const QStringList before = folderState(home);
    const QByteArray realBytes = readAll(real);
    const CliResult r = home.run(command);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("Quorvex.mdb") && r.err.count('\n') == 1, qPrintable(r.err));
    QCOMPARE(folderState(home), before);
    QCOMPARE(readAll(real), realBytes);
    // Read through the link, it answers.
    if (kind == "link to a history")
        QCOMPARE(home.run({"list"}).code, 0);
}

// A history another tool left in write-ahead mode: reads leave no log or index beside it, and
// the next write takes it back to a rollback journal.
void CliPathsTest::writeAheadFileIsReadWithoutTraces() {
    CliHome home;
    QVERIFY(home.isValid());
    QCOMPARE(home.run({"import", home.writeFile("h.txt", historyText(50, 4))}).code, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "wal");
        db.setDatabaseName(home.databasePath());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA journal_mode = WAL") && q.next());
        QCOMPARE(q.value(0).toString(), QString("wal"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("wal");
    const QStringList before = folderState(home);
    for (const QStringList& read :
         {QStringList{"list"}, QStringList{"search"}, QStringList{"trend"}, {"next-issue"}}) {
        const CliResult r = home.run(read);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(folderState(home), before);
    }
    QCOMPARE(home.run({"append", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(folderState(home), before);
}

// An import killed at a random moment may leave its journal behind. A reader that may write
// the file rolls it back and answers on the history before or after the import; one that may
// not says so and changes nothing.
void CliPathsTest::readsAfterKilledWritesAnswer() {
    CliHome home;
    QVERIFY(home.isValid());
    const QString small = home.writeFile("small.txt", historyText(2000, 1));
    const QString large = home.writeFile("large.txt", historyText(40000, 2));
    QCOMPARE(home.run({"import", large}).code, 0);
    const QString afterList = home.run({"list", "--format", "csv"}).out;
    QCOMPARE(home.run({"import", small}).code, 0);
    const QString beforeList = home.run({"list", "--format", "csv"}).out;
    QVERIFY(afterList != beforeList);

    int interrupted = 0, refused = 0;
    for (int round = 0; round < 8; ++round) {
        QCOMPARE(home.run({"import", small}).code, 0);
        QProcess writer;
        const QStringList command = home.command({"import", large});
        writer.start(command.first(), command.mid(1));
        QVERIFY(writer.waitForStarted());
        QTest::qSleep(30 + QRandomGenerator::global()->bounded(400));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(60000));

        const QString journal = home.databasePath() + "-journal";
        const bool leftover = QFileInfo(journal).size() > 0;
        interrupted += leftover;
        // nobody may not write the file: it answers, or says what must happen, and changes
        // nothing.
        const QByteArray file = fileHash(home.databasePath());
        CliResult r = home.run({"list", "--format", "csv"}, true);
        if (r.code == 0) {
            QVERIFY(r.out == beforeList || r.out == afterList);
        } else {
            ++refused;
            QCOMPARE(r.code, 1);
            QVERIFY2(runsAsRoot() && r.err.contains("中断"), qPrintable(r.err));
            QCOMPARE(fileHash(home.databasePath()), file);
            QCOMPARE(QFileInfo(journal).size() > 0, leftover);
        }
        // Whoever may write it: every read answers.
        for (const QStringList& read : {QStringList{"search"}, QStringList{"export-text"},
                                        QStringList{"list", "--format", "csv"}}) {
            r = home.run(read);
            QVERIFY2(r.code == 0, qPrintable(read.join(' ') + ": " + r.err));
        }
        QVERIFY(r.out == beforeList || r.out == afterList);
    }
    qInfo("%d of 8 killed imports left their journal behind; %d reads that could not roll it back "
          "refused",
          interrupted, refused);
}

QTEST_GUILESS_MAIN(CliPathsTest)
#include "tst_cli_paths.moc"

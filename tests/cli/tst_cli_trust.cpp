// quorvex-cli beside other quorvex-cli processes, on damaged files and on files it may not
// write: what it reports is what is stored, and a wrong answer never exits 0.
#include "CliHome.h"
#include "FileFacts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <QtTest>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quorvex::test;
using Result = CliResult;

// Whether process pid holds a lock on the file at path (Linux's table of file locks).
bool holdsLock(qint64 pid, const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray inode = ':' + QByteArray::number(quint64(st.st_ino)) + ' ';
    const QByteArray owner = ' ' + QByteArray::number(pid) + ' ';
    for (const QByteArray& line : locks.readAll().split('\n'))
        if (line.contains(inode) && line.contains(owner))
            return true;
    return false;
}

// The state letter of a process (R, S, T for stopped, Z when it ended), 0 when there is none.
char processState(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype at = line.lastIndexOf(')');
    return at > 0 && at + 2 < line.size() ? line[at + 2] : 0;
}

} // namespace

class CliTrustTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void compactionBesideAppendsKeepsEveryAcknowledgedDraw();
    void searchBesideImportIsRightOrRefused();
    void damagedPageIsReportedAndNothingWritten_data();
    void damagedPageIsReportedAndNothingWritten();
    void readOnlyHistoryIsReadAndNeverWritten_data();
    void readOnlyHistoryIsReadAndNeverWritten();
    void pausedReadHoldsNoLock_data();
    void pausedReadHoldsNoLock();
    void lockedHistoryIsSaidAsSuch();

private:
    Result cli(const QStringList& arguments, bool unprivileged = false) {
        return home_->run(arguments, unprivileged);
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        return home_->writeFile(name, bytes);
    }
    void import(const QString& file);

    std::unique_ptr<CliHome> home_;
    QString folder_;
};

void CliTrustTest::init() {
    home_ = std::make_unique<CliHome>();
    QVERIFY(home_->isValid());
    folder_ = home_->folder();
}

void CliTrustTest::import(const QString& file) {
    const Result r = cli({QStringLiteral("import"), file});
    QVERIFY2(r.code == 0, qPrintable(r.err));
}

void CliTrustTest::compactionBesideAppendsKeepsEveryAcknowledgedDraw() {
    import(writeFile(QStringLiteral("h.txt"), historyText(3000, 1)));

    // Compactions back to back in another process until told to stop, one line per success.
    const QString stop = QDir(home_->path()).filePath(QStringLiteral("stop"));
    QProcess compactor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               QDir(home_->path()).filePath(QStringLiteral("config")));
    compactor.setProcessEnvironment(env);
    compactor.start(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("while [ ! -e \"$1\" ]; do \"$2\" --dir \"$3\" compact "
                                    ">/dev/null && echo done; done"),
                     QStringLiteral("sh"), stop, QStringLiteral(QUORVEX_CLI_PATH), folder_});
    QVERIFY(compactor.waitForStarted());

    int acknowledged = 0;
    QSet<QString> issues;
    for (int i = 0; i < 40; ++i) {
        const Result r = cli({QStringLiteral("append"), "1", "2", "3", "4", "5"});
        if (r.code == 0) {
            ++acknowledged;
            issues.insert(r.out.trimmed());
        } else {
            // Refusing is allowed; saying nothing is not.
            QVERIFY2(r.code == 1 && r.err.startsWith(QStringLiteral("quorvex-cli: ")),
                     qPrintable(r.err));
        }
    }
    QFile stopFile(stop);
    QVERIFY(stopFile.open(QIODevice::WriteOnly));
    QVERIFY(compactor.waitForFinished(120000));
    const int compactions = int(compactor.readAllStandardOutput().count("done"));

    QCOMPARE(issues.size(), acknowledged); // no issue handed out twice
    const Result count =
        cli({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")});
    QCOMPARE(count.code, 0);
    QCOMPARE(count.out.count(QLatin1Char('\n')) - 1, 3000 + acknowledged);
    QVERIFY2(acknowledged >= 30, "the appends should mostly get their turn");
    QVERIFY2(compactions > 0, "no compaction ran beside the appends");
    qInfo("%d appends acknowledged and stored beside %d compactions", acknowledged, compactions);
}

void CliTrustTest::searchBesideImportIsRightOrRefused() {
    const QString small = writeFile(QStringLiteral("small.txt"), historyText(5000, 2));
    const QString large = writeFile(QStringLiteral("large.txt"), historyText(60000, 3));
    import(large);
    const Result onLarge = cli({QStringLiteral("search")});
    import(small);
    const Result onSmall = cli({QStringLiteral("search")});
    QCOMPARE(onLarge.code, 0);
    QCOMPARE(onSmall.code, 0);
    QVERIFY(onLarge.out != onSmall.out);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               QDir(home_->path()).filePath(QStringLiteral("config")));
    int answered = 0;
    for (int round = 0; round < 5; ++round) {
        import(small);
        QProcess importer;
        importer.setProcessEnvironment(env);
        importer.start(QStringLiteral(QUORVEX_CLI_PATH),
                       {QStringLiteral("--dir"), folder_, QStringLiteral("import"), large});
        QVERIFY(importer.waitForStarted());
        QTest::qSleep(50 + QRandomGenerator::global()->bounded(500));
        const Result r = cli({QStringLiteral("search")});
        // The search's wait runs the event loop, which may already have seen the import end.
        QVERIFY(importer.state() == QProcess::NotRunning || importer.waitForFinished(120000));
        QCOMPARE(importer.exitCode(), 0);
        if (r.code == 0) {
            ++answered;
            QVERIFY2(r.out == onSmall.out || r.out == onLarge.out,
                     "a search answered on neither history");
        } else {
            QCOMPARE(r.code, 1);
            QVERIFY(r.out.isEmpty());
            QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
        }
    }
    qInfo("%d of 5 searches beside an import answered, the rest refused", answered);
}

void CliTrustTest::pausedReadHoldsNoLock_data() {
    QTest::addColumn<QStringList>("command");
    QTest::newRow("a long backtest")
        << QStringList{"backtest", "--last", "20000", "--combo", "3", "--summary"};
    // Its output is never read: the list stalls on the full pipe.
    QTest::newRow("a list stalled on a full pipe") << QStringList{"list"};
}

// A read takes the history in one short read and computes or prints holding no lock: paused
// at a moment it holds none (found while it runs), an append beside it commits at once.
void CliTrustTest::pausedReadHoldsNoLock() {
    QFETCH(QStringList, command);
    import(writeFile(QStringLiteral("h.txt"), historyText(20000, 4)));
    QProcess reader;
    pid_t pid = 0;
    // No event loop from here on, so nothing drains the reader's output. The backtest is caught
    // reading first, so that the pause falls after its read; its read is short, and a busy
    // machine may look only after it, so it runs again until caught. The list is waited for
    // until it stalls on the pipe.
    QElapsedTimer running;
    for (int attempt = 0;; ++attempt) {
        reader.start(QStringLiteral(QUORVEX_CLI_PATH), QStringList{"--dir", folder_} + command);
        QVERIFY(reader.waitForStarted());
        pid = pid_t(reader.processId());
        running.start();
        if (command.first() != QLatin1String("backtest"))
            break;
        bool seen = false;
        // Ended: a zombie, or already reaped.
        auto ended = [pid] { return processState(pid) == 'Z' || processState(pid) == 0; };
        while (!(seen = holdsLock(pid, home_->databasePath())) && !ended() &&
               running.elapsed() < 30000)
            QTest::qSleep(1);
        if (seen)
            break;
        reader.waitForFinished();
        QVERIFY2(attempt < 20, "the backtest was never seen reading");
    }
    if (command.first() != QLatin1String("backtest")) {
        auto waitsOnPipe = [pid] {
            QFile wchan(QStringLiteral("/proc/%1/wchan").arg(pid));
            return wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("pipe");
        };
        while (!waitsOnPipe() && running.elapsed() < 3000)
            QTest::qSleep(10);
    }
    bool paused = false;
    for (int i = 0; i < 1000 && !paused && processState(pid) != 'Z'; ++i) {
        QTest::qSleep(10);
        ::kill(pid, SIGSTOP);
        // The stop lands a moment later on a busy machine; stopped, not ended: a finished
        // process holds no lock either.
        for (int wait = 0; wait < 200 && processState(pid) != 'T' && processState(pid) != 'Z';
             ++wait)
            QTest::qSleep(1);
        paused = processState(pid) == 'T' && !holdsLock(pid, home_->databasePath());
        if (!paused)
            ::kill(pid, SIGCONT);
    }
    QVERIFY2(paused, "the read held its lock for as long as it ran");
    QElapsedTimer timer;
    timer.start();
    const Result r = cli({QStringLiteral("append"), "1", "2", "3", "4", "5"});
    const qint64 ms = timer.elapsed();
    ::kill(pid, SIGCONT);
    reader.kill();
    reader.waitForFinished();
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(ms < 5000, qPrintable(QString::number(ms)));
}

// Another program holding the file: a read beside a write, and a write beside a read, each wait
// their time, then say that the history is in use, not that it is no history, and change
// nothing.
void CliTrustTest::lockedHistoryIsSaidAsSuch() {
    import(writeFile(QStringLiteral("h.txt"), historyText(50, 5)));
    const QByteArray before = fileHash(home_->databasePath());
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("h"));
    holder.setDatabaseName(home_->databasePath());
    QVERIFY(holder.open());
    struct Case {
        const char* hold;
        QStringList command;
    };
    // EXCLUSIVE: a writer in the middle of its commit. A read: a reader between two reads.
    for (const Case& c : {Case{"BEGIN EXCLUSIVE", {QStringLiteral("list")}},
                          Case{"BEGIN", {QStringLiteral("append"), "1", "2", "3", "4", "5"}}}) {
        QSqlQuery q(holder);
        QVERIFY(q.exec(QString::fromLatin1(c.hold)));
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM Lishi")) && q.next());
        q.finish();
        const Result r = cli(c.command);
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: ")) &&
                     r.err.contains(QStringLiteral("另一个程序正在使用历史数据库")) &&
                     !r.err.contains(QStringLiteral("不是可读取")) && r.err.count('\n') == 1,
                 qPrintable(r.err));
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("h"));
    QCOMPARE(fileHash(home_->databasePath()), before);
}

void CliTrustTest::damagedPageIsReportedAndNothingWritten_data() {
    QTest::addColumn<QStringList>("command");
    QTest::newRow("list") << QStringList{"list"};
    QTest::newRow("next-issue") << QStringList{"next-issue"};
    QTest::newRow("append") << QStringList{"append", "1", "2", "3", "4", "5"};
    QTest::newRow("search") << QStringList{"search"};
    QTest::newRow("compact") << QStringList{"compact"};
}

void CliTrustTest::damagedPageIsReportedAndNothingWritten() {
    QFETCH(QStringList, command);
    import(writeFile(QStringLiteral("h.txt"), historyText(3000, 4)));
    const QString path = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    {
        // Random bytes over one whole page somewhere past the first.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 pages = f.size() / 4096;
        QVERIFY(pages > 10);
        QVERIFY(f.seek(4096 * (2 + QRandomGenerator::global()->bounded(pages - 2))));
        QByteArray junk(4096, '\0');
        for (char& b : junk)
            b = char(QRandomGenerator::global()->bounded(256));
        QCOMPARE(f.write(junk), qint64(junk.size()));
    }
    const QByteArray before = fileHash(path);

    const Result r = cli(command);
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY2(r.err.contains(path) && r.err.contains(QStringLiteral("已损坏")) &&
                 r.err.contains(QStringLiteral("没有写入任何内容")),
             qPrintable(r.err));
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList{"Quorvex.mdb"});
}

void CliTrustTest::readOnlyHistoryIsReadAndNeverWritten_data() {
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("read-only file") << false << QStringLiteral("是只读文件");
    QTest::newRow("read-only folder") << true << QStringLiteral("文件夹是只读的");
}

void CliTrustTest::readOnlyHistoryIsReadAndNeverWritten() {
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, refusal);
    import(writeFile(QStringLiteral("h.txt"), historyText(200, 5)));
    // Every command that only reads, with what it answers on the writable history.
    const QList<QStringList> reads{
        {"list"},
        {"next-issue"},
        {"search", "--kind", "tail", "--positions", "1,3", "--baseline"},
        {"search", "--mode", "fixed", "--lag", "3", "--matches"},
        {"combo", "--k", "2", "--kind", "zodiac", "--result", "zodiac"},
        {"trend", "--kind", "zodiac", "--summary"},
        {"export-sheet", "results", "--output", QDir(home_->path()).filePath("r.xls")}};
    QList<Result> writable;
    for (const QStringList& read : reads) {
        writable << cli(read);
        QVERIFY2(writable.last().code == 0, qPrintable(writable.last().err));
    }

    const QString path = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    if (readOnlyFolder)
        QVERIFY(::chmod(QFile::encodeName(folder_).constData(), 0555) == 0);
    const QByteArray before = fileHash(path);

    // Reading and searching work alike and leave nothing behind.
    Result r;
    for (qsizetype i = 0; i < reads.size(); ++i) {
        r = cli(reads[i], true);
        QVERIFY2(r.code == 0, qPrintable(reads[i].join(' ') + ": " + r.err));
        QCOMPARE(r.out, writable[i].out);
    }
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList{"Quorvex.mdb"});

    // Writing is refused with the reason, and nothing changes.
    for (const QStringList& write :
         {QStringList{"append", "1", "2", "3", "4", "5"}, QStringList{"compact"}}) {
        r = cli(write, true);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(refusal), qPrintable(r.err));
    }
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList{"Quorvex.mdb"});
    QVERIFY(::chmod(QFile::encodeName(folder_).constData(), 0777) == 0);
}

QTEST_GUILESS_MAIN(CliTrustTest)
#include "tst_cli_trust.moc"

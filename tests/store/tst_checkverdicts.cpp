#include "FileFacts.h"
#include "TestHistory.h"

#include "store/CheckVerdicts.h"
#include "store/HistoryFit.h"
#include "store/HistorySnapshot.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

class CheckVerdictsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void verdictLastsWhileTheFileIsUnchanged_data();
    void verdictLastsWhileTheFileIsUnchanged();
    void damageAfterAVerdictIsStillFound();
    void verdictsLeaveTheWritersLockHeld();
    void fitCheckFindsWhichCodeTextsAreDerived_data();
    void fitCheckFindsWhichCodeTextsAreDerived();

private:
    QTemporaryDir cache_;
};

namespace {

void overwritePage(const QString& path, int page) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime modified = f.fileTime(QFileDevice::FileModificationTime);
    QVERIFY(f.seek(qint64(page) * 4096));
    QCOMPARE(f.write(QByteArray(4096, '\x5a')), qint64(4096));
    f.flush();
    // The time put back: only the file's change time tells.
    QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

// Whether another process finds SQLite's reserved lock on the file taken: a writer holds it
// from the start of its transaction.
bool reservedForAnotherProcess(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(native.constData(), O_RDWR);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = 0x40000001; // SQLite's reserved byte
        probe.l_len = 1;
        _exit(fd >= 0 && ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

void CheckVerdictsTest::initTestCase() {
    isolateCache(cache_.path());
    QVERIFY(CheckVerdicts::folder().startsWith(cache_.path()));
}

void CheckVerdictsTest::verdictLastsWhileTheFileIsUnchanged_data() {
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("recalled");
    QTest::newRow("unchanged") << "" << true;
    QTest::newRow("a draw appended") << "append" << false;
    QTest::newRow("a page overwritten, time put back") << "overwrite" << false;
    QTest::newRow("a journal beside it") << "journal" << false;
    // The change counter tells a later commit even within one tick of the file system's clock.
    QTest::newRow("written just now") << "fresh" << true;
}

void CheckVerdictsTest::verdictLastsWhileTheFileIsUnchanged() {
    QFETCH(QString, then);
    QFETCH(bool, recalled);
    TempHistory h;
    h.appendMany(2013001, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    const QString path = h.store().databasePath();
    if (then != "fresh")
        QVERIFY(ageFile(path));
    {
        const CheckVerdicts verdicts(h.store());
        QVERIFY(!verdicts.recall("pages"));
        verdicts.remember("pages", "ok");
    }
    if (then == "append")
        h.append(2013003, {11, 12, 13, 14, 15});
    else if (then == "overwrite")
        overwritePage(path, 1);
    else if (then == "journal")
        QVERIFY(QFile(path + "-journal").open(QIODevice::WriteOnly));
    QCOMPARE(CheckVerdicts(h.store()).recall("pages"),
             recalled ? std::optional<QString>("ok") : std::optional<QString>());
}

// The verdicts the program keeps: a damaged file passes for sound neither by its pages nor by
// the fit of its values, once the damage is done after they were kept.
void CheckVerdictsTest::damageAfterAVerdictIsStillFound() {
    TempHistory h;
    h.appendMany(2013001, QVector<Numbers>(400, Numbers{1, 2, 3, 4, 5}));
    const QString folder = h.folder();
    const QString path = h.store().databasePath();
    h.store().close();
    QVERIFY(ageFile(path));
    QString error;
    {
        HistoryStore store;
        QVERIFY2(store.open(folder, &error, HistoryAccess::ReadOnly), qPrintable(error));
        const auto fit = checkHistoryFit(store, {}, &error);
        QVERIFY2(fit && fit->fits() && fit->draws == 400, qPrintable(error));
        QVERIFY(CheckVerdicts(store).recall("pages"));
    }
    overwritePage(path, 3);
    HistoryStore store;
    QVERIFY(!store.open(folder, &error, HistoryAccess::ReadOnly));
    QCOMPARE(store.openFailure(), HistoryOpenFailure::Damaged);
}

// A verdict is looked up and kept while connections read and write: the file's state must be
// taken without opening it, since closing any descriptor of it drops this process's locks.
void CheckVerdictsTest::verdictsLeaveTheWritersLockHeld() {
    TempHistory h;
    h.appendMany(2013001, {{1, 2, 3, 4, 5}});
    const QString path = h.store().databasePath();
    QVERIFY(ageFile(path));
    QVERIFY(!reservedForAnotherProcess(path));
    HistoryStore::Transaction writing(h.store());
    QVERIFY(writing.begun());
    QVERIFY(reservedForAnotherProcess(path));
    const CheckVerdicts verdicts(h.store());
    verdicts.remember("pages", "ok");
    QCOMPARE(verdicts.recall("pages"), std::optional<QString>("ok"));
    QVERIFY(reservedForAnotherProcess(path));
}

void CheckVerdictsTest::fitCheckFindsWhichCodeTextsAreDerived_data() {
    QTest::addColumn<QString>("altered");
    QTest::addColumn<int>("kind");
    QTest::newRow("as written") << "" << -1;
    QTest::newRow("a tail text of a middle draw") << "txtHisLstWei" << int(Tail);
    QTest::newRow("the first draw's number text") << "txtHisLstHm" << int(Number);
}

// The searches derive a kind's code texts once the fit check found every stored one to be its
// derivation; one text written otherwise keeps that kind read as stored.
void CheckVerdictsTest::fitCheckFindsWhichCodeTextsAreDerived() {
    QFETCH(QString, altered);
    QFETCH(int, kind);
    TempHistory h;
    h.appendMany(2013001,
                 QVector<Numbers>{{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 15}});
    if (!altered.isEmpty()) {
        QSqlQuery q(h.store().database());
        QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET %1 = '1X3 ' WHERE SQQH = %2")
                           .arg(altered, kind == Number ? "2013001" : "2013002")));
    }
    QVERIFY(ageFile(h.store().databasePath()));
    QString error;
    QVERIFY2(checkHistoryFit(h.store(), {}, &error), qPrintable(error));
    const CheckVerdicts verdicts(h.store());
    for (int k = 0; k < kKindCount; ++k)
        QCOMPARE(verdicts.recall(HistorySnapshot::codesTopic(k)).has_value(), k != kind);
}

QTEST_GUILESS_MAIN(CheckVerdictsTest)
#include "tst_checkverdicts.moc"

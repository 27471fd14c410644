// Where the window and the CLI keep their history: the executable's folder, the user's data
// folder when that folder cannot take files, and always the user's when the program is installed.
#include "../export/ReadOnlyFolder.h"

#include "settings/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvex;

class ProgramFolderTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void folderIsChosen_data();
    void folderIsChosen();

private:
    std::unique_ptr<QTemporaryDir> data_;
};

void ProgramFolderTest::init() {
    data_ = std::make_unique<QTemporaryDir>();
    // Open to the unprivileged account of the read-only cases.
    QVERIFY(::chmod(QFile::encodeName(data_->path()).constData(), 0777) == 0);
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_->path()));
}

void ProgramFolderTest::cleanup() {
    qunsetenv("XDG_DATA_HOME");
}

void ProgramFolderTest::folderIsChosen_data() {
    QTest::addColumn<QString>("preferred"); // "installed", "writable", "read-only", "linked"
    QTest::addColumn<bool>("userFolder");
    QTest::addColumn<bool>("notice");
    QTest::newRow("installed program") << "installed" << true << false;
    QTest::newRow("folder that takes files") << "writable" << false << false;
    QTest::newRow("read-only folder without a history") << "read-only" << true << true;
    QTest::newRow("read-only folder with a link to a history") << "linked" << false << false;
}

void ProgramFolderTest::folderIsChosen() {
    QFETCH(QString, preferred);
    QFETCH(bool, userFolder);
    QFETCH(bool, notice);
    QTemporaryDir program;
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
    if (preferred == "linked")
        QVERIFY(QFile::link("/media/unplugged/Quorvex.mdb", program.filePath("Quorvex.mdb")));
    const QString folder =
        preferred == "installed" ? QStringLiteral(QUORVEX_INSTALL_BINDIR) : program.path();
    std::optional<test::ReadOnlyFolder> readOnly;
    if (preferred == "read-only" || preferred == "linked")
        readOnly.emplace(program.path());
    if (readOnly && !readOnly->effective())
        QSKIP("the folder cannot be made read-only here");
    const ProgramFolder chosen = chooseProgramFolder(folder);
    readOnly.reset();
    const QString user = QDir(data_->path()).filePath("Quorvex");
    QCOMPARE(chosen.path, userFolder ? user : program.path());
    QCOMPARE(!chosen.notice.isEmpty(), notice);
    QCOMPARE(QDir(user).exists(), userFolder);
}

QTEST_GUILESS_MAIN(ProgramFolderTest)
#include "tst_programfolder.moc"

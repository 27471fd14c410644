#include "app/common/Dialogs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <utime.h>

using namespace quorvex;

// The program's open and save dialogs: Chinese dates, the newest file first, whole names, and
// the chosen path answered.
class FileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }
    void showsNewestFirstWithWholeNames_data();
    void showsNewestFirstWithWholeNames();
};

void FileDialogTest::showsNewestFirstWithWholeNames_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("typed");
    QTest::newRow("open") << false << QString();
    QTest::newRow("save") << true << QStringLiteral("新的名字.txt");
}

void FileDialogTest::showsNewestFirstWithWholeNames() {
    QFETCH(bool, save);
    QFETCH(QString, typed);
    QTemporaryDir dir;
    const QString longName =
        QStringLiteral("替换前的历史号码-20261208-052157-删除最后一期-这是一个很长的名字.txt");
    if (typed.isEmpty())
        typed = longName;
    const QStringList names{QStringLiteral("a.txt"), longName, QStringLiteral("b.txt")};
    const QDateTime base(QDate(2026, 3, 4), QTime(5, 6, 7));
    for (int i = 0; i < names.size(); ++i) {
        QFile f(dir.filePath(names[i]));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.flush();
        QVERIFY(f.setFileTime(base.addDays(i == 1 ? 30 : i), QFileDevice::FileModificationTime));
    }
    // A folder, older than the files, whose type Qt leaves in English.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("子文件夹")));
    const utimbuf old{base.toSecsSinceEpoch(), base.toSecsSinceEpoch()};
    QVERIFY(::utime(QFile::encodeName(dir.filePath(QStringLiteral("子文件夹"))).constData(),
                    &old) == 0);

    QString seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<QFileDialog*>(w))
                dialog = static_cast<QFileDialog*>(w);
        auto* view = dialog ? dialog->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
        if (!view)
            return;
        poll.stop();
        // The files are listed, then sorted, a moment after the dialog shows.
        const auto first = [&] { return view->model()->index(0, 0, view->rootIndex()); };
        // Not sorted in time: the first row compared below says so.
        (void)QTest::qWaitFor([&] { return first().data().toString() == longName; }, 5000);
        const auto column = [&](int c) { return first().siblingAtColumn(c).data().toString(); };
        seen = column(0) + QLatin1Char('|') + column(3);
        const QModelIndexList folder =
            view->model()->match(first(), Qt::DisplayRole, QStringLiteral("子文件夹"));
        seen +=
            QLatin1Char('|') +
            (folder.isEmpty() ? QString() : folder.first().siblingAtColumn(2).data().toString());
        // The columns are fitted to the rows at the view's next layout, which a slow build may
        // not have reached yet.
        const int needed = view->fontMetrics().horizontalAdvance(longName);
        if (!QTest::qWaitFor([&] { return view->header()->sectionSize(0) >= needed; }, 3000))
            seen += QStringLiteral("|name cut");
        if (!dialog->testOption(QFileDialog::DontUseNativeDialog))
            seen += QStringLiteral("|native");
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        nameBox->setText(typed);
        QTest::keyClick(nameBox, Qt::Key_Return);
        if (dialog->isVisible())
            dialog->close();
    });
    poll.start(20);
    WidgetDialogs dialogs;
    const QString chosen =
        save ? dialogs.saveFileName(QStringLiteral("保存"), dir.filePath(QStringLiteral("c.txt")),
                                    QStringLiteral("文本文件 (*.txt)"))
             : dialogs.openFileName(QStringLiteral("读入"), dir.path(),
                                    QStringLiteral("文本文件 (*.txt)"));
    QCOMPARE(seen, longName + QStringLiteral("|2026-04-03 05:06:07|文件夹"));
    QCOMPARE(chosen, dir.filePath(typed));
}

QTEST_MAIN(FileDialogTest)
#include "tst_filedialog.moc"

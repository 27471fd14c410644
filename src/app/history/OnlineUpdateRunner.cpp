#include "OnlineUpdateRunner.h"

#include "changes/HistoryChange.h"

#include <QDate>
#include <QProgressDialog>
#include <QWidget>

namespace quorvex {

OnlineUpdateRunner::OnlineUpdateRunner(HistoryStore& store, SearchSession& session,
                                       Dialogs* dialogs, QWidget* window)
    : QObject(window), store_(store), session_(session), dialogs_(dialogs), window_(window) {}

void OnlineUpdateRunner::Command21_Click() {
    if (isRunning())
        return;
    const QString title = QStringLiteral("读入历史");
    QString question = QStringLiteral("确实要在线更新最新历史号码吗？更新可能要花费一段"
                                      "时间，网络不通或者我方服务器更新不及时可能都造"
                                      "成更新失败！");
    const Settings& s = session_.settings();
    // Said before the question: no retention is put to the user for an update that cannot run.
    if (s.strServer.trimmed().isEmpty()) {
        dialogs_->warning(title,
                          QStringLiteral("还没有设置历史号码服务器的地址，") + historyUnchanged() +
                              QStringLiteral("请在“设置”菜单的“历史号码服务器地址”中填写。"));
        return;
    }
    OnlineUpdate::Options options;
    options.serverAddress = s.strServer;
    options.today = QDate::currentDate();
    options.iniSerchDay = s.IniSerchDay;
    options.bases = session_.valueBases();
    options.pageTimeoutMs = pageTimeoutMs_;
    auto* update = new OnlineUpdate(store_, options, this);
    // When the retention will replace the history, the question says so before anything goes.
    // A history that cannot be read is reported when the update starts.
    QString why;
    const auto notice = update->plan(&why);
    if (notice && notice->replacesHistory)
        question += QLatin1Char('\n') + notice->sentence();
    if (!dialogs_->question(title, question)) {
        delete update;
        return;
    }
    update_ = update;

    progress_ = new QProgressDialog(QStringLiteral("正在读取历史号码……"), QStringLiteral("取消"), 0,
                                    0, window_);
    progress_->setObjectName(QStringLiteral("updateProgress"));
    progress_->setWindowTitle(title);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, update_, &OnlineUpdate::cancel);
    connect(update_, &OnlineUpdate::progress, progress_, [this](int year, int found) {
        if (progress_)
            progress_->setLabelText(
                QStringLiteral("正在读取 %1 年的历史号码，已找到 %2 期……").arg(year).arg(found));
    });
    connect(update_, &OnlineUpdate::finished, this, &OnlineUpdateRunner::finished);
    emit busyChanged(true);
    progress_->show();
    update_->start();
}

void OnlineUpdateRunner::finished(const UpdateReport& report) {
    if (progress_)
        progress_->deleteLater();
    if (update_)
        update_->deleteLater();
    emit busyChanged(false);
    if (report.changed())
        emit historyChanged();
    if (report.complete())
        dialogs_->information(QStringLiteral("读入历史"), report.summary());
    else
        dialogs_->warning(QStringLiteral("读入历史"), report.summary());
}

void OnlineUpdateRunner::editServerAddress() {
    const QString prompt = QStringLiteral("请输入历史号码服务器的地址（以 http:// 或 https:// "
                                          "开头）。留空表示不设置。");
    askUntilTaken(dialogs_, QStringLiteral("历史号码服务器地址"), prompt,
                  session_.settings().strServer, [this](const QString& answer, QString* error) {
                      return setServerAddress(answer, session_.updateSettings(),
                                              session_.settingsStore(), error);
                  });
}

} // namespace quorvex

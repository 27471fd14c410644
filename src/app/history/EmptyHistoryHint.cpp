#include "EmptyHistoryHint.h"

#include <QDir>
#include <QEvent>
#include <QTableView>

namespace quorvex {

EmptyHistoryHint::EmptyHistoryHint(QTableView* grid) : QLabel(grid->viewport()), grid_(grid) {
    setObjectName(QStringLiteral("emptyHistoryHint"));
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(10);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("import"))
            emit importAsked();
        else if (link == QLatin1String("update"))
            emit updateAsked();
    });
    grid->viewport()->installEventFilter(this);
    connect(grid->model(), &QAbstractItemModel::modelReset, this, &EmptyHistoryHint::follow);
    connect(grid->model(), &QAbstractItemModel::rowsInserted, this, &EmptyHistoryHint::follow);
    connect(grid->model(), &QAbstractItemModel::rowsRemoved, this, &EmptyHistoryHint::follow);
    follow();
}

void EmptyHistoryHint::setSampleFolder(const QString& folder) {
    sampleFolder_ = folder;
    follow();
}

void EmptyHistoryHint::setWritable(bool writable) {
    writable_ = writable;
    follow();
}

void EmptyHistoryHint::follow() {
    setVisible(grid_->model()->rowCount() == 0);
    if (isHidden())
        return;
    if (!writable_) {
        setText(QStringLiteral("历史号码是空的。"));
        return;
    }
    const bool hasSamples =
        !sampleFolder_.isEmpty() &&
        !QDir(sampleFolder_).entryList({QStringLiteral("*.txt")}, QDir::Files).isEmpty();
    const QString where = hasSamples
                              ? QStringLiteral("（示例文件在 %1）")
                                    .arg(QDir::toNativeSeparators(sampleFolder_).toHtmlEscaped())
                              : QString();
    setText(
        QStringLiteral("<p><b>历史号码是空的。</b>先把历史号码读进来：</p>"
                       "<p>• 点 <a href=\"import\">读取历史号文本</a>，选一个历史号码文本文件%1；"
                       "</p><p>• 或在“设置”中填好历史号码服务器地址后，点 "
                       "<a href=\"update\">历史号在线更新</a>；</p>"
                       "<p>• 也可以在上面的五个框里逐期输入最新的历史号码。</p>")
            .arg(where));
}

bool EmptyHistoryHint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::Resize)
        setGeometry(grid_->viewport()->rect());
    return QLabel::eventFilter(watched, event);
}

} // namespace quorvex

#include "FileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QScreen>
#include <QTreeView>

namespace quorvex {

namespace {

// Column numbers of QFileSystemModel.
constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;

// QFileSystemModel writes sizes and dates in the system's locale, whatever the program's is, and
// Qt's Chinese texts leave a folder's type in English.
class ChineseFileColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < kSizeColumn ||
            index.column() > kDateColumn)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == kTypeColumn)
            return files->isDir(source) ? QStringLiteral("文件夹")
                                        : QIdentityProxyModel::data(index, role);
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        if (index.column() == kDateColumn)
            return chinese.toString(files->lastModified(source),
                                    QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (files->isDir(source))
            return QString();
        return chinese.formattedDataSize(files->size(source), 1,
                                         QLocale::DataSizeTraditionalFormat);
    }
};

QString runDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& caption,
                  const QString& start, const QString& filter) {
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setLocale(QLocale(QLocale::Chinese, QLocale::China));
    dialog.setProxyModel(new ChineseFileColumns(&dialog));
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        // Every column as wide as its longest text; the dialog scrolls sideways only when the
        // screen is too narrow for it.
        view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view->sortByColumn(kDateColumn, Qt::DescendingOrder);
    }
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 640);
    dialog.resize(qMin(room.width() * 9 / 10, 1000), qMin(room.height() * 8 / 10, 560));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString chooseFileToOpen(QWidget* parent, const QString& caption, const QString& startFolder,
                         const QString& filter) {
    return runDialog(parent, QFileDialog::AcceptOpen, caption, startFolder, filter);
}

QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& startPath,
                         const QString& filter) {
    return runDialog(parent, QFileDialog::AcceptSave, caption, startPath, filter);
}

} // namespace quorvex

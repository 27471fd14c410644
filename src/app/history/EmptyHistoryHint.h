#pragma once

#include <QLabel>

class QTableView;

namespace quorvex {

// Over the empty area of the history grid while the history holds no draw: what to do first
// (read a history text file, where the sample files are, or update online). Its links ask for
// the commands; it goes away with the first draw.
class EmptyHistoryHint : public QLabel {
    Q_OBJECT
public:
    explicit EmptyHistoryHint(QTableView* grid);

    // Where the text import starts, named when it holds text files.
    void setSampleFolder(const QString& folder);
    // Without writing, the history cannot be filled from here: only the state is told.
    void setWritable(bool writable);

signals:
    void importAsked();
    void updateAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QTableView* grid_;
    QString sampleFolder_;
    bool writable_ = true;
};

} // namespace quorvex

#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QVector>

class QAbstractItemModel;
class QLineEdit;
class QTableView;

namespace quorvex {

// How the window's controls are made, so every panel names and shapes them alike.

// A control array element is named Name_Index: Option3(2) is "Option3_2".
QString indexed(const char* name, int index);

// Column widths are given in twips; the screen has 15 twips per pixel.
int twips(int t);

// A read-only grid over a model: single cell selection, Tab leaves it, rows of one height.
QTableView* makeGrid(const QString& name, QAbstractItemModel* model);
void setColumnWidths(QTableView* grid, const QVector<int>& widthsInTwips);
// Widens each column to its heading and cells, with padding pixels to spare; a column the user
// widened keeps its width.
void fitColumnsToContents(QTableView* grid, const QVector<int>& leastWidthsInTwips,
                          int padding = 12);

QLineEdit* makeBox(const QString& name, int width = 0);

// The busy pointer for the life of a command; a message box inside restores it first.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void release() {
        if (active_)
            QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

} // namespace quorvex

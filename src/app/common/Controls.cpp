#include "Controls.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

namespace quorvex {

QString indexed(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

int twips(int t) {
    return t / 15;
}

QTableView* makeGrid(const QString& name, QAbstractItemModel* model) {
    auto* grid = new QTableView;
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(true);
    // Tab leaves the grid instead of walking through thousands of cells.
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setHighlightSections(false);
    // A column the model adds later starts narrow and is then fitted to its texts; Qt's default
    // of 100 pixels would be kept as if someone had widened it.
    grid->horizontalHeader()->setDefaultSectionSize(grid->horizontalHeader()->minimumSectionSize());
    return grid;
}

void setColumnWidths(QTableView* grid, const QVector<int>& widthsInTwips) {
    for (int c = 0; c < widthsInTwips.size(); ++c)
        grid->setColumnWidth(c, twips(widthsInTwips[c]));
}

void fitColumnsToContents(QTableView* grid, const QVector<int>& leastWidthsInTwips, int padding) {
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        const int least = c < leastWidthsInTwips.size() ? twips(leastWidthsInTwips[c]) : 0;
        // Enough rows to judge a column by: the grids hold texts of one shape per column.
        int content = grid->horizontalHeader()->sectionSizeHint(c);
        const int rows = std::min(grid->model()->rowCount(), 200);
        for (int r = 0; r < rows; ++r)
            content = std::max(content, grid->fontMetrics().horizontalAdvance(
                                            grid->model()->index(r, c).data().toString()) +
                                            padding);
        grid->setColumnWidth(c, std::max({least, content, grid->columnWidth(c)}));
    }
}

QLineEdit* makeBox(const QString& name, int width) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    if (width > 0)
        box->setFixedWidth(width);
    return box;
}

} // namespace quorvex

#pragma once

#include "app/frmMain.h"
#include "ScriptedDialogs.h"
#include "TestHistory.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace quorvex::test {

// Five distinct numbers per draw, different from draw to draw.
inline QVector<Numbers> sampleDraws(int count) {
    QVector<Numbers> draws;
    for (int k = 0; k < count; ++k)
        draws.append(
            {k % 15 + 1, (k + 3) % 15 + 1, (k + 6) % 15 + 1, (k + 9) % 15 + 1, (k + 12) % 15 + 1});
    return draws;
}

// Writes raw texts into the settings store, as an earlier run or a hand edit would leave them:
// the searches' settings, or the window's own in group "Window".
inline void writeRawSetting(const QString& key, const QString& text,
                            const QString& group = QStringLiteral("IniSetting")) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trelvane"));
    s.beginGroup(group);
    s.setValue(key, text);
}

inline QString rawSetting(const QString& key) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trelvane"));
    s.beginGroup(QStringLiteral("IniSetting"));
    return s.value(key).toString();
}

template <typename T> T* child(QWidget& w, const QString& name) {
    T* c = w.findChild<T*>(name);
    if (!c)
        qFatal("no control %s", qPrintable(name));
    return c;
}

inline QString text(QWidget& w, const QString& name) {
    return child<QLineEdit>(w, name)->text();
}

inline QString cell(QTableView* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

// Every row of a grid as cell texts, the heading left out.
inline QVector<QStringList> gridRows(QTableView* grid) {
    QVector<QStringList> rows;
    const QAbstractItemModel* m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m->columnCount(); ++c)
            row << m->index(r, c).data().toString();
        rows << row;
    }
    return rows;
}

// Sends a focus loss the way leaving a box with Tab does.
inline void leave(QWidget* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &out);
}

// Where the session's reference draw stands in the history, oldest first; -1 for none.
inline qsizetype referencePosition(frmMain& w) {
    const auto issue = w.session().referenceIssue();
    const HistoryView view = readHistoryView(w.historyStore());
    for (qsizetype i = 0; issue && i < view.size(); ++i)
        if (view.rows()[i].issue == *issue)
            return i;
    return -1;
}

} // namespace quorvex::test

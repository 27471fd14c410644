#pragma once

#include "app/frmMain.h"
#include "ScriptedDialogs.h"
#include "TestHistory.h"

#include <QApplication>
#include <QtTest>

namespace quorvex::test {

// How far a window is brought up before the test drives it.
enum class Shown { No, Exposed, Active };

inline void showWindow(frmMain& w, Shown shown) {
    if (shown == Shown::No)
        return;
    w.show();
    if (shown == Shown::Exposed) {
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        return;
    }
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// Scripted dialogs and a window on a folder the test has prepared and keeps, bound by name as
// `auto& [dialogs, w] = f;`. Declared before the window, the dialogs outlive it.
class WindowOn {
public:
    explicit WindowOn(const QString& folder, Shown shown = Shown::No) : w(folder, &dialogs) {
        showWindow(w, shown);
    }

    ScriptedDialogs dialogs;
    frmMain w;
};

// A fresh history, scripted dialogs and a window on them, bound as `auto& [h, dialogs, w] = f;`.
// Declared before the window, the history and the dialogs outlive it. Clang before 16 cannot
// capture bindings in a lambda: take plain references (`frmMain& w = f.w;`) where one does.
class WindowFixture {
public:
    // An empty history.
    explicit WindowFixture(Shown shown = Shown::No) : WindowFixture(0, {}, shown) {}
    // The draws in order, the first under firstIssue, each chained to the one before.
    WindowFixture(qint64 firstIssue, const QVector<Numbers>& draws, Shown shown = Shown::No)
        : w(filled(h, firstIssue, draws), &dialogs) {
        showWindow(w, shown);
    }

    TempHistory h;
    ScriptedDialogs dialogs;
    frmMain w;

private:
    // Runs in the window's initializer, so that the window opens on the draws.
    static QString filled(TempHistory& h, qint64 firstIssue, const QVector<Numbers>& draws) {
        if (!draws.isEmpty())
            h.appendMany(firstIssue, draws);
        return h.folder();
    }
};

} // namespace quorvex::test

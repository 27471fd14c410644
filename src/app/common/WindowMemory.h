#pragma once

#include "settings/WindowChoices.h"

#include <QObject>

class QMainWindow;

namespace quorvex {

class ResultsPanel;
class SearchOptionsPanel;

// The window's own choices across restarts (WindowChoices): the ticks of each reference tab, the
// backtest's and the trend's choices, the results page shown and the window's size and place.
// Each is written as it changes; restore() puts them back at start-up.
class WindowMemory : public QObject {
    Q_OBJECT
public:
    WindowMemory(QMainWindow* window, SearchOptionsPanel* options, ResultsPanel* results);

    // Puts the remembered choices on the controls, then follows their changes. What was stored
    // but could not be used is added to problems, the control keeping its first value.
    void restore(QStringList* problems);
    // When the window is closed.
    void saveGeometry();

private:
    void follow();

    QMainWindow* window_;
    SearchOptionsPanel* options_;
    ResultsPanel* results_;
    WindowChoicesStore store_;
};

} // namespace quorvex

#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <optional>

class QTableView;

namespace quorvex {

// QUORVEX_FIRST_FRAME_FD=N: once the window has painted its first frame, history grid filled,
// the line "first frame: R draws" (R: the grid's rows) goes to file descriptor N and the program
// quits. The start-up benchmark times the real program from exec to that line. Unset, nothing
// of it is made. With QUORVEX_WATCH_AFTER_MS=T as well, the program first runs on for T ms and
// then writes "longest wait after it: W ms": the longest the window's event loop was held up
// after its first frame.
class FirstFrameReport : public QObject {
    Q_OBJECT
public:
    // The descriptor the environment names; nothing when unset or not a number.
    static std::optional<int> requestedDescriptor();

    FirstFrameReport(QTableView* grid, int descriptor, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();
    void write(const QByteArray& line);
    void tick();

    QTableView* grid_;
    int descriptor_;
    bool painted_ = false;
    int watchMs_ = 0;
    QElapsedTimer watched_;
    qint64 lastTick_ = 0;
    qint64 longestWait_ = 0;
};

} // namespace quorvex

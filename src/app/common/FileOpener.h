#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace quorvex {

// Hands a file or a folder to the desktop's opener (xdg-open) without waiting for it. The
// opener only starts: when it then ends with an error (no program for the file's type),
// failedLater is called, so that a file that opened nowhere does not pass in silence.
class FileOpener : public QObject {
    Q_OBJECT
public:
    explicit FileOpener(QObject* parent = nullptr) : QObject(parent) {}
    // Openers still running are left to run: the program they started belongs to the user.
    ~FileOpener() override;

    // False when no opener could be started at all.
    bool open(const QString& path, std::function<void()> failedLater);
};

} // namespace quorvex

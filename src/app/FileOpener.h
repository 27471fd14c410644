#pragma once

#include <QObject>
#include <QString>

namespace quorvex {

// Hands a file or a folder to the desktop's opener (xdg-open) without waiting for it. The
// opener only starts: when it then ends with an error (no program for the file's type), failed
// says so, so that a file that opened nowhere does not pass in silence.
class FileOpener : public QObject {
    Q_OBJECT
public:
    explicit FileOpener(QObject* parent = nullptr) : QObject(parent) {}
    // Openers still running are left to run: the program they started belongs to the user.
    ~FileOpener() override;

    // False when no opener could be started at all.
    bool open(const QString& path);

signals:
    void failed(const QString& path);
};

} // namespace quorvex

#pragma once

#include "FileOpener.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace quorvex {

// Every message box, input box and file dialog of the window goes through this seam, so that
// tests can answer them from a script instead of blocking on a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // OK / Cancel; true for OK.
    virtual bool question(const QString& title, const QString& text) = 0;
    // OK / Cancel with OK the default, for a check whose usual answer is to go on.
    virtual bool confirm(const QString& title, const QString& text) {
        return question(title, text);
    }
    // The same with a warning icon, for a question whose OK costs something: Cancel is the
    // default.
    virtual bool warningQuestion(const QString& title, const QString& text) = 0;
    virtual void information(const QString& title, const QString& text) = 0;
    virtual void warning(const QString& title, const QString& text) = 0;
    // An input box; nothing when it is cancelled.
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             const QString& defaultText) = 0;
    // An open-file dialog; an empty text when it is cancelled.
    virtual QString openFileName(const QString& caption, const QString& startFolder,
                                 const QString& filter) = 0;
    // A save-file dialog that starts on startPath; an empty text when it is cancelled.
    virtual QString saveFileName(const QString& caption, const QString& startPath,
                                 const QString& filter) = 0;
    // Hands a written file, or a folder, to the platform's file opener without waiting for it;
    // false when no program could be started for it. An opener that starts and then finds no
    // program for the file calls failedLater, from the event loop.
    virtual bool openFile(const QString& path, std::function<void()> failedLater) = 0;
};

// Asks with an input box until take accepts the answer or the box is cancelled; each refusal
// shows take's reason under the title "输入有误" and asks again with the answer as it was typed,
// to be corrected.
void askUntilTaken(Dialogs* dialogs, const QString& title, const QString& prompt,
                   const QString& offered,
                   const std::function<bool(const QString& answer, QString* error)>& take);

// The real dialogs over QMessageBox, QInputDialog and QFileDialog; files open through the
// desktop's opener.
class WidgetDialogs : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { parent_ = parent; }

    bool question(const QString& title, const QString& text) override;
    bool confirm(const QString& title, const QString& text) override;
    bool warningQuestion(const QString& title, const QString& text) override;
    void information(const QString& title, const QString& text) override;
    void warning(const QString& title, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& defaultText) override;
    QString openFileName(const QString& caption, const QString& startFolder,
                         const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& startPath,
                         const QString& filter) override;
    bool openFile(const QString& path, std::function<void()> failedLater) override;

private:
    QWidget* parent_;
    FileOpener opener_;
};

} // namespace quorvex

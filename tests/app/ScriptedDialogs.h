#pragma once

#include "app/common/Dialogs.h"

#include <QQueue>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace quorvex::test {

// Answers the window's dialogs from a script and records what was asked. A dialog asked
// with no scripted answer left gets Cancel (nothing, an empty file name).
class ScriptedDialogs : public Dialogs {
public:
    struct Asked {
        QString kind; // question, warning question, information, warning, input, open, save
        QString title;
        QString text;
    };

    void answerQuestion(bool ok) { questions_.enqueue(ok); }
    void answerInput(std::optional<QString> text) { inputs_.enqueue(std::move(text)); }
    void answerOpenFile(const QString& path) { files_.enqueue(path); }
    void answerSaveFile(const QString& path) { saveFiles_.enqueue(path); }
    // How the platform's file opener answers the hand-overs from now on: it opens the file, it
    // cannot start, or it starts and reports later (at finishOpeners) that no program took it.
    enum class Opener { Works, FailsAtOnce, FailsLater };
    void setOpener(Opener opener) { opener_ = opener; }
    void setOpenerWorks(bool works) { opener_ = works ? Opener::Works : Opener::FailsAtOnce; }
    // The openers started under FailsLater end now, each with its failure.
    void finishOpeners() {
        const auto pending = std::exchange(pendingFailures_, {});
        for (const auto& failed : pending)
            failed();
    }
    // The files handed to the platform's file opener, in order.
    const QStringList& opened() const { return opened_; }

    const QList<Asked>& asked() const { return asked_; }
    int count(const QString& kind) const {
        int n = 0;
        for (const Asked& a : asked_)
            n += a.kind == kind;
        return n;
    }
    // Messages (information and warning) shown so far.
    int messages() const { return count(QStringLiteral("information")) + count("warning"); }
    void clear() { asked_.clear(); }

    bool question(const QString& title, const QString& text) override {
        asked_.append({QStringLiteral("question"), title, text});
        return questions_.isEmpty() ? false : questions_.dequeue();
    }
    bool warningQuestion(const QString& title, const QString& text) override {
        asked_.append({QStringLiteral("warning question"), title, text});
        return questions_.isEmpty() ? false : questions_.dequeue();
    }
    void information(const QString& title, const QString& text) override {
        asked_.append({QStringLiteral("information"), title, text});
    }
    void warning(const QString& title, const QString& text) override {
        asked_.append({QStringLiteral("warning"), title, text});
    }
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& defaultText) override {
        asked_.append({QStringLiteral("input"), title, prompt + QLatin1Char('|') + defaultText});
        return inputs_.isEmpty() ? std::nullopt : inputs_.dequeue();
    }
    QString openFileName(const QString& caption, const QString& startFolder,
                         const QString& filter) override {
        asked_.append({QStringLiteral("open"), caption, startFolder + QLatin1Char('|') + filter});
        return files_.isEmpty() ? QString() : files_.dequeue();
    }

    QString saveFileName(const QString& caption, const QString& startPath,
                         const QString& filter) override {
        asked_.append({QStringLiteral("save"), caption, startPath + QLatin1Char('|') + filter});
        return saveFiles_.isEmpty() ? QString() : saveFiles_.dequeue();
    }
    bool openFile(const QString& path, std::function<void()> failedLater) override {
        opened_.append(path);
        if (opener_ == Opener::FailsLater)
            pendingFailures_.append(std::move(failedLater));
        return opener_ != Opener::FailsAtOnce;
    }

private:
    QQueue<bool> questions_;
    QQueue<std::optional<QString>> inputs_;
    QQueue<QString> files_;
    QQueue<QString> saveFiles_;
    QStringList opened_;
    Opener opener_ = Opener::Works;
    QList<std::function<void()>> pendingFailures_;
    QList<Asked> asked_;
};

} // namespace quorvex::test

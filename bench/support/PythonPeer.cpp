#include "PythonPeer.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>

namespace quorvex::bench {

namespace {

QByteArray requestLine(const BenchRequest& b) {
    const SearchRequest& r = b.search;
    QJsonArray ref, positions;
    for (int i = 0; i < kPositions; ++i) {
        ref << r.intRefVal[i];
        positions << r.bolPosSel[i];
    }
    const QJsonObject o{{"mode", b.combination ? "combo" : "follow"},
                        {"k", b.k},
                        {"free", r.bolZyw},
                        {"last", r.bolSq},
                        {"n", r.intPreQi},
                        {"kind", r.intLei},
                        {"resultKind", r.intXianshiLei},
                        {"ref", ref},
                        {"positions", positions},
                        {"start", r.startIssue},
                        {"end", r.endIssue},
                        {"sxIni", r.bases.sxIni},
                        {"dsIni", r.bases.dsIni}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<PeerAnswer> parseAnswer(const QByteArray& line) {
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    const QJsonObject o = doc.object();
    if (!o.contains("ms") || !o.contains("followDraws") || !o.value("counts").isArray())
        return std::nullopt;
    PeerAnswer a;
    a.ms = o.value("ms").toDouble();
    a.cpuMs = o.value("cpuMs").toDouble();
    a.answer.followDraws = o.value("followDraws").toInteger();
    a.answer.lo = o.value("lo").toInt();
    for (const QJsonValue v : o.value("counts").toArray())
        a.answer.counts << v.toInteger();
    return a;
}

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

} // namespace

std::optional<QVector<PeerAnswer>> runPythonPeer(const QString& script, const QString& databasePath,
                                                 const QVector<BenchRequest>& requests,
                                                 QString* error) {
    // The system's interpreter only: a version manager's shim first on PATH adds its own
    // start-up to every run, and it would be timed as the peer's.
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable()) {
        fail(error, QStringLiteral("/usr/bin/python3 not found (./build.sh bench installs it)"));
        return std::nullopt;
    }
    QTemporaryFile input;
    if (!input.open()) {
        fail(error,
             QStringLiteral("cannot write the peer's requests: %1").arg(input.errorString()));
        return std::nullopt;
    }
    for (const BenchRequest& r : requests)
        if (input.write(requestLine(r)) < 0) {
            fail(error,
                 QStringLiteral("cannot write the peer's requests: %1").arg(input.errorString()));
            return std::nullopt;
        }
    if (!input.flush()) {
        fail(error,
             QStringLiteral("cannot write the peer's requests: %1").arg(input.errorString()));
        return std::nullopt;
    }

    QProcess peer;
    peer.start(python, {script, databasePath, input.fileName()});
    if (!peer.waitForStarted() || !peer.waitForFinished(-1)) {
        fail(error, QStringLiteral("cannot run %1 %2: %3").arg(python, script, peer.errorString()));
        return std::nullopt;
    }
    if (peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0) {
        fail(error, QStringLiteral("the peer %1 failed (exit %2): %3")
                        .arg(script)
                        .arg(peer.exitCode())
                        .arg(QString::fromUtf8(peer.readAllStandardError()).trimmed()));
        return std::nullopt;
    }
    QVector<PeerAnswer> answers;
    const QList<QByteArray> lines = peer.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const auto answer = parseAnswer(line);
        if (!answer) {
            fail(error, QStringLiteral("the peer wrote a line that is no answer: %1")
                            .arg(QString::fromUtf8(line.left(200))));
            return std::nullopt;
        }
        answers << *answer;
    }
    if (answers.size() != requests.size()) {
        fail(error, QStringLiteral("the peer answered %1 of %2 requests")
                        .arg(answers.size())
                        .arg(requests.size()));
        return std::nullopt;
    }
    return answers;
}

} // namespace quorvex::bench

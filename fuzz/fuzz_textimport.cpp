// The whole text import of one file: the bytes are read and checked as a history file, and
// what passes is stored into a history in a temporary folder and read back.
#include "import/TextImport.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace quorvex;

namespace {

// Storing costs far more than parsing: only small histories go through the store, so the
// fuzzer keeps its pace while every kind of accepted file still reaches the database.
constexpr qsizetype kStoredDrawsAtMost = 40;

struct Fixture {
    QTemporaryDir dir;
    HistoryStore store;
    Fixture() {
        QString error;
        if (!dir.isValid() || !store.open(dir.path(), &error))
            std::abort();
        // Nothing here needs to survive a power cut.
        QSqlQuery(store.database()).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    }
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_textimport";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Fixture fixture;
    static QVector<DrawNumbers> lastStored;

    const HistoryFileContents contents = parseHistoryData(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    // Either a reason or draws, never both, never neither.
    check(contents.error.isEmpty() != contents.draws.isEmpty());
    for (qsizetype i = 0; i < contents.draws.size(); ++i) {
        const ImportedDraw& d = contents.draws[i];
        check(d.issue > 0 && d.lineNumber >= 1);
        check(i == 0 || contents.draws[i - 1].issue < d.issue);
        check(drawFaults(d.numbers).isEmpty());
    }
    for (qsizetype i = 1; i < contents.problems.size(); ++i)
        check(contents.problems[i - 1].lineNumber <= contents.problems[i].lineNumber);
    for (const LineProblem& p : contents.problems)
        check(!p.describe().isEmpty());

    if (contents.draws.isEmpty() || contents.draws.size() > kStoredDrawsAtMost)
        return 0;
    ZodiacYear zodiac;
    QString error;
    if (!replaceHistory(fixture.store, contents.draws, {}, zodiac, &error)) {
        // Issues beyond what the table holds may be refused, but never half stored.
        check(!error.isEmpty());
        const auto kept = fixture.store.loadNumbers(&error);
        check(kept && kept->size() == lastStored.size());
        for (qsizetype i = 0; i < kept->size(); ++i)
            check((*kept)[i].issue == lastStored[i].issue);
        return 0;
    }
    const auto stored = fixture.store.loadNumbers(&error);
    check(stored && stored->size() == contents.draws.size());
    for (qsizetype i = 0; i < stored->size(); ++i) {
        check((*stored)[i].issue == contents.draws[i].issue);
        check((*stored)[i].numbers == contents.draws[i].numbers);
    }
    lastStored = *stored;
    return 0;
}

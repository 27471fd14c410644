#include "analysis/ReferenceDraw.h"
#include "FollowOracle.h"
#include "session/SearchSession.h"
#include "session/UntilCurrent.h"
#include "TestHistory.h"

#include <QtTest>

Q_DECLARE_METATYPE(quorvex::SearchRefusal::Kind)

using namespace quorvex;
using namespace quorvex::test;

// The search session without a window: how options, reference and range become a request, and
// that a search follows the history when another program changes it.
namespace {

// Draws stored by another connection, as another program would store them.
void appendElsewhere(TempHistory& h, const QVector<Numbers>& draws) {
    HistoryStore other;
    QString error;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    ZodiacYear year;
    for (const Numbers& draw : draws)
        QVERIFY2(other.appendNextDraw(draw, std::nullopt, std::nullopt, ValueBases{}, year,
                                      QDate(2013, 1, 1), &error),
                 qPrintable(error));
}

} // namespace

class SearchSessionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { isolateSettings(settingsDir_.path()); }
    void issueBeforeCrossesTheYear_data();
    void issueBeforeCrossesTheYear();
    void optionsBecomeTheRequest();
    void verificationDrawAndRange();
    void leavingVerificationSearchesToTheLastDraw_data();
    void leavingVerificationSearchesToTheLastDraw();
    void limitsAreCheckedOnce_data();
    void limitsAreCheckedOnce();
    void refusalsHaveOneKind_data();
    void refusalsHaveOneKind();
    void searchFollowsAnotherConnectionsChange();
    void gateAnswersOnTheContextItIsGiven();
    void runsGiveUpAfterThreeTries_data();
    void runsGiveUpAfterThreeTries();

private:
    QTemporaryDir settingsDir_;
};

void SearchSessionTest::issueBeforeCrossesTheYear_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("before"); // 0: not an issue
    QTest::newRow("first of a year") << "2013001" << qint64(2012359);
    QTest::newRow("within a year") << "2013050" << qint64(2013049);
    QTest::newRow("blanks around") << " 2014001 " << qint64(2013359);
    QTest::newRow("letters") << "20a3001" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
}

void SearchSessionTest::issueBeforeCrossesTheYear() {
    QFETCH(QString, typed);
    QFETCH(qint64, before);
    const auto got = issueBefore(typed);
    QCOMPARE(got.value_or(0), before);
}

void SearchSessionTest::optionsBecomeTheRequest() {
    TempHistory h;
    const QVector<Numbers> draws = randomDraws(12, 3);
    h.appendMany(2013001, draws);
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    QVERIFY(session.historyChanged());
    QCOMPARE(session.lngNextIssue(), 2013013);
    QCOMPARE(session.startIssue().value_or(0), 2013002);
    QCOMPARE(session.endIssue().value_or(0), 2013012);

    session.setFreePositions(false);
    QString error;
    QVERIFY(session.setPreQi("3", &error));
    session.setLastDrawReference(false);
    session.setSearchKind(Tail);
    session.setResultKind(Head);
    // 前3期: the third draw from the end, and follow draws from the first issue plus 3.
    QCOMPARE(session.referenceIssue().value_or(0), 2013010);
    QCOMPARE(session.startIssue().value_or(0), 2013004);
    const SearchRequest r = session.request({true, false, true, false, false});
    QVERIFY(!r.bolZyw);
    QVERIFY(!r.bolSq);
    QCOMPARE(r.intPreQi, 3);
    QCOMPARE(r.intLei, int(Tail));
    QCOMPARE(r.intXianshiLei, int(Head));
    QCOMPARE(r.intRefVal, readHistoryView(h.store()).rows()[9].attributes.kindValues(Tail));
    QCOMPARE(r.startIssue, 2013004);
    QCOMPARE(r.endIssue, 2013012);

    // Typed values: a box that holds no number keeps the value before it.
    session.setTypedValue(1, QStringLiteral("7"));
    session.setTypedValue(2, QStringLiteral("x"));
    session.setReferenceSource(ReferenceSource::Typed);
    QVERIFY(session.bolManual());
    QCOMPARE(session.intRefVal()[0], 7);
    QCOMPARE(session.intRefVal()[1], r.intRefVal[1]);
    // Back on the first tab the reference draw's values return.
    session.setReferenceSource(ReferenceSource::LastDraws);
    QCOMPARE(session.intRefVal(), r.intRefVal);
}

void SearchSessionTest::verificationDrawAndRange() {
    TempHistory h;
    h.appendMany(2012355, randomDraws(5, 4));
    h.appendMany(2013001, randomDraws(5, 5));
    const HistoryView view = readHistoryView(h.store());
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    session.historyChanged();
    session.setReferenceSource(ReferenceSource::Verification);
    QString error;
    QVERIFY(session.setVerificationIssue(QStringLiteral("2013001"), &error));
    // The draw before 2013001 is the last one of 2012.
    QCOMPARE(session.intRefVal(), view.rows()[4].attributes.kindValues(Number));
    QCOMPARE(session.endIssue().value_or(0), 2013005);
    QVERIFY(session.setOnlyBefore(true, QStringLiteral("2013004"), &error));
    QCOMPARE(session.endIssue().value_or(0), 2013003);
    // Ticking changes the range only; selecting the tab again reads the new reference.
    QCOMPARE(session.intRefVal(), view.rows()[4].attributes.kindValues(Number));
    session.setReferenceSource(ReferenceSource::Verification);
    QCOMPARE(session.intRefVal(), view.rows()[7].attributes.kindValues(Number));
    QCOMPARE(session.endIssue().value_or(0), 2013003);

    // Before the whole history: refused, the values stay.
    const RefValues before = session.intRefVal();
    QVERIFY(!session.setVerificationIssue(QStringLiteral("2012300"), &error));
    QVERIFY(error.contains("2012300"));
    QCOMPARE(session.intRefVal(), before);
    QVERIFY(!session.setOnlyBefore(true, QStringLiteral("abc"), &error));
}

void SearchSessionTest::leavingVerificationSearchesToTheLastDraw_data() {
    QTest::addColumn<int>("tab");
    QTest::newRow("自动历史位") << int(ReferenceSource::LastDraws);
    QTest::newRow("手动输入号") << int(ReferenceSource::Typed);
}

void SearchSessionTest::leavingVerificationSearchesToTheLastDraw() {
    QFETCH(int, tab);
    TempHistory h;
    h.appendMany(2013001, randomDraws(12, 6));
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    session.historyChanged();
    session.setReferenceSource(ReferenceSource::Verification);
    QString error;
    QVERIFY(session.setOnlyBefore(true, QStringLiteral("2013006"), &error));
    QCOMPARE(session.endIssue().value_or(0), 2013005);

    session.setReferenceSource(static_cast<ReferenceSource>(tab));
    QCOMPARE(session.endIssue().value_or(0), 2013012);
    QCOMPARE(session.request({true, true, true, true, true}).endIssue, 2013012);
    // Back on the third tab, "only before" still holds.
    session.setReferenceSource(ReferenceSource::Verification);
    QCOMPARE(session.endIssue().value_or(0), 2013005);
}

void SearchSessionTest::limitsAreCheckedOnce_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("N 1") << "N"
                         << "1" << true;
    QTest::newRow("N 9") << "N"
                         << "9" << true;
    QTest::newRow("N 0") << "N"
                         << "0" << false;
    QTest::newRow("N 10") << "N"
                          << "10" << false;
    QTest::newRow("N empty") << "N"
                             << "" << false;
    QTest::newRow("k 5") << "k"
                         << "5" << true;
    QTest::newRow("k 6") << "k"
                         << "6" << false;
    QTest::newRow("k huge") << "k" << QString(40, QLatin1Char('9')) << false;
    QTest::newRow("years 16") << "years"
                              << "16" << true;
    QTest::newRow("years 17") << "years"
                              << "17" << false;
    QTest::newRow("server http") << "server"
                                 << "http://127.0.0.1:8080" << true;
    QTest::newRow("server ftp") << "server"
                                << "ftp://example.com" << false;
}

void SearchSessionTest::limitsAreCheckedOnce() {
    QFETCH(QString, option);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TempHistory h;
    h.appendMany(2013001, randomDraws(10, 6));
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    session.historyChanged();
    const Settings before = session.settings();
    QString error;
    bool ok = false;
    if (option == "N")
        ok = session.setPreQi(text, &error);
    else if (option == "k")
        ok = session.setCombinedPositions(text, &error);
    else if (option == "years")
        ok = setRetentionYears(text, session.updateSettings(), nullptr, &error);
    else
        ok = setServerAddress(text, session.updateSettings(), nullptr, &error);
    QCOMPARE(ok, accepted);
    QCOMPARE(error.isEmpty(), accepted);
    // A refused value changes nothing, and its message quotes at most a little of it.
    if (!accepted) {
        QCOMPARE(session.settings().intPreQi, before.intPreQi);
        QCOMPARE(session.settings().intZhWSetup, before.intZhWSetup);
        QCOMPARE(session.settings().IniSerchDay, before.IniSerchDay);
        QCOMPARE(session.settings().strServer, before.strServer);
        QVERIFY(error.size() < 120);
    }
}

enum class Run { Follow, Combination, Backtest };

void SearchSessionTest::refusalsHaveOneKind_data() {
    using Kind = SearchRefusal::Kind;
    QTest::addColumn<int>("draws");
    QTest::addColumn<int>("setup"); // 0 none, 1 typed values, 2 range reversed, 3 lag 9,
                                    // 4 other zodiac base stored, 5 cancelled, 6 lag 0
    QTest::addColumn<Run>("run");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("empty, search") << 0 << 0 << Run::Follow << Kind::EmptyHistory << "无法检索";
    QTest::newRow("empty, backtest") << 0 << 0 << Run::Backtest << Kind::EmptyHistory << "无法回测";
    QTest::newRow("typed, backtest") << 30 << 1 << Run::Backtest << Kind::NoReference << "手动";
    QTest::newRow("no reference") << 5 << 3 << Run::Follow << Kind::NoReference << "前9期";
    QTest::newRow("range reversed")
        << 30 << 2 << Run::Combination << Kind::BadRequest << "在截止期号";
    QTest::newRow("lag out of range") << 30 << 6 << Run::Follow << Kind::BadRequest << "1到9";
    QTest::newRow("misfit, search") << 30 << 4 << Run::Follow << Kind::Misfit << "生肖值";
    QTest::newRow("misfit, backtest") << 30 << 4 << Run::Backtest << Kind::Misfit << "生肖值";
    QTest::newRow("cancelled") << 30 << 5 << Run::Backtest << Kind::Cancelled << "已取消";
}

// Every way a run is refused comes out as one kind with its text, before anything is computed.
void SearchSessionTest::refusalsHaveOneKind() {
    QFETCH(int, draws);
    QFETCH(int, setup);
    QFETCH(Run, run);
    QFETCH(SearchRefusal::Kind, kind);
    QFETCH(QString, says);
    TempHistory h;
    if (draws > 0)
        h.appendMany(2013001, randomDraws(draws, 5), setup == 4 ? ValueBases{0, 1} : ValueBases{});
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    QVERIFY(session.historyChanged());
    QString error;
    if (setup == 1) {
        for (int p = 1; p <= kPositions; ++p)
            session.setTypedValue(p, QString::number(p));
        session.setReferenceSource(ReferenceSource::Typed);
    }
    if (setup == 3 || setup == 6) {
        session.setLastDrawReference(false);
        QVERIFY(session.setPreQi(QStringLiteral("9"), &error));
    }
    if (setup == 4)
        session.setSearchKind(Zodiac);
    SearchRequest request = session.request({true, false, false, false, false});
    if (setup == 2)
        std::swap(request.startIssue, request.endIssue);
    if (setup == 6)
        request.intPreQi = 0;
    const auto stop = [setup](qsizetype, qsizetype) { return setup != 5; };
    const auto refusalOf = [](const auto& outcome) {
        return outcome ? std::nullopt : std::optional(outcome.refusal());
    };
    const std::optional<SearchRefusal> refused =
        run == Run::Backtest      ? refusalOf(session.runBacktest(request, false, {}, 3, stop))
        : run == Run::Combination ? refusalOf(session.runCombination(request))
                                  : refusalOf(session.runFollow(request));
    QVERIFY(refused);
    QCOMPARE(int(refused->kind), int(kind));
    QVERIFY2(refused->text.contains(says), qPrintable(refused->text));
}

// Another program appends draws after the session read the history: the search is refused
// until the session reads the history again, and then answers on the new one, with the working
// columns derived afresh.
void SearchSessionTest::searchFollowsAnotherConnectionsChange() {
    TempHistory h;
    const QVector<Numbers> draws = randomDraws(60, 8);
    h.appendMany(2013001, draws.mid(0, 40));
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    session.historyChanged();
    session.setLastDrawReference(false);
    const std::array<bool, kPositions> positions{true, true, false, false, false};
    QString error;
    QVERIFY(session.runFollow(session.request(positions)));

    appendElsewhere(h, draws.mid(40));
    QVERIFY(session.runFollow(session.request(positions)).refusedAs(SearchRefusal::Kind::MovedOn));
    QVERIFY(session.historyChanged(&error));
    QCOMPARE(session.endIssue().value_or(0), 2013060);
    const SearchRequest request = session.request(positions);
    const auto got = session.runFollow(request);
    QVERIFY2(got, qPrintable(got ? QString() : got.refusal().text));
    const HistoryView view = readHistoryView(h.store());
    const FollowResult want = expectedResult(
        view, request, [&](qsizetype earlier) { return followMatches(view, request, earlier); });
    QCOMPARE(got->matchRows, want.matchRows);
    QCOMPARE(got->resultRows, want.resultRows);
}

// The gate keeps no option: a run is answered on the history its context read, refused once
// anything wrote it since, and a closed history reads as empty.
void SearchSessionTest::gateAnswersOnTheContextItIsGiven() {
    TempHistory h;
    const QVector<Numbers> draws = randomDraws(30, 5);
    h.appendMany(2013001, draws.mid(0, 20));
    HistorySnapshot snapshot;
    SearchGate gate(h.store(), snapshot);
    ZodiacYear years;
    QString error;
    const auto before = currentRunContext(h.store(), {}, &years, &error);
    QVERIFY2(before, qPrintable(error));
    const auto first = gate.trend(Number, {}, *before);
    QVERIFY(first);
    QCOMPARE(first->rows(), 20);

    appendElsewhere(h, draws.mid(20));
    QVERIFY(gate.trend(Number, {}, *before).refusedAs(SearchRefusal::Kind::MovedOn));
    const auto after = gate.trend(Number, {}, *currentRunContext(h.store(), {}, &years, &error));
    QVERIFY(after);
    QCOMPARE(after->rows(), 30);

    h.store().close();
    QVERIFY(gate.trend(Number, {}, *currentRunContext(h.store(), {}, &years, &error))
                .refusedAs(SearchRefusal::Kind::EmptyHistory));
}

void SearchSessionTest::runsGiveUpAfterThreeTries_data() {
    QTest::addColumn<int>("movedOn");
    QTest::addColumn<bool>("cannotRun");
    QTest::addColumn<int>("tries");
    QTest::newRow("answered at once") << 0 << false << 1;
    QTest::newRow("moved on once") << 1 << false << 2;
    QTest::newRow("moved on twice") << 2 << false << 3;
    QTest::newRow("moved on every time") << 5 << false << 3;
    QTest::newRow("cannot run") << 5 << true << 1;
}

// Every run of both faces goes through untilCurrent: the history moving on is asked again, up
// to three tries, and a run that cannot start is not retried.
void SearchSessionTest::runsGiveUpAfterThreeTries() {
    QFETCH(int, movedOn);
    QFETCH(bool, cannotRun);
    QFETCH(int, tries);
    int calls = 0;
    const auto outcome = untilCurrent([&]() -> std::optional<Gated<int>> {
        if (++calls, cannotRun)
            return std::nullopt;
        if (calls <= movedOn)
            return SearchRefusal{SearchRefusal::Kind::MovedOn, QStringLiteral("moved on")};
        return 7;
    });
    QCOMPARE(calls, tries);
    QCOMPARE(outcome.has_value(), !cannotRun);
    if (!cannotRun)
        QCOMPARE(bool(*outcome) ? **outcome : -1, movedOn < kRunTries ? 7 : -1);
}

QTEST_GUILESS_MAIN(SearchSessionTest)
#include "tst_searchsession.moc"

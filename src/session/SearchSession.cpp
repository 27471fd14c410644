#include "SearchSession.h"

#include "analysis/CombinationSearch.h"
#include "analysis/FollowMatching.h"
#include "analysis/FollowSearch.h"

#include "draw/ZodiacTables.h"

namespace quorvex {

namespace {

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace

SearchSession::SearchSession(HistoryStore& store, HistorySnapshot& snapshot,
                             SettingsStore* settings, QObject* parent)
    : QObject(parent), store_(store), snapshot_(snapshot), settingsStore_(settings) {}

SearchSession::~SearchSession() {
    if (fitCheck_) {
        fitCheck_->wait();
        delete fitCheck_;
    }
}

QStringList SearchSession::loadSettings() {
    QStringList problems;
    if (settingsStore_)
        s_ = settingsStore_->load(&problems);
    return problems;
}

void SearchSession::storeInt(const char* key, int value) {
    if (settingsStore_)
        settingsStore_->writeInt(QString::fromLatin1(key), value);
}

void SearchSession::storeBool(const char* key, bool value) {
    if (settingsStore_)
        settingsStore_->writeBool(QString::fromLatin1(key), value);
}

QString SearchSession::rangeMessage(const QString& what, SettingRange range, const QString& text) {
    return QStringLiteral("%1须是%2到%3的整数，“%4”不是。")
        .arg(what)
        .arg(range.minimum)
        .arg(range.maximum)
        .arg(text.left(20));
}

// ---------------------------------------------------------------------------------------------
// The history

bool SearchSession::historyChanged(QString* error) {
    QString why;
    // The span and the reference draw from one version of the history.
    HistoryStore::ReadSnapshot snapshot(store_);
    std::optional<HistoryStore::Span> span;
    version_.reset();
    if (store_.isOpen()) {
        version_ = store_.version(&why);
        if (version_)
            span = store_.span(&why);
    }
    span_ = span.value_or(HistoryStore::Span{});
    QihaoXianshi();
    SetStartIssue();
    SeekRefDraw();
    LoadRefValues();
    if (!why.isEmpty() && error)
        *error = why;
    return why.isEmpty();
}

bool SearchSession::historyMovedOn() const {
    if (!store_.isOpen())
        return false;
    return store_.version() != version_;
}

std::optional<HistoryFit> SearchSession::historyFit(QString* error) {
    const auto now = store_.version(error);
    if (!now)
        return std::nullopt;
    const ValueBases bases = valueBases();
    if (!fit_ || !(fit_->version == *now) || fit_->bases.sxIni != bases.sxIni ||
        fit_->bases.dsIni != bases.dsIni) {
        const auto fit = checkHistoryFit(store_, bases, error);
        if (!fit)
            return std::nullopt;
        fit_ = FitOf{*now, bases, *fit};
    }
    return fit_->fit;
}

std::optional<qint64> SearchSession::lastIssue() const {
    if (span_.empty)
        return std::nullopt;
    return span_.lastIssue;
}

void SearchSession::QihaoXianshi() {
    if (!span_.empty) {
        nextIssue_ = span_.lastIssue + 1;
        setEnd(span_.lastIssue);
        verificationIssue_ = span_.lastIssue;
    } else {
        nextIssue_ = qint64(QDate::currentDate().year()) * 1000 + 1;
        verificationIssue_ = 0;
        // An empty history has no range: the old one must not go on being shown.
        startIssue_.reset();
        endIssue_.reset();
        emit issueRangeCleared();
    }
    emit nextIssueChanged(nextIssue_);
    emit verificationIssueChanged(*verificationIssue_);
}

void SearchSession::setEnd(qint64 issue) {
    endIssue_ = issue;
    emit endIssueChanged(issue);
}

void SearchSession::SetStartIssue() {
    if (span_.empty)
        return;
    startIssue_ = span_.firstIssue + (s_.bolSq ? 1 : s_.intPreQi);
    emit startIssueChanged(*startIssue_);
}

void SearchSession::SeekRefDraw() {
    refDraw_.reset();
    if (span_.empty || !store_.isOpen())
        return;
    QString why;
    refDraw_ = store_.drawBack(std::nullopt, s_.bolSq ? 0 : s_.intPreQi - 1, &why);
}

void SearchSession::LoadRefValues() {
    switch (source_) {
    case ReferenceSource::LastDraws:
        bolManual_ = false;
        // With no reference draw the values stay as they were.
        if (refDraw_)
            intRefVal_ = refDraw_->attributes.kindValues(s_.intLei);
        emit referenceValuesChanged(ReferenceSource::LastDraws);
        break;
    case ReferenceSource::Typed:
        bolManual_ = true;
        // A typed text that is not a number leaves its value as it was.
        for (int i = 0; i < kPositions; ++i)
            if (typed_[i])
                intRefVal_[i] = *typed_[i];
        break;
    case ReferenceSource::Verification:
        YSJS();
        break;
    }
}

void SearchSession::YSJS() {
    verificationDrawFound_ = false;
    if (!verificationIssue_ || span_.empty || !store_.isOpen())
        return;
    const auto target = issueBefore(QString::number(*verificationIssue_));
    if (!target)
        return;
    QString why;
    const auto atMost = store_.drawBack(*target, 0, &why);
    if (onlyBefore_) {
        if (!atMost)
            return;
        setEnd(atMost->issue);
    } else {
        setEnd(span_.lastIssue);
        if (!atMost)
            return;
    }
    const auto draw = store_.drawBack(*target, s_.bolSq ? 0 : s_.intPreQi - 1, &why);
    if (!draw)
        return;
    verificationDrawFound_ = true;
    bolManual_ = false;
    intRefVal_ = draw->attributes.kindValues(s_.intLei);
    emit referenceValuesChanged(ReferenceSource::Verification);
}

ReferenceOrigin SearchSession::referenceOrigin() const {
    switch (source_) {
    case ReferenceSource::Typed:
        return {ReferenceOrigin::Kind::Typed, std::nullopt};
    case ReferenceSource::Verification:
        return {ReferenceOrigin::Kind::Verification, verificationIssue_};
    case ReferenceSource::LastDraws:
        break;
    }
    return {ReferenceOrigin::Kind::Draw, referenceIssue()};
}

std::array<std::optional<QString>, kPositions> SearchSession::referenceTexts() const {
    std::array<std::optional<QString>, kPositions> texts;
    for (int i = 0; i < kPositions; ++i)
        texts[i] = referenceValueText(s_.intLei, intRefVal_[i], s_.SxIni);
    return texts;
}

// ---------------------------------------------------------------------------------------------
// Options

void SearchSession::setFreePositions(bool free) {
    s_.bolZyw = free;
    storeBool("bolZyw", s_.bolZyw);
    storeBool("bolSq", s_.bolSq);
    SeekRefDraw();
    LoadRefValues();
    SetStartIssue();
}

void SearchSession::setLastDrawReference(bool lastDraw) {
    s_.bolSq = lastDraw;
    storeBool("bolZyw", s_.bolZyw);
    storeBool("bolSq", s_.bolSq);
    SeekRefDraw();
    LoadRefValues();
    SetStartIssue();
}

void SearchSession::refreshForNumberOrder() {
    storeBool("bolSq", s_.bolSq);
    SeekRefDraw();
    LoadRefValues();
}

void SearchSession::setSearchKind(int kind) {
    if (!settingRanges::kind.contains(kind))
        return;
    s_.intLei = kind;
    SeekRefDraw();
    LoadRefValues();
    storeInt("intLei", s_.intLei);
}

void SearchSession::setResultKind(int kind) {
    if (!settingRanges::kind.contains(kind))
        return;
    s_.intXianshiLei = kind;
    storeInt("intXianshiLei", s_.intXianshiLei);
}

bool SearchSession::setPreQi(const QString& text, QString* error) {
    const auto n = settingNumber(text, settingRanges::intPreQi);
    if (!n) {
        if (error)
            *error = rangeMessage(QStringLiteral("前N期的N"), settingRanges::intPreQi, text);
        return false;
    }
    s_.intPreQi = *n;
    storeInt("intPreQi", s_.intPreQi);
    SeekRefDraw();
    LoadRefValues();
    SetStartIssue();
    return true;
}

bool SearchSession::setCombinedPositions(const QString& text, QString* error) {
    const auto k = settingNumber(text, settingRanges::intZhWSetup);
    if (!k) {
        if (error)
            *error = rangeMessage(QStringLiteral("组合位数"), settingRanges::intZhWSetup, text);
        return false;
    }
    s_.intZhWSetup = *k;
    storeInt("intZhWSetup", s_.intZhWSetup);
    return true;
}

void SearchSession::setZodiacBase(int base) {
    if (!settingRanges::base.contains(base))
        return;
    s_.SxIni = base;
    storeInt("SxIni", s_.SxIni);
    LoadRefValues(); // shown anew: a zodiac's name follows the base
}

void SearchSession::setSegmentBase(int base) {
    if (!settingRanges::base.contains(base))
        return;
    s_.DsIni = base;
    storeInt("DsIni", s_.DsIni);
}

// ---------------------------------------------------------------------------------------------
// Reference values

void SearchSession::setReferenceSource(ReferenceSource source) {
    // The end issue "only before the verified issue" belongs to the verification: the other
    // sources search to the last draw again.
    if (source_ == ReferenceSource::Verification && source != ReferenceSource::Verification &&
        !span_.empty)
        setEnd(span_.lastIssue);
    source_ = source;
    if (source == ReferenceSource::LastDraws)
        SeekRefDraw();
    LoadRefValues();
}

void SearchSession::setTypedValue(int position, const QString& text) {
    if (position < 1 || position > kPositions)
        return;
    const auto v = wholeNumber(text);
    typed_[position - 1] = v;
    if (v && source_ == ReferenceSource::Typed)
        intRefVal_[position - 1] = *v;
}

void SearchSession::noteVerificationText(const QString& text) {
    bool ok = false;
    const qint64 issue = text.trimmed().toLongLong(&ok);
    if (ok && issueBefore(text))
        verificationIssue_ = issue;
}

bool SearchSession::setVerificationIssue(const QString& text, QString* error) {
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 issue = t.toLongLong(&ok);
    if (!ok || !issueBefore(t)) {
        if (error)
            *error = QStringLiteral("“%1”不是期号，参考值未改变。请输入期号，例如 2013050。")
                         .arg(text.left(20));
        return false;
    }
    if (!span_.empty && store_.isOpen()) {
        QString why;
        if (!store_.drawBack(*issueBefore(t), 0, &why)) {
            if (error)
                *error = why.isEmpty()
                             ? QStringLiteral("第 %1 期之前没有历史号码，参考值未改变。").arg(t)
                             : why;
            return false;
        }
    }
    verificationIssue_ = issue;
    if (source_ == ReferenceSource::Verification)
        YSJS();
    return true;
}

bool SearchSession::setOnlyBefore(bool onlyBefore, const QString& issueText, QString* error) {
    onlyBefore_ = onlyBefore;
    if (onlyBefore) {
        const auto before = issueBefore(issueText);
        if (!before) {
            if (error)
                *error = QStringLiteral("“%1”不是期号，请在验证期数框中输入期号，例如 2013050。")
                             .arg(issueText.left(20));
            return false;
        }
        noteVerificationText(issueText);
        setEnd(*before);
    } else if (!span_.empty) {
        setEnd(span_.lastIssue);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Searches

SearchRequest SearchSession::request(const std::array<bool, kPositions>& positions,
                                     std::optional<qint64> startIssue,
                                     std::optional<qint64> endIssue) const {
    SearchRequest r;
    r.bolZyw = s_.bolZyw;
    r.bolSq = s_.bolSq;
    r.intPreQi = s_.intPreQi;
    r.intLei = s_.intLei;
    r.intXianshiLei = s_.intXianshiLei;
    r.bolManual = bolManual_;
    r.intRefVal = intRefVal_;
    r.bolPosSel = positions;
    r.startIssue = startIssue.value_or(startIssue_.value_or(0));
    r.endIssue = endIssue.value_or(endIssue_.value_or(0));
    r.bases = valueBases();
    return r;
}

bool SearchSession::readyToSearch(QString* error) const {
    if (span_.empty) {
        if (error)
            *error = QStringLiteral("历史号码是空的，无法检索。请先输入或读入历史号码。");
        return false;
    }
    if (source_ == ReferenceSource::LastDraws && !refDraw_) {
        if (error)
            *error = QStringLiteral("历史号码只有 %1 期，没有前%2期的参考号码。")
                         .arg(drawCount())
                         .arg(s_.intPreQi);
        return false;
    }
    if (source_ == ReferenceSource::Verification && !verificationDrawFound_) {
        if (error)
            *error = QStringLiteral("第 %1 期之前没有%2参考号码，请改正验证期数。")
                         .arg(verificationIssue_.value_or(0))
                         .arg(s_.bolSq ? QString()
                                       : QStringLiteral("足够的（前%1期）").arg(s_.intPreQi));
        return false;
    }
    return true;
}

QString SearchSession::misfitNote() {
    QString error;
    const auto fit = historyFit(&error);
    return fit ? fit->describe(valueBases()) : QString();
}

void SearchSession::checkFitBeside() {
    if (fitCheck_)
        return;
    struct Found {
        std::optional<HistoryStore::Version> version;
        std::optional<HistoryFit> fit;
    };
    auto found = std::make_shared<Found>();
    const QString folder = store_.folder();
    const ValueBases bases = valueBases();
    fitCheck_ = QThread::create([folder, bases, found] {
        HistoryStore store;
        if (!store.open(folder, nullptr, HistoryAccess::ReadOnly))
            return;
        const HistoryStore::ReadSnapshot pinned(store);
        found->version = store.version();
        if (found->version)
            found->fit = checkHistoryFit(store, bases, nullptr);
    });
    connect(fitCheck_, &QThread::finished, this, [this, found, bases] {
        fitCheck_->deleteLater();
        fitCheck_ = nullptr;
        const ValueBases now = valueBases();
        if (found->fit && now.sxIni == bases.sxIni && now.dsIni == bases.dsIni)
            fit_ = FitOf{*found->version, bases, *found->fit};
        // Read again here only when the history moved on meanwhile.
        emit fitNoted(misfitNote());
    });
    fitCheck_->start();
}

std::optional<SearchRefusal> SearchSession::readOnce(const SearchRequest& request,
                                                     const QVector<int>& columns) {
    using Kind = SearchRefusal::Kind;
    QString error;
    // The check and the read in one read of the file.
    const HistoryStore::ReadSnapshot pinned(store_);
    if (historyMovedOn())
        return SearchRefusal{Kind::MovedOn,
                             QStringLiteral("历史号码刚被改动（例如被另一个程序），请重新检索。")};
    // Names of one base must never be shown over values of another.
    const auto fit = historyFit(&error);
    if (!fit)
        return SearchRefusal{Kind::Unreadable, error};
    if (fit->misfitsKind(request.intLei) || fit->misfitsKind(request.intXianshiLei))
        return SearchRefusal{Kind::Misfit, fit->describe(valueBases())};
    if (!snapshot_.refresh(store_, columns, &error))
        return SearchRefusal{Kind::Unreadable, error};
    return std::nullopt;
}

std::optional<SearchRefusal> SearchSession::admit(const SearchRequest& request,
                                                  int combinedPositions) {
    using Kind = SearchRefusal::Kind;
    QString error;
    if (!readyToSearch(&error))
        return SearchRefusal{span_.empty ? Kind::EmptyHistory : Kind::NoReference, error};
    if (!validateRequest(request, &error) ||
        (combinedPositions != 0 && !validateCombinedPositions(combinedPositions, &error)))
        return SearchRefusal{Kind::BadRequest, error};
    return readOnce(request, searchColumns(request));
}

Gated<FollowResult> SearchSession::runFollow(const SearchRequest& request) {
    if (auto refused = admit(request, 0))
        return *refused;
    // The session's zodiac year keeps the cut-offs of the years met, as for the trend.
    return followSearch(snapshot_, request, &zodiacYear_);
}

Gated<FollowResult> SearchSession::runCombination(const SearchRequest& request) {
    if (auto refused = admit(request, s_.intZhWSetup))
        return *refused;
    return combinationSearch(snapshot_, request, s_.intZhWSetup, &zodiacYear_);
}

Gated<BacktestResult>
SearchSession::runBacktest(const SearchRequest& request, bool combination,
                           const BacktestRange& range, int topK,
                           const std::function<bool(qsizetype, qsizetype)>& progress) {
    using Kind = SearchRefusal::Kind;
    if (span_.empty)
        return SearchRefusal{Kind::EmptyHistory,
                             QStringLiteral("历史号码是空的，无法回测。请先输入或读入历史号码。")};
    BacktestRequest b;
    b.search = request;
    b.search.bolManual = b.search.bolManual || source_ == ReferenceSource::Typed;
    b.search.endIssue = b.search.startIssue; // each issue sets its own
    b.combinedPositions = combination ? s_.intZhWSetup : 0;
    b.topK = topK;
    QString error;
    if (!validateBacktest(b, &error))
        return SearchRefusal{b.search.bolManual ? Kind::NoReference : Kind::BadRequest, error};
    if (auto refused = readOnce(b.search, backtestColumns(b)))
        return *refused;
    const qsizetype rows = snapshot_.rows();
    b.lastIssue = range.to.value_or(snapshot_.issue(rows - 1));
    b.firstIssue = range.from.value_or(
        snapshot_.issue(std::max<qsizetype>(0, rows - std::max<qint64>(1, range.lastIssues))));
    if (!validateBacktestRange(b, &error))
        return SearchRefusal{Kind::BadRequest, error};
    auto result = quorvex::runBacktest(snapshot_, b, progress);
    if (!result)
        return SearchRefusal{Kind::Cancelled, QStringLiteral("回测已取消。")};
    return std::move(*result);
}

Gated<TrendFigures> SearchSession::runTrend(int kind, const TrendRange& range) {
    using Kind = SearchRefusal::Kind;
    const SearchRefusal empty{
        Kind::EmptyHistory,
        QStringLiteral("历史号码是空的，无法统计走势。请先输入或读入历史号码。")};
    if (span_.empty)
        return empty;
    if (kind < 0 || kind >= kKindCount)
        return SearchRefusal{Kind::BadRequest, QStringLiteral("走势的类别须是 0 至 5。")};
    if (range.lastIssues && *range.lastIssues < 1)
        return SearchRefusal{Kind::BadRequest, QStringLiteral("走势的期数须至少是 1。")};
    if (range.from && range.to && *range.from > *range.to)
        return SearchRefusal{Kind::BadRequest,
                             QStringLiteral("走势的起始期号 %1 在截止期号 %2 之后。")
                                 .arg(*range.from)
                                 .arg(*range.to)};
    QString error;
    {
        // The check and the read in one read of the file; the trend is worked out after it.
        const HistoryStore::ReadSnapshot pinned(store_);
        if (historyMovedOn())
            return SearchRefusal{Kind::MovedOn,
                                 QStringLiteral("历史号码刚被改动（例如被另一个程序），"
                                                "请重新统计走势。")};
        if (!snapshot_.refresh(store_, trendColumns(), &error))
            return SearchRefusal{Kind::Unreadable, error};
    }
    const qsizetype rows = snapshot_.rows();
    if (rows == 0)
        return empty;
    TrendRequest request;
    request.kind = kind;
    request.bases = valueBases();
    request.lastIssue = range.to.value_or(snapshot_.issue(rows - 1));
    request.firstIssue = range.from.value_or(
        range.lastIssues ? snapshot_.issue(std::max<qsizetype>(0, rows - *range.lastIssues))
                         : snapshot_.issue(0));
    const auto [first, last] = snapshot_.rowsBetween(request.firstIssue, request.lastIssue);
    if (first >= last)
        return SearchRefusal{Kind::BadRequest,
                             QStringLiteral("%1 至 %2 期之间没有开奖号码，无法统计走势。")
                                 .arg(request.firstIssue)
                                 .arg(request.lastIssue)};
    // The session's zodiac year keeps the cut-offs of the years met (asking it changes no year).
    auto figures = trendFigures(snapshot_, request, &error, &zodiacYear_);
    if (!figures)
        return SearchRefusal{Kind::Unreadable, error};
    return std::move(*figures);
}

} // namespace quorvex

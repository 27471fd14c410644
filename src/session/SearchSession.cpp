#include "SearchSession.h"

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
    : QObject(parent), store_(store), gate_(store, snapshot), settingsStore_(settings) {}

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
    return gate_.movedOn(version_);
}

RunContext SearchSession::runContext() {
    RunContext context;
    context.readAt = version_;
    context.emptyHistory = span_.empty;
    readyToSearch(&context.notReady);
    context.bases = valueBases();
    // The session's zodiac year keeps the cut-offs of the years met.
    context.zodiacYear = &zodiacYear_;
    return context;
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
    const auto fit = gate_.fit(valueBases(), &error);
    return fit ? fit->describe(valueBases()) : QString();
}

void SearchSession::checkFitBeside() {
    const ValueBases bases = valueBases();
    gate_.checkFitBeside(bases, this, [this, bases](auto version, auto fit) {
        const ValueBases now = valueBases();
        if (fit && now.sxIni == bases.sxIni && now.dsIni == bases.dsIni)
            gate_.noteFit(*version, bases, *fit);
        // Read again here only when the history moved on meanwhile.
        emit fitNoted(misfitNote());
    });
}

Gated<FollowResult> SearchSession::runFollow(const SearchRequest& request) {
    return gate_.follow(request, runContext());
}

Gated<FollowResult> SearchSession::runCombination(const SearchRequest& request) {
    return gate_.combination(request, s_.intZhWSetup, runContext());
}

Gated<BacktestResult>
SearchSession::runBacktest(const SearchRequest& request, bool combination,
                           const BacktestRange& range, int topK,
                           const std::function<bool(qsizetype, qsizetype)>& progress) {
    BacktestRequest b;
    b.search = request;
    b.search.bolManual = b.search.bolManual || source_ == ReferenceSource::Typed;
    b.search.endIssue = b.search.startIssue; // each issue sets its own
    b.combinedPositions = combination ? s_.intZhWSetup : 0;
    b.topK = topK;
    return gate_.backtest(b, range, runContext(), progress);
}

Gated<TrendFigures> SearchSession::runTrend(int kind, const TrendRange& range) {
    return gate_.trend(kind, range, runContext());
}

} // namespace quorvex

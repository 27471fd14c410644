#pragma once

#include "SearchGate.h"
#include "SearchRefusal.h"

#include "analysis/Backtest.h"
#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"
#include "analysis/TrendFigures.h"
#include "presentation/RunCaption.h"

#include "settings/SettingsStore.h"
#include "store/HistoryFit.h"
#include "store/HistorySnapshot.h"

#include <QDate>
#include <QObject>

#include <array>
#include <functional>
#include <optional>

namespace quorvex {

// Where the reference values come from.
enum class ReferenceSource {
    LastDraws = 0,    // the reference draw (the last, or the N-th from the end)
    Typed = 1,        // values typed by the user
    Verification = 2, // the draw before a chosen issue
};

// One search session over the history: the options (read from and written to the settings
// store), the reference draw and values, the default issue range, the next issue, and every
// limit of every option. Both faces drive it and read the same decisions from here.
//
// Each operation emits the signals of what it set, whether or not the value differs, so a view
// can overwrite what the user typed exactly when the operation says so.
class SearchSession : public QObject {
    Q_OBJECT
public:
    // store may be closed (a history that could not be opened reads as empty); snapshot is the
    // one its owner keeps beside it. settings: where changed options are written; nothing is
    // written without one (the CLI's options are for one run only).
    SearchSession(HistoryStore& store, HistorySnapshot& snapshot, SettingsStore* settings = nullptr,
                  QObject* parent = nullptr);

    // Reads the settings; values that are not valid read as their defaults and are returned as
    // problems, for one message.
    QStringList loadSettings();
    // Uses these settings instead of the store's.
    void setSettings(const Settings& settings) { s_ = settings; }
    const Settings& settings() const { return s_; }
    // For the setters of the settings no search reads (setRetentionYears, setServerAddress).
    Settings& updateSettings() { return s_; }
    SettingsStore* settingsStore() const { return settingsStore_; }
    ValueBases valueBases() const { return {s_.SxIni, s_.DsIni}; }

    // After any change of the history (and at start-up): the span and next issue (QihaoXianshi),
    // the default first issue (SetStartIssue), the reference draw and values (SeekRefDraw,
    // LoadRefValues). False with the reason when the history could not be read.
    bool historyChanged(QString* error = nullptr);
    // Whether anything (this program or another) wrote the history since historyChanged() last
    // read it: the session's issues and reference values then belong to an older history.
    bool historyMovedOn() const;
    // Counted when asked: the count reads the whole table.
    qint64 drawCount() const { return span_.empty ? 0 : store_.drawCount(); }
    bool isEmpty() const { return span_.empty; }
    std::optional<qint64> lastIssue() const;
    qint64 lngNextIssue() const { return nextIssue_; }
    // The zodiac year of the next issue, as typed for it (or the next issue itself).
    ZodiacYear& zodiacYear() { return zodiacYear_; }

    // The shared routines, on the history as last read.
    void QihaoXianshi();
    void SeekRefDraw();
    void LoadRefValues();
    void YSJS();
    void SetStartIssue();

    // Options. Each stores its setting and refreshes what depends on it.
    void setFreePositions(bool free);
    void setLastDrawReference(bool lastDraw);
    void refreshForNumberOrder(); // the order changes no search
    void setSearchKind(int kind);
    void setResultKind(int kind);
    bool setPreQi(const QString& text, QString* error);
    bool setCombinedPositions(const QString& text, QString* error);
    void setZodiacBase(int base);
    void setSegmentBase(int base);

    // Reference values.
    ReferenceSource referenceSource() const { return source_; }
    // Leaving the verification ends the range at the last draw again.
    void setReferenceSource(ReferenceSource source);
    // A typed value: a text that is not a whole number leaves the value as it was.
    void setTypedValue(int position, const QString& text);
    // The issue whose draw is to be foreseen. Refused with a message (values unchanged)
    // when the text is not an issue, or no draw lies before it.
    bool setVerificationIssue(const QString& text, QString* error);
    // The same without checks or messages, as choosing the verification or "only before" reads
    // the typed issue: a text that is not a number changes nothing.
    void noteVerificationText(const QString& text);
    std::optional<qint64> verificationIssue() const { return verificationIssue_; }
    // Only before: search only the history before the verification issue typed as issueText (the
    // issue before it ends the range). Ticked with a text that is not an issue: refused.
    bool setOnlyBefore(bool onlyBefore, const QString& issueText, QString* error);
    bool onlyBefore() const { return onlyBefore_; }

    // The reference draw (the last draw, or the N-th from the end).
    std::optional<qint64> referenceIssue() const {
        return refDraw_ ? std::optional(refDraw_->issue) : std::nullopt;
    }
    // Where the reference values of the next search come from, for its heading.
    ReferenceOrigin referenceOrigin() const;
    bool bolManual() const { return bolManual_; }
    const RefValues& intRefVal() const { return intRefVal_; }
    // How each reference value is written; nothing where the shown text stays (a zodiac value
    // without a name under the base).
    std::array<std::optional<QString>, kPositions> referenceTexts() const;

    // The default issue range.
    std::optional<qint64> startIssue() const { return startIssue_; }
    std::optional<qint64> endIssue() const { return endIssue_; }

    // What a search reads; the range defaults to the session's.
    SearchRequest request(const std::array<bool, kPositions>& positions,
                          std::optional<qint64> startIssue = std::nullopt,
                          std::optional<qint64> endIssue = std::nullopt) const;
    // The runs on the session's options and the history it last read, through the gate
    // (SearchGate.h): the follow search, or the combination search over intZhWSetup positions.
    // A history that moved on since historyChanged() is refused: refresh and ask again.
    Gated<FollowResult> runFollow(const SearchRequest& request);
    Gated<FollowResult> runCombination(const SearchRequest& request);

    using BacktestRange = SearchGate::BacktestRange;
    // The backtest of the follow search (or, with combination, the combination search over
    // intZhWSetup positions) with the options as they stand: the ticked positions, the range's
    // first issue of the request, the top K values. Refused as a search is, and when the
    // reference values are typed (they belong to no issue) or progress stops it.
    Gated<BacktestResult> runBacktest(const SearchRequest& request, bool combination,
                                      const BacktestRange& range, int topK,
                                      const std::function<bool(qsizetype, qsizetype)>& progress);
    using TrendRange = SearchGate::TrendRange;
    // The trend and omission of a kind over the range, each draw's values derived from its
    // numbers under the settings' bases and its own zodiac year (stored attributes are not read,
    // so values of other bases do not matter). Refused: an empty history, a kind outside 0..5, a
    // range after its end or holding no draw, a history that moved on since historyChanged(), a
    // history that cannot be read or holds a draw that is not five numbers of 1..15.
    Gated<TrendFigures> runTrend(int kind, const TrendRange& range);
    // What in the stored history does not fit the bases, in one sentence; empty when it all fits
    // (or cannot be read, which the next run reports).
    QString misfitNote();
    // The same worked out on a read-only connection of its own in another thread, so that a
    // window need not wait for the whole history to be read; fitNoted() follows once. Searches
    // then use what it found while the history and the bases stay as they were.
    void checkFitBeside();

    // The message of a number outside a setting's range.
    static QString rangeMessage(const QString& what, SettingRange range, const QString& text);

signals:
    void nextIssueChanged(qint64 issue);
    void startIssueChanged(qint64 issue);
    void endIssueChanged(qint64 issue);
    void issueRangeCleared(); // the history is empty
    void verificationIssueChanged(qint64 issue);
    void referenceValuesChanged(ReferenceSource shownOn);
    // After checkFitBeside(): misfitNote()'s text, empty when the history fits.
    void fitNoted(const QString& note);

private:
    // Whether the history and the reference allow a search at all; the reason otherwise.
    bool readyToSearch(QString* error) const;
    void storeInt(const char* key, int value);
    void storeBool(const char* key, bool value);
    void setEnd(qint64 issue);

    // What the session's runs are asked on: the history it last read, its readiness, bases.
    RunContext runContext();

    HistoryStore& store_;
    SearchGate gate_;
    SettingsStore* settingsStore_;
    Settings s_;
    HistoryStore::Span span_;
    std::optional<HistoryStore::Version> version_; // of the history span_ was read from
    qint64 nextIssue_ = 0;
    ZodiacYear zodiacYear_;
    std::optional<StoredDraw> refDraw_;
    ReferenceSource source_ = ReferenceSource::LastDraws;
    bool bolManual_ = false;
    RefValues intRefVal_{};
    std::array<std::optional<int>, kPositions> typed_{}; // the typed values that are numbers
    std::optional<qint64> verificationIssue_;
    bool verificationDrawFound_ = false; // YSJS found the verification reference draw
    bool onlyBefore_ = false;
    std::optional<qint64> startIssue_;
    std::optional<qint64> endIssue_;
};

} // namespace quorvex

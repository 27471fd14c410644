#include "SearchOptions.h"
#include "presentation/ChanceTexts.h"

#include "ArgumentValues.h"

#include "analysis/ChanceBaseline.h"
#include "analysis/SearchRequest.h"
#include "session/SearchSession.h"
#include "session/UntilCurrent.h"

namespace quorvex::cli {

namespace {

const QString kOptKind = QStringLiteral("kind");
const QString kOptResult = QStringLiteral("result");
const QString kOptMode = QStringLiteral("mode");
const QString kOptLag = QStringLiteral("lag");
const QString kOptPositions = QStringLiteral("positions");
const QString kOptValues = QStringLiteral("values");
const QString kOptVerify = QStringLiteral("verify");
const QString kOptBefore = QStringLiteral("before");
const QString kOptFrom = QStringLiteral("from");
const QString kOptTo = QStringLiteral("to");
const QString kOptMatches = QStringLiteral("matches");
const QString kOptBaseline = QStringLiteral("baseline");
const QString kOptLast = QStringLiteral("last");

const char* const kKindNames = "number|zodiac|head|tail|sum|segment";

// A kind by its name (any case) or its index 0..5 in plain digits.
std::optional<int> parseKindOption(const QString& text) {
    if (const auto index = plainNumber(text))
        return *index < kKindCount ? std::optional<int>(int(*index)) : std::nullopt;
    const bool name = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    });
    const int kind = name ? parseKind(text) : -1;
    return kind >= 0 ? std::optional<int>(kind) : std::nullopt;
}

// "1,3" ticks positions 1 and 3; an empty text ticks none, so every draw of the range is tallied.
// A position named twice is refused.
std::optional<std::array<bool, kPositions>> parsePositions(const QString& text) {
    std::array<bool, kPositions> ticked{};
    if (text.isEmpty())
        return ticked;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const auto p = plainNumber(part);
        if (!p || *p < 1 || *p > kPositions || ticked[*p - 1])
            return std::nullopt;
        ticked[*p - 1] = true;
    }
    return ticked;
}

} // namespace

void addSearchOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {kOptKind,
         QStringLiteral("Search kind: number, zodiac, head, tail, sum, segment or 0..5 "
                        "(default number)."),
         QStringLiteral("KIND"), QStringLiteral("number")},
        {kOptResult, QStringLiteral("Result kind tallied, as --kind (default number)."),
         QStringLiteral("KIND"), QStringLiteral("number")},
        {kOptMode,
         QStringLiteral("free: the reference values anywhere in the earlier draw; fixed: at "
                        "their own positions (default free)."),
         QStringLiteral("free|fixed"), QStringLiteral("free")},
        {kOptLag,
         QStringLiteral("1: match through the draw just before (上期); N = 2..9: through the draw "
                        "N before, the reference draw being the N-th from the end (前N期). "
                        "Default 1."),
         QStringLiteral("N"), QStringLiteral("1")},
        {kOptPositions,
         QStringLiteral("Positions compared, such as 1,3; empty for none (default all five)."),
         QStringLiteral("LIST")},
        {kOptValues,
         QStringLiteral("Typed reference values v1,...,v5 instead of the reference draw's "
                        "(zodiac values as numbers)."),
         QStringLiteral("V1,V2,V3,V4,V5")},
        {kOptVerify,
         QStringLiteral("Reference values from the draw before this issue (verification)."),
         QStringLiteral("ISSUE")},
        {kOptBefore, QStringLiteral("With --verify: search only the history before that issue.")},
        {kOptFrom,
         QStringLiteral("First issue of the follow draws (default: the first issue plus the "
                        "lag)."),
         QStringLiteral("ISSUE")},
        {kOptTo, QStringLiteral("Last issue of the follow draws (default: the last issue)."),
         QStringLiteral("ISSUE")},
        {kOptMatches, QStringLiteral("Print the match grid (the follow draws) instead of the "
                                     "result grid.")},
        {kOptBaseline,
         QStringLiteral("Add to the result grid what chance alone gives each value: expected "
                        "count, ratio, Holm-corrected p and a mark when it is below 0.01.")},
    });
}

int SearchOptions::parse(const QCommandLineParser& parser, Context& context, PositionUse use) {
    matches = parser.isSet(kOptMatches);
    baseline = parser.isSet(kOptBaseline);
    if (matches && baseline)
        return context.usage(QStringLiteral("--baseline adds to the result grid and cannot go "
                                            "with --matches"));
    for (const auto& [option, target] :
         {std::pair{kOptKind, &kind}, std::pair{kOptResult, &resultKind}}) {
        const auto parsed = kindOption(parser, option, context);
        if (!parsed)
            return ExitUsage;
        *target = *parsed;
    }

    const QString mode = parser.value(kOptMode).trimmed().toLower();
    if (mode != QLatin1String("free") && mode != QLatin1String("fixed"))
        return context.usage(
            QStringLiteral("--mode takes free or fixed, not '%1'").arg(parser.value(kOptMode)));
    free = mode == QLatin1String("free");

    const auto lagValue =
        numberArgument(parser.value(kOptLag), QStringLiteral("--lag"),
                       settingRanges::intPreQi.minimum, settingRanges::intPreQi.maximum, context);
    if (!lagValue)
        return ExitUsage;
    lag = int(*lagValue);

    positions.fill(true);
    if (parser.isSet(kOptPositions) && use == PositionUse::Ignored) {
        context.warn(
            QStringLiteral("--positions is ignored: every group of positions is compared"));
    } else if (parser.isSet(kOptPositions)) {
        const auto ticked = parsePositions(parser.value(kOptPositions));
        if (!ticked)
            return context.usage(QStringLiteral("--positions takes different positions 1..5 "
                                                "separated by commas, such as 1,3, not '%1'")
                                     .arg(parser.value(kOptPositions)));
        positions = *ticked;
    }

    if (parser.isSet(kOptValues) && parser.isSet(kOptVerify))
        return context.usage(
            QStringLiteral("--values and --verify choose different reference values; give one"));
    if (parser.isSet(kOptBefore) && !parser.isSet(kOptVerify))
        return context.usage(QStringLiteral("--before needs --verify ISSUE"));
    if (parser.isSet(kOptValues)) {
        const QStringList parts = parser.value(kOptValues).split(QLatin1Char(','));
        bool whole = parts.size() == kPositions;
        for (const QString& part : parts)
            whole = whole && plainNumber(part);
        if (!whole)
            return context.usage(QStringLiteral("--values takes five whole numbers separated by "
                                                "commas, such as 3,7,9,11,14, not '%1'")
                                     .arg(parser.value(kOptValues)));
        typedValues = parts;
    }
    if (parser.isSet(kOptVerify)) {
        verify =
            issueArgument(parser.value(kOptVerify), QStringLiteral("--") + kOptVerify, context);
        if (!verify)
            return ExitUsage;
    }
    before = parser.isSet(kOptBefore);
    return parseIssueBounds(parser, context, &from, &to);
}

std::optional<int> kindOption(const QCommandLineParser& parser, const QString& option,
                              Context& context) {
    const auto parsed = parseKindOption(parser.value(option));
    if (!parsed)
        context.usage(QStringLiteral("--%1 takes %2 or 0..5, not '%3'")
                          .arg(option, QLatin1String(kKindNames), parser.value(option)));
    return parsed;
}

int parseIssueBounds(const QCommandLineParser& parser, Context& context,
                     std::optional<qint64>* from, std::optional<qint64>* to) {
    for (const auto& [option, target] : {std::pair{kOptFrom, from}, std::pair{kOptTo, to}}) {
        if (!parser.isSet(option))
            continue;
        *target = issueArgument(parser.value(option), QStringLiteral("--") + option, context);
        if (!*target)
            return ExitUsage;
    }
    if (*from && *to && **from > **to)
        return context.usage(QStringLiteral("--from %1 comes after --to %2; nothing searched")
                                 .arg(**from)
                                 .arg(**to));
    return ExitSuccess;
}

int parseLastIssues(const QCommandLineParser& parser, Context& context,
                    std::optional<qint64>* last) {
    if (!parser.isSet(kOptLast))
        return ExitSuccess;
    // More issues than any history holds, still an int.
    *last = numberArgument(parser.value(kOptLast), QStringLiteral("--last"), 1, 1000000, context);
    if (!*last)
        return ExitUsage;
    if (parser.isSet(kOptFrom) || parser.isSet(kOptTo))
        return context.usage(QStringLiteral("give --last N or --from and --to, not both"));
    return ExitSuccess;
}

bool SearchOptions::apply(SearchSession& session, QString* error) const {
    // The options in the order the window's controls would set them.
    session.setFreePositions(free);
    const bool lastDraw = lag == 1;
    if (!lastDraw && !session.setPreQi(QString::number(lag), error))
        return false;
    session.setLastDrawReference(lastDraw);
    session.setSearchKind(kind);
    session.setResultKind(resultKind);
    if (!typedValues.isEmpty()) {
        for (int i = 0; i < kPositions; ++i)
            session.setTypedValue(i + 1, typedValues[i]);
        session.setReferenceSource(ReferenceSource::Typed);
    } else if (verify) {
        // As in the window: the box ticked, the issue typed, then the tab read (YSJS), which ends
        // the range at the last draw before the verified issue.
        const QString issue = QString::number(*verify);
        if (!session.setOnlyBefore(before, issue, error) ||
            !session.setVerificationIssue(issue, error))
            return false;
        session.setReferenceSource(ReferenceSource::Verification);
    } else {
        session.setReferenceSource(ReferenceSource::LastDraws);
    }
    return true;
}

namespace {

const QString kRebuildRemedy =
    QStringLiteral("请运行 quorvex-cli rebuild，按当前参数重算历史号码（会先保存一份副本）。");

} // namespace

int sayRefusal(Context& context, const SearchRefusal& refusal) {
    switch (refusal.kind) {
    case SearchRefusal::Kind::BadRequest:
        return context.usage(refusal.text);
    case SearchRefusal::Kind::Misfit:
        return context.fail(refusal.text + QStringLiteral("没有检索，") + kRebuildRemedy);
    default:
        return context.fail(refusal.text);
    }
}

Gated<FollowResult> runCombinationOver(SearchSession& session, const QString& k,
                                       const SearchRequest& request) {
    QString error;
    if (!session.setCombinedPositions(k, &error))
        return SearchRefusal{SearchRefusal::Kind::BadRequest, error};
    return session.runCombination(request);
}

void noteMisfits(Context& context, SearchSession& session) {
    const QString misfits = session.misfitNote();
    if (!misfits.isEmpty())
        context.warn(misfits + kRebuildRemedy);
}

std::optional<FollowResult> runSearchFromOptions(const SearchOptions& options, HistoryStore& store,
                                                 Context& context, const SessionSearch& search,
                                                 int* status) {
    SearchSession session(store, context.snapshot());
    session.setSettings(context.settings());
    QString error;
    // The reference values and the request are read in one read of the history; the search reads
    // again briefly and computes holding no lock, so that a writer beside it need not wait. A
    // history written in between is refused by the search and read afresh here.
    const auto outcome = untilCurrent([&]() -> std::optional<Gated<FollowResult>> {
        std::optional<SearchRequest> request;
        {
            const HistoryStore::ReadSnapshot pinned(store);
            if (!session.historyChanged(&error) || !options.apply(session, &error))
                return std::nullopt;
            request = session.request(options.positions, options.from, options.to);
            request->listFollowDraws = options.matches;
        }
        return search(session, *request);
    });
    if (!outcome) {
        *status = context.fail(error);
        return std::nullopt;
    }
    if (!*outcome) {
        *status = sayRefusal(context, outcome->refusal());
        return std::nullopt;
    }
    noteMisfits(context, session);
    return std::move(**outcome);
}

int runSearchCommand(const SearchOptions& options, HistoryStore& store, Context& context,
                     GridFormat format, const SessionSearch& search) {
    int status = ExitSuccess;
    const auto result = runSearchFromOptions(options, store, context, search, &status);
    if (!result)
        return status;
    Grid grid;
    if (options.matches) {
        grid.header = result->matchHeader;
        grid.rows = result->matchRows;
    } else {
        const QVector<QStringList> rows =
            options.baseline ? resultRowsWithBaseline(*result) : result->resultRows;
        grid.header = options.baseline ? resultHeaderWithBaseline(*result) : result->resultHeader;
        grid.rows = rows;
    }
    printGrid(context.out(), grid, format);
    return ExitSuccess;
}

} // namespace quorvex::cli

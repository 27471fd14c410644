#include "SearchOptions.h"

#include <QRegularExpression>

#include "analysis/ReferenceDraw.h"
#include "analysis/SearchSql.h"

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

const char* const kKindNames = "number|zodiac|head|tail|sum|segment";

std::optional<int> parseInt(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

// "1,3" ticks positions 1 and 3; an empty text ticks none, so every draw of the range is tallied.
std::optional<std::array<bool, kPositions>> parsePositions(const QString& text) {
    std::array<bool, kPositions> ticked{};
    if (text.trimmed().isEmpty())
        return ticked;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const auto p = parseInt(part);
        if (!p || *p < 1 || *p > kPositions)
            return std::nullopt;
        ticked[*p - 1] = true;
    }
    return ticked;
}

std::optional<RefValues> parseValues(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != kPositions)
        return std::nullopt;
    RefValues values{};
    for (int i = 0; i < kPositions; ++i) {
        const auto v = parseInt(parts[i]);
        if (!v)
            return std::nullopt;
        values[i] = *v;
    }
    return values;
}

// Everything of the request that does not depend on the history; the exit status otherwise.
struct ParsedOptions {
    SearchRequest request;
    std::optional<qint64> verifyTarget; // the issue before --verify's
    bool before = false;
};

int parseOptions(const QCommandLineParser& parser, Context& context, PositionUse positions,
                 ParsedOptions& o) {
    SearchRequest& r = o.request;

    r.intLei = parseKind(parser.value(kOptKind));
    if (r.intLei < 0)
        return context.usage(QStringLiteral("--kind takes %1 or 0..5, not '%2'")
                                 .arg(QLatin1String(kKindNames), parser.value(kOptKind)));
    r.intXianshiLei = parseKind(parser.value(kOptResult));
    if (r.intXianshiLei < 0)
        return context.usage(QStringLiteral("--result takes %1 or 0..5, not '%2'")
                                 .arg(QLatin1String(kKindNames), parser.value(kOptResult)));

    const QString mode = parser.value(kOptMode).trimmed().toLower();
    if (mode != QLatin1String("free") && mode != QLatin1String("fixed"))
        return context.usage(
            QStringLiteral("--mode takes free or fixed, not '%1'").arg(parser.value(kOptMode)));
    r.bolZyw = mode == QLatin1String("free");

    const auto lag = parseInt(parser.value(kOptLag));
    if (!lag)
        return context.usage(QStringLiteral("--lag takes a number from 1 to 9, not '%1'")
                                 .arg(parser.value(kOptLag)));
    // Lag 1 is the last draw (上期); N >= 2 is 前N期. Out-of-range N is left to the core's check.
    r.bolSq = *lag == 1;
    r.intPreQi = *lag;

    r.bolPosSel.fill(true);
    if (parser.isSet(kOptPositions) && positions == PositionUse::Ignored) {
        context.warn(
            QStringLiteral("--positions is ignored: every group of positions is compared"));
    } else if (parser.isSet(kOptPositions)) {
        const auto ticked = parsePositions(parser.value(kOptPositions));
        if (!ticked)
            return context.usage(QStringLiteral("--positions takes positions 1..5 separated by "
                                                "commas, such as 1,3, not '%1'")
                                     .arg(parser.value(kOptPositions)));
        r.bolPosSel = *ticked;
    }

    if (parser.isSet(kOptValues) && parser.isSet(kOptVerify))
        return context.usage(
            QStringLiteral("--values and --verify choose different reference values; give one"));
    if (parser.isSet(kOptBefore) && !parser.isSet(kOptVerify))
        return context.usage(QStringLiteral("--before needs --verify ISSUE"));
    if (parser.isSet(kOptValues)) {
        const auto values = parseValues(parser.value(kOptValues));
        if (!values)
            return context.usage(QStringLiteral("--values takes five whole numbers separated by "
                                                "commas, such as 3,7,9,11,14, not '%1'")
                                     .arg(parser.value(kOptValues)));
        r.bolManual = true;
        r.intRefVal = *values;
    }
    if (parser.isSet(kOptVerify)) {
        const QString verify = parser.value(kOptVerify).trimmed();
        static const QRegularExpression sevenDigits(QStringLiteral("^[0-9]{7}$"));
        if (sevenDigits.match(verify).hasMatch())
            o.verifyTarget = issueBefore(verify);
        if (!o.verifyTarget)
            return context.usage(QStringLiteral("--verify takes an issue number such as 2013050, "
                                                "not '%1'")
                                     .arg(parser.value(kOptVerify)));
        o.before = parser.isSet(kOptBefore);
    }
    return ExitSuccess;
}

// The core's own check of kind, lag, typed values and issue texts, before anything is written.
int checkRequest(const SearchRequest& r, Context& context) {
    QString error;
    if (!validateRequest(r, &error))
        return context.usage(error);
    return ExitSuccess;
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
    });
}

std::optional<FollowResult> runSearchFromOptions(const QCommandLineParser& parser, Context& context,
                                                 PositionUse positions, const SearchRunner& search,
                                                 int& status) {
    ParsedOptions o;
    const auto failed = [&](const QString& message) -> std::optional<FollowResult> {
        status = context.fail(message);
        return std::nullopt;
    };
    status = parseOptions(parser, context, positions, o);
    if (status)
        return std::nullopt;
    SearchRequest& r = o.request;
    const Settings settings = context.settings();
    r.bases = ValueBases{settings.SxIni, settings.DsIni};
    // Placeholder issue texts: kind, lag and typed values are checked before the history is read.
    r.startIssueText = r.endIssueText = QStringLiteral("0");
    status = checkRequest(r, context);
    if (status)
        return std::nullopt;

    HistoryStore* store = context.history();
    if (!store) {
        status = ExitFailure;
        return std::nullopt;
    }
    QString error;
    const HistoryView view = store->loadView(&error);
    if (!error.isEmpty())
        return failed(QStringLiteral("cannot read the history: %1").arg(error));

    // An empty history has no reference draw and no follow draw: the search shows headings only.
    std::optional<qint64> defaultEnd;
    if (!view.isEmpty()) {
        defaultEnd = view.last()->issue;
        if (o.verifyTarget) {
            const qsizetype atMost = verificationDraw(view, *o.verifyTarget, true, 1);
            const qsizetype position = verificationDraw(view, *o.verifyTarget, r.bolSq, r.intPreQi);
            if (atMost < 0 || position < 0)
                return failed(
                    QStringLiteral("no reference draw for --verify %1: the history holds no draw "
                                   "at or before issue %2%3")
                        .arg(parser.value(kOptVerify))
                        .arg(*o.verifyTarget)
                        .arg(r.bolSq ? QString()
                                     : QStringLiteral(" with %1 more draws before it")
                                           .arg(r.intPreQi - 1)));
            r.intRefVal = *referenceValuesAt(view, position, r.intLei);
            if (o.before)
                defaultEnd = view.rows()[atMost].issue;
        } else if (!r.bolManual) {
            const qsizetype position = SeekRefDraw(view, r.bolSq, r.intPreQi);
            if (position < 0)
                return failed(QStringLiteral("no reference draw: --lag %1 needs at least "
                                             "%1 draws, the history holds %2")
                                  .arg(r.intPreQi)
                                  .arg(view.size()));
            r.intRefVal = *referenceValuesAt(view, position, r.intLei);
        }
    }
    const auto defaultStart = SetStartIssue(view, r.bolSq, r.intPreQi);
    r.startIssueText = parser.isSet(kOptFrom) ? parser.value(kOptFrom)
                       : defaultStart         ? QString::number(*defaultStart)
                                              : QStringLiteral("0");
    r.endIssueText = parser.isSet(kOptTo) ? parser.value(kOptTo)
                     : defaultEnd         ? QString::number(*defaultEnd)
                                          : QStringLiteral("0");
    status = checkRequest(r, context);
    if (status)
        return std::nullopt;

    auto result = search(*store, r, &error);
    if (!result)
        return failed(error);
    return result;
}

int runSearchCommand(const QCommandLineParser& parser, Context& context, GridFormat format,
                     PositionUse positions, const SearchRunner& search) {
    int status = ExitSuccess;
    const auto result = runSearchFromOptions(parser, context, positions, search, status);
    if (!result)
        return status;
    Grid grid;
    if (parser.isSet(kOptMatches)) {
        grid.header = result->matchHeader;
        grid.rows = QList<QStringList>(result->matchRows.begin(), result->matchRows.end());
    } else {
        grid.header = result->resultHeader;
        grid.rows = QList<QStringList>(result->resultRows.begin(), result->resultRows.end());
    }
    printGrid(context.out(), grid, format);
    return ExitSuccess;
}

} // namespace quorvex::cli

#include "WindowChoices.h"

#include <QSettings>

namespace quorvex {

namespace {

struct WindowGroup {
    SettingsGroup group{QStringLiteral("Window")};
    QSettings& settings = group.settings();
};

QString ticksKey(int tab) {
    return QStringLiteral("ticks%1").arg(tab);
}

// Ticked positions are stored as their numbers: "1,3"; nothing ticked is an empty text.
QString ticksText(const std::array<bool, kPositions>& ticked) {
    QStringList positions;
    for (int i = 0; i < kPositions; ++i)
        if (ticked[i])
            positions << QString::number(i + 1);
    return positions.join(QLatin1Char(','));
}

std::optional<std::array<bool, kPositions>> parseTicks(const QString& text) {
    std::array<bool, kPositions> ticked{};
    if (text.trimmed().isEmpty())
        return ticked;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const auto position = settingNumber(part, {1, kPositions});
        if (!position)
            return std::nullopt;
        ticked[*position - 1] = true;
    }
    return ticked;
}

} // namespace

WindowChoices WindowChoicesStore::load(QStringList* problems) const {
    WindowGroup opened;
    QSettings& store = opened.settings;
    WindowChoices c;
    auto stored = [&](const QString& key) -> std::optional<QString> {
        if (!store.contains(key))
            return std::nullopt;
        return store.value(key).toString();
    };
    auto refuse = [&](const QString& key, const QString& text) {
        if (problems)
            *problems << quotedSetting(QStringLiteral("Window/") + key, text);
    };
    auto readInt = [&](const QString& key, int& target, SettingRange range) {
        if (const auto text = stored(key)) {
            if (const auto v = settingNumber(*text, range))
                target = *v;
            else
                refuse(key, *text);
        }
    };
    auto readBool = [&](const QString& key, bool& target) {
        if (const auto text = stored(key)) {
            if (const auto v = settingBool(*text))
                target = *v;
            else
                refuse(key, *text);
        }
    };
    // The window checks the geometry as it restores it.
    c.geometry = store.value(QStringLiteral("geometry")).toByteArray();
    readInt(QStringLiteral("resultPage"), c.resultPage, windowRanges::resultPage);
    for (int tab = 0; tab < int(c.ticks.size()); ++tab)
        if (const auto text = stored(ticksKey(tab))) {
            if (const auto ticked = parseTicks(*text))
                c.ticks[tab] = *ticked;
            else
                refuse(ticksKey(tab), *text);
        }
    readInt(QStringLiteral("backtestIssues"), c.backtestIssues, windowRanges::backtestIssues);
    readInt(QStringLiteral("backtestTopK"), c.backtestTopK, windowRanges::backtestTopK);
    readBool(QStringLiteral("backtestCombination"), c.backtestCombination);
    readInt(QStringLiteral("trendKind"), c.trendKind, settingRanges::kind);
    readBool(QStringLiteral("trendLastIssues"), c.trendLastIssues);
    readInt(QStringLiteral("trendLast"), c.trendLast, windowRanges::trendLast);
    return c;
}

void WindowChoicesStore::writeGeometry(const QByteArray& geometry) {
    WindowGroup().settings.setValue(QStringLiteral("geometry"), geometry);
}

void WindowChoicesStore::writeResultPage(int page) {
    WindowGroup().settings.setValue(QStringLiteral("resultPage"), QString::number(page));
}

void WindowChoicesStore::writeTicks(int tab, const std::array<bool, kPositions>& ticked) {
    WindowGroup().settings.setValue(ticksKey(tab), ticksText(ticked));
}

void WindowChoicesStore::writeBacktest(int issues, int topK, bool combination) {
    WindowGroup opened;
    opened.settings.setValue(QStringLiteral("backtestIssues"), QString::number(issues));
    opened.settings.setValue(QStringLiteral("backtestTopK"), QString::number(topK));
    opened.settings.setValue(QStringLiteral("backtestCombination"),
                             combination ? QStringLiteral("True") : QStringLiteral("False"));
}

void WindowChoicesStore::writeTrend(int kind, bool lastIssues, int last) {
    WindowGroup opened;
    opened.settings.setValue(QStringLiteral("trendKind"), QString::number(kind));
    opened.settings.setValue(QStringLiteral("trendLastIssues"),
                             lastIssues ? QStringLiteral("True") : QStringLiteral("False"));
    opened.settings.setValue(QStringLiteral("trendLast"), QString::number(last));
}

} // namespace quorvex

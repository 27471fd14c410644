#include "SettingsStore.h"

#include <QSettings>

#include <optional>

namespace quorvex {

namespace {

// The store opened on the group every key lives in.
struct GroupStore {
    GroupStore()
        : settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trelvane")) {
        settings.beginGroup(QStringLiteral("IniSetting"));
    }
    QSettings settings;
};

// Booleans are stored as True / False; a number also reads (0 is False).
std::optional<bool> parseBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        return v != 0;
    return std::nullopt;
}

std::optional<int> parseInt(const QString& text, int lo, int hi) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lo || v > hi)
        return std::nullopt;
    return v;
}

} // namespace

Settings SettingsStore::load(QStringList* problems) const {
    GroupStore opened;
    QSettings& store = opened.settings;
    Settings s;
    auto readInt = [&](const char* key, int& target, int lo, int hi) {
        const QString k = QString::fromLatin1(key);
        if (!store.contains(k))
            return;
        const QString text = store.value(k).toString();
        if (const auto v = parseInt(text, lo, hi))
            target = *v;
        else if (problems)
            *problems << QStringLiteral("%1=%2").arg(k, text);
    };
    auto readBool = [&](const char* key, bool& target) {
        const QString k = QString::fromLatin1(key);
        if (!store.contains(k))
            return;
        const QString text = store.value(k).toString();
        if (const auto v = parseBool(text))
            target = *v;
        else if (problems)
            *problems << QStringLiteral("%1=%2").arg(k, text);
    };
    readInt("IniSerchDay", s.IniSerchDay, 2, 16);
    readBool("bolZyw", s.bolZyw);
    readBool("bolSq", s.bolSq);
    readInt("intLei", s.intLei, 0, 5);
    readInt("intXianshiLei", s.intXianshiLei, 0, 5);
    readInt("DsIni", s.DsIni, 0, 1);
    readInt("SxIni", s.SxIni, 0, 1);
    readInt("intPreQi", s.intPreQi, 0, 9);
    readInt("intZhWSetup", s.intZhWSetup, -32768, 32767);
    s.strServer = store.value(QStringLiteral("strServer")).toString().trimmed();
    return s;
}

void SettingsStore::writeInt(const QString& key, int value) {
    GroupStore().settings.setValue(key, QString::number(value));
}

void SettingsStore::writeBool(const QString& key, bool value) {
    GroupStore().settings.setValue(key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

QString SettingsStore::fileName() const {
    return GroupStore().settings.fileName();
}

} // namespace quorvex

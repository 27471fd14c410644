#include "SettingsStore.h"

#include <QSettings>

namespace quorvex {

namespace {

// The store opened on the group every key lives in.
struct GroupStore {
    SettingsGroup group{QStringLiteral("IniSetting")};
    QSettings& settings = group.settings();
};

// No valid number or boolean is longer: anything longer is refused before it is parsed.
constexpr qsizetype kMaxValueLength = 16;
constexpr qsizetype kQuotedCharacters = 20;

} // namespace

SettingsGroup::SettingsGroup(const QString& group)
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trelvane")) {
    settings_.beginGroup(group);
}

std::optional<bool> settingBool(const QString& text) {
    if (text.size() > kMaxValueLength)
        return std::nullopt;
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (ok)
        return v != 0;
    return std::nullopt;
}

QString quotedSetting(const QString& key, const QString& text) {
    if (text.size() <= kQuotedCharacters)
        return QStringLiteral("%1=%2").arg(key, text);
    return QStringLiteral("%1=%2…（共 %3 个字符）")
        .arg(key, text.left(kQuotedCharacters))
        .arg(text.size());
}

std::optional<int> settingNumber(const QString& text, SettingRange range) {
    if (text.size() > kMaxValueLength)
        return std::nullopt;
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || !range.contains(v))
        return std::nullopt;
    return v;
}

Settings SettingsStore::load(QStringList* problems) const {
    GroupStore opened;
    QSettings& store = opened.settings;
    Settings s;
    // The stored text of a key, or nothing when the key is missing.
    auto stored = [&](const char* key) -> std::optional<QString> {
        const QString k = QString::fromLatin1(key);
        if (!store.contains(k))
            return std::nullopt;
        return store.value(k).toString();
    };
    auto refuse = [&](const char* key, const QString& text) {
        if (problems)
            *problems << quotedSetting(QString::fromLatin1(key), text);
    };
    auto readInt = [&](const char* key, int& target, SettingRange range) {
        if (const auto text = stored(key)) {
            if (const auto v = settingNumber(*text, range))
                target = *v;
            else
                refuse(key, *text);
        }
    };
    auto readBool = [&](const char* key, bool& target) {
        if (const auto text = stored(key)) {
            const auto v = settingBool(*text);
            if (v)
                target = *v;
            else
                refuse(key, *text);
        }
    };
    readInt("IniSerchDay", s.IniSerchDay, settingRanges::IniSerchDay);
    readBool("bolZyw", s.bolZyw);
    readBool("bolSq", s.bolSq);
    readInt("intLei", s.intLei, settingRanges::kind);
    readInt("intXianshiLei", s.intXianshiLei, settingRanges::kind);
    readInt("DsIni", s.DsIni, settingRanges::base);
    readInt("SxIni", s.SxIni, settingRanges::base);
    readInt("intPreQi", s.intPreQi, settingRanges::intPreQi);
    readInt("intZhWSetup", s.intZhWSetup, settingRanges::intZhWSetup);
    if (const auto text = stored("strServer")) {
        if (text->size() <= kMaxServerAddressLength)
            s.strServer = text->trimmed();
        else
            refuse("strServer", *text);
    }
    return s;
}

void SettingsStore::writeInt(const QString& key, int value) {
    GroupStore().settings.setValue(key, QString::number(value));
}

void SettingsStore::writeBool(const QString& key, bool value) {
    GroupStore().settings.setValue(key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

void SettingsStore::writeText(const QString& key, const QString& value) {
    GroupStore().settings.setValue(key, value);
}

QString SettingsStore::fileName() const {
    return GroupStore().settings.fileName();
}

bool setRetentionYears(const QString& text, Settings& into, SettingsStore* store, QString* error) {
    const auto years = settingNumber(text, settingRanges::IniSerchDay);
    if (!years) {
        if (error)
            *error = QStringLiteral("为了保证时效性和提高计算效率，软件只能统计16年以内的数据，"
                                    "请输入2到16中的自然数。");
        return false;
    }
    into.IniSerchDay = *years;
    if (store)
        store->writeInt(QStringLiteral("IniSerchDay"), into.IniSerchDay);
    return true;
}

bool setServerAddress(const QString& text, Settings& into, SettingsStore* store, QString* error) {
    const QString address = text.trimmed();
    const bool web = address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                     address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    if (!address.isEmpty() && (!web || address.size() > kMaxServerAddressLength)) {
        if (error)
            *error = QStringLiteral("服务器地址须以 http:// 或 https:// 开头，例如 "
                                    "https://example.com。");
        return false;
    }
    into.strServer = address;
    if (store)
        store->writeText(QStringLiteral("strServer"), address);
    return true;
}

} // namespace quorvex

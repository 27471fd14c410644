#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex {

// The user's persisted choices, with the defaults of a first start.
struct Settings {
    int IniSerchDay = 3;   // years of history kept by the online update
    bool bolZyw = true;    // free positions
    bool bolSq = true;     // reference draw is the last draw
    int intLei = 0;        // search kind
    int intXianshiLei = 0; // result kind
    int DsIni = 1;         // segment base
    int SxIni = 1;         // zodiac base
    int intPreQi = 2;      // N of 前N期
    int intZhWSetup = 2;   // combined positions of the combination search
    QString strServer;     // base address of the results service; empty: not configured
};

// The range of every whole-number setting: what the store accepts, what the window and the CLI
// accept, and what their messages quote.
struct SettingRange {
    int minimum;
    int maximum;
    bool contains(int v) const { return v >= minimum && v <= maximum; }
};
namespace settingRanges {
constexpr SettingRange IniSerchDay{2, 16};
constexpr SettingRange kind{0, 5}; // intLei, intXianshiLei
constexpr SettingRange base{0, 1}; // DsIni, SxIni
constexpr SettingRange intPreQi{1, 9};
constexpr SettingRange intZhWSetup{1, 5};
} // namespace settingRanges

// A whole number typed or stored as text, within range; nothing otherwise.
std::optional<int> settingNumber(const QString& text, SettingRange range);
// A boolean stored as text: True or False, or a number (0 is False); nothing otherwise.
std::optional<bool> settingBool(const QString& text);
// How a stored text that could not be used is named to the user: key=text, a long text cut.
QString quotedSetting(const QString& key, const QString& text);

// The per-user store of application Trelvane, INI format, opened on one group.
class SettingsGroup {
public:
    explicit SettingsGroup(const QString& group);
    QSettings& settings() { return settings_; }

private:
    QSettings settings_;
};

// The per-user settings store: application Trelvane, group IniSetting, INI format.
// Every setting is written the moment it changes.
class SettingsStore {
public:
    // Reads every key; a missing key gives its default. A stored text that is not a valid
    // value also gives the default, and is named in problems (for one message to the user),
    // quoting at most its first characters.
    Settings load(QStringList* problems = nullptr) const;

    void writeInt(const QString& key, int value);
    void writeBool(const QString& key, bool value);
    void writeText(const QString& key, const QString& value);
    QString fileName() const;
};

// Longest base address accepted for the results service.
constexpr qsizetype kMaxServerAddressLength = 2048;

// The online update's own settings, which no search reads: checked as typed, set in `into` and
// written to store when one is given. False with the message, and nothing changed, when refused.
bool setRetentionYears(const QString& text, Settings& into, SettingsStore* store, QString* error);
bool setServerAddress(const QString& text, Settings& into, SettingsStore* store, QString* error);

} // namespace quorvex

#pragma once

#include <QString>
#include <QStringList>

namespace quorvex {

// The user's persisted choices, with the defaults of a first start.
struct Settings {
    int IniSerchDay = 3;   // years of history kept by the online update, 2..16
    bool bolZyw = true;    // free positions
    bool bolSq = true;     // reference draw is the last draw
    int intLei = 0;        // search kind
    int intXianshiLei = 0; // result kind
    int DsIni = 1;         // segment base
    int SxIni = 1;         // zodiac base
    int intPreQi = 2;      // N of 前N期
    int intZhWSetup = 2;   // combined positions of the combination search
    QString strServer;     // base address of the results service of the online update
};

// The per-user settings store: application Trelvane, group IniSetting, INI format.
// Every setting is written the moment it changes.
class SettingsStore {
public:
    // Reads every key; a missing key gives its default. A stored text that is not a valid
    // value also gives the default, and is named in problems (for one message to the user).
    Settings load(QStringList* problems = nullptr) const;

    void writeInt(const QString& key, int value);
    void writeBool(const QString& key, bool value);
    QString fileName() const;
};

} // namespace quorvex

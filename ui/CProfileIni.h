#pragma once
#include "base/IniFile.h"

#include <QString>

// The application profile: an INI file in UTF-8 with "\n" line ends, read and written as the
// desktop's profile functions do (see IniFile). Section names are used as given, backslashes
// included.
class CProfileIni {
public:
    // A missing or unreadable file is an empty profile.
    void Load(const QString& path);
    // Replaces the file whole (a crash leaves the old one), making its folder when missing;
    // false on failure.
    bool Save(const QString& path) const;

    bool Has(const QString& section, const QString& key) const;
    QString Value(const QString& section, const QString& key, const QString& fallback = {}) const;
    // The leading number of the value; `fallback` when the key is missing or holds none.
    int IntValue(const QString& section, const QString& key, int fallback) const;
    void SetValue(const QString& section, const QString& key, const QString& value);
    void SetInt(const QString& section, const QString& key, int value);

private:
    IniFile m_file{IniFile::Encoding::Utf8, "\n"};
};

// "profile.ini" in the user folder: $XDG_CONFIG_HOME/ordel/, else ~/.config/ordel/.
QString DefaultProfilePath();

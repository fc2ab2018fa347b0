#pragma once
#include <QList>
#include <QPair>
#include <QString>

// The application profile: an INI file of sections and "key=value" lines, read and written as
// the desktop's profile functions do (names without regard to case, integers read like atoi,
// other lines kept as they were). Section names are used as given, backslashes included.
class CProfileIni {
public:
    // A missing or unreadable file is an empty profile.
    void Load(const QString& path);
    // Replaces the file whole (a crash leaves the old one); false on failure.
    bool Save(const QString& path) const;

    bool Has(const QString& section, const QString& key) const;
    QString Value(const QString& section, const QString& key, const QString& fallback = {}) const;
    int IntValue(const QString& section, const QString& key, int fallback) const;
    void SetValue(const QString& section, const QString& key, const QString& value);
    void SetInt(const QString& section, const QString& key, int value);

private:
    struct Section {
        QString name;
        QList<QString> lines; // "key=value" and whatever else the file held
    };
    Section* Find(const QString& section);
    const Section* Find(const QString& section) const;
    static int KeyLine(const Section& s, const QString& key);

    QList<Section> m_sections; // the first, unnamed one holds lines before any section
};

// "profile.ini" in the user folder: $XDG_CONFIG_HOME/ordel/, else ~/.config/ordel/.
QString DefaultProfilePath();

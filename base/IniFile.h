#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// An INI file of "[section]" headers and "key=value" lines, read and changed as the desktop's
// profile functions do: section and key names compared without regard to case, values trimmed
// and one pair of quotes around them dropped, every line it does not change kept byte for byte.
// A new key goes after the last key of its section, a new section at the end of the file.
class IniFile {
public:
    enum class Encoding { CodePage, Utf8 };

    // How the file's text is encoded and how its lines end when written.
    IniFile(Encoding encoding, QByteArray lineEnd) : m_encoding(encoding), m_lineEnd(std::move(lineEnd)) {}

    // False when the file is missing or unreadable: the file is then empty.
    bool Load(const QString& path);
    // Replaces the file whole (a crash leaves the old one); false on failure.
    bool Save(const QString& path) const;

    // The value of `key` in `section`; false (and `out` untouched) when there is none.
    bool Value(const QString& section, const QString& key, QString& out) const;
    void SetValue(const QString& section, const QString& key, const QString& value);

private:
    int Find(const QString& section, const QString& key, int* sectionEnd = nullptr) const;
    QString Decode(const QByteArray& bytes) const;
    QByteArray Encode(const QString& text) const;

    Encoding m_encoding;
    QByteArray m_lineEnd;
    QList<QByteArray> m_lines;
};

// A profile integer: the leading decimal number (sign allowed, held to the range of int), or
// `fallback` when the text starts with none.
int ProfileInt(const QString& text, int fallback);

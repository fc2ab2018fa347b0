#include "base/IniFile.h"

#include "base/CodePage.h"
#include "base/WholeFile.h"

#include <QFile>

#include <algorithm>
#include <climits>

namespace {

bool IsSection(const QByteArray& line, QByteArray* name)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('[') || !t.contains(']')) return false;
    *name = t.mid(1, t.indexOf(']') - 1).trimmed();
    return true;
}

} // namespace

bool IniFile::Load(const QString& path)
{
    m_lines.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    m_lines = f.readAll().split('\n');
    for (QByteArray& l : m_lines)
        if (l.endsWith('\r')) l.chop(1);
    if (!m_lines.isEmpty() && m_lines.last().isEmpty()) m_lines.removeLast();
    return true;
}

bool IniFile::Save(const QString& path) const
{
    QByteArray bytes;
    for (const QByteArray& l : m_lines) bytes += l + m_lineEnd;
    return WriteFileWhole(path, bytes);
}

QString IniFile::Decode(const QByteArray& bytes) const
{
    return m_encoding == Encoding::CodePage ? FromAnsi(bytes) : QString::fromUtf8(bytes);
}

QByteArray IniFile::Encode(const QString& text) const
{
    return m_encoding == Encoding::CodePage ? ToAnsi(text) : text.toUtf8();
}

// Index of the key's line in the first section of that name, or -1; `sectionEnd` is where a new
// key would go (-1 when the section is missing).
int IniFile::Find(const QString& section, const QString& key, int* sectionEnd) const
{
    int in = -1;
    if (sectionEnd) *sectionEnd = -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        QByteArray name;
        if (IsSection(m_lines[i], &name)) {
            if (in >= 0) break;
            if (Decode(name).compare(section, Qt::CaseInsensitive) == 0) {
                in = i;
                if (sectionEnd) *sectionEnd = i + 1;
            }
            continue;
        }
        if (in < 0) continue;
        const qsizetype eq = m_lines[i].indexOf('=');
        if (eq < 0) continue;
        if (sectionEnd) *sectionEnd = i + 1;
        if (Decode(m_lines[i].left(eq).trimmed()).compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool IniFile::Value(const QString& section, const QString& key, QString& out) const
{
    const int i = Find(section, key);
    if (i < 0) return false;
    QByteArray v = m_lines[i].mid(m_lines[i].indexOf('=') + 1).trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.mid(1, v.size() - 2);
    out = Decode(v);
    return true;
}

void IniFile::SetValue(const QString& section, const QString& key, const QString& value)
{
    int end = -1;
    const int i = Find(section, key, &end);
    const QByteArray line = Encode(key) + '=' + Encode(value);
    if (i >= 0) {
        m_lines[i] = line;
    } else if (end >= 0) {
        m_lines.insert(end, line);
    } else {
        m_lines.append('[' + Encode(section) + ']');
        m_lines.append(line);
    }
}

int ProfileInt(const QString& text, int fallback)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+'))) ++i;
    const qsizetype start = i;
    long long v = 0;
    for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i)
        v = std::min<long long>(v * 10 + (t[i].unicode() - '0'), 1LL + INT_MAX);
    if (i == start) return fallback;
    if (negative) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

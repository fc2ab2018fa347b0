#include "ui/CProfileIni.h"

#include "base/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cstdlib>

void CProfileIni::Load(const QString& path)
{
    m_sections.clear();
    m_sections.append(Section{});
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            m_sections.append(Section{trimmed.mid(1, trimmed.size() - 2).trimmed(), {}});
            continue;
        }
        if (!trimmed.isEmpty()) m_sections.last().lines.append(line);
    }
}

bool CProfileIni::Save(const QString& path) const
{
    QString text;
    for (const Section& s : m_sections) {
        if (s.name.isEmpty() && s.lines.isEmpty()) continue;
        if (!s.name.isEmpty()) text += QLatin1Char('[') + s.name + QStringLiteral("]\n");
        for (const QString& line : s.lines) text += line + QLatin1Char('\n');
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteFileWhole(path, text.toUtf8());
}

CProfileIni::Section* CProfileIni::Find(const QString& section)
{
    for (Section& s : m_sections)
        if (!s.name.isEmpty() && s.name.compare(section, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

const CProfileIni::Section* CProfileIni::Find(const QString& section) const
{
    return const_cast<CProfileIni*>(this)->Find(section);
}

int CProfileIni::KeyLine(const Section& s, const QString& key)
{
    for (int i = 0; i < s.lines.size(); ++i) {
        const qsizetype eq = s.lines[i].indexOf(QLatin1Char('='));
        if (eq > 0 && s.lines[i].left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool CProfileIni::Has(const QString& section, const QString& key) const
{
    const Section* s = Find(section);
    return s && KeyLine(*s, key) >= 0;
}

QString CProfileIni::Value(const QString& section, const QString& key, const QString& fallback) const
{
    const Section* s = Find(section);
    if (!s) return fallback;
    const int i = KeyLine(*s, key);
    if (i < 0) return fallback;
    return s->lines[i].mid(s->lines[i].indexOf(QLatin1Char('=')) + 1).trimmed();
}

int CProfileIni::IntValue(const QString& section, const QString& key, int fallback) const
{
    if (!Has(section, key)) return fallback;
    const long v = std::strtol(Value(section, key).toLatin1().constData(), nullptr, 10);
    return int(std::clamp<long>(v, INT_MIN, INT_MAX));
}

void CProfileIni::SetValue(const QString& section, const QString& key, const QString& value)
{
    if (m_sections.isEmpty()) m_sections.append(Section{});
    Section* s = Find(section);
    if (!s) {
        m_sections.append(Section{section, {}});
        s = &m_sections.last();
    }
    const QString line = key + QLatin1Char('=') + value;
    const int i = KeyLine(*s, key);
    if (i >= 0) s->lines[i] = line;
    else s->lines.append(line);
}

void CProfileIni::SetInt(const QString& section, const QString& key, int value)
{
    SetValue(section, key, QString::number(value));
}

QString DefaultProfilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ordel/profile.ini");
}

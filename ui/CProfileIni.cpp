#include "ui/CProfileIni.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

void CProfileIni::Load(const QString& path) { m_file.Load(path); }

bool CProfileIni::Save(const QString& path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return m_file.Save(path);
}

bool CProfileIni::Has(const QString& section, const QString& key) const
{
    QString value;
    return m_file.Value(section, key, value);
}

QString CProfileIni::Value(const QString& section, const QString& key, const QString& fallback) const
{
    QString value;
    return m_file.Value(section, key, value) ? value : fallback;
}

int CProfileIni::IntValue(const QString& section, const QString& key, int fallback) const
{
    QString value;
    return m_file.Value(section, key, value) ? ProfileInt(value, fallback) : fallback;
}

void CProfileIni::SetValue(const QString& section, const QString& key, const QString& value)
{
    m_file.SetValue(section, key, value);
}

void CProfileIni::SetInt(const QString& section, const QString& key, int value)
{
    SetValue(section, key, QString::number(value));
}

QString DefaultProfilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ordel/profile.ini");
}

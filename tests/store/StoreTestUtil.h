#pragma once
#include "store/CQvConf.h"

#include "base/PrivateDir.h"
#include "tests/common/TestUtil.h"

#include <QTemporaryDir>

#include <memory>

// A program home of its own in a temporary folder, with the user folder beside it, for one
// configuration object.
struct TempHome {
    QTemporaryDir dir;
    QString home;
    CQvConf conf;

    TempHome()
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        home = dir.path() + QStringLiteral("/home/");
        conf.SetDirectories(home);
    }
    QString Data(const char* name) const { return conf.DataDir() + QLatin1String(name); }
};

// The lines of the narrow debug log that contain `needle`.
inline int CountInLog(const QString& needle)
{
    const QString log = QString::fromUtf8(testutil::ReadFile(PrivateDir() + QStringLiteral("/quarvelA.log")));
    int lines = 0;
    for (const QString& line : log.split(QLatin1Char('\n')))
        if (line.contains(needle)) ++lines;
    return lines;
}

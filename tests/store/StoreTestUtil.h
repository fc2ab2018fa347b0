#pragma once
#include "store/CQvConf.h"

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

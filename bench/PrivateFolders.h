#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>

// Points the XDG folders of this process into `root`, so that everything the player writes
// during a benchmark stays there and nothing of the user's own player is read or changed.
inline void UsePrivateFolders(const QString& root)
{
    const QByteArray base = QFile::encodeName(root);
    setenv("XDG_CONFIG_HOME", (base + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (base + "/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (base + "/cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/runtime").constData(), 1);
    QDir().mkpath(root + QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A "server.xml" in `dataDir` whose service addresses nobody listens at: what the player
// sends to the service fails at once and reaches no service that may run on this machine.
inline bool WriteUnreachableServerXml(const QString& dataDir)
{
    QFile server(dataDir + QStringLiteral("server.xml"));
    return server.open(QIODevice::WriteOnly) &&
           server.write("<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                        "<url name=\"metadataurl\" value=\"http://127.0.0.1:9/metadata/enter.do\"/>\n"
                        "<url name=\"passporturl\" value=\"http://127.0.0.1:9\"/>\n"
                        "<url name=\"logserverurl\" value=\"http://%s/log/enter.do\"/>\n"
                        "<defaulturl6>\n    <name value=\"127.0.0.1:9\"/>\n</defaulturl6>\n") >= 0;
}

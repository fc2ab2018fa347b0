#pragma once
#include "base/Worker.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"
#include "net/ServiceRequest.h"
#include "store/CQvConf.h"
#include "tests/common/TestUtil.h"
#include "tests/net/ServiceProcess.h"

#include <QDir>
#include <QTemporaryDir>

// The process-wide configuration pointed at a fresh program home whose "server.xml" and
// "Info.ini" name the test's service (or, with `servicePort` -1, a port nobody listens on).
struct NetTestHome {
    QTemporaryDir dir;
    QString home;

    explicit NetTestHome(const ServiceProcess& svc, bool reachable = true) : NetTestHome(reachable ? svc.Port() : 1) {}

    // A home whose service is whatever listens on `servicePort` of 127.0.0.1.
    explicit NetTestHome(int servicePort)
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        home = dir.path() + QStringLiteral("/home/");
        CQvConf& conf = CQvConf::Instance();
        conf.Settings() = ConfigSettings();
        conf.Settings().clientid = QStringLiteral("cid");
        conf.SetDirectories(home);
        const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(servicePort);
        const QString serverXml = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
            "<url name=\"metadataurl\" value=\"http://%1/metadata/enter.do\"/>\n"
            "<url name=\"passporturl\" value=\"http://%1\"/>\n"
            "<url name=\"logserverurl\" value=\"http://%s/log/enter.do\"/>\n"
            "<defaulturl6><name value=\"%1\"/></defaulturl6>\n").arg(hostPort);
        testutil::WriteFile(conf.DataDir() + QStringLiteral("server.xml"), serverXml.toUtf8());
        conf.LoadServerTable(conf.DataDir() + QStringLiteral("server.xml"));
        testutil::WriteFile(home + QStringLiteral("Info.ini"),
                            QStringLiteral("[info]\r\nversion=1.0\r\nUdpUrl=http://%1/metadata/enter.do\r\n").arg(hostPort).toUtf8());
        conf.LoadInfoIni();
        CQvClientIdentity::Instance().Clear();
        CQvLog::GetInstance().ClearPending();
        ClearShuttingDown();
    }
    ~NetTestHome()
    {
        CQvLog::GetInstance().StopUsageWorker();
        WaitForWorkers(10000);
        CQvConf::Instance().CloseAll();
        CQvConf::Instance().Settings() = ConfigSettings();
        CQvClientIdentity::Instance().Clear();
        CQvLog::GetInstance().ClearPending();
        SetServiceStatusWindow(CMsgTarget());
        SetServiceControllerWindow(CMsgTarget());
        ClearShuttingDown();
    }
};

#include "net/Update.h"

#include "net/CQvCINet.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "store/CQvConf.h"

#include <QFileInfo>
#include <QProcess>

#include <atomic>

namespace {

std::atomic<IUpdatePrompt*> g_prompt {nullptr};

const QString kTitle = QStringLiteral("提示");

void Notice(const QString& text, const QString& title = kTitle)
{
    if (IUpdatePrompt* p = g_prompt.load()) p->Notice(text, title);
}

void Offered(const QString& latest)
{
    if (IUpdatePrompt* p = g_prompt.load()) p->UpdateOffered(latest);
}

bool Ask(const QString& text, const QString& title = kTitle)
{
    IUpdatePrompt* p = g_prompt.load();
    return p && p->AskYesNo(text, title);
}

} // namespace

void SetUpdatePrompt(IUpdatePrompt* prompt)
{
    g_prompt.store(prompt);
}

int CheckUpdateSilently()
{
    const QString url = UpdateUrl();
    CQvCINet net;
    if (IsShuttingDown() || !net.CheckConnection(url)) return 0;
    UpdateReply reply;
    const int status = RequestUpdate(url, CQvConf::Instance().Info().version, reply);
    if (status != REQUEST_OK) return status == REQUEST_NO_ROOT ? -1 : 0;
    if (reply.hasResult && reply.result != QLatin1String("1")) {
        Notice(QStringLiteral("服务器升级接口失效！"));
        return 0;
    }
    if (reply.Address.isEmpty() || reply.LastVersion.isEmpty() || reply.ValidType.isEmpty()) return 0;
    if (reply.ValidType == QLatin1String("2") || reply.ValidType == QLatin1String("3")) Offered(reply.LastVersion);
    if (reply.ValidType == QLatin1String("2")) {
        if (Ask(QStringLiteral("发现程序新版本，立即进行升级吗？"))) LaunchUpdater(reply.LastVersion, reply.Address);
    } else if (reply.ValidType == QLatin1String("3")) {
        if (Ask(QStringLiteral("发现新版本，程序必须升级后方可正常使用，立即进行升级吗？"))) {
            LaunchUpdater(reply.LastVersion, reply.Address);
        } else if (IUpdatePrompt* p = g_prompt.load()) {
            p->EndAfterDeclinedUpdate();
        }
    }
    return 1;
}

int CheckUpdateOnDemand()
{
    const QString url = UpdateUrl();
    CQvCINet net;
    if (IsShuttingDown()) return 0;
    if (!net.CheckConnection(url)) {
        Notice(QStringLiteral("连接升级服务器失败，如果网络连接正常，请您可以重试一次！"));
        return 0;
    }
    const QString version = CQvConf::Instance().Info().version;
    UpdateReply reply;
    const int status = RequestUpdate(url, version, reply);
    if (status != REQUEST_OK) return status == REQUEST_NO_ROOT ? -1 : 0;
    if (reply.result != QLatin1String("1")) {
        Notice(QStringLiteral("服务器升级接口失效！"));
        return 0;
    }
    if (reply.LastVersion.isEmpty() || reply.ValidType.isEmpty()) return 0;
    if (reply.ValidType == QLatin1String("1")) {
        Notice(QStringLiteral("您的程序目前是最新版本，无需进行升级."));
        return 1;
    }
    Offered(reply.LastVersion);
    if (!Ask(QStringLiteral("您当前的版本是%1，将为您升级到版本%2,继续吗？").arg(version, reply.LastVersion), QStringLiteral("询问")))
        return 0;
    if (reply.Address.isEmpty()) {
        Notice(QStringLiteral("获取升级包地址失败！"));
        return 0;
    }
    LaunchUpdater(reply.LastVersion, reply.Address);
    return 1;
}

bool LaunchUpdater(const QString& latestVersion, const QString& packageAddress)
{
    CQvConf& conf = CQvConf::Instance();
    const int counter = conf.Info().updateCount;
    if (counter >= 1 && counter <= 5) {
        conf.SaveInfoUpdateCount(counter + 1);
        return false;
    }
    const QString program = conf.ProgramDir() + QStringLiteral("update");
    const QFileInfo file(program);
    if (!file.isFile() || !file.isExecutable()) return false;
    return QProcess::startDetached(program, {QStringLiteral("parity|") + latestVersion + QLatin1Char('|') + packageAddress},
                                   conf.ProgramDir());
}

bool TakeUpdateSuccess()
{
    CQvConf& conf = CQvConf::Instance();
    if (conf.Info().updateCount != 0) return false;
    conf.SaveInfoUpdateCount(1);
    return true;
}

void MarkUpdateSeen()
{
    CQvConf::Instance().SaveInfoUpdateCount(1);
}

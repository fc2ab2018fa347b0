#include "net/CQvClientIdentity.h"

#include "base/CodePage.h"
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/WholeFile.h"
#include "net/CQvCINet.h"
#include "net/ServiceAddress.h"
#include "net/ServiceRequest.h"
#include "net/ServiceTasks.h"
#include "net/proto/ServiceReplies.h"
#include "net/proto/UrlEncode.h"
#include "store/CQvConf.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

CQvClientIdentity& CQvClientIdentity::Instance()
{
    static CQvClientIdentity identity;
    return identity;
}

CQvClientIdentity::Values CQvClientIdentity::Get() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

void CQvClientIdentity::SetInstanceId(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_values.instanceId = id;
}

void CQvClientIdentity::SetAdapter(const QString& ip, const QString& gateway)
{
    std::lock_guard lock(m_mutex);
    m_values.clientIp = ip;
    m_values.gateway = gateway;
}

void CQvClientIdentity::SetHostId(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_values.hostId = id;
}

void CQvClientIdentity::SetVuid(const QString& vuid)
{
    std::lock_guard lock(m_mutex);
    m_values.vuid = vuid;
}

void CQvClientIdentity::SetUser(const QString& userId, const QString& nickname, bool signedIn, const QString& phone)
{
    std::lock_guard lock(m_mutex);
    m_values.userId = userId;
    m_values.nickname = nickname;
    m_values.phone = phone;
    m_values.signedIn = signedIn;
}

void CQvClientIdentity::SignOut()
{
    std::lock_guard lock(m_mutex);
    m_values.vuid.clear();
    m_values.userId.clear();
    m_values.nickname.clear();
    m_values.phone.clear();
    m_values.regMail.clear();
    m_values.signedIn = false;
}

void CQvClientIdentity::Clear()
{
    std::lock_guard lock(m_mutex);
    m_values = Values();
}

RequestIdentity CQvClientIdentity::RequestValues() const
{
    const ConfigSettings& s = CQvConf::Instance().Settings();
    RequestIdentity id;
    id.clientId = s.clientid;
    id.email = s.email;
    id.mac = s.mac;
    id.tpId = s.tpid;
    id.macUserId = s.macuserid.isEmpty() ? s.macuseridFallback : s.macuserid;
    const Values v = Get();
    id.instanceId = v.instanceId;
    id.clientIp = v.clientIp;
    id.gateway = v.gateway;
    id.hostId = v.hostId;
    id.vuid = v.vuid;
    id.userId = v.userId;
    id.nickname = v.nickname;
    id.regMail = v.regMail;
    return id;
}

void CQvClientIdentity::BuildClientIdentity()
{
    SetInstanceId(QUuid::createUuid().toString(QUuid::WithoutBraces));

    CQvConf& conf = CQvConf::Instance();
    ConfigSettings& settings = conf.Settings();
    if (settings.mac.isEmpty() || settings.mac == QLatin1String("0")) {
        AdapterInfo adapters;
        if (ReadAdapters(adapters)) {
            SetAdapter(adapters.ip, adapters.gateway);
            settings.mac = AccumulateMac(adapters.hardware);
        }
    }

    const QString hostFile = conf.UserDir() + QStringLiteral("hostid.dat");
    QFile stored(hostFile);
    if (stored.open(QIODevice::ReadOnly)) {
        SetHostId(FromAnsi(stored.readAll()));
    } else {
        QString serial;
        CDiskInfo disk;
        if (disk.ReadDriveSerial(0, serial) != 0) serial.clear();
        const QString host = MakeHostId(serial, settings.mac);
        SetHostId(host);
        WriteFileWhole(hostFile, ToAnsi(host)); // a folder that cannot be written is skipped
    }

    const QString clientFile = conf.ProgramDir() + QStringLiteral("clientid.dat");
    if (!QFile::exists(clientFile))
        WriteFileWhole(clientFile, ToAnsi(QStringLiteral("%1 %2 %3").arg(settings.clientid, settings.tpid, settings.mac)));
}

QString AccumulateMac(const QList<QByteArray>& hardwareAddresses)
{
    unsigned sums[6] = {255, 255, 255, 255, 255, 255};
    for (const QByteArray& a : hardwareAddresses) {
        if (a.size() < 6) continue;
        for (int i = 0; i < 6; ++i) sums[i] = (sums[i] + static_cast<unsigned char>(a[i])) % 256;
    }
    return QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", sums[0], sums[1], sums[2], sums[3], sums[4], sums[5]);
}

namespace {

// The default gateway of interface `name` from the kernel's routing table, or empty.
QString DefaultGateway(const QByteArray& name)
{
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly)) return QString();
    routes.readLine(); // the column names
    while (!routes.atEnd()) {
        const QList<QByteArray> cols = routes.readLine().simplified().split(' ');
        if (cols.size() < 3 || cols[0] != name || cols[1] != "00000000") continue;
        bool ok = false;
        const quint32 gw = cols[2].toUInt(&ok, 16); // in the kernel's byte order
        if (!ok) continue;
        in_addr a {};
        a.s_addr = gw;
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &a, text, sizeof text)) return QString::fromLatin1(text);
    }
    return QString();
}

} // namespace

bool ReadAdapters(AdapterInfo& info)
{
    info = AdapterInfo();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    QByteArray first;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK)) continue;
        if (i->ifa_addr->sa_family == AF_INET && first.isEmpty()) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
                info.ip = QString::fromLatin1(text);
                first = QByteArray(i->ifa_name);
            }
        } else if (i->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(i->ifa_addr);
            if (ll->sll_halen == 6) info.hardware.append(QByteArray(reinterpret_cast<const char*>(ll->sll_addr), 6));
        }
    }
    freeifaddrs(list);
    if (!first.isEmpty()) info.gateway = DefaultGateway(first);
    return !first.isEmpty() || !info.hardware.isEmpty();
}

QString GetMD5(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString MakeHostId(const QString& serial, const QString& mac)
{
    const QString text = serial + QLatin1Char(':') + mac;
    QByteArray utf16le;
    utf16le.reserve(text.size() * 2);
    for (const QChar c : text) {
        utf16le += static_cast<char>(c.unicode() & 0xFF);
        utf16le += static_cast<char>(c.unicode() >> 8);
    }
    return GetMD5(utf16le);
}

namespace {

QByteArray ReadSmall(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
}

// Whole disks in name order: no partitions, loop, RAM, optical or device-mapper devices.
QStringList WholeDisks()
{
    QStringList disks;
    const QDir block(QStringLiteral("/sys/block"));
    for (const QString& name : block.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        if (name.startsWith(QLatin1String("loop")) || name.startsWith(QLatin1String("ram"))
            || name.startsWith(QLatin1String("sr")) || name.startsWith(QLatin1String("dm-"))
            || name.startsWith(QLatin1String("zram")) || name.startsWith(QLatin1String("md")))
            continue;
        if (!QFile::exists(QStringLiteral("/sys/block/%1/device").arg(name))) continue;
        disks.append(name);
    }
    return disks;
}

} // namespace

int CDiskInfo::ReadDriveSerial(int drive, QString& serial)
{
    serial.clear();
    m_strModel.clear();
    m_strSerial.clear();
    const QStringList disks = WholeDisks();
    if (drive < 0 || drive >= disks.size()) return -1;
    const QString sys = QStringLiteral("/sys/block/") + disks[drive];
    m_strModel = QString::fromLatin1(ReadSmall(sys + QStringLiteral("/device/model"))).trimmed();
    QByteArray raw = ReadSmall(sys + QStringLiteral("/device/serial"));
    if (raw.trimmed().isEmpty()) raw = ReadSmall(sys + QStringLiteral("/serial"));
    if (raw.trimmed().isEmpty()) {
        // udev keeps what it read from the disk's identify data.
        const QList<QByteArray> dev = ReadSmall(sys + QStringLiteral("/dev")).trimmed().split(':');
        if (dev.size() != 2) return -3;
        const QByteArray udev = ReadSmall(QStringLiteral("/run/udev/data/b%1:%2").arg(QString::fromLatin1(dev[0]), QString::fromLatin1(dev[1])));
        for (const QByteArray& line : udev.split('\n'))
            if (line.startsWith("E:ID_SERIAL_SHORT=")) raw = line.mid(18);
    }
    raw.replace('\0', QByteArray()).replace(' ', QByteArray()).replace('\n', QByteArray()).replace('\t', QByteArray());
    if (raw.isEmpty()) return -2;
    m_strSerial = FromAnsi(raw);
    serial = m_strSerial;
    return 0;
}

QString SessionIdFromLoginResult(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1Char('$'));
    return at < 0 ? text : text.mid(at + 1);
}

int RequestUserInfo(const QString& sessionId)
{
    if (IsShuttingDown()) return REQUEST_MALFORMED;
    const QString url = PassportUrl(QStringLiteral("/pcc/user/getUserInfo.do"));
    CQvCINet net;
    if (!net.CheckConnection(url)) {
        NotifyServiceStatus(SERVICE_UNREACHABLE, SOURCE_USER_INFO);
        return REQUEST_UNREACHABLE;
    }
    CQvClientIdentity& identity = CQvClientIdentity::Instance();
    identity.SetVuid(sessionId);
    if (sessionId.isEmpty()) return REQUEST_NO_ROOT;
    StartServiceTask(5);
    QByteArray reply;
    if (!PostXml(url, nullptr, "id=" + UrlEncodeCounted(ToAnsi(sessionId)), reply) || reply.isEmpty()) {
        NotifyServiceStatus(SERVICE_FAILED, SOURCE_USER_INFO);
        return REQUEST_EMPTY;
    }
    UserInfoReply info;
    ParseUserInfoReply(reply, info);
    identity.SetUser(info.userId, info.nickname, info.signedIn, info.phone);
    ServiceControllerWindow().SendMessage(WM_USER_INFO_READY);
    return REQUEST_OK;
}

int KeepSessionAlive()
{
    const QString url = PassportUrl(QStringLiteral("/pcc/user/session.do"));
    CQvCINet net;
    if (!net.CheckConnection(url)) return 0;
    QByteArray reply;
    return PostXml(url, nullptr, "id=" + UrlEncodeCounted(ToAnsi(CQvClientIdentity::Instance().Get().vuid)), reply);
}

int CheckNickname(const QString& text)
{
    const QString name = text.trimmed();
    if (name.isEmpty()) return 0;
    if (name.size() > 32) return -1;
    static const QRegularExpression pattern(QStringLiteral("^([\\x{4E00}-\\x{9FA5}0-9a-zA-Z][\\x{4E00}-\\x{9FA5}0-9a-zA-Z_]*)$"));
    return pattern.match(name).hasMatch() ? 1 : -2;
}

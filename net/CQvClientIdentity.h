#pragma once
#include "net/proto/RequestDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

// The identity of this installation, machine, run and user. The configured values (client id,
// tp id, mac, mac user id, e-mail) live in the configuration's settings; the rest is held
// here for the run. Written at start-up and at sign-in, read by request workers.
class CQvClientIdentity {
public:
    static CQvClientIdentity& Instance();

    // Start-up, before any request: instance id, adapter addresses and mac (when the
    // configured mac is "0" or empty), host id from "hostid.dat" in the user folder (made from
    // the disk serial and the mac when missing), "clientid.dat" in the program folder.
    void BuildClientIdentity();

    // This run's values.
    struct Values {
        QString instanceId; // a new UUID per run
        QString clientIp;   // first adapter, known only in a run that computes the mac
        QString gateway;
        QString hostId;
        QString vuid;       // the session id of the signed-in user
        QString userId;
        QString nickname;
        QString phone;      // the account name the service knows the user by; never stored
        QString regMail;
        bool signedIn = false;
    };
    Values Get() const;

    void SetInstanceId(const QString& id);
    void SetAdapter(const QString& ip, const QString& gateway);
    void SetHostId(const QString& id);
    void SetVuid(const QString& vuid);
    void SetUser(const QString& userId, const QString& nickname, bool signedIn, const QString& phone = QString());
    // Signed out: the session, the user's id, nickname and phone are forgotten.
    void SignOut();
    // Back to signed out with an empty run identity; for tests.
    void Clear();

    // The header block's values: the configured ones and this run's.
    RequestIdentity RequestValues() const;

private:
    mutable std::mutex m_mutex;
    Values m_values;
};
// The mac text of a list of hardware addresses: six byte sums starting at 255, modulo 256,
// as "%02X:%02X:%02X:%02X:%02X:%02X". Addresses shorter than six bytes add nothing.
QString AccumulateMac(const QList<QByteArray>& hardwareAddresses);

// The machine's network adapters as the identity reads them: the first adapter's IPv4 address
// and its default gateway, and every adapter's hardware address. False when there is none.
struct AdapterInfo {
    QString ip;
    QString gateway;
    QList<QByteArray> hardware;
};
bool ReadAdapters(AdapterInfo& info);

// MD5 of a byte block as 32 lower-case hexadecimal digits.
QString GetMD5(const QByteArray& bytes);

// The host id made from a disk serial and the mac: MD5 of "serial:mac" as UTF-16LE.
QString MakeHostId(const QString& serial, const QString& mac);

// Reads a physical disk's identification.
class CDiskInfo {
public:
    // Drive `drive` is the n-th whole disk of the system (0 the first, in name order).
    // 0 with the serial (blanks and zero bytes dropped); -1 when there is no such drive;
    // -2 when it reports no serial; -3 when its identification cannot be read.
    int ReadDriveSerial(int drive, QString& serial);
    QString m_strModel;
    QString m_strSerial;
};

// The user-information request after sign-in: stores the session id, starts the cloud groups
// task (5), asks "/pcc/user/getUserInfo.do" and sends 1609 to the controller. Returns the
// request status (1, -1 for an empty session id, 2 unreachable, 3 no or an empty reply).
int RequestUserInfo(const QString& sessionId);
// The periodic session request ("/pcc/user/session.do"); the reply is not examined.
int KeepSessionAlive();
// The session id in a sign-in result text: everything after its first "$" (the whole text
// when it has none).
QString SessionIdFromLoginResult(const QString& text);

// The nickname check of the settings page: 0 empty (ignored), 1 valid, -1 longer than 32
// characters, -2 not matching ^([一-龥0-9a-zA-Z][一-龥0-9a-zA-Z_]*)$. The text is trimmed first.
int CheckNickname(const QString& text);

#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

// The request documents of the service protocol, the body that carries them and the header
// block that goes with every request. Shared by the player and the reference service.

using XmlFields = QList<QPair<QString, QString>>;

// A request document. Two shapes exist:
//  - method documents: root "o", one element per argument with type="string" and the value
//    as its text; the only list is "songs" with one "song" per track;
//  - parameter documents (pictures, lyrics): root "request" with attribute method, one child
//    "info" holding one "param" per argument with attributes name and value.
// Values are held as code-page bytes, as the documents declare.
class CRequestDocument {
public:
    static std::unique_ptr<CRequestDocument> Method(const char* encoding = "GBK");
    static std::unique_ptr<CRequestDocument> Params(const char* method);
    ~CRequestDocument();
    CRequestDocument(const CRequestDocument&) = delete;
    CRequestDocument& operator=(const CRequestDocument&) = delete;

    void Add(const char* name, const QString& value);
    void Add(const char* name, int value);
    // One "song" element under "songs" (created on first use), its fields as child elements.
    void AddSong(const XmlFields& fields);

    // The document as the XML library prints it by default (code-page bytes).
    QByteArray Print() const;

private:
    struct Impl;
    explicit CRequestDocument(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The form body of a request: `prefix` followed by the printed document taken from the code
// page to UTF-8 and percent-encoded. An empty document gives the prefix alone.
QByteArray EncodeRequestBody(const QByteArray& prefix, const QByteArray& printedDocument);

// What a peer reads back from a request document (values as UTF-8 text).
struct RequestContent {
    QString root;        // "o" or "request"
    QString method;      // the "method" element of "o", or the method attribute of "request"
    QString encoding;    // from the declaration
    XmlFields fields;    // in document order; "songs" is not among them
    QList<XmlFields> songs;
};
// False when the text is not a well-formed request document of either shape.
bool DecodeRequestDocument(const QByteArray& utf8, RequestContent& content);

// The identity values that travel in the header block of every request.
struct RequestIdentity {
    QString clientId;   // appclientid, sent empty when empty
    QString instanceId; // appuid
    QString email;      // appmail
    QString clientIp;   // appclientip
    QString gateway;    // appclientgate
    QString mac;        // appmac, with ":" turned into "-"
    QString tpId;       // apptpid, sent empty when empty
    QString userId;     // appuserid
    QString nickname;   // appnickname
    QString regMail;    // appregmail
    QString macUserId;  // appmacuserid
    QString hostId;     // apphostid
    QString vuid;       // vuid
};
// "appclientid: ...\r\n...\r\nUser-Agent: 1.0"; empty values become "0" except the client id
// and the tp id.
QString FormatRequestHeaders(const RequestIdentity& identity);

// A reply that declares encoding="utf-8" (any case) has every byte between its first ">" and
// the next "<" overwritten with blanks; any other reply is left as it is.
void BlankUtf8Prolog(QByteArray& reply);

#include "net/proto/RequestDocument.h"

#include "base/CodePage.h"
#include "base/XmlFile.h"
#include "net/proto/UrlEncode.h"

#include <tinyxml2.h>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

struct CRequestDocument::Impl {
    XMLDocument doc;
    XMLElement* parent = nullptr; // where arguments go: "o" or "info"
    XMLElement* songs = nullptr;
    bool params = false;
};

CRequestDocument::CRequestDocument(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
CRequestDocument::~CRequestDocument() = default;

std::unique_ptr<CRequestDocument> CRequestDocument::Method(const char* encoding)
{
    auto impl = std::make_unique<Impl>();
    const QByteArray decl = QByteArray("xml version=\"1.0\" encoding=\"") + encoding + '"';
    impl->doc.InsertEndChild(impl->doc.NewDeclaration(decl.constData()));
    impl->parent = impl->doc.NewElement("o");
    impl->doc.InsertEndChild(impl->parent);
    return std::unique_ptr<CRequestDocument>(new CRequestDocument(std::move(impl)));
}

std::unique_ptr<CRequestDocument> CRequestDocument::Params(const char* method)
{
    auto impl = std::make_unique<Impl>();
    impl->params = true;
    impl->doc.InsertEndChild(impl->doc.NewDeclaration("xml version=\"1.0\" encoding=\"GBK\""));
    XMLElement* root = impl->doc.NewElement("request");
    root->SetAttribute("method", method);
    impl->doc.InsertEndChild(root);
    impl->parent = impl->doc.NewElement("info");
    root->InsertEndChild(impl->parent);
    return std::unique_ptr<CRequestDocument>(new CRequestDocument(std::move(impl)));
}

void CRequestDocument::Add(const char* name, const QString& value)
{
    const QByteArray bytes = ToAnsi(value);
    if (m_impl->params) {
        XMLElement* p = m_impl->doc.NewElement("param");
        p->SetAttribute("name", name);
        p->SetAttribute("value", bytes.constData());
        m_impl->parent->InsertEndChild(p);
        return;
    }
    XMLElement* e = m_impl->doc.NewElement(name);
    e->SetAttribute("type", "string");
    e->SetText(bytes.constData());
    m_impl->parent->InsertEndChild(e);
}

void CRequestDocument::Add(const char* name, int value)
{
    Add(name, QString::number(value));
}

void CRequestDocument::AddSong(const XmlFields& fields)
{
    if (!m_impl->songs) {
        m_impl->songs = m_impl->doc.NewElement("songs");
        m_impl->parent->InsertEndChild(m_impl->songs);
    }
    XMLElement* song = m_impl->doc.NewElement("song");
    for (const auto& [name, value] : fields) {
        XMLElement* e = m_impl->doc.NewElement(name.toUtf8().constData());
        e->SetAttribute("type", "string");
        e->SetText(ToAnsi(value).constData());
        song->InsertEndChild(e);
    }
    m_impl->songs->InsertEndChild(song);
}

QByteArray CRequestDocument::Print() const
{
    return PrintXml(m_impl->doc);
}

QByteArray EncodeRequestBody(const QByteArray& prefix, const QByteArray& printedDocument)
{
    if (printedDocument.isEmpty()) return prefix;
    return prefix + UrlEncode(FromAnsi(printedDocument).toUtf8());
}

namespace {

QString Utf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString DeclaredEncoding(const XMLDocument& doc)
{
    const tinyxml2::XMLNode* first = doc.FirstChild();
    const tinyxml2::XMLDeclaration* decl = first ? first->ToDeclaration() : nullptr;
    if (!decl) return QString();
    const QString text = Utf8(decl->Value());
    const qsizetype at = text.indexOf(QLatin1String("encoding=\""));
    if (at < 0) return QString();
    const qsizetype start = at + 10;
    const qsizetype end = text.indexOf(QLatin1Char('"'), start);
    return end < 0 ? QString() : text.mid(start, end - start);
}

} // namespace

bool DecodeRequestDocument(const QByteArray& utf8, RequestContent& content)
{
    content = RequestContent();
    XMLDocument doc;
    if (doc.Parse(utf8.constData(), static_cast<size_t>(utf8.size())) != tinyxml2::XML_SUCCESS) return false;
    const XMLElement* root = doc.RootElement();
    if (!root) return false;
    content.root = Utf8(root->Name());
    content.encoding = DeclaredEncoding(doc);
    if (content.root == QLatin1String("request")) {
        content.method = Utf8(root->Attribute("method"));
        const XMLElement* info = root->FirstChildElement("info");
        if (!info) return false;
        for (const XMLElement* p = info->FirstChildElement("param"); p; p = p->NextSiblingElement("param"))
            content.fields.append({Utf8(p->Attribute("name")), Utf8(p->Attribute("value"))});
        return true;
    }
    if (content.root != QLatin1String("o")) return false;
    for (const XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const QString name = Utf8(e->Name());
        if (name == QLatin1String("songs")) {
            for (const XMLElement* s = e->FirstChildElement("song"); s; s = s->NextSiblingElement("song")) {
                XmlFields song;
                for (const XMLElement* f = s->FirstChildElement(); f; f = f->NextSiblingElement())
                    song.append({Utf8(f->Name()), Utf8(f->GetText())});
                content.songs.append(song);
            }
            continue;
        }
        const QString value = Utf8(e->GetText());
        if (name == QLatin1String("method")) content.method = value;
        content.fields.append({name, value});
    }
    return true;
}

QString FormatRequestHeaders(const RequestIdentity& id)
{
    const auto orZero = [](const QString& v) { return v.isEmpty() ? QStringLiteral("0") : v; };
    QString mac = id.mac;
    mac.replace(QLatin1Char(':'), QLatin1Char('-'));
    return QStringLiteral("appclientid: %1\r\nappuid: %2\r\nappver: 1.0\r\nappmail: %3\r\n"
                          "appclientip: %4\r\nappclientgate: %5\r\nappmac: %6\r\napptpid: %7\r\n"
                          "appuserid: %8\r\nappnickname: %9\r\n")
               .arg(id.clientId, orZero(id.instanceId), orZero(id.email), orZero(id.clientIp),
                    orZero(id.gateway), orZero(mac), id.tpId, orZero(id.userId), orZero(id.nickname))
        + QStringLiteral("appregmail: %1\r\nappmacuserid: %2\r\napphostid: %3\r\nvuid: %4\r\nUser-Agent: 1.0")
              .arg(orZero(id.regMail), orZero(id.macUserId), orZero(id.hostId), orZero(id.vuid));
}

void BlankUtf8Prolog(QByteArray& reply)
{
    const qsizetype at = reply.indexOf("encoding=\"");
    if (at < 1) return;
    const qsizetype start = at + 10;
    const qsizetype end = reply.indexOf('"', start);
    if (end < 0) return;
    if (reply.mid(start, end - start).toLower() != "utf-8") return;
    const qsizetype gt = reply.indexOf('>');
    if (gt < 0) return;
    const qsizetype lt = reply.indexOf('<', gt + 1);
    if (lt < 0) return;
    for (qsizetype i = gt + 1; i < lt; ++i) reply[i] = ' ';
}

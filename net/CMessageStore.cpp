#include "net/CMessageStore.h"

#include "base/CodePage.h"
#include "base/DebugLog.h"
#include "base/WholeFile.h"
#include "base/XmlFile.h"

#include <QDateTime>
#include <QFile>

#include <tinyxml2.h>

namespace {

constexpr const char* kStatusNames[] = {"sending", "sent", "failed", "notice"};

structMESSAGE::Status StatusFromName(const char* name)
{
    for (int i = 0; i < 4; ++i)
        if (name && qstrcmp(name, kStatusNames[i]) == 0) return structMESSAGE::Status(i);
    return structMESSAGE::Failed;
}

// Line ends become "\n" and other control characters go, so that what is stored reads back
// as it was written; then the text is cut to the room the record gives it.
QString CleanText(const QString& text, int length)
{
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), length));
    for (qsizetype i = 0; i < text.size() && out.size() < length; ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') continue;
            out.append(u'\n');
        } else if (c.unicode() >= 0x20 || c == u'\n' || c == u'\t') {
            out.append(c);
        }
    }
    if (!out.isEmpty() && out.back().isHighSurrogate()) out.chop(1);
    return out;
}

QString Now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")); }

} // namespace

int structMESSAGE::Icon() const
{
    switch (status) {
    case Notice: return read ? kIconNoticeRead : kIconNoticeUnread;
    case Sent: return kIconSent;
    case Sending: return kIconSending;
    case Failed: return kIconFailed;
    }
    return kIconFailed;
}

QString structMESSAGE::Source() const
{
    switch (status) {
    case Notice: return kNoticeSource;
    case Sent: return QStringLiteral("已发送");
    case Sending: return QStringLiteral("正在发送");
    case Failed: return QStringLiteral("发送失败");
    }
    return {};
}

CMessageStore::CMessageStore(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {}

bool CMessageStore::Load()
{
    m_messages.clear();
    m_nNextId = 1;
    tinyxml2::XMLDocument doc;
    const XmlFileRead read = ReadXmlFile(m_path, doc);
    if (read == XmlFileRead::Missing) return true;
    const tinyxml2::XMLElement* root = read == XmlFileRead::Parsed ? doc.FirstChildElement("messages") : nullptr;
    if (!root) {
        // Kept for the user to look at; the next save starts a new file.
        const QString aside = m_path + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::copy(m_path, aside);
        WriteDebugLogW(QStringLiteral("messages: %1 is damaged, set aside as %2").arg(m_path, aside));
        return false;
    }
    for (const tinyxml2::XMLElement* e = root->FirstChildElement("message"); e; e = e->NextSiblingElement("message")) {
        structMESSAGE m;
        m.id = e->IntAttribute("id", 0);
        if (m.id <= 0 || Find(m.id)) m.id = m_nNextId;
        m.status = StatusFromName(e->Attribute("status"));
        // A send that was under way when the program ended never reported back.
        if (m.status == structMESSAGE::Sending) m.status = structMESSAGE::Failed;
        m.read = e->IntAttribute("read", 0) != 0;
        m.title = CleanText(XmlAttrText(e, "title"), structMESSAGE::kTitleLength);
        m.time = CleanText(XmlAttrText(e, "time"), 32);
        const char* body = e->GetText();
        m.body = body ? CleanText(FromAnsi(QByteArray(body)), structMESSAGE::kBodyLength) : QString();
        m_nNextId = std::max(m_nNextId, m.id + 1);
        m_messages.append(std::move(m));
    }
    return true;
}

const structMESSAGE* CMessageStore::Find(int id) const
{
    for (const structMESSAGE& m : m_messages)
        if (m.id == id) return &m;
    return nullptr;
}

structMESSAGE* CMessageStore::FindMutable(int id)
{
    for (structMESSAGE& m : m_messages)
        if (m.id == id) return &m;
    return nullptr;
}

int CMessageStore::AddFeedback(const QString& title, const QString& body)
{
    structMESSAGE m;
    m.status = structMESSAGE::Sending;
    m.read = true;
    m.title = title;
    m.body = body;
    return Add(std::move(m));
}

int CMessageStore::AddNotice(const QString& title, const QString& body)
{
    structMESSAGE m;
    m.status = structMESSAGE::Notice;
    m.title = title;
    m.body = body;
    return Add(std::move(m));
}

int CMessageStore::Add(structMESSAGE m)
{
    m.id = m_nNextId++;
    m.title = CleanText(m.title, structMESSAGE::kTitleLength);
    m.body = CleanText(m.body, structMESSAGE::kBodyLength);
    m.time = Now();
    m_messages.append(std::move(m));
    Save();
    emit Added(m_messages.last().id);
    return m_messages.last().id;
}

void CMessageStore::SetSent(int id, bool sent)
{
    structMESSAGE* m = FindMutable(id);
    if (!m || m->status == structMESSAGE::Notice) return;
    m->status = sent ? structMESSAGE::Sent : structMESSAGE::Failed;
    Save();
    emit Changed(id);
}

void CMessageStore::MarkRead(int id)
{
    structMESSAGE* m = FindMutable(id);
    if (!m || m->read) return;
    m->read = true;
    Save();
    emit Changed(id);
}

bool CMessageStore::Remove(int id)
{
    for (qsizetype i = 0; i < m_messages.size(); ++i) {
        if (m_messages[i].id != id) continue;
        m_messages.removeAt(i);
        Save();
        emit Removed(id);
        return true;
    }
    return false;
}

bool CMessageStore::Save() const
{
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\" encoding=\"GBK\""));
    tinyxml2::XMLElement* root = doc.NewElement("messages");
    doc.InsertEndChild(root);
    for (const structMESSAGE& m : m_messages) {
        tinyxml2::XMLElement* e = doc.NewElement("message");
        e->SetAttribute("id", m.id);
        e->SetAttribute("status", kStatusNames[m.status]);
        e->SetAttribute("read", m.read ? 1 : 0);
        SetXmlAttrText(e, "time", m.time);
        SetXmlAttrText(e, "title", m.title);
        e->SetText(ToAnsi(m.body).constData());
        root->InsertEndChild(e);
    }
    if (WriteFileWhole(m_path, PrintXml(doc))) return true;
    // The list stays as it is in memory; the next change tries again.
    WriteDebugLogW(QStringLiteral("messages: cannot write %1").arg(m_path));
    return false;
}

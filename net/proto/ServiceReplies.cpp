#include "net/proto/ServiceReplies.h"

#include "base/CodePage.h"

#include <tinyxml2.h>

#include <climits>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

QString Utf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString Ansi(const char* text)
{
    return text ? FromAnsi(QByteArray(text)) : QString();
}

int ReadInt(const char* text)
{
    return text ? ReadDecimal(QByteArray(text)) : 0;
}

const char* ChildText(const XMLElement* parent, const char* name)
{
    const XMLElement* e = parent ? parent->FirstChildElement(name) : nullptr;
    return e ? e->GetText() : nullptr;
}

// Parses the reply; REPLY_OK with the root set, or the failing status.
int Open(const QByteArray& reply, XMLDocument& doc, const XMLElement*& root)
{
    root = nullptr;
    const tinyxml2::XMLError rc = doc.Parse(reply.constData(), static_cast<size_t>(reply.size()));
    if (rc == tinyxml2::XML_ERROR_EMPTY_DOCUMENT) return REPLY_NO_ROOT; // blanks only: no root
    if (rc != tinyxml2::XML_SUCCESS) return REPLY_MALFORMED;
    root = doc.RootElement();
    return root ? REPLY_OK : REPLY_NO_ROOT;
}

// "result" directly under the root, or under its "rs".
const XMLElement* FindResult(const XMLElement* root)
{
    if (const XMLElement* r = root->FirstChildElement("result")) return r;
    if (const XMLElement* rs = root->FirstChildElement("rs")) return rs->FirstChildElement("result");
    return nullptr;
}

// The document depth is bounded by the XML library, so this recursion is too.
void ReadGroups(const XMLElement* list, QList<CloudGroup>& out)
{
    for (const XMLElement* g = list->FirstChildElement("Group"); g; g = g->NextSiblingElement("Group")) {
        CloudGroup group;
        group.name = Utf8(ChildText(g, "GroupName"));
        group.id = ReadInt(ChildText(g, "GroupId"));
        if (const XMLElement* sub = g->FirstChildElement("GroupList")) ReadGroups(sub, group.children);
        out.append(group);
    }
}

} // namespace

int ReadDecimal(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

int ParseMenuReply(const QByteArray& reply, QList<MenuEntry>& entries)
{
    entries.clear();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    for (const XMLElement* m = root->FirstChildElement("menu"); m; m = m->NextSiblingElement("menu")) {
        const char* url = ChildText(m, "Url");
        if (!url) continue;
        MenuEntry e;
        e.Id = Ansi(ChildText(m, "Id"));
        e.Name = Utf8(ChildText(m, "Name"));
        e.Url = Utf8(url);
        e.Type = ReadInt(ChildText(m, "Type"));
        e.OpenType = ReadInt(ChildText(m, "OpenType"));
        entries.append(e);
    }
    return REPLY_OK;
}

int ParseStartReply(const QByteArray& reply, QString& version)
{
    version.clear();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    if (const XMLElement* v = root->FirstChildElement("version")) version = Utf8(v->Attribute("value"));
    return REPLY_OK;
}

int ParseUpdateReply(const QByteArray& reply, UpdateReply& update)
{
    update = UpdateReply();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    if (const XMLElement* r = root->FirstChildElement("result")) {
        update.hasResult = true;
        update.result = Utf8(r->GetText());
    }
    update.LastVersion = Ansi(ChildText(root, "LastVersion"));
    if (const XMLElement* v = root->FirstChildElement("ValidType")) {
        update.hasValidType = true;
        update.ValidType = Utf8(v->GetText());
    }
    update.Address = Ansi(ChildText(root, "Address"));
    return REPLY_OK;
}

int ParseRootReply(const QByteArray& reply)
{
    XMLDocument doc;
    const XMLElement* root;
    return Open(reply, doc, root);
}

int ParseResultReply(const QByteArray& reply, ResultReply& result)
{
    result = ResultReply();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    const XMLElement* r = FindResult(root);
    if (!r) return REPLY_NO_ROOT;
    result.hasResult = true;
    result.result = Utf8(r->GetText());
    if (const XMLElement* obj = r->NextSiblingElement("objId"))
        result.objId = Utf8(obj->GetText());
    else
        result.objId = Utf8(ChildText(root, "objId"));
    return REPLY_OK;
}

int ParseGroupListReply(const QByteArray& reply, GroupListReply& groups)
{
    groups = GroupListReply();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    if (const XMLElement* r = FindResult(root)) groups.result = Utf8(r->GetText());
    const XMLElement* list = root->FirstChildElement("GroupList");
    if (!list) return REPLY_NO_ROOT;
    ReadGroups(list, groups.groups);
    return REPLY_OK;
}

int ParseSongListReply(const QByteArray& reply, SongListReply& songs)
{
    songs = SongListReply();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    if (const XMLElement* r = FindResult(root)) songs.result = Utf8(r->GetText());
    const XMLElement* list = root->FirstChildElement("SongList");
    if (!list) return REPLY_NO_ROOT;
    for (const XMLElement* s = list->FirstChildElement("Song"); s; s = s->NextSiblingElement("Song")) {
        CloudSong song;
        song.SingerName = Utf8(ChildText(s, "SingerName"));
        song.AlbumName = Utf8(ChildText(s, "AlbumName"));
        song.SongID = Utf8(ChildText(s, "SongID"));
        song.SongName = Utf8(ChildText(s, "SongName"));
        song.SongAdress = Ansi(ChildText(s, "SongAdress"));
        song.Star = ReadInt(ChildText(s, "Star"));
        songs.songs.append(song);
    }
    return REPLY_OK;
}

int ParsePictureReply(const QByteArray& reply, QString& url)
{
    url.clear();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    if (const XMLElement* u = root->FirstChildElement("url")) url = Ansi(u->Attribute("value"));
    return REPLY_OK;
}

int ParseLyricsReply(const QByteArray& reply, QString& content)
{
    content.clear();
    XMLDocument doc;
    const XMLElement* root;
    if (const int s = Open(reply, doc, root); s != REPLY_OK) return s;
    content = Utf8(ChildText(root->FirstChildElement("music"), "content"));
    return REPLY_OK;
}

QString NormaliseServiceLyrics(const QString& content)
{
    // One pass for both replacements ("[[" first becomes "[", then every "[" starts a line):
    // replacing in place moves the rest of the text at each of up to millions of brackets.
    const QStringView view(content);
    QString out;
    out.reserve(content.size() + content.count(u'['));
    qsizetype from = 0;
    for (qsizetype i = view.indexOf(u'['); i >= 0; i = view.indexOf(u'[', from)) {
        out += view.sliced(from, i - from);
        out += u'\n';
        out += u'[';
        from = i + 1;
        if (from < view.size() && view[from] == u'[') ++from;
    }
    out += view.sliced(from);
    return out;
}

void ParseUserInfoReply(const QByteArray& reply, UserInfoReply& info)
{
    info = UserInfoReply();
    const QList<QByteArray> fields = reply.split('$');
    const auto field = [&](int i) { return i < fields.size() ? fields[i] : QByteArray(); };
    const QByteArray code = field(0).trimmed();
    // Only a real number 0 signs in; a garbled reply must not.
    bool digits = !code.isEmpty();
    for (qsizetype i = (code.startsWith('-') || code.startsWith('+')) ? 1 : 0; i < code.size(); ++i)
        if (code[i] < '0' || code[i] > '9') digits = false;
    info.signedIn = digits && ReadDecimal(code) == 0;
    info.userId = QString::fromUtf8(field(1));
    info.phone = QString::fromUtf8(field(2));
    info.nickname = QString::fromUtf8(field(3));
}

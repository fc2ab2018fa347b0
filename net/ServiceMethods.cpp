#include "net/ServiceMethods.h"

#include "net/ServiceRequest.h"
#include "net/proto/RequestDocument.h"

namespace {

std::unique_ptr<CRequestDocument> MethodDoc(const char* method, const char* encoding = "GBK")
{
    auto doc = CRequestDocument::Method(encoding);
    doc->Add("method", QString::fromLatin1(method));
    return doc;
}

QByteArray Prefix(const char* method)
{
    return QByteArray("m=") + method + "&value=";
}

int CallResult(const QString& url, std::unique_ptr<CRequestDocument> doc, const char* method, int source,
               ResultReply& reply)
{
    return CallServiceMethod(url, std::move(doc), Prefix(method), source,
                             [&](const QByteArray& r) { return ParseResultReply(r, reply); });
}

int CallRoot(const QString& url, std::unique_ptr<CRequestDocument> doc, const char* method, int source)
{
    return CallServiceMethod(url, std::move(doc), Prefix(method), source,
                             [](const QByteArray& r) { return ParseRootReply(r); });
}

XmlFields SongFields(const CloudSongUpload& song, bool withId)
{
    XmlFields f {{QStringLiteral("SongAddress"), song.SongAddress}, {QStringLiteral("SongName"), song.SongName},
                 {QStringLiteral("SingerName"), song.SingerName},   {QStringLiteral("SongChannel"), song.SongChannel},
                 {QStringLiteral("SongState"), song.SongState},     {QStringLiteral("SongQuKuId"), song.SongQuKuId}};
    if (withId && !song.SongId.isEmpty()) f.append({QStringLiteral("SongId"), song.SongId});
    return f;
}

} // namespace

int RequestMenu(const QString& url, QList<MenuEntry>& entries)
{
    entries.clear();
    return CallServiceMethod(url, nullptr, "m=getmenu&r=null", SOURCE_SERVICE,
                             [&](const QByteArray& r) { return ParseMenuReply(r, entries); });
}

int ReportStart(const QString& url, const QString& version, int os, QString* serviceVersion)
{
    auto doc = MethodDoc("start");
    doc->Add("version", version);
    doc->Add("os", os);
    doc->Add("browser", QStringLiteral("ie 8"));
    doc->Add("flash", QString());
    return CallServiceMethod(url, std::move(doc), Prefix("start"), SOURCE_SERVICE, [&](const QByteArray& r) {
        QString v;
        const int s = ParseStartReply(r, v);
        if (serviceVersion) *serviceVersion = v;
        return s;
    });
}

int RequestUpdate(const QString& updateUrl, const QString& version, UpdateReply& reply)
{
    reply = UpdateReply();
    auto doc = MethodDoc("update", "UTF-8");
    doc->Add("ver", version);
    return CallServiceMethod(updateUrl, std::move(doc), Prefix("update"), SOURCE_SERVICE,
                             [&](const QByteArray& r) { return ParseUpdateReply(r, reply); });
}

int AddMessage(const QString& url, const QString& title, const QString& message)
{
    auto doc = MethodDoc("addmessage");
    doc->Add("title", title);
    doc->Add("message", message);
    return CallRoot(url, std::move(doc), "addmessage", SOURCE_SERVICE);
}

int GetPlayGroupOfUser(const QString& url, const QString& vuid, GroupListReply& reply)
{
    reply = GroupListReply();
    auto doc = MethodDoc("getplaygroupofuser");
    doc->Add("UserId", vuid);
    return CallServiceMethod(url, std::move(doc), Prefix("getplaygroupofuser"), SOURCE_SERVICE,
                             [&](const QByteArray& r) { return ParseGroupListReply(r, reply); });
}

int GetSongOfUsersGroup(const QString& url, int groupId, SongListReply& reply)
{
    reply = SongListReply();
    auto doc = MethodDoc("getsongofusersgroup");
    doc->Add("offset", QStringLiteral("1"));
    doc->Add("rows", QStringLiteral("100"));
    doc->Add("GroupId", groupId);
    doc->Add("SongState", QStringLiteral("1"));
    return CallServiceMethod(url, std::move(doc), Prefix("getsongofusersgroup"), SOURCE_SONGS,
                             [&](const QByteArray& r) { return ParseSongListReply(r, reply); });
}

int GetRandomSongs(const QString& url, SongListReply& reply)
{
    reply = SongListReply();
    auto doc = MethodDoc("getrandom");
    doc->Add("rows", QStringLiteral("30"));
    return CallServiceMethod(url, std::move(doc), Prefix("getrandom"), SOURCE_SONGS,
                             [&](const QByteArray& r) { return ParseSongListReply(r, reply); });
}

int AddPlayGroup(const QString& url, const QString& groupName, ResultReply& reply)
{
    auto doc = MethodDoc("addplaygroup");
    doc->Add("GroupName", groupName);
    return CallResult(url, std::move(doc), "addplaygroup", SOURCE_SERVICE, reply);
}

int DeletePlayGroup(const QString& url, int groupId)
{
    auto doc = MethodDoc("deleteplaygroup");
    doc->Add("GroupId", groupId);
    return CallRoot(url, std::move(doc), "deleteplaygroup", SOURCE_SERVICE);
}

int UpdatePlayGroupName(const QString& url, int groupId, const QString& newName, ResultReply& reply)
{
    auto doc = MethodDoc("updateplaygroupname");
    doc->Add("GroupId", groupId);
    doc->Add("NewGroupName", newName);
    return CallResult(url, std::move(doc), "updateplaygroupname", SOURCE_SERVICE, reply);
}

int DeleteCloudSong(const QString& url, const QString& songId, ResultReply& reply)
{
    auto doc = MethodDoc("deletesong");
    doc->Add("SongId", songId);
    return CallResult(url, std::move(doc), "deletesong", SOURCE_SONGS, reply);
}

int AddQukuSongToGroup(const QString& url, int groupId, const CloudSongUpload& song, ResultReply& reply)
{
    auto doc = MethodDoc("addqukusong2group");
    doc->Add("GroupId", groupId);
    for (const auto& [name, value] : SongFields(song, false)) doc->Add(name.toLatin1().constData(), value);
    return CallResult(url, std::move(doc), "addqukusong2group", SOURCE_SONGS, reply);
}

int SyncSongsToGroup(const QString& url, const QString& groupId, const QString& listName,
                     const QList<CloudSongUpload>& songs, ResultReply& reply)
{
    auto doc = MethodDoc("synsongs2group");
    doc->Add("GroupId", groupId);
    doc->Add("PlayListName", listName);
    for (const CloudSongUpload& s : songs) doc->AddSong(SongFields(s, true));
    return CallResult(url, std::move(doc), "synsongs2group", SOURCE_SONGS, reply);
}

int AddSongScore(const QString& url, const QString& songQuKuId, const QString& songId, int star)
{
    auto doc = MethodDoc("addsongscore");
    doc->Add("SongQuKuId", songQuKuId);
    doc->Add("SongId", songId);
    doc->Add("Star", star);
    return CallRoot(url, std::move(doc), "addsongscore", SOURCE_SERVICE);
}

int RequestPictureUrl(const QString& url, const PictureQuery& q, QString& pictureUrl)
{
    pictureUrl.clear();
    auto doc = CRequestDocument::Params("getpic");
    doc->Add("typeid", q.typeId);
    doc->Add("pictype", q.picType);
    doc->Add("artist", q.artist);
    doc->Add("album", q.album);
    doc->Add("songname", q.songName);
    doc->Add("filename", QString());
    doc->Add("fullpath", q.fullPath);
    doc->Add("offset", QStringLiteral("1"));
    doc->Add("rows", QStringLiteral("1"));
    doc->Add("width", QStringLiteral("300"));
    doc->Add("height", QStringLiteral("300"));
    return CallServiceMethod(url, std::move(doc), Prefix("getpic"), SOURCE_SERVICE,
                             [&](const QByteArray& r) { return ParsePictureReply(r, pictureUrl); });
}

int RequestLyrics(const QString& url, const LyricsQuery& q, QString& content)
{
    content.clear();
    auto doc = CRequestDocument::Params("lrc");
    doc->Add("musicid", q.musicId);
    doc->Add("id", q.id);
    doc->Add("artist", q.artist);
    doc->Add("album", q.album);
    doc->Add("songname", q.songName);
    doc->Add("filename", q.fileName);
    doc->Add("fullpath", q.fullPath);
    doc->Add("type", QStringLiteral("lrc"));
    doc->Add("source", QStringLiteral("3"));
    return CallServiceMethod(url, std::move(doc), Prefix("lrc"), SOURCE_SERVICE,
                             [&](const QByteArray& r) { return ParseLyricsReply(r, content); });
}

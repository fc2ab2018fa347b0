#pragma once
#include "net/proto/ServiceReplies.h"

#include <QList>
#include <QString>

// One function per method of the service's metadata entry point. Each builds its document,
// posts it to `url`, reads the fields it uses and returns the request status (see
// RequestStatus in net/ServiceRequest.h); failures are also posted to the main window.

// getmenu: the menu entries that carry a Url.
int RequestMenu(const QString& url, QList<MenuEntry>& entries);

// start: the start-up report. `version` is the client's version; `os` the system code (-1
// here: there is no version query to map). `serviceVersion` gets the reply's version value.
int ReportStart(const QString& url, const QString& version, int os, QString* serviceVersion = nullptr);

// update: posted to the update address with the client's version.
int RequestUpdate(const QString& updateUrl, const QString& version, UpdateReply& reply);

// addmessage: the user's feedback.
int AddMessage(const QString& url, const QString& title, const QString& message);

// Cloud groups.
int GetPlayGroupOfUser(const QString& url, const QString& vuid, GroupListReply& reply);
int GetSongOfUsersGroup(const QString& url, int groupId, SongListReply& reply);
int GetRandomSongs(const QString& url, SongListReply& reply);
int AddPlayGroup(const QString& url, const QString& groupName, ResultReply& reply);
int DeletePlayGroup(const QString& url, int groupId);
int UpdatePlayGroupName(const QString& url, int groupId, const QString& newName, ResultReply& reply);
int DeleteCloudSong(const QString& url, const QString& songId, ResultReply& reply);

// A song as the upload methods send it.
struct CloudSongUpload {
    QString SongAddress;
    QString SongName;
    QString SingerName;
    QString SongChannel;
    QString SongState;
    QString SongQuKuId;
    QString SongId; // the track's CmsID; only sent in lists, and only when not empty
};
int AddQukuSongToGroup(const QString& url, int groupId, const CloudSongUpload& song, ResultReply& reply);
// `groupId` is "-1" for a group the service does not know yet; the reply's objId is its id.
int SyncSongsToGroup(const QString& url, const QString& groupId, const QString& listName,
                     const QList<CloudSongUpload>& songs, ResultReply& reply);

// addsongscore: the user's star rating of a track.
int AddSongScore(const QString& url, const QString& songQuKuId, const QString& songId, int star);

// getpic: the address of a track's cover picture (empty when the service has none).
struct PictureQuery {
    QString typeId;  // the track's CmsID
    int picType = 2;
    QString artist;
    QString album;
    QString songName;
    QString fullPath;
};
int RequestPictureUrl(const QString& url, const PictureQuery& query, QString& pictureUrl);

// lrc: a track's lyrics as the service holds them (raw "content" text; empty when none).
struct LyricsQuery {
    QString musicId;  // empty for a stream
    QString id;       // the track's Gid
    QString artist;
    QString album;
    QString songName;
    QString fileName; // file name without folder and extension
    QString fullPath;
};
int RequestLyrics(const QString& url, const LyricsQuery& query, QString& content);

#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Readers of the service's replies. Each takes the reply bytes and returns the request status
// of the protocol: 1 read, -1 well-formed but without its root (or a required element),
// 0 not well-formed. They never throw, whatever the bytes.

enum ReplyStatus { REPLY_OK = 1, REPLY_NO_ROOT = -1, REPLY_MALFORMED = 0 };

// getmenu: the "menu" children of the root. Entries without a Url are left out.
struct MenuEntry {
    QString Id;   // code-page text
    QString Name;
    QString Url;
    int Type = 0;
    int OpenType = 0;
};
int ParseMenuReply(const QByteArray& reply, QList<MenuEntry>& entries);

// start: the "version" element's attribute value (empty when missing).
int ParseStartReply(const QByteArray& reply, QString& version);

// update: every field with its presence.
struct UpdateReply {
    bool hasResult = false;
    QString result;
    QString LastVersion; // code-page text
    bool hasValidType = false;
    QString ValidType;
    QString Address;     // code-page text
};
int ParseUpdateReply(const QByteArray& reply, UpdateReply& update);

// Methods whose only answer is a root element (addmessage, deleteplaygroup, addsongscore).
int ParseRootReply(const QByteArray& reply);

// Methods that answer "result" and maybe its sibling "objId" (addplaygroup,
// updateplaygroupname, deletesong, addqukusong2group, synsongs2group). "result" is looked for
// at the root and inside "rs".
struct ResultReply {
    bool hasResult = false;
    QString result;
    QString objId;
};
int ParseResultReply(const QByteArray& reply, ResultReply& result);

// getplaygroupofuser: the groups, nested as the reply nests them.
struct CloudGroup {
    QString name;
    int id = 0;
    QList<CloudGroup> children;
};
struct GroupListReply {
    QString result; // rs/result
    QList<CloudGroup> groups;
};
int ParseGroupListReply(const QByteArray& reply, GroupListReply& groups);

// getsongofusersgroup and getrandom: the "Song" items of "SongList".
struct CloudSong {
    QString SingerName;
    QString AlbumName;
    QString SongID;
    QString SongName;
    QString SongAdress; // code-page text
    int Star = 0;
};
struct SongListReply {
    QString result; // rs/result, when given
    QList<CloudSong> songs;
};
int ParseSongListReply(const QByteArray& reply, SongListReply& songs);

// getpic: the root's first "url" child's attribute value (code-page text; empty when missing).
int ParsePictureReply(const QByteArray& reply, QString& url);

// lrc: the text of root/music/content (UTF-8; empty when missing).
int ParseLyricsReply(const QByteArray& reply, QString& content);

// The lyrics text as the player keeps it: "[[" becomes "[", then every "[" starts a line.
QString NormaliseServiceLyrics(const QString& content);

// getUserInfo.do: plain text of "$"-separated fields. Field 0 is the result code, 1 the user
// id, 3 the nickname. `signedIn` is set when field 0 reads as the number 0.
struct UserInfoReply {
    bool signedIn = false;
    QString userId;
    QString nickname;
    QString phone; // field 2: the account name, which on the service is the phone number
};
void ParseUserInfoReply(const QByteArray& reply, UserInfoReply& info);

// Strict decimal reading as the protocol's integers are read: leading blanks and a sign, then
// digits; anything else stops the reading; 0 when nothing reads; clamped to the int range.
int ReadDecimal(const QByteArray& text);

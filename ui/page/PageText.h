#pragma once
#include <QList>
#include <QString>

// The texts the pages and the player exchange: the style pair, the "selfopt://" groups and the
// bridge's argument and result formats. No page or window is needed for any of them.

// "cssStyle=blue" for skin 0, "cssStyle=gold" for 1, "cssStyle=purple" for any other value.
QString PageStyleParam(int skin);
// `url` with the style pair appended after "?" (no query yet) or "&".
QString AppendPageStyle(const QString& url, int skin);

// One track a page describes: a "selfopt://" group or the data of MPlay.
struct PageTrackFields {
    QString action; // "play" or "add"; empty for MPlay's data
    QString song;
    QString artist;
    QString album;
    QString url;
    QString id;
    QString method;
    QString keyword;
    int pageno = 0;
    int order = 0;
    int pagesize = 0;
    int total = 0;
    int star = 0;
};

// The fields of one group without braces ("song|A^artist|B^url|U"): "<b>" and "</b>" removed,
// "%20" made a blank, a value "null" leaves its field unset, unknown keys are ignored.
PageTrackFields ParsePageFields(const QString& data);
// The groups after "selfopt://" ("{play^song|A^url|U1}{add^...}"); text between groups and a
// group without its closing brace are ignored, as is a group whose action is neither.
QList<PageTrackFields> ParseSelfOpt(const QString& rest);
inline constexpr int kSelfOptPrefixLength = 10; // "selfopt://"
bool IsSelfOptUrl(const QString& url);

// DelMusic's indexes: each followed by "|" ("3|7|"); a last index without one is taken as
// well; pieces that are not numbers are skipped.
QList<int> ParseIndexList(const QString& text);

// GetItem's text: "{'name':'%s','singer':'%s','album':'%s','GID':'%s'}" with every apostrophe
// removed from the three texts.
QString FormatPageItem(const QString& song, const QString& singer, const QString& album, const QString& gid);
// GetLoginString's text when signed in; empty when either value is empty.
QString FormatLoginString(const QString& vuid, const QString& phone);

// The address an upload of a shown item goes to: the page's address followed by
// "?orgin=2&song=..&singer=..&uploadkey=<gid>&phone=..&filename=..&vuid=..&album=..", the texts
// percent-encoded as the requests encode them, vuid as stored.
QString UploadAddress(const QString& url, const QString& song, const QString& singer, const QString& gid,
                      const QString& phone, const QString& path, const QString& vuid, const QString& album);

// The scheme, host and port of an address ("http://127.0.0.1:8080"); empty when it has none.
QString OriginOf(const QString& url);

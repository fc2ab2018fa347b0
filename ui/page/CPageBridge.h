#pragma once
#include "model/CQvMusic.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>

class IPageHost;
struct PageTrackFields;

// The script-visible object of one page view: every method a page may call on
// `window.external`, and the "selfopt://" navigations. It works on the host's lists; the
// page view decides who may call it (only pages of the service's origins).
class CPageBridge {
public:
    // The longest SleepExT may hold the interface thread.
    static constexpr int kSleepCapMs = 2000;

    explicit CPageBridge(IPageHost& host) : m_host(host) {}

    // The method `method` with the page's arguments; `known` tells whether there is such a
    // method. Missing or mistyped arguments read as 0 or empty.
    QJsonValue Call(const QString& method, const QJsonArray& args, bool* known = nullptr);
    // The names of the methods, as the page's external object offers them.
    static QStringList MethodNames();

    // A "selfopt://" address: its groups are played or added.
    void RunSelfOpt(const QString& url);
    // A new top-level navigation: the "added" notice may show once more.
    void NewNavigation() { m_bNoticeShown = false; }

    // The methods of the table.
    int MPlay(const QString& action, const QString& data, qint16 a, qint16 b);
    QString GetItem(int index) const;
    int GetItemCount() const;
    int AddMusic();
    int DelMusic(const QString& indexes);
    int UploadMusic(int index, const QString& url);
    int IsLogin();
    int CancelUpload(const QString& gid);
    int PlaySong(int index);
    QString GetLoginString() const;
    int GetProgress(const QString& gid) const;
    QString GetPlayingMusicID() const;
    int SleepExT(int ms);
    int SearchLog(const QString& text);
    int RecommendLog(const QString& text);

private:
    TrackRef PageTrack(const PageTrackFields& fields) const;
    TrackRef ShownTrack(int index) const;
    void AddTrack(const PageTrackFields& fields, bool mayNotify);

    IPageHost& m_host;
    bool m_bNoticeShown = false;
};

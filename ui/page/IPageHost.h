#pragma once
#include "model/CQvMusic.h"

#include <QList>
#include <QString>

class CMediaLibrary;
class IQvNode;
class QMimeData;
struct PageTrackFields;

// The cloud-drive uploads a page asks for. The player's upload manager implements it; until
// one is installed every page hears "not signed in" and "unknown".
class IPageUploads {
public:
    // Queues an upload of `track` (an item of the shown list) to `address` (the page's upload
    // address with its parameters already appended). 0 queued, -1 refused.
    virtual int QueueUpload(const TrackRef& track, const QString& address) = 0;
    // Cancels the upload of the track with this Gid: 1 when one was cancelled, 0 when none runs.
    virtual int CancelUpload(const QString& gid) = 0;
    // The upload's progress in percent; -1 when no upload of that track is known.
    virtual int UploadProgress(const QString& gid) const = 0;

protected:
    virtual ~IPageUploads() = default;
};

// What the pages may do to the player, as the central controller carries it out. Called on
// the interface thread only, from the bridge and from the page views' navigation hooks.
class IPageHost {
public:
    virtual CMediaLibrary& PageLibrary() const = 0;
    // The list the user is looking at (may be null) and the track that plays (may be null).
    virtual IQvNode* ShownNode() const = 0;
    virtual CQvMusic* PlayingTrack() const = 0;

    // The page play queue: emptied (its index set to 0); whether it is empty; a track joins it
    // (WM_PLAY_NOW, `first` when the queue was empty, which starts it).
    virtual void ClearPageQueue() = 0;
    virtual bool PageQueueEmpty() const = 0;
    virtual void QueuePageTrack(const TrackRef& track, bool first) = 0;
    // A track to play at once: the queue becomes this track alone and it plays.
    virtual void PlayPageTrack(const TrackRef& track) = 0;
    // A track the page adds to the library (WM_ADD_NET_TRACK); the tree then shows the
    // network list, refreshed and scrolled to its end.
    virtual void AddPageTrack(const TrackRef& track) = 0;
    // The list context a page's track came with (method, page number, order, page size, keyword).
    virtual void RecordListContext(const PageTrackFields& fields) = 0;
    // The "added" notice, when the setting lets it show.
    virtual void ShowAddNotice() = 0;

    // The shown list's item `index` plays (PlaySong); -1 when there is no such item.
    virtual int PlayShownItem(int index) = 0;
    // Deletes these tracks of the shown list from the library (DelMusic), last first.
    virtual void DeletePageTracks(const QList<TrackRef>& tracks) = 0;
    // The main window's add-music command.
    virtual void AddMusic() = 0;
    // Opens the sign-in prompt once the page's call has returned (message 7001).
    virtual void RequestLogin() = 0;
    // "searchlog" or "recommendlog" with the page's text.
    virtual void SendPageLog(const QString& kind, const QString& text) = 0;
    // Files dropped on a page.
    virtual void DropOnPage(const QMimeData* data) = 0;
    // Where the upload methods go; null: no upload manager (yet).
    virtual IPageUploads* PageUploads() const = 0;

protected:
    virtual ~IPageHost() = default;
};
